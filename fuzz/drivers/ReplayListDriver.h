// What the replay list driver and its seeds share: the input's layout.
//
//   byte 0            key count n (value % 16)
//   bytes 1..n        the keys, one every few frames: button code 8 + value % 24
//   then, up to 6 x   u8 slot (1 + value % 30), u16 length, that many bytes
//                     (fewer when the input ends): a file put in that slot
#pragma once

#include "engine/core/Types.h"

#include <string>
#include <utility>
#include <vector>

namespace fuzz::replay_list {

inline constexpr u32 kMaxKeys = 16;
inline constexpr u32 kMaxFiles = 6;
inline constexpr u32 kSlots = 30;

// slot 1..30 and the file's bytes.
using SlotFile = std::pair<u32, std::string>;

inline std::string MakeInput(const std::string& keys, const std::vector<SlotFile>& files)
{
    const size_t n = keys.size() < kMaxKeys ? keys.size() : kMaxKeys - 1;
    std::string input(1, char(n));
    input += keys.substr(0, n);
    for (const auto& [slot, bytes] : files) {
        const size_t length = bytes.size() < 0xFFFF ? bytes.size() : 0xFFFF;
        input += char((slot + kSlots - 1) % kSlots);
        input += char(length & 0xFF);
        input += char(length >> 8);
        input += bytes.substr(0, length);
    }
    return input;
}

}  // namespace fuzz::replay_list
