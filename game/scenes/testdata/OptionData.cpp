#include "game/scenes/testdata/SceneData.h"

namespace scene_data {

void AddOptionData(CSceneDataSet& /*set*/) {}

}  // namespace scene_data
