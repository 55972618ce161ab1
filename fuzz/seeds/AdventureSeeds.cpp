// Seeds of the adventure map driver: the map and each event file of the
// data set, as cache and as text, a few cut short, with saves that open
// the walk; keys walk the map and start a battle.
#include "fuzz/FuzzSupport.h"
#include "fuzz/drivers/AdventureMapDriver.h"
#include "fuzz/drivers/GameDataFolder.h"
#include "fuzz/seeds/Seeds.h"
#include "game/data/SettingFile.h"

namespace seeds {

using namespace fuzz::adventure_map;

void MakeAdventureSeeds(const std::string& root)
{
    Sink sink(root, "adventure_map");
    const std::string resource = fuzz::WriteGameDataFolder("adventure-data") + "/one/Resource/";
    // Up, right, decide (window), decide (battle); down, left, cancel.
    const std::string walk = {0, 3, 4, 4};
    const std::string wander = {1, 2, 1, 3, 0, 2, 5, 4, 5};
    for (u32 f = 0; f < kFiles; ++f) {
        const std::string text = TextOf(f);
        const std::string cache = fuzz::ReadFile(resource + CSettingFile::MakeCachePath(text.c_str()));
        const std::string plain = fuzz::ReadFile(resource + text);
        FUZZ_CHECK(!cache.empty() && !plain.empty());
        const std::string name = "file" + std::to_string(f);
        sink.Add(name + "-cache", MakeInput(f, kCache, f % 2 ? kAllOpen : kAllOpen | kShown, 0, 1, walk, cache));
        sink.Add(name + "-text", MakeInput(f, kText, kAllOpen | kAllOrbs, 1, 1, wander, plain));
        if (f < 2) sink.Add(name + "-cut", MakeInput(f, kCache, 0, 0, 1, walk, cache.substr(0, cache.size() / 2)));
    }
    sink.Add("complete", MakeInput(0, kText, kAllOpen | kAllOrbs | kAllCleared | kShown, 2, 5, wander,
                                   fuzz::ReadFile(resource + "Adventure.txt")));
}

}  // namespace seeds
