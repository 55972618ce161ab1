// The lobby itself after login: the server's rooms, the lobby chat and the
// users. The room screen draws the same panels as an overlay at an offset
// and runs this Update while it shows.
#pragma once

#include "engine/core/Types.h"
#include "game/network/LobbySceneBase.h"
#include "game/network/LobbyWire.h"

namespace lobby_screen {

inline constexpr const char* kLobbyMainLayout = "Scene\\Network04.sce";

// Room data byte read as the password flag, user data byte as the mark
// (the entry's last byte).
inline constexpr u32 kRoomPasswordFlagAt = 29;
inline constexpr u32 kUserMarkAt = 41;

}  // namespace lobby_screen

class CLobbyMainScene : public CLobbySceneBase {
    ORV_VALUE_CLASS(CLobbyMainScene)

public:
    enum Focus : u32 { kFocusRooms = 0, kFocusChat = 1, kFocusUsers = 2, kFocusCount = 3 };
    // Dialogs raised here.
    static constexpr u32 kUserWaiting = 3, kRoomWaiting = 4, kPasswordEntry = 19;
    static constexpr u32 kLobbyMenu = 25, kNetworkEnd = 21;
    static constexpr u16 kChatMessage = 1020;
    static constexpr u32 kFontSize = 14;
    static constexpr f32 kRowHeight = 20.0f;
    static constexpr u32 kChatRows = 24, kChatWrapBytes = 40, kChatTyped = 40;
    static constexpr f32 kTickerSpeed = 80.0f, kTickerEnd = -1200.0f;
    static constexpr f32 kListTrack = 542.0f, kChatTrack = 474.0f;

    CLobbyMainScene() = default;
    CLobbyMainScene(CLobbyClient* client, LobbySceneContext* context) : CLobbySceneBase(client, context) {}
    // The layers are the copy's own: looked up again.
    CLobbyMainScene(const CLobbyMainScene& other);
    ~CLobbyMainScene() override = default;

    i32 Initialize(intptr_t argument) override;
    i32 Update(u32 argument) override;
    // The answers of the lobby menu (25) and "NetworkEnd" (21).
    u32 OnMessage(u32 code, intptr_t answer) override;
    i32 Draw(u32 argument) override;
    // The lists and chat, (ox, oy) layout units off their places.
    void DrawPanels(f32 ox, f32 oy);
    // A lobby chat line as the server relayed it (281 bytes).
    void AddChatLine(const char* line);

    u32 GetFocus() const { return m_focus; }
    const lobby_scene::ListView& Rooms() const { return m_rooms; }
    const lobby_scene::ListView& Users() const { return m_users; }
    f32 GetTicker() const { return m_ticker; }

    // The selections against the lists as they stand now.
    void ClampLists();

protected:
    void FindLayers() override;

private:
    void UpdateInput();
    void Step(i32 delta);
    void Turn(i32 delta);
    void Decide();
    void UpdateChat();
    u32 RoomCount() const;
    u32 UserCount() const;
    bool ChatHasText() const;
    bool RoomCreateOpen() const;
    void DrawRooms(f32 ox, f32 oy);
    void DrawUsers(f32 ox, f32 oy);
    static void DrawAt(CSceneObject* layer, f32 x, f32 y);
    static void DrawBar(CSceneObject* layer, f32 x, f32 track, i32 range, u32 top);

    u32 m_focus = kFocusRooms;
    lobby_scene::ListView m_rooms;
    lobby_scene::ListView m_users;
    f32 m_ticker = 0.0f;

    CSceneObject* m_background = nullptr;
    CSceneObject* m_base = nullptr;
    CSceneObject* m_chat = nullptr;
    CSceneObject* m_mowa = nullptr;
    CSceneObject* m_kira = nullptr;
    CSceneObject* m_password = nullptr;   // "chat_loc"
    CSceneObject* m_battle = nullptr;     // "vs"
    CSceneObject* m_userMark = nullptr;   // "chat_in"
    CSceneObject* m_help = nullptr;       // "help_lobby"
    CSceneObject* m_select[kFocusCount] = {};
    CSceneObject* m_bars[kFocusCount] = {};   // rooms, chat, users
    CSceneObject* m_roomIcon = nullptr;       // "room_a"
};
