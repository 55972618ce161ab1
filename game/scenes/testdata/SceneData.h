// The game data set the menus run on: two data folders written with the
// project's own writers, grown from the battle data set. Each scene adds
// what it opens in a file of its own (Add*Data below); WriteSceneData puts
// it all on disk:
//
//   root/one/Resource/  GameResource.grc (empty), the first folder's archives
//                       (the battle's jingles, the particle texture, the
//                       fighters and stages of the first folder's list),
//                       Data/BattleBgm.gpk (41 tracks and their scripts),
//                       Data/Load.gpk (the loading screens' backgrounds)
//   root/two/Resource/  GameResource.grc (the effects), the second folder's
//                       and the shared archives (the scene archive, the
//                       fighters and stages the game takes from there)
//
// Files the game reads by relative path (layouts, settings, effects, the
// movies) go into both folders. Media the scenes find in the resource
// controller's lists go into the shared scene archive, which start-up
// registers with its media loaded. The battle data set (the 18 fighters,
// the 19 stages, their effects, the HUD) is grown in, so a battle of any
// of them loads from these folders. Archive entries of equal bytes are
// stored once per archive.
//
// Effects are listed in the second folder's resource list only: an effect
// binds its particles' texture when it is listed, and by then the first
// folder's archives (the particle texture in its "Data\\SE.gpk") are
// registered.
#pragma once

#include "engine/core/PackFile.h"
#include "engine/core/Types.h"
#include "game/scenes/GameData.h"
#include "game/scenes/testdata/DataFiles.h"

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace scene_data {

enum class Folder { kFirst, kSecond, kBoth };

// The ending movie's length in each folder: they differ, so one opened
// from the wrong folder shows.
inline constexpr f32 kFirstEndingSeconds = 3.0f, kSecondEndingSeconds = 4.0f;

// The archive of menu media every scene finds by name after start-up.
inline constexpr const char* kScenePack = "Data\\Scene.gpk";
inline constexpr GameArchive kSceneArchive = {"SCENEPACK", kScenePack, kPackKeyFirst};
// The archive the loading screens take their backgrounds from.
inline constexpr GameArchive kLoadArchive = {"LOADPACK", "Data\\Load.gpk", kPackKeyFirst};
// The battle music archive: the 41 built-in tracks and their scripts.
inline constexpr GameArchive kMusicArchive = {"BGMPACK", "Data\\BattleBgm.gpk", kPackKeyFirst};
// Where every effect's particles take their texture from (first folder).
inline constexpr GameArchive kParticleArchive = {"SEPACK", "Data\\SE.gpk", kPackKeyFirst};
inline constexpr const char* kParticleTexture = "Efc_particle.dds";

// The environment variable that names the written set's folder for tests
// (CTest sets it; see CMakeLists.txt), and that folder ("" when unset).
inline constexpr const char* kDataRootVariable = "ORV_GAME_DATA";
std::string GameDataFolder();

// Layouts: every layer of a menu layout is a 128 x 32 cell of one
// 1024 x 2048 texture, in the order given, so a draw's texture coordinates
// tell which layer it was (CellOf / LayerAt); the cell shows the words the
// layer stands for (CellText). "Group/child" puts child in a group.
inline constexpr u32 kCellWidth = 128, kCellHeight = 32, kTextureWidth = 1024, kTextureHeight = 2048;
inline constexpr u32 kCellsPerRow = kTextureWidth / kCellWidth;                    // 8
inline constexpr u32 kCellCount = kCellsPerRow * (kTextureHeight / kCellHeight);   // 512

// A layer drawn as a panel instead of its grid square: its cell stretched
// to width x height at (x, y) of the layout, given as the layer's base
// position, so a scene that moves the layer by its offset keeps the place.
// A panel the scene scales (sizeInTrack) takes its size from its scaling
// track instead of its offset scale, which the scene's scale replaces.
struct LayerPanel {
    const char* name;
    f32 x, y, width, height;
    bool sizeInTrack = false;
};

// Words written at a place of the layout, lined up as a scene lines up its
// own texts there: starting at x, centred on it or ending at it, their top
// at y.
enum class Align { kLeft, kCentre, kRight };
struct SheetText {
    f32 x, y;
    Align align;
    std::string text;
};

// A layer drawn from a picture of its own instead of its cell: width x
// height texels at (left, top) of the layout's texture, below the cells the
// layouts use, standing texel for texel at (x, y) of the layout. The
// picture is a framed fill with texts in it, given in layout pixels, so
// words land where the scene draws what they name.
struct LayerSheet {
    std::string name;
    u32 left, top, width, height;
    f32 x, y;
    std::vector<SheetText> texts;
    // A dark fill in a grey frame, its words white: a scene's own white
    // texts read over it.
    bool dark = false;
};
// Why sheets cannot be drawn for a layout of layers (one outside the
// texture, over a cell the layers use, for no layer of theirs or given
// twice, a text outside its sheet, two sheets over one another); empty when
// they can.
std::string SheetError(const std::vector<std::string>& layers, const std::vector<LayerSheet>& sheets);

// Panels of layers whose names are made at run time. The names are kept for
// the life of the process, since the panels point into them.
std::vector<LayerPanel> KeepNamedPanels(const std::vector<std::pair<std::string, LayerPanel>>& spots);

class CSceneDataSet {
public:
    // A layout at path under Resource/ (both folders, "Scene\\X.sce"), whose
    // layers name texture as their image file (the name BindTextures
    // matches; scenes that bind one texture to all ignore it). Layers stand
    // at their slot (SlotOf) of a 1024 x 768 layout, at their cell's size.
    // The texture, wherever the set holds it, shows these layers' words
    // (a cell another layout's layer already holds keeps it, the clash
    // added to error).
    // A sheet draws its layer instead (when the layout's sheets cannot be
    // drawn, or meet another layout's on the texture, they are left out,
    // the reason added to error).
    void Layout(const std::string& path, const std::vector<std::string>& layers, const std::string& texture,
                const std::vector<LayerPanel>& panels = {}, const std::vector<LayerSheet>& sheets = {});
    // A cell texture (BMP bytes under a .dds name) as an entry of the scene
    // archive, or of another archive by AddPackEntry.
    void SceneTexture(const std::string& name);
    // A short generated sound in the scene archive (music too: whatever the
    // length, loops play).
    void SceneSound(const std::string& name, f32 seconds = 0.25f);
    // An effect file "Effect/<name>.efc" in both folders, listed in the
    // second's resource list: a few particles of kParticleTexture born
    // every second for as long as it plays.
    void Effect(const std::string& name);
    // One entry of an archive opened by file name (OpenPack), in folder.
    void PackEntry(const GameArchive& archive, Folder folder, const std::string& entry, std::string bytes);
    // A file by relative path under Resource/ ("Setting/Skill.dat"). A
    // later file of the same path and folder replaces an earlier one (the
    // scenes' settings over the battle's), as does a later archive entry.
    void File(const std::string& path, std::string bytes, Folder folder = Folder::kBoth);
    // A movie made by ffmpeg when the set is written (MPEG-1 video, MPEG-1
    // layer II sound, 160 x 120, 25 frames a second), in folder; the
    // variant tells movies apart (picture and pitch).
    void Movie(const std::string& path, f32 seconds, u32 variant, Folder folder = Folder::kBoth);

    // What WriteSceneData reads.
    struct Entry {
        GameArchive archive;
        Folder folder;
        std::string name, bytes;
    };
    std::vector<Entry> entries;
    std::vector<std::pair<std::string, Folder>> files;   // paths; bytes in fileBytes
    std::vector<std::string> fileBytes;
    std::vector<std::string> effects;   // names listed in the resource list
    struct MovieFile {
        std::string path;
        f32 seconds;
        u32 variant;
        Folder folder;
    };
    std::vector<MovieFile> movies;
    // Why the set could not be built whole (the battle part, a sheet left
    // out); empty when it was.
    std::string error;
    // Each layout's layers and the texture it names, by path (the tests
    // look cells up).
    std::map<std::string, std::vector<std::string>> layouts;
    std::map<std::string, std::string> layoutTextures;
    // Each texture's cells: the layers of the layouts naming it, each on
    // its cell (CellBase), the first layout's where two would clash.
    std::map<std::string, std::vector<std::string>> textureLayers;
    // Each layout's sheets, by path, and the sheets drawn into each texture.
    std::map<std::string, std::vector<LayerSheet>> layoutSheets, textureSheets;
    // Words a texture's cell shows instead of its layer's usual ones, by
    // texture and layer (a layer name that means another thing there).
    std::map<std::string, std::map<std::string, std::string>> textureWords;
    // Textures the scenes draw only through their layouts' cells: each is
    // cut to the rows of cells those use (FittedHeight), so loading it
    // decodes no more than is drawn. A texture with sheets keeps its height.
    std::set<std::string> fittedTextures;
};

// The height of a texture cut to its first `cells` cells: their rows,
// rounded up to a power of two (the loader stretches other heights to one).
u32 FittedHeight(size_t cells);

// The top-left corner of cell i of a texture in texture coordinates
// (0..1), and the layer of a layout whose cell holds texture point (u, v)
// (empty for none).
void CellOf(size_t i, f32* left, f32* top);
// The first cell of a layout's layers: 0, but layouts that name one texture
// (the network screens; the record and the replay list; the single select,
// the adventure map and the survival result) take the cells after the one
// before them (layer i of a layout is cell CellBase(layers) + i).
size_t CellBase(const std::vector<std::string>& layers);
// A point of a sheet's picture gives its layer.
// textureHeight is the drawn texture's (a fitted one is not kTextureHeight).
std::string LayerAt(const std::vector<std::string>& layers, f32 u, f32 v, const std::vector<LayerSheet>& sheets = {},
                    u32 textureHeight = kTextureHeight);
// Where layer i stands on the 1024 x 768 layout: eight columns of 128 by
// 24 rows of 32, row by row, starting over past the 192nd.
void SlotOf(size_t i, f32* x, f32* y);
// The colour that fills cell i (inside its frame, clear of its words from
// three texels in), a hue of its own, none the loader's transparent green.
u32 CellColour(size_t i);
// The fill of cell i when its layer has no words (a background): the same
// hue, lighter, so only the words are dark on the screen.
u32 PlainColour(size_t i);
// The words a layer's cell shows: the English its name stands for in the
// game's menus (digits "n0".."n9" as the digit), else its own name.
std::string CellText(const std::string& layer);
// The layout file's bytes: layers in order, each its cell of the texture
// named texture, placed at its slot or panel; "Group/child" puts child into
// the group (made on first use), or under the layer of that name when one
// came before. A panel under a placed panel is given relative to it, so
// panels name where they stand on the layout wherever they are.
// A layer with a sheet is drawn from the sheet's picture, where it says.
std::string LayoutBytes(const std::vector<std::string>& layers, const std::string& texture,
                        const std::vector<LayerPanel>& panels = {}, const std::vector<LayerSheet>& sheets = {});
// The cell texture (a PNG) holding the layers' words (words's own for the
// layers it names), each in its cell;
// without layers, every cell a framed tile of its hue. The sheets are drawn
// into it below the cells, none when one does not fit or two meet. height
// cuts it to its top rows.
const std::string& CellTextureBytes(const std::vector<std::string>& layers = {},
                                    const std::vector<LayerSheet>& sheets = {},
                                    const std::map<std::string, std::string>& words = {},
                                    u32 height = kTextureHeight);

// Each scene's part, one file each.
void AddBattleData(CSceneDataSet& set);    // the battle data set, grown in
// The logo: the studio's name in dark letters on white, an orange line and
// "presents" under it, as large as the logo scene draws it (its top left
// 244 x 132 left and above the middle of the screen).
inline constexpr const char* kLogoTexture = "Circle_logo.dds";
inline constexpr u32 kLogoWidth = 488, kLogoHeight = 264;
const std::string& LogoTextureBytes();
void AddStartupData(CSceneDataSet& set);   // start-up and loading screens, logo, movies
void AddTitleData(CSceneDataSet& set);
// Every layer the title's layout holds, in its order, and where its items
// stand: a column from (kTitleItemLeft, kTitleItemTop), kTitleItemStep apart,
// each its cell half as large again.
std::vector<std::string> TitleLayers();
inline constexpr f32 kTitleItemLeft = 480.0f, kTitleItemTop = 100.0f, kTitleItemStep = 58.0f;
inline constexpr f32 kTitleItemWidth = 192.0f, kTitleItemHeight = 48.0f;
// The background's lit marks, one behind the right end of each item where
// only the selected item, moved left, leaves it bare ("Base/Lit<item>").
// The selected item moves 68 to the left.
inline constexpr f32 kTitleMarkWidth = 68.0f;
inline constexpr f32 kTitleMarkLeft = kTitleItemLeft + kTitleItemWidth - kTitleMarkWidth;
std::string TitleMarkLayer(u32 item);
std::vector<LayerPanel> TitlePanels();
// The record: its layers in order, and the sheets of its pages' frames,
// which name what each number of the page counts beside it.
void AddRecordData(CSceneDataSet& set);
std::vector<std::string> RecordLayers();
std::vector<LayerSheet> RecordSheets();
// The replay list: its layers in order, and where its numbers, cursor and
// page buttons stand.
void AddReplayData(CSceneDataSet& set);
std::vector<std::string> ReplayLayers();
std::vector<LayerPanel> ReplayPanels();
// The survival result: its layers in order.
void AddSurvivalData(CSceneDataSet& set);
std::vector<std::string> SurvivalLayers();
// The single select: the orb panel's header strip is a sheet naming it.
void AddSingleSelectData(CSceneDataSet& set);
std::vector<LayerSheet> SingleSelectSheets();
// The story's layouts: the preview's player slots in a column on the left,
// the opponent's on the right, the versus mark between them.
// The story preview's panel ("Base", a sheet) under the pictures: what it
// shows stands on it, the chapter's line too.
inline constexpr f32 kStoryPanelX = 16.0f, kStoryPanelY = 496.0f, kStoryPanelWidth = 992.0f, kStoryPanelHeight = 256.0f;
std::vector<LayerSheet> StorySheets();
void AddStoryData(CSceneDataSet& set);
// The options screen: its items down the left, kGameOptionStep apart, each
// item's marks side by side right of its label (mark i at
// GameOptionMarkLeft(i)), a volume's bar there instead.
void AddOptionData(CSceneDataSet& set);
inline constexpr f32 kGameOptionLeft = 64.0f, kGameOptionTop = 96.0f, kGameOptionStep = 56.0f;
inline constexpr f32 kGameOptionLabelWidth = 176.0f, kGameOptionMarkWidth = 160.0f;
inline constexpr f32 kGameOptionBarLeft = 288.0f, kGameOptionBarWidth = 320.0f;
constexpr f32 GameOptionMarkLeft(u32 i) { return 284.0f + 168.0f * f32(i); }
// The option select: its rows down the left, kOptionRowStep apart, each
// row's value beside its label.
void AddOptionSelectData(CSceneDataSet& set);
inline constexpr f32 kOptionRowLeft = 64.0f, kOptionRowTop = 112.0f, kOptionRowStep = 56.0f;
inline constexpr f32 kOptionLabelWidth = 160.0f, kOptionValueLeft = 264.0f, kOptionValueWidth = 176.0f;
// The character select: its layers in order ("Chara/..." the card group's:
// "Chara/Image/..." the portraits, "Chara/<row>/..." each row's title,
// value marks, arrows and cursor parts).
inline constexpr const char* kCharaSelectTexture = "Chara_select.dds";
void AddCharaSelectData(CSceneDataSet& set);
std::vector<std::string> CharaSelectLayers();
// Its skill panel's frame (dark, its name at the top left) and the kinds'
// slot buttons (each kind's name right of the place its chosen orb covers).
std::vector<LayerSheet> CharaSelectSheets();
// The layer of a card row's group that shows its title ("PlayerTitle").
std::string CardRowTitle(u32 row);
// Network play: the network scene's own files; the lobby's base and message
// layouts; the lobby screens' layouts.
void AddNetworkData(CSceneDataSet& set);
void AddLobbyData(CSceneDataSet& set);
void AddLobbyScreensData(CSceneDataSet& set);
void AddLobbyMainData(CSceneDataSet& set);
void AddUserInformationData(CSceneDataSet& set);   // the user information window
void AddLobbyRoomWindowsData(CSceneDataSet& set);
std::vector<std::string> LobbyRoomLayers();
// The room's "Tab": a plain dark screen below the layout, its top just
// above where the lobby's panels start; risen by the overlay's 650 it
// covers the room, and the lobby's lists stand on it.
inline constexpr LayerPanel kRoomTab{"Tab", 0.0f, 650.0f, 1024.0f, 768.0f};
inline constexpr u32 kRoomTabColour = 0x2A3448u;
void AddLobbyRoomData(CSceneDataSet& set);
// The room's base (a sheet naming the chat and the player list above
// them) and the focus frames behind those two.
std::vector<LayerSheet> LobbyRoomSheets();
inline constexpr LayerPanel kRoomChatFrame{"Select1", 40.0f, 88.0f, 312.0f, 520.0f};
inline constexpr LayerPanel kRoomPlayerFrame{"Select2", 820.0f, 88.0f, 196.0f, 660.0f};
// The room's help ticker, below both lists, runs as the lobby's.
inline constexpr f32 kRoomTickerX = 984.0f, kRoomTickerY = 748.0f;
// The adventure map: its texts ("Adventure.txt" first, then the event
// files), and those texts with the caches the game opens, written by the
// adventure reader (empty, reason added to error, when that fails).
void AddAdventureData(CSceneDataSet& set);
std::vector<std::pair<std::string, std::string>> AdventureTexts();
std::vector<std::pair<std::string, std::string>> AdventureFiles(
    const std::vector<std::pair<std::string, std::string>>& texts, std::string& error);

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
