// Runs a driver over inputs: every file named, and every file inside every
// folder named (in name order, hidden files left out). With no argument it
// runs standard input once. afl-fuzz starts it the same way with one file.
//
//   fuzz_psd build/fuzz/seeds/psd fuzz/regressions/psd
//
// Exits 1 when a named folder or file is missing or nothing was run; an
// input that breaks the driver ends the process as it would end a fuzzer.
#include "fuzz/FuzzSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

bool IsFolder(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The files a name stands for, as absolute paths (drivers move the current
// folder); false when it names nothing.
bool Collect(const std::string& relative, std::vector<std::string>& files)
{
    char* absolute = realpath(relative.c_str(), nullptr);
    if (!absolute) return false;
    const std::string name = absolute;
    std::free(absolute);
    if (!IsFolder(name)) {
        if (::access(name.c_str(), R_OK) != 0) return false;
        files.push_back(name);
        return true;
    }
    DIR* dir = ::opendir(name.c_str());
    if (!dir) return false;
    std::vector<std::string> found;
    while (const dirent* e = ::readdir(dir)) {
        const std::string path = name + "/" + e->d_name;
        if (e->d_name[0] != '.' && !IsFolder(path)) found.push_back(path);
    }
    ::closedir(dir);
    std::sort(found.begin(), found.end());
    files.insert(files.end(), found.begin(), found.end());
    return true;
}

int Run(const std::vector<uint8_t>& bytes) { return LLVMFuzzerTestOneInput(bytes.data(), bytes.size()); }

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(std::cin)), {});
        return Run(bytes);
    }
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        if (!Collect(argv[i], files)) {
            std::fprintf(stderr, "%s: nothing to read at %s\n", argv[0], argv[i]);
            return 1;
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "%s: no inputs\n", argv[0]);
        return 1;
    }
    for (const std::string& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
        if (!in.good() && !in.eof()) {
            std::fprintf(stderr, "%s: cannot read %s\n", argv[0], file.c_str());
            return 1;
        }
        std::fprintf(stderr, "%s\n", file.c_str());
        Run(bytes);
    }
    std::fprintf(stderr, "%zu inputs replayed\n", files.size());
    return 0;
}
