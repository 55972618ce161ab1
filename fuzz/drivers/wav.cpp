// WAV files through CWavReader, from memory and from a file: both must find
// the same format and data, read whole and read round the end of the data.
#include "engine/platform/WavReader.h"
#include "fuzz/FuzzSupport.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Reads at most this much of a sound: enough to pass every path.
constexpr u32 kMaxRead = 1u << 20;

std::vector<u8> ReadAll(CWavReader& reader)
{
    const u32 size = std::min(reader.GetDataSize(), kMaxRead);
    std::vector<u8> pcm(size);
    for (u32 done = 0; done < size;) {
        const u32 n = std::min<u32>(4096, size - done);
        FUZZ_CHECK(reader.Read(pcm.data() + done, n) == 1);
        done += n;
    }
    return pcm;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > UINT32_MAX) return 0;
    CWavReader memory;
    FUZZ_CHECK(memory.OpenMemory(data, u32(size), nullptr) == 1);
    SoundFormat format;
    const u32 parsed = memory.ParseHeader(&format);

    static const std::string path = fuzz::Folder("wav") + "input.wav";
    fuzz::WriteFile(path, data, size);
    CWavReader file;
    FUZZ_CHECK(file.OpenFile(path.c_str()) == 1);
    SoundFormat fileFormat;
    FUZZ_CHECK(file.ParseHeader(&fileFormat) == parsed);
    if (!parsed) return 0;

    FUZZ_CHECK(format.channels && format.blockAlign && format.samplesPerSec);
    FUZZ_CHECK(format.extra.size() == format.extraSize && fileFormat.extra == format.extra);
    FUZZ_CHECK(memory.GetDataSize() == file.GetDataSize() && memory.GetDataSize() % format.blockAlign == 0);
    FUZZ_CHECK(memory.GetDataSize() <= size);
    const std::vector<u8> pcm = ReadAll(memory);
    FUZZ_CHECK(ReadAll(file) == pcm);
    // Nothing is left past the data.
    u8 byte;
    if (memory.GetDataSize() <= kMaxRead) FUZZ_CHECK(memory.Read(&byte, 1) == 0);

    // A streamed sound wraps round to the first byte.
    if (memory.GetDataSize() == 0 || memory.GetDataSize() > 4096) return 0;
    FUZZ_CHECK(memory.Rewind() == 1);
    const u32 wrapped = memory.GetDataSize() * 2 + 3;
    std::vector<u8> stream(wrapped);
    FUZZ_CHECK(memory.ReadData(stream.data(), wrapped) == wrapped);
    for (u32 i = 0; i < wrapped; ++i) FUZZ_CHECK(stream[i] == pcm[i % pcm.size()]);
    return 0;
}
