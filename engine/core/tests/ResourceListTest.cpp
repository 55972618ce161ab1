#include "engine/core/ResourceList.h"

#include "engine/core/Path.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// A named engine object that counts its lives.
class CCounted : public CResourceBase {
    ORV_VALUE_CLASS(CCounted)

public:
    static inline int alive = 0;
    CCounted() { ++alive; }
    explicit CCounted(const char* name) : CResourceBase(name) { ++alive; }
    CCounted(const CCounted& other) : CResourceBase(other), tag(other.tag) { ++alive; }
    ~CCounted() override { --alive; }
    u32 tag = 0;
};

class CCountedChild : public CCounted {
    ORV_VALUE_CLASS(CCountedChild)

public:
    using CCounted::CCounted;
};

void AddTo(CResourceList& list, CValueBase* object)
{
    void* p = object;
    ASSERT_EQ(list.Add(&p), 1);
}

CCounted* At(const CResourceList& list, u32 i) { return static_cast<CCounted*>(list.GetAt(i)); }

// Settings parameters are not on CValueBase; their lists clone them through
// their own Clone.
class CStatusStandIn {
public:
    static inline int alive = 0;
    static inline int clones = 0;
    explicit CStatusStandIn(int v) : value(v) { ++alive; }
    CStatusStandIn(const CStatusStandIn& o) : value(o.value) { ++alive; }
    virtual ~CStatusStandIn() { --alive; }
    virtual CStatusStandIn* Clone()
    {
        ++clones;
        return new CStatusStandIn(*this);
    }
    int value;
};

}  // namespace

class ResourceListTest : public ::testing::Test {
protected:
    void SetUp() override { CCounted::alive = 0; }
    void TearDown() override { EXPECT_EQ(CCounted::alive, 0); }
};

TEST_F(ResourceListTest, ConstructorsAndClassName)
{
    CResourceList owning;
    EXPECT_EQ(owning.GetOwns(), 1u);
    EXPECT_STREQ(owning.GetClassName(), "CResourceList");
    EXPECT_EQ(owning.GetSize(), sizeof(CResourceList));

    CResourceList slots(3u);
    EXPECT_EQ(slots.GetCount(), 3u);
    EXPECT_EQ(slots.GetOwns(), 1u);
    EXPECT_EQ(slots.GetAt(2), nullptr);

    CResourceList borrowed(2u, 0u);
    EXPECT_EQ(borrowed.GetCount(), 2u);
    EXPECT_EQ(borrowed.GetOwns(), 0u);
}

TEST_F(ResourceListTest, ReleaseDeletesOwnedElementsAndSkipsNullSlots)
{
    CResourceList list;
    AddTo(list, new CCounted("a"));
    void* none = nullptr;
    list.Add(&none);
    AddTo(list, new CCounted("b"));
    EXPECT_EQ(CCounted::alive, 2);
    EXPECT_EQ(list.Release(), 1);
    EXPECT_EQ(CCounted::alive, 0);
    EXPECT_EQ(list.GetCount(), 0u);
}

TEST_F(ResourceListTest, DestructionDeletesOwnedElements)
{
    {
        CResourceList list;
        AddTo(list, new CCounted("a"));
        AddTo(list, new CCountedChild("b"));
    }
    EXPECT_EQ(CCounted::alive, 0);
}

TEST_F(ResourceListTest, NonOwningListLeavesElementsAlive)
{
    CCounted a("a"), b("b");
    {
        CResourceList list(0u, 0u);
        AddTo(list, &a);
        AddTo(list, &b);
        ASSERT_EQ(list.RemoveAt(0), 1);
        EXPECT_EQ(CCounted::alive, 2);
    }
    EXPECT_EQ(CCounted::alive, 2);
}

TEST_F(ResourceListTest, OwningRemoveAtDestroysTheRemovedElement)
{
    CResourceList list;
    AddTo(list, new CCounted("a"));
    AddTo(list, new CCounted("b"));
    AddTo(list, new CCounted("c"));
    ASSERT_EQ(list.RemoveAt(1), 1);
    EXPECT_EQ(CCounted::alive, 2);
    ASSERT_EQ(list.GetCount(), 2u);
    EXPECT_STREQ(At(list, 1)->GetName(), "c");
    EXPECT_EQ(list.RemoveAt(2), 0);
    EXPECT_EQ(CCounted::alive, 2);
}

TEST_F(ResourceListTest, RemoveBySlotGoesThroughTheOwningRemoveAt)
{
    CResourceList list;
    AddTo(list, new CCounted("a"));
    AddTo(list, new CCounted("b"));
    CList<void*>& base = list;
    ASSERT_EQ(base.Remove(list.GetAtPointer(0)), 1);
    EXPECT_EQ(CCounted::alive, 1);
    EXPECT_STREQ(At(list, 0)->GetName(), "b");
}

TEST_F(ResourceListTest, CopyOfAnOwningListClonesEveryElement)
{
    CResourceList source;
    AddTo(source, new CCounted("a"));
    AddTo(source, new CCountedChild("b"));
    void* none = nullptr;
    source.Add(&none);
    At(source, 0)->tag = 5;

    auto* copy = new CResourceList(source);
    ASSERT_EQ(copy->GetCount(), 3u);
    EXPECT_EQ(copy->GetOwns(), 1u);
    EXPECT_EQ(CCounted::alive, 4);
    for (u32 i = 0; i < 2; ++i) {
        EXPECT_NE(copy->GetAt(i), source.GetAt(i));
        EXPECT_STREQ(At(*copy, i)->GetClassName(), At(source, i)->GetClassName());
        EXPECT_STREQ(At(*copy, i)->GetName(), At(source, i)->GetName());
    }
    EXPECT_STREQ(At(*copy, 1)->GetClassName(), "CCountedChild");
    EXPECT_EQ(At(*copy, 0)->tag, 5u);
    EXPECT_EQ(copy->GetAt(2), nullptr);

    delete copy;
    EXPECT_EQ(CCounted::alive, 2);
    EXPECT_STREQ(At(source, 0)->GetName(), "a");
    EXPECT_STREQ(At(source, 1)->GetName(), "b");
}

TEST_F(ResourceListTest, CopyOfABorrowingListSharesThePointers)
{
    CCounted a("a");
    CResourceList source(0u, 0u);
    AddTo(source, &a);
    {
        CResourceList copy(source);
        EXPECT_EQ(copy.GetOwns(), 0u);
        EXPECT_EQ(copy.GetAt(0), &a);
    }
    EXPECT_EQ(CCounted::alive, 1);
}

TEST_F(ResourceListTest, CloneThroughTheRootIsADeepCopy)
{
    CResourceList source;
    AddTo(source, new CCounted("a"));
    CValueBase* copy = static_cast<CValueBase&>(source).Clone();
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy->GetClassName(), "CResourceList");
    EXPECT_EQ(CCounted::alive, 2);
    delete copy;
    EXPECT_EQ(CCounted::alive, 1);
}

TEST_F(ResourceListTest, FindByNameTakesTheFirstExactMatch)
{
    CResourceList list;
    AddTo(list, new CCounted());  // unnamed: never matches
    AddTo(list, new CCounted("Hit"));
    AddTo(list, new CCounted("hit"));
    AddTo(list, new CCounted("hit"));
    EXPECT_EQ(list.FindByName("hit"), list.GetAt(2));
    EXPECT_EQ(list.FindIndexByName("hit"), 2);
    EXPECT_EQ(list.FindIndexByName("Hit"), 1);
    EXPECT_EQ(list.FindByName("HIT"), nullptr);
    EXPECT_EQ(list.FindIndexByName("miss"), -1);
    EXPECT_EQ(list.FindIndexByName(nullptr), -1);
    EXPECT_EQ(list.FindByName(nullptr), nullptr);
    EXPECT_EQ(list.FindIndexByName(""), -1);
}

TEST_F(ResourceListTest, FindByNameSkipsNullSlots)
{
    CResourceList list(2u);
    AddTo(list, new CCounted("x"));
    EXPECT_EQ(list.FindIndexByName("x"), 2);
}

TEST_F(ResourceListTest, FindByFileNameComparesOnlyTheFileNamePart)
{
    CResourceList list;
    AddTo(list, new CCounted("Data\\Sound\\Shot.wav"));
    AddTo(list, new CCounted("Data\\Sound\\hit.wav"));
    AddTo(list, new CCounted("Other/hit.wav"));
    EXPECT_EQ(list.FindByFileName("Resource\\Shot.wav"), list.GetAt(0));
    EXPECT_EQ(list.FindByFileName("hit.wav"), list.GetAt(1));
    EXPECT_EQ(list.FindByFileName("x/y/hit.wav"), list.GetAt(1));
    EXPECT_EQ(list.FindByFileName("Data\\Sound\\shot.wav"), nullptr);  // case
    EXPECT_EQ(list.FindByFileName("Data\\Sound\\"), nullptr);
    EXPECT_EQ(list.FindByFileName(nullptr), nullptr);
}

TEST(FileNamePart, TakesThePartAfterTheLastSeparator)
{
    EXPECT_STREQ(FileNamePart("a\\b.c"), "b.c");
    EXPECT_STREQ(FileNamePart("a/b\\c/d.e"), "d.e");
    EXPECT_STREQ(FileNamePart("name.ext"), "name.ext");
    EXPECT_STREQ(FileNamePart("dir\\"), "");
    // A separator at index 0 does not count.
    EXPECT_STREQ(FileNamePart("\\root"), "\\root");
    EXPECT_EQ(FileNamePart(nullptr), nullptr);
}

TEST(FileNamePart, ATrailByteOf0x5CIsNotASeparator)
{
    // "\x83\x5C" is one Shift-JIS character whose trail byte is '\'.
    EXPECT_STREQ(FileNamePart("dir\\\x83\x5C.wav"), "\x83\x5C.wav");
    EXPECT_STREQ(FileNamePart("\x83\x5C\\a"), "a");
}

TEST(StatusResourceList, CopiesThroughTheElementsOwnClone)
{
    CStatusStandIn::alive = 0;
    CStatusStandIn::clones = 0;
    {
        CResourceListOf<CStatusStandIn> list;
        void* p = new CStatusStandIn(4);
        list.Add(&p);
        CResourceListOf<CStatusStandIn> copy(list);
        EXPECT_EQ(CStatusStandIn::clones, 1);
        EXPECT_EQ(CStatusStandIn::alive, 2);
        EXPECT_NE(copy.GetAt(0), list.GetAt(0));
        EXPECT_EQ(static_cast<CStatusStandIn*>(copy.GetAt(0))->value, 4);
        ASSERT_EQ(copy.RemoveAt(0), 1);
        EXPECT_EQ(CStatusStandIn::alive, 1);
    }
    EXPECT_EQ(CStatusStandIn::alive, 0);
}
