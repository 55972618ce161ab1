#include "game/battle/scene/PlayerConsole.h"

#include "engine/core/FloatMath.h"
#include "engine/graphics/FontTexture.h"
#include "engine/platform/FrameTime.h"
#include "engine/scene/SceneObject.h"
#include "engine/scene/SceneResource.h"
#include "game/battle/scene/ConsoleNames.h"

#include <cstdio>
#include <cstring>
#include <utility>

namespace {

using namespace console_names;

f32 Clamp01(f32 v) { return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f; }

CSceneObject* Child(const CSceneObject* group, const char* name) { return group ? group->FindLayer(name) : nullptr; }

void Show(CSceneObject* layer, bool shown)
{
    if (layer) layer->SetVisible(shown ? 1 : 0);
}

// The digit glyphs "rctT1".."rctT4" share their names with kind 2's
// counters inside the state group, which a whole-tree search finds first:
// a glyph is looked up outside that group, the top level first.
CSceneObject* FindGlyph(const CSceneResource* console, const CSceneObject* state, const char* name)
{
    if (!console) return nullptr;
    for (u32 i = 0; i < console->GetLayerCount(); ++i) {
        CSceneObject* layer = console->GetLayer(i);
        if (layer && layer != state && layer->GetName() && std::strcmp(layer->GetName(), name) == 0) return layer;
    }
    for (u32 i = 0; i < console->GetLayerCount(); ++i) {
        const CSceneObject* layer = console->GetLayer(i);
        if (!layer || layer == state) continue;
        if (CSceneObject* hit = layer->FindLayer(name)) return hit;
    }
    return nullptr;
}

}  // namespace

f32 CPlayerConsole::Ratio(f32 x, f32 maximum)
{
    const f32 r = x / maximum;
    return r > 0.0f && r <= 3.4e38f ? r : 0.0f;
}

u32 CPlayerConsole::Load(const HudFighter* character, const HudFighterList* characters, const CSceneResource* console)
{
    m_character = character;
    m_characters = characters;
    CSceneObject* s = m_state = Find(console, "CState");
    m_base = Child(s, "CBase");
    m_hp = Child(s, "HP");
    m_mp = Child(s, "MP");
    m_spin = Child(s, "Spin");
    m_tension = Child(s, "CTension");
    const char* levels[4] = {"Tlo", "Tno", "Thi", "Tcl"};
    for (u32 i = 0; i < 4; ++i) m_tensionLevels[i] = Child(s, levels[i]);
    m_weaponState = Child(s, "WState");
    const char* labels[kKinds] = {nullptr, nullptr, "rcsh1", "rccsh", "rcsp1", "rcchsp", "rccl1", "rcex1", "rchi1"};
    const char* bars[kKinds] = {"rcga", "rcga2", "rcga3", "rcgaC3", "rcga4", "rcgaC4", "rcga5", "rcga6", "rcga7"};
    const char* counters[3][5] = {{"Amm1", "rctT3", "rctT4", "rctT1", "rctT2"},
        {"Amm2", "rctT23", "rctT24", "rctT21", "rctT22"}, {"Amm3", "rctT33", "rctT34", "rctT31", "rctT32"}};
    for (u32 k = 0; k < kKinds; ++k) {
        m_labels[k] = labels[k] ? Child(s, labels[k]) : nullptr;
        m_bars[k] = Child(s, bars[k]);
        for (u32 j = 0; j < 5; ++j) m_counters[k][j] = nullptr;
    }
    for (u32 c = 0; c < 3; ++c) {
        for (u32 j = 0; j < 5; ++j) m_counters[2 + 2 * c][j] = Child(s, counters[c][j]);
    }
    char name[64];
    for (u32 d = 0; d < 10; ++d) {
        std::snprintf(name, sizeof name, "rctT%u", d);
        m_digits[d] = FindGlyph(console, s, name);
    }
    const char* modes[4] = {"ME2", "ME1", "ME3", "ME4"};
    for (u32 i = 0; i < 4; ++i) m_modeMarks[i] = Child(s, modes[i]);
    m_mark = Child(s, "ME");
    m_partnerAttack = Child(s, "watack");
    m_hpBars[0] = Child(s, "rbGh");
    m_hpBars[1] = Child(s, "rbGkara");
    const char* arrows[4] = {"DengL", "DengR", "DengB", "DengT"};
    const char* signs[4] = {"dang!4", "dang!3", "dang!", "dang!2"};
    const char* waves[4] = {"dangWak4", "dangWak3", "dangWak", "dangWak2"};
    for (u32 d = 0; d < 4; ++d) {
        m_arrows[d] = Child(s, arrows[d]);
        m_signs[d] = Child(s, signs[d]);
        m_waves[d] = Child(s, waves[d]);
        m_dangerTimers[d] = 0.0f;
    }
    m_mash = Child(s, "ShootOut");
    m_mashOn = Child(s, "rendaon");
    m_mashOff = Child(s, "rendaoff");
    m_mashTimer = 0.0f;
    m_icons[0] = Child(s, "Wgado");
    m_icons[1] = Child(s, "Wkins");

    // The per-character, per-team and per-skill names; a value past its
    // table has no element rather than a name read from past the table.
    m_portraitName = m_namePlate = m_weaponName = m_weaponSet = m_teamColour = nullptr;
    for (u32 k = 2; k < kKinds; ++k) m_icons[k] = nullptr;
    const u32 id = character ? character->GetCharacterId() : HudFighter::kNoCharacter;
    if (id < kCharacterCount) {
        const u32 set = character->GetWeaponSet() ? 1 : 0;
        std::snprintf(name, sizeof name, "C%s", kShort[id]);
        m_portraitName = Child(s, name);
        std::snprintf(name, sizeof name, "Ch%s", kAbbreviation[id]);
        m_namePlate = Child(s, name);
        std::snprintf(name, sizeof name, "W%s", kImageName[id]);
        m_weaponName = Child(s, name);
        std::snprintf(name, sizeof name, "W%s%c", kImageName[id], set ? 'B' : 'A');
        m_weaponSet = Child(s, name);
        for (u32 k = 2; k < kKinds; ++k) {
            if (k < 6) std::snprintf(name, sizeof name, "W%s%u%u", kShort[id], set + 1, k - 1);
            else std::snprintf(name, sizeof name, "W%s%u", kShort[id], k - 1);
            m_icons[k] = Child(s, name);
        }
    }
    const char* teams[4] = {"rbGtR", "rbGtB", "rbGtY", "rbGtG"};
    const u32 team = character ? character->GetTeam() : 4;
    if (team < 4) m_teamColour = Child(s, teams[team]);
    const char* emptyOrbs[3] = {"rei_empA", "rei_empB", "rei_empC"};
    for (u32 i = 0; i < 3; ++i) {
        m_emptyOrbs[i] = Child(s, emptyOrbs[i]);
        const i32 image = character ? character->GetSkillImage(i) : -1;
        m_orbs[i] = nullptr;
        if (image >= 0 && u32(image) < kOrbImages) {
            std::snprintf(name, sizeof name, "%s%d", kOrbKinds[image / 15], image % 15);
            m_orbs[i] = Child(s, name);
        }
    }

    Show(m_weaponName, true);
    Show(m_weaponSet, true);
    for (u32 i = 0; i < 4; ++i) Show(m_tensionLevels[i], i == 0);
    m_tensionLevel = 0;
    m_tensionTime = 0.0f;
    return 1;
}

i32 CPlayerConsole::Update(u32)
{
    const HudFighter* c = m_character;
    if (!c) return 1;
    const f32 dt = GetFrameTime();
    if (m_hp) {
        const f32 maxHp = c->GetMaxHp();
        if (m_hpBars[0]) m_hpBars[0]->SetScale(Ratio(f32(c->GetHp()), maxHp), 1.0f);
        if (m_hpBars[1]) m_hpBars[1]->SetScale(Ratio(c->GetShownHp(), maxHp), 1.0f);
    }
    if (m_spin) m_spin->SetScale(Ratio(c->GetSparkGauge(), c->GetMaxSpark()), 1.0f);

    const u32 level = c->GetTensionLevel();
    if (level == m_tensionLevel) {
        m_tensionTime += dt;
    } else {
        m_tensionLevel = level;
        m_tensionTime = 0.0f;
        for (u32 i = 0; i < 4; ++i) Show(m_tensionLevels[i], i == level);
    }
    const u32 mode = c->GetTargetMode();
    for (u32 i = 0; i < 4; ++i) Show(m_modeMarks[i], i == mode);

    for (u32 k = 0; k < kKinds; ++k) {
        const u32 count = c->GetActionCount(k), capacity = c->GetActionCapacity(k);
        const u32 digits[4] = {capacity / 10 % 10, capacity % 10, count / 10 % 10, count % 10};
        for (u32 j = 0; j < 4; ++j) {
            CSceneObject* glyph = m_digits[digits[j]];
            if (m_counters[k][j + 1] && glyph) m_counters[k][j + 1]->MoveToRect(&std::as_const(*glyph).GetScreenState().rect);
        }
        const f32 fill = Clamp01(c->GetActionGauge(k));
        const u32 colour = c->CanUse(k) ? 0xFFFFFFFFu : 0xFF808080u;
        if (m_bars[k]) {
            m_bars[k]->SetScale(fill, 1.0f);
            m_bars[k]->SetColorARGB(colour);
        }
        if (m_icons[k]) m_icons[k]->SetColorARGB(colour);
        if ((k == 3 || k == 5) && m_labels[k] && m_icons[k]) {
            const bool charged = fill >= 1.0f;
            Show(m_labels[k - 1], !charged);
            Show(m_icons[k - 1], !charged);
            Show(m_labels[k], charged);
            Show(m_icons[k], charged);
        }
    }

    const u32 danger = c->GetDangerMask();
    for (u32 d = 0; d < 4; ++d) {
        if (!m_arrows[d]) continue;
        if (!(danger >> d & 1)) {
            m_dangerTimers[d] = 0.0f;
            continue;
        }
        m_dangerTimers[d] += dt;
        const f32 t = FmodF(m_dangerTimers[d], 1.0f);
        const f32 w = t >= 0.5f ? 2.0f * (t - 0.5f) : 1.0f - 2.0f * t;
        const u32 alpha = u32(Clamp01(0.4f + 0.6f * w) * 255.0f);
        if (m_signs[d]) m_signs[d]->SetColorARGB(alpha << 24 | 0xFFFFFFu);
    }

    if (m_mash && c->GetAction() == HudFighter::kActionMash) {
        m_mashTimer += dt;
        if (m_mashTimer >= 0.3f) m_mashTimer = 0.0f;
        const bool first = m_mashTimer < 0.15f;
        Show(m_mashOn, !first);
        Show(m_mashOff, first);
    }
    return 1;
}

void CPlayerConsole::DrawName()
{
    const char* name = m_character->GetPlayerName();
    if (!name || !*name) {
        DrawAt(m_portraitName);
        return;
    }
    CFontTexture* font = Font();
    if (!font || !m_base) return;
    const CLayerState& b = std::as_const(*m_base).GetScreenState();
    const f32 x = b.position.x + 860.0f * b.scaleX, y = b.position.y + 680.0f * b.scaleY;
    const u32 outline = u32(Clamp01(b.colour.w) * 255.0f) << 24;
    font->DrawTextAlignedOutlinedFlags(x, y, b.colour.ToARGB(), outline, 24, b.scaleX < b.scaleY ? b.scaleX : b.scaleY,
        2.0f, name, 20);
}

i32 CPlayerConsole::Draw(u32)
{
    const HudFighter* c = m_character;
    if (!c || !m_state) return 0;
    DrawAt(m_base);
    DrawName();
    DrawAt(m_hp);
    const f32 mp = c->GetMp();
    for (u32 i = 0; mp >= 1.0f && i < 100 && f32(i + 1) <= mp; ++i) DrawAt(m_mp, 12.0f * f32(i));
    DrawAt(m_spin);
    DrawAt(m_tension);
    if (m_tensionLevel == 3 && m_tensionTime < 0.3f) {
        const f32 u = Clamp01(m_tensionTime / 0.3f);
        DrawAt(m_tension, 0, 0, 1.2f - 0.2f * u, 1.2f - 0.2f * u, 1, 1, 1, 1.0f - u);
    }
    DrawAt(m_teamColour);
    DrawAt(m_namePlate);
    for (u32 i = 0; i < 3; ++i) DrawAt(m_orbs[i] ? m_orbs[i] : m_emptyOrbs[i], 30.0f * f32(i));
    DrawAt(m_weaponState);

    const u32 fighters = m_characters ? u32(m_characters->size()) : 1;
    const f32 down = fighters < 4 ? f32(4 - fighters) * 64.0f : 0.0f;
    DrawAt(m_mark, 0.0f, down);
    const f32 t = c->GetPartnerAttackTime();
    if (c->GetPartnerAttack() && t < 0.65f) {
        const f32 alpha = t <= 0.5f ? 1.0f : Clamp01(1.0f - (t - 0.5f) / 0.15f);
        DrawAt(m_partnerAttack, 0.0f, down, 1, 1, 1, 1, 1, alpha);
        const f32 u = Clamp01(t / 0.3f);
        DrawAt(m_partnerAttack, 0.0f, down, 1.2f - 0.2f * u, 1.2f - 0.2f * u, 1, 1, 1, 1.0f - u);
    }
    if (c->GetAction() == HudFighter::kActionMash) DrawAt(m_mash);

    const u32 danger = c->GetDangerMask();
    for (u32 d = 0; d < 4; ++d) {
        if (!m_arrows[d] || !(danger >> d & 1)) continue;
        const f32 t3 = FmodF(m_dangerTimers[d], 0.3f);
        const f32 v = t3 < 0.15f ? 1.0f - t3 / 0.15f : (t3 - 0.15f) / 0.15f;
        const u32 orientation = m_waves[d] ? std::as_const(*m_waves[d]).GetSettings().orientation : 0;
        f32 x = 0.0f, y = 0.0f;
        if (orientation == 5) x = 10.0f * v;
        else if (orientation == 4) x = -10.0f * v;
        else if (orientation == 2) y = -10.0f * v;
        else y = 10.0f * v;
        DrawAt(m_arrows[d], x, y);
    }
    return 1;
}
