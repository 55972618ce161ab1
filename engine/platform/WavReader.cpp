#include "engine/platform/WavReader.h"

#include "engine/core/Endian.h"
#include "engine/core/Memory.h"

#include "host/kernel/Kernel.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr u32 FourCC(char a, char b, char c, char d)
{
    return u32(u8(a)) | u32(u8(b)) << 8 | u32(u8(c)) << 16 | u32(u8(d)) << 24;
}

constexpr u32 kRiff = FourCC('R', 'I', 'F', 'F');
constexpr u32 kWave = FourCC('W', 'A', 'V', 'E');
constexpr u32 kFmt = FourCC('f', 'm', 't', ' ');
constexpr u32 kData = FourCC('d', 'a', 't', 'a');
constexpr u16 kFormatPcm = 1;

}  // namespace

CWavReader::~CWavReader() { Close(); }

u32 CWavReader::OpenFile(const char* path)
{
    Close();
    if (!path) return 0;
    m_file = host::kernel::OpenFile(path, "rb");
    if (!m_file) return 0;
    const i64 size = m_file->Size();
    if (size < 0) {
        m_file.reset();
        return 0;
    }
    m_size = u64(size);
    m_open = 1;
    return 1;
}

u32 CWavReader::OpenMemory(const void* data, u32 size, void* ownedBlock)
{
    Close();
    if (!data) {
        AlignedFree(ownedBlock);
        return 0;
    }
    m_memory = static_cast<const u8*>(data);
    m_ownedBlock = ownedBlock;
    m_size = size;
    m_open = 1;
    return 1;
}

void CWavReader::Close()
{
    m_file.reset();
    AlignedFree(m_ownedBlock);
    m_ownedBlock = nullptr;
    m_memory = nullptr;
    m_size = m_dataOffset = 0;
    m_dataSize = m_dataPosition = 0;
    m_dataCutShort = 0;
    m_open = 0;
}

u32 CWavReader::ReadAt(u64 offset, void* out, u32 bytes)
{
    if (!m_open || offset >= m_size) return 0;
    const u32 n = u32(std::min<u64>(bytes, m_size - offset));
    if (m_memory) {
        std::memcpy(out, m_memory + offset, n);
        return n;
    }
    if (!m_file->Seek(i64(offset), host::kernel::SeekOrigin::Begin)) return 0;
    return u32(m_file->Read(out, n));
}

u32 CWavReader::FindChunk(u64 start, u64 end, u32 id, u64* dataOffset, u32* size)
{
    u64 at = start;
    while (end >= 8 && at <= end - 8) {
        u8 header[8];
        if (ReadAt(at, header, 8) != 8) return 0;
        const u32 chunkSize = GetLe32(header + 4);
        const u64 body = at + 8;
        if (GetLe32(header) == id) {
            *dataOffset = body;
            *size = chunkSize;
            return 1;
        }
        if (chunkSize > end - body) return 0;
        // Chunks are padded to an even length.
        at = body + chunkSize + (chunkSize & 1);
    }
    return 0;
}

u32 CWavReader::ParseHeader(SoundFormat* format)
{
    if (!m_open || !format) return 0;
    u8 riff[12];
    if (ReadAt(0, riff, 12) != 12 || GetLe32(riff) != kRiff || GetLe32(riff + 8) != kWave) return 0;
    // Chunks are sought and measured by the bytes the file holds: writers
    // that add a chunk (an 18-byte "fmt ", a "fact") may leave the RIFF size
    // they state short of them.
    const u64 fileEnd = m_size;

    u64 fmtOffset = 0;
    u32 fmtSize = 0;
    if (!FindChunk(12, fileEnd, kFmt, &fmtOffset, &fmtSize) || fmtSize < 16 || fmtSize > fileEnd - fmtOffset) return 0;
    u8 pcm[18];
    if (ReadAt(fmtOffset, pcm, 16) != 16) return 0;
    SoundFormat f;
    f.formatTag = GetLe16(pcm);
    f.channels = GetLe16(pcm + 2);
    f.samplesPerSec = GetLe32(pcm + 4);
    f.avgBytesPerSec = GetLe32(pcm + 8);
    f.blockAlign = GetLe16(pcm + 12);
    f.bitsPerSample = GetLe16(pcm + 14);
    if (f.formatTag != kFormatPcm) {
        if (fmtSize < 18 || ReadAt(fmtOffset + 16, pcm + 16, 2) != 2) return 0;
        f.extraSize = GetLe16(pcm + 16);
        if (f.extraSize > fmtSize - 18) return 0;
        f.extra.resize(f.extraSize);
        if (f.extraSize && ReadAt(fmtOffset + 18, f.extra.data(), f.extraSize) != f.extraSize) return 0;
    }
    // Lengths divide by these; the device refuses the rest of what it
    // cannot play.
    if (f.channels == 0 || f.samplesPerSec == 0 || f.bitsPerSample < 8 || f.blockAlign == 0) return 0;

    const u64 afterFmt = fmtOffset + fmtSize + (fmtSize & 1);
    u64 dataOffset = 0;
    u32 dataSize = 0;
    if (!FindChunk(afterFmt, fileEnd, kData, &dataOffset, &dataSize)) return 0;
    m_dataOffset = dataOffset;
    // A file written while its sound was made may end before the size its
    // "data" chunk was given: the data is what the file holds.
    m_dataCutShort = dataSize > fileEnd - dataOffset ? 1 : 0;
    if (m_dataCutShort) dataSize = u32(fileEnd - dataOffset);
    // Whole frames only: a stream starting over mid-frame would play noise.
    m_dataSize = dataSize - dataSize % f.blockAlign;
    m_dataPosition = 0;
    *format = std::move(f);
    return 1;
}

u32 CWavReader::Read(void* out, u32 size)
{
    if (!out || size > m_dataSize - m_dataPosition) return 0;
    const u32 got = ReadAt(m_dataOffset + m_dataPosition, out, size);
    m_dataPosition += got;
    return got == size ? 1 : 0;
}

u32 CWavReader::ReadData(void* out, u32 size)
{
    if (!out || !m_open || m_dataSize == 0) return 0;
    u8* dst = static_cast<u8*>(out);
    u32 done = 0;
    while (done < size) {
        if (m_dataPosition >= m_dataSize && !Rewind()) return 0;
        const u32 n = std::min(size - done, m_dataSize - m_dataPosition);
        const u32 got = ReadAt(m_dataOffset + m_dataPosition, dst + done, n);
        if (got == 0) return 0;
        m_dataPosition += got;
        done += got;
    }
    return size;
}

u32 CWavReader::Rewind()
{
    if (!m_open || m_dataOffset == 0) return 0;
    m_dataPosition = 0;
    return 1;
}
