// Creation, formats, targets, viewport, frames and display modes of the
// graphics device on the fake backend. The lost-device protocol is in
// DeviceRestoreTest, the state caches in RenderStatesTest.
#include "engine/graphics/Camera.h"
#include "engine/graphics/Shader.h"
#include "engine/graphics/tests/DeviceTestSupport.h"

#include <tuple>
#include <utility>

namespace device_test {
namespace ORV_TEST_FILE_ID {

namespace {

constexpr u32 kHal = render::kDeviceHal;
constexpr u32 kRef = render::kDeviceRef;

using DeviceCreate = DeviceTest;

TEST_F(DeviceCreate, FallsBackThroughTheFourAttemptsInOrder)
{
    struct Case {
        std::vector<std::pair<u32, u32>> refused;
        u32 type, flags;
    };
    const Case cases[] = {
        {{}, kHal, 0x84},
        // Only software vertex processing.
        {{{kHal, 0x84}, {kHal, 0x44}}, kHal, 0x24},
        // Nothing on the HAL.
        {{{kHal, 0x84}, {kHal, 0x44}, {kHal, 0x24}}, kRef, 0x24},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.refused.size());
        device_.Release();
        fake_ = &render::InstallFakeRender();
        for (auto [type, flags] : c.refused) fake_->SetCreateDeviceResult(type, flags, render::Result::NotAvailable);

        ASSERT_EQ(device_.Create(&system_), 1);
        EXPECT_EQ(device_.GetDeviceType(), c.type);
        EXPECT_EQ(Fake().CreatedFlags(), c.flags);
        // Formats are checked against the type that succeeded.
        EXPECT_EQ(device_.GetColorFormat(), 22u);
    }
}

TEST_F(DeviceCreate, FailuresShowTheirBoxAndLeaveNoDevice)
{
    const struct {
        bool api, refuseAll;
        const char* box;
    } cases[] = {
        {true, true, "Direct3Dデバイスの生成に失敗しました"},
        {false, false, "Direct3Dオブジェクトの生成に失敗しました"},
    };
    for (const auto& c : cases) {
        fake_ = &render::InstallFakeRender();
        const size_t boxes = fakeWindow_->Boxes().size();
        fake_->SetApiAvailable(c.api);
        if (c.refuseAll)
            for (auto [type, flags] : {std::pair<u32, u32>{kHal, 0x84}, {kHal, 0x44}, {kHal, 0x24}, {kRef, 0x24}})
                fake_->SetCreateDeviceResult(type, flags, render::Result::NotAvailable);
        EXPECT_EQ(device_.Create(&system_), 0);
        ASSERT_EQ(fakeWindow_->Boxes().size(), boxes + 1);
        EXPECT_EQ(fakeWindow_->Boxes().back().text, c.box);
        EXPECT_EQ(GetGraphicDevice(), nullptr);
    }
    // No window: nothing is tried and nothing shown.
    fake_->SetApiAvailable(true);
    EXPECT_EQ(device_.Create(nullptr), 0);
    EXPECT_EQ(fakeWindow_->Boxes().size(), 2u);
}

TEST_F(DeviceCreate, LearnsTheAdapterAndItsFormats)
{
    ASSERT_EQ(device_.Create(&system_), 1);

    // The fake shows X8R8G8B8, R5G6B5 and X1R5G5B5; a display format is its
    // own back-buffer format, so A8R8G8B8 is not taken.
    const u32 supported[] = {0, 22, 0, 0, 23, 24, 0, 0, 0};
    for (u32 i = 0; i < 9; ++i) EXPECT_EQ(device_.GetBackBufferFormat(i), supported[i]) << i;
    EXPECT_EQ(device_.GetColorFormat(), 22u);
    EXPECT_EQ(device_.SetFullScreenFormat(21), 0);

    const u32 textures[19] = {0, 0, 21, 22, 32, 33};
    for (u32 i = 0; i < 19; ++i) EXPECT_EQ(device_.GetTextureFormat(i), textures[i]) << i;

    // Full-screen modes of the colour format.
    EXPECT_EQ(device_.GetDisplayModes()[2], (render::DisplayMode{1024, 768, 60, 22}));
}

TEST_F(DeviceCreate, StartsWithAnEmptyFrameThenRegistersAndMakesTheDefaultShader)
{
    ASSERT_EQ(device_.Create(&system_), 1);
    // The first frame shown is black, not whatever the buffer held.
    EXPECT_EQ(render::FakeRender::ReadPixel(device_.GetBackBuffer(), 1023, 767), 0xFF000000u);
    EXPECT_EQ(fake_->Count("Present"), 1u);
    EXPECT_EQ(GetGraphicDevice(), &device_);
    ASSERT_NE(GetDefaultShader(), nullptr);
    EXPECT_STREQ(GetDefaultShader()->GetName(), "Default.shd");

    device_.Release();
    EXPECT_EQ(GetGraphicDevice(), nullptr);
    EXPECT_EQ(GetDefaultShader(), nullptr);
    EXPECT_EQ(fake_->LastDevice(), nullptr);   // the last reference went
}

TEST_F(DeviceCreate, NoDefaultShaderWithoutShaderVersions)
{
    const struct {
        u32 vs, ps;
        bool shader;
    } cases[] = {
        {0xFFFE0101, 0xFFFF0101, true},
        {0xFFFE0100, 0xFFFF0300, false},
        {0xFFFE0300, 0, false},
    };
    for (const auto& c : cases) {
        device_.Release();
        fake_ = &render::InstallFakeRender();
        render::Caps caps;
        caps.maxTextureWidth = caps.maxTextureHeight = 4096;
        caps.maxStreams = 1;
        caps.vertexShaderVersion = c.vs;
        caps.pixelShaderVersion = c.ps;
        fake_->SetCaps(caps);
        ASSERT_EQ(device_.Create(&system_), 1);
        EXPECT_EQ(GetDefaultShader() != nullptr, c.shader) << std::hex << c.vs << ' ' << c.ps;
    }
}

// ---------------------------------------------------------------- viewport and clear

TEST_F(DeviceTest, ViewportZeroSizesAreTheRestOfTheBackBuffer)
{
    CreateDevice();
    const render::Viewport none{7, 7, 7, 7, 0, 1};
    const struct {
        u32 x, y, width, height;
        render::Viewport kept;  // none: refused, the last one stays
    } cases[] = {
        {0, 0, 0, 0, {0, 0, 1024, 768, 0, 1}},
        {512, 0, 0, 384, {512, 0, 512, 384, 0, 1}},
        {1023, 767, 0, 0, {1023, 767, 1, 1, 0, 1}},
        {0, 768, 0, 0, none},
        {1000, 700, 24, 68, {1000, 700, 24, 68, 0, 1}},
        {1000, 700, 25, 68, none},
    };
    render::Viewport last{};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << ',' << c.y << ' ' << c.width << 'x' << c.height);
        const bool refused = c.kept == none;
        EXPECT_EQ(device_.SetViewport(c.x, c.y, c.width, c.height), refused ? 0 : 1);
        if (!refused) last = c.kept;
        EXPECT_EQ(Fake().CurrentViewport(), last);
        EXPECT_EQ(device_.GetViewportOrigin().y, f32(last.y));
    }
}

TEST_F(DeviceTest, ClearCoversTheCurrentViewportOnly)
{
    CreateDevice();
    render::Surface* backBuffer = device_.GetBackBuffer();
    ASSERT_EQ(device_.GetDevice()->Clear(render::kClearTarget, 0xFFFF0000u, 1.0f, 0), render::Result::Ok);
    // The right half of a split screen.
    ASSERT_EQ(device_.SetViewport(512, 0, 512, 0), 1);
    device_.Clear(render::kClearTarget | render::kClearZBuffer);
    EXPECT_EQ(render::FakeRender::ReadPixel(backBuffer, 511, 767), 0xFFFF0000u);
    EXPECT_EQ(render::FakeRender::ReadPixel(backBuffer, 512, 0), 0xFF000000u);
    EXPECT_EQ(render::FakeRender::ReadDepth(device_.GetDepthSurface(), 700, 10), 1.0f);

    // BeginScene clears the same way.
    ASSERT_EQ(device_.GetDevice()->Clear(render::kClearTarget, 0xFF00FF00u, 1.0f, 0), render::Result::Ok);
    ASSERT_EQ(device_.BeginScene(), 1);
    EXPECT_EQ(render::FakeRender::ReadPixel(backBuffer, 100, 100), 0xFFFF0000u);
    EXPECT_EQ(render::FakeRender::ReadPixel(backBuffer, 600, 100), 0xFF000000u);
    EXPECT_EQ(device_.EndScene(), 1);
}

// ---------------------------------------------------------------- targets

TEST_F(DeviceTest, TargetsSwitchAndRestore)
{
    CreateDevice();
    ASSERT_EQ(device_.SetViewport(512, 0, 512, 0), 1);
    render::Ref<render::Texture> texture;
    ASSERT_EQ(device_.GetDevice()->CreateTexture(256, 128, 1, render::kUsageRenderTarget, device_.GetColorFormat(),
                                                 render::kPoolDefault, texture.Put()),
              render::Result::Ok);
    render::Ref<render::Surface> target;
    ASSERT_EQ(texture->GetSurfaceLevel(0, target.Put()), render::Result::Ok);

    // Without a camera a new target is viewed whole: 2D drawing must not
    // keep offsetting by the old split-screen origin.
    ASSERT_EQ(device_.SetColorTarget(target.Get()), 1);
    EXPECT_EQ(Fake().CurrentRenderTarget(), target.Get());
    EXPECT_EQ(device_.GetViewport(), (render::Viewport{0, 0, 256, 128, 0, 1}));
    EXPECT_EQ(device_.GetViewportOrigin().x, 0.0f);
    // With one, the camera applies itself to it.
    CCamera camera;
    camera.SetViewport(0, 0, 64, 32);
    ASSERT_EQ(camera.Apply(), 1);
    ASSERT_EQ(device_.SetColorTarget(target.Get()), 1);
    EXPECT_EQ(Fake().CurrentViewport(), (render::Viewport{0, 0, 64, 32, 0, 1}));
    EXPECT_EQ(device_.RestoreColorTarget(), 1);
    EXPECT_EQ(Fake().CurrentRenderTarget(), Fake().BackBuffer());

    // Depth: none at all, then back to the device's own.
    EXPECT_EQ(device_.SetDepthTarget(nullptr), 1);
    EXPECT_EQ(Fake().CurrentDepthSurface(), nullptr);
    EXPECT_EQ(device_.RestoreDepthTarget(), 1);
    EXPECT_EQ(Fake().CurrentDepthSurface(), Fake().AutoDepthSurface());

    // The device refuses what is no render target.
    EXPECT_EQ(device_.SetColorTarget(nullptr), 0);
    EXPECT_EQ(device_.GetColorTarget(), device_.GetBackBuffer());
}

TEST_F(DeviceTest, ScreenshotReadbackMatchesTheTargetInSystemMemory)
{
    CreateDevice();
    // The screenshot's picture target: 2048 x 2048 in the colour format.
    render::Ref<render::Texture> texture;
    ASSERT_EQ(device_.GetDevice()->CreateTexture(2048, 2048, 1, render::kUsageRenderTarget, device_.GetColorFormat(),
                                                 render::kPoolDefault, texture.Put()),
              render::Result::Ok);
    render::Ref<render::Surface> target;
    ASSERT_EQ(texture->GetSurfaceLevel(0, target.Put()), render::Result::Ok);
    ASSERT_EQ(device_.SetColorTarget(target.Get()), 1);
    device_.GetDevice()->Clear(render::kClearTarget, 0xFF336699u, 1.0f, 0);
    ASSERT_EQ(device_.RestoreColorTarget(), 1);

    render::Ref<render::Texture> readback = device_.CreateReadbackTexture(target.Get());
    ASSERT_TRUE(readback);
    render::Ref<render::Surface> memory;
    ASSERT_EQ(readback->GetSurfaceLevel(0, memory.Put()), render::Result::Ok);
    ASSERT_EQ(device_.GetRenderTargetData(target.Get(), memory.Get()), 1);
    EXPECT_EQ(render::FakeRender::ReadPixel(memory.Get(), 2047, 2047), 0xFF336699u);
}

// ---------------------------------------------------------------- display modes

TEST_F(DeviceTest, ChangeDisplayModeFallsBackToAWindow)
{
    CreateDevice();
    struct Case {
        i32 windowed, width, height;
        i32 becomesWindowed;
        u32 style;
    };
    const Case cases[] = {
        {0, 1024, 768, 0, 0x90000000},   // listed: full screen
        {0, 1000, 700, 1, 0x00CA0000},   // not listed: a window of that size
        {1, 800, 600, 1, 0x00CA0000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.windowed << ' ' << c.width << 'x' << c.height);
        fake_->ClearLog();
        received_.clear();
        ASSERT_EQ(device_.ChangeDisplayMode(c.windowed, c.width, c.height), 1);
        EXPECT_EQ(device_.IsWindowed(), c.becomesWindowed);
        EXPECT_EQ(win::GetWindowStyle(system_.GetWindowHandle()) & ~win::kWsVisible, c.style & ~win::kWsVisible);
        EXPECT_EQ(win::GetClientRect(system_.GetWindowHandle()), (win::Rect{0, 0, c.width, c.height}));

        // The forced reset went through the whole protocol.
        EXPECT_EQ(Messages(), (std::vector<u32>{0x401, 0x402}));
        const render::PresentParams p = Fake().Params();
        EXPECT_EQ(std::tie(p.windowed, p.backBufferWidth, p.backBufferHeight, p.backBufferFormat),
                  std::make_tuple(c.becomesWindowed != 0, u32(c.width), u32(c.height), 22u));
        EXPECT_EQ(device_.GetViewport(), (render::Viewport{0, 0, u32(c.width), u32(c.height), 0, 1}));
    }
}

TEST_F(DeviceTest, ChangeDisplayModeReportsAFailedReset)
{
    CreateDevice();
    fake_->FailCall("Reset", 1, render::Result::InvalidCall, 2);
    EXPECT_EQ(device_.ChangeDisplayMode(0, 1024, 768), 0);
    EXPECT_EQ(fake_->Count("Reset"), 2u);
    EXPECT_EQ(Messages(), (std::vector<u32>{0x401}));
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace device_test
