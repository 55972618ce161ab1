#include "fuzz/seeds/Seeds.h"

namespace seeds {

void MakePeerSeeds(const std::string& /*root*/) {}

}  // namespace seeds
