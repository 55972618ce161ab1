// CValueBase, the root of every engine and game class.
//
// The root carries no data; it gives every object the same fifteen virtual
// operations: destruction, four pairs of generic value operations, the class
// name and size, and four factories that build a fresh or copied object of
// the object's own dynamic class, on the engine heap or in caller memory.
// Containers copy and pool objects through those factories without knowing
// their classes.
//
// How a class joins :
//
//     class CBullet : public CObjectDivision {
//         ORV_VALUE_CLASS(CBullet)
//     public:
//         CBullet();
//         CBullet(const CBullet& other);   // an independent copy
//         ~CBullet() override;
//         ...
//     };
//
// ORV_VALUE_CLASS gives the class GetClassName ("CBullet"), GetSize and the
// four factories. A class that is never created itself (CObjectBase, CScene,
// and later abstract bases) uses ORV_ABSTRACT_CLASS instead: its name and
// size, with the factories left pure so every concrete class must supply its
// own. Class templates whose class name is not their C++ name (CList<T> is
// "CList") use the _NAMED forms.
//
// Destruction: the virtual destructor plus DeletingDestructor(flags) below,
// which also frees when its flags say so; `delete p` on any
// engine object is DeletingDestructor(1). Heap objects come from the root's
// operator new, which never throws: a failed allocation makes the
// new-expression yield null without running the constructor.
#pragma once

#include "engine/core/Memory.h"
#include "engine/core/Types.h"

#include <cstddef>
#include <cstdint>
#include <new>

class CValueBase {
public:
    CValueBase() = default;
    CValueBase(const CValueBase&) = default;
    CValueBase& operator=(const CValueBase&) = default;

    // Engine heap: AlignedAlloc(size, 16), zero-filled; null on failure (or
    // when the size does not fit the engine's 32-bit sizes).
    static void* operator new(size_t size) noexcept;
    static void* operator new[](size_t size) noexcept;
    static void operator delete(void* block) noexcept { AlignedFree(block); }
    static void operator delete[](void* block) noexcept { AlignedFree(block); }
    // Placement (the pooled factories); the class-specific forms above hide
    // the global one, so it is declared again here.
    static void* operator new(size_t size, void* memory) noexcept
    {
        return PlacementNew(u32(size), memory);
    }
    static void operator delete(void*, void*) noexcept {}

    // 1st: the deleting destructor. Runs the destructor of the dynamic
    // class; with bit 0 of flags set also frees the object with operator
    // delete. With bit 0 clear the memory stays the caller's (in-place pools). Returns the object's address.
    void* DeletingDestructor(u32 flags);
    virtual ~CValueBase() = default;

    // 2nd-9th: generic value operations. The by-id forms take a member id
    // that the root ignores; they forward to the plain forms. Invoke's
    // argument and GetValue's result are pointer-sized because their callers
    // (the value binding) may carry object pointers in them.
    virtual i32 InvokeById(u32 memberId, uintptr_t argument);
    virtual i32 Invoke(uintptr_t argument);
    virtual uintptr_t GetValueById(u32 memberId);
    virtual uintptr_t GetValue();
    virtual i32 FromStringById(u32 memberId, const char* text);
    virtual i32 FromString(const char* text);
    virtual char* ToStringById(u32 memberId, char* buffer);
    // Writes GetClassName() with its NUL into buffer; null buffer gives null.
    virtual char* ToString(char* buffer);

    // 10th-15th: the per-class operations (ORV_VALUE_CLASS writes them).
    virtual const char* GetClassName() const { return "CValueBase"; }
    virtual u32 GetSize() const { return u32(sizeof(CValueBase)); }
    // Default-constructs an object of this class in memory; null memory: null.
    virtual CValueBase* CreatePooled(void* memory) const;
    // Default-constructs one on the engine heap; null when allocation fails.
    virtual CValueBase* Create() const;
    // Copy-constructs this object into memory; null memory: null.
    virtual CValueBase* ClonePooled(void* memory) const;
    // Copy-constructs this object on the engine heap; null on failure.
    virtual CValueBase* Clone() const;
};

namespace orv_detail {

// The four factory bodies shared by every class.
template <class C>
C* CreateIn(void* memory)
{
    void* p = PlacementNew(u32(sizeof(C)), memory);
    return p ? new (p) C() : nullptr;
}

template <class C>
C* CloneIn(void* memory, const C& source)
{
    void* p = PlacementNew(u32(sizeof(C)), memory);
    return p ? new (p) C(source) : nullptr;
}

}  // namespace orv_detail

// Name, size and the four factories of a concrete class. Put it first in the
// class body: it opens a public section and closes with `private:`, the
// default access of a class, so it changes nothing around it.
#define ORV_VALUE_CLASS_NAMED(Class, Name)                                     \
public:                                                                        \
    const char* GetClassName() const override { return Name; }                 \
    u32 GetSize() const override { return u32(sizeof(Class)); }                \
    Class* CreatePooled(void* memory) const override                           \
    {                                                                          \
        return ::orv_detail::CreateIn<Class>(memory);                          \
    }                                                                          \
    Class* Create() const override { return new Class(); }                     \
    Class* ClonePooled(void* memory) const override                            \
    {                                                                          \
        return ::orv_detail::CloneIn<Class>(memory, *this);                    \
    }                                                                          \
    Class* Clone() const override { return new Class(*this); }                 \
                                                                               \
private:

#define ORV_VALUE_CLASS(Class) ORV_VALUE_CLASS_NAMED(Class, #Class)

// Name and size of a class that is never created itself; the factories are
// pure again, so each concrete class below must build its own.
#define ORV_ABSTRACT_CLASS_NAMED(Class, Name)                                  \
public:                                                                        \
    const char* GetClassName() const override { return Name; }                 \
    u32 GetSize() const override { return u32(sizeof(Class)); }                \
    Class* CreatePooled(void* memory) const override = 0;                      \
    Class* Create() const override = 0;                                        \
    Class* ClonePooled(void* memory) const override = 0;                       \
    Class* Clone() const override = 0;                                         \
                                                                               \
private:

#define ORV_ABSTRACT_CLASS(Class) ORV_ABSTRACT_CLASS_NAMED(Class, #Class)
