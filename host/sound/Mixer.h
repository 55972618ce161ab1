// The software mixer behind every sound device, and the seam to its outputs.
//
// One mutex guards all mixer state: the voices, the primary format, the
// listener. Outputs pull frames through Mix on their own thread. Notification
// events are gathered under the state lock and set after it is released, while
// a second (signal) lock is held; calls that retire events (Stop, new
// notifications, Release) pass through that lock afterwards, so no event is set
// once its owner may have been told it is free to delete it.
#pragma once

#include "host/sound/Sound.h"

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace host::sound {

class Mixer;

// Where the mixed frames go: the sound card through SDL, or nowhere (tests).
class Output {
public:
    virtual ~Output() = default;
    // Starts pulling 16-bit frames at this rate and channel count from the
    // mixer. The mixer stays alive until Close.
    virtual Result Open(Mixer& mixer, uint32_t rate, uint16_t channels) = 0;
    // When Close returns, the mixer is no longer called.
    virtual void Close() = 0;
    // Output frames mixed ahead of what is heard.
    virtual uint32_t LatencyFrames() const = 0;
};

std::unique_ptr<Output> CreateSdlOutput();

// Injected failures, shared by a null output and the devices made through it.
class Faults {
public:
    // After `skip` calls that pass, the next `times` calls of `call` fail.
    void FailNext(Call call, Result result, uint32_t times, uint32_t skip = 0);
    void Clear();
    // The injected result for this call (consuming it), or Ok.
    Result Take(Call call);
private:
    struct Entry { Result result = Result::Ok; uint32_t times = 0; uint32_t skip = 0; };
    std::mutex mutex_;
    std::array<Entry, static_cast<size_t>(Call::Count)> entries_{};
};

// The installed null output, or null; and what a device needs of it.
NullOutput* InstalledNullOutput();
std::shared_ptr<Faults> NullOutputFaults(NullOutput& output);
std::unique_ptr<Output> CreateNullSink(NullOutput& output);
void NullOutputHardwareMemory(NullOutput& output, uint32_t& totalBytes, uint32_t& freeBytes);

// One secondary buffer's state. PCM is shared between duplicates.
struct Voice {
    uint32_t flags = 0;
    WaveFormat format;
    uint32_t bytes = 0;
    uint32_t frames = 0;
    std::shared_ptr<std::vector<uint8_t>> pcm;

    uint64_t position = 0;    // frames, 32.32 fixed point
    bool playing = false;
    bool looping = false;
    bool lost = false;
    int32_t volume = kVolumeMax;
    int32_t pan = kPanCenter;
    uint32_t frequency = 0;   // the format's rate when 0
    // The gains of the volume and pan last mixed at, worked out again only
    // when either changes (the mixer needs them every chunk).
    int32_t gainVolume = kVolumeMax + 1;
    int32_t gainPan = kPanCenter;
    float panLeft = 1.0f, panRight = 1.0f, volumeGain = 1.0f;

    std::vector<Notification> notifications;   // by offset, kNotifyOffsetStop apart
    std::vector<host::kernel::Event*> stopEvents;

    Buffer3D current3D;
    Buffer3D pending3D;

    struct HeldLock {
        std::unique_ptr<uint8_t[]> copy;
        uint32_t offset = 0;
        uint32_t firstBytes = 0;
        uint32_t secondBytes = 0;
    };
    std::vector<HeldLock> locks;

    uint32_t Rate() const { return frequency ? frequency : format.rate; }

    size_t mixerSlot = 0;   // its place in the mixer's list while attached
};

struct PrimaryState {
    uint32_t flags = 0;
    WaveFormat format;        // the output format
    int32_t volume = kVolumeMax;
    bool playing = false;
};

class Mixer {
public:
    explicit Mixer(std::shared_ptr<Faults> faults);
    ~Mixer();
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;

    std::mutex& Mutex() { return mutex_; }
    // The injected failure for a call, or Ok.
    Result Fault(Call call) { return faults_ ? faults_->Take(call) : Result::Ok; }

    // Guarded by Mutex().
    uint32_t coopLevel = 0;
    PrimaryState primary;
    Listener3D listener;
    Listener3D pendingListener;
    void Attach(Voice* voice);
    void Detach(Voice* voice);
    void CommitDeferred();
    // Where a voice's write cursor stands, in bytes.
    uint32_t WriteCursor(const Voice& voice) const;

    // Takes the state lock.
    void LoseBuffers();

    // Releases `lock` (the state lock) and sets the events, in order.
    void Signal(std::unique_lock<std::mutex>& lock, const std::vector<host::kernel::Event*>& events);
    // Returns once no event gathered before the call is still being set.
    void SignalBarrier();

    // Opens the output in the primary format, changes that format (the old
    // one stays on failure), closes the output. Never under the state lock.
    Result OpenOutput(std::unique_ptr<Output> output);
    Result SetOutputFormat(const WaveFormat& format);
    void CloseOutput();

    // Mixes `frames` frames in the primary format into `out` (16-bit,
    // interleaved), advances the playing voices, then sets the events of the
    // offsets they moved past and of the voices that ended.
    void Mix(uint32_t frames, int16_t* out);

private:
    void MixChunk(uint32_t frames, int16_t* out);
    void MixVoice(Voice& voice, uint32_t frames, float* acc);

    std::mutex mutex_;
    std::mutex signalMutex_;
    std::mutex outputMutex_;
    std::unique_ptr<Output> output_;   // outputMutex_
    uint32_t latencyFrames_ = 0;       // mutex_
    std::shared_ptr<Faults> faults_;
    // Attached voices in the order they came (they are summed in it); one
    // detached leaves a null until half the list is nulls.
    std::vector<Voice*> voices_;
    size_t detached_ = 0;
    std::vector<float> accumulator_;
    std::vector<host::kernel::Event*> fired_;       // mutex_
    std::vector<host::kernel::Event*> signalling_;  // signalMutex_; swapped with fired_ so both keep capacity
};

// Gains from hundredths of a decibel: 10^(v / 2000); -10000 and below silent.
float VolumeGain(int32_t volume);
// Left and right gains of a pan: the far channel is attenuated by |pan|.
void PanGains(int32_t pan, float& left, float& right);
// The gains a 3D buffer gets from its distance and direction to the listener
// (the law is described at the definition).
void Gains3D(const Buffer3D& buffer, const Listener3D& listener, float& left, float& right);

// What the output (primary buffer) takes: 8- or 16-bit PCM, mono or stereo.
bool ValidPcmFormat(const WaveFormat& format);
// What a secondary buffer plays: 8-, 16-, 24- or 32-bit PCM, 32- or 64-bit
// float, any number of channels (more than two are mixed down to stereo).
// Anything else (compressed tags, odd sample sizes) is refused.
bool PlayableFormat(const WaveFormat& format);

}  // namespace host::sound
