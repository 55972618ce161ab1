#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace host::kernel {
namespace ORV_TEST_FILE_ID {

namespace {

TEST(Text, Cp932AndUtf8RoundTrip) {
    // The build's -fexec-charset=CP932 that every other test relies on.
    ASSERT_EQ(std::string("コ"), "\x83\x52");
    std::string longCp932, longUtf8;
    for (int i = 0; i < 5000; ++i) longCp932 += "\xB1あ", longUtf8 += u8"ｱあ";
    const std::pair<std::string, std::string> cases[] = {
        {"コンフィグファイルが読み込めません", u8"コンフィグファイルが読み込めません"},
        {"データ\\a~b", u8"データ\\a~b"},   // 0x5C and 0x7E stay ASCII, not yen sign and overline
        {"ソ表\\", u8"ソ表\\"},             // 0x5C trail bytes belong to their character
        {"\xB1\xB2\xB3", u8"ｱｲｳ"},          // half-width katakana
        {"\x87\x40\x81\x60", u8"①～"},      // Windows extensions
        {std::string("あ\0い", 5), std::string(u8"あ\0い", 7)},
        {"", ""},
        {longCp932, longUtf8},
    };
    for (const auto& [cp932, utf8] : cases) {
        SCOPED_TRACE(utf8.substr(0, 40));
        EXPECT_EQ(Cp932ToUtf8(cp932), utf8);
        EXPECT_EQ(Utf8ToCp932(utf8), cp932);
    }
    EXPECT_EQ(Utf8ToCp932(u8"ソ表"), "\x83\x5C\x95\x5C");
}

TEST(Text, UnconvertibleCharactersBecomeOneQuestionMarkEach) {
    const struct { bool fromCp932; const char *in, *out; } cases[] = {
        {true, "a\x81 b", "a? b"},   // lead byte without a trail byte
        {true, "\xFFあ", u8"?あ"}, {true, "\xA0x", "?x"}, {true, "ab\x82", "ab?"},
        {false, "a\xF0\x9F\x98\x80" "b", "a?b"},   // an emoji
        {false, "a\xE3\x81", "a?"}, {false, "x\xE3\x81y", "x?y"}, {false, "\xFF\xFEz", "??z"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.fromCp932 ? Cp932ToUtf8(c.in) : Utf8ToCp932(c.in), c.out) << c.in;
    for (int c : {0x81, 0x9F, 0xE0, 0xFC}) EXPECT_TRUE(IsDBCSLeadByte(uint8_t(c))) << c;
    for (int c : {0x00, 0x5C, 0x80, 0xA0, 0xDF, 0xFD}) EXPECT_FALSE(IsDBCSLeadByte(uint8_t(c))) << c;
}

TEST(Text, FitNeverEndsInsideADoubleByteCharacter) {
    const struct { const char* text; size_t max, fit; } cases[] = {
        {"a\x82\xA0\x82\xA2", 4, 3}, {"a\x82\xA0\x82\xA2", 5, 5}, {"a\x82\xA0", 2, 1},
        {"ab\x82", 9, 2},   // a lead byte without its trail byte
        {"\x83\x5C\x5C", 2, 2}, {"abc", 0, 0}, {"", 4, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(Cp932Fit(c.text, c.max), c.fit) << c.text << " " << c.max;
}

TEST(Text, ConvertsOnManyThreadsAtOnce) {
    std::vector<int> failures(4, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t, &failures] {
            for (int i = 0; i < 500; ++i)
                failures[t] += Cp932ToUtf8("読み込めません") != u8"読み込めません" ||
                               Utf8ToCp932(u8"生成に失敗") != "生成に失敗";
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(failures, std::vector<int>(4, 0));
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace host::kernel
