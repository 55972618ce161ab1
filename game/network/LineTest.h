// CLineTest: measures the line between two players. Every client runs the
// responder from its creation (a TCP listener and a UDP socket on one port);
// the lobby server asks one client to run the tester against another's
// address. Threads: line-accept, line-udp, line-link (one per responder
// link) and the caller's (the lobby client's worker) for Run.
#pragma once

#include "engine/core/Types.h"
#include "host/net/Net.h"

#include <array>
#include <cstddef>
#include <memory>

// The five results, in order.
struct LineTestResults {
    u32 tcpSendMs;          // first to last packet sent, less 16 per packet
    u32 tcpReceiveMs;       // the peer's packets, less 16 per packet
    u32 udpMs;              // first datagram to the peer's count, less 32 per datagram
    u32 datagramsReceived;  // from the peer, as counted
    u32 datagramsCounted;   // ours, as the peer counted them
};

// The test's records, read by checked readers before anything uses them
// (also the fuzz driver's entry points). Over the test's TCP connection: the
// header (u16 count, u16 size) from the tester, count packets each way, a
// u32 marker from the tester, the responder's u32 datagram count. Each
// datagram is size bytes, its first u16 the sequence number 0..count-1.
namespace line_wire {

inline constexpr u16 kMinSize = 2;          // the sequence number must fit
inline constexpr u16 kMaxSize = 1400;
inline constexpr u16 kMaxCount = 1000;
inline constexpr size_t kHeaderBytes = 4;
inline constexpr size_t kWordBytes = 4;

enum class LineError : u8 {
    kNone,
    kLength,     // not the record's size
    kSize,       // packet size outside 2..1400
    kCount,      // packet count over 1000
    kTooMany,    // a datagram count past what the test can have counted
    kSequence,   // a sequence number outside the test's count
};
const char* DescribeLineError(LineError error);

struct Header {
    u16 count = 0;
    u16 size = 0;
};
LineError ReadHeader(const u8* bytes, size_t length, Header* out);
std::array<u8, kHeaderBytes> WriteHeader(const Header& header);

// The tester's marker: any value.
LineError ReadMarker(const u8* bytes, size_t length, u32* out);
// The responder's datagram count for a test of packetCount datagrams: it
// never counts the first one, so at most packetCount - 1.
LineError ReadDatagramCount(const u8* bytes, size_t length, u16 packetCount, u32* out);
std::array<u8, kWordBytes> WriteWord(u32 value);

// One link's datagram tally. A datagram counts when its sequence number is
// above the highest seen: late and repeated ones do not, nor the first
// (sequence 0), so a perfect line gives count - 1.
struct DatagramTally {
    u16 count = 0;     // packets of the test; 0 until the header is read
    u16 size = 0;
    u16 highest = 0;
    u32 received = 0;
};
// A datagram of the tally's size whose sequence is below its count.
LineError ReadDatagram(const u8* bytes, size_t length, const DatagramTally& tally, u16* sequence);
// Reads the datagram and counts it; a refused one changes nothing.
LineError CountDatagram(DatagramTally& tally, const u8* bytes, size_t length);
// The datagram with sequence number i (the rest of the bytes as they are).
void StampDatagram(u8* bytes, u16 sequence);

}  // namespace line_wire

class CLineTest {
public:
    static constexpr u16 kMinSize = line_wire::kMinSize;
    static constexpr u16 kMaxSize = line_wire::kMaxSize;
    static constexpr u16 kMaxCount = line_wire::kMaxCount;
    // Links (tester and responder) at once; more are refused, and so is a
    // second responder link from an address that has one.
    static constexpr u32 kMaxLinks = 4;
    static constexpr u32 kPacingMs = 16;
    // Each block read or written, and the connect.
    static constexpr u32 kBlockTimeoutMs = 10000;
    // A responder link ends this long after its header at the latest: both
    // packet runs of its count at twice their pacing, and one block's time.
    // Per block alone, a stranger trickling bytes held a link for hours.
    static u32 TestDeadlineMs(u16 count, u32 blockTimeoutMs)
    {
        return blockTimeoutMs + 4 * kPacingMs * count;
    }

    // net null: host::net::DefaultNet(). blockTimeoutMs: shorter in tests.
    explicit CLineTest(host::net::Net* net = nullptr, u32 blockTimeoutMs = kBlockTimeoutMs);
    // Shutdown.
    ~CLineTest();
    CLineTest(const CLineTest&) = delete;
    CLineTest& operator=(const CLineTest&) = delete;

    // Starts the listener and the UDP socket on port; 1 when both run (also
    // when they already did).
    i32 Init(u16 port);
    // Runs the test against address (IPv4, network order) with count packets
    // of size bytes each way; results as far as they got. 1 or 0.
    i32 Run(u32 address, u16 size, u16 count, LineTestResults* results);
    // Closes both sockets and joins every thread, responder links included.
    void Shutdown();
    u16 GetPort() const;

private:
    struct Impl;
    host::net::Net& m_net;
    std::unique_ptr<Impl> m_impl;
};
