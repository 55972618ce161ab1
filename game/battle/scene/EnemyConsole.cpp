#include "game/battle/scene/EnemyConsole.h"

#include "engine/core/FloatMath.h"
#include "engine/graphics/Camera.h"
#include "engine/graphics/FontTexture.h"
#include "engine/scene/SceneObject.h"
#include "engine/scene/SceneResource.h"
#include "game/battle/scene/ConsoleNames.h"
#include "game/battle/scene/PlayerConsole.h"

#include <cstdio>
#include <utility>

namespace {

using namespace console_names;

f32 Clamp01(f32 v) { return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f; }

CSceneObject* Child(const CSceneObject* group, const char* name) { return group ? group->FindLayer(name) : nullptr; }

// The state moved by (x, y) layout pixels.
CLayerState Moved(const CLayerState& state, f32 x, f32 y)
{
    CLayerState s = state;
    s.position.x += x;
    s.position.y += y;
    return s;
}

void DrawWith(CSceneObject* layer, const CLayerState& state)
{
    if (layer) layer->Draw(&state);
}

// Markers fade out from 140 units on and are gone 3.33 units further.
f32 FadeWithDistance(f32 d) { return d <= 140.0f ? 1.0f : Clamp01(1.0f - (d - 140.0f) * 0.3f); }

}  // namespace

u32 CEnemyConsole::Load(const HudFighter* character, const HudFighter* viewer, const HudFighterList* characters,
    CSceneResource* console)
{
    CSceneObject* panel = Find(console, "EState");
    CSceneObject* tag = Find(console, "Target");
    if (!panel || !tag) return 0;
    m_tag = new CSceneObject(*tag, tag->GetOwnerList());
    m_character = character;
    m_viewer = viewer;
    m_characters = characters;
    m_panel = new CSceneObject(*panel, panel->GetOwnerList());

    CSceneObject* p = m_panel;
    m_guardFrame = Child(p, "En_Gwk");
    m_hpBar = Child(p, "En_Ghp");
    m_sparkFrame = Child(p, "Enspwak");
    m_sparkBar = Child(p, "Enspin");
    m_tension = Child(p, "ETension");
    m_hiddenLabel = Child(p, "lb_??");
    m_concealedLabel = Child(p, "lb_unkno");
    m_chance = Child(p, "EnCha");
    m_pinch = Child(p, "EnPin");
    m_aimedAt = Child(p, "EnLed");
    m_locked = Child(p, "EnLock");
    const char* marks[4] = {"EnTlo", "EnTn", "EnThi", "EnTcl"};
    for (u32 i = 0; i < 4; ++i) m_tensionMarks[i] = Child(p, marks[i]);
    m_reticle = Find(console, "TarWak");
    m_sharedReticle = Find(console, "TarWak2");
    m_tagHp = Child(m_tag, "TarHp");
    m_tagFrame = Child(m_tag, "TarHpWk");

    char name[64];
    m_name = m_portrait = m_tagName = m_teamColour = m_tagTeamColour = nullptr;
    const u32 id = character ? character->GetCharacterId() : HudFighter::kNoCharacter;
    if (id < kCharacterCount) {
        std::snprintf(name, sizeof name, "EnN%s", kShort[id]);
        m_name = Child(p, name);
        std::snprintf(name, sizeof name, "En_%s", kShort[id]);
        m_portrait = Child(p, name);
        std::snprintf(name, sizeof name, "TarN%s", kShort[id]);
        m_tagName = Child(m_tag, name);
    }
    const u32 team = character ? character->GetTeam() : 4;
    if (team < 4) {
        const char* colours[4] = {"EnCre", "EnCbu", "EnCye", "EnCgr"};
        const char* tagColours[4] = {"TarEnCre", "TarEnCbl", "TarEnCye", "TarEnCgr"};
        m_teamColour = Child(p, colours[team]);
        m_tagTeamColour = Child(m_tag, tagColours[team]);
    }
    const char* empty[3] = {"rei_empA_m", "rei_empB_m", "rei_empC_m"};
    for (u32 i = 0; i < 3; ++i) {
        m_emptyOrbs[i] = Child(p, empty[i]);
        m_orbs[i] = nullptr;
        const i32 image = character ? character->GetSkillImage(i) : -1;
        if (image >= 0 && u32(image) < kOrbImages) {
            std::snprintf(name, sizeof name, "%s%d_m", kOrbKinds[image / 15], image % 15);
            m_orbs[i] = Child(p, name);
        }
    }
    return 1;
}

i32 CEnemyConsole::Update(u32)
{
    const HudFighter* c = m_character;
    if (!c) return 1;
    if (m_hpBar) {
        const f32 r = CPlayerConsole::Ratio(f32(c->GetHp()), c->GetMaxHp());
        m_hpBar->SetScale(r, 1.0f);
        if (m_tagHp) m_tagHp->SetScale(r, 1.0f);
    }
    if (m_sparkBar) m_sparkBar->SetScale(CPlayerConsole::Ratio(c->GetSparkGauge(), c->GetMaxSpark()), 1.0f);
    const u32 level = c->GetTensionLevel();
    for (u32 i = 0; i < 4; ++i) {
        if (m_tensionMarks[i]) m_tensionMarks[i]->SetVisible(i == level ? 1 : 0);
    }
    return 1;
}

void CEnemyConsole::DrawName(CSceneObject* element, f32 x, f32 y, f32 scale, f32 alpha, f32 dim)
{
    const char* text = m_character->GetPlayerName();
    if (!text || !*text) {
        if (element) DrawAt(element, x, y, scale, scale, dim, dim, dim, alpha);
        return;
    }
    CFontTexture* font = Font();
    if (!element || !font) return;
    const CLayerState& e = std::as_const(*element).GetScreenState();
    const CLayerState& fit = element->GetFitState();
    const f32 s = (e.scaleX < e.scaleY ? e.scaleX : e.scaleY) * scale;
    const f32 a = Clamp01(e.colour.w * alpha);
    const CVector4 colour(e.colour.x * dim, e.colour.y * dim, e.colour.z * dim, a);
    font->DrawTextAlignedOutlinedFlags(e.position.x + x * fit.scaleX, e.position.y + y * fit.scaleY,
        colour.ToARGB(), u32(a * 255.0f) << 24, 18, s, 2.0f, text, 17);
}

i32 CEnemyConsole::DrawPanel(const CLayerState* state)
{
    const HudFighter* c = m_character;
    if (!c || !m_viewer || !m_panel) return 0;
    const CLayerState s = state ? *state : CLayerState();
    if (c->GetBuffTimer3() > 0.0f) {
        DrawWith(m_concealedLabel, s);
    } else {
        DrawWith(m_guardFrame, s);
        DrawWith(m_hpBar, s);
        DrawWith(m_teamColour, s);
        DrawWith(m_portrait, s);
        const char* text = c->GetPlayerName();
        if (!text || !*text) {
            DrawWith(m_name, s);
        } else if (CFontTexture* font = Font(); font && m_name) {
            const CLayerState& e = std::as_const(*m_name).GetScreenState();
            const CLayerState& fit = m_name->GetFitState();
            const CVector4 colour(e.colour.x * s.colour.x, e.colour.y * s.colour.y, e.colour.z * s.colour.z,
                e.colour.w * s.colour.w);
            // The panel's offset is in layout pixels, as for its sprites.
            font->DrawTextAlignedOutlinedFlags(e.position.x + s.position.x * fit.scaleX,
                e.position.y + s.position.y * fit.scaleY, colour.ToARGB(),
                u32(Clamp01(e.colour.w) * 255.0f) << 24, 18, e.scaleX < e.scaleY ? e.scaleX : e.scaleY, 2.0f, text,
                17);
        }
        bool hidden = false;
        for (u32 i = 0; i < 3; ++i) hidden = hidden || (c->GetSkillFlags2(i) & 0x100000u);
        if (hidden) {
            DrawWith(m_hiddenLabel, s);
        } else {
            DrawWith(m_sparkFrame, s);
            DrawWith(m_sparkBar, s);
            DrawWith(m_tension, s);
            for (u32 i = 0; i < 3; ++i) DrawWith(m_orbs[i] ? m_orbs[i] : m_emptyOrbs[i], Moved(s, 20.0f * f32(i), 0));
            if (c->GetAction() == HudFighter::kActionDown && (c->GetDownKind() == 5 || c->GetDownKind() == 6))
                DrawWith(c->GetTeam() == m_viewer->GetTeam() ? m_pinch : m_chance, s);
        }
    }
    if (c->GetLockOnTarget() == m_viewer) DrawWith(m_aimedAt, s);
    if (m_viewer->GetLockOnTarget() == c) DrawWith(m_locked, s);
    return 1;
}

bool CEnemyConsole::Project(const CVector3& point, Projection* out) const
{
    const CCamera* camera = m_viewer ? m_viewer->GetBattleCamera() : nullptr;
    if (!camera || !m_tagFrame) return false;
    CVector3 look;
    camera->GetViewDirection(&look);
    const CVector3 to = point - camera->GetEye();
    // The projection mirrors a point behind the eye onto the screen.
    if (to.Dot(look) <= 0.0f) return false;
    f32 x = 0, y = 0, depth = 0;
    camera->WorldToScreen(&point, &x, &y, &depth);
    if (!(depth >= 0.0f && depth < 1.0f)) return false;
    const CameraProjection* p = camera->GetProjectionParams();
    const CLayerState& fit = m_tagFrame->GetFitState();
    if (!(fit.scaleX > 0.0f) || !(fit.scaleY > 0.0f)) return false;
    out->x = (x - f32(p->viewportX)) / fit.scaleX;
    out->y = (y - f32(p->viewportY)) / fit.scaleY;
    out->distance = to.Length();
    return true;
}

i32 CEnemyConsole::DrawTag(u32)
{
    const HudFighter* c = m_character;
    if (!c || !m_viewer || !m_panel || c->GetBuffTimer3() > 0.0f) return 0;
    CVector3 point;
    c->GetPosition(&point);
    point.y += c->GetHeight();
    Projection at;
    if (!Project(point, &at)) return 0;
    const f32 d = at.distance;
    const f32 a = FadeWithDistance(d);
    const f32 s = d >= 10.0f ? 1.0f - (d - 10.0f) / 225.0f : 1.0f;
    const f32 h = 1.0f - s;
    const f32 scaleX = m_tagFrame->GetFitState().scaleX, scaleY = m_tagFrame->GetFitState().scaleY;
    f32 hx = 0.0f, hy = 0.0f;
    if (m_tag) {
        const CRect4 r = m_tag->GetBoundingRect();
        hx = (r.right - r.left) * 0.5f * h / scaleX;
        hy = (r.bottom - r.top) * 0.5f * h / scaleY;
    }
    f32 ox = 0.0f, oy = 0.0f;
    if (m_tagTeamColour) {
        DrawAt(m_tagTeamColour, at.x + hx, at.y + hy, s, s, 1, 1, 1, a);
        const CRect4& r = std::as_const(*m_tagTeamColour).GetScreenState().rect;
        ox = (r.right - r.left) * h;
        oy = (r.bottom - r.top) * h;
    }
    DrawAt(m_tagFrame, at.x + hx, at.y + hy - oy, s, s, 1, 1, 1, a);
    DrawAt(m_tagHp, at.x + hx, at.y + hy - oy, s, s, 1, 1, 1, a);
    const f32 dim = c->GetAction() == HudFighter::kActionDefeated ? 0.4f : 1.0f;
    DrawName(m_tagName, at.x + hx - ox, at.y + hy, s, a, dim);
    return 1;
}

i32 CEnemyConsole::DrawReticle(u32)
{
    const HudFighter* c = m_character;
    if (!c || !m_viewer || m_viewer->GetLockOnTarget() != c) return 0;
    CVector3 point;
    c->GetCenter(&point);
    Projection at;
    if (!Project(point, &at)) return 0;
    const f32 d = at.distance;
    const f32 a = d <= c->GetNearRadius() ? 0.0f : FadeWithDistance(d);
    const f32 s = d >= 10.0f ? 1.0f - (d - 10.0f) / 150.0f : 1.0f;
    const u32 rgb = c->IsHittable() ? 0xFF0000u : 0xFFF600u;
    bool shared = false;
    if (m_characters) {
        for (const HudFighter* other : *m_characters) {
            shared = shared || (other && other != m_viewer && other->GetTeam() == m_viewer->GetTeam() &&
                                   other->GetLockOnTarget() == c);
        }
    }
    CSceneObject* reticle = shared && m_sharedReticle ? m_sharedReticle : m_reticle;
    DrawAt(reticle, at.x, at.y, s, s, f32(rgb >> 16) / 255.0f, f32(rgb >> 8 & 0xFF) / 255.0f,
        f32(rgb & 0xFF) / 255.0f, a);
    return 1;
}
