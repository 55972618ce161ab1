#include "game/battle/character/FaceFile.h"

#include "engine/core/Endian.h"
#include "host/kernel/Kernel.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

namespace {

constexpr u32 kTracksPerFace = 2;
// A track block holds at least its name size, key count, two flags and a
// one-word default; a word track's key is 12 bytes.
constexpr size_t kSmallestTrack = 5 * 4;
constexpr size_t kSmallestRecord = CNamedArray::kNameBytes + kTracksPerFace * kSmallestTrack;
constexpr size_t kKeyBytes = 12;

class Bytes {
public:
    Bytes(const void* data, size_t size) : m_data(static_cast<const u8*>(data)), m_size(size) {}
    size_t Left() const { return m_size - m_at; }
    const u8* Here() const { return m_data + m_at; }
    // At most n bytes: what is there.
    size_t Take(size_t n)
    {
        n = std::min(n, Left());
        m_at += n;
        return n;
    }
    // A whole word, or false (and the part of one there is taken).
    bool U32(u32& v)
    {
        if (Left() < 4) {
            Take(4);
            return false;
        }
        v = GetLe32(Here());
        m_at += 4;
        return true;
    }

private:
    const u8* m_data;
    size_t m_size;
    size_t m_at = 0;
};

// One track block as far as the data go, handed whole to the track's own
// block reader: a name or keys running past the end take what is there
// (whole keys only), and the settings words the data lack are left out, so
// the track keeps its own. False only when the name or keys cannot be
// allocated.
bool ReadTrack(Bytes& in, CKeyFrameTrack& track)
{
    std::string block;
    u32 nameSize = 0, count = 0, word = 0;
    if (in.U32(nameSize)) nameSize = u32(in.Take(nameSize));
    // The name follows its length word.
    const u8* name = in.Here() - nameSize;
    AppendLe32(block, nameSize);
    if (nameSize) block.append(reinterpret_cast<const char*>(name), nameSize);
    const u8* keys = in.Here();
    if (in.U32(count) && count > in.Left() / kKeyBytes) {
        count = u32(in.Left() / kKeyBytes);
        in.Take(in.Left());
    } else {
        in.Take(size_t(count) * kKeyBytes);
    }
    AppendLe32(block, count);
    if (count) block.append(reinterpret_cast<const char*>(keys) + 4, size_t(count) * kKeyBytes);
    for (int i = 0; i < 3 && in.U32(word); ++i) AppendLe32(block, word);   // interpolate, loop, default
    return track.ReadFromMemory(block.data(), u32(block.size())) != 0;
}

FaceFileError Parse(Bytes& in, FaceTables& tables)
{
    // A file that ends early keeps what was read before its end: a missing
    // count is 0, and a record cut short is kept as far as it goes.
    u32 n = 0;
    in.U32(n);
    tables.expressions.reserve(std::min<size_t>(n, in.Left() / kSmallestRecord));
    for (u32 i = 0; i < n && in.Left() > 0; ++i) {
        CNamedArray& face = tables.expressions.emplace_back(kTracksPerFace);
        // A name filling all 260 bytes is ended after them.
        char name[CNamedArray::kNameBytes + 1] = {};
        const u8* at = in.Here();
        std::memcpy(name, at, in.Take(CNamedArray::kNameBytes));
        face.SetName(name);
        for (u32 t = 0; t < kTracksPerFace; ++t) {
            if (!ReadTrack(in, *face.GetItem(t))) return FaceFileError::kOutOfMemory;
        }
    }
    u32 m = 0;
    in.U32(m);
    tables.voiceExpressions.resize(std::min<size_t>(m, in.Left() / 4));
    for (u32& value : tables.voiceExpressions) in.U32(value);
    return FaceFileError::kNone;
}

}  // namespace

const char* DescribeFaceFileError(FaceFileError error)
{
    switch (error) {
    case FaceFileError::kNone: return "read";
    case FaceFileError::kMissing: return "face file cannot be read";
    case FaceFileError::kOutOfMemory: return "face file too large to hold";
    }
    return "unknown face file error";
}

FaceFileError ReadFaceFile(const void* data, size_t size, FaceTables& out)
{
    if (!data && size) return FaceFileError::kMissing;
    // Track reads take a 32-bit size.
    if (size > UINT32_MAX) return FaceFileError::kOutOfMemory;
    Bytes in(data, size);
    FaceTables tables;
    try {
        const FaceFileError error = Parse(in, tables);
        if (error != FaceFileError::kNone) return error;
    } catch (const std::bad_alloc&) {
        return FaceFileError::kOutOfMemory;
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
