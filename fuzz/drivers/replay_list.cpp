// Fuzz driver for the replay list on the game data set (ReplayListDriver.h
// says how an input reads): the input's files go into their slots of the
// per-user folder, the game starts headless, the list opens on the page of
// the first file, and frames run pressing the input's keys: rows, page
// turns, and a decide that hands a playable slot to the battle's Load
// through the loading screen. A damaged file must show as empty or foreign,
// or take the loading screen's failure path; never a crash or a read past
// a field.
#include "fuzz/FuzzSupport.h"
#include "fuzz/drivers/GameDataFolder.h"
#include "fuzz/drivers/ReplayListDriver.h"
#include "game/data/Replay.h"
#include "game/scenes/GameApp.h"
#include "game/scenes/ReplayScene.h"
#include "game/scenes/tests/GameDriver.h"
#include "game/scenes/tests/MenuRun.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

using namespace fuzz::replay_list;

// The list's fade-in, every key, and a battle's load and first frames.
constexpr u32 kFrames = 160;
constexpr u32 kFramesPerKey = 6;

const std::string& DataRoot()
{
    static const std::string root = fuzz::WriteGameDataFolder("game");
    return root;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    DataRoot();
    fuzz::Input input(data, size);
    const u32 keyCount = input.Byte() % kMaxKeys;
    std::string keys;
    for (u32 i = 0; i < keyCount; ++i) keys += char(input.Byte());
    std::vector<SlotFile> files;
    while (files.size() < kMaxFiles && input.RestSize() > 0) {
        const u32 slot = 1 + input.Byte() % kSlots;
        const u32 length = input.Byte() | u32(input.Byte()) << 8;
        const size_t taken = length < input.RestSize() ? length : input.RestSize();
        files.emplace_back(slot, std::string(reinterpret_cast<const char*>(input.Rest()), taken));
        for (size_t i = 0; i < taken; ++i) input.Byte();
    }

    game_test::DriverOptions options = menu_run::Options();
    options.loaderWaitMs = 5000;
    options.desktopWidth = 1024;
    options.desktopHeight = 768;
    options.beforeInit = [&files](const std::string& folder) {
        host::kernel::CreateDirectories(folder);
        for (const auto& [slot, bytes] : files) {
            const std::string path = ReplaySlotPath(folder, slot);
            fuzz::WriteFile(path, bytes.data(), bytes.size());
        }
    };
    game_test::GameDriver game(DataRoot(), options);
    FUZZ_CHECK(game.Started());
    FUZZ_CHECK(game.App().LoadResources());
    const u32 first = files.empty() ? 1 : files[0].first;
    CReplaySceneArgs args{nullptr, nullptr, 0.0f, 1.0f, i32((first - 1) % 10), i32((first - 1) / 10)};
    game.App().ChangeScene(new CReplayScene(), reinterpret_cast<intptr_t>(&args));
    FUZZ_CHECK(game.CurrentScene() == "CReplayScene");

    // A slot without a file, or whose file ends inside its header, reads
    // as empty.
    const auto* list = dynamic_cast<const CReplayScene*>(game.App().GetScene());
    for (u32 slot = 1; slot <= kSlots; ++slot) {
        size_t bytes = 0;
        bool written = false;
        for (const auto& [s, b] : files)
            if (s == slot) bytes = b.size(), written = true;
        if (!written || bytes < 4 + kReplayHeaderBytes) FUZZ_CHECK(list->GetHeader(slot - 1).version == 0);
        // The texts of every row stay inside their fields.
        for (const auto& text : replay_list::RowTexts(list->GetHeader(slot - 1), 0, 0)) FUZZ_CHECK(text.text.size() <= 32);
    }

    for (u32 frame = 0; frame < kFrames && !game.QuitPosted(); ++frame) {
        const u32 key = frame / kFramesPerKey;
        if (frame % kFramesPerKey == 0 && key < keys.size()) {
            game.Press(8 + u8(keys[key]) % 24);
        } else {
            game.Frame();
        }
    }
    FUZZ_CHECK(!game.CurrentScene().empty() || game.QuitPosted());
    return 0;
}
