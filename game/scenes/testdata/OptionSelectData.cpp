#include "game/scenes/OptionSelect.h"
#include "game/scenes/testdata/SceneData.h"

#include <string>
#include <vector>

namespace scene_data {

namespace {

constexpr const char* kOptionSelectTexture = "OptionSelect_01.dds";

}  // namespace

// Each row a group holding its value layers, arrows and glows, as the
// scene draws the rows with their children; the tension bar's caps and
// bodies and the three panels stand alone.
void AddOptionSelectData(CSceneDataSet& set)
{
    using namespace option_select;
    std::vector<std::string> layers = {"Title"};
    auto add = [&layers](i32 row, const char* const* names, u32 count) {
        for (u32 i = 0; i < count; ++i)
            if (names[i]) layers.push_back(std::string(kRowNames[row]) + "/" + names[i]);
    };
    for (i32 row = 0; row < kRowCount; ++row) {
        layers.push_back(kRowNames[row]);
        switch (row) {
        case kStage: add(row, kStageLayers, 20); break;
        case kRule: add(row, kRuleLayers, 2); break;
        case kPoint: add(row, kPointLayers, 5); break;
        case kTime: add(row, kTimeLayers, 7); break;
        case kCpu: add(row, kCpuLayers, 5); break;
        case kTensionRule: add(row, kTensionRuleLayers, 6); break;
        case kFriend: add(row, kFriendLayers, 3); break;
        case kAnBgm: add(row, kAnBgmLayers, 2); break;
        default: break;
        }
        add(row, kArrows[row], 2);
        add(row, kGlows[row], 2);
    }
    for (const char* cap : kBarCaps) layers.push_back(cap);
    for (const char* body : kBarBodies) layers.push_back(body);
    for (const char* panel : {"Log", "Input", "Local"}) layers.push_back(panel);
    set.Layout(kLayout, layers, kOptionSelectTexture);
    set.SceneTexture(kOptionSelectTexture);
    set.SceneSound(kMusic, 1.0f);
    for (const char* sound : kSounds) set.SceneSound(sound);
}

}  // namespace scene_data
