// The entrance: the first screen of network play, a direct connection or
// the lobby server.
#pragma once

#include "engine/core/Types.h"

namespace lobby_screen {

inline constexpr const char* kEntranceLayout = "Scene\\Network01.sce";

}  // namespace lobby_screen
