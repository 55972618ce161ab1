// The driver lives with the battle objects, whose card implements it;
// fighters keep including it from here.
#pragma once

#include "game/battle/object/SpellCardState.h"
