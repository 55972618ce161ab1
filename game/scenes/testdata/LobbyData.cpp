// The lobby's message window: its layout with every layer it looks up (the
// dots, options and yes/no under their message), each message in words in
// a box in the middle of the screen; the lobby's interface texture, which
// every lobby layer shows; the three menu sounds the lobby client loads
// for its screens.
#include "game/scenes/testdata/LobbyScreensData.h"
#include "game/scenes/testdata/SceneData.h"

namespace scene_data {

std::vector<std::string> MessageWindowLayers()
{
    return {"Base1",
                "Base2",
                "Base3",
                "Base4",
                "Server",
                "Server/ten4",
                "Server/ten5",
                "Server/ten6",
                "Login",
                "Login/ten7",
                "Login/ten8",
                "Login/ten9",
                "RoomCreate",
                "RoomCreate/ten10",
                "RoomCreate/ten11",
                "RoomCreate/ten12",
                "RoomInformation",
                "RoomInformation/ten13",
                "RoomInformation/ten14",
                "RoomInformation/ten15",
                "RoomPass",
                "RoomPass/ten",
                "RoomPass/ten2",
                "RoomPass/ten3",
                "RoomConnect",
                "RoomConnect/ten16",
                "RoomConnect/ten17",
                "RoomConnect/ten18",
                "Mkaisen",
                "Aserv",
                "Anet",
                "RoomConnectError",
                "Akaisen",
                "Aver",
                "Aninsyo",
                "Mroommei",
                "RoomInformationError",
                "Aninzu",
                "Apass",
                "RoomPassword",
                "UserKick",
                "UserKick/yes",
                "UserKick/no",
                "NetworkEnd",
                "NetworkEnd/yes2",
                "NetworkEnd/no2",
                "RoomQuit",
                "RoomQuit/yes3",
                "RoomQuit/no3",
                "RoomClose",
                "RoomClose/yes5",
                "RoomClose/no5",
                "BattleStart",
                "BattleStart/yes4",
                "BattleStart/no4",
                "SelectLobby",
                "SelectLobby/Pnewroom",
                "SelectLobby/Pnetoff",
                "SelectRoom",
                "SelectRoom/Ptaisen",
                "SelectRoom/Proomchange",
                "SelectRoom/Proomoff",
                "SelectIpRoom",
                "SelectIpRoom/Piptaisen",
                "SelectIpRoom/Proomipoff"};
}

const std::vector<std::pair<std::string, std::string>>& LobbyMessageWords()
{
    // Short enough to fit a cell: the message's panel enlarges it whole.
    static const std::vector<std::pair<std::string, std::string>> words = {
        {"Server", "Calling the server"}, {"Login", "Logging in"}, {"RoomCreate", "Making the room"},
        {"RoomInformation", "Waiting for answer"}, {"RoomPass", "Checking password"},
        {"RoomConnect", "Joining the room"}, {"Mkaisen", "Testing the line"}, {"Aserv", "No server answers"},
        {"Anet", "Network error"}, {"RoomConnectError", "Could not join"}, {"Akaisen", "Line test failed"},
        {"Aver", "Version differs"}, {"Aninsyo", "Login refused"}, {"Mroommei", "Name the room"},
        {"RoomInformationError", "Request failed"}, {"Aninzu", "Need 2 players"}, {"Apass", "Wrong password"},
        {"RoomPassword", "Password"}, {"UserKick", "Remove player?"}, {"NetworkEnd", "Leave network play?"},
        {"RoomQuit", "Leave the room?"}, {"RoomClose", "Close the room?"}, {"BattleStart", "Start the battle?"},
        {"SelectLobby", "Lobby menu"}, {"SelectRoom", "Room menu"}, {"SelectIpRoom", "Room menu"},
        {"Pnewroom", "New room"}, {"Pnetoff", "Leave network"}, {"Ptaisen", "Battle"},
        {"Proomchange", "Room settings"}, {"Proomoff", "Close room"}, {"Piptaisen", "Battle"},
        {"Proomipoff", "Close room"}, {"yes", "Yes"}, {"yes2", "Yes"}, {"yes3", "Yes"}, {"yes4", "Yes"},
        {"yes5", "Yes"}, {"no", "No"}, {"no2", "No"}, {"no3", "No"}, {"no4", "No"}, {"no5", "No"},
    };
    return words;
}

namespace {

// The window in the middle of the screen: a plain box, the message across
// its top at three times its cell's size, below it the waiting dots, the
// menu's options or yes and no.
std::vector<LayerPanel> MessageWindowPanels()
{
    static std::vector<LayerPanel> panels;
    if (!panels.empty()) return panels;
    std::vector<std::pair<std::string, LayerPanel>> spots;
    for (const std::string& layer : MessageWindowLayers()) {
        const size_t slash = layer.find('/');
        const std::string leaf = layer.substr(slash == std::string::npos ? 0 : slash + 1);
        LayerPanel place{nullptr, 320, 256, 384, 96};   // a message
        if (leaf.rfind("Base", 0) == 0) {
            place = {nullptr, 256, 232, 512, 304};
        } else if (slash != std::string::npos) {
            // The children's order under their message: dots, options, yes then no.
            const std::string parent = layer.substr(0, slash);
            u32 k = 0;
            for (const std::string& other : MessageWindowLayers()) {
                if (other == layer) break;
                k += other.rfind(parent + "/", 0) == 0;
            }
            if (leaf.rfind("ten", 0) == 0) place = {nullptr, 464.0f + 32.0f * f32(k), 368, 24, 40};
            else if (leaf.rfind("yes", 0) == 0) place = {nullptr, 320, 400, 160, 48};
            else if (leaf.rfind("no", 0) == 0) place = {nullptr, 544, 400, 160, 48};
            else place = {nullptr, 384, 368.0f + 48.0f * f32(k), 256, 40};
        }
        spots.push_back({layer, place});
    }
    panels = KeepNamedPanels(spots);
    return panels;
}

}  // namespace

void AddLobbyData(CSceneDataSet& set)
{
    set.Layout("Scene\\Network06.sce", MessageWindowLayers(),
               "Network_01.dds", MessageWindowPanels());
    set.SceneTexture("Network_01.dds");
    for (const char* sound : {"Se_gameopt_select.ogg", "Se_gameopt_set.ogg", "Se_cancel.ogg"}) set.SceneSound(sound);
}

}  // namespace scene_data
