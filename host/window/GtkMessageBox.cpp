// Message boxes as GTK message dialogs. The buttons carry the Japanese
// labels a Japanese system shows; closing the box without a button answers
// as Esc would (Cancel where there is one).
#include "host/window/GtkBoxes.h"
#include "host/window/WindowBackend.h"

#include "host/kernel/Kernel.h"

#include "host/window/GtkApi.h"

#include <vector>

namespace host::window {

using gtk::Gtk;
namespace {

constexpr uint32_t kMbYesNoCancel = 0x3;

struct Button {
    const char* label;   // UTF-8
    int answer;
};

GtkMessageType Kind(uint32_t type) {
    switch (type & 0xF0) {
    case host::kernel::kMbIconError: return GTK_MESSAGE_ERROR;
    case host::kernel::kMbIconQuestion: return GTK_MESSAGE_QUESTION;
    case host::kernel::kMbIconWarning: return GTK_MESSAGE_WARNING;
    case host::kernel::kMbIconInformation: return GTK_MESSAGE_INFO;
    default: return GTK_MESSAGE_OTHER;
    }
}

}  // namespace

int ShowGtkMessageBox(void* parent, std::string_view text, std::string_view caption, uint32_t type) {
    using namespace host::kernel;
    if (!StartGtk()) return -1;
    std::vector<Button> buttons;
    int closeAnswer;
    switch (type & 0xF) {
    case kMbOkCancel:
        buttons = {{u8"OK", kIdOk}, {u8"キャンセル", kIdCancel}};
        closeAnswer = kIdCancel;
        break;
    case kMbYesNoCancel:
        buttons = {{u8"はい", kIdYes}, {u8"いいえ", kIdNo}, {u8"キャンセル", kIdCancel}};
        closeAnswer = kIdCancel;
        break;
    case kMbYesNo:
        buttons = {{u8"はい", kIdYes}, {u8"いいえ", kIdNo}};
        closeAnswer = kIdNo;
        break;
    default:
        buttons = {{u8"OK", kIdOk}};
        closeAnswer = kIdOk;
        break;
    }
    std::string message = Cp932ToUtf8(text);
    GtkWidget* box = Gtk().gtk_message_dialog_new(static_cast<GtkWindow*>(parent), GTK_DIALOG_MODAL, Kind(type),
                                                  GTK_BUTTONS_NONE, "%s", message.c_str());
    Gtk().gtk_window_set_title(GTK_WINDOW(box), Cp932ToUtf8(caption).c_str());
    for (const Button& b : buttons) Gtk().gtk_dialog_add_button(GTK_DIALOG(box), b.label, b.answer);
    Gtk().gtk_dialog_set_default_response(GTK_DIALOG(box), buttons.front().answer);
    int response = Gtk().gtk_dialog_run(GTK_DIALOG(box));
    Gtk().gtk_widget_destroy(box);
    return response > 0 ? response : closeAnswer;
}

}  // namespace host::window
