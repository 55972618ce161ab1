#include "game/network/LobbyClient.h"
#include "game/network/LobbyUserPicture.h"

#include "engine/core/Random.h"
#include "engine/graphics/FontTexture.h"
#include "engine/platform/FrameTime.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/platform/app/ImeInput.h"
#include "engine/scene/ResourceController.h"
#include "game/scenes/GameApp.h"
#include "game/scenes/MenuScene.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

using namespace lobby;
namespace kernel = host::kernel;
namespace net = host::net;

// The client lock, remembering its owner so Disconnect knows whether it may join.
class ClientLock {
public:
    explicit ClientLock(CLobbyClient& client) : m_client(client)
    {
        m_client.m_lock.Enter();
        if (m_client.m_lockDepth++ == 0) m_client.m_lockOwner.store(std::this_thread::get_id());
    }
    ~ClientLock()
    {
        if (--m_client.m_lockDepth == 0) m_client.m_lockOwner.store(std::thread::id());
        m_client.m_lock.Leave();
    }
    ClientLock(const ClientLock&) = delete;
    ClientLock& operator=(const ClientLock&) = delete;

private:
    CLobbyClient& m_client;
};

// The server connection: its socket, its receive thread and the bytes of a
// message not complete yet.
struct CLobbyClient::Connection {
    net::Socket socket = net::kNoSocket;
    std::atomic<bool> stop{false};
    std::unique_ptr<kernel::Thread> thread;
    std::vector<u8> pending;
    // Bytes still to read past of a message over kMaxPayload.
    u32 skipping = 0;
    // Under the send lock: whole messages the socket did not take yet, sent
    // on by the receive thread when it can write; broken once a write failed.
    std::vector<u8> outgoing;
    size_t outgoingAt = 0;
    bool broken = false;
};

// The one worker: connect, join or line test.
struct CLobbyClient::Worker {
    std::atomic<bool> running{true};
    std::atomic<bool> cancel{false};
    std::atomic<net::Socket> connecting{net::kNoSocket};
    std::unique_ptr<kernel::Thread> thread;
};

namespace {

constexpr const char* kSounds[3][2] = {
    {"Se_gameopt_select.ogg", "SE\\Se_gameopt_select.ogg"},
    {"Se_gameopt_set.ogg", "SE\\Se_gameopt_set.ogg"},
    {"Se_cancel.ogg", "SE\\Se_cancel.ogg"},
};

constexpr u32 kMaxReceiveErrors = 200;
constexpr u32 kReceiveBytes = 4096;

}  // namespace

CLobbyClient::CLobbyClient(net::Net* net) : m_net(net ? *net : net::DefaultNet()) {}

CLobbyClient::~CLobbyClient() { Destroy(); }

bool CLobbyClient::HoldsLock() const { return m_lockOwner.load() == std::this_thread::get_id(); }

i32 CLobbyClient::Create(const char* tag1, const char* tag2, CTexture* texture, CFontTexture* font,
                         const char* serverHost, u16 serverPort, u16 peerPort, std::unique_ptr<ILobbyScreens> screens,
                         std::unique_ptr<ILobbyPeerSide> peers)
{
    if (m_created || !screens || !peers) return 0;
    m_payloadKey = kInitialPayloadKey;
    m_texture = texture;
    m_font = font;
    m_serverHost = serverHost ? serverHost : "";
    m_serverPort = serverPort;
    m_peerPort = peerPort;
    m_tag1 = tag1 ? tag1 : "";
    m_screens = std::move(screens);
    m_peers = std::move(peers);
    m_peers->InitHost(tag1 ? tag1 : "", tag2 ? tag2 : "");
    m_ime = std::make_unique<CImeInput>();
    m_ime->Create(260);
    m_ime->SetFontTexture(font);
    m_ownUser = LobbyUserRecord{};
    CreateRoomRecords(4);
    // The responder answers line tests on the server's port number.
    m_peers->InitLineTest(serverPort);
    m_created = true;
    if (!LoadSounds()) return 0;
    ClientLock lock(*this);
    return m_screens->Load(*this);
}

LobbyClientState CLobbyClient::ScreenState()
{
    LobbyClientState state;
    state.peerHost = GetNetHost();
    state.texture = m_texture;
    state.font = m_font;
    state.ime = m_ime.get();
    state.users = &m_users;
    state.rooms = &m_rooms;
    state.ownUser = &m_ownUser;
    state.ownRoom = &m_ownRoom;
    state.roomTemplate = &m_roomTemplate;
    state.recentAddresses = m_addresses;
    state.gamePort = m_peerPort;
    state.joinAddress = &m_joinAddress;
    state.joinPort = &m_joinPort;
    state.roomHost = &m_roomHost;
    state.ownIndex = &m_ownIndex;
    state.members = &m_members;
    state.sounds = m_sounds;
    state.soundVolume = &m_seVolume;
    state.lineTest = &m_lineTest;
    state.drift = m_drift;
    return state;
}

i32 CLobbyClient::LoadSounds()
{
    CGameApp* app = GetGameApp();
    CResourceController* resources = app ? app->GetResourceController() : nullptr;
    if (!resources) return 1;   // no sound list: a test, or a tool
    for (u32 i = 0; i < 3; ++i) {
        m_sounds[i] = menu::FindSound(kSounds[i][0]);
        if (m_sounds[i]) continue;
        auto made = std::make_unique<CSoundBuffer>();
        if (!made->Load(kSounds[i][1], 1, 0)) return 0;
        void* slot = static_cast<CValueBase*>(made.get());
        if (!resources->GetSoundList()->Add(&slot)) return 0;
        m_sounds[i] = made.release();
    }
    return 1;
}

void CLobbyClient::CreateRoomRecords(u16 memberLimit)
{
    m_roomTemplate = LobbyRoomRecord{};
    PutLe16(m_roomTemplate.data + kMemberLimitAt, memberLimit);
    m_roomTemplate.data[308] = 2;
    m_roomTemplate.data[309] = 13;
    m_ownRoom = m_roomTemplate;
}

void CLobbyClient::Destroy()
{
    if (!m_created) return;
    m_destroying = true;
    // The server connection first: its thread may hold the client lock,
    // which is wanted next.
    Disconnect();
    {
        ClientLock lock(*this);
        m_accept = nullptr;
        m_message = nullptr;
        m_disconnect = nullptr;
    }
    RetireWorkers(true);
    JoinRetired();
    // The peer host's threads (which reach the room screen through the
    // network scene's callbacks) end in its destructor, before the screens go.
    m_peers.reset();
    m_screens.reset();
    m_ime.reset();
    m_users.clear();
    m_userIndex.clear();
    m_rooms.clear();
    m_roomIndex.clear();
    m_created = false;
}

i32 CLobbyClient::Disconnect()
{
    // A connect under way gives up at once. First: a connect past this
    // (no longer running) has put its connection in place, retired next.
    {
        kernel::Lock slots(m_slotLock);
        if (m_worker && m_worker->running) {
            m_worker->cancel = true;
            const net::Socket s = m_worker->connecting.load();
            if (s != net::kNoSocket) m_net.Shutdown(s);
            m_peers->CancelMapping();
        }
    }
    RetireConnection();
    m_payloadKey = kInitialPayloadKey;
    if (!HoldsLock()) {
        RetireWorkers(false);
        JoinRetired();
    }
    return 1;
}

void CLobbyClient::RetireConnection()
{
    std::unique_ptr<Connection> connection;
    {
        kernel::Lock send(m_sendLock);
        connection = std::move(m_connection);
    }
    if (!connection) return;
    // Its thread checks stop under the client lock before each dispatch and
    // before its last event: set under that lock, nothing more comes from it.
    connection->stop = true;
    m_net.Shutdown(connection->socket);
    kernel::Lock slots(m_slotLock);
    m_retired.push_back(std::move(connection));
}

void CLobbyClient::RetireWorkers(bool join)
{
    std::unique_ptr<Worker> worker;
    {
        kernel::Lock slots(m_slotLock);
        if (m_worker && (join || !m_worker->running)) worker = std::move(m_worker);
        if (!worker) return;
    }
    if (join) {
        worker->cancel = true;
        const net::Socket s = worker->connecting.load();
        if (s != net::kNoSocket) m_net.Shutdown(s);
        m_peers->CancelMapping();
    }
    // Worker bodies are bounded: a connect by its deadline, a line test by
    // its own.
    worker->thread->Join();
}

void CLobbyClient::JoinRetired()
{
    std::vector<std::unique_ptr<Connection>> retired;
    {
        kernel::Lock slots(m_slotLock);
        retired.swap(m_retired);
    }
    for (auto& connection : retired) {
        if (connection->thread) connection->thread->Join();
        m_net.Close(connection->socket);
    }
}

bool CLobbyClient::IsConnected()
{
    kernel::Lock send(m_sendLock);
    return m_connection != nullptr;
}

// ---------------------------------------------------------------- workers

bool CLobbyClient::StartWorker(void (CLobbyClient::*work)(Worker&))
{
    std::unique_ptr<Worker> finished;
    {
        kernel::Lock slots(m_slotLock);
        if (m_destroying) return false;
        if (m_worker && m_worker->running) return false;
        finished = std::move(m_worker);
        m_worker = std::make_unique<Worker>();
        Worker* worker = m_worker.get();
        worker->thread = kernel::StartThread([this, worker, work]() -> uint32_t {
            kernel::SetThreadName("lobby-work");
            (this->*work)(*worker);
            worker->running = false;
            return 0;
        });
        if (!worker->thread) {
            m_worker.reset();
            return false;
        }
    }
    // It had cleared its running flag: only its return is left to wait for.
    if (finished) finished->thread->Join();
    return true;
}

void CLobbyClient::StartConnect()
{
    {
        // A connection still in place is over once the player connects
        // again: its thread ended (a refused or wrong handshake, a server
        // that went, a message refused), or it stands unused. Its key and
        // greeting go with it.
        ClientLock lock(*this);
        RetireConnection();
        m_payloadKey = kInitialPayloadKey;
        m_greeted = false;
        PostEvent(kEventConnecting);
    }
    if (!StartWorker(&CLobbyClient::ConnectWork)) PostEvent(kEventServerLost);
    if (!HoldsLock()) JoinRetired();
}

void CLobbyClient::StartJoin()
{
    PostEvent(kEventJoining);
    if (!StartWorker(&CLobbyClient::JoinWork)) PostEvent(kEventJoinFailed);
}

void CLobbyClient::StartLineTest()
{
    PostEvent(kEventLineTesting);
    if (!StartWorker(&CLobbyClient::LineTestWork)) {
        ClientLock lock(*this);
        m_lineTest = {};
        PostEvent(kEventLineTestDone);
    }
}

u32 CLobbyClient::LocalAddress()
{
    u32 address = 0;
    net::ParseAddress(m_serverHost, address);
    u32 local = 0;
    if (m_net.Resolve(m_net.HostName(), local)) address = local;
    return address;
}

void CLobbyClient::FinishWork(Worker& worker, u32 code)
{
    ClientLock lock(*this);
    worker.running = false;
    PostEvent(code);
}

void CLobbyClient::FinishWork(Worker& worker, u32 code, const std::string& detail)
{
    ClientLock lock(*this);
    worker.running = false;
    PostEvent(code, detail);
}

std::string CLobbyClient::ConnectFailure(ConnectStep step, host::net::Error error) const
{
    // The host as given, its bytes outside printable ASCII shown as '?': it
    // comes from the player's environment, in no known code page.
    std::string host = m_serverHost.substr(0, kDetailHostBytes);
    for (char& c : host)
        if (u8(c) < 0x20 || u8(c) > 0x7E) c = '?';
    const std::string where = host + " port " + std::to_string(m_serverPort);
    switch (step) {
    case ConnectStep::kMapping:
        return "No router mapping for ports " + std::to_string(m_peerPort) + " and " + std::to_string(m_serverPort);
    case ConnectStep::kResolve: return "Lobby server not found:\n" + where;
    case ConnectStep::kSocket: return "No socket for the lobby server:\n" + where;
    case ConnectStep::kGreeting: return "Lobby server closed without a greeting:\n" + where;
    case ConnectStep::kLost: return "Lobby server connection lost:\n" + where;
    case ConnectStep::kConnect: break;
    }
    switch (error) {
    case net::Error::Refused: return "Lobby server refused the connection:\n" + where;
    case net::Error::TimedOut: return "Lobby server did not answer in time:\n" + where;
    default: return "Lobby server could not be reached:\n" + where;
    }
}

void CLobbyClient::ConnectWork(Worker& worker)
{
    Worker* self = &worker;
    if (m_upnp) {
        // A cancel before this is seen here; one after reaches the mapper.
        m_peers->BeginMapping(m_mappingBudgetMs);
        if (self->cancel) return;
        const bool mapped = MapPort(m_peerPort) && MapPort(m_serverPort);
        if (self->cancel) return;
        if (!mapped)
            return FinishWork(worker, kEventNoRoute, ConnectFailure(ConnectStep::kMapping, net::Error::None));
    }
    u32 address = 0;
    if (!m_net.Resolve(m_serverHost, address))
        return FinishWork(worker, kEventNoRoute, ConnectFailure(ConnectStep::kResolve, net::Error::None));
    const net::Socket socket = m_net.Open(net::Type::Stream);
    if (socket == net::kNoSocket)
        return FinishWork(worker, kEventNoRoute, ConnectFailure(ConnectStep::kSocket, net::Error::None));
    self->connecting = socket;
    const net::Error error = m_net.Connect(socket, {address, m_serverPort}, kConnectTimeoutMs);
    self->connecting = net::kNoSocket;
    if (error != net::Error::None || self->cancel) {
        m_net.Close(socket);
        if (!self->cancel) FinishWork(worker, kEventServerLost, ConnectFailure(ConnectStep::kConnect, error));
        return;
    }
    // Under the client lock to the end: the receive thread dispatches
    // nothing before the connection is in place and the worker is done, so
    // the player answering its first event can connect again at once.
    ClientLock lock(*this);
    PutLe16(m_ownUser.data + kPeerPortAt, m_peerPort);
    PutLe32(m_ownUser.data + kLocalAddressAt, LocalAddress());
    std::memset(m_ownUser.data + kLoginAt, 0, 33);
    std::memcpy(m_ownUser.data + kLoginAt, m_lobbyId, strnlen(m_lobbyId, kIdBytes - 1));
    // Only this worker puts a connection in place, and StartConnect retired
    // the last one; one there all the same is no longer wanted.
    RetireConnection();
    auto connection = std::make_unique<Connection>();
    connection->socket = socket;
    Connection* c = connection.get();
    kernel::Lock send(m_sendLock);
    if (self->cancel) {
        m_net.Close(socket);
        return;
    }
    c->thread = kernel::StartThread([this, c]() -> uint32_t {
        kernel::SetThreadName("lobby-recv");
        RecvLoop(c);
        return 0;
    });
    if (!c->thread) {
        m_net.Close(socket);
        return FinishWork(worker, kEventServerLost);
    }
    m_connection = std::move(connection);
    self->running = false;
}

void CLobbyClient::JoinWork(Worker& worker)
{
    u32 address, port;
    peer::Callbacks callbacks;
    {
        ClientLock lock(*this);
        m_screens->RoomReset();
        m_joinRefused = false;
        address = m_joinAddress;
        port = m_joinPort;
        // Destroy clears them under this lock.
        callbacks = {m_message, m_messageContext, m_disconnect, m_disconnectContext};
    }
    // The connect runs without the client lock: the peer threads it starts take it.
    const i32 ok = port <= 0xFFFF ? m_peers->ConnectByAddress(address, u16(port), callbacks) : 0;
    ClientLock lock(*this);
    // The host's refusal can arrive before the connect returns here: the
    // room screen has then shown it and sent the player back already.
    if (ok && m_joinRefused) {
        worker.running = false;
        return;
    }
    if (ok) {
        m_screen = u32(LobbyLayer::kRoom);
        return FinishWork(worker, kEventDone);
    }
    if (m_screen == u32(LobbyLayer::kLobby)) SendEmpty(1007);
    FinishWork(worker, kEventJoinFailed);
}

void CLobbyClient::LineTestWork(Worker& worker)
{
    u32 address;
    {
        ClientLock lock(*this);
        m_lineTest = {};
        address = m_joinAddress;
    }
    LineTestResults results{};
    m_peers->RunLineTest(address, kLineTestSize, kLineTestCount, &results);
    ClientLock lock(*this);
    m_lineTest = results;
    FinishWork(worker, kEventLineTestDone);
}

i32 CLobbyClient::MapPort(u16 port)
{
    if (!m_peers->HasMapper() && !m_peers->CreateMapperAndDiscover()) {
        m_peers->DropMapper();
        return 1;   // play goes on without a mapping
    }
    u32 local = 0;
    m_net.Resolve(m_net.HostName(), local);
    const std::string client = net::FormatAddress(local);
    i32 result = 1;
    for (const char* protocol : {"TCP", "UDP"}) {
        // Asked for the client the mapping would name, so ours is found again.
        if (m_peers->IsMapped(port, protocol, client.c_str())) continue;
        char description[96];
        std::snprintf(description, sizeof description, "%s%d%s", m_tag1.c_str(), int(port), protocol);
        result = m_peers->AddMapping(port, protocol, client.c_str(), description);
        if (!result) return 0;
    }
    return result;
}

i32 CLobbyClient::StartHostListener()
{
    if (!m_peers->InitListener(m_peerPort, m_accept, m_acceptContext, m_message, m_messageContext, m_disconnect,
                               m_disconnectContext))
        return 0;
    return m_peers->StartListening();
}

std::string CLobbyClient::HostFailure(bool stillClosing) const
{
    const std::string port = std::to_string(m_peerPort);
    if (stillClosing) return "The last room still holds port " + port + ":\nit has not closed yet";
    return "Cannot take players on port " + port + ":\nanother program may be using it";
}

i32 CLobbyClient::SetAcceptCallback(peer::AcceptCallback callback, void* context)
{
    if (!callback) return 0;
    m_accept = callback;
    m_acceptContext = context;
    return 1;
}

i32 CLobbyClient::SetMessageCallback(peer::MessageCallback callback, void* context)
{
    if (!callback) return 0;
    m_message = callback;
    m_messageContext = context;
    return 1;
}

i32 CLobbyClient::SetDisconnectCallback(peer::DisconnectCallback callback, void* context)
{
    if (!callback) return 0;
    m_disconnect = callback;
    m_disconnectContext = context;
    return 1;
}

// ---------------------------------------------------------------- sending

i32 CLobbyClient::Send(u16 type, const void* payload, u32 n)
{
    if (n && !payload) return 0;
    const std::vector<u8> bytes = WriteClientMessage(type, payload, n, m_payloadKey.load());
    // Under the client lock nothing waits for the server: a full queue fails
    // the send at once. Elsewhere a caller waits for room, in slices without
    // any lock, as long as the connection stands.
    const bool mayWait = !HoldsLock();
    const u32 start = kernel::TimeGetTime();
    for (;;) {
        {
            kernel::Lock send(m_sendLock);
            if (!m_connection || m_connection->broken || m_destroying) return 0;
            Connection& c = *m_connection;
            const size_t queued = c.outgoing.size() - c.outgoingAt;
            if (queued == 0 || queued + bytes.size() <= kMaxQueuedBytes) {
                c.outgoing.insert(c.outgoing.end(), bytes.begin(), bytes.end());
                return FlushOutgoing(c) ? 1 : 0;
            }
        }
        if (!mayWait || kernel::TimeGetTime() - start >= kSendTimeoutMs) return 0;
        kernel::Sleep(kSendRetryMs);
    }
}

// Under the send lock: writes what the socket takes now, never waiting.
bool CLobbyClient::FlushOutgoing(Connection& c)
{
    while (c.outgoingAt < c.outgoing.size()) {
        const net::IoResult io = m_net.Send(c.socket, c.outgoing.data() + c.outgoingAt, c.outgoing.size() - c.outgoingAt);
        if (io.bytes > 0) {
            c.outgoingAt += size_t(io.bytes);
            continue;
        }
        if (io.error == net::Error::WouldBlock) return true;
        c.broken = true;
        c.outgoing.clear();
        c.outgoingAt = 0;
        return false;
    }
    c.outgoing.clear();
    c.outgoingAt = 0;
    return true;
}

i32 CLobbyClient::SendEmpty(u16 type) { return Send(type, nullptr, 0); }

i32 CLobbyClient::SendRequest(u16 type, const void* payload, u32 n)
{
    if (Send(type, payload, n)) return 1;
    // Only a connection that went: without one no lobby screen is up.
    if (IsConnected()) PostEvent(kEventServerLost);
    return 0;
}

i32 CLobbyClient::SendLogin()
{
    u8 login[kLoginBytes];
    ClientLock lock(*this);
    std::memcpy(login, m_ownUser.data + kLoginAt, kLoginBytes);
    return SendRequest(1001, login, kLoginBytes);
}

void CLobbyClient::PostEvent(u32 code)
{
    ClientLock lock(*this);
    if (m_screens) m_screens->ShowMessage(code, m_screen);
}

void CLobbyClient::PostEvent(u32 code, const std::string& detail)
{
    ClientLock lock(*this);
    if (m_screens) m_screens->ShowNotice(code, m_screen, detail);
}

// ---------------------------------------------------------------- receiving

void CLobbyClient::RecvLoop(Connection* c)
{
    u8 buffer[kReceiveBytes];
    u32 errors = 0;
    bool posted = false;
    while (!c->stop) {
        bool sending;
        {
            kernel::Lock send(m_sendLock);
            sending = c->outgoing.size() > c->outgoingAt && !c->broken;
        }
        const u32 wanted = net::kEventRead | (sending ? u32(net::kEventWrite) : 0u);
        const i32 events = m_net.Wait(c->socket, wanted, sending ? kSendSliceMs : kWaitSliceMs);
        if (events == net::kWaitFailed) break;
        if (events == 0) continue;
        if (events & net::kEventWrite) {
            kernel::Lock send(m_sendLock);
            if (!FlushOutgoing(*c)) break;
        }
        if (!(events & (net::kEventRead | net::kEventClose))) continue;
        const net::IoResult io = m_net.Receive(c->socket, buffer, sizeof buffer);
        if (io.bytes > 0) {
            errors = 0;
            if (!Reassemble(*c, buffer, size_t(io.bytes))) {
                posted = true;
                break;
            }
            continue;
        }
        if (io.bytes == 0 || io.error == net::Error::Closed || io.error == net::Error::Reset) break;
        if (io.error == net::Error::WouldBlock) continue;
        if (++errors >= kMaxReceiveErrors) break;
    }
    m_net.Shutdown(c->socket);
    if (posted) return;
    // The server went: whoever waits on a message must hear it, and where
    // it went (one that never greeted may not be a lobby server at all).
    ClientLock lock(*this);
    if (!c->stop)
        PostEvent(kEventServerLost,
                  ConnectFailure(m_greeted ? ConnectStep::kLost : ConnectStep::kGreeting, net::Error::None));
}

bool CLobbyClient::Reassemble(Connection& c, const u8* bytes, size_t size)
{
    const size_t skip = std::min<size_t>(c.skipping, size);
    c.skipping -= u32(skip);
    c.pending.insert(c.pending.end(), bytes + skip, bytes + size);
    size_t at = 0;
    bool go = true;
    while (go && c.pending.size() - at >= kHeaderBytes) {
        u8 header[kHeaderBytes];
        std::memcpy(header, c.pending.data() + at, kHeaderBytes);
        ScrambleLobby(header, kHeaderBytes, kHeaderKey);
        const LobbyMessageHeader h = ReadHeader(header);
        if (h.length > kMaxPayload) {
            // More than the client holds for a message: read past it and go
            // on. A user detail keeps its fields and loses its picture.
            const bool detail = h.type == kUserDetail && h.status == kStatusSuccess;
            const size_t kept = detail ? kUserDetailBytes : 0;
            if (c.pending.size() - at < kHeaderBytes + kept) break;
            std::fprintf(stderr, "lobby: server message %u of %u bytes read past\n", unsigned(h.type),
                         unsigned(h.length));
            if (detail) {
                ClientLock lock(*this);
                if (c.stop) return false;
                go = DispatchLocked(h.type, h.status, c.pending.data() + at + kHeaderBytes, kUserDetailBytes, nullptr,
                                    true) != 0;
            }
            const size_t present = std::min<size_t>(c.pending.size() - at - kHeaderBytes, h.length);
            c.skipping = h.length - u32(present);
            at += kHeaderBytes + present;
            continue;
        }
        if (c.pending.size() - at < kHeaderBytes + size_t(h.length)) break;
        u8* payload = c.pending.data() + at + kHeaderBytes;
        std::shared_ptr<LobbyPicture> picture = PrepareUserPicture(h, payload);
        {
            ClientLock lock(*this);
            if (c.stop) return false;
            go = DispatchLocked(h.type, h.status, payload, h.length, std::move(picture)) != 0;
        }
        at += kHeaderBytes + h.length;
    }
    c.pending.erase(c.pending.begin(), c.pending.begin() + ptrdiff_t(at));
    return go;
}

// Only this thread changes the payload key (at the handshake, in Dispatch),
// so the copy unscrambles as Dispatch will.
std::shared_ptr<LobbyPicture> CLobbyClient::PrepareUserPicture(const LobbyMessageHeader& h, const u8* payload)
{
    if (h.type != kUserDetail || h.status != kStatusSuccess) return nullptr;
    std::vector<u8> bytes(payload, payload + h.length);
    ScrambleLobby(bytes.data(), bytes.size(), m_payloadKey.load());
    UserDetail detail;
    if (ReadUserDetail(bytes.data(), u32(bytes.size()), true, &detail) != WireError::kNone || !detail.picture)
        return nullptr;
    LobbyUserRecord named;
    std::memcpy(named.data, detail.data, sizeof detail.data);
    return MakePicture(detail.picture, detail.pictureBytes, named.Name());
}

i32 CLobbyClient::Refuse(u16 type, WireError error)
{
    std::fprintf(stderr, "lobby: server message %u refused: %s\n", unsigned(type), WireErrorText(error));
    PostEvent(kEventServerLost);
    return 0;
}

// ---------------------------------------------------------------- Dispatch

i32 CLobbyClient::Dispatch(u16 type, u16 status, u8* payload, u32 n)
{
    ClientLock lock(*this);
    return DispatchLocked(type, status, payload, n);
}

i32 CLobbyClient::DispatchLocked(u16 type, u16 status, u8* payload, u32 n, std::shared_ptr<LobbyPicture> picture,
                                 bool pictureDropped)
{
    if (n > kMaxPayload) return Refuse(type, WireError::kTooLong);
    ScrambleLobby(payload, n, m_payloadKey.load());
    const bool ok = status == kStatusSuccess;
    if (n < RequiredBytes(type, status)) {
        // A refusal needs no payload; anything else must hold its fields.
        return Refuse(type, WireError::kShort);
    }
    switch (type) {
    case kHandshake: {
        if (!ok) return PostEvent(kEventServerLost), 0;
        Handshake h;
        ReadHandshake(payload, n, &h);
        if (!h.tilde) return PostEvent(kEventBadHandshake), 0;
        m_payloadKey = h.payloadKey;
        m_greeted = true;
        PostEvent(kEventDone);
        m_screen = u32(LobbyLayer::kLogin);
        return 1;
    }
    case kLoginResult: {
        if (!ok) return PostEvent(kEventLoginRefused), 1;
        UserDetail detail;
        if (const WireError e = ReadUserDetail(payload, n, false, &detail); e != WireError::kNone)
            return Refuse(type, e);
        std::memcpy(m_ownUser.data, detail.data, sizeof detail.data);
        m_screen = u32(LobbyLayer::kLobby);
        char login[kIdBytes] = {};
        std::memcpy(login, m_ownUser.data + kLoginAt, kIdBytes - 1);
        SetLobbyId(login);
        PostEvent(kEventDone);
        return 1;
    }
    case kRoomsAdded:
    case kRoomsChanged:
    case kRoomsState: ApplyRoomEntries(payload, n); return 1;
    case kRoomRemoved: {
        u32 id = 0;
        ReadId(payload, n, &id);
        if (IsMemberOf(id)) {
            m_playState = 0;
            m_screen = u32(LobbyLayer::kLobby);
            m_peers->RequestCloseAll();
            m_screens->RoomLost();
        }
        RemoveRoom(id);
        return 1;
    }
    case kRoomDetail:
    case kRoomDetailPassword:
    case kRoomDetailAsked:
    case kJoinAccepted: return ApplyRoomDetail(type, status, payload, n);
    case kMemberBlock:
    case kMemberBlockKick: {
        MemberBlock block;
        if (const WireError e = ReadMemberBlock(payload, n, &block); e != WireError::kNone) return Refuse(type, e);
        ApplyMemberBlock(block);
        if (type == kMemberBlockKick && !m_ownRoom.HasMember(m_ownUser.Id())) {
            m_peers->RequestCloseAll();
            m_screen = u32(LobbyLayer::kLobby);
            m_screens->RoomLost();
        }
        return 1;
    }
    case kUsersAdded:
    case kUsersChanged:
    case kUsersResult: ApplyUserEntries(payload, n); return 1;
    case kUserRemoved: {
        u32 id = 0;
        ReadId(payload, n, &id);
        RemoveUser(id);
        return 1;
    }
    case kUserDetail: {
        if (!ok) return PostEvent(kEventRefused), 1;
        UserDetail detail;
        if (const WireError e = ReadUserDetail(payload, n, !pictureDropped, &detail); e != WireError::kNone)
            return Refuse(type, e);
        LobbyUserRecord* user = FindUser(detail.id);
        if (!user) return PostEvent(kEventRefused), 1;
        std::memcpy(user->data, detail.data, sizeof detail.data);
        // No picture in the detail: the one he had stays. A new one replaces
        // it; drawn only when it loaded. One read past: he is shown without.
        if (pictureDropped)
            user->ReleasePicture();
        else if (picture)
            user->picture = std::move(picture);
        else if (detail.picture)
            user->SetPicture(detail.picture, detail.pictureBytes);
        m_screens->OpenUserInformation(*user, m_screen == u32(LobbyLayer::kRoom) && m_roomHost);
        PostEvent(kEventDone);
        return 1;
    }
    case kLobbyChat: {
        char line[kChatLineBytes];
        ReadChatLine(payload, n, line);
        m_screens->LobbyChatLine(line);
        return 1;
    }
    case kLineTestRequest: {
        LineTestRequest request;
        ReadLineTestRequest(payload, n, &request);
        m_joinAddress = request.address;
        m_joinPort = request.port;
        StartLineTest();
        return 1;
    }
    case kKeepAlive: SendEmpty(kKeepAlive); return 1;
    default: return 1;
    }
}

i32 CLobbyClient::ApplyRoomDetail(u16 type, u16 status, const u8* payload, u32 n)
{
    if (status != kStatusSuccess) return PostEvent(kEventRefused), 1;
    RoomDetail detail;
    if (const WireError e = ReadRoomDetail(payload, n, type == kJoinAccepted, &detail); e != WireError::kNone)
        return Refuse(type, e);
    LobbyRoomRecord* room = FindRoom(detail.id);
    if (!room) return PostEvent(kEventRefused), 1;
    std::memcpy(room->data, detail.data, kRoomDataBytes);
    if (!IsMemberOf(detail.id)) {
        if (type == kRoomDetailPassword || type == kRoomDetailAsked) {
            PostEvent(kEventDone);
            m_screens->OpenRoomInformation(*room);
        }
    } else {
        std::memcpy(m_ownRoom.data, detail.data, kRoomDataBytes);
        m_screens->RoomCreateMessage(type, payload, n);
    }
    if (type == kJoinAccepted) {
        m_joinAddress = detail.joinAddress;
        m_joinPort = detail.joinPort;
        std::memcpy(m_ownRoom.data, detail.data, kRoomDataBytes);
        m_screens->RoomMarkJoinedThroughServer();
        StartJoin();
    }
    return 1;
}

// ---------------------------------------------------------------- play state

void CLobbyClient::SetPlayState(u32 value)
{
    ClientLock lock(*this);
    m_playState = value;
    if (value == 0 && m_roomHost) {
        // The restart joins the accept thread stopped at the battle's start,
        // which may wait in its callback for this lock or the network
        // scene's: the next Update restarts it with neither held.
        m_relisten = true;
        const u8 bytes[4] = {0, 0, 0, 0};
        Send(1008, bytes, 4);
        m_screens->RoomBroadcastMemberTable();
    }
}

void CLobbyClient::SetPlayStateAndNotify(u32 value)
{
    m_playState = value;
    // Under the client lock, which the accept callback waits for: joining
    // the accept thread here would never end.
    if (value != 0) m_peers->StopListeningLater();
    u8 bytes[4];
    PutLe32(bytes, value);
    Send(1008, bytes, 4);
}

i32 CLobbyClient::ReportBattleResult(u32 result)
{
    u8 bytes[4];
    PutLe32(bytes, result);
    ClientLock lock(*this);
    if (m_roomHost) m_screens->RoomAddResult(result);
    else m_peers->Broadcast(1016, bytes, 4);
    return IsConnected() ? Send(1016, bytes, 4) : 0;
}

// ---------------------------------------------------------------- frame

void CLobbyClient::UpdateDrift()
{
    const f32 t = GetFrameTime();
    m_drift[5] += t * 200.0f;
    if (m_drift[5] >= 1024.0f) m_drift[5] = -20.0f;
    m_drift[4] -= t;
    if (m_drift[4] <= 0.0f) {
        m_drift[4] = f32(RandomInt(1000)) * 0.001f;
        m_drift[2] = f32(RandomInt(10)) * 0.1f;
        m_drift[3] = f32(RandomInt(10)) * 0.1f;
    }
    m_drift[0] = std::clamp(m_drift[0] + m_drift[2] - 0.15f, -20.0f, 20.0f);
    m_drift[1] = std::clamp(m_drift[1] + m_drift[3] - 0.4f, 0.0f, 150.0f);
}

void CLobbyClient::LeaveLeftScreensField()
{
    const u32 screen = std::min(m_screen, kLobbyScreenCount - 1);
    if (screen == m_fieldScreen) return;
    m_fieldScreen = screen;
    // Screens are left from the peer and server threads too (a host or
    // the room gone, a kick): the entry, which drives the window's input
    // method, is switched off here, before the next screen sees a key.
    if (m_ime) m_ime->Enable(0);
}

void CLobbyClient::Update()
{
    if (!m_created) return;
    {
        ClientLock lock(*this);
        LeaveLeftScreensField();
        UpdateDrift();
        if (m_screens->MessagePending()) m_screens->Update(LobbyLayer::kMessage);
        else if (m_screens->IsOpen(LobbyLayer::kUserInformation)) m_screens->Update(LobbyLayer::kUserInformation);
        else if (m_screens->IsOpen(LobbyLayer::kRoomInformation)) m_screens->Update(LobbyLayer::kRoomInformation);
        else if (m_screens->IsOpen(LobbyLayer::kRoomCreate)) m_screens->Update(LobbyLayer::kRoomCreate);
        else m_screens->Update(LobbyLayer(std::min(m_screen, kLobbyScreenCount - 1)));
    }
    // What a Disconnect under the lock left, and a listener to restart.
    if (!HoldsLock()) {
        RetireWorkers(false);
        JoinRetired();
        if (m_relisten.exchange(false)) m_peers->StartListening();
    }
}

i32 CLobbyClient::Draw()
{
    if (!m_created) return 0;
    ClientLock lock(*this);
    LeaveLeftScreensField();
    i32 result = m_screens->Draw(LobbyLayer(std::min(m_screen, kLobbyScreenCount - 1)));
    for (LobbyLayer window : {LobbyLayer::kUserInformation, LobbyLayer::kRoomInformation, LobbyLayer::kRoomCreate})
        if (m_screens->IsOpen(window)) result &= m_screens->Draw(window);
    if (m_screens->MessagePending()) result &= m_screens->Draw(LobbyLayer::kMessage);
    return result;
}

// ---------------------------------------------------------------- accessors

u32 CLobbyClient::GetPlayState()
{
    ClientLock lock(*this);
    return m_playState;
}

u32 CLobbyClient::GetExitRequest()
{
    ClientLock lock(*this);
    return m_exitRequest;
}

void CLobbyClient::SetExitRequest(u32 value)
{
    ClientLock lock(*this);
    m_exitRequest = value;
}

u32 CLobbyClient::GetMemberCount()
{
    ClientLock lock(*this);
    return u32(std::clamp<i32>(m_members.count, 0, i32(kMaxMembers)));
}

u32 CLobbyClient::GetPendingMessage()
{
    ClientLock lock(*this);
    return m_screens ? m_screens->PendingMessageCode() : ~0u;
}

u32 CLobbyClient::GetRoomChatLines()
{
    ClientLock lock(*this);
    return m_screens ? m_screens->RoomChatLines() : 0;
}

RoomMemberTable CLobbyClient::GetMemberTableCopy()
{
    ClientLock lock(*this);
    return m_members;
}

i32 CLobbyClient::GetMemberName(u32 index, char* out, u32 size)
{
    ClientLock lock(*this);
    if (!out || size == 0 || index >= u32(std::clamp<i32>(m_members.count, 0, i32(kMaxMembers)))) return 0;
    const char* name = m_members.members[index].name;
    const size_t keep = kernel::Cp932Fit(std::string_view(name, strnlen(name, sizeof m_members.members[0].name)),
                                         size - 1);
    std::memcpy(out, name, keep);
    out[keep] = 0;
    return 1;
}

i32 CLobbyClient::FindMemberByPeerId(const char* peerId)
{
    ClientLock lock(*this);
    if (!peerId) return -1;
    const i32 count = std::clamp<i32>(m_members.count, 0, i32(kMaxMembers));
    for (i32 i = 0; i < count; ++i)
        if (strncmp(m_members.members[i].peerId, peerId, peer::kPeerIdBytes) == 0) return i;
    return -1;
}

i32 CLobbyClient::IsRoomHost()
{
    ClientLock lock(*this);
    return m_roomHost ? 1 : 0;
}

i32 CLobbyClient::GetOwnMemberIndex()
{
    ClientLock lock(*this);
    return m_ownIndex;
}

void CLobbyClient::SetPlayStateRaw(u32 value)
{
    ClientLock lock(*this);
    m_playState = value;
}

void CLobbyClient::ReadLocked(const std::function<void()>& read)
{
    ClientLock lock(*this);
    read();
}

u32 CLobbyClient::GetScreen()
{
    ClientLock lock(*this);
    return m_screen;
}

void CLobbyClient::SetScreen(u32 screen)
{
    ClientLock lock(*this);
    m_screen = std::min(screen, kLobbyScreenCount - 1);
}

void CLobbyClient::SetRoomHost(bool host, i32 ownIndex)
{
    ClientLock lock(*this);
    m_roomHost = host;
    m_ownIndex = ownIndex;
}

u32 CLobbyClient::GetUserCount()
{
    ClientLock lock(*this);
    return u32(m_users.size());
}

u32 CLobbyClient::GetRoomCount()
{
    ClientLock lock(*this);
    return u32(m_rooms.size());
}

bool CLobbyClient::GetUser(u32 id, LobbyUserRecord* out)
{
    ClientLock lock(*this);
    const LobbyUserRecord* user = FindUser(id);
    if (user && out) *out = *user;
    return user != nullptr;
}

bool CLobbyClient::GetRoom(u32 id, LobbyRoomRecord* out)
{
    ClientLock lock(*this);
    const LobbyRoomRecord* room = FindRoom(id);
    if (room && out) *out = *room;
    return room != nullptr;
}

bool CLobbyClient::GetOwnRoom(LobbyRoomRecord* out)
{
    ClientLock lock(*this);
    *out = m_ownRoom;
    return true;
}

bool CLobbyClient::GetOwnUser(LobbyUserRecord* out)
{
    ClientLock lock(*this);
    *out = m_ownUser;
    return true;
}

LineTestResults CLobbyClient::GetLineTestResults()
{
    ClientLock lock(*this);
    return m_lineTest;
}

const char* CLobbyClient::GetUserName() { return m_ownUser.Name(); }

void CLobbyClient::SetLobbyId(const char* id)
{
    std::memset(m_lobbyId, 0, kIdBytes);
    if (id) std::memcpy(m_lobbyId, id, kernel::Cp932Fit(std::string_view(id, strnlen(id, kIdBytes)), kIdBytes - 1));
}

void CLobbyClient::SetAddressId(const char* id)
{
    std::memset(m_addressId, 0, kIdBytes);
    if (id)
        std::memcpy(m_addressId, id, kernel::Cp932Fit(std::string_view(id, strnlen(id, kIdBytes)), kIdBytes - 1));
}

void CLobbyClient::SetJoinTarget(u32 address, u32 port)
{
    ClientLock lock(*this);
    m_joinAddress = address;
    m_joinPort = port;
}

void CLobbyClient::SetOwnLogin(const char* text, u32 word)
{
    ClientLock lock(*this);
    const std::vector<u8> login = WriteLogin(text, word, 0, 0);
    std::memcpy(m_ownUser.data + kLoginAt, login.data(), 54);
}

// ---------------------------------------------------------------- room forwards

i32 CLobbyClient::AcceptPeer(CNetClient* peer)
{
    ClientLock lock(*this);
    return m_screens->AcceptPeer(peer);
}

i32 CLobbyClient::OnRoomChat(CNetClient* sender, const u8* payload, u32 length)
{
    ClientLock lock(*this);
    return m_screens->OnRoomChat(sender, payload, length);
}

i32 CLobbyClient::OnJoinReply(CNetClient* sender, const u8* payload, u32 length)
{
    ClientLock lock(*this);
    return m_screens->OnJoinReply(sender, payload, length);
}

i32 CLobbyClient::OnMemberInfo(CNetClient* sender, const u8* payload, u32 length)
{
    ClientLock lock(*this);
    return m_screens->OnMemberInfo(sender, payload, length);
}

i32 CLobbyClient::OnMemberTable(CNetClient* sender, const u8* payload, u32 length)
{
    ClientLock lock(*this);
    return m_screens->OnMemberTable(sender, payload, length);
}

i32 CLobbyClient::OnMemberResult(CNetClient* sender, const u8* payload, u32 length)
{
    ClientLock lock(*this);
    return m_screens->OnMemberResult(sender, payload, length);
}

void CLobbyClient::OnPeerLeft(CNetClient* peer)
{
    ClientLock lock(*this);
    m_screens->OnPeerLeft(peer);
}

i32 CLobbyClient::SendRoomChat(const u8* line, u32 length)
{
    ClientLock lock(*this);
    return m_screens->SendRoomChat(line, length);
}

void CLobbyClient::DrawRoomChat(f32 x, f32 y, f32 scale)
{
    ClientLock lock(*this);
    m_screens->DrawRoomChat(x, y, scale);
}
