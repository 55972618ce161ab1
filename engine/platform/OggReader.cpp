#include "engine/platform/OggReader.h"

#include "engine/core/MemStream.h"
#include "engine/core/Memory.h"

#include "host/kernel/Kernel.h"

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <climits>

namespace {

// ---------------------------------------------------------------- memory callbacks

size_t MemRead(void* buffer, size_t itemSize, size_t count, void* source)
{
    return MemStreamRead(buffer, itemSize, count, source);
}

int MemSeek(void* source, ogg_int64_t offset, int origin) { return MemStreamSeek(source, offset, origin); }

int MemClose(void* source)
{
    if (auto* stream = static_cast<CMemStream*>(source)) {
        stream->Clear();
        delete stream;
    }
    return 0;
}

long MemTell(void* source)
{
    return source ? long(static_cast<CMemStream*>(source)->GetPosition()) : -1;
}

const ov_callbacks kMemoryCallbacks = {MemRead, MemSeek, MemClose, MemTell};

// ---------------------------------------------------------------- file callbacks

size_t FileRead(void* buffer, size_t itemSize, size_t count, void* source)
{
    if (!source || itemSize == 0) return 0;
    auto* file = static_cast<host::kernel::File*>(source);
    return file->Read(buffer, itemSize * count) / itemSize;
}

int FileSeek(void* source, ogg_int64_t offset, int origin)
{
    if (!source || origin < 0 || origin > 2) return -1;
    auto* file = static_cast<host::kernel::File*>(source);
    return file->Seek(offset, host::kernel::SeekOrigin(origin)) ? 0 : -1;
}

int FileClose(void* source)
{
    delete static_cast<host::kernel::File*>(source);
    return 0;
}

long FileTell(void* source)
{
    return source ? long(static_cast<host::kernel::File*>(source)->Tell()) : -1;
}

const ov_callbacks kFileCallbacks = {FileRead, FileSeek, FileClose, FileTell};

OggVorbis_File* NewDecoder() { return static_cast<OggVorbis_File*>(AlignedAlloc(sizeof(OggVorbis_File), 16)); }

// ov_read's results: bytes, 0 at the end, OV_HOLE for a gap in the data
// (decoding goes on after it) and other negative values for damage. Holes
// are skipped; they must never be taken as a length.
long ReadSome(OggVorbis_File* decoder, u8* out, u32 room)
{
    int section = 0;
    for (;;) {
        const long got = ov_read(decoder, reinterpret_cast<char*>(out), int(std::min<u32>(room, INT_MAX)), 0, 2, 1,
                                 &section);
        if (got != OV_HOLE) return got;
    }
}

}  // namespace

OggVorbis_File* OpenOggMemoryStream(CMemStream* stream)
{
    if (!stream) return nullptr;
    OggVorbis_File* decoder = NewDecoder();
    if (!decoder) return nullptr;
    if (ov_open_callbacks(stream, decoder, nullptr, 0, kMemoryCallbacks) != 0) {
        AlignedFree(decoder);
        return nullptr;
    }
    return decoder;
}

OggVorbis_File* OpenOggFileStream(const char* path)
{
    if (!path) return nullptr;
    std::unique_ptr<host::kernel::File> file = host::kernel::OpenFile(path, "rb");
    if (!file) return nullptr;
    OggVorbis_File* decoder = NewDecoder();
    if (!decoder) return nullptr;
    if (ov_open_callbacks(file.get(), decoder, nullptr, 0, kFileCallbacks) != 0) {
        AlignedFree(decoder);
        return nullptr;
    }
    file.release();   // the decoder's close deletes it
    return decoder;
}

void CloseOggStream(OggVorbis_File* decoder)
{
    if (!decoder) return;
    ov_clear(decoder);
    AlignedFree(decoder);
}

u32 GetOggFormat(OggVorbis_File* decoder, SoundFormat* format, u32* dataSize)
{
    if (!decoder || !format || !dataSize) return 0;
    const vorbis_info* info = ov_info(decoder, -1);
    const ogg_int64_t frames = ov_pcm_total(decoder, -1);
    if (!info || info->channels < 1 || info->channels > 255 || info->rate <= 0 || frames < 0) return 0;
    const u64 bytes = u64(frames) * u64(info->channels) * 2;
    if (bytes > UINT32_MAX) return 0;

    SoundFormat f;
    f.formatTag = 1;
    f.channels = u16(info->channels);
    f.samplesPerSec = u32(info->rate);
    f.bitsPerSample = 16;
    f.blockAlign = u16(f.channels * 2);
    f.avgBytesPerSec = f.blockAlign * f.samplesPerSec;
    *format = std::move(f);
    *dataSize = u32(bytes);
    return 1;
}

u8* DecodeOggMemory(CMemStream* stream, SoundFormat* format, u32* dataSize)
{
    OggVorbis_File decoder;
    if (!stream || ov_open_callbacks(stream, &decoder, nullptr, 0, kMemoryCallbacks) != 0) {
        MemClose(stream);
        return nullptr;
    }
    u8* pcm = nullptr;
    u32 size = 0;
    u32 done = 0;
    if (GetOggFormat(&decoder, format, &size) && size > 0 && (pcm = static_cast<u8*>(AlignedAlloc(size, 16)))) {
        while (done < size) {
            const long got = ReadSome(&decoder, pcm + done, std::min<u32>(4096, size - done));
            if (got == 0) break;
            if (got < 0) {
                AlignedFree(pcm);
                pcm = nullptr;
                break;
            }
            done += u32(got);
        }
    }
    ov_clear(&decoder);
    // Skipped holes leave less than the stated length: the rest of the block
    // was never written.
    if (pcm) *dataSize = done;
    return pcm;
}

OggFillResult OggFill(u8* buffer, u32 size, f32 loopStart, OggVorbis_File* decoder, u32* filled)
{
    u32 done = 0;
    if (filled) *filled = 0;
    if (!buffer || !size || !decoder) return OggFillResult::Failed;
    bool justLooped = false;
    while (done < size) {
        const long got = ReadSome(decoder, buffer + done, size - done);
        if (got < 0) {
            if (filled) *filled = done;
            return OggFillResult::Failed;
        }
        if (got > 0) {
            done += u32(got);
            justLooped = false;
            continue;
        }
        // The end of the data. A loop point at or past the end gives nothing
        // again; that ends the stream rather than spinning here.
        if (loopStart < kNoLoop || justLooped || ov_time_seek(decoder, loopStart) != 0) {
            ov_time_seek(decoder, 0.0);
            if (filled) *filled = done;
            return OggFillResult::Ended;
        }
        justLooped = true;
    }
    if (filled) *filled = done;
    return OggFillResult::Full;
}

u32 OggRewind(OggVorbis_File* decoder)
{
    if (!decoder) return 0;
    return ov_time_seek(decoder, 0.0) == 0 ? 1 : 0;
}
