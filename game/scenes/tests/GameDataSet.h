// A small game data set in two data folders, written with the project's own
// writers: every archive the start-up registers (empty), each folder's
// resource list (empty), the battle music archive with the 41 built-in
// tracks (one shared generated tone) and their scripts, and a few files
// that tell the folders apart.
//
//   one/Resource/  GameResource.grc, the first folder's archives,
//                  Data/BattleBgm.gpk, Data/Test.gpk ("tone.wav" 1 s),
//                  only1.txt, both.txt
//   two/Resource/  GameResource.grc, the second folder's and the shared
//                  archives, Data/Test.gpk ("tone.wav" 2 s, "second.wav"),
//                  Data/Second.gpk, only2.txt, both.txt
#pragma once

#include "engine/core/Crc32.h"
#include "engine/core/PackFile.h"
#include "engine/scene/ResourceControllerFile.h"
#include "game/battle/testdata/Sounds.h"
#include "game/scenes/GameData.h"
#include "game/scenes/testdata/DataFiles.h"
#include "host/kernel/Kernel.h"

#include <string>
#include <vector>

namespace game_data_test {

using scene_data::MusicOgg;
using scene_data::Native;
using scene_data::PackItem;
using scene_data::Put;
using scene_data::PutPack;

inline constexpr const char* kTestPack = "Data\\Test.gpk";
inline constexpr const char* kSecondPack = "Data\\Second.gpk";
inline constexpr const char* kTestPackName = "TESTPACK";
inline const std::string& kScript = scene_data::MusicScript();

// What the set leaves out, to break one thing.
struct Faults {
    std::string missingFile;   // under root ("two/Resource/Data/Grell.gpk")
    u32 trackWithoutSound = 99;
    u32 trackWithoutScript = 99;
    u32 damagedTrack = 99;   // its Ogg cut after the headers

    static Faults Missing(const std::string& file) { Faults f; f.missingFile = file; return f; }
    static Faults NoSound(u32 slot) { Faults f; f.trackWithoutSound = slot; return f; }
    static Faults NoScript(u32 slot) { Faults f; f.trackWithoutScript = slot; return f; }
    static Faults DamagedTrack(u32 slot) { Faults f; f.damagedTrack = slot; return f; }
};

// The whole set under root ("root/one", "root/two"); the reason when a
// file cannot be written, else empty.
inline std::string WriteGameData(const std::string& root, const Faults& faults = {})
{
    std::string grc;
    if (!CResourceControllerFile{}.Build(grc)) return "resource list";
    const std::string one = root + "/one/Resource", two = root + "/two/Resource";
    std::string error = Put(one + "/GameResource.grc", grc) + Put(two + "/GameResource.grc", grc);
    for (const GameArchive& a : kFirstFolderArchives) error += PutPack(one, a.path, a.packName, a.key, {});
    for (const GameArchive& a : kSecondFolderArchives) error += PutPack(two, a.path, a.packName, a.key, {});
    for (const GameArchive& a : kSharedArchives) error += PutPack(two, a.path, a.packName, a.key, {});

    std::vector<PackItem> music;
    for (u32 slot = 0; slot < CGameData::kBuiltInSlots; ++slot) {
        if (slot != faults.trackWithoutSound)
            music.push_back({CGameData::TrackName(slot), slot == faults.damagedTrack ? MusicOgg().substr(0, 60) : MusicOgg()});
        if (slot != faults.trackWithoutScript) music.push_back({CGameData::ScriptName(slot), kScript});
    }
    error += PutPack(one, CGameData::kMusicArchive, CGameData::kMusicPackName, kPackKeyFirst, music);

    const std::string shortTone = battle_data::ToneWav(440.0f, 1.0f), longTone = battle_data::ToneWav(440.0f, 2.0f);
    error += PutPack(one, kTestPack, kTestPackName, kPackKeyFirst, {{"tone.wav", shortTone}});
    error += PutPack(two, kTestPack, kTestPackName, kPackKeyFirst, {{"tone.wav", longTone}, {"second.wav", longTone}});
    error += PutPack(two, kSecondPack, kTestPackName, kPackKeyFirst, {{"second.wav", longTone}});
    error += Put(one + "/only1.txt", "1") + Put(two + "/only2.txt", "2");
    error += Put(one + "/both.txt", "1") + Put(two + "/both.txt", "2");

    if (!faults.missingFile.empty() && !host::kernel::DeleteFile(root + "/" + faults.missingFile))
        error += "cannot remove " + faults.missingFile;
    return error;
}

}  // namespace game_data_test
