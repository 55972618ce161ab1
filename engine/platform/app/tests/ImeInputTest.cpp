// The text entry fed through a fake window's message queue and the fake input method.
#include "engine/platform/app/ImeInput.h"

#include "host/text/FakeText.h"
#include "host/window/FakeWindow.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace ORV_TEST_FILE_ID {

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
        desc.style = win::kWsVisible;
        desc.proc = FieldProc;
        window_ = win::CreateWindow(desc);
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
        while (win::PeekMessage(m)) win::TranslateMessage(m), win::DispatchMessage(m);
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
    void Compose(std::string_view s, int cursor)
    {
        fakeIme_->Compose(window_, s, cursor);
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

TEST_F(ImeInputTest, TypedPrintableCharactersGoInAtTheCursorAndOthersAreRefused)
{
    Type("ab");
    Press(win::kVkLeft);
    Type("X");
    // Control characters, DEL and bytes from 0x80 on never enter; a character's low byte counts.
    for (u32 c : {0x09u, 0x1Fu, 0x7Fu, 0x80u, 0xFFu})
        EXPECT_EQ(win::SendMessage(window_, win::kWmChar, c, 0), 0) << c;   // taken, though
    win::SendMessage(window_, win::kWmChar, 0x1200 | 'q', 0);
    EXPECT_EQ(field_.GetTextString(), "aXqb");
}

TEST_F(ImeInputTest, TheWidthAndTheBufferBoundTheTextAndAResultPastThemIsDroppedWhole)
{
    field_.SetMode(1, 18.0f, 8);
    field_.SetText("12345");
    Commit("漢字か");   // 6 bytes on 5
    EXPECT_EQ(field_.GetTextString(), "12345");
    field_.SetText("12");
    Commit("漢字か");   // 6 on 6: exactly fills it
    EXPECT_EQ(field_.GetTextString(), "12漢字か");

    // 10 lines of 200 would be 2000 bytes; the buffer holds 259 and a NUL.
    field_.SetMode(10, 18.0f, 200);
    Type(std::string(300, 'y'));
    EXPECT_EQ(field_.GetTextString().size(), 259u);
    // Widths from 1 to just below the buffer are taken; others leave 8.
    for (const auto& [width, holds] : {std::pair{259, 259u}, {1, 1u}, {260, 8u}, {0, 8u}, {INT32_MIN, 8u}}) {
        field_.SetMode(1, 18.0f, 8);
        field_.SetMode(1, 18.0f, width);
        field_.SetText(nullptr);
        Type(std::string(300, 'z'));
        EXPECT_EQ(field_.GetTextString().size(), holds) << width;
    }
}

TEST_F(ImeInputTest, EditingKeysStepOverDoubleByteCharactersWhole)
{
    // Text, cursor (reached moving left from the end), key, text and cursor after.
    struct Case { const char* text; int cursor; uint32_t key; const char* after; int cursorAfter; };
    const Case cases[] = {
        {"a漢", 3, win::kVkBack, "a", 1},
        {"漢b", 0, win::kVkDelete, "b", 0},
        {"ab漢", 4, win::kVkLeft, "ab漢", 2},
        {"漢b", 0, win::kVkRight, "漢b", 2},
        {"ab", 2, win::kVkRight, "ab", 2},
        {"ab", 0, win::kVkLeft, "ab", 0},
        {"ab", 0, win::kVkBack, "ab", 0},
        {"ab", 2, win::kVkDelete, "ab", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text + std::string(" key ") + std::to_string(c.key));
        field_.SetText(c.text);
        while (field_.GetCursor() > c.cursor) Press(win::kVkLeft);
        Press(c.key);
        EXPECT_EQ(field_.GetTextString(), c.after);
        EXPECT_EQ(field_.GetCursor(), c.cursorAfter);
    }
}

TEST_F(ImeInputTest, ShiftEnterBreaksALineOnlyWhileLinesAreLeft)
{
    // Lines, width, text: a line filled by wrapping counts as well.
    const std::tuple<int, int, const char*, const char*> cases[] = {
        {2, 40, "a", "a\n"}, {2, 40, "a\n", "a\n"}, {2, 4, "abcd", "abcd\n"}, {2, 4, "abcde", "abcde"}};
    for (const auto& [lines, width, before, after] : cases) {
        field_.SetMode(lines, 18.0f, width);
        field_.SetText(before);
        Press(win::kVkReturn);   // Enter alone does nothing
        fakeWindow_->KeyDown(window_, win::kVkShift);
        Press(win::kVkReturn);
        fakeWindow_->KeyUp(window_, win::kVkShift);
        EXPECT_EQ(field_.GetTextString(), after) << before;
    }
}

TEST_F(ImeInputTest, UpAndDownKeepTheColumnOrStopAtTheLineEnd)
{
    field_.SetMode(4, 18.0f, 6);
    // Lines: "abcdef" (wrapped) | "gh" (line feed) | "ijklm"
    field_.SetText("abcdefgh\nijklm");
    const std::pair<uint32_t, int> steps[] = {
        {win::kVkUp, 8},      // from the end (column 5) to the end of "gh"
        {win::kVkUp, 2},      // column 2 of line 1
        {win::kVkUp, 0},      // above the first line: the start
        {win::kVkDown, 6},    // column 0 of "gh"
        {win::kVkDown, 9},    // column 0 of "ijklm"
        {win::kVkDown, 14},   // below the last line: the end
    };
    for (const auto& [key, cursor] : steps) {
        Press(key);
        EXPECT_EQ(field_.GetCursor(), cursor) << key;
    }
    // Double-byte characters are never split.
    field_.SetMode(2, 18.0f, 40);
    field_.SetText("a漢字\nbcd");
    Press(win::kVkUp);   // from column 3 of "bcd"
    EXPECT_EQ(field_.GetCursor(), 3);
}

TEST_F(ImeInputTest, TextGoesInAndOutCutAtACharacterBoundary)
{
    field_.SetText("ab漢字");
    char out[8] = "xxxxxxx";
    field_.GetText(out, 4);   // room for 3 bytes: "ab" and not half of 漢
    EXPECT_STREQ(out, "ab");

    Compose("かな", 2);
    char taken[16] = {};
    field_.TakeText(taken, sizeof taken);
    EXPECT_STREQ(taken, "ab漢字");
    EXPECT_EQ(field_.GetTextString() + field_.GetComposition(), "");
    EXPECT_EQ(field_.GetCompositionAttributes(), std::string(4, '\0'));   // kept

    // Longer than the buffer: cut before the lead byte that would be split.
    field_.SetText((std::string(258, 'a') + "漢").c_str());
    EXPECT_EQ(field_.GetTextString(), std::string(258, 'a'));
}

TEST_F(ImeInputTest, DisablingClearsEverythingAndLetsMessagesPassAndDestroyStopsAll)
{
    Type("abc");
    Compose("かな", 2);
    field_.Enable(0);
    EXPECT_EQ(field_.GetTextString() + field_.GetComposition(), "");
    EXPECT_EQ(fakeIme_->EnableCalls(), (std::vector<bool>{true, false}));
    for (uint32_t message : {win::kWmChar, win::kWmKeyDown, win::kWmImeComposition, win::kWmImeNotify})
        EXPECT_EQ(field_.HandleMessage(window_, message, 'a', 0), 0) << message;
    EXPECT_EQ(field_.GetTextString(), "");

    field_.Destroy();   // nor once the buffers are gone
    Type("a");
    Commit("漢字");
    field_.SetText("abc");
    EXPECT_EQ(field_.GetTextString(), "");
    EXPECT_EQ(field_.Create(0), 0);
}

TEST_F(ImeInputTest, ACompositionIsKeptApartUntilItsResultIsCommitted)
{
    Type("ab");
    Press(win::kVkLeft);
    Compose("かんじ", 3);
    EXPECT_EQ(field_.GetComposition(), "かんじ");
    EXPECT_EQ(field_.GetCompositionAttributes(), std::string(6, char(text::kAttrInput)));
    EXPECT_EQ(field_.GetTotalLength(), 8u);

    field_.SetChanged(0);
    Commit("漢字です");
    EXPECT_EQ(field_.GetTextString(), "a漢字ですb");
    EXPECT_EQ(field_.GetChanged(), 1);

    // Cancelled, it goes with the changed mark and leaves the text.
    Compose("かな", 2);
    fakeIme_->Cancel(window_);
    Pump();
    EXPECT_EQ(field_.GetComposition() + field_.GetCompositionAttributes(), "");
    EXPECT_EQ(field_.GetChanged(), 0);

    // A long one is read up to the read buffer.
    std::string kana;
    for (int i = 0; i < 150; ++i) kana += "か";   // 300 bytes
    Compose(kana, 0);
    EXPECT_EQ(field_.GetComposition(), kana.substr(0, 258));
    EXPECT_EQ(field_.GetCompositionAttributes().size(), 258u);
    CImeInput small;   // a small buffer reads two bytes less than it holds
    ASSERT_EQ(small.Create(7), 1);
    g_field = &small;
    small.Enable(1);
    Compose("かなかな", 0);
    EXPECT_EQ(small.GetComposition(), "かな");
}

// The list's layout is the host's; the draw tests show contents and closing.
TEST_F(ImeInputTest, CandidateListsAreCopiedAgainOnEachChange)
{
    text::CandidateList list;
    list.candidates = {"漢字", "感じ", "幹事"};
    for (u32 selection : {1u, 2u}) {
        list.selection = selection;
        fakeIme_->ShowCandidates(window_, list);
        Pump();
        EXPECT_EQ(field_.GetCandidateList().at(12), selection);
    }
}

TEST_F(ImeInputTest, ACloneHasItsOwnTextAndStartsItsBlinkAgain)
{
    Type("abc");
    for (int i = 0; i < 31; ++i) field_.BlinkCursor(1);   // hidden now
    CImeInput* copy = field_.Clone();
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetBeforeCursor(), "abc");
    EXPECT_EQ(copy->BlinkCursor(7), 7u);
    Type("d");
    copy->SetText("x");
    EXPECT_EQ(field_.GetTextString(), "abcd");
    delete copy;
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
