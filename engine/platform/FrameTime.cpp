#include "engine/platform/FrameTime.h"

#include "host/kernel/Kernel.h"

#include <atomic>
#include <cstdlib>

namespace {

FrameTimer g_timer = {};

// Written by the main thread's frame loop; loader threads may read them.
std::atomic<u32> g_frameMs{0};
std::atomic<f32> g_frameSeconds{0.0f};

}  // namespace

// The kernel clock already counts single milliseconds, so there is no
// timer period to raise here or to lower in EndFrameTimer.
void SetFrameRate(CSystem* window, u32 fps)
{
    g_timer.interval = fps ? 1000 / fps : 0;
    g_timer.startTime = g_timer.lastFrameTime = host::kernel::TimeGetTime();
    std::srand(host::kernel::TimeGetTime());
    g_timer.window = window;
}

void EndFrameTimer() { g_timer.window = nullptr; }

const FrameTimer& GetFrameTimer() { return g_timer; }

void SetFrameTime(u32 milliseconds)
{
    g_frameMs.store(milliseconds, std::memory_order_relaxed);
    g_frameSeconds.store(f32(f64(milliseconds) * 0.001), std::memory_order_relaxed);
}

u32 GetFrameTimeMs() { return g_frameMs.load(std::memory_order_relaxed); }

f32 GetFrameTime() { return g_frameSeconds.load(std::memory_order_relaxed); }
