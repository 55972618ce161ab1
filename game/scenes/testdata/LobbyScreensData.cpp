#include "game/scenes/testdata/LobbyScreensData.h"

#include "game/network/LobbyAddressList.h"
#include "game/network/LobbyConnectOption.h"
#include "game/network/LobbyEntrance.h"
#include "game/network/LobbyLogin.h"
#include "game/scenes/testdata/SceneData.h"

namespace scene_data {

namespace {

// The connect screen's rows, top down, as the base picture names them
// (the scene draws the current row's own layer, lit, over its name).
constexpr const char* kConnectRows[5] = {"op_set02", "op_ip02", "op_list02", "op_pl02", "op_ok02"};

// The digit images sit in a group the screens never draw, so the digit
// slots of the same names stand at the top level.
void AddDigits(std::vector<std::string>& layers, u32 firstSlot, u32 lastSlot)
{
    for (u32 d = 0; d < 10; ++d) layers.push_back(std::string(lobby_screen::kDigitGroup) + "/n" + std::to_string(d));
    for (u32 slot = firstSlot; slot <= lastSlot; ++slot) layers.push_back("n" + std::to_string(slot));
}

// The connect screen: its rows down the left, the mode's two choices and
// the twelve address digits (in threes) beside them, inside the screen.
std::vector<LayerPanel> ConnectOptionPanels()
{
    static const std::vector<std::string> slots = [] {
        std::vector<std::string> names;
        for (u32 i = 1; i <= 12; ++i) names.push_back("n" + std::to_string(i));
        return names;
    }();
    std::vector<LayerPanel> panels = {{"bg02", 0, 0, 1024, 768}, {"op_set_01", 240, 240, 128, 32},
        {"op_set_02", 384, 240, 128, 32}, {"ClientIP", 232, 300, 400, 40}};
    for (u32 i = 0; i < 5; ++i)
        panels.push_back({kConnectRows[i], kConnectRowLeft, kConnectRowTop + kConnectRowStep * f32(i), 128, 32});
    for (u32 i = 0; i < 12; ++i)
        panels.push_back({slots[i].c_str(), 240.0f + 28.0f * f32(i) + 16.0f * f32(i / 3), 304.0f, 24.0f, 32.0f});
    return panels;
}

// The entrance: its two ways one above the other (each drawn with its
// highlight when chosen), the chosen way's line below.
std::vector<LayerPanel> EntrancePanels()
{
    return {{"bg01", 0, 0, 1024, 768}, {"ent_ip02", 384, 300, 256, 48}, {"ent_ip03", 384, 300, 256, 48},
        {"ent_lob02", 384, 380, 256, 48}, {"ent_lob03", 384, 380, 256, 48}, {"ent_sen", 256, 600, 512, 32},
        {"ent_sen2", 256, 600, 512, 32}};
}

}  // namespace

std::vector<LayerSheet> ConnectOptionSheets()
{
    LayerSheet base{"Base", 0, 2048 - 5 * 64, 176, 5 * 64, kConnectRowLeft - 8.0f, kConnectRowTop - 16.0f, {}};
    for (u32 i = 0; i < 5; ++i)
        base.texts.push_back({kConnectRowLeft + 8.0f, kConnectRowTop + kConnectRowStep * f32(i) + 4.0f, Align::kLeft,
                              CellText(kConnectRows[i])});
    return {base};
}

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
    set.Layout(lobby_screen::kEntranceLayout, EntranceLayers(), kLobbyTexture, EntrancePanels());
    set.Layout(lobby_screen::kConnectOptionLayout, ConnectOptionLayers(), kLobbyTexture, ConnectOptionPanels(),
               ConnectOptionSheets());
    set.Layout(lobby_screen::kLoginLayout, LoginLayers(), kLobbyTexture);
    set.Layout(lobby_screen::kAddressListLayout, AddressListLayers(), kLobbyTexture);
}

}  // namespace scene_data
