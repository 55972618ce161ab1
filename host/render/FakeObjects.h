// The fake backend's objects, shared by its source files: the state every
// object of one FakeRender shares (configuration, log, failure rules), the
// per-device registry that outlives the device while resources live, and
// the device, surface, texture, buffer, declaration and effect classes.
#pragma once

#include "host/render/FakeRender.h"

#include <atomic>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>

namespace host::render {

struct FailureRule {
    std::string op;
    uint32_t skip;     // matching calls still to let through
    uint32_t times;    // matching calls still to fail
    Result result;
};

struct FakeRender::State {
    // logMutex guards the log, the failure rules and the ids; it is taken
    // last, so a call may be logged while the configuration is locked.
    mutable std::mutex logMutex;
    std::vector<Call> log;
    std::atomic<bool> logging{true};   // SetLogging
    std::vector<FailureRule> failures;
    // Rules in failures: a call needs the lock only when there are any.
    std::atomic<size_t> failureRules{0};
    uint64_t nextId = 1;

    mutable std::mutex mutex;   // the rest

    bool apiAvailable = true;
    AdapterIdentifier adapter{"Fake render adapter", 0x00010000, 0};
    DisplayMode desktop{1920, 1080, 60, kFormatX8R8G8B8};
    std::map<uint32_t, std::vector<DisplayMode>> modes;
    std::vector<uint32_t> displayFormats{kFormatX8R8G8B8, kFormatR5G6B5, kFormatX1R5G5B5};
    std::vector<uint32_t> textureFormats{kFormatA8R8G8B8, kFormatX8R8G8B8, kFormatA8B8G8R8, kFormatX8B8G8R8};
    Caps caps;
    uint32_t textureMemory = 512u << 20;
    std::map<std::pair<uint32_t, uint32_t>, Result> createResults;

    std::deque<Result> coopScript;
    bool lost = false;
    uint32_t lostAnswers = 0;

    std::vector<class FakeDeviceImpl*> devices;   // alive, oldest first

    State();
    uint64_t NewId();
    // The injected result for this call of op, Ok when none; counts the call.
    Result Injected(std::string_view op);
    void Append(Call call);
};

// One log entry in the making: arguments first, then Finish with the result.
class Recorder {
public:
    // op names the call for as long as the recorder lives (a literal).
    Recorder(FakeRender::State& state, const char* op, uint64_t object);
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;
    ~Recorder();
    Recorder& Arg(const char* name, double value);
    Recorder& Text(const char* name, std::string value);
    Recorder& Data(const void* data, size_t bytes);
    // The failure injected for this call; Ok when the call goes on.
    Result Injected() const { return injected_; }
    Result Finish(Result r);
private:
    std::vector<CallArg>& Reserve();
    FakeRender::State& state_;
    const char* op_;
    Call call_;   // op is set only when the call is kept
    Result injected_;
    bool keep_;   // the fake keeps its calls
    bool done_ = false;
};

// Every fake object knows its id and the fake it belongs to.
class FakeIdentity {
public:
    virtual ~FakeIdentity() = default;
    uint64_t fakeId = 0;
    FakeRender::State* fakeState = nullptr;
};

class FakeResourceBase;

// What a device's resources share with it; lives while any of them does.
struct DeviceCore {
    std::shared_ptr<FakeRender::State> fake;
    std::mutex mutex;
    std::set<FakeResourceBase*> live;
    class FakeDeviceImpl* device = nullptr;   // null once the device is gone
};

// A resource registered with its device while alive.
class FakeResourceBase : public FakeIdentity {
public:
    FakeResourceBase(std::shared_ptr<DeviceCore> core, uint32_t pool, bool counted);
    ~FakeResourceBase() override;
    Result DeviceOf(Device** out) const;
    std::shared_ptr<DeviceCore> core;
    uint32_t pool;
    bool counted;   // in LiveResources and the Reset rule
};

class FakeTextureImpl;

// Colour surfaces keep ARGB in their format's memory order; depth surfaces
// keep a depth and a stencil value per pixel.
class FakeSurfaceImpl : public Surface, public FakeResourceBase {
public:
    FakeSurfaceImpl(std::shared_ptr<DeviceCore> core, const SurfaceDesc& desc, FakeTextureImpl* container,
                    uint32_t level, bool counted);
    ~FakeSurfaceImpl() override;

    uint32_t AddRef() override;
    uint32_t Release() override;
    uint32_t Refs() const;

    Result GetDevice(Device** out) override { return DeviceOf(out); }
    Result GetDesc(SurfaceDesc& out) override;
    Result LockRect(LockedRect& out, const Rect* rect, uint32_t flags) override;
    Result UnlockRect() override;
    Result ReadPixels(const Rect* rect, uint32_t* argb) override;

    bool IsColor() const { return color_; }
    bool IsDepth() const { return desc.format == kFormatD24S8; }
    uint32_t Get(uint32_t x, uint32_t y) const;
    void Put(uint32_t x, uint32_t y, uint32_t argb);
    // Put over the rectangle [x0, x1) x [y0, y1), already within the surface.
    void Fill(uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1, uint32_t argb);
    // The pixels as bytes, written out first when the surface is one colour.
    uint8_t* Bytes();
    bool IsSolid() const { return solid_; }
    // Depth and stencil over [x0, x1) x [y0, y1), as a clear sets them.
    void FillDepth(uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1, const float* z, const uint8_t* stencilValue);
    float DepthAt(uint32_t x, uint32_t y) const;
    uint8_t StencilAt(uint32_t x, uint32_t y) const;
    // The rect inside the surface, null meaning all of it; false when it is
    // empty or reaches outside.
    bool Resolve(const Rect* rect, Rect& out) const;

    SurfaceDesc desc;
    std::vector<uint8_t> pixels;    // 4 bytes per pixel; stale (or not yet made) while solid
    std::vector<float> depth;       // stale while depthSolid_
    std::vector<uint8_t> stencil;   // stale while stencilSolid_
    FakeTextureImpl* container;     // the level's texture, or null
    uint32_t level;
    bool locked = false;

private:
    // A whole-surface fill is kept as one value and written out only when a
    // part of the surface is read or changed: the game clears and captures
    // full-screen targets every frame, and the tests run thousands of them.
    void WriteOut();
    void Encode(uint32_t argb, uint8_t* bytes) const;
    bool color_ = false;
    bool solid_ = false;
    uint8_t solidBytes_[4] = {};
    // The last part fill while nothing has written the pixels since: the
    // same fill again (a capture into the same part of a larger target each
    // frame) changes nothing.
    struct PartFill {
        uint32_t x0, y0, x1, y1, argb;
        bool operator==(const PartFill&) const = default;
    };
    std::optional<PartFill> lastFill_;
    bool depthSolid_ = false, stencilSolid_ = false;
    float solidDepth_ = 0.0f;
    uint8_t solidStencil_ = 0;
};

class FakeTextureImpl : public Texture, public FakeResourceBase {
public:
    FakeTextureImpl(std::shared_ptr<DeviceCore> core, uint32_t width, uint32_t height, uint32_t levels,
                    uint32_t usage, uint32_t format, uint32_t pool);
    ~FakeTextureImpl() override;
    uint32_t Refs() const { return RefCount(); }

    Result GetDevice(Device** out) override { return DeviceOf(out); }
    uint32_t GetLevelCount() override { return uint32_t(levels.size()); }
    Result GetLevelDesc(uint32_t level, SurfaceDesc& out) override;
    Result GetSurfaceLevel(uint32_t level, Surface** out) override;
    Result LockRect(uint32_t level, LockedRect& out, const Rect* rect, uint32_t flags) override;
    Result UnlockRect(uint32_t level) override;
    Result Fill(uint32_t argb) override;

    // The lock rules of a level, for the texture and its surfaces alike.
    Result LockLevel(const char* op, uint64_t object, uint32_t level, LockedRect& out, const Rect* rect,
                     uint32_t flags);
    Result UnlockLevel(const char* op, uint64_t object, uint32_t level);
    bool Lockable() const { return pool != kPoolDefault || (usage & kUsageDynamic); }

    uint32_t usage;
    std::vector<std::unique_ptr<FakeSurfaceImpl>> levels;
};

class FakeBufferImpl : public FakeResourceBase {
public:
    FakeBufferImpl(std::shared_ptr<DeviceCore> core, const BufferDesc& desc);
    Result LockBytes(const char* op, uint64_t object, uint32_t offset, uint32_t bytes, void** data, uint32_t flags);
    Result UnlockBytes(const char* op, uint64_t object);
    BufferDesc desc;
    std::vector<uint8_t> bytes;
    bool locked = false;
};

class FakeVertexBufferImpl : public VertexBuffer, public FakeBufferImpl {
public:
    using FakeBufferImpl::FakeBufferImpl;
    Result GetDevice(Device** out) override { return DeviceOf(out); }
    Result GetDesc(BufferDesc& out) override { out = desc; return Result::Ok; }
    Result Lock(uint32_t offset, uint32_t size, void** data, uint32_t flags) override {
        return LockBytes("VertexBuffer.Lock", fakeId, offset, size, data, flags);
    }
    Result Unlock() override { return UnlockBytes("VertexBuffer.Unlock", fakeId); }
};

class FakeIndexBufferImpl : public IndexBuffer, public FakeBufferImpl {
public:
    using FakeBufferImpl::FakeBufferImpl;
    Result GetDevice(Device** out) override { return DeviceOf(out); }
    Result GetDesc(BufferDesc& out) override { out = desc; return Result::Ok; }
    Result Lock(uint32_t offset, uint32_t size, void** data, uint32_t flags) override {
        return LockBytes("IndexBuffer.Lock", fakeId, offset, size, data, flags);
    }
    Result Unlock() override { return UnlockBytes("IndexBuffer.Unlock", fakeId); }
    uint32_t IndexSize() const { return desc.format == kFormatIndex32 ? 4 : 2; }
};

class FakeDeclarationImpl : public VertexDeclaration, public FakeResourceBase {
public:
    FakeDeclarationImpl(std::shared_ptr<DeviceCore> core, std::vector<VertexElement> elements);
    Result GetDevice(Device** out) override { return DeviceOf(out); }
    uint32_t GetElementCount() override { return uint32_t(elements.size()); }
    Result GetElements(VertexElement* out, uint32_t capacity) override;
    uint32_t VertexBytes() const;   // the end of the furthest element
    std::vector<VertexElement> elements;
};

class FakeEffectImpl : public FakeEffect, public FakeResourceBase {
public:
    FakeEffectImpl(std::shared_ptr<DeviceCore> core, const EffectDesc& desc, Device* device);

    Result GetDevice(Device** out) override { return DeviceOf(out); }
    EffectHandle GetParameterByName(EffectHandle parent, const char* name) override;
    EffectHandle GetTechniqueByName(const char* name) override;
    Result SetTechnique(EffectHandle technique) override;
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

    const EffectDesc& Desc() const override { return core_.Desc(); }
    std::vector<float> Value(std::string_view name) const override;
    std::vector<int32_t> IntValue(std::string_view name) const override;
    Texture* TextureValue(std::string_view name) const override;
    bool Begun() const override { return core_.Begun(); }
    int ActivePass() const override { return core_.ActivePass(); }
    std::string CurrentTechniqueName() const override { return core_.Technique().name; }

private:
    void Describe(Recorder& rec, EffectHandle h) const;
    Ref<Device> device_;   // effects keep their device, as D3DX effects do
    EffectCore core_;
};

class FakeDeviceImpl : public FakeDevice, public FakeIdentity {
public:
    FakeDeviceImpl(std::shared_ptr<FakeRender::State> fake, uint32_t type, uint32_t flags, const PresentParams& params);
    ~FakeDeviceImpl() override;

    // Device
    Result GetDeviceCaps(Caps& out) override;
    uint32_t GetAvailableTextureMem() override;
    Result GetDisplayMode(DisplayMode& out) override;
    Result TestCooperativeLevel() override;
    Result Reset(PresentParams& params) override;
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

    // FakeDevice
    uint64_t Id() const override { return fakeId; }
    uint32_t CreatedType() const override { return type_; }
    uint32_t CreatedFlags() const override { return flags_; }
    PresentParams Params() const override { return params_; }
    uint32_t RenderState(uint32_t state) const override { return state < kRenderStateCount ? rs_[state] : 0; }
    uint32_t SamplerState(uint32_t sampler, uint32_t type) const override;
    uint32_t StageState(uint32_t stage, uint32_t type) const override;
    Matrix Transform(uint32_t transform) const override;
    Material CurrentMaterial() const override { return material_; }
    Texture* BoundTexture(uint32_t stage) const override { return stage < kStageCount ? textures_[stage] : nullptr; }
    Stream StreamSource() const override { return {stream_, streamOffset_, streamStride_}; }
    IndexBuffer* BoundIndices() const override { return indices_; }
    VertexDeclaration* BoundDeclaration() const override { return declaration_; }
    uint32_t BoundFvf() const override { return fvf_; }
    Surface* CurrentRenderTarget() const override { return target_; }
    Surface* CurrentDepthSurface() const override { return depthTarget_; }
    Surface* BackBuffer() const override { return backBuffer_; }
    Surface* AutoDepthSurface() const override { return autoDepth_; }
    Viewport CurrentViewport() const override { return viewport_; }
    bool InScene() const override { return inScene_; }
    size_t LiveResources(uint32_t pool) const override;

    // Checks and completes present parameters against the configuration.
    static Result CompleteParams(FakeRender::State& fake, PresentParams& params, host::window::Handle focus);

private:
    Recorder Record(const char* op) { return Recorder(*fake_, op, fakeId); }
    void MakeSurfaces();
    void ApplyDefaults();
    std::string ResetBlockers() const;
    template <class T> static void Bind(T*& slot, T* value);
    template <class T> T* Own(Object* object) const;
    Result CheckVertexFormat(uint32_t stride) const;

    std::shared_ptr<FakeRender::State> fake_;
    std::shared_ptr<DeviceCore> core_;
    uint32_t type_, flags_;
    PresentParams params_;
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
    FakeSurfaceImpl* backBuffer_ = nullptr;   // one reference each, the device's own
    FakeSurfaceImpl* autoDepth_ = nullptr;
    Surface* target_ = nullptr;               // bound: a reference each
    Surface* depthTarget_ = nullptr;
    Viewport viewport_;
    bool inScene_ = false;
};

// The fake object behind an interface pointer, or null for another kind or
// another fake.
template <class T>
T* FakeCast(Object* object, const FakeRender::State* state) {
    T* t = dynamic_cast<T*>(object);
    return t && t->fakeState == state ? t : nullptr;
}

}  // namespace host::render
