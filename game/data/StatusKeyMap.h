// The key map of one settings reader: its parameters by key hash (the CRC-32
// name key of the upper-case key name), sorted by hash for binary search.
// The same class serves as the alias table that maps value texts to names.
#pragma once

#include "engine/core/String.h"
#include "engine/core/Types.h"

#include <vector>

class CStatusBase;

struct StatusKeyEntry {
    u32 hash = 0;
    CStatusBase* parameter = nullptr;   // owned by the map; null in alias tables
    CString name;
};

class CStatusKeyMap {
public:
    CStatusKeyMap() = default;
    CStatusKeyMap(const CStatusKeyMap&) = delete;
    CStatusKeyMap& operator=(const CStatusKeyMap&) = delete;
    ~CStatusKeyMap();

    // The entry of hash, or null.
    const StatusKeyEntry* Find(u32 hash) const;
    // Find of the name's CRC-32 key; null for a null name.
    const StatusKeyEntry* FindByName(const char* name) const;

    // Adds an entry, taking parameter over. Refused (0) when the hash is
    // already present: the first registration stays and the caller keeps the
    // refused parameter. 1 when added.
    i32 Insert(u32 hash, CStatusBase* parameter, const char* name);
    // Insert under the CRC-32 key of name; 0 for a null name.
    i32 InsertByName(const char* name, CStatusBase* parameter);

    u32 GetCount() const { return u32(m_entries.size()); }
    // Entry by position in hash order; null past the end.
    const StatusKeyEntry* GetAt(u32 index) const;

    // Deletes every parameter and forgets every entry.
    void Clear();

private:
    std::vector<StatusKeyEntry> m_entries;
};
