// The lobby screens' layouts in the data set: each one's layers in order,
// so a test tells a drawn layer by its cell.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace scene_data {

inline constexpr const char* kLobbyTexture = "Network_01.dds";

// The entrance, connect option, login and address list layouts.
std::vector<std::string> EntranceLayers();
std::vector<std::string> ConnectOptionLayers();
std::vector<std::string> LoginLayers();
std::vector<std::string> AddressListLayers();
// The connect screen's base: a sheet naming its five rows down the left,
// kConnectRowStep apart; the current row's layer stands lit over its name.
struct LayerSheet;
std::vector<LayerSheet> ConnectOptionSheets();
inline constexpr float kConnectRowLeft = 64.0f, kConnectRowTop = 240.0f, kConnectRowStep = 64.0f;
// The lobby main screen.
std::vector<std::string> LobbyMainLayers();
// The user information window.
std::vector<std::string> UserInformationLayers();
// The lobby's message window, and the words of its messages and answers
// by layer.
std::vector<std::string> MessageWindowLayers();
const std::vector<std::pair<std::string, std::string>>& LobbyMessageWords();

}  // namespace scene_data
