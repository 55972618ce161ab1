// What the tests that start a program under Xvfb do as its user: wait, read
// a window's title, press Return in it, wait for the program's end.
#pragma once

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <csignal>
#include <string>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace x_client {

inline void Rest(int ms) { usleep(useconds_t(ms) * 1000); }

// The program under test makes, maps and drops its windows on its own time:
// one found a moment ago may be gone, or not viewable yet when focused. Such
// an X error is its timing, not a fault, and Xlib's default handler would
// end the test on it.
inline int LetErrorPass(Display*, XErrorEvent*) { return 0; }

inline Display* OpenDisplay()
{
    XSetErrorHandler(LetErrorPass);
    return XOpenDisplay(nullptr);
}

// The window's _NET_WM_NAME (UTF-8); empty when it has none.
inline std::string Title(Display* display, Window window)
{
    Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom name = XInternAtom(display, "_NET_WM_NAME", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(display, window, name, 0, 1024, False, utf8, &type, &format, &count, &after, &data) ==
            Success &&
        data) {
        title.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
    }
    return title;
}

// Whether the window is mapped and shown, waiting up to ms for it.
inline bool WaitViewable(Display* display, Window window, int ms)
{
    for (int waited = 0;; waited += 50) {
        XWindowAttributes attributes = {};
        if (XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable) return true;
        if (waited >= ms) return false;
        Rest(50);
    }
}

// Return down and, a moment later, up, with the window focused; nothing
// when the window is not shown within 5 s, since its focus would go nowhere.
inline void PressReturn(Display* display, Window window)
{
    if (!WaitViewable(display, window, 5000)) return;
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
    XSync(display, False);
    Rest(50);
    const KeyCode code = XKeysymToKeycode(display, XK_Return);
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XSync(display, False);
    Rest(100);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    XSync(display, False);
}

// The exit status; 128 for a program ended by a signal; -1 when it has not
// ended in time (it is then killed).
inline int WaitForExit(pid_t pid, int ms)
{
    for (int waited = 0; waited < ms; waited += 50) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
        Rest(50);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

}  // namespace x_client
