// A fighter's whole HUD loaded from the console layout on disk: what its
// load needs, the time limit, the stacked panels of the other fighters, the
// end rules and which console runs its menu.
#include "engine/graphics/Camera.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/platform/FrameTime.h"
#include "engine/platform/DirectInput.h"
#include "game/battle/object/Stage.h"
#include "game/battle/object/StageSetting.h"
#include "game/battle/scene/BattleConsole.h"
#include "game/battle/scene/BattleStateConsole.h"
#include "game/battle/scene/EnemyConsole.h"
#include "game/battle/scene/MenuConsole.h"
#include "game/battle/scene/tests/ConsoleTestSupport.h"
#include "host/kernel/tests/TempFolder.h"

#include <algorithm>

namespace ORV_TEST_FILE_ID {

namespace {

using namespace console_test;

class BattleConsoleTest : public ConsoleTest {
protected:
    void SetUp() override
    {
        ConsoleTest::SetUp();
        ASSERT_TRUE(host::kernel::SetCurrentDirectory(folder_.Path()));
        ASSERT_TRUE(WriteConsoleData("."));
        auto* texture = new CTexture();
        ASSERT_EQ(texture->Create(kTextureSide, kTextureSide, 0, host::render::kFormatA8R8G8B8,
                      host::render::kPoolManaged), 1);
        texture->SetName("Data\\Console_01.dds");
        void* slot = static_cast<CValueBase*>(texture);
        resources_.GetTextureList()->Add(&slot);
        for (const char* n : {"Se_gameopt_select.ogg", "Se_gameopt_set.ogg", "Se_cancel.ogg"}) ListSound(n);
        setup_.owner = &scene_;
        setup_.characters = &list_;
    }

    void TearDown() override
    {
        SetFrameTime(0);
        host::kernel::SetCurrentDirectory(cwd_);
        ConsoleTest::TearDown();
    }

    // Runs the end clock past the banner with result (1 win, 2 loss, 3 draw).
    void ShowResult(CBattleConsole& console, u32 result)
    {
        scene_.teamResults[0] = result;
        scene_.settled = 1;
        console.ShowResult();
        SetFrameTime(1000);
        for (int i = 0; i < 7; ++i) console.Update(0);
        SetFrameTime(0);
    }

    std::string cwd_ = host::kernel::GetCurrentDirectory();
    host::kernel::testing::TempFolder folder_;
    FakeHudFighter a_, b_, c_, d_;
    HudFighterList list_{&a_, &b_};
    ConsoleSetup setup_;
};

}  // namespace

TEST_F(BattleConsoleTest, LoadNeedsTheLayoutAndItsTexture)
{
    CBattleConsole console;
    ASSERT_EQ(console.Load(&setup_), 1u);
    EXPECT_EQ(console.GetEnemyCount(), 2u);
    ASSERT_NE(console.GetView(), nullptr);
    EXPECT_EQ(console.GetView()->GetConsole(), static_cast<Console3DSource*>(&console));

    resources_.GetTextureList()->Release();
    CBattleConsole noTexture;
    EXPECT_EQ(noTexture.Load(&setup_), 0u);

    ASSERT_EQ(std::remove("Scene/Console.sce"), 0);
    CBattleConsole noLayout;
    EXPECT_EQ(noLayout.Load(&setup_), 0u);
}

TEST_F(BattleConsoleTest, TimeLimitCountsDownUnlessItIsNone)
{
    const struct {
        u32 setting;
        f32 limit, remaining, elapsed;
    } cases[] = {
        {0, 100, 98, 2},
        {5, 600, 598, 2},
        {6, 1000, 1000, 0},
        {7, 1000, 1000, 0},       // past the table: no limit, no read past it
        {0xFFFFFFFF, 1000, 1000, 0},
    };
    for (const auto& c : cases) {
        setup_.timeSetting = c.setting;
        CBattleConsole console;
        ASSERT_EQ(console.Load(&setup_), 1u);
        EXPECT_EQ(console.GetTimeLimit(), c.limit) << c.setting;
        // The start call runs first; then two seconds of battle.
        SetFrameTime(1000);
        for (int i = 0; i < 20 && console.GetRemainingTime() == c.limit && c.limit < 1000; ++i) console.Update(0);
        console.Update(0);
        SetFrameTime(0);
        EXPECT_EQ(console.GetRemainingTime(), c.remaining) << c.setting;
        EXPECT_EQ(console.GetElapsedTime(), c.elapsed) << c.setting;
    }
}

TEST_F(BattleConsoleTest, OtherFightersPanelsStackUpwardsAndDimWhenDefeated)
{
    const struct {
        size_t fighters;
        u32 own;
        std::vector<f32> ys;
    } cases[] = {{2, 0, {kElementY}}, {4, 1, {kElementY, kElementY - 64, kElementY - 128}}};
    for (const auto& c : cases) {
        list_.assign({&a_, &b_, &c_, &d_});
        list_.resize(c.fighters);
        setup_.ownIndex = c.own;
        c_.action = HudFighter::kActionDefeated;
        CBattleConsole console;
        ASSERT_EQ(console.Load(&setup_), 1u);
        console.Update(0);
        fake_->ClearLog();
        console.Draw(0);
        std::vector<f32> ys;
        std::vector<u32> colours;
        for (const Sprite& s : Sprites()) {
            if (s.name != "En_Gwk") continue;
            ys.push_back(s.y);
            colours.push_back(s.colour);
        }
        EXPECT_EQ(ys, c.ys) << c.fighters;
        if (c.fighters == 4) {
            ASSERT_EQ(colours.size(), 3u);
            EXPECT_EQ(colours[0], 0xFFFFFFFFu);
            EXPECT_EQ(colours[1], 0xFF666666u);   // fighter 2 is down
        }
    }
}

TEST_F(BattleConsoleTest, EndRulesSendTheirCodeOnceOrOpenTheEndMenu)
{
    const struct {
        const char* what;
        u32 ConsoleSetup::*mode;
        u32 own, result;
        std::vector<u32> codes;
        bool menu;
    } cases[] = {
        {"survival won", &ConsoleSetup::survival, 0, 1, {kEndSurvivalWon}, false},
        {"survival lost", &ConsoleSetup::survival, 0, 2, {kEndSurvivalLost}, false},
        {"survival, not console 0", &ConsoleSetup::survival, 1, 1, {}, true},
        {"story won", &ConsoleSetup::story, 0, 1, {kEndStoryWon}, false},
        {"story lost", &ConsoleSetup::story, 0, 3, {}, true},
        {"adventure won", &ConsoleSetup::adventure, 0, 1, {kEndAdventureWon}, false},
        {"adventure lost", &ConsoleSetup::adventure, 0, 2, {}, true},
        {"free battle", &ConsoleSetup::training, 0, 1, {}, true},
    };
    for (const auto& c : cases) {
        ConsoleSetup setup = setup_;
        setup.*c.mode = 1;
        setup.ownIndex = c.own;
        scene_.reports.clear();
        CBattleConsole console;
        ASSERT_EQ(console.Load(&setup), 1u);
        ShowResult(console, c.result);
        const auto codes = [&] {
            std::vector<u32> out;
            for (const auto& [message, word] : scene_.reports) {
                if (message == kConsoleMsgEndCode) out.push_back(word);
            }
            return out;
        };
        EXPECT_EQ(codes(), c.codes) << c.what;
        EXPECT_EQ(console.IsMenuOpen() != 0, c.menu) << c.what;
        EXPECT_EQ(console.GetSetup().endHandled, 1u) << c.what;
        // Still shown: nothing runs twice.
        console.Update(0);
        console.Update(0);
        EXPECT_EQ(codes(), c.codes) << c.what;
    }
}

TEST_F(BattleConsoleTest, EndRulesWaitForTheResultAndAClosedMenu)
{
    setup_.survival = 1;
    CBattleConsole console;
    ASSERT_EQ(console.Load(&setup_), 1u);
    console.GetMenu()->OpenEndMenu();
    ShowResult(console, 1);
    EXPECT_TRUE(scene_.reports.empty());
    EXPECT_EQ(console.GetSetup().endHandled, 0u);
}

TEST_F(BattleConsoleTest, MenuModeByTheFirstModeThatHolds)
{
    const struct {
        u32 adventure, survival, story, replay, tutorial, training, network, localEntry, mode;
    } cases[] = {
        {1, 1, 1, 1, 1, 1, 1, 0, kMenuKindAdventure},
        {0, 1, 0, 1, 0, 0, 0, 0, kMenuKindStory},
        {0, 0, 1, 0, 0, 0, 0, 0, kMenuKindStory},
        {0, 0, 0, 1, 1, 0, 0, 0, kMenuKindReplay},
        {0, 0, 0, 0, 1, 1, 0, 0, kMenuKindTutorial},
        {0, 0, 0, 0, 0, 1, 1, 0, kMenuKindTraining},
        {0, 0, 0, 0, 0, 0, 1, 0, kMenuKindNetworkHost},
        {0, 0, 0, 0, 0, 0, 1, 2, kMenuKindNetworkClient},
        {0, 0, 0, 0, 0, 0, 0, 0, kMenuKindFree},
    };
    for (const auto& c : cases) {
        ConsoleSetup s;
        s.adventure = c.adventure, s.survival = c.survival, s.story = c.story, s.replay = c.replay;
        s.tutorial = c.tutorial, s.training = c.training, s.network = c.network, s.localEntry = c.localEntry;
        EXPECT_EQ(CBattleConsole::MenuMode(s), c.mode);
    }
}

TEST_F(BattleConsoleTest, InNetworkPlayOnlyTheLocalEntrysConsoleRunsItsMenu)
{
    FakeInput input;
    input.keyDown = 1;   // Escape: the quit prompt
    setup_.network = 1;
    // The local entry names a set-up entry; after an empty entry the list
    // places run one behind the entries.
    const struct {
        u32 entries[2], local, menuAt;
    } cases[] = {{{0, 1}, 1, 1}, {{0, 2}, 2, 1}, {{0, 2}, 1, 2}};
    for (const auto& c : cases) {
        a_.entry = c.entries[0], b_.entry = c.entries[1];
        setup_.localEntry = c.local;
        for (const u32 own : {0u, 1u}) {
            setup_.ownIndex = own;
            CBattleConsole console;
            ASSERT_EQ(console.Load(&setup_), 1u);
            console.GetMenu()->SetInput(&input);
            console.Update(0);
            EXPECT_EQ(console.IsMenuOpen() != 0, own == c.menuAt) << c.local << " " << own;
        }
    }
}

TEST_F(BattleConsoleTest, WorldPassDrawsTheOtherFightersMarkersWithFogAndLightOff)
{
    CCamera camera;
    const CVector3 eye(0, 0, 0), target(0, 0, 1), up(0, 1, 0);
    camera.SetLookAt(&eye, &target, &up);
    camera.SetPerspective(90.0f, 4.0f / 3.0f, 1.0f, 1000.0f);
    camera.SetViewport(0, 0, 1024, 768);
    a_.camera = b_.camera = &camera;
    a_.position = CVector3(0, 0, 20);
    b_.position = CVector3(0, 0, 20);
    a_.lockOn = &b_;
    CBattleConsole console;
    ASSERT_EQ(console.Load(&setup_), 1u);
    console.Update(0);
    GetGraphicDevice()->SetFogEnable(1);
    fake_->ClearLog();
    EXPECT_EQ(console.GetView()->Draw(0), 1);
    std::vector<std::string> names = Names();
    EXPECT_EQ(std::count(names.begin(), names.end(), "TarHp"), 1);   // b's tag only
    EXPECT_EQ(std::count(names.begin(), names.end(), "TarWak"), 1);
    EXPECT_TRUE(fake_->HasSequence({
        host::render::CallMatch("SetRenderState").With("state", host::render::kRsFogEnable).With("value", 0),
        host::render::CallMatch("DrawPrimitiveUP"),
        host::render::CallMatch("SetRenderState").With("state", host::render::kRsFogEnable).With("value", 1),
    }));
    EXPECT_EQ(GetGraphicDevice()->GetRenderStates()->zWriteEnable, 0u);
}

TEST_F(BattleConsoleTest, DrawsTheRadarAndTheBattleState)
{
    auto* setting = new CStageSetting();
    setting->GetParameters()->box.min = CVector3(-100, -10, -100);
    setting->GetParameters()->box.max = CVector3(100, 10, 100);
    CResourceList stages;
    void* stage = static_cast<CValueBase*>(new CStage(setting));
    stages.Add(&stage);
    setup_.stageObjects = &stages;
    CBattleConsole console;
    ASSERT_EQ(console.Load(&setup_), 1u);
    console.Update(0);
    fake_->ClearLog();
    console.Draw(0);
    const std::vector<std::string> names = Names();
    const auto at = [&](const char* name) { return std::find(names.begin(), names.end(), name) - names.begin(); };
    EXPECT_EQ(std::count(names.begin(), names.end(), "mapsk"), 2) << "one marker per fighter";
    // The radar, then the battle state's clock: 100 s.
    ASSERT_LT(at("map"), at("Tiwk"));
    ASSERT_LT(size_t(at("Tiwk")) + 3, names.size());
    EXPECT_EQ(std::vector<std::string>(names.begin() + at("Tiwk"), names.begin() + at("Tiwk") + 4),
        (std::vector<std::string>{"Tiwk", "Ti1", "Ti0", "Ti0"}));
    EXPECT_TRUE(fake_->HasSequence({
        host::render::CallMatch("SetRenderState").With("state", host::render::kRsStencilEnable).With("value", 1),
        host::render::CallMatch("SetRenderState").With("state", host::render::kRsStencilEnable).With("value", 0),
    }));
}

TEST_F(BattleConsoleTest, FirstTutorialTipNamesTheInputGivenBeforeLoad)
{
    setup_.tutorial = 1;
    FakeInput input;
    const u32 keys[4] = {0x11, 0x1F, 0x1E, 0x20};
    for (u32 i = 0; i < 4; ++i) input.pad.keyAssignment[12 - kInputCodeAssignable + i] = keys[i];
    std::string want;
    for (u32 key : keys) want += "[" + std::string(GetKeyName(key)) + "]";
    CBattleConsole console;
    console.SetInput(&input);
    ASSERT_EQ(console.Load(&setup_), 1u);
    EXPECT_NE(console.GetState()->GetTipText().find(want), std::string::npos) << console.GetState()->GetTipText();
}

}  // namespace ORV_TEST_FILE_ID
