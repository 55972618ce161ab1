#include "engine/core/String.h"

#include "engine/core/Scramble.h"
#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

using host::kernel::File;
using host::kernel::SeekOrigin;

// A file in memory. `claimedSize` lets a test make Size() lie, so that a
// short read is met after the size check has passed.
class MemoryFile : public File {
public:
    explicit MemoryFile(std::string bytes = {}) : bytes_(std::move(bytes)) {}
    size_t Read(void* buffer, size_t bytes) override
    {
        const size_t n = pos_ < bytes_.size() ? std::min(bytes, bytes_.size() - pos_) : 0;
        std::memcpy(buffer, bytes_.data() + pos_, n);
        pos_ += n;
        return n;
    }
    size_t Write(const void* buffer, size_t bytes) override
    {
        if (failWrites_) return 0;
        if (bytes_.size() < pos_ + bytes) bytes_.resize(pos_ + bytes);
        std::memcpy(bytes_.data() + pos_, buffer, bytes);
        pos_ += bytes;
        return bytes;
    }
    bool Seek(int64_t offset, SeekOrigin origin) override
    {
        const int64_t base = origin == SeekOrigin::Begin ? 0 : origin == SeekOrigin::Current ? int64_t(pos_) : Size();
        if (base + offset < 0) return false;
        pos_ = size_t(base + offset);
        return true;
    }
    int64_t Tell() const override { return int64_t(pos_); }
    int64_t Size() const override { return claimedSize_ >= 0 ? claimedSize_ : int64_t(bytes_.size()); }
    bool AtEnd() const override { return pos_ >= bytes_.size(); }
    bool Close() override { return true; }

    const std::string& Bytes() const { return bytes_; }
    void Rewind() { pos_ = 0; }
    void ClaimSize(int64_t size) { claimedSize_ = size; }
    void FailWrites() { failWrites_ = true; }

private:
    std::string bytes_;
    size_t pos_ = 0;
    int64_t claimedSize_ = -1;
    bool failWrites_ = false;
};

std::string Bytes(std::initializer_list<int> values)
{
    std::string s;
    for (int v : values) s += char(v);
    return s;
}

std::string LengthBytes(u32 n) { return Bytes({int(n & 0xFF), int((n >> 8) & 0xFF), int((n >> 16) & 0xFF), int(n >> 24)}); }

std::string Scrambled(std::string s, u8 key)
{
    ScrambleBytes(key, s.data(), u32(s.size()));
    return s;
}

bool Aligned16(const void* p) { return reinterpret_cast<uintptr_t>(p) % 16 == 0; }

class TempFolder {
public:
    TempFolder()
    {
        std::string name = (std::filesystem::temp_directory_path() / "orv-string-XXXXXX").string();
        path_ = mkdtemp(name.data()) ? name + "/" : std::string();
    }
    ~TempFolder()
    {
        if (!path_.empty()) std::filesystem::remove_all(path_);
    }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

}  // namespace

// ---------------------------------------------------------------- value

TEST(CString, DefaultAndNullAreEmpty)
{
    CString a, b(nullptr);
    EXPECT_EQ(a.GetText(), nullptr);
    EXPECT_EQ(a.GetLength(), 0u);
    EXPECT_EQ(b.GetText(), nullptr);
    EXPECT_EQ(b.GetLength(), 0u);
}

TEST(CString, OwnsAnAlignedCopy)
{
    char source[] = "Hello";
    CString s(source);
    source[0] = 'J';
    EXPECT_STREQ(s.GetText(), "Hello");
    EXPECT_EQ(s.GetLength(), 5u);
    EXPECT_TRUE(Aligned16(s.GetText()));

    CString empty("");
    ASSERT_NE(empty.GetText(), nullptr);   // an empty C string still gets its copy
    EXPECT_EQ(empty.GetLength(), 0u);
}

TEST(CString, CopiesAreIndependent)
{
    CString a("abc");
    CString b(a);
    EXPECT_NE(b.GetText(), a.GetText());
    a += "def";
    EXPECT_STREQ(a.GetText(), "abcdef");
    EXPECT_STREQ(b.GetText(), "abc");
    a.Free();
    EXPECT_STREQ(b.GetText(), "abc");

    CString c;
    c = b;
    b.Free();
    EXPECT_STREQ(c.GetText(), "abc");
    EXPECT_EQ(c.GetLength(), 3u);

    CString fromEmpty(a);
    EXPECT_EQ(fromEmpty.GetText(), nullptr);
}

TEST(CString, CopyFromReplacesAndCopiesEmptyAsEmpty)
{
    CString a("old text"), b("new"), empty;
    EXPECT_EQ(&a.CopyFrom(b), &a);
    EXPECT_STREQ(a.GetText(), "new");
    EXPECT_EQ(a.GetLength(), 3u);
    a.CopyFrom(empty);
    EXPECT_EQ(a.GetText(), nullptr);
    EXPECT_EQ(a.GetLength(), 0u);

    b.CopyFrom(b);   // copying itself keeps the text
    EXPECT_STREQ(b.GetText(), "new");
}

TEST(CString, MoveLeavesTheSourceEmpty)
{
    CString a("abc");
    const char* text = a.GetText();
    CString b(std::move(a));
    EXPECT_EQ(b.GetText(), text);
    EXPECT_EQ(a.GetText(), nullptr);   // NOLINT: moved-from state is specified
    CString c("x");
    c = std::move(b);
    EXPECT_EQ(c.GetText(), text);
    EXPECT_EQ(c.GetLength(), 3u);
}

TEST(CString, AppendJoinsIntoANewAllocation)
{
    CString s;
    s += "ab";
    EXPECT_STREQ(s.GetText(), "ab");
    s += nullptr;
    EXPECT_STREQ(s.GetText(), "ab");
    s += "\x95\x5C";
    EXPECT_STREQ(s.GetText(), "ab\x95\x5C");
    EXPECT_EQ(s.GetLength(), 4u);
    s += s.GetText();   // appending its own text
    EXPECT_STREQ(s.GetText(), "ab\x95\x5C" "ab\x95\x5C");
    EXPECT_EQ(s.GetLength(), 8u);
    EXPECT_TRUE(Aligned16(s.GetText()));
}

TEST(CString, FreeEmptiesAndMayRepeat)
{
    CString s("abc");
    EXPECT_EQ(s.Free(), 1u);
    EXPECT_EQ(s.GetText(), nullptr);
    EXPECT_EQ(s.GetLength(), 0u);
    EXPECT_EQ(s.Free(), 1u);
}

TEST(CString, CompareAndFindNoCase)
{
    CString s("Data\\BGM.gpk");
    EXPECT_EQ(s.Compare("Data\\BGM.gpk"), 0);
    EXPECT_EQ(s.Compare("Data\\bgm.gpk"), -1);
    EXPECT_EQ(s.FindNoCase("bgm"), s.GetText() + 5);
    EXPECT_EQ(s.FindNoCase("wav"), nullptr);
    CString empty;
    EXPECT_EQ(empty.Compare("a"), -1);
    EXPECT_EQ(empty.Compare(nullptr), 0);
    EXPECT_EQ(empty.FindNoCase("a"), nullptr);
}

TEST(CString, ReplaceChangesOnlyTheFirstOccurrence)
{
    CString s("a-b-c");
    const char* result = s.Replace("-", "+=");
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result, s.GetText());
    EXPECT_STREQ(s.GetText(), "a+=b-c");
    EXPECT_EQ(s.GetLength(), 6u);

    EXPECT_STREQ(s.Replace("a+=", ""), "b-c");
    EXPECT_EQ(s.GetLength(), 3u);

    EXPECT_EQ(s.Replace("x", "y"), nullptr);
    EXPECT_STREQ(s.GetText(), "b-c");
    EXPECT_EQ(s.Replace(nullptr, "y"), nullptr);
    EXPECT_EQ(s.Replace("b", nullptr), nullptr);
    CString empty;
    EXPECT_EQ(empty.Replace("a", "b"), nullptr);
}

TEST(CString, ReplaceDoesNotMatchATrailByte)
{
    CString s("\x95\x5C\\x");   // "表" then a real backslash
    EXPECT_STREQ(s.Replace("\\", "/"), "\x95\x5C/x");
}

// ---------------------------------------------------------------- on file

TEST(CStringFile, EmptyWritesFourZeroBytes)
{
    MemoryFile file;
    CString empty;
    EXPECT_EQ(empty.Write(&file, 0x33), 1u);
    EXPECT_EQ(file.Bytes(), Bytes({0, 0, 0, 0}));
}

TEST(CStringFile, WriteGivesLengthScrambledTextAndZero)
{
    MemoryFile file;
    CString s("abc");
    EXPECT_EQ(s.Write(&file, 0), 1u);
    // Key 0 leaves the table alone: 'a' ^ 0x68, 'b' ^ 0x37, 'c' ^ 0xD9.
    EXPECT_EQ(file.Bytes(), Bytes({3, 0, 0, 0, 0x61 ^ 0x68, 0x62 ^ 0x37, 0x63 ^ 0xD9, 0}));
    EXPECT_STREQ(s.GetText(), "abc");   // the text is untouched

    MemoryFile keyed;
    EXPECT_EQ(s.Write(&keyed, 0x5A), 1u);
    EXPECT_EQ(keyed.Bytes(), LengthBytes(3) + Scrambled("abc", 0x5A) + Bytes({0}));
}

TEST(CStringFile, ReadsGoldenBytes)
{
    MemoryFile plain(Bytes({3, 0, 0, 0, 'x', 'y', 'z', 0}));
    CString s("old");
    EXPECT_EQ(s.ReadPlain(&plain), 1u);
    EXPECT_STREQ(s.GetText(), "xyz");
    EXPECT_EQ(s.GetLength(), 3u);
    EXPECT_TRUE(Aligned16(s.GetText()));
    EXPECT_EQ(plain.Tell(), 8);

    MemoryFile scrambled(Bytes({2, 0, 0, 0, 0x95 ^ 0x68 ^ 0x11, 0x5C ^ 0x37 ^ 0x11, 0}));
    EXPECT_EQ(s.Read(&scrambled, 0x11), 1u);
    EXPECT_STREQ(s.GetText(), "\x95\x5C");

    MemoryFile empty(Bytes({0, 0, 0, 0}));
    EXPECT_EQ(s.Read(&empty, 0x11), 1u);
    EXPECT_EQ(s.GetText(), nullptr);
    EXPECT_EQ(s.GetLength(), 0u);
}

TEST(CStringFile, RoundTripsThroughMemory)
{
    std::string longText;
    for (int i = 0; i < 700; ++i) longText += (i % 3) ? char('a' + i % 26) : '\x95';   // crosses 256-byte chunks
    for (u8 key : {u8(0), u8(0x5A), u8(0xFF)}) {
        for (const std::string& text : {std::string("a"), std::string("\x95\x5C\x82\xA0 = ;"), longText}) {
            MemoryFile file;
            CString out(text.c_str()), in("stale");
            ASSERT_EQ(out.Write(&file, key), 1u);
            EXPECT_EQ(file.Bytes().size(), 4 + text.size() + 1);
            EXPECT_EQ(file.Bytes().substr(4, text.size()), Scrambled(text, key));
            file.Rewind();
            ASSERT_EQ(in.Read(&file, key), 1u);
            EXPECT_EQ(std::string(in.GetText()), text);
            EXPECT_EQ(in.GetLength(), text.size());
            EXPECT_TRUE(file.AtEnd());
        }
    }
}

TEST(CStringFile, RoundTripsThroughAFile)
{
    TempFolder folder;
    ASSERT_FALSE(folder.Path().empty());
    const std::string path = folder.Path() + "strings.bin";
    {
        auto file = host::kernel::OpenFile(path, "wb");
        ASSERT_TRUE(file);
        EXPECT_EQ(CString("first").Write(file.get(), 0x42), 1u);
        EXPECT_EQ(CString().Write(file.get(), 0x42), 1u);
        EXPECT_EQ(CString("\x8E\x9F\x82\xCC").Write(file.get(), 0x42), 1u);
        EXPECT_TRUE(file->Close());
    }
    std::string bytes;
    ASSERT_TRUE(host::kernel::ReadWholeFile(path, bytes));
    EXPECT_EQ(bytes, LengthBytes(5) + Scrambled("first", 0x42) + Bytes({0}) + LengthBytes(0) + LengthBytes(4) +
                         Scrambled("\x8E\x9F\x82\xCC", 0x42) + Bytes({0}));

    auto file = host::kernel::OpenFile(path, "rb");
    ASSERT_TRUE(file);
    CString a, b("x"), c;
    EXPECT_EQ(a.Read(file.get(), 0x42), 1u);
    EXPECT_EQ(b.Read(file.get(), 0x42), 1u);
    EXPECT_EQ(c.Read(file.get(), 0x42), 1u);
    EXPECT_STREQ(a.GetText(), "first");
    EXPECT_EQ(b.GetText(), nullptr);
    EXPECT_STREQ(c.GetText(), "\x8E\x9F\x82\xCC");
    EXPECT_TRUE(file->AtEnd());
    // One more read meets the end of the file.
    EXPECT_EQ(a.Read(file.get(), 0x42), 0u);
    EXPECT_EQ(a.GetText(), nullptr);
}

TEST(CStringFile, NullFileFails)
{
    CString s("abc");
    EXPECT_EQ(s.Write(nullptr, 0), 0u);
    EXPECT_EQ(s.Read(nullptr, 0), 0u);
    EXPECT_EQ(s.GetText(), nullptr);
    EXPECT_EQ(s.ReadPlain(nullptr), 0u);
}

TEST(CStringFile, FailedWriteIsReported)
{
    MemoryFile file;
    file.FailWrites();
    EXPECT_EQ(CString("abc").Write(&file, 0), 0u);
}

namespace {

// Reads damaged bytes into a string that held text: it must fail and end empty.
void ExpectDamaged(MemoryFile& file, const char* what)
{
    CString s("previous");
    EXPECT_EQ(s.Read(&file, 0x21), 0u) << what;
    EXPECT_EQ(s.GetText(), nullptr) << what;
    EXPECT_EQ(s.GetLength(), 0u) << what;
    file.Rewind();
    EXPECT_EQ(s.ReadPlain(&file), 0u) << what;
    EXPECT_EQ(s.GetText(), nullptr) << what;
}

}  // namespace

TEST(CStringFile, DamagedDataFailsCleanly)
{
    MemoryFile noHeader(Bytes({5, 0}));
    ExpectDamaged(noHeader, "truncated length");

    MemoryFile longer(LengthBytes(10) + "abc" + Bytes({0}));
    ExpectDamaged(longer, "length beyond the file");

    MemoryFile huge(LengthBytes(0xFFFFFFFFu) + "abc" + Bytes({0}));
    ExpectDamaged(huge, "length 0xFFFFFFFF");

    MemoryFile almost(LengthBytes(0xFFFFFFFEu) + "abc" + Bytes({0}));
    ExpectDamaged(almost, "length 0xFFFFFFFE");

    MemoryFile noTerminator(LengthBytes(3) + "abc");
    ExpectDamaged(noTerminator, "missing terminator");

    MemoryFile badTerminator(LengthBytes(3) + "abcd");
    ExpectDamaged(badTerminator, "terminator not zero");

    MemoryFile truncated(LengthBytes(6) + "abc");
    ExpectDamaged(truncated, "truncated text");
}

TEST(CStringFile, ShortReadFailsEvenWhenTheSizeLies)
{
    MemoryFile file(LengthBytes(100) + "abc");
    file.ClaimSize(1000);
    ExpectDamaged(file, "short read");
}

TEST(CStringFile, LengthBeyondARealFileFails)
{
    TempFolder folder;
    ASSERT_FALSE(folder.Path().empty());
    const std::string path = folder.Path() + "damaged.bin";
    const std::string bytes = LengthBytes(0xFFFFFFFFu) + "abc" + Bytes({0});
    ASSERT_TRUE(host::kernel::WriteFileAtomic(path, bytes.data(), bytes.size()));
    auto file = host::kernel::OpenFile(path, "rb");
    ASSERT_TRUE(file);
    CString s("previous");
    EXPECT_EQ(s.Read(file.get(), 0), 0u);
    EXPECT_EQ(s.GetText(), nullptr);
}

// ---------------------------------------------------------------- scrambler

TEST(ScrambleBytes, IsItsOwnInverse)
{
    std::string data;
    for (int i = 0; i < 600; ++i) data += char(i * 31);
    std::string copy = data;
    ScrambleBytes(0x9C, copy.data(), u32(copy.size()));
    EXPECT_NE(copy, data);
    ScrambleBytes(0x9C, copy.data(), u32(copy.size()));
    EXPECT_EQ(copy, data);
    EXPECT_EQ(ScrambleBytes(1, nullptr, 10), nullptr);
}

TEST(ScrambleBytes, TableRepeatsEvery256BytesAndKeyXorsEveryByte)
{
    std::string zeros(512, '\0');
    ScrambleBytes(0, zeros.data(), 512);
    EXPECT_EQ(zeros.substr(0, 256), zeros.substr(256));
    // The table is part of the file formats: pin its first bytes.
    EXPECT_EQ(zeros.substr(0, 4), Bytes({0x68, 0x37, 0xD9, 0x83}));
    EXPECT_EQ(zeros.substr(252, 4), Bytes({0x63, 0x2A, 0x78, 0xFB}));

    std::string keyed(256, '\0');
    ScrambleBytes(0xA5, keyed.data(), 256);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(u8(keyed[i]), u8(zeros[i]) ^ 0xA5) << i;
}
