#include "host/movie/Movie.h"

#include <atomic>

namespace host::movie {

namespace {

std::atomic<Backend*> g_backend{nullptr};

}  // namespace

const char* ResultName(Result r)
{
    switch (r) {
    case Result::Ok: return "Ok";
    case Result::Failed: return "Failed";
    case Result::NotFound: return "NotFound";
    case Result::BadData: return "BadData";
    case Result::InvalidParam: return "InvalidParam";
    case Result::NoAudio: return "NoAudio";
    case Result::Unsupported: return "Unsupported";
    }
    return "?";
}

void SetBackend(Backend* backend) { g_backend.store(backend); }

Result OpenMovie(std::string_view path, host::sound::Device* sound, std::unique_ptr<Movie>& out)
{
    Backend* backend = g_backend.load();
    return (backend ? *backend : FfmpegBackend()).Open(path, sound, out);
}

}  // namespace host::movie
