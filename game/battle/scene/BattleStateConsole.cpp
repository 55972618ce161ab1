#include "game/battle/scene/BattleStateConsole.h"

#include "engine/core/FloatMath.h"
#include "engine/core/StateHash.h"
#include "engine/graphics/Camera.h"
#include "engine/graphics/FontTexture.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/platform/FrameTime.h"
#include "engine/platform/Input.h"
#include "engine/scene/SceneObject.h"
#include "engine/scene/SceneResource.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/battle/scene/TickerTips.h"
#include "game/data/TensionFile.h"
#include "host/kernel/Kernel.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

namespace {

const char* const kCharacters[CBattleStateConsole::kAnnouncers] = {"talve", "derona", "pellu", "miravo",
    "quena", "ezmel", "tubeca", "kerlia", "ombrisa", "grell", "navoie", "drusa", "ovu", "wenna", "lossin",
    "bialto", "sirkel", "vek"};

constexpr f32 kQuickMessageTime = 3.0f;
constexpr f32 kDigitStep = 28.0f;
constexpr f32 kPanelWidth = 288.0f;
constexpr u32 kTextWhite = 0xFFFFFFFFu, kOutline = 0xFF000000u;
// Life marks step 15 left of their layer: past 100 they are all off the
// 1024-wide layout.
constexpr i64 kMostLifeMarks = 100;

f32 Clamp01(f32 v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

u32 Argb(f32 alpha, u32 rgb = 0xFFFFFF) { return (u32(Clamp01(alpha) * 255.0f + 0.5f) << 24) | rgb; }

// Text is placed by hand, so it takes the HUD's placement from a layer's
// fit state (its view cell's corner and the HUD scale) as the sprites do:
// a layout point (x, y) lands at the corner plus (x, y) x scale.
struct Frame {
    f32 x = 0.0f, y = 0.0f, scaleX = 1.0f, scaleY = 1.0f;

    explicit Frame(const CSceneObject* layer)
    {
        if (!layer) return;
        const CLayerState& fit = layer->GetFitState();
        x = fit.position.x, y = fit.position.y, scaleX = fit.scaleX, scaleY = fit.scaleY;
    }
    f32 X(f32 layoutX) const { return x + layoutX * scaleX; }
    f32 Y(f32 layoutY) const { return y + layoutY * scaleY; }
};

// The same corner, with the layer's own scale as drawn (its screen state:
// the HUD scale times its own and its animation's).
Frame LayerScaled(const CSceneObject* layer)
{
    Frame frame(layer);
    if (layer) {
        const CLayerState& screen = layer->GetScreenState();
        frame.scaleX = screen.scaleX, frame.scaleY = screen.scaleY;
    }
    return frame;
}

// Copies at most n - 1 bytes and ends the copy; a lead byte cut from its
// trail byte is dropped so the text never ends inside a character.
void CopyText(char* to, size_t n, const char* from, size_t fromBytes)
{
    size_t k = 0;
    while (k + 1 < n && k < fromBytes && from[k] != '\0') {
        const bool lead = host::kernel::IsDBCSLeadByte(u8(from[k]));
        if (lead && (k + 2 >= n || k + 1 >= fromBytes || from[k + 1] == '\0')) break;
        to[k] = from[k];
        ++k;
        if (lead) to[k] = from[k], ++k;
    }
    to[k] = '\0';
}

}  // namespace

const HudFighter* CBattleStateConsole::Fighter(u32 index) const
{
    const HudFighterList* list = m_setup.characters;
    return list && index < list->size() ? (*list)[index] : nullptr;
}

// Entries and list places part after an empty entry, which makes no
// fighter: a sender's entry is matched by the fighter's own entry index.
const HudFighter* CBattleStateConsole::FighterOfEntry(u32 entry) const
{
    if (!m_setup.characters || entry == HudFighter::kNoEntry) return nullptr;
    for (const HudFighter* f : *m_setup.characters) {
        if (f && f->GetEntryIndex() == entry) return f;
    }
    return nullptr;
}

void CBattleStateConsole::SetInput(const ConsoleInput* input)
{
    m_input = input;
    // The tip on show names the inputs of the new key configuration.
    BuildTip();
}

u32 CBattleStateConsole::Load(const ConsoleSetup* setup, const CSceneResource* layout)
{
    if (setup) m_setup = *setup;
    m_bgmName = Find(layout, "BgmName");
    m_timeFrame = Find(layout, "Tiwk");
    m_noLimit = Find(layout, "Timug");
    char name[64];
    for (u32 d = 0; d < 10; ++d) {
        std::snprintf(name, sizeof name, "Ti%u", d);
        m_digits[d] = Find(layout, name);
    }
    m_point = Find(layout, "Point");
    const char* colours[4] = {"PRed", "PBlue", "PYellow", "PGreen"};
    const char* marks[4] = {"PTre", "PTbl", "PTye", "PTgr"};
    for (u32 t = 0; t < 4; ++t) {
        m_teamColours[t] = Find(layout, colours[t]);
        m_lifeMarks[t] = Find(layout, marks[t]);
        for (u32 p = 0; p < 3; ++p) {
            std::snprintf(name, sizeof name, "Rad%u1%u", t + 1, p + 1);
            m_panels[t][p] = Find(layout, name);
        }
    }
    m_ready = Find(layout, "Ready");
    m_go = Find(layout, "Go");
    const char* letters[5] = {"Fr", "Fe", "Fa", "Fd", "Fy"};
    for (u32 i = 0; i < 5; ++i) m_letters[i] = Find(layout, letters[i]);
    m_wings[0] = Find(layout, "FreW1");
    m_wings[1] = Find(layout, "FreW2");
    m_goLetters = Find(layout, "Fgo");
    m_goFlash = Find(layout, "FgoB");
    m_banners[0] = Find(layout, "Fwi");
    m_banners[1] = Find(layout, "Flo");
    m_banners[2] = Find(layout, "Fdr");
    m_band = Find(layout, "obi");
    m_survivalLabel = Find(layout, "sur_gekiha");
    m_survivalCount = Find(layout, "sur_cnt");
    for (u32 c = 0; c < kAnnouncers; ++c) {
        std::snprintf(name, sizeof name, "Vo_ready_%s.ogg", kCharacters[c]);
        m_voices[c] = FindSound(name);
        std::snprintf(name, sizeof name, "Vo_go_%s.ogg", kCharacters[c]);
        m_voices[kAnnouncers + c] = FindSound(name);
    }
    m_startClock = 0.0f;
    m_endClock = 0.0f;
    // Which announcer speaks is a matter of taste, not of the battle: the
    // clock chooses it, never the battle's generator.
    m_announcer = host::kernel::TimeGetTime() % kAnnouncers;
    m_readyPlayed = m_goPlayed = 0;
    m_tickerX = 1024.0f;
    m_tickerClock = 0.0f;
    m_tipIndex = 0;
    BuildTip();
    return 1;
}

void CBattleStateConsole::BuildTip()
{
    const InputState* state = m_input ? m_input->GetState(0) : nullptr;
    const char* names[8] = {"", "", "", "", "", "", "", ""};
    const TickerTip& tip = kTickerTips[m_tipIndex % kTickerTipCount];
    for (u32 i = 0; i < 8 && tip.inputs[i]; ++i) {
        const bool key = tip.inputs[i] >= 64;
        const u32 code = tip.inputs[i] - (key ? 64 : 0);
        if (!state || code < kInputCodeAssignable || code - kInputCodeAssignable >= kAssignableCount) continue;
        const u32 slot = code - kInputCodeAssignable;
        names[i] = key ? GetKeyName(state->keyAssignment[slot]) : GetPadButtonName(state->padAssignment[slot]);
    }
    char text[512];
    std::snprintf(text, sizeof text, tip.format, names[0], names[1], names[2], names[3], names[4], names[5],
        names[6], names[7]);
    m_tipText = text;
}

void CBattleStateConsole::TickerStep(f32 dt)
{
    m_tickerClock += dt;
    m_tickerX -= 100.0f * dt;
    f32 right = m_tickerX;
    if (m_setup.font) {
        CRect4 r;
        if (m_setup.font->MeasureText(m_tickerX, 0.0f, 24, 1.0f, m_tipText.c_str(), kTextTopLeft, &r)) right = r.right;
    }
    if (right > 0.0f) return;
    m_tickerX = 1024.0f;
    if (m_tickerClock >= 10.0f) {
        m_tickerClock = 0.0f;
        m_tipIndex = (m_tipIndex + 1) % kTickerTipCount;
        BuildTip();
    }
}

i32 CBattleStateConsole::Update(u32)
{
    const f32 dt = GetFrameTime();
    m_startClock += dt;
    u32 settled = 0;
    if (Ask(kConsoleMsgBattleSettled, &settled) && settled) m_endClock += dt;
    if (m_result == 0 && m_setup.timeLimit < kConsoleNoTimeLimit) m_setup.timeLimit -= dt;
    if (m_setup.tutorial) TickerStep(dt);

    const InputState* pad = m_input ? m_input->GetState(0) : nullptr;
    const HudFighter* own = Own();
    if (m_setup.training && pad && own) {
        HudFighter* mine = const_cast<HudFighter*>(own);
        if (pad->IsTriggered(32)) mine->ClearDamage();
        if (pad->IsTriggered(33)) mine->FillSparkGauge();
    }
    for (QuickMessage& slot : m_slots) slot.timer -= dt;

    if (m_setup.IsLocal() && m_setup.voicePlay) {
        if (!m_readyPlayed && m_startClock >= 0.6f) {
            m_readyPlayed = 1;
            PlayAt(m_voices[m_announcer % kAnnouncers], m_setup.voiceVolume);
        }
        if (!m_goPlayed && m_startClock >= 2.3f) {
            m_goPlayed = 1;
            PlayAt(m_voices[kAnnouncers + m_announcer % kAnnouncers], m_setup.voiceVolume);
        }
    }
    return 1;
}

u32 CBattleStateConsole::AddQuickMessage(const QuickMessageRecord& record)
{
    // The sender index comes off the wire: anything but a fighter of this
    // battle is dropped.
    const HudFighter* sender = FighterOfEntry(record.sender);
    if (!sender) return 0;
    const HudFighter* own = Own();
    if (record.teamOnly && (!own || sender->GetTeam() != own->GetTeam())) return 0;
    for (QuickMessage& slot : m_slots) {
        if (slot.timer > 0.0f) continue;
        const char* name = sender->GetPlayerName();
        if (!name || !*name) name = sender->GetCharacterName();
        // Up to 35 bytes (a character's NAME may be longer than a player
        // name), never ending inside a character.
        CopyText(slot.name, sizeof slot.name, name ? name : "", sizeof slot.name);
        CopyText(slot.text, sizeof slot.text, record.text, sizeof record.text);
        slot.sender = record.sender;
        slot.team = sender->GetTeam();
        slot.timer = kQuickMessageTime;
        slot.hidden = 0;
        return 1;
    }
    return 0;
}

void CBattleStateConsole::SetResult()
{
    m_endClock = 0.0f;
    const HudFighter* own = Own();
    m_result = own ? own->GetTeam() : 0;
    Ask(kConsoleMsgTeamResult, &m_result);
}

void CBattleStateConsole::HashState(CStateHash& hash) const
{
    hash.F32(m_setup.timeLimit).F32(m_startClock).F32(m_endClock).U32(m_result);
    for (const QuickMessage& slot : m_slots) hash.F32(slot.timer).U32(slot.sender);
}

// ---------------------------------------------------------------- drawing

void CBattleStateConsole::DrawNumber(CSceneObject* target, u32 value)
{
    if (!target) return;
    const u32 digits[3] = {value / 100 % 10, value / 10 % 10, value % 10};
    const u32 first = value >= 100 ? 0 : (value >= 10 ? 1 : 2);
    // The target may be a digit layer itself ("Ti0"): take every image
    // before lending it any.
    CRect4 images[10];
    for (u32 d = 0; d < 10; ++d) images[d] = m_digits[d] ? std::as_const(*m_digits[d]).GetScreenState().rect : CRect4();
    CLayerState& screen = target->GetScreenState();
    const CRect4 saved = screen.rect;
    f32 x = 0.0f;
    for (u32 i = first; i < 3; ++i) {
        if (m_digits[digits[i]]) {
            screen.rect = images[digits[i]];
            DrawAt(target, x);
        }
        x += kDigitStep;
    }
    screen.rect = saved;
}

void CBattleStateConsole::DrawTime()
{
    DrawAt(m_timeFrame);
    const f32 left = m_setup.timeLimit;
    if (left >= kConsoleNoTimeLimit) {
        DrawAt(m_noLimit);
        return;
    }
    DrawNumber(m_digits[0], left > 0.0f ? u32(left) : 0);
}

void CBattleStateConsole::DrawTitle()
{
    if (!m_bgmName) return;
    DrawAt(m_bgmName);
    CFontTexture* font = m_setup.font;
    const HudFighter* own = Own();
    if (!font || !own) return;
    const CLayerState& s = std::as_const(*m_bgmName).GetScreenState();
    // The title and the damage panel take the layer's own scale.
    const Frame frame = LayerScaled(m_bgmName);
    const f32 alpha = Clamp01(s.colour.w);
    if (const CTensionFile* tension = own->GetTensionFile()) {
        font->DrawTextEx(s.position.x, s.position.y, s.position.x, 0.0f, 0, 0.0f, Argb(alpha), 22, s.scaleY,
            tension->GetName().GetText(), kTextTopLeft, nullptr, nullptr);
    }
    if (!m_setup.training || !m_setup.damagePanel) return;
    f32 y = 128.0f;
    char line[64];
    const auto write = [&](const char* text) {
        font->DrawTextEx(frame.X(32.0f), frame.Y(y), frame.X(32.0f), 0.0f, 0, 0.0f, Argb(alpha), 22, frame.scaleY,
            text, kTextTopLeft, nullptr, nullptr);
        y += 24.0f;
    };
    write("ダメージ");
    for (u32 i = 0; i < 5; ++i) {
        std::snprintf(line, sizeof line, "%d", own->GetHitDamage(i));
        write(line);
    }
    write("総ダメージ");
    std::snprintf(line, sizeof line, "%d", own->GetTotalDamage());
    write(line);
    write("ダウンリミット");
    std::snprintf(line, sizeof line, "%.2f %%", own->GetTargetDownLimit());
    write(line);
}

void CBattleStateConsole::DrawLives()
{
    if (m_setup.livesRule != 1 || !m_setup.characters) return;
    for (u32 team = 0; team < 4; ++team) {
        if (!m_lifeMarks[team]) continue;
        // Summed wide: neither a huge count nor many defeats wraps.
        i64 lives = i64(m_setup.extraLives) + 1;
        bool any = false;
        for (const HudFighter* f : *m_setup.characters) {
            if (!f || f->GetTeam() != team) continue;
            any = true;
            lives -= i64(f->GetDefeatCount());
        }
        if (!any) lives = 0;
        DrawAt(m_teamColours[team], 0, 0, 1, 1, any ? 0xFFFFFFFFu : 0xFF404040u);
        // Marks past the screen's width are not drawn: a huge count costs no more.
        for (i64 k = 0; k < std::min<i64>(lives, kMostLifeMarks); ++k) DrawAt(m_lifeMarks[team], -15.0f * f32(k));
    }
}

void CBattleStateConsole::DrawPanel(const QuickMessage& slot, f32 x, f32 y, f32 alpha, f32 partsAlpha)
{
    CSceneObject* const* parts = m_panels[slot.team < 4 ? slot.team : 0];
    CFontTexture* font = m_setup.font;
    // Measured in layout pixels: the sprites and the text take the HUD
    // scale when they are drawn, once.
    f32 width = 0.0f;
    if (font) {
        CRect4 a, b;
        if (font->MeasureText(0, 0, 14, 1.0f, slot.name, 0, &a)) width = a.right - a.left;
        if (font->MeasureText(0, 0, 14, 1.0f, slot.text, 0, &b) && b.right - b.left > width) width = b.right - b.left;
    }
    // The panel's parts sit at their layout places; the row moves them.
    DrawAt(parts[0], x, y, 1, 1, 1, 1, 1, partsAlpha);
    if (width > 0.0f) DrawAt(parts[1], x, y, width / kPanelWidth, 1.0f, 1, 1, 1, partsAlpha);
    DrawAt(parts[2], x - (kPanelWidth - width), y, 1, 1, 1, 1, 1, partsAlpha);
    if (!font) return;
    // Placed by the "BgmName" layer's scale, as the alpha is its.
    const Frame frame = m_bgmName ? LayerScaled(m_bgmName) : Frame(parts[0]);
    const u32 colour = Argb(alpha);
    // The texts start at their point: left and top aligned.
    font->DrawTextAlignedOutlinedFlags(frame.X(x + 6.0f), frame.Y(y + 12.0f), colour, kOutline, 14, frame.scaleY,
        2.0f, slot.name, kTextTopLeft);
    font->DrawTextAlignedOutlinedFlags(frame.X(x + 6.0f), frame.Y(y + 30.0f), colour, kOutline, 14, frame.scaleY,
        2.0f, slot.text, kTextTopLeft);
}

void CBattleStateConsole::DrawPanels()
{
    const f32 alpha = m_bgmName ? Clamp01(std::as_const(*m_bgmName).GetScreenState().colour.w) : 1.0f;
    u32 row = 0;
    for (const QuickMessage& slot : m_slots) {
        if (slot.timer <= 0.0f || slot.hidden) continue;
        DrawPanel(slot, 48.0f, 270.0f - 52.0f * f32(row), alpha, 1.0f);
        ++row;
    }
}

void CBattleStateConsole::DrawStartCall()
{
    const f32 c = m_startClock;
    if (c >= 0.5f && c < 2.5f) {
        const f32 t = c - 0.5f;
        DrawAt(m_wings[0], 30.0f * t);
        DrawAt(m_wings[1], -30.0f * t);
        for (u32 i = 0; i < 5; ++i) {
            const f32 shown = t - 0.3f * f32(i);
            if (shown < 0.0f) continue;
            const f32 s = shown < 0.3f ? 1.2f - 0.2f * shown / 0.3f : 1.0f;
            DrawAt(m_letters[i], 0, 0, s, s);
        }
    }
    if (!(c > 2.3f && c < 3.1f)) return;
    const f32 t = c - 2.3f;
    if (t <= 0.2f) {
        const f32 s = 1.1f - 0.1f * t / 0.2f;
        DrawAt(m_goLetters, 0, 0, s, s);
        return;
    }
    const f32 s = t - 0.2f;
    for (u32 j = 1; j <= 4; ++j) {
        const f32 sj = s - 0.06f * f32(j);
        if (sj < 0.0f || sj > 0.4f) continue;
        const f32 k = 1.0f + 2.0f * sj / 0.4f;
        DrawAt(m_goLetters, 0, 0, k, k, 1, 1, 1, 1.0f - sj / 0.4f);
    }
    if (s > 0.4f) return;
    const f32 alpha = 1.0f - s / 0.4f;
    CGraphicDevice* device = GetGraphicDevice();
    if (device) device->SetBlendMode(2);
    const f32 flash = 1.0f + 4.0f * s / 0.4f;
    DrawAt(m_goFlash, 0, 0, flash, flash, 1, 1, 1, alpha);
    if (device) device->SetBlendMode(1);
    const f32 k = 1.0f + 2.0f * s / 0.4f;
    DrawAt(m_goLetters, 0, 0, k, k, 1, 1, 1, alpha);
}

void CBattleStateConsole::DrawResult()
{
    if (m_endClock < 4.0f || m_endClock >= 6.0f || m_result < 1 || m_result > 3) return;
    const f32 t = m_endClock - 4.0f;
    CSceneObject* banner = m_banners[m_result - 1];
    if (m_result == 1) {
        if (t <= 0.5f) {
            const f32 s = 3.5f - 2.5f * t / 0.5f;
            DrawAt(banner, 0, 0, s, s, 1, 1, 1, t / 0.5f);
        } else if (t <= 1.8f) {
            DrawAt(banner);
        } else {
            const f32 s = t - 1.8f;
            DrawAt(banner, 0, 0, 1.0f + 3.0f * s / 0.2f, 1.0f - s / 0.2f);
        }
        for (u32 j = 1; j <= 4; ++j) {
            const f32 tj = t - 0.06f * f32(j);
            if (!(tj > 0.0f && tj <= 0.5f)) continue;
            const f32 s = 3.5f - 2.5f * tj / 0.5f;
            DrawAt(banner, 0, 0, s, s, 1, 1, 1, tj / 0.5f);
        }
        return;
    }
    const f32 reach = m_result == 3 ? 384.0f : 512.0f;
    if (t <= 0.5f) {
        const f32 x = reach - reach * t / 0.5f;
        DrawAt(banner, x, 0, 1, 1, 1, 1, 1, t);
        DrawAt(banner, -x, 0, 1, 1, 1, 1, 1, t);
    } else if (t <= 1.8f) {
        DrawAt(banner);
    } else {
        const f32 s = t - 1.8f;
        const f32 alpha = 1.0f - s / 0.2f;
        if (m_result == 3) DrawAt(banner, 0, 0, 1.0f + 3.0f * s / 0.2f, 1.0f - s / 0.2f, 1, 1, 1, alpha);
        else DrawAt(banner, 0, 0, 1, 1, 1, 1, 1, alpha);
    }
}

void CBattleStateConsole::DrawTicker()
{
    if (!m_setup.tutorial) return;
    DrawAt(m_band);
    if (!m_band || !m_setup.font) return;
    const CLayerState& s = std::as_const(*m_band).GetScreenState();
    const Frame frame(m_band);
    m_setup.font->DrawTextEx(frame.X(m_tickerX), s.position.y, frame.X(m_tickerX), 0.0f, 0, 0.0f, Argb(s.colour.w),
        24, frame.scaleY, m_tipText.c_str(), kTextTopLeft, nullptr, nullptr);
}

i32 CBattleStateConsole::Draw(u32)
{
    DrawTime();
    DrawTitle();
    DrawLives();
    DrawPanels();
    DrawStartCall();
    DrawResult();
    DrawTicker();
    if (m_setup.survival) {
        DrawAt(m_survivalLabel);
        if (const HudFighter* own = Own()) DrawNumber(m_survivalCount, own->GetKillCount());
    }
    return 1;
}

void CBattleStateConsole::DrawMarkers(u32)
{
    const HudFighter* own = Own();
    CCamera* camera = own ? own->GetBattleCamera() : nullptr;
    if (!camera) return;
    CMatrix viewProjection;
    camera->GetViewProjection(&viewProjection);
    for (const QuickMessage& slot : m_slots) {
        if (slot.timer <= 0.0f || slot.hidden) continue;
        const HudFighter* sender = FighterOfEntry(slot.sender);
        if (!sender || sender == own) continue;
        CVector3 at, projected;
        sender->GetPosition(&at);
        at.TransformProject(viewProjection, &projected);
        const f32 x = (projected.x + 1.0f) * 512.0f, y = (1.0f - projected.y) * 384.0f;
        if (x < 0.0f || x > 1024.0f || y < 0.0f || y > 768.0f || projected.z < 0.0f || projected.z > 1.0f) continue;
        const CVector3 gap = at - camera->GetEye();
        const f32 distance = gap.Length();
        const f32 alpha = distance <= 10.0f ? 1.0f : Clamp01(1.0f - (distance - 10.0f) / 225.0f);
        // The whole balloon fades, not only its text.
        DrawPanel(slot, x, y, alpha, alpha);
    }
}
