// One full-size HUD frame on real OpenGL from the battle data set: its
// console layout and texture, the real font, and two fighters made from the
// fighters' test data, advanced a few frames. The frame is written to the
// build folder as HudFrameData.png to look at; a few pixels are checked
// where elements must be.
#include "engine/graphics/Camera.h"
#include "engine/graphics/FontTexture.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/graphics/tests/gl/GlWindowSupport.h"
#include "game/battle/character/tests/CharacterTestSupport.h"
#include "game/battle/object/Stage.h"
#include "game/battle/object/StageSetting.h"
#include "game/battle/scene/BattleConsole.h"
#include "game/battle/scene/BattleStateConsole.h"
#include "game/battle/scene/tests/ConsoleTestSupport.h"
#include "game/battle/scene/tests/gl/Png.h"
#include "game/battle/scene/tests/gl/ScreenSize.h"
#include "game/battle/testdata/BattleData.h"
#include "game/battle/testdata/ConsoleData.h"
#include "game/scenes/tests/TextRecogniser.h"
#include "host/image/Image.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace render = host::render;

namespace {

using gl_test::kScreenHeight;
using gl_test::kScreenWidth;

// What the HUD reads of a fighter made from the test data.
class FighterView : public HudFighter {
public:
    FighterView(CCharacter& fighter, u32 id, u32 entry, std::string player)
        : m_fighter(fighter), m_id(id), m_entry(entry), m_player(std::move(player))
    {
    }
    u32 GetTeam() const override { return u32(S().team); }
    const char* GetPlayerName() const override { return m_player.c_str(); }
    const char* GetCharacterName() const override { return S().name; }
    void GetPosition(CVector3* out) const override { m_fighter.GetPosition(out); }
    CCamera* GetBattleCamera() const override { return camera; }
    u32 GetDefeatCount() const override { return S().defeatCount; }
    u32 GetKillCount() const override { return 0; }
    u32 IsComputer() const override { return 0; }
    u32 GetEntryIndex() const override { return m_entry; }
    const CTensionFile* GetTensionFile() const override { return nullptr; }
    u32 GetFixedTension() const override { return 0; }
    f32 GetMusicTime() const override { return 0.0f; }
    void ClearDamage() override {}
    void FillSparkGauge() override {}
    i32 GetTotalDamage() const override { return 0; }
    i32 GetHitDamage(u32) const override { return 0; }
    f32 GetTargetDownLimit() const override { return 0.0f; }
    u32 GetCharacterId() const override { return m_id; }
    i32 GetHp() const override { return S().hp; }
    f32 GetShownHp() const override { return S().shownHp; }
    f32 GetMaxHp() const override { return f32(V().general.hp); }
    f32 GetMaxSpark() const override { return V().spark.maxSparkGauge; }
    f32 GetMp() const override { return S().mp; }
    f32 GetSparkGauge() const override { return S().sparkGauge; }
    u32 GetTensionLevel() const override { return S().tension; }
    u32 GetAction() const override { return S().action; }
    f32 GetActionGauge(u32 k) const override { return k == 2 ? 0.75f : (k == 4 ? 1.0f : 0.4f); }
    u32 GetActionCount(u32 k) const override { return k == 2 ? 34 : 7; }
    u32 GetActionCapacity(u32 k) const override { return k == 2 ? 56 : 12; }
    u32 CanUse(u32 k) const override { return k != 3; }
    const HudFighter* GetLockOnTarget() const override { return lockOn; }
    u32 IsHittable() const override { return 1; }
    f32 GetHeight() const override { return V().body.height; }

    CCamera* camera = nullptr;
    const HudFighter* lockOn = nullptr;

private:
    const CharacterStatus& S() const { return *m_fighter.GetStatus(); }
    const CharacterValues& V() const { return m_fighter.GetParameter()->values; }

    CCharacter& m_fighter;
    u32 m_id, m_entry;
    std::string m_player;
};

class HudFrameData : public character_test::CharacterTest {
protected:
    void SetUp() override
    {
        CharacterTest::SetUp();
        work_ = host::kernel::GetCurrentDirectory();
        ASSERT_EQ(gl_test::CreateGlWindow(system_, "hud", kScreenWidth, kScreenHeight), 1);
        // The window's creation moves the current folder.
        ASSERT_TRUE(host::kernel::SetCurrentDirectory(work_));
        ASSERT_EQ(device_.Create(&system_), 1) << "no OpenGL 3.3 device";
    }
    void TearDown() override
    {
        host::kernel::SetCurrentDirectory(work_);
        fighters_.clear();
        resources_.GetTextureList()->Release();
        resources_.GetFontList()->Release();
        device_.Release();
        render::InstallBackend(nullptr);
        SetFrameTime(0);
        CharacterTest::TearDown();
    }

    // Two fighters of the test data, teams 0 and 1, a little apart.
    void AddFighters()
    {
        for (u32 i = 0; i < 2; ++i) {
            auto fighter = NewFighter<CPlayerCharacter>();
            CharacterCreateRecord record;
            record.team = i;
            fighter->Initialize(reinterpret_cast<intptr_t>(&record));
            const CVector3 at(i ? 40.0f : 0.0f, 0.0f, i ? 60.0f : 0.0f);
            fighter->SetPosition(&at);
            fighters_.push_back(std::move(fighter));
        }
    }

    // The data set written and made current, its HUD texture and the real
    // font in the resources.
    void LoadDataSetHud(CFontTexture** font)
    {
        const std::string root = work_ + "/data";
        std::string error;
        ASSERT_TRUE(battle_data::WriteBattleData(root, &error)) << error;
        ASSERT_TRUE(host::kernel::SetCurrentDirectory(battle_data::ResourceFolder(root)));
        auto* texture = new CTexture();
        ASSERT_EQ(texture->LoadFromFile("Console_01.dds"), 1);
        void* slot = static_cast<CValueBase*>(texture);
        resources_.GetTextureList()->Add(&slot);
        *font = new CFontTexture();
        ASSERT_EQ((*font)->Create(1024, 1024, render::kFormatA8R8G8B8, "IPAGothic", 32), 1);
        slot = static_cast<CValueBase*>(*font);
        resources_.GetFontList()->Add(&slot);
    }

    // The pixel at (x, y) of the frame, 0xRRGGBB.
    u32 At(u32 x, u32 y) const { return frame_[size_t(y) * kScreenWidth + x] & 0xFFFFFF; }

    std::string work_;   // the fighter's work folder
    CSystem system_;
    CGraphicDevice device_;
    std::vector<std::unique_ptr<CCharacter>> fighters_;
    // A console of the 200 s time setting over the fighters and stage given.
    ConsoleSetup Setup(const HudFighterList& characters, CResourceList& stages, CFontTexture* font)
    {
        ConsoleSetup setup;
        setup.timeSetting = 1;
        setup.characters = &characters;
        setup.stageObjects = &stages;
        setup.font = font;
        setup.owner = &scene_;
        return setup;
    }
    // The back buffer into frame_.
    void ReadBackBuffer()
    {
        frame_.resize(kScreenWidth * kScreenHeight);
        const render::Rect all{0, 0, i32(kScreenWidth), i32(kScreenHeight)};
        ASSERT_EQ(device_.GetBackBuffer()->ReadPixels(&all, frame_.data()), render::Result::Ok);
    }
    // frame_ as a PNG named name in the build folder; its path.
    std::string SaveFrame(const char* name)
    {
        const std::string png = gl_test::Png(frame_, kScreenWidth, kScreenHeight);
        const std::string out = std::string(ORV_TEST_BUILD_DIR) + "/" + name;
        EXPECT_TRUE(host::kernel::WriteFileAtomic(out, png.data(), png.size()));
        return out;
    }

    // One frame of the console into frame_.
    void DrawConsole(CBattleConsole& console)
    {
        ASSERT_EQ(device_.BeginScene(), 1);
        ASSERT_EQ(console.Draw(0), 1);
        ReadBackBuffer();
        ASSERT_EQ(device_.EndScene(), 1);
    }

    std::vector<u32> frame_;
};

}  // namespace

TEST_F(HudFrameData, OneFrameFromTheBattleDataSetShowsEachElementInItsPlace)
{
    // Two fighters of the test data, a little apart, advanced ten frames.
    SetFrameTime(50);
    AddFighters();
    std::vector<CObjectDivision*> objects{fighters_[0].get(), fighters_[1].get()};
    scene_.characters = {objects.data(), u32(objects.size())};
    for (int frame = 0; frame < 10; ++frame) {
        for (auto& f : fighters_) f->Update(0), f->PostUpdate(0);
    }
    fighters_[0]->GetStatus()->mp = 3.5f;
    fighters_[0]->GetStatus()->hp = fighters_[0]->GetParameter()->values.general.hp * 3 / 5;
    fighters_[0]->GetStatus()->sparkGauge = fighters_[0]->GetParameter()->values.spark.maxSparkGauge * 0.5f;
    fighters_[1]->GetStatus()->hp = fighters_[1]->GetParameter()->values.general.hp / 4;
    fighters_[0]->GetStatus()->tension = 2;
    FighterView own(*fighters_[0], 0, 0, ""), other(*fighters_[1], 1, 2, "Mio");
    HudFighterList list{&own, &other};

    // The data set's layout and texture, the real font.
    CFontTexture* font = nullptr;
    ASSERT_NO_FATAL_FAILURE(LoadDataSetHud(&font));
    auto* setting = new CStageSetting();
    setting->GetParameters()->box.min = CVector3(-100, -10, -100);
    setting->GetParameters()->box.max = CVector3(100, 10, 100);
    CResourceList stages;
    void* stage = static_cast<CValueBase*>(new CStage(setting));
    stages.Add(&stage);

    // The own fighter's camera behind it, looking at the other.
    CCamera camera;
    const CVector3 eye(-10, 10, -30), target(40, 10, 60), up(0, 1, 0);
    camera.SetLookAt(&eye, &target, &up);
    camera.SetPerspective(60.0f, 4.0f / 3.0f, 1.0f, 1000.0f);
    camera.SetViewport(0, 0, kScreenWidth, kScreenHeight);
    own.camera = &camera;
    own.lockOn = &other;

    ConsoleSetup setup = Setup(list, stages, font);
    setup.tutorial = 1;
    CBattleConsole console;
    ASSERT_EQ(console.Load(&setup), 1u);
    console.GetState()->AddQuickMessage(QuickMessageRecord{"Cover me!", 2, 0});
    // 1.8 s in: the whole "READY" stands, the ticker has come in.
    SetFrameTime(200);
    for (int frame = 0; frame < 9; ++frame) console.Update(0);

    // Twice: the second frame draws from the glyphs the first one cached.
    for (int pass = 0; pass < 2; ++pass) {
        ASSERT_EQ(device_.BeginScene(), 1);
        ASSERT_EQ(console.Draw(0), 1);
        ASSERT_EQ(console.DrawWorldPass(0), 1);
        ReadBackBuffer();
        ASSERT_EQ(device_.EndScene(), 1);
    }
    const std::string out = SaveFrame("HudFrameData.png");

    // A pixel in the middle of each of a few elements, where the layout
    // puts it and as its cell is drawn.
    const auto red = [](u32 p) { return p >> 16 & 0xFF; };
    const auto green = [](u32 p) { return p >> 8 & 0xFF; };
    const auto blue = [](u32 p) { return p & 0xFF; };
    const struct {
        const char* what;
        u32 x, y;
        std::function<bool(u32)> holds;
    } checks[] = {
        {"own HP, filled to 60%", 60, 620, [&](u32 p) { return green(p) > 150 && red(p) < 120; }},
        {"own HP, empty past 60%", 300, 620, [&](u32 p) { return green(p) < 150; }},
        {"own spark gauge, half", 40, 670, [&](u32 p) { return green(p) > 150 && blue(p) > 150 && red(p) < 120; }},
        {"other's HP, a quarter", 30, 26, [&](u32 p) { return green(p) > 150 && red(p) < 120; }},
        {"other's HP, empty past it", 200, 26, [&](u32 p) { return green(p) < 150; }},
        {"READY's wing", 500, 340, [&](u32 p) { return red(p) > 200 && green(p) > 180 && blue(p) < 140; }},
        {"the message row, team 1 blue", 100, 300, [&](u32 p) { return blue(p) > red(p) + 40; }},
        {"the tutorial band", 100, 528, [&](u32 p) { return blue(p) > red(p) && blue(p) > 0; }},
        {"the radar's own marker, red", 915, 661, [&](u32 p) { return red(p) > 150 && green(p) < 100; }},
    };
    for (const auto& c : checks) EXPECT_TRUE(c.holds(At(c.x, c.y))) << c.what << ": " << std::hex << At(c.x, c.y) << " (see " << out << ")";
    // The ticker's text through the font: white ink on the band.
    u32 ink = 0;
    for (u32 y = 514; y < 542; ++y) {
        for (u32 x = 860; x < kScreenWidth; ++x) ink += red(At(x, y)) > 200 && green(At(x, y)) > 200 && blue(At(x, y)) > 200;
    }
    EXPECT_GT(ink, 40u) << "no ticker text";
    // The quick message's text past its first two letters: glyphs the font
    // adds between sprites of other textures reach the atlas.
    u32 message = 0;
    for (u32 y = 296; y < 310; ++y) {
        for (u32 x = 72; x < 124; ++x) message += red(At(x, y)) > 200 && green(At(x, y)) > 200 && blue(At(x, y)) > 200;
    }
    EXPECT_GT(message, 20u) << "the quick message lacks its text";
}

// The result on the data set's HUD: the own team won, and the banner says so
// in its words. Written as BattleResult.png.
TEST_F(HudFrameData, TheResultBannerSaysWhoWon)
{
    SetFrameTime(50);
    AddFighters();
    FighterView own(*fighters_[0], 0, 0, ""), other(*fighters_[1], 1, 2, "Mio");
    HudFighterList list{&own, &other};
    CFontTexture* font = nullptr;
    ASSERT_NO_FATAL_FAILURE(LoadDataSetHud(&font));
    CResourceList stages;
    CCamera camera;
    const CVector3 eye(-10, 10, -30), target(40, 10, 60), up(0, 1, 0);
    camera.SetLookAt(&eye, &target, &up);
    camera.SetPerspective(60.0f, 4.0f / 3.0f, 1.0f, 1000.0f);
    camera.SetViewport(0, 0, kScreenWidth, kScreenHeight);
    own.camera = &camera;

    ConsoleSetup setup = Setup(list, stages, font);
    CBattleConsole console;
    ASSERT_EQ(console.Load(&setup), 1u);
    SetFrameTime(200);
    for (int frame = 0; frame < 20; ++frame) console.Update(0);
    console_test::FakeConsoleScene judge;   // team 0's result: a win; the battle settled
    judge.settled = 1;
    console.GetState()->SetOwner(&judge);
    console.GetState()->SetResult();
    ASSERT_EQ(console.GetState()->GetResult(), 1u);
    // 4.8 s after the end: the win banner stands still.
    for (int frame = 0; frame < 24; ++frame) console.Update(0);
    ASSERT_EQ(device_.BeginScene(), 1);
    ASSERT_EQ(console.Draw(0), 1);
    ReadBackBuffer();
    ASSERT_EQ(device_.EndScene(), 1);
    const std::string out = SaveFrame("BattleResult.png");

    // The banner's letters (its yellow) stand in its place, (312, 320)
    // 400 x 120, and none of that yellow beside it on the same rows.
    const auto yellow = [&](u32 x, u32 y) {
        const u32 p = At(x, y);
        return (p >> 16 & 0xFF) > 200 && (p >> 8 & 0xFF) > 180 && (p & 0xFF) < 140;
    };
    u32 inside = 0, beside = 0;
    for (u32 y = 320; y < 440; ++y) {
        for (u32 x = 0; x < kScreenWidth; ++x) (x >= 312 && x < 712 ? inside : beside) += yellow(x, y);
    }
    EXPECT_GT(inside, 300u) << "see " << out;
    EXPECT_EQ(beside, 0u) << "see " << out;
}

// The menus on the data set's HUD read by tesseract, item by item: a free
// battle's pause menu (the menu button) and its end menu under the win
// banner, and a lost story battle's end menu under the lose banner, whose
// words read too. Written as BattleMenu*.png.
TEST_F(HudFrameData, TheBattleMenusAndTheResultReadAsWords)
{
    const struct {
        const char* name;
        bool story;
        u32 ownResult;           // 0: no result, the pause menu opened
        std::string items;       // each item's words, top down, spaceless
        std::string banner;
    } cases[] = {
        {"BattleMenuPause.png", false, 0, "Resume\nRetry\nCharacterselect\nTitle\n", ""},
        {"BattleMenuEnd.png", false, 1, "Retry\nCharacterselect\nTitle\n", "YOUWIN!\n"},
        {"BattleMenuStoryEnd.png", true, 2, "Retry\nTitle\n", "YOULOSE\n"},
    };
    SetFrameTime(50);
    AddFighters();
    FighterView own(*fighters_[0], 0, 0, ""), other(*fighters_[1], 1, 2, "Mio");
    HudFighterList list{&own, &other};
    CFontTexture* font = nullptr;
    ASSERT_NO_FATAL_FAILURE(LoadDataSetHud(&font));
    CResourceList stages;
    CCamera camera;
    const CVector3 eye(-10, 10, -30), target(40, 10, 60), up(0, 1, 0);
    camera.SetLookAt(&eye, &target, &up);
    camera.SetPerspective(60.0f, 4.0f / 3.0f, 1.0f, 1000.0f);
    camera.SetViewport(0, 0, kScreenWidth, kScreenHeight);
    own.camera = &camera;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        console_test::FakeConsoleScene judge;
        ConsoleSetup setup = Setup(list, stages, font);
        setup.story = c.story ? 1 : 0;
        CBattleConsole console;
        ASSERT_EQ(console.Load(&setup), 1u);
        console.GetState()->SetOwner(&judge);   // the result's judge
        console_test::FakeInput input;
        console.SetInput(&input);
        SetFrameTime(200);
        for (int frame = 0; frame < 20; ++frame) console.Update(0);
        if (c.ownResult == 0) {
            input.Press(30);   // the menu button
            console.Update(0);
            input.Press(kInputCodeCount);
        } else {
            judge.settled = 1;
            judge.teamResults[0] = c.ownResult;
            console.GetState()->SetResult();
            ASSERT_EQ(console.GetState()->GetResult(), c.ownResult);
            // 4.8 s after the end the banner stands still: its light
            // letters on its dark fill, at (312, 320) 400 x 120.
            for (int frame = 0; frame < 24; ++frame) console.Update(0);
            ASSERT_FALSE(console.IsMenuOpen());
            ASSERT_NO_FATAL_FAILURE(DrawConsole(console));
            const std::string out = SaveFrame((std::string("Banner") + c.name).c_str());
            const std::string banner = std::string(ORV_TEST_BUILD_DIR) + "/BannerRead" + c.name;
            int status = 0;
            EXPECT_EQ(text_recogniser::ReadBoxes(frame_, kScreenWidth, {{{320, 330, 384, 100}}}, banner, &status, "",
                                                 true),
                      c.banner)
                << "see " << banner << " and " << out;
            ASSERT_NE(status, 127) << "tesseract is not installed (scripts/install-deps.sh installs it)";
            // The end menu opens once the result has shown.
            for (int frame = 0; frame < 40 && !console.IsMenuOpen(); ++frame) console.Update(0);
        }
        ASSERT_TRUE(console.IsMenuOpen());
        ASSERT_NO_FATAL_FAILURE(DrawConsole(console));
        const std::string out = SaveFrame(c.name);

        // Inside each item's frame.
        std::vector<std::vector<text_recogniser::Box>> items;
        for (size_t n = std::count(c.items.begin(), c.items.end(), '\n'), i = 0; i < n; ++i)
            items.push_back({{u32(console_test::kMenuLeft) + 3, u32(console_test::kMenuTop + console_test::kMenuItemStep * f32(i)) + 3,
                              u32(console_test::kMenuItemWidth) - 6, u32(console_test::kMenuItemHeight) - 6}});
        const std::string read = std::string(ORV_TEST_BUILD_DIR) + "/Items" + c.name;
        int status = 0;
        EXPECT_EQ(text_recogniser::ReadBoxes(frame_, kScreenWidth, items, read, &status), c.items)
            << "see " << read << " and " << out;
        ASSERT_NE(status, 127) << "tesseract is not installed (scripts/install-deps.sh installs it)";
    }
}

}  // namespace ORV_TEST_FILE_ID
