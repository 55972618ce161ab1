// The millisecond clock, Sleep and the local time. The real clock reads the
// monotonic clock (so the counter starts near boot, as timeGetTime does, and
// never jumps with the wall clock); a test installs a FakeClock instead.
// <chrono> itself cannot be included under -fexec-charset=CP932 (GCC 12's
// copy holds a "\u00b5s" literal that CP932 cannot encode): the durations
// come with <thread>.
#include "host/kernel/Kernel.h"

#include <atomic>
#include <ctime>
#include <thread>

namespace host::kernel {
namespace {

class RealClock final : public Clock {
public:
    uint32_t Milliseconds() override {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
        return static_cast<uint32_t>(ms);   // wraps every 49.7 days, as timeGetTime does
    }

    void Sleep(uint32_t ms) override {
        if (ms == 0)
            std::this_thread::yield();
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }

    LocalTime Now() override {
        timespec ts{};
        clock_gettime(CLOCK_REALTIME, &ts);
        tm local{};
        localtime_r(&ts.tv_sec, &local);
        LocalTime t{};
        t.year = static_cast<uint16_t>(local.tm_year + 1900);
        t.month = static_cast<uint16_t>(local.tm_mon + 1);
        t.dayOfWeek = static_cast<uint16_t>(local.tm_wday);   // 0 = Sunday, as SYSTEMTIME
        t.day = static_cast<uint16_t>(local.tm_mday);
        t.hour = static_cast<uint16_t>(local.tm_hour);
        t.minute = static_cast<uint16_t>(local.tm_min);
        t.second = static_cast<uint16_t>(local.tm_sec > 59 ? 59 : local.tm_sec);
        t.milliseconds = static_cast<uint16_t>(ts.tv_nsec / 1000000);
        return t;
    }
};

std::atomic<Clock*> g_installed{nullptr};

Clock& CurrentClock() {
    static RealClock real;
    Clock* clock = g_installed.load(std::memory_order_acquire);
    return clock ? *clock : real;
}

}  // namespace

void SetClock(Clock* clock) { g_installed.store(clock, std::memory_order_release); }

uint32_t TimeGetTime() { return CurrentClock().Milliseconds(); }

void Sleep(uint32_t ms) { CurrentClock().Sleep(ms); }

LocalTime GetLocalTime() { return CurrentClock().Now(); }

}  // namespace host::kernel
