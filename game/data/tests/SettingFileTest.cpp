#include "SettingTestSupport.h"

#include "host/kernel/FakeFileWatch.h"

#include <string>

namespace ORV_TEST_FILE_ID {

using namespace setting_test;

namespace {

// Parses text without a cache; the reader's parse result.
i32 Parse(TestReader& reader, const std::string& text)
{
    return reader.ParseText("Test.txt", text.c_str(), '=', ';', nullptr, 0);
}

}  // namespace

TEST(SettingText, CommentsBlanksAndCaseOfKeysAroundDefaults)
{
    TestReader reader;
    ASSERT_EQ(Parse(reader, "// header = 1;\n"
                            "/* COUNT = 5; \n */ speed\t= 2.5 ;//COUNT=6;\n"
                            "  Name = \x83\x41\x83\x43 ;\r\n"
                            "move velocity = 3;movevelocity=4;\n"
                            "row1count=11;/**/\n"
                            "COUNT = 1 // not a comment inside a value;\n"
                            "trailing text without separator"),
              1);
    EXPECT_FLOAT_EQ(reader.speed, 2.5f);
    EXPECT_EQ(Text(reader.GetName()), "\x83\x41\x83\x43");
    EXPECT_EQ(reader.count, 1);
    EXPECT_EQ(reader.block.group.rows[1].count, 11);
    // Keys not given keep their defaults, through offset chains too.
    EXPECT_EQ(Text(reader.text), "none");
    EXPECT_FLOAT_EQ(reader.block.group.rows[1].speed, 0.5f);
    EXPECT_EQ(reader.block.group.flags, 0u);

    EXPECT_EQ(Parse(reader, "COUNT=1;/* unterminated"), 0);
    EXPECT_EQ(reader.ParseText("Test.txt", nullptr, '=', ';', nullptr, 0), 0);
}

// A comment is skipped byte by byte: one typed in UTF-8 may end in a byte
// that reads as a lead byte (0x92 of an arrow, 0x81 of a kana), and that
// byte does not take the line feed or the '*' after it with it.
TEST(SettingText, ACommentEndingInALeadByteEndsWhereItsMarkersSay)
{
    const struct {
        const char* text;
        i32 result;
        i32 count;
        f32 speed;
    } cases[] = {
        {"// \xE2\x86\x92\nCOUNT = 7;\n", 1, 7, 1.25f},
        {"SPEED = 2;// \x9F\nCOUNT = 7;", 1, 7, 2.0f},
        {"/* \xE3\x81\x82\x81*/ SPEED = 2; /* next */ COUNT = 3;", 1, 3, 2.0f},
        {"/* \xFC*/COUNT = 4;", 1, 4, 1.25f},
        {"/* \xE0*/", 1, -3, 1.25f},
        {"COUNT = 5;// \x81", 1, 5, 1.25f},   // a lead byte last in the text
        {"/* \x81*", 0, 0, 0.0f},
    };
    for (const auto& c : cases) {
        TestReader reader;
        EXPECT_EQ(Parse(reader, c.text), c.result) << c.text;
        if (!c.result) continue;
        EXPECT_EQ(reader.count, c.count) << c.text;
        EXPECT_FLOAT_EQ(reader.speed, c.speed) << c.text;
    }
}

// 0x81 0x3D and 0x81 0x3B are double-byte pairs: neither '=' nor ';' ends anything.
TEST(SettingText, TrailBytesNeverEndAKeyOrAValue)
{
    TestReader reader;
    ASSERT_EQ(Parse(reader, "UNKNOWN=\x81;skip\x81=;TEXT=a\x81;b\x81=c;SPEED=3;"), 1);
    EXPECT_EQ(Text(reader.text), "a\x81;b\x81=c");
    EXPECT_FLOAT_EQ(reader.speed, 3.0f);

    // Nor is a trail byte upper-cased: "x" + 0x83 0x61 is not "X" + 0x83 0x41.
    struct DoubleByteKey : TestReader {
        i32 RegisterKeys() override
        {
            TestReader::RegisterKeys();
            RegisterKey("X\x83\x61", &count, 0);
            return 1;
        }
    } named;
    ASSERT_EQ(Parse(named, "x\x83\x61 = 12;"), 1);
    EXPECT_EQ(named.count, 12);
}

TEST(SettingText, LastScalarWinsListsCollectAndEachParseStartsAfresh)
{
    TestReader reader;
    ASSERT_EQ(Parse(reader, "COUNT=1;WORD=a;COUNT=2;WORD= b c ;NUMBER=5;NUMBER=-6;SHORT=-1;BYTE=257;TEXT=;"
                            "CHILD=One.txt;CHILD=Two.txt;"),
              1);
    EXPECT_EQ(reader.count, 2);
    ASSERT_EQ(reader.words.GetCount(), 2u);
    EXPECT_EQ(Text(*reader.words.GetAt(1)), "b c");
    ASSERT_EQ(reader.numbers.GetCount(), 2u);
    EXPECT_EQ(*reader.numbers.GetAt(1), -6);
    EXPECT_EQ(reader.shortValue, 65535);
    EXPECT_EQ(reader.byteValue, 1);
    EXPECT_EQ(reader.text.GetLength(), 0u);
    ASSERT_EQ(reader.children.GetNameCount(), 2u);
    EXPECT_EQ(Text(*reader.children.GetName(1)), "Two.txt");   // as written, not the cache name

    ASSERT_EQ(Parse(reader, "WORD=z;"), 1);
    EXPECT_EQ(reader.words.GetCount(), 1u);
    EXPECT_EQ(reader.count, -3);
}

TEST(SettingText, AFinalValueWithoutTerminatorAndOverlongKeysAreIgnored)
{
    TestReader reader;
    ASSERT_EQ(Parse(reader, "COUNT=4;SPEED=9"), 1);
    EXPECT_EQ(reader.count, 4);
    EXPECT_FLOAT_EQ(reader.speed, 1.25f);

    // Blanks would trim away, but a key past 1023 bytes is dropped whole.
    ASSERT_EQ(Parse(reader, std::string(1100, ' ') + "COUNT=5;" + std::string(2000, 'K') + "=x;SPEED=2;"), 1);
    EXPECT_EQ(reader.count, -3);
    EXPECT_FLOAT_EQ(reader.speed, 2.0f);
}

// Keys and values of exactly the longest length (1023 bytes) are kept whole;
// a key one byte longer matches nothing, not even its first 1023 bytes, and a
// longer value keeps its first 1023 bytes. The cache holds what the text gave.
TEST(SettingText, KeysAndValuesOfExactlyTheLongestLength)
{
    static const std::string longest(1023, 'K'), doubleByte = std::string(1021, 'D') + "\x83\x41";
    struct LongKeys : TestReader {
        i32 RegisterKeys() override
        {
            TestReader::RegisterKeys();
            RegisterKey(longest.c_str(), &single, 0);
            RegisterKey(doubleByte.c_str(), &pair, 0);
            return 1;
        }
        i32 single = 0, pair = 0;
    };
    const std::string value(1023, 'v');
    const struct {
        std::string text;
        i32 single, pair;
        std::string value;
    } cases[] = {
        {longest + "=5;" + doubleByte + "=6;TEXT=" + value + ";", 5, 6, value},
        {longest + "K=5;" + std::string(1022, 'D') + "\x83\x41=6;TEXT=" + value + "w;", 0, 0, value},
        {" " + longest + "=5;TEXT=" + value.substr(1) + "\x83\x41;", 0, 0, value.substr(1)},   // blanks count too
    };
    WorkFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        WriteBytes("Long.txt", c.text);
        LongKeys reader, cached;
        ASSERT_EQ(reader.LoadFile("Long.txt"), 1);
        ASSERT_EQ(cached.LoadFile("Setting/Long.dat"), 1);
        for (const LongKeys* r : {&reader, &cached}) {
            EXPECT_EQ(r->single, c.single);
            EXPECT_EQ(r->pair, c.pair);
            EXPECT_EQ(Text(r->text), c.value);
        }
    }
}

// A cache that has no folder to go to is refused before the text changes any
// value; one that cannot be written leaves the old cache as it was.
TEST(SettingFile, ACacheThatCannotBeWrittenFailsTheParse)
{
    WorkFolder folder;
    ASSERT_TRUE(host::kernel::CreateDirectory("Sub"));
    WriteBytes("Sub/Test.txt", "COUNT=5;");
    TestReader reader;
    ASSERT_EQ(reader.ParseText("Test.txt", "COUNT=8;SPEED=4;", '=', ';', nullptr, 1), 1);
    EXPECT_EQ(reader.LoadFile("Sub/Test.txt"), 0);   // no Setting/Sub folder
    EXPECT_EQ(reader.count, 8);
    EXPECT_FLOAT_EQ(reader.speed, 4.0f);
    EXPECT_FALSE(host::kernel::FileExists("Setting/Sub/Test.dat"));

    const std::string old = ReadBytes("Setting/Test.dat").value_or("<missing>");
    for (auto step : {host::kernel::FileStep::CreateTemp, host::kernel::FileStep::SyncTemp, host::kernel::FileStep::Rename}) {
        SCOPED_TRACE(int(step));
        host::kernel::FakeFileWatch watch;
        watch.Fail(step);
        EXPECT_EQ(reader.ParseText("Test.txt", "COUNT=9;", '=', ';', nullptr, 1), 0);
        EXPECT_EQ(ReadBytes("Setting/Test.dat"), old);
    }
}

TEST(SettingFile, CopiesShareTheKeyMap)
{
    auto* reader = new TestReader();
    ASSERT_EQ(Parse(*reader, "NAME=first;COUNT=8;"), 1);
    TestReader copy(*reader);
    EXPECT_EQ(copy.GetKeyMap(), reader->GetKeyMap());
    EXPECT_EQ(Text(copy.GetName()), "first");
    delete reader;   // the copy's share keeps the map alive
    ASSERT_EQ(Parse(copy, "COUNT=9;"), 1);
    EXPECT_EQ(copy.count, 9);
}

}  // namespace ORV_TEST_FILE_ID
