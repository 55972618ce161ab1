// Scrambled .gpk archives, as the game's data ships them (the archive
// class's own packer writes plain ones): the layout of PackFile.h with the
// identifier, count and each directory entry scrambled with the header key
// and each body with the data key.
#pragma once

#include "engine/core/Types.h"

#include <string>
#include <string_view>
#include <vector>

namespace battle_data {

struct PackItem {
    std::string name;    // the entry name, as the game looks it up
    std::string body;
};

// The archive's bytes; seed is its first byte. Entries of equal bytes share
// one stored body.
std::string ScrambledPackBytes(const std::vector<PackItem>& items, u32 identifier, u8 key, u8 seed);
// Writes bytes at path through a file beside it renamed over it, so that a
// reader of the folder while the set is written again (another run over the
// same folder) finds each file whole; without the atomic writer's syncs,
// which would cost more than all the rest on a busy disk.
// The path may be a game path ('\' separated); its folder must exist.
bool WriteDataFile(const std::string& path, std::string_view bytes);
// Writes them at path (WriteDataFile). False when an entry name does
// not fit or the file cannot be written.
bool WriteScrambledPack(const std::string& path, const std::vector<PackItem>& items, u32 identifier, u8 key,
    u8 seed = 0x5A);

}  // namespace battle_data
