#include "engine/core/ResourceBase.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(ResourceBase, StartsUnnamed)
{
    CResourceBase r;
    EXPECT_EQ(r.GetName(), nullptr);
    EXPECT_EQ(r.GetNameLength(), 0u);
    EXPECT_EQ(r.GetType(), 0);
    EXPECT_STREQ(r.GetClassName(), "CResourceBase");
    CResourceBase fromNull(nullptr);
    EXPECT_EQ(fromNull.GetName(), nullptr);
    EXPECT_EQ(fromNull.GetNameLength(), 0u);
}

TEST(ResourceBase, SetNameKeepsAnOwnedCopyWithItsNul)
{
    char text[] = "abc";
    CResourceBase r;
    r.SetName(text);
    text[0] = 'z';
    EXPECT_STREQ(r.GetName(), "abc");
    EXPECT_EQ(r.GetNameLength(), 4u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(r.GetName()) % 16, 0u);

    r.SetName(nullptr);
    EXPECT_EQ(r.GetName(), nullptr);
}

TEST(ResourceBase, SetNameAcceptsItsOwnName)
{
    CResourceBase r("self");
    r.SetName(r.GetName());
    EXPECT_STREQ(r.GetName(), "self");
    EXPECT_EQ(r.GetNameLength(), 5u);
}

TEST(ResourceBase, AllocNameGivesAZeroFilledBufferForReaders)
{
    CResourceBase r("old");
    r.AllocName(0);
    EXPECT_EQ(r.GetName(), nullptr);

    char* buffer = r.AllocName(8);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer, r.GetName());
    EXPECT_EQ(r.GetNameLength(), 8u);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(buffer[i], 0);
}

TEST(ResourceBase, ReleaseDropsTheNameButKeepsItsLength)
{
    CResourceBase r("abc");
    EXPECT_EQ(r.Release(), 1);
    EXPECT_EQ(r.GetName(), nullptr);
    EXPECT_EQ(r.GetNameLength(), 4u);
    EXPECT_EQ(r.Release(), 1);  // again, harmlessly
}

TEST(ResourceBase, CopyIsIndependent)
{
    CResourceBase a("x");
    CResourceBase b(a);
    ASSERT_NE(b.GetName(), a.GetName());
    EXPECT_STREQ(b.GetName(), "x");
    EXPECT_EQ(b.GetNameLength(), 2u);
    a.SetName("changed");
    EXPECT_STREQ(b.GetName(), "x");
}

TEST(ResourceBase, CopyOfAnUnnamedObjectHasAnEmptyName)
{
    CResourceBase unnamed;
    CResourceBase copy(unnamed);
    ASSERT_NE(copy.GetName(), nullptr);
    EXPECT_STREQ(copy.GetName(), "");
    EXPECT_EQ(copy.GetNameLength(), 0u);
}

TEST(ResourceBase, AssignmentCopiesNameAndType)
{
    CResourceBase a("first");
    CResourceBase b("second");
    b = a;
    ASSERT_NE(b.GetName(), a.GetName());
    EXPECT_STREQ(b.GetName(), "first");
    EXPECT_EQ(b.GetNameLength(), 6u);
    CResourceBase& alias = b;
    b = alias;  // self-assignment keeps the name
    EXPECT_STREQ(b.GetName(), "first");
}

TEST(ResourceBase, CloneKeepsNameAndClass)
{
    CResourceBase a("clip");
    CValueBase* copy = static_cast<CValueBase&>(a).Clone();
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy->GetClassName(), "CResourceBase");
    EXPECT_STREQ(static_cast<CResourceBase*>(copy)->GetName(), "clip");
    delete copy;
}
