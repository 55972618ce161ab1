// CSettingFile: the base of every settings reader (characters, stages,
// skills, adventure, story, cameras, barrages and the rest).
//
// A reader declares its keys once (RegisterKeys), each bound to one of its
// members through a typed parameter. A file is either a text of "KEY=value;"
// entries or its compiled binary cache, which begins with "BIN" and a zero
// byte:
//
//   "BIN\0"
//   per entry, in text order:  u32 key hash, u32 length n,
//                              when n > 0: n scrambled bytes and a zero byte
//   u32 0
//
// all little-endian; the scrambling key byte of an entry is its hash mod 255.
// Reading a text writes its cache to "Setting/" + the name less its last four
// characters + ".dat". The cache is built in memory and replaces the file of
// that name only when the whole text parsed, so a failed parse never leaves a
// truncated cache behind and an older cache survives it.
//
// Caches are named by their text alone, so two readers of one text, or a
// text edited since, would meet a cache that is not theirs. A cache's entries
// therefore come in sections, each saying who wrote it from what: its first
// entry has the key kSourceTagHash (of a name no key can have) and the text
// "<key set> <text length> <text CRC-32>", each number in hexadecimal; the
// key set is a CRC-32 over the reader's key hashes; the section's u32 0 ends
// it. LoadFile uses the section of this reader's key set when it has one
// and, where its text ("Name.txt" beside "Setting/Name.dat") is there, it is
// of that text; otherwise it reads the text and writes the cache anew, or
// fails when there is no text. A cache without any tag (entries straight
// after the magic, as a compile step that leaves the text out makes them)
// is read as it stands when its text is not beside it; a key this reader
// does not know refuses it. Writing the cache keeps the sections other
// key sets wrote from the same text after this reader's own, so a text that
// a character names as both its camera and its weapon loads alike from the
// text and from the cache alone, for both readers.
//
// Every load runs inside a CSettingLoad (SettingLoad.h): children read once
// and shared, files and bytes bounded, nesting guarded, the first error kept.
#pragma once

#include "engine/core/Crc32.h"
#include "engine/core/String.h"
#include "engine/core/Types.h"
#include "game/data/StatusKeyMap.h"
#include "game/data/StatusParameter.h"

#include <atomic>
#include <cstddef>
#include <string>
#include <type_traits>

namespace host::kernel { class File; }

class CSettingFile {
public:
    CSettingFile() = default;
    // Copies the name and shares the key map.
    CSettingFile(const CSettingFile& other);
    // Takes the other's name and shares its key map.
    CSettingFile& operator=(const CSettingFile& other);
    virtual ~CSettingFile();

    // Builds a fresh key map holding "NAME"; derived readers call this first
    // and then register their own keys. 1, or 0 when it cannot be built.
    virtual i32 RegisterKeys();
    // Every parameter writes its default into this reader. 0 without a key map.
    virtual i32 ApplyDefaults();
    // Reads path as a cache when it starts with the cache magic (and the
    // cache is this reader's, for its text, or untagged with no text
    // beside it), else as a text (writing its
    // cache), then runs OnLoaded. 1 on success; on failure the open load
    // (CSettingLoad) holds the reason.
    virtual i32 LoadFile(const char* path, const CStatusKeyMap* aliasTable = nullptr);
    // After the values are in: readers load their child files here. Its
    // result is LoadFile's.
    virtual i32 OnLoaded(const CStatusKeyMap* aliasTable) = 0;
    // Parses text; with writeCache the cache of fileName is written when the
    // parse succeeds. 1 on success; 0 for a null text, an unterminated "/*"
    // comment, a failing parameter or a cache that cannot be written.
    virtual i32 ParseText(const char* fileName, const char* text, char separator, char terminator,
                          const CStatusKeyMap* aliasTable, i32 writeCache);
    // Reads an open cache positioned after its magic. A leading source tag
    // must name this reader's key set. 0 for a missing file, an unknown key
    // hash, or a damaged or truncated entry; the values read before the
    // failure stay.
    virtual i32 ReadBinary(host::kernel::File* file);
    // Drops this reader's share of the key map (the last share deletes it).
    // Derived readers release their own objects first. Returns 1.
    virtual i32 Clear();

    const CString& GetName() const { return m_name; }
    const CStatusKeyMap* GetKeyMap() const { return m_keys; }

    // The owner address that this reader's parameters take.
    void* GetOwner() { return static_cast<void*>(this); }

    // The cache path that reading the text fileName writes.
    static std::string MakeCachePath(const char* fileName);
    // The text whose cache path is, or "" when path is no cache name.
    static std::string MakeSourcePath(const char* path);

    // The key of a cache's source tag: of "=SOURCE", which no key can be.
    static constexpr u32 kSourceTagHash = Crc32NameKey("=SOURCE");
    // CRC-32 over this reader's key hashes (registering them when needed).
    u32 GetKeySetCrc();
    // The source tag's text for a cache of text written by this reader.
    std::string MakeSourceTag(const char* text);

protected:
    // Registers key bound to member (a member of this reader) with a default.
    // 0 when the key is already registered (the first registration stays) or
    // there is no key map. A list of child files names files by its type.
    template <class T>
    i32 RegisterKey(const char* key, T* member, const std::type_identity_t<T>& defaultValue)
    {
        return InsertKey<T>(key, NamesFiles<T>(), defaultValue, OffsetOf(member));
    }
    // The same with a chain of byte offsets from this reader's owner address
    // (block, group, record, field) whose sum locates the value.
    template <class T, class... Chain>
    i32 RegisterKeyAt(const char* key, const std::type_identity_t<T>& defaultValue, Chain... offsets)
    {
        return InsertKey<T>(key, NamesFiles<T>(), defaultValue, offsets...);
    }
    // A string key whose value names a child file: only such a value takes
    // the cache's form for file names in the cache.
    i32 RegisterFileKey(const char* key, CString* member, const CString& defaultValue)
    {
        return InsertKey<CString>(key, true, defaultValue, OffsetOf(member));
    }
    template <class... Chain>
    i32 RegisterFileKeyAt(const char* key, const CString& defaultValue, Chain... offsets)
    {
        return InsertKey<CString>(key, true, defaultValue, offsets...);
    }
    // Byte offset of a member of this reader from its owner address.
    ptrdiff_t OffsetOf(const void* member) const
    {
        return static_cast<const char*>(member) - reinterpret_cast<const char*>(this);
    }

    CString m_name;

private:
    template <class T>
    static constexpr bool NamesFiles()
    {
        return requires { typename T::NamesSettingFiles; };
    }
    template <class T, class... Chain>
    i32 InsertKey(const char* key, bool namesFile, const T& defaultValue, Chain... offsets)
    {
        using Parameter = CStatusParameterStratum<T, u32(sizeof...(Chain))>;
        auto* parameter = new Parameter(defaultValue, {static_cast<ptrdiff_t>(offsets)...});
        parameter->SetNamesFile(namesFile);
        if (!m_keys || !m_keys->InsertByName(key, parameter)) {
            delete parameter;
            return 0;
        }
        return 1;
    }
    void ReleaseKeys();
    i32 LoadGuarded(const char* path, const CStatusKeyMap* aliasTable);
    i32 LoadText(const char* path, const CStatusKeyMap* aliasTable, bool counted);
    // Whether the cache open after its magic has a section of this reader's
    // key set; the file is left at that section.
    bool FindOwnSection(host::kernel::File* file);
    // Copies to out the sections of the cache at cachePath that other key
    // sets wrote from this same text (the first of each); false when a copy
    // fails.
    bool KeepOtherSections(const std::string& cachePath, const char* text, host::kernel::File* out);
    // The tag's key-set part: the key set in hexadecimal and a space.
    std::string KeySetPrefix();

    CStatusKeyMap* m_keys = nullptr;
    std::atomic<i32>* m_keyRefCount = nullptr;
};
