// The lobby main screen's layout: every layer it looks up.
#include "game/network/LobbyMain.h"
#include "game/scenes/testdata/LobbyScreensData.h"
#include "game/scenes/testdata/SceneData.h"

namespace scene_data {

std::vector<std::string> LobbyMainLayers()
{
    return {"bg02",    "Base",    "chat",    "mowa",      "kira",      "chat_loc",  "vs",     "chat_in",
            "help_lobby", "Select1", "Select2", "Select3", "chat_bar", "chat_bar2", "chat_bar3", "room_a"};
}

void AddLobbyMainData(CSceneDataSet& set)
{
    set.Layout(lobby_screen::kLobbyMainLayout, LobbyMainLayers(), kLobbyTexture);
}

}  // namespace scene_data
