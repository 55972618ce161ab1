// The fake backend's shared state, its log and matchers, the configuration
// calls and the fake Api.
#include "host/render/DeviceRules.h"
#include "host/render/FakeObjects.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace host::render {

// ---------------------------------------------------------------- state and log

FakeRender::State::State() {
    caps.deviceType = kDeviceHal;
    caps.maxTextureWidth = caps.maxTextureHeight = 8192;
    caps.maxStreams = 16;
    caps.maxVertexIndex = 0xFFFFFF;
    caps.maxPrimitiveCount = 0xFFFFFF;
    caps.maxVertexBlendMatrices = 4;
    caps.vertexShaderVersion = 0xFFFE0300;
    caps.pixelShaderVersion = 0xFFFF0300;
    modes[kFormatX8R8G8B8] = {{640, 480, 60, kFormatX8R8G8B8},   {800, 600, 60, kFormatX8R8G8B8},
                              {1024, 768, 60, kFormatX8R8G8B8},  {1280, 720, 60, kFormatX8R8G8B8},
                              {1280, 1024, 60, kFormatX8R8G8B8}, {1920, 1080, 60, kFormatX8R8G8B8}};
}

uint64_t FakeRender::State::NewId() {
    std::lock_guard lock(logMutex);
    return nextId++;
}

Result FakeRender::State::Injected(std::string_view op) {
    if (failureRules.load(std::memory_order_acquire) == 0) return Result::Ok;
    std::lock_guard lock(logMutex);
    for (FailureRule& rule : failures) {
        if (rule.op != op || rule.times == 0) continue;
        if (rule.skip > 0) {
            --rule.skip;
            continue;
        }
        --rule.times;
        return rule.result;
    }
    return Result::Ok;
}

void FakeRender::State::Append(Call call) {
    std::lock_guard lock(logMutex);
    log.push_back(std::move(call));
}

Recorder::Recorder(FakeRender::State& state, const char* op, uint64_t object)
    : state_(state), op_(op), keep_(state.logging.load(std::memory_order_relaxed)) {
    call_.object = object;
    call_.thread = std::this_thread::get_id();
    injected_ = state_.Injected(op_);
}

Recorder::~Recorder() {
    if (!done_) Finish(injected_);
}

Recorder& Recorder::Arg(const char* name, double value) {
    if (keep_) Reserve().push_back({name, value, {}});
    return *this;
}

Recorder& Recorder::Text(const char* name, std::string value) {
    if (keep_) Reserve().push_back({name, 0, std::move(value)});
    return *this;
}

std::vector<CallArg>& Recorder::Reserve() {
    // Room for the longest call's arguments at once: growing one at a time
    // cost the menus' frames about a tenth of their time.
    if (call_.args.empty()) call_.args.reserve(16);
    return call_.args;
}

Recorder& Recorder::Data(const void* data, size_t bytes) {
    if (keep_ && data && bytes) {
        auto p = static_cast<const uint8_t*>(data);
        call_.data.assign(p, p + bytes);
    }
    return *this;
}

Result Recorder::Finish(Result r) {
    if (done_) return r;
    done_ = true;
    call_.result = r;
    if (keep_) {
        call_.op = op_;
        state_.Append(std::move(call_));
    }
    return r;
}

bool Call::Has(std::string_view name) const {
    return std::any_of(args.begin(), args.end(), [&](const CallArg& a) { return a.name == name; });
}

double Call::Number(std::string_view name) const {
    for (const CallArg& a : args)
        if (a.name == name) return a.number;
    return 0;
}

std::string Call::Text(std::string_view name) const {
    for (const CallArg& a : args)
        if (a.name == name) return a.text;
    return {};
}

float Call::FloatAt(size_t offset) const {
    float f = 0;
    if (offset <= data.size() && data.size() - offset >= 4) std::memcpy(&f, data.data() + offset, 4);
    return f;
}

uint32_t Call::U32At(size_t offset) const {
    uint32_t v = 0;
    if (offset <= data.size() && data.size() - offset >= 4) std::memcpy(&v, data.data() + offset, 4);
    return v;
}

std::vector<float> Call::Floats() const {
    std::vector<float> out(data.size() / 4);
    if (!out.empty()) std::memcpy(out.data(), data.data(), out.size() * 4);
    return out;
}

CallMatch& CallMatch::With(std::string name, double value) {
    numbers_.push_back({std::move(name), value, {}});
    return *this;
}

CallMatch& CallMatch::WithText(std::string name, std::string value) {
    texts_.push_back({std::move(name), 0, std::move(value)});
    return *this;
}

bool CallMatch::Matches(const Call& call) const {
    if (call.op != op_ || (object_ && call.object != object_) || (hasResult_ && call.result != result_)) return false;
    for (const CallArg& a : numbers_)
        if (!call.Has(a.name) || call.Number(a.name) != a.number) return false;
    for (const CallArg& a : texts_)
        if (!call.Has(a.name) || call.Text(a.name) != a.text) return false;
    return true;
}

// ---------------------------------------------------------------- FakeRender

FakeRender::FakeRender() : state_(std::make_shared<State>()) {}
FakeRender::~FakeRender() = default;

void FakeRender::SetApiAvailable(bool available) { std::lock_guard l(state_->mutex); state_->apiAvailable = available; }
void FakeRender::SetAdapterIdentifier(const AdapterIdentifier& id) { std::lock_guard l(state_->mutex); state_->adapter = id; }
void FakeRender::SetDesktopMode(const DisplayMode& mode) { std::lock_guard l(state_->mutex); state_->desktop = mode; }
void FakeRender::SetCaps(const Caps& caps) { std::lock_guard l(state_->mutex); state_->caps = caps; }
void FakeRender::SetAvailableTextureMem(uint32_t bytes) { std::lock_guard l(state_->mutex); state_->textureMemory = bytes; }

void FakeRender::SetModes(uint32_t format, std::vector<DisplayMode> modes) {
    std::lock_guard l(state_->mutex);
    state_->modes[format] = std::move(modes);
}

void FakeRender::SetDisplayFormats(std::vector<uint32_t> formats) {
    std::lock_guard l(state_->mutex);
    state_->displayFormats = std::move(formats);
}

void FakeRender::SetTextureFormats(std::vector<uint32_t> formats) {
    std::lock_guard l(state_->mutex);
    state_->textureFormats = std::move(formats);
}

void FakeRender::SetCreateDeviceResult(uint32_t type, uint32_t flags, Result result) {
    std::lock_guard l(state_->mutex);
    state_->createResults[{type, flags}] = result;
}

void FakeRender::FailCall(std::string op, uint32_t nth, Result result, uint32_t times) {
    std::lock_guard l(state_->logMutex);
    state_->failures.push_back({std::move(op), nth > 0 ? nth - 1 : 0, times, result});
    state_->failureRules.store(state_->failures.size(), std::memory_order_release);
}

void FakeRender::ClearFailures() {
    std::lock_guard l(state_->logMutex);
    state_->failures.clear();
    state_->failureRules.store(0, std::memory_order_release);
}

void FakeRender::ScriptCooperativeLevel(std::vector<Result> answers) {
    std::lock_guard l(state_->mutex);
    state_->coopScript.assign(answers.begin(), answers.end());
}

void FakeRender::SimulateLoss(uint32_t lostAnswers) {
    std::lock_guard l(state_->mutex);
    state_->lost = true;
    state_->lostAnswers = lostAnswers;
}

std::vector<Call> FakeRender::Calls() const {
    std::lock_guard l(state_->logMutex);
    return state_->log;
}

size_t FakeRender::CallCount() const {
    std::lock_guard l(state_->logMutex);
    return state_->log.size();
}

std::vector<Call> FakeRender::CallsSince(size_t mark) const {
    std::lock_guard l(state_->logMutex);
    if (mark >= state_->log.size()) return {};
    return {state_->log.begin() + ptrdiff_t(mark), state_->log.end()};
}

void FakeRender::SetLogging(bool on) {
    state_->logging = on;
}

void FakeRender::ClearLog() {
    std::lock_guard l(state_->logMutex);
    state_->log.clear();
}

std::vector<Call> FakeRender::TakeLog(size_t mark) {
    std::lock_guard l(state_->logMutex);
    std::vector<Call> taken;
    if (mark == 0) taken.swap(state_->log);
    else if (mark < state_->log.size())
        taken.assign(std::make_move_iterator(state_->log.begin() + ptrdiff_t(mark)),
                     std::make_move_iterator(state_->log.end()));
    state_->log.clear();
    return taken;
}

std::vector<Call> FakeRender::Find(const CallMatch& match) const {
    std::lock_guard l(state_->logMutex);
    std::vector<Call> out;
    for (const Call& c : state_->log)
        if (match.Matches(c)) out.push_back(c);
    return out;
}

size_t FakeRender::Count(const CallMatch& match) const {
    std::lock_guard l(state_->logMutex);
    return size_t(std::count_if(state_->log.begin(), state_->log.end(), [&](const Call& c) { return match.Matches(c); }));
}

size_t FakeRender::Count(std::string_view op) const { return Count(CallMatch(std::string(op))); }

bool FakeRender::HasSequence(std::initializer_list<CallMatch> matches) const {
    std::lock_guard l(state_->logMutex);
    auto next = matches.begin();
    for (const Call& c : state_->log) {
        if (next == matches.end()) break;
        if (next->Matches(c)) ++next;
    }
    return next == matches.end();
}

std::vector<std::string> FakeRender::Ops() const {
    std::lock_guard l(state_->logMutex);
    std::vector<std::string> out;
    for (const Call& c : state_->log) out.push_back(c.op);
    return out;
}

uint64_t FakeRender::IdOf(const Object* object) const {
    auto* identity = dynamic_cast<const FakeIdentity*>(object);
    return identity && identity->fakeState == state_.get() ? identity->fakeId : 0;
}

FakeDevice* FakeRender::LastDevice() const {
    std::lock_guard l(state_->mutex);
    return state_->devices.empty() ? nullptr : state_->devices.back();
}

FakeEffect* FakeRender::AsFake(Effect* effect) { return dynamic_cast<FakeEffect*>(effect); }

uint32_t FakeRender::ReadPixel(Surface* surface, uint32_t x, uint32_t y) {
    auto* s = dynamic_cast<FakeSurfaceImpl*>(surface);
    if (!s || !s->IsColor() || x >= s->desc.width || y >= s->desc.height) return 0;
    return s->Get(x, y);
}

float FakeRender::ReadDepth(Surface* surface, uint32_t x, uint32_t y) {
    auto* s = dynamic_cast<FakeSurfaceImpl*>(surface);
    if (!s || s->depth.empty() || x >= s->desc.width || y >= s->desc.height) return 0;
    return s->DepthAt(x, y);
}

uint8_t FakeRender::ReadStencil(Surface* surface, uint32_t x, uint32_t y) {
    auto* s = dynamic_cast<FakeSurfaceImpl*>(surface);
    if (!s || s->stencil.empty() || x >= s->desc.width || y >= s->desc.height) return 0;
    return s->StencilAt(x, y);
}

// ---------------------------------------------------------------- the Api

namespace {

class FakeApi : public Api, public FakeIdentity {
public:
    explicit FakeApi(std::shared_ptr<FakeRender::State> state) : state_(std::move(state)) {
        fakeId = state_->NewId();
        fakeState = state_.get();
    }

    uint32_t GetAdapterCount() override { return 1; }

    Result GetAdapterIdentifier(uint32_t adapter, uint32_t flags, AdapterIdentifier& out) override {
        Recorder rec = Record("GetAdapterIdentifier");
        rec.Arg("adapter", adapter).Arg("flags", flags);
        if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
        if (adapter != 0) return rec.Finish(Result::InvalidCall);
        {
            std::lock_guard l(state_->mutex);
            out = state_->adapter;
        }
        return rec.Finish(Result::Ok);
    }

    Result GetAdapterDisplayMode(uint32_t adapter, DisplayMode& out) override {
        Recorder rec = Record("GetAdapterDisplayMode");
        rec.Arg("adapter", adapter);
        if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
        if (adapter != 0) return rec.Finish(Result::InvalidCall);
        {
            std::lock_guard l(state_->mutex);
            out = state_->desktop;
        }
        return rec.Finish(Result::Ok);
    }

    uint32_t GetAdapterModeCount(uint32_t adapter, uint32_t format) override {
        std::lock_guard l(state_->mutex);
        auto it = state_->modes.find(format);
        return adapter != 0 || it == state_->modes.end() ? 0 : uint32_t(it->second.size());
    }

    Result EnumAdapterModes(uint32_t adapter, uint32_t format, uint32_t index, DisplayMode& out) override {
        Recorder rec = Record("EnumAdapterModes");
        rec.Arg("adapter", adapter).Arg("format", format).Arg("index", index);
        if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
        bool found = false;
        {
            std::lock_guard l(state_->mutex);
            auto it = state_->modes.find(format);
            if (adapter == 0 && it != state_->modes.end() && index < it->second.size()) {
                out = it->second[index];
                found = true;
            }
        }
        return rec.Finish(found ? Result::Ok : Result::InvalidCall);
    }

    // Full screen wants the display format itself as the back buffer (or its
    // alpha twin); a window takes any back buffer the display can show.
    Result CheckDeviceType(uint32_t adapter, uint32_t type, uint32_t displayFormat, uint32_t backBufferFormat,
                           bool windowed) override {
        Recorder rec = Record("CheckDeviceType");
        rec.Arg("adapter", adapter).Arg("type", type).Arg("display", displayFormat)
            .Arg("backBuffer", backBufferFormat).Arg("windowed", windowed);
        if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
        if (adapter != 0 || (type != kDeviceHal && type != kDeviceRef)) return rec.Finish(Result::InvalidCall);
        bool display;
        {
            std::lock_guard l(state_->mutex);
            const auto& formats = state_->displayFormats;
            display = std::find(formats.begin(), formats.end(), displayFormat) != formats.end();
        }
        bool pairs = backBufferFormat == displayFormat ||
                     (displayFormat == kFormatX8R8G8B8 && backBufferFormat == kFormatA8R8G8B8) ||
                     (windowed && backBufferFormat == kFormatUnknown);
        return rec.Finish(display && pairs ? Result::Ok : Result::NotAvailable);
    }

    Result CheckDeviceFormat(uint32_t adapter, uint32_t type, uint32_t adapterFormat, uint32_t usage,
                             uint32_t resourceType, uint32_t format) override {
        Recorder rec = Record("CheckDeviceFormat");
        rec.Arg("adapter", adapter).Arg("type", type).Arg("adapterFormat", adapterFormat).Arg("usage", usage)
            .Arg("resourceType", resourceType).Arg("format", format);
        if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
        if (adapter != 0 || (type != kDeviceHal && type != kDeviceRef)) return rec.Finish(Result::InvalidCall);
        bool ok;
        {
            std::lock_guard l(state_->mutex);
            const auto& formats = state_->textureFormats;
            ok = (resourceType == kResourceTexture || resourceType == kResourceSurface) &&
                 std::find(formats.begin(), formats.end(), format) != formats.end();
        }
        return rec.Finish(ok ? Result::Ok : Result::NotAvailable);
    }

    Result CreateDevice(uint32_t adapter, uint32_t type, host::window::Handle focus, uint32_t flags,
                        PresentParams& params, Device** out) override {
        Recorder rec = Record("CreateDevice");
        rec.Arg("adapter", adapter).Arg("type", type).Arg("flags", flags);
        if (out) *out = nullptr;
        if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
        if (!out || adapter != 0 || !ValidCreateRequest(type, flags))
            return rec.Finish(Result::InvalidCall);
        Result table = Result::Ok;
        {
            std::lock_guard l(state_->mutex);
            auto it = state_->createResults.find({type, flags});
            if (it != state_->createResults.end()) table = it->second;
            // The engine's 2048-texel targets need this much.
            if (table == Result::Ok && (state_->caps.maxTextureWidth < 2048 || state_->caps.maxTextureHeight < 2048))
                table = Result::NotAvailable;
        }
        if (table != Result::Ok) return rec.Finish(table);
        if (Result r = FakeDeviceImpl::CompleteParams(*state_, params, focus); r != Result::Ok) return rec.Finish(r);
        auto* device = new FakeDeviceImpl(state_, type, flags, params);
        rec.Arg("device", double(device->fakeId)).Arg("width", params.backBufferWidth)
            .Arg("height", params.backBufferHeight);
        *out = device;
        return rec.Finish(Result::Ok);
    }

private:
    Recorder Record(const char* op) { return Recorder(*state_, op, fakeId); }
    std::shared_ptr<FakeRender::State> state_;
};

}  // namespace

Ref<Api> FakeRender::CreateApi() {
    Recorder rec(*state_, "CreateApi", 0);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected()), nullptr;
    bool available;
    {
        std::lock_guard l(state_->mutex);
        available = state_->apiAvailable;
    }
    if (!available) return rec.Finish(Result::NotAvailable), nullptr;
    rec.Finish(Result::Ok);
    return Ref<Api>::Adopt(new FakeApi(state_));
}

FakeRender& InstallFakeRender() {
    auto fake = std::make_unique<FakeRender>();
    FakeRender& ref = *fake;
    InstallBackend(std::move(fake));
    return ref;
}

}  // namespace host::render
