// `CApplicationMain`: the base of every application (the configuration tool,
// the game). It owns the main window, the graphics device, the input
// manager, the sound device and the movie holder, and routes the main
// window's messages; an application that takes typed text creates the IME
// text input and hands it over with SetImeInput (it stays the caller's).
//
// Subclasses override the operations below and call the base's Init, Update
// and Exit from their own; their destructors run their Exit once more, so
// Exit must do nothing harmful the second time. An application whose start
// never finished is deleted without its Exit (nothing of a run that never
// began is saved): destructors then only release what Init made.
#pragma once

#include "engine/core/Types.h"
#include "engine/platform/System.h"
#include "host/window/Window.h"

#include <memory>

class CComHolder;
class CGraphicDevice;
class CImeInput;
class CInput;
class CSound;

// The main window the base creates.
inline constexpr char kApplicationTitle[] = "Cendrava";
inline constexpr i32 kMainWindowWidth = 1024;
inline constexpr i32 kMainWindowHeight = 768;
inline constexpr u32 kMainWindowStyle = 0x00CA0000;   // caption, system menu, minimize box
inline constexpr i32 kMainWindowIcon = 105;
inline constexpr u32 kApplicationFrameRate = 60;

class CApplicationMain {
public:
    CApplicationMain();
    // Releases what the base's Exit releases: whatever a subclass's Exit
    // left held goes with the object.
    virtual ~CApplicationMain();
    CApplicationMain(const CApplicationMain&) = delete;
    CApplicationMain& operator=(const CApplicationMain&) = delete;

    // Main window (1024 x 768, centred), graphics device, sound, input,
    // movie holder, the 60-per-second frame timer and the random seed; the
    // cursor is shown. 1, or 0 at the first step that fails, which has shown
    // its own message box; what was made stays for Exit.
    virtual i32 Init(InstanceHandle instance, host::window::WindowProc proc);
    // Polls input. 1.
    virtual i32 Update();
    virtual i32 OnDeviceLost() { return 1; }
    virtual i32 OnDeviceReset() { return 1; }
    // An empty frame with the 3D states. 1 whether or not it could begin.
    virtual i32 Draw();
    // Deletes the graphics device, input, sound, movie holder and window,
    // each when held, and ends the frame timer. 1, every time.
    virtual i32 Exit();
    // The main window's messages after the IME text input has seen them.
    virtual host::window::LResult WindowProc(host::window::Handle window, u32 message, host::window::WParam wParam,
                                             host::window::LParam lParam);
    virtual const char* GetClassName() const { return "CApplicationMain"; }

    CSystem* GetSystem() const { return m_window.get(); }
    CGraphicDevice* GetDevice() const { return m_graphicDevice.get(); }
    CInput* GetInput() const { return m_input.get(); }
    CSound* GetSound() const { return m_sound.get(); }
    CComHolder* GetComHolder() const { return m_comHolder.get(); }
    CImeInput* GetImeInput() const { return m_imeInput; }
    void SetImeInput(CImeInput* ime) { m_imeInput = ime; }
    // Marks an application whose Init failed: its destructor, and its
    // subclasses', then skip Exit.
    void MarkStartUpFailed() { m_startUpFailed = true; }
    bool StartUpFailed() const { return m_startUpFailed; }
    // The clock (ms) when Init seeded the random generator; 0 before.
    u32 GetStartTime() const { return m_startTime; }

private:
    void Release();

    std::unique_ptr<CSystem> m_window;
    std::unique_ptr<CGraphicDevice> m_graphicDevice;
    std::unique_ptr<CInput> m_input;
    std::unique_ptr<CSound> m_sound;
    std::unique_ptr<CComHolder> m_comHolder;
    CImeInput* m_imeInput = nullptr;   // not owned
    u32 m_startTime = 0;
    bool m_startUpFailed = false;
};
