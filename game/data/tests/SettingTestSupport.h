// The settings tests' working folder, hand-built cache bytes and a reader
// that binds one key of every value type.
#pragma once

#include "engine/core/Crc32.h"
#include "engine/core/Scramble.h"
#include "game/data/SettingFile.h"
#include "game/data/tests/KeyedReader.h"
#include "game/data/tests/TestFileBytes.h"
#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ftw.h>
#include <optional>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace setting_test {

// A fresh current folder (and TEMP) with an empty "Setting/", removed afterwards.
class WorkFolder {
public:
    WorkFolder()
    {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/orv-setting-XXXXXX";
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
        if (const char* old = std::getenv("TEMP")) m_oldTemp = old;
        setenv("TEMP", (m_path + "/").c_str(), 1);
        m_oldCwd = host::kernel::GetCurrentDirectory();
        host::kernel::SetCurrentDirectory(m_path);
        host::kernel::CreateDirectory("Setting");
    }
    ~WorkFolder()
    {
        host::kernel::SetCurrentDirectory(m_oldCwd);
        m_oldTemp ? setenv("TEMP", m_oldTemp->c_str(), 1) : unsetenv("TEMP");
        nftw(m_path.c_str(), [](const char* p, const struct stat*, int, FTW*) { return ::remove(p); }, 16,
             FTW_DEPTH | FTW_PHYS);
    }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

private:
    std::string m_path, m_oldCwd;
    std::optional<std::string> m_oldTemp;
};

using data_test::ReadBytes;
using data_test::WriteBytes;

// "BIN\0", entries {u32 hash, u32 length, scrambled text + 0}, u32 0.
class CacheBytes {
public:
    CacheBytes() : m_bytes("BIN", 4) {}
    CacheBytes& U32(u32 v)
    {
        for (int i = 0; i < 4; ++i) m_bytes += char(u8(v >> (8 * i)));
        return *this;
    }
    CacheBytes& Entry(const char* key, const std::string& value) { return Entry(Crc32NameKey(key), value); }
    CacheBytes& Entry(u32 hash, const std::string& value)
    {
        U32(hash).U32(u32(value.size()));
        if (value.empty()) return *this;
        std::string text = value;
        ScrambleBytes(u8(hash % 255), text.data(), u32(text.size()));
        m_bytes += text;
        m_bytes += '\0';
        return *this;
    }
    // The source tag a text load of text by reader writes first.
    CacheBytes& Source(CSettingFile& reader, const std::string& text)
    {
        return Entry(CSettingFile::kSourceTagHash, reader.MakeSourceTag(text.c_str()));
    }
    std::string End() const { return m_bytes + std::string(4, '\0'); }
    const std::string& Bytes() const { return m_bytes; }

private:
    std::string m_bytes;
};

// A child file of TestReader's CHILD list.
class ChildReader : public CSettingFile {
public:
    i32 RegisterKeys() override
    {
        if (!CSettingFile::RegisterKeys()) return 0;
        RegisterKey("POWER", &power, 7);
        return 1;
    }
    i32 OnLoaded(const CStatusKeyMap*) override { return 1; }
    i32 power = 0;
};

// Its children load with it.
class TestReader : public KeyedReader<ChildReader> {
public:
    i32 OnLoaded(const CStatusKeyMap* aliasTable) override { return children.Load(aliasTable); }
};

}  // namespace setting_test
