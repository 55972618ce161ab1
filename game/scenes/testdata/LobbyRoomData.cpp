// The room screen's layout: its layers on the lobby texture.
#include "game/network/LobbyRoom.h"
#include "game/scenes/testdata/LobbyScreensData.h"
#include "game/scenes/testdata/SceneData.h"

namespace scene_data {

std::vector<std::string> LobbyRoomLayers()
{
    return {"bg02", "Base", "mowa", "kira", "help_room", "tab_op", "Tab",
            "Select1", "Select2", "chat_bar", "chat_bar2"};
}

void AddLobbyRoomData(CSceneDataSet& set)
{
    set.Layout(lobby_screen::kRoomLayout, LobbyRoomLayers(), kLobbyTexture, {kRoomTab});
}

}  // namespace scene_data
