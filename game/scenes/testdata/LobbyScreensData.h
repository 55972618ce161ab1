// The lobby screens' layouts in the data set: each one's layers in order,
// so a test tells a drawn layer by its cell.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace scene_data {

inline constexpr const char* kLobbyTexture = "Network_01.dds";

struct LayerSheet;
// The entrance, connect option, login and address list layouts.
std::vector<std::string> EntranceLayers();
// The entrance's base: a sheet naming the screen and both ways, the chosen
// way's layer lit over its name (kEntranceItemStep apart); each way's line
// a sheet below them.
std::vector<LayerSheet> EntranceSheets();
inline constexpr float kEntranceItemLeft = 384.0f, kEntranceItemTop = 300.0f, kEntranceItemStep = 80.0f;
inline constexpr float kEntranceLineLeft = 320.0f, kEntranceLineTop = 600.0f;
// The log-in's base: a sheet naming its two fields left of where the scene
// writes them.
std::vector<LayerSheet> LoginSheets();
std::vector<std::string> ConnectOptionLayers();
std::vector<std::string> LoginLayers();
std::vector<std::string> AddressListLayers();
// The connect screen's base: a sheet naming its five rows down the left,
// kConnectRowStep apart; the current row's layer stands lit over its name.
std::vector<LayerSheet> ConnectOptionSheets();
inline constexpr float kConnectRowLeft = 64.0f, kConnectRowTop = 240.0f, kConnectRowStep = 64.0f;
// The lobby main screen, and its base: a sheet naming its three lists
// above where the scene writes them.
std::vector<std::string> LobbyMainLayers();
std::vector<LayerSheet> LobbyMainSheets();
inline constexpr float kLobbyHeadingTop = 80.0f;
inline constexpr float kLobbyRoomsLeft = 32.0f, kLobbyChatLeft = 296.0f, kLobbyPlayersLeft = 828.0f;
// The help ticker runs along the bottom, below the three lists: it starts
// an eighth of it in from the right edge and, 1200 to the left when it
// starts over, an eighth of it is still on the screen.
inline constexpr float kLobbyTickerX = 984.0f, kLobbyTickerY = 740.0f;
// The user information window, and its base's sheet.
std::vector<std::string> UserInformationLayers();
std::vector<LayerSheet> UserInformationSheets();
// Every sheet drawn into the lobby's texture (a drawn point tells its
// layer by them first).
std::vector<LayerSheet> LobbyTextureSheets();
// The lobby's message window, and the words of its messages and answers
// by layer.
std::vector<std::string> MessageWindowLayers();
const std::vector<std::pair<std::string, std::string>>& LobbyMessageWords();

}  // namespace scene_data
