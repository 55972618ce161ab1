#include "engine/platform/System.h"

#include "engine/platform/FrameTime.h"
#include "host/dialog/FakeDialog.h"
#include "host/kernel/Kernel.h"
#include "host/kernel/tests/TempFolder.h"
#include "host/window/FakeWindow.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace win = host::window;
namespace kernel = host::kernel;

namespace {

win::LResult Quiet(win::Handle, uint32_t, win::WParam, win::LParam) { return 0; }

class SystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Only the caption template of the configuration tool's main dialog.
        host::dialog::DialogTemplate main;
        main.caption = "Cendrava Config Tool";
        main.width = 292;
        main.height = 274;
        host::dialog::RegisterTemplate(500, main);
    }
    void TearDown() override
    {
        host::dialog::ClearTemplates();
        kernel::SetCurrentDirectory(cwd_);
    }

    i32 CreateGameWindow(CSystem& system, InstanceHandle instance = GetModuleInstance())
    {
        return system.Create(instance, "Cendrava", -1, -1, 1024, 768, 0xCA0000, 105, Quiet, nullptr);
    }

    std::string cwd_ = kernel::GetCurrentDirectory();
    win::FakeWindow& fake_ = win::InstallFakeWindow();
    host::dialog::FakeDialogs& dialogs_ = host::dialog::InstallFakeDialogs();
    kernel::FakeClock clock_{5000};
    kernel::ScopedClock scoped_{clock_};
};

TEST_F(SystemTest, CreateCentresAWindowWithTheExactClientArea)
{
    CSystem system;
    ASSERT_EQ(CreateGameWindow(system), 1);
    win::Handle window = system.GetWindowHandle();
    EXPECT_EQ(win::GetClientRect(window), (win::Rect{0, 0, 1024, 768}));
    // Fake screen 1280 x 1024, frame 3, caption 22: outer 1030 x 796.
    EXPECT_EQ(win::GetWindowRect(window), (win::Rect{125, 114, 125 + 1030, 114 + 796}));
    EXPECT_TRUE(win::IsWindowVisible(window));
    EXPECT_FALSE(fake_.CursorVisible());

    EXPECT_EQ(kernel::GetCurrentDirectory() + "/", kernel::GetProgramFolder());

    const SystemInfo& info = system.GetSystemInfo();
    EXPECT_EQ(std::string(info.osDescription).rfind(" (Build 0 ", 0), 0u);
    EXPECT_GE(info.totalPhysicalMemory, info.availablePhysicalMemory);
    EXPECT_GT(info.availablePhysicalMemory, 0u);
    // The processor's features as the kernel reports them.
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    while (std::getline(cpuinfo, line) && line.rfind("flags", 0) != 0) {}
    line += " ";
    std::vector<i32> has;
    for (const char* flag : {"tsc", "mmx", "sse", "sse2", "pni", "sse4_1", "sse4_2"})
        has.push_back(i32(line.find(std::string(" ") + flag + " ") != std::string::npos));
    const std::vector<i32> found = {info.hasTsc, info.hasMmx, info.hasSse, info.hasSse2, info.hasSse3, info.hasSse41, info.hasSse42};
    EXPECT_EQ(info.hasCpuid && line.size() > 1 ? has : found, found);
    // Measuring the processor clock sleeps two seconds of the kernel clock.
    EXPECT_EQ(clock_.Milliseconds(), info.hasTsc ? 7000u : 5000u);
}

TEST_F(SystemTest, FailedCreationReturnsZeroAndShowsNothing)
{
    CSystem noInstance;
    EXPECT_EQ(CreateGameWindow(noInstance, nullptr), 0);
    EXPECT_EQ(noInstance.CreateDialogWindow(nullptr, 500, -1, -1, 113, Quiet, nullptr), 0);

    CSystem noWindow;
    fake_.FailCreate();
    EXPECT_EQ(CreateGameWindow(noWindow), 0);
    dialogs_.FailCreate();
    EXPECT_EQ(noWindow.CreateDialogWindow(GetModuleInstance(), 500, -1, -1, 113, Quiet, nullptr), 0);

    for (const CSystem* s : {&noInstance, &noWindow}) EXPECT_EQ(s->GetWindowHandle(), nullptr);
    EXPECT_EQ(win::GetForegroundWindow(), nullptr);
    EXPECT_TRUE(fake_.Boxes().empty());
    EXPECT_TRUE(fake_.CursorVisible());
    EXPECT_EQ(clock_.Milliseconds(), 5000u);   // no system information was gathered
}

TEST_F(SystemTest, DialogWindowIsCentredAndKeepsItsCaption)
{
    CSystem system;
    ASSERT_EQ(system.CreateDialogWindow(GetModuleInstance(), 500, -1, -1, 113, Quiet, nullptr), 1);
    win::Handle dialog = system.GetWindowHandle();
    const win::Rect rect = win::GetWindowRect(dialog);
    EXPECT_EQ(system.GetWidth(), rect.Width());
    EXPECT_EQ(rect.left, (1280 - rect.Width()) / 2);
    EXPECT_TRUE(win::IsWindowVisible(dialog));
    EXPECT_STREQ(system.GetTitle(), "Dialog");
    EXPECT_EQ(win::GetWindowText(dialog), "Cendrava Config Tool");

    // Wider than the screen: it starts left of the screen, not far past it.
    fake_.SetSystemMetric(win::kSmCxScreen, 300);
    CSystem wide;
    ASSERT_EQ(wide.CreateDialogWindow(GetModuleInstance(), 500, -1, 40, 113, Quiet, nullptr), 1);
    const win::Rect wideRect = win::GetWindowRect(wide.GetWindowHandle());
    EXPECT_EQ(wideRect.left, (300 - wideRect.Width()) / 2);
    EXPECT_EQ(wideRect.top, 40);
}

TEST_F(SystemTest, SetWindowSizeFramesCaptionedWindowsOnly)
{
    CSystem system;
    ASSERT_EQ(CreateGameWindow(system), 1);
    win::Handle window = system.GetWindowHandle();
    EXPECT_EQ(system.SetWindowSize(800, 600, kSwpShowWindow, nullptr), 1);
    EXPECT_EQ(win::GetClientRect(window), (win::Rect{0, 0, 800, 600}));
    EXPECT_EQ(win::GetWindowRect(window).left, (1280 - 806) / 2);

    win::ShowWindow(window, win::kSwHide);
    system.SetWindowStyle(0x90000000);   // full screen: popup and visible
    EXPECT_EQ(system.SetWindowSize(1280, 1024, kSwpShowWindow, nullptr), 1);
    EXPECT_EQ(win::GetWindowRect(window), (win::Rect{0, 0, 1280, 1024}));
    EXPECT_TRUE(win::IsWindowVisible(window));
    EXPECT_EQ(system.GetWidth(), 1280);
}

TEST_F(SystemTest, FoldersThatDoNotFitAreRefused)
{
    CSystem system;
    const std::string program = kernel::GetProgramFolder();
    std::string buffer(program.size(), 'x');
    EXPECT_EQ(system.GetModuleFolder(buffer.data(), u32(program.size())), 0);
    EXPECT_EQ(buffer[0], '\0');

    kernel::testing::TempFolder temp;
    ASSERT_EQ(system.SetCurrentDirToModule(temp.Path().c_str()), 1);
    // Folders that exist, one exactly filling the folder field with its
    // terminator and one a character longer.
    std::string deep = temp.Path();
    while (deep.size() < kMaxPath - 1 - 101) {
        deep += std::string(100, 'd') + "/";
        ASSERT_TRUE(kernel::CreateDirectory(deep));
    }
    const std::string fits = deep + std::string(kMaxPath - 2 - deep.size(), 'f') + "/";
    const std::string over = deep + std::string(kMaxPath - 1 - deep.size(), 'o') + "/";
    ASSERT_TRUE(kernel::CreateDirectory(fits) && kernel::CreateDirectory(over));
    ASSERT_EQ(fits.size(), kMaxPath - 1);
    EXPECT_EQ(system.SetCurrentDirToModule(over.c_str()), 0);
    EXPECT_EQ(system.GetFolder(), temp.Path());
    EXPECT_EQ(system.SetCurrentDirToModule(fits.c_str()), 1);
    EXPECT_EQ(system.GetFolder(), fits);
    ASSERT_EQ(system.SetCurrentDirToModule(temp.Path().c_str()), 1);
    EXPECT_EQ(system.SetCurrentDirToModule((temp / "missing").c_str()), 0);
    EXPECT_EQ(system.GetFolder(), temp.Path());
    EXPECT_EQ(kernel::GetCurrentDirectory() + "/", temp.Path());
}

TEST_F(SystemTest, FileDialogsPassTheFilterAndRestoreTheFolder)
{
    CSystem system;
    ASSERT_EQ(CreateGameWindow(system), 1);
    kernel::testing::TempFolder temp;
    const char filter[] = "すべての対応ファイル\0*.wav;*.ogg\0すべてのファイル(*.*)\0*.*\0";
    char file[kMaxPath] = "old.wav";

    fake_.AnswerFileDialogs({"/music/a.ogg", ""});
    kernel::SetCurrentDirectory(temp.Path());
    EXPECT_EQ(system.ShowOpenFileDialog(file, "BGMファイルを開く", filter, "wav"), 1);
    EXPECT_STREQ(file, "/music/a.ogg");
    EXPECT_EQ(kernel::GetCurrentDirectory() + "/", kernel::GetProgramFolder());

    EXPECT_EQ(system.ShowSaveFileDialog(file, "保存", filter, "wav"), 0);
    EXPECT_STREQ(file, "/music/a.ogg");

    // A file buffer with no terminator gives the chooser what fits a path.
    std::memset(file, 'a', sizeof file);
    EXPECT_EQ(system.ShowOpenFileDialog(file, "", filter, "wav"), 0);
    EXPECT_EQ(fake_.FileDialogs().at(2).fileName, std::string(kMaxPath - 1, 'a'));

    const win::FileDialogRequest& open = fake_.FileDialogs().at(0);
    EXPECT_EQ(open.owner, system.GetWindowHandle());
    EXPECT_EQ(open.fileName, "old.wav");
    std::vector<std::pair<std::string, std::string>> filters;
    for (const auto& f : open.filters) filters.emplace_back(f.description, f.patterns);
    EXPECT_EQ(filters, (decltype(filters){{"すべての対応ファイル", "*.wav;*.ogg"}, {"すべてのファイル(*.*)", "*.*"}}));
}

TEST(SystemFileName, TakesTheNameAfterTheLastSeparator)
{
    const struct { decltype(&GetFileName) get; const char* path; u32 size; const char* name; } cases[] = {
        {GetFileTitle, "a\\b\\name.ext", kMaxPath, "name"},
        {GetFileTitle, "dir.d\\.profile", kMaxPath, ".profile"},
        {GetFileName, "a\\b.c", kMaxPath, "b.c"},
        // Cut to the buffer, never inside a double-byte character.
        {GetFileName, "dir\\ab\x82\xA0.txt", 4, "ab"},
        {GetFileTitle, "\x82\xA0\x82\xA2.txt", 4, "\x82\xA0"},
        {GetFileName, "abcd", 4, "abc"},   // exactly full
        {GetFileName, "abcd", 5, "abcd"},
        // A lead byte whose trail the extension took stays a byte of its own.
        {GetFileTitle, "ab\x82.txt", kMaxPath, "ab\x82"},
    };
    char out[kMaxPath];
    for (const auto& c : cases) {
        EXPECT_EQ(c.get(c.path, out, c.size), 1) << c.path;
        EXPECT_STREQ(out, c.name);
    }
    EXPECT_EQ(GetFileName(nullptr, out), 0);
}

TEST_F(SystemTest, FrameRateStartsFromTheKernelClock)
{
    CSystem window;
    SetFrameRate(&window, 60);
    const FrameTimer& timer = GetFrameTimer();
    EXPECT_EQ(std::make_tuple(timer.interval, timer.lastFrameTime, timer.window), std::make_tuple(16u, 5000u, &window));
    for (const auto& [fps, interval] : {std::pair{1u, 1000u}, {7u, 142u}, {1000u, 1u}, {1001u, 0u}}) {
        SetFrameRate(&window, fps);
        EXPECT_EQ(timer.interval, interval) << fps;
    }
    clock_.Advance(40);
    SetFrameRate(&window, 0);
    EXPECT_EQ(std::make_pair(timer.interval, timer.startTime), std::make_pair(0u, 5040u));
    // Shutdown ends the timer twice, after the window is gone.
    EndFrameTimer();
    EndFrameTimer();
    EXPECT_EQ(timer.window, nullptr);
}

// Where no frame loop stores it (the configuration tool) the frame time is 0.
TEST(FrameTime, IsZeroUntilStoredThenInMillisecondsAndSeconds)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");   // a fresh process: nothing stored yet
    EXPECT_EXIT(std::exit(GetFrameTimeMs() == 0 && GetFrameTime() == 0.0f ? 0 : 1), ::testing::ExitedWithCode(0), "");
    SetFrameTime(1234);
    EXPECT_EQ(GetFrameTimeMs(), 1234u);
    SetFrameTime(16);
    EXPECT_FLOAT_EQ(GetFrameTime(), 0.016f);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
