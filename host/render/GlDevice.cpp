// The OpenGL device: its life, frames, targets, clears, copies, readback,
// states and resource creation. Draws are in GlDraw.cpp.
//
// Every target is a framebuffer object, the back buffer too; Present alone
// touches the window, copying the back buffer upside down (GL's window keeps
// its bottom row first, our targets their top row) and swapping.
#include "host/render/GlObjects.h"
#include "host/window/SdlGlAttributes.h"

#include <SDL.h>
#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace host::render {
namespace {

constexpr uint32_t kStreamBytes = 4u << 20;

bool IsFogState(uint32_t state) {
    return state == kRsFogEnable || state == kRsFogColor || state == kRsFogStart || state == kRsFogEnd ||
           state == kRsFogVertexMode;
}

// States the programs read as uniforms rather than GL state.
bool IsUniformState(uint32_t state) {
    return IsFogState(state) || state == kRsAlphaTestEnable || state == kRsAlphaFunc || state == kRsAlphaRef ||
           state == kRsLighting || state == kRsAmbient || state == kRsColorVertex;
}

bool IsIgnoredState(uint32_t state) {
    return state == kRsShadeMode || state == kRsDitherEnable || state == kRsSpecularEnable ||
           state == kRsNormalizeNormals;
}

void Channels(uint32_t argb, float out[4]) {
    out[0] = float((argb >> 16) & 0xFF) / 255.0f;
    out[1] = float((argb >> 8) & 0xFF) / 255.0f;
    out[2] = float(argb & 0xFF) / 255.0f;
    out[3] = float(argb >> 24) / 255.0f;
}

}  // namespace

// ---------------------------------------------------------------- life

GlDeviceImpl::GlDeviceImpl(std::shared_ptr<GlRender::State> backend, uint32_t type, const PresentParams& params,
                           SDL_Window* window, const Caps& caps)
    : core_(std::make_shared<GlCore>()), backend_(std::move(backend)), window_(window), type_(type),
      params_(params), caps_(caps) {
    core_->thread = std::this_thread::get_id();
    core_->backend = backend_;
}

Result GlDeviceImpl::Create(std::shared_ptr<GlRender::State> backend, uint32_t type, const PresentParams& params,
                            SDL_Window* window, const Caps& caps, Device** out) {
    // Mesa's software rasteriser frees its scene memory after every frame
    // and allocates it again in the next, 64 KiB for each state change.
    // Trimmed back to the system each time, every page of it faults again
    // every frame; the process keeps freed memory instead.
    static std::once_flag heap;
    std::call_once(heap, [] {
        mallopt(M_TRIM_THRESHOLD, 256 << 20);
        mallopt(M_MMAP_THRESHOLD, 32 << 20);
    });
    host::window::RequestGlAttributes();
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context) return Result::NotAvailable;
    auto* device = new GlDeviceImpl(std::move(backend), type, params, window, caps);
    if (Result r = device->Start(context); r != Result::Ok) {
        device->Release();
        return r;
    }
    *out = device;
    return Result::Ok;
}

Result GlDeviceImpl::Start(void* context) {
    context_ = context;
    MakeCurrent();
    if (epoxy_gl_version() < 33) return Result::NotAvailable;
    SDL_GL_SetSwapInterval(params_.presentationInterval == kPresentIntervalImmediate ? 0 : 1);
    {
        std::lock_guard lock(core_->mutex);
        core_->device = this;
    }
    gl_.Forget();
    glGenVertexArrays(1, &vao_);
    glBindVertexArray(vao_);
    glGenBuffers(1, &streamVbo_);
    gl_.BindArrayBuffer(streamVbo_);
    streamCapacity_ = kStreamBytes;
    glBufferData(GL_ARRAY_BUFFER, streamCapacity_, nullptr, GL_STREAM_DRAW);
    // What a vertex without the attribute reads.
    glVertexAttrib4f(kLocColor, 1.0f, 1.0f, 1.0f, 1.0f);
    glVertexAttribI4ui(kLocBlendIndices, 0, 0, 0, 0);
    glFrontFace(GL_CCW);

    const uint32_t white = 0xFFFFFFFFu;
    glGenTextures(1, &white_);
    gl_.BindUploadTexture(white_);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_BGRA, GL_UNSIGNED_BYTE, &white);

    MakeBackBuffer();
    ApplyDefaults();
    if (!FixedFor(true) || !FixedFor(false)) return Result::NotAvailable;
    SDL_SetWindowFullscreen(window_, params_.windowed ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
    return glGetError() == GL_NO_ERROR ? Result::Ok : Result::NotAvailable;
}

// The last reference may go on another thread; GL objects then go with the
// context instead of one by one.
GlDeviceImpl::~GlDeviceImpl() {
    const bool gl = context_ && Here();
    if (gl) MakeCurrent();
    ClearBatch();
    effect_ = nullptr;
    for (Texture*& t : textures_) Bind(t, static_cast<Texture*>(nullptr));
    Bind(stream_, static_cast<VertexBuffer*>(nullptr));
    Bind(indices_, static_cast<IndexBuffer*>(nullptr));
    Bind(declaration_, static_cast<VertexDeclaration*>(nullptr));
    Bind(target_, static_cast<Surface*>(nullptr));
    Bind(depthTarget_, static_cast<Surface*>(nullptr));
    if (backBuffer_) backBuffer_->Release();
    if (autoDepth_) autoDepth_->Release();
    if (gl) {
        DrainDeletions();
        for (const auto& [key, fbo] : framebuffers_) glDeleteFramebuffers(1, &fbo);
        for (const auto& [key, sampler] : samplerObjects_) glDeleteSamplers(1, &sampler);
        for (const auto& [key, program] : fixed_) glDeleteProgram(program.name);
        glDeleteTextures(1, &white_);
        glDeleteBuffers(1, &streamVbo_);
        glDeleteVertexArrays(1, &vao_);
    }
    {
        // Resources that outlive the device keep their CPU side only.
        std::lock_guard lock(core_->mutex);
        core_->device = nullptr;
        core_->deletions.clear();
    }
    if (context_) SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context_));
}

void GlDeviceImpl::MakeCurrent() {
    if (SDL_GL_GetCurrentContext() != context_) SDL_GL_MakeCurrent(window_, static_cast<SDL_GLContext>(context_));
}

template <class T>
T* GlDeviceImpl::Own(Object* object) const {
    return GlCast<T>(object, core_.get());
}

void GlDeviceImpl::MakeBackBuffer() {
    const uint32_t w = params_.backBufferWidth, h = params_.backBufferHeight;
    if (!backBuffer_) {
        backBuffer_ = new GlSurfaceImpl(core_, {w, h, params_.backBufferFormat, kUsageRenderTarget, kPoolDefault},
                                        nullptr, 0);
    } else {
        backBuffer_->desc.format = params_.backBufferFormat;
        backBuffer_->Resize(w, h);
    }
    if (!params_.enableAutoDepthStencil) {
        if (autoDepth_) autoDepth_->Release();
        autoDepth_ = nullptr;
    } else if (!autoDepth_) {
        autoDepth_ = new GlSurfaceImpl(core_, {w, h, kFormatD24S8, kUsageDepthStencil, kPoolDefault}, nullptr, 0);
    } else {
        autoDepth_->Resize(w, h);
    }
    backBuffer_->GlName();
    if (autoDepth_) autoDepth_->GlName();
}

// The state of a new or reset device: the default table, nothing bound,
// the back buffer and the automatic depth surface as targets.
void GlDeviceImpl::ApplyDefaults() {
    SetDefaultStates(rs_, stages_, samplers_);
    for (Texture*& t : textures_) Bind(t, static_cast<Texture*>(nullptr));
    Bind(stream_, static_cast<VertexBuffer*>(nullptr));
    streamOffset_ = streamStride_ = 0;
    Bind(indices_, static_cast<IndexBuffer*>(nullptr));
    Bind(declaration_, static_cast<VertexDeclaration*>(nullptr));
    fvf_ = 0;
    layout_ = nullptr;
    transforms_.clear();
    material_ = {};
    Bind(target_, static_cast<Surface*>(backBuffer_));
    Bind(depthTarget_, static_cast<Surface*>(autoDepth_));
    viewport_ = {0, 0, params_.backBufferWidth, params_.backBufferHeight, 0.0f, 1.0f};
    inScene_ = false;
    effect_ = nullptr;
    statesDirty_ = targetDirty_ = true;
    ++fixedVersion_;
    ++hostVersion_;
}

// ---------------------------------------------------------------- deferred GL work

void GlDeviceImpl::DrainPending() {
    std::lock_guard lock(core_->mutex);
    std::vector<GlResource*> list;
    list.swap(core_->pending);
    for (GlResource* r : list) {
        r->listed_ = false;
        if (r->scheduled_.exchange(false)) r->Realize();
    }
}

void GlDeviceImpl::DrainDeletions() {
    std::vector<GlDeletion> list;
    {
        std::lock_guard lock(core_->mutex);
        list.swap(core_->deletions);
    }
    for (const GlDeletion& d : list) {
        gl_.Deleted(d.kind, d.name);
        switch (d.kind) {
        case GlDeletion::Texture: glDeleteTextures(1, &d.name); break;
        case GlDeletion::Renderbuffer: glDeleteRenderbuffers(1, &d.name); break;
        case GlDeletion::Buffer:
            if (pointedBuffer_ == d.name) pointedLayout_ = 0, pointedBuffer_ = 0;
            glDeleteBuffers(1, &d.name);
            break;
        case GlDeletion::Program: glDeleteProgram(d.name); break;
        case GlDeletion::SurfaceGone:
            for (auto it = framebuffers_.begin(); it != framebuffers_.end();) {
                if (it->first.first == d.surfaceId || it->first.second == d.surfaceId) {
                    gl_.Deleted(GlDeletion::SurfaceGone, it->second);
                    if (targetFbo_[0] == it->second || targetFbo_[1] == it->second) targetDirty_ = true;
                    glDeleteFramebuffers(1, &it->second);
                    it = framebuffers_.erase(it);
                } else {
                    ++it;
                }
            }
            break;
        }
    }
}

GLuint GlDeviceImpl::FramebufferFor(GlSurfaceImpl* colour, GlSurfaceImpl* depth) {
    const std::pair<uint64_t, uint64_t> key{colour->id, depth ? depth->id : 0};
    if (auto it = framebuffers_.find(key); it != framebuffers_.end()) return it->second;
    GLuint fbo = 0;
    glGenFramebuffers(1, &fbo);
    gl_.BindDrawFramebuffer(fbo);
    glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour->GlNameUnprepared(),
                           GLint(colour->level));
    if (depth)
        glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                                  depth->GlNameUnprepared());
    if (GLenum status = glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER); status != GL_FRAMEBUFFER_COMPLETE)
        std::fprintf(stderr, "render: framebuffer incomplete (0x%x)\n", status);
    framebuffers_[key] = fbo;
    return fbo;
}

GLuint GlDeviceImpl::SamplerFor(uint32_t minFilter, uint32_t magFilter, uint32_t address) {
    const uint32_t key = minFilter | magFilter << 4 | address << 8;
    if (auto it = samplerObjects_.find(key); it != samplerObjects_.end()) return it->second;
    GLuint sampler = 0;
    glGenSamplers(1, &sampler);
    glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, minFilter == kFilterLinear ? GL_LINEAR : GL_NEAREST);
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, magFilter == kFilterLinear ? GL_LINEAR : GL_NEAREST);
    const GLint wrap = address == kAddressClamp ? GL_CLAMP_TO_EDGE : GL_REPEAT;
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, wrap);
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, wrap);
    samplerObjects_[key] = sampler;
    return sampler;
}

bool GlDeviceImpl::Lost() {
    std::lock_guard lock(backend_->mutex);
    return backend_->lost;
}

// ---------------------------------------------------------------- adapter facts

Result GlDeviceImpl::GetDeviceCaps(Caps& out) {
    out = caps_;
    out.deviceType = type_;
    return Result::Ok;
}

Result GlDeviceImpl::GetDisplayMode(DisplayMode& out) {
    if (!params_.windowed) {
        out = {params_.backBufferWidth, params_.backBufferHeight, 60, params_.backBufferFormat};
        return Result::Ok;
    }
    SDL_DisplayMode mode;
    int display = SDL_GetWindowDisplayIndex(window_);
    if (SDL_GetDesktopDisplayMode(display < 0 ? 0 : display, &mode) != 0) return Result::NotAvailable;
    out = {uint32_t(mode.w), uint32_t(mode.h), uint32_t(mode.refresh_rate), kFormatX8R8G8B8};
    return Result::Ok;
}

// ---------------------------------------------------------------- lost device

Result GlDeviceImpl::TestCooperativeLevel() {
    std::lock_guard lock(backend_->mutex);
    if (!backend_->lost) return Result::Ok;
    if (backend_->lostAnswers > 0) {
        --backend_->lostAnswers;
        return Result::DeviceLost;
    }
    return Result::DeviceNotReset;
}

// GL would keep every object over a Reset, but Direct3D 9 refuses one while
// a default-pool resource or a reference to the back buffer or the automatic
// depth surface lives; refusing here too keeps a forgotten release visible.
bool GlDeviceImpl::ResetBlocked() const {
    const uint32_t own = 1 + (autoDepth_ ? 1 : 0);
    {
        std::lock_guard lock(core_->mutex);
        if (core_->defaultPoolLive > own) return true;
    }
    // The device's own reference, and one more while bound as the target.
    if (backBuffer_->Refs() > 1u + (target_ == backBuffer_)) return true;
    return autoDepth_ && autoDepth_->Refs() > 1u + (depthTarget_ == autoDepth_);
}

Result GlDeviceImpl::Reset(PresentParams& params) {
    if (!Here()) return Result::InvalidCall;
    {
        std::lock_guard lock(backend_->mutex);
        if (backend_->lost && backend_->lostAnswers > 0) return Result::DeviceLost;
    }
    if (ResetBlocked()) return Result::InvalidCall;
    PresentParams p = params;
    if (!p.window) p.window = params_.window;
    if (Result r = CompletePresentParams(p, params_.window, caps_.maxTextureWidth); r != Result::Ok) return r;
    MakeCurrent();
    Flush();
    params = p;
    params_ = p;
    Bind(target_, static_cast<Surface*>(nullptr));
    Bind(depthTarget_, static_cast<Surface*>(nullptr));
    SDL_SetWindowFullscreen(window_, params_.windowed ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
    SDL_GL_SetSwapInterval(params_.presentationInterval == kPresentIntervalImmediate ? 0 : 1);
    MakeBackBuffer();
    ApplyDefaults();
    std::lock_guard lock(backend_->mutex);
    backend_->lost = false;
    backend_->lostAnswers = 0;
    return Result::Ok;
}

// ---------------------------------------------------------------- frames

Result GlDeviceImpl::BeginScene() {
    if (!Here() || inScene_) return Result::InvalidCall;
    MakeCurrent();
    DrainDeletions();
    DrainPending();
    inScene_ = true;
    return Result::Ok;
}

Result GlDeviceImpl::EndScene() {
    if (!Here() || !inScene_) return Result::InvalidCall;
    inScene_ = false;
    return Result::Ok;
}

Result GlDeviceImpl::Present() {
    if (!Here() || inScene_) return Result::InvalidCall;
    if (Lost()) return Result::DeviceLost;
    MakeCurrent();
    Flush();
    DrainDeletions();
    DrainPending();
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(window_, &width, &height);
    if (width > 0 && height > 0) {
        const int bw = int(params_.backBufferWidth), bh = int(params_.backBufferHeight);
        int x0 = 0, y0 = 0, x1 = width, y1 = height;
        gl_.Scissor(false);
        gl_.BindDrawFramebuffer(0);
        if (!params_.windowed && int64_t(bw) * height != int64_t(bh) * width) {
            // Full screen keeps the back buffer's shape: bars around it.
            if (int64_t(bw) * height > int64_t(bh) * width) {
                const int h = int(int64_t(bh) * width / bw);
                y0 = (height - h) / 2, y1 = y0 + h;
            } else {
                const int w = int(int64_t(bw) * height / bh);
                x0 = (width - w) / 2, x1 = x0 + w;
            }
            gl_.ColorMask(true, true, true, true);
            glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
            glClear(GL_COLOR_BUFFER_BIT);
        }
        gl_.BindReadFramebuffer(FramebufferFor(backBuffer_, nullptr));
        gl_.BindDrawFramebuffer(0);
        const GLenum filter = (x1 - x0 == bw && y1 - y0 == bh) ? GL_NEAREST : GL_LINEAR;
        glBlitFramebuffer(0, 0, bw, bh, x0, y1, x1, y0, GL_COLOR_BUFFER_BIT, filter);
    }
    SDL_GL_SwapWindow(window_);
    statesDirty_ = true;
    return Result::Ok;
}

Result GlDeviceImpl::Clear(uint32_t flags, uint32_t argb, float z, uint32_t stencil) {
    constexpr uint32_t all = kClearTarget | kClearZBuffer | kClearStencil;
    if (!Here() || flags == 0 || (flags & ~all)) return Result::InvalidCall;
    auto* depth = static_cast<GlSurfaceImpl*>(depthTarget_);
    if ((flags & (kClearZBuffer | kClearStencil)) && !depth) return Result::InvalidCall;
    if ((flags & kClearZBuffer) && !(z >= 0.0f && z <= 1.0f)) return Result::InvalidCall;
    MakeCurrent();
    Flush();
    PrepareTarget(flags & (kClearZBuffer | kClearStencil));
    // GL's clear obeys the write masks and the scissor; Direct3D's clears
    // the viewport whatever the masks say.
    gl_.Scissor(true, GLint(viewport_.x), GLint(viewport_.y), GLsizei(viewport_.width), GLsizei(viewport_.height));
    GLbitfield bits = 0;
    if (flags & kClearTarget) {
        float c[4];
        Channels(argb, c);
        if (IgnoresAlpha(static_cast<GlSurfaceImpl*>(target_)->desc.format)) c[3] = 1.0f;
        gl_.ColorMask(true, true, true, true);
        glClearColor(c[0], c[1], c[2], c[3]);
        bits |= GL_COLOR_BUFFER_BIT;
    }
    if (flags & kClearZBuffer) {
        gl_.DepthWrite(true);
        glClearDepth(z);
        bits |= GL_DEPTH_BUFFER_BIT;
    }
    if (flags & kClearStencil) {
        gl_.StencilWrite(0xFF);
        glClearStencil(GLint(stencil & 0xFF));
        bits |= GL_STENCIL_BUFFER_BIT;
    }
    glClear(bits);
    statesDirty_ = true;
    return Result::Ok;
}

void GlDeviceImpl::ClearSurface(GlSurfaceImpl* surface, uint32_t argb) {
    MakeCurrent();
    gl_.BindDrawFramebuffer(FramebufferFor(surface, nullptr));
    gl_.Scissor(false);
    gl_.ColorMask(true, true, true, true);
    float c[4];
    Channels(argb, c);
    if (IgnoresAlpha(surface->desc.format)) c[3] = 1.0f;
    glClearColor(c[0], c[1], c[2], c[3]);
    glClear(GL_COLOR_BUFFER_BIT);
    statesDirty_ = true;
}

// ---------------------------------------------------------------- targets

Result GlDeviceImpl::SetViewport(const Viewport& v) {
    if (!Here()) return Result::InvalidCall;
    SurfaceDesc d;
    target_->GetDesc(d);
    const bool inside = uint64_t(v.x) + v.width <= d.width && uint64_t(v.y) + v.height <= d.height;
    const bool depth = v.minZ >= 0.0f && v.maxZ <= 1.0f && v.minZ <= v.maxZ;
    if (!inside || !depth) return Result::InvalidCall;
    if (v == viewport_) return Result::Ok;
    Flush();
    viewport_ = v;
    statesDirty_ = true;
    ++fixedVersion_;
    ++hostVersion_;
    return Result::Ok;
}

Result GlDeviceImpl::GetViewport(Viewport& out) {
    out = viewport_;
    return Result::Ok;
}

Result GlDeviceImpl::SetRenderTarget(uint32_t index, Surface* surface) {
    auto* s = Own<GlSurfaceImpl>(surface);
    if (!Here() || index != 0 || !s || !(s->desc.usage & kUsageRenderTarget) || !s->IsColor())
        return Result::InvalidCall;
    Flush();
    Bind(target_, surface);
    viewport_ = {0, 0, s->desc.width, s->desc.height, 0.0f, 1.0f};
    statesDirty_ = targetDirty_ = true;
    ++fixedVersion_;
    ++hostVersion_;
    return Result::Ok;
}

Result GlDeviceImpl::GetRenderTarget(uint32_t index, Surface** out) {
    if (out) *out = nullptr;
    if (index != 0 || !out) return Result::InvalidCall;
    *out = target_;
    target_->AddRef();
    return Result::Ok;
}

Result GlDeviceImpl::SetDepthStencilSurface(Surface* surface) {
    auto* s = Own<GlSurfaceImpl>(surface);
    if (!Here() || (surface && (!s || !s->IsDepth()))) return Result::InvalidCall;
    if (surface == depthTarget_) return Result::Ok;
    Flush();
    Bind(depthTarget_, surface);
    statesDirty_ = targetDirty_ = true;
    return Result::Ok;
}

Result GlDeviceImpl::GetDepthStencilSurface(Surface** out) {
    if (out) *out = nullptr;
    if (!out) return Result::InvalidCall;
    if (!depthTarget_) return Result::NotAvailable;
    *out = depthTarget_;
    depthTarget_->AddRef();
    return Result::Ok;
}

// ---------------------------------------------------------------- resources (any thread)

Result GlDeviceImpl::CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage, uint32_t format,
                                   uint32_t pool, Texture** out) {
    if (out) *out = nullptr;
    if (!out || !ValidTextureRequest(width, height, levels, usage, format, pool, caps_.maxTextureWidth,
                                     caps_.maxTextureHeight))
        return Result::InvalidCall;
    *out = new GlTextureImpl(core_, width, height, levels, usage, format, pool);
    return Result::Ok;
}

Result GlDeviceImpl::CreateDepthStencilSurface(uint32_t width, uint32_t height, uint32_t format, uint32_t multiSample,
                                               uint32_t quality, bool /*discard*/, Surface** out) {
    if (out) *out = nullptr;
    if (!out || !width || !height || width > caps_.maxTextureWidth || height > caps_.maxTextureHeight ||
        format != kFormatD24S8 || multiSample || quality)
        return Result::InvalidCall;
    auto* s = new GlSurfaceImpl(core_, {width, height, format, kUsageDepthStencil, kPoolDefault}, nullptr, 0);
    {
        std::lock_guard lock(core_->mutex);
        s->Schedule();
    }
    *out = s;
    return Result::Ok;
}

Result GlDeviceImpl::CreateVertexBuffer(uint32_t bytes, uint32_t usage, uint32_t fvf, uint32_t pool,
                                        VertexBuffer** out) {
    if (out) *out = nullptr;
    if (!out || (fvf && !FvfStride(fvf)) || !ValidBufferRequest(bytes, usage, pool)) return Result::InvalidCall;
    if (bytes > (256u << 20)) return Result::OutOfMemory;
    *out = new GlVertexBufferImpl(core_, BufferDesc{bytes, usage, fvf, kFormatUnknown, pool});
    return Result::Ok;
}

Result GlDeviceImpl::CreateIndexBuffer(uint32_t bytes, uint32_t usage, uint32_t format, uint32_t pool,
                                       IndexBuffer** out) {
    if (out) *out = nullptr;
    if (!out || (format != kFormatIndex16 && format != kFormatIndex32) || !ValidBufferRequest(bytes, usage, pool))
        return Result::InvalidCall;
    if (bytes > (256u << 20)) return Result::OutOfMemory;
    *out = new GlIndexBufferImpl(core_, BufferDesc{bytes, usage, 0, format, pool});
    return Result::Ok;
}

Result GlDeviceImpl::CreateVertexDeclaration(const VertexElement* elements, uint32_t count,
                                             VertexDeclaration** out) {
    if (out) *out = nullptr;
    if (!out || !ValidDeclaration(elements, count)) return Result::InvalidCall;
    *out = new GlDeclarationImpl(core_, std::vector<VertexElement>(elements, elements + count));
    return Result::Ok;
}

// Made on a loader thread, an effect compiles at its first Begin.
Result GlDeviceImpl::CreateEffect(const EffectDesc& desc, Effect** out) {
    if (out) *out = nullptr;
    if (!out) return Result::InvalidCall;
    auto* effect = new GlEffectImpl(core_, desc, this);
    if (Here()) {
        MakeCurrent();
        std::string log;
        if (!effect->Compile(log)) {
            std::fprintf(stderr, "render: effect does not build: %s\n", log.c_str());
            effect->Release();
            return Result::InvalidCall;
        }
    }
    *out = effect;
    return Result::Ok;
}

// ---------------------------------------------------------------- copies

Result GlDeviceImpl::StretchRect(Surface* source, const Rect* sourceRect, Surface* dest, const Rect* destRect,
                                 uint32_t filter) {
    auto* src = Own<GlSurfaceImpl>(source);
    auto* dst = Own<GlSurfaceImpl>(dest);
    Rect s, d;
    if (!Here() || !src || !dst || src == dst || !src->IsColor() || !dst->IsColor() ||
        src->desc.pool != kPoolDefault || dst->desc.pool != kPoolDefault || !(dst->desc.usage & kUsageRenderTarget) ||
        filter > kFilterLinear || !src->Resolve(sourceRect, s) || !dst->Resolve(destRect, d))
        return Result::InvalidCall;
    MakeCurrent();
    Flush();
    src->GlName();
    dst->GlName();
    const GLuint read = FramebufferFor(src, nullptr);
    gl_.BindDrawFramebuffer(FramebufferFor(dst, nullptr));
    gl_.BindReadFramebuffer(read);
    gl_.Scissor(false);
    glBlitFramebuffer(s.left, s.top, s.right, s.bottom, d.left, d.top, d.right, d.bottom, GL_COLOR_BUFFER_BIT,
                      filter == kFilterLinear ? GL_LINEAR : GL_NEAREST);
    if (IgnoresAlpha(src->desc.format) && !IgnoresAlpha(dst->desc.format)) {
        // What an X8 surface stores as alpha is not its alpha: 1 is.
        gl_.Scissor(true, d.left, d.top, d.Width(), d.Height());
        gl_.ColorMask(false, false, false, true);
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    statesDirty_ = true;
    return Result::Ok;
}

Result GlDeviceImpl::GetRenderTargetData(Surface* renderTarget, Surface* dest) {
    auto* src = Own<GlSurfaceImpl>(renderTarget);
    auto* dst = Own<GlSurfaceImpl>(dest);
    if (!Here() || !src || !dst || !src->IsColor() || !(src->desc.usage & kUsageRenderTarget) ||
        src->desc.pool != kPoolDefault || dst->desc.pool != kPoolSystemMem || dst->locked ||
        src->desc.width != dst->desc.width || src->desc.height != dst->desc.height ||
        src->desc.format != dst->desc.format || !dst->HasPixels())
        return Result::InvalidCall;
    MakeCurrent();
    Flush();
    src->GlName();
    gl_.BindReadFramebuffer(FramebufferFor(src, nullptr));
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    std::lock_guard lock(core_->mutex);
    glReadPixels(0, 0, GLsizei(src->desc.width), GLsizei(src->desc.height), GlPixelOrder(dst->desc.format),
                 GL_UNSIGNED_BYTE, dst->pixels.data());
    if (IgnoresAlpha(dst->desc.format))
        for (size_t i = 3; i < dst->pixels.size(); i += 4) dst->pixels[i] = 0xFF;
    return Result::Ok;
}

Result GlDeviceImpl::ReadSurface(GlSurfaceImpl* surface, const Rect& rect, uint32_t* argb) {
    MakeCurrent();
    Flush();
    surface->GlName();
    gl_.BindReadFramebuffer(FramebufferFor(surface, nullptr));
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    // B, G, R, A bytes are ARGB words on a little-endian machine.
    glReadPixels(rect.left, rect.top, rect.Width(), rect.Height(), GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, argb);
    if (IgnoresAlpha(surface->desc.format))
        for (size_t i = 0, n = size_t(rect.Width()) * size_t(rect.Height()); i < n; ++i) argb[i] |= 0xFF000000u;
    return Result::Ok;
}

// ---------------------------------------------------------------- states

Result GlDeviceImpl::SetRenderState(uint32_t state, uint32_t value) {
    if (!Here() || !ValidRenderState(state, value)) return Result::InvalidCall;
    if (rs_[state] == value) return Result::Ok;
    // The destination factor travels with a batch's vertices.
    if (IsIgnoredState(state) || state == kRsDestBlend) {
        rs_[state] = value;
        return Result::Ok;
    }
    Flush();
    rs_[state] = value;
    if (IsUniformState(state)) {
        ++fixedVersion_;
        ++hostVersion_;
    } else {
        statesDirty_ = true;
    }
    return Result::Ok;
}

Result GlDeviceImpl::GetRenderState(uint32_t state, uint32_t& value) {
    if (!KnownRenderState(state)) return Result::InvalidCall;
    value = rs_[state];
    return Result::Ok;
}

Result GlDeviceImpl::SetSamplerState(uint32_t sampler, uint32_t type, uint32_t value) {
    if (!Here() || !ValidSamplerState(sampler, type, value)) return Result::InvalidCall;
    if (samplers_[sampler][type] == value) return Result::Ok;
    // Stage 0's filters travel with a batch's vertices.
    samplers_[sampler][type] = value;
    return Result::Ok;
}

Result GlDeviceImpl::SetTextureStageState(uint32_t stage, uint32_t type, uint32_t value) {
    if (!Here() || !ValidStageState(stage, type, value)) return Result::InvalidCall;
    if (stages_[stage][type] == value) return Result::Ok;
    if (stage == 0) {
        Flush();
        ++fixedVersion_;
    }
    stages_[stage][type] = value;
    return Result::Ok;
}

Result GlDeviceImpl::SetTexture(uint32_t stage, Texture* texture) {
    auto* t = Own<GlTextureImpl>(texture);
    if (!Here() || stage >= kStageCount || (texture && !t)) return Result::InvalidCall;
    if (textures_[stage] == texture) return Result::Ok;
    // Stage 0's texture travels with a batch's vertices.
    Bind(textures_[stage], texture);
    return Result::Ok;
}

Result GlDeviceImpl::SetTransform(uint32_t transform, const Matrix& m) {
    if (!Here() || !ValidTransform(transform)) return Result::InvalidCall;
    auto it = transforms_.find(transform);
    if (it != transforms_.end() && std::memcmp(&it->second, &m, sizeof m) == 0) return Result::Ok;
    const bool used = transform == kTransformView || transform == kTransformProjection || transform == kTransformWorld;
    if (used) Flush();
    transforms_[transform] = m;
    if (used) ++fixedVersion_;
    return Result::Ok;
}

Result GlDeviceImpl::GetTransform(uint32_t transform, Matrix& out) {
    if (!ValidTransform(transform)) return Result::InvalidCall;
    auto it = transforms_.find(transform);
    out = it == transforms_.end() ? IdentityMatrix() : it->second;
    return Result::Ok;
}

Result GlDeviceImpl::SetMaterial(const Material& material) {
    if (!Here()) return Result::InvalidCall;
    if (std::memcmp(&material, &material_, sizeof material) == 0) return Result::Ok;
    Flush();
    material_ = material;
    ++fixedVersion_;
    return Result::Ok;
}

// ---------------------------------------------------------------- vertex input

Result GlDeviceImpl::SetStreamSource(uint32_t stream, VertexBuffer* buffer, uint32_t offset, uint32_t stride) {
    auto* b = Own<GlVertexBufferImpl>(buffer);
    if (!Here() || stream != 0 || (buffer && (!b || offset >= b->desc.bytes || stride == 0)))
        return Result::InvalidCall;
    Bind(stream_, buffer);
    streamOffset_ = buffer ? offset : 0;
    streamStride_ = buffer ? stride : 0;
    return Result::Ok;
}

Result GlDeviceImpl::SetIndices(IndexBuffer* buffer) {
    auto* b = Own<GlIndexBufferImpl>(buffer);
    if (!Here() || (buffer && !b)) return Result::InvalidCall;
    Bind(indices_, buffer);
    return Result::Ok;
}

Result GlDeviceImpl::SetVertexDeclaration(VertexDeclaration* declaration) {
    auto* d = Own<GlDeclarationImpl>(declaration);
    if (!Here() || (declaration && !d)) return Result::InvalidCall;
    Bind(declaration_, declaration);
    fvf_ = 0;
    layout_ = d ? &d->layout : nullptr;
    return Result::Ok;
}

Result GlDeviceImpl::SetFVF(uint32_t fvf) {
    if (!Here() || (fvf && !FvfStride(fvf))) return Result::InvalidCall;
    fvf_ = fvf;
    Bind(declaration_, static_cast<VertexDeclaration*>(nullptr));
    if (fvf) fvfLayout_ = LayoutOfFvf(fvf);
    layout_ = fvf ? &fvfLayout_ : nullptr;
    return Result::Ok;
}

}  // namespace host::render
