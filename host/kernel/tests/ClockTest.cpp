#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>

namespace host::kernel {
namespace ORV_TEST_FILE_ID {

namespace {

TEST(Clock, FakeClockDrivesTimeSleepAndDateAndWrapsAt32Bits) {
    {
        FakeClock fake(0xFFFFFFF0u);
        ScopedClock scope(fake);
        const uint32_t start = TimeGetTime();
        Sleep(0x10);
        fake.Advance(0x10);
        EXPECT_EQ(TimeGetTime(), 0x10u);
        EXPECT_EQ(TimeGetTime() - start, 0x20u);   // elapsed time survives the wrap
        fake.SetLocalTime({2008, 8, 5, 15, 12, 34, 56, 789});
        const LocalTime t = GetLocalTime();
        EXPECT_EQ(t.year * 10000 + t.month * 100 + t.day, 20080815);
        EXPECT_EQ(t.milliseconds, 789);
    }
    // The real clock is back once the fake's scope ends.
    const uint32_t before = TimeGetTime();
    Sleep(30);
    EXPECT_GE(TimeGetTime() - before, 30u);
    EXPECT_LT(TimeGetTime() - before, 5000u);
    const LocalTime t = GetLocalTime();
    EXPECT_GE(t.year, 2024);
    EXPECT_TRUE(t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31 && t.dayOfWeek <= 6) << t.month;
    EXPECT_TRUE(t.hour <= 23 && t.minute <= 59 && t.second <= 59 && t.milliseconds <= 999);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace host::kernel
