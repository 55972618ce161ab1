// The key configuration page (4000) with its keyboard (4100) and controller
// (4200) sub pages, and the capture that assigns the key or button pressed
// to the selected row.
//
// The controller page writes the shown player's assignment into input slot
// 0 as well, so that slot reports the presses the capture looks for by row.
#include "tool/config/ConfigToolApp.h"

#include "tool/config/ConfigTemplates.h"

#include "engine/platform/Input.h"
#include "host/dialog/Dialog.h"

namespace {

namespace dlg = host::dialog;
namespace win = host::window;
using namespace config_ids;

constexpr u32 kKeyboard = 0, kController = 1;

// The row that takes the focus after a capture in row r.
constexpr i32 kNextKeyboardRow[24] = {1, 4, 3, 4, 5, 6, 7, 14, 23, 10, 11, 12, 14, 23, 15, 16, 17, 19, 20, 21, 8, 18, 4, 22};
constexpr i32 kNextPadRow[24] = {1, 14, 3, 4, 5, 6, 7, 14, 23, 9, 10, 11, 12, 23, 15, 16, 17, 19, 20, 21, 8, 18, 14, 22};

bool IsStickRow(i32 row) { return (row >= 4 && row <= 7) || (row >= 9 && row <= 12); }

// Esc, and F1 to F12, which send the quick messages in the game.
bool IsRefusedKey(u32 code) { return code == 1 || (code >= 59 && code <= 68) || code == 87 || code == 88; }

// Controller buttons as the pad inputs the game reads them from: 0..9 are
// BUTTON1..10 (whose codes run 1-4, 7, 5, 8, 6, 9, 10), 10 and 11 the stick
// pushes, 12 onwards BUTTON13 onwards.
u32 PadCodeOfButton(u32 button)
{
    constexpr u32 kLowButtons[10] = {kPadButton1, kPadButton2, kPadButton3, kPadButton4, kPadButton5, kPadButton6,
        kPadButton7, kPadButton8, kPadButton9, kPadButton10};
    if (button <= 9) return kLowButtons[button];
    if (button == 10) return kPadLsPush;
    if (button == 11) return kPadRsPush;
    return kPadButton13 + (button - 12);
}

}  // namespace

i32 CConfigToolApp::FillKeyConfigPage()
{
    FillKeyboardPage();
    FillControllerPage();
    const Handle players = KeyItem(kController, kPlayer);
    dlg::ClearItems(players);
    for (const char* item : {"1P", "2P", "3P", "4P"}) dlg::AddItem(players, item);
    dlg::SelectItem(players, 0);
    return 1;
}

i32 CConfigToolApp::FillKeyboardPage()
{
    const ConfigKeyAssign& keys = *m_config->GetKeyConfigSection();
    for (i32 row = 0; row < i32(kRowCount); ++row) {
        win::SetWindowText(KeyItem(kKeyboard, kKeyLabel + row), kKeyRowLabels[row]);
        ShowText(KeyItem(kKeyboard, kKeyEdit + row), GetKeyName(keys.keyboard[row]));
    }
    return 1;
}

i32 CConfigToolApp::FillControllerPage()
{
    const ConfigPadAssign& pad = m_config->GetKeyConfigSection()->pads[m_selectedPlayer];
    InputState* slot = PadSlot();
    for (i32 row = 0; row < i32(kRowCount); ++row) {
        win::SetWindowText(KeyItem(kController, kPadLabel + row), kKeyRowLabels[row]);
        ShowText(KeyItem(kController, kPadEdit + row), GetPadButtonName(pad.button[row]));
        if (slot) slot->padAssignment[row] = slot->xinputPadAssignment[row] = pad.button[row];
    }
    const Handle devices = KeyItem(kController, kPadDevice);
    dlg::ClearItems(devices);
    const u32 count = m_input ? m_input->GetJoystickCount() : 0;
    for (u32 i = 0; i < count; ++i) {
        const host::input::DeviceInfo* info = m_input->GetJoystickInfo(i);
        // An empty slot keeps its line, so lines stay device indices.
        dlg::AddItem(devices, info ? info->instanceName : "");
    }
    dlg::SelectItem(devices, pad.controller);
    if (slot) slot->joystickSlot = pad.controller;
    return 1;
}

CConfigToolApp::LResult CConfigToolApp::OnKeyConfigPage(Handle, u32 message, WParam, LParam lParam)
{
    if (message != win::kWmNotify) return 0;
    const auto* header = reinterpret_cast<const dlg::NotifyHeader*>(lParam);
    if (header && header->code == dlg::kTcnSelChange && header->from == m_keyTab)
        ShowKeyConfigPage(dlg::GetTabSelection(m_keyTab));
    return 1;
}

CConfigToolApp::LResult CConfigToolApp::OnKeyboardPage(Handle, u32 message, WParam wParam, LParam)
{
    if (message != win::kWmCommand) return 0;
    const i32 id = i32(win::LowWord(wParam));
    const u32 code = win::HighWord(wParam);
    if (code == dlg::kBnClicked && id == kKeyDefault) {
        m_config->SetDefaultKeyboard();
        FillKeyboardPage();
    } else if (code == dlg::kEnSetFocus && id >= kKeyEdit && id < kKeyEdit + i32(kRowCount)) {
        m_selectedRow = id - kKeyEdit;
    }
    return 1;
}

CConfigToolApp::LResult CConfigToolApp::OnControllerPage(Handle, u32 message, WParam wParam, LParam lParam)
{
    if (message != win::kWmCommand) return 0;
    const i32 id = i32(win::LowWord(wParam));
    const u32 code = win::HighWord(wParam);
    ConfigKeyAssign& keys = *m_config->GetKeyConfigSection();
    InputState* slot = PadSlot();
    if (code == dlg::kBnClicked && id == kPadDefault) {
        m_config->SetDefaultPad(m_selectedPlayer);
        FillControllerPage();
    } else if (code == dlg::kEnSetFocus && id >= kPadEdit && id < kPadEdit + i32(kRowCount)) {
        m_selectedRow = id - kPadEdit;
    } else if (code == dlg::kCbnSelChange && id == kPadDevice) {
        const i32 device = dlg::GetSelection(reinterpret_cast<Handle>(lParam));
        if (device < 0) return 1;
        keys.pads[m_selectedPlayer].controller = u8(device);
        if (slot) slot->joystickSlot = u8(device);
    } else if (code == dlg::kCbnSelChange && id == kPlayer) {
        const i32 player = dlg::GetSelection(reinterpret_cast<Handle>(lParam));
        if (player < 0 || player >= i32(kPlayerCount)) return 1;
        m_selectedPlayer = player;
        if (slot) slot->joystickSlot = keys.pads[player].controller;
        FillControllerPage();
    }
    return 1;
}

// ---------------------------------------------------------------- capture

void CConfigToolApp::FocusRow(u32 keyPage, i32 row)
{
    m_selectedRow = row;
    win::SetFocus(KeyItem(keyPage, (keyPage == kKeyboard ? kKeyEdit : kPadEdit) + row));
}

i32 CConfigToolApp::CaptureKeyboardKey()
{
    const i32 s = m_selectedRow;
    if (s < 0 || s >= i32(kRowCount) || !m_input) return 0;
    u32 code = 0;
    while (code < 256 && !m_input->IsKeyTriggered(code)) ++code;
    if (code == 256) return 1;
    if (IsRefusedKey(code)) return 0;

    u32* keyboard = m_config->GetKeyConfigSection()->keyboard;
    i32 holder = -1;
    for (i32 row = 0; row < i32(kRowCount) && holder < 0; ++row)
        if (keyboard[row] == code) holder = row;
    if (holder == s) {
        FocusRow(kKeyboard, kNextKeyboardRow[s]);
        return 0;
    }
    if (holder >= 0) {
        keyboard[holder] = keyboard[s];
        ShowText(KeyItem(kKeyboard, kKeyEdit + holder), GetKeyName(keyboard[holder]));
    }
    keyboard[s] = code;
    ShowText(KeyItem(kKeyboard, kKeyEdit + s), GetKeyName(code));
    FocusRow(kKeyboard, kNextKeyboardRow[s]);
    return 1;
}

void CConfigToolApp::ShowPadRow(i32 row)
{
    const u32 code = m_config->GetKeyConfigSection()->pads[m_selectedPlayer].button[row];
    ShowText(KeyItem(kController, kPadEdit + row), GetPadButtonName(code));
}

// The row's code in the record and in both of slot 0's tables; the press
// that assigned it counts as held, so it is not taken again.
void CConfigToolApp::SetPadCode(i32 row, u32 code)
{
    m_config->GetKeyConfigSection()->pads[m_selectedPlayer].button[row] = code;
    if (InputState* slot = PadSlot()) slot->padAssignment[row] = slot->xinputPadAssignment[row] = code;
    ShowPadRow(row);
}

i32 CConfigToolApp::CapturePadButton()
{
    const i32 s = m_selectedRow;
    InputState* slot = PadSlot();
    if (s < 0 || s >= i32(kRowCount) || !slot) return 0;
    u32* buttons = m_config->GetKeyConfigSection()->pads[m_selectedPlayer].button;
    auto markHeld = [&](i32 row) {
        slot->held[kInputCodeAssignable + row] = 1;
        slot->raw[kInputCodeAssignable + row] = 1;   // next frame's "before"
    };

    // A row's assigned input went down: swap it with the selected row's.
    i32 k = 0;
    while (k < i32(kRowCount) && !m_input->IsTriggered(0, kInputCodeAssignable + k)) ++k;
    if (k < i32(kRowCount)) {
        if (IsStickRow(k)) return 0;
        if (k == s) {
            FocusRow(kController, kNextPadRow[s]);
            return 0;
        }
        const u32 taken = buttons[k];
        SetPadCode(k, buttons[s]);
        SetPadCode(s, taken);
        markHeld(s);
        i32 next = kNextPadRow[s];
        if (next >= 9 && next <= 12) next = 13;
        if (next >= 2 && next <= 7) next = 8;
        FocusRow(kController, next);
        return 1;
    }

    // Otherwise a button of the first controller that no row uses yet.
    u32 button = 0;
    while (button < u32(host::input::kJoystickButtons) && !m_input->GetJoystickButton(0, button)) ++button;
    if (button == u32(host::input::kJoystickButtons)) return 1;
    const u32 code = PadCodeOfButton(button);
    for (u32 row = 0; row < kRowCount; ++row)
        if (buttons[row] == code) return 0;
    SetPadCode(s, code);
    markHeld(s);
    FocusRow(kController, kNextPadRow[s]);
    return 1;
}
