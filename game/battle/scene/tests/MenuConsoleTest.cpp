// The in-battle menus: every page's action codes, cursor wrap-around at
// both ends, which page input goes to, and the highlight as drawn.
#include "game/battle/scene/MenuConsole.h"
#include "game/battle/scene/tests/ConsoleTestSupport.h"
#include "engine/platform/tests/SoundTestSupport.h"
#include "host/kernel/Kernel.h"
#include "host/kernel/tests/TempFolder.h"

#include <fstream>
#include <sys/stat.h>

namespace ORV_TEST_FILE_ID {

namespace {

using console_test::FakeInput;

constexpr u32 kDown = 13, kUp = 12, kRight = 15, kLeft = 14, kDecide = 22, kCancel = 23, kMenu = 30;

class MenuConsoleTest : public console_test::ConsoleTest {
protected:
    void SetUp() override
    {
        ConsoleTest::SetUp();
        for (const char* n : {"Se_gameopt_select.ogg", "Se_gameopt_set.ogg", "Se_cancel.ogg"}) ListSound(n);
        menu_.SetInput(&input_);
        menu_.SetQuit(&Quit);
        quits_ = 0;
    }

    void Press(u32 code)
    {
        input_.Press(code);
        menu_.Update(0);
        input_.Press(kInputCodeCount);
    }

    static void Quit() { ++quits_; }

    CMenuConsole menu_{&scene_};
    FakeInput input_;
    static inline int quits_ = 0;
};

}  // namespace

TEST_F(MenuConsoleTest, EveryItemOfEveryPageHandsOnItsActionCode)
{
    const struct {
        u32 kind;
        std::vector<u32> pause, end;
    } kinds[] = {
        {1, {2, 5, 4, 3}, {5, 4, 3}},
        {3, {2, 5, 6, 7, 4}, {5, 4, 3}},
        {4, {2, 5, 4, 3}, {5, 4, 3}},
        {6, {2, 3}, {5, 3}},
        {8, {2, 3}, {5, 4, 3}},
        {9, {2, 5, 10, 3}, {5, 10, 3}},
        {11, {2, 5, 4, 11, 3}, {5, 4, 11, 3}},
        {13, {2, 3}, {3}},
    };
    const std::set<u32> toScene = {3, 4, 5, 10, 11};
    for (const auto& k : kinds) {
        for (u32 page : {0u, 2u}) {
            const std::vector<u32>& actions = page == 0 ? k.pause : k.end;
            for (size_t item = 0; item < actions.size(); ++item) {
                SCOPED_TRACE(testing::Message() << "kind " << k.kind << " page " << page << " item " << item);
                CMenuConsole menu(&scene_);
                menu.SetInput(&input_);
                ASSERT_EQ(menu.Load(&layout_, k.kind), 1u);
                scene_.reports.clear();
                if (page == 0) input_.Press(kMenu), menu.Update(0);
                else menu.OpenEndMenu();
                ASSERT_EQ(menu.GetPage(page).count, actions.size());
                // A one-item page opens with nothing chosen: one step down chooses it.
                const size_t steps = actions.size() == 1 ? 1 : item;
                for (size_t s = 0; s < steps; ++s) input_.Press(kDown), menu.Update(0);
                input_.Press(kDecide);
                menu.Update(0);
                EXPECT_FALSE(menu.IsOpen());
                std::vector<std::pair<u32, u32>> expected;
                if (toScene.count(actions[item])) expected.emplace_back(kConsoleMsgEndCode, actions[item]);
                EXPECT_EQ(scene_.reports, expected);
            }
        }
    }
}

TEST_F(MenuConsoleTest, CursorWrapsAtBothEnds)
{
    ASSERT_EQ(menu_.Load(&layout_, kMenuKindFree), 1u);
    Press(kMenu);
    const struct {
        u32 button;
        i32 selection;
    } steps[] = {{kUp, 3}, {kDown, 0}, {kDown, 1}, {9, 2}, {8, 1}, {kUp, 0}, {kUp, 3}, {kDown, 0}};
    for (const auto& s : steps) {
        Press(s.button);
        EXPECT_EQ(menu_.GetPage(0).selection, s.selection) << "button " << s.button;
    }
}

TEST_F(MenuConsoleTest, TrainingValuesWrapAndReachTheScene)
{
    ASSERT_EQ(menu_.Load(&layout_, kMenuKindTraining), 1u);
    // Loading a training menu reports both values.
    EXPECT_EQ(scene_.reports, (std::vector<std::pair<u32, u32>>{{48, 5}, {49, 0}}));
    Press(kMenu);
    Press(kDown);
    Press(kDown);   // on value A
    const struct {
        u32 button;
        i32 a;
    } a[] = {{kRight, 6}, {kRight, 7}, {kRight, 8}, {kRight, 9}, {kRight, 10}, {kRight, 0}, {kLeft, 10}, {11, 0},
        {10, 10}};
    for (const auto& s : a) {
        Press(s.button);
        EXPECT_EQ(menu_.GetTrainingA(), s.a);
        EXPECT_EQ(scene_.reports.back(), std::make_pair(u32(kConsoleMsgTrainingA), u32(s.a)));
    }
    Press(kDown);   // on value B
    Press(kLeft);
    EXPECT_EQ(menu_.GetTrainingB(), 1);
    Press(kLeft);
    EXPECT_EQ(menu_.GetTrainingB(), 0);
    EXPECT_EQ(scene_.reports.back(), std::make_pair(u32(kConsoleMsgTrainingB), 0u));
    // Left and right elsewhere change nothing.
    Press(kDown);
    const size_t reports = scene_.reports.size();
    Press(kRight);
    EXPECT_EQ(scene_.reports.size(), reports);
}

TEST_F(MenuConsoleTest, WhichPageOpensAndWhichCloses)
{
    ASSERT_EQ(menu_.Load(&layout_, kMenuKindFree), 1u);
    // Escape opens the quit prompt: its first item quits, its second closes.
    input_.keyDown = 1;
    menu_.Update(0);
    input_.keyDown = 0;
    EXPECT_TRUE(menu_.GetPage(1).open);
    Press(kDecide);
    EXPECT_EQ(quits_, 1);
    input_.keyDown = 1;
    menu_.Update(0);
    input_.keyDown = 0;
    Press(kDown);
    Press(kDecide);
    EXPECT_EQ(quits_, 1);
    EXPECT_FALSE(menu_.IsOpen());

    // Pause closes on cancel; the end page does not, and while it is open
    // neither Escape nor the menu button opens another page.
    Press(kMenu);
    Press(kCancel);
    EXPECT_FALSE(menu_.IsOpen());
    menu_.OpenEndMenu();
    Press(kCancel);
    Press(kMenu);
    input_.keyDown = 1;
    menu_.Update(0);
    EXPECT_TRUE(menu_.GetPage(2).open);
    EXPECT_FALSE(menu_.GetPage(0).open || menu_.GetPage(1).open);
}

TEST_F(MenuConsoleTest, OneItemPageWaitsForASelection)
{
    ASSERT_EQ(menu_.Load(&layout_, kMenuKindNetworkClient), 1u);
    menu_.OpenEndMenu();
    EXPECT_EQ(menu_.GetPage(2).selection, -1);
    Press(kDecide);
    EXPECT_TRUE(menu_.IsOpen());
    EXPECT_TRUE(scene_.reports.empty());
    Press(kDown);
    Press(kDecide);
    EXPECT_EQ(scene_.reports, (std::vector<std::pair<u32, u32>>{{42, 3}}));
}

TEST_F(MenuConsoleTest, KindPastThePageTableIsAFreeBattle)
{
    for (u32 kind : {0u, 15u, 0xFFFFFFFFu}) {
        CMenuConsole menu(&scene_);
        ASSERT_EQ(menu.Load(&layout_, kind), 1u);
        EXPECT_EQ(menu.GetPage(0).id, 1u);
        EXPECT_EQ(menu.GetPage(2).id, 2u);
    }
}

TEST_F(MenuConsoleTest, MissingSoundThatCannotLoadFailsTheLoad)
{
    CResourceController empty;
    scene_.resources = &empty;
    EXPECT_EQ(menu_.Load(&layout_, kMenuKindFree), 0u);
    // The next console of the battle does not look for it again.
    EXPECT_TRUE(empty.IsKnownMiss(CResourceController::kListSounds, "SE\\Se_gameopt_select.ogg"));
    CMenuConsole second(&scene_);
    EXPECT_EQ(second.Load(&layout_, kMenuKindFree), 0u);
}

// A click sound known to be missing is not looked for again by the next
// console, even once the file is there; after the misses are forgotten (a
// new battle) it is found.
TEST_F(MenuConsoleTest, AClickSoundKnownMissingIsNotLookedForAgain)
{
    host::kernel::testing::TempFolder folder;
    const std::string cwd = host::kernel::GetCurrentDirectory();
    ASSERT_TRUE(host::kernel::SetCurrentDirectory(folder.Path()));
    host::sound::NullOutput null;
    host::sound::SetNullOutput(&null);
    {
        CSound sound;
        ASSERT_EQ(sound.Initialize(&system_), 1);
        CResourceController empty;
        scene_.resources = &empty;
        EXPECT_EQ(menu_.Load(&layout_, kMenuKindFree), 0u);
        ASSERT_TRUE(empty.IsKnownMiss(CResourceController::kListSounds, "SE\\Se_gameopt_select.ogg"));
        ::mkdir("SE", 0777);
        const sound_test::Bytes ogg = sound_test::EncodeOgg(std::vector<i16>(4410, 800), 1, 44100);
        for (const char* n : {"SE/Se_gameopt_select.ogg", "SE/Se_gameopt_set.ogg", "SE/Se_cancel.ogg"})
            std::ofstream(n, std::ios::binary).write(reinterpret_cast<const char*>(ogg.data()), std::streamsize(ogg.size()));
        CMenuConsole second(&scene_);
        EXPECT_EQ(second.Load(&layout_, kMenuKindFree), 0u);
        EXPECT_EQ(empty.GetSoundList()->GetCount(), 0u);
        empty.ForgetMisses();
        CMenuConsole third(&scene_);
        EXPECT_EQ(third.Load(&layout_, kMenuKindFree), 1u);
        EXPECT_EQ(empty.GetSoundList()->GetCount(), 3u);
        empty.Release();
        scene_.resources = &resources_;
    }
    host::sound::SetNullOutput(nullptr);
    host::kernel::SetCurrentDirectory(cwd);
}

TEST_F(MenuConsoleTest, DrawsOpenPagesWithTheSelectedItemWhite)
{
    ASSERT_EQ(menu_.Load(&layout_, kMenuKindTraining), 1u);
    menu_.Draw(0);
    EXPECT_TRUE(Sprites().empty());
    Press(kMenu);
    Press(kDown);
    Press(kDown);
    Place();
    menu_.Draw(0);
    std::map<std::string, u32> colours;
    for (const console_test::Sprite& s : Sprites()) colours[s.name] = s.colour;
    EXPECT_EQ(Names().front(), "Win1");
    EXPECT_EQ(colours["winT30"], 0xFFFFFFFFu);
    for (const char* other : {"winMclo", "winRetr2", "winT40", "winModo2"}) EXPECT_EQ(colours[other], 0xFF808080u) << other;
    // The marker of the chosen value item, one value of each display.
    EXPECT_TRUE(colours.count("winTyaji1"));
    EXPECT_FALSE(colours.count("winTyaji2"));
    EXPECT_TRUE(colours.count("winT31"));      // A = 5
    EXPECT_FALSE(colours.count("winT325"));
    EXPECT_TRUE(colours.count("winT42"));      // B = 0
    EXPECT_FALSE(colours.count("winT41"));
}

}  // namespace ORV_TEST_FILE_ID
