// CList<T>, the engine's one container: a named, contiguous
// array kept exactly as long as its element count, reallocated with
// AlignedAlloc on every change of length. There is no spare capacity and no
// growth factor; each insertion or removal costs one allocation and a copy.
//
// Every allocating operation either succeeds or returns 0 with count, data
// and elements untouched: the new array is filled completely before the old
// one is freed. count x sizeof(T) past 32 bits counts as a failed allocation.
//
// Elements: trivially copyable types (records, keys, pointers, vectors) are
// moved by their bytes. Types that
// are not trivially copyable (engine objects owning names and buffers) are
// copy-constructed into the new array and destroyed in the old one, new
// elements are value-initialised, and Release destroys them; their copy
// constructors must not throw (engine classes never do).
//
// The pointer list CList<void*> adds the slot accessors GetAtPointer and
// GetAt (the pointer itself) and the look-ups by name of elements that are
// CResourceBase objects; CResourceList (ResourceList.h) is the owning form.
#pragma once

#include "engine/core/Memory.h"
#include "engine/core/ResourceBase.h"
#include "engine/core/Types.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

// Look-ups over the slots of a pointer list whose elements are CResourceBase
// objects stored as CValueBase pointers, as CResourceList holds them (null
// slots and unnamed elements never match). List.cpp.
CResourceBase* FindResourceByName(void* const* slots, u32 count, const char* name);
i32 FindResourceIndexByName(void* const* slots, u32 count, const char* name);
CResourceBase* FindResourceByFileName(void* const* slots, u32 count, const char* path);

template <class T>
class CList : public CResourceBase {
    ORV_VALUE_CLASS_NAMED(CList, "CList")

    static constexpr bool kPointerList = std::is_same_v<T, void*>;
    static constexpr bool kTrivial = std::is_trivially_copyable_v<T>;

public:
    CList() = default;
    // Named list (key-frame tracks).
    explicit CList(const char* name) : CResourceBase(name) {}
    // count new elements (zero bytes; for the pointer list, null slots).
    explicit CList(u32 count)
    {
        if (T* data = NewArray(count)) {
            ValueInit(data, count);
            m_data = data;
            m_count = count;
        }
    }
    // Independent copy of the name and the elements. When the array cannot
    // be allocated the copy is empty.
    CList(const CList& other) : CResourceBase(other)
    {
        if (other.m_data && other.m_count > 0) {
            if (T* data = NewArray(other.m_count)) {
                CopyConstruct(data, other.m_data, other.m_count);
                m_data = data;
                m_count = other.m_count;
            }
        }
    }
    // Copies name and elements; when the array cannot be allocated the list
    // is left as it was.
    CList& operator=(const CList& other)
    {
        if (this == &other) return *this;
        T* data = nullptr;
        if (other.m_data && other.m_count > 0) {
            data = NewArray(other.m_count);
            if (!data) return *this;
            CopyConstruct(data, other.m_data, other.m_count);
        }
        CResourceBase::operator=(other);
        Adopt(data, data ? other.m_count : 0);
        return *this;
    }
    ~CList() override { CList::Release(); }

    // Frees the name and the array (destroying non-trivial elements); the
    // list stays usable and empty. Returns 1.
    i32 Release() override
    {
        Adopt(nullptr, 0);
        return CResourceBase::Release();
    }

    // -- The list's own virtual operations, in their fixed order. --

    // Removes element index, closing the gap; 0 when index >= count or the
    // smaller array cannot be allocated. Removing the only element leaves a
    // valid empty array.
    virtual i32 RemoveAt(u32 index)
    {
        return RemoveAtThen(index, [](T&) {});
    }

    // Removes the element whose address in the array is element (for the
    // pointer list: the slot's address, not the pointer held in it) through
    // the virtual RemoveAt; 0 when no element has that address.
    virtual i32 Remove(T* element)
    {
        for (u32 i = 0; i < m_count; ++i) {
            if (m_data + i == element) return RemoveAt(i);
        }
        return 0;
    }

    // Makes the count n, keeping the first min(n, count) elements; new
    // elements are zero bytes (value-initialised). n = 0 frees the array.
    virtual i32 Resize(u32 count)
    {
        if (count == 0) {
            Adopt(nullptr, 0);
            return 1;
        }
        T* data = NewArray(count);
        if (!data) return 0;
        const u32 kept = count < m_count ? count : m_count;
        if (m_data) CopyConstruct(data, m_data, kept);
        ValueInit(data + kept, count - kept);
        Adopt(data, count);
        return 1;
    }

    // Replaces every element by a copy of count elements from source (count
    // zero elements when source is null). count = 0 frees the array. source
    // may point into this list.
    virtual i32 SetArray(const T* source, u32 count)
    {
        if (count == 0) {
            Adopt(nullptr, 0);
            return 1;
        }
        T* data = NewArray(count);
        if (!data) return 0;
        if (source) {
            CopyConstruct(data, source, count);
        } else {
            ValueInit(data, count);
        }
        Adopt(data, count);
        return 1;
    }

    // Stores value in element index, first growing the list to index + 1
    // elements (zero elements in between) when index >= count.
    virtual i32 SetAt(T value, u32 index)
    {
        if (index >= m_count) {
            if (index == UINT32_MAX) return 0;  // index + 1 does not fit
            T* data = NewArray(index + 1);
            if (!data) return 0;
            if (m_data) CopyConstruct(data, m_data, m_count);
            ValueInit(data + m_count, index + 1 - m_count);
            Adopt(data, index + 1);
        }
        m_data[index] = value;
        return 1;
    }

    // Address of element index, unchecked: the caller keeps index < count.
    virtual T* GetSlot(u32 index) { return m_data + index; }

    // -- Plain accessors. --

    u32 GetCount() const { return m_count; }
    T* GetData() { return m_data; }
    const T* GetData() const { return m_data; }

    // Value lists: address of element index, null when index >= count.
    T* GetAt(u32 index)
        requires(!kPointerList)
    {
        return index < m_count ? m_data + index : nullptr;
    }
    const T* GetAt(u32 index) const
        requires(!kPointerList)
    {
        return index < m_count ? m_data + index : nullptr;
    }

    // Pointer list: address of slot index, null when index >= count.
    void** GetAtPointer(u32 index)
        requires kPointerList
    {
        return index < m_count ? m_data + index : nullptr;
    }
    // Pointer list: the pointer in slot index, unchecked.
    void* GetAt(u32 index) const
        requires kPointerList
    {
        return m_data[index];
    }

    // Copies this list into other through other's virtual operations: its
    // name becomes this list's, then its elements a copy of this list's
    // (SetArray). 1; 0 for a null other or when other cannot take them.
    i32 CopyTo(CList* other) const
    {
        if (!other) return 0;
        if (other == this) return 1;
        other->SetName(this->GetName());
        return other->SetArray(m_data, m_count);
    }

    // Inserts a copy of *item before position (clamped to count, so a large
    // position appends). 0 for a null item or when the array cannot grow.
    // For the pointer list item is the address of the pointer to insert.
    i32 InsertAt(const T* item, u32 position)
    {
        if (!item || m_count == UINT32_MAX) return 0;
        if (position > m_count) position = m_count;
        T* data = NewArray(m_count + 1);
        if (!data) return 0;
        // *item may live in the old array: copy it before that is freed.
        CopyConstruct(data + position, item, 1);
        if (m_data) {
            CopyConstruct(data, m_data, position);
            CopyConstruct(data + position + 1, m_data + position, m_count - position);
        }
        Adopt(data, m_count + 1);
        return 1;
    }
    i32 Add(const T* item) { return InsertAt(item, m_count); }

    // Pointer lists of CResourceBase elements: the first element (in index
    // order) whose name equals name byte for byte; null when none or name is
    // null. FindIndexByName gives its index, or -1.
    CResourceBase* FindByName(const char* name) const
        requires kPointerList
    {
        return FindResourceByName(m_data, m_count, name);
    }
    i32 FindIndexByName(const char* name) const
        requires kPointerList
    {
        return FindResourceIndexByName(m_data, m_count, name);
    }
    // The first element whose name, reduced to its file name (the part after
    // the last '\' or '/'), equals path's file name, case-sensitive.
    CResourceBase* FindByFileName(const char* path) const
        requires kPointerList
    {
        return FindResourceByFileName(m_data, m_count, path);
    }

protected:
    // For lists that manage their own slots (the memory-list pools): copy
    // the name only and start empty.
    struct NameOnly {};
    CList(const CList& other, NameOnly) : CResourceBase(other) {}

    // A zero-filled array of count elements, nothing constructed in it; null
    // when count x sizeof(T) does not fit 32 bits or allocation fails.
    static T* NewArray(u32 count)
    {
        if (count > UINT32_MAX / sizeof(T)) return nullptr;
        return static_cast<T*>(AlignedAlloc(u32(count * sizeof(T)), 16));
    }

    // Frees the array without running element destructors (pools, whose free
    // slots hold no objects, destroy their live ones themselves).
    void FreeArrayOnly()
    {
        AlignedFree(m_data);
        m_data = nullptr;
        m_count = 0;
    }

    // RemoveAt with a hook: removed(element) runs after the new array has
    // been filled and before the old one is freed (CResourceList deletes the
    // removed object there).
    template <class F>
    i32 RemoveAtThen(u32 index, F&& removed)
    {
        if (index >= m_count) return 0;
        T* data = NewArray(m_count - 1);
        if (!data) return 0;
        CopyConstruct(data, m_data, index);
        CopyConstruct(data + index, m_data + index + 1, m_count - index - 1);
        removed(m_data[index]);
        Adopt(data, m_count - 1);
        return 1;
    }

    T* m_data = nullptr;
    u32 m_count = 0;

private:
    static void CopyConstruct(T* to, const T* from, u32 count)
    {
        if (count == 0) return;
        if constexpr (kTrivial) {
            std::memmove(static_cast<void*>(to), from, size_t(count) * sizeof(T));
        } else {
            for (u32 i = 0; i < count; ++i) ::new (static_cast<void*>(to + i)) T(from[i]);
        }
    }

    // The array is zero-filled already; only non-trivial types need a
    // constructor run.
    static void ValueInit(T* to, u32 count)
    {
        if constexpr (!kTrivial) {
            for (u32 i = 0; i < count; ++i) ::new (static_cast<void*>(to + i)) T();
        }
    }

    // Destroys the current elements, frees the current array and takes data.
    void Adopt(T* data, u32 count)
    {
        if constexpr (!kTrivial) {
            for (u32 i = 0; i < m_count; ++i) m_data[i].~T();
        }
        AlignedFree(m_data);
        m_data = data;
        m_count = count;
    }
};

// The pointer list: base of CResourceList and the render list.
using CPointerList = CList<void*>;
