#include "game/scenes/testdata/SceneData.h"

namespace scene_data {

void AddNetworkData(CSceneDataSet& /*set*/) {}

}  // namespace scene_data
