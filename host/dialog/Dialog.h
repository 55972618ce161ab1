// The dialog service: dialogs built from templates registered by id, and the
// controls in them. Dialogs and controls are windows of the window service;
// their notifications reach the dialog's procedure as they would on Windows:
// kWmCommand with (code << 16 | id) and the control, kWmNotify with a
// NotifyHeader for tabs, kWmHScroll for trackbars.
//
// Backends: GTK3 (the default) and the fake (FakeDialog.h). Sizes are in
// dialog units, converted with the base units of a 9-point Japanese UI font:
// x pixels = du * 6 / 4, y pixels = du * 13 / 8.
#pragma once

#include "host/window/Window.h"

#include <string>
#include <string_view>
#include <vector>

namespace host::dialog {

using window::Handle;
using window::LParam;
using window::WindowProc;

// Notification codes.
constexpr uint32_t kBnClicked = 0;
constexpr uint32_t kCbnSelChange = 1;
constexpr uint32_t kLbnSelChange = 1;   // only from list boxes with kNotify
constexpr uint32_t kEnSetFocus = 0x100;
constexpr uint32_t kEnChange = 0x300;
constexpr uint32_t kEnUpdate = 0x400;
constexpr uint32_t kTcnSelChange = static_cast<uint32_t>(-551);
constexpr uint32_t kTbThumbTrack = 5;   // low word of a trackbar's kWmHScroll

// What kWmNotify's lParam points to; valid during the call only.
struct NotifyHeader {
    Handle from;
    uintptr_t id;
    uint32_t code;
};

// ---------------------------------------------------------------- templates

enum class ControlKind : uint8_t { PushButton, CheckBox, GroupBox, Static, Edit, ComboBox, ListBox, Tab, Trackbar };

// Control flags.
constexpr uint32_t kHidden = 0x01;
constexpr uint32_t kDisabled = 0x02;
constexpr uint32_t kDefaultButton = 0x04;   // Enter presses it
constexpr uint32_t kReadOnly = 0x08;        // edits
constexpr uint32_t kCentred = 0x10;         // edit and static text
constexpr uint32_t kNotify = 0x20;          // list boxes report selection changes
constexpr uint32_t kVerticalScroll = 0x40;  // list boxes
// Edits: every key stays with the edit (key capture): Enter presses no
// default button and no key moves the focus; Esc still cancels.
constexpr uint32_t kWantAllKeys = 0x80;

struct DialogRect {
    int32_t x = 0, y = 0, width = 0, height = 0;   // dialog units
};

struct ControlTemplate {
    ControlKind kind = ControlKind::Static;
    int32_t id = -1;
    std::string text;
    DialogRect rect;
    uint32_t flags = 0;
};

struct DialogTemplate {
    std::string caption;
    std::string font = "MS UI Gothic";   // shown with an installed Japanese face
    int32_t pointSize = 9;
    int32_t width = 0, height = 0;        // client area, dialog units
    bool child = false;                   // a borderless page inside a parent
    bool visible = false;                 // shown at once by CreateDialog
    std::vector<ControlTemplate> controls;
};

// False for a malformed template (no size, negative or huge rectangles).
bool RegisterTemplate(int32_t id, DialogTemplate dialog);
const DialogTemplate* FindTemplate(int32_t id);
void ClearTemplates();

window::Rect DialogToPixels(const DialogRect& rect);

// ---------------------------------------------------------------- dialogs

// Sends kWmInitDialog (lParam = param); null when it cannot be made.
Handle CreateDialog(int32_t templateId, Handle parent, WindowProc proc, LParam param);
// Runs a modal loop until EndDialog, with the owner disabled; -1 on failure.
intptr_t DialogBox(int32_t templateId, Handle owner, WindowProc proc, LParam param);
bool EndDialog(Handle dialog, intptr_t result);
Handle GetDlgItem(Handle dialog, int32_t id);
int32_t GetDlgCtrlID(Handle control);   // 0 for no control

// ---------------------------------------------------------------- controls
// Text, visibility and enabling are the window service's (SetWindowText ...).

bool SetCheck(Handle checkBox, bool checked);
bool IsChecked(Handle checkBox);
bool SetTextLimit(Handle edit, int32_t bytes);   // user typing only; 0 lifts it

// Combo and list boxes. Indices are 0-based; -1 means none or failure.
int32_t AddItem(Handle box, std::string_view text);
int32_t DeleteItem(Handle box, int32_t index);   // items left
bool ClearItems(Handle box);
int32_t ItemCount(Handle box);
std::string ItemText(Handle box, int32_t index);
bool SelectItem(Handle box, int32_t index);      // -1 clears; out of range clears and fails
int32_t GetSelection(Handle box);

bool SetTrackbarRange(Handle trackbar, int32_t min, int32_t max);
bool SetTrackbarPos(Handle trackbar, int32_t position);   // clamped to the range
int32_t GetTrackbarPos(Handle trackbar);
bool SetTrackbarLineSize(Handle trackbar, int32_t size);

int32_t InsertTab(Handle tab, int32_t index, std::string_view text);   // its index
bool SelectTab(Handle tab, int32_t index);
int32_t GetTabSelection(Handle tab);
window::Rect GetTabDisplayRect(Handle tab);   // the page area, tab client coordinates

// Installs the GTK backend (the default), destroying every dialog.
void UseRealBackend();

}  // namespace host::dialog
