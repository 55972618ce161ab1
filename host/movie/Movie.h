// The movie service: a movie file opened, played against the kernel clock,
// its current frame copied out for drawing and its sound played through the
// sound service, stopped and rewound. In place of a filter graph with a
// sample grabber, so the game draws movies into textures of its own.
//
// Frames are 3 bytes a pixel, blue, green, red in memory, rows packed with
// no padding and the bottom row first (a bottom-up bitmap): the callers copy
// them into a texture as they come and draw it mirrored top to bottom.
//
// Time: a movie's position is kernel time (host::kernel::TimeGetTime) since
// it was played, never more than its stop time; a test that installs a
// FakeClock decides which frame shows.
//
// Backends: FFmpeg (the default) and FakeBackend (FakeMovie.h), whose movies
// are synthetic and whose calls a test can make fail. A movie is used from
// one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace host::sound { class Device; }

namespace host::movie {

enum class Result : int32_t {
    Ok = 0,
    Failed,         // the backend could not do it
    NotFound,       // the file cannot be opened
    BadData,        // not a movie that can be played: damaged, truncated, no video, unknown codec
    InvalidParam,   // a bad argument (a frame buffer too small, a volume out of range)
    NoAudio,        // the movie plays no sound (none in the file, or no sound device)
    Unsupported,    // a picture codec or size no game movie has (H.264, past SizeFits)
};
const char* ResultName(Result r);

constexpr uint32_t kBytesPerPixel = 3;
// Far above any movie made for a screen (8K included); the pixel count keeps
// a frame's decoding and copy near 100 MB.
constexpr uint32_t kMaxSide = 8192;
constexpr uint64_t kMaxPixels = uint64_t(8192) * 4320;
constexpr bool SizeFits(uint64_t width, uint64_t height)
{
    return width >= 1 && height >= 1 && width <= kMaxSide && height <= kMaxSide && width * height <= kMaxPixels;
}

struct MovieInfo {
    uint32_t width = 0;          // pixels, 1..kMaxSide, as SizeFits
    uint32_t height = 0;         // 1..kMaxSide
    uint32_t frameBytes = 0;     // width x height x kBytesPerPixel
    double stopTime = 0.0;       // seconds from the start to the end of the movie
    bool hasSound = false;       // its sound plays through the device it was opened with
};

class Movie {
public:
    virtual ~Movie() = default;
    virtual const MovieInfo& Info() const = 0;

    // Starts the movie (and its sound) at its position: the start after an
    // open or a stop. Playing on while it plays.
    virtual Result Play() = 0;
    // Stops it (and its sound) and rewinds it to the start.
    virtual Result Stop() = 0;
    virtual bool IsPlaying() const = 0;

    // The frame that shows at the current position into out, which holds at
    // least Info().frameBytes bytes. After the end the last frame stays.
    // Also keeps the sound fed: a playing movie is asked every frame.
    virtual Result GetFrame(void* out, size_t bytes) = 0;
    // Seconds from the start, 0..Info().stopTime. Also keeps the sound fed.
    virtual double GetPosition() = 0;

    // The sound's volume in hundredths of a decibel, -10000..0.
    virtual Result SetVolume(int32_t volume) = 0;
};

class Backend {
public:
    virtual ~Backend() = default;
    // Opens a movie from a path (code page 932, '\' or '/', as
    // host::kernel::OpenFile takes it). Its sound plays through sound when
    // given; null plays it silent.
    virtual Result Open(std::string_view path, host::sound::Device* sound, std::unique_ptr<Movie>& out) = 0;
};

// The FFmpeg backend, the default.
Backend& FfmpegBackend();
// Installs a backend (not owned); null restores FFmpeg.
void SetBackend(Backend* backend);

// Opens through the installed backend.
Result OpenMovie(std::string_view path, host::sound::Device* sound, std::unique_ptr<Movie>& out);
// A movie from bytes in memory (copied), always through FFmpeg.
Result OpenMovieFromMemory(const void* data, size_t bytes, host::sound::Device* sound, std::unique_ptr<Movie>& out);

}  // namespace host::movie
