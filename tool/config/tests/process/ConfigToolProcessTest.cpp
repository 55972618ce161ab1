// The orv-config program itself under an X server (CTest runs this under
// Xvfb): started as the user starts it, it creates the configuration in
// the per-user folder and shows its dialog; Enter saves, Enter again answers
// Yes to closing, and the program ends well. Keys go in through the X test
// extension, as a keyboard's would.

#include <gtest/gtest.h>
// After gtest: Xlib's macros (None, Bool) would break it.
#include "host/window/tests/process/XClient.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ORV_TEST_FILE_ID {

#ifndef ORV_CONFIG_PROGRAM
#define ORV_CONFIG_PROGRAM "orv-config"
#endif
#ifndef ORV_SCREENSHOT_DIR
#define ORV_SCREENSHOT_DIR "."
#endif

namespace {

using x_client::PressReturn;
using x_client::Rest;
using x_client::Title;
using x_client::WaitForExit;

// The mapped top-level window with this title; 0 when none shows in time.
Window WaitForWindow(Display* display, const char* utf8, int ms)
{
    for (int waited = 0; waited < ms; waited += 50) {
        Window root = DefaultRootWindow(display), parent = 0, *children = nullptr;
        unsigned int count = 0;
        Window found = 0;
        if (XQueryTree(display, root, &root, &parent, &children, &count)) {
            for (unsigned int i = 0; i < count && !found; ++i) {
                XWindowAttributes attributes;
                if (XGetWindowAttributes(display, children[i], &attributes) && attributes.map_state == IsViewable &&
                    Title(display, children[i]) == utf8)
                    found = children[i];
            }
            XFree(children);
        }
        if (found) return found;
        Rest(50);
    }
    return 0;
}

long FileSize(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? long(st.st_size) : -1;
}

TEST(ConfigToolProgram, StartsSavesWithEnterAndCloses)
{
    char pattern[] = "/tmp/orv-config-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string home = std::string(pattern) + "/";
    ::mkdir((home + "Temp").c_str(), 0777);
    const std::string saved = home + "Vantorel/ORV/GameConfig.dat";
    ::mkdir(ORV_SCREENSHOT_DIR, 0777);

    Display* display = x_client::OpenDisplay();
    ASSERT_NE(display, nullptr) << "needs an X display (DISPLAY): ctest runs it under Xvfb";
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        setenv("TEMP", (home + "Temp/").c_str(), 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        execl(ORV_CONFIG_PROGRAM, ORV_CONFIG_PROGRAM, static_cast<char*>(nullptr));
        _exit(127);
    }

    const Window main = WaitForWindow(display, u8"Cendrava Config Tool", 15000);
    EXPECT_NE(main, 0u);
    if (main) {
        Rest(500);
        EXPECT_EQ(FileSize(saved), 6876);   // made at start-up from the defaults
        const std::string shot = std::string(ORV_SCREENSHOT_DIR) + "/program.png";
        EXPECT_EQ(std::system(("import -window " + std::to_string(main) + " '" + shot + "'").c_str()), 0);
        ::remove(saved.c_str());
        PressReturn(display, main);   // the save button
        const Window question = WaitForWindow(display, u8"終了確認", 5000);
        EXPECT_NE(question, 0u);
        EXPECT_EQ(FileSize(saved), 6876);   // written again
        if (question) PressReturn(display, question);   // Yes, the first button
    }
    const int status = WaitForExit(pid, 10000);
    if (status < 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    EXPECT_EQ(status, 0);
    XCloseDisplay(display);
    EXPECT_EQ(std::system(("rm -rf '" + home + "'").c_str()), 0);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
