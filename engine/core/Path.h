// Path helpers of the engine core.
#pragma once

#include <cstddef>

// The file name of path: the part after the last '\' (or '/') found at index
// 1 or later, or the whole path when there is none; a pointer into path.
// Shift-JIS aware: a trail byte that happens to be 0x5C is not a separator.
// Null for a null path. (The platform's GetFileName copies
// the same part into a buffer.)
const char* FileNamePart(const char* path);

// Length of the folder part of path, up to and including the last separator
// (as FileNamePart finds it); 0 when there is none or path is null.
size_t FolderPartLength(const char* path);

