// The face file ("Chara.fac"): a character's facial expressions and which
// expression each voice shows. Little-endian:
//
//   u32 n
//   n records: the name in 260 bytes (ended after them when no zero byte
//              ends it sooner), two word tracks in the key-frame block form
//   u32 m
//   m u32 values, indexed by voice number
//
// A file that ends early keeps what its reads delivered: a missing count
// is 0, a record cut short keeps its name and tracks as far as they go, and
// only whole keys and values are taken. No count is believed past the bytes
// left, so a count costs no more than the file's own size.
#pragma once

#include "engine/core/Types.h"
#include "game/battle/character/NamedArray.h"

#include <cstddef>
#include <string>
#include <vector>

enum class FaceFileError : u8 {
    kNone,
    kMissing,        // the file cannot be read
    kOutOfMemory,    // too large to hold, or an allocation failed
};

// The text of an error (never null).
const char* DescribeFaceFileError(FaceFileError error);

struct FaceTables {
    std::vector<CNamedArray> expressions;
    std::vector<u32> voiceExpressions;
};

// Reads size bytes of a face file into out, which is left as it was when
// the data cannot be read or held.
FaceFileError ReadFaceFile(const void* data, size_t size, FaceTables& out);
// The same from a file.
FaceFileError LoadFaceFile(const char* path, FaceTables& out);
