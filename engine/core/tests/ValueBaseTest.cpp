#include "engine/core/ValueBase.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

int g_destroyed = 0;

// A derived class that overrides only its per-class operations, as most
// engine classes do.
class CProbe : public CValueBase {
    ORV_VALUE_CLASS(CProbe)

public:
    CProbe() = default;
    CProbe(const CProbe& other) : CValueBase(other), value(other.value + 1) {}
    ~CProbe() override { ++g_destroyed; }

    u32 value = 7;
    u64 padding[3] = {};
};

class CProbeChild : public CProbe {
    ORV_VALUE_CLASS(CProbeChild)

public:
    u32 extra = 3;
};

// A class whose size does not fit the engine's 32-bit sizes: its allocation
// fails before the allocator is asked for anything.
class CHuge : public CValueBase {
    ORV_VALUE_CLASS(CHuge)

public:
    CHuge() { ++constructed; }
    CHuge(const CHuge& other) : CValueBase(other) { ++constructed; }
    static inline int constructed = 0;
    unsigned char bytes[0x100000000ull];
};

class CByIdRecorder : public CValueBase {
    ORV_VALUE_CLASS(CByIdRecorder)

public:
    i32 Invoke(uintptr_t argument) override { return i32(argument * 2); }
    uintptr_t GetValue() override { return 99; }
    i32 FromString(const char* text) override { return text && text[0] == 'y'; }
};

}  // namespace

TEST(ValueBase, RootOperationsHaveTheirDefaultResults)
{
    CValueBase v;
    EXPECT_EQ(v.Invoke(5), 0);
    EXPECT_EQ(v.GetValue(), 0u);
    EXPECT_EQ(v.FromString("anything"), 1);
    EXPECT_STREQ(v.GetClassName(), "CValueBase");
    EXPECT_EQ(v.GetSize(), sizeof(CValueBase));
    EXPECT_EQ(sizeof(CValueBase), sizeof(void*));
}

TEST(ValueBase, ByIdFormsForwardToThePlainFormsWhateverTheId)
{
    CByIdRecorder r;
    CValueBase& v = r;
    for (u32 id : {0u, 1u, 0xFFFFFFFFu}) {
        EXPECT_EQ(v.InvokeById(id, 21), 42);
        EXPECT_EQ(v.GetValueById(id), 99u);
        EXPECT_EQ(v.FromStringById(id, "yes"), 1);
        EXPECT_EQ(v.FromStringById(id, "no"), 0);
        char a[32] = {}, b[32] = {};
        EXPECT_EQ(v.ToStringById(id, a), a);
        v.ToString(b);
        EXPECT_STREQ(a, b);
    }
}

TEST(ValueBase, ToStringWritesTheDynamicClassName)
{
    char buffer[32];
    std::memset(buffer, 'x', sizeof buffer);
    CValueBase root;
    EXPECT_EQ(root.ToString(buffer), buffer);
    EXPECT_STREQ(buffer, "CValueBase");

    CProbeChild child;
    CValueBase& v = child;
    EXPECT_EQ(v.ToString(buffer), buffer);
    EXPECT_STREQ(buffer, "CProbeChild");
    EXPECT_EQ(v.ToString(nullptr), nullptr);
}

TEST(ValueBase, CloneKeepsTheDynamicClass)
{
    CProbeChild child;
    child.value = 40;
    child.extra = 9;
    const CValueBase& v = child;
    CValueBase* copy = v.Clone();
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy->GetClassName(), "CProbeChild");
    EXPECT_EQ(copy->GetSize(), v.GetSize());
    auto* typed = dynamic_cast<CProbeChild*>(copy);
    ASSERT_NE(typed, nullptr);
    EXPECT_EQ(typed->value, 41u);  // through the copy constructor
    EXPECT_EQ(typed->extra, 9u);
    g_destroyed = 0;
    copy->DeletingDestructor(1);
    EXPECT_EQ(g_destroyed, 1);
}

TEST(ValueBase, CreateBuildsADefaultObjectOfTheDynamicClassOnTheEngineHeap)
{
    CProbeChild child;
    child.value = 1;
    const CValueBase& v = child;
    CValueBase* made = v.Create();
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(made) % 16, 0u);
    EXPECT_STREQ(made->GetClassName(), "CProbeChild");
    EXPECT_EQ(static_cast<CProbeChild*>(made)->value, 7u);
    delete made;
}

TEST(ValueBase, PooledFactoriesBuildInCallerMemoryAndDestroyInPlace)
{
    alignas(16) unsigned char memory[sizeof(CProbeChild)];
    CProbeChild source;
    source.value = 10;
    const CValueBase& v = source;

    CValueBase* made = v.CreatePooled(memory);
    EXPECT_EQ(static_cast<void*>(made), static_cast<void*>(memory));
    EXPECT_STREQ(made->GetClassName(), "CProbeChild");
    EXPECT_EQ(static_cast<CProbeChild*>(made)->value, 7u);
    g_destroyed = 0;
    // Bit 0 clear: destroyed in place, the (stack) memory is not freed.
    EXPECT_EQ(made->DeletingDestructor(0), static_cast<void*>(memory));
    EXPECT_EQ(g_destroyed, 1);

    CValueBase* cloned = v.ClonePooled(memory);
    EXPECT_EQ(static_cast<void*>(cloned), static_cast<void*>(memory));
    EXPECT_EQ(static_cast<CProbeChild*>(cloned)->value, 11u);
    cloned->DeletingDestructor(0);
    EXPECT_EQ(g_destroyed, 2);

    EXPECT_EQ(v.CreatePooled(nullptr), nullptr);
    EXPECT_EQ(v.ClonePooled(nullptr), nullptr);
}

TEST(ValueBase, NewGivesZeroFilledAlignedMemory)
{
    void* raw = CValueBase::operator new(64);
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(raw) % 16, 0u);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(static_cast<unsigned char*>(raw)[i], 0);
    CValueBase::operator delete(raw);
    CValueBase::operator delete(nullptr);
}

TEST(ValueBase, FailedAllocationYieldsNullWithoutConstructing)
{
    EXPECT_EQ(CValueBase::operator new(size_t(UINT32_MAX) + 1), nullptr);

    CHuge::constructed = 0;
    // Create and Clone are this same new-expression inside the macro.
    CHuge* direct = new CHuge;
    EXPECT_EQ(direct, nullptr);
    EXPECT_EQ(CHuge::constructed, 0);
}
