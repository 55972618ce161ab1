// Rows of a settings reader's numeric keys, so a reader registers a block of
// many fields from one table: a row binds its key to the field at an offset
// inside the reader's value block; a vector row also binds the key followed
// by X, Y and Z to the three components.
#pragma once

#include "engine/core/Types.h"
#include "engine/core/Vector3.h"

#include <cstddef>
#include <string>

enum class SettingKeyKind : u8 { kInt, kShort, kFloat, kVector };

struct SettingKeyRow {
    const char* key;
    SettingKeyKind kind;
    size_t offset;   // of the field in the value block
    f32 x, y, z;     // the default; ints and shorts take x
};

// Registers every row through bind(key, default, block offset, field offset
// [, component offset]), a reader's RegisterKeyAt with the type taken from
// the default. 1 when every key went in, 0 when any was refused (a key whose
// hash is taken would silently never be read).
template <class Bind>
i32 RegisterKeyRows(const SettingKeyRow* rows, size_t count, ptrdiff_t block, Bind bind)
{
    i32 ok = 1;
    for (size_t i = 0; i < count; ++i) {
        const SettingKeyRow& row = rows[i];
        const ptrdiff_t field = ptrdiff_t(row.offset);
        switch (row.kind) {
        case SettingKeyKind::kInt: ok &= bind(row.key, i32(row.x), block, field); break;
        case SettingKeyKind::kShort: ok &= bind(row.key, u16(row.x), block, field); break;
        case SettingKeyKind::kFloat: ok &= bind(row.key, row.x, block, field); break;
        case SettingKeyKind::kVector: {
            ok &= bind(row.key, CVector3(row.x, row.y, row.z), block, field);
            const f32 parts[3] = {row.x, row.y, row.z};
            const char* axes[3] = {"X", "Y", "Z"};
            for (int a = 0; a < 3; ++a)
                ok &= bind((std::string(row.key) + axes[a]).c_str(), parts[a], block, field,
                           ptrdiff_t(a * sizeof(f32)));
            break;
        }
        }
    }
    return ok;
}

// A reader's RegisterKeyAt as a callable for RegisterKeyRows.
#define ORV_SETTING_BIND \
    [this]<class T>(const char* key, const T& value, auto... offsets) { return RegisterKeyAt<T>(key, value, offsets...); }
