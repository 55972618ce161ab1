// Post-process filters: off-screen render targets the 3D pass draws into,
// composed onto the screen afterwards.
//
// `CFilter` holds one or more render-target textures of one size and a
// depth-stencil surface of that size, and clears, selects, captures into and
// draws them. `CHDRFilter` adds the glow: objects the render list sends to
// target 1 are down-sampled into the half-size work targets 2 and 3, blurred
// there by "GaussFilter.shd" pass after pass, fed back into the next frame's
// target 1 as an afterglow, and added over the scene in target 0.
//
// The targets live in the default pool: the application deletes its filters
// before a device reset and makes them again afterwards.
#pragma once

#include "engine/core/Geometry.h"
#include "engine/core/ResourceBase.h"
#include "engine/core/ResourceList.h"
#include "engine/core/Types.h"
#include "host/render/Render.h"

class CShader;
class CTexture;

class CFilter : public CResourceBase {
    ORV_VALUE_CLASS(CFilter)

public:
    CFilter() = default;
    // The targets are cloned (each sharing its device texture), an owned
    // shader is copied, a borrowed one shared, the depth surface shared.
    CFilter(const CFilter& other);
    CFilter& operator=(const CFilter&) = delete;
    ~CFilter() override;

    // Depth surface, owned shader, targets, then the name. 1.
    i32 Release() override;

    // Virtual operations after the resource's, in their fixed order.
    // Clears every target to transparent black and the depth surface, and
    // leaves the device's targets as they were. 0 without targets.
    virtual i32 Begin(u32 colour);
    // Target 0 drawn opaque over the current colour target.
    virtual i32 Apply(u32 unused);

    // count render-target textures of width x height in colourFormat,
    // opaque black, and a depth-stencil surface of depthFormat. What the
    // filter held before goes. 0 at the first failure (what was made stays
    // for Release).
    i32 Create(u32 width, u32 height, u32 colourFormat, u32 depthFormat, u32 count);
    // An effect from bytes in memory that the filter owns; what it held
    // before goes. The result of CShader::CreateFromMemory.
    i32 LoadShader(const void* bytes, const char* name, u32 size, u32 flags, u32 keepCopy);

    // Target i as the device's colour target. 0 without such a target.
    i32 SetTarget(u32 i);
    // SetTarget, then the colour target's viewport cleared to transparent
    // black, whatever colour says.
    i32 SetTargetAndClear(u32 i, u32 colour);
    // The filter's depth surface as the device's depth target. 0 without one.
    i32 SetDepthTarget();
    // Target i cleared to transparent black and the depth surface to depth
    // 1 and stencil 0; the device's targets as they were. 0 without target i.
    i32 ClearTarget(u32 i);
    // The back buffer's source rectangle copied into target i's destination
    // rectangle, point-sampled. A null rectangle is the current camera's
    // viewport, or the whole back buffer without one. 0 without target i or
    // when the device refuses the rectangles.
    i32 CaptureToTarget(const CRect4* source, const CRect4* destination, u32 i);
    // Target i's source rectangle (texels) drawn onto destination (pixels
    // from the viewport origin) of the current colour target, tinted by
    // colour. A null destination is the current camera's viewport size, a
    // null source its rectangle; the back buffer's without a camera. 0
    // without target i or when the device does not draw.
    i32 DrawTarget(const CRect4* destination, const CRect4* source, u32 colour, u32 i);

    // The split-screen regions of the glow composition (CHDRFilter). Null is
    // ignored.
    void SetScreenRect1(const CRect4* rect);
    void SetScreenRect2(const CRect4* rect);
    void SetScreenRect3(const CRect4* rect);
    const CRect4& GetScreenRect1() const { return m_rect1; }
    const CRect4& GetScreenRect2() const { return m_rect2; }
    const CRect4& GetScreenRect3() const { return m_rect3; }

    u32 GetTargetCount() const { return m_targets ? m_targets->GetCount() : 0; }
    // Null past the count or for an empty slot.
    CTexture* GetTarget(u32 i) const;
    CShader* GetShader() const { return m_shader; }
    u32 OwnsShader() const { return m_ownsShader; }
    host::render::Surface* GetDepthSurface() const { return m_depth.Get(); }

protected:
    // The device's colour and depth targets, put back when the scope ends.
    class TargetScope {
    public:
        TargetScope();
        ~TargetScope();
        TargetScope(const TargetScope&) = delete;
        TargetScope& operator=(const TargetScope&) = delete;

    private:
        host::render::Surface* colour_;
        host::render::Surface* depth_;
    };

    // The full-screen region of the targets: the current camera's viewport
    // when it has a size, else the whole back buffer.
    static CRect4 ViewportRect();
    // Depth 1 and stencil 0 over the current viewport of the depth target.
    static void ClearDepthStencil();

    CResourceList* m_targets = nullptr;
    CShader* m_shader = nullptr;
    u32 m_ownsShader = 0;
    host::render::Ref<host::render::Surface> m_depth;
    // Where the scene lies in targets 0 and 1, the half-size work region of
    // targets 2 and 3, and the destination on the screen.
    CRect4 m_rect1, m_rect2, m_rect3;

private:
    void ReleaseShader();
    void ReleaseTargets();
};

// The glow filter: four targets (0 the scene, 1 the glow source, 2 and 3
// the blur work targets) and the Gaussian blur effect.
class CHDRFilter : public CFilter {
    ORV_VALUE_CLASS(CHDRFilter)

public:
    // The defaults below, the rectangles zero.
    CHDRFilter() = default;
    // The settings copied; the rectangles start zero.
    CHDRFilter(const CHDRFilter& other);
    CHDRFilter& operator=(const CHDRFilter&) = delete;
    ~CHDRFilter() override = default;

    // Clears targets 0 and 1 and the depth surface. 0 without targets.
    i32 Begin(u32 colour) override;
    // Afterglow, blur and composition onto the current colour target. 0
    // without targets or shader, or at the first draw that fails.
    i32 Apply(u32 unused) override;

    // Four targets, the carried "GaussFilter.shd", then SetupRects and
    // SetupGauss. 0 at the first failure.
    i32 Create(u32 width, u32 height, u32 colourFormat, u32 depthFormat);
    // Rectangles 1 and 3 the whole back buffer, 2 its upper-left quarter
    // within the targets. Again whenever the screen layout changes.
    void SetupRects();
    // The blur's tap offsets and weights into the effect, and its
    // technique. 0 without targets or shader.
    i32 SetupGauss();

    // Blur iterations; the application sets its HDR level + 1.
    void SetPassCount(u32 count) { m_passCount = count; }
    u32 GetPassCount() const { return m_passCount; }
    // Tap spacing in texels; SetupGauss picks it up.
    void SetOffsetStep(u32 x, u32 y) { m_stepX = x, m_stepY = y; }
    u32 GetOffsetStepX() const { return m_stepX; }
    u32 GetOffsetStepY() const { return m_stepY; }
    // The Gaussian's variance; SetupGauss picks it up.
    void SetDispersion(f32 dispersion) { m_dispersion = dispersion; }
    f32 GetDispersion() const { return m_dispersion; }
    void SetBlurColor(u32 argb) { m_blurColor = argb; }
    u32 GetBlurColor() const { return m_blurColor; }
    void SetGlowAlpha(u8 alpha) { m_glowAlpha = alpha; }
    u8 GetGlowAlpha() const { return m_glowAlpha; }
    // Non-zero feeds the last blur back into the next frame's glow source.
    void SetAfterglow(u32 on) { m_afterglow = on; }
    u32 GetAfterglow() const { return m_afterglow; }
    void SetAfterglowAlpha(u8 alpha) { m_afterglowAlpha = alpha; }
    u8 GetAfterglowAlpha() const { return m_afterglowAlpha; }

private:
    void Blur();

    u32 m_blurColor = 0x80FFFFFFu;
    u32 m_passCount = 3;
    u32 m_stepX = 2;
    u32 m_stepY = 2;
    f32 m_dispersion = 25.0f;
    u8 m_glowAlpha = 0xFF;
    u32 m_afterglow = 1;
    u8 m_afterglowAlpha = 0x30;
};

// A filter with two further rectangles and a value; nothing makes one but
// its factories.
class CBasicFilter : public CFilter {
    ORV_VALUE_CLASS(CBasicFilter)

public:
    CBasicFilter() = default;
    CBasicFilter(const CBasicFilter& other) = default;
    CBasicFilter& operator=(const CBasicFilter&) = delete;
    ~CBasicFilter() override = default;

    CRect4 m_source, m_destination;
    i32 m_value = -1;
};

// The weights of the blur's eight taps on each side (x = 1, 3, ..., 15,
// exp(-x^2 / (2 dispersion)), all sixteen summing to one).
void GaussWeights(f32 dispersion, f32 out[8]);
