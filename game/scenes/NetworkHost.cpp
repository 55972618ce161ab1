#include "game/scenes/NetworkHost.h"

namespace {
NetworkSceneFactory g_networkFactory = nullptr;
}  // namespace

void SetNetworkSceneFactory(NetworkSceneFactory factory) { g_networkFactory = factory; }
NetworkSceneFactory GetNetworkSceneFactory() { return g_networkFactory; }
