// Scanning and number helpers shared by the settings reader, its typed
// parameters and the record parsers.
//
// Settings texts are code page 932: every scan here steps over a lead byte
// and its trail byte together, so a trail byte that equals ';', '=', ':' or
// '"' never ends or splits anything. Numbers are read and written in the C
// locale whatever the process locale is (GTK may change it).
#pragma once

#include "engine/core/Types.h"

#include <cstddef>

class CString;

// Longest key or value the reader keeps, in bytes (its buffers hold 1024).
constexpr u32 kSettingTextMax = 1023;
constexpr size_t kSettingNotFound = size_t(-1);

// Index of the first c at or after position, on a character boundary;
// kSettingNotFound when the text ends first.
size_t FindSettingChar(const char* text, size_t position, char c);

// "%f" and "%d" in the C locale into buffer (size bytes, always terminated
// when size > 0). Return buffer.
char* FormatSettingFloat(f64 value, char* buffer, u32 size);
char* FormatSettingInt(i32 value, char* buffer, u32 size);

// Record value texts ("radius:1.5 bone:\"Head\""): the position just after
// the first occurrence of name (ASCII letters, compared without case) that
// stands as a name of its own, outside double quotes; null when none.
const char* FindRecordField(const char* text, const char* name);
// The number after the first ':' that follows the field's name; false (out
// untouched) when the name or the ':' is missing.
bool ReadRecordFloat(const char* text, const char* name, f32* out);
bool ReadRecordInt(const char* text, const char* name, i32* out);
// The text between the first two '"' that follow the field's name; false
// (out untouched) when the name or either quote is missing.
bool ReadRecordString(const char* text, const char* name, CString* out);
