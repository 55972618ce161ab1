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

// The list's layout on the shared cell texture, found in the texture list;
// its sounds (the options' too) in the scene archive. The crowd effect and
// the title music come with the title's part.
void AddReplayData(CSceneDataSet& set)
{
    set.Layout(replay_list::kLayout, ReplayLayers(), replay_list::kTexture);
    set.SceneTexture(replay_list::kTexture);
    for (const char* sound : replay_list::kSounds) set.SceneSound(sound);
}

}  // namespace scene_data
