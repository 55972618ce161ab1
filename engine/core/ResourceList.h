// CResourceList, the pointer list that owns its elements: with
// owns set it deletes an element when it is removed or when the list is
// released, and clones every element when the list is copied. The look-ups
// by name (FindByName, FindIndexByName, FindByFileName) are the pointer
// list's (List.h).
//
// The element class is a parameter because the settings framework keeps
// lists of CStatusBase objects, which are not on CValueBase:
//   CResourceList                  elements on CValueBase, cloned with Clone
//   CResourceListOf<CStatusBase>   elements cloned with CStatusBase::Clone
// An element class E needs a virtual destructor and a Clone() returning a
// new copy (or null). Elements are stored as the address of their E part,
// which under the engine's single inheritance is the object's address.
//
// Only Release and RemoveAt delete. The other element operations are the
// pointer list's: SetAt, Resize and SetArray overwrite or drop pointers
// without deleting what they pointed to.
#pragma once

#include "engine/core/List.h"
#include "engine/core/Types.h"
#include "engine/core/ValueBase.h"

template <class E>
class CResourceListOf : public CList<void*> {
    ORV_VALUE_CLASS_NAMED(CResourceListOf, "CResourceList")

public:
    // Empty, owning.
    CResourceListOf() = default;
    // count null slots, owning.
    explicit CResourceListOf(u32 count) : CList<void*>(count) {}
    // count null slots and the given owns flag.
    CResourceListOf(u32 count, u32 owns) : CList<void*>(count), m_owns(owns) {}
    // The pointer list's copy, then owns copied; an owning source's non-null
    // elements are replaced by clones (a failed clone leaves a null slot).
    // A copy of a non-owning list shares the pointers and owns nothing.
    CResourceListOf(const CResourceListOf& other) : CList<void*>(other), m_owns(other.m_owns)
    {
        if (!other.m_owns) return;
        for (u32 i = 0; i < m_count; ++i) {
            if (m_data[i]) m_data[i] = CloneElement(m_data[i]);
        }
    }
    // Copying into an existing owning list would have to decide what happens
    // to the elements it already owns; nothing needs it, so it is not offered.
    CResourceListOf& operator=(const CResourceListOf&) = delete;
    ~CResourceListOf() override { CResourceListOf::Release(); }

    // With owns set, deletes every non-null element and clears its slot;
    // then the list's release (name and array freed). Returns 1.
    i32 Release() override
    {
        if (m_owns) {
            for (u32 i = 0; i < m_count; ++i) {
                if (m_data[i]) {
                    DeleteElement(m_data[i]);
                    m_data[i] = nullptr;
                }
            }
        }
        return CList<void*>::Release();
    }

    // As the list's RemoveAt; with owns set the removed element (when not
    // null) is deleted once the new array is filled, before the old is freed.
    i32 RemoveAt(u32 index) override
    {
        return RemoveAtThen(index, [this](void* element) {
            if (m_owns && element) DeleteElement(element);
        });
    }

    u32 GetOwns() const { return m_owns; }
    void SetOwns(u32 owns) { m_owns = owns; }

private:
    static void DeleteElement(void* element) { delete static_cast<E*>(element); }
    static void* CloneElement(void* element) { return static_cast<E*>(element)->Clone(); }

    u32 m_owns = 1;
};

using CResourceList = CResourceListOf<CValueBase>;
