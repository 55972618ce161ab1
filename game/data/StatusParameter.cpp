#include "game/data/StatusParameter.h"

#include "engine/core/Crc32.h"
#include "engine/core/Number.h"
#include "engine/core/StringUtil.h"
#include "game/data/SettingText.h"
#include "game/data/StatusKeyMap.h"
#include "host/kernel/Kernel.h"

#include <cstring>
#include <string>

i32 StatusSetValue(f32& target, const char* value)
{
    target = ParseFloat(value);
    return 1;
}

i32 StatusSetValue(i32& target, const char* value)
{
    target = ParseInt(value);
    return 1;
}

i32 StatusSetValue(u16& target, const char* value)
{
    target = u16(u32(ParseInt(value)));
    return 1;
}

i32 StatusSetValue(u8& target, const char* value)
{
    target = u8(u32(ParseInt(value)));
    return 1;
}

i32 StatusSetValue(CVector3& target, const char* value)
{
    // Each component follows the next ':'; components read before a missing
    // ':' stay set.
    size_t at = 0;
    for (int i = 0; i < 3; ++i) {
        const size_t colon = FindSettingChar(value, at, ':');
        if (colon == kSettingNotFound) return 0;
        target[i] = ParseFloat(value + colon + 1);
        at = colon + 1;
    }
    return 1;
}

i32 StatusSetValue(CString& target, const char* value)
{
    target = CString(value);
    return 1;
}

char* StatusFormatValue(const f32& value, char* buffer, u32 size)
{
    return FormatSettingFloat(value, buffer, size);
}

char* StatusFormatValue(const i32& value, char* buffer, u32 size)
{
    return FormatSettingInt(value, buffer, size);
}

char* StatusFormatValue(const u16& value, char* buffer, u32 size)
{
    return FormatSettingInt(value, buffer, size);
}

char* StatusFormatValue(const u8& value, char* buffer, u32 size)
{
    return FormatSettingInt(value, buffer, size);
}

char* StatusFormatValue(const CVector3& value, char* buffer, u32 size)
{
    std::string text;
    char number[400];
    for (int i = 0; i < 3; ++i) {
        text += "xyz"[i];
        text += " : ";
        text += FormatSettingFloat(value[i], number, sizeof number);
        text += '\n';
    }
    if (buffer && size > 0) {
        const size_t n = text.size() < size - 1 ? text.size() : size - 1;
        std::memcpy(buffer, text.data(), n);
        buffer[n] = '\0';
    }
    return buffer;
}

char* StatusFormatValue(const CString& value, char* buffer, u32 size)
{
    if (buffer && size > 0) {
        const u32 n = value.GetLength() < size - 1 ? value.GetLength() : size - 1;
        if (n) std::memcpy(buffer, value.GetText(), n);
        buffer[n] = '\0';
    }
    return buffer;
}

CString MakeCachedValue(const char* value)
{
    if (!value) return CString();
    if (!StrIStr(value, ".txt") && !StrIStr(value, ".fac") && !StrIStr(value, ".cam")) return CString(value);
    std::string cached = std::string("Setting/") + value;
    // A name ending in ".txt" becomes exactly the cache that reading it
    // writes ("a.txt.txt" gives "Setting/a.txt.dat"); otherwise the first.
    const size_t length = cached.size();
    const char* txt = length >= 4 && StrIStr(cached.c_str() + length - 4, ".txt") ? cached.c_str() + length - 4
                                                                                  : StrIStr(cached.c_str(), ".txt");
    if (txt) cached.replace(size_t(txt - cached.c_str()), 4, ".dat");
    return CString(cached.c_str());
}

i32 CStatusBase::ParseText(const char* text, size_t end, size_t& position, void* owner,
                           const CStatusKeyMap* aliasTable, host::kernel::File* cache, u8 keyByte)
{
    if (!text) return 0;

    // A longer value keeps its first kSettingTextMax bytes, never half a
    // double-byte character.
    char value[kSettingTextMax + 1];
    size_t length = 0;
    for (size_t i = position; i < end;) {
        const size_t size = CharSize(text + i);
        if (length + size > kSettingTextMax) break;
        std::memcpy(value + length, text + i, size);
        length += size;
        i += size;
    }
    value[length] = '\0';
    position = end + 1;
    TrimWhitespace(value);

    const char* stored = value;
    if (aliasTable) {
        if (const StatusKeyEntry* alias = aliasTable->Find(Crc32NameKey(value))) {
            stored = alias->name.GetText() ? alias->name.GetText() : "";
        }
    }
    if (cache && !(NamesFile() ? MakeCachedValue(stored) : CString(stored)).Write(cache, keyByte)) return 0;
    SetValue(owner, stored);
    return 1;
}

i32 CStatusBase::ReadBinary(void* owner, host::kernel::File* cache, u8 keyByte)
{
    if (!cache) return 0;
    CString value;
    if (!value.Read(cache, keyByte)) return 0;
    SetValue(owner, value.GetText() ? value.GetText() : "");
    return 1;
}
