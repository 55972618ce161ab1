#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace host::kernel {
namespace {

TEST(Text, NarrowLiteralsAreCodePage932) {
    // The build's -fexec-charset=CP932 that every other test relies on.
    EXPECT_EQ(std::string("コ"), "\x83\x52");
    EXPECT_EQ(std::string(u8"コ"), "\xE3\x82\xB3");
}

TEST(Text, JapaneseRoundTrip) {
    const char* cp932 = "コンフィグファイルが読み込めません";
    const char* utf8 = u8"コンフィグファイルが読み込めません";
    EXPECT_EQ(Cp932ToUtf8(cp932), utf8);
    EXPECT_EQ(Utf8ToCp932(utf8), cp932);
    EXPECT_EQ(Cp932ToUtf8("DirectInput8オブジェクトの生成に失敗しました"),
              u8"DirectInput8オブジェクトの生成に失敗しました");
}

TEST(Text, BackslashAndTildeStayAscii) {
    // Code page 932's 0x5C is the backslash and 0x7E the tilde, not the yen
    // sign and overline of JIS X 0201 ("SHIFT_JIS" in iconv).
    EXPECT_EQ(Cp932ToUtf8("データ\\a~b"), u8"データ\\a~b");
    EXPECT_EQ(Utf8ToCp932(u8"データ\\a~b"), "データ\\a~b");
}

TEST(Text, TrailByte5CBelongsToItsCharacter) {
    EXPECT_EQ(Cp932ToUtf8("ソ表\\"), u8"ソ表\\");
    EXPECT_EQ(Utf8ToCp932(u8"ソ表"), "\x83\x5C\x95\x5C");
}

TEST(Text, HalfWidthKatakanaGrowsToThreeBytes) {
    EXPECT_EQ(Cp932ToUtf8("\xB1\xB2\xB3"), u8"ｱｲｳ");
    EXPECT_EQ(Utf8ToCp932(u8"ｱｲｳ"), "\xB1\xB2\xB3");
}

TEST(Text, WindowsOnlyCharactersConvert) {
    // NEC and IBM extensions that plain Shift-JIS lacks.
    EXPECT_EQ(Cp932ToUtf8("\x87\x40"), u8"①");
    EXPECT_EQ(Utf8ToCp932(u8"①～"), "\x87\x40\x81\x60");
}

TEST(Text, BadCp932BytesBecomeQuestionMarks) {
    EXPECT_EQ(Cp932ToUtf8("a\x81 b"), u8"a? b");          // lead byte without a trail byte
    EXPECT_EQ(Cp932ToUtf8("\xFFあ"), u8"?あ");             // never a lead byte
    EXPECT_EQ(Cp932ToUtf8("\xA0x"), u8"?x");
}

TEST(Text, TrailingLoneLeadByteBecomesOneQuestionMark) {
    EXPECT_EQ(Cp932ToUtf8("ab\x82"), "ab?");
    EXPECT_EQ(Cp932ToUtf8("\x82"), "?");
    EXPECT_EQ(Cp932ToUtf8(std::string_view("あ\x82", 3)), u8"あ?");
}

TEST(Text, UnconvertibleUtf8BecomesOneQuestionMarkPerCharacter) {
    EXPECT_EQ(Utf8ToCp932("a\xF0\x9F\x98\x80" "b"), "a?b");   // an emoji: not in CP932
    EXPECT_EQ(Utf8ToCp932("a\xE3\x81"), "a?");              // cut off
    EXPECT_EQ(Utf8ToCp932("\xFF\xFEz"), "??z");             // no UTF-8 at all
    EXPECT_EQ(Utf8ToCp932("x\xE3\x81y"), "x?y");            // cut short in the middle
}

TEST(Text, EmptyAndLongTexts) {
    EXPECT_EQ(Cp932ToUtf8(""), "");
    EXPECT_EQ(Utf8ToCp932(""), "");
    std::string cp932, utf8;
    for (int i = 0; i < 5000; ++i) {
        cp932 += "\xB1あ";
        utf8 += u8"ｱあ";
    }
    EXPECT_EQ(Cp932ToUtf8(cp932), utf8);
    EXPECT_EQ(Utf8ToCp932(utf8), cp932);
}

TEST(Text, EmbeddedZeroBytesAreKept) {
    EXPECT_EQ(Cp932ToUtf8(std::string_view("あ\0い", 5)), std::string(u8"あ\0い", 7));
}

TEST(Text, ConvertsOnManyThreadsAtOnce) {
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &failures] {
            for (int i = 0; i < 500; ++i) {
                if (Cp932ToUtf8("読み込めません") != u8"読み込めません") ++failures[t];
                if (Utf8ToCp932(u8"生成に失敗") != "生成に失敗") ++failures[t];
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(failures, std::vector<int>(4, 0));
}

TEST(Text, LeadBytes) {
    for (int c : {0x81, 0x9F, 0xE0, 0xFC}) EXPECT_TRUE(IsDBCSLeadByte(static_cast<uint8_t>(c))) << c;
    for (int c : {0x00, 0x41, 0x5C, 0x80, 0xA0, 0xB1, 0xDF, 0xFD, 0xFF})
        EXPECT_FALSE(IsDBCSLeadByte(static_cast<uint8_t>(c))) << c;
}

}  // namespace
}  // namespace host::kernel
