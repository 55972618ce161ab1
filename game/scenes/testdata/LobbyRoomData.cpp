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

std::vector<LayerSheet> LobbyRoomSheets()
{
    // The base names the two lists above them: the chat left, the players
    // who are in the room right.
    LayerSheet base{"Base", 0, 2048 - 5 * 64 - 32, 980, 32, 36.0f, 48.0f, {}};
    base.texts.push_back({48.0f, 50.0f, Align::kLeft, "Chat"});
    base.texts.push_back({828.0f, 50.0f, Align::kLeft, "Players"});
    return {base};
}

// The focus frames around the chat and the player list, the scroll bars
// at their right edges, the help ticker along the bottom below both (from
// the right edge, still in sight when it starts over), the lobby's tab.
void AddLobbyRoomData(CSceneDataSet& set)
{
    const std::vector<LayerPanel> panels = {kRoomTab,
        {"bg02", 0, 0, 1024, 768},
        {"Select1", kRoomChatFrame.x, kRoomChatFrame.y, kRoomChatFrame.width, kRoomChatFrame.height},
        {"Select2", kRoomPlayerFrame.x, kRoomPlayerFrame.y, kRoomPlayerFrame.width, kRoomPlayerFrame.height},
        {"chat_bar", 346, 112, 10, 32}, {"chat_bar2", 1004, 112, 10, 32},
        {"help_room", kRoomTickerX, kRoomTickerY, 256, 20}, {"tab_op", 848, 24, 160, 32}};
    set.Layout(lobby_screen::kRoomLayout, LobbyRoomLayers(), kLobbyTexture, panels, LobbyRoomSheets());
}

}  // namespace scene_data
