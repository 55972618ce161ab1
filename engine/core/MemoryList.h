// CMemoryList<T>, a fixed pool of engine objects of one class built in place
// (the effect controller's effect nodes and particles), so that objects that
// come and go every frame cost no allocation. The pool is sized once with
// Resize; Alloc constructs an object in the lowest free slot and Free
// destroys it in place, so slots fill from 0 upward and a freed slot is the
// next one reused.
//
// Slots are raw storage until Alloc builds an object in them, and an object
// is only ever constructed, used and destroyed at its own address. The list
// operations that move slots (Resize, SetArray, RemoveAt, Remove) move them
// as bytes and are refused while any object is live, since a live object
// would be left behind its owner's pointers. InsertAt and Add are not pool
// operations.
#pragma once

#include "engine/core/List.h"
#include "engine/core/Memory.h"
#include "engine/core/Types.h"
#include "engine/core/ValueBase.h"

#include <cstdint>
#include <cstring>
#include <type_traits>

template <class T>
class CMemoryList : public CList<T> {
    ORV_VALUE_CLASS_NAMED(CMemoryList, "CMemoryList")

    static_assert(std::is_base_of_v<CValueBase, T>, "pooled objects are engine objects");

    using Base = CList<T>;

public:
    CMemoryList() = default;
    // The same name and number of slots, with no live object (live objects
    // belong to their owner's links and cannot be duplicated blindly). When
    // the slots cannot be allocated the copy has none.
    CMemoryList(const CMemoryList& other) : Base(other, typename Base::NameOnly{})
    {
        CMemoryList::Resize(other.m_count);
    }
    CMemoryList& operator=(const CMemoryList&) = delete;
    ~CMemoryList() override { CMemoryList::Release(); }

    // Default-constructs a T in the lowest free slot; null when every slot
    // is live. A reused slot still holds its last object's bytes, so T's
    // constructor must set every field it relies on.
    T* Alloc()
    {
        if (!m_used || m_nextFree >= this->m_count) return nullptr;
        const u32 index = m_nextFree;
        T* object = ::orv_detail::CreateIn<T>(this->m_data + index);
        ++m_liveCount;
        m_used[index] = 1;
        while (m_nextFree < this->m_count && m_used[m_nextFree]) ++m_nextFree;
        return object;
    }

    // Destroys the live object that starts at object's address in place
    // (no memory released) and frees its slot. 0, changing nothing, for an
    // address outside the slots, inside a slot but not at its start, or of
    // a slot that holds no live object.
    i32 Free(T* object)
    {
        const i64 index = SlotIndex(object);
        if (index < 0 || !m_used[index]) return 0;
        object->DeletingDestructor(0);
        m_used[index] = 0;
        --m_liveCount;
        if (u32(index) < m_nextFree) m_nextFree = u32(index);
        return 1;
    }

    // Destroys every live object in slot order, then frees the slots, the
    // flags and the name. The pool can be sized again. Returns 1.
    i32 Release() override
    {
        DestroyLive();
        AlignedFree(m_used);
        m_used = nullptr;
        this->FreeArrayOnly();
        return CResourceBase::Release();
    }

    // count slots (0 frees them), the first ones keeping their bytes and the
    // rest zero, all flags clear. 0 while objects are live, or when the new
    // storage cannot be allocated (the pool is then unchanged).
    i32 Resize(u32 count) override
    {
        if (m_liveCount) return 0;
        return Reallocate(count);
    }

    // count slots holding a byte copy of count elements from source (zero
    // bytes when source is null), with fresh zeroed flags. The bytes are raw
    // storage: Alloc still builds each object afresh. 0 while objects are
    // live or when the storage cannot be allocated (the pool is unchanged).
    i32 SetArray(const T* source, u32 count) override
    {
        if (m_liveCount) return 0;
        if (count == 0 || !source) return Reallocate(count, false);
        if (count > UINT32_MAX / 4) return 0;
        T* slots = Base::NewArray(count);
        if (!slots) return 0;
        // source may be this pool's own slots: copy before they are freed.
        std::memcpy(static_cast<void*>(slots), static_cast<const void*>(source), size_t(count) * sizeof(T));
        if (!TakeSlots(slots, count)) {
            AlignedFree(slots);
            return 0;
        }
        return 1;
    }

    // Copies value into the live object in slot index by T's assignment.
    // 0 when the slot is outside the pool or holds no live object: assigning
    // to raw storage would leave an object that was never constructed.
    i32 SetAt(T value, u32 index) override
    {
        if (index >= this->m_count || !m_used || !m_used[index]) return 0;
        this->m_data[index] = value;
        return 1;
    }

    // Removes slot index, moving the later slots down by their bytes. 0 for
    // an index past the count, while objects are live (they would move under
    // their owners' pointers) or when the storage cannot be allocated.
    // Remove (the list's) finds the slot by address and comes here.
    i32 RemoveAt(u32 index) override
    {
        if (m_liveCount || index >= this->m_count) return 0;
        const u32 count = this->m_count - 1;
        if (count == 0) return Reallocate(0);
        T* slots = Base::NewArray(count);
        if (!slots) return 0;
        const size_t size = sizeof(T);
        std::memcpy(static_cast<void*>(slots), static_cast<const void*>(this->m_data), size_t(index) * size);
        std::memcpy(static_cast<void*>(slots + index), static_cast<const void*>(this->m_data + index + 1),
                    size_t(count - index) * size);
        if (!TakeSlots(slots, count)) {
            AlignedFree(slots);
            return 0;
        }
        return 1;
    }
    i32 InsertAt(const T*, u32) = delete;
    i32 Add(const T*) = delete;

    // GetSlot (the list's) gives a slot's address, live or not.
    u32 GetLiveCount() const { return m_liveCount; }
    u32 GetNextFree() const { return m_nextFree; }
    // 1 when slot index holds a live object.
    u32 IsUsed(u32 index) const { return (m_used && index < this->m_count) ? m_used[index] : 0; }

private:
    // The slot that starts at object, or -1.
    i64 SlotIndex(const T* object) const
    {
        if (!object || !this->m_data || !m_used) return -1;
        const uintptr_t base = reinterpret_cast<uintptr_t>(this->m_data);
        const uintptr_t at = reinterpret_cast<uintptr_t>(object);
        if (at < base) return -1;
        const uintptr_t offset = at - base;
        if (offset % sizeof(T)) return -1;
        const uintptr_t index = offset / sizeof(T);
        return index < this->m_count ? i64(index) : -1;
    }

    void DestroyLive()
    {
        for (u32 i = 0; m_used && i < this->m_count; ++i) {
            if (m_used[i]) {
                this->m_data[i].DeletingDestructor(0);
                m_used[i] = 0;
            }
        }
        m_liveCount = 0;
        m_nextFree = 0;
    }

    // Takes slots (count of them) with a fresh zeroed flag array, freeing
    // the old storage; 0, changing nothing, when the flags cannot be
    // allocated. Only called when no object is live.
    bool TakeSlots(T* slots, u32 count)
    {
        u32* used = static_cast<u32*>(AlignedAlloc(count * 4, 16));
        if (!used) return false;
        AlignedFree(m_used);
        this->FreeArrayOnly();
        this->m_data = slots;
        this->m_count = count;
        m_used = used;
        m_nextFree = 0;
        return true;
    }

    // count slots, keeping the bytes of the first ones when asked, with
    // zeroed flags; only called when no object is live.
    i32 Reallocate(u32 count, bool keepBytes = true)
    {
        if (count == 0) {
            AlignedFree(m_used);
            m_used = nullptr;
            this->FreeArrayOnly();
            m_nextFree = 0;
            return 1;
        }
        if (count > UINT32_MAX / 4) return 0;
        T* slots = Base::NewArray(count);
        if (!slots) return 0;
        const u32 kept = !keepBytes ? 0 : count < this->m_count ? count : this->m_count;
        if (kept) {
            std::memcpy(static_cast<void*>(slots), static_cast<const void*>(this->m_data), size_t(kept) * sizeof(T));
        }
        if (!TakeSlots(slots, count)) {
            AlignedFree(slots);
            return 0;
        }
        return 1;
    }

    u32 m_nextFree = 0;
    u32 m_liveCount = 0;
    u32* m_used = nullptr;
};
