// The fake dialog backend: peers that do nothing, so the dialog service's
// own state is the control tree, and user actions checked the way a user
// meets them.
#include "host/dialog/FakeDialog.h"

namespace host::dialog {
namespace {

// Visible, and enabled along with every parent it lives in.
bool Reachable(Handle control) { return window::IsWindowVisible(control) && window::EnabledChain(control); }

}  // namespace

std::unique_ptr<Peer> FakeDialogs::CreateDialogPeer(Handle, const DialogTemplate&) {
    if (failCreates_ > 0) {
        --failCreates_;
        return nullptr;
    }
    return std::make_unique<Peer>();
}

std::unique_ptr<Peer> FakeDialogs::CreateControlPeer(Handle, const ControlTemplate&) {
    return std::make_unique<Peer>();
}

void FakeDialogs::OnModalShown(Handle dialog) {
    if (modal_) modal_(dialog);
}

Handle FakeDialogs::Find(int32_t templateId) const { return NewestDialog(templateId); }

bool FakeDialogs::Click(Handle control) {
    if (!Reachable(control)) return false;
    return UserClicked(control) || UserToggled(control, !IsChecked(control));
}

bool FakeDialogs::Choose(Handle control, int32_t index) { return Reachable(control) && UserSelected(control, index); }

bool FakeDialogs::Type(Handle edit, std::string_view text) { return Reachable(edit) && UserEdited(edit, text); }

bool FakeDialogs::Slide(Handle trackbar, int32_t position) { return Reachable(trackbar) && UserSlid(trackbar, position); }

bool FakeDialogs::Focus(Handle control) {
    if (!Reachable(control)) return false;
    window::SetFocus(control);
    return true;
}

bool FakeDialogs::PressEscape(Handle dialog) { return Reachable(dialog) && UserCancelled(dialog); }

bool FakeDialogs::PressEnter(Handle dialog) { return Reachable(dialog) && UserAccepted(dialog); }

bool FakeDialogs::Close(Handle dialog) {
    return Reachable(dialog) && window::PostInput(dialog, window::kWmClose, 0, 0);
}

FakeDialogs& InstallFakeDialogs() {
    auto fake = std::make_unique<FakeDialogs>();
    FakeDialogs& ref = *fake;
    InstallBackend(std::move(fake));
    return ref;
}

}  // namespace host::dialog
