#include "engine/core/PackFile.h"
#include "game/scenes/RecordScene.h"
#include "game/scenes/testdata/SceneData.h"

#include <vector>

namespace scene_data {


// The record's layout binds its own textures (each the cell texture, so a
// drawn layer still tells itself by its cell), from "Data\CharaSharing.gpk":
// the frame in the first folder, pictures of the first and the last
// character spread over both (the others are missing, which the scene
// allows).
void AddRecordData(CSceneDataSet& set)
{
    std::vector<std::string> layers = {"Base", "TotalBase", "SoloBase"};
    for (const char* abbreviation : record::kAbbreviations) layers.push_back(std::string("name_") + abbreviation);
    for (const char* abbreviation : record::kAbbreviations) layers.push_back(std::string("cha_") + abbreviation);
    set.Layout(record::kLayout, layers, record::kFrameTexture);

    const GameArchive pack{record::kPackName, record::kPack, kPackKeyFirst};
    set.PackEntry(pack, Folder::kFirst, record::kFrameTexture, CellTextureBytes());
    set.PackEntry(pack, Folder::kFirst, record::CharacterTexture(0), CellTextureBytes());
    set.PackEntry(pack, Folder::kSecond, record::CharacterTexture(17), CellTextureBytes());

    set.SceneSound(record::kMusic, 1.0f);
    for (const char* sound : record::kSounds) set.SceneSound(sound);
}

}  // namespace scene_data
