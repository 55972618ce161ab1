// Writes the battle data set under the folder given: battle tests run on it.
#include "game/battle/testdata/BattleData.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    std::string error;
    if (!battle_data::WriteBattleData(argv[1], &error)) {
        std::fprintf(stderr, "battle data not written: %s\n", error.c_str());
        return 1;
    }
    std::printf("battle data written under %s\n", argv[1]);
    return 0;
}
