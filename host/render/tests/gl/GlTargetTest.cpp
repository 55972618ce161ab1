// Targets on real OpenGL: row order through a render-target texture and the
// back buffer, clears limited to the viewport, copies, readback and formats.
#include "GlTestSupport.h"
#include "host/render/tests/ResetRules.h"

#include <SDL.h>

#include <cstdlib>
#include <string>

namespace host::render::testing {
namespace ORV_TEST_FILE_ID {

namespace {

// Any flip on the way (drawing into the texture, sampling it, reading the
// back buffer) moves the red square away from the top-left corner.
TEST_F(GlTest, RedSquareStaysTopLeftThroughATargetTextureAndTheBackBuffer) {
    Ref<Texture> target = MakeTarget(64, 64);
    Ref<Surface> surface = Level0(target.Get());
    ASSERT_EQ(device->BeginScene(), Result::Ok);
    ASSERT_EQ(device->SetRenderTarget(0, surface.Get()), Result::Ok);
    ASSERT_EQ(device->Clear(kClearTarget, kBlack, 1.0f, 0), Result::Ok);
    ASSERT_EQ(Fill(0, 0, 16, 16, kRed), Result::Ok);
    ASSERT_EQ(device->SetRenderTarget(0, backBuffer.Get()), Result::Ok);
    ASSERT_EQ(device->Clear(kClearTarget | kClearZBuffer, kBlack, 1.0f, 0), Result::Ok);
    ASSERT_EQ(device->SetTexture(0, target.Get()), Result::Ok);
    ASSERT_EQ(Sprite(0, 0, 64, 64), Result::Ok);
    ASSERT_EQ(device->EndScene(), Result::Ok);

    const std::vector<uint32_t> pixels = Pixels(backBuffer.Get());
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth; ++x) {
            const uint32_t want = x < 16 && y < 16 ? kRed : kBlack;
            ASSERT_EQ(Hex{pixels[y * kWidth + x]}.v, want) << x << "," << y;
        }
    EXPECT_EQ(Hex{Pixel(surface.Get(), 3, 3)}.v, kRed);
    EXPECT_EQ(Hex{Pixel(surface.Get(), 3, 60)}.v, kBlack);
    EXPECT_EQ(device->Present(), Result::Ok);
}

TEST_F(GlTest, ClearCoversTheViewportWhateverTheWriteMasks) {
    ASSERT_EQ(device->Clear(kClearTarget | kClearZBuffer | kClearStencil, kBlue, 1.0f, 0), Result::Ok);
    ASSERT_EQ(device->SetRenderState(kRsColorWriteEnable, 0), Result::Ok);
    ASSERT_EQ(device->SetRenderState(kRsZWriteEnable, 0), Result::Ok);
    ASSERT_EQ(device->SetRenderState(kRsStencilWriteMask, 0), Result::Ok);
    ASSERT_EQ(device->SetViewport({32, 16, 40, 20, 0.0f, 1.0f}), Result::Ok);
    ASSERT_EQ(device->Clear(kClearTarget, kRed, 1.0f, 0), Result::Ok);
    struct Case {
        int32_t x, y;
        uint32_t want;
    };
    const Case cases[] = {{32, 16, kRed}, {71, 35, kRed}, {50, 25, kRed}, {31, 16, kBlue},
                          {72, 35, kBlue}, {32, 15, kBlue}, {32, 36, kBlue}, {0, 0, kBlue}};
    for (const Case& c : cases) EXPECT_EQ(Hex{Pixel(backBuffer.Get(), c.x, c.y)}.v, c.want) << c.x << "," << c.y;
}

TEST_F(GlTest, StretchRectCopiesRegionsAndScalesWithPointSampling) {
    Ref<Texture> source = MakeTarget(8, 8);
    ASSERT_EQ(FillTexture(source.Get(), kGreen), Result::Ok);
    ASSERT_EQ(device->Clear(kClearTarget, kBlack, 1.0f, 0), Result::Ok);
    Ref<Surface> s = Level0(source.Get());
    const Rect from{0, 0, 4, 4}, to{10, 20, 18, 28};
    ASSERT_EQ(device->StretchRect(s.Get(), &from, backBuffer.Get(), &to, kFilterPoint), Result::Ok);
    EXPECT_EQ(Hex{Pixel(backBuffer.Get(), 10, 20)}.v, kGreen);
    EXPECT_EQ(Hex{Pixel(backBuffer.Get(), 17, 27)}.v, kGreen);
    EXPECT_EQ(Hex{Pixel(backBuffer.Get(), 18, 27)}.v, kBlack);
    EXPECT_EQ(Hex{Pixel(backBuffer.Get(), 10, 19)}.v, kBlack);
    // A rect outside either surface, or a copy onto itself, is refused.
    const Rect outside{0, 0, 9, 9};
    EXPECT_EQ(device->StretchRect(s.Get(), &outside, backBuffer.Get(), nullptr, kFilterPoint), Result::InvalidCall);
    EXPECT_EQ(device->StretchRect(s.Get(), nullptr, s.Get(), nullptr, kFilterPoint), Result::InvalidCall);
}

// The screenshot path: the target's data into system memory, top row first.
TEST_F(GlTest, GetRenderTargetDataFillsASystemMemoryTextureTopRowFirst) {
    ASSERT_EQ(device->Clear(kClearTarget, kBlue, 1.0f, 0), Result::Ok);
    ASSERT_EQ(device->SetViewport({0, 0, kWidth, 1, 0.0f, 1.0f}), Result::Ok);
    ASSERT_EQ(device->Clear(kClearTarget, kRed, 1.0f, 0), Result::Ok);
    Ref<Texture> copy;
    ASSERT_EQ(device->CreateTexture(kWidth, kHeight, 1, 0, kFormatX8R8G8B8, kPoolSystemMem, copy.Put()), Result::Ok);
    Ref<Surface> dst = Level0(copy.Get());
    ASSERT_EQ(device->GetRenderTargetData(backBuffer.Get(), dst.Get()), Result::Ok);
    EXPECT_EQ(Hex{Pixel(dst.Get(), 5, 0)}.v, kRed);
    EXPECT_EQ(Hex{Pixel(dst.Get(), 5, 1)}.v, kBlue);
    LockedRect r;
    ASSERT_EQ(copy->LockRect(0, r, nullptr, kLockReadOnly), Result::Ok);
    const auto* row0 = static_cast<const uint8_t*>(r.bits);
    EXPECT_EQ(row0[0], 0x00);   // B, G, R, A in memory
    EXPECT_EQ(row0[2], 0xFF);
    EXPECT_EQ(row0[3], 0xFF);
    ASSERT_EQ(copy->UnlockRect(0), Result::Ok);

    Ref<Texture> small;
    ASSERT_EQ(device->CreateTexture(16, 16, 1, 0, kFormatX8R8G8B8, kPoolSystemMem, small.Put()), Result::Ok);
    EXPECT_EQ(device->GetRenderTargetData(backBuffer.Get(), Level0(small.Get()).Get()), Result::InvalidCall);
}

// A target without alpha samples as opaque even when cleared transparent.
TEST_F(GlTest, X8TargetIsSampledWithAlphaOne) {
    Ref<Texture> target = MakeTarget(16, 16, kFormatX8R8G8B8);
    Ref<Surface> surface = Level0(target.Get());
    ASSERT_EQ(device->BeginScene(), Result::Ok);
    ASSERT_EQ(device->SetRenderTarget(0, surface.Get()), Result::Ok);
    ASSERT_EQ(device->Clear(kClearTarget, 0x00FF0000, 1.0f, 0), Result::Ok);
    ASSERT_EQ(device->SetRenderTarget(0, backBuffer.Get()), Result::Ok);
    ASSERT_EQ(device->Clear(kClearTarget, kBlue, 1.0f, 0), Result::Ok);
    SetBlend(kBlendSrcAlpha, kBlendInvSrcAlpha);
    ASSERT_EQ(device->SetTexture(0, target.Get()), Result::Ok);
    ASSERT_EQ(Sprite(0, 0, 16, 16), Result::Ok);
    ASSERT_EQ(device->EndScene(), Result::Ok);
    EXPECT_EQ(Hex{Pixel(backBuffer.Get(), 8, 8)}.v, kRed);
    EXPECT_EQ(Hex{Pixel(surface.Get(), 8, 8)}.v, kRed);   // read back opaque too
}

// Whatever an X8 surface stores as alpha, it reads as 1: when sampled,
// copied into a target with alpha, and as a destination factor.
TEST_F(GlTest, X8AlphaIsOneWhenCopiedAndWhenBlendedWith) {
    Ref<Texture> x8 = MakeTarget(8, 8, kFormatX8R8G8B8), a8 = MakeTarget(8, 8);
    Ref<Surface> x8Surface = Level0(x8.Get()), a8Surface = Level0(a8.Get());
    ASSERT_EQ(device->BeginScene(), Result::Ok);
    ASSERT_EQ(device->SetRenderTarget(0, x8Surface.Get()), Result::Ok);
    ASSERT_EQ(Fill(0, 0, 8, 8, 0x00FF0000), Result::Ok);    // alpha 0 written
    constexpr uint32_t kDestAlpha = 7;   // the engine never blends with it; D3D9 has it
    SetBlend(kDestAlpha, kBlendZero);
    ASSERT_EQ(Fill(0, 0, 4, 8, kGreen), Result::Ok);        // green times 1
    ASSERT_EQ(device->SetRenderState(kRsAlphaBlendEnable, 0), Result::Ok);
    ASSERT_EQ(device->EndScene(), Result::Ok);
    ASSERT_EQ(device->StretchRect(x8Surface.Get(), nullptr, a8Surface.Get(), nullptr, kFilterPoint), Result::Ok);
    EXPECT_EQ(Hex{Pixel(x8Surface.Get(), 1, 1)}.v, kGreen);
    EXPECT_EQ(Hex{Pixel(x8Surface.Get(), 6, 1)}.v, kRed);
    EXPECT_EQ(Hex{Pixel(a8Surface.Get(), 6, 1)}.v, kRed);   // alpha 0xFF, not 0
}

TEST_F(GlTest, ResetIsRefusedWhileADefaultPoolResourceOrABackBufferReferenceLives) {
    backBuffer.Reset();
    PresentParams p;
    p.window = window;
    p.backBufferWidth = kWidth;
    p.backBufferHeight = kHeight;
    ExpectResetRefusedWhileBlocked(device.Get(), p);
}

TEST_F(GlTest, ResetResizesTheBackBufferAndRestoresTheDefaults) {
    ASSERT_EQ(device->SetRenderState(kRsZWriteEnable, 0), Result::Ok);
    backBuffer.Reset();
    PresentParams p;
    p.window = window;
    p.backBufferWidth = 40;
    p.backBufferHeight = 30;
    ASSERT_EQ(device->Reset(p), Result::Ok);
    uint32_t z = 0;
    ASSERT_EQ(device->GetRenderState(kRsZWriteEnable, z), Result::Ok);
    EXPECT_EQ(z, 1u);
    ASSERT_EQ(device->GetRenderTarget(0, backBuffer.Put()), Result::Ok);
    SurfaceDesc d;
    ASSERT_EQ(backBuffer->GetDesc(d), Result::Ok);
    EXPECT_EQ(d.width, 40u);
    EXPECT_EQ(d.height, 30u);
    Viewport v;
    ASSERT_EQ(device->GetViewport(v), Result::Ok);
    EXPECT_EQ(v, (Viewport{0, 0, 40, 30, 0.0f, 1.0f}));
    ASSERT_EQ(device->Clear(kClearTarget, kGreen, 1.0f, 0), Result::Ok);
    EXPECT_EQ(Hex{Pixel(backBuffer.Get(), 39, 29)}.v, kGreen);
    EXPECT_EQ(device->Present(), Result::Ok);
}

// Full screen is the desktop's own mode; the back buffer is scaled into it
// with its shape kept, and a Reset goes back to a window.
TEST_F(GlTest, FullScreenPresentsTheBackBufferScaledAndResetReturnsToAWindow) {
    backBuffer.Reset();
    device.Reset();
    PresentParams p;
    p.window = window;
    p.windowed = false;
    p.backBufferWidth = 320;
    p.backBufferHeight = 200;
    p.backBufferFormat = kFormatX8R8G8B8;
    Ref<Device> full;
    ASSERT_EQ(api->CreateDevice(0, kDeviceHal, window, kCreateHardwareVertexProcessing, p, full.Put()), Result::Ok);
    DisplayMode mode;
    ASSERT_EQ(full->GetDisplayMode(mode), Result::Ok);
    EXPECT_EQ(mode.width, 320u);
    EXPECT_EQ(mode.height, 200u);
    ASSERT_EQ(full->Clear(kClearTarget, kRed, 1.0f, 0), Result::Ok);
    EXPECT_EQ(full->Present(), Result::Ok);
    p.windowed = true;
    p.backBufferWidth = p.backBufferHeight = 0;   // the client area
    ASSERT_EQ(full->Reset(p), Result::Ok);
    EXPECT_GT(p.backBufferWidth, 0u);
    ASSERT_EQ(full->Clear(kClearTarget, kGreen, 1.0f, 0), Result::Ok);
    EXPECT_EQ(full->Present(), Result::Ok);
}

TEST_F(GlTest, SimulatedLossAnswersLostThenNotResetUntilAReset) {
    gl->SimulateLoss(1);
    EXPECT_EQ(device->TestCooperativeLevel(), Result::DeviceLost);
    EXPECT_EQ(device->Present(), Result::DeviceLost);
    EXPECT_EQ(device->TestCooperativeLevel(), Result::DeviceNotReset);
    backBuffer.Reset();
    PresentParams p;
    p.window = window;
    p.backBufferWidth = kWidth;
    p.backBufferHeight = kHeight;
    ASSERT_EQ(device->Reset(p), Result::Ok);
    EXPECT_EQ(device->TestCooperativeLevel(), Result::Ok);
    EXPECT_EQ(device->Present(), Result::Ok);
}

// Without a display the real backend gives no Api, as Direct3D gives none
// without an adapter; the caller reports it.
TEST(GlBackend, NoApiWhenSdlVideoCannotStart) {
    if (SDL_WasInit(SDL_INIT_VIDEO)) GTEST_SKIP() << "SDL video is already running in this process";
    const char* old = std::getenv("SDL_VIDEODRIVER");
    const std::string saved = old ? old : "";
    setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
    InstallBackend(nullptr);
    EXPECT_FALSE(CreateApi());
    if (old)
        setenv("SDL_VIDEODRIVER", saved.c_str(), 1);
    else
        unsetenv("SDL_VIDEODRIVER");
    EXPECT_TRUE(CreateApi());
}

TEST_F(GlTest, AdapterAndCapsDescribeTheContext) {
    AdapterIdentifier id;
    ASSERT_EQ(api->GetAdapterIdentifier(0, 0, id), Result::Ok);
    EXPECT_NE(id.description.find("OpenGL"), std::string::npos) << id.description;
    EXPECT_GE(id.driverVersionHigh, 3u << 16 | 3u);
    DisplayMode desktop;
    ASSERT_EQ(api->GetAdapterDisplayMode(0, desktop), Result::Ok);
    EXPECT_EQ(desktop.format, kFormatX8R8G8B8);
    const uint32_t modes = api->GetAdapterModeCount(0, kFormatX8R8G8B8);
    ASSERT_GT(modes, 0u);
    DisplayMode m;
    EXPECT_EQ(api->EnumAdapterModes(0, kFormatX8R8G8B8, modes - 1, m), Result::Ok);
    EXPECT_GT(m.width, 0u);
    EXPECT_EQ(api->EnumAdapterModes(0, kFormatX8R8G8B8, modes, m), Result::InvalidCall);
    EXPECT_EQ(api->CheckDeviceType(0, kDeviceHal, kFormatX8R8G8B8, kFormatX8R8G8B8, false), Result::Ok);
    EXPECT_EQ(api->CheckDeviceFormat(0, kDeviceHal, kFormatX8R8G8B8, 0, kResourceTexture, kFormatA8R8G8B8), Result::Ok);
    EXPECT_EQ(api->CheckDeviceFormat(0, kDeviceHal, kFormatX8R8G8B8, 0, kResourceTexture, kFormatDxt1),
              Result::NotAvailable);
    Caps caps;
    ASSERT_EQ(device->GetDeviceCaps(caps), Result::Ok);
    EXPECT_GE(caps.maxTextureWidth, 2048u);
    EXPECT_EQ(caps.vertexShaderVersion, 0xFFFE0300u);
    EXPECT_EQ(caps.pixelShaderVersion, 0xFFFF0300u);
    // Every type and processing flag gets the same context; bad flags do not.
    Ref<Device> other;
    PresentParams p;
    p.window = window;
    EXPECT_EQ(api->CreateDevice(0, kDeviceRef, window, kCreateSoftwareVertexProcessing | kCreateMultithreaded, p,
                                other.Put()),
              Result::Ok);
    EXPECT_EQ(p.backBufferWidth, kWidth);   // the client area, written back
    EXPECT_EQ(p.backBufferHeight, kHeight);
    other.Reset();
    EXPECT_EQ(api->CreateDevice(0, kDeviceHal, window, 0, p, other.Put()), Result::InvalidCall);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace host::render::testing
