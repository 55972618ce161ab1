// The fake dialog backend: an in-memory control tree that a test drives as
// a user would. Actions refuse controls the user could not reach (hidden or
// disabled, or in a hidden or disabled dialog) and return false. Use it with
// the fake window backend: a modal dialog's loop ends (DialogBox gives -1)
// once nothing is queued and FakeWindow's idle hook has nothing more.
//
//   auto& dialogs = host::dialog::InstallFakeDialogs();
//   Handle page = dialogs.Find(2000);
//   dialogs.Click(GetDlgItem(page, 2012));   // kWmCommand (BN_CLICKED << 16 | 2012)
#pragma once

#include "host/dialog/DialogBackend.h"

#include <functional>

namespace host::dialog {

class FakeDialogs : public Backend {
public:
    // The next `count` dialogs fail to be created.
    void FailCreate(int count = 1) { failCreates_ = count; }
    // The newest live dialog made from the template; null when none.
    Handle Find(int32_t templateId) const;

    bool Click(Handle control);   // push button, or check box (toggles it)
    bool Choose(Handle control, int32_t index);   // combo, list or tab
    bool Type(Handle edit, std::string_view text);   // replaces the text
    bool Slide(Handle trackbar, int32_t position);
    bool Focus(Handle control);
    bool PressEscape(Handle dialog);
    bool PressEnter(Handle dialog);
    bool Close(Handle dialog);   // the title bar's close button
    // Runs once a modal dialog is shown, before its loop waits: the user's
    // part, typing and clicking in it.
    void OnModal(std::function<void(Handle dialog)> script) { modal_ = std::move(script); }

    std::unique_ptr<Peer> CreateDialogPeer(Handle dialog, const DialogTemplate& dialogTemplate) override;
    std::unique_ptr<Peer> CreateControlPeer(Handle control, const ControlTemplate& controlTemplate) override;
    void OnModalShown(Handle dialog) override;

private:
    int failCreates_ = 0;
    std::function<void(Handle)> modal_;
};

// Installs a fresh fake; the reference holds until the next install.
FakeDialogs& InstallFakeDialogs();

}  // namespace host::dialog
