// The adventure map's part of the data set: its layout with every layer it
// looks up, the completion card, the open effect, and a map of three
// columns (1, 2 and 3 nodes) whose event files the settings writer makes,
// the last by hand. Texts and the caches the game opens both go in.
#include "game/scenes/testdata/SceneData.h"

#include "game/data/AdventureSetting.h"
#include "game/data/tests/SettingWriter.h"
#include "game/scenes/AdventureScene.h"
#include "host/kernel/Kernel.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace scene_data {
namespace {

using setting_test::SettingWriter;

SettingWriter Opponent(SettingWriter w, u32 row, i32 type, i32 cpu = 0)
{
    char key[24];
    std::snprintf(key, sizeof key, "CHARA%02uTYPE", unsigned(row));
    w.Set(key, type);
    std::snprintf(key, sizeof key, "CHARA%02uCPU", unsigned(row));
    return w.Set(key, cpu);
}

}  // namespace

std::vector<std::pair<std::string, std::string>> AdventureTexts()
{
    std::vector<std::pair<std::string, std::string>> texts;
    SettingWriter list;
    for (i32 count : {1, 2, 3}) list.Set("COUNT", count);
    for (u32 n = 1; n <= 6; ++n) list.Set("ADVENTURE", "Adv_node" + std::to_string(n) + ".txt");
    texts.emplace_back("Adventure.txt", list.Text());
    // Node 1: Derona; any win opens node 2 and the orb of skill 3 (locked
    // in a fresh save); node 3 needs 999 s left, which no battle leaves.
    SettingWriter first;
    first.Set("TEXT", "First").Set("TIMECONDITION", "100").Set("CPUCONDITION", "Easy")
        .Set("ENEMYCONDITION", "Derona").Set("NEXTCONDITION", "Win with 999 s left")
        .Set("SKILLCONDITION", "Win").Set("STAGE", 0).Set("BGM", 3).Set("TIME", 0).Set("GETSKILL", 3)
        .Set("NEXTOPEN", 2).Set("NEXTCONDITIONOPEN", 3).Set("NEXTCONDITIONFLAG", 2)
        .Set("NEXTCONDITIONPARAMETER", 999);
    texts.emplace_back("Adv_node1.txt", Opponent(first, 0, 1, 1).Text());
    // Node 2: both fighters, Talve in the last row; opens node 4.
    SettingWriter second;
    second.Set("TEXT", "Second").Set("STAGE", 0).Set("BGM", 8).Set("TIME", 2).Set("NEXTOPEN", 4)
        .Set("CHARA00BARRAGE", 1).Set("CHARA00HANDICAP", 3).Set("CHARA00SKILL01", 2).Set("CHARA00SKILL03", 45);
    texts.emplace_back("Adv_node2.txt", Opponent(Opponent(second, 0, 1, 3), 2, 0, 2).Text());
    for (u32 n = 3; n <= 5; ++n) {
        SettingWriter node;
        node.Set("TEXT", "Node").Set("STAGE", 0).Set("BGM", i32(n)).Set("GETSKILL", i32(n == 5 ? 45 : 0))
            .Set("NEXTOPEN", i32(n == 3 ? 5 : 0));
        texts.emplace_back("Adv_node" + std::to_string(n) + ".txt", Opponent(node, 0, i32(n % 2)).Text());
    }
    // By hand: the last node has no opponent at all.
    texts.emplace_back("Adv_node6.txt",
        "// The lonely stage.\n"
        "TEXT = Alone;\nSTAGE = 0;  BGM = 17;\n"
        "TIMECONDITION = 1000; ENEMYCONDITION = ---;\n"
        "CHARA00TYPE = -1; CHARA01TYPE = -1; CHARA02TYPE = -1;\n");
    return texts;
}

std::vector<std::pair<std::string, std::string>> AdventureFiles(
    const std::vector<std::pair<std::string, std::string>>& texts, std::string& error)
{
    namespace fs = std::filesystem;
    const char* base = std::getenv("TMPDIR");
    std::string scratch = std::string(base && *base ? base : "/tmp") + "/orv-setting-XXXXXX";
    if (!mkdtemp(scratch.data())) {
        error += "adventure data: no scratch folder";
        return {};
    }
    const std::string previous = host::kernel::GetCurrentDirectory();
    host::kernel::SetCurrentDirectory(scratch);
    host::kernel::CreateDirectory("Setting");
    bool ok = true;
    for (const auto& [name, bytes] : texts) ok = ok && host::kernel::WriteFileAtomic(name, bytes.data(), bytes.size());
    CAdventureSetting list;
    ok = ok && list.LoadFile("Adventure.txt");
    std::vector<std::pair<std::string, std::string>> files;
    for (const auto& [name, bytes] : texts) {
        files.emplace_back(name, bytes);
        std::string cache;
        ok = ok && host::kernel::ReadWholeFile(CSettingFile::MakeCachePath(name.c_str()), cache);
        files.emplace_back(CSettingFile::MakeCachePath(name.c_str()), cache);
    }
    host::kernel::SetCurrentDirectory(previous);
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
    if (!ok) error += "adventure data: the map could not be written";
    return ok ? files : std::vector<std::pair<std::string, std::string>>{};
}

// The map's texture's name is the single select's: its cells follow the
// single select's there (CellBase).
void AddAdventureData(CSceneDataSet& set)
{
    using namespace adventure;
    // The frame over the map names the screen at its top left.
    LayerSheet frame{"Base", 800, 2000, 200, 40, 24.0f, 16.0f, {{36.0f, 22.0f, Align::kLeft, "Adventure"}}};
    set.Layout(kLayout, LayerNames(), kMapTexture, {}, {frame});
    // The last stage's picture also stands for a node not open yet: on the
    // map it says so (the data's nodes are all on the first stage).
    set.textureWords[kMapTexture][StageLayerName(kStages - 1)] = "Not open";
    const GameArchive pack{kPackName, kPack, kPackKeyFirst};
    set.PackEntry(pack, Folder::kSecond, kCardTexture, CellTextureBytes());
    set.Effect(kOpenEffect);
    for (const char* sound : kSounds) set.SceneSound(sound);
    for (auto& [path, bytes] : AdventureFiles(AdventureTexts(), set.error))
        set.File(path, std::move(bytes));
}

}  // namespace scene_data
