#include "engine/core/Matrix.h"

#include "engine/core/FloatMath.h"
#include "engine/core/Quaternion.h"
#include "engine/core/Vector4.h"

#include <cstring>

CMatrix::CMatrix(f32 m00, f32 m01, f32 m02, f32 m03, f32 m10, f32 m11, f32 m12, f32 m13, f32 m20, f32 m21,
    f32 m22, f32 m23, f32 m30, f32 m31, f32 m32, f32 m33)
    : m{{m00, m01, m02, m03}, {m10, m11, m12, m13}, {m20, m21, m22, m23}, {m30, m31, m32, m33}}
{
}

CMatrix::CMatrix(const f32* elements)
{
    if (elements) std::memcpy(m, elements, sizeof m);
    else SetIdentity();
}

CMatrix::CMatrix(const CVector3* translation)
{
    SetIdentity();
    if (translation) {
        m[3][0] = translation->x;
        m[3][1] = translation->y;
        m[3][2] = translation->z;
    }
}

f32 CMatrix::Get(i32 row, i32 column) const
{
    if (row < 0 || row > 3 || column < 0 || column > 3) return 0.0f;
    return m[row][column];
}

void CMatrix::Set(i32 row, i32 column, f32 value)
{
    if (row < 0 || row > 3 || column < 0 || column > 3) return;
    m[row][column] = value;
}

static CVector4 Column(const CMatrix& a, int c)
{
    return {a.m[0][c], a.m[1][c], a.m[2][c], a.m[3][c]};
}

static CVector4 Row(const CMatrix& a, int r)
{
    return {a.m[r][0], a.m[r][1], a.m[r][2], a.m[r][3]};
}

f32 CMatrix::Determinant() const
{
    const CVector4 c0 = Column(*this, 0), c1 = Column(*this, 1), c2 = Column(*this, 2), c3 = Column(*this, 3);
    CVector4 cross;
    c0.Cross4(&c1, &c2, &cross);
    return -c3.Dot(cross);
}

void CMatrix::Inverse(CMatrix* out) const
{
    if (!out) return;
    const f32 d = Determinant();
    if (d == 0.0f) return;
    CMatrix r(kUnset);
    for (int i = 0; i < 4; ++i) {
        CVector4 rows[3];
        for (int k = 0, n = 0; k < 4; ++k)
            if (k != i) rows[n++] = Row(*this, k);
        CVector4 c;
        rows[0].Cross4(&rows[1], &rows[2], &c);
        const f32 sign = (i & 1) ? -1.0f : 1.0f;
        for (int k = 0; k < 4; ++k) r.m[k][i] = sign * c[k] / d;
    }
    *out = r;
}

CMatrix CMatrix::GetInverse() const
{
    CMatrix r;
    Inverse(&r);
    return r;
}

CMatrix& CMatrix::RotationX(f32 degrees)
{
    const f32 a = degrees * kDegToRad;
    const f32 s = SinF(a), c = CosF(a);
    SetIdentity();
    m[1][1] = c; m[1][2] = s;
    m[2][1] = -s; m[2][2] = c;
    return *this;
}

CMatrix& CMatrix::RotationY(f32 degrees)
{
    const f32 a = degrees * kDegToRad;
    const f32 s = SinF(a), c = CosF(a);
    SetIdentity();
    m[0][0] = c; m[0][2] = -s;
    m[2][0] = s; m[2][2] = c;
    return *this;
}

CMatrix& CMatrix::RotationZ(f32 degrees)
{
    const f32 a = degrees * kDegToRad;
    const f32 s = SinF(a), c = CosF(a);
    SetIdentity();
    m[0][0] = c; m[0][1] = s;
    m[1][0] = -s; m[1][1] = c;
    return *this;
}

namespace {

enum Axis { kX, kY, kZ };

// The product of three elementary rotations taken left to right, each a full
// 4x4 product: the zeros and signs of the result are then fixed, and battles
// and replays that use them match bit for bit.
CMatrix RotationProduct(const CVector3& degrees, Axis first, Axis second, Axis third)
{
    const auto elementary = [&degrees](Axis axis) {
        CMatrix r;
        if (axis == kX) r.RotationX(degrees.x);
        else if (axis == kY) r.RotationY(degrees.y);
        else r.RotationZ(degrees.z);
        return r;
    };
    CMatrix r = elementary(first);
    r *= elementary(second);
    r *= elementary(third);
    return r;
}

}  // namespace

CMatrix& CMatrix::RotationZYX(const CVector3* d)
{
    if (d) *this = RotationProduct(*d, kZ, kY, kX);
    return *this;
}

CMatrix& CMatrix::RotationYXZ(const CVector3* d)
{
    if (d) *this = RotationProduct(*d, kY, kX, kZ);
    return *this;
}

CMatrix& CMatrix::RotationXZY(const CVector3* d)
{
    if (d) *this = RotationProduct(*d, kX, kZ, kY);
    return *this;
}

CMatrix& CMatrix::RotationYZX(const CVector3* d)
{
    if (d) *this = RotationProduct(*d, kY, kZ, kX);
    return *this;
}

CMatrix& CMatrix::RotationXYZ(const CVector3* d)
{
    if (d) *this = RotationProduct(*d, kX, kY, kZ);
    return *this;
}

CMatrix& CMatrix::RotationEuler(const CVector3* d)
{
    if (d) *this = RotationProduct(*d, kZ, kX, kY);
    return *this;
}

CMatrix& CMatrix::RotationYawPitchRoll(f32 x, f32 y, f32 z)
{
    const CVector3 d(x, y, z);
    return RotationEuler(&d);
}

CMatrix& CMatrix::RotationAxisDirect(f32 degrees, const CVector3* axis)
{
    if (!axis) return *this;
    CVector3 n;
    axis->Normalize(&n);
    const f32 a = degrees * kDegToRad;
    const f32 c = CosF(a), s = SinF(a), t = 1.0f - c;
    *this = CMatrix(t * n.x * n.x + c, t * n.x * n.y + s * n.z, t * n.x * n.z - s * n.y, 0.0f,
        t * n.y * n.x - s * n.z, t * n.y * n.y + c, t * n.y * n.z + s * n.x, 0.0f,
        t * n.z * n.x + s * n.y, t * n.z * n.y - s * n.x, t * n.z * n.z + c, 0.0f,
        0.0f, 0.0f, 0.0f, 1.0f);
    return *this;
}

bool CMatrix::operator==(const CMatrix& b) const
{
    return std::memcmp(m, b.m, sizeof m) == 0;
}
