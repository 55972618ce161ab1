#include "engine/core/ValueBase.h"

#include <gtest/gtest.h>

#include <cstring>

namespace ORV_TEST_FILE_ID {

namespace {

int g_destroyed = 0;

// Overrides only its per-class operations, as most engine classes do; its
// copy constructor marks the copies it makes.
class CProbe : public CValueBase {
    ORV_VALUE_CLASS(CProbe)

public:
    CProbe() = default;
    CProbe(const CProbe& other) : CValueBase(other), value(other.value + 1) {}
    ~CProbe() override { ++g_destroyed; }
    u32 value = 7;
};

class CProbeChild : public CProbe {
    ORV_VALUE_CLASS(CProbeChild)

public:
    u64 extra[3] = {3, 0, 0};
};

// Its size does not fit the engine's 32-bit sizes.
class CHuge : public CValueBase {
    ORV_VALUE_CLASS(CHuge)

public:
    CHuge() { ++constructed; }
    static inline int constructed = 0;
    unsigned char bytes[0x100000000ull];
};

}  // namespace

TEST(ValueBase, FactoriesBuildTheDynamicClassOnTheHeapOrInPlace)
{
    CProbeChild source;
    source.value = 10;
    source.extra[0] = 9;
    const CValueBase& v = source;
    CValueBase* copy = v.Clone();
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetSize(), sizeof(CProbeChild));
    EXPECT_EQ(static_cast<CProbeChild*>(copy)->value, 11u);  // through the copy constructor
    EXPECT_EQ(static_cast<CProbeChild*>(copy)->extra[0], 9u);
    g_destroyed = 0;
    copy->DeletingDestructor(1);
    EXPECT_EQ(g_destroyed, 1);
    CValueBase* made = v.Create();
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(static_cast<CProbeChild*>(made)->value, 7u);  // a default object
    delete made;

    alignas(16) unsigned char memory[sizeof(CProbeChild)];
    made = v.CreatePooled(memory);
    EXPECT_EQ(static_cast<void*>(made), static_cast<void*>(memory));
    EXPECT_STREQ(made->GetClassName(), "CProbeChild");
    EXPECT_EQ(static_cast<CProbeChild*>(made)->value, 7u);
    // Bit 0 clear: destroyed in place, the (stack) memory is not freed.
    EXPECT_EQ(made->DeletingDestructor(0), static_cast<void*>(memory));
    EXPECT_EQ(g_destroyed, 3);
    made = v.ClonePooled(memory);
    EXPECT_EQ(static_cast<CProbeChild*>(made)->value, 11u);
    made->DeletingDestructor(0);
    EXPECT_EQ(v.CreatePooled(nullptr), nullptr);
    EXPECT_EQ(v.ClonePooled(nullptr), nullptr);
}

TEST(ValueBase, EngineHeapIsZeroFilledAlignedAndFailsWithoutConstructing)
{
    auto* raw = static_cast<unsigned char*>(CValueBase::operator new(64));
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(raw) % 16, 0u);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(raw[i], 0);
    CValueBase::operator delete(raw);
    CValueBase::operator delete(nullptr);

    EXPECT_EQ(CValueBase::operator new(size_t(UINT32_MAX) + 1), nullptr);
    CHuge::constructed = 0;
    EXPECT_EQ(new CHuge, nullptr);  // Create and Clone are this same new-expression
    EXPECT_EQ(CHuge::constructed, 0);
}

}  // namespace ORV_TEST_FILE_ID
