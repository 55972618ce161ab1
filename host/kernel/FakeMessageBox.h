// A message box for tests: records every box and answers from a script.
// While one exists it is the installed handler; its end restores the default.
//
//   host::kernel::FakeMessageBox boxes;            // answers kIdOk
//   ... code that fails ...
//   EXPECT_EQ(boxes.Last().text, "コンフィグファイルが読み込めません");   // CP932
#pragma once

#include "host/kernel/Kernel.h"

#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace host::kernel {

class FakeMessageBox {
public:
    struct Box {
        std::string text;      // code page 932, as the caller gave it
        std::string caption;
        uint32_t type;
    };

    explicit FakeMessageBox(int answer = kIdOk) : answer_(answer) {
        SetMessageBoxHandler([this](std::string_view text, std::string_view caption, uint32_t type) {
            std::lock_guard<std::mutex> lock(mutex_);
            boxes_.push_back(Box{std::string(text), std::string(caption), type});
            if (script_.empty()) return answer_;
            int next = script_.front();
            script_.pop_front();
            return next;
        });
    }
    ~FakeMessageBox() { SetMessageBoxHandler(nullptr); }
    FakeMessageBox(const FakeMessageBox&) = delete;
    FakeMessageBox& operator=(const FakeMessageBox&) = delete;

    // The answer to every box once the script has run out.
    void SetAnswer(int answer) {
        std::lock_guard<std::mutex> lock(mutex_);
        answer_ = answer;
    }
    // Answers for the next boxes, in order.
    void Script(std::initializer_list<int> answers) {
        std::lock_guard<std::mutex> lock(mutex_);
        script_.insert(script_.end(), answers.begin(), answers.end());
    }

    std::vector<Box> Boxes() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return boxes_;
    }
    size_t Count() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return boxes_.size();
    }
    // The latest box; an empty one (type 0xFFFFFFFF) when none was shown.
    Box Last() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return boxes_.empty() ? Box{{}, {}, 0xFFFFFFFFu} : boxes_.back();
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        boxes_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<Box> boxes_;
    std::deque<int> script_;
    int answer_;
};

}  // namespace host::kernel
