// The small writers every game data set shares: files and scrambled
// archives under a data folder's Resource/, and the one piece of music the
// built-in battle tracks all use with a script it passes.
#pragma once

#include "engine/core/Types.h"
#include "game/battle/testdata/ScrambledPack.h"

#include <string>
#include <vector>

namespace scene_data {

using battle_data::PackItem;

// A script every built-in track passes: its music lasts 64 s. In code page
// 932, as the game's files are, whatever the compiler's execution charset.
const std::string& MusicScript();

// The quiet tone of a little over a minute each built-in track is (made
// once, a few kilobytes).
const std::string& MusicOgg();

// Writes bytes at path, making its folders; the reason when it cannot,
// else empty (so reasons add up).
std::string Put(const std::string& path, const std::string& bytes);
// path with '\' turned into '/'.
std::string Native(std::string path);
// A scrambled archive at resource + "/" + path (a game path, "Data\\X.gpk")
// with the CRC-32 of packName as its identifier; the reason or empty.
std::string PutPack(const std::string& resource, const char* path, const char* packName, u8 key,
    const std::vector<PackItem>& items);

}  // namespace scene_data
