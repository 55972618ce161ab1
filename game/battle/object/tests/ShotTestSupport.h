// The shot settings tests' dump of a loaded set with everything it loaded
// under it. Shared with the fuzz drivers and the seed maker, so it needs
// nothing from GoogleTest.
#pragma once

#include "game/battle/object/BulletParameter.h"
#include "game/battle/object/PatternListParameter.h"
#include "game/battle/object/ShotPatternParameter.h"
#include "game/battle/object/SpellCardSetting.h"
#include "game/data/tests/KeyedReader.h"
#include "game/data/tests/SettingWriter.h"

#include <cstring>
#include <string>

namespace shot_test {

using setting_test::Text;

// A value as the cache holds it; a value already so stays.
inline std::string AsCached(const char* value)
{
    if (value && std::strncmp(value, "Setting/", 8) == 0) return value;
    return Text(MakeCachedValue(value));
}

// Every key's value as text, then what was loaded under the set. With
// asCached, file name values are shown as the cache holds them, so a set
// read from its text and one read from its cache describe alike.
inline std::string DescribeKeys(CSettingFile& reader, bool asCached)
{
    return "{" + setting_test::WriteSettingText(reader, [asCached](const std::string& value) {
        return asCached ? AsCached(value.c_str()) : value;
    });
}

inline std::string Names(const CStringList& list, bool asCached)
{
    std::string out;
    for (u32 i = 0; i < list.GetCount(); ++i)
        out += (asCached ? AsCached(list.GetAt(i)->GetText()) : Text(*list.GetAt(i))) + "|";
    return out;
}

template <class R>
std::string Names(const CSettingFileList<R>& list, bool asCached)
{
    std::string out;
    for (u32 i = 0; i < list.GetNameCount(); ++i)
        out += (asCached ? AsCached(list.GetName(i)->GetText()) : Text(*list.GetName(i))) + "|";
    return out;
}

std::string Describe(CPatternListParameter& list, bool asCached = false);

inline std::string Describe(CBulletParameter& bullet, bool asCached = false)
{
    std::string out = DescribeKeys(bullet, asCached);
    if (auto* child = const_cast<CPatternListParameter*>(bullet.GetBarrage())) out += Describe(*child, asCached);
    return out + "}";
}

inline std::string Describe(CShotPatternParameter& pattern, bool asCached = false)
{
    return DescribeKeys(pattern, asCached) +
           Describe(const_cast<CBulletParameter&>(pattern.GetBulletLink().parameter), asCached) + "}";
}

inline std::string Describe(CPatternListParameter& list, bool asCached)
{
    std::string out = DescribeKeys(list, asCached) + Names(list.GetPatterns(), asCached);
    for (u32 i = 0; i < list.GetPatterns().GetCount(); ++i) out += Describe(*list.GetPatterns().GetAt(i), asCached);
    return out + "}";
}

inline std::string Describe(CSpellCardSetting& card, bool asCached = false)
{
    std::string out = DescribeKeys(card, asCached);
    for (u32 i = 0; i < CSpellCardSetting::kEffectListCount; ++i) out += Names(*card.GetEffectList(i), asCached);
    out += Names(card.GetBarrages(), asCached);
    for (u32 i = 0; i < card.GetBarrages().GetCount(); ++i) out += Describe(*card.GetBarrages().GetAt(i), asCached);
    return out + "}";
}

}  // namespace shot_test
