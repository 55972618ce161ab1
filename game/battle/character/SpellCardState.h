// The card's running state lives with the battle objects, which the card
// implements it in; fighters keep including it from here.
#pragma once

#include "game/battle/object/SpellCardState.h"
