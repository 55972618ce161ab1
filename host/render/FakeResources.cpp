// The fake backend's resources: surfaces with CPU pixels, textures and
// their levels, vertex and index buffers, vertex declarations.
#include "host/render/DeviceRules.h"
#include "host/render/FakeObjects.h"

#include <algorithm>
#include <cstring>

namespace host::render {
namespace {

void ArgRect(Recorder& rec, const Rect* rect) {
    if (!rect) return;
    rec.Arg("left", rect->left).Arg("top", rect->top).Arg("right", rect->right).Arg("bottom", rect->bottom);
}

}  // namespace

// ---------------------------------------------------------------- base

FakeResourceBase::FakeResourceBase(std::shared_ptr<DeviceCore> c, uint32_t p, bool count)
    : core(std::move(c)), pool(p), counted(count) {
    fakeId = core->fake->NewId();
    fakeState = core->fake.get();
    std::lock_guard lock(core->mutex);
    core->live.insert(this);
}

FakeResourceBase::~FakeResourceBase() {
    std::lock_guard lock(core->mutex);
    core->live.erase(this);
}

Result FakeResourceBase::DeviceOf(Device** out) const {
    if (!out) return Result::InvalidCall;
    std::lock_guard lock(core->mutex);
    *out = core->device;
    if (!core->device) return Result::NotAvailable;
    core->device->AddRef();
    return Result::Ok;
}

// ---------------------------------------------------------------- surfaces

FakeSurfaceImpl::FakeSurfaceImpl(std::shared_ptr<DeviceCore> c, const SurfaceDesc& d, FakeTextureImpl* owner,
                                 uint32_t lvl, bool count)
    : FakeResourceBase(std::move(c), d.pool, count), desc(d), container(owner), level(lvl) {
    const size_t area = size_t(desc.width) * desc.height;
    // Colour starts as one colour, black and clear: its bytes are made when
    // first written (most textures are written whole once, at their load).
    color_ = IsColorFormat(desc.format);
    solid_ = color_;
    if (desc.format == kFormatD24S8) {
        depth.assign(area, 0.0f);
        stencil.assign(area, 0);
    }
}

FakeSurfaceImpl::~FakeSurfaceImpl() = default;

uint32_t FakeSurfaceImpl::AddRef() { return container ? container->AddRef() : Object::AddRef(); }
uint32_t FakeSurfaceImpl::Release() { return container ? container->Release() : Object::Release(); }
uint32_t FakeSurfaceImpl::Refs() const { return container ? container->Refs() : RefCount(); }

Result FakeSurfaceImpl::GetDesc(SurfaceDesc& out) {
    out = desc;
    return Result::Ok;
}

Result FakeSurfaceImpl::LockRect(LockedRect& out, const Rect* rect, uint32_t flags) {
    if (container) return container->LockLevel("Surface.LockRect", fakeId, level, out, rect, flags);
    Recorder rec(*core->fake, "Surface.LockRect", fakeId);
    rec.Arg("flags", flags);
    ArgRect(rec, rect);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    return rec.Finish(Result::InvalidCall);   // back buffers and depth surfaces never lock
}

Result FakeSurfaceImpl::UnlockRect() {
    if (container) return container->UnlockLevel("Surface.UnlockRect", fakeId, level);
    Recorder rec(*core->fake, "Surface.UnlockRect", fakeId);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    return rec.Finish(Result::InvalidCall);
}

Result FakeSurfaceImpl::ReadPixels(const Rect* rect, uint32_t* argb) {
    Recorder rec(*core->fake, "Surface.ReadPixels", fakeId);
    ArgRect(rec, rect);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    Rect area;
    if (!argb || !IsColor() || !Resolve(rect, area)) return rec.Finish(Result::InvalidCall);
    for (int32_t y = area.top; y < area.bottom; ++y)
        for (int32_t x = area.left; x < area.right; ++x) *argb++ = Get(uint32_t(x), uint32_t(y));
    return rec.Finish(Result::Ok);
}

uint32_t FakeSurfaceImpl::Get(uint32_t x, uint32_t y) const {
    const uint8_t* p = solid_ ? solidBytes_ : &pixels[(size_t(y) * desc.width + x) * 4];
    uint32_t a = p[3];
    if (desc.format == kFormatX8R8G8B8 || desc.format == kFormatX8B8G8R8) a = 0xFF;
    if (desc.format == kFormatA8B8G8R8 || desc.format == kFormatX8B8G8R8)
        return a << 24 | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    return a << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

void FakeSurfaceImpl::Encode(uint32_t argb, uint8_t* p) const {
    const uint8_t a = uint8_t(argb >> 24), r = uint8_t(argb >> 16), g = uint8_t(argb >> 8), b = uint8_t(argb);
    if (desc.format == kFormatA8B8G8R8 || desc.format == kFormatX8B8G8R8) {
        p[0] = r, p[1] = g, p[2] = b, p[3] = a;
    } else {
        p[0] = b, p[1] = g, p[2] = r, p[3] = a;
    }
}

void FakeSurfaceImpl::Put(uint32_t x, uint32_t y, uint32_t argb) {
    WriteOut();
    Encode(argb, &pixels[(size_t(y) * desc.width + x) * 4]);
}

void FakeSurfaceImpl::Fill(uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1, uint32_t argb) {
    if (x0 >= x1 || y0 >= y1) return;
    if (x0 == 0 && y0 == 0 && x1 == desc.width && y1 == desc.height) {
        Encode(argb, solidBytes_);
        solid_ = true;
        lastFill_.reset();
        return;
    }
    const PartFill fill{x0, y0, x1, y1, argb};
    if (lastFill_ == fill) return;
    Put(x0, y0, argb);
    const size_t pitch = size_t(desc.width) * 4, first = size_t(y0) * pitch + size_t(x0) * 4;
    // One pixel in its byte order, one row of them, then the row per line.
    const size_t rowBytes = size_t(x1 - x0) * 4;
    for (size_t at = first + 4; at < first + rowBytes; at += 4) std::memcpy(&pixels[at], &pixels[first], 4);
    for (uint32_t y = y0 + 1; y < y1; ++y) std::memcpy(&pixels[first + (y - y0) * pitch], &pixels[first], rowBytes);
    lastFill_ = fill;
}

uint8_t* FakeSurfaceImpl::Bytes() {
    WriteOut();
    return pixels.data();
}

void FakeSurfaceImpl::WriteOut() {
    lastFill_.reset();
    if (!solid_) return;
    solid_ = false;
    const bool fresh = pixels.empty();
    if (fresh) pixels.resize(size_t(desc.width) * desc.height * 4);
    if (fresh && std::all_of(std::begin(solidBytes_), std::end(solidBytes_), [](uint8_t b) { return b == 0; }))
        return;   // a new buffer reads zero already
    const size_t rowBytes = size_t(desc.width) * 4;
    for (size_t at = 0; at < rowBytes; at += 4) std::memcpy(&pixels[at], solidBytes_, 4);
    for (size_t at = rowBytes; at < pixels.size(); at += rowBytes) std::memcpy(&pixels[at], pixels.data(), rowBytes);
}

void FakeSurfaceImpl::FillDepth(uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1, const float* z,
                                const uint8_t* stencilValue) {
    if (x0 >= x1 || y0 >= y1) return;
    if (x0 == 0 && y0 == 0 && x1 == desc.width && y1 == desc.height) {
        if (z) depthSolid_ = true, solidDepth_ = *z;
        if (stencilValue) stencilSolid_ = true, solidStencil_ = *stencilValue;
        return;
    }
    if (z && depthSolid_) std::fill(depth.begin(), depth.end(), solidDepth_), depthSolid_ = false;
    if (stencilValue && stencilSolid_) std::fill(stencil.begin(), stencil.end(), solidStencil_), stencilSolid_ = false;
    for (uint32_t y = y0; y < y1; ++y) {
        const size_t row = size_t(y) * desc.width;
        if (z) std::fill(depth.begin() + row + x0, depth.begin() + row + x1, *z);
        if (stencilValue) std::fill(stencil.begin() + row + x0, stencil.begin() + row + x1, *stencilValue);
    }
}

float FakeSurfaceImpl::DepthAt(uint32_t x, uint32_t y) const {
    return depthSolid_ ? solidDepth_ : depth[size_t(y) * desc.width + x];
}

uint8_t FakeSurfaceImpl::StencilAt(uint32_t x, uint32_t y) const {
    return stencilSolid_ ? solidStencil_ : stencil[size_t(y) * desc.width + x];
}

bool FakeSurfaceImpl::Resolve(const Rect* rect, Rect& out) const {
    out = rect ? *rect : Rect{0, 0, int32_t(desc.width), int32_t(desc.height)};
    return out.left >= 0 && out.top >= 0 && out.left < out.right && out.top < out.bottom &&
           int64_t(out.right) <= int64_t(desc.width) && int64_t(out.bottom) <= int64_t(desc.height);
}

// ---------------------------------------------------------------- textures

FakeTextureImpl::FakeTextureImpl(std::shared_ptr<DeviceCore> c, uint32_t width, uint32_t height, uint32_t count,
                                 uint32_t use, uint32_t format, uint32_t p)
    : FakeResourceBase(std::move(c), p, true), usage(use) {
    for (uint32_t l = 0; l < count; ++l) {
        SurfaceDesc d{std::max(1u, width >> l), std::max(1u, height >> l), format, usage, pool};
        levels.push_back(std::make_unique<FakeSurfaceImpl>(core, d, this, l, false));
    }
}

FakeTextureImpl::~FakeTextureImpl() = default;

Result FakeTextureImpl::GetLevelDesc(uint32_t level, SurfaceDesc& out) {
    if (level >= levels.size()) return Result::InvalidCall;
    out = levels[level]->desc;
    return Result::Ok;
}

Result FakeTextureImpl::GetSurfaceLevel(uint32_t level, Surface** out) {
    Recorder rec(*core->fake, "Texture.GetSurfaceLevel", fakeId);
    rec.Arg("level", level);
    if (out) *out = nullptr;
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    if (!out || level >= levels.size()) return rec.Finish(Result::InvalidCall);
    *out = levels[level].get();
    (*out)->AddRef();
    rec.Arg("surface", double(levels[level]->fakeId));
    return rec.Finish(Result::Ok);
}

Result FakeTextureImpl::LockRect(uint32_t level, LockedRect& out, const Rect* rect, uint32_t flags) {
    return LockLevel("Texture.LockRect", fakeId, level, out, rect, flags);
}

Result FakeTextureImpl::UnlockRect(uint32_t level) { return UnlockLevel("Texture.UnlockRect", fakeId, level); }

Result FakeTextureImpl::LockLevel(const char* op, uint64_t object, uint32_t level, LockedRect& out, const Rect* rect,
                                  uint32_t flags) {
    Recorder rec(*core->fake, op, object);
    rec.Arg("level", level).Arg("flags", flags);
    ArgRect(rec, rect);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    constexpr uint32_t known = kLockReadOnly | kLockDiscard | 0x800 /*no system lock*/ | 0x8000 /*no dirty update*/;
    if (level >= levels.size() || !Lockable() || (flags & ~known)) return rec.Finish(Result::InvalidCall);
    // Discarding is for dynamic textures only, and cannot go with reading.
    if ((flags & kLockDiscard) && (!(usage & kUsageDynamic) || (flags & kLockReadOnly)))
        return rec.Finish(Result::InvalidCall);
    FakeSurfaceImpl& s = *levels[level];
    Rect area;
    if (s.locked || !s.Resolve(rect, area)) return rec.Finish(Result::InvalidCall);
    s.locked = true;
    out.pitch = int32_t(s.desc.width * 4);
    out.bits = s.Bytes() + (size_t(area.top) * s.desc.width + size_t(area.left)) * 4;
    return rec.Finish(Result::Ok);
}

Result FakeTextureImpl::UnlockLevel(const char* op, uint64_t object, uint32_t level) {
    Recorder rec(*core->fake, op, object);
    rec.Arg("level", level);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    if (level >= levels.size() || !levels[level]->locked) return rec.Finish(Result::InvalidCall);
    levels[level]->locked = false;
    return rec.Finish(Result::Ok);
}

Result FakeTextureImpl::Fill(uint32_t argb) {
    Recorder rec(*core->fake, "Texture.Fill", fakeId);
    rec.Arg("color", argb);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    // A render target is cleared on the GPU; anything else must be lockable.
    if (!Lockable() && !(usage & kUsageRenderTarget)) return rec.Finish(Result::InvalidCall);
    for (const auto& level : levels)
        if (level->locked) return rec.Finish(Result::InvalidCall);
    for (const auto& level : levels)
        level->Fill(0, 0, level->desc.width, level->desc.height, argb);
    return rec.Finish(Result::Ok);
}

// ---------------------------------------------------------------- buffers

FakeBufferImpl::FakeBufferImpl(std::shared_ptr<DeviceCore> c, const BufferDesc& d)
    : FakeResourceBase(std::move(c), d.pool, true), desc(d), bytes(d.bytes, 0) {}

Result FakeBufferImpl::LockBytes(const char* op, uint64_t object, uint32_t offset, uint32_t size, void** data,
                                 uint32_t flags) {
    Recorder rec(*core->fake, op, object);
    rec.Arg("offset", offset).Arg("bytes", size).Arg("flags", flags);
    if (data) *data = nullptr;
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    constexpr uint32_t known = kLockReadOnly | kLockNoOverwrite | kLockDiscard | 0x800;
    if (!data || locked || (flags & ~known) || offset > desc.bytes || size > desc.bytes - offset)
        return rec.Finish(Result::InvalidCall);
    if ((flags & (kLockDiscard | kLockNoOverwrite)) && !(desc.usage & kUsageDynamic))
        return rec.Finish(Result::InvalidCall);
    if ((flags & kLockReadOnly) && (desc.usage & kUsageWriteOnly)) return rec.Finish(Result::InvalidCall);
    locked = true;
    *data = bytes.data() + offset;
    return rec.Finish(Result::Ok);
}

Result FakeBufferImpl::UnlockBytes(const char* op, uint64_t object) {
    Recorder rec(*core->fake, op, object);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    if (!locked) return rec.Finish(Result::InvalidCall);
    locked = false;
    return rec.Finish(Result::Ok);
}

// ---------------------------------------------------------------- declarations

FakeDeclarationImpl::FakeDeclarationImpl(std::shared_ptr<DeviceCore> c, std::vector<VertexElement> e)
    : FakeResourceBase(std::move(c), kPoolManaged, false), elements(std::move(e)) {}

Result FakeDeclarationImpl::GetElements(VertexElement* out, uint32_t capacity) {
    if (!out || capacity < elements.size()) return Result::InvalidCall;
    std::copy(elements.begin(), elements.end(), out);
    return Result::Ok;
}

uint32_t FakeDeclarationImpl::VertexBytes() const {
    return DeclarationBytes(elements.data(), uint32_t(elements.size()));
}

}  // namespace host::render
