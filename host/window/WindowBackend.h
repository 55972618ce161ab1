// What backends and the dialog service see of the window service. The
// service keeps each window's state (text, rectangle, visibility, ...); a
// Peer mirrors it natively, and native events come back through the entry
// points below as messages.
#pragma once

#include "host/window/Window.h"

#include <memory>
#include <string>
#include <vector>

namespace host::window {

// The native side of one window; told of every change the program makes.
class Peer {
public:
    virtual ~Peer() = default;
    virtual void SetText(std::string_view) {}
    virtual void SetRect(const Rect&) {}   // as MoveWindow takes it
    virtual void SetVisible(bool) {}
    virtual void SetEnabled(bool) {}
    virtual void SetStyle(uint32_t) {}
    virtual void Focus() {}
    virtual void Raise() {}
    virtual void AcceptFiles(bool) {}
    virtual void* SdlWindow() { return nullptr; }
    virtual void* GtkToplevel() { return nullptr; }   // GtkWindow* owning this window
};

// Another service's data on a window (a control's state); dies with it.
class Extension {
public:
    virtual ~Extension() = default;
    virtual void OnFocus() {}         // the window took the focus
    virtual void OnTextChanged() {}   // by SetWindowText or by the user
};

class Backend {
public:
    virtual ~Backend() = default;
    // The peer of a new top-level window; null when it cannot be made.
    virtual std::unique_ptr<Peer> CreateTopLevel(Handle window, const WindowDesc& desc) = 0;
    virtual void Pump() = 0;
    // Waits a little for native events; false when none can ever come.
    virtual bool Wait() = 0;
    virtual int MessageBox(Handle owner, std::string_view text, std::string_view caption, uint32_t type) = 0;
    // The chosen native-looking path (code page 932); false when cancelled.
    virtual bool FileDialog(const FileDialogRequest& request, std::string& path) = 0;
    virtual void ShowCursor(bool visible) = 0;
    // The cursor in screen pixels; false when it cannot be read.
    virtual bool CursorPos(int32_t& x, int32_t& y) = 0;
    virtual int SystemMetric(int index) = 0;
};

// Replaces the backend; every window is dropped without messages and the
// queue is emptied. Also routes host::kernel::MessageBox here.
void InstallBackend(std::unique_ptr<Backend> backend);
std::unique_ptr<Backend> CreateRealBackend();

// ---------------------------------------------------------------- windows of other services

struct WindowInit {
    Handle parent = nullptr;
    WindowProc proc = nullptr;
    uint32_t style = 0;
    Rect rect{};
    std::string text;
    bool visible = false;
    bool enabled = true;
};

// A window without a peer yet; AttachPeer then pushes the state to the peer.
Handle AddWindow(const WindowInit& init);
void AttachPeer(Handle window, std::unique_ptr<Peer> peer);
void AttachExtension(Handle window, std::unique_ptr<Extension> extension);
Peer* GetPeer(Handle window);
Extension* GetExtension(Handle window);
// Removes a window and its children without sending anything.
void DiscardWindow(Handle window);

// ---------------------------------------------------------------- native events

// Whether input reaches the window: it and the parents it lives in are enabled.
bool EnabledChain(Handle window);
// User input for a window: dropped when the window or a parent is disabled.
// A key-down may carry the characters it typed (for TranslateMessage).
bool PostInput(Handle window, uint32_t message, WParam wParam, LParam lParam, std::string chars = {});
// A key going down (repeat: again, held) or up, as PostInput. With Alt held
// it is a system key, unless Ctrl is held too (AltGr); F10 and Alt always are.
bool PostKey(Handle window, uint32_t virtualKey, bool down, bool repeat, bool alt, bool ctrl, std::string chars = {});
// Typed text: joins the key-down still waiting for the window, else queues
// kWmChar messages.
void PostText(Handle window, std::string_view text);
void NotifyActivated(Handle window, bool active);
void NotifyFocused(Handle window);
void NotifyTextChanged(Handle window, std::string_view text);
// The user or the window manager moved or resized the window: its new outer
// rectangle, as MoveWindow takes it. The peer is not told; it did the move.
void NotifyMoved(Handle window, const Rect& rect);
// refused: names dropped with no code page 932 form (DragQueryRefusedCount).
bool PostDroppedFiles(Handle window, std::vector<std::string> paths, uint32_t refused = 0);
// A file chooser's backend: the name chosen has no code page 932 form.
void NoteFileNameNotCp932();
bool IsQueued(Handle window, uint32_t message);
// Blocks a little (the backend's Wait); false when nothing can ever arrive.
bool WaitForMessages();

// ---------------------------------------------------------------- input method

// What the platform's input method reports for a window, as it reports it
// (UTF-8; positions in characters). The text service (host/text) listens and
// turns it into the kWmIme... messages.
class ImeListener {
public:
    virtual ~ImeListener() = default;
    // The text being composed; empty when the composition was cancelled or
    // cleared. selectionLength > 0 marks the clause being converted.
    virtual void Composition(Handle window, std::string_view utf8, int cursor, int selectionLength) = 0;
    // Committed text; false leaves it to arrive as kWmChar.
    virtual bool Commit(Handle window, std::string_view utf8) = 0;
};

// Not owned; null stops listening (committed text then arrives as kWmChar,
// compositions are dropped).
void SetImeListener(ImeListener* listener);
ImeListener* GetImeListener();

// GTK, shared by the real backends; started on first use with
// gtk_init_check, pumped by PeekMessage once started.
bool StartGtk();
bool GtkStarted();
void PumpGtk();

}  // namespace host::window
