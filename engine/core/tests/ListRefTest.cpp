#include "engine/core/ListRef.h"

#include <gtest/gtest.h>

namespace ORV_TEST_FILE_ID {

TEST(ListRef, CountsAndElementsOfTheHeldList)
{
    CListRef<void*> none;
    EXPECT_EQ(none.GetCount(), 0u);
    EXPECT_EQ(none.GetAt(0), nullptr);

    int a = 1, b = 2;
    CPointerList pointers;
    void* slot = &a;
    pointers.Add(&slot);
    slot = &b;
    pointers.Add(&slot);
    CListRef<void*> held(&pointers);
    EXPECT_EQ(held.GetCount(), 2u);
    EXPECT_EQ(held.GetAt(1), &b);
    EXPECT_EQ(held.GetAt(2), nullptr);

}

TEST(ListRef, StringArrayCountsNamesAndGivesLoadedRecords)
{
    char first[] = "Stage01.txt", second[] = "Stage02.txt";
    CPointerList names, records;
    for (char* name : {first, second}) {
        void* slot = name;
        names.Add(&slot);
    }
    int record = 7;
    void* slot = &record;
    records.Add(&slot);   // the second name did not load
    CStringArray list(&names, &records);
    EXPECT_EQ(list.GetCount(), 2u);
    EXPECT_EQ(list.GetAt(1), static_cast<void*>(second));
    EXPECT_EQ(list.GetObjectAt(0), &record);
    EXPECT_EQ(list.GetObjectAt(1), nullptr);
    EXPECT_EQ(CStringArray().GetObjectAt(0), nullptr);
}

}  // namespace ORV_TEST_FILE_ID
