// The fake render backend: a device that records every call, validates as
// strictly as Direct3D 9, keeps CPU pixels for clears, locks, fills,
// StretchRect, readback and BMP saving (draws are only logged), and can be
// told to fail any call or to lose the device.
//
//   auto& fake = host::render::InstallFakeRender();
//   fake.SetCreateDeviceResult(kDeviceHal, 0x84, Result::NotAvailable);
//   fake.FailCall("Reset", 1, Result::InvalidCall);
//   ... code under test ...
//   EXPECT_EQ(fake.Count(CallMatch("SetRenderState").With("state", kRsZWriteEnable)), 1u);
//   EXPECT_EQ(fake.ReadPixel(backBuffer, 10, 10), 0xFF000000u);
//
// Log entries carry the op, named numeric or text arguments, the id of the
// object called (0 for CreateApi), the calling thread, the result, and data
// where a call hands over memory (DrawPrimitiveUP's vertices, SetTransform's
// matrix, effect values). Ops are the Api and Device calls by name
// ("CreateDevice", "SetRenderState") and the other objects' calls prefixed
// with their kind ("Texture.LockRect", "Texture.Fill" for FillTexture,
// "Surface.ReadPixels" for SaveSurfaceToFile, "VertexBuffer.Lock",
// "Effect.SetMatrixArray"); FailCall takes the same names. Plain getters
// (descriptions, GetRenderState, GetTransform, GetViewport) are not logged.
#pragma once

#include "host/render/EffectFile.h"
#include "host/render/RenderBackend.h"

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace host::render {

struct CallArg {
    std::string name;
    double number = 0;
    std::string text;
};

struct Call {
    std::string op;
    std::vector<CallArg> args;
    uint64_t object = 0;
    std::thread::id thread;
    Result result = Result::Ok;
    std::vector<uint8_t> data;

    bool Has(std::string_view name) const;
    double Number(std::string_view name) const;   // 0 when absent
    uint32_t U32(std::string_view name) const { return static_cast<uint32_t>(Number(name)); }
    float Float(std::string_view name) const { return static_cast<float>(Number(name)); }
    std::string Text(std::string_view name) const;
    // data read as little-endian values; 0 past the end.
    float FloatAt(size_t byteOffset) const;
    uint32_t U32At(size_t byteOffset) const;
    std::vector<float> Floats() const;
};

// Matches a call by op, object and any of its arguments.
class CallMatch {
public:
    explicit CallMatch(std::string op) : op_(std::move(op)) {}
    CallMatch& With(std::string name, double value);
    CallMatch& WithText(std::string name, std::string value);
    CallMatch& On(uint64_t object) { object_ = object; return *this; }
    CallMatch& Returning(Result r) { result_ = r; hasResult_ = true; return *this; }
    bool Matches(const Call& call) const;
private:
    std::string op_;
    std::vector<CallArg> numbers_, texts_;
    uint64_t object_ = 0;
    Result result_ = Result::Ok;
    bool hasResult_ = false;
};

// Inspection of a fake device, besides the Device calls.
class FakeDevice : public Device {
public:
    struct Stream {
        VertexBuffer* buffer = nullptr;
        uint32_t offset = 0, stride = 0;
    };
    virtual uint64_t Id() const = 0;
    virtual uint32_t CreatedType() const = 0;
    virtual uint32_t CreatedFlags() const = 0;
    virtual PresentParams Params() const = 0;
    virtual uint32_t RenderState(uint32_t state) const = 0;
    virtual uint32_t SamplerState(uint32_t sampler, uint32_t type) const = 0;
    virtual uint32_t StageState(uint32_t stage, uint32_t type) const = 0;
    virtual Matrix Transform(uint32_t transform) const = 0;   // identity until set
    virtual Material CurrentMaterial() const = 0;
    virtual Texture* BoundTexture(uint32_t stage) const = 0;
    virtual Stream StreamSource() const = 0;
    virtual IndexBuffer* BoundIndices() const = 0;
    virtual VertexDeclaration* BoundDeclaration() const = 0;
    virtual uint32_t BoundFvf() const = 0;
    virtual Surface* CurrentRenderTarget() const = 0;
    virtual Surface* CurrentDepthSurface() const = 0;
    virtual Surface* BackBuffer() const = 0;
    virtual Surface* AutoDepthSurface() const = 0;   // null without one
    virtual Viewport CurrentViewport() const = 0;
    virtual bool InScene() const = 0;
    // Resources of this device alive in a pool (the back buffer and the
    // automatic depth surface are not counted).
    virtual size_t LiveResources(uint32_t pool) const = 0;
};

// Inspection of a fake effect.
class FakeEffect : public Effect {
public:
    virtual const EffectDesc& Desc() const = 0;
    // The parameter's words as floats (ints converted); empty when undeclared.
    // A float3x4 element is its three columns of four, as the GPU gets it.
    virtual std::vector<float> Value(std::string_view name) const = 0;
    virtual std::vector<int32_t> IntValue(std::string_view name) const = 0;
    virtual Texture* TextureValue(std::string_view name) const = 0;
    virtual bool Begun() const = 0;
    virtual int ActivePass() const = 0;   // -1 outside a pass
    virtual std::string CurrentTechniqueName() const = 0;
};

class FakeRender : public Backend {
public:
    FakeRender();
    ~FakeRender() override;

    // ------------------------------------------------ configuration
    // CreateApi answers null while unavailable (no display).
    void SetApiAvailable(bool available);
    void SetAdapterIdentifier(const AdapterIdentifier& id);
    void SetDesktopMode(const DisplayMode& mode);
    void SetModes(uint32_t format, std::vector<DisplayMode> modes);
    // The display formats CheckDeviceType accepts (display = back buffer).
    void SetDisplayFormats(std::vector<uint32_t> formats);
    // The texture formats CheckDeviceFormat accepts.
    void SetTextureFormats(std::vector<uint32_t> formats);
    void SetCaps(const Caps& caps);
    void SetAvailableTextureMem(uint32_t bytes);
    // The answer of CreateDevice for a device type and flag set (Ok unless set).
    void SetCreateDeviceResult(uint32_t type, uint32_t flags, Result result);
    // The nth call of op from now (1 = the next) and the times - 1 after it
    // fail with result, before doing anything.
    void FailCall(std::string op, uint32_t nth, Result result, uint32_t times = 1);
    void ClearFailures();
    // The next TestCooperativeLevel answers, in order, before the device's own.
    void ScriptCooperativeLevel(std::vector<Result> answers);
    // Every device is lost: TestCooperativeLevel answers DeviceLost `lostAnswers`
    // times (Present and Reset fail with it meanwhile), then DeviceNotReset
    // until a Reset succeeds.
    void SimulateLoss(uint32_t lostAnswers);

    // ------------------------------------------------ log
    // Off: calls are still checked, failed as set and carried out, but not
    // kept (long headless runs that never read them). On by default.
    void SetLogging(bool on);
    std::vector<Call> Calls() const;
    size_t CallCount() const;
    std::vector<Call> CallsSince(size_t mark) const;
    void ClearLog();
    // CallsSince(mark) moved out, then ClearLog: no copy of a frame's calls.
    std::vector<Call> TakeLog(size_t mark);
    std::vector<Call> Find(const CallMatch& match) const;
    size_t Count(const CallMatch& match) const;
    size_t Count(std::string_view op) const;
    // The matches appear in this order, other calls in between allowed.
    bool HasSequence(std::initializer_list<CallMatch> matches) const;
    // The ops in order (for a readable failure message).
    std::vector<std::string> Ops() const;

    // ------------------------------------------------ objects
    // The log id of an object made through this fake; 0 for null or foreign.
    uint64_t IdOf(const Object* object) const;
    // The newest device still alive; null when none.
    FakeDevice* LastDevice() const;
    static FakeEffect* AsFake(Effect* effect);

    // ------------------------------------------------ pixels
    // ARGB of a colour surface (alpha 0xFF for the X8 formats); 0 out of range.
    static uint32_t ReadPixel(Surface* surface, uint32_t x, uint32_t y);
    static float ReadDepth(Surface* surface, uint32_t x, uint32_t y);
    static uint8_t ReadStencil(Surface* surface, uint32_t x, uint32_t y);

    // Backend
    Ref<Api> CreateApi() override;

    struct State;   // shared with everything made through this fake
private:
    std::shared_ptr<State> state_;
};

// Installs a fresh fake; the reference holds until the next install.
FakeRender& InstallFakeRender();

}  // namespace host::render
