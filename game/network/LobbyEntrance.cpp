#include "game/network/LobbyEntrance.h"
