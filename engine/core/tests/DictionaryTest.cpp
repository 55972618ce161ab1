#include "engine/core/Dictionary.h"
#include "engine/core/ValueBind.h"

#include "engine/core/Crc32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

// An engine object that counts its destructions and records the member id a
// binding forwards to it.
class CTarget : public CValueBase {
    ORV_VALUE_CLASS(CTarget)

public:
    static inline int destroyed = 0;
    ~CTarget() override { ++destroyed; }
    i32 InvokeById(u32 id, uintptr_t argument) override
    {
        lastId = id;
        return i32(argument);
    }
    i32 FromStringById(u32 id, const char*) override
    {
        lastId = id;
        return 12;
    }
    char* ToStringById(u32 id, char* buffer) override
    {
        lastId = id;
        return std::strcpy(buffer, "T");
    }
    u32 lastId = 0;
};

class CTestBind : public CValueBindBase {
    ORV_VALUE_CLASS(CTestBind)

public:
    CDictionary* GetInvokeDictionary() const override { return functions; }
    CDictionary* GetValueDictionary() const override { return values; }
    CDictionary *functions = nullptr, *values = nullptr;
};

uintptr_t AsValue(const void* p) { return reinterpret_cast<uintptr_t>(p); }

}  // namespace

TEST(Dictionary, FindsByKeyAndTypeAndRefusesDuplicates)
{
    CDictionary d;
    EXPECT_EQ(d.AddValue("a", 100, 1), 1);
    EXPECT_EQ(d.AddValue("b", 200, 2), 1);
    EXPECT_EQ(d.FindByName("c"), 0u);
    EXPECT_EQ(d.AddValue("a", 300, 0), 0);   // same key and type
    EXPECT_EQ(d.Add("a", 400, 0, 1, 0), 1);  // another type, another entry
    EXPECT_EQ(d.FindByName("a"), 100u);
    EXPECT_EQ(d.Find(Crc32NameKey("a"), 1), 400u);
    EXPECT_EQ(d.Search(Crc32NameKey("b"), 0)->secondValue, 2u);
    EXPECT_EQ(d.AddValue(nullptr, 1, 1), 0);
    // An entry of value 0 reads as missing, so it does not block the name.
    EXPECT_EQ(d.AddValue("zero", 0, 0), 1);
    EXPECT_EQ(d.AddValue("zero", 5, 0), 1);
    ASSERT_EQ(d.GetCount(), 5u);
    std::vector<uintptr_t> zeroValues;
    for (u32 i = 0; i < d.GetCount(); ++i) {
        if (d.GetEntry(i)->key == Crc32NameKey("zero")) zeroValues.push_back(d.GetEntry(i)->value);
    }
    std::sort(zeroValues.begin(), zeroValues.end());
    EXPECT_EQ(zeroValues, (std::vector<uintptr_t>{0, 5}));  // both entries kept

    // Kept sorted by type, then key, so that the search finds every entry
    // (the two "zero" entries share theirs).
    const auto name = [](int i) { return "n" + std::to_string(i); };
    for (int i = 0; i < 100; ++i) ASSERT_EQ(d.Add(name(i).c_str(), uintptr_t(i + 1), 0, u32(i % 3), 0), 1);
    for (u32 i = 1; i < d.GetCount(); ++i) {
        const auto *p = d.GetEntry(i - 1), *q = d.GetEntry(i);
        EXPECT_TRUE(p->type < q->type || (p->type == q->type && p->key <= q->key)) << i;
    }
    for (int i = 0; i < 100; ++i) EXPECT_EQ(d.Find(Crc32NameKey(name(i).c_str()), u32(i % 3)), uintptr_t(i + 1));
}

TEST(Dictionary, DeletesOwnedValuesAndCopiesPlainEntries)
{
    CTarget::destroyed = 0;
    CTarget borrowed;
    {
        CDictionary d;
        d.SetName("owner");
        d.Add("owned", AsValue(new CTarget), 0, 0, 1);
        d.Add("borrowed", AsValue(&borrowed), 0, 0, 0);
        d.Add("typed", 5, 0, 3, 0);
        {
            CDictionary copy(d);
            EXPECT_STREQ(copy.GetName(), "owner");
            EXPECT_EQ(copy.FindByName("owned"), d.FindByName("owned"));
            EXPECT_EQ(copy.FindByName("typed"), 5u);  // copied as type 0
            EXPECT_EQ(copy.Search(Crc32NameKey("owned"), 0)->owns, 0u);
        }
        EXPECT_EQ(CTarget::destroyed, 0);  // the copy owned nothing
        EXPECT_EQ(d.Clear(), 1);
        EXPECT_EQ(CTarget::destroyed, 1);
        EXPECT_EQ(d.GetName(), nullptr);
        d.Add("owned again", AsValue(new CTarget), 0, 0, 1);
    }
    EXPECT_EQ(CTarget::destroyed, 2);  // the destructor clears
}

TEST(ValueBind, ForwardsToTheObjectNamedInEachDictionary)
{
    CValueBindBase bare;  // no dictionaries: nothing to forward to
    char keep[8] = "keep";
    EXPECT_EQ(bare.NamedInvoke("f", 1), 0);
    EXPECT_EQ(bare.NamedToString("v", keep), keep);

    CTarget function, value;
    CDictionary functions, values;
    functions.AddValue("fire", AsValue(&function), 0);
    values.AddValue("speed", AsValue(&value), 0);
    CTestBind bind;
    bind.functions = &functions;
    bind.values = &values;
    EXPECT_EQ(bind.SetId(4), &bind);
    EXPECT_EQ(bind.NamedInvoke("fire", 99), 99);
    EXPECT_EQ(function.lastId, 4u);  // the member id
    EXPECT_EQ(bind.NamedInvokeById("fire", 6, 1), 1);
    EXPECT_EQ(function.lastId, 6u);
    EXPECT_EQ(bind.NamedInvoke("speed", 1), 0);  // values are not invoked
    EXPECT_EQ(bind.NamedFromStringById("speed", 2, "1.5"), 12);
    EXPECT_EQ(value.lastId, 2u);
    char buffer[8] = "";
    EXPECT_STREQ(bind.NamedToStringById("speed", 0, buffer), "T");
    EXPECT_EQ(value.lastId, 4u);  // id 0: the member id
}

TEST(ArgumentStack, PushesGrowAndCopiesOwnTheirValues)
{
    CArgumentStack stack;
    EXPECT_EQ(stack.FromString("1"), 0);
    for (u32 i = 0; i < 5; ++i) ASSERT_EQ(stack.Push(0x10 + i, i), 1);  // past the first capacity
    EXPECT_EQ(stack.GetArgument(4), 0x14u);
    EXPECT_EQ(stack.GetArgumentType(4), 4u);
    EXPECT_EQ(stack.GetArgument(5), 0u);
    const CArgumentStack copy(stack);
    stack.Release();
    EXPECT_EQ(copy.GetArgument(2), 0x12u);
}

}  // namespace ORV_TEST_FILE_ID
