#include "engine/core/PackFile.h"
#include "game/scenes/RecordScene.h"
#include "game/scenes/testdata/SceneData.h"
#include "host/image/Image.h"

#include <vector>

namespace scene_data {

namespace {

// A plain 256 x 256 picture: draws tell layers apart by their texture
// coordinates, not by what the texture shows.
std::string PlainTexture(u32 colour)
{
    const std::vector<uint32_t> pixels(kTextureSide * kTextureSide, colour);
    std::vector<uint8_t> bmp;
    host::image::WriteBmp24(pixels.data(), kTextureSide, kTextureSide, kTextureSide * 4, bmp);
    return std::string(bmp.begin(), bmp.end());
}

}  // namespace

// The record's layout binds its own textures, from "Data\CharaSharing.gpk":
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
    set.PackEntry(pack, Folder::kFirst, record::kFrameTexture, PlainTexture(0xFF3060A0u));
    set.PackEntry(pack, Folder::kFirst, record::CharacterTexture(0), PlainTexture(0xFFA03030u));
    set.PackEntry(pack, Folder::kSecond, record::CharacterTexture(17), PlainTexture(0xFF30A030u));

    set.SceneSound(record::kMusic, 1.0f);
    for (const char* sound : record::kSounds) set.SceneSound(sound);
}

}  // namespace scene_data
