#include "game/battle/object/NestedLoadGuard.h"

#include "engine/core/String.h"
#include "game/data/StatusParameter.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace {

// Loads run on the main thread and on loader threads, each its own chain.
thread_local std::vector<std::string> t_chain;

// One spelling for a file and its cache: the cached form, upper-cased.
std::string Identity(const char* path)
{
    const CString cached = MakeCachedValue(path);
    std::string id = cached.GetText() ? cached.GetText() : "";
    std::replace(id.begin(), id.end(), '\\', '/');
    for (char& c : id) c = char(std::toupper(static_cast<unsigned char>(c)));
    return id;
}

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

CNestedLoadGuard::CNestedLoadGuard(const char* path)
{
    if (!SafeName(path) || t_chain.size() >= kMaxDepth) return;
    std::string id = Identity(path);
    if (std::find(t_chain.begin(), t_chain.end(), id) != t_chain.end()) return;
    t_chain.push_back(std::move(id));
    m_entered = true;
}

CNestedLoadGuard::~CNestedLoadGuard()
{
    if (m_entered) t_chain.pop_back();
}

u32 CNestedLoadGuard::Depth() { return u32(t_chain.size()); }
