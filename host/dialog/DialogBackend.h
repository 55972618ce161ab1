// What dialog backends see of the dialog service: the peer that mirrors a
// dialog or control natively, and the entry points through which the user's
// actions come back. The service keeps every control's state and sends the
// notifications; a backend only reports what the user did.
#pragma once

#include "host/dialog/Dialog.h"
#include "host/window/WindowBackend.h"

#include <memory>
#include <string>

namespace host::dialog {

class Peer : public window::Peer {
public:
    virtual void SetItems(const std::vector<std::string>&) {}   // combo, list and tab
    virtual void SetSelection(int32_t) {}
    virtual void SetCheck(bool) {}
    virtual void SetTrackbar(int32_t /*min*/, int32_t /*max*/, int32_t /*position*/, int32_t /*lineSize*/) {}
    virtual void SetTextLimit(int32_t) {}
    virtual void SetModal(bool) {}
    // The page area of a tab control whose client rectangle is given.
    virtual window::Rect TabDisplayRect(const window::Rect& client) {
        return {client.left + 2, client.top + 22, client.right - 2, client.bottom - 2};
    }
};

class Backend {
public:
    virtual ~Backend() = default;
    // Null when the dialog or control cannot be made.
    virtual std::unique_ptr<Peer> CreateDialogPeer(Handle dialog, const DialogTemplate& dialogTemplate) = 0;
    virtual std::unique_ptr<Peer> CreateControlPeer(Handle control, const ControlTemplate& controlTemplate) = 0;
    // A modal dialog is up and its loop about to run.
    virtual void OnModalShown(Handle /*dialog*/) {}
};

// Replaces the backend; existing dialogs are dropped without messages.
void InstallBackend(std::unique_ptr<Backend> backend);
std::unique_ptr<Backend> CreateGtkBackend();
// The newest live dialog made from the template; null when none.
Handle NewestDialog(int32_t templateId);

// The user's actions. Each updates the state and notifies the dialog; false
// when the control cannot take it (wrong kind, bad index, read-only).
bool UserClicked(Handle button);
bool UserToggled(Handle checkBox, bool checked);
bool UserSelected(Handle control, int32_t index);   // combo, list or tab
// An edit's new text past its limit keeps of what the user put in the
// first whole characters that fit, as a Windows edit keeps of a paste or an
// input-method commit; the peer then shows the text kept.
bool UserEdited(Handle edit, std::string_view text);
// Whether the user may change the edit's text to this: within the limit, or
// no longer than it is (so over-long text set by the program can be cut).
bool EditFits(Handle edit, std::string_view text);
// The bytes an insertion into the text before may add within the limit.
size_t EditRoom(Handle edit, std::string_view before);
// The text the edit takes when the user turns before into after (both code
// page 932): after when it fits, else the inserted part cut to fit.
std::string FitEdit(Handle edit, std::string_view before, std::string_view after);
bool UserSlid(Handle trackbar, int32_t position);
bool UserCancelled(Handle dialog);   // Esc: the Cancel command
// Enter: the default button's command, unless the focus is on an edit
// that wants every key (kWantAllKeys).
bool UserAccepted(Handle dialog);
// Whether the focus is on a control that wants every key.
bool FocusWantsAllKeys();

}  // namespace host::dialog
