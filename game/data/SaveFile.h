// What the three save stores (CSaveConfig, CSaveRecord, CSaveData)
// share: little-endian byte writing and bounded byte
// reading, and the way a save file is found, read, kept aside and written.
//
// Every store reads its whole file into memory and parses it with a
// SaveByteReader, which never reads past the end: a file that ends before
// its own sizes and counts say (cut by a full disk or a crash of an older
// writer) is read as far as it goes, and what it lacks keeps the defaults.
// Every store writes its whole file with host::kernel::WriteFileAtomic, so
// an old file is replaced only by a complete new one and a failed write
// leaves it as it was.
#pragma once

#include "engine/core/Endian.h"
#include "engine/core/Types.h"

#include <algorithm>
#include <functional>
#include <cstring>
#include <string>
#include <string_view>

// Appends little-endian values to a byte string.
class SaveByteWriter {
public:
    void U8(const u8& v) { m_bytes += char(v); }
    void U16(const u16& v) { AppendLe16(m_bytes, v); }
    void U32(const u32& v) { AppendLe32(m_bytes, v); }
    void I32(const i32& v) { AppendLe32(m_bytes, u32(v)); }
    void Bytes(const void* p, size_t n) { m_bytes.append(static_cast<const char*>(p), n); }

    std::string Take() { return std::move(m_bytes); }

private:
    std::string m_bytes;
};

// Reads little-endian values from a byte range. A value that the bytes end
// inside is not read: its target keeps what it held, the reader is marked
// ended and returns false, and every later read finds nothing.
class SaveByteReader {
public:
    explicit SaveByteReader(std::string_view bytes) : m_bytes(bytes) {}

    bool U8(u8& v) { return Read(v, 1, [](const char* p) { return u8(*p); }); }
    bool U16(u16& v) { return Read(v, 2, GetLe16); }
    bool U32(u32& v) { return Read(v, 4, GetLe32); }
    bool I32(i32& v) { return Read(v, 4, [](const char* p) { return i32(GetLe32(p)); }); }
    bool Bytes(void* p, size_t n) { return Block(p, n, n); }
    // Reads a stored block of stored bytes into a place of size bytes: the
    // first min(stored, size) bytes are copied, the rest of the block is
    // passed over and the rest of the place keeps what it held. When the
    // bytes end inside the block, the part that is there is copied all the
    // same and the reader ends (false).
    bool Block(void* place, size_t size, u64 stored)
    {
        if (m_ended) return false;
        const size_t copied = size_t(std::min<u64>({stored, size, Remaining()}));
        if (copied) std::memcpy(place, m_bytes.data() + m_position, copied);
        if (stored > Remaining()) {
            End();
            return false;
        }
        m_position += size_t(stored);
        return true;
    }
    // Marks the bytes as ended early (a list of which only part is there).
    void End()
    {
        m_ended = true;
        m_position = m_bytes.size();
    }

    size_t Remaining() const { return m_bytes.size() - m_position; }
    // True once a read wanted more than was left: the file ended early.
    bool Ended() const { return m_ended; }

private:
    template <class T, class Decode>
    bool Read(T& v, size_t n, Decode decode)
    {
        if (m_ended || n > Remaining()) {
            End();
            return false;
        }
        v = T(decode(m_bytes.data() + m_position));
        m_position += n;
        return true;
    }

    std::string_view m_bytes;
    size_t m_position = 0;
    bool m_ended = false;
};

// A record's bytes through its field list. Each record type has an overload
// Transfer(io, record) naming its fields in file order; with a writer it
// encodes, with a reader it decodes.
template <class Record>
std::string EncodeRecord(Record& record)
{
    SaveByteWriter out;
    Transfer(out, record);
    return out.Take();
}

template <class Record>
bool DecodeRecord(std::string_view bytes, Record& record)
{
    SaveByteReader in(bytes);
    Transfer(in, record);
    return !in.Ended() && in.Remaining() == 0;
}

namespace save_file {

// How the file of a store was found.
enum class ReadState {
    Missing,      // no file of that name: the store starts from its defaults
    Read,         // the bytes are in
    Unreadable,   // something is there that cannot be read; leave it alone
};

// The path of a save file: the per-user data folder ("ORV") and the name;
// false when the folder cannot be built.
bool MakePath(const char* fileName, std::string& path);

ReadState ReadFile(const std::string& path, std::string& bytes);

// Replaces the file with bytes, never leaving it half-written; false when
// the new file could not be written (the old one then stays as it was).
bool WriteFile(const std::string& path, const std::string& bytes);

// Writes a copy of bytes to path + suffix, for a file that the store is about
// to give up (its next save replaces it) without refusing it.
bool CopyAside(const std::string& path, const char* suffix, const std::string& bytes);

// Suffixes of the kept copies.
inline constexpr const char* kBadSuffix = ".bad";
inline constexpr const char* kOldSuffix = ".old";

// What a store made of its file's bytes.
enum class Parsed {
    Ok,          // taken in
    Newer,       // a later version: refused, left where it is
    Truncated,   // ended early: what it held was taken over the defaults (load succeeds)
    Mismatch,    // checksums failed: the store took its defaults (load succeeds)
    Older,       // no migration known: the defaults (load succeeds)
};

// The load sequence the stores share. A missing file gets the defaults and is
// written; an unreadable or newer one is refused and loadFailed blocks saving
// until a later load succeeds. A file that the store does not take whole
// (truncated, mismatched, older) is kept as a copy before the next save can
// replace it; when no copy can be made, saving is blocked instead.
i32 Load(const char* fileName, bool& loadFailed, const std::function<void()>& setDefaults,
    const std::function<Parsed(const std::string&)>& parse, const std::function<i32()>& save);

}  // namespace save_file
