// The network scene as the menus see it. game/network implements it; the
// program's entry registers the factory that makes it (the menus never
// include the network's headers).
#pragma once

#include "engine/core/Types.h"

class CScene;

class INetworkSceneHost {
public:
    virtual ~INetworkSceneHost() = default;
    // Makes scene (loaded already) the network scene's child; mode 3 is a
    // battle handed over by a loading screen. The change's result.
    virtual i32 SetChildScene(CScene* scene, u32 mode) = 0;
};

// Makes a new network scene (it also implements INetworkSceneHost); null
// when the program has none.
using NetworkSceneFactory = CScene* (*)();
void SetNetworkSceneFactory(NetworkSceneFactory factory);
NetworkSceneFactory GetNetworkSceneFactory();
