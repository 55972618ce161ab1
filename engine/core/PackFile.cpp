#include "engine/core/PackFile.h"

#include "engine/core/Endian.h"
#include "engine/core/Memory.h"
#include "engine/core/Scramble.h"
#include "host/kernel/Kernel.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

using host::kernel::File;

bool ReadExact(File& file, void* buffer, size_t bytes) { return file.Read(buffer, bytes) == bytes; }

// A scrambled field is unscrambled on its own, the table position from 0.
bool ReadWord(File& file, bool scrambled, u8 key, u32& out)
{
    u8 bytes[4];
    if (!ReadExact(file, bytes, 4)) return false;
    if (scrambled) ScrambleBytes(key, bytes, 4);
    out = GetLe32(bytes);
    return true;
}

PackEntry* AllocDirectory(u32 count)
{
    return count ? static_cast<PackEntry*>(AlignedAlloc(count * kPackEntrySize, 16)) : nullptr;
}

// The bytes of the entry's body that lie past the end of a file of fileSize.
u64 BytesPastEnd(const PackEntry& entry, u64 fileSize)
{
    const u64 end = u64(entry.offset) + entry.size;
    return end > fileSize ? end - std::max<u64>(entry.offset, fileSize) : 0;
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

// The stored count is checked against the file's real size before anything
// is allocated: a count that cannot fit would otherwise make 268 x count
// wrap. Bodies are not: one past the end is read short by ReadEntry.
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
            entry.size = GetLe32(raw + kPackNameSize);
            entry.offset = GetLe32(raw + kPackNameSize + 4);
            ok = std::memchr(entry.name, 0, kPackNameSize) != nullptr;
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

bool CqelPackFile::FitsZeroBudget(u32 index, u64 fileSize) const
{
    // The same answer for an entry whichever entries are read, how often and
    // in what order. Bodies inside the file cost nothing here (the packers
    // may share one body among entries); an archive cut short by up to its
    // own size, and the slack, reads whole.
    const u64 budget = PackZeroBudget(fileSize);
    u64 used = 0;
    for (u32 i = 0; i <= index; ++i) {
        const u64 zeros = BytesPastEnd(m_directory[i], fileSize);
        if (used + zeros <= budget) used += zeros;
        else if (i == index) return false;
    }
    return true;
}

u8* CqelPackFile::ReadEntry(const char* name, u32* size) const
{
    const PackEntry* entry = FindEntry(name);
    if (!entry || !m_location.GetText()) return nullptr;
    auto file = host::kernel::OpenFile(m_location.GetText(), "rb");
    if (!file) return nullptr;
    // A body reaching past the end (an archive cut short, or one replaced
    // since the directory was read) is read as far as the file goes; the
    // rest stays as the allocator zeroed it, unscrambled or not.
    const int64_t fileSize = file->Size();
    if (fileSize < 0 || !FitsZeroBudget(u32(entry - m_directory), u64(fileSize))) return nullptr;
    const u64 left = u64(fileSize) > entry->offset ? u64(fileSize) - entry->offset : 0;
    const u32 present = u32(std::min<u64>(entry->size, left));
    if (present && !file->Seek(entry->offset, host::kernel::SeekOrigin::Begin)) return nullptr;
    u8* body = static_cast<u8*>(AlignedAlloc(entry->size, 16));
    if (!body) return nullptr;
    if (!ReadExact(*file, body, present)) {
        AlignedFree(body);
        return nullptr;
    }
    if (m_scrambled) ScrambleBytes(m_dataKey, body, present);
    if (size) *size = entry->size;
    return body;
}

u32 CqelPackFile::Write(const char* const* paths, u32 count, const char* archivePath)
{
    if (!archivePath || (count && !paths)) return 0;
    // Every body must be addressable by a 32-bit offset.
    const u64 directoryEnd = 4 + u64(count) * kPackEntrySize;
    if (directoryEnd > UINT32_MAX) return 0;
    // Built whole in memory: each body is stored with the size of the bytes
    // actually read, and the archive reaches the disk in one atomic write.
    std::string archive(size_t(directoryEnd), '\0');
    PutLe32(archive.data(), count);
    std::string body;
    for (u32 i = 0; i < count; ++i) {
        if (!paths[i]) return 0;
        const size_t nameLength = std::strlen(paths[i]);
        if (nameLength >= kPackNameSize || !host::kernel::ReadWholeFile(paths[i], body)) return 0;
        if (archive.size() + body.size() > UINT32_MAX) return 0;
        char* entry = archive.data() + 4 + size_t(i) * kPackEntrySize;
        std::memcpy(entry, paths[i], nameLength);
        PutLe32(entry + kPackNameSize, u32(body.size()));
        PutLe32(entry + kPackNameSize + 4, u32(archive.size()));
        archive += body;
    }
    return host::kernel::WriteFileAtomic(archivePath, archive.data(), archive.size()) ? 1 : 0;
}
