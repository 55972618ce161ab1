// Starting and pumping GTK, shared by the real window and dialog backends.
#include "host/window/GtkBoxes.h"
#include "host/window/WindowBackend.h"

#include <gtk/gtk.h>

namespace host::window {
namespace {

enum class GtkState { Untried, Running, Failed };
GtkState g_state = GtkState::Untried;

}  // namespace

bool StartGtk() {
    if (g_state == GtkState::Untried) {
        // The process locale stays "C": number parsing must not follow it.
        gtk_disable_setlocale();
        g_state = gtk_init_check(nullptr, nullptr) ? GtkState::Running : GtkState::Failed;
    }
    return g_state == GtkState::Running;
}

bool GtkStarted() { return g_state == GtkState::Running; }

void PumpGtk() {
    if (g_state != GtkState::Running) return;
    // Bounded, so a flood of redraws cannot starve the caller's frame.
    for (int i = 0; i < 1000 && g_main_context_iteration(nullptr, FALSE); ++i) {
    }
}

bool GtkScreenSize(int& width, int& height) {
    if (!GtkStarted()) return false;
    GdkDisplay* display = gdk_display_get_default();
    if (!display) return false;
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    if (!monitor) monitor = gdk_display_get_monitor(display, 0);
    if (!monitor) return false;
    GdkRectangle area;
    gdk_monitor_get_geometry(monitor, &area);
    width = area.width;
    height = area.height;
    return true;
}

}  // namespace host::window
