// Files on the C library's streams. The stream is always binary; text mode
// ("r", "rt") turns CR LF into LF on reading as the Windows runtime does, and
// keeps a CR that no LF follows. Positions (Tell, Seek) are byte offsets in
// the file, in both modes. Writing is never translated.
#include "host/kernel/Kernel.h"
#include "host/kernel/PosixPath.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace host::kernel {
namespace {

std::atomic<FileWatch*> g_watch{nullptr};

// Asks the installed watch whether a step may be taken (always, without one).
bool Allowed(FileStep step, const std::string& native, size_t& bytes) {
    FileWatch* watch = g_watch.load(std::memory_order_acquire);
    return !watch || watch->Allow(step, native, bytes);
}

bool Allowed(FileStep step, const std::string& native) {
    size_t one = 1;
    return Allowed(step, native, one);
}

// How many of bytes a read or write may handle; 0 when the step fails.
size_t AllowedBytes(FileStep step, const std::string& native, size_t bytes) {
    size_t allowed = bytes;
    return Allowed(step, native, allowed) ? std::min(allowed, bytes) : 0;
}

class PosixFile final : public File {
public:
    PosixFile(FILE* file, std::string native, bool text, bool canRead, bool canWrite)
        : file_(file), native_(std::move(native)), text_(text), canRead_(canRead), canWrite_(canWrite) {}
    ~PosixFile() override { Close(); }

    size_t Read(void* buffer, size_t bytes) override {
        if (!file_ || !canRead_ || bytes == 0) return 0;
        bytes = AllowedBytes(FileStep::Read, native_, bytes);
        if (bytes == 0) return 0;
        if (last_ == Op::Write) std::fseek(file_, 0, SEEK_CUR);   // required between write and read
        last_ = Op::Read;
        char* out = static_cast<char*>(buffer);
        return text_ ? ReadText(out, bytes) : std::fread(out, 1, bytes, file_);
    }

    size_t Write(const void* buffer, size_t bytes) override {
        if (!file_ || !canWrite_ || bytes == 0) return 0;
        const size_t allowed = AllowedBytes(FileStep::Write, native_, bytes);
        if (last_ == Op::Read) std::fseek(file_, 0, SEEK_CUR);
        last_ = Op::Write;
        size_t written = allowed ? std::fwrite(buffer, 1, allowed, file_) : 0;
        if (written < bytes) failed_ = true;
        return written;
    }

    bool Seek(int64_t offset, SeekOrigin origin) override {
        if (!file_) return false;
        int whence = origin == SeekOrigin::Begin ? SEEK_SET : origin == SeekOrigin::Current ? SEEK_CUR : SEEK_END;
        last_ = Op::None;
        return fseeko(file_, static_cast<off_t>(offset), whence) == 0;
    }

    int64_t Tell() const override { return file_ ? static_cast<int64_t>(ftello(file_)) : -1; }

    int64_t Size() const override {
        if (!file_) return -1;
        if (last_ == Op::Write) std::fflush(file_);
        struct stat st;
        return fstat(fileno(file_), &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
    }

    bool AtEnd() const override {
        if (!file_) return true;
        return Tell() >= Size();
    }

    bool Close() override {
        if (!file_) return false;
        bool ok = !failed_;
        if (std::fflush(file_) != 0 || std::ferror(file_)) ok = false;
        if (std::fclose(file_) != 0) ok = false;
        file_ = nullptr;
        return ok;
    }

private:
    enum class Op { None, Read, Write };

    // Reads until bytes characters are delivered or the file ends; a CR at
    // the end of a chunk looks at the next byte to decide.
    size_t ReadText(char* out, size_t bytes) {
        size_t got = 0;
        while (got < bytes) {
            size_t n = std::fread(out + got, 1, bytes - got, file_);
            if (n == 0) break;
            size_t end = got + n, w = got;
            for (size_t r = got; r < end; ++r) {
                char c = out[r];
                if (c == '\r') {
                    if (r + 1 < end) {
                        if (out[r + 1] == '\n') continue;   // the LF is copied next
                    } else {
                        int next = std::fgetc(file_);
                        if (next == '\n')
                            c = '\n';
                        else if (next != EOF)
                            std::ungetc(next, file_);
                    }
                }
                out[w++] = c;
            }
            got = w;
        }
        return got;
    }

    FILE* file_;
    std::string native_;
    bool text_, canRead_, canWrite_;
    bool failed_ = false;
    Op last_ = Op::None;
};

bool WriteAll(int fd, const std::string& native, const char* data, size_t bytes) {
    while (bytes > 0) {
        const size_t chunk = AllowedBytes(FileStep::WriteTemp, native, bytes);
        if (chunk == 0) return false;
        ssize_t n = write(fd, data, chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        bytes -= static_cast<size_t>(n);
    }
    return true;
}

std::atomic<unsigned> g_tempCounter{0};

// Creates a new file with a unique name beginning with prefix; -1 on failure.
int CreateUnique(const std::string& prefix, const char* suffix, std::string& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = prefix + std::to_string(getpid()) + "-" + std::to_string(g_tempCounter.fetch_add(1)) + suffix;
        int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// The process id in a temporary name of CreateUnique: prefix, PID, '-', a
// counter, ".tmp"; 0 for any other name.
pid_t TempOwner(std::string_view name, std::string_view prefix) {
    constexpr std::string_view kSuffix = ".tmp";
    if (name.size() <= prefix.size() + kSuffix.size() || name.substr(0, prefix.size()) != prefix ||
        name.substr(name.size() - kSuffix.size()) != kSuffix)
        return 0;
    std::string_view middle = name.substr(prefix.size(), name.size() - prefix.size() - kSuffix.size());
    const size_t dash = middle.find('-');
    if (dash == std::string_view::npos) return 0;
    const auto digits = [](std::string_view s) {
        return !s.empty() && s.size() <= 20 && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (!digits(middle.substr(0, dash)) || !digits(middle.substr(dash + 1))) return 0;
    long long pid = 0;
    auto [end, error] = std::from_chars(middle.data(), middle.data() + dash, pid);
    if (error != std::errc() || end != middle.data() + dash || pid <= 0 || pid > INT_MAX) return 0;
    return static_cast<pid_t>(pid);
}

// Removes the temporary files of base that processes left behind when they
// were killed half-way through a write. Only a process that no longer
// exists counts as gone: a live one (another thread's write, another
// running copy of the program) may still rename its file into place.
void RemoveLeftovers(const std::string& folder, const std::string& base) {
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return;
    const std::string prefix = "." + base + ".";
    while (const dirent* entry = readdir(dir)) {
        const pid_t owner = TempOwner(entry->d_name, prefix);
        if (owner == 0 || kill(owner, 0) == 0 || errno != ESRCH) continue;
        const std::string path = folder + entry->d_name;
        struct stat st;
        if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && Allowed(FileStep::RemoveLeftover, path))
            unlink(path.c_str());
    }
    closedir(dir);
}

}  // namespace

void SetFileWatch(FileWatch* watch) { g_watch.store(watch, std::memory_order_release); }

std::unique_ptr<File> OpenFile(std::string_view path, const char* mode) {
    if (!mode || (mode[0] != 'r' && mode[0] != 'w' && mode[0] != 'a')) return nullptr;
    bool update = std::strchr(mode, '+') != nullptr;
    bool text = std::strchr(mode, 'b') == nullptr;
    std::string native = NativePath(path);
    if (native.empty()) return nullptr;
    char stdioMode[5] = {mode[0], 0, 0, 0, 0};
    std::strcat(stdioMode, update ? "+be" : "be");
    FILE* file = std::fopen(native.c_str(), stdioMode);
    if (!file) return nullptr;
    struct stat st;
    if (fstat(fileno(file), &st) != 0 || S_ISDIR(st.st_mode)) {   // Windows opens no folder
        std::fclose(file);
        return nullptr;
    }
    bool canRead = mode[0] == 'r' || update;
    bool canWrite = mode[0] != 'r' || update;
    return std::make_unique<PosixFile>(file, std::move(native), text, canRead, canWrite);
}

bool ReadWholeFile(std::string_view path, std::string& out) {
    return posix::ReadNative(NativePath(path), out);
}

bool WriteFileAtomic(std::string_view path, const void* data, size_t bytes) {
    return posix::WriteNativeAtomic(NativePath(path), data, bytes);
}

std::string MakeTempFileName() {
    std::string folder = posix::TempFolderNative();
    struct stat st;
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        const char* tmp = std::getenv("TMPDIR");
        folder = tmp && *tmp ? std::string(tmp) + "/" : std::string("/tmp/");
    }
    std::string name;
    int fd = CreateUnique(folder + "orv", ".tmp", name);
    if (fd < 0) return {};
    close(fd);
    std::string system;
    if (NativeToSystemPath(name, system)) return system;
    unlink(name.c_str());   // a name the system could not reach again
    return {};
}

bool posix::ReadNative(const std::string& native, std::string& out) {
    out.clear();
    if (native.empty()) return false;
    FILE* file = std::fopen(native.c_str(), "rbe");
    if (!file) return false;
    struct stat st;
    bool ok = fstat(fileno(file), &st) == 0 && S_ISREG(st.st_mode);
    if (ok) {
        out.resize(static_cast<size_t>(st.st_size));
        const size_t allowed = out.empty() ? 0 : AllowedBytes(FileStep::Read, native, out.size());
        size_t got = allowed ? std::fread(out.data(), 1, allowed, file) : 0;
        ok = got == out.size();
        // A file that grew meanwhile: read on to its end.
        char chunk[4096];
        while (ok && (got = std::fread(chunk, 1, sizeof chunk, file)) > 0) out.append(chunk, got);
        ok = ok && !std::ferror(file);
    }
    std::fclose(file);
    if (!ok) out.clear();
    return ok;
}

bool posix::WriteNativeAtomic(const std::string& native, const void* data, size_t bytes) {
    size_t slash = native.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : native.substr(0, slash + 1);
    std::string base = native.substr(folder.size());
    if (base.empty() || base == "." || base == "..") return false;
    struct stat old;
    bool hadOld = stat(native.c_str(), &old) == 0;
    if (hadOld && S_ISDIR(old.st_mode)) return false;
    RemoveLeftovers(folder, base);

    std::string temp;
    int fd = CreateUnique(folder + "." + base + ".", ".tmp", temp);
    if (fd < 0) return false;
    bool ok = Allowed(FileStep::CreateTemp, temp);
    ok = ok && WriteAll(fd, temp, static_cast<const char*>(data), bytes);
    if (ok && hadOld) fchmod(fd, old.st_mode & 07777);
    // The data must be on the disk before the rename can point at it.
    ok = ok && Allowed(FileStep::SyncTemp, temp) && fsync(fd) == 0;
    if (!Allowed(FileStep::CloseTemp, temp)) ok = false;
    if (close(fd) != 0) ok = false;
    if (ok && (!Allowed(FileStep::Rename, native) || rename(temp.c_str(), native.c_str()) != 0)) ok = false;
    if (!ok) {
        unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable. Past the rename the old file is gone
    // and the new one whole, so a failure here is not reported: after a
    // power cut the folder holds the one or the other.
    const std::string dirPath = folder.empty() ? "." : folder;
    if (Allowed(FileStep::SyncFolder, dirPath)) {
        int dir = open(dirPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            fsync(dir);
            close(dir);
        }
    }
    return true;
}

}  // namespace host::kernel
