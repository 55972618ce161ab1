#include "engine/platform/tests/SoundTestSupport.h"

#include <atomic>
#include <future>
#include <thread>

namespace ORV_TEST_FILE_ID {

using namespace sound_test;
namespace snd = host::sound;

namespace {

using SoundStream = SoundFixture;

TEST_F(SoundStream, PolledMusicLoopsExactlyAndItsTimeNeverGoesBack)
{
    const u32 n = 57330, loop = 22050;   // 1.3 s, looping from 0.5 s
    CSoundBuffer b;
    LoadOgg(b, n, 0);
    auto expected = [&](u32 t) { return reference_[t < n ? t : loop + (t - n) % (n - loop)]; };
    ASSERT_EQ(b.Play(1, 0.5f, 1), 0u);

    u32 t = 0;
    MixExpecting(t, 330, 735, expected, [&] {   // 5.5 s at 60 frames a second
        b.Update();
        ASSERT_EQ(b.GetVoiceParam(0), f32(double(t) / kRate)) << t;
    });
    EXPECT_EQ(b.GetVoiceParam(0), 5.5f);

    // A frame that comes 1.5 s late still counts every sample.
    Mix(66150);
    b.Update();
    EXPECT_EQ(b.GetVoiceParam(0), 7.0f);

    b.StopVoiceAt(0, 1);
    EXPECT_EQ(b.GetVoiceParam(0), 0.0f);
}

TEST_F(SoundStream, NotifyStreamRefillsOnItsThreadAndEndsOrLoops)
{
    const u32 n = 114660;   // 2.6 s
    CSoundBuffer b;
    LoadOgg(b, n, kNotify);
    u32 t = 0;
    auto play = [&](u32 until, bool loop) {
        while (t < until) {
            WaitRefills(b, RefillsAfter(t));
            const std::vector<i16> out = Mix(11025);
            for (u32 i = 0; i < 11025; ++i, ++t)
                ASSERT_EQ(out[2 * i], loop ? reference_[t % n] : t < n ? reference_[t] : 0) << t;
        }
    };
    // Without a loop the data ends in half 0; half 1 gets silence, and the
    // thread stops the voice as the cursor enters it.
    ASSERT_EQ(b.Play(1, -1.0f, 1), 0u);
    play(3 * kRate, false);
    Mix(11025);
    EXPECT_TRUE(WaitFor([&] { return !b.IsPlaying(0); }));
    u32 cursor = 1;
    b.GetVoice(0)->buffer->GetCurrentPosition(&cursor, nullptr);
    EXPECT_EQ(cursor, 0u);

    t = 0;
    ASSERT_EQ(b.Play(1, 0.0f, 1), 0u);
    play(6 * kRate, true);   // across two loops of the data
    ASSERT_EQ(b.PauseVoice(0), 1);
    EXPECT_EQ(Mix(1000)[0], 0);
    EXPECT_EQ(b.IsPlaying(0), 1u);
    ASSERT_EQ(b.ResumeVoice(0), 1);
    play(8 * kRate, true);

    // Stopping a paused voice reaches its waiting thread.
    ASSERT_EQ(b.PauseVoice(0), 1);
    EXPECT_EQ(b.StopVoiceAt(0, 1), 1);
    EXPECT_EQ(b.GetVoice(0)->thread, nullptr);
    EXPECT_EQ(b.IsPlaying(0), 0u);
}

TEST_F(SoundStream, PauseWhileTheThreadStartsHoldsUntilResume)
{
    CSoundBuffer b;
    LoadOgg(b, 3 * kRate, kNotify);
    {
        // The thread cannot start playback before the pause.
        CSoundLock lock;
        ASSERT_EQ(b.Play(1, 0.0f, 1), 0u);
        ASSERT_EQ(b.PauseVoice(0), 1);
    }
    WaitRefills(b, 1);
    { CSoundLock startDone; }   // the thread fills and starts under the lock
    u32 status = 1;
    b.GetVoice(0)->buffer->GetStatus(status);
    EXPECT_FALSE(status & snd::kStatusPlaying);
    EXPECT_EQ(b.IsPlaying(0), 1u);
    for (i16 s : Mix(4410)) ASSERT_EQ(s, 0);

    ASSERT_EQ(b.ResumeVoice(0), 1);
    u32 t = 0;
    MixExpecting(t, 3, 11025, [&](u32 t) { return reference_[t]; }, [&] { WaitRefills(b, RefillsAfter(t)); });
}

TEST_F(SoundStream, StopReturnsWhenTheDeviceFailsToStop)
{
    CSoundBuffer b;
    LoadOgg(b, 3 * kRate, kNotify);
    ASSERT_EQ(b.Play(1, 0.0f, 1), 0u);
    WaitRefills(b, 1);
    // Without the device's stop notification only the stop itself can wake
    // the thread.
    null_.FailNext(snd::Call::Stop, snd::Result::Failed);
    auto stopped = std::async(std::launch::async, [&] { return b.StopVoiceAt(0, 1); });
    const bool returned = stopped.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    if (!returned) b.GetVoice(0)->events[2]->Set();   // frees the test
    EXPECT_TRUE(returned);
    EXPECT_EQ(stopped.get(), 1);
    EXPECT_EQ(b.GetVoice(0)->thread, nullptr);
}

TEST_F(SoundStream, DamagedOggNeverWritesBeforeOrPastTheFill)
{
    Bytes ogg = EncodeOgg(Ramp(kRate * 2), 1, kRate, true);
    // Spoil the first page of sound and one in the middle: the decoder
    // reports holes there. (Whole decodes against streamed ones: OggReaderTest.)
    const std::vector<size_t> pages = OggPages(ogg);
    ASSERT_GT(pages.size(), 6u);
    ogg[pages[2] + 40] ^= 0xFF;
    ogg[pages[pages.size() / 2] + 40] ^= 0xFF;

    // Small fills meet holes at their very start, where a hole taken as a
    // length would step before the buffer.
    OggStream* decoder = OpenOggMemoryStream(CreateMemStream(ogg.data(), u32(ogg.size())));
    ASSERT_NE(decoder, nullptr);
    std::vector<u8> guarded(8 + 64 + 8, 0xEE);
    for (int i = 0; i < 3000; ++i) {
        u32 filled = 0;
        ASSERT_EQ(OggFill(guarded.data() + 8, 64, 0.0f, decoder, &filled), OggFillResult::Full);
        ASSERT_EQ(filled, 64u);
        for (int g = 0; g < 8; ++g) ASSERT_EQ(guarded[g] & guarded[72 + g], 0xEE) << i;
    }
    CloseOggStream(decoder);
}

TEST_F(SoundStream, StopPauseAndReleaseRaceTheMixerWithoutDeadlock)
{
    auto* b = new CSoundBuffer();
    LoadOgg(*b, kRate, kNotify);
    // The output's own thread, as the real device has.
    std::atomic<bool> run{true};
    std::thread mixer([&] {
        std::vector<i16> out(2 * 4410);
        while (run) {
            null_.MixFrames(4410, out.data());
            RealSleep(1);
        }
    });
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(b->Play(1, i % 2 ? 0.0f : -1.0f, i % 3), 0u) << i;
        if (i % 4 == 1) b->PauseVoice(0);
        if (i % 4 == 2) b->ResumeVoice(0);
        b->Update();
        if (i % 5) b->StopVoiceAt(0, i % 2);
        else b->StopAll(1);
    }
    EXPECT_EQ(b->Play(1, 0.0f, 1), 0u);
    RealSleep(20);
    delete b;   // joins the playing voice's thread
    run = false;
    mixer.join();
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
