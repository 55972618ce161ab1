#include "game/data/SettingText.h"

#include "engine/core/Number.h"
#include "engine/core/String.h"
#include "engine/core/StringUtil.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace {

bool IsNameLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }

char ToUpperAscii(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

}  // namespace

size_t FindSettingChar(const char* text, size_t position, char c)
{
    if (!text) return kSettingNotFound;
    for (size_t i = position; text[i] != '\0'; i += CharSize(text + i)) {
        if (text[i] == c && CharSize(text + i) == 1) return i;
    }
    return kSettingNotFound;
}

namespace {

char* CopyOut(const char* from, size_t length, char* buffer, u32 size)
{
    if (!buffer || size == 0) return buffer;
    const size_t n = length < size - 1 ? length : size - 1;
    std::memcpy(buffer, from, n);
    buffer[n] = '\0';
    return buffer;
}

}  // namespace

char* FormatSettingFloat(f64 value, char* buffer, u32 size)
{
    char text[400];   // the widest "%f" of a double is 317 characters
    const std::to_chars_result r = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
    return CopyOut(text, r.ec == std::errc() ? size_t(r.ptr - text) : 0, buffer, size);
}

char* FormatSettingInt(i32 value, char* buffer, u32 size)
{
    char text[16];
    const std::to_chars_result r = std::to_chars(text, text + sizeof text, value);
    return CopyOut(text, size_t(r.ptr - text), buffer, size);
}

const char* FindRecordField(const char* text, const char* name)
{
    if (!text || !name || !*name) return nullptr;
    const size_t length = std::strlen(name);
    bool afterLetter = false;
    for (const char* p = text; *p != '\0';) {
        if (*p == '"') {
            // A quoted name is never searched for field names.
            const size_t close = FindSettingChar(p, 1, '"');
            if (close == kSettingNotFound) return nullptr;
            p += close + 1;
            afterLetter = false;
            continue;
        }
        const size_t size = CharSize(p);
        if (size == 1 && IsNameLetter(*p) && !afterLetter) {
            size_t i = 0;
            while (i < length && p[i] != '\0' && ToUpperAscii(p[i]) == ToUpperAscii(name[i])) ++i;
            if (i == length && !IsNameLetter(p[length])) return p + length;
        }
        afterLetter = size == 1 && IsNameLetter(*p);
        p += size;
    }
    return nullptr;
}

namespace {

const char* NumberAfterColon(const char* text, const char* name)
{
    const char* at = FindRecordField(text, name);
    if (!at) return nullptr;
    const size_t colon = FindSettingChar(at, 0, ':');
    return colon == kSettingNotFound ? nullptr : at + colon + 1;
}

}  // namespace

bool ReadRecordFloat(const char* text, const char* name, f32* out)
{
    const char* number = NumberAfterColon(text, name);
    if (!number || !out) return false;
    *out = ParseFloat(number);
    return true;
}

bool ReadRecordInt(const char* text, const char* name, i32* out)
{
    const char* number = NumberAfterColon(text, name);
    if (!number || !out) return false;
    *out = ParseInt(number);
    return true;
}

bool ReadRecordString(const char* text, const char* name, CString* out)
{
    const char* at = FindRecordField(text, name);
    if (!at || !out) return false;
    const size_t open = FindSettingChar(at, 0, '"');
    if (open == kSettingNotFound) return false;
    const size_t close = FindSettingChar(at, open + 1, '"');
    if (close == kSettingNotFound) return false;
    const std::string quoted(at + open + 1, close - open - 1);
    *out = CString(quoted.c_str());
    return true;
}
