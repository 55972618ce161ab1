// The fake movie backend: movies a test declares by path, whose frames are
// made from their number and position, timed by the kernel clock; any call
// can be made to fail.
//
//   host::movie::FakeBackend fake;
//   host::movie::SetBackend(&fake);
//   fake.AddMovie("Movie\\OP.mpg", {.width = 32, .height = 16, .frames = 5});
//   fake.Fail(host::movie::Call::Play);
//   ... code under test ...
//   host::movie::SetBackend(nullptr);
#pragma once

#include "host/movie/Movie.h"

#include <memory>
#include <string_view>

namespace host::movie {

// The calls a FakeBackend can be told to fail.
enum class Call : uint8_t { Open, Play, Stop, GetFrame, SetVolume, Count };

struct FakeMovieSpec {
    uint32_t width = 64;
    uint32_t height = 48;
    uint32_t frames = 10;      // frame n shows from n x frameMs; the stop time is frames x frameMs
    uint32_t frameMs = 100;
    bool sound = true;         // heard (and given a volume) only when opened with a sound device
};

class FakeBackend : public Backend {
public:
    FakeBackend();
    ~FakeBackend() override;
    FakeBackend(const FakeBackend&) = delete;
    FakeBackend& operator=(const FakeBackend&) = delete;

    // A movie at path; '\' and '/' are the same, the rest compares exactly.
    void AddMovie(std::string_view path, const FakeMovieSpec& spec = {});
    // The next `times` calls of `call` (0: every call until cleared) return
    // result and do nothing else.
    void Fail(Call call, Result result = Result::Failed, uint32_t times = 1);
    void ClearFailures();
    // Calls made so far, failed ones included.
    uint32_t Calls(Call call) const;
    // Movies opened and not yet destroyed.
    uint32_t LiveMovies() const;
    // The volume the last SetVolume set, 0 before any.
    int32_t Volume() const;

    // The pixel (blue, green, red) of a frame at (x, y), y counted from the
    // top of the picture: blue x, green y, red the frame number, each the
    // low 8 bits.
    static void Pixel(uint32_t frame, uint32_t x, uint32_t y, uint8_t bgr[3]);

    Result Open(std::string_view path, host::sound::Device* sound, std::unique_ptr<Movie>& out) override;

    struct State;   // shared with the fake's movies; FakeMovie.cpp

private:
    std::shared_ptr<State> state_;
};

}  // namespace host::movie
