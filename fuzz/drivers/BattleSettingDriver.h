// The battle settings drivers: any bytes as a settings file of reader R,
// text or cache (by its magic). A text that loads writes a cache that must
// load to the same values; nothing may read past what it was given.
#pragma once

#include "fuzz/FuzzSupport.h"
#include "game/data/tests/SettingWriter.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace fuzz {

template <class R>
int FuzzBattleSetting(const uint8_t* data, size_t size)
{
    static const std::string folder = [] {
        Folder("Setting");
        return ProcessFolder();
    }();
    const std::string cache = folder + "Setting/input.dat";
    ::remove(cache.c_str());
    WriteFile(folder + "input.txt", data, size);

    R text;
    if (!text.LoadFile("input.txt")) return 0;
    const std::string written = setting_test::WriteSettingText(text);
    if (size >= 4 && std::memcmp(data, "BIN", 4) == 0) return 0;
    R cached;
    FUZZ_CHECK(cached.LoadFile("Setting/input.dat") == 1);
    FUZZ_CHECK(setting_test::WriteSettingText(cached) == written);
    return 0;
}

}  // namespace fuzz
