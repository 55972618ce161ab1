#include "engine/graphics/Shapes2D.h"

#include "engine/core/FloatMath.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/platform/System.h"

namespace render = host::render;

namespace {

// 15 degrees in radians, as the rim steps by it.
constexpr f32 kDiscStep = 0.2617994f;

void Draw(CGraphicDevice* device, u32 type, u32 count, const ColorVertex* vertices)
{
    device->SetTexture(nullptr);
    device->SetFVF(kFvfColorVertex);
    device->DrawPrimitiveUP(type, count, vertices, sizeof(ColorVertex));
}

// The corners top-left, top-right, bottom-right, bottom-left (and top-left
// again when closed), shifted by the viewport origin.
u32 Corners(CGraphicDevice* device, const CRect4& r, u32 colour, bool closed, ColorVertex* out)
{
    const ViewportOrigin o = device->GetViewportOrigin();
    const f32 l = r.left + o.x, t = r.top + o.y, ri = r.right + o.x, b = r.bottom + o.y;
    out[0] = {l, t, 0.0f, 1.0f, colour};
    out[1] = {ri, t, 0.0f, 1.0f, colour};
    out[2] = {ri, b, 0.0f, 1.0f, colour};
    out[3] = {l, b, 0.0f, 1.0f, colour};
    if (!closed) return 4;
    out[4] = out[0];
    return 5;
}

}  // namespace

void FillScreenRect(const CRect4* rect, u32 colour)
{
    CGraphicDevice* device = GetGraphicDevice();
    if (!device) return;
    CRect4 r;
    if (rect) {
        r = *rect;
    } else if (const CSystem* window = device->GetSystem()) {
        r.Set(0.0f, f32(window->GetWidth()), 0.0f, f32(window->GetHeight()));
    }
    ColorVertex vertices[4];
    Corners(device, r, colour, false, vertices);
    Draw(device, render::kPrimitiveTriangleFan, 2, vertices);
}

void FillScreenCircle(const f32* disc, u32 colour)
{
    CGraphicDevice* device = GetGraphicDevice();
    if (!device || !disc) return;
    const ViewportOrigin o = device->GetViewportOrigin();
    const f32 cx = disc[0] + o.x, cy = disc[1] + o.y, radius = disc[2];
    ColorVertex vertices[kDiscSegments + 2];
    vertices[0] = {cx, cy, 0.0f, 1.0f, colour};
    for (u32 i = 0; i <= kDiscSegments; ++i) {
        const f32 angle = f32(i) * kDiscStep;
        vertices[i + 1] = {cx + radius * CosF(angle), cy + radius * SinF(angle), 0.0f, 1.0f, colour};
    }
    Draw(device, render::kPrimitiveTriangleFan, kDiscSegments, vertices);
}

void DrawScreenRectOutline(const CRect4* rect, u32 colour)
{
    CGraphicDevice* device = GetGraphicDevice();
    if (!device || !rect) return;
    ColorVertex vertices[5];
    Corners(device, *rect, colour, true, vertices);
    Draw(device, render::kPrimitiveLineStrip, 4, vertices);
}
