// The shot settings drivers: any bytes as the file a reader loads, beside a
// few child files a text may name (and names that lead back to the input,
// out of the folder or nowhere). A text that loads must load the same from
// the cache it wrote, its copy must equal it, and the chain of loads must
// have unwound.
#pragma once

#include "engine/core/Crc32.h"
#include "fuzz/FuzzSupport.h"
#include "game/data/SettingLoad.h"
#include "game/battle/object/tests/ShotTestSupport.h"
#include "game/data/StatusKeyMap.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

namespace fuzz {

// The children a text may name: a bullet, a pattern firing it and a list of
// that pattern, loaded once so their caches stand beside them; a list
// whose pattern fires the input as its bullet, a way back to the input; and
// patterns of hostile values.
inline void WriteShotChildren()
{
    const struct {
        const char* name;
        const char* text;
    } files[] = {
        {"Bullet.txt", "NAME=plain;VELOCITY=2;"},
        {"Shot.txt", "NAME=shot;BULLET=Bullet.txt;SIMULTANEOUSSHOOTCOUNT=3;"},
        {"Barrage.txt", "NAME=barrage;PATTERN=Shot.txt;PATTERN=Shot.txt;"},
        {"Loop.txt", "PATTERN=Shot.txt;PATTERN=LoopShot.txt;"},
        {"LoopShot.txt", "BULLET=input.txt;"},
        // Values a barrage must survive: counts negative or huge, a wait
        // below zero, a zero axis, a range below zero.
        {"Wild.txt", "SIMULTANEOUSSHOOTCOUNT=-1;SHOOTCOUNT=-1;SHOOTWAIT=-5;POSITIONTYPE=2;SHOOTRANGE=-1;"
                     "SHOOTANGLEAXIS=:0:0:0;FIXATIONFLG=1;BULLET=Bullet.txt;"},
        {"Flood.txt", "SIMULTANEOUSSHOOTCOUNT=2000000000;SHOOTWAIT=0;POSITIONTYPE=4;BULLET=Bullet.txt;"},
    };
    Folder("Setting");
    for (const auto& f : files) WriteFile(f.name, f.text, std::strlen(f.text));
    CPatternListParameter list;
    FUZZ_CHECK(list.LoadFile("Barrage.txt") == 1);
}

inline const CStatusKeyMap& ShotAliases()
{
    static CStatusKeyMap* table = [] {
        auto* map = new CStatusKeyMap();
        map->Insert(Crc32NameKey("FAST"), nullptr, "9");
        map->Insert(Crc32NameKey("SHOT"), nullptr, "Shot.txt");
        return map;
    }();
    return *table;
}

template <class R>
int LoadShotSetting(const uint8_t* data, size_t size)
{
    static const std::string folder = [] {
        const std::string process = ProcessFolder();
        WriteShotChildren();
        return process;
    }();
    ::remove((folder + "Setting/input.dat").c_str());
    WriteFile(folder + "input.txt", data, size);

    R text;
    const i32 loaded = text.LoadFile("input.txt", &ShotAliases());
    FUZZ_CHECK(CNestedLoadGuard::Depth() == 0);
    if (!loaded) return 0;
    R copy(text);
    FUZZ_CHECK(shot_test::Describe(copy) == shot_test::Describe(text));
    if (size >= 4 && std::memcmp(data, "BIN", 4) == 0) return 0;

    R cached;
    FUZZ_CHECK(cached.LoadFile("Setting/input.dat", &ShotAliases()) == 1);
    // A value already in the cache's form is rewritten once more there.
    std::string lower(reinterpret_cast<const char*>(data), size);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return char(std::tolower(u8(c))); });
    if (lower.find("setting/") == std::string::npos)
        FUZZ_CHECK(shot_test::Describe(cached, true) == shot_test::Describe(text, true));
    return 0;
}

}  // namespace fuzz
