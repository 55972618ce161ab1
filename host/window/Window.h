// The window service: windows by handle (dialogs and their controls are
// windows too), the one message queue and the window procedures it feeds,
// the game's main window, message boxes and the open and save file choosers.
//
// Backends: the real one (SDL2 windows; GTK3 message boxes and choosers) is
// used unless a test installs the fake (FakeWindow.h). Everything runs on the
// thread that pumps the queue. Text is code page 932 throughout.
#pragma once

#include "host/window/Messages.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace host::window {

// Opaque and pointer-sized; never dereferenced. Null names no window.
using Handle = struct WindowId*;
using WParam = uintptr_t;
using LParam = intptr_t;
using LResult = intptr_t;
using WindowProc = LResult (*)(Handle window, uint32_t message, WParam wParam, LParam lParam);

constexpr WParam MakeWParam(uint32_t low, uint32_t high) { return (low & 0xFFFFu) | ((high & 0xFFFFu) << 16); }
constexpr uint32_t LowWord(uintptr_t value) { return static_cast<uint32_t>(value & 0xFFFFu); }
constexpr uint32_t HighWord(uintptr_t value) { return static_cast<uint32_t>((value >> 16) & 0xFFFFu); }

struct Message {
    Handle window;      // null for kWmQuit and thread messages
    uint32_t message;
    WParam wParam;
    LParam lParam;
    uint32_t time;      // TimeGetTime() when posted
};

struct Rect {
    int32_t left, top, right, bottom;
    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    bool operator==(const Rect&) const = default;
};

// ---------------------------------------------------------------- queue

// Pumps native events, then takes the next message; false when none waits.
// kWmQuit comes once the queue is otherwise empty.
bool PeekMessage(Message& out);
// For a key-down that typed characters, queues their kWmChar messages ahead
// of everything else; true when it did.
bool TranslateMessage(const Message& message);
LResult DispatchMessage(const Message& message);
// False for a window that does not exist; a null window queues a thread message.
bool PostMessage(Handle window, uint32_t message, WParam wParam, LParam lParam);
// Calls the window's procedure at once; 0 for a window that does not exist.
LResult SendMessage(Handle window, uint32_t message, WParam wParam, LParam lParam);
void PostQuitMessage(int exitCode);
// kWmClose destroys the window; Alt+F4 as a system key sends kWmClose.
LResult DefWindowProc(Handle window, uint32_t message, WParam wParam, LParam lParam);
LResult CallWindowProc(WindowProc proc, Handle window, uint32_t message, WParam wParam, LParam lParam);
// High bit set while the key is down, as of the last message taken.
int16_t GetKeyState(uint32_t virtualKey);

// ---------------------------------------------------------------- windows

struct WindowDesc {
    std::string title;
    int32_t x = 0, y = 0, width = 0, height = 0;   // outer rectangle, screen pixels
    uint32_t style = 0;                            // kWsCaption ...; kWsVisible shows it
    WindowProc proc = nullptr;
    Handle parent = nullptr;
};

// A top-level window of the game (an SDL window with an OpenGL surface);
// null when it cannot be made.
Handle CreateWindow(const WindowDesc& desc);
// Sends kWmDestroy to the window and then to its children, and frees them.
bool DestroyWindow(Handle window);
bool IsWindow(Handle window);
Handle GetParent(Handle window);
bool ShowWindow(Handle window, int command);   // true when it was visible
bool IsWindowVisible(Handle window);           // it and the parents it lives in
bool EnableWindow(Handle window, bool enable); // true when it was disabled
bool IsWindowEnabled(Handle window);
bool SetWindowText(Handle window, std::string_view text);
std::string GetWindowText(Handle window);
// Outer rectangle: relative to the parent's client area for a kWsChild
// window, else screen pixels (a window with a parent but without kWsChild
// is only owned by it).
bool MoveWindow(Handle window, int32_t x, int32_t y, int32_t width, int32_t height);
Rect GetWindowRect(Handle window);             // screen pixels
Rect GetClientRect(Handle window);             // origin 0, 0
// From one window's client coordinates to another's; null is the screen.
Rect MapRect(Handle from, Handle to, const Rect& rect);
bool SetWindowStyle(Handle window, uint32_t style);   // visibility stays ShowWindow's
uint32_t GetWindowStyle(Handle window);
WindowProc SetWindowProc(Handle window, WindowProc proc);   // the previous one
intptr_t SetUserData(Handle window, intptr_t value);       // the previous value
intptr_t GetUserData(Handle window);
Handle SetFocus(Handle window);                // the previous focus
Handle GetFocus();
Handle GetForegroundWindow();
bool SetForegroundWindow(Handle window);
int ShowCursor(bool show);                     // the display count; shown while >= 0
// The cursor in window's client pixels; false when it cannot be read.
bool GetCursorClientPos(Handle window, int32_t& x, int32_t& y);
int GetSystemMetrics(int index);
// The SDL_Window* behind a game window, for the render service.
void* GetSdlWindow(Handle window);

// Files dropped on a window that accepts them arrive as kWmDropFiles.
void DragAcceptFiles(Handle window, bool accept);
uint32_t DragQueryFileCount(WParam drop);
std::string DragQueryFile(WParam drop, uint32_t index);   // empty past the end
// Names in the drop that have no code page 932 form: left out of its files
// but counted, so a drop of only such names still arrives and can be refused
// with a word.
uint32_t DragQueryRefusedCount(WParam drop);
void DragFinish(WParam drop);

// ---------------------------------------------------------------- boxes

// host::kernel::MessageBox reaches this too (owner null). When no box can be
// shown (no display, or not the pumping thread) it is
// host::kernel::ReportMessageBox; 0 for an owner that does not exist.
int MessageBox(Handle owner, std::string_view text, std::string_view caption, uint32_t type);

struct FileFilter {
    std::string description;   // "すべての対応ファイル"
    std::string patterns;      // "*.wav;*.ogg", any case
};

struct FileDialogRequest {
    Handle owner = nullptr;
    std::string title;
    std::vector<FileFilter> filters;
    std::string defaultExtension;   // "wav"; a saved name without one gets it
    std::string fileName;           // initial name or path; may be empty
    bool save = false;              // save asks before overwriting; open wants an existing file
    size_t maxPath = 260;           // bytes with the terminating NUL
};

// The chosen path; false when cancelled, when no chooser can be shown, or
// when the path does not fit maxPath or code page 932.
bool ShowFileDialog(const FileDialogRequest& request, std::string& path);
// Why the last ShowFileDialog gave false, so a refused name is not taken
// for a cancel.
enum class FileDialogError { kNone, kCancelled, kNameNotCp932, kPathTooLong };
FileDialogError LastFileDialogError();

// Installs the real backend (the default), destroying every window.
void UseRealBackend();

}  // namespace host::window
