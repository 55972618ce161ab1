// Little-endian fields of the engine's files and messages, read and written
// byte by byte so that neither the host's byte order nor alignment matters.
#pragma once

#include "engine/core/Types.h"

#include <string>

inline u16 GetLe16(const void* p)
{
    const u8* b = static_cast<const u8*>(p);
    return u16(b[0] | (b[1] << 8));
}

inline u32 GetLe32(const void* p)
{
    const u8* b = static_cast<const u8*>(p);
    return u32(b[0]) | (u32(b[1]) << 8) | (u32(b[2]) << 16) | (u32(b[3]) << 24);
}

inline void PutLe16(void* p, u16 v)
{
    u8* b = static_cast<u8*>(p);
    b[0] = u8(v);
    b[1] = u8(v >> 8);
}

inline void PutLe32(void* p, u32 v)
{
    u8* b = static_cast<u8*>(p);
    b[0] = u8(v);
    b[1] = u8(v >> 8);
    b[2] = u8(v >> 16);
    b[3] = u8(v >> 24);
}

inline void AppendLe16(std::string& out, u16 v)
{
    char b[2];
    PutLe16(b, v);
    out.append(b, 2);
}

inline void AppendLe32(std::string& out, u32 v)
{
    char b[4];
    PutLe32(b, v);
    out.append(b, 4);
}
