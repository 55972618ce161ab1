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

namespace {

// Each row's group: its title, the marks of its values, its arrows and
// its cursor parts, so drawing the row draws what it holds (the card
// draws the rows, the portrait, the ready mark and the hand items).
std::vector<std::string> RowValues(u32 row)
{
    using namespace select_card;
    std::vector<std::string> values;
    switch (row) {
    case kRowPlayer: values = {"1P", "2P", "3P", "4P", "cpu", "-"}; break;
    case kRowTeam: values = {"a", "b", "c", "d"}; break;
    case kRowName:
        for (u32 c = 0; c < kCharacters; ++c) values.push_back(std::string("name_") + console_names::kAbbreviation[c]);
        break;
    case kRowColour: values = {"color_a", "color_b", "color_c", "color_d"}; break;
    case kRowType:
        for (u32 c = 0; c < kCharacters; ++c)
            for (const char* t : {"A", "B"}) values.push_back(std::string("W") + console_names::kImageName[c] + t);
        break;
    case kRowCustom: values = {"rei_nazo", "rei_nazo2", "rei_nazo3", "rei_empe", "rei_emp2e", "rei_emp3e"}; break;
    case kRowCpuSkill: values = {"reig_off", "reig_on"}; break;
    default: break;
    }
    return values;
}

std::string RowPath(u32 row) { return std::string("Chara/") + select_card::kRowNames[row].value + "/"; }

}  // namespace

std::vector<std::string> CharaSelectLayers()
{
    using namespace select_card;
    std::vector<std::string> layers = chara_select::SceneLayerNames();
    // The panel's four items lie in its frame, drawn with it.
    for (std::string& layer : layers)
        if (layer.rfind("rei_n_", 0) == 0 || layer == "rei_ok") layer = "Skill/" + layer;
    // The portrait (the character's, or random's or nobody's) and the
    // character's weapon panel.
    for (u32 c = 0; c < kCharacters; ++c) {
        layers.push_back(std::string("Chara/Image/C") + console_names::kAbbreviation[c]);
        layers.push_back(std::string("Chara/Image/W") + console_names::kImageName[c]);
    }
    layers.push_back("Chara/Image/Crun");
    layers.push_back("Chara/Image/Ckara");
    for (u32 r = 0; r < kRowCount; ++r) {
        const RowNames& row = kRowNames[r];
        layers.push_back(RowPath(r) + CardRowTitle(r));
        for (const std::string& v : RowValues(r)) layers.push_back(RowPath(r) + v);
        for (const char* n : {row.left, row.right, row.cursor[0], row.cursor[1]}) layers.push_back(RowPath(r) + n);
    }
    // Drawn by the card itself: the ready mark, the hand items, the orbs.
    layers.push_back("Chara/Ok");
    layers.push_back("Chara/HandItem");
    for (u32 i = 0; i < kOrbCount; ++i) layers.push_back(std::string("Chara/") + OrbElementName(i, true));
    return layers;
}

std::string CardRowTitle(u32 row)
{
    return row < select_card::kRowCount ? std::string(select_card::kRowNames[row].value) + "Title" : std::string();
}

namespace {

// A card, one column of 244 (the scene moves each card by its column):
// the portrait on top, then a row per setting, its title, arrows and value
// in one line, the ready mark and the weapon panel below.
std::vector<LayerPanel> CardPanels()
{
    using namespace select_card;
    static std::vector<LayerPanel> panels;
    if (!panels.empty()) return panels;
    std::vector<std::pair<std::string, LayerPanel>> spots;
    const auto put = [&spots](const std::string& path, f32 x, f32 y, f32 w, f32 h) {
        spots.push_back({path, {nullptr, x, y, w, h}});
    };
    for (u32 c = 0; c < kCharacters; ++c) {
        put(std::string("Chara/Image/C") + console_names::kAbbreviation[c], 4, 150, 232, 40);
        put(std::string("Chara/Image/W") + console_names::kImageName[c], 4, 550, 232, 32);
    }
    put("Chara/Image/Crun", 4, 150, 232, 40);
    put("Chara/Image/Ckara", 4, 150, 232, 40);
    for (u32 r = 0; r < kRowCount; ++r) {
        const f32 y = 200.0f + 36.0f * f32(r);
        const std::string row = RowPath(r);
        put(row + CardRowTitle(r), 4, y, 88, 32);
        put(row + kRowNames[r].left, 76, y, 128, 32);
        put(row + kRowNames[r].cursor[0], 76, y, 128, 32);
        put(row + kRowNames[r].right, 110, y, 128, 32);
        put(row + kRowNames[r].cursor[1], 110, y, 128, 32);
        const std::vector<std::string> values = RowValues(r);
        for (size_t i = 0; i < values.size(); ++i) {
            // The skill marks, three a row; the others one value at a time.
            if (r == kRowCustom) put(row + values[i], 100.0f + 40.0f * f32(i % 3), y, 36, 32);
            else put(row + values[i], 96, y, 120, 32);
        }
    }
    put("Chara/HandItem", 96, 200.0f + 36.0f * f32(kRowHand), 32, 32);
    put("Chara/Ok", 60, 500, 120, 40);
    // The header at the top left; the chosen card's mark above its column
    // (the scene moves it by the column).
    put("Title", 32, 24, 256, 40);
    put("Select", 4, 112, 232, 32);
    panels = KeepNamedPanels(spots);
    return panels;
}

// The skill panel over the cards: its frame; per kind the slot button on
// the left (in the frame, tinted by the slot cursor; the chosen orb drawn
// on it), the row of sixteen places and the
// empty choice's mark after them; "Ok" under the buttons. The orbs, the
// mystery orb, the empty buttons' image and the cursor stand at the
// origin: the scene draws them moved to their place in a row or onto a
// button (the cursor a little larger than an orb, so it shows around the
// orb drawn over it).
std::vector<LayerPanel> SkillPanelPanels()
{
    using namespace select_card;
    static std::vector<LayerPanel> panels;
    if (!panels.empty()) return panels;
    std::vector<std::pair<std::string, LayerPanel>> spots;
    const auto put = [&spots](const std::string& name, f32 x, f32 y, f32 w, f32 h) {
        spots.push_back({name, {nullptr, x, y, w, h}});
    };
    // The frame is a sheet (CharaSelectSheets).
    static const char* const buttons[3] = {"rei_n_geki", "rei_n_soku", "rei_n_syu"};
    static const char* const marks[3] = {"rei_emp", "rei_emp2", "rei_emp3"};
    static const char* const empty[3] = {"rei_empk", "rei_emp2k", "rei_emp3k"};
    for (u32 k = 0; k < 3; ++k) {
        const f32 y = 376.0f + 68.0f * f32(k);
        put(std::string("Skill/") + buttons[k], 152, y, 128, 32);
        put(empty[k], 0, 0, 36, 32);
        put(marks[k], 300.0f + 40.0f * 16.0f, y, 36, 32);
    }
    put("Skill/rei_ok", 152, 548, 128, 32);
    // The card's small orbs, each drawn on its kind's empty mark: an orb's
    // size.
    for (u32 i = 0; i < kOrbCount; ++i) put(OrbElementName(i, false), 0, 0, 36, 32);
    put("rei_nazos", 0, 0, 36, 32);
    put("rei_car", 0, 0, 40, 36);
    for (u32 i = 0; i < kOrbCount; ++i) put(std::string("Chara/") + OrbElementName(i, true), 100, 380, 36, 32);
    panels = KeepNamedPanels(spots);
    return panels;
}

// Where the sheets lie on the texture: below the layout's cells.
constexpr u32 kFrameSheetTop = 1600, kButtonSheetTop = 1860;

}  // namespace

std::vector<LayerSheet> CharaSelectSheets()
{
    // The frame's name at its top left, over the buttons; the scene zooms
    // the frame by its scale, so it stands at its size texel for texel.
    std::vector<LayerSheet> sheets = {
        {"Skill", 0, kFrameSheetTop, 864, 248, 140.0f, 336.0f, {{152.0f, 340.0f, Align::kLeft, "Orbs"}}, true}};
    // A button's chosen orb (or the empty image) covers its left end: the
    // kind's name stands right of it.
    static const char* const buttons[3][2] = {
        {"Skill/rei_n_geki", "Attack"}, {"Skill/rei_n_soku", "Speed"}, {"Skill/rei_n_syu", "Guard"}};
    for (u32 k = 0; k < 3; ++k) {
        const f32 y = 376.0f + 68.0f * f32(k);
        sheets.push_back({buttons[k][0], 128 * k, kButtonSheetTop, 128, 32, 152.0f, y,
            {{152.0f + 44.0f, y + 4.0f, Align::kLeft, buttons[k][1]}}});
    }
    return sheets;
}

void AddCharaSelectData(CSceneDataSet& set)
{
    std::vector<LayerPanel> panels = CardPanels();
    const std::vector<LayerPanel> skill = SkillPanelPanels();
    panels.insert(panels.end(), skill.begin(), skill.end());
    set.Layout(chara_select::kLayout, CharaSelectLayers(), kCharaSelectTexture, panels, CharaSelectSheets());
    set.textureWords[kCharaSelectTexture]["Title"] = "Characters";   // the screen's header
    set.SceneTexture(kCharaSelectTexture);
    set.fittedTextures.insert(kCharaSelectTexture);
    set.SceneSound(chara_select::kMusicFile, 1.0f);
    for (u32 i = 0; i < chara_select::kSoundCount; ++i) set.SceneSound(chara_select::SoundName(i));
}

}  // namespace scene_data
