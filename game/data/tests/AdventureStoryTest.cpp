#include "SettingTestSupport.h"

#include "game/data/AdventureEventSetting.h"
#include "game/data/AdventureSetting.h"
#include "game/data/StorySetting.h"

#include <cstring>
#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

using namespace setting_test;

namespace {

const char kStage1[] =
    "TEXT = \x8D\xC5\x8F\x89\x82\xCC\x90\xED\x82\xA2;\n"
    "CHARA00TYPE = 3; CHARA00BARRAGE = 1; CHARA00HANDICAP = 2; CHARA00CPU = 4;\n"
    "CHARA00SKILL01 = 5; CHARA00SKILL02 = 6; CHARA00SKILL03 = 7;\n"
    "chara02type = 9; CHARA02CPU = 8;\n"
    "STAGE = 11; BGM = 12; TIME = 99; FRIEND = 1; GETSKILL = 13; NEXTOPEN = 2;\n"
    "NEXTCONDITIONOPEN = 3; NEXTCONDITIONFLAG = 4; NEXTCONDITIONPARAMETER = 60;\n"
    "SKILLCONDITIONFLAG = 5; SKILLCONDITIONPARAMETER = 6;\n"
    "NEXTCONDITION = Win in 60 seconds; CPUCONDITION = Level 3; RULECONDITION = Team;\n";

void ExpectSameEvent(const CAdventureEventSetting& a, const CAdventureEventSetting& b)
{
    EXPECT_EQ(std::memcmp(&a.values, &b.values, sizeof a.values), 0);
    for (auto member : {&CAdventureEventSetting::text, &CAdventureEventSetting::nextCondition,
                        &CAdventureEventSetting::skillCondition, &CAdventureEventSetting::timeCondition,
                        &CAdventureEventSetting::cpuCondition, &CAdventureEventSetting::enemyCondition,
                        &CAdventureEventSetting::ruleCondition}) {
        EXPECT_EQ(Text(a.*member), Text(b.*member));
    }
}

}  // namespace

TEST(AdventureEventSetting, ReadsParticipantsAndConditions)
{
    WorkFolder folder;
    WriteBytes("Stage1.txt", kStage1);
    CAdventureEventSetting stage;
    ASSERT_EQ(stage.LoadFile("Stage1.txt"), 1);

    const AdventureParticipant& first = stage.values.chara[0];
    EXPECT_EQ((std::vector<int>{first.type, first.barrage, first.handicap, first.cpu, first.skill03}),
              (std::vector<int>{3, 1, 2, 4, 7}));
    // No CHARA01 keys: no participant, everything else zero.
    EXPECT_EQ(std::make_pair(stage.values.chara[1].type, stage.values.chara[1].cpu), std::make_pair(-1, 0));
    EXPECT_EQ(std::make_pair(stage.values.chara[2].type, stage.values.chara[2].cpu), std::make_pair(9, 8));
    EXPECT_EQ(stage.values.nextConditionParameter, 60);
    EXPECT_EQ(stage.values.skillConditionParameter, 6);
    EXPECT_EQ(Text(stage.text), "\x8D\xC5\x8F\x89\x82\xCC\x90\xED\x82\xA2");
    EXPECT_EQ(Text(stage.nextCondition), "Win in 60 seconds");
    EXPECT_EQ(Text(stage.skillCondition), "---");

    CAdventureEventSetting cached;
    ASSERT_EQ(cached.LoadFile("Setting/Stage1.dat"), 1);
    ExpectSameEvent(cached, stage);

    // A copy keeps TEXT, NEXTCONDITION, SKILLCONDITION and the numbers; the
    // four other condition texts start empty (the loaded ones are not).
    CAdventureEventSetting copy(stage);
    EXPECT_EQ(std::memcmp(&copy.values, &stage.values, sizeof copy.values), 0);
    EXPECT_EQ(Text(copy.GetName()), Text(stage.GetName()));
    for (auto member : {&CAdventureEventSetting::text, &CAdventureEventSetting::nextCondition,
                        &CAdventureEventSetting::skillCondition})
        EXPECT_EQ(Text(copy.*member), Text(stage.*member));
    for (auto member : {&CAdventureEventSetting::timeCondition, &CAdventureEventSetting::cpuCondition,
                        &CAdventureEventSetting::enemyCondition, &CAdventureEventSetting::ruleCondition}) {
        EXPECT_NE(Text(stage.*member), "");
        EXPECT_EQ(Text(copy.*member), "");
    }
    EXPECT_EQ(copy.GetKeyMap(), stage.GetKeyMap());
}

TEST(AdventureSetting, LoadsEveryStageFromTextOrCache)
{
    WorkFolder folder;
    WriteBytes("Stage1.txt", kStage1);
    WriteBytes("Stage2.txt", "TEXT=Second; STAGE=2; CHARA01TYPE=0;");
    WriteBytes("Adventure.txt", "COUNT = 3; ADVENTURE = Stage1.txt; COUNT = 1;\nADVENTURE = Stage2.txt;\n");

    CAdventureSetting adventure;
    ASSERT_EQ(adventure.LoadFile("Adventure.txt"), 1);
    ASSERT_EQ(adventure.count.GetCount(), 2u);
    EXPECT_EQ(*adventure.count.GetAt(1), 1);
    ASSERT_EQ(adventure.stages.GetCount(), 2u);
    EXPECT_EQ(adventure.stages.GetAt(1)->values.stage, 2);
    EXPECT_EQ(adventure.stages.GetAt(1)->values.chara[1].type, 0);
    // The game opens the caches only; the texts may be gone.
    host::kernel::DeleteFile("Stage1.txt");
    host::kernel::DeleteFile("Stage2.txt");
    CAdventureSetting cached;
    ASSERT_EQ(cached.LoadFile("Setting/Adventure.dat"), 1);
    ASSERT_EQ(cached.stages.GetCount(), 2u);
    EXPECT_EQ(Text(*cached.stages.GetName(0)), "Setting/Stage1.dat");
    for (u32 i = 0; i < 2; ++i) ExpectSameEvent(*cached.stages.GetAt(i), *adventure.stages.GetAt(i));
    EXPECT_EQ(*cached.count.GetAt(1), 1);

    CAdventureSetting copy(cached);
    ASSERT_EQ(copy.stages.GetCount(), 2u);
    EXPECT_EQ(copy.stages.GetAt(0), cached.stages.GetAt(0));   // read-only, shared
    ExpectSameEvent(*copy.stages.GetAt(0), *cached.stages.GetAt(0));

    WriteBytes("Adventure.txt", "ADVENTURE=Setting/Stage1.dat;ADVENTURE=Nowhere.txt;");
    EXPECT_EQ(CAdventureSetting().LoadFile("Adventure.txt"), 0);   // a missing stage fails the list
}

TEST(StorySetting, ReadsAChapterWithItsDefaults)
{
    WorkFolder folder;
    WriteBytes("Story_Test_Prologue.txt",
               "NAME=Prologue; TEXT=\x82\xCD\x82\xB6\x82\xDC\x82\xE8; NEXT=Story_Test_01.txt;\n"
               "CHARA=4; BARRAGE=1; STAGE=6; BGM=7; CPU=2; SKILL01=1; SKILL02=2; SKILL03=3;\n"
               "TIME=120; LASTFLAG=1; GETSKILL=9; STAGE=8;\n");
    CStorySetting chapter;
    ASSERT_EQ(chapter.LoadFile("Story_Test_Prologue.txt"), 1);
    EXPECT_EQ(Text(chapter.GetName()), "Prologue");
    EXPECT_EQ(Text(chapter.next), "Story_Test_01.txt");
    EXPECT_EQ(chapter.values.stage, 8);   // given twice: the later value
    EXPECT_EQ(chapter.values.getSkill, 9);
    EXPECT_FLOAT_EQ(chapter.values.endTime, 30.0f);   // defaults
    EXPECT_FLOAT_EQ(chapter.values.speed, 30.0f);

    CStorySetting cached;
    ASSERT_EQ(cached.LoadFile("Setting/Story_Test_Prologue.dat"), 1);
    EXPECT_EQ(Text(cached.next), "Setting/Story_Test_01.dat");   // a child name takes its cache form
    EXPECT_EQ(Text(cached.text), Text(chapter.text));
    EXPECT_EQ(std::memcmp(&cached.values, &chapter.values, sizeof cached.values), 0);
}

}  // namespace ORV_TEST_FILE_ID
