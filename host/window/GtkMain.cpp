// Starting and pumping GTK, shared by the real window and dialog backends.
#include "host/window/GtkBoxes.h"
#include "host/window/WindowBackend.h"

#include "host/window/GtkApi.h"

#include <dlfcn.h>

namespace host::window {

namespace gtk {

const Api& Gtk() {
    static const Api api = [] {
        Api a;
        // Never closed: GTK keeps its state for the life of the process.
        void* library = dlopen("libgtk-3.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!library) return a;
        bool all = true;
#define ORV_GTK_FIND(name) \
        a.name = reinterpret_cast<decltype(a.name)>(dlsym(library, #name)); \
        all = all && a.name;
        ORV_GTK_FUNCTIONS(ORV_GTK_FIND)
#undef ORV_GTK_FIND
        a.loaded = all;
        return all ? a : Api{};
    }();
    return api;
}

}  // namespace gtk

using gtk::Gtk;

namespace {

enum class GtkState { Untried, Running, Failed };
GtkState g_state = GtkState::Untried;

}  // namespace

bool StartGtk() {
    if (g_state == GtkState::Untried && !Gtk().loaded) g_state = GtkState::Failed;
    if (g_state == GtkState::Untried) {
        // The process locale stays "C": number parsing must not follow it.
        Gtk().gtk_disable_setlocale();
        g_state = Gtk().gtk_init_check(nullptr, nullptr) ? GtkState::Running : GtkState::Failed;
    }
    return g_state == GtkState::Running;
}

bool GtkStarted() { return g_state == GtkState::Running; }

void PumpGtk() {
    if (g_state != GtkState::Running) return;
    // Bounded, so a flood of redraws cannot starve the caller's frame.
    for (int i = 0; i < 1000 && Gtk().g_main_context_iteration(nullptr, FALSE); ++i) {
    }
}

bool GtkScreenSize(int& width, int& height) {
    if (!GtkStarted()) return false;
    GdkDisplay* display = Gtk().gdk_display_get_default();
    if (!display) return false;
    GdkMonitor* monitor = Gtk().gdk_display_get_primary_monitor(display);
    if (!monitor) monitor = Gtk().gdk_display_get_monitor(display, 0);
    if (!monitor) return false;
    GdkRectangle area;
    Gtk().gdk_monitor_get_geometry(monitor, &area);
    width = area.width;
    height = area.height;
    return true;
}

}  // namespace host::window
