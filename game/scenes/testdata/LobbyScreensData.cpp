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

// The entrance: its two ways one above the other (the chosen one drawn
// lit over its name on the base), the chosen way's line below.
std::vector<LayerPanel> EntrancePanels()
{
    return {{"bg01", 0, 0, 1024, 768}, {"ent_ip02", kEntranceItemLeft, kEntranceItemTop, 256, 48},
        {"ent_ip03", kEntranceItemLeft, kEntranceItemTop, 256, 48},
        {"ent_lob02", kEntranceItemLeft, kEntranceItemTop + kEntranceItemStep, 256, 48},
        {"ent_lob03", kEntranceItemLeft, kEntranceItemTop + kEntranceItemStep, 256, 48}};
}

// The log-in: the button over its name on the base.
std::vector<LayerPanel> LoginPanels() { return {{"bg02", 0, 0, 1024, 768}, {"login2", 470, 414, 160, 36}}; }

}  // namespace

std::vector<LayerSheet> ConnectOptionSheets()
{
    LayerSheet base{"Base", 0, 2048 - 5 * 64, 176, 5 * 64, kConnectRowLeft - 8.0f, kConnectRowTop - 16.0f, {}};
    for (u32 i = 0; i < 5; ++i)
        base.texts.push_back({kConnectRowLeft + 8.0f, kConnectRowTop + kConnectRowStep * f32(i) + 4.0f, Align::kLeft,
                              CellText(kConnectRows[i])});
    return {base};
}

std::vector<LayerSheet> EntranceSheets()
{
    // The base names the screen and both ways; each line is a picture of
    // its own at the size it is drawn, so its words keep their shape.
    LayerSheet base{"Base", 600, 1296, 320, 240, kEntranceItemLeft - 32.0f, kEntranceItemTop - 96.0f, {}};
    base.texts.push_back({512.0f, kEntranceItemTop - 80.0f, Align::kCentre, "Network play"});
    base.texts.push_back({kEntranceItemLeft + 12.0f, kEntranceItemTop + 12.0f, Align::kLeft, CellText("ent_ip02")});
    base.texts.push_back({kEntranceItemLeft + 12.0f, kEntranceItemTop + kEntranceItemStep + 12.0f, Align::kLeft,
                          CellText("ent_lob02")});
    std::vector<LayerSheet> sheets = {base};
    const char* lines[2] = {"ent_sen", "ent_sen2"};
    for (u32 i = 0; i < 2; ++i)
        sheets.push_back({lines[i], 600, 1540 + 40 * i, 384, 40, kEntranceLineLeft, kEntranceLineTop,
                          {{512.0f, kEntranceLineTop + 8.0f, Align::kCentre, CellText(lines[i])}}});
    return sheets;
}

std::vector<LayerSheet> LoginSheets()
{
    LayerSheet base{"Base", 180, 1736, 360, 240, 300.0f, 216.0f, {}};
    base.texts.push_back({480.0f, 224.0f, Align::kCentre, "Lobby server"});
    base.texts.push_back({316.0f, 272.0f, Align::kLeft, "Lobby ID"});
    base.texts.push_back({316.0f, 372.0f, Align::kLeft, "Password"});
    base.texts.push_back({482.0f, 420.0f, Align::kLeft, "Log in"});   // the button stands lit over it
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
    set.Layout(lobby_screen::kEntranceLayout, EntranceLayers(), kLobbyTexture, EntrancePanels(), EntranceSheets());
    set.Layout(lobby_screen::kConnectOptionLayout, ConnectOptionLayers(), kLobbyTexture, ConnectOptionPanels(),
               ConnectOptionSheets());
    set.Layout(lobby_screen::kLoginLayout, LoginLayers(), kLobbyTexture, LoginPanels(), LoginSheets());
    set.Layout(lobby_screen::kAddressListLayout, AddressListLayers(), kLobbyTexture);
}

}  // namespace scene_data
