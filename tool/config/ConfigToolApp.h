// CConfigToolApp: the configuration tool, a dialog that edits the saved
// configuration GameConfig.dat on seven tab pages (graphics, game, network,
// replay, BGM, key configuration, radio chat). Every control writes the
// in-memory record the moment it changes; only the save button writes the
// file.
//
// One window procedure (the one Init is given) serves the main dialog, every
// page and the subclassed BGM path edits; its messages arrive in WindowProc,
// which hands each to its page's handler. The key pages capture a key or a
// pad button in the idle step while they are in front.
//
// Values a control cannot hold (a port that is not 1..65535, an empty
// address octet or one that reads as a number outside 0..255, text past its
// field, an address that would count as an empty connect entry, a path with
// no code page 932 form) are refused with a message and change nothing.
#pragma once

#include "engine/core/Types.h"
#include "engine/platform/app/ApplicationMain.h"
#include "host/window/Window.h"

#include "game/data/SaveConfig.h"

#include <memory>
#include <string>

struct InputState;

struct ConfigPageEntry {
    u32 templateId;
    host::window::Handle window;
};

struct BgmEditEntry {
    u32 controlId;
    host::window::Handle window;
    host::window::WindowProc previousProc;
};

class CConfigToolApp : public CApplicationMain {
public:
    using Handle = host::window::Handle;
    using WParam = host::window::WParam;
    using LParam = host::window::LParam;
    using LResult = host::window::LResult;

    static constexpr u32 kPageCount = 7;
    static constexpr u32 kKeyPageCount = 2;
    static constexpr u32 kKeyConfigPageIndex = 5;
    static constexpr u32 kRowCount = 24;
    static constexpr u32 kPlayerCount = 4;

    CConfigToolApp();
    ~CConfigToolApp() override;

    // Loads the configuration and opens the main dialog with its pages; the
    // window, sound device and input manager are the tool's own (the base's
    // Init would make the game's window and graphics device). 1, or 0 after
    // the failing step's message.
    i32 Init(InstanceHandle instance, host::window::WindowProc windowProc) override;
    // Polls input and, while the key-config tab is in front, captures.
    i32 Update() override;
    // Draws nothing; rests a moment so the idle loop does not spin.
    i32 Draw() override;
    // The entry's Exit: Release.
    i32 Exit() override { return Release(); }
    // Frees the record, gives the BGM edits their procedures back and ends
    // with the base's Exit. 1; harmless again.
    i32 Release();
    LResult WindowProc(Handle window, u32 message, WParam wParam, LParam lParam) override;

    i32 ShowPage(i32 index);
    i32 ShowKeyConfigPage(i32 index);

    // The pages (ConfigToolApp.cpp and the page files). Fills take the
    // record into the controls; handlers give 1 for a message they take.
    i32 FillGraphicsPage();
    i32 FillGamePage();
    i32 FillNetworkPage();
    i32 FillKeyConfigPage();
    i32 FillKeyboardPage();
    i32 FillControllerPage();
    i32 FillReplayPage();
    i32 FillBgmPage();
    i32 FillRadioChatPage();
    LResult OnGraphicsPage(Handle window, u32 message, WParam wParam, LParam lParam);
    LResult OnGamePage(Handle window, u32 message, WParam wParam, LParam lParam);
    LResult OnNetworkPage(Handle window, u32 message, WParam wParam, LParam lParam);
    LResult OnKeyConfigPage(Handle window, u32 message, WParam wParam, LParam lParam);
    LResult OnKeyboardPage(Handle window, u32 message, WParam wParam, LParam lParam);
    LResult OnControllerPage(Handle window, u32 message, WParam wParam, LParam lParam);
    LResult OnReplayPage(Handle window, u32 message, WParam wParam, LParam lParam);
    LResult OnBgmPage(Handle window, u32 message, WParam wParam, LParam lParam);
    LResult OnRadioChatPage(Handle window, u32 message, WParam wParam, LParam lParam);
    LResult BgmEditProc(Handle window, u32 message, WParam wParam, LParam lParam);

    // Key capture, run by Update while the key-config tab is in front.
    i32 CaptureKeyboardKey();
    i32 CapturePadButton();

    // Reads the four octets of the address dialog into the pending address;
    // 1 when all are valid.
    i32 ValidateIpAddress(Handle dialog);
    static LResult IpAddressDialogProc(Handle dialog, u32 message, WParam wParam, LParam lParam);

    // For tests and the pages.
    CSaveConfig* GetConfig() const { return m_config; }
    Handle GetMainWindow() const;
    Handle GetPage(u32 index) const { return index < kPageCount ? m_pages[index].window : nullptr; }
    Handle GetKeyPage(u32 index) const { return index < kKeyPageCount ? m_keyPages[index].window : nullptr; }
    Handle GetShownPage() const { return m_shownPage; }
    Handle GetShownKeyPage() const { return m_shownKeyPage; }
    i32 GetSelectedRow() const { return m_selectedRow; }
    i32 GetSelectedPlayer() const { return m_selectedPlayer; }
    const IpAddressEntry& GetPendingAddress() const { return m_pendingAddress; }
    CInput* GetInputManager() const { return m_input.get(); }

private:
    // Control i of page p.
    Handle Item(u32 page, i32 id) const;
    Handle KeyItem(u32 keyPage, i32 id) const;
    InputState* PadSlot() const;
    // Shows a refusal owned by window, caption "Error".
    void Refuse(Handle owner, const char* text) const;
    // Puts text into an edit without it counting as the user's change.
    void ShowText(Handle edit, const std::string& text);

    // Main dialog commands.
    LResult OnMainDialog(Handle window, u32 message, WParam wParam, LParam lParam);
    void AskToClose(const char* question);

    // Network page.
    void AddAddress(i32 addButton);
    void RemoveAddress(i32 removeButton);
    void FillConnectList();
    void TakeId(Handle edit, char* field);
    void TakePort(Handle edit);

    // BGM page.
    void Browse(u32 row);
    i32 Check(u32 row);
    bool TakePath(Handle edit, char* field);

    // Key pages.
    void FocusRow(u32 keyPage, i32 row);
    void ShowPadRow(i32 row);
    void SetPadCode(i32 row, u32 code);

    CSaveConfig* m_config = nullptr;
    Handle m_tab = nullptr;
    Handle m_keyTab = nullptr;
    Handle m_shownPage = nullptr;
    Handle m_shownKeyPage = nullptr;
    host::window::WindowProc m_windowProc = nullptr;
    i32 m_selectedRow = 0;
    i32 m_selectedPlayer = 0;
    IpAddressEntry m_pendingAddress{};
    ConfigPageEntry m_pages[kPageCount] = {};
    ConfigPageEntry m_keyPages[kKeyPageCount] = {};
    BgmEditEntry m_bgmEdits[kUserBgmCount] = {};
    BgmEditEntry m_tensionEdits[kUserBgmCount] = {};

    // Set while the tool writes controls itself, so the notifications that
    // brings are not taken for the user's edits.
    bool m_filling = false;

    // The main window, sound device and input manager. The base holds its
    // own privately and makes them only the game's way, so the tool keeps
    // these beside them.
    std::unique_ptr<CSystem> m_system;
    std::unique_ptr<CSound> m_sound;
    std::unique_ptr<CInput> m_input;
};
