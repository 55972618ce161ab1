// What the story chain driver and its seeds share: how an input picks the
// chapter of the data set's chain it replaces, and the input's layout.
//
//   byte 0     the chapter (value % 4: prologue, battle, final battle,
//              ending) and its form (value / 4 % 2: the text, or the cache
//              read alone)
//   byte 1     the chain: Talve's (even) or Derona's (odd)
//   the rest   the file's bytes
#pragma once

#include "engine/core/Types.h"

#include <string>

namespace fuzz::story_chain {

inline constexpr u32 kChapters = 4;
enum Form : u8 { kText, kCache };

inline std::string MakeInput(u32 chapter, Form form, u32 character, const std::string& bytes)
{
    return std::string(1, char(chapter % kChapters + kChapters * form)) + char(character) + bytes;
}

}  // namespace fuzz::story_chain
