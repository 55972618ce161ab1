// A movie's sound on the sound service: a looping buffer of two seconds that
// the movie refills a second ahead of its play cursor whenever it is asked
// for a frame or its position.
//
// Sound frame k of the movie goes to frame k of the ring (modulo its size),
// and the buffer starts with the movie's clock, so each sound frame plays at
// its own time. Frames the cursor has passed before they were written are
// skipped, and played frames are cleared, so a late refill is heard as a gap
// of silence, never as old sound, and the sound stays in step with the
// pictures. When the cursor falls half a ring or more behind the clock
// (refills further apart than the ring, an output that stalled) the whole
// rings it missed are counted from the clock.
#pragma once

#include "host/movie/Movie.h"
#include "host/sound/Sound.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace host::movie {

class MovieSound {
public:
    // Writes up to `frames` interleaved 16-bit frames to out, or drops them
    // when out is null; returns how many there were (fewer at the end of
    // the sound, or while none is decoded).
    using Source = std::function<size_t(int16_t* out, size_t frames)>;

    static constexpr uint32_t kRingSeconds = 2;
    static constexpr uint32_t kLeadSeconds = 1;

    // A stopped buffer for rate and 1 or 2 channels; null when the device
    // cannot make one.
    static std::unique_ptr<MovieSound> Create(host::sound::Device& device, uint32_t rate, uint16_t channels);

    // Plays from sound frame 0, the ring filled a second ahead from source.
    Result Start(const Source& source);
    void Stop();
    // Brings the ring up to the clock (ms from the start) and refills it.
    void Feed(const Source& source, uint64_t clockMs);
    Result SetVolume(int32_t volume);

    uint64_t Written() const { return written_; }
    uint64_t Played() const { return played_; }

private:
    MovieSound(std::unique_ptr<host::sound::Buffer> buffer, uint32_t rate, uint16_t channels);
    // Writes count frames of data (silence for null) from ring frame `at` on.
    bool WriteRing(uint64_t at, uint64_t count, const int16_t* data);
    bool UpdatePlayed(uint64_t clockMs);

    std::unique_ptr<host::sound::Buffer> buffer_;
    uint32_t rate_;
    uint16_t channels_;
    uint32_t ringFrames_;
    uint32_t leadFrames_;
    uint64_t written_ = 0;   // sound frames written since the start
    uint64_t played_ = 0;    // sound frames the cursor has passed
    uint32_t lastCursor_ = 0;
    bool playing_ = false;
    std::vector<int16_t> scratch_;
};

}  // namespace host::movie
