// Loading: what the set-up and the application give the battle, and every
// way a load fails: it returns 0, and the release leaves nothing behind.
#include "game/battle/scene/tests/BattleSceneTestSupport.h"

#include "game/battle/scene/BattleConsole.h"
#include "game/battle/character/Character.h"
#include "game/battle/testdata/BattleData.h"
#include "game/data/SettingLoad.h"
#include "host/kernel/Kernel.h"
#include "host/kernel/tests/TempFolder.h"

#include <filesystem>
#include <functional>

namespace ORV_TEST_FILE_ID {

namespace {

using namespace scene_test;

class BattleSceneLoadTest : public BattleSceneTest {
protected:
    // Load fails, and the scene's release leaves no object registered, no
    // handler and no archive open.
    void ExpectFailsCleanly(CBattleSetup* setup, const char* what)
    {
        SCOPED_TRACE(what);
        {
            CBattleScene scene(&app_);
            EXPECT_EQ(scene.Load(setup), 0u);
        }
        EXPECT_EQ(registry_.GetCount(), 0u);
        EXPECT_EQ(registry_.GetHandler(), nullptr);
    }
};

TEST_F(BattleSceneLoadTest, LoadsTheBattleOfTheSetUp)
{
    CBattleSetup* setup = CpuSetup();
    setup->entries[2].kind = CBattleEntry::kKindNone;
    setup->entries[1].kind = 0;
    CBattleScene scene(&app_);
    ASSERT_EQ(scene.Load(setup), 1u);
    EXPECT_EQ(registry_.GetHandler(), &scene);
    // Kind 5 makes no fighter and no console; the rest in entry order.
    ASSERT_EQ(scene.GetCharacterCount(), 3u);
    EXPECT_EQ(scene.GetConsoles().GetCount(), 3u);
    EXPECT_EQ(scene.GetEntryOf(2), 3u);
    // The first human sets the local entry in local play.
    EXPECT_EQ(scene.GetLocalEntry(), 1u);
    EXPECT_EQ(scene.GetCharacter(1)->IsComputerPlayer(), 0u);
    // Each fighter at its start point, with its team and its own script.
    for (u32 i = 0; i < 3; ++i) {
        EXPECT_EQ(u32(scene.GetCharacter(i)->GetTeam()), scene.GetSetup()->entries[scene.GetEntryOf(i)].team);
        ASSERT_NE(scene.GetCharacter(i)->GetTensionFile(), nullptr);
        EXPECT_NE(scene.GetCharacter(i)->GetTensionFile(), &tension_);
    }
    EXPECT_NE(scene.GetMusic(), nullptr);
    EXPECT_EQ(scene.GetTimer(), 1.0f);
    EXPECT_EQ(app_.battleFlags, std::vector<u32>{0});
    // One human: one screen.
    EXPECT_EQ(scene.IsSplitScreen(), 0u);
}

// The battle reads a child settings file once however many fighters name
// it: a second Talve and Derona read only their own parameter text and face
// file again, none of the cameras, weapons, shots and cards below them.
TEST_F(BattleSceneLoadTest, SettingsSharedByFightersAreReadOnce)
{
    const auto filesRead = [&](u32 fighters) {
        FreshRegistry();
        CBattleSetup* setup = CpuSetup();
        for (u32 i = fighters; i < CBattleSetup::kEntryCount; ++i) setup->entries[i].kind = CBattleEntry::kKindNone;
        CSettingLoad outer;   // the battle's load joins it, so its count stays to be read
        CBattleScene scene(&app_);
        EXPECT_EQ(scene.Load(setup), 1u);
        EXPECT_EQ(scene.GetCharacterCount(), fighters);
        return outer.GetFileCount();
    };
    const u32 two = filesRead(2);
    EXPECT_GT(two, 2u);
    EXPECT_EQ(filesRead(4), two + 2 * 2);
}

TEST_F(BattleSceneLoadTest, ReleaseUndoesTheLoad)
{
    {
        CBattleScene scene(&app_);
        ASSERT_EQ(scene.Load(CpuSetup()), 1u);
        for (u32 f = 0; f < 200; ++f) ASSERT_EQ(scene.Update(0), 1);
        EXPECT_GT(registry_.GetCount(), 4u);
        EXPECT_EQ(scene.Release(), 1);
        EXPECT_EQ(registry_.GetHandler(), nullptr);
        EXPECT_EQ(app_.battleFlags, (std::vector<u32>{0, 1}));
        // A second release does nothing more.
        EXPECT_EQ(scene.Release(), 1);
    }
    EXPECT_EQ(registry_.GetCount(), 0u);
    // A message to id 0 after the battle reaches nobody.
    u32 word = 0;
    EXPECT_EQ(registry_.Dispatch(kMsgBattleOver, 0, 0, nullptr, reinterpret_cast<intptr_t>(&word)), 0u);
}

// Each battle looks again for what an earlier one missed: a file a later
// battle brings (or a pack loaded between) is found.
TEST_F(BattleSceneLoadTest, ABattleForgetsTheMissesOfTheOneBefore)
{
    const char* const late = "Effect\\Efc_late.efc";
    for (int battle = 0; battle < 2; ++battle) {
        SCOPED_TRACE(battle);
        resources_->RememberMiss(CResourceController::kListEffects, late);
        resources_->RememberMiss(CResourceController::kListSounds, late);
        CBattleScene scene(&app_);
        ASSERT_EQ(scene.Load(CpuSetup()), 1u);
        EXPECT_FALSE(resources_->IsKnownMiss(CResourceController::kListEffects, late));
        EXPECT_FALSE(resources_->IsKnownMiss(CResourceController::kListSounds, late));
        for (u32 f = 0; f < 30; ++f) ASSERT_EQ(scene.Update(0), 1);
    }
}

TEST_F(BattleSceneLoadTest, MissingUserTrackLeavesTheBattleSilent)
{
    app_.missingTrack = true;
    CBattleScene scene(&app_);
    ASSERT_EQ(scene.Load(CpuSetup()), 1u);
    EXPECT_EQ(scene.GetMusic(), nullptr);
    for (u32 f = 0; f < 120; ++f) ASSERT_EQ(scene.Update(0), 1);
    EXPECT_EQ(scene.GetMusicTime(), 0.0f);
}

TEST_F(BattleSceneLoadTest, EveryLocalBattleButOneHumansSplitsTheScreen)
{
    const struct {
        u32 humans, network, split;
    } rows[] = {{0, 0, 1}, {1, 0, 0}, {2, 0, 1}, {3, 0, 1}, {2, 1, 0}, {0, 1, 0}};
    for (const auto& r : rows) {
        FreshRegistry();
        CBattleSetup* setup = CpuSetup();
        for (u32 i = 0; i < r.humans; ++i) setup->entries[i].kind = i;
        setup->networkMode = r.network;
        CBattleScene scene(&app_);
        ASSERT_EQ(scene.Load(setup), 1u);
        EXPECT_EQ(scene.IsSplitScreen(), r.split) << r.humans << " " << r.network;
    }
}

// Values of a set-up that index tables, as a peer or a replay could send
// them.
TEST_F(BattleSceneLoadTest, SetUpValuesOutsideTheirTablesFailTheLoad)
{
    const struct {
        const char* what;
        std::function<void(CBattleSetup&)> change;
    } rows[] = {
        {"stage", [](CBattleSetup& s) { s.option.stage = 20; }},
        {"drawn stage", [](CBattleSetup& s) { s.option.stage = 19, s.option.drawnStage = 19; }},
        {"music", [](CBattleSetup& s) { s.option.music = 52; }},
        {"drawn music", [](CBattleSetup& s) { s.option.music = 51, s.option.drawnMusic = 51; }},
        {"time setting", [](CBattleSetup& s) { s.option.timeSetting = 7; }},
        {"input delay", [](CBattleSetup& s) { s.option.inputDelay = 5; }},
        {"character", [](CBattleSetup& s) { s.entries[1].character = 19; }},
        {"drawn character", [](CBattleSetup& s) { s.entries[1].character = 18, s.entries[1].drawnCharacter = 18; }},
        {"kind", [](CBattleSetup& s) { s.entries[3].kind = 6; }},
        {"team", [](CBattleSetup& s) { s.entries[0].team = 4; }},
        {"factor level", [](CBattleSetup& s) { s.entries[0].factorLevel = 5; }},
        {"local entry", [](CBattleSetup& s) { s.localEntry = 4; }},
        {"participants", [](CBattleSetup& s) { s.count = 5; }},
        {"replay number", [](CBattleSetup& s) { s.replayMode = 1, s.replayNumber = 31; }},
        {"replay file", [](CBattleSetup& s) { s.replayMode = 1, s.replayNumber = 30; }},
    };
    for (const auto& r : rows) {
        CBattleSetup* setup = CpuSetup();
        r.change(*setup);
        // The count is the array's length: put it back before the set-up
        // frees its entries.
        const u32 count = setup->count;
        if (count != CBattleSetup::kEntryCount) {
            CBattleScene scene(&app_);
            EXPECT_EQ(scene.Load(setup), 0u) << r.what;
            setup->count = CBattleSetup::kEntryCount;
            continue;
        }
        ExpectFailsCleanly(setup, r.what);
    }
}

TEST_F(BattleSceneLoadTest, MissingFilesFailTheLoad)
{
    // A stage or a character without a settings file.
    app_.missingStage = true;
    ExpectFailsCleanly(CpuSetup(), "stage file");
    app_.missingStage = false;
    CBattleSetup* setup = CpuSetup();
    setup->entries[3].character = 5;   // no file in the data set
    ExpectFailsCleanly(setup, "character file");

    // The jingles: a resource controller without the archive that holds
    // them.
    CResourceController bare;
    for (const battle_data::Archive& a : battle_data::kArchives) {
        if (std::string(a.packName) == "BGMPACK") continue;
        ASSERT_EQ(bare.LoadScrambledPack(a.path, Crc32String(a.packName), a.key, 1), 1u) << a.path;
    }
    ASSERT_EQ(bare.Load(battle_data::kResourceList, 1), 1u);
    app_.resources = &bare;
    ExpectFailsCleanly(CpuSetup(), "jingles");
    app_.resources = resources_.get();

    // The console layout, left out of a copy of the data set: the set is
    // shared by the tests that run beside this one.
    namespace fs = std::filesystem;
    host::kernel::testing::TempFolder copy;
    fs::copy(battle_data::ResourceFolder(data_), copy.Path(), fs::copy_options::recursive);
    ASSERT_TRUE(host::kernel::SetCurrentDirectory(copy.Path()));
    ASSERT_TRUE(fs::remove("Scene/Console.sce"));
    ExpectFailsCleanly(CpuSetup(), "console layout");
    ASSERT_TRUE(host::kernel::SetCurrentDirectory(battle_data::ResourceFolder(data_)));

    // No application at all.
    CBattleScene scene;
    EXPECT_EQ(scene.Load(CpuSetup()), 0u);
}

}  // namespace

namespace {

// Which script each fighter follows, by mode: the music slot's, the one of
// a computer's own music slot, or the set-up's for its entry.
TEST_F(BattleSceneLoadTest, TensionFileChoiceFollowsTheMode)
{
    enum Source { kMusic, kOwnSlot, kEntry, kNone };
    const struct {
        u32 network, ownTension, kind, entry, ownMusic;
        Source source;
    } rows[] = {
        {0, 1, 0, 0, 0, kMusic},     // a local human follows the music
        {0, 0, 0, 0, 0, kEntry},     // unless own tension is off
        {0, 0, 4, 1, 0, kMusic},     // a computer follows the music
        {0, 1, 4, 1, 0, kOwnSlot},   // or, with own tension, its own slot
        {0, 1, 4, 1, 5, kNone},      // a slot without a script
        {0, 1, 4, 1, 51, kNone},     // a slot past the table, as one without
        {0, 1, 4, 1, 0xFFFFFFFF, kNone},
        {1, 1, 0, 0, 0, kMusic},     // the local player of a network battle
        {1, 1, 0, 1, 0, kEntry},     // a peer's fighter
        {1, 0, 4, 1, 0, kEntry},     // a computer without own tension
    };
    for (const auto& r : rows) {
        FreshRegistry();
        CBattleSetup* setup = CpuSetup();
        setup->networkMode = r.network;
        setup->option.ownTension = r.ownTension;
        setup->entries[0].kind = 0;
        setup->entries[r.entry].kind = r.kind;
        setup->entries[r.entry].ownMusic = r.ownMusic;
        CBattleScene scene(&app_);
        ASSERT_EQ(scene.Load(setup), 1u);
        const CTensionFile* chosen = scene.ChooseTension(r.entry, scene.GetSetup()->entries[r.entry]);
        const CTensionFile* expected[] = {&tension_, &tension_, scene.GetSetup()->GetTensionFile(r.entry), nullptr};
        EXPECT_EQ(chosen, expected[r.source]) << r.network << r.ownTension << r.kind << r.entry << r.ownMusic;
        // The fighter follows its own copy of it, or none without one.
        const CCharacter* fighter = scene.GetCharacter(r.entry);
        const CTensionFile* own = fighter->GetTensionFile();
        EXPECT_EQ(own == nullptr, r.source == kNone) << r.network << r.ownTension << r.kind << r.entry << r.ownMusic;
        if (r.source != kNone) {
            ASSERT_NE(own, nullptr);
            EXPECT_NE(own, chosen);
            auto keys = [](const CTensionFile* t) { return t->GetTrack() ? t->GetTrack()->GetCount() : 0u; };
            EXPECT_EQ(keys(own), keys(chosen)) << r.network << r.ownTension << r.kind << r.entry << r.ownMusic;
            continue;
        }
        // Without a script it keeps the level it starts with.
        EXPECT_EQ(fighter->GetStatus()->tension, u32(kTensionLow));
        for (u32 f = 0; f < 3; ++f) ASSERT_EQ(scene.Update(0), 1);
        EXPECT_EQ(fighter->GetStatus()->tension, u32(kTensionLow));
    }
}

}  // namespace

namespace {

// The window's inactive flag mutes the music and every sound once, when it
// changes; the remembered flag follows it.
TEST_F(BattleSceneLoadTest, SoundStepMutesWhileInactive)
{
    CBattleScene scene(&app_);
    ASSERT_EQ(scene.Load(CpuSetup()), 1u);
    ASSERT_NE(scene.GetMusic(), nullptr);
    u32 remembered = 0;
    for (u32 inactive : {1u, 1u, 0u}) {
        EXPECT_EQ(scene.SoundStep(inactive, &remembered), 1);
        EXPECT_EQ(remembered, inactive);
        EXPECT_EQ(scene.GetMusic()->GetVoice(0)->muted, inactive);
        EXPECT_EQ(scene.GetWinJingle()->GetVoice(0)->muted, inactive);
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
