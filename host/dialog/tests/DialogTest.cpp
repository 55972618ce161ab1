#include "host/dialog/FakeDialog.h"
#include "host/window/FakeWindow.h"

#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>

namespace host::dialog {
namespace ORV_TEST_FILE_ID {

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
        r.selection = GetSelection(reinterpret_cast<Handle>(lParam));
        r.checked = IsChecked(reinterpret_cast<Handle>(lParam));
    } else if (message == kWmNotify) {
        r.header = *reinterpret_cast<const NotifyHeader*>(lParam);
        r.selection = GetTabSelection(r.header.from);
    }
    g_log.push_back(r);
    return message == kWmClose ? 0 : 1;
}

// The address dialog ends with 1 on OK once its first octet is filled in.
LResult AddressProc(Handle dialog, uint32_t message, WParam wParam, LParam) {
    if (message != kWmCommand) return 0;
    if (LowWord(wParam) == uint32_t(kIdOk) && !GetWindowText(GetDlgItem(dialog, 3026)).empty()) EndDialog(dialog, 1);
    if (LowWord(wParam) == uint32_t(kIdCancel)) EndDialog(dialog, 0);
    return 1;
}

DialogTemplate Template(const char* caption, int32_t width, int32_t height, std::vector<ControlTemplate> controls) {
    DialogTemplate t;
    t.caption = caption;
    t.width = width;
    t.height = height;
    t.controls = std::move(controls);
    return t;
}

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_log.clear();
        ClearTemplates();
        using K = ControlKind;
        ASSERT_TRUE(RegisterTemplate(kMain, Template("Cendrava Config Tool", 292, 274,
                                                     {{K::PushButton, 1, "保存", {180, 253, 50, 14}, kDefaultButton},
                                                      {K::PushButton, 2, "終了", {235, 253, 50, 14}, 0},
                                                      {K::Tab, 510, "", {7, 7, 278, 240}, 0}})));
        DialogTemplate page = Template("", 195, 142,
                                       {{K::ComboBox, 1010, "", {60, 10, 80, 100}, 0},
                                        {K::CheckBox, 1012, "フルスクリーン", {10, 30, 80, 10}, 0},
                                        {K::ListBox, 3022, "", {10, 45, 60, 40}, kNotify | kVerticalScroll},
                                        {K::ListBox, 3019, "", {80, 45, 60, 40}, 0},
                                        {K::Edit, 3010, "", {10, 90, 60, 12}, 0},
                                        {K::Edit, 4110, "UP", {80, 90, 60, 12}, kReadOnly | kCentred | kWantAllKeys},
                                        {K::Edit, 4111, "", {80, 105, 60, 12}, kHidden | kDisabled},
                                        {K::Trackbar, 2014, "", {10, 120, 100, 15}, 0},
                                        {K::PushButton, 7003, "参照", {120, 120, 30, 14}, kDisabled}});
        page.child = true;
        ASSERT_TRUE(RegisterTemplate(kPage, page));
        ASSERT_TRUE(RegisterTemplate(kAddress, Template("IPアドレス入力", 182, 49,
                                                        {{K::Edit, 3026, "", {20, 10, 25, 12}, 0},
                                                         {K::PushButton, 1, "OK", {70, 30, 50, 14}, kDefaultButton},
                                                         {K::PushButton, 2, "キャンセル", {125, 30, 50, 14}, 0}})));
    }

    // The main dialog, shown, with one page over its tab's page area.
    void OpenMain() {
        main = CreateDialog(kMain, nullptr, Record, 0);
        ASSERT_NE(main, nullptr);
        ShowWindow(main, kSwShow);
        Handle tab = GetDlgItem(main, 510);
        page = CreateDialog(kPage, tab, Record, 0);
        ASSERT_NE(page, nullptr);
        const Rect area = GetTabDisplayRect(tab);
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

TEST(DialogTemplates, MalformedTemplatesAreRefusedAndUnitsBecomePixels) {
    DialogTemplate t;
    EXPECT_FALSE(RegisterTemplate(1, t));   // no size
    t.width = t.height = 10;
    t.controls = {ControlTemplate{ControlKind::Edit, 1, "", {0, 0, -1, 5}, 0}};
    EXPECT_FALSE(RegisterTemplate(1, t));
    t.controls = {ControlTemplate{static_cast<ControlKind>(99), 1, "", {0, 0, 1, 5}, 0}};
    EXPECT_FALSE(RegisterTemplate(1, t));
    EXPECT_EQ(FindTemplate(1), nullptr);

    // Base units 6 and 13; halves round away from zero.
    EXPECT_EQ(DialogToPixels({7, 7, 278, 240}), (Rect{11, 11, 11 + 417, 11 + 390}));
    EXPECT_EQ(DialogToPixels({1, 1, 1, 1}), (Rect{2, 2, 4, 4}));
    EXPECT_EQ(DialogToPixels({-1, -3, 0, 0}), (Rect{-2, -5, -2, -5}));
}

TEST_F(DialogTest, DialogsAreBuiltFromTheirTemplatesOrFailWithoutInitDialog) {
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
    EXPECT_FALSE(IsWindowVisible(dialog));   // the template does not ask for it

    // A top-level dialog's template size is its client area.
    EXPECT_EQ(GetClientRect(dialog), (Rect{0, 0, 438, 445}));
    const Rect outer = GetWindowRect(dialog);
    EXPECT_EQ(outer.Width(), 438 + 2 * GetSystemMetrics(kSmCxFixedFrame));
    EXPECT_EQ(outer.Height(), 445 + 2 * GetSystemMetrics(kSmCyFixedFrame) + GetSystemMetrics(kSmCyCaption));
    EXPECT_EQ(GetWindowRect(GetDlgItem(dialog, 510)).left - outer.left, 11 + GetSystemMetrics(kSmCxFixedFrame));

    g_log.clear();
    dialogs.FailCreate();
    EXPECT_EQ(CreateDialog(kMain, nullptr, Record, 0), nullptr);
    EXPECT_EQ(CreateDialog(12345, nullptr, Record, 0), nullptr);
    EXPECT_EQ(CreateDialog(kPage, nullptr, Record, 0), nullptr);   // a page needs a parent
    EXPECT_TRUE(g_log.empty());
}

TEST_F(DialogTest, PagesSitInTheTabAndDieWithTheMainDialog) {
    OpenMain();
    Handle tab = GetDlgItem(main, 510);
    const Rect area = GetTabDisplayRect(tab);
    EXPECT_EQ(MapRect(page, tab, {0, 0, 0, 0}), (Rect{area.left, area.top, area.left, area.top}));
    EXPECT_EQ(dialogs.Find(kPage), page);
    DestroyWindow(main);
    std::vector<Handle> destroyed;
    for (const Received& r : g_log)
        if (r.message == kWmDestroy) destroyed.push_back(r.window);
    EXPECT_EQ(destroyed, (std::vector<Handle>{main, page}));
    EXPECT_EQ(dialogs.Find(kPage), nullptr);
}

TEST_F(DialogTest, UserActionsArriveAsWindowsEncodesThem) {
    OpenMain();
    Handle save = GetDlgItem(main, 1), tab = GetDlgItem(main, 510), combo = Item(1010), check = Item(1012),
           list = Item(3022), edit = Item(3010), bar = Item(2014);
    for (const char* size : {"640×480", "800×600", "1024×768"}) AddItem(combo, size);
    AddItem(list, "192.168.000.*");
    AddItem(Item(3019), "010.000.*.001");
    InsertTab(tab, 0, "グラフィック");
    InsertTab(tab, 1, "ゲーム");
    SetTrackbarRange(bar, -3000, 0);
    SetCheck(check, true);
    const struct { std::function<bool()> act; Handle window, control; uint32_t message; WParam wParam; } cases[] = {
        {[&] { return dialogs.Click(save); }, main, save, kWmCommand, MakeWParam(1, kBnClicked)},
        {[&] { return dialogs.Click(check); }, page, check, kWmCommand, MakeWParam(1012, kBnClicked)},
        {[&] { return dialogs.Choose(combo, 2); }, page, combo, kWmCommand, MakeWParam(1010, kCbnSelChange)},
        {[&] { return dialogs.Choose(list, 0); }, page, list, kWmCommand, MakeWParam(3022, kLbnSelChange)},
        {[&] { return dialogs.Focus(edit); }, page, edit, kWmCommand, MakeWParam(3010, kEnSetFocus)},
        {[&] { return dialogs.Slide(bar, -1500); }, page, bar, kWmHScroll, MakeWParam(kTbThumbTrack, uint16_t(-1500))},
        {[&] { return dialogs.Choose(tab, 1); }, main, nullptr, kWmNotify, 510},
    };
    std::vector<Received> seen;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wParam);
        g_log.clear();
        ASSERT_TRUE(c.act());
        ASSERT_EQ(g_log.size(), 1u);
        EXPECT_EQ(g_log[0].window, c.window);
        EXPECT_EQ(g_log[0].message, c.message);
        EXPECT_EQ(g_log[0].wParam, c.wParam);
        EXPECT_TRUE(!c.control || g_log[0].lParam == reinterpret_cast<LParam>(c.control));
        seen.push_back(g_log[0]);
    }
    // The handlers see the state already changed.
    EXPECT_FALSE(seen[1].checked);
    EXPECT_EQ(seen[2].selection, 2);
    EXPECT_EQ(seen[6].header.from, tab);
    EXPECT_EQ(seen[6].header.id, 510u);
    EXPECT_EQ(seen[6].header.code, 0xFFFFFDD9u);   // -551
    EXPECT_EQ(seen[6].selection, 1);

    // Typing reports update then change per edit; a list box without kNotify and a second focus stay silent.
    g_log.clear();
    ASSERT_TRUE(dialogs.Type(edit, "player"));
    ASSERT_TRUE(dialogs.Choose(Item(3019), 0));
    ASSERT_TRUE(dialogs.Focus(edit));
    ASSERT_EQ(g_log.size(), 2u);
    EXPECT_EQ(g_log[0].wParam, MakeWParam(3010, kEnUpdate));
    EXPECT_EQ(g_log[1].wParam, MakeWParam(3010, kEnChange));
    EXPECT_EQ(GetSelection(Item(3019)), 0);
}

// Only changes to an edit's text and to the focus are reported, as on Windows.
TEST_F(DialogTest, TheProgramsOwnChangesStaySilentExceptTextAndFocus) {
    OpenMain();
    AddItem(Item(1010), "a");
    SelectItem(Item(1010), 0);
    SetCheck(Item(1012), true);
    InsertTab(GetDlgItem(main, 510), 0, "BGM");
    SetTrackbarPos(Item(2014), 10);
    EXPECT_TRUE(g_log.empty());
    SetWindowText(Item(3010), "lobby");
    SetFocus(Item(4110));
    ASSERT_EQ(g_log.size(), 3u);
    EXPECT_EQ(g_log[1].wParam, MakeWParam(3010, kEnChange));
    EXPECT_EQ(g_log[2].wParam, MakeWParam(4110, kEnSetFocus));
}

TEST_F(DialogTest, ControlsKeepTheirStateConsistent) {
    OpenMain();
    Handle list = Item(3022), edit = Item(3010), bar = Item(2014), tab = GetDlgItem(main, 510);
    for (const char* a : {"a", "b", "c", "d"}) AddItem(list, a);
    SelectItem(list, 2);
    EXPECT_EQ(DeleteItem(list, 0), 3);
    EXPECT_EQ(GetSelection(list), 1);   // the selection stays on its item
    EXPECT_EQ(ItemText(list, 1), "c");
    EXPECT_EQ(DeleteItem(list, 1), 2);
    EXPECT_EQ(GetSelection(list), -1);   // and goes with it
    SelectItem(list, 0);
    EXPECT_FALSE(SelectItem(list, 7));   // out of range clears too
    EXPECT_EQ(GetSelection(list), -1);
    // Indices one past either end name no item.
    EXPECT_EQ(ItemText(list, 2), "");
    EXPECT_EQ(ItemText(list, -1), "");
    EXPECT_EQ(ItemText(list, 1), "d");

    EXPECT_EQ(InsertTab(tab, 0, "グラフィック"), 0);
    EXPECT_EQ(GetTabSelection(tab), 0);   // the first tab is selected at once
    EXPECT_EQ(InsertTab(tab, 9, "ゲーム"), 1);
    EXPECT_EQ(InsertTab(tab, 0, "BGM"), 0);
    EXPECT_EQ(GetTabSelection(tab), 1);   // still on "グラフィック"
    EXPECT_FALSE(SelectTab(tab, 3) || SelectTab(tab, -1));   // one past either end
    EXPECT_TRUE(SelectTab(tab, 2));
    EXPECT_EQ(GetTabSelection(tab), 2);

    SetTrackbarRange(bar, -3000, 0);
    SetTrackbarPos(bar, -3001);   // one past the bottom
    EXPECT_EQ(GetTrackbarPos(bar), -3000);
    EXPECT_FALSE(SetTrackbarRange(bar, 1, 0));
    dialogs.Slide(bar, 50);
    EXPECT_EQ(GetTrackbarPos(bar), 0);

    // Past the byte limit an edit keeps, of what the user put in, the first
    // whole characters that fit, as a Windows edit keeps of a paste; the
    // dialog hears of the text kept. The limit binds the user only, who may
    // still shorten a longer text.
    SetTextLimit(edit, 4);
    static const struct {
        const char* before;   // set by the program
        const char* typed;    // the whole text the user leaves
        const char* kept;
    } rows[] = {
        {"", "abcd", "abcd"},                                    // exactly the limit
        {"", "abcde", "abcd"},                                   // a paste one past it
        {"", "abcdefghij", "abcd"},
        {"a", "a\x82\xA0\x82\xA2", "a\x82\xA0"},                 // no half character
        {"ab", "ab\x82\xA0\x82\xA2", "ab\x82\xA0"},              // the last one just fits
        {"abc", "abc\x82\xA0", "abc"},                          // nothing fits: as it was
        {"ad", "abcd", "abcd"},                                  // put in the middle
        {"ad", "abcxyd", "abcd"},
        {"longer than four", "longer than", "longer than"},     // shortened
        {"longer than four", "longer than 4", "longer than 4"},  // no longer than it was
        {"longer than", "longer than 4", "longer than"},        // nothing more goes in
        // The character typed at the limit is the text's last one: what the
        // texts begin with and end with must not overlap.
        {"aaaa", "aaaaa", "aaaa"},
        {"1000", "10000", "1000"},
        {"aa", "aaaaaa", "aaaa"},
    };
    for (const auto& row : rows) {
        SetWindowText(edit, row.before);
        g_log.clear();
        EXPECT_TRUE(dialogs.Type(edit, row.typed)) << row.typed;
        EXPECT_EQ(GetWindowText(edit), row.kept) << row.typed;
        const bool heard = std::any_of(g_log.begin(), g_log.end(), [](const Received& r) {
            return r.message == kWmCommand && r.wParam == MakeWParam(3010, kEnUpdate);
        });
        EXPECT_TRUE(heard || std::string(row.kept) == row.before) << row.typed;
    }
}

TEST_F(DialogTest, ControlsRefuseWhatTheirKindOrStateForbids) {
    OpenMain();
    EXPECT_FALSE(SetCheck(Item(1010), true));
    EXPECT_EQ(AddItem(Item(1012), "x"), -1);
    EXPECT_FALSE(SetTextLimit(Item(2014), 3));
    EXPECT_FALSE(dialogs.Click(Item(3010)));
    EXPECT_FALSE(dialogs.Type(Item(4110), "X"));   // read-only
    EXPECT_EQ(GetWindowText(Item(4110)), "UP");
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

    // An edit that wants Enter keeps it from the default button.
    ASSERT_TRUE(dialogs.Focus(Item(4110)));
    g_log.clear();
    EXPECT_FALSE(dialogs.PressEnter(main));
    EXPECT_TRUE(g_log.empty());
    ASSERT_TRUE(dialogs.Focus(Item(3010)));
    g_log.clear();
    EXPECT_TRUE(dialogs.PressEnter(main));
    ASSERT_EQ(g_log.size(), 1u);
    EXPECT_EQ(g_log[0].wParam, MakeWParam(1, kBnClicked));
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

    // Nothing ends it, it cannot be made, or no such template: -1.
    dialogs.OnModal(nullptr);
    EXPECT_EQ(DialogBox(kAddress, main, AddressProc, 0), -1);
    EXPECT_TRUE(IsWindowEnabled(main));
    dialogs.FailCreate();
    EXPECT_EQ(DialogBox(kAddress, main, AddressProc, 0), -1);
    EXPECT_EQ(DialogBox(12345, nullptr, AddressProc, 0), -1);

    // Destroyed under its own loop instead of ended: -1, the owner back.
    dialogs.OnModal([](Handle dialog) { PostMessage(dialog, kWmUser, 0, 0); });
    EXPECT_EQ(DialogBox(kAddress, main,
                        [](Handle dialog, uint32_t message, WParam, LParam) -> LResult {
                            if (message == kWmUser) DestroyWindow(dialog);
                            return 0;
                        },
                        0),
              -1);
    EXPECT_TRUE(IsWindowEnabled(main));
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

// The tool replaces an edit's procedure to take music files dropped on it.
TEST_F(DialogTest, FilesDroppedOnAnEditReachItsReplacedProcedure) {
    OpenMain();
    static std::vector<std::string> dropped;
    dropped.clear();
    Handle edit = Item(3010);
    EXPECT_FALSE(windows.DropFiles(edit, {"/music/a.ogg"}));   // not accepted yet
    DragAcceptFiles(edit, true);
    SetWindowProc(edit, [](Handle window, uint32_t message, WParam wParam, LParam) -> LResult {
        if (message != kWmDropFiles || GetDlgCtrlID(window) != 3010) return 0;
        for (uint32_t i = 0; i < DragQueryFileCount(wParam); ++i) dropped.push_back(DragQueryFile(wParam, i));
        DragFinish(wParam);
        return 0;
    });
    ASSERT_TRUE(windows.DropFiles(edit, {"/music/a.ogg", "/music/b.ogg"}));
    Message m;
    while (PeekMessage(m)) DispatchMessage(m);
    EXPECT_EQ(dropped, (std::vector<std::string>{"/music/a.ogg", "/music/b.ogg"}));
}

// Runs in a child process: the display is gone for good there.
bool GtkDialogsFailWithoutADisplay() {
    g_log.clear();
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    InstallFakeWindow();
    UseRealBackend();
    DialogTemplate t;
    t.width = t.height = 50;
    t.controls = {ControlTemplate{ControlKind::Edit, 1, "", {1, 1, 20, 10}, 0}};
    RegisterTemplate(1, t);
    return CreateDialog(1, nullptr, Record, 0) == nullptr && DialogBox(1, nullptr, Record, 0) == -1 && g_log.empty();
}

TEST(GtkDialogs, FailCleanlyWithoutADisplay) {
    EXPECT_EXIT(std::_Exit(GtkDialogsFailWithoutADisplay() ? 0 : 1), ::testing::ExitedWithCode(0), "");
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace host::dialog
