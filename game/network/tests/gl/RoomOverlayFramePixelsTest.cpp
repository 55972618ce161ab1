// The room screen of a lobby room, its host alone, on real OpenGL at the
// layout's own size (1024 x 768), with the lobby overlay half in: F1, then
// 0.2 s of its 0.4 s slide. The frame is written to the build folder as
// RoomOverlayFrame.png to look at; the test checks the overlay's tab strip
// where half the slide puts it, and the room's layers above it.
#include "game/battle/scene/tests/gl/Png.h"
#include "game/network/LobbyClient.h"
#include "game/network/LobbyRoom.h"
#include "game/network/LobbyScreenSet.h"
#include "game/network/tests/LobbyDoubles.h"
#include "game/network/tests/LobbySceneHarness.h"
#include "game/network/tests/gl/LobbyGlRoom.h"
#include "game/scenes/GameApp.h"
#include "game/scenes/MenuScene.h"
#include "game/scenes/testdata/LobbyScreensData.h"
#include "game/scenes/testdata/SceneData.h"
#include "game/scenes/tests/MenuRun.h"
#include "game/scenes/tests/gl/GlGame.h"
#include "host/kernel/Kernel.h"
#include "host/text/FakeText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

using namespace lobby_gl_test;

constexpr u32 kFrameMs = 20;   // ten frames make half the slide

class RoomOverlayFrame : public LobbyGlRoom {
protected:
    void SetUp() override
    {
        host::text::InstallFakeGlyphs();   // glyph boxes: no system font
        ASSERT_NO_FATAL_FAILURE(StartClient());
    }

    void TearDown() override
    {
        LobbyGlRoom::TearDown();
        host::text::UseRealGlyphs();
    }

    void Frame() { GlGame::Frame(kFrameMs); }
};

TEST_F(RoomOverlayFrame, HalfTheSlideBringsTheTabHalfwayUpOverTheRoom)
{
    CLobbyRoomScene* room = HostRoom(1);
    ASSERT_NE(room, nullptr);
    client_.SetScreen(u32(LobbyLayer::kRoom));
    Frame();
    input_.SetKey(u8(CLobbyRoomScene::kF1Key), true);
    Frame();
    input_.SetKey(u8(CLobbyRoomScene::kF1Key), false);
    for (u32 i = 1; i < 10; ++i) Frame();
    ASSERT_TRUE(room->OverlayShown());
    ASSERT_NEAR(room->GetFade(), CLobbyRoomScene::kOverlaySeconds / 2, 1e-4f);

    const std::vector<u32> frame = ReadFrame(kWidth, kHeight);
    const std::string png = gl_test::Png(frame, kWidth, kHeight);
    const std::string out = std::string(ORV_TEST_BUILD_DIR) + "/RoomOverlayFrame.png";
    ASSERT_TRUE(host::kernel::WriteFileAtomic(out, png.data(), png.size()));
    const auto at = [&](u32 x, u32 y) { return frame[y * kWidth + x] & 0xFFFFFFu; };

    // The room's layers where the data set puts them.
    const std::vector<std::string> layers = scene_data::LobbyRoomLayers();
    const auto index = [&](const char* name) {
        return u32(std::find(layers.begin(), layers.end(), name) - layers.begin());
    };
    // The room shares its texture with the other network screens: layer i
    // shows cell base + i.
    const size_t base = scene_data::CellBase(layers);
    const auto isCell = [&](u32 colour, u32 i) {
        return colour == (scene_data::CellColour(base + i) & 0xFFFFFFu) ||
               colour == (scene_data::PlainColour(base + i) & 0xFFFFFFu);
    };
    // The base's sheet between its two headings, the member list's focus
    // frame lit at its edge, dark inside.
    EXPECT_EQ(at(500, 52), 0xD8DCE4u) << "Base; see " << out;
    const scene_data::LayerPanel& players = scene_data::kRoomPlayerFrame;
    const u32 lit = at(u32(players.x) + 98, u32(players.y) + 4);
    EXPECT_TRUE((lit >> 16) > 0xB0 && (lit & 0xFF) < 0x40) << "Select2 " << std::hex << lit << "; see " << out;
    EXPECT_EQ(at(u32(players.x) + 40, u32(players.y) + 200), 0x182030u) << "Select2; see " << out;
    // Half in: the hint tab of the hidden overlay is gone.
    EXPECT_FALSE(isCell(at(851, 27), index("tab_op"))) << "see " << out;

    // The tab: its dark screen stretched across the window, risen by half
    // of its 650-pixel way; its fill shows along its top, above the lobby's
    // panels.
    const scene_data::LayerPanel& tab = scene_data::kRoomTab;
    const f32 top = tab.y - 650.0f / 2;
    const u32 tabAt = u32(top) + 8;
    // (The texture's block compression moves a channel by a few steps.)
    const auto nearTab = [](u32 colour) {
        for (u32 shift : {0u, 8u, 16u})
            if (std::abs(i32((colour >> shift) & 0xFF) - i32((scene_data::kRoomTabColour >> shift) & 0xFF)) > 6)
                return false;
        return true;
    };
    for (u32 x : {200u, 512u, 820u})
        EXPECT_TRUE(nearTab(at(x, tabAt))) << x << " " << std::hex << at(x, tabAt) << "; see " << out;
    // Its top edge, the first row down the middle column that is not the
    // background under the base's headings.
    const u32 empty = at(512, 120);
    u32 edge = 120;
    while (edge < kHeight && at(512, edge) == empty) ++edge;
    EXPECT_NEAR(f32(edge), top, 1.0f) << "see " << out;
    EXPECT_FALSE(nearTab(empty));
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
