// The cooperative level the input tests acquire devices at.
#pragma once

#include "host/input/Input.h"

#include <cstdint>

namespace input_test {

constexpr uint32_t kLevel = host::input::kNonExclusive | host::input::kBackground;

}  // namespace input_test
