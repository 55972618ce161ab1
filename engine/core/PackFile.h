// `CqelPackFile`: a .gpk data archive. The file holds a count, a directory
// of fixed 268-byte entries and the bodies back to back; only the directory
// is kept in memory, and each body is read on request by opening the
// archive again.
//
// Plain archive, little-endian:
//     u32 count | count x PackEntry | bodies
// Scrambled archive:
//     u8 seed | u32 identifier | u32 count | count x PackEntry | bodies
// In a scrambled archive the identifier, the count and each directory entry
// are passed through ScrambleBytes on their own with the header key (seed
// XOR the opener's key byte), and each body on its own with the data key
// (identifier mod 255). The packer writes plain archives only.
//
// Archives come from outside the program, so opening checks the directory
// against the file: the count must fit the file and every name must end
// inside its 260 bytes, or the archive is refused as a whole. A body may
// reach past the end (an archive cut short): it reads what is there and the
// rest as zeros. The zeros are not given out beyond about the file's own
// size, though: the entries, in directory order, share one budget of them
// (PackZeroBudget), and one that does not fit what is left of it is refused
// alone. Once open, the directory is never changed until
// Release or another Open, so any number of threads may call FindEntry and
// ReadEntry at once (each ReadEntry opens its own handle).
#pragma once

#include "engine/core/ResourceBase.h"
#include "engine/core/String.h"
#include "engine/core/Types.h"
#include "engine/core/ValueBase.h"

namespace host::kernel { class File; }

// The game's two archive key bytes. Like the scrambler's table they are a
// fixed secret of the data format: every scrambled archive of the game's
// data is made with one of them, so they must never change. The first
// serves the first data set and most shared archives, the second the
// second data set and its shared ones.
inline constexpr u8 kPackKeyFirst = 0x6B;
inline constexpr u8 kPackKeySecond = 0xD2;

inline constexpr u32 kPackNameSize = 260;
// The zeros past its end that an archive of fileSize bytes gives out in all,
// read side by side or one after another: as many again as the file holds,
// and a little more for a small archive cut short. A damaged directory then
// costs about the file's size however many entries it states.
inline constexpr u32 kPackZeroSlack = 1u << 20;
constexpr u64 PackZeroBudget(u64 fileSize) { return fileSize + kPackZeroSlack; }
inline constexpr u32 kPackEntrySize = 268;

// One directory entry, the same in memory and on file.
struct PackEntry {
    char name[kPackNameSize];   // NUL-terminated, zero-padded; the packed path
    u32 size;                   // body length in bytes
    u32 offset;                 // body position from the start of the file
};
static_assert(sizeof(PackEntry) == kPackEntrySize);

class CqelPackFile : public CResourceBase {
    ORV_VALUE_CLASS(CqelPackFile)

public:
    CqelPackFile() = default;
    // Copies name, flags and key and duplicates the directory; when the
    // directory cannot be allocated the copy is empty.
    CqelPackFile(const CqelPackFile& other);
    CqelPackFile& operator=(const CqelPackFile& other);
    ~CqelPackFile() override;

    // Frees the directory (count 0, not scrambled), then the name. 1.
    i32 Release() override;

    // Reads a plain archive's directory; the name becomes path. 1, or 0
    // when the file cannot be opened or is damaged; on failure the archive
    // stays as it was.
    u32 Open(const char* path);
    // Reads a scrambled archive's directory with the given key byte. 0 also
    // when the stored identifier differs from identifier.
    u32 OpenScrambled(const char* path, u32 identifier, u8 key);

    // The entry at index, null past the count.
    const PackEntry* GetEntry(u32 index) const;
    // The first entry whose name equals name byte for byte; null when none.
    const PackEntry* FindEntry(const char* name) const;
    // The named entry's body in a new 16-byte-aligned allocation that the
    // caller frees with AlignedFree (an empty body gives a valid block),
    // its length in *size when size is not null. The part of a body past
    // the file's end is left zero. Null when the name is unknown, the
    // archive cannot be read, or the zeros of the entry do not fit the
    // budget (PackZeroBudget of the file's size now) after those of the
    // entries before it.
    u8* ReadEntry(const char* name, u32* size = nullptr) const;

    // Writes a plain archive of the files at paths, each stored under its
    // path as given. 1, or 0 when a path is null or does not fit an entry
    // name, a file cannot be read or the archive cannot be written. The
    // archive is built in memory and replaces its destination in one atomic
    // write, so a failure never leaves a half-written archive.
    static u32 Write(const char* const* paths, u32 count, const char* archivePath);

    u32 GetCount() const { return m_count; }
    u32 IsScrambled() const { return m_scrambled; }
    u8 GetDataKey() const { return m_dataKey; }

private:
    // Reads and checks count entries after a header of headerSize bytes;
    // on success installs them and names the archive.
    u32 LoadDirectory(host::kernel::File& file, const char* path, u32 count, u32 headerSize, bool scrambled,
                      u8 headerKey, u8 dataKey);
    void FreeDirectory();
    // Replaces the directory, flags, key and location with copies of
    // other's; empty when the copy cannot be allocated.
    void CopyDirectory(const CqelPackFile& other);
    // Whether the zeros of the entry at index fit the budget of a file of
    // fileSize bytes: entries are taken in directory order while the bytes
    // of theirs past the end fit what is left of it.
    bool FitsZeroBudget(u32 index, u64 fileSize) const;

    u32 m_count = 0;
    PackEntry* m_directory = nullptr;
    u32 m_scrambled = 0;
    u8 m_dataKey = 0;
    // Where ReadEntry opens the archive: the path made absolute when it was
    // opened, so a later change of the current folder does not move it.
    CString m_location;
};
