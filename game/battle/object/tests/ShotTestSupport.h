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
#include <map>
#include <optional>
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

// Children are shared: each shows whole the first time and as "@n" (its
// order among those shown) after, so a file named many times, or a tree of
// shared lists, describes in its own size. A set read from text and one
// read from its cache share alike.
class Describer {
public:
    explicit Describer(bool asCached) : m_asCached(asCached) {}

    std::string Bullet(const CBulletParameter& bullet)
    {
        std::string out = DescribeKeys(const_cast<CBulletParameter&>(bullet), m_asCached);
        if (const CPatternListParameter* child = bullet.GetBarrage()) out += List(*child);
        return out + "}";
    }
    std::string Pattern(const CShotPatternParameter& pattern)
    {
        if (auto seen = Seen(&pattern)) return *seen;
        return DescribeKeys(const_cast<CShotPatternParameter&>(pattern), m_asCached) +
               Bullet(pattern.GetBulletLink().parameter) + "}";
    }
    std::string List(const CPatternListParameter& list)
    {
        if (auto seen = Seen(&list)) return *seen;
        std::string out = DescribeKeys(const_cast<CPatternListParameter&>(list), m_asCached) +
                          Names(list.GetPatterns(), m_asCached);
        for (u32 i = 0; i < list.GetPatterns().GetCount(); ++i) out += Pattern(*list.GetPatterns().GetAt(i));
        return out + "}";
    }
    std::string Card(const CSpellCardSetting& card)
    {
        std::string out = DescribeKeys(const_cast<CSpellCardSetting&>(card), m_asCached);
        for (u32 i = 0; i < CSpellCardSetting::kEffectListCount; ++i) out += Names(*card.GetEffectList(i), m_asCached);
        out += Names(card.GetBarrages(), m_asCached);
        for (u32 i = 0; i < card.GetBarrages().GetCount(); ++i) out += List(*card.GetBarrages().GetAt(i));
        return out + "}";
    }

private:
    // "@n" for a child shown before; else null, and it is noted.
    std::optional<std::string> Seen(const void* child)
    {
        auto [at, added] = m_seen.emplace(child, m_seen.size());
        if (added) return std::nullopt;
        return "@" + std::to_string(at->second);
    }

    bool m_asCached;
    std::map<const void*, size_t> m_seen;
};

inline std::string Describe(const CBulletParameter& bullet, bool asCached = false)
{
    return Describer(asCached).Bullet(bullet);
}
inline std::string Describe(const CShotPatternParameter& pattern, bool asCached = false)
{
    return Describer(asCached).Pattern(pattern);
}
inline std::string Describe(const CPatternListParameter& list, bool asCached = false)
{
    return Describer(asCached).List(list);
}
inline std::string Describe(const CSpellCardSetting& card, bool asCached = false)
{
    return Describer(asCached).Card(card);
}

}  // namespace shot_test
