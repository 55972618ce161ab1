// The lobby main screen's layout: every layer it looks up, placed where
// the scene writes its three lists (rooms left, chat in the middle, players
// right), a base naming them above, each list's focus frame and scroll bar,
// the chat entry below the chat and the help ticker between them.
#include "game/network/LobbyMain.h"
#include "game/scenes/testdata/LobbyScreensData.h"
#include "game/scenes/testdata/SceneData.h"

namespace scene_data {

std::vector<std::string> LobbyMainLayers()
{
    return {"bg02",    "Base",    "chat",    "mowa",      "kira",      "chat_loc",  "vs",     "chat_in",
            "help_lobby", "Select1", "Select2", "Select3", "chat_bar", "chat_bar2", "chat_bar3", "room_a"};
}

std::vector<LayerSheet> LobbyMainSheets()
{
    LayerSheet base{"Base", 0, 1640, 992, 32, 24.0f, kLobbyHeadingTop - 2.0f, {}};
    base.texts.push_back({kLobbyRoomsLeft, kLobbyHeadingTop, Align::kLeft, "Rooms"});
    base.texts.push_back({kLobbyChatLeft, kLobbyHeadingTop, Align::kLeft, "Chat"});
    base.texts.push_back({kLobbyPlayersLeft, kLobbyHeadingTop, Align::kLeft, "Players"});
    return {base};
}

void AddLobbyMainData(CSceneDataSet& set)
{
    // The marks the scene draws at its own offsets (a room's, a running
    // battle's, a password's, a marked player's) stand at the origin.
    const std::vector<LayerPanel> panels = {{"bg02", 0, 0, 1024, 768},
        {"Select1", 24, 104, 264, 636}, {"Select2", 288, 104, 520, 496}, {"Select3", 808, 104, 208, 636},
        {"chat_bar", 278, 112, 8, 32}, {"chat_bar2", 798, 112, 8, 32}, {"chat_bar3", 1006, 112, 8, 32},
        {"chat", 380, 680, 428, 56}, {"help_lobby", kLobbyTickerX, kLobbyTickerY, 256, 28},
        {"room_a", 0, 0, 10, 16}, {"vs", 0, 0, 10, 16}, {"chat_loc", 0, 0, 10, 16}, {"chat_in", 0, 0, 10, 16}};
    set.Layout(lobby_screen::kLobbyMainLayout, LobbyMainLayers(), kLobbyTexture, panels, LobbyMainSheets());
}

}  // namespace scene_data
