#include "ShotTestSupport.h"

#include "game/data/tests/SettingTestSupport.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

using namespace setting_test;
using namespace shot_test;

namespace {

const char kHandSpell[] =
    "// 必殺技\n"
    "NAME = 必殺技; SPELLTYPE = 12; CHARACTERTYPE = 17; VOICECOUNT = 3;\n"
    "SPELLSETPOS = :1:2:3; SPELLSETPOSY = 7;\n"
    "SHORTATTACKREVERBE = 2.5; ARMORSPARKGUAGERATE = 0.5; SHORTATTACKREVERB = 9;\n"
    "SPELLANIMATION08TIME = 1.5; SPELLVOICE03PLAYNO = 10; SPELLVOICE03WAIT = 0.25;\n"
    "EFCSPELLSET = Efc_a; EFCSPELLSET = Efc_b; EFCSPELLFIELD = Efc_field;\n"
    "LEFTEVENTCAMERA = Left.evc; BONESHOOTSETLOOP = Hand_L;\n"
    "BARRAGE = First.txt; BARRAGE = Second.txt;\n";

void WriteBarrages()
{
    WriteBytes("First.txt", "NAME=first;PATTERN=Shot.txt;");
    WriteBytes("Second.txt", "NAME=second;");
    WriteBytes("Shot.txt", "NAME=shot;");
    WriteBytes("Bullet.txt", "NAME=bullet;");
}

}  // namespace

TEST(SpellCardSetting, HandTextDefaultsAndMisspelledKeys)
{
    WorkFolder folder;
    WriteBarrages();
    WriteBytes("Spell.txt", kHandSpell);
    CSpellCardSetting card;
    EXPECT_EQ(card.GetValues().ammunition, 0);   // nothing before a load
    ASSERT_EQ(card.LoadFile("Spell.txt"), 1);
    const CSpellCardValues& v = card.GetValues();
    EXPECT_EQ(Text(card.GetName()), "必殺技");
    EXPECT_EQ((std::vector<f32>{v.spellSetPos.x, v.spellSetPos.y, v.spellSetPos.z, v.shortAttackReverbe,
                                v.armorSparkGuageRate, v.animationTime[10], v.voices[3].wait}),
              (std::vector<f32>{1, 7, 3, 2.5f, 0.5f, 1.5f, 0.25f}));
    // Left out: the defaults.
    EXPECT_EQ(v.ammunition, 999);
    EXPECT_EQ((std::vector<i32>{v.weaponNo, v.hiddenWeaponNo, v.firstVoice, v.movingFlg, v.shortAttackDamageType,
                                v.shortAttackLastDamageType, v.shortAttackCount}),
              (std::vector<i32>{-1, -1, 11, 1, 1, 8, 1}));
    EXPECT_EQ(v.shortAttackRadius, FLT_MAX);
    EXPECT_EQ((std::vector<f32>{v.teleportLimit, v.teleportLength, v.shootLength, v.rotationVelocity}),
              (std::vector<f32>{25, 0.01f, 15, 60}));
    EXPECT_EQ(Names(*card.GetEffectList(0), false), "Efc_a|Efc_b|");
    EXPECT_EQ(Names(*card.GetEffectList(9), false), "Efc_field|");
    EXPECT_EQ(card.GetEffectList(10), nullptr);
    EXPECT_EQ(Text(*card.GetEventCamera(0)), "Left.evc");
    EXPECT_EQ(Text(*card.GetEventCamera(1)), "Non Name");
    EXPECT_EQ(Text(card.GetBone()), "Hand_L");
    ASSERT_EQ(card.GetBarrages().GetCount(), 2u);
    EXPECT_EQ(Text(card.GetBarrages().GetAt(1)->GetName()), "second");

    CSpellCardSetting cached;
    ASSERT_EQ(cached.LoadFile("Setting/Spell.dat"), 1);
    EXPECT_EQ(Describe(cached, true), Describe(card, true));
}

// Every number that indexes a table of the card: its last entry loads, one
// past it fails the load, from the text and from a cache; below 0 fails
// too, but for the step numbers that are only compared with the step (a
// negative one is never reached) and VOICECOUNT (no further voice).
TEST(SpellCardSetting, NumbersOutsideTheCardsTablesAreRefused)
{
    struct Row {
        const char* key;
        i32 last;         // the largest accepted
        bool negative;    // whether -1 loads
    } rows[] = {
        {"SPELLTYPE", 12, false},         {"CHARACTERTYPE", 17, false},      {"VOICECOUNT", 3, true},
        {"CLIMAXSHOOTNO", 10, true},      {"CLIMAXSHOOTLOOPNO", 10, true},   {"FINALESHOOTNO", 10, true},
        {"FINALESHOOTLOOPNO", 10, true},  {"EXPLOSIONNO", 10, true},         {"ENDNO", 10, true},
        {"SHORTATTACKSETNO", 8, false},   {"SPELLVOICE00PLAYNO", 10, true},  {"SPELLVOICE03PLAYNO", 10, true},
    };
    WorkFolder folder;
    for (const Row& row : rows) {
        for (i32 value : {row.last, row.last + 1, -1}) {
            const std::string text = SettingWriter().Set(row.key, value).Text();
            WriteBytes("Spell.txt", text);
            CSpellCardSetting card;
            const i32 expected = value == row.last || (value == -1 && row.negative) ? 1 : 0;
            EXPECT_EQ(card.LoadFile("Spell.txt"), expected) << row.key << "=" << value;
            // The cache of that text (written as the text parsed) is judged alike.
            CSpellCardSetting cached;
            EXPECT_EQ(cached.LoadFile("Setting/Spell.dat"), expected) << row.key << "=" << value;
            WriteBytes("Setting/Hostile.dat",
                       CacheBytes().Source(cached, "").Entry(row.key, std::to_string(value)).End());
            EXPECT_EQ(cached.LoadFile("Setting/Hostile.dat"), expected) << row.key << "=" << value;
        }
    }
}

TEST(SpellCardSetting, BarragesLoadInOrderUntilTheFirstFailure)
{
    WorkFolder folder;
    WriteBarrages();
    CSpellCardSetting card;
    card.RegisterKeys();
    // Every key away from its default, inside the tables.
    WriteBytes("Every.txt",
               SettingWriter()
                   .EveryKey(card, {{"BARRAGE", "Second.txt|First.txt"}, {"EFCSPELLFIRE", "Efc_x|Efc_y"}})
                   .Text());
    ASSERT_EQ(card.LoadFile("Every.txt"), 1);
    EXPECT_EQ(Text(card.GetBarrages().GetAt(0)->GetName()), "second");
    EXPECT_EQ(Text(*card.GetEventCamera(1)), "N_RIGHTEVENTCAMERA");
    EXPECT_NE(card.GetValues().ammunition, 999);
    CSpellCardSetting cached;
    ASSERT_EQ(cached.LoadFile("Setting/Every.dat"), 1);
    EXPECT_EQ(Describe(cached, true), Describe(card, true));

    // The copy shares the read-only barrages and keeps them past the source.
    auto copy = std::make_unique<CSpellCardSetting>(card);
    EXPECT_EQ(copy->GetBarrages().GetAt(1), card.GetBarrages().GetAt(1));
    EXPECT_EQ(Describe(*copy), Describe(card));
    card.Clear();
    EXPECT_EQ(card.GetBarrages().GetCount(), 0u);
    EXPECT_EQ(Text(copy->GetBarrages().GetAt(1)->GetPattern(0)->GetName()), "shot");

    WriteBytes("Broken.txt", "BARRAGE=First.txt;BARRAGE=Gone.txt;BARRAGE=Second.txt;");
    CSpellCardSetting broken;
    EXPECT_EQ(broken.LoadFile("Broken.txt"), 0);
    EXPECT_EQ(broken.GetBarrages().GetCount(), 1u);   // what came before the failure
}

}  // namespace ORV_TEST_FILE_ID
