// The fake window backend: windows that exist only in memory, input that a
// test scripts, and message boxes and file choosers that record what they
// were asked and answer from a script.
//
//   auto& fake = host::window::InstallFakeWindow();
//   fake.AnswerBoxes({kIdNo});
//   ... code under test ...
//   EXPECT_EQ(fake.Boxes().back().caption, "終了確認");
#pragma once

#include "host/window/WindowBackend.h"

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace host::window {

class FakeWindow : public Backend {
public:
    struct Box {
        Handle owner;
        std::string text, caption;
        uint32_t type;
    };

    // The next `count` window creations fail.
    void FailCreate(int count = 1) { failCreates_ = count; }
    void SetSystemMetric(int index, int value) { metrics_[index] = value; }

    // Input from the user. Keys carry the characters they type; Ctrl with
    // Alt is AltGr.
    bool KeyDown(Handle window, uint32_t virtualKey, std::string_view chars = {}, bool alt = false, bool ctrl = false);
    bool KeyUp(Handle window, uint32_t virtualKey, bool alt = false, bool ctrl = false);
    bool Close(Handle window);            // the title bar's close button
    void Activate(Handle window);         // null: the application loses the foreground
    // refused: names besides paths that have no code page 932 form.
    bool DropFiles(Handle window, std::vector<std::string> paths, uint32_t refused = 0);
    // The user or the window manager moved or resized the window.
    void Move(Handle window, const Rect& outer) { NotifyMoved(window, outer); }

    // Answers for the next boxes; afterwards each box takes its first button
    // (host::kernel::MessageBoxFirstButton).
    void AnswerBoxes(std::initializer_list<int> answers);
    std::vector<Box> Boxes() const;
    // Answers for the next file choosers; an empty path cancels and
    // kNotCp932 chooses a name that has no code page 932 form. Once they run
    // out every chooser is cancelled.
    static constexpr const char* kNotCp932 = "\x01not code page 932";
    void AnswerFileDialogs(std::initializer_list<std::string> paths);
    const std::vector<FileDialogRequest>& FileDialogs() const { return fileDialogs_; }

    bool CursorVisible() const { return cursorVisible_; }
    void SetCursorPos(int32_t x, int32_t y) { cursorX_ = x; cursorY_ = y; }
    // Runs while a modal loop waits with nothing queued; returning false
    // (or having no hook) says nothing more will come.
    void OnIdle(std::function<bool()> hook) { idle_ = std::move(hook); }

    // Backend
    std::unique_ptr<Peer> CreateTopLevel(Handle window, const WindowDesc& desc) override;
    void Pump() override {}
    bool Wait() override;
    int MessageBox(Handle owner, std::string_view text, std::string_view caption, uint32_t type) override;
    bool FileDialog(const FileDialogRequest& request, std::string& path) override;
    void ShowCursor(bool visible) override { cursorVisible_ = visible; }
    bool CursorPos(int32_t& x, int32_t& y) override { x = cursorX_; y = cursorY_; return true; }
    int SystemMetric(int index) override;

private:
    int failCreates_ = 0;
    std::map<int, int> metrics_;
    mutable std::mutex boxMutex_;   // host::kernel::MessageBox may come from any thread
    std::vector<Box> boxes_;
    std::vector<int> boxAnswers_;
    std::vector<std::string> fileAnswers_;
    std::vector<FileDialogRequest> fileDialogs_;
    bool cursorVisible_ = true;
    int32_t cursorX_ = 0, cursorY_ = 0;
    std::function<bool()> idle_;
};

// Installs a fresh fake; the reference holds until the next install.
FakeWindow& InstallFakeWindow();

}  // namespace host::window
