// The lobby server: one poll thread speaking the lobby protocol through the
// client's own wire code. Players on one machine start it as it is; the
// tests start it on a loopback address and a port the system picks, with
// faults, and have it end with them.
//
//   lobby_server [--bind A.B.C.D] [--port N] [--port-file F] [--accounts F]
//                [--log F] [--fault NAME] [--seconds N] [--keepalive-ms N]
//                [--exit-with-parent] [--help]
//
// It listens on 127.0.0.1 port 15500 unless told otherwise (port 0: one the
// system picks), says so on standard output and writes the port to the
// port file when one is named. Accounts: one a line, tab-separated: login,
// name (UTF-8), profile (UTF-8), list number; without an accounts file every
// login is taken, its account made on first use and named after it. It
// runs until stopped, or for N seconds, or (--exit-with-parent) until the
// process that started it ends. The log gets what it did, a line each.
// Faults: bad-handshake, refuse-login, short, oversized (a 2 MiB chat after
// the log-in; each user detail after the first with a picture past the
// client's bound, then a chat line), drop, silence, slow-read (a second
// without reading after the log-in), stop-reading (nothing read after the
// log-in).
#include "game/network/LobbyRoomRequest.h"
#include "game/network/LobbyWire.h"
#include "engine/core/Endian.h"
#include "host/kernel/Kernel.h"
#include "host/net/Net.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>
#include <vector>

using namespace lobby;

namespace {

constexpr u8 kSessionKey = 0x51;

struct Account {
    std::string login, name, profile;
    u32 number = 0;
    u32 results[3] = {};
};

struct Client {
    int fd = -1;
    u32 address = 0;   // where its connection came from, network order
    u8 key = kInitialPayloadKey;
    std::vector<u8> in;
    u32 user = 0;      // its account id once logged in
    u16 peerPort = 0;
    u32 loginAt = 0;
    u32 details = 0;   // user details sent
    bool gone = false;
};

struct Room {
    u32 id = 0;
    u8 data[kRoomDataBytes] = {};
    u32 hostAddress = 0;
    u16 hostPort = 0;
    std::vector<u32> members;   // the host first
};

constexpr u16 kDefaultPort = 15500;

struct Options {
    std::string bind = "127.0.0.1", portFile, accounts, log, fault;
    u16 port = kDefaultPort;
    u32 seconds = 0;   // 0: no limit
    u32 keepAliveMs = 1000;
    bool exitWithParent = false;
};

u32 NowMs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return u32(t.tv_sec * 1000 + t.tv_nsec / 1000000);
}

class Server {
public:
    explicit Server(Options options) : m_options(std::move(options)) {}

    bool Start();
    void Run();

private:
    void Log(const std::string& line);
    void Accept();
    void Read(Client& c);
    void Handle(Client& c, u16 type, const std::vector<u8>& payload);
    void SendTo(Client& c, u16 type, u16 status, const std::vector<u8>& payload);
    void SendRaw(Client& c, const std::vector<u8>& bytes);
    void Broadcast(u16 type, const std::vector<u8>& payload);
    // To the room's members but one (0: all of them).
    void SendToRoom(const Room& room, u16 type, const std::vector<u8>& payload, u32 except = 0);
    void SendMembers(const Room& room, u16 type, u32 leaver);
    void Login(Client& c, const std::vector<u8>& payload);
    std::vector<u8> UserEntry(u32 id) const;
    std::vector<u8> UserDetail(u32 id, u32 pictureBytes) const;
    std::vector<u8> RoomEntry(const Room& room) const;
    void WriteMembers(Room& room);
    Room* FindRoom(u32 id);
    Room* RoomOf(u32 user);
    void Leave(Client& c);
    bool LoadAccounts();
    // The account of a login, made for it when the server takes any (0: none).
    u32 AccountOf(const std::string& login);

    Options m_options;
    int m_listener = -1;
    std::vector<std::unique_ptr<Client>> m_clients;
    std::vector<Account> m_accounts;   // id = index + 1
    std::map<u32, Room> m_rooms;
    u32 m_nextRoom = 1;
    FILE* m_log = nullptr;
};

void Server::Log(const std::string& line)
{
    if (!m_log) return;
    std::fprintf(m_log, "%s\n", line.c_str());
    std::fflush(m_log);
}

bool Server::LoadAccounts()
{
    std::ifstream file(m_options.accounts);
    if (!file) return false;
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty()) continue;
        Account a;
        size_t at = 0;
        std::string* fields[3] = {&a.login, &a.name, &a.profile};
        for (std::string* field : fields) {
            const size_t tab = line.find('\t', at);
            *field = line.substr(at, tab == std::string::npos ? std::string::npos : tab - at);
            at = tab == std::string::npos ? line.size() : tab + 1;
        }
        a.number = u32(std::strtoul(line.c_str() + at, nullptr, 10));
        m_accounts.push_back(a);
    }
    return true;
}

bool Server::Start()
{
    const std::string where = m_options.bind + " port " + std::to_string(m_options.port);
    if (!m_options.accounts.empty() && !LoadAccounts()) {
        std::fprintf(stderr, "lobby_server: cannot read the accounts file %s\n", m_options.accounts.c_str());
        return false;
    }
    if (!m_options.log.empty()) m_log = std::fopen(m_options.log.c_str(), "a");
    m_listener = socket(AF_INET, SOCK_STREAM, 0);
    if (m_listener < 0) return false;
    const int one = 1;
    setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(m_options.port);
    if (inet_pton(AF_INET, m_options.bind.c_str(), &at.sin_addr) != 1) {
        std::fprintf(stderr, "lobby_server: %s is not an IPv4 address\n", m_options.bind.c_str());
        return false;
    }
    if (bind(m_listener, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || listen(m_listener, 16) != 0) {
        std::fprintf(stderr, "lobby_server: cannot listen on %s: %s\n", where.c_str(), std::strerror(errno));
        return false;
    }
    socklen_t size = sizeof at;
    getsockname(m_listener, reinterpret_cast<sockaddr*>(&at), &size);
    const unsigned port = ntohs(at.sin_port);
    std::printf("lobby_server: listening on %s port %u\n", m_options.bind.c_str(), port);
    std::fflush(stdout);
    if (m_options.portFile.empty()) return true;
    // Whole or not at all: the fixture reads it as soon as it exists.
    const std::string temp = m_options.portFile + ".tmp";
    FILE* f = std::fopen(temp.c_str(), "w");
    if (!f) return false;
    std::fprintf(f, "%u\n", port);
    std::fclose(f);
    return std::rename(temp.c_str(), m_options.portFile.c_str()) == 0;
}

void Server::Run()
{
    const pid_t parent = getppid();
    const u32 start = NowMs();
    u32 lastKeepAlive = start;
    const auto running = [&] {
        if (m_options.exitWithParent && getppid() != parent) return false;
        return m_options.seconds == 0 || NowMs() - start < m_options.seconds * 1000;
    };
    while (running()) {
        std::vector<pollfd> fds{{m_listener, POLLIN, 0}};
        for (auto& c : m_clients) {
            // slow-read: a logged-in client's bytes wait a second, so its send buffer fills.
            // stop-reading: after the log-in it never reads that client again.
            const bool hold = (m_options.fault == "slow-read" && c->user && NowMs() - c->loginAt < 1000) ||
                              (m_options.fault == "stop-reading" && c->user);
            fds.push_back({c->fd, short(hold ? 0 : POLLIN), 0});
        }
        if (poll(fds.data(), fds.size(), 50) < 0) continue;
        if (fds[0].revents & POLLIN) Accept();
        for (size_t i = 1; i < fds.size(); ++i)
            if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) Read(*m_clients[i - 1]);
        if (m_options.fault != "silence" && NowMs() - lastKeepAlive >= m_options.keepAliveMs) {
            lastKeepAlive = NowMs();
            for (auto& c : m_clients)
                if (c->user) SendTo(*c, kKeepAlive, kStatusSuccess, {});
        }
        for (size_t i = 0; i < m_clients.size();) {
            if (!m_clients[i]->gone) {
                ++i;
                continue;
            }
            Leave(*m_clients[i]);
            close(m_clients[i]->fd);
            m_clients.erase(m_clients.begin() + ptrdiff_t(i));
        }
    }
    Log("end");
}

void Server::Accept()
{
    sockaddr_in from{};
    socklen_t size = sizeof from;
    const int fd = accept(m_listener, reinterpret_cast<sockaddr*>(&from), &size);
    if (fd < 0) return;
    auto c = std::make_unique<Client>();
    c->fd = fd;
    std::memcpy(&c->address, &from.sin_addr, 4);
    Log("connect " + host::net::FormatAddress(c->address));
    if (m_options.fault == "silence") {
        m_clients.push_back(std::move(c));
        return;
    }
    const bool bad = m_options.fault == "bad-handshake";
    SendTo(*c, kHandshake, kStatusSuccess, {u8(bad ? 'X' : '~'), kSessionKey});
    c->key = kSessionKey;
    if (m_options.fault == "drop") c->gone = true;
    m_clients.push_back(std::move(c));
}

void Server::Read(Client& c)
{
    u8 buffer[4096];
    const ssize_t got = recv(c.fd, buffer, sizeof buffer, 0);
    if (got <= 0) {
        c.gone = true;
        return;
    }
    c.in.insert(c.in.end(), buffer, buffer + got);
    for (;;) {
        ClientFrame frame;
        const FrameResult r = ReadClientFrame(c.in.data(), c.in.size(), c.key, &frame);
        if (r == FrameResult::kMore) return;
        if (r == FrameResult::kBad) {
            Log("bad-frame");
            c.gone = true;
            return;
        }
        c.in.erase(c.in.begin(), c.in.begin() + ptrdiff_t(frame.consumed));
        Handle(c, frame.type, frame.payload);
    }
}

void Server::SendRaw(Client& c, const std::vector<u8>& bytes)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(c.fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            c.gone = true;
            return;
        }
        sent += size_t(n);
    }
}

void Server::SendTo(Client& c, u16 type, u16 status, const std::vector<u8>& payload)
{
    SendRaw(c, WriteServerMessage(type, status, payload.data(), u32(payload.size()), c.key));
}

void Server::Broadcast(u16 type, const std::vector<u8>& payload)
{
    for (auto& c : m_clients)
        if (c->user && !c->gone) SendTo(*c, type, kStatusSuccess, payload);
}

std::vector<u8> MemberBlockOf(const Room& room);

// A member list names no room: only that room's members get it, and the
// one who just left it (kicked or leaving), whose client must see himself gone.
void Server::SendMembers(const Room& room, u16 type, u32 leaver)
{
    const std::vector<u8> block = MemberBlockOf(room);
    SendToRoom(room, type, block, 0);
    for (auto& c : m_clients)
        if (leaver != 0 && c->user == leaver && !c->gone) SendTo(*c, type, kStatusSuccess, block);
}

void Server::SendToRoom(const Room& room, u16 type, const std::vector<u8>& payload, u32 except)
{
    for (auto& c : m_clients)
        if (c->user && c->user != except && !c->gone && std::find(room.members.begin(), room.members.end(), c->user) !=
                                                             room.members.end())
            SendTo(*c, type, kStatusSuccess, payload);
}

std::vector<u8> Server::UserEntry(u32 id) const
{
    std::vector<u8> e(kEntryBytes, 0);
    const Account& a = m_accounts[id - 1];
    PutLe32(e.data(), id);
    std::memcpy(e.data() + 4, a.name.data(), std::min<size_t>(a.name.size(), kNameBytes));
    PutLe32(e.data() + 29, a.number);
    return e;
}

std::vector<u8> Server::UserDetail(u32 id, u32 pictureBytes) const
{
    const Account& a = m_accounts[id - 1];
    std::vector<u8> d(kUserDetailBytes, 0);
    PutLe32(d.data(), id);
    std::memcpy(d.data() + 4, a.name.data(), std::min<size_t>(a.name.size(), kNameBytes));
    std::memcpy(d.data() + 41, a.profile.data(), std::min<size_t>(a.profile.size(), kProfileBytes));
    for (u32 i = 0; i < 3; ++i) PutLe32(d.data() + 298 + 4 * i, a.results[i]);
    PutLe32(d.data() + 310, a.number);
    if (pictureBytes) {
        PutLe32(d.data() + 314, pictureBytes);
        for (u32 i = 0; i < pictureBytes; ++i) d.push_back(u8(id + i));
    }
    return d;
}

std::vector<u8> MemberBlockOf(const Room& room)
{
    return std::vector<u8>(room.data + kMemberBlockAt, room.data + kMemberBlockAt + kMemberBlockBytes);
}

std::vector<u8> Server::RoomEntry(const Room& room) const { return std::vector<u8>(room.data, room.data + kEntryBytes); }

void Server::WriteMembers(Room& room)
{
    std::memset(room.data + kMemberBlockAt, 0, kMemberBlockBytes);
    PutLe16(room.data + kMemberBlockAt, u16(room.members.size()));
    for (size_t i = 0; i < room.members.size() && i < kMaxMembers; ++i) {
        const std::vector<u8> entry = UserEntry(room.members[i]);
        std::memcpy(room.data + (i == 0 ? kHostEntryAt : kMemberEntriesAt + (i - 1) * kEntryBytes), entry.data(),
                    kEntryBytes);
    }
}

Room* Server::FindRoom(u32 id)
{
    const auto it = m_rooms.find(id);
    return it == m_rooms.end() ? nullptr : &it->second;
}

Room* Server::RoomOf(u32 user)
{
    for (auto& [id, room] : m_rooms)
        for (u32 m : room.members)
            if (m == user) return &room;
    return nullptr;
}

u32 Server::AccountOf(const std::string& login)
{
    for (size_t i = 0; i < m_accounts.size(); ++i)
        if (m_accounts[i].login == login) return u32(i + 1);
    if (!m_options.accounts.empty() || login.empty()) return 0;
    // The game sends its text in code page 932; the lobby's names are UTF-8.
    Account a;
    a.login = login;
    a.name = host::kernel::Cp932ToUtf8(login);
    if (a.name.empty()) a.name = login;
    m_accounts.push_back(a);
    return u32(m_accounts.size());
}

void Server::Login(Client& c, const std::vector<u8>& payload)
{
    const char* text = reinterpret_cast<const char*>(payload.data());
    const std::string login(text, strnlen(text, 50));
    const u32 id = AccountOf(login);
    if (!id || m_options.fault == "refuse-login") {
        Log("refused " + login);
        SendTo(c, kLoginResult, kStatusFailure, {});
        return;
    }
    c.user = id;
    c.loginAt = NowMs();
    c.peerPort = GetLe16(payload.data() + 54);
    Log("login " + login);
    SendTo(c, kLoginResult, kStatusSuccess, UserDetail(id, 0));
    if (m_options.fault == "short") return SendTo(c, kRoomDetail, kStatusSuccess, std::vector<u8>(100, 0));
    // A chat message twice the client's bound, then the lists as ever.
    if (m_options.fault == "oversized") SendTo(c, kLobbyChat, kStatusSuccess, std::vector<u8>(2u << 20, 'x'));
    std::vector<u8> users, rooms;
    for (auto& other : m_clients)
        if (other->user) {
            const auto e = UserEntry(other->user);
            users.insert(users.end(), e.begin(), e.end());
        }
    for (auto& [rid, room] : m_rooms) {
        const auto e = RoomEntry(room);
        rooms.insert(rooms.end(), e.begin(), e.end());
    }
    SendTo(c, kUsersAdded, kStatusSuccess, users);
    if (!rooms.empty()) SendTo(c, kRoomsAdded, kStatusSuccess, rooms);
    for (auto& other : m_clients)
        if (other->user && other.get() != &c) SendTo(*other, kUsersAdded, kStatusSuccess, UserEntry(id));
}

void Server::Leave(Client& c)
{
    if (!c.user) return;
    Log("leave " + m_accounts[c.user - 1].login);
    if (Room* room = RoomOf(c.user)) {
        if (room->members.front() == c.user) {
            std::vector<u8> id(4);
            PutLe32(id.data(), room->id);
            m_rooms.erase(room->id);
            Broadcast(kRoomRemoved, id);
        } else {
            std::erase(room->members, c.user);
            WriteMembers(*room);
            SendMembers(*room, kMemberBlock, 0);
        }
    }
    const u32 user = c.user;
    c.user = 0;
    std::vector<u8> id(4);
    PutLe32(id.data(), user);
    Broadcast(kUserRemoved, id);
}

void Server::Handle(Client& c, u16 type, const std::vector<u8>& p)
{
    Log("message " + std::to_string(type) + " " + std::to_string(p.size()));
    const auto id32 = [&](size_t at) { return p.size() >= at + 4 ? GetLe32(p.data() + at) : 0u; };
    if (type == 1001 && p.size() == kLoginBytes) return Login(c, p);
    if (!c.user) return;
    switch (type) {
    case 1002: {   // a new room, named by its first bytes
        Room room;
        room.id = m_nextRoom++;
        PutLe32(room.data, room.id);
        std::memcpy(room.data + kRoomNameAt, p.data(), std::min<size_t>(p.size(), 20));
        // The settings of 1002 sit at room byte 20 on: the level range at 289.
        if (p.size() > kLevelRangeAt - 20) room.data[kLevelRangeAt] = p[kLevelRangeAt - 20];
        PutLe16(room.data + kMemberLimitAt, 4);
        room.hostAddress = c.address;
        room.hostPort = c.peerPort;
        room.members = {c.user};
        WriteMembers(room);
        Room& r = m_rooms[room.id] = room;
        Broadcast(kRoomsAdded, RoomEntry(r));
        return SendTo(c, kRoomDetail, kStatusSuccess, std::vector<u8>(r.data, r.data + kRoomDataBytes));
    }
    case 1003:
        if (Room* room = RoomOf(c.user); room && room->members.front() == c.user) {
            std::vector<u8> id(4);
            PutLe32(id.data(), room->id);
            m_rooms.erase(room->id);
            Broadcast(kRoomRemoved, id);
        }
        return;
    case 1004:   // the own room's settings: the level range at 268
        if (Room* room = RoomOf(c.user); room && room->members.front() == c.user && p.size() > 268) {
            room->data[kLevelRangeAt] = p[268];
            Broadcast(kRoomsChanged, RoomEntry(*room));
            return SendTo(c, kRoomDetail, kStatusSuccess, std::vector<u8>(room->data, room->data + kRoomDataBytes));
        }
        return;
    case 1005: {
        Room* room = FindRoom(id32(0));
        if (!room || room->members.size() >= kMaxMembers) return SendTo(c, kJoinAccepted, kStatusFailure, {});
        room->members.push_back(c.user);
        WriteMembers(*room);
        std::vector<u8> reply(room->data, room->data + kRoomDataBytes);
        reply.resize(kJoinBytes);
        PutLe32(reply.data() + kRoomDataBytes, room->hostAddress);
        PutLe32(reply.data() + kRoomDataBytes + 4, room->hostPort);
        Log("join " + std::to_string(room->id) + " host " + host::net::FormatAddress(room->hostAddress));
        SendTo(c, kJoinAccepted, kStatusSuccess, reply);
        // Those already in see the new member.
        return SendToRoom(*room, kMemberBlock, MemberBlockOf(*room), c.user);
    }
    case 1006:
    case 1009: {
        Room* room = FindRoom(id32(0));
        if (!room) return SendTo(c, type, kStatusFailure, {});
        return SendTo(c, type, kStatusSuccess, std::vector<u8>(room->data, room->data + kRoomDataBytes));
    }
    case 1007:
        if (Room* room = RoomOf(c.user); room && room->members.front() != c.user) {
            std::erase(room->members, c.user);
            WriteMembers(*room);
            SendMembers(*room, kMemberBlock, c.user);
        }
        return;
    case 1008:
        if (Room* room = RoomOf(c.user)) {
            PutLe32(room->data + kRoomStateAt, id32(0));
            Broadcast(kRoomsChanged, RoomEntry(*room));
        }
        return;
    case 1014:
        Log("kick " + std::to_string(id32(0)));
        if (Room* room = RoomOf(c.user); room && room->members.front() == c.user) {
            const u32 kicked = id32(0);
            if (kicked == c.user || std::find(room->members.begin(), room->members.end(), kicked) ==
                                        room->members.end())
                return;
            std::erase(room->members, kicked);
            WriteMembers(*room);
            SendMembers(*room, kMemberBlockKick, kicked);
        }
        return;
    case 1015: {
        const u32 id = id32(0);
        if (id == 0 || id > m_accounts.size()) return SendTo(c, kUserDetail, kStatusFailure, {});
        // Oversized: after the first, a picture one byte past the client's
        // bound, then a chat line.
        if (m_options.fault != "oversized" || c.details++ == 0)
            return SendTo(c, kUserDetail, kStatusSuccess, UserDetail(id, 16));
        SendTo(c, kUserDetail, kStatusSuccess, UserDetail(id, kMaxPayload - kUserDetailBytes + 1));
        std::vector<u8> line(kChatLineBytes, 0);
        std::memcpy(line.data(), "after the picture", 17);
        return SendTo(c, kLobbyChat, kStatusSuccess, line);
    }
    case 1016: {
        const u32 result = id32(0);
        if (result < 3) ++m_accounts[c.user - 1].results[result];
        // What the tests read back of the recorded results.
        const u32* r = m_accounts[c.user - 1].results;
        Log("result " + m_accounts[c.user - 1].login + " " + std::to_string(result) + " totals " +
            std::to_string(r[0]) + " " + std::to_string(r[1]) + " " + std::to_string(r[2]));
        return Broadcast(kUsersResult, UserEntry(c.user));
    }
    case 1020: {
        std::vector<u8> line(kChatLineBytes, 0);
        std::memcpy(line.data(), p.data(), std::min<size_t>(p.size(), kChatLineBytes - 1));
        Log("chat " + std::string(reinterpret_cast<const char*>(line.data())));
        return Broadcast(kLobbyChat, line);
    }
    case 1023: {   // run the line test against the room's host
        Room* room = FindRoom(id32(0));
        std::vector<u8> reply(8, 0);
        if (room) PutLe32(reply.data(), room->hostAddress);
        PutLe32(reply.data() + 4, 15500);
        return SendTo(c, kLineTestRequest, kStatusSuccess, reply);
    }
    case 1024: return Log("keepalive");
    default: return;
    }
}

}  // namespace

constexpr const char* kUsage =
    "usage: lobby_server [--bind A.B.C.D] [--port N] [--port-file F] [--accounts F]\n"
    "                    [--log F] [--fault NAME] [--seconds N] [--keepalive-ms N]\n"
    "                    [--exit-with-parent] [--help]\n"
    "Listens on 127.0.0.1 port 15500 unless told otherwise (port 0: one the system\n"
    "picks) and says so. --accounts: a file of accounts, one a line, tab-separated:\n"
    "login, name, profile, list number; without it every login is taken, its\n"
    "account made on first use. --seconds: stop after N seconds (else it runs until\n"
    "stopped). --port-file: write the port there. --log: what it did, a line each.\n"
    "--fault: misbehave for tests (bad-handshake, refuse-login, short, oversized,\n"
    "drop, silence, slow-read, stop-reading).\n";

int main(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string key = argv[i];
        if (key == "--help" || key == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (key == "--exit-with-parent") {
            options.exitWithParent = true;
            continue;
        }
        static const char* const kValued[] = {
            "--bind", "--port-file", "--accounts", "--log", "--fault", "--port", "--seconds", "--keepalive-ms"};
        if (std::find(std::begin(kValued), std::end(kValued), key) == std::end(kValued)) {
            std::fprintf(stderr, "lobby_server: %s is not an option it takes\n%s", key.c_str(), kUsage);
            return 2;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "lobby_server: %s wants a value\n%s", key.c_str(), kUsage);
            return 2;
        }
        const std::string value = argv[++i];
        char* end = nullptr;
        const unsigned long number = std::strtoul(value.c_str(), &end, 10);
        const bool numeric = !value.empty() && *end == '\0' && value[0] != '-';
        if (key == "--bind") options.bind = value;
        else if (key == "--port-file") options.portFile = value;
        else if (key == "--accounts") options.accounts = value;
        else if (key == "--log") options.log = value;
        else if (key == "--fault") options.fault = value;
        else if (key == "--port" && numeric && number <= 65535) options.port = u16(number);
        else if (key == "--seconds" && numeric && number <= 1000000) options.seconds = u32(number);
        else if (key == "--keepalive-ms" && numeric && number >= 1 && number <= 1000000) options.keepAliveMs = u32(number);
        else {
            std::fprintf(stderr, "lobby_server: %s %s is not an option it takes\n%s", key.c_str(), value.c_str(),
                         kUsage);
            return 2;
        }
    }
    // A test's server never outlives the test that started it.
    if (options.exitWithParent) prctl(PR_SET_PDEATHSIG, SIGTERM);
    signal(SIGPIPE, SIG_IGN);
    Server server(options);
    if (!server.Start()) return 1;
    server.Run();
    return 0;
}
