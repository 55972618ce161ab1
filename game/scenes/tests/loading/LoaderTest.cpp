// The loading screens' loader thread and dots, without an application.
#include "game/scenes/LoadingScene.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

TEST(LoadingDots, OneMoreEveryHalfSecondThenNoneAgain)
{
    struct Case {
        f32 frame;
        std::vector<i32> counts;   // after each of the frames
    };
    const Case cases[] = {
        {0.25f, {0, 1, 1, 2, 2, 3, 3, 0, 0, 1}},
        {0.5f, {1, 2, 3, 0, 1}},
        // A long frame adds one; what it leaves over comes with the next.
        {1.25f, {1, 2, 3, 0}},
        {0.0f, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        loading::Dots dots;
        std::vector<i32> got;
        for (size_t i = 0; i < c.counts.size(); ++i) {
            dots.Step(c.frame);
            got.push_back(dots.Count());
        }
        EXPECT_EQ(got, c.counts) << "frame " << c.frame;
    }
}

TEST(Loader, StateFollowsTheBodyAndIsNeverZeroOnceStarted)
{
    for (const bool result : {true, false}) {
        loading::Loader loader;
        EXPECT_EQ(loader.GetState(), loading::kNotStarted);
        std::atomic<bool> go{false};
        ASSERT_TRUE(loader.Start([&] {
            while (!go) std::this_thread::yield();
            return result;
        }));
        EXPECT_EQ(loader.GetState(), loading::kLoading);
        go = true;
        loader.Join();
        EXPECT_EQ(loader.GetState(), result ? loading::kLoaded : loading::kFailed);
        EXPECT_TRUE(loader.Started());
    }
}

// The main thread polls while the thread writes; what the body wrote before
// its result is seen by whoever read state 2.
TEST(Loader, WorkBeforeTheResultIsVisibleAfterReadingIt)
{
    int made = 0;
    loading::Loader loader;
    ASSERT_TRUE(loader.Start([&] {
        made = 42;
        return true;
    }));
    while (loader.GetState() == loading::kLoading) std::this_thread::yield();
    EXPECT_EQ(loader.GetState(), loading::kLoaded);
    EXPECT_EQ(made, 42);
}

TEST(Loader, DestroyedWhileLoadingWaitsForTheBody)
{
    std::atomic<bool> finished{false};
    {
        loading::Loader loader;
        ASSERT_TRUE(loader.Start([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            finished = true;
            return true;
        }));
    }
    EXPECT_TRUE(finished);
}

}  // namespace
