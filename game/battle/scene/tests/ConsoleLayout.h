// The battle HUD layout the console tests use lives with the battle's test
// data (game/battle/testdata/ConsoleData.h).
#pragma once

#include "game/battle/testdata/ConsoleData.h"
