// The frame timer and the process-wide frame time.
//
// The application starts the timer once (60 frames per second) and ends it
// on exit; the game's frame loops store each frame's elapsed time with
// SetFrameTime, and every time-scaled movement reads it back. Where nothing
// stores it (the configuration tool) the frame time stays 0.
#pragma once

#include "engine/core/Types.h"

class CSystem;

struct FrameTimer {
    u32 startTime;       // kernel clock, ms, when the timer was started
    u32 interval;        // ms per frame: 1000 / fps, 0 for 0 fps
    u32 lastFrameTime;   // kernel clock, ms
    CSystem* window;     // the window the timer was started for
};

// Starts the timer: interval from fps, start and last-frame time from the
// kernel clock, and the C runtime's rand seeded from it.
void SetFrameRate(CSystem* window, u32 fps);
// Ends it; the window is forgotten (its owner deletes it first).
void EndFrameTimer();
const FrameTimer& GetFrameTimer();

// The last frame's elapsed time: milliseconds, and seconds (ms x 0.001).
void SetFrameTime(u32 milliseconds);
u32 GetFrameTimeMs();
f32 GetFrameTime();
