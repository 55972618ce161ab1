// The game data set the menus run on: two data folders written with the
// project's own writers, grown from the battle data set. Each scene adds
// what it opens in a file of its own (Add*Data below); WriteSceneData puts
// it all on disk:
//
//   root/one/Resource/  GameResource.grc, the first folder's archives,
//                       Data/BattleBgm.gpk (41 tracks and their scripts)
//   root/two/Resource/  GameResource.grc, the second folder's and the shared
//                       archives
//
// Files the game reads by relative path (layouts, settings, effects, the
// movies) go into both folders. Media the scenes find in the resource
// controller's lists go into the shared scene archive, which start-up
// registers with its media loaded.
#pragma once

#include "engine/core/Types.h"
#include "game/scenes/GameData.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace scene_data {

enum class Folder { kFirst, kSecond, kBoth };

// The archive of menu media every scene finds by name after start-up.
inline constexpr const char* kScenePack = "Data\\Scene.gpk";

// Layouts: every layer of a menu layout is an 8 x 8 cell of one 256 x 256
// texture, in the order given, so a draw's texture coordinates tell which
// layer it was (CellOf / LayerAt). "Group/child" puts child in a group.
inline constexpr u32 kCell = 8, kTextureSide = 256;

class CSceneDataSet {
public:
    // A layout at path under Resource/ (both folders, "Scene\\X.sce"), whose
    // layers name texture as their image file (the name BindTextures
    // matches; scenes that bind one texture to all ignore it). Layers stand
    // at their cell's place on a 1024 x 768 layout, three times its size.
    void Layout(const std::string& path, const std::vector<std::string>& layers, const std::string& texture);
    // A cell texture (BMP bytes under a .dds name) as an entry of the scene
    // archive, or of another archive by AddPackEntry.
    void SceneTexture(const std::string& name);
    // A short generated sound in the scene archive (music too: whatever the
    // length, loops play).
    void SceneSound(const std::string& name, f32 seconds = 0.25f);
    // An effect file "Effect/<name>.efc" listed in both resource lists.
    void Effect(const std::string& name);
    // One entry of an archive opened by file name (OpenPack), in folder.
    void PackEntry(const GameArchive& archive, Folder folder, const std::string& entry, std::string bytes);
    // A file by relative path under Resource/ ("Setting/Skill.dat").
    void File(const std::string& path, std::string bytes, Folder folder = Folder::kBoth);

    // What WriteSceneData reads.
    struct Entry {
        GameArchive archive;
        Folder folder;
        std::string name, bytes;
    };
    std::vector<Entry> entries;
    std::vector<std::pair<std::string, Folder>> files;   // paths; bytes in fileBytes
    std::vector<std::string> fileBytes;
    std::vector<std::string> effects;
    // Each layout's layers, by path (the tests look cells up).
    std::map<std::string, std::vector<std::string>> layouts;
};

// The cell of layer i of a layout, and the layer whose cell holds texture
// point (u, v) in 0..1 (empty for none).
void CellOf(size_t i, f32* left, f32* top);
std::string LayerAt(const std::vector<std::string>& layers, f32 u, f32 v);

// Each scene's part, one file each.
void AddStartupData(CSceneDataSet& set);   // start-up and loading screens, logo, movies
void AddTitleData(CSceneDataSet& set);
void AddRecordData(CSceneDataSet& set);
void AddOptionData(CSceneDataSet& set);

// The whole set as the scenes add it.
CSceneDataSet BuildSceneData();

// Leaves things out to break one: files by their path under root
// ("two/Resource/Scene/TitleSceneM.sce"), archive entries by name.
struct Faults {
    std::set<std::string> files;
    std::set<std::string> entries;
};

// Writes the whole set under root (root/one, root/two); false with the
// reason in *error.
bool WriteSceneData(const std::string& root, std::string* error = nullptr, const Faults& faults = {});

}  // namespace scene_data
