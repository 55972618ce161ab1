#include "game/data/SaveFile.h"

#include "game/data/SaveConfig.h"
#include "host/kernel/Kernel.h"

namespace save_file {

bool MakePath(const char* fileName, std::string& path)
{
    std::string folder = GetUserDataDirectory(kSaveFolderName);
    if (folder.empty() || !fileName) return false;
    path = folder + fileName;
    return true;
}

ReadState ReadFile(const std::string& path, std::string& bytes)
{
    bytes.clear();
    if (host::kernel::ReadWholeFile(path, bytes)) return ReadState::Read;
    // Only a name that is not there at all counts as missing: a file that
    // exists but cannot be read must not be replaced by the defaults.
    if (!host::kernel::FileExists(path) && !host::kernel::DirectoryExists(path)) return ReadState::Missing;
    return ReadState::Unreadable;
}

bool WriteFile(const std::string& path, const std::string& bytes)
{
    return host::kernel::WriteFileAtomic(path, bytes.data(), bytes.size());
}

bool CopyAside(const std::string& path, const char* suffix, const std::string& bytes)
{
    return host::kernel::WriteFileAtomic(path + suffix, bytes.data(), bytes.size());
}

i32 Load(const char* fileName, bool& loadFailed, const std::function<void()>& setDefaults,
    const std::function<Parsed(const std::string&)>& parse, const std::function<i32()>& save)
{
    std::string path;
    if (!MakePath(fileName, path)) return 0;
    std::string bytes;
    switch (ReadFile(path, bytes)) {
    case ReadState::Missing:
        setDefaults();
        loadFailed = false;
        return save();
    case ReadState::Unreadable:
        loadFailed = true;
        return 0;
    case ReadState::Read:
        break;
    }
    switch (parse(bytes)) {
    case Parsed::Ok:
        return 1;
    // The game runs on what it could take, but without a kept copy the next
    // save would replace the only whole one.
    case Parsed::Truncated:
    case Parsed::Mismatch:
        if (!CopyAside(path, kBadSuffix, bytes)) loadFailed = true;
        return 1;
    case Parsed::Older: {
        const bool kept = CopyAside(path, kOldSuffix, bytes);
        setDefaults();
        loadFailed = !kept;
        return 1;
    }
    case Parsed::Newer:
        break;
    }
    loadFailed = true;
    return 0;
}

}  // namespace save_file
