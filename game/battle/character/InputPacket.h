// InputPacket: one battle character's input for one frame, 4 bytes, the
// same in memory, in replays and on the wire: 16 button bits (bit i in byte
// i / 8) and the first stick's X and Y times 100, truncated toward zero.
// Pads, replays and network peers all drive a fighter through it.
#pragma once

#include "engine/core/Types.h"

struct InputPacket {
    u8 buttons[2];
    i8 stickX, stickY;

    u32 Bit(u32 i) const { return (buttons[i / 8] >> (i % 8)) & 1u; }
};
static_assert(sizeof(InputPacket) == 4);

inline constexpr u32 kInputPacketBitCount = 16;
// The button code of each bit. Codes not listed do not travel.
inline constexpr i8 kInputPacketCodes[kInputPacketBitCount] = {12, 13, 14, 15, 16, 22, 23, 24,
                                                               25, 26, 27, 28, 29, 30, 31, 0};
