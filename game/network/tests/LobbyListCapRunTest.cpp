// The lobby's user and room lists at their caps, through the real client
// and screens on a loopback socket. The test lobby server never gathers a
// few thousand users, so a server on a raw socket here speaks the lobby's
// framing and sends what the table asks, one whole message a list.
#include "game/network/LobbyMain.h"
#include "game/network/tests/LobbyPlayer.h"
#include "game/network/tests/LobbyScreensRun.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace lobby_list_cap_run_test {

namespace ORV_TEST_FILE_ID {

using namespace lobby_run;

constexpr u8 kSessionKey = 0x5C;   // not the initial key: the handshake must take
constexpr int kWaitMs = 10000;

// One client's server on 127.0.0.1: accepts it, writes whole server
// messages and reads the client's, each bounded by kWaitMs.
class RawLobbyServer {
public:
    RawLobbyServer()
    {
        m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof at;
        if (m_listener < 0 || bind(m_listener, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
            listen(m_listener, 1) != 0 || getsockname(m_listener, reinterpret_cast<sockaddr*>(&at), &size) != 0)
            return;
        m_port = ntohs(at.sin_port);
    }
    ~RawLobbyServer()
    {
        if (m_client >= 0) close(m_client);
        if (m_listener >= 0) close(m_listener);
    }
    RawLobbyServer(const RawLobbyServer&) = delete;
    RawLobbyServer& operator=(const RawLobbyServer&) = delete;

    u16 Port() const { return m_port; }
    bool Accept()
    {
        pollfd fd{m_listener, POLLIN, 0};
        if (m_port == 0 || poll(&fd, 1, kWaitMs) != 1) return false;
        m_client = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        return m_client >= 0;
    }
    bool Send(u16 type, const std::vector<u8>& payload)
    {
        const std::vector<u8> bytes =
            lobby::WriteServerMessage(type, lobby::kStatusSuccess, payload.data(), u32(payload.size()), m_key);
        for (size_t at = 0; at < bytes.size();) {
            pollfd fd{m_client, POLLOUT, 0};
            if (poll(&fd, 1, kWaitMs) != 1) return false;
            const ssize_t n = send(m_client, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
            if (n > 0) at += size_t(n);
        }
        return true;
    }
    bool Handshake()
    {
        const bool sent = Send(lobby::kHandshake, {u8('~'), kSessionKey});
        m_key = kSessionKey;
        return sent;
    }
    // The type of the client's next whole message (0: none in time or a bad frame).
    u16 Read()
    {
        for (;;) {
            lobby::ClientFrame frame;
            const lobby::FrameResult r = lobby::ReadClientFrame(m_in.data(), m_in.size(), m_key, &frame);
            if (r == lobby::FrameResult::kBad) return 0;
            if (r == lobby::FrameResult::kMessage) {
                m_in.erase(m_in.begin(), m_in.begin() + ptrdiff_t(frame.consumed));
                return frame.type;
            }
            pollfd fd{m_client, POLLIN, 0};
            if (poll(&fd, 1, kWaitMs) != 1) return 0;
            u8 buffer[4096];
            const ssize_t n = recv(m_client, buffer, sizeof buffer, 0);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) return 0;
            if (n > 0) m_in.insert(m_in.end(), buffer, buffer + n);
        }
    }

private:
    int m_listener = -1;
    int m_client = -1;
    u16 m_port = 0;
    u8 m_key = lobby::kInitialPayloadKey;
    std::vector<u8> m_in;
};

// One list entry as the server sends it: the id, a name, and a word at
// byte 29 (a user's list number; a room's flags).
struct Entry {
    u32 id;
    std::string name;
    u32 word;
};

std::vector<u8> EntryBytes(const Entry& e)
{
    std::vector<u8> bytes(lobby::kEntryBytes, 0);
    PutLe32(bytes.data(), e.id);
    std::memcpy(bytes.data() + 4, e.name.data(), std::min<size_t>(e.name.size(), lobby::kNameBytes - 1));
    PutLe32(bytes.data() + 29, e.word);
    return bytes;
}

std::vector<u8> Message(const std::vector<Entry>& entries)
{
    std::vector<u8> bytes;
    for (const Entry& e : entries) {
        const std::vector<u8> one = EntryBytes(e);
        bytes.insert(bytes.end(), one.begin(), one.end());
    }
    return bytes;
}

// count new entries from id first, named and numbered after their id so
// that no two sides of the cap carry the same bytes.
std::vector<Entry> Entries(u32 first, u32 count, const char* prefix)
{
    std::vector<Entry> out;
    for (u32 id = first; id < first + count; ++id) out.push_back({id, prefix + std::to_string(id), id * 3 + 1});
    return out;
}

// The lists the client keeps, one of them chosen.
struct ListKind {
    const char* name;
    u32 cap;
    u16 added, removed;
    bool users;
    u32 (CLobbyClient::*count)();
};
const ListKind kUsers = {"users", CLobbyClient::kMaxUsers, lobby::kUsersAdded, lobby::kUserRemoved,
                         true, &CLobbyClient::GetUserCount};
const ListKind kRooms = {"rooms", CLobbyClient::kMaxRooms, lobby::kRoomsAdded, lobby::kRoomRemoved,
                         false, &CLobbyClient::GetRoomCount};

// The listed entry's bytes as the server sent them (empty: not listed).
std::vector<u8> Listed(CLobbyClient& client, const ListKind& kind, u32 id)
{
    if (kind.users) {
        lobby::LobbyUserRecord user;
        if (!client.GetUser(id, &user)) return {};
        return std::vector<u8>(user.data + 1, user.data + 1 + lobby::kEntryBytes);
    }
    lobby::LobbyRoomRecord room;
    if (!client.GetRoom(id, &room)) return {};
    return std::vector<u8>(room.data, room.data + lobby::kEntryBytes);
}

class ListCapRun : public LobbyRun {
protected:
    // A player of the raw server's, on loopback address k.
    Player& Join(RawLobbyServer& server, u8 k)
    {
        Player& p = AddPlayer(k, 2, "127.0.0.1", server.Port());
        Focus(p);
        return p;
    }
    // Logged in as lobby_test::kOwnId, both lists empty, on the lobby screen.
    ::testing::AssertionResult LogIn(RawLobbyServer& server, Player& p)
    {
        if (!FramesUntil([&] { return p.client.IsConnected(); }) || !server.Accept())
            return ::testing::AssertionFailure() << "no connection";
        if (!server.Handshake() || !Idle(p, LobbyLayer::kLogin))
            return ::testing::AssertionFailure() << "no login screen";
        p.client.SendLogin();
        if (server.Read() != lobby::kLoginResult) return ::testing::AssertionFailure() << "no login";
        std::vector<u8> detail(lobby::kUserDetailBytes, 0);
        PutLe32(detail.data(), lobby_test::kOwnId);
        std::memcpy(detail.data() + 4, "me", 2);
        if (!server.Send(lobby::kLoginResult, detail) || !Idle(p, LobbyLayer::kLobby))
            return ::testing::AssertionFailure() << "not in the lobby";
        return ::testing::AssertionSuccess();
    }
    bool Idle(Player& p, LobbyLayer screen)
    {
        return FramesUntil([&] { return p.client.GetScreen() == u32(screen) && !p.MessagePending(); });
    }
    // Every entry listed with the bytes it was last sent.
    static ::testing::AssertionResult AllListed(CLobbyClient& client, const ListKind& kind,
                                               const std::vector<Entry>& entries)
    {
        for (const Entry& e : entries)
            if (Listed(client, kind, e.id) != EntryBytes(e))
                return ::testing::AssertionFailure() << kind.name << " id " << e.id << " not listed as sent";
        return ::testing::AssertionSuccess();
    }
    static ::testing::AssertionResult NoneListed(CLobbyClient& client, const ListKind& kind,
                                                const std::vector<Entry>& entries)
    {
        for (const Entry& e : entries)
            if (!Listed(client, kind, e.id).empty())
                return ::testing::AssertionFailure() << kind.name << " id " << e.id << " listed";
        return ::testing::AssertionSuccess();
    }
    // The room panel (the lobby screen's first) walked down to its end and
    // past it: the last row the player can reach.
    const lobby_scene::ListView& WalkTheRooms(Player& p)
    {
        CLobbyMainScene& main = *p.Screen<CLobbyMainScene>(LobbyLayer::kLobby);
        EXPECT_EQ(main.GetFocus(), u32(CLobbyMainScene::kFocusRooms));
        // One step a frame: the two down buttons take turns, so each is
        // pressed anew.
        for (u32 i = 0; i < CLobbyClient::kMaxRooms + 2; ++i) Press(i % 2 ? menu::kStickDown : menu::kDown);
        game.Frame();
        return main.Rooms();
    }
};

// What one list is sent: some entries listed first, then one message of the
// cap's worth of new ids and more, the listed ones changed behind them.
struct CapCase {
    const char* name;
    u32 before;    // entries listed first (ids 1..)
    u32 over;      // new ids in the one message past the cap's worth
    bool ownLast;  // the player's own user entry last of all (users only)
    bool walk;     // the room list walked to its end on the screen
};

TEST_F(ListCapRun, ListsOverTheCapInOneMessageStopAtItAndTheConnectionGoesOn)
{
    const CapCase cases[] = {
        {"exactly the cap", 0, 0, false, false},
        {"one over the cap", 0, 1, false, false},
        {"far over, three listed and changed, the own user last", 3, 40, true, true},
    };
    u8 k = 1;
    for (const CapCase& c : cases) {
        for (const ListKind* kind : {&kUsers, &kRooms}) {
            SCOPED_TRACE(std::string(c.name) + ", " + kind->name);
            RawLobbyServer server;
            Player& p = Join(server, k++);
            ASSERT_TRUE(LogIn(server, p));
            CLobbyClient& client = p.client;
            const u32 cap = kind->cap;
            const std::vector<Entry> had = Entries(1, c.before, "old");
            if (!had.empty()) {
                ASSERT_TRUE(server.Send(kind->added, Message(had)));
                ASSERT_TRUE(FramesUntil([&] { return (client.*kind->count)() == c.before; }));
            }
            // The one message: new ids, then the listed ones changed
            // (listed entries still change at the cap), then the own user.
            const u32 fresh = cap + c.over;
            const std::vector<Entry> news = Entries(1001, fresh, "new");
            std::vector<Entry> changed;
            for (const Entry& e : had) changed.push_back({e.id, "chg" + std::to_string(e.id), e.word + 500});
            std::vector<Entry> sent = news;
            sent.insert(sent.end(), changed.begin(), changed.end());
            const bool own = c.ownLast && kind == &kUsers;
            if (own) sent.push_back({lobby_test::kOwnId, "me, renamed", 77});
            ASSERT_LE(sent.size() * lobby::kEntryBytes, lobby::kMaxPayload);
            ASSERT_TRUE(server.Send(kind->added, Message(sent)));

            // The messages after it are applied: the first new entry goes,
            // two more come, of which one fits in its place.
            const Entry gone = news[0];
            const std::vector<Entry> late = Entries(900001, 2, "late");
            u8 id[4];
            PutLe32(id, gone.id);
            ASSERT_TRUE(server.Send(kind->removed, std::vector<u8>(id, id + 4)));
            ASSERT_TRUE(server.Send(kind->added, Message(late)));
            ASSERT_TRUE(FramesUntil([&] { return !Listed(client, *kind, late[0].id).empty(); }));

            const u32 fits = cap - c.before;   // of the new ids
            const std::vector<Entry> in(news.begin() + 1, news.begin() + fits);
            const std::vector<Entry> refused(news.begin() + fits, news.end());
            EXPECT_EQ(refused.size(), c.over + c.before);
            EXPECT_EQ((client.*kind->count)(), cap);
            EXPECT_TRUE(AllListed(client, *kind, in));
            EXPECT_TRUE(NoneListed(client, *kind, refused));
            EXPECT_TRUE(AllListed(client, *kind, changed));
            EXPECT_TRUE(AllListed(client, *kind, {late[0]}));
            EXPECT_TRUE(NoneListed(client, *kind, {late[1], gone}));
            if (own) {
                // No room in the list, yet the player's own record follows it.
                EXPECT_TRUE(NoneListed(client, *kind, {sent.back()}));
                lobby::LobbyUserRecord me;
                ASSERT_TRUE(client.GetOwnUser(&me));
                EXPECT_EQ(me.ListNumber(), 77u);
                EXPECT_STREQ(me.Name(), "me, renamed");
                u32 record = 0;
                client.ReadLocked([&] { record = client.GetPlayRecord(); });
                EXPECT_EQ(record, 77u);
            }
            // Still connected both ways: a keep-alive is answered.
            ASSERT_TRUE(server.Send(lobby::kKeepAlive, {}));
            EXPECT_EQ(server.Read(), lobby::kKeepAlive);
            EXPECT_TRUE(client.IsConnected());
            EXPECT_NE(p.MessageCode(), u32(kEventServerLost));
            EXPECT_EQ(client.GetScreen(), u32(LobbyLayer::kLobby));

            // The screen reaches the last listed row and no further. A frame
            // a row: the rooms only (both panels are the same list view),
            // the users' 2,048 rows took two minutes under ThreadSanitizer.
            if (!c.walk || kind != &kRooms) continue;
            const lobby_scene::ListView& view = WalkTheRooms(p);
            EXPECT_EQ(view.selected, cap - 1);
            EXPECT_EQ(view.top, cap - lobby_scene::kListRows);
        }
    }
}

}  // namespace ORV_TEST_FILE_ID

}  // namespace lobby_list_cap_run_test
