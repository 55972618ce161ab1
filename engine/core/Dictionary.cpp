#include "engine/core/Dictionary.h"

#include "engine/core/Crc32.h"
#include "engine/core/Memory.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

CDictionary::CDictionary(const CDictionary& other) : CValueBase(other), m_name(other.m_name)
{
    for (u32 i = 0; i < other.m_count; ++i) {
        const Entry& e = other.m_entries[i];
        AddValue(e.name, e.value, e.secondValue);
    }
}

CDictionary::~CDictionary() { Clear(); }

i32 CDictionary::FromString(const char* text) { return SetName(text); }

i32 CDictionary::SetName(const char* name)
{
    m_name = CString(name);
    return 1;
}

char* CDictionary::ToString(char* buffer)
{
    if (!buffer) return nullptr;
    const std::string text = Dump();
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return buffer;
}

std::string CDictionary::Dump() const
{
    const char* name = m_name.GetText();
    std::string out = "Name\t\t:\t";
    out += name ? name : "";
    out += "\n";
    for (u32 i = 0; i < m_count && m_entries[i].type != kFreeType; ++i) {
        const Entry& e = m_entries[i];
        char numbers[32];
        std::snprintf(numbers, sizeof numbers, "/%u/%u\n", e.type, e.key);
        out += "Name/Index/Code\t:\t";
        out += e.name ? e.name : "";
        out += numbers;
    }
    return out;
}

i32 CDictionary::Add(const char* name, uintptr_t value, uintptr_t secondValue, u32 type, u32 owns)
{
    if (!name) return 0;
    const u32 key = Crc32NameKey(name);
    // Only an entry that Find can see blocks a second one: a value of 0
    // reads as missing, so the name may be added again.
    if (Find(key, type)) return 0;
    if (m_count >= UINT32_MAX / sizeof(Entry) - 1) return 0;

    const size_t length = std::strlen(name) + 1;
    if (length > UINT32_MAX) return 0;
    char* copy = static_cast<char*>(AlignedAlloc(u32(length), 16));
    auto* entries = static_cast<Entry*>(AlignedAlloc(u32((m_count + 1) * sizeof(Entry)), 16));
    if (!copy || !entries) {
        AlignedFree(copy);
        AlignedFree(entries);
        return 0;
    }
    std::memcpy(copy, name, length);
    if (m_count) std::memcpy(entries, m_entries, m_count * sizeof(Entry));
    entries[m_count] = Entry{copy, key, value, secondValue, type, owns};
    AlignedFree(m_entries);
    m_entries = entries;
    ++m_count;
    std::sort(m_entries, m_entries + m_count, [](const Entry& a, const Entry& b) {
        return a.type != b.type ? a.type < b.type : a.key < b.key;
    });
    return 1;
}

const CDictionary::Entry* CDictionary::Search(u32 key, u32 type) const
{
    i64 low = 0, high = i64(m_count) - 1;
    while (low <= high) {
        const i64 middle = (low + high) / 2;
        const Entry& e = m_entries[middle];
        if (e.type == type && e.key == key) return &e;
        const bool smaller = e.type != type ? e.type < type : e.key < key;
        if (smaller) {
            low = middle + 1;
        } else {
            high = middle - 1;
        }
    }
    return nullptr;
}

uintptr_t CDictionary::Find(u32 key, u32 type) const
{
    const Entry* e = Search(key, type);
    return e ? e->value : 0;
}

uintptr_t CDictionary::FindByName(const char* name) const
{
    return name ? Find(Crc32NameKey(name), 0) : 0;
}

i32 CDictionary::Clear()
{
    for (u32 i = 0; i < m_count; ++i) {
        Entry& e = m_entries[i];
        AlignedFree(e.name);
        if (e.owns && e.value) reinterpret_cast<CValueBase*>(e.value)->DeletingDestructor(1);
    }
    AlignedFree(m_entries);
    m_entries = nullptr;
    m_count = 0;
    m_name.Free();
    return 1;
}
