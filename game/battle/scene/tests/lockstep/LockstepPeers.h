// Test doubles of the lockstep's seams, and an in-process network that joins
// two to four CBattleLockstep machines with real threads: each machine has a
// game thread running a toy battle, a receive thread that delivers its
// messages under its network scene's lock, and (the host) the lockstep
// thread. Links keep each sender's messages in order, as TCP does, while
// different senders interleave; a message can be delayed, cut short, and a
// machine can leave.
#pragma once

#include "engine/core/StateHash.h"
#include "game/battle/scene/BattleLockstep.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace lockstep_test {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The network scene's lock, which knows whether the calling thread holds it.
class FakeNetworkLock : public INetworkSceneLock {
public:
    void Enter() override
    {
        m_mutex.lock();
        m_owner = std::this_thread::get_id();
        ++m_depth;
    }
    void Leave() override
    {
        if (--m_depth == 0) m_owner = std::thread::id();
        m_mutex.unlock();
    }
    bool HeldByMe() const { return m_owner.load() == std::this_thread::get_id(); }

private:
    std::recursive_mutex m_mutex;
    std::atomic<std::thread::id> m_owner{};
    int m_depth = 0;
};

class FakeBattle : public ILockstepBattle {
public:
    f32 GetMusicPosition() override { return music.load(); }
    void AddPausedTime(u32 ms) override { paused += ms; }
    bool IsEndFadeStarted() override { return fade.load(); }

    std::atomic<f32> music{0.0f};
    std::atomic<u32> paused{0};
    std::atomic<bool> fade{false};
};

struct Sent {
    u32 type;
    std::string body;
};

// Keeps what was broadcast.
class RecordingTransport : public ILockstepTransport {
public:
    i32 Broadcast(u32 type, const u8* data, u32 length) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_sent.push_back({type, std::string(reinterpret_cast<const char*>(data), length)});
        return 1;
    }
    std::vector<Sent> Take()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return std::exchange(m_sent, {});
    }
    std::vector<Sent> Of(u32 type)
    {
        std::vector<Sent> out;
        for (Sent& s : Take())
            if (s.type == type) out.push_back(std::move(s));
        return out;
    }

private:
    std::mutex m_mutex;
    std::vector<Sent> m_sent;
};

inline std::string U32Bytes(u32 v) { return WriteU32Body(v); }
inline const u8* Data(const std::string& s) { return reinterpret_cast<const u8*>(s.data()); }
inline InputPacket Packet(u32 v) { return InputPacket{{u8(v), u8(v >> 8)}, i8(v >> 16), i8(v >> 24)}; }

inline FrameBundle ReadBundle(const std::string& bytes)
{
    FrameBundle bundle{};
    EXPECT_EQ(ReadFrameBundle(Data(bytes), bytes.size(), &bundle), LockstepRecordError::kNone);
    return bundle;
}

// What one machine's toy battle did.
struct MachineRun {
    std::vector<u64> hashes;   // after each frame
    std::vector<std::string> chat;   // radio-chat texts, in the order applied
    bool gaveUp = false;
    i32 syncResult = -1;
};

struct NetworkOptions {
    u32 seed = 1;
    u32 maxDelayMs = 0;       // each message waits 0..max ms, in order per link
    u32 frames = 60;
    bool handshake = true;
    LockstepLimits limits;
    std::map<u32, LockstepLimits> limitsOf;   // per machine, over limits
    u32 inputDelayWord = 0;
    u32 chatEvery = 0;        // frames between radio-chat lines of each machine (0: none)
    // A machine whose battle stops after this frame (UINT32_MAX: never); it
    // goes silent, and leaves the network when silentLeaves is set.
    std::map<u32, u32> stopAfter;
    bool silentLeaves = true;
    // Players that never come: no machine plays them.
    std::set<u32> absent;
};

// A star of machines: every client is linked to the host (entry 0) only.
class FakeNetwork {
public:
    FakeNetwork(const u32 (&kinds)[kLockstepEntries], const NetworkOptions& options)
        : m_options(options), m_random(options.seed)
    {
        for (u32 e = 0; e < kLockstepEntries; ++e) {
            if (kinds[e] >= CBattleEntry::kKindComputer || options.absent.count(e)) continue;
            auto m = std::make_unique<Machine>();
            m->entry = e;
            m->transport.network = this;
            m->transport.from = e;
            LockstepConfig config;
            config.localEntry = e;
            std::memcpy(config.kinds, kinds, sizeof config.kinds);
            config.inputDelayWord = options.inputDelayWord;
            config.limits = options.limitsOf.count(e) ? options.limitsOf.at(e) : options.limits;
            m->lockstep = std::make_unique<CBattleLockstep>(config, &m->transport, &m->lock, &m->battle);
            m_machines[e] = std::move(m);
        }
    }

    ~FakeNetwork() { Stop(); }

    // Runs every machine's battle to its end and the deliveries after it;
    // false when something still ran after the deadline.
    bool RunAll(std::chrono::milliseconds deadline = 20s)
    {
        for (auto& [entry, m] : m_machines) {
            Machine* machine = m.get();
            machine->receiver = std::thread([this, machine] { Receive(*machine); });
        }
        for (auto& [entry, m] : m_machines) {
            Machine* machine = m.get();
            machine->game = std::thread([this, machine] { Play(*machine); });
        }
        const auto end = Clock::now() + deadline;
        bool inTime = true;
        for (auto& [entry, m] : m_machines) {
            while (!m->done.load()) {
                if (Clock::now() > end) {
                    // Every wait ends when the end fade starts.
                    inTime = false;
                    for (auto& [e, other] : m_machines) other->battle.fade = true;
                }
                std::this_thread::sleep_for(1ms);
            }
        }
        Stop();
        return inTime;
    }

    CBattleLockstep& Lockstep(u32 entry) { return *m_machines.at(entry)->lockstep; }
    FakeNetworkLock& NetworkLock(u32 entry) { return m_machines.at(entry)->lock; }
    FakeBattle& Battle(u32 entry) { return m_machines.at(entry)->battle; }
    const MachineRun& Result(u32 entry) { return m_machines.at(entry)->run; }
    // The next message of this type from one machine to another arrives cut
    // to bytes.
    void CutNext(u32 from, u32 to, u32 type, size_t bytes)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_cuts[{from, to, type}] = bytes;
    }
    u32 SentCount(u32 from, u32 type)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_sent[{from, type}];
    }
    std::vector<LockstepRecordError> Refusals(u32 entry)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_machines.at(entry)->refusals;
    }

    // A different input for every entry and frame.
    static InputPacket InputOf(u32 entry, u32 frame) { return Packet(entry * 0x01000193u ^ frame * 0x9E3779B9u); }

private:
    struct Message {
        Clock::time_point due;
        u32 from;
        u32 type;
        std::string body;
    };

    struct Machine;
    struct Transport : ILockstepTransport {
        i32 Broadcast(u32 type, const u8* data, u32 length) override
        {
            network->Send(from, type, std::string(reinterpret_cast<const char*>(data), length));
            return 1;
        }
        FakeNetwork* network = nullptr;
        u32 from = 0;
    };

    struct Machine {
        u32 entry = 0;
        Transport transport;
        FakeNetworkLock lock;
        FakeBattle battle;
        std::unique_ptr<CBattleLockstep> lockstep;
        std::deque<Message> inbox;   // guarded by FakeNetwork::m_mutex
        std::map<u32, Clock::time_point> lastDue;   // per sender
        std::vector<LockstepRecordError> refusals;
        bool connected = true;
        std::thread game, receiver;
        std::atomic<bool> done{false};
        MachineRun run;
    };

    void Send(u32 from, u32 type, std::string body)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_machines.at(from)->connected) return;
        ++m_sent[{from, type}];
        for (auto& [entry, m] : m_machines) {
            if (entry == from || !m->connected || (from != 0 && entry != 0)) continue;
            Deliver(*m, from, type, body);
        }
    }

    // The caller holds m_mutex.
    void Deliver(Machine& to, u32 from, u32 type, std::string body)
    {
        std::uniform_int_distribution<u32> delay(0, m_options.maxDelayMs);
        auto due = Clock::now() + std::chrono::milliseconds(delay(m_random));
        // TCP keeps one link's order.
        if (auto it = to.lastDue.find(from); it != to.lastDue.end() && it->second > due) due = it->second;
        to.lastDue[from] = due;
        if (auto cut = m_cuts.find({from, to.entry, type}); cut != m_cuts.end()) {
            body.resize(std::min(body.size(), cut->second));
            m_cuts.erase(cut);
        }
        auto at = to.inbox.end();
        while (at != to.inbox.begin() && std::prev(at)->due > due) --at;
        to.inbox.insert(at, Message{due, from, type, std::move(body)});
        m_wake.notify_all();
    }

    // A machine's battle ends: it goes silent, and its link closes.
    void Leave(Machine& machine)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        machine.connected = false;
        if (m_options.silentLeaves) Disconnect(machine.entry);
    }

    // The caller holds m_mutex. A client's link closed: the host learns it
    // and relays it to the others.
    void Disconnect(u32 entry)
    {
        m_machines.at(entry)->connected = false;
        for (auto& [e, m] : m_machines)
            if (m->connected) Deliver(*m, 0, kMsgPeerLeft, U32Bytes(entry));
    }

    void Receive(Machine& machine)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_stopping) {
            if (machine.inbox.empty() || machine.inbox.front().due > Clock::now()) {
                m_wake.wait_for(lock, 1ms);
                continue;
            }
            Message message = std::move(machine.inbox.front());
            machine.inbox.pop_front();
            lock.unlock();
            // As the network scene does: its lock around the child's handler.
            machine.lock.Enter();
            const LockstepRecordError error =
                machine.lockstep->OnMessage(message.type, Data(message.body), message.body.size());
            machine.lock.Leave();
            lock.lock();
            if (error != LockstepRecordError::kNone) {
                // A refused record closes the link it came by, as if its
                // sender had left: the client learns that its host went.
                machine.refusals.push_back(error);
                Machine& client = *m_machines.at(machine.entry == 0 ? message.from : machine.entry);
                // Nothing more arrives by a closed link.
                std::erase_if(machine.inbox, [&](const Message& m) { return m.from == message.from; });
                if (client.connected) {
                    Deliver(client, 0, kMsgPeerLeft, U32Bytes(0));
                    Disconnect(client.entry);
                }
            }
        }
    }

    // The toy battle: folds every frame's record and side messages.
    void Play(Machine& m)
    {
        CBattleLockstep& lockstep = *m.lockstep;
        const u32 stopAfter = m_options.stopAfter.count(m.entry) ? m_options.stopAfter.at(m.entry) : UINT32_MAX;
        CStateHash hash;
        m.lock.Enter();
        if (m_options.handshake) m.run.syncResult = lockstep.SyncStart();
        if (lockstep.IsHost()) lockstep.StartNetThread();
        auto* frame = new LockstepFrame;
        for (u32 f = 0; f < m_options.frames && f <= stopAfter; ++f) {
            if (m_options.chatEvery && f % m_options.chatEvery == m.entry)
                lockstep.QueueSideMessage(MakeRadioChat(("line " + std::to_string(f)).c_str(), m.entry, 0));
            const InputPacket input = InputOf(m.entry, f);
            lockstep.SendLocalInput(17, &input);
            if (!lockstep.WaitNetInputs() || !lockstep.TakeFrame(frame)) {
                m.run.gaveUp = true;
                break;
            }
            const FrameRecord& r = frame->record;
            hash.F32(r.musicTime).U32(r.frameMs);
            for (const InputPacket& p : r.inputs) hash.Bytes(&p, sizeof p);
            for (u32 i = 0; i < frame->messageCount; ++i) {
                RadioChatLine line;
                EXPECT_EQ(ReadRadioChat(frame->messages[i].id, frame->messages[i].data, frame->messages[i].length, &line),
                          LockstepRecordError::kNone);
                m.run.chat.emplace_back(line.text);
                hash.Bytes(frame->messages[i].data, frame->messages[i].length);
            }
            m.run.hashes.push_back(hash.Value());
            // Between two updates the network scene lets go of its lock.
            m.lock.Leave();
            std::this_thread::yield();
            m.lock.Enter();
        }
        delete frame;
        m.lock.Leave();
        if (stopAfter != UINT32_MAX) Leave(m);
        m.done = true;
    }

    void Stop()
    {
        for (auto& [entry, m] : m_machines)
            if (m->game.joinable()) m->game.join();
        // Bundles still on their way are delivered first.
        for (auto& [entry, m] : m_machines) m->lockstep->StopNetThread();
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        for (auto& [entry, m] : m_machines)
            if (m->receiver.joinable()) m->receiver.join();
    }

    NetworkOptions m_options;
    std::mt19937 m_random;
    std::map<u32, std::unique_ptr<Machine>> m_machines;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::map<std::tuple<u32, u32, u32>, size_t> m_cuts;
    std::map<std::pair<u32, u32>, u32> m_sent;
    bool m_stopping = false;
};

}  // namespace lockstep_test
