#include "SettingTestSupport.h"

#include <string>

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
