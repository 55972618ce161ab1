// Seeds of the menu scene driver: every scene with its own file as the game
// data set has it and cut short, and the skill list and the saves (the
// stores' defaults) each with a scene that reads them; keys walk the menus.
// Each input starts the whole game, so they stay few.
#include "fuzz/FuzzSupport.h"
#include "fuzz/drivers/GameDataFolder.h"
#include "fuzz/drivers/MenuSceneDriver.h"
#include "fuzz/seeds/Seeds.h"
#include "game/data/SaveConfig.h"
#include "game/data/SaveData.h"
#include "game/data/SaveRecord.h"

namespace seeds {

namespace {

using namespace fuzz::menu_scene;

// A store's file as its Load writes it when there is none.
template <class Store>
std::string DefaultSave()
{
    const std::string folder = GetUserDataDirectory(kSaveFolderName);
    FUZZ_CHECK(!folder.empty());
    fuzz::EmptyFolder(folder);
    Store store;
    FUZZ_CHECK(store.Load() == 1);
    return fuzz::ReadFile(folder + Store::kFileName);
}

}  // namespace

void MakeMenuSeeds(const std::string& root)
{
    Sink sink(root, "menu_scene");
    const std::string folder = fuzz::WriteGameDataFolder("menu-data") + "/";
    const std::string resource = folder + "one/Resource/";
    const std::string saves[] = {DefaultSave<CSaveConfig>(), DefaultSave<CSaveRecord>(), DefaultSave<CSaveData>()};
    // Down, down, decide, right, left, up, cancel, start (codes less 8).
    const std::string keys = {1, 1, 14, 3, 2, 0, 15, 22};
    static const char* const names[kSceneCount] = {"begin", "loading", "logo", "title", "record", "options"};
    for (u8 s = 0; s < kSceneCount; ++s) {
        const auto scene = Scene(s);
        const std::string own = fuzz::ReadFile(resource + OwnFile(scene));
        FUZZ_CHECK(!own.empty());
        const std::string name = names[s];
        sink.Add(name + "-own", MakeInput(scene, kOwnFile, keys, own));
        if (scene != kLogo) sink.Add(name + "-own-cut", MakeInput(scene, kOwnFile, "", own.substr(0, own.size() / 2)));
    }
    // Each other file with a scene that reads it after the start.
    const std::string skills = fuzz::ReadFile(resource + kSkillFile);
    sink.Add("title-skills", MakeInput(kTitle, kSkillList, keys, skills));
    sink.Add("options-skills", MakeInput(kOptions, kSkillList, keys, skills));
    sink.Add("begin-config", MakeInput(kBeginLoading, kConfig, keys, saves[0]));
    sink.Add("options-config", MakeInput(kOptions, kConfig, keys, saves[0]));
    sink.Add("record-record", MakeInput(kRecord, kRecordSave, keys, saves[1]));
    sink.Add("title-data", MakeInput(kTitle, kDataSave, keys, saves[2]));
}

}  // namespace seeds
