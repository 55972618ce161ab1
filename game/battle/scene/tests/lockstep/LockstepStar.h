// The links of an in-process star network: every client is linked to the
// host (entry 0) only. Links keep each sender's messages in order, as TCP
// does, while different senders interleave; a message can be delayed and cut
// short, and a machine can leave. Each machine's receive thread hands its
// messages to the machine's handler inside the machine's network scene lock,
// as the network scene does; a refused message closes the link it came by.
// Nothing here knows what a machine runs: the toy battles of the lockstep
// tests and whole battle scenes attach to it alike.
#pragma once

#include "game/battle/scene/BattleLockstep.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace lockstep_test {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

inline std::string U32Bytes(u32 v) { return WriteU32Body(v); }
inline const u8* Data(const std::string& s) { return reinterpret_cast<const u8*>(s.data()); }

class FakeStar {
public:
    // Takes one message on the receive thread; kNone when taken.
    using Handler = std::function<LockstepRecordError(u32 type, const u8* data, size_t size)>;

    FakeStar(u32 seed, u32 maxDelayMs) : m_random(seed), m_maxDelayMs(maxDelayMs) {}
    ~FakeStar() { Stop(); }
    FakeStar(const FakeStar&) = delete;
    FakeStar& operator=(const FakeStar&) = delete;

    // A machine on the network; what is sent to it waits until it attaches.
    void Add(u32 entry)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_machines[entry] = std::make_unique<Machine>();
        m_machines[entry]->entry = entry;
    }
    // Starts delivering to a machine: handler runs on the machine's receive
    // thread, inside lock.
    void Attach(u32 entry, INetworkSceneLock* lock, Handler handler)
    {
        Machine* machine;
        {
            std::lock_guard<std::mutex> guard(m_mutex);
            machine = m_machines.at(entry).get();
            machine->lock = lock;
            machine->handler = std::move(handler);
        }
        machine->receiver = std::thread([this, machine] { Receive(*machine); });
    }

    // Stops delivering to a machine (what waits for it is dropped) and
    // waits for a delivery under way, so its handler's owner can go; false
    // when that delivery did not end within deadline.
    bool Detach(u32 entry, std::chrono::milliseconds deadline = 5s)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        Machine& m = *m_machines.at(entry);
        m.detached = true;
        m.inbox.clear();
        return m_wake.wait_for(lock, deadline, [&] { return !m.delivering; });
    }

    // One peer message to every machine linked to the sender.
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

    // A machine goes silent: nothing it sends goes out.
    void Silence(u32 entry)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_machines.at(entry)->connected = false;
    }
    // A client's link closes: the host learns it (10009) and relays it to
    // the others.
    void Disconnect(u32 entry)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        DisconnectLocked(entry);
    }

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
    // Waits until nothing is on its way to the machine (or deadline passes);
    // true when nothing is.
    bool WaitDelivered(u32 entry, std::chrono::milliseconds deadline)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        const Machine& m = *m_machines.at(entry);
        return m_wake.wait_for(lock, deadline, [&] { return m.inbox.empty() && !m.delivering; });
    }

    // Ends every receive thread; what is still on its way is dropped.
    void Stop()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        for (auto& [entry, m] : m_machines)
            if (m->receiver.joinable()) m->receiver.join();
    }

private:
    struct Message {
        Clock::time_point due;
        u32 from;
        u32 type;
        std::string body;
    };

    struct Machine {
        u32 entry = 0;
        INetworkSceneLock* lock = nullptr;
        Handler handler;
        std::deque<Message> inbox;                   // guarded by m_mutex
        std::map<u32, Clock::time_point> lastDue;    // per sender
        std::vector<LockstepRecordError> refusals;
        bool connected = true;
        bool detached = false;
        bool delivering = false;
        std::thread receiver;
    };

    // The caller holds m_mutex.
    void Deliver(Machine& to, u32 from, u32 type, std::string body)
    {
        std::uniform_int_distribution<u32> delay(0, m_maxDelayMs);
        auto due = Clock::now() + std::chrono::milliseconds(delay(m_random));
        // TCP keeps one link's order.
        if (auto it = to.lastDue.find(from); it != to.lastDue.end() && it->second > due) due = it->second;
        to.lastDue[from] = due;
        if (to.detached) return;
        if (auto cut = m_cuts.find({from, to.entry, type}); cut != m_cuts.end()) {
            body.resize(std::min(body.size(), cut->second));
            m_cuts.erase(cut);
        }
        auto at = to.inbox.end();
        while (at != to.inbox.begin() && std::prev(at)->due > due) --at;
        to.inbox.insert(at, Message{due, from, type, std::move(body)});
        m_wake.notify_all();
    }

    // The caller holds m_mutex.
    void DisconnectLocked(u32 entry)
    {
        m_machines.at(entry)->connected = false;
        for (auto& [e, m] : m_machines)
            if (m->connected) Deliver(*m, 0, kMsgPeerLeft, U32Bytes(entry));
    }

    void Receive(Machine& machine)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_stopping) {
            if (machine.detached || machine.inbox.empty() || machine.inbox.front().due > Clock::now()) {
                m_wake.wait_for(lock, 1ms);
                continue;
            }
            Message message = std::move(machine.inbox.front());
            machine.inbox.pop_front();
            machine.delivering = true;
            lock.unlock();
            // As the network scene does: its lock around the child's handler.
            machine.lock->Enter();
            const LockstepRecordError error = machine.handler(message.type, Data(message.body), message.body.size());
            machine.lock->Leave();
            lock.lock();
            machine.delivering = false;
            if (error != LockstepRecordError::kNone) {
                // A refused record closes the link it came by, as if its
                // sender had left: the client learns that its host went.
                machine.refusals.push_back(error);
                Machine& client = *m_machines.at(machine.entry == 0 ? message.from : machine.entry);
                // Nothing more arrives by a closed link.
                std::erase_if(machine.inbox, [&](const Message& m) { return m.from == message.from; });
                if (client.connected) {
                    Deliver(client, 0, kMsgPeerLeft, U32Bytes(0));
                    DisconnectLocked(client.entry);
                }
            }
            m_wake.notify_all();
        }
    }

    std::mt19937 m_random;
    const u32 m_maxDelayMs;
    std::map<u32, std::unique_ptr<Machine>> m_machines;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::map<std::tuple<u32, u32, u32>, size_t> m_cuts;
    std::map<std::pair<u32, u32>, u32> m_sent;
    bool m_stopping = false;
};

}  // namespace lockstep_test
