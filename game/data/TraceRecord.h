// CTraceRecord: one trail definition of a character, read from a value text
// such as "count:16 AlphaAttenuation:0.9 type:1 startx:0 ... bone:\"Hand\"".
#pragma once

#include "engine/core/String.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"

class CTraceRecord {
public:
    i32 count = 0;
    f32 AlphaAttenuation = 0.0f;
    i32 type = 0;
    CVector3 start;   // "startx", "starty", "startz"
    CVector3 end;     // "endx", "endy", "endz"
    CString bone;
    CString texture;

    // Reads the fields the text names, in any order; the others keep their
    // values. 0 for a null text, else 1.
    i32 ReadText(const char* text);
};
