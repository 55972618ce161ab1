// The shot settings tests' writer of settings texts and their dump of a
// loaded set with everything it loaded under it. Shared with the fuzz
// drivers and the seed maker, so it needs nothing from GoogleTest.
#pragma once

#include "game/battle/object/BulletParameter.h"
#include "game/battle/object/PatternListParameter.h"
#include "game/battle/object/ShotPatternParameter.h"
#include "game/battle/object/SpellCardSetting.h"
#include "game/data/SettingFile.h"
#include "game/data/StatusKeyMap.h"
#include "game/data/StatusParameter.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

namespace shot_test {

inline std::string Text(const CString& s) { return s.GetText() ? s.GetText() : ""; }

// Writes settings texts: "KEY=value;" a line.
class SettingWriter {
public:
    SettingWriter& Set(const std::string& key, const std::string& value)
    {
        m_text += key + "=" + value + ";\n";
        return *this;
    }
    SettingWriter& Set(const std::string& key, const CVector3& v)
    {
        return Set(key, ":" + Number(v.x) + ":" + Number(v.y) + ":" + Number(v.z));
    }
    SettingWriter& Comment(const std::string& line)
    {
        m_text += "// " + line + "\n";
        return *this;
    }
    // Every key of reader (its keys registered) with a value of its kind
    // made from the key's hash, unless values names one; list keys only
    // from values (one line per '|'-separated name); string keys not in
    // values get "N_" + the key.
    SettingWriter& EveryKey(CSettingFile& reader, const std::map<std::string, std::string>& values)
    {
        reader.ApplyDefaults();
        const CStatusKeyMap* keys = reader.GetKeyMap();
        for (u32 i = 0; keys && i < keys->GetCount(); ++i) {
            const StatusKeyEntry* entry = keys->GetAt(i);
            const std::string key = Text(entry->name);
            if (auto given = values.find(key); given != values.end()) {
                for (size_t at = 0; at <= given->second.size();) {
                    const size_t bar = std::min(given->second.find('|', at), given->second.size());
                    Set(key, given->second.substr(at, bar - at));
                    at = bar + 1;
                }
                continue;
            }
            char buffer[1100] = {};
            entry->parameter->FormatValue(reader.GetOwner(), buffer, sizeof buffer);
            const u32 n = entry->hash % 7 + 1;   // 1..7: inside every table a number indexes
            char* end = nullptr;
            std::strtod(buffer, &end);
            if (!*buffer) continue;   // a list
            if (std::strchr(buffer, ':'))
                Set(key, CVector3(f32(n), f32(n) + 0.5f, -f32(n)));
            else if (*end == '\0')
                Set(key, std::to_string(n));
            else
                Set(key, "N_" + key);
        }
        return *this;
    }
    const std::string& Str() const { return m_text; }

    static std::string Number(f32 v)
    {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%g", double(v));
        return buffer;
    }

private:
    std::string m_text;
};

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
    std::string out = "{";
    const CStatusKeyMap* keys = reader.GetKeyMap();
    for (u32 i = 0; keys && i < keys->GetCount(); ++i) {
        const StatusKeyEntry* entry = keys->GetAt(i);
        char buffer[2048] = {};
        if (!entry->parameter->FormatValue(reader.GetOwner(), buffer, sizeof buffer)) continue;
        buffer[sizeof buffer - 1] = '\0';
        out += Text(entry->name) + "=" + (asCached ? AsCached(buffer) : std::string(buffer)) + ";";
    }
    return out;
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
