// A movie's sound on the null output, sample for sample: each sound frame
// plays at its own time through the ring's wraps, late refills and stalls.
#include "host/movie/MovieSound.h"
#include "host/sound/tests/SoundTestSupport.h"

#include <gtest/gtest.h>

namespace ORV_TEST_FILE_ID {

namespace {

using host::movie::MovieSound;
namespace sound = host::sound;

constexpr uint32_t kRate = 44100;
constexpr uint32_t kStep = kRate / 10;   // 100 ms

// Sound frame k of the ramp: different at every sample for 20000 frames.
int16_t Ramp(uint64_t k) { return int16_t(int(k % 20000) - 10000); }

class MovieSoundTest : public sound::testing::SoundTest {
protected:
    void SetUp() override
    {
        SoundTest::SetUp();
        movie = MovieSound::Create(*device, kRate, 1);
        ASSERT_TRUE(movie);
    }

    // A mono ramp `length` frames long.
    MovieSound::Source Source(uint64_t length = UINT64_MAX)
    {
        read = 0;
        return [this, length](int16_t* out, size_t frames) {
            const size_t n = size_t(std::min<uint64_t>(frames, length - read));
            for (size_t i = 0; out && i < n; ++i) out[i] = Ramp(read + i);
            read += n;
            return n;
        };
    }

    // Mixes `steps` steps of 100 ms from sound time t on; frame t plays
    // want(t). With feed, the movie is fed after each step at the time
    // reached.
    template <class Want>
    void Play(uint64_t& t, int steps, const MovieSound::Source* feed, Want want)
    {
        for (int step = 0; step < steps && !HasFatalFailure(); ++step) {
            const std::vector<int16_t> out = Mix(kStep);
            for (uint32_t i = 0; i < kStep; ++i, ++t) ASSERT_EQ(out[2 * i], want(t)) << "frame " << t;
            if (feed) movie->Feed(*feed, t * 1000 / kRate);
        }
    }

    std::unique_ptr<MovieSound> movie;
    uint64_t read = 0;
};

TEST_F(MovieSoundTest, ARefillThatComesLateLeavesSilenceThenCatchesUp)
{
    const MovieSound::Source source = Source();
    ASSERT_EQ(movie->Start(source), host::movie::Result::Ok);
    EXPECT_EQ(movie->Written(), kRate);   // a second ahead
    uint64_t t = 0;
    Play(t, 25, &source, Ramp);           // past a wrap of the ring
    // No refill for 1.5 s: the second written ahead plays, then silence,
    // not the sound of two seconds before.
    Play(t, 10, nullptr, Ramp);
    Play(t, 5, nullptr, [](uint64_t) { return int16_t(0); });
    // The refill drops what is too late and the sound is in step again.
    movie->Feed(source, t * 1000 / kRate);
    Play(t, 20, &source, Ramp);
}

TEST_F(MovieSoundTest, RingsTheCursorWentRoundUnseenAreTakenFromTheClock)
{
    const MovieSound::Source source = Source();
    ASSERT_EQ(movie->Start(source), host::movie::Result::Ok);
    uint64_t t = 0;
    // 4.5 s without a refill: the cursor stands half a second into the
    // ring, which it has gone round twice.
    for (int step = 0; step < 45; ++step, t += kStep) Mix(kStep);
    movie->Feed(source, 4500);
    EXPECT_EQ(movie->Played(), t);
    Play(t, 10, &source, Ramp);
}

TEST_F(MovieSoundTest, TheEndOfTheSoundIsSilence)
{
    const uint64_t length = kRate + kRate / 5;   // 1.2 s
    const MovieSound::Source source = Source(length);
    ASSERT_EQ(movie->Start(source), host::movie::Result::Ok);
    uint64_t t = 0;
    Play(t, 30, &source, [&](uint64_t k) { return k < length ? Ramp(k) : int16_t(0); });
}

TEST_F(MovieSoundTest, StopSilencesAndStartBeginsAgain)
{
    MovieSound::Source source = Source();
    ASSERT_EQ(movie->Start(source), host::movie::Result::Ok);
    uint64_t t = 0;
    Play(t, 7, &source, Ramp);
    movie->Stop();
    Play(t, 3, &source, [](uint64_t) { return int16_t(0); });
    source = Source();
    ASSERT_EQ(movie->Start(source), host::movie::Result::Ok);
    EXPECT_EQ(movie->Played(), 0u);
    t = 0;
    Play(t, 25, &source, Ramp);
}

TEST_F(MovieSoundTest, VolumeAndFailures)
{
    EXPECT_EQ(movie->SetVolume(sound::kVolumeMin - 1), host::movie::Result::InvalidParam);
    EXPECT_EQ(movie->SetVolume(sound::kVolumeMax + 1), host::movie::Result::InvalidParam);
    EXPECT_EQ(movie->SetVolume(-600), host::movie::Result::Ok);
    null.FailNext(sound::Call::SetVolume, sound::Result::Failed);
    EXPECT_EQ(movie->SetVolume(0), host::movie::Result::Failed);
    EXPECT_EQ(movie->SetVolume(0), host::movie::Result::Ok);

    // Formats the buffer cannot take, and a buffer the device cannot make.
    EXPECT_FALSE(MovieSound::Create(*device, kRate, 3));
    EXPECT_FALSE(MovieSound::Create(*device, kRate, 0));
    EXPECT_FALSE(MovieSound::Create(*device, sound::kFrequencyMin - 1, 2));
    null.FailNext(sound::Call::CreateBuffer, sound::Result::OutOfMemory);
    EXPECT_FALSE(MovieSound::Create(*device, kRate, 2));

    MovieSound::Source source = Source();
    null.FailNext(sound::Call::Play, sound::Result::Failed);
    EXPECT_EQ(movie->Start(source), host::movie::Result::Failed);
    // A lost buffer is restored.
    null.LoseBuffers();
    source = Source();
    EXPECT_EQ(movie->Start(source), host::movie::Result::Ok);
    uint64_t t = 0;
    Play(t, 3, &source, Ramp);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
