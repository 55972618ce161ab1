// Settings texts for tests: one "KEY=value;" a line. Floats carry nine
// significant digits, so every f32 reads back to its own bits. Shared with
// the fuzz drivers and the seed maker, so it needs nothing from GoogleTest.
#pragma once

#include "engine/core/Types.h"
#include "engine/core/Vector3.h"
#include "game/data/SettingFile.h"
#include "game/data/StatusKeyMap.h"
#include "game/data/StatusParameter.h"
#include "host/kernel/Kernel.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace setting_test {

inline std::string FormatF32(f32 value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.9g", double(value));
    return buffer;
}

class SettingWriter {
public:
    SettingWriter& Set(std::string_view key, std::string_view value)
    {
        m_text.append(key).append("=").append(value).append(";\n");
        return *this;
    }
    SettingWriter& Set(std::string_view key, const char* value) { return Set(key, std::string_view(value)); }
    SettingWriter& Set(std::string_view key, f32 value) { return Set(key, std::string_view(FormatF32(value))); }
    SettingWriter& Set(std::string_view key, i32 value) { return Set(key, std::string_view(std::to_string(value))); }
    SettingWriter& Set(std::string_view key, const CVector3& v)
    {
        return Set(key, std::string_view(":" + FormatF32(v.x) + ":" + FormatF32(v.y) + ":" + FormatF32(v.z)));
    }
    SettingWriter& Comment(std::string_view line)
    {
        m_text.append("// ").append(line).append("\n");
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
            const std::string key = entry->name.GetText() ? entry->name.GetText() : "";
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
                Set(key, i32(n));
            else
                Set(key, "N_" + key);
        }
        return *this;
    }

    const std::string& Text() const { return m_text; }
    bool Save(const std::string& path) const { return host::kernel::WriteFileAtomic(path, m_text.data(), m_text.size()); }

private:
    std::string m_text;
};

// Entry i of reader's key map (keys registered) takes i + 0.5, or three
// such numbers for a vector, so no two keys hold the same value. False if
// a key took neither.
inline bool SetEveryKeyApart(CSettingFile& reader)
{
    reader.ApplyDefaults();
    const CStatusKeyMap* keys = reader.GetKeyMap();
    bool all = true;
    for (u32 i = 0; keys && i < keys->GetCount(); ++i) {
        CStatusBase* parameter = keys->GetAt(i)->parameter;
        const std::string n = std::to_string(i);
        if (!parameter->SetValue(reader.GetOwner(), (n + ".5").c_str()) &&
            !parameter->SetValue(reader.GetOwner(), (":" + n + ".25:-" + n + ":" + n + ".75").c_str()))
            all = false;
    }
    return all;
}

// A loaded reader's every key with its value as the reader formats it
// (passed through show), in key-map order. Loading what it writes gives the
// same values back (to the decimals the reader formats a float with), so
// tests compare two readers by what they would write.
template <class Show>
std::string WriteSettingText(CSettingFile& reader, Show show)
{
    std::string out;
    const CStatusKeyMap* keys = reader.GetKeyMap();
    for (u32 i = 0; keys && i < keys->GetCount(); ++i) {
        const StatusKeyEntry* entry = keys->GetAt(i);
        char buffer[2048] = {};
        if (!entry->parameter || !entry->parameter->FormatValue(reader.GetOwner(), buffer, sizeof buffer)) continue;
        out.append(entry->name.GetText() ? entry->name.GetText() : "").append("=");
        out.append(show(std::string(buffer, strnlen(buffer, sizeof buffer)))).append(";\n");
    }
    return out;
}

inline std::string WriteSettingText(CSettingFile& reader)
{
    return WriteSettingText(reader, [](std::string value) { return value; });
}

// Three floats to compare with EXPECT_EQ.
inline std::vector<f32> Xyz(const CVector3& v) { return {v.x, v.y, v.z}; }
inline std::vector<f32> Xyz(f32 x, f32 y, f32 z) { return {x, y, z}; }

}  // namespace setting_test
