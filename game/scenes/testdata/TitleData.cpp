#include "game/scenes/testdata/SceneData.h"

namespace scene_data {

void AddTitleData(CSceneDataSet& /*set*/) {}

}  // namespace scene_data
