#include "game/data/SettingFile.h"

#include "engine/core/Crc32.h"
#include "engine/core/Endian.h"
#include "engine/core/Path.h"
#include "engine/core/StringUtil.h"
#include "game/data/SettingLoad.h"
#include "game/data/SettingText.h"
#include "host/kernel/Kernel.h"
#include "host/kernel/WholeFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

constexpr u8 kCacheMagic[4] = {'B', 'I', 'N', 0};

bool WriteU32(host::kernel::File* file, u32 value)
{
    u8 bytes[4];
    PutLe32(bytes, value);
    return file->Write(bytes, 4) == 4;
}

bool ReadU32(host::kernel::File* file, u32* value)
{
    u8 bytes[4];
    if (file->Read(bytes, 4) != 4) return false;
    *value = GetLe32(bytes);
    return true;
}

u8 KeyByteOf(u32 hash) { return u8(hash % 255); }

static_assert(CSettingFile::kSourceTagHash != 0, "the tag must not read as the end marker");

// The text of a settings file as LoadFile parses it: text mode turns CR LF
// into LF.
bool ReadSettingText(host::kernel::File* file, std::string& text)
{
    char chunk[4096];
    try {
        for (size_t got; (got = file->Read(chunk, sizeof chunk)) > 0;) text.append(chunk, got);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

std::string TextSignature(const char* text)
{
    const size_t length = std::strlen(text);
    char out[32];
    std::snprintf(out, sizeof out, "%X %X", unsigned(length), unsigned(Crc32Update(0, text, length)));
    return out;
}

// A section of a cache: its source tag, and where it starts and ends.
struct CacheSection {
    std::string tag;
    int64_t start = 0;
    int64_t end = 0;
};

// Reads the tag of the section at the file's position; false when there is
// none. The file is left after the tag.
bool ReadSectionTag(host::kernel::File* file, CacheSection& section)
{
    section.start = file->Tell();
    u32 hash = 0;
    CString tag;
    if (!ReadU32(file, &hash) || hash != CSettingFile::kSourceTagHash || !tag.Read(file, KeyByteOf(hash)) ||
        !tag.GetText())
        return false;
    section.tag = tag.GetText();
    return true;
}

// Reads the entries after a section's tag up to their end marker, leaving
// the file after it; false when the section is cut short.
bool SkipSectionEntries(host::kernel::File* file, CacheSection& section)
{
    for (;;) {
        u32 hash = 0;
        if (!ReadU32(file, &hash)) return false;
        if (hash == 0) break;
        CString value;
        if (!value.Read(file, KeyByteOf(hash))) return false;
    }
    section.end = file->Tell();
    return true;
}

// The folder part of a path without its last separator ("" for a bare name).
std::string FolderOf(const std::string& path)
{
    const size_t length = FolderPartLength(path.c_str());
    return path.substr(0, length ? length - 1 : 0);
}

// Comments are skipped byte by byte, not in double-byte pairs: a comment
// typed in another encoding may end in a byte that reads as a lead byte,
// and that byte must not take the line feed or the '*' after it.

// Index just past the end of a "//" comment starting at i: after its line
// feed, or at the end of the text.
size_t SkipLineComment(const char* text, size_t i)
{
    const char* feed = std::strchr(text + i + 2, '\n');
    return feed ? size_t(feed - text) + 1 : i + std::strlen(text + i);
}

// Index just past the "*/" closing a "/*" comment starting at i;
// kSettingNotFound when the text ends first.
size_t SkipBlockComment(const char* text, size_t i)
{
    const char* close = std::strstr(text + i + 2, "*/");
    return close ? size_t(close - text) + 2 : kSettingNotFound;
}

}  // namespace

CSettingFile::CSettingFile(const CSettingFile& other)
    : m_name(other.m_name), m_keys(other.m_keys), m_keyRefCount(other.m_keyRefCount)
{
    if (m_keyRefCount) m_keyRefCount->fetch_add(1);
}

CSettingFile::~CSettingFile()
{
    CSettingFile::Clear();
    m_name.Free();
}

void CSettingFile::ReleaseKeys()
{
    if (m_keyRefCount && m_keyRefCount->fetch_sub(1) == 1) {
        delete m_keys;
        delete m_keyRefCount;
    }
    m_keys = nullptr;
    m_keyRefCount = nullptr;
}

CSettingFile& CSettingFile::operator=(const CSettingFile& other)
{
    if (this == &other) return *this;
    ReleaseKeys();
    m_name = other.m_name;
    m_keys = other.m_keys;
    m_keyRefCount = other.m_keyRefCount;
    if (m_keyRefCount) m_keyRefCount->fetch_add(1);
    return *this;
}

i32 CSettingFile::Clear()
{
    ReleaseKeys();
    return 1;
}

i32 CSettingFile::RegisterKeys()
{
    ReleaseKeys();
    m_keys = new (std::nothrow) CStatusKeyMap();
    m_keyRefCount = new (std::nothrow) std::atomic<i32>(1);
    if (!m_keys || !m_keyRefCount) {
        delete m_keys;
        delete m_keyRefCount;
        m_keys = nullptr;
        m_keyRefCount = nullptr;
        return 0;
    }
    RegisterKey("NAME", &m_name, CString("Non Name"));
    return 1;
}

i32 CSettingFile::ApplyDefaults()
{
    if (!m_keys) return 0;
    for (u32 i = 0; i < m_keys->GetCount(); ++i) {
        const StatusKeyEntry* entry = m_keys->GetAt(i);
        if (entry->parameter) entry->parameter->ApplyDefault(GetOwner());
    }
    return 1;
}

std::string CSettingFile::MakeCachePath(const char* fileName)
{
    const size_t length = fileName ? std::strlen(fileName) : 0;
    return "Setting/" + std::string(fileName ? fileName : "", length >= 4 ? length - 4 : 0) + ".dat";
}

std::string CSettingFile::MakeSourcePath(const char* path)
{
    const size_t length = path ? std::strlen(path) : 0;
    if (length <= 12 || StrICmp(std::string(path, 8).c_str(), "Setting/") != 0 || StrICmp(path + length - 4, ".dat") != 0)
        return "";
    return std::string(path + 8, length - 12) + ".txt";
}

u32 CSettingFile::GetKeySetCrc()
{
    if (!m_keys) RegisterKeys();
    u32 crc = 0;
    for (u32 i = 0; m_keys && i < m_keys->GetCount(); ++i) {
        u8 bytes[4];
        PutLe32(bytes, m_keys->GetAt(i)->hash);
        crc = Crc32Update(crc, bytes, 4);
    }
    return crc;
}

std::string CSettingFile::MakeSourceTag(const char* text)
{
    return KeySetPrefix() + TextSignature(text ? text : "");
}

i32 CSettingFile::LoadFile(const char* path, const CStatusKeyMap* aliasTable)
{
    CSettingLoad load;
    CNestedLoadGuard guard(path);
    if (!guard) return CSettingLoad::Fail(guard.GetError(), path);
    if (!LoadGuarded(path, aliasTable)) return 0;
    if (!OnLoaded(aliasTable)) return CSettingLoad::Fail(SettingLoadError::kRefused, path);
    return 1;
}

i32 CSettingFile::LoadGuarded(const char* path, const CStatusKeyMap* aliasTable)
{
    std::unique_ptr<host::kernel::File> file = host::kernel::OpenFile(path, "rb");
    if (!file) return CSettingLoad::Fail(SettingLoadError::kMissing, path);
    if (!CSettingLoad::CountRead(path, u64(file->Size() > 0 ? file->Size() : 0))) return 0;

    u8 magic[4];
    if (file->Read(magic, 4) == 4 && std::memcmp(magic, kCacheMagic, 4) == 0) {
        // A cache is used as it stands until it is replaced: nothing compares
        // it with its text. One without a source tag (entries straight after
        // the magic) must hold this reader's keys alone, so another kind's
        // cache is still refused.
        u32 first = 0;
        const bool tagged = ReadU32(file.get(), &first) && first == kSourceTagHash;
        if (!file->Seek(4, host::kernel::SeekOrigin::Begin)) return CSettingLoad::Fail(SettingLoadError::kDamaged, path);
        if (!tagged || FindOwnSection(file.get())) {
            if (ReadBinary(file.get())) return 1;
            return CSettingLoad::Fail(SettingLoadError::kDamaged, path);
        }
        // Only other readers' sections: this reader's values are in the text.
        file->Close();
        const std::string source = MakeSourcePath(path);
        if (source.empty() || !host::kernel::FileExists(source))
            return CSettingLoad::Fail(SettingLoadError::kForeignCache, path);
        return LoadText(source.c_str(), aliasTable, false);
    }
    file->Close();
    return LoadText(path, aliasTable, true);
}

i32 CSettingFile::LoadText(const char* path, const CStatusKeyMap* aliasTable, bool counted)
{
    // Text mode reads CR LF as LF.
    std::unique_ptr<host::kernel::File> file = host::kernel::OpenFile(path, "rt");
    if (!file) return CSettingLoad::Fail(SettingLoadError::kMissing, path);
    if (!counted && !CSettingLoad::CountRead(path, u64(file->Size() > 0 ? file->Size() : 0))) return 0;
    std::string text;
    const bool read = ReadSettingText(file.get(), text);
    file->Close();
    if (!read) return CSettingLoad::Fail(SettingLoadError::kTooManyBytes, path);
    if (!ParseText(path, text.c_str(), '=', ';', aliasTable, 1)) return CSettingLoad::Fail(SettingLoadError::kDamaged, path);
    return 1;
}

std::string CSettingFile::KeySetPrefix()
{
    char keys[16];
    std::snprintf(keys, sizeof keys, "%X ", unsigned(GetKeySetCrc()));
    return keys;
}

bool CSettingFile::FindOwnSection(host::kernel::File* file)
{
    const std::string keys = KeySetPrefix();
    const int64_t size = file->Size();
    while (file->Tell() < size) {
        CacheSection section;
        if (!ReadSectionTag(file, section)) return false;
        if (section.tag.compare(0, keys.size(), keys) == 0) {
            file->Seek(section.start, host::kernel::SeekOrigin::Begin);
            return true;
        }
        // Another reader's section: passed over.
        if (!SkipSectionEntries(file, section)) return false;
    }
    return false;
}

bool CSettingFile::KeepOtherSections(const std::string& cachePath, const char* text, host::kernel::File* out)
{
    if (!host::kernel::FileExists(cachePath)) return true;
    std::unique_ptr<host::kernel::File> file = host::kernel::OpenFile(cachePath, "rb");
    u8 magic[4];
    if (!file || file->Read(magic, 4) != 4 || std::memcmp(magic, kCacheMagic, 4) != 0) return true;
    const std::string keys = KeySetPrefix();
    const std::string signature = TextSignature(text);
    std::vector<std::string> kept;   // key sets already written
    const int64_t size = file->Size();
    std::string bytes;
    while (file->Tell() < size) {
        CacheSection section;
        if (!ReadSectionTag(file.get(), section) || !SkipSectionEntries(file.get(), section)) break;
        const size_t space = section.tag.find(' ');
        if (space == std::string::npos) break;
        const std::string sectionKeys = section.tag.substr(0, space + 1);
        if (sectionKeys == keys || section.tag.compare(space + 1, std::string::npos, signature) != 0) continue;
        if (std::find(kept.begin(), kept.end(), sectionKeys) != kept.end()) continue;
        kept.push_back(sectionKeys);
        try {
            bytes.resize(size_t(section.end - section.start));
        } catch (const std::bad_alloc&) {
            return false;
        }
        if (!file->Seek(section.start, host::kernel::SeekOrigin::Begin) ||
            file->Read(bytes.data(), bytes.size()) != bytes.size() || out->Write(bytes.data(), bytes.size()) != bytes.size())
            return false;
    }
    return true;
}

i32 CSettingFile::ParseText(const char* fileName, const char* text, char separator, char terminator,
                            const CStatusKeyMap* aliasTable, i32 writeCache)
{
    if (!m_keys) RegisterKeys();
    if (!text || !m_keys) return 0;

    std::string cachePath;
    // Bytes collect here and reach the disk in one atomic write once the
    // parse has succeeded.
    host::kernel::ByteSink cacheBuffer;
    host::kernel::File* cache = nullptr;
    if (writeCache) {
        if (!fileName) return 0;
        cachePath = MakeCachePath(fileName);
        // Refuse before touching the values when the cache cannot be written.
        const std::string folder = FolderOf(cachePath);
        if (!folder.empty() && !host::kernel::DirectoryExists(folder)) return 0;
        cache = &cacheBuffer;
        if (cache->Write(kCacheMagic, 4) != 4 || !WriteU32(cache, kSourceTagHash) ||
            !CString(MakeSourceTag(text).c_str()).Write(cache, KeyByteOf(kSourceTagHash))) {
            return 0;
        }
    }

    ApplyDefaults();

    char key[kSettingTextMax + 1];
    u32 keyLength = 0;
    bool keyTooLong = false;
    auto addToKey = [&](const char* bytes, size_t size) {
        if (keyLength + size > kSettingTextMax) {
            keyTooLong = true;
            return;
        }
        std::memcpy(key + keyLength, bytes, size);
        keyLength += u32(size);
    };

    size_t i = 0;
    while (text[i] != '\0') {
        const char c = text[i];
        const size_t size = CharSize(text + i);
        if (size == 2) {
            addToKey(text + i, 2);
            i += 2;
        } else if (c == '/' && text[i + 1] == '/') {
            i = SkipLineComment(text, i);
        } else if (c == '/' && text[i + 1] == '*') {
            i = SkipBlockComment(text, i);
            if (i == kSettingNotFound) return 0;
        } else if (c == separator) {
            key[keyLength] = '\0';
            TrimWhitespace(key);
            const StatusKeyEntry* entry = keyTooLong ? nullptr : m_keys->FindByName(key);
            keyLength = 0;
            keyTooLong = false;
            ++i;
            // A value that the text ends before its terminator is dropped
            // whole: its key must not enter the cache either.
            const size_t end = FindSettingChar(text, i, terminator);
            if (end == kSettingNotFound) break;
            if (entry && entry->parameter) {
                if (cache && !WriteU32(cache, entry->hash)) return 0;
                if (!entry->parameter->ParseText(text, end, i, GetOwner(), aliasTable, cache,
                                                 KeyByteOf(entry->hash))) {
                    return 0;
                }
            } else {
                i = end + 1;
            }
        } else {
            const char upper = (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
            addToKey(&upper, 1);
            ++i;
        }
    }

    if (!cache) return 1;
    if (!WriteU32(cache, 0)) return 0;
    // Other readers' sections written from this same text stay, so that each
    // reader of a text named by several finds its own without the text.
    if (!KeepOtherSections(cachePath, text, cache)) return 0;
    const std::string& bytes = cacheBuffer.Bytes();
    return host::kernel::WriteFileAtomic(cachePath, bytes.data(), bytes.size()) ? 1 : 0;
}

i32 CSettingFile::ReadBinary(host::kernel::File* file)
{
    if (!m_keys) RegisterKeys();
    if (!file || !m_keys) return 0;
    ApplyDefaults();
    for (bool first = true;; first = false) {
        u32 hash = 0;
        if (!ReadU32(file, &hash)) return 0;
        if (hash == 0) return 1;
        if (first && hash == kSourceTagHash) {
            // Written by a reader of another key set: refused.
            CString tag;
            const std::string keys = KeySetPrefix();
            if (!tag.Read(file, KeyByteOf(hash)) || !tag.GetText() || std::strncmp(tag.GetText(), keys.c_str(), keys.size()))
                return 0;
            continue;
        }
        const StatusKeyEntry* entry = m_keys->Find(hash);
        if (!entry || !entry->parameter) return 0;
        if (!entry->parameter->ReadBinary(GetOwner(), file, KeyByteOf(hash))) return 0;
    }
}
