// The input method over the fake window and the fake input method: the
// messages a composition posts, the code page 932 strings a window reads
// while it handles them, switching off, and candidate lists.
#include "host/text/FakeText.h"

#include "host/window/FakeWindow.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace host::text {
namespace ORV_TEST_FILE_ID {

namespace {

using namespace host::window;

// One message as a text field sees it, with the strings it reads then.
// The text is the composition or the result.
struct Seen {
    Handle window;
    uint32_t message;
    WParam wParam;
    LParam lParam;
    std::string text, attributes;
    int32_t cursor = -1;
    bool operator==(const Seen&) const = default;
};

std::vector<Seen> g_seen;
bool g_readResults = true;

std::string Read(Handle window, uint32_t index) {
    int32_t size = GetCompositionString(window, index, nullptr, 0);
    std::string out(size > 0 ? size : 0, '\0');
    if (size > 0) out.resize(GetCompositionString(window, index, out.data(), size));
    return out;
}

LResult Field(Handle window, uint32_t message, WParam wParam, LParam lParam) {
    Seen seen{window, message, wParam, lParam, {}, {}};
    if (message == kWmImeComposition && (lParam & kGcsResultStr)) {
        if (g_readResults) seen.text = Read(window, kGcsResultStr);
    } else if (message == kWmImeComposition && lParam != 0) {
        seen.text = Read(window, kGcsCompStr);
        seen.attributes = Read(window, kGcsCompAttr);
        seen.cursor = GetCompositionString(window, kGcsCursorPos, nullptr, 0);
    }
    if (message != host::window::kWmActivate && message != host::window::kWmActivateApp) g_seen.push_back(seen);
    return 0;
}

class ImeTest : public testing::Test {
protected:
    void SetUp() override {
        host::window::InstallFakeWindow();
        ime = &InstallFakeIme();
        g_seen.clear();
        g_readResults = true;
        window = MakeWindow();
    }

    static Handle MakeWindow() {
        host::window::WindowDesc desc;
        desc.style = host::window::kWsVisible;
        desc.proc = Field;
        return host::window::CreateWindow(desc);
    }

    // Handles what is queued; returns what the fields saw.
    std::vector<Seen> Pump() {
        g_seen.clear();
        host::window::Message m;
        for (int i = 0; i < 1000 && host::window::PeekMessage(m); ++i) {
            host::window::TranslateMessage(m);
            host::window::DispatchMessage(m);
        }
        return g_seen;
    }

    std::vector<uint32_t> Messages() {
        std::vector<uint32_t> out;
        for (const Seen& s : Pump()) out.push_back(s.message);
        return out;
    }

    FakeIme* ime = nullptr;
    Handle window = nullptr;
};

TEST_F(ImeTest, ComposeWithCursorThenCommitPostsTheMessagesAndCodePage932Strings) {
    ime->Compose(window, "かな", 2);
    EXPECT_TRUE(IsComposing());
    std::vector<Seen> seen = Pump();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].message, kWmImeStartComposition);
    // Two characters are four bytes.
    EXPECT_EQ(seen[1], (Seen{window, kWmImeComposition, 0, kGcsCompStr | kGcsCompAttr | kGcsCursorPos,
                             "\x82\xa9\x82\xc8", std::string(4, kAttrInput), 4}));

    ime->Commit(window, "カナ");
    EXPECT_FALSE(IsComposing());
    seen = Pump();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], (Seen{window, kWmImeComposition, 0, kGcsResultStr, "\x83J\x83i", {}, -1}));
    EXPECT_EQ(seen[1].message, kWmImeEndComposition);
    EXPECT_EQ(GetCompositionString(window, kGcsCompStr, nullptr, 0), 0);
}

TEST_F(ImeTest, PlainTypingOutsideACompositionArrivesAsCharacters) {
    ime->Commit(window, "ab");
    std::vector<Seen> seen = Pump();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], (Seen{window, kWmChar, 'a', 1, {}, {}, -1}));
    EXPECT_EQ(seen[1].wParam, static_cast<WParam>('b'));

    // Text beyond ASCII is a result even without a composition, and ASCII
    // that ends a composition is its result.
    ime->Commit(window, "ｱ");
    ime->Compose(window, "abc", 3);
    ime->Commit(window, "abc");
    EXPECT_EQ(Messages(), (std::vector<uint32_t>{kWmImeStartComposition, kWmImeComposition, kWmImeEndComposition,
                                                 kWmImeStartComposition, kWmImeComposition, kWmImeComposition,
                                                 kWmImeEndComposition}));
}

TEST_F(ImeTest, ResultsCommittedBeforeTheWindowReadsAreReadOnceInOrder) {
    ime->Commit(window, "カ");
    ime->Commit(window, "ナ");
    std::vector<Seen> seen = Pump();
    ASSERT_EQ(seen.size(), 6u);
    EXPECT_EQ(seen[1].text, "\x83J\x83i");
    EXPECT_EQ(seen[4].lParam, static_cast<LParam>(kGcsResultStr));
    EXPECT_EQ(seen[4].text, "");

    // A result nobody read is not carried into the next one.
    g_readResults = false;
    ime->Commit(window, "漢");
    Pump();
    g_readResults = true;
    ime->Commit(window, "字");
    seen = Pump();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[1].text, "\x8e\x9a");
}

TEST_F(ImeTest, ReadsCopyWholeCharactersAndRefuseWhatIsNotThere) {
    ime->Compose(window, "かなX", 3);
    Pump();
    char buffer[8] = {};
    EXPECT_EQ(GetCompositionString(window, kGcsCompStr, nullptr, 0), 5);
    EXPECT_EQ(GetCompositionString(window, kGcsCompStr, buffer, 3), 2);
    EXPECT_EQ(std::string(buffer, 3), std::string("\x82\xa9\0", 3)) << "half a character is not copied";
    EXPECT_EQ(GetCompositionString(window, kGcsCompAttr, buffer, 3), 2);
    EXPECT_EQ(GetCompositionString(window, kGcsCursorPos, nullptr, 0), 5);
    EXPECT_EQ(GetCompositionString(window, 0x1234, buffer, 8), kImmErrorGeneral);
    EXPECT_EQ(GetCompositionString(reinterpret_cast<Handle>(0x7777), kGcsCompStr, buffer, 8), kImmErrorGeneral);

    // A result read in parts: what was copied is gone, the rest waits.
    ime->Commit(window, "漢字");
    EXPECT_EQ(GetCompositionString(window, kGcsResultStr, buffer, 3), 2);
    EXPECT_EQ(GetCompositionString(window, kGcsResultStr, nullptr, 0), 2);
    EXPECT_EQ(GetCompositionString(window, kGcsResultStr, buffer, 8), 2);
    EXPECT_EQ(std::string(buffer, 2), "\x8e\x9a");
}

TEST_F(ImeTest, ThePlatformsTextBecomesCodePage932Exactly) {
    // The cursor after the first character, in bytes.
    struct Case { const char* utf8; std::string cp932; int32_t cursor; } cases[] = {
        {u8"かな", "\x82\xa9\x82\xc8", 2},
        {u8"〜", "\x81\x60", 2},          // the wave dash Linux input methods send
        {u8"～", "\x81\x60", 2},          // and the full-width tilde Windows' table has
        {u8"−", "\x81\x7c", 2},           // minus sign
        {u8"‖", "\x81\x61", 2},
        {u8"¢£¬", "\x81\x91\x81\x92\x81\xca", 2},
        {u8"—", "\x81\x5c", 2},
        {u8"①Ⅰ", "\x87\x40\x87\x54", 2},  // NEC special characters
        {u8"髙", "\xfb\xfc", 2},          // IBM extensions
        {u8"ｱﾞ", "\xb1\xde", 1},
        {u8"＼\\", "\x81\x5f\x5c", 2},
        {u8"😀あ", "?\x82\xa0", 1},       // what code page 932 lacks is one '?'
    };
    for (const Case& c : cases) {
        NotifyComposition(window, c.utf8, 1, 0);
        EXPECT_EQ(Read(window, kGcsCompStr), c.cp932) << c.utf8;
        EXPECT_EQ(GetCompositionString(window, kGcsCursorPos, nullptr, 0), c.cursor) << c.utf8;
    }
    // Malformed UTF-8 stays inside the composition.
    NotifyComposition(window, "\xe3\x81", 5, 5);
    EXPECT_EQ(Read(window, kGcsCompStr), "?");
    EXPECT_EQ(GetCompositionString(window, kGcsCursorPos, nullptr, 0), 1);
}

TEST_F(ImeTest, LongCompositionsAreCutAtACharacter) {
    std::string text;
    for (int i = 0; i < 700; ++i) text += "あ";
    ime->Compose(window, text, 700);
    EXPECT_EQ(GetCompositionString(window, kGcsCompStr, nullptr, 0), 1024);
    EXPECT_EQ(GetCompositionString(window, kGcsCompAttr, nullptr, 0), 1024);
    EXPECT_EQ(GetCompositionString(window, kGcsCursorPos, nullptr, 0), 1024);

    // Positions past either end stay at the ends.
    NotifyComposition(window, u8"かな", INT32_MAX, INT32_MAX);
    EXPECT_EQ(GetCompositionString(window, kGcsCursorPos, nullptr, 0), 4);
    EXPECT_EQ(Read(window, kGcsCompAttr), std::string(4, kAttrInput));
    NotifyComposition(window, u8"かな", -5, 1);
    EXPECT_EQ(GetCompositionString(window, kGcsCursorPos, nullptr, 0), 0);
    EXPECT_EQ(Read(window, kGcsCompAttr), std::string(4, kAttrInput)) << "a selection wholly before the start";
    NotifyComposition(window, u8"かな", -5, 7);
    EXPECT_EQ(Read(window, kGcsCompAttr), std::string("\1\1\1\1", 4));
}

TEST_F(ImeTest, SwitchingOffCancelsAndTypingThenComesAsCharacters) {
    EXPECT_TRUE(IsImeEnabled());
    ime->Compose(window, "か", 1);
    ime->ShowCandidates(window, {{"化"}, 0, 0, 9});
    Pump();
    EXPECT_TRUE(EnableIme(window, false));
    EXPECT_FALSE(IsImeEnabled());
    std::vector<Seen> seen = Pump();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[1].message, kWmImeEndComposition);
    EXPECT_EQ(seen[2].message + seen[2].wParam, kWmImeNotify + kImnCloseCandidate);
    EXPECT_EQ(GetCandidateList(window, 0, nullptr, 0), 0u);

    // Off: compositions are ignored; committed text is typing.
    ime->Compose(window, "か", 1);
    ime->Commit(window, "カ");
    seen = Pump();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], (Seen{window, kWmChar, 0x83, 1, {}, {}, -1}));
    EXPECT_EQ(seen[1].wParam, 0x4Au);

    EXPECT_FALSE(EnableIme(window, true));
    EXPECT_TRUE(EnableIme(window, true));
    EXPECT_EQ(ime->EnableCalls(), (std::vector<bool>{false, true, true}));
}

TEST_F(ImeTest, ACompositionMovingToAnotherWindowEndsInTheFirstAndACancelEndsIt) {
    Handle other = MakeWindow();
    ime->Compose(window, "か", 1);
    ime->Compose(other, "な", 1);
    std::vector<Seen> seen = Pump();
    ASSERT_EQ(seen.size(), 6u);
    EXPECT_EQ(seen[2], (Seen{window, kWmImeComposition, 0, 0, {}, {}, -1}));
    EXPECT_EQ(seen[3], (Seen{window, kWmImeEndComposition, 0, 0, {}, {}, -1}));
    EXPECT_EQ(seen[4], (Seen{other, kWmImeStartComposition, 0, 0, {}, {}, -1}));
    EXPECT_EQ(seen[5].text, "\x82\xc8");

    // Clearing, wherever the platform says it, ends it where it is, with a
    // composition of zero; clearing what is not there says nothing.
    ime->Cancel(window);
    seen = Pump();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], (Seen{other, kWmImeComposition, 0, 0, {}, {}, -1}));
    EXPECT_EQ(seen[1].message, kWmImeEndComposition);
    EXPECT_FALSE(IsComposing());
    ime->Cancel(window);
    EXPECT_TRUE(Pump().empty());
}

TEST_F(ImeTest, CandidateListsAreLaidOutAsWindowsLaysThemOut) {
    EXPECT_EQ(GetCandidateList(window, 0, nullptr, 0), 0u);
    ime->ShowCandidates(window, {{"漢字", "感じ", "A"}, 1, 0, 9});
    std::vector<Seen> seen = Pump();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], (Seen{window, kWmImeNotify, kImnOpenCandidate, 1, {}, {}, -1}));

    const std::string golden(
        "\x30\x00\x00\x00"   // size: 24 + 3 offsets + "漢字\0感じ\0A\0"
        "\x01\x00\x00\x00"   // style: reading
        "\x03\x00\x00\x00"   // count
        "\x01\x00\x00\x00"   // selection
        "\x00\x00\x00\x00"   // page start
        "\x09\x00\x00\x00"   // page size
        "\x24\x00\x00\x00"   // offset of each candidate from the list's start
        "\x29\x00\x00\x00"
        "\x2e\x00\x00\x00"
        "\x8a\xbf\x8e\x9a\x00"
        "\x8a\xb4\x82\xb6\x00"
        "A\x00",
        48);
    ASSERT_EQ(GetCandidateList(window, 0, nullptr, 0), 48u);
    std::string block(64, '\xee');
    EXPECT_EQ(GetCandidateList(window, 0, block.data(), 47), 0u) << "too small: nothing";
    EXPECT_EQ(block[0], '\xee');
    EXPECT_EQ(GetCandidateList(window, 0, block.data(), 64), 48u);
    EXPECT_EQ(block.substr(0, 48), golden);
    EXPECT_EQ(GetCandidateList(window, 1, block.data(), 64), 0u) << "one list only";

    ime->ShowCandidates(window, {{"幹事"}, 0, 0, 9});
    ime->HideCandidates(window);
    ime->HideCandidates(window);
    seen = Pump();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].wParam, kImnChangeCandidate);
    EXPECT_EQ(seen[1].wParam, kImnCloseCandidate);
    EXPECT_EQ(GetCandidateList(window, 0, nullptr, 0), 0u);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace host::text
