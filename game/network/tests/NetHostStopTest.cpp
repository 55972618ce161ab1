// Stopping the listener while the accept callback waits for a lock the
// stopping caller holds (the lobby client's, at the battle start): the stop
// must not wait for the accept thread.
#include "game/network/tests/NetHostHarness.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace ORV_TEST_FILE_ID {

using namespace peer_test;

namespace {

// Stands for the caller's lock: closed while the caller holds it.
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;
    std::atomic<bool> entered{false};
    void Open()
    {
        std::lock_guard<std::mutex> lock(mutex);
        open = true;
        changed.notify_all();
    }
};

i32 WaitAtGate(void* context, CNetClient*)
{
    auto* gate = static_cast<Gate*>(context);
    gate->entered = true;
    // Bounded: a stop that joined with the gate closed would take this long.
    std::unique_lock<std::mutex> lock(gate->mutex);
    return gate->changed.wait_for(lock, std::chrono::milliseconds(kWaitMs), [&] { return gate->open; }) ? 1 : 0;
}

}  // namespace

TEST(NetHostStop, StopListeningLaterReturnsWhileTheAcceptCallbackWaitsForTheCallersLock)
{
    Node node(1);
    Gate gate;
    node.host.InitListener(0, &WaitAtGate, &gate, &Recorder::Message, &node.rec, &Recorder::Disconnect, &node.rec);
    ASSERT_EQ(node.host.StartListening(), 1);
    const u16 port = node.host.GetListenPort();
    RawPeer peer(*node.net, node.address, port);
    ASSERT_TRUE(peer.connected);
    for (int waited = 0; waited < kWaitMs && !gate.entered; waited += 5)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(gate.entered);

    const auto before = std::chrono::steady_clock::now();
    node.host.StopListeningLater();
    const auto took = std::chrono::steady_clock::now() - before;
    EXPECT_LT(took, std::chrono::milliseconds(kWaitMs / 2));
    EXPECT_EQ(node.host.GetListenPort(), 0);
    gate.Open();
    // A later stop joins the parked accept thread.
    node.host.StopListening();
    EXPECT_EQ(node.host.GetListenPort(), 0);
}

}  // namespace ORV_TEST_FILE_ID
