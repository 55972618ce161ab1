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

TEST(SettingText, MissingKeysKeepTheirDefaults)
{
    TestReader reader;
    ASSERT_EQ(Parse(reader, ""), 1);
    EXPECT_EQ(Text(reader.GetName()), "Non Name");
    EXPECT_FLOAT_EQ(reader.speed, 1.25f);
    EXPECT_EQ(reader.count, -3);
    EXPECT_EQ(reader.shortValue, 9);
    EXPECT_EQ(reader.byteValue, 4);
    EXPECT_FLOAT_EQ(reader.position.z, 3);
    EXPECT_EQ(Text(reader.text), "none");
    EXPECT_FLOAT_EQ(reader.block.group.rows[1].speed, 0.5f);
    EXPECT_EQ(reader.block.group.rows[1].count, 2);
    EXPECT_EQ(reader.block.group.flags, 0u);
}

TEST(SettingText, CommentsBlanksAndCaseOfKeys)
{
    TestReader reader;
    ASSERT_EQ(Parse(reader, "// header = 1;\n"
                            "/* COUNT = 5; \n */ speed\t= 2.5 ;//COUNT=6;\n"
                            "  Name = \x83\x41\x83\x43 ;\r\n"
                            "move velocity = 3;movevelocity=4;\n"
                            "row1count=11;/**/ROW0SPEED=0.25;\n"
                            "COUNT = 1 // not a comment inside a value;\n"
                            "trailing text without separator"),
              1);
    EXPECT_FLOAT_EQ(reader.speed, 2.5f);
    EXPECT_EQ(Text(reader.GetName()), "\x83\x41\x83\x43");
    EXPECT_EQ(reader.count, 1);
    EXPECT_EQ(reader.block.group.rows[1].count, 11);
    EXPECT_FLOAT_EQ(reader.block.group.rows[0].speed, 0.25f);
}

TEST(SettingText, TrailBytesNeverEndAKeyOrAValue)
{
    TestReader reader;
    // 0x81 0x3D and 0x81 0x3B are pairs: neither '=' nor ';' ends anything.
    ASSERT_EQ(Parse(reader, "UNKNOWN=\x81;skip\x81=;TEXT=a\x81;b\x81=c;SPEED=3;"), 1);
    EXPECT_EQ(Text(reader.text), "a\x81;b\x81=c");
    EXPECT_FLOAT_EQ(reader.speed, 3.0f);

    // A trail byte in a key is not upper-cased: "x" + 0x83 0x61 is not "X" + 0x83 0x41.
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

TEST(SettingText, RepeatedKeysLastScalarWinsListsCollect)
{
    TestReader reader;
    ASSERT_EQ(Parse(reader, "COUNT=1;WORD=a;COUNT=2;WORD= b c ;NUMBER=5;NUMBER=-6;"), 1);
    EXPECT_EQ(reader.count, 2);
    ASSERT_EQ(reader.words.GetCount(), 2u);
    EXPECT_EQ(Text(*reader.words.GetAt(1)), "b c");
    ASSERT_EQ(reader.numbers.GetCount(), 2u);
    EXPECT_EQ(*reader.numbers.GetAt(1), -6);

    // Parsing again starts from the defaults: lists do not grow across loads.
    ASSERT_EQ(Parse(reader, "WORD=z;"), 1);
    EXPECT_EQ(reader.words.GetCount(), 1u);
    EXPECT_EQ(reader.count, -3);
}

TEST(SettingText, AFinalValueWithoutTerminatorIsIgnored)
{
    TestReader reader;
    ASSERT_EQ(Parse(reader, "COUNT=4;SPEED=9"), 1);
    EXPECT_EQ(reader.count, 4);
    EXPECT_FLOAT_EQ(reader.speed, 1.25f);
}

TEST(SettingText, UnterminatedBlockCommentFails)
{
    TestReader reader;
    EXPECT_EQ(Parse(reader, "COUNT=1;/* unterminated"), 0);
    EXPECT_EQ(reader.ParseText("Test.txt", nullptr, '=', ';', nullptr, 0), 0);
}

TEST(SettingText, OverlongKeysNeverMatch)
{
    TestReader reader;
    // Blanks would trim away, but a key past 1023 bytes is dropped whole.
    const std::string text = std::string(1100, ' ') + "COUNT=5;" + std::string(2000, 'K') + "=x;SPEED=2;";
    ASSERT_EQ(Parse(reader, text), 1);
    EXPECT_EQ(reader.count, -3);
    EXPECT_FLOAT_EQ(reader.speed, 2.0f);
}

TEST(SettingText, EveryValueKindFromOneText)
{
    TestReader reader;
    ASSERT_EQ(Parse(reader, "SHORT=-1;BYTE=257;POSITION=:1:2:3;TEXT=;"
                            "TRACE=count:2 bone:\"Arm\";TRACE=type:1;"
                            "SPHERE=radius:0.5 bone:\"Body\" y:1;"
                            "CHILD=One.txt;CHILD=Two.txt;"),
              1);
    EXPECT_EQ(reader.shortValue, 65535);
    EXPECT_EQ(reader.byteValue, 1);
    EXPECT_FLOAT_EQ(reader.position.x, 1);
    EXPECT_EQ(reader.text.GetLength(), 0u);
    ASSERT_EQ(reader.traces.GetCount(), 2u);
    EXPECT_EQ(Text(reader.traces.GetAt(0)->bone), "Arm");
    EXPECT_EQ(reader.traces.GetAt(1)->type, 1);
    ASSERT_EQ(reader.spheres.GetCount(), 1u);
    EXPECT_FLOAT_EQ(reader.spheres.GetAt(0)->position.y, 1);
    ASSERT_EQ(reader.children.GetNameCount(), 2u);
    EXPECT_EQ(Text(*reader.children.GetName(1)), "Two.txt");   // as written, not the cache name
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
