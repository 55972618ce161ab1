// The device and the listener over the mixer, and device creation.
#include "host/sound/Mixer.h"
#include "host/sound/MixerBuffer.h"

#include <cmath>
#include <new>

namespace host::sound {

namespace {

using StateLock = std::unique_lock<std::mutex>;

constexpr uint32_t kPrimaryFlags = kBufferPrimary | kBufferCtrl3D | kBufferCtrlVolume;
constexpr uint32_t kSecondaryFlags = kBufferStatic | kBufferCtrl3D | kBufferCtrlFrequency | kBufferCtrlPan |
                                     kBufferCtrlVolume | kBufferCtrlPositionNotify | kBufferGlobalFocus |
                                     kBufferGetCurrentPosition2;
// Primary and secondary mono, stereo, 8 and 16 bits, any rate in the range.
constexpr uint32_t kDeviceCapsFlags = 0xF1F;

class MixerListener final : public Listener {
public:
    explicit MixerListener(std::shared_ptr<Mixer> mixer) : mixer_(std::move(mixer)) {}

    Result SetPosition(const Vector3& v, uint32_t apply) override {
        if (!FiniteVector(v)) return Result::InvalidParam;
        return Set(apply, [&](Listener3D& l) { l.position = v; });
    }
    Result SetVelocity(const Vector3& v, uint32_t apply) override {
        if (!FiniteVector(v)) return Result::InvalidParam;
        return Set(apply, [&](Listener3D& l) { l.velocity = v; });
    }
    Result SetOrientation(const Vector3& front, const Vector3& top, uint32_t apply) override {
        if (!FiniteVector(front) || !FiniteVector(top)) return Result::InvalidParam;
        const Vector3 side{top.y * front.z - top.z * front.y, top.z * front.x - top.x * front.z,
                           top.x * front.y - top.y * front.x};
        if (side.x == 0 && side.y == 0 && side.z == 0) return Result::InvalidParam;
        return Set(apply, [&](Listener3D& l) {
            l.front = front;
            l.top = top;
        });
    }
    Result SetDistanceFactor(float f, uint32_t apply) override {
        if (!std::isfinite(f) || f <= 0) return Result::InvalidParam;
        return Set(apply, [&](Listener3D& l) { l.distanceFactor = f; });
    }
    Result SetDopplerFactor(float f, uint32_t apply) override {
        if (!(f >= 0 && f <= 10)) return Result::InvalidParam;
        return Set(apply, [&](Listener3D& l) { l.dopplerFactor = f; });
    }
    Result SetRolloffFactor(float f, uint32_t apply) override {
        if (!(f >= 0 && f <= 10)) return Result::InvalidParam;
        return Set(apply, [&](Listener3D& l) { l.rolloffFactor = f; });
    }
    Result CommitDeferredSettings() override {
        StateLock lock(mixer_->Mutex());
        if (Result r = mixer_->Fault(Call::CommitDeferredSettings); r != Result::Ok) return r;
        mixer_->CommitDeferred();
        return Result::Ok;
    }
    Listener3D Get() const override {
        StateLock lock(mixer_->Mutex());
        return mixer_->listener;
    }

private:
    template <class Change>
    Result Set(uint32_t apply, Change change) {
        StateLock lock(mixer_->Mutex());
        if (Result r = mixer_->Fault(Call::SetListener); r != Result::Ok) return r;
        if (apply != kApplyImmediate && apply != kApplyDeferred) return Result::InvalidParam;
        change(mixer_->pendingListener);
        if (apply == kApplyImmediate) change(mixer_->listener);
        return Result::Ok;
    }

    std::shared_ptr<Mixer> mixer_;
};

class MixerDevice final : public Device {
public:
    MixerDevice(std::shared_ptr<Mixer> mixer, uint32_t hardwareTotal, uint32_t hardwareFree)
        : mixer_(std::move(mixer)), listener_(std::make_shared<MixerListener>(mixer_)),
          hardwareTotal_(hardwareTotal), hardwareFree_(hardwareFree) {}

    // Buffers may outlive the device; they then play nowhere.
    ~MixerDevice() override { mixer_->CloseOutput(); }

    Result SetCooperativeLevel(const void* window, uint32_t level) override {
        StateLock lock(mixer_->Mutex());
        if (Result r = mixer_->Fault(Call::SetCooperativeLevel); r != Result::Ok) return r;
        if (window == nullptr || (level != kCoopNormal && level != kCoopPriority)) return Result::InvalidParam;
        mixer_->coopLevel = level;
        return Result::Ok;
    }

    Result CreateBuffer(const BufferDesc& desc, std::unique_ptr<Buffer>& out) override {
        out.reset();
        if (Result r = mixer_->Fault(Call::CreateBuffer); r != Result::Ok) return r;
        if (desc.flags & kBufferPrimary) {
            if ((desc.flags & ~kPrimaryFlags) || desc.bytes != 0) return Result::InvalidParam;
            {
                StateLock lock(mixer_->Mutex());
                mixer_->primary.flags |= desc.flags;
            }
            out = std::make_unique<MixerBuffer>(mixer_, listener_);
            return Result::Ok;
        }
        if ((desc.flags & ~kSecondaryFlags) || !PlayableFormat(desc.format)) return Result::InvalidParam;
        // Pan and 3D exclude each other, as they do on Windows.
        if ((desc.flags & kBufferCtrl3D) && (desc.flags & kBufferCtrlPan)) return Result::InvalidParam;
        if (desc.bytes < kBufferBytesMin || desc.bytes > kBufferBytesMax) return Result::InvalidParam;

        auto voice = std::make_unique<Voice>();
        voice->flags = desc.flags;
        voice->format = desc.format;
        // A size between frames is rounded up to a whole frame.
        const uint32_t align = desc.format.blockAlign;
        voice->frames = (desc.bytes + align - 1) / align;
        voice->bytes = voice->frames * align;
        try {
            voice->pcm = std::make_shared<std::vector<uint8_t>>(voice->bytes, desc.format.bits == 8 ? 0x80 : 0);
        } catch (const std::bad_alloc&) {
            return Result::OutOfMemory;
        }
        out = std::make_unique<MixerBuffer>(mixer_, std::move(voice));
        return Result::Ok;
    }

    Result DuplicateBuffer(const Buffer& original, std::unique_ptr<Buffer>& out) override {
        out.reset();
        const auto* source = dynamic_cast<const MixerBuffer*>(&original);
        if (source == nullptr || source->GetMixer() != mixer_.get()) return Result::InvalidParam;
        if (source->GetVoice() == nullptr) return Result::InvalidCall;
        auto voice = std::make_unique<Voice>();
        {
            StateLock lock(mixer_->Mutex());
            if (Result r = mixer_->Fault(Call::DuplicateBuffer); r != Result::Ok) return r;
            const Voice& from = *source->GetVoice();
            voice->flags = from.flags;
            voice->format = from.format;
            voice->bytes = from.bytes;
            voice->frames = from.frames;
            voice->pcm = from.pcm;
            voice->volume = from.volume;
            voice->pan = from.pan;
            voice->frequency = from.frequency;
            voice->current3D = from.current3D;
            voice->pending3D = from.current3D;
        }
        out = std::make_unique<MixerBuffer>(mixer_, std::move(voice));
        return Result::Ok;
    }

    Result GetCaps(DeviceCaps& out) const override {
        if (Result r = mixer_->Fault(Call::GetCaps); r != Result::Ok) return r;
        out = {};
        out.flags = kDeviceCapsFlags;
        out.minSecondaryRate = kFrequencyMin;
        out.maxSecondaryRate = kFrequencyMax;
        out.totalHardwareBytes = hardwareTotal_;
        out.freeHardwareBytes = hardwareFree_;
        return Result::Ok;
    }

private:
    std::shared_ptr<Mixer> mixer_;
    std::shared_ptr<MixerListener> listener_;
    uint32_t hardwareTotal_;
    uint32_t hardwareFree_;
};

}  // namespace

const char* ResultName(Result r) {
    switch (r) {
        case Result::Ok: return "Ok";
        case Result::Failed: return "Failed";
        case Result::InvalidParam: return "InvalidParam";
        case Result::InvalidCall: return "InvalidCall";
        case Result::OutOfMemory: return "OutOfMemory";
        case Result::BufferLost: return "BufferLost";
        case Result::ControlUnavailable: return "ControlUnavailable";
        case Result::NoInterface: return "NoInterface";
        case Result::PriorityLevelNeeded: return "PriorityLevelNeeded";
        case Result::NoDriver: return "NoDriver";
    }
    return "?";
}

WaveFormat PcmFormat(uint32_t rate, uint16_t channels, uint16_t bits) {
    WaveFormat f;
    f.tag = kFormatPcm;
    f.channels = channels;
    f.rate = rate;
    f.bits = bits;
    f.blockAlign = uint16_t(channels * bits / 8);
    f.bytesPerSecond = rate * f.blockAlign;
    return f;
}

Result CreateDevice(std::unique_ptr<Device>& out) {
    out.reset();
    std::shared_ptr<Faults> faults;
    std::unique_ptr<Output> output;
    uint32_t hardwareTotal = 0, hardwareFree = 0;
    if (NullOutput* null = InstalledNullOutput()) {
        faults = NullOutputFaults(*null);
        if (Result r = faults->Take(Call::CreateDevice); r != Result::Ok) return r;
        output = CreateNullSink(*null);
        NullOutputHardwareMemory(*null, hardwareTotal, hardwareFree);
    } else {
        output = CreateSdlOutput();
    }
    auto mixer = std::make_shared<Mixer>(std::move(faults));
    if (mixer->OpenOutput(std::move(output)) != Result::Ok) return Result::NoDriver;
    out = std::make_unique<MixerDevice>(std::move(mixer), hardwareTotal, hardwareFree);
    return Result::Ok;
}

}  // namespace host::sound
