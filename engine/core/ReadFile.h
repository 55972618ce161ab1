// `CqelReadFile`: the common base of the whole-file readers. A reader holds
// one owned copy of a file (or of a memory block) and reads it forward with
// a cursor. The text tokenizer (`CqelReadText`) and the little-endian field
// reader (`CqelReadBinary`) share one table of virtual operations, so a
// model loader can be written against either.
//
// The readers stand outside the CValueBase hierarchy but keep its shape:
// the engine heap, the class name and size, and the four factories (the
// ORV_VALUE_CLASS macro works on the concrete readers unchanged).
//
// Input is untrusted: no read ever looks past the buffer. A read that needs
// more than is left returns 0 (or null), moves the cursor to the end and
// sets the reader's error flag, which stays set until the next load or
// Release, so a loader can read a whole record and test once.
#pragma once

#include "engine/core/Memory.h"
#include "engine/core/Types.h"

#include <cstddef>

class CqelReadFile {
public:
    CqelReadFile() = default;
    // Copies size, cursor and error flag and duplicates the buffer; when the
    // copy cannot be allocated the new reader is empty.
    CqelReadFile(const CqelReadFile& other);
    CqelReadFile& operator=(const CqelReadFile& other);
    virtual ~CqelReadFile();

    // The engine heap (zero-filled, 16-byte aligned, null on failure).
    static void* operator new(size_t size) noexcept;
    static void operator delete(void* block) noexcept { AlignedFree(block); }
    static void* operator new(size_t size, void* memory) noexcept
    {
        return PlacementNew(u32(size), memory);
    }
    static void operator delete(void*, void*) noexcept {}

    // Replaces the contents with a copy of size bytes; cursor 0. 1, or 0
    // for null data, size 0 or a failed allocation (the reader is then
    // empty).
    virtual u32 LoadFromMemory(const void* data, u32 size) = 0;
    // Replaces the contents with the whole file; cursor 0. 1, or 0 when the
    // file cannot be opened or read completely (the reader is then empty).
    virtual u32 LoadFromFile(const char* path) = 0;

    // A new 16-byte-aligned string (the caller frees it with AlignedFree),
    // or null.
    virtual char* ReadString() = 0;
    virtual i8 ReadInt8() = 0;
    virtual i16 ReadInt16() = 0;
    virtual i32 ReadInt32() = 0;
    virtual u32 ReadUInt32() = 0;
    virtual f32 ReadFloat() = 0;
    // Groups of floats, each read through ReadFloat in order into out[0],
    // out[1], ... 1 when all were there, 0 when the data ran out (or out is
    // null, which reads nothing).
    virtual u32 ReadFloat2(f32* out);
    virtual u32 ReadFloat3(f32* out);
    virtual u32 ReadFloat4A(f32* out);
    virtual u32 ReadFloat4B(f32* out);
    virtual u32 ReadFloat4C(f32* out);
    // A 4x4 matrix, row by row.
    virtual u32 ReadFloat16(f32* out);

    // Frees the buffer: size 0, cursor 0, error flag clear. Returns 1.
    virtual u32 Release();

    virtual const char* GetClassName() const { return "CqelReadFile"; }
    virtual u32 GetSize() const { return u32(sizeof(CqelReadFile)); }
    virtual CqelReadFile* CreatePooled(void* memory) const = 0;
    virtual CqelReadFile* Create() const = 0;
    virtual CqelReadFile* ClonePooled(void* memory) const = 0;
    virtual CqelReadFile* Clone() const = 0;

    const u8* GetData() const { return m_buffer; }
    u32 GetDataSize() const { return m_size; }
    u32 GetCursor() const { return m_cursor; }
    u32 GetRemaining() const { return m_size - m_cursor; }
    // Moves the cursor; a position past the end puts it at the end and
    // sets the error flag (0), else 1.
    u32 SetCursor(u32 position);
    // Moves the cursor forward by count bytes, with SetCursor's checks.
    u32 Skip(u32 count);
    // 1 once a read ran past the end of the data (or found it damaged).
    u32 HasError() const { return m_error ? 1 : 0; }

protected:
    // Takes ownership of an AlignedAlloc block of size bytes, freeing the
    // old buffer; cursor 0, error flag clear.
    void Adopt(u8* buffer, u32 size);
    // Replaces the contents with a copy of size bytes (LoadFromMemory).
    u32 CopyFrom(const void* data, u32 size);
    // Marks a read that ran out of data: cursor to the end, error flag set.
    void Overrun();

    u8* m_buffer = nullptr;
    u32 m_size = 0;
    u32 m_cursor = 0;
    bool m_error = false;

private:
    u32 ReadFloats(f32* out, u32 count);
};
