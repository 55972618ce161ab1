#include "engine/core/ReadBinary.h"
#include "engine/core/ReadText.h"

#include "engine/core/tests/TestFiles.h"

#include <cmath>
#include <cstring>

namespace ORV_TEST_FILE_ID {

namespace {

using namespace coretest;
using Strings = std::vector<std::string>;

CqelReadText TextOf(const std::string& text, const char* delimiters = " \t\n{};,")
{
    CqelReadText reader;
    reader.SetDelimiters(delimiters);
    EXPECT_EQ(reader.LoadFromMemory(text.data(), u32(text.size())), 1u);
    return reader;
}

std::string Token(CqelReadText& reader)
{
    char out[64];
    return reader.ReadToken(out) == 0 ? std::string(out) : std::string("<end>");
}

// Every token up to the end.
Strings Tokens(const std::string& text)
{
    auto reader = TextOf(text);
    Strings tokens;
    for (std::string t = Token(reader); t != "<end>"; t = Token(reader)) tokens.push_back(t);
    EXPECT_EQ(reader.GetCursor(), reader.GetDataSize());
    return tokens;
}

std::string Take(char* text)
{
    std::string s = text ? text : "<null>";
    AlignedFree(text);
    return s;
}

}  // namespace

TEST(ReadText, LoadsFileAsTextWithTerminator)
{
    TempFolder folder;
    CqelReadText reader;
    ASSERT_EQ(reader.LoadFromFile(Put(folder / "crlf.txt", "a\r\nb").c_str()), 1u);
    ASSERT_EQ(reader.GetDataSize(), 4u);
    EXPECT_EQ(std::memcmp(reader.GetData(), "a\nb", 4), 0);
    ASSERT_EQ(reader.LoadFromFile(Put(folder / "empty.txt", "").c_str()), 1u);
    EXPECT_EQ(reader.GetDataSize(), 1u);
    EXPECT_EQ(reader.GetData()[0], 0);
    EXPECT_EQ(reader.LoadFromFile((folder / "missing.txt").c_str()), 0u);
    EXPECT_EQ(reader.GetData(), nullptr);
    EXPECT_EQ(reader.LoadFromMemory(nullptr, 4), 0u);
    EXPECT_EQ(reader.LoadFromMemory("x", 0), 0u);
}

TEST(ReadText, SplitsTokensSkipsCommentsAndKeepsShiftJisPairsWhole)
{
    const struct {
        std::string text;
        Strings tokens;
    } cases[] = {
        {"Mesh  {\n 3;", {"Mesh", "3"}},
        {std::string("x;\0", 3), {"x"}},  // the zero byte ending a loaded file separates too
        {"// x\nToken", {"Token"}},
        {"//\nToken a//b // tail", {"Token", "a//b"}},
        {"\x81{a{b \x82", {"\x81{a", "b", "\x82"}},  // 0x81 0x7B: the trail byte is '{'; a lone lead byte at the end
        {"// \x81\n x", {}},                          // a comment ending in a pair that swallows the LF
    };
    for (const auto& c : cases) EXPECT_EQ(Tokens(c.text), c.tokens) << testing::PrintToString(c.text);

    auto reader = TextOf("abcdefghijkl mn \x81\x40\x81\x40\x81\x40\x81\x40 z");
    char out[8] = "junk";
    EXPECT_EQ(reader.ReadToken(out), 0);
    EXPECT_STREQ(out, "abcdefg");  // cut, but consumed whole
    EXPECT_EQ(reader.PeekToken(out), 0);
    EXPECT_STREQ(out, "mn");
    EXPECT_EQ(Token(reader), "mn");
    EXPECT_EQ(reader.ReadToken(out), 0);
    EXPECT_STREQ(out, "\x81\x40\x81\x40\x81\x40");  // never half a pair
    EXPECT_EQ(Token(reader), "z");
    EXPECT_EQ(reader.ReadToken(out), -1);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(reader.ReadToken(nullptr, 0), -1);
}

TEST(ReadText, SkipsBlocksAndSeeksCharacters)
{
    const struct { const char* text; i32 result; u32 cursor; } blocks[] = {
        {"{a{b}c} d", 0, 7}, {"x {a{b", 0, 6}, {"x {", -1, 3}};
    for (const auto& b : blocks) {
        auto text = TextOf(b.text);
        EXPECT_EQ(text.SkipBlock(), b.result) << b.text;
        EXPECT_EQ(text.GetCursor(), b.cursor) << b.text;
    }

    auto seek = TextOf("// {\n\x81{ {x");
    EXPECT_EQ(seek.SeekAnyOf("{"), 0);
    EXPECT_EQ(seek.GetCursor(), 8u);
    EXPECT_EQ(seek.SkipPast("{"), 0);
    EXPECT_EQ(Token(seek), "x");
    EXPECT_EQ(seek.SeekAnyOf("{"), -1);
    EXPECT_EQ(seek.SeekAnyOf(nullptr), -1);
}

TEST(ReadText, ReadsQuotedStrings)
{
    const std::string longText(600, 'q');
    auto text = TextOf("\"\" \"hello \x81\x22\" \"" + longText + "\"x \"open");
    EXPECT_EQ(text.ReadQuotedString(), nullptr);  // empty
    EXPECT_EQ(text.GetCursor(), 2u);
    EXPECT_EQ(Take(text.ReadString()), "hello \x81\x22");  // the pair's trail byte is '"'
    EXPECT_EQ(Take(text.ReadQuotedString()), longText.substr(0, 512));  // capped, consumed whole
    EXPECT_EQ(Token(text), "x");
    EXPECT_FALSE(text.HasError());
    EXPECT_EQ(Take(text.ReadQuotedString()), "open");  // unterminated
    EXPECT_TRUE(text.HasError());
}

TEST(ReadText, ReadsNumbersLikeTheCLibrary)
{
    auto reader = TextOf("300 70000 99999999999 -99999999999 1e39");
    EXPECT_EQ(reader.ReadInt8(), 44);          // 300 & 0xFF
    EXPECT_EQ(reader.ReadInt16(), 4464);       // 70000 & 0xFFFF
    EXPECT_EQ(reader.ReadInt32(), INT32_MAX);  // saturates
    EXPECT_EQ(reader.ReadInt32(), INT32_MIN);
    EXPECT_EQ(reader.ReadFloat(), HUGE_VALF);
    EXPECT_FALSE(reader.HasError());
    EXPECT_EQ(reader.ReadInt32(), 0);
    EXPECT_TRUE(reader.HasError());
}

TEST(ReadFile, FloatGroupsReadInOrderAndFailPastTheEnd)
{
    auto text = TextOf("1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19");
    f32 m[16] = {}, v[3] = {};
    EXPECT_EQ(text.ReadFloat16(m), 1u);
    EXPECT_EQ(text.ReadFloat2(v), 1u);
    EXPECT_EQ(m[15], 16.0f);
    EXPECT_EQ(v[1], 18.0f);
    EXPECT_EQ(text.ReadFloat3(v), 0u);  // only one float left
    EXPECT_EQ(v[0], 19.0f);
    EXPECT_TRUE(text.HasError());
}

TEST(ReadFile, CopiesOwnTheirDataAndDelimitersAreCapped)
{
    auto text = TextOf("a b", " ");
    Token(text);
    CqelReadText copy(text);
    EXPECT_NE(copy.GetData(), text.GetData());
    EXPECT_EQ(Token(copy), "b");
    EXPECT_STREQ(copy.GetDelimiters(), " ");
    text.SetDelimiters("0123456789abcdefghij");
    EXPECT_EQ(std::strlen(text.GetDelimiters()), size_t(CqelReadText::kMaxDelimiters));
}

TEST(ReadBinary, ReadsLittleEndianFieldsAndFailsPastTheEnd)
{
    const u8 fields[] = {0x34, 0x12, 0xFF, 0x78, 0x56, 0x34, 0x12, 0x00, 0x00, 0x80, 0x3F};
    CqelReadBinary reader;
    ASSERT_EQ(reader.LoadFromMemory(fields, sizeof fields), 1u);
    EXPECT_EQ(reader.ReadInt16(), 0x1234);
    EXPECT_EQ(reader.ReadInt8(), -1);
    EXPECT_EQ(reader.ReadUInt32(), 0x12345678u);
    EXPECT_EQ(reader.ReadFloat(), 1.0f);
    EXPECT_FALSE(reader.HasError());

    const u8 bytes[] = {1, 2, 3};
    ASSERT_EQ(reader.LoadFromMemory(bytes, sizeof bytes), 1u);
    EXPECT_EQ(reader.ReadInt16(), 0x0201);
    EXPECT_EQ(reader.ReadInt32(), 0);  // one byte left
    EXPECT_TRUE(reader.HasError());
    EXPECT_EQ(reader.GetCursor(), 3u);
    EXPECT_EQ(reader.ReadInt8(), 0);
    EXPECT_EQ(reader.ReadString(), nullptr);

    ASSERT_EQ(reader.LoadFromMemory(bytes, sizeof bytes), 1u);  // a load clears the error
    EXPECT_FALSE(reader.HasError());
    u8 out[4] = {};
    EXPECT_EQ(reader.ReadBytes(out, 4), 0u);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(reader.SetCursor(1), 1u);
    EXPECT_EQ(reader.ReadBytes(out, 2), 1u);
    EXPECT_EQ(out[1], 3);
    EXPECT_EQ(reader.Skip(1), 0u);
    EXPECT_EQ(reader.SetCursor(4), 0u);
}

TEST(ReadBinary, ReadsTerminatedStringsAndWholeFilesUntranslated)
{
    const std::string longText(600, 'n');
    const std::string bytes = std::string("ab\0\0", 4) + longText + std::string("\0cd", 3);
    CqelReadBinary reader;
    ASSERT_EQ(reader.LoadFromMemory(bytes.data(), u32(bytes.size())), 1u);
    EXPECT_EQ(Take(reader.ReadString()), "ab");
    EXPECT_EQ(reader.ReadString(), nullptr);  // empty
    EXPECT_EQ(reader.GetCursor(), 4u);
    EXPECT_EQ(Take(reader.ReadString()), longText.substr(0, 512));
    EXPECT_EQ(reader.GetCursor(), 4u + 601u);
    EXPECT_FALSE(reader.HasError());
    EXPECT_EQ(Take(reader.ReadString()), "cd");  // no terminator before the end
    EXPECT_TRUE(reader.HasError());

    TempFolder folder;
    ASSERT_EQ(reader.LoadFromFile(Put(folder / "m.bin", "a\r\nb").c_str()), 1u);
    EXPECT_EQ(reader.GetDataSize(), 4u);
    EXPECT_EQ(reader.LoadFromFile(Put(folder / "empty.bin", "").c_str()), 0u);
    EXPECT_EQ(reader.LoadFromFile((folder / "missing.bin").c_str()), 0u);
    EXPECT_EQ(reader.GetDataSize(), 0u);
}

}  // namespace ORV_TEST_FILE_ID
