// The game data set (two data folders) written into a folder of the
// process's own, for the drivers and seeds that run the game headless.
#pragma once

#include "fuzz/FuzzSupport.h"
#include "game/scenes/testdata/SceneData.h"

#include <cstdio>
#include <string>

namespace fuzz {

// The folder name/ inside the process folder holding the data set, without
// its trailing '/'; a data set that cannot be written aborts.
inline std::string WriteGameDataFolder(const char* name)
{
    const std::string folder = Folder(name);
    const std::string root = folder.substr(0, folder.size() - 1);
    std::string error;
    if (!scene_data::WriteSceneData(root, &error)) {
        std::fprintf(stderr, "%s: %s\n", name, error.c_str());
        Fail("the game data set is written", __FILE__, __LINE__);
    }
    return root;
}

}  // namespace fuzz
