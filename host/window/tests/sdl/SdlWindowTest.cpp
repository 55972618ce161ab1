// The real backend with SDL's offscreen video driver (CTest sets
// SDL_VIDEODRIVER=offscreen): a real window, checked through SDL itself.
#include "host/window/WindowBackend.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace host::window {
namespace ORV_TEST_FILE_ID {

namespace {

int g_userMessages = 0;

LResult CountUser(Handle, uint32_t message, WParam, LParam) {
    if (message == kWmUser) ++g_userMessages;
    return 0;
}

int g_closes = 0;
std::vector<std::string> g_dropped;

LResult KeepOpen(Handle, uint32_t message, WParam wParam, LParam) {
    if (message == kWmClose) ++g_closes;
    for (uint32_t i = 0; message == kWmDropFiles && i < DragQueryFileCount(wParam); ++i)
        g_dropped.push_back(DragQueryFile(wParam, i));
    return 0;
}

void Pump() {
    Message m;
    for (int i = 0; i < 100 && PeekMessage(m); ++i) DispatchMessage(m);
}

void Push(SDL_Event e) { ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError(); }

TEST(SdlWindow, OpensARealWindowWithTheAskedClientSizeAndTitle) {
    UseRealBackend();
    WindowDesc desc;
    desc.title = "テスト";   // code page 932 here, UTF-8 at SDL
    desc.width = 320;
    desc.height = 240;
    desc.style = 0xCA0000 | kWsVisible;
    desc.proc = CountUser;
    g_userMessages = 0;
    Handle w = CreateWindow(desc);
    ASSERT_NE(w, nullptr) << SDL_GetError();
    auto* sdl = static_cast<SDL_Window*>(GetSdlWindow(w));
    ASSERT_NE(sdl, nullptr);

    int width = 0, height = 0;
    SDL_GetWindowSize(sdl, &width, &height);
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 240);
    EXPECT_EQ(GetClientRect(w), (Rect{0, 0, 320, 240}));
    EXPECT_STREQ(SDL_GetWindowTitle(sdl), u8"テスト");
    EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_SHOWN);

    SetWindowText(w, "Cendrava");
    EXPECT_STREQ(SDL_GetWindowTitle(sdl), "Cendrava");
    MoveWindow(w, 0, 0, 400, 300);
    SDL_GetWindowSize(sdl, &width, &height);
    EXPECT_EQ(width, 400);

    // The real pump keeps the queue's order among whatever SDL reports.
    PostMessage(w, kWmUser, 0, 0);
    Message m;
    for (int i = 0; i < 100 && PeekMessage(m); ++i) DispatchMessage(m);
    EXPECT_EQ(g_userMessages, 1);

    EXPECT_TRUE(DestroyWindow(w));
    EXPECT_EQ(GetSdlWindow(w), nullptr);
    UseRealBackend();
}

// What SDL reports of the window manager and the session, as it would.
TEST(SdlWindow, FollowsNativeMovesAndTakesQuitAndDropsAsUserInput) {
    UseRealBackend();
    WindowDesc desc;
    desc.x = desc.y = 100;
    desc.width = 64;
    desc.height = 48;
    desc.style = 0xCA0000 | kWsVisible;
    desc.proc = KeepOpen;
    g_closes = 0;
    g_dropped.clear();
    Handle w = CreateWindow(desc);
    ASSERT_NE(w, nullptr) << SDL_GetError();
    Pump();
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = SDL_GetWindowID(static_cast<SDL_Window*>(GetSdlWindow(w)));
    e.window.event = SDL_WINDOWEVENT_MOVED;
    e.window.data1 = 300;
    e.window.data2 = 250;
    Push(e);
    e.window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
    e.window.data1 = 80;
    e.window.data2 = 60;
    Push(e);
    Pump();
    EXPECT_EQ(GetWindowRect(w), (Rect{300, 250, 380, 310}));
    EXPECT_EQ(MapRect(w, nullptr, {1, 2, 3, 4}), (Rect{301, 252, 303, 254}));

    // A quit is the close button: a disabled window (under a modal dialog) drops it.
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    EnableWindow(w, false);
    Push(quit);
    Pump();
    EXPECT_EQ(g_closes, 0);
    EnableWindow(w, true);
    Push(quit);
    Pump();
    EXPECT_EQ(g_closes, 1);

    // A dropped name without an exact code page 932 form is left out.
    DragAcceptFiles(w, true);
    for (const char* name : {u8"/music/a¥b.ogg", u8"/music/曲.ogg"}) {
        SDL_Event drop{};
        drop.type = SDL_DROPFILE;
        drop.drop.file = SDL_strdup(name);
        drop.drop.windowID = e.window.windowID;
        Push(drop);
    }
    Pump();
    EXPECT_EQ(g_dropped, std::vector<std::string>{"/music/曲.ogg"});
    EXPECT_TRUE(DestroyWindow(w));
    UseRealBackend();
}

std::vector<std::pair<uint32_t, uint32_t>> g_keys;   // virtual key, was-down flag

LResult RecordKeys(Handle, uint32_t message, WParam wParam, LParam lParam) {
    if (message == kWmKeyDown) g_keys.emplace_back(static_cast<uint32_t>(wParam), (lParam & kKeyWasDown) ? 1u : 0u);
    return 0;
}

// Each key in a run of keys has its own virtual key, so a run shifted by one
// shows; a repeat is marked as a key that was already down.
TEST(SdlWindow, KeysArriveAsTheirVirtualKeys) {
    UseRealBackend();
    WindowDesc desc;
    desc.width = 64;
    desc.height = 48;
    desc.style = 0xCA0000 | kWsVisible;
    desc.proc = RecordKeys;
    Handle w = CreateWindow(desc);
    ASSERT_NE(w, nullptr) << SDL_GetError();
    Pump();
    g_keys.clear();
    const std::pair<SDL_Keycode, uint32_t> keys[] = {
        {SDLK_a, 'A'},       {SDLK_z, 'Z'},       {SDLK_0, '0'},          {SDLK_5, '5'},         {SDLK_9, '9'},
        {SDLK_F1, kVkF1},    {SDLK_F12, kVkF1 + 11}, {SDLK_KP_0, 0x60},   {SDLK_KP_1, 0x61},     {SDLK_KP_9, 0x69}};
    for (const auto& [sym, vk] : keys) {
        SDL_Event e{};
        e.type = SDL_KEYDOWN;
        e.key.windowID = SDL_GetWindowID(static_cast<SDL_Window*>(GetSdlWindow(w)));
        e.key.keysym.sym = sym;
        e.key.repeat = sym == SDLK_5;
        Push(e);
    }
    Pump();
    std::vector<std::pair<uint32_t, uint32_t>> expected;
    for (const auto& [sym, vk] : keys) expected.emplace_back(vk, sym == SDLK_5 ? 1u : 0u);
    EXPECT_EQ(g_keys, expected);
    EXPECT_TRUE(DestroyWindow(w));
    UseRealBackend();
}

// An input method's events go to the listener the text service installs;
// committed text it leaves alone, and all text without one, is typing.
struct RecordingIme : ImeListener {
    std::vector<std::string> events;
    bool take = false;
    void Composition(Handle, std::string_view utf8, int cursor, int selection) override {
        events.push_back("edit " + std::string(utf8) + " " + std::to_string(cursor) + " " + std::to_string(selection));
    }
    bool Commit(Handle, std::string_view utf8) override {
        events.push_back("commit " + std::string(utf8));
        return take;
    }
};

std::string g_typed;

LResult Type(Handle, uint32_t message, WParam wParam, LParam) {
    if (message == kWmChar) g_typed += static_cast<char>(wParam);
    return 0;
}

TEST(SdlWindow, HandsInputMethodEventsToItsListener) {
    UseRealBackend();
    g_typed.clear();
    WindowDesc desc;
    desc.width = 64;
    desc.height = 48;
    desc.style = 0xCA0000 | kWsVisible;
    desc.proc = Type;
    Handle w = CreateWindow(desc);
    ASSERT_NE(w, nullptr) << SDL_GetError();
    const uint32_t id = SDL_GetWindowID(static_cast<SDL_Window*>(GetSdlWindow(w)));
    auto text = [&](Uint32 type, const char* utf8) {
        SDL_Event e{};
        e.type = type;
        if (type == SDL_TEXTINPUT) {
            e.text.windowID = id;
            SDL_strlcpy(e.text.text, utf8, sizeof e.text.text);
        } else if (type == SDL_TEXTEDITING) {
            e.edit.windowID = id;
            SDL_strlcpy(e.edit.text, utf8, sizeof e.edit.text);
            e.edit.start = 1;
            e.edit.length = 2;
        } else {
            e.editExt.windowID = id;
            e.editExt.text = SDL_strdup(utf8);
            e.editExt.start = 3;
        }
        Push(e);
    };

    RecordingIme ime;
    SetImeListener(&ime);
    text(SDL_TEXTEDITING, u8"かな");
    text(SDL_TEXTEDITING_EXT, u8"とても長い変換中の文字列です");
    text(SDL_TEXTINPUT, u8"カナ");
    Pump();
    ime.take = true;
    text(SDL_TEXTINPUT, u8"漢");
    Pump();
    SetImeListener(nullptr);
    text(SDL_TEXTEDITING, u8"か");
    text(SDL_TEXTINPUT, "b");
    Pump();
    EXPECT_EQ(ime.events, (std::vector<std::string>{u8"edit かな 1 2", u8"edit とても長い変換中の文字列です 3 0",
                                                    u8"commit カナ", u8"commit 漢"}));
    EXPECT_EQ(g_typed, "カナb");
    EXPECT_TRUE(DestroyWindow(w));
    UseRealBackend();
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace host::window
