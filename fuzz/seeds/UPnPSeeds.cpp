#include "fuzz/seeds/Seeds.h"

namespace seeds {

void MakeUPnPSeeds(const std::string& /*root*/) {}

}  // namespace seeds
