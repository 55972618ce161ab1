// Paths and folders. A system path is code page 932 with '\' or '/'; it
// becomes UTF-8 first (where 0x5C can only be the backslash, never the
// second byte of a character such as "ソ"), then '\' becomes '/'. When the
// exact name does not exist each component is looked up without regard to
// ASCII letter case, as Windows would.
#include "host/kernel/Kernel.h"
#include "host/kernel/PosixPath.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace host::kernel {
namespace {

bool Exists(const std::string& native) {
    struct stat st;
    return lstat(native.c_str(), &st) == 0;
}

bool SameIgnoringCase(const char* a, const std::string& b) {
    size_t i = 0;
    for (; a[i] && i < b.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
        if (x != y) return false;
    }
    return a[i] == 0 && i == b.size();
}

// The entry of a folder whose name equals name but for letter case; empty
// when none. Of several, the smallest in byte order, so the answer does not
// depend on the folder's listing order.
std::string FindIgnoringCase(const std::string& folder, const std::string& name) {
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return {};
    std::string best;
    while (dirent* entry = readdir(dir)) {
        if (SameIgnoringCase(entry->d_name, name) && (best.empty() || best > entry->d_name))
            best = entry->d_name;
    }
    closedir(dir);
    return best;
}

std::string ResolveCase(const std::string& native) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= native.size()) {
        size_t end = native.find('/', start);
        if (end == std::string::npos) end = native.size();
        if (end > start) parts.push_back(native.substr(start, end - start));
        start = end + 1;
    }
    std::string resolved = native[0] == '/' ? "/" : "";
    bool resolving = true;
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        std::string candidate = resolved + part;
        if (resolving && part != "." && part != ".." && !Exists(candidate)) {
            std::string match = FindIgnoringCase(resolved, part);
            if (match.empty())
                resolving = false;   // nothing below a missing name can be found
            else
                candidate = resolved + match;
        }
        resolved = candidate;
        if (i + 1 < parts.size()) resolved += '/';
    }
    if (native.back() == '/' && resolved.back() != '/') resolved += '/';
    return resolved;
}

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
    passwd entry{}, *found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_dir)
        return found->pw_dir;
    return "/";
}

std::string WithSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

}  // namespace

std::string NativePath(std::string_view path) {
    std::string native = Cp932ToUtf8(path);
    std::replace(native.begin(), native.end(), '\\', '/');
    if (native.empty() || Exists(native)) return native;
    return ResolveCase(native);
}

bool FileExists(std::string_view path) {
    struct stat st;
    return stat(NativePath(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(std::string_view path) {
    struct stat st;
    return stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateDirectory(std::string_view path) {
    std::string native = NativePath(path);
    if (native.empty()) return false;
    mkdir(native.c_str(), 0777);
    struct stat st;
    return stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateDirectories(std::string_view path) {
    std::string native = NativePath(path);
    if (native.empty()) return false;
    for (size_t slash = native.find('/', 1); slash != std::string::npos; slash = native.find('/', slash + 1))
        mkdir(native.substr(0, slash).c_str(), 0777);
    mkdir(native.c_str(), 0777);
    struct stat st;
    return stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool DeleteFile(std::string_view path) {
    std::string native = NativePath(path);
    return !native.empty() && unlink(native.c_str()) == 0;
}

bool MoveFile(std::string_view from, std::string_view to) {
    std::string source = NativePath(from), target = NativePath(to);
    if (source.empty() || target.empty()) return false;
    if (rename(source.c_str(), target.c_str()) == 0) return true;
    if (errno != EXDEV) return false;
    // Another file system (a temporary file moved into the user's folder):
    // copy, then remove the source.
    struct stat st;
    if (stat(source.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    std::string bytes;
    if (!posix::ReadNative(source, bytes)) return false;
    if (!posix::WriteNativeAtomic(target, bytes.data(), bytes.size())) return false;
    unlink(source.c_str());
    return true;
}

std::string posix::TempFolderNative() {
    const char* temp = std::getenv("TEMP");
    if (temp && *temp) return WithSlash(temp);
    const char* data = std::getenv("XDG_DATA_HOME");
    // The XDG rules ignore a relative XDG_DATA_HOME.
    if (data && data[0] == '/') return WithSlash(data) + "Temp/";
    return WithSlash(HomeFolder()) + ".local/share/Temp/";
}

bool NativeToSystemPath(std::string_view utf8, std::string& out) {
    std::string system = Utf8ToCp932(utf8);
    if (utf8.find('\\') != std::string_view::npos || Cp932ToUtf8(system) != utf8) return false;
    out = std::move(system);
    return true;
}

std::string GetTempFolder() {
    std::string folder;
    return NativeToSystemPath(posix::TempFolderNative(), folder) ? folder : std::string();
}

std::string GetCurrentDirectory() {
    std::vector<char> buffer(PATH_MAX);
    while (!getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE) return {};
        buffer.resize(buffer.size() * 2);
    }
    std::string folder;
    return NativeToSystemPath(buffer.data(), folder) ? folder : std::string();
}

bool SetCurrentDirectory(std::string_view path) {
    std::string native = NativePath(path);
    return !native.empty() && chdir(native.c_str()) == 0;
}

std::string GetProgramFolder() {
    std::vector<char> buffer(PATH_MAX);
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) return "./";
        if (static_cast<size_t>(n) < buffer.size()) {
            std::string exe(buffer.data(), static_cast<size_t>(n)), folder;
            return NativeToSystemPath(exe.substr(0, exe.rfind('/') + 1), folder) ? folder : std::string();
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace host::kernel
