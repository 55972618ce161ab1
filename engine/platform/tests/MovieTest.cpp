// CMovie over the fake movie backend, and over FFmpeg on a movie ffmpeg made
// (a code page 932 path, a frame checked by content).
#include "engine/platform/Movie.h"
#include "engine/platform/tests/SoundTestSupport.h"

#include "host/movie/FakeMovie.h"
#include "host/movie/tests/MovieMedia.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace ORV_TEST_FILE_ID {

namespace {

using host::movie::Call;
using host::movie::FakeBackend;
using host::movie::Result;

constexpr u32 kWidth = 8, kHeight = 6;
constexpr char kPath[] = "Movie\\ED.mpg";

class Movies : public ::testing::Test {
protected:
    void SetUp() override
    {
        host::movie::SetBackend(&fake_);
        fake_.AddMovie(kPath, {.width = kWidth, .height = kHeight, .frames = 4, .frameMs = 100});
    }
    void TearDown() override { host::movie::SetBackend(nullptr); }

    // Whether the buffer holds frame n, bottom row first.
    static bool HoldsFrame(const u8* buffer, u32 n)
    {
        for (u32 row = 0; row < kHeight; ++row)
            for (u32 x = 0; x < kWidth; ++x) {
                u8 want[3];
                FakeBackend::Pixel(n, x, kHeight - 1 - row, want);
                if (std::memcmp(buffer + (row * kWidth + x) * 3, want, 3) != 0) return false;
            }
        return true;
    }

    host::kernel::FakeClock clock_{1000};
    host::kernel::ScopedClock scopedClock_{clock_};
    FakeBackend fake_;
};

TEST_F(Movies, ANewMovieHasNothingToPlay)
{
    CMovie movie;
    EXPECT_EQ(movie.Play(), 0);
    EXPECT_EQ(movie.GetFrame(), nullptr);
    EXPECT_EQ(movie.Stop(), 1);
    EXPECT_EQ(movie.Close(), 1);
    EXPECT_EQ(movie.SetVolume(0), 0);
    EXPECT_EQ(movie.Open(nullptr), 0);
    EXPECT_EQ(fake_.Calls(Call::Open), 0u);
}

TEST_F(Movies, PlayHandsOutFramesUntilStopRewinds)
{
    CMovie movie;
    ASSERT_EQ(movie.Open(kPath), 1);
    EXPECT_EQ(movie.GetStopTime(), 0.4);
    // Not played yet: no frame, and a stop changes nothing.
    EXPECT_EQ(movie.GetFrame(), nullptr);
    EXPECT_EQ(movie.Stop(), 1);
    EXPECT_EQ(fake_.Calls(Call::Stop), 0u);

    ASSERT_EQ(movie.Play(), 1);
    EXPECT_EQ(movie.GetFrameSize(), i32(kWidth * kHeight * 3));
    u8* buffer = movie.GetFrame();
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(buffer) % 16, 0u);
    EXPECT_TRUE(HoldsFrame(buffer, 0));
    clock_.Advance(250);
    EXPECT_DOUBLE_EQ(movie.GetCurrentPosition(), 0.25);
    ASSERT_EQ(movie.GetFrame(), buffer);
    EXPECT_TRUE(HoldsFrame(buffer, 2));
    // Playing again while playing goes on, in the same buffer.
    ASSERT_EQ(movie.Play(), 1);
    clock_.Advance(1000);
    ASSERT_EQ(movie.GetFrame(), buffer);
    EXPECT_TRUE(HoldsFrame(buffer, 3));
    EXPECT_EQ(movie.GetPosition(), movie.GetStopTime());

    ASSERT_EQ(movie.Stop(), 1);
    EXPECT_EQ(movie.GetFrame(), nullptr);
    EXPECT_EQ(movie.GetPosition(), 0.0);
    // Played again it starts from the beginning.
    ASSERT_EQ(movie.Play(), 1);
    EXPECT_TRUE(HoldsFrame(movie.GetFrame(), 0));
}

TEST_F(Movies, EachFailingStepReturnsZero)
{
    CMovie movie;
    EXPECT_EQ(movie.Open("Movie\\OP.mpg"), 0);   // not there
    fake_.Fail(Call::Open, Result::BadData);
    EXPECT_EQ(movie.Open(kPath), 0);
    EXPECT_EQ(movie.GetName(), nullptr);

    ASSERT_EQ(movie.Open(kPath), 1);
    fake_.Fail(Call::Play);
    EXPECT_EQ(movie.Play(), 0);
    EXPECT_EQ(movie.GetState(), CMovie::kStateStopped);
    EXPECT_EQ(movie.GetFrame(), nullptr);

    ASSERT_EQ(movie.Play(), 1);
    fake_.Fail(Call::GetFrame);
    EXPECT_EQ(movie.GetFrame(), nullptr);
    EXPECT_NE(movie.GetFrame(), nullptr);

    // A stop that fails leaves the movie playing, and Close says so.
    fake_.Fail(Call::Stop, Result::Failed, 2);
    EXPECT_EQ(movie.Stop(), 0);
    EXPECT_EQ(movie.Close(), 0);
    EXPECT_EQ(movie.GetState(), CMovie::kStatePlaying);
    EXPECT_NE(movie.GetFrame(), nullptr);
    EXPECT_EQ(movie.Close(), 1);
    EXPECT_EQ(movie.GetState(), CMovie::kStateStopped);
}

TEST_F(Movies, ReleaseFreesEverythingAndMayBeRepeated)
{
    CMovie movie;
    ASSERT_EQ(movie.Open(kPath), 1);
    ASSERT_EQ(movie.Play(), 1);
    // Opening again releases the first movie.
    ASSERT_EQ(movie.Open(kPath), 1);
    EXPECT_EQ(fake_.LiveMovies(), 1u);
    EXPECT_EQ(movie.GetState(), CMovie::kStateStopped);
    EXPECT_EQ(movie.GetFrame(), nullptr);
    ASSERT_EQ(movie.Play(), 1);

    EXPECT_EQ(movie.Release(), 1);
    EXPECT_EQ(fake_.LiveMovies(), 0u);
    EXPECT_EQ(movie.GetName(), nullptr);
    EXPECT_EQ(movie.Release(), 1);
    {
        CMovie other;
        ASSERT_EQ(other.Open(kPath), 1);
    }
    EXPECT_EQ(fake_.LiveMovies(), 0u);   // the destructor releases
}

// The sound goes to the process's sound device; without one there is no
// volume to set.
class MovieVolume : public sound_test::SoundFixture {
protected:
    void SetUp() override
    {
        SoundFixture::SetUp();
        host::movie::SetBackend(&fake_);
        fake_.AddMovie(kPath);
    }
    void TearDown() override
    {
        host::movie::SetBackend(nullptr);
        SoundFixture::TearDown();
    }
    FakeBackend fake_;
};

TEST_F(MovieVolume, TheVolumeReachesTheMoviesSound)
{
    CMovie movie;
    ASSERT_EQ(movie.Open(kPath), 1);
    EXPECT_EQ(movie.SetVolume(-1500), 1);
    EXPECT_EQ(fake_.Volume(), -1500);
    fake_.Fail(Call::SetVolume);
    EXPECT_EQ(movie.SetVolume(0), 0);

    SetSoundDeviceGlobal(nullptr);
    ASSERT_EQ(movie.Open(kPath), 1);
    EXPECT_EQ(movie.SetVolume(0), 0);
    SetSoundDeviceGlobal(&sound_);
}

// The real backend, from a folder named in code page 932.
TEST(MovieFiles, ACodePagePathOpensAndAFrameComesBottomRowFirst)
{
    MOVIE_MEDIA_OR_SKIP();
    host::kernel::FakeClock clock{0};
    host::kernel::ScopedClock scoped{clock};
    host::kernel::testing::TempFolder temp;
    std::string bytes;
    ASSERT_TRUE(host::kernel::ReadWholeFile(movie_test::Media::Get() / "counter.mpg", bytes));
    ASSERT_TRUE(host::kernel::CreateDirectory(temp / "ムービー"));
    ASSERT_TRUE(host::kernel::WriteFileAtomic(temp / "ムービー/ED.mpg", bytes.data(), bytes.size()));

    CMovie movie;
    ASSERT_EQ(movie.Open((temp / "ムービー\\ED.mpg").c_str()), 1);
    EXPECT_NEAR(movie.GetStopTime(), 1.0, 0.06);
    ASSERT_EQ(movie.Play(), 1);
    clock.Advance(430);   // frame 10
    const u8* frame = movie.GetFrame();
    ASSERT_NE(frame, nullptr);
    ASSERT_EQ(movie.GetFrameWidth(), i32(movie_test::kWidth));
    // The picture's top left: blue 50, green 200, red 10 x 10.
    const u8* p = movie_test::PixelAt(frame, 8, 8);
    EXPECT_TRUE(std::abs(p[0] - 50) <= 8 && std::abs(p[1] - 200) <= 8 && std::abs(p[2] - 100) <= 4)
        << int(p[0]) << " " << int(p[1]) << " " << int(p[2]);
    EXPECT_EQ(movie.Stop(), 1);
    EXPECT_EQ(movie.Open((temp / "ムービー\\OP.mpg").c_str()), 0);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
