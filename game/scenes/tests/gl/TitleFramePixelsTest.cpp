// The game on real OpenGL in a 16:9 window (1280 x 720), run from its
// start-up screen to the title and read back. The frame is written to the
// build folder as TitleFrame.png to look at; the test checks flat regions:
// the side bars' squares, the background layer, and the selected item's
// label moved left of its place, baring its lit mark.
#include "engine/core/Scene.h"
#include "engine/platform/FrameTime.h"
#include "game/battle/scene/tests/gl/Png.h"
#include "game/scenes/BeginLoading.h"
#include "game/scenes/GameApp.h"
#include "game/scenes/MenuScene.h"
#include "game/scenes/testdata/SceneData.h"
#include "game/scenes/tests/gl/GlGame.h"
#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace title_frame_pixels_test {

namespace ORV_TEST_FILE_ID {

namespace {

constexpr u32 kWidth = 1280, kHeight = 720;
constexpr u32 kSizeIndex = 7;   // 1280 x 720

class TitleFramePixels : public gl_test::GlGame {
protected:
    void SetUp() override
    {
        // A 16:9 size and no opening movie, so the title comes soon.
        ASSERT_TRUE(Start(kSizeIndex, [](CSaveConfig& config) { config.GetGraphicsSettings()->movieDisplay = 0; }));
        // The offscreen driver's desktop is smaller than the window.
        ASSERT_EQ(app_->GetClientWidth(), i32(kWidth)) << "needs a desktop of 1280 x 720 or more: ctest runs it "
                                                          "under Xvfb with SDL_VIDEODRIVER=x11";
        ASSERT_EQ(app_->GetClientHeight(), i32(kHeight));
    }

    void Frame()
    {
        GlGame::Frame(17);
        for (u8 key : pressed_) input_.SetKey(key, false);
        pressed_.clear();
    }

    std::string Boxes() const
    {
        std::string text;
        for (const auto& box : boxes_->Boxes()) text += "\n  box: " + host::kernel::Cp932ToUtf8(box.text);
        return text;
    }

    std::string Scene() const { return app_->GetScene() ? app_->GetScene()->GetClassName() : ""; }

    void Press(u32 code)
    {
        const u8 key = u8(app_->GetSaveConfig()->GetKeyConfigSection()->keyboard[code - 8]);
        input_.SetKey(key, true);
        pressed_.push_back(key);
    }

    std::vector<u8> pressed_;
};

TEST_F(TitleFramePixels, TheTitleInAWideWindowHasSideBarsAndItsSelectedLabelMovedLeft)
{
    // Start-up: wait for the loader (real time), press for the prompt.
    for (u32 i = 0; i < 3000 && Scene() == "CBeginLoading"; ++i) {
        host::kernel::Event never(true, false);
        never.Wait(2);
        if (i % 2) Press(menu::kDecide);   // down one frame, up the next
        Frame();
    }
    const auto* begin = dynamic_cast<const CBeginLoading*>(app_->GetScene());
    ASSERT_EQ(begin, nullptr) << "start-up still in state " << begin->GetLoadState() << Boxes();
    for (u32 i = 0; i < 600 && Scene() != "CTitleScene"; ++i) Frame();
    ASSERT_EQ(Scene(), "CTitleScene") << Boxes();
    for (u32 i = 0; i < 90; ++i) Frame();   // the curtain lifts, the menu fades in

    const std::vector<u32> frame = ReadFrame(kWidth, kHeight);
    const std::string png = gl_test::Png(frame, kWidth, kHeight);
    const std::string out = std::string(ORV_TEST_BUILD_DIR) + "/TitleFrame.png";
    ASSERT_TRUE(host::kernel::WriteFileAtomic(out, png.data(), png.size()));
    const auto at = [&](f32 x, f32 y) { return frame[u32(y) * kWidth + u32(x)] & 0xFFFFFFu; };

    // The side bars: 16-pixel squares, dark and grey in turn, left of the
    // 4:3 area (960 wide, from 160) and right of it.
    const f32 margin = (kWidth - kHeight / 0.75f) * 0.5f;
    for (const auto& [x, y, colour] : {std::tuple{8.0f, 8.0f, 0x000000u}, {24.0f, 8.0f, 0x484848u},
             {8.0f, 24.0f, 0x484848u}, {24.0f, 24.0f, 0x000000u}, {kWidth - margin + 8, 8.0f, 0x000000u},
             {kWidth - margin + 24, 8.0f, 0x484848u}}) {
        EXPECT_EQ(at(x, y), colour) << x << ", " << y << "; see " << out;
    }

    // Each layer shows its own cell's colour; the title gives them all the
    // background texture.
    const scene_data::CSceneDataSet data = scene_data::BuildSceneData();
    const std::vector<std::string>& layers = data.layouts.at("Scene\\TitleSceneM.sce");
    const f32 s = kHeight / 768.0f;
    // A spot of each item's fill, clear of its frame and words; the
    // background behind them all.
    const auto item = [&](size_t i, f32 dx) {
        return at(margin + (scene_data::kTitleItemLeft + dx + 3.0f) * s,
                  (scene_data::kTitleItemTop + scene_data::kTitleItemStep * f32(i) + 3.0f) * s);
    };
    const auto index = [&](const char* name) {
        return size_t(std::find(layers.begin(), layers.end(), name) - layers.begin());
    };
    const auto cellColour = [](size_t i) { return scene_data::CellColour(i) & 0xFFFFFFu; };
    const size_t base = index("Base"), story = index("Story"), adventure = index("Adventure");
    ASSERT_LT(story, layers.size());
    EXPECT_EQ(at(margin + 20.0f * s, 700.0f * s), scene_data::PlainColour(base) & 0xFFFFFFu) << "background; see " << out;
    // Story is selected: its label is drawn 68 layout pixels to the left;
    // Adventure stays in place.
    EXPECT_EQ(item(0, -68.0f), cellColour(story)) << "selected label; see " << out;
    EXPECT_EQ(item(1, 0), cellColour(adventure)) << "other label; see " << out;
    // Where the selected label has moved from, its lit mark shows in a
    // colour of its own; the other labels cover theirs.
    const auto mark = [&](size_t i) {
        return at(margin + (scene_data::kTitleMarkLeft + 50.0f) * s,
                  (scene_data::kTitleItemTop + scene_data::kTitleItemStep * f32(i) + 20.0f) * s);
    };
    EXPECT_EQ(mark(0), 0xFF9A10u) << "the selected item's mark; see " << out;
    EXPECT_EQ(mark(1), cellColour(adventure)) << "another item's mark covered; see " << out;
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID

}  // namespace title_frame_pixels_test
