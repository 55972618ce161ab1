#include "engine/core/List.h"
#include "engine/core/Point2.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

struct Record {
    u32 a;
    u32 b;
};

bool operator==(const Record& x, const Record& y) { return x.a == y.a && x.b == y.b; }

CList<Record> MakeList(u32 n)
{
    CList<Record> list;
    for (u32 i = 0; i < n; ++i) list.SetAt(Record{i + 1, (i + 1) * 10}, i);
    return list;
}

bool AllZeroBytes(const void* p, size_t n)
{
    const auto* b = static_cast<const unsigned char*>(p);
    for (size_t i = 0; i < n; ++i) {
        if (b[i]) return false;
    }
    return true;
}

// An element that owns memory and counts its lives: lists must construct,
// copy and destroy it rather than move its bytes.
struct Owner {
    static inline int alive = 0;
    Owner() : text(new char[8]{}) { ++alive; }
    explicit Owner(const char* t) : Owner() { std::strncpy(text, t, 7); }
    Owner(const Owner& o) : Owner() { std::memcpy(text, o.text, 8); }
    Owner& operator=(const Owner& o)
    {
        std::memcpy(text, o.text, 8);
        return *this;
    }
    ~Owner()
    {
        delete[] text;
        --alive;
    }
    char* text;
};

}  // namespace

TEST(List, StartsEmptyAndIsNamedCList)
{
    CList<Record> list;
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_EQ(list.GetData(), nullptr);
    EXPECT_EQ(list.GetAt(0), nullptr);
    EXPECT_STREQ(list.GetClassName(), "CList");
    EXPECT_EQ(list.GetSize(), sizeof(CList<Record>));
    CList<Record> named("keys");
    EXPECT_STREQ(named.GetName(), "keys");
}

TEST(List, SetAtPastTheEndGrowsWithZeroElements)
{
    CList<Record> list;
    ASSERT_EQ(list.SetAt(Record{7, 8}, 5), 1);
    ASSERT_EQ(list.GetCount(), 6u);
    EXPECT_TRUE(AllZeroBytes(list.GetData(), 5 * sizeof(Record)));
    EXPECT_EQ(*list.GetAt(5), (Record{7, 8}));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(list.GetData()) % 16, 0u);

    // Within the count it only stores.
    const Record* before = list.GetData();
    ASSERT_EQ(list.SetAt(Record{1, 1}, 2), 1);
    EXPECT_EQ(list.GetData(), before);
    EXPECT_EQ(*list.GetAt(2), (Record{1, 1}));
}

TEST(List, RemoveAtClosesTheGap)
{
    CList<Record> list = MakeList(4);
    ASSERT_EQ(list.RemoveAt(1), 1);
    ASSERT_EQ(list.GetCount(), 3u);
    EXPECT_EQ(list.GetAt(0)->a, 1u);
    EXPECT_EQ(list.GetAt(1)->a, 3u);
    EXPECT_EQ(list.GetAt(2)->a, 4u);
    EXPECT_EQ(list.RemoveAt(3), 0);
    EXPECT_EQ(list.GetCount(), 3u);
}

TEST(List, RemoveAtOfTheOnlyElementLeavesAValidEmptyArray)
{
    CList<Record> list = MakeList(1);
    ASSERT_EQ(list.RemoveAt(0), 1);
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_NE(list.GetData(), nullptr);
    EXPECT_EQ(list.RemoveAt(0), 0);
}

TEST(List, RemoveAtOfTheLastElement)
{
    CList<Record> list = MakeList(3);
    ASSERT_EQ(list.RemoveAt(2), 1);
    ASSERT_EQ(list.GetCount(), 2u);
    EXPECT_EQ(list.GetAt(1)->a, 2u);
}

TEST(List, ResizeKeepsTheFrontAndZeroFillsTheRest)
{
    CList<Record> list = MakeList(5);
    ASSERT_EQ(list.Resize(3), 1);
    ASSERT_EQ(list.GetCount(), 3u);
    EXPECT_EQ(list.GetAt(2)->a, 3u);

    ASSERT_EQ(list.Resize(5), 1);
    ASSERT_EQ(list.GetCount(), 5u);
    EXPECT_EQ(list.GetAt(0)->a, 1u);
    EXPECT_EQ(list.GetAt(2)->a, 3u);
    EXPECT_TRUE(AllZeroBytes(list.GetAt(3), 2 * sizeof(Record)));

    ASSERT_EQ(list.Resize(0), 1);
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_EQ(list.GetData(), nullptr);
}

TEST(List, SetArrayCopiesOrZeroFills)
{
    const Record source[3] = {{1, 2}, {3, 4}, {5, 6}};
    CList<Record> list = MakeList(7);
    ASSERT_EQ(list.SetArray(source, 3), 1);
    ASSERT_EQ(list.GetCount(), 3u);
    EXPECT_EQ(std::memcmp(list.GetData(), source, sizeof source), 0);

    ASSERT_EQ(list.SetArray(nullptr, 2), 1);
    ASSERT_EQ(list.GetCount(), 2u);
    EXPECT_TRUE(AllZeroBytes(list.GetData(), 2 * sizeof(Record)));

    ASSERT_EQ(list.SetArray(source, 0), 1);
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_EQ(list.GetData(), nullptr);
}

TEST(List, SetArrayFromItsOwnElements)
{
    CList<Record> list = MakeList(4);
    ASSERT_EQ(list.SetArray(list.GetAt(1), 2), 1);
    ASSERT_EQ(list.GetCount(), 2u);
    EXPECT_EQ(list.GetAt(0)->a, 2u);
    EXPECT_EQ(list.GetAt(1)->a, 3u);
}

TEST(List, InsertAtClampsThePosition)
{
    CList<Record> list = MakeList(2);
    const Record r{9, 9};
    ASSERT_EQ(list.InsertAt(&r, 100), 1);
    ASSERT_EQ(list.GetCount(), 3u);
    EXPECT_EQ(*list.GetAt(2), r);

    const Record front{0, 0};
    ASSERT_EQ(list.InsertAt(&front, 0), 1);
    EXPECT_EQ(list.GetAt(0)->a, 0u);
    EXPECT_EQ(list.GetAt(1)->a, 1u);
    EXPECT_EQ(list.GetAt(3)->a, 9u);

    EXPECT_EQ(list.InsertAt(nullptr, 0), 0);
    EXPECT_EQ(list.GetCount(), 4u);
}

TEST(List, InsertAtCopiesAnItemThatLivesInTheList)
{
    CList<Record> list = MakeList(3);
    ASSERT_EQ(list.InsertAt(list.GetAt(2), 0), 1);
    EXPECT_EQ(list.GetAt(0)->a, 3u);
    ASSERT_EQ(list.Add(list.GetAt(1)), 1);
    EXPECT_EQ(list.GetAt(4)->a, 1u);
}

TEST(List, RemoveFindsTheElementByItsAddress)
{
    CList<Record> list = MakeList(4);
    ASSERT_EQ(list.Remove(list.GetSlot(2)), 1);
    ASSERT_EQ(list.GetCount(), 3u);
    EXPECT_EQ(list.GetAt(2)->a, 4u);

    Record outside{};
    EXPECT_EQ(list.Remove(&outside), 0);
    EXPECT_EQ(list.GetCount(), 3u);
}

TEST(List, CopyIsIndependent)
{
    CList<Record> a = MakeList(3);
    a.SetName("list");
    CList<Record> b(a);
    ASSERT_EQ(b.GetCount(), 3u);
    EXPECT_NE(b.GetData(), a.GetData());
    EXPECT_STREQ(b.GetName(), "list");
    a.GetAt(0)->a = 100;
    EXPECT_EQ(b.GetAt(0)->a, 1u);

    CList<Record> empty;
    CList<Record> emptyCopy(empty);
    EXPECT_EQ(emptyCopy.GetCount(), 0u);
    EXPECT_EQ(emptyCopy.GetData(), nullptr);
}

TEST(List, AssignmentCopiesNameAndElements)
{
    CList<Record> a = MakeList(2);
    a.SetName("a");
    CList<Record> b = MakeList(5);
    b = a;
    ASSERT_EQ(b.GetCount(), 2u);
    EXPECT_NE(b.GetData(), a.GetData());
    EXPECT_STREQ(b.GetName(), "a");
    EXPECT_EQ(b.GetAt(1)->a, 2u);
}

TEST(List, ReleaseEmptiesAndForgetsTheName)
{
    CList<Record> list = MakeList(3);
    list.SetName("n");
    EXPECT_EQ(list.Release(), 1);
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_EQ(list.GetData(), nullptr);
    EXPECT_EQ(list.GetName(), nullptr);
    // Still usable.
    EXPECT_EQ(list.SetAt(Record{1, 2}, 0), 1);
    EXPECT_EQ(list.GetCount(), 1u);
}

TEST(List, CloneThroughTheRootKeepsElements)
{
    CList<Record> list = MakeList(3);
    CValueBase* copy = static_cast<CValueBase&>(list).Clone();
    ASSERT_NE(copy, nullptr);
    auto* typed = static_cast<CList<Record>*>(copy);
    ASSERT_EQ(typed->GetCount(), 3u);
    EXPECT_EQ(typed->GetAt(2)->a, 3u);
    delete copy;
}

TEST(List, OverflowingSizesFailAndLeaveTheListUnchanged)
{
    CList<Record> list = MakeList(2);
    const Record* data = list.GetData();
    // 0x20000000 records of 8 bytes are 4 GiB: past 32 bits.
    EXPECT_EQ(list.Resize(0x20000000u), 0);
    EXPECT_EQ(list.SetArray(nullptr, 0x20000000u), 0);
    EXPECT_EQ(list.SetAt(Record{1, 1}, 0x1FFFFFFFu), 0);
    EXPECT_EQ(list.SetAt(Record{1, 1}, 0xFFFFFFFFu), 0);
    EXPECT_EQ(list.GetCount(), 2u);
    EXPECT_EQ(list.GetData(), data);
    EXPECT_EQ(list.GetAt(1)->a, 2u);
}

TEST(List, VirtualOperationsWorkWithoutKnowingTheElementType)
{
    CList<Record> list = MakeList(3);
    CResourceBase& base = list;
    EXPECT_EQ(base.Release(), 1);
    EXPECT_EQ(list.GetCount(), 0u);
}

TEST(PointerList, CountConstructorGivesNullSlots)
{
    CList<void*> list(3u);
    ASSERT_EQ(list.GetCount(), 3u);
    for (u32 i = 0; i < 3; ++i) EXPECT_EQ(list.GetAt(i), nullptr);
}

TEST(PointerList, SlotAddressesAndValues)
{
    int x = 0, y = 0;
    CList<void*> list;
    void* px = &x;
    void* py = &y;
    ASSERT_EQ(list.Add(&px), 1);
    ASSERT_EQ(list.Add(&py), 1);
    EXPECT_EQ(list.GetAt(1), &y);
    ASSERT_NE(list.GetAtPointer(1), nullptr);
    EXPECT_EQ(*list.GetAtPointer(1), &y);
    EXPECT_EQ(list.GetAtPointer(2), nullptr);
}

TEST(PointerList, RemoveTakesTheSlotAddressNotThePointer)
{
    int x = 0, y = 0;
    void* px = &x;
    void* py = &y;
    CList<void*> list;
    list.Add(&px);
    list.Add(&py);
    EXPECT_EQ(list.Remove(static_cast<void**>(py)), 0);  // a value, not a slot
    EXPECT_EQ(list.GetCount(), 2u);
    EXPECT_EQ(list.Remove(list.GetAtPointer(1)), 1);
    ASSERT_EQ(list.GetCount(), 1u);
    EXPECT_EQ(list.GetAt(0), &x);
}

TEST(PointerList, OverflowingCountFails)
{
    CList<void*> list(2u);
    // 8-byte slots: 0x20000000 of them are 4 GiB.
    EXPECT_EQ(list.Resize(0x20000000u), 0);
    EXPECT_EQ(list.GetCount(), 2u);
}

TEST(Point2List, HoldsPairsInOrder)
{
    static_assert(sizeof(CPoint2) == 8);
    CList<CPoint2> ranges;
    const CPoint2 p{3, 6};
    ASSERT_EQ(ranges.Add(&p), 1);
    ASSERT_EQ(ranges.SetAt(CPoint2{9, 12}, 1), 1);
    u32 raw[4];
    std::memcpy(raw, ranges.GetData(), sizeof raw);
    EXPECT_EQ(raw[0], 3u);
    EXPECT_EQ(raw[1], 6u);
    EXPECT_EQ(raw[2], 9u);
    EXPECT_EQ(raw[3], 12u);
}

TEST(ListOfOwners, ElementsAreCopiedAndDestroyedNotMovedByBytes)
{
    Owner::alive = 0;
    {
        CList<Owner> list;
        ASSERT_EQ(list.SetAt(Owner("c"), 2), 1);  // 0 and 1 default-built
        EXPECT_EQ(Owner::alive, 3);
        EXPECT_STREQ(list.GetAt(2)->text, "c");
        EXPECT_NE(list.GetAt(0)->text, nullptr);

        const Owner a("a");
        ASSERT_EQ(list.InsertAt(&a, 0), 1);
        EXPECT_EQ(Owner::alive, 5);  // four in the list, plus a
        EXPECT_STREQ(list.GetAt(3)->text, "c");

        ASSERT_EQ(list.RemoveAt(1), 1);
        EXPECT_EQ(Owner::alive, 4);

        CList<Owner> copy(list);
        EXPECT_EQ(Owner::alive, 7);
        EXPECT_NE(copy.GetAt(0)->text, list.GetAt(0)->text);
        EXPECT_STREQ(copy.GetAt(0)->text, "a");

        ASSERT_EQ(list.Resize(1), 1);
        EXPECT_EQ(Owner::alive, 5);
        ASSERT_EQ(list.Resize(2), 1);
        EXPECT_EQ(Owner::alive, 6);

        list.Release();
        EXPECT_EQ(Owner::alive, 4);  // copy's three and a
    }
    EXPECT_EQ(Owner::alive, 0);
}
