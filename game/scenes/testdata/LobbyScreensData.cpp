#include "game/scenes/testdata/LobbyScreensData.h"

#include "game/network/LobbyAddressList.h"
#include "game/network/LobbyConnectOption.h"
#include "game/network/LobbyEntrance.h"
#include "game/network/LobbyLogin.h"
#include "game/scenes/testdata/SceneData.h"

namespace scene_data {

namespace {

// The digit images sit in a group the screens never draw, so the digit
// slots of the same names stand at the top level.
void AddDigits(std::vector<std::string>& layers, u32 firstSlot, u32 lastSlot)
{
    for (u32 d = 0; d < 10; ++d) layers.push_back(std::string(lobby_screen::kDigitGroup) + "/n" + std::to_string(d));
    for (u32 slot = firstSlot; slot <= lastSlot; ++slot) layers.push_back("n" + std::to_string(slot));
}

}  // namespace

std::vector<std::string> EntranceLayers()
{
    return {"bg01", "Base", "mowa", "ent_ip02", "ent_lob02", "ent_ip03", "ent_lob03", "ent_sen", "ent_sen2"};
}

std::vector<std::string> ConnectOptionLayers()
{
    std::vector<std::string> layers = {"bg02",     "Base",    "ClientIP", "mowa",      "kira",     "op_set02",
                                       "op_ip02",  "op_list02", "op_pl02", "op_ok02",  "op_set_01", "op_set_02"};
    AddDigits(layers, 1, 12);
    return layers;
}

std::vector<std::string> LoginLayers() { return {"bg02", "Base", "mowa", "kira", "login2"}; }

std::vector<std::string> AddressListLayers()
{
    std::vector<std::string> layers = {"bg02", "Top", "mowa", "kira"};
    // Slots n1..n12 are the address digits, n0 and n13 the entry number.
    AddDigits(layers, 0, 13);
    return layers;
}

void AddLobbyScreensData(CSceneDataSet& set)
{
    set.Layout(lobby_screen::kEntranceLayout, EntranceLayers(), kLobbyTexture);
    set.Layout(lobby_screen::kConnectOptionLayout, ConnectOptionLayers(), kLobbyTexture);
    set.Layout(lobby_screen::kLoginLayout, LoginLayers(), kLobbyTexture);
    set.Layout(lobby_screen::kAddressListLayout, AddressListLayers(), kLobbyTexture);
}

}  // namespace scene_data
