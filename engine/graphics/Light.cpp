#include "engine/graphics/Light.h"

#include "engine/core/Endian.h"
#include "host/kernel/Kernel.h"
#include "host/kernel/WholeFile.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

void PutF32(std::string& out, f32 v)
{
    u32 bits;
    std::memcpy(&bits, &v, 4);
    AppendLe32(out, bits);
}

void PutVector(std::string& out, const CVector3& v)
{
    PutF32(out, v.x);
    PutF32(out, v.y);
    PutF32(out, v.z);
}

// Little-endian fields over what a block holds: a field past its end is
// not taken and leaves its target as it was, and so does every one after.
class FieldReader {
public:
    FieldReader(const u8* p, size_t size) : m_p(p), m_left(size) {}
    bool U8(u8& v)
    {
        if (m_left < 1) return false;
        v = *m_p++;
        --m_left;
        return true;
    }
    bool U32(u32& v)
    {
        if (m_left < 4) return false;
        v = GetLe32(m_p);
        m_p += 4;
        m_left -= 4;
        return true;
    }
    bool F32(f32& v)
    {
        u32 bits;
        if (!U32(bits)) return false;
        std::memcpy(&v, &bits, 4);
        return true;
    }
    bool Vector(CVector3& v) { return F32(v.x) && F32(v.y) && F32(v.z); }

private:
    const u8* m_p;
    size_t m_left;
};

}  // namespace

CLight::CLight() : CResourceBase("Light") {}

i32 CLight::Save(const char* path, host::kernel::File* file)
{
    if (!file && !path) return 0;

    std::string block;
    block.reserve(BlockSize(GetNameLength()));
    if (GetName()) {
        AppendLe32(block, GetNameLength());
        block.append(GetName(), GetNameLength());
    } else {
        AppendLe32(block, 0);
    }
    PutVector(block, m_position);
    PutVector(block, m_direction);
    PutF32(block, m_range);
    AppendLe32(block, m_diffuse);
    AppendLe32(block, m_ambient);
    AppendLe32(block, m_specular);
    block.push_back(char(m_flag));
    PutVector(block, m_attenuation);
    PutVector(block, m_spot);

    if (file) return file->Write(block.data(), block.size()) == block.size() ? 1 : 0;
    return host::kernel::WriteFileAtomic(path, block.data(), block.size()) ? 1 : 0;
}

i32 CLight::Load(const char* path, host::kernel::File* file)
{
    std::unique_ptr<host::kernel::File> opened;
    file = host::kernel::GivenOrOpened(file, path, opened);
    if (!file) return 0;

    // A block is read as far as the file goes: a cut length word leaves the
    // light as it was, a cut name is what the file holds, and the fields
    // past the end keep their values.
    u8 word[4];
    if (file->Read(word, 4) != 4) {
        if (opened) opened->Close();
        return 1;
    }
    const u32 nameLength = GetLe32(word);
    const int64_t left = std::max<int64_t>(file->Size() - file->Tell(), 0);
    const size_t nameBytes = size_t(std::min<int64_t>(nameLength, left));
    const size_t fieldBytes = size_t(std::min<int64_t>(kFixedBytes - 4, left - int64_t(nameBytes)));
    std::vector<u8> rest(nameBytes + fieldBytes);
    const size_t got = file->Read(rest.data(), rest.size());
    const size_t nameGot = std::min(got, nameBytes);

    if (nameLength == 0) {
        ClearName();
    } else {
        // A name stored without its terminator is ended here, one byte longer.
        const bool ended = nameGot > 0 && rest[nameGot - 1] == 0;
        char* name = AllocName(ended ? u32(nameGot) : u32(nameGot + 1));
        if (!name) return 0;
        if (nameGot) std::memcpy(name, rest.data(), nameGot);
        name[GetNameLength() - 1] = '\0';
    }
    FieldReader in(rest.data() + nameGot, got - nameGot);
    (void)(in.Vector(m_position) && in.Vector(m_direction) && in.F32(m_range) && in.U32(m_diffuse) &&
        in.U32(m_ambient) && in.U32(m_specular) && in.U8(m_flag) && in.Vector(m_attenuation) && in.Vector(m_spot));
    if (opened) opened->Close();
    return 1;
}
