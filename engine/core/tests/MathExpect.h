// Tolerant comparisons of the maths value types for the maths tests.
#pragma once

#include "engine/core/Matrix.h"
#include "engine/core/Quaternion.h"
#include "engine/core/Vector3.h"
#include "engine/core/Vector4.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

inline ::testing::AssertionResult Near(const f32* a, const f32* b, int n, f32 tolerance)
{
    for (int i = 0; i < n; ++i) {
        if (!(std::fabs(a[i] - b[i]) <= tolerance)) {
            std::ostringstream s;
            s << "element " << i << ": " << a[i] << " vs " << b[i] << " (";
            for (int k = 0; k < n; ++k) s << (k ? ", " : "") << a[k];
            s << ")";
            return ::testing::AssertionFailure() << s.str();
        }
    }
    return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult Near(const CVector3& a, const CVector3& b, f32 tolerance = 1e-5f)
{
    const f32 fa[] = {a.x, a.y, a.z}, fb[] = {b.x, b.y, b.z};
    return Near(fa, fb, 3, tolerance);
}

inline ::testing::AssertionResult Near(const CVector4& a, const CVector4& b, f32 tolerance = 1e-5f)
{
    const f32 fa[] = {a.x, a.y, a.z, a.w}, fb[] = {b.x, b.y, b.z, b.w};
    return Near(fa, fb, 4, tolerance);
}

inline ::testing::AssertionResult Near(const CQuaternion& a, const CQuaternion& b, f32 tolerance = 1e-5f)
{
    const f32 fa[] = {a.x, a.y, a.z, a.w}, fb[] = {b.x, b.y, b.z, b.w};
    return Near(fa, fb, 4, tolerance);
}

inline ::testing::AssertionResult Near(const CMatrix& a, const CMatrix& b, f32 tolerance = 1e-5f)
{
    return Near(&a.m[0][0], &b.m[0][0], 16, tolerance);
}

// v x M for a point (w = 1), by value.
inline CVector3 Transformed(const CVector3& v, const CMatrix& m)
{
    CVector3 r;
    v.TransformedCoord(&r, m);
    return r;
}
