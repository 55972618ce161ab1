#include "game/scenes/SingleCharaSelect.h"
#include "game/scenes/SurvivalScene.h"

#include "engine/graphics/FontTexture.h"
#include "engine/graphics/Texture.h"
#include "engine/scene/SceneObject.h"
#include "game/battle/scene/BattleProgress.h"
#include "game/battle/scene/BattleScene.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/data/SaveData.h"
#include "game/data/Skill.h"
#include "game/data/tests/SettingWriter.h"
#include "game/scenes/tests/DrawnSprites.h"
#include "game/scenes/tests/MenuRun.h"
#include "host/kernel/Kernel.h"
#include "host/kernel/tests/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace single_chara_select_test {

namespace ORV_TEST_FILE_ID {

namespace {

using game_test::GameDriver;
using namespace single_select;

// The data's skill list: orb value v (1..45) is of kind (v - 1) / 15 and
// icon v - 1. The saved defaults unlock values 1, 2, 5, 14 (kind 0), 16,
// 17, 22, 24 (kind 1) and 31, 33, 39, 45 (kind 2).

CBattleSetup* SetupOf(CGameApp& app, Mode mode, u32 character)
{
    auto* setup = new CBattleSetup(app.GetSaveConfig());
    setup->entries[0].character = character;
    setup->storyMode = mode == kStory;
    setup->adventureMode = mode == kAdventure;
    if (mode == kSurvival) {
        setup->survivalMode = 1;
        setup->SetProgress(new CSurvivalProgress);
    }
    return setup;
}

CSingleCharaSelect* Select(GameDriver& game) { return dynamic_cast<CSingleCharaSelect*>(game.App().GetScene()); }

// A select fully shown on a set-up of mode (the driver started).
CSingleCharaSelect* Show(GameDriver& game, Mode mode, u32 character, CSingleCharaSelect* scene = nullptr)
{
    if (!scene) scene = new CSingleCharaSelect;
    MenuSetupArgs args;
    args.curtain = 0.0f;
    args.alpha = 1.0f;
    args.setup = SetupOf(game.App(), mode, character);
    game.App().ChangeScene(scene, reinterpret_cast<intptr_t>(&args));
    return Select(game);
}

void SetSet(CSaveData* save, u32 character, u32 colour, u32 a, u32 b, u32 c)
{
    GameDataItem item{{a, b, c}};
    ASSERT_EQ(save->SetSkillSet(i32(character), 0, i32(colour), item), 1);
}

TEST(SingleCharaSelectTest, RosterWrapsAndOffersTheRandomEntryInSurvivalOnly)
{
    const struct {
        u32 entry;
        i32 direction;
        bool survival;
        u32 next;
    } cases[] = {
        {0, -1, false, 17}, {17, 1, false, 0}, {0, -1, true, kRandomEntry}, {17, 1, true, kRandomEntry},
        {kRandomEntry, -1, true, 17}, {kRandomEntry, 1, true, 0}, {5, 1, false, 6}, {5, -1, true, 4},
        {kRandomEntry, 1, false, 1}, {1000, -1, false, 17},   // not offered: from the first
    };
    for (const auto& c : cases)
        EXPECT_EQ(StepEntry(c.entry, c.direction, c.survival), c.next) << c.entry << " " << c.direction;
}

TEST(SingleCharaSelectTest, NamesNumberTheRandomEntryNine)
{
    const struct {
        u32 entry;
        const char *picture, *card;
    } cases[] = {{0, "Chara_01.dds", "cha1"}, {7, "Chara_08.dds", "cha8"}, {8, "Chara_10.dds", "cha10"},
        {17, "Chara_19.dds", "cha19"}, {kRandomEntry, "Chara_09.dds", "cha9"}};
    for (const auto& c : cases) {
        EXPECT_EQ(PictureName(c.entry), c.picture);
        EXPECT_EQ(CardLayerName(c.entry), c.card);
    }
    EXPECT_EQ(IconLayerName(44, true), "rei_syu14_m");
    EXPECT_EQ(IconLayerName(45), "");
}

// Each of the title's three items leaves for the select on a set-up of its
// mode, the first character chosen.
TEST(SingleCharaSelectRun, TitleItemsReachTheSelectInTheirMode)
{
    const struct {
        u32 item;
        Mode mode;
    } cases[] = {{title::kStory, kStory}, {title::kAdventure, kAdventure}, {title::kSurvival, kSurvival}};
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(menu_run::EnterIdle(game));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.item);
        TitleArgs args;
        args.curtain = 0.0f;
        args.item = c.item;
        game.App().ChangeScene(new CTitleScene, reinterpret_cast<intptr_t>(&args));
        game.Press(menu::kDecide);
        ASSERT_TRUE(game.RunUntil("CSingleCharaSelect", 80));
        const CSingleCharaSelect* select = Select(game);
        EXPECT_EQ(select->GetMode(), c.mode);
        EXPECT_EQ(select->GetCursor(), 0u);
        const CBattleSetup& setup = *select->GetSetup();
        EXPECT_EQ(setup.storyMode, u32(c.mode == kStory));
        EXPECT_EQ(setup.adventureMode, u32(c.mode == kAdventure));
        EXPECT_EQ(setup.survivalMode, u32(c.mode == kSurvival));
        EXPECT_EQ(dynamic_cast<const CSurvivalProgress*>(setup.GetProgress()) != nullptr, c.mode == kSurvival);
    }
}

TEST(SingleCharaSelectRun, LeftFromTheFirstReachesTheRandomEntryInSurvivalOnly)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(menu_run::EnterIdle(game));
    for (Mode mode : {kStory, kAdventure, kSurvival}) {
        SCOPED_TRACE(mode);
        CSingleCharaSelect* select = Show(game, mode, 0);
        ASSERT_NE(select, nullptr) << game.Describe();
        game.Press(menu::kLeft);
        EXPECT_EQ(select->GetCursor(), mode == kSurvival ? kRandomEntry : 17u);
        game.Frames(20);
        game.Press(menu::kStickLeft);
        EXPECT_EQ(select->GetCursor(), mode == kSurvival ? 17u : 16u);
    }
}

// A set-up at its default random character: the random entry in survival,
// else the first character. Past the roster: the first.
TEST(SingleCharaSelectRun, StartsOnAnEntryTheRosterOffers)
{
    const struct {
        Mode mode;
        u32 character, cursor;
    } cases[] = {{kStory, kRandomEntry, 0}, {kAdventure, kRandomEntry, 0}, {kSurvival, kRandomEntry, kRandomEntry},
        {kSurvival, 19, 0}, {kStory, 0xFFFFFFFFu, 0}, {kStory, 5, 5}};
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(menu_run::EnterIdle(game));
    for (const auto& c : cases) {
        CSingleCharaSelect* select = Show(game, c.mode, c.character);
        ASSERT_NE(select, nullptr) << game.Describe();
        EXPECT_EQ(select->GetCursor(), c.cursor) << c.character;
    }
}

// Saved orbs reach the set-up when they are orbs of their slot's kind,
// locked ones too; any other value is none.
TEST(SingleCharaSelectRun, SavedOrbsAreStoredOrDropped)
{
    const struct {
        u32 saved[3];
        u32 stored[3];
    } cases[] = {
        {{2, 17, 39}, {2, 17, 39}},
        {{3, 0, 46}, {3, 0, 0}},                      // locked is kept; past the list
        {{4, 18, 32}, {4, 18, 32}},                   // all locked
        {{16, 5, 0xFFFFFFFFu}, {0, 0, 0}},            // wrong kinds; far past
        {{14, 24, 45}, {14, 24, 45}},
    };
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(menu_run::EnterIdle(game));
    CSaveData* save = game.App().GetSaveData();
    for (const auto& c : cases) {
        SetSet(save, 3, 0, c.saved[0], c.saved[1], c.saved[2]);
        CSingleCharaSelect* select = Show(game, kStory, 3);
        ASSERT_NE(select, nullptr) << game.Describe();
        for (u32 s = 0; s < 3; ++s) {
            EXPECT_EQ(select->GetWorkingOrbs()[s], c.stored[s]) << s;
            EXPECT_EQ(select->GetSetup()->entries[0].orbs[s], c.stored[s]) << s;
        }
    }
}

// Down takes the other colour's set; the panel edits it, skipping locked
// orbs, and OK writes it into the save data.
TEST(SingleCharaSelectRun, OrbPanelEditsAndSavesTheColoursSet)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(menu_run::EnterIdle(game));
    CSaveData* save = game.App().GetSaveData();
    SetSet(save, 1, 0, 0, 0, 0);
    SetSet(save, 1, 1, 3, 16, 31);   // 3 is locked
    CSingleCharaSelect* select = Show(game, kStory, 1);
    ASSERT_NE(select, nullptr) << game.Describe();
    game.Press(menu::kDown);
    EXPECT_EQ(select->GetColour(), 1u);
    EXPECT_EQ(select->GetSetup()->entries[0].orbs[1], 16u);
    game.Press(kLockButton);
    ASSERT_TRUE(select->IsPanelOpen());
    game.Frames(12);
    EXPECT_EQ(select->GetCandidate(0), 15u);   // locked: none
    EXPECT_EQ(select->GetCandidate(1), 0u);
    const struct {
        u32 key;
        u32 candidate;   // slot 0's after the key
    } steps[] = {{menu::kRight, 0}, {menu::kRight, 1}, {menu::kRight, 4}, {menu::kLeft, 1}, {menu::kLeft, 0},
        {menu::kLeft, 15}, {menu::kLeft, 13}, {menu::kRight, 15}};
    for (const auto& s : steps) {
        game.Press(s.key);
        EXPECT_EQ(select->GetCandidate(0), s.candidate);
        game.Frames(8);
    }
    game.Press(menu::kLeft);   // 14, the last unlocked of its kind
    game.Frames(8);
    game.Press(menu::kDecide);
    EXPECT_EQ(select->GetWorkingOrbs()[0], 14u);
    game.Frames(12);
    game.Press(menu::kUp);   // to OK
    EXPECT_EQ(select->GetPanelSlot(), kOkItem);
    game.Press(menu::kDecide);
    game.Frames(12);
    EXPECT_FALSE(select->IsPanelOpen());
    const GameDataItem* saved = save->GetSkillSet(1, 0, 1);
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->value[0], 14u);
    EXPECT_EQ(saved->value[1], 16u);
    EXPECT_EQ(saved->value[2], 31u);
    EXPECT_EQ(select->GetSetup()->entries[0].orbs[0], 14u);
}

// A locked saved orb shows as none in the panel, but an OK that changed
// another slot writes it back as it was.
TEST(SingleCharaSelectRun, PanelOkKeepsALockedSavedOrb)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(menu_run::EnterIdle(game));
    CSaveData* save = game.App().GetSaveData();
    SetSet(save, 4, 0, 3, 0, 32);   // 3 and 32 locked
    CSingleCharaSelect* select = Show(game, kStory, 4);
    ASSERT_NE(select, nullptr) << game.Describe();
    game.Press(kLockButton);
    ASSERT_TRUE(select->IsPanelOpen());
    game.Frames(12);
    EXPECT_EQ(select->GetCandidate(0), 15u);   // none
    EXPECT_EQ(select->GetCandidate(2), 15u);
    game.Press(menu::kDown);   // slot 1
    game.Frames(8);
    game.Press(menu::kRight);  // its first orb, 16
    game.Frames(8);
    game.Press(menu::kDecide);
    game.Frames(12);
    EXPECT_EQ(select->GetWorkingOrbs()[1], 16u);
    game.Press(menu::kUp);
    game.Frames(8);
    game.Press(menu::kUp);     // to OK
    ASSERT_EQ(select->GetPanelSlot(), kOkItem);
    game.Press(menu::kDecide);
    game.Frames(12);
    ASSERT_FALSE(select->IsPanelOpen());
    const GameDataItem* saved = save->GetSkillSet(4, 0, 0);
    ASSERT_NE(saved, nullptr);
    const u32 expected[3] = {3, 16, 32};
    for (u32 s = 0; s < 3; ++s) {
        EXPECT_EQ(saved->value[s], expected[s]) << s;
        EXPECT_EQ(select->GetSetup()->entries[0].orbs[s], expected[s]) << s;
    }
}

TEST(SingleCharaSelectRun, CancelInsideThePanelKeepsTheStoredOrbs)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(menu_run::EnterIdle(game));
    SetSet(game.App().GetSaveData(), 2, 0, 2, 0, 0);
    CSingleCharaSelect* select = Show(game, kAdventure, 2);
    ASSERT_NE(select, nullptr);
    game.Press(kLockButton);
    game.Frames(12);
    game.Press(menu::kRight);
    game.Frames(8);
    game.Press(menu::kDecide);   // slot 0 takes value 5
    game.Frames(12);
    game.Press(menu::kCancel);
    game.Frames(12);
    EXPECT_FALSE(select->IsPanelOpen());
    EXPECT_FALSE(select->IsLeaving());
    EXPECT_EQ(select->GetWorkingOrbs()[0], 2u);
    EXPECT_EQ(select->GetSetup()->entries[0].orbs[0], 2u);
    EXPECT_EQ(game.App().GetSaveData()->GetSkillSet(2, 0, 0)->value[0], 2u);
}

// On the random entry up, down and the lock change do nothing.
TEST(SingleCharaSelectRun, RandomEntryTakesNoColourAndNoPanel)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(menu_run::EnterIdle(game));
    CSingleCharaSelect* select = Show(game, kSurvival, kRandomEntry);
    ASSERT_NE(select, nullptr) << game.Describe();
    game.Press(menu::kDown);
    game.Press(kLockButton);
    EXPECT_EQ(select->GetColour(), 0u);
    EXPECT_FALSE(select->IsPanelOpen());
    const u32 pick = select->GetSetup()->entries[0].drawnCharacter;
    EXPECT_LT(pick, kCharacters);
    game.Press(kTriggerButton);
    EXPECT_EQ(select->GetCpuOrbs(), 1u);
}

TEST(SingleCharaSelectRun, CancelGoesBackToTheModesTitleItem)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(menu_run::EnterIdle(game));
    for (Mode mode : {kStory, kAdventure, kSurvival}) {
        SCOPED_TRACE(mode);
        CSingleCharaSelect* select = Show(game, mode, 0);
        ASSERT_NE(select, nullptr) << game.Describe();
        game.Press(menu::kCancel);
        EXPECT_TRUE(select->IsLeaving());
        ASSERT_TRUE(game.RunUntil("CTitleScene", 80));
        EXPECT_TRUE(menu_run::BackOnTitleAt(game, kTitleItems[mode]));
    }
}

// The story and adventure scenes are handed the set-up with entry 0
// complete.
class CWatchedSelect : public CSingleCharaSelect {
public:
    static inline CBattleEntry seen;
    static inline std::string went;

protected:
    i32 GoStory() override
    {
        Note("story");
        return CSingleCharaSelect::GoStory();
    }
    i32 GoAdventure() override
    {
        Note("adventure");
        return CSingleCharaSelect::GoAdventure();
    }

private:
    void Note(const char* where)
    {
        went = where;
        seen = GetSetup()->entries[0];
    }
};

TEST(SingleCharaSelectRun, StoryAndAdventureGetEntryZeroComplete)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(menu_run::EnterIdle(game));
    SetSet(game.App().GetSaveData(), 1, 1, 1, 22, 33);
    for (Mode mode : {kStory, kAdventure}) {
        CWatchedSelect::went.clear();
        ASSERT_NE(Show(game, mode, 0, new CWatchedSelect), nullptr);
        game.Press(menu::kRight);
        game.Frames(20);
        game.Press(menu::kUp);   // colour 1
        game.Press(menu::kDecide);
        // Each mode's scene follows: the story's prologue, the adventure's map.
        ASSERT_TRUE(game.RunUntil(mode == kStory ? "CStoryScene" : "CAdventureScene", 80));
        EXPECT_EQ(CWatchedSelect::went, mode == kStory ? "story" : "adventure");
        const CBattleEntry& e = CWatchedSelect::seen;
        EXPECT_EQ(e.character, 1u);
        EXPECT_EQ(e.characterWords[0], 1u);
        EXPECT_EQ(e.orbs[0], 1u);
        EXPECT_EQ(e.orbs[1], 22u);
        EXPECT_EQ(e.orbs[2], 33u);
    }
}

// Survival decides into a loading screen whose battle runs on the set-up:
// entry 0 Talve in colour 1 with the saved orbs, the computers' orb switch,
// the first opponents drawn.
TEST(SingleCharaSelectRun, SurvivalDecideLoadsTheBattleOnTheSetup)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(menu_run::EnterIdle(game));
    SetSet(game.App().GetSaveData(), 0, 1, 5, 0, 45);
    CSingleCharaSelect* select = Show(game, kSurvival, 0);
    ASSERT_NE(select, nullptr) << game.Describe();
    game.Press(menu::kDown);
    game.Press(kTriggerButton);
    game.Press(menu::kDecide);
    ASSERT_TRUE(game.RunUntil("CLoadingScene", 80));
    ASSERT_TRUE(game.RunUntil("CBattleScene", 200));
    const auto* battle = dynamic_cast<const CBattleScene*>(game.App().GetScene());
    ASSERT_NE(battle, nullptr);
    const CBattleSetup& setup = *battle->GetSetup();
    EXPECT_EQ(setup.entries[0].character, 0u);
    EXPECT_EQ(setup.entries[0].characterWords[0], 1u);
    EXPECT_EQ(setup.entries[0].orbs[0], 5u);
    EXPECT_EQ(setup.entries[0].orbs[1], 0u);
    EXPECT_EQ(setup.entries[0].orbs[2], 45u);
    const auto* progress = dynamic_cast<const CSurvivalProgress*>(setup.GetProgress());
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(progress->presetSkills, 1u);
    EXPECT_EQ(setup.survivalMode, 1u);
    EXPECT_EQ(setup.recordReplay, 0u);
    EXPECT_EQ(setup.entries[1].kind, CBattleEntry::kKindComputer);
    EXPECT_NE(setup.entries[1].orbs[0], 0u);
    EXPECT_EQ(setup.entries[2].kind, CBattleEntry::kKindNone);
    EXPECT_EQ(setup.option.timeSetting, survival::kTimeSetting);
}

// A frame: portrait, pattern, frame, plate; both colour boxes with their
// orbs (small icons, else the empty marks); the carousel around the
// cursor; the arrows; the orb switch in survival only.
TEST(SingleCharaSelectRun, DrawsTheCursorsEntryBoxesAndCarousel)
{
    using Drawn = std::vector<std::string>;
    const Drawn story = {"face1", "moyo", "Base", "name1", "color1_1", "type_bg021", "type_rei11", "rei_geki1_m",
        "rei_emp12s", "rei_emp13s", "color1_2", "type_bg012", "type_rei22", "rei_emp21s", "rei_emp22s",
        "rei_syu14_m", "cha18", "cha19", "cha1", "cha2", "cha3", "yjr_l", "yjr_r"};
    Drawn survival = story;
    survival[16] = "cha19", survival[17] = "cha9";   // the random entry left of the first
    survival.insert(survival.end(), {"cpu_rei", "cpu_rei_2"});
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(menu_run::EnterIdle(game));
    SetSet(game.App().GetSaveData(), 0, 0, 2, 0, 3);   // 3 locked
    SetSet(game.App().GetSaveData(), 0, 1, 0, 0, 45);
    for (Mode mode : {kStory, kSurvival}) {
        CSingleCharaSelect* select = Show(game, mode, 0);
        ASSERT_NE(select, nullptr) << game.Describe();
        game.Frame();
        const CTexture* frame = select->FindLayer("Base")->GetTexture();
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(menu_run::DrawnLayers(game, LayerNames(), frame), mode == kStory ? story : survival);
    }
}

// Without its frame the select does not load: a box names it.
TEST(SingleCharaSelectRun, WithoutItsFrameTheSelectFailsNamingIt)
{
    host::kernel::testing::TempFolder folder;
    const std::string root = folder.Path() + "set";
    scene_data::Faults faults;
    faults.entries = {kFrameTexture};
    std::string error;
    ASSERT_TRUE(scene_data::WriteSceneData(root, &error, faults)) << error;
    GameDriver game(root, menu_run::Options());
    ASSERT_TRUE(menu_run::EnterIdle(game));
    EXPECT_EQ(Show(game, kStory, 0), nullptr);
    ASSERT_FALSE(game.Boxes().empty());
    EXPECT_EQ(game.Boxes()[0].find(kFrameTexture), 0u) << game.Boxes()[0];
}

// The open panel: each kind's row of 16 places, the twelve unlocked orbs
// by their icons and every other place the locked icon; the cursor.
TEST(SingleCharaSelectRun, OpenPanelShowsOnlyUnlockedIcons)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(menu_run::EnterIdle(game));
    CSingleCharaSelect* select = Show(game, kStory, 0);
    ASSERT_NE(select, nullptr) << game.Describe();
    game.Press(kLockButton);
    game.Frames(12);
    game.Frame();
    const auto drawn = menu_run::DrawnLayers(game, LayerNames(), select->FindLayer("Base")->GetTexture(),
        scene_data::SingleSelectSheets());
    const auto count = [&](const char* name) { return std::count(drawn.begin(), drawn.end(), name); };
    EXPECT_EQ(count("Skill"), 1);
    EXPECT_EQ(count("rei_car"), 1);
    EXPECT_EQ(count("rei_nazo"), 3 * 16 - 12);
    for (const char* icon : {"rei_geki0", "rei_geki13", "rei_soku8", "rei_syu14"}) EXPECT_EQ(count(icon), 1) << icon;
    EXPECT_EQ(count("rei_geki2"), 0);   // locked
}

// The upper left corner of each sprite of the layout's layer drawn in the
// last frame, in drawing order.
std::vector<std::pair<f32, f32>> DrawnAt(GameDriver& game, CSingleCharaSelect* select, const std::string& layer)
{
    std::vector<std::pair<f32, f32>> places;
    const CTexture* texture = select->FindLayer("Base")->GetTexture();
    const u64 id = game.Render().IdOf(texture->GetTexture());
    for (const host::render::Call& call : game.RenderLog()) {
        SpriteVertex v[4];
        if (call.op != "DrawPrimitiveUP" || call.data.size() != sizeof v || u64(call.Number("texture")) != id) continue;
        std::memcpy(static_cast<void*>(v), call.data.data(), sizeof v);
        const f32 u = (v[0].u + v[1].u + v[2].u + v[3].u) / 4, w = (v[0].v + v[1].v + v[2].v + v[3].v) / 4;
        if (scene_data::LayerAt(LayerNames(), u, w, {}, texture->GetHeight()) != layer) continue;
        places.emplace_back(std::min({v[0].x, v[1].x, v[2].x, v[3].x}), std::min({v[0].y, v[1].y, v[2].y, v[3].y}));
    }
    return places;
}

// A story select on the first character with its colour-0 orbs a, b, c,
// its orb panel open; null when it did not show.
CSingleCharaSelect* OpenPanel(GameDriver& game, u32 a, u32 b, u32 c)
{
    if (!menu_run::EnterIdle(game)) return nullptr;
    SetSet(game.App().GetSaveData(), 0, 0, a, b, c);
    CSingleCharaSelect* select = Show(game, kStory, 0);
    if (!select) return nullptr;
    game.Press(kLockButton);
    game.Frames(12);
    return select->IsPanelOpen() ? select : nullptr;
}

// On none, the panel cursor stands on the slot's own box, a different
// place for each slot: as loaded, and with the layout scaled more across
// than down.
TEST(SingleCharaSelectRun, PanelCursorOnNoneStandsOnTheSlotsBox)
{
    for (const bool stretched : {false, true}) {
        SCOPED_TRACE(stretched ? "stretched" : "as loaded");
        GameDriver game(game_test::GameDataRoot(), menu_run::Options());
        CSingleCharaSelect* select = OpenPanel(game, 0, 0, 0);
        ASSERT_NE(select, nullptr) << game.Describe();
        if (stretched) select->SetScale(1.75f, 1.25f);
        const char* boxes[3] = {"rei_empk", "rei_emp2k", "rei_emp3k"};
        std::vector<std::pair<f32, f32>> seen;
        for (u32 slot = 0; slot < 3; ++slot) {
            SCOPED_TRACE(slot);
            ASSERT_EQ(select->GetPanelSlot(), slot);
            game.Frame();
            const auto cursor = DrawnAt(game, select, "rei_car");
            const auto box = DrawnAt(game, select, boxes[slot]);
            ASSERT_EQ(cursor.size(), 1u);
            ASSERT_EQ(box.size(), 1u);
            EXPECT_NEAR(cursor[0].first, box[0].first, 1e-3f);
            EXPECT_NEAR(cursor[0].second, box[0].second, 1e-3f);
            seen.push_back(cursor[0]);
            game.Press(menu::kDown);
            game.Frames(12);
        }
        EXPECT_NE(seen[0], seen[1]);
        EXPECT_NE(seen[1], seen[2]);
    }
}

// A choice flashes a white square on the slot's box at full strength from
// its first frame, fading only over the second half of its 0.15 s.
TEST(SingleCharaSelectRun, ChoiceFlashStartsFullAndFadesOverItsSecondHalf)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    CSingleCharaSelect* select = OpenPanel(game, 0, 0, 0);
    ASSERT_NE(select, nullptr) << game.Describe();
    game.Press(menu::kRight);   // the first unlocked orb of kind 0
    game.Frames(8);
    // Each frame's small white square (the caption's band is white too):
    // alpha, or -1 when none is drawn. Vertex 0's x at 0, vertex 2's at 40.
    const auto flash = [&] {
        i32 alpha = -1;
        for (const host::render::Call& call : game.RenderLog())
            if (call.op == "DrawPrimitiveUP" && call.data.size() == 80 && (call.U32At(16) & 0xFFFFFFu) == 0xFFFFFFu &&
                call.FloatAt(40) - call.FloatAt(0) <= 16.0f)
                alpha = i32(call.U32At(16) >> 24);
        return alpha;
    };
    EXPECT_EQ(flash(), -1);
    game.Press(menu::kDecide);
    ASSERT_EQ(select->GetWorkingOrbs()[0], 1u);
    std::vector<i32> alphas = {flash()};
    for (u32 f = 0; f < 10; ++f) {
        game.Frame();
        alphas.push_back(flash());
    }
    // 16-17 ms frames: under 0.075 s full, then falling, then gone.
    ASSERT_GE(alphas.size(), 10u);
    for (u32 f = 0; f < 4; ++f) EXPECT_EQ(alphas[f], 255) << f;
    EXPECT_GT(alphas[5], 0);
    EXPECT_LT(alphas[5], 255);
    for (u32 f = 5; f < alphas.size(); ++f) EXPECT_LE(alphas[f], alphas[f - 1]) << f;
    EXPECT_EQ(alphas.back(), -1);
}

// The panel's texts are the records' descriptions, not their names
// ("OrbNN"): after the cache is emptied, one panel frame caches the
// description's letters and none only a name has.
TEST(SingleCharaSelectRun, PanelTextsAreTheRecordsDescriptions)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_NE(OpenPanel(game, 1, 16, 31), nullptr) << game.Describe();
    CFontTexture* font = menu::MenuFont();
    ASSERT_NE(font, nullptr);
    font->ClearCache();
    game.Frame();
    for (const char* letter : {"P", "w", "f", "a", "p"}) EXPECT_NE(font->FindCachedText(letter), nullptr) << letter;
    EXPECT_EQ(font->FindCachedText("O"), nullptr);
}


using drawn_sprites::AnyAt;
using drawn_sprites::Named;
using drawn_sprites::Sprite;

std::vector<Sprite> SelectSprites(GameDriver& game, CSingleCharaSelect* select)
{
    return drawn_sprites::Sprites(game, LayerNames(), select->FindLayer("Base")->GetTexture(),
        scene_data::SingleSelectSheets());
}

// Where a layer stands on the window: its placed position, moved by the
// layout's margin (read from where "Base" is drawn).
std::pair<f32, f32> PlaceOf(GameDriver& game, CSingleCharaSelect* select, const char* layer)
{
    const std::vector<Sprite> base = Named(SelectSprites(game, select), "Base");
    const CVector3& own = select->FindLayer("Base")->GetScreenState().position;
    const CVector3& at = select->FindLayer(layer)->GetScreenState().position;
    if (base.size() != 1) ADD_FAILURE() << "Base drawn " << base.size() << " times";
    return base.size() == 1 ? std::pair{at.x + base[0].x - own.x, at.y + base[0].y - own.y} : std::pair{0.0f, 0.0f};
}

// The data set with nineteen records of kind 0: the 45 orbs, then orbs 46
// to 49 of kind 0 showing kind 2's pictures 40 to 43. Empty on failure.
std::string LongerKindRoot(const host::kernel::testing::TempFolder& folder)
{
    const std::string root = folder.Path() + "set";
    std::string error;
    if (!scene_data::WriteSceneData(root, &error)) {
        ADD_FAILURE() << error;
        return {};
    }
    const std::string previous = host::kernel::GetCurrentDirectory();
    bool ok = true;
    for (const char* side : {"/one/Resource", "/two/Resource"}) {
        // The reader writes the caches the game reads beside the texts.
        host::kernel::SetCurrentDirectory(root + side);
        setting_test::SettingWriter list;
        for (u32 i = 0; i < 49; ++i) {
            char file[32];
            std::snprintf(file, sizeof file, "Skill_Orb%02u.txt", unsigned(i));
            list.Set("SKILL", file);
            if (i >= 45)
                ok = ok && setting_test::SettingWriter().Set("NAME", file).Set("IMAGEID", i32(i) - 5).Set("TYPE", 0)
                              .Save(file);
        }
        CSkillList skills;
        ok = ok && list.Save("Skill.txt") && skills.LoadFile("Skill.txt") && skills.skills.GetCount() == 49;
    }
    host::kernel::SetCurrentDirectory(previous);
    if (!ok) ADD_FAILURE() << "the longer skill list could not be written";
    return ok ? root : std::string();
}

// A kind of more than sixteen records shows them all, each 40 units right
// of the one before; the cursor on the seventeenth stands on its icon. The
// shorter kinds fill their rows up to sixteen places with the locked icon.
TEST(SingleCharaSelectRun, APanelRowShowsEveryRecordOfItsKind)
{
    host::kernel::testing::TempFolder folder;
    const std::string root = LongerKindRoot(folder);
    ASSERT_FALSE(root.empty());
    GameDriver game(root, menu_run::Options());
    ASSERT_TRUE(menu_run::EnterIdle(game));
    CSaveData* save = game.App().GetSaveData();
    for (i32 i = 0; i < 49; ++i) save->SetUnlockFlag(i, 1);
    SetSet(save, 0, 0, 47, 0, 0);   // the seventeenth of kind 0
    CSingleCharaSelect* select = Show(game, kStory, 0);
    ASSERT_NE(select, nullptr) << game.Describe();
    game.Press(kLockButton);
    game.Frames(12);
    ASSERT_TRUE(select->IsPanelOpen());
    ASSERT_EQ(select->GetCandidate(0), 16u);
    game.Frame();
    const std::vector<Sprite> sprites = SelectSprites(game, select);
    // Icons and the locked icon stand at the layout's origin: the rows
    // from (300, 376), (300, 444), (300, 512) units.
    const auto [ox, oy] = PlaceOf(game, select, "rei_nazo");
    std::set<std::string> places = {"rei_nazo"};
    for (u32 i = 0; i < 45; ++i) places.insert(IconLayerName(i));
    // The slot box beside the row shows the working orb's icon: not a place.
    const auto [bx, by] = PlaceOf(game, select, "rei_empk");
    const auto row = [&](f32 y) {
        std::vector<Sprite> out;
        for (const Sprite& s : sprites)
            if (std::abs(s.y - y) < 0.01f && places.count(s.layer) && !AnyAt({s}, bx, by)) out.push_back(s);
        std::sort(out.begin(), out.end(), [](const Sprite& a, const Sprite& b) { return a.x < b.x; });
        return out;
    };
    const std::vector<Sprite> first = row(oy + 376.0f * select->GetSceneState().scaleY);
    ASSERT_GE(first.size(), 2u);
    const f32 unit = (first[1].x - first[0].x) / 40.0f;
    ASSERT_GT(unit, 0.0f);
    EXPECT_NEAR(first[0].x, ox + 300.0f * unit, 0.01f);
    constexpr f32 kRowsY[3] = {376.0f, 444.0f, 512.0f};
    for (u32 k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        std::vector<std::string> expected;
        for (u32 n = 0; n < 15; ++n) expected.push_back(IconLayerName(15 * k + n));
        if (k == 0)
            for (u32 icon = 40; icon < 44; ++icon) expected.push_back(IconLayerName(icon));
        else
            expected.push_back("rei_nazo");
        const std::vector<Sprite> drawn = row(oy + kRowsY[k] * unit);
        std::vector<std::string> names;
        for (const Sprite& s : drawn) names.push_back(s.layer);
        EXPECT_EQ(names, expected);
        for (size_t n = 0; n < drawn.size(); ++n) EXPECT_NEAR(drawn[n].x, ox + (300.0f + 40.0f * f32(n)) * unit, 0.01f) << n;
    }
    const std::vector<Sprite> cursor = Named(sprites, "rei_car");
    ASSERT_EQ(cursor.size(), 1u);
    EXPECT_TRUE(AnyAt(Named(sprites, IconLayerName(41)), cursor[0].x, cursor[0].y)) << "the cursor on orb 47";
}

// Each colour box's three marks show the small icon of the stored orb of
// that colour and slot on the mark itself, the empty mark where there is
// none; one icon fills a mark of each colour in one frame. As loaded, and
// with the layout scaled more across than down.
TEST(SingleCharaSelectRun, ColourBoxesShowEachStoredOrbOnItsOwnMark)
{
    const char* marks[2][3] = {{"rei_emp11s", "rei_emp12s", "rei_emp13s"}, {"rei_emp21s", "rei_emp22s", "rei_emp23s"}};
    // Value v's icon is v - 1: colour 0 holds 2, 17, 39; colour 1 holds 2,
    // none, 45.
    const char* shown[2][3] = {{"rei_geki1_m", "rei_soku1_m", "rei_syu8_m"}, {"rei_geki1_m", "rei_emp22s", "rei_syu14_m"}};
    for (const bool stretched : {false, true}) {
        SCOPED_TRACE(stretched ? "stretched" : "as loaded");
        GameDriver game(game_test::GameDataRoot(), menu_run::Options());
        ASSERT_TRUE(menu_run::EnterIdle(game));
        SetSet(game.App().GetSaveData(), 0, 0, 2, 17, 39);
        SetSet(game.App().GetSaveData(), 0, 1, 2, 0, 45);
        CSingleCharaSelect* select = Show(game, kStory, 0);
        ASSERT_NE(select, nullptr) << game.Describe();
        if (stretched) select->SetScale(1.75f, 1.25f);
        game.Frame();
        const std::vector<Sprite> sprites = SelectSprites(game, select);
        EXPECT_EQ(Named(sprites, "rei_geki1_m").size(), 2u);
        for (u32 c = 0; c < 2; ++c) {
            for (u32 s = 0; s < 3; ++s) {
                const auto [x, y] = PlaceOf(game, select, marks[c][s]);
                EXPECT_TRUE(AnyAt(Named(sprites, shown[c][s]), x, y)) << shown[c][s] << " on " << marks[c][s];
            }
        }
    }
}

// In the open panel each slot's box shows the working orb's icon on the
// box, or the box's own image when the slot holds none.
TEST(SingleCharaSelectRun, PanelBoxesShowTheWorkingOrbsIconOnTheBox)
{
    for (const bool stretched : {false, true}) {
        SCOPED_TRACE(stretched ? "stretched" : "as loaded");
        GameDriver game(game_test::GameDataRoot(), menu_run::Options());
        CSingleCharaSelect* select = OpenPanel(game, 1, 0, 31);
        ASSERT_NE(select, nullptr) << game.Describe();
        if (stretched) select->SetScale(1.75f, 1.25f);
        game.Frame();
        const std::vector<Sprite> sprites = SelectSprites(game, select);
        const struct {
            const char* box;
            const char* image;   // what stands on the box
        } slots[] = {{"rei_empk", "rei_geki0"}, {"rei_emp2k", "rei_emp2k"}, {"rei_emp3k", "rei_syu0"}};
        for (const auto& slot : slots) {
            const auto [x, y] = PlaceOf(game, select, slot.box);
            EXPECT_TRUE(AnyAt(Named(sprites, slot.image), x, y)) << slot.image << " on " << slot.box;
            // A box with an orb shows the orb, not itself.
            EXPECT_EQ(Named(sprites, slot.box).size(), std::string(slot.box) == slot.image ? 1u : 0u) << slot.box;
        }
    }
}

// The orb panel's header strip is drawn texel for texel (its name not
// squashed); its texts hang from their places (300, 412), (300, 480),
// (300, 548) under the rows, and the caption from its line y = 24, whole
// inside its band 14..64.
TEST(SingleCharaSelectRun, HeaderTextsAndCaptionStandWholeAtTheirPlaces)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    CSingleCharaSelect* select = OpenPanel(game, 1, 16, 31);
    ASSERT_NE(select, nullptr) << game.Describe();
    game.Frame();
    const std::vector<Sprite> sprites = SelectSprites(game, select);
    const auto [originX, originY] = PlaceOf(game, select, "Base");
    const CVector3& base = select->FindLayer("Base")->GetScreenState().position;
    const f32 s = select->GetSceneState().scaleY;
    const f32 left = originX - base.x, top = originY - base.y;   // the layout's corner on the window

    const std::vector<Sprite> header = Named(sprites, "Skill");
    ASSERT_EQ(header.size(), 1u);
    EXPECT_GT(header[0].texelsW, 100.0f);
    EXPECT_NEAR(header[0].w, header[0].texelsW * s, 0.5f);
    EXPECT_NEAR(header[0].h, header[0].texelsH * s, 0.5f);

    // The letters: the caption's above the panel, each text's under its row.
    const u64 layout = game.Render().IdOf(select->FindLayer("Base")->GetTexture()->GetTexture());
    std::vector<Sprite> caption, texts[3];
    for (const Sprite& g : sprites) {
        if (g.texture == layout || g.w <= 0.0f || g.w > 40.0f * s) continue;
        const f32 y = (g.y - top) / s;
        if (y < 100.0f) caption.push_back(g);
        for (u32 k = 0; k < 3; ++k)
            if (y >= 400.0f + 68.0f * f32(k) && y < 440.0f + 68.0f * f32(k)) texts[k].push_back(g);
    }
    for (u32 k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        EXPECT_FALSE(texts[k].empty());
        if (texts[k].empty()) continue;
        f32 x = 1e9f, y = 1e9f;
        for (const Sprite& g : texts[k]) x = std::min(x, g.x), y = std::min(y, g.y);
        EXPECT_GE(x, left + 300.0f * s - 0.5f);
        EXPECT_LT(x, left + 300.0f * s + 8.0f * s);
        EXPECT_GE(y, top + (412.0f + 68.0f * f32(k)) * s - 0.5f);
        EXPECT_LT(y, top + (412.0f + 68.0f * f32(k)) * s + 8.0f * s);
    }
    EXPECT_FALSE(caption.empty());
    for (const Sprite& g : caption) {
        EXPECT_GE(g.y, top + 24.0f * s - 0.5f);
        EXPECT_LE(g.y + g.h, top + 64.0f * s + 0.5f);
    }
}

// The panel's part of a frame: from its base to the last sprite of the
// layout's texture (the cursor); the caption's letters come after.
std::vector<Sprite> PanelPart(const std::vector<Sprite>& sprites)
{
    const auto first = std::find_if(sprites.begin(), sprites.end(), [](const Sprite& s) { return s.layer == "SkillBase"; });
    const auto last = std::find_if(sprites.rbegin(), sprites.rend(), [](const Sprite& s) { return !s.layer.empty(); });
    if (first == sprites.end() || last == sprites.rend() || first > last.base()) return {};
    return std::vector<Sprite>(first, last.base());
}

// While the panel opens and while it closes its frame alone zooms: "Skill"
// stands at its place when open times the panel scale moved toward the
// chosen colour box's place (912, 284) or (912, 516) by 1 - scale, its size
// times the scale; all it holds (base, items, rows, texts, boxes, cursor)
// is drawn from the first frame on, at full size in its place.
TEST(SingleCharaSelectRun, OnlyThePanelsFrameZoomsWhileItOpensAndCloses)
{
    for (const u32 colour : {0u, 1u}) {
        SCOPED_TRACE(colour);
        GameDriver game(game_test::GameDataRoot(), menu_run::Options());
        ASSERT_TRUE(menu_run::EnterIdle(game));
        SetSet(game.App().GetSaveData(), 0, colour, 1, 0, 31);
        CSingleCharaSelect* select = Show(game, kStory, 0);
        ASSERT_NE(select, nullptr) << game.Describe();
        if (colour) game.Press(menu::kDown);
        ASSERT_EQ(select->GetColour(), colour);
        game.Press(kLockButton);
        const std::vector<Sprite> first = PanelPart(SelectSprites(game, select));
        game.Frames(3);
        const std::vector<Sprite> opening = PanelPart(SelectSprites(game, select));
        game.Frames(12);
        ASSERT_FALSE(select->IsAnimating());
        const std::vector<Sprite> open = PanelPart(SelectSprites(game, select));
        game.Press(menu::kCancel);
        game.Frames(4);
        ASSERT_TRUE(select->IsPanelOpen());
        const std::vector<Sprite> closing = PanelPart(SelectSprites(game, select));

        const auto [originX, originY] = PlaceOf(game, select, "Base");
        const CVector3& base = select->FindLayer("Base")->GetScreenState().position;
        const f32 scale = select->GetSceneState().scaleY;
        // The base, the frame, the four items, 48 row places, two boxes'
        // icons and one box, three frames, the cursor and a text's letters.
        ASSERT_GT(open.size(), 2u + 4u + 48u + 3u + 3u + 1u);
        EXPECT_TRUE(std::any_of(open.begin(), open.end(), [](const Sprite& s) { return s.layer.empty(); }));
        ASSERT_EQ(open[1].layer, "Skill");
        for (const auto& [name, drawn] :
            {std::pair{"first frame", first}, std::pair{"opening", opening}, std::pair{"closing", closing}}) {
            SCOPED_TRACE(name);
            ASSERT_EQ(drawn.size(), open.size());
            ASSERT_EQ(drawn[1].layer, "Skill");
            const f32 t = drawn[1].w / open[1].w;
            ASSERT_LT(t, 0.95f);
            if (std::string(name) != "first frame") {
                ASSERT_GT(t, 0.05f);
            }
            const f32 offsetX = 912.0f * (1.0f - t), offsetY = (colour ? 516.0f : 284.0f) * (1.0f - t);
            for (size_t i = 0; i < open.size(); ++i) {
                const Sprite& a = open[i];
                const Sprite& b = drawn[i];
                SCOPED_TRACE(testing::Message() << i << " " << (a.layer.empty() ? "text" : a.layer));
                ASSERT_EQ(b.layer, a.layer);
                const f32 k = i == 1 ? t : 1.0f;
                // Layout units: the window's place less the margin, over the scale.
                const f32 x = (a.x - (originX - base.x)) / scale, y = (a.y - (originY - base.y)) / scale;
                const f32 dx = i == 1 ? offsetX : 0.0f, dy = i == 1 ? offsetY : 0.0f;
                EXPECT_NEAR(b.x, originX - base.x + (x * k + dx) * scale, 0.01f);
                EXPECT_NEAR(b.y, originY - base.y + (y * k + dy) * scale, 0.01f);
                EXPECT_NEAR(b.w, a.w * k, 0.01f);
                EXPECT_NEAR(b.h, a.h * k, 0.01f);
            }
        }
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID

}  // namespace single_chara_select_test
