#include "engine/core/ObjectBase.h"

#include "engine/core/tests/MathExpect.h"

#include <gtest/gtest.h>

namespace ORV_TEST_FILE_ID {

namespace {

class CPlaced : public CObjectBase {
    ORV_VALUE_CLASS(CPlaced)

public:
    i32 Initialize(intptr_t) override { return 1; }
    i32 Update(u32) override { return 1; }
    i32 Draw(u32) override { return 1; }
};

}  // namespace

TEST(ObjectBase, WorldMatrixIsScaleThenEulerRotationThenTranslation)
{
    // RotationEuler (0, 90, 0) sends the row vector (0, 0, 1) to (1, 0, 0)
    // and (1, 0, 0) to (0, 0, -1); scaling z by 2 scales that row first.
    CPlaced o;
    o.GetRotation()->Set(0, 90, 0);
    o.GetScaling()->Set(1, 1, 2);
    const CVector3 p(1, 2, 3);
    o.SetPosition(&p);
    o.SetPosition(nullptr);
    CMatrix* m = o.UpdateMatrix();
    EXPECT_EQ(m, o.GetWorldMatrix());
    EXPECT_TRUE(Near(*m, CMatrix(0, 0, -1, 0, 0, 1, 0, 0, 2, 0, 0, 0, 1, 2, 3, 1), 1e-6f));

    // The back vector turns with the rotation alone: no scaling, no position.
    CVector3 back(9, 9, 9);
    EXPECT_EQ(o.GetBackVector(&back), &back);
    EXPECT_TRUE(Near(back, {1, 0, 0}, 1e-6f));
    EXPECT_EQ(o.GetBackVector(nullptr), nullptr);
}

}  // namespace ORV_TEST_FILE_ID
