#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace host::kernel {
namespace {

// Real milliseconds on the monotonic clock, whatever Clock is installed.
uint32_t Now() {
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

// ---------------------------------------------------------------- threads

TEST(Thread, ReportsItsExitCode) {
    auto thread = StartThread([] { return 42u; });
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(thread->Wait());
    EXPECT_EQ(thread->ExitCode(), 42u);
}

TEST(Thread, WaitTimesOutWhileItRuns) {
    Event go(true, false);
    auto thread = StartThread([&] {
        go.Wait();
        return 7u;
    });
    ASSERT_NE(thread, nullptr);
    EXPECT_FALSE(thread->Wait(20));
    EXPECT_EQ(thread->ExitCode(), kStillActive);
    go.Set();
    EXPECT_TRUE(thread->Wait(5000));
    thread->Join();
    EXPECT_EQ(thread->ExitCode(), 7u);
    EXPECT_TRUE(thread->Wait(0));   // an ended thread stays signalled
}

TEST(Thread, DestructorWaitsForTheEnd) {
    std::atomic<bool> finished{false};
    {
        auto thread = StartThread([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            finished = true;
            return 0u;
        });
        ASSERT_NE(thread, nullptr);
    }
    EXPECT_TRUE(finished.load());
}

TEST(Thread, EmptyBodyIsRefused) { EXPECT_EQ(StartThread({}), nullptr); }

// ---------------------------------------------------------------- critical sections

TEST(CriticalSection, OneThreadMayEnterAgain) {
    CriticalSection cs;
    cs.Enter();
    ASSERT_TRUE(cs.TryEnter());   // a plain mutex would refuse (or deadlock below)
    cs.Leave();
    { Lock again(cs); }
    std::atomic<int> otherGot{-1};
    std::thread([&] {
        otherGot = cs.TryEnter();
        if (otherGot) cs.Leave();
    }).join();
    EXPECT_EQ(otherGot.load(), 0);   // still held once
    cs.Leave();
    std::thread([&] {
        otherGot = cs.TryEnter();
        if (otherGot) cs.Leave();
    }).join();
    EXPECT_EQ(otherGot.load(), 1);
}

TEST(CriticalSection, ExcludesOtherThreads) {
    CriticalSection cs;
    long counter = 0;   // deliberately not atomic
    std::atomic<int> inside{0}, overlaps{0};
    auto body = [&] {
        for (int i = 0; i < 20000; ++i) {
            Lock lock(cs);
            if (inside.fetch_add(1) != 0) ++overlaps;
            ++counter;
            inside.fetch_sub(1);
        }
        return 0u;
    };
    auto a = StartThread(body), b = StartThread(body);
    ASSERT_TRUE(a && b);
    a->Join();
    b->Join();
    EXPECT_EQ(counter, 40000);
    EXPECT_EQ(overlaps.load(), 0);
}

// ---------------------------------------------------------------- events

TEST(Event, AutoResetClearsOnAWait) {
    Event event(false, true);
    EXPECT_EQ(event.Wait(0), 0u);
    EXPECT_EQ(event.Wait(0), kWaitTimeout);
    event.Set();
    event.Set();   // no count: two sets before a wait are one
    EXPECT_EQ(event.Wait(0), 0u);
    EXPECT_EQ(event.Wait(0), kWaitTimeout);
}

TEST(Event, ManualResetStaysSetUntilReset) {
    Event event(true, false);
    EXPECT_EQ(event.Wait(0), kWaitTimeout);
    event.Set();
    EXPECT_EQ(event.Wait(0), 0u);
    EXPECT_EQ(event.Wait(0), 0u);
    event.Reset();
    EXPECT_EQ(event.Wait(0), kWaitTimeout);
}

TEST(Event, TimedWaitTimesOut) {
    Event event(false, false);
    uint32_t start = Now();
    EXPECT_EQ(event.Wait(60), kWaitTimeout);
    uint32_t elapsed = Now() - start;
    EXPECT_GE(elapsed, 59u);
    EXPECT_LT(elapsed, 3000u);
}

TEST(Event, SetFromAnotherThreadEndsAnInfiniteWait) {
    Event event(false, false);
    auto setter = StartThread([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        event.Set();
        return 0u;
    });
    EXPECT_EQ(event.Wait(kInfinite), 0u);
    EXPECT_EQ(event.Wait(0), kWaitTimeout);
}

TEST(Event, AutoResetReleasesOneWaiterPerSet) {
    Event event(false, false);
    std::atomic<int> woken{0};
    auto waiter = [&] {
        uint32_t r = event.Wait(5000);
        if (r == 0) ++woken;
        return r;
    };
    auto a = StartThread(waiter), b = StartThread(waiter);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));   // both asleep
    event.Set();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(woken.load(), 1);
    event.Set();
    a->Join();
    b->Join();
    EXPECT_EQ(woken.load(), 2);
    EXPECT_EQ(event.Wait(0), kWaitTimeout);
}

TEST(Event, ManualResetReleasesEveryWaiter) {
    Event event(true, false);
    std::vector<std::unique_ptr<Thread>> threads;
    for (int i = 0; i < 3; ++i) threads.push_back(StartThread([&] { return event.Wait(5000); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    event.Set();
    for (auto& t : threads) {
        t->Join();
        EXPECT_EQ(t->ExitCode(), 0u);
    }
}

// ---------------------------------------------------------------- WaitAny

TEST(WaitAny, AnswersTheIndexOfTheSetEvent) {
    Event a(false, false), b(false, false), c(false, false);
    Event* list[] = {&a, &b, &c};
    EXPECT_EQ(WaitAny(list, 3, 0), kWaitTimeout);
    b.Set();
    EXPECT_EQ(WaitAny(list, 3, 0), 1u);
    EXPECT_EQ(WaitAny(list, 3, 0), kWaitTimeout);   // b was consumed
}

TEST(WaitAny, LowestIndexWinsAndOnlyItIsCleared) {
    Event manual(true, false), autoA(false, false), autoB(false, false);
    Event* list[] = {&autoA, &manual, &autoB};
    manual.Set();
    autoB.Set();
    EXPECT_EQ(WaitAny(list, 3, 0), 1u);
    EXPECT_EQ(WaitAny(list, 3, 0), 1u);   // manual stays set
    manual.Reset();
    EXPECT_EQ(WaitAny(list, 3, 0), 2u);   // autoB was left alone until now
    EXPECT_EQ(WaitAny(list, 3, 0), kWaitTimeout);
    autoA.Set();
    autoB.Set();
    EXPECT_EQ(WaitAny(list, 3, 0), 0u);
    EXPECT_EQ(autoB.Wait(0), 0u);
}

TEST(WaitAny, WakesWhenAnotherThreadSetsOne) {
    Event play(false, false), half(false, false), stop(false, false);
    Event* list[] = {&play, &half, &stop};
    auto setter = StartThread([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        stop.Set();
        return 0u;
    });
    EXPECT_EQ(WaitAny(list, 3, 5000), 2u);
    EXPECT_EQ(stop.Wait(0), kWaitTimeout);
}

TEST(WaitAny, TimesOut) {
    Event a(false, false), b(true, false);
    Event* list[] = {&a, &b};
    uint32_t start = Now();
    EXPECT_EQ(WaitAny(list, 2, 40), kWaitTimeout);
    EXPECT_GE(Now() - start, 39u);
}

TEST(WaitAny, EmptyOrNullListFails) {
    Event a(true, true);
    Event* withNull[] = {&a, nullptr};
    EXPECT_EQ(WaitAny(nullptr, 0, 0), kWaitFailed);
    EXPECT_EQ(WaitAny(withNull, 0, 0), kWaitFailed);
    EXPECT_EQ(WaitAny(withNull, 2, 0), kWaitFailed);
}

TEST(WaitAny, ManyNotificationsAreNeverLost) {
    // A streaming thread and the mixer: every Set is seen, at most merged.
    Event refill(false, false), quit(true, false);
    Event* list[] = {&refill, &quit};
    std::atomic<int> seen{0};
    auto streamer = StartThread([&] {
        for (;;) {
            uint32_t r = WaitAny(list, 2, 5000);
            if (r != 0) return r;
            ++seen;
        }
    });
    uint32_t start = Now();
    for (int i = 0; i < 200 && Now() - start < 5000; ++i) {
        int before = seen.load();
        refill.Set();
        while (seen.load() == before && Now() - start < 5000) std::this_thread::yield();
    }
    quit.Set();
    streamer->Join();
    EXPECT_EQ(streamer->ExitCode(), 1u);
    EXPECT_EQ(seen.load(), 200);
}

}  // namespace
}  // namespace host::kernel
