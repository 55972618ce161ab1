// The real backend with SDL's offscreen video driver (CTest sets
// SDL_VIDEODRIVER=offscreen): a real window, checked through SDL itself.
#include "host/window/Window.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>

namespace host::window {
namespace {

int g_userMessages = 0;

LResult CountUser(Handle, uint32_t message, WParam, LParam) {
    if (message == kWmUser) ++g_userMessages;
    return 0;
}

TEST(SdlWindow, OpensARealWindowWithTheAskedClientSizeAndTitle) {
    UseRealBackend();
    WindowDesc desc;
    desc.title = "テスト";   // code page 932 here, UTF-8 at SDL
    desc.width = 320;
    desc.height = 240;
    desc.style = 0xCA0000 | kWsVisible;
    desc.proc = CountUser;
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

}  // namespace
}  // namespace host::window
