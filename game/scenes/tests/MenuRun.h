// A menu scene run through the headless driver on the data set: start-up
// stands an idle scene up, the global load runs on the main thread, then
// the scene under test is changed to as the title would.
#pragma once

#include "engine/core/Scene.h"
#include "engine/graphics/Texture.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/scene/SceneObject.h"
#include "game/battle/scene/BattleConsole.h"
#include "game/battle/scene/BattleScene.h"
#include "game/battle/scene/MenuConsole.h"
#include "game/data/SaveConfig.h"
#include "game/data/SaveData.h"
#include "game/scenes/CharaSelect.h"
#include "game/scenes/MenuScene.h"
#include "game/scenes/SelectCard.h"
#include "game/scenes/TitleScene.h"
#include "game/scenes/testdata/SceneData.h"
#include "game/scenes/tests/GameDriver.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace menu_run {

// Stands while the data loads.
class CIdleScene : public CScene {
    ORV_VALUE_CLASS(CIdleScene)

public:
    CIdleScene() = default;
    CIdleScene(const CIdleScene&) = default;
    i32 Initialize(intptr_t) override { return 1; }
    i32 Update(u32) override { return 1; }
    u32 OnMessage(u32, intptr_t) override { return 1; }
    i32 Draw(u32) override { return 1; }
};

// A configuration edited before start-up (written to the user folder).
inline std::function<void(const std::string&)> EditConfig(std::function<void(CSaveConfig&)> edit)
{
    return [edit](const std::string&) {
        CSaveConfig config;
        ASSERT_EQ(config.Load(), 1);
        edit(config);
        ASSERT_EQ(config.Save(), 1);
    };
}

inline game_test::DriverOptions Options(std::function<void(CSaveConfig&)> edit = {})
{
    game_test::DriverOptions options;
    options.startScene = [] { return new CIdleScene(); };
    if (edit) options.beforeInit = EditConfig(std::move(edit));
    return options;
}

// The driver with the data loaded and scene made current (block: its
// Load's argument); false with the boxes when something failed.
inline ::testing::AssertionResult Enter(game_test::GameDriver& game, CScene* scene, intptr_t block = 0)
{
    if (!game.Started()) return ::testing::AssertionFailure() << "no start" << game.Describe();
    if (!game.App().LoadResources()) return ::testing::AssertionFailure() << "no data" << game.Describe();
    const std::string name = scene->GetClassName();
    game.App().ChangeScene(scene, block);
    if (game.CurrentScene() != name) return ::testing::AssertionFailure() << "no " << name << game.Describe();
    return ::testing::AssertionSuccess();
}

// The data loaded with an idle scene current: a scene test makes its own
// scene afterwards.
inline ::testing::AssertionResult EnterIdle(game_test::GameDriver& game) { return Enter(game, new CIdleScene); }

// Frames until the black cover and the scene's fade-in are done (the
// menus fade by 2 a second, each half a second).
inline void FadeIn(game_test::GameDriver& game) { game.Frames(70); }

// The sound of that file name has a voice playing.
inline bool Playing(const char* name)
{
    const CSoundBuffer* sound = menu::FindSound(name);
    if (!sound) return false;
    for (u32 v = 0; v < sound->GetVoiceCount(); ++v)
        if (sound->IsPlaying(v)) return true;
    return false;
}

// The title is current with its cursor on item.
inline ::testing::AssertionResult BackOnTitleAt(game_test::GameDriver& game, u32 item)
{
    const auto* title = dynamic_cast<const CTitleScene*>(game.App().GetScene());
    if (!title) return ::testing::AssertionFailure() << "no title" << game.Describe();
    if (title->GetCurrentItem() != item) return ::testing::AssertionFailure() << "item " << title->GetCurrentItem();
    return ::testing::AssertionSuccess();
}

// The layers (of a layout of the data set, in its order) drawn with
// texture in the last frame, in drawing order: each sprite tells its layer
// by the cell (or the sheet) its texture coordinates fall in.
inline std::vector<std::string> DrawnLayers(game_test::GameDriver& game, const std::vector<std::string>& layers,
    const CTexture* texture, const std::vector<scene_data::LayerSheet>& sheets = {})
{
    std::vector<std::string> drawn;
    const u64 id = texture ? game.Render().IdOf(texture->GetTexture()) : 0;
    for (const host::render::Call& call : game.RenderLog()) {
        SpriteVertex v[4];
        if (call.op != "DrawPrimitiveUP" || call.data.size() != sizeof v || u64(call.Number("texture")) != id) continue;
        std::memcpy(static_cast<void*>(v), call.data.data(), sizeof v);
        const f32 u = (v[0].u + v[1].u + v[2].u + v[3].u) / 4, w = (v[0].v + v[1].v + v[2].v + v[3].v) / 4;
        drawn.push_back(scene_data::LayerAt(layers, u, w, sheets, texture->GetHeight()));
    }
    return drawn;
}

// ---------------------------------------------------------------- the selects

inline CCharaSelect* Select(game_test::GameDriver& game)
{
    return dynamic_cast<CCharaSelect*>(game.App().GetScene());
}

// A press, then time for the slide or animation it starts.
inline void Step(game_test::GameDriver& game, u32 code, u32 frames = 12)
{
    game.Press(code);
    game.Frames(frames);
}

inline void Steps(game_test::GameDriver& game, u32 code, u32 times)
{
    for (u32 i = 0; i < times; ++i) Step(game, code);
}

// The scene classes of the trail, frames left out.
inline std::vector<std::string> Scenes(const std::vector<std::string>& trail)
{
    std::vector<std::string> scenes;
    for (const std::string& step : trail) scenes.push_back(step.substr(0, step.find('@')));
    return scenes;
}

// Every orb unlocked but orb 1; Talve's set for player 1, type A holds the
// locked orb, a position past the list and orb 30.
inline void PrepareSave(const std::string&)
{
    CSaveData save;
    save.Load();
    for (i32 i = 0; i < 45; ++i) save.SetUnlockFlag(i, i == 1 ? 0 : 1);
    save.MarkUnlockFlagsShown();   // no orb notice on the title
    save.SetSkillSet(0, 0, 0, GameDataItem{{2, 99, 31}});
    ASSERT_EQ(save.Save(), 1);
}

// The save above, and the configuration edited when edit is given.
inline game_test::DriverOptions SaveOptions(std::function<void(CSaveConfig&)> edit = {})
{
    game_test::DriverOptions options = Options(edit);
    options.beforeInit = [config = options.beforeInit](const std::string& folder) {
        PrepareSave(folder);
        if (config) config(folder);
    };
    return options;
}

// The title on item, decided: the scene of sceneClass current, not yet
// faded in.
inline ::testing::AssertionResult DecideOnTitle(game_test::GameDriver& game, u32 item, const char* sceneClass)
{
    TitleArgs args;
    args.item = item;
    if (auto r = Enter(game, new CTitleScene, reinterpret_cast<intptr_t>(&args)); !r) return r;
    FadeIn(game);
    game.Press(menu::kDecide);
    return game.RunUntil(sceneClass, 120);
}

// The title on item, decided: the character select, faded in.
inline ::testing::AssertionResult FromTitle(game_test::GameDriver& game, u32 item)
{
    if (auto r = DecideOnTitle(game, item, "CCharaSelect"); !r) return r;
    FadeIn(game);
    return ::testing::AssertionSuccess();
}

// The orbs the panel leaves on Talve's card below.
inline constexpr u32 kTalveOrbs[3] = {3, 30, 31};

// On a fresh character select (SaveOptions): card 0 player 1 on Talve with
// orbs from the panel, card 1 the computer on Derona in another team, cards
// 2 and 3 out; every card ready, start allowed.
inline void EditTalveAgainstDerona(game_test::GameDriver& game)
{
    using namespace chara_select;
    using namespace select_card;
    CCharaSelect* scene = Select(game);
    ASSERT_TRUE(scene);
    // Card 0: down to the name, Talve (random wraps to the first), then the
    // orbs.
    Step(game, menu::kDecide);
    ASSERT_TRUE(scene->IsEditing());
    Step(game, menu::kDown);
    Step(game, menu::kDown);
    EXPECT_EQ(scene->GetRow(), u32(kRowName));
    Step(game, menu::kRight);
    CSelectCard* card = scene->GetCard(0);
    EXPECT_EQ(card->Word(kCharacter), 0u);
    EXPECT_EQ(card->Word(kSkill0), 2u);
    EXPECT_EQ(card->Word(kSkill0 + 1), 99u);
    EXPECT_TRUE(card->Element("rei_emp2e")->GetSettings().visible);   // past the list: empty
    for (u32 i = 0; i < 3; ++i) Step(game, menu::kDown);
    EXPECT_EQ(scene->GetRow(), u32(kRowCustom));
    Step(game, menu::kRight, 14);
    ASSERT_TRUE(scene->IsPanelOpen());
    // The card's orbs stay chosen; the cursor starts on none for orb 1
    // (locked) and 99 (past the list).
    EXPECT_EQ(scene->GetChosenSkill(0), 2u);
    EXPECT_EQ(scene->GetChosenSkill(1), 99u);
    EXPECT_EQ(scene->GetChosenSkill(2), 31u);
    Step(game, menu::kRight);                   // empty -> orb 0
    Step(game, menu::kRight);                   // orb 1 locked: orb 2
    EXPECT_EQ(scene->GetSkillIndex(0), 2u);
    Step(game, menu::kDecide);
    Step(game, menu::kDown);
    Step(game, menu::kLeft);                    // empty -> the kind's last
    Step(game, menu::kDecide);
    Step(game, menu::kDown);
    Step(game, menu::kDown);
    EXPECT_EQ(scene->GetSkillSlot(), kSlotOk);
    Step(game, menu::kDecide, 14);
    EXPECT_FALSE(scene->IsPanelOpen());
    for (u32 k = 0; k < 3; ++k) EXPECT_EQ(card->Word(kSkill0 + k), kTalveOrbs[k]) << k;
    const GameDataItem* saved = game.App().GetSaveData()->GetSkillSet(0, 0, 0);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->value[1], 30u);
    Step(game, menu::kDecide);
    EXPECT_FALSE(scene->IsEditing());
    EXPECT_EQ(card->Word(kReady), 1u);

    // Card 1: the computer, name Derona (random -> Talve -> Derona).
    Step(game, menu::kRight);
    ASSERT_EQ(scene->GetCursor(), 1u);
    Step(game, menu::kDecide);
    Step(game, menu::kDown);
    Step(game, menu::kDown);
    Step(game, menu::kRight);
    Step(game, menu::kRight);
    Step(game, menu::kDecide);
    EXPECT_EQ(scene->GetCard(1)->Word(kCharacter), 1u);
    EXPECT_EQ(scene->GetCard(1)->Word(kKind), kKindComputer);
    EXPECT_NE(scene->GetCard(1)->Word(kTeam), card->Word(kTeam));

    // Cards 2 and 3 out: the computer's next kind is none.
    for (u32 slot : {2u, 3u}) {
        Step(game, menu::kRight);
        Step(game, menu::kDecide);
        Step(game, menu::kRight);
        EXPECT_EQ(scene->GetCard(slot)->Word(kKind), kKindNone);
        Step(game, menu::kDown);   // nothing moves on an empty card
        EXPECT_EQ(scene->GetTargetRow(), 0u);
        Step(game, menu::kDecide);
    }
    EXPECT_TRUE(scene->CanStart());
}

// ---------------------------------------------------------------- a battle

// Player 1's shot and lock-change buttons.
inline constexpr u32 kShotButton = 24, kLockButton = 26;

// No glow, the smallest screen: a battle runs thousands of frames.
inline game_test::DriverOptions BattleOptions()
{
    return Options([](CSaveConfig& config) {
        config.GetGraphicsSettings()->hdrLevel = 0;
        config.GetGraphicsSettings()->screenSize = 0;
    });
}

inline const CBattleScene* Battle(game_test::GameDriver& game)
{
    return dynamic_cast<const CBattleScene*>(game.App().GetScene());
}

// The local player's end page, when open.
inline const MenuPage* EndPage(const CBattleScene* battle)
{
    const CBattleConsole* console = battle ? battle->GetConsole(battle->GetLocalEntry()) : nullptr;
    const CMenuConsole* menu = console ? console->GetMenu() : nullptr;
    return menu && menu->GetPage(2).open ? &menu->GetPage(2) : nullptr;
}

// The current battle fought to its end by player 1: shots (pressed every
// few frames, the lock renewed each second) or an idle pad. Done when the
// battle handed over by itself (another scene is current) or its end page
// opened, which is left to the caller. *result: player 1's team's result
// (kResultWin, ...) as the battle reached it. watch, when given, sees the
// battle before each of its frames.
inline ::testing::AssertionResult FightBattle(game_test::GameDriver& game, bool shoot, u32* result,
    const std::function<void(const CBattleScene&)>& watch = {})
{
    *result = 0;
    const CBattleScene* battle = Battle(game);
    if (!battle || !battle->GetSetup()) return ::testing::AssertionFailure() << "no battle" << game.Describe();
    const u32 team = battle->GetSetup()->entries[0].team;
    // The longest battles of the runs end at a 100 s limit.
    for (u32 f = 0; f < 60 * 125 && (battle = Battle(game)) && !EndPage(battle); ++f) {
        game.Hold(kShotButton, shoot && f % 8 < 4);
        game.Hold(kLockButton, shoot && f % 60 == 0);
        if (battle->IsOver()) *result = battle->GetResult(team);
        if (watch) watch(*battle);
        game.Frame();
    }
    game.Hold(kShotButton, false);
    game.Hold(kLockButton, false);
    if (battle && !EndPage(battle)) return ::testing::AssertionFailure() << "the battle did not end" << game.Describe();
    if (battle) *result = battle->GetResult(team);
    if (!*result) return ::testing::AssertionFailure() << "left without a result" << game.Describe();
    return ::testing::AssertionSuccess();
}

}  // namespace menu_run
