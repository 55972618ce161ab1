#include "game/scenes/GameOption.h"
#include "game/scenes/testdata/SceneData.h"

#include <string>
#include <vector>

namespace scene_data {

namespace {

inline constexpr const char* kOptionTexture = "GameOption_01.dds";

}  // namespace

// Each item a group holding its marks, its volume elements and its two
// cursor elements, as the options scene draws the items with their
// children.
void AddOptionData(CSceneDataSet& set)
{
    using namespace option;
    std::vector<std::string> layers = {"Title"};
    auto add = [&layers](i32 item, const char* const* names, u32 count) {
        for (u32 i = 0; i < count; ++i) layers.push_back(std::string(kItemNames[item]) + "/" + names[i]);
    };
    for (i32 item = 0; item < kItemCount; ++item) {
        layers.push_back(kItemNames[item]);
        switch (item) {
        case kPad: add(item, kPadMarks, 2); break;
        case kScreen: add(item, kScreenMarks, 2); break;
        case kCamera: add(item, kCameraMarks, 2); break;
        case kVoice: add(item, kVoiceMarks, 2); break;
        case kMap: add(item, kMapMarks, 2); break;
        case kGuard: add(item, kGuardMarks, 2); break;
        case kStory: add(item, kStoryMarks, 4); break;
        case kBgmVolume:
        case kSeVolume:
        case kVoiceVolume: {
            const u32 bar = u32(item - kBgmVolume);
            const char* volume[3] = {kVolumeFrames[bar], kVolumeBars[bar], kVolumeKnobs[bar]};
            add(item, volume, 3);
            break;
        }
        default: break;
        }
        add(item, kCursors[item], 2);
    }
    set.Layout(kLayout, layers, kOptionTexture);
    set.SceneTexture(kOptionTexture);
    for (const char* sound : kSounds) set.SceneSound(sound);
}

}  // namespace scene_data
