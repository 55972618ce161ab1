// The settings drivers' reader: one key of every value type the settings
// readers bind, a list of child files (named, never loaded: a name could
// point anywhere on the disk) and keys reached through a chain of offsets,
// with a small alias table.
#pragma once

#include "engine/core/Crc32.h"
#include "fuzz/FuzzSupport.h"
#include "game/data/SettingFile.h"
#include "game/data/SettingFileList.h"
#include "game/data/StatusKeyMap.h"
#include "game/data/StatusList.h"
#include "game/data/StorySetting.h"

#include <cstddef>
#include <cstring>
#include <string>

namespace fuzz {

struct SettingRow {
    f32 speed;
    i32 count;
};
struct SettingBlock {
    u32 flags;
    SettingRow rows[2];
};

class SettingReader : public CSettingFile {
public:
    ~SettingReader() override { SettingReader::Clear(); }

    i32 RegisterKeys() override
    {
        if (!CSettingFile::RegisterKeys()) return 0;
        RegisterKey("SPEED", &speed, 1.25f);
        RegisterKey("COUNT", &count, -3);
        RegisterKey("SHORT", &shortValue, u16(9));
        RegisterKey("BYTE", &byteValue, u8(4));
        RegisterKey("POSITION", &position, CVector3(1, 2, 3));
        RegisterKey("TEXT", &text, CString("none"));
        RegisterKey("WORD", &words, CStringList());
        RegisterKey("NUMBER", &numbers, CIntList());
        RegisterKey("TRACE", &traces, CTraceRecordList());
        RegisterKey("SPHERE", &spheres, CHitSphereRecordList());
        RegisterKey("CHILD", &children, CSettingFileList<CStorySetting>());
        for (u32 n = 0; n < 2; ++n) {
            const std::string row = "ROW" + std::to_string(n);
            RegisterKeyAt<f32>((row + "SPEED").c_str(), 0.5f, OffsetOf(&block),
                               offsetof(SettingBlock, rows) + n * sizeof(SettingRow), offsetof(SettingRow, speed));
            RegisterKeyAt<i32>((row + "COUNT").c_str(), 2, OffsetOf(&block),
                               offsetof(SettingBlock, rows) + n * sizeof(SettingRow), offsetof(SettingRow, count));
        }
        return 1;
    }
    i32 OnLoaded(const CStatusKeyMap*) override { return 1; }
    i32 Clear() override
    {
        words.Release();
        numbers.Release();
        traces.Release();
        spheres.Release();
        children.Release();
        return CSettingFile::Clear();
    }

    // Every key's value as text, and the lists' contents: what a text and
    // the cache it made must agree on.
    std::string Describe()
    {
        std::string out;
        const CStatusKeyMap* keys = GetKeyMap();
        for (u32 i = 0; keys && i < keys->GetCount(); ++i) {
            char buffer[2048] = {};
            const StatusKeyEntry* entry = keys->GetAt(i);
            if (entry->parameter && entry->parameter->FormatValue(GetOwner(), buffer, sizeof buffer))
                out.append(buffer, strnlen(buffer, sizeof buffer)).push_back('\n');
        }
        for (u32 i = 0; i < words.GetCount(); ++i) out += std::string(Text(*words.GetAt(i))) + '\n';
        for (u32 i = 0; i < numbers.GetCount(); ++i) out += std::to_string(*numbers.GetAt(i)) + '\n';
        for (u32 i = 0; i < children.GetNameCount(); ++i) out += std::string(Text(*children.GetName(i))) + '\n';
        out += std::to_string(traces.GetCount()) + ' ' + std::to_string(spheres.GetCount());
        return out;
    }

    f32 speed = 0;
    i32 count = 0;
    u16 shortValue = 0;
    u8 byteValue = 0;
    CVector3 position;
    CString text;
    CStringList words;
    CIntList numbers;
    CTraceRecordList traces;
    CHitSphereRecordList spheres;
    CSettingFileList<CStorySetting> children;
    SettingBlock block{};

private:
    static const char* Text(const CString& s) { return s.GetText() ? s.GetText() : ""; }
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
