// Recording stand-ins for the lobby client's screens and peer side, and
// builders of server payloads.
#pragma once

#include "game/network/LobbyClient.h"
#include "engine/core/Endian.h"
#include "game/network/LobbyWire.h"
#include "host/net/FakeNet.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

namespace lobby_test {

// The user id the client under test logs in with.
inline constexpr u32 kOwnId = 7;

// Everything the client told its screens, one line per call.
class RecordingScreens final : public ILobbyScreens {
public:
    struct Shared {
        std::mutex mutex;
        std::vector<std::string> calls;
        std::vector<u32> events;
        std::vector<std::string> details;   // each event's words (ShowNotice), else empty
        std::vector<std::string> chat;
        bool pending = false;
        bool open[4] = {};
        u32 updates[9] = {};
        std::function<void()> onUpdate;   // called inside Update, under the client lock
    };

    explicit RecordingScreens(Shared& shared) : m(shared) {}

    void ShowMessage(u32 code, u32 screen) override
    {
        Note("show " + std::to_string(code) + " " + std::to_string(screen));
        std::lock_guard lock(m.mutex);
        m.events.push_back(code);
        m.details.emplace_back();
        m.pending = code < kEventDone;
    }
    void ShowNotice(u32 code, u32 screen, const std::string& detail) override
    {
        ShowMessage(code, screen);
        std::lock_guard lock(m.mutex);
        m.details.back() = detail;
    }
    bool MessagePending() override
    {
        std::lock_guard lock(m.mutex);
        return m.pending;
    }
    void RoomReset() override { Note("room-reset"); }
    void RoomLost() override { Note("room-lost"); }
    void RoomMarkJoinedThroughServer() override { Note("room-joined-through-server"); }
    void RoomAddResult(u32 result) override { Note("room-add-result " + std::to_string(result)); }
    void RoomBroadcastMemberTable() override { Note("room-broadcast-members"); }
    i32 AcceptPeer(CNetClient*) override { return Note("accept-peer"), 1; }
    i32 OnRoomChat(CNetClient*, const u8*, u32 n) override { return Note("room-chat " + std::to_string(n)), 1; }
    i32 OnJoinReply(CNetClient*, const u8*, u32) override { return Note("join-reply"), 1; }
    i32 OnMemberInfo(CNetClient*, const u8*, u32) override { return Note("member-info"), 1; }
    i32 OnMemberTable(CNetClient*, const u8*, u32) override { return Note("member-table"), 1; }
    i32 OnMemberResult(CNetClient*, const u8*, u32) override { return Note("member-result"), 1; }
    void OnPeerLeft(CNetClient*) override { Note("peer-left"); }
    i32 SendRoomChat(const u8*, u32 n) override { return Note("send-room-chat " + std::to_string(n)), 1; }
    void DrawRoomChat(f32, f32, f32) override { Note("draw-room-chat"); }
    void LobbyChatLine(const char* line) override
    {
        Note("lobby-chat");
        std::lock_guard lock(m.mutex);
        m.chat.push_back(line);
    }
    void OpenUserInformation(const lobby::LobbyUserRecord& user, bool kick) override
    {
        Note("user-info " + std::to_string(user.Id()) + (kick ? " kick" : "") + " picture " +
             std::to_string(user.PictureBytes()));
    }
    void OpenRoomInformation(const lobby::LobbyRoomRecord& room) override
    {
        Note("room-info " + std::to_string(room.Id()));
    }
    void RoomCreateMessage(u16 type, const u8*, u32 n) override
    {
        Note("room-create-message " + std::to_string(type) + " " + std::to_string(n));
    }
    bool IsOpen(LobbyLayer window) override
    {
        std::lock_guard lock(m.mutex);
        const u32 i = u32(window) - u32(LobbyLayer::kMessage);
        return i < 4 && m.open[i];
    }
    void Update(LobbyLayer layer) override
    {
        std::function<void()> hook;
        {
            std::lock_guard lock(m.mutex);
            ++m.updates[u32(layer)];
            hook = m.onUpdate;
        }
        if (hook) hook();
    }
    i32 Draw(LobbyLayer layer) override { return Note("draw " + std::to_string(u32(layer))), 1; }

private:
    void Note(const std::string& call)
    {
        std::lock_guard lock(m.mutex);
        m.calls.push_back(call);
    }
    Shared& m;
};

// A peer side that records; its join connect and line test can be held
// until the test lets them go.
class RecordingPeerSide final : public ILobbyPeerSide {
public:
    struct Shared {
        std::mutex mutex;
        std::vector<std::string> calls;
        std::atomic<i32> connectResult{1};
        std::atomic<bool> hold{false};       // ConnectByAddress and RunLineTest wait for release
        std::atomic<bool> release{false};
        std::atomic<u32> lineTests{0};
        std::atomic<u32> joins{0};
        std::atomic<i32> discover{0};
        // What the last join connect was given.
        std::atomic<peer::MessageCallback> joinMessage{nullptr};
        std::atomic<peer::DisconnectCallback> joinDisconnect{nullptr};
    };

    explicit RecordingPeerSide(Shared& shared) : m(shared) {}

    CNetHost* Host() override { return nullptr; }
    i32 InitHost(const char*, const char*) override { return Note("init-host"), 1; }
    i32 InitListener(u16 port, peer::AcceptCallback, void*, peer::MessageCallback, void*, peer::DisconnectCallback,
                     void*) override
    {
        return Note("init-listener " + std::to_string(port)), 1;
    }
    i32 StartListening() override { return Note("start-listening"), 1; }
    void StopListening() override { Note("stop-listening"); }
    void StopListeningLater() override { Note("stop-listening-later"); }
    void RequestCloseAll() override { Note("close-all"); }
    i32 ConnectByAddress(u32 address, u16 port, const peer::Callbacks& callbacks) override
    {
        m.joinMessage = callbacks.message;
        m.joinDisconnect = callbacks.disconnect;
        Note("connect " + host::net::FormatAddress(address) + ":" + std::to_string(port));
        ++m.joins;
        Hold();
        return m.connectResult.load();
    }
    i32 Broadcast(i16 type, const void*, u32 length) override
    {
        return Note("broadcast " + std::to_string(type) + " " + std::to_string(length)), 1;
    }
    i32 InitLineTest(u16 port) override { return Note("init-line-test " + std::to_string(port)), 1; }
    i32 RunLineTest(u32 address, u16 size, u16 count, LineTestResults* results) override
    {
        Note("line-test " + host::net::FormatAddress(address) + " " + std::to_string(size) + " " +
             std::to_string(count));
        ++m.lineTests;
        Hold();
        *results = LineTestResults{1, 2, 3, 99, 99};
        return 1;
    }
    bool HasMapper() override { return mapper; }
    i32 CreateMapperAndDiscover() override
    {
        mapper = true;
        return m.discover.load();
    }
    i32 IsMapped(u16, const char*, const char*) override { return 0; }
    i32 AddMapping(u16 port, const char* protocol, const char*, const char* description) override
    {
        return Note(std::string("map ") + std::to_string(port) + " " + protocol + " " + description), 1;
    }
    void DropMapper() override
    {
        mapper = false;
        Note("drop-mapper");
    }

private:
    void Hold()
    {
        for (int i = 0; i < 1000 && m.hold && !m.release; ++i) usleep(5000);
    }
    void Note(const std::string& call)
    {
        std::lock_guard lock(m.mutex);
        m.calls.push_back(call);
    }
    Shared& m;
    bool mapper = false;
};

// Up to 10 s for the condition.
template <class Condition>
bool WaitFor(Condition condition)
{
    for (int i = 0; i < 2000; ++i) {
        if (condition()) return true;
        usleep(5000);
    }
    return condition();
}

inline bool Contains(std::mutex& mutex, const std::vector<std::string>& calls, const std::string& call)
{
    std::lock_guard lock(mutex);
    for (const std::string& c : calls)
        if (c == call) return true;
    return false;
}

// Up to 10 s for the call.
inline bool WaitCall(std::mutex& mutex, const std::vector<std::string>& calls, const std::string& call)
{
    for (int i = 0; i < 2000; ++i) {
        if (Contains(mutex, calls, call)) return true;
        usleep(5000);
    }
    return false;
}

// Server payloads, plain (Dispatch scrambles nothing itself: tests scramble
// with the client's key before the call).
inline std::vector<u8> UserEntryBytes(u32 id, const std::string& nameUtf8, u32 number = 0)
{
    std::vector<u8> e(lobby::kEntryBytes, 0);
    PutLe32(e.data(), id);
    std::memcpy(e.data() + 4, nameUtf8.data(), std::min<size_t>(nameUtf8.size(), lobby::kNameBytes));
    PutLe32(e.data() + 29, number);
    return e;
}

inline std::vector<u8> UserDetailBytes(u32 id, const std::string& name, const std::string& profile,
                                       i32 picture = -2, u32 pictureBytes = 0)
{
    std::vector<u8> d(lobby::kUserDetailBytes, 0);
    PutLe32(d.data(), id);
    std::memcpy(d.data() + 4, name.data(), std::min<size_t>(name.size(), lobby::kNameBytes));
    std::memcpy(d.data() + 41, profile.data(), std::min<size_t>(profile.size(), lobby::kProfileBytes));
    if (picture != -2) PutLe32(d.data() + 314, u32(picture));
    d.resize(d.size() + pictureBytes, 0x7E);
    return d;
}

// A room's data with its member ids, the host first.
inline std::vector<u8> RoomDataBytes(u32 id, const std::vector<u32>& members, u32 state = 0)
{
    std::vector<u8> d(lobby::kRoomDataBytes, 0);
    PutLe32(d.data(), id);
    PutLe32(d.data() + lobby::kRoomStateAt, state);
    PutLe16(d.data() + lobby::kMemberLimitAt, 4);
    PutLe16(d.data() + lobby::kMemberBlockAt, u16(members.size()));
    for (size_t i = 0; i < members.size() && i < lobby::kMaxMembers; ++i) {
        const size_t at = i == 0 ? lobby::kHostEntryAt : lobby::kMemberEntriesAt + (i - 1) * lobby::kEntryBytes;
        PutLe32(d.data() + at, members[i]);
    }
    return d;
}

// The room's 41-byte entry.
inline std::vector<u8> RoomEntryBytes(u32 id, u32 state = 0)
{
    std::vector<u8> d = RoomDataBytes(id, {}, state);
    d.resize(lobby::kEntryBytes);
    return d;
}

// A client made with the recording doubles, no texture and no font; 1 when made.
inline i32 CreateRecorded(CLobbyClient& client, RecordingScreens::Shared& screens, RecordingPeerSide::Shared& peers)
{
    return client.Create("tag1", "tag2", nullptr, nullptr, "127.0.0.1", 15500, 18000,
                         std::make_unique<RecordingScreens>(screens), std::make_unique<RecordingPeerSide>(peers));
}

// A recorded client on 10.0.0.2 of a fake network, pointed at a socket
// listening on 10.0.0.3 port 15500: the test plays the server by hand.
struct HandServedClient {
    explicit HandServedClient(u64 seed)
        : network(seed),
          me(network.AddMachine(host::net::MakeAddress(10, 0, 0, 2))),
          other(network.AddMachine(host::net::MakeAddress(10, 0, 0, 3)))
    {
    }

    // Listens on the server's side and makes the client; call under ASSERT_NO_FATAL_FAILURE.
    void Start()
    {
        listener = other.Open(host::net::Type::Stream);
        ASSERT_EQ(other.Bind(listener, {other.Address(), 15500}), host::net::Error::None);
        ASSERT_EQ(other.Listen(listener, 4), host::net::Error::None);
        ASSERT_EQ(client.Create("tag1", "tag2", nullptr, nullptr, "10.0.0.3", 15500, 18000,
                                std::make_unique<RecordingScreens>(screens), std::make_unique<RecordingPeerSide>(peers)),
                  1);
    }

    host::net::FakeNetwork network;
    host::net::FakeMachine& me;
    host::net::FakeMachine& other;
    host::net::Socket listener = host::net::kNoSocket;
    RecordingScreens::Shared screens;
    RecordingPeerSide::Shared peers;
    CLobbyClient client{&me};
};

}  // namespace lobby_test
