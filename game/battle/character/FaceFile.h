// The face file ("Chara.fac"): a character's facial expressions and which
// expression each voice shows. Little-endian:
//
//   u32 n
//   n records: the name in 260 bytes (ending within them),
//              two word tracks in the key-frame block form
//   u32 m
//   m u32 values, indexed by voice number
//
// Every count and length is checked against the bytes left before anything
// is allocated, and a file is taken whole or not at all.
#pragma once

#include "engine/core/Types.h"
#include "game/battle/character/NamedArray.h"

#include <cstddef>
#include <string>
#include <vector>

enum class FaceFileError : u8 {
    kNone,
    kMissing,        // the file cannot be read
    kCut,            // a count or a field runs past the end
    kUnendedName,    // no zero byte within a record's 260 name bytes
    kBadTrack,       // a track block is damaged
};

// The text of an error (never null).
const char* DescribeFaceFileError(FaceFileError error);

struct FaceTables {
    std::vector<CNamedArray> expressions;
    std::vector<u32> voiceExpressions;
};

// Reads size bytes of a face file into out, which is replaced only when the
// whole file reads.
FaceFileError ReadFaceFile(const void* data, size_t size, FaceTables& out);
// The same from a file.
FaceFileError LoadFaceFile(const char* path, FaceTables& out);
