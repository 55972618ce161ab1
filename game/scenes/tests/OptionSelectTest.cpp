#include "game/scenes/OptionSelect.h"

#include "engine/core/Random.h"
#include "engine/scene/Effect.h"
#include "engine/scene/ResourceController.h"
#include "engine/scene/SceneObject.h"
#include "game/battle/character/CharacterBase.h"
#include "game/battle/scene/BattleConsole.h"
#include "game/battle/scene/BattleScene.h"
#include "game/battle/scene/HudFighter.h"
#include "game/battle/scene/TensionConsole.h"
#include "game/scenes/tests/MenuRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

namespace option_select_test {

namespace ORV_TEST_FILE_ID {

namespace {

using namespace option_select;
using game_test::GameDriver;

// The rows the cursor visits going down from 0, and going up from 0, until
// it is back.
std::vector<i32> Visited(bool up, u32 rule, bool training)
{
    std::vector<i32> rows = {0};
    for (i32 row = StepRow(0, up, rule, training); row != 0 && rows.size() < 20; row = StepRow(row, up, rule, training))
        rows.push_back(row);
    return rows;
}

TEST(OptionSelectRows, TheCursorSkipsTheRowsTheRuleAndTheModeDoNotOffer)
{
    const struct {
        u32 rule;
        bool training;
        std::vector<i32> down;
    } cases[] = {
        {0, false, {0, 1, 2, 4, 5, 7, 8, 9}},
        {1, false, {0, 1, 2, 3, 4, 5, 7, 8, 9}},
        {0, true, {0, 1, 6, 7, 8, 9}},
        {1, true, {0, 1, 6, 7, 8, 9}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "rule " << c.rule << " training " << c.training);
        EXPECT_EQ(Visited(false, c.rule, c.training), c.down);
        std::vector<i32> up(c.down.rbegin(), c.down.rend() - 1);
        up.insert(up.begin(), 0);
        EXPECT_EQ(Visited(true, c.rule, c.training), up);
    }
}

// Without an application no music is offered: a random draw has nothing to
// draw from and keeps the last draw.
TEST(OptionSelectRows, RandomMusicFromNoTracksKeepsTheLastDraw)
{
    COptionSelect scene;
    scene.SetBgm(7, true);
    EXPECT_EQ(scene.GetOption().music, CBattleOption::kRandomMusic);
    EXPECT_EQ(scene.GetOption().drawnMusic, 0u);
    scene.Decrease(kBgm);
    scene.Increase(kBgm);
    EXPECT_EQ(scene.GetOption().music, CBattleOption::kRandomMusic);
    EXPECT_EQ(scene.GetOption().drawnMusic, 0u);
}

// ---------------------------------------------------------------- in the game

COptionSelect* Scene(GameDriver& game) { return dynamic_cast<COptionSelect*>(game.App().GetScene()); }

// Talve (player 1) against Derona (computer), the other two entries empty.
CBattleSetup* TwoFighters(GameDriver& game, bool training = false)
{
    auto* setup = new CBattleSetup(game.App().GetSaveConfig());
    setup->recordReplay = 0;
    setup->trainingMode = training ? 1 : 0;
    setup->entries[0].kind = 0;
    setup->entries[0].character = 0;
    setup->entries[0].team = 0;
    setup->entries[1].kind = CBattleEntry::kKindComputer;
    setup->entries[1].character = 1;
    setup->entries[1].team = 1;
    for (u32 i = 2; i < CBattleSetup::kEntryCount; ++i) setup->entries[i].kind = CBattleEntry::kKindNone;
    return setup;
}

::testing::AssertionResult EnterSelect(GameDriver& game, bool training = false)
{
    if (!game.Started() || !game.App().LoadResources()) return ::testing::AssertionFailure() << game.Describe();
    MenuSetupArgs args;
    args.setup = TwoFighters(game, training);
    game.App().ChangeScene(new COptionSelect(), reinterpret_cast<intptr_t>(&args));
    if (!Scene(game)) return ::testing::AssertionFailure() << "no option select" << game.Describe();
    menu_run::FadeIn(game);
    return ::testing::AssertionSuccess();
}

// The visible value layer of a row's layers.
i32 Shown(COptionSelect* scene, const char* const* names, u32 count)
{
    i32 shown = -1;
    for (u32 i = 0; i < count; ++i) {
        const CSceneObject* layer = scene->FindLayer(names[i]);
        if (layer && layer->GetSettings().visible) shown = shown == -1 ? i32(i) : -2;
    }
    return shown;
}

u32 Value(const CBattleOption& o, i32 row)
{
    const u32 values[kRowCount] = {o.stage, o.music, o.livesRule, o.extraLives, o.timeSetting, o.computerLevel,
        o.characterSetting, o.sharedGroupBullets, o.ownTension, 0};
    return values[row];
}

TEST(OptionSelectRun, EachRowStepsAndWrapsShowingItsValue)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(EnterSelect(game));
    COptionSelect* scene = Scene(game);
    struct Layers {
        const char* const* names;
        u32 count;
    };
    const struct {
        i32 row;
        u32 from;
        bool up;
        u32 to;
        Layers layers;
    } cases[] = {
        {kStage, 18, true, 19, {kStageLayers, 20}}, {kStage, 19, true, 0, {kStageLayers, 20}},
        {kStage, 0, false, 19, {kStageLayers, 20}}, {kBgm, 0, true, 1, {}},
        {kBgm, 40, true, 51, {}},   // 41..50 hold no music
        {kBgm, 51, true, 0, {}}, {kBgm, 0, false, 51, {}}, {kBgm, 51, false, 40, {}},
        {kRule, 1, true, 0, {kRuleLayers, 2}}, {kRule, 0, false, 1, {kRuleLayers, 2}},
        {kPoint, 4, true, 0, {kPointLayers, 5}}, {kPoint, 0, false, 4, {kPointLayers, 5}},
        {kTime, 6, true, 0, {kTimeLayers, 7}}, {kTime, 3, false, 2, {kTimeLayers, 7}},
        {kCpu, 4, true, 0, {kCpuLayers, 5}}, {kCpu, 0, false, 4, {kCpuLayers, 5}},
        {kTensionRule, 5, true, 0, {kTensionRuleLayers, 6}}, {kTensionRule, 0, false, 5, {kTensionRuleLayers, 6}},
        {kFriend, 2, true, 0, {kFriendLayers, 3}}, {kFriend, 0, false, 2, {kFriendLayers, 3}},
        {kAnBgm, 1, true, 0, {kAnBgmLayers, 2}}, {kAnBgm, 0, false, 1, {kAnBgmLayers, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << c.row << " from " << c.from << (c.up ? " up" : " down"));
        if (c.row == kStage) scene->SetStage(c.from, true);
        if (c.row == kBgm) scene->SetBgm(c.from, true);
        if (c.row > kBgm) {
            scene->Increase(c.row);   // any value, then the one wanted through the step
            for (u32 i = 0; i < 60 && Value(scene->GetOption(), c.row) != c.from; ++i) scene->Increase(c.row);
        }
        ASSERT_EQ(Value(scene->GetOption(), c.row), c.from);
        const CBattleOption before = scene->GetOption();
        c.up ? scene->Increase(c.row) : scene->Decrease(c.row);
        EXPECT_EQ(Value(scene->GetOption(), c.row), c.to);
        for (i32 other = 0; other < kInit; ++other) {
            if (other != c.row) {
                EXPECT_EQ(Value(scene->GetOption(), other), Value(before, other)) << other;
            }
        }
        if (c.layers.names) {
            EXPECT_EQ(Shown(scene, c.layers.names, c.layers.count), i32(c.to));
        }
    }
    // Grey points under the rule without lives.
    scene->SetRule(0);
    EXPECT_EQ(scene->FindLayer("Point")->GetSettings().offset.colour.ToARGB(), kGrey);
    scene->SetRule(7);
    EXPECT_EQ(scene->GetOption().livesRule, 1u);
    EXPECT_EQ(scene->FindLayer("Point")->GetSettings().offset.colour.ToARGB(), kWhite);
}

// Random stage and music are drawn again on every landing, music only from
// the tracks that hold a tension file; the player's entry follows the
// music, the computer's keeps its own, every entry takes the CPU level.
TEST(OptionSelectRun, RandomValuesAreDrawnAgainOnEveryLanding)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(EnterSelect(game));
    COptionSelect* scene = Scene(game);
    SeedRandom(3);
    std::set<u32> stages, tracks;
    for (int i = 0; i < 40; ++i) {
        scene->SetStage(0, true);
        scene->Decrease(kStage);
        ASSERT_EQ(scene->GetOption().stage, 19u);
        EXPECT_LT(scene->GetOption().drawnStage, 19u);
        stages.insert(scene->GetOption().drawnStage);
        scene->SetBgm(0, true);
        scene->Decrease(kBgm);
        ASSERT_EQ(scene->GetOption().music, 51u);
        EXPECT_LT(scene->GetOption().drawnMusic, 41u);
        tracks.insert(scene->GetOption().drawnMusic);
        EXPECT_EQ(scene->GetSetup()->entries[0].ownMusic, scene->GetOption().drawnMusic);
    }
    EXPECT_GT(stages.size(), 5u);
    EXPECT_GT(tracks.size(), 5u);
    const u32 computerMusic = scene->GetSetup()->entries[1].ownMusic;
    scene->SetBgm(12, true);
    EXPECT_EQ(scene->GetSetup()->entries[0].ownMusic, 12u);
    EXPECT_EQ(scene->GetSetup()->entries[1].ownMusic, computerMusic);
    scene->SetCpu(3);
    for (u32 i = 0; i < CBattleSetup::kEntryCount; ++i) EXPECT_EQ(scene->GetSetup()->entries[i].characterWords[1], 3u);
}

// Down through the rows by key; in training the battle rows are neither
// shown nor reachable.
TEST(OptionSelectRun, KeysMoveThroughTheOfferedRowsOnlyAndInitRestoresTheDefaults)
{
    for (const bool training : {false, true}) {
        SCOPED_TRACE(training);
        GameDriver game(game_test::GameDataRoot(), menu_run::Options());
        ASSERT_TRUE(EnterSelect(game, training));
        COptionSelect* scene = Scene(game);
        game.Press(menu::kRight);   // stage 1
        game.Frame();
        scene->SetTensionRule(3);
        scene->SetFriend(0);
        scene->SetAnBgm(0);
        std::vector<i32> rows = {scene->GetRow()};
        for (int i = 0; i < 12 && !(rows.size() > 1 && rows.back() == kInit); ++i) {
            game.Press(menu::kDown);
            game.Frames(12);   // the cursor moves in 0.15 s
            rows.push_back(scene->GetRow());
        }
        EXPECT_EQ(rows, training ? std::vector<i32>({0, 1, 6, 7, 8, 9}) : std::vector<i32>({0, 1, 2, 4, 5, 7, 8, 9}));
        EXPECT_EQ(scene->FindLayer("sele_car141")->GetSettings().visible, 1u);
        EXPECT_EQ(scene->FindLayer("sele_car51")->GetSettings().visible, 0u);
        game.Press(menu::kDecide);
        const CBattleOption& o = scene->GetOption();
        EXPECT_EQ(o.stage + o.music + o.livesRule + o.computerLevel, 0u);
        EXPECT_EQ(o.extraLives, 2u);
        EXPECT_EQ(o.timeSetting, 6u);
        EXPECT_EQ(o.sharedGroupBullets, 2u);
        EXPECT_EQ(o.ownTension, 1u);
        EXPECT_EQ(o.characterSetting, 3u);
        EXPECT_TRUE(menu_run::Playing(kSounds[kSet]));
    }
}

// Start: the cover closes, a loading screen builds the battle, and the
// battle's set-up holds the options chosen here.
TEST(OptionSelectRun, StartLoadsABattleWithTheChosenOptions)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(EnterSelect(game));
    COptionSelect* scene = Scene(game);
    scene->SetStage(0, true);
    scene->SetBgm(3, true);
    scene->SetTime(0);
    scene->SetRule(1);
    scene->SetPoint(4);
    scene->SetCpu(2);
    scene->SetFriend(1);
    const CBattleOption chosen = scene->GetOption();
    game.Press(menu::kStart);
    EXPECT_TRUE(Scene(game)->IsStarting());
    ASSERT_TRUE(game.RunUntil("CBattleScene", 60)) << game.Describe();
    const auto* battle = dynamic_cast<const CBattleScene*>(game.App().GetScene());
    ASSERT_NE(battle, nullptr);
    const CBattleSetup* setup = battle->GetSetup();
    ASSERT_NE(setup, nullptr);
    const CBattleOption& o = setup->option;
    EXPECT_EQ(o.stage, 0u);
    EXPECT_EQ(o.music, 3u);
    EXPECT_EQ(o.timeSetting, 0u);
    EXPECT_EQ(o.livesRule, 1u);
    EXPECT_EQ(o.extraLives, 4u);
    EXPECT_EQ(o.computerLevel, 2u);
    EXPECT_EQ(o.sharedGroupBullets, 1u);
    EXPECT_EQ(o.randomSeed, chosen.randomSeed);
    EXPECT_EQ(setup->entries[0].ownMusic, 3u);
    EXPECT_EQ(setup->entries[1].kind, CBattleEntry::kKindComputer);
    EXPECT_TRUE(game.Boxes().empty()) << game.Describe();
}

// Training's tension rule, chosen on its row by key, fixes the tension of
// every fighter in the battle, and every tension strip shows it as one
// level (the strip draws the level of the fighter's fixed setting).
TEST(OptionSelectRun, TrainingsTensionRuleFixesEveryFightersTension)
{
    const struct {
        u32 rule;
        u32 level, finale;
    } rows[] = {{1, 0, 0}, {3, 2, 0}, {5, 3, 1}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.rule);
        GameDriver game(game_test::GameDataRoot(), menu_run::BattleOptions());
        ASSERT_TRUE(EnterSelect(game, true));
        COptionSelect* scene = Scene(game);
        for (u32 i = 0; i < 2; ++i) menu_run::Step(game, menu::kDown);
        ASSERT_EQ(scene->GetRow(), i32(kTensionRule));
        for (u32 i = 0; i < r.rule; ++i) menu_run::Step(game, menu::kRight);
        ASSERT_EQ(scene->GetOption().characterSetting, r.rule);
        game.Press(menu::kStart);
        ASSERT_TRUE(game.RunUntil("CBattleScene", 60)) << game.Describe();
        const CBattleScene* battle = menu_run::Battle(game);
        ASSERT_TRUE(battle);
        game.Frames(300);   // past the countdown
        ASSERT_EQ(menu_run::Battle(game), battle);
        ASSERT_EQ(battle->GetCharacterCount(), 2u);
        for (u32 i = 0; i < 2; ++i) {
            const CharacterStatus& s = *battle->GetCharacter(i)->GetStatus();
            EXPECT_EQ(s.tension, r.level) << i;
            EXPECT_EQ(s.finale, r.finale) << i;
        }
        const CBattleConsole* console = battle->GetConsole(0);
        ASSERT_TRUE(console && console->GetSetup().characters);
        for (const HudFighter* fighter : *console->GetSetup().characters) {
            ASSERT_TRUE(fighter);
            EXPECT_EQ(fighter->GetFixedTension(), r.rule);
            EXPECT_EQ(CTensionConsole::FixedLevel(fighter->GetFixedTension()), i32(r.level));
        }
    }
}

// Back hands effect, music and the set-up with the options to the
// character select; the scene keeps none of them.
TEST(OptionSelectRun, BackHandsTheSetUpEffectAndMusicOn)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(EnterSelect(game));
    COptionSelect* scene = Scene(game);
    scene->SetTime(2);
    CBattleSetup* held = scene->GetSetup();
    MenuSetupArgs args = scene->TakeBackArgs();
    EXPECT_EQ(args.setup, held);
    ASSERT_NE(args.effect, nullptr);
    ASSERT_NE(args.music, nullptr);
    EXPECT_EQ(args.curtain + args.alpha, 0.0f);
    EXPECT_EQ(args.setup->option.timeSetting, 2u);
    EXPECT_EQ(args.setup->entries[0].character, 0u);
    EXPECT_EQ(args.setup->entries[1].character, 1u);
    EXPECT_EQ(args.setup->entries[3].kind, CBattleEntry::kKindNone);
    EXPECT_EQ(scene->GetSetup(), nullptr);
    // Released here and by the scene: a double release shows under the
    // sanitizers; the music plays on.
    delete args.setup;
    menu::ReleaseEffect(args.effect);
    game.Frame();
    EXPECT_TRUE(args.music->IsPlaying(0));
}

// Cancel fades out and asks for the character select.
TEST(OptionSelectRun, CancelAsksForTheCharacterSelect)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(EnterSelect(game));
    game.Press(menu::kCancel);
    EXPECT_TRUE(menu_run::Playing(kSounds[kCancel]));
    EXPECT_TRUE(Scene(game)->IsLeaving());
    for (int i = 0; i < 40 && Scene(game); ++i) game.Frame();
    EXPECT_EQ(Scene(game), nullptr) << game.Describe();
    const std::string trail = game.Describe();
    EXPECT_TRUE(trail.find("CCharaSelect") != std::string::npos || trail.find("CharaSelect.sce") != std::string::npos)
        << trail;
}

// A missing sound fails the Load naming it; the set-up goes with the scene.
TEST(OptionSelectRun, AMissingSoundFailsTheLoadNamingIt)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(game.Started() && game.App().LoadResources());
    CResourceList* sounds = game.App().GetResourceController()->GetSoundList();
    for (u32 i = 0; i < sounds->GetCount(); ++i)
        if (sounds->GetAt(i) == static_cast<CValueBase*>(menu::FindSound("Se_gameopt_set.ogg"))) sounds->RemoveAt(i);
    MenuSetupArgs args;
    args.setup = TwoFighters(game);
    EXPECT_EQ(game.App().ChangeScene(new COptionSelect(), reinterpret_cast<intptr_t>(&args)), 1);
    ASSERT_FALSE(game.Boxes().empty());
    EXPECT_EQ(game.Boxes().at(0), "Se_gameopt_set.oggが読み込めません");
}

}  // namespace

namespace {

bool Has(const std::vector<std::string>& names, const std::string& name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

// The rows the mode offers are drawn with their value; the music's tension
// shows as bar segments of its levels, random music as none.
TEST(OptionSelectRun, DrawsTheOfferedRowsAndTheMusicsTensionBar)
{
    scene_data::CSceneDataSet set;
    scene_data::AddOptionSelectData(set);
    const std::vector<std::string>& layers = set.layouts[kLayout];
    for (const bool training : {false, true}) {
        SCOPED_TRACE(training);
        GameDriver game(game_test::GameDataRoot(), menu_run::Options());
        ASSERT_TRUE(EnterSelect(game, training));
        COptionSelect* scene = Scene(game);
        scene->SetBgm(0, true);
        game.Frame();
        const CTexture* texture = scene->FindLayer("Title")->GetTexture();
        std::vector<std::string> drawn = menu_run::DrawnLayers(game, layers, texture);
        EXPECT_TRUE(Has(drawn, "Title") && Has(drawn, "Stage/yjr_r") && Has(drawn, "Friend/yaru1"));
        EXPECT_EQ(Has(drawn, "Rule/ruru1"), !training);
        EXPECT_EQ(Has(drawn, "Cpu/cplv1"), !training);
        EXPECT_EQ(Has(drawn, "TRule/tense1"), training);
        EXPECT_FALSE(Has(drawn, "Stage/stg2") || Has(drawn, "Bgm/yjr_r2"));
        for (const char* body : {"bgmN1", "bgmH1", "bgmL1", "bgmC1"}) EXPECT_TRUE(Has(drawn, body)) << body;
        scene->SetBgm(51, true);
        game.Frame();
        drawn = menu_run::DrawnLayers(game, layers, texture);
        for (const char* body : kBarBodies) EXPECT_FALSE(Has(drawn, body)) << body;
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID

}  // namespace option_select_test
