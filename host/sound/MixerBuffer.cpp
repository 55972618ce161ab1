#include "host/sound/MixerBuffer.h"

#include "host/kernel/Kernel.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace host::sound {

namespace {

using StateLock = std::unique_lock<std::mutex>;

}  // namespace

bool FiniteVector(const Vector3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

MixerBuffer::MixerBuffer(std::shared_ptr<Mixer> mixer, std::unique_ptr<Voice> voice)
    : mixer_(std::move(mixer)), voice_(std::move(voice)) {
    StateLock lock(mixer_->Mutex());
    mixer_->Attach(voice_.get());
}

MixerBuffer::MixerBuffer(std::shared_ptr<Mixer> mixer, std::shared_ptr<Listener> listener)
    : mixer_(std::move(mixer)), listener_(std::move(listener)) {}

MixerBuffer::~MixerBuffer() {
    if (!voice_) return;
    {
        StateLock lock(mixer_->Mutex());
        mixer_->Detach(voice_.get());
    }
    // The voice's events may be deleted as soon as we return.
    mixer_->SignalBarrier();
}

uint32_t MixerBuffer::Flags() const {
    if (voice_) return voice_->flags;
    StateLock lock(mixer_->Mutex());
    return mixer_->primary.flags;
}

Result MixerBuffer::GetCaps(BufferCaps& out) const {
    out.flags = Flags();
    out.bytes = voice_ ? voice_->bytes : 0;
    return Result::Ok;
}

Result MixerBuffer::GetFormat(WaveFormat& out) const {
    if (voice_) {
        out = voice_->format;
        return Result::Ok;
    }
    StateLock lock(mixer_->Mutex());
    out = mixer_->primary.format;
    return Result::Ok;
}

Result MixerBuffer::SetFormat(const WaveFormat& format) {
    if (voice_) return Result::InvalidCall;
    {
        StateLock lock(mixer_->Mutex());
        if (Result r = mixer_->Fault(Call::SetFormat); r != Result::Ok) return r;
        if (!ValidPcmFormat(format)) return Result::InvalidParam;
        if (mixer_->coopLevel < kCoopPriority) return Result::PriorityLevelNeeded;
    }
    return mixer_->SetOutputFormat(format);
}

Result MixerBuffer::QueryListener(Listener*& out) {
    out = nullptr;
    StateLock lock(mixer_->Mutex());
    if (Result r = mixer_->Fault(Call::QueryListener); r != Result::Ok) return r;
    if (voice_ || !(mixer_->primary.flags & kBufferCtrl3D)) return Result::NoInterface;
    out = listener_.get();
    return Result::Ok;
}

// ---------------------------------------------------------------- data

Result MixerBuffer::Lock(uint32_t offset, uint32_t bytes, LockedRegions& out) {
    out = {};
    if (!voice_) return Result::InvalidCall;
    if (bytes == 0 || bytes > voice_->bytes || offset >= voice_->bytes) return Result::InvalidParam;
    Voice::HeldLock held;
    held.offset = offset;
    held.firstBytes = std::min(bytes, voice_->bytes - offset);
    held.secondBytes = bytes - held.firstBytes;
    held.copy.reset(new (std::nothrow) uint8_t[bytes]);
    if (!held.copy) return Result::OutOfMemory;

    StateLock lock(mixer_->Mutex());
    if (Result r = mixer_->Fault(Call::Lock); r != Result::Ok) return r;
    if (voice_->lost) return Result::BufferLost;
    try {
        voice_->locks.reserve(voice_->locks.size() + 1);
    } catch (const std::bad_alloc&) {
        return Result::OutOfMemory;
    }
    const uint8_t* pcm = voice_->pcm->data();
    std::memcpy(held.copy.get(), pcm + offset, held.firstBytes);
    std::memcpy(held.copy.get() + held.firstBytes, pcm, held.secondBytes);
    out.first = held.copy.get();
    out.firstBytes = held.firstBytes;
    if (held.secondBytes) {
        out.second = held.copy.get() + held.firstBytes;
        out.secondBytes = held.secondBytes;
    }
    voice_->locks.push_back(std::move(held));
    return Result::Ok;
}

Result MixerBuffer::Unlock(const LockedRegions& regions) {
    if (!voice_) return Result::InvalidCall;
    StateLock lock(mixer_->Mutex());
    if (Result r = mixer_->Fault(Call::Unlock); r != Result::Ok) return r;
    auto& locks = voice_->locks;
    auto it = std::find_if(locks.begin(), locks.end(),
                           [&](const Voice::HeldLock& h) { return h.copy.get() == regions.first; });
    if (regions.first == nullptr || it == locks.end()) return Result::InvalidParam;
    if (regions.firstBytes > it->firstBytes || regions.secondBytes > it->secondBytes) return Result::InvalidParam;
    if (regions.secondBytes && regions.second != it->copy.get() + it->firstBytes) return Result::InvalidParam;
    uint8_t* pcm = voice_->pcm->data();
    std::memcpy(pcm + it->offset, it->copy.get(), regions.firstBytes);
    std::memcpy(pcm, it->copy.get() + it->firstBytes, regions.secondBytes);
    locks.erase(it);
    return Result::Ok;
}

Result MixerBuffer::Restore() {
    StateLock lock(mixer_->Mutex());
    if (Result r = mixer_->Fault(Call::Restore); r != Result::Ok) return r;
    if (voice_) voice_->lost = false;
    return Result::Ok;
}

// ---------------------------------------------------------------- playing

Result MixerBuffer::Play(uint32_t flags) {
    StateLock lock(mixer_->Mutex());
    if (Result r = mixer_->Fault(Call::Play); r != Result::Ok) return r;
    if (flags & ~kPlayLooping) return Result::InvalidParam;
    if (mixer_->coopLevel == 0) return Result::PriorityLevelNeeded;
    if (!voice_) {
        // The primary buffer only ever plays looping.
        if (!(flags & kPlayLooping)) return Result::InvalidParam;
        mixer_->primary.playing = true;
        return Result::Ok;
    }
    if (voice_->lost) return Result::BufferLost;
    voice_->playing = true;
    voice_->looping = (flags & kPlayLooping) != 0;
    return Result::Ok;
}

Result MixerBuffer::Stop() {
    StateLock lock(mixer_->Mutex());
    if (Result r = mixer_->Fault(Call::Stop); r != Result::Ok) return r;
    if (!voice_) {
        mixer_->primary.playing = false;
        return Result::Ok;
    }
    voice_->playing = false;
    voice_->looping = false;
    // A stream thread parked on a paused voice learns of the stop this way,
    // so the stop notification fires even when the buffer was not playing.
    const std::vector<host::kernel::Event*> events = voice_->stopEvents;
    mixer_->Signal(lock, events);
    return Result::Ok;
}

Result MixerBuffer::GetStatus(uint32_t& status) const {
    status = 0;
    StateLock lock(mixer_->Mutex());
    if (Result r = mixer_->Fault(Call::GetStatus); r != Result::Ok) return r;
    if (!voice_) {
        if (mixer_->primary.playing) status = kStatusPlaying | kStatusLooping;
        return Result::Ok;
    }
    if (voice_->playing) status |= kStatusPlaying;
    if (voice_->playing && voice_->looping) status |= kStatusLooping;
    if (voice_->lost) status |= kStatusBufferLost;
    return Result::Ok;
}

Result MixerBuffer::GetCurrentPosition(uint32_t* play, uint32_t* write) const {
    if (!voice_) return Result::InvalidCall;
    StateLock lock(mixer_->Mutex());
    if (Result r = mixer_->Fault(Call::GetCurrentPosition); r != Result::Ok) return r;
    if (play) *play = uint32_t(voice_->position >> 32) * voice_->format.blockAlign;
    if (write) *write = mixer_->WriteCursor(*voice_);
    return Result::Ok;
}

Result MixerBuffer::SetCurrentPosition(uint32_t offset) {
    if (!voice_) return Result::InvalidCall;
    StateLock lock(mixer_->Mutex());
    if (Result r = mixer_->Fault(Call::SetCurrentPosition); r != Result::Ok) return r;
    if (offset >= voice_->bytes) return Result::InvalidParam;
    voice_->position = uint64_t(offset / voice_->format.blockAlign) << 32;
    return Result::Ok;
}

// ---------------------------------------------------------------- controls

Result MixerBuffer::SetVolume(int32_t volume) {
    StateLock lock(mixer_->Mutex());
    if (Result r = mixer_->Fault(Call::SetVolume); r != Result::Ok) return r;
    const uint32_t flags = voice_ ? voice_->flags : mixer_->primary.flags;
    if (!(flags & kBufferCtrlVolume)) return Result::ControlUnavailable;
    if (volume < kVolumeMin || volume > kVolumeMax) return Result::InvalidParam;
    (voice_ ? voice_->volume : mixer_->primary.volume) = volume;
    return Result::Ok;
}

Result MixerBuffer::GetVolume(int32_t& volume) const {
    StateLock lock(mixer_->Mutex());
    const uint32_t flags = voice_ ? voice_->flags : mixer_->primary.flags;
    if (!(flags & kBufferCtrlVolume)) return Result::ControlUnavailable;
    volume = voice_ ? voice_->volume : mixer_->primary.volume;
    return Result::Ok;
}

Result MixerBuffer::SetPan(int32_t pan) {
    if (!voice_) return Result::InvalidCall;
    StateLock lock(mixer_->Mutex());
    if (Result r = mixer_->Fault(Call::SetPan); r != Result::Ok) return r;
    if (!(voice_->flags & kBufferCtrlPan)) return Result::ControlUnavailable;
    if (pan < kPanLeft || pan > kPanRight) return Result::InvalidParam;
    voice_->pan = pan;
    return Result::Ok;
}

Result MixerBuffer::GetPan(int32_t& pan) const {
    if (!voice_) return Result::InvalidCall;
    if (!(voice_->flags & kBufferCtrlPan)) return Result::ControlUnavailable;
    StateLock lock(mixer_->Mutex());
    pan = voice_->pan;
    return Result::Ok;
}

Result MixerBuffer::SetFrequency(uint32_t frequency) {
    if (!voice_) return Result::InvalidCall;
    StateLock lock(mixer_->Mutex());
    if (Result r = mixer_->Fault(Call::SetFrequency); r != Result::Ok) return r;
    if (!(voice_->flags & kBufferCtrlFrequency)) return Result::ControlUnavailable;
    if (frequency != kFrequencyOriginal && (frequency < kFrequencyMin || frequency > kFrequencyMax))
        return Result::InvalidParam;
    voice_->frequency = frequency;
    return Result::Ok;
}

Result MixerBuffer::GetFrequency(uint32_t& frequency) const {
    if (!voice_) return Result::InvalidCall;
    if (!(voice_->flags & kBufferCtrlFrequency)) return Result::ControlUnavailable;
    StateLock lock(mixer_->Mutex());
    frequency = voice_->Rate();
    return Result::Ok;
}

Result MixerBuffer::SetNotificationPositions(uint32_t count, const Notification* notifications) {
    if (!voice_) return Result::InvalidCall;
    if (!(voice_->flags & kBufferCtrlPositionNotify)) return Result::NoInterface;
    if (count > 0 && notifications == nullptr) return Result::InvalidParam;
    std::vector<Notification> offsets;
    std::vector<host::kernel::Event*> stops;
    try {
        for (uint32_t i = 0; i < count; ++i) {
            const Notification& n = notifications[i];
            if (n.event == nullptr) return Result::InvalidParam;
            if (n.offset == kNotifyOffsetStop) {
                stops.push_back(n.event);
            } else if (n.offset < voice_->bytes) {
                offsets.push_back(n);
            } else {
                return Result::InvalidParam;
            }
        }
    } catch (const std::bad_alloc&) {
        return Result::OutOfMemory;
    }
    std::stable_sort(offsets.begin(), offsets.end(),
                     [](const Notification& a, const Notification& b) { return a.offset < b.offset; });
    {
        StateLock lock(mixer_->Mutex());
        if (Result r = mixer_->Fault(Call::SetNotificationPositions); r != Result::Ok) return r;
        if (voice_->playing) return Result::InvalidCall;
        voice_->notifications.swap(offsets);
        voice_->stopEvents.swap(stops);
    }
    // The old events may be deleted once we return.
    mixer_->SignalBarrier();
    return Result::Ok;
}

// ---------------------------------------------------------------- 3D

template <class Change>
Result MixerBuffer::Set3D(uint32_t apply, Change change) {
    if (!voice_) return Result::InvalidCall;
    if (!(voice_->flags & kBufferCtrl3D)) return Result::NoInterface;
    StateLock lock(mixer_->Mutex());
    if (Result r = mixer_->Fault(Call::Set3D); r != Result::Ok) return r;
    if (apply != kApplyImmediate && apply != kApplyDeferred) return Result::InvalidParam;
    change(voice_->pending3D);
    if (apply == kApplyImmediate) change(voice_->current3D);
    return Result::Ok;
}

Result MixerBuffer::SetPosition3D(const Vector3& v, uint32_t apply) {
    if (!FiniteVector(v)) return Result::InvalidParam;
    return Set3D(apply, [&](Buffer3D& b) { b.position = v; });
}

Result MixerBuffer::SetVelocity3D(const Vector3& v, uint32_t apply) {
    if (!FiniteVector(v)) return Result::InvalidParam;
    return Set3D(apply, [&](Buffer3D& b) { b.velocity = v; });
}

Result MixerBuffer::SetMinDistance(float d, uint32_t apply) {
    if (!std::isfinite(d) || d < 0) return Result::InvalidParam;
    return Set3D(apply, [&](Buffer3D& b) { b.minDistance = d; });
}

Result MixerBuffer::SetMaxDistance(float d, uint32_t apply) {
    if (!std::isfinite(d) || d < 0) return Result::InvalidParam;
    return Set3D(apply, [&](Buffer3D& b) { b.maxDistance = d; });
}

Result MixerBuffer::SetMode3D(uint32_t mode, uint32_t apply) {
    if (mode > kMode3DDisable) return Result::InvalidParam;
    return Set3D(apply, [&](Buffer3D& b) { b.mode = mode; });
}

Result MixerBuffer::Get3D(Buffer3D& out) const {
    if (!voice_) return Result::InvalidCall;
    if (!(voice_->flags & kBufferCtrl3D)) return Result::NoInterface;
    StateLock lock(mixer_->Mutex());
    out = voice_->current3D;
    return Result::Ok;
}

}  // namespace host::sound
