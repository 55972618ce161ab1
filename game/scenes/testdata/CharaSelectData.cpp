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

void AddCharaSelectData(CSceneDataSet& set)
{
    set.Layout(chara_select::kLayout, CharaSelectLayers(), kCharaSelectTexture);
    set.SceneTexture(kCharaSelectTexture);
    set.SceneSound(chara_select::kMusicFile, 1.0f);
    for (u32 i = 0; i < chara_select::kSoundCount; ++i) set.SceneSound(chara_select::SoundName(i));
}

}  // namespace scene_data
