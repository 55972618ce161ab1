// The streamed side of CSoundBuffer: a two-second buffer played in a loop,
// whose one-second halves are refilled from the source as the cursor leaves
// them, either by a thread per voice woken by position notifications or by
// the per-frame update (which also keeps the play time).
//
// When the source ends (a stream without a loop), the rest of that half and
// every half after it get silence, and the voice stops once the cursor has
// played the real end, so the last part of the data is heard and nothing
// stale is.
#include "engine/platform/SoundBuffer.h"

#include "engine/platform/OggReader.h"
#include "engine/platform/Sound.h"

#include "host/kernel/Kernel.h"
#include "host/sound/Sound.h"

#include <cstring>

namespace {

using host::sound::Result;

constexpr u32 kStartEvent = 0;    // the cursor entered half 0
constexpr u32 kMiddleEvent = 1;   // the cursor entered half 1
constexpr u32 kStopEvent = 2;

}  // namespace

u32 CSoundBuffer::RewindSource()
{
    if (!m_shared) return 0;
    if (m_sourceKind == kSourceWav) return m_shared->wav ? m_shared->wav->Rewind() : 0;
    return OggRewind(m_shared->ogg);
}

void CSoundBuffer::ResetStream(SoundVoice& v)
{
    v.currentHalf = 0;
    v.wraps = 0;
    v.playTime = 0.0f;
    v.lastCursor = 0;
    v.ending = 0;
    v.endHalf = 0;
    v.endPosition = 0;
}

CSoundBuffer::Fill CSoundBuffer::FillStreamHalf(SoundVoice& v, u32 half, u32* filled)
{
    *filled = 0;
    if (!v.buffer || !m_shared) return Fill::Failed;
    const u32 size = SecondSize();
    host::sound::LockedRegions region;
    if (v.buffer->Lock(half * size, size, region) != Result::Ok) return Fill::Failed;
    u8* out = static_cast<u8*>(region.first);
    const u32 bytes = region.firstBytes;
    const u8 silence = m_bytesPerSample == 1 ? 0x80 : 0x00;

    Fill result = Fill::Full;
    if (v.ending) {
        std::memset(out, silence, bytes);
    } else if (m_sourceKind == kSourceWav) {
        // A WAV stream starts over at the end of its data whatever the loop.
        if (m_shared->wav && m_shared->wav->ReadData(out, bytes)) *filled = bytes;
        else if (!RewindSource()) result = Fill::Failed;
    } else {
        u32 got = 0;
        const OggFillResult r = OggFill(out, bytes, v.loopStart, m_shared->ogg, &got);
        *filled = got;
        if (r != OggFillResult::Full) {
            std::memset(out + got, silence, bytes - got);
            if (r == OggFillResult::Ended) {
                v.ending = 1;
                v.endHalf = half;
                result = Fill::Ended;
            } else {
                result = Fill::Failed;
            }
        }
    }
    v.buffer->Unlock(region);
    v.refills.fetch_add(1);
    return result;
}

void CSoundBuffer::EndStream(SoundVoice& v)
{
    v.buffer->Stop();
    v.buffer->SetCurrentPosition(0);
    v.ending = 0;
    v.currentHalf = 0;
    v.lastCursor = 0;
}

u32 CSoundBuffer::PlayStream(SoundVoice& v, u32 playFlags, f32 loopStart, u32 rewind, bool* tryNext)
{
    *tryNext = false;
    const u32 second = SecondSize();
    if (!IsNotifyStreamed()) {
        CSoundLock lock;
        // The first fills already follow this start's loop.
        v.loopStart = loopStart;
        v.playFlags = playFlags;
        if (rewind) {
            v.buffer->SetCurrentPosition(0);
            if (!RewindSource()) return 0;
            ResetStream(v);
            v.refills = 0;
            u32 filled = 0;
            if (FillStreamHalf(v, 0, &filled) == Fill::Ended) v.endPosition = filled;
            if (FillStreamHalf(v, 1, &filled) == Fill::Ended) v.endPosition = second + filled;
        }
        if (v.buffer->Play(playFlags) != Result::Ok) {
            v.buffer->Restore();
            *tryNext = true;
            return 0;
        }
        v.paused = 0;
        v.fadeStep = 0;
        v.stopRequested = 0;
        return 1;
    }

    // A thread of an earlier start may still be on its way out.
    StopVoice(v, 0);
    {
        CSoundLock lock;
        if (rewind) {
            v.buffer->SetCurrentPosition(0);
            if (!RewindSource()) return 0;
            ResetStream(v);
        }
        v.loopStart = loopStart;
        v.playFlags = playFlags;
        v.paused = 0;
        v.fadeStep = 0;
        v.stopRequested = 0;
        v.refills = 0;

        std::unique_ptr<host::kernel::Event> events[3];
        for (auto& e : events) e = std::make_unique<host::kernel::Event>(false, false);
        const host::sound::Notification positions[3] = {{0, events[kStartEvent].get()},
                                                        {second, events[kMiddleEvent].get()},
                                                        {host::sound::kNotifyOffsetStop, events[kStopEvent].get()}};
        if (v.buffer->SetNotificationPositions(3, positions) != Result::Ok) return 0;
        // The device no longer knows the old events.
        for (u32 i = 0; i < 3; ++i) v.events[i] = std::move(events[i]);
        v.starting = 1;
    }
    SoundVoice* voice = &v;
    v.thread = host::kernel::StartThread([voice] { return StreamThreadProc(voice); });
    if (!v.thread) {
        CSoundLock lock;
        v.starting = 0;
        return 0;
    }
    return 1;
}

u32 CSoundBuffer::StreamThreadProc(SoundVoice* v)
{
    CSoundBuffer* self = v->owner;
    {
        CSoundLock lock;
        v->starting = 0;
        if (v->stopRequested) return 0;
        u32 filled = 0;
        self->FillStreamHalf(*v, 0, &filled);
        // A pause made while the thread was starting leaves the start to
        // ResumeVoice.
        if (!v->paused && v->buffer->Play(v->playFlags) != Result::Ok) {
            v->buffer->Restore();
            if (v->buffer->Play(v->playFlags) != Result::Ok) return 1;
        }
    }
    host::kernel::Event* events[3] = {v->events[0].get(), v->events[1].get(), v->events[2].get()};
    for (;;) {
        const u32 which = host::kernel::WaitAny(events, 3, host::kernel::kInfinite);
        if (which > kStopEvent) return 1;
        CSoundLock lock;
        if (which == kStopEvent) {
            if (v->stopRequested) return 0;
            if (v->paused) continue;
            // A pause and a quick resume leave a late stop event behind.
            u32 status = 0;
            v->buffer->GetStatus(status);
            if (!(status & host::sound::kStatusPlaying)) return 0;
            continue;
        }
        const u32 entered = which == kStartEvent ? 0 : 1;
        if (v->ending && entered != v->endHalf) {
            // The half holding the end has played through.
            self->EndStream(*v);
            return 0;
        }
        u32 filled = 0;
        if (self->FillStreamHalf(*v, 1 - entered, &filled) == Fill::Failed && v->loopStart < kNoLoop) {
            self->EndStream(*v);
            return 0;
        }
    }
}

i32 CSoundBuffer::UpdateStream(SoundVoice& v, u32 force)
{
    if (!IsStreamed() || IsNotifyStreamed() || force || v.paused) return 1;
    if (!IsPlayingVoice(v)) return 1;
    CSoundLock lock;
    u32 cursor = 0;
    if (v.buffer->GetCurrentPosition(&cursor, nullptr) != Result::Ok) return 1;
    const u64 second = SecondSize();
    const u64 size = 2 * second;

    // Bytes played since the start, from how far the cursor moved: it only
    // ever grows, so the play time never goes back.
    const u64 before = u64(v.wraps) * size + v.lastCursor;
    const u64 now = before + (cursor + size - v.lastCursor) % size;
    if (cursor < v.lastCursor) ++v.wraps;
    v.lastCursor = cursor;

    // Each half boundary passed finished the half before it, which plays
    // again one second after the boundary.
    for (u64 boundary = (before / second + 1) * second; boundary <= now; boundary += second) {
        u32 filled = 0;
        const Fill r = FillStreamHalf(v, v.currentHalf, &filled);
        if (r == Fill::Ended) v.endPosition = boundary + second + filled;
        v.currentHalf ^= 1;
        if (r == Fill::Failed && v.loopStart < kNoLoop) {
            EndStream(v);
            v.playTime = f32(double(now) / double(second));
            return 1;
        }
    }
    if (v.ending && now >= v.endPosition) {
        EndStream(v);
        v.playTime = f32(double(v.endPosition) / double(second));
        return 1;
    }
    v.playTime = f32(double(now) / double(second));
    return 1;
}

i32 CSoundBuffer::StopVoice(SoundVoice& v, u32 rewind)
{
    if (!v.buffer) return 0;
    {
        CSoundLock lock;
        v.paused = 0;
        v.playFlags = 0;
        v.stopRequested = 1;
        // Wakes the thread even when the device's Stop fails and so sends
        // no stop notification.
        if (v.events[kStopEvent]) v.events[kStopEvent]->Set();
        v.buffer->Stop();
    }
    // Waited for without the lock, which the thread takes to see the stop.
    if (v.thread) {
        v.thread->Join();
        v.thread.reset();
    }
    if (rewind) {
        CSoundLock lock;
        v.buffer->SetCurrentPosition(0);
        if (IsStreamed()) {
            RewindSource();
            ResetStream(v);
        }
    }
    return 1;
}
