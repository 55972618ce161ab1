#include "game/network/LobbyScreenSet.h"

namespace {

// Until the screens are built: nothing shows, nothing is accepted.
class NoScreens final : public ILobbyScreens {
public:
    void ShowMessage(u32, u32) override {}
    bool MessagePending() override { return false; }
    void RoomReset() override {}
    void RoomMarkJoinedThroughServer() override {}
    void RoomAddResult(u32) override {}
    void RoomBroadcastMemberTable() override {}
    i32 AcceptPeer(CNetClient*) override { return 0; }
    i32 OnRoomChat(CNetClient*, const u8*, u32) override { return 1; }
    i32 OnJoinReply(CNetClient*, const u8*, u32) override { return 1; }
    i32 OnMemberInfo(CNetClient*, const u8*, u32) override { return 1; }
    i32 OnMemberTable(CNetClient*, const u8*, u32) override { return 1; }
    i32 OnMemberResult(CNetClient*, const u8*, u32) override { return 1; }
    void OnPeerLeft(CNetClient*) override {}
    i32 SendRoomChat(const u8*, u32) override { return 0; }
    void DrawRoomChat(f32, f32) override {}
    void LobbyChatLine(const char*) override {}
    void OpenUserInformation(const lobby::LobbyUserRecord&, bool) override {}
    void OpenRoomInformation(const lobby::LobbyRoomRecord&) override {}
    void RoomCreateMessage(u16, const u8*, u32) override {}
    bool IsOpen(LobbyLayer) override { return false; }
    void Update(LobbyLayer) override {}
    i32 Draw(LobbyLayer) override { return 1; }
};

}  // namespace

std::unique_ptr<ILobbyScreens> CreateLobbyScreens(CLobbyClient&) { return std::make_unique<NoScreens>(); }
