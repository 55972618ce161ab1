// The story's part of the data set: a chain for every character, the two
// layouts, their textures in "Data\Load.gpk" and the story music archive.
// The ending movie is the start-up data's "Movie\ED.mpg".
#include "game/scenes/testdata/StoryData.h"

#include "engine/core/PackFile.h"
#include "game/battle/testdata/Sounds.h"
#include "game/data/StorySetting.h"
#include "game/data/tests/SettingWriter.h"
#include "game/scenes/StoryScene.h"
#include "game/scenes/testdata/SceneData.h"
#include "host/kernel/Kernel.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace story_data {

namespace {

using setting_test::SettingWriter;

std::string Name(u32 character, const char* part)
{
    return std::string("Story_") + story::kCharacterNames[character] + "_" + part;
}

// Derona's prologue as a writer of chapters would type it.
constexpr const char* kDeronaPrologue =
    "// Derona's story begins\n"
    "NAME = Prologue;\n"
    "TEXT = The harbour burns.\n"
    "Derona takes to the air.;\n"
    "NEXT = Story_Derona_01.txt;\n"
    "ENDTIME = 2.0;\n"
    "SPEED = 40.0;\n";

}  // namespace

std::string BattleText(u32 opponent, const std::string& next, bool last)
{
    SettingWriter chapter;
    chapter.Set("NAME", last ? "Final" : "Battle")
        .Set("TEXT", last ? "The last duel." : "A rival blocks the way.")
        .Set("CHARA", i32(opponent))
        .Set("BARRAGE", i32(last ? 1 : 0))
        .Set("STAGE", 0)
        .Set("BGM", i32(last ? 1 : 0))
        .Set("CPU", 1)
        .Set("SKILL01", 1)
        .Set("SKILL02", 2)
        .Set("SKILL03", 0)
        .Set("TIME", 0)
        .Set("LASTFLAG", i32(last ? 1 : 0));
    if (!next.empty()) chapter.Set("NEXT", next);
    return chapter.Text();
}

std::vector<Chapter> DataChain(u32 character, f32 textSeconds)
{
    const u32 opponent = character == 0 ? 1 : 0;
    std::vector<Chapter> chain;
    if (character == 1) {
        chain.push_back({Name(1, "Prologue"), kDeronaPrologue});
    } else {
        chain.push_back({Name(character, "Prologue"), SettingWriter()
                                                          .Set("NAME", "Prologue")
                                                          .Set("TEXT", std::string(story::kCharacterNames[character]) +
                                                                           " leaves the valley.\nThe sky is open.")
                                                          .Set("NEXT", Name(character, "01.txt"))
                                                          .Set("ENDTIME", textSeconds)
                                                          .Set("SPEED", 40.0f)
                                                          .Text()});
    }
    chain.push_back({Name(character, "01"), BattleText(opponent, Name(character, "02.txt"), false)});
    chain.push_back({Name(character, "02"), BattleText(opponent, Name(character, "Ending.txt"), true)});
    chain.push_back({Name(character, "Ending"), SettingWriter()
                                                    .Set("NAME", "Ending")
                                                    .Set("TEXT", "Home again.\nThe end.")
                                                    .Set("ENDTIME", textSeconds)
                                                    .Set("SPEED", 40.0f)
                                                    .Set("GETSKILL", kGetSkill[character == 1 ? 1 : 0])
                                                    .Text()});
    return chain;
}

bool WriteChapters(const std::vector<Chapter>& chapters)
{
    host::kernel::CreateDirectory("Setting");
    for (const Chapter& chapter : chapters) {
        const std::string text = chapter.name + ".txt";
        if (!host::kernel::WriteFileAtomic(text, chapter.text.data(), chapter.text.size())) return false;
        CStorySetting reader;
        if (!reader.LoadFile(text.c_str())) return false;
    }
    return true;
}

std::vector<std::pair<std::string, std::string>> ChapterFiles(const std::vector<Chapter>& chapters, std::string* error)
{
    namespace fs = std::filesystem;
    const char* base = std::getenv("TMPDIR");
    std::string scratch = std::string(base && *base ? base : "/tmp") + "/orv-story-XXXXXX";
    if (!mkdtemp(scratch.data())) {
        if (error) *error += "story data: no scratch folder";
        return {};
    }
    const std::string previous = host::kernel::GetCurrentDirectory();
    host::kernel::SetCurrentDirectory(scratch);
    bool ok = WriteChapters(chapters);
    std::vector<std::pair<std::string, std::string>> files;
    for (const Chapter& chapter : chapters) {
        const std::string text = chapter.name + ".txt";
        for (const std::string& path : {text, CSettingFile::MakeCachePath(text.c_str())}) {
            std::string bytes;
            ok = ok && host::kernel::ReadWholeFile(path, bytes);
            files.emplace_back(path, bytes);
        }
    }
    host::kernel::SetCurrentDirectory(previous);
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
    if (ok) return files;
    if (error) *error += "story data: a chapter does not read back";
    return {};
}

}  // namespace story_data

namespace scene_data {

namespace {

// The preview's slots and versus mark, given as base positions: the scene
// slides them in by their offsets, which end at 0. The player's pictures
// stand in a column on the left, the opponent's on the right, the two
// halves of the versus mark side by side between them, all above the
// panel's texts.
std::vector<LayerPanel> StoryPanels(bool secondGroup)
{
    static std::vector<LayerPanel> panels[2];
    std::vector<LayerPanel>& kept = panels[secondGroup ? 1 : 0];
    if (!kept.empty()) return kept;
    constexpr f32 kColumn[2] = {64.0f, 704.0f}, kRowTop = 72.0f, kRowStep = 64.0f;
    constexpr f32 kWidth = 256.0f, kHeight = 48.0f;
    std::vector<std::pair<std::string, LayerPanel>> spots;
    for (u32 side = 0; side < 2; ++side)
        for (u32 kind = 0; kind < 3; ++kind)
            spots.push_back({(side == 0 ? "1P/" : "2P/") + story::SlotName(kind, side, secondGroup),
                             {nullptr, kColumn[side], kRowTop + kRowStep * f32(kind), kWidth, kHeight}});
    spots.push_back({"v", {nullptr, 384.0f, kRowTop + kRowStep, 128.0f, kHeight}});
    spots.push_back({"s", {nullptr, 512.0f, kRowTop + kRowStep, 128.0f, kHeight}});
    // On the panel: the battle's caption, number and opponent's title along
    // its top, the chapter's line (the scene's) under them, its music and
    // stage along its bottom.
    constexpr f32 kTop = kStoryPanelY + 16.0f, kBottom = kStoryPanelY + kStoryPanelHeight - 48.0f;
    constexpr f32 kLeft = kStoryPanelX + 16.0f, kCell = 128.0f, kGap = 16.0f;
    for (const char* caption : {"Base/bat1", "Base/bat"}) spots.push_back({caption, {nullptr, kLeft, kTop, kCell, 32.0f}});
    for (u32 i = 0; i < story::kNumberSlots; ++i)
        spots.push_back({"Base/" + story::NumberName(i), {nullptr, kLeft + kCell + kGap, kTop, kCell, 32.0f}});
    for (u32 c = 0; c < story::kCharacters; ++c)
        for (const bool final : {false, true})
            spots.push_back({"Base/" + story::TitleName(c, final),
                             {nullptr, kLeft + 2.0f * (kCell + kGap), kTop, 192.0f, 32.0f}});
    for (u32 i = 0; i < story::kMusic; ++i)
        spots.push_back({"Base/" + story::MusicName(i), {nullptr, kLeft, kBottom, kCell, 32.0f}});
    for (u32 i = 0; i + 1 < story::kStages; ++i)
        spots.push_back({"Base/" + story::StageName(i), {nullptr, kLeft + kCell + kGap, kBottom, kCell, 32.0f}});
    kept = KeepNamedPanels(spots);
    return kept;
}


}  // namespace

// Dark: the scene writes the chapter's line white on it. Its picture lies
// below both layouts' cells.
std::vector<LayerSheet> StorySheets()
{
    return {LayerSheet{"Base", 0, 1024, u32(kStoryPanelWidth), u32(kStoryPanelHeight), kStoryPanelX, kStoryPanelY,
                       {}, true}};
}

void AddStoryData(CSceneDataSet& set)
{
    set.Layout(story::kLayout, story::LayerNames(false), story::kTexture, StoryPanels(false), StorySheets());
    set.Layout(story::kLayoutSecond, story::LayerNames(true), story::kTextureSecond, StoryPanels(true),
               StorySheets());
    set.PackEntry(kLoadArchive, Folder::kFirst, story::kTexture, CellTextureBytes());
    set.PackEntry(kLoadArchive, Folder::kFirst, story::kTextureSecond, CellTextureBytes());
    const GameArchive music{story::kMusicPackName, story::kMusicPack, kPackKeyFirst};
    for (const char* track : {story::kPrologueMusic, story::kEndingMusic, story::kEndingMusicSecond})
        set.PackEntry(music, Folder::kFirst, track, battle_data::ToneOgg(440.0f, 1.0f));
    for (u32 character = 0; character < story::kCharacters; ++character)
        for (auto& [path, bytes] : story_data::ChapterFiles(story_data::DataChain(character), &set.error))
            set.File(path, std::move(bytes));
}

}  // namespace scene_data
