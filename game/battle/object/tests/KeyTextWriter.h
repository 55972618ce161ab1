// The tests' settings writer: a reader's every key with its value as text,
// "KEY=value;" a line, in key-map order. Loading what it writes gives the
// same values back (to the six decimals a float is written with), so tests
// make settings texts from values they set, and compare two readers by what
// they would write. Shared with the fuzz drivers: nothing from GoogleTest.
#pragma once

#include "game/data/SettingFile.h"
#include "game/data/StatusKeyMap.h"
#include "game/data/StatusParameter.h"

#include <cstring>
#include <string>
#include <vector>

namespace battle_test {

inline std::string WriteSettingText(CSettingFile& reader)
{
    std::string out;
    const CStatusKeyMap* keys = reader.GetKeyMap();
    for (u32 i = 0; keys && i < keys->GetCount(); ++i) {
        const StatusKeyEntry* entry = keys->GetAt(i);
        char buffer[2048] = {};
        if (!entry->parameter || !entry->parameter->FormatValue(reader.GetOwner(), buffer, sizeof buffer)) continue;
        out.append(entry->name.GetText() ? entry->name.GetText() : "").append("=");
        out.append(buffer, strnlen(buffer, sizeof buffer)).append(";\n");
    }
    return out;
}

// Three floats to compare with EXPECT_EQ.
inline std::vector<f32> Xyz(const CVector3& v) { return {v.x, v.y, v.z}; }
inline std::vector<f32> Xyz(f32 x, f32 y, f32 z) { return {x, y, z}; }

}  // namespace battle_test
