#include "engine/core/ReadBinary.h"

#include "engine/core/Endian.h"
#include "host/kernel/Kernel.h"

#include <cstdint>
#include <cstring>

u32 CqelReadBinary::LoadFromMemory(const void* data, u32 size) { return CopyFrom(data, size); }

u32 CqelReadBinary::LoadFromFile(const char* path)
{
    Adopt(nullptr, 0);
    if (!path) return 0;
    auto file = host::kernel::OpenFile(path, "rb");
    if (!file) return 0;
    const int64_t size = file->Size();
    if (size <= 0 || size > int64_t(UINT32_MAX)) return 0;
    u8* buffer = static_cast<u8*>(AlignedAlloc(u32(size), 16));
    if (!buffer) return 0;
    // A short read is a damaged or vanishing file, not a smaller one.
    if (file->Read(buffer, size_t(size)) != size_t(size)) {
        AlignedFree(buffer);
        return 0;
    }
    Adopt(buffer, u32(size));
    return 1;
}

const u8* CqelReadBinary::Take(u32 count)
{
    if (count > GetRemaining()) {
        Overrun();
        return nullptr;
    }
    const u8* p = m_buffer + m_cursor;
    m_cursor += count;
    return p;
}

char* CqelReadBinary::ReadString()
{
    if (GetRemaining() == 0) {
        Overrun();
        return nullptr;
    }
    const u8* start = m_buffer + m_cursor;
    const u32 left = GetRemaining();
    const u8* nul = static_cast<const u8*>(std::memchr(start, 0, left));
    const u32 length = nul ? u32(nul - start) : left;
    m_cursor += nul ? length + 1 : length;
    if (!nul) m_error = true;
    if (length == 0) return nullptr;

    // Cut at a character boundary within the limit.
    u32 kept = 0;
    while (kept < length) {
        const u32 step = host::kernel::IsDBCSLeadByte(start[kept]) && kept + 1 < length ? 2 : 1;
        if (kept + step > kMaxString) break;
        kept += step;
    }
    char* text = static_cast<char*>(AlignedAlloc(kept + 1, 16));
    if (text) std::memcpy(text, start, kept);
    return text;
}

i8 CqelReadBinary::ReadInt8()
{
    const u8* p = Take(1);
    return p ? i8(p[0]) : 0;
}

i16 CqelReadBinary::ReadInt16()
{
    const u8* p = Take(2);
    return p ? i16(GetLe16(p)) : 0;
}

u32 CqelReadBinary::ReadUInt32()
{
    const u8* p = Take(4);
    return p ? GetLe32(p) : 0;
}

i32 CqelReadBinary::ReadInt32() { return i32(CqelReadBinary::ReadUInt32()); }

f32 CqelReadBinary::ReadFloat()
{
    const u32 bits = CqelReadBinary::ReadUInt32();
    f32 value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

u32 CqelReadBinary::ReadBytes(void* out, u32 count)
{
    if (!out) return 0;
    if (count == 0) return 1;
    const u8* p = Take(count);
    if (!p) return 0;
    std::memcpy(out, p, count);
    return 1;
}
