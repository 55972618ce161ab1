// Ownership of a new engine object while a model is being built, until an
// owning list takes it: the readers give up half-made objects on any error.
#pragma once

#include "engine/model/Mesh.h"

// Owns a new engine object until it is handed to a list.
template <class T>
struct Owned {
    T* p;
    explicit Owned(T* object) : p(object) {}
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() { delete p; }
    T* Release()
    {
        T* t = p;
        p = nullptr;
        return t;
    }
};

// Appends to an owning list; on success the list owns the object.
template <class T>
bool Hand(CResourceList* list, Owned<T>& object)
{
    if (!AppendElement(list, object.p)) return false;
    object.Release();
    return true;
}
