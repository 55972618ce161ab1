#include "game/scenes/testdata/SceneData.h"

namespace scene_data {

void AddLobbyData(CSceneDataSet& /*set*/) {}

}  // namespace scene_data
