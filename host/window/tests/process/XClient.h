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

// Return down and, a moment later, up, with the window focused.
inline void PressReturn(Display* display, Window window)
{
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
