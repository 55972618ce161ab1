// Typed parameters of the settings readers.
//
// A parameter knows one key's value type, its default and where in the
// owning reader the value lives, and reads the value from a settings text or
// from the binary cache. The owner is the reader's address as the reader
// hands it over; a stratum parameter finds its value at that address plus a
// chain of byte offsets (value block, group, record, field), which the
// readers compute from their own members.
//
// Each value type T supplies three free functions, found by overload (the
// basic types below) or by argument-dependent look-up (list types, in their
// own headers):
//   i32   StatusSetValue(T& target, const char* value)     convert and store
//   char* StatusFormatValue(const T& value, char* buffer, u32 size)
//   i32   StatusApplyDefault(T& target, const T& defaultValue)
#pragma once

#include "engine/core/String.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"

#include <array>
#include <cstddef>
#include <new>

namespace host::kernel { class File; }
class CStatusKeyMap;

// float: as string-to-double; int: as string-to-int; 16- and 8-bit: an int
// whose low bits are stored; CVector3: ":x:y:z", a missing ':' fails with the
// components read so far kept; CString: the text as it stands.
i32 StatusSetValue(f32& target, const char* value);
i32 StatusSetValue(i32& target, const char* value);
i32 StatusSetValue(u16& target, const char* value);
i32 StatusSetValue(u8& target, const char* value);
i32 StatusSetValue(CVector3& target, const char* value);
i32 StatusSetValue(CString& target, const char* value);

char* StatusFormatValue(const f32& value, char* buffer, u32 size);
char* StatusFormatValue(const i32& value, char* buffer, u32 size);
char* StatusFormatValue(const u16& value, char* buffer, u32 size);
char* StatusFormatValue(const u8& value, char* buffer, u32 size);
char* StatusFormatValue(const CVector3& value, char* buffer, u32 size);
char* StatusFormatValue(const CString& value, char* buffer, u32 size);

template <class T>
i32 StatusApplyDefault(T& target, const T& defaultValue)
{
    target = defaultValue;
    return 1;
}

// The form the value of a key naming a child file takes in the binary cache:
// a name holding ".txt", ".fac" or ".cam" (anywhere, in any case) is stored
// as "Setting/" plus the name with a ".txt" (in any case, as paths resolve
// without regard to case) made ".dat": the last four characters when they
// are one, else the first. That is the name the game opens and the one
// reading the text writes. Any other name stays as it stands.
// Values of other keys are cached as they stand, whatever they hold.
CString MakeCachedValue(const char* value);

class CStatusBase {
public:
    CStatusBase() = default;
    CStatusBase(const CStatusBase&) = default;
    CStatusBase& operator=(const CStatusBase&) = delete;
    virtual ~CStatusBase() = default;

    // Whether the key's value names a child settings file, and so takes the
    // cache's form for such names (MakeCachedValue) in the cache.
    bool NamesFile() const { return m_namesFile; }
    void SetNamesFile(bool namesFile) { m_namesFile = namesFile; }

    // Reads the value text[position, end), where end is the index of its
    // terminator (double-byte characters whole; at most kSettingTextMax bytes
    // kept, the rest of a longer value dropped), steps past the terminator,
    // trims it, replaces it by its alias when aliasTable knows it, writes it
    // to cache with keyByte when a cache is given (a file name in its cached
    // form), and stores it.
    // 0 for a null text or a failed cache write, else 1.
    virtual i32 ParseText(const char* text, size_t end, size_t& position, void* owner,
                          const CStatusKeyMap* aliasTable, host::kernel::File* cache, u8 keyByte);
    // Reads one cached value string and stores it. 0 without a file or when
    // the string is damaged or cut short, else 1.
    virtual i32 ReadBinary(void* owner, host::kernel::File* cache, u8 keyByte);
    // Converts and stores value; 0 for a null owner or value, or a failed
    // conversion (CVector3).
    virtual i32 SetValue(void* owner, const char* value) = 0;
    // The value as text in buffer; buffer, or null for a null owner.
    virtual char* FormatValue(void* owner, char* buffer, u32 size) = 0;
    virtual i32 ApplyDefault(void* owner) = 0;
    virtual const char* GetClassName() const { return "CStatusBase"; }
    virtual u32 GetSize() const { return u32(sizeof(CStatusBase)); }
    virtual CStatusBase* CreatePooled(void* memory) const = 0;
    virtual CStatusBase* Create() const = 0;
    virtual CStatusBase* ClonePooled(void* memory) const = 0;
    virtual CStatusBase* Clone() const = 0;

private:
    bool m_namesFile = false;
};

template <class T>
class CStatusParameter : public CStatusBase {
public:
    CStatusParameter() = default;
    explicit CStatusParameter(const T& defaultValue) : m_default(defaultValue) {}
    CStatusParameter(const CStatusParameter&) = default;

    i32 SetValue(void* owner, const char* value) override
    {
        T* target = owner ? GetTarget(owner) : nullptr;
        if (!target || !value) return 0;
        return StatusSetValue(*target, value);
    }
    char* FormatValue(void* owner, char* buffer, u32 size) override
    {
        T* target = owner ? GetTarget(owner) : nullptr;
        if (!target) return nullptr;
        return StatusFormatValue(*target, buffer, size);
    }
    i32 ApplyDefault(void* owner) override
    {
        T* target = owner ? GetTarget(owner) : nullptr;
        if (!target) return 0;
        return StatusApplyDefault(*target, m_default);
    }
    const char* GetClassName() const override { return "CStatusParameter"; }
    u32 GetSize() const override { return u32(sizeof(CStatusParameter)); }

    // Where in owner the value lives.
    virtual T* GetTarget(void* owner) const = 0;

protected:
    T m_default{};
};

template <class T, u32 N>
class CStatusParameterStratum final : public CStatusParameter<T> {
    static_assert(N >= 1 && N <= 4, "one to four offsets");

public:
    using Offsets = std::array<ptrdiff_t, N>;

    CStatusParameterStratum() = default;
    CStatusParameterStratum(const T& defaultValue, const Offsets& offsets)
        : CStatusParameter<T>(defaultValue), m_offsets(offsets) {}
    CStatusParameterStratum(const CStatusParameterStratum&) = default;

    T* GetTarget(void* owner) const override
    {
        if (!owner) return nullptr;
        ptrdiff_t at = 0;
        for (ptrdiff_t offset : m_offsets) at += offset;
        return reinterpret_cast<T*>(static_cast<char*>(owner) + at);
    }

    const char* GetClassName() const override { return "CStatusParameterStratum"; }
    u32 GetSize() const override { return u32(sizeof(CStatusParameterStratum)); }
    CStatusParameterStratum* CreatePooled(void* memory) const override
    {
        return memory ? new (memory) CStatusParameterStratum() : nullptr;
    }
    CStatusParameterStratum* Create() const override { return new CStatusParameterStratum(); }
    CStatusParameterStratum* ClonePooled(void* memory) const override
    {
        return memory ? new (memory) CStatusParameterStratum(*this) : nullptr;
    }
    CStatusParameterStratum* Clone() const override { return new CStatusParameterStratum(*this); }

private:
    Offsets m_offsets{};
};
