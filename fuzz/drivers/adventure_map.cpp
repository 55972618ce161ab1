// Fuzz driver for the adventure map on the game data set
// (AdventureMapDriver.h says how an input reads): the input's bytes replace
// the map list or one event file, as the cache the game opens or as the
// text with no cache beside it; the game starts headless, the save gets the
// input's flags, and the map loads at the input's cursor. Its Load must
// refuse a damaged map with a message box, never crash; a loaded map is
// walked with the input's keys, which may open a node's window and start
// its battle (the loading screen takes over). The data set is put back
// after each input.
#include "fuzz/FuzzSupport.h"
#include "fuzz/drivers/AdventureMapDriver.h"
#include "fuzz/drivers/GameDataFolder.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/data/SaveData.h"
#include "game/data/SettingFile.h"
#include "game/scenes/AdventureScene.h"
#include "game/scenes/GameApp.h"
#include "game/scenes/tests/MenuRun.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace {

using namespace fuzz::adventure_map;

// A key a move (0.3 s); settle: the open flip (a second); tail: the
// fades out of the map.
constexpr u32 kFramesPerKey = 20, kSettleFrames = 80, kTailFrames = 80;
constexpr u32 kKeyCodes[6] = {menu::kUp, menu::kDown, menu::kLeft, menu::kRight, menu::kDecide, menu::kCancel};

const std::string& DataRoot()
{
    static const std::string root = fuzz::WriteGameDataFolder("adventure");
    return root;
}

// One file of the map written in both folders, the other form removed
// when given (a cache with no text beside it is the one read; a text makes
// the cache beside it stale, and is read instead); both put back after.
class Swapped {
public:
    Swapped(const std::string& path, const std::string& other, bool removeOther, const uint8_t* bytes, size_t size)
    {
        for (const char* folder : {"/one/Resource/", "/two/Resource/"}) {
            Keep(DataRoot() + folder + path);
            Keep(DataRoot() + folder + other);
            fuzz::WriteFile(DataRoot() + folder + path, bytes, size);
            std::error_code ignored;
            if (removeOther) std::filesystem::remove(DataRoot() + folder + other, ignored);
        }
    }
    ~Swapped()
    {
        for (const auto& [path, bytes] : saved_) {
            std::error_code ignored;
            if (bytes)
                fuzz::WriteFile(path, bytes->data(), bytes->size());
            else
                std::filesystem::remove(path, ignored);
        }
    }
    Swapped(const Swapped&) = delete;
    Swapped& operator=(const Swapped&) = delete;

private:
    void Keep(const std::string& path)
    {
        std::optional<std::string> bytes;
        if (std::filesystem::exists(path)) bytes = fuzz::ReadFile(path);
        saved_.emplace(path, std::move(bytes));
    }
    std::map<std::string, std::optional<std::string>> saved_;
};

void PrepareSave(CSaveData& save, u8 bits)
{
    for (i32 i = 0; i < 256; ++i) {
        if (bits & kAllOpen) save.SetAdventureRewardFlag(i, 1);
        if (bits & kAllOrbs) save.SetUnlockFlag(i, 1);
        if (bits & kAllCleared) save.SetAdventureClearFlag(i, 1);
    }
    if (bits & kShown) {
        save.MarkAdventureRewardFlagsShown();
        save.MarkUnlockFlagsShown();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 5) return 0;
    DataRoot();
    fuzz::Input input(data, size);
    const u8 choice = input.Byte();
    const u32 file = choice % kFiles;
    const auto form = Form(choice / kFiles % 2);
    const u8 save = input.Byte();
    const u8 column = input.Byte(), halfRow = input.Byte();
    const u32 keyCount = input.Byte() % kMaxKeys;
    std::string keys;
    for (u32 i = 0; i < keyCount; ++i) keys += char(input.Byte());

    const std::string text = TextOf(file), cache = CSettingFile::MakeCachePath(text.c_str());
    const Swapped swapped(form == kCache ? cache : text, form == kCache ? text : cache, form == kCache, input.Rest(),
                          input.RestSize());
    game_test::DriverOptions options;
    options.startScene = [] { return new menu_run::CIdleScene(); };
    options.loaderWaitMs = 5000;
    options.desktopWidth = 1024;
    options.desktopHeight = 768;
    game_test::GameDriver game(DataRoot(), options);
    FUZZ_CHECK(game.Started());
    FUZZ_CHECK(game.App().LoadResources());
    PrepareSave(*game.App().GetSaveData(), save);

    CAdventureSceneArgs args;
    args.curtain = 0.0f;
    args.setup = new CBattleSetup(game.App().GetSaveConfig());
    args.setup->adventureMode = 1;
    args.column = column;
    args.halfRow = halfRow;
    game.App().ChangeScene(new CAdventureScene, reinterpret_cast<intptr_t>(&args));
    if (game.CurrentScene() != "CAdventureScene") {
        // Refused: a box said why and the title took over.
        FUZZ_CHECK(!game.Boxes().empty());
        return 0;
    }
    const auto* scene = dynamic_cast<const CAdventureScene*>(game.App().GetScene());
    const adventure::Cursor start = scene->GetCursor();
    FUZZ_CHECK(scene->GetMap().OnMap(start.column, start.halfRow));
    const u32 frames = kSettleFrames + kFramesPerKey * u32(keys.size()) + kTailFrames;
    for (u32 frame = 0; frame < frames && game.CurrentScene() == "CAdventureScene"; ++frame) {
        const u32 key = frame < kSettleFrames ? ~0u : (frame - kSettleFrames) / kFramesPerKey;
        if (key < keys.size() && (frame - kSettleFrames) % kFramesPerKey == 0)
            game.Press(kKeyCodes[u8(keys[key]) % 6]);
        else
            game.Frame();
        if (const auto* map = dynamic_cast<const CAdventureScene*>(game.App().GetScene())) {
            const adventure::Cursor at = map->GetTarget();
            FUZZ_CHECK(map->GetMap().OnMap(at.column, at.halfRow));
        }
    }
    // The map, the select it went back to, or the battle's loading screen.
    FUZZ_CHECK(!game.CurrentScene().empty() || game.QuitPosted());
    return 0;
}
