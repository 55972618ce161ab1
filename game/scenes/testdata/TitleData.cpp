// The title's part of the data set: its layout, background, calls, sounds,
// the three title tracks and the skill list of 45 orbs.
#include "game/scenes/testdata/SceneData.h"

#include "game/data/Skill.h"
#include "game/data/tests/SettingWriter.h"
#include "game/scenes/MenuScene.h"
#include "game/scenes/TitleScene.h"
#include "host/kernel/Kernel.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace scene_data {

static_assert(kTitleMarkWidth == -title::kSelectedOffset, "the marks fill what the selected item leaves bare");

namespace {

using setting_test::SettingWriter;

// Orb i: named "Orb%02u", icon i, kind i / 15 (15 of each kind).
std::string OrbFile(u32 i)
{
    char name[32];
    std::snprintf(name, sizeof name, "Skill_Orb%02u.txt", unsigned(i));
    return name;
}

// The skill list's texts ("Skill.txt" and one per orb) and their caches as
// the game reads them ("Setting/Skill.dat", ...), made by the skill reader
// itself in a scratch folder. The texts go too: a text beside a cache that
// is not its own would be read instead (the battle's two skills).
std::vector<std::pair<std::string, std::string>> SkillFiles(std::string& error)
{
    namespace fs = std::filesystem;
    const char* base = std::getenv("TMPDIR");
    std::string scratch = std::string(base && *base ? base : "/tmp") + "/orv-title-XXXXXX";
    if (!mkdtemp(scratch.data())) {
        error += "title data: no scratch folder";
        return {};
    }
    const std::string previous = host::kernel::GetCurrentDirectory();
    host::kernel::SetCurrentDirectory(scratch);
    host::kernel::CreateDirectory("Setting");
    std::vector<std::pair<std::string, std::string>> files;
    SettingWriter list;
    bool ok = true;
    for (u32 i = 0; i < title::kIconCount; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "Orb%02u", unsigned(i));
        list.Set("SKILL", OrbFile(i));
        ok = ok && SettingWriter()
                       .Set("NAME", name)
                       .Set("IMAGEID", i32(i))
                       .Set("TYPE", i32(i / 15))
                       .Set("EXPLANATION", std::string("Power of orb ") + char('a' + i % 26))
                       .Save(OrbFile(i));
    }
    ok = ok && list.Save("Skill.txt");
    CSkillList skills;
    ok = ok && skills.LoadFile("Skill.txt") && skills.skills.GetCount() == title::kIconCount;
    std::vector<std::string> names = {"Skill.txt"};
    for (u32 i = 0; i < title::kIconCount; ++i) names.push_back(OrbFile(i));
    for (const std::string& text : names) {
        for (const std::string& path : {text, CSettingFile::MakeCachePath(text.c_str())}) {
            std::string bytes;
            ok = ok && host::kernel::ReadWholeFile(path, bytes);
            files.emplace_back(path, bytes);
        }
    }
    host::kernel::SetCurrentDirectory(previous);
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
    if (!ok) error += "title data: the skill list could not be written";
    return ok ? files : std::vector<std::pair<std::string, std::string>>{};
}

}  // namespace

std::string TitleMarkLayer(u32 item) { return "Base/Lit" + std::to_string(item); }

std::vector<std::string> TitleLayers()
{
    // The icons (drawn only with the orb notice) first, so the selected
    // label's move to the left lands on them, not off the screen or on the
    // frame, which comes last with the notice.
    std::vector<std::string> layers;
    for (u32 i = 0; i < title::kIconCount; ++i) layers.push_back(title::IconLayerName(i));
    for (const title::ItemLayers& item : title::kItemLayers) {
        layers.push_back(item.label);
        layers.push_back(item.name);
        layers.push_back(item.flash);
    }
    layers.push_back("Base");
    for (u32 i = 0; i < title::kItemCount; ++i) layers.push_back(TitleMarkLayer(i));
    layers.push_back("SkillGet");
    return layers;
}

std::vector<LayerPanel> TitlePanels()
{
    // The items in a column right of the middle, so the selected one's move
    // to the left stays on the screen; the background behind the whole.
    // Behind each item's right end, in the strip the selected label leaves
    // bare when it moves left, a lit mark: the others cover theirs, so the
    // selected item alone shows one.
    static const std::vector<std::string> marks = [] {
        std::vector<std::string> names;
        for (u32 i = 0; i < title::kItemCount; ++i) names.push_back(TitleMarkLayer(i));
        return names;
    }();
    std::vector<LayerPanel> panels = {{"Base", 0.0f, 0.0f, 1024.0f, 768.0f}, {"SkillGet", 384.0f, 640.0f, 256.0f, 32.0f}};
    for (u32 i = 0; i < title::kItemCount; ++i) {
        const f32 y = kTitleItemTop + kTitleItemStep * f32(i);
        for (const char* layer : {title::kItemLayers[i].label, title::kItemLayers[i].name, title::kItemLayers[i].flash})
            panels.push_back({layer, kTitleItemLeft, y, kTitleItemWidth, kTitleItemHeight});
        panels.push_back({marks[i].c_str(), kTitleMarkLeft + 2.0f, y + 2.0f, kTitleMarkWidth - 4.0f, kTitleItemHeight - 4.0f});
    }
    return panels;
}

void AddTitleData(CSceneDataSet& set)
{
    set.Layout(title::kLayout, TitleLayers(), title::kBackground, TitlePanels());
    set.SceneTexture(title::kBackground);
    for (const char* call : title::kCalls) set.SceneSound(call);
    set.SceneSound(title::kSelectSound);
    set.SceneSound(title::kSetSound);
    for (const char* music : menu::kTitleMusic) set.SceneSound(music, 1.0f);
    for (auto& [path, bytes] : SkillFiles(set.error)) set.File(path, std::move(bytes));
}

}  // namespace scene_data
