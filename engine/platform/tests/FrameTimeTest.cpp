#include "engine/platform/FrameTime.h"

#include "engine/platform/System.h"
#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>

namespace {

TEST(FrameTime, SetFrameRateStartsFromTheKernelClock)
{
    host::kernel::FakeClock clock(123456);
    host::kernel::ScopedClock scoped(clock);
    CSystem window;

    SetFrameRate(&window, 60);
    const FrameTimer& timer = GetFrameTimer();
    EXPECT_EQ(timer.interval, 16u);
    EXPECT_EQ(timer.startTime, 123456u);
    EXPECT_EQ(timer.lastFrameTime, 123456u);
    EXPECT_EQ(timer.window, &window);

    clock.Advance(40);
    SetFrameRate(&window, 0);
    EXPECT_EQ(timer.interval, 0u);
    EXPECT_EQ(timer.startTime, 123496u);

    // Exit runs twice at shutdown, after the window is gone.
    EndFrameTimer();
    EndFrameTimer();
    EXPECT_EQ(timer.window, nullptr);
}

TEST(FrameTime, SetFrameTimeGivesMillisecondsAndSeconds)
{
    SetFrameTime(18);
    EXPECT_EQ(GetFrameTimeMs(), 18u);
    EXPECT_FLOAT_EQ(GetFrameTime(), 0.018f);
}

}  // namespace
