// The room information and room creation layouts in the data set.
#pragma once

#include <string>
#include <vector>

namespace scene_data {

struct LayerSheet;
std::vector<std::string> RoomInformationLayers();
std::vector<std::string> RoomCreateLayers();
// Each window's base: a sheet naming what the scene writes in it.
std::vector<LayerSheet> RoomInformationSheets();
std::vector<LayerSheet> RoomCreateSheets();

}  // namespace scene_data
