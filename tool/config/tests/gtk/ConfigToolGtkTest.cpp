// The configuration tool through the program's entry, on the real backends
// under an X server (CTest runs this under Xvfb): every page is shown
// and photographed (PNG files in the build folder, for a person to look at),
// then the user's part is played through GTK itself (an address entered in
// the address dialog, keys pressed for key rows, the save button and its
// question) and the saved file is checked.
#include "tool/config/ConfigToolApp.h"

#include "engine/platform/app/Entry.h"
#include "game/data/SaveConfig.h"
#include "host/input/Input.h"
#include "host/kernel/Kernel.h"
#include "host/kernel/tests/TempFolder.h"
#include "host/window/WindowBackend.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <linux/input-event-codes.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

#ifndef ORV_SCREENSHOT_DIR
#define ORV_SCREENSHOT_DIR "."
#endif

// From gdk/gdkx.h, whose X11 macros would clash with GoogleTest's names.
extern "C" unsigned long gdk_x11_window_get_xid(GdkWindow* window);

namespace {

namespace key = host::input::key;

// ---------------------------------------------------------------- GTK look-ups

void Collect(GtkWidget* root, std::vector<GtkWidget*>& out)
{
    out.push_back(root);
    if (!GTK_IS_CONTAINER(root)) return;
    GList* children = gtk_container_get_children(GTK_CONTAINER(root));
    for (GList* c = children; c; c = c->next) Collect(GTK_WIDGET(c->data), out);
    g_list_free(children);
}

std::vector<GtkWidget*> Widgets(GtkWidget* root)
{
    std::vector<GtkWidget*> all;
    Collect(root, all);
    return all;
}

GtkWidget* ButtonLabelled(GtkWidget* root, const char* utf8)
{
    for (GtkWidget* w : Widgets(root))
        if (GTK_IS_BUTTON(w) && gtk_button_get_label(GTK_BUTTON(w)) &&
            std::strcmp(gtk_button_get_label(GTK_BUTTON(w)), utf8) == 0)
            return w;
    return nullptr;
}

GtkWidget* EntryShowing(GtkWidget* root, const char* utf8)
{
    for (GtkWidget* w : Widgets(root))
        if (GTK_IS_ENTRY(w) && std::strcmp(gtk_entry_get_text(GTK_ENTRY(w)), utf8) == 0) return w;
    return nullptr;
}

GtkNotebook* FirstNotebook(GtkWidget* root)
{
    for (GtkWidget* w : Widgets(root))
        if (GTK_IS_NOTEBOOK(w)) return GTK_NOTEBOOK(w);
    return nullptr;
}

// The first visible top-level window that is.
GtkWidget* Toplevel(const std::function<bool(GtkWidget*)>& is)
{
    GList* all = gtk_window_list_toplevels();
    GtkWidget* found = nullptr;
    for (GList* w = all; w && !found; w = w->next)
        if (gtk_widget_get_visible(GTK_WIDGET(w->data)) && is(GTK_WIDGET(w->data))) found = GTK_WIDGET(w->data);
    g_list_free(all);
    return found;
}

// Runs act once a nested loop (a modal dialog, a message box) is up and
// act says it is done.
void WhenUp(std::function<bool()> act)
{
    auto* held = new std::function<bool()>(std::move(act));
    g_timeout_add(
        50,
        [](gpointer data) -> gboolean {
            auto* f = static_cast<std::function<bool()>*>(data);
            if (!(*f)()) return G_SOURCE_CONTINUE;
            delete f;
            return G_SOURCE_REMOVE;
        },
        held);
}

void SendKey(GtkWidget* window, GdkEventType type, guint16 linuxCode, guint keyval)
{
    GdkEvent* event = gdk_event_new(type);
    event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
    event->key.hardware_keycode = guint16(linuxCode + 8);
    event->key.keyval = keyval;
    gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default())));
    gtk_main_do_event(event);
    gdk_event_free(event);
}

bool Screenshot(GtkWidget* window, const std::string& name)
{
    const unsigned long xid = gdk_x11_window_get_xid(gtk_widget_get_window(window));
    const std::string path = std::string(ORV_SCREENSHOT_DIR) + "/" + name;
    const std::string command = "import -window " + std::to_string(xid) + " '" + path + "'";
    if (std::system(command.c_str()) != 0) return false;
    std::ifstream png(path, std::ios::binary | std::ios::ate);
    return png && png.tellg() > 1000;
}

// ---------------------------------------------------------------- the script

// The tool whose idle step also plays the user's part, one step at a time;
// a step returns true when it is done.
struct Script {
    std::vector<std::function<bool()>> steps;
    size_t next = 0;
    uint32_t waitUntil = 0;
};
Script* g_script = nullptr;

class ScriptedTool : public CConfigToolApp {
public:
    i32 Update() override
    {
        CConfigToolApp::Update();
        Script& s = *g_script;
        if (host::kernel::TimeGetTime() < s.waitUntil || s.next >= s.steps.size()) return 1;
        if (s.steps[s.next]()) ++s.next;
        return 1;
    }
};

TEST(ConfigToolGtk, EveryPageShowsAndTheUsersChangesAreSaved)
{
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "needs an X display (DISPLAY): ctest runs it under Xvfb";
    host::kernel::testing::TempFolder folder;
    ::mkdir((folder.Path() + "Temp").c_str(), 0777);
    setenv("TEMP", (folder.Path() + "Temp/").c_str(), 1);
    ::mkdir(ORV_SCREENSHOT_DIR, 0777);

    Script script;
    g_script = &script;
    auto app = [] { return static_cast<ScriptedTool*>(GetApplication()); };
    auto main = [&] { return static_cast<GtkWidget*>(host::window::GetPeer(app()->GetMainWindow())->GtkToplevel()); };
    auto wait = [&](uint32_t ms) {
        script.steps.push_back([&script, ms] {
            script.waitUntil = host::kernel::TimeGetTime() + ms;
            return true;
        });
    };
    auto step = [&](std::function<void()> f) { script.steps.push_back([f] { f(); return true; }); };
    std::vector<std::string> failures;
    auto check = [&](bool ok, const std::string& what) {
        if (!ok) failures.push_back(what);
    };

    const char* pageNames[] = {"graphics", "game", "network", "replay", "bgm", "keyconfig", "radiochat"};
    // Without a window manager nothing gives the dialog the keyboard focus.
    step([&] { gtk_window_present(GTK_WINDOW(main())); });
    wait(500);
    // All seven tabs are on the strip, none scrolled out of it.
    step([&] {
        GtkNotebook* tabs = FirstNotebook(main());
        GtkAllocation strip;
        gtk_widget_get_allocation(GTK_WIDGET(tabs), &strip);
        for (int page = 0; page < gtk_notebook_get_n_pages(tabs); ++page) {
            GtkWidget* label = gtk_notebook_get_tab_label(tabs, gtk_notebook_get_nth_page(tabs, page));
            GtkAllocation at;
            gtk_widget_get_allocation(label, &at);
            check(gtk_widget_get_child_visible(label) && gtk_widget_get_mapped(label) && at.x >= strip.x &&
                    at.x + at.width <= strip.x + strip.width,
                "tab label " + std::to_string(page) + " visible");
        }
    });
    for (int page = 0; page < 7; ++page) {
        step([&, page] {
            GtkNotebook* tabs = FirstNotebook(main());
            gtk_notebook_set_current_page(tabs, page);
            check(app()->GetShownPage() == app()->GetPage(u32(page)), "tab " + std::to_string(page));
        });
        wait(400);
        step([&, page] { check(Screenshot(main(), std::string("page-") + std::to_string(page) + "-" + pageNames[page] +
                                   ".png"),
                             "screenshot " + std::to_string(page)); });
    }
    // The controller sub page too.
    step([&] {
        gtk_notebook_set_current_page(FirstNotebook(main()), 5);
        GtkNotebook* keyTabs = nullptr;
        for (GtkWidget* w : Widgets(main()))
            if (GTK_IS_NOTEBOOK(w) && GTK_NOTEBOOK(w) != FirstNotebook(main())) keyTabs = GTK_NOTEBOOK(w);
        check(keyTabs != nullptr, "key tabs");
        if (keyTabs) gtk_notebook_set_current_page(keyTabs, 1);
        check(app()->GetShownKeyPage() == app()->GetKeyPage(1), "controller page");
    });
    wait(400);
    step([&] { check(Screenshot(main(), "page-5-keyconfig-controller.png"), "controller screenshot"); });

    // The user's part where GTK itself matters (a modal dialog, keys into
    // a key row). Network: an allow address entered in the dialog.
    step([&] {
        gtk_notebook_set_current_page(FirstNotebook(main()), 2);
        WhenUp([&, polls = 0]() mutable {
            GtkWidget* dialog = Toplevel([](GtkWidget* w) {
                const char* title = gtk_window_get_title(GTK_WINDOW(w));
                return title && std::strcmp(title, u8"IPアドレス入力") == 0;
            });
            // Shown for a few polls, so it is drawn before it is photographed.
            if (!dialog || !gtk_widget_get_mapped(dialog) || ++polls < 6) return false;
            check(Screenshot(dialog, "address-dialog.png"), "address dialog screenshot");
            const char* octets[] = {"192", "168", "0", "*"};
            int i = 0;
            for (GtkWidget* w : Widgets(dialog))
                if (GTK_IS_ENTRY(w) && i < 4) gtk_entry_set_text(GTK_ENTRY(w), octets[i++]);
            gtk_button_clicked(GTK_BUTTON(ButtonLabelled(dialog, "OK")));
            return true;
        });
        // The allow list's add button: the second u8"追加" of the page.
        std::vector<GtkWidget*> adds;
        for (GtkWidget* w : Widgets(main()))
            if (GTK_IS_BUTTON(w) && gtk_widget_is_visible(w) && gtk_button_get_label(GTK_BUTTON(w)) &&
                std::strcmp(gtk_button_get_label(GTK_BUTTON(w)), u8"追加") == 0)
                adds.push_back(w);
        check(adds.size() == 3, "three add buttons");
        if (adds.size() == 3) gtk_button_clicked(GTK_BUTTON(adds[1]));
        check(app()->GetConfig()->GetAllowCount() == 1, "allow address added");
    });
    // Key configuration: row 4 focused by a click, Z pressed.
    step([&] {
        gtk_notebook_set_current_page(FirstNotebook(main()), 5);
        for (GtkWidget* w : Widgets(main()))
            if (GTK_IS_NOTEBOOK(w) && GTK_NOTEBOOK(w) != FirstNotebook(main()))
                gtk_notebook_set_current_page(GTK_NOTEBOOK(w), 0);
        GtkWidget* up = EntryShowing(main(), "UP");
        check(up != nullptr, "row 4 entry");
        if (up) gtk_widget_grab_focus(up);
    });
    wait(200);
    step([&] {
        check(app()->GetSelectedRow() == 4, "row 4 selected");
        SendKey(main(), GDK_KEY_PRESS, KEY_Z, GDK_KEY_z);
    });
    wait(100);
    step([&] { SendKey(main(), GDK_KEY_RELEASE, KEY_Z, GDK_KEY_z); });
    wait(100);
    // Tab is captured too: it does not move the focus first.
    step([&] {
        check(app()->GetSelectedRow() == 5, "next row selected");
        SendKey(main(), GDK_KEY_PRESS, KEY_TAB, GDK_KEY_Tab);
    });
    wait(100);
    step([&] { SendKey(main(), GDK_KEY_RELEASE, KEY_TAB, GDK_KEY_Tab); });
    wait(100);
    step([&] {
        check(app()->GetSelectedRow() == 6, "row after Tab selected");
        check(Screenshot(main(), "after-capture.png"), "capture screenshot");
    });
    // Save, and Yes to closing.
    step([&] {
        WhenUp([&] {
            GtkWidget* box = Toplevel([](GtkWidget* w) { return GTK_IS_MESSAGE_DIALOG(w); });
            if (!box) return false;
            check(std::strcmp(gtk_window_get_title(GTK_WINDOW(box)), u8"終了確認") == 0, "question caption");
            gtk_dialog_response(GTK_DIALOG(box), host::kernel::kIdYes);
            return true;
        });
        gtk_button_clicked(GTK_BUTTON(ButtonLabelled(main(), u8"保存")));
    });

    const i32 exitCode = WinMain([]() -> CApplicationMain* { return new ScriptedTool; }, GetModuleInstance());
    g_script = nullptr;
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(script.next, script.steps.size());
    for (const std::string& f : failures) ADD_FAILURE() << f;

    CSaveConfig saved;
    ASSERT_EQ(saved.Load(), 1);
    ASSERT_EQ(saved.GetAllowCount(), 1u);
    EXPECT_STREQ(saved.GetAllowIp(0)->octet[0], "192");
    EXPECT_STREQ(saved.GetAllowIp(0)->octet[2], "000");
    EXPECT_STREQ(saved.GetAllowIp(0)->octet[3], "*");
    // Z went to row 4 (from row 14, which took UP), then Tab to row 5.
    EXPECT_EQ(saved.GetKeyConfigSection()->keyboard[4], key::Z);
    EXPECT_EQ(saved.GetKeyConfigSection()->keyboard[5], key::Tab);
    EXPECT_EQ(saved.GetKeyConfigSection()->keyboard[14], key::Up);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
