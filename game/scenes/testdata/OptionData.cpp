#include "game/scenes/GameOption.h"
#include "game/scenes/testdata/SceneData.h"

#include <string>
#include <vector>

namespace scene_data {

namespace {

inline constexpr const char* kOptionTexture = "GameOption_01.dds";

// Where the layers stand on the layout: the items down the left, each
// item's marks side by side right of it (or its volume's frame, bar and
// knob), its cursor's arrows just outside the label and the last mark.
std::vector<LayerPanel> OptionPanels()
{
    using namespace option;
    static std::vector<LayerPanel> panels;
    if (!panels.empty()) return panels;
    std::vector<std::pair<std::string, LayerPanel>> spots = {{"Title", {nullptr, 32, 24, 256, 40}}};
    for (i32 item = 0; item < kItemCount; ++item) {
        const f32 y = kGameOptionTop + kGameOptionStep * f32(item);
        const std::string group = std::string(kItemNames[item]) + "/";
        spots.push_back({kItemNames[item], {nullptr, kGameOptionLeft, y, kGameOptionLabelWidth, 32}});
        const char* const* marks = nullptr;
        u32 count = 0;
        switch (item) {
        case kPad: marks = kPadMarks, count = 2; break;
        case kScreen: marks = kScreenMarks, count = 2; break;
        case kCamera: marks = kCameraMarks, count = 2; break;
        case kVoice: marks = kVoiceMarks, count = 2; break;
        case kMap: marks = kMapMarks, count = 2; break;
        case kGuard: marks = kGuardMarks, count = 2; break;
        case kStory: marks = kStoryMarks, count = 4; break;
        default: break;
        }
        for (u32 i = 0; i < count; ++i)
            spots.push_back({group + marks[i], {nullptr, GameOptionMarkLeft(i), y, kGameOptionMarkWidth, 32}});
        f32 right = count ? GameOptionMarkLeft(count - 1) + kGameOptionMarkWidth : kGameOptionLeft + kGameOptionLabelWidth;
        if (item >= kBgmVolume && item <= kVoiceVolume) {
            const u32 bar = u32(item - kBgmVolume);
            spots.push_back({group + kVolumeFrames[bar], {nullptr, kGameOptionBarLeft - 4, y, kGameOptionBarWidth + 8, 32}});
            spots.push_back({group + kVolumeBars[bar], {nullptr, kGameOptionBarLeft, y + 6, kGameOptionBarWidth, 20}});
            spots.push_back({group + kVolumeKnobs[bar], {nullptr, kGameOptionBarLeft - 6, y - 2, 12, 36}});
            right = kGameOptionBarLeft + kGameOptionBarWidth + 4;
        }
        // Arrow cells are clear but for the arrow at their outer end.
        spots.push_back({group + kCursors[item][0], {nullptr, kGameOptionLeft - 28, y, 128, 32}});
        spots.push_back({group + kCursors[item][1], {nullptr, right + 28 - 128, y, 128, 32}});
    }
    panels = KeepNamedPanels(spots);
    return panels;
}

}  // namespace

// Each item a group holding its marks, its volume elements and its two
// cursor elements, as the options scene draws the items with their
// children; placed as OptionPanels says.
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
    set.Layout(kLayout, layers, kOptionTexture, OptionPanels());
    set.textureWords[kOptionTexture]["Title"] = "Options";   // the screen's header
    set.SceneTexture(kOptionTexture);
    set.fittedTextures.insert(kOptionTexture);
    for (const char* sound : kSounds) set.SceneSound(sound);
}

}  // namespace scene_data
