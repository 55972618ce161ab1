// Run-time binding by name: CValueBindBase forwards the root's by-id
// operations (Invoke, FromString, ToString) to an object that it looks up by
// name in a dictionary; CFunctionBindBase holds one bound function;
// CArgumentStack holds the arguments of a bound call. Derived bindings
// supply the dictionaries.
#pragma once

#include "engine/core/Dictionary.h"
#include "engine/core/Types.h"
#include "engine/core/ValueBase.h"

#include <cstdint>
#include <string>

class CValueBindBase : public CValueBase {
    ORV_VALUE_CLASS(CValueBindBase)

public:
    CValueBindBase() = default;
    CValueBindBase(const CValueBindBase&) = default;

    // Stores the member id used when a call gives id 0; returns this.
    virtual CValueBindBase* SetId(u32 id);
    // The dictionary of invocation targets; none by default.
    virtual CDictionary* GetInvokeDictionary() const { return nullptr; }
    // The dictionary of value targets; none by default.
    virtual CDictionary* GetValueDictionary() const { return nullptr; }
    // The object under name (type 0) in either dictionary; null when there
    // is no dictionary, no such entry, or no name.
    virtual CValueBase* FindInvokeTarget(const char* name) const;
    virtual CValueBase* FindValueTarget(const char* name) const;

    // The value target's FromStringById with id (the member id when id is
    // 0); 0 without a target.
    virtual i32 NamedFromStringById(const char* name, u32 id, const char* text);
    virtual i32 NamedFromString(const char* name, const char* text);
    // The value target's ToStringById; without a target, buffer unchanged.
    virtual char* NamedToStringById(const char* name, u32 id, char* buffer);
    virtual char* NamedToString(const char* name, char* buffer);
    // The invocation target's InvokeById; 0 without a target.
    virtual i32 NamedInvokeById(const char* name, u32 id, uintptr_t argument);
    virtual i32 NamedInvoke(const char* name, uintptr_t argument);

    u32 GetTypeCode() const { return m_typeCode; }
    u32 GetId() const { return m_id; }

private:
    u32 MemberId(u32 id) const { return id ? id : m_id; }

    u32 m_typeCode = 7;
    u32 m_id = 0;
};

class CFunctionBindBase : public CValueBase {
    ORV_VALUE_CLASS(CFunctionBindBase)

public:
    CFunctionBindBase() = default;
    CFunctionBindBase(const CFunctionBindBase&) = default;

    uintptr_t GetFunction() const { return m_function; }
    void SetFunction(uintptr_t function) { m_function = function; }

private:
    uintptr_t m_function = 0;
};

class CArgumentStack : public CValueBase {
    ORV_VALUE_CLASS(CArgumentStack)

public:
    CArgumentStack() = default;
    // Capacity, count and copies of both arrays; when they cannot be
    // allocated the copy is empty.
    CArgumentStack(const CArgumentStack& other);
    CArgumentStack& operator=(const CArgumentStack&) = delete;
    ~CArgumentStack() override { Release(); }

    // Frees both arrays; capacity and count 0. Returns 1.
    i32 Release();

    // An argument stack cannot be set from text: 0.
    i32 FromString(const char* text) override;
    // "Stack <count>/<capacity>\n", then "%4d : <value> : <type>\n" per
    // argument, the value as a pointer in hexadecimal. The buffer must hold
    // GetStringSize() bytes; a null buffer gives null.
    char* ToString(char* buffer) override;

    // Appends an argument, growing both arrays when full; 0 when they
    // cannot grow.
    i32 Push(uintptr_t value, u32 type);
    // Argument index and its type; 0 past the count.
    uintptr_t GetArgument(u32 index) const { return index < m_count ? m_values[index] : 0; }
    u32 GetArgumentType(u32 index) const { return index < m_count ? m_types[index] : 0; }
    u32 GetCount() const { return m_count; }
    u32 GetCapacity() const { return m_capacity; }
    u32 GetStringSize() const { return u32(Dump().size() + 1); }

private:
    std::string Dump() const;

    uintptr_t* m_values = nullptr;
    u32* m_types = nullptr;
    u32 m_capacity = 0;
    u32 m_count = 0;
};
