// Test doubles of the lockstep's seams, and an in-process network that joins
// two to four CBattleLockstep machines with real threads: each machine has a
// game thread running a toy battle, a receive thread that delivers its
// messages under its network scene's lock, and (the host) the lockstep
// thread. The links are FakeStar's (LockstepStar.h).
#pragma once

#include "engine/core/StateHash.h"
#include "game/battle/scene/BattleLockstep.h"
#include "game/battle/scene/tests/lockstep/LockstepStar.h"

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
    bool HeldByMe() const override { return m_owner.load() == std::this_thread::get_id(); }

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
        : m_options(options), m_star(options.seed, options.maxDelayMs)
    {
        for (u32 e = 0; e < kLockstepEntries; ++e) {
            if (kinds[e] >= CBattleEntry::kKindComputer || options.absent.count(e)) continue;
            auto m = std::make_unique<Machine>();
            m->entry = e;
            m_star.Add(e);
            m->transport.star = &m_star;
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
            CBattleLockstep* lockstep = m->lockstep.get();
            m_star.Attach(entry, &m->lock,
                [lockstep](u32 type, const u8* data, size_t size) { return lockstep->OnMessage(type, data, size); });
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
    void CutNext(u32 from, u32 to, u32 type, size_t bytes) { m_star.CutNext(from, to, type, bytes); }
    u32 SentCount(u32 from, u32 type) { return m_star.SentCount(from, type); }
    std::vector<LockstepRecordError> Refusals(u32 entry) { return m_star.Refusals(entry); }

    // A different input for every entry and frame.
    static InputPacket InputOf(u32 entry, u32 frame) { return Packet(entry * 0x01000193u ^ frame * 0x9E3779B9u); }

private:
    struct Machine;
    struct Transport : ILockstepTransport {
        i32 Broadcast(u32 type, const u8* data, u32 length) override
        {
            star->Send(from, type, std::string(reinterpret_cast<const char*>(data), length));
            return 1;
        }
        FakeStar* star = nullptr;
        u32 from = 0;
    };

    struct Machine {
        u32 entry = 0;
        Transport transport;
        FakeNetworkLock lock;
        FakeBattle battle;
        std::unique_ptr<CBattleLockstep> lockstep;
        std::thread game;
        std::atomic<bool> done{false};
        MachineRun run;
    };

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
        // Its battle over, the machine goes silent, and its link closes.
        if (stopAfter != UINT32_MAX) {
            m_star.Silence(m.entry);
            if (m_options.silentLeaves) m_star.Disconnect(m.entry);
        }
        m.done = true;
    }

    void Stop()
    {
        for (auto& [entry, m] : m_machines)
            if (m->game.joinable()) m->game.join();
        // Bundles still on their way are delivered first.
        for (auto& [entry, m] : m_machines) m->lockstep->StopNetThread();
        m_star.Stop();
    }

    NetworkOptions m_options;
    FakeStar m_star;
    std::map<u32, std::unique_ptr<Machine>> m_machines;
};

}  // namespace lockstep_test
