// Network play of the hosted selects without a network: a stand-in for the
// network scene that hosts one child per machine in one process, each
// machine with a peer host and a lobby of its own, and a relay that carries
// their peer messages on a thread of its own, delivered under the scene's
// lock as the network scene delivers them.
//
//   GameDriver game(root, net_test::Options(2));      // the scene is current
//   net_test::FakeNetworkScene& net = net_test::Net(game);
//   net.StartSelect(0); net.StartSelect(1);           // host and client
//   net.Focus(1); game.Press(menu::kDecide);          // only the client updates
//   net.relay.WaitIdle();
//
// The relay is a star, as the peer host is: what the room host (machine 0)
// sends reaches every other machine, what a member sends reaches the host.
// Player 1's keys reach every child that updates, so a test that presses
// keys focuses one machine; the others then wait (their messages still
// arrive).
#pragma once

#include "engine/core/Scene.h"
#include "engine/platform/app/ImeInput.h"
#include "game/battle/scene/BattleLockstep.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/battle/scene/PeerMessageSink.h"
#include "game/scenes/CharaSelect.h"
#include "game/scenes/GameApp.h"
#include "game/scenes/MenuScene.h"
#include "game/scenes/NetworkHost.h"
#include "game/scenes/OptionSelect.h"
#include "game/scenes/tests/GameDriver.h"
#include "game/scenes/tests/MenuRun.h"
#include "host/kernel/Kernel.h"

#include <array>
#include <atomic>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace net_test {

inline constexpr u32 kMaxMachines = 4;

struct Posted {
    u32 from = 0;
    u32 type = 0;
    std::vector<u8> body;
};

// A machine's lobby client: room members, the chat input, what it sent.
class FakeLobby : public ILobbyRoom {
public:
    FakeLobby()
    {
        m_ime.Create(kImeBufferSize);
        std::memset(userName, 'n', sizeof userName);   // no zero: the field may be full
    }
    u32 GetMemberCount() override { return members; }
    CImeInput* GetImeInput() override { return &m_ime; }
    const char* GetUserName() override { return userName; }
    i32 SendRoomChat(const u8* line, u32 length) override
    {
        chat.emplace_back(line, line + length);
        return 1;
    }
    void DrawRoomChat(f32, f32, f32) override { ++chatDraws; }

    std::atomic<u32> members = 2;
    char userName[kUserNameBytes];
    std::vector<std::vector<u8>> chat;
    u32 chatDraws = 0;

private:
    CImeInput m_ime;
};

class FakeNetworkScene;

// Carries the machines' messages; its thread delivers them.
class FakeRelay {
public:
    explicit FakeRelay(FakeNetworkScene& scene) : m_scene(scene) {}
    ~FakeRelay() { Stop(); }

    void Start();
    void Stop()
    {
        m_stop = true;
        m_wake.Set();
        if (m_thread) m_thread->Join();
        m_thread.reset();
    }
    void Post(u32 from, u32 type, const u8* data, u32 length)
    {
        {
            std::lock_guard guard(m_lock);
            Posted p{from, type, std::vector<u8>(data, data + length)};
            m_log.push_back(p);
            m_queue.push_back(std::move(p));
        }
        m_wake.Set();
    }
    // Until nothing is queued or being delivered (real time, bounded: the
    // driver's clock is a fake one, which the kernel's Sleep follows).
    bool WaitIdle(u32 ms = 10000)
    {
        for (u32 waited = 0; waited < ms; ++waited) {
            {
                std::lock_guard guard(m_lock);
                if (m_queue.empty() && !m_busy) return true;
            }
            m_never.Wait(1);
        }
        return false;
    }
    // Everything sent so far, in order; of one type when asked.
    std::vector<Posted> Log(u32 type = 0) const
    {
        std::lock_guard guard(m_lock);
        std::vector<Posted> out;
        for (const Posted& p : m_log)
            if (!type || p.type == type) out.push_back(p);
        return out;
    }
    void ClearLog()
    {
        std::lock_guard guard(m_lock);
        m_log.clear();
    }

private:
    u32 Run();

    FakeNetworkScene& m_scene;
    mutable std::mutex m_lock;   // a leaf: taken by senders under the scene's lock
    std::deque<Posted> m_queue;
    std::vector<Posted> m_log;
    bool m_busy = false;
    std::atomic<bool> m_stop = false;
    host::kernel::Event m_wake{false, false};
    host::kernel::Event m_never{true, false};   // waited on for real milliseconds
    std::unique_ptr<host::kernel::Thread> m_thread;
};

// One machine's peer host.
class FakePeerHost : public ILockstepTransport {
public:
    i32 Broadcast(u32 type, const u8* data, u32 length) override
    {
        if (relay) relay->Post(machine, type, data, length);
        return 1;
    }
    FakeRelay* relay = nullptr;
    u32 machine = 0;
};

class FakeNetworkScene : public CScene, public INetworkSceneHost {
    ORV_VALUE_CLASS(FakeNetworkScene)

public:
    static constexpr i32 kAll = -1;

    FakeNetworkScene() : FakeNetworkScene(2) {}
    explicit FakeNetworkScene(u32 machines) : relay(*this), m_machines(machines)
    {
        for (u32 m = 0; m < kMaxMachines; ++m) {
            hosts[m].relay = &relay;
            hosts[m].machine = m;
            lobbies[m].members = machines;
        }
    }
    // A clone is a new network of the same size: children and messages stay.
    FakeNetworkScene(const FakeNetworkScene& other) : FakeNetworkScene(other.m_machines) {}
    FakeNetworkScene& operator=(const FakeNetworkScene&) = delete;
    ~FakeNetworkScene() override
    {
        relay.Stop();
        host::kernel::Lock lock(m_lock);
        for (CScene*& child : m_children) delete std::exchange(child, nullptr);
    }

    i32 Initialize(intptr_t) override
    {
        relay.Start();
        return 1;
    }
    i32 Update(u32 argument) override
    {
        host::kernel::Lock lock(m_lock);
        for (u32 m = 0; m < m_machines; ++m) {
            if (m_focus != kAll && u32(m_focus) != m) continue;
            m_current = i32(m);
            if (m_children[m]) m_children[m]->Update(argument);
        }
        m_current = kAll;
        return 1;
    }
    i32 Draw(u32 argument) override
    {
        host::kernel::Lock lock(m_lock);
        for (u32 m = 0; m < m_machines; ++m)
            if (m_children[m]) m_children[m]->Draw(argument);
        return 1;
    }
    u32 OnMessage(u32, intptr_t) override { return 1; }

    // The child being updated is the one replaced.
    i32 SetChildScene(CScene* scene, u32 mode) override
    {
        const u32 m = m_current == kAll ? 0 : u32(m_current);
        delete std::exchange(m_children[m], scene);
        modes[m].push_back(mode);
        return 1;
    }
    i32 ChangeChildScene(CScene* scene, u32 mode, SceneBlock block) override
    {
        SetChildScene(scene, mode);
        if (scene->Initialize(block.Get())) return 0;
        const u32 m = m_current == kAll ? 0 : u32(m_current);
        delete std::exchange(m_children[m], nullptr);
        return 1;
    }

    i32 SetEndRequest(u32 value) override
    {
        endRequest = value;
        return 1;
    }

    // The set-up the network scene builds for machine: members 0..count-1
    // play entries 0..count-1, the rest are computers.
    CBattleSetup* MakeSetup(u32 machine)
    {
        auto* setup = new CBattleSetup(GetGameApp() ? GetGameApp()->GetSaveConfig() : nullptr);
        setup->networkMode = 1;
        setup->localEntry = machine;
        setup->netHost = &hosts[machine];
        setup->lobbyClient = &lobbies[machine];
        for (u32 i = 0; i < CBattleSetup::kEntryCount; ++i) {
            CBattleEntry* e = setup->GetEntry(i);
            e->kind = i < m_machines ? i : CBattleEntry::kKindComputer;
            std::memset(e->name, 0, sizeof e->name);
            if (i < m_machines) std::snprintf(e->name, sizeof e->name, "Player%u", i + 1);
        }
        return setup;
    }
    // Machine's child made as its hand-over makes it (a new scene of class
    // Scene, loaded with a fresh set-up, in mode): 0, or 1 when its Load
    // failed.
    template <class Scene>
    i32 StartChild(u32 machine, u32 mode)
    {
        host::kernel::Lock lock(m_lock);
        MenuSetupArgs args;
        args.curtain = 0.0f;
        args.alpha = 0.0f;
        args.setup = MakeSetup(machine);
        m_current = i32(machine);
        const i32 result = ChangeChildScene(new Scene(), mode, args);
        m_current = kAll;
        return result;
    }
    // The character select as the network scene starts it; the option
    // select as the character select hands over to it.
    i32 StartSelect(u32 machine) { return StartChild<CCharaSelect>(machine, kHostedSelectMode); }
    i32 StartOptionSelect(u32 machine) { return StartChild<COptionSelect>(machine, kHostedOptionMode); }
    // A message as machine's receive thread hands it to the child; the
    // child's answer (1 when there is no child that takes peer messages).
    u32 Deliver(u32 machine, u32 type, const u8* data, u32 length)
    {
        host::kernel::Lock lock(m_lock);
        auto* sink = dynamic_cast<IPeerMessageSink*>(m_children[machine]);
        const u32 answer = sink ? sink->OnPeerMessage(type, data, length) : 1;
        answers[machine].push_back({type, answer});
        return answer;
    }

    // kAll: every machine updates; else only that one.
    void Focus(i32 machine) { m_focus = machine; }
    CScene* Child(u32 machine) { return m_children[machine]; }
    template <class T>
    T* ChildAs(u32 machine)
    {
        return dynamic_cast<T*>(m_children[machine]);
    }
    u32 Machines() const { return m_machines; }
    host::kernel::CriticalSection& GetLock() { return m_lock; }

    FakeRelay relay;
    std::array<FakePeerHost, kMaxMachines> hosts;
    std::array<FakeLobby, kMaxMachines> lobbies;
    std::array<std::vector<u32>, kMaxMachines> modes;
    std::atomic<u32> endRequest = 0;
    // Each delivered message's (type, answer), by machine.
    std::array<std::vector<std::pair<u32, u32>>, kMaxMachines> answers;

private:
    u32 m_machines;
    i32 m_focus = kAll;
    i32 m_current = kAll;
    host::kernel::CriticalSection m_lock;
    std::array<CScene*, kMaxMachines> m_children{};
};

inline void FakeRelay::Start()
{
    if (m_thread) return;
    m_stop = false;
    m_thread = host::kernel::StartThread([this] { return Run(); });
}

inline u32 FakeRelay::Run()
{
    while (!m_stop) {
        Posted p;
        {
            std::lock_guard guard(m_lock);
            if (m_queue.empty()) {
                m_busy = false;
            } else {
                p = std::move(m_queue.front());
                m_queue.pop_front();
                m_busy = true;
            }
        }
        if (!m_busy) {
            m_wake.Wait(20);
            continue;
        }
        for (u32 m = 0; m < m_scene.Machines(); ++m) {
            const bool reaches = p.from == 0 ? m != 0 : m == 0;
            if (reaches) m_scene.Deliver(m, p.type, p.body.data(), u32(p.body.size()));
        }
    }
    return 0;
}

// The driver with the fake network scene current (machines of it), the data
// loaded.
inline game_test::DriverOptions Options(u32 machines, std::function<void(CSaveConfig&)> edit = {})
{
    game_test::DriverOptions options = menu_run::Options(std::move(edit));
    options.startScene = [machines] { return new FakeNetworkScene(machines); };
    return options;
}
inline FakeNetworkScene& Net(game_test::GameDriver& game)
{
    return *dynamic_cast<FakeNetworkScene*>(game.App().GetScene());
}
// Loads the data; the scene stays current.
inline ::testing::AssertionResult Ready(game_test::GameDriver& game)
{
    if (!game.Started()) return ::testing::AssertionFailure() << "no start" << game.Describe();
    if (!game.App().LoadResources()) return ::testing::AssertionFailure() << "no data" << game.Describe();
    if (!dynamic_cast<FakeNetworkScene*>(game.App().GetScene())) return ::testing::AssertionFailure() << "no network scene";
    return ::testing::AssertionSuccess();
}

// Machines in their selects (or option selects), faded in, the relay quiet.
struct Room {
    explicit Room(u32 machines = 2) : game(game_test::GameDataRoot(), Options(machines)) {}

    ::testing::AssertionResult Start(bool optionSelect = false)
    {
        if (auto ready = Ready(game); !ready) return ready;
        {
            // Every machine's scene is up before the first message arrives,
            // as when the room starts together.
            host::kernel::Lock lock(net().GetLock());
            for (u32 m = 0; m < net().Machines(); ++m) {
                const i32 failed = optionSelect ? net().StartOptionSelect(m) : net().StartSelect(m);
                if (failed) return ::testing::AssertionFailure() << "no select " << m << game.Describe();
            }
        }
        game.Frames(40);
        if (!net().relay.WaitIdle()) return ::testing::AssertionFailure() << "relay stuck";
        return ::testing::AssertionSuccess();
    }
    FakeNetworkScene& net() { return Net(game); }
    // Only machine m takes player 1's key; its messages delivered.
    void Press(u32 m, u32 code, u32 frames = 12)
    {
        net().Focus(i32(m));
        game.Press(code);
        game.Frames(frames);
        net().relay.WaitIdle();
    }
    // A keyboard key (scan code) down for a frame and up for one.
    void PressKey(u8 key)
    {
        game.Input().SetKey(key, true);
        game.Frame();
        game.Input().SetKey(key, false);
        game.Frame();
    }
    u32 Deliver(u32 m, u32 type, const u8* data, u32 length)
    {
        const u32 answer = net().Deliver(m, type, data, length);
        net().relay.WaitIdle();
        return answer;
    }
    // Test-thread calls into the scenes take the lock the relay delivers under.
    void Locked(const std::function<void()>& f)
    {
        host::kernel::Lock lock(net().GetLock());
        f();
    }
    game_test::GameDriver game;
};

}  // namespace net_test
