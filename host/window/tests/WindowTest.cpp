#include "host/window/FakeWindow.h"
#include "host/window/GtkBoxes.h"

#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace host::window {
namespace ORV_TEST_FILE_ID {

namespace {

std::vector<Message> g_log;

LResult Record(Handle window, uint32_t message, WParam wParam, LParam lParam) {
    g_log.push_back({window, message, wParam, lParam, 0});
    return message == kWmUser + 1 ? 42 : 0;
}

LResult RecordThenDefault(Handle window, uint32_t message, WParam wParam, LParam lParam) {
    Record(window, message, wParam, lParam);
    return DefWindowProc(window, message, wParam, lParam);
}

class FakeWindowTest : public ::testing::Test {
protected:
    void SetUp() override { g_log.clear(); }

    Handle Open(WindowProc proc = Record, uint32_t style = kWsCaption) {
        WindowDesc desc;
        desc.title = "Cendrava";
        desc.width = 640;
        desc.height = 480;
        desc.style = style;
        desc.proc = proc;
        return CreateWindow(desc);
    }

    // Takes everything waiting, as the program's loop would, without dispatching.
    std::vector<Message> Take() {
        std::vector<Message> out;
        Message m;
        while (PeekMessage(m)) out.push_back(m);
        return out;
    }

    FakeWindow& fake = InstallFakeWindow();
};

TEST_F(FakeWindowTest, QueueKeepsPostingOrderAndTakesEachMessageOnce) {
    Handle w = Open();
    PostMessage(w, kWmUser, 1, 0);
    PostMessage(w, kWmUser, 2, 0);
    PostMessage(nullptr, kWmUser, 3, 0);
    std::vector<Message> taken = Take();
    ASSERT_EQ(taken.size(), 3u);
    EXPECT_EQ(taken[0].wParam, 1u);
    EXPECT_EQ(taken[1].wParam, 2u);
    EXPECT_EQ(taken[2].window, nullptr);
    Message m;
    EXPECT_FALSE(PeekMessage(m));
}

TEST_F(FakeWindowTest, QuitComesAfterWaitingMessagesAndEndsTheLoop) {
    Handle w = Open();
    PostMessage(w, kWmUser, 1, 0);
    PostQuitMessage(3);
    PostMessage(w, kWmUser, 2, 0);

    // The program's loop: dispatch until kWmQuit, run the idle step otherwise.
    int idle = 0;
    Message m;
    for (int turns = 0; turns < 100; ++turns) {
        if (!PeekMessage(m)) {
            ++idle;
            continue;
        }
        if (m.message == kWmQuit) break;
        TranslateMessage(m);
        DispatchMessage(m);
    }
    EXPECT_EQ(m.message, kWmQuit);
    EXPECT_EQ(m.wParam, 3u);
    EXPECT_EQ(idle, 0);
    ASSERT_EQ(g_log.size(), 2u);
    EXPECT_EQ(g_log[1].wParam, 2u);
    EXPECT_FALSE(PeekMessage(m));
}

TEST_F(FakeWindowTest, SendRunsTheProcedureAtOnceAndReturnsItsResult) {
    Handle w = Open();
    EXPECT_EQ(SendMessage(w, kWmUser + 1, 0, 0), 42);
    ASSERT_EQ(g_log.size(), 1u);
    EXPECT_EQ(g_log[0].message, kWmUser + 1u);
    Message m;
    EXPECT_FALSE(PeekMessage(m));
    EXPECT_EQ(SendMessage(reinterpret_cast<Handle>(0x7777), kWmUser + 1, 0, 0), 0);
}

TEST_F(FakeWindowTest, MessagesForDestroyedWindowsAreDropped) {
    Handle w = Open();
    PostMessage(w, kWmUser, 0, 0);
    DestroyWindow(w);
    EXPECT_FALSE(PostMessage(w, kWmUser, 0, 0));
    EXPECT_TRUE(Take().empty());
}

TEST_F(FakeWindowTest, TranslatePutsTypedCharactersBeforeLaterInput) {
    Handle w = Open();
    fake.KeyDown(w, 'A', "a");
    fake.KeyUp(w, 'A');
    fake.KeyDown(w, kVkReturn);
    fake.KeyDown(w, 'X', "\x82\xA0");   // one double-byte character

    std::vector<uint32_t> seen;
    Message m;
    while (PeekMessage(m)) {
        seen.push_back(m.message == kWmChar ? 0x10000 | static_cast<uint32_t>(m.wParam) : m.message);
        TranslateMessage(m);
    }
    std::vector<uint32_t> expected = {kWmKeyDown, 0x10000 | 'a', kWmKeyUp, kWmKeyDown, kWmKeyDown, 0x10082, 0x100A0};
    EXPECT_EQ(seen, expected);
}

TEST_F(FakeWindowTest, KeyStateFollowsTheMessagesTaken) {
    Handle w = Open();
    fake.KeyDown(w, kVkShift);
    EXPECT_EQ(GetKeyState(kVkShift), 0);
    Message m;
    ASSERT_TRUE(PeekMessage(m));
    EXPECT_LT(GetKeyState(kVkShift), 0);
    fake.KeyUp(w, kVkShift);
    ASSERT_TRUE(PeekMessage(m));
    EXPECT_EQ(GetKeyState(kVkShift), 0);
}

TEST_F(FakeWindowTest, AltKeysAreSystemKeysAndAltF4Closes) {
    Handle w = Open(RecordThenDefault);
    fake.KeyDown(w, kVkF10);
    fake.KeyDown(w, kVkF4, {}, true);
    std::vector<Message> taken = Take();
    ASSERT_EQ(taken.size(), 2u);
    EXPECT_EQ(taken[0].message, kWmSysKeyDown);
    EXPECT_EQ(taken[1].message, kWmSysKeyDown);
    EXPECT_TRUE(taken[1].lParam & kKeyAltDown);

    // Ctrl+Alt is AltGr, typing characters: no system key.
    fake.KeyDown(w, 'Q', "@", true, true);
    fake.KeyUp(w, 'Q', true, true);
    std::vector<Message> altGr = Take();
    ASSERT_EQ(altGr.size(), 2u);
    EXPECT_EQ(altGr[0].message, kWmKeyDown);
    EXPECT_EQ(altGr[1].message, kWmKeyUp);

    DispatchMessage(taken[0]);
    EXPECT_TRUE(IsWindow(w));
    DispatchMessage(taken[1]);   // Alt+F4: kWmClose, then the default destroys
    EXPECT_FALSE(IsWindow(w));
    ASSERT_EQ(g_log.size(), 4u);
    EXPECT_EQ(g_log[2].message, kWmClose);
    EXPECT_EQ(g_log[3].message, kWmDestroy);
}

TEST_F(FakeWindowTest, DisabledWindowsTakeNoInput) {
    Handle w = Open();
    EnableWindow(w, false);
    EXPECT_FALSE(fake.KeyDown(w, 'A', "a"));
    EXPECT_FALSE(fake.Close(w));
    EXPECT_TRUE(EnableWindow(w, true));   // it was disabled
    EXPECT_TRUE(fake.Close(w));
}

TEST_F(FakeWindowTest, CreationCanBeMadeToFail) {
    fake.FailCreate();
    EXPECT_EQ(Open(), nullptr);
    EXPECT_TRUE(g_log.empty());
    EXPECT_NE(Open(), nullptr);
    WindowDesc huge;
    huge.width = -5;
    EXPECT_EQ(CreateWindow(huge), nullptr);
}

// Positions and sizes reach 32767 either way and no further.
TEST_F(FakeWindowTest, PlacesUpToTheLargestExtentAndRefusesPastIt) {
    const struct { int32_t x, y, width, height; bool made; } cases[] = {
        {32767, -32767, 32767, 0, true}, {32768, 0, 10, 10, false}, {0, -32768, 10, 10, false},
        {0, 0, 32768, 10, false},        {0, 0, 10, -1, false}};
    for (const auto& c : cases) {
        WindowDesc desc;
        desc.x = c.x, desc.y = c.y, desc.width = c.width, desc.height = c.height;
        EXPECT_EQ(CreateWindow(desc) != nullptr, c.made) << c.x << " " << c.y << " " << c.width;
    }
    Handle w = Open(Record, 0);
    ASSERT_TRUE(MoveWindow(w, -32767, 32767, 5, 6));
    EXPECT_EQ(GetWindowRect(w), (Rect{-32767, 32767, -32762, 32773}));
    EXPECT_FALSE(MoveWindow(w, -32768, 0, 5, 6));
    EXPECT_FALSE(MoveWindow(w, 0, 32768, 5, 6));
    EXPECT_EQ(GetWindowRect(w).left, -32767);   // unchanged
    ASSERT_TRUE(MoveWindow(w, 0, 0, 40000, -3));   // sizes are clamped instead
    EXPECT_EQ(GetWindowRect(w), (Rect{0, 0, 32767, 0}));
    EXPECT_EQ(SetUserData(nullptr, 7), 0);
    EXPECT_EQ(SetUserData(w, 7), 0);
    EXPECT_EQ(SetUserData(w, 8), 7);
}

TEST_F(FakeWindowTest, ClientAreaIsTheOuterRectangleLessFrameAndCaption) {
    fake.SetSystemMetric(kSmCxScreen, 1280);
    fake.SetSystemMetric(kSmCyScreen, 1024);
    int frameX = GetSystemMetrics(kSmCxFixedFrame), frameY = GetSystemMetrics(kSmCyFixedFrame);
    int width = 1024 + 2 * frameX;
    int height = 768 + GetSystemMetrics(kSmCyCaption) + 2 * frameY;
    WindowDesc desc;
    desc.x = (1280 - width) / 2;
    desc.y = (1024 - height) / 2;
    desc.width = width;
    desc.height = height;
    desc.style = 0xCA0000;
    desc.proc = Record;
    Handle w = CreateWindow(desc);
    EXPECT_EQ(GetClientRect(w), (Rect{0, 0, 1024, 768}));
    EXPECT_EQ(GetWindowRect(w), (Rect{desc.x, desc.y, desc.x + width, desc.y + height}));

    SetWindowStyle(w, kWsPopup | kWsVisible);   // full screen: no frame
    EXPECT_EQ(GetClientRect(w), (Rect{0, 0, width, height}));
    EXPECT_FALSE(GetWindowStyle(w) & kWsVisible);   // showing is ShowWindow's
}

TEST_F(FakeWindowTest, ChildRectanglesMapThroughTheirParentsClientAreas) {
    Handle top = Open(Record, kWsCaption);
    MoveWindow(top, 100, 50, 400, 300);
    WindowInit init;
    init.parent = top;
    init.style = kWsChild;
    init.rect = {10, 20, 110, 70};
    Handle child = AddWindow(init);
    init.parent = child;
    init.rect = {5, 5, 15, 15};
    Handle grandchild = AddWindow(init);

    int left = 100 + GetSystemMetrics(kSmCxFixedFrame);
    int top_ = 50 + GetSystemMetrics(kSmCyFixedFrame) + GetSystemMetrics(kSmCyCaption);
    EXPECT_EQ(GetWindowRect(child), (Rect{left + 10, top_ + 20, left + 110, top_ + 70}));
    EXPECT_EQ(MapRect(grandchild, top, {0, 0, 1, 1}), (Rect{15, 25, 16, 26}));
    EXPECT_EQ(MapRect(top, child, {0, 0, 0, 0}), (Rect{-10, -20, -10, -20}));

    // Moved by the user or the window manager, everything follows.
    fake.Move(top, {200, 150, 600, 500});
    left += 100, top_ += 100;
    EXPECT_EQ(GetWindowRect(top), (Rect{200, 150, 600, 500}));
    EXPECT_EQ(GetWindowRect(child), (Rect{left + 10, top_ + 20, left + 110, top_ + 70}));
    EXPECT_EQ(MapRect(grandchild, nullptr, {0, 0, 1, 1}), (Rect{left + 15, top_ + 25, left + 16, top_ + 26}));
    EXPECT_EQ(GetClientRect(top).Width(), 400 - 2 * GetSystemMetrics(kSmCxFixedFrame));
    fake.SetCursorPos(left + 12, top_ + 22);
    int32_t x = 0, y = 0;
    ASSERT_TRUE(GetCursorClientPos(child, x, y));
    EXPECT_EQ(x, 2);
    EXPECT_EQ(y, 2);

    // A window that has a parent without the child style is only owned by
    // it and stands on the screen by itself.
    init.parent = top;
    init.style = kWsCaption;
    init.rect = {10, 20, 110, 70};
    EXPECT_EQ(GetWindowRect(AddWindow(init)), (Rect{10, 20, 110, 70}));

    ShowWindow(top, kSwShow);
    ShowWindow(child, kSwShow);
    ShowWindow(grandchild, kSwShow);
    EXPECT_TRUE(IsWindowVisible(grandchild));
    ShowWindow(child, kSwHide);
    EXPECT_FALSE(IsWindowVisible(grandchild));
}

TEST_F(FakeWindowTest, DestroyTellsTheWindowFirstThenWhatItOwns) {
    Handle owner = Open();
    WindowDesc desc;
    desc.parent = owner;
    desc.proc = Record;
    Handle owned = CreateWindow(desc);
    ASSERT_TRUE(DestroyWindow(owner));
    ASSERT_EQ(g_log.size(), 2u);
    EXPECT_EQ(g_log[0].window, owner);
    EXPECT_EQ(g_log[1].window, owned);
    EXPECT_FALSE(IsWindow(owned));
    EXPECT_FALSE(DestroyWindow(owner));
}

TEST_F(FakeWindowTest, ShowingActivatesAndActivationIsReported) {
    Handle w = Open();
    ShowWindow(w, kSwShowNormal);
    EXPECT_EQ(GetForegroundWindow(), w);
    fake.Activate(nullptr);
    EXPECT_EQ(GetForegroundWindow(), nullptr);
    std::vector<Message> taken = Take();
    ASSERT_EQ(taken.size(), 4u);
    EXPECT_EQ(taken[0].message, kWmActivateApp);
    EXPECT_EQ(taken[0].wParam, 1u);
    EXPECT_EQ(taken[1].message, kWmActivate);
    EXPECT_EQ(taken[1].wParam, kWaActive);
    EXPECT_EQ(taken[2].message, kWmActivate);
    EXPECT_EQ(taken[2].wParam, kWaInactive);
    EXPECT_EQ(taken[3].message, kWmActivateApp);
    EXPECT_EQ(taken[3].wParam, 0u);
}

TEST_F(FakeWindowTest, CursorShowsWhileTheCountIsNotNegative) {
    EXPECT_EQ(ShowCursor(false), -1);
    EXPECT_FALSE(fake.CursorVisible());
    EXPECT_EQ(ShowCursor(true), 0);
    EXPECT_TRUE(fake.CursorVisible());
}

TEST_F(FakeWindowTest, DroppedFilesReachOnlyWindowsThatAcceptThem) {
    Handle w = Open();
    EXPECT_FALSE(fake.DropFiles(w, {"a.ogg"}));
    DragAcceptFiles(w, true);
    ASSERT_TRUE(fake.DropFiles(w, {"C:/music/a.ogg", "b.txt"}));
    Message m;
    ASSERT_TRUE(PeekMessage(m));
    EXPECT_EQ(m.message, kWmDropFiles);
    EXPECT_EQ(DragQueryFileCount(m.wParam), 2u);
    EXPECT_EQ(DragQueryFile(m.wParam, 0), "C:/music/a.ogg");
    EXPECT_EQ(DragQueryFile(m.wParam, 2), "");
    DragFinish(m.wParam);
    EXPECT_EQ(DragQueryFileCount(m.wParam), 0u);
}

TEST_F(FakeWindowTest, MessageBoxesAreRecordedAndAnsweredFromTheScript) {
    Handle w = Open();
    fake.AnswerBoxes({host::kernel::kIdNo});
    uint32_t type = host::kernel::kMbYesNo | host::kernel::kMbIconQuestion;
    EXPECT_EQ(MessageBox(w, "コンフィグツールを閉じますか？", "終了確認", type), host::kernel::kIdNo);
    EXPECT_EQ(MessageBox(w, "x", "y", type), host::kernel::kIdYes);   // script done: first button
    // Boxes without an owner, from anywhere in the system, come here too.
    EXPECT_EQ(host::kernel::MessageBox("コンフィグファイルが読み込めません", "", host::kernel::kMbOk),
              host::kernel::kIdOk);
    EXPECT_EQ(MessageBox(reinterpret_cast<Handle>(0x7777), "x", "y", 0), 0);   // no such owner

    std::vector<FakeWindow::Box> boxes = fake.Boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].owner, w);
    EXPECT_EQ(boxes[0].text, "コンフィグツールを閉じますか？");
    EXPECT_EQ(boxes[0].caption, "終了確認");
    EXPECT_EQ(boxes[0].type, type);
    EXPECT_EQ(boxes[2].owner, nullptr);
    EXPECT_EQ(boxes[2].text, "コンフィグファイルが読み込めません");
    // Unscripted, every type answers as the kernel does without a window.
    for (uint32_t t = 0; t < 7; ++t)
        EXPECT_EQ(MessageBox(nullptr, "x", "y", t), host::kernel::MessageBoxFirstButton(t)) << t;
}

TEST_F(FakeWindowTest, FileDialogsAnswerFromTheScriptAndRecordTheRequest) {
    fake.AnswerFileDialogs({"/music/a.ogg", ""});
    FileDialogRequest request;
    request.title = "BGMファイルを開く";
    request.filters = {{"すべての対応ファイル", "*.wav;*.ogg"}, {"すべてのファイル(*.*)", "*.*"}};
    request.defaultExtension = "wav";
    std::string path;
    EXPECT_TRUE(ShowFileDialog(request, path));
    EXPECT_EQ(path, "/music/a.ogg");
    EXPECT_FALSE(ShowFileDialog(request, path));   // cancelled
    EXPECT_FALSE(ShowFileDialog(request, path));   // nothing scripted: cancelled
    EXPECT_EQ(path, "/music/a.ogg");
    ASSERT_EQ(fake.FileDialogs().size(), 3u);
    EXPECT_EQ(fake.FileDialogs()[0].title, "BGMファイルを開く");
    EXPECT_EQ(fake.FileDialogs()[0].filters[1].patterns, "*.*");
}

TEST_F(FakeWindowTest, SavedNamesWithoutExtensionGetTheDefaultOne) {
    FileDialogRequest save;
    save.save = true;
    save.defaultExtension = ".rep";
    fake.AnswerFileDialogs({"/a.b/replay", "/x/replay.dat", "/x/.hidden"});
    std::string path;
    ASSERT_TRUE(ShowFileDialog(save, path));
    EXPECT_EQ(path, "/a.b/replay.rep");
    ASSERT_TRUE(ShowFileDialog(save, path));
    EXPECT_EQ(path, "/x/replay.dat");
    ASSERT_TRUE(ShowFileDialog(save, path));
    EXPECT_EQ(path, "/x/.hidden.rep");

    FileDialogRequest open = save;
    open.save = false;
    fake.AnswerFileDialogs({"/x/replay"});
    ASSERT_TRUE(ShowFileDialog(open, path));
    EXPECT_EQ(path, "/x/replay");
}

TEST_F(FakeWindowTest, PathsThatDoNotFitTheCallersBufferAreRefused) {
    FileDialogRequest request;
    request.maxPath = 10;
    fake.AnswerFileDialogs({"/123456789", "/12345678"});
    std::string path = "old";
    EXPECT_FALSE(ShowFileDialog(request, path));
    EXPECT_EQ(path, "old");
    EXPECT_TRUE(ShowFileDialog(request, path));
}

TEST(GtkFileDialog, FilterPatternsMatchEitherCase) {
    EXPECT_EQ(CaseInsensitivePattern("*.wav"), "*.[wW][aA][vV]");
    EXPECT_EQ(CaseInsensitivePattern("BGM?.OGG"), "[bB][gG][mM]?.[oO][gG][gG]");
    EXPECT_EQ(CaseInsensitivePattern("*.*"), "*");
    EXPECT_EQ(CaseInsensitivePattern("Az@[`{.za"), "[aA][zZ]@[`{.[zZ][aA]");   // the letters' ends and their neighbours
    // Code page 932 in, UTF-8 out; "ア" is 0x83 0x41, its trail byte an 'A'.
    EXPECT_EQ(CaseInsensitivePattern("ア*.txt"), u8"ア*.[tT][xX][tT]");
}

TEST(RealWindow, FailsCleanlyWithoutADisplay) {
    EXPECT_EXIT(
        {
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            setenv("SDL_VIDEODRIVER", "x11", 1);
            UseRealBackend();
            WindowDesc desc;
            desc.width = 320;
            desc.height = 240;
            bool ok = CreateWindow(desc) == nullptr;
            ok = ok && MessageBox(nullptr, "テスト", "Error", host::kernel::kMbYesNo) == host::kernel::kIdYes;
            std::string path;
            ok = ok && !ShowFileDialog(FileDialogRequest{}, path);
            ok = ok && GetSystemMetrics(kSmCxScreen) == 0;
            std::_Exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace host::window
