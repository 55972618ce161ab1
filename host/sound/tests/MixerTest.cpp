#include "host/sound/Mixer.h"
#include "host/sound/tests/SoundTestSupport.h"

#include "host/kernel/Kernel.h"

#include <array>
#include <cmath>
#include <functional>
#include <tuple>

namespace host::sound::testing {
namespace ORV_TEST_FILE_ID {

namespace {

using host::kernel::Event;
using Samples = std::vector<int16_t>;

class Mixer : public SoundTest {};
class MixerBuffer : public SoundTest {};
class MixerNotification : public SoundTest {};

Samples Ramp(int count, int step) {
    Samples v(count);
    for (int i = 0; i < count; ++i) v[i] = int16_t(i * step);
    return v;
}

bool Fired(Event& e) { return e.Wait(0) == 0; }

void ExpectGains(const Samples& out, int left, int right) {
    EXPECT_NEAR(out[0], left, 1);
    EXPECT_NEAR(out[1], right, 1);
}

TEST_F(Mixer, EachSourceFormatMixesToExactSamples) {
    Samples pcm;
    for (int i = 0; i < 64; ++i) pcm.insert(pcm.end(), {int16_t(i * 301 - 9000), int16_t(-i * 97 + 30000)});
    auto b = Make16(44100, 2, pcm);
    ASSERT_EQ(b->Play(0), Result::Ok);
    EXPECT_EQ(Mix(64), pcm);
    EXPECT_EQ(Mix(2), Samples(4, 0));   // ended: silence

    const std::vector<uint8_t> mono8 = {0x80, 0xC0, 0x40, 0xFF, 0x00}, stereo8 = {0xC0, 0x40, 0x80, 0x80};
    auto m8 = Make(PcmFormat(44100, 1, 8), kBufferStatic, mono8.data(), 5);
    m8->Play(0);
    EXPECT_EQ(Mix(5), (Samples{0, 0, 16384, 16384, -16384, -16384, 32512, 32512, -32768, -32768}));
    auto s8 = Make(PcmFormat(44100, 2, 8), kBufferStatic, stereo8.data(), 4);
    s8->Play(0);
    EXPECT_EQ(Mix(1), (Samples{16384, -16384}));

    auto x = Make16(44100, 1, {20000, 1000, -20000}), y = Make16(44100, 1, {20000, 2000, -20000});
    x->Play(0);
    y->Play(0);
    EXPECT_EQ(Mix(3), (Samples{32767, 32767, 3000, 3000, -32768, -32768}));   // voices add and clip
}

// Buffers let go in any order leave the others playing, summed in the order
// they came: before the mixer gathers its list again, after it, and with
// buffers made later. Each voice a power of two, so a sum names its voices.
TEST_F(Mixer, BuffersLetGoLeaveTheRestPlaying) {
    std::vector<std::unique_ptr<Buffer>> b;
    const auto add = [&](int i) {
        b.push_back(Make16(44100, 1, Samples(4, int16_t(1 << i))));
        ASSERT_EQ(b.back()->Play(kPlayLooping), Result::Ok);
    };
    for (int i = 0; i < 8; ++i) add(i);
    const auto heard = [&] { return Mix(1)[0]; };
    EXPECT_EQ(heard(), 255);
    // Three of eight: the list keeps its gaps; a fifth gathers it.
    for (int i : {0, 3, 5}) b[i].reset();
    EXPECT_EQ(heard(), 255 - 1 - 8 - 32);
    b[7].reset();
    EXPECT_EQ(heard(), 2 + 4 + 16 + 64);
    b[1].reset();
    EXPECT_EQ(heard(), 4 + 16 + 64);
    add(8);
    EXPECT_EQ(heard(), 4 + 16 + 64 + 256);
    b[8].reset();
    b[2].reset();
    EXPECT_EQ(heard(), 16 + 64);
    b.clear();
    EXPECT_EQ(heard(), 0);
}

// Detaching a voice that is no longer attached changes nothing, even once
// the list was gathered and another voice sits in its old slot. What the
// mixer still holds is what a commit of deferred settings reaches.
TEST_F(Mixer, AVoiceDetachedAgainLeavesTheOthersAttached) {
    host::sound::Mixer mixer(nullptr);
    std::array<Voice, 4> v;
    const auto attached = [&] {
        for (Voice& x : v) {
            x.pending3D.minDistance = 5.0f;
            x.current3D.minDistance = 1.0f;
        }
        mixer.CommitDeferred();
        std::vector<int> out;
        for (int i = 0; i < int(v.size()); ++i)
            if (v[i].current3D.minDistance == 5.0f) out.push_back(i);
        return out;
    };
    for (Voice& x : v) mixer.Attach(&x);
    mixer.Detach(&v[0]);
    mixer.Detach(&v[0]);
    EXPECT_EQ(attached(), (std::vector<int>{1, 2, 3})) << "a gap, not a gathering";
    mixer.Detach(&v[1]);
    mixer.Detach(&v[2]);   // gathers: voice 3 takes slot 0
    EXPECT_EQ(attached(), (std::vector<int>{3}));
    for (int i : {0, 1, 2}) mixer.Detach(&v[i]);
    EXPECT_EQ(attached(), (std::vector<int>{3})) << "slot 0 holds voice 3, not voice 0";
    mixer.Detach(&v[3]);
    EXPECT_EQ(attached(), (std::vector<int>{}));
    mixer.Attach(&v[1]);
    mixer.Detach(&v[3]);   // its old slot is voice 1's now
    EXPECT_EQ(attached(), (std::vector<int>{1}));
}

// Volume attenuates both channels, pan only the far one, in hundredths of a decibel.
TEST_F(Mixer, VolumeAndPanAttenuateExactly) {
    auto b = Make16(44100, 1, Samples(16, 16000), kBufferStatic | kBufferCtrlVolume | kBufferCtrlPan);
    b->Play(kPlayLooping);
    const struct { int32_t volume, pan; int left, right; } cases[] = {
        {-600, 0, 8019, 8019}, {-2000, 0, 1600, 1600}, {kVolumeMin, 0, 0, 0},
        {0, 2000, 1600, 16000}, {0, -600, 16000, 8019}, {0, kPanLeft, 16000, 0}, {-2000, 2000, 160, 1600}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.volume) + " " + std::to_string(c.pan));
        ASSERT_EQ(b->SetVolume(c.volume), Result::Ok);
        ASSERT_EQ(b->SetPan(c.pan), Result::Ok);
        ExpectGains(Mix(1), c.left, c.right);
    }
}

// Linear interpolation keeps a ramp a ramp, the cursor moving by the rate ratio.
TEST_F(Mixer, ResamplesByTheRateRatio) {
    auto half = Make16(22050, 1, Ramp(200, 100));
    half->Play(0);
    Samples out = Mix(100);
    for (int k = 0; k < 100; ++k) ASSERT_TRUE(out[2 * k] == 50 * k && out[2 * k + 1] == 50 * k) << k;
    EXPECT_EQ(PlayCursor(*half), 50u * 2);
}

// A voice brought to the output rate halfway between two frames keeps
// blending them: only a whole position may copy frames as they are.
TEST_F(Mixer, OutputRateAtAFractionalPositionIsInterpolated) {
    for (const uint16_t channels : {1, 2}) {
        SCOPED_TRACE(channels);
        Samples pcm;
        for (int i = 0; i < 32; ++i) {
            pcm.push_back(int16_t(i * 200 - 3000));
            if (channels == 2) pcm.push_back(int16_t(5000 - i * 400));
        }
        auto b = Make16(22050, channels, pcm, kBufferStatic | kBufferCtrlFrequency);
        ASSERT_EQ(b->Play(0), Result::Ok);
        Mix(1);   // half a frame on
        ASSERT_EQ(b->SetFrequency(44100), Result::Ok);
        const Samples out = Mix(15);   // not a whole number of wide steps
        for (int k = 0; k < 15; ++k) {
            // Halfway between frames k and k + 1.
            ASSERT_EQ(out[2 * k], k * 200 - 3000 + 100) << k;
            ASSERT_EQ(out[2 * k + 1], channels == 2 ? 5000 - k * 400 - 200 : k * 200 - 3000 + 100) << k;
        }
    }
}

// A looping voice blends its last frame towards its first and keeps the
// fraction of the step that carried it past the end; a voice that does not
// loop holds its last frame. Values of both signs, each frame distinct.
TEST_F(Mixer, ResampledLoopWrapsOntoItsFirstFrame) {
    const Samples data = {1000, -3000, 7000, -15000, 23000};
    auto half = Make16(22050, 1, data);
    ASSERT_EQ(half->Play(kPlayLooping), Result::Ok);
    Samples out = Mix(12);
    const int halfSpeed[] = {1000, -1000, -3000, 2000, 7000, -4000, -15000, 4000, 23000, 12000, 1000, -1000};
    for (int k = 0; k < 12; ++k) ASSERT_EQ(out[2 * k], halfSpeed[k]) << k;
    half->Stop();

    auto once = Make16(22050, 1, data);
    ASSERT_EQ(once->Play(0), Result::Ok);
    out = Mix(11);
    EXPECT_EQ(out[2 * 9], 23000);   // held, not blended towards the start
    EXPECT_EQ(out[2 * 10], 0);      // ended
    EXPECT_EQ(Status(*once), 0u);

    // Twice the rate over five frames: the wrap lands on frame 1, not 0.
    auto doubled = Make16(44100, 1, data, kBufferStatic | kBufferCtrlFrequency);
    ASSERT_EQ(doubled->SetFrequency(88200), Result::Ok);
    ASSERT_EQ(doubled->Play(kPlayLooping), Result::Ok);
    out = Mix(10);
    const int twice[] = {1000, 7000, 23000, -3000, -15000, 1000, 7000, 23000, -3000, -15000};
    for (int k = 0; k < 10; ++k) ASSERT_EQ(out[2 * k], twice[k]) << k;
    doubled->Stop();

    // An uneven ratio on a stereo voice whose channels run opposite ways:
    // every output frame is the straight line between its two neighbours,
    // the last frame's neighbour being the first.
    Samples stereo;
    for (int i = 0; i < 7; ++i) stereo.insert(stereo.end(), {int16_t(-9000 + 3000 * i), int16_t(9000 - 3000 * i)});
    auto uneven = Make16(30000, 2, stereo);
    ASSERT_EQ(uneven->Play(kPlayLooping), Result::Ok);
    out = Mix(60);
    for (int k = 0; k < 60; ++k) {
        const double at = std::fmod(k * 30000.0 / 44100.0, 7.0);
        const int i = int(at), j = (i + 1) % 7;
        const double t = at - i;
        ASSERT_NEAR(out[2 * k], stereo[2 * i] + (stereo[2 * j] - stereo[2 * i]) * t, 1.0) << k;
        ASSERT_NEAR(out[2 * k + 1], stereo[2 * i + 1] + (stereo[2 * j + 1] - stereo[2 * i + 1]) * t, 1.0) << k;
    }
}

// Today's mix of every source format at four rates, looping and not, with
// volume and pan, over periods that are not multiples of anything, must stay
// the same to the last bit; the mono output goes through the same chunks.
TEST_F(Mixer, ManyVoicesMixToTheSameSamplesAsBefore) {
    std::vector<std::unique_ptr<Buffer>> voices;
    uint32_t seed = 7;
    for (int i = 0; i < 24; ++i) {
        const uint16_t bits = i % 4 < 2 ? 16 : 8, channels = uint16_t(1 + i % 2);
        const uint32_t rates[] = {44100, 22050, 30011, 48000, 11025, 96000};
        const WaveFormat format = PcmFormat(rates[i % 6], channels, bits);
        std::vector<uint8_t> pcm(format.blockAlign * size_t(301 + 97 * i));
        for (uint8_t& b : pcm) b = uint8_t((seed = seed * 1664525u + 1013904223u) >> 24);
        auto b = Make(format, kBufferStatic | kBufferCtrlVolume | kBufferCtrlPan, pcm.data(), uint32_t(pcm.size()));
        ASSERT_EQ(b->SetVolume(-137 * (i % 7)), Result::Ok);
        ASSERT_EQ(b->SetPan(-4000 + 377 * i), Result::Ok);
        ASSERT_EQ(b->Play(i % 3 ? kPlayLooping : 0), Result::Ok);
        voices.push_back(std::move(b));
    }
    uint64_t hash = 1469598103934665603ull;
    int nonzero = 0, clipped = 0;
    auto add = [&](const Samples& out) {
        for (int16_t s : out) {
            hash = (hash ^ uint16_t(s)) * 1099511628211ull;
            nonzero += s != 0;
            clipped += s == 32767 || s == -32768;
        }
    };
    for (uint32_t period : {1u, 3u, 255u, 1024u, 1500u, 2049u, 7u}) add(Mix(period));
    EXPECT_EQ(hash, 4852282051904496540ull);
    EXPECT_GT(nonzero, 4000);
    EXPECT_GT(clipped, 0);

    std::unique_ptr<Buffer> primary;
    ASSERT_EQ(device->CreateBuffer({kBufferPrimary | kBufferCtrlVolume, 0, {}}, primary), Result::Ok);
    ASSERT_EQ(primary->SetFormat(PcmFormat(44100, 1, 16)), Result::Ok);
    ASSERT_EQ(primary->SetVolume(-300), Result::Ok);
    hash = 1469598103934665603ull;
    for (uint32_t period : {5u, 1031u, 2000u}) add(Mix(period, 1));
    EXPECT_EQ(hash, 8104801142208866748ull);

    // An 8-bit stereo output keeps the high byte of each sample.
    ASSERT_EQ(primary->SetFormat(PcmFormat(44100, 2, 8)), Result::Ok);
    hash = 1469598103934665603ull;
    for (uint32_t period : {9u, 1100u}) add(Mix(period));
    EXPECT_EQ(hash, 8974057087825118427ull);
}

// Every control at its exact limits, and one step past them.
TEST_F(Mixer, ControlsTakeTheirExactLimits) {
    EXPECT_EQ(VolumeGain(kVolumeMin), 0.0f);
    EXPECT_GT(VolumeGain(kVolumeMin + 1), 0.0f);
    EXPECT_EQ(VolumeGain(kVolumeMax), 1.0f);
    EXPECT_LT(VolumeGain(kVolumeMax - 1), 1.0f);
    float left = 0, right = 0;
    PanGains(kPanRight, left, right);
    EXPECT_EQ(std::make_pair(left, right), std::make_pair(0.0f, 1.0f));
    PanGains(kPanLeft, left, right);
    EXPECT_EQ(std::make_pair(left, right), std::make_pair(1.0f, 0.0f));
    PanGains(kPanRight - 1, left, right);
    EXPECT_GT(left, 0.0f);

    auto b = Make16(44100, 1, Samples(16, 16000),
                    kBufferStatic | kBufferCtrlVolume | kBufferCtrlPan | kBufferCtrlFrequency);
    b->Play(kPlayLooping);
    const struct { const char* what; std::function<Result(int)> set; int low, high; } limits[] = {
        {"volume", [&](int v) { return b->SetVolume(v); }, kVolumeMin, kVolumeMax},
        {"pan", [&](int v) { return b->SetPan(v); }, kPanLeft, kPanRight},
        {"frequency", [&](int v) { return b->SetFrequency(uint32_t(v)); }, int(kFrequencyMin), int(kFrequencyMax)},
    };
    for (const auto& l : limits) {
        SCOPED_TRACE(l.what);
        EXPECT_EQ(l.set(l.low), Result::Ok);
        EXPECT_EQ(l.set(l.low - 1), Result::InvalidParam);
        EXPECT_EQ(l.set(l.high), Result::Ok);
        EXPECT_EQ(l.set(l.high + 1), Result::InvalidParam);
    }
    uint32_t rate = 0;
    b->GetFrequency(rate);
    EXPECT_EQ(rate, kFrequencyMax);   // the refused values changed nothing
    EXPECT_EQ(b->SetFrequency(kFrequencyOriginal), Result::Ok);
    b->GetFrequency(rate);
    EXPECT_EQ(rate, 44100u);   // the buffer's own
    b->SetPan(kPanRight);
    b->SetVolume(kVolumeMax);
    ExpectGains(Mix(1), 0, 16000);
    b->SetVolume(kVolumeMin);
    ExpectGains(Mix(1), 0, 0);

    // Formats and sizes: the rates and the smallest buffer at the limits.
    std::unique_ptr<Buffer> made;
    for (uint32_t r : {kFrequencyMin, kFrequencyMax})
        EXPECT_EQ(device->CreateBuffer({0, 16, PcmFormat(r, 1, 16)}, made), Result::Ok) << r;
    for (uint32_t r : {kFrequencyMin - 1, kFrequencyMax + 1})
        EXPECT_EQ(device->CreateBuffer({0, 16, PcmFormat(r, 1, 16)}, made), Result::InvalidParam) << r;
    EXPECT_EQ(device->CreateBuffer({0, kBufferBytesMin, PcmFormat(44100, 1, 16)}, made), Result::Ok);
    EXPECT_EQ(device->CreateBuffer({0, kBufferBytesMin - 1, PcmFormat(44100, 1, 16)}, made), Result::InvalidParam);
    EXPECT_EQ(device->CreateBuffer({0, kBufferBytesMax + 1, PcmFormat(44100, 1, 16)}, made), Result::InvalidParam);

    // Offsets up to the last byte, none at the end.
    auto data = Make16(44100, 1, Samples(50, 0), kBufferStatic | kBufferCtrlPositionNotify);
    LockedRegions r;
    EXPECT_EQ(data->Lock(99, 1, r), Result::Ok);
    EXPECT_EQ(data->Unlock(r), Result::Ok);
    EXPECT_EQ(data->Lock(0, 100, r), Result::Ok);
    EXPECT_EQ(data->Unlock(r), Result::Ok);
    EXPECT_EQ(data->Lock(100, 1, r), Result::InvalidParam);
    EXPECT_EQ(data->Lock(0, 101, r), Result::InvalidParam);
    EXPECT_EQ(data->SetCurrentPosition(98), Result::Ok);
    EXPECT_EQ(data->SetCurrentPosition(100), Result::InvalidParam);
    host::kernel::Event e(false, false);
    const Notification last{99, &e}, end{100, &e};
    EXPECT_EQ(data->SetNotificationPositions(1, &last), Result::Ok);
    EXPECT_EQ(data->SetNotificationPositions(1, &end), Result::InvalidParam);
}

TEST_F(Mixer, PrimaryFormatAndVolumeShapeTheOutputAndNeedPriority) {
    std::unique_ptr<Buffer> primary;
    ASSERT_EQ(device->CreateBuffer({kBufferPrimary | kBufferCtrl3D | kBufferCtrlVolume, 0, {}}, primary), Result::Ok);
    WaveFormat f;
    ASSERT_EQ(primary->GetFormat(f), Result::Ok);
    EXPECT_EQ(std::make_tuple(f.rate, f.channels, f.bits), std::make_tuple(44100u, uint16_t(2), uint16_t(16)));
    device->SetCooperativeLevel(&window, kCoopNormal);
    EXPECT_EQ(primary->SetFormat(PcmFormat(22050, 1, 16)), Result::PriorityLevelNeeded);
    device->SetCooperativeLevel(&window, kCoopPriority);
    WaveFormat bad = PcmFormat(22050, 1, 16);
    bad.blockAlign = 4;
    EXPECT_EQ(primary->SetFormat(bad), Result::InvalidParam);
    // The output stays 8 or 16 bits: what sources convert to.
    EXPECT_EQ(primary->SetFormat(PcmFormat(22050, 2, 24)), Result::InvalidParam);
    ASSERT_EQ(primary->SetFormat(PcmFormat(22050, 1, 16)), Result::Ok);

    // A 22050 Hz stereo source now plays one frame per output frame, in mono.
    auto b = Make16(22050, 2, {100, 300, 1000, 2000});
    b->Play(0);
    EXPECT_EQ(Mix(2, 1), (Samples{200, 1500}));
    ASSERT_EQ(primary->SetVolume(-2000), Result::Ok);
    b->SetCurrentPosition(0);
    b->Play(0);
    EXPECT_EQ(Mix(1, 1), (Samples{20}));
    LockedRegions r;
    EXPECT_EQ(primary->Lock(0, 4, r), Result::InvalidCall);
}

TEST_F(MixerBuffer, NonLoopingStopsAtItsEndLoopingWraps) {
    Event stop(false, false);
    auto once = Make16(44100, 1, Samples(100, 1000), kBufferStatic | kBufferCtrlPositionNotify);
    const Notification n{kNotifyOffsetStop, &stop};
    ASSERT_EQ(once->SetNotificationPositions(1, &n), Result::Ok);
    ASSERT_EQ(once->Play(0), Result::Ok);
    Mix(99);
    EXPECT_EQ(Status(*once), kStatusPlaying);
    EXPECT_FALSE(Fired(stop));
    EXPECT_EQ(Mix(3), (Samples{1000, 1000, 0, 0, 0, 0}));
    EXPECT_EQ(Status(*once), 0u);
    EXPECT_TRUE(Fired(stop));
    EXPECT_EQ(PlayCursor(*once), 0u);

    auto loop = Make16(44100, 1, Ramp(100, 10));
    ASSERT_EQ(loop->Play(kPlayLooping), Result::Ok);
    EXPECT_EQ(Status(*loop), kStatusPlaying | kStatusLooping);
    const Samples out = Mix(150);
    for (int k = 0; k < 150; ++k) ASSERT_EQ(out[2 * k], (k % 100) * 10) << k;
    ASSERT_EQ(loop->Stop(), Result::Ok);
    EXPECT_EQ(Status(*loop), 0u);
    EXPECT_EQ(PlayCursor(*loop), 50u * 2);   // Stop keeps the position
}

// The mixer hears a lock only at Unlock, and a lock past the end wraps into a second region.
TEST_F(MixerBuffer, LockAcrossTheEndGivesTwoRegionsHeardOnlyAfterUnlock) {
    auto b = Make16(44100, 1, Samples(500, 0));
    LockedRegions r;
    ASSERT_EQ(b->Lock(800, 400, r), Result::Ok);
    ASSERT_NE(r.second, nullptr);
    EXPECT_EQ(std::make_pair(r.firstBytes, r.secondBytes), std::make_pair(200u, 200u));
    std::memcpy(r.first, Samples(100, 7).data(), 200);
    std::memcpy(r.second, Samples(100, 9).data(), 200);
    b->Play(kPlayLooping);
    EXPECT_EQ(Mix(1)[0], 0);
    b->SetCurrentPosition(0);
    ASSERT_EQ(b->Unlock(r), Result::Ok);
    const Samples out = Mix(500);
    for (int k = 0; k < 500; ++k) ASSERT_EQ(out[2 * k], k < 100 ? 9 : k >= 400 ? 7 : 0) << k;

    EXPECT_EQ(b->Unlock(r), Result::InvalidParam);   // not locked any more
    EXPECT_EQ(b->Lock(1000, 2, r), Result::InvalidParam);
    ASSERT_EQ(b->Lock(10, 20, r), Result::Ok);
    r.firstBytes = 21;   // more than was locked
    EXPECT_EQ(b->Unlock(r), Result::InvalidParam);
}

TEST_F(MixerBuffer, DuplicatesSharePcmButNothingElse) {
    auto master = Make16(44100, 1, Ramp(100, 1), kBufferStatic | kBufferCtrlVolume | kBufferCtrlPan);
    master->SetVolume(-2000);
    std::unique_ptr<Buffer> dup;
    ASSERT_EQ(device->DuplicateBuffer(*master, dup), Result::Ok);
    int32_t v = 0;
    dup->GetVolume(v);
    EXPECT_EQ(v, -2000);   // copied at duplication
    dup->SetVolume(0);
    master->GetVolume(v);
    EXPECT_EQ(v, -2000);

    dup->SetCurrentPosition(50 * 2);
    dup->Play(0);
    const Samples out = Mix(10);
    for (int k = 0; k < 10; ++k) ASSERT_EQ(out[2 * k], 50 + k);
    EXPECT_EQ(PlayCursor(*master), 0u);
    EXPECT_EQ(Status(*master), 0u);

    // New data in the master is heard through the duplicate, which outlives it.
    Write(*master, 60 * 2, Samples(4, 1234).data(), 8);
    master->SetVolume(kVolumeMin);
    master->Play(kPlayLooping);
    EXPECT_EQ(Mix(2)[2], 1234);
    master.reset();
    EXPECT_EQ(Mix(1)[0], 1234);
    std::unique_ptr<Buffer> again;
    ASSERT_EQ(device->DuplicateBuffer(*dup, again), Result::Ok);
    EXPECT_EQ(Status(*again), 0u);
}

TEST_F(MixerBuffer, CreationRefusesBadDescriptionsAndControlsNeedTheirFlags) {
    // Only formats the mixer can convert are taken: 24 bits and three
    // channels are (the sound tests hear them), a compressed tag, 12-bit
    // samples and 16-bit float are not.
    const WaveFormat good = PcmFormat(44100, 2, 16);
    WaveFormat badTag = good;
    badTag.tag = 2;
    WaveFormat halfFloat = good;
    halfFloat.tag = kFormatFloat;
    const struct { uint32_t flags, bytes; WaveFormat format; } bad[] = {
        {0, 0, good}, {0, 400, badTag}, {0, 400, PcmFormat(44100, 2, 12)}, {0, 400, halfFloat},
        {0, 400, PcmFormat(50, 2, 16)}, {kBufferCtrl3D | kBufferCtrlPan, 400, good}};
    std::unique_ptr<Buffer> b;
    for (const auto& d : bad) {
        EXPECT_EQ(device->CreateBuffer({d.flags, d.bytes, d.format}, b), Result::InvalidParam) << d.flags << " " << d.bytes;
        EXPECT_EQ(b, nullptr);
    }
    ASSERT_EQ(device->CreateBuffer({0, 7, good}, b), Result::Ok);
    BufferCaps caps;
    b->GetCaps(caps);
    EXPECT_EQ(caps.bytes, 8u);   // grown to a whole frame

    EXPECT_EQ(b->SetVolume(-100), Result::ControlUnavailable);
    EXPECT_EQ(b->SetPosition3D({1, 0, 0}, kApplyImmediate), Result::NoInterface);
    EXPECT_EQ(b->SetFormat(good), Result::InvalidCall);
    for (const WaveFormat& wide : {PcmFormat(44100, 2, 24), PcmFormat(44100, 3, 16)}) {
        std::unique_ptr<Buffer> converted;
        EXPECT_EQ(device->CreateBuffer({0, 400, wide}, converted), Result::Ok) << wide.bits << " " << wide.channels;
    }
    auto all = Make16(44100, 1, Samples(10, 0), kBufferCtrlVolume | kBufferCtrlPan);
    EXPECT_EQ(all->SetVolume(1), Result::InvalidParam);
}

TEST_F(MixerBuffer, LostBuffersWaitForRestoreAndPlayNeedsACooperativeLevel) {
    auto b = Make16(44100, 1, Samples(10, 0));
    b->Play(kPlayLooping);
    null.LoseBuffers();
    EXPECT_EQ(Status(*b), kStatusBufferLost);
    EXPECT_EQ(b->Play(kPlayLooping), Result::BufferLost);
    LockedRegions r;
    EXPECT_EQ(b->Lock(0, 4, r), Result::BufferLost);
    ASSERT_EQ(b->Restore(), Result::Ok);
    EXPECT_EQ(b->Lock(0, 4, r), Result::Ok);
    EXPECT_EQ(b->Unlock(r), Result::Ok);
    EXPECT_EQ(b->Play(0), Result::Ok);

    std::unique_ptr<Device> fresh;
    ASSERT_EQ(CreateDevice(fresh), Result::Ok);
    ASSERT_EQ(fresh->CreateBuffer({0, 8, PcmFormat(44100, 2, 16)}, b), Result::Ok);
    EXPECT_EQ(b->Play(0), Result::PriorityLevelNeeded);
    EXPECT_EQ(fresh->SetCooperativeLevel(nullptr, kCoopPriority), Result::InvalidParam);
    EXPECT_EQ(fresh->SetCooperativeLevel(&window, 3), Result::InvalidParam);
    ASSERT_EQ(fresh->SetCooperativeLevel(&window, kCoopNormal), Result::Ok);
    EXPECT_EQ(b->Play(0), Result::Ok);
}

TEST_F(MixerNotification, FireAsThePlayCursorPassesTheirOffsets) {
    Event start(false, false), middle(false, false), stop(false, false);
    // 1000 frames of 16-bit stereo: two halves of 2000 bytes.
    auto b = Make16(44100, 2, Samples(2000, 0), kBufferCtrlPositionNotify);
    const Notification n[] = {{2000, &middle}, {0, &start}, {kNotifyOffsetStop, &stop}};
    ASSERT_EQ(b->SetNotificationPositions(3, n), Result::Ok);
    b->Play(kPlayLooping);
    Mix(1);
    EXPECT_TRUE(Fired(start));
    Mix(499);   // the cursor stands on 2000, not past it
    EXPECT_EQ(PlayCursor(*b), 2000u);
    EXPECT_FALSE(Fired(middle));
    Mix(1);
    EXPECT_TRUE(Fired(middle));
    Mix(499);   // wrapped onto 0
    EXPECT_FALSE(Fired(start));
    Mix(1);
    EXPECT_TRUE(Fired(start));
    EXPECT_FALSE(Fired(stop));
    ASSERT_EQ(b->Stop(), Result::Ok);
    EXPECT_TRUE(Fired(stop));
    b->Stop();   // a stopped buffer still tells a thread waiting for its stop
    EXPECT_TRUE(Fired(stop));
    EXPECT_FALSE(Fired(middle));

    // At 22050 Hz the cursor is halfway through frame 10 after 21 output frames.
    Event e(false, false);
    auto slow = Make16(22050, 1, Samples(100, 0), kBufferCtrlPositionNotify);
    const Notification frame10{20, &e};
    slow->SetNotificationPositions(1, &frame10);
    b->Stop();
    slow->Play(0);
    Mix(21);
    EXPECT_FALSE(Fired(e));
    Mix(1);
    EXPECT_TRUE(Fired(e));
}

TEST_F(MixerNotification, AreRefusedWhilePlayingOrOutOfRange) {
    Event e(false, false);
    auto b = Make16(44100, 1, Samples(100, 0), kBufferCtrlPositionNotify);
    const Notification past{200, &e}, none{0, nullptr}, ok{198, &e};
    EXPECT_EQ(b->SetNotificationPositions(1, &past), Result::InvalidParam);
    EXPECT_EQ(b->SetNotificationPositions(1, &none), Result::InvalidParam);
    b->Play(kPlayLooping);
    EXPECT_EQ(b->SetNotificationPositions(1, &ok), Result::InvalidCall);
    b->Stop();
    EXPECT_EQ(b->SetNotificationPositions(1, &ok), Result::Ok);
    EXPECT_EQ(b->SetNotificationPositions(0, nullptr), Result::Ok);
    b->Play(kPlayLooping);
    Mix(300);
    EXPECT_FALSE(Fired(e));
}

class Mixer3D : public SoundTest {
protected:
    void SetUp() override {
        SoundTest::SetUp();
        ASSERT_EQ(device->CreateBuffer({kBufferPrimary | kBufferCtrl3D | kBufferCtrlVolume, 0, {}}, primary),
                  Result::Ok);
        ASSERT_EQ(primary->QueryListener(listener), Result::Ok);
        voice = Make16(44100, 1, Samples(64, 16000), kBufferCtrl3D | kBufferCtrlVolume);
        voice->Play(kPlayLooping);
    }
    std::unique_ptr<Buffer> primary;
    Listener* listener = nullptr;
    std::unique_ptr<Buffer> voice;
};

TEST_F(Mixer3D, DeferredSettingsWaitForCommit) {
    ASSERT_EQ(voice->SetPosition3D({0, 0, 1}, kApplyImmediate), Result::Ok);
    ExpectGains(Mix(1), 16000, 16000);   // inside the min distance
    ASSERT_EQ(voice->SetPosition3D({0, 0, 4}, kApplyDeferred), Result::Ok);
    ASSERT_EQ(listener->SetRolloffFactor(2, kApplyDeferred), Result::Ok);
    ExpectGains(Mix(1), 16000, 16000);
    Buffer3D now;
    voice->Get3D(now);
    EXPECT_EQ(now.position.z, 1.0f);
    EXPECT_EQ(listener->Get().rolloffFactor, 1.0f);
    ASSERT_EQ(listener->CommitDeferredSettings(), Result::Ok);
    ExpectGains(Mix(1), 16000 / 7, 16000 / 7);   // min / (min + rolloff (d - min)) = 1 / (1 + 2 x 3)
}

TEST_F(Mixer3D, DistanceAndSideShapeTheGains) {
    voice->SetPosition3D({2, 0, 0}, kApplyImmediate);   // right, twice the min distance
    ExpectGains(Mix(1), 800, 8000);   // half, the far ear 20 dB down
    ASSERT_EQ(listener->SetOrientation({0, 0, -1}, {0, 1, 0}, kApplyImmediate), Result::Ok);
    ExpectGains(Mix(1), 8000, 800);   // turned round: on the left
    EXPECT_EQ(listener->SetOrientation({0, 1, 0}, {0, 2, 0}, kApplyImmediate), Result::InvalidParam);
    voice->SetPosition3D({0, 0, 100}, kApplyImmediate);
    voice->SetMaxDistance(2, kApplyImmediate);
    ExpectGains(Mix(1), 8000, 8000);   // no more attenuation past the max
    listener->SetPosition({0, 0, 100}, kApplyImmediate);
    voice->SetPosition3D({0, 0, 1}, kApplyImmediate);
    voice->SetMode3D(kMode3DHeadRelative, kApplyImmediate);
    ExpectGains(Mix(1), 16000, 16000);   // wherever the listener stands
    voice->SetPosition3D({0, 0, 500}, kApplyImmediate);
    voice->SetMode3D(kMode3DDisable, kApplyImmediate);
    ExpectGains(Mix(1), 16000, 16000);
    EXPECT_EQ(voice->SetMode3D(3, kApplyImmediate), Result::InvalidParam);
    EXPECT_EQ(voice->SetMinDistance(-1, kApplyImmediate), Result::InvalidParam);
}

// Exactly at the min distance the voice is whole; exactly at the max the
// attenuation stops growing; the listener's factors take their end values.
TEST_F(Mixer3D, DistancesAndFactorsAtTheirLimits) {
    ASSERT_EQ(voice->SetMinDistance(2, kApplyImmediate), Result::Ok);
    ASSERT_EQ(voice->SetMaxDistance(4, kApplyImmediate), Result::Ok);
    voice->SetPosition3D({0, 0, 2}, kApplyImmediate);
    ExpectGains(Mix(1), 16000, 16000);
    voice->SetPosition3D({0, 0, 4}, kApplyImmediate);
    ExpectGains(Mix(1), 8000, 8000);
    voice->SetPosition3D({0, 0, 40}, kApplyImmediate);
    ExpectGains(Mix(1), 8000, 8000);
    EXPECT_EQ(voice->SetMinDistance(0, kApplyImmediate), Result::Ok);
    EXPECT_EQ(voice->SetMinDistance(-0.001f, kApplyImmediate), Result::InvalidParam);

    for (auto set : {&Listener::SetRolloffFactor, &Listener::SetDopplerFactor}) {
        EXPECT_EQ((listener->*set)(0.0f, kApplyImmediate), Result::Ok);
        EXPECT_EQ((listener->*set)(10.0f, kApplyImmediate), Result::Ok);
        EXPECT_EQ((listener->*set)(10.001f, kApplyImmediate), Result::InvalidParam);
        EXPECT_EQ((listener->*set)(-0.001f, kApplyImmediate), Result::InvalidParam);
    }
    EXPECT_EQ(listener->SetDistanceFactor(0.0f, kApplyImmediate), Result::InvalidParam);
    EXPECT_EQ(listener->SetDistanceFactor(0.001f, kApplyImmediate), Result::Ok);
}

class MixerFailure : public SoundTest {};

TEST_F(MixerFailure, DeviceCreationFailsWhenToldAndRecovers) {
    std::unique_ptr<Device> second;
    null.FailNext(Call::CreateDevice, Result::NoDriver);
    EXPECT_EQ(CreateDevice(second), Result::NoDriver);
    EXPECT_EQ(second, nullptr);
    null.SetHardwareMemory(1 << 20, 1 << 19);
    ASSERT_EQ(CreateDevice(second), Result::Ok);
    DeviceCaps caps;
    ASSERT_EQ(second->GetCaps(caps), Result::Ok);
    EXPECT_EQ(caps.totalHardwareBytes + caps.freeHardwareBytes, (1u << 20) + (1u << 19));
    ASSERT_EQ(device->GetCaps(caps), Result::Ok);
    EXPECT_EQ(caps.totalHardwareBytes, 0u);   // made before: none
    device.reset();
    second.reset();
    int16_t out[2];
    EXPECT_FALSE(null.MixFrames(1, out));   // no live device
}

TEST_F(MixerFailure, EveryCallCanBeMadeToFail) {
    std::unique_ptr<Buffer> primary, scratch;
    ASSERT_EQ(device->CreateBuffer({kBufferPrimary | kBufferCtrl3D | kBufferCtrlVolume, 0, {}}, primary), Result::Ok);
    Listener* listener = nullptr;
    primary->QueryListener(listener);
    auto b = Make16(44100, 1, Samples(100, 0),
                    kBufferCtrlVolume | kBufferCtrlFrequency | kBufferCtrlPositionNotify | kBufferCtrl3D);
    LockedRegions r;
    uint32_t u = 0;
    DeviceCaps caps;
    Event e(false, false);
    const Notification n{0, &e};
    const std::vector<std::pair<Call, std::function<Result()>>> calls = {
        {Call::SetCooperativeLevel, [&] { return device->SetCooperativeLevel(&window, kCoopPriority); }},
        {Call::CreateBuffer, [&] { return device->CreateBuffer({0, 8, PcmFormat(44100, 2, 16)}, scratch); }},
        {Call::DuplicateBuffer, [&] { return device->DuplicateBuffer(*b, scratch); }},
        {Call::GetCaps, [&] { return device->GetCaps(caps); }},
        {Call::SetFormat, [&] { return primary->SetFormat(PcmFormat(44100, 2, 16)); }},
        {Call::QueryListener, [&] { return primary->QueryListener(listener); }},
        {Call::Lock, [&] { return b->Lock(0, 4, r); }},
        {Call::Unlock, [&] { return b->Unlock(r); }},
        {Call::Restore, [&] { return b->Restore(); }},
        {Call::SetNotificationPositions, [&] { return b->SetNotificationPositions(1, &n); }},
        {Call::Play, [&] { return b->Play(0); }},
        {Call::GetStatus, [&] { return b->GetStatus(u); }},
        {Call::GetCurrentPosition, [&] { return b->GetCurrentPosition(&u, &u); }},
        {Call::SetCurrentPosition, [&] { return b->SetCurrentPosition(0); }},
        {Call::SetVolume, [&] { return b->SetVolume(-100); }},
        {Call::SetFrequency, [&] { return b->SetFrequency(22050); }},
        {Call::Set3D, [&] { return b->SetPosition3D({1, 2, 3}, kApplyDeferred); }},
        {Call::SetListener, [&] { return listener->SetPosition({1, 2, 3}, kApplyDeferred); }},
        {Call::CommitDeferredSettings, [&] { return listener->CommitDeferredSettings(); }},
        {Call::Stop, [&] { return b->Stop(); }},
    };
    for (const auto& [call, run] : calls) {
        null.FailNext(call, Result::OutOfMemory, 2);
        EXPECT_EQ((std::array{run(), run(), run()}), (std::array{Result::OutOfMemory, Result::OutOfMemory, Result::Ok}))
            << int(call);
    }
    // A failure can wait for calls that pass first.
    null.FailAfter(Call::SetVolume, 2, Result::Failed);
    EXPECT_EQ((std::array{b->SetVolume(-1), b->SetVolume(-2), b->SetVolume(-3), b->SetVolume(-4)}),
              (std::array{Result::Ok, Result::Ok, Result::Failed, Result::Ok}));
    null.FailNext(Call::SetPan, Result::Failed, 5);
    null.ClearFailures();
    EXPECT_EQ(Make16(44100, 1, Samples(10, 0), kBufferCtrlPan)->SetPan(10), Result::Ok);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace host::sound::testing
