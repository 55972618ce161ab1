// Fuzz target: any bytes opened as a movie from memory with a sound device
// on the null output, played to its stop time (at most a few dozen steps of
// a clock that moves only when told to) taking every step's frame and
// mixing its sound, then stopped, rewound and played again.
#include "host/kernel/Kernel.h"
#include "host/movie/Movie.h"
#include "host/sound/Sound.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

struct Sound {
    Sound()
    {
        host::kernel::SetClock(&clock);
        host::sound::SetNullOutput(&output);
        if (host::sound::CreateDevice(device) != host::sound::Result::Ok ||
            device->SetCooperativeLevel(&output, host::sound::kCoopPriority) != host::sound::Result::Ok)
            std::abort();
    }

    host::kernel::FakeClock clock{1000};
    host::sound::NullOutput output;
    std::unique_ptr<host::sound::Device> device;
};

void Check(bool condition)
{
    if (!condition) std::abort();
}

void PlayThrough(host::movie::Movie& movie, Sound& sound, int steps)
{
    using host::movie::Result;
    const host::movie::MovieInfo& info = movie.Info();
    std::vector<uint8_t> frame(info.frameBytes);
    std::vector<int16_t> mixed(2 * 4410);
    Check(movie.Play() == Result::Ok);
    const uint32_t stepMs = std::max<uint32_t>(100, uint32_t(info.stopTime * 1000.0 / steps) + 1);
    for (int step = 0; step < steps; ++step) {
        Check(movie.GetFrame(frame.data(), frame.size()) == Result::Ok);
        sound.output.MixFrames(4410, mixed.data());
        const double position = movie.GetPosition();
        Check(position >= 0.0 && position <= info.stopTime);
        if (position >= info.stopTime) break;
        sound.clock.Advance(stepMs);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Sound sound;
    std::unique_ptr<host::movie::Movie> movie;
    if (host::movie::OpenMovieFromMemory(data, size, sound.device.get(), movie) != host::movie::Result::Ok) {
        Check(!movie);
        return 0;
    }
    const host::movie::MovieInfo& info = movie->Info();
    Check(info.width >= 1 && info.width <= host::movie::kMaxSide);
    Check(info.height >= 1 && info.height <= host::movie::kMaxSide);
    Check(info.frameBytes == info.width * info.height * host::movie::kBytesPerPixel);
    PlayThrough(*movie, sound, 30);
    // A rewind opens the same bytes again, so it cannot fail.
    Check(movie->Stop() == host::movie::Result::Ok);
    Check(movie->GetPosition() == 0.0);
    PlayThrough(*movie, sound, 3);
    return 0;
}
