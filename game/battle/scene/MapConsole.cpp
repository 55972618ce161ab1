#include "game/battle/scene/MapConsole.h"

#include "engine/core/FloatMath.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/graphics/Shapes2D.h"
#include "engine/graphics/StencilMask.h"
#include "engine/scene/SceneObject.h"
#include "engine/scene/SceneResource.h"
#include "game/battle/object/Stage.h"

#include <utility>

namespace render = host::render;

namespace {

// x / e of the map's half size; 0 for an arena without extent.
f32 Across(f32 x, f32 e, f32 half) { return e > 0.0f ? x / e * half : 0.0f; }

}  // namespace

u32 CMapConsole::Load(const CResourceList* stages, const HudFighter* owner, const HudFighterList* characters,
    const CSceneResource* console)
{
    m_stages = stages;
    m_owner = owner;
    m_characters = characters;
    m_map = Find(console, "map");
    m_area = Find(console, "MapArea");
    m_marker = Find(console, "mapsk");
    return 1;
}

void CMapConsole::GetHalfExtents(f32* ex, f32* ez) const
{
    *ex = *ez = 0.0f;
    const u32 count = m_stages ? m_stages->GetCount() : 0;
    for (u32 i = 0; i < count; ++i) {
        const auto* stage = dynamic_cast<const CStage*>(static_cast<CValueBase*>(m_stages->GetAt(i)));
        if (!stage) continue;
        // The stage's half extent is never below its minimum, so a flat or
        // empty box cannot divide the radar by zero.
        const CVector3 half = stage->GetHalfExtent();
        if (half.x > *ex) *ex = half.x;
        if (half.z > *ez) *ez = half.z;
    }
}

i32 CMapConsole::Draw(u32)
{
    DrawAt(m_map);
    if (!m_marker || !m_map || !m_owner) return 1;
    f32 ex = 0.0f, ez = 0.0f;
    GetHalfExtents(&ex, &ez);
    const CRect4 bounds = m_map->GetBoundingRect();
    const f32 w = bounds.right - bounds.left, h = bounds.bottom - bounds.top;
    f32 cx = 0.0f, cy = 0.0f;
    m_map->GetCenter(&cx, &cy);
    const CLayerState& fit = m_map->GetFitState();
    const f32 sx = fit.scaleX > 0.0f ? fit.scaleX : 1.0f, sy = fit.scaleY > 0.0f ? fit.scaleY : 1.0f;

    // The markers show only inside the radar's disc.
    const CStencilMaskScope mask(GetGraphicDevice(), [&] {
        const f32 disc[3] = {cx, cy, 0.45f * w};
        FillScreenCircle(disc, 0xFFFFFFFFu);
    });

    CVector3 p;
    m_owner->GetPosition(&p);
    const bool turning = m_owner->GetRadarType() == 1;
    const f32 yaw = turning ? m_owner->GetCameraYaw() : 0.0f;
    const f32 c = CosF(yaw * kDegToRad), s = SinF(yaw * kDegToRad);
    // Screen x runs against world x and screen y against world z.
    const auto place = [&](f32 a, f32 b, f32* x, f32* y) {
        if (turning) {
            *x = a * c - b * s;
            *y = -(a * s + b * c);
        } else {
            *x = a;
            *y = -b;
        }
    };

    if (m_area) {
        if (turning) m_area->RotateChildren(-yaw);
        f32 x = 0.0f, y = 0.0f;
        place(Across(p.x, ex, w * 0.5f), Across(p.z, ez, h * 0.5f), &x, &y);
        DrawAt(m_area, x / sx, y / sy);
    }

    const CLayerState& mapAt = std::as_const(*m_map).GetScreenState();
    if (m_characters) {
        for (const HudFighter* f : *m_characters) {
            if (!f) continue;
            CLayerState state;
            const u32 team = f->GetTeam();
            const u32 argb = f->GetAction() == HudFighter::kActionDefeated ? kDefeatedColour
                : team < 4                                                ? kTeamColours[team]
                                                                          : kNoTeamColour;
            state.colour = CVector4(f32(argb >> 16 & 0xFF) / 255.0f, f32(argb >> 8 & 0xFF) / 255.0f,
                f32(argb & 0xFF) / 255.0f, 1.0f);
            state.rotation = f->GetYaw() - yaw;
            f32 x = cx, y = cy;
            if (f != m_owner) {
                CVector3 q;
                f->GetPosition(&q);
                f32 dx = 0.0f, dy = 0.0f;
                place(Across(p.x - q.x, ex, w * 0.5f), Across(p.z - q.z, ez, h * 0.5f), &dx, &dy);
                x += dx;
                y += dy;
            }
            state.position = CVector3((x - mapAt.position.x) / sx, (y - mapAt.position.y) / sy, 0.0f);
            m_marker->Draw(&state);
        }
    }

    return 1;
}
