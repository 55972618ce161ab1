#include "game/battle/character/FaceFile.h"

#include "engine/core/Endian.h"
#include "host/kernel/Kernel.h"

#include <cstring>
#include <new>

namespace {

constexpr u32 kTracksPerFace = 2;
// A track block holds at least its name size, key count, two flags and a
// one-word default.
constexpr size_t kSmallestTrack = 5 * 4;
constexpr size_t kSmallestRecord = CNamedArray::kNameBytes + kTracksPerFace * kSmallestTrack;

class Bytes {
public:
    Bytes(const void* data, size_t size) : m_data(static_cast<const u8*>(data)), m_size(size) {}
    size_t Left() const { return m_size - m_at; }
    const u8* Here() const { return m_data + m_at; }
    bool Skip(size_t n)
    {
        if (n > Left()) return false;
        m_at += n;
        return true;
    }
    bool U32(u32& v)
    {
        if (Left() < 4) return false;
        v = GetLe32(Here());
        m_at += 4;
        return true;
    }

private:
    const u8* m_data;
    size_t m_size;
    size_t m_at = 0;
};

FaceFileError Parse(Bytes& in, FaceTables& tables)
{
    u32 n = 0;
    if (!in.U32(n) || n > in.Left() / kSmallestRecord) return FaceFileError::kCut;
    tables.expressions.reserve(n);
    for (u32 i = 0; i < n; ++i) {
        CNamedArray& face = tables.expressions.emplace_back(kTracksPerFace);
        const char* name = reinterpret_cast<const char*>(in.Here());
        if (!in.Skip(CNamedArray::kNameBytes)) return FaceFileError::kCut;
        if (!std::memchr(name, 0, CNamedArray::kNameBytes)) return FaceFileError::kUnendedName;
        face.SetName(name);
        for (u32 t = 0; t < kTracksPerFace; ++t) {
            u32 used = 0;
            if (!face.GetItem(t)->ReadFromMemory(in.Here(), u32(in.Left()), &used)) return FaceFileError::kBadTrack;
            in.Skip(used);
        }
    }
    u32 m = 0;
    if (!in.U32(m) || m > in.Left() / 4) return FaceFileError::kCut;
    tables.voiceExpressions.resize(m);
    for (u32& value : tables.voiceExpressions) in.U32(value);
    return FaceFileError::kNone;
}

}  // namespace

const char* DescribeFaceFileError(FaceFileError error)
{
    switch (error) {
    case FaceFileError::kNone: return "read";
    case FaceFileError::kMissing: return "face file cannot be read";
    case FaceFileError::kCut: return "face file cut short or a count past its end";
    case FaceFileError::kUnendedName: return "face name without its end within 260 bytes";
    case FaceFileError::kBadTrack: return "face track damaged";
    }
    return "unknown face file error";
}

FaceFileError ReadFaceFile(const void* data, size_t size, FaceTables& out)
{
    if (!data && size) return FaceFileError::kMissing;
    // Track reads take a 32-bit size.
    if (size > UINT32_MAX) return FaceFileError::kCut;
    Bytes in(data, size);
    FaceTables tables;
    try {
        const FaceFileError error = Parse(in, tables);
        if (error != FaceFileError::kNone) return error;
    } catch (const std::bad_alloc&) {
        return FaceFileError::kCut;
    }
    out = std::move(tables);
    return FaceFileError::kNone;
}

FaceFileError LoadFaceFile(const char* path, FaceTables& out)
{
    std::string bytes;
    if (!path || !host::kernel::ReadWholeFile(path, bytes)) return FaceFileError::kMissing;
    return ReadFaceFile(bytes.data(), bytes.size(), out);
}
