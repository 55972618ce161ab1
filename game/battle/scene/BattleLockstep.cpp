#include "game/battle/scene/BattleLockstep.h"

#include "engine/core/Endian.h"

#include <bit>
#include <cstring>
#include <string>
#include <utility>

using host::kernel::Lock;
using E = LockstepRecordError;

namespace {

constexpr u32 kKindNone = CBattleEntry::kKindNone;

bool IsFinite(f32 v) { return (std::bit_cast<u32>(v) & 0x7F800000u) != 0x7F800000u; }

}  // namespace

u32 CBattleLockstep::InputDelayFrames(u32 optionWord)
{
    static constexpr u32 kFrames[CBattleOption::kInputDelays] = {3, 4, 5, 6, 8};
    const u32 index = optionWord & 0xFF;
    return index < CBattleOption::kInputDelays ? kFrames[index] : kFrames[0];
}

CBattleLockstep::CBattleLockstep(const LockstepConfig& config, ILockstepTransport* transport,
                                 INetworkSceneLock* networkLock, ILockstepBattle* battle)
    : m_config(config), m_transport(transport), m_networkLock(networkLock), m_battle(battle),
      m_inputDelay(InputDelayFrames(config.inputDelayWord)), m_countdown(i32(m_inputDelay))
{
    for (u32 e = 0; e < kLockstepEntries; ++e) m_kinds[e] = config.kinds[e] <= kKindNone ? config.kinds[e] : kKindNone;
    for (Row& row : m_ring) row = Row{{}, 0.0f, {}, u8(kMinFrameMs)};
    // Two ticks of nothing, so the first inputs have time to travel.
    const FrameRecord idle{0.0f, {}, u8(kMinFrameMs), 0};
    m_frames.assign(2, idle);
}

CBattleLockstep::~CBattleLockstep() { StopNetThread(); }

u32 CBattleLockstep::GetEntryKind(u32 entry) const
{
    Lock lock(m_sync);
    return entry < kLockstepEntries ? m_kinds[entry] : kKindNone;
}

LockstepStats CBattleLockstep::GetStats() const
{
    Lock lock(m_sync);
    return m_stats;
}

// ---------------------------------------------------------------- start

i32 CBattleLockstep::SyncStart()
{
    if (!IsNetworked()) return 1;
    const u32 local = m_config.localEntry;
    if (!IsHost()) {
        bool told;
        {
            Lock lock(m_sync);
            told = m_ready[local] != 0;
        }
        if (!told) {
            const std::string body = WriteU32Body(local);
            m_transport->Broadcast(kMsgNetReady, reinterpret_cast<const u8*>(body.data()), u32(body.size()));
        }
    }
    {
        Lock lock(m_sync);
        m_ready[local] = 1;
    }
    // The loading screen's thread loads the battle holding no lock: leaving
    // one it does not hold, then taking it, would end that thread with the
    // lock held and every other thread of the game waiting on it.
    const bool held = m_networkLock && m_networkLock->HeldByMe();
    for (u32 cycle = 1;; ++cycle) {
        if (cycle > m_config.limits.handshakeCycles) {
            Lock lock(m_sync);
            ++m_stats.handshakesGivenUp;
            return 0;
        }
        {
            Lock lock(m_sync);
            bool all = true;
            for (u32 e = 0; e < kLockstepEntries; ++e) {
                if (!IsBlockingKind(m_kinds[e])) m_ready[e] = 1;
                all = all && m_ready[e];
            }
            if (all) {
                ++m_stats.handshakesDone;
                break;
            }
        }
        if (held) m_networkLock->Leave();
        host::kernel::Sleep(1);
        if (held) m_networkLock->Enter();
    }
    if (IsHost()) {
        const std::string body = WriteU32Body(0);
        m_transport->Broadcast(kMsgNetReady, reinterpret_cast<const u8*>(body.data()), u32(body.size()));
    }
    return 1;
}

i32 CBattleLockstep::OnNetReady(u32 entry)
{
    if (entry >= kLockstepEntries) return 0;
    Lock lock(m_sync);
    for (u32 e = 0; e < kLockstepEntries; ++e)
        if (entry == 0 || e == entry) m_ready[e] = 1;
    return 1;
}

// ---------------------------------------------------------------- inputs

void CBattleLockstep::AddMilliseconds(u32 ms)
{
    // Saturates: a wrapped sum would make a long stall look like a short frame.
    m_accumulatedMs = ms > 0xFFFFFFFFu - m_accumulatedMs ? 0xFFFFFFFFu : m_accumulatedMs + ms;
}

u32 CBattleLockstep::HostFrameMs() const
{
    const u32 ms = m_accumulatedMs / (m_inputDelay + 1);
    return ms < kMinFrameMs ? kMinFrameMs : ms > kMaxFrameMs ? kMaxFrameMs : ms;
}

i32 CBattleLockstep::SendLocalInput(u32 frameMs, const InputPacket* localInput)
{
    AddMilliseconds(frameMs);
    if (!IsNetworked() || !localInput) return 1;
    {
        Lock lock(m_sync);
        if (m_countdown != i32(m_inputDelay)) return 1;
    }
    NetInputMessage message;
    message.entry = m_config.localEntry;
    message.input = *localInput;
    message.messageCount = m_pendingCount;
    std::memcpy(message.messages, m_pending, sizeof(StatePacket) * m_pendingCount);

    i32 result;
    if (!IsHost()) {
        const std::string body = WriteNetInput(message.entry, message.input, m_pending, m_pendingCount);
        result = m_transport->Broadcast(kMsgNetInput, reinterpret_cast<const u8*>(body.data()), u32(body.size()));
    } else {
        {
            Lock lock(m_sync);
            for (u32 e = 0; e < kLockstepEntries; ++e)
                if (!IsBlockingKind(m_kinds[e]))
                    for (Row& row : m_ring) row.have[e] = 1;
        }
        result = OnNetInput(message);
    }
    m_accumulatedMs = 0;
    m_pendingCount = 0;
    m_pendingBytes = kInputHeaderBytes;
    return result;
}

bool CBattleLockstep::QueueSideMessage(const StatePacket& message)
{
    if (message.length > kStateDataBytes || ReadRadioChat(message.id, message.data, message.length, nullptr) != E::kNone)
        return false;
    const u32 bytes = u32(kSideMessageHeaderBytes) + message.length;
    if (m_pendingCount >= kMaxTickMessages || m_pendingBytes + bytes > kLockstepBufferBytes) return false;
    m_pending[m_pendingCount++] = message;
    m_pendingBytes += bytes;
    return true;
}

i32 CBattleLockstep::OnNetInput(const NetInputMessage& message)
{
    if (message.entry >= kLockstepEntries) return 0;
    if (message.entry != 0 || !IsHost()) {
        Lock lock(m_sync);
        return TakeInputLocked(message, nullptr);
    }
    // The host's own input carries the tick's frame time and music time.
    Row own{};
    own.frameMs = u8(HostFrameMs());
    const f32 music = m_battle ? m_battle->GetMusicPosition() : 0.0f;
    own.musicTime = (IsFinite(music) ? music : 0.0f) + f32(m_inputDelay * 18) * 0.001f;
    Lock lock(m_sync);
    return TakeInputLocked(message, &own);
}

i32 CBattleLockstep::TakeInputLocked(const NetInputMessage& message, const Row* own)
{
    const u32 e = message.entry;
    Row* row = nullptr;
    for (Row& r : m_ring)
        if (!row && !r.have[e]) row = &r;
    if (row) {
        // Only the row it fills: a tick sent without the entry's input (it
        // left, or came late) plays whatever packet its row held.
        row->inputs[e] = message.input;
        row->have[e] = 1;
        if (own) {
            row->frameMs = own->frameMs;
            row->musicTime = own->musicTime;
        }
    } else {
        ++m_stats.droppedInputs;
    }
    // The side messages go with the next bundle whichever row took the input.
    const u32 count = message.messageCount < kMaxTickMessages ? message.messageCount : kMaxTickMessages;
    for (u32 i = 0; i < count; ++i) {
        const StatePacket& m = message.messages[i];
        const u32 length = m.length < kStateDataBytes ? m.length : u32(kStateDataBytes);
        if (m_bundleCount >= kMaxTickMessages ||
            m_bundleOffset + kSideMessageHeaderBytes + length > kLockstepBufferBytes) {
            ++m_stats.droppedSideMessages;
            continue;
        }
        PutLe32(m_bundle + m_bundleOffset, m.id);
        PutLe32(m_bundle + m_bundleOffset + 4, length);
        std::memcpy(m_bundle + m_bundleOffset + kSideMessageHeaderBytes, m.data, length);
        m_bundleOffset += u32(kSideMessageHeaderBytes) + length;
        ++m_bundleCount;
    }
    m_stats.droppedSideMessages += message.messageCount - count;
    return row ? 1 : 0;
}

// ---------------------------------------------------------------- bundles

bool CBattleLockstep::TickCompleteLocked() const
{
    for (u32 e = 0; e < kLockstepEntries; ++e)
        if (IsBlockingKind(m_kinds[e]) && !m_ring[0].have[e]) return false;
    return true;
}

bool CBattleLockstep::QueueBundleLocked(const FrameRecord& record, const StatePacket* messages)
{
    if (m_frames.size() >= kFrameQueueLimit || m_sideMessages.size() + record.messageCount > kSideQueueLimit)
        return false;
    m_frames.push_back(record);
    m_sideMessages.insert(m_sideMessages.end(), messages, messages + record.messageCount);
    return true;
}

bool CBattleLockstep::SendFrameBundleLocked(bool complete)
{
    const Row& row = m_ring[0];
    FrameRecord record{row.musicTime, {}, row.frameMs, m_bundleCount};
    std::memcpy(record.inputs, row.inputs, sizeof record.inputs);
    WriteFrameRecord(record, m_bundle);

    // The host plays from its own queue like everybody else; one it could
    // not queue is not sent either, so nobody plays a tick the host skips.
    FrameBundle bundle;
    if (ReadFrameBundle(m_bundle, m_bundleOffset, &bundle) != E::kNone || !QueueBundleLocked(record, bundle.messages))
        return false;
    m_transport->Broadcast(kMsgFrameBundle, m_bundle, m_bundleOffset);
    ++m_stats.bundlesSent;
    m_stats.incompleteBundles += !complete;

    m_ring[0] = m_ring[1];
    m_ring[1] = m_ring[2];
    std::memset(m_ring[2].have, 0, sizeof m_ring[2].have);
    m_bundleOffset = kFrameRecordBytes;
    m_bundleCount = 0;
    return true;
}

i32 CBattleLockstep::SendFrameBundle()
{
    if (!IsNetworked() || !IsHost()) return 0;
    Lock lock(m_sync);
    return SendFrameBundleLocked(TickCompleteLocked()) ? 1 : 0;
}

i32 CBattleLockstep::OnNetFrameBundle(const FrameBundle& bundle)
{
    Lock lock(m_sync);
    return QueueBundleLocked(bundle.record, bundle.messages) ? 1 : 0;
}

i32 CBattleLockstep::OnPeerLeft(u32 entry)
{
    if (entry >= kLockstepEntries) return 0;
    Lock lock(m_sync);
    m_kinds[entry] = kKindNone;
    return 1;
}

// ---------------------------------------------------------------- frames

i32 CBattleLockstep::WaitNetInputs()
{
    {
        Lock lock(m_sync);
        if (!m_frames.empty()) return 1;
    }
    u32 limit = m_config.limits.waitCycles;
    for (u32 cycle = 1;; ++cycle) {
        // The scene's lock is free here: the receive thread, which holds the
        // network scene's lock when it delivers, must be able to take it.
        if (m_networkLock) m_networkLock->Leave();
        if (cycle % 10 == 9) {
            if (m_battle) m_battle->AddPausedTime(1);
            host::kernel::Sleep(1);
        } else {
            std::this_thread::yield();
        }
        if (m_networkLock) m_networkLock->Enter();

        bool queued, peerEnd, hostGone, threadRunning;
        {
            Lock lock(m_sync);
            queued = !m_frames.empty();
            peerEnd = m_peerEnd;
            hostGone = m_kinds[0] == kKindNone;
            threadRunning = m_threadState == kRunning;
        }
        // The end before a record that came with it: an ending battle plays
        // no more frames.
        if (peerEnd || (m_battle && m_battle->IsEndFadeStarted())) return 0;
        if (queued) return 1;
        if (cycle <= limit && !hostGone) continue;
        // A client gives up; so does a host whose thread cannot send.
        if (!IsHost() || !threadRunning) return 0;
        // The host never gives up on itself: the silent become gone, so the
        // thread can complete the tick without them.
        Lock lock(m_sync);
        for (u32 e = 0; e < kLockstepEntries; ++e) {
            if (e != m_config.localEntry && IsBlockingKind(m_kinds[e]) && !m_ring[0].have[e]) {
                m_kinds[e] = kKindNone;
                ++m_stats.peersDropped;
            }
        }
        const u32 more = m_config.limits.waitCycles;
        limit = more > 0xFFFFFFFFu - cycle ? 0xFFFFFFFFu : cycle + more;
    }
}

bool CBattleLockstep::TakeFrame(LockstepFrame* out)
{
    Lock lock(m_sync);
    if (m_frames.empty() || !out) return false;
    out->record = m_frames.front();
    out->messageCount = 0;
    out->tickEnd = --m_countdown < 1;
    if (out->tickEnd) {
        for (u32 i = 0; i < out->record.messageCount && !m_sideMessages.empty(); ++i) {
            out->messages[out->messageCount++] = m_sideMessages.front();
            m_sideMessages.pop_front();
        }
        m_countdown = i32(m_inputDelay);
        m_frames.pop_front();
    }
    return true;
}

// ---------------------------------------------------------------- end

i32 CBattleLockstep::SendBattleEnd(u32 endCode)
{
    if (!IsNetworked() || !IsHost()) return 0;
    {
        Lock lock(m_sync);
        m_endSent = true;
    }
    const std::string body = WriteU32Body(endCode);
    return m_transport->Broadcast(kMsgBattleEnd, reinterpret_cast<const u8*>(body.data()), u32(body.size()));
}

u32 CBattleLockstep::TakeNextReady()
{
    Lock lock(m_sync);
    return std::exchange(m_nextReady, 0u);
}

bool CBattleLockstep::TakePeerEnd(u32* endCode)
{
    Lock lock(m_sync);
    if (!m_peerEnd) return false;
    m_peerEnd = false;
    if (endCode) *endCode = m_peerEndCode;
    return true;
}

// ---------------------------------------------------------------- messages

LockstepRecordError CBattleLockstep::OnMessage(u32 id, const u8* data, size_t size)
{
    E error = E::kType;
    switch (id) {
    case kMsgBattleEnd: {
        u32 code = 0;
        error = IsHost() ? E::kRole : ReadU32Body(data, size, &code);
        if (error == E::kNone) {
            Lock lock(m_sync);
            m_peerEnd = true;
            m_peerEndCode = code;
        }
        break;
    }
    case kMsgNetReady: {
        u32 entry = 0;
        error = ReadEntryBody(data, size, &entry);
        // Only the host says "everybody": from a client, 0 would start the
        // host's battle before its peers are there.
        if (error == E::kNone && IsHost() && entry == 0) error = E::kRole;
        if (error != E::kNone) break;
        // After the host's end only a member that loaded the rematch first
        // sends one: that battle's, kept for it.
        Lock lock(m_sync);
        if (m_endSent) m_nextReady |= 1u << entry;
        else OnNetReady(entry);
        break;
    }
    case kMsgNetInput: {
        static thread_local NetInputMessage message;
        error = IsHost() ? ReadNetInput(data, size, &message) : E::kRole;
        // Entry 0 is the host's own, which never travels.
        if (error == E::kNone && message.entry == 0) error = E::kRole;
        if (error == E::kNone) OnNetInput(message);
        break;
    }
    case kMsgFrameBundle: {
        static thread_local FrameBundle bundle;
        error = IsHost() ? E::kRole : ReadFrameBundle(data, size, &bundle);
        if (error == E::kNone && !OnNetFrameBundle(bundle)) error = E::kMessageCount;
        break;
    }
    case kMsgPeerLeft: {
        u32 entry = 0;
        error = ReadEntryBody(data, size, &entry);
        if (error == E::kNone && entry == m_config.localEntry) error = E::kRole;
        if (error == E::kNone) OnPeerLeft(entry);
        break;
    }
    default: break;
    }
    if (error != E::kNone) {
        Lock lock(m_sync);
        ++m_stats.refusedMessages;
    }
    return error;
}

// ---------------------------------------------------------------- thread

bool CBattleLockstep::StartNetThread()
{
    if (!IsNetworked() || !IsHost()) return false;
    {
        // Running from here on, so a wait right after the start does not
        // take the thread for dead.
        Lock lock(m_sync);
        if (m_threadState != kStopped || m_thread) return false;
        m_threadState = kRunning;
    }
    m_thread = host::kernel::StartThread([this] { return NetThread(); }, "lockstep");
    if (m_thread) return true;
    Lock lock(m_sync);
    m_threadState = kStopped;
    return false;
}

void CBattleLockstep::StopNetThread()
{
    {
        Lock lock(m_sync);
        if (m_threadState == kRunning) m_threadState = kStopping;
    }
    if (m_thread) {
        m_thread->Join();
        m_thread.reset();
    }
}

u32 CBattleLockstep::NetThread()
{
    u32 cycles = 0;
    for (;;) {
        {
            Lock lock(m_sync);
            if (m_threadState != kRunning) break;
            ++cycles;
            const bool complete = TickCompleteLocked();
            if ((complete || cycles >= m_config.limits.bundleCycles) && SendFrameBundleLocked(complete)) cycles = 0;
        }
        host::kernel::Sleep(1);
    }
    Lock lock(m_sync);
    m_threadState = kStopped;
    return 0;
}
