// The fake window backend. Windows live only in the window table; showing a
// window activates it at once, as a window manager would a moment later.
#include "host/window/FakeWindow.h"

#include "host/kernel/Kernel.h"

namespace host::window {
namespace {

class FakePeer : public Peer {
public:
    explicit FakePeer(Handle window) : window_(window) {}
    void SetVisible(bool visible) override {
        if (visible) NotifyActivated(window_, true);
        else if (GetForegroundWindow() == window_) NotifyActivated(window_, false);
    }
    void Raise() override { NotifyActivated(window_, true); }

private:
    Handle window_;
};

}  // namespace

std::unique_ptr<Peer> FakeWindow::CreateTopLevel(Handle window, const WindowDesc&) {
    if (failCreates_ > 0) {
        --failCreates_;
        return nullptr;
    }
    return std::make_unique<FakePeer>(window);
}

bool FakeWindow::Wait() { return idle_ ? idle_() : false; }

int FakeWindow::SystemMetric(int index) {
    auto it = metrics_.find(index);
    if (it != metrics_.end()) return it->second;
    switch (index) {
    case kSmCxScreen: return 1280;
    case kSmCyScreen: return 1024;
    case kSmCyCaption: return 22;
    case kSmCxFixedFrame:
    case kSmCyFixedFrame: return 3;
    default: return 0;
    }
}

bool FakeWindow::KeyDown(Handle window, uint32_t virtualKey, std::string_view chars, bool alt, bool ctrl) {
    return PostKey(window, virtualKey, true, false, alt, ctrl, std::string(chars));
}

bool FakeWindow::KeyUp(Handle window, uint32_t virtualKey, bool alt, bool ctrl) {
    return PostKey(window, virtualKey, false, false, alt, ctrl);
}

bool FakeWindow::Close(Handle window) { return PostInput(window, kWmClose, 0, 0); }

void FakeWindow::Activate(Handle window) {
    if (window) NotifyActivated(window, true);
    else if (Handle current = GetForegroundWindow()) NotifyActivated(current, false);
}

bool FakeWindow::DropFiles(Handle window, std::vector<std::string> paths, uint32_t refused) {
    return PostDroppedFiles(window, std::move(paths), refused);
}

void FakeWindow::AnswerBoxes(std::initializer_list<int> answers) {
    std::lock_guard<std::mutex> lock(boxMutex_);
    boxAnswers_.insert(boxAnswers_.end(), answers.begin(), answers.end());
}

std::vector<FakeWindow::Box> FakeWindow::Boxes() const {
    std::lock_guard<std::mutex> lock(boxMutex_);
    return boxes_;
}

int FakeWindow::MessageBox(Handle owner, std::string_view text, std::string_view caption, uint32_t type) {
    std::lock_guard<std::mutex> lock(boxMutex_);
    boxes_.push_back(Box{owner, std::string(text), std::string(caption), type});
    if (boxAnswers_.empty()) return host::kernel::MessageBoxFirstButton(type);
    int answer = boxAnswers_.front();
    boxAnswers_.erase(boxAnswers_.begin());
    return answer;
}

void FakeWindow::AnswerFileDialogs(std::initializer_list<std::string> paths) {
    fileAnswers_.insert(fileAnswers_.end(), paths.begin(), paths.end());
}

bool FakeWindow::FileDialog(const FileDialogRequest& request, std::string& path) {
    fileDialogs_.push_back(request);
    if (fileAnswers_.empty()) return false;
    std::string answer = std::move(fileAnswers_.front());
    fileAnswers_.erase(fileAnswers_.begin());
    if (answer.empty()) return false;
    if (answer == kNotCp932) {
        NoteFileNameNotCp932();
        return false;
    }
    path = std::move(answer);
    return true;
}

FakeWindow& InstallFakeWindow() {
    auto fake = std::make_unique<FakeWindow>();
    FakeWindow& ref = *fake;
    InstallBackend(std::move(fake));
    return ref;
}

}  // namespace host::window
