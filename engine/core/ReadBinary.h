// `CqelReadBinary`: reads a whole binary file (the engine model file) as
// little-endian fields at a cursor, unaligned.
#pragma once

#include "engine/core/ReadFile.h"
#include "engine/core/ValueBase.h"

class CqelReadBinary : public CqelReadFile {
    ORV_VALUE_CLASS(CqelReadBinary)

public:
    CqelReadBinary() = default;
    CqelReadBinary(const CqelReadBinary& other) = default;
    CqelReadBinary& operator=(const CqelReadBinary& other) = default;
    ~CqelReadBinary() override = default;

    u32 LoadFromMemory(const void* data, u32 size) override;
    // The whole file, opened "rb". An empty file loads nothing (0).
    u32 LoadFromFile(const char* path) override;

    // The bytes up to the next zero byte, which is consumed; null for an
    // empty string. At most kMaxString bytes are kept (never half of a
    // double-byte character), the rest up to the terminator is skipped. A
    // string that runs to the end of the data without its terminator is
    // returned as it is, with the error flag set.
    char* ReadString() override;
    i8 ReadInt8() override;
    i16 ReadInt16() override;
    i32 ReadInt32() override;
    u32 ReadUInt32() override;
    f32 ReadFloat() override;

    // Copies count raw bytes to out; 1, or 0 when out is null, or when
    // fewer are left (nothing copied, an overrun).
    u32 ReadBytes(void* out, u32 count);

    static constexpr u32 kMaxString = 512;

private:
    // The next count bytes, advancing the cursor; null (and an overrun)
    // when fewer are left.
    const u8* Take(u32 count);
};
