// What the fuzz drivers share: a file over bytes in memory, the process's
// own temporary folder, and a check that turns a broken invariant into a
// crash the fuzzer records.
#pragma once

#include "engine/core/Types.h"
#include "host/kernel/Kernel.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Every driver is this function; the replay runner and afl-fuzz call it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fuzz {

// Aborts with the failed condition: a fuzzer sees it as a crash.
[[noreturn]] void Fail(const char* condition, const char* file, int line);
#define FUZZ_CHECK(condition) ((condition) ? void(0) : ::fuzz::Fail(#condition, __FILE__, __LINE__))

// A file over a copy of bytes; writes go at the position and grow it.
class MemoryFile final : public host::kernel::File {
public:
    MemoryFile() = default;
    MemoryFile(const void* bytes, size_t size) : m_bytes(static_cast<const char*>(bytes), size) {}
    size_t Read(void* buffer, size_t bytes) override;
    size_t Write(const void* buffer, size_t bytes) override;
    bool Seek(int64_t offset, host::kernel::SeekOrigin origin) override;
    int64_t Tell() const override { return int64_t(m_position); }
    int64_t Size() const override { return int64_t(m_bytes.size()); }
    bool AtEnd() const override { return m_position >= m_bytes.size(); }
    bool Close() override { return true; }

    const std::string& Bytes() const { return m_bytes; }

private:
    std::string m_bytes;
    size_t m_position = 0;
};

// The bytes of an input taken from the front, as settings for a driver;
// zeros once they run out.
class Input {
public:
    Input(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    u8 Byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    u32 Word()
    {
        u32 v = 0;
        for (int i = 0; i < 4; ++i) v |= u32(Byte()) << (8 * i);
        return v;
    }
    const uint8_t* Rest() const { return m_data + m_at; }
    size_t RestSize() const { return m_size - m_at; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
};

// The process's own folder (ending with '/'), made on first use and removed
// at exit. It becomes the current folder, and TEMP is its "Temp/" folder,
// so every file a reader writes, relative paths and save files included,
// lands inside it.
const std::string& ProcessFolder();

// A folder inside the process folder, made when missing (ending with '/').
std::string Folder(std::string_view name);
// Removes everything inside folder, keeping the folder.
void EmptyFolder(const std::string& folder);
// Writes bytes to path whole; aborts when it cannot (the driver would test
// nothing).
void WriteFile(const std::string& path, const void* data, size_t size);
// The file's bytes; empty when it cannot be read.
std::string ReadFile(const std::string& path);

}  // namespace fuzz
