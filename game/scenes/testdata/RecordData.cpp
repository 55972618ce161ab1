#include "engine/core/PackFile.h"
#include "game/data/SaveRecord.h"
#include "game/scenes/RecordScene.h"
#include "game/scenes/testdata/SceneData.h"

#include <algorithm>
#include <vector>

namespace scene_data {

namespace {

// What each number of a page counts, in the order the page lists its texts.
// The totals: the play time (hours, then the separators, minutes and
// seconds on its line), the network level, then the same five rows for
// local and for network battles.
constexpr u32 kPlayTimeText = 0, kLevelText = 5, kLocalRowsText = 6, kNetworkRowsText = 11, kTotalsRows = 5;
constexpr const char* kTotalsRowWords[kTotalsRows] = {"Win rate", "Wins", "Losses", "Damage dealt", "Knock-outs"};
// A character's page: one column, both halves together.
constexpr u32 kCharacterRows = 6;
constexpr const char* kCharacterRowWords[kCharacterRows] = {"Battles", "Win rate", "Wins", "Losses", "Damage dealt",
                                                            "Knock-outs"};

// Where the page's numbers stand, as the scene places them.
std::vector<record::PageText> PagePlaces(u32 page)
{
    const CSaveRecord none;
    return record::PageTexts(none, page, 0);
}

SheetText LabelAt(f32 x, f32 y, const char* words) { return {x, y, Align::kLeft, words}; }

}  // namespace

std::vector<std::string> RecordLayers()
{
    std::vector<std::string> layers = {"Base", "TotalBase", "SoloBase"};
    for (const char* abbreviation : record::kAbbreviations) layers.push_back(std::string("name_") + abbreviation);
    for (const char* abbreviation : record::kAbbreviations) layers.push_back(std::string("cha_") + abbreviation);
    return layers;
}

// The totals page's frame spans the numbers' two columns with room for the
// labels left of them: each line's label at its left edge, the columns'
// heads a line above their first number. A character page's frame holds
// its one column and the labels left of it. Both stand in the texture
// below the record's cells, the totals' at texel row 1024, the
// character's at row 1600.
std::vector<LayerSheet> RecordSheets()
{
    std::vector<LayerSheet> sheets;
    const std::vector<record::PageText> totals = PagePlaces(0);
    if (totals.size() == kNetworkRowsText + kTotalsRows) {
        const f32 step = totals[kLocalRowsText + 1].y - totals[kLocalRowsText].y;
        const f32 top = totals[kPlayTimeText].y - 2.0f * step, bottom = totals.back().y + step + 8.0f;
        LayerSheet sheet{"TotalBase", 0, 1024, 800, u32(bottom - top), 112.0f, top, {}};
        const f32 left = sheet.x + 40.0f;
        sheet.texts.push_back({512.0f, top + 12.0f, Align::kCentre, "All characters"});
        sheet.texts.push_back(LabelAt(left, totals[kPlayTimeText].y, "Play time"));
        sheet.texts.push_back(LabelAt(left, totals[kLevelText].y, "Network level"));
        sheet.texts.push_back({totals[kLocalRowsText].x, totals[kLocalRowsText].y - step, Align::kCentre, "Local"});
        sheet.texts.push_back({totals[kNetworkRowsText].x, totals[kNetworkRowsText].y - step, Align::kCentre, "Network"});
        for (u32 row = 0; row < kTotalsRows; ++row)
            sheet.texts.push_back(LabelAt(left, totals[kLocalRowsText + row].y, kTotalsRowWords[row]));
        sheets.push_back(sheet);
    }
    const std::vector<record::PageText> character = PagePlaces(1);
    if (character.size() == kCharacterRows) {
        const f32 step = character[1].y - character[0].y;
        const f32 top = character.front().y - 16.0f, bottom = character.back().y + step - 4.0f;
        LayerSheet sheet{"SoloBase", 0, 1600, 384, u32(bottom - top), character.front().x - 312.0f, top, {}};
        for (u32 row = 0; row < kCharacterRows; ++row)
            sheet.texts.push_back(LabelAt(sheet.x + 24.0f, character[row].y, kCharacterRowWords[row]));
        sheets.push_back(sheet);
    }
    return sheets;
}

// The record's layout binds its own textures (each the cell texture, so a
// drawn layer still tells itself by its cell), from "Data\CharaSharing.gpk":
// the frame in the first folder, pictures of the first and the last
// character spread over both (the others are missing, which the scene
// allows). The pages' frames are sheets naming their numbers.
void AddRecordData(CSceneDataSet& set)
{
    // The frame of every page names the screen at its top left.
    std::vector<LayerSheet> sheets = RecordSheets();
    sheets.push_back({"Base", 800, 1024, 200, 40, 24.0f, 16.0f, {{36.0f, 22.0f, Align::kLeft, "Record"}}});
    set.Layout(record::kLayout, RecordLayers(), record::kFrameTexture, {}, sheets);

    const GameArchive pack{record::kPackName, record::kPack, kPackKeyFirst};
    set.PackEntry(pack, Folder::kFirst, record::kFrameTexture, CellTextureBytes());
    set.PackEntry(pack, Folder::kFirst, record::CharacterTexture(0), CellTextureBytes());
    set.PackEntry(pack, Folder::kSecond, record::CharacterTexture(17), CellTextureBytes());

    set.SceneSound(record::kMusic, 1.0f);
    for (const char* sound : record::kSounds) set.SceneSound(sound);
}

}  // namespace scene_data
