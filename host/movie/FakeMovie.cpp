// Synthetic movies for tests. Movies share the backend's state, so failures
// scripted after an open still reach them, and they may outlive the backend.
#include "host/movie/FakeMovie.h"

#include "host/movie/PlayClock.h"
#include "host/sound/Sound.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace host::movie {

struct FakeBackend::State {
    struct Failure {
        Call call;
        Result result;
        uint32_t left;   // 0: until cleared
    };

    std::map<std::string, FakeMovieSpec> movies;
    std::vector<Failure> failures;
    uint32_t calls[static_cast<int>(Call::Count)] = {};
    uint32_t live = 0;
    int32_t volume = 0;

    Result Take(Call call)
    {
        ++calls[static_cast<int>(call)];
        for (auto it = failures.begin(); it != failures.end(); ++it) {
            if (it->call != call) continue;
            const Result r = it->result;
            if (it->left > 0 && --it->left == 0) failures.erase(it);
            return r;
        }
        return Result::Ok;
    }
};

namespace {

std::string Key(std::string_view path)
{
    std::string key(path);
    std::replace(key.begin(), key.end(), '\\', '/');
    return key;
}

class FakeMovie final : public Movie {
public:
    FakeMovie(std::shared_ptr<FakeBackend::State> state, const FakeMovieSpec& spec, bool sound)
        : state_(std::move(state)), spec_(spec), clock_(uint64_t(spec.frames) * spec.frameMs)
    {
        info_.width = spec.width;
        info_.height = spec.height;
        info_.frameBytes = spec.width * spec.height * kBytesPerPixel;
        info_.stopTime = clock_.StopSeconds();
        info_.hasSound = spec.sound && sound;
        ++state_->live;
    }
    ~FakeMovie() override { --state_->live; }

    const MovieInfo& Info() const override { return info_; }

    Result Play() override
    {
        if (Result r = state_->Take(Call::Play); r != Result::Ok) return r;
        clock_.Start();
        return Result::Ok;
    }
    Result Stop() override
    {
        if (Result r = state_->Take(Call::Stop); r != Result::Ok) return r;
        clock_.Rewind();
        return Result::Ok;
    }
    bool IsPlaying() const override { return clock_.Running(); }

    Result GetFrame(void* out, size_t bytes) override
    {
        if (Result r = state_->Take(Call::GetFrame); r != Result::Ok) return r;
        if (!out || bytes < info_.frameBytes) return Result::InvalidParam;
        const uint32_t frame =
            std::min<uint64_t>(clock_.PositionMs() / std::max(spec_.frameMs, 1u), std::max(spec_.frames, 1u) - 1);
        auto* p = static_cast<uint8_t*>(out);
        for (uint32_t row = 0; row < info_.height; ++row)
            for (uint32_t x = 0; x < info_.width; ++x, p += kBytesPerPixel)
                FakeBackend::Pixel(frame, x, info_.height - 1 - row, p);
        return Result::Ok;
    }
    double GetPosition() override { return clock_.Seconds(); }

    Result SetVolume(int32_t volume) override
    {
        if (Result r = state_->Take(Call::SetVolume); r != Result::Ok) return r;
        if (!info_.hasSound) return Result::NoAudio;
        if (volume < host::sound::kVolumeMin || volume > host::sound::kVolumeMax) return Result::InvalidParam;
        state_->volume = volume;
        return Result::Ok;
    }

private:
    std::shared_ptr<FakeBackend::State> state_;
    FakeMovieSpec spec_;
    MovieInfo info_;
    PlayClock clock_;
};

}  // namespace

FakeBackend::FakeBackend() : state_(std::make_shared<State>()) {}

FakeBackend::~FakeBackend() = default;

void FakeBackend::AddMovie(std::string_view path, const FakeMovieSpec& spec) { state_->movies[Key(path)] = spec; }

void FakeBackend::Fail(Call call, Result result, uint32_t times)
{
    state_->failures.push_back({call, result, times});
}

void FakeBackend::ClearFailures() { state_->failures.clear(); }

uint32_t FakeBackend::Calls(Call call) const { return state_->calls[static_cast<int>(call)]; }

uint32_t FakeBackend::LiveMovies() const { return state_->live; }

int32_t FakeBackend::Volume() const { return state_->volume; }

void FakeBackend::Pixel(uint32_t frame, uint32_t x, uint32_t y, uint8_t bgr[3])
{
    bgr[0] = uint8_t(x);
    bgr[1] = uint8_t(y);
    bgr[2] = uint8_t(frame);
}

Result FakeBackend::Open(std::string_view path, host::sound::Device* sound, std::unique_ptr<Movie>& out)
{
    out.reset();
    if (Result r = state_->Take(Call::Open); r != Result::Ok) return r;
    const auto it = state_->movies.find(Key(path));
    if (it == state_->movies.end()) return Result::NotFound;
    const FakeMovieSpec& spec = it->second;
    if (!SizeFits(spec.width, spec.height))
        return Result::BadData;
    out = std::make_unique<FakeMovie>(state_, spec, sound != nullptr);
    return Result::Ok;
}

}  // namespace host::movie
