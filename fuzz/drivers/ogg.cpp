// Ogg Vorbis files through the decoder paths of the sound buffers: decoded
// whole at load, and streamed from memory (to the end, then round a loop)
// and from a file. The loop starts at 0 to 0.175 s, by the file's last byte,
// so the input stays a plain Ogg file.
#include "engine/core/MemStream.h"
#include "engine/core/Memory.h"
#include "engine/platform/OggReader.h"
#include "fuzz/FuzzSupport.h"

#include <algorithm>
#include <vector>

namespace {

// Decodes at most this much of a sound per pass: enough to pass every path.
constexpr u32 kMaxDecode = 4u << 20;

// Fills pieces until the stream ends or fails, or limit bytes came; the
// bytes that came.
u64 Stream(OggStream* decoder, f32 loopStart, u64 limit)
{
    std::vector<u8> buffer(8192);
    u64 total = 0;
    while (total < limit) {
        u32 filled = 0;
        const OggFillResult result = OggFill(buffer.data(), u32(buffer.size()), loopStart, decoder, &filled);
        FUZZ_CHECK(filled <= buffer.size());
        total += filled;
        if (result != OggFillResult::Full) break;
    }
    return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > UINT32_MAX) return 0;
    SoundFormat format;
    u32 decoded = 0;
    if (u8* pcm = DecodeOggMemory(CreateMemStream(data, u32(size)), &format, &decoded)) {
        FUZZ_CHECK(format.channels >= 1 && format.blockAlign == format.channels * 2);
        AlignedFree(pcm);
    }

    CMemStream* stream = CreateMemStream(data, u32(size));
    OggStream* decoder = OpenOggMemoryStream(stream);
    if (!decoder) {
        delete stream;
        return 0;
    }
    u32 length = 0;
    if (GetOggFormat(decoder, &format, &length)) {
        const u64 once = Stream(decoder, -1.0f, kMaxDecode);
        // Round the loop twice at least.
        const f32 loopStart = f32(data[size - 1] % 8) * 0.025f;
        if (OggRewind(decoder)) Stream(decoder, loopStart, std::min<u64>(once * 2 + 8192, kMaxDecode));
    }
    CloseOggStream(decoder);

    static const std::string path = fuzz::Folder("ogg") + "input.ogg";
    fuzz::WriteFile(path, data, size);
    if (OggStream* file = OpenOggFileStream(path.c_str())) {
        // The file callbacks need only a start.
        if (GetOggFormat(file, &format, &length)) Stream(file, -1.0f, 1u << 16);
        CloseOggStream(file);
    }
    return 0;
}
