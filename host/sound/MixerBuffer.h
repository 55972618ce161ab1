// A buffer of the mixer: the primary buffer (output format, master volume,
// listener) or a secondary buffer (one voice).
#pragma once

#include "host/sound/Mixer.h"
#include "host/sound/Sound.h"

#include <memory>

namespace host::sound {

class MixerBuffer final : public Buffer {
public:
    // A secondary buffer; the voice joins the mixer.
    MixerBuffer(std::shared_ptr<Mixer> mixer, std::unique_ptr<Voice> voice);
    // The primary buffer.
    MixerBuffer(std::shared_ptr<Mixer> mixer, std::shared_ptr<Listener> listener);
    ~MixerBuffer() override;

    const Mixer* GetMixer() const { return mixer_.get(); }
    // Null for the primary buffer. Read under the mixer's lock.
    const Voice* GetVoice() const { return voice_.get(); }

    Result GetCaps(BufferCaps& out) const override;
    Result GetFormat(WaveFormat& out) const override;
    Result SetFormat(const WaveFormat& format) override;
    Result QueryListener(Listener*& out) override;
    Result Lock(uint32_t offset, uint32_t bytes, LockedRegions& out) override;
    Result Unlock(const LockedRegions& regions) override;
    Result Restore() override;
    Result Play(uint32_t flags) override;
    Result Stop() override;
    Result GetStatus(uint32_t& status) const override;
    Result GetCurrentPosition(uint32_t* play, uint32_t* write) const override;
    Result SetCurrentPosition(uint32_t offset) override;
    Result SetVolume(int32_t volume) override;
    Result GetVolume(int32_t& volume) const override;
    Result SetPan(int32_t pan) override;
    Result GetPan(int32_t& pan) const override;
    Result SetFrequency(uint32_t frequency) override;
    Result GetFrequency(uint32_t& frequency) const override;
    Result SetNotificationPositions(uint32_t count, const Notification* notifications) override;
    Result SetPosition3D(const Vector3& v, uint32_t apply) override;
    Result SetVelocity3D(const Vector3& v, uint32_t apply) override;
    Result SetMinDistance(float d, uint32_t apply) override;
    Result SetMaxDistance(float d, uint32_t apply) override;
    Result SetMode3D(uint32_t mode, uint32_t apply) override;
    Result Get3D(Buffer3D& out) const override;

private:
    uint32_t Flags() const;
    template <class Change>
    Result Set3D(uint32_t apply, Change change);

    std::shared_ptr<Mixer> mixer_;
    std::unique_ptr<Voice> voice_;
    std::shared_ptr<Listener> listener_;
};

bool FiniteVector(const Vector3& v);

}  // namespace host::sound
