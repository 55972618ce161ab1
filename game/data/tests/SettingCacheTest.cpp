#include "SettingTestSupport.h"

#include <filesystem>
#include <iterator>
#include <string>

using namespace setting_test;

namespace {

// Every value the reader binds, as text (lists element by element).
std::string State(TestReader& r)
{
    std::string s;
    char buffer[512];
    const CStatusKeyMap* keys = r.GetKeyMap();
    for (u32 i = 0; keys && i < keys->GetCount(); ++i) {
        buffer[0] = '\0';
        s += Text(keys->GetAt(i)->name) + "=" + keys->GetAt(i)->parameter->FormatValue(r.GetOwner(), buffer, sizeof buffer) + ";";
    }
    for (u32 i = 0; i < r.words.GetCount(); ++i) s += "word " + Text(*r.words.GetAt(i)) + ";";
    for (u32 i = 0; i < r.numbers.GetCount(); ++i) s += "number " + std::to_string(*r.numbers.GetAt(i)) + ";";
    for (u32 i = 0; i < r.traces.GetCount(); ++i) {
        const CTraceRecord& t = *r.traces.GetAt(i);
        s += "trace " + std::to_string(t.count) + " " + std::to_string(t.AlphaAttenuation) + " " + std::to_string(t.type) +
             " " + std::to_string(t.start.x) + " " + std::to_string(t.end.z) + " " + Text(t.bone) + " " + Text(t.texture) + ";";
    }
    for (u32 i = 0; i < r.spheres.GetCount(); ++i) {
        const CHitSphereRecord& h = *r.spheres.GetAt(i);
        s += "sphere " + std::to_string(h.radius) + " " + std::to_string(h.type) + " " + std::to_string(h.position.y) + " " +
             Text(h.bone) + ";";
    }
    for (u32 i = 0; i < r.children.GetCount(); ++i) s += "child " + std::to_string(r.children.GetAt(i)->power) + ";";
    return s;
}

const char kFullText[] =
    "// every kind of value\n"
    "NAME = \x83\x65\x83\x58\x83\x67;\n"
    "SPEED = 0.125; COUNT = -42; SHORT = -2; BYTE = 511;\n"
    "POSITION = :1.5:-2:3e2;\n"
    "TEXT = \x95\x5C\x81\x3B\x8E\xA6 with spaces ;\n"
    "WORD = first; WORD = ; WORD = third;\n"
    "NUMBER = 3; NUMBER = 1;\n"
    "TRACE = count:8 AlphaAttenuation:0.5 type:2 startx:1 endz:-4 bone:\"Hand\" texture:\"Trail.png\";\n"
    "SPHERE = radius:2 type:1 y:0.75 bone:\"Body\";\n"
    "CHILD = Child.txt;\n"
    "ROW1SPEED = 6.5; ROW0COUNT = 17;\n"
    "UNKNOWN = ignored;\n"
    "COUNT = 42;\n";

}  // namespace

TEST(SettingCache, ATextAndItsCacheGiveTheSameReader)
{
    WorkFolder folder;
    WriteBytes("Test.txt", kFullText);
    WriteBytes("Child.txt", "POWER = 3;");

    TestReader fromText;
    ASSERT_EQ(fromText.LoadFile("Test.txt"), 1);
    EXPECT_EQ(fromText.count, 42);
    ASSERT_EQ(fromText.children.GetCount(), 1u);

    TestReader fromCache;
    ASSERT_EQ(fromCache.LoadFile("Setting/Test.dat"), 1);
    EXPECT_EQ(State(fromCache), State(fromText));
    EXPECT_EQ(Text(*fromCache.children.GetName(0)), "Setting/Child.dat");
    EXPECT_EQ(Text(*fromText.children.GetName(0)), "Child.txt");

    // The cache is read whatever the file's name, and never written again.
    const std::string cache = ReadBytes("Setting/Test.dat");
    WriteBytes("Copy.txt", cache);
    TestReader renamed;
    ASSERT_EQ(renamed.LoadFile("Copy.txt"), 1);
    EXPECT_EQ(State(renamed), State(fromText));
    EXPECT_FALSE(host::kernel::FileExists("Setting/Copy.dat"));
}

TEST(SettingCache, WriterLaysOutEntriesInTextOrder)
{
    WorkFolder folder;
    TestReader reader;
    reader.RegisterKeys();
    ASSERT_EQ(reader.ParseText("Small.txt", "count=1;\nNAME=;WORD=a.TXT; unknown=2; CHILD = Kid.txt ;COUNT=2;",
                               '=', ';', nullptr, 1),
              1);
    const std::string expected = CacheBytes()
                                     .Entry("COUNT", "1")
                                     .Entry("NAME", "")
                                     .Entry("WORD", "Setting/a.TXT")
                                     .Entry("CHILD", "Setting/Kid.dat")
                                     .Entry("COUNT", "2")
                                     .End();
    EXPECT_EQ(ReadBytes("Setting/Small.dat"), expected);

    ASSERT_EQ(reader.ParseText("Comments.txt", "// only\n/* comments */\n", '=', ';', nullptr, 1), 1);
    EXPECT_EQ(ReadBytes("Setting/Comments.dat"), std::string("BIN\0\0\0\0\0", 8));
}

TEST(SettingCache, HandBuiltCacheLoads)
{
    WorkFolder folder;
    WriteBytes("Child.txt", "POWER=5;");
    const std::string longText(300, 'z');   // past one turn of the scrambling table
    WriteBytes("Setting/Golden.dat", CacheBytes()
                                         .Entry("SPEED", "0.75")
                                         .Entry("TEXT", "\x83\x41;=" + longText)
                                         .Entry("NAME", "")
                                         .Entry("WORD", "one")
                                         .Entry("WORD", "two")
                                         .Entry("POSITION", ":4:5:6")
                                         .Entry("ROW1COUNT", "-8")
                                         .Entry("CHILD", "Child.txt")
                                         .End());
    TestReader reader;
    ASSERT_EQ(reader.LoadFile("Setting/Golden.dat"), 1);
    EXPECT_FLOAT_EQ(reader.speed, 0.75f);
    EXPECT_EQ(Text(reader.text), "\x83\x41;=" + longText);
    EXPECT_EQ(reader.GetName().GetLength(), 0u);
    ASSERT_EQ(reader.words.GetCount(), 2u);
    EXPECT_EQ(Text(*reader.words.GetAt(1)), "two");
    EXPECT_FLOAT_EQ(reader.position.z, 6);
    EXPECT_EQ(reader.block.group.rows[1].count, -8);
    EXPECT_EQ(reader.count, -3);   // not in the cache: default
    ASSERT_EQ(reader.children.GetCount(), 1u);
    EXPECT_EQ(reader.children.GetAt(0)->power, 5);
}

TEST(SettingCache, DamagedCachesFailWithoutOverrun)
{
    WorkFolder folder;
    const std::string good = CacheBytes().Entry("TEXT", "hello").Entry("COUNT", "3").End();
    TestReader probe;
    WriteBytes("Setting/Good.dat", good);
    ASSERT_EQ(probe.LoadFile("Setting/Good.dat"), 1);

    // Every cut of the file after its magic.
    for (size_t size = 4; size < good.size(); ++size) {
        WriteBytes("Setting/Cut.dat", good.substr(0, size));
        TestReader reader;
        EXPECT_EQ(reader.LoadFile("Setting/Cut.dat"), 0) << size;
    }

    const auto fails = [](const std::string& bytes) {
        WriteBytes("Setting/Bad.dat", bytes);
        TestReader reader;
        return reader.LoadFile("Setting/Bad.dat") == 0;
    };
    EXPECT_TRUE(fails(CacheBytes().Entry("NOSUCHKEY", "1").End()));
    EXPECT_TRUE(fails(CacheBytes().U32(Crc32NameKey("TEXT")).U32(0xFFFFFFFF).Bytes() + "abc"));
    EXPECT_TRUE(fails(CacheBytes().U32(Crc32NameKey("TEXT")).U32(0x7FFFFFF0).Bytes() + std::string(64, 'a')));
    std::string noTerminator = CacheBytes().Entry("TEXT", "abc").End();
    noTerminator[4 + 8 + 3] = 'x';   // the stored zero after the text
    EXPECT_TRUE(fails(noTerminator));
}

TEST(SettingCache, FailedParseLeavesNoCacheAndKeepsTheOldOne)
{
    WorkFolder folder;
    TestReader reader;
    WriteBytes("Broken.txt", "COUNT=1;\n/* never closed");
    EXPECT_EQ(reader.LoadFile("Broken.txt"), 0);
    EXPECT_FALSE(host::kernel::FileExists("Setting/Broken.dat"));

    WriteBytes("Test.txt", "COUNT=7;");
    ASSERT_EQ(reader.LoadFile("Test.txt"), 1);
    const std::string old = ReadBytes("Setting/Test.dat");
    WriteBytes("Test.txt", "COUNT=8;/* never closed");
    EXPECT_EQ(reader.LoadFile("Test.txt"), 0);
    EXPECT_EQ(ReadBytes("Setting/Test.dat"), old);

    // No temporary file was left behind either.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("Setting"), std::filesystem::directory_iterator()), 1);
    TestReader fresh;
    ASSERT_EQ(fresh.LoadFile("Setting/Test.dat"), 1);
    EXPECT_EQ(fresh.count, 7);
}

TEST(SettingCache, AnUnterminatedFinalValueLeavesALoadableCache)
{
    WorkFolder folder;
    WriteBytes("Tail.txt", "COUNT=4;SPEED=9");
    TestReader reader;
    ASSERT_EQ(reader.LoadFile("Tail.txt"), 1);
    EXPECT_EQ(ReadBytes("Setting/Tail.dat"), CacheBytes().Entry("COUNT", "4").End());
    TestReader fromCache;
    ASSERT_EQ(fromCache.LoadFile("Setting/Tail.dat"), 1);
    EXPECT_EQ(State(fromCache), State(reader));
}

TEST(SettingCache, CachePathFollowsTheGivenName)
{
    WorkFolder folder;
    // A text under the cache's own name compiles one folder deeper.
    WriteBytes("Setting/Skill.dat", "COUNT=2;");
    TestReader reader;
    EXPECT_EQ(reader.LoadFile("Setting/Skill.dat"), 0);   // no Setting/Setting folder
    ASSERT_TRUE(host::kernel::CreateDirectory("Setting/Setting"));
    ASSERT_EQ(reader.LoadFile("Setting/Skill.dat"), 1);
    EXPECT_EQ(ReadBytes("Setting/Setting/Skill.dat"), CacheBytes().Entry("COUNT", "2").End());
    EXPECT_EQ(CSettingFile::MakeCachePath("ab"), "Setting/.dat");

    EXPECT_EQ(reader.LoadFile("Missing.txt"), 0);
    EXPECT_EQ(reader.LoadFile(nullptr), 0);
}

TEST(SettingCache, AMissingChildFailsTheLoad)
{
    WorkFolder folder;
    WriteBytes("Parent.txt", "CHILD=Here.txt;CHILD=Gone.txt;");
    WriteBytes("Here.txt", "POWER=1;");
    TestReader reader;
    EXPECT_EQ(reader.LoadFile("Parent.txt"), 0);
    EXPECT_EQ(reader.children.GetCount(), 1u);
    EXPECT_TRUE(host::kernel::FileExists("Setting/Parent.dat"));   // the parent itself parsed
}
