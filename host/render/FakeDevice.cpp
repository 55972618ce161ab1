// The fake device: D3D9's rules checked strictly, states and bindings kept
// for inspection, clears and copies done on CPU pixels, draws logged.
#include "host/render/DeviceRules.h"
#include "host/render/FakeObjects.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace host::render {
namespace {

bool InRange(uint32_t v, uint32_t lo, uint32_t hi) { return v >= lo && v <= hi; }

bool RgbaOrder(uint32_t format) { return format == kFormatA8B8G8R8 || format == kFormatX8B8G8R8; }

// Copies a region with point or bilinear sampling; both rects are valid.
void Stretch(FakeSurfaceImpl& src, const Rect& s, FakeSurfaceImpl& dst, const Rect& d, uint32_t filter) {
    // One colour in, one colour out, whatever the filter.
    if (src.IsSolid()) {
        dst.Fill(uint32_t(d.left), uint32_t(d.top), uint32_t(d.right), uint32_t(d.bottom), src.Get(0, 0));
        return;
    }
    // Unscaled, both filters take each source pixel as it is: rows move
    // whole (the game captures its back buffer every frame), and alpha
    // reads opaque from a surface without one.
    if (s.Width() == d.Width() && s.Height() == d.Height() && RgbaOrder(src.desc.format) == RgbaOrder(dst.desc.format)) {
        const bool opaque = src.desc.format == kFormatX8R8G8B8 || src.desc.format == kFormatX8B8G8R8;
        const size_t rowBytes = size_t(d.Width()) * 4;
        uint8_t* const to0 = dst.Bytes();
        const uint8_t* const from0 = src.Bytes();
        for (int32_t row = 0; row < d.Height(); ++row) {
            uint8_t* to = &to0[(size_t(d.top + row) * dst.desc.width + size_t(d.left)) * 4];
            std::memcpy(to, &from0[(size_t(s.top + row) * src.desc.width + size_t(s.left)) * 4], rowBytes);
            if (opaque)
                for (size_t at = 3; at < rowBytes; at += 4) to[at] = 0xFF;
        }
        return;
    }
    const double sx = double(s.Width()) / d.Width(), sy = double(s.Height()) / d.Height();
    for (int32_t y = d.top; y < d.bottom; ++y) {
        for (int32_t x = d.left; x < d.right; ++x) {
            const double u = (x - d.left + 0.5) * sx, v = (y - d.top + 0.5) * sy;
            uint32_t argb;
            if (filter != kFilterLinear) {
                int32_t px = std::min(s.left + int32_t(std::floor(u)), s.right - 1);
                int32_t py = std::min(s.top + int32_t(std::floor(v)), s.bottom - 1);
                argb = src.Get(uint32_t(px), uint32_t(py));
            } else {
                const double fu = u - 0.5, fv = v - 0.5;
                const double bu = std::floor(fu), bv = std::floor(fv);
                const double wu = fu - bu, wv = fv - bv;
                auto clampX = [&](double c) { return uint32_t(std::clamp(s.left + int32_t(c), s.left, s.right - 1)); };
                auto clampY = [&](double c) { return uint32_t(std::clamp(s.top + int32_t(c), s.top, s.bottom - 1)); };
                const uint32_t x0 = clampX(bu), x1 = clampX(bu + 1), y0 = clampY(bv), y1 = clampY(bv + 1);
                const uint32_t c00 = src.Get(x0, y0), c10 = src.Get(x1, y0), c01 = src.Get(x0, y1), c11 = src.Get(x1, y1);
                argb = 0;
                for (int shift = 0; shift < 32; shift += 8) {
                    auto ch = [&](uint32_t c) { return double((c >> shift) & 0xFF); };
                    double top = ch(c00) * (1 - wu) + ch(c10) * wu, bottom = ch(c01) * (1 - wu) + ch(c11) * wu;
                    argb |= uint32_t(std::lround(top * (1 - wv) + bottom * wv)) << shift;
                }
            }
            dst.Put(uint32_t(x), uint32_t(y), argb);
        }
    }
}

}  // namespace

// ---------------------------------------------------------------- life

FakeDeviceImpl::FakeDeviceImpl(std::shared_ptr<FakeRender::State> fake, uint32_t type, uint32_t flags,
                               const PresentParams& params)
    : fake_(std::move(fake)), core_(std::make_shared<DeviceCore>()), type_(type), flags_(flags), params_(params) {
    fakeId = fake_->NewId();
    fakeState = fake_.get();
    core_->fake = fake_;
    core_->device = this;
    MakeSurfaces();
    ApplyDefaults();
    std::lock_guard lock(fake_->mutex);
    fake_->devices.push_back(this);
}

FakeDeviceImpl::~FakeDeviceImpl() {
    {
        std::lock_guard lock(fake_->mutex);
        std::erase(fake_->devices, this);
    }
    {
        std::lock_guard lock(core_->mutex);
        core_->device = nullptr;
    }
    for (Texture*& t : textures_) Bind(t, static_cast<Texture*>(nullptr));
    Bind(stream_, static_cast<VertexBuffer*>(nullptr));
    Bind(indices_, static_cast<IndexBuffer*>(nullptr));
    Bind(declaration_, static_cast<VertexDeclaration*>(nullptr));
    Bind(target_, static_cast<Surface*>(nullptr));
    Bind(depthTarget_, static_cast<Surface*>(nullptr));
    if (backBuffer_) backBuffer_->Release();
    if (autoDepth_) autoDepth_->Release();
}

template <class T>
void FakeDeviceImpl::Bind(T*& slot, T* value) {
    if (value) value->AddRef();
    if (T* old = std::exchange(slot, value)) old->Release();
}

template <class T>
T* FakeDeviceImpl::Own(Object* object) const {
    T* t = dynamic_cast<T*>(object);
    return t && t->core == core_ ? t : nullptr;
}

void FakeDeviceImpl::MakeSurfaces() {
    if (backBuffer_) backBuffer_->Release();
    if (autoDepth_) autoDepth_->Release();
    backBuffer_ = new FakeSurfaceImpl(core_, {params_.backBufferWidth, params_.backBufferHeight,
                                              params_.backBufferFormat, kUsageRenderTarget, kPoolDefault},
                                      nullptr, 0, false);
    autoDepth_ = nullptr;
    if (params_.enableAutoDepthStencil)
        autoDepth_ = new FakeSurfaceImpl(core_, {params_.backBufferWidth, params_.backBufferHeight,
                                                 kFormatD24S8, kUsageDepthStencil, kPoolDefault},
                                         nullptr, 0, false);
}

// The state of a new or reset device: the default table, nothing bound,
// the back buffer and the automatic depth surface as targets.
void FakeDeviceImpl::ApplyDefaults() {
    SetDefaultStates(rs_, stages_, samplers_);
    for (Texture*& t : textures_) Bind(t, static_cast<Texture*>(nullptr));
    Bind(stream_, static_cast<VertexBuffer*>(nullptr));
    streamOffset_ = streamStride_ = 0;
    Bind(indices_, static_cast<IndexBuffer*>(nullptr));
    Bind(declaration_, static_cast<VertexDeclaration*>(nullptr));
    fvf_ = 0;
    transforms_.clear();
    material_ = {};
    Bind(target_, static_cast<Surface*>(backBuffer_));
    Bind(depthTarget_, static_cast<Surface*>(autoDepth_));
    viewport_ = {0, 0, params_.backBufferWidth, params_.backBufferHeight, 0.0f, 1.0f};
    inScene_ = false;
}

Result FakeDeviceImpl::CompleteParams(FakeRender::State& fake, PresentParams& params, host::window::Handle focus) {
    PresentParams p = params;
    host::window::Handle window = p.window ? p.window : focus;
    if (p.backBufferWidth == 0 || p.backBufferHeight == 0) {
        if (!p.windowed || !host::window::IsWindow(window)) return Result::InvalidCall;
        host::window::Rect client = host::window::GetClientRect(window);
        if (p.backBufferWidth == 0) p.backBufferWidth = uint32_t(std::max(1, client.Width()));
        if (p.backBufferHeight == 0) p.backBufferHeight = uint32_t(std::max(1, client.Height()));
    }
    if (p.backBufferWidth > 16384 || p.backBufferHeight > 16384) return Result::InvalidCall;
    if (p.backBufferCount > 3 || !InRange(p.swapEffect, 1, 3)) return Result::InvalidCall;
    if (p.enableAutoDepthStencil && p.autoDepthStencilFormat != kFormatD24S8) return Result::InvalidCall;
    if (p.presentationInterval != kPresentIntervalImmediate && p.presentationInterval > 4) return Result::InvalidCall;
    std::lock_guard lock(fake.mutex);
    if (p.windowed) {
        const uint32_t desktop = fake.desktop.format;
        if (p.backBufferFormat == kFormatUnknown) p.backBufferFormat = desktop;
        bool alphaTwin = desktop == kFormatX8R8G8B8 && p.backBufferFormat == kFormatA8R8G8B8;
        if (p.backBufferFormat != desktop && !alphaTwin) return Result::InvalidCall;
    } else {
        const auto& formats = fake.displayFormats;
        if (std::find(formats.begin(), formats.end(), p.backBufferFormat) == formats.end()) return Result::InvalidCall;
        auto it = fake.modes.find(p.backBufferFormat);
        bool mode = it != fake.modes.end() &&
                    std::any_of(it->second.begin(), it->second.end(), [&](const DisplayMode& m) {
                        return m.width == p.backBufferWidth && m.height == p.backBufferHeight;
                    });
        if (!mode) return Result::InvalidCall;
    }
    if (!IsColorFormat(p.backBufferFormat)) return Result::InvalidCall;
    if (p.backBufferCount == 0) p.backBufferCount = 1;
    params = p;
    return Result::Ok;
}

// ---------------------------------------------------------------- adapter facts

Result FakeDeviceImpl::GetDeviceCaps(Caps& out) {
    Recorder rec = Record("GetDeviceCaps");
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    {
        std::lock_guard lock(fake_->mutex);
        out = fake_->caps;
    }
    out.deviceType = type_;
    return rec.Finish(Result::Ok);
}

uint32_t FakeDeviceImpl::GetAvailableTextureMem() {
    std::lock_guard lock(fake_->mutex);
    return fake_->textureMemory;
}

Result FakeDeviceImpl::GetDisplayMode(DisplayMode& out) {
    Recorder rec = Record("GetDisplayMode");
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    {
        std::lock_guard lock(fake_->mutex);
        out = params_.windowed ? fake_->desktop
                               : DisplayMode{params_.backBufferWidth, params_.backBufferHeight, 60, params_.backBufferFormat};
    }
    return rec.Finish(Result::Ok);
}

// ---------------------------------------------------------------- lost device

Result FakeDeviceImpl::TestCooperativeLevel() {
    Recorder rec = Record("TestCooperativeLevel");
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    Result answer = Result::Ok;
    {
        std::lock_guard lock(fake_->mutex);
        if (!fake_->coopScript.empty()) {
            answer = fake_->coopScript.front();
            fake_->coopScript.pop_front();
        } else if (fake_->lost) {
            if (fake_->lostAnswers > 0) {
                --fake_->lostAnswers;
                answer = Result::DeviceLost;
            } else {
                answer = Result::DeviceNotReset;
            }
        }
    }
    return rec.Finish(answer);
}

std::string FakeDeviceImpl::ResetBlockers() const {
    std::string out;
    auto add = [&](const std::string& what) { out += (out.empty() ? "" : ", ") + what; };
    {
        std::lock_guard lock(core_->mutex);
        for (FakeResourceBase* r : core_->live)
            if (r->counted && r->pool == kPoolDefault) add("default-pool resource " + std::to_string(r->fakeId));
    }
    // The device's own reference, and one more while bound as the target.
    if (backBuffer_->Refs() > 1u + (target_ == backBuffer_)) add("back buffer reference");
    if (autoDepth_ && autoDepth_->Refs() > 1u + (depthTarget_ == autoDepth_)) add("depth surface reference");
    return out;
}

Result FakeDeviceImpl::Reset(PresentParams& params) {
    Recorder rec = Record("Reset");
    rec.Arg("width", params.backBufferWidth).Arg("height", params.backBufferHeight).Arg("windowed", params.windowed);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    bool stillLost;
    {
        std::lock_guard lock(fake_->mutex);
        stillLost = fake_->lost && fake_->lostAnswers > 0;
    }
    if (stillLost) return rec.Finish(Result::DeviceLost);
    if (std::string blockers = ResetBlockers(); !blockers.empty()) {
        rec.Text("blockers", blockers);
        return rec.Finish(Result::InvalidCall);
    }
    PresentParams p = params;
    if (Result r = CompleteParams(*fake_, p, params_.window); r != Result::Ok) return rec.Finish(r);
    params = p;
    params_ = p;
    // Unbind first, so the old targets die with the device's own references.
    Bind(target_, static_cast<Surface*>(nullptr));
    Bind(depthTarget_, static_cast<Surface*>(nullptr));
    MakeSurfaces();
    ApplyDefaults();
    {
        std::lock_guard lock(fake_->mutex);
        fake_->lost = false;
        fake_->lostAnswers = 0;
    }
    return rec.Finish(Result::Ok);
}

// ---------------------------------------------------------------- frames

Result FakeDeviceImpl::BeginScene() {
    Recorder rec = Record("BeginScene");
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    if (inScene_) return rec.Finish(Result::InvalidCall);
    inScene_ = true;
    return rec.Finish(Result::Ok);
}

Result FakeDeviceImpl::EndScene() {
    Recorder rec = Record("EndScene");
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    if (!inScene_) return rec.Finish(Result::InvalidCall);
    inScene_ = false;
    return rec.Finish(Result::Ok);
}

Result FakeDeviceImpl::Present() {
    Recorder rec = Record("Present");
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    if (inScene_) return rec.Finish(Result::InvalidCall);
    bool lost;
    {
        std::lock_guard lock(fake_->mutex);
        lost = fake_->lost;
    }
    return rec.Finish(lost ? Result::DeviceLost : Result::Ok);
}

Result FakeDeviceImpl::Clear(uint32_t flags, uint32_t argb, float z, uint32_t stencil) {
    Recorder rec = Record("Clear");
    rec.Arg("flags", flags).Arg("color", argb).Arg("z", z).Arg("stencil", stencil);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    constexpr uint32_t all = kClearTarget | kClearZBuffer | kClearStencil;
    if (flags == 0 || (flags & ~all)) return rec.Finish(Result::InvalidCall);
    auto* depth = dynamic_cast<FakeSurfaceImpl*>(depthTarget_);
    if ((flags & (kClearZBuffer | kClearStencil)) && !depth) return rec.Finish(Result::InvalidCall);
    if ((flags & kClearZBuffer) && !(z >= 0.0f && z <= 1.0f)) return rec.Finish(Result::InvalidCall);
    const uint32_t x0 = viewport_.x, y0 = viewport_.y;
    if (flags & kClearTarget) {
        auto* target = dynamic_cast<FakeSurfaceImpl*>(target_);
        const uint32_t x1 = std::min(x0 + viewport_.width, target->desc.width);
        const uint32_t y1 = std::min(y0 + viewport_.height, target->desc.height);
        target->Fill(x0, y0, x1, y1, argb);
    }
    if (flags & (kClearZBuffer | kClearStencil)) {
        const uint32_t x1 = std::min(x0 + viewport_.width, depth->desc.width);
        const uint32_t y1 = std::min(y0 + viewport_.height, depth->desc.height);
        const uint8_t s = uint8_t(stencil);
        depth->FillDepth(x0, y0, x1, y1, (flags & kClearZBuffer) ? &z : nullptr, (flags & kClearStencil) ? &s : nullptr);
    }
    return rec.Finish(Result::Ok);
}

// ---------------------------------------------------------------- targets

Result FakeDeviceImpl::SetViewport(const Viewport& v) {
    Recorder rec = Record("SetViewport");
    rec.Arg("x", v.x).Arg("y", v.y).Arg("width", v.width).Arg("height", v.height).Arg("minZ", v.minZ).Arg("maxZ", v.maxZ);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    SurfaceDesc d;
    target_->GetDesc(d);
    const bool inside = uint64_t(v.x) + v.width <= d.width && uint64_t(v.y) + v.height <= d.height;
    const bool depth = v.minZ >= 0.0f && v.maxZ <= 1.0f && v.minZ <= v.maxZ;
    if (!inside || !depth) return rec.Finish(Result::InvalidCall);
    viewport_ = v;
    return rec.Finish(Result::Ok);
}

Result FakeDeviceImpl::GetViewport(Viewport& out) {
    out = viewport_;
    return Result::Ok;
}

Result FakeDeviceImpl::SetRenderTarget(uint32_t index, Surface* surface) {
    Recorder rec = Record("SetRenderTarget");
    auto* s = Own<FakeSurfaceImpl>(surface);
    rec.Arg("index", index).Arg("surface", s ? double(s->fakeId) : 0);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    if (index != 0 || !s || !(s->desc.usage & kUsageRenderTarget) || !s->IsColor())
        return rec.Finish(Result::InvalidCall);
    Bind(target_, surface);
    viewport_ = {0, 0, s->desc.width, s->desc.height, 0.0f, 1.0f};
    return rec.Finish(Result::Ok);
}

Result FakeDeviceImpl::GetRenderTarget(uint32_t index, Surface** out) {
    Recorder rec = Record("GetRenderTarget");
    rec.Arg("index", index);
    if (out) *out = nullptr;
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    if (index != 0 || !out) return rec.Finish(Result::InvalidCall);
    *out = target_;
    target_->AddRef();
    return rec.Finish(Result::Ok);
}

Result FakeDeviceImpl::SetDepthStencilSurface(Surface* surface) {
    Recorder rec = Record("SetDepthStencilSurface");
    auto* s = Own<FakeSurfaceImpl>(surface);
    rec.Arg("surface", s ? double(s->fakeId) : 0);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    if (surface && (!s || !s->IsDepth())) return rec.Finish(Result::InvalidCall);
    Bind(depthTarget_, surface);
    return rec.Finish(Result::Ok);
}

Result FakeDeviceImpl::GetDepthStencilSurface(Surface** out) {
    Recorder rec = Record("GetDepthStencilSurface");
    if (out) *out = nullptr;
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    if (!out) return rec.Finish(Result::InvalidCall);
    if (!depthTarget_) return rec.Finish(Result::NotAvailable);
    *out = depthTarget_;
    depthTarget_->AddRef();
    return rec.Finish(Result::Ok);
}

// ---------------------------------------------------------------- resources

Result FakeDeviceImpl::CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                                     uint32_t format, uint32_t pool, Texture** out) {
    Recorder rec = Record("CreateTexture");
    rec.Arg("width", width).Arg("height", height).Arg("levels", levels).Arg("usage", usage).Arg("format", format)
        .Arg("pool", pool);
    if (out) *out = nullptr;
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    Caps caps;
    {
        std::lock_guard lock(fake_->mutex);
        caps = fake_->caps;
    }
    const bool ok = out && ValidTextureRequest(width, height, levels, usage, format, pool, caps.maxTextureWidth,
                                               caps.maxTextureHeight);
    if (!ok) return rec.Finish(Result::InvalidCall);
    auto* t = new FakeTextureImpl(core_, width, height, levels, usage, format, pool);
    rec.Arg("texture", double(t->fakeId));
    *out = t;
    return rec.Finish(Result::Ok);
}

Result FakeDeviceImpl::CreateDepthStencilSurface(uint32_t width, uint32_t height, uint32_t format,
                                                 uint32_t multiSample, uint32_t quality, bool discard, Surface** out) {
    Recorder rec = Record("CreateDepthStencilSurface");
    rec.Arg("width", width).Arg("height", height).Arg("format", format).Arg("multiSample", multiSample)
        .Arg("quality", quality).Arg("discard", discard);
    if (out) *out = nullptr;
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    if (!out || !width || !height || width > 16384 || height > 16384 || format != kFormatD24S8 || multiSample ||
        quality)
        return rec.Finish(Result::InvalidCall);
    auto* s = new FakeSurfaceImpl(core_, {width, height, format, kUsageDepthStencil, kPoolDefault}, nullptr, 0, true);
    rec.Arg("surface", double(s->fakeId));
    *out = s;
    return rec.Finish(Result::Ok);
}

Result FakeDeviceImpl::CreateVertexBuffer(uint32_t bytes, uint32_t usage, uint32_t fvf, uint32_t pool,
                                          VertexBuffer** out) {
    Recorder rec = Record("CreateVertexBuffer");
    rec.Arg("bytes", bytes).Arg("usage", usage).Arg("fvf", fvf).Arg("pool", pool);
    if (out) *out = nullptr;
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    if (!out || (fvf && !FvfStride(fvf)) || !ValidBufferRequest(bytes, usage, pool))
        return rec.Finish(Result::InvalidCall);
    if (bytes > (256u << 20)) return rec.Finish(Result::OutOfMemory);
    auto* b = new FakeVertexBufferImpl(core_, BufferDesc{bytes, usage, fvf, kFormatUnknown, pool});
    rec.Arg("buffer", double(b->fakeId));
    *out = b;
    return rec.Finish(Result::Ok);
}

Result FakeDeviceImpl::CreateIndexBuffer(uint32_t bytes, uint32_t usage, uint32_t format, uint32_t pool,
                                         IndexBuffer** out) {
    Recorder rec = Record("CreateIndexBuffer");
    rec.Arg("bytes", bytes).Arg("usage", usage).Arg("format", format).Arg("pool", pool);
    if (out) *out = nullptr;
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    if (!out || (format != kFormatIndex16 && format != kFormatIndex32) || !ValidBufferRequest(bytes, usage, pool))
        return rec.Finish(Result::InvalidCall);
    if (bytes > (256u << 20)) return rec.Finish(Result::OutOfMemory);
    auto* b = new FakeIndexBufferImpl(core_, BufferDesc{bytes, usage, 0, format, pool});
    rec.Arg("buffer", double(b->fakeId));
    *out = b;
    return rec.Finish(Result::Ok);
}

Result FakeDeviceImpl::CreateVertexDeclaration(const VertexElement* elements, uint32_t count,
                                               VertexDeclaration** out) {
    Recorder rec = Record("CreateVertexDeclaration");
    rec.Arg("count", count);
    if (out) *out = nullptr;
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    if (!out || !ValidDeclaration(elements, count)) return rec.Finish(Result::InvalidCall);
    std::vector<VertexElement> list(elements, elements + count);
    rec.Data(elements, sizeof(VertexElement) * count);
    auto* d = new FakeDeclarationImpl(core_, std::move(list));
    rec.Arg("declaration", double(d->fakeId));
    *out = d;
    return rec.Finish(Result::Ok);
}

Result FakeDeviceImpl::CreateEffect(const EffectDesc& desc, Effect** out) {
    Recorder rec = Record("CreateEffect");
    if (out) *out = nullptr;
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    if (!out) return rec.Finish(Result::InvalidCall);
    auto* e = new FakeEffectImpl(core_, desc, this);
    rec.Arg("effect", double(e->fakeId));
    *out = e;
    return rec.Finish(Result::Ok);
}

size_t FakeDeviceImpl::LiveResources(uint32_t pool) const {
    std::lock_guard lock(core_->mutex);
    return size_t(std::count_if(core_->live.begin(), core_->live.end(),
                                [&](const FakeResourceBase* r) { return r->counted && r->pool == pool; }));
}

// ---------------------------------------------------------------- copies

Result FakeDeviceImpl::StretchRect(Surface* source, const Rect* sourceRect, Surface* dest, const Rect* destRect,
                                   uint32_t filter) {
    Recorder rec = Record("StretchRect");
    auto* src = Own<FakeSurfaceImpl>(source);
    auto* dst = Own<FakeSurfaceImpl>(dest);
    rec.Arg("source", src ? double(src->fakeId) : 0).Arg("dest", dst ? double(dst->fakeId) : 0).Arg("filter", filter);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    Rect s, d;
    if (!src || !dst || src == dst || !src->IsColor() || !dst->IsColor() || src->desc.pool != kPoolDefault ||
        dst->desc.pool != kPoolDefault || !(dst->desc.usage & kUsageRenderTarget) || filter > kFilterLinear ||
        !src->Resolve(sourceRect, s) || !dst->Resolve(destRect, d))
        return rec.Finish(Result::InvalidCall);
    rec.Arg("sl", s.left).Arg("st", s.top).Arg("sr", s.right).Arg("sb", s.bottom);
    rec.Arg("dl", d.left).Arg("dt", d.top).Arg("dr", d.right).Arg("db", d.bottom);
    Stretch(*src, s, *dst, d, filter);
    return rec.Finish(Result::Ok);
}

Result FakeDeviceImpl::GetRenderTargetData(Surface* renderTarget, Surface* dest) {
    Recorder rec = Record("GetRenderTargetData");
    auto* src = Own<FakeSurfaceImpl>(renderTarget);
    auto* dst = Own<FakeSurfaceImpl>(dest);
    rec.Arg("source", src ? double(src->fakeId) : 0).Arg("dest", dst ? double(dst->fakeId) : 0);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    if (!src || !dst || !src->IsColor() || !(src->desc.usage & kUsageRenderTarget) ||
        src->desc.pool != kPoolDefault || dst->desc.pool != kPoolSystemMem || dst->locked ||
        src->desc.width != dst->desc.width || src->desc.height != dst->desc.height ||
        src->desc.format != dst->desc.format)
        return rec.Finish(Result::InvalidCall);
    for (uint32_t y = 0; y < src->desc.height; ++y)
        for (uint32_t x = 0; x < src->desc.width; ++x) dst->Put(x, y, src->Get(x, y));
    return rec.Finish(Result::Ok);
}

// ---------------------------------------------------------------- states

Result FakeDeviceImpl::SetRenderState(uint32_t state, uint32_t value) {
    Recorder rec = Record("SetRenderState");
    rec.Arg("state", state).Arg("value", value);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    if (!ValidRenderState(state, value)) return rec.Finish(Result::InvalidCall);
    rs_[state] = value;
    return rec.Finish(Result::Ok);
}

Result FakeDeviceImpl::GetRenderState(uint32_t state, uint32_t& value) {
    if (!KnownRenderState(state)) return Result::InvalidCall;
    value = rs_[state];
    return Result::Ok;
}

Result FakeDeviceImpl::SetSamplerState(uint32_t sampler, uint32_t type, uint32_t value) {
    Recorder rec = Record("SetSamplerState");
    rec.Arg("sampler", sampler).Arg("type", type).Arg("value", value);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    if (!ValidSamplerState(sampler, type, value)) return rec.Finish(Result::InvalidCall);
    samplers_[sampler][type] = value;
    return rec.Finish(Result::Ok);
}

Result FakeDeviceImpl::SetTextureStageState(uint32_t stage, uint32_t type, uint32_t value) {
    Recorder rec = Record("SetTextureStageState");
    rec.Arg("stage", stage).Arg("type", type).Arg("value", value);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    if (!ValidStageState(stage, type, value)) return rec.Finish(Result::InvalidCall);
    stages_[stage][type] = value;
    return rec.Finish(Result::Ok);
}

uint32_t FakeDeviceImpl::SamplerState(uint32_t sampler, uint32_t type) const {
    return sampler < kStageCount && type < 8 ? samplers_[sampler][type] : 0;
}

uint32_t FakeDeviceImpl::StageState(uint32_t stage, uint32_t type) const {
    return stage < kStageCount && type < 8 ? stages_[stage][type] : 0;
}

Result FakeDeviceImpl::SetTexture(uint32_t stage, Texture* texture) {
    Recorder rec = Record("SetTexture");
    auto* t = Own<FakeTextureImpl>(texture);
    rec.Arg("stage", stage).Arg("texture", t ? double(t->fakeId) : 0);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    if (stage >= kStageCount || (texture && !t)) return rec.Finish(Result::InvalidCall);
    Bind(textures_[stage], texture);
    return rec.Finish(Result::Ok);
}

Result FakeDeviceImpl::SetTransform(uint32_t transform, const Matrix& m) {
    Recorder rec = Record("SetTransform");
    rec.Arg("transform", transform).Data(&m, sizeof m);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    if (!ValidTransform(transform)) return rec.Finish(Result::InvalidCall);
    transforms_[transform] = m;
    return rec.Finish(Result::Ok);
}

Result FakeDeviceImpl::GetTransform(uint32_t transform, Matrix& out) {
    if (!ValidTransform(transform)) return Result::InvalidCall;
    out = Transform(transform);
    return Result::Ok;
}

Matrix FakeDeviceImpl::Transform(uint32_t transform) const {
    auto it = transforms_.find(transform);
    return it == transforms_.end() ? IdentityMatrix() : it->second;
}

Result FakeDeviceImpl::SetMaterial(const Material& material) {
    Recorder rec = Record("SetMaterial");
    rec.Data(&material, sizeof material);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    material_ = material;
    return rec.Finish(Result::Ok);
}

// ---------------------------------------------------------------- vertex input

Result FakeDeviceImpl::SetStreamSource(uint32_t stream, VertexBuffer* buffer, uint32_t offset, uint32_t stride) {
    Recorder rec = Record("SetStreamSource");
    auto* b = Own<FakeVertexBufferImpl>(buffer);
    rec.Arg("stream", stream).Arg("buffer", b ? double(b->fakeId) : 0).Arg("offset", offset).Arg("stride", stride);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    if (stream != 0 || (buffer && (!b || offset >= b->desc.bytes || stride == 0))) return rec.Finish(Result::InvalidCall);
    Bind(stream_, buffer);
    streamOffset_ = buffer ? offset : 0;
    streamStride_ = buffer ? stride : 0;
    return rec.Finish(Result::Ok);
}

Result FakeDeviceImpl::SetIndices(IndexBuffer* buffer) {
    Recorder rec = Record("SetIndices");
    auto* b = Own<FakeIndexBufferImpl>(buffer);
    rec.Arg("buffer", b ? double(b->fakeId) : 0);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    if (buffer && !b) return rec.Finish(Result::InvalidCall);
    Bind(indices_, buffer);
    return rec.Finish(Result::Ok);
}

Result FakeDeviceImpl::SetVertexDeclaration(VertexDeclaration* declaration) {
    Recorder rec = Record("SetVertexDeclaration");
    auto* d = Own<FakeDeclarationImpl>(declaration);
    rec.Arg("declaration", d ? double(d->fakeId) : 0);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    if (declaration && !d) return rec.Finish(Result::InvalidCall);
    Bind(declaration_, declaration);
    fvf_ = 0;
    return rec.Finish(Result::Ok);
}

Result FakeDeviceImpl::SetFVF(uint32_t fvf) {
    Recorder rec = Record("SetFVF");
    rec.Arg("fvf", fvf);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    if (fvf && !FvfStride(fvf)) return rec.Finish(Result::InvalidCall);
    fvf_ = fvf;
    Bind(declaration_, static_cast<VertexDeclaration*>(nullptr));
    return rec.Finish(Result::Ok);
}

Result FakeDeviceImpl::CheckVertexFormat(uint32_t stride) const {
    if (fvf_) return stride == FvfStride(fvf_) ? Result::Ok : Result::InvalidCall;
    if (auto* d = dynamic_cast<FakeDeclarationImpl*>(declaration_)) return stride >= d->VertexBytes() ? Result::Ok : Result::InvalidCall;
    return Result::InvalidCall;
}

// ---------------------------------------------------------------- draws

Result FakeDeviceImpl::DrawPrimitiveUP(uint32_t type, uint32_t count, const void* vertices, uint32_t stride) {
    Recorder rec = Record("DrawPrimitiveUP");
    auto* texture = dynamic_cast<FakeIdentity*>(textures_[0]);
    auto* decl = dynamic_cast<FakeIdentity*>(declaration_);
    rec.Arg("type", type).Arg("count", count).Arg("stride", stride).Arg("fvf", fvf_)
        .Arg("declaration", decl ? double(decl->fakeId) : 0).Arg("texture", texture ? double(texture->fakeId) : 0);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    const uint32_t n = VertexCount(type, count);
    uint32_t maxPrimitives;
    {
        std::lock_guard lock(fake_->mutex);
        maxPrimitives = fake_->caps.maxPrimitiveCount;
    }
    if (!inScene_ || n == 0 || !vertices || stride == 0 || count > maxPrimitives ||
        CheckVertexFormat(stride) != Result::Ok)
        return rec.Finish(Result::InvalidCall);
    rec.Data(vertices, size_t(n) * stride);
    // D3D9 forgets stream 0 and the indices on this call.
    Bind(stream_, static_cast<VertexBuffer*>(nullptr));
    streamOffset_ = streamStride_ = 0;
    Bind(indices_, static_cast<IndexBuffer*>(nullptr));
    return rec.Finish(Result::Ok);
}

Result FakeDeviceImpl::DrawIndexedPrimitive(uint32_t type, int32_t baseVertex, uint32_t minIndex,
                                            uint32_t numVertices, uint32_t startIndex, uint32_t count) {
    Recorder rec = Record("DrawIndexedPrimitive");
    auto* vb = dynamic_cast<FakeVertexBufferImpl*>(stream_);
    auto* ib = dynamic_cast<FakeIndexBufferImpl*>(indices_);
    auto* texture = dynamic_cast<FakeIdentity*>(textures_[0]);
    auto* decl = dynamic_cast<FakeIdentity*>(declaration_);
    rec.Arg("type", type).Arg("baseVertex", baseVertex).Arg("minIndex", minIndex).Arg("numVertices", numVertices)
        .Arg("startIndex", startIndex).Arg("count", count).Arg("fvf", fvf_)
        .Arg("declaration", decl ? double(decl->fakeId) : 0).Arg("texture", texture ? double(texture->fakeId) : 0)
        .Arg("vertexBuffer", vb ? double(vb->fakeId) : 0).Arg("indexBuffer", ib ? double(ib->fakeId) : 0);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    const uint32_t n = VertexCount(type, count);
    if (!inScene_ || n == 0 || !vb || !ib || numVertices == 0 || vb->locked || ib->locked ||
        CheckVertexFormat(streamStride_) != Result::Ok)
        return rec.Finish(Result::InvalidCall);
    const uint64_t indexCount = ib->desc.bytes / ib->IndexSize();
    const int64_t capacity = (vb->desc.bytes - streamOffset_) / streamStride_;
    if (uint64_t(startIndex) + n > indexCount) return rec.Finish(Result::InvalidCall);
    // Every index must name a vertex inside the buffer and the stated range.
    for (uint32_t i = 0; i < n; ++i) {
        const size_t at = (size_t(startIndex) + i) * ib->IndexSize();
        uint32_t index = ib->IndexSize() == 4 ? uint32_t(ib->bytes[at]) | uint32_t(ib->bytes[at + 1]) << 8 |
                                                    uint32_t(ib->bytes[at + 2]) << 16 | uint32_t(ib->bytes[at + 3]) << 24
                                              : uint32_t(ib->bytes[at]) | uint32_t(ib->bytes[at + 1]) << 8;
        const int64_t vertex = int64_t(index) + baseVertex;
        if (index < minIndex || uint64_t(index) >= uint64_t(minIndex) + numVertices || vertex < 0 || vertex >= capacity)
            return rec.Finish(Result::InvalidCall);
    }
    return rec.Finish(Result::Ok);
}

}  // namespace host::render
