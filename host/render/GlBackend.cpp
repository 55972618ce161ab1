// The OpenGL backend's Api: SDL video, the one adapter and its modes, and
// device creation. Every CreateDevice attempt, whatever its type and
// vertex-processing flags, asks for the same OpenGL 3.3 core context.
#include "host/render/GlObjects.h"

#include "host/window/Window.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <tuple>

namespace host::render {
namespace {

// What one throw-away context tells of the GL at hand.
struct Probe {
    bool ok = false;
    std::string renderer, version;
    uint32_t maxTexture = 0;
};

// Once per process: a hidden window with an OpenGL 3.3 core context.
const Probe& ProbeGl() {
    static std::mutex mutex;
    static Probe probe;
    static bool done = false;
    std::lock_guard lock(mutex);
    if (done) return probe;
    done = true;
    SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
    SDL_GLContext previous = SDL_GL_GetCurrentContext();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_Window* window = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window) return probe;
    if (SDL_GLContext context = SDL_GL_CreateContext(window)) {
        if (epoxy_gl_version() >= 33) {
            GLint size = 0;
            glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
            auto text = [](GLenum name) {
                const auto* s = reinterpret_cast<const char*>(glGetString(name));
                return std::string(s ? s : "");
            };
            probe.renderer = text(GL_RENDERER);
            probe.version = text(GL_VERSION);
            probe.maxTexture = uint32_t(std::max(size, 0));
            probe.ok = true;
        }
        SDL_GL_DeleteContext(context);
    }
    SDL_DestroyWindow(window);
    if (previous) SDL_GL_MakeCurrent(previousWindow, previous);
    return probe;
}

// Direct3D lists full-screen modes; the back buffer is scaled to the
// desktop in full screen, so the usual sizes up to the desktop's are all
// offered besides the display's own.
std::vector<DisplayMode> Modes() {
    std::vector<DisplayMode> modes;
    SDL_DisplayMode desktop;
    if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) return modes;
    const uint32_t dw = uint32_t(std::max(desktop.w, 0)), dh = uint32_t(std::max(desktop.h, 0));
    const uint32_t refresh = uint32_t(std::max(desktop.refresh_rate, 0));
    modes.push_back({dw, dh, refresh, kFormatX8R8G8B8});
    for (int i = 0, n = SDL_GetNumDisplayModes(0); i < n; ++i) {
        SDL_DisplayMode m;
        if (SDL_GetDisplayMode(0, i, &m) == 0 && m.w > 0 && m.h > 0)
            modes.push_back({uint32_t(m.w), uint32_t(m.h), uint32_t(std::max(m.refresh_rate, 0)), kFormatX8R8G8B8});
    }
    static constexpr uint32_t kUsual[][2] = {{640, 480}, {800, 600}, {1024, 768}, {1280, 720}, {1280, 1024}, {1920, 1080}};
    for (const auto& s : kUsual)
        if (s[0] <= dw && s[1] <= dh) modes.push_back({s[0], s[1], refresh, kFormatX8R8G8B8});
    auto key = [](const DisplayMode& m) { return std::tuple(m.width, m.height, m.refreshRate); };
    std::sort(modes.begin(), modes.end(), [&](const auto& a, const auto& b) { return key(a) < key(b); });
    modes.erase(std::unique(modes.begin(), modes.end(), [&](const auto& a, const auto& b) { return key(a) == key(b); }),
                modes.end());
    std::erase_if(modes, [](const DisplayMode& m) { return m.width == 0 || m.height == 0; });
    return modes;
}

bool IsDisplayFormat(uint32_t f) { return f == kFormatX8R8G8B8 || f == kFormatR5G6B5 || f == kFormatX1R5G5B5; }

class GlApi : public Api {
public:
    GlApi(std::shared_ptr<GlRender::State> state, const Probe& probe) : state_(std::move(state)), probe_(probe) {}
    ~GlApi() override { SDL_QuitSubSystem(SDL_INIT_VIDEO); }

    uint32_t GetAdapterCount() override { return 1; }

    Result GetAdapterIdentifier(uint32_t adapter, uint32_t /*flags*/, AdapterIdentifier& out) override {
        if (adapter != 0) return Result::InvalidCall;
        out.description = probe_.renderer + " (OpenGL " + probe_.version + ")";
        unsigned major = 0, minor = 0;
        std::sscanf(probe_.version.c_str(), "%u.%u", &major, &minor);
        out.driverVersionHigh = major << 16 | minor;
        out.driverVersionLow = 0;
        return Result::Ok;
    }

    Result GetAdapterDisplayMode(uint32_t adapter, DisplayMode& out) override {
        SDL_DisplayMode mode;
        if (adapter != 0 || SDL_GetDesktopDisplayMode(0, &mode) != 0) return Result::InvalidCall;
        out = {uint32_t(mode.w), uint32_t(mode.h), uint32_t(std::max(mode.refresh_rate, 0)), kFormatX8R8G8B8};
        return Result::Ok;
    }

    uint32_t GetAdapterModeCount(uint32_t adapter, uint32_t format) override {
        return adapter == 0 && format == kFormatX8R8G8B8 ? uint32_t(Modes().size()) : 0;
    }

    Result EnumAdapterModes(uint32_t adapter, uint32_t format, uint32_t index, DisplayMode& out) override {
        if (adapter != 0 || format != kFormatX8R8G8B8) return Result::InvalidCall;
        std::vector<DisplayMode> modes = Modes();
        if (index >= modes.size()) return Result::InvalidCall;
        out = modes[index];
        return Result::Ok;
    }

    Result CheckDeviceType(uint32_t adapter, uint32_t type, uint32_t displayFormat, uint32_t backBufferFormat,
                           bool windowed) override {
        if (adapter != 0 || (type != kDeviceHal && type != kDeviceRef)) return Result::InvalidCall;
        const bool pairs = backBufferFormat == displayFormat ||
                           (displayFormat == kFormatX8R8G8B8 && backBufferFormat == kFormatA8R8G8B8) ||
                           (windowed && backBufferFormat == kFormatUnknown);
        return IsDisplayFormat(displayFormat) && pairs ? Result::Ok : Result::NotAvailable;
    }

    Result CheckDeviceFormat(uint32_t adapter, uint32_t type, uint32_t /*adapterFormat*/, uint32_t usage,
                             uint32_t resourceType, uint32_t format) override {
        if (adapter != 0 || (type != kDeviceHal && type != kDeviceRef)) return Result::InvalidCall;
        const bool resource = resourceType == kResourceTexture || resourceType == kResourceSurface;
        const bool depth = format == kFormatD24S8 && (usage & kUsageDepthStencil) && resourceType == kResourceSurface;
        return resource && (IsColorFormat(format) || depth) ? Result::Ok : Result::NotAvailable;
    }

    Result CreateDevice(uint32_t adapter, uint32_t type, host::window::Handle focus, uint32_t flags,
                        PresentParams& params, Device** out) override {
        if (out) *out = nullptr;
        if (!out || adapter != 0 || !ValidCreateRequest(type, flags)) return Result::InvalidCall;
        if (probe_.maxTexture < 2048) return Result::NotAvailable;   // the engine's 2048-texel targets
        PresentParams p = params;
        if (!p.window) p.window = focus;
        if (Result r = CompletePresentParams(p, focus, probe_.maxTexture); r != Result::Ok) return r;
        auto* window = static_cast<SDL_Window*>(host::window::GetSdlWindow(p.window));
        if (!window) return Result::NotAvailable;
        Caps caps;
        caps.deviceType = type;
        caps.maxTextureWidth = caps.maxTextureHeight = probe_.maxTexture;
        caps.maxStreams = 1;
        caps.maxVertexIndex = 0xFFFFFF;
        caps.maxPrimitiveCount = 0xFFFFFF;
        caps.maxVertexBlendMatrices = 4;
        caps.vertexShaderVersion = 0xFFFE0300;
        caps.pixelShaderVersion = 0xFFFF0300;
        Result r = GlDeviceImpl::Create(state_, type, p, window, caps, out);
        if (r == Result::Ok) params = p;
        return r;
    }

private:
    std::shared_ptr<GlRender::State> state_;
    Probe probe_;
};

}  // namespace

Result CompletePresentParams(PresentParams& params, host::window::Handle focus, uint32_t maxSize) {
    PresentParams p = params;
    host::window::Handle window = p.window ? p.window : focus;
    if (p.backBufferWidth == 0 || p.backBufferHeight == 0) {
        if (!p.windowed || !host::window::IsWindow(window)) return Result::InvalidCall;
        host::window::Rect client = host::window::GetClientRect(window);
        if (p.backBufferWidth == 0) p.backBufferWidth = uint32_t(std::max(1, client.Width()));
        if (p.backBufferHeight == 0) p.backBufferHeight = uint32_t(std::max(1, client.Height()));
    }
    if (p.backBufferWidth > maxSize || p.backBufferHeight > maxSize) return Result::InvalidCall;
    if (p.backBufferCount > 3 || p.swapEffect < 1 || p.swapEffect > 3) return Result::InvalidCall;
    if (p.enableAutoDepthStencil && p.autoDepthStencilFormat != kFormatD24S8) return Result::InvalidCall;
    if (p.presentationInterval != kPresentIntervalImmediate && p.presentationInterval > 4) return Result::InvalidCall;
    if (p.backBufferFormat == kFormatUnknown && p.windowed) p.backBufferFormat = kFormatX8R8G8B8;
    if (!IsColorFormat(p.backBufferFormat)) return Result::InvalidCall;
    if (p.backBufferCount == 0) p.backBufferCount = 1;
    params = p;
    return Result::Ok;
}

GlRender::GlRender() : state_(std::make_shared<State>()) {}
GlRender::~GlRender() = default;

Ref<Api> GlRender::CreateApi() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return nullptr;
    const Probe& probe = ProbeGl();
    if (!probe.ok) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return nullptr;
    }
    return Ref<Api>::Adopt(new GlApi(state_, probe));
}

void GlRender::SimulateLoss(uint32_t lostAnswers) {
    std::lock_guard lock(state_->mutex);
    state_->lost = true;
    state_->lostAnswers = lostAnswers;
}

GlRender& InstallGlRender() {
    auto gl = std::make_unique<GlRender>();
    GlRender& ref = *gl;
    InstallBackend(std::move(gl));
    return ref;
}

std::unique_ptr<Backend> CreateRealBackend() { return std::make_unique<GlRender>(); }

}  // namespace host::render
