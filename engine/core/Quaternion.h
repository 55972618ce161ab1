// CQuaternion: rotations for key-frame blending and skinned animation
//. Vector part x, y, z; scalar part w. Argument
// convention as in Vector3.h.
#pragma once

#include "engine/core/Matrix.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"

class CQuaternion {
public:
    f32 x, y, z, w;

    // (0, 0, 0, 0), not the identity; ToMatrix of it is the identity.
    CQuaternion() : x(0.0f), y(0.0f), z(0.0f), w(0.0f) {}
    CQuaternion(f32 qx, f32 qy, f32 qz, f32 qw) : x(qx), y(qy), z(qz), w(qw) {}
    CQuaternion(const CQuaternion&) = default;
    CQuaternion& operator=(const CQuaternion&) = default;

    CQuaternion operator+(const CQuaternion& b) const { return {x + b.x, y + b.y, z + b.z, w + b.w}; }
    CQuaternion operator-(const CQuaternion& b) const { return {x - b.x, y - b.y, z - b.z, w - b.w}; }
    CQuaternion operator*(f32 s) const { return {x * s, y * s, z * s, w * s}; }

    f32 Dot(const CQuaternion& b) const { return x * b.x + y * b.y + z * b.z + w * b.w; }

    // Rotation matrix of this unit quaternion into out (null: nothing). With
    // row vectors it turns the opposite way to CMatrix::RotationZ.
    void ToMatrix(CMatrix* out) const;
    // Rotation about the axis as given (not normalized): (axis sin h, cos h)
    // with h half the angle. A null axis leaves this unchanged.
    CQuaternion& FromAxisAngle(f32 degrees, const CVector3* axis);
    // Spherical blend of a and b at t, the short way round; linear weights
    // when 1 - |a.b| <= 0.001. Not renormalized. a, b may be this; a null a
    // or b leaves this unchanged.
    CQuaternion& Slerp(const CQuaternion* a, const CQuaternion* b, f32 t);
    // Slerp(a[i], b[i], t[i]) into out[i] for i below n (at most 4), the same
    // bits, with the arc cosines and sines of all four taken together. out[i]
    // may be a[i] or b[i], not another lane's.
    static void SlerpFour(const CQuaternion* const a[4], const CQuaternion* const b[4], const f32 t[4],
        CQuaternion* const out[4], u32 n);
    // this / length into out, returned; a length of 0 gives (0, 0, 0, 0).
    // A null out is returned untouched.
    CQuaternion* Normalized(CQuaternion* out) const;
    // Shortest rotation taking direction a to direction b; (0, 0, 0, 1) when
    // either is null; a half-turn about CVector3::Perpendicular of a when they
    // are opposite (also when rounding puts a.b just below -1).
    CQuaternion& FromArc(const CVector3* a, const CVector3* b);
};
