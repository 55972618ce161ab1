// The mixer's cost for 64 playing voices, per second of 44.1 kHz stereo output.
#include "host/sound/Sound.h"

#include <benchmark/benchmark.h>

#include <cstring>
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

}  // namespace

BENCHMARK_MAIN();
