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

namespace {

// The level's picture is drawn at the scene's place for it: it stands at
// the origin.
void PlaceLevelPictures(std::vector<LayerPanel>& panels)
{
    for (const char* picture : lobby::kLevelRangePictures) panels.push_back({picture, 0, 0, 84, 32});
}

}  // namespace

// Each window's base names what the scene writes beside the names; its
// buttons stand at its foot (the chosen one lit over the other).
std::vector<LayerSheet> RoomInformationSheets()
{
    LayerSheet information{"Base", 0, 832, 480, 460, 280.0f, 196.0f, {}};
    information.texts = {{296.0f, 222.0f, Align::kLeft, "Room"}, {296.0f, 310.0f, Align::kLeft, "Level"},
        {636.0f, 276.0f, Align::kLeft, "Players"}, {298.0f, 512.0f, Align::kLeft, "Comment"}};
    return {information};
}

std::vector<LayerSheet> RoomCreateSheets()
{
    LayerSheet create{"Base", 480, 832, 520, 400, 280.0f, 216.0f, {}};
    create.texts = {{296.0f, 250.0f, Align::kLeft, "Room name"}, {296.0f, 296.0f, Align::kLeft, "Level"},
        {296.0f, 350.0f, Align::kLeft, "Password"}, {296.0f, 390.0f, Align::kLeft, "Comment"}};
    return {create};
}

void AddLobbyRoomWindowsData(CSceneDataSet& set)
{
    std::vector<LayerPanel> informationPanels = {{"Btest1", 300, 604, 160, 36}, {"Btest2", 300, 604, 160, 36},
        {"Broomin1", 480, 604, 160, 36}, {"Broomin2", 480, 604, 160, 36}};
    PlaceLevelPictures(informationPanels);
    set.Layout(lobby_screen::kRoomInformationLayout, RoomInformationLayers(), kLobbyTexture, informationPanels,
               RoomInformationSheets());

    std::vector<LayerPanel> createPanels = {{"sentaku2", 592, 294, 32, 32}, {"sentaku", 760, 294, 32, 32}};
    for (const char* button : {"Broomset1", "Broomset2", "Bvsstart1", "Bvsstart2"})
        createPanels.push_back({button, 480, 560, 160, 36});
    PlaceLevelPictures(createPanels);
    set.Layout(lobby_screen::kRoomCreateLayout, RoomCreateLayers(), kLobbyTexture, createPanels, RoomCreateSheets());
}

}  // namespace scene_data
