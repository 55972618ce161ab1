#include "engine/core/ObjectBase.h"

#include "engine/core/List.h"
#include "engine/core/tests/MathExpect.h"

#include <gtest/gtest.h>

namespace {

class CPlaced : public CObjectBase {
    ORV_VALUE_CLASS(CPlaced)

public:
    CPlaced() = default;
    explicit CPlaced(const char* name) : CObjectBase(name) {}
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
}

TEST(ObjectBase, BackVectorIsADirectionOnly)
{
    CPlaced o;
    CVector3 back(9, 9, 9);
    EXPECT_EQ(o.GetBackVector(&back), &back);
    EXPECT_TRUE(Near(back, {0, 0, 1}, 0));
    o.GetRotation()->Set(0, 90, 0);
    const CVector3 p(100, 100, 100);
    o.SetPosition(&p);
    o.GetBackVector(&back);
    EXPECT_TRUE(Near(back, {1, 0, 0}, 1e-6f));
    EXPECT_EQ(o.GetBackVector(nullptr), nullptr);
}

TEST(ObjectBase, ListsOfObjectsCopyThemByConstructors)
{
    // Growing a list copies each object (its name into a fresh buffer)
    // instead of its bytes, and new elements are default objects.
    CList<CPlaced> list;
    CPlaced a("first");
    ASSERT_EQ(list.SetAt(a, 0), 1);
    ASSERT_EQ(list.SetAt(CPlaced("third"), 2), 1);
    ASSERT_EQ(list.GetCount(), 3u);
    EXPECT_STREQ(list.GetAt(0)->GetName(), "first");
    EXPECT_NE(list.GetAt(0)->GetName(), a.GetName());
    EXPECT_EQ(list.GetAt(1)->GetName(), nullptr);
    EXPECT_EQ(list.GetAt(1)->GetScaling()->x, 1.0f);
    EXPECT_STREQ(list.GetAt(1)->GetClassName(), "CPlaced");
    ASSERT_EQ(list.RemoveAt(0), 1);
    EXPECT_STREQ(list.GetAt(1)->GetName(), "third");
}
