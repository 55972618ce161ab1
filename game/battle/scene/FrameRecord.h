// The lockstep's records: the per-tick frame record that peers exchange and
// replays keep, and one queued side message. Both are plain bytes: the wire
// form is little-endian and written field by field.
#pragma once

#include "engine/core/Types.h"

#include <cstring>

inline constexpr u32 kFrameRecordBytes = 22;
inline constexpr u32 kStatePacketDataBytes = 256;
inline constexpr u32 kLockstepBufferBytes = 1400;
// The only side message the battle itself sends: a radio chat line.
inline constexpr u32 kRadioChatMessage = 3;
inline constexpr u32 kRadioChatBytes = 48;
inline constexpr u32 kRadioChatTextBytes = 40;

// f32 music time, four 4-byte input packets (entries 0..3), u8 frame
// milliseconds, u8 side-message count.
struct FrameRecord {
    u8 bytes[kFrameRecordBytes] = {};

    f32 GetMusicTime() const
    {
        u32 bits = u32(bytes[0]) | u32(bytes[1]) << 8 | u32(bytes[2]) << 16 | u32(bytes[3]) << 24;
        f32 value;
        std::memcpy(&value, &bits, 4);
        return value;
    }
    void SetMusicTime(f32 value)
    {
        u32 bits;
        std::memcpy(&bits, &value, 4);
        for (u32 i = 0; i < 4; ++i) bytes[i] = u8(bits >> (8 * i));
    }
    const u8* GetPacket(u32 entry) const { return bytes + 4 + 4 * (entry & 3); }
    u8* GetPacket(u32 entry) { return bytes + 4 + 4 * (entry & 3); }
    u8 GetFrameMs() const { return bytes[20]; }
    void SetFrameMs(u8 ms) { bytes[20] = ms; }
    u8 GetMessageCount() const { return bytes[21]; }
    void SetMessageCount(u8 n) { bytes[21] = n; }
};
static_assert(sizeof(FrameRecord) == kFrameRecordBytes);

// One side message waiting for its frame: id, length, data.
struct StatePacket {
    u32 id = 0;
    u32 length = 0;
    u8 data[kStatePacketDataBytes] = {};
};
static_assert(sizeof(StatePacket) == 264);
