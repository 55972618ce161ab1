#include "engine/core/KeyFrameList.h"

#include "engine/core/Endian.h"
#include "engine/core/Memory.h"
#include "host/kernel/Kernel.h"

#include <cmath>
#include <cstring>
#include <string>

u32 InterpolateCurveKey(const CSegment* a, const CSegment* b, f32 w, CSegment* out)
{
    if (!out || !a) return 0;
    if (!b || w == 0.0f) {
        *out = *a;
        return 1;
    }
    const CVector3 toControl = a->start - a->end;
    const CVector3 toNext = b->end - a->end;
    const f32 c = 2.0f * w * (1.0f - w);
    const f32 n = w * w;
    *out = CSegment(a->start, a->end + toControl * c + toNext * n);
    return 1;
}

namespace keyframe_block {

Parts::~Parts()
{
    AlignedFree(name);
    AlignedFree(keyWords);
}

namespace {

// Each 4-byte field of the in-memory records, little-endian.
void PutWords(std::string& out, const void* data, size_t bytes)
{
    const auto* p = static_cast<const u8*>(data);
    for (size_t i = 0; i + 4 <= bytes; i += 4) {
        u32 word;
        std::memcpy(&word, p + i, 4);
        AppendLe32(out, word);
    }
}

std::string Encode(const View& view)
{
    std::string out;
    const size_t keyBytes = 8 + size_t(view.valueBytes);
    out.reserve(16 + view.nameLength + keyBytes * view.keyCount + view.valueBytes);
    if (view.name && view.nameLength) {
        AppendLe32(out, view.nameLength);
        out.append(view.name, view.nameLength);
    } else {
        AppendLe32(out, 0);
    }
    AppendLe32(out, view.keyCount);
    if (view.keys) PutWords(out, view.keys, keyBytes * view.keyCount);
    AppendLe32(out, view.interpolate);
    AppendLe32(out, view.loop);
    PutWords(out, view.defaultValue, view.valueBytes);
    return out;
}

// Where a block is read from: it says how much is left, so that no stored
// count is believed beyond the data that could hold it.
class Source {
public:
    virtual ~Source() = default;
    // Exactly bytes bytes, or false.
    virtual bool Take(void* buffer, size_t bytes) = 0;
    virtual u64 Remaining() const = 0;

    bool TakeU32(u32& v)
    {
        u8 b[4];
        if (!Take(b, 4)) return false;
        v = GetLe32(b);
        return true;
    }
};

class FileSource : public Source {
public:
    explicit FileSource(host::kernel::File* file) : m_file(file) {}
    bool Take(void* buffer, size_t bytes) override { return m_file->Read(buffer, bytes) == bytes; }
    u64 Remaining() const override
    {
        const int64_t size = m_file->Size(), at = m_file->Tell();
        return (size < 0 || at < 0 || at > size) ? 0 : u64(size - at);
    }

private:
    host::kernel::File* m_file;
};

class MemorySource : public Source {
public:
    MemorySource(const void* data, u32 size) : m_data(static_cast<const u8*>(data)), m_size(size) {}
    bool Take(void* buffer, size_t bytes) override
    {
        if (bytes > m_size - m_at) return false;
        std::memcpy(buffer, m_data + m_at, bytes);
        m_at += u32(bytes);
        return true;
    }
    u64 Remaining() const override { return m_size - m_at; }
    u32 Used() const { return m_at; }

private:
    const u8* m_data;
    u32 m_size;
    u32 m_at = 0;
};

// n little-endian words into words.
bool TakeWords(Source& source, u32* words, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        if (!source.TakeU32(words[i])) return false;
    }
    return true;
}

u32 Decode(Source& source, u32 valueBytes, Parts& parts)
{
    if (valueBytes % 4 || valueBytes > sizeof(parts.defaultWords)) return 0;
    const u64 keyBytes = 8 + u64(valueBytes);

    u32 nameLength = 0;
    if (!source.TakeU32(nameLength)) return 0;
    // A name of every byte left cannot be followed by the rest of a block.
    if (nameLength > source.Remaining() || nameLength == UINT32_MAX) return 0;
    if (nameLength) {
        // A name stored without its NUL is ended here, one byte longer.
        parts.name = static_cast<char*>(AlignedAlloc(nameLength + 1, 16));
        if (!parts.name || !source.Take(parts.name, nameLength)) return 0;
        parts.name[nameLength] = '\0';
        parts.nameLength = parts.name[nameLength - 1] ? nameLength + 1 : nameLength;
    }

    u32 count = 0;
    if (!source.TakeU32(count)) return 0;
    // The keys must all still be there: half an array would be garbage.
    if (u64(count) * keyBytes > source.Remaining()) return 0;
    const u64 keyWords = u64(count) * keyBytes / 4;
    if (count) {
        if (keyWords * 4 > UINT32_MAX) return 0;
        parts.keyWords = static_cast<u32*>(AlignedAlloc(u32(keyWords * 4), 16));
        if (!parts.keyWords || !TakeWords(source, parts.keyWords, size_t(keyWords))) return 0;
    }
    parts.keyCount = count;
    // Interpolate, loop and the default value are taken word by word as far
    // as the data goes; the track keeps its own for the words missing.
    u32 trailing[2 + sizeof(parts.defaultWords) / 4] = {};
    const u32 words = 2 + valueBytes / 4;
    while (parts.trailingWords < words && source.TakeU32(trailing[parts.trailingWords])) ++parts.trailingWords;
    if (parts.trailingWords > 0) parts.interpolate = trailing[0];
    if (parts.trailingWords > 1) parts.loop = trailing[1];
    for (u32 i = 2; i < parts.trailingWords; ++i) parts.defaultWords[i - 2] = trailing[i];
    return 1;
}

}  // namespace

u32 Write(host::kernel::File* file, const View& view)
{
    if (!file) return 0;
    const std::string bytes = Encode(view);
    return file->Write(bytes.data(), bytes.size()) == bytes.size() ? 1 : 0;
}

u32 Save(const char* path, host::kernel::File* file, const View& view)
{
    if (file) return Write(file, view);
    if (!path) return 0;
    const std::string bytes = Encode(view);
    return host::kernel::WriteFileAtomic(path, bytes.data(), bytes.size()) ? 1 : 0;
}

u32 Read(host::kernel::File* file, u32 valueBytes, Parts& parts)
{
    if (!file) return 0;
    FileSource source(file);
    return Decode(source, valueBytes, parts);
}

u32 ReadMemory(const void* data, u32 size, u32 valueBytes, Parts& parts, u32* used)
{
    if (!data) return 0;
    MemorySource source(data, size);
    if (!Decode(source, valueBytes, parts)) return 0;
    if (used) *used = source.Used();
    return 1;
}

u32 Load(const char* path, host::kernel::File* file, u32 valueBytes, Parts& parts)
{
    if (file) return Read(file, valueBytes, parts);
    if (!path) return 0;
    const auto opened = host::kernel::OpenFile(path, "rb");
    if (!opened) return 0;
    const u32 result = Read(opened.get(), valueBytes, parts);
    opened->Close();
    return result;
}

}  // namespace keyframe_block
