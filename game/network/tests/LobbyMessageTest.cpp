// The lobby's message window run by the client in the headless game:
// scripted buttons and keys in, the fake render device's sprites out.
#include "game/network/tests/LobbySceneHarness.h"

#include "host/kernel/tests/TempFolder.h"

#include <algorithm>
#include <map>
#include <string>

namespace lobby_message_test {

namespace ORV_TEST_FILE_ID {

using namespace lobby_scene_test;
using M = CLobbySceneMessage;

namespace {

constexpr u32 kWhite = 0xFFFFFFFFu, kDim = 0xFF808080u;

class LobbyMessageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        run.quietScreens = true;
        ASSERT_TRUE(run.Start());
        probe = std::make_unique<CProbeScene>(&run.client, &run.Context());
    }
    void TearDown() override
    {
        run.Message().Show(M::kNone, nullptr);
        run.host->onUpdate = run.host->onDraw = nullptr;
    }
    void Show(u32 code, u32 value = 0)
    {
        run.Message().ShowWithValue(code, value, probe.get());
        run.game.Frame();
    }
    DrawnLayer L(const char* name, u32 colour = kWhite) { return {name, colour}; }
    // A button pressed, then a frame with it up: presses of one button in a
    // row each count.
    void Tap(u32 button)
    {
        run.game.Press(button);
        run.game.Frame();
    }

    LobbySceneRun run;
    std::unique_ptr<CProbeScene> probe;
};

// A copy of the message layout without some layers, and a message window
// that loads it.
class CVariantMessage : public CLobbySceneMessage {
public:
    CVariantMessage(CLobbyClient* client, LobbySceneContext* context) : CLobbySceneMessage(client, context) {}
    using CLobbySceneBase::LoadLayout;
};

std::string WriteVariant(const host::kernel::testing::TempFolder& folder, const std::vector<std::string>& missing,
                         std::vector<std::string>* kept)
{
    scene_data::CSceneDataSet data;
    scene_data::AddLobbyData(data);
    std::vector<std::string> layers;
    for (const std::string& path : data.layouts[M::kLayout]) {
        const std::string name = path.substr(path.rfind('/') + 1);
        if (std::find(missing.begin(), missing.end(), name) == missing.end()) layers.push_back(path);
    }
    const std::string path = folder.Path() + "Variant.sce";
    const std::string bytes = scene_data::LayoutBytes(layers, kTexture);
    *kept = layers;
    if (!host::kernel::WriteFileAtomic(path, bytes.data(), bytes.size())) ADD_FAILURE() << "cannot write " << path;
    return path;
}

}  // namespace

TEST_F(LobbyMessageTest, WaitingDotsLightOneAfterAnotherEveryHalfSecond)
{
    Show(0);
    const std::vector<DrawnLayer> expected[3] = {
        {L("Base1"), L("Server"), L("ten4"), L("ten5", kDim), L("ten6", kDim)},
        {L("Base1"), L("Server"), L("ten4", kDim), L("ten5"), L("ten6", kDim)},
        {L("Base1"), L("Server"), L("ten4", kDim), L("ten5", kDim), L("ten6")},
    };
    EXPECT_EQ(run.Drawn(), expected[0]);
    // Frames of 16 or 17 ms: 0.5 s is past by frame 31.
    run.game.Frames(31);
    EXPECT_EQ(run.Drawn(), expected[1]);
    run.game.Frames(31);
    EXPECT_EQ(run.Drawn(), expected[2]);
    run.game.Frames(31);
    EXPECT_EQ(run.Drawn(), expected[0]);
    // No button ends a wait.
    run.game.Press(menu::kDecide);
    EXPECT_TRUE(run.Set().MessagePending());
}

TEST_F(LobbyMessageTest, ANoticeIgnoresButtonsInItsFirstFifthOfASecond)
{
    Show(13);
    run.game.Frames(4);
    run.game.Press(menu::kDecide);
    EXPECT_TRUE(run.Set().MessagePending());
    run.game.Frames(8);
    run.game.Press(menu::kCancel);
    EXPECT_FALSE(run.Set().MessagePending());
    EXPECT_TRUE(run.Message().IsAnswered());
    EXPECT_TRUE(menu_run::Playing("Se_gameopt_set.ogg"));
    EXPECT_TRUE(probe->answers.empty()) << "a notice calls no screen back";
    run.game.Frame();
    EXPECT_TRUE(run.DrawnNames().empty()) << "an answered message is not drawn";
}

TEST_F(LobbyMessageTest, YesNoTogglesAndOnlyDecideCallsBack)
{
    const struct {
        u32 code;
        const char* message;
        const char* yes;
        const char* no;
    } cases[] = {{20, "UserKick", "yes", "no"},     {21, "NetworkEnd", "yes2", "no2"},
                 {22, "RoomQuit", "yes3", "no3"},   {23, "RoomClose", "yes5", "no5"},
                 {24, "BattleStart", "yes4", "no4"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        probe->answers.clear();
        Show(c.code);
        EXPECT_EQ(run.Drawn(), (std::vector<DrawnLayer>{L("Base2"), L(c.message), L(c.yes, kDim), L(c.no)}));
        run.game.Press(menu::kRight);
        EXPECT_EQ(run.ColourOf(c.yes), kWhite);
        EXPECT_EQ(run.ColourOf(c.no), kDim);
        run.game.Press(menu::kCancel);
        EXPECT_TRUE(run.Message().IsAnswered());
        EXPECT_TRUE(probe->answers.empty());

        Show(c.code);   // reset: back on no
        EXPECT_EQ(run.ColourOf(c.no), kWhite);
        run.game.Press(menu::kStickLeft);
        run.game.Press(menu::kLeft);
        run.game.Press(menu::kStickRight);
        run.game.Press(menu::kDecide);
        EXPECT_EQ(probe->answers, (std::vector<CProbeScene::Answer>{{c.code, 1}}));
    }
}

TEST_F(LobbyMessageTest, MenusWrapOverTheirOptionsOnly)
{
    const struct {
        u32 code;
        std::vector<const char*> options;
        std::vector<u32> downs;   // the option after each press of down
    } cases[] = {
        {25, {"Pnewroom", "Pnetoff"}, {1, 0, 1}},
        {26, {"Ptaisen", "Proomchange", "Proomoff"}, {1, 2, 0}},
        {27, {"Piptaisen", "Proomipoff"}, {1, 0, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        Show(c.code);
        for (u32 option : c.downs) {
            Tap(menu::kDown);
            for (u32 k = 0; k < c.options.size(); ++k)
                EXPECT_EQ(run.ColourOf(c.options[k]), k == option ? kWhite : kDim) << c.options[k];
        }
        Tap(menu::kStickUp);
        Tap(menu::kUp);
        probe->answers.clear();
        run.game.Press(menu::kDecide);
        const u32 back = (c.downs.back() + 2 * c.options.size() - 2) % c.options.size();
        EXPECT_EQ(probe->answers, (std::vector<CProbeScene::Answer>{{c.code, back}}));
    }
}

// Keys down in one frame each take their step: up and down both move (the
// host's room menus answer "battle"), and decide and cancel both act with
// their sounds, the cancel on the answered dialog alone.
TEST_F(LobbyMessageTest, KeysInOneFrameEachTakeTheirStep)
{
    const auto together = [&](std::initializer_list<u32> codes) {
        for (u32 code : codes) run.game.Hold(code, true);
        run.game.Frame();
        for (u32 code : codes) run.game.Hold(code, false);
        run.game.Frame();
    };
    const struct {
        u32 code;
        u32 downsFirst;   // taps of down before
        u32 answer;
    } moves[] = {{25, 0, 0}, {26, 0, 0}, {27, 0, 0}, {26, 1, 1}, {26, 2, 2}, {27, 1, 1}};
    for (const auto& c : moves) {
        SCOPED_TRACE(testing::Message() << c.code << " from " << c.downsFirst);
        probe->answers.clear();
        Show(c.code);
        for (u32 i = 0; i < c.downsFirst; ++i) Tap(menu::kDown);
        together({menu::kUp, menu::kStickDown, menu::kDecide});
        EXPECT_EQ(probe->answers, (std::vector<CProbeScene::Answer>{{c.code, c.answer}}));
    }
    const struct {
        u32 code;
        u32 rights;   // yes/no: 1 stands on yes
        u32 answer;
    } answers[] = {{26, 0, 0}, {27, 0, 0}, {24, 1, 1}, {20, 0, 0}, {21, 1, 1}};
    for (const auto& c : answers) {
        SCOPED_TRACE(c.code);
        probe->answers.clear();
        Show(c.code);
        for (u32 i = 0; i < c.rights; ++i) Tap(menu::kRight);
        for (const char* sound : {"Se_cancel.ogg", "Se_gameopt_set.ogg"}) menu::FindSound(sound)->StopAll(1);
        together({menu::kDecide, menu::kCancel});
        EXPECT_EQ(probe->answers, (std::vector<CProbeScene::Answer>{{c.code, c.answer}}));
        EXPECT_TRUE(run.Message().IsAnswered());
        EXPECT_TRUE(menu_run::Playing("Se_gameopt_set.ogg"));
        EXPECT_TRUE(menu_run::Playing("Se_cancel.ogg"));
    }
}

TEST_F(LobbyMessageTest, ARaisedCodeReplacesTheShownOneWithItsRecordReset)
{
    Show(21);
    run.game.Press(menu::kRight);
    ASSERT_EQ(run.Message().GetRecord(21).value, 1u);
    Show(26);
    run.game.Press(menu::kDown);
    Show(21);
    EXPECT_EQ(run.Message().GetRecord(21).value, 0u);
    EXPECT_EQ(run.DrawnNames(), (std::vector<std::string>{"Base2", "NetworkEnd", "yes2", "no2"}));
    // The client's own events go through the same window.
    run.client.PostEvent(kEventLoginRefused);
    EXPECT_TRUE(run.Message().IsCode(13));
    EXPECT_EQ(run.Message().GetReturnScene(), run.Set().Scene(LobbyLayer(run.client.GetScreen())));
}

TEST_F(LobbyMessageTest, ThePasswordEntryHasNoCancelAndSubmitsWithEnter)
{
    Show(M::kPasswordCode, 77);
    ASSERT_TRUE(run.Ime().IsEnabled());
    run.game.Press(menu::kCancel);
    run.PressKey(kEnter);   // nothing typed
    EXPECT_TRUE(run.Message().IsCode(M::kPasswordCode));
    EXPECT_FALSE(run.Message().IsAnswered());

    run.Commit("secret1234");   // over the 8 bytes the entry takes
    EXPECT_EQ(run.Ime().GetTextString(), "secret12");
    run.game.Frame();
    run.PressKey(kEnter);
    EXPECT_TRUE(run.Message().IsCode(M::kPasswordSentCode));
    EXPECT_EQ(run.Message().GetReturnScene(), probe.get());
    EXPECT_TRUE(run.Message().GetRecord(M::kPasswordCode).answered);
    EXPECT_FALSE(run.Ime().IsEnabled()) << "the entry is off once the password went";
}

TEST_F(LobbyMessageTest, OtherKindsSwitchTheTextEntryOff)
{
    Show(M::kPasswordCode);
    run.Commit("pw");
    Show(22);
    EXPECT_FALSE(run.Ime().IsEnabled());
    EXPECT_EQ(run.Ime().GetTotalLength(), 0u);
}

TEST_F(LobbyMessageTest, TheLineInformationShowsLabelsAndCappedStarRows)
{
    // Labels, then stars from x 460: one glyph per star.
    auto rows = [&] {
        std::vector<Glyph> glyphs = run.Glyphs();
        std::vector<f32> labelRows;   // each label's first glyph, text colour
        for (const Glyph& g : glyphs)
            if (g.colour == kWhite && g.x < 380.0f * run.Scale() &&
                std::none_of(labelRows.begin(), labelRows.end(), [&](f32 y) { return std::abs(y - g.y) < 2.0f; }))
                labelRows.push_back(g.y);
        std::sort(labelRows.begin(), labelRows.end());
        std::vector<u32> stars(labelRows.size());
        for (const Glyph& g : glyphs)
            for (size_t r = 0; r < labelRows.size(); ++r)
                if (g.colour == kWhite && g.x > 455.0f * run.Scale() && std::abs(g.y - labelRows[r]) < 2.0f) ++stars[r];
        return stars;
    };
    // Through the client's line test (the double reports 1, 2, 3 ms, 99 each
    // way); the worker posts 18 in the lock hold that stores the results.
    run.client.StartLineTest();
    host::kernel::Event wait(true, false);
    for (u32 i = 0; i < 500 && run.client.GetLineTestResults().udpMs != 3; ++i) wait.Wait(10);
    ASSERT_TRUE(run.Message().IsCode(M::kLineInformationCode));
    run.game.Frame();
    EXPECT_EQ(run.DrawnNames(), std::vector<std::string>{"Base4"});
    EXPECT_EQ(rows(), (std::vector<u32>{0, 10, 10, 9, 9}));

    auto& results = const_cast<LineTestResults&>(*run.Context().state.lineTest);
    const struct {
        LineTestResults results;
        std::vector<u32> stars;
    } cases[] = {
        {{800, 0, 0, 0, 0}, {0, 0, 0, 0, 0}},
        {{100, 420, 420, 35, 0xFFFFFFFFu}, {0, 7, 7, 10, 3}},
        {{0, 750, 799, 0xFFFFFFFFu, 100}, {0, 1, 0, 10, 10}},
    };
    for (const auto& c : cases) {
        results = c.results;
        run.game.Frame();
        EXPECT_EQ(rows(), c.stars);
    }
}

TEST_F(LobbyMessageTest, MissingLayersAreSkippedAndAMenuWithoutOptionsStaysPut)
{
    host::kernel::testing::TempFolder folder;
    std::vector<std::string> variantLayers;
    const std::string path =
        WriteVariant(folder, {"Base1", "ten5", "Piptaisen", "Proomipoff", "no2"}, &variantLayers);
    CVariantMessage variant(&run.client, &run.Context());
    ASSERT_EQ(variant.LoadLayout(path.c_str()), 1);
    EXPECT_EQ(variant.GetRecord(0).layers[M::kPanel], nullptr);
    EXPECT_EQ(variant.GetRecord(27).layers[M::kOption0], nullptr);
    run.host->onUpdate = [&] { variant.Update(0); };
    run.host->onDraw = [&] { variant.Draw(0); };

    const std::vector<std::string> layers = run.MessageLayers(variantLayers);
    variant.Show(1, probe.get());   // Base1 gone
    run.game.Frame();
    EXPECT_EQ(run.DrawnNames(layers), (std::vector<std::string>{"Login", "ten7", "ten8", "ten9"}));
    variant.Show(0, probe.get());   // one dot gone
    run.game.Frame();
    EXPECT_EQ(run.DrawnNames(layers), (std::vector<std::string>{"Server", "ten4", "ten6"}));
    variant.Show(21, probe.get());   // no2 gone
    run.game.Frame();
    EXPECT_EQ(run.DrawnNames(layers), (std::vector<std::string>{"Base2", "NetworkEnd", "yes2"}));

    variant.Show(27, probe.get());
    for (u32 button : {menu::kDown, menu::kDown, menu::kUp, menu::kStickDown}) Tap(button);
    EXPECT_EQ(variant.GetRecord(27).value, 0u);
    run.game.Press(menu::kDecide);
    EXPECT_EQ(probe->answers, (std::vector<CProbeScene::Answer>{{27, 0}}));
}

}  // namespace ORV_TEST_FILE_ID

}  // namespace lobby_message_test
