#include "engine/core/Memory.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

void* AlignedAlloc(u32 size, u32 alignment)
{
    if (alignment == 0) alignment = 1;
    // Room for the raw pointer plus the worst-case padding to the alignment.
    const size_t rawSize = size_t(size) + alignment + sizeof(void*) - 1;
    void* raw = std::malloc(rawSize);
    if (!raw) return nullptr;
    std::memset(raw, 0, rawSize);
    const uintptr_t first = reinterpret_cast<uintptr_t>(raw) + sizeof(void*);
    const uintptr_t block = first + ((alignment - first) & (alignment - 1));
    std::memcpy(reinterpret_cast<void*>(block - sizeof(void*)), &raw, sizeof(void*));
    return reinterpret_cast<void*>(block);
}

void AlignedFree(void* block)
{
    if (!block) return;
    void* raw;
    std::memcpy(&raw, static_cast<char*>(block) - sizeof(void*), sizeof(void*));
    std::free(raw);
}
