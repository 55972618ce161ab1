// Files in memory and on disk, and byte strings, shared by the core tests.
#pragma once

#include "engine/core/Scramble.h"
#include "host/kernel/Kernel.h"
#include "host/kernel/tests/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>

namespace coretest {

using host::kernel::testing::TempFolder;

// A file in memory; `claimed` makes Size() lie so that a short read is met
// after the size checks have passed.
class MemoryFile : public host::kernel::File {
public:
    explicit MemoryFile(std::string bytes = {}) : bytes_(std::move(bytes)) {}
    size_t Read(void* buffer, size_t n) override
    {
        n = pos_ < bytes_.size() ? std::min(n, bytes_.size() - pos_) : 0;
        std::memcpy(buffer, bytes_.data() + pos_, n);
        pos_ += n;
        return n;
    }
    size_t Write(const void* buffer, size_t n) override
    {
        if (failWrites) return 0;
        bytes_.append(static_cast<const char*>(buffer), n);
        pos_ = bytes_.size();
        return n;
    }
    bool Seek(int64_t offset, host::kernel::SeekOrigin) override
    {
        pos_ = size_t(offset);
        return true;
    }
    int64_t Tell() const override { return int64_t(pos_); }
    int64_t Size() const override { return claimed >= 0 ? claimed : int64_t(bytes_.size()); }
    bool AtEnd() const override { return pos_ >= bytes_.size(); }
    bool Close() override { return true; }
    const std::string& Bytes() const { return bytes_; }

    int64_t claimed = -1;
    bool failWrites = false;

private:
    std::string bytes_;
    size_t pos_ = 0;
};

inline std::string Bytes(std::initializer_list<int> values)
{
    std::string s;
    for (int v : values) s += char(v);
    return s;
}

// A little-endian 32-bit field.
inline std::string U32(u32 v) { return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }

inline std::string Scrambled(std::string s, u8 key)
{
    ScrambleBytes(key, s.data(), u32(s.size()));
    return s;
}

inline std::string Put(const std::string& path, const std::string& bytes)
{
    EXPECT_TRUE(host::kernel::WriteFileAtomic(path, bytes.data(), bytes.size())) << path;
    return path;
}

inline std::string Get(const std::string& path)
{
    std::string bytes;
    host::kernel::ReadWholeFile(path, bytes);
    return bytes;
}

}  // namespace coretest
