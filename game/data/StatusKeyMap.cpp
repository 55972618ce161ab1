#include "game/data/StatusKeyMap.h"

#include "engine/core/Crc32.h"
#include "game/data/StatusParameter.h"

#include <algorithm>
#include <new>

namespace {

bool HashBelow(const StatusKeyEntry& entry, u32 hash) { return entry.hash < hash; }

}  // namespace

CStatusKeyMap::~CStatusKeyMap() { Clear(); }

const StatusKeyEntry* CStatusKeyMap::Find(u32 hash) const
{
    auto at = std::lower_bound(m_entries.begin(), m_entries.end(), hash, HashBelow);
    return at != m_entries.end() && at->hash == hash ? &*at : nullptr;
}

const StatusKeyEntry* CStatusKeyMap::FindByName(const char* name) const
{
    return name ? Find(Crc32NameKey(name)) : nullptr;
}

i32 CStatusKeyMap::Insert(u32 hash, CStatusBase* parameter, const char* name)
{
    auto at = std::lower_bound(m_entries.begin(), m_entries.end(), hash, HashBelow);
    if (at != m_entries.end() && at->hash == hash) return 0;
    StatusKeyEntry entry;
    entry.hash = hash;
    entry.name = CString(name);
    try {
        at = m_entries.insert(at, std::move(entry));
    } catch (const std::bad_alloc&) {
        return 0;
    }
    at->parameter = parameter;
    return 1;
}

i32 CStatusKeyMap::InsertByName(const char* name, CStatusBase* parameter)
{
    return name ? Insert(Crc32NameKey(name), parameter, name) : 0;
}

const StatusKeyEntry* CStatusKeyMap::GetAt(u32 index) const
{
    return index < m_entries.size() ? &m_entries[index] : nullptr;
}

void CStatusKeyMap::Clear()
{
    for (StatusKeyEntry& entry : m_entries) delete entry.parameter;
    m_entries.clear();
}
