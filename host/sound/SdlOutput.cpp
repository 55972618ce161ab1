// The players' output: an SDL2 audio device whose callback runs the mixer.
#include "host/sound/Mixer.h"

#include <SDL.h>

namespace host::sound {

namespace {

// About 23 ms at 44.1 kHz: short enough for effects to start promptly.
constexpr uint16_t kPeriodFrames = 1024;

class SdlOutput final : public Output {
public:
    ~SdlOutput() override {
        Close();
        if (subsystem_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    Result Open(Mixer& mixer, uint32_t rate, uint16_t channels) override {
        if (!subsystem_) {
            if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return Result::NoDriver;
            subsystem_ = true;
        }
        mixer_ = &mixer;
        channels_ = channels;
        SDL_AudioSpec want{};
        want.freq = int(rate);
        want.format = AUDIO_S16SYS;
        want.channels = uint8_t(channels);
        want.samples = kPeriodFrames;
        want.callback = &SdlOutput::Callback;
        want.userdata = this;
        SDL_AudioSpec have{};
        // No changes allowed: SDL converts to whatever the card wants.
        device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (device_ == 0) return Result::NoDriver;
        latency_ = have.samples;
        SDL_PauseAudioDevice(device_, 0);
        return Result::Ok;
    }

    void Close() override {
        if (device_ != 0) {
            SDL_CloseAudioDevice(device_);
            device_ = 0;
        }
    }

    uint32_t LatencyFrames() const override { return latency_; }

private:
    static void SDLCALL Callback(void* user, Uint8* stream, int len) {
        auto* self = static_cast<SdlOutput*>(user);
        const uint32_t frames = uint32_t(len) / (2u * self->channels_);
        self->mixer_->Mix(frames, reinterpret_cast<int16_t*>(stream));
    }

    bool subsystem_ = false;
    SDL_AudioDeviceID device_ = 0;
    Mixer* mixer_ = nullptr;
    uint16_t channels_ = 2;
    uint32_t latency_ = 0;
};

}  // namespace

std::unique_ptr<Output> CreateSdlOutput() { return std::make_unique<SdlOutput>(); }

}  // namespace host::sound
