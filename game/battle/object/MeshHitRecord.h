// What the stage hands to an object that hit its collision model (messages
// 10, 12 and 13).
#pragma once

#include "engine/core/Types.h"
#include "engine/core/Vector3.h"

struct CMeshHitRecord {
    CVector3 point;     // where the segment or sphere met the model
    CVector3 normal;    // of the triangle hit
    u32 triangle = 0;   // its place in the model
    u32 subset = 0;     // the model's material range holding it
};
