// The single select's part of the data set: its layout with every layer it
// looks up, its frame and two pictures in "Data\CharaSharing.gpk" (the
// other pictures are missing, which the scene allows), the voices and
// sounds.
#include "engine/core/PackFile.h"
#include "game/scenes/SingleCharaSelect.h"
#include "game/scenes/testdata/SceneData.h"

namespace scene_data {

namespace {

// Where the screen's parts stand: a band behind the carousel (the pattern
// the scene turns is clear); the chosen character's portrait and name
// plate; its two colour boxes (each framed, "Orbs:" and three slot marks
// under it); the carousel of five cards between the arrows at the bottom
// (the first five cards are its slots, every card drawn moved onto one);
// the survival's CPU orbs switch; the orb panel with a row per kind.
// The orb icons and the panel's cursor stand at the origin: the scene
// draws them moved to their place in a row.
std::vector<LayerPanel> SingleSelectPanels()
{
    using namespace single_select;
    static std::vector<std::string> names;   // the panels keep the names' pointers
    if (names.empty()) {
        for (u32 e = 0; e < kRosterCount; ++e) {
            names.push_back(PortraitLayerName(e));
            names.push_back(PlateLayerName(e));
            names.push_back(CardLayerName(e));
        }
        for (u32 e = 0; e < kCharacters; ++e)
            for (u32 c = 0; c < 2; ++c) names.push_back(ColourBoxLayerName(e, c));
        for (u32 i = 0; i < kIcons; ++i) names.push_back(IconLayerName(i)), names.push_back(IconLayerName(i, true));
    }
    std::vector<LayerPanel> panels = {{"Base", 0, 612, 1024, 72}, {"moyo", 0, 612, 1024, 72},
        {"yjr_l", 16, 628, 48, 40}, {"yjr_r", 960, 628, 48, 40}, {"cpu_rei", 40, 540, 192, 40},
        {"cpu_rei_1", 240, 540, 96, 40}, {"cpu_rei_2", 240, 540, 96, 40},
        {"SkillBase", 150, 330, 840, 300}, {"rei_n_geki", 160, 376, 128, 32},
        {"rei_n_soku", 160, 444, 128, 32}, {"rei_n_syu", 160, 512, 128, 32}, {"rei_ok", 160, 580, 128, 32},
        {"rei_nazo", 0, 0, 36, 32}, {"rei_car", 0, 0, 36, 32}};
    size_t n = 0;
    for (u32 e = 0; e < kRosterCount; ++e) {
        // The carousel's slots, 180 apart; the other cards where the middle one is.
        const f32 x = e < 5 ? 72.0f + 180.0f * f32(e) : 432.0f;
        panels.push_back({names[n++].c_str(), 40, 120, 440, 110});
        panels.push_back({names[n++].c_str(), 520, 120, 400, 56});
        panels.push_back({names[n++].c_str(), x, 628, 160, 40});
    }
    for (u32 e = 0; e < kCharacters; ++e)
        for (u32 c = 0; c < 2; ++c) panels.push_back({names[n++].c_str(), 520, 200 + 180 * f32(c), 240, 48});
    for (u32 i = 0; i < kIcons; ++i) {
        panels.push_back({names[n++].c_str(), 0, 0, 36, 32});
        // The small form stands in the first colour's first slot.
        panels.push_back({names[n++].c_str(), 640, 256, 36, 32});
    }
    static const char* const frames[2][2] = {{"type_bg011", "type_bg012"}, {"type_bg021", "type_bg022"}};
    static const char* const marks[2][2] = {{"type_rei12", "type_rei22"}, {"type_rei11", "type_rei21"}};
    static const char* const boxMarks[2][kSlots] = {
        {"rei_emp11s", "rei_emp12s", "rei_emp13s"}, {"rei_emp21s", "rei_emp22s", "rei_emp23s"}};
    for (u32 c = 0; c < 2; ++c) {
        const f32 y = 200 + 180 * f32(c);
        for (u32 chosen = 0; chosen < 2; ++chosen) {
            panels.push_back({frames[chosen][c], 516, y - 4, 248, 104});
            panels.push_back({marks[chosen][c], 528, y + 56, 96, 32});
        }
        for (u32 s = 0; s < kSlots; ++s) panels.push_back({boxMarks[c][s], 640 + 40 * f32(s), y + 56, 36, 32});
    }
    // The chosen orb of each kind: a box with its frame at the row's end.
    static const char* const slotBoxes[kSlots] = {"rei_empk", "rei_emp2k", "rei_emp3k"};
    static const char* const slotFrames[kSlots] = {"rei_emp", "rei_emp2", "rei_emp3"};
    static const f32 rows[kSlots] = {376, 444, 512};
    for (u32 s = 0; s < kSlots; ++s) {
        panels.push_back({slotBoxes[s], 946, rows[s], 36, 32});
        panels.push_back({slotFrames[s], 942, rows[s] - 4, 44, 40});
    }
    return panels;
}

}  // namespace

std::vector<LayerSheet> SingleSelectSheets()
{
    // The panel's header strip, its name at the left, at its size (the
    // scene zooms it by its scale); clear of the adventure map's sheet.
    return {{"Skill", 0, 1960, 840, 36, 150.0f, 330.0f, {{162.0f, 336.0f, Align::kLeft, "Orbs"}}}};
}

void AddSingleSelectData(CSceneDataSet& set)
{
    using namespace single_select;
    set.Layout(kLayout, LayerNames(), kFrameTexture, SingleSelectPanels(), SingleSelectSheets());
    const GameArchive pack{kPackName, kPack, kPackKeyFirst};
    set.PackEntry(pack, Folder::kFirst, kFrameTexture, CellTextureBytes());
    // The select, the adventure map and the survival result draw it by cells.
    set.fittedTextures.insert(kFrameTexture);
    set.PackEntry(pack, Folder::kSecond, PictureName(kRandomEntry), CellTextureBytes());
    set.SceneSound(kMusic, 1.0f);
    for (const char* voice : kVoices) set.SceneSound(voice);
    for (const char* sound : kSounds) set.SceneSound(sound);
}

}  // namespace scene_data
