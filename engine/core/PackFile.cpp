#include "engine/core/PackFile.h"

#include "engine/core/Memory.h"
#include "engine/core/Scramble.h"
#include "host/kernel/Kernel.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

using host::kernel::File;

u32 GetU32(const u8* p) { return u32(p[0]) | u32(p[1]) << 8 | u32(p[2]) << 16 | u32(p[3]) << 24; }

void PutU32(u8* p, u32 v)
{
    p[0] = u8(v);
    p[1] = u8(v >> 8);
    p[2] = u8(v >> 16);
    p[3] = u8(v >> 24);
}

bool ReadExact(File& file, void* buffer, size_t bytes) { return file.Read(buffer, bytes) == bytes; }

bool WriteExact(File& file, const void* buffer, size_t bytes) { return file.Write(buffer, bytes) == bytes; }

// A scrambled field is unscrambled on its own, the table position from 0.
bool ReadWord(File& file, bool scrambled, u8 key, u32& out)
{
    u8 bytes[4];
    if (!ReadExact(file, bytes, 4)) return false;
    if (scrambled) ScrambleBytes(key, bytes, 4);
    out = GetU32(bytes);
    return true;
}

PackEntry* AllocDirectory(u32 count)
{
    return count ? static_cast<PackEntry*>(AlignedAlloc(count * kPackEntrySize, 16)) : nullptr;
}

// The archive's location independent of the current folder.
std::string AbsolutePath(const char* path)
{
    if (path[0] == '/' || path[0] == '\\') return path;
    const std::string folder = host::kernel::GetCurrentDirectory();
    if (folder.empty()) return path;
    return folder + "/" + path;
}

}  // namespace

CqelPackFile::CqelPackFile(const CqelPackFile& other) : CResourceBase(other) { CopyDirectory(other); }

CqelPackFile& CqelPackFile::operator=(const CqelPackFile& other)
{
    if (this == &other) return *this;
    CResourceBase::operator=(other);
    CopyDirectory(other);
    return *this;
}

void CqelPackFile::CopyDirectory(const CqelPackFile& other)
{
    PackEntry* directory = AllocDirectory(other.m_count);
    FreeDirectory();
    if (other.m_count && !directory) return;
    if (directory) std::memcpy(directory, other.m_directory, size_t(other.m_count) * kPackEntrySize);
    m_directory = directory;
    m_count = other.m_count;
    m_scrambled = other.m_scrambled;
    m_dataKey = other.m_dataKey;
    m_location = other.m_location;
}

CqelPackFile::~CqelPackFile() { CqelPackFile::Release(); }

void CqelPackFile::FreeDirectory()
{
    AlignedFree(m_directory);
    m_directory = nullptr;
    m_count = 0;
    m_scrambled = 0;
    m_dataKey = 0;
    m_location.Free();
}

i32 CqelPackFile::Release()
{
    FreeDirectory();
    return CResourceBase::Release();
}

u32 CqelPackFile::Open(const char* path)
{
    if (!path) return 0;
    auto file = host::kernel::OpenFile(path, "rb");
    if (!file) return 0;
    u32 count = 0;
    if (!ReadWord(*file, false, 0, count)) return 0;
    return LoadDirectory(*file, path, count, 4, false, 0, 0);
}

u32 CqelPackFile::OpenScrambled(const char* path, u32 identifier, u8 key)
{
    if (!path) return 0;
    auto file = host::kernel::OpenFile(path, "rb");
    if (!file) return 0;
    u8 seed = 0;
    if (!ReadExact(*file, &seed, 1)) return 0;
    const u8 headerKey = u8(seed ^ key);
    u32 stored = 0, count = 0;
    if (!ReadWord(*file, true, headerKey, stored) || stored != identifier) return 0;
    if (!ReadWord(*file, true, headerKey, count)) return 0;
    return LoadDirectory(*file, path, count, 9, true, headerKey, u8(identifier % 255));
}

// The stored count and each entry's offset and size are checked against the
// file's real size before anything is allocated or trusted: a count that
// cannot fit would otherwise make 268 x count wrap, and a body past the end
// would be read short.
u32 CqelPackFile::LoadDirectory(File& file, const char* path, u32 count, u32 headerSize, bool scrambled,
                                u8 headerKey, u8 dataKey)
{
    const int64_t fileSize = file.Size();
    if (fileSize < 0) return 0;
    const u64 directoryBytes = u64(count) * kPackEntrySize;
    if (directoryBytes > UINT32_MAX || headerSize + directoryBytes > u64(fileSize)) return 0;

    PackEntry* directory = AllocDirectory(count);
    if (count && !directory) return 0;
    for (u32 i = 0; i < count; ++i) {
        u8 raw[kPackEntrySize];
        bool ok = ReadExact(file, raw, sizeof raw);
        if (ok && scrambled) ScrambleBytes(headerKey, raw, sizeof raw);
        PackEntry& entry = directory[i];
        if (ok) {
            std::memcpy(entry.name, raw, kPackNameSize);
            entry.size = GetU32(raw + kPackNameSize);
            entry.offset = GetU32(raw + kPackNameSize + 4);
            ok = std::memchr(entry.name, 0, kPackNameSize) != nullptr &&
                 u64(entry.offset) + entry.size <= u64(fileSize);
        }
        if (!ok) {
            AlignedFree(directory);
            return 0;
        }
    }

    // The new name first: path may be this archive's own name.
    const std::string location = AbsolutePath(path);
    SetName(path);
    FreeDirectory();
    m_directory = directory;
    m_count = count;
    m_scrambled = scrambled ? 1 : 0;
    m_dataKey = scrambled ? dataKey : 0;
    m_location = CString(location.c_str());
    return 1;
}

const PackEntry* CqelPackFile::GetEntry(u32 index) const { return index < m_count ? &m_directory[index] : nullptr; }

const PackEntry* CqelPackFile::FindEntry(const char* name) const
{
    if (!name) return nullptr;
    for (u32 i = 0; i < m_count; ++i)
        if (std::strcmp(m_directory[i].name, name) == 0) return &m_directory[i];
    return nullptr;
}

u8* CqelPackFile::ReadEntry(const char* name, u32* size) const
{
    const PackEntry* entry = FindEntry(name);
    if (!entry || !m_location.GetText()) return nullptr;
    auto file = host::kernel::OpenFile(m_location.GetText(), "rb");
    if (!file) return nullptr;
    // The file may have been replaced since the directory was read.
    const int64_t fileSize = file->Size();
    if (fileSize < 0 || u64(entry->offset) + entry->size > u64(fileSize)) return nullptr;
    if (!file->Seek(entry->offset, host::kernel::SeekOrigin::Begin)) return nullptr;
    u8* body = static_cast<u8*>(AlignedAlloc(entry->size, 16));
    if (!body) return nullptr;
    if (!ReadExact(*file, body, entry->size)) {
        AlignedFree(body);
        return nullptr;
    }
    if (m_scrambled) ScrambleBytes(m_dataKey, body, entry->size);
    if (size) *size = entry->size;
    return body;
}

namespace {

// Appends exactly bytes bytes of the file at path; a file that has become
// shorter since its size was taken fails rather than shift later bodies.
bool CopyBody(File& archive, const char* path, u32 bytes)
{
    auto file = host::kernel::OpenFile(path, "rb");
    if (!file) return false;
    u8 chunk[1024];
    while (bytes > 0) {
        const u32 n = bytes < sizeof chunk ? bytes : u32(sizeof chunk);
        if (!ReadExact(*file, chunk, n) || !WriteExact(archive, chunk, n)) return false;
        bytes -= n;
    }
    return true;
}

bool WriteArchive(File& archive, const char* const* paths, const std::vector<u32>& sizes)
{
    const u32 count = u32(sizes.size());
    u8 word[4];
    PutU32(word, count);
    if (!WriteExact(archive, word, 4)) return false;
    u32 offset = 4 + count * kPackEntrySize;
    for (u32 i = 0; i < count; ++i) {
        u8 raw[kPackEntrySize] = {};
        std::memcpy(raw, paths[i], std::strlen(paths[i]));
        PutU32(raw + kPackNameSize, sizes[i]);
        PutU32(raw + kPackNameSize + 4, offset);
        if (!WriteExact(archive, raw, sizeof raw)) return false;
        offset += sizes[i];
    }
    for (u32 i = 0; i < count; ++i)
        if (!CopyBody(archive, paths[i], sizes[i])) return false;
    return true;
}

}  // namespace

u32 CqelPackFile::Write(const char* const* paths, u32 count, const char* archivePath)
{
    if (!archivePath || (count && !paths)) return 0;
    // Every body must be addressable by a 32-bit offset.
    u64 end = 4 + u64(count) * kPackEntrySize;
    std::vector<u32> sizes(count);
    for (u32 i = 0; i < count; ++i) {
        if (!paths[i] || std::strlen(paths[i]) >= kPackNameSize) return 0;
        auto file = host::kernel::OpenFile(paths[i], "rb");
        if (!file) return 0;
        const int64_t size = file->Size();
        if (size < 0) return 0;
        end += u64(size);
        if (end > UINT32_MAX) return 0;
        sizes[i] = u32(size);
    }

    const std::string part = std::string(archivePath) + ".part";
    auto archive = host::kernel::OpenFile(part, "wb");
    if (!archive) return 0;
    bool ok = WriteArchive(*archive, paths, sizes);
    ok = archive->Close() && ok;
    archive.reset();
    if (ok) ok = host::kernel::MoveFile(part, archivePath);
    if (!ok) host::kernel::DeleteFile(part);
    return ok ? 1 : 0;
}
