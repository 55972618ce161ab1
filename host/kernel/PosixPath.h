// Internal to the kernel service: file operations on native paths (UTF-8,
// '/' separated, already resolved), shared by PosixPath.cpp and PosixFile.cpp.
#pragma once

#include <string>

namespace host::kernel::posix {

bool ReadNative(const std::string& native, std::string& out);
bool WriteNativeAtomic(const std::string& native, const void* data, size_t bytes);
// The TEMP folder as a native path, ending with '/'.
std::string TempFolderNative();

}  // namespace host::kernel::posix
