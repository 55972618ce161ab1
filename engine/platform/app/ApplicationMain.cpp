#include "engine/platform/app/ApplicationMain.h"

#include "engine/core/Random.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/platform/ComHolder.h"
#include "engine/platform/FrameTime.h"
#include "engine/platform/Input.h"
#include "engine/platform/Sound.h"
#include "engine/platform/app/ImeInput.h"
#include "host/kernel/Kernel.h"

namespace win = host::window;

CApplicationMain::CApplicationMain() = default;

// A subclass that never reached the base's Exit still leaves nothing behind.
CApplicationMain::~CApplicationMain() { Release(); }

i32 CApplicationMain::Init(InstanceHandle instance, win::WindowProc proc)
{
    m_window = std::make_unique<CSystem>();
    if (!m_window->Create(instance, kApplicationTitle, -1, -1, kMainWindowWidth, kMainWindowHeight,
                          kMainWindowStyle, kMainWindowIcon, proc, nullptr))
        return 0;

    m_graphicDevice = std::make_unique<CGraphicDevice>();
    if (!m_graphicDevice->Create(m_window.get())) return 0;

    m_sound = std::make_unique<CSound>();
    if (!m_sound->Initialize(m_window.get())) return 0;

    m_input = std::make_unique<CInput>();
    if (!m_input->Initialize(m_window->GetWindowHandle())) return 0;

    m_comHolder = std::make_unique<CComHolder>();
    if (!m_comHolder->Init(m_window.get())) return 0;

    SetFrameRate(m_window.get(), kApplicationFrameRate);
    m_startTime = host::kernel::TimeGetTime();
    SeedRandom(m_startTime);
    m_window->ShowCursor(1);
    return 1;
}

i32 CApplicationMain::Update()
{
    if (m_input) m_input->Update();
    return 1;
}

i32 CApplicationMain::Draw()
{
    if (m_graphicDevice && m_graphicDevice->BeginScene()) {
        m_graphicDevice->SetState3D();
        m_graphicDevice->EndScene();
    }
    return 1;
}

i32 CApplicationMain::Exit()
{
    Release();
    return 1;
}

void CApplicationMain::Release()
{
    m_graphicDevice.reset();
    m_input.reset();
    m_sound.reset();
    m_comHolder.reset();
    m_window.reset();
    EndFrameTimer();
}

win::LResult CApplicationMain::WindowProc(win::Handle window, u32 message, win::WParam wParam, win::LParam lParam)
{
    if (m_imeInput && m_imeInput->HandleMessage(window, message, wParam, lParam)) return 0;
    switch (message) {
    case kMessageDeviceLost:
        OnDeviceLost();
        return 0;
    case kMessageDeviceReset:
        OnDeviceReset();
        return 0;
    case win::kWmSysCommand:
        // The screen saver never starts over the running application.
        if (wParam == win::kScScreenSave) return 1;
        break;
    case win::kWmClose:
    case win::kWmDestroy:
        // The window itself goes with the window object, after the loop.
        win::PostQuitMessage(0);
        return 0;
    case win::kWmSysKeyDown:
    case win::kWmSysKeyUp:
        // Alt and F10 would open the system menu; F12 is the game's own.
        if (wParam == win::kVkMenu || wParam == win::kVkF10 || wParam == win::kVkF12) return 0;
        break;
    default:
        break;
    }
    return win::DefWindowProc(window, message, wParam, lParam);
}
