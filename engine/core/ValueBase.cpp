#include "engine/core/ValueBase.h"

#include <cstring>

namespace {

void* EngineHeapAlloc(size_t size)
{
    // The engine's sizes are 32-bit; anything larger is an allocation failure.
    if (size > UINT32_MAX) return nullptr;
    return AlignedAlloc(u32(size), 16);
}

}  // namespace

void* CValueBase::operator new(size_t size) noexcept { return EngineHeapAlloc(size); }

void* CValueBase::operator new[](size_t size) noexcept { return EngineHeapAlloc(size); }

void* CValueBase::DeletingDestructor(u32 flags)
{
    void* self = this;
    if (flags & 1) {
        delete this;  // virtual destructor, then the dynamic class's operator delete
    } else {
        this->~CValueBase();  // virtual: destroys the dynamic class in place
    }
    return self;
}

i32 CValueBase::InvokeById(u32 /*memberId*/, uintptr_t argument) { return Invoke(argument); }

i32 CValueBase::Invoke(uintptr_t /*argument*/) { return 0; }

uintptr_t CValueBase::GetValueById(u32 /*memberId*/) { return GetValue(); }

uintptr_t CValueBase::GetValue() { return 0; }

i32 CValueBase::FromStringById(u32 /*memberId*/, const char* text) { return FromString(text); }

i32 CValueBase::FromString(const char* /*text*/) { return 1; }

char* CValueBase::ToStringById(u32 /*memberId*/, char* buffer) { return ToString(buffer); }

char* CValueBase::ToString(char* buffer)
{
    if (!buffer) return nullptr;
    const char* name = GetClassName();
    std::memcpy(buffer, name, std::strlen(name) + 1);
    return buffer;
}

CValueBase* CValueBase::CreatePooled(void* memory) const
{
    return orv_detail::CreateIn<CValueBase>(memory);
}

CValueBase* CValueBase::Create() const { return new CValueBase(); }

CValueBase* CValueBase::ClonePooled(void* memory) const
{
    return orv_detail::CloneIn<CValueBase>(memory, *this);
}

CValueBase* CValueBase::Clone() const { return new CValueBase(*this); }
