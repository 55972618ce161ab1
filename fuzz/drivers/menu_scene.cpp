// Fuzz driver for the menu scenes on the game data set (MenuSceneDriver.h
// says how an input reads): the input's file replaces one the game reads
// (a layout, the opening movie, the skill list or a save), the game starts
// headless on the fakes as the entry starts it, reaches the chosen scene
// (the start-up screen at once; the others from the logo, by a scene
// change), runs frames pressing the input's keys, draws, and exits. A file
// that does not load must take the failure path (a message box, a new
// title, or the program's end), never a crash; the data set is put back
// after each input.
#include "fuzz/FuzzSupport.h"
#include "fuzz/drivers/GameDataFolder.h"
#include "fuzz/drivers/MenuSceneDriver.h"
#include "game/data/SaveConfig.h"
#include "game/data/SaveData.h"
#include "game/data/SaveRecord.h"
#include "game/scenes/BeginLoading.h"
#include "game/scenes/GameApp.h"
#include "game/scenes/GameOption.h"
#include "game/scenes/LoadingScene.h"
#include "game/scenes/LogoScene.h"
#include "game/scenes/MenuScene.h"
#include "game/scenes/RecordScene.h"
#include "game/scenes/TitleScene.h"
#include "game/scenes/tests/GameDriver.h"

#include <cstdint>
#include <map>
#include <string>

namespace {

using namespace fuzz::menu_scene;

// Frames run in the chosen scene: the logo's fades, hold and a second of
// its movie; the others' fades and every key.
constexpr u32 kLogoFrames = 270, kFrames = 80;
constexpr u32 kFramesPerKey = 6;
// Frames the start-up screen may take to hand over the logo (loading frames
// count in real time inside the driver).
constexpr u32 kStartFrames = 400;

// The data set, written once per process.
const std::string& DataRoot()
{
    static const std::string root = fuzz::WriteGameDataFolder("game");
    return root;
}

// A data file replaced in both folders for one input, put back after it.
class Replaced {
public:
    Replaced(const std::string& path, const uint8_t* bytes, size_t size)
    {
        for (const char* folder : {"/one/Resource/", "/two/Resource/"}) {
            const std::string full = DataRoot() + folder + path;
            saved_.emplace(full, fuzz::ReadFile(full));
            fuzz::WriteFile(full, bytes, size);
        }
    }
    ~Replaced()
    {
        for (const auto& [path, bytes] : saved_) fuzz::WriteFile(path, bytes.data(), bytes.size());
    }
    Replaced(const Replaced&) = delete;
    Replaced& operator=(const Replaced&) = delete;

private:
    std::map<std::string, std::string> saved_;
};

const char* SaveFile(FileKind file)
{
    switch (file) {
    case kConfig: return CSaveConfig::kFileName;
    case kRecordSave: return CSaveRecord::kFileName;
    case kDataSave: return CSaveData::kFileName;
    default: return nullptr;
    }
}

// From the logo (current, loaded) to the chosen scene by a scene change,
// as a menu would make it (a failed Load takes the application's failure
// path: a box, then a new title).
i32 EnterScene(CGameApp& app, Scene scene)
{
    switch (scene) {
    case kLoading: {
        LoadingArgs loading{new CRecordScene(), 0, 0};
        return app.ChangeScene(new CLoadingScene(), reinterpret_cast<intptr_t>(&loading));
    }
    case kTitle: return app.ChangeScene(new CTitleScene(), 0);
    case kRecord: return app.ChangeScene(new CRecordScene(), 0);
    case kOptions: return app.ChangeScene(new CGameOption(), 0);
    default: return 0;
    }
}

// The start-up screen until it hands the logo over (a button once loaded);
// false when it never does (its load failed).
bool ReachLogo(game_test::GameDriver& game)
{
    // A press needs a frame with the key up before it to count.
    for (u32 i = 0; i < kStartFrames && !game.QuitPosted(); i += 2) {
        if (game.CurrentScene() == "CLogoScene") return true;
        game.Press(menu::kDecide);
        game.Frame();
    }
    return game.CurrentScene() == "CLogoScene";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2) return 0;
    DataRoot();
    fuzz::Input input(data, size);
    const u8 choice = input.Byte();
    const auto scene = Scene(choice % kSceneCount);
    const auto file = FileKind(choice / kSceneCount % kFileCount);
    const u32 keyCount = input.Byte() % kMaxKeys;
    std::string keys;
    for (u32 i = 0; i < keyCount; ++i) keys += char(input.Byte());

    std::unique_ptr<Replaced> replaced;
    if (file == kOwnFile) replaced = std::make_unique<Replaced>(OwnFile(scene), input.Rest(), input.RestSize());
    if (file == kSkillList) replaced = std::make_unique<Replaced>(kSkillFile, input.Rest(), input.RestSize());
    game_test::DriverOptions options;
    options.loaderWaitMs = 5000;
    // The fake device clears and copies whole surfaces every frame.
    options.desktopWidth = 1024;
    options.desktopHeight = 768;
    if (const char* save = SaveFile(file)) {
        const std::string bytes(reinterpret_cast<const char*>(input.Rest()), input.RestSize());
        options.beforeInit = [save, bytes](const std::string& userFolder) {
            host::kernel::CreateDirectories(userFolder);
            fuzz::WriteFile(userFolder + save, bytes.data(), bytes.size());
        };
    }

    game_test::GameDriver game(DataRoot(), options);
    if (!game.Started()) {
        // A save that does not load stops the start with a box.
        FUZZ_CHECK(!game.Boxes().empty());
        return 0;
    }
    if (scene != kBeginLoading) {
        if (!ReachLogo(game)) return 0;
        EnterScene(game.App(), scene);
    }
    const u32 frames = scene == kLogo ? kLogoFrames : kFrames;
    for (u32 frame = 0; frame < frames && !game.QuitPosted(); ++frame) {
        const u32 key = frame / kFramesPerKey;
        if (frame % kFramesPerKey == 0 && key < keys.size()) {
            game.Press(8 + u8(keys[key]) % kKeyActionCount);
        } else {
            game.Frame();
        }
    }
    // Some scene runs, or the program ends.
    FUZZ_CHECK(!game.CurrentScene().empty() || game.QuitPosted());
    return 0;
}
