// Voices of a sound: device 3D placement, pausing and resuming all of them,
// fewer voices, formats with extra bytes, WAV under notify
// streaming.
#include "engine/platform/Listener.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/platform/tests/SoundTestSupport.h"

#include <array>

namespace ORV_TEST_FILE_ID {

using namespace sound_test;
namespace snd = host::sound;

namespace {

using Voices = SoundFixture;

// Position, velocity, min distance and mode of a voice's device buffer.
std::array<f32, 8> Placement(const CSoundBuffer& b, u32 voice)
{
    snd::Buffer3D s;
    EXPECT_EQ(b.GetVoice(voice)->buffer->Get3D(s), snd::Result::Ok);
    return {s.position.x, s.position.y, s.position.z, s.velocity.x, s.velocity.y, s.velocity.z, s.minDistance,
            f32(s.mode)};
}

TEST_F(Voices, DeviceVoicesCarryModeVelocityAndPosition)
{
    using P = std::array<f32, 8>;
    const f32 off = snd::kMode3DDisable, normal = snd::kMode3DNormal, head = snd::kMode3DHeadRelative;
    CSoundBuffer b;
    LoadWav(b, std::vector<i16>(4410, 16000), 2, kStatic | k3D);
    for (u32 v = 0; v < 2; ++v) {
        EXPECT_EQ(b.GetVoice(v)->mode3D, CSoundBuffer::kMode3DDisable);
        EXPECT_EQ(Placement(b, v), (P{0, 0, 0, 1, 1, 1, 1, off})) << v;
    }
    // Without a software listener a started voice gets the device's own
    // placement.
    ASSERT_EQ(b.Play(1, 0.0f, 1), 0u);
    EXPECT_EQ(std::make_pair(Placement(b, 0)[7], Placement(b, 1)[7]), std::make_pair(normal, off));

    const CVector3 ahead(1, -2, 3), velocity(3, -4, 5);
    ASSERT_EQ(b.SetPosition3D(0, &ahead, 2.5f, CSoundBuffer::kMode3DHeadRelative), 1);
    EXPECT_EQ(Placement(b, 0), (P{1, -2, 3, 1, 1, 1, 2.5f, head}));
    ASSERT_EQ(b.SetVoiceVelocity(0, &velocity) + b.SetMinDistance(0, 4.0f), 2);
    EXPECT_EQ(Placement(b, 0), (P{1, -2, 3, 3, -4, 5, 4, head}));

    // A followed position reaches the device at each update.
    CVector3 followed(0, 0, 8);
    ASSERT_EQ(b.SetVoiceFollow(0, &followed), 1);
    followed = CVector3(6, 7, -8);
    b.Update();
    EXPECT_EQ(Placement(b, 0), (P{6, 7, -8, 3, -4, 5, 4, head}));
    ASSERT_EQ(b.Set3DMode(0, CSoundBuffer::kMode3DDisable), 1);
    EXPECT_EQ(Placement(b, 0)[7], off);

    // Under a software listener the device's placement is switched off.
    ASSERT_EQ(b.Set3DMode(0, CSoundBuffer::kMode3DNormal), 1);
    CListener listener(&sound_, CListener::kModeSoftware);
    listener.Update();
    ASSERT_EQ(b.Play(1, 0.0f, 1), 1u);
    EXPECT_EQ(b.GetVoice(1)->mode3D, CSoundBuffer::kMode3DSoftware);
    EXPECT_EQ(Placement(b, 1)[7], off);
    ASSERT_EQ(b.SetPosition3D(0, &ahead, 1.0f, CSoundBuffer::kMode3DNormal), 1);
    EXPECT_EQ(b.GetVoice(0)->mode3D, CSoundBuffer::kMode3DSoftware);
    EXPECT_EQ(Placement(b, 0)[7], off);

    // An idle voice forgets what it followed.
    ASSERT_EQ(b.SetVoiceFollow(1, &followed), 1);
    b.StopAll(1);
    b.Update();
    EXPECT_EQ(b.GetVoice(1)->follow, nullptr);
}

TEST_F(Voices, PauseAllAndResumeAllTakeEveryPlayingVoiceWhereItWas)
{
    const std::vector<i16> ramp = Ramp(kRate);
    CSoundBuffer b;
    LoadWav(b, ramp, 3);
    // Voices 0 and 2 play, 100 frames apart; voice 1 was stopped.
    ASSERT_EQ(b.Play(1, 0.0f, 1), 0u);
    Mix(100);
    ASSERT_EQ(b.Play(1, 0.0f, 1), 1u);
    ASSERT_EQ(b.Play(1, 0.0f, 1), 2u);
    ASSERT_EQ(b.StopVoiceAt(1, 1), 1);
    Mix(50);
    ASSERT_EQ(b.PauseAll(), 1);
    for (u32 v : {0u, 2u}) {
        EXPECT_EQ(b.GetVoice(v)->paused, 1u) << v;
        EXPECT_EQ(b.IsPlaying(v), 1u) << v;
    }
    EXPECT_EQ(b.GetVoice(1)->paused, 0u);
    for (i16 s : Mix(30)) ASSERT_EQ(s, 0);

    ASSERT_EQ(b.ResumeAll(), 1);
    EXPECT_EQ(b.IsPlaying(1), 0u);   // stopped: not resumed
    u32 t = 0;
    MixExpecting(t, 1, 20, [&](u32 t) { return i16(ramp[150 + t] + ramp[50 + t]); }, [] {});
}

TEST_F(Voices, FewerVoicesKeepTheFirstOnesPlaying)
{
    CSoundBuffer b;
    LoadWav(b, std::vector<i16>(441, 1000), 4);
    for (u32 v = 0; v < 4; ++v) ASSERT_EQ(b.Play(1, 0.0f, 1), v);
    EXPECT_EQ(Mix(1)[0], 4000);
    const snd::Buffer* kept[] = {b.GetVoice(0)->buffer.get(), b.GetVoice(1)->buffer.get()};

    ASSERT_EQ(b.SetVoiceCount(2), 1u);
    EXPECT_EQ(b.GetVoiceCount(), 2u);
    EXPECT_EQ(b.GetVoice(0)->buffer.get(), kept[0]);
    EXPECT_EQ(b.GetVoice(1)->buffer.get(), kept[1]);
    EXPECT_EQ(b.GetVoice(2), nullptr);
    EXPECT_EQ(b.IsPlaying(1), 1u);
    EXPECT_EQ(Mix(1)[0], 2000);
    EXPECT_EQ(b.Play(1, 0.0f, 1), CSoundBuffer::kNoVoice);

    ASSERT_EQ(b.SetVoiceCount(3), 1u);
    EXPECT_EQ(b.GetVoice(0)->buffer.get(), kept[0]);
    ASSERT_EQ(b.Play(1, 0.0f, 1), 2u);
    EXPECT_EQ(Mix(1)[0], 3000);
}

// An extensible WAV of plain PCM: the format keeps its 22 extra bytes and
// the sound plays as PCM.
Bytes ExtensibleWav(const std::vector<i16>& samples, u16 extraSize)
{
    Bytes b;
    const u32 data = u32(samples.size() * 2);
    PutId(b, "RIFF"); Put32(b, 4 + 8 + 40 + 8 + data); PutId(b, "WAVE");
    PutId(b, "fmt "); Put32(b, 40);
    Put16(b, 0xFFFE); Put16(b, 1); Put32(b, kRate); Put32(b, kRate * 2); Put16(b, 2); Put16(b, 16);
    Put16(b, extraSize);
    Put16(b, 16); Put32(b, 4);   // valid bits, channel mask
    const u8 pcm[16] = {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    b.insert(b.end(), pcm, pcm + 16);
    PutId(b, "data"); Put32(b, data);
    for (i16 s : samples) Put16(b, u16(s));
    return b;
}

TEST_F(Voices, NonPcmWavKeepsItsExtraFormatBytes)
{
    const std::vector<i16> ramp = Ramp(441);
    const Bytes wav = ExtensibleWav(ramp, 22);
    CSoundBuffer b;
    ASSERT_EQ(b.LoadFromMemory(wav.data(), "wide.wav", u32(wav.size()), 1, kStatic), 1u);
    const SoundFormat* f = b.GetFormat();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->formatTag, 0xFFFE);
    ASSERT_EQ(f->extraSize, 22);
    EXPECT_EQ(f->extra, Bytes(wav.begin() + 38, wav.begin() + 60));
    ASSERT_EQ(b.Play(0, 0.0f, 1), 0u);
    u32 t = 0;
    MixExpecting(t, 1, 441, [&](u32 t) { return ramp[t]; }, [] {});

    // The extra bytes fill the format chunk exactly; one more is refused.
    const Bytes over = ExtensibleWav(ramp, 23);
    EXPECT_EQ(b.LoadFromMemory(over.data(), "over.wav", u32(over.size()), 1, kStatic), 0u);
    // Too few to name the sub-format: not known to be PCM, not played.
    const Bytes less = ExtensibleWav(ramp, 21);
    EXPECT_EQ(b.LoadFromMemory(less.data(), "less.wav", u32(less.size()), 1, kStatic), 0u);
}

TEST_F(Voices, WavUnderNotifyStreamingStartsOverAtTheEndOfItsData)
{
    const std::vector<i16> ramp = Ramp(kRate * 3 / 2);
    CSoundBuffer b;
    LoadWav(b, ramp, 1, kNotify);
    ASSERT_EQ(b.Play(1, -1.0f, 1), 0u);   // a WAV stream repeats whatever the loop
    u32 t = 0;
    WaitRefills(b, 1);
    MixExpecting(t, 16, kRate / 4, [&](u32 t) { return ramp[t % ramp.size()]; },
                 [&] { WaitRefills(b, RefillsAfter(t)); });
    ASSERT_EQ(b.StopVoiceAt(0, 1), 1);
    EXPECT_EQ(b.GetVoice(0)->thread, nullptr);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
