// The device's life: creation, formats, targets, frames, the lost-device
// protocol and display-mode changes. The state caches are in RenderStates.cpp.
#include "engine/graphics/GraphicDevice.h"

#include "engine/core/Matrix.h"
#include "engine/graphics/Camera.h"
#include "engine/graphics/Shader.h"
#include "engine/platform/System.h"
#include "host/kernel/Kernel.h"
#include "host/window/Window.h"

#include <atomic>
#include <cstring>

namespace render = host::render;
namespace win = host::window;

namespace {

std::atomic<CGraphicDevice*> g_device{nullptr};
std::atomic<CShader*> g_defaultShader{nullptr};

constexpr char kDefaultShaderName[] = "Default.shd";

// Tried in order until one is accepted; the first becomes the full-screen
// colour format.
constexpr u32 kBackBufferCandidates[kBackBufferCandidateCount] = {
    render::kFormatA8R8G8B8, render::kFormatX8R8G8B8, render::kFormatA8B8G8R8,
    render::kFormatX8B8G8R8, render::kFormatR5G6B5,   render::kFormatX1R5G5B5,
    render::kFormatA1R5G5B5, render::kFormatA4R4G4B4, render::kFormatX4R4G4B4,
};

constexpr u32 kTextureCandidates[kTextureCandidateCount] = {
    render::kFormatA4R4G4B4,      render::kFormatX4R4G4B4,      render::kFormatA8R8G8B8,
    render::kFormatX8R8G8B8,      render::kFormatA8B8G8R8,      render::kFormatX8B8G8R8,
    render::kFormatA1R5G5B5,      render::kFormatA8,            render::kFormatR16F,
    render::kFormatR32F,          render::kFormatG16R16F,       render::kFormatG32R32F,
    render::kFormatA16B16G16R16F, render::kFormatA32B32G32R32F, render::kFormatDxt1,
    render::kFormatDxt2,          render::kFormatDxt3,          render::kFormatDxt4,
    render::kFormatDxt5,
};

struct CreateAttempt {
    u32 type;
    u32 flags;
};
constexpr CreateAttempt kCreateAttempts[] = {
    {render::kDeviceHal, render::kCreateMixedVertexProcessing | render::kCreateMultithreaded},
    {render::kDeviceHal, render::kCreateHardwareVertexProcessing | render::kCreateMultithreaded},
    {render::kDeviceHal, render::kCreateSoftwareVertexProcessing | render::kCreateMultithreaded},
    {render::kDeviceRef, render::kCreateSoftwareVertexProcessing | render::kCreateMultithreaded},
};
constexpr u32 kVertexProcessingBits = render::kCreateMixedVertexProcessing |
    render::kCreateHardwareVertexProcessing | render::kCreateSoftwareVertexProcessing;

constexpr u32 kMinVertexShader = 0xFFFE0101;   // vs 1.1
constexpr u32 kMinPixelShader = 0xFFFF0101;    // ps 1.1

constexpr u32 kClearAll = render::kClearTarget | render::kClearZBuffer | render::kClearStencil;

// Window z-order places of SetWindowSize; windows have no z-order here.
const win::Handle kHwndTop = nullptr;
const win::Handle kHwndNoTopMost = reinterpret_cast<win::Handle>(intptr_t(-2));

bool Ok(render::Result r) { return r == render::Result::Ok; }

render::Matrix ToRender(const CMatrix& m)
{
    render::Matrix out;
    std::memcpy(out.m, m.m, sizeof out.m);
    return out;
}

}  // namespace

CGraphicDevice* GetGraphicDevice() { return g_device.load(); }
CShader* GetDefaultShader() { return g_defaultShader.load(); }
void SetDefaultShader(CShader* shader) { g_defaultShader.store(shader); }

CGraphicDevice::CGraphicDevice() = default;

CGraphicDevice::~CGraphicDevice() { Release(); }

CShader* CGraphicDevice::GetDefaultShader() const { return ::GetDefaultShader(); }

i32 CGraphicDevice::Create(CSystem* window)
{
    if (!window) return 0;
    window_ = window;
    api_ = render::CreateApi();
    if (!api_) {
        host::kernel::MessageBox("Direct3Dオブジェクトの生成に失敗しました", "Error", 0);
        return 0;
    }
    api_->GetAdapterDisplayMode(0, displayMode_);
    SetupPresentParameters();
    if (!CreateDeviceChain()) {
        host::kernel::MessageBox("Direct3Dデバイスの生成に失敗しました", "Error", 0);
        return 0;
    }
    if (!CheckFormats()) return 0;
    if (!TakeTargets()) return 0;
    if (!SetViewport(0, 0, 0, 0)) return 0;

    // The device starts from the service's default table, not from zeros:
    // the caches must say so, or a first SetColorWriteEnable(0) is skipped.
    SeedCaches();
    SetDefaultStates();
    SetBlendMode(1);

    BeginScene();
    EndScene();

    g_device.store(this);
    if (caps_.vertexShaderVersion >= kMinVertexShader && caps_.pixelShaderVersion >= kMinPixelShader)
        CreateDefaultShader();
    return 1;
}

i32 CGraphicDevice::CreateDeviceChain()
{
    for (const CreateAttempt& attempt : kCreateAttempts) {
        // Each attempt starts from the parameters as set up; a refusal may
        // have written into its copy.
        render::PresentParams params = params_;
        render::Ref<render::Device> device;
        if (!Ok(api_->CreateDevice(0, attempt.type, window_->GetWindowHandle(), attempt.flags, params,
                                   device.Put())))
            continue;
        device_ = device;
        params_ = params;
        deviceType_ = attempt.type;
        vertexProcessing_ = attempt.flags & kVertexProcessingBits;
        return 1;
    }
    return 0;
}

void CGraphicDevice::CreateDefaultShader()
{
    const std::string_view bytes = render::BuiltinEffect(kDefaultShaderName);
    CShader* shader = new CShader();
    if (!shader) return;
    if (!shader->CreateFromMemory(bytes.data(), kDefaultShaderName, u32(bytes.size()), 0, 1)) {
        delete shader;
        return;
    }
    SetDefaultShader(shader);
}

void CGraphicDevice::Release()
{
    backBufferFormats_.clear();
    textureFormats_.clear();
    displayModes_.clear();
    streams_.clear();
    backBuffer_.Reset();
    depthSurface_.Reset();
    colorTarget_ = depthTarget_ = nullptr;
    if (CShader* shader = ::GetDefaultShader()) {
        SetDefaultShader(nullptr);
        delete shader;
    }
    device_.Reset();
    api_.Reset();
    texture_ = nullptr;
    indices_ = nullptr;
    declaration_ = nullptr;
    fvf_ = 0;
    states_ = {};
    camera_ = nullptr;   // a camera may die unseen while no device is registered
    CGraphicDevice* self = this;
    g_device.compare_exchange_strong(self, nullptr);
}

void CGraphicDevice::SetupPresentParameters()
{
    params_ = render::PresentParams();
    params_.windowed = windowed_ != 0;
    params_.window = window_ ? window_->GetWindowHandle() : nullptr;
    params_.backBufferCount = 1;
    params_.swapEffect = render::kSwapEffectDiscard;
    params_.enableAutoDepthStencil = true;
    params_.autoDepthStencilFormat = render::kFormatD24S8;
    params_.presentationInterval = render::kPresentIntervalImmediate;
    params_.flags = 0;
    params_.refreshRate = 0;
    if (windowed_) {
        params_.backBufferWidth = 0;
        params_.backBufferHeight = 0;
        params_.backBufferFormat = displayMode_.format;
    } else {
        params_.backBufferWidth = window_ ? u32(window_->GetWidth()) : 0;
        params_.backBufferHeight = window_ ? u32(window_->GetHeight()) : 0;
        params_.backBufferFormat = fullScreenFormat_;
    }
}

i32 CGraphicDevice::CheckFormats()
{
    if (!device_) return 0;
    if (!Ok(device_->GetDeviceCaps(caps_))) return 0;

    adapterCount_ = api_->GetAdapterCount();
    render::AdapterIdentifier id;
    if (Ok(api_->GetAdapterIdentifier(0, 0, id))) {
        const size_t n = id.description.size() < sizeof adapterDescription_ - 1 ? id.description.size()
                                                                               : sizeof adapterDescription_ - 1;
        std::memcpy(adapterDescription_, id.description.data(), n);
        adapterDescription_[n] = '\0';
        driverVersionHigh_ = id.driverVersionHigh;
        driverVersionLow_ = id.driverVersionLow;
    }
    availableTextureMem_ = device_->GetAvailableTextureMem();

    // Stream 0 is always used, whatever the caps claim.
    streams_.assign(caps_.maxStreams ? caps_.maxStreams : 1, StreamCache{nullptr, 0});
    backBufferFormats_.assign(kBackBufferCandidateCount, 0);
    textureFormats_.assign(kTextureCandidateCount, 0);

    for (u32 i = 0; i < kBackBufferCandidateCount; ++i) {
        const u32 candidate = kBackBufferCandidates[i];
        if (Ok(api_->CheckDeviceType(0, deviceType_, candidate, candidate, false)))
            backBufferFormats_[i] = candidate;
    }
    for (u32 candidate : kBackBufferCandidates) {
        if (SetFullScreenFormat(candidate)) break;
    }
    EnumerateDisplayModes();
    for (u32 i = 0; i < kTextureCandidateCount; ++i) {
        const u32 candidate = kTextureCandidates[i];
        if (Ok(api_->CheckDeviceFormat(0, deviceType_, displayMode_.format, 0, render::kResourceTexture,
                                       candidate)))
            textureFormats_[i] = candidate;
    }
    return 1;
}

i32 CGraphicDevice::EnumerateDisplayModes()
{
    displayModes_.clear();
    if (!api_) return 1;
    const u32 count = api_->GetAdapterModeCount(0, fullScreenFormat_);
    displayModes_.assign(count, render::DisplayMode());
    for (u32 i = 0; i < count; ++i) api_->EnumAdapterModes(0, fullScreenFormat_, i, displayModes_[i]);
    return 1;
}

i32 CGraphicDevice::IsBackBufferFormatSupported(u32 format) const
{
    if (format == 0) return 0;
    for (u32 supported : backBufferFormats_)
        if (supported == format) return 1;
    return 0;
}

i32 CGraphicDevice::SetFullScreenFormat(u32 format)
{
    if (!IsBackBufferFormatSupported(format)) return 0;
    fullScreenFormat_ = format;
    return 1;
}

i32 CGraphicDevice::TakeTargets()
{
    if (!Ok(device_->GetRenderTarget(0, backBuffer_.Put()))) return 0;
    colorTarget_ = backBuffer_.Get();
    if (!Ok(device_->GetDepthStencilSurface(depthSurface_.Put()))) return 0;
    depthTarget_ = depthSurface_.Get();
    return 1;
}

void CGraphicDevice::ReleaseTargets()
{
    backBuffer_.Reset();
    depthSurface_.Reset();
    colorTarget_ = depthTarget_ = nullptr;
}

i32 CGraphicDevice::SetViewport(u32 x, u32 y, u32 width, u32 height)
{
    if (!device_) return 0;
    render::Viewport viewport;
    viewport.x = x;
    viewport.y = y;
    // A zero size takes the rest of the back buffer from the origin; with
    // no rest left there is nothing to cover.
    if ((!width && x >= params_.backBufferWidth) || (!height && y >= params_.backBufferHeight)) return 0;
    viewport.width = width ? width : params_.backBufferWidth - x;
    viewport.height = height ? height : params_.backBufferHeight - y;
    viewport.minZ = 0.0f;
    viewport.maxZ = 1.0f;
    if (!Ok(device_->SetViewport(viewport))) return 0;
    viewport_ = viewport;
    return 1;
}

ViewportOrigin CGraphicDevice::GetViewportOrigin() const
{
    if (camera_) {
        const CameraProjection* p = camera_->GetProjectionParams();
        return {f32(p->viewportX), f32(p->viewportY)};
    }
    return {f32(viewport_.x), f32(viewport_.y)};
}

void CGraphicDevice::Clear(u32 flags)
{
    // The device clears the current viewport only, so one half of a split
    // screen never wipes the other.
    if (device_) device_->Clear(flags, 0xFF000000u, 1.0f, 0);
}

i32 CGraphicDevice::BeginScene()
{
    if (!device_) return 0;
    if (!Ok(device_->BeginScene())) {
        // Brought back, the frame must still be begun: reporting 1 for a
        // frame that never began would fail its EndScene and reset again.
        if (!Restore() || !Ok(device_->BeginScene())) return 0;
    }
    Clear(kClearAll);
    return 1;
}

i32 CGraphicDevice::EndScene()
{
    if (!device_) return 0;
    if (!Ok(device_->EndScene())) return 0;
    if (Ok(device_->Present())) return 1;
    return Restore();
}

i32 CGraphicDevice::SetColorTarget(render::Surface* surface)
{
    if (surface == colorTarget_) return 1;
    if (!device_ || !Ok(device_->SetRenderTarget(0, surface))) return 0;
    colorTarget_ = surface;
    // The device now views the whole new target.
    render::SurfaceDesc desc;
    if (Ok(surface->GetDesc(desc))) viewport_ = render::Viewport{0, 0, desc.width, desc.height, 0.0f, 1.0f};
    if (camera_) camera_->Apply();
    return 1;
}

i32 CGraphicDevice::RestoreColorTarget()
{
    if (colorTarget_ == backBuffer_.Get()) return 1;
    return SetColorTarget(backBuffer_.Get());
}

i32 CGraphicDevice::SetDepthTarget(render::Surface* surface)
{
    if (surface == depthTarget_) return 1;
    if (!device_ || !Ok(device_->SetDepthStencilSurface(surface))) return 0;
    depthTarget_ = surface;
    return 1;
}

i32 CGraphicDevice::RestoreDepthTarget()
{
    if (depthTarget_ == depthSurface_.Get()) return 1;
    return SetDepthTarget(depthSurface_.Get());
}

i32 CGraphicDevice::GetRenderTargetData(render::Surface* target, render::Surface* dest)
{
    if (!device_ || !target || !dest) return 0;
    return Ok(device_->GetRenderTargetData(target, dest)) ? 1 : 0;
}

render::Ref<render::Texture> CGraphicDevice::CreateReadbackTexture(render::Surface* target)
{
    render::Ref<render::Texture> texture;
    render::SurfaceDesc desc;
    if (!device_ || !target || !Ok(target->GetDesc(desc))) return texture;
    if (!Ok(device_->CreateTexture(desc.width, desc.height, 1, 0, desc.format, render::kPoolSystemMem,
                                   texture.Put())))
        texture.Reset();
    return texture;
}

void CGraphicDevice::SetViewTransform(const CMatrix& view)
{
    if (device_) device_->SetTransform(render::kTransformView, ToRender(view));
}

void CGraphicDevice::SetProjectionTransform(const CMatrix& projection)
{
    if (device_) device_->SetTransform(render::kTransformProjection, ToRender(projection));
}

void CGraphicDevice::SetWorldTransform(const CMatrix& world)
{
    if (device_) device_->SetTransform(render::TransformWorld(0), ToRender(world));
}

// ---------------------------------------------------------------- lost device

i32 CGraphicDevice::Restore()
{
    if (!device_) return 0;
    const render::Result level = device_->TestCooperativeLevel();
    if (level == render::Result::DeviceLost) {
        host::kernel::Sleep(500);
        return 0;
    }
    // Ok comes from ChangeDisplayMode's forced reset.
    if (level != render::Result::Ok && level != render::Result::DeviceNotReset) return 0;

    // The device holds what is bound to it, and a default-pool target or
    // texture the application is about to give up would keep the reset
    // refused: back to the device's own surfaces, nothing bound.
    if (colorTarget_ != backBuffer_.Get() && backBuffer_) device_->SetRenderTarget(0, backBuffer_.Get());
    if (depthTarget_ != depthSurface_.Get()) device_->SetDepthStencilSurface(depthSurface_.Get());
    for (u32 stage = 0; stage < render::kStageCount; ++stage) device_->SetTexture(stage, nullptr);
    device_->SetStreamSource(0, nullptr, 0, 0);
    device_->SetIndices(nullptr);
    ReleaseTargets();
    CShader* shader = ::GetDefaultShader();
    const bool ownShader = shader && shader->GetName() && std::strcmp(shader->GetName(), kDefaultShaderName) == 0;
    if (ownShader) shader->ReleaseEffect();

    const win::Handle window = window_ ? window_->GetWindowHandle() : nullptr;
    win::SendMessage(window, kMessageDeviceLost, 0, 0);
    if (!ResetDevice()) return 0;

    if (!TakeTargets()) return 0;
    // The device is back at its default table with nothing bound and views
    // the whole back buffer; the caches must not remember what came before,
    // or SetDefaultStates would skip states the reset changed.
    SeedCaches();
    viewport_ = render::Viewport{0, 0, params_.backBufferWidth, params_.backBufferHeight, 0.0f, 1.0f};
    SetDefaultStates();

    if (ownShader) {
        const std::string_view bytes = render::BuiltinEffect(kDefaultShaderName);
        if (!shader->CreateFromMemory(bytes.data(), kDefaultShaderName, u32(bytes.size()), 0, 1)) return 0;
    }
    win::SendMessage(window, kMessageDeviceReset, 0, 0);
    return 1;
}

i32 CGraphicDevice::ResetDevice()
{
    if (Ok(device_->Reset(params_))) return 1;
    host::kernel::Sleep(1000);
    return Ok(device_->Reset(params_)) ? 1 : 0;
}

i32 CGraphicDevice::ChangeDisplayMode(i32 windowed, i32 width, i32 height)
{
    // Full screen only at a size the adapter lists; otherwise a window.
    windowed_ = 1;
    if (!windowed) {
        for (const render::DisplayMode& mode : displayModes_)
            if (i32(mode.width) == width && i32(mode.height) == height) windowed_ = 0;
    }
    if (!window_) return 0;
    const win::Handle insertAfter = windowed_ ? kHwndNoTopMost : kHwndTop;
    // The style goes first: sized under the old style, a window coming back
    // from full screen would lose its frame from the client area, and the
    // reset would take that smaller client area for the back buffer.
    window_->SetWindowStyle(windowed_ ? kWindowedStyle : kFullScreenStyle);
    window_->SetWindowSize(width, height, kSwpShowWindow, insertAfter);
    SetupPresentParameters();
    if (!Restore()) return 0;
    window_->SetWindowSize(width, height, kSwpShowWindow, insertAfter);
    return 1;
}
