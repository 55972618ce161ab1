#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>

namespace host::kernel {
namespace {

TEST(Clock, FakeClockDrivesTimeSleepAndDate) {
    FakeClock fake(1000);
    ScopedClock scope(fake);
    EXPECT_EQ(TimeGetTime(), 1000u);
    Sleep(250);
    EXPECT_EQ(TimeGetTime(), 1250u);
    fake.Advance(16);
    EXPECT_EQ(TimeGetTime(), 1266u);
    fake.SetLocalTime({2008, 8, 5, 15, 12, 34, 56, 789});
    LocalTime t = GetLocalTime();
    EXPECT_EQ(t.year, 2008);
    EXPECT_EQ(t.month, 8);
    EXPECT_EQ(t.dayOfWeek, 5);
    EXPECT_EQ(t.day, 15);
    EXPECT_EQ(t.hour, 12);
    EXPECT_EQ(t.minute, 34);
    EXPECT_EQ(t.second, 56);
    EXPECT_EQ(t.milliseconds, 789);
}

TEST(Clock, CounterWrapsAt32Bits) {
    FakeClock fake(0xFFFFFFF0u);
    ScopedClock scope(fake);
    uint32_t start = TimeGetTime();
    Sleep(0x20);
    uint32_t now = TimeGetTime();
    EXPECT_EQ(now, 0x10u);
    EXPECT_EQ(now - start, 0x20u);   // elapsed time survives the wrap
}

TEST(Clock, RemovingTheFakeRestoresTheRealClock) {
    {
        FakeClock fake(7);
        ScopedClock scope(fake);
        EXPECT_EQ(TimeGetTime(), 7u);
    }
    uint32_t before = TimeGetTime();
    Sleep(30);
    uint32_t elapsed = TimeGetTime() - before;
    EXPECT_GE(elapsed, 30u);
    EXPECT_LT(elapsed, 5000u);
}

TEST(Clock, RealLocalTimeIsADate) {
    LocalTime t = GetLocalTime();
    EXPECT_GE(t.year, 2024);
    EXPECT_GE(t.month, 1);
    EXPECT_LE(t.month, 12);
    EXPECT_GE(t.day, 1);
    EXPECT_LE(t.day, 31);
    EXPECT_LE(t.dayOfWeek, 6);
    EXPECT_LE(t.hour, 23);
    EXPECT_LE(t.minute, 59);
    EXPECT_LE(t.second, 59);
    EXPECT_LE(t.milliseconds, 999);
}

TEST(Clock, ClockCanBeSwappedWhileAnotherThreadReadsIt) {
    FakeClock a(100), b(200);
    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    auto reader = StartThread([&] {
        while (!stop.load()) {
            uint32_t t = TimeGetTime();
            if (t == 0) ++bad;   // the real clock is far from 0; the fakes are 100 and 200
        }
        return 0u;
    });
    ASSERT_NE(reader, nullptr);
    for (int i = 0; i < 1000; ++i) SetClock(i % 3 == 0 ? &a : i % 3 == 1 ? &b : nullptr);
    SetClock(nullptr);
    stop = true;
    reader->Join();
    EXPECT_EQ(bad.load(), 0);
}

}  // namespace
}  // namespace host::kernel
