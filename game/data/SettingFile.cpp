#include "game/data/SettingFile.h"

#include "engine/core/Crc32.h"
#include "engine/core/Endian.h"
#include "engine/core/Path.h"
#include "engine/core/StringUtil.h"
#include "game/data/SettingText.h"
#include "host/kernel/Kernel.h"
#include "host/kernel/WholeFile.h"

#include <cstring>
#include <memory>
#include <new>

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

// The folder part of a path without its last separator ("" for a bare name).
std::string FolderOf(const std::string& path)
{
    const size_t length = FolderPartLength(path.c_str());
    return path.substr(0, length ? length - 1 : 0);
}

// Index just past the end of a "//" comment starting at i: after its line
// feed, or at the end of the text.
size_t SkipLineComment(const char* text, size_t i)
{
    const size_t feed = FindSettingChar(text, i + 2, '\n');
    return feed == kSettingNotFound ? i + std::strlen(text + i) : feed + 1;
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

i32 CSettingFile::LoadFile(const char* path, const CStatusKeyMap* aliasTable)
{
    if (!path) return 0;
    std::unique_ptr<host::kernel::File> file = host::kernel::OpenFile(path, "rb");
    if (!file) return 0;

    u8 magic[4];
    if (file->Read(magic, 4) == 4 && std::memcmp(magic, kCacheMagic, 4) == 0) {
        const i32 read = ReadBinary(file.get());
        file->Close();
        if (!read) return 0;
        return OnLoaded(aliasTable);
    }

    // Text mode reads CR LF as LF.
    file->Close();
    file = host::kernel::OpenFile(path, "rt");
    if (!file) return 0;
    std::string text;
    char chunk[4096];
    for (size_t got; (got = file->Read(chunk, sizeof chunk)) > 0;) text.append(chunk, got);
    file->Close();

    if (!ParseText(path, text.c_str(), '=', ';', aliasTable, 1)) return 0;
    return OnLoaded(aliasTable);
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
        if (cache->Write(kCacheMagic, 4) != 4) return 0;
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
            const char* close = StrStr(text + i + 2, "*/");
            if (!close) return 0;
            i = size_t(close - text) + 2;
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
    const std::string& bytes = cacheBuffer.Bytes();
    return host::kernel::WriteFileAtomic(cachePath, bytes.data(), bytes.size()) ? 1 : 0;
}

i32 CSettingFile::ReadBinary(host::kernel::File* file)
{
    if (!m_keys) RegisterKeys();
    if (!file || !m_keys) return 0;
    ApplyDefaults();
    for (;;) {
        u32 hash = 0;
        if (!ReadU32(file, &hash)) return 0;
        if (hash == 0) return 1;
        const StatusKeyEntry* entry = m_keys->Find(hash);
        if (!entry || !entry->parameter) return 0;
        if (!entry->parameter->ReadBinary(GetOwner(), file, KeyByteOf(hash))) return 0;
    }
}
