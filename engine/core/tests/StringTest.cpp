#include "engine/core/String.h"

#include "engine/core/tests/TestFiles.h"

#include <utility>

namespace ORV_TEST_FILE_ID {

namespace {

using namespace coretest;

bool Aligned16(const void* p) { return reinterpret_cast<uintptr_t>(p) % 16 == 0; }

}  // namespace

TEST(CString, CopiesOwnTheirTextAndMovesHandItOver)
{
    char source[] = "abc";
    CString a(source), d("old text");
    source[0] = 'J';
    CString b(a), c;
    c = a;
    EXPECT_EQ(&d.CopyFrom(a), &d);
    d.CopyFrom(d);  // copying itself keeps the text
    a += "def";
    EXPECT_EQ(a.Free(), 1u);
    EXPECT_EQ(a.Free(), 1u);  // may repeat
    for (const CString* copy : {&b, &c, &d}) {
        EXPECT_STREQ(copy->GetText(), "abc");
        EXPECT_EQ(copy->GetLength(), 3u);
        EXPECT_TRUE(Aligned16(copy->GetText()));
    }
    d.CopyFrom(a);  // an empty one copies as empty
    EXPECT_EQ(d.GetText(), nullptr);
    EXPECT_EQ(d.GetLength(), 0u);
    EXPECT_NE(CString("").GetText(), nullptr);  // an empty C string still gets its copy

    const char* text = b.GetText();
    c = std::move(b);
    EXPECT_EQ(c.GetText(), text);
    EXPECT_EQ(b.GetText(), nullptr);  // NOLINT: a moved-from string is empty
}

TEST(CString, AppendJoinsIntoANewAllocation)
{
    CString s("ab");
    s += nullptr;
    s += "\x95\x5C";
    s += s.GetText();  // appending its own text
    EXPECT_STREQ(s.GetText(), "ab\x95\x5C" "ab\x95\x5C");
    EXPECT_EQ(s.GetLength(), 8u);
    EXPECT_TRUE(Aligned16(s.GetText()));
}

TEST(CString, CompareFindAndReplaceTheFirstOccurrence)
{
    CString path("Data\\BGM.gpk"), empty;
    EXPECT_EQ(path.Compare("Data\\BGM.gpk"), 0);
    EXPECT_EQ(path.Compare("Data\\bgm.gpk"), -1);
    EXPECT_EQ(path.FindNoCase("bgm"), path.GetText() + 5);
    EXPECT_EQ(path.FindNoCase("wav"), nullptr);

    CString s("a-b-c");
    const char* replaced = s.Replace("-", "+=");  // the new text
    EXPECT_EQ(replaced, s.GetText());
    EXPECT_STREQ(s.GetText(), "a+=b-c");
    EXPECT_STREQ(s.Replace("a+=", ""), "b-c");
    EXPECT_EQ(s.GetLength(), 3u);
    for (const auto& [from, to] : {std::pair{"x", "y"}, std::pair{(const char*)nullptr, "y"}, std::pair{"b", (const char*)nullptr}})
        EXPECT_EQ(s.Replace(from, to), nullptr);
    EXPECT_STREQ(s.GetText(), "b-c");
    EXPECT_EQ(empty.Replace("a", "b"), nullptr);

    CString table("\x95\x5C\\x");  // "表", whose trail byte is '\', then a real backslash
    EXPECT_STREQ(table.Replace("\\", "/"), "\x95\x5C/x");
}

TEST(CStringFile, WritesAndReadsTheStoredLayout)
{
    MemoryFile empty;
    EXPECT_EQ(CString().Write(&empty, 0x33), 1u);
    EXPECT_EQ(empty.Bytes(), U32(0));

    // Length, scrambled text, zero. Key 0 leaves the table alone:
    // 'a' ^ 0x68, 'b' ^ 0x37, 'c' ^ 0xD9.
    MemoryFile file;
    CString s("abc");
    EXPECT_EQ(s.Write(&file, 0), 1u);
    EXPECT_EQ(file.Bytes(), Bytes({3, 0, 0, 0, 0x61 ^ 0x68, 0x62 ^ 0x37, 0x63 ^ 0xD9, 0}));
    EXPECT_STREQ(s.GetText(), "abc");  // the text is untouched

    MemoryFile plain(Bytes({3, 0, 0, 0, 'x', 'y', 'z', 0}));
    EXPECT_EQ(s.ReadPlain(&plain), 1u);
    EXPECT_STREQ(s.GetText(), "xyz");
    EXPECT_EQ(s.GetLength(), 3u);
    EXPECT_TRUE(Aligned16(s.GetText()));
    EXPECT_EQ(plain.Tell(), 8);
    MemoryFile scrambled(Bytes({2, 0, 0, 0, 0x95 ^ 0x68 ^ 0x11, 0x5C ^ 0x37 ^ 0x11, 0}));
    EXPECT_EQ(s.Read(&scrambled, 0x11), 1u);
    EXPECT_STREQ(s.GetText(), "\x95\x5C");
    MemoryFile none(U32(0));
    EXPECT_EQ(s.Read(&none, 0x11), 1u);
    EXPECT_EQ(s.GetText(), nullptr);
}

TEST(CStringFile, RoundTripsThroughAFile)
{
    std::string longText;
    for (int i = 0; i < 700; ++i) longText += (i % 3) ? char('a' + i % 26) : '\x95';  // crosses 256-byte chunks
    const std::string texts[] = {"first", "", "\x8E\x9F\x82\xCC = ;", longText};
    TempFolder folder;
    const std::string path = folder / "strings.bin";
    std::string expected;
    {
        auto file = host::kernel::OpenFile(path, "wb");
        ASSERT_TRUE(file);
        for (const std::string& text : texts) {
            EXPECT_EQ(CString(text.c_str()).Write(file.get(), 0x42), 1u);
            expected += U32(u32(text.size())) + (text.empty() ? "" : Scrambled(text, 0x42) + '\0');
        }
        EXPECT_TRUE(file->Close());
    }
    EXPECT_EQ(Get(path), expected);

    auto file = host::kernel::OpenFile(path, "rb");
    ASSERT_TRUE(file);
    for (const std::string& text : texts) {
        CString in("stale");
        ASSERT_EQ(in.Read(file.get(), 0x42), 1u);
        EXPECT_EQ(in.GetText() ? in.GetText() : "<null>", text.empty() ? "<null>" : text);
        EXPECT_EQ(in.GetLength(), text.size());
    }
    EXPECT_TRUE(file->AtEnd());
    CString a("x");
    EXPECT_EQ(a.Read(file.get(), 0x42), 0u);  // one more read meets the end of the file
    EXPECT_EQ(a.GetText(), nullptr);
}

TEST(CStringFile, DamagedDataFailsCleanly)
{
    const struct {
        const char* what;
        std::string bytes;
        int64_t claimed;
    } cases[] = {
        {"truncated length", Bytes({5, 0}), -1},
        {"length beyond the file", U32(10) + "abc" + '\0', -1},
        {"length 0xFFFFFFFF", U32(0xFFFFFFFFu) + "abc" + '\0', -1},
        {"length 0xFFFFFFFE", U32(0xFFFFFFFEu) + "abc" + '\0', -1},
        {"missing terminator", U32(3) + "abc", -1},
        {"terminator not zero", U32(3) + "abcd", -1},
        {"truncated text", U32(6) + "abc", -1},
        {"short read behind a lying size", U32(100) + "abc", 1000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (bool plain : {false, true}) {
            MemoryFile file(c.bytes);
            file.claimed = c.claimed;
            CString s("previous");
            EXPECT_EQ(plain ? s.ReadPlain(&file) : s.Read(&file, 0x21), 0u);
            EXPECT_EQ(s.GetText(), nullptr);
            EXPECT_EQ(s.GetLength(), 0u);
        }
    }

    // The size check holds for a real file too.
    TempFolder folder;
    const std::string path = Put(folder / "damaged.bin", U32(0xFFFFFFFFu) + "abc" + '\0');
    auto file = host::kernel::OpenFile(path, "rb");
    ASSERT_TRUE(file);
    CString s("previous");
    EXPECT_EQ(s.Read(file.get(), 0), 0u);
    EXPECT_EQ(s.GetText(), nullptr);

    // So does a missing or failing file.
    MemoryFile failing;
    failing.failWrites = true;
    EXPECT_EQ(CString("abc").Write(&failing, 0), 0u);
    EXPECT_EQ(CString("abc").Write(nullptr, 0), 0u);
    CString t("abc");
    EXPECT_EQ(t.Read(nullptr, 0), 0u);
    EXPECT_EQ(t.GetText(), nullptr);
    EXPECT_EQ(t.ReadPlain(nullptr), 0u);
}

TEST(ScrambleBytes, PinnedTableRepeatsEvery256BytesAndTheKeyXorsEveryByte)
{
    std::string zeros(512, '\0');
    ScrambleBytes(0, zeros.data(), 512);
    EXPECT_EQ(zeros.substr(0, 256), zeros.substr(256));
    // The file formats depend on the table: pin its first and last bytes.
    EXPECT_EQ(zeros.substr(0, 4), Bytes({0x68, 0x37, 0xD9, 0x83}));
    EXPECT_EQ(zeros.substr(252, 4), Bytes({0x63, 0x2A, 0x78, 0xFB}));

    std::string keyed(256, '\0');
    ScrambleBytes(0xA5, keyed.data(), 256);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(u8(keyed[i]), u8(zeros[i]) ^ 0xA5) << i;
    EXPECT_EQ(Scrambled(Scrambled(keyed, 0x9C), 0x9C), keyed);  // its own inverse
    EXPECT_EQ(ScrambleBytes(1, nullptr, 10), nullptr);
}

}  // namespace ORV_TEST_FILE_ID
