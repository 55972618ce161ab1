#include "engine/core/ResourceBase.h"

#include "engine/core/Memory.h"

#include <cstdint>
#include <cstring>

CResourceBase::CResourceBase(const char* name) { SetName(name); }

CResourceBase::CResourceBase(const CResourceBase& other)
    : CValueBase(other), m_nameLength(other.m_nameLength), m_type(other.m_type)
{
    CopyName(other.m_name, other.m_nameLength);
}

CResourceBase& CResourceBase::operator=(const CResourceBase& other)
{
    if (this == &other) return *this;
    CValueBase::operator=(other);
    m_type = other.m_type;
    m_nameLength = other.m_nameLength;
    CopyName(other.m_name, other.m_nameLength);
    return *this;
}

CResourceBase::~CResourceBase() { CResourceBase::Release(); }

i32 CResourceBase::Release()
{
    FreeName();
    return 1;
}

char* CResourceBase::SetName(const char* text)
{
    if (!text) {
        FreeName();
        return nullptr;
    }
    const size_t length = std::strlen(text) + 1;
    if (length > UINT32_MAX) {
        FreeName();
        m_nameLength = 0;
        return nullptr;
    }
    CopyName(text, u32(length));  // text may be this object's own name
    m_nameLength = m_name ? u32(length) : 0;
    return m_name;
}

char* CResourceBase::AllocName(u32 size)
{
    if (size == 0) {
        FreeName();
        return nullptr;
    }
    CopyName(nullptr, size);
    m_nameLength = m_name ? size : 0;
    return m_name;
}

void CResourceBase::ClearName()
{
    FreeName();
    m_nameLength = 0;
}

void CResourceBase::FreeName()
{
    AlignedFree(m_name);
    m_name = nullptr;
}

void CResourceBase::CopyName(const char* source, u32 length)
{
    // Built before the old name is freed: source may be this object's name.
    char* name = static_cast<char*>(AlignedAlloc(length ? length : 1, 16));
    if (name && source && length) std::memcpy(name, source, length);
    FreeName();
    m_name = name;
}
