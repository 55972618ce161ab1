#include "SettingTestSupport.h"
#include "SettingWriter.h"

#include "game/data/Skill.h"

#include <cstring>

namespace ORV_TEST_FILE_ID {

using namespace setting_test;

namespace {

bool SameNumbers(const CSkillSetting& a, const CSkillSetting& b)
{
    return std::memcmp(&a.values, &b.values, sizeof a.values) == 0;
}

}  // namespace

TEST(SkillSetting, EmptyTextGivesTheDefaults)
{
    WorkFolder folder;
    WriteBytes("Empty.txt", "// nothing\n");
    CSkillSetting skill;
    ASSERT_EQ(skill.LoadFile("Empty.txt"), 1);
    for (f32 modifier : skill.values.modifiers) EXPECT_EQ(modifier, 1.0f);
    const SkillValues& v = skill.values;
    EXPECT_EQ((std::vector<i32>{v.imageId, v.type, v.flag1, v.flag2, v.combination, v.baseAttackCount}),
              std::vector<i32>(6, 0));
    EXPECT_EQ(Text(skill.explanation), "Non Explanation");
}

// Every key written with its own value lands in its own place, from the
// text and from its cache alike.
TEST(SkillSetting, EveryKeyReadsIntoItsPlace)
{
    WorkFolder folder;
    SettingWriter writer;
    writer.Set("IMAGEID", 3).Set("TYPE", 4).Set("FLAG1", i32(0x80000001)).Set("FLAG2", -2).Set("COMBINATION", 7);
    for (u32 i = 0; i < kSkillModifierCount; ++i) writer.Set(kSkillModifierKeys[i], 0.25f + f32(i));
    writer.Set("BASEATTACKCOUNT", 5).Set("EXPLANATION", "\x8B\x5A\x82\xCC\x90\xE0\x96\xBE");
    ASSERT_TRUE(writer.Save("Every.txt"));

    CSkillSetting text, cached;
    ASSERT_EQ(text.LoadFile("Every.txt"), 1);
    ASSERT_EQ(cached.LoadFile("Setting/Every.dat"), 1);
    for (const CSkillSetting* skill : {&text, &cached}) {
        const SkillValues& v = skill->values;
        EXPECT_EQ((std::vector<i32>{v.imageId, v.type, v.flag1, v.flag2, v.combination, v.baseAttackCount}),
                  (std::vector<i32>{3, 4, i32(0x80000001), -2, 7, 5}));
        for (u32 i = 0; i < kSkillModifierCount; ++i) EXPECT_EQ(v.modifiers[i], 0.25f + f32(i)) << kSkillModifierKeys[i];
        EXPECT_EQ(Text(skill->explanation), "\x8B\x5A\x82\xCC\x90\xE0\x96\xBE");
    }
}

TEST(SkillSetting, HandWrittenTextAndCopy)
{
    WorkFolder folder;
    WriteBytes("Guard.txt", "NAME = ガード強化;\nEXPLANATION = ガード時間が長くなる;\n"
                            "FLAG1 = 32768;  // GUARDTIME\nguardtime = 1.5;\nSPARKMP = -2.5;\n");
    CSkillSetting skill;
    ASSERT_EQ(skill.LoadFile("Guard.txt"), 1);
    EXPECT_EQ(Text(skill.GetName()), "ガード強化");
    EXPECT_EQ(skill.values.flag1, 32768);
    EXPECT_EQ(skill.GetModifier(SkillModifier::kGuardTime), 1.5f);
    EXPECT_EQ(skill.GetModifier(SkillModifier::kSparkMp), -2.5f);

    const CSkillSetting copy(skill);
    EXPECT_TRUE(SameNumbers(copy, skill));
    EXPECT_EQ(copy.explanation.GetLength(), 0u);
    EXPECT_EQ(copy.GetKeyMap(), skill.GetKeyMap());
    EXPECT_EQ(Text(copy.GetName()), "ガード強化");
}

TEST(SkillList, LoadsRecordsInOrderAndStopsAtTheFirstFailure)
{
    WorkFolder folder;
    WriteBytes("a.txt", "TYPE=1;");
    WriteBytes("b.txt", "TYPE=2;");
    WriteBytes("Skill.txt", "SKILL=a.txt;SKILL=b.txt;");
    CSkillList list;
    ASSERT_EQ(list.LoadFile("Skill.txt"), 1);
    ASSERT_EQ(list.skills.GetCount(), 2u);
    EXPECT_EQ(list.skills.GetAt(0)->values.type, 1);
    EXPECT_EQ(list.skills.GetAt(1)->values.type, 2);

    CSkillList cached;
    ASSERT_EQ(cached.LoadFile("Setting/Skill.dat"), 1);
    ASSERT_EQ(cached.skills.GetCount(), 2u);
    EXPECT_EQ(cached.skills.GetAt(1)->values.type, 2);

    host::kernel::DeleteFile("b.txt");
    CSkillList broken;
    EXPECT_EQ(broken.LoadFile("Skill.txt"), 0);
    ASSERT_EQ(broken.skills.GetCount(), 1u);
    EXPECT_EQ(broken.skills.GetAt(0)->values.type, 1);
    EXPECT_EQ(broken.Clear(), 1);
    EXPECT_EQ(broken.skills.GetNameCount(), 0u);
}

TEST(Skill, CopyClonesTheRecordAndReleaseIsRepeatable)
{
    auto* record = new CSkillSetting();
    record->values.flag2 = 9;
    record->values.modifiers[3] = 4.0f;
    CSkill skill(record);
    EXPECT_STREQ(skill.GetClassName(), "CSkill");
    const CSkill copy(skill);
    ASSERT_NE(copy.GetRecord(), nullptr);
    EXPECT_NE(copy.GetRecord(), skill.GetRecord());
    EXPECT_TRUE(SameNumbers(*copy.GetRecord(), *record));
    EXPECT_EQ(skill.Release(), 1);
    EXPECT_EQ(skill.GetRecord(), nullptr);
    EXPECT_EQ(skill.Release(), 1);
    EXPECT_EQ(CSkill(skill).GetRecord(), nullptr);
}

}  // namespace ORV_TEST_FILE_ID
