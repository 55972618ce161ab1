// List values of the settings readers: each occurrence of a list key appends
// one element, in text order. The holder owns its elements.
#pragma once

#include "engine/core/String.h"
#include "engine/core/Types.h"
#include "game/data/HitSphereRecord.h"
#include "game/data/TraceRecord.h"

#include <new>
#include <vector>

template <class T>
class CStatusList {
public:
    CStatusList() = default;
    // Copies every element.
    CStatusList(const CStatusList& other) { CopyFrom(other); }
    CStatusList& operator=(const CStatusList& other)
    {
        if (this != &other) {
            Release();
            CopyFrom(other);
        }
        return *this;
    }
    virtual ~CStatusList() { Release(); }

    // Takes element over and appends it; 0 (element deleted) when the list
    // cannot grow, 0 for null.
    virtual i32 Append(T* element)
    {
        if (!element) return 0;
        try {
            m_elements.push_back(element);
        } catch (const std::bad_alloc&) {
            delete element;
            return 0;
        }
        return 1;
    }
    // Deletes every element; the list is empty afterwards.
    virtual void Release()
    {
        for (T* element : m_elements) delete element;
        m_elements.clear();
    }

    u32 GetCount() const { return u32(m_elements.size()); }
    // Element index, or null past the end.
    T* GetAt(u32 index) const { return index < m_elements.size() ? m_elements[index] : nullptr; }

private:
    void CopyFrom(const CStatusList& other)
    {
        for (const T* element : other.m_elements) Append(new (std::nothrow) T(*element));
    }

    std::vector<T*> m_elements;
};

using CStringList = CStatusList<CString>;
using CIntList = CStatusList<i32>;
using CTraceRecordList = CStatusList<CTraceRecord>;
using CHitSphereRecordList = CStatusList<CHitSphereRecord>;

// Appending value types for the typed parameters: a string as written, an
// int as the int type reads it, a record read from its value text.
i32 StatusSetValue(CStringList& target, const char* value);
i32 StatusSetValue(CIntList& target, const char* value);
i32 StatusSetValue(CTraceRecordList& target, const char* value);
i32 StatusSetValue(CHitSphereRecordList& target, const char* value);

// A list has no text form: the buffer is returned unchanged.
template <class T>
char* StatusFormatValue(const CStatusList<T>&, char* buffer, u32)
{
    return buffer;
}
