#include "SettingTestSupport.h"
#include "SettingWriter.h"
#include "game/data/SettingLoad.h"

#include <filesystem>
#include <iterator>
#include <string>

namespace ORV_TEST_FILE_ID {

using namespace setting_test;

namespace {

// Every value the reader binds, as text (lists element by element).
std::string State(TestReader& r)
{
    std::string s = WriteSettingText(r);
    for (u32 i = 0; i < r.words.GetCount(); ++i) s += "word " + Text(*r.words.GetAt(i)) + ";";
    for (u32 i = 0; i < r.numbers.GetCount(); ++i) s += "number " + std::to_string(*r.numbers.GetAt(i)) + ";";
    for (u32 i = 0; i < r.traces.GetCount(); ++i) {
        const CTraceRecord& t = *r.traces.GetAt(i);
        for (f32 v : {f32(t.count), t.AlphaAttenuation, f32(t.type), t.start.x, t.end.z}) s += std::to_string(v) + " ";
        s += "trace " + Text(t.bone) + " " + Text(t.texture) + ";";
    }
    for (u32 i = 0; i < r.spheres.GetCount(); ++i) {
        const CHitSphereRecord& h = *r.spheres.GetAt(i);
        for (f32 v : {h.radius, f32(h.type), h.position.y}) s += std::to_string(v) + " ";
        s += "sphere " + Text(h.bone) + ";";
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
    const std::string cache = ReadBytes("Setting/Test.dat").value_or("<missing>");
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
    const char* small = "count=1;\nNAME=;WORD=a.TXT; unknown=2; CHILD = Kid.txt ;COUNT=2;";
    ASSERT_EQ(reader.ParseText("Small.txt", small, '=', ';', nullptr, 1), 1);
    EXPECT_EQ(ReadBytes("Setting/Small.dat"), CacheBytes()
                                                  .Source(reader, small)
                                                  .Entry("COUNT", "1")
                                                  .Entry("NAME", "")
                                                  .Entry("WORD", "a.TXT")
                                                  .Entry("CHILD", "Setting/Kid.dat")
                                                  .Entry("COUNT", "2")
                                                  .End());

    // Only comments: the magic, the source tag and the end.
    ASSERT_EQ(reader.ParseText("Comments.txt", "// only\n/* comments */\n", '=', ';', nullptr, 1), 1);
    EXPECT_EQ(ReadBytes("Setting/Comments.dat"), CacheBytes().Source(reader, "// only\n/* comments */\n").End());

    // The trail byte of 表 (0x95 0x5C) in a name is no separator.
    ASSERT_EQ(reader.ParseText("\x95\x5C.txt", "count=3;", '=', ';', nullptr, 1), 1);
    EXPECT_EQ(ReadBytes("Setting/\x95\x5C.dat"), CacheBytes().Source(reader, "count=3;").Entry("COUNT", "3").End());
}

// Only a key naming a file takes the cache's form for file names: any other
// value holding ".txt", ".fac" or ".cam" reads the same from text and cache.
TEST(SettingCache, OnlyFileKeysAreCachedAsFileNames)
{
    WorkFolder folder;
    WriteBytes("Child.txt", "POWER=2;");
    const struct {
        const char* text;
        i32 count;
        f32 speed;
        const char* word;
    } cases[] = {
        {"COUNT=2.txt;SPEED=1.5.fac;WORD=x.cam;", 2, 1.5f, "x.cam"},
        {"COUNT=3 // was 2.txt\n;SPEED=0.5 /* b.TXT */;WORD=Setting/a.txt;", 3, 0.5f, "Setting/a.txt"},
        {"TEXT=Child.txt;COUNT=-4.CAM;WORD=Child.txt;CHILD=Child.txt;", -4, 1.25f, "Child.txt"},
    };
    for (const auto& c : cases) {
        WriteBytes("Values.txt", c.text);
        TestReader fromText, fromCache;
        ASSERT_EQ(fromText.LoadFile("Values.txt"), 1) << c.text;
        ASSERT_EQ(fromCache.LoadFile("Setting/Values.dat"), 1) << c.text;
        EXPECT_EQ(fromCache.count, c.count) << c.text;
        EXPECT_FLOAT_EQ(fromCache.speed, c.speed) << c.text;
        ASSERT_EQ(fromCache.words.GetCount(), 1u);
        EXPECT_EQ(Text(*fromCache.words.GetAt(0)), c.word);
        EXPECT_EQ(State(fromCache), State(fromText)) << c.text;
    }
}

TEST(SettingCache, HandBuiltCacheLoads)
{
    WorkFolder folder;
    WriteBytes("Child.txt", "POWER=5;");
    const std::string longText(300, 'z');   // past one turn of the scrambling table
    TestReader reader;
    WriteBytes("Setting/Golden.dat", CacheBytes()
                                         .Source(reader, "")
                                         .Entry("SPEED", "0.75")
                                         .Entry("TEXT", "\x83\x41;=" + longText)
                                         .Entry("NAME", "")
                                         .Entry("WORD", "one")
                                         .Entry("WORD", "two")
                                         .Entry("POSITION", ":4:5:6")
                                         .Entry("ROW1COUNT", "-8")
                                         .Entry("CHILD", "Child.txt")
                                         .End());
    ASSERT_EQ(reader.LoadFile("Setting/Golden.dat"), 1);
    EXPECT_FLOAT_EQ(reader.speed, 0.75f);
    EXPECT_EQ(Text(reader.text), "\x83\x41;=" + longText);
    ASSERT_EQ(reader.words.GetCount(), 2u);
    EXPECT_FLOAT_EQ(reader.position.z, 6);
    EXPECT_EQ(reader.block.group.rows[1].count, -8);
    EXPECT_EQ(reader.count, -3);   // not in the cache: default
    ASSERT_EQ(reader.children.GetCount(), 1u);
    EXPECT_EQ(reader.children.GetAt(0)->power, 5);
}

TEST(SettingCache, DamagedCachesFailWithoutOverrun)
{
    WorkFolder folder;
    const auto loads = [](const std::string& bytes) {
        WriteBytes("Setting/Bad.dat", bytes);
        TestReader reader;
        return reader.LoadFile("Setting/Bad.dat");
    };
    TestReader owner;
    const auto tagged = [&] { return CacheBytes().Source(owner, ""); };
    const std::string good = tagged().Entry("TEXT", "hello").Entry("COUNT", "3").End();
    ASSERT_EQ(loads(good), 1);
    for (size_t size = 4; size < good.size(); ++size) EXPECT_EQ(loads(good.substr(0, size)), 0) << size;
    const size_t tagSize = tagged().Bytes().size();
    std::string noTerminator = tagged().Entry("TEXT", "abc").End();
    noTerminator[tagSize + 8 + 3] = 'x';   // the stored zero after the text
    for (const std::string& bad : {tagged().Entry("NOSUCHKEY", "1").End(), noTerminator,
                                   tagged().U32(Crc32NameKey("TEXT")).U32(0xFFFFFFFF).Bytes() + "abc",
                                   tagged().U32(Crc32NameKey("TEXT")).U32(0x7FFFFFF0).Bytes() + std::string(64, 'a')})
        EXPECT_EQ(loads(bad), 0);
    // The same without a source tag.
    const std::string plain = CacheBytes().Entry("TEXT", "hello").Entry("COUNT", "3").End();
    ASSERT_EQ(loads(plain), 1);
    for (size_t size = 4; size < plain.size(); ++size) EXPECT_EQ(loads(plain.substr(0, size)), 0) << size;
    EXPECT_EQ(loads(CacheBytes().Entry("NOSUCHKEY", "1").End()), 0);
}

// A cache in the plain layout (no source tag) loads when its text is not
// beside it; beside it, the text is read and the cache written anew.
TEST(SettingCache, ACacheWithoutASourceTagLoadsWithoutItsText)
{
    WorkFolder folder;
    const std::string text = "COUNT=11;TEXT=\x83\x41;WORD=one;WORD=two;POSITION=4:5:6;ROW1COUNT=-8;";
    TestReader fromText;
    ASSERT_EQ(fromText.ParseText("Written.txt", text.c_str(), '=', ';', nullptr, 1), 1);
    const std::string written = ReadBytes("Setting/Written.dat").value_or("");
    const size_t tagSize = CacheBytes().Source(fromText, text).Bytes().size();
    ASSERT_GT(written.size(), tagSize);
    const struct {
        const char* name;
        std::string bytes;
        i32 count;
        std::string text;
        u32 words;
    } cases[] = {
        {"golden", CacheBytes().Entry("COUNT", "11").Entry("NAME", "Shipped").Entry("TEXT", "\x83\x41").End(), 11,
         "\x83\x41", 0},
        {"only the end", CacheBytes().End(), -3, "none", 0},
        {"the writer's, its tag cut out", std::string("BIN", 4) + written.substr(tagSize), 11, "\x83\x41", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes("Setting/Shipped.dat", c.bytes);
        TestReader reader;
        reader.count = 99;
        ASSERT_EQ(reader.LoadFile("Setting/Shipped.dat"), 1);
        EXPECT_EQ(reader.count, c.count);
        EXPECT_EQ(Text(reader.text), c.text);
        EXPECT_EQ(reader.words.GetCount(), c.words);
        EXPECT_EQ(ReadBytes("Setting/Shipped.dat"), c.bytes);   // read, not rewritten
    }
    TestReader cut;
    ASSERT_EQ(cut.LoadFile("Setting/Shipped.dat"), 1);
    EXPECT_EQ(State(cut), State(fromText));

    // With a text beside it the cache is still used as it stands.
    WriteBytes("Shipped.txt", "COUNT=12;");
    TestReader withText;
    ASSERT_EQ(withText.LoadFile("Setting/Shipped.dat"), 1);
    EXPECT_EQ(withText.count, 11);
    EXPECT_EQ(ReadBytes("Setting/Shipped.dat"), cases[2].bytes);

    // Another kind's plain cache is refused, and left as it is.
    host::kernel::DeleteFile("Shipped.txt");
    const std::string childs = CacheBytes().Entry("POWER", "3").End();
    WriteBytes("Setting/Shipped.dat", childs);
    EXPECT_EQ(TestReader().LoadFile("Setting/Shipped.dat"), 0);
    EXPECT_EQ(CSettingLoad::LastError(), SettingLoadError::kDamaged);
    EXPECT_EQ(ReadBytes("Setting/Shipped.dat"), childs);
    ChildReader child;
    ASSERT_EQ(child.LoadFile("Setting/Shipped.dat"), 1);
    EXPECT_EQ(child.power, 3);
}

// A cache is used as the game finds it, whatever text stands beside it,
// until reading the text replaces it.
TEST(SettingCache, ACacheIsUsedUntilItsTextReplacesIt)
{
    WorkFolder folder;
    WriteBytes("Kept.txt", "COUNT=3;");
    ASSERT_EQ(TestReader().LoadFile("Kept.txt"), 1);
    const struct {
        const char* name;
        std::string cache;
    } cases[] = {
        {"tagged", ReadBytes("Setting/Kept.dat").value_or("")},
        {"untagged", CacheBytes().Entry("COUNT", "3").End()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes("Setting/Kept.dat", c.cache);
        WriteBytes("Kept.txt", "COUNT=4;");
        TestReader cached;
        ASSERT_EQ(cached.LoadFile("Setting/Kept.dat"), 1);
        EXPECT_EQ(cached.count, 3);
        EXPECT_EQ(ReadBytes("Setting/Kept.dat"), c.cache);
        ASSERT_EQ(TestReader().LoadFile("Kept.txt"), 1);
        TestReader replaced;
        ASSERT_EQ(replaced.LoadFile("Setting/Kept.dat"), 1);
        EXPECT_EQ(replaced.count, 4);
    }
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
    const std::string old = ReadBytes("Setting/Test.dat").value_or("<missing>");
    WriteBytes("Test.txt", "COUNT=8;/* never closed");
    EXPECT_EQ(reader.LoadFile("Test.txt"), 0);
    EXPECT_EQ(ReadBytes("Setting/Test.dat"), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("Setting"), std::filesystem::directory_iterator()), 1);
    // The old cache is used as it stands, beside its broken text or without it.
    TestReader fresh;
    ASSERT_EQ(fresh.LoadFile("Setting/Test.dat"), 1);
    EXPECT_EQ(fresh.count, 7);
    fresh.count = 0;
    host::kernel::DeleteFile("Test.txt");
    ASSERT_EQ(fresh.LoadFile("Setting/Test.dat"), 1);
    EXPECT_EQ(fresh.count, 7);
}

TEST(SettingCache, AnUnterminatedFinalValueLeavesALoadableCache)
{
    WorkFolder folder;
    WriteBytes("Tail.txt", "COUNT=4;SPEED=9");
    TestReader reader;
    ASSERT_EQ(reader.LoadFile("Tail.txt"), 1);
    EXPECT_EQ(ReadBytes("Setting/Tail.dat"), CacheBytes().Source(reader, "COUNT=4;SPEED=9").Entry("COUNT", "4").End());
    TestReader fromCache;
    ASSERT_EQ(fromCache.LoadFile("Setting/Tail.dat"), 1);
    EXPECT_EQ(State(fromCache), State(reader));
}

// Two readers of one text take turns writing its cache: each keeps the
// other's section and replaces its own, so the cache keeps its size and
// each reader finds its own values in it.
TEST(SettingCache, ReadersTakingTurnsKeepOneSectionEach)
{
    WorkFolder folder;
    WriteBytes("Shared.txt", "POWER = 3; COUNT = 5;");
    size_t size = 0;
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        ChildReader child;
        ASSERT_EQ(child.LoadFile("Shared.txt"), 1);
        TestReader test;
        ASSERT_EQ(test.LoadFile("Shared.txt"), 1);
        const size_t now = ReadBytes("Setting/Shared.dat").value_or("").size();
        if (round == 0) size = now;
        EXPECT_EQ(now, size);
        ChildReader childCache;
        ASSERT_EQ(childCache.LoadFile("Setting/Shared.dat"), 1);
        EXPECT_EQ(childCache.power, 3);
        TestReader testCache;
        ASSERT_EQ(testCache.LoadFile("Setting/Shared.dat"), 1);
        EXPECT_EQ(testCache.count, 5);
    }
    EXPECT_GT(size, 0u);
}

TEST(SettingCache, CachePathFollowsTheGivenName)
{
    WorkFolder folder;
    // A text under a cache's name compiles one folder deeper.
    WriteBytes("Setting/Skill.dat", "COUNT=2;");
    TestReader reader;
    EXPECT_EQ(reader.LoadFile("Setting/Skill.dat"), 0);   // no Setting/Setting folder
    ASSERT_TRUE(host::kernel::CreateDirectory("Setting/Setting"));
    ASSERT_EQ(reader.LoadFile("Setting/Skill.dat"), 1);
    EXPECT_EQ(ReadBytes("Setting/Setting/Skill.dat"), CacheBytes().Source(reader, "COUNT=2;").Entry("COUNT", "2").End());
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

}  // namespace ORV_TEST_FILE_ID
