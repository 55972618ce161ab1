#include "engine/core/ReadFile.h"

#include <cstdint>
#include <cstring>

void* CqelReadFile::operator new(size_t size) noexcept
{
    if (size > UINT32_MAX) return nullptr;
    return AlignedAlloc(u32(size), 16);
}

CqelReadFile::CqelReadFile(const CqelReadFile& other)
{
    if (other.m_buffer && CopyFrom(other.m_buffer, other.m_size)) {
        m_cursor = other.m_cursor;
        m_error = other.m_error;
    }
}

CqelReadFile& CqelReadFile::operator=(const CqelReadFile& other)
{
    if (this == &other) return *this;
    if (other.m_buffer && CopyFrom(other.m_buffer, other.m_size)) {
        m_cursor = other.m_cursor;
        m_error = other.m_error;
    } else {
        CqelReadFile::Release();
    }
    return *this;
}

CqelReadFile::~CqelReadFile() { CqelReadFile::Release(); }

u32 CqelReadFile::Release()
{
    AlignedFree(m_buffer);
    m_buffer = nullptr;
    m_size = 0;
    m_cursor = 0;
    m_error = false;
    return 1;
}

void CqelReadFile::Adopt(u8* buffer, u32 size)
{
    AlignedFree(m_buffer);
    m_buffer = buffer;
    m_size = buffer ? size : 0;
    m_cursor = 0;
    m_error = false;
}

u32 CqelReadFile::CopyFrom(const void* data, u32 size)
{
    if (!data || size == 0) {
        Adopt(nullptr, 0);
        return 0;
    }
    u8* copy = static_cast<u8*>(AlignedAlloc(size, 16));
    if (copy) std::memcpy(copy, data, size);
    Adopt(copy, size);
    return copy ? 1 : 0;
}

void CqelReadFile::Overrun()
{
    m_cursor = m_size;
    m_error = true;
}

u32 CqelReadFile::SetCursor(u32 position)
{
    if (position > m_size) {
        Overrun();
        return 0;
    }
    m_cursor = position;
    return 1;
}

u32 CqelReadFile::Skip(u32 count)
{
    if (count > GetRemaining()) {
        Overrun();
        return 0;
    }
    m_cursor += count;
    return 1;
}

u32 CqelReadFile::ReadFloats(f32* out, u32 count)
{
    if (!out) return 0;
    for (u32 i = 0; i < count; ++i) out[i] = ReadFloat();
    return m_error ? 0 : 1;
}

u32 CqelReadFile::ReadFloat2(f32* out) { return ReadFloats(out, 2); }
u32 CqelReadFile::ReadFloat3(f32* out) { return ReadFloats(out, 3); }
u32 CqelReadFile::ReadFloat4A(f32* out) { return ReadFloats(out, 4); }
u32 CqelReadFile::ReadFloat4B(f32* out) { return ReadFloats(out, 4); }
u32 CqelReadFile::ReadFloat4C(f32* out) { return ReadFloats(out, 4); }
u32 CqelReadFile::ReadFloat16(f32* out) { return ReadFloats(out, 16); }
