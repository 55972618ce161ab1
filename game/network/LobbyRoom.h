// The room screen (lobby screen 4): the players of one battle gather, chat
// and see the member list; the host starts the battle. Reached through the
// lobby server (lobby mode) or directly (connect option screen). The host
// is the hub: guests send to it, it relays chat and owns the member table
// (peer messages 1025-1027, RoomMembers.h).
//
// Peer events arrive on the peer threads through the lobby client, which
// holds its lock around every call here: nothing here joins or waits.
#pragma once

#include "engine/core/Types.h"
#include "game/network/LobbySceneBase.h"
#include "game/network/NetHost.h"

class CLobbyMainScene;

namespace lobby_screen {
inline constexpr const char* kRoomLayout = "Scene\\Network05.sce";
}

class CLobbyRoomScene : public CLobbySceneBase {
    ORV_VALUE_CLASS(CLobbyRoomScene)

public:
    enum Focus : u32 { kChatFocus = 0, kMemberFocus = 1 };
    // Dialog codes.
    enum : u32 {
        kJoinRefused = 10, kBadVersion = 12, kModeMismatch = 8, kTooFew = 16,
        kQuitRoom = 22, kCloseRoom = 23, kBattleStart = 24, kHostMenu = 26, kDirectHostMenu = 27, kWaiting = 3,
    };
    static constexpr f32 kOverlaySeconds = 0.4f;
    // Over the slide the tab moves this far up, and the lobby's panels from
    // kPanelStart up by kPanelTravel.
    static constexpr f32 kTabTravel = -650.0f, kPanelStart = 674.0f, kPanelTravel = -644.0f;
    static constexpr u32 kF1Key = 59;
    static constexpr u32 kChatRows = 24, kFontSize = 14, kChatBytesPerRow = 40;
    static constexpr f32 kLineHeight = 20.0f;
    static constexpr f32 kChatX = 48.0f, kChatY = 112.0f, kMemberX = 828.0f, kMemberY = 112.0f;

    CLobbyRoomScene() = default;
    // lobby: the lobby screen shown over a lobby server's room (F1).
    CLobbyRoomScene(CLobbyClient* client, LobbySceneContext* context, CLobbyMainScene* lobby = nullptr)
        : CLobbySceneBase(client, context), m_lobby(lobby)
    {
    }
    CLobbyRoomScene(const CLobbyRoomScene& other);
    ~CLobbyRoomScene() override = default;

    i32 Initialize(intptr_t argument) override;
    i32 Update(u32 argument) override;
    u32 OnMessage(u32 code, intptr_t answer) override;
    i32 Draw(u32 argument) override;

    // What the lobby client forwards (the screen set's room calls).
    void Reset();
    // The room is gone under us (lobby server): windows closed, table emptied.
    void Lose()
    {
        CloseWindows();
        Reset();
    }
    // 1: a room of the lobby server; 0: a direct room. Set by whoever
    // enters or makes the room; Reset keeps it.
    void SetLobbyMode(u32 mode) { m_lobbyMode = mode ? 1 : 0; }
    void AddResult(u32 result) { AddMemberResult(nullptr, result); }
    void BroadcastMemberTable() { SendMemberTable(1); }
    i32 AcceptPeer(CNetClient* peer);
    i32 OnRoomChat(CNetClient* sender, const u8* payload, u32 n);
    i32 OnJoinReply(CNetClient* sender, const u8* payload, u32 n);
    i32 OnMemberInfo(CNetClient* sender, const u8* payload, u32 n);
    i32 OnMemberTable(CNetClient* sender, const u8* payload, u32 n);
    i32 OnMemberResult(CNetClient* sender, const u8* payload, u32 n);
    void OnPeerLeft(CNetClient* peer);
    i32 SendRoomChat(const u8* line, u32 n);
    // (x, y) in layout units at the caller's scale: the hosted selects'.
    void DrawRoomChat(f32 x, f32 y, f32 scale);

    // The host's own table: entry 0 with the name and peer ID (generated
    // when null). Called by what makes this player host: the connect
    // option screen and the room creation window.
    void BecomeHost(const char* name, const char* peerId);
    // 1 keeps the peer, 0 drops it (1025 refused sent).
    i32 OnPeerConnected(const char* address, const char* peerId);
    // The host alone adds its line at once; guests get it back relayed.
    void SendChat(const char line[lobby_scene::kChatLineBytes]);
    // 1: Broadcast (takes the host lock); 0: the host's relay queue (a
    // network thread that must not wait for the host lock).
    void SendMemberTable(u32 lockFlag);
    // Null peerId: the own member.
    void AddMemberResult(const char* peerId, u32 result);
    // Rows newest first (flag 0) or from the top line (flag 1).
    void DrawChatLog(f32 x, f32 y, f32 scale, u32 top, u32 rows, u32 fontSize, f32 lineHeight, u32 bytesPerLine,
                     u32 flag);

    u32 GetFocus() const { return m_focus; }
    u32 GetSelected() const { return m_selected; }
    f32 GetFade() const { return m_fade; }
    u32 GetLobbyMode() const { return m_lobbyMode; }
    bool OverlayShown() const { return m_overlayShown != 0; }
    const char* OwnPeerId() const { return m_ownPeerId; }
    const char* HostPeerId() const { return m_hostPeerId; }
    // The own value of the member entry's field (the play record).
    u32 OwnField() const;

protected:
    void FindLayers() override;

private:
    RoomMemberTable* Members() const;
    CNetHost* Host() const;
    bool IsHost() const;
    void ShowMessage(u32 code);
    // Indices 0, the member list focused, the room's chat emptied, the
    // lobby's lists off the room: a room entered anew.
    void StartView();
    void Input();
    // The entry is on exactly while the chat has the focus.
    void KeepEntryWithFocus();
    void ChatEntry();
    void StartBattle();
    void Leave(bool closing);
    // The session closed and back to screen 3 (lobby) or 1 (direct).
    void DropSession(u32 screen);
    // The user and room information windows shut with the room.
    void CloseWindows();
    void ToggleOverlay();
    // Rows of the member list: the room record's members in a lobby room,
    // the member table's in a direct one.
    u32 ListCount() const;
    void DrawMembers(f32 s);
    void DrawOverlay();

    u32 m_focus = kMemberFocus;
    f32 m_fade = 0.0f;
    u32 m_memberTop = 0, m_selected = 0;
    f32 m_ticker = 0.0f;
    u32 m_lobbyMode = 0;
    u32 m_overlayShown = 0;
    CLobbyMainScene* m_lobby = nullptr;
    char m_ownPeerId[peer::kPeerIdBytes] = {};
    char m_hostPeerId[peer::kPeerIdBytes] = {};
    CSceneObject* m_background = nullptr;   // "bg02"
    CSceneObject* m_base = nullptr;
    CSceneObject* m_mowa = nullptr;
    CSceneObject* m_kira = nullptr;
    CSceneObject* m_help = nullptr;   // "help_room"
    CSceneObject* m_tabOp = nullptr;
    CSceneObject* m_tab = nullptr;
    CSceneObject* m_select1 = nullptr;
    CSceneObject* m_select2 = nullptr;
    CSceneObject* m_chatBar = nullptr;
    CSceneObject* m_memberBar = nullptr;
};
