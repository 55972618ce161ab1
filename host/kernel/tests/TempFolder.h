// A fresh mkdtemp folder, set as TEMP for one test and removed afterwards.
#pragma once

#include <cstdlib>
#include <ftw.h>
#include <optional>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace host::kernel::testing {

class TempFolder {
public:
    TempFolder() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/orv-kernel-XXXXXX";
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern + "/";
        if (const char* old = std::getenv("TEMP")) oldTemp_ = old;
        setenv("TEMP", path_.c_str(), 1);
    }
    ~TempFolder() {
        if (oldTemp_) setenv("TEMP", oldTemp_->c_str(), 1);
        else unsetenv("TEMP");
        nftw(path_.c_str(), [](const char* p, const struct stat*, int, FTW*) { return ::remove(p); }, 16,
             FTW_DEPTH | FTW_PHYS);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Ends with '/'; ASCII, so the same in UTF-8 and CP932.
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
    std::optional<std::string> oldTemp_;
};

}  // namespace host::kernel::testing
