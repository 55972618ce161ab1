// The battle's frame on the fake device's call log: the split-screen
// viewports, one view where the battle draws one, the fade, and the
// screenshots (size, name, when none is taken).
#include "game/battle/scene/tests/BattleSceneTestSupport.h"

#include "engine/graphics/Filter.h"
#include "engine/scene/SceneObject.h"
#include "game/battle/scene/BattleConsole.h"
#include "engine/graphics/Shapes2D.h"
#include "engine/graphics/Texture.h"
#include "engine/model/RenderList.h"
#include "game/battle/character/Character.h"
#include "game/battle/character/CharacterAction.h"
#include "game/data/Replay.h"
#include "engine/platform/Input.h"

#include <dirent.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

using namespace scene_test;
using host::render::CallMatch;

constexpr u32 kScreenW = 640, kScreenH = 480;   // the fake window's back buffer

// The application with the fake window's screen and the filters a test gives.
class DrawApp : public FakeBattleApp {
public:
    CFilter* GetHdrFilter() override { return hdr; }
    CFilter* GetBasicFilter() override { return basic; }
    u32 GetScreenWidth() override { return kScreenW; }
    u32 GetScreenHeight() override { return kScreenH; }
    CFilter* hdr = nullptr;
    CFilter* basic = nullptr;
};

// The frame state the load and update set, for the cases they reach only
// through a network or a whole battle.
class DrawScene : public CBattleScene {
public:
    using CBattleScene::CBattleScene;
    void SetTimer(f32 t) { m_timer = t; }
    void SetReplayMode(u32 on) { m_replayMode = on; }
};

// humans human fighters (pads 1..), then computers up to fighters; the
// other entries none.
CBattleSetup* MixedSetup(u32 humans, u32 fighters)
{
    CBattleSetup* setup = CpuSetup();
    for (u32 i = 0; i < humans; ++i) setup->entries[i].kind = i;
    for (u32 i = fighters; i < CBattleSetup::kEntryCount; ++i) setup->entries[i].kind = CBattleEntry::kKindNone;
    return setup;
}

struct Cell {
    u32 x, y, w, h;
};

class BattleSceneDrawTest : public BattleSceneTest {
protected:
    void SetUp() override
    {
        BattleSceneTest::SetUp();
        ShareServices(app_draw_);
    }
    // Another application on the fixture's data and devices.
    void ShareServices(FakeBattleApp& app) const
    {
        app.resources = app_.resources;
        app.effects = app_.effects;
        app.sound = app_.sound;
        app.musicTension = app_.musicTension;
        app.userFolder = app_.userFolder;
    }
    void TearDown() override
    {
        delete basic_;
        basic_ = nullptr;
        BattleSceneTest::TearDown();
    }

    void UseBasicFilter()
    {
        basic_ = new CFilter();
        ASSERT_EQ(basic_->Create(2048, 2048, device_->GetColorFormat(), host::render::kFormatD24S8, 1), 1);
        app_draw_.basic = basic_;
    }

    void DrawFrame(CBattleScene& scene)
    {
        fake_->ClearLog();
        ASSERT_EQ(device_->BeginScene(), 1);
        ASSERT_EQ(scene.Draw(0), 1);
        ASSERT_EQ(device_->EndScene(), 1);
        EXPECT_EQ(fake_->Count(CallMatch("SetViewport").Returning(host::render::Result::InvalidCall)), 0u);
    }

    static CallMatch Viewport(const Cell& c)
    {
        return CallMatch("SetViewport").With("x", c.x).With("y", c.y).With("width", c.w).With("height", c.h);
    }

    // Alphas of the black fills over the whole window, in draw order.
    std::vector<u32> FadeAlphas() const
    {
        std::vector<u32> alphas;
        for (const host::render::Call& c : fake_->Find(CallMatch("DrawPrimitiveUP").With("fvf", kFvfColorVertex))) {
            const u32 colour = c.U32At(16);
            if ((colour & 0xFFFFFF) == 0 && c.FloatAt(0) == 0.0f && c.FloatAt(20 + 0) == f32(kScreenW) &&
                c.FloatAt(40 + 4) == f32(kScreenH))
                alphas.push_back(colour >> 24);
        }
        return alphas;
    }

    // Puts the local fighter into a spell card whose screenshot flag is set.
    static void CastScreenshotSpell(CBattleScene& scene)
    {
        CCharacter* c = scene.GetLocalCharacter();
        c->GetParameter()->GetSpellCard(0).GetValues().screenShotFlg = 1;
        c->GetStatus()->action = kActionSpellCard;
        c->GetStatus()->spellSlot = 0;
        ASSERT_EQ(c->IsInScreenshotSpell(), 1u);
    }

    std::vector<std::string> Bitmaps() const
    {
        std::vector<std::string> names;
        DIR* dir = opendir(folder_.Path().c_str());
        while (dirent* e = dir ? readdir(dir) : nullptr) {
            const std::string n = e->d_name;
            if (n.size() > 4 && n.compare(n.size() - 4, 4, ".bmp") == 0) names.push_back(n);
        }
        if (dir) closedir(dir);
        std::sort(names.begin(), names.end());
        return names;
    }

    DrawApp app_draw_;
    CFilter* basic_ = nullptr;
};

TEST_F(BattleSceneDrawTest, SplitScreenGivesEachFighterItsCellOfTheGrid)
{
    const u32 w = kScreenW / 2, h = kScreenH / 2;
    struct Case {
        const char* name;
        u32 humans, count;
        std::vector<Cell> cells;
    };
    const Case cases[] = {
        {"3 fighters, one cell empty", 3, 3, {{0, 0, w, h}, {w, 0, w, h}, {0, h, w, h}}},
        {"4 humans", 4, 4, {{0, 0, w, h}, {w, 0, w, h}, {0, h, w, h}, {w, h, w, h}}},
        {"2 humans, 2 computers", 2, 4, {{0, 0, w, h}, {w, 0, w, h}, {0, h, w, h}, {w, h, w, h}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FreshRegistry();
        DrawScene scene(&app_draw_);
        ASSERT_EQ(scene.Load(MixedSetup(c.humans, c.count)), 1u);
        ASSERT_EQ(scene.IsSplitScreen(), 1u);
        ASSERT_EQ(scene.GetCharacterCount(), c.count);
        DrawFrame(scene);
        std::vector<CallMatch> order;
        for (const Cell& cell : c.cells) order.push_back(Viewport(cell));
        order.push_back(Viewport({0, 0, kScreenW, kScreenH}));   // the local camera back on the whole screen
        bool inOrder = true;
        size_t from = 0;
        const std::vector<host::render::Call> calls = fake_->Find(CallMatch("SetViewport"));
        for (const CallMatch& m : order) {
            while (from < calls.size() && !m.Matches(calls[from])) ++from;
            inOrder = inOrder && from < calls.size();
        }
        EXPECT_TRUE(inOrder);
        // Nothing lands in the empty cell of three.
        if (c.count == 3) {
            EXPECT_EQ(fake_->Count(Viewport({w, h, w, h})), 0u);
        }
        EXPECT_EQ(scene.GetRenderList()->GetFilter(), nullptr);
    }
}

// The glow filter's regions as each view composes it.
class RecordingHdr : public CHDRFilter {
public:
    i32 Apply(u32) override
    {
        applied.push_back({GetScreenRect1(), GetScreenRect2(), GetScreenRect3()});
        return 1;
    }
    struct Rects {
        CRect4 cell, quarter, size;
    };
    std::vector<Rects> applied;
};

std::vector<f32> Corners(const CRect4& r) { return {r.left, r.top, r.right, r.bottom}; }

TEST_F(BattleSceneDrawTest, SplitScreenComposesTheGlowIntoEachCell)
{
    RecordingHdr hdr;
    app_draw_.hdr = &hdr;
    DrawScene scene(&app_draw_);
    ASSERT_EQ(scene.Load(MixedSetup(4, 4)), 1u);
    DrawFrame(scene);
    EXPECT_EQ(scene.GetRenderList()->GetFilter(), &hdr);
    const f32 w = kScreenW / 2, h = kScreenH / 2;
    ASSERT_EQ(hdr.applied.size(), 4u);
    for (u32 i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const f32 x = f32(i % 2) * w, y = f32(i / 2) * h;
        EXPECT_EQ(Corners(hdr.applied[i].cell), (std::vector<f32>{x, y, x + w, y + h}));
        EXPECT_EQ(Corners(hdr.applied[i].quarter), (std::vector<f32>{x, y, x + w / 2, y + h / 2}));
        EXPECT_EQ(Corners(hdr.applied[i].size), (std::vector<f32>{0, 0, w, h}));
    }
    // The whole screen again for whoever draws next.
    EXPECT_EQ(Corners(hdr.GetScreenRect1()), (std::vector<f32>{0, 0, f32(kScreenW), f32(kScreenH)}));
    app_draw_.hdr = nullptr;
    EXPECT_EQ(scene.GetRenderList()->GetFilter(), nullptr);
}

TEST_F(BattleSceneDrawTest, ReplayOfANetworkBattleDrawsOneViewALocalOneSplits)
{
    auto input = std::make_unique<CInput>();
    app_draw_.input = input.get();
    {
        DrawScene scene(&app_draw_);
        CBattleSetup* setup = MixedSetup(2, 4);
        setup->recordReplay = 1;
        ASSERT_EQ(scene.Load(setup), 1u);
        for (u32 f = 0; f < 5; ++f) ASSERT_EQ(scene.Update(0), 1);
        ASSERT_EQ(scene.GetReplay()->Finish(ReplaySlotPath(folder_.Path(), 1)), 1);
    }
    // The same recording as a network battle's: its header's play type 1.
    std::string bytes;
    ASSERT_TRUE(host::kernel::ReadWholeFile(ReplaySlotPath(folder_.Path(), 1), bytes));
    const char version[4] = {char(kReplayVersion), char(kReplayVersion >> 8), char(kReplayVersion >> 16),
        char(kReplayVersion >> 24)};
    const size_t header = bytes.find(std::string(version, 4));
    ASSERT_NE(header, std::string::npos);
    bytes[header + offsetof(ReplayHeader, playType)] = 1;
    ASSERT_TRUE(host::kernel::WriteFileAtomic(ReplaySlotPath(folder_.Path(), 2), bytes.data(), bytes.size()));

    const struct {
        u32 slot, split;
    } cases[] = {{1, 1}, {2, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.slot);
        FreshRegistry();
        DrawScene scene(&app_draw_);
        CBattleSetup* setup = MixedSetup(2, 4);
        setup->replayMode = 1;
        setup->replayNumber = c.slot;
        ASSERT_EQ(scene.Load(setup), 1u);
        ASSERT_EQ(scene.IsSplitScreen(), c.split);
        DrawFrame(scene);
        EXPECT_EQ(fake_->Count(Viewport({0, 0, kScreenW / 2, kScreenH / 2})), c.split);
        EXPECT_GE(fake_->Count(Viewport({0, 0, kScreenW, kScreenH})), 1u);
        EXPECT_EQ(scene.GetDrawnEntry(), c.split ? 3u : scene.GetLocalEntry());
    }
}

TEST_F(BattleSceneDrawTest, FadeCoversTheScreenWithTheTimerAsAlpha)
{
    DrawScene scene(&app_draw_);
    ASSERT_EQ(scene.Load(CpuSetup()), 1u);
    EXPECT_EQ(scene.GetTimer(), CBattleScene::kStartTime);
    const struct {
        f32 timer;
        std::vector<u32> alphas;
    } cases[] = {{0.5f, {127}}, {1.0f, {255}}, {3.0f, {255}}, {0.0f, {}}, {-0.2f, {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.timer);
        scene.SetTimer(c.timer);
        DrawFrame(scene);
        EXPECT_EQ(FadeAlphas(), c.alphas);
    }
}

TEST_F(BattleSceneDrawTest, DashLaysThePreviousFrameOverTheViewAndEveryFrameIsCaptured)
{
    UseBasicFilter();
    DrawScene scene(&app_draw_);
    ASSERT_EQ(scene.Load(OneViewSetup()), 1u);
    scene.SetTimer(0.0f);
    const auto overlays = [&] {
        size_t n = 0;
        for (const host::render::Call& c : fake_->Find(CallMatch("DrawPrimitiveUP").With("stride", sizeof(SpriteVertex))))
            n += c.U32At(16) == 0xB4FFFFFFu;
        return n;
    };
    const struct {
        u32 action;
        size_t overlays;
    } cases[] = {{kActionNeutral, 0}, {kActionDash, 1}, {kActionSlide, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.action);
        scene.GetLocalCharacter()->GetStatus()->action = c.action;
        DrawFrame(scene);
        EXPECT_EQ(overlays(), c.overlays);
        EXPECT_EQ(fake_->Count(CallMatch("StretchRect")), 1u);
    }
}

TEST_F(BattleSceneDrawTest, ScreenshotSizeFollowsTheSettingAndTheNameTheLocalTime)
{
    UseBasicFilter();
    DrawScene scene(&app_draw_);
    ASSERT_EQ(scene.Load(CpuSetup()), 1u);
    ConfigGame& game = *app_draw_.config.GetGameSettings();
    game.screenshot = 1;
    const struct {
        u8 setting;
        u32 width, height;
    } cases[] = {{0, 640, 480}, {1, 800, 600}, {2, 1024, 768}, {3, 1280, 960}, {4, 1600, 1200}, {5, 720, 480},
        {8, 1920, 1080}, {12, 640, 480}, {255, 640, 480}};
    u32 second = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.setting));
        game.screenshotSize = c.setting;
        clock_.SetLocalTime({2026, 3, 1, 4, 5, 6, u16(second++), 0});
        ASSERT_EQ(device_->BeginScene(), 1);
        ASSERT_EQ(scene.TakeScreenshot(0), 1);
        ASSERT_EQ(device_->EndScene(), 1);
        char name[32];
        std::snprintf(name, sizeof name, "0304_0506%02u.bmp", second - 1);
        std::string bytes;
        ASSERT_TRUE(host::kernel::ReadWholeFile(app_draw_.userFolder + name, bytes)) << name;
        ASSERT_GE(bytes.size(), 26u);
        EXPECT_EQ(bytes[0], 'B');
        const auto word = [&](size_t at) { return u32(u8(bytes[at]) | u8(bytes[at + 1]) << 8 | u8(bytes[at + 2]) << 16); };
        EXPECT_EQ(word(18), c.width);
        EXPECT_EQ(word(22), c.height);
    }
    EXPECT_EQ(Bitmaps().size(), std::size(cases));
}

TEST_F(BattleSceneDrawTest, OneScreenshotPerSpellAndNoneInAReplayOrWithoutTheSetting)
{
    UseBasicFilter();
    DrawScene scene(&app_draw_);
    ASSERT_EQ(scene.Load(CpuSetup()), 1u);
    ConfigGame& game = *app_draw_.config.GetGameSettings();
    CastScreenshotSpell(scene);

    game.screenshot = 0;
    DrawFrame(scene);
    EXPECT_EQ(Bitmaps().size(), 0u) << "the setting is off";

    game.screenshot = 1;
    scene.SetReplayMode(1);
    DrawFrame(scene);
    EXPECT_EQ(Bitmaps().size(), 0u) << "a replay";

    scene.SetReplayMode(0);
    for (u32 frame = 0; frame < 3; ++frame) {
        clock_.SetLocalTime({2026, 12, 1, 7, 9, 5, u16(frame), 0});
        DrawFrame(scene);
    }
    EXPECT_EQ(Bitmaps(), std::vector<std::string>{"1207_090500.bmp"}) << "one per spell";

    // The spell ends and another begins: its own picture.
    scene.GetLocalCharacter()->GetStatus()->action = kActionNeutral;
    DrawFrame(scene);
    CastScreenshotSpell(scene);
    clock_.SetLocalTime({2026, 12, 1, 7, 9, 6, 0, 0});
    DrawFrame(scene);
    EXPECT_EQ(Bitmaps().size(), 2u);
}

TEST_F(BattleSceneDrawTest, ScreenshotSavesNothingWithoutAFolderOrAReadback)
{
    UseBasicFilter();
    DrawScene scene(&app_draw_);
    ASSERT_EQ(scene.Load(CpuSetup()), 1u);
    ASSERT_EQ(device_->BeginScene(), 1);
    app_draw_.userFolder.clear();
    EXPECT_EQ(scene.TakeScreenshot(0), 0);
    app_draw_.userFolder = folder_.Path();
    fake_->FailCall("GetRenderTargetData", 1, host::render::Result::InvalidCall);
    EXPECT_EQ(scene.TakeScreenshot(0), 0);
    ASSERT_EQ(device_->EndScene(), 1);
    EXPECT_EQ(Bitmaps().size(), 0u);
    // Without the basic filter there is no picture to take.
    app_draw_.basic = nullptr;
    EXPECT_EQ(scene.TakeScreenshot(0), 0);
}

// The HUD of each view: scaled with the screen while the view is at most
// the layout's 768 high, at its own pixel size (the layout's 1024 x 768
// measured for its anchors) on a taller view.
class SizedApp : public FakeBattleApp {
public:
    u32 GetScreenWidth() override { return width; }
    u32 GetScreenHeight() override { return height; }
    u32 width = 0, height = 0;
};

TEST_F(BattleSceneDrawTest, ConsolesScaleWithTheViewUpToTheLayoutsHeight)
{
    const struct {
        u32 width, height, humans, fighters;
        u32 fit;
        f32 scaleX, scaleY;
    } cases[] = {
        {640, 480, 1, 2, 1, 0.625f, 0.625f},
        {1024, 768, 1, 2, 1, 1.0f, 1.0f},            // exactly the layout's height
        {1920, 1080, 1, 2, 0, 1.875f, 1.40625f},
        {1920, 1080, 2, 4, 1, 0.9375f, 0.703125f},   // split: each view 540 high
        {1600, 1600, 2, 4, 0, 0.78125f, 1.0416666f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " fighters " << c.fighters);
        FreshRegistry();
        SizedApp app;
        ShareServices(app);
        app.width = c.width;
        app.height = c.height;
        CBattleScene scene(&app);
        ASSERT_EQ(scene.Load(MixedSetup(c.humans, c.fighters)), 1u);
        ASSERT_EQ(scene.GetCharacterCount(), c.fighters);
        ASSERT_EQ(scene.Update(0), 1);
        for (u32 i = 0; i < c.fighters; ++i) {
            const CBattleConsole* console = scene.GetConsole(i);
            ASSERT_NE(console, nullptr);
            EXPECT_EQ(console->GetUserWord(), 1u);
            EXPECT_EQ(console->GetFit(), c.fit);
            const CLayerState& state = console->GetSceneState();
            EXPECT_EQ(Corners(state.rect), (std::vector<f32>{0.0f, 0.0f, 1024.0f, 768.0f}));
            EXPECT_FLOAT_EQ(state.scaleX, c.scaleX);
            EXPECT_FLOAT_EQ(state.scaleY, c.scaleY);
            // What the layers are drawn with after the frame placed them.
            ASSERT_GT(console->GetLayerCount(), 0u);
            const CLayerState& fit = console->GetLayer(0)->GetFitState();
            EXPECT_FLOAT_EQ(fit.scaleX, c.fit ? c.scaleX : 1.0f);
            EXPECT_FLOAT_EQ(fit.scaleY, c.fit ? c.scaleY : 1.0f);
        }
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
