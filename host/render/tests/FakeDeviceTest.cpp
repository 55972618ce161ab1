// The fake device answers as strictly as Direct3D 9: creation and its
// parameters, Reset's resource rule, scenes, locks by pool, viewports,
// states and draws.
#include "host/render/tests/RenderTestSupport.h"
#include "host/render/tests/ResetRules.h"

#include <cstring>

namespace host::render::testing {
namespace ORV_TEST_FILE_ID {

namespace {

using DeviceCreation = FakeRenderTest;
using DeviceRules = FakeRenderTest;

TEST_F(DeviceCreation, FollowsTheConfiguredTableOfTypesAndFlags) {
    fake->SetCreateDeviceResult(kDeviceHal, 0x84, Result::NotAvailable);
    fake->SetCreateDeviceResult(kDeviceHal, 0x44, Result::InvalidCall);
    const struct {
        uint32_t type, flags;
        Result result;
    } attempts[] = {
        {kDeviceHal, 0x84, Result::NotAvailable},
        {kDeviceHal, 0x44, Result::InvalidCall},
        {kDeviceHal, 0x24, Result::Ok},
        {kDeviceRef, 0x24, Result::Ok},
        {kDeviceHal, 0x04, Result::InvalidCall},    // no vertex processing named
        {kDeviceHal, 0x64, Result::InvalidCall},    // two named
        {kDeviceHal, 0x124, Result::InvalidCall},   // an unknown flag
        {3, 0x24, Result::InvalidCall},
    };
    for (const auto& a : attempts) {
        PresentParams p = Params(0, 0);
        Ref<Device> device;
        EXPECT_EQ(api->CreateDevice(0, a.type, window, a.flags, p, device.Put()), a.result)
            << a.type << " " << std::hex << a.flags;
        EXPECT_EQ(bool(device), a.result == Result::Ok);
        if (device) {
            EXPECT_EQ(Fake(device.Get()).CreatedType(), a.type);
            EXPECT_EQ(Fake(device.Get()).CreatedFlags(), a.flags);
        }
    }
    EXPECT_TRUE(fake->HasSequence({CallMatch("CreateDevice").With("flags", 0x84).Returning(Result::NotAvailable),
                                   CallMatch("CreateDevice").With("flags", 0x44),
                                   CallMatch("CreateDevice").With("flags", 0x24).With("type", kDeviceHal)}));
}

TEST_F(DeviceCreation, WindowedParametersComeBackCompleted) {
    PresentParams p;
    p.window = window;
    Ref<Device> device;
    ASSERT_EQ(api->CreateDevice(0, kDeviceHal, window, 0x84, p, device.Put()), Result::Ok);
    host::window::Rect client = host::window::GetClientRect(window);
    EXPECT_EQ(p.backBufferWidth, uint32_t(client.Width()));
    EXPECT_EQ(p.backBufferHeight, uint32_t(client.Height()));
    EXPECT_EQ(p.backBufferFormat, kFormatX8R8G8B8);   // the desktop's
    SurfaceDesc d;
    Fake(device.Get()).BackBuffer()->GetDesc(d);
    EXPECT_EQ(d.width, p.backBufferWidth);
    EXPECT_EQ(d.format, kFormatX8R8G8B8);
    EXPECT_EQ(Fake(device.Get()).CurrentViewport(), (Viewport{0, 0, p.backBufferWidth, p.backBufferHeight, 0, 1}));
}

TEST_F(DeviceCreation, RefusesParametersD3D9Would) {
    const struct {
        const char* what;
        void (*change)(PresentParams&);
    } cases[] = {
        {"full screen without a size", [](PresentParams& p) { p.windowed = false; p.backBufferWidth = 0; }},
        {"full screen in a mode the adapter lacks", [](PresentParams& p) {
             p.windowed = false; p.backBufferWidth = 1000; p.backBufferHeight = 700; p.backBufferFormat = kFormatX8R8G8B8; }},
        {"full screen in a format the display lacks", [](PresentParams& p) {
             p.windowed = false; p.backBufferWidth = 1024; p.backBufferHeight = 768; p.backBufferFormat = kFormatA8B8G8R8; }},
        {"a window in another format than the desktop's", [](PresentParams& p) { p.backBufferFormat = kFormatA8B8G8R8; }},
        {"a depth format other than D24S8", [](PresentParams& p) { p.autoDepthStencilFormat = kFormatA8R8G8B8; }},
        {"no window to measure", [](PresentParams& p) { p.window = nullptr; p.backBufferWidth = 0; }},
    };
    for (const auto& c : cases) {
        PresentParams p = Params(64, 32);
        c.change(p);
        Ref<Device> device;
        EXPECT_EQ(api->CreateDevice(0, kDeviceHal, p.window, 0x44, p, device.Put()), Result::InvalidCall) << c.what;
    }
    PresentParams full = Params(1024, 768);
    full.windowed = false;
    full.backBufferFormat = kFormatX8R8G8B8;
    Ref<Device> device;
    EXPECT_EQ(api->CreateDevice(0, kDeviceHal, window, 0x44, full, device.Put()), Result::Ok);
}

TEST_F(DeviceCreation, NeedsTwoThousandTexelTextures) {
    Caps caps;
    caps.maxTextureWidth = caps.maxTextureHeight = 1024;
    fake->SetCaps(caps);
    PresentParams p = Params(64, 32);
    Ref<Device> device;
    EXPECT_EQ(api->CreateDevice(0, kDeviceHal, window, 0x44, p, device.Put()), Result::NotAvailable);
}

TEST_F(DeviceCreation, AdapterFactsFollowTheConfiguration) {
    fake->SetDesktopMode({1280, 1024, 75, kFormatX8R8G8B8});
    fake->SetModes(kFormatX8R8G8B8, {{800, 600, 60, kFormatX8R8G8B8}, {1024, 768, 60, kFormatX8R8G8B8}});
    DisplayMode mode;
    ASSERT_EQ(api->GetAdapterDisplayMode(0, mode), Result::Ok);
    EXPECT_EQ(mode, (DisplayMode{1280, 1024, 75, kFormatX8R8G8B8}));
    EXPECT_EQ(api->GetAdapterModeCount(0, kFormatX8R8G8B8), 2u);
    EXPECT_EQ(api->GetAdapterModeCount(0, kFormatA8R8G8B8), 0u);
    ASSERT_EQ(api->EnumAdapterModes(0, kFormatX8R8G8B8, 1, mode), Result::Ok);
    EXPECT_EQ(mode.width, 1024u);
    EXPECT_EQ(api->EnumAdapterModes(0, kFormatX8R8G8B8, 2, mode), Result::InvalidCall);

    // The back-buffer candidates in the engine's order: the first the display
    // takes is X8R8G8B8.
    const struct {
        uint32_t format;
        Result result;
    } candidates[] = {
        {kFormatA8R8G8B8, Result::NotAvailable}, {kFormatX8R8G8B8, Result::Ok}, {kFormatA8B8G8R8, Result::NotAvailable},
        {kFormatR5G6B5, Result::Ok},             {kFormatA4R4G4B4, Result::NotAvailable},
    };
    for (const auto& c : candidates)
        EXPECT_EQ(api->CheckDeviceType(0, kDeviceHal, c.format, c.format, false), c.result) << c.format;
    for (uint32_t format : {kFormatA8R8G8B8, kFormatX8R8G8B8, kFormatA8B8G8R8, kFormatX8B8G8R8})
        EXPECT_EQ(api->CheckDeviceFormat(0, kDeviceHal, kFormatX8R8G8B8, 0, kResourceTexture, format), Result::Ok);
    for (uint32_t format : {kFormatA4R4G4B4, kFormatDxt1, kFormatR32F})
        EXPECT_EQ(api->CheckDeviceFormat(0, kDeviceHal, kFormatX8R8G8B8, 0, kResourceTexture, format),
                  Result::NotAvailable);
    fake->SetTextureFormats({kFormatDxt5});
    EXPECT_EQ(api->CheckDeviceFormat(0, kDeviceHal, kFormatX8R8G8B8, 0, kResourceTexture, kFormatDxt5), Result::Ok);
}

TEST_F(DeviceCreation, NoApiWhenTheBackendCannotStart) {
    fake->SetApiAvailable(false);
    EXPECT_FALSE(CreateApi());
}

// ---------------------------------------------------------------- rules

TEST_F(DeviceRules, ResetIsRefusedWhileADefaultPoolResourceOrABackBufferReferenceLives) {
    Ref<Device> device = MakeDevice();
    const size_t refused = ExpectResetRefusedWhileBlocked(device.Get(), Params(64, 32));
    EXPECT_EQ(fake->Count(CallMatch("Reset").Returning(Result::InvalidCall)), refused);
}

TEST_F(DeviceRules, AResourceKeptAliveOnlyByABindingStillBlocksReset) {
    Ref<Device> device = MakeDevice();
    Ref<Texture> target = MakeTexture(device.Get(), 16, 16, kUsageRenderTarget, kPoolDefault);
    ASSERT_EQ(device->SetTexture(0, target.Get()), Result::Ok);
    target.Reset();
    PresentParams p = Params(64, 32);
    EXPECT_EQ(device->Reset(p), Result::InvalidCall);
    ASSERT_EQ(device->SetTexture(0, nullptr), Result::Ok);
    EXPECT_EQ(device->Reset(p), Result::Ok);
}

TEST_F(DeviceRules, ResetRestoresDefaultsAndUnbinds) {
    Ref<Device> device = MakeDevice();
    FakeDevice& f = Fake(device.Get());
    Ref<Texture> texture = MakeTexture(device.Get(), 8, 8, 0, kPoolManaged);
    ASSERT_EQ(device->SetRenderState(kRsColorWriteEnable, 0), Result::Ok);
    ASSERT_EQ(device->SetRenderState(kRsZWriteEnable, 0), Result::Ok);
    ASSERT_EQ(device->SetSamplerState(0, kSampMinFilter, kFilterLinear), Result::Ok);
    ASSERT_EQ(device->SetTextureStageState(0, kTssColorOp, kTopSelectArg2), Result::Ok);
    ASSERT_EQ(device->SetTexture(3, texture.Get()), Result::Ok);
    ASSERT_EQ(device->SetFVF(0x144), Result::Ok);
    ASSERT_EQ(device->SetViewport({8, 8, 16, 16, 0, 1}), Result::Ok);
    Matrix m = IdentityMatrix();
    m.m[3][0] = 5;
    ASSERT_EQ(device->SetTransform(kTransformView, m), Result::Ok);

    PresentParams p = Params(100, 50);
    ASSERT_EQ(device->Reset(p), Result::Ok);
    EXPECT_EQ(f.RenderState(kRsColorWriteEnable), 15u);
    EXPECT_EQ(f.RenderState(kRsZWriteEnable), 1u);
    EXPECT_EQ(f.SamplerState(0, kSampMinFilter), kFilterPoint);
    EXPECT_EQ(f.StageState(0, kTssColorOp), kTopModulate);
    EXPECT_EQ(f.BoundTexture(3), nullptr);
    EXPECT_EQ(f.BoundFvf(), 0u);
    EXPECT_EQ(f.Transform(kTransformView).m[3][0], 0.0f);
    EXPECT_EQ(f.CurrentViewport(), (Viewport{0, 0, 100, 50, 0, 1}));
    EXPECT_EQ(f.CurrentRenderTarget(), f.BackBuffer());
    EXPECT_EQ(f.CurrentDepthSurface(), f.AutoDepthSurface());
    SurfaceDesc d;
    f.BackBuffer()->GetDesc(d);
    EXPECT_EQ(d.width, 100u);
    EXPECT_EQ(d.height, 50u);
}

TEST_F(DeviceRules, ScenesNeitherNestNorGoUnmatched) {
    Ref<Device> device = MakeDevice();
    const float vertices[15] = {};
    ASSERT_EQ(device->SetFVF(0x44), Result::Ok);
    EXPECT_EQ(device->DrawPrimitiveUP(kPrimitiveTriangleList, 1, vertices, 20), Result::InvalidCall);
    EXPECT_EQ(device->EndScene(), Result::InvalidCall);
    EXPECT_EQ(device->BeginScene(), Result::Ok);
    EXPECT_EQ(device->BeginScene(), Result::InvalidCall);
    EXPECT_EQ(device->Present(), Result::InvalidCall) << "present inside a scene";
    EXPECT_EQ(device->DrawPrimitiveUP(kPrimitiveTriangleList, 1, vertices, 20), Result::Ok);
    EXPECT_EQ(device->EndScene(), Result::Ok);
    EXPECT_EQ(device->EndScene(), Result::InvalidCall);
    EXPECT_EQ(device->Present(), Result::Ok);
}

TEST_F(DeviceRules, TexturesAreCheckedAtCreation) {
    Ref<Device> device = MakeDevice();
    const struct {
        uint32_t w, h, levels, usage, format, pool;
        Result result;
    } cases[] = {
        {16, 16, 1, 0, kFormatA8R8G8B8, kPoolManaged, Result::Ok},
        {16, 16, 1, kUsageRenderTarget, kFormatX8R8G8B8, kPoolDefault, Result::Ok},
        {16, 16, 1, kUsageDynamic, kFormatA8B8G8R8, kPoolDefault, Result::Ok},
        {2048, 2048, 1, 0, kFormatX8R8G8B8, kPoolSystemMem, Result::Ok},
        {16, 8, 0, 0, kFormatA8R8G8B8, kPoolManaged, Result::Ok},          // full chain
        {0, 16, 1, 0, kFormatA8R8G8B8, kPoolManaged, Result::InvalidCall},
        {16, 0, 1, 0, kFormatA8R8G8B8, kPoolManaged, Result::InvalidCall},
        {16384, 16, 1, 0, kFormatA8R8G8B8, kPoolManaged, Result::InvalidCall},
        {16, 16, 1, 0, kFormatDxt1, kPoolManaged, Result::InvalidCall},
        {16, 16, 1, 0, kFormatA4R4G4B4, kPoolManaged, Result::InvalidCall},
        {16, 16, 1, kUsageDynamic, kFormatA8R8G8B8, kPoolManaged, Result::InvalidCall},
        {16, 16, 1, kUsageRenderTarget, kFormatA8R8G8B8, kPoolManaged, Result::InvalidCall},
        {16, 16, 1, kUsageRenderTarget, kFormatA8R8G8B8, kPoolSystemMem, Result::InvalidCall},
        {16, 16, 1, kUsageDepthStencil, kFormatA8R8G8B8, kPoolDefault, Result::InvalidCall},
        {16, 16, 1, 0, kFormatA8R8G8B8, 3, Result::InvalidCall},
        {16, 16, 6, 0, kFormatA8R8G8B8, kPoolManaged, Result::InvalidCall},   // 16 has 5 levels
    };
    for (const auto& c : cases) {
        Ref<Texture> t;
        EXPECT_EQ(device->CreateTexture(c.w, c.h, c.levels, c.usage, c.format, c.pool, t.Put()), c.result)
            << c.w << "x" << c.h << " levels " << c.levels << " usage " << c.usage << " format " << c.format
            << " pool " << c.pool;
        EXPECT_EQ(bool(t), c.result == Result::Ok);
    }
    Ref<Texture> chain;
    ASSERT_EQ(device->CreateTexture(300, 200, 0, 0, kFormatA8R8G8B8, kPoolManaged, chain.Put()), Result::Ok);
    EXPECT_EQ(chain->GetLevelCount(), 9u);
    SurfaceDesc d;
    ASSERT_EQ(chain->GetLevelDesc(8, d), Result::Ok);
    EXPECT_EQ(d.width, 1u);
    EXPECT_EQ(d.height, 1u);
    ASSERT_EQ(chain->GetLevelDesc(2, d), Result::Ok);
    EXPECT_EQ(d.width, 75u);
    EXPECT_EQ(d.height, 50u);
    EXPECT_EQ(chain->GetLevelDesc(9, d), Result::InvalidCall);
}

TEST_F(DeviceRules, LocksFollowThePoolAndUsage) {
    Ref<Device> device = MakeDevice();
    const struct {
        const char* what;
        uint32_t usage, pool, flags;
        Result result;
    } cases[] = {
        {"managed", 0, kPoolManaged, 0, Result::Ok},
        {"system memory", 0, kPoolSystemMem, kLockReadOnly, Result::Ok},
        {"dynamic", kUsageDynamic, kPoolDefault, 0, Result::Ok},
        {"dynamic, discarding", kUsageDynamic, kPoolDefault, kLockDiscard, Result::Ok},
        {"managed, discarding", 0, kPoolManaged, kLockDiscard, Result::InvalidCall},
        {"render target", kUsageRenderTarget, kPoolDefault, 0, Result::InvalidCall},
        {"plain default pool", 0, kPoolDefault, 0, Result::InvalidCall},
        {"unknown flag", 0, kPoolManaged, 0x4, Result::InvalidCall},
        {"discard and read", kUsageDynamic, kPoolDefault, kLockDiscard | kLockReadOnly, Result::InvalidCall},
    };
    for (const auto& c : cases) {
        Ref<Texture> t = MakeTexture(device.Get(), 8, 4, c.usage, c.pool);
        LockedRect lr;
        EXPECT_EQ(t->LockRect(0, lr, nullptr, c.flags), c.result) << c.what;
        if (c.result == Result::Ok) {
            EXPECT_EQ(lr.pitch, 32) << c.what;
            EXPECT_NE(lr.bits, nullptr);
            EXPECT_EQ(t->LockRect(0, lr, nullptr, 0), Result::InvalidCall) << c.what << ": locked twice";
            EXPECT_EQ(t->UnlockRect(0), Result::Ok);
        }
        EXPECT_EQ(t->UnlockRect(0), Result::InvalidCall) << c.what << ": not locked";
    }

    Ref<Texture> t = MakeTexture(device.Get(), 8, 4, 0, kPoolManaged);
    LockedRect lr;
    for (Rect bad : {Rect{0, 0, 9, 4}, Rect{-1, 0, 2, 2}, Rect{4, 2, 4, 3}, Rect{0, 3, 8, 2}})
        EXPECT_EQ(t->LockRect(0, lr, &bad, 0), Result::InvalidCall) << bad.left << "," << bad.top;
    EXPECT_EQ(t->LockRect(1, lr, nullptr, 0), Result::InvalidCall);
    Rect part{2, 1, 5, 3};
    ASSERT_EQ(t->LockRect(0, lr, &part, 0), Result::Ok);
    static_cast<uint32_t*>(lr.bits)[0] = 0x11223344;
    static_cast<uint32_t*>(lr.bits)[lr.pitch / 4 + 2] = 0x55667788;
    ASSERT_EQ(t->UnlockRect(0), Result::Ok);
    Ref<Surface> s = Level0(t.Get());
    EXPECT_EQ(FakeRender::ReadPixel(s.Get(), 2, 1), 0x11223344u);
    EXPECT_EQ(FakeRender::ReadPixel(s.Get(), 4, 2), 0x55667788u);
    // Surfaces of textures lock as their textures do; the back buffer never.
    EXPECT_EQ(s->LockRect(lr, nullptr, 0), Result::Ok);
    EXPECT_EQ(t->LockRect(0, lr, nullptr, 0), Result::InvalidCall);
    EXPECT_EQ(s->UnlockRect(), Result::Ok);
    EXPECT_EQ(Fake(device.Get()).BackBuffer()->LockRect(lr, nullptr, 0), Result::InvalidCall);
}

TEST_F(DeviceRules, DiscardingADynamicTextureKeepsItsContents) {
    Ref<Device> device = MakeDevice();
    Ref<Texture> t = MakeTexture(device.Get(), 4, 4, kUsageDynamic, kPoolDefault);
    LockedRect lr;
    ASSERT_EQ(t->LockRect(0, lr, nullptr, 0), Result::Ok);
    static_cast<uint32_t*>(lr.bits)[5] = 0xCAFEBABE;
    ASSERT_EQ(t->UnlockRect(0), Result::Ok);
    ASSERT_EQ(t->LockRect(0, lr, nullptr, kLockDiscard), Result::Ok);
    EXPECT_EQ(static_cast<uint32_t*>(lr.bits)[5], 0xCAFEBABEu);
    ASSERT_EQ(t->UnlockRect(0), Result::Ok);
}

TEST_F(DeviceRules, TheViewportStaysInsideTheTarget) {
    Ref<Device> device = MakeDevice(64, 32);
    const struct {
        Viewport v;
        Result result;
    } cases[] = {
        {{0, 0, 64, 32, 0, 1}, Result::Ok},
        {{32, 16, 32, 16, 0, 1}, Result::Ok},
        {{32, 16, 33, 16, 0, 1}, Result::InvalidCall},
        {{0, 1, 64, 32, 0, 1}, Result::InvalidCall},
        {{0xFFFFFFF0u, 0, 0x20, 1, 0, 1}, Result::InvalidCall},   // wraps past 2^32
        {{0, 0, 8, 8, 0.5f, 0.25f}, Result::InvalidCall},
        {{0, 0, 8, 8, 0, 1.5f}, Result::InvalidCall},
    };
    for (const auto& c : cases)
        EXPECT_EQ(device->SetViewport(c.v), c.result) << c.v.x << "," << c.v.y << " " << c.v.width << "x" << c.v.height;

    // A new target takes the whole of itself.
    Ref<Texture> rt = MakeTexture(device.Get(), 16, 8, kUsageRenderTarget, kPoolDefault);
    ASSERT_EQ(device->SetRenderTarget(0, Level0(rt.Get()).Get()), Result::Ok);
    EXPECT_EQ(Fake(device.Get()).CurrentViewport(), (Viewport{0, 0, 16, 8, 0, 1}));
    EXPECT_EQ(device->SetViewport({0, 0, 32, 16, 0, 1}), Result::InvalidCall);
}

TEST_F(DeviceRules, TargetsMustBeRenderTargetsAndDepthSurfaces) {
    Ref<Device> device = MakeDevice();
    Ref<Texture> managed = MakeTexture(device.Get(), 16, 16, 0, kPoolManaged);
    Ref<Surface> depth;
    ASSERT_EQ(device->CreateDepthStencilSurface(16, 16, kFormatD24S8, 0, 0, true, depth.Put()), Result::Ok);
    EXPECT_EQ(device->SetRenderTarget(0, nullptr), Result::InvalidCall);
    EXPECT_EQ(device->SetRenderTarget(1, Fake(device.Get()).BackBuffer()), Result::InvalidCall);
    EXPECT_EQ(device->SetRenderTarget(0, Level0(managed.Get()).Get()), Result::InvalidCall);
    EXPECT_EQ(device->SetRenderTarget(0, depth.Get()), Result::InvalidCall);
    EXPECT_EQ(device->SetDepthStencilSurface(Level0(managed.Get()).Get()), Result::InvalidCall);
    EXPECT_EQ(device->SetDepthStencilSurface(depth.Get()), Result::Ok);
    EXPECT_EQ(device->SetDepthStencilSurface(nullptr), Result::Ok);
    Ref<Surface> none;
    EXPECT_EQ(device->GetDepthStencilSurface(none.Put()), Result::NotAvailable);
    EXPECT_FALSE(none);
    EXPECT_EQ(device->Clear(kClearZBuffer, 0, 1.0f, 0), Result::InvalidCall) << "no depth surface bound";
    EXPECT_EQ(device->Clear(kClearTarget, 0, 1.0f, 0), Result::Ok);

    // A surface of another device is not a target here.
    Ref<Device> other = MakeDevice();
    EXPECT_EQ(device->SetRenderTarget(0, Fake(other.Get()).BackBuffer()), Result::InvalidCall);
}

TEST_F(DeviceRules, StatesTakeOnlyTheValuesABackendSupports) {
    Ref<Device> device = MakeDevice();
    const struct {
        uint32_t state, value;
        Result result;
    } states[] = {
        {kRsCullMode, kCullCw, Result::Ok},       {kRsCullMode, 4, Result::InvalidCall},
        {kRsSrcBlend, kBlendInvDestColor, Result::Ok}, {kRsDestBlend, 0, Result::InvalidCall},
        {kRsZFunc, kCmpAlways, Result::Ok},       {kRsAlphaFunc, 9, Result::InvalidCall},
        {kRsStencilPass, kStencilOpReplace, Result::Ok}, {kRsStencilFail, 0, Result::InvalidCall},
        {kRsAlphaRef, 255, Result::Ok},           {kRsAlphaRef, 256, Result::InvalidCall},
        {kRsColorWriteEnable, 0, Result::Ok},     {kRsColorWriteEnable, 16, Result::InvalidCall},
        {kRsBlendOp, kBlendOpRevSubtract, Result::Ok}, {kRsFogVertexMode, kFogLinear, Result::Ok},
        {kRsShadeMode, kShadeGouraud, Result::Ok}, {kRsNormalizeNormals, 1, Result::Ok},
        {8 /* fill mode */, 3, Result::InvalidCall}, {1000, 0, Result::InvalidCall},
    };
    for (const auto& s : states)
        EXPECT_EQ(device->SetRenderState(s.state, s.value), s.result) << s.state << " = " << s.value;
    EXPECT_EQ(device->SetSamplerState(0, kSampMagFilter, kFilterLinear), Result::Ok);
    EXPECT_EQ(device->SetSamplerState(8, kSampMagFilter, kFilterLinear), Result::InvalidCall);
    EXPECT_EQ(device->SetSamplerState(0, 1 /* address u */, 1), Result::InvalidCall);
    EXPECT_EQ(device->SetSamplerState(0, kSampMinFilter, 3), Result::InvalidCall);
    EXPECT_EQ(device->SetTextureStageState(7, kTssAlphaOp, kTopDisable), Result::Ok);
    EXPECT_EQ(device->SetTextureStageState(0, kTssColorArg1, kTaDiffuse), Result::Ok);
    EXPECT_EQ(device->SetTextureStageState(0, kTssColorOp, 5), Result::InvalidCall);
    EXPECT_EQ(device->SetTextureStageState(0, 7, 0), Result::InvalidCall);
    EXPECT_EQ(device->SetTextureStageState(8, kTssColorOp, 1), Result::InvalidCall);
    Matrix m = IdentityMatrix();
    for (uint32_t t : {kTransformView, kTransformProjection, TransformWorld(0), TransformWorld(255)})
        EXPECT_EQ(device->SetTransform(t, m), Result::Ok) << t;
    for (uint32_t t : {1u, 4u, 255u, TransformWorld(256)}) EXPECT_EQ(device->SetTransform(t, m), Result::InvalidCall) << t;
    FakeDevice& f = Fake(device.Get());
    EXPECT_EQ(f.RenderState(kRsCullMode), kCullCw);
    EXPECT_EQ(f.SamplerState(0, kSampMagFilter), kFilterLinear);
    EXPECT_EQ(f.StageState(0, kTssColorArg1), kTaDiffuse);
}

TEST_F(DeviceRules, VertexFormatsAndDeclarationsReplaceEachOther) {
    Ref<Device> device = MakeDevice();
    FakeDevice& f = Fake(device.Get());
    const VertexElement elements[] = {{0, kDeclFloat3, kUsagePosition, 0}, {12, kDeclColor, kUsageColor, 0},
                                      {16, kDeclFloat2, kUsageTexCoord, 0}};
    Ref<VertexDeclaration> decl;
    ASSERT_EQ(device->CreateVertexDeclaration(elements, 3, decl.Put()), Result::Ok);
    ASSERT_EQ(device->SetVertexDeclaration(decl.Get()), Result::Ok);
    EXPECT_EQ(f.BoundDeclaration(), decl.Get());
    ASSERT_EQ(device->SetFVF(0x144), Result::Ok);
    EXPECT_EQ(f.BoundDeclaration(), nullptr);
    EXPECT_EQ(f.BoundFvf(), 0x144u);
    ASSERT_EQ(device->SetVertexDeclaration(decl.Get()), Result::Ok);
    EXPECT_EQ(f.BoundFvf(), 0u);
    EXPECT_EQ(device->SetFVF(0x6), Result::InvalidCall);
    EXPECT_EQ(device->SetFVF(0x244), Result::InvalidCall);

    const struct {
        const char* what;
        VertexElement e[2];
    } bad[] = {
        {"twice the same usage", {{0, kDeclFloat3, kUsagePosition, 0}, {12, kDeclFloat3, kUsagePosition, 0}}},
        {"an unknown type", {{0, kDeclFloat3, kUsagePosition, 0}, {12, 9, kUsageNormal, 0}}},
        {"an unknown usage", {{0, kDeclFloat3, kUsagePosition, 0}, {12, kDeclFloat3, 4, 0}}},
        {"texture coordinates 4", {{0, kDeclFloat3, kUsagePosition, 0}, {12, kDeclFloat2, kUsageTexCoord, 4}}},
        {"an unaligned offset", {{0, kDeclFloat3, kUsagePosition, 0}, {13, kDeclFloat3, kUsageNormal, 0}}},
    };
    for (const auto& b : bad) {
        Ref<VertexDeclaration> d;
        EXPECT_EQ(device->CreateVertexDeclaration(b.e, 2, d.Put()), Result::InvalidCall) << b.what;
    }
    Ref<VertexDeclaration> d;
    EXPECT_EQ(device->CreateVertexDeclaration(elements, 0, d.Put()), Result::InvalidCall);
}

TEST_F(DeviceRules, DrawsNeedSomethingToDrawAndAFormatThatFits) {
    Ref<Device> device = MakeDevice();
    FakeDevice& f = Fake(device.Get());
    ASSERT_EQ(device->BeginScene(), Result::Ok);
    float v[4 * 7] = {};
    EXPECT_EQ(device->DrawPrimitiveUP(kPrimitiveTriangleFan, 2, v, 28), Result::InvalidCall) << "no format";
    ASSERT_EQ(device->SetFVF(0x144), Result::Ok);
    EXPECT_EQ(device->DrawPrimitiveUP(kPrimitiveTriangleFan, 0, v, 28), Result::InvalidCall);
    EXPECT_EQ(device->DrawPrimitiveUP(kPrimitiveTriangleFan, 2, nullptr, 28), Result::InvalidCall);
    EXPECT_EQ(device->DrawPrimitiveUP(kPrimitiveTriangleFan, 2, v, 24), Result::InvalidCall) << "stride";
    EXPECT_EQ(device->DrawPrimitiveUP(5, 2, v, 28), Result::InvalidCall) << "strip";

    // DrawPrimitiveUP leaves stream 0 and the indices unbound.
    Ref<VertexBuffer> vb;
    Ref<IndexBuffer> ib;
    ASSERT_EQ(device->CreateVertexBuffer(28 * 4, kUsageWriteOnly, 0x144, kPoolManaged, vb.Put()), Result::Ok);
    ASSERT_EQ(device->CreateIndexBuffer(12, kUsageWriteOnly, kFormatIndex16, kPoolManaged, ib.Put()), Result::Ok);
    ASSERT_EQ(device->SetStreamSource(0, vb.Get(), 0, 28), Result::Ok);
    ASSERT_EQ(device->SetIndices(ib.Get()), Result::Ok);
    EXPECT_EQ(device->DrawPrimitiveUP(kPrimitiveTriangleFan, 2, v, 28), Result::Ok);
    EXPECT_EQ(f.StreamSource().buffer, nullptr);
    EXPECT_EQ(f.BoundIndices(), nullptr);
    EXPECT_EQ(device->DrawIndexedPrimitive(kPrimitiveTriangleList, 0, 0, 4, 0, 2), Result::InvalidCall);

    const uint16_t indices[6] = {0, 1, 2, 0, 2, 3};
    void* data;
    ASSERT_EQ(ib->Lock(0, 0, &data, 0), Result::Ok);
    std::memcpy(data, indices, sizeof indices);
    ASSERT_EQ(ib->Unlock(), Result::Ok);
    ASSERT_EQ(device->SetStreamSource(0, vb.Get(), 0, 28), Result::Ok);
    ASSERT_EQ(device->SetIndices(ib.Get()), Result::Ok);
    const struct {
        const char* what;
        int32_t base;
        uint32_t min, num, start, count;
        Result result;
    } draws[] = {
        {"both triangles", 0, 0, 4, 0, 2, Result::Ok},
        {"the second", 0, 0, 4, 3, 1, Result::Ok},
        {"past the indices", 0, 0, 4, 3, 2, Result::InvalidCall},
        {"an index past the vertices", 1, 0, 4, 0, 2, Result::InvalidCall},
        {"an index outside the stated range", 0, 0, 3, 0, 2, Result::InvalidCall},
        {"a negative vertex", -1, 0, 4, 0, 2, Result::InvalidCall},
        {"no vertices", 0, 0, 0, 0, 2, Result::InvalidCall},
    };
    for (const auto& d : draws)
        EXPECT_EQ(device->DrawIndexedPrimitive(kPrimitiveTriangleList, d.base, d.min, d.num, d.start, d.count), d.result)
            << d.what;
    ASSERT_EQ(vb->Lock(0, 0, &data, 0), Result::Ok);
    EXPECT_EQ(device->DrawIndexedPrimitive(kPrimitiveTriangleList, 0, 0, 4, 0, 2), Result::InvalidCall) << "locked";
    ASSERT_EQ(vb->Unlock(), Result::Ok);
    ASSERT_EQ(device->EndScene(), Result::Ok);
}

TEST_F(DeviceRules, BuffersLockInsideTheirBytes) {
    Ref<Device> device = MakeDevice();
    const struct {
        uint32_t bytes, usage, fvf, pool;
        Result result;
    } creations[] = {
        {64, 0, 0x144, kPoolManaged, Result::Ok},
        {64, kUsageDynamic | kUsageWriteOnly, 0, kPoolDefault, Result::Ok},
        {0, 0, 0x144, kPoolManaged, Result::InvalidCall},
        {64, 0, 0x6, kPoolManaged, Result::InvalidCall},
        {64, kUsageDynamic, 0, kPoolManaged, Result::InvalidCall},
        {64, kUsageRenderTarget, 0, kPoolDefault, Result::InvalidCall},
    };
    for (const auto& c : creations) {
        Ref<VertexBuffer> b;
        EXPECT_EQ(device->CreateVertexBuffer(c.bytes, c.usage, c.fvf, c.pool, b.Put()), c.result) << c.bytes;
    }
    Ref<IndexBuffer> ib;
    EXPECT_EQ(device->CreateIndexBuffer(64, 0, kFormatA8R8G8B8, kPoolManaged, ib.Put()), Result::InvalidCall);

    Ref<VertexBuffer> vb;
    ASSERT_EQ(device->CreateVertexBuffer(64, kUsageWriteOnly, 0, kPoolManaged, vb.Put()), Result::Ok);
    void* data = nullptr;
    EXPECT_EQ(vb->Lock(60, 8, &data, 0), Result::InvalidCall);
    EXPECT_EQ(vb->Lock(65, 0, &data, 0), Result::InvalidCall);
    EXPECT_EQ(vb->Lock(0, 64, &data, kLockDiscard), Result::InvalidCall) << "not dynamic";
    EXPECT_EQ(vb->Lock(0, 64, &data, kLockReadOnly), Result::InvalidCall) << "write-only";
    EXPECT_EQ(vb->Lock(56, 8, &data, 0), Result::Ok);
    EXPECT_EQ(vb->Lock(0, 8, &data, 0), Result::InvalidCall) << "locked twice";
    EXPECT_EQ(vb->Unlock(), Result::Ok);
    EXPECT_EQ(vb->Unlock(), Result::InvalidCall);
}

TEST_F(DeviceRules, BoundObjectsKeepAReferenceAndResourcesKnowTheirDevice) {
    Ref<Device> device = MakeDevice();
    FakeDevice& f = Fake(device.Get());
    {
        Ref<Texture> t = MakeTexture(device.Get(), 4, 4, 0, kPoolManaged);
        ASSERT_EQ(device->SetTexture(2, t.Get()), Result::Ok);
    }
    EXPECT_EQ(f.LiveResources(kPoolManaged), 1u) << "the binding holds it";
    ASSERT_EQ(device->SetTexture(2, nullptr), Result::Ok);
    EXPECT_EQ(f.LiveResources(kPoolManaged), 0u);

    Ref<Texture> t = MakeTexture(device.Get(), 4, 4, 0, kPoolManaged);
    Ref<Device> owner;
    ASSERT_EQ(t->GetDevice(owner.Put()), Result::Ok);
    EXPECT_EQ(owner.Get(), device.Get());
    owner.Reset();
    device.Reset();   // the texture outlives its device
    EXPECT_EQ(t->GetDevice(owner.Put()), Result::NotAvailable);
    EXPECT_EQ(fake->LastDevice(), nullptr);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace host::render::testing
