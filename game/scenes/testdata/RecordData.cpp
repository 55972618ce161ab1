#include "game/scenes/testdata/SceneData.h"

namespace scene_data {

void AddRecordData(CSceneDataSet& /*set*/) {}

}  // namespace scene_data
