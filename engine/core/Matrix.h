// CMatrix: 4x4 floats, row-major, row vectors (v' = v x M), translation in
// row 3, left-handed rotations, angles in degrees. Argument convention as in Vector3.h.
#pragma once

#include "engine/core/Types.h"
#include "engine/core/Vector3.h"

#include <cstring>

class CQuaternion;

class CMatrix {
public:
    f32 m[4][4];

    // Identity.
    CMatrix() { SetIdentity(); }
    // Left unset, for a result about to be written whole.
    enum Unset { kUnset };
    explicit CMatrix(Unset) {}
    CMatrix(f32 m00, f32 m01, f32 m02, f32 m03, f32 m10, f32 m11, f32 m12, f32 m13, f32 m20, f32 m21,
        f32 m22, f32 m23, f32 m30, f32 m31, f32 m32, f32 m33);
    // Sixteen floats in row order; a null pointer gives the identity.
    explicit CMatrix(const f32* elements);
    // Identity whose row 3 is (t.x, t.y, t.z, 1); a null t gives the identity.
    explicit CMatrix(const CVector3* translation);
    CMatrix(const CMatrix&) = default;
    CMatrix& operator=(const CMatrix&) = default;

    CMatrix& SetIdentity()
    {
        static constexpr f32 kIdentity[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
        std::memcpy(m, kIdentity, sizeof m);
        return *this;
    }
    bool IsIdentity() const
    {
        static constexpr f32 kIdentity[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
        return std::memcmp(m, kIdentity, sizeof m) == 0;
    }

    // Element (row, column); 0.0 outside 0..3.
    f32 Get(i32 row, i32 column) const;
    // Ignored outside 0..3.
    void Set(i32 row, i32 column, f32 value);

    // this = this x b; out[i][j] = sum over k of this[i][k] b[k][j], k in order.
    CMatrix& operator*=(const CMatrix& b)
    {
        *this = Multiply(*this, b);
        return *this;
    }
    CMatrix operator*(const CMatrix& b) const { return Multiply(*this, b); }
    // a x b, by value.
    static CMatrix Multiply(const CMatrix& a, const CMatrix& b)
    {
        // A row of the product at once: four lanes, each computing
        // ((a0 b0 + a1 b1) + a2 b2) + a3 b3 in that order, so the bits are
        // those of the element-by-element sum on every machine (no fused
        // steps).
        typedef f32 Lanes __attribute__((vector_size(16)));
        Lanes rows[4];
        std::memcpy(rows, b.m, sizeof rows);
        CMatrix r(kUnset);
        for (int i = 0; i < 4; ++i) {
            const Lanes row =
                a.m[i][0] * rows[0] + a.m[i][1] * rows[1] + a.m[i][2] * rows[2] + a.m[i][3] * rows[3];
            std::memcpy(r.m[i], &row, sizeof row);
        }
        return r;
    }

    // The 4x4 determinant: -(c3 . Cross4(c0, c1, c2)) over the columns.
    f32 Determinant() const;
    // Adjugate / determinant into out (out may be this). A determinant of
    // exactly 0 leaves out as it was; a null out gets nothing.
    void Inverse(CMatrix* out) const;
    // The inverse by value; the identity when the matrix is singular.
    CMatrix GetInverse() const;

    // Elementary rotations (degrees); each returns this.
    CMatrix& RotationX(f32 degrees);
    CMatrix& RotationY(f32 degrees);
    CMatrix& RotationZ(f32 degrees);

    // The six-order family: angles in degrees (x about X, y about Y, z about
    // Z), product taken left to right, the leftmost factor acting first on a
    // row vector. A null pointer leaves this unchanged. Each returns this.
    CMatrix& RotationZYX(const CVector3* degrees);   // Rz x Ry x Rx
    CMatrix& RotationYXZ(const CVector3* degrees);   // Ry x Rx x Rz
    CMatrix& RotationXZY(const CVector3* degrees);   // Rx x Rz x Ry
    CMatrix& RotationYZX(const CVector3* degrees);   // Ry x Rz x Rx
    CMatrix& RotationXYZ(const CVector3* degrees);   // Rx x Ry x Rz
    // Rz x Rx x Ry: z, then x, then y; every placed object's rotation.
    CMatrix& RotationEuler(const CVector3* degrees);
    CMatrix& RotationZXY(const CVector3* degrees) { return RotationEuler(degrees); }
    // Rz x Rx x Ry from three separate angles.
    CMatrix& RotationYawPitchRoll(f32 x, f32 y, f32 z);

    // Rotation about an axis from sine and cosine (the axis is normalized);
    // about +z it equals RotationZ. A null axis leaves this unchanged.
    CMatrix& RotationAxisDirect(f32 degrees, const CVector3* axis);
    // ToMatrix(Normalized(FromAxisAngle(degrees, axis))): turns the opposite
    // way to RotationAxisDirect. The axis is taken as given, so one of other
    // than unit length turns by another angle than degrees (2 atan(|axis|
    // tan(degrees / 2))). A null axis leaves this unchanged.
    CMatrix& RotationAxis(f32 degrees, const CVector3* axis);

    // Lengths of rows 0, 1, 2 over their first three elements.
    void GetScaling(CVector3* out) const;
    CVector3 ScalingPart() const;
    // Rows 0-2 normalized over their first three elements, element 3 of each
    // 0, row 3 = (0, 0, 0, 1).
    void GetRotationPart(CMatrix* out) const;
    CMatrix RotationPart() const;
    // Quaternion of the rotation part; exact inverse of CQuaternion::ToMatrix.
    void ToQuaternion(CQuaternion* out) const;
    // Blend of this and b at t: translation and scaling linearly, rotation
    // by quaternion slerp. t <= 0 gives this, t >= 1 gives b, bit for bit.
    // out may be this or b; a null b or out does nothing.
    void Interpolate(const CMatrix* b, f32 t, CMatrix* out) const;

    void GetTranslation(CVector3* out) const
    {
        if (out) out->Set(m[3][0], m[3][1], m[3][2]);
    }
    // The identity with this matrix's translation (m30, m31, m32).
    CMatrix GetTranslationMatrix() const
    {
        CMatrix r;
        r.m[3][0] = m[3][0]; r.m[3][1] = m[3][1]; r.m[3][2] = m[3][2];
        return r;
    }
    void ExtractTranslation(CMatrix* out) const
    {
        if (out) *out = GetTranslationMatrix();
    }
    // this = diag(v.x, v.y, v.z, 1); a null v leaves the matrix unchanged.
    CMatrix& SetScaling(const CVector3* v)
    {
        if (v) {
            SetIdentity();
            m[0][0] = v->x; m[1][1] = v->y; m[2][2] = v->z;
        }
        return *this;
    }
    // Bytewise comparison of the 64 bytes: 0.0 and -0.0 differ, a NaN equals
    // its own copy.
    bool operator==(const CMatrix& b) const;
    bool operator!=(const CMatrix& b) const { return !(*this == b); }
};

static_assert(sizeof(CMatrix) == 64);

inline CVector3* CVector3::TransformedCoord(CVector3* out, const CMatrix& m) const
{
    if (!out) return out;
    const f32 rx = x * m.m[0][0] + y * m.m[1][0] + z * m.m[2][0] + m.m[3][0];
    const f32 ry = x * m.m[0][1] + y * m.m[1][1] + z * m.m[2][1] + m.m[3][1];
    const f32 rz = x * m.m[0][2] + y * m.m[1][2] + z * m.m[2][2] + m.m[3][2];
    out->Set(rx, ry, rz);
    return out;
}

// Rows 0, 1, 2 (all four elements) multiplied by s.x, s.y, s.z: with row
// vectors Scale x m. Nothing when m or s is null.
inline void MatrixScaleRows(CMatrix* m, const CVector3* s)
{
    if (!m || !s) return;
    for (int c = 0; c < 4; ++c) {
        m->m[0][c] *= s->x;
        m->m[1][c] *= s->y;
        m->m[2][c] *= s->z;
    }
}

// m = m x Translation(t): m[r][c] += m[r][3] * t[c] for rows 0..3 and
// columns 0..2. Nothing when m or t is null.
inline void MatrixTranslate(CMatrix* m, const CVector3* t)
{
    if (!m || !t) return;
    for (int r = 0; r < 4; ++r) {
        m->m[r][0] += m->m[r][3] * t->x;
        m->m[r][1] += m->m[r][3] * t->y;
        m->m[r][2] += m->m[r][3] * t->z;
    }
}

// m = m x Scale(s): columns 0, 1, 2 of every row times s.x, s.y, s.z.
// Returns m; null m or s changes nothing and returns null.
inline CMatrix* MatrixScale(CMatrix* m, const CVector3* s)
{
    if (!m || !s) return nullptr;
    for (int r = 0; r < 4; ++r) {
        m->m[r][0] *= s->x;
        m->m[r][1] *= s->y;
        m->m[r][2] *= s->z;
    }
    return m;
}
