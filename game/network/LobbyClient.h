// CLobbyClient: the lobby server's client. One TCP connection to the
// server; the users and rooms it announces; the screens and windows it tells
// what happened (LobbyScreens.h); the peer host, line tester and port mapper
// behind it (LobbyPeerSide.h).
//
// Threads: lobby-recv (the server connection), lobby-work (one connect,
// join or line test at a time), the peer host's, and the main thread.
// Locks, outermost first: the network scene's → the client lock → the peer
// host's → the send lock (one whole server message at a time; the socket and
// the connection it belongs to) → the thread slots lock. Nothing joins a
// thread or waits on a socket without a deadline under the client lock:
// Disconnect called under it leaves the join to the next Update.
#pragma once

#include "engine/core/Types.h"
#include "game/data/SaveConfig.h"   // IpAddressEntry, the address lists' entry
#include "game/network/LobbyPeerSide.h"
#include "game/network/LobbyScreens.h"
#include "game/network/LobbyWire.h"
#include "game/scenes/NetworkHost.h"
#include "host/kernel/Kernel.h"
#include "host/net/Net.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

class CFontTexture;
class CImeInput;
class CSoundBuffer;
class CTexture;

using LobbyUserList = std::vector<std::unique_ptr<lobby::LobbyUserRecord>>;
using LobbyRoomList = std::vector<std::unique_ptr<lobby::LobbyRoomRecord>>;

// The client's state the lobby screens read and write in place. They run
// under the client lock (it calls them, or they are its network threads'
// callbacks), which guards every item; nothing here is valid after Destroy.
struct LobbyClientState {
    CNetHost* peerHost = nullptr;
    CTexture* texture = nullptr;
    CFontTexture* font = nullptr;
    CImeInput* ime = nullptr;
    const LobbyUserList* users = nullptr;
    const LobbyRoomList* rooms = nullptr;
    lobby::LobbyUserRecord* ownUser = nullptr;
    lobby::LobbyRoomRecord* ownRoom = nullptr;
    lobby::LobbyRoomRecord* roomTemplate = nullptr;
    IpAddressEntry* recentAddresses = nullptr;   // 24, newest first
    u16 gamePort = 0;
    u32* joinAddress = nullptr;
    u32* joinPort = nullptr;
    bool* roomHost = nullptr;
    i32* ownIndex = nullptr;
    RoomMemberTable* members = nullptr;
    CSoundBuffer* const* sounds = nullptr;   // select, decide, cancel
    const i32* soundVolume = nullptr;
    const LineTestResults* lineTest = nullptr;
    const f32* drift = nullptr;   // [5]: the "kira" layers' x
};


class CLobbyClient final : public ILobbyRoom {
public:
    static constexpr u16 kDefaultServerPort = 15500;
    static constexpr u32 kConnectTimeoutMs = 10000;
    static constexpr u32 kSendTimeoutMs = 5000;
    static constexpr u32 kWaitSliceMs = 1000;
    // Whole messages waiting for the server to read (a message larger than
    // this still goes when nothing waits before it).
    static constexpr size_t kMaxQueuedBytes = 1u << 20;
    static constexpr u32 kSendRetryMs = 2;
    static constexpr u32 kSendSliceMs = 50;
    static constexpr u32 kIdBytes = 33;
    // The most of the server's host a connect failure's notice shows.
    static constexpr size_t kDetailHostBytes = 48;
    static constexpr u32 kLineTestSize = 1000;
    static constexpr u32 kLineTestCount = 100;
    // The port mapping before a connect, discovery included, in all: a
    // router answering a byte at a time held it for minutes.
    static constexpr u32 kMappingBudgetMs = 15000;
    // What the lists hold at most; entries for ids not listed yet beyond
    // these are refused whole (updates of listed ones still apply, and the
    // player's own record follows its entry listed or not). The
    // lobby shows 31 rows a list and scrolls them one by one: 2048 users is
    // 66 screens of them, more than one lobby server gathers, and every
    // room has a host among them, so 1024 rooms are more than it could hold
    // at once. Without caps one 1 MiB message added 25,000 records.
    static constexpr u32 kMaxUsers = 2048;
    static constexpr u32 kMaxRooms = 1024;

    // net null: host::net::DefaultNet().
    explicit CLobbyClient(host::net::Net* net = nullptr);
    // Destroy.
    ~CLobbyClient() override;
    CLobbyClient(const CLobbyClient&) = delete;
    CLobbyClient& operator=(const CLobbyClient&) = delete;

    // Takes the screens and the peer side. The three menu sounds load from
    // the sound list or "SE\\" when a resource controller runs (0 when one
    // cannot be loaded); without one they are left out. 1 or 0.
    i32 Create(const char* tag1, const char* tag2, CTexture* texture, CFontTexture* font, const char* serverHost,
               u16 serverPort, u16 peerPort, std::unique_ptr<ILobbyScreens> screens,
               std::unique_ptr<ILobbyPeerSide> peers);
    // Stops every thread, uninstalls the peer callbacks, then frees. Again: nothing.
    void Destroy();
    // Closes the server connection and stops its threads; joins them unless
    // the caller holds the client lock (then the next Update joins). The
    // payload key returns to the initial one. 1.
    i32 Disconnect();

    // Retires the server connection in place (ended or not) with its
    // payload key and greeting, event 0, then the worker connects.
    void StartConnect();
    // The whole message is queued and written as far as the socket takes
    // it; the receive thread writes the rest. Under the client lock a full
    // queue fails at once; elsewhere it waits for room up to kSendTimeoutMs.
    // 1, or 0 (no connection, a failed write, no room).
    i32 Send(u16 type, const void* payload, u32 n);
    i32 SendEmpty(u16 type);
    // A request a waiting message stands for: when it cannot go out, the
    // lost-server notice (event 8) takes that message's place, or the
    // player would wait for a reply that never comes.
    i32 SendRequest(u16 type, const void* payload, u32 n);
    // 1001 with the own user record's login bytes (319..378).
    i32 SendLogin();
    // Under the client lock, the message window shows code over the current
    // screen; with detail, those words in it too (ShowNotice).
    void PostEvent(u32 code);
    void PostEvent(u32 code, const std::string& detail);
    // Event 6 and the worker joins the join target; refused (event 10) while
    // another worker runs.
    void StartJoin();
    // Event 7 and the worker runs the line test; refused (event 18, results
    // cleared) while another worker runs.
    void StartLineTest();
    i32 StartHostListener();
    // What a direct host's failed start says under its notice: the port.
    std::string HostFailure(bool stillClosing) const;
    i32 MapPort(u16 port);
    i32 SetAcceptCallback(peer::AcceptCallback callback, void* context);
    i32 SetMessageCallback(peer::MessageCallback callback, void* context);
    i32 SetDisconnectCallback(peer::DisconnectCallback callback, void* context);

    // 0 as room host: the listener restarts at the next Update, outside
    // every lock its accept callback takes.
    void SetPlayState(u32 value);
    // The caller holds the client lock (the room screen).
    void SetPlayStateAndNotify(u32 value);
    i32 ReportBattleResult(u32 result);

    // Main thread: background drift and one layer; joins what Disconnect left.
    void Update();
    i32 Draw();

    // A server message, the payload scrambled as it came (unscrambled in
    // place). 1 goes on; 0 ends the connection (its event already posted).
    i32 Dispatch(u16 type, u16 status, u8* payload, u32 n);

    // Locked accessors.
    // Runs read under the client lock: the screens' state, which the
    // receive thread changes under it.
    void ReadLocked(const std::function<void()>& read);
    u32 GetPlayState();
    u32 GetExitRequest();
    u32 GetMemberCount() override;
    i32 GetMemberName(u32 index, char* out, u32 size);
    i32 FindMemberByPeerId(const char* peerId);
    i32 IsRoomHost();
    i32 GetOwnMemberIndex();
    void SetPlayStateRaw(u32 value);
    u32 GetScreen();
    void SetScreen(u32 screen);
    void SetExitRequest(u32 value);
    u32 GetUserCount();
    u32 GetRoomCount();
    // Copies of the listed records; false when there is none.
    bool GetUser(u32 id, lobby::LobbyUserRecord* out);
    bool GetRoom(u32 id, lobby::LobbyRoomRecord* out);
    bool GetOwnRoom(lobby::LobbyRoomRecord* out);
    bool GetOwnUser(lobby::LobbyUserRecord* out);
    LineTestResults GetLineTestResults();
    // For a watcher on the main thread: the message waiting for an answer
    // (~0u for none), the room chat lines, a copy of the member table.
    u32 GetPendingMessage();
    u32 GetRoomChatLines();
    RoomMemberTable GetMemberTableCopy();

    // Forwards into the room screen under the lock.
    i32 AcceptPeer(CNetClient* peer);
    i32 OnRoomChat(CNetClient* sender, const u8* payload, u32 length);
    i32 OnJoinReply(CNetClient* sender, const u8* payload, u32 length);
    i32 OnMemberInfo(CNetClient* sender, const u8* payload, u32 length);
    i32 OnMemberTable(CNetClient* sender, const u8* payload, u32 length);
    i32 OnMemberResult(CNetClient* sender, const u8* payload, u32 length);
    void OnPeerLeft(CNetClient* peer);
    i32 SendRoomChat(const u8* line, u32 length) override;
    void DrawRoomChat(f32 x, f32 y, f32 scale) override;

    // Unlocked: the main thread's, or the screens' under the client lock.
    CImeInput* GetImeInput() override { return m_ime.get(); }
    const char* GetUserName() override;
    CNetHost* GetNetHost() { return m_peers ? m_peers->Host() : nullptr; }
    RoomMemberTable& MemberTable() { return m_members; }
    void SetRoomHost(bool host, i32 ownIndex);
    void SetLobbyId(const char* id);
    const char* GetLobbyId() const { return m_lobbyId; }
    void SetAddressId(const char* id);
    const char* GetAddressId() const { return m_addressId; }
    IpAddressEntry* GetAddressList() { return m_addresses; }
    void SetPlayRecord(u32 value) { m_playRecord = value; }
    u32 GetPlayRecord() const { return m_playRecord; }
    void SetSeVolume(i32 volume) { m_seVolume = volume; }
    void SetUPnP(bool on) { m_upnp = on; }
    // Shorter in tests.
    void SetMappingBudget(u32 ms) { m_mappingBudgetMs = ms; }
    bool GetUPnP() const { return m_upnp; }
    // The direct room's admission lists (the configuration tool edits them):
    // with allow entries an address must match one; it must match no deny
    // entry. Set before play starts, read by the room screen.
    void SetAddressLists(std::vector<IpAddressEntry> allow, std::vector<IpAddressEntry> deny)
    {
        m_allow = std::move(allow);
        m_deny = std::move(deny);
    }
    const std::vector<IpAddressEntry>& GetAllowList() const { return m_allow; }
    const std::vector<IpAddressEntry>& GetDenyList() const { return m_deny; }
    void SetJoinTarget(u32 address, u32 port);
    // The room screen, under the lock: the host refused this join (the join
    // worker must not then enter the room).
    void SetJoinRefused() { m_joinRefused = true; }
    void SetOwnLogin(const char* text, u32 word);
    u8 GetPayloadKey() const { return m_payloadKey.load(); }
    const f32* GetDrift() const { return m_drift; }
    bool IsConnected();
    // The room template's member limit; the own room starts as a copy.
    void CreateRoomRecords(u16 memberLimit);
    // What the screens see of the client (their Load takes it).
    LobbyClientState ScreenState();

private:
    struct Connection;
    struct Worker;

    bool HoldsLock() const;
    void RecvLoop(Connection* connection);
    bool Reassemble(Connection& connection, const u8* bytes, size_t size);
    bool FlushOutgoing(Connection& connection);
    // picture: a user detail's picture made before the lock (null: made here);
    // pictureDropped: a user detail's fields alone, its picture read past.
    i32 DispatchLocked(u16 type, u16 status, u8* payload, u32 n,
                       std::shared_ptr<lobby::LobbyPicture> picture = nullptr, bool pictureDropped = false);
    i32 Refuse(u16 type, lobby::WireError error);
    // A user detail's picture, checked and decoded without the client lock.
    std::shared_ptr<lobby::LobbyPicture> PrepareUserPicture(const lobby::LobbyMessageHeader& h, const u8* payload);
    void ApplyRoomEntries(const u8* payload, u32 n);
    void ApplyUserEntries(const u8* payload, u32 n);
    i32 ApplyRoomDetail(u16 type, u16 status, const u8* payload, u32 n);
    void ApplyMemberBlock(const lobby::MemberBlock& block);
    void RemoveRoom(u32 id);
    void RemoveUser(u32 id);
    lobby::LobbyRoomRecord* FindRoom(u32 id);
    lobby::LobbyUserRecord* FindUser(u32 id);
    bool IsMemberOf(u32 roomId) const;
    // What a failed connect says in its notice: the step that failed, the
    // server's host and port.
    enum class ConnectStep : u8 { kMapping, kResolve, kSocket, kConnect, kGreeting, kLost };
    std::string ConnectFailure(ConnectStep step, host::net::Error error) const;
    void ConnectWork(Worker& worker);
    void JoinWork(Worker& worker);
    void LineTestWork(Worker& worker);
    bool StartWorker(void (CLobbyClient::*work)(Worker&));
    // A worker's last event: it stops counting as running under the client
    // lock before the event shows, so whoever answers the event at once (the
    // player, a server message) can start the next worker.
    void FinishWork(Worker& worker, u32 code);
    void FinishWork(Worker& worker, u32 code, const std::string& detail);
    // Takes the server connection out of use: stopped, its socket shut, its
    // thread left for JoinRetired. Under the client lock its thread posts
    // and dispatches nothing more.
    void RetireConnection();
    void RetireWorkers(bool join);
    void JoinRetired();
    u32 LocalAddress();
    void UpdateDrift();
    // Under the lock, on the main thread: a screen left since the last
    // frame leaves the entry off and empty, whatever way it was left.
    void LeaveLeftScreensField();
    i32 LoadSounds();

    host::net::Net& m_net;
    bool m_created = false;

    std::unique_ptr<ILobbyScreens> m_screens;
    std::unique_ptr<ILobbyPeerSide> m_peers;
    std::unique_ptr<CImeInput> m_ime;

    u32 m_screen = 0;
    u32 m_fieldScreen = 0;   // the screen the entry last served
    u32 m_exitRequest = 0;
    u32 m_playState = 0;
    f32 m_drift[6] = {};
    std::atomic<u8> m_payloadKey{lobby::kInitialPayloadKey};

    host::kernel::CriticalSection m_lock;       // the client lock
    host::kernel::CriticalSection m_sendLock;   // m_connection and whole sends
    host::kernel::CriticalSection m_slotLock;   // worker slot, retired threads
    std::atomic<std::thread::id> m_lockOwner{};
    u32 m_lockDepth = 0;   // the owner's
    friend class ClientLock;

    std::unique_ptr<Connection> m_connection;           // under m_sendLock
    std::vector<std::unique_ptr<Connection>> m_retired;   // under m_slotLock
    std::unique_ptr<Worker> m_worker;                     // under m_slotLock
    std::vector<std::unique_ptr<Worker>> m_retiredWorkers;
    std::atomic<bool> m_destroying{false};
    std::atomic<bool> m_relisten{false};   // the room host listens again at the next Update
    std::atomic<bool> m_greeted{false};    // the server's handshake came on this connection

    LineTestResults m_lineTest = {};

    LobbyUserList m_users;
    std::unordered_map<u32, size_t> m_userIndex;
    LobbyRoomList m_rooms;
    std::unordered_map<u32, size_t> m_roomIndex;
    lobby::LobbyUserRecord m_ownUser;
    lobby::LobbyRoomRecord m_ownRoom;
    lobby::LobbyRoomRecord m_roomTemplate;

    CTexture* m_texture = nullptr;
    CFontTexture* m_font = nullptr;
    std::string m_serverHost;
    u16 m_serverPort = kDefaultServerPort;
    u16 m_peerPort = 0;
    std::string m_tag1;

    char m_lobbyId[kIdBytes] = {};
    char m_addressId[kIdBytes] = {};
    IpAddressEntry m_addresses[24] = {};
    u32 m_playRecord = 0;
    i32 m_seVolume = 0;

    u32 m_joinAddress = 0;
    u32 m_joinPort = 0;
    bool m_joinRefused = false;
    bool m_roomHost = false;
    i32 m_ownIndex = 0;
    RoomMemberTable m_members;
    bool m_upnp = false;
    u32 m_mappingBudgetMs = kMappingBudgetMs;
    std::vector<IpAddressEntry> m_allow;
    std::vector<IpAddressEntry> m_deny;

    peer::AcceptCallback m_accept = nullptr;
    void* m_acceptContext = nullptr;
    peer::MessageCallback m_message = nullptr;
    void* m_messageContext = nullptr;
    peer::DisconnectCallback m_disconnect = nullptr;
    void* m_disconnectContext = nullptr;

    CSoundBuffer* m_sounds[3] = {};
};
