#include "host/sound/Mixer.h"

#include "host/kernel/Kernel.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace host::sound {

namespace {

// Voices are mixed in chunks so the accumulator stays small and in cache.
constexpr uint32_t kChunkFrames = 1024;
constexpr uint64_t kOne = uint64_t(1) << 32;
constexpr float kFraction = 1.0f / 4294967296.0f;

// A 3D source straight to one side of the listener reaches the far ear 20 dB
// down; in between, the attenuation follows the sine of the angle.
constexpr float kSideAttenuation = 2000.0f;

struct VoiceRun {
    const uint8_t* pcm;
    uint32_t frames;
    uint64_t step;   // source frames per output frame, 32.32
    bool looping;
    float left;
    float right;
    const WaveFormat* format;   // read by the converting path only
};

// A float sample on the 16-bit scale. Files from outside may hold any bits:
// what is not a number is silence, and a sample far past full scale is held
// at four times it, so no voice can make the mix infinite.
inline float FromFloat(double v) {
    constexpr double kLimit = 4 * 32768.0;
    v *= 32768.0;
    if (!(v == v)) return 0.0f;
    return float(v > kLimit ? kLimit : v < -kLimit ? -kLimit : v);
}

// One sample of any playable format on the 16-bit scale.
inline float ReadSample(const uint8_t* p, const WaveFormat& f) {
    if (f.tag == kFormatFloat) {
        if (f.bits == 64) {
            double d;
            std::memcpy(&d, p, 8);
            return FromFloat(d);
        }
        float v;
        std::memcpy(&v, p, 4);
        return FromFloat(v);
    }
    switch (f.bits) {
    case 8: return float((int(p[0]) - 128) * 256);
    case 16: return float(int16_t(uint16_t(p[0] | p[1] << 8)));
    case 24: return float(int32_t(uint32_t(p[0]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 24) >> 8) / 256.0f;
    default: return float(int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24)) /
                    65536.0f;
    }
}

// Channels = 0: any playable format, converted sample by sample. Past the
// first two channels each one is added to both sides at half weight, and the
// sum scaled so that a sound alike on every channel keeps its level.
template <int Bits, int Channels>
inline void ReadFrame(const VoiceRun& run, uint32_t index, float& left, float& right) {
    const uint8_t* pcm = run.pcm;
    if constexpr (Channels == 0) {
        const WaveFormat& f = *run.format;
        const uint32_t bytes = f.bits / 8u;
        const uint8_t* p = pcm + size_t(index) * f.blockAlign;
        left = ReadSample(p, f);
        right = f.channels > 1 ? ReadSample(p + bytes, f) : left;
        if (f.channels > 2) {
            float rest = 0.0f;
            for (uint32_t c = 2; c < f.channels; ++c) rest += ReadSample(p + c * bytes, f);
            const float scale = float(f.channels) * 0.5f;
            left = (left + rest * 0.5f) / scale;
            right = (right + rest * 0.5f) / scale;
        }
    } else if constexpr (Bits == 8) {
        const uint8_t* p = pcm + size_t(index) * Channels;
        left = float((int(p[0]) - 128) * 256);
        right = Channels == 2 ? float((int(p[1]) - 128) * 256) : left;
    } else {
        int16_t s[2] = {0, 0};
        std::memcpy(s, pcm + size_t(index) * Channels * 2, Channels * 2);
        left = s[0];
        right = Channels == 2 ? s[1] : left;
    }
}

#if defined(__SSE2__)
// Four 32-bit lanes, each as a float: the 16 bits above and below are each
// exact as floats, so the one rounding is in their sum, as in a plain cast.
inline __m128 UnsignedToFloat(__m128i v) {
    const __m128 high = _mm_cvtepi32_ps(_mm_srli_epi32(v, 16));
    const __m128 low = _mm_cvtepi32_ps(_mm_and_si128(v, _mm_set1_epi32(0xFFFF)));
    return _mm_add_ps(_mm_mul_ps(high, _mm_set1_ps(65536.0f)), low);
}

// Adds two stereo frames (four samples), times their gains, to the accumulator.
inline void AddFrames(float* acc, __m128 frames, __m128 gains) {
    _mm_storeu_ps(acc, _mm_add_ps(_mm_loadu_ps(acc), _mm_mul_ps(frames, gains)));
}

inline uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// The 16-bit cases four output frames at a time (two when resampling
// stereo); returns how many frames it mixed, the rest left to the plain loop.
// Each lane does the plain loop's float operations in its order, so the
// samples are the same to the bit.
template <int Bits, int Channels>
uint32_t MixSpanWide(const VoiceRun& run, uint64_t& pos, uint32_t count, float* acc) {
    if constexpr (Bits != 16) {
        return 0;
    } else {
        const __m128 gains = _mm_setr_ps(run.left, run.right, run.left, run.right);
        uint32_t k = 0;
        if (run.step == kOne && uint32_t(pos) == 0) {
            const uint8_t* src = run.pcm + size_t(pos >> 32) * Channels * 2;
            for (; k + 4 <= count; k += 4) {
                if constexpr (Channels == 2) {
                    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + size_t(k) * 4));
                    AddFrames(acc + 2 * k, _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(s, s), 16)), gains);
                    AddFrames(acc + 2 * k + 4, _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpackhi_epi16(s, s), 16)), gains);
                } else {
                    const __m128i s = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src + size_t(k) * 2));
                    const __m128 v = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(s, s), 16));
                    AddFrames(acc + 2 * k, _mm_unpacklo_ps(v, v), gains);
                    AddFrames(acc + 2 * k + 4, _mm_unpackhi_ps(v, v), gains);
                }
            }
            pos += uint64_t(k) << 32;
            return k;
        }
        const __m128 fraction = _mm_set1_ps(kFraction);
        if constexpr (Channels == 1) {
            // One 32-bit load holds a frame and the next.
            for (; k + 4 <= count; k += 4) {
                const uint64_t p0 = pos, p1 = p0 + run.step, p2 = p1 + run.step, p3 = p2 + run.step;
                const __m128i pairs = _mm_setr_epi32(
                    int32_t(Load32(run.pcm + (p0 >> 32) * 2)), int32_t(Load32(run.pcm + (p1 >> 32) * 2)),
                    int32_t(Load32(run.pcm + (p2 >> 32) * 2)), int32_t(Load32(run.pcm + (p3 >> 32) * 2)));
                const __m128 t = _mm_mul_ps(
                    UnsignedToFloat(_mm_setr_epi32(int32_t(p0), int32_t(p1), int32_t(p2), int32_t(p3))), fraction);
                const __m128 s0 = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_slli_epi32(pairs, 16), 16));
                const __m128 s1 = _mm_cvtepi32_ps(_mm_srai_epi32(pairs, 16));
                const __m128 v = _mm_add_ps(s0, _mm_mul_ps(_mm_sub_ps(s1, s0), t));
                AddFrames(acc + 2 * k, _mm_unpacklo_ps(v, v), gains);
                AddFrames(acc + 2 * k + 4, _mm_unpackhi_ps(v, v), gains);
                pos = p3 + run.step;
            }
        } else {
            // One 64-bit load holds a frame and the next.
            for (; k + 2 <= count; k += 2) {
                const uint64_t p0 = pos, p1 = p0 + run.step;
                const __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(run.pcm + (p0 >> 32) * 4));
                const __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(run.pcm + (p1 >> 32) * 4));
                const __m128i both = _mm_unpacklo_epi64(a, b);   // frame, next, frame, next
                const __m128i frames = _mm_shuffle_epi32(both, _MM_SHUFFLE(3, 1, 2, 0));
                const __m128 s0 = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(frames, frames), 16));
                const __m128 s1 = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpackhi_epi16(frames, frames), 16));
                const __m128 t = _mm_mul_ps(
                    UnsignedToFloat(_mm_setr_epi32(int32_t(p0), int32_t(p0), int32_t(p1), int32_t(p1))), fraction);
                AddFrames(acc + 2 * k, _mm_add_ps(s0, _mm_mul_ps(_mm_sub_ps(s1, s0), t)), gains);
                pos = p1 + run.step;
            }
        }
        return k;
    }
}
#endif

// Mixes `count` frames whose positions all lie before the last source frame,
// so the frame after each one exists without wrapping.
template <int Bits, int Channels>
void MixSpan(const VoiceRun& run, uint64_t& pos, uint32_t count, float* acc) {
#if defined(__SSE2__)
    const uint32_t wide = MixSpanWide<Bits, Channels>(run, pos, count, acc);
    acc += 2 * size_t(wide);
    count -= wide;
#endif
    if (run.step == kOne && uint32_t(pos) == 0) {
        const uint32_t first = uint32_t(pos >> 32);
        for (uint32_t k = 0; k < count; ++k) {
            float l, r;
            ReadFrame<Bits, Channels>(run, first + k, l, r);
            acc[2 * k] += l * run.left;
            acc[2 * k + 1] += r * run.right;
        }
        pos += uint64_t(count) << 32;
        return;
    }
    for (uint32_t k = 0; k < count; ++k) {
        const uint32_t i = uint32_t(pos >> 32);
        const float t = float(uint32_t(pos)) * kFraction;
        float l0, r0, l1, r1;
        ReadFrame<Bits, Channels>(run, i, l0, r0);
        ReadFrame<Bits, Channels>(run, i + 1, l1, r1);
        acc[2 * k] += (l0 + (l1 - l0) * t) * run.left;
        acc[2 * k + 1] += (r0 + (r1 - r0) * t) * run.right;
        pos += run.step;
    }
}

// The last source frame blends towards the first when looping, else holds.
template <int Bits, int Channels>
void MixLastFrame(const VoiceRun& run, uint64_t pos, float* acc) {
    const uint32_t i = uint32_t(pos >> 32);
    const float t = float(uint32_t(pos)) * kFraction;
    float l0, r0, l1, r1;
    ReadFrame<Bits, Channels>(run, i, l0, r0);
    ReadFrame<Bits, Channels>(run, run.looping ? 0 : i, l1, r1);
    acc[0] += (l0 + (l1 - l0) * t) * run.left;
    acc[1] += (r0 + (r1 - r0) * t) * run.right;
}

// Mixes up to `count` output frames of one voice and returns how many whole
// source frames the play cursor moved past. `ended` tells a non-looping
// voice reached its end (the rest of the output gets nothing from it).
template <int Bits, int Channels>
uint64_t Advance(const VoiceRun& run, uint64_t& pos, uint32_t count, float* acc, bool& ended) {
    const uint64_t end = uint64_t(run.frames) << 32;
    const uint64_t lastFrame = end - kOne;
    uint64_t crossed = 0;
    uint32_t done = 0;
    while (done < count) {
        const uint64_t before = pos;
        uint32_t n = 1;
        if (pos < lastFrame) {
            const uint64_t span = (lastFrame - pos + run.step - 1) / run.step;
            n = uint32_t(std::min<uint64_t>(count - done, span));
            MixSpan<Bits, Channels>(run, pos, n, acc + 2 * size_t(done));
        } else {
            MixLastFrame<Bits, Channels>(run, pos, acc + 2 * size_t(done));
            pos += run.step;
        }
        done += n;
        if (pos >= end && !run.looping) {
            crossed += run.frames - (before >> 32);
            pos = 0;
            ended = true;
            return crossed;
        }
        crossed += (pos >> 32) - (before >> 32);
        if (pos >= end) pos %= end;
    }
    return crossed;
}

using AdvanceFn = uint64_t (*)(const VoiceRun&, uint64_t&, uint32_t, float*, bool&);

AdvanceFn AdvanceFor(const WaveFormat& format) {
    if (format.tag != kFormatPcm || format.channels > 2 || (format.bits != 8 && format.bits != 16))
        return &Advance<0, 0>;
    if (format.bits == 8) return format.channels == 1 ? &Advance<8, 1> : &Advance<8, 2>;
    return format.channels == 1 ? &Advance<16, 1> : &Advance<16, 2>;
}

// The events of the offsets within the `crossed` frames from `startFrame`,
// in the order the cursor met them.
void CollectCrossed(const Voice& voice, uint32_t startFrame, uint64_t crossed,
                    std::vector<host::kernel::Event*>& out) {
    const size_t n = voice.notifications.size();
    if (crossed == 0 || n == 0) return;
    size_t first = 0;
    while (first < n && voice.notifications[first].offset / voice.format.blockAlign < startFrame) ++first;
    for (size_t k = 0; k < n; ++k) {
        const Notification& note = voice.notifications[(first + k) % n];
        const uint64_t frame = note.offset / voice.format.blockAlign;
        const uint64_t ahead = (frame + voice.frames - startFrame) % voice.frames;
        if (crossed < voice.frames && ahead >= crossed) break;
        out.push_back(note.event);
    }
}

inline int16_t ToSample(float v) {
    if (v >= 32767.0f) return 32767;
    if (v <= -32768.0f) return -32768;
    return int16_t(std::lrintf(v));
}

Vector3 Sub(const Vector3& a, const Vector3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
float Dot(const Vector3& a, const Vector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vector3 Cross(const Vector3& a, const Vector3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

}  // namespace

// ---------------------------------------------------------------- gains

float VolumeGain(int32_t volume) {
    if (volume <= kVolumeMin) return 0.0f;
    if (volume >= 0) return 1.0f;
    return float(std::pow(10.0, volume / 2000.0));
}

void PanGains(int32_t pan, float& left, float& right) {
    left = pan > 0 ? VolumeGain(-pan) : 1.0f;
    right = pan < 0 ? VolumeGain(pan) : 1.0f;
}

// Distance: the inverse law between the min and max distances,
// gain = min / (min + rolloff * (d - min)) with d clamped to [min, max], so a
// doubled distance halves the amplitude at rolloff 1. Direction: the side
// component of the source in the listener's frame (right = top x front, left
// handed) attenuates the far ear. Velocities and Doppler are kept, not heard.
void Gains3D(const Buffer3D& buffer, const Listener3D& listener, float& left, float& right) {
    Vector3 rel;
    float side;
    if (buffer.mode == kMode3DHeadRelative) {
        rel = buffer.position;
        side = rel.x;
    } else {
        rel = Sub(buffer.position, listener.position);
        Vector3 r = Cross(listener.top, listener.front);
        const float len = std::sqrt(Dot(r, r));
        side = len > 0 ? Dot(rel, r) / len : 0.0f;
    }
    const float d = std::sqrt(Dot(rel, rel));

    float gain = 1.0f;
    const float clamped = std::min(std::max(d, buffer.minDistance), buffer.maxDistance);
    if (clamped > buffer.minDistance) {
        const float denom = buffer.minDistance + listener.rolloffFactor * (clamped - buffer.minDistance);
        gain = denom > 0 ? buffer.minDistance / denom : 1.0f;
    }

    const float lateral = d > 0 ? std::min(1.0f, std::max(-1.0f, side / d)) : 0.0f;
    const float far = float(std::pow(10.0, -std::fabs(lateral) * kSideAttenuation / 2000.0));
    left = gain * (lateral > 0 ? far : 1.0f);
    right = gain * (lateral < 0 ? far : 1.0f);
}

bool ValidPcmFormat(const WaveFormat& f) {
    if (f.tag != kFormatPcm) return false;
    if (f.channels != 1 && f.channels != 2) return false;
    if (f.bits != 8 && f.bits != 16) return false;
    if (f.rate < kFrequencyMin || f.rate > kFrequencyMax) return false;
    if (f.blockAlign != f.channels * f.bits / 8) return false;
    return f.bytesPerSecond == f.rate * f.blockAlign;
}

bool PlayableFormat(const WaveFormat& f) {
    if (f.tag == kFormatPcm) {
        if (f.bits != 8 && f.bits != 16 && f.bits != 24 && f.bits != 32) return false;
    } else if (f.tag == kFormatFloat) {
        if (f.bits != 32 && f.bits != 64) return false;
    } else {
        return false;
    }
    if (f.channels == 0) return false;
    if (f.rate < kFrequencyMin || f.rate > kFrequencyMax) return false;
    if (f.blockAlign != uint32_t(f.channels) * f.bits / 8) return false;
    return f.bytesPerSecond == uint64_t(f.rate) * f.blockAlign;
}

// ---------------------------------------------------------------- faults

void Faults::FailNext(Call call, Result result, uint32_t times, uint32_t skip) {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_[size_t(call)] = {result, result == Result::Ok ? 0 : times, skip};
}

void Faults::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.fill({});
}

Result Faults::Take(Call call) {
    std::lock_guard<std::mutex> lock(mutex_);
    Entry& e = entries_[size_t(call)];
    if (e.times == 0) return Result::Ok;
    if (e.skip > 0) {
        --e.skip;
        return Result::Ok;
    }
    --e.times;
    return e.result;
}

// ---------------------------------------------------------------- mixer

Mixer::Mixer(std::shared_ptr<Faults> faults) : faults_(std::move(faults)) {
    accumulator_.resize(2 * kChunkFrames);
}

Mixer::~Mixer() { CloseOutput(); }

void Mixer::Attach(Voice* voice) {
    voice->mixerSlot = voices_.size();
    voices_.push_back(voice);
}

void Mixer::Detach(Voice* voice) {
    // A whole start-up's sounds are let go together: each in constant time.
    const size_t slot = voice->mixerSlot;
    if (slot >= voices_.size() || voices_[slot] != voice) return;
    voices_[slot] = nullptr;
    if (++detached_ * 2 <= voices_.size()) return;
    voices_.erase(std::remove(voices_.begin(), voices_.end(), nullptr), voices_.end());
    for (size_t i = 0; i < voices_.size(); ++i) voices_[i]->mixerSlot = i;
    detached_ = 0;
}

void Mixer::CommitDeferred() {
    listener = pendingListener;
    for (Voice* v : voices_)
        if (v) v->current3D = v->pending3D;
}

uint32_t Mixer::WriteCursor(const Voice& voice) const {
    uint64_t frame = voice.position >> 32;
    const uint32_t rate = primary.format.rate;
    if (voice.playing && latencyFrames_ && rate) {
        const uint64_t ahead = (uint64_t(latencyFrames_) * voice.Rate() + rate - 1) / rate;
        frame = (frame + ahead) % voice.frames;
    }
    return uint32_t(frame) * voice.format.blockAlign;
}

void Mixer::LoseBuffers() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (Voice* v : voices_) {
        if (!v) continue;
        v->lost = true;
        v->playing = false;
        v->looping = false;
    }
}

void Mixer::Signal(std::unique_lock<std::mutex>& lock, const std::vector<host::kernel::Event*>& events) {
    std::lock_guard<std::mutex> signalling(signalMutex_);
    lock.unlock();
    for (host::kernel::Event* e : events) e->Set();
}

void Mixer::SignalBarrier() { std::lock_guard<std::mutex> wait(signalMutex_); }

Result Mixer::OpenOutput(std::unique_ptr<Output> output) {
    std::lock_guard<std::mutex> guard(outputMutex_);
    WaveFormat format;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        format = primary.format;
    }
    const Result r = output->Open(*this, format.rate, format.channels);
    if (r != Result::Ok) return r;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        latencyFrames_ = output->LatencyFrames();
    }
    output_ = std::move(output);
    return Result::Ok;
}

Result Mixer::SetOutputFormat(const WaveFormat& format) {
    std::lock_guard<std::mutex> guard(outputMutex_);
    WaveFormat old;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        old = primary.format;
    }
    if (!output_) {
        std::lock_guard<std::mutex> lock(mutex_);
        primary.format = format;
        return Result::Ok;
    }
    // The format changes while nothing pulls frames, so no chunk is mixed at
    // one rate and played at another.
    output_->Close();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        primary.format = format;
    }
    Result r = output_->Open(*this, format.rate, format.channels);
    if (r != Result::Ok) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            primary.format = old;
        }
        if (output_->Open(*this, old.rate, old.channels) != Result::Ok) output_.reset();
        return r;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    latencyFrames_ = output_->LatencyFrames();
    return Result::Ok;
}

void Mixer::CloseOutput() {
    std::lock_guard<std::mutex> guard(outputMutex_);
    if (output_) {
        output_->Close();
        output_.reset();
    }
}

void Mixer::Mix(uint32_t frames, int16_t* out) {
    std::unique_lock<std::mutex> lock(mutex_);
    const uint16_t channels = primary.format.channels;
    while (frames > 0) {
        const uint32_t n = std::min(frames, kChunkFrames);
        MixChunk(n, out);
        out += size_t(n) * channels;
        frames -= n;
    }
    // Swapped, not moved out: both vectors keep their capacity, so mixing
    // stops allocating once they have grown.
    std::lock_guard<std::mutex> guard(signalMutex_);
    signalling_.swap(fired_);
    lock.unlock();
    for (host::kernel::Event* e : signalling_) e->Set();
    signalling_.clear();
}

void Mixer::MixChunk(uint32_t frames, int16_t* out) {
    float* acc = accumulator_.data();
    std::fill(acc, acc + 2 * size_t(frames), 0.0f);
    for (Voice* v : voices_) {
        if (v && v->playing) MixVoice(*v, frames, acc);
    }

    const float master = VolumeGain(primary.volume);
    const bool mono = primary.format.channels == 1;
    // An 8-bit output keeps only the high byte of each sample.
    const int32_t mask = primary.format.bits == 8 ? ~0xFF : ~0;
    uint32_t i = 0;
#if defined(__SSE2__)
    if (!mono) {
        // Clamped first, so the rounding conversion meets only values that
        // fit, the same samples ToSample gives.
        const __m128 gain = _mm_set1_ps(master), high = _mm_set1_ps(32767.0f), low = _mm_set1_ps(-32768.0f);
        const __m128i keep = _mm_set1_epi16(int16_t(mask));
        auto convert = [&](const float* a) {
            const __m128 v = _mm_max_ps(_mm_min_ps(_mm_mul_ps(_mm_loadu_ps(a), gain), high), low);
            return _mm_cvtps_epi32(v);
        };
        for (; i + 4 <= frames; i += 4) {
            const __m128i packed = _mm_packs_epi32(convert(acc + 2 * i), convert(acc + 2 * i + 4));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_and_si128(packed, keep));
            out += 8;
        }
    }
#endif
    for (; i < frames; ++i) {
        const float l = acc[2 * i] * master;
        const float r = acc[2 * i + 1] * master;
        if (mono) {
            *out++ = int16_t(ToSample((l + r) * 0.5f) & mask);
        } else {
            *out++ = int16_t(ToSample(l) & mask);
            *out++ = int16_t(ToSample(r) & mask);
        }
    }
}

void Mixer::MixVoice(Voice& v, uint32_t frames, float* acc) {
    if (v.volume != v.gainVolume || v.pan != v.gainPan) {
        PanGains(v.pan, v.panLeft, v.panRight);
        v.volumeGain = VolumeGain(v.volume);
        v.gainVolume = v.volume;
        v.gainPan = v.pan;
    }
    float left = v.panLeft, right = v.panRight;
    if ((v.flags & kBufferCtrl3D) && v.current3D.mode != kMode3DDisable) {
        float l3, r3;
        Gains3D(v.current3D, listener, l3, r3);
        left *= l3;
        right *= r3;
    }
    const float gain = v.volumeGain;
    const uint32_t rate = primary.format.rate;
    const VoiceRun run{v.pcm->data(), v.frames, (uint64_t(v.Rate()) << 32) / rate,
                       v.looping, left * gain, right * gain, &v.format};

    const uint32_t startFrame = uint32_t(v.position >> 32);
    bool ended = false;
    const uint64_t crossed = AdvanceFor(v.format)(run, v.position, frames, acc, ended);
    CollectCrossed(v, startFrame, crossed, fired_);
    if (ended) {
        v.playing = false;
        v.looping = false;
        fired_.insert(fired_.end(), v.stopEvents.begin(), v.stopEvents.end());
    }
}

}  // namespace host::sound
