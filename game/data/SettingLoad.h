// Loading a settings file with every child file it names.
//
// CNestedLoadGuard is held around the load of every settings file. It
// refuses, on this thread:
// - a file that is already being loaded further up the chain (a cycle),
//   whether named as written ("Barrage.txt") or as its cache
//   ("Setting/Barrage.dat");
// - a chain deeper than kMaxDepth files;
// - for a child (a file named by another), a name that is empty, absolute,
//   or climbs with "..", so a settings text reads and writes (its cache)
//   only below the data folder.
//
// CSettingLoad is one load of settings (a battle's, or the one a single
// LoadFile opens for itself): it reads each child file once for each reader
// kind and alias table and hands every parent naming it the same read-only
// reader, bounds the files and bytes read, and keeps the first error with
// the file it occurred at.
#pragma once

#include "engine/core/Types.h"

#include <map>
#include <memory>
#include <new>
#include <string>
#include <tuple>

class CStatusKeyMap;

enum class SettingLoadError : u8 {
    kNone,
    kMissing,           // the file cannot be opened
    kDamaged,           // an unterminated comment, a cache cut short or with an unknown key
    kForeignCache,      // a cache another reader or another text wrote, with no text to read instead
    kUnsafeName,        // a child named outside the data folder
    kCycle,             // a file that leads back to itself
    kTooDeep,           // more files nested than CNestedLoadGuard::kMaxDepth
    kTooManyFiles,      // more files read than CSettingLoad::kMaxFiles
    kTooManyBytes,      // more bytes read than CSettingLoad::kMaxBytes
    kRefused,           // a value out of range, or a child that failed
};

// The text of an error (never null).
const char* DescribeSettingLoadError(SettingLoadError error);

class CNestedLoadGuard {
public:
    static constexpr u32 kMaxDepth = 24;

    explicit CNestedLoadGuard(const char* path);
    ~CNestedLoadGuard();
    CNestedLoadGuard(const CNestedLoadGuard&) = delete;
    CNestedLoadGuard& operator=(const CNestedLoadGuard&) = delete;

    // False when the load must not go on; GetError says why.
    explicit operator bool() const { return m_entered; }
    SettingLoadError GetError() const { return m_error; }

    // Files being loaded on this thread right now.
    static u32 Depth();
    // One spelling for a file and its cache: the cached form, upper-cased,
    // with '/' separators.
    static std::string Identity(const char* path);

private:
    bool m_entered = false;
    SettingLoadError m_error = SettingLoadError::kNone;
};

class CSettingLoad {
public:
    // Files and bytes one load may read: far above a battle's few hundred
    // files, far below what would exhaust the machine.
    static constexpr u32 kMaxFiles = 4096;
    static constexpr u64 kMaxBytes = u64(64) << 20;

    // Becomes this thread's load, or joins the one already open.
    CSettingLoad();
    // The load that opened ends: its error becomes LastError.
    ~CSettingLoad();
    CSettingLoad(const CSettingLoad&) = delete;
    CSettingLoad& operator=(const CSettingLoad&) = delete;

    SettingLoadError GetError() const;
    const std::string& GetErrorFile() const;
    u32 GetFileCount() const;
    u64 GetByteCount() const;
    // "<what went wrong>: <file>", or "" without an error.
    std::string Describe() const;

    // The error of the last load that ended on this thread, and its file.
    static SettingLoadError LastError();
    static const std::string& LastErrorFile();

    // Keeps error at path unless the open load has one already; 0. A null
    // path (a reader's own check) is filled in by the next failure at a
    // named file.
    static i32 Fail(SettingLoadError error, const char* path);
    // Counts a file of bytes about to be read; false, with the error kept,
    // when it would pass a bound.
    static bool CountRead(const char* path, u64 bytes);

    // The reader of kind loaded from path with aliasTable, or null.
    std::shared_ptr<const void> Find(const void* kind, const char* path, const CStatusKeyMap* aliasTable) const;
    void Keep(const void* kind, const char* path, const CStatusKeyMap* aliasTable, std::shared_ptr<const void> reader);

private:
    struct State {
        SettingLoadError error = SettingLoadError::kNone;
        std::string errorFile;
        u32 files = 0;
        u64 bytes = 0;
        std::map<std::tuple<const void*, std::string, const CStatusKeyMap*>, std::shared_ptr<const void>> readers;
    };
    std::unique_ptr<State> m_own;
    State* m_state = nullptr;
};

// Child file name read as reader R, once per load: every later parent
// naming the same file (in either spelling, any case) with the same alias
// table gets the same reader. Null when it cannot be loaded.
template <class R>
std::shared_ptr<const R> LoadSettingChild(const char* name, const CStatusKeyMap* aliasTable)
{
    static const char kind = 0;
    CSettingLoad load;
    if (auto found = load.Find(&kind, name, aliasTable)) return std::static_pointer_cast<const R>(found);
    std::shared_ptr<R> reader(new (std::nothrow) R());
    if (!reader || !reader->LoadFile(name, aliasTable)) return nullptr;
    load.Keep(&kind, name, aliasTable, reader);
    return reader;
}
