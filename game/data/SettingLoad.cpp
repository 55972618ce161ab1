#include "game/data/SettingLoad.h"

#include "engine/core/String.h"
#include "game/data/StatusParameter.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace {

// Loads run on the main thread and on loader threads, each its own chain
// and its own load.
thread_local std::vector<std::string> t_chain;
thread_local CSettingLoad* t_open = nullptr;
thread_local SettingLoadError t_lastError = SettingLoadError::kNone;
thread_local std::string t_lastErrorFile;

bool SafeName(const char* path)
{
    if (!path || !*path || path[0] == '/' || path[0] == '\\') return false;
    std::string name = path;
    std::replace(name.begin(), name.end(), '\\', '/');
    // Each part between separators; ".." anywhere climbs.
    for (size_t start = 0; start <= name.size();) {
        size_t end = name.find('/', start);
        if (end == std::string::npos) end = name.size();
        if (name.compare(start, end - start, "..") == 0) return false;
        start = end + 1;
    }
    return true;
}

}  // namespace

const char* DescribeSettingLoadError(SettingLoadError error)
{
    switch (error) {
    case SettingLoadError::kNone: return "no error";
    case SettingLoadError::kMissing: return "settings file cannot be opened";
    case SettingLoadError::kDamaged: return "settings file is damaged";
    case SettingLoadError::kForeignCache: return "settings cache was written by another reader or from another text";
    case SettingLoadError::kUnsafeName: return "settings file named outside the data folder";
    case SettingLoadError::kCycle: return "settings file leads back to itself";
    case SettingLoadError::kTooDeep: return "settings files nested too deep";
    case SettingLoadError::kTooManyFiles: return "too many settings files in one load";
    case SettingLoadError::kTooManyBytes: return "too many bytes of settings in one load";
    case SettingLoadError::kRefused: return "settings file refused: a value out of range or a file it names";
    }
    return "unknown settings error";
}

// ---------------------------------------------------------------- guard

std::string CNestedLoadGuard::Identity(const char* path)
{
    const CString cached = MakeCachedValue(path);
    std::string id = cached.GetText() ? cached.GetText() : "";
    std::replace(id.begin(), id.end(), '\\', '/');
    for (char& c : id) c = char(std::toupper(static_cast<unsigned char>(c)));
    return id;
}

CNestedLoadGuard::CNestedLoadGuard(const char* path)
{
    if (!path) {
        m_error = SettingLoadError::kMissing;
        return;
    }
    // The outermost name is the caller's own; every child's is the data's.
    if (!t_chain.empty() && !SafeName(path)) {
        m_error = SettingLoadError::kUnsafeName;
        return;
    }
    if (t_chain.size() >= kMaxDepth) {
        m_error = SettingLoadError::kTooDeep;
        return;
    }
    std::string id = Identity(path);
    if (std::find(t_chain.begin(), t_chain.end(), id) != t_chain.end()) {
        m_error = SettingLoadError::kCycle;
        return;
    }
    t_chain.push_back(std::move(id));
    m_entered = true;
}

CNestedLoadGuard::~CNestedLoadGuard()
{
    if (m_entered) t_chain.pop_back();
}

u32 CNestedLoadGuard::Depth() { return u32(t_chain.size()); }

// ---------------------------------------------------------------- load

CSettingLoad::CSettingLoad()
{
    if (t_open) {
        m_state = t_open->m_state;
        return;
    }
    m_own.reset(new (std::nothrow) State());
    m_state = m_own.get();
    if (m_state) t_open = this;
}

CSettingLoad::~CSettingLoad()
{
    if (t_open != this) return;
    t_open = nullptr;
    t_lastError = m_state->error;
    t_lastErrorFile = m_state->errorFile;
}

SettingLoadError CSettingLoad::GetError() const { return m_state ? m_state->error : SettingLoadError::kNone; }

const std::string& CSettingLoad::GetErrorFile() const
{
    static const std::string none;
    return m_state ? m_state->errorFile : none;
}

u32 CSettingLoad::GetFileCount() const { return m_state ? m_state->files : 0; }
u64 CSettingLoad::GetByteCount() const { return m_state ? m_state->bytes : 0; }

std::string CSettingLoad::Describe() const
{
    if (GetError() == SettingLoadError::kNone) return "";
    return std::string(DescribeSettingLoadError(GetError())) + ": " + GetErrorFile();
}

SettingLoadError CSettingLoad::LastError() { return t_lastError; }
const std::string& CSettingLoad::LastErrorFile() { return t_lastErrorFile; }

i32 CSettingLoad::Fail(SettingLoadError error, const char* path)
{
    State* state = t_open ? t_open->m_state : nullptr;
    if (!state) return 0;
    if (state->error == SettingLoadError::kNone) {
        state->error = error;
        state->errorFile = path ? path : "";
    } else if (state->errorFile.empty() && path) {
        // A reader's own check knows no file name: its load adds it.
        state->errorFile = path;
    }
    return 0;
}

bool CSettingLoad::CountRead(const char* path, u64 bytes)
{
    State* state = t_open ? t_open->m_state : nullptr;
    if (!state) return false;
    if (state->files >= kMaxFiles) return Fail(SettingLoadError::kTooManyFiles, path), false;
    if (bytes > kMaxBytes - state->bytes) return Fail(SettingLoadError::kTooManyBytes, path), false;
    ++state->files;
    state->bytes += bytes;
    return true;
}

std::shared_ptr<const void> CSettingLoad::Find(const void* kind, const char* path,
                                               const CStatusKeyMap* aliasTable) const
{
    if (!m_state || !path) return nullptr;
    auto found = m_state->readers.find({kind, CNestedLoadGuard::Identity(path), aliasTable});
    return found == m_state->readers.end() ? nullptr : found->second;
}

void CSettingLoad::Keep(const void* kind, const char* path, const CStatusKeyMap* aliasTable,
                        std::shared_ptr<const void> reader)
{
    if (!m_state || !path) return;
    try {
        m_state->readers[{kind, CNestedLoadGuard::Identity(path), aliasTable}] = std::move(reader);
    } catch (const std::bad_alloc&) {
        // Not shared, only read again by the next parent naming it.
    }
}
