// CRC-32 keys of names, buffers and files.
//
// The engine's CRC is not the usual one: the register starts at 0xFFFFFFFF
// and is never inverted at the end, and each byte is taken as a signed char
// whose absolute value is fed (0x80 -> 128, 0xFF -> 1). Dictionary keys,
// compiled settings caches, archive identifiers and save-file checksums all
// store these exact values, so the rule is part of those file layouts.
#pragma once

#include "engine/core/Types.h"

#include <array>

namespace crc32_detail {

// The reflected IEEE 802.3 table of polynomial 0xEDB88320.
constexpr std::array<u32, 256> MakeTable()
{
    std::array<u32, 256> table{};
    for (u32 i = 0; i < 256; ++i) {
        u32 c = i;
        for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}

inline constexpr std::array<u32, 256> kTable = MakeTable();

// The value fed for one byte: its absolute value as a signed 8-bit number.
constexpr u32 FedValue(u8 byte)
{
    const int s = byte < 0x80 ? int(byte) : int(byte) - 256;
    return u32(s < 0 ? -s : s);
}

constexpr u32 Step(u32 crc, u8 byte)
{
    return (crc >> 8) ^ kTable[(crc ^ FedValue(byte)) & 0xFF];
}

}  // namespace crc32_detail

// Continues a CRC over size bytes; start a fresh one with 0xFFFFFFFF.
u32 Crc32Update(u32 crc, const void* bytes, size_t size);

// CRC of size bytes; 0xFFFFFFFF for null bytes or size 0.
u32 Crc32Buffer(const void* bytes, u32 size);

// CRC of the strlen bytes of a C string (the terminator is not hashed);
// 0xFFFFFFFF for null. Usable at compile time for fixed keys.
constexpr u32 Crc32String(const char* s)
{
    u32 crc = 0xFFFFFFFFu;
    if (!s) return crc;
    for (; *s; ++s) crc = crc32_detail::Step(crc, u8(*s));
    return crc;
}

// The dictionary and settings key of a name: the same value as Crc32String.
constexpr u32 Crc32NameKey(const char* s) { return Crc32String(s); }

// CRC of a whole file (path in code page 932, opened "rb"); 0xFFFFFFFF when
// the file cannot be opened or read.
u32 Crc32File(const char* path);
