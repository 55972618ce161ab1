#include "engine/graphics/Texture.h"

#include "engine/core/FloatMath.h"
#include "engine/core/Matrix.h"
#include "engine/core/Memory.h"
#include "engine/core/PackFile.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/platform/System.h"
#include "host/kernel/Kernel.h"
#include "host/render/TextureLoad.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <vector>

namespace render = host::render;

namespace {

constexpr u8 kTextureType = 1;
constexpr char kCreatedName[] = "Create";

bool Swapped(u8 orientation) { return orientation == kOrientTurnRight || orientation == kOrientTurnLeft; }

// One axis of DrawSprite's placement: the near edge of a sprite t texels
// long drawn size long at position p. centre and far name the anchor flags
// of the axis.
f32 PlaceEdge(f32 p, f32 t, f32 size, f32 scale, u8 anchor, u8 centreFlag, u8 farFlag, i32 keepCentre)
{
    if (anchor & centreFlag) return p - size / 2.0f;
    if (anchor & farFlag) return keepCentre ? p - t + t / 2.0f - (t / 2.0f) * scale : p - size;
    return keepCentre ? p + t / 2.0f - (t / 2.0f) * scale : p;
}

}  // namespace

CTexture::CTexture() { SetType(kTextureType); }

CTexture::~CTexture() { CTexture::Release(); }

i32 CTexture::Release()
{
    ReleaseTexture();
    return CResourceBase::Release();
}

void CTexture::ReleaseTexture()
{
    m_surface.Reset();
    m_texture.Reset();
}

i32 CTexture::Create(u32 width, u32 height, u32 usage, u32 format, u32 pool)
{
    ReleaseTexture();
    CGraphicDevice* device = GetGraphicDevice();
    if (!device || !device->GetDevice()) return 0;
    render::Ref<render::Texture> texture;
    if (device->GetDevice()->CreateTexture(width, height, 1, usage, format, pool, texture.Put()) != render::Result::Ok)
        return 0;
    m_texture = texture;
    SetName(kCreatedName);
    m_width = width;
    m_height = height;
    m_usage = usage;
    m_format = format;
    m_pool = pool;
    return 1;
}

i32 CTexture::TakeLoaded(render::Texture* texture, u32 width, u32 height, const char* name)
{
    m_texture = render::Ref<render::Texture>::Adopt(texture);
    SetName(name);
    m_width = width;
    m_height = height;
    m_usage = 0;
    m_format = GetGraphicDevice()->GetDefaultTextureFormat();
    m_pool = render::kPoolManaged;
    return 1;
}

i32 CTexture::LoadFromFile(const char* path)
{
    CGraphicDevice* device = GetGraphicDevice();
    if (!path || !device || !device->GetDevice()) return 0;
    ReleaseTexture();
    render::ImageInfo info;
    render::Texture* texture = nullptr;
    if (render::LoadTextureFromFile(device->GetDevice(), path, kTextureColorKey, &info, &texture) != render::Result::Ok)
        return 0;
    return TakeLoaded(texture, info.width, info.height, path);
}

i32 CTexture::LoadFromMemory(const void* bytes, const char* name, u32 size)
{
    CGraphicDevice* device = GetGraphicDevice();
    if (!bytes || !name || !size || !device || !device->GetDevice()) return 0;
    ReleaseTexture();
    render::ImageInfo info;
    render::Texture* texture = nullptr;
    if (render::LoadTextureFromMemory(device->GetDevice(), bytes, size, kTextureColorKey, &info, &texture) !=
        render::Result::Ok)
        return 0;
    return TakeLoaded(texture, info.width, info.height, name);
}

i32 CTexture::LoadFromPack(const CqelPackFile* pack, const char* entryName)
{
    if (!pack || !entryName || !pack->FindEntry(entryName)) return 0;
    u32 size = 0;
    u8* bytes = pack->ReadEntry(entryName, &size);
    if (!bytes) return 0;
    const i32 result = LoadFromMemory(bytes, entryName, size);
    AlignedFree(bytes);
    return result;
}

void CTexture::LoadEachFromMemory(MemoryFile* files, u32 count)
{
    // A few threads take the files in turn: each decode holds a texture's
    // worth of fresh memory.
    host::kernel::RunSideBySide(count, 8, [files](u32 i) {
        MemoryFile& f = files[i];
        f.loaded = f.texture ? f.texture->LoadFromMemory(f.bytes, f.name, f.size) : 0;
    });
}

render::Surface* CTexture::GetSurface()
{
    if (!m_surface && m_texture) {
        render::Ref<render::Surface> surface;
        if (m_texture->GetSurfaceLevel(0, surface.Put()) == render::Result::Ok) m_surface = surface;
    }
    return m_surface.Get();
}

i32 CTexture::SetAsRenderTarget()
{
    render::Surface* surface = GetSurface();
    CGraphicDevice* device = GetGraphicDevice();
    if (!surface || !device) return 0;
    return device->SetColorTarget(surface);
}

bool CTexture::LockLevel0(render::LockedRect& locked, render::SurfaceDesc& desc)
{
    if (m_texture->GetLevelDesc(0, desc) != render::Result::Ok) return false;
    if (m_texture->LockRect(0, locked, nullptr, render::kLockDiscard) != render::Result::Ok &&
        m_texture->LockRect(0, locked, nullptr, 0) != render::Result::Ok)
        return false;
    // Every format a texture is made in has four bytes a texel.
    if (!locked.bits || locked.pitch < 0 || u64(locked.pitch) < u64(desc.width) * 4) {
        m_texture->UnlockRect(0);
        return false;
    }
    return true;
}

i32 CTexture::SetPixels(u32 sourceWidth, u32 rows, const void* pixels, u32 bytesPerPixel)
{
    if (!m_texture || !pixels || (bytesPerPixel != 3 && bytesPerPixel != 4)) return 0;
    render::LockedRect locked;
    render::SurfaceDesc desc;
    if (!LockLevel0(locked, desc)) return 0;
    const u32 columns = std::min(sourceWidth, desc.width);
    const u32 count = std::min(rows, desc.height);
    const size_t sourcePitch = size_t(sourceWidth) * bytesPerPixel;
    const auto* source = static_cast<const u8*>(pixels);
    auto* dest = static_cast<u8*>(locked.bits);
    for (u32 y = 0; y < count; ++y) {
        const u8* s = source + y * sourcePitch;
        u8* d = dest + size_t(y) * size_t(locked.pitch);
        for (u32 x = 0; x < columns; ++x, s += bytesPerPixel, d += 4) {
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
            d[3] = bytesPerPixel == 4 ? s[3] : 0xFF;
        }
    }
    m_texture->UnlockRect(0);
    return 1;
}

i32 CTexture::Clear()
{
    if (!m_texture) return 0;
    render::LockedRect locked;
    render::SurfaceDesc desc;
    if (!LockLevel0(locked, desc)) return 0;
    std::memset(locked.bits, 0, size_t(locked.pitch) * desc.height);
    m_texture->UnlockRect(0);
    return 1;
}

i32 CTexture::FillColor(u32 argb)
{
    return render::FillTexture(m_texture.Get(), argb) == render::Result::Ok ? 1 : 0;
}

i32 CTexture::SaveToFile(const char* path, u32 fileFormat, const CRect4* rect)
{
    render::Surface* surface = GetSurface();
    if (!path || !surface) return 0;
    const render::Rect area = rect ? rect->ToRect<render::Rect>() : render::Rect();
    return render::SaveSurfaceToFile(path, fileFormat, surface, rect ? &area : nullptr) == render::Result::Ok ? 1 : 0;
}

void CTexture::RectToUv(const CRect4* rect, TexCoord* uv0, TexCoord* uv1, TexCoord* uv2, TexCoord* uv3,
                        u8 orientation) const
{
    if (!rect || !uv0 || !uv1 || !uv2 || !uv3 || orientation > kOrientTurnLeft) return;
    const f32 width = f32(m_width), height = f32(m_height);
    const f32 l = rect->left / width, r = rect->right / width;
    const f32 t = rect->top / height, b = rect->bottom / height;
    // Corners top-left, bottom-left, top-right, bottom-right per orientation.
    const TexCoord table[6][4] = {
        {{l, t}, {l, b}, {r, t}, {r, b}},
        {{r, t}, {r, b}, {l, t}, {l, b}},
        {{l, b}, {l, t}, {r, b}, {r, t}},
        {{r, b}, {r, t}, {l, b}, {l, t}},
        {{l, b}, {r, b}, {l, t}, {r, t}},
        {{r, t}, {l, t}, {r, b}, {l, b}},
    };
    *uv0 = table[orientation][0];
    *uv1 = table[orientation][1];
    *uv2 = table[orientation][2];
    *uv3 = table[orientation][3];
}

CRect4 CTexture::SourceOrWhole(const CRect4* source) const
{
    if (source) return *source;
    CRect4 whole;
    whole.Set(0.0f, f32(m_width), 0.0f, f32(m_height));
    return whole;
}

i32 CTexture::DrawFan(const SpriteVertex* vertices)
{
    CGraphicDevice* device = GetGraphicDevice();
    if (!device) return 0;
    device->SetTexture(m_texture.Get());
    device->SetFVF(kFvfSprite);
    return device->DrawPrimitiveUP(render::kPrimitiveTriangleFan, 2, vertices, sizeof(SpriteVertex));
}

i32 CTexture::DrawSprite(f32 x, f32 y, f32 z, const CRect4* source, f32 scaleX, f32 scaleY, u32 colour,
                         u8 orientation, i32 keepCentreX, i32 keepCentreY, u8 anchorFlags)
{
    CGraphicDevice* device = GetGraphicDevice();
    if (!device) return 0;
    const CRect4 s = SourceOrWhole(source);
    const f32 tw = s.right - s.left, th = s.bottom - s.top;
    f32 w = tw * scaleX, h = th * scaleY;
    if (Swapped(orientation)) std::swap(w, h);
    f32 left = PlaceEdge(x, tw, w, scaleX, anchorFlags, kAnchorCentre, kAnchorRight, keepCentreX);
    f32 top = PlaceEdge(y, th, h, scaleY, anchorFlags, kAnchorMiddle, kAnchorBottom, keepCentreY);
    TexCoord uv[4] = {};
    RectToUv(&s, &uv[0], &uv[1], &uv[2], &uv[3], orientation);
    const ViewportOrigin origin = device->GetViewportOrigin();
    left += origin.x;
    top += origin.y;
    const SpriteVertex vertices[4] = {
        {left, top, z, 1.0f, colour, uv[0].u, uv[0].v},
        {left + w, top, z, 1.0f, colour, uv[2].u, uv[2].v},
        {left + w, top + h, z, 1.0f, colour, uv[3].u, uv[3].v},
        {left, top + h, z, 1.0f, colour, uv[1].u, uv[1].v},
    };
    return DrawFan(vertices);
}

i32 CTexture::DrawSprite2D(f32 x, f32 y, const CRect4* source, f32 scaleX, f32 scaleY, u32 colour, u8 orientation,
                           i32 keepCentreX, i32 keepCentreY, u8 anchorFlags)
{
    return DrawSprite(x, y, 0.0f, source, scaleX, scaleY, colour, orientation, keepCentreX, keepCentreY, anchorFlags);
}

i32 CTexture::DrawSpriteTopLeft(f32 x, f32 y, const CRect4* source, f32 scaleX, f32 scaleY, u32 colour,
                                u8 orientation, i32 keepCentreX, i32 keepCentreY)
{
    return DrawSprite(x, y, 0.0f, source, scaleX, scaleY, colour, orientation, keepCentreX, keepCentreY,
                      kAnchorTopLeft);
}

i32 CTexture::DrawSpriteTopLeftAtDepth(f32 x, f32 y, f32 z, const CRect4* source, f32 scaleX, f32 scaleY,
                                       u32 colour, u8 orientation, i32 keepCentreX, i32 keepCentreY)
{
    return DrawSprite(x, y, z, source, scaleX, scaleY, colour, orientation, keepCentreX, keepCentreY,
                      kAnchorTopLeft);
}

i32 CTexture::DrawSpriteRotated(f32 x, f32 y, f32 z, const CRect4* source, f32 angleDegrees, f32 scaleX,
                                f32 scaleY, u32 colour, u8 orientation, u8 anchorFlags)
{
    CGraphicDevice* device = GetGraphicDevice();
    if (!device) return 0;
    const CRect4 s = SourceOrWhole(source);
    f32 w = (s.right - s.left) * scaleX, h = (s.bottom - s.top) * scaleY;
    if (Swapped(orientation)) std::swap(w, h);
    TexCoord uv[4] = {};
    RectToUv(&s, &uv[0], &uv[1], &uv[2], &uv[3], orientation);
    const f32 angle = angleDegrees * 3.1415927f / 180.0f;
    const f32 sine = SinF(angle), cosine = CosF(angle);

    // Corners top-left, top-right, bottom-right, bottom-left about the pivot.
    f32 px = x + w / 2.0f, py = y + h / 2.0f;
    f32 dx[4] = {-w / 2.0f, w / 2.0f, w / 2.0f, -w / 2.0f};
    f32 dy[4] = {-h / 2.0f, -h / 2.0f, h / 2.0f, h / 2.0f};
    if (anchorFlags & kAnchorLeft) {
        px = x;
        dx[0] = 0.0f, dx[1] = w, dx[2] = w, dx[3] = 0.0f;
    } else if (anchorFlags & kAnchorCentre) {
        px = x;
    } else if (anchorFlags & kAnchorRight) {
        px = x;
        dx[0] = -w, dx[1] = 0.0f, dx[2] = 0.0f, dx[3] = -w;
    }
    if (anchorFlags & kAnchorTop) {
        py = y;
        dy[0] = 0.0f, dy[1] = 0.0f, dy[2] = h, dy[3] = h;
    } else if (anchorFlags & kAnchorMiddle) {
        py = y;
    } else if (anchorFlags & kAnchorBottom) {
        py = y;
        dy[0] = -h, dy[1] = -h, dy[2] = 0.0f, dy[3] = 0.0f;
    }
    const ViewportOrigin origin = device->GetViewportOrigin();
    px += origin.x;
    py += origin.y;
    const TexCoord cornerUv[4] = {uv[0], uv[2], uv[3], uv[1]};
    SpriteVertex vertices[4];
    for (int i = 0; i < 4; ++i) {
        vertices[i] = {dx[i] * cosine - dy[i] * sine + px, dx[i] * sine + dy[i] * cosine + py, z, 1.0f, colour,
                       cornerUv[i].u, cornerUv[i].v};
    }
    return DrawFan(vertices);
}

i32 CTexture::DrawRect(const CRect4* destination, const CRect4* source, u32 colour, u8 orientation)
{
    CGraphicDevice* device = GetGraphicDevice();
    if (!device) return 0;
    CRect4 d;
    if (destination) {
        d = *destination;
    } else if (const CSystem* window = device->GetSystem()) {
        d.Set(0.0f, f32(window->GetWidth()), 0.0f, f32(window->GetHeight()));
    }
    const CRect4 s = SourceOrWhole(source);
    TexCoord uv[4] = {};
    RectToUv(&s, &uv[0], &uv[1], &uv[2], &uv[3], orientation);
    const ViewportOrigin origin = device->GetViewportOrigin();
    d.left += origin.x;
    d.right += origin.x;
    d.top += origin.y;
    d.bottom += origin.y;
    const SpriteVertex vertices[4] = {
        {d.left, d.top, 0.0f, 1.0f, colour, uv[0].u, uv[0].v},
        {d.right, d.top, 0.0f, 1.0f, colour, uv[2].u, uv[2].v},
        {d.right, d.bottom, 0.0f, 1.0f, colour, uv[3].u, uv[3].v},
        {d.left, d.bottom, 0.0f, 1.0f, colour, uv[1].u, uv[1].v},
    };
    return DrawFan(vertices);
}

i32 CTexture::DrawQuad3D(const CMatrix* world, const CRect4* source, u32 colour)
{
    CGraphicDevice* device = GetGraphicDevice();
    if (!device || !world) return 0;
    const CRect4 s = SourceOrWhole(source);
    const f32 width = f32(m_width), height = f32(m_height);
    const f32 uL = s.left / width, uR = s.right / width, vT = s.top / height, vB = s.bottom / height;
    device->SetWorldTransform(*world);
    const RenderStateCache* states = device->GetRenderStates();
    const u32 lighting = states->lighting, fog = states->fogEnable;
    device->SetLighting(0);
    device->SetFogEnable(0);
    const WorldQuadVertex vertices[4] = {
        {-0.5f, 0.5f, 0.0f, colour, uL, vT},
        {0.5f, 0.5f, 0.0f, colour, uR, vT},
        {0.5f, -0.5f, 0.0f, colour, uR, vB},
        {-0.5f, -0.5f, 0.0f, colour, uL, vB},
    };
    device->SetTexture(m_texture.Get());
    device->SetFVF(kFvfWorldQuad);
    const i32 drawn = device->DrawPrimitiveUP(render::kPrimitiveTriangleFan, 2, vertices, sizeof(WorldQuadVertex));
    if (lighting) device->SetLighting(1);
    if (fog) device->SetFogEnable(1);
    return drawn;
}
