// The real window backend: SDL2 windows for the game, GTK3 message boxes and
// file choosers. SDL sizes a window by its client area and leaves the frame
// to the window manager, so the frame metrics are 0 and a window's outer
// rectangle is its client rectangle. SDL video starts with the first window
// (or the first screen metric asked for); without a display the window
// simply cannot be made.
#include "host/window/GtkBoxes.h"
#include "host/window/SdlGlAttributes.h"
#include "host/window/WindowBackend.h"

#include "host/kernel/Kernel.h"

#include <SDL.h>

#include <algorithm>
#include <map>
#include <thread>

namespace host::window {
namespace {

using host::kernel::Cp932ToUtf8;
using host::kernel::Utf8ToCp932;

// SDL reports the client area's position or size; the service keeps the
// outer rectangle, which moves and grows with it.
Rect OuterRect(Handle window, const SDL_WindowEvent& e) {
    Rect outer = GetWindowRect(window);
    const Rect client = MapRect(window, nullptr, GetClientRect(window));
    if (e.event == SDL_WINDOWEVENT_MOVED) {
        const int32_t dx = e.data1 - client.left, dy = e.data2 - client.top;
        return {outer.left + dx, outer.top + dy, outer.right + dx, outer.bottom + dy};
    }
    outer.right += e.data1 - client.Width();
    outer.bottom += e.data2 - client.Height();
    return outer;
}

// Virtual keys by SDL key symbol; 0 for keys the system never asks about
// (their characters still arrive as kWmChar).
uint32_t VirtualKey(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return 'A' + static_cast<uint32_t>(key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + static_cast<uint32_t>(key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12) return kVkF1 + static_cast<uint32_t>(key - SDLK_F1);
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return 0x61 + static_cast<uint32_t>(key - SDLK_KP_1);
    switch (key) {
    case SDLK_KP_0: return 0x60;
    case SDLK_BACKSPACE: return kVkBack;
    case SDLK_TAB: return 0x09;
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return kVkReturn;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT: return kVkShift;
    case SDLK_LCTRL:
    case SDLK_RCTRL: return kVkControl;
    case SDLK_LALT:
    case SDLK_RALT: return kVkMenu;
    case SDLK_PAUSE: return 0x13;
    case SDLK_ESCAPE: return kVkEscape;
    case SDLK_SPACE: return 0x20;
    case SDLK_PAGEUP: return 0x21;
    case SDLK_PAGEDOWN: return 0x22;
    case SDLK_END: return 0x23;
    case SDLK_HOME: return 0x24;
    case SDLK_LEFT: return kVkLeft;
    case SDLK_UP: return kVkUp;
    case SDLK_RIGHT: return kVkRight;
    case SDLK_DOWN: return kVkDown;
    case SDLK_INSERT: return 0x2D;
    case SDLK_DELETE: return kVkDelete;
    case SDLK_KP_MULTIPLY: return 0x6A;
    case SDLK_KP_PLUS: return 0x6B;
    case SDLK_KP_MINUS: return 0x6D;
    case SDLK_KP_PERIOD: return 0x6E;
    case SDLK_KP_DIVIDE: return 0x6F;
    default: return 0;
    }
}

class SdlBackend;

class SdlPeer : public Peer {
public:
    SdlPeer(SdlBackend& backend, SDL_Window* window) : backend_(backend), window_(window) {}
    ~SdlPeer() override;
    void SetText(std::string_view text) override { SDL_SetWindowTitle(window_, Cp932ToUtf8(text).c_str()); }
    void SetRect(const Rect& r) override {
        SDL_SetWindowPosition(window_, r.left, r.top);
        SDL_SetWindowSize(window_, std::max(1, r.Width()), std::max(1, r.Height()));
    }
    void SetVisible(bool visible) override { visible ? SDL_ShowWindow(window_) : SDL_HideWindow(window_); }
    void SetStyle(uint32_t style) override {
        SDL_SetWindowBordered(window_, (style & kWsCaption) == kWsCaption ? SDL_TRUE : SDL_FALSE);
    }
    void Raise() override { SDL_RaiseWindow(window_); }
    void* SdlWindow() override { return window_; }

private:
    SdlBackend& backend_;
    SDL_Window* window_;
};

class SdlBackend : public Backend {
public:
    SdlBackend() : thread_(std::this_thread::get_id()) {}
    ~SdlBackend() override {
        if (video_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    std::unique_ptr<Peer> CreateTopLevel(Handle window, const WindowDesc& desc) override {
        if (!StartVideo()) return nullptr;
        uint32_t flags = SDL_WINDOW_HIDDEN;
        if ((desc.style & kWsCaption) != kWsCaption) flags |= SDL_WINDOW_BORDERLESS;
        std::string title = Cp932ToUtf8(desc.title);
        int w = std::max(1, desc.width), h = std::max(1, desc.height);
        // The render service draws into this window with OpenGL.
        RequestGlAttributes();
        SDL_Window* sdl = SDL_CreateWindow(title.c_str(), desc.x, desc.y, w, h, flags | SDL_WINDOW_OPENGL);
        // Without OpenGL the window still opens; the render service then
        // fails on its own and reports it.
        if (!sdl) sdl = SDL_CreateWindow(title.c_str(), desc.x, desc.y, w, h, flags);
        if (!sdl) return nullptr;
        windows_[SDL_GetWindowID(sdl)] = window;
        return std::make_unique<SdlPeer>(*this, sdl);
    }

    void Pump() override {
        if (!video_) return;
        SDL_Event e;
        for (int i = 0; i < 512 && SDL_PollEvent(&e); ++i) Translate(e);
    }

    bool Wait() override {
        SDL_Delay(5);
        return true;
    }

    int MessageBox(Handle owner, std::string_view text, std::string_view caption, uint32_t type) override {
        // GTK belongs to the pumping thread; a box from any other thread is
        // only written out.
        if (std::this_thread::get_id() == thread_) {
            int answer = ShowGtkMessageBox(OwnerToplevel(owner), text, caption, type);
            if (answer >= 0) return answer;
        }
        return host::kernel::ReportMessageBox(text, caption, type);
    }

    bool FileDialog(const FileDialogRequest& request, std::string& path) override {
        if (std::this_thread::get_id() != thread_) return false;
        return ShowGtkFileDialog(OwnerToplevel(request.owner), request, path);
    }

    void ShowCursor(bool visible) override {
        cursorVisible_ = visible;
        if (video_) SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
    }

    bool CursorPos(int32_t& x, int32_t& y) override {
        if (!video_) return false;
        int gx = 0, gy = 0;
        SDL_GetGlobalMouseState(&gx, &gy);
        x = gx;
        y = gy;
        return true;
    }

    int SystemMetric(int index) override {
        if (index != kSmCxScreen && index != kSmCyScreen) return 0;   // no frame of our own
        int w = 0, h = 0;
        if (!GtkScreenSize(w, h)) {
            SDL_DisplayMode mode;
            if (StartVideo() && SDL_GetDesktopDisplayMode(0, &mode) == 0) {
                w = mode.w;
                h = mode.h;
            }
        }
        return index == kSmCxScreen ? w : h;
    }

    void Forget(SDL_Window* window) { windows_.erase(SDL_GetWindowID(window)); }

private:
    bool StartVideo() {
        if (video_) return true;
        // Closing the last window must stay a kWmClose the program may
        // refuse (or that a disabled window drops), not a quit of SDL's own.
        SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
        // Compositions longer than a plain editing event holds come whole.
        SDL_SetHint(SDL_HINT_IME_SUPPORT_EXTENDED_TEXT, "1");
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {
            video_ = true;
            SDL_ShowCursor(cursorVisible_ ? SDL_ENABLE : SDL_DISABLE);
        }
        return video_;
    }

    Handle WindowOf(uint32_t id) {
        auto it = windows_.find(id);
        return it == windows_.end() ? GetForegroundWindow() : it->second;
    }

    static void* OwnerToplevel(Handle owner) {
        for (Handle h = owner; h; h = GetParent(h))
            if (Peer* p = GetPeer(h))
                if (void* toplevel = p->GtkToplevel()) return toplevel;
        return nullptr;
    }

    void Translate(const SDL_Event& e);
    void Key(const SDL_KeyboardEvent& key);
    void FlushDrop(uint32_t windowId);

    std::thread::id thread_;
    bool video_ = false;
    bool cursorVisible_ = true;
    std::map<uint32_t, Handle> windows_;   // by SDL window id
    std::vector<std::string> drop_;
    uint32_t dropRefused_ = 0;   // names in drop_'s drop with no code page 932 form
    bool dropping_ = false;
};

SdlPeer::~SdlPeer() {
    backend_.Forget(window_);
    SDL_DestroyWindow(window_);
}

void SdlBackend::Translate(const SDL_Event& e) {
    switch (e.type) {
    case SDL_WINDOWEVENT: {
        auto it = windows_.find(e.window.windowID);
        if (it == windows_.end()) return;
        Handle window = it->second;
        if (e.window.event == SDL_WINDOWEVENT_CLOSE && !IsQueued(window, kWmClose))
            PostInput(window, kWmClose, 0, 0);
        else if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED)
            NotifyActivated(window, true);
        else if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST)
            NotifyActivated(window, false);
        else if (e.window.event == SDL_WINDOWEVENT_MOVED || e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
            NotifyMoved(window, OuterRect(window, e.window));
        return;
    }
    case SDL_QUIT:
        // An interrupt or the session ending: ask the first window to close,
        // as its close button would.
        if (!windows_.empty() && !IsQueued(windows_.begin()->second, kWmClose))
            PostInput(windows_.begin()->second, kWmClose, 0, 0);
        return;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        Key(e.key);
        return;
    case SDL_TEXTINPUT:
        if (Handle window = WindowOf(e.text.windowID)) {
            ImeListener* ime = GetImeListener();
            if (!ime || !ime->Commit(window, e.text.text)) PostText(window, Utf8ToCp932(e.text.text));
        }
        return;
    case SDL_TEXTEDITING:
        if (Handle window = WindowOf(e.edit.windowID))
            if (ImeListener* ime = GetImeListener()) ime->Composition(window, e.edit.text, e.edit.start, e.edit.length);
        return;
    case SDL_TEXTEDITING_EXT:
        if (Handle window = WindowOf(e.editExt.windowID))
            if (ImeListener* ime = GetImeListener())
                ime->Composition(window, e.editExt.text ? e.editExt.text : "", e.editExt.start, e.editExt.length);
        SDL_free(e.editExt.text);
        return;
    case SDL_DROPBEGIN:
        drop_.clear();
        dropRefused_ = 0;
        dropping_ = true;
        return;
    case SDL_DROPFILE:
        if (e.drop.file) {
            std::string path;
            if (host::kernel::NativeToSystemPath(e.drop.file, path)) drop_.push_back(std::move(path));
            else ++dropRefused_;
            SDL_free(e.drop.file);
        }
        if (!dropping_) FlushDrop(e.drop.windowID);
        return;
    case SDL_DROPTEXT:
        SDL_free(e.drop.file);
        return;
    case SDL_DROPCOMPLETE:
        FlushDrop(e.drop.windowID);
        dropping_ = false;
        return;
    default:
        return;
    }
}

void SdlBackend::Key(const SDL_KeyboardEvent& key) {
    Handle window = WindowOf(key.windowID);
    uint32_t vk = VirtualKey(key.keysym.sym);
    if (!window || !vk) return;
    PostKey(window, vk, key.type == SDL_KEYDOWN, key.repeat != 0, (key.keysym.mod & KMOD_ALT) != 0,
            (key.keysym.mod & KMOD_CTRL) != 0);
}

void SdlBackend::FlushDrop(uint32_t windowId) {
    Handle window = WindowOf(windowId);
    if (window) PostDroppedFiles(window, std::move(drop_), dropRefused_);
    drop_.clear();
    dropRefused_ = 0;
}

}  // namespace

std::unique_ptr<Backend> CreateRealBackend() { return std::make_unique<SdlBackend>(); }

}  // namespace host::window
