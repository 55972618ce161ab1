#include "fuzz/FuzzSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fuzz {

void Fail(const char* condition, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: fuzz check failed: %s\n", file, line, condition);
    std::abort();
}

size_t MemoryFile::Read(void* buffer, size_t bytes)
{
    const size_t n = m_position < m_bytes.size() ? std::min(bytes, m_bytes.size() - m_position) : 0;
    if (n) std::memcpy(buffer, m_bytes.data() + m_position, n);
    m_position += n;
    return n;
}

size_t MemoryFile::Write(const void* buffer, size_t bytes)
{
    if (m_position > m_bytes.size()) m_bytes.resize(m_position);
    m_bytes.replace(m_position, std::min(bytes, m_bytes.size() - m_position), static_cast<const char*>(buffer),
                    bytes);
    m_position += bytes;
    return bytes;
}

bool MemoryFile::Seek(int64_t offset, host::kernel::SeekOrigin origin)
{
    const int64_t base = origin == host::kernel::SeekOrigin::Begin ? 0
                         : origin == host::kernel::SeekOrigin::Current ? int64_t(m_position)
                                                                       : int64_t(m_bytes.size());
    if (offset < -base) return false;
    m_position = size_t(base + offset);
    return true;
}

namespace {

int RemoveEntry(const char* path, const struct stat*, int, FTW* at)
{
    // The folder itself (level 0) stays; EmptyFolder's caller keeps it.
    return at->level == 0 ? 0 : ::remove(path);
}

int RemoveAll(const char* path, const struct stat*, int, FTW*) { return ::remove(path); }

std::string& FolderPath()
{
    static std::string path;
    return path;
}

void RemoveProcessFolder()
{
    if (!FolderPath().empty()) nftw(FolderPath().c_str(), RemoveAll, 16, FTW_DEPTH | FTW_PHYS);
}

}  // namespace

const std::string& ProcessFolder()
{
    std::string& path = FolderPath();
    if (!path.empty()) return path;
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/orv-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data())) Fail("mkdtemp", __FILE__, __LINE__);
    path = pattern + "/";
    std::atexit(RemoveProcessFolder);
    const std::string temp = path + "Temp/";
    ::mkdir(temp.c_str(), 0777);
    setenv("TEMP", temp.c_str(), 1);
    FUZZ_CHECK(host::kernel::SetCurrentDirectory(pattern));
    return path;
}

std::string Folder(std::string_view name)
{
    const std::string path = ProcessFolder() + std::string(name);
    FUZZ_CHECK(host::kernel::CreateDirectories(path));
    return path + "/";
}

void EmptyFolder(const std::string& folder) { nftw(folder.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS); }

void WriteFile(const std::string& path, const void* data, size_t size)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(file != nullptr);
    const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    FUZZ_CHECK(std::fclose(file) == 0 && written);
}

std::string ReadFile(const std::string& path)
{
    std::string bytes;
    host::kernel::ReadWholeFile(path, bytes);
    return bytes;
}

}  // namespace fuzz
