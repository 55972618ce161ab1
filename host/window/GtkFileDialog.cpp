// Open and save choosers as GTK file chooser dialogs. Paths come back as
// code page 932; a name that has no code page 932 form is refused rather
// than handed on mangled.
#include "host/window/GtkBoxes.h"
#include "host/window/WindowBackend.h"

#include "host/kernel/Kernel.h"

#include "host/window/GtkApi.h"

#include <vector>

namespace host::window {

using gtk::Gtk;
namespace {

std::vector<std::string> SplitPatterns(std::string_view list) {
    std::vector<std::string> out;
    while (!list.empty()) {
        size_t end = list.find(';');
        std::string_view item = list.substr(0, end);
        while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
        while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
        if (!item.empty()) out.emplace_back(item);
        if (end == std::string_view::npos) break;
        list.remove_prefix(end + 1);
    }
    return out;
}

void AddFilters(GtkFileChooser* chooser, const std::vector<FileFilter>& filters) {
    for (const FileFilter& f : filters) {
        GtkFileFilter* filter = Gtk().gtk_file_filter_new();
        Gtk().gtk_file_filter_set_name(filter, host::kernel::Cp932ToUtf8(f.description).c_str());
        for (const std::string& pattern : SplitPatterns(f.patterns))
            Gtk().gtk_file_filter_add_pattern(filter, CaseInsensitivePattern(pattern).c_str());
        Gtk().gtk_file_chooser_add_filter(chooser, filter);
    }
}

void SetInitialName(GtkFileChooser* chooser, const FileDialogRequest& request) {
    gchar* current = Gtk().g_get_current_dir();
    Gtk().gtk_file_chooser_set_current_folder(chooser, current);
    Gtk().g_free(current);
    if (request.fileName.empty()) return;
    std::string native = host::kernel::NativePath(request.fileName);
    size_t slash = native.rfind('/');
    if (slash != std::string::npos) {
        std::string folder = slash == 0 ? "/" : native.substr(0, slash);
        Gtk().gtk_file_chooser_set_current_folder(chooser, folder.c_str());
    }
    std::string name = slash == std::string::npos ? native : native.substr(slash + 1);
    if (name.empty()) return;
    if (request.save) Gtk().gtk_file_chooser_set_current_name(chooser, name.c_str());
    else Gtk().gtk_file_chooser_set_filename(chooser, native.c_str());
}

}  // namespace

std::string CaseInsensitivePattern(std::string_view pattern) {
    if (pattern == "*.*") return "*";
    std::string out;
    // In UTF-8 no byte of a multibyte character is an ASCII letter, as a
    // code page 932 trail byte may be.
    for (char c : host::kernel::Cp932ToUtf8(pattern)) {
        char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower >= 'a' && lower <= 'z') {
            out += '[';
            out += lower;
            out += static_cast<char>(lower - 'a' + 'A');
            out += ']';
        } else {
            out += c;
        }
    }
    return out;
}

bool ShowGtkFileDialog(void* parent, const FileDialogRequest& request, std::string& path) {
    using host::kernel::Cp932ToUtf8;
    if (!StartGtk()) return false;
    std::string title = Cp932ToUtf8(request.title);
    GtkWidget* dialog = Gtk().gtk_file_chooser_dialog_new(
        title.c_str(), static_cast<GtkWindow*>(parent),
        request.save ? GTK_FILE_CHOOSER_ACTION_SAVE : GTK_FILE_CHOOSER_ACTION_OPEN, u8"キャンセル",
        GTK_RESPONSE_CANCEL, request.save ? u8"保存" : u8"開く", GTK_RESPONSE_ACCEPT, nullptr);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    Gtk().gtk_file_chooser_set_local_only(chooser, TRUE);
    Gtk().gtk_file_chooser_set_do_overwrite_confirmation(chooser, request.save ? TRUE : FALSE);
    AddFilters(chooser, request.filters);
    SetInitialName(chooser, request);
    Gtk().gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);

    bool chosen = false;
    if (Gtk().gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
        if (gchar* name = Gtk().gtk_file_chooser_get_filename(chooser)) {
            chosen = host::kernel::NativeToSystemPath(name, path);
            if (!chosen) NoteFileNameNotCp932();
            Gtk().g_free(name);
        }
    }
    Gtk().gtk_widget_destroy(dialog);
    return chosen;
}

}  // namespace host::window
