// The stage's models for tests and the battle data set: a box room seen
// from inside, with its collision grid, and a wall quad for the enclosure.
#pragma once

#include "engine/core/Geometry.h"

#include <string>

namespace stage_test {

// The inside of a box: twelve triangles facing in, floor first (material
// range 0), then ceiling, -X, +X, -Z, +Z (range 1), all in one collision
// cell in that order. A face across axis a has u = a + 1 and w = a + 2
// (mod 3) along it; its first triangle is the half where the fraction of
// the way along u is at least that along w.
std::string RoomModel(const CBox& room);

// One quad of one white material, (0,0,0) to (1,1,0): a wall.
std::string WallModel();

}  // namespace stage_test
