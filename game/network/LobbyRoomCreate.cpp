#include "game/network/LobbyRoomCreate.h"

#include "engine/graphics/FontTexture.h"
#include "engine/platform/app/ImeInput.h"
#include "engine/scene/SceneObject.h"
#include "game/network/LobbyMessage.h"
#include "game/network/LobbyRoom.h"
#include "game/network/LobbyRoomInformation.h"
#include "game/network/LobbyScreens.h"
#include "game/scenes/MenuScene.h"

#include <cstring>

using namespace lobby_scene;

namespace {

// limit: the entry's bytes a line; kept: the bytes stored (with the
// terminator). The comment is typed in 4 lines of 30 into its whole field.
struct FieldMode {
    i32 lines;
    u32 limit;
    u32 kept;
};
FieldMode ModeOf(i32 line)
{
    switch (line) {
    case CLobbyRoomCreate::kName: return {1, lobby::kRoomNameLimit, lobby::kRoomNameLimit + 1};
    case CLobbyRoomCreate::kPassword: return {1, lobby::kRoomPasswordLimit, lobby::kRoomPasswordLimit + 1};
    default: return {4, lobby::kRoomCommentLimit, lobby::kRoomCommentField};
    }
}

}  // namespace

CLobbyRoomCreate::CLobbyRoomCreate(const CLobbyRoomCreate& other)
    : CLobbySceneBase(other), m_cursor(other.m_cursor), m_mode(other.m_mode), m_active(other.m_active),
      m_settings(other.m_settings), m_reserved(other.m_reserved)
{
    FindLayers();
}

void CLobbyRoomCreate::FindLayers()
{
    m_base = FindLayer("Base");
    m_arrows[0] = FindLayer("sentaku2");
    m_arrows[1] = FindLayer("sentaku");
    m_buttons[kNewRoom][0] = FindLayer("Broomset1");
    m_buttons[kNewRoom][1] = FindLayer("Broomset2");
    m_buttons[kExistingRoom][0] = FindLayer("Bvsstart1");
    m_buttons[kExistingRoom][1] = FindLayer("Bvsstart2");
    for (u32 i = 0; i < lobby::kLevelRangeCount; ++i) m_levels[i] = FindLayer(lobby::kLevelRangePictures[i]);
}

i32 CLobbyRoomCreate::Initialize(intptr_t) { return LoadLayout(lobby_screen::kRoomCreateLayout); }

void CLobbyRoomCreate::Open(u32 mode)
{
    m_active = 1;
    m_mode = mode == kExistingRoom ? kExistingRoom : kNewRoom;
    m_cursor = m_mode == kExistingRoom ? kLevel : kName;
    if (m_cursor == kName) FocusLine();
    else LeaveField();
}

static char* FieldOf(lobby::RoomSettings& s, i32 line, u32* bytes)
{
    switch (line) {
    case CLobbyRoomCreate::kName: *bytes = sizeof s.name; return s.name;
    case CLobbyRoomCreate::kPassword: *bytes = sizeof s.password; return s.password;
    case CLobbyRoomCreate::kComment: *bytes = sizeof s.comment; return s.comment;
    default: *bytes = 0; return nullptr;
    }
}

bool CLobbyRoomCreate::Typing(i32 line) const
{
    CImeInput* ime = Ime();
    if (!ime || m_cursor != line) return false;
    u32 bytes = 0;
    const char* field = FieldOf(const_cast<lobby::RoomSettings&>(m_settings), line, &bytes);
    if (!field) return false;
    char text[lobby::kRoomCommentField] = {};
    ime->GetText(text, sizeof text);
    return std::strncmp(text, field, bytes) != 0 || ime->GetCompositionLength() > 0;
}

void CLobbyRoomCreate::FocusLine()
{
    CImeInput* ime = Ime();
    u32 bytes = 0;
    const char* field = FieldOf(m_settings, m_cursor, &bytes);
    if (!ime || !field) return;
    const FieldMode mode = ModeOf(m_cursor);
    char text[lobby::kRoomCommentField] = {};
    CopyField(text, mode.kept, field);
    ime->SetText(text);
    FocusField(mode.lines, f32(kTextSize), mode.limit);
}

void CLobbyRoomCreate::MoveCursor(bool up)
{
    m_cursor = up ? (m_cursor <= 0 ? kConfirm : m_cursor - 1) : (m_cursor >= kConfirm ? kName : m_cursor + 1);
    if (m_cursor == kName && m_mode == kExistingRoom) m_cursor = up ? kConfirm : kLevel;
    if (m_cursor == kName || m_cursor == kPassword || m_cursor == kComment) FocusLine();
    else LeaveField();
    PlaySound(kSelectSound);
}

i32 CLobbyRoomCreate::OwnListNumber() const
{
    const LobbySceneContext* context = Context();
    return context && context->state.ownUser ? i32(context->state.ownUser->ListNumber()) : 0;
}

void CLobbyRoomCreate::StepLevel(i32 step)
{
    m_settings.levelRange = lobby::StepLevelRange(m_settings.levelRange, step, OwnListNumber());
    PlaySound(kSelectSound);
}

lobby::RoomTemplate CLobbyRoomCreate::Template() const
{
    // The client's template carries no option descriptors: only the limit.
    lobby::RoomTemplate room;
    const LobbySceneContext* context = Context();
    if (context && context->state.roomTemplate)
        room.memberLimit = GetLe16(context->state.roomTemplate->data + lobby::kMemberLimitAt);
    return room;
}

void CLobbyRoomCreate::ShowMessage(u32 code)
{
    if (Context() && Context()->message) Context()->message->Show(code, this);
}

void CLobbyRoomCreate::HideMessage() { ShowMessage(kNoCode); }

void CLobbyRoomCreate::Confirm()
{
    CLobbyClient* client = Client();
    if (m_mode == kExistingRoom) {
        const std::vector<u8> bytes = lobby::WriteRoomSettings(m_settings, Template());
        if (client && !bytes.empty()) client->Send(kSettingsMessage, bytes.data(), u32(bytes.size()));
    } else if (m_settings.name[0] == '\0') {
        ShowMessage(kNoNameCode);
    } else {
        const LobbySceneContext* context = Context();
        u8 entry[lobby::kEntryBytes] = {};
        if (context && context->state.ownUser)
            std::memcpy(entry, context->state.ownUser->data + lobby::kUserIdAt, sizeof entry);
        const std::vector<u8> bytes = lobby::WriteNewRoom(m_settings, Template(), entry);
        if (!bytes.empty()) {
            ShowMessage(kWaitingCode);
            if (client) client->SendRequest(kNewRoomMessage, bytes.data(), u32(bytes.size()));
        }
    }
    PlaySound(kDecideSound);
}

i32 CLobbyRoomCreate::Update(u32 argument)
{
    if (!m_active) return 1;
    if (Typing(kName) || Typing(kPassword) || Typing(kComment)) {
        TextFields();
        return CSceneResource::Update(argument);
    }
    if (menu::UpTriggered()) MoveCursor(true);
    else if (menu::DownTriggered()) MoveCursor(false);
    if (menu::LeftTriggered()) {
        if (m_cursor == kLevel) StepLevel(-1);
    } else if (menu::RightTriggered()) {
        if (m_cursor == kLevel) StepLevel(1);
    } else if (menu::Triggered(menu::kDecide)) {
        if (m_cursor == kConfirm) Confirm();
    } else if (menu::Triggered(menu::kCancel)) {
        m_active = 0;
        if (CImeInput* ime = Ime()) ime->SetText("");
        LeaveField();
        PlaySound(kCancelSound);
    }
    if (m_active) TextFields();
    return CSceneResource::Update(argument);
}

void CLobbyRoomCreate::TextFields()
{
    u32 bytes = 0;
    char* field = FieldOf(m_settings, m_cursor, &bytes);
    if (!field || (m_cursor == kName && m_mode == kExistingRoom)) return;
    CImeInput* ime = Ime();
    if (ime && !ime->IsEnabled()) FocusLine();
    const FieldMode mode = ModeOf(m_cursor);
    char taken[lobby::kRoomCommentField] = {};
    // Shift+Enter breaks a comment's line instead of storing it. An emptied
    // field is stored too: else it differs from the input for good and the
    // window takes no key (a password could never be removed). An empty
    // name is refused when the room is made.
    if (TakeEntered(taken, mode.kept, m_cursor == kComment, true)) {
        CopyField(field, bytes, taken);
        if (ime) ime->SetText(field);
    }
}

void CLobbyRoomCreate::RoomDetail(u16 type, const u8* payload, u32 n)
{
    LobbySceneContext* context = Context();
    const bool hosting = context && context->state.roomHost && *context->state.roomHost;
    if (type == kSettingsMessage && m_active) {
        if (m_mode == kNewRoom) {
            HostAccepted();
            m_active = 0;
        } else if (hosting) {
            m_active = 0;
            HideMessage();
        }
    } else if (type == kRoomDetailMessage) {
        if (!hosting) {
            HideMessage();
            CLobbyRoomInformation* information = context ? context->roomInformation : nullptr;
            if (information && payload && n >= 4) information->Open(GetLe32(payload));
        } else if (!m_active) {
            Open(kExistingRoom);
            HideMessage();
        }
    }
}

void CLobbyRoomCreate::HostAccepted()
{
    CLobbyClient* client = Client();
    if (client && client->StartHostListener()) {
        // The server made the room: this player hosts it, its table first.
        if (CLobbyRoomScene* room = Context() ? Context()->room : nullptr) {
            room->BecomeHost(client->GetUserName(), nullptr);
            room->SetLobbyMode(1);
        }
        client->SetScreen(u32(LobbyLayer::kRoom));
        HideMessage();
        return;
    }
    if (client) client->SendEmpty(kGiveUpMessage);
    ShowMessage(kFailedCode);
    // The notice names what failed: the port players would come in on.
    if (client && Context() && Context()->message) Context()->message->SetDetail(client->HostFailure(false));
}

i32 CLobbyRoomCreate::Draw(u32)
{
    if (!m_active) return 1;
    DrawLayer(m_base);
    DrawField(kNameX, kNameY, kName, m_settings.name);
    DrawField(kPasswordX, kPasswordY, kPassword, m_settings.password);
    if (CSceneObject* level = lobby_screen::LevelPicture(m_levels, m_settings.levelRange)) {
        CLayerState extra;
        extra.position.x = kLevelX;
        extra.position.y = kLevelY;
        level->Draw(&extra);
    }
    if (m_cursor == kLevel) {
        DrawLayer(m_arrows[0]);
        DrawLayer(m_arrows[1]);
    }
    DrawField(kCommentX, kCommentY, kComment, m_settings.comment);
    DrawLayer(m_buttons[m_mode][m_cursor == kConfirm ? 1 : 0]);
    return 1;
}

void CLobbyRoomCreate::DrawField(f32 x, f32 y, i32 line, const char* stored)
{
    CImeInput* ime = Ime();
    const f32 k = TextScale();
    const bool comment = line == kComment;
    if (ime && Typing(line)) {
        if (comment) ime->DrawWrapped(x * k, y * k, kTextSize, k, kCommentWrap * k, TextColour());
        else ime->Draw(x * k, y * k, kTextSize, k, TextColour());
        return;
    }
    if (comment) {
        // The line-breaking box: its line feeds and 30 bytes a line.
        if (CFontTexture* font = Font())
            font->DrawTextOutlinedBox(x * k, y * k, x * k, kCommentLineAdvance, lobby::kRoomCommentLimit, TextColour(),
                                      OutlineColour(), kTextSize, k, 1.0f, stored, kTextTopLeft);
    } else {
        DrawOutlined(x, y, kTextSize, stored);
    }
    if (ime && m_cursor == line) {
        if (comment) ime->DrawClipped(x * k, y * k, kTextSize, k, kCommentWrap * k, TextColour());
        else ime->DrawSimple(x * k, y * k, kTextSize, k, TextColour());
    }
}
