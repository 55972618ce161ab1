// The backend-independent half of the window service: the window table, the
// queue, focus and activation, dropped files, and the geometry that every
// backend shares. Backends only mirror state and report native events.
#include "host/window/WindowBackend.h"

#include "host/kernel/Kernel.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <deque>
#include <iterator>
#include <map>

namespace host::window {
namespace {

struct Entry {
    Handle parent = nullptr;
    WindowProc proc = nullptr;
    intptr_t userData = 0;
    uint32_t style = 0;
    std::string text;
    Rect rect{};
    bool visible = false;
    bool enabled = true;
    bool acceptsFiles = false;
    bool destroying = false;
    std::unique_ptr<Peer> peer;
    std::unique_ptr<Extension> extension;   // after peer, so it dies first
};

struct Queued {
    Message message;
    std::string chars;   // what a key-down typed, for TranslateMessage
};

struct Service {
    std::unique_ptr<Backend> backend;
    std::map<uintptr_t, Entry> windows;   // children always have larger ids
    uintptr_t nextId = 0x100;
    std::deque<Queued> queue;
    bool quitPending = false;
    int quitCode = 0;
    Message lastTaken{};
    std::string lastChars;
    std::array<bool, 256> keys{};
    int cursorCount = 0;
    Handle focus = nullptr;
    Handle foreground = nullptr;
    std::map<uintptr_t, std::vector<std::string>> drops;
    std::map<uintptr_t, uint32_t> refusedDrops;
    uintptr_t nextDrop = 1;
    FileDialogError fileDialogError = FileDialogError::kNone;
};

// Never destroyed: procedures and the kernel's message-box handler may still
// reach it while the process exits.
Service& S() {
    static Service* service = new Service;
    return *service;
}

Handle ToHandle(uintptr_t id) { return reinterpret_cast<Handle>(id); }
uintptr_t ToId(Handle window) { return reinterpret_cast<uintptr_t>(window); }

Entry* Find(Handle window) {
    if (!window) return nullptr;
    auto it = S().windows.find(ToId(window));
    return it == S().windows.end() ? nullptr : &it->second;
}

Backend& Current() {
    if (!S().backend) InstallBackend(CreateRealBackend());
    return *S().backend;
}

// Parents before children, as kWmDestroy goes out.
void CollectTree(uintptr_t id, std::vector<uintptr_t>& out) {
    out.push_back(id);
    auto& windows = S().windows;
    for (auto it = windows.upper_bound(id); it != windows.end(); ++it)
        if (ToId(it->second.parent) == id) CollectTree(it->first, out);
}

void Erase(uintptr_t id) {
    Service& s = S();
    auto it = s.windows.find(id);
    if (it == s.windows.end()) return;
    Entry dead = std::move(it->second);   // its peer may call back in while it dies
    s.windows.erase(it);
    if (ToId(s.focus) == id) s.focus = nullptr;
    if (ToId(s.foreground) == id) s.foreground = nullptr;
}

void EraseTree(Handle window) {
    std::vector<uintptr_t> ids;
    CollectTree(ToId(window), ids);
    for (auto it = ids.rbegin(); it != ids.rend(); ++it) Erase(*it);
}

// A child lives in its parent's client area; any other window with a
// parent is only owned by it (a dialog and its owner) and stands alone.
bool IsChild(const Entry& e) { return e.parent && (e.style & kWsChild); }

struct Inset {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// The frame and caption around a captioned window's client area.
Inset ClientInset(const Entry& e) {
    Inset inset;
    if ((e.style & kWsCaption) != kWsCaption) return inset;
    Backend& b = Current();
    inset.left = inset.right = b.SystemMetric(kSmCxFixedFrame);
    inset.bottom = b.SystemMetric(kSmCyFixedFrame);
    inset.top = inset.bottom + b.SystemMetric(kSmCyCaption);
    return inset;
}

struct Point {
    int32_t x = 0, y = 0;
};

Point ClientOrigin(Handle window) {
    Entry* e = Find(window);
    if (!e) return {};
    Point p = IsChild(*e) ? ClientOrigin(e->parent) : Point{};
    Inset inset = ClientInset(*e);
    return {p.x + e->rect.left + inset.left, p.y + e->rect.top + inset.top};
}

void TrackKey(const Message& m) {
    bool down = m.message == kWmKeyDown || m.message == kWmSysKeyDown;
    bool up = m.message == kWmKeyUp || m.message == kWmSysKeyUp;
    if (down || up) S().keys[m.wParam & 0xFF] = down;
}

bool HasExtension(std::string_view path) {
    size_t slash = path.find_last_of("/\\");
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    size_t dot = name.rfind('.');
    return dot != std::string_view::npos && dot > 0;
}

constexpr int32_t kMaxExtent = 32767;

bool InRange(int64_t v, int64_t lo, int64_t hi) { return v >= lo && v <= hi; }

}  // namespace

// ---------------------------------------------------------------- backends

void InstallBackend(std::unique_ptr<Backend> backend) {
    Service& s = S();
    while (!s.windows.empty()) Erase(std::prev(s.windows.end())->first);
    s.queue.clear();
    s.quitPending = false;
    s.lastTaken = {};
    s.lastChars.clear();
    s.keys = {};
    s.cursorCount = 0;
    s.focus = s.foreground = nullptr;
    s.drops.clear();
    s.refusedDrops.clear();
    s.backend = std::move(backend);
    host::kernel::SetMessageBoxHandler([](std::string_view text, std::string_view caption, uint32_t type) {
        return MessageBox(nullptr, text, caption, type);
    });
}

void UseRealBackend() { InstallBackend(CreateRealBackend()); }

Handle AddWindow(const WindowInit& init) {
    Service& s = S();
    uintptr_t id = s.nextId++;
    Entry& e = s.windows[id];
    e.parent = init.parent;
    e.proc = init.proc;
    e.style = init.style & ~kWsVisible;
    e.rect = init.rect;
    e.text = init.text;
    e.visible = init.visible;
    e.enabled = init.enabled;
    return ToHandle(id);
}

void AttachPeer(Handle window, std::unique_ptr<Peer> peer) {
    Entry* e = Find(window);
    if (!e) return;
    e->peer = std::move(peer);
    Peer& p = *e->peer;
    p.SetStyle(e->style);
    p.SetText(e->text);
    p.SetRect(e->rect);
    p.SetEnabled(e->enabled);
    p.SetVisible(e->visible);
}

void AttachExtension(Handle window, std::unique_ptr<Extension> extension) {
    if (Entry* e = Find(window)) e->extension = std::move(extension);
}

Peer* GetPeer(Handle window) {
    Entry* e = Find(window);
    return e ? e->peer.get() : nullptr;
}

Extension* GetExtension(Handle window) {
    Entry* e = Find(window);
    return e ? e->extension.get() : nullptr;
}

void DiscardWindow(Handle window) {
    if (Find(window)) EraseTree(window);
}

// ---------------------------------------------------------------- queue

bool PeekMessage(Message& out) {
    Service& s = S();
    Current().Pump();
    PumpGtk();
    while (!s.queue.empty()) {
        Queued q = std::move(s.queue.front());
        s.queue.pop_front();
        if (q.message.window && !Find(q.message.window)) continue;   // sent to a window since destroyed
        out = q.message;
        s.lastTaken = q.message;
        s.lastChars = std::move(q.chars);
        TrackKey(out);
        return true;
    }
    if (s.quitPending) {
        s.quitPending = false;
        s.lastChars.clear();
        out = Message{nullptr, kWmQuit, static_cast<WParam>(s.quitCode), 0, host::kernel::TimeGetTime()};
        return true;
    }
    return false;
}

bool TranslateMessage(const Message& m) {
    Service& s = S();
    const Message& last = s.lastTaken;
    if (m.message != kWmKeyDown || s.lastChars.empty()) return false;
    if (m.window != last.window || m.message != last.message || m.wParam != last.wParam ||
        m.lParam != last.lParam || m.time != last.time)
        return false;
    std::string chars = std::move(s.lastChars);
    s.lastChars.clear();
    for (size_t i = chars.size(); i-- > 0;)
        s.queue.push_front({Message{m.window, kWmChar, static_cast<uint8_t>(chars[i]), m.lParam, m.time}, {}});
    return true;
}

LResult DispatchMessage(const Message& m) {
    if (!m.window) return 0;
    return SendMessage(m.window, m.message, m.wParam, m.lParam);
}

bool PostMessage(Handle window, uint32_t message, WParam wParam, LParam lParam) {
    if (window && !Find(window)) return false;
    S().queue.push_back({Message{window, message, wParam, lParam, host::kernel::TimeGetTime()}, {}});
    return true;
}

LResult SendMessage(Handle window, uint32_t message, WParam wParam, LParam lParam) {
    Entry* e = Find(window);
    if (!e) return 0;
    WindowProc proc = e->proc;
    return proc ? proc(window, message, wParam, lParam) : DefWindowProc(window, message, wParam, lParam);
}

void PostQuitMessage(int exitCode) {
    S().quitPending = true;
    S().quitCode = exitCode;
}

LResult DefWindowProc(Handle window, uint32_t message, WParam wParam, LParam lParam) {
    switch (message) {
    case kWmClose:
        DestroyWindow(window);
        return 0;
    case kWmSysKeyDown:
        if (wParam == kVkF4 && (lParam & kKeyAltDown)) SendMessage(window, kWmClose, 0, 0);
        return 0;
    default:
        return 0;
    }
}

LResult CallWindowProc(WindowProc proc, Handle window, uint32_t message, WParam wParam, LParam lParam) {
    return proc ? proc(window, message, wParam, lParam) : DefWindowProc(window, message, wParam, lParam);
}

int16_t GetKeyState(uint32_t virtualKey) {
    return virtualKey < 256 && S().keys[virtualKey] ? static_cast<int16_t>(-0x8000) : 0;
}

// ---------------------------------------------------------------- windows

Handle CreateWindow(const WindowDesc& desc) {
    Backend& backend = Current();
    if (desc.parent && !Find(desc.parent)) return nullptr;
    if (!InRange(desc.width, 0, kMaxExtent) || !InRange(desc.height, 0, kMaxExtent) ||
        !InRange(desc.x, -kMaxExtent, kMaxExtent) || !InRange(desc.y, -kMaxExtent, kMaxExtent))
        return nullptr;
    WindowInit init;
    init.parent = desc.parent;
    init.proc = desc.proc;
    init.style = desc.style;
    init.rect = {desc.x, desc.y, desc.x + desc.width, desc.y + desc.height};
    init.text = desc.title;
    Handle window = AddWindow(init);
    std::unique_ptr<Peer> peer = backend.CreateTopLevel(window, desc);
    if (!peer) {
        DiscardWindow(window);
        return nullptr;
    }
    AttachPeer(window, std::move(peer));
    if (desc.style & kWsVisible) ShowWindow(window, kSwShow);
    return window;
}

bool DestroyWindow(Handle window) {
    Entry* e = Find(window);
    if (!e || e->destroying) return false;
    std::vector<uintptr_t> ids;
    CollectTree(ToId(window), ids);
    for (uintptr_t id : ids) S().windows[id].destroying = true;
    for (uintptr_t id : ids)
        if (Find(ToHandle(id))) SendMessage(ToHandle(id), kWmDestroy, 0, 0);
    for (auto it = ids.rbegin(); it != ids.rend(); ++it) Erase(*it);
    return true;
}

bool IsWindow(Handle window) { return Find(window) != nullptr; }

Handle GetParent(Handle window) {
    Entry* e = Find(window);
    return e ? e->parent : nullptr;
}

bool ShowWindow(Handle window, int command) {
    Entry* e = Find(window);
    if (!e) return false;
    bool was = e->visible;
    e->visible = command != kSwHide;
    if (e->peer) e->peer->SetVisible(e->visible);
    return was;
}

bool IsWindowVisible(Handle window) {
    Entry* e = Find(window);
    if (!e) return false;
    for (; e; e = IsChild(*e) ? Find(e->parent) : nullptr)
        if (!e->visible) return false;
    return true;
}

bool EnableWindow(Handle window, bool enable) {
    Entry* e = Find(window);
    if (!e) return false;
    bool wasDisabled = !e->enabled;
    e->enabled = enable;
    if (e->peer) e->peer->SetEnabled(enable);
    return wasDisabled;
}

bool IsWindowEnabled(Handle window) {
    Entry* e = Find(window);
    return e && e->enabled;
}

bool SetWindowText(Handle window, std::string_view text) {
    Entry* e = Find(window);
    if (!e) return false;
    e->text = std::string(text);
    if (e->peer) e->peer->SetText(text);
    if (Extension* x = GetExtension(window)) x->OnTextChanged();
    return true;
}

std::string GetWindowText(Handle window) {
    Entry* e = Find(window);
    return e ? e->text : std::string();
}

bool MoveWindow(Handle window, int32_t x, int32_t y, int32_t width, int32_t height) {
    Entry* e = Find(window);
    if (!e) return false;
    if (!InRange(x, -kMaxExtent, kMaxExtent) || !InRange(y, -kMaxExtent, kMaxExtent)) return false;
    width = std::clamp(width, 0, kMaxExtent);
    height = std::clamp(height, 0, kMaxExtent);
    e->rect = {x, y, x + width, y + height};
    if (e->peer) e->peer->SetRect(e->rect);
    return true;
}

Rect GetWindowRect(Handle window) {
    Entry* e = Find(window);
    if (!e) return {};
    Point origin = IsChild(*e) ? ClientOrigin(e->parent) : Point{};
    const Rect& r = e->rect;
    return {origin.x + r.left, origin.y + r.top, origin.x + r.right, origin.y + r.bottom};
}

Rect GetClientRect(Handle window) {
    Entry* e = Find(window);
    if (!e) return {};
    Inset inset = ClientInset(*e);
    return {0, 0, std::max(0, e->rect.Width() - inset.left - inset.right),
            std::max(0, e->rect.Height() - inset.top - inset.bottom)};
}

Rect MapRect(Handle from, Handle to, const Rect& rect) {
    Point a = from ? ClientOrigin(from) : Point{};
    Point b = to ? ClientOrigin(to) : Point{};
    int32_t dx = a.x - b.x, dy = a.y - b.y;
    return {rect.left + dx, rect.top + dy, rect.right + dx, rect.bottom + dy};
}

bool SetWindowStyle(Handle window, uint32_t style) {
    Entry* e = Find(window);
    if (!e) return false;
    e->style = style & ~kWsVisible;
    if (e->peer) e->peer->SetStyle(e->style);
    return true;
}

uint32_t GetWindowStyle(Handle window) {
    Entry* e = Find(window);
    return e ? (e->style | (e->visible ? kWsVisible : 0)) : 0;
}

WindowProc SetWindowProc(Handle window, WindowProc proc) {
    Entry* e = Find(window);
    if (!e) return nullptr;
    WindowProc previous = e->proc;
    e->proc = proc;
    return previous;
}

intptr_t SetUserData(Handle window, intptr_t value) {
    Entry* e = Find(window);
    if (!e) return 0;
    intptr_t previous = e->userData;
    e->userData = value;
    return previous;
}

intptr_t GetUserData(Handle window) {
    Entry* e = Find(window);
    return e ? e->userData : 0;
}

Handle SetFocus(Handle window) {
    Service& s = S();
    Handle previous = s.focus;
    if (!window) {
        s.focus = nullptr;
        return previous;
    }
    Entry* e = Find(window);
    if (!e || window == s.focus) return e ? previous : nullptr;
    s.focus = window;
    if (e->peer) e->peer->Focus();
    if (Extension* x = GetExtension(window)) x->OnFocus();
    return previous;
}

Handle GetFocus() { return S().focus; }

Handle GetForegroundWindow() { return S().foreground; }

bool SetForegroundWindow(Handle window) {
    Entry* e = Find(window);
    if (!e) return false;
    if (e->peer) e->peer->Raise();
    return true;
}

bool GetCursorClientPos(Handle window, int32_t& x, int32_t& y) {
    if (!Find(window)) return false;
    int32_t sx = 0, sy = 0;
    if (!Current().CursorPos(sx, sy)) return false;
    const Point origin = ClientOrigin(window);
    x = sx - origin.x;
    y = sy - origin.y;
    return true;
}

int ShowCursor(bool show) {
    Service& s = S();
    s.cursorCount += show ? 1 : -1;
    Current().ShowCursor(s.cursorCount >= 0);
    return s.cursorCount;
}

int GetSystemMetrics(int index) { return Current().SystemMetric(index); }

void* GetSdlWindow(Handle window) {
    Entry* e = Find(window);
    return e && e->peer ? e->peer->SdlWindow() : nullptr;
}

// ---------------------------------------------------------------- dropped files

void DragAcceptFiles(Handle window, bool accept) {
    Entry* e = Find(window);
    if (!e) return;
    e->acceptsFiles = accept;
    if (e->peer) e->peer->AcceptFiles(accept);
}

uint32_t DragQueryFileCount(WParam drop) {
    auto it = S().drops.find(drop);
    return it == S().drops.end() ? 0 : static_cast<uint32_t>(it->second.size());
}

std::string DragQueryFile(WParam drop, uint32_t index) {
    auto it = S().drops.find(drop);
    if (it == S().drops.end() || index >= it->second.size()) return {};
    return it->second[index];
}

uint32_t DragQueryRefusedCount(WParam drop) {
    auto it = S().refusedDrops.find(drop);
    return it == S().refusedDrops.end() ? 0 : it->second;
}

void DragFinish(WParam drop) {
    S().drops.erase(drop);
    S().refusedDrops.erase(drop);
}

bool PostDroppedFiles(Handle window, std::vector<std::string> paths, uint32_t refused) {
    Entry* e = Find(window);
    if (!e || !e->acceptsFiles || (paths.empty() && refused == 0) || !EnabledChain(window)) return false;
    Service& s = S();
    uintptr_t drop = s.nextDrop++;
    s.drops[drop] = std::move(paths);
    if (refused) s.refusedDrops[drop] = refused;
    return PostMessage(window, kWmDropFiles, drop, 0);
}

// ---------------------------------------------------------------- native events

bool EnabledChain(Handle window) {
    for (Entry* e = Find(window); e; e = IsChild(*e) ? Find(e->parent) : nullptr)
        if (!e->enabled) return false;
    return true;
}

bool PostInput(Handle window, uint32_t message, WParam wParam, LParam lParam, std::string chars) {
    if (!Find(window) || !EnabledChain(window)) return false;
    S().queue.push_back({Message{window, message, wParam, lParam, host::kernel::TimeGetTime()}, std::move(chars)});
    return true;
}

bool PostKey(Handle window, uint32_t virtualKey, bool down, bool repeat, bool alt, bool ctrl, std::string chars) {
    bool system = (alt && !ctrl) || virtualKey == kVkF10 || virtualKey == kVkMenu;
    uint32_t flags = 1 | (alt ? kKeyAltDown : 0);
    if (!down) flags |= kKeyWasDown | kKeyReleased;
    else if (repeat) flags |= kKeyWasDown;
    uint32_t message = down ? (system ? kWmSysKeyDown : kWmKeyDown) : (system ? kWmSysKeyUp : kWmKeyUp);
    return PostInput(window, message, virtualKey, static_cast<LParam>(flags), std::move(chars));
}

void PostText(Handle window, std::string_view text) {
    Service& s = S();
    if (text.empty() || !Find(window) || !EnabledChain(window)) return;
    for (auto it = s.queue.rbegin(); it != s.queue.rend(); ++it) {
        if (it->message.window != window) continue;
        if (it->message.message == kWmKeyDown && it->chars.empty()) {
            it->chars = std::string(text);
            return;
        }
        break;
    }
    for (char c : text) PostMessage(window, kWmChar, static_cast<uint8_t>(c), 1);
}

void NotifyActivated(Handle window, bool active) {
    Service& s = S();
    if (!Find(window)) return;
    if (active) {
        Handle old = s.foreground;
        if (old == window) return;
        s.foreground = window;
        if (old) PostMessage(old, kWmActivate, kWaInactive, reinterpret_cast<LParam>(window));
        else PostMessage(window, kWmActivateApp, 1, 0);
        PostMessage(window, kWmActivate, kWaActive, reinterpret_cast<LParam>(old));
    } else if (s.foreground == window) {
        s.foreground = nullptr;
        PostMessage(window, kWmActivate, kWaInactive, 0);
        PostMessage(window, kWmActivateApp, 0, 0);
    }
}

void NotifyFocused(Handle window) {
    Service& s = S();
    if (!Find(window) || s.focus == window) return;
    s.focus = window;
    if (Extension* x = GetExtension(window)) x->OnFocus();
}

void NotifyTextChanged(Handle window, std::string_view text) {
    Entry* e = Find(window);
    if (!e) return;
    e->text = std::string(text);
    if (Extension* x = GetExtension(window)) x->OnTextChanged();
}

void NotifyMoved(Handle window, const Rect& rect) {
    if (Entry* e = Find(window)) e->rect = rect;
}

bool IsQueued(Handle window, uint32_t message) {
    for (const Queued& q : S().queue)
        if (q.message.window == window && q.message.message == message) return true;
    return false;
}

bool WaitForMessages() { return Current().Wait(); }

namespace {
std::atomic<ImeListener*> g_imeListener{nullptr};
}  // namespace

void SetImeListener(ImeListener* listener) { g_imeListener = listener; }
ImeListener* GetImeListener() { return g_imeListener; }

// ---------------------------------------------------------------- boxes

int MessageBox(Handle owner, std::string_view text, std::string_view caption, uint32_t type) {
    if (owner && !Find(owner)) return 0;
    return Current().MessageBox(owner, text, caption, type);
}

void NoteFileNameNotCp932() { S().fileDialogError = FileDialogError::kNameNotCp932; }

FileDialogError LastFileDialogError() { return S().fileDialogError; }

bool ShowFileDialog(const FileDialogRequest& request, std::string& path) {
    S().fileDialogError = FileDialogError::kCancelled;
    if (request.owner && !Find(request.owner)) return false;
    std::string chosen;
    if (!Current().FileDialog(request, chosen) || chosen.empty()) return false;
    std::string_view extension = request.defaultExtension;
    while (!extension.empty() && extension.front() == '.') extension.remove_prefix(1);
    if (request.save && !extension.empty() && !HasExtension(chosen)) {
        chosen += '.';
        chosen += extension;
    }
    if (chosen.size() + 1 > request.maxPath) {
        S().fileDialogError = FileDialogError::kPathTooLong;
        return false;
    }
    path = std::move(chosen);
    S().fileDialogError = FileDialogError::kNone;
    return true;
}

}  // namespace host::window
