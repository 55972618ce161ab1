#include "engine/core/StringUtil.h"

#include "engine/core/Memory.h"
#include "host/kernel/Kernel.h"

#include <cstring>

size_t CharSize(const char* p)
{
    return (host::kernel::IsDBCSLeadByte(static_cast<u8>(*p)) && p[1] != '\0') ? 2 : 1;
}

namespace {

using host::kernel::IsDBCSLeadByte;

inline u8 Byte(const char* p) { return static_cast<u8>(*p); }


inline u8 FoldAscii(u8 c) { return (c >= 'A' && c <= 'Z') ? u8(c + ('a' - 'A')) : c; }

// Does pattern match text at text (a character boundary)? A trail byte is
// compared exactly; the match may not end inside a double-byte character.
bool MatchAt(const char* text, const char* pattern, bool noCase)
{
    size_t i = 0;
    while (pattern[i] != '\0') {
        const size_t size = CharSize(text + i);
        for (size_t k = 0; k < size; ++k) {
            if (pattern[i + k] == '\0') return false;   // pattern ends mid-character
            u8 t = Byte(text + i + k), p = Byte(pattern + i + k);
            if (noCase && k == 0) { t = FoldAscii(t); p = FoldAscii(p); }
            if (t != p) return false;
        }
        i += size;
    }
    return true;
}

const char* Find(const char* text, const char* pattern, bool noCase)
{
    if (!text || !pattern || pattern[0] == '\0') return nullptr;
    for (const char* p = text; *p != '\0'; p += CharSize(p)) {
        if (MatchAt(p, pattern, noCase)) return p;
    }
    return nullptr;
}

i32 Compare(const char* a, const char* b, bool noCase)
{
    if (!a) return b ? -1 : 0;
    if (!b) return 1;
    bool trail = false;   // is position i the trail byte of a's character?
    for (size_t i = 0;; ++i) {
        u8 x = Byte(a + i), y = Byte(b + i);
        if (noCase && !trail) { x = FoldAscii(x); y = FoldAscii(y); }
        if (x != y) return static_cast<i8>(x) > static_cast<i8>(y) ? 1 : -1;
        if (x == 0) return 0;
        trail = !trail && IsDBCSLeadByte(Byte(a + i));
    }
}

inline bool IsBlank(char c) { return c == '\t' || c == '\n' || c == '\v' || c == '\r' || c == ' '; }

}  // namespace

const char* StrStr(const char* text, const char* pattern) { return Find(text, pattern, false); }
char* StrStr(char* text, const char* pattern) { return const_cast<char*>(Find(text, pattern, false)); }
const char* StrIStr(const char* text, const char* pattern) { return Find(text, pattern, true); }
char* StrIStr(char* text, const char* pattern) { return const_cast<char*>(Find(text, pattern, true)); }

i32 StrCmp(const char* a, const char* b) { return Compare(a, b, false); }
i32 StrICmp(const char* a, const char* b) { return Compare(a, b, true); }

char* ExtractBetween(const char* text, const char* open, const char* close)
{
    const char* p = StrStr(text, open);
    if (!p) return nullptr;
    // The text starts after the marker's first character, stepped whole,
    // so a double-byte marker never splits.
    const char* start = p + CharSize(p);
    const char* q = StrStr(start, close);
    if (!q || q <= start) return nullptr;
    const size_t size = size_t(q - start);
    if (size >= 0xFFFFFFFFu) return nullptr;
    char* out = static_cast<char*>(AlignedAlloc(u32(size + 1), 16));
    if (!out) return nullptr;
    std::memcpy(out, start, size);
    out[size] = '\0';
    return out;
}

u32 TrimWhitespace(char* s)
{
    if (!s) return 0;
    char* f = s;
    while (IsBlank(*f)) ++f;
    char* e = f;
    for (char* p = f; *p != '\0';) {
        const size_t size = CharSize(p);   // a lone lead byte before the NUL is one byte
        if (size == 2 || !IsBlank(*p)) e = p + size;
        p += size;
    }
    const size_t kept = size_t(e - f);
    std::memmove(s, f, kept);
    s[kept] = '\0';
    return 1;
}

namespace {

// The wrap walk shared by CountWrappedLines and GetWrappedLine. `visit` is
// called for every character with (line, column, bytes, size) and may stop
// the walk by returning false; `endLine` is called when a line ends with
// (line, column) and may stop it too.
template <typename Visit, typename EndLine>
u32 WalkWrapped(const char* text, u32 width, Visit visit, EndLine endLine)
{
    // Every line holds at least one character: at width 0 the walk would
    // open with an empty line and count lines differently from width 1.
    if (width == 0) width = 1;
    u32 line = 1, column = 0;
    const size_t length = std::strlen(text);
    for (size_t i = 0; i < length;) {
        if (column >= width) {
            if (!endLine(line, column)) return line;
            ++line;
            column = 0;
        }
        if (text[i] == '\n') {
            if (!endLine(line, column)) return line;
            ++line;
            column = 0;
            ++i;
            continue;
        }
        const size_t size = CharSize(text + i);
        if (!visit(line, column, text + i, size)) return line;
        column += u32(size);
        i += size;
    }
    endLine(line, column);
    return line;
}

}  // namespace

u32 CountWrappedLines(const char* text, u32 width)
{
    if (!text) return 0;
    return WalkWrapped(
        text, width, [](u32, u32, const char*, size_t) { return true; },
        [](u32, u32) { return true; });
}

char* GetWrappedLine(const char* text, u32 width, u32 n, char* out)
{
    if (!out) return nullptr;
    out[0] = '\0';
    if (!text || n == 0) return out;
    WalkWrapped(
        text, width,
        [&](u32 line, u32 column, const char* bytes, size_t size) {
            if (line == n) std::memcpy(out + column, bytes, size);
            return line <= n;
        },
        [&](u32 line, u32 column) {
            if (line != n) return true;
            out[column] = '\0';
            return false;
        });
    return out;
}
