// The FFmpeg backend: a decoder over the movie's bytes, timed by a play
// clock, its sound fed to the sound service. Stopping rewinds by opening
// the bytes afresh, so a movie played again decodes exactly as the first
// time.
#include "host/movie/FfmpegDecoder.h"
#include "host/movie/MovieSound.h"
#include "host/movie/PlayClock.h"

#include <cstring>

namespace host::movie {

namespace {

using ffmpeg::ByteSource;
using ffmpeg::Decoder;

class FfmpegMovie final : public Movie {
public:
    static Result Open(std::unique_ptr<ByteSource> source, host::sound::Device* device, std::unique_ptr<Movie>& out)
    {
        out.reset();
        const uint64_t stopMs = ffmpeg::MeasureStopMs(*source);
        std::unique_ptr<Decoder> decoder;
        if (Result r = Decoder::Open(*source, device != nullptr, decoder); r != Result::Ok) return r;
        std::unique_ptr<FfmpegMovie> movie(new FfmpegMovie(std::move(source), std::move(decoder), stopMs));
        const ffmpeg::StreamInfo& stream = movie->decoder_->Info();
        // A movie whose sound cannot be played plays silent.
        if (device && stream.soundRate > 0)
            movie->sound_ = MovieSound::Create(*device, stream.soundRate, stream.soundChannels);
        movie->info_.hasSound = movie->sound_ != nullptr;
        out = std::move(movie);
        return Result::Ok;
    }

    const MovieInfo& Info() const override { return info_; }

    Result Play() override
    {
        if (!decoder_) return Result::Failed;
        if (clock_.Running()) return Result::Ok;
        clock_.Start();
        // Without its sound the movie goes on silent.
        if (sound_) sound_->Start(feed_);
        return Result::Ok;
    }

    Result Stop() override
    {
        clock_.Rewind();
        if (sound_) sound_->Stop();
        decoder_.reset();
        return Decoder::Open(*source_, sound_ != nullptr, decoder_);
    }

    bool IsPlaying() const override { return clock_.Running(); }

    Result GetFrame(void* out, size_t bytes) override
    {
        if (!out || bytes < info_.frameBytes) return Result::InvalidParam;
        if (!decoder_) return Result::Failed;
        const uint64_t ms = Service();
        decoder_->AdvanceTo(ms);
        const uint8_t* picture = decoder_->Picture();
        const size_t row = size_t(info_.width) * kBytesPerPixel;
        auto* to = static_cast<uint8_t*>(out);
        for (uint32_t y = 0; y < info_.height; ++y)
            std::memcpy(to + size_t(info_.height - 1 - y) * row, picture + y * decoder_->PictureStride(), row);
        return Result::Ok;
    }

    double GetPosition() override { return double(Service()) / 1000.0; }

    Result SetVolume(int32_t volume) override { return sound_ ? sound_->SetVolume(volume) : Result::NoAudio; }

private:
    FfmpegMovie(std::unique_ptr<ByteSource> source, std::unique_ptr<Decoder> decoder, uint64_t stopMs)
        : source_(std::move(source)), decoder_(std::move(decoder)), clock_(stopMs)
    {
        const ffmpeg::StreamInfo& stream = decoder_->Info();
        info_.width = stream.width;
        info_.height = stream.height;
        info_.frameBytes = stream.width * stream.height * kBytesPerPixel;
        info_.stopTime = clock_.StopSeconds();
        feed_ = [this](int16_t* samples, size_t frames) { return decoder_ ? decoder_->ReadSound(samples, frames) : 0; };
    }

    // The position in milliseconds, the sound fed up to it.
    uint64_t Service()
    {
        const uint64_t ms = clock_.PositionMs();
        if (sound_ && clock_.Running()) sound_->Feed(feed_, ms);
        return ms;
    }

    std::unique_ptr<ByteSource> source_;
    std::unique_ptr<Decoder> decoder_;   // null once a rewind failed
    std::unique_ptr<MovieSound> sound_;
    MovieSound::Source feed_;
    MovieInfo info_;
    PlayClock clock_;
};

class FfmpegBackendImpl final : public Backend {
public:
    Result Open(std::string_view path, host::sound::Device* sound, std::unique_ptr<Movie>& out) override
    {
        out.reset();
        std::unique_ptr<host::kernel::File> file = host::kernel::OpenFile(path, "rb");
        if (!file) return Result::NotFound;
        return FfmpegMovie::Open(ffmpeg::FileSource(std::move(file)), sound, out);
    }
};

}  // namespace

Backend& FfmpegBackend()
{
    static FfmpegBackendImpl backend;
    return backend;
}

Result OpenMovieFromMemory(const void* data, size_t bytes, host::sound::Device* sound, std::unique_ptr<Movie>& out)
{
    out.reset();
    if (!data && bytes > 0) return Result::InvalidParam;
    const auto* p = static_cast<const uint8_t*>(data);
    return FfmpegMovie::Open(ffmpeg::MemorySource(std::vector<uint8_t>(p, p + bytes)), sound, out);
}

}  // namespace host::movie
