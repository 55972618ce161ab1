// The line test on the fake network: datagrams dropped, doubled or swapped
// with the next, streams cut into small pieces. A swap delivers 1, 0, 3, 2,
// ...: only the odd sequence numbers climb above the highest seen.
#include "game/network/LineTest.h"
#include "game/network/tests/LineTestPort.h"
#include "host/kernel/Kernel.h"
#include "host/net/FakeNet.h"
#include "host/net/tests/ForwardingNet.h"

#include <gtest/gtest.h>

namespace ORV_TEST_FILE_ID {

namespace {

using host::net::Endpoint;
using host::net::Error;
using host::net::IoResult;
using host::net::MakeAddress;
using host::net::Socket;

constexpr u16 kCount = 10;

struct FateCase {
    const char* name;
    host::net::DatagramOptions datagrams;
    u32 counted;   // each way
};

TEST(LineTestFakeNet, CountsOnlyDatagramsAboveTheHighestSeen)
{
    const FateCase cases[] = {
        {"every datagram swapped with the next", {0, 0, 100, 0}, kCount / 2},
        {"every datagram doubled", {0, 100, 0, 0}, kCount - 1},
        {"every datagram lost", {100, 0, 0, 0}, 0},
        {"none lost", {0, 0, 0, 0}, kCount - 1},
    };
    for (const FateCase& c : cases) {
        host::net::FakeNetwork network(7);
        host::net::StreamOptions stream;
        stream.maxSegment = 7;
        stream.splitPercent = 50;
        network.SetStreamOptions(stream);
        network.SetDatagramOptions(c.datagrams);
        host::net::FakeMachine& machineA = network.AddMachine(MakeAddress(10, 0, 0, 1));
        host::net::FakeMachine& machineB = network.AddMachine(MakeAddress(10, 0, 0, 2));
        {
            CLineTest a(&machineA), b(&machineB);
            ASSERT_EQ(a.Init(line_test::kPort), 1);
            ASSERT_EQ(b.Init(line_test::kPort), 1);
            LineTestResults results{};
            ASSERT_EQ(a.Run(machineB.Address(), 1000, kCount, &results), 1) << c.name;
            EXPECT_EQ(results.datagramsReceived, c.counted) << c.name;
            EXPECT_EQ(results.datagramsCounted, c.counted) << c.name;
        }
        // Sockets were closed only once no thread used them.
        EXPECT_TRUE(network.Misuses().empty()) << c.name << ": " << network.Misuses().front();
    }
}

// The tester's machine, its clock moved on by each datagram it sends: the
// only time that passes during the test.
class DatagramClockNet final : public net_test::ForwardingNet {
public:
    DatagramClockNet(host::net::Net& inner, host::kernel::FakeClock& clock, u32 msPerDatagram)
        : ForwardingNet(inner), m_clock(clock), m_ms(msPerDatagram)
    {
    }
    IoResult SendTo(Socket socket, const void* data, size_t bytes, Endpoint remote) override
    {
        m_clock.Advance(m_ms);
        return ForwardingNet::SendTo(socket, data, bytes, remote);
    }

private:
    host::kernel::FakeClock& m_clock;
    u32 m_ms;
};

// On a fake clock the times are exact: the datagrams' time less their
// pacing (32 ms each), never below 0; the TCP phases took no time at all.
TEST(LineTestFakeNet, UdpTimeIsTheDatagramsTimeLessTheirPacing)
{
    const struct {
        u32 msPerDatagram;
        u32 udpMs;
    } cases[] = {{33, kCount}, {32, 0}, {10, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.msPerDatagram);
        host::kernel::FakeClock clock(1000);
        host::kernel::ScopedClock installed(clock);
        host::net::FakeNetwork network(7);
        host::net::FakeMachine& machineA = network.AddMachine(MakeAddress(10, 0, 0, 1));
        host::net::FakeMachine& machineB = network.AddMachine(MakeAddress(10, 0, 0, 2));
        DatagramClockNet tester(machineA, clock, c.msPerDatagram);
        CLineTest a(&tester), b(&machineB);
        ASSERT_EQ(a.Init(line_test::kPort), 1);
        ASSERT_EQ(b.Init(line_test::kPort), 1);
        LineTestResults results{};
        ASSERT_EQ(a.Run(machineB.Address(), 100, kCount, &results), 1);
        EXPECT_EQ(results.udpMs, c.udpMs);
        EXPECT_EQ(results.tcpSendMs, 0u);
        EXPECT_EQ(results.tcpReceiveMs, 0u);
        EXPECT_EQ(results.datagramsCounted, kCount - 1u);
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
