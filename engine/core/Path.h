// Path helpers of the engine core.
#pragma once

// The file name of path: the part after the last '\' (or '/') found at index
// 1 or later, or the whole path when there is none; a pointer into path.
// Shift-JIS aware: a trail byte that happens to be 0x5C is not a separator.
// Null for a null path. (The main window's GetFileName, copies
// the same part into a buffer.)
const char* FileNamePart(const char* path);
