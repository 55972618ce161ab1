#include "engine/core/Path.h"

#include "host/kernel/Kernel.h"

const char* FileNamePart(const char* path)
{
    if (!path) return nullptr;
    const char* name = path;
    for (const char* p = path; *p; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (host::kernel::IsDBCSLeadByte(c)) {
            if (!p[1]) break;  // a lead byte before the NUL is a character alone
            ++p;
            continue;
        }
        if ((c == '\\' || c == '/') && p != path) name = p + 1;
    }
    return name;
}

size_t FolderPartLength(const char* path)
{
    return path ? size_t(FileNamePart(path) - path) : 0;
}
