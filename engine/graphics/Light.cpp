#include "engine/graphics/Light.h"

#include "engine/core/Endian.h"
#include "host/kernel/Kernel.h"
#include "host/kernel/WholeFile.h"

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

// Little-endian fields over a block already known to be long enough.
class FieldReader {
public:
    explicit FieldReader(const u8* p) : m_p(p) {}
    u8 U8() { return *m_p++; }
    u32 U32()
    {
        const u32 v = GetLe32(m_p);
        m_p += 4;
        return v;
    }
    f32 F32()
    {
        const u32 bits = U32();
        f32 v;
        std::memcpy(&v, &bits, 4);
        return v;
    }
    CVector3 Vector()
    {
        const f32 x = F32();
        const f32 y = F32();
        const f32 z = F32();
        return {x, y, z};
    }

private:
    const u8* m_p;
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

    u8 word[4];
    if (file->Read(word, 4) != 4) return 0;
    const u32 nameLength = GetLe32(word);
    // Save writes a name of any length: only the file bounds it.
    const int64_t left = file->Size() - file->Tell();
    if (int64_t(nameLength) + (kFixedBytes - 4) > left) return 0;

    std::vector<u8> rest(nameLength + (kFixedBytes - 4));
    if (file->Read(rest.data(), rest.size()) != rest.size()) return 0;
    // A name must end with its terminator, or it would be read past its end.
    if (nameLength > 0 && rest[nameLength - 1] != 0) return 0;

    if (nameLength == 0) {
        ClearName();
    } else {
        char* name = AllocName(nameLength);
        if (!name) return 0;
        std::memcpy(name, rest.data(), nameLength);
    }
    FieldReader in(rest.data() + nameLength);
    m_position = in.Vector();
    m_direction = in.Vector();
    m_range = in.F32();
    m_diffuse = in.U32();
    m_ambient = in.U32();
    m_specular = in.U32();
    m_flag = in.U8();
    m_attenuation = in.Vector();
    m_spot = in.Vector();
    if (opened) opened->Close();
    return 1;
}
