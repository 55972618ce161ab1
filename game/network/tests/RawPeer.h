// A peer made of a bare socket on loopback: it writes whatever bytes it is
// told to (hostile ones included) and reads the peer protocol's messages
// with deadlines. The room soak's hostile peers and the connection
// benchmark's client.
#pragma once

#include "engine/core/Types.h"
#include "game/network/PeerWire.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>   // steady_clock: <chrono> does not build under CP932
#include <vector>

namespace raw_peer {

// Milliseconds left until a deadline, 0 once past it.
class Deadline {
public:
    explicit Deadline(u32 ms) : m_end(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms)) {}
    int Remaining() const
    {
        const auto left = m_end - std::chrono::steady_clock::now();
        return left.count() <= 0 ? 0 : int(std::chrono::ceil<std::chrono::milliseconds>(left).count());
    }
    bool Passed() const { return Remaining() == 0; }

private:
    std::chrono::steady_clock::time_point m_end;
};

enum class Read : u8 { kMessage, kClosed, kTimeout };

class RawPeer {
public:
    RawPeer() = default;
    ~RawPeer() { Close(); }
    RawPeer(const RawPeer&) = delete;
    RawPeer& operator=(const RawPeer&) = delete;

    // A blocking connect from the loopback address `from` (network order) to
    // to:port. receiveBuffer > 0 shrinks the socket's receive buffer first.
    bool Connect(u32 from, u32 to, u16 port, int receiveBuffer = 0)
    {
        return Open() && ConnectOpened(from, to, port, receiveBuffer);
    }
    // The socket alone; ConnectOpened connects it (no new descriptor).
    bool Open()
    {
        Close();
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        return m_fd >= 0;
    }
    bool ConnectOpened(u32 from, u32 to, u16 port, int receiveBuffer = 0)
    {
        const int on = 1;
        // The port is picked at connect: short connects do not use up the
        // ports of one address with connections waiting out their close.
        setsockopt(m_fd, IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &on, sizeof on);
        if (receiveBuffer > 0) setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = from;
        sockaddr_in remote{};
        remote.sin_family = AF_INET;
        remote.sin_addr.s_addr = to;
        remote.sin_port = htons(port);
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
            ::connect(m_fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) {
            Close();
            return false;
        }
        return true;
    }

    // Ping messages read are answered with a pong unless told otherwise (a
    // silent peer).
    void AnswerPings(bool on) { m_answerPings = on; }

    bool SendBytes(const void* data, size_t size)
    {
        const u8* bytes = static_cast<const u8*>(data);
        while (size > 0) {
            const ssize_t n = ::send(m_fd, bytes, size, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            bytes += n;
            size -= size_t(n);
        }
        return true;
    }
    bool SendMessage(i16 type, const void* payload, u32 length)
    {
        const std::vector<u8> message = peer::WriteMessage(type, peer::kSubType, payload, length);
        return SendBytes(message.data(), message.size());
    }
    // A header with any length, no payload.
    bool SendHeader(i16 type, u32 length)
    {
        u8 header[peer::kHeaderBytes];
        peer::WriteHeader({type, peer::kSubType, length}, header);
        return SendBytes(header, sizeof header);
    }

    // The next whole message within ms (pings answered first, when on).
    Read ReadMessage(i16* type, std::vector<u8>* payload, u32 ms)
    {
        const Deadline deadline(ms);
        for (;;) {
            if (m_in.size() >= peer::kHeaderBytes) {
                const u32 length = u32(m_in[4]) | u32(m_in[5]) << 8 | u32(m_in[6]) << 16 | u32(m_in[7]) << 24;
                if (m_in.size() >= peer::kHeaderBytes + length) {
                    const i16 t = i16(m_in[0] | m_in[1] << 8);
                    if (payload) payload->assign(m_in.begin() + peer::kHeaderBytes, m_in.begin() + peer::kHeaderBytes + length);
                    m_in.erase(m_in.begin(), m_in.begin() + peer::kHeaderBytes + length);
                    if (t == peer::kPing && m_answerPings) SendHeader(peer::kPong, 0);
                    if (type) *type = t;
                    return Read::kMessage;
                }
            }
            const Read got = Fill(deadline);
            if (got != Read::kMessage) return got;
        }
    }
    // Reads until a message of type comes (others skipped): true then.
    bool WaitFor(i16 type, std::vector<u8>* payload, u32 ms)
    {
        const Deadline deadline(ms);
        for (;;) {
            i16 t = 0;
            if (ReadMessage(&t, payload, u32(deadline.Remaining())) != Read::kMessage) return false;
            if (t == type) return true;
        }
    }
    // Reads (and drops) until the other side ends the connection: true when
    // it does within ms.
    bool WaitClosed(u32 ms)
    {
        const Deadline deadline(ms);
        for (;;) {
            m_in.clear();
            const Read got = Fill(deadline);
            if (got == Read::kClosed) return true;
            if (got == Read::kTimeout) return false;
        }
    }

    void ShutdownWrite() { ::shutdown(m_fd, SHUT_WR); }
    // Closes with a reset instead of the orderly end.
    void Reset()
    {
        if (m_fd < 0) return;
        const linger hard{1, 0};
        setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        Close();
    }
    void Close()
    {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
        m_in.clear();
    }
    int Fd() const { return m_fd; }

private:
    // More bytes into the buffer: kMessage when some came.
    Read Fill(const Deadline& deadline)
    {
        pollfd p{m_fd, POLLIN, 0};
        int n;
        do
            n = ::poll(&p, 1, deadline.Remaining());
        while (n < 0 && errno == EINTR);
        if (n == 0) return Read::kTimeout;
        if (n < 0) return Read::kClosed;
        u8 buffer[4096];
        const ssize_t got = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) return Read::kMessage;
        if (got <= 0) return Read::kClosed;
        m_in.insert(m_in.end(), buffer, buffer + got);
        return Read::kMessage;
    }

    int m_fd = -1;
    bool m_answerPings = true;
    std::vector<u8> m_in;
};

}  // namespace raw_peer
