// Each menu's header on real OpenGL at 1024 x 768, read by tesseract: the
// words that name the screen (no layer's own name, no blank box where a
// header stands). Written to the build folder as Header<Screen>.png (the
// whole frame) and HeaderRead<Screen>.png (the part read).
#include "engine/core/Scene.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/battle/scene/tests/gl/Png.h"
#include "game/scenes/AdventureScene.h"
#include "game/scenes/CharaSelect.h"
#include "game/scenes/GameApp.h"
#include "game/scenes/GameOption.h"
#include "game/scenes/MenuScene.h"
#include "game/scenes/OptionSelect.h"
#include "game/scenes/RecordScene.h"
#include "game/scenes/ReplayScene.h"
#include "game/scenes/tests/TextRecogniser.h"
#include "game/scenes/tests/gl/GlGame.h"
#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

constexpr u32 kWidth = gl_test::kLayoutWidth, kHeight = gl_test::kLayoutHeight;

class MenuHeaders : public gl_test::GlGame {
protected:
    void SetUp() override { ASSERT_TRUE(StartIdle()); }
};

TEST_F(MenuHeaders, EachScreenIsNamedAtItsTopLeft)
{
    // The option screens' and the character select's header stands at
    // (32, 24), 256 x 40; the record's, the replay list's and the
    // adventure map's frame names its screen at (24, 16), 200 x 40.
    // The blocks outlive each scene's Load; the set-ups are the scenes'.
    MenuSetupArgs setup;
    MenuArgs menu;
    CReplaySceneArgs replay{nullptr, nullptr, 0.0f, 1.0f, 0, 0};
    CAdventureSceneArgs adventure;
    const auto withSetup = [&](MenuSetupArgs& args) {
        args.curtain = 0.0f;
        args.alpha = 1.0f;
        args.setup = new CBattleSetup(app_->GetSaveConfig());
        return reinterpret_cast<intptr_t>(&args);
    };
    const auto plain = [&] {
        menu.curtain = 0.0f;
        return reinterpret_cast<intptr_t>(&menu);
    };
    const struct {
        std::string screen, words;
        text_recogniser::Box box;
        std::function<CScene*(intptr_t* block)> make;
    } rows[] = {
        {"OptionSelect", "Battle options", {35, 27, 250, 34},
         [&](intptr_t* block) { return *block = withSetup(setup), new COptionSelect; }},
        {"Options", "Options", {35, 27, 250, 34}, [&](intptr_t* block) { return *block = plain(), new CGameOption; }},
        {"CharaSelect", "Characters", {35, 27, 250, 34},
         [&](intptr_t* block) { return *block = withSetup(setup), new CCharaSelect; }},
        {"Record", "Record", {27, 19, 194, 34}, [&](intptr_t* block) { return *block = plain(), new CRecordScene; }},
        {"Replay", "Replays", {27, 19, 194, 34},
         [&](intptr_t* block) { return *block = reinterpret_cast<intptr_t>(&replay), new CReplayScene; }},
        {"Adventure", "Adventure", {27, 19, 194, 34}, [&](intptr_t* block) {
             *block = withSetup(adventure);
             adventure.setup->adventureMode = 1;
             return new CAdventureScene;
         }},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.screen);
        intptr_t block = 0;
        CScene* scene = r.make(&block);
        app_->ChangeScene(scene, block);
        ASSERT_EQ(app_->GetScene(), scene);
        for (u32 i = 0; i < 90; ++i) Frame(17);
        const std::vector<u32> frame = ReadFrame(kWidth, kHeight);
        const std::string png = gl_test::Png(frame, kWidth, kHeight);
        ASSERT_TRUE(host::kernel::WriteFileAtomic(Out("Header" + r.screen + ".png"), png.data(), png.size()));
        int status = 0;
        const std::string read =
            text_recogniser::ReadBoxes(frame, kWidth, {{r.box}}, Out("HeaderRead" + r.screen + ".png"), &status);
        ASSERT_NE(status, 127) << "tesseract is not installed (scripts/install-deps.sh installs it)";
        std::string expected = r.words;
        std::erase(expected, ' ');
        EXPECT_EQ(read, expected + "\n") << "see " << Out("Header" + r.screen + ".png");
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
