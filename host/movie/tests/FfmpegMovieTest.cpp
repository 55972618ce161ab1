// The FFmpeg backend on movies the ffmpeg program made: frames checked by
// their content and way up as the kernel clock steps, the stop time, stop
// and rewind, the sound on the null output, and damaged movies refused.
#include "host/movie/Movie.h"
#include "host/movie/tests/MovieMedia.h"
#include "host/movie/tests/MovieResultPrint.h"
#include "host/sound/Sound.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

using namespace host::movie;
using movie_test::Media;
using movie_test::PixelAt;
using Bytes = std::vector<uint8_t>;

::testing::AssertionResult Near(int got, int want, int tolerance = 8)
{
    if (std::abs(got - want) <= tolerance) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got " << got << ", want " << want << " +- " << tolerance;
}

class FfmpegMovies : public ::testing::Test {
protected:
    void SetUp() override { MOVIE_MEDIA_OR_SKIP(); }
    void TearDown() override { host::sound::SetNullOutput(nullptr); }

    std::unique_ptr<Movie> Open(const std::string& name, host::sound::Device* sound = nullptr)
    {
        std::unique_ptr<Movie> movie;
        EXPECT_EQ(OpenMovie(Media::Get() / name, sound, movie), Result::Ok) << name;
        return movie;
    }
    static Bytes Frame(Movie& movie)
    {
        Bytes frame(movie.Info().frameBytes, 0xEE);
        EXPECT_EQ(movie.GetFrame(frame.data(), frame.size()), Result::Ok);
        return frame;
    }
    // Checks the counter movie's frame n: its number in red everywhere,
    // green high above and low below, blue low left and high right.
    static void ExpectCounterFrame(const Bytes& frame, int n)
    {
        SCOPED_TRACE(::testing::Message() << "frame " << n);
        const struct { uint32_t x, y; int blue, green; } spots[] = {{16, 12, 50, 200}, {48, 12, 220, 200}, {16, 36, 50, 40}, {48, 36, 220, 40}};
        for (const auto& s : spots) {
            const uint8_t* p = PixelAt(frame.data(), s.x, s.y);
            EXPECT_TRUE(Near(p[0], s.blue)) << s.x << "," << s.y;
            EXPECT_TRUE(Near(p[1], s.green)) << s.x << "," << s.y;
            EXPECT_TRUE(Near(p[2], 10 * n, 4)) << s.x << "," << s.y;
        }
    }
    // A sound device on the null output.
    std::unique_ptr<host::sound::Device> MakeSoundDevice()
    {
        host::sound::SetNullOutput(&null_);
        std::unique_ptr<host::sound::Device> device;
        EXPECT_EQ(host::sound::CreateDevice(device), host::sound::Result::Ok);
        EXPECT_TRUE(!device ||
                    device->SetCooperativeLevel(&null_, host::sound::kCoopPriority) == host::sound::Result::Ok);
        return device;
    }

    host::kernel::FakeClock clock_{5000};
    host::kernel::ScopedClock scopedClock_{clock_};
    host::sound::NullOutput null_;
};

TEST_F(FfmpegMovies, OpenGivesTheSizeAndTheStopTime)
{
    const std::unique_ptr<Movie> movie = Open("counter.mpg");
    ASSERT_TRUE(movie);
    const MovieInfo& info = movie->Info();
    EXPECT_EQ(info.width, movie_test::kWidth);
    EXPECT_EQ(info.frameBytes, movie_test::kWidth * movie_test::kHeight * 3);
    // 25 frames of 40 ms; the sound may run a packet longer.
    EXPECT_TRUE(info.stopTime >= 1.0 && info.stopTime <= 1.06) << info.stopTime;
    EXPECT_FALSE(info.hasSound);   // no sound device
    Bytes small(info.frameBytes - 1);
    EXPECT_EQ(movie->GetFrame(small.data(), small.size()), Result::InvalidParam);

    // Without sound the pictures alone make the stop time, the one the
    // decoder holds back included.
    const std::unique_ptr<Movie> silent = Open("silent.mpg");
    ASSERT_TRUE(silent);
    EXPECT_EQ(silent->Info().stopTime, 1.0);
}

TEST_F(FfmpegMovies, EveryContainerAndCodecPlays)
{
    // MPEG-1 with layer II sound, AVI with MPEG-4 and PCM, Ogg with Theora
    // and Vorbis: each opens with its sound, stops after its second (the
    // sound may run a packet longer) and shows the counter's frames.
    const std::unique_ptr<host::sound::Device> device = MakeSoundDevice();
    ASSERT_TRUE(device);
    for (const char* name : {"counter.mpg", "counter.avi", "counter.ogv"}) {
        SCOPED_TRACE(name);
        clock_.Set(5000);
        const std::unique_ptr<Movie> movie = Open(name, device.get());
        ASSERT_TRUE(movie);
        const MovieInfo& info = movie->Info();
        EXPECT_EQ(info.width, movie_test::kWidth);
        EXPECT_EQ(info.height, movie_test::kHeight);
        EXPECT_TRUE(info.hasSound);
        EXPECT_TRUE(info.stopTime >= 1.0 && info.stopTime <= 1.06) << info.stopTime;
        ASSERT_EQ(movie->Play(), Result::Ok);
        for (int n : {0, 7, 24}) {
            clock_.Set(5000 + uint32_t(n) * movie_test::kFrameMs + 20);
            ExpectCounterFrame(Frame(*movie), n);
        }
    }
}

TEST_F(FfmpegMovies, FramesFollowTheClockBottomRowFirst)
{
    // Without sound the first picture starts the movie's time; before
    // playing, the movie stands at its first frame.
    const std::unique_ptr<Movie> movie = Open("silent.mpg");
    ASSERT_TRUE(movie);
    ExpectCounterFrame(Frame(*movie), 0);
    clock_.Advance(500);
    ExpectCounterFrame(Frame(*movie), 0);

    ASSERT_EQ(movie->Play(), Result::Ok);
    for (uint32_t n = 0; n < movie_test::kFrames; ++n) {
        // A millisecond before frame n is due, then exactly on its time.
        if (n > 0) {
            clock_.Set(5500 + n * movie_test::kFrameMs - 1);
            ExpectCounterFrame(Frame(*movie), int(n) - 1);
        }
        clock_.Set(5500 + n * movie_test::kFrameMs);
        EXPECT_DOUBLE_EQ(movie->GetPosition(), n * movie_test::kFrameMs / 1000.0);
        ExpectCounterFrame(Frame(*movie), int(n));
        if (HasFailure()) break;
    }
}

TEST_F(FfmpegMovies, StopRewindsAndTheMoviePlaysAgainAlikeToItsLastFrame)
{
    const std::unique_ptr<Movie> movie = Open("counter.mpg");
    ASSERT_TRUE(movie);
    ASSERT_EQ(movie->Play(), Result::Ok);
    std::vector<Bytes> first;
    for (uint32_t ms : {0u, 105u, 385u, 625u}) {
        clock_.Set(5000 + ms);
        first.push_back(Frame(*movie));
        ASSERT_TRUE(ms != 105 || movie->Play() == Result::Ok);   // while playing: it goes on
    }
    ASSERT_EQ(movie->Stop(), Result::Ok);
    EXPECT_FALSE(movie->IsPlaying());
    clock_.Set(9000);   // time while stopped does not count
    EXPECT_EQ(movie->GetPosition(), 0.0);

    ASSERT_EQ(movie->Play(), Result::Ok);
    size_t i = 0;
    for (uint32_t ms : {0u, 105u, 385u, 625u}) {
        clock_.Set(9000 + ms);
        EXPECT_EQ(Frame(*movie), first[i++]) << ms << " ms";
    }
    // One long step: every frame on the way is decoded, the last one shows
    // and stays; the end is the caller's to act on.
    clock_.Advance(60000);
    ExpectCounterFrame(Frame(*movie), movie_test::kFrames - 1);
    EXPECT_EQ(movie->GetPosition(), movie->Info().stopTime);
    EXPECT_TRUE(movie->IsPlaying());
}

TEST_F(FfmpegMovies, TheSoundPlaysInStepThroughTheSoundService)
{
    const std::unique_ptr<host::sound::Device> device = MakeSoundDevice();
    ASSERT_TRUE(device);
    const std::unique_ptr<Movie> movie = Open("counter.mpg", device.get());
    ASSERT_TRUE(movie);
    EXPECT_TRUE(movie->Info().hasSound);
    // Nothing is heard before the movie plays.
    std::vector<int16_t> out(2 * 4410);
    ASSERT_TRUE(null_.MixFrames(4410, out.data()));
    for (int16_t s : out) ASSERT_EQ(s, 0);

    // A tenth of a second at a time, as the game asks every frame: the
    // first half second is silent, then the tone comes at half scale.
    ASSERT_EQ(movie->Play(), Result::Ok);
    std::vector<int16_t> left;
    for (int step = 0; step < 10; ++step) {
        ASSERT_TRUE(null_.MixFrames(4410, out.data()));
        for (size_t i = 0; i < out.size(); i += 2) left.push_back(out[i]);
        clock_.Advance(100);
        movie->GetPosition();
    }
    int quiet = 0, loud = 0, crossings = 0;
    for (size_t i = 0; i < 20000; ++i) quiet = std::max(quiet, std::abs(int(left[i])));
    for (size_t i = 24000; i < 44100; ++i) loud = std::max(loud, std::abs(int(left[i])));
    for (size_t i = 24001; i < 24000 + 17640; ++i) crossings += (left[i - 1] < 0) != (left[i] < 0);
    // Layer II smears the onset over a frame or so (26 ms).
    EXPECT_LT(quiet, 300);
    EXPECT_TRUE(Near(loud, 16384, 1200));
    EXPECT_TRUE(Near(crossings, 800, 8));   // 1 kHz: two crossings a millisecond, 0.4 s

    // The movie hands its volume and its stop to its sound, heard mid-tone.
    const auto mix = [&](int steps, bool silent) {
        for (int step = 0; step < steps; ++step) {
            ASSERT_TRUE(null_.MixFrames(4410, out.data()));
            for (int16_t s : out) ASSERT_TRUE(!silent || s == 0) << step;
            clock_.Advance(100);
            movie->GetPosition();
        }
    };
    ASSERT_EQ(movie->Stop(), Result::Ok);
    ASSERT_EQ(movie->Play(), Result::Ok);
    mix(7, false);
    ASSERT_EQ(movie->SetVolume(host::sound::kVolumeMin), Result::Ok);
    mix(1, true);
    ASSERT_EQ(movie->SetVolume(0), Result::Ok);
    ASSERT_EQ(movie->Stop(), Result::Ok);
    mix(2, true);
}

TEST_F(FfmpegMovies, AMovieWithoutSoundPlaysSilent)
{
    const std::unique_ptr<host::sound::Device> device = MakeSoundDevice();
    ASSERT_TRUE(device);
    const std::unique_ptr<Movie> silent = Open("silent.mpg", device.get());
    ASSERT_TRUE(silent);
    EXPECT_FALSE(silent->Info().hasSound);
    EXPECT_EQ(silent->SetVolume(0), Result::NoAudio);

    // A sound buffer that cannot be made leaves the movie silent, not refused.
    null_.FailNext(host::sound::Call::CreateBuffer, host::sound::Result::OutOfMemory);
    const std::unique_ptr<Movie> counter = Open("counter.mpg", device.get());
    ASSERT_TRUE(counter);
    EXPECT_FALSE(counter->Info().hasSound);
}

TEST_F(FfmpegMovies, BytesInMemoryPlayAsTheFile)
{
    std::string bytes;
    ASSERT_TRUE(host::kernel::ReadWholeFile(Media::Get() / "counter.mpg", bytes));
    const std::unique_ptr<Movie> fromFile = Open("counter.mpg");
    std::unique_ptr<Movie> fromMemory;
    ASSERT_EQ(OpenMovieFromMemory(bytes.data(), bytes.size(), nullptr, fromMemory), Result::Ok);
    ASSERT_TRUE(fromFile);
    ASSERT_EQ(fromFile->Play(), Result::Ok);
    ASSERT_EQ(fromMemory->Play(), Result::Ok);
    clock_.Advance(333);
    EXPECT_EQ(Frame(*fromFile), Frame(*fromMemory));

    std::unique_ptr<Movie> missing;
    EXPECT_EQ(OpenMovie(Media::Get() / "missing.mpg", nullptr, missing), Result::NotFound);
    EXPECT_FALSE(missing);
}

// A movie larger than a screen plays its frames whole: colours in each
// corner of a 2560 x 1440 picture.
TEST_F(FfmpegMovies, AMovieLargerThanAScreenPlays)
{
    const std::string path = Media::Get() / "wide.mpg";
    ASSERT_TRUE(Media::Ffmpeg("-f lavfi -i \"nullsrc=s=2560x1440:r=25,format=rgb24,"
                              "geq=r='if(lt(X,1280),30,230)':g='if(lt(Y,720),60,180)':b=120\" -t 0.08 "
                              "-c:v mpeg1video -q:v 1 ",
        path));
    const std::unique_ptr<Movie> movie = Open("wide.mpg");
    ASSERT_TRUE(movie);
    EXPECT_EQ(movie->Info().width, 2560u);
    EXPECT_EQ(movie->Info().height, 1440u);
    ASSERT_EQ(movie->Play(), Result::Ok);
    clock_.Advance(20);
    const Bytes frame = Frame(*movie);
    const struct { uint32_t x, y; int red, green; } spots[] = {
        {8, 8, 30, 60}, {2551, 8, 230, 60}, {8, 1431, 30, 180}, {2551, 1431, 230, 180}};
    for (const auto& s : spots) {
        const uint8_t* p = PixelAt(frame.data(), s.x, s.y, 2560, 1440);
        EXPECT_TRUE(Near(p[2], s.red)) << s.x << "," << s.y;
        EXPECT_TRUE(Near(p[1], s.green)) << s.x << "," << s.y;
        EXPECT_TRUE(Near(p[0], 120)) << s.x << "," << s.y;
    }
}

TEST_F(FfmpegMovies, WhatIsNotAPlayableMovieIsRefused)
{
    std::string counter, soundOnly;
    ASSERT_TRUE(host::kernel::ReadWholeFile(Media::Get() / "counter.mpg", counter));
    ASSERT_TRUE(host::kernel::ReadWholeFile(Media::Get() / "sound-only.mpg", soundOnly));
    std::string garbage(20000, '\0');
    uint32_t seed = 12345;
    for (char& c : garbage) c = char((seed = seed * 1103515245u + 12345u) >> 24);
    const struct { const char* what; std::string bytes; } cases[] = {
        {"empty", ""}, {"garbage", garbage}, {"the first pack header only", counter.substr(0, 14)},
        {"sound without pictures", soundOnly}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<Movie> movie;
        EXPECT_EQ(OpenMovieFromMemory(c.bytes.data(), c.bytes.size(), nullptr, movie), Result::BadData);
        EXPECT_FALSE(movie);
    }
}

// Damage anywhere: the movie is refused, or it plays to its end with frames
// of its own size. Never a crash (run it under the sanitizers).
TEST_F(FfmpegMovies, DamagedMoviesAreRefusedOrPlayToTheirEnd)
{
    const std::unique_ptr<host::sound::Device> device = MakeSoundDevice();
    ASSERT_TRUE(device);
    std::string counter;
    ASSERT_TRUE(host::kernel::ReadWholeFile(Media::Get() / "counter.mpg", counter));
    std::vector<std::string> damaged;
    for (size_t cut : {100u, 2048u, 2100u, 6000u, 11000u, 16384u, 20000u}) damaged.push_back(counter.substr(0, cut));
    uint32_t seed = 99;
    for (size_t every : {97u, 509u, 2003u}) {
        std::string bytes = counter;
        for (size_t i = every; i < bytes.size(); i += every) bytes[i] = char((seed = seed * 1103515245u + 12345u) >> 24);
        damaged.push_back(bytes);
    }
    int opened = 0;
    for (size_t i = 0; i < damaged.size(); ++i) {
        SCOPED_TRACE(::testing::Message() << "case " << i << ", " << damaged[i].size() << " bytes");
        std::unique_ptr<Movie> movie;
        const Result r = OpenMovieFromMemory(damaged[i].data(), damaged[i].size(), device.get(), movie);
        if (r != Result::Ok) {
            EXPECT_EQ(r, Result::BadData);
            continue;
        }
        ++opened;
        ASSERT_LE(movie->Info().width, kMaxSide);
        ASSERT_EQ(movie->Play(), Result::Ok);
        Bytes frame(movie->Info().frameBytes);
        std::vector<int16_t> mixed(2 * 441);
        for (int step = 0; step < 40 && movie->GetPosition() < movie->Info().stopTime; ++step) {
            clock_.Advance(40);
            EXPECT_EQ(movie->GetFrame(frame.data(), frame.size()), Result::Ok);
            null_.MixFrames(441, mixed.data());
        }
        EXPECT_EQ(movie->Stop(), Result::Ok);
    }
    EXPECT_GT(opened, 3);   // most damage leaves something to play
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
