// The lobby screens' shared helpers: fixed fields, chat logs, list views
// and scroll bars, on their own.
#include "game/network/LobbyMessage.h"
#include "game/network/LobbySceneBase.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lobby_scene_base_test {

namespace ORV_TEST_FILE_ID {

using namespace lobby_scene;

namespace {

constexpr const char* kKana = "\x82\xa0";   // one double-byte character

std::string Field(const char* text, u32 fieldBytes, bool* terminated)
{
    std::string field(fieldBytes, '\x7f');
    CopyField(field.data(), fieldBytes, text);
    *terminated = field.back() == '\0';
    return field.c_str();
}

}  // namespace

TEST(LobbyFieldTest, EachFieldTakesItsBytesLessOneCutAtACharacterBoundary)
{
    const struct {
        const char* field;
        u32 bytes;
    } fields[] = {{"ID", kIdBytes},           {"password", kPasswordBytes},   {"player name", kPlayerNameBytes},
                  {"chat", kChatTextBytes},   {"room name", kRoomNameBytes},  {"comment", kCommentBytes},
                  {"room password", kRoomPasswordBytes}, {"speaker", kSpeakerBytes}};
    for (const auto& f : fields) {
        SCOPED_TRACE(f.field);
        bool terminated = false;
        // A double-byte character across the last byte stays out whole.
        const std::string straddling = std::string(f.bytes - 2, 'x') + kKana;
        EXPECT_EQ(Field(straddling.c_str(), f.bytes, &terminated), std::string(f.bytes - 2, 'x'));
        EXPECT_TRUE(terminated);
        // One that ends on the last byte goes in.
        const std::string fitting = std::string(f.bytes - 3, 'x') + kKana;
        EXPECT_EQ(Field(fitting.c_str(), f.bytes, &terminated), fitting);
        // Longer single-byte text is cut to the field less one.
        const std::string longer(f.bytes + 40, 'y');
        EXPECT_EQ(Field(longer.c_str(), f.bytes, &terminated), std::string(f.bytes - 1, 'y'));
        EXPECT_TRUE(terminated);
    }
    bool terminated = false;
    EXPECT_EQ(Field(nullptr, 9, &terminated), "");
    EXPECT_TRUE(terminated);
    // A lead byte without its trail byte is dropped.
    EXPECT_EQ(Field("ab\x82", 9, &terminated), "ab");
}

TEST(LobbyChatLogTest, SixtyLinesKeepSixtyDroppingTheOldest)
{
    ChatLog log;
    for (u32 i = 0; i <= kChatLogLines; ++i) log.Add(("u" + std::to_string(i)).c_str(), "text");
    EXPECT_EQ(log.count, kChatLogLines);
    EXPECT_STREQ(log.Speaker(0), "u1");
    EXPECT_STREQ(log.Speaker(kChatLogLines - 1), "u60");
    log.Add("u61", "again");
    EXPECT_EQ(log.count, kChatLogLines);
    EXPECT_STREQ(log.Speaker(0), "u2");
    EXPECT_STREQ(log.Text(kChatLogLines - 1), "again");
}

TEST(LobbyChatLogTest, TheViewFollowsOnlyWhileItShowsTheNewestEight)
{
    const struct {
        u32 lines;
        u32 topBefore;   // set after lines - 1 were added
        u32 topAfter;
    } cases[] = {
        {1, 0, 0}, {8, 0, 0}, {9, 0, 1}, {20, 11, 12}, {20, 3, 3}, {20, 12, 12},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.lines) + " lines, top " + std::to_string(c.topBefore));
        ChatLog log;
        for (u32 i = 0; i + 1 < c.lines; ++i) log.Add("a", "b");
        log.top = c.topBefore;
        log.Add("a", "b");
        EXPECT_EQ(log.top, c.topAfter);
    }
}

TEST(LobbyChatLogTest, SpeakerAndTextAreCutAtCharacterBoundaries)
{
    ChatLog log;
    const std::string speaker = std::string(23, 's') + kKana;   // 25 bytes
    log.Add(speaker.c_str(), std::string(300, 't').c_str());
    EXPECT_EQ(std::string(log.Speaker(0)), std::string(23, 's'));
    EXPECT_EQ(std::string(log.Text(0)), std::string(255, 't'));

    // A wire line with no terminator anywhere.
    const std::string raw(lobby_scene::kChatLineBytes, 'w');
    log.AddLine(raw.c_str());
    EXPECT_EQ(std::string(log.Speaker(1)), std::string(24, 'w'));
    EXPECT_EQ(std::string(log.Text(1)), std::string(255, 'w'));
}

TEST(LobbyChatLogTest, ScrollStaysBetweenZeroAndTheLastLine)
{
    ChatLog log;
    EXPECT_FALSE(log.Scroll(1));
    EXPECT_FALSE(log.Scroll(-1));
    for (int i = 0; i < 3; ++i) log.Add("a", "b");
    EXPECT_TRUE(log.Scroll(1));
    EXPECT_TRUE(log.Scroll(1));
    EXPECT_FALSE(log.Scroll(1));
    EXPECT_EQ(log.top, 2u);
    // Lines gone behind the view's back.
    log.count = 1;
    EXPECT_FALSE(log.Scroll(1));
    EXPECT_EQ(log.top, 0u);
}

TEST(LobbyChatLogTest, RowsAreTheSpeakerThenTheTextWrappedUntilTheRowsAreUsed)
{
    ChatLog log;
    log.Add("ann", "abcdefgh");
    log.Add("", "");   // empty: no rows
    log.Add("bob", "abあcd");
    log.Add("cy", "x");
    const struct {
        u32 top, rows, bytes;
        bool forward;
        std::vector<std::string> want;
    } cases[] = {
        // A two-byte character starting on a row's last column stays there.
        {0, 24, 3, true, {"【ann】", "abc", "def", "gh", "【bob】", "abあ", "cd", "【cy】", "x"}},
        {0, 24, 4, true, {"【ann】", "abcd", "efgh", "【bob】", "abあ", "cd", "【cy】", "x"}},
        {1, 24, 2, true, {"【bob】", "ab", "あ", "cd", "【cy】", "x"}},
        {0, 3, 3, true, {"【ann】", "abc", "def"}},
        {2, 24, 40, true, {"【bob】", "abあcd", "【cy】", "x"}},
        {0, 24, 40, false, {"【cy】", "x", "【bob】", "abあcd", "【ann】", "abcdefgh"}},
        {1, 3, 40, false, {"【bob】", "abあcd", "【ann】"}},
        {99, 24, 40, true, {"【cy】", "x"}},   // a top left past the log
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.top) + (c.forward ? " forward" : " backward"));
        EXPECT_EQ(ChatRows(log, c.top, c.rows, c.bytes, c.forward), c.want);
    }
    EXPECT_TRUE(ChatRows(ChatLog{}, 0, 24, 40, true).empty());
    // A line feed typed with Shift starts a row of its own.
    ChatLog feed;
    feed.Add("dee", "ab\ncd");
    EXPECT_EQ(ChatRows(feed, 0, 24, 40, true), (std::vector<std::string>{"【dee】", "ab", "cd"}));
}

TEST(LobbyListViewTest, SelectionAndTopAreClampedWhenTheListShrinks)
{
    const struct {
        u32 selected, top, count;
        bool any;
        u32 wantSelected, wantTop;
    } cases[] = {
        {40, 20, 10, true, 9, 9},    // shrank below the view
        {5, 0, 0, false, 0, 0},      // emptied: nothing selected
        {50, 45, 50, true, 49, 45},  // lost the selected last entry
        {40, 0, 50, true, 40, 10},   // selection below the rows shown
        {3, 7, 50, true, 3, 3},      // top past the selection
        {0, 0, 1, true, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.selected) + "/" + std::to_string(c.top) + " of " + std::to_string(c.count));
        ListView view{c.selected, c.top};
        EXPECT_EQ(view.Clamp(c.count), c.any);
        EXPECT_EQ(view.selected, c.wantSelected);
        EXPECT_EQ(view.top, c.wantTop);
    }
}

TEST(LobbyListViewTest, MovesStopAtTheEndsAndTheTopFollowsByOne)
{
    ListView view{30, 0};
    EXPECT_TRUE(view.Move(1, 50));
    EXPECT_EQ(view.selected, 31u);
    EXPECT_EQ(view.top, 1u);
    view = {1, 1};
    EXPECT_TRUE(view.Move(-1, 50));
    EXPECT_EQ(view.top, 0u);
    EXPECT_FALSE(view.Move(-1, 50));
    view = {49, 19};
    EXPECT_FALSE(view.Move(1, 50));
    EXPECT_EQ(view.selected, 49u);
    view = {7, 3};
    EXPECT_FALSE(view.Move(1, 0));
    EXPECT_EQ(view.selected, 0u);
}

TEST(LobbyScrollBarTest, ThumbPositionAndVisibility)
{
    const struct {
        i32 range;
        u32 top;
        bool shown;
        f32 offset;
    } cases[] = {
        {10, 5, true, 50.0f}, {0, 0, false, 0.0f},  {-5, 0, false, 0.0f},
        {10, 20, true, 100.0f}, {-5, 3, true, 0.0f}, {0, 2, true, 0.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.range) + " " + std::to_string(c.top));
        EXPECT_EQ(ScrollBarShown(c.range, c.top), c.shown);
        EXPECT_FLOAT_EQ(ScrollBarOffset(100.0f, c.range, c.top), c.offset);
    }
}

TEST(LobbyLineInformationTest, StarsOfTimesAndCountsAreCappedAtTen)
{
    const struct {
        u32 value, timeStars, countStars;
    } cases[] = {
        {0, 0, 0},      {100, 10, 10}, {420, 7, 10}, {750, 1, 10},  {799, 0, 10},
        {800, 0, 10},   {5000, 0, 10}, {9, 10, 0},   {35, 10, 3},   {0xFFFFFFFFu, 0, 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(CLobbySceneMessage::TimeStars(c.value), c.timeStars);
        EXPECT_EQ(CLobbySceneMessage::CountStars(c.value), c.countStars);
    }
}

TEST(LobbyPasswordTest, TheRoomPasswordMessageIsTheRoomAndANineByteField)
{
    const struct {
        const char* password;
        std::vector<u8> bytes;
    } cases[] = {
        {"pw", {4, 3, 2, 1, 'p', 'w', 0, 0, 0, 0, 0, 0, 0}},
        {"abcdefghij", {4, 3, 2, 1, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0}},
        {"aaaaaaa\x82\xa0", {4, 3, 2, 1, 'a', 'a', 'a', 'a', 'a', 'a', 'a', 0, 0}},
    };
    for (const auto& c : cases) {
        const auto bytes = CLobbySceneMessage::PasswordPayload(0x01020304u, c.password);
        EXPECT_EQ(std::vector<u8>(bytes.begin(), bytes.end()), c.bytes) << c.password;
    }
}

}  // namespace ORV_TEST_FILE_ID

}  // namespace lobby_scene_base_test
