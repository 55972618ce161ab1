// The line test on the fake network: datagrams dropped, doubled or swapped
// with the next, streams cut into small pieces. A swap delivers 1, 0, 3, 2,
// ...: only the odd sequence numbers climb above the highest seen.
#include "game/network/LineTest.h"
#include "host/net/FakeNet.h"

#include <gtest/gtest.h>

namespace {

using host::net::MakeAddress;

constexpr u16 kPort = 15500;
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
            ASSERT_EQ(a.Init(kPort), 1);
            ASSERT_EQ(b.Init(kPort), 1);
            LineTestResults results{};
            ASSERT_EQ(a.Run(machineB.Address(), 1000, kCount, &results), 1) << c.name;
            EXPECT_EQ(results.datagramsReceived, c.counted) << c.name;
            EXPECT_EQ(results.datagramsCounted, c.counted) << c.name;
        }
        // Sockets were closed only once no thread used them.
        EXPECT_TRUE(network.Misuses().empty()) << c.name << ": " << network.Misuses().front();
    }
}

}  // namespace
