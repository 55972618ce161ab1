#include "engine/core/List.h"

#include "engine/core/Path.h"

#include <cstring>

namespace {

// Names are compared as paths of at most MAX_PATH (260) bytes: only the
// first 259 bytes of each file name take part, so names alike that far name
// the same resource.
constexpr size_t kFileNameCompareLimit = 259;

// Slots hold CValueBase pointers (as CResourceList stores them).
CResourceBase* AsResource(void* slot) { return static_cast<CResourceBase*>(static_cast<CValueBase*>(slot)); }

const char* NameOf(void* slot)
{
    return slot ? AsResource(slot)->GetName() : nullptr;
}

}  // namespace

i32 FindResourceIndexByName(void* const* slots, u32 count, const char* name)
{
    if (!name || !slots) return -1;
    for (u32 i = 0; i < count; ++i) {
        const char* n = NameOf(slots[i]);
        if (n && std::strcmp(n, name) == 0) return i32(i);
    }
    return -1;
}

CResourceBase* FindResourceByName(void* const* slots, u32 count, const char* name)
{
    const i32 i = FindResourceIndexByName(slots, count, name);
    return i < 0 ? nullptr : AsResource(slots[i]);
}

CResourceBase* FindResourceByFileName(void* const* slots, u32 count, const char* path)
{
    if (!path || !slots) return nullptr;
    const char* wanted = FileNamePart(path);
    for (u32 i = 0; i < count; ++i) {
        const char* n = NameOf(slots[i]);
        if (n && std::strncmp(FileNamePart(n), wanted, kFileNameCompareLimit) == 0) {
            return AsResource(slots[i]);
        }
    }
    return nullptr;
}
