// The lobby base inside the running game: sounds, the Enter rules of the
// text entry with the input method.
#include "game/network/tests/LobbySceneHarness.h"

#include "host/kernel/tests/TempFolder.h"

#include <string>

namespace lobby_scene_base_run_test {

namespace ORV_TEST_FILE_ID {

using namespace lobby_scene_test;

namespace {

constexpr u8 kPadEnter = 156, kLeftShift = 42, kRightShift = 54;

class LobbySceneBaseRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        run.quietScreens = true;
        ASSERT_TRUE(run.Start());
        probe = std::make_unique<CProbeScene>(&run.client, &run.Context());
    }
    void TearDown() override
    {
        run.host->onUpdate = nullptr;
        probe.reset();
    }

    // Each frame the probe's field takes what Enter submits.
    void WatchField(bool chat)
    {
        run.host->onUpdate = [this, chat] {
            if (probe->TakeEntered(field, sizeof field, chat)) submitted.push_back(field);
        };
    }

    LobbySceneRun run;
    std::unique_ptr<CProbeScene> probe;
    char field[lobby_scene::kChatTextBytes] = {};
    std::vector<std::string> submitted;
};

}  // namespace

TEST_F(LobbySceneBaseRunTest, PlaySoundPlaysTheThreeSoundsAndNothingElse)
{
    const struct {
        u32 index;
        i32 result;
        const char* sound;
    } cases[] = {
        {0, 1, "Se_gameopt_select.ogg"}, {1, 1, "Se_gameopt_set.ogg"}, {2, 1, "Se_cancel.ogg"},
        {3, 0, nullptr},                 {1000, 0, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        EXPECT_EQ(probe->PlaySound(c.index), c.result);
        if (c.sound) {
            EXPECT_TRUE(menu_run::Playing(c.sound));
        }
    }
    // Without the client's sounds nothing plays.
    LobbySceneContext bare;
    EXPECT_EQ(CProbeScene(&run.client, &bare).PlaySound(0), 0);
    EXPECT_EQ(CProbeScene().PlaySound(0), 0);
}

TEST_F(LobbySceneBaseRunTest, TheEnterThatCommitsACandidateDoesNotSubmitTheNextDoes)
{
    probe->FocusField(1, 18.0f, 40);
    WatchField(true);
    run.Compose("かな");
    run.Commit("カナ");
    ASSERT_EQ(run.Ime().GetTextString(), "カナ");
    ASSERT_TRUE(run.Ime().GetChanged());

    // The committing Enter, held for a frame more.
    run.game.Input().SetKey(kEnter, true);
    run.game.Frames(2);
    run.game.Input().SetKey(kEnter, false);
    EXPECT_TRUE(submitted.empty());
    EXPECT_TRUE(run.Ime().GetChanged()) << "cleared while Enter was held";
    run.game.Frame();
    EXPECT_FALSE(run.Ime().GetChanged());

    run.PressKey(kPadEnter);
    ASSERT_EQ(submitted, std::vector<std::string>{"カナ"});
    EXPECT_EQ(run.Ime().GetTotalLength(), 0u);
}

TEST_F(LobbySceneBaseRunTest, EnterSubmitsNothingWhileComposingOrEmpty)
{
    probe->FocusField(1, 18.0f, 40);
    WatchField(false);
    run.PressKey(kEnter);   // empty
    run.Compose("かな");
    run.game.Frame();
    run.PressKey(kEnter);   // composing
    EXPECT_TRUE(submitted.empty());
    EXPECT_EQ(run.Ime().GetComposition(), "かな");
}

TEST_F(LobbySceneBaseRunTest, ShiftHoldsBackAChatLineButNotAField)
{
    for (bool chat : {true, false}) {
        for (u8 shift : {kLeftShift, kRightShift}) {
            SCOPED_TRACE(std::string(chat ? "chat" : "field") + " shift " + std::to_string(shift));
            submitted.clear();
            probe->FocusField(1, 18.0f, 40);
            WatchField(chat);
            run.Commit("abc");
            run.game.Frame();   // the commit's changed mark clears
            run.game.Input().SetKey(shift, true);
            run.PressKey(kEnter);
            run.game.Input().SetKey(shift, false);
            EXPECT_EQ(submitted.size(), chat ? 0u : 1u);
            probe->LeaveField();
            EXPECT_EQ(run.Ime().GetTotalLength(), 0u);
        }
    }
}

TEST_F(LobbySceneBaseRunTest, AStoredFieldLoadsOnAnEmptyEnterAndIsWrittenBackCut)
{
    char stored[lobby_scene::kPlayerNameBytes] = "player";
    probe->FocusField(1, 18.0f, 40);
    std::vector<bool> written;
    run.host->onUpdate = [&] { written.push_back(probe->EditStored(stored, sizeof stored)); };
    run.PressKey(kEnter);
    EXPECT_EQ(run.Ime().GetTextString(), "player");
    EXPECT_STREQ(stored, "player");

    // Typed on past the field: written back cut inside it at a character.
    run.Commit("ああああああ");   // 6 + 12 bytes
    run.game.Frame();
    run.PressKey(kEnter);
    EXPECT_TRUE(written.back());
    EXPECT_EQ(std::string(stored), "playerあああああ");   // 16 bytes
    EXPECT_EQ(stored[sizeof stored - 1], '\0');
}

TEST_F(LobbySceneBaseRunTest, ScrollBarsMoveDownTheirTrackAndKiraRunsWithTheClient)
{
    host::kernel::testing::TempFolder folder;
    const std::string path = folder.Path() + "Bars.sce";
    const std::string bytes = scene_data::LayoutBytes({"kira", "chat_bar"}, kTexture);
    ASSERT_TRUE(host::kernel::WriteFileAtomic(path, bytes.data(), bytes.size()));
    ASSERT_EQ(probe->LoadLayout(path.c_str()), 1);
    CSceneObject* kira = probe->FindLayer("kira");
    CSceneObject* bar = probe->FindLayer("chat_bar");
    ASSERT_TRUE(kira && bar);
    run.host->onUpdate = [&] { probe->Update(0); };
    run.host->onDraw = [&] {
        probe->DrawLayer(kira);
        probe->DrawKira(kira);
        probe->DrawScrollBar(bar, 100.0f, 10, 0);
        probe->DrawScrollBar(bar, 100.0f, 10, 5);
        probe->DrawScrollBar(bar, 100.0f, 0, 0);    // nothing to scroll: not drawn
        probe->DrawScrollBar(bar, 100.0f, -4, 0);   // fewer entries than rows
        probe->DrawLayer(nullptr);                  // a missing layer
    };
    run.game.Frames(20);
    const auto corners = run.Corners();
    ASSERT_EQ(corners.size(), 4u);
    const f32 s = probe->GetSceneState().scaleX;
    EXPECT_NEAR(corners[1].first - corners[0].first, run.Context().state.drift[5] * s, 0.01f);
    EXPECT_GT(run.Context().state.drift[5], 0.0f);
    EXPECT_NEAR(corners[3].second - corners[2].second, 50.0f * s, 0.01f);
    run.host->onUpdate = run.host->onDraw = nullptr;
}

}  // namespace ORV_TEST_FILE_ID

}  // namespace lobby_scene_base_run_test
