// The OpenGL backend's resources: surfaces, textures, buffers and vertex
// declarations. Each keeps its CPU side (description, lockable pixels and
// bytes) under the device's mutex, so any thread may create, lock and
// release it; the GL side is made and refreshed on the context thread.
#include "host/render/GlObjects.h"

#include <algorithm>
#include <cstring>

namespace host::render {

// ---------------------------------------------------------------- enums

GLenum GlCompare(uint32_t cmp) { return GL_NEVER + std::clamp(cmp, kCmpNever, kCmpAlways) - kCmpNever; }

GLenum GlBlendFactor(uint32_t blend, bool opaqueTarget) {
    static constexpr GLenum kFactors[] = {
        GL_ZERO, GL_ONE, GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA,
        GL_DST_ALPHA, GL_ONE_MINUS_DST_ALPHA, GL_DST_COLOR, GL_ONE_MINUS_DST_COLOR, GL_SRC_ALPHA_SATURATE,
    };
    if (opaqueTarget) {
        // Destination alpha is 1: min(As, 1 - Ad) is 0.
        if (blend == 7) return GL_ONE;
        if (blend == 8 || blend == 11) return GL_ZERO;
    }
    return blend >= 1 && blend <= std::size(kFactors) ? kFactors[blend - 1] : GL_ONE;
}

GLenum GlBlendEquation(uint32_t op) {
    static constexpr GLenum kEquations[] = {GL_FUNC_ADD, GL_FUNC_SUBTRACT, GL_FUNC_REVERSE_SUBTRACT, GL_MIN, GL_MAX};
    return op >= 1 && op <= std::size(kEquations) ? kEquations[op - 1] : GL_FUNC_ADD;
}

GLenum GlStencilOp(uint32_t op) {
    static constexpr GLenum kOps[] = {GL_KEEP, GL_ZERO, GL_REPLACE, GL_INCR, GL_DECR, GL_INVERT, GL_INCR_WRAP, GL_DECR_WRAP};
    return op >= 1 && op <= std::size(kOps) ? kOps[op - 1] : GL_KEEP;
}

GLenum GlPixelOrder(uint32_t format) {
    return format == kFormatA8B8G8R8 || format == kFormatX8B8G8R8 ? GL_RGBA : GL_BGRA;
}

// ---------------------------------------------------------------- base

GlResource::GlResource(std::shared_ptr<GlCore> c, uint32_t p, bool counted)
    : core(std::move(c)), pool(p), counted_(counted && p == kPoolDefault) {
    if (!counted_) return;
    std::lock_guard lock(core->mutex);
    ++core->defaultPoolLive;
}

GlResource::~GlResource() {
    if (!counted_) return;
    std::lock_guard lock(core->mutex);
    --core->defaultPoolLive;
}

Result GlResource::DeviceOf(Device** out) const {
    if (!out) return Result::InvalidCall;
    std::lock_guard lock(core->mutex);
    *out = core->device;
    if (!core->device) return Result::NotAvailable;
    core->device->AddRef();
    return Result::Ok;
}

void GlResource::Prepare() {
    if (!scheduled_.load(std::memory_order_acquire)) return;
    std::lock_guard lock(core->mutex);
    if (!scheduled_.exchange(false)) return;
    Realize();
}

void GlResource::Schedule() {
    scheduled_.store(true, std::memory_order_release);
    if (!listed_) {
        core->pending.push_back(this);
        listed_ = true;
    }
}

void GlResource::Retire(std::initializer_list<GlDeletion> names) {
    if (listed_) {
        std::erase(core->pending, this);
        listed_ = false;
    }
    if (!core->device) return;   // the context, and every name in it, is gone
    for (const GlDeletion& d : names)
        if (d.name || d.kind == GlDeletion::SurfaceGone) core->deletions.push_back(d);
}

// ---------------------------------------------------------------- surfaces

GlSurfaceImpl::GlSurfaceImpl(std::shared_ptr<GlCore> c, const SurfaceDesc& d, GlTextureImpl* owner, uint32_t lvl)
    : GlResource(std::move(c), d.pool, !owner), desc(d), container(owner), level(lvl), id(core->nextSurfaceId++) {
    const bool cpu = owner ? owner->Lockable() : false;
    if (cpu && IsColor()) pixels.assign(size_t(desc.width) * desc.height * 4, 0);
}

GlSurfaceImpl::~GlSurfaceImpl() {
    std::lock_guard lock(core->mutex);
    Retire({{container || IsColor() ? GlDeletion::Texture : GlDeletion::Renderbuffer, container ? 0 : name_, 0},
            {GlDeletion::SurfaceGone, 0, id}});
}

uint32_t GlSurfaceImpl::AddRef() { return container ? container->AddRef() : Object::AddRef(); }
uint32_t GlSurfaceImpl::Release() { return container ? container->Release() : Object::Release(); }

Result GlSurfaceImpl::GetDesc(SurfaceDesc& out) {
    out = desc;
    return Result::Ok;
}

Result GlSurfaceImpl::LockRect(LockedRect& out, const Rect* rect, uint32_t flags) {
    if (container) return container->LockLevel(level, out, rect, flags);
    return Result::InvalidCall;   // back buffers and depth surfaces never lock
}

Result GlSurfaceImpl::UnlockRect() { return container ? container->UnlockLevel(level) : Result::InvalidCall; }

bool GlSurfaceImpl::Resolve(const Rect* rect, Rect& out) const {
    out = rect ? *rect : Rect{0, 0, int32_t(desc.width), int32_t(desc.height)};
    return out.left >= 0 && out.top >= 0 && out.left < out.right && out.top < out.bottom &&
           int64_t(out.right) <= int64_t(desc.width) && int64_t(out.bottom) <= int64_t(desc.height);
}

Result GlSurfaceImpl::ReadPixels(const Rect* rect, uint32_t* argb) {
    Rect area;
    if (!argb || !IsColor() || !Resolve(rect, area)) return Result::InvalidCall;
    if (!HasPixels()) {
        // GL holds the only copy: read it on the context thread.
        GlDeviceImpl* device = core->device;
        if (!device || !core->OnContextThread()) return Result::InvalidCall;
        return device->ReadSurface(this, area, argb);
    }
    std::lock_guard lock(core->mutex);
    const bool abgr = GlPixelOrder(desc.format) == GL_RGBA;
    const uint32_t opaque = IgnoresAlpha(desc.format) ? 0xFF000000u : 0;
    for (int32_t y = area.top; y < area.bottom; ++y)
        for (int32_t x = area.left; x < area.right; ++x) {
            const uint8_t* p = &pixels[(size_t(y) * desc.width + size_t(x)) * 4];
            const uint32_t r = abgr ? p[0] : p[2], b = abgr ? p[2] : p[0];
            *argb++ = (uint32_t(p[3]) << 24 | r << 16 | uint32_t(p[1]) << 8 | b) | opaque;
        }
    return Result::Ok;
}

GLuint GlSurfaceImpl::GlName() {
    if (container) return container->GlName();
    if (!name_ || scheduled_.load(std::memory_order_acquire)) {
        std::lock_guard lock(core->mutex);
        scheduled_.store(false);
        Realize();
    }
    return name_;
}

GLuint GlSurfaceImpl::GlNameUnprepared() const { return container ? container->name_ : name_; }

void GlSurfaceImpl::Resize(uint32_t width, uint32_t height) {
    std::lock_guard lock(core->mutex);
    desc.width = width;
    desc.height = height;
    Realize();
}

void GlSurfaceImpl::Realize() {
    GlDeviceImpl* device = core->device;
    if (!device || container) return;
    if (realizedWidth_ == desc.width && realizedHeight_ == desc.height && realizedFormat_ == desc.format && name_)
        return;
    if (IsDepth()) {
        if (!name_) glGenRenderbuffers(1, &name_);
        glBindRenderbuffer(GL_RENDERBUFFER, name_);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, GLsizei(desc.width), GLsizei(desc.height));
    } else {
        if (!name_) glGenTextures(1, &name_);
        device->Gl().BindUploadTexture(name_);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        // Reset may change the format as well as the size.
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, IgnoresAlpha(desc.format) ? GL_ONE : GL_ALPHA);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, GLsizei(desc.width), GLsizei(desc.height), 0, GL_BGRA,
                     GL_UNSIGNED_BYTE, nullptr);
    }
    realizedWidth_ = desc.width;
    realizedHeight_ = desc.height;
    realizedFormat_ = desc.format;
}

// ---------------------------------------------------------------- textures

GlTextureImpl::GlTextureImpl(std::shared_ptr<GlCore> c, uint32_t width, uint32_t height, uint32_t count,
                             uint32_t use, uint32_t fmt, uint32_t p)
    : GlResource(std::move(c), p), usage(use), format(fmt) {
    for (uint32_t l = 0; l < count; ++l) {
        SurfaceDesc d{std::max(1u, width >> l), std::max(1u, height >> l), format, usage, pool};
        levels.push_back(std::make_unique<GlSurfaceImpl>(core, d, this, l));
    }
    // System memory never reaches GL; the rest is made at the next frame.
    if (pool != kPoolSystemMem) {
        std::lock_guard lock(core->mutex);
        if (!levels[0]->pixels.empty()) dirtyBottom_ = levels[0]->desc.height;
        Schedule();
    }
}

GlTextureImpl::~GlTextureImpl() {
    std::lock_guard lock(core->mutex);
    Retire({{GlDeletion::Texture, name_, 0}});
}

Result GlTextureImpl::GetLevelDesc(uint32_t level, SurfaceDesc& out) {
    if (level >= levels.size()) return Result::InvalidCall;
    out = levels[level]->desc;
    return Result::Ok;
}

Result GlTextureImpl::GetSurfaceLevel(uint32_t level, Surface** out) {
    if (out) *out = nullptr;
    if (!out || level >= levels.size()) return Result::InvalidCall;
    *out = levels[level].get();
    (*out)->AddRef();
    return Result::Ok;
}

Result GlTextureImpl::LockRect(uint32_t level, LockedRect& out, const Rect* rect, uint32_t flags) {
    return LockLevel(level, out, rect, flags);
}

Result GlTextureImpl::UnlockRect(uint32_t level) { return UnlockLevel(level); }

Result GlTextureImpl::LockLevel(uint32_t level, LockedRect& out, const Rect* rect, uint32_t flags) {
    constexpr uint32_t known = kLockReadOnly | kLockDiscard | 0x800 /*no system lock*/ | 0x8000 /*no dirty update*/;
    if (level >= levels.size() || !Lockable() || (flags & ~known)) return Result::InvalidCall;
    // Discarding is for dynamic textures only, and cannot go with reading.
    if ((flags & kLockDiscard) && (!(usage & kUsageDynamic) || (flags & kLockReadOnly))) return Result::InvalidCall;
    std::lock_guard lock(core->mutex);
    GlSurfaceImpl& s = *levels[level];
    Rect area;
    if (s.locked || !s.Resolve(rect, area)) return Result::InvalidCall;
    s.locked = true;
    s.lockFlags = flags;
    if (level == 0) {
        lockTop_ = area.top;
        lockBottom_ = area.bottom;
    }
    out.pitch = int32_t(s.desc.width * 4);
    out.bits = s.pixels.data() + (size_t(area.top) * s.desc.width + size_t(area.left)) * 4;
    return Result::Ok;
}

Result GlTextureImpl::UnlockLevel(uint32_t level) {
    // Draws batched before the lock sampled the old texels.
    if (GlDeviceImpl* device = core->device; device && core->OnContextThread()) device->Flush();
    std::lock_guard lock(core->mutex);
    if (level >= levels.size() || !levels[level]->locked) return Result::InvalidCall;
    GlSurfaceImpl& s = *levels[level];
    s.locked = false;
    if (level == 0 && !(s.lockFlags & kLockReadOnly) && pool != kPoolSystemMem) {
        if (dirtyBottom_ <= dirtyTop_) {
            dirtyTop_ = uint32_t(lockTop_);
            dirtyBottom_ = uint32_t(lockBottom_);
        } else {
            dirtyTop_ = std::min(dirtyTop_, uint32_t(lockTop_));
            dirtyBottom_ = std::max(dirtyBottom_, uint32_t(lockBottom_));
        }
        Schedule();
    }
    return Result::Ok;
}

Result GlTextureImpl::Fill(uint32_t argb) {
    // A render target is cleared on the GPU; anything else must be lockable.
    if (!Lockable() && !IsRenderTarget()) return Result::InvalidCall;
    GlDeviceImpl* device = core->device;
    const bool now = IsRenderTarget() && device && core->OnContextThread();
    if (now) device->Flush();
    {
        std::lock_guard lock(core->mutex);
        for (const auto& l : levels)
            if (l->locked) return Result::InvalidCall;
        if (IsRenderTarget()) {
            fillPending_ = true;
            fillColor_ = argb;
            Schedule();
        } else {
            const bool abgr = GlPixelOrder(format) == GL_RGBA;
            const uint8_t a = uint8_t(argb >> 24), r = uint8_t(argb >> 16), g = uint8_t(argb >> 8), b = uint8_t(argb);
            const uint8_t texel[4] = {abgr ? r : b, g, abgr ? b : r, a};
            for (const auto& l : levels)
                for (size_t i = 0; i < l->pixels.size(); i += 4) std::memcpy(&l->pixels[i], texel, 4);
            if (pool != kPoolSystemMem) {
                dirtyTop_ = 0;
                dirtyBottom_ = levels[0]->desc.height;
                Schedule();
            }
        }
    }
    if (now) GlName();
    return Result::Ok;
}

GLuint GlTextureImpl::GlName() {
    bool fill = false;
    uint32_t color = 0;
    if (!name_ || scheduled_.load(std::memory_order_acquire) || fillPending_.load()) {
        std::lock_guard lock(core->mutex);
        scheduled_.store(false);
        Realize();
        fill = fillPending_.exchange(false);
        color = fillColor_;
    }
    // Cleared outside the lock: the clear makes framebuffers of the levels.
    if (fill)
        for (const auto& l : levels) core->device->ClearSurface(l.get(), color);
    return name_;
}

void GlTextureImpl::Realize() {
    GlDeviceImpl* device = core->device;
    if (!device) return;
    GlState& gl = device->Gl();
    const GLenum order = GlPixelOrder(format);
    if (!name_) {
        glGenTextures(1, &name_);
        gl.BindUploadTexture(name_);
        // Only level 0 is sampled (no mip filter); render targets keep every
        // level a framebuffer may name.
        const uint32_t allocated = IsRenderTarget() ? uint32_t(levels.size()) : 1;
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, GLint(allocated - 1));
        if (IgnoresAlpha(format)) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, GL_ONE);
        for (uint32_t l = 0; l < allocated; ++l)
            glTexImage2D(GL_TEXTURE_2D, GLint(l), GL_RGBA, GLsizei(levels[l]->desc.width),
                         GLsizei(levels[l]->desc.height), 0, order, GL_UNSIGNED_BYTE, nullptr);
    }
    const GlSurfaceImpl& top = *levels[0];
    if (dirtyBottom_ > dirtyTop_ && top.HasPixels()) {
        if (top.locked) {
            Schedule();   // still being written: next time
            return;
        }
        gl.BindUploadTexture(name_);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, GLint(dirtyTop_), GLsizei(top.desc.width),
                        GLsizei(dirtyBottom_ - dirtyTop_), order, GL_UNSIGNED_BYTE,
                        top.pixels.data() + size_t(dirtyTop_) * top.desc.width * 4);
        dirtyTop_ = dirtyBottom_ = 0;
    }
}

// ---------------------------------------------------------------- buffers

GlBufferImpl::GlBufferImpl(std::shared_ptr<GlCore> c, const BufferDesc& d)
    : GlResource(std::move(c), d.pool), desc(d), bytes(d.bytes, 0) {
    if (pool != kPoolSystemMem) {
        std::lock_guard lock(core->mutex);
        Schedule();
    }
}

GlBufferImpl::~GlBufferImpl() {
    std::lock_guard lock(core->mutex);
    Retire({{GlDeletion::Buffer, name_, 0}});
}

Result GlBufferImpl::LockBytes(uint32_t offset, uint32_t size, void** data, uint32_t flags) {
    if (data) *data = nullptr;
    constexpr uint32_t known = kLockReadOnly | kLockNoOverwrite | kLockDiscard | 0x800;
    if (!data || (flags & ~known) || offset > desc.bytes || size > desc.bytes - offset) return Result::InvalidCall;
    if ((flags & (kLockDiscard | kLockNoOverwrite)) && !(desc.usage & kUsageDynamic)) return Result::InvalidCall;
    if ((flags & kLockReadOnly) && (desc.usage & kUsageWriteOnly)) return Result::InvalidCall;
    std::lock_guard lock(core->mutex);
    if (locked) return Result::InvalidCall;
    locked = true;
    lockBegin_ = offset;
    lockEnd_ = size ? offset + size : desc.bytes;
    lockReadOnly_ = flags & kLockReadOnly;
    *data = bytes.data() + offset;
    return Result::Ok;
}

Result GlBufferImpl::UnlockBytes() {
    std::lock_guard lock(core->mutex);
    if (!locked) return Result::InvalidCall;
    locked = false;
    if (!lockReadOnly_ && pool != kPoolSystemMem && lockEnd_ > lockBegin_) {
        if (dirtyEnd_ <= dirtyBegin_) {
            dirtyBegin_ = lockBegin_;
            dirtyEnd_ = lockEnd_;
        } else {
            dirtyBegin_ = std::min(dirtyBegin_, lockBegin_);
            dirtyEnd_ = std::max(dirtyEnd_, lockEnd_);
        }
        Schedule();
    }
    return Result::Ok;
}

GLuint GlBufferImpl::GlName() {
    if (!name_ || scheduled_.load(std::memory_order_acquire)) {
        std::lock_guard lock(core->mutex);
        scheduled_.store(false);
        Realize();
    }
    return name_;
}

void GlBufferImpl::Realize() {
    if (!core->device) return;
    const GLenum use = desc.usage & kUsageDynamic ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW;
    if (!name_) {
        glGenBuffers(1, &name_);
        glBindBuffer(GL_COPY_WRITE_BUFFER, name_);
        glBufferData(GL_COPY_WRITE_BUFFER, GLsizeiptr(bytes.size()), locked ? nullptr : bytes.data(), use);
        if (!locked) dirtyBegin_ = dirtyEnd_ = 0;
    }
    if (dirtyEnd_ > dirtyBegin_) {
        if (locked) {
            Schedule();
            return;
        }
        glBindBuffer(GL_COPY_WRITE_BUFFER, name_);
        if (dirtyBegin_ == 0 && dirtyEnd_ == bytes.size())
            glBufferData(GL_COPY_WRITE_BUFFER, GLsizeiptr(bytes.size()), bytes.data(), use);   // orphans
        else
            glBufferSubData(GL_COPY_WRITE_BUFFER, GLintptr(dirtyBegin_), GLsizeiptr(dirtyEnd_ - dirtyBegin_),
                            bytes.data() + dirtyBegin_);
        dirtyBegin_ = dirtyEnd_ = 0;
    }
}

// ---------------------------------------------------------------- declarations

namespace {

void Add(VertexLayout& l, uint8_t location, GLint size, GLenum type, bool normalized, bool integer, uint32_t offset) {
    l.attribs[l.count++] = {location, size, uint16_t(offset), type, normalized, integer};
}

}  // namespace

VertexLayout LayoutOfFvf(uint32_t fvf) {
    VertexLayout l;
    l.id = fvf;
    uint32_t offset = 0;
    if (fvf & kFvfXyz) {
        Add(l, kLocPosition, 3, GL_FLOAT, false, false, offset);
        offset += 12;
    } else if (fvf & kFvfXyzRhw) {
        Add(l, kLocPosition, 4, GL_FLOAT, false, false, offset);
        offset += 16;
        l.pretransformed = true;
    }
    if (fvf & kFvfNormal) {
        Add(l, kLocNormal, 3, GL_FLOAT, false, false, offset);
        offset += 12;
    }
    if (fvf & kFvfDiffuse) {
        Add(l, kLocColor, GL_BGRA, GL_UNSIGNED_BYTE, true, false, offset);
        offset += 4;
        l.hasColor = true;
    }
    if (fvf & kFvfTex1) {
        Add(l, kLocTexCoord0, 2, GL_FLOAT, false, false, offset);
        offset += 8;
    }
    l.minStride = offset;
    return l;
}

VertexLayout LayoutOfDeclaration(const std::vector<VertexElement>& elements, uint32_t id) {
    VertexLayout l;
    l.id = id;
    for (const VertexElement& e : elements) {
        uint8_t location;
        switch (e.usage) {
        case kUsagePosition: location = kLocPosition; break;
        case kUsageBlendWeight: location = kLocBlendWeight; break;
        case kUsageBlendIndices: location = kLocBlendIndices; break;
        case kUsageNormal: location = kLocNormal; break;
        case kUsageTangent: location = kLocTangent; break;
        case kUsageBinormal: location = kLocBinormal; break;
        case kUsageColor: location = kLocColor; break;
        case kUsageTexCoord: location = uint8_t(kLocTexCoord0 + e.usageIndex); break;
        default: continue;
        }
        if (location == kLocBlendIndices) {
            // Four bytes, bones 0-3 in memory order.
            if (e.type == kDeclColor || e.type == kDeclFloat1)
                Add(l, location, 4, GL_UNSIGNED_BYTE, false, true, e.offset);
        } else if (e.type == kDeclColor) {
            Add(l, location, GL_BGRA, GL_UNSIGNED_BYTE, true, false, e.offset);
        } else {
            Add(l, location, GLint(e.type - kDeclFloat1 + 1), GL_FLOAT, false, false, e.offset);
        }
        if (location == kLocColor) l.hasColor = true;
    }
    l.minStride = DeclarationBytes(elements.data(), uint32_t(elements.size()));
    return l;
}

GlDeclarationImpl::GlDeclarationImpl(std::shared_ptr<GlCore> c, std::vector<VertexElement> e)
    : GlResource(std::move(c), kPoolManaged),
      elements(std::move(e)),
      layout(LayoutOfDeclaration(elements, 0x80000000u | core->nextLayoutId++)) {}

Result GlDeclarationImpl::GetElements(VertexElement* out, uint32_t capacity) {
    if (!out || capacity < elements.size()) return Result::InvalidCall;
    std::copy(elements.begin(), elements.end(), out);
    return Result::Ok;
}

}  // namespace host::render
