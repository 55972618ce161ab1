#include "engine/core/List.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

struct Record { u32 a, b; };

bool operator==(const Record& x, const Record& y) { return x.a == y.a && x.b == y.b; }

// Records {1, 10}, {2, 20}, ...
CList<Record> MakeList(u32 n)
{
    CList<Record> list;
    for (u32 i = 0; i < n; ++i) list.SetAt(Record{i + 1, (i + 1) * 10}, i);
    return list;
}

using Keys = std::vector<u32>;

// The a fields, in order.
Keys KeysOf(const CList<Record>& list)
{
    Keys keys;
    for (u32 i = 0; i < list.GetCount(); ++i) keys.push_back(list.GetAt(i)->a);
    return keys;
}

bool AllZeroBytes(const void* p, size_t n)
{
    const char* bytes = static_cast<const char*>(p);
    return std::all_of(bytes, bytes + n, [](char b) { return b == 0; });
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

TEST(List, SetAtPastTheEndGrowsWithZeroElements)
{
    CList<Record> list;
    ASSERT_EQ(list.SetAt(Record{7, 8}, 5), 1);
    ASSERT_EQ(list.GetCount(), 6u);
    EXPECT_TRUE(AllZeroBytes(list.GetData(), 5 * sizeof(Record)));
    EXPECT_EQ(*list.GetAt(5), (Record{7, 8}));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(list.GetData()) % 16, 0u);
    EXPECT_EQ(list.GetAt(6), nullptr);

    // Within the count it only stores.
    const Record* before = list.GetData();
    ASSERT_EQ(list.SetAt(Record{1, 1}, 2), 1);
    EXPECT_EQ(list.GetData(), before);
    EXPECT_EQ(*list.GetAt(2), (Record{1, 1}));
}

TEST(List, RemoveAtClosesTheGapDownToAValidEmptyArray)
{
    CList<Record> list = MakeList(4);
    ASSERT_EQ(list.RemoveAt(1), 1);
    EXPECT_EQ(KeysOf(list), (Keys{1, 3, 4}));
    EXPECT_EQ(list.RemoveAt(3), 0);
    ASSERT_EQ(list.RemoveAt(2), 1);  // the last element
    EXPECT_EQ(KeysOf(list), (Keys{1, 3}));
    ASSERT_EQ(list.Remove(list.GetSlot(0)), 1);  // by address
    Record outside{};
    EXPECT_EQ(list.Remove(&outside), 0);
    EXPECT_EQ(KeysOf(list), (Keys{3}));
    ASSERT_EQ(list.RemoveAt(0), 1);  // the only element
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_NE(list.GetData(), nullptr);
    EXPECT_EQ(list.RemoveAt(0), 0);
}

TEST(List, ResizeAndSetArrayKeepOrZeroFill)
{
    CList<Record> list = MakeList(5);
    ASSERT_EQ(list.Resize(3), 1);
    ASSERT_EQ(list.Resize(5), 1);
    EXPECT_EQ(KeysOf(list), (Keys{1, 2, 3, 0, 0}));
    EXPECT_TRUE(AllZeroBytes(list.GetAt(3), 2 * sizeof(Record)));
    ASSERT_EQ(list.Resize(0), 1);
    EXPECT_EQ(list.GetData(), nullptr);

    const Record source[3] = {{1, 2}, {3, 4}, {5, 6}};
    list = MakeList(7);
    ASSERT_EQ(list.SetArray(source, 3), 1);
    ASSERT_EQ(list.GetCount(), 3u);
    EXPECT_EQ(std::memcmp(list.GetData(), source, sizeof source), 0);
    ASSERT_EQ(list.SetArray(list.GetAt(1), 2), 1);  // from its own elements
    EXPECT_EQ(KeysOf(list), (Keys{3, 5}));
    ASSERT_EQ(list.SetArray(nullptr, 2), 1);
    ASSERT_EQ(list.GetCount(), 2u);
    EXPECT_TRUE(AllZeroBytes(list.GetData(), 2 * sizeof(Record)));
    ASSERT_EQ(list.SetArray(source, 0), 1);
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_EQ(list.GetData(), nullptr);
}

TEST(List, InsertAtClampsThePositionAndCopiesItemsFromTheList)
{
    CList<Record> list = MakeList(2);
    const Record r{9, 9}, front{0, 0};
    ASSERT_EQ(list.InsertAt(&r, 100), 1);
    ASSERT_EQ(list.InsertAt(&front, 0), 1);
    EXPECT_EQ(KeysOf(list), (Keys{0, 1, 2, 9}));
    EXPECT_EQ(list.InsertAt(nullptr, 0), 0);
    ASSERT_EQ(list.InsertAt(list.GetAt(3), 0), 1);
    ASSERT_EQ(list.Add(list.GetAt(2)), 1);
    EXPECT_EQ(KeysOf(list), (Keys{9, 0, 1, 2, 9, 1}));
}

TEST(List, CopiesAreIndependent)
{
    CList<Record> a = MakeList(3);
    a.SetName("list");
    CList<Record> b(a), c = MakeList(5);
    c = a;
    for (const CList<Record>* copy : {&b, &c}) {
        EXPECT_NE(copy->GetData(), a.GetData());
        EXPECT_STREQ(copy->GetName(), "list");
    }
    a.GetAt(0)->a = 100;
    EXPECT_EQ(KeysOf(b), (Keys{1, 2, 3}));
    EXPECT_EQ(KeysOf(c), (Keys{1, 2, 3}));

    CValueBase* clone = static_cast<CValueBase&>(b).Clone();
    EXPECT_EQ(KeysOf(*static_cast<CList<Record>*>(clone)), (Keys{1, 2, 3}));
    delete clone;
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
    EXPECT_EQ(list.GetData(), data);
    EXPECT_EQ(KeysOf(list), (Keys{1, 2}));
}

TEST(PointerList, SlotsHoldPointersAndRemoveTakesTheSlotAddress)
{
    int x = 0, y = 0;
    void *px = &x, *py = &y;
    CList<void*> list(1u);
    EXPECT_EQ(list.GetAt(0), nullptr);  // the count constructor's null slots
    list.SetArray(&px, 1);
    ASSERT_EQ(list.Add(&py), 1);
    EXPECT_EQ(list.GetAt(1), &y);
    EXPECT_EQ(*list.GetAtPointer(1), &y);
    EXPECT_EQ(list.GetAtPointer(2), nullptr);

    EXPECT_EQ(list.Remove(static_cast<void**>(py)), 0);  // a value, not a slot
    EXPECT_EQ(list.GetCount(), 2u);
    EXPECT_EQ(list.Remove(list.GetAtPointer(1)), 1);
    ASSERT_EQ(list.GetCount(), 1u);
    EXPECT_EQ(list.GetAt(0), &x);
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

}  // namespace ORV_TEST_FILE_ID
