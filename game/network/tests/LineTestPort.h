// The port both ends of the line test use, each on a machine (or loopback
// address) of its own.
#pragma once

#include "engine/core/Types.h"

namespace line_test {

inline constexpr u16 kPort = 15500;

}  // namespace line_test
