#include "engine/core/ResourceBase.h"

#include <gtest/gtest.h>

namespace ORV_TEST_FILE_ID {

TEST(ResourceBase, NamesAreOwnedCopies)
{
    char text[] = "abc";
    CResourceBase r;
    r.SetName(text);
    text[0] = 'z';
    r.SetName(r.GetName());  // its own name
    EXPECT_STREQ(r.GetName(), "abc");
    // AllocName gives readers a zero-filled buffer to fill.
    char* buffer = r.AllocName(8);
    ASSERT_EQ(buffer, r.GetName());
    for (int i = 0; i < 8; ++i) EXPECT_EQ(buffer[i], 0);
    EXPECT_EQ(r.AllocName(0), nullptr);

    CResourceBase a("x"), b(a), c("second");
    c = a;
    CResourceBase& alias = c;
    c = alias;
    a.SetName("changed");
    EXPECT_STREQ(b.GetName(), "x");
    EXPECT_STREQ(c.GetName(), "x");
    const CResourceBase unnamed, copy(unnamed);
    EXPECT_STREQ(copy.GetName(), "");  // not null
}

}  // namespace ORV_TEST_FILE_ID
