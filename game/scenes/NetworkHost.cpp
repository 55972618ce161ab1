#include "game/scenes/NetworkHost.h"

#include "engine/core/Scene.h"
#include "game/battle/scene/BattleApp.h"
#include "game/scenes/GameApp.h"

namespace {
NetworkSceneFactory g_networkFactory = nullptr;
}  // namespace

void SetNetworkSceneFactory(NetworkSceneFactory factory) { g_networkFactory = factory; }
NetworkSceneFactory GetNetworkSceneFactory() { return g_networkFactory; }

INetworkSceneHost* GetNetworkSceneHost()
{
    CGameApp* app = GetGameApp();
    return app ? dynamic_cast<INetworkSceneHost*>(app->GetScene()) : nullptr;
}

IBattleNetwork* GetBattleNetwork() { return dynamic_cast<IBattleNetwork*>(GetNetworkSceneHost()); }
