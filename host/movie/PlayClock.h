// The play position of a movie: kernel milliseconds counted while it plays,
// held at its stop time. Both backends keep time with it, so a FakeClock
// steps their frames alike.
#pragma once

#include "host/kernel/Kernel.h"

#include <algorithm>
#include <cstdint>

namespace host::movie {

class PlayClock {
public:
    explicit PlayClock(uint64_t stopMs = 0) : stopMs_(stopMs) {}

    void Start()
    {
        if (running_) return;
        running_ = true;
        lastMs_ = host::kernel::TimeGetTime();
    }
    // Stops and rewinds to the start.
    void Rewind()
    {
        running_ = false;
        positionMs_ = 0;
    }
    bool Running() const { return running_; }

    // Milliseconds from the start, at most the stop time. The kernel counter
    // wraps; it is read often enough that each step is short, and a step
    // back (a clock set back) counts as none.
    uint64_t PositionMs()
    {
        if (running_) {
            const uint32_t now = host::kernel::TimeGetTime();
            const int32_t step = int32_t(now - lastMs_);
            if (step > 0) positionMs_ = std::min<uint64_t>(positionMs_ + uint32_t(step), stopMs_);
            lastMs_ = now;
        }
        return positionMs_;
    }
    uint64_t StopMs() const { return stopMs_; }
    double StopSeconds() const { return double(stopMs_) / 1000.0; }
    double Seconds() { return double(PositionMs()) / 1000.0; }

private:
    uint64_t stopMs_;
    uint64_t positionMs_ = 0;
    uint32_t lastMs_ = 0;
    bool running_ = false;
};

}  // namespace host::movie
