// The room information and room creation layouts in the data set.
#pragma once

#include <string>
#include <vector>

namespace scene_data {

std::vector<std::string> RoomInformationLayers();
std::vector<std::string> RoomCreateLayers();

}  // namespace scene_data
