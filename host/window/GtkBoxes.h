// Message boxes and file choosers shown with GTK, for the real backend.
#pragma once

#include "host/window/Window.h"

#include <string>
#include <string_view>

namespace host::window {

// The pressed button's kId answer; -1 when GTK cannot start. parent is a
// GtkWindow* or null.
int ShowGtkMessageBox(void* parent, std::string_view text, std::string_view caption, uint32_t type);
bool ShowGtkFileDialog(void* parent, const FileDialogRequest& request, std::string& path);
// The primary monitor's size once GTK runs.
bool GtkScreenSize(int& width, int& height);

// A Windows filter pattern (code page 932) as a GTK one (UTF-8): ASCII
// letters match either case, and "*.*" matches every name, with or without
// a dot.
std::string CaseInsensitivePattern(std::string_view pattern);

}  // namespace host::window
