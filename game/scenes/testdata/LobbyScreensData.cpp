#include "game/scenes/testdata/SceneData.h"

namespace scene_data {

void AddLobbyScreensData(CSceneDataSet& /*set*/) {}

}  // namespace scene_data
