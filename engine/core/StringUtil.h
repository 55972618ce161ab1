// Search, comparison, trimming and word wrapping over C strings.
//
// Text is Shift-JIS (code page 932). Every scan walks whole characters: a
// lead byte and its trail byte are stepped over together, so a trail byte
// that looks like '\', '=' or an ASCII letter is never matched or folded on
// its own, and a lead byte just before the terminator counts as a one-byte
// character (nothing past the NUL is read). Case folding is ASCII A-Z only,
// whatever the process locale.
#pragma once

#include "engine/core/Types.h"

#include <cstddef>

// Bytes of the character at p: 2 for a lead byte followed by its trail byte,
// else 1 (a lead byte just before the NUL is a character alone).
size_t CharSize(const char* p);

// The first exact match of pattern in text, starting on a character
// boundary; null when either is null, the pattern is empty or not found.
const char* StrStr(const char* text, const char* pattern);
char* StrStr(char* text, const char* pattern);

// As StrStr with ASCII letters compared without case.
const char* StrIStr(const char* text, const char* pattern);
char* StrIStr(char* text, const char* pattern);

// -1, 0 or 1; bytes compare as signed 8-bit values (so 0x80-0xFF sort before
// ASCII and the terminator). Both null -> 0, a null -> -1, b null -> 1.
i32 StrCmp(const char* a, const char* b);
// As StrCmp after ASCII folding of every byte that is not a trail byte.
i32 StrICmp(const char* a, const char* b);

// The text between the first character of the first `open` and the next
// `close` after it, in a new 16-byte-aligned allocation (free it with
// AlignedFree); null when either marker is missing or nothing lies between.
char* ExtractBetween(const char* text, const char* open, const char* close);

// Removes tab, LF, VT, CR and space from both ends, in place. 1, or 0 for null.
u32 TrimWhitespace(char* s);

// Number of lines of text wrapped at width bytes per line; a double-byte
// character starting at column width - 1 stays on its line. Width 0 wraps
// as 1. 0 for null text.
u32 CountWrappedLines(const char* text, u32 width);

// Copies line n (from 1) of the wrapped text into out, terminated; out needs
// width + 2 bytes (3 for width 0). Returns out, or null when out is null. A
// line number outside 1..CountWrappedLines gives the empty string.
char* GetWrappedLine(const char* text, u32 width, u32 n, char* out);
