// The kernel service: files, folders, threads, locks, events, time, message
// boxes and code page 932. Everything the engine and the game need of the
// operating system's kernel goes through here, so tests can control it.
//
// Text and paths inside the system are code page 932; they become UTF-8 only
// here, where they leave for the file system or the terminal.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

namespace host::kernel {

// ---------------------------------------------------------------- files

enum class SeekOrigin { Begin = 0, Current = 1, End = 2 };

// An open file. Modes follow the C runtime: "rb", "wb", "ab", "r+b", and the
// text forms "r"/"rt" (CR LF read as LF) and "w"/"wt" (written as given).
class File {
public:
    virtual ~File() = default;
    // Bytes actually read; fewer than asked at the end or on error.
    virtual size_t Read(void* buffer, size_t bytes) = 0;
    virtual size_t Write(const void* buffer, size_t bytes) = 0;
    virtual bool Seek(int64_t offset, SeekOrigin origin) = 0;
    virtual int64_t Tell() const = 0;
    virtual int64_t Size() const = 0;
    // True when nothing is left to read (the position is at or past the end).
    virtual bool AtEnd() const = 0;
    // Flushes and closes; false when any write or the flush failed.
    virtual bool Close() = 0;
};

// Opens a file; null when it cannot be opened. The path is code page 932,
// '\' or '/' separated; a missing exact name is looked up without regard to
// letter case, component by component.
std::unique_ptr<File> OpenFile(std::string_view path, const char* mode);

// Reads a whole file in binary mode; false when it cannot be read.
bool ReadWholeFile(std::string_view path, std::string& out);

// Writes a whole file without ever leaving it half-written: the bytes go to
// a temporary file ".NAME.PID-N.tmp" in the same folder, which is synced,
// then replaces the old one; the folder is synced last, so the new name
// survives a power cut. Temporary files of the same name left by processes
// that have gone (a save killed half-way) are removed first. The new file is
// in place when the result is true; on false the old one is as it was.
bool WriteFileAtomic(std::string_view path, const void* data, size_t bytes);

// The native (UTF-8, '/') path that a system path names; the case-insensitive
// look-up is applied to the components that exist.
std::string NativePath(std::string_view path);

bool FileExists(std::string_view path);
bool DirectoryExists(std::string_view path);
// Creates one folder; true when it exists afterwards.
bool CreateDirectory(std::string_view path);
// Creates a folder and its missing parents.
bool CreateDirectories(std::string_view path);
bool DeleteFile(std::string_view path);
// Renames, replacing an existing target.
bool MoveFile(std::string_view from, std::string_view to);

// A native path (UTF-8) as a system path; false when it has no exact code
// page 932 form and would name another file: '¥' would turn into the
// separator 0x5C, a character code page 932 lacks into '?', and a backslash
// in a name would be read as a separator.
bool NativeToSystemPath(std::string_view utf8, std::string& out);

// The TEMP folder, ending with '/'. TEMP when set; otherwise
// $XDG_DATA_HOME/Temp, or ~/.local/share/Temp. Code page 932 like every
// path inside the system; the folder may not exist (nothing is created).
// Empty when it has no code page 932 form.
std::string GetTempFolder();

// Creates an empty file with a unique name in the TEMP folder (or the
// system's temporary folder when that does not exist) and returns its path;
// empty on failure. In place of the runtime's temporary file names.
std::string MakeTempFileName();

// The process-wide current folder (code page 932, no trailing '/'), and
// changing it; relative paths everywhere are taken from it. Empty when it
// cannot be read or has no code page 932 form.
std::string GetCurrentDirectory();
bool SetCurrentDirectory(std::string_view path);
// The folder of the running program, ending with '/'; empty when it has no
// code page 932 form.
std::string GetProgramFolder();

// ---------------------------------------------------------------- file steps

// The system calls behind the file functions that no result shows: whether
// an atomic write synced its data and its folder, in which order, and what a
// read got. A watch sees each step just before it is taken and can make it
// fail as its system call would, or cut a read or write short.
enum class FileStep {
    Read,             // File::Read or ReadWholeFile: bytes asked
    Write,            // File::Write: bytes given
    CreateTemp,       // atomic write: its temporary file was just created (path: its name)
    WriteTemp,        // one write of the data into it: bytes left
    SyncTemp,         // fsync of the temporary file
    CloseTemp,
    Rename,           // the temporary file replaces the target (path: the target)
    SyncFolder,       // fsync of the folder (path: the folder)
    RemoveLeftover,   // a temporary file of a process that has gone is removed
};

class FileWatch {
public:
    virtual ~FileWatch() = default;
    // Called before step on native (UTF-8) path; false makes the step fail.
    // For Read, Write and WriteTemp, lowering bytes makes the call handle
    // only that many (a short read or write).
    virtual bool Allow(FileStep step, const std::string& native, size_t& bytes) = 0;
};

// Installs a watch (not owned; tests only); null removes it.
void SetFileWatch(FileWatch* watch);

// ---------------------------------------------------------------- threads

constexpr uint32_t kInfinite = 0xFFFFFFFFu;
constexpr uint32_t kWaitTimeout = 0x102;   // WAIT_TIMEOUT
constexpr uint32_t kWaitFailed = 0xFFFFFFFFu;
constexpr uint32_t kStillActive = 0x103;   // STILL_ACTIVE: ExitCode while running

class Thread {
public:
    virtual ~Thread() = default;   // joins when still running
    // Waits for the thread's end; false on timeout.
    virtual bool Wait(uint32_t timeoutMs = kInfinite) = 0;
    virtual void Join() = 0;
    virtual uint32_t ExitCode() const = 0;
};

// Starts a thread; null when it cannot be started. A name given is the
// thread's before this returns, so nothing can see it unnamed.
std::unique_ptr<Thread> StartThread(std::function<uint32_t()> body, const char* name = nullptr);
// Runs body on a thread kept from earlier bodies (one is made when none is
// free, so a body never waits for another to end): for short-lived threads,
// whose making costs more than their work. The handle's Wait and Join wait
// for the body, not the thread; the thread keeps its thread-local values for
// the next body, and while idle it is named "pool-idle". Null when no thread
// can be made.
std::unique_ptr<Thread> StartPooledThread(std::function<uint32_t()> body);
// Calls each(i) for every i below count, on the calling thread and up to
// atOnce - 1 pooled threads beside it (no more than the cores it may use),
// each taking the next i in turn; returns once every call has. With no
// pooled thread to be had, all run here.
void RunSideBySide(uint32_t count, uint32_t atOnce, const std::function<void(uint32_t)>& each);
// The same for work that may fail, where a failure ends what comes after
// it: once each(i) has returned false, no call for an index past i starts
// (those running finish; those before i still run, so an earlier failure
// is still found). Returns the lowest index whose call returned false, or
// count when none did.
uint32_t RunSideBySideUntil(uint32_t count, uint32_t atOnce, const std::function<bool(uint32_t)>& each);

// Names the calling thread for debuggers and sanitizer reports (at most 15
// bytes are kept).
void SetThreadName(const char* name);

// Recursive, as a Windows critical section is.
class CriticalSection {
public:
    CriticalSection();
    ~CriticalSection();
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;
    void Enter();
    bool TryEnter();
    void Leave();
private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

class Lock {
public:
    explicit Lock(CriticalSection& cs) : cs_(cs) { cs_.Enter(); }
    ~Lock() { cs_.Leave(); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
private:
    CriticalSection& cs_;
};

// An auto-reset event wakes one waiter and clears itself; a manual-reset
// event stays set until Reset. Waits (here and in Thread) count real time,
// whatever Clock is installed.
class Event {
public:
    Event(bool manualReset, bool initiallySet);
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    void Set();
    void Reset();
    // 0 when signalled, kWaitTimeout when the time ran out.
    uint32_t Wait(uint32_t timeoutMs = kInfinite);
private:
    friend uint32_t WaitAny(Event* const* events, size_t count, uint32_t timeoutMs);
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Waits until one of the events is set: its index, kWaitTimeout, or
// kWaitFailed for an empty or null list. An auto-reset event that ends the
// wait is cleared.
uint32_t WaitAny(Event* const* events, size_t count, uint32_t timeoutMs);

// ---------------------------------------------------------------- time

struct LocalTime {
    uint16_t year, month, dayOfWeek, day, hour, minute, second, milliseconds;
};

// The source of time. The real one reads the system clocks; tests install a
// FakeClock.
class Clock {
public:
    virtual ~Clock() = default;
    virtual uint32_t Milliseconds() = 0;   // wraps at 2^32
    virtual void Sleep(uint32_t ms) = 0;
    virtual LocalTime Now() = 0;
};

// A clock that moves only when told to. Sleep advances it at once (and
// yields, so a thread polling in a Sleep loop lets the test go on). The
// counter may be read and moved from any thread.
class FakeClock : public Clock {
public:
    explicit FakeClock(uint32_t startMs = 0) : ms_(startMs) {}
    uint32_t Milliseconds() override { return ms_.load(); }
    void Sleep(uint32_t ms) override { ms_.fetch_add(ms); std::this_thread::yield(); }
    LocalTime Now() override { return now_; }
    void Set(uint32_t ms) { ms_.store(ms); }
    void Advance(uint32_t ms) { ms_.fetch_add(ms); }
    void SetLocalTime(const LocalTime& t) { now_ = t; }
private:
    std::atomic<uint32_t> ms_;
    LocalTime now_{2000, 1, 6, 1, 0, 0, 0, 0};
};

// Installs a clock (not owned); null restores the real one.
void SetClock(Clock* clock);

// Installs a clock for one scope (a test's) and restores the real one after.
class ScopedClock {
public:
    explicit ScopedClock(Clock& clock) { SetClock(&clock); }
    ~ScopedClock() { SetClock(nullptr); }
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;
};

uint32_t TimeGetTime();
void Sleep(uint32_t ms);
LocalTime GetLocalTime();

// ---------------------------------------------------------------- message box

constexpr uint32_t kMbOk = 0x0;
constexpr uint32_t kMbOkCancel = 0x1;
constexpr uint32_t kMbYesNo = 0x4;
constexpr uint32_t kMbIconError = 0x10;
constexpr uint32_t kMbIconQuestion = 0x20;
constexpr uint32_t kMbIconWarning = 0x30;
constexpr uint32_t kMbIconInformation = 0x40;
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// (code page 932 text, code page 932 caption, MB_ type) -> ID answer
using MessageBoxHandler = std::function<int(std::string_view text, std::string_view caption, uint32_t type)>;

// Shows a message box. Without a handler it is ReportMessageBox.
int MessageBox(std::string_view text, std::string_view caption, uint32_t type);
// A box that cannot be shown: the text goes to standard error as UTF-8 and
// the answer is the box's first button, so nothing waits for a click.
int ReportMessageBox(std::string_view text, std::string_view caption, uint32_t type);
// The ID of a box type's first button (IDABORT for MB_ABORTRETRYIGNORE ...).
int MessageBoxFirstButton(uint32_t type);
// Installs a handler (the window service, or a test); empty restores the default.
void SetMessageBoxHandler(MessageBoxHandler handler);

// ---------------------------------------------------------------- code page 932

// Lead bytes of double-byte characters: 0x81-0x9F and 0xE0-0xFC.
inline bool IsDBCSLeadByte(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
// The longest prefix of text, at most maxBytes, that does not end inside a
// double-byte character; a lead byte whose trail byte is missing is dropped.
size_t Cp932Fit(std::string_view text, size_t maxBytes);

// Conversions at the system's edge; unconvertible bytes become '?'.
std::string Cp932ToUtf8(std::string_view text);
std::string Utf8ToCp932(std::string_view text);

}  // namespace host::kernel
