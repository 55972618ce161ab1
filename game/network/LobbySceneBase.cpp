#include "game/network/LobbySceneBase.h"

#include "engine/core/StringUtil.h"
#include "engine/graphics/FontTexture.h"
#include "engine/platform/Input.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/platform/app/ImeInput.h"
#include "engine/scene/SceneObject.h"
#include "game/scenes/GameApp.h"
#include "host/kernel/Kernel.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace lobby_scene {

void CopyField(char* field, u32 fieldBytes, const char* text)
{
    if (!field || fieldBytes == 0) return;
    std::memset(field, 0, fieldBytes);
    if (!text) return;
    const std::string_view whole(text, strnlen(text, fieldBytes));
    std::memcpy(field, text, host::kernel::Cp932Fit(whole, fieldBytes - 1));
}

u32 DimText(u32 argb) { return (argb & 0xFF000000u) | ((argb >> 1) & 0x007F7F7Fu); }

void ChatLog::Add(const char* speaker, const char* text)
{
    if (count >= kChatLogLines) {
        std::memmove(lines[0], lines[1], sizeof lines[0] * (kChatLogLines - 1));
        count = kChatLogLines - 1;
    } else if (top + kChatFollowRows == count) {
        ++top;
    }
    char* line = lines[count++];
    CopyField(line, kSpeakerBytes, speaker);
    CopyField(line + kSpeakerBytes, kChatTextBytes, text);
}

void ChatLog::AddLine(const char* line)
{
    if (!line) return;
    // Either part may come unterminated: CopyField reads at most its field.
    Add(line, line + kSpeakerBytes);
}

bool ChatLog::Scroll(i32 delta)
{
    Clamp();
    if (delta < 0 && top > 0) return --top, true;
    if (delta > 0 && top + 1 < count) return ++top, true;
    return false;
}

void ChatLog::Clamp()
{
    count = std::min(count, kChatLogLines);
    top = count == 0 ? 0 : std::min(top, count - 1);
}

bool ListView::Clamp(u32 count, u32 rows)
{
    if (count == 0) {
        selected = top = 0;
        return false;
    }
    rows = std::max(rows, 1u);
    selected = std::min(selected, count - 1);
    top = std::min(top, selected);
    if (selected >= top + rows) top = selected + 1 - rows;
    return true;
}

bool ListView::Move(i32 delta, u32 count, u32 rows)
{
    if (!Clamp(count, rows)) return false;
    if (delta < 0 && selected > 0) {
        if (--selected < top) top = selected;
        return true;
    }
    if (delta > 0 && selected + 1 < count) {
        if (++selected >= top + std::max(rows, 1u)) ++top;
        return true;
    }
    return false;
}

std::vector<std::string> ChatRows(const ChatLog& log, u32 top, u32 rows, u32 bytesPerLine, bool forward)
{
    std::vector<std::string> out;
    // Another frame may have left count and top anywhere: read only below both.
    const u32 count = std::min(log.count, kChatLogLines);
    if (count == 0 || bytesPerLine == 0) return out;
    top = std::min(top, count - 1);
    for (u32 step = 0; out.size() < rows; ++step) {
        if (forward ? top + step >= count : step > count - 1 - top) break;
        const u32 i = forward ? top + step : count - 1 - top - step;
        char speaker[kSpeakerBytes], text[kChatTextBytes];
        CopyField(speaker, sizeof speaker, log.Speaker(i));
        CopyField(text, sizeof text, log.Text(i));
        if (!speaker[0] && !text[0]) continue;
        out.push_back(std::string("【") + speaker + "】");
        // The engine's wrap: a two-byte character starting on a row's last
        // column stays on that row, a line feed starts a row.
        std::vector<char> row(bytesPerLine + 3);
        const u32 lines = CountWrappedLines(text, bytesPerLine);
        for (u32 n = 1; n <= lines && out.size() < rows; ++n) out.emplace_back(GetWrappedLine(text, bytesPerLine, n, row.data()));
    }
    return out;
}

bool ScrollBarShown(i32 range, u32 top) { return range > 0 || top > 0; }

f32 ScrollBarOffset(f32 track, i32 range, u32 top)
{
    const i64 steps = std::max<i64>(0, std::min<i64>(range, top));
    return track / f32(std::max(1, range)) * f32(steps);
}

}  // namespace lobby_scene

using namespace lobby_scene;

CLobbySceneBase::~CLobbySceneBase() { Release(); }

const lobby::LobbyRoomRecord* CLobbySceneBase::FindRoom(u32 id) const
{
    if (!m_context || !m_context->state.rooms) return nullptr;
    for (const auto& room : *m_context->state.rooms)
        if (room && room->Id() == id) return room.get();
    return nullptr;
}

const lobby::LobbyUserRecord* CLobbySceneBase::FindUser(u32 id) const
{
    if (!m_context || !m_context->state.users) return nullptr;
    for (const auto& user : *m_context->state.users)
        if (user && user->Id() == id) return user.get();
    return nullptr;
}

i32 CLobbySceneBase::PlaySound(u32 index)
{
    if (index >= 3 || !m_context || !m_context->state.sounds) return 0;
    CSoundBuffer* sound = m_context->state.sounds[index];
    if (!sound) return 0;
    const i32 volume = m_context->state.soundVolume ? *m_context->state.soundVolume : 0;
    sound->PlayWithVolume(volume, 0, 0.0f, 1);
    return 1;
}

i32 CLobbySceneBase::LoadLayout(const char* path)
{
    if (!LoadFromFile(path)) return 0;
    if (m_context && m_context->state.texture) SetTextureAll(m_context->state.texture);
    const CGameApp* app = GetGameApp();
    const f32 scale = app ? app->GetLayoutScale() : 1.0f;
    SetScale(scale, scale);
    FindLayers();
    return CSceneResource::Initialize(0);
}

f32 CLobbySceneBase::TextScale() const
{
    const CLayerState& state = GetSceneState();
    return std::min(state.scaleX, state.scaleY);
}

u32 CLobbySceneBase::TextColour() const { return GetSceneState().colour.ToARGB(); }

u32 CLobbySceneBase::OutlineColour() const
{
    return u32(std::clamp(GetSceneState().colour.w, 0.0f, 1.0f) * 255.0f) << 24;
}

CFontTexture* CLobbySceneBase::Font() const { return m_context ? m_context->state.font : nullptr; }

void CLobbySceneBase::DrawOutlined(f32 x, f32 y, u32 fontSize, const char* text, bool selected)
{
    CFontTexture* font = Font();
    if (!font || !text) return;
    const f32 s = TextScale();
    const u32 colour = selected ? TextColour() : DimText(TextColour());
    font->DrawTextAlignedOutlined2(x * s, y * s, colour, OutlineColour(), fontSize, s, 1.0f, text, kTextTopLeft,
                                   nullptr, nullptr);
}

void CLobbySceneBase::DrawPlain(f32 x, f32 y, u32 fontSize, const char* text, bool selected)
{
    DrawPlainAt(x, y, TextScale(), fontSize, text, selected);
}

void CLobbySceneBase::DrawPlainAt(f32 x, f32 y, f32 s, u32 fontSize, const char* text, bool selected)
{
    CFontTexture* font = Font();
    if (!font || !text) return;
    const u32 colour = selected ? TextColour() : DimText(TextColour());
    font->DrawTextAligned(x * s, y * s, 0.0f, x * s, colour, fontSize, s, text, kTextTopLeft, nullptr, nullptr);
}

void CLobbySceneBase::DrawChatLog(const ChatLog& log, f32 x, f32 y, f32 scale, u32 top, u32 rows, u32 fontSize,
                                  f32 lineHeight, u32 bytesPerLine, bool forward)
{
    const std::vector<std::string> lines = ChatRows(log, top, rows, bytesPerLine, forward);
    for (size_t row = 0; row < lines.size(); ++row)
        DrawPlainAt(x, y + lineHeight * f32(row), scale, fontSize, lines[row].c_str(), true);
}

void CLobbySceneBase::DrawLayer(CSceneObject* layer)
{
    if (layer) layer->Draw(nullptr);
}

void CLobbySceneBase::Tint(CSceneObject* layer, bool selected)
{
    if (layer) layer->SetColorARGB(selected ? kWhite : kDimmed);
}

void CLobbySceneBase::DrawKira(CSceneObject* layer)
{
    if (!layer) return;
    CLayerState extra;
    extra.position.x = m_context && m_context->state.drift ? m_context->state.drift[5] : 0.0f;
    layer->Draw(&extra);
}

void CLobbySceneBase::DrawScrollBar(CSceneObject* layer, f32 track, i32 range, u32 top, bool always)
{
    if (!layer || !(always || ScrollBarShown(range, top))) return;
    CLayerState extra;
    extra.position.y = ScrollBarOffset(track, range, top);
    layer->Draw(&extra);
}

CImeInput* CLobbySceneBase::Ime() const { return m_context ? m_context->state.ime : nullptr; }

void CLobbySceneBase::FocusField(i32 lines, f32 fontSize, u32 maxBytes)
{
    CImeInput* ime = Ime();
    if (!ime) return;
    if (!ime->IsEnabled()) ime->Enable(1);
    ime->SetMode(lines, fontSize, i32(maxBytes));
}

void CLobbySceneBase::LeaveField()
{
    if (CImeInput* ime = Ime()) ime->Enable(0);
}

namespace {

const CDirectInput* Keyboard()
{
    CGameApp* app = GetGameApp();
    CInput* input = app ? app->GetInput() : nullptr;
    return input ? input->GetDirectInput() : nullptr;
}

bool KeyDown(const CDirectInput* keys, u32 code) { return keys && keys->IsKeyDown(code); }

}  // namespace

bool CLobbySceneBase::EnterPressed()
{
    const CDirectInput* keys = Keyboard();
    return keys && (keys->IsKeyTriggered(kReturnKey) || keys->IsKeyTriggered(kPadEnterKey));
}

bool CLobbySceneBase::EnterSubmits(bool chat, bool emptyToo)
{
    CImeInput* ime = Ime();
    if (!ime) return false;
    const CDirectInput* keys = Keyboard();
    if (!EnterPressed()) {
        // The changed mark of a committing Enter clears once Enter is up.
        if (!KeyDown(keys, kReturnKey) && !KeyDown(keys, kPadEnterKey) && ime->GetChanged()) ime->SetChanged(0);
        return false;
    }
    if (chat && (KeyDown(keys, kLeftShiftKey) || KeyDown(keys, kRightShiftKey))) return false;
    return (emptyToo || ime->GetTotalLength() != 0) && ime->GetCompositionLength() == 0 && !ime->GetChanged();
}

bool CLobbySceneBase::TakeEntered(char* field, u32 fieldBytes, bool chat, bool emptyToo)
{
    if (!EnterSubmits(chat, emptyToo)) return false;
    char text[kImeBufferSize] = {};
    Ime()->TakeText(text, sizeof text);
    CopyField(field, fieldBytes, text);
    return true;
}

bool CLobbySceneBase::EditStored(char* stored, u32 storedBytes)
{
    CImeInput* ime = Ime();
    if (!ime || !stored || storedBytes == 0) return false;
    if (EnterPressed() && ime->GetTotalLength() == 0) {
        char text[kImeBufferSize] = {};
        CopyField(text, std::min<u32>(storedBytes, sizeof text), stored);
        ime->SetText(text);
        return false;
    }
    return TakeEntered(stored, storedBytes);
}
