// Scrambled .gpk archives, as the game's data ships them (the archive
// class's own packer writes plain ones): the layout of PackFile.h with the
// identifier, count and each directory entry scrambled with the header key
// and each body with the data key.
#pragma once

#include "engine/core/Types.h"

#include <string>
#include <vector>

namespace battle_data {

struct PackItem {
    std::string name;    // the entry name, as the game looks it up
    std::string body;
};

// The archive's bytes; seed is its first byte.
std::string ScrambledPackBytes(const std::vector<PackItem>& items, u32 identifier, u8 key, u8 seed);
// Writes them at path in one atomic write. False when an entry name does
// not fit or the file cannot be written.
bool WriteScrambledPack(const std::string& path, const std::vector<PackItem>& items, u32 identifier, u8 key,
    u8 seed = 0x5A);

}  // namespace battle_data
