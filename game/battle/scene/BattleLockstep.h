// CBattleLockstep: keeps the machines of a network battle in step. Every
// machine runs the whole battle from the same inputs: each samples its local
// player once per tick (a fixed number of frames, the input delay) and sends
// that input to the host (entry 0); the host gathers a tick's inputs, the
// side messages sent with them (radio chat), its music time and a frame time
// into one bundle and broadcasts it, and every machine, the host included,
// advances only from the bundles in its frame queue, in order.
//
// The battle scene owns one and calls it; it holds the lockstep's state and
// the scene's critical section (GetSyncBlock). Three threads meet here:
//   game thread     SyncStart, SendLocalInput, QueueSideMessage,
//                   WaitNetInputs, TakeFrame, SendBattleEnd, Start/StopNetThread
//   receive thread  OnMessage (10004, 10006 to 10009)
//   lockstep        the host's NetThread, which sends the bundles
// Lock order: the network scene's lock, then the scene's; never the other
// way. Nothing sleeps or joins while holding the scene's lock, and the two
// waits release the network scene's lock while they sleep, so the receive
// thread can deliver what they wait for.
//
// The battle scene's part, in a network battle:
//   loading    construct with the set-up's local entry, entry kinds and
//              option word 12; SyncStart(); on the host StartNetThread()
//   update     at step 3, SendLocalInput(frame ms, the local fighter's
//              packet or null); at step 5, WaitNetInputs() (0: the frame
//              stops there; leave the battle unless the end was requested,
//              see TakePeerEnd), then
//              TakeFrame(): set the frame time from record.frameMs, apply
//              record.inputs[entry] to every human fighter, update tension
//              with record.musicTime; when tickEnd, write the messages to the
//              replay and hand each to the scene's message operation
//              (ReadRadioChat gives the line), else write an empty list. All
//              of it outside the scene's lock: TakeFrame hands back copies.
//   radio chat QueueSideMessage(MakeRadioChat(text, local entry, team-only))
//   messages   OnMessage for 10004 and 10006 to 10009 (a refusal closes the
//              sender); TakePeerEnd() once an update for the host's 10004;
//              SendBattleEnd(code) on the host for message 42
//   release    StopNetThread() (or the destructor), holding no scene lock
#pragma once

#include "engine/core/Types.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/battle/scene/LockstepRecords.h"
#include "host/kernel/Kernel.h"

#include <cstddef>
#include <deque>
#include <memory>

// Where the lockstep's peer messages go: the network layer's peer host
// (CNetHost::Broadcast with sub-type 1 on the stream channel). Called on the
// game thread and, on the host, on the lockstep thread while it holds the
// scene's lock; it must not wait without a deadline.
class ILockstepTransport {
public:
    virtual ~ILockstepTransport() = default;
    // Sends one peer message to every peer; nonzero when it was sent.
    virtual i32 Broadcast(u32 type, const u8* data, u32 length) = 0;
};

// The network scene's lock (CNetworkScene::GetSyncBlock): held by the game
// thread around the battle's update and by the receive thread while it
// delivers a message. WaitNetInputs is called holding it once; SyncStart
// holding it once or, on the loading screen's thread, not at all. A holder
// leaves it while it sleeps.
class INetworkSceneLock {
public:
    virtual ~INetworkSceneLock() = default;
    virtual void Enter() = 0;
    virtual void Leave() = 0;
    // Whether the calling thread holds it. A lock that cannot tell says yes.
    virtual bool HeldByMe() const { return true; }
};

// What the lockstep reads of the battle; game thread only.
class ILockstepBattle {
public:
    virtual ~ILockstepBattle() = default;
    // The host's music position in seconds.
    virtual f32 GetMusicPosition() = 0;
    // Milliseconds the game clock is to leave out (the app's paused time).
    virtual void AddPausedTime(u32 ms) = 0;
    // Whether the battle's end fade has started.
    virtual bool IsEndFadeStarted() = 0;
};

// Cycles of 1 ms before each wait gives up (changed by tests only).
struct LockstepLimits {
    u32 handshakeCycles = 10000;   // SyncStart: then the battle starts anyway
    u32 waitCycles = 100000;       // WaitNetInputs: a client gives up, the host drops the silent
    u32 bundleCycles = 1000;       // NetThread: an incomplete tick is sent
};

struct LockstepConfig {
    u32 localEntry = 0;   // 0: this machine is the host
    // The set-up's entry kinds: 0..3 human, 4 computer, 5 none.
    u32 kinds[kLockstepEntries] = {0, 4, 4, 4};
    u32 inputDelayWord = 0;   // option word 12
    LockstepLimits limits;
};

// One frame for the frame update, copied out of the queues.
struct LockstepFrame {
    FrameRecord record;
    bool tickEnd;         // the record's last frame: it left the queue
    u32 messageCount;     // side messages to apply now (only at tickEnd)
    StatePacket messages[kMaxTickMessages];
};

struct LockstepStats {
    u32 bundlesSent;
    u32 incompleteBundles;     // sent after the cycle limit
    u32 droppedInputs;         // a fourth input pending for one entry
    u32 droppedSideMessages;   // past a buffer's capacity
    u32 refusedMessages;       // OnMessage refusals
    u32 peersDropped;          // silent peers made kind 5 by the host
    u32 handshakesDone;        // SyncStart ended by every entry's ready word
    u32 handshakesGivenUp;     // SyncStart ended by its limit
};

class CBattleLockstep {
public:
    static constexpr u32 kFrameQueueLimit = 4096;
    static constexpr u32 kSideQueueLimit = 4096;

    // The tick length for option word 12 (its low byte; 3 frames when out of
    // the table's range).
    static u32 InputDelayFrames(u32 optionWord);

    // A null transport is a battle without network: SyncStart and
    // SendLocalInput do nothing. The two initial records are queued.
    CBattleLockstep(const LockstepConfig& config, ILockstepTransport* transport, INetworkSceneLock* networkLock,
                    ILockstepBattle* battle);
    // Stops the lockstep thread; call without holding the scene's lock.
    ~CBattleLockstep();
    CBattleLockstep(const CBattleLockstep&) = delete;
    CBattleLockstep& operator=(const CBattleLockstep&) = delete;

    // -- Game thread. --

    // The start handshake: 1 when every entry is ready (or not networked),
    // 0 after the handshake limit.
    i32 SyncStart();
    // Adds frameMs to the accumulator and, on a tick's first frame, sends the
    // local input with the queued side messages (a client as 10007, the host
    // into its own ring). localInput null: no character plays the local
    // entry. The send result, or 1 when nothing was sent.
    i32 SendLocalInput(u32 frameMs, const InputPacket* localInput);
    // Queues a side message for the next input; false when it is not one the
    // battle sends or the tick's buffer is full.
    bool QueueSideMessage(const StatePacket& message);
    // 1 when the frame queue holds a record; 0 when the battle must give up
    // (a client waited past the limit or lost its host, the end fade started,
    // the host sent 10004, or the host's lockstep thread is not running).
    i32 WaitNetInputs();
    // Under the scene's lock: copies the head record, counts the tick down
    // and, on the tick's last frame, hands back the record's side messages and
    // removes it. False when the queue is empty.
    bool TakeFrame(LockstepFrame* out);
    // The host ends every peer's battle (10004); 0 on a client. Ready words
    // after it are the next battle's (see TakeNextReady).
    i32 SendBattleEnd(u32 endCode);
    // One bit per entry whose ready word (10006) came after the host sent its
    // end, once: a member told the end later may load the rematch first, and
    // the word belongs to the battle the rematch builds.
    u32 TakeNextReady();
    // The end code of a 10004 from the host, once; false when none came.
    bool TakePeerEnd(u32* endCode);

    // Host only: starts the lockstep thread; false when it cannot run.
    bool StartNetThread();
    // Asks the thread to stop under the lock and joins it holding no lock.
    void StopNetThread();

    // -- Receive thread. --

    // 10004, 10006 to 10009: read, checked against this machine's role and
    // taken. kNone when taken; a refusal changes nothing.
    LockstepRecordError OnMessage(u32 id, const u8* data, size_t size);
    // The checked records' operations. OnNetInput with entry 0 is the host's
    // own input and runs on the game thread.
    i32 OnNetReady(u32 entry);
    i32 OnNetInput(const NetInputMessage& message);
    i32 OnNetFrameBundle(const FrameBundle& bundle);
    i32 OnPeerLeft(u32 entry);

    // -- Lockstep thread (host). --

    // Sends row 0 of the ring as the next bundle and queues it here too.
    i32 SendFrameBundle();
    // The thread's body; StartNetThread runs it.
    u32 NetThread();

    // -- Any thread. --

    bool IsNetworked() const { return m_transport != nullptr; }
    bool IsHost() const { return m_config.localEntry == 0; }
    u32 GetInputDelay() const { return m_inputDelay; }
    u32 GetEntryKind(u32 entry) const;
    // The scene's critical section.
    host::kernel::CriticalSection& GetSyncBlock() { return m_sync; }
    LockstepStats GetStats() const;

private:
    struct Row {
        u32 have[kLockstepEntries];
        f32 musicTime;
        // Without its input (have 0) an entry's packet is the last it sent.
        InputPacket inputs[kLockstepEntries];
        u8 frameMs;
    };
    enum ThreadState : u32 { kStopped = 0, kRunning = 1, kStopping = 2 };

    // The lock's holder only.
    i32 TakeInputLocked(const NetInputMessage& message, const Row* own);
    bool TickCompleteLocked() const;
    bool SendFrameBundleLocked(bool complete);
    bool QueueBundleLocked(const FrameRecord& record, const StatePacket* messages);
    // Kinds 4 (computer) and 5 (none or gone) never hold a tick up.
    static bool IsBlockingKind(u32 kind) { return kind < CBattleEntry::kKindComputer; }
    void AddMilliseconds(u32 ms);
    u32 HostFrameMs() const;

    const LockstepConfig m_config;
    ILockstepTransport* const m_transport;
    INetworkSceneLock* const m_networkLock;
    ILockstepBattle* const m_battle;
    const u32 m_inputDelay;

    mutable host::kernel::CriticalSection m_sync;
    // Guarded by m_sync.
    u32 m_kinds[kLockstepEntries];
    u32 m_ready[kLockstepEntries] = {};
    i32 m_countdown;
    Row m_ring[3];
    u8 m_bundle[kLockstepBufferBytes];
    u32 m_bundleOffset = kFrameRecordBytes;
    u8 m_bundleCount = 0;
    std::deque<FrameRecord> m_frames;
    std::deque<StatePacket> m_sideMessages;
    u32 m_threadState = kStopped;
    bool m_peerEnd = false;
    u32 m_peerEndCode = 0;
    bool m_endSent = false;
    u32 m_nextReady = 0;
    LockstepStats m_stats = {};

    // Game thread only.
    u32 m_accumulatedMs = 0;
    StatePacket m_pending[kMaxTickMessages];
    u32 m_pendingCount = 0;
    u32 m_pendingBytes = kInputHeaderBytes;
    std::unique_ptr<host::kernel::Thread> m_thread;
};
