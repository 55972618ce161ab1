// `CMemStream`: a byte stream over an owned buffer with the C library's
// fread/fseek behaviour. Sounds keep whole Ogg Vorbis and WAV files in
// memory streams and hand the decoder MemStreamRead and MemStreamSeek as
// its read and seek callbacks; scene loading reads records from them.
#pragma once

#include "engine/core/Memory.h"
#include "engine/core/Types.h"

#include <cstddef>

class CMemStream {
public:
    CMemStream() = default;
    // A copy of n bytes; empty for null bytes, n 0 or a failed allocation.
    CMemStream(const void* bytes, u32 n);
    CMemStream(const CMemStream&) = delete;
    CMemStream& operator=(const CMemStream&) = delete;
    ~CMemStream();

    // The engine heap (zero-filled, 16-byte aligned, null on failure).
    static void* operator new(size_t size) noexcept;
    static void operator delete(void* block) noexcept { AlignedFree(block); }

    // Runs the destructor and, with bit 0 of flags set, frees the object.
    void DeletingDestructor(u32 flags);

    // Copies count items of itemSize bytes from the position and advances.
    // Past the end it copies all that is left, a partial last item
    // included, and returns the whole items copied; at the end it returns 0.
    // A null buffer gives (u32)-1. itemSize 0 reads nothing.
    u32 Read(void* buffer, u32 itemSize, u32 count);
    // Read with the direction reversed: overwrites the stream's bytes at
    // the position; the stream never grows.
    u32 Write(const void* buffer, u32 itemSize, u32 count);
    // Frees the data; size and position 0. Returns 0.
    u32 Clear();
    // Takes ownership of size bytes at data (from AlignedAlloc) in place of
    // the stream's own; position 0. Size 0 frees data: the stream is empty.
    void Adopt(u8* data, u32 size);

    // Moves the position (origin 0 start, 1 current, 2 end; any other
    // origin means the start with offset 0), clamped to 0..size.
    void Seek(i64 offset, i32 origin);

    const u8* GetData() const { return m_data; }
    u32 GetSize() const { return m_size; }
    u32 GetPosition() const { return m_position; }

private:
    // The bytes a transfer of count items moves from the position, and the
    // whole items among them.
    u64 Span(u64 itemSize, u64 count, u32& bytes) const;

    u8* m_data = nullptr;
    u32 m_size = 0;
    u32 m_position = 0;
};

// A new stream holding a copy of n bytes; null when it cannot be allocated.
CMemStream* CreateMemStream(const void* bytes, u32 n);

// The whole file in a new stream, or null when it cannot be opened or read
// completely. mode is a read mode ("rb"; a text mode turns CR LF into LF);
// a mode that would write is refused. An empty file gives an empty stream.
CMemStream* LoadFileToMemStream(const char* path, const char* mode);

// CMemStream::Read in fread's shape (the decoder's read callback); stream is
// a CMemStream. A null stream reads nothing; a null buffer gives (size_t)-1.
size_t MemStreamRead(void* buffer, size_t itemSize, size_t count, void* stream);

// CMemStream::Seek in fseek's shape (the decoder's seek callback): 0, or -1
// for a null stream.
int MemStreamSeek(void* stream, i64 offset, int origin);
