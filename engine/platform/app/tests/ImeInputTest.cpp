// The text entry fed through a fake window's message queue: typing, the
// editing keys over double-byte characters, limits, line feeds and lines,
// and compositions, results and candidate lists scripted on the fake input
// method.
#include "engine/platform/app/ImeInput.h"

#include "host/text/FakeText.h"
#include "host/window/FakeWindow.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace win = host::window;
namespace text = host::text;

namespace {

CImeInput* g_field = nullptr;

win::LResult FieldProc(win::Handle window, uint32_t message, win::WParam wParam, win::LParam lParam)
{
    if (g_field && g_field->HandleMessage(window, message, wParam, lParam)) return 0;
    return win::DefWindowProc(window, message, wParam, lParam);
}

class ImeInputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fakeWindow_ = &win::InstallFakeWindow();
        fakeIme_ = &text::InstallFakeIme();
        win::WindowDesc desc;
        desc.width = 640;
        desc.height = 480;
        desc.style = win::kWsVisible;
        desc.proc = FieldProc;
        window_ = win::CreateWindow(desc);
        ASSERT_NE(window_, nullptr);
        g_field = &field_;
        ASSERT_EQ(field_.Create(kImeBufferSize), 1);
        // The field learns its window from the first message it sees.
        win::SendMessage(window_, win::kWmActivate, win::kWaActive, 0);
        field_.Enable(1);
    }
    void TearDown() override { g_field = nullptr; }

    void Pump()
    {
        win::Message m;
        while (win::PeekMessage(m)) {
            if (m.message == win::kWmQuit) continue;
            win::TranslateMessage(m);
            win::DispatchMessage(m);
        }
    }
    void Press(uint32_t key, std::string_view chars = {})
    {
        fakeWindow_->KeyDown(window_, key, chars);
        fakeWindow_->KeyUp(window_, key);
        Pump();
    }
    void Type(std::string_view ascii)
    {
        for (char c : ascii) Press(uint32_t(std::toupper(u8(c))), std::string(1, c));
    }
    void Compose(std::string_view s, int cursor, int selection = 0)
    {
        fakeIme_->Compose(window_, s, cursor, selection);
        Pump();
    }
    void Commit(std::string_view s)
    {
        fakeIme_->Commit(window_, s);
        Pump();
    }

    win::FakeWindow* fakeWindow_ = nullptr;
    text::FakeIme* fakeIme_ = nullptr;
    win::Handle window_ = nullptr;
    CImeInput field_;
};

// ---------------------------------------------------------------- typing and limits

TEST_F(ImeInputTest, TypedPrintableCharactersGoInAtTheCursorAndOthersAreRefused)
{
    Type("ab");
    Press(win::kVkLeft);
    Type("X");
    EXPECT_EQ(field_.GetTextString(), "aXb");
    EXPECT_EQ(field_.GetCursor(), 2);

    // Control characters, DEL and bytes from 0x80 on never enter the text.
    for (u32 c : {0x09u, 0x0Du, 0x1Fu, 0x7Fu, 0x80u, 0xA1u, 0xFFu})
        EXPECT_EQ(win::SendMessage(window_, win::kWmChar, c, 0), 0) << c;   // taken, though
    EXPECT_EQ(field_.GetTextString(), "aXb");
    // Only the low byte of the character counts.
    win::SendMessage(window_, win::kWmChar, 0x1200 | 'q', 0);
    EXPECT_EQ(field_.GetTextString(), "aXqb");
}

TEST_F(ImeInputTest, AFieldTakesItsLineWidthTimesLinesAndDropsWhatWouldPassIt)
{
    field_.SetMode(1, 18.0f, 8);
    Type("12345678");
    Type("9");
    EXPECT_EQ(field_.GetTextString(), "12345678");

    field_.SetText("12345");
    Commit("漢字か");   // 6 bytes on 5: dropped whole
    EXPECT_EQ(field_.GetTextString(), "12345");
    EXPECT_EQ(field_.GetComposition(), "");
    field_.SetText("12");
    Commit("漢字か");
    EXPECT_EQ(field_.GetTextString(), "12漢字か");
    EXPECT_EQ(field_.GetCursor(), 8);
}

TEST_F(ImeInputTest, TheBufferBoundsTheTextWhateverTheModeAllows)
{
    // 10 lines of 200 would be 2000 bytes; the buffer holds 259 and a NUL.
    field_.SetMode(10, 18.0f, 200);
    const std::string chunk(100, 'x');
    for (int i = 0; i < 3; ++i) Commit("漢" + chunk.substr(0, 98));   // not ASCII: a result, 100 bytes
    EXPECT_EQ(field_.GetTextString().size(), 200u);
    Type(std::string(70, 'y'));
    EXPECT_EQ(field_.GetTextString().size(), 259u);
    // Widths from 1 to just below the buffer are taken; others leave 8.
    for (const auto& [width, holds] : {std::pair{259, 259u}, {1, 1u}, {260, 8u}, {0, 8u}, {-1, 8u}, {INT32_MIN, 8u}}) {
        field_.SetMode(1, 18.0f, 8);
        field_.SetMode(1, 18.0f, width);
        field_.SetText(nullptr);
        Type(std::string(300, 'z'));
        EXPECT_EQ(field_.GetTextString().size(), holds) << width;
    }
}

// ---------------------------------------------------------------- editing keys

TEST_F(ImeInputTest, EditingKeysStepOverDoubleByteCharactersWhole)
{
    struct Case {
        const char* text;
        int cursor;           // set by moving left from the end
        uint32_t key;
        const char* after;
        int cursorAfter;
    };
    const Case cases[] = {
        {"a漢", 3, win::kVkBack, "a", 1},      // backspace after a double-byte character
        {"漢b", 0, win::kVkDelete, "b", 0},    // delete before one
        {"ab漢", 4, win::kVkLeft, "ab漢", 2},
        {"漢b", 0, win::kVkRight, "漢b", 2},
        {"ab", 2, win::kVkRight, "ab", 2},    // right at the end stays there
        {"ab", 1, win::kVkLeft, "ab", 0},     // left from 1 to 0
        {"ab", 0, win::kVkLeft, "ab", 0},
        {"ab", 0, win::kVkBack, "ab", 0},     // nothing before the cursor
        {"ab", 2, win::kVkDelete, "ab", 2},   // nothing after it
        {"漢字", 2, win::kVkBack, "字", 0},
        {"a", 1, 'Q', "a", 1},                // other keys: taken, nothing done
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text + std::string(" key ") + std::to_string(c.key));
        field_.SetText(c.text);
        // Step the cursor home by characters from the end.
        while (field_.GetCursor() > c.cursor) Press(win::kVkLeft);
        ASSERT_EQ(field_.GetCursor(), c.cursor);
        Press(c.key);
        EXPECT_EQ(field_.GetTextString(), c.after);
        EXPECT_EQ(field_.GetCursor(), c.cursorAfter);
        EXPECT_EQ(field_.GetBeforeCursor() + field_.GetAfterCursor(), field_.GetTextString());
    }
}

TEST_F(ImeInputTest, ShiftEnterBreaksALineOnlyWhileLinesAreLeft)
{
    const auto shiftEnter = [&] {
        fakeWindow_->KeyDown(window_, win::kVkShift);
        Press(win::kVkReturn);
        fakeWindow_->KeyUp(window_, win::kVkShift);
        Pump();
    };
    field_.SetMode(1, 18.0f, 40);
    Type("a");
    shiftEnter();
    EXPECT_EQ(field_.GetTextString(), "a");

    field_.SetMode(2, 18.0f, 40);
    Press(win::kVkReturn);   // Enter alone
    EXPECT_EQ(field_.GetTextString(), "a");
    shiftEnter();
    EXPECT_EQ(field_.GetTextString(), "a\n");
    shiftEnter();            // the second line is the last
    EXPECT_EQ(field_.GetTextString(), "a\n");

    // A line filled by wrapping counts as well.
    field_.SetMode(2, 18.0f, 4);
    field_.SetText("abcd");
    shiftEnter();
    EXPECT_EQ(field_.GetTextString(), "abcd\n");   // the caret still ends line 1
    field_.SetText("abcde");
    shiftEnter();
    EXPECT_EQ(field_.GetTextString(), "abcde");
    // A line feed typed as a character obeys the same rule.
    field_.SetMode(3, 18.0f, 40);
    field_.SetText("a\nb");
    win::SendMessage(window_, win::kWmChar, '\n', 0);
    win::SendMessage(window_, win::kWmChar, '\n', 0);
    EXPECT_EQ(field_.GetTextString(), "a\nb\n");
}

TEST_F(ImeInputTest, UpAndDownKeepTheColumnOrStopAtTheLineEnd)
{
    field_.SetMode(4, 18.0f, 6);
    // Lines: "abcdef" (wrapped) | "gh" (line feed) | "ijklm"
    field_.SetText("abcdefgh\nijklm");
    struct Step {
        uint32_t key;
        int cursor;
    };
    const Step steps[] = {
        {win::kVkUp, 8},      // from the end (column 5) to the end of "gh"
        {win::kVkUp, 2},      // column 2 of line 1
        {win::kVkUp, 0},      // above the first line: the start
        {win::kVkDown, 6},    // column 0 of "gh"
        {win::kVkDown, 9},    // column 0 of "ijklm"
        {win::kVkDown, 14},   // below the last line: the end
    };
    for (const Step& s : steps) {
        Press(s.key);
        EXPECT_EQ(field_.GetCursor(), s.cursor) << s.key;
    }
    // Double-byte characters are never split.
    field_.SetMode(2, 18.0f, 40);
    field_.SetText("a漢字\nbcd");
    Press(win::kVkUp);   // from column 3 of "bcd"
    EXPECT_EQ(field_.GetCursor(), 3);
}

// ---------------------------------------------------------------- text in and out

TEST_F(ImeInputTest, TextGoesOutCutAtACharacterBoundary)
{
    field_.SetText("ab漢字");
    char out[8];
    std::memset(out, 'x', sizeof out);
    field_.GetText(out, 4);   // room for 3 bytes: "ab" and not half of 漢
    EXPECT_STREQ(out, "ab");
    field_.GetText(out, sizeof out);
    EXPECT_STREQ(out, "ab漢字");
    field_.GetText(nullptr, 8);
    field_.GetText(out, 0);

    Compose("かな", 2);
    char taken[16] = {};
    field_.TakeText(taken, sizeof taken);
    EXPECT_STREQ(taken, "ab漢字");
    EXPECT_EQ(field_.GetTextString(), "");
    EXPECT_EQ(field_.GetComposition(), "");
    EXPECT_EQ(field_.GetCursor(), 0);
    EXPECT_EQ(field_.GetCompositionAttributes(), std::string(4, '\0'));   // kept

    // Longer than the buffer: cut before the lead byte that would be split.
    std::string longText(258, 'a');
    longText += "漢";
    field_.SetText(longText.c_str());
    EXPECT_EQ(field_.GetTextString(), std::string(258, 'a'));
    EXPECT_EQ(field_.GetCursor(), 258);
}

TEST_F(ImeInputTest, DisablingClearsEverythingAndLetsMessagesPass)
{
    Type("abc");
    Compose("かな", 2);
    field_.Enable(0);
    EXPECT_EQ(field_.GetTextString(), "");
    EXPECT_EQ(field_.GetComposition(), "");
    EXPECT_EQ(field_.GetCursor(), 0);
    EXPECT_EQ(fakeIme_->EnableCalls(), (std::vector<bool>{true, false}));

    for (uint32_t message : {win::kWmChar, win::kWmKeyDown, win::kWmImeStartComposition, win::kWmImeComposition,
                             win::kWmImeNotify})
        EXPECT_EQ(field_.HandleMessage(window_, message, 'a', 0), 0) << message;
    EXPECT_EQ(field_.GetTextString(), "");

    // Enabled again, typing starts at the front.
    field_.Enable(1);
    Type("z");
    EXPECT_EQ(field_.GetTextString(), "z");
    EXPECT_EQ(field_.GetCursor(), 1);
}

TEST_F(ImeInputTest, NothingHappensBeforeTheBuffersExist)
{
    CImeInput empty;
    g_field = &empty;
    empty.Enable(1);
    Type("a");
    Commit("漢字");
    empty.SetText("abc");
    EXPECT_EQ(empty.GetTextString(), "");
    EXPECT_EQ(empty.Create(0), 0);
    // Destroy drops them again.
    field_.Destroy();
    g_field = &field_;
    Type("a");
    EXPECT_EQ(field_.GetTextString(), "");
}

// ---------------------------------------------------------------- compositions

TEST_F(ImeInputTest, ACompositionIsKeptApartUntilItsResultIsCommitted)
{
    Type("ab");
    Press(win::kVkLeft);
    field_.SetChanged(0);
    Compose("かんじ", 3);
    EXPECT_EQ(field_.GetComposition(), "かんじ");
    EXPECT_EQ(field_.GetCompositionAttributes(), std::string(6, char(text::kAttrInput)));
    EXPECT_EQ(field_.GetChanged(), 1);
    EXPECT_EQ(field_.GetTextString(), "ab");
    EXPECT_EQ(field_.GetCompositionLength(), 6u);
    EXPECT_EQ(field_.GetTotalLength(), 8u);

    // Converting: the clause being converted is marked apart from the rest.
    Compose("漢字です", 0, 2);
    EXPECT_EQ(field_.GetCompositionAttributes(), std::string("\1\1\1\1\2\2\2\2", 8));

    field_.SetChanged(0);
    Commit("漢字です");
    EXPECT_EQ(field_.GetTextString(), "a漢字ですb");
    EXPECT_EQ(field_.GetCursor(), 9);
    EXPECT_EQ(field_.GetComposition(), "");
    EXPECT_EQ(field_.GetCompositionAttributes(), "");
    EXPECT_EQ(field_.GetChanged(), 1);

    // Cancelled, it goes with the changed mark and leaves the text.
    Compose("かな", 2);
    fakeIme_->Cancel(window_);
    Pump();
    EXPECT_EQ(field_.GetComposition() + field_.GetCompositionAttributes(), "");
    EXPECT_EQ(field_.GetChanged(), 0);
    EXPECT_EQ(field_.GetTextString(), "a漢字ですb");
}

TEST_F(ImeInputTest, ALongCompositionIsReadUpToTheReadBuffer)
{
    std::string kana;
    for (int i = 0; i < 150; ++i) kana += "か";   // 300 bytes
    Compose(kana, 0);
    EXPECT_EQ(field_.GetComposition(), kana.substr(0, 258));
    EXPECT_EQ(field_.GetCompositionAttributes().size(), 258u);

    // A small buffer reads two bytes less than it holds.
    CImeInput small;
    ASSERT_EQ(small.Create(7), 1);
    g_field = &small;
    small.HandleMessage(window_, win::kWmActivate, 0, 0);
    small.Enable(1);
    Compose("かなかな", 0);
    EXPECT_EQ(small.GetComposition(), "かな");
    g_field = &field_;
}

TEST_F(ImeInputTest, CandidateListsAreCopiedAndDroppedWithTheNotifications)
{
    text::CandidateList list;
    list.candidates = {"漢字", "感じ", "幹事"};
    list.selection = 1;
    fakeIme_->ShowCandidates(window_, list);
    Pump();
    std::vector<u8> copy = field_.GetCandidateList();
    ASSERT_GE(copy.size(), 24u + 12u);
    auto word = [&](size_t at) { return u32(copy[at]) | u32(copy[at + 1]) << 8 | u32(copy[at + 2]) << 16 | u32(copy[at + 3]) << 24; };
    EXPECT_EQ(word(0), copy.size());
    EXPECT_EQ(word(8), 3u);    // count
    EXPECT_EQ(word(12), 1u);   // selection
    EXPECT_STREQ(reinterpret_cast<const char*>(copy.data() + word(24 + 4)), "感じ");

    list.selection = 2;
    fakeIme_->ShowCandidates(window_, list);   // a change
    Pump();
    EXPECT_EQ(field_.GetCandidateList()[12], 2);

    fakeIme_->HideCandidates(window_);
    Pump();
    EXPECT_TRUE(field_.GetCandidateList().empty());
}

// ---------------------------------------------------------------- copies

TEST_F(ImeInputTest, ACloneHasItsOwnTextAndStartsItsBlinkAgain)
{
    field_.SetMode(2, 20.0f, 40);
    Type("abc");
    for (int i = 0; i < 31; ++i) field_.BlinkCursor(1);   // hidden now
    CImeInput* copy = field_.Clone();
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetTextString(), "abc");
    EXPECT_EQ(copy->GetCursor(), 3);
    EXPECT_EQ(copy->BlinkCursor(7), 7u);
    Type("d");
    EXPECT_EQ(copy->GetTextString(), "abc");
    copy->SetText("x");
    EXPECT_EQ(field_.GetTextString(), "abcd");
    delete copy;
}

}  // namespace
