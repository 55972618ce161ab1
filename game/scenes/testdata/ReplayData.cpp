#include "game/scenes/ReplayScene.h"
#include "game/scenes/testdata/SceneData.h"

#include <string>
#include <vector>

namespace scene_data {

std::vector<std::string> ReplayLayers()
{
    std::vector<std::string> layers = {"Base", "rep_bg"};
    for (const char* digit : replay_list::kDigitLayers) layers.push_back(digit);
    for (const char* button : {"Bt_pre1", "Bt_pre2", "Bt_nex1", "Bt_nex2"}) layers.push_back(button);
    return layers;
}

// Where the list's parts stand: the slot number's two digit layers (the
// scene draws every digit through them) on the first row's line, left of
// its texts, each digit in a slot a fifth of a cell wide; the cursor a lit
// mark left of them; the page buttons below the last row. The scene moves
// them by the row and the page.
std::vector<LayerPanel> ReplayPanels()
{
    using namespace replay_list;
    const f32 line = RowTexts(ReplayHeader{}, 0.0f, 0.0f).at(0).y;
    return {{kDigitLayers[0], 72.0f, line - 4.0f, 24.0f, 32.0f}, {kDigitLayers[1], 96.0f, line - 4.0f, 24.0f, 32.0f},
            {"rep_bg", 44.0f, line, 16.0f, 24.0f},
            {"Bt_pre1", 64.0f, 656.0f, 160.0f, 40.0f}, {"Bt_pre2", 64.0f, 656.0f, 160.0f, 40.0f},
            {"Bt_nex1", 800.0f, 656.0f, 160.0f, 40.0f}, {"Bt_nex2", 800.0f, 656.0f, 160.0f, 40.0f}};
}

// The list's layout names the record's texture, found in the texture list:
// its cells follow the record's there (CellBase). Its sounds (the options'
// too) in the scene archive. The crowd effect and the title music come with
// the title's part.
void AddReplayData(CSceneDataSet& set)
{
    // The list's frame names the screen at its top left (beside the
    // record's frame in their shared texture).
    const LayerSheet frame{"Base", 800, 1072, 200, 40, 24.0f, 16.0f, {{36.0f, 22.0f, Align::kLeft, "Replays"}}};
    set.Layout(replay_list::kLayout, ReplayLayers(), replay_list::kTexture, ReplayPanels(), {frame});
    set.SceneTexture(replay_list::kTexture);
    for (const char* sound : replay_list::kSounds) set.SceneSound(sound);
}

}  // namespace scene_data
