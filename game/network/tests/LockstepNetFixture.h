// The fixture of the lockstep's tests over peer connections: whole battle
// scenes in one process, each machine with its stand-in network scene and
// peer host on a network of the test's choosing (loopback addresses or the
// fake network). The game threads' part runs on the test thread, machine
// after machine, frame by frame; the receive threads and the lockstep
// thread are real.
#pragma once

#include "game/network/tests/NetSceneStandIn.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace net_scene_test {

using namespace scene_test;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Waits up to deadline for done; true when it held.
inline bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds deadline = 10s)
{
    const auto end = Clock::now() + deadline;
    while (!done()) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(200us);
    }
    return true;
}

// The names of this process's threads.
inline std::vector<std::string> ThreadNames()
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error)) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        if (std::getline(comm, name)) names.push_back(name);
    }
    return names;
}

inline size_t CountThreads(const char* name)
{
    const std::vector<std::string> names = ThreadNames();
    return size_t(std::count(names.begin(), names.end(), name));
}

class LockstepNetTest : public ScenePeersTest {
protected:
    void TearDown() override
    {
        for (auto& m : machines_) Leave(*m);
        machines_.clear();
        ScenePeersTest::TearDown();
    }

    // The room host and its members, each on its machine of a network
    // (netOf(entry), which outlives the machines); the room host is at
    // hostAddress.
    void Connect(u32 machines, u32 hostAddress, const std::function<host::net::Net&(u32 entry)>& netOf)
    {
        for (u32 e = 0; e < machines; ++e) {
            auto m = std::make_unique<NetSceneStandIn>(e, netOf(e));
            Prepare(*m);
            ASSERT_FALSE(HasFatalFailure());
            machines_.push_back(std::move(m));
        }
        ASSERT_TRUE(Host().Listen());
        ASSERT_NE(Host().GetListenPort(), 0);
        for (u32 e = 1; e < machines; ++e) {
            ASSERT_TRUE(machines_[e]->Join(hostAddress, Host().GetListenPort())) << "member " << e;
            // Accepted in order: entry e.
            ASSERT_TRUE(WaitFor([&] { return Host().GetAccepted() == e; })) << "member " << e;
        }
    }

    // Loads every battle, ticks of the input delay of option word 12; a
    // member begins once the room host's battle listens, as members do once
    // the host has started the battle.
    void Load(u32 humans, u32 inputDelayWord = 0)
    {
        std::vector<ScenePeer*> all;
        for (auto& m : machines_) all.push_back(m.get());
        std::atomic<bool> hostListened = true;
        LoadAll(
            all,
            [humans, inputDelayWord](u32 e) {
                CBattleSetup* setup = PeerSetup(e, humans);
                setup->option.inputDelay = inputDelayWord;
                return setup;
            },
            [this](ScenePeer& p) { Attach(p); },
            [&](ScenePeer& p) {
                if (p.entry != 0 && !WaitFor([&] { return Host().IsBattleListening(); })) hostListened = false;
            });
        ASSERT_TRUE(hostListened.load());
        ASSERT_FALSE(HasFatalFailure());
        for (auto& m : machines_) {
            // The handshake: each member said it was ready, the host said
            // all were, nothing came too early. On a slow line the host's
            // word can still be on its way when the member's load returns.
            const u32 ready = m->entry == 0 ? u32(machines_.size() - 1) : 1u;
            WaitFor([&] { return m->Taken(kMsgNetReady) >= ready; });
            EXPECT_EQ(m->Taken(kMsgNetReady), ready) << "machine " << m->entry;
            EXPECT_EQ(m->Early(), 0u) << "machine " << m->entry;
        }
    }

    // A loaded scene's machine hosts it. Its host sends a tick only once it
    // is complete: all of a tick's inputs come from this one test thread,
    // which a loaded machine can stall for longer than the second after
    // which a real host sends a tick without the late ones; a tick cut short
    // puts an entry's later inputs a tick late and the battle off its known
    // course. A tick that never completes fails Settle instead.
    void Attach(ScenePeer& p)
    {
        LockstepLimits limits;
        limits.bundleCycles = 0xFFFFFFFFu;
        p.scene->SetLockstepLimits(limits);
        Machine(p.entry).Host(p.scene.get());
    }

    // One frame of a machine, then its peer host's frame, outside its lock.
    static i32 StepNet(NetSceneStandIn& m, u32 frame)
    {
        const i32 result = Step(m, frame);
        m.Pump(kFrameMs);
        return result;
    }

    // Frames of every machine still playing, in turn, until stop says so or
    // limit frames ran; each update must go on. settle: after each tick's
    // first frame, wait until every machine holds the tick's bundle, so a
    // side message joins the same tick in every run.
    void Run(u32 from, u32 limit, const std::function<bool(u32)>& stop, bool settle = true)
    {
        for (u32 f = from; f < limit && !stop(f); ++f) {
            for (auto& m : machines_) {
                if (!m->scene || m->drops) continue;
                ASSERT_EQ(StepNet(*m, f), 1) << "machine " << m->entry << ", frame " << f;
            }
            const u32 delay = Host().scene->GetInputDelay();
            if (settle && f % delay == 0) {
                ASSERT_TRUE(Settle(f / delay + 1)) << "frame " << f;
            }
        }
    }

    bool Settle(u32 bundles)
    {
        if (!WaitFor([&] { return HostLockstep().GetStats().bundlesSent >= bundles; }, 5s)) return false;
        // The host's own bundles stay at home; a member counts those taken.
        const u32 sent = HostLockstep().GetStats().bundlesSent;
        for (auto& m : machines_)
            if (m->entry != 0 && m->scene && !WaitFor([&] { return m->Taken(kMsgFrameBundle) >= sent; }, 5s))
                return false;
        return true;
    }

    std::vector<ScenePeer*> Playing()
    {
        std::vector<ScenePeer*> playing;
        for (auto& m : machines_) playing.push_back(m.get());
        return playing;
    }

    // The battle goes on its game thread, once no message reaches it.
    void Leave(NetSceneStandIn& m)
    {
        if (!m.scene) return;
        m.Host(nullptr);
        PeerContext context(m);
        m.scene.reset();
    }

    NetSceneStandIn& Host() { return *machines_[0]; }
    NetSceneStandIn& Machine(u32 entry) { return *machines_[entry]; }
    CBattleLockstep& HostLockstep() { return *Host().scene->GetLockstep(); }

    // Networks first: they outlive the machines.
    std::vector<std::unique_ptr<host::net::Net>> nets_;
    std::vector<std::unique_ptr<NetSceneStandIn>> machines_;
};

}  // namespace net_scene_test
