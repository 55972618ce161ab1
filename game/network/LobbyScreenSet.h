// The lobby's real screens and windows, made for one lobby client (the
// network scene hands them to CLobbyClient::Create; tests give doubles).
//
// CLobbyScreenSet owns the five screens (entrance, connect option, login,
// lobby main, room), the message window and the three other windows, and
// the context they share. The client calls it under its lock; it routes
// each call to the scene concerned.
#pragma once

#include "game/network/LobbyMessage.h"
#include "game/network/LobbyRoomCreate.h"
#include "game/network/LobbyRoomInformation.h"
#include "game/network/LobbyRoom.h"
#include "game/network/LobbySceneBase.h"
#include "game/network/LobbyUserInformation.h"
#include "game/network/LobbyScreens.h"

#include <memory>

class CLobbyClient;
class CLobbyMainScene;

// ---------------------------------------------------------------- the set

class CLobbyScreenSet : public ILobbyScreens {
public:
    explicit CLobbyScreenSet(CLobbyClient& client);
    ~CLobbyScreenSet() override;

    // The context filled from the client, then every scene's Initialize;
    // 0 when one fails.
    i32 Load(CLobbyClient& client) override;

    void ShowMessage(u32 code, u32 returnScreen) override;
    void ShowNotice(u32 code, u32 returnScreen, const std::string& detail) override;
    bool MessagePending() override;
    u32 PendingMessageCode() override;
    u32 RoomChatLines() override { return m_context.roomChat.count; }

    void RoomReset() override { m_room->Reset(); }
    void RoomLost() override { m_room->Lose(); }
    void RoomMarkJoinedThroughServer() override { m_room->SetLobbyMode(1); }
    void RoomAddResult(u32 result) override { m_room->AddResult(result); }
    void RoomBroadcastMemberTable() override { m_room->BroadcastMemberTable(); }
    i32 AcceptPeer(CNetClient* peer) override { return m_room->AcceptPeer(peer); }
    i32 OnRoomChat(CNetClient* s, const u8* p, u32 n) override { return m_room->OnRoomChat(s, p, n); }
    i32 OnJoinReply(CNetClient* s, const u8* p, u32 n) override { return m_room->OnJoinReply(s, p, n); }
    i32 OnMemberInfo(CNetClient* s, const u8* p, u32 n) override { return m_room->OnMemberInfo(s, p, n); }
    i32 OnMemberTable(CNetClient* s, const u8* p, u32 n) override { return m_room->OnMemberTable(s, p, n); }
    i32 OnMemberResult(CNetClient* s, const u8* p, u32 n) override { return m_room->OnMemberResult(s, p, n); }
    void OnPeerLeft(CNetClient* peer) override { m_room->OnPeerLeft(peer); }
    i32 SendRoomChat(const u8* line, u32 n) override { return m_room->SendRoomChat(line, n); }
    void DrawRoomChat(f32 x, f32 y, f32 scale) override { m_room->DrawRoomChat(x, y, scale); }

    // Into the lobby chat log (281 bytes as the client read it).
    void LobbyChatLine(const char* line) override;

    void OpenUserInformation(const lobby::LobbyUserRecord& user, bool kickAllowed) override;
    void OpenRoomInformation(const lobby::LobbyRoomRecord& room) override;
    void RoomCreateMessage(u16 type, const u8* payload, u32 n) override;
    bool IsOpen(LobbyLayer window) override;

    void Update(LobbyLayer layer) override;
    i32 Draw(LobbyLayer layer) override;

    LobbySceneContext& Context() { return m_context; }
    CLobbySceneMessage& Message() { return *m_message; }
    // The scene of a layer (screen or window); null past them.
    CLobbySceneBase* Scene(LobbyLayer layer) const;

private:
    LobbySceneContext m_context;
    std::unique_ptr<CLobbySceneBase> m_screens[kLobbyScreenCount];
    CLobbyMainScene* m_lobby = nullptr;   // m_screens[kLobby]
    CLobbyRoomScene* m_room = nullptr;    // m_screens[kRoom]
    std::unique_ptr<CLobbySceneMessage> m_message;
    std::unique_ptr<CLobbyUserInformation> m_userInformation;
    std::unique_ptr<CLobbyRoomInformation> m_roomInformation;
    std::unique_ptr<CLobbyRoomCreate> m_roomCreate;
};

std::unique_ptr<ILobbyScreens> CreateLobbyScreens(CLobbyClient& client);
