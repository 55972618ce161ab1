// CPoint2, the 8-byte pair record. Its users give the two values
// their meaning: (start, count) index ranges of the model index list, pairs
// of a PSD layer record.
#pragma once

#include "engine/core/Types.h"

#include <type_traits>

struct CPoint2 {
    u32 first = 0;
    u32 second = 0;
};

static_assert(sizeof(CPoint2) == 8 && std::is_trivially_copyable_v<CPoint2>);
