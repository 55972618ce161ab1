#include "game/battle/scene/TensionConsole.h"

#include "engine/scene/SceneObject.h"
#include "engine/scene/SceneResource.h"
#include "game/data/TensionFile.h"

namespace {

f32 Width(const CSceneObject* layer)
{
    if (!layer) return 0.0f;
    const CRect4& r = layer->GetScreenState().rect;
    return r.right - r.left;
}

// The horizontal scale that stretches layer to w pixels; 0 for a layer
// without width, so a damaged layout draws nothing rather than infinity.
f32 StretchTo(const CSceneObject* layer, f32 w)
{
    const f32 width = Width(layer);
    return width > 0.0f ? w / width : 0.0f;
}

}  // namespace

i32 CTensionConsole::FixedLevel(u32 setting)
{
    static const i32 kLevels[] = {-1, 0, 1, 2, 3, 3};
    return setting < 6 ? kLevels[setting] : -1;
}

u32 CTensionConsole::Load(const HudFighter* own, const HudFighterList* fighters, const CSceneResource* layout)
{
    m_own = own;
    m_fighters = fighters;
    m_group = Find(layout, "TensionGage");
    const char* ownFrames[4] = {"TEN1", "TEN12", "TEN13", "TEN14"};
    const char* otherFrames[5] = {"TEN1s", "TEN2", "TEN3", "TEN4", "TENcpu"};
    const char* heads[4] = {"TENlo", "TENno", "TENhi", "TENcl"};
    const char* bodies[4] = {"TENlonu", "TENnou", "TENhiu", "TENclu"};
    const char* others[4] = {"TEN_elo", "TEN_eno", "TEN_ehi", "TEN_ecl"};
    m_ownElements = Elements{};
    m_otherElements = Elements{};
    for (u32 i = 0; i < 4; ++i) {
        m_ownElements.frames[i] = Find(layout, ownFrames[i]);
        m_ownElements.heads[i] = Find(layout, heads[i]);
        m_ownElements.bodies[i] = Find(layout, bodies[i]);
        m_otherElements.bodies[i] = Find(layout, others[i]);
    }
    for (u32 i = 0; i < 5; ++i) m_otherElements.frames[i] = Find(layout, otherFrames[i]);
    m_ownElements.cursor = Find(layout, "TENbar");
    m_otherElements.cursor = Find(layout, "TEN_ebar");
    return 1;
}

void CTensionConsole::DrawStrip(const HudFighter& fighter, u32 index, const Elements& e, f32 y) const
{
    const CTensionFile* tension = fighter.GetTensionFile();
    if (!tension) return;
    const CTensionTrack* track = tension->GetTrack();
    const u32 keys = track ? track->GetCount() : 0;
    const f32 end = keys ? track->GetAt(keys - 1)->time : 0.0f;

    DrawAt(fighter.IsComputer() ? e.frames[4] : (index < 4 ? e.frames[index] : nullptr), 0.0f, y);

    const bool own = &e == &m_ownElements;
    const auto stretch = [&](i32 level, f32 x, f32 w) {
        CSceneObject* head = own ? e.heads[level] : nullptr;
        CSceneObject* body = e.bodies[level];
        const f32 headWidth = Width(head);
        if (head && headWidth <= w) {
            DrawAt(head, x, y);
            x += headWidth;
            w -= headWidth;
        }
        DrawAt(body, x, y, StretchTo(body, w), 1.0f);
    };

    const i32 fixed = FixedLevel(fighter.GetFixedTension());
    if (fixed >= 0) {
        stretch(fixed, 0.0f, kStripWidth);
    } else if (end > 0.0f) {
        for (u32 k = 0; k + 1 < keys; ++k) {
            const f32 t0 = track->GetAt(k)->time, t1 = track->GetAt(k + 1)->time;
            const i32 level = track->GetAt(k)->value;
            // A level outside the four colours has no element to draw.
            if (t1 == t0 || level < 0 || level > 3) continue;
            stretch(level, t0 / end * kStripWidth, (t1 - t0) / end * kStripWidth);
        }
    }

    // A script whose track ends at 0 has nowhere to put a cursor but the start.
    const f32 cursor = end > 0.0f ? tension->GetLoopedTime(fighter.GetMusicTime()) / end * kStripWidth : 0.0f;
    DrawAt(e.cursor, cursor, y);
}

i32 CTensionConsole::Draw(u32)
{
    if (!m_fighters) return 1;
    u32 row = 0;
    for (u32 i = 0; i < m_fighters->size(); ++i) {
        const HudFighter* fighter = (*m_fighters)[i];
        if (!fighter) continue;
        if (fighter == m_own) {
            DrawStrip(*fighter, i, m_ownElements, 0.0f);
        } else {
            DrawStrip(*fighter, i, m_otherElements, kRowHeight * f32(row));
            ++row;
        }
    }
    return 1;
}
