// The user information window's layout: its panel and the kick button.
#include "game/network/LobbyUserInformation.h"
#include "game/scenes/testdata/LobbyScreensData.h"
#include "game/scenes/testdata/SceneData.h"

namespace scene_data {

std::vector<std::string> UserInformationLayers() { return {"Base", "taisyutu"}; }

void AddUserInformationData(CSceneDataSet& set)
{
    set.Layout(lobby_screen::kUserInformationLayout, UserInformationLayers(), kLobbyTexture);
}

}  // namespace scene_data
