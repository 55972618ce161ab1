// The fighter the character tests load lives with the battle's test data
// (game/battle/testdata/Fighter.h); the helpers its users read it with
// come along.
#pragma once

#include "engine/model/WriteMesh.h"
#include "engine/model/tests/ArmModel.h"
#include "engine/model/tests/ModelMeshes.h"
#include "game/battle/character/tests/FaceFileWriter.h"
#include "game/battle/testdata/Fighter.h"
#include "game/data/tests/SettingTestSupport.h"
#include "game/data/tests/SettingWriter.h"
