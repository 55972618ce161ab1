// The orv-game program itself, started as a user starts it. Without a data
// folder, or with data but without the start-up screen's files, it says why
// and ends with status 1. On the fixture's data set under an X server (CTest
// runs this under Xvfb) it opens its window, reaches the title with a
// key pressed through the X test extension, and on a close of its window
// ends well with the saves written; the title's window, read back and
// given to a text recogniser (tesseract, which scripts/install-deps.sh
// installs), reads as its eleven items. The shot lands in the build folder
// as GameTitle.png.
#include "game/battle/scene/tests/gl/Png.h"
#include "game/scenes/tests/GameDataSet.h"
#include "game/scenes/tests/TextRecogniser.h"

#include <gtest/gtest.h>
// After gtest: Xlib's macros (None, Bool) would break it.
#include "host/window/tests/process/XClient.h"
#include <X11/Xutil.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace ORV_TEST_FILE_ID {

#ifndef ORV_GAME_PROGRAM
#define ORV_GAME_PROGRAM "orv-game"
#endif
#ifndef ORV_TEST_BUILD_DIR
#define ORV_TEST_BUILD_DIR "."
#endif

namespace {

using x_client::PressReturn;
using x_client::Rest;
using x_client::Title;
using x_client::WaitForExit;

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Exists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// A folder of the test's own: HOME, TEMP and the user folder beside it.
class Home {
public:
    Home()
    {
        char pattern[] = "/tmp/orv-game-XXXXXX";
        if (mkdtemp(pattern)) path_ = std::string(pattern) + "/";
        ::mkdir((path_ + "Temp").c_str(), 0777);
    }
    ~Home() { [[maybe_unused]] int ignored = std::system(("rm -rf '" + path_ + "'").c_str()); }
    const std::string& Path() const { return path_; }
    std::string Saved(const char* file) const { return path_ + "Vantorel/ORV/" + file; }

private:
    std::string path_;
};

struct Program {
    pid_t pid = -1;
    std::string errors;   // the file standard error goes to
};

// Starts the program with args; display false runs it with no X server, so
// a message box goes to standard error.
Program Start(const Home& home, const std::vector<std::string>& args, bool display, const std::string& trace = "")
{
    Program run;
    run.errors = home.Path() + "stderr.txt";
    run.pid = fork();
    if (run.pid == 0) {
        setenv("TEMP", (home.Path() + "Temp/").c_str(), 1);
        setenv("HOME", home.Path().c_str(), 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        unsetenv("ORV_DATA");
        if (!display) {
            unsetenv("DISPLAY");
            setenv("SDL_VIDEODRIVER", "offscreen", 1);
        } else {
            unsetenv("SDL_VIDEODRIVER");
        }
        if (!trace.empty()) setenv("ORV_SCENE_TRACE", trace.c_str(), 1);
        if (chdir(home.Path().c_str()) != 0) _exit(126);
        const int err = open(run.errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (err >= 0) dup2(err, 2);
        std::vector<char*> argv{const_cast<char*>(ORV_GAME_PROGRAM)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(ORV_GAME_PROGRAM, argv.data());
        _exit(127);
    }
    return run;
}

TEST(GameProgram, WithoutADataFolderItNamesThePlacesTriedAndEnds)
{
    Home home;
    const Program run = Start(home, {home.Path() + "nowhere"}, false);
    ASSERT_GT(run.pid, 0);
    EXPECT_EQ(WaitForExit(run.pid, 20000), 1);
    const std::string errors = ReadText(run.errors);
    const size_t first = errors.find(u8"データフォルダが見つかりません");
    EXPECT_NE(first, std::string::npos) << errors;
    EXPECT_EQ(errors.find(u8"データフォルダが見つかりません", first + 1), std::string::npos) << "said once: " << errors;
    EXPECT_NE(errors.find(home.Path() + "nowhere"), std::string::npos) << errors;
    EXPECT_FALSE(Exists(home.Saved("GameConfig.dat")));
}

TEST(GameProgram, DataWithoutTheStartUpScreenSaysWhatIsMissingAndEnds)
{
    Home home;
    const std::string root = home.Path() + "set";
    ASSERT_EQ(game_data_test::WriteGameData(root), "");
    const Program run = Start(home, {root + "/one", root + "/two"}, false);
    ASSERT_GT(run.pid, 0);
    EXPECT_EQ(WaitForExit(run.pid, 30000), 1);
    const std::string errors = ReadText(run.errors);
    const size_t said = errors.find(u8"が読み込めません");
    ASSERT_NE(said, std::string::npos) << errors;
    // The box has no caption: its line is the text alone.
    const size_t newline = errors.rfind('\n', said);
    const size_t start = newline == std::string::npos ? 0 : newline + 1;
    const std::string text = errors.substr(start, said - start);
    EXPECT_EQ(text.find(": "), std::string::npos) << errors;
    EXPECT_EQ(text.rfind("Error", 0), std::string::npos) << errors;
    // Start-up got as far as the saves; the end wrote them.
    EXPECT_TRUE(Exists(home.Saved("GameConfig.dat")));
    EXPECT_TRUE(Exists(home.Saved("GameRecord.dat")));
    EXPECT_TRUE(Exists(home.Saved("GameData.dat")));
}

// ------------------------------------------------------------ on an X server

Window FindWindow(Display* display, Window under, const char* utf8)
{
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    Window found = 0;
    if (!XQueryTree(display, under, &root, &parent, &children, &count)) return 0;
    for (unsigned int i = 0; i < count && !found; ++i) {
        if (Title(display, children[i]) == utf8) found = children[i];
        else found = FindWindow(display, children[i], utf8);
    }
    if (children) XFree(children);
    return found;
}

// A shown window the program marks as a dialog (a message box has no
// caption to find it by).
Window FindDialog(Display* display, Window under)
{
    const Atom kind = XInternAtom(display, "_NET_WM_WINDOW_TYPE", False);
    const Atom dialog = XInternAtom(display, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    Window found = 0;
    if (!XQueryTree(display, under, &root, &parent, &children, &count)) return 0;
    for (unsigned int i = 0; i < count && !found; ++i) {
        Atom type = None;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char* data = nullptr;
        XWindowAttributes attributes = {};
        if (XGetWindowProperty(display, children[i], kind, 0, 16, False, XA_ATOM, &type, &format, &items, &after,
                               &data) == Success &&
            data) {
            const Atom* atoms = reinterpret_cast<const Atom*>(data);
            for (unsigned long k = 0; k < items && !found; ++k)
                if (atoms[k] == dialog && XGetWindowAttributes(display, children[i], &attributes) &&
                    attributes.map_state == IsViewable)
                    found = children[i];
            XFree(data);
        }
        if (!found) found = FindDialog(display, children[i]);
    }
    if (children) XFree(children);
    return found;
}

Window WaitForWindow(Display* display, const char* utf8, int ms)
{
    for (int waited = 0; waited < ms; waited += 100) {
        if (Window found = FindWindow(display, DefaultRootWindow(display), utf8)) return found;
        Rest(100);
    }
    return 0;
}

// The window manager's close: WM_DELETE_WINDOW.
void Close(Display* display, Window window)
{
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
}

// The window's pixels (0xRRGGBB) as the X server holds them; empty when
// they cannot be read.
std::vector<u32> Shot(Display* display, Window window, u32* width, u32* height)
{
    XWindowAttributes attributes = {};
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.width <= 0 || attributes.height <= 0)
        return {};
    XImage* image = XGetImage(display, window, 0, 0, u32(attributes.width), u32(attributes.height), AllPlanes, ZPixmap);
    if (!image) return {};
    *width = u32(attributes.width);
    *height = u32(attributes.height);
    std::vector<u32> pixels(size_t(*width) * *height);
    for (u32 y = 0; y < *height; ++y)
        for (u32 x = 0; x < *width; ++x) pixels[size_t(y) * *width + x] = u32(XGetPixel(image, int(x), int(y))) & 0xFFFFFFu;
    XDestroyImage(image);
    return pixels;
}

using text_recogniser::Recognise;
using text_recogniser::Words;

constexpr const char* kTitleItems[] = {"Story", "Adventure", "Battle", "Network", "Survival", "Tutorial",
                                       "Training", "Record", "Replay", "Option", "End"};

TEST(GameProgram, WordsFindsWholeWordsOnly)
{
    const std::set<std::string> words = Words("Story\n> Adventure|Battles  End.\n");
    for (const char* word : {"Story", "Adventure", "Battles", "End"}) EXPECT_EQ(words.count(word), 1u) << word;
    EXPECT_EQ(words.count("Battle"), 0u);
    EXPECT_EQ(words.count("n"), 0u);
}

TEST(GameProgram, ReachesTheTitleReadsAsItsItemsAndWritesTheSavesWhenClosed)
{
    const char* data = std::getenv("ORV_GAME_DATA");
    if (!data || !*data) GTEST_SKIP() << "ORV_GAME_DATA is not set";
    Display* display = x_client::OpenDisplay();
    if (!display) GTEST_SKIP() << "no X server";
    Home home;
    const std::string trace = home.Path() + "scenes.txt";
    const Program run = Start(home, {std::string(data) + "/one", std::string(data) + "/two"}, true, trace);
    ASSERT_GT(run.pid, 0);

    const Window main = WaitForWindow(display, "Cendrava Ver BRIMOLD 1.51", 20000);
    EXPECT_NE(main, 0u) << ReadText(run.errors);
    bool title = false;
    // The start-up screen waits for a key once loaded; the logo may take
    // one to skip its movie. Keys stop once the title is there.
    for (int waited = 0; main && waited < 60000 && !title; waited += 250) {
        const std::string scenes = ReadText(trace);
        title = scenes.find("CTitleScene") != std::string::npos;
        if (!title && waited % 1000 == 0) PressReturn(display, main);
        Rest(250);
    }
    EXPECT_TRUE(title) << ReadText(trace) << ReadText(run.errors);

    // The title as the window shows it, read until every item is read (the
    // curtain lifts and the menu fades in first) or 20 s have passed.
    const std::string png = std::string(ORV_TEST_BUILD_DIR) + "/GameTitle.png";
    std::string read;
    std::vector<std::string> missing(std::begin(kTitleItems), std::end(kTitleItems));
    int tesseract = 0;
    for (int waited = 0; title && waited < 20000 && !missing.empty() && tesseract == 0; waited += 500) {
        Rest(500);
        u32 width = 0, height = 0;
        const std::vector<u32> pixels = Shot(display, main, &width, &height);
        if (pixels.empty()) continue;
        const std::string bytes = gl_test::Png(pixels, width, height);
        std::ofstream(png, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
        read = Recognise(png, &tesseract);
        const std::set<std::string> words = Words(read);
        missing.clear();
        for (const char* item : kTitleItems)
            if (!words.count(item)) missing.push_back(item);
    }
    EXPECT_NE(tesseract, 127) << "tesseract is not installed (scripts/install-deps.sh installs it)";
    EXPECT_EQ(tesseract, 0) << read;
    EXPECT_TRUE(title && missing.empty()) << "not read: " << ::testing::PrintToString(missing) << "; tesseract read:\n"
                                          << read << "see " << png;

    ::remove(home.Saved("GameConfig.dat").c_str());
    if (main) Close(display, main);
    const int status = WaitForExit(run.pid, 20000);
    EXPECT_EQ(status, 0) << ReadText(run.errors);
    EXPECT_TRUE(Exists(home.Saved("GameConfig.dat")));
    XCloseDisplay(display);
}

// The title's layout missing, or damaged: its box (without a caption) is
// shown once a key leaves the start-up screen; closed, the game ends with
// status 1, as a script must see it.
TEST(GameProgram, ATitleThatCannotBeReadEndsWithAFailureStatus)
{
    const char* data = std::getenv("ORV_GAME_DATA");
    if (!data || !*data) GTEST_SKIP() << "ORV_GAME_DATA is not set";
    Display* display = x_client::OpenDisplay();
    if (!display) GTEST_SKIP() << "no X server";
    for (const bool damaged : {false, true}) {
        SCOPED_TRACE(damaged ? "damaged" : "missing");
        Home home;
        const std::string set = home.Path() + "set";
        ASSERT_EQ(std::system(("cp -r '" + std::string(data) + "' '" + set + "'").c_str()), 0);
        for (const char* folder : {"/one", "/two"}) {
            const std::string title = set + folder + "/Resource/Scene/TitleSceneM.sce";
            if (damaged) std::ofstream(title, std::ios::binary | std::ios::trunc) << std::string(4096, '\x5A');
            else ASSERT_EQ(::remove(title.c_str()), 0) << title;
        }
        const Program run = Start(home, {set + "/one", set + "/two"}, true);
        ASSERT_GT(run.pid, 0);
        const Window main = WaitForWindow(display, "Cendrava Ver BRIMOLD 1.51", 20000);
        ASSERT_NE(main, 0u) << ReadText(run.errors);
        Window box = 0;
        for (int waited = 0; waited < 60000 && !box; waited += 250) {
            box = FindDialog(display, DefaultRootWindow(display));
            if (!box && waited % 1000 == 0) PressReturn(display, main);
            Rest(250);
        }
        EXPECT_NE(box, 0u) << ReadText(run.errors);
        if (box) {
            EXPECT_EQ(Title(display, box), "");
            PressReturn(display, box);
        }
        EXPECT_EQ(WaitForExit(run.pid, 20000), 1) << ReadText(run.errors);
    }
    XCloseDisplay(display);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
