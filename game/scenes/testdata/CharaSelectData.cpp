// The character select's part of the data set: its layout (the scene's
// layers and the "Chara" group the cards copy), its texture, music and
// sounds. The skill list comes with the title's part.
#include "game/scenes/testdata/SceneData.h"

#include "game/battle/scene/ConsoleNames.h"
#include "game/scenes/CharaSelect.h"
#include "game/scenes/SelectCard.h"

#include <string>
#include <vector>

namespace scene_data {

std::vector<std::string> CharaSelectLayers()
{
    using namespace select_card;
    std::vector<std::string> layers = chara_select::SceneLayerNames();
    std::vector<std::string> card = {
        "Image", "Player", "Name", "Team", "Color", "Type", "Custom", "Hand", "CpuSkill", "Ok", "HandItem"};
    for (const char* n : {"1P", "2P", "3P", "4P", "cpu", "-", "a", "b", "c", "d"}) card.push_back(n);
    for (const char* n : {"color_a", "color_b", "color_c", "color_d", "rei_nazo", "rei_nazo2", "rei_nazo3"})
        card.push_back(n);
    for (const char* n : {"rei_empe", "rei_emp2e", "rei_emp3e", "reig_off", "reig_on", "Crun", "Ckara"})
        card.push_back(n);
    for (u32 i = 0; i < kOrbCount; ++i) card.push_back(OrbElementName(i, true));
    for (u32 c = 0; c < kCharacters; ++c) {
        const std::string image = std::string("W") + console_names::kImageName[c];
        card.push_back(std::string("name_") + console_names::kAbbreviation[c]);
        card.push_back(std::string("C") + console_names::kAbbreviation[c]);
        card.push_back(image);
        card.push_back(image + "A");
        card.push_back(image + "B");
    }
    for (const RowNames& row : kRowNames) {
        for (const char* n : {row.left, row.right, row.cursor[0], row.cursor[1]}) card.push_back(n);
    }
    for (const std::string& n : card) layers.push_back("Chara/" + n);
    return layers;
}

namespace {

// A card, one column of 244 (the scene moves each card by its column):
// the portrait on top, then a row per setting, its title, arrows and value
// in one line, the hand and the ready mark below.
std::vector<LayerPanel> CardPanels()
{
    using namespace select_card;
    static std::vector<std::string> names;   // the panels keep pointers
    static std::vector<LayerPanel> panels;
    if (!panels.empty()) return panels;
    std::vector<std::pair<std::string, LayerPanel>> spots;
    const auto put = [&spots](const std::string& name, f32 x, f32 y, f32 w, f32 h) {
        spots.push_back({"Chara/" + name, {nullptr, x, y, w, h}});
    };
    put("Image", 4, 150, 232, 40);
    for (u32 c = 0; c < kCharacters; ++c) {
        const std::string image = std::string("W") + console_names::kImageName[c];
        put(std::string("C") + console_names::kAbbreviation[c], 4, 150, 232, 40);
        put(image, 4, 150, 232, 40);
    }
    put("Crun", 4, 150, 232, 40);
    put("Ckara", 4, 150, 232, 40);
    for (u32 r = 0; r < kRowCount; ++r) {
        const f32 y = 200.0f + 36.0f * f32(r);
        put(kRowNames[r].value, 4, y, 88, 32);
        put(kRowNames[r].left, 76, y, 128, 32);
        put(kRowNames[r].cursor[0], 76, y, 128, 32);
        put(kRowNames[r].right, 110, y, 128, 32);
        put(kRowNames[r].cursor[1], 110, y, 128, 32);
        std::vector<std::string> values;
        switch (r) {
        case 0: values = {"1P", "2P", "3P", "4P", "cpu", "-"}; break;
        case 1: values = {"a", "b", "c", "d"}; break;
        case 2:
            for (u32 c = 0; c < kCharacters; ++c) values.push_back(std::string("name_") + console_names::kAbbreviation[c]);
            break;
        case 3: values = {"color_a", "color_b", "color_c", "color_d"}; break;
        case 4:
            for (u32 c = 0; c < kCharacters; ++c)
                for (const char* t : {"A", "B"}) values.push_back(std::string("W") + console_names::kImageName[c] + t);
            break;
        case 6: values = {"reig_off", "reig_on"}; break;
        case 7: values = {"HandItem"}; break;
        default: break;
        }
        for (const std::string& v : values) put(v, 96, y, r == 7 ? 32.0f : 120.0f, 32);
    }
    put("Ok", 60, 500, 120, 40);
    names.reserve(spots.size());
    for (auto& [name, panel] : spots) {
        names.push_back(name);
        panel.name = names.back().c_str();
        panels.push_back(panel);
    }
    return panels;
}

}  // namespace

void AddCharaSelectData(CSceneDataSet& set)
{
    set.Layout(chara_select::kLayout, CharaSelectLayers(), kCharaSelectTexture, CardPanels());
    set.SceneTexture(kCharaSelectTexture);
    set.SceneSound(chara_select::kMusicFile, 1.0f);
    for (u32 i = 0; i < chara_select::kSoundCount; ++i) set.SceneSound(chara_select::SoundName(i));
}

}  // namespace scene_data
