#include "engine/core/ReadBinary.h"
#include "engine/core/ReadText.h"

#include "host/kernel/Kernel.h"
#include "host/kernel/tests/TempFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

using host::kernel::testing::TempFolder;

std::string WriteFile(const TempFolder& folder, const char* name, const std::string& bytes)
{
    const std::string path = folder / name;
    auto file = host::kernel::OpenFile(path, "wb");
    EXPECT_TRUE(file && file->Write(bytes.data(), bytes.size()) == bytes.size() && file->Close());
    return path;
}

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
    ASSERT_EQ(reader.LoadFromFile(WriteFile(folder, "abc.txt", "abc").c_str()), 1u);
    ASSERT_EQ(reader.GetDataSize(), 4u);
    EXPECT_EQ(std::memcmp(reader.GetData(), "abc", 4), 0);

    ASSERT_EQ(reader.LoadFromFile(WriteFile(folder, "empty.txt", "").c_str()), 1u);
    EXPECT_EQ(reader.GetDataSize(), 1u);
    EXPECT_EQ(reader.GetData()[0], 0);

    ASSERT_EQ(reader.LoadFromFile(WriteFile(folder, "crlf.txt", "a\r\nb").c_str()), 1u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(reader.GetData())), "a\nb");
    EXPECT_EQ(reader.GetCursor(), 0u);

    EXPECT_EQ(reader.LoadFromFile((folder / "missing.txt").c_str()), 0u);
    EXPECT_EQ(reader.GetData(), nullptr);
    EXPECT_EQ(reader.LoadFromMemory(nullptr, 4), 0u);
    EXPECT_EQ(reader.LoadFromMemory("x", 0), 0u);
}

TEST(ReadText, SplitsTokensAtDelimitersAndSkipsComments)
{
    auto reader = TextOf("Mesh  {\n 3;");
    EXPECT_EQ(Token(reader), "Mesh");
    EXPECT_EQ(Token(reader), "3");
    char out[8] = "junk";
    EXPECT_EQ(reader.ReadToken(out), -1);
    EXPECT_STREQ(out, "");

    // The zero byte that ends a loaded file separates like a delimiter.
    std::string withNul("x;\0", 3);
    auto file = TextOf(withNul);
    EXPECT_EQ(Token(file), "x");
    EXPECT_EQ(Token(file), "<end>");

    auto comment = TextOf("// x\nToken");
    EXPECT_EQ(Token(comment), "Token");
    auto bare = TextOf("//\nToken a//b // tail");
    EXPECT_EQ(Token(bare), "Token");
    EXPECT_EQ(Token(bare), "a//b");
    EXPECT_EQ(Token(bare), "<end>");
}

TEST(ReadText, KeepsShiftJisPairsWhole)
{
    // 0x81 0x7B: a double-byte character whose trail byte is '{'.
    auto reader = TextOf("\x81{a{b \x82");
    EXPECT_EQ(Token(reader), "\x81{a");
    EXPECT_EQ(Token(reader), "b");
    EXPECT_EQ(Token(reader), "\x82");   // a lone lead byte at the very end
    EXPECT_EQ(reader.GetCursor(), reader.GetDataSize());

    auto comment = TextOf("// \x81\n x");   // comment ending in a pair that swallows the LF
    EXPECT_EQ(Token(comment), "<end>");
}

TEST(ReadText, CutsLongTokensButConsumesThemWhole)
{
    auto reader = TextOf("abcdefghijkl mn \x81\x40\x81\x40\x81\x40\x81\x40 z");
    char out[8];
    EXPECT_EQ(reader.ReadToken(out), 0);
    EXPECT_STREQ(out, "abcdefg");
    EXPECT_EQ(reader.PeekToken(out), 0);
    EXPECT_STREQ(out, "mn");
    EXPECT_EQ(Token(reader), "mn");
    EXPECT_EQ(reader.ReadToken(out), 0);
    EXPECT_STREQ(out, "\x81\x40\x81\x40\x81\x40");   // never half a pair
    EXPECT_EQ(Token(reader), "z");
    EXPECT_EQ(reader.ReadToken(nullptr, 0), -1);
}

TEST(ReadText, SkipsBlocksAndSeeksCharacters)
{
    auto block = TextOf("{a{b}c} d");
    EXPECT_EQ(block.SkipBlock(), 0);
    EXPECT_EQ(block.GetCursor(), 7u);
    EXPECT_EQ(block.SkipBlock(), -1);

    auto open = TextOf("x {a{b");
    EXPECT_EQ(open.SkipBlock(), 0);
    EXPECT_EQ(open.GetCursor(), open.GetDataSize());
    auto lastBrace = TextOf("x {");
    EXPECT_EQ(lastBrace.SkipBlock(), -1);

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
    auto empty = TextOf("\"\" \"hello \x81\x22\" tail");
    EXPECT_EQ(empty.ReadQuotedString(), nullptr);
    EXPECT_EQ(empty.GetCursor(), 2u);
    EXPECT_EQ(Take(empty.ReadString()), "hello \x81\x22");   // the pair's trail byte is '"'
    EXPECT_FALSE(empty.HasError());
    EXPECT_EQ(empty.ReadQuotedString(), nullptr);

    const std::string longText(600, 'q');
    auto capped = TextOf("\"" + longText + "\"x");
    EXPECT_EQ(Take(capped.ReadQuotedString()), longText.substr(0, 512));
    EXPECT_EQ(Token(capped), "x");

    auto open = TextOf("\"abc");
    EXPECT_EQ(Take(open.ReadQuotedString()), "abc");
    EXPECT_TRUE(open.HasError());
}

TEST(ReadText, ReadsNumbersLikeTheCLibrary)
{
    auto reader = TextOf("12 -7 300 70000 99999999999 -99999999999 abc 4294967295 1.5 -2.25e2 1e39");
    EXPECT_EQ(reader.ReadInt32(), 12);
    EXPECT_EQ(reader.ReadInt32(), -7);
    EXPECT_EQ(reader.ReadInt8(), 44);          // 300 & 0xFF
    EXPECT_EQ(reader.ReadInt16(), 4464);       // 70000 & 0xFFFF
    EXPECT_EQ(reader.ReadInt32(), INT32_MAX);  // saturates
    EXPECT_EQ(reader.ReadInt32(), INT32_MIN);
    EXPECT_EQ(reader.ReadInt32(), 0);
    EXPECT_EQ(reader.ReadUInt32(), u32(INT32_MAX));
    EXPECT_FLOAT_EQ(reader.ReadFloat(), 1.5f);
    EXPECT_FLOAT_EQ(reader.ReadFloat(), -225.0f);
    EXPECT_EQ(reader.ReadFloat(), HUGE_VALF);
    EXPECT_FALSE(reader.HasError());
    EXPECT_EQ(reader.ReadInt32(), 0);
    EXPECT_TRUE(reader.HasError());
}

TEST(ReadFile, FloatGroupsReadInOrderThroughEitherReader)
{
    auto text = TextOf("1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19");
    const f32 bytes[19] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19};
    CqelReadBinary binary;
    ASSERT_EQ(binary.LoadFromMemory(bytes, sizeof bytes), 1u);   // the host is little-endian

    for (CqelReadFile* reader : {static_cast<CqelReadFile*>(&text), static_cast<CqelReadFile*>(&binary)}) {
        f32 m[16] = {}, v[3] = {};
        EXPECT_EQ(reader->ReadFloat16(m), 1u);
        EXPECT_EQ(reader->ReadFloat2(v), 1u);
        EXPECT_EQ(m[0], 1.0f);
        EXPECT_EQ(m[15], 16.0f);
        EXPECT_EQ(v[1], 18.0f);
        EXPECT_EQ(reader->ReadFloat3(v), 0u);   // only one float left
        EXPECT_EQ(v[0], 19.0f);
        EXPECT_TRUE(reader->HasError());
    }
}

TEST(ReadFile, CopiesAndFactoriesKeepTheClass)
{
    auto text = TextOf("a b", " ");
    Token(text);
    CqelReadText copy(text);
    EXPECT_NE(copy.GetData(), text.GetData());
    EXPECT_EQ(Token(copy), "b");
    EXPECT_STREQ(copy.GetDelimiters(), " ");

    CqelReadFile* clone = text.Clone();
    ASSERT_NE(clone, nullptr);
    EXPECT_STREQ(clone->GetClassName(), "CqelReadText");
    EXPECT_EQ(clone->GetCursor(), text.GetCursor());
    delete clone;

    text.Release();
    EXPECT_STREQ(text.GetDelimiters(), "");
    EXPECT_EQ(text.GetDataSize(), 0u);
    text.SetDelimiters("0123456789abcdefghij");
    EXPECT_EQ(std::strlen(text.GetDelimiters()), size_t(CqelReadText::kMaxDelimiters));
}

TEST(ReadBinary, ReadsLittleEndianFields)
{
    const u8 bytes[] = {0x34, 0x12, 0xFF, 0x78, 0x56, 0x34, 0x12, 0x00, 0x00, 0x80, 0x3F};
    CqelReadBinary reader;
    ASSERT_EQ(reader.LoadFromMemory(bytes, sizeof bytes), 1u);
    EXPECT_EQ(reader.ReadInt16(), 0x1234);
    EXPECT_EQ(reader.GetCursor(), 2u);
    EXPECT_EQ(reader.ReadInt8(), -1);
    EXPECT_EQ(reader.ReadUInt32(), 0x12345678u);
    EXPECT_EQ(reader.ReadFloat(), 1.0f);
    EXPECT_FALSE(reader.HasError());
}

TEST(ReadBinary, FailsReadsPastTheEnd)
{
    const u8 bytes[] = {1, 2, 3};
    CqelReadBinary reader;
    ASSERT_EQ(reader.LoadFromMemory(bytes, sizeof bytes), 1u);
    EXPECT_EQ(reader.ReadInt16(), 0x0201);
    EXPECT_EQ(reader.ReadInt32(), 0);   // one byte left
    EXPECT_TRUE(reader.HasError());
    EXPECT_EQ(reader.GetCursor(), 3u);
    EXPECT_EQ(reader.ReadInt8(), 0);
    EXPECT_EQ(reader.ReadString(), nullptr);

    ASSERT_EQ(reader.LoadFromMemory(bytes, sizeof bytes), 1u);   // a load clears the error
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

TEST(ReadBinary, ReadsTerminatedStrings)
{
    const std::string longText(600, 'n');
    const std::string bytes = std::string("ab\0\0", 4) + longText + std::string("\0cd", 3);
    CqelReadBinary reader;
    ASSERT_EQ(reader.LoadFromMemory(bytes.data(), u32(bytes.size())), 1u);
    EXPECT_EQ(Take(reader.ReadString()), "ab");
    EXPECT_EQ(reader.ReadString(), nullptr);   // empty
    EXPECT_EQ(reader.GetCursor(), 4u);
    EXPECT_EQ(Take(reader.ReadString()), longText.substr(0, 512));
    EXPECT_EQ(reader.GetCursor(), 4u + 601u);
    EXPECT_FALSE(reader.HasError());
    EXPECT_EQ(Take(reader.ReadString()), "cd");   // no terminator before the end
    EXPECT_TRUE(reader.HasError());
}

TEST(ReadBinary, LoadsWholeFilesUntranslated)
{
    TempFolder folder;
    CqelReadBinary reader;
    ASSERT_EQ(reader.LoadFromFile(WriteFile(folder, "m.bin", "a\r\nb").c_str()), 1u);
    EXPECT_EQ(reader.GetDataSize(), 4u);
    EXPECT_EQ(reader.GetData()[1], '\r');
    EXPECT_EQ(reader.LoadFromFile(WriteFile(folder, "empty.bin", "").c_str()), 0u);
    EXPECT_EQ(reader.LoadFromFile((folder / "missing.bin").c_str()), 0u);
    EXPECT_EQ(reader.GetDataSize(), 0u);
}
