// Movie results printed by name in test failures.
#pragma once

#include "host/movie/Movie.h"

#include <ostream>

namespace host::movie {
inline void PrintTo(Result r, std::ostream* os) { *os << ResultName(r); }
}  // namespace host::movie
