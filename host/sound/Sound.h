// The sound service: a software mixer that plays sound buffers the way the
// engine's sound code expects of a DirectSound 8 device. One device with a
// primary buffer (the output format and the 3D listener), secondary buffers of
// PCM that play, loop, wrap, notify and take volume, pan, frequency and 3D
// settings, and duplicates that share PCM.
//
// Backends: the SDL2 audio output (default) and the null output, which a test
// installs and advances by exact frame counts.
//
// Every call reports a Result; every call that can fail on Windows can be made
// to fail through the null output, so the engine's "no sound" paths run in tests.
#pragma once

#include <cstdint>
#include <memory>

namespace host::kernel { class Event; }

namespace host::sound {

enum class Result : int32_t {
    Ok = 0,
    Failed,               // unspecified failure
    InvalidParam,         // a bad argument: format, size, offset, range
    InvalidCall,          // not valid in this state or on this kind of buffer
    OutOfMemory,
    BufferLost,           // Restore, then try again
    ControlUnavailable,   // the buffer was created without the control flag
    NoInterface,          // no 3D, notification or listener part on this buffer
    PriorityLevelNeeded,  // the cooperative level is too low (or not set)
    NoDriver,             // no audio device
};
const char* ResultName(Result r);

// ---------------------------------------------------------------- numbers

// Cooperative levels.
constexpr uint32_t kCoopNormal = 1;
constexpr uint32_t kCoopPriority = 2;

// Buffer flags.
constexpr uint32_t kBufferPrimary = 0x1;
constexpr uint32_t kBufferStatic = 0x2;
constexpr uint32_t kBufferCtrl3D = 0x10;
constexpr uint32_t kBufferCtrlFrequency = 0x20;
constexpr uint32_t kBufferCtrlPan = 0x40;
constexpr uint32_t kBufferCtrlVolume = 0x80;
constexpr uint32_t kBufferCtrlPositionNotify = 0x100;
constexpr uint32_t kBufferGlobalFocus = 0x8000;
constexpr uint32_t kBufferGetCurrentPosition2 = 0x10000;

// Play flags and status bits.
constexpr uint32_t kPlayLooping = 0x1;
constexpr uint32_t kStatusPlaying = 0x1;
constexpr uint32_t kStatusBufferLost = 0x2;
constexpr uint32_t kStatusLooping = 0x4;

// Volumes are attenuations in hundredths of a decibel; pans attenuate the far
// channel by |pan| hundredths of a decibel. The ends are silent.
constexpr int32_t kVolumeMin = -10000;
constexpr int32_t kVolumeMax = 0;
constexpr int32_t kPanLeft = -10000;
constexpr int32_t kPanCenter = 0;
constexpr int32_t kPanRight = 10000;

// Frequencies in samples per second; 0 sets the buffer's own rate back.
constexpr uint32_t kFrequencyOriginal = 0;
constexpr uint32_t kFrequencyMin = 100;
constexpr uint32_t kFrequencyMax = 200000;

// Buffer sizes in bytes.
constexpr uint32_t kBufferBytesMin = 4;
constexpr uint32_t kBufferBytesMax = 0x0FFFFFFF;

// The notification offset that fires when the buffer stops.
constexpr uint32_t kNotifyOffsetStop = 0xFFFFFFFFu;

// 3D: when settings apply, buffer modes.
constexpr uint32_t kApplyImmediate = 0;
constexpr uint32_t kApplyDeferred = 1;
constexpr uint32_t kMode3DNormal = 0;
constexpr uint32_t kMode3DHeadRelative = 1;
constexpr uint32_t kMode3DDisable = 2;

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;

// ---------------------------------------------------------------- records

struct WaveFormat {
    uint16_t tag = kFormatPcm;
    uint16_t channels = 2;         // 1 or 2; a secondary buffer any number
    uint32_t rate = 44100;         // frames per second
    uint32_t bytesPerSecond = 176400;
    uint16_t blockAlign = 4;       // bytes per frame
    uint16_t bits = 16;            // 8 (unsigned) or 16 (signed); a secondary buffer also 24, 32, float 32, 64
};
// A consistent PCM format.
WaveFormat PcmFormat(uint32_t rate, uint16_t channels, uint16_t bits);

struct BufferDesc {
    uint32_t flags = 0;
    uint32_t bytes = 0;            // 0 for the primary buffer
    WaveFormat format;             // ignored for the primary buffer
};

struct DeviceCaps {
    uint32_t flags = 0;
    uint32_t minSecondaryRate = 0;
    uint32_t maxSecondaryRate = 0;
    uint32_t totalHardwareBytes = 0;
    uint32_t freeHardwareBytes = 0;
};

struct BufferCaps {
    uint32_t flags = 0;
    uint32_t bytes = 0;
};

// The one or two regions of a lock; the second is used when the locked range
// wraps past the end of the buffer.
struct LockedRegions {
    void* first = nullptr;
    uint32_t firstBytes = 0;
    void* second = nullptr;
    uint32_t secondBytes = 0;
};

// An event to set when the play cursor moves past a byte offset, or when the
// buffer stops (kNotifyOffsetStop). The event is not owned.
struct Notification {
    uint32_t offset = 0;
    host::kernel::Event* event = nullptr;
};

struct Vector3 {
    float x = 0, y = 0, z = 0;
};

struct Buffer3D {
    Vector3 position;
    Vector3 velocity;
    float minDistance = 1.0f;
    float maxDistance = 1.0e9f;
    uint32_t mode = kMode3DNormal;
};

struct Listener3D {
    Vector3 position;
    Vector3 velocity;
    Vector3 front{0, 0, 1};
    Vector3 top{0, 1, 0};
    float distanceFactor = 1.0f;
    float dopplerFactor = 1.0f;
    float rolloffFactor = 1.0f;
};

// ---------------------------------------------------------------- objects

// The listener of the primary buffer. Settings given with kApplyDeferred wait
// for CommitDeferredSettings, which also commits every buffer's deferred 3D
// settings. Owned by the device. 3D buffers are attenuated by distance and
// panned by direction (Mixer.cpp); velocities and Doppler are kept, not heard.
class Listener {
public:
    virtual ~Listener() = default;
    virtual Result SetPosition(const Vector3& v, uint32_t apply) = 0;
    virtual Result SetVelocity(const Vector3& v, uint32_t apply) = 0;
    // Front and top must be non-zero and not parallel.
    virtual Result SetOrientation(const Vector3& front, const Vector3& top, uint32_t apply) = 0;
    virtual Result SetDistanceFactor(float f, uint32_t apply) = 0;   // > 0
    virtual Result SetDopplerFactor(float f, uint32_t apply) = 0;    // 0..10
    virtual Result SetRolloffFactor(float f, uint32_t apply) = 0;    // 0..10
    virtual Result CommitDeferredSettings() = 0;
    // The settings in effect (deferred ones excluded).
    virtual Listener3D Get() const = 0;
};

// A primary or secondary buffer. Secondary-only calls on the primary buffer,
// and the reverse, return InvalidCall. Releasing a buffer stops it without a
// stop notification.
class Buffer {
public:
    virtual ~Buffer() = default;

    virtual Result GetCaps(BufferCaps& out) const = 0;
    virtual Result GetFormat(WaveFormat& out) const = 0;
    // Primary only: changes the output format (priority level needed).
    virtual Result SetFormat(const WaveFormat& format) = 0;
    // Primary only, created with kBufferCtrl3D; the listener lives as long as the device.
    virtual Result QueryListener(Listener*& out) = 0;

    // Lock hands out a copy of the range; Unlock writes the given byte counts
    // back, so the mixer never reads a half-written range.
    virtual Result Lock(uint32_t offset, uint32_t bytes, LockedRegions& out) = 0;
    virtual Result Unlock(const LockedRegions& regions) = 0;
    virtual Result Restore() = 0;

    virtual Result Play(uint32_t flags) = 0;
    // Also fires the stop notification, even on a buffer that was not playing.
    virtual Result Stop() = 0;
    virtual Result GetStatus(uint32_t& status) const = 0;
    // The write cursor is where data can be written without being too late.
    virtual Result GetCurrentPosition(uint32_t* play, uint32_t* write) const = 0;
    virtual Result SetCurrentPosition(uint32_t offset) = 0;

    virtual Result SetVolume(int32_t volume) = 0;
    virtual Result GetVolume(int32_t& volume) const = 0;
    virtual Result SetPan(int32_t pan) = 0;
    virtual Result GetPan(int32_t& pan) const = 0;
    virtual Result SetFrequency(uint32_t frequency) = 0;
    virtual Result GetFrequency(uint32_t& frequency) const = 0;

    // Replaces the notifications (count 0 removes them); not while playing.
    virtual Result SetNotificationPositions(uint32_t count, const Notification* notifications) = 0;

    // Buffers created with kBufferCtrl3D.
    virtual Result SetPosition3D(const Vector3& v, uint32_t apply) = 0;
    virtual Result SetVelocity3D(const Vector3& v, uint32_t apply) = 0;
    virtual Result SetMinDistance(float d, uint32_t apply) = 0;
    virtual Result SetMaxDistance(float d, uint32_t apply) = 0;
    virtual Result SetMode3D(uint32_t mode, uint32_t apply) = 0;
    virtual Result Get3D(Buffer3D& out) const = 0;
};

class Device {
public:
    virtual ~Device() = default;
    virtual Result SetCooperativeLevel(const void* window, uint32_t level) = 0;
    virtual Result CreateBuffer(const BufferDesc& desc, std::unique_ptr<Buffer>& out) = 0;
    // A secondary buffer sharing the original's PCM, with its own cursor,
    // volume, pan, frequency and 3D settings (copied from the original), stopped.
    virtual Result DuplicateBuffer(const Buffer& original, std::unique_ptr<Buffer>& out) = 0;
    virtual Result GetCaps(DeviceCaps& out) const = 0;
};

// Opens the default device on the current backend: the SDL2 output, or the
// installed null output. NoDriver when no audio device can be opened.
Result CreateDevice(std::unique_ptr<Device>& out);

// ---------------------------------------------------------------- null output

// The calls that a null output can be told to fail.
enum class Call : uint32_t {
    CreateDevice, SetCooperativeLevel, CreateBuffer, DuplicateBuffer, GetCaps,
    SetFormat, QueryListener, Lock, Unlock, Restore, Play, Stop, GetStatus,
    GetCurrentPosition, SetCurrentPosition, SetVolume, SetPan, SetFrequency,
    SetNotificationPositions, Set3D, SetListener, CommitDeferredSettings,
    Count
};

// The test backend: nothing is heard and nothing moves until the test mixes.
// Install it with SetNullOutput; devices created then mix through it.
class NullOutput {
public:
    NullOutput();
    ~NullOutput();   // uninstalls itself
    NullOutput(const NullOutput&) = delete;
    NullOutput& operator=(const NullOutput&) = delete;

    // Mixes exactly `frames` frames of the newest device in the primary
    // buffer's format (16-bit, interleaved, 1 or 2 channels) and fires the
    // notifications the play cursors moved past. False without a live device.
    bool MixFrames(uint32_t frames, int16_t* out);

    // The next `times` calls of `call` fail with `result`.
    void FailNext(Call call, Result result, uint32_t times = 1);
    // The same after `skip` calls of `call` have succeeded (a refill that
    // fails after the first fill, the second voice of a sound...).
    void FailAfter(Call call, uint32_t skip, Result result, uint32_t times = 1);
    void ClearFailures();
    // Loses every secondary buffer: they stop, and Lock and Play answer
    // BufferLost until Restore.
    void LoseBuffers();
    // The hardware memory that devices created from now on report in their
    // capabilities (a software mixer has none: 0 and 0 by default).
    void SetHardwareMemory(uint32_t totalBytes, uint32_t freeBytes);

    // Shared with the devices made through this output.
    struct State;
    const std::shared_ptr<State>& GetState() const { return state_; }
private:
    std::shared_ptr<State> state_;
};

// Installs a null output (not owned) for the following CreateDevice calls;
// null restores the SDL2 output.
void SetNullOutput(NullOutput* output);

}  // namespace host::sound
