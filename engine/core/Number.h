// Numbers read from text the C library's way, but independent of the process
// locale (GTK may change it): the game's texts always use '.'.
#pragma once

#include "engine/core/Types.h"

// As atoi: leading blanks, a sign, decimal digits up to the first other
// character; out-of-range values saturate to the i32 limits. Null gives 0.
i32 ParseInt(const char* text);

// As atof in the "C" locale: leading blanks, a sign, a decimal or hexadecimal
// number, "inf" or "nan"; the rest is ignored and no number gives 0. Null
// gives 0.
f64 ParseDouble(const char* text);

// ParseDouble narrowed to a float; a finite value beyond the float range
// gives infinity, as the hardware conversion does.
f32 ParseFloat(const char* text);
