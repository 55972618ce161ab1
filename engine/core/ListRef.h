// Holders of lists they do not own, read through two accessors: the
// pattern lists of barrages and spell cards, and the settings-file lists
// whose names and loaded records the game walks.
#pragma once

#include "engine/core/List.h"
#include "engine/core/Types.h"

// A list held by pointer; no list reads as an empty one.
template <class T>
class CListRef {
public:
    CListRef() = default;
    explicit CListRef(CList<T>* list) : m_list(list) {}

    void SetList(CList<T>* list) { m_list = list; }
    CList<T>* GetList() const { return m_list; }

    u32 GetCount() const { return m_list ? m_list->GetCount() : 0; }
    // Element i: the pointer itself for a pointer list, the element's
    // address for a value list; null past the end.
    auto GetAt(u32 i) const
    {
        if constexpr (std::is_same_v<T, void*>) {
            return m_list && i < m_list->GetCount() ? m_list->GetAt(i) : nullptr;
        } else {
            return m_list ? m_list->GetAt(i) : static_cast<T*>(nullptr);
        }
    }

private:
    CList<T>* m_list = nullptr;
};

// A settings-file list: its names (the held list, so GetCount is the
// number of names) and the records loaded from them.
class CStringArray : public CListRef<void*> {
public:
    CStringArray() = default;
    CStringArray(CPointerList* names, CPointerList* objects) : CListRef<void*>(names), m_objects(objects) {}

    void SetObjects(CPointerList* objects) { m_objects = objects; }
    CPointerList* GetObjects() const { return m_objects; }
    // Loaded record i; null past the records (a name whose record did not
    // load leaves the records shorter than the names).
    void* GetObjectAt(u32 i) const
    {
        return m_objects && i < m_objects->GetCount() ? m_objects->GetAt(i) : nullptr;
    }

private:
    CPointerList* m_objects = nullptr;
};
