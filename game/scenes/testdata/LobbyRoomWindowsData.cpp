// The room information and room creation windows' layouts: each one's
// layers in order, so a test tells a drawn layer by its cell.
#include "game/network/LobbyRoomCreate.h"
#include "game/network/LobbyRoomInformation.h"
#include "game/scenes/testdata/LobbyRoomWindowsData.h"
#include "game/scenes/testdata/LobbyScreensData.h"
#include "game/scenes/testdata/SceneData.h"

#include <algorithm>

namespace scene_data {

namespace {

// Two ranges share a picture with another: one layer each.
void AddLevelPictures(std::vector<std::string>& layers)
{
    for (const char* picture : lobby::kLevelRangePictures)
        if (std::find(layers.begin(), layers.end(), picture) == layers.end()) layers.push_back(picture);
}

}  // namespace

std::vector<std::string> RoomInformationLayers()
{
    std::vector<std::string> layers = {"Base", "Btest1", "Broomin1", "Btest2", "Broomin2"};
    AddLevelPictures(layers);
    return layers;
}

std::vector<std::string> RoomCreateLayers()
{
    std::vector<std::string> layers = {"Base",      "sentaku2",  "sentaku",  "Broomset1",
                                       "Bvsstart1", "Broomset2", "Bvsstart2"};
    AddLevelPictures(layers);
    return layers;
}

void AddLobbyRoomWindowsData(CSceneDataSet& set)
{
    set.Layout(lobby_screen::kRoomInformationLayout, RoomInformationLayers(), kLobbyTexture);
    set.Layout(lobby_screen::kRoomCreateLayout, RoomCreateLayers(), kLobbyTexture);
}

}  // namespace scene_data
