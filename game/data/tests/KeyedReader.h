// A settings reader that binds one key of every value type, a list of child
// files and ROWn* keys reached through a chain of offsets (block, group,
// record, field). Shared by the settings tests and the settings fuzz drivers,
// so it needs nothing from GoogleTest.
#pragma once

#include "game/data/SettingFile.h"
#include "game/data/SettingFileList.h"
#include "game/data/StatusList.h"

#include <cstddef>
#include <string>

namespace setting_test {

struct SpeedRecord {
    f32 speed;
    i32 count;
};
struct SpeedGroup {
    u32 flags;
    SpeedRecord rows[2];
};
struct SpeedBlock {
    u8 pad[12];
    SpeedGroup group;
};

// What a loaded file does with its children is left to the one deriving.
template <class Child>
class KeyedReader : public CSettingFile {
public:
    KeyedReader() = default;
    KeyedReader(const KeyedReader&) = default;
    ~KeyedReader() override { KeyedReader::Clear(); }

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
        RegisterKey("CHILD", &children, CSettingFileList<Child>());
        // SPEED's chain ends in a field of its own, COUNT's folds it into the record.
        for (u32 n = 0; n < 2; ++n) {
            const std::string row = "ROW" + std::to_string(n);
            RegisterKeyAt<f32>((row + "SPEED").c_str(), 0.5f, OffsetOf(&block), offsetof(SpeedBlock, group),
                               offsetof(SpeedGroup, rows) + n * sizeof(SpeedRecord), offsetof(SpeedRecord, speed));
            RegisterKeyAt<i32>((row + "COUNT").c_str(), 2, OffsetOf(&block), offsetof(SpeedBlock, group),
                               offsetof(SpeedGroup, rows) + n * sizeof(SpeedRecord) + offsetof(SpeedRecord, count));
        }
        return 1;
    }
    i32 Clear() override
    {
        words.Release();
        numbers.Release();
        traces.Release();
        spheres.Release();
        children.Release();
        return CSettingFile::Clear();
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
    CSettingFileList<Child> children;
    SpeedBlock block{};
};

inline std::string Text(const CString& s) { return s.GetText() ? s.GetText() : ""; }

}  // namespace setting_test
