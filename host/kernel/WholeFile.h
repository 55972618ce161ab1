// Helpers for readers and writers of whole files: a file made in memory, to
// be put in place by one WriteFileAtomic, and the file a reader is given or
// opens for itself.
#pragma once

#include "host/kernel/Kernel.h"

#include <memory>
#include <new>
#include <string>

namespace host::kernel {

// Keeps what is written to it; reads nothing. Running out of memory is a
// failed write, so a save fails instead of throwing.
class ByteSink final : public File {
public:
    size_t Read(void*, size_t) override { return 0; }
    size_t Write(const void* buffer, size_t bytes) override
    {
        try {
            m_bytes.append(static_cast<const char*>(buffer), bytes);
        } catch (const std::bad_alloc&) {
            return 0;
        }
        return bytes;
    }
    bool Seek(int64_t, SeekOrigin) override { return false; }
    int64_t Tell() const override { return int64_t(m_bytes.size()); }
    int64_t Size() const override { return int64_t(m_bytes.size()); }
    bool AtEnd() const override { return true; }
    bool Close() override { return true; }

    const std::string& Bytes() const { return m_bytes; }

private:
    std::string m_bytes;
};

// file when one is given; else path opened "rb" and kept in opened. Null
// when there is neither, or path cannot be opened.
inline File* GivenOrOpened(File* file, const char* path, std::unique_ptr<File>& opened)
{
    if (file) return file;
    if (!path) return nullptr;
    opened = OpenFile(path, "rb");
    return opened.get();
}

}  // namespace host::kernel
