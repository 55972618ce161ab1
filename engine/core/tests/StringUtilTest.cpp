#include "engine/core/StringUtil.h"

#include "engine/core/Memory.h"
#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The lines of a wrapped text, through GetWrappedLine.
std::vector<std::string> Lines(const char* text, u32 width)
{
    std::vector<std::string> lines;
    const u32 count = CountWrappedLines(text, width);
    for (u32 n = 1; n <= count; ++n) {
        std::string out(width + 2, '\x7F');
        EXPECT_EQ(GetWrappedLine(text, width, n, out.data()), out.data());
        lines.emplace_back(out.c_str());
    }
    return lines;
}

// True when no double-byte character of s is cut at its end.
bool WholeCharacters(const std::string& s)
{
    for (size_t i = 0; i < s.size(); ++i) {
        if (host::kernel::IsDBCSLeadByte(u8(s[i]))) {
            if (i + 1 >= s.size()) return false;
            ++i;
        }
    }
    return true;
}

std::string Trimmed(const char* text)
{
    std::string s(text);
    std::vector<char> buffer(s.begin(), s.end());
    buffer.push_back('\0');
    EXPECT_EQ(TrimWhitespace(buffer.data()), 1u);
    return buffer.data();
}

}  // namespace

// ---------------------------------------------------------------- search

TEST(StrStr, FindsTheFirstExactMatch)
{
    const char* text = "abcabc";
    EXPECT_EQ(StrStr(text, "bc"), text + 1);
    EXPECT_EQ(StrStr(text, "abc"), text);
    EXPECT_EQ(StrStr(text, "cab"), text + 2);
    EXPECT_EQ(StrStr(text, "Bc"), nullptr);
    EXPECT_EQ(StrStr(text, "abcabcd"), nullptr);
    const char* aab = "aab";
    EXPECT_EQ(StrStr(aab, "ab"), aab + 1);   // starts over after a mismatch
}

TEST(StrStr, NullOrEmptyNeverMatches)
{
    EXPECT_EQ(StrStr(static_cast<const char*>(nullptr), "a"), nullptr);
    EXPECT_EQ(StrStr("a", nullptr), nullptr);
    EXPECT_EQ(StrStr("a", ""), nullptr);
    EXPECT_EQ(StrStr("", "a"), nullptr);
    EXPECT_EQ(StrIStr(static_cast<const char*>(nullptr), "a"), nullptr);
    EXPECT_EQ(StrIStr("a", ""), nullptr);
}

TEST(StrIStr, IgnoresAsciiCase)
{
    const char* path = "Resource/Data\\BGM.gpk";
    EXPECT_EQ(StrIStr(path, "bgm"), path + 14);
    EXPECT_EQ(StrIStr(path, "DATA\\bgm.GPK"), path + 9);
    EXPECT_EQ(StrIStr(path, "wav"), nullptr);
    char mutableText[] = "KEY=Value";
    char* found = StrIStr(mutableText, "value");
    ASSERT_EQ(found, mutableText + 4);
    *found = 'v';   // the non-const overload points into the caller's text
    EXPECT_STREQ(mutableText, "KEY=value");
}

TEST(StrStr, NeverMatchesATrailByte)
{
    // 0x95 0x5C is one character whose trail byte is '\'.
    const char* table = "\x95\x5C";
    EXPECT_EQ(StrStr(table, "\\"), nullptr);
    EXPECT_EQ(StrStr(table, "\x5C"), nullptr);
    EXPECT_EQ(StrIStr(table, "\\"), nullptr);

    const char* path = "C:\x95\x5C\\x";
    EXPECT_EQ(StrStr(path, "\\"), path + 4);
    EXPECT_EQ(StrStr(path, "\x5C" "x"), path + 4);
    EXPECT_EQ(StrStr(path, "\x95\x5C"), path + 2);

    // 0x83 0x41 is "ア": its trail byte is 'A'.
    const char* katakana = "\x83\x41" "B";
    EXPECT_EQ(StrStr(katakana, "A"), nullptr);
    EXPECT_EQ(StrIStr(katakana, "a"), nullptr);
    EXPECT_EQ(StrIStr(katakana, "AB"), nullptr);
    EXPECT_EQ(StrIStr(katakana, "b"), katakana + 2);
}

TEST(StrStr, NeverEndsAMatchInsideACharacter)
{
    EXPECT_EQ(StrStr("\x95\x5C", "\x95"), nullptr);
    EXPECT_EQ(StrIStr("a\x95\x5C", "a\x95"), nullptr);
}

TEST(StrIStr, DoesNotFoldTrailBytes)
{
    EXPECT_EQ(StrIStr("\x83\x41", "\x83\x61"), nullptr);
    const char* text = "x\x83\x41Y";
    EXPECT_EQ(StrIStr(text, "\x83\x41y"), text + 1);
}

TEST(StrStr, LoneLeadByteAtTheEndIsOneByte)
{
    const char* text = "ab\x95";
    EXPECT_EQ(StrStr(text, "\x95"), text + 2);
    EXPECT_EQ(StrStr(text, "\x95x"), nullptr);
    EXPECT_EQ(StrIStr(text, "B\x95"), text + 1);
}

// ---------------------------------------------------------------- compare

TEST(StrCmp, OrdersSignedBytes)
{
    EXPECT_EQ(StrCmp("a", "b"), -1);
    EXPECT_EQ(StrCmp("b", "a"), 1);
    EXPECT_EQ(StrCmp("abc", "abc"), 0);
    EXPECT_EQ(StrCmp("ab", "abc"), -1);
    EXPECT_EQ(StrCmp("abc", "ab"), 1);
    EXPECT_EQ(StrCmp("ABC", "abc"), -1);
    // 0x80 and above are negative: before ASCII and before the terminator.
    EXPECT_EQ(StrCmp("\x81", "a"), -1);
    EXPECT_EQ(StrCmp("a\x81", "a"), -1);
    EXPECT_EQ(StrCmp("\xFF", "\x81"), 1);
}

TEST(StrCmp, NullArguments)
{
    EXPECT_EQ(StrCmp(nullptr, nullptr), 0);
    EXPECT_EQ(StrCmp(nullptr, ""), -1);
    EXPECT_EQ(StrCmp("", nullptr), 1);
    EXPECT_EQ(StrICmp(nullptr, nullptr), 0);
    EXPECT_EQ(StrICmp(nullptr, "a"), -1);
    EXPECT_EQ(StrICmp("a", nullptr), 1);
}

TEST(StrICmp, FoldsAsciiLettersOnly)
{
    EXPECT_EQ(StrICmp("ABC", "abc"), 0);
    EXPECT_EQ(StrICmp("Key_Name", "KEY_NAME"), 0);
    EXPECT_EQ(StrICmp("abc", "ABD"), -1);
    EXPECT_EQ(StrICmp("ABD", "abc"), 1);
    // '[' (0x5B) against 'a': folding makes the letter 0x61, so '[' sorts first.
    EXPECT_EQ(StrICmp("[", "A"), -1);
}

TEST(StrICmp, DoesNotFoldTrailBytes)
{
    EXPECT_NE(StrICmp("\x83\x41", "\x83\x61"), 0);
    EXPECT_EQ(StrICmp("\x83\x41" "ABC", "\x83\x41" "abc"), 0);
    EXPECT_EQ(StrICmp("\x83\x41", "\x83\x41"), 0);
    EXPECT_EQ(StrICmp("x\x83", "X\x83"), 0);   // lone lead byte at the end
}

TEST(StrICmp, IgnoresTheProcessLocale)
{
    const std::string previous = std::setlocale(LC_CTYPE, nullptr);
    for (const char* locale : {"C.UTF-8", "en_US.ISO-8859-1", "tr_TR.UTF-8", "ja_JP.SJIS"}) {
        if (!std::setlocale(LC_CTYPE, locale)) continue;
        EXPECT_EQ(StrICmp("I", "i"), 0) << locale;
        EXPECT_EQ(StrICmp("\xC0", "\xE0"), -1) << locale;   // Latin-1 letters are not letters here
        EXPECT_EQ(StrIStr("\xC9", "\xE9"), nullptr) << locale;
    }
    std::setlocale(LC_CTYPE, previous.c_str());
}

// ---------------------------------------------------------------- extract

TEST(ExtractBetween, CopiesTheTextBetweenTheMarkers)
{
    char* inner = ExtractBetween("name[Value]rest]", "[", "]");
    ASSERT_NE(inner, nullptr);
    EXPECT_STREQ(inner, "Value");
    EXPECT_EQ(reinterpret_cast<uintptr_t>(inner) % 16, 0u);
    AlignedFree(inner);
}

TEST(ExtractBetween, MissingMarkersOrNothingBetweenGiveNull)
{
    EXPECT_EQ(ExtractBetween("[]", "[", "]"), nullptr);
    EXPECT_EQ(ExtractBetween("abc]", "[", "]"), nullptr);
    EXPECT_EQ(ExtractBetween("[abc", "[", "]"), nullptr);
    EXPECT_EQ(ExtractBetween("]abc[", "[", "]"), nullptr);
    EXPECT_EQ(ExtractBetween(nullptr, "[", "]"), nullptr);
    EXPECT_EQ(ExtractBetween("[a]", nullptr, "]"), nullptr);
    EXPECT_EQ(ExtractBetween("[a]", "[", nullptr), nullptr);
}

TEST(ExtractBetween, DoubleByteContentAndMarkersStayWhole)
{
    // A '\' trail byte inside the content does not end it.
    char* inner = ExtractBetween("\"\x95\x5C\\\"", "\"", "\\");
    ASSERT_NE(inner, nullptr);
    EXPECT_STREQ(inner, "\x95\x5C");
    AlignedFree(inner);

    // A double-byte open marker ("【" 0x81 0x79) is stepped as one character.
    inner = ExtractBetween("\x81\x79" "ab" "\x81\x7A", "\x81\x79", "\x81\x7A");
    ASSERT_NE(inner, nullptr);
    EXPECT_STREQ(inner, "ab");
    AlignedFree(inner);
}

// ---------------------------------------------------------------- trim

TEST(TrimWhitespace, TrimsBothEnds)
{
    EXPECT_EQ(Trimmed("  a b  "), "a b");
    EXPECT_EQ(Trimmed("\t\r\n\v abc\t\r\n\v "), "abc");
    EXPECT_EQ(Trimmed(" \t \t "), "");
    EXPECT_EQ(Trimmed(""), "");
    EXPECT_EQ(Trimmed("abc"), "abc");
    EXPECT_EQ(Trimmed("\fabc\f"), "\fabc\f");   // form feed is not a blank here
    EXPECT_EQ(TrimWhitespace(nullptr), 0u);
}

TEST(TrimWhitespace, KeepsDoubleByteCharactersWhole)
{
    EXPECT_EQ(Trimmed("  \x81\x40  "), "\x81\x40");   // the ideographic space is not an ASCII blank
    EXPECT_EQ(Trimmed(" \x95\x5C "), "\x95\x5C");
    // A trail byte that looks like a space or tab is part of its character.
    EXPECT_EQ(Trimmed("ab\x81\x20 "), "ab\x81\x20");
    EXPECT_EQ(Trimmed("ab\x81\t"), "ab\x81\t");
}

TEST(TrimWhitespace, StopsAtALoneLeadByteBeforeTheTerminator)
{
    EXPECT_EQ(Trimmed("ab \x81"), "ab \x81");
    EXPECT_EQ(Trimmed("  \x81"), "\x81");
    // Bytes after the terminator must not be taken into the text.
    char buffer[] = {'x', '\x81', '\0', ' ', 'q', ' ', '\0'};
    EXPECT_EQ(TrimWhitespace(buffer), 1u);
    EXPECT_STREQ(buffer, "x\x81");
    EXPECT_EQ(buffer[4], 'q');
}

// ---------------------------------------------------------------- wrap

TEST(CountWrappedLines, CountsLinesOfTheGivenWidth)
{
    EXPECT_EQ(CountWrappedLines("", 10), 1u);
    EXPECT_EQ(CountWrappedLines("abc\n", 10), 2u);
    EXPECT_EQ(CountWrappedLines("0123456789", 5), 2u);
    EXPECT_EQ(CountWrappedLines("0123456789A", 5), 3u);
    EXPECT_EQ(CountWrappedLines("abc", 3), 1u);
    EXPECT_EQ(CountWrappedLines("a\nb\nc", 10), 3u);
    EXPECT_EQ(CountWrappedLines(nullptr, 10), 0u);
}

TEST(CountWrappedLines, LineFeedAtTheWrapPointMakesAnEmptyLine)
{
    EXPECT_EQ(CountWrappedLines("abc\nd", 3), 3u);
    EXPECT_EQ(Lines("abc\nd", 3), (std::vector<std::string>{"abc", "", "d"}));
}

TEST(GetWrappedLine, GivesEachLine)
{
    EXPECT_EQ(Lines("0123456789A", 5), (std::vector<std::string>{"01234", "56789", "A"}));
    EXPECT_EQ(Lines("ab\ncd", 10), (std::vector<std::string>{"ab", "cd"}));
    EXPECT_EQ(Lines("abc\n", 10), (std::vector<std::string>{"abc", ""}));
    EXPECT_EQ(Lines("", 10), (std::vector<std::string>{""}));
}

TEST(GetWrappedLine, DoubleByteCharacterAtTheLastColumnStaysOnItsLine)
{
    // "あ" (0x82 0xA0) starting at column width - 1 makes a line of width + 1 bytes.
    const char* text = "ab\x82\xA0" "c";
    EXPECT_EQ(CountWrappedLines(text, 3), 2u);
    EXPECT_EQ(Lines(text, 3), (std::vector<std::string>{"ab\x82\xA0", "c"}));
    EXPECT_EQ(Lines("\x82\xA0\x82\xA0\x82\xA0", 4), (std::vector<std::string>{"\x82\xA0\x82\xA0", "\x82\xA0"}));
}

TEST(GetWrappedLine, NeverSplitsADoubleByteCharacter)
{
    // Trail bytes that look like '\', 'A' or 'Z' are never a character of their own.
    const std::string text = "x\x95\x5C\x83\x41" "a\x82\xA0\x95\x5C" "bc\x83\x5A\x82\xA0" "d";
    for (u32 width = 1; width <= 8; ++width) {
        std::string joined;
        for (const std::string& line : Lines(text.c_str(), width)) {
            EXPECT_TRUE(WholeCharacters(line)) << width;
            EXPECT_LE(line.size(), width + 1) << width;
            joined += line;
        }
        EXPECT_EQ(joined, text) << width;
    }
}

TEST(GetWrappedLine, LoneLeadByteAtTheEndIsOneByte)
{
    EXPECT_EQ(CountWrappedLines("ab\x82", 10), 1u);
    EXPECT_EQ(Lines("ab\x82", 10), (std::vector<std::string>{"ab\x82"}));
    EXPECT_EQ(Lines("abc\x82", 3), (std::vector<std::string>{"abc", "\x82"}));
}

TEST(GetWrappedLine, OutOfRangeLineIsEmptyAndNullOutIsNull)
{
    char out[16] = "junk";
    EXPECT_EQ(GetWrappedLine("abc", 10, 2, out), out);
    EXPECT_STREQ(out, "");
    std::strcpy(out, "junk");
    EXPECT_EQ(GetWrappedLine("abc", 10, 0, out), out);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(GetWrappedLine("abc", 10, 1, nullptr), nullptr);
    std::strcpy(out, "junk");
    EXPECT_EQ(GetWrappedLine(nullptr, 10, 1, out), out);
    EXPECT_STREQ(out, "");
}
