// Sounds at their exact limits and on their failure paths.
#include "engine/platform/SoundBuffer.h"
#include "engine/platform/tests/SoundTestSupport.h"

#include <tuple>

namespace ORV_TEST_FILE_ID {

using namespace sound_test;
namespace snd = host::sound;

namespace {

class SoundLimits : public SoundFixture {
protected:
    static i32 DeviceVolume(const CSoundBuffer& b, u32 voice)
    {
        i32 volume = 1;
        EXPECT_EQ(b.GetVoice(voice)->buffer->GetVolume(volume), snd::Result::Ok);
        return volume;
    }
    static u32 Cursor(const CSoundBuffer& b, u32 voice)
    {
        u32 cursor = 0xFFFFFFFF;
        EXPECT_EQ(b.GetVoice(voice)->buffer->GetCurrentPosition(&cursor, nullptr), snd::Result::Ok);
        return cursor;
    }
    // Plays a polled stream until it stops (at most `frames`), checking
    // each frame against expected(t); the frames played.
    template <class Expected>
    u32 PlayOut(CSoundBuffer& b, u32 frames, Expected expected)
    {
        u32 t = 0;
        while (b.IsPlaying(0) && t < frames && !HasFatalFailure()) {
            const std::vector<i16> out = Mix(735);
            for (u32 i = 0; i < 735; ++i, ++t) EXPECT_EQ(out[2 * i], expected(t)) << t;
            b.Update();
        }
        return t;
    }
};

TEST_F(SoundLimits, VolumesAreClampedExactlyAtTheirBounds)
{
    CSoundBuffer b;
    LoadWav(b, std::vector<i16>(441, 10000));
    ASSERT_EQ(b.Play(1, 0.0f, 1), 0u);
    const std::pair<i32, i32> cases[] = {
        {-10000, -10000}, {-10001, -10000}, {-9999, -9999}, {INT32_MIN, -10000}, {0, 0}, {1, 0}};
    for (const auto& [given, stored] : cases) {
        ASSERT_EQ(b.SetVolume(0, given), 1) << given;
        EXPECT_EQ(b.GetVoice(0)->baseVolume, stored) << given;
        EXPECT_EQ(DeviceVolume(b, 0), stored) << given;
    }
    b.SetVolume(0, -10000);
    EXPECT_EQ(Mix(1)[0], 0);
    EXPECT_EQ(b.IsPlaying(0), 1u);   // silent, still playing
}

TEST_F(SoundLimits, FadesEndOnTheUpdateThatReachesTheirTarget)
{
    CSoundBuffer b;
    LoadWav(b, std::vector<i16>(441, 10000));
    const SoundVoice& v = *b.GetVoice(0);
    // Two steps each: rising, the voice holds; falling onto exactly -10000,
    // or onto a target above it, it stops on the update that gets there.
    const struct { i32 from, target, step; bool stops; } fades[] = {
        {-3000, -1000, 1000, false}, {0, -10000, -5000, true}, {0, -4000, -2000, true}};
    for (const auto& f : fades) {
        SCOPED_TRACE(f.target);
        b.StopAll(1);
        ASSERT_EQ(b.Play(1, 0.0f, 1), 0u);
        b.SetVolume(0, f.from);
        b.SetFade(0, f.target, f.step);
        b.Update();
        EXPECT_EQ(std::make_pair(v.baseVolume, b.IsPlaying(0)), std::make_pair(f.from + f.step, 1u));
        b.Update();
        EXPECT_EQ(std::make_tuple(v.baseVolume, v.fadeStep, DeviceVolume(b, 0), b.IsPlaying(0)),
                  std::make_tuple(f.target, 0, f.target, f.stops ? 0u : 1u));
        if (f.stops) { EXPECT_EQ(Cursor(b, 0), 0u); }
    }
}

TEST_F(SoundLimits, WithoutALoopOrWithOneAtTheEndAStreamPlaysOnceThenStops)
{
    // A loop exactly at the end (0.5 s of 0.5 s) yields nothing, as one past
    // it does (a seek that fails): the stream ends as if it did not loop.
    // Without a loop the data ends in either half.
    const std::pair<u32, f32> cases[] = {{kRate / 2, 0.5f}, {kRate / 2, 7.0f}, {110250, -1.0f}, {17640, -1.0f}};
    for (const auto& [frames, loop] : cases) {
        SCOPED_TRACE(testing::Message() << frames << " looping at " << loop);
        CSoundBuffer b;
        LoadOgg(b, frames, 0);
        ASSERT_EQ(b.Play(1, loop, 1), 0u);
        const u32 n = u32(reference_.size());
        const u32 played = PlayOut(b, n + 2 * kRate, [&](u32 t) { return t < n ? reference_[t] : i16(0); });
        EXPECT_EQ(b.IsPlaying(0), 0u);
        EXPECT_LT(played, n + 735) << "stopped late";
        EXPECT_EQ(b.GetVoiceParam(0), f32(double(n) / kRate));
        EXPECT_EQ(Cursor(b, 0), 0u);
    }
    // Just inside the end, it loops.
    CSoundBuffer b;
    LoadOgg(b, kRate / 2, 0);
    const u32 n = u32(reference_.size()), loop = n - 441;
    ASSERT_EQ(b.Play(1, 0.49f, 1), 0u);
    PlayOut(b, n + 4410, [&](u32 t) { return reference_[t < n ? t : loop + (t - n) % 441]; });
    EXPECT_EQ(b.IsPlaying(0), 1u);
}

TEST_F(SoundLimits, LostBufferIsRestoredOnceAndItsFailedRestoreLeavesItLost)
{
    const std::vector<i16> ramp = Ramp(441);
    // At load: one lost Lock is restored and tried again; lost twice, or
    // failing otherwise, the load fails with nothing held.
    const struct { snd::Result lock; u32 times; bool restoreFails; u32 loaded; } loads[] = {
        {snd::Result::BufferLost, 1, false, 1}, {snd::Result::BufferLost, 1, true, 1},
        {snd::Result::BufferLost, 2, true, 0},  {snd::Result::Failed, 1, false, 0}};
    for (const auto& l : loads) {
        SCOPED_TRACE(std::to_string(l.times) + (l.restoreFails ? " restore fails" : ""));
        null_.FailNext(snd::Call::Lock, l.lock, l.times);
        if (l.restoreFails) null_.FailNext(snd::Call::Restore, snd::Result::Failed);
        CSoundBuffer b;
        const Bytes wav = MakeWav(ramp, 1, kRate);
        ASSERT_EQ(b.LoadFromMemory(wav.data(), "lost.wav", u32(wav.size()), 1, kStatic), l.loaded);
        null_.ClearFailures();
        if (!l.loaded) {
            EXPECT_EQ(b.GetVoiceCount(), 0u);
            EXPECT_EQ(b.GetFormat(), nullptr);
            continue;
        }
        ASSERT_EQ(b.Play(0, 0.0f, 1), 0u);
        u32 t = 0;
        MixExpecting(t, 1, 441, [&](u32 t) { return ramp[t]; }, [] {});
    }

    // At play: each lost voice is restored and the next one tried; a voice
    // whose restore failed stays lost until a later restore.
    CSoundBuffer b;
    LoadWav(b, ramp, 2);
    null_.LoseBuffers();
    null_.FailNext(snd::Call::Restore, snd::Result::Failed);
    EXPECT_EQ(b.Play(0, 0.0f, 1), CSoundBuffer::kNoVoice);
    EXPECT_EQ(b.Play(0, 0.0f, 1), 1u);   // voice 0 still lost; voice 1 restored
    EXPECT_EQ(b.Play(0, 0.0f, 1), 0u);
}

TEST_F(SoundLimits, LostStreamsStartOnlyOnceRestored)
{
    // Polled: a voice whose restore fails is not started, nor is the one
    // whose restore worked, until the next Play.
    CSoundBuffer polled;
    LoadOgg(polled, kRate, 0);
    null_.LoseBuffers();
    null_.FailNext(snd::Call::Restore, snd::Result::Failed);
    EXPECT_EQ(polled.Play(1, 0.0f, 1), CSoundBuffer::kNoVoice);
    EXPECT_EQ(polled.Play(1, 0.0f, 1), CSoundBuffer::kNoVoice);
    ASSERT_EQ(polled.Play(1, 0.0f, 1), 0u);
    u32 t = 0;
    MixExpecting(t, 20, 735, [&](u32 t) { return reference_[t]; }, [&] { polled.Update(); });
    polled.StopAll(1);

    // Notify: the thread plays, restores, plays again, and ends when that
    // fails too.
    CSoundBuffer notified;
    LoadOgg(notified, kRate, kNotify);
    null_.LoseBuffers();
    null_.FailNext(snd::Call::Restore, snd::Result::Failed);
    ASSERT_EQ(notified.Play(1, 0.0f, 1), 0u);
    EXPECT_TRUE(WaitFor([&] { return !notified.IsPlaying(0); }));
    EXPECT_EQ(notified.GetStreamRefills(0), 0u);   // nothing could be locked either
    // The next start finds the buffer still lost, restores it and plays.
    ASSERT_EQ(notified.Play(1, 0.0f, 1), 0u);
    EXPECT_TRUE(WaitFor([&] {
        u32 status = 0;
        notified.GetVoice(0)->buffer->GetStatus(status);
        return (status & snd::kStatusPlaying) != 0;
    }));
    EXPECT_EQ(notified.StopVoiceAt(0, 1), 1);
}

TEST_F(SoundLimits, FailingDeviceCallsLeaveTheSoundConsistent)
{
    const Bytes wav = MakeWav(Ramp(441), 1, kRate);
    auto load = [&](CSoundBuffer& b, u32 voices) {
        return b.LoadFromMemory(wav.data(), "effect.wav", u32(wav.size()), voices, kStatic);
    };
    // Loads: a buffer that cannot be made, a second voice that cannot be
    // duplicated.
    const std::pair<snd::Call, u32> loads[] = {{snd::Call::CreateBuffer, 0}, {snd::Call::DuplicateBuffer, 1}};
    for (const auto& [call, skip] : loads) {
        null_.FailAfter(call, skip, snd::Result::OutOfMemory);
        CSoundBuffer b;
        EXPECT_EQ(load(b, 3), 0u) << int(call);
        EXPECT_EQ(b.GetVoiceCount() + b.GetDataSize(), 0u);
        null_.ClearFailures();
    }

    CSoundBuffer b;
    ASSERT_EQ(load(b, 1), 1u);
    ASSERT_EQ(b.Play(1, 0.0f, 1), 0u);
    b.SetVolume(0, -500);
    // A volume the device refuses is not stored.
    null_.FailNext(snd::Call::SetVolume, snd::Result::Failed);
    EXPECT_EQ(b.SetVolume(0, -2000), 0);
    EXPECT_EQ(b.GetVoice(0)->baseVolume, -500);
    // A mute the device refuses is reported, and still recorded.
    null_.FailNext(snd::Call::SetVolume, snd::Result::Failed);
    EXPECT_EQ(b.SetMute(0, 1), 0);
    EXPECT_EQ(b.GetVoice(0)->muted, 1u);
    EXPECT_EQ(b.SetMute(0, 0), 1);
    EXPECT_EQ(DeviceVolume(b, 0), -500);
    // Muted again (twice is no change), a volume is only stored until unmuted.
    EXPECT_EQ(b.SetMute(0, 1) + b.SetMute(0, 1), 1);
    EXPECT_EQ(b.SetVolume(0, -1200) * DeviceVolume(b, 0), -10000);
    b.SetMuteAll(0);
    EXPECT_EQ(DeviceVolume(b, 0), -1200);
    // A status that cannot be read is not playing.
    null_.FailNext(snd::Call::GetStatus, snd::Result::Failed);
    EXPECT_EQ(b.IsPlaying(0), 0u);
    EXPECT_EQ(b.IsPlaying(0), 1u);

    // A copy that cannot duplicate the PCM has no voices; the original plays on.
    null_.FailNext(snd::Call::DuplicateBuffer, snd::Result::OutOfMemory);
    const CSoundBuffer copy(b);
    EXPECT_EQ(copy.GetVoiceCount(), 0u);
    EXPECT_NE(Mix(1)[0], 0);
}

TEST_F(SoundLimits, FailingStreamCallsEndOrSkipOnlyWhatTheyMust)
{
    // Notifications that cannot be set: no voice, no thread; the next start
    // works.
    CSoundBuffer notified;
    LoadOgg(notified, kRate * 3, kNotify);
    null_.FailNext(snd::Call::SetNotificationPositions, snd::Result::Failed);
    EXPECT_EQ(notified.Play(1, 0.0f, 1), CSoundBuffer::kNoVoice);
    EXPECT_EQ(notified.GetVoice(0)->thread, nullptr);
    // A refill that cannot lock the buffer stops a voice without a loop:
    // the first fill passes, the refill as the cursor leaves 0 fails.
    null_.FailAfter(snd::Call::Lock, 1, snd::Result::Failed);
    ASSERT_EQ(notified.Play(1, -1.0f, 1), 0u);
    ASSERT_TRUE(WaitFor([&] { return notified.GetStreamRefills(0) >= 1; }));
    Mix(735);
    EXPECT_TRUE(WaitFor([&] { return !notified.IsPlaying(0); }));
    EXPECT_EQ(Cursor(notified, 0), 0u);
    null_.ClearFailures();

    // Polled: the same stops a voice without a loop; a looping one plays on
    // (the half keeps what it held).
    for (const f32 loop : {-1.0f, 0.0f}) {
        SCOPED_TRACE(loop);
        CSoundBuffer polled;
        LoadOgg(polled, kRate * 3, 0);
        ASSERT_EQ(polled.Play(1, loop, 1), 0u);
        null_.FailNext(snd::Call::Lock, snd::Result::Failed);
        Mix(kRate + 1);
        polled.Update();
        EXPECT_EQ(polled.IsPlaying(0), loop < 0 ? 0u : 1u);
        if (loop >= 0) {
            // Half 0 still holds the first second, heard again.
            const std::vector<i16> out = Mix(kRate);
            EXPECT_EQ(out[2 * (kRate - 1)], reference_[0]);
        }
    }

    // A cursor that cannot be read leaves the play time; the next update
    // catches up.
    CSoundBuffer music;
    LoadOgg(music, kRate * 3, 0);
    ASSERT_EQ(music.Play(1, 0.0f, 1), 0u);
    Mix(kRate / 2);
    null_.FailNext(snd::Call::GetCurrentPosition, snd::Result::Failed);
    music.Update();
    EXPECT_EQ(music.GetVoiceParam(0), 0.0f);
    music.Update();
    EXPECT_EQ(music.GetVoiceParam(0), 0.5f);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
