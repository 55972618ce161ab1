#include "engine/core/MemoryList.h"

#include "engine/core/ObjectBase.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace ORV_TEST_FILE_ID {

namespace {

// A pooled object that owns its name (so a second destruction or a byte
// copy shows up under the sanitizers) and counts its lives.
class CPooled : public CObjectBase {
    ORV_VALUE_CLASS(CPooled)

public:
    static inline int destroyed = 0;

    CPooled() : CObjectBase("pooled") {}
    ~CPooled() override { ++destroyed; }
    i32 Initialize(intptr_t) override { return 1; }
    i32 Update(u32) override { return 1; }
    i32 Draw(u32) override { return 1; }

    u32 value = 0;
};

struct Pool : ::testing::Test {
    void SetUp() override
    {
        CPooled::destroyed = 0;
        ASSERT_EQ(pool.Resize(4), 1);
    }
    u32 SlotOf(const CPooled* p) { return u32(p - pool.GetSlot(0)); }

    CMemoryList<CPooled> pool;
};

}  // namespace

TEST_F(Pool, TakesTheLowestFreeSlotAndBuildsItAfresh)
{
    CPooled* a = pool.Alloc();
    CPooled* b = pool.Alloc();
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a, pool.GetSlot(0));
    EXPECT_EQ(SlotOf(pool.Alloc()), 2u);
    b->SetName("renamed");
    EXPECT_EQ(pool.Free(b), 1);
    EXPECT_EQ(pool.Alloc(), b);
    EXPECT_STREQ(b->GetName(), "pooled");  // constructed again
    EXPECT_EQ(SlotOf(pool.Alloc()), 3u);
    EXPECT_EQ(pool.Alloc(), nullptr);  // exhausted
    EXPECT_EQ(pool.GetLiveCount(), 4u);

    EXPECT_EQ(pool.Free(a), 1);
    EXPECT_EQ(pool.Alloc(), a);
    EXPECT_EQ(pool.GetNextFree(), 4u);  // past the live slots behind a
    EXPECT_EQ(CPooled::destroyed, 2);
}

TEST_F(Pool, FreeRefusesWhatItDidNotHandOut)
{
    CPooled* a = pool.Alloc();
    pool.Alloc();
    ASSERT_EQ(pool.Free(a), 1);
    EXPECT_EQ(pool.Free(a), 0);  // already free: not destroyed again
    EXPECT_EQ(pool.Free(pool.GetSlot(3)), 0);
    auto* inside = reinterpret_cast<CPooled*>(reinterpret_cast<uintptr_t>(pool.GetSlot(1)) + 8);
    EXPECT_EQ(pool.Free(inside), 0);
    CPooled elsewhere;
    EXPECT_EQ(pool.Free(&elsewhere), 0);
    EXPECT_EQ(pool.Free(pool.GetSlot(4)), 0);
    EXPECT_EQ(pool.Free(nullptr), 0);
    EXPECT_EQ(CPooled::destroyed, 1);
    EXPECT_EQ(pool.GetLiveCount(), 1u);
    EXPECT_EQ(pool.GetNextFree(), 0u);
}

TEST_F(Pool, ReleaseDestroysEachLiveObjectOnce)
{
    pool.Alloc();
    pool.Free(pool.Alloc());
    pool.Alloc();
    EXPECT_EQ(pool.Release(), 1);
    EXPECT_EQ(CPooled::destroyed, 3);
    EXPECT_EQ(pool.Release(), 1);
    EXPECT_EQ(CPooled::destroyed, 3);

    ASSERT_EQ(pool.Resize(2), 1);  // sized again
    EXPECT_EQ(SlotOf(pool.Alloc()), 0u);
    {
        CMemoryList<CPooled> other;
        EXPECT_EQ(other.Alloc(), nullptr);  // not sized
        other.Resize(1);
        other.Alloc();
    }
    EXPECT_EQ(CPooled::destroyed, 4);
}

TEST_F(Pool, SlotsStayPutWhileObjectsLive)
{
    CPooled* a = pool.Alloc();
    EXPECT_EQ(pool.Resize(8), 0);
    EXPECT_EQ(pool.SetArray(nullptr, 8), 0);
    EXPECT_EQ(pool.Remove(a), 0);
    EXPECT_EQ(pool.GetSlot(0), a);
    EXPECT_EQ(pool.GetCount(), 4u);
    EXPECT_EQ(CPooled::destroyed, 0);

    CPooled source;
    source.value = 9;
    source.SetName("copied");
    EXPECT_EQ(pool.SetAt(source, 0), 1);  // assigned to the live object
    EXPECT_EQ(a->value, 9u);
    EXPECT_STREQ(a->GetName(), "copied");
    EXPECT_EQ(pool.SetAt(source, 1), 0);  // a free slot holds no object
    EXPECT_EQ(pool.IsUsed(1), 0u);

    pool.Free(a);
    EXPECT_EQ(pool.Resize(0), 1);
    EXPECT_EQ(pool.Alloc(), nullptr);
}

// With no object live the slots are plain bytes, and the list operations
// that move them work as on any list. Slots are compared as bytes: free ones
// hold no object to read through.
TEST_F(Pool, EmptySlotsMoveAsBytes)
{
    CPooled* a = pool.Alloc();
    a->value = 7;
    pool.Alloc()->value = 8;
    constexpr size_t kSlot = sizeof(CPooled);
    alignas(CPooled) unsigned char bytes[2][kSlot];
    std::memcpy(bytes, pool.GetSlot(0), sizeof bytes);  // two objects' bytes, taken live
    pool.Free(pool.GetSlot(1));
    pool.Free(a);
    const unsigned char zero[kSlot] = {};
    const auto* source = reinterpret_cast<const CPooled*>(bytes);
    const auto slotIs = [&](u32 i, const void* expected) { return std::memcmp(pool.GetSlot(i), expected, kSlot) == 0; };

    struct Case {
        u32 count;
        const CPooled* from;
    } const cases[] = {{2, source}, {1, source + 1}, {3, nullptr}, {0, source}};
    for (const Case& c : cases) {
        ASSERT_EQ(pool.SetArray(c.from, c.count), 1) << c.count;
        EXPECT_EQ(pool.GetCount(), c.count);
        EXPECT_EQ(pool.GetNextFree(), 0u);
        for (u32 i = 0; i < c.count; ++i) {
            EXPECT_TRUE(slotIs(i, c.from ? static_cast<const void*>(c.from + i) : zero)) << c.count << " " << i;
            EXPECT_EQ(pool.IsUsed(i), 0u);
        }
    }
    EXPECT_EQ(CPooled::destroyed, 2);  // copied bytes are never destroyed as objects

    ASSERT_EQ(pool.SetArray(source, 2), 1);
    ASSERT_EQ(pool.SetArray(pool.GetSlot(1), 1), 1);  // from its own slots
    EXPECT_TRUE(slotIs(0, bytes[1]));

    ASSERT_EQ(pool.SetArray(source, 2), 1);
    ASSERT_EQ(pool.Resize(4), 1);
    EXPECT_TRUE(slotIs(1, bytes[1]));  // kept by Resize
    EXPECT_EQ(pool.RemoveAt(4), 0);
    ASSERT_EQ(pool.RemoveAt(0), 1);
    EXPECT_EQ(pool.GetCount(), 3u);
    EXPECT_TRUE(slotIs(0, bytes[1]));
    EXPECT_TRUE(slotIs(1, zero));
    EXPECT_EQ(pool.Remove(pool.GetSlot(2)), 1);  // the last slot
    EXPECT_EQ(pool.GetCount(), 2u);
    EXPECT_TRUE(slotIs(0, bytes[1]));

    // Built afresh in copied bytes, and the pool still fills from slot 0.
    CPooled* b = pool.Alloc();
    EXPECT_EQ(b, pool.GetSlot(0));
    EXPECT_EQ(b->value, 0u);
    EXPECT_STREQ(b->GetName(), "pooled");
    EXPECT_EQ(pool.RemoveAt(1), 0);  // refused while b lives
    EXPECT_EQ(pool.Remove(b), 0);
    EXPECT_EQ(pool.SetArray(source, 2), 0);
    EXPECT_EQ(pool.GetCount(), 2u);
    EXPECT_EQ(SlotOf(pool.Alloc()), 1u);
    EXPECT_EQ(pool.Alloc(), nullptr);

    pool.Release();
    EXPECT_EQ(CPooled::destroyed, 4);
    ASSERT_EQ(pool.Resize(1), 1);
    ASSERT_EQ(pool.RemoveAt(0), 1);  // the only slot
    EXPECT_EQ(pool.GetCount(), 0u);
    EXPECT_EQ(pool.Alloc(), nullptr);
}

TEST_F(Pool, CopyIsAnEmptyPoolOfTheSameSize)
{
    pool.SetName("エフェクト");
    pool.Alloc();
    {
        CMemoryList<CPooled> copy(pool);
        EXPECT_STREQ(copy.GetName(), pool.GetName());
        EXPECT_EQ(copy.GetCount(), 4u);
        EXPECT_EQ(copy.GetLiveCount(), 0u);
        EXPECT_EQ(copy.Alloc(), copy.GetSlot(0));
    }
    EXPECT_EQ(CPooled::destroyed, 1);
}

}  // namespace ORV_TEST_FILE_ID
