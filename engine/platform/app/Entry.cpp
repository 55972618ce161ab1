#include "engine/platform/app/Entry.h"

#include "engine/platform/app/ApplicationMain.h"

namespace win = host::window;

namespace {

// Main thread only, like the loop that uses it.
CApplicationMain* g_application = nullptr;

// Deletes the application; the pointer is cleared first, so messages its
// destructor causes take the default handling.
void DeleteApplication()
{
    CApplicationMain* app = g_application;
    g_application = nullptr;
    delete app;
}

}  // namespace

CApplicationMain* GetApplication() { return g_application; }

win::LResult MainWndProc(win::Handle window, u32 message, win::WParam wParam, win::LParam lParam)
{
    if (message == win::kWmDestroy) {
        win::PostQuitMessage(0);
        return 0;
    }
    if (g_application) return g_application->WindowProc(window, message, wParam, lParam);
    return win::DefWindowProc(window, message, wParam, lParam);
}

i32 WinMain(ApplicationFactory create, InstanceHandle instance)
{
    g_application = create ? create() : nullptr;
    if (!g_application) return -1;
    if (!g_application->Init(instance, &MainWndProc)) {
        // What Init made goes with the application instead of being left to
        // the process's end, but not through Exit: a run that never started
        // has nothing to save.
        g_application->MarkStartUpFailed();
        DeleteApplication();
        return -1;
    }

    i32 status = 0;
    for (;;) {
        win::Message message;
        if (win::PeekMessage(message)) {
            if (message.message == win::kWmQuit) {
                status = i32(message.wParam);
                break;
            }
            win::TranslateMessage(message);
            win::DispatchMessage(message);
        } else if (g_application) {
            g_application->Update();
            g_application->Draw();
        }
    }

    if (!g_application) return status;
    g_application->Exit();
    DeleteApplication();
    return status;
}
