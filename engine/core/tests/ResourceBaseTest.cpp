#include "engine/core/ResourceBase.h"

#include <gtest/gtest.h>

TEST(ResourceBase, NamesAreOwnedCopiesCountedWithTheirNul)
{
    char text[] = "abc";
    CResourceBase r;
    r.SetName(text);
    text[0] = 'z';
    r.SetName(r.GetName());  // its own name
    EXPECT_STREQ(r.GetName(), "abc");
    EXPECT_EQ(r.GetNameLength(), 4u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(r.GetName()) % 16, 0u);
    // AllocName gives readers a zero-filled buffer to fill.
    char* buffer = r.AllocName(8);
    ASSERT_EQ(buffer, r.GetName());
    EXPECT_EQ(r.GetNameLength(), 8u);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(buffer[i], 0);
    EXPECT_EQ(r.AllocName(0), nullptr);
    EXPECT_EQ(r.GetName(), nullptr);
    // A null name and Release drop the name but keep its length.
    r.SetName("abcdef");
    EXPECT_EQ(r.SetName(nullptr), nullptr);
    EXPECT_EQ(r.GetName(), nullptr);
    EXPECT_EQ(r.GetNameLength(), 7u);
    r.SetName("abc");
    EXPECT_EQ(r.Release(), 1);
    EXPECT_EQ(r.Release(), 1);
    EXPECT_EQ(r.GetName(), nullptr);
    EXPECT_EQ(r.GetNameLength(), 4u);
}

TEST(ResourceBase, CopiesAreIndependentAndAnUnnamedOnesCopyIsEmpty)
{
    CResourceBase a("x"), b(a), c("second");
    c = a;
    CResourceBase& alias = c;
    c = alias;
    a.SetName("changed");
    for (const CResourceBase* copy : {&b, &c}) {
        EXPECT_STREQ(copy->GetName(), "x");
        EXPECT_EQ(copy->GetNameLength(), 2u);
    }
    const CResourceBase unnamed, copy(unnamed);
    EXPECT_STREQ(copy.GetName(), "");  // not null
    EXPECT_EQ(copy.GetNameLength(), 0u);
}
