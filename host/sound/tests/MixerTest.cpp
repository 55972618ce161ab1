#include "host/sound/tests/SoundTestSupport.h"

#include "host/kernel/Kernel.h"

#include <cmath>
#include <functional>

namespace host::sound::testing {
namespace {

using host::kernel::Event;

class Mixing : public SoundTest {};
class Buffers : public SoundTest {};
class Notifications : public SoundTest {};

std::vector<int16_t> Ramp(int count, int step, int start = 0) {
    std::vector<int16_t> v(count);
    for (int i = 0; i < count; ++i) v[i] = int16_t(start + i * step);
    return v;
}

bool Fired(Event& e) { return e.Wait(0) == 0; }

// ---------------------------------------------------------------- mixing

TEST_F(Mixing, UnityVoiceGivesItsSamplesExactly) {
    std::vector<int16_t> pcm;
    for (int i = 0; i < 64; ++i) {
        pcm.push_back(int16_t(i * 301 - 9000));
        pcm.push_back(int16_t(-i * 97 + 30000));
    }
    auto b = Make16(44100, 2, pcm);
    ASSERT_EQ(b->Play(0), Result::Ok);
    std::vector<int16_t> out = Mix(64);
    EXPECT_EQ(out, pcm);
    EXPECT_EQ(Mix(4), std::vector<int16_t>(8, 0));   // ended: silence
}

TEST_F(Mixing, VolumeIsHundredthsOfADecibel) {
    auto b = Make16(44100, 1, std::vector<int16_t>(16, 16000));
    b->Play(kPlayLooping);
    ASSERT_EQ(b->SetVolume(-600), Result::Ok);
    int16_t half = Mix(1)[0];
    EXPECT_NEAR(half, 16000 * std::pow(10.0, -600 / 2000.0), 1.0);
    EXPECT_NEAR(half, 8000, 40);   // -6 dB is about half the amplitude
    b->SetVolume(-2000);
    EXPECT_EQ(Mix(1)[0], 1600);
    b->SetVolume(kVolumeMin);
    EXPECT_EQ(Mix(1), (std::vector<int16_t>{0, 0}));
    int32_t v = 0;
    EXPECT_EQ(b->GetVolume(v), Result::Ok);
    EXPECT_EQ(v, kVolumeMin);
}

TEST_F(Mixing, PanAttenuatesOnlyTheFarChannel) {
    auto b = Make16(44100, 1, std::vector<int16_t>(16, 16000), kBufferStatic | kBufferCtrlPan);
    b->Play(kPlayLooping);
    ASSERT_EQ(b->SetPan(2000), Result::Ok);   // to the right: left 20 dB down
    EXPECT_EQ(Mix(1), (std::vector<int16_t>{1600, 16000}));
    b->SetPan(-600);
    std::vector<int16_t> out = Mix(1);
    EXPECT_EQ(out[0], 16000);
    EXPECT_NEAR(out[1], 8019, 1);
    b->SetPan(kPanLeft);
    EXPECT_EQ(Mix(1), (std::vector<int16_t>{16000, 0}));
}

TEST_F(Mixing, EightBitAndMonoSourcesFillBothChannels) {
    const std::vector<uint8_t> pcm = {0x80, 0xC0, 0x40, 0xFF, 0x00};
    auto b = Make(PcmFormat(44100, 1, 8), kBufferStatic, pcm.data(), uint32_t(pcm.size()));
    b->Play(0);
    EXPECT_EQ(Mix(5), (std::vector<int16_t>{0, 0, 16384, 16384, -16384, -16384, 32512, 32512, -32768, -32768}));

    const std::vector<uint8_t> stereo = {0xC0, 0x40, 0x80, 0x80};
    auto s = Make(PcmFormat(44100, 2, 8), kBufferStatic, stereo.data(), 4);
    s->Play(0);
    EXPECT_EQ(Mix(1), (std::vector<int16_t>{16384, -16384}));
}

TEST_F(Mixing, ResamplesByTheRateRatio) {
    // A 22050 Hz ramp advances half a frame per output frame; linear
    // interpolation keeps it a ramp.
    auto b = Make16(22050, 1, Ramp(200, 100));
    b->Play(0);
    std::vector<int16_t> out = Mix(100);
    for (int k = 0; k < 100; ++k) {
        ASSERT_EQ(out[2 * k], 50 * k) << k;
        ASSERT_EQ(out[2 * k + 1], 50 * k) << k;
    }
    EXPECT_EQ(PlayCursor(*b), 50u * 2);

    // The frequency control moves the rate: 88200 Hz advances two frames.
    auto f = Make16(44100, 1, Ramp(400, 10), kBufferStatic | kBufferCtrlFrequency);
    ASSERT_EQ(f->SetFrequency(88200), Result::Ok);
    b->Stop();
    f->Play(0);
    out = Mix(10);
    for (int k = 0; k < 10; ++k) ASSERT_EQ(out[2 * k], 20 * k) << k;
    EXPECT_EQ(PlayCursor(*f), 20u * 2);
    uint32_t rate = 0;
    f->SetFrequency(kFrequencyOriginal);
    f->GetFrequency(rate);
    EXPECT_EQ(rate, 44100u);
}

TEST_F(Mixing, VoicesAddAndClip) {
    auto a = Make16(44100, 1, {20000, 1000, -20000});
    auto b = Make16(44100, 1, {20000, 2000, -20000});
    a->Play(0);
    b->Play(0);
    EXPECT_EQ(Mix(3), (std::vector<int16_t>{32767, 32767, 3000, 3000, -32768, -32768}));
}

TEST_F(Mixing, PrimaryFormatSetsTheOutputAndNeedsPriority) {
    std::unique_ptr<Buffer> primary;
    ASSERT_EQ(device->CreateBuffer({kBufferPrimary | kBufferCtrl3D | kBufferCtrlVolume, 0, {}}, primary), Result::Ok);
    WaveFormat f;
    ASSERT_EQ(primary->GetFormat(f), Result::Ok);
    EXPECT_EQ(f.rate, 44100u);
    EXPECT_EQ(f.channels, 2);
    EXPECT_EQ(f.bits, 16);

    device->SetCooperativeLevel(&window, kCoopNormal);
    EXPECT_EQ(primary->SetFormat(PcmFormat(22050, 1, 16)), Result::PriorityLevelNeeded);
    device->SetCooperativeLevel(&window, kCoopPriority);
    WaveFormat bad = PcmFormat(22050, 1, 16);
    bad.blockAlign = 4;
    EXPECT_EQ(primary->SetFormat(bad), Result::InvalidParam);
    ASSERT_EQ(primary->SetFormat(PcmFormat(22050, 1, 16)), Result::Ok);

    // A 22050 Hz source now plays one frame per output frame, in mono.
    auto b = Make16(22050, 2, {100, 300, 1000, 2000});
    b->Play(0);
    EXPECT_EQ(Mix(2, 1), (std::vector<int16_t>{200, 1500}));

    ASSERT_EQ(primary->SetVolume(-2000), Result::Ok);   // the master volume
    b->SetCurrentPosition(0);
    b->Play(0);
    EXPECT_EQ(Mix(1, 1), (std::vector<int16_t>{20}));
    LockedRegions r;
    EXPECT_EQ(primary->Lock(0, 4, r), Result::InvalidCall);
}

// ---------------------------------------------------------------- buffers

TEST_F(Buffers, NonLoopingStopsAtItsEnd) {
    Event stop(false, false);
    auto b = Make16(44100, 1, std::vector<int16_t>(100, 1000), kBufferStatic | kBufferCtrlPositionNotify);
    Notification n{kNotifyOffsetStop, &stop};
    ASSERT_EQ(b->SetNotificationPositions(1, &n), Result::Ok);
    ASSERT_EQ(b->Play(0), Result::Ok);
    EXPECT_EQ(Status(*b), kStatusPlaying);
    Mix(99);
    EXPECT_EQ(Status(*b), kStatusPlaying);
    EXPECT_FALSE(Fired(stop));
    EXPECT_EQ(Mix(3), (std::vector<int16_t>{1000, 1000, 0, 0, 0, 0}));
    EXPECT_EQ(Status(*b), 0u);
    EXPECT_TRUE(Fired(stop));
    EXPECT_EQ(PlayCursor(*b), 0u);
}

TEST_F(Buffers, LoopingWrapsToTheStart) {
    auto b = Make16(44100, 1, Ramp(100, 10));
    ASSERT_EQ(b->Play(kPlayLooping), Result::Ok);
    EXPECT_EQ(Status(*b), kStatusPlaying | kStatusLooping);
    std::vector<int16_t> out = Mix(150);
    for (int k = 0; k < 150; ++k) ASSERT_EQ(out[2 * k], (k % 100) * 10) << k;
    EXPECT_EQ(PlayCursor(*b), 50u * 2);
    ASSERT_EQ(b->Stop(), Result::Ok);
    EXPECT_EQ(Status(*b), 0u);
    EXPECT_EQ(PlayCursor(*b), 50u * 2);   // Stop keeps the position
}

TEST_F(Buffers, LockAcrossTheEndGivesTwoRegions) {
    auto b = Make16(44100, 1, std::vector<int16_t>(500, 0));
    LockedRegions r;
    ASSERT_EQ(b->Lock(800, 400, r), Result::Ok);
    ASSERT_NE(r.second, nullptr);
    EXPECT_EQ(r.firstBytes, 200u);
    EXPECT_EQ(r.secondBytes, 200u);
    std::vector<int16_t> seven(100, 7), nine(100, 9);
    std::memcpy(r.first, seven.data(), 200);
    std::memcpy(r.second, nine.data(), 200);

    // Nothing reaches the mixer before Unlock.
    b->Play(kPlayLooping);
    EXPECT_EQ(Mix(1)[0], 0);
    b->SetCurrentPosition(0);
    ASSERT_EQ(b->Unlock(r), Result::Ok);
    std::vector<int16_t> out = Mix(500);
    for (int k = 0; k < 500; ++k) ASSERT_EQ(out[2 * k], k < 100 ? 9 : k >= 400 ? 7 : 0) << k;

    LockedRegions whole;
    ASSERT_EQ(b->Lock(0, 1000, whole), Result::Ok);
    EXPECT_EQ(whole.second, nullptr);
    EXPECT_EQ(whole.firstBytes, 1000u);
    EXPECT_EQ(b->Unlock(whole), Result::Ok);
    EXPECT_EQ(b->Unlock(whole), Result::InvalidParam);   // not locked any more
}

TEST_F(Buffers, BadLocksFailCleanly) {
    auto b = Make16(44100, 1, std::vector<int16_t>(500, 0));
    LockedRegions r;
    EXPECT_EQ(b->Lock(0, 0, r), Result::InvalidParam);
    EXPECT_EQ(b->Lock(1000, 2, r), Result::InvalidParam);
    EXPECT_EQ(b->Lock(0, 1001, r), Result::InvalidParam);
    EXPECT_EQ(r.first, nullptr);
    ASSERT_EQ(b->Lock(10, 20, r), Result::Ok);
    LockedRegions more = r;
    more.firstBytes = 21;
    EXPECT_EQ(b->Unlock(more), Result::InvalidParam);
    LockedRegions foreign{r.first, 20, r.first, 4};
    EXPECT_EQ(b->Unlock(foreign), Result::InvalidParam);
    EXPECT_EQ(b->Unlock(r), Result::Ok);
    EXPECT_EQ(b->SetCurrentPosition(1000), Result::InvalidParam);
}

TEST_F(Buffers, DuplicatesSharePcmButNothingElse) {
    auto master = Make16(44100, 1, Ramp(100, 1), kBufferStatic | kBufferCtrlVolume | kBufferCtrlPan);
    master->SetVolume(-2000);
    std::unique_ptr<Buffer> dup;
    ASSERT_EQ(device->DuplicateBuffer(*master, dup), Result::Ok);
    int32_t v = 0;
    dup->GetVolume(v);
    EXPECT_EQ(v, -2000);   // settings are copied at duplication
    dup->SetVolume(0);
    master->GetVolume(v);
    EXPECT_EQ(v, -2000);

    dup->SetCurrentPosition(50 * 2);
    dup->Play(0);
    std::vector<int16_t> out = Mix(10);
    for (int k = 0; k < 10; ++k) ASSERT_EQ(out[2 * k], 50 + k);
    EXPECT_EQ(PlayCursor(*master), 0u);
    EXPECT_EQ(Status(*master), 0u);
    EXPECT_EQ(PlayCursor(*dup), 60u * 2);

    // New data in the master is heard through the duplicate.
    Write(*master, 60 * 2, std::vector<int16_t>(4, 1234).data(), 8);
    master->SetVolume(kVolumeMin);
    master->Play(kPlayLooping);
    EXPECT_EQ(Mix(2)[2], 1234);

    // Releasing the master leaves the duplicate playing its PCM.
    master.reset();
    EXPECT_EQ(Mix(1)[0], 1234);
    std::unique_ptr<Buffer> again;
    ASSERT_EQ(device->DuplicateBuffer(*dup, again), Result::Ok);
    EXPECT_EQ(Status(*again), 0u);
}

TEST_F(Buffers, ControlsNeedTheirFlags) {
    auto plain = Make16(44100, 1, std::vector<int16_t>(10, 0), kBufferStatic);
    EXPECT_EQ(plain->SetVolume(-100), Result::ControlUnavailable);
    EXPECT_EQ(plain->SetPan(100), Result::ControlUnavailable);
    EXPECT_EQ(plain->SetFrequency(22050), Result::ControlUnavailable);
    EXPECT_EQ(plain->SetPosition3D({1, 0, 0}, kApplyImmediate), Result::NoInterface);
    EXPECT_EQ(plain->SetNotificationPositions(0, nullptr), Result::NoInterface);
    Listener* listener = nullptr;
    EXPECT_EQ(plain->QueryListener(listener), Result::NoInterface);
    EXPECT_EQ(plain->SetFormat(PcmFormat(44100, 2, 16)), Result::InvalidCall);

    auto all = Make16(44100, 1, std::vector<int16_t>(10, 0), kBufferCtrlVolume | kBufferCtrlPan);
    EXPECT_EQ(all->SetVolume(1), Result::InvalidParam);
    EXPECT_EQ(all->SetPan(kPanLeft - 1), Result::InvalidParam);
}

TEST_F(Buffers, CreationRefusesBadDescriptions) {
    auto create = [&](uint32_t flags, uint32_t bytes, WaveFormat f) {
        std::unique_ptr<Buffer> b;
        const Result r = device->CreateBuffer({flags, bytes, f}, b);
        EXPECT_EQ(b == nullptr, r != Result::Ok);
        return r;
    };
    const WaveFormat good = PcmFormat(44100, 2, 16);
    EXPECT_EQ(create(0, 400, good), Result::Ok);
    EXPECT_EQ(create(0, 0, good), Result::InvalidParam);
    EXPECT_EQ(create(0, kBufferBytesMax + 1, good), Result::InvalidParam);
    WaveFormat f = good;
    f.tag = 2;
    EXPECT_EQ(create(0, 400, f), Result::InvalidParam);
    EXPECT_EQ(create(0, 400, PcmFormat(44100, 3, 16)), Result::InvalidParam);
    EXPECT_EQ(create(0, 400, PcmFormat(44100, 2, 24)), Result::InvalidParam);
    EXPECT_EQ(create(0, 400, PcmFormat(50, 2, 16)), Result::InvalidParam);
    f = good;
    f.bytesPerSecond = 1;
    EXPECT_EQ(create(0, 400, f), Result::InvalidParam);
    EXPECT_EQ(create(kBufferCtrl3D | kBufferCtrlPan, 400, good), Result::InvalidParam);
    EXPECT_EQ(create(0x8, 400, good), Result::InvalidParam);
    EXPECT_EQ(create(kBufferPrimary, 400, good), Result::InvalidParam);
    EXPECT_EQ(create(kBufferPrimary | kBufferCtrlPositionNotify, 0, good), Result::InvalidParam);
    EXPECT_EQ(create(0, 4, PcmFormat(48000, 2, 16)), Result::Ok);

    // A size between frames grows to a whole frame.
    std::unique_ptr<Buffer> odd;
    ASSERT_EQ(device->CreateBuffer({0, 7, good}, odd), Result::Ok);
    BufferCaps caps;
    odd->GetCaps(caps);
    EXPECT_EQ(caps.bytes, 8u);
}

TEST_F(Buffers, LostBuffersWaitForRestore) {
    auto b = Make16(44100, 1, std::vector<int16_t>(10, 0));
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
}

TEST_F(Buffers, PlayNeedsACooperativeLevel) {
    std::unique_ptr<Device> fresh;
    ASSERT_EQ(CreateDevice(fresh), Result::Ok);
    std::unique_ptr<Buffer> b;
    ASSERT_EQ(fresh->CreateBuffer({0, 8, PcmFormat(44100, 2, 16)}, b), Result::Ok);
    EXPECT_EQ(b->Play(0), Result::PriorityLevelNeeded);
    EXPECT_EQ(fresh->SetCooperativeLevel(nullptr, kCoopPriority), Result::InvalidParam);
    EXPECT_EQ(fresh->SetCooperativeLevel(&window, 3), Result::InvalidParam);
    ASSERT_EQ(fresh->SetCooperativeLevel(&window, kCoopNormal), Result::Ok);
    EXPECT_EQ(b->Play(0), Result::Ok);
}

// ---------------------------------------------------------------- notifications

TEST_F(Notifications, FireAsThePlayCursorPassesTheirOffsets) {
    Event start(false, false), middle(false, false), stop(false, false);
    // 1000 frames of 16-bit stereo: two halves of 2000 bytes.
    auto b = Make16(44100, 2, std::vector<int16_t>(2000, 0), kBufferCtrlPositionNotify);
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
    EXPECT_FALSE(Fired(start));
    Mix(499);   // wrapped onto 0
    EXPECT_FALSE(Fired(start));
    Mix(1);
    EXPECT_TRUE(Fired(start));
    EXPECT_FALSE(Fired(stop));
    ASSERT_EQ(b->Stop(), Result::Ok);
    EXPECT_TRUE(Fired(stop));
    // A stop on a stopped buffer still reaches a thread waiting for it.
    b->Stop();
    EXPECT_TRUE(Fired(stop));
    EXPECT_FALSE(Fired(middle));
}

TEST_F(Notifications, FollowTheResampledCursor) {
    Event e(false, false);
    auto b = Make16(22050, 1, std::vector<int16_t>(100, 0), kBufferCtrlPositionNotify);
    const Notification n{20, &e};   // frame 10
    b->SetNotificationPositions(1, &n);
    b->Play(0);
    Mix(21);   // the cursor is halfway through frame 10
    EXPECT_FALSE(Fired(e));
    Mix(1);
    EXPECT_TRUE(Fired(e));
}

TEST_F(Notifications, AreRefusedWhilePlayingOrOutOfRange) {
    Event e(false, false);
    auto b = Make16(44100, 1, std::vector<int16_t>(100, 0), kBufferCtrlPositionNotify);
    const Notification past{200, &e}, none{0, nullptr}, ok{198, &e};
    EXPECT_EQ(b->SetNotificationPositions(1, &past), Result::InvalidParam);
    EXPECT_EQ(b->SetNotificationPositions(1, &none), Result::InvalidParam);
    EXPECT_EQ(b->SetNotificationPositions(1, nullptr), Result::InvalidParam);
    b->Play(kPlayLooping);
    EXPECT_EQ(b->SetNotificationPositions(1, &ok), Result::InvalidCall);
    b->Stop();
    EXPECT_EQ(b->SetNotificationPositions(1, &ok), Result::Ok);
    EXPECT_EQ(b->SetNotificationPositions(0, nullptr), Result::Ok);
    b->Play(kPlayLooping);
    Mix(300);
    EXPECT_FALSE(Fired(e));
}

// ---------------------------------------------------------------- 3D

class Sound3DWithListener : public SoundTest {
protected:
    void SetUp() override {
        SoundTest::SetUp();
        ASSERT_EQ(device->CreateBuffer({kBufferPrimary | kBufferCtrl3D | kBufferCtrlVolume, 0, {}}, primary),
                  Result::Ok);
        ASSERT_EQ(primary->QueryListener(listener), Result::Ok);
        voice = Make16(44100, 1, std::vector<int16_t>(64, 16000), kBufferCtrl3D | kBufferCtrlVolume);
        voice->Play(kPlayLooping);
    }
    std::unique_ptr<Buffer> primary;
    Listener* listener = nullptr;
    std::unique_ptr<Buffer> voice;
};

TEST_F(Sound3DWithListener, DeferredSettingsWaitForCommit) {
    ASSERT_EQ(voice->SetPosition3D({0, 0, 1}, kApplyImmediate), Result::Ok);
    EXPECT_EQ(Mix(1), (std::vector<int16_t>{16000, 16000}));   // inside the min distance

    ASSERT_EQ(voice->SetPosition3D({0, 0, 4}, kApplyDeferred), Result::Ok);
    ASSERT_EQ(listener->SetRolloffFactor(2, kApplyDeferred), Result::Ok);
    EXPECT_EQ(Mix(1), (std::vector<int16_t>{16000, 16000}));
    Buffer3D now;
    voice->Get3D(now);
    EXPECT_EQ(now.position.z, 1.0f);
    EXPECT_EQ(listener->Get().rolloffFactor, 1.0f);

    ASSERT_EQ(listener->CommitDeferredSettings(), Result::Ok);
    // min / (min + rolloff (d - min)) = 1 / (1 + 2 x 3)
    const std::vector<int16_t> out = Mix(1);
    EXPECT_NEAR(out[0], 16000 / 7.0, 1);
    EXPECT_NEAR(out[1], 16000 / 7.0, 1);
}

TEST_F(Sound3DWithListener, DistanceAndSideShapeTheGains) {
    voice->SetPosition3D({2, 0, 0}, kApplyImmediate);   // to the right, twice the min distance
    std::vector<int16_t> out = Mix(1);
    EXPECT_NEAR(out[0], 800, 1);   // half, and the far ear 20 dB down
    EXPECT_NEAR(out[1], 8000, 1);

    // Turning round puts it on the left.
    ASSERT_EQ(listener->SetOrientation({0, 0, -1}, {0, 1, 0}, kApplyImmediate), Result::Ok);
    out = Mix(1);
    EXPECT_NEAR(out[0], 8000, 1);
    EXPECT_NEAR(out[1], 800, 1);
    EXPECT_EQ(listener->SetOrientation({0, 1, 0}, {0, 2, 0}, kApplyImmediate), Result::InvalidParam);

    // Past the max distance the attenuation stops growing.
    voice->SetPosition3D({0, 0, 100}, kApplyImmediate);
    voice->SetMaxDistance(2, kApplyImmediate);
    out = Mix(1);
    EXPECT_NEAR(out[0], 8000, 1);

    // Head-relative positions ignore where the listener stands.
    listener->SetPosition({0, 0, 100}, kApplyImmediate);
    voice->SetPosition3D({0, 0, 1}, kApplyImmediate);
    voice->SetMode3D(kMode3DHeadRelative, kApplyImmediate);
    EXPECT_EQ(Mix(1), (std::vector<int16_t>{16000, 16000}));
    voice->SetPosition3D({0, 0, 500}, kApplyImmediate);
    voice->SetMode3D(kMode3DDisable, kApplyImmediate);
    EXPECT_EQ(Mix(1), (std::vector<int16_t>{16000, 16000}));
    EXPECT_EQ(voice->SetMode3D(3, kApplyImmediate), Result::InvalidParam);
    EXPECT_EQ(voice->SetMinDistance(-1, kApplyImmediate), Result::InvalidParam);
}

// ---------------------------------------------------------------- failures

TEST(Device, CreationFailsWhenToldAndRecovers) {
    NullOutput null;
    SetNullOutput(&null);
    null.FailNext(Call::CreateDevice, Result::NoDriver);
    std::unique_ptr<Device> device;
    EXPECT_EQ(CreateDevice(device), Result::NoDriver);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(CreateDevice(device), Result::Ok);
    ASSERT_NE(device, nullptr);
    DeviceCaps caps;
    ASSERT_EQ(device->GetCaps(caps), Result::Ok);
    EXPECT_LE(caps.minSecondaryRate, 8000u);
    EXPECT_GE(caps.maxSecondaryRate, 48000u);
    device.reset();
    int16_t out[2];
    EXPECT_FALSE(null.MixFrames(1, out));   // no live device
    SetNullOutput(nullptr);
}

class Failures : public SoundTest {};

TEST_F(Failures, EveryCallCanBeMadeToFail) {
    std::unique_ptr<Buffer> primary;
    ASSERT_EQ(device->CreateBuffer({kBufferPrimary | kBufferCtrl3D | kBufferCtrlVolume, 0, {}}, primary), Result::Ok);
    Listener* listener = nullptr;
    primary->QueryListener(listener);
    auto b = Make16(44100, 1, std::vector<int16_t>(100, 0),
                    kBufferCtrlVolume | kBufferCtrlFrequency | kBufferCtrlPositionNotify | kBufferCtrl3D);
    std::unique_ptr<Buffer> scratch;
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
        EXPECT_EQ(run(), Result::OutOfMemory) << int(call);
        EXPECT_EQ(run(), Result::OutOfMemory) << int(call);
        EXPECT_EQ(run(), Result::Ok) << int(call);
    }
    null.FailNext(Call::SetPan, Result::Failed, 5);
    null.ClearFailures();
    auto panned = Make16(44100, 1, std::vector<int16_t>(10, 0), kBufferCtrlPan);
    EXPECT_EQ(panned->SetPan(10), Result::Ok);
}

}  // namespace
}  // namespace host::sound::testing
