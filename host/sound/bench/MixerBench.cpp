// The mixer's cost for 64 playing voices, per second of 44.1 kHz stereo output,
// beside the yardstick: OpenAL Soft (loaded at run time, skipped when missing)
// rendering the same voices through its loopback device.
#include "host/sound/Mixer.h"
#include "host/sound/Sound.h"

#include <benchmark/benchmark.h>

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>
#include <vector>

namespace {

using namespace host::sound;

constexpr uint32_t kRate = 44100;
constexpr int kVoices = 64;

void FillNoise(Buffer& buffer, uint32_t bytes, uint32_t seed) {
    LockedRegions r;
    if (buffer.Lock(0, bytes, r) != Result::Ok) return;
    auto* p = static_cast<uint8_t*>(r.first);
    for (uint32_t i = 0; i < r.firstBytes; ++i) {
        seed = seed * 1664525u + 1013904223u;
        p[i] = uint8_t(seed >> 24);
    }
    buffer.Unlock(r);
}

// Half the voices play 16-bit stereo at the output rate, the others 16-bit
// mono at 22050 Hz (resampled), all looping with volume and pan set.
void BM_Mix64Voices(benchmark::State& state) {
    NullOutput null;
    SetNullOutput(&null);
    std::unique_ptr<Device> device;
    if (CreateDevice(device) != Result::Ok) {
        state.SkipWithError("no device");
        return;
    }
    int window = 0;
    device->SetCooperativeLevel(&window, kCoopPriority);
    std::vector<std::unique_ptr<Buffer>> buffers;
    for (int i = 0; i < kVoices; ++i) {
        BufferDesc desc;
        desc.flags = kBufferStatic | kBufferCtrlVolume | kBufferCtrlPan;
        desc.format = i % 2 ? PcmFormat(22050, 1, 16) : PcmFormat(kRate, 2, 16);
        desc.bytes = desc.format.bytesPerSecond;
        std::unique_ptr<Buffer> b;
        device->CreateBuffer(desc, b);
        FillNoise(*b, desc.bytes, uint32_t(i));
        b->SetVolume(-100 * (i % 10));
        b->SetPan(-5000 + 150 * i);
        b->Play(kPlayLooping);
        buffers.push_back(std::move(b));
    }
    const uint32_t period = uint32_t(state.range(0));
    std::vector<int16_t> out(size_t(period) * 2);
    for (auto _ : state) {
        for (uint32_t done = 0; done < kRate; done += period) {
            null.MixFrames(period, out.data());
        }
        benchmark::DoNotOptimize(out.data());
    }
    // One iteration is one second of audio.
    state.SetItemsProcessed(state.iterations() * int64_t(kRate));
    state.counters["cpu_per_audio_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    buffers.clear();
    device.reset();
    SetNullOutput(nullptr);
}
BENCHMARK(BM_Mix64Voices)->Arg(1024)->Arg(256)->Unit(benchmark::kMillisecond);

// -- The yardstick. The few entry points it needs, with their enum values, so
// no development package is needed to build it.
struct OpenAl {
    void* lib = nullptr;
    void* (*loopbackOpen)(const char*) = nullptr;
    void* (*createContext)(void*, const int*) = nullptr;
    char (*makeCurrent)(void*) = nullptr;
    void (*destroyContext)(void*) = nullptr;
    char (*closeDevice)(void*) = nullptr;
    void (*render)(void*, void*, int) = nullptr;
    void (*genBuffers)(int, unsigned*) = nullptr;
    void (*deleteBuffers)(int, const unsigned*) = nullptr;
    void (*bufferData)(unsigned, int, const void*, int, int) = nullptr;
    void (*genSources)(int, unsigned*) = nullptr;
    void (*deleteSources)(int, const unsigned*) = nullptr;
    void (*sourcei)(unsigned, int, int) = nullptr;
    void (*sourcef)(unsigned, int, float) = nullptr;
    void (*source3f)(unsigned, int, float, float, float) = nullptr;
    void (*sourcePlay)(unsigned) = nullptr;

    bool Load() {
        lib = dlopen("libopenal.so.1", RTLD_NOW | RTLD_LOCAL);
        if (!lib) return false;
        auto get = [&](auto& fn, const char* name) {
            fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(dlsym(lib, name));
            return fn != nullptr;
        };
        return get(loopbackOpen, "alcLoopbackOpenDeviceSOFT") && get(createContext, "alcCreateContext") &&
               get(makeCurrent, "alcMakeContextCurrent") && get(destroyContext, "alcDestroyContext") &&
               get(closeDevice, "alcCloseDevice") && get(render, "alcRenderSamplesSOFT") &&
               get(genBuffers, "alGenBuffers") && get(deleteBuffers, "alDeleteBuffers") &&
               get(bufferData, "alBufferData") && get(genSources, "alGenSources") &&
               get(deleteSources, "alDeleteSources") && get(sourcei, "alSourcei") && get(sourcef, "alSourcef") &&
               get(source3f, "alSource3f") && get(sourcePlay, "alSourcePlay");
    }
    ~OpenAl() {
        if (lib) dlclose(lib);
    }
};

constexpr int kAlcFrequency = 0x1007, kAlcFormatChannels = 0x1990, kAlcFormatType = 0x1991, kAlcHrtf = 0x1992;
constexpr int kAlcStereo = 0x1501, kAlcShort = 0x1402;
constexpr int kAlBuffer = 0x1009, kAlLooping = 0x1007, kAlGain = 0x100A, kAlPosition = 0x1004;
constexpr int kAlSourceRelative = 0x202, kAlMono16 = 0x1101, kAlStereo16 = 0x1103;

// The same voices: the same noise, rates, gains and pans (a mono voice placed
// on the unit circle in front of the listener, a stereo one as it is).
void BM_Mix64VoicesOpenAlSoft(benchmark::State& state) {
    OpenAl al;
    if (!al.Load()) {
        state.SkipWithError("no OpenAL Soft with the loopback device");
        return;
    }
    void* device = al.loopbackOpen(nullptr);
    const int attributes[] = {kAlcFormatChannels, kAlcStereo, kAlcFormatType, kAlcShort,
                              kAlcFrequency, int(kRate), kAlcHrtf, 0, 0};
    void* context = device ? al.createContext(device, attributes) : nullptr;
    if (!context || !al.makeCurrent(context)) {
        state.SkipWithError("OpenAL Soft made no loopback context");
        if (device) al.closeDevice(device);
        return;
    }
    unsigned buffers[kVoices], sources[kVoices];
    al.genBuffers(kVoices, buffers);
    al.genSources(kVoices, sources);
    for (int i = 0; i < kVoices; ++i) {
        const bool mono = i % 2;
        const WaveFormat format = mono ? PcmFormat(22050, 1, 16) : PcmFormat(kRate, 2, 16);
        std::vector<uint8_t> pcm(format.bytesPerSecond);
        uint32_t seed = uint32_t(i);
        for (uint8_t& b : pcm) {
            seed = seed * 1664525u + 1013904223u;
            b = uint8_t(seed >> 24);
        }
        al.bufferData(buffers[i], mono ? kAlMono16 : kAlStereo16, pcm.data(), int(pcm.size()), int(format.rate));
        al.sourcei(sources[i], kAlBuffer, int(buffers[i]));
        al.sourcei(sources[i], kAlLooping, 1);
        al.sourcef(sources[i], kAlGain, VolumeGain(-100 * (i % 10)));
        const float x = float(std::clamp(-5000 + 150 * i, -10000, 10000)) / 10000.0f;
        al.sourcei(sources[i], kAlSourceRelative, 1);
        al.source3f(sources[i], kAlPosition, x, 0.0f, -std::sqrt(1.0f - x * x));
        al.sourcePlay(sources[i]);
    }
    const int period = int(state.range(0));
    std::vector<int16_t> out(size_t(period) * 2);
    for (auto _ : state) {
        for (uint32_t done = 0; done < kRate; done += uint32_t(period)) al.render(device, out.data(), period);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * int64_t(kRate));
    state.counters["cpu_per_audio_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    al.deleteSources(kVoices, sources);
    al.deleteBuffers(kVoices, buffers);
    al.makeCurrent(nullptr);
    al.destroyContext(context);
    al.closeDevice(device);
}
BENCHMARK(BM_Mix64VoicesOpenAlSoft)->Arg(1024)->Arg(256)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
