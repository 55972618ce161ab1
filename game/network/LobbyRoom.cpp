#include "game/network/LobbyRoom.h"

#include "engine/platform/FrameTime.h"
#include "engine/platform/Input.h"
#include "engine/platform/app/ImeInput.h"
#include "engine/scene/SceneObject.h"
#include "game/network/LobbyClient.h"
#include "game/network/LobbyMain.h"
#include "game/network/LobbyMessage.h"
#include "game/network/LobbyRoomCreate.h"
#include "game/network/LobbyRoomInformation.h"
#include "game/network/LobbyUserInformation.h"
#include "game/network/NetClient.h"
#include "game/network/RoomMembers.h"
#include "game/scenes/GameApp.h"
#include "game/scenes/MenuScene.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

using namespace lobby_scene;
using namespace lobby_screen;

namespace {

bool KeyTriggered(u32 code)
{
    CGameApp* app = GetGameApp();
    CInput* input = app ? app->GetInput() : nullptr;
    return input && input->IsKeyTriggered(code);
}

void CopyPeerId(char (&out)[peer::kPeerIdBytes], const char* id)
{
    std::memset(out, 0, sizeof out);
    if (id) std::memcpy(out, id, strnlen(id, sizeof out - 1));
}

constexpr f32 kTickerSpeed = 80.0f, kTickerEnd = -1200.0f;
constexpr f32 kChatTrack = 474.0f, kMemberTrack = 542.0f;
constexpr f32 kEntryX = 276.0f, kEntryY = 688.0f, kEntryWidth = 566.0f;
constexpr u32 kEntryBytes = 40;
constexpr u32 kMemberLookup = 1015;
constexpr u16 kLeaveRoom = 1007, kCloseOwnRoom = 1003;

// The user ID of a room record's member i (0 the host entry); 0 past them.
u32 MemberUserId(const lobby::LobbyRoomRecord& room, u32 i)
{
    const i16 count = room.MemberCount();
    if (count <= 0 || i >= std::min<u32>(u32(count), lobby::kMaxMembers)) return 0;
    return i == 0 ? GetLe32(room.data + lobby::kHostEntryAt)
                  : GetLe32(room.data + lobby::kMemberEntriesAt + (i - 1) * lobby::kEntryBytes);
}

}  // namespace

CLobbyRoomScene::CLobbyRoomScene(const CLobbyRoomScene& other)
    : CLobbySceneBase(other), m_focus(other.m_focus), m_fade(other.m_fade),
      m_memberTop(other.m_memberTop), m_selected(other.m_selected), m_ticker(other.m_ticker),
      m_lobbyMode(other.m_lobbyMode), m_overlayShown(other.m_overlayShown), m_lobby(other.m_lobby)
{
    std::memcpy(m_ownPeerId, other.m_ownPeerId, sizeof m_ownPeerId);
    std::memcpy(m_hostPeerId, other.m_hostPeerId, sizeof m_hostPeerId);
    FindLayers();
}

void CLobbyRoomScene::FindLayers()
{
    m_background = FindLayer("bg02");
    m_base = FindLayer("Base");
    m_mowa = FindLayer("mowa");
    m_kira = FindLayer("kira");
    m_help = FindLayer("help_room");
    m_tabOp = FindLayer("tab_op");
    m_tab = FindLayer("Tab");
    m_select1 = FindLayer("Select1");
    m_select2 = FindLayer("Select2");
    m_chatBar = FindLayer("chat_bar");
    m_memberBar = FindLayer("chat_bar2");
}

i32 CLobbyRoomScene::Initialize(intptr_t)
{
    m_focus = kMemberFocus;
    return LoadLayout(kRoomLayout);
}

RoomMemberTable* CLobbyRoomScene::Members() const { return Context() ? Context()->state.members : nullptr; }

CNetHost* CLobbyRoomScene::Host() const { return Context() ? Context()->state.peerHost : nullptr; }

bool CLobbyRoomScene::IsHost() const { return Context() && Context()->state.roomHost && *Context()->state.roomHost; }

u32 CLobbyRoomScene::OwnField() const { return Client() ? Client()->GetPlayRecord() : 0; }

void CLobbyRoomScene::ShowMessage(u32 code)
{
    if (Context() && Context()->message) Context()->message->Show(code, this);
}

// ---------------------------------------------------------------- the table

void CLobbyRoomScene::Reset()
{
    if (RoomMemberTable* members = Members()) *members = RoomMemberTable{};
    if (Client()) Client()->SetRoomHost(false, 0);
    CopyPeerId(m_ownPeerId, nullptr);
    CopyPeerId(m_hostPeerId, nullptr);
    StartView();
}

void CLobbyRoomScene::BecomeHost(const char* name, const char* peerId)
{
    RoomMemberTable* members = Members();
    if (!members) return;
    *members = RoomMemberTable{};
    members->count = 1;
    if (Client()) Client()->SetRoomHost(true, 0);
    RoomMember& own = members->members[0];
    CopyField(own.name, sizeof own.name, name);
    if (peerId) {
        CopyPeerId(m_ownPeerId, peerId);
    } else if (CNetHost* host = Host()) {
        host->GeneratePeerId(m_ownPeerId);
    }
    std::memcpy(own.peerId, m_ownPeerId, sizeof own.peerId);
    own.field = OwnField();
    std::memcpy(m_hostPeerId, m_ownPeerId, sizeof m_hostPeerId);
    StartView();
}

void CLobbyRoomScene::StartView()
{
    if (Context()) Context()->roomChat = ChatLog{};
    m_memberTop = m_selected = 0;
    m_focus = kMemberFocus;
    // A room left under the lobby's lists (lost, a kick) does not open the
    // next one under them.
    m_overlayShown = 0;
    m_fade = 0.0f;
}

void CLobbyRoomScene::SendMemberTable(u32 lockFlag)
{
    RoomMemberTable* members = Members();
    CNetHost* host = Host();
    if (!members || !host) return;
    u8 bytes[room::kTableBytes];
    room::WriteMemberTable(*members, bytes);
    if (lockFlag) host->Broadcast(room::kMemberTableMessage, peer::kSubType, bytes, sizeof bytes, peer::kStreamChannel);
    else host->QueueRelay(room::kMemberTableMessage, bytes, sizeof bytes);
}

void CLobbyRoomScene::AddMemberResult(const char* peerId, u32 result)
{
    RoomMemberTable* members = Members();
    if (!members) return;
    const i32 index = peerId ? room::FindMember(*members, peerId)
                             : (Context() && Context()->state.ownIndex ? *Context()->state.ownIndex : -1);
    room::AddResult(*members, index, result);
}

// ---------------------------------------------------------------- peer events

i32 CLobbyRoomScene::AcceptPeer(CNetClient* peer)
{
    return peer ? OnPeerConnected(peer->GetName(), peer->GetPeerId()) : 0;
}

i32 CLobbyRoomScene::OnPeerConnected(const char* address, const char* peerId)
{
    RoomMemberTable* members = Members();
    CNetHost* host = Host();
    if (!members || !host || !IsHost()) return 0;
    char id[peer::kPeerIdBytes] = {};
    if (peerId && peerId[0]) CopyPeerId(id, peerId);
    else host->GeneratePeerId(id);
    room::JoinReply reply;
    reply.mark = room::kJoinMark;
    reply.lobbyMode = m_lobbyMode;
    std::memcpy(reply.peerId, id, sizeof reply.peerId);
    // A starting or running battle takes nobody.
    bool admitted = Client() && Client()->GetPlayState() == 0;
    if (admitted && m_lobbyMode == 0)
        admitted = room::AddressAdmitted(Context()->allowList, Context()->denyList, address);
    if (admitted) {
        const lobby::LobbyRoomRecord* own = Context()->state.ownRoom;
        const u32 limit = room::MemberLimit(own ? own->MemberLimit() : u16(lobby::kMaxMembers));
        admitted = room::AddMember(*members, limit, id);
    }
    reply.accepted = admitted ? 1 : 0;
    u8 bytes[room::kJoinReplyBytes];
    room::WriteJoinReply(reply, bytes);
    host->SendToPeer(id, room::kJoinReplyMessage, peer::kSubType, bytes, sizeof bytes, peer::kStreamChannel);
    return admitted ? 1 : 0;
}

void CLobbyRoomScene::DropSession(u32 screen)
{
    if (Client()) Client()->SetPlayStateRaw(0);
    if (CNetHost* host = Host()) host->RequestCloseAll();
    if (Client()) Client()->SetScreen(screen);
    CloseWindows();
    // The next room starts from an empty table.
    Reset();
}

void CLobbyRoomScene::CloseWindows()
{
    if (!Context()) return;
    if (Context()->userInformation) Context()->userInformation->Hide();
    if (Context()->roomInformation) Context()->roomInformation->Hide();
}

i32 CLobbyRoomScene::OnJoinReply(CNetClient* sender, const u8* payload, u32 n)
{
    room::JoinReply reply;
    u32 code = 0;
    // A refusal first: a host of another version that refuses says so.
    if (!room::ReadJoinReply(payload, n, &reply)) code = kBadVersion;
    else if (reply.accepted == 0) code = kJoinRefused;
    else if (reply.mark != room::kJoinMark) code = kBadVersion;
    else if (reply.lobbyMode != m_lobbyMode) code = kModeMismatch;
    if (code != 0) {
        const u32 back = m_lobbyMode ? u32(LobbyLayer::kLobby) : u32(LobbyLayer::kConnectOptions);
        if (CNetHost* host = Host()) host->RequestCloseAll();
        if (Client()) Client()->SetJoinRefused(), Client()->SetScreen(back);
        if (Context() && Context()->message) Context()->message->Show(code, nullptr);
        return 0;
    }
    CopyPeerId(m_ownPeerId, reply.peerId);
    CopyPeerId(m_hostPeerId, sender ? sender->GetPeerId() : nullptr);
    if (RoomMemberTable* members = Members()) std::memcpy(members->members[0].peerId, m_hostPeerId, sizeof m_hostPeerId);
    u8 info[room::kMemberInfoBytes];
    room::WriteMemberInfo(Client() ? Client()->GetUserName() : nullptr, OwnField(), info);
    if (CNetHost* host = Host())
        host->Broadcast(room::kMemberInfoMessage, peer::kSubType, info, sizeof info, peer::kStreamChannel);
    return 1;
}

i32 CLobbyRoomScene::OnMemberInfo(CNetClient* sender, const u8* payload, u32 n)
{
    RoomMemberTable* members = Members();
    char name[25];
    u32 field = 0;
    if (!members || !sender || !IsHost() || !room::ReadMemberInfo(payload, n, name, &field)) return 1;
    const i32 index = room::FindMember(*members, sender->GetPeerId());
    if (index <= 0) return 1;
    std::memcpy(members->members[index].name, name, sizeof name);
    members->members[index].field = field;
    SendMemberTable(1);
    return 1;
}

i32 CLobbyRoomScene::OnMemberTable(CNetClient*, const u8* payload, u32 n)
{
    RoomMemberTable* members = Members();
    if (!members || IsHost()) return 1;
    if (!room::ReadMemberTable(payload, n, members)) return 1;   // the old table stays
    const u32 count = room::MemberCount(*members);
    u32 own = count;
    for (u32 i = 1; i < count && own == count; ++i)
        if (std::strcmp(members->members[i].peerId, m_ownPeerId) == 0) own = i;
    if (Client()) Client()->SetRoomHost(false, i32(own));
    return 1;
}

i32 CLobbyRoomScene::OnMemberResult(CNetClient* sender, const u8* payload, u32 n)
{
    u32 result = 0;
    if (sender && IsHost() && room::ReadMemberResult(payload, n, &result)) AddMemberResult(sender->GetPeerId(), result);
    return 1;
}

i32 CLobbyRoomScene::OnRoomChat(CNetClient*, const u8* payload, u32 n)
{
    if (!payload || n < kChatLineBytes) return 1;
    u8 line[kChatLineBytes];
    std::memcpy(line, payload, sizeof line);
    room::TerminateChatLine(line);
    if (IsHost())
        if (CNetHost* host = Host())
            host->Broadcast(room::kChatMessage, peer::kSubType, line, sizeof line, peer::kStreamChannel);
    if (Context()) Context()->roomChat.AddLine(reinterpret_cast<const char*>(line));
    return 1;
}

void CLobbyRoomScene::OnPeerLeft(CNetClient* peer)
{
    RoomMemberTable* members = Members();
    if (!members || !peer) return;
    if (IsHost()) {
        // The receive thread, no host lock held: the table goes by the relay queue.
        if (room::RemoveMember(*members, peer->GetPeerId()) && Client() &&
            Client()->GetScreen() == u32(LobbyLayer::kRoom))
            SendMemberTable(0);
        return;
    }
    const bool hostLeft = !m_hostPeerId[0] || std::strcmp(peer->GetPeerId(), m_hostPeerId) == 0;
    if (m_lobbyMode == 0 && hostLeft) {
        DropSession(u32(LobbyLayer::kConnectOptions));
        return;
    }
    if (room::MemberCount(*members) == 0)
        DropSession(m_lobbyMode ? u32(LobbyLayer::kLobby) : u32(LobbyLayer::kConnectOptions));
}

void CLobbyRoomScene::SendChat(const char line[kChatLineBytes])
{
    u8 bytes[kChatLineBytes];
    std::memcpy(bytes, line, sizeof bytes);
    room::TerminateChatLine(bytes);
    if (CNetHost* host = Host())
        host->Broadcast(room::kChatMessage, peer::kSubType, bytes, sizeof bytes, peer::kStreamChannel);
    if (IsHost() && Context()) Context()->roomChat.AddLine(reinterpret_cast<const char*>(bytes));
}

i32 CLobbyRoomScene::SendRoomChat(const u8* line, u32 n)
{
    if (!line || n < kChatLineBytes) return 0;
    SendChat(reinterpret_cast<const char*>(line));
    return 1;
}

// ---------------------------------------------------------------- frames

i32 CLobbyRoomScene::Update(u32 argument)
{
    const f32 t = GetFrameTime();
    if (m_lobbyMode) {
        if (KeyTriggered(kF1Key)) ToggleOverlay();
        m_fade = std::clamp(m_fade + (m_overlayShown ? t : -t), 0.0f, kOverlaySeconds);
    } else {
        m_overlayShown = 0;
        m_fade = 0.0f;
    }
    // The lobby's tab rides up with the fade; placed before the layers
    // update, so this frame draws it where this frame's fade puts it.
    if (m_tab) m_tab->SetOffset(0.0f, m_fade / kOverlaySeconds * kTabTravel);
    // While the lobby is over the room, the lobby screen takes the input.
    if (m_overlayShown) {
        if (m_lobby) m_lobby->Update(argument);
    } else {
        Input();
        KeepEntryWithFocus();
        ChatEntry();
    }
    m_ticker -= kTickerSpeed * t;
    if (m_ticker < kTickerEnd) m_ticker = 0.0f;
    if (m_help) m_help->SetOffset(m_ticker, 0.0f);
    return CSceneResource::Update(argument);
}

void CLobbyRoomScene::ToggleOverlay()
{
    m_overlayShown ^= 1;
    // The text entry is the one of the screen taking the input: the lobby
    // screen focuses its own; back in the room, the room's chat again.
    LeaveField();
    if (!m_overlayShown && m_focus == kChatFocus) FocusField(2, 20.0f, kEntryBytes);
}

void CLobbyRoomScene::KeepEntryWithFocus()
{
    // Back from a battle or a window that switched the entry off, the chat
    // that kept the focus takes it again.
    CImeInput* ime = Ime();
    if (!ime) return;
    if (m_focus == kChatFocus && !ime->IsEnabled()) FocusField(2, 20.0f, kEntryBytes);
    else if (m_focus != kChatFocus && ime->IsEnabled()) LeaveField();
}

void CLobbyRoomScene::Input()
{
    RoomMemberTable* members = Members();
    CImeInput* ime = Ime();
    if (m_focus == kChatFocus && ime && ime->IsEnabled() && ime->GetTotalLength() > 0) return;
    const u32 count = ListCount();
    // Each key pressed this frame takes its step, in this order.
    for (const i32 delta : {-1, 1}) {
        if (!(delta < 0 ? menu::UpTriggered() : menu::DownTriggered())) continue;
        if (m_focus == kMemberFocus) {
            ListView view{m_selected, m_memberTop};
            view.Move(delta, count);
            m_selected = view.selected;
            m_memberTop = view.top;
        } else if (Context()) {
            Context()->roomChat.Scroll(delta);
        }
        PlaySound(kSelectSound);
    }
    if (menu::LeftTriggered() || menu::RightTriggered()) {
        m_focus = m_focus == kChatFocus ? kMemberFocus : kChatFocus;
        if (m_focus == kChatFocus) FocusField(2, 20.0f, kEntryBytes);
        else LeaveField();
        PlaySound(kSelectSound);
    }
    if (menu::Triggered(menu::kDecide) && m_focus == kMemberFocus && m_selected < count) {
        if (m_lobbyMode) {
            lobby::LobbyRoomRecord* own = Context()->state.ownRoom;
            if (own && MemberUserId(*own, m_selected) != 0) {
                ShowMessage(kWaiting);
                u8 id[4];
                PutLe32(id, MemberUserId(*own, m_selected));
                if (Client()) Client()->SendRequest(kMemberLookup, id, sizeof id);
            }
        } else if (Context() && Context()->userInformation) {
            // A direct room has no server to ask: the member's entry is shown.
            Context()->userInformation->OpenFromMember(members->members[m_selected]);
        }
        PlaySound(kDecideSound);
    }
    if (menu::Triggered(menu::kStart)) {
        // The menu button is the way out; cancel means nothing here.
        ShowMessage(!IsHost() ? kQuitRoom : m_lobbyMode ? kHostMenu : kDirectHostMenu);
        PlaySound(kDecideSound);
    }
}

void CLobbyRoomScene::ChatEntry()
{
    if (m_focus != kChatFocus) return;
    char text[kChatTextBytes];
    if (!TakeEntered(text, sizeof text, true)) return;
    char line[kChatLineBytes] = {};
    CopyField(line, kSpeakerBytes, Client() ? Client()->GetUserName() : nullptr);
    CopyField(line + kSpeakerBytes, kChatTextBytes, text);
    SendChat(line);
}

u32 CLobbyRoomScene::OnMessage(u32 code, intptr_t argument)
{
    // The message window hands a pointer to its answer: the option, or 1 for yes.
    const u32 answer = argument ? *reinterpret_cast<const u32*>(argument) : 0;
    constexpr u32 kYes = 1;
    const u32 count = Members() ? room::MemberCount(*Members()) : 0;
    switch (code) {
    case kHostMenu:
    case kDirectHostMenu:
        if (answer == 0) ShowMessage(count < 2 ? kTooFew : kBattleStart);
        else if (code == kHostMenu && answer == 1) {
            if (Context() && Context()->roomCreate) Context()->roomCreate->Open(CLobbyRoomCreate::kExistingRoom);
        } else ShowMessage(kCloseRoom);
        break;
    case kBattleStart:
        if (answer != kYes) break;
        if (count < 2) ShowMessage(kTooFew);
        else StartBattle();
        break;
    case kQuitRoom:
    case kCloseRoom:
        if (answer == kYes) Leave(code == kCloseRoom);
        break;
    default: break;
    }
    return 1;
}

void CLobbyRoomScene::StartBattle()
{
    CLobbyClient* client = Client();
    CNetHost* host = Host();
    if (!client) return;
    if (m_lobbyMode) {
        // Stops listening (without waiting: the client lock is held) and
        // tells the server.
        client->SetPlayStateAndNotify(1);
    } else {
        client->SetPlayStateRaw(1);
        LeaveField();
        SendMemberTable(1);
        // Nobody joins a starting battle: stop before announcing it.
        if (host) host->StopListeningLater();
    }
    u8 state[4];
    PutLe32(state, 1);
    if (host) host->Broadcast(room::kPlayStateMessage, peer::kSubType, state, sizeof state, peer::kStreamChannel);
}

void CLobbyRoomScene::Leave(bool closing)
{
    CLobbyClient* client = Client();
    if (!client) return;
    if (m_lobbyMode) client->SendEmpty(closing ? kCloseOwnRoom : kLeaveRoom);
    if (CNetHost* host = Host()) host->RequestCloseAll();
    LeaveField();
    client->SetScreen(m_lobbyMode ? u32(LobbyLayer::kLobby) : u32(LobbyLayer::kConnectOptions));
    CloseWindows();
    // The next room starts from an empty table.
    Reset();
}

// ---------------------------------------------------------------- drawing

void CLobbyRoomScene::DrawChatLog(f32 x, f32 y, f32 scale, u32 top, u32 rows, u32 fontSize, f32 lineHeight,
                                  u32 bytesPerLine, u32 flag)
{
    if (!Context()) return;
    // ChatRows reads only lines 0..count - 1 whatever top is.
    CLobbySceneBase::DrawChatLog(Context()->roomChat, x, y, scale, top, rows, fontSize, lineHeight, bytesPerLine,
                                 flag != 0);
}

void CLobbyRoomScene::DrawRoomChat(f32 x, f32 y, f32 scale)
{
    DrawChatLog(x, y, scale, 0, 8, kFontSize, kLineHeight, kChatBytesPerRow, 0);
}

u32 CLobbyRoomScene::ListCount() const
{
    // A lobby room lists the server's members, whether or not their
    // connections have reached the host's table.
    if (m_lobbyMode) {
        const lobby::LobbyRoomRecord* own = Context() ? Context()->state.ownRoom : nullptr;
        const i16 count = own ? own->MemberCount() : 0;
        return count > 0 ? std::min<u32>(u32(count), lobby::kMaxMembers) : 0;
    }
    const RoomMemberTable* members = Members();
    return members ? room::MemberCount(*members) : 0;
}

void CLobbyRoomScene::DrawMembers(f32)
{
    RoomMemberTable* members = Members();
    if (!members) return;
    const u32 count = ListCount();
    ListView view{m_selected, m_memberTop};
    view.Clamp(count);
    m_selected = view.selected;
    m_memberTop = view.top;
    char text[64];
    for (u32 i = m_memberTop; i < count && i < m_memberTop + kListRows; ++i) {
        const f32 y = f32(i - m_memberTop) * kLineHeight + kMemberY;
        if (m_lobbyMode) {
            const lobby::LobbyRoomRecord* own = Context()->state.ownRoom;
            const u32 id = own ? MemberUserId(*own, i) : 0;
            const lobby::LobbyUserRecord* user = id ? FindUser(id) : nullptr;
            if (!user) continue;
            char name[25];
            CopyField(name, sizeof name, user->Name());
            std::snprintf(text, sizeof text, "%s(%d)", name, i32(user->ListNumber()));
        } else {
            CopyField(text, sizeof members->members[i].name, members->members[i].name);
        }
        DrawPlain(kMemberX, y, kFontSize, text, i == m_selected || m_focus != kMemberFocus);
    }
    const i32 memberRange = m_lobbyMode ? i32(count) - i32(kListRows) : i32(count);
    const i32 chatRange = m_lobbyMode ? i32(Context()->roomChat.count) - 1 : i32(Context()->roomChat.count);
    // A direct room draws its bars always, a lobby room only when they scroll.
    DrawScrollBar(m_chatBar, kChatTrack, chatRange, Context()->roomChat.top, !m_lobbyMode);
    DrawScrollBar(m_memberBar, kMemberTrack, memberRange, m_memberTop, !m_lobbyMode);
}

void CLobbyRoomScene::DrawOverlay()
{
    if (!m_lobbyMode) return;
    if (m_fade <= 0.0f) {
        DrawLayer(m_tabOp);
        return;
    }
    // The lobby slides up over the room within 0.4 s; the tab was placed
    // by Update, the panels are the lobby screen's at the matching offset.
    DrawLayer(m_tab);
    if (m_lobby) m_lobby->DrawPanels(0.0f, m_fade / kOverlaySeconds * kPanelTravel + kPanelStart);
}

i32 CLobbyRoomScene::Draw(u32)
{
    DrawLayer(m_background);
    Tint(m_select1, m_focus == kChatFocus);
    Tint(m_select2, m_focus == kMemberFocus);
    DrawLayer(m_focus == kChatFocus ? m_select1 : m_select2);
    DrawLayer(m_help);
    DrawLayer(m_base);
    DrawKira(m_kira);
    const f32 s = TextScale();
    CImeInput* ime = Ime();
    const bool creating = Context() && Context()->roomCreate && Context()->roomCreate->IsOpen();
    if (!m_overlayShown && !creating && ime && ime->IsEnabled())
        ime->DrawWrapped(kEntryX * s, kEntryY * s, kFontSize, s, kEntryWidth * s, TextColour());
    if (Context()) {
        // The log's own top: it follows new lines while the newest show.
        Context()->roomChat.Clamp();
        DrawChatLog(kChatX, kChatY, s, Context()->roomChat.top, kChatRows, kFontSize, kLineHeight, kChatBytesPerRow,
                    1);
    }
    DrawMembers(s);
    DrawOverlay();
    return 1;
}
