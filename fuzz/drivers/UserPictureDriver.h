// What the user picture driver and its seeds share: the input's layout.
//
//   records to the end: i32 picture length as the detail claims it (at
//   detail byte 314), u16 bytes present (little-endian), that many bytes
//   (fewer when the input ends first). Each becomes a user detail (1015)
//   of user 9 with those bytes after its 318.
#pragma once

#include "engine/core/Types.h"

#include <string>

namespace fuzz::user_picture {

inline constexpr u32 kUserId = 9;

inline std::string PictureRecord(i32 claimed, const std::string& bytes)
{
    std::string record(6, '\0');
    for (int i = 0; i < 4; ++i) record[i] = char(u8(u32(claimed) >> (8 * i)));
    record[4] = char(u8(bytes.size()));
    record[5] = char(u8(bytes.size() >> 8));
    return record + bytes;
}

}  // namespace fuzz::user_picture
