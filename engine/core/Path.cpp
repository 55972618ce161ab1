#include "engine/core/Path.h"

#include "engine/core/StringUtil.h"

const char* FileNamePart(const char* path)
{
    if (!path) return nullptr;
    const char* name = path;
    // Whole characters: a trail byte is never taken for a separator.
    for (const char* p = path; *p; p += CharSize(p)) {
        if ((*p == '\\' || *p == '/') && p != path) name = p + 1;
    }
    return name;
}

size_t FolderPartLength(const char* path)
{
    return path ? size_t(FileNamePart(path) - path) : 0;
}
