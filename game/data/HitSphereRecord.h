// CHitSphereRecord: one hit sphere of a character, read from a value text
// such as "radius:1.5 type:2 x:0 y:0.5 z:0 bone:\"Body\"".
#pragma once

#include "engine/core/String.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"

class CHitSphereRecord {
public:
    f32 radius = 0.0f;
    i32 type = 0;
    CVector3 position;   // "x", "y", "z"
    CString bone;

    // Reads the fields the text names, in any order; the others keep their
    // values. 0 for a null text, else 1.
    i32 ReadText(const char* text);
};
