// What the adventure map driver and its seeds share: which file of the map
// an input replaces, in which form, what the save holds, and the walk.
//
//   byte 0          file (value % 7: the map, then event files 1..6) and
//                   form (value / 7 % 2: the cache the game opens, with
//                   no text beside it, or the text, read over its cache)
//   byte 1          save: bit 0 every node open, bit 1 every orb, bit 2
//                   every node cleared (each shown too with bit 3)
//   bytes 2, 3      the column and half-row handed to the map
//   byte 4          key count n (value % 32)
//   bytes 5..n+4    the keys: up, down, left, right, decide, cancel (% 6)
//   the rest        the file's bytes
#pragma once

#include "engine/core/Types.h"

#include <string>

namespace fuzz::adventure_map {

inline constexpr u32 kFiles = 7;
inline constexpr u32 kMaxKeys = 32;
enum Form : u8 { kCache, kText };
enum SaveBits : u8 { kAllOpen = 1, kAllOrbs = 2, kAllCleared = 4, kShown = 8 };

// File f's text (under a data folder's Resource/); its cache is the text's
// cache path.
inline std::string TextOf(u32 file)
{
    return file == 0 ? "Adventure.txt" : "Adv_node" + std::to_string(file) + ".txt";
}

inline std::string MakeInput(u32 file, Form form, u8 save, u8 column, u8 halfRow, const std::string& keys,
                             const std::string& bytes)
{
    const size_t n = keys.size() < kMaxKeys ? keys.size() : kMaxKeys - 1;
    std::string input;
    input += char(file % kFiles + kFiles * u32(form));
    input += char(save);
    input += char(column);
    input += char(halfRow);
    input += char(n);
    return input + keys.substr(0, n) + bytes;
}

}  // namespace fuzz::adventure_map
