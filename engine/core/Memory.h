// The engine heap: zero-filled blocks at a power-of-two alignment.
#pragma once

#include "engine/core/Types.h"

// Zero-filled block of size bytes aligned to alignment (a power of two); the
// raw allocation's address is kept in the pointer-sized word just before the
// block. Null when the allocation fails.
void* AlignedAlloc(u32 size, u32 alignment);

// Releases a block from AlignedAlloc; null is ignored.
void AlignedFree(void* block);

// Standard placement: returns memory unchanged.
inline void* PlacementNew(u32 /*size*/, void* memory) { return memory; }
