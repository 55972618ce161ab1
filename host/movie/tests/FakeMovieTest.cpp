// The fake backend: declared movies, frames made from their number and timed
// by the kernel clock, scripted failures.
#include "host/kernel/Kernel.h"
#include "host/movie/FakeMovie.h"
#include "host/movie/tests/MovieResultPrint.h"
#include "host/sound/Sound.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

using namespace host::movie;
using Bytes = std::vector<uint8_t>;

class FakeMovies : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetBackend(&fake_);
        host::sound::SetNullOutput(&null_);
        ASSERT_EQ(host::sound::CreateDevice(sound_), host::sound::Result::Ok);
        fake_.AddMovie("Movie\\OP.mpg", {.width = 4, .height = 3, .frames = 5, .frameMs = 100});
    }
    void TearDown() override
    {
        SetBackend(nullptr);
        host::sound::SetNullOutput(nullptr);
    }

    // The frame number the movie shows, checked pixel by pixel, bottom row
    // first.
    static int ShownFrame(Movie& movie)
    {
        const MovieInfo& info = movie.Info();
        Bytes frame(info.frameBytes);
        if (movie.GetFrame(frame.data(), frame.size()) != Result::Ok) return -1;
        const int n = frame[2];
        for (uint32_t row = 0; row < info.height; ++row)
            for (uint32_t x = 0; x < info.width; ++x) {
                uint8_t want[3];
                FakeBackend::Pixel(uint32_t(n), x, info.height - 1 - row, want);
                const uint8_t* got = &frame[(row * info.width + x) * 3];
                EXPECT_TRUE(got[0] == want[0] && got[1] == want[1] && got[2] == want[2]) << x << "," << row;
            }
        return n;
    }

    host::kernel::FakeClock clock_{100};
    host::kernel::ScopedClock scopedClock_{clock_};
    host::sound::NullOutput null_;
    std::unique_ptr<host::sound::Device> sound_;
    FakeBackend fake_;
};

TEST_F(FakeMovies, FramesFollowTheClockAndStopRewinds)
{
    std::unique_ptr<Movie> movie;
    // Either separator names the same movie.
    ASSERT_EQ(OpenMovie("Movie/OP.mpg", nullptr, movie), Result::Ok);
    EXPECT_EQ(movie->Info().stopTime, 0.5);

    EXPECT_EQ(ShownFrame(*movie), 0);
    ASSERT_EQ(movie->Play(), Result::Ok);
    const struct {
        uint32_t advance;
        int frame;
        double position;
    } steps[] = {{99, 0, 0.099}, {1, 1, 0.1}, {250, 3, 0.35}, {149, 4, 0.499}, {5000, 4, 0.5}};
    for (const auto& s : steps) {
        clock_.Advance(s.advance);
        EXPECT_EQ(ShownFrame(*movie), s.frame);
        EXPECT_DOUBLE_EQ(movie->GetPosition(), s.position);
    }
    ASSERT_EQ(movie->Stop(), Result::Ok);
    EXPECT_FALSE(movie->IsPlaying());
    clock_.Advance(300);
    EXPECT_EQ(movie->GetPosition(), 0.0);
    EXPECT_EQ(ShownFrame(*movie), 0);
}

TEST_F(FakeMovies, TimeRunsOnAcrossTheCounterWrapAndNeverBack)
{
    fake_.AddMovie("long.mpg", {.frames = 100, .frameMs = 1000});
    std::unique_ptr<Movie> movie;
    ASSERT_EQ(OpenMovie("long.mpg", nullptr, movie), Result::Ok);
    clock_.Set(0xFFFFFF00u);
    ASSERT_EQ(movie->Play(), Result::Ok);
    clock_.Advance(0x180);
    EXPECT_DOUBLE_EQ(movie->GetPosition(), 0.384);
    clock_.Set(0x10);   // set back
    EXPECT_DOUBLE_EQ(movie->GetPosition(), 0.384);
    clock_.Advance(16);
    EXPECT_DOUBLE_EQ(movie->GetPosition(), 0.4);
}

TEST_F(FakeMovies, OpenFindsOnlyDeclaredMoviesAndFailuresComeAsScripted)
{
    fake_.AddMovie("empty.mpg", {.width = 0});
    fake_.AddMovie("huge.mpg", {.width = kMaxSide + 1});
    std::unique_ptr<Movie> movie;
    EXPECT_EQ(OpenMovie("Movie\\ED.mpg", nullptr, movie), Result::NotFound);
    EXPECT_EQ(OpenMovie("movie\\op.mpg", nullptr, movie), Result::NotFound);
    EXPECT_EQ(OpenMovie("empty.mpg", nullptr, movie), Result::BadData);
    EXPECT_EQ(OpenMovie("huge.mpg", nullptr, movie), Result::BadData);
    EXPECT_FALSE(movie);
    EXPECT_EQ(fake_.Calls(Call::Open), 4u);
    // A failure scripted after the open still reaches the movie.
    ASSERT_EQ(OpenMovie("Movie\\OP.mpg", sound_.get(), movie), Result::Ok);
    EXPECT_TRUE(movie->Info().hasSound);
    fake_.Fail(Call::Play, Result::Failed, 2);
    EXPECT_EQ(movie->Play(), Result::Failed);
    EXPECT_EQ(movie->Play(), Result::Failed);
    EXPECT_EQ(movie->Play(), Result::Ok);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
