// The input method through a real SDL window (CTest sets
// SDL_VIDEODRIVER=offscreen): SDL's text editing and text input events, as
// the platform's input method sends them, pushed into SDL's queue.
#include "host/text/TextBackend.h"

#include "host/window/Window.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace host::text {
namespace ORV_TEST_FILE_ID {

namespace {

using host::window::Handle;
using host::window::LParam;
using host::window::LResult;
using host::window::WParam;

struct Seen {
    uint32_t message;
    intptr_t lParam;
    std::string text;   // what the message's strings read when it came
};

std::vector<Seen> g_seen;

LResult Record(Handle window, uint32_t message, WParam wParam, LParam lParam) {
    Seen seen{message, lParam, {}};
    char buffer[300] = {};
    if (message == host::window::kWmImeComposition) {
        uint32_t index = (lParam & kGcsResultStr) ? kGcsResultStr : kGcsCompStr;
        int32_t n = GetCompositionString(window, index, buffer, sizeof buffer);
        seen.text.assign(buffer, n > 0 ? n : 0);
        if (index == kGcsCompStr) seen.text += "@" + std::to_string(GetCompositionString(window, kGcsCursorPos, nullptr, 0));
    } else if (message == host::window::kWmChar) {
        seen.text = std::string(1, static_cast<char>(wParam));
    }
    if (message != host::window::kWmActivate && message != host::window::kWmActivateApp) g_seen.push_back(seen);
    return 0;
}

void Pump() {
    host::window::Message m;
    for (int i = 0; i < 200 && host::window::PeekMessage(m); ++i) host::window::DispatchMessage(m);
}

void Push(SDL_Event e) { ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError(); }

SDL_Event Editing(uint32_t windowId, const char* utf8, int start, int length) {
    SDL_Event e{};
    e.type = SDL_TEXTEDITING;
    e.edit.windowID = windowId;
    SDL_strlcpy(e.edit.text, utf8, sizeof e.edit.text);
    e.edit.start = start;
    e.edit.length = length;
    return e;
}

SDL_Event Input(uint32_t windowId, const char* utf8) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    e.text.windowID = windowId;
    SDL_strlcpy(e.text.text, utf8, sizeof e.text.text);
    return e;
}

TEST(SdlIme, TextEditingEventsBecomeImeMessagesWithCodePage932Strings) {
    host::window::UseRealBackend();
    UseRealIme();
    host::window::WindowDesc desc;
    desc.width = 64;
    desc.height = 48;
    desc.style = 0xCA0000 | host::window::kWsVisible;
    desc.proc = Record;
    Handle w = host::window::CreateWindow(desc);
    ASSERT_NE(w, nullptr) << SDL_GetError();
    const uint32_t id = SDL_GetWindowID(static_cast<SDL_Window*>(host::window::GetSdlWindow(w)));
    Pump();
    g_seen.clear();

    ASSERT_TRUE(EnableIme(w, true));
    EXPECT_TRUE(SDL_IsTextInputActive());
    Push(Editing(id, u8"かな", 2, 0));
    Pump();
    Push(Input(id, u8"カナ"));
    Push(Editing(id, "", 0, 0));   // the platform clears its preedit after the commit
    Push(Input(id, "a"));          // plain typing
    Pump();

    using namespace host::window;
    std::vector<uint32_t> messages;
    for (const Seen& s : g_seen) messages.push_back(s.message);
    EXPECT_EQ(messages, (std::vector<uint32_t>{kWmImeStartComposition, kWmImeComposition, kWmImeComposition,
                                               kWmImeEndComposition, kWmChar}));
    ASSERT_EQ(g_seen.size(), 5u);
    EXPECT_EQ(g_seen[1].text, "\x82\xa9\x82\xc8@4");
    EXPECT_EQ(g_seen[2].lParam, static_cast<intptr_t>(kGcsResultStr));
    EXPECT_EQ(g_seen[2].text, "\x83J\x83i");
    EXPECT_EQ(g_seen[4].text, "a");

    // A composition longer than an editing event holds comes whole.
    g_seen.clear();
    std::string longText, longCp932;
    for (int i = 0; i < 20; ++i) longText += u8"あ", longCp932 += "あ";
    SDL_Event ext{};
    ext.type = SDL_TEXTEDITING_EXT;
    ext.editExt.windowID = id;
    ext.editExt.text = SDL_strdup(longText.c_str());
    ext.editExt.start = 20;
    Push(ext);
    Pump();
    ASSERT_EQ(g_seen.size(), 2u);
    EXPECT_EQ(g_seen[1].text, longCp932 + "@40");

    // Switched off: the composition is cancelled and SDL stops text input.
    g_seen.clear();
    EXPECT_TRUE(EnableIme(w, false));
    EXPECT_FALSE(SDL_IsTextInputActive());
    Pump();
    messages.clear();
    for (const Seen& s : g_seen) messages.push_back(s.message);
    EXPECT_EQ(messages, (std::vector<uint32_t>{kWmImeComposition, kWmImeEndComposition}));
    EXPECT_EQ(g_seen[0].lParam, 0);
    EXPECT_FALSE(EnableIme(w, true));

    EXPECT_TRUE(DestroyWindow(w));
    UseRealBackend();
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace host::text
