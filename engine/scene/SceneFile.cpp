#include "engine/scene/SceneFile.h"

#include "engine/core/Endian.h"

#include <cstring>

namespace scene_file {

bool Reader::U32(u32& value)
{
    u8 bytes[4];
    if (!Take(bytes, 4)) return false;
    value = GetLe32(bytes);
    return true;
}

bool Reader::Take(void* out, size_t bytes)
{
    if (bytes > Remaining()) return false;
    if (bytes) std::memcpy(out, m_data + m_at, bytes);
    m_at += bytes;
    return true;
}

bool Reader::Skip(size_t bytes)
{
    if (bytes > Remaining()) return false;
    m_at += bytes;
    return true;
}

bool Reader::Name(size_t n, std::string& text)
{
    const size_t taken = n < Remaining() ? n : Remaining();
    text.assign(reinterpret_cast<const char*>(m_data + m_at), taken);
    if (text.empty() || text.back() != '\0') text += '\0';
    m_at += taken;
    return taken == n;
}

bool WriteU32(host::kernel::File& file, u32 value)
{
    u8 bytes[4];
    PutLe32(bytes, value);
    return file.Write(bytes, 4) == 4;
}

bool WriteName(host::kernel::File& file, const char* name, u32 n)
{
    if (!name || n == 0) return WriteU32(file, 0);
    return WriteU32(file, n) && file.Write(name, n) == n;
}

}  // namespace scene_file
