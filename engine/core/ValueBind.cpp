#include "engine/core/ValueBind.h"

#include "engine/core/Memory.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace {

CValueBase* FindIn(const CDictionary* dictionary, const char* name)
{
    if (!dictionary || !name) return nullptr;
    return reinterpret_cast<CValueBase*>(dictionary->FindByName(name));
}

}  // namespace

CValueBindBase* CValueBindBase::SetId(u32 id)
{
    m_id = id;
    return this;
}

CValueBase* CValueBindBase::FindInvokeTarget(const char* name) const
{
    return FindIn(GetInvokeDictionary(), name);
}

CValueBase* CValueBindBase::FindValueTarget(const char* name) const
{
    return FindIn(GetValueDictionary(), name);
}

i32 CValueBindBase::NamedFromStringById(const char* name, u32 id, const char* text)
{
    CValueBase* target = FindValueTarget(name);
    return target ? target->FromStringById(MemberId(id), text) : 0;
}

i32 CValueBindBase::NamedFromString(const char* name, const char* text)
{
    return NamedFromStringById(name, m_id, text);
}

char* CValueBindBase::NamedToStringById(const char* name, u32 id, char* buffer)
{
    CValueBase* target = FindValueTarget(name);
    return target ? target->ToStringById(MemberId(id), buffer) : buffer;
}

char* CValueBindBase::NamedToString(const char* name, char* buffer)
{
    return NamedToStringById(name, m_id, buffer);
}

i32 CValueBindBase::NamedInvokeById(const char* name, u32 id, uintptr_t argument)
{
    CValueBase* target = FindInvokeTarget(name);
    return target ? target->InvokeById(MemberId(id), argument) : 0;
}

i32 CValueBindBase::NamedInvoke(const char* name, uintptr_t argument)
{
    return NamedInvokeById(name, m_id, argument);
}

CArgumentStack::CArgumentStack(const CArgumentStack& other) : CValueBase(other)
{
    if (!other.m_capacity || !other.m_values || !other.m_types) return;
    const u32 n = other.m_capacity;
    m_values = static_cast<uintptr_t*>(AlignedAlloc(u32(n * sizeof(uintptr_t)), 16));
    m_types = static_cast<u32*>(AlignedAlloc(n * 4, 16));
    if (!m_values || !m_types) {
        Release();
        return;
    }
    std::memcpy(m_values, other.m_values, n * sizeof(uintptr_t));
    std::memcpy(m_types, other.m_types, n * 4);
    m_capacity = n;
    m_count = other.m_count;
}

i32 CArgumentStack::Release()
{
    AlignedFree(m_values);
    AlignedFree(m_types);
    m_values = nullptr;
    m_types = nullptr;
    m_capacity = 0;
    m_count = 0;
    return 1;
}

i32 CArgumentStack::FromString(const char* /*text*/) { return 0; }

char* CArgumentStack::ToString(char* buffer)
{
    if (!buffer) return nullptr;
    const std::string text = Dump();
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return buffer;
}

std::string CArgumentStack::Dump() const
{
    char line[96];
    std::snprintf(line, sizeof line, "Stack %d/%d\n", i32(m_count), i32(m_capacity));
    std::string out = line;
    for (u32 i = 0; i < m_count; ++i) {
        std::snprintf(line, sizeof line, "%4d : %0*" PRIXPTR " : %d\n", i32(i), int(2 * sizeof(uintptr_t)),
            m_values[i], i32(m_types[i]));
        out += line;
    }
    return out;
}

i32 CArgumentStack::Push(uintptr_t value, u32 type)
{
    if (m_count == m_capacity) {
        if (m_capacity > (UINT32_MAX / sizeof(uintptr_t)) / 2) return 0;
        const u32 capacity = m_capacity ? m_capacity * 2 : 4;
        auto* values = static_cast<uintptr_t*>(AlignedAlloc(u32(capacity * sizeof(uintptr_t)), 16));
        auto* types = static_cast<u32*>(AlignedAlloc(capacity * 4, 16));
        if (!values || !types) {
            AlignedFree(values);
            AlignedFree(types);
            return 0;
        }
        if (m_count) {
            std::memcpy(values, m_values, m_count * sizeof(uintptr_t));
            std::memcpy(types, m_types, m_count * 4);
        }
        AlignedFree(m_values);
        AlignedFree(m_types);
        m_values = values;
        m_types = types;
        m_capacity = capacity;
    }
    m_values[m_count] = value;
    m_types[m_count] = type;
    ++m_count;
    return 1;
}
