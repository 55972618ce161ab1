#include "engine/core/StringUtil.h"

#include "engine/core/Memory.h"
#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstring>
#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

using Lines = std::vector<std::string>;

// The lines of a wrapped text, through GetWrappedLine into a heap buffer of
// exactly the documented size (so the sanitizer sees any byte past it).
Lines Wrapped(const char* text, u32 width)
{
    Lines lines;
    const u32 count = CountWrappedLines(text, width);
    for (u32 n = 1; n <= count; ++n) {
        std::vector<char> out(std::max(width, 1u) + 2, '\x7F');
        EXPECT_EQ(GetWrappedLine(text, width, n, out.data()), out.data());
        lines.emplace_back(out.data());
    }
    return lines;
}

// True when no double-byte character of s is cut at its end.
bool WholeCharacters(const std::string& s)
{
    for (size_t i = 0; i < s.size(); ++i) {
        if (host::kernel::IsDBCSLeadByte(u8(s[i])) && ++i >= s.size()) return false;
    }
    return true;
}

std::string Printable(const char* s) { return s ? testing::PrintToString(std::string(s)) : "null"; }

}  // namespace

// 0x95 0x5C "表" and 0x83 0x5C "ソ" have the trail byte '\'; 0x83 0x41 "ア"
// has 'A'. A search or a cut must never take a trail byte on its own.
TEST(StrStr, FindsTheFirstWholeCharacterMatch)
{
    const struct { bool noCase; const char *text, *needle; int at; } cases[] = {  // at -1: no match
        {false, "abcabc", "bc", 1},
        {false, "abcabc", "Bc", -1},
        {false, "aab", "ab", 1},  // starts over after a mismatch
        {false, "a", "", -1},
        {false, "\x95\x5C", "\\", -1},
        {false, "C:\x95\x5C\\x", "\\", 4},
        {false, "C:\x95\x5C\\x", "\x95\x5C", 2},
        {false, "\x95\x5C", "\x95", -1},  // never ends inside a character
        {false, "ab\x95", "\x95", 2},     // a lone lead byte at the end is one byte
        {true, "Resource/Data\\BGM.gpk", "bgm", 14},
        {true, "\x83\x41" "B", "a", -1},
        {true, "\x83\x41", "\x83\x61", -1},  // trail bytes are not folded
        {true, "x\x83\x41Y", "\x83\x41y", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.text) + (c.noCase ? " StrIStr " : " StrStr ") + Printable(c.needle));
        const char* found = c.noCase ? StrIStr(c.text, c.needle) : StrStr(c.text, c.needle);
        EXPECT_EQ(found, c.at < 0 ? nullptr : c.text + c.at);
    }
    EXPECT_EQ(StrStr(static_cast<const char*>(nullptr), "a"), nullptr);
    EXPECT_EQ(StrStr("a", nullptr), nullptr);
    EXPECT_EQ(StrIStr(static_cast<const char*>(nullptr), "a"), nullptr);
    char text[] = "KEY=Value";
    EXPECT_EQ(StrIStr(text, "value"), text + 4);  // the non-const form points into the caller's text
}

TEST(StrCmp, OrdersSignedBytesAndFoldsOnlyAsciiLetters)
{
    const struct { bool noCase; const char *a, *b; int expected; } cases[] = {
        {false, "a", "b", -1},
        {false, "ab", "abc", -1},
        {false, "ABC", "abc", -1},
        {false, "\x81", "a", -1},  // 0x80 and above are negative: before ASCII
        {false, "a\x81", "a", -1},  // and before the terminator
        {false, nullptr, nullptr, 0},
        {false, nullptr, "", -1},
        {false, "", nullptr, 1},
        {true, "Key_Name", "KEY_NAME", 0},
        {true, "[", "A", -1},  // 'A' folds to 0x61, after '[' (0x5B)
        {true, "\x83\x41", "\x83\x61", -1},  // trail bytes are not folded
        {true, "\x83\x41" "ABC", "\x83\x41" "abc", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.a) + (c.noCase ? " StrICmp " : " StrCmp ") + Printable(c.b));
        EXPECT_EQ(c.noCase ? StrICmp(c.a, c.b) : StrCmp(c.a, c.b), c.expected);
    }
}

TEST(StrICmp, IgnoresTheProcessLocale)
{
    const std::string previous = std::setlocale(LC_CTYPE, nullptr);
    for (const char* locale : {"C.UTF-8", "en_US.ISO-8859-1", "tr_TR.UTF-8", "ja_JP.SJIS"}) {
        if (!std::setlocale(LC_CTYPE, locale)) continue;
        EXPECT_EQ(StrICmp("I", "i"), 0) << locale;
        EXPECT_EQ(StrICmp("\xC0", "\xE0"), -1) << locale;  // Latin-1 letters are not letters here
        EXPECT_EQ(StrIStr("\xC9", "\xE9"), nullptr) << locale;
    }
    std::setlocale(LC_CTYPE, previous.c_str());
}

TEST(ExtractBetween, CopiesTheTextBetweenWholeCharacterMarkers)
{
    const struct { const char *text, *open, *close, *expected; } cases[] = {
        {"name[Value]rest]", "[", "]", "Value"},
        {"\"\x95\x5C\\\"", "\"", "\\", "\x95\x5C"},  // a '\' trail byte does not end the content
        {"\x81\x79" "ab" "\x81\x7A", "\x81\x79", "\x81\x7A", "ab"},  // "【ab】"
        {"[]", "[", "]", nullptr},
        {"[abc", "[", "]", nullptr},
        {"[a]", "[", nullptr, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.text));
        char* inner = ExtractBetween(c.text, c.open, c.close);
        EXPECT_EQ(Printable(inner), Printable(c.expected));
        EXPECT_EQ(reinterpret_cast<uintptr_t>(inner) % 16, 0u);
        AlignedFree(inner);
    }
}

TEST(TrimWhitespace, TrimsAsciiBlanksAndKeepsDoubleByteCharactersWhole)
{
    const struct { const char *text, *expected; } cases[] = {
        {"  a b  ", "a b"},
        {"\t\r\n\v abc\t\r\n\v ", "abc"},
        {" \t \t ", ""},
        {"\fabc\f", "\fabc\f"},           // form feed is not a blank here
        {"  \x81\x40  ", "\x81\x40"},     // the ideographic space is not an ASCII blank
        {"ab\x81\x20 ", "ab\x81\x20"},    // a trail byte that looks like a space
        {"ab \x81", "ab \x81"},           // a lone lead byte before the terminator
    };
    for (const auto& c : cases) {
        std::vector<char> buffer(c.text, c.text + std::strlen(c.text) + 1);
        EXPECT_EQ(TrimWhitespace(buffer.data()), 1u);
        EXPECT_STREQ(buffer.data(), c.expected) << Printable(c.text);
    }
    EXPECT_EQ(TrimWhitespace(nullptr), 0u);
    // Bytes after the terminator must not be taken into the text.
    char buffer[] = {'x', '\x81', '\0', ' ', 'q', ' ', '\0'};
    EXPECT_EQ(TrimWhitespace(buffer), 1u);
    EXPECT_STREQ(buffer, "x\x81");
    EXPECT_EQ(buffer[4], 'q');
}

TEST(GetWrappedLine, CutsAtTheWidthAndAtLineFeeds)
{
    const struct { const char* text; u32 width; Lines lines; } cases[] = {
        {"", 10, {""}},
        {"abc", 3, {"abc"}},
        {"abc\n", 10, {"abc", ""}},
        {"0123456789", 5, {"01234", "56789"}},
        {"abc\nd", 3, {"abc", "", "d"}},  // a line feed at the wrap point makes an empty line
        // A double-byte character starting at the last column stays on its line.
        {"ab\x82\xA0" "c", 3, {"ab\x82\xA0", "c"}},
        {"ab\x82", 10, {"ab\x82"}},  // a lone lead byte at the end is one byte
        {"a\x82\xA0" "b", 0, {"a", "\x82\xA0", "b"}},  // width 0 wraps as 1
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << Printable(c.text) << " in " << c.width);
        EXPECT_EQ(CountWrappedLines(c.text, c.width), c.lines.size());
        EXPECT_EQ(Wrapped(c.text, c.width), c.lines);
    }
    EXPECT_EQ(CountWrappedLines(nullptr, 10), 0u);
}

TEST(GetWrappedLine, NeverSplitsADoubleByteCharacter)
{
    // Trail bytes that look like '\', 'A' or 'Z' are never a character of their own.
    const std::string text = "x\x95\x5C\x83\x41" "a\x82\xA0\x95\x5C" "bc\x83\x5A\x82\xA0" "d";
    for (u32 width = 1; width <= 8; ++width) {
        std::string joined;
        for (const std::string& line : Wrapped(text.c_str(), width)) {
            EXPECT_TRUE(WholeCharacters(line)) << width;
            EXPECT_LE(line.size(), width + 1) << width;
            joined += line;
        }
        EXPECT_EQ(joined, text) << width;
    }
}

TEST(GetWrappedLine, OutOfRangeLineIsEmptyAndNullOutIsNull)
{
    for (const auto& [text, line] : {std::pair{"abc", 0u}, std::pair{"abc", 2u}, std::pair{(const char*)nullptr, 1u}}) {
        char out[16] = "junk";
        EXPECT_EQ(GetWrappedLine(text, 10, line, out), out);
        EXPECT_STREQ(out, "") << line;
    }
    EXPECT_EQ(GetWrappedLine("abc", 10, 1, nullptr), nullptr);
}

}  // namespace ORV_TEST_FILE_ID
