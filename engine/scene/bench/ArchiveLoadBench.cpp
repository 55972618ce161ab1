// An archive's load through the resource controller on the fake device: what
// it costs when the archive is sound, and what it costs when it is not.
//
//   Archive_Sound          100 PNG textures of 128 x 128 (about 640 KB): the
//                          yardstick.
//   Archive_DamagedFirst   the same with its first entry cut short: the load
//                          ends with 0 at once.
//   Archive_HugeSound      one 8192 x 8192 PNG (a 260 KB stream of zeros; the
//                          fake device takes no side past 8192).
//   Archive_HugeDamaged    six such, each cut 40 bytes short, side by side.
//   Archive_DamagedModelFirst  a one-byte damaged model, then the 100
//                          textures: the load ends with 0 before them.
//   Archive_DamagedModelFirstLarge  the same before 100 flat 1024 x 1024
//                          textures.
//   Archive_BadFilters     three 8192 x 8192 PNGs whose streams are sound
//                          but whose last row's filter byte is 7.
//   Archive_StbKindsDamaged  an interlaced, a 16-bit and a grey 8192 x 8192
//                          PNG (kinds stb decodes), each cut 40 bytes short.
//   Archive_StbKindSound   one sound 8192 x 8192 16-bit RGB PNG.
//   Archive_Kept           eight 1024 x 2048 textures; counter rss_after_mib
//                          is the process's resident memory once the
//                          controller is gone and the allocator trimmed
//                          (what the loader threads keep).
//
// Peak memory is the process's: run one benchmark at a time under
// /usr/bin/time -v, after a first run that writes the archives (kept in
// $TMPDIR/orv-archive-bench).
#include "engine/core/PackFile.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/platform/System.h"
#include "engine/scene/ResourceController.h"
#include "host/image/Image.h"
#include "host/kernel/Kernel.h"
#include "host/render/FakeRender.h"
#include "host/window/FakeWindow.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace {

host::window::LResult Proc(host::window::Handle window, uint32_t message, host::window::WParam w,
    host::window::LParam l)
{
    return host::window::DefWindowProc(window, message, w, l);
}

struct Stage {
    Stage()
    {
        host::render::InstallFakeRender().SetLogging(false);
        system.Create(GetModuleInstance(), "bench", -1, -1, 1024, 768, 0xCA0000, 105, &Proc, nullptr);
        ok = device.Create(&system) == 1;
        // Kept from run to run: the archives are written by the first, and
        // the next ones' peak memory is the loads' alone.
        const std::string folder = (std::getenv("TMPDIR") ? std::string(std::getenv("TMPDIR")) : "/tmp") +
                                   "/orv-archive-bench";
        host::kernel::CreateDirectory(folder);
        ok = ok && host::kernel::SetCurrentDirectory(folder);
    }
    CSystem system;
    CGraphicDevice device;
    bool ok = false;
};

Stage& TheStage()
{
    static Stage stage;
    return stage;
}

bool Put(const std::string& name, const std::vector<uint8_t>& bytes)
{
    return host::kernel::WriteFileAtomic(name, bytes.data(), bytes.size());
}

// A 128 x 128 picture that compresses to about 8 KB.
std::vector<uint8_t> SmallPng(uint32_t seed)
{
    std::vector<uint32_t> pixels(128 * 128);
    uint32_t r = seed * 2654435761u + 1;
    for (size_t i = 0; i < pixels.size(); ++i) {
        if (i % 16 == 0) r = r * 1103515245u + 12345u;
        pixels[i] = 0xFF000000u | (r >> 8 & 0x0F0F0Fu) | uint32_t(i / 128) << 16;
    }
    std::vector<uint8_t> png;
    host::image::WritePng(pixels.data(), 128, 128, 128 * 4, png);
    return png;
}

uint32_t Crc(const uint8_t* p, size_t n) { return uint32_t(crc32(0, p, uInt(n))); }

void Be32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (24 - 8 * i)));
}

void Chunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data)
{
    Be32(png, uint32_t(data.size()));
    const size_t at = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    Be32(png, Crc(&png[at], data.size() + 4));
}

// A PNG of one zlib stream.
std::vector<uint8_t> Png(uint32_t w, uint32_t h, uint8_t depth, uint8_t type, uint8_t interlace,
                         const std::vector<uint8_t>& stream)
{
    std::vector<uint8_t> header, png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Be32(header, w);
    Be32(header, h);
    header.insert(header.end(), {depth, type, 0, 0, interlace});
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", stream);
    Chunk(png, "IEND", {});
    return png;
}

// A PNG of zeros (its rows unfiltered, the last one's filter byte
// lastFilter), the stream cut `cut` bytes short: 8-bit RGBA unless told
// the colour type, depth and interlacing.
std::vector<uint8_t> ZeroPng(uint32_t w, uint32_t h, size_t cut, uint8_t lastFilter = 0, uint8_t type = 6,
                             uint8_t depth = 8, uint8_t interlace = 0)
{
    const size_t channels = type == 6 ? 4 : type == 2 ? 3 : type == 4 ? 2 : 1;
    const size_t stride = 1 + (size_t(w) * channels * depth + 7) / 8;
    // Interlaced, the passes hold about as many bytes, a few more filter bytes.
    const size_t rawBytes = size_t(h) * stride + (interlace ? size_t(h) : 0);
    const size_t filterAt = interlace ? rawBytes : size_t(h - 1) * stride;
    // Pictures of the same zeros share one stream: compressing a quarter of
    // a gigabyte at level 9 takes seconds.
    static std::map<std::tuple<size_t, size_t, uint8_t>, std::vector<uint8_t>> made;
    std::vector<uint8_t>& whole = made[{rawBytes, filterAt, lastFilter}];
    if (whole.empty()) {
        std::vector<uint8_t> raw(rawBytes, 0);
        if (filterAt < rawBytes) raw[filterAt] = lastFilter;
        uLongf size = compressBound(uLong(raw.size()));
        whole.resize(size);
        compress2(whole.data(), &size, raw.data(), uLong(raw.size()), 9);
        whole.resize(size);
    }
    std::vector<uint8_t> stream(whole.begin(), whole.end() - std::ptrdiff_t(cut));
    return Png(w, h, depth, type, interlace, stream);
}

// A w x h 8-bit RGB picture of one colour (from seed), rows unfiltered.
std::vector<uint8_t> FlatPng(uint32_t w, uint32_t h, uint32_t seed)
{
    const size_t stride = 1 + size_t(w) * 3;
    std::vector<uint8_t> raw(size_t(h) * stride, 0);
    for (size_t at = 0; at < raw.size(); at += stride)
        for (size_t x = 0; x < w; ++x)
            for (size_t c = 0; c < 3; ++c) raw[at + 1 + x * 3 + c] = uint8_t(seed * (c + 1));
    uLongf size = compressBound(uLong(raw.size()));
    std::vector<uint8_t> stream(size);
    compress2(stream.data(), &size, raw.data(), uLong(raw.size()), 9);
    stream.resize(size);
    return Png(w, h, 8, 2, 0, stream);
}

using Files = std::vector<std::pair<std::string, std::vector<uint8_t>>>;

// Writes the files make gives and the archive of them, unless an earlier
// run has.
bool Archive(const char* path, const std::function<Files()>& make)
{
    if (!TheStage().ok) return false;
    if (host::kernel::FileExists(path)) return true;
    const Files files = make();
    std::vector<const char*> names;
    for (const auto& [name, bytes] : files) {
        if (!Put(name, bytes)) return false;
        names.push_back(name.c_str());
    }
    return CqelPackFile::Write(names.data(), u32(names.size()), path) == 1;
}

void TimeLoad(benchmark::State& state, const char* archive, u32 expected)
{
    for (auto _ : state) {
        CResourceController controller;
        if (controller.Load(archive, 1) != expected) state.SkipWithError("unexpected result");
    }
}

void Archive_Sound(benchmark::State& state)
{
    static const bool made = Archive("Sound.gpk", [] {
        Files files;
        for (u32 i = 0; i < 100; ++i) files.push_back({"T" + std::to_string(i) + ".png", SmallPng(i)});
        return files;
    });
    if (!made) return state.SkipWithError("cannot write the archive");
    TimeLoad(state, "Sound.gpk", 1);
}
BENCHMARK(Archive_Sound)->Unit(benchmark::kMillisecond);

void Archive_DamagedFirst(benchmark::State& state)
{
    static const bool made = Archive("Damaged.gpk", [] {
        Files files;
        for (u32 i = 0; i < 100; ++i) files.push_back({"D" + std::to_string(i) + ".png", SmallPng(i)});
        files[0].second.resize(files[0].second.size() / 2);
        return files;
    });
    if (!made) return state.SkipWithError("cannot write the archive");
    TimeLoad(state, "Damaged.gpk", 0);
}
BENCHMARK(Archive_DamagedFirst)->Unit(benchmark::kMillisecond);

void Archive_HugeSound(benchmark::State& state)
{
    static const bool made = Archive("Huge.gpk", [] { return Files{{"Huge.png", ZeroPng(8192, 8192, 0)}}; });
    if (!made) return state.SkipWithError("cannot write the archive");
    TimeLoad(state, "Huge.gpk", 1);
}
BENCHMARK(Archive_HugeSound)->Unit(benchmark::kMillisecond)->Iterations(3);

void Archive_HugeDamaged(benchmark::State& state)
{
    static const bool made = Archive("HugeDamaged.gpk", [] {
        Files files;
        for (u32 i = 0; i < 6; ++i) files.push_back({"Cut" + std::to_string(i) + ".png", ZeroPng(8192, 8192, 40)});
        return files;
    });
    if (!made) return state.SkipWithError("cannot write the archive");
    TimeLoad(state, "HugeDamaged.gpk", 0);
}
BENCHMARK(Archive_HugeDamaged)->Unit(benchmark::kMillisecond)->Iterations(3);

void Archive_DamagedModelFirst(benchmark::State& state)
{
    static const bool made = Archive("DamagedModel.gpk", [] {
        Files files = {{"Bad.mdl", {0x51}}};
        for (u32 i = 0; i < 100; ++i) files.push_back({"M" + std::to_string(i) + ".png", SmallPng(i)});
        return files;
    });
    if (!made) return state.SkipWithError("cannot write the archive");
    TimeLoad(state, "DamagedModel.gpk", 0);
}
BENCHMARK(Archive_DamagedModelFirst)->Unit(benchmark::kMillisecond);

// As the archive: the damaged model, then 100 flat 1024 x 1024
// textures (about 3 KB each).
void Archive_DamagedModelFirstLarge(benchmark::State& state)
{
    static const bool made = Archive("DamagedModelLarge.gpk", [] {
        Files files = {{"Bad.mdl", {0x51}}};
        // Never decoded: zlib writes them in a fraction of the encoder's time.
        for (u32 i = 0; i < 100; ++i) files.push_back({"L" + std::to_string(i) + ".png", FlatPng(1024, 1024, i)});
        return files;
    });
    if (!made) return state.SkipWithError("cannot write the archive");
    TimeLoad(state, "DamagedModelLarge.gpk", 0);
}
BENCHMARK(Archive_DamagedModelFirstLarge)->Unit(benchmark::kMillisecond)->Iterations(3);

void Archive_BadFilters(benchmark::State& state)
{
    static const bool made = Archive("BadFilters.gpk", [] {
        Files files;
        for (u32 i = 0; i < 3; ++i) files.push_back({"Filter" + std::to_string(i) + ".png", ZeroPng(8192, 8192, 0, 7)});
        return files;
    });
    if (!made) return state.SkipWithError("cannot write the archive");
    TimeLoad(state, "BadFilters.gpk", 0);
}
BENCHMARK(Archive_BadFilters)->Unit(benchmark::kMillisecond)->Iterations(3);

void Archive_StbKindsDamaged(benchmark::State& state)
{
    static const bool made = Archive("StbDamaged.gpk", [] {
        return Files{{"Interlaced.png", ZeroPng(8192, 8192, 40, 0, 6, 8, 1)},
                     {"Sixteen.png", ZeroPng(8192, 8192, 40, 0, 2, 16)},
                     {"Grey.png", ZeroPng(8192, 8192, 40, 0, 0, 8)}};
    });
    if (!made) return state.SkipWithError("cannot write the archive");
    TimeLoad(state, "StbDamaged.gpk", 0);
}
BENCHMARK(Archive_StbKindsDamaged)->Unit(benchmark::kMillisecond)->Iterations(3);

void Archive_StbKindSound(benchmark::State& state)
{
    static const bool made =
        Archive("StbSound.gpk", [] { return Files{{"Sixteen.png", ZeroPng(8192, 8192, 0, 0, 2, 16)}}; });
    if (!made) return state.SkipWithError("cannot write the archive");
    TimeLoad(state, "StbSound.gpk", 1);
}
BENCHMARK(Archive_StbKindSound)->Unit(benchmark::kMillisecond)->Iterations(3);

double ResidentMiB()
{
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

void Archive_Kept(benchmark::State& state)
{
    static const bool made = Archive("Kept.gpk", [] {
        Files files;
        std::vector<uint32_t> pixels(1024 * 2048);
        for (u32 i = 0; i < 8; ++i) {
            for (size_t p = 0; p < pixels.size(); ++p) pixels[p] = 0xFF000000u | uint32_t(p * (i + 3) % 0xFFFFFFu);
            std::vector<uint8_t> png;
            host::image::WritePng(pixels.data(), 1024, 2048, 1024 * 4, png);
            files.push_back({"Big" + std::to_string(i) + ".png", png});
        }
        return files;
    });
    if (!made) return state.SkipWithError("cannot write the archive");
    // Before the first load of the process (the function runs more than once).
    static const double before = [] {
        malloc_trim(0);
        return ResidentMiB();
    }();
    TimeLoad(state, "Kept.gpk", 1);
    // Memory freed but cached by the allocator goes back first: what stays
    // is what is still held.
    malloc_trim(0);
    state.counters["rss_before_mib"] = before;
    state.counters["rss_after_mib"] = ResidentMiB();
}
BENCHMARK(Archive_Kept)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
