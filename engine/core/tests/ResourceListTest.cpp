#include "engine/core/ResourceList.h"

#include "engine/core/Path.h"

#include <gtest/gtest.h>

#include <type_traits>

namespace ORV_TEST_FILE_ID {

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

// Settings parameters are not engine objects; their lists clone them
// through the elements' own Clone.
struct CStatusStandIn {
    static inline int alive = 0;
    explicit CStatusStandIn(int v) : value(v) { ++alive; }
    CStatusStandIn(const CStatusStandIn& o) : value(o.value) { ++alive; }
    virtual ~CStatusStandIn() { --alive; }
    virtual CStatusStandIn* Clone() { return new CStatusStandIn(value + 1); }
    int value;
};

// Adds each object as its element-class pointer, the way the list stores
// them (null: an empty slot).
template <class E>
void Fill(CResourceListOf<E>& list, std::initializer_list<std::type_identity_t<E>*> objects)
{
    for (void* p : objects) ASSERT_EQ(list.Add(&p), 1);
}

CCounted* At(const CResourceList& list, u32 i) { return static_cast<CCounted*>(static_cast<CValueBase*>(list.GetAt(i))); }

}  // namespace

class ResourceListTest : public ::testing::Test {
protected:
    void SetUp() override { CCounted::alive = 0; }
    void TearDown() override { EXPECT_EQ(CCounted::alive, 0); }
};

TEST_F(ResourceListTest, OwningListsDeleteWhatTheyReleaseRemoveOrOutlive)
{
    {
        CResourceList list;
        Fill(list, {new CCounted("a"), nullptr, new CCounted("b")});
        EXPECT_EQ(list.Release(), 1);  // null slots skipped
        EXPECT_EQ(CCounted::alive, 0);
        Fill(list, {new CCounted("a"), new CCounted("b"), new CCounted("c"), new CCountedChild("d")});
        ASSERT_EQ(list.RemoveAt(1), 1);
        EXPECT_EQ(CCounted::alive, 3);
        EXPECT_STREQ(At(list, 1)->GetName(), "c");
        EXPECT_EQ(list.RemoveAt(3), 0);
        CList<void*>& base = list;  // removal by slot goes through the owning RemoveAt
        ASSERT_EQ(base.Remove(list.GetAtPointer(0)), 1);
        EXPECT_EQ(CCounted::alive, 2);
    }
    EXPECT_EQ(CCounted::alive, 0);
}

TEST_F(ResourceListTest, BorrowingListsAndTheirCopiesLeaveElementsAlive)
{
    CCounted a("a"), b("b");
    {
        CResourceList list(0u, 0u);
        Fill(list, {&a, &b});
        ASSERT_EQ(list.RemoveAt(0), 1);
        const CResourceList copy(list);
        EXPECT_EQ(copy.GetOwns(), 0u);
        EXPECT_EQ(copy.GetAt(0), &b);
    }
    EXPECT_EQ(CCounted::alive, 2);
}

TEST_F(ResourceListTest, CopyOfAnOwningListClonesEveryElement)
{
    CResourceList source;
    Fill(source, {new CCounted("a"), new CCountedChild("b"), nullptr});
    At(source, 0)->tag = 5;
    auto* copy = static_cast<CResourceList*>(static_cast<CValueBase&>(source).Clone());
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(copy->GetCount(), 3u);
    EXPECT_EQ(copy->GetOwns(), 1u);
    EXPECT_EQ(CCounted::alive, 4);
    for (u32 i = 0; i < 2; ++i) {
        EXPECT_NE(copy->GetAt(i), source.GetAt(i));
        EXPECT_STREQ(At(*copy, i)->GetName(), At(source, i)->GetName());
    }
    EXPECT_STREQ(At(*copy, 1)->GetClassName(), "CCountedChild");
    EXPECT_EQ(At(*copy, 0)->tag, 5u);
    EXPECT_EQ(copy->GetAt(2), nullptr);
    delete copy;
    EXPECT_EQ(CCounted::alive, 2);
    EXPECT_STREQ(At(source, 1)->GetName(), "b");

    CStatusStandIn::alive = 0;
    {
        CResourceListOf<CStatusStandIn> list;
        Fill(list, {new CStatusStandIn(4)});
        CResourceListOf<CStatusStandIn> statusCopy(list);
        EXPECT_EQ(static_cast<CStatusStandIn*>(statusCopy.GetAt(0))->value, 5);  // through its Clone
        ASSERT_EQ(statusCopy.RemoveAt(0), 1);
        EXPECT_EQ(CStatusStandIn::alive, 1);
    }
    EXPECT_EQ(CStatusStandIn::alive, 0);
}

TEST_F(ResourceListTest, FindsByNameAndByFileNamePart)
{
    CResourceList list(1u);  // a null slot first; the unnamed object never matches
    Fill(list, {new CCounted(), new CCounted("Hit"), new CCounted("hit"), new CCounted("hit"),
                                         new CCounted("Data\\Sound\\Shot.wav"), new CCounted("Other/Shot.wav")});
    EXPECT_EQ(list.FindByName("hit"), list.GetAt(3));
    EXPECT_EQ(list.FindIndexByName("hit"), 3);
    EXPECT_EQ(list.FindIndexByName("Hit"), 2);
    EXPECT_EQ(list.FindByName("HIT"), nullptr);
    EXPECT_EQ(list.FindByName(nullptr), nullptr);
    EXPECT_EQ(list.FindByFileName("Resource\\Shot.wav"), list.GetAt(5));
    EXPECT_EQ(list.FindByFileName("Data\\Sound\\shot.wav"), nullptr);  // case
    EXPECT_EQ(list.FindByFileName("Data\\Sound\\"), nullptr);
    EXPECT_EQ(list.FindByFileName(nullptr), nullptr);
}

TEST(FileNamePart, TakesThePartAfterTheLastSeparator)
{
    EXPECT_STREQ(FileNamePart("a/b\\c/d.e"), "d.e");
    EXPECT_STREQ(FileNamePart("name.ext"), "name.ext");
    EXPECT_STREQ(FileNamePart("dir\\"), "");
    EXPECT_STREQ(FileNamePart("\\root"), "\\root");  // a separator at index 0 does not count
    EXPECT_EQ(FileNamePart(nullptr), nullptr);
    // "\x83\x5C" is one Shift-JIS character whose trail byte is '\'.
    EXPECT_STREQ(FileNamePart("dir\\\x83\x5C.wav"), "\x83\x5C.wav");
    EXPECT_STREQ(FileNamePart("\x83\x5C\\a"), "a");
}

}  // namespace ORV_TEST_FILE_ID
