// The backend-independent half of the dialog service: the template registry,
// building dialogs and their controls, the controls' state, the modal loop
// and every notification. Backends only mirror state and report the user.
#include "host/dialog/DialogBackend.h"

#include "host/kernel/Kernel.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace host::dialog {
namespace {

using window::Extension;
using window::MakeWParam;
using window::Rect;

constexpr int32_t kMaxDialogUnits = 8192;
constexpr int32_t kNoLimit = 0x7FFFFFFE;
constexpr int32_t kBaseUnitX = 6;
constexpr int32_t kBaseUnitY = 13;

struct DialogState : Extension {
    int32_t templateId = 0;
    WindowProc proc = nullptr;
    bool modal = false;
    bool ended = false;
    intptr_t result = 0;
    int32_t defaultId = host::kernel::kIdOk;
    std::vector<Handle> controls;   // template order
};

struct ControlState : Extension {
    ControlKind kind = ControlKind::Static;
    int32_t id = 0;
    uint32_t flags = 0;
    Handle self = nullptr;
    Peer* peer = nullptr;   // owned by the window, which outlives this
    std::vector<std::string> items;
    int32_t selection = -1;
    bool checked = false;
    int32_t min = 0, max = 100, position = 0, lineSize = 1;
    int32_t limit = kNoLimit;

    void OnFocus() override {
        if (kind == ControlKind::Edit) Command(kEnSetFocus);
    }
    // Windows reports program changes of an edit's text as well as the user's.
    void OnTextChanged() override {
        if (kind != ControlKind::Edit) return;
        Handle me = self;
        Command(kEnUpdate);
        if (window::IsWindow(me)) Command(kEnChange);
    }
    void Command(uint32_t code) const {
        window::SendMessage(window::GetParent(self), window::kWmCommand, MakeWParam(static_cast<uint32_t>(id), code),
                            reinterpret_cast<LParam>(self));
    }
    void PushItems() {
        peer->SetItems(items);
        peer->SetSelection(selection);
    }
    void PushTrackbar() { peer->SetTrackbar(min, max, position, lineSize); }
};

struct Service {
    std::map<int32_t, DialogTemplate> templates;
    std::unique_ptr<Backend> backend;
    std::vector<Handle> dialogs;   // oldest first; dead ones pruned on the way
};

Service& S() {
    static Service* service = new Service;
    return *service;
}

Backend& Current() {
    if (!S().backend) InstallBackend(CreateGtkBackend());
    return *S().backend;
}

DialogState* DialogOf(Handle window) { return dynamic_cast<DialogState*>(window::GetExtension(window)); }
ControlState* ControlOf(Handle window) { return dynamic_cast<ControlState*>(window::GetExtension(window)); }

ControlState* ControlOf(Handle window, ControlKind kind) {
    ControlState* c = ControlOf(window);
    return c && c->kind == kind ? c : nullptr;
}

ControlState* BoxOf(Handle window) {
    ControlState* c = ControlOf(window);
    return c && (c->kind == ControlKind::ComboBox || c->kind == ControlKind::ListBox) ? c : nullptr;
}

// Rounds half away from zero, as dialog-unit conversion does on Windows.
int32_t MulDiv(int32_t value, int32_t mul, int32_t div) {
    int64_t p = static_cast<int64_t>(value) * mul;
    return static_cast<int32_t>(p >= 0 ? (p + div / 2) / div : -((-p + div / 2) / div));
}

bool ValidRect(const DialogRect& r) {
    auto in = [](int32_t v, int32_t lo) { return v >= lo && v <= kMaxDialogUnits; };
    return in(r.x, -kMaxDialogUnits) && in(r.y, -kMaxDialogUnits) && in(r.width, 0) && in(r.height, 0);
}

// Unhandled, the close button means Cancel, as the dialog manager has it.
window::LResult DialogWindowProc(Handle dialog, uint32_t message, window::WParam wParam, LParam lParam) {
    DialogState* d = DialogOf(dialog);
    WindowProc proc = d ? d->proc : nullptr;
    window::LResult result = proc ? proc(dialog, message, wParam, lParam) : 0;
    if (result == 0 && message == window::kWmClose && window::IsWindow(dialog)) UserCancelled(dialog);
    return result;
}

Handle AddControl(Backend& backend, Handle dialog, const ControlTemplate& t) {
    window::WindowInit init;
    init.parent = dialog;
    init.style = window::kWsChild;
    init.rect = DialogToPixels(t.rect);
    init.text = t.text;
    init.visible = (t.flags & kHidden) == 0;
    init.enabled = (t.flags & kDisabled) == 0;
    Handle control = window::AddWindow(init);
    std::unique_ptr<Peer> peer = backend.CreateControlPeer(control, t);
    if (!peer) return nullptr;
    auto state = std::make_unique<ControlState>();
    state->kind = t.kind;
    state->id = t.id;
    state->flags = t.flags;
    state->self = control;
    state->peer = peer.get();
    ControlState& c = *state;
    window::AttachExtension(control, std::move(state));
    window::AttachPeer(control, std::move(peer));
    if (c.kind == ControlKind::Trackbar) c.PushTrackbar();
    return control;
}

Handle Build(int32_t templateId, Handle parent, WindowProc proc, LParam param, bool modal) {
    Service& s = S();
    auto found = s.templates.find(templateId);
    if (found == s.templates.end()) return nullptr;
    const DialogTemplate t = found->second;   // a procedure may register templates while we build
    if (parent && !window::IsWindow(parent)) return nullptr;
    if (t.child && !parent) return nullptr;
    Backend& backend = Current();

    window::WindowInit init;
    init.parent = parent;
    init.proc = DialogWindowProc;
    init.text = t.caption;
    init.rect = DialogToPixels({0, 0, t.width, t.height});
    if (t.child) {
        init.style = window::kWsChild;
    } else {
        init.style = window::kWsPopup | window::kWsCaption | window::kWsSysMenu;
        int32_t frameX = window::GetSystemMetrics(window::kSmCxFixedFrame);
        int32_t frameY = window::GetSystemMetrics(window::kSmCyFixedFrame);
        init.rect.right += 2 * frameX;
        init.rect.bottom += 2 * frameY + window::GetSystemMetrics(window::kSmCyCaption);
    }
    Handle dialog = window::AddWindow(init);
    auto state = std::make_unique<DialogState>();
    state->templateId = templateId;
    state->proc = proc;
    state->modal = modal;
    DialogState& d = *state;
    window::AttachExtension(dialog, std::move(state));
    std::unique_ptr<Peer> peer = backend.CreateDialogPeer(dialog, t);
    if (!peer) {
        window::DiscardWindow(dialog);
        return nullptr;
    }
    Peer& dialogPeer = *peer;
    window::AttachPeer(dialog, std::move(peer));
    if (modal) dialogPeer.SetModal(true);

    for (const ControlTemplate& ct : t.controls) {
        Handle control = AddControl(backend, dialog, ct);
        if (!control) {
            window::DiscardWindow(dialog);
            return nullptr;
        }
        if (ct.kind == ControlKind::PushButton && (ct.flags & kDefaultButton)) d.defaultId = ct.id;
        d.controls.push_back(control);
    }
    std::erase_if(s.dialogs, [](Handle h) { return !window::IsWindow(h); });
    s.dialogs.push_back(dialog);

    Handle first = d.controls.empty() ? nullptr : d.controls.front();
    window::SendMessage(dialog, window::kWmInitDialog, reinterpret_cast<window::WParam>(first), param);
    if (!window::IsWindow(dialog)) return nullptr;
    if (!modal && t.visible) window::ShowWindow(dialog, window::kSwShow);
    return dialog;
}

bool SendCommandTo(Handle dialog, int32_t id) {
    Handle control = GetDlgItem(dialog, id);
    if (control && !window::IsWindowEnabled(control)) return false;
    window::SendMessage(dialog, window::kWmCommand, MakeWParam(static_cast<uint32_t>(id), kBnClicked),
                        reinterpret_cast<LParam>(control));
    return true;
}

}  // namespace

// ---------------------------------------------------------------- templates

bool RegisterTemplate(int32_t id, DialogTemplate dialog) {
    if (dialog.width <= 0 || dialog.height <= 0 || dialog.width > kMaxDialogUnits || dialog.height > kMaxDialogUnits)
        return false;
    if (dialog.pointSize <= 0 || dialog.pointSize > 72) return false;
    for (const ControlTemplate& c : dialog.controls)
        if (static_cast<uint8_t>(c.kind) > static_cast<uint8_t>(ControlKind::Trackbar) || !ValidRect(c.rect))
            return false;
    S().templates[id] = std::move(dialog);
    return true;
}

const DialogTemplate* FindTemplate(int32_t id) {
    auto it = S().templates.find(id);
    return it == S().templates.end() ? nullptr : &it->second;
}

void ClearTemplates() { S().templates.clear(); }

Rect DialogToPixels(const DialogRect& r) {
    int32_t left = MulDiv(r.x, kBaseUnitX, 4), top = MulDiv(r.y, kBaseUnitY, 8);
    return {left, top, left + MulDiv(r.width, kBaseUnitX, 4), top + MulDiv(r.height, kBaseUnitY, 8)};
}

// ---------------------------------------------------------------- backends

void InstallBackend(std::unique_ptr<Backend> backend) {
    Service& s = S();
    for (Handle h : s.dialogs)
        if (DialogOf(h)) window::DiscardWindow(h);
    s.dialogs.clear();
    s.backend = std::move(backend);
}

void UseRealBackend() { InstallBackend(CreateGtkBackend()); }

Handle NewestDialog(int32_t templateId) {
    const std::vector<Handle>& dialogs = S().dialogs;
    for (auto it = dialogs.rbegin(); it != dialogs.rend(); ++it) {
        DialogState* d = DialogOf(*it);
        if (d && d->templateId == templateId) return *it;
    }
    return nullptr;
}

// ---------------------------------------------------------------- dialogs

Handle CreateDialog(int32_t templateId, Handle parent, WindowProc proc, LParam param) {
    return Build(templateId, parent, proc, param, false);
}

intptr_t DialogBox(int32_t templateId, Handle owner, WindowProc proc, LParam param) {
    if (owner && !window::IsWindow(owner)) return -1;
    Handle dialog = Build(templateId, owner, proc, param, true);
    if (!dialog) return -1;
    bool disabledOwner = owner && window::IsWindowEnabled(owner);
    if (disabledOwner) window::EnableWindow(owner, false);
    if (!DialogOf(dialog)->ended) {
        window::ShowWindow(dialog, window::kSwShow);
        Current().OnModalShown(dialog);
    }
    intptr_t result = -1;
    for (;;) {
        DialogState* d = DialogOf(dialog);
        if (!d) break;   // destroyed under the loop
        if (d->ended) {
            result = d->result;
            break;
        }
        window::Message m;
        if (window::PeekMessage(m)) {
            if (m.message == window::kWmQuit) {   // leave it for the outer loop
                window::PostQuitMessage(static_cast<int>(m.wParam));
                break;
            }
            window::TranslateMessage(m);
            window::DispatchMessage(m);
        } else if (!window::WaitForMessages()) {
            break;
        }
    }
    if (disabledOwner && window::IsWindow(owner)) window::EnableWindow(owner, true);
    if (window::IsWindow(dialog)) window::DestroyWindow(dialog);
    return result;
}

bool EndDialog(Handle dialog, intptr_t result) {
    DialogState* d = DialogOf(dialog);
    if (!d) return false;
    d->ended = true;
    d->result = result;
    if (!d->modal) window::ShowWindow(dialog, window::kSwHide);
    return true;
}

Handle GetDlgItem(Handle dialog, int32_t id) {
    DialogState* d = DialogOf(dialog);
    if (!d) return nullptr;
    for (Handle control : d->controls)
        if (ControlState* c = ControlOf(control); c && c->id == id) return control;
    return nullptr;
}

int32_t GetDlgCtrlID(Handle control) {
    ControlState* c = ControlOf(control);
    return c ? c->id : 0;
}

// ---------------------------------------------------------------- controls

bool SetCheck(Handle checkBox, bool checked) {
    ControlState* c = ControlOf(checkBox, ControlKind::CheckBox);
    if (!c) return false;
    c->checked = checked;
    c->peer->SetCheck(checked);
    return true;
}

bool IsChecked(Handle checkBox) {
    ControlState* c = ControlOf(checkBox, ControlKind::CheckBox);
    return c && c->checked;
}

bool SetTextLimit(Handle edit, int32_t bytes) {
    ControlState* c = ControlOf(edit, ControlKind::Edit);
    if (!c) return false;
    c->limit = bytes > 0 ? bytes : kNoLimit;
    c->peer->SetTextLimit(c->limit);
    return true;
}

int32_t AddItem(Handle box, std::string_view text) {
    ControlState* c = BoxOf(box);
    if (!c) return -1;
    c->items.emplace_back(text);
    c->PushItems();
    return static_cast<int32_t>(c->items.size()) - 1;
}

int32_t DeleteItem(Handle box, int32_t index) {
    ControlState* c = BoxOf(box);
    if (!c || index < 0 || index >= static_cast<int32_t>(c->items.size())) return -1;
    c->items.erase(c->items.begin() + index);
    if (c->selection == index) c->selection = -1;
    else if (c->selection > index) --c->selection;
    c->PushItems();
    return static_cast<int32_t>(c->items.size());
}

bool ClearItems(Handle box) {
    ControlState* c = BoxOf(box);
    if (!c) return false;
    c->items.clear();
    c->selection = -1;
    c->PushItems();
    return true;
}

int32_t ItemCount(Handle box) {
    ControlState* c = BoxOf(box);
    return c ? static_cast<int32_t>(c->items.size()) : -1;
}

std::string ItemText(Handle box, int32_t index) {
    ControlState* c = BoxOf(box);
    if (!c || index < 0 || index >= static_cast<int32_t>(c->items.size())) return {};
    return c->items[index];
}

bool SelectItem(Handle box, int32_t index) {
    ControlState* c = BoxOf(box);
    if (!c) return false;
    bool valid = index >= -1 && index < static_cast<int32_t>(c->items.size());
    c->selection = valid ? index : -1;
    c->peer->SetSelection(c->selection);
    return valid;
}

int32_t GetSelection(Handle box) {
    ControlState* c = BoxOf(box);
    return c ? c->selection : -1;
}

bool SetTrackbarRange(Handle trackbar, int32_t min, int32_t max) {
    ControlState* c = ControlOf(trackbar, ControlKind::Trackbar);
    if (!c || min > max) return false;
    c->min = min;
    c->max = max;
    c->position = std::clamp(c->position, min, max);
    c->PushTrackbar();
    return true;
}

bool SetTrackbarPos(Handle trackbar, int32_t position) {
    ControlState* c = ControlOf(trackbar, ControlKind::Trackbar);
    if (!c) return false;
    c->position = std::clamp(position, c->min, c->max);
    c->PushTrackbar();
    return true;
}

int32_t GetTrackbarPos(Handle trackbar) {
    ControlState* c = ControlOf(trackbar, ControlKind::Trackbar);
    return c ? c->position : 0;
}

bool SetTrackbarLineSize(Handle trackbar, int32_t size) {
    ControlState* c = ControlOf(trackbar, ControlKind::Trackbar);
    if (!c || size < 1) return false;
    c->lineSize = size;
    c->PushTrackbar();
    return true;
}

int32_t InsertTab(Handle tab, int32_t index, std::string_view text) {
    ControlState* c = ControlOf(tab, ControlKind::Tab);
    if (!c || index < 0) return -1;
    index = std::min(index, static_cast<int32_t>(c->items.size()));
    c->items.insert(c->items.begin() + index, std::string(text));
    if (c->items.size() == 1) c->selection = 0;   // the first tab is selected at once
    else if (c->selection >= index) ++c->selection;
    c->PushItems();
    return index;
}

bool SelectTab(Handle tab, int32_t index) {
    ControlState* c = ControlOf(tab, ControlKind::Tab);
    if (!c || index < 0 || index >= static_cast<int32_t>(c->items.size())) return false;
    c->selection = index;
    c->peer->SetSelection(index);
    return true;
}

int32_t GetTabSelection(Handle tab) {
    ControlState* c = ControlOf(tab, ControlKind::Tab);
    return c ? c->selection : -1;
}

Rect GetTabDisplayRect(Handle tab) {
    ControlState* c = ControlOf(tab, ControlKind::Tab);
    return c ? c->peer->TabDisplayRect(window::GetClientRect(tab)) : Rect{};
}

// ---------------------------------------------------------------- the user

bool UserClicked(Handle button) {
    ControlState* c = ControlOf(button, ControlKind::PushButton);
    if (!c) return false;
    c->Command(kBnClicked);
    return true;
}

bool UserToggled(Handle checkBox, bool checked) {
    ControlState* c = ControlOf(checkBox, ControlKind::CheckBox);
    if (!c) return false;
    c->checked = checked;
    c->peer->SetCheck(checked);
    c->Command(kBnClicked);
    return true;
}

bool UserSelected(Handle control, int32_t index) {
    ControlState* c = ControlOf(control);
    if (!c || index < 0 || index >= static_cast<int32_t>(c->items.size())) return false;
    switch (c->kind) {
    case ControlKind::ComboBox:
    case ControlKind::ListBox:
        c->selection = index;
        c->peer->SetSelection(index);
        if (c->kind == ControlKind::ComboBox) c->Command(kCbnSelChange);
        else if (c->flags & kNotify) c->Command(kLbnSelChange);
        return true;
    case ControlKind::Tab: {
        c->selection = index;
        c->peer->SetSelection(index);
        NotifyHeader header{control, static_cast<uintptr_t>(c->id), kTcnSelChange};
        window::SendMessage(window::GetParent(control), window::kWmNotify, static_cast<window::WParam>(c->id),
                            reinterpret_cast<LParam>(&header));
        return true;
    }
    default:
        return false;
    }
}

namespace {

// The text's code page 932 characters, each one or two bytes.
std::vector<std::string_view> Characters(std::string_view text) {
    std::vector<std::string_view> characters;
    for (size_t at = 0; at < text.size();) {
        const bool lead = host::kernel::IsDBCSLeadByte(static_cast<uint8_t>(text[at]));
        const size_t width = lead && at + 1 < text.size() ? 2 : 1;
        characters.push_back(text.substr(at, width));
        at += width;
    }
    return characters;
}

}  // namespace

bool UserEdited(Handle edit, std::string_view text) {
    ControlState* c = ControlOf(edit, ControlKind::Edit);
    if (!c || (c->flags & kReadOnly)) return false;
    const std::string kept = FitEdit(edit, window::GetWindowText(edit), text);
    if (kept != text) c->peer->SetText(kept);
    window::NotifyTextChanged(edit, kept);
    return true;
}

bool EditFits(Handle edit, std::string_view text) {
    ControlState* c = ControlOf(edit, ControlKind::Edit);
    return c && (text.size() <= static_cast<size_t>(c->limit) || text.size() <= window::GetWindowText(edit).size());
}

size_t EditRoom(Handle edit, std::string_view before) {
    ControlState* c = ControlOf(edit, ControlKind::Edit);
    if (!c) return 0;
    const size_t limit = static_cast<size_t>(c->limit);
    return before.size() < limit ? limit - before.size() : 0;
}

std::string FitEdit(Handle edit, std::string_view before, std::string_view after) {
    if (EditFits(edit, after)) return std::string(after);
    // What the user put in lies between the characters both texts begin
    // and end with; of it the first whole characters that fit stay.
    const std::vector<std::string_view> was = Characters(before), now = Characters(after);
    size_t head = 0, tail = 0;
    while (head < was.size() && head < now.size() && was[head] == now[head]) ++head;
    const size_t most = std::min(was.size(), now.size()) - head;
    while (tail < most && was[was.size() - 1 - tail] == now[now.size() - 1 - tail]) ++tail;
    std::string kept, end;
    for (size_t i = 0; i < head; ++i) kept += now[i];
    for (size_t i = now.size() - tail; i < now.size(); ++i) end += now[i];
    const size_t room = EditRoom(edit, kept + end);
    std::string inserted;
    for (size_t i = head; i < now.size() - tail; ++i) inserted += now[i];
    kept.append(inserted, 0, host::kernel::Cp932Fit(inserted, room));
    return kept + end;
}

bool UserSlid(Handle trackbar, int32_t position) {
    ControlState* c = ControlOf(trackbar, ControlKind::Trackbar);
    if (!c) return false;
    c->position = std::clamp(position, c->min, c->max);
    c->PushTrackbar();
    window::SendMessage(window::GetParent(trackbar), window::kWmHScroll,
                        MakeWParam(kTbThumbTrack, static_cast<uint32_t>(c->position)),
                        reinterpret_cast<LParam>(trackbar));
    return true;
}

bool UserCancelled(Handle dialog) { return DialogOf(dialog) && SendCommandTo(dialog, host::kernel::kIdCancel); }

bool UserAccepted(Handle dialog) {
    DialogState* d = DialogOf(dialog);
    if (FocusWantsAllKeys()) return false;
    return d && SendCommandTo(dialog, d->defaultId);
}

bool FocusWantsAllKeys() {
    ControlState* focus = ControlOf(window::GetFocus());
    return focus && (focus->flags & kWantAllKeys);
}

}  // namespace host::dialog
