#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <dirent.h>
#include <sched.h>
#include <fstream>
#include <string>
#include <memory>
#include <thread>
#include <vector>

namespace host::kernel {
namespace ORV_TEST_FILE_ID {

namespace {

using namespace std::chrono_literals;

uint32_t Now() {   // real milliseconds, whatever Clock is installed
    return uint32_t(std::chrono::steady_clock::now().time_since_epoch() / 1ms);
}

TEST(Thread, WaitTimesOutUntilTheBodyReturnsItsExitCode) {
    Event go(true, false);
    auto thread = StartThread([&] { go.Wait(); return 7u; });
    ASSERT_NE(thread, nullptr);
    EXPECT_FALSE(thread->Wait(20));
    EXPECT_EQ(thread->ExitCode(), kStillActive);
    go.Set();
    EXPECT_TRUE(thread->Wait(5000));
    EXPECT_EQ(thread->ExitCode(), 7u);
    EXPECT_TRUE(thread->Wait(0));   // an ended thread stays signalled
    EXPECT_EQ(StartThread({}), nullptr);

    std::atomic<bool> finished{false};
    StartThread([&] { std::this_thread::sleep_for(30ms); finished = true; return 0u; });
    EXPECT_TRUE(finished.load());   // the destructor joined
}

size_t ThreadsNamed(const std::string& name) {
    size_t count = 0;
    DIR* tasks = opendir("/proc/self/task");
    while (dirent* e = tasks ? readdir(tasks) : nullptr) {
        std::ifstream comm(std::string("/proc/self/task/") + e->d_name + "/comm");
        std::string line;
        if (std::getline(comm, line) && line == name) ++count;
    }
    if (tasks) closedir(tasks);
    return count;
}

// A test that looks for a thread by name right after starting it must find
// it, whatever the new thread has run by then; names keep 15 bytes.
TEST(Thread, IsNamedBeforeStartReturns) {
    Event go(true, false);
    auto named = StartThread([&] { go.Wait(); return 0u; }, "named-at-start");
    auto cut = StartThread([&] { go.Wait(); return 0u; }, "a-name-past-fifteen-bytes");
    auto plain = StartThread([&] { go.Wait(); return 0u; });
    EXPECT_EQ(ThreadsNamed("named-at-start"), 1u);
    EXPECT_EQ(ThreadsNamed("a-name-past-fif"), 1u);
    go.Set();
    named.reset();
    EXPECT_EQ(ThreadsNamed("named-at-start"), 0u);
}

TEST(PooledThread, WaitsForTheBodyAndTakesAFreedThreadAgain) {
    Event go(true, false);
    std::thread::id first;
    auto body = StartPooledThread([&] { first = std::this_thread::get_id(); go.Wait(); return 9u; });
    ASSERT_NE(body, nullptr);
    EXPECT_FALSE(body->Wait(20));
    EXPECT_EQ(body->ExitCode(), kStillActive);
    go.Set();
    body->Join();
    EXPECT_EQ(body->ExitCode(), 9u);
    EXPECT_TRUE(body->Wait(0));
    EXPECT_EQ(StartPooledThread({}), nullptr);

    // Once its thread is idle again (named so, under the pool's lock, before
    // it waits), the next body runs on it. A fixed pause would not do under
    // ThreadSanitizer on a loaded machine.
    const uint32_t begin = Now();
    while (ThreadsNamed("pool-idle") == 0 && Now() - begin < 5000) std::this_thread::sleep_for(1ms);
    ASSERT_EQ(ThreadsNamed("pool-idle"), 1u);
    std::thread::id second;
    StartPooledThread([&] { second = std::this_thread::get_id(); return 0u; })->Join();
    EXPECT_EQ(second, first);

    std::atomic<bool> finished{false};
    StartPooledThread([&] { std::this_thread::sleep_for(30ms); finished = true; return 0u; });
    EXPECT_TRUE(finished.load());   // the handle's end waited for the body
}

// What a finished body holds goes with it, not when its thread takes the
// next body: a pooled thread may wait idle for a long time.
TEST(PooledThread, AFinishedBodyLetsGoOfWhatItHolds) {
    auto held = std::make_shared<int>(5);
    const std::weak_ptr<int> watch = held;
    std::atomic<int> seen{0};
    auto body = StartPooledThread([&seen, held = std::move(held)] { seen = *held; return 0u; });
    ASSERT_NE(body, nullptr);
    body->Join();
    EXPECT_EQ(seen.load(), 5);
    const uint32_t begin = Now();
    while (!watch.expired() && Now() - begin < 5000) std::this_thread::sleep_for(1ms);
    EXPECT_TRUE(watch.expired());
}

// Bodies that each wait for all the others: every one must have a thread of
// its own at once, however many are busy.
TEST(PooledThread, NoBodyWaitsForAnother) {
    constexpr int kBodies = 24;
    std::atomic<int> started{0}, met{0};
    std::vector<std::unique_ptr<Thread>> bodies;
    for (int i = 0; i < kBodies; ++i) {
        bodies.push_back(StartPooledThread([&] {
            ++started;
            const uint32_t begin = Now();
            while (started.load() < kBodies && Now() - begin < 5000) std::this_thread::yield();
            if (started.load() == kBodies) ++met;
            return 0u;
        }));
        ASSERT_NE(bodies.back(), nullptr);
    }
    for (auto& b : bodies) b->Join();
    EXPECT_EQ(met.load(), kBodies);
}

bool OtherThreadCanEnter(CriticalSection& cs) {
    bool got = false;
    std::thread([&] {
        if ((got = cs.TryEnter())) cs.Leave();
    }).join();
    return got;
}

TEST(CriticalSection, IsRecursiveAndExcludesOtherThreads) {
    CriticalSection cs;
    cs.Enter();
    ASSERT_TRUE(cs.TryEnter());   // a plain mutex would refuse
    cs.Leave();
    { Lock again(cs); }
    EXPECT_FALSE(OtherThreadCanEnter(cs));   // still held once
    cs.Leave();
    EXPECT_TRUE(OtherThreadCanEnter(cs));

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
    { auto a = StartThread(body), b = StartThread(body); }   // the destructors join
    EXPECT_EQ(counter, 40000);
    EXPECT_EQ(overlaps.load(), 0);
}

TEST(Event, AutoResetWakesOneWaiterAndClearsManualResetWakesAllUntilReset) {
    EXPECT_EQ(Event(false, true).Wait(0), 0u);
    for (bool manual : {false, true}) {
        SCOPED_TRACE(manual ? "manual" : "auto");
        Event event(manual, false);
        std::atomic<int> woken{0};
        auto waiter = [&] {
            if (event.Wait(5000) == 0) ++woken;
            return 0u;
        };
        auto a = StartThread(waiter), b = StartThread(waiter);
        std::this_thread::sleep_for(30ms);   // both asleep
        event.Set();
        std::this_thread::sleep_for(100ms);
        EXPECT_EQ(woken.load(), manual ? 2 : 1);
        event.Set();
        a->Join();
        b->Join();
        EXPECT_EQ(woken.load(), 2);
        event.Set();
        event.Set();   // no count: two sets before a wait are one
        EXPECT_EQ(event.Wait(0), 0u);
        EXPECT_EQ(event.Wait(0), manual ? 0u : kWaitTimeout);
        event.Reset();
        EXPECT_EQ(event.Wait(0), kWaitTimeout);
    }
}

TEST(WaitAny, AnswersTheLowestSetIndexAndClearsOnlyThatEvent) {
    Event manual(true, false), autoA(false, false), autoB(false, false);
    Event* list[] = {&autoA, &manual, &autoB};
    EXPECT_EQ(WaitAny(list, 3, 0), kWaitTimeout);
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

    Event* withNull[] = {&autoA, nullptr};
    EXPECT_EQ(WaitAny(nullptr, 0, 0), kWaitFailed);
    EXPECT_EQ(WaitAny(withNull, 2, 0), kWaitFailed);
}

TEST(WaitAny, TimedWaitsLastTheirTime) {
    Event a(false, false), b(true, false);
    Event* list[] = {&a, &b};
    uint32_t start = Now();
    EXPECT_EQ(a.Wait(60), kWaitTimeout);
    EXPECT_GE(Now() - start, 59u);
    start = Now();
    EXPECT_EQ(WaitAny(list, 2, 40), kWaitTimeout);
    EXPECT_GE(Now() - start, 39u);
}

// A streaming thread and the mixer: every Set is seen, at most merged.
TEST(WaitAny, ManyNotificationsAreNeverLost) {
    Event refill(false, false), quit(true, false);
    Event* list[] = {&refill, &quit};
    std::atomic<int> seen{0};
    auto streamer = StartThread([&] {
        for (;;) {
            const uint32_t r = WaitAny(list, 2, 5000);
            if (r != 0) return r;
            ++seen;
        }
    });
    const uint32_t start = Now();
    for (int i = 0; i < 200 && Now() - start < 5000; ++i) {
        const int before = seen.load();
        refill.Set();
        while (seen.load() == before && Now() - start < 5000) std::this_thread::yield();
    }
    quit.Set();
    streamer->Join();
    EXPECT_EQ(streamer->ExitCode(), 1u);
    EXPECT_EQ(seen.load(), 200);
}

// A failure ends the work after it: no index past the first failure is
// begun once it is known, every index before it runs, and the lowest
// failing index comes back (a later failure found first gives way to it).
TEST(RunSideBySide, StopsPastTheFirstFailure) {
    struct Case {
        uint32_t count, atOnce;
        std::vector<uint32_t> failing;
        uint32_t first;
    };
    const Case cases[] = {
        {100, 1, {0}, 0}, {100, 4, {0}, 0}, {100, 4, {40}, 40}, {100, 4, {99}, 99}, {100, 4, {}, 100},
        {100, 1, {30, 31}, 30}, {0, 4, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.count << " at " << c.atOnce << " first " << c.first);
        std::vector<std::atomic<uint32_t>> calls(c.count);
        const uint32_t got = RunSideBySideUntil(c.count, c.atOnce, [&](uint32_t i) {
            ++calls[i];
            return std::find(c.failing.begin(), c.failing.end(), i) == c.failing.end();
        });
        EXPECT_EQ(got, c.first);
        uint32_t after = 0;
        for (uint32_t i = 0; i < c.count; ++i) {
            if (i <= c.first) EXPECT_EQ(calls[i].load(), 1u) << i;
            else after += calls[i].load();
        }
        // Only those already taken when the failure came: one a thread.
        EXPECT_LT(after, c.atOnce);
    }

    // A later index failing first: the earlier failure still wins.
    Event late{true, false};
    const uint32_t got = RunSideBySideUntil(50, 4, [&](uint32_t i) {
        if (i == 2) {
            late.Wait(5000);
            return false;
        }
        if (i == 3) {
            late.Set();
            return false;
        }
        return true;
    });
    EXPECT_EQ(got, 2u);
}

// Every index once, whatever the count; the calling thread among the
// runners and no more runners than asked for. Last of the file: it leaves
// pooled threads idle, which the pool's own tests count.
TEST(RunSideBySide, CallsEachIndexOnceOnAtMostTheThreadsAsked) {
    struct Case {
        uint32_t count, atOnce;
    };
    for (const Case c : {Case{0, 4}, Case{1, 4}, Case{5, 1}, Case{1000, 4}, Case{3, 8}}) {
        SCOPED_TRACE(::testing::Message() << c.count << " at " << c.atOnce);
        std::vector<std::atomic<uint32_t>> calls(c.count);
        std::vector<std::thread::id> by(c.count);
        RunSideBySide(c.count, c.atOnce, [&](uint32_t i) {
            ++calls[i];
            by[i] = std::this_thread::get_id();
        });
        std::vector<std::thread::id> runners;
        for (uint32_t i = 0; i < c.count; ++i) {
            EXPECT_EQ(calls[i].load(), 1u) << i;
            if (std::find(runners.begin(), runners.end(), by[i]) == runners.end()) runners.push_back(by[i]);
        }
        EXPECT_LE(runners.size(), size_t(c.atOnce));
        cpu_set_t allowed;
        ASSERT_EQ(sched_getaffinity(0, sizeof allowed, &allowed), 0);
        EXPECT_LE(runners.size(), size_t(CPU_COUNT(&allowed)));
        if (c.atOnce == 1 && c.count) {
            EXPECT_EQ(runners, std::vector<std::thread::id>{std::this_thread::get_id()});
        }
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace host::kernel
