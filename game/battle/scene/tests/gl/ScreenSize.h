// The full screen the battle and its HUD are laid out for, as the frame
// tests draw it.
#pragma once

#include "engine/core/Types.h"

namespace gl_test {

constexpr u32 kScreenWidth = 1024, kScreenHeight = 768;

}  // namespace gl_test
