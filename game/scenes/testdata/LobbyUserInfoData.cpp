// The user information window's layout: its panel and the kick button.
#include "game/network/LobbyUserInformation.h"
#include "game/scenes/testdata/LobbyRoomWindowsData.h"
#include "game/scenes/testdata/LobbyScreensData.h"
#include "game/scenes/testdata/SceneData.h"

namespace scene_data {

std::vector<std::string> UserInformationLayers() { return {"Base", "taisyutu"}; }

// The window's base under the picture, the name, the profile and the
// results the scene writes; the remove button at its foot.
std::vector<LayerSheet> UserInformationSheets()
{
    return {{"Base", 0, 1296, 600, 340, 280.0f, 216.0f, {{456.0f, 384.0f, Align::kLeft, "Results"}}}};
}

void AddUserInformationData(CSceneDataSet& set)
{
    set.Layout(lobby_screen::kUserInformationLayout, UserInformationLayers(), kLobbyTexture,
               {{"taisyutu", 700, 508, 160, 36}}, UserInformationSheets());
}

std::vector<LayerSheet> LobbyTextureSheets()
{
    std::vector<LayerSheet> all;
    for (const std::vector<LayerSheet>& some : {EntranceSheets(), ConnectOptionSheets(), LoginSheets(),
                                                LobbyMainSheets(), UserInformationSheets(), RoomInformationSheets(),
                                                RoomCreateSheets(), LobbyRoomSheets()})
        all.insert(all.end(), some.begin(), some.end());
    return all;
}

}  // namespace scene_data
