// The engine's byte scrambler, shared by scrambled .gpk
// archives and the scrambled CString on file.
#pragma once

#include "engine/core/Types.h"

// XORs byte i of buffer (i from 0) with T[i mod 256] XOR key, where T is the
// program's fixed 256-byte table. Its own inverse. Returns buffer; a null
// buffer is ignored.
void* ScrambleBytes(u8 key, void* buffer, u32 count);
