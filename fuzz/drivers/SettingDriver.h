// The settings drivers' reader: the settings tests' reader of one key of
// every value type, whose child files are named, never loaded (a name could
// point anywhere on the disk), with a small alias table.
#pragma once

#include "engine/core/Crc32.h"
#include "fuzz/FuzzSupport.h"
#include "game/data/StatusKeyMap.h"
#include "game/data/StorySetting.h"
#include "game/data/tests/KeyedReader.h"
#include "game/data/tests/SettingWriter.h"

#include <string>

namespace fuzz {

// Children are named, never loaded.
class SettingReader : public setting_test::KeyedReader<CStorySetting> {
public:
    i32 OnLoaded(const CStatusKeyMap*) override { return 1; }

    // Every key's value as text, and the lists' contents: what a text and
    // the cache it made must agree on.
    std::string Describe()
    {
        using setting_test::Text;
        std::string out = setting_test::WriteSettingText(*this);
        for (u32 i = 0; i < words.GetCount(); ++i) out += Text(*words.GetAt(i)) + '\n';
        for (u32 i = 0; i < numbers.GetCount(); ++i) out += std::to_string(*numbers.GetAt(i)) + '\n';
        for (u32 i = 0; i < children.GetNameCount(); ++i) out += Text(*children.GetName(i)) + '\n';
        out += std::to_string(traces.GetCount()) + ' ' + std::to_string(spheres.GetCount());
        return out;
    }
};

// Value texts the readers replace by names.
inline const CStatusKeyMap& Aliases()
{
    static CStatusKeyMap* table = [] {
        auto* map = new CStatusKeyMap();
        map->Insert(Crc32NameKey("RED"), nullptr, "1");
        map->Insert(Crc32NameKey("BLUE"), nullptr, "2.5");
        map->Insert(Crc32NameKey("ALIAS"), nullptr, "Alias.txt");
        return map;
    }();
    return *table;
}

}  // namespace fuzz
