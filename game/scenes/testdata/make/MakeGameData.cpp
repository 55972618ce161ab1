// Writes the game data set (two data folders) under the folder given: the
// menu and flow tests run on it.
#include "game/scenes/testdata/SceneData.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    std::string error;
    if (!scene_data::WriteSceneData(argv[1], &error)) {
        std::fprintf(stderr, "game data not written: %s\n", error.c_str());
        return 1;
    }
    std::printf("game data written under %s/one and %s/two\n", argv[1], argv[1]);
    return 0;
}
