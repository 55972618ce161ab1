// What the lobby client calls on its five screens and four windows. The
// client holds its lock around every call (they are never called without
// it), so an implementation takes no lock of its own for them and must not
// wait for another thread.
#pragma once

#include "engine/core/Types.h"
#include "game/network/LobbyWire.h"

#include <string>

class CLobbyClient;
class CNetClient;

// The screen index; the windows follow for Update and Draw.
enum class LobbyLayer : u32 {
    kEntrance = 0,
    kConnectOptions = 1,
    kLogin = 2,
    kLobby = 3,
    kRoom = 4,
    kMessage,
    kUserInformation,
    kRoomInformation,
    kRoomCreate,
};
inline constexpr u32 kLobbyScreenCount = 5;

// Event codes the client raises; 28 closes the waiting message.
enum LobbyEvent : u32 {
    kEventConnecting = 0,
    kEventJoining = 6,
    kEventLineTesting = 7,
    kEventServerLost = 8,
    kEventNoRoute = 9,
    kEventJoinFailed = 10,
    kEventBadHandshake = 12,
    kEventLoginRefused = 13,
    kEventRefused = 15,
    kEventLineTestDone = 18,
    kEventDone = 28,
};

// The room's member table (sent whole to the members as peer message
// 1027): i16 count, then 8 entries of 86 bytes.
struct RoomMember {
    char name[25];
    u32 results[3];
    u32 field;         // entry byte 37
    char peerId[45];   // entry byte 41
};
struct RoomMemberTable {
    i16 count = 0;
    RoomMember members[lobby::kMaxMembers] = {};
};

class ILobbyScreens {
public:
    virtual ~ILobbyScreens() = default;

    // Once, at the end of the client's Create: the screens load their
    // layouts with what the client now holds. 1, or 0 (Create fails).
    virtual i32 Load(CLobbyClient& /*client*/) { return 1; }

    // The message window: the event code with the screen to return to.
    virtual void ShowMessage(u32 code, u32 returnScreen) = 0;
    // The same with what went wrong in words under the message's own (what
    // failed, where); lines apart by '\n'.
    virtual void ShowNotice(u32 code, u32 returnScreen, const std::string& /*detail*/)
    {
        ShowMessage(code, returnScreen);
    }
    // It holds an event (below 28) not yet answered.
    virtual bool MessagePending() = 0;
    // What a watcher reads (under the client lock): the code of the message
    // waiting for an answer, or ~0u; the room chat lines kept.
    virtual u32 PendingMessageCode() { return ~0u; }
    virtual u32 RoomChatLines() { return 0; }

    // The room screen.
    virtual void RoomReset() = 0;
    // The server took the room away (kicked, or the room closed): the room's
    // windows close and its table empties.
    virtual void RoomLost() = 0;
    virtual void RoomMarkJoinedThroughServer() = 0;
    // The host adds its own battle result to its counters.
    virtual void RoomAddResult(u32 result) = 0;
    virtual void RoomBroadcastMemberTable() = 0;
    virtual i32 AcceptPeer(CNetClient* peer) = 0;
    virtual i32 OnRoomChat(CNetClient* sender, const u8* payload, u32 length) = 0;
    virtual i32 OnJoinReply(CNetClient* sender, const u8* payload, u32 length) = 0;
    virtual i32 OnMemberInfo(CNetClient* sender, const u8* payload, u32 length) = 0;
    virtual i32 OnMemberTable(CNetClient* sender, const u8* payload, u32 length) = 0;
    virtual i32 OnMemberResult(CNetClient* sender, const u8* payload, u32 length) = 0;
    virtual void OnPeerLeft(CNetClient* peer) = 0;
    virtual i32 SendRoomChat(const u8* line, u32 length) = 0;
    virtual void DrawRoomChat(f32 x, f32 y, f32 scale) = 0;

    // The lobby screen's chat log gets a line.
    virtual void LobbyChatLine(const char* line) = 0;

    // The windows over the screens.
    virtual void OpenUserInformation(const lobby::LobbyUserRecord& user, bool kickAllowed) = 0;
    virtual void OpenRoomInformation(const lobby::LobbyRoomRecord& room) = 0;
    // The room creation window's message slot: a room detail for the own room.
    virtual void RoomCreateMessage(u16 type, const u8* payload, u32 n) = 0;
    virtual bool IsOpen(LobbyLayer window) = 0;

    virtual void Update(LobbyLayer layer) = 0;
    // 1 when drawn.
    virtual i32 Draw(LobbyLayer layer) = 0;
};
