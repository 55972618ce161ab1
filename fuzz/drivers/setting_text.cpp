// Settings texts through CSettingFile::LoadFile, which parses them and
// writes their cache; the cache must then load to the same values. (An
// input that starts with the cache's magic is read as a cache.)
#include "fuzz/drivers/SettingDriver.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

// Values naming child files are rewritten in the cache, so such texts are
// not compared with it.
bool NamesFiles(const uint8_t* data, size_t size)
{
    std::string lower(reinterpret_cast<const char*>(data), size);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return char(std::tolower(u8(c))); });
    return lower.find(".txt") != std::string::npos || lower.find(".fac") != std::string::npos ||
           lower.find(".cam") != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string folder = [] {
        fuzz::Folder("Setting");
        return fuzz::ProcessFolder();
    }();
    const std::string cache = folder + "Setting/input.dat";
    ::remove(cache.c_str());
    fuzz::WriteFile(folder + "input.txt", data, size);

    fuzz::SettingReader text;
    if (!text.LoadFile("input.txt", &fuzz::Aliases())) return 0;
    const bool wasCache = size >= 4 && std::memcmp(data, "BIN", 4) == 0;
    if (wasCache) return 0;
    fuzz::SettingReader cached;
    FUZZ_CHECK(cached.LoadFile("Setting/input.dat", &fuzz::Aliases()) == 1);
    if (!NamesFiles(data, size)) FUZZ_CHECK(cached.Describe() == text.Describe());
    return 0;
}
