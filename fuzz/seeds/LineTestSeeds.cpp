#include "fuzz/seeds/Seeds.h"

namespace seeds {

void MakeLineTestSeeds(const std::string& /*root*/) {}

}  // namespace seeds
