#include "engine/core/ObjectBase.h"

#include "engine/core/List.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

class CPlaced : public CObjectBase {
    ORV_VALUE_CLASS(CPlaced)

public:
    CPlaced() = default;
    explicit CPlaced(const char* name) : CObjectBase(name) {}
    i32 Initialize(intptr_t) override { return 1; }
    i32 Update(u32) override
    {
        UpdateMatrix();
        return 1;
    }
    i32 Draw(u32) override { return 1; }
};

void ExpectRow(const CMatrix& m, int r, f32 a, f32 b, f32 c, f32 d)
{
    EXPECT_FLOAT_EQ(m.m[r][0], a) << "row " << r;
    EXPECT_FLOAT_EQ(m.m[r][1], b) << "row " << r;
    EXPECT_FLOAT_EQ(m.m[r][2], c) << "row " << r;
    EXPECT_FLOAT_EQ(m.m[r][3], d) << "row " << r;
}

}  // namespace

TEST(ObjectBase, Defaults)
{
    CPlaced o;
    EXPECT_EQ(o.GetPosition()->x, 0.0f);
    EXPECT_EQ(o.GetRotation()->y, 0.0f);
    EXPECT_EQ(o.GetScaling()->z, 1.0f);
    EXPECT_EQ(o.GetColor()->w, 1.0f);
    EXPECT_EQ(o.IsVisible(), 1u);
    EXPECT_EQ(o.GetDrawPriority(), 0);
    EXPECT_EQ(o.GetUserWord(), 0);
    EXPECT_EQ(o.IsDepthSorted(), 0u);
    EXPECT_EQ(o.GetDrawArgument(), 0u);
    EXPECT_TRUE(*o.GetWorldMatrix() == CMatrix());
    EXPECT_EQ(o.GetBoundingBox()->max.x, 0.0f);
    EXPECT_EQ(o.GetBoundingRadius(), 0.0f);
    EXPECT_EQ(o.GetName(), nullptr);
    EXPECT_STREQ(o.GetClassName(), "CPlaced");
    EXPECT_STREQ(CPlaced("n").GetName(), "n");
}

TEST(ObjectBase, UpdateMatrixIsScaleThenRotationThenTranslation)
{
    CPlaced o;
    o.GetScaling()->Set(2, 3, 4);
    const CVector3 p(5, 6, 7);
    o.SetPosition(&p);
    CMatrix* m = o.UpdateMatrix();
    EXPECT_EQ(m, o.GetWorldMatrix());
    ExpectRow(*m, 0, 2, 0, 0, 0);
    ExpectRow(*m, 1, 0, 3, 0, 0);
    ExpectRow(*m, 2, 0, 0, 4, 0);
    ExpectRow(*m, 3, 5, 6, 7, 1);
}

TEST(ObjectBase, UpdateMatrixTurnsWithTheEulerOrder)
{
    // RotationEuler (0, 90, 0) sends the row vector (0, 0, 1) to (1, 0, 0);
    // scaling z by 2 scales that row before it turns.
    CPlaced o;
    o.GetRotation()->Set(0, 90, 0);
    o.GetScaling()->Set(1, 1, 2);
    const CVector3 p(1, 2, 3);
    o.SetPosition(&p);
    const CMatrix& m = *o.UpdateMatrix();
    EXPECT_NEAR(m.m[2][0], 2.0f, 1e-6f);
    EXPECT_NEAR(m.m[2][2], 0.0f, 1e-6f);
    EXPECT_NEAR(m.m[0][2], -1.0f, 1e-6f);
    ExpectRow(m, 3, 1, 2, 3, 1);
}

TEST(ObjectBase, SetPositionIgnoresNull)
{
    CPlaced o;
    const CVector3 p(1, 2, 3);
    o.SetPosition(&p);
    o.SetPosition(nullptr);
    EXPECT_EQ(o.GetPosition()->z, 3.0f);
}

TEST(ObjectBase, BackVector)
{
    CPlaced o;
    CVector3 back(9, 9, 9);
    EXPECT_EQ(o.GetBackVector(&back), &back);
    EXPECT_EQ(back.x, 0.0f);
    EXPECT_EQ(back.y, 0.0f);
    EXPECT_EQ(back.z, 1.0f);

    // Direction only: the position does not move it.
    o.GetRotation()->Set(0, 90, 0);
    const CVector3 p(100, 100, 100);
    o.SetPosition(&p);
    o.GetBackVector(&back);
    EXPECT_NEAR(back.x, 1.0f, 1e-6f);
    EXPECT_NEAR(back.y, 0.0f, 1e-6f);
    EXPECT_NEAR(back.z, 0.0f, 1e-6f);
    EXPECT_EQ(o.GetBackVector(nullptr), nullptr);
}

TEST(ObjectBase, CopyCopiesEveryFieldAndAnIndependentName)
{
    CPlaced a("obj");
    a.GetRotation()->Set(10, 20, 30);
    a.GetColor()->x = 0.5f;
    a.SetVisible(0);
    a.SetDrawPriority(-3);
    a.SetUserWord(1);
    a.SetDepthSorted(1);
    a.SetDrawArgument(77);
    a.SetBoundingRadius(2.5f);
    a.GetBoundingBox()->max.Set(1, 2, 3);
    a.UpdateMatrix();

    CValueBase* copy = static_cast<CValueBase&>(a).Clone();
    ASSERT_NE(copy, nullptr);
    auto& b = *static_cast<CPlaced*>(copy);
    EXPECT_STREQ(b.GetClassName(), "CPlaced");
    EXPECT_NE(b.GetName(), a.GetName());
    EXPECT_STREQ(b.GetName(), "obj");
    EXPECT_EQ(b.GetRotation()->z, 30.0f);
    EXPECT_EQ(b.GetColor()->x, 0.5f);
    EXPECT_EQ(b.IsVisible(), 0u);
    EXPECT_EQ(b.GetDrawPriority(), -3);
    EXPECT_EQ(b.GetUserWord(), 1);
    EXPECT_EQ(b.IsDepthSorted(), 1u);
    EXPECT_EQ(b.GetDrawArgument(), 77u);
    EXPECT_EQ(b.GetBoundingRadius(), 2.5f);
    EXPECT_EQ(b.GetBoundingBox()->max.y, 2.0f);
    EXPECT_TRUE(*b.GetWorldMatrix() == *a.GetWorldMatrix());
    delete copy;
}

TEST(ObjectBase, ListsOfObjectsCopyThemByConstructors)
{
    // Object lists hold engine objects that own their names: growing the list
    // copies each object (its name into a fresh buffer) instead of its bytes.
    CList<CPlaced> list;
    CPlaced a("first");
    ASSERT_EQ(list.SetAt(a, 0), 1);
    ASSERT_EQ(list.SetAt(CPlaced("third"), 2), 1);
    ASSERT_EQ(list.GetCount(), 3u);
    EXPECT_STREQ(list.GetAt(0)->GetName(), "first");
    EXPECT_NE(list.GetAt(0)->GetName(), a.GetName());
    EXPECT_EQ(list.GetAt(1)->GetName(), nullptr);   // a default object
    EXPECT_EQ(list.GetAt(1)->GetScaling()->x, 1.0f);
    EXPECT_STREQ(list.GetAt(1)->GetClassName(), "CPlaced");
    EXPECT_STREQ(list.GetAt(2)->GetName(), "third");
    ASSERT_EQ(list.RemoveAt(0), 1);
    EXPECT_STREQ(list.GetAt(1)->GetName(), "third");
}
