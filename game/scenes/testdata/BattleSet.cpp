// The battle data set grown into the game's folders: written once by its
// own writer into a staging folder (or the one CTest wrote read), then
// taken apart. Its archives become the entries of the archives the start-up registers under the same pack
// names (each fighter's and stage's in the folder whose list holds it; the
// jingles in the first folder's music archive), the HUD texture joins the
// scene archive, its effects are listed, and every other file but the
// settings texts is read by relative path from both folders. Its battle
// music gives way to the set's 41 tracks.
#include "engine/core/Crc32.h"
#include "engine/core/PackFile.h"
#include "engine/core/Memory.h"
#include "game/battle/testdata/BattleData.h"
#include "game/scenes/testdata/SceneData.h"
#include "host/kernel/Kernel.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace scene_data {

namespace {

namespace fs = std::filesystem;

// Where the start-up registers the battle's archive of that pack name.
bool RegisteredAs(const char* packName, GameArchive* archive, Folder* folder)
{
    const struct {
        const std::array<GameArchive, 14>& list;
        Folder folder;
    } lists[] = {{kFirstFolderArchives, Folder::kFirst}, {kSecondFolderArchives, Folder::kSecond},
        {kSharedArchives, Folder::kSecond}};
    for (const auto& l : lists) {
        for (const GameArchive& a : l.list) {
            if (std::strcmp(a.packName, packName) == 0) {
                *archive = a;
                *folder = l.folder;
                return true;
            }
        }
    }
    return false;
}

std::string TakeArchive(CSceneDataSet& set, const std::string& resource, const battle_data::Archive& from)
{
    GameArchive to{};
    Folder folder = Folder::kFirst;
    if (!RegisteredAs(from.packName, &to, &folder)) return std::string("no place for ") + from.packName;
    if (to.key != from.key) return std::string("key byte of ") + from.packName + " differs";
    CqelPackFile pack;
    const std::string path = resource + "/" + Native(from.path);
    if (!pack.OpenScrambled(path.c_str(), Crc32String(from.packName), from.key)) return "cannot open " + path;
    for (u32 i = 0; i < pack.GetCount(); ++i) {
        const PackEntry* entry = pack.GetEntry(i);
        u32 size = 0;
        u8* body = entry ? pack.ReadEntry(entry->name, &size) : nullptr;
        if (!body) return "cannot read " + path;
        set.PackEntry(to, folder, entry->name, std::string(reinterpret_cast<const char*>(body), size));
        AlignedFree(body);
    }
    return {};
}

std::string TakeFiles(CSceneDataSet& set, const std::string& resource)
{
    std::error_code code;
    for (fs::recursive_directory_iterator it(resource, code), end; !code && it != end; it.increment(code)) {
        if (!it->is_regular_file()) continue;
        const std::string relative = fs::relative(it->path(), resource).generic_string();
        if (relative == battle_data::kResourceList || relative.rfind("Data/", 0) == 0) continue;
        // The game reads the settings' caches under Setting/ (and the face
        // files cached beside them); their texts, which only a foreign cache
        // would send it to, stay out: a third of the set's files.
        const std::string extension = it->path().extension().string();
        if (relative.find('/') == std::string::npos && (extension == ".txt" || extension == ".fac")) continue;
        std::string bytes;
        if (!host::kernel::ReadWholeFile(it->path().string(), bytes)) return "cannot read " + relative;
        const std::string stem = it->path().stem().string();
        if (relative == "Console_01.dds") {
            set.PackEntry(kSceneArchive, Folder::kSecond, relative, std::move(bytes));
            continue;
        }
        if (relative.rfind("Effect/", 0) == 0) set.effects.push_back(stem);
        set.File(relative, std::move(bytes));
    }
    return code ? "cannot list " + resource : std::string();
}

}  // namespace

void AddBattleData(CSceneDataSet& set)
{
    // The set CTest wrote once for the run (fixture battle_data), when the
    // test names it: writing it again costs seconds of file syncs.
    if (const char* shared = std::getenv("ORV_BATTLE_DATA"); shared && *shared) {
        const std::string resource = battle_data::ResourceFolder(shared);
        if (!host::kernel::FileExists(resource + "/" + battle_data::kResourceList)) {
            set.error += std::string("no battle data set in ") + shared + " (the CTest fixture battle_data writes it)";
            return;
        }
        std::string error;
        for (const battle_data::Archive& a : battle_data::AllArchives()) error += TakeArchive(set, resource, a);
        error += TakeFiles(set, resource);
        set.error += error;
        return;
    }
    const char* base = std::getenv("TMPDIR");
    std::string staging = std::string(base && *base ? base : "/tmp") + "/orv-battle-XXXXXX";
    if (!mkdtemp(staging.data())) {
        set.error += "cannot make a staging folder";
        return;
    }
    std::string error;
    if (battle_data::WriteBattleData(staging, &error)) {
        const std::string resource = battle_data::ResourceFolder(staging);
        for (const battle_data::Archive& a : battle_data::AllArchives()) error += TakeArchive(set, resource, a);
        error += TakeFiles(set, resource);
    } else {
        error = "battle data: " + error;
    }
    std::error_code ignored;
    fs::remove_all(staging, ignored);
    set.error += error;
}

}  // namespace scene_data
