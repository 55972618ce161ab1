// Save-file test helpers. Golden files are laid out by hand with Bytes,
// never by the stores' own writers.
#pragma once

#include "engine/core/Types.h"
#include "game/data/tests/TestFileBytes.h"
#include "host/kernel/tests/TempFolder.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <optional>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace save_test {

// A fresh folder F with TEMP at F/Temp/, so the per-user folder (beside
// TEMP) lies inside F.
class UserFolder : public host::kernel::testing::TempFolder {
public:
    UserFolder()
    {
        ::mkdir((Path() + "Temp").c_str(), 0777);
        setenv("TEMP", (Path() + "Temp/").c_str(), 1);
    }
    const std::string& Root() const { return Path(); }
    std::string Saves() const { return Path() + "Vantorel/ORV/"; }
    std::string Save(const std::string& name) const { return Saves() + name; }
};

using data_test::ReadBytes;
using data_test::WriteBytes;

inline bool IsFolder(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

inline std::set<std::string> ListFolder(const std::string& folder)
{
    std::set<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* e = ::readdir(dir))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.insert(e->d_name);
        ::closedir(dir);
    }
    return names;
}

// Little-endian fields.
class Bytes {
public:
    Bytes& U8(u32 v) { return Little(v, 1); }
    Bytes& U16(u32 v) { return Little(v, 2); }
    Bytes& U32(u32 v) { return Little(v, 4); }
    Bytes& I32(i32 v) { return Little(u32(v), 4); }
    Bytes& Zeros(size_t n) { return Raw(std::string(n, '\0')); }
    // NUL-padded to n bytes.
    Bytes& Text(const std::string& text, size_t n) { return Raw((text + std::string(n, '\0')).substr(0, n)); }
    Bytes& Raw(const std::string& bytes)
    {
        m_bytes += bytes;
        return *this;
    }
    Bytes& Sized(const std::string& bytes) { return U32(u32(bytes.size())).Raw(bytes); }

    const std::string& str() const { return m_bytes; }
    operator const std::string&() const { return m_bytes; }

private:
    Bytes& Little(u32 v, int n)
    {
        for (int i = 0; i < n; ++i) m_bytes += char(u8(v >> (8 * i)));
        return *this;
    }
    std::string m_bytes;
};

// Loads `file` at `path` into `store` and expects a refusal that blocks the
// next Save and leaves the file where it is.
template <class Store>
void ExpectRefused(Store& store, const std::string& path, const std::string& file)
{
    WriteBytes(path, file);
    ASSERT_EQ(store.Load(), 0);
    EXPECT_EQ(store.Save(), 0);
    EXPECT_EQ(ReadBytes(path), file);
    EXPECT_EQ(ListFolder(path.substr(0, path.rfind('/'))).size(), 1u);
}

// Loads `file` at `path` into `store` and expects a load that takes it in
// part: it succeeds, leaves the file as it is and keeps a copy at path.bad,
// so that the Save after it (which must write) loses nothing. Returns what
// that Save wrote.
template <class Store>
std::string ResavedAfterPartialLoad(Store& store, const std::string& path, const std::string& file)
{
    WriteBytes(path, file);
    EXPECT_EQ(store.Load(), 1);
    EXPECT_EQ(ReadBytes(path), file);
    EXPECT_EQ(ReadBytes(path + ".bad"), file);
    EXPECT_EQ(store.Save(), 1);
    return ReadBytes(path).value_or("<missing>");
}

// Cut points of a file of size bytes: every one below dense, near each
// boundary, and every stride-th one between.
inline std::vector<size_t> CutPoints(size_t size, size_t dense, const std::vector<size_t>& boundaries, size_t stride)
{
    std::vector<size_t> cuts;
    for (size_t cut = 0; cut < size; ++cut) {
        bool near = cut < dense || cut % stride == 0 || cut + 3 > size;
        for (size_t b : boundaries) near = near || (cut + 3 > b && cut < b + 3);
        if (near) cuts.push_back(cut);
    }
    return cuts;
}

}  // namespace save_test
