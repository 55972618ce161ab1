// The render service: one graphics device the way the engine's drawing code
// expects of a Direct3D 9 device and its D3DX helpers. An Api answers
// adapter questions and creates the Device; the device creates textures,
// surfaces, buffers, declarations and effects, keeps render, sampler and
// stage states, transforms and bindings, and draws.
//
// Backends: OpenGL 3.3 (the real one) and the fake (FakeRender.h), which
// records every call, keeps CPU pixels and validates as strictly as D3D9.
// Tests install the fake; CreateApi answers null while no backend can start.
//
// Every object is reference-counted (AddRef/Release, atomic); the device
// holds a reference on whatever is bound to it. Calls report a Result, and
// every fallible call can be made to fail through the fake.
#pragma once

#include "host/window/Window.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace host::render {

struct EffectDesc;   // EffectFile.h

enum class Result : int32_t {
    Ok = 0,
    InvalidCall,      // a bad argument, or not valid in this state
    NotAvailable,     // unsupported, or nothing to give (no depth surface)
    OutOfMemory,
    DeviceLost,       // the device is lost and cannot be reset yet
    DeviceNotReset,   // lost, and Reset may now bring it back
};
const char* ResultName(Result r);

// ---------------------------------------------------------------- numbers

// Formats.
constexpr uint32_t kFormatUnknown = 0;
constexpr uint32_t kFormatA8R8G8B8 = 21;
constexpr uint32_t kFormatX8R8G8B8 = 22;
constexpr uint32_t kFormatR5G6B5 = 23;
constexpr uint32_t kFormatX1R5G5B5 = 24;
constexpr uint32_t kFormatA1R5G5B5 = 25;
constexpr uint32_t kFormatA4R4G4B4 = 26;
constexpr uint32_t kFormatA8 = 28;
constexpr uint32_t kFormatX4R4G4B4 = 30;
constexpr uint32_t kFormatA8B8G8R8 = 32;
constexpr uint32_t kFormatX8B8G8R8 = 33;
constexpr uint32_t kFormatD24S8 = 75;
constexpr uint32_t kFormatIndex16 = 101;
constexpr uint32_t kFormatIndex32 = 102;
constexpr uint32_t kFormatR16F = 111;
constexpr uint32_t kFormatG16R16F = 112;
constexpr uint32_t kFormatA16B16G16R16F = 113;
constexpr uint32_t kFormatR32F = 114;
constexpr uint32_t kFormatG32R32F = 115;
constexpr uint32_t kFormatA32B32G32R32F = 116;
constexpr uint32_t FourCc(char a, char b, char c, char d) {
    return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 | uint32_t(uint8_t(d)) << 24;
}
constexpr uint32_t kFormatDxt1 = FourCc('D', 'X', 'T', '1');
constexpr uint32_t kFormatDxt2 = FourCc('D', 'X', 'T', '2');
constexpr uint32_t kFormatDxt3 = FourCc('D', 'X', 'T', '3');
constexpr uint32_t kFormatDxt4 = FourCc('D', 'X', 'T', '4');
constexpr uint32_t kFormatDxt5 = FourCc('D', 'X', 'T', '5');

// Device types and creation flags.
constexpr uint32_t kDeviceHal = 1;
constexpr uint32_t kDeviceRef = 2;
constexpr uint32_t kCreateMultithreaded = 0x04;
constexpr uint32_t kCreateSoftwareVertexProcessing = 0x20;
constexpr uint32_t kCreateHardwareVertexProcessing = 0x40;
constexpr uint32_t kCreateMixedVertexProcessing = 0x80;

// Present parameters.
constexpr uint32_t kSwapEffectDiscard = 1;
constexpr uint32_t kPresentIntervalDefault = 0;
constexpr uint32_t kPresentIntervalImmediate = 0x80000000u;

// Resource types (CheckDeviceFormat), usages, pools, lock flags.
constexpr uint32_t kResourceSurface = 1;
constexpr uint32_t kResourceTexture = 3;
constexpr uint32_t kUsageRenderTarget = 0x1;
constexpr uint32_t kUsageDepthStencil = 0x2;
constexpr uint32_t kUsageWriteOnly = 0x8;
constexpr uint32_t kUsageDynamic = 0x200;
constexpr uint32_t kPoolDefault = 0;
constexpr uint32_t kPoolManaged = 1;
constexpr uint32_t kPoolSystemMem = 2;
constexpr uint32_t kLockReadOnly = 0x10;
constexpr uint32_t kLockNoOverwrite = 0x1000;
constexpr uint32_t kLockDiscard = 0x2000;   // keeps the contents here

// Clear flags.
constexpr uint32_t kClearTarget = 1;
constexpr uint32_t kClearZBuffer = 2;
constexpr uint32_t kClearStencil = 4;

// Primitive types.
constexpr uint32_t kPrimitiveLineStrip = 3;
constexpr uint32_t kPrimitiveTriangleList = 4;
constexpr uint32_t kPrimitiveTriangleFan = 6;

// Transforms: view, projection and world matrices 0..255.
constexpr uint32_t kTransformView = 2;
constexpr uint32_t kTransformProjection = 3;
constexpr uint32_t kTransformWorld = 256;
constexpr uint32_t TransformWorld(uint32_t i) { return kTransformWorld + i; }

// Flexible vertex formats, packed in this order.
constexpr uint32_t kFvfXyz = 0x2;
constexpr uint32_t kFvfXyzRhw = 0x4;
constexpr uint32_t kFvfNormal = 0x10;
constexpr uint32_t kFvfDiffuse = 0x40;
constexpr uint32_t kFvfTex1 = 0x100;
// Bytes of one vertex; 0 for a code with unsupported bits or no position.
uint32_t FvfStride(uint32_t fvf);
// The number of vertices `count` primitives of `type` use; 0 for other types.
uint32_t VertexCount(uint32_t type, uint32_t count);

// Render states.
constexpr uint32_t kRsZEnable = 7;
constexpr uint32_t kRsShadeMode = 9;          // accepted, ignored
constexpr uint32_t kRsZWriteEnable = 14;
constexpr uint32_t kRsAlphaTestEnable = 15;
constexpr uint32_t kRsSrcBlend = 19;
constexpr uint32_t kRsDestBlend = 20;
constexpr uint32_t kRsCullMode = 22;
constexpr uint32_t kRsZFunc = 23;
constexpr uint32_t kRsAlphaRef = 24;
constexpr uint32_t kRsAlphaFunc = 25;
constexpr uint32_t kRsDitherEnable = 26;      // accepted, ignored
constexpr uint32_t kRsAlphaBlendEnable = 27;
constexpr uint32_t kRsFogEnable = 28;
constexpr uint32_t kRsSpecularEnable = 29;    // accepted, ignored
constexpr uint32_t kRsFogColor = 34;
constexpr uint32_t kRsFogStart = 36;          // float bits
constexpr uint32_t kRsFogEnd = 37;            // float bits
constexpr uint32_t kRsStencilEnable = 52;
constexpr uint32_t kRsStencilFail = 53;
constexpr uint32_t kRsStencilZFail = 54;
constexpr uint32_t kRsStencilPass = 55;
constexpr uint32_t kRsStencilFunc = 56;
constexpr uint32_t kRsStencilRef = 57;
constexpr uint32_t kRsStencilMask = 58;
constexpr uint32_t kRsStencilWriteMask = 59;
constexpr uint32_t kRsLighting = 137;
constexpr uint32_t kRsAmbient = 139;
constexpr uint32_t kRsFogVertexMode = 140;
constexpr uint32_t kRsColorVertex = 141;
constexpr uint32_t kRsNormalizeNormals = 143; // accepted, ignored
constexpr uint32_t kRsColorWriteEnable = 168;
constexpr uint32_t kRsBlendOp = 171;
constexpr uint32_t kRenderStateCount = 256;   // state numbers lie below

// Render-state values.
constexpr uint32_t kBlendZero = 1;
constexpr uint32_t kBlendOne = 2;
constexpr uint32_t kBlendSrcAlpha = 5;
constexpr uint32_t kBlendInvSrcAlpha = 6;
constexpr uint32_t kBlendDestColor = 9;
constexpr uint32_t kBlendInvDestColor = 10;
constexpr uint32_t kBlendOpAdd = 1;
constexpr uint32_t kBlendOpRevSubtract = 3;
constexpr uint32_t kCullNone = 1;
constexpr uint32_t kCullCw = 2;
constexpr uint32_t kCullCcw = 3;
constexpr uint32_t kCmpNever = 1;
constexpr uint32_t kCmpLess = 2;
constexpr uint32_t kCmpEqual = 3;
constexpr uint32_t kCmpLessEqual = 4;
constexpr uint32_t kCmpGreater = 5;
constexpr uint32_t kCmpNotEqual = 6;
constexpr uint32_t kCmpGreaterEqual = 7;
constexpr uint32_t kCmpAlways = 8;
constexpr uint32_t kStencilOpKeep = 1;
constexpr uint32_t kStencilOpZero = 2;
constexpr uint32_t kStencilOpReplace = 3;
constexpr uint32_t kStencilOpIncrSat = 4;
constexpr uint32_t kStencilOpDecrSat = 5;
constexpr uint32_t kStencilOpInvert = 6;
constexpr uint32_t kStencilOpIncr = 7;
constexpr uint32_t kStencilOpDecr = 8;
constexpr uint32_t kShadeGouraud = 2;
constexpr uint32_t kFogNone = 0;
constexpr uint32_t kFogLinear = 3;
constexpr uint32_t kColorWriteRed = 1;
constexpr uint32_t kColorWriteGreen = 2;
constexpr uint32_t kColorWriteBlue = 4;
constexpr uint32_t kColorWriteAlpha = 8;

// Texture-stage states (stages 0..7) and their values.
constexpr uint32_t kTssColorOp = 1;
constexpr uint32_t kTssColorArg1 = 2;
constexpr uint32_t kTssColorArg2 = 3;
constexpr uint32_t kTssAlphaOp = 4;
constexpr uint32_t kTssAlphaArg1 = 5;
constexpr uint32_t kTssAlphaArg2 = 6;
constexpr uint32_t kTopDisable = 1;
constexpr uint32_t kTopSelectArg1 = 2;
constexpr uint32_t kTopSelectArg2 = 3;
constexpr uint32_t kTopModulate = 4;
constexpr uint32_t kTaDiffuse = 0;
constexpr uint32_t kTaCurrent = 1;
constexpr uint32_t kTaTexture = 2;
constexpr uint32_t kStageCount = 8;

// Sampler states (samplers 0..7) and filters.
constexpr uint32_t kSampMagFilter = 5;
constexpr uint32_t kSampMinFilter = 6;
constexpr uint32_t kFilterNone = 0;           // point
constexpr uint32_t kFilterPoint = 1;
constexpr uint32_t kFilterLinear = 2;

// The state a device starts with and returns to after every Reset; the
// engine seeds its state caches from it.
struct StateValue {
    uint32_t state;
    uint32_t value;
};
struct StageStateValue {
    uint32_t stage, state, value;
};
struct DefaultStates {
    const StateValue* renderStates;
    size_t renderStateCount;
    const StageStateValue* stageStates;
    size_t stageStateCount;
    const StageStateValue* samplerStates;   // {sampler, state, value}
    size_t samplerStateCount;
};
const DefaultStates& GetDefaultStates();
// One render state's default; 0 for a state the table leaves out.
uint32_t DefaultRenderState(uint32_t state);

// Vertex declarations: stream 0 elements.
constexpr uint8_t kDeclFloat1 = 0;
constexpr uint8_t kDeclFloat2 = 1;
constexpr uint8_t kDeclFloat3 = 2;
constexpr uint8_t kDeclFloat4 = 3;
constexpr uint8_t kDeclColor = 4;             // 4 bytes, B G R A in memory
constexpr uint8_t kUsagePosition = 0;
constexpr uint8_t kUsageBlendWeight = 1;
constexpr uint8_t kUsageBlendIndices = 2;
constexpr uint8_t kUsageNormal = 3;
constexpr uint8_t kUsageTexCoord = 5;
constexpr uint8_t kUsageTangent = 6;
constexpr uint8_t kUsageBinormal = 7;
constexpr uint8_t kUsageColor = 10;

// File formats of SaveSurfaceToFile.
constexpr uint32_t kImageFileBmp = 0;

// ---------------------------------------------------------------- records

struct Rect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    bool operator==(const Rect&) const = default;
};

// Row-major, row vectors (v' = v * M), as the engine's matrices.
struct Matrix {
    float m[4][4];
};
static_assert(sizeof(Matrix) == 64);
Matrix IdentityMatrix();

struct Vector4 {
    float x = 0, y = 0, z = 0, w = 0;
};
static_assert(sizeof(Vector4) == 16);

struct ColorValue {
    float r = 0, g = 0, b = 0, a = 0;
};

struct Material {
    ColorValue diffuse, ambient, specular, emissive;
    float power = 0;
};

struct Viewport {
    uint32_t x = 0, y = 0, width = 0, height = 0;
    float minZ = 0, maxZ = 1;
    bool operator==(const Viewport&) const = default;
};

struct DisplayMode {
    uint32_t width = 0, height = 0, refreshRate = 0, format = kFormatUnknown;
    bool operator==(const DisplayMode&) const = default;
};

struct AdapterIdentifier {
    std::string description;
    uint32_t driverVersionHigh = 0, driverVersionLow = 0;
};

struct PresentParams {
    uint32_t backBufferWidth = 0;    // 0: the window's client area; the real size comes back
    uint32_t backBufferHeight = 0;
    uint32_t backBufferFormat = kFormatUnknown;   // unknown: the desktop's, when windowed
    uint32_t backBufferCount = 1;
    uint32_t swapEffect = kSwapEffectDiscard;
    host::window::Handle window = nullptr;
    bool windowed = true;
    bool enableAutoDepthStencil = true;
    uint32_t autoDepthStencilFormat = kFormatD24S8;
    uint32_t flags = 0;
    uint32_t refreshRate = 0;
    uint32_t presentationInterval = kPresentIntervalImmediate;
};

struct Caps {
    uint32_t deviceType = kDeviceHal;
    uint32_t textureCaps = 0;
    uint32_t maxTextureWidth = 0, maxTextureHeight = 0;
    uint32_t maxStreams = 0;
    uint32_t maxVertexIndex = 0;
    uint32_t maxPrimitiveCount = 0;
    uint32_t maxVertexBlendMatrices = 0;
    uint32_t vertexShaderVersion = 0;   // 0xFFFE0300 = vs 3.0
    uint32_t pixelShaderVersion = 0;    // 0xFFFF0300 = ps 3.0
};

struct SurfaceDesc {
    uint32_t width = 0, height = 0;
    uint32_t format = kFormatUnknown;
    uint32_t usage = 0;
    uint32_t pool = kPoolDefault;
};

struct BufferDesc {
    uint32_t bytes = 0;
    uint32_t usage = 0;
    uint32_t fvf = 0;                   // vertex buffers
    uint32_t format = kFormatUnknown;   // index buffers: kFormatIndex16 or 32
    uint32_t pool = kPoolDefault;
};

struct LockedRect {
    int32_t pitch = 0;                  // bytes from one row to the next
    void* bits = nullptr;
};

struct VertexElement {
    uint16_t offset;
    uint8_t type;                       // kDeclFloat1 ...
    uint8_t usage;                      // kUsagePosition ...
    uint8_t usageIndex;
};

// ---------------------------------------------------------------- objects

// The root of every object: an atomic reference count; the last Release
// deletes. An object made by a Create call starts with one reference.
class Object {
public:
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;
    virtual uint32_t AddRef();
    virtual uint32_t Release();   // the count left
protected:
    Object() = default;
    virtual ~Object() = default;
    uint32_t RefCount() const { return refs_.load(); }
private:
    std::atomic<uint32_t> refs_{1};
};

// Holds one reference; Put() hands an out parameter to a Create call.
template <class T>
class Ref {
public:
    Ref() = default;
    Ref(std::nullptr_t) {}
    explicit Ref(T* p) : p_(p) { if (p_) p_->AddRef(); }   // adds a reference
    Ref(const Ref& o) : Ref(o.p_) {}
    Ref(Ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ~Ref() { Reset(); }
    Ref& operator=(Ref o) noexcept { std::swap(p_, o.p_); return *this; }
    // Takes over a reference the caller owns.
    static Ref Adopt(T* p) { Ref r; r.p_ = p; return r; }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    T& operator*() const { return *p_; }
    explicit operator bool() const { return p_ != nullptr; }
    T** Put() { Reset(); return &p_; }
    T* Detach() { return std::exchange(p_, nullptr); }
    void Reset() { if (T* p = std::exchange(p_, nullptr)) p->Release(); }
private:
    T* p_ = nullptr;
};

class Device;

// Anything a device creates.
class Resource : public Object {
public:
    // The creating device, with a reference added.
    virtual Result GetDevice(Device** out) = 0;
};

// A 2D array of pixels: a texture level, the back buffer, a depth surface.
// A texture's level shares the texture's reference count.
class Surface : public Resource {
public:
    virtual Result GetDesc(SurfaceDesc& out) = 0;
    // Lockable as the owning texture's levels are; other surfaces are not.
    virtual Result LockRect(LockedRect& out, const Rect* rect, uint32_t flags) = 0;
    virtual Result UnlockRect() = 0;
    // A copy of a region's colours as ARGB, row by row (screenshots, BMP
    // saving); null rect is the whole surface. Colour formats only.
    virtual Result ReadPixels(const Rect* rect, uint32_t* argb) = 0;
};

class Texture : public Resource {
public:
    virtual uint32_t GetLevelCount() = 0;
    virtual Result GetLevelDesc(uint32_t level, SurfaceDesc& out) = 0;
    virtual Result GetSurfaceLevel(uint32_t level, Surface** out) = 0;
    // Lockable in the managed and system-memory pools and with kUsageDynamic.
    virtual Result LockRect(uint32_t level, LockedRect& out, const Rect* rect, uint32_t flags) = 0;
    virtual Result UnlockRect(uint32_t level) = 0;
    // Every texel of every level; a render target is cleared on the GPU.
    virtual Result Fill(uint32_t argb) = 0;
};

class VertexBuffer : public Resource {
public:
    virtual Result GetDesc(BufferDesc& out) = 0;
    // bytes 0 with offset 0 locks the whole buffer.
    virtual Result Lock(uint32_t offset, uint32_t bytes, void** data, uint32_t flags) = 0;
    virtual Result Unlock() = 0;
};

class IndexBuffer : public Resource {
public:
    virtual Result GetDesc(BufferDesc& out) = 0;
    virtual Result Lock(uint32_t offset, uint32_t bytes, void** data, uint32_t flags) = 0;
    virtual Result Unlock() = 0;
};

class VertexDeclaration : public Resource {
public:
    virtual uint32_t GetElementCount() = 0;
    virtual Result GetElements(VertexElement* out, uint32_t capacity) = 0;
};

// An effect parameter or technique; 0 names none.
using EffectHandle = uint32_t;
constexpr EffectHandle kNoHandle = 0;

// An effect made from a .shd file (EffectFile.h). Setters convert to the
// parameter's type: SetVector takes the leading components, SetFloat on an
// int truncates, SetValue copies min(bytes, size), SetMatrix on a float3x4
// drops column 3, and array setters clamp to the declared size and succeed.
// A null handle, a handle of the wrong kind, a bad pass or a nested Begin
// gives InvalidCall.
class Effect : public Resource {
public:
    // parent must be kNoHandle (top-level parameters only).
    virtual EffectHandle GetParameterByName(EffectHandle parent, const char* name) = 0;
    virtual EffectHandle GetTechniqueByName(const char* name) = 0;
    virtual Result SetTechnique(EffectHandle technique) = 0;
    virtual EffectHandle GetCurrentTechnique() = 0;   // the first until one is set
    virtual Result SetValue(EffectHandle parameter, const void* data, uint32_t bytes) = 0;
    virtual Result SetFloat(EffectHandle parameter, float f) = 0;
    virtual Result SetFloatArray(EffectHandle parameter, const float* f, uint32_t count) = 0;
    virtual Result SetInt(EffectHandle parameter, int32_t i) = 0;
    virtual Result SetVector(EffectHandle parameter, const Vector4& v) = 0;
    virtual Result SetVectorArray(EffectHandle parameter, const Vector4* v, uint32_t count) = 0;
    virtual Result SetMatrix(EffectHandle parameter, const Matrix& m) = 0;
    virtual Result SetMatrixArray(EffectHandle parameter, const Matrix* m, uint32_t count) = 0;
    virtual Result SetTexture(EffectHandle parameter, Texture* texture) = 0;   // null unbinds
    // Starts the current technique; passes (optional) gets its pass count.
    virtual Result Begin(uint32_t* passes, uint32_t flags) = 0;
    virtual Result BeginPass(uint32_t pass) = 0;
    virtual Result EndPass() = 0;
    // Puts back the render states the passes changed.
    virtual Result End() = 0;
};

class Device : public Object {
public:
    virtual Result GetDeviceCaps(Caps& out) = 0;
    virtual uint32_t GetAvailableTextureMem() = 0;
    virtual Result GetDisplayMode(DisplayMode& out) = 0;

    // Lost-device protocol. Reset is refused while a default-pool resource
    // or a reference to the back buffer or the automatic depth surface taken
    // with GetRenderTarget/GetDepthStencilSurface lives; success restores the
    // default states, unbinds everything and targets the new back buffer.
    virtual Result TestCooperativeLevel() = 0;
    virtual Result Reset(PresentParams& params) = 0;

    virtual Result BeginScene() = 0;
    virtual Result EndScene() = 0;
    virtual Result Present() = 0;
    // Clears the current viewport of the targets the flags name, whatever
    // the write masks say.
    virtual Result Clear(uint32_t flags, uint32_t argb, float z, uint32_t stencil) = 0;

    // The viewport must lie inside the render target.
    virtual Result SetViewport(const Viewport& viewport) = 0;
    virtual Result GetViewport(Viewport& out) = 0;
    // Index 0 only; a render-target surface, never null. Resets the viewport
    // to the whole target.
    virtual Result SetRenderTarget(uint32_t index, Surface* surface) = 0;
    virtual Result GetRenderTarget(uint32_t index, Surface** out) = 0;
    virtual Result SetDepthStencilSurface(Surface* surface) = 0;       // null allowed
    virtual Result GetDepthStencilSurface(Surface** out) = 0;          // NotAvailable when none

    // Resources. Textures: formats 21, 22, 32, 33; kUsageRenderTarget only in
    // the default pool; kUsageDynamic not managed; levels 0 = the full chain.
    virtual Result CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                                 uint32_t format, uint32_t pool, Texture** out) = 0;
    virtual Result CreateDepthStencilSurface(uint32_t width, uint32_t height, uint32_t format,
                                             uint32_t multiSample, uint32_t quality, bool discard,
                                             Surface** out) = 0;
    virtual Result CreateVertexBuffer(uint32_t bytes, uint32_t usage, uint32_t fvf, uint32_t pool,
                                      VertexBuffer** out) = 0;
    virtual Result CreateIndexBuffer(uint32_t bytes, uint32_t usage, uint32_t format, uint32_t pool,
                                     IndexBuffer** out) = 0;
    virtual Result CreateVertexDeclaration(const VertexElement* elements, uint32_t count,
                                           VertexDeclaration** out) = 0;

    // Copies between default-pool surfaces; the destination is a render
    // target; null rects are whole surfaces. Filter kFilterNone/Point/Linear.
    virtual Result StretchRect(Surface* source, const Rect* sourceRect, Surface* dest,
                               const Rect* destRect, uint32_t filter) = 0;
    // A render target into a system-memory surface of its size and format.
    virtual Result GetRenderTargetData(Surface* renderTarget, Surface* dest) = 0;

    // States.
    virtual Result SetRenderState(uint32_t state, uint32_t value) = 0;
    virtual Result GetRenderState(uint32_t state, uint32_t& value) = 0;
    virtual Result SetSamplerState(uint32_t sampler, uint32_t type, uint32_t value) = 0;
    virtual Result SetTextureStageState(uint32_t stage, uint32_t type, uint32_t value) = 0;
    virtual Result SetTexture(uint32_t stage, Texture* texture) = 0;
    virtual Result SetTransform(uint32_t transform, const Matrix& m) = 0;
    virtual Result GetTransform(uint32_t transform, Matrix& out) = 0;
    virtual Result SetMaterial(const Material& material) = 0;

    // Vertex input.
    virtual Result SetStreamSource(uint32_t stream, VertexBuffer* buffer, uint32_t offset, uint32_t stride) = 0;
    virtual Result SetIndices(IndexBuffer* buffer) = 0;
    virtual Result SetVertexDeclaration(VertexDeclaration* declaration) = 0;   // clears the FVF
    virtual Result SetFVF(uint32_t fvf) = 0;                                   // clears the declaration

    // Draws, inside BeginScene/EndScene only. DrawPrimitiveUP unbinds stream
    // 0 and the indices, as D3D9 does.
    virtual Result DrawPrimitiveUP(uint32_t type, uint32_t count, const void* vertices, uint32_t stride) = 0;
    virtual Result DrawIndexedPrimitive(uint32_t type, int32_t baseVertex, uint32_t minIndex,
                                        uint32_t numVertices, uint32_t startIndex, uint32_t count) = 0;

    // The backend's effect from a parsed .shd file; use CreateEffectFromMemory.
    virtual Result CreateEffect(const EffectDesc& desc, Effect** out) = 0;
};

class Api : public Object {
public:
    virtual uint32_t GetAdapterCount() = 0;
    virtual Result GetAdapterIdentifier(uint32_t adapter, uint32_t flags, AdapterIdentifier& out) = 0;
    // The desktop mode.
    virtual Result GetAdapterDisplayMode(uint32_t adapter, DisplayMode& out) = 0;
    virtual uint32_t GetAdapterModeCount(uint32_t adapter, uint32_t format) = 0;
    virtual Result EnumAdapterModes(uint32_t adapter, uint32_t format, uint32_t index, DisplayMode& out) = 0;
    virtual Result CheckDeviceType(uint32_t adapter, uint32_t type, uint32_t displayFormat,
                                   uint32_t backBufferFormat, bool windowed) = 0;
    virtual Result CheckDeviceFormat(uint32_t adapter, uint32_t type, uint32_t adapterFormat,
                                     uint32_t usage, uint32_t resourceType, uint32_t format) = 0;
    // params.backBufferWidth/Height and format come back filled.
    virtual Result CreateDevice(uint32_t adapter, uint32_t type, host::window::Handle focusWindow,
                                uint32_t flags, PresentParams& params, Device** out) = 0;
};

// The installed backend's Api (RenderBackend.h), the real one by default;
// null when no backend can start.
Ref<Api> CreateApi();

// ---------------------------------------------------------------- D3DX replacements

// Every texel of every level of the texture.
Result FillTexture(Texture* texture, uint32_t argb);
// A 24-bit BMP of the surface (or of rect) through host::kernel; format
// kImageFileBmp only.
Result SaveSurfaceToFile(std::string_view path, uint32_t fileFormat, Surface* surface, const Rect* rect);

// An effect from .shd text; errors (optional) receives the parser's or the
// backend's message on failure.
Result CreateEffectFromMemory(Device* device, const void* data, size_t bytes, uint32_t flags,
                              Effect** out, std::string* errors);
Result CreateEffectFromFile(Device* device, std::string_view path, uint32_t flags,
                            Effect** out, std::string* errors);

// The effects the program carries ("Default.shd", "GaussFilter.shd"); empty
// for any other name.
std::string_view BuiltinEffect(std::string_view name);

}  // namespace host::render
