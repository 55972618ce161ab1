// The lobby's message window: its layout with every layer it looks up (the
// dots, options and yes/no under their message); the lobby's interface
// texture, which every lobby layer shows; the three menu sounds the lobby
// client loads for its screens.
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

void AddLobbyData(CSceneDataSet& set)
{
    set.Layout("Scene\\Network06.sce", MessageWindowLayers(),
               "Network_01.dds");
    set.SceneTexture("Network_01.dds");
    for (const char* sound : {"Se_gameopt_select.ogg", "Se_gameopt_set.ogg", "Se_cancel.ogg"}) set.SceneSound(sound);
}

}  // namespace scene_data
