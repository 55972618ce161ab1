#include "SettingTestSupport.h"

#include "engine/core/ResourceList.h"
#include "game/data/SettingText.h"
#include "game/data/StatusKeyMap.h"
#include "game/data/StatusParameter.h"

#include <cstring>
#include <memory>
#include <string>

namespace ORV_TEST_FILE_ID {

using namespace setting_test;

namespace {

template <class T>
std::unique_ptr<CStatusParameterStratum<T, 1>> Bound(const T& defaultValue = T())
{
    return std::make_unique<CStatusParameterStratum<T, 1>>(defaultValue, std::array<ptrdiff_t, 1>{0});
}

std::string Formatted(CStatusBase& parameter, void* owner)
{
    char buffer[256] = "unchanged";
    const char* text = parameter.FormatValue(owner, buffer, sizeof buffer);
    return text ? text : "<null>";
}

}  // namespace

TEST(StatusParameter, ConvertsEachValueType)
{
    CVector3 v(9, 9, 9);
    auto vector = Bound<CVector3>();
    EXPECT_EQ(vector->SetValue(&v, "1:2:3"), 0);   // x and y read, then no ':' for z
    EXPECT_FLOAT_EQ(v.x, 2);
    EXPECT_FLOAT_EQ(v.y, 3);
    EXPECT_FLOAT_EQ(v.z, 9);
    EXPECT_EQ(vector->SetValue(&v, ":1:2.5:0"), 1);
    EXPECT_FLOAT_EQ(v.y, 2.5f);
    EXPECT_FLOAT_EQ(v.z, 0);

    EXPECT_EQ(Formatted(*vector, &v), "x : 1.000000\ny : 2.500000\nz : 0.000000\n");
    CStringList words;
    EXPECT_EQ(Formatted(*Bound<CStringList>(), &words), "unchanged");
    EXPECT_EQ(Formatted(*Bound<f32>(), nullptr), "<null>");
    EXPECT_EQ(Bound<i32>()->SetValue(nullptr, "1"), 0);
}

// The settings framework's owning lists copy parameters through Clone.
TEST(StatusParameter, StratumSumsItsOffsetChainAndClonesItsKind)
{
    struct Owner {
        char pad[8];
        f32 values[4];
    } owner{};
    CResourceListOf<CStatusBase> list;
    list.SetAt(new CStatusParameterStratum<f32, 4>(2.5f, {2, 6, 0, 3 * ptrdiff_t(sizeof(f32))}), 0);
    CResourceListOf<CStatusBase> copy(list);
    auto* cloned = static_cast<CStatusParameterStratum<f32, 4>*>(copy.GetAt(0));
    ASSERT_NE(cloned, list.GetAt(0));
    EXPECT_EQ(cloned->GetTarget(&owner), &owner.values[3]);
    EXPECT_EQ(cloned->ApplyDefault(&owner), 1);
    EXPECT_FLOAT_EQ(owner.values[3], 2.5f);
}

// A value the alias table knows becomes the alias's name.
TEST(StatusParameter, AliasesNameTheirValues)
{
    CString s;
    CStatusKeyMap aliases;
    aliases.Insert(Crc32NameKey("1"), nullptr, "One");
    size_t position = 0;
    Bound<CString>()->ParseText(" 1 ;", 3, position, &s, &aliases, nullptr, 0);
    EXPECT_EQ(Text(s), "One");
}

TEST(StatusParameter, CachedFormNamesTheCompiledChildFile)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Barrage.txt", "Setting/Barrage.dat"}, {"Barrage.TXT", "Setting/Barrage.dat"}, {"Chara.fac", "Setting/Chara.fac"},
        {"Event.CAM", "Setting/Event.CAM"}, {"a.txt.txt", "Setting/a.txt.dat"}, {"a.Txt.b", "Setting/a.dat.b"},
        {"Plain value", "Plain value"}, {"", ""}};
    // The cache a text load writes is the one its parent's cache names.
    for (const char* name : {"Bullet.Txt", "a.txt.txt", "Dir/B.TXT"})
        EXPECT_EQ(Text(MakeCachedValue(name)), CSettingFile::MakeCachePath(name)) << name;
    for (auto [value, cached] : cases) EXPECT_EQ(Text(MakeCachedValue(value)), cached) << value;
}

}  // namespace ORV_TEST_FILE_ID
