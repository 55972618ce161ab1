#include "engine/platform/OggReader.h"

#include "engine/core/MemStream.h"
#include "engine/core/Memory.h"

#include "host/kernel/Kernel.h"
#include "host/sound/Sound.h"

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <new>

// The decoder and the bytes it reads. The source belongs to the stream, not
// to the decoder (no close callback), so the decoder can be opened again.
struct OggStream {
    OggVorbis_File decoder{};
    std::unique_ptr<CMemStream> memory;       // one of these two is the source
    std::unique_ptr<host::kernel::File> file;
    bool open = false;
    u16 channels = 0;
    u32 rate = 0;
    bool damaged = false;    // a hole or a decode error has been met
    bool intact = false;     // a pass from the first sample reached the end cleanly
    bool fromStart = false;  // the current pass began at the first sample
    bool atStart = false;    // nothing decoded since the decoder stood at the first sample
    u32 seeks = 0;
};

namespace {

// ---------------------------------------------------------------- sources

size_t MemRead(void* buffer, size_t itemSize, size_t count, void* source)
{
    return MemStreamRead(buffer, itemSize, count, source);
}

int MemSeek(void* source, ogg_int64_t offset, int origin) { return MemStreamSeek(source, offset, origin); }

long MemTell(void* source)
{
    return source ? long(static_cast<CMemStream*>(source)->GetPosition()) : -1;
}

const ov_callbacks kMemoryCallbacks = {MemRead, MemSeek, nullptr, MemTell};

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

long FileTell(void* source)
{
    return source ? long(static_cast<host::kernel::File*>(source)->Tell()) : -1;
}

const ov_callbacks kFileCallbacks = {FileRead, FileSeek, nullptr, FileTell};

// ---------------------------------------------------------------- decoder

void CloseDecoder(OggStream& s)
{
    if (s.open) ov_clear(&s.decoder);
    s.open = false;
}

// Whether libvorbis can set up the decoding of a link. Opening reads the
// headers without building the codebooks' decode tables; a codebook whose
// codeword lengths make more codes than fit (a damaged setup header) fails
// only when decoding starts. The first read then reports a bad link, and
// every read after it decodes with the tables half made: with a residue's
// classification book among the missing ones, libvorbis divides by zero.
bool LinkDecodes(vorbis_info* info)
{
    vorbis_dsp_state probe;
    if (vorbis_synthesis_init(&probe, info) != 0) return false;
    vorbis_dsp_clear(&probe);
    return true;
}

// Opens the decoder at the first sample of the first link. A chain whose
// links differ in rate or channel count is refused: one format is played
// for the whole stream. So is a file with a link libvorbis cannot set up.
bool OpenDecoder(OggStream& s)
{
    CloseDecoder(s);
    void* source = nullptr;
    if (s.memory) {
        s.memory->Seek(0, 0);
        source = s.memory.get();
    } else if (s.file && s.file->Seek(0, host::kernel::SeekOrigin::Begin)) {
        source = s.file.get();
    }
    if (!source) return false;
    // A failed open has cleared the decoder itself. One of a damaged chained
    // file leaks what libvorbisfile read of the link that failed (some 35 KB
    // held in its link search): nothing left reachable from here frees it.
    if (ov_open_callbacks(source, &s.decoder, nullptr, 0, s.memory ? kMemoryCallbacks : kFileCallbacks) != 0)
        return false;
    s.open = true;

    const long links = ov_streams(&s.decoder);
    const vorbis_info* first = ov_info(&s.decoder, 0);
    bool usable = links >= 1 && first && first->channels >= 1 && first->channels <= 255 && first->rate > 0;
    for (long i = 1; usable && i < links; ++i) {
        const vorbis_info* link = ov_info(&s.decoder, int(i));
        usable = link && link->channels == first->channels && link->rate == first->rate;
    }
    for (long i = 0; usable && i < links; ++i) usable = LinkDecodes(ov_info(&s.decoder, int(i)));
    // The same bytes opened again must give the same format.
    if (usable && s.rate) usable = s.channels == u16(first->channels) && s.rate == u32(first->rate);
    // libvorbisfile leaves a chained stream at a later link after opening.
    // A raw seek to the start only reads forward, as opening itself does.
    if (usable && links > 1) usable = ov_raw_seek(&s.decoder, 0) == 0;
    if (!usable) {
        CloseDecoder(s);
        return false;
    }
    s.channels = u16(first->channels);
    s.rate = u32(first->rate);
    s.fromStart = true;
    s.atStart = true;
    return true;
}

u32 FrameBytes(const OggStream& s) { return u32(s.channels) * 2; }

// ov_read's results: bytes, 0 at the end, OV_HOLE for a gap in the data
// (decoding goes on after it) and other negative values for damage. Holes
// are skipped, never taken as a length; both kinds mark the stream damaged.
// room holds at least one frame.
long ReadPcm(OggStream& s, u8* out, u32 room)
{
    if (!s.open) return OV_EINVAL;
    int section = 0;
    for (;;) {
        const long got = ov_read(&s.decoder, reinterpret_cast<char*>(out), int(std::min<u32>(room, INT_MAX)), 0, 2,
                                 1, &section);
        if (got == OV_HOLE) {
            s.damaged = true;
            continue;
        }
        if (got < 0) s.damaged = true;
        if (got > 0) s.atStart = false;
        if (got == 0 && s.fromStart && !s.damaged) s.intact = true;
        return got;
    }
}

bool MaySeek(const OggStream& s) { return s.open && s.intact && !s.damaged; }

enum class Skip { Done, Ended, Failed };

// Opens the decoder again and decodes forward past `seconds` of sound.
Skip ReopenAt(OggStream& s, f32 seconds)
{
    if (!OpenDecoder(s)) return Skip::Failed;
    const u32 frame = FrameBytes(s);
    u64 left = seconds > 0.0f ? u64(double(seconds) * s.rate) * frame : 0;
    u8 scratch[4096];
    const u32 chunk = sizeof(scratch) - sizeof(scratch) % frame;
    while (left > 0) {
        const long got = ReadPcm(s, scratch, u32(std::min<u64>(left, chunk)));
        if (got == 0) return Skip::Ended;
        if (got < 0) return Skip::Failed;
        left -= u64(got);
    }
    // A pass that began here did not start at the first sample.
    s.fromStart = seconds <= 0.0f;
    return Skip::Done;
}

// Goes to `seconds` for the next read.
Skip GoTo(OggStream& s, f32 seconds)
{
    if (seconds <= 0.0f && s.open && s.atStart) return Skip::Done;
    if (MaySeek(s)) {
        ++s.seeks;
        if (ov_time_seek(&s.decoder, seconds) == 0) {
            s.fromStart = seconds <= 0.0f;
            s.atStart = s.fromStart;
            return Skip::Done;
        }
    }
    return ReopenAt(s, seconds);
}

OggStream* NewStream() { return new (std::nothrow) OggStream(); }

}  // namespace

OggStream* OpenOggMemoryStream(CMemStream* source)
{
    if (!source) return nullptr;
    OggStream* s = NewStream();
    if (!s) return nullptr;
    s->memory.reset(source);
    if (!OpenDecoder(*s)) {
        s->memory.release();   // still the caller's
        delete s;
        return nullptr;
    }
    return s;
}

OggStream* OpenOggFileStream(const char* path)
{
    if (!path) return nullptr;
    std::unique_ptr<host::kernel::File> file = host::kernel::OpenFile(path, "rb");
    if (!file) return nullptr;
    OggStream* s = NewStream();
    if (!s) return nullptr;
    s->file = std::move(file);
    if (!OpenDecoder(*s)) {
        delete s;
        return nullptr;
    }
    return s;
}

void CloseOggStream(OggStream* s)
{
    if (!s) return;
    CloseDecoder(*s);
    delete s;
}

u32 GetOggFormat(OggStream* s, SoundFormat* format, u32* dataSize)
{
    if (!s || !s->open || !format || !dataSize) return 0;
    const ogg_int64_t frames = ov_pcm_total(&s->decoder, -1);
    if (frames < 0) return 0;
    const u64 bytes = u64(frames) * FrameBytes(*s);
    if (bytes > UINT32_MAX) return 0;

    SoundFormat f;
    f.formatTag = 1;
    f.channels = s->channels;
    f.samplesPerSec = s->rate;
    f.bitsPerSample = 16;
    f.blockAlign = u16(f.channels * 2);
    f.avgBytesPerSec = f.blockAlign * f.samplesPerSec;
    *format = std::move(f);
    *dataSize = u32(bytes);
    return 1;
}

namespace {

// A block of `size` bytes holding the first `keep` bytes of `block`, which
// is freed; null (block kept) when it cannot be allocated.
u8* Regrow(u8* block, u32 keep, u32 size)
{
    u8* grown = static_cast<u8*>(AlignedAlloc(size, 16));
    if (!grown) return nullptr;
    if (keep) std::memcpy(grown, block, keep);
    AlignedFree(block);
    return grown;
}

}  // namespace

u8* DecodeOggMemory(CMemStream* source, SoundFormat* format, u32* dataSize)
{
    OggStream* s = OpenOggMemoryStream(source);
    if (!s) {
        delete source;
        return nullptr;
    }
    u32 claim = 0;
    if (!format || !dataSize || !GetOggFormat(s, format, &claim) || claim == 0) {
        CloseOggStream(s);
        return nullptr;
    }
    // The stated length only bounds the sound; the block grows with what is
    // decoded, so a file cannot make us reserve what its data never fills.
    // A sound buffer holds no more than the device's largest buffer.
    const u32 frame = FrameBytes(*s);
    const u32 limit = std::min(claim, host::sound::kBufferBytesMax - host::sound::kBufferBytesMax % frame);
    const u32 request = std::max(frame, 4096 - 4096 % frame);
    u32 capacity = std::min<u32>(limit, (1u << 20) - (1u << 20) % frame);
    u8* pcm = static_cast<u8*>(AlignedAlloc(capacity, 16));
    u32 done = 0;
    bool ok = pcm != nullptr;
    while (ok) {
        if (done == capacity) {
            if (capacity == limit) {
                // Decoding stops at the stated length; a sound longer than
                // a buffer can hold is refused.
                ok = limit == claim;
                break;
            }
            const u32 grown = u32(std::min<u64>(limit, u64(capacity) * 2));
            u8* bigger = Regrow(pcm, done, grown);
            if (!bigger) {
                ok = false;
                break;
            }
            pcm = bigger;
            capacity = grown;
        }
        const long got = ReadPcm(*s, pcm + done, std::min(request, capacity - done));
        if (got == 0) break;
        if (got < 0) ok = false;
        else done += u32(got);
    }
    CloseOggStream(s);
    if (!ok || done == 0) {
        AlignedFree(pcm);
        return nullptr;
    }
    *dataSize = done;
    return pcm;
}

OggFillResult OggFill(u8* buffer, u32 size, f32 loopStart, OggStream* s, u32* filled)
{
    u32 done = 0;
    if (filled) *filled = 0;
    if (!buffer || !size || !s) return OggFillResult::Failed;
    bool justLooped = false;
    OggFillResult result = OggFillResult::Full;
    while (done < size) {
        const long got = ReadPcm(*s, buffer + done, size - done);
        if (got < 0) {
            result = OggFillResult::Failed;
            break;
        }
        if (got > 0) {
            done += u32(got);
            justLooped = false;
            continue;
        }
        // The end of the data. A loop point at or past the end gives nothing
        // again; that ends the stream rather than spinning here.
        const Skip loop = loopStart < kNoLoop || justLooped ? Skip::Ended : GoTo(*s, loopStart);
        if (loop == Skip::Failed) {
            result = OggFillResult::Failed;
            break;
        }
        if (loop == Skip::Ended) {
            GoTo(*s, 0.0f);
            result = OggFillResult::Ended;
            break;
        }
        justLooped = true;
    }
    if (filled) *filled = done;
    return result;
}

u32 OggRewind(OggStream* s)
{
    if (!s) return 0;
    return GoTo(*s, 0.0f) == Skip::Done ? 1 : 0;
}

u32 IsOggDamaged(const OggStream* s) { return s && s->damaged ? 1 : 0; }

u32 IsOggSeekable(const OggStream* s) { return s && MaySeek(*s) ? 1 : 0; }

u32 GetOggSeekCount(const OggStream* s) { return s ? s->seeks : 0; }
