#include "SettingTestSupport.h"
#include "SettingWriter.h"

#include "game/data/Skill.h"

#include <string>

namespace ORV_TEST_FILE_ID {

using namespace setting_test;

// A file named by two kinds of reader: each is handed its own values, never
// the other's cache, and a cache without its text is refused by the other.
TEST(SettingLoad, ACacheServesOnlyTheReaderThatWroteIt)
{
    WorkFolder folder;
    WriteBytes("Shared.txt", "POWER=5;COUNT=9;");
    ChildReader child;
    ASSERT_EQ(child.LoadFile("Shared.txt"), 1);
    TestReader other;
    ASSERT_EQ(other.LoadFile("Setting/Shared.dat"), 1);   // not ChildReader's cache: the text is read
    EXPECT_EQ(other.count, 9);
    ChildReader again;
    ASSERT_EQ(again.LoadFile("Setting/Shared.dat"), 1);   // its own section of the cache, kept by TestReader
    EXPECT_EQ(again.power, 5);

    // Without the text both writers of the same text still use the cache.
    host::kernel::DeleteFile("Shared.txt");
    TestReader cachedOther;
    ASSERT_EQ(cachedOther.LoadFile("Setting/Shared.dat"), 1);
    EXPECT_EQ(cachedOther.count, 9);
    ChildReader cachedChild;
    ASSERT_EQ(cachedChild.LoadFile("Setting/Shared.dat"), 1);
    EXPECT_EQ(cachedChild.power, 5);
}

// A child named in any case is found by its parent's cache.
TEST(SettingLoad, ChildNamesInAnyCaseFindTheirCache)
{
    WorkFolder folder;
    WriteBytes("Kid.Txt", "POWER=4;");
    WriteBytes("Parent.txt", "CHILD=Kid.Txt;");
    TestReader text, cached;
    ASSERT_EQ(text.LoadFile("Parent.txt"), 1);
    ASSERT_EQ(cached.LoadFile("Setting/Parent.dat"), 1);
    EXPECT_EQ(Text(*cached.children.GetName(0)), "Setting/Kid.dat");
    EXPECT_EQ(cached.children.GetAt(0)->power, 4);
}

// A child named a thousand times is read once and shared.
TEST(SettingLoad, AChildNamedManyTimesIsReadOnce)
{
    WorkFolder folder;
    WriteBytes("Kid.txt", "POWER=2;");
    std::string text;
    for (int i = 0; i < 1000; ++i) text += i % 2 ? "CHILD=setting/KID.dat;" : "CHILD=Kid.txt;";
    WriteBytes("Parent.txt", text);
    CSettingLoad load;
    TestReader parent;
    ASSERT_EQ(parent.LoadFile("Parent.txt"), 1);
    ASSERT_EQ(parent.children.GetCount(), 1000u);
    EXPECT_EQ(parent.children.GetAt(0), parent.children.GetAt(999));
    EXPECT_EQ(load.GetFileCount(), 2u);
    EXPECT_EQ(load.GetError(), SettingLoadError::kNone);
}

// Files and bytes past the bounds of one load fail with their error.
TEST(SettingLoad, ALoadIsBoundedInFilesAndBytes)
{
    {
        CSettingLoad load;
        for (u32 i = 0; i < CSettingLoad::kMaxFiles; ++i) ASSERT_TRUE(CSettingLoad::CountRead("f", 1));
        EXPECT_FALSE(CSettingLoad::CountRead("one more", 1));
        EXPECT_EQ(load.GetError(), SettingLoadError::kTooManyFiles);
        EXPECT_EQ(load.Describe(), std::string(DescribeSettingLoadError(SettingLoadError::kTooManyFiles)) + ": one more");
    }
    EXPECT_EQ(CSettingLoad::LastError(), SettingLoadError::kTooManyFiles);
    CSettingLoad load;
    ASSERT_TRUE(CSettingLoad::CountRead("half", CSettingLoad::kMaxBytes / 2));
    EXPECT_FALSE(CSettingLoad::CountRead("too much", CSettingLoad::kMaxBytes / 2 + 1));
    EXPECT_EQ(load.GetError(), SettingLoadError::kTooManyBytes);
}

// Every child name, a skill's as much as a shot's, stays in the data folder;
// the outermost name is the caller's own.
TEST(SettingLoad, ChildNamesOutsideTheDataFolderAreRefused)
{
    WorkFolder folder;
    WriteBytes("Skill01.txt", "BASEHP=2;");
    for (const char* name : {"../Skill01.txt", "/tmp/Skill01.txt", "a/../../Skill01.txt", "..\\Skill01.txt"}) {
        WriteBytes("Skill.txt", std::string("SKILL=Skill01.txt;SKILL=") + name + ";");
        CSkillList list;
        EXPECT_EQ(list.LoadFile("Skill.txt"), 0) << name;
        EXPECT_EQ(CSettingLoad::LastError(), SettingLoadError::kUnsafeName) << name;
        EXPECT_EQ(list.skills.GetCount(), 1u);
    }
    WriteBytes("Self.txt", "CHILD=Self.txt;");
    EXPECT_EQ(TestReader().LoadFile("Self.txt"), 0);
    EXPECT_EQ(CSettingLoad::LastError(), SettingLoadError::kCycle);
}

namespace {

// A child read by another kind of reader than ChildReader.
class CountReader : public CSettingFile {
public:
    i32 RegisterKeys() override
    {
        if (!CSettingFile::RegisterKeys()) return 0;
        RegisterKey("COUNT", &count, 3);
        return 1;
    }
    i32 OnLoaded(const CStatusKeyMap*) override { return 1; }
    i32 count = 0;
};

// Two lists of children, each its own kind of reader, as a character names
// its camera and its weapons.
class TwoKindsReader : public CSettingFile {
public:
    ~TwoKindsReader() override { TwoKindsReader::Clear(); }
    i32 RegisterKeys() override
    {
        if (!CSettingFile::RegisterKeys()) return 0;
        RegisterKey("ONE", &ones, CSettingFileList<ChildReader>());
        RegisterKey("TWO", &twos, CSettingFileList<CountReader>());
        return 1;
    }
    i32 OnLoaded(const CStatusKeyMap* aliasTable) override { return ones.Load(aliasTable) && twos.Load(aliasTable); }
    i32 Clear() override
    {
        ones.Release();
        twos.Release();
        return CSettingFile::Clear();
    }
    CSettingFileList<ChildReader> ones;
    CSettingFileList<CountReader> twos;
};

}  // namespace

// One text named by two kinds of reader of one parent, in any spelling:
// the parent loads the same from its text and from its own cache, again
// and again, each reader keeping the other's section of the cache.
TEST(SettingLoad, ATextOfTwoReadersLoadsAlikeFromTheParentsTextAndCache)
{
    for (const char* names :
         {"ONE=Same.txt;TWO=Same.txt;", "ONE=Same.txt;TWO=same.TXT;", "ONE=Same.txt;TWO=Setting/Same.dat;"}) {
        WorkFolder folder;
        WriteBytes("Same.txt", "POWER=5;COUNT=9;");
        WriteBytes("Parent.txt", names);
        for (const char* path : {"Parent.txt", "Setting/Parent.dat", "Setting/Parent.dat", "Parent.txt"}) {
            SCOPED_TRACE(std::string(names) + " " + path);
            TwoKindsReader parent;
            ASSERT_EQ(parent.LoadFile(path), 1) << CSettingLoad::LastErrorFile();
            ASSERT_EQ(parent.ones.GetCount(), 1u);
            ASSERT_EQ(parent.twos.GetCount(), 1u);
            EXPECT_EQ(parent.ones.GetAt(0)->power, 5);
            EXPECT_EQ(parent.twos.GetAt(0)->count, 9);
        }
    }
}

// A cache holds a section for each reader that wrote it from its text, and only
// from the same text: a reader that never read the text is refused without
// it, and a text edited and read again leaves only the sections written from
// the new one.
TEST(SettingLoad, ACacheKeepsOtherReadersSectionsOfTheSameTextOnly)
{
    WorkFolder folder;
    WriteBytes("Shared.txt", "POWER=5;COUNT=9;");
    ASSERT_EQ(ChildReader().LoadFile("Shared.txt"), 1);
    ASSERT_EQ(TestReader().LoadFile("Shared.txt"), 1);
    const std::string both = ReadBytes("Setting/Shared.dat").value_or("");
    ASSERT_EQ(TestReader().LoadFile("Shared.txt"), 1);
    EXPECT_EQ(ReadBytes("Setting/Shared.dat"), both);   // its own section replaced, not doubled

    // Edited: the cache is used as it stands until the text is read again;
    // then only the reader that read the new text keeps a section.
    WriteBytes("Shared.txt", "POWER=6;COUNT=8;");
    TestReader stale;
    ASSERT_EQ(stale.LoadFile("Setting/Shared.dat"), 1);
    EXPECT_EQ(stale.count, 9);
    EXPECT_EQ(ReadBytes("Setting/Shared.dat"), both);
    ASSERT_EQ(TestReader().LoadFile("Shared.txt"), 1);
    const std::string one = ReadBytes("Setting/Shared.dat").value_or("");
    EXPECT_LT(one.size(), both.size());
    host::kernel::DeleteFile("Shared.txt");
    TestReader other;
    ASSERT_EQ(other.LoadFile("Setting/Shared.dat"), 1);
    EXPECT_EQ(other.count, 8);
    for (int kind = 0; kind < 2; ++kind) {
        SCOPED_TRACE(kind);
        EXPECT_EQ(kind ? CountReader().LoadFile("Setting/Shared.dat") : ChildReader().LoadFile("Setting/Shared.dat"), 0);
        EXPECT_EQ(CSettingLoad::LastError(), SettingLoadError::kForeignCache);
        EXPECT_EQ(CSettingLoad::LastErrorFile(), "Setting/Shared.dat");
    }
    EXPECT_EQ(ReadBytes("Setting/Shared.dat"), one);   // a refused load writes nothing

    // Back with the new text, the second reader's section joins the first's.
    WriteBytes("Shared.txt", "POWER=6;COUNT=8;");
    ChildReader child;
    ASSERT_EQ(child.LoadFile("Setting/Shared.dat"), 1);
    EXPECT_EQ(child.power, 6);
    host::kernel::DeleteFile("Shared.txt");
    ChildReader cachedChild;
    TestReader cachedOther;
    ASSERT_EQ(cachedChild.LoadFile("Setting/Shared.dat"), 1);
    ASSERT_EQ(cachedOther.LoadFile("Setting/Shared.dat"), 1);
    EXPECT_EQ(cachedChild.power, 6);
    EXPECT_EQ(cachedOther.count, 8);
}

}  // namespace ORV_TEST_FILE_ID
