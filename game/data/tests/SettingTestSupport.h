// The settings tests' working folder, hand-built cache bytes and a reader
// that binds one key of every value type.
#pragma once

#include "engine/core/Crc32.h"
#include "engine/core/Scramble.h"
#include "game/data/SettingFile.h"
#include "game/data/SettingFileList.h"
#include "game/data/StatusList.h"
#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>

#include <cstddef>
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

inline void WriteBytes(const std::string& path, const std::string& bytes)
{
    ASSERT_TRUE(host::kernel::WriteFileAtomic(path, bytes.data(), bytes.size())) << path;
}

inline std::string ReadBytes(const std::string& path)
{
    std::string bytes;
    if (!host::kernel::ReadWholeFile(path, bytes)) return "<missing>";
    return bytes;
}

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

struct SpeedRecord {
    f32 speed;
    i32 count;
};
struct SpeedGroup {
    u32 flags;
    SpeedRecord rows[2];
};
struct SpeedBlock {
    u8 pad[12];
    SpeedGroup group;
};

// ROWn* keys reach their field through a chain of offsets (block, group, record, field).
class TestReader : public CSettingFile {
public:
    TestReader() = default;
    TestReader(const TestReader&) = default;
    ~TestReader() override { TestReader::Clear(); }

    i32 RegisterKeys() override
    {
        if (!CSettingFile::RegisterKeys()) return 0;
        RegisterKey("SPEED", &speed, 1.25f);
        RegisterKey("COUNT", &count, -3);
        RegisterKey("SHORT", &shortValue, u16(9));
        RegisterKey("BYTE", &byteValue, u8(4));
        RegisterKey("POSITION", &position, CVector3(1, 2, 3));
        RegisterKey("TEXT", &text, CString("none"));
        RegisterKey("WORD", &words, CStringList());
        RegisterKey("NUMBER", &numbers, CIntList());
        RegisterKey("TRACE", &traces, CTraceRecordList());
        RegisterKey("SPHERE", &spheres, CHitSphereRecordList());
        RegisterKey("CHILD", &children, CSettingFileList<ChildReader>());
        for (u32 n = 0; n < 2; ++n) {
            const std::string row = "ROW" + std::to_string(n);
            RegisterKeyAt<f32>((row + "SPEED").c_str(), 0.5f, OffsetOf(&block), offsetof(SpeedBlock, group),
                               offsetof(SpeedGroup, rows) + n * sizeof(SpeedRecord), offsetof(SpeedRecord, speed));
            RegisterKeyAt<i32>((row + "COUNT").c_str(), 2, OffsetOf(&block), offsetof(SpeedBlock, group),
                               offsetof(SpeedGroup, rows) + n * sizeof(SpeedRecord) + offsetof(SpeedRecord, count));
        }
        return 1;
    }
    i32 OnLoaded(const CStatusKeyMap* aliasTable) override { return children.Load(aliasTable); }
    i32 Clear() override
    {
        words.Release();
        numbers.Release();
        traces.Release();
        spheres.Release();
        children.Release();
        return CSettingFile::Clear();
    }

    f32 speed = 0;
    i32 count = 0;
    u16 shortValue = 0;
    u8 byteValue = 0;
    CVector3 position;
    CString text;
    CStringList words;
    CIntList numbers;
    CTraceRecordList traces;
    CHitSphereRecordList spheres;
    CSettingFileList<ChildReader> children;
    SpeedBlock block{};
};

inline std::string Text(const CString& s) { return s.GetText() ? s.GetText() : ""; }

}  // namespace setting_test
