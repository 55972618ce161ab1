#include "game/scenes/RecordScene.h"

#include "engine/scene/SceneObject.h"
#include "game/data/SaveRecord.h"
#include "game/scenes/tests/MenuRun.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace ORV_TEST_FILE_ID {

namespace {

using record::PageText;

// The text printed at a place of a page; "" when none is.
std::string TextAt(const std::vector<PageText>& texts, f32 x, f32 y)
{
    for (const PageText& t : texts)
        if (t.x == x && t.y == y) return t.text;
    return "";
}

CSaveRecord EmptyRecord()
{
    CSaveRecord saved;
    saved.SetDefaults();
    return saved;
}

TEST(RecordSceneTest, CharacterPicturesSkipNumberNine)
{
    const struct {
        u32 character;
        const char* name;
    } cases[] = {{0, "Chara_01.dds"}, {7, "Chara_08.dds"}, {8, "Chara_10.dds"}, {17, "Chara_19.dds"}};
    for (const auto& c : cases) EXPECT_EQ(record::CharacterTexture(c.character), c.name);
}

// The division comes first in double precision, then the truncation.
TEST(RecordSceneTest, WinRateTruncatesTheDoubleQuotient)
{
    const struct {
        u64 wins, played;
        u32 rate;
    } cases[] = {{29, 50, 57}, {1, 3, 33}, {0, 0, 0}, {7, 0, 0}, {5, 5, 100}, {2, 3, 66},
        {UINT32_MAX * 18ull, UINT32_MAX * 36ull, 50}};
    for (const auto& c : cases) EXPECT_EQ(record::WinRate(c.wins, c.played), c.rate) << c.wins << "/" << c.played;
}

TEST(RecordSceneTest, PlayTimePrintsEveryHourDigitAndTwoDigitMinutesAndSeconds)
{
    const CSaveRecord saved = EmptyRecord();
    const struct {
        u32 ms;
        const char *hours, *minutes, *seconds;
    } cases[] = {
        {0, "0", "00", "00"},
        {(100u * 3600u + 2u * 60u + 3u) * 1000u, "100", "02", "03"},
        {(9u * 60u + 59u) * 1000u + 999u, "0", "09", "59"},
        {UINT32_MAX, "1193", "02", "47"},
    };
    for (const auto& c : cases) {
        const auto texts = record::PageTexts(saved, 0, c.ms);
        EXPECT_EQ(TextAt(texts, 604, 192), c.hours) << c.ms;
        EXPECT_EQ(TextAt(texts, 622, 192), c.minutes) << c.ms;
        EXPECT_EQ(TextAt(texts, 666, 192), c.seconds) << c.ms;
    }
}

// 18 counters of 2^31 or more sum past any 32-bit value: printed whole,
// never negative.
TEST(RecordSceneTest, SumsPastThirtyTwoBitsPrintWhole)
{
    CSaveRecord saved = EmptyRecord();
    for (u32 c = 0; c < record::kCharacters; ++c) {
        u32* w = saved.GetRecord(c)->word;
        w[1] = 0x80000000u;        // local wins
        w[2] = 0x80000000u;        // local losses
        w[7] = UINT32_MAX;         // shown counters
        w[8] = UINT32_MAX;         // network battles
        w[9] = 3000000000u;        // network wins
        w[14] = 1;
    }
    const auto totals = record::PageTexts(saved, 0, 0);
    EXPECT_EQ(TextAt(totals, 472, 424), "38654705664");   // 18 x 2^31
    EXPECT_EQ(TextAt(totals, 472, 472), "38654705664");
    EXPECT_EQ(TextAt(totals, 472, 376), "50％");
    EXPECT_EQ(TextAt(totals, 472, 520), "77309411310");   // 18 x (2^32 - 1)
    EXPECT_EQ(TextAt(totals, 802, 424), "54000000000");
    EXPECT_EQ(TextAt(totals, 802, 376), "100％");
    EXPECT_EQ(TextAt(totals, 802, 568), "18");

    const auto page = record::PageTexts(saved, 1, 0);
    EXPECT_EQ(TextAt(page, 872, 272), "4294967295");      // w0 + w8
    EXPECT_EQ(TextAt(page, 872, 360), "5147483648");      // w1 + w9
    EXPECT_EQ(TextAt(page, 872, 316), "70％");            // 5147483648 / 7294967296
}

// Page p shows character p - 1 over both halves; a character without
// battles shows 0 %.
TEST(RecordSceneTest, CharacterPageAddsBothHalves)
{
    CSaveRecord saved = EmptyRecord();
    u32* w = saved.GetRecord(17)->word;
    const u32 words[16] = {50, 29, 20, 1, 9, 9, 4, 6, 10, 1, 8, 1, 9, 9, 3, 5};
    std::copy(std::begin(words), std::end(words), w);
    saved.SetFlagByte(200);

    const auto page = record::PageTexts(saved, record::kLastPage, 0);
    const struct {
        f32 y;
        const char* text;
    } rows[] = {{272, "60"}, {316, "50％"}, {360, "30"}, {404, "28"}, {448, "11"}, {492, "7"}};
    for (const auto& r : rows) EXPECT_EQ(TextAt(page, 872, r.y), r.text) << r.y;
    EXPECT_EQ(TextAt(record::PageTexts(saved, 1, 0), 872, 316), "0％");
    EXPECT_EQ(TextAt(record::PageTexts(saved, 0, 0), 634, 240), "200");
    EXPECT_TRUE(record::PageTexts(saved, record::kLastPage + 1, 0).empty());
}

}  // namespace

// ---------------------------------------------------------------- in the game

namespace {

using game_test::GameDriver;

CRecordScene* Record(GameDriver& game) { return dynamic_cast<CRecordScene*>(game.App().GetScene()); }

// Paging wraps nowhere: back on the totals and on past the last character
// both leave; pages between turn one at a time.
TEST(RecordSceneRun, PagingOffEitherEndLeavesForTheTitle)
{
    const struct {
        u32 code;
        u32 presses;   // the last one leaves
    } cases[] = {{menu::kUp, 1}, {menu::kCancel, 1}, {menu::kStickLeft, 1}, {menu::kDown, 19}, {menu::kStart, 19},
        {menu::kDecide, 19}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "code " << c.code);
        GameDriver game(game_test::GameDataRoot(), menu_run::Options());
        ASSERT_TRUE(menu_run::Enter(game, new CRecordScene()));
        menu_run::FadeIn(game);
        for (u32 i = 0; i + 1 < c.presses; ++i) {
            game.Press(c.code);
            game.Frame();   // the key up, so the next press is one
            ASSERT_EQ(Record(game)->GetPage(), i + 1);
        }
        EXPECT_FALSE(Record(game)->IsLeaving());
        game.Press(c.code);
        ASSERT_TRUE(Record(game)->IsLeaving());
        EXPECT_TRUE(menu_run::Playing(record::kSounds[record::kPageSound]));
        // The fade-out takes presses no more.
        const u32 page = Record(game)->GetPage();
        game.Frame();
        game.Press(c.code == menu::kUp ? menu::kDown : menu::kUp);
        EXPECT_EQ(Record(game)->GetPage(), page);
        game.Frames(70);
        EXPECT_TRUE(menu_run::BackOnTitleAt(game, record::kTitleItem));
    }
}

TEST(RecordSceneRun, PressesWaitForBothFades)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    MenuArgs args;
    args.curtain = 0.5f;
    args.alpha = 0.0f;
    ASSERT_TRUE(menu_run::Enter(game, new CRecordScene(), reinterpret_cast<intptr_t>(&args)));
    game.Press(menu::kDown);   // under the cover
    game.Frames(25);
    game.Press(menu::kDown);   // while the page fades in
    EXPECT_EQ(Record(game)->GetPage(), 0u);
    game.Frames(40);
    game.Press(menu::kDown);
    EXPECT_EQ(Record(game)->GetPage(), 1u);
}

// The frame must load; pictures that are missing are skipped.
TEST(RecordSceneRun, MissingPicturesAreSkipped)
{
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(menu_run::Enter(game, new CRecordScene()));
    const CResourceList* textures = Record(game)->GetTextures();
    ASSERT_NE(textures, nullptr);
    EXPECT_EQ(textures->GetCount(), 3u);   // the frame, the first and the last character
    EXPECT_NE(textures->FindByFileName(record::kFrameTexture), nullptr);
    EXPECT_NE(textures->FindByFileName("Chara_19.dds"), nullptr);
    EXPECT_NE(Record(game)->FindLayer("Base")->GetTexture(), nullptr);
}

// Totals: the panel and its frame; a character page: the picture under
// the panel, the frame and the name plate, each of its own character.
TEST(RecordSceneRun, EachPageDrawsItsOwnLayers)
{
    scene_data::CSceneDataSet set;
    scene_data::AddRecordData(set);
    const std::vector<std::string>& layers = set.layouts[record::kLayout];
    const std::vector<scene_data::LayerSheet>& sheets = set.layoutSheets[record::kLayout];
    ASSERT_EQ(sheets.size(), 3u);   // the pages' two and the frame's
    GameDriver game(game_test::GameDataRoot(), menu_run::Options());
    ASSERT_TRUE(menu_run::Enter(game, new CRecordScene()));
    menu_run::FadeIn(game);
    const CTexture* frame = Record(game)->FindLayer("Base")->GetTexture();
    using Drawn = std::vector<std::string>;
    EXPECT_EQ(menu_run::DrawnLayers(game, layers, frame, sheets), (Drawn{"Base", "TotalBase"}));
    game.Press(menu::kRight);
    EXPECT_EQ(menu_run::DrawnLayers(game, layers, frame, sheets), (Drawn{"cha_ta", "Base", "SoloBase", "name_ta"}));
    for (u32 page = 2; page <= record::kLastPage; ++page) {
        game.Frame();
        game.Press(menu::kStickDown);
    }
    EXPECT_EQ(menu_run::DrawnLayers(game, layers, frame, sheets), (Drawn{"cha_ve", "Base", "SoloBase", "name_ve"}));
}

// Without its frame the record does not load: the title follows its box.
TEST(RecordSceneRun, WithoutItsFrameTheRecordFailsNamingIt)
{
    host::kernel::testing::TempFolder folder;
    const std::string root = folder.Path() + "set";
    scene_data::Faults faults;
    faults.entries = {record::kFrameTexture};
    std::string error;
    ASSERT_TRUE(scene_data::WriteSceneData(root, &error, faults)) << error;
    GameDriver game(root, menu_run::Options());
    ASSERT_FALSE(menu_run::Enter(game, new CRecordScene()));
    ASSERT_FALSE(game.Boxes().empty());
    EXPECT_EQ(game.Boxes()[0], "Select_01.ddsが読み込めません");
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
