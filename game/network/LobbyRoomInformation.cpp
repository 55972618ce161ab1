#include "game/network/LobbyRoomInformation.h"

#include "engine/graphics/FontTexture.h"
#include "engine/scene/SceneObject.h"
#include "game/scenes/MenuScene.h"

#include <cstdio>
#include <cstring>

using namespace lobby_scene;

namespace lobby_screen {

CSceneObject* LevelPicture(CSceneObject* const (&levels)[lobby::kLevelRangeCount], u32 index)
{
    return index < lobby::kLevelRangeCount ? levels[index] : nullptr;
}

}  // namespace lobby_screen

CLobbyRoomInformation::CLobbyRoomInformation(const CLobbyRoomInformation& other)
    : CLobbySceneBase(other), m_cursor(other.m_cursor), m_visible(other.m_visible), m_roomId(other.m_roomId)
{
    FindLayers();
}

void CLobbyRoomInformation::FindLayers()
{
    m_base = FindLayer("Base");
    m_test[0] = FindLayer("Btest1");
    m_test[1] = FindLayer("Btest2");
    m_enter[0] = FindLayer("Broomin1");
    m_enter[1] = FindLayer("Broomin2");
    for (u32 i = 0; i < lobby::kLevelRangeCount; ++i) m_levels[i] = FindLayer(lobby::kLevelRangePictures[i]);
}

i32 CLobbyRoomInformation::Initialize(intptr_t) { return LoadLayout(lobby_screen::kRoomInformationLayout); }

void CLobbyRoomInformation::Open(u32 roomId)
{
    m_roomId = roomId;
    m_cursor = kNoAction;
    m_visible = 1;
}

const lobby::LobbyRoomRecord* CLobbyRoomInformation::Room() const
{
    return FindRoom(m_roomId);
}

bool CLobbyRoomInformation::Joinable() const
{
    const LobbySceneContext* context = Context();
    const lobby::LobbyUserRecord* own = context ? context->state.ownUser : nullptr;
    const u32 screen = Client() ? Client()->GetScreen() : 0;
    return lobby::CanJoinRoom(Room(), own, screen);
}

i32 CLobbyRoomInformation::Update(u32 argument)
{
    if (!m_visible) return 1;
    if (!Room()) {
        m_visible = 0;
        return 1;
    }
    if (menu::UpTriggered()) {
        m_cursor = m_cursor <= 0 ? kNoAction : m_cursor - 1;
        PlaySound(kSelectSound);
    } else if (menu::DownTriggered()) {
        m_cursor = m_cursor >= kNoAction ? kLineTest : m_cursor + 1;
        PlaySound(kSelectSound);
    }
    if (menu::Triggered(menu::kDecide)) {
        Decide();
        PlaySound(kDecideSound);
    } else if (menu::Triggered(menu::kCancel)) {
        m_visible = 0;
        PlaySound(kCancelSound);
    }
    return CSceneResource::Update(argument);
}

void CLobbyRoomInformation::Decide()
{
    if (!Joinable() || m_cursor == kNoAction) {
        m_visible = 0;
        return;
    }
    CLobbyClient* client = Client();
    u8 payload[4 + lobby::kEntryBytes] = {};
    PutLe32(payload, m_roomId);
    if (m_cursor == kLineTest) {
        if (client) client->SendRequest(kLineTestMessage, payload, 4);
        return;
    }
    std::memcpy(payload + 4, Context()->state.ownUser->data + lobby::kUserIdAt, lobby::kEntryBytes);
    if (client) client->SendRequest(kEnterMessage, payload, sizeof payload);
    m_visible = 0;
}

i32 CLobbyRoomInformation::Draw(u32)
{
    if (!m_visible) return 1;
    DrawLayer(m_base);
    if (const lobby::LobbyRoomRecord* room = Room()) DrawRoom(*room);
    return 1;
}

void CLobbyRoomInformation::DrawRoom(const lobby::LobbyRoomRecord& room)
{
    // The server's fields need not be terminated: each is cut inside its own.
    char name[lobby::kRoomNameField] = {};
    CopyField(name, sizeof name, reinterpret_cast<const char*>(room.data + lobby::kRoomNameAt));
    char comment[lobby::kRoomCommentField] = {};
    CopyField(comment, sizeof comment, reinterpret_cast<const char*>(room.data + lobby::kRoomCommentAt));
    if (CFontTexture* font = Font()) {
        const f32 k = TextScale();
        font->DrawTextAlignedOutlinedFlags(kNameX * k, kNameY * k, TextColour(), OutlineColour(), kNameSize, k, 1.0f,
                                           name, kTextTop | kTextCentre);
        // The line-breaking box: its line feeds and 30 bytes a line.
        font->DrawTextOutlinedBox(kCommentX * k, kCommentY * k, kCommentWidth * k, kCommentLineAdvance,
                                  lobby::kRoomCommentLimit, TextColour(), OutlineColour(), kTextSize, k, 1.0f, comment,
                                  kTextTopLeft);
    }
    if (CSceneObject* level = lobby_screen::LevelPicture(m_levels, lobby::LevelRangeOf(room))) {
        CLayerState extra;
        extra.position.x = kLevelX;
        extra.position.y = kLevelY;
        level->Draw(&extra);
    }
    // The host entry, then the members right after it: count entries in
    // all, never past the block however the server counts. Each keeps its
    // row: a member not in the user list leaves his empty.
    const i16 count = room.MemberCount();
    for (i32 i = 0; i < count && i < i32(lobby::kMaxMembers); ++i) {
        const u32 id = GetLe32(room.data + lobby::kHostEntryAt + u32(i) * lobby::kEntryBytes);
        const lobby::LobbyUserRecord* user = FindUser(id);
        if (!user) continue;
        char name[lobby::kNameBytes] = {};
        CopyField(name, sizeof name, user->Name());
        char text[64];
        std::snprintf(text, sizeof text, "%s(%d)", name, i32(user->ListNumber()));
        DrawOutlined(kMemberX, kMemberY + kMemberStep * f32(i), kTextSize, text);
    }
    if (!Joinable()) return;
    DrawLayer(m_test[m_cursor == kLineTest ? 1 : 0]);
    DrawLayer(m_enter[m_cursor == kEnterRoom ? 1 : 0]);
}
