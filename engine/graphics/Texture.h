// `CTexture`: the program's texture resource. A texture made empty, loaded
// from an image file, from image bytes or from an archive entry, drawn as 2D
// sprites in screen pixels or as a quad in world space. Menus, the HUD, font
// glyphs, movies, filters and particles all draw through it.
//
// Sizes: a created texture keeps the size asked for; a loaded one keeps the
// file's own size, which UVs are computed against, while the texture itself
// was stretched to powers of two (300 x 200 texels in a 512 x 256 texture).
//
// Copies share the device texture and its surface (one reference each).
#pragma once

#include "engine/core/Geometry.h"
#include "engine/core/ResourceBase.h"
#include "engine/core/Types.h"
#include "host/render/Render.h"

class CMatrix;
class CqelPackFile;

// Screen sprite vertex (x, y, z, rhw, colour, u, v), drawn as a fan.
struct SpriteVertex {
    f32 x, y, z, rhw;
    u32 colour;
    f32 u, v;
};
static_assert(sizeof(SpriteVertex) == 28);
constexpr u32 kFvfSprite = 0x144;

// World quad vertex (x, y, z, colour, u, v).
struct WorldQuadVertex {
    f32 x, y, z;
    u32 colour;
    f32 u, v;
};
static_assert(sizeof(WorldQuadVertex) == 24);
constexpr u32 kFvfWorldQuad = 0x142;

// How a source rectangle maps onto the drawn quad.
enum SpriteOrientation : u8 {
    kOrientNormal = 0,
    kOrientMirrorX = 1,     // mirrored left-right
    kOrientMirrorY = 2,     // mirrored top-bottom
    kOrientTurn180 = 3,
    kOrientTurnRight = 4,   // 90 degrees clockwise
    kOrientTurnLeft = 5,    // 90 degrees counter-clockwise
};

// Which point of a sprite lies at the given position.
enum SpriteAnchor : u8 {
    kAnchorLeft = 1,
    kAnchorCentre = 2,
    kAnchorRight = 4,
    kAnchorTop = 16,
    kAnchorMiddle = 32,
    kAnchorBottom = 64,
    kAnchorTopLeft = 17,
};

// The colour key of every loaded image: opaque pure green becomes
// transparent black.
constexpr u32 kTextureColorKey = 0xFF00FF00u;

// One texture coordinate pair.
struct TexCoord {
    f32 u, v;
};

class CTexture : public CResourceBase {
    ORV_VALUE_CLASS(CTexture)

public:
    CTexture();
    CTexture(const CTexture& other) = default;
    CTexture& operator=(const CTexture& other) = default;
    ~CTexture() override;

    // The surface, then the texture, then the name. 1.
    i32 Release() override;

    // One level of width x height; the name becomes "Create". 1, or 0 (the
    // texture is then empty).
    i32 Create(u32 width, u32 height, u32 usage, u32 format, u32 pool);
    // An image file (BMP, PNG, TGA, JPG, DDS) with the green colour key. The
    // name becomes path. 1, or 0 (empty).
    i32 LoadFromFile(const char* path);
    // The same from size bytes of an image file, named name.
    i32 LoadFromMemory(const void* bytes, const char* name, u32 size);
    // The same from an archive entry, named after it.
    i32 LoadFromPack(const CqelPackFile* pack, const char* entryName);
    // Several files at once, each as LoadFromMemory into its texture (its
    // result in loaded): decoding is most of a load, and textures may be
    // made on any thread, so pooled threads decode beside this one.
    struct MemoryFile {
        CTexture* texture;
        const void* bytes;
        const char* name;
        u32 size;
        i32 loaded;
    };
    static void LoadEachFromMemory(MemoryFile* files, u32 count);

    // Level 0, fetched once and kept; null without a texture.
    host::render::Surface* GetSurface();
    // Level 0 as the device's colour target. 0 without a surface.
    i32 SetAsRenderTarget();

    // Copies rows of packed source pixels (bytes blue, green, red and, with
    // 4 bytes per pixel, alpha; 3 bytes give alpha 255) into the first
    // sourceWidth columns of level 0 (movie frames); the other columns keep
    // their texels. Rows past the texture are dropped. 0 without texture or
    // pixels, for another pixel size, or when level 0 cannot be locked.
    i32 SetPixels(u32 sourceWidth, u32 rows, const void* pixels, u32 bytesPerPixel);
    // Level 0 zeroed. 0 without texture or when it cannot be locked.
    i32 Clear();
    // Every texel of every level set to argb. 1 on success.
    i32 FillColor(u32 argb);
    // Level 0 (or rect of it, truncated to whole texels) as an image file;
    // BMP (host::render::kImageFileBmp) only. 1 on success.
    i32 SaveToFile(const char* path, u32 fileFormat, const CRect4* rect);

    // The UVs of rect for the quad corners top-left (uv0), bottom-left (uv1),
    // top-right (uv2) and bottom-right (uv3) under an orientation 0-5,
    // against the recorded width and height. Nothing for a null pointer or an
    // orientation above 5.
    void RectToUv(const CRect4* rect, TexCoord* uv0, TexCoord* uv1, TexCoord* uv2, TexCoord* uv3,
                  u8 orientation) const;

    // Sprites in screen pixels, offset by the viewport origin; a null source
    // is the whole image. Orientations 4 and 5 swap the drawn width and
    // height. keepCentre keeps the centre of the unscaled sprite where it was
    // on that axis. Each returns 1 when the device drew.
    i32 DrawSprite(f32 x, f32 y, f32 z, const CRect4* source, f32 scaleX, f32 scaleY, u32 colour, u8 orientation,
                   i32 keepCentreX, i32 keepCentreY, u8 anchorFlags);
    i32 DrawSprite2D(f32 x, f32 y, const CRect4* source, f32 scaleX, f32 scaleY, u32 colour, u8 orientation,
                     i32 keepCentreX, i32 keepCentreY, u8 anchorFlags);
    i32 DrawSpriteTopLeft(f32 x, f32 y, const CRect4* source, f32 scaleX, f32 scaleY, u32 colour, u8 orientation,
                          i32 keepCentreX, i32 keepCentreY);
    i32 DrawSpriteTopLeftAtDepth(f32 x, f32 y, f32 z, const CRect4* source, f32 scaleX, f32 scaleY, u32 colour,
                                 u8 orientation, i32 keepCentreX, i32 keepCentreY);
    // Turned by angleDegrees (clockwise on screen). A horizontal anchor flag
    // pins x to the sprite's left edge (1), centre (2) or right edge (4) and
    // turns it about that point; without one the unturned sprite's left edge
    // is at x and it turns about its centre. Likewise vertically.
    i32 DrawSpriteRotated(f32 x, f32 y, f32 z, const CRect4* source, f32 angleDegrees, f32 scaleX, f32 scaleY,
                          u32 colour, u8 orientation, u8 anchorFlags);
    // source stretched onto destination; a null destination is the main
    // window's client area.
    i32 DrawRect(const CRect4* destination, const CRect4* source, u32 colour, u8 orientation);
    // source on a unit quad in the z = 0 plane, y up, placed by world, drawn
    // unlit and without fog (particles). 0 for a null world.
    i32 DrawQuad3D(const CMatrix* world, const CRect4* source, u32 colour);

    host::render::Texture* GetTexture() const { return m_texture.Get(); }
    u32 GetWidth() const { return m_width; }
    u32 GetHeight() const { return m_height; }
    u32 GetUsage() const { return m_usage; }
    u32 GetFormat() const { return m_format; }
    u32 GetPool() const { return m_pool; }

private:
    void ReleaseTexture();
    // Takes a loaded texture and its image information.
    i32 TakeLoaded(host::render::Texture* texture, u32 width, u32 height, const char* name);
    // Locks level 0, with DISCARD first and then without flags.
    bool LockLevel0(host::render::LockedRect& locked, host::render::SurfaceDesc& desc);
    CRect4 SourceOrWhole(const CRect4* source) const;
    i32 DrawFan(const SpriteVertex* vertices);

    host::render::Ref<host::render::Texture> m_texture;
    host::render::Ref<host::render::Surface> m_surface;
    u32 m_width = 0;
    u32 m_height = 0;
    u32 m_usage = 0;
    u32 m_format = 0;
    u32 m_pool = 0;
};
