#include "game/scenes/OptionSelect.h"
#include "game/scenes/testdata/SceneData.h"

#include <string>
#include <vector>

namespace scene_data {

namespace {

constexpr const char* kOptionSelectTexture = "OptionSelect_01.dds";

// Where the layers stand on the layout: the rows down the left, each with
// its value beside it between the arrows (the writer makes a row's
// children relative to the row); the tension bar and the chat panels
// right, under the music's description.
std::vector<LayerPanel> OptionSelectPanels()
{
    using namespace option_select;
    static std::vector<LayerPanel> panels;
    if (!panels.empty()) return panels;
    std::vector<std::pair<std::string, LayerPanel>> spots = {{"Title", {nullptr, 32, 24, 256, 40}}};
    for (i32 row = 0; row < kRowCount; ++row) {
        const f32 y = kOptionRowTop + kOptionRowStep * f32(row);
        const auto child = [&](const char* name, f32 x, f32 w) {
            if (name) spots.push_back({std::string(kRowNames[row]) + "/" + name, {nullptr, x, y, w, 32}});
        };
        spots.push_back({kRowNames[row], {nullptr, kOptionRowLeft, y, kOptionLabelWidth, 32}});
        for (u32 k = 0; k < 2; ++k) {
            // Arrow cells are clear but for the arrow at their outer end:
            // one cell each side of the value, the arrows just outside it.
            const f32 x = k == 0 ? kOptionValueLeft - 24.0f : kOptionValueLeft + kOptionValueWidth + 24.0f - 128.0f;
            child(kArrows[row][k], x, 128.0f);
            child(kGlows[row][k], x, 128.0f);
        }
        const auto values = [&](const char* const* list, u32 count) {
            for (u32 i = 0; i < count; ++i) child(list[i], kOptionValueLeft, kOptionValueWidth);
        };
        switch (row) {
        case kStage: values(kStageLayers, 20); break;
        case kRule: values(kRuleLayers, 2); break;
        case kPoint: values(kPointLayers, 5); break;
        case kTime: values(kTimeLayers, 7); break;
        case kCpu: values(kCpuLayers, 5); break;
        case kTensionRule: values(kTensionRuleLayers, 6); break;
        case kFriend: values(kFriendLayers, 3); break;
        case kAnBgm: values(kAnBgmLayers, 2); break;
        default: break;
        }
    }
    for (const char* cap : kBarCaps) spots.push_back({cap, {nullptr, 560, 240, 16, 24}});
    for (const char* body : kBarBodies) spots.push_back({body, {nullptr, 560, 240, 16, 24}});
    spots.push_back({"Local", {nullptr, 560, 520, 128, 32}});
    spots.push_back({"Log", {nullptr, 560, 560, 440, 120}});
    spots.push_back({"Input", {nullptr, 560, 690, 440, 32}});
    panels = KeepNamedPanels(spots);
    return panels;
}

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
    set.Layout(kLayout, layers, kOptionSelectTexture, OptionSelectPanels());
    // The header names the screen (its layer's name read as a way back).
    set.textureWords[kOptionSelectTexture]["Title"] = "Battle options";
    set.SceneTexture(kOptionSelectTexture);
    set.fittedTextures.insert(kOptionSelectTexture);
    set.SceneSound(kMusic, 1.0f);
    for (const char* sound : kSounds) set.SceneSound(sound);
}

}  // namespace scene_data
