// Whole-file bytes for the data tests: the save and settings tests write and
// read their files the same way. Paths are the system's (code page 932), as
// the code under test takes them; the bytes bypass its file layer, so a
// fault set on that layer never hits the test's own set-up.
#pragma once

#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <sys/stat.h>

namespace data_test {

// Writes `bytes` to `systemPath`, making the folders on the way.
inline void WriteBytes(const std::string& systemPath, const std::string& bytes)
{
    const std::string path = host::kernel::NativePath(systemPath);
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        ::mkdir(path.substr(0, slash).c_str(), 0777);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

inline std::optional<std::string> ReadBytes(const std::string& path)
{
    std::ifstream in(host::kernel::NativePath(path), std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace data_test
