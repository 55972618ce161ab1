// The program's entry and the main window's procedure.
//
// The entry builds the one application object, keeps it as the process's
// application, initialises it and runs the message loop: a waiting message
// is translated and dispatched; when none waits the application's Update and
// then its Draw run. The loop never blocks and never sleeps (the game paces
// itself in its Draw); kWmQuit ends it, and the application is exited and
// deleted.
#pragma once

#include "engine/core/Types.h"
#include "engine/platform/System.h"
#include "host/window/Window.h"

class CApplicationMain;

// Builds the application the program runs (the configuration tool's, or the
// game's from an entry of its own); null when it cannot be made.
using ApplicationFactory = CApplicationMain* (*)();

// Runs the application made by create for instance. The quit message's code
// after the loop ended (PostQuitMessage's; 0 for a close of the window); -1
// when no application could be made or its Init failed (the application
// is then deleted without its Exit, which releases what Init made).
i32 WinMain(ApplicationFactory create, InstanceHandle instance);

// The procedure of the main window: kWmDestroy ends the loop, every other
// message goes to the application, or to the default handling while there
// is none.
host::window::LResult MainWndProc(host::window::Handle window, u32 message, host::window::WParam wParam,
                                  host::window::LParam lParam);

// The process's application: set by WinMain from creation to deletion.
CApplicationMain* GetApplication();
