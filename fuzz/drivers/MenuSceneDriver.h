// What the menu scene driver and its seeds share: how an input picks a
// scene and the file it replaces, and the input's layout.
//
//   byte 0          scene (kScenes, value % 6) and file (value / 6 % 5)
//   byte 1          key count n (value % 16)
//   bytes 2..n+1    the keys, one every few frames: button code 8 + value % 24
//   the rest        the file's bytes
#pragma once

#include "engine/core/Types.h"

#include <string>

namespace fuzz::menu_scene {

enum Scene : u8 { kBeginLoading, kLoading, kLogo, kTitle, kRecord, kOptions, kSceneCount };
enum FileKind : u8 { kOwnFile, kSkillList, kConfig, kRecordSave, kDataSave, kFileCount };

inline constexpr u32 kMaxKeys = 16;

// The file a scene reads that the game ships, by relative path under a data
// folder's Resource/: its layout, or for the logo (which has none) the
// opening movie.
inline const char* OwnFile(Scene scene)
{
    static const char* const files[kSceneCount] = {"Scene/BeginLoading.sce", "Scene/Loading.sce", "Movie/OP.mpg",
        "Scene/TitleSceneM.sce", "Scene/RecordScene.sce", "Scene/GameOption.sce"};
    return files[scene];
}

inline constexpr const char* kSkillFile = "Setting/Skill.dat";

inline u8 Choice(Scene scene, FileKind file) { return u8(u32(scene) + u32(kSceneCount) * u32(file)); }

// A whole input.
inline std::string MakeInput(Scene scene, FileKind file, const std::string& keys, const std::string& bytes)
{
    const size_t n = keys.size() < kMaxKeys ? keys.size() : kMaxKeys - 1;
    std::string input;
    input += char(Choice(scene, file));
    input += char(n);
    return input + keys.substr(0, n) + bytes;
}

}  // namespace fuzz::menu_scene
