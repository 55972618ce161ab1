// `CGraphicDevice`: the one graphics device of the program, made by the
// application base for its main window. It creates the device through the
// render service, chooses the colour format, keeps the back buffer and the
// depth surface, switches between window and full screen, begins and ends
// frames and brings the device back after it was lost. It also owns the
// render-state and binding caches, the blend modes, the viewport, the
// current colour and depth targets, the current camera and the default
// shader.
//
// Drawing code reaches the device through GetGraphicDevice(), which Create
// sets and Release clears; while it is null the drawing modules fail or do
// nothing.
#pragma once

#include "engine/core/Types.h"
#include "host/render/Render.h"

#include <vector>

class CCamera;
class CMatrix;
class CShader;
class CSystem;

// The render-state cache, in the order callers that save and restore states
// read it.
struct RenderStateCache {
    u32 ambient;
    u32 blendMode;          // 0-7
    u32 cullMode;
    u32 lighting;
    u32 fogEnable;
    u32 zEnable;
    u32 zWriteEnable;
    u32 zFunc;
    u32 colorWriteEnable;
};

struct ViewportOrigin {
    f32 x, y;
};

// Window messages the device sends the main window around a reset.
constexpr u32 kMessageDeviceLost = 0x401;
constexpr u32 kMessageDeviceReset = 0x402;

// Window styles of ChangeDisplayMode.
constexpr u32 kWindowedStyle = 0x00CA0000;     // caption, system menu, minimize box
constexpr u32 kFullScreenStyle = 0x90000000;   // popup, visible

constexpr u32 kBackBufferCandidateCount = 9;
constexpr u32 kTextureCandidateCount = 19;

class CGraphicDevice {
public:
    CGraphicDevice();
    ~CGraphicDevice();
    CGraphicDevice(const CGraphicDevice&) = delete;
    CGraphicDevice& operator=(const CGraphicDevice&) = delete;

    // The start-up sequence for window: device, formats, targets, default
    // states, one empty frame, the registration and the default shader. A
    // failure to make the device shows a message box. 1, or 0 (null window
    // or a failed step).
    i32 Create(CSystem* window);
    // Frees everything and clears the registration; may be called again.
    void Release();

    void SetupPresentParameters();
    i32 CheckFormats();
    i32 EnumerateDisplayModes();
    i32 IsBackBufferFormatSupported(u32 format) const;
    i32 SetFullScreenFormat(u32 format);

    // A width or height of 0 is the back buffer's. 1 when the device takes
    // it; only then is it kept.
    i32 SetViewport(u32 x, u32 y, u32 width, u32 height);
    // The current camera's viewport origin, or the kept viewport's.
    ViewportOrigin GetViewportOrigin() const;
    // Clears the current viewport: opaque black, depth 1, stencil 0.
    void Clear(u32 flags);
    // Begins the frame and clears it. A failure runs Restore and, when that
    // brings the device back, begins the frame after all.
    i32 BeginScene();
    // Ends the frame and presents; a failed present runs Restore.
    i32 EndScene();

    // Target switches; the current camera applies itself again to a new
    // colour target. Switching to the current target does nothing (1).
    i32 SetColorTarget(host::render::Surface* surface);
    i32 RestoreColorTarget();
    i32 SetDepthTarget(host::render::Surface* surface);
    i32 RestoreDepthTarget();
    host::render::Surface* GetColorTarget() const { return colorTarget_; }
    host::render::Surface* GetDepthTarget() const { return depthTarget_; }
    host::render::Surface* GetBackBuffer() const { return backBuffer_.Get(); }
    host::render::Surface* GetDepthSurface() const { return depthSurface_.Get(); }

    // Copies a render target into a system-memory surface, which must match
    // its size and format (a screenshot's readback texture,
    // CreateReadbackTexture). 1 on success.
    i32 GetRenderTargetData(host::render::Surface* target, host::render::Surface* dest);
    // A one-level system-memory texture of the render target's size and
    // format, the destination GetRenderTargetData needs. Null on failure.
    host::render::Ref<host::render::Texture> CreateReadbackTexture(host::render::Surface* target);

    CCamera* GetCurrentCamera() const { return camera_; }
    void SetCurrentCamera(CCamera* camera) { camera_ = camera; }
    CSystem* GetSystem() const { return window_; }
    u32 GetColorFormat() const { return fullScreenFormat_; }
    u32 GetDefaultTextureFormat() const { return host::render::kFormatUnknown; }
    CShader* GetDefaultShader() const;

    // The lost-device protocol: 1 when the device is usable again.
    i32 Restore();
    // Window (windowed non-zero) or full screen at width x height; a full
    // screen size the adapter does not list gives a window of that size.
    i32 ChangeDisplayMode(i32 windowed, i32 width, i32 height);

    // Transforms, unchecked (cameras, sprites in world space).
    void SetViewTransform(const CMatrix& view);
    void SetProjectionTransform(const CMatrix& projection);
    void SetWorldTransform(const CMatrix& world);

    // ------------------------------------------------ cached states and bindings
    // Each calls the device only when the value differs from the cache.
    void SetAmbient(u32 colour);
    void SetCullMode(u32 mode);
    void SetLighting(u32 on);
    void SetFogEnable(u32 on);
    void SetZEnable(u32 on);
    void SetZWriteEnable(u32 on);
    void SetZFunc(u32 func);
    void SetColorWriteEnable(u32 mask);
    void SetTexture(host::render::Texture* texture);
    void SetIndices(host::render::IndexBuffer* buffer);
    void SetVertexDeclaration(host::render::VertexDeclaration* declaration);
    void SetFVF(u32 fvf);
    // Stream 0 at offset 0; skipped when the buffer is bound already and not
    // marked by ForceStreamSource.
    void SetStreamSource(host::render::VertexBuffer* buffer, u32 stride);
    void ForceStreamSource(u32 stream);
    // Draws from memory; the device unbinds stream 0 and the indices, and so
    // does the cache. 1 on success.
    i32 DrawPrimitiveUP(u32 type, u32 count, const void* vertices, u32 stride);
    const RenderStateCache* GetRenderStates() const { return &states_; }

    // One of the eight blend modes; another value sets nothing but is kept.
    void SetBlendMode(u32 mode);
    void SetState3D();
    void SetState2D();
    void SetDefaultStates();

    // ------------------------------------------------ what the device learnt
    host::render::Device* GetDevice() const { return device_.Get(); }
    host::render::Api* GetApi() const { return api_.Get(); }
    const host::render::PresentParams& GetPresentParams() const { return params_; }
    u32 GetBackBufferWidth() const { return params_.backBufferWidth; }
    u32 GetBackBufferHeight() const { return params_.backBufferHeight; }
    const host::render::DisplayMode& GetDisplayMode() const { return displayMode_; }
    const host::render::Caps& GetCaps() const { return caps_; }
    u32 GetDeviceType() const { return deviceType_; }
    u32 GetVertexProcessing() const { return vertexProcessing_; }
    u32 GetAdapterCount() const { return adapterCount_; }
    const char* GetAdapterDescription() const { return adapterDescription_; }
    u32 GetDriverVersionHigh() const { return driverVersionHigh_; }
    u32 GetDriverVersionLow() const { return driverVersionLow_; }
    u32 GetAvailableTextureMem() const { return availableTextureMem_; }
    // Candidate i's format when supported, else 0.
    u32 GetBackBufferFormat(u32 i) const { return i < backBufferFormats_.size() ? backBufferFormats_[i] : 0; }
    u32 GetTextureFormat(u32 i) const { return i < textureFormats_.size() ? textureFormats_[i] : 0; }
    const std::vector<host::render::DisplayMode>& GetDisplayModes() const { return displayModes_; }
    i32 IsWindowed() const { return windowed_; }
    // The viewport as last set.
    const host::render::Viewport& GetViewport() const { return viewport_; }

private:
    struct StreamCache {
        host::render::VertexBuffer* buffer;
        u32 force;
    };

    i32 CreateDeviceChain();
    i32 TakeTargets();
    void ReleaseTargets();
    // The caches as the device is right after creation or a Reset: render
    // states from the service's default table, nothing bound.
    void SeedCaches();
    void SetCachedState(u32& cached, u32 state, u32 value);
    void CreateDefaultShader();
    i32 ResetDevice();

    host::render::Ref<host::render::Api> api_;
    host::render::Ref<host::render::Device> device_;
    host::render::PresentParams params_;
    host::render::DisplayMode displayMode_;
    u32 fullScreenFormat_ = 0;

    host::render::Ref<host::render::Surface> backBuffer_;
    host::render::Ref<host::render::Surface> depthSurface_;
    // Not owned: the device holds the bound targets.
    host::render::Surface* colorTarget_ = nullptr;
    host::render::Surface* depthTarget_ = nullptr;

    u32 adapterCount_ = 0;
    char adapterDescription_[512] = {};
    u32 driverVersionHigh_ = 0, driverVersionLow_ = 0;
    u32 deviceType_ = 0;
    u32 vertexProcessing_ = 0;
    u32 availableTextureMem_ = 0;
    host::render::Caps caps_;

    std::vector<u32> backBufferFormats_;
    std::vector<u32> textureFormats_;
    std::vector<host::render::DisplayMode> displayModes_;

    RenderStateCache states_ = {};
    host::render::Texture* texture_ = nullptr;
    std::vector<StreamCache> streams_;
    host::render::IndexBuffer* indices_ = nullptr;
    host::render::VertexDeclaration* declaration_ = nullptr;
    u32 fvf_ = 0;

    host::render::Viewport viewport_;
    i32 windowed_ = 1;
    CSystem* window_ = nullptr;
    CCamera* camera_ = nullptr;
};

// The device the drawing modules reach; null outside Create .. Release.
CGraphicDevice* GetGraphicDevice();
// The default shader slot; the device owns what it holds.
CShader* GetDefaultShader();
void SetDefaultShader(CShader* shader);
