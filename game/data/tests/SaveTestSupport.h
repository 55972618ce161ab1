// Shared pieces of the save-file tests: a fresh per-user folder, file
// helpers, and a little-endian byte builder for golden files laid out by hand
// from the files' layouts (never by the stores' own writers).
#pragma once

#include "engine/core/Types.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <ftw.h>
#include <iterator>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace save_test {

// A mkdtemp folder F for one test, with TEMP set to F/Temp/ so that the
// per-user folder (the parent of TEMP + "Vantorel/ORV/") lies inside F.
// Everything is removed afterwards.
class UserFolder {
public:
    UserFolder()
    {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/orv-save-XXXXXX";
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        m_root = pattern + "/";
        ::mkdir((m_root + "Temp").c_str(), 0777);
        if (const char* old = std::getenv("TEMP")) m_oldTemp = old;
        setenv("TEMP", (m_root + "Temp/").c_str(), 1);
    }
    ~UserFolder()
    {
        if (m_oldTemp) setenv("TEMP", m_oldTemp->c_str(), 1);
        else unsetenv("TEMP");
        nftw(m_root.c_str(), [](const char* p, const struct stat*, int, FTW*) { return ::remove(p); }, 16,
             FTW_DEPTH | FTW_PHYS);
    }
    UserFolder(const UserFolder&) = delete;
    UserFolder& operator=(const UserFolder&) = delete;

    // F/, ending with '/'.
    const std::string& Root() const { return m_root; }
    // The per-user save folder, ending with '/'.
    std::string Saves() const { return m_root + "Vantorel/ORV/"; }
    std::string Save(const std::string& name) const { return Saves() + name; }

private:
    std::string m_root;
    std::optional<std::string> m_oldTemp;
};

inline void WriteBytes(const std::string& path, const std::string& bytes)
{
    // Make the folders as a user's earlier run would have.
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        ::mkdir(path.substr(0, slash).c_str(), 0777);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

inline std::optional<std::string> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline bool IsFolder(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The names in a folder (without "." and "..").
inline std::set<std::string> ListFolder(const std::string& folder)
{
    std::set<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* e = ::readdir(dir)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..") names.insert(name);
        }
        ::closedir(dir);
    }
    return names;
}

// Little-endian bytes laid out field by field.
class Bytes {
public:
    Bytes& U8(u32 v)
    {
        m_bytes += char(u8(v));
        return *this;
    }
    Bytes& U16(u32 v) { return Little(v, 2); }
    Bytes& U32(u32 v) { return Little(v, 4); }
    Bytes& I32(i32 v) { return Little(u32(v), 4); }
    Bytes& Zeros(size_t n)
    {
        m_bytes.append(n, '\0');
        return *this;
    }
    // A text in a field of n bytes, NUL-padded.
    Bytes& Text(const std::string& text, size_t n)
    {
        std::string field = text.substr(0, n);
        field.resize(n, '\0');
        m_bytes += field;
        return *this;
    }
    Bytes& Raw(const std::string& bytes)
    {
        m_bytes += bytes;
        return *this;
    }
    // u32 size, then the bytes.
    Bytes& Sized(const std::string& bytes) { return U32(u32(bytes.size())).Raw(bytes); }

    const std::string& str() const { return m_bytes; }
    size_t size() const { return m_bytes.size(); }
    operator const std::string&() const { return m_bytes; }

private:
    Bytes& Little(u32 v, int n)
    {
        for (int i = 0; i < n; ++i) m_bytes += char(u8(v >> (8 * i)));
        return *this;
    }
    std::string m_bytes;
};

inline u32 ReadU32At(const std::string& bytes, size_t offset)
{
    u32 v = 0;
    for (int i = 0; i < 4; ++i) v |= u32(u8(bytes.at(offset + size_t(i)))) << (8 * i);
    return v;
}

}  // namespace save_test
