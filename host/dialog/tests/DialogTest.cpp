#include "host/dialog/FakeDialog.h"
#include "host/window/FakeWindow.h"

#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace host::dialog {
namespace {

using namespace host::window;
using host::kernel::kIdCancel;
using host::kernel::kIdOk;

constexpr int32_t kMain = 500, kPage = 1000, kAddress = 114;

struct Received {
    Handle window;
    uint32_t message;
    WParam wParam;
    LParam lParam;
    // State read inside the handler, as the tool's handlers read it.
    int32_t selection = -2;
    bool checked = false;
    NotifyHeader header{};
};

std::vector<Received> g_log;

LResult Record(Handle window, uint32_t message, WParam wParam, LParam lParam) {
    Received r{window, message, wParam, lParam};
    if (message == kWmCommand) {
        Handle control = reinterpret_cast<Handle>(lParam);
        r.selection = GetSelection(control);
        r.checked = IsChecked(control);
    } else if (message == kWmNotify) {
        r.header = *reinterpret_cast<const NotifyHeader*>(lParam);
        r.selection = GetTabSelection(r.header.from);
    }
    g_log.push_back(r);
    return message == kWmClose ? 0 : 1;
}

// The address dialog ends with 1 on OK when its first octet is filled in.
LResult AddressProc(Handle dialog, uint32_t message, WParam wParam, LParam) {
    if (message != kWmCommand) return 0;
    if (LowWord(wParam) == static_cast<uint32_t>(kIdOk) && !GetWindowText(GetDlgItem(dialog, 3026)).empty())
        EndDialog(dialog, 1);
    if (LowWord(wParam) == static_cast<uint32_t>(kIdCancel)) EndDialog(dialog, 0);
    return 1;
}

ControlTemplate Control(ControlKind kind, int32_t id, const char* text, DialogRect rect, uint32_t flags = 0) {
    return ControlTemplate{kind, id, text, rect, flags};
}

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_log.clear();
        ClearTemplates();
        DialogTemplate main;
        main.caption = "Cendrava Config Tool";
        main.width = 292;
        main.height = 274;
        main.controls = {
            Control(ControlKind::PushButton, 1, "保存", {180, 253, 50, 14}, kDefaultButton),
            Control(ControlKind::PushButton, 2, "終了", {235, 253, 50, 14}),
            Control(ControlKind::Tab, 510, "", {7, 7, 278, 240}),
        };
        ASSERT_TRUE(RegisterTemplate(kMain, main));

        DialogTemplate page;
        page.child = true;
        page.width = 195;
        page.height = 142;
        page.controls = {
            Control(ControlKind::ComboBox, 1010, "", {60, 10, 80, 100}),
            Control(ControlKind::CheckBox, 1012, "フルスクリーン", {10, 30, 80, 10}),
            Control(ControlKind::ListBox, 3022, "", {10, 45, 60, 40}, kNotify | kVerticalScroll),
            Control(ControlKind::ListBox, 3019, "", {80, 45, 60, 40}),
            Control(ControlKind::Edit, 3010, "", {10, 90, 60, 12}),
            Control(ControlKind::Edit, 4110, "UP", {80, 90, 60, 12}, kReadOnly | kCentred),
            Control(ControlKind::Edit, 4111, "", {80, 105, 60, 12}, kHidden | kDisabled),
            Control(ControlKind::Trackbar, 2014, "", {10, 120, 100, 15}),
            Control(ControlKind::PushButton, 7003, "参照", {120, 120, 30, 14}, kDisabled),
        };
        ASSERT_TRUE(RegisterTemplate(kPage, page));

        DialogTemplate address;
        address.caption = "IPアドレス入力";
        address.width = 182;
        address.height = 49;
        address.controls = {
            Control(ControlKind::Edit, 3026, "", {20, 10, 25, 12}),
            Control(ControlKind::PushButton, 1, "OK", {70, 30, 50, 14}, kDefaultButton),
            Control(ControlKind::PushButton, 2, "キャンセル", {125, 30, 50, 14}),
        };
        ASSERT_TRUE(RegisterTemplate(kAddress, address));
    }

    // The main dialog, shown, with one page inside its tab.
    void OpenMain() {
        main = CreateDialog(kMain, nullptr, Record, 0);
        ASSERT_NE(main, nullptr);
        ShowWindow(main, kSwShow);
        Handle tab = GetDlgItem(main, 510);
        page = CreateDialog(kPage, tab, Record, 0);
        ASSERT_NE(page, nullptr);
        Rect area = GetTabDisplayRect(tab);
        MoveWindow(page, area.left, area.top, area.Width(), area.Height());
        ShowWindow(page, kSwShow);
        g_log.clear();
    }

    Handle Item(int32_t id) { return GetDlgItem(page, id); }

    FakeWindow& windows = InstallFakeWindow();
    FakeDialogs& dialogs = InstallFakeDialogs();
    Handle main = nullptr;
    Handle page = nullptr;
};

TEST(DialogTemplates, MalformedTemplatesAreRefused) {
    DialogTemplate t;
    EXPECT_FALSE(RegisterTemplate(1, t));   // no size
    t.width = t.height = 10;
    t.controls = {ControlTemplate{ControlKind::Edit, 1, "", {0, 0, -1, 5}, 0}};
    EXPECT_FALSE(RegisterTemplate(1, t));
    t.controls = {ControlTemplate{static_cast<ControlKind>(99), 1, "", {0, 0, 1, 5}, 0}};
    EXPECT_FALSE(RegisterTemplate(1, t));
    EXPECT_EQ(FindTemplate(1), nullptr);
    t.controls.clear();
    EXPECT_TRUE(RegisterTemplate(1, t));
    EXPECT_NE(FindTemplate(1), nullptr);
}

TEST(DialogTemplates, DialogUnitsBecomePixelsWithBaseUnitsSixAndThirteen) {
    EXPECT_EQ(DialogToPixels({7, 7, 278, 240}), (Rect{11, 11, 11 + 417, 11 + 390}));
    EXPECT_EQ(DialogToPixels({1, 1, 1, 1}), (Rect{2, 2, 4, 4}));   // halves round away from zero
    EXPECT_EQ(DialogToPixels({-1, -3, 0, 0}), (Rect{-2, -5, -2, -5}));
}

TEST_F(DialogTest, DialogsAreBuiltFromTheirTemplates) {
    Handle dialog = CreateDialog(kMain, nullptr, Record, 1234);
    ASSERT_NE(dialog, nullptr);
    ASSERT_EQ(g_log.size(), 1u);
    EXPECT_EQ(g_log[0].message, kWmInitDialog);
    EXPECT_EQ(g_log[0].lParam, 1234);
    EXPECT_EQ(reinterpret_cast<Handle>(g_log[0].wParam), GetDlgItem(dialog, 1));

    EXPECT_EQ(GetWindowText(dialog), "Cendrava Config Tool");
    EXPECT_EQ(GetWindowText(GetDlgItem(dialog, 2)), "終了");
    EXPECT_EQ(GetDlgCtrlID(GetDlgItem(dialog, 510)), 510);
    EXPECT_EQ(GetDlgItem(dialog, 9999), nullptr);
    EXPECT_EQ(GetParent(GetDlgItem(dialog, 1)), dialog);
    EXPECT_FALSE(IsWindowVisible(dialog));   // the template does not ask for it

    // A top-level dialog's template size is its client area.
    EXPECT_EQ(GetClientRect(dialog), (Rect{0, 0, 438, 445}));
    Rect outer = GetWindowRect(dialog);
    EXPECT_EQ(outer.Width(), 438 + 2 * GetSystemMetrics(kSmCxFixedFrame));
    EXPECT_EQ(outer.Height(), 445 + 2 * GetSystemMetrics(kSmCyFixedFrame) + GetSystemMetrics(kSmCyCaption));
    EXPECT_EQ(GetWindowRect(GetDlgItem(dialog, 510)).left - outer.left, 11 + GetSystemMetrics(kSmCxFixedFrame));
}

TEST_F(DialogTest, CreationFailsLikeWindowsDoes) {
    dialogs.FailCreate();
    EXPECT_EQ(CreateDialog(kMain, nullptr, Record, 0), nullptr);
    EXPECT_TRUE(g_log.empty());   // no kWmInitDialog for a dialog that never was
    EXPECT_EQ(CreateDialog(12345, nullptr, Record, 0), nullptr);
    EXPECT_EQ(CreateDialog(kPage, nullptr, Record, 0), nullptr);   // a page needs a parent
    EXPECT_NE(CreateDialog(kMain, nullptr, Record, 0), nullptr);
}

TEST_F(DialogTest, PagesSitInTheTabAndDieWithTheMainDialog) {
    OpenMain();
    Handle tab = GetDlgItem(main, 510);
    Rect area = GetTabDisplayRect(tab);
    EXPECT_EQ(MapRect(page, tab, {0, 0, 0, 0}), (Rect{area.left, area.top, area.left, area.top}));
    EXPECT_EQ(dialogs.Find(kPage), page);

    DestroyWindow(main);
    std::vector<Handle> destroyed;
    for (const Received& r : g_log)
        if (r.message == kWmDestroy) destroyed.push_back(r.window);
    ASSERT_EQ(destroyed.size(), 2u);
    EXPECT_EQ(destroyed[0], main);
    EXPECT_EQ(destroyed[1], page);
    EXPECT_FALSE(IsWindow(page));
    EXPECT_EQ(dialogs.Find(kPage), nullptr);
}

TEST_F(DialogTest, ButtonClicksArriveAsCommandsWithIdAndHandle) {
    OpenMain();
    Handle save = GetDlgItem(main, 1);
    ASSERT_TRUE(dialogs.Click(save));
    ASSERT_EQ(g_log.size(), 1u);
    EXPECT_EQ(g_log[0].window, main);
    EXPECT_EQ(g_log[0].message, kWmCommand);
    EXPECT_EQ(g_log[0].wParam, MakeWParam(1, kBnClicked));
    EXPECT_EQ(g_log[0].lParam, reinterpret_cast<LParam>(save));
}

TEST_F(DialogTest, CheckBoxesToggleBeforeTheyNotify) {
    OpenMain();
    Handle check = Item(1012);
    SetCheck(check, true);
    EXPECT_TRUE(g_log.empty());   // the program's changes are not reported
    ASSERT_TRUE(dialogs.Click(check));
    ASSERT_EQ(g_log.size(), 1u);
    EXPECT_EQ(g_log[0].window, page);
    EXPECT_EQ(g_log[0].wParam, MakeWParam(1012, kBnClicked));
    EXPECT_FALSE(g_log[0].checked);
    EXPECT_FALSE(IsChecked(check));
}

TEST_F(DialogTest, ComboSelectionsByTheUserAreReported) {
    OpenMain();
    Handle combo = Item(1010);
    for (const char* size : {"640×480", "800×600", "1024×768"}) AddItem(combo, size);
    EXPECT_TRUE(SelectItem(combo, 1));
    EXPECT_TRUE(g_log.empty());
    ASSERT_TRUE(dialogs.Choose(combo, 2));
    ASSERT_EQ(g_log.size(), 1u);
    EXPECT_EQ(g_log[0].wParam, MakeWParam(1010, kCbnSelChange));
    EXPECT_EQ(g_log[0].selection, 2);
    EXPECT_FALSE(dialogs.Choose(combo, 3));
    EXPECT_EQ(ItemText(combo, 0), "640×480");
}

TEST_F(DialogTest, ListBoxesReportOnlyWhenAskedTo) {
    OpenMain();
    Handle allow = Item(3022), deny = Item(3019);
    AddItem(allow, "192.168.000.*");
    AddItem(deny, "010.000.*.001");
    ASSERT_TRUE(dialogs.Choose(deny, 0));
    EXPECT_TRUE(g_log.empty());
    EXPECT_EQ(GetSelection(deny), 0);
    ASSERT_TRUE(dialogs.Choose(allow, 0));
    ASSERT_EQ(g_log.size(), 1u);
    EXPECT_EQ(g_log[0].wParam, MakeWParam(3022, kLbnSelChange));
}

TEST_F(DialogTest, DeletingItemsKeepsTheSelectionOnItsItem) {
    OpenMain();
    Handle list = Item(3022);
    for (const char* a : {"a", "b", "c", "d"}) AddItem(list, a);
    SelectItem(list, 2);
    EXPECT_EQ(DeleteItem(list, 0), 3);
    EXPECT_EQ(GetSelection(list), 1);
    EXPECT_EQ(ItemText(list, 1), "c");
    EXPECT_EQ(DeleteItem(list, 1), 2);
    EXPECT_EQ(GetSelection(list), -1);
    EXPECT_EQ(DeleteItem(list, 5), -1);
    EXPECT_FALSE(SelectItem(list, 7));
    EXPECT_EQ(GetSelection(list), -1);
    SelectItem(list, 0);
    ClearItems(list);
    EXPECT_EQ(ItemCount(list), 0);
    EXPECT_EQ(GetSelection(list), -1);
}

TEST_F(DialogTest, EditsReportEveryChangeAsUpdateThenChange) {
    OpenMain();
    Handle edit = Item(3010);
    SetWindowText(edit, "lobby");   // the program's change is reported too
    ASSERT_TRUE(dialogs.Type(edit, "player"));
    ASSERT_EQ(g_log.size(), 4u);
    EXPECT_EQ(g_log[0].wParam, MakeWParam(3010, kEnUpdate));
    EXPECT_EQ(g_log[1].wParam, MakeWParam(3010, kEnChange));
    EXPECT_EQ(g_log[3].wParam, MakeWParam(3010, kEnChange));
    EXPECT_EQ(GetWindowText(edit), "player");
    EXPECT_FALSE(dialogs.Type(Item(4110), "X"));   // read-only
    EXPECT_EQ(GetWindowText(Item(4110)), "UP");
}

TEST_F(DialogTest, TypingStopsAtTheLimitWithoutSplittingACharacter) {
    OpenMain();
    Handle edit = Item(3010);
    SetTextLimit(edit, 3);
    dialogs.Type(edit, "65536");
    EXPECT_EQ(GetWindowText(edit), "655");
    SetTextLimit(edit, 4);
    dialogs.Type(edit, "a\x82\xA0\x82\xA2");
    EXPECT_EQ(GetWindowText(edit), "a\x82\xA0");
    SetWindowText(edit, "longer than four");   // the limit is the user's only
    EXPECT_EQ(GetWindowText(edit), "longer than four");
}

TEST_F(DialogTest, FocusOnAnEditIsReportedOnce) {
    OpenMain();
    ASSERT_TRUE(dialogs.Focus(Item(3010)));
    ASSERT_TRUE(dialogs.Focus(Item(3010)));
    SetFocus(Item(4110));   // the program moving the focus is reported too
    ASSERT_EQ(g_log.size(), 2u);
    EXPECT_EQ(g_log[0].wParam, MakeWParam(3010, kEnSetFocus));
    EXPECT_EQ(g_log[1].wParam, MakeWParam(4110, kEnSetFocus));
    EXPECT_EQ(GetFocus(), Item(4110));
}

TEST_F(DialogTest, TabSwitchesArriveAsNotifyWithAHeader) {
    OpenMain();
    Handle tab = GetDlgItem(main, 510);
    EXPECT_EQ(InsertTab(tab, 0, "グラフィック"), 0);
    EXPECT_EQ(GetTabSelection(tab), 0);   // the first tab is selected at once
    EXPECT_EQ(InsertTab(tab, 9, "ゲーム"), 1);
    EXPECT_EQ(InsertTab(tab, 0, "BGM"), 0);
    EXPECT_EQ(GetTabSelection(tab), 1);   // still on "グラフィック"
    EXPECT_TRUE(SelectTab(tab, 2));
    EXPECT_TRUE(g_log.empty());

    ASSERT_TRUE(dialogs.Choose(tab, 0));
    ASSERT_EQ(g_log.size(), 1u);
    EXPECT_EQ(g_log[0].window, main);
    EXPECT_EQ(g_log[0].message, kWmNotify);
    EXPECT_EQ(g_log[0].wParam, 510u);
    EXPECT_EQ(g_log[0].header.from, tab);
    EXPECT_EQ(g_log[0].header.id, 510u);
    EXPECT_EQ(g_log[0].header.code, 0xFFFFFDD9u);   // -551
    EXPECT_EQ(g_log[0].selection, 0);
}

TEST_F(DialogTest, TrackbarMovesArriveAsHorizontalScrolls) {
    OpenMain();
    Handle bar = Item(2014);
    SetTrackbarRange(bar, -3000, 0);
    SetTrackbarPos(bar, -10000);
    EXPECT_EQ(GetTrackbarPos(bar), -3000);
    EXPECT_FALSE(SetTrackbarRange(bar, 1, 0));
    ASSERT_TRUE(dialogs.Slide(bar, -1500));
    ASSERT_TRUE(dialogs.Slide(bar, 50));
    ASSERT_EQ(g_log.size(), 2u);
    EXPECT_EQ(g_log[0].message, kWmHScroll);
    EXPECT_EQ(g_log[0].lParam, reinterpret_cast<LParam>(bar));
    EXPECT_EQ(LowWord(g_log[0].wParam), kTbThumbTrack);
    EXPECT_EQ(static_cast<int16_t>(HighWord(g_log[0].wParam)), -1500);
    EXPECT_EQ(GetTrackbarPos(bar), 0);
}

TEST_F(DialogTest, ControlsRefuseOperationsOfOtherKinds) {
    OpenMain();
    EXPECT_FALSE(SetCheck(Item(1010), true));
    EXPECT_EQ(AddItem(Item(1012), "x"), -1);
    EXPECT_EQ(InsertTab(Item(1010), 0, "x"), -1);
    EXPECT_EQ(GetTrackbarPos(Item(3010)), 0);
    EXPECT_FALSE(SetTextLimit(Item(2014), 3));
    EXPECT_EQ(GetSelection(nullptr), -1);
    EXPECT_FALSE(dialogs.Click(Item(3010)));
}

TEST_F(DialogTest, TheUserCannotReachHiddenOrDisabledControls) {
    OpenMain();
    EXPECT_FALSE(dialogs.Type(Item(4111), "x"));   // hidden and disabled
    EXPECT_FALSE(dialogs.Click(Item(7003)));       // disabled
    EnableWindow(Item(7003), true);
    EXPECT_TRUE(dialogs.Click(Item(7003)));
    ShowWindow(page, kSwHide);
    EXPECT_FALSE(dialogs.Click(Item(1012)));
    ShowWindow(page, kSwShow);
    EnableWindow(main, false);
    EXPECT_FALSE(dialogs.Click(Item(1012)));
}

TEST_F(DialogTest, EscapeAndTheCloseButtonMeanCancelAndEnterTheDefault) {
    OpenMain();
    ASSERT_TRUE(dialogs.PressEscape(main));
    ASSERT_TRUE(dialogs.PressEnter(main));
    ASSERT_TRUE(dialogs.Close(main));
    Message m;
    ASSERT_TRUE(PeekMessage(m));
    DispatchMessage(m);   // kWmClose, which Record leaves unhandled
    ASSERT_EQ(g_log.size(), 4u);
    EXPECT_EQ(g_log[0].wParam, MakeWParam(kIdCancel, kBnClicked));
    EXPECT_EQ(g_log[0].lParam, reinterpret_cast<LParam>(GetDlgItem(main, 2)));
    EXPECT_EQ(g_log[1].wParam, MakeWParam(1, kBnClicked));
    EXPECT_EQ(g_log[2].message, kWmClose);
    EXPECT_EQ(g_log[3].wParam, MakeWParam(kIdCancel, kBnClicked));
}

TEST_F(DialogTest, ModalDialogEndsWithItsResultAndGivesTheOwnerBack) {
    OpenMain();
    bool ownerDisabled = false;
    dialogs.OnModal([&](Handle dialog) {
        ownerDisabled = !IsWindowEnabled(main);
        dialogs.Click(GetDlgItem(dialog, kIdOk));   // empty octet: stays open
        dialogs.Type(GetDlgItem(dialog, 3026), "192");
        // Queued, so only the modal loop's dispatching can end the dialog.
        PostMessage(dialog, kWmCommand, MakeWParam(kIdOk, kBnClicked), 0);
    });
    EXPECT_EQ(DialogBox(kAddress, main, AddressProc, 0), 1);
    EXPECT_TRUE(ownerDisabled);
    EXPECT_TRUE(IsWindowEnabled(main));
    EXPECT_EQ(dialogs.Find(kAddress), nullptr);   // destroyed on the way out
}

TEST_F(DialogTest, ModalDialogThatNothingEndsFails) {
    OpenMain();
    EXPECT_EQ(DialogBox(kAddress, main, AddressProc, 0), -1);
    EXPECT_TRUE(IsWindowEnabled(main));
    dialogs.FailCreate();
    EXPECT_EQ(DialogBox(kAddress, main, AddressProc, 0), -1);
    EXPECT_EQ(DialogBox(12345, nullptr, AddressProc, 0), -1);
}

TEST_F(DialogTest, QuitDuringAModalDialogReachesTheOuterLoop) {
    OpenMain();
    int idles = 0;
    windows.OnIdle([&] { return ++idles < 3; });
    dialogs.OnModal([](Handle) { PostQuitMessage(7); });
    EXPECT_EQ(DialogBox(kAddress, main, AddressProc, 0), -1);
    EXPECT_EQ(idles, 0);
    Message m;
    ASSERT_TRUE(PeekMessage(m));
    EXPECT_EQ(m.message, kWmQuit);
    EXPECT_EQ(m.wParam, 7u);
}

TEST_F(DialogTest, FilesDroppedOnAnEditReachItsReplacedProcedure) {
    OpenMain();
    static std::vector<std::string> dropped;
    static Handle droppedOn;
    dropped.clear();
    WindowProc replaced = [](Handle window, uint32_t message, WParam wParam, LParam) -> LResult {
        if (message != kWmDropFiles) return 0;
        droppedOn = window;
        for (uint32_t i = 0; i < DragQueryFileCount(wParam); ++i) dropped.push_back(DragQueryFile(wParam, i));
        DragFinish(wParam);
        return 0;
    };
    Handle edit = Item(3010);
    EXPECT_FALSE(windows.DropFiles(edit, {"/music/a.ogg"}));
    DragAcceptFiles(edit, true);
    SetWindowProc(edit, replaced);
    ASSERT_TRUE(windows.DropFiles(edit, {"/music/a.ogg", "/music/b.ogg"}));
    Message m;
    while (PeekMessage(m)) DispatchMessage(m);
    EXPECT_EQ(droppedOn, edit);
    EXPECT_EQ(dropped, (std::vector<std::string>{"/music/a.ogg", "/music/b.ogg"}));
}

// Runs in a child process: the display is gone for good there.
bool GtkDialogsFailWithoutADisplay() {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    InstallFakeWindow();
    UseRealBackend();
    DialogTemplate t;
    t.width = t.height = 50;
    t.controls = {ControlTemplate{ControlKind::Edit, 1, "", {1, 1, 20, 10}, 0}};
    RegisterTemplate(1, t);
    return CreateDialog(1, nullptr, Record, 0) == nullptr && DialogBox(1, nullptr, Record, 0) == -1 &&
           g_log.empty();
}

TEST(GtkDialogs, FailCleanlyWithoutADisplay) {
    EXPECT_EXIT(std::_Exit(GtkDialogsFailWithoutADisplay() ? 0 : 1), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace host::dialog
