// The GTK backend under a real X server (CTest runs this under Xvfb):
// widgets read back, and driven through GTK's own signals as a user would.
#include "host/dialog/DialogBackend.h"

#include "host/input/Input.h"
#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <linux/input-event-codes.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace host::dialog {
namespace ORV_TEST_FILE_ID {

namespace {

using namespace host::window;

std::vector<Message> g_log;

LResult Record(Handle window, uint32_t message, WParam wParam, LParam lParam) {
    g_log.push_back({window, message, wParam, lParam, 0});
    return 1;
}

// The first widget under root that is a T (and shows the text, for labels).
template <typename T>
T* Find(GtkWidget* root, GType type, const char* text = nullptr) {
    if (G_TYPE_CHECK_INSTANCE_TYPE(root, type) && (!text || std::strcmp(gtk_label_get_text(GTK_LABEL(root)), text) == 0))
        return reinterpret_cast<T*>(root);
    if (!GTK_IS_CONTAINER(root)) return nullptr;
    GList* children = gtk_container_get_children(GTK_CONTAINER(root));
    T* found = nullptr;
    for (GList* c = children; c && !found; c = c->next) found = Find<T>(GTK_WIDGET(c->data), type, text);
    g_list_free(children);
    return found;
}

bool Received(uint32_t message, WParam wParam) {
    for (const Message& m : g_log)
        if (m.message == message && m.wParam == wParam) return true;
    return false;
}

void Pump() {
    Message m;
    for (int i = 0; i < 200 && PeekMessage(m); ++i) DispatchMessage(m);
}

TEST(GtkDialog, ControlsShowWhatTheProgramSetsAndReportWhatTheUserDoes) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "needs an X display (DISPLAY): ctest runs it under Xvfb";
    host::window::UseRealBackend();
    host::dialog::UseRealBackend();
    DialogTemplate t;
    t.caption = "テスト";
    t.width = 200;
    t.height = 150;
    t.visible = true;
    t.controls = {
        {ControlKind::Edit, 10, "", {5, 5, 80, 12}, 0},
        {ControlKind::PushButton, 1, "保存", {5, 130, 50, 14}, kDefaultButton},
        {ControlKind::CheckBox, 11, "フルスクリーン", {5, 20, 80, 10}, 0},
        {ControlKind::ComboBox, 12, "", {5, 35, 80, 60}, 0},
        {ControlKind::Trackbar, 13, "", {5, 55, 80, 15}, 0},
        {ControlKind::Tab, 14, "", {100, 5, 95, 100}, 0},
        {ControlKind::ListBox, 15, "", {5, 75, 80, 40}, kNotify | kVerticalScroll},
    };
    ASSERT_TRUE(RegisterTemplate(1, t));
    DialogTemplate page;
    page.child = true;
    page.width = 60;
    page.height = 40;
    page.controls = {{ControlKind::Static, -1, "ページ", {2, 2, 50, 10}, 0}};
    ASSERT_TRUE(RegisterTemplate(2, page));

    Handle dialog = CreateDialog(1, nullptr, Record, 0);
    ASSERT_NE(dialog, nullptr);
    auto* window = static_cast<GtkWidget*>(GetPeer(dialog)->GtkToplevel());
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(gtk_widget_get_visible(window));
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)), u8"テスト");
    Pump();

    // What the program sets shows in the widgets, as UTF-8.
    g_log.clear();
    Handle edit = GetDlgItem(dialog, 10);
    SetWindowText(edit, "日本語");
    GtkEntry* entry = Find<GtkEntry>(window, GTK_TYPE_ENTRY);
    ASSERT_NE(entry, nullptr);
    EXPECT_STREQ(gtk_entry_get_text(entry), u8"日本語");
    Handle combo = GetDlgItem(dialog, 12);
    AddItem(combo, "なし");
    AddItem(combo, "LEVEL1");
    SelectItem(combo, 1);
    GtkComboBox* comboBox = Find<GtkComboBox>(window, GTK_TYPE_COMBO_BOX);
    ASSERT_NE(comboBox, nullptr);
    EXPECT_EQ(gtk_combo_box_get_active(comboBox), 1);
    GtkToggleButton* check = Find<GtkToggleButton>(window, GTK_TYPE_CHECK_BUTTON);
    ASSERT_NE(check, nullptr);
    SetCheck(GetDlgItem(dialog, 11), true);
    EXPECT_TRUE(gtk_toggle_button_get_active(check));
    Handle bar = GetDlgItem(dialog, 13);
    SetTrackbarRange(bar, -3000, 0);
    SetTrackbarPos(bar, -1000);
    GtkRange* range = Find<GtkRange>(window, GTK_TYPE_SCALE);
    ASSERT_NE(range, nullptr);
    EXPECT_EQ(gtk_range_get_value(range), -1000.0);
    SetTrackbarRange(bar, INT32_MIN, INT32_MAX);   // no overflow in the peer's arithmetic
    EXPECT_EQ(gtk_adjustment_get_upper(gtk_range_get_adjustment(range)), double(INT32_MAX));
    SetTrackbarRange(bar, INT32_MAX, INT32_MAX);
    EXPECT_EQ(gtk_adjustment_get_upper(gtk_range_get_adjustment(range)), double(INT32_MAX) + 1);
    SetTrackbarRange(bar, -3000, 0);
    SetTrackbarPos(bar, -1000);
    Handle tab = GetDlgItem(dialog, 14);
    InsertTab(tab, 0, "グラフィック");
    InsertTab(tab, 1, "ゲーム");
    GtkNotebook* notebook = Find<GtkNotebook>(window, GTK_TYPE_NOTEBOOK);
    ASSERT_NE(notebook, nullptr);
    EXPECT_EQ(gtk_notebook_get_n_pages(notebook), 2);
    AddItem(GetDlgItem(dialog, 15), "192.168.000.*");
    EXPECT_TRUE(Received(kWmCommand, MakeWParam(10, kEnChange)));   // only an edit reports the program
    EXPECT_FALSE(Received(kWmCommand, MakeWParam(11, kBnClicked)));
    EXPECT_FALSE(Received(kWmCommand, MakeWParam(12, kCbnSelChange)));
    EXPECT_FALSE(Received(kWmNotify, 14));
    for (const Message& m : g_log) EXPECT_NE(m.message, kWmHScroll);

    // A page goes over the tab's page area.
    Rect area = GetTabDisplayRect(tab);
    EXPECT_GT(area.top, 0);
    Handle pageWindow = CreateDialog(2, tab, Record, 0);
    ASSERT_NE(pageWindow, nullptr);
    MoveWindow(pageWindow, area.left, area.top, area.Width(), area.Height());
    ShowWindow(pageWindow, kSwShow);
    GtkLabel* label = Find<GtkLabel>(window, GTK_TYPE_LABEL, u8"ページ");
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(gtk_widget_is_visible(GTK_WIDGET(label)));
    Pump();

    // What the user does comes back as notifications, and as code page 932.
    g_log.clear();
    gtk_entry_set_text(entry, u8"ゲーム");
    EXPECT_EQ(GetWindowText(edit), "ゲーム");
    EXPECT_TRUE(Received(kWmCommand, MakeWParam(10, kEnUpdate)));
    gtk_button_clicked(GTK_BUTTON(Find<GtkButton>(window, GTK_TYPE_BUTTON)));
    EXPECT_TRUE(Received(kWmCommand, MakeWParam(1, kBnClicked)));
    gtk_toggle_button_set_active(check, FALSE);
    EXPECT_FALSE(IsChecked(GetDlgItem(dialog, 11)));
    EXPECT_TRUE(Received(kWmCommand, MakeWParam(11, kBnClicked)));
    gtk_combo_box_set_active(comboBox, 0);
    EXPECT_EQ(GetSelection(combo), 0);
    EXPECT_TRUE(Received(kWmCommand, MakeWParam(12, kCbnSelChange)));
    gtk_range_set_value(range, -20);
    EXPECT_EQ(GetTrackbarPos(bar), -20);
    EXPECT_TRUE(Received(kWmHScroll, MakeWParam(kTbThumbTrack, static_cast<uint16_t>(-20))));
    // An insertion past the byte limit keeps its first whole characters
    // that fit before it reaches the entry; one with none that fit is
    // refused.
    SetTextLimit(edit, 8);
    gint at = 3;
    gtk_editable_insert_text(GTK_EDITABLE(entry), u8"ソフト", -1, &at);
    EXPECT_STREQ(gtk_entry_get_text(entry), u8"ゲームソ");
    EXPECT_EQ(GetWindowText(edit), "ゲームソ");
    EXPECT_EQ(at, 4);
    gtk_editable_insert_text(GTK_EDITABLE(entry), u8"x", -1, &at);
    EXPECT_EQ(GetWindowText(edit), "ゲームソ");
    EXPECT_EQ(at, 4);
    gtk_entry_set_text(entry, u8"ゲーム");
    at = 3;
    gtk_editable_insert_text(GTK_EDITABLE(entry), u8"x", -1, &at);
    EXPECT_EQ(GetWindowText(edit), "ゲームx");
    gtk_editable_insert_text(GTK_EDITABLE(entry), u8"ソ", -1, &at);   // one byte short: no half of it
    EXPECT_EQ(GetWindowText(edit), "ゲームx");
    EXPECT_EQ(at, 4);
    gtk_editable_insert_text(GTK_EDITABLE(entry), u8"y", -1, &at);   // exactly 8 bytes
    gtk_editable_insert_text(GTK_EDITABLE(entry), u8"z", -1, &at);
    EXPECT_EQ(GetWindowText(edit), "ゲームxy");
    // GTK counts characters and caps at 65535; past that only our check binds.
    EXPECT_EQ(gtk_entry_get_max_length(entry), 8);
    for (const auto& [bytes, max] : {std::pair{65535, 65535}, {65536, 0}, {0, 0}}) {
        SetTextLimit(edit, bytes);
        EXPECT_EQ(gtk_entry_get_max_length(entry), max) << bytes;
    }
    gtk_notebook_set_current_page(notebook, 1);
    EXPECT_EQ(GetTabSelection(tab), 1);
    EXPECT_TRUE(Received(kWmNotify, 14));
    GtkTreeView* list = Find<GtkTreeView>(window, GTK_TYPE_TREE_VIEW);
    ASSERT_NE(list, nullptr);
    GtkTreePath* first = gtk_tree_path_new_from_indices(0, -1);
    gtk_tree_selection_select_path(gtk_tree_view_get_selection(list), first);
    gtk_tree_path_free(first);
    EXPECT_EQ(GetSelection(GetDlgItem(dialog, 15)), 0);
    EXPECT_TRUE(Received(kWmCommand, MakeWParam(15, kLbnSelChange)));

    // Keys typed into the dialog reach the input service by their key code.
    host::input::FakeBackend fakeInput;
    std::unique_ptr<host::input::Input> input;
    ASSERT_EQ(fakeInput.CreateInput(input), host::input::Result::Ok);
    std::unique_ptr<host::input::Device> keyboard;
    ASSERT_EQ(input->CreateKeyboard(keyboard), host::input::Result::Ok);
    keyboard->SetDataFormat(host::input::DataFormat::Keyboard);
    keyboard->SetCooperativeLevel(host::input::kNonExclusive | host::input::kBackground);
    ASSERT_EQ(keyboard->Acquire(), host::input::Result::Ok);
    auto sendKey = [&](GdkEventType type, guint16 linuxCode, guint keyval) {
        GdkEvent* key = gdk_event_new(type);
        key->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
        key->key.hardware_keycode = guint16(linuxCode + 8);
        key->key.keyval = keyval;
        gdk_event_set_device(key, gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default())));
        gtk_main_do_event(key);
        gdk_event_free(key);
    };
    auto keyDown = [&](uint8_t code) {
        host::input::KeyboardState state;
        EXPECT_EQ(keyboard->GetState(state), host::input::Result::Ok);
        return state.keys[code] == host::input::kDown;
    };
    sendKey(GDK_KEY_PRESS, KEY_Z, GDK_KEY_z);
    EXPECT_TRUE(keyDown(host::input::key::Z));
    EXPECT_TRUE(keyDown(host::input::key::Z));   // held
    sendKey(GDK_KEY_RELEASE, KEY_Z, GDK_KEY_z);
    EXPECT_FALSE(keyDown(host::input::key::Z));
    sendKey(GDK_KEY_PRESS, KEY_UP, GDK_KEY_Up);
    sendKey(GDK_KEY_RELEASE, KEY_UP, GDK_KEY_Up);
    EXPECT_TRUE(keyDown(host::input::key::Up));   // a press between reads is read once
    EXPECT_FALSE(keyDown(host::input::key::Up));

    // The title bar's close button becomes a queued kWmClose.
    g_log.clear();
    GdkEvent* close = gdk_event_new(GDK_DELETE);
    close->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
    gtk_main_do_event(close);
    gdk_event_free(close);
    Pump();
    EXPECT_TRUE(Received(kWmClose, 0));

    EXPECT_TRUE(DestroyWindow(dialog));
    EXPECT_FALSE(IsWindow(pageWindow));
    Pump();
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace host::dialog
