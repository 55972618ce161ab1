#include "engine/core/Matrix.h"
#include "engine/core/tests/MathExpect.h"

namespace ORV_TEST_FILE_ID {

namespace {

const CMatrix kIdentity;
const CMatrix kCounting(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);

CMatrix Rx(f32 a) { return CMatrix().RotationX(a); }
CMatrix Ry(f32 a) { return CMatrix().RotationY(a); }
CMatrix Rz(f32 a) { return CMatrix().RotationZ(a); }

}  // namespace

TEST(Matrix, OutOfRangeElementAccessIsIgnored)
{
    EXPECT_EQ(kCounting.Get(3, 1), 14.0f);
    EXPECT_EQ(kCounting.Get(4, 0), 0.0f);
    EXPECT_EQ(kCounting.Get(0, -1), 0.0f);
    CMatrix s = kCounting;
    s.Set(0, 7, 99.0f);
    s.Set(-1, 0, 99.0f);
    EXPECT_EQ(s, kCounting);
    EXPECT_EQ(CMatrix(static_cast<const f32*>(nullptr)), kIdentity);
    const CVector3 t(5, 6, 7);
    EXPECT_EQ(CMatrix(&t), CMatrix(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 5, 6, 7, 1));  // a translation
}

// Every element counts: a translation (row 3) or any one element off is not the identity.
TEST(Matrix, IdentityLooksAtEveryElement)
{
    EXPECT_TRUE(kIdentity.IsIdentity());
    const CVector3 t(0, 0, 2);
    EXPECT_FALSE(CMatrix(&t).IsIdentity());
    for (i32 row = 0; row < 4; ++row)
        for (i32 column = 0; column < 4; ++column) {
            CMatrix m;
            m.Set(row, column, m.Get(row, column) + 0.5f);
            EXPECT_FALSE(m.IsIdentity()) << row << ", " << column;
        }
}

TEST(Matrix, ProductIsRowTimesColumn)
{
    const CMatrix a(1, 2, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 3, 0, 0, 1);
    const CMatrix b(2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1);
    const CMatrix expected(2, 6, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 6, 0, 0, 1);
    EXPECT_EQ(CMatrix::Multiply(a, b), expected);
    CMatrix c = a;
    c *= b;
    EXPECT_EQ(c, expected);
}

TEST(Matrix, DeterminantAndInverseOfAKnownMatrix)
{
    // Determinant 72 and inverse worked out in rational arithmetic.
    const CMatrix m(1, 2, 3, 4, 5, 6, 7, 8, 2, 6, 4, 8, 3, 1, 1, 2);
    EXPECT_EQ(m.Determinant(), 72.0f);
    const CMatrix expected(-1.0f / 6, 1.0f / 18, -1.0f / 18, 1.0f / 3, -5.0f / 6, 5.0f / 18, 2.0f / 9,
        -1.0f / 3, 1.0f / 6, 5.0f / 18, -5.0f / 18, -1.0f / 3, 7.0f / 12, -13.0f / 36, 1.0f / 9, 1.0f / 3);
    EXPECT_TRUE(Near(m.GetInverse(), expected, 1e-6f));
    EXPECT_TRUE(Near(m * m.GetInverse(), kIdentity, 1e-5f));
    // out may be the matrix itself.
    CMatrix self = m;
    self.Inverse(&self);
    EXPECT_TRUE(Near(self, expected, 1e-6f));
    m.Inverse(nullptr);
}

TEST(Matrix, SingularMatrixLeavesTheOutMatrixUntouched)
{
    const CMatrix singular(1, 2, 3, 4, 2, 4, 6, 8, 0, 1, 0, 1, 5, 0, 2, 1);  // row 1 = 2 row 0
    EXPECT_EQ(singular.Determinant(), 0.0f);
    CMatrix out = kCounting;
    singular.Inverse(&out);
    EXPECT_EQ(out, kCounting);
    EXPECT_EQ(singular.GetInverse(), kIdentity);  // by value: the identity
}

TEST(Matrix, ElementaryRotationsAreLeftHanded)
{
    // With row vectors each turns the next axis into the one after it: x to y about z.
    const f32 s = SinF(30 * kDegToRad), c = CosF(30 * kDegToRad);
    EXPECT_EQ(Rx(30), CMatrix(1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1));
    EXPECT_EQ(Ry(30), CMatrix(c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1));
    EXPECT_EQ(Rz(30), CMatrix(c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1));
}

TEST(Matrix, EulerTurnsZThenXThenY)
{
    const CVector3 deg(30, 45, 60);
    CMatrix euler;
    EXPECT_EQ(&euler.RotationEuler(&deg), &euler);
    EXPECT_EQ(euler, Rz(60) * Rx(30) * Ry(45));
    EXPECT_EQ(CMatrix().RotationZXY(&deg), euler);
    EXPECT_EQ(CMatrix().RotationYawPitchRoll(30, 45, 60), euler);
    // Golden vector computed in double precision from the definitions.
    EXPECT_TRUE(Near(Transformed({1, 2, 3}, euler), {1.6256654f, 0.1160254f, 3.3680484f}, 2e-6f));
}

TEST(Matrix, SixOrderFamilyMultipliesLeftToRight)
{
    const CVector3 deg(-20, 75, 130);
    const CMatrix x = Rx(-20), y = Ry(75), z = Rz(130);
    EXPECT_EQ(CMatrix().RotationZYX(&deg), z * y * x);
    EXPECT_EQ(CMatrix().RotationYXZ(&deg), y * x * z);
    EXPECT_EQ(CMatrix().RotationXZY(&deg), x * z * y);
    EXPECT_EQ(CMatrix().RotationYZX(&deg), y * z * x);
    EXPECT_EQ(CMatrix().RotationXYZ(&deg), x * y * z);

    // A null angle pointer leaves the matrix unchanged.
    for (auto op : {&CMatrix::RotationZYX, &CMatrix::RotationYXZ, &CMatrix::RotationXZY, &CMatrix::RotationYZX,
             &CMatrix::RotationXYZ, &CMatrix::RotationEuler}) {
        CMatrix m = kCounting;
        (m.*op)(nullptr);
        EXPECT_EQ(m, kCounting);
    }
}

TEST(Matrix, RotationAxisDirectAgreesWithTheElementaryRotations)
{
    const CVector3 zAxis(0, 0, 3), xAxis(2, 0, 0), yAxis(0, 1, 0);
    for (f32 a : {-120.0f, 30.0f, 90.0f, 200.0f}) {
        EXPECT_TRUE(Near(CMatrix().RotationAxisDirect(a, &zAxis), Rz(a), 1e-6f)) << a;
        EXPECT_TRUE(Near(CMatrix().RotationAxisDirect(a, &xAxis), Rx(a), 1e-6f)) << a;
        EXPECT_TRUE(Near(CMatrix().RotationAxisDirect(a, &yAxis), Ry(a), 1e-6f)) << a;
    }
    // About any axis, the axis is fixed and the matrix is orthonormal.
    const CVector3 axis(1, 2, 2);
    const CMatrix r = CMatrix().RotationAxisDirect(70, &axis);
    EXPECT_TRUE(Near(Transformed(axis, r), axis, 1e-5f));
    EXPECT_NEAR(r.Determinant(), 1.0f, 1e-5f);
    CMatrix m = kCounting;
    m.RotationAxisDirect(10, nullptr);
    EXPECT_EQ(m, kCounting);
}

TEST(Matrix, ScaleAndTranslateHelpers)
{
    // MatrixTranslate shifts every row by its own fourth-column value.
    const CVector3 t(1, 2, 3);
    CMatrix m(1, 0, 0, 2, 0, 1, 0, 0, 0, 0, 1, -1, 0, 0, 0, 1);
    MatrixTranslate(&m, &t);
    EXPECT_EQ(m, CMatrix(3, 4, 6, 2, 0, 1, 0, 0, -1, -2, -2, -1, 1, 2, 3, 1));

    // MatrixScale multiplies columns (m x Scale); MatrixScaleRows rows (Scale x m).
    CMatrix cols = kCounting;
    EXPECT_EQ(MatrixScale(&cols, &t), &cols);
    EXPECT_EQ(cols, CMatrix(1, 4, 9, 4, 5, 12, 21, 8, 9, 20, 33, 12, 13, 28, 45, 16));
    CMatrix rows = kCounting;
    MatrixScaleRows(&rows, &t);
    EXPECT_EQ(rows, CMatrix(1, 2, 3, 4, 10, 12, 14, 16, 27, 30, 33, 36, 13, 14, 15, 16));

    // Null arguments change nothing.
    CMatrix same = kCounting;
    MatrixTranslate(&same, nullptr);
    MatrixTranslate(nullptr, &t);
    MatrixScaleRows(&same, nullptr);
    EXPECT_EQ(MatrixScale(&same, nullptr), nullptr);
    EXPECT_EQ(MatrixScale(nullptr, &t), nullptr);
    same.SetScaling(nullptr);
    same.GetTranslation(nullptr);
    EXPECT_EQ(same, kCounting);
}

}  // namespace ORV_TEST_FILE_ID
