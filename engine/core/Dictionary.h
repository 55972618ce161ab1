// CDictionary: names mapped, through their CRC-32 keys, to values (usually
// engine objects), so that objects can be found and driven by name at run
// time (ValueBind.h). Entries are kept sorted by (type, key) and found by
// binary search; an entry may own its value and delete it with the entry.
#pragma once

#include "engine/core/String.h"
#include "engine/core/Types.h"
#include "engine/core/ValueBase.h"

#include <cstdint>
#include <string>

class CDictionary : public CValueBase {
    ORV_VALUE_CLASS(CDictionary)

public:
    // The type that marks a free entry; it sorts last and ends a dump.
    static constexpr u32 kFreeType = 0xFFFFFFFFu;

    struct Entry {
        char* name;             // own copy, 16-byte aligned
        u32 key;                // Crc32NameKey(name)
        uintptr_t value;        // usually an object pointer
        uintptr_t secondValue;
        u32 type;
        u32 owns;               // 1: value is an engine object deleted with the entry
    };

    CDictionary() = default;
    // The name, and every source entry added again with AddValue in the
    // source's order: the copy's entries have type 0 and own nothing.
    CDictionary(const CDictionary& other);
    CDictionary& operator=(const CDictionary&) = delete;
    ~CDictionary() override;

    // Sets the dictionary's name from the text; returns 1.
    i32 FromString(const char* text) override;
    // "Name\t\t:\t<name>\n", then per entry up to the first free one
    // "Name/Index/Code\t:\t<entry name>/<type>/<key>\n". The buffer must hold
    // GetStringSize() bytes; a null buffer gives null.
    char* ToString(char* buffer) override;

    // The dictionary's own operations.
    virtual i32 SetName(const char* name);
    // Null when the dictionary has no name.
    virtual const char* GetName() const { return m_name.GetText(); }

    // Adds an entry. 0 for a null name, when an entry with the name's key
    // and this type and a non-zero value exists, or when memory runs out.
    i32 Add(const char* name, uintptr_t value, uintptr_t secondValue, u32 type, u32 owns);
    i32 AddValue(const char* name, uintptr_t value, uintptr_t secondValue)
    {
        return Add(name, value, secondValue, 0, 0);
    }

    // Binary search by (type, key); null when absent.
    const Entry* Search(u32 key, u32 type) const;
    // The entry's value; 0 when absent.
    uintptr_t Find(u32 key, u32 type) const;
    // Find(Crc32NameKey(name), 0); 0 for a null name.
    uintptr_t FindByName(const char* name) const;

    // Frees every entry's name, deletes every owned non-null value, frees
    // the entries and the name. Returns 1.
    i32 Clear();

    u32 GetCount() const { return m_count; }
    // Entry index in sorted order, null past the end.
    const Entry* GetEntry(u32 index) const { return index < m_count ? m_entries + index : nullptr; }
    // Bytes that ToString writes, its NUL included.
    u32 GetStringSize() const { return u32(Dump().size() + 1); }

private:
    std::string Dump() const;

    CString m_name;
    Entry* m_entries = nullptr;
    u32 m_count = 0;
};
