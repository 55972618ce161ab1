#include "engine/core/MemStream.h"

#include "host/kernel/Kernel.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

void* CMemStream::operator new(size_t size) noexcept
{
    if (size > UINT32_MAX) return nullptr;
    return AlignedAlloc(u32(size), 16);
}

CMemStream::CMemStream(const void* bytes, u32 n)
{
    if (!bytes || n == 0) return;
    m_data = static_cast<u8*>(AlignedAlloc(n, 16));
    if (!m_data) return;
    std::memcpy(m_data, bytes, n);
    m_size = n;
}

CMemStream::~CMemStream() { Clear(); }

void CMemStream::DeletingDestructor(u32 flags)
{
    this->~CMemStream();
    if (flags & 1) operator delete(this);
}

u32 CMemStream::Clear()
{
    AlignedFree(m_data);
    m_data = nullptr;
    m_size = 0;
    m_position = 0;
    return 0;
}

void CMemStream::Adopt(u8* data, u32 size)
{
    if (data != m_data) AlignedFree(m_data);
    if (size == 0) {
        AlignedFree(data);
        data = nullptr;
    }
    m_data = data;
    m_size = data ? size : 0;
    m_position = 0;
}

// Sizes are taken in 64 bits, so itemSize x count never wraps into a small
// request that would be reported as complete.
u64 CMemStream::Span(u64 itemSize, u64 count, u32& bytes) const
{
    bytes = 0;
    if (itemSize == 0 || count == 0 || m_position >= m_size) return 0;
    const u64 left = m_size - m_position;
    if (count <= left / itemSize && itemSize * count < left) {
        bytes = u32(itemSize * count);
        return count;
    }
    bytes = u32(left);
    return left / itemSize;
}

u32 CMemStream::Read(void* buffer, u32 itemSize, u32 count)
{
    if (!buffer) return u32(-1);
    u32 bytes;
    const u64 items = Span(itemSize, count, bytes);
    if (bytes) std::memcpy(buffer, m_data + m_position, bytes);
    m_position += bytes;
    return u32(items);
}

u32 CMemStream::Write(const void* buffer, u32 itemSize, u32 count)
{
    if (!buffer) return u32(-1);
    u32 bytes;
    const u64 items = Span(itemSize, count, bytes);
    if (bytes) std::memcpy(m_data + m_position, buffer, bytes);
    m_position += bytes;
    return u32(items);
}

void CMemStream::Seek(i64 offset, i32 origin)
{
    i64 target = 0;
    switch (origin) {
    case 0: target = offset; break;
    case 1: target = i64(m_position) + offset; break;
    case 2: target = i64(m_size) + offset; break;
    default: break;
    }
    m_position = u32(std::clamp<i64>(target, 0, m_size));
}

CMemStream* CreateMemStream(const void* bytes, u32 n)
{
    CMemStream* stream = new CMemStream(bytes, n);
    if (stream && bytes && n && stream->GetSize() != n) {
        delete stream;
        return nullptr;
    }
    return stream;
}

CMemStream* LoadFileToMemStream(const char* path, const char* mode)
{
    if (!path || !mode || mode[0] != 'r' || std::strchr(mode, '+')) return nullptr;
    auto file = host::kernel::OpenFile(path, mode);
    if (!file) return nullptr;
    const int64_t bytes = file->Size();
    if (bytes < 0 || bytes > int64_t(UINT32_MAX)) return nullptr;
    const u32 capacity = u32(bytes);
    u8* data = capacity ? static_cast<u8*>(AlignedAlloc(capacity, 16)) : nullptr;
    if (capacity && !data) return nullptr;
    u32 got = 0;
    while (got < capacity) {
        const size_t n = file->Read(data + got, capacity - got);
        if (n == 0) break;
        got += u32(n);
    }
    // Text mode may deliver fewer bytes than the file holds; stopping
    // before the end, though, is a failed read.
    CMemStream* stream = file->AtEnd() ? new CMemStream() : nullptr;
    if (!stream) {
        AlignedFree(data);
        return nullptr;
    }
    stream->Adopt(data, got);
    return stream;
}

size_t MemStreamRead(void* buffer, size_t itemSize, size_t count, void* stream)
{
    if (!stream) return 0;
    // Beyond 32 bits the request exceeds any stream; the clamp keeps its
    // outcome (the rest, with the same whole-item count).
    const u32 s = u32(std::min<size_t>(itemSize, UINT32_MAX));
    const u32 n = u32(std::min<size_t>(count, UINT32_MAX));
    const u32 got = static_cast<CMemStream*>(stream)->Read(buffer, s, n);
    return got == u32(-1) ? size_t(-1) : got;
}

int MemStreamSeek(void* stream, i64 offset, int origin)
{
    if (!stream) return -1;
    static_cast<CMemStream*>(stream)->Seek(offset, origin);
    return 0;
}
