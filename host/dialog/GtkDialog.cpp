// The GTK dialog backend. A dialog is a GtkWindow (a page: a bare GtkFixed)
// whose controls sit in a GtkFixed at their template positions. A page is
// put into the nearest enclosing dialog's GtkFixed, over the tab control it
// belongs to rather than inside it, so the tab strip stays clickable.
// Changes the program makes are mirrored with the peer's signals muted;
// what the user does comes back through the User... calls. No callback
// touches its peer after such a call: the dialog procedure may have
// destroyed it.
#include "host/dialog/DialogBackend.h"

#include "host/input/Input.h"
#include "host/kernel/Kernel.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace host::dialog {
namespace {

using host::kernel::Cp932ToUtf8;
using host::kernel::Utf8ToCp932;
using window::Rect;

// Compact controls in a Japanese face, near the metrics the templates were
// laid out for.
constexpr char kCss[] = u8R"css(
.orv-dialog { font-family: "IPAGothic", "IPAPGothic", "Noto Sans CJK JP", sans-serif; font-size: 9pt; }
.orv-dialog button, .orv-dialog entry { min-height: 0; padding-top: 1px; padding-bottom: 1px; }
.orv-dialog tab { min-height: 0; padding: 2px 6px; }
)css";

constexpr char kDialogClass[] = "orv-dialog";

GtkNotebook* NewNotebook() {
    GtkWidget* notebook = gtk_notebook_new();
    gtk_notebook_set_scrollable(GTK_NOTEBOOK(notebook), TRUE);   // more tabs than width, as on Windows
    return GTK_NOTEBOOK(notebook);
}

void InstallCss() {
    static bool done = false;
    if (done) return;
    done = true;
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, kCss, -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(provider),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
}

class GtkPeer : public Peer {
public:
    ~GtkPeer() override {
        for (gpointer object : connected_) g_signal_handlers_disconnect_by_data(object, this);
        if (widget_) {
            gtk_widget_destroy(widget_);
            g_object_unref(widget_);
        }
    }
    bool Ready() const { return widget_ && (container_ || toplevel_); }
    GtkFixed* Contents() const { return contents_; }

    void SetVisible(bool visible) override { visible ? gtk_widget_show(widget_) : gtk_widget_hide(widget_); }
    void SetEnabled(bool enabled) override { gtk_widget_set_sensitive(widget_, enabled); }
    void SetRect(const Rect& rect) override {
        if (!container_) return;
        Rect r = window::MapRect(window::GetParent(handle_), containerOwner_, rect);
        r = SizeFor(r);
        gtk_fixed_move(container_, widget_, r.left, r.top);
        gtk_widget_set_size_request(widget_, std::max(1, r.Width()), std::max(1, r.Height()));
    }
    void Focus() override { gtk_widget_grab_focus(FocusWidget()); }
    void AcceptFiles(bool accept) override;
    void* GtkToplevel() override {
        GtkWidget* top = gtk_widget_get_toplevel(widget_);
        return GTK_IS_WINDOW(top) ? top : nullptr;
    }

protected:
    explicit GtkPeer(Handle handle) : handle_(handle) {}

    // Owns the widget and places it in the nearest dialog's contents.
    void Adopt(GtkWidget* widget) {
        widget_ = GTK_WIDGET(g_object_ref_sink(widget));
        for (Handle h = window::GetParent(handle_); h; h = window::GetParent(h)) {
            auto* peer = dynamic_cast<GtkPeer*>(window::GetPeer(h));
            if (peer && peer->contents_) {
                container_ = peer->contents_;
                containerOwner_ = h;
                gtk_fixed_put(container_, widget_, 0, 0);
                break;
            }
        }
        Connect(FocusWidget(), "focus-in-event", G_CALLBACK(OnFocusIn));
    }
    void Connect(gpointer object, const char* signal, GCallback callback) {
        g_signal_connect(object, signal, callback, this);
        if (std::find(connected_.begin(), connected_.end(), object) == connected_.end()) connected_.push_back(object);
    }
    virtual GtkWidget* FocusWidget() { return widget_; }
    virtual Rect SizeFor(const Rect& rect) { return rect; }

    // Mutes the peer's own signals while the program changes the widget.
    struct Quiet {
        explicit Quiet(GtkPeer& peer) : peer(peer) { ++peer.quiet_; }
        ~Quiet() { --peer.quiet_; }
        GtkPeer& peer;
    };
    bool Muted() const { return quiet_ > 0; }

    Handle handle_;
    GtkWidget* widget_ = nullptr;
    GtkWindow* toplevel_ = nullptr;    // dialogs that are windows of their own
    GtkFixed* contents_ = nullptr;     // dialogs: where their controls go
    GtkFixed* container_ = nullptr;    // where widget_ sits
    Handle containerOwner_ = nullptr;  // the dialog container_ belongs to

private:
    static gboolean OnFocusIn(GtkWidget*, GdkEvent*, gpointer self) {
        window::NotifyFocused(static_cast<GtkPeer*>(self)->handle_);
        return FALSE;
    }
    static void OnDropped(GtkWidget* widget, GdkDragContext*, gint, gint, GtkSelectionData* data, guint, guint,
                          gpointer self) {
        std::vector<std::string> paths;
        uint32_t refused = 0;
        if (gchar** uris = gtk_selection_data_get_uris(data)) {
            for (gchar** uri = uris; *uri; ++uri) {
                if (gchar* name = g_filename_from_uri(*uri, nullptr, nullptr)) {
                    std::string path;
                    if (host::kernel::NativeToSystemPath(name, path)) paths.push_back(std::move(path));
                    else ++refused;
                    g_free(name);
                }
            }
            g_strfreev(uris);
        }
        g_signal_stop_emission_by_name(widget, "drag-data-received");   // an entry would paste the URIs
        window::PostDroppedFiles(static_cast<GtkPeer*>(self)->handle_, std::move(paths), refused);
    }

    int quiet_ = 0;
    std::vector<gpointer> connected_;
};

void GtkPeer::AcceptFiles(bool accept) {
    if (!accept) {
        gtk_drag_dest_unset(widget_);
        return;
    }
    static GtkTargetEntry uriList{const_cast<gchar*>("text/uri-list"), 0, 0};
    gtk_drag_dest_set(widget_, GTK_DEST_DEFAULT_ALL, &uriList, 1, GDK_ACTION_COPY);
    Connect(widget_, "drag-data-received", G_CALLBACK(OnDropped));
}

// ---------------------------------------------------------------- dialogs

class DialogPeer : public GtkPeer {
public:
    DialogPeer(Handle handle, const DialogTemplate& t) : GtkPeer(handle) {
        GtkWidget* contents = gtk_fixed_new();
        contents_ = GTK_FIXED(contents);
        gtk_style_context_add_class(gtk_widget_get_style_context(contents), kDialogClass);
        if (t.child) {
            Adopt(contents);
            return;
        }
        GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        toplevel_ = GTK_WINDOW(window);
        gtk_window_set_resizable(toplevel_, FALSE);
        gtk_container_add(GTK_CONTAINER(window), contents);
        gtk_widget_show(contents);
        widget_ = GTK_WIDGET(g_object_ref_sink(window));
        if (Handle owner = window::GetParent(handle))
            if (window::Peer* peer = window::GetPeer(owner))
                if (void* top = peer->GtkToplevel()) gtk_window_set_transient_for(toplevel_, GTK_WINDOW(top));
        Connect(window, "delete-event", G_CALLBACK(OnDelete));
        Connect(window, "key-press-event", G_CALLBACK(OnKey));
        Connect(window, "key-release-event", G_CALLBACK(OnKeyUp));
        Connect(window, "focus-out-event", G_CALLBACK(OnFocusOut));
    }

    void SetText(std::string_view text) override {
        if (toplevel_) gtk_window_set_title(toplevel_, Cp932ToUtf8(text).c_str());
    }
    void SetRect(const Rect& rect) override {
        Rect client = window::GetClientRect(handle_);
        gtk_widget_set_size_request(GTK_WIDGET(contents_), std::max(1, client.Width()), std::max(1, client.Height()));
        if (toplevel_) gtk_window_move(toplevel_, rect.left, rect.top);
        else GtkPeer::SetRect(rect);
    }
    void SetModal(bool modal) override {
        if (toplevel_) gtk_window_set_modal(toplevel_, modal);
    }

private:
    static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer self) {
        window::PostInput(static_cast<DialogPeer*>(self)->handle_, window::kWmClose, 0, 0);
        return TRUE;   // the dialog's procedure decides
    }
    // Keys also go to the input service, which reads no GTK window itself:
    // the key configuration captures them from there.
    static void ReportKey(const GdkEventKey* event, bool down) {
        constexpr guint16 kLinuxOffset = 8;   // X11 and Wayland key codes
        if (event->hardware_keycode >= kLinuxOffset)
            input::ReportKey(input::KeyFromLinuxKeycode(event->hardware_keycode - kLinuxOffset), down);
    }
    static gboolean OnKeyUp(GtkWidget*, GdkEventKey* event, gpointer) {
        ReportKey(event, false);
        return FALSE;
    }
    static gboolean OnFocusOut(GtkWidget*, GdkEvent*, gpointer) {
        input::ReleaseReportedKeys();   // its key-ups go elsewhere now
        return FALSE;
    }
    static gboolean OnKey(GtkWidget*, GdkEventKey* event, gpointer self) {
        ReportKey(event, true);
        auto* peer = static_cast<DialogPeer*>(self);
        Handle dialog = peer->handle_;
        if (event->keyval == GDK_KEY_Escape) {
            UserCancelled(dialog);
            return TRUE;
        }
        // An edit that captures keys: neither the default button nor a focus
        // move takes them.
        GtkWidget* focus = gtk_window_get_focus(peer->toplevel_);
        if (focus && GTK_IS_ENTRY(focus) && FocusWantsAllKeys()) return TRUE;
        if (event->keyval == GDK_KEY_Return || event->keyval == GDK_KEY_KP_Enter) {
            if (focus && GTK_IS_BUTTON(focus) && !GTK_IS_TOGGLE_BUTTON(focus)) return FALSE;   // it presses itself
            UserAccepted(dialog);
            return TRUE;
        }
        return FALSE;
    }
};

// ---------------------------------------------------------------- controls

class ButtonPeer : public GtkPeer {
public:
    ButtonPeer(Handle handle, const ControlTemplate& t) : GtkPeer(handle) {
        GtkWidget* button = gtk_button_new_with_label("");
        Adopt(button);
        Connect(button, "clicked", G_CALLBACK(OnClicked));
        if (t.flags & kDefaultButton) {
            gtk_widget_set_can_default(button, TRUE);
            if (void* top = GtkToplevel()) gtk_window_set_default(GTK_WINDOW(top), button);
        }
    }
    void SetText(std::string_view text) override { gtk_button_set_label(GTK_BUTTON(widget_), Cp932ToUtf8(text).c_str()); }

private:
    static void OnClicked(GtkButton*, gpointer self) {
        auto* peer = static_cast<ButtonPeer*>(self);
        if (!peer->Muted()) UserClicked(peer->handle_);
    }
};

class CheckPeer : public GtkPeer {
public:
    CheckPeer(Handle handle, const ControlTemplate&) : GtkPeer(handle) {
        GtkWidget* check = gtk_check_button_new_with_label("");
        Adopt(check);
        Connect(check, "toggled", G_CALLBACK(OnToggled));
    }
    void SetText(std::string_view text) override { gtk_button_set_label(GTK_BUTTON(widget_), Cp932ToUtf8(text).c_str()); }
    void SetCheck(bool checked) override {
        Quiet quiet(*this);
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(widget_), checked);
    }

private:
    static void OnToggled(GtkToggleButton* button, gpointer self) {
        auto* peer = static_cast<CheckPeer*>(self);
        if (!peer->Muted()) UserToggled(peer->handle_, gtk_toggle_button_get_active(button));
    }
};

class GroupPeer : public GtkPeer {
public:
    GroupPeer(Handle handle, const ControlTemplate&) : GtkPeer(handle) { Adopt(gtk_frame_new(nullptr)); }
    void SetText(std::string_view text) override { gtk_frame_set_label(GTK_FRAME(widget_), Cp932ToUtf8(text).c_str()); }
};

class StaticPeer : public GtkPeer {
public:
    StaticPeer(Handle handle, const ControlTemplate& t) : GtkPeer(handle) {
        GtkWidget* label = gtk_label_new("");
        bool centred = (t.flags & kCentred) != 0;
        gtk_label_set_xalign(GTK_LABEL(label), centred ? 0.5f : 0.0f);
        gtk_label_set_yalign(GTK_LABEL(label), 0.0f);
        gtk_label_set_justify(GTK_LABEL(label), centred ? GTK_JUSTIFY_CENTER : GTK_JUSTIFY_LEFT);
        Adopt(label);
    }
    void SetText(std::string_view text) override { gtk_label_set_text(GTK_LABEL(widget_), Cp932ToUtf8(text).c_str()); }
};

class EditPeer : public GtkPeer {
public:
    EditPeer(Handle handle, const ControlTemplate& t) : GtkPeer(handle) {
        GtkWidget* entry = gtk_entry_new();
        gtk_editable_set_editable(GTK_EDITABLE(entry), (t.flags & kReadOnly) == 0);
        gtk_entry_set_alignment(GTK_ENTRY(entry), (t.flags & kCentred) ? 0.5f : 0.0f);
        gtk_entry_set_width_chars(GTK_ENTRY(entry), 1);   // the template decides the width
        Adopt(entry);
        Connect(entry, "insert-text", G_CALLBACK(OnInsert));
        Connect(entry, "changed", G_CALLBACK(OnChanged));
    }
    void SetText(std::string_view text) override {
        Quiet quiet(*this);
        gtk_entry_set_text(GTK_ENTRY(widget_), Cp932ToUtf8(text).c_str());
    }
    void SetTextLimit(int32_t bytes) override { gtk_entry_set_max_length(GTK_ENTRY(widget_), bytes < 65536 ? bytes : 0); }

private:
    // An insertion past the byte limit keeps its first whole characters
    // that fit (none: the text and the caret stay as they were), as a
    // Windows edit keeps of a paste or an input-method commit.
    static void OnInsert(GtkEditable* editable, const gchar* text, gint length, gint* position, gpointer self) {
        auto* peer = static_cast<EditPeer*>(self);
        if (peer->Muted()) return;
        const std::string inserted(text, length < 0 ? std::strlen(text) : static_cast<size_t>(length));
        size_t room = EditRoom(peer->handle_, Utf8ToCp932(gtk_entry_get_text(GTK_ENTRY(editable))));
        size_t fits = 0;
        for (const gchar* at = inserted.c_str(); *at;) {
            const gchar* next = g_utf8_next_char(at);
            const size_t bytes = Utf8ToCp932(std::string_view(at, static_cast<size_t>(next - at))).size();
            if (bytes > room) break;
            room -= bytes;
            fits = static_cast<size_t>(next - inserted.c_str());
            at = next;
        }
        if (fits == inserted.size()) return;
        // The part that fits goes in as an insertion of its own (this check
        // passes it); the whole one goes no further.
        if (fits > 0) gtk_editable_insert_text(editable, inserted.c_str(), static_cast<gint>(fits), position);
        g_signal_stop_emission_by_name(editable, "insert-text");
    }
    static void OnChanged(GtkEditable* editable, gpointer self) {
        auto* peer = static_cast<EditPeer*>(self);
        if (peer->Muted()) return;
        UserEdited(peer->handle_, Utf8ToCp932(gtk_entry_get_text(GTK_ENTRY(editable))));
    }
};

class ComboPeer : public GtkPeer {
public:
    ComboPeer(Handle handle, const ControlTemplate&) : GtkPeer(handle) {
        GtkWidget* combo = gtk_combo_box_text_new();
        Adopt(combo);
        Connect(combo, "changed", G_CALLBACK(OnChanged));
    }
    void SetItems(const std::vector<std::string>& items) override {
        Quiet quiet(*this);
        gtk_combo_box_text_remove_all(GTK_COMBO_BOX_TEXT(widget_));
        for (const std::string& item : items)
            gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(widget_), Cp932ToUtf8(item).c_str());
    }
    void SetSelection(int32_t index) override {
        Quiet quiet(*this);
        gtk_combo_box_set_active(GTK_COMBO_BOX(widget_), index);
    }

private:
    // A template's combo height includes its drop-down list; the box is one line.
    Rect SizeFor(const Rect& rect) override {
        int32_t line = DialogToPixels({0, 0, 0, 14}).bottom;
        return {rect.left, rect.top, rect.right, rect.top + std::min(rect.Height(), line)};
    }
    static void OnChanged(GtkComboBox* combo, gpointer self) {
        auto* peer = static_cast<ComboPeer*>(self);
        int index = gtk_combo_box_get_active(combo);
        if (!peer->Muted() && index >= 0) UserSelected(peer->handle_, index);
    }
};

class ListPeer : public GtkPeer {
public:
    ListPeer(Handle handle, const ControlTemplate& t) : GtkPeer(handle) {
        store_ = gtk_list_store_new(1, G_TYPE_STRING);
        tree_ = gtk_tree_view_new_with_model(GTK_TREE_MODEL(store_));
        g_object_unref(store_);   // the view keeps it
        gtk_tree_view_set_headers_visible(GTK_TREE_VIEW(tree_), FALSE);
        gtk_tree_view_insert_column_with_attributes(GTK_TREE_VIEW(tree_), -1, "", gtk_cell_renderer_text_new(), "text", 0,
                                                    nullptr);
        GtkWidget* scroller = gtk_scrolled_window_new(nullptr, nullptr);
        gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroller), GTK_POLICY_NEVER,
                                       (t.flags & kVerticalScroll) ? GTK_POLICY_AUTOMATIC : GTK_POLICY_NEVER);
        gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scroller), GTK_SHADOW_IN);
        gtk_container_add(GTK_CONTAINER(scroller), tree_);
        gtk_widget_show(tree_);
        Adopt(scroller);
        GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(tree_));
        gtk_tree_selection_set_mode(selection, GTK_SELECTION_SINGLE);
        Connect(selection, "changed", G_CALLBACK(OnChanged));
    }
    void SetItems(const std::vector<std::string>& items) override {
        Quiet quiet(*this);
        gtk_list_store_clear(store_);
        for (const std::string& item : items)
            gtk_list_store_insert_with_values(store_, nullptr, -1, 0, Cp932ToUtf8(item).c_str(), -1);
    }
    void SetSelection(int32_t index) override {
        Quiet quiet(*this);
        GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(tree_));
        gtk_tree_selection_unselect_all(selection);
        if (index < 0) return;
        GtkTreePath* path = gtk_tree_path_new_from_indices(index, -1);
        gtk_tree_selection_select_path(selection, path);
        gtk_tree_path_free(path);
    }

private:
    GtkWidget* FocusWidget() override { return tree_ ? tree_ : widget_; }
    static void OnChanged(GtkTreeSelection* selection, gpointer self) {
        auto* peer = static_cast<ListPeer*>(self);
        GtkTreeModel* model = nullptr;
        GtkTreeIter row;
        if (peer->Muted() || !gtk_tree_selection_get_selected(selection, &model, &row)) return;
        GtkTreePath* path = gtk_tree_model_get_path(model, &row);
        int index = gtk_tree_path_get_indices(path)[0];
        gtk_tree_path_free(path);
        UserSelected(peer->handle_, index);
    }

    GtkListStore* store_ = nullptr;
    GtkWidget* tree_ = nullptr;
};

class TabPeer : public GtkPeer {
public:
    TabPeer(Handle handle, const ControlTemplate&) : GtkPeer(handle) {
        GtkWidget* notebook = GTK_WIDGET(NewNotebook());
        Adopt(notebook);
        Connect(notebook, "switch-page", G_CALLBACK(OnSwitch));
    }
    void SetItems(const std::vector<std::string>& items) override {
        Quiet quiet(*this);
        GtkNotebook* notebook = GTK_NOTEBOOK(widget_);
        while (gtk_notebook_get_n_pages(notebook) > 0) gtk_notebook_remove_page(notebook, -1);
        for (const std::string& item : items) {
            // The pages are dialogs of their own; the notebook only shows tabs.
            GtkWidget* page = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
            GtkWidget* label = gtk_label_new(Cp932ToUtf8(item).c_str());
            gtk_widget_show(page);
            gtk_widget_show(label);
            gtk_notebook_append_page(notebook, page, label);
        }
    }
    void SetSelection(int32_t index) override {
        Quiet quiet(*this);
        if (index >= 0) gtk_notebook_set_current_page(GTK_NOTEBOOK(widget_), index);
    }
    Rect TabDisplayRect(const Rect& client) override {
        return {client.left + 2, client.top + StripHeight(), client.right - 2, client.bottom - 2};
    }

private:
    // Measured once on a notebook styled like ours with one empty page: the
    // tab strip and the borders.
    static int32_t StripHeight() {
        static int32_t height = 0;
        if (height > 0) return height;
        GtkWidget* probe = GTK_WIDGET(g_object_ref_sink(NewNotebook()));
        gtk_style_context_add_class(gtk_widget_get_style_context(probe), kDialogClass);
        GtkWidget* page = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
        GtkWidget* label = gtk_label_new(u8"あ");
        gtk_widget_show(page);
        gtk_widget_show(label);
        gtk_notebook_append_page(GTK_NOTEBOOK(probe), page, label);
        gint minimum = 0, natural = 0;
        gtk_widget_get_preferred_height(probe, &minimum, &natural);
        gtk_widget_destroy(probe);
        g_object_unref(probe);
        height = std::clamp<int32_t>(minimum, 16, 64);
        return height;
    }
    static void OnSwitch(GtkNotebook*, GtkWidget*, guint index, gpointer self) {
        auto* peer = static_cast<TabPeer*>(self);
        if (!peer->Muted()) UserSelected(peer->handle_, static_cast<int32_t>(index));
    }
};

class TrackbarPeer : public GtkPeer {
public:
    TrackbarPeer(Handle handle, const ControlTemplate&) : GtkPeer(handle) {
        GtkWidget* scale = gtk_scale_new_with_range(GTK_ORIENTATION_HORIZONTAL, 0, 100, 1);
        gtk_scale_set_draw_value(GTK_SCALE(scale), FALSE);
        gtk_range_set_round_digits(GTK_RANGE(scale), 0);
        Adopt(scale);
        Connect(scale, "value-changed", G_CALLBACK(OnChanged));
    }
    void SetTrackbar(int32_t min, int32_t max, int32_t position, int32_t lineSize) override {
        Quiet quiet(*this);
        GtkRange* range = GTK_RANGE(widget_);
        // In 64 bits: the full int32_t range overflows in 32.
        gtk_range_set_range(range, min, std::max<int64_t>(max, int64_t{min} + 1));
        gtk_range_set_increments(range, lineSize, std::max<int64_t>(lineSize, (int64_t{max} - min) / 5));
        gtk_range_set_value(range, position);
    }

private:
    static void OnChanged(GtkRange* range, gpointer self) {
        auto* peer = static_cast<TrackbarPeer*>(self);
        if (!peer->Muted()) UserSlid(peer->handle_, static_cast<int32_t>(std::lround(gtk_range_get_value(range))));
    }
};

// ---------------------------------------------------------------- backend

template <typename T>
std::unique_ptr<Peer> Make(Handle handle, const auto& t) {
    auto peer = std::make_unique<T>(handle, t);
    if (!peer->Ready()) return nullptr;
    return peer;
}

class GtkBackend : public Backend {
public:
    std::unique_ptr<Peer> CreateDialogPeer(Handle dialog, const DialogTemplate& t) override {
        if (!window::StartGtk()) return nullptr;
        InstallCss();
        return Make<DialogPeer>(dialog, t);
    }

    std::unique_ptr<Peer> CreateControlPeer(Handle control, const ControlTemplate& t) override {
        if (!window::StartGtk()) return nullptr;
        switch (t.kind) {
        case ControlKind::PushButton: return Make<ButtonPeer>(control, t);
        case ControlKind::CheckBox: return Make<CheckPeer>(control, t);
        case ControlKind::GroupBox: return Make<GroupPeer>(control, t);
        case ControlKind::Static: return Make<StaticPeer>(control, t);
        case ControlKind::Edit: return Make<EditPeer>(control, t);
        case ControlKind::ComboBox: return Make<ComboPeer>(control, t);
        case ControlKind::ListBox: return Make<ListPeer>(control, t);
        case ControlKind::Tab: return Make<TabPeer>(control, t);
        case ControlKind::Trackbar: return Make<TrackbarPeer>(control, t);
        }
        return nullptr;
    }
};

}  // namespace

std::unique_ptr<Backend> CreateGtkBackend() { return std::make_unique<GtkBackend>(); }

}  // namespace host::dialog
