// A file watch for tests: logs every file step and fails or shortens the
// ones a test picks. While one exists it is the installed watch.
//
//   host::kernel::FakeFileWatch watch;
//   watch.Fail(host::kernel::FileStep::SyncTemp);   // the next fsync fails
//   EXPECT_FALSE(host::kernel::WriteFileAtomic(path, "x", 1));
//   watch.Steps("Config.dat")                       // what the write did
#pragma once

#include "host/kernel/Kernel.h"

#include <mutex>
#include <string>
#include <vector>

namespace host::kernel {

class FakeFileWatch final : public FileWatch {
public:
    struct Entry {
        FileStep step;
        std::string path;   // native, as the step named it
        size_t bytes;       // asked, for Read, Write and WriteTemp
    };
    static constexpr size_t kFail = static_cast<size_t>(-1);

    FakeFileWatch() { SetFileWatch(this); }
    ~FakeFileWatch() override { SetFileWatch(nullptr); }
    FakeFileWatch(const FakeFileWatch&) = delete;
    FakeFileWatch& operator=(const FakeFileWatch&) = delete;

    // The nth step of this kind from now (1 = the next) fails.
    void Fail(FileStep step, int nth = 1) { Plan(step, nth, kFail); }
    // The nth read or write of this kind from now handles at most bytes.
    void Limit(FileStep step, size_t bytes, int nth = 1) { Plan(step, nth, bytes); }

    bool Allow(FileStep step, const std::string& native, size_t& bytes) override {
        std::lock_guard<std::mutex> lock(mutex_);
        log_.push_back(Entry{step, native, bytes});
        ++seen_[Index(step)];
        for (const Fault& f : faults_) {
            if (f.step != step || f.at != seen_[Index(step)]) continue;
            if (f.bytes == kFail) return false;
            bytes = f.bytes < bytes ? f.bytes : bytes;
        }
        return true;
    }

    std::vector<Entry> Log() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return log_;
    }
    // The steps on paths whose last component contains name (the target, its
    // temporary files and, for a SyncFolder, its folder all do when name is
    // the target's file name and folder is its folder's path).
    std::vector<FileStep> Steps(const std::string& name, const std::string& folder = {}) const {
        std::vector<FileStep> steps;
        for (const Entry& e : Log()) {
            const std::string last = e.path.substr(e.path.rfind('/') + 1);
            const bool isFolder = !folder.empty() && (e.path == folder || e.path + "/" == folder);
            if (last.find(name) != std::string::npos || isFolder) steps.push_back(e.step);
        }
        return steps;
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        log_.clear();
    }

private:
    struct Fault {
        FileStep step;
        size_t at;   // counted from the start of this watch
        size_t bytes;
    };
    static size_t Index(FileStep step) { return static_cast<size_t>(step); }
    void Plan(FileStep step, int nth, size_t bytes) {
        std::lock_guard<std::mutex> lock(mutex_);
        faults_.push_back(Fault{step, seen_[Index(step)] + static_cast<size_t>(nth), bytes});
    }

    mutable std::mutex mutex_;
    std::vector<Entry> log_;
    std::vector<Fault> faults_;
    size_t seen_[static_cast<size_t>(FileStep::RemoveLeftover) + 1] = {};
};

}  // namespace host::kernel
