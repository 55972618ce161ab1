// CLineTest: measures the line between two players. Every client runs the
// responder from its creation (a TCP listener and a UDP socket on one port);
// the lobby server asks one client to run the tester against another's
// address. Threads: line-accept, line-udp, line-link (one per responder
// link) and the caller's (the lobby client's worker) for Run.
#pragma once

#include "engine/core/Types.h"
#include "host/net/Net.h"

#include <memory>

// The five results, in order.
struct LineTestResults {
    u32 tcpSendMs;          // first to last packet sent, less 16 per packet
    u32 tcpReceiveMs;       // the peer's packets, less 16 per packet
    u32 udpMs;              // first datagram to the peer's count, less 32 per datagram
    u32 datagramsReceived;  // from the peer, as counted
    u32 datagramsCounted;   // ours, as the peer counted them
};

class CLineTest {
public:
    static constexpr u16 kMinSize = 2;
    static constexpr u16 kMaxSize = 1400;
    static constexpr u16 kMaxCount = 1000;

    // net null: host::net::DefaultNet().
    explicit CLineTest(host::net::Net* net = nullptr);
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
