// The GTK functions the window backend calls, opened with the first message
// box, file chooser or screen size: a process that shows none (the game in
// a window of its own, every test program) starts without GTK and the thirty
// libraries it brings.
#pragma once

// Casts as plain casts: the checked ones call into GTK's type system.
#define G_DISABLE_CAST_CHECKS
#include <gtk/gtk.h>

namespace host::window::gtk {

#define ORV_GTK_FUNCTIONS(X) \
    X(g_free) X(g_get_current_dir) X(g_main_context_iteration) \
    X(gdk_display_get_default) X(gdk_display_get_monitor) X(gdk_display_get_primary_monitor) \
    X(gdk_monitor_get_geometry) \
    X(gtk_dialog_add_button) X(gtk_dialog_run) X(gtk_dialog_set_default_response) \
    X(gtk_disable_setlocale) X(gtk_init_check) X(gtk_message_dialog_new) X(gtk_widget_destroy) \
    X(gtk_window_set_title) \
    X(gtk_file_chooser_add_filter) X(gtk_file_chooser_dialog_new) X(gtk_file_chooser_get_filename) \
    X(gtk_file_chooser_set_current_folder) X(gtk_file_chooser_set_current_name) \
    X(gtk_file_chooser_set_do_overwrite_confirmation) X(gtk_file_chooser_set_filename) \
    X(gtk_file_chooser_set_local_only) X(gtk_file_filter_add_pattern) X(gtk_file_filter_new) \
    X(gtk_file_filter_set_name)

struct Api {
    bool loaded = false;
#define ORV_GTK_POINTER(name) decltype(&::name) name = nullptr;
    ORV_GTK_FUNCTIONS(ORV_GTK_POINTER)
#undef ORV_GTK_POINTER
};

// Every function null when GTK or one of its functions is missing.
const Api& Gtk();

}  // namespace host::window::gtk
