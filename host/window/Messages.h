// Window-message, virtual-key, style and metric numbers, with the values the
// engine's window procedures and the game's stored tables know. Only the
// values that are used are here.
#pragma once

#include <cstdint>

namespace host::window {

// Messages.
constexpr uint32_t kWmDestroy = 0x0002;
constexpr uint32_t kWmActivate = 0x0006;      // wParam kWaActive or kWaInactive
constexpr uint32_t kWmClose = 0x0010;
constexpr uint32_t kWmQuit = 0x0012;          // wParam: the exit code
constexpr uint32_t kWmActivateApp = 0x001C;   // wParam 1 gained, 0 lost
constexpr uint32_t kWmNotify = 0x004E;        // wParam control id, lParam NotifyHeader*
constexpr uint32_t kWmKeyDown = 0x0100;       // wParam virtual key, lParam key flags
constexpr uint32_t kWmKeyUp = 0x0101;
constexpr uint32_t kWmChar = 0x0102;          // wParam one code page 932 byte
constexpr uint32_t kWmSysKeyDown = 0x0104;    // with Alt held, and Alt and F10 themselves
constexpr uint32_t kWmSysKeyUp = 0x0105;
constexpr uint32_t kWmImeStartComposition = 0x010D;
constexpr uint32_t kWmImeEndComposition = 0x010E;
constexpr uint32_t kWmImeComposition = 0x010F;   // lParam: what changed (host/text kGcs...)
constexpr uint32_t kWmInitDialog = 0x0110;    // lParam: the dialog's creation parameter
constexpr uint32_t kWmCommand = 0x0111;       // wParam (code << 16) | id, lParam control
constexpr uint32_t kWmSysCommand = 0x0112;
constexpr uint32_t kWmHScroll = 0x0114;       // wParam (position << 16) | code, lParam trackbar
constexpr uint32_t kWmDropFiles = 0x0233;     // wParam: drop handle (DragQueryFile)
constexpr uint32_t kWmImeNotify = 0x0282;        // wParam: host/text kImn...
constexpr uint32_t kWmUser = 0x0400;          // +1 device lost, +2 device reset

constexpr uint32_t kWaInactive = 0;
constexpr uint32_t kWaActive = 1;
constexpr uint32_t kScScreenSave = 0xF140;    // wParam of kWmSysCommand

// Key message lParam bits.
constexpr uint32_t kKeyAltDown = 1u << 29;
constexpr uint32_t kKeyWasDown = 1u << 30;
constexpr uint32_t kKeyReleased = 1u << 31;

// Virtual keys. Letters and digits are their upper-case ASCII codes.
constexpr uint32_t kVkBack = 0x08;
constexpr uint32_t kVkReturn = 0x0D;
constexpr uint32_t kVkShift = 0x10;
constexpr uint32_t kVkControl = 0x11;
constexpr uint32_t kVkMenu = 0x12;            // Alt
constexpr uint32_t kVkEscape = 0x1B;
constexpr uint32_t kVkLeft = 0x25;
constexpr uint32_t kVkUp = 0x26;
constexpr uint32_t kVkRight = 0x27;
constexpr uint32_t kVkDown = 0x28;
constexpr uint32_t kVkDelete = 0x2E;
constexpr uint32_t kVkF1 = 0x70;              // F1..F12 are consecutive
constexpr uint32_t kVkF4 = 0x73;
constexpr uint32_t kVkF10 = 0x79;
constexpr uint32_t kVkF12 = 0x7B;

// ShowWindow commands.
constexpr int kSwHide = 0;
constexpr int kSwShowNormal = 1;
constexpr int kSwShow = 5;

// Window styles.
constexpr uint32_t kWsPopup = 0x80000000;
constexpr uint32_t kWsChild = 0x40000000;
constexpr uint32_t kWsVisible = 0x10000000;
constexpr uint32_t kWsCaption = 0x00C00000;
constexpr uint32_t kWsSysMenu = 0x00080000;
constexpr uint32_t kWsMinimizeBox = 0x00020000;

// GetSystemMetrics indices.
constexpr int kSmCxScreen = 0;
constexpr int kSmCyScreen = 1;
constexpr int kSmCyCaption = 4;
constexpr int kSmCxFixedFrame = 7;
constexpr int kSmCyFixedFrame = 8;

}  // namespace host::window
