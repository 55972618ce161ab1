#include "game/network/NetworkScene.h"
#include "game/scenes/testdata/SceneData.h"

namespace scene_data {

// The network scene's background is read by path (it is in no archive the
// start-up loads); its music and sounds are found by name.
void AddNetworkData(CSceneDataSet& set)
{
    set.File(netscene::kBackgroundPath, CellTextureBytes());
    set.SceneSound(netscene::kMusic, 1.0f);
    for (const auto& sound : netscene::kSounds) set.SceneSound(sound[0]);
}

}  // namespace scene_data
