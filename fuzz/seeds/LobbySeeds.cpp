#include "fuzz/seeds/Seeds.h"

namespace seeds {

void MakeLobbySeeds(const std::string& /*root*/) {}

}  // namespace seeds
