#include "engine/graphics/ImageReader.h"

#include "engine/core/Endian.h"
#include "engine/core/Memory.h"
#include "engine/core/Path.h"
#include "engine/core/StringUtil.h"
#include "host/kernel/Kernel.h"

#include <cstring>
#include <string>

namespace {

class ByteWriter {
public:
    explicit ByteWriter(u8* p) : m_p(p) {}
    void U8(u8 v) { *m_p++ = v; }
    void U16(u16 v) { PutLe16(m_p, v), m_p += 2; }
    void U32(u32 v) { PutLe32(m_p, v), m_p += 4; }
    void Zeros(u32 n)
    {
        std::memset(m_p, 0, n);
        m_p += n;
    }
    // One pixel of the source in the written form (grey spread over blue,
    // green and red).
    void Pixel(const u8* p, u32 channels)
    {
        switch (channels) {
        case 1: U8(p[0]); U8(p[0]); U8(p[0]); break;
        case 2: U8(p[0]); U8(p[0]); U8(p[0]); U8(p[1]); break;
        default: std::memcpy(m_p, p, channels); m_p += channels; break;
        }
    }
    void Row(const u8* row, u32 width, u32 channels, u32 padding)
    {
        for (u32 x = 0; x < width; ++x) Pixel(row + size_t(x) * channels, channels);
        Zeros(padding);
    }

private:
    u8* m_p;
};

u32 WrittenChannels(u32 channels) { return channels == 1 ? 3 : channels == 2 ? 4 : channels; }

// Row bytes padded to 4, and the whole file size; false when past 32 bits.
bool Layout(u32 width, u32 height, u32 channels, u32 header, u32* stride, u32* fileSize)
{
    const u64 row = (u64(width) * WrittenChannels(channels) + 3) & ~u64(3);
    const u64 total = header + row * height;
    if (total > 0xFFFFFFFFu) return false;
    *stride = u32(row);
    *fileSize = u32(total);
    return true;
}

bool ValidImage(const u8* pixels, u32 channels, const u32* size)
{
    return pixels && size && channels >= 1 && channels <= 4;
}

constexpr u32 kBmpHeader = 14 + 40;
constexpr u32 kDdsHeader = 4 + 124;

}  // namespace

u8* EncodeBMP(const u8* pixels, u32 width, u32 height, u32 channels, u32 xPixelsPerMetre,
    u32 yPixelsPerMetre, u32* size)
{
    u32 stride, fileSize;
    if (!ValidImage(pixels, channels, size) || !Layout(width, height, channels, kBmpHeader, &stride, &fileSize))
        return nullptr;
    u8* bytes = static_cast<u8*>(AlignedAlloc(fileSize, 16));
    if (!bytes) return nullptr;
    const u32 rowBytes = width * WrittenChannels(channels);

    ByteWriter out(bytes);
    out.U8('B');
    out.U8('M');
    out.U32(fileSize);
    out.U32(0);
    out.U32(kBmpHeader);
    out.U32(40);
    out.U32(width);
    out.U32(height);  // positive: bottom-up rows
    out.U16(1);
    out.U16(u16(WrittenChannels(channels) * 8));
    out.U32(0);  // BI_RGB
    out.U32(fileSize - kBmpHeader);
    out.U32(xPixelsPerMetre);
    out.U32(yPixelsPerMetre);
    out.U32(0);
    out.U32(0);
    for (u32 y = height; y-- > 0;)
        out.Row(pixels + size_t(y) * width * channels, width, channels, stride - rowBytes);
    *size = fileSize;
    return bytes;
}

u8* EncodeDDS(const u8* pixels, u32 width, u32 height, u32 channels, u32* size)
{
    u32 stride, fileSize;
    if (!ValidImage(pixels, channels, size) || !Layout(width, height, channels, kDdsHeader, &stride, &fileSize))
        return nullptr;
    u8* bytes = static_cast<u8*>(AlignedAlloc(fileSize, 16));
    if (!bytes) return nullptr;
    const u32 written = WrittenChannels(channels);
    const bool alpha = written == 4;

    ByteWriter out(bytes);
    out.U32(0x20534444);  // "DDS "
    out.U32(124);
    out.U32(0x1007);  // caps, height, width, pixel format
    out.U32(height);
    out.U32(width);
    out.U32(stride);
    out.Zeros(4 + 4 + 11 * 4);  // depth, mip levels, reserved
    out.U32(32);
    out.U32(alpha ? 0x41 : 0x40);  // RGB, alpha pixels
    out.U32(0);
    out.U32(written * 8);
    out.U32(0x00FF0000);
    out.U32(0x0000FF00);
    out.U32(0x000000FF);
    out.U32(alpha ? 0xFF000000 : 0);
    out.U32(0x1000);  // texture
    out.Zeros(4 * 4);
    for (u32 y = 0; y < height; ++y)
        out.Row(pixels + size_t(y) * width * channels, width, channels, stride - width * written);
    *size = fileSize;
    return bytes;
}

CImageFile::CImageFile(const char* name, u8* bytes, u32 size) : m_name(name), m_bytes(bytes), m_size(size) {}

CImageFile::CImageFile(const CImageFile& other) : CValueBase(other), m_name(other.m_name)
{
    if (other.m_bytes && other.m_size) {
        m_bytes = static_cast<u8*>(AlignedAlloc(other.m_size, 16));
        if (m_bytes) {
            std::memcpy(m_bytes, other.m_bytes, other.m_size);
            m_size = other.m_size;
        }
    }
}

CImageFile::~CImageFile() { AlignedFree(m_bytes); }

CImageReader::~CImageReader() { CImageReader::Release(); }

i32 CImageReader::Release()
{
    ClearFiles();
    return CResourceBase::Release();
}

i32 CImageReader::Load(const char* /*path*/) { return 0; }

const CImageFile* CImageReader::GetFile(u32 index) const
{
    return index < m_files.GetCount() ? static_cast<const CImageFile*>(static_cast<CValueBase*>(m_files.GetAt(index)))
                                      : nullptr;
}

i32 CImageReader::WriteBMP(const char* path, const u8* pixels, u32 width, u32 height, u32 channels,
    u32 xPixelsPerMetre, u32 yPixelsPerMetre)
{
    u32 size = 0;
    u8* bytes = EncodeBMP(pixels, width, height, channels, xPixelsPerMetre, yPixelsPerMetre, &size);
    return WriteFile(path, ".bmp", bytes, size);
}

i32 CImageReader::WriteDDS(const char* path, const u8* pixels, u32 width, u32 height, u32 channels)
{
    u32 size = 0;
    u8* bytes = EncodeDDS(pixels, width, height, channels, &size);
    return WriteFile(path, ".dds", bytes, size);
}

i32 CImageReader::WriteFile(const char* path, const char* extension, u8* bytes, u32 size)
{
    if (!path || !bytes) {
        AlignedFree(bytes);
        return 0;
    }
    std::string name = path;
    if (!StrStr(FileNamePart(path), extension)) name += extension;
    if (!host::kernel::WriteFileAtomic(name, bytes, size)) {
        AlignedFree(bytes);
        return 0;
    }
    CImageFile* file = new CImageFile(name.c_str(), bytes, size);
    if (!file) {
        AlignedFree(bytes);
        return 0;
    }
    void* element = static_cast<CValueBase*>(file);
    if (!m_files.Add(&element)) {
        delete file;
        return 0;
    }
    return 1;
}
