// The OpenGL backend's objects, shared by its source files.
//
// Threads: a device's GL context belongs to the thread that created it.
// Resources may be created, locked and released on any thread; each keeps
// its CPU description and data, and its GL object is made or refreshed on
// the context thread, at first use or when BeginScene/Present drain the
// pending list. GL names of released resources wait in a deletion list for
// the context thread too. One mutex per device (GlCore::mutex) guards all of
// that; draw and state calls belong to the context thread alone.
#pragma once

#include "host/render/DeviceRules.h"
#include "host/render/EffectFile.h"
#include "host/render/GlRender.h"

#include <epoxy/gl.h>

#include <array>
#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct SDL_Window;

namespace host::render {

class GlDeviceImpl;
class GlEffectImpl;
class GlResource;
struct GlState;

struct GlRender::State {
    std::mutex mutex;
    bool lost = false;
    uint32_t lostAnswers = 0;
};

// A GL object to delete on the context thread; a surface's id drops the
// framebuffers it was part of.
struct GlDeletion {
    enum Kind : uint8_t { Texture, Renderbuffer, Buffer, Program, SurfaceGone };
    Kind kind;
    GLuint name;
    uint64_t surfaceId;
};

// What a device shares with its resources; lives while any of them does.
struct GlCore {
    std::mutex mutex;                  // resources' CPU data and the members below
    std::thread::id thread;            // the context's
    GlDeviceImpl* device = nullptr;    // null once the device (and every GL object) is gone
    std::vector<GlResource*> pending;  // waiting for GL work
    std::vector<GlDeletion> deletions;
    std::atomic<uint64_t> nextSurfaceId{1};
    std::atomic<uint32_t> nextLayoutId{1};
    std::shared_ptr<GlRender::State> backend;
    uint32_t defaultPoolLive = 0;      // default-pool resources, texture levels not counted


    bool OnContextThread() const { return std::this_thread::get_id() == thread; }
};

// A resource's GL side: made or refreshed on the context thread.
class GlResource {
public:
    // counted: a default-pool resource that stops a Reset while it lives.
    GlResource(std::shared_ptr<GlCore> core, uint32_t pool, bool counted = true);
    virtual ~GlResource();
    GlResource(const GlResource&) = delete;
    GlResource& operator=(const GlResource&) = delete;

    Result DeviceOf(Device** out) const;
    // Context thread: does the waiting GL work, if any.
    void Prepare();

    const std::shared_ptr<GlCore> core;
    const uint32_t pool;

protected:
    friend class GlDeviceImpl;
    // Context thread, core mutex held: makes or refreshes the GL objects.
    virtual void Realize() = 0;
    // Core mutex held: asks for Realize on the context thread.
    void Schedule();
    // Derived destructors call this first: leaves the pending list and hands
    // the GL names over for deletion.
    void Retire(std::initializer_list<GlDeletion> names);

    std::atomic<bool> scheduled_{false};
    bool listed_ = false;   // in core->pending
    const bool counted_;
};

class GlTextureImpl;

// A texture level, the back buffer, or a depth surface. Levels share their
// texture's reference count and GL texture; the back buffer has a texture of
// its own and a depth surface a renderbuffer.
class GlSurfaceImpl : public Surface, public GlResource {
public:
    GlSurfaceImpl(std::shared_ptr<GlCore> core, const SurfaceDesc& desc, GlTextureImpl* container, uint32_t level);
    ~GlSurfaceImpl() override;

    uint32_t AddRef() override;
    uint32_t Release() override;
    Result GetDevice(Device** out) override { return DeviceOf(out); }
    Result GetDesc(SurfaceDesc& out) override;
    Result LockRect(LockedRect& out, const Rect* rect, uint32_t flags) override;
    Result UnlockRect() override;
    Result ReadPixels(const Rect* rect, uint32_t* argb) override;

    bool IsColor() const { return IsColorFormat(desc.format); }
    bool IsDepth() const { return desc.format == kFormatD24S8; }
    bool HasPixels() const { return !pixels.empty(); }
    uint32_t Refs() const { return RefCount(); }
    // The rect inside the surface, null meaning all of it; false when empty
    // or reaching outside.
    bool Resolve(const Rect* rect, Rect& out) const;
    // Context thread: the GL texture (colour) or renderbuffer (depth), made
    // and up to date.
    GLuint GlName();
    GLuint GlNameUnprepared() const;   // for Realize, which holds the mutex
    // Context thread: a new size for the back buffer or the automatic depth
    // surface (Reset); the GL object keeps its name.
    void Resize(uint32_t width, uint32_t height);

    SurfaceDesc desc;
    GlTextureImpl* const container;
    const uint32_t level;
    const uint64_t id;              // unique while the process lives (framebuffer cache)
    std::vector<uint8_t> pixels;    // lockable levels: 4 bytes a pixel, format order
    bool locked = false;
    uint32_t lockFlags = 0;

private:
    void Realize() override;
    GLuint name_ = 0;               // back buffer texture or depth renderbuffer
    uint32_t realizedWidth_ = 0, realizedHeight_ = 0, realizedFormat_ = 0;
};

class GlTextureImpl : public Texture, public GlResource {
public:
    GlTextureImpl(std::shared_ptr<GlCore> core, uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                  uint32_t format, uint32_t pool);
    ~GlTextureImpl() override;

    Result GetDevice(Device** out) override { return DeviceOf(out); }
    uint32_t GetLevelCount() override { return uint32_t(levels.size()); }
    Result GetLevelDesc(uint32_t level, SurfaceDesc& out) override;
    Result GetSurfaceLevel(uint32_t level, Surface** out) override;
    Result LockRect(uint32_t level, LockedRect& out, const Rect* rect, uint32_t flags) override;
    Result UnlockRect(uint32_t level) override;
    Result Fill(uint32_t argb) override;

    Result LockLevel(uint32_t level, LockedRect& out, const Rect* rect, uint32_t flags);
    Result UnlockLevel(uint32_t level);
    bool Lockable() const { return pool != kPoolDefault || (usage & kUsageDynamic); }
    bool IsRenderTarget() const { return usage & kUsageRenderTarget; }
    // Context thread: the GL texture, made and up to date.
    GLuint GlName();
    GLuint GlNameUnprepared() const { return name_; }

    const uint32_t usage, format;
    std::vector<std::unique_ptr<GlSurfaceImpl>> levels;

private:
    friend class GlSurfaceImpl;
    void Realize() override;
    GLuint name_ = 0;
    // Level 0 rows changed since the last upload; only level 0 is sampled.
    uint32_t dirtyTop_ = 0, dirtyBottom_ = 0;
    std::atomic<bool> fillPending_{false};   // a render target's Fill, done at its next use
    uint32_t fillColor_ = 0;
    int32_t lockTop_ = 0, lockBottom_ = 0;
};

class GlBufferImpl : public GlResource {
public:
    GlBufferImpl(std::shared_ptr<GlCore> core, const BufferDesc& desc);
    ~GlBufferImpl() override;
    Result LockBytes(uint32_t offset, uint32_t bytes, void** data, uint32_t flags);
    Result UnlockBytes();
    // Context thread: the GL buffer, made and up to date.
    GLuint GlName();

    BufferDesc desc;
    std::vector<uint8_t> bytes;
    bool locked = false;

private:
    void Realize() override;
    GLuint name_ = 0;
    uint32_t dirtyBegin_ = 0, dirtyEnd_ = 0, lockBegin_ = 0, lockEnd_ = 0;
    bool lockReadOnly_ = false;
};

class GlVertexBufferImpl : public VertexBuffer, public GlBufferImpl {
public:
    using GlBufferImpl::GlBufferImpl;
    Result GetDevice(Device** out) override { return DeviceOf(out); }
    Result GetDesc(BufferDesc& out) override { out = desc; return Result::Ok; }
    Result Lock(uint32_t offset, uint32_t size, void** data, uint32_t flags) override {
        return LockBytes(offset, size, data, flags);
    }
    Result Unlock() override { return UnlockBytes(); }
};

class GlIndexBufferImpl : public IndexBuffer, public GlBufferImpl {
public:
    using GlBufferImpl::GlBufferImpl;
    Result GetDevice(Device** out) override { return DeviceOf(out); }
    Result GetDesc(BufferDesc& out) override { out = desc; return Result::Ok; }
    Result Lock(uint32_t offset, uint32_t size, void** data, uint32_t flags) override {
        return LockBytes(offset, size, data, flags);
    }
    Result Unlock() override { return UnlockBytes(); }
    uint32_t IndexSize() const { return desc.format == kFormatIndex32 ? 4 : 2; }
};

// ---------------------------------------------------------------- vertex input

// Fixed attribute locations, shared by the built-in programs and effects.
enum AttribLocation : uint8_t {
    kLocPosition = 0, kLocBlendWeight, kLocBlendIndices, kLocNormal, kLocTangent, kLocBinormal, kLocColor,
    kLocTexCoord0, kLocCount = kLocTexCoord0 + 4,
    // The built-in programs' per-vertex batch word (see GlDeviceImpl::Batch);
    // no vertex format feeds it.
    kLocBatchWord = kLocCount,
};

struct VertexAttrib {
    uint8_t location;
    GLint size;                  // GL_BGRA for colours
    uint16_t offset;
    GLenum type;
    bool normalized, integer;
};

// How one vertex format feeds the attribute locations.
struct VertexLayout {
    std::array<VertexAttrib, kLocCount> attribs{};
    uint8_t count = 0;
    uint32_t id = 0;             // equal ids, equal layouts
    uint32_t minStride = 0;
    bool pretransformed = false; // XYZRHW: the screen program
    bool hasColor = false;
};
VertexLayout LayoutOfFvf(uint32_t fvf);
VertexLayout LayoutOfDeclaration(const std::vector<VertexElement>& elements, uint32_t id);

class GlDeclarationImpl : public VertexDeclaration, public GlResource {
public:
    GlDeclarationImpl(std::shared_ptr<GlCore> core, std::vector<VertexElement> elements);
    Result GetDevice(Device** out) override { return DeviceOf(out); }
    uint32_t GetElementCount() override { return uint32_t(elements.size()); }
    Result GetElements(VertexElement* out, uint32_t capacity) override;
    const std::vector<VertexElement> elements;
    const VertexLayout layout;
private:
    void Realize() override {}
};

// ---------------------------------------------------------------- GL state

// The GL state the device last set, so that only changes reach GL.
struct GlState {
    static constexpr uint32_t kUnits = 8;
    static constexpr uint32_t kUploadUnit = 15;   // uploads bind here, out of the draws' way

    void Forget();   // everything unknown: the next calls all reach GL

    void UseProgram(GLuint program);
    void BindDrawFramebuffer(GLuint fbo);
    void BindReadFramebuffer(GLuint fbo);
    void BindArrayBuffer(GLuint buffer);
    void BindElementBuffer(GLuint buffer);
    void BindTexture(uint32_t unit, GLuint texture);
    void BindSampler(uint32_t unit, GLuint sampler);
    void BindUploadTexture(GLuint texture);
    void Viewport(GLint x, GLint y, GLsizei w, GLsizei h);
    void DepthRange(float nearZ, float farZ);
    void Scissor(bool on, GLint x = 0, GLint y = 0, GLsizei w = 0, GLsizei h = 0);
    void Blend(bool on, GLenum src, GLenum dst, GLenum equation);
    void Depth(bool test, GLenum func, bool write);
    void DepthWrite(bool write);
    void Stencil(bool test, GLenum func, GLint ref, GLuint mask, GLenum fail, GLenum zfail, GLenum pass, GLuint write);
    void StencilWrite(GLuint write);
    void Cull(bool on, GLenum face);
    void ColorMask(bool r, bool g, bool b, bool a);
    // A deleted name is unbound: forget it wherever it was bound.
    void Deleted(GlDeletion::Kind kind, GLuint name);

    GLuint program, drawFbo, readFbo, arrayBuffer, elementBuffer, activeUnit;
    GLuint textures[16], samplers[16];
    GLint viewport[4], scissor[4];
    float depthRange[2];
    int8_t scissorOn, blendOn, depthOn, stencilOn, cullOn, depthWrite;
    int8_t colorMask[4];
    GLenum blendSrc, blendDst, blendEquation, depthFunc, cullFace;
    GLenum stencilFunc, stencilFail, stencilZFail, stencilPass;
    GLint stencilRef;
    GLuint stencilMask, stencilWrite;
};

// ---------------------------------------------------------------- programs

// The built-in programs' uniforms.
struct FixedProgram {
    GLuint name = 0;
    bool screen = false;
    uint64_t uploaded = ~0ull;   // the device's fixedVersion_ it holds
    int hasColorValue = -1;
    GLint viewport = -1, worldView = -1, projection = -1, lighting = -1, hasColor = -1, ambient = -1;
    GLint matAmbient = -1, matEmissive = -1, matDiffuseAlpha = -1, vertexFog = -1, fogRange = -1;
    GLint alphaRef = -1, fogColor = -1, texture = -1;
};

// A batch whose draws differ in texture or destination blend factor carries
// a byte per vertex: the texture unit (kBatchUnits of them, each bound with
// its own sampler) in the low two bits, and what the destination factor is
// in the next two. Every unit is sampled for every fragment, so a third
// texture ends the batch instead (llvmpipe's fast path takes two). The blend then runs as (source factor, ONE_MINUS_SRC1_COLOR)
// with the second colour output the program writes for that kind: 1 - 0 is
// ONE, 1 - 1 ZERO, 1 - alpha and 1 - colour the inverse source factors, each
// the very value the fixed factor would take.
constexpr uint32_t kBatchUnits = 2;
// Sampling a second texture for every fragment costs more than a texture
// change once a texture keeps this many draws in a row (32x32 sprites on
// llvmpipe: a change ~3.5 us, a sprite's second sample ~0.6 us): after such
// a run a change ends the batch, and so does such a run in a batch of two.
constexpr uint32_t kShortRun = 4;
enum BatchDest : uint8_t { kDestOne, kDestZero, kDestInvSrcAlpha, kDestInvSrcColor, kDestOther };
constexpr uint32_t kBatchDestShift = 2;
// The program key's bits for a batch of `units` textures (1 to kBatchUnits),
// with the destination factor per vertex or not: 0 for a draw of one state.
uint32_t BatchKey(uint32_t units, bool mixedDest);

// One compiled effect pass.
struct EffectProgram {
    GLuint name = 0;
    std::vector<GLint> params;       // location by parameter index; -1 unused
    std::vector<uint64_t> uploaded;  // the value version each holds
    std::vector<int> samplerParams;  // texture parameter of each sampler (unit = sampler index)
    uint64_t hostUploaded = ~0ull;   // the device's hostVersion_ it holds
    GLint viewport = -1, alphaRef = -1, fogColor = -1;
};

// The device values every effect pass gets besides its parameters.
struct HostUniforms {
    float viewport[4];
    float alphaRef;
    float fogColor[3];
};

// GLSL sources of the built-in programs and effect passes (GlShaders.cpp).
// Fragment programs are compiled for the states that would otherwise
// branch per fragment: the alpha test's function and fog (the tail every
// program shares), and the built-in programs' stage-0 ops.
uint32_t TailKey(uint32_t alphaFunc, bool fog);   // alphaFunc 0: no alpha test
uint32_t StageKey(const uint32_t stage[8]);       // stage 0's states by number
std::string FixedVertexSource(bool screen, uint32_t batchKey);
std::string FixedFragmentSource(uint32_t stageKey, uint32_t tailKey, uint32_t batchKey);
std::string EffectVertexSource(const EffectDesc& desc, const EffectShader& shader);
std::string EffectFragmentSource(const EffectDesc& desc, const EffectShader& shader, uint32_t tailKey);
// A linked program; 0 with the compiler's or linker's message in log.
GLuint LinkProgram(const std::string& vertex, const std::string& fragment, std::string& log);
void LocateFixedUniforms(FixedProgram& p);
void LocateEffectUniforms(const EffectDesc& desc, EffectProgram& p);

class GlEffectImpl : public Effect, public GlResource {
public:
    GlEffectImpl(std::shared_ptr<GlCore> core, const EffectDesc& desc, Device* device);
    ~GlEffectImpl() override;

    Result GetDevice(Device** out) override { return DeviceOf(out); }
    EffectHandle GetParameterByName(EffectHandle parent, const char* name) override {
        return core_.ParameterByName(parent, name);
    }
    EffectHandle GetTechniqueByName(const char* name) override { return core_.TechniqueByName(name); }
    Result SetTechnique(EffectHandle technique) override { return core_.SetTechnique(technique); }
    EffectHandle GetCurrentTechnique() override { return core_.CurrentTechnique(); }
    Result SetValue(EffectHandle parameter, const void* data, uint32_t bytes) override;
    Result SetFloat(EffectHandle parameter, float f) override;
    Result SetFloatArray(EffectHandle parameter, const float* f, uint32_t count) override;
    Result SetInt(EffectHandle parameter, int32_t i) override;
    Result SetVector(EffectHandle parameter, const Vector4& v) override;
    Result SetVectorArray(EffectHandle parameter, const Vector4* v, uint32_t count) override;
    Result SetMatrix(EffectHandle parameter, const Matrix& m) override;
    Result SetMatrixArray(EffectHandle parameter, const Matrix* m, uint32_t count) override;
    Result SetTexture(EffectHandle parameter, Texture* texture) override;
    Result Begin(uint32_t* passes, uint32_t flags) override;
    Result BeginPass(uint32_t pass) override;
    Result EndPass() override;
    Result End() override;

    // Context thread: compiles every pass of every technique; false with
    // the first message in log.
    bool Compile(std::string& log);
    // Context thread: the textures' GL work, done before any state is set
    // (a pending Fill clears through a framebuffer of its own).
    void PrepareTextures();
    // Context thread: program, values and textures bound for a draw; false
    // when the program does not build.
    bool PrepareDraw(uint32_t tailKey, uint64_t hostVersion, const HostUniforms& host);
    const EffectCore& Core() const { return core_; }

private:
    void Realize() override {}
    Result Changed(EffectHandle h, Result r);
    // The pass's program for a tail, built on first use; null when it fails.
    EffectProgram* Program(size_t technique, size_t pass, uint32_t tailKey, std::string& log);

    Ref<Device> device_;   // effects keep their device, as D3DX effects do
    GlDeviceImpl* gl_;
    EffectCore core_;
    std::vector<uint64_t> versions_;                   // per parameter
    // [technique][pass], one program for each tail the pass has drawn with.
    std::vector<std::vector<std::map<uint32_t, EffectProgram>>> programs_;
    bool compiled_ = false;
};

// ---------------------------------------------------------------- device

// Present parameters completed as CreateDevice and Reset take them: the
// client area for a zero size, the desktop format when windowed.
Result CompletePresentParams(PresentParams& params, host::window::Handle focus, uint32_t maxSize);

class GlDeviceImpl : public Device {
public:
    // A device drawing into window's SDL window; Ok or why not.
    static Result Create(std::shared_ptr<GlRender::State> backend, uint32_t type, const PresentParams& params,
                         SDL_Window* window, const Caps& caps, Device** out);
    ~GlDeviceImpl() override;

    Result GetDeviceCaps(Caps& out) override;
    uint32_t GetAvailableTextureMem() override { return 512u << 20; }
    Result GetDisplayMode(DisplayMode& out) override;
    Result TestCooperativeLevel() override;
    Result Reset(PresentParams& params) override;
    bool ResetBlocked() const;
    Result BeginScene() override;
    Result EndScene() override;
    Result Present() override;
    Result Clear(uint32_t flags, uint32_t argb, float z, uint32_t stencil) override;
    Result SetViewport(const Viewport& viewport) override;
    Result GetViewport(Viewport& out) override;
    Result SetRenderTarget(uint32_t index, Surface* surface) override;
    Result GetRenderTarget(uint32_t index, Surface** out) override;
    Result SetDepthStencilSurface(Surface* surface) override;
    Result GetDepthStencilSurface(Surface** out) override;
    Result CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage, uint32_t format,
                         uint32_t pool, Texture** out) override;
    Result CreateDepthStencilSurface(uint32_t width, uint32_t height, uint32_t format, uint32_t multiSample,
                                     uint32_t quality, bool discard, Surface** out) override;
    Result CreateVertexBuffer(uint32_t bytes, uint32_t usage, uint32_t fvf, uint32_t pool, VertexBuffer** out) override;
    Result CreateIndexBuffer(uint32_t bytes, uint32_t usage, uint32_t format, uint32_t pool, IndexBuffer** out) override;
    Result CreateVertexDeclaration(const VertexElement* elements, uint32_t count, VertexDeclaration** out) override;
    Result StretchRect(Surface* source, const Rect* sourceRect, Surface* dest, const Rect* destRect,
                       uint32_t filter) override;
    Result GetRenderTargetData(Surface* renderTarget, Surface* dest) override;
    Result SetRenderState(uint32_t state, uint32_t value) override;
    Result GetRenderState(uint32_t state, uint32_t& value) override;
    Result SetSamplerState(uint32_t sampler, uint32_t type, uint32_t value) override;
    Result SetTextureStageState(uint32_t stage, uint32_t type, uint32_t value) override;
    Result SetTexture(uint32_t stage, Texture* texture) override;
    Result SetTransform(uint32_t transform, const Matrix& m) override;
    Result GetTransform(uint32_t transform, Matrix& out) override;
    Result SetMaterial(const Material& material) override;
    Result SetStreamSource(uint32_t stream, VertexBuffer* buffer, uint32_t offset, uint32_t stride) override;
    Result SetIndices(IndexBuffer* buffer) override;
    Result SetVertexDeclaration(VertexDeclaration* declaration) override;
    Result SetFVF(uint32_t fvf) override;
    Result DrawPrimitiveUP(uint32_t type, uint32_t count, const void* vertices, uint32_t stride) override;
    Result DrawIndexedPrimitive(uint32_t type, int32_t baseVertex, uint32_t minIndex, uint32_t numVertices,
                                uint32_t startIndex, uint32_t count) override;
    Result CreateEffect(const EffectDesc& desc, Effect** out) override;

    // For resources and effects, on the context thread.
    bool OnContextThread() const { return core_->OnContextThread(); }
    void MakeCurrent();
    void Flush();   // the batched draws reach GL
    GlState& Gl() { return gl_; }
    GLuint White() const { return white_; }
    GLuint SamplerFor(uint32_t minFilter, uint32_t magFilter, uint32_t address);
    // A framebuffer holding colour (and depth); the GL names must exist.
    GLuint FramebufferFor(GlSurfaceImpl* colour, GlSurfaceImpl* depth);
    // Clears a colour surface on the GPU (Fill of a render target).
    void ClearSurface(GlSurfaceImpl* surface, uint32_t argb);
    // Reads a colour surface's rect as ARGB.
    Result ReadSurface(GlSurfaceImpl* surface, const Rect& rect, uint32_t* argb);
    // The effect pass draws go through; null ends it.
    void SetEffectPass(GlEffectImpl* effect);
    void EffectGone(GlEffectImpl* effect);

private:
    GlDeviceImpl(std::shared_ptr<GlRender::State> backend, uint32_t type, const PresentParams& params,
                 SDL_Window* window, const Caps& caps);
    Result Start(void* context);
    void MakeBackBuffer();
    void ApplyDefaults();
    template <class T>
    static void Bind(T*& slot, T* value) {
        if (value) value->AddRef();
        if (T* old = std::exchange(slot, value)) old->Release();
    }
    template <class T> T* Own(Object* object) const;
    void DrainPending();
    void DrainDeletions();
    bool Lost();

    // Draws (GlDraw.cpp).
    struct Batch {
        // One texture unit's: the texture (a reference; null draws white)
        // and the sampler's filters.
        struct Unit {
            GlTextureImpl* texture;
            uint32_t sampler;   // SamplerFor's key: min | mag << 4 | address << 8
            bool operator==(const Unit&) const = default;
        };
        std::vector<uint8_t> bytes;
        std::vector<uint8_t> words;   // a byte a vertex, once the draws differ
        Unit units[kBatchUnits]{};
        uint32_t unitCount = 0;
        GLenum dest = GL_ZERO;        // the first draw's destination factor
        bool mixedDest = false;       // the factor travels with the vertices
        bool fixed = false;           // drawn by a built-in program
        uint32_t lastUnit = 0;        // the last draw's unit
        uint32_t runDraws = 0;        // draws in a row with it
        uint32_t vertices = 0;
        uint32_t stride = 0;
        GLenum mode = GL_TRIANGLES;   // as drawn
        GLenum list = GL_TRIANGLES;   // GL_TRIANGLES or GL_LINES: what may join
        uint32_t nativeType = 0, nativeCount = 0;   // the first draw's
        VertexLayout layout;
    };
    void AppendVertices(uint32_t type, uint32_t count, const uint8_t* data, uint32_t stride);
    // The unit and destination factor a draw of the current states needs.
    Batch::Unit CurrentUnit();
    GLenum CurrentDest() const;
    // Whether a draw with these joins the batch; its word if it does.
    bool Joins(const Batch::Unit& unit, GLenum dest, uint8_t& word);
    void ClearBatch();
    void PointWords(bool on, uintptr_t offset);
    // Binds the target's framebuffer, its depth surface attached only when
    // asked for: the rasteriser works per block on whatever is attached.
    void PrepareTarget(bool depth);
    void ApplyStates(GLenum dest);
    // Everything a draw needs but its vertices: textures, target, states,
    // program and uniforms; those a batch carries from the batch.
    bool PrepareDraw(const VertexLayout& layout, const Batch* batch);
    // The built-in program for the current states, built on first use.
    FixedProgram* FixedFor(bool screen, uint32_t batchKey = 0);
    HostUniforms Host() const;
    void PointAttribs(const VertexLayout& layout, GLuint buffer, uintptr_t offset, uint32_t stride);
    // Copies vertices (and words after them) into the stream buffer; the
    // first vertex's index back, and where the words went.
    uint32_t StreamVertices(const uint8_t* data, uint32_t bytes, uint32_t stride, const uint8_t* words = nullptr,
                            uint32_t wordBytes = 0, uint32_t* wordsAt = nullptr);
    void UploadFixedUniforms(FixedProgram& p);
    bool Here() const { return core_->OnContextThread(); }

    std::shared_ptr<GlCore> core_;
    std::shared_ptr<GlRender::State> backend_;
    SDL_Window* window_;
    void* context_ = nullptr;
    uint32_t type_;
    PresentParams params_;
    Caps caps_;
    GlState gl_{};

    // D3D state.
    uint32_t rs_[kRenderStateCount]{};
    uint32_t samplers_[kStageCount][8]{};
    uint32_t stages_[kStageCount][8]{};
    Texture* textures_[kStageCount]{};
    std::map<uint32_t, Matrix> transforms_;
    Material material_{};
    VertexBuffer* stream_ = nullptr;
    uint32_t streamOffset_ = 0, streamStride_ = 0;
    IndexBuffer* indices_ = nullptr;
    VertexDeclaration* declaration_ = nullptr;
    uint32_t fvf_ = 0;
    VertexLayout fvfLayout_;
    const VertexLayout* layout_ = nullptr;  // the FVF's or the declaration's
    GlSurfaceImpl* backBuffer_ = nullptr;   // one reference each, the device's own
    GlSurfaceImpl* autoDepth_ = nullptr;
    Surface* target_ = nullptr;             // bound: a reference each
    Surface* depthTarget_ = nullptr;
    Viewport viewport_;
    bool inScene_ = false;
    GlEffectImpl* effect_ = nullptr;        // the effect whose pass is open

    // GL side.
    GLuint vao_ = 0, streamVbo_ = 0, white_ = 0;
    uint32_t streamCapacity_ = 0, streamOffsetBytes_ = 0;
    std::map<uint32_t, FixedProgram> fixed_;   // by stage, tail and screen keys
    uint32_t lastFixedKey_[2] = {~0u, ~0u};
    FixedProgram* lastFixed_[2] = {};
    std::map<std::pair<uint64_t, uint64_t>, GLuint> framebuffers_;
    std::map<uint32_t, GLuint> samplerObjects_;
    Batch batch_;
    uint64_t fixedVersion_ = 1;   // bumped when a fixed-function uniform changes
    uint64_t hostVersion_ = 1;    // bumped when an effect's device uniform changes
    bool statesDirty_ = true, targetDirty_ = true;
    GLuint targetFbo_[2] = {};   // without and with the depth surface
    // What the attribute locations point at.
    uint32_t pointedLayout_ = 0, pointedStride_ = 0;
    GLuint pointedBuffer_ = 0;
    uintptr_t pointedOffset_ = 0;
    uint32_t enabledAttribs_ = 0;
    bool wordsEnabled_ = false;
};

// The GL object behind an interface pointer, or null for another kind or
// another device.
template <class T>
T* GlCast(Object* object, const GlCore* core) {
    T* t = dynamic_cast<T*>(object);
    return t && t->core.get() == core ? t : nullptr;
}

// Enum conversions.
GLenum GlCompare(uint32_t cmp);
// On a target whose alpha reads as 1, the destination-alpha factors are
// constants.
GLenum GlBlendFactor(uint32_t blend, bool opaqueTarget);
GLenum GlBlendEquation(uint32_t op);
GLenum GlStencilOp(uint32_t op);
// Memory order of a colour format as GL reads it: GL_BGRA or GL_RGBA.
GLenum GlPixelOrder(uint32_t format);

}  // namespace host::render
