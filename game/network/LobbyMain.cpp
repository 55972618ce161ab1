#include "game/network/LobbyMain.h"

#include "engine/platform/FrameTime.h"
#include "engine/platform/app/ImeInput.h"
#include "engine/scene/LayerState.h"
#include "engine/scene/SceneObject.h"
#include "game/network/LobbyClient.h"
#include "game/network/LobbyMessage.h"
#include "game/network/LobbyRoomCreate.h"
#include "game/scenes/MenuScene.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

using namespace lobby_scene;
using namespace lobby_screen;

namespace {

const lobby::LobbyRoomRecord* RoomAt(const LobbySceneContext* context, u32 i)
{
    const LobbyRoomList* rooms = context ? context->state.rooms : nullptr;
    return rooms && i < rooms->size() ? (*rooms)[i].get() : nullptr;
}

const lobby::LobbyUserRecord* UserAt(const LobbySceneContext* context, u32 i)
{
    const LobbyUserList* users = context ? context->state.users : nullptr;
    return users && i < users->size() ? (*users)[i].get() : nullptr;
}

// A name field of the records: at most 24 bytes, terminated here whatever
// the wire left in it.
void NameOf(const u8* data, char (&out)[lobby::kNameBytes])
{
    CopyField(out, sizeof out, reinterpret_cast<const char*>(data));
}

}  // namespace

CLobbyMainScene::CLobbyMainScene(const CLobbyMainScene& other)
    : CLobbySceneBase(other), m_focus(other.m_focus), m_rooms(other.m_rooms), m_users(other.m_users),
      m_ticker(other.m_ticker)
{
    FindLayers();
}

void CLobbyMainScene::FindLayers()
{
    m_background = FindLayer("bg02");
    m_base = FindLayer("Base");
    m_chat = FindLayer("chat");
    m_mowa = FindLayer("mowa");
    m_kira = FindLayer("kira");
    m_password = FindLayer("chat_loc");
    m_battle = FindLayer("vs");
    m_userMark = FindLayer("chat_in");
    m_help = FindLayer("help_lobby");
    m_select[0] = FindLayer("Select1");
    m_select[1] = FindLayer("Select2");
    m_select[2] = FindLayer("Select3");
    m_bars[0] = FindLayer("chat_bar");
    m_bars[1] = FindLayer("chat_bar2");
    m_bars[2] = FindLayer("chat_bar3");
    m_roomIcon = FindLayer("room_a");
}

i32 CLobbyMainScene::Initialize(intptr_t) { return LoadLayout(kLobbyMainLayout); }

u32 CLobbyMainScene::RoomCount() const
{
    return Context() && Context()->state.rooms ? u32(Context()->state.rooms->size()) : 0;
}

u32 CLobbyMainScene::UserCount() const
{
    return Context() && Context()->state.users ? u32(Context()->state.users->size()) : 0;
}

void CLobbyMainScene::ClampLists()
{
    // The receive thread removes rooms and users between frames.
    m_rooms.Clamp(RoomCount());
    m_users.Clamp(UserCount());
    if (Context()) Context()->lobbyChat.Clamp();
}

bool CLobbyMainScene::ChatHasText() const
{
    const CImeInput* ime = Ime();
    return m_focus == kFocusChat && ime && ime->IsEnabled() && ime->GetTotalLength() > 0;
}

bool CLobbyMainScene::RoomCreateOpen() const
{
    // Its result word: 1 while it is open or waits for the server.
    return Context() && Context()->roomCreate && Context()->roomCreate->IsAccepted() != 0;
}

void CLobbyMainScene::AddChatLine(const char* line)
{
    if (Context() && line) Context()->lobbyChat.AddLine(line);
}

void CLobbyMainScene::Step(i32 delta)
{
    // Every press sounds, as on the other screens, also at an end.
    if (m_focus == kFocusRooms) m_rooms.Move(delta, RoomCount());
    else if (m_focus == kFocusUsers) m_users.Move(delta, UserCount());
    else if (Context()) Context()->lobbyChat.Scroll(delta);
    PlaySound(kSelectSound);
}

void CLobbyMainScene::Turn(i32 delta)
{
    m_focus = (m_focus + kFocusCount + u32(delta)) % kFocusCount;
    if (m_focus == kFocusChat) FocusField(2, 20.0f, kChatTyped);
    else LeaveField();
    PlaySound(kSelectSound);
}

void CLobbyMainScene::Decide()
{
    CLobbySceneMessage* message = Context() ? Context()->message : nullptr;
    if (m_focus == kFocusUsers) {
        const lobby::LobbyUserRecord* user = UserAt(Context(), m_users.selected);
        if (!user) return;
        if (message) message->Show(kUserWaiting, this);
        u8 id[4];
        PutLe32(id, user->Id());
        if (Client()) Client()->SendRequest(lobby::kUserDetail, id, sizeof id);
        PlaySound(kDecideSound);
    } else if (m_focus == kFocusRooms) {
        const lobby::LobbyRoomRecord* room = RoomAt(Context(), m_rooms.selected);
        if (!room) return;
        const lobby::LobbyRoomRecord* own = Context()->state.ownRoom;
        const bool inside = own && own->Id() == room->Id() && Client() &&
                            Client()->GetScreen() == u32(LobbyLayer::kRoom);
        if (room->data[kRoomPasswordFlagAt] != 0 && !inside) {
            if (message) message->ShowWithValue(kPasswordEntry, room->Id(), this);
        } else {
            if (message) message->Show(kRoomWaiting, this);
            u8 id[4];
            PutLe32(id, room->Id());
            if (Client()) Client()->SendRequest(lobby::kRoomDetailAsked, id, sizeof id);
        }
        PlaySound(kDecideSound);
    }
}

void CLobbyMainScene::UpdateInput()
{
    if (ChatHasText()) return;
    // Each key pressed this frame takes its step, in this order: a move and
    // a decide in one frame decide on the moved selection.
    if (menu::UpTriggered()) Step(-1);
    if (menu::DownTriggered()) Step(1);
    if (menu::LeftTriggered()) Turn(-1);
    if (menu::RightTriggered()) Turn(1);
    if (menu::Triggered(menu::kDecide)) Decide();
    if (menu::Triggered(menu::kStart) && Client() && Client()->GetScreen() == u32(LobbyLayer::kLobby)) {
        if (Context() && Context()->message) Context()->message->Show(kLobbyMenu, this);
        PlaySound(kDecideSound);
    }
}

void CLobbyMainScene::UpdateChat()
{
    if (m_focus != kFocusChat) return;
    char text[kChatTextBytes];
    if (!TakeEntered(text, sizeof text, true)) return;
    // Shown when the server relays it back.
    char line[lobby_scene::kChatLineBytes] = {};
    if (const lobby::LobbyUserRecord* own = Context() ? Context()->state.ownUser : nullptr)
        CopyField(line, kSpeakerBytes, own->Name());
    CopyField(line + kSpeakerBytes, kChatTextBytes, text);
    if (Client()) Client()->Send(kChatMessage, line, sizeof line);
}

i32 CLobbyMainScene::Update(u32 argument)
{
    ClampLists();
    UpdateInput();
    // The message window may have turned the entry off.
    if (m_focus == kFocusChat && Ime() && !Ime()->IsEnabled()) FocusField(2, 20.0f, kChatTyped);
    UpdateChat();
    m_ticker -= kTickerSpeed * GetFrameTime();
    if (m_ticker < kTickerEnd) m_ticker = 0.0f;
    ClampLists();
    return CSceneResource::Update(argument);
}

u32 CLobbyMainScene::OnMessage(u32 code, intptr_t answer)
{
    const u32 value = answer ? *reinterpret_cast<const u32*>(answer) : 0;
    if (code == kLobbyMenu) {
        if (value == 0 && Context() && Context()->roomCreate) Context()->roomCreate->Open(CLobbyRoomCreate::kNewRoom);
        else if (value == 1 && Context() && Context()->message) Context()->message->Show(kNetworkEnd, this);
    } else if (code == kNetworkEnd && value == 1 && Client()) {
        Client()->SetExitRequest(1);
    }
    return 1;
}

void CLobbyMainScene::DrawAt(CSceneObject* layer, f32 x, f32 y)
{
    if (!layer) return;
    CLayerState extra;
    extra.position.x = x;
    extra.position.y = y;
    layer->Draw(&extra);
}

void CLobbyMainScene::DrawBar(CSceneObject* layer, f32 x, f32 track, i32 range, u32 top)
{
    if (!layer || !ScrollBarShown(range, top)) return;
    DrawAt(layer, x, ScrollBarOffset(track, range, top));
}

i32 CLobbyMainScene::Draw(u32)
{
    DrawLayer(m_background);
    DrawAt(m_help, m_ticker, 0.0f);
    DrawLayer(m_base);
    DrawKira(m_kira);
    DrawPanels(0.0f, 0.0f);
    return 1;
}

void CLobbyMainScene::DrawRooms(f32 ox, f32 oy)
{
    const u32 count = RoomCount();
    for (u32 i = m_rooms.top; i < count && i < m_rooms.top + kListRows; ++i) {
        const lobby::LobbyRoomRecord* room = RoomAt(Context(), i);
        const f32 row = f32(i - m_rooms.top) * kRowHeight + oy;
        char name[lobby::kNameBytes];
        NameOf(room->data + 4, name);
        DrawPlain(ox + 68.0f, row + 112.0f, kFontSize, name,
                  m_focus == kFocusRooms && i == m_rooms.selected);
        if (room->State() != 0) DrawAt(m_battle, ox + 44.0f, row + 111.0f);
        DrawAt(m_roomIcon, ox + 56.0f, row + 111.0f);
        if (room->data[kRoomPasswordFlagAt] != 0) DrawAt(m_password, ox + 32.0f, row + 110.0f);
    }
}

void CLobbyMainScene::DrawUsers(f32 ox, f32 oy)
{
    const u32 count = UserCount();
    for (u32 i = m_users.top; i < count && i < m_users.top + kListRows; ++i) {
        const lobby::LobbyUserRecord* user = UserAt(Context(), i);
        const f32 row = f32(i - m_users.top) * kRowHeight + oy;
        char name[lobby::kNameBytes];
        NameOf(user->data + lobby::kUserNameAt, name);
        char text[lobby::kNameBytes + 16];
        std::snprintf(text, sizeof text, "%s(%d)", name, i32(user->ListNumber()));
        DrawPlain(ox + 828.0f, row + 112.0f, kFontSize, text,
                  i == m_users.selected);
        if (user->data[kUserMarkAt] != 0) DrawAt(m_userMark, ox + 814.0f, row + 112.0f);
    }
}

void CLobbyMainScene::DrawPanels(f32 ox, f32 oy)
{
    ClampLists();
    const f32 s = TextScale();
    DrawAt(m_select[m_focus], ox, oy);
    DrawAt(m_chat, ox, oy);
    DrawRooms(ox, oy);
    const CLobbySceneMessage* message = Context() ? Context()->message : nullptr;
    const bool password = message && message->IsShowing() && message->IsCode(kPasswordEntry);
    if (!RoomCreateOpen() && !password)
        if (CImeInput* ime = Ime(); ime && ime->IsEnabled())
            ime->DrawWrapped((ox + 388.0f) * s, (oy + 688.0f) * s, kFontSize, s, 678.0f * s, TextColour());
    if (Context()) {
        const ChatLog& log = Context()->lobbyChat;
        DrawChatLog(log, ox + 296.0f, oy + 112.0f, TextScale(), log.top, kChatRows, kFontSize, kRowHeight, kChatWrapBytes,
                    true);
    }
    DrawUsers(ox, oy);
    const ChatLog* log = Context() ? &Context()->lobbyChat : nullptr;
    DrawBar(m_bars[0], ox, kListTrack, i32(RoomCount()) - i32(kListRows), m_rooms.top);
    DrawBar(m_bars[1], ox, kChatTrack, log ? i32(log->count) - 1 : -1, log ? log->top : 0);
    DrawBar(m_bars[2], ox, kListTrack, i32(UserCount()) - i32(kListRows), m_users.top);
}
