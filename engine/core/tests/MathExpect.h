// Tolerant comparisons of the maths value types for the maths tests.
#pragma once

#include "engine/core/Matrix.h"
#include "engine/core/Quaternion.h"
#include "engine/core/Vector3.h"
#include "engine/core/Vector4.h"

#include <gtest/gtest.h>

#include <cmath>
#include <type_traits>

inline ::testing::AssertionResult Near(const f32* a, const f32* b, int n, f32 tolerance)
{
    for (int i = 0; i < n; ++i)
        if (!(std::fabs(a[i] - b[i]) <= tolerance))
            return ::testing::AssertionFailure() << "element " << i << ": " << a[i] << " vs " << b[i];
    return ::testing::AssertionSuccess();
}

// Vectors, quaternions and matrices are plain arrays of floats. The second
// argument may be a braced list: T is taken from the first.
template <class T>
::testing::AssertionResult Near(const T& a, const T& b, f32 tolerance = 1e-5f)
{
    static_assert(std::is_trivially_copyable_v<T> && sizeof(T) % sizeof(f32) == 0);
    return Near(reinterpret_cast<const f32*>(&a), reinterpret_cast<const f32*>(&b), int(sizeof(T) / sizeof(f32)),
                tolerance);
}

// v x M for a point (w = 1), by value.
inline CVector3 Transformed(const CVector3& v, const CMatrix& m)
{
    CVector3 r;
    v.TransformedCoord(&r, m);
    return r;
}
