// CResourceBase, the named resource: the base of nearly every
// engine and game class. It owns a copy of its name so lists can find it by
// name, and carries a type byte that derived classes set.
#pragma once

#include "engine/core/Types.h"
#include "engine/core/ValueBase.h"

class CResourceBase : public CValueBase {
    ORV_VALUE_CLASS(CResourceBase)

public:
    CResourceBase() = default;
    // A copy of name (length strlen + 1); null gives the default state.
    explicit CResourceBase(const char* name);
    // Type and length copied into a fresh buffer of that length, holding the
    // source's name when it has one: a copy of an unnamed object has an empty
    // name (a single zero byte) rather than none.
    CResourceBase(const CResourceBase& other);
    // The same copy, replacing this object's name and type.
    CResourceBase& operator=(const CResourceBase& other);
    ~CResourceBase() override;

    // Virtual operations appended after the root's, in their fixed order.

    // Frees the name (name null); the name length is kept. Returns 1.
    virtual i32 Release();
    // Frees the old name; a non-null text sets the length to strlen + 1 and
    // a fresh copy. Returns the new name, null for a null text or when the
    // copy cannot be allocated (then the length is 0).
    virtual char* SetName(const char* text);
    // Frees the old name; a non-zero size sets the length to size and a
    // fresh zero-filled buffer for the caller (readers) to fill. Returns the
    // buffer, null for size 0 or when it cannot be allocated (length 0).
    virtual char* AllocName(u32 size);
    virtual char* GetName() const { return m_name; }
    virtual u32 GetNameLength() const { return m_nameLength; }
    virtual u8 GetType() const { return m_type; }

protected:
    void SetType(u8 type) { m_type = type; }
    // Frees the name and sets its length to 0, so an unnamed reader result
    // neither keeps nor copies a stale length.
    void ClearName();

private:
    void FreeName();
    // Replaces the name with a copy of length bytes of source (or zero bytes
    // when source is null); at least one byte is allocated so that an empty
    // copy reads as "".
    void CopyName(const char* source, u32 length);

    char* m_name = nullptr;
    u32 m_nameLength = 0;
    u8 m_type = 0;
};
