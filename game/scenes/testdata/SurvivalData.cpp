#include "engine/core/PackFile.h"
#include "game/scenes/SurvivalScene.h"
#include "game/scenes/testdata/SceneData.h"

#include <string>
#include <vector>

namespace scene_data {

std::vector<std::string> SurvivalLayers()
{
    std::vector<std::string> layers = {"Base"};
    for (const char* abbreviation : survival::kAbbreviations) layers.push_back(std::string("cha_") + abbreviation);
    return layers;
}

// The survival result's layout: the frame and the 18 pictures, bound by
// file name from "Data\CharaSharing.gpk". The frame sits in the second
// folder; the pictures the record's data put there (the first and the last
// character) serve here too, the others are missing, which the scene allows.
// Its texture's name is the single select's and the adventure map's: its
// cells follow theirs there (CellBase).
void AddSurvivalData(CSceneDataSet& set)
{
    set.Layout(survival::kLayout, SurvivalLayers(), survival::kFrameTexture);

    const GameArchive pack{survival::kPackName, survival::kPack, kPackKeyFirst};
    set.PackEntry(pack, Folder::kSecond, survival::kFrameTexture, CellTextureBytes());
    set.SceneSound(survival::kMusic, 1.0f);
    set.SceneSound(survival::kDecideSound);
}

}  // namespace scene_data
