// The menus a new player meets, on real OpenGL at 1024 x 768, read back and
// written to the build folder as PNGs to look at (MenuTitle.png,
// MenuCharaSelect.png, MenuOptionSelect.png, MenuStorySelect.png,
// MenuOptions.png, MenuRecord.png). The checks: each screen
// draws its layers' cells with words in them (dark letter texels inside a
// cell of its light fill), the title's items stand in their column, and
// each card of the character select shows the cell of each value it holds
// beside the row's title. The record's pages, read by a text recogniser
// (MenuRecordTotals.png, MenuRecordCharacter.png), name each number on its
// line; the replay list's numbers and page buttons read as they should on
// two pages (MenuReplayList.png, MenuReplayListPage2.png and the parts read,
// Numbers*.png and Buttons*.png). The option select's rows and the options'
// items read with their values beside them (MenuOptionSelectRows.png,
// MenuOptionsItems.png); the adventure map and the story's preview read as
// words (MenuAdventure.png, MenuStoryPreview.png, and Letters*.png read).
#include "engine/core/Scene.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/battle/scene/ConsoleNames.h"
#include "game/data/SaveRecord.h"
#include "game/scenes/AdventureScene.h"
#include "game/scenes/CharaSelect.h"
#include "game/scenes/GameApp.h"
#include "game/scenes/GameOption.h"
#include "game/scenes/MenuScene.h"
#include "game/scenes/OptionSelect.h"
#include "game/scenes/RecordScene.h"
#include "game/scenes/ReplayScene.h"
#include "game/scenes/SelectCard.h"
#include "game/scenes/SingleCharaSelect.h"
#include "game/scenes/StoryScene.h"
#include "game/scenes/TitleScene.h"
#include "game/battle/scene/tests/gl/Png.h"
#include "game/scenes/testdata/SceneData.h"
#include "game/scenes/tests/ReplayFiles.h"
#include "game/scenes/tests/TextRecogniser.h"
#include "game/scenes/tests/gl/GlGame.h"
#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

constexpr u32 kWidth = gl_test::kLayoutWidth, kHeight = gl_test::kLayoutHeight;

class MenuFrames : public gl_test::GlGame {
protected:
    void SetUp() override { ASSERT_TRUE(StartIdle()); }

    std::string Scene() const { return app_->GetScene() ? app_->GetScene()->GetClassName() : ""; }

    // The frame after the fades, written as name; empty when unreadable.
    std::vector<u32> Shot(const std::string& name)
    {
        for (u32 i = 0; i < 90; ++i) Frame(17);
        std::vector<u32> frame = ReadFrame(kWidth, kHeight);
        const std::string png = gl_test::Png(frame, kWidth, kHeight);
        EXPECT_TRUE(host::kernel::WriteFileAtomic(Out(name), png.data(), png.size()));
        return frame;
    }

    // How many texels of the box (layout pixels) are the fill and how many
    // are dark letters.
    static std::pair<u32, u32> FillAndLetters(const std::vector<u32>& frame, f32 x, f32 y, f32 w, f32 h, u32 fill)
    {
        u32 filled = 0, letters = 0;
        for (u32 yy = u32(y) + 2; yy + 2 < u32(y + h); ++yy) {
            for (u32 xx = u32(x) + 2; xx + 2 < u32(x + w); ++xx) {
                const u32 c = frame[yy * kWidth + xx] & 0xFFFFFFu;
                filled += c == (fill & 0xFFFFFFu);
                letters += (c & 0xC0C0C0u) == 0;
            }
        }
        return {filled, letters};
    }
};

TEST_F(MenuFrames, TheTitleCharacterSelectAndOptionSelectShowTheirWords)
{
    const scene_data::CSceneDataSet data = scene_data::BuildSceneData();

    TitleArgs titleArgs;
    titleArgs.item = title::kBattle;
    app_->ChangeScene(new CTitleScene, reinterpret_cast<intptr_t>(&titleArgs));
    ASSERT_EQ(Scene(), "CTitleScene");
    const std::vector<u32> title = Shot("MenuTitle.png");
    const std::vector<std::string>& titleLayers = data.layouts.at(title::kLayout);
    for (u32 i = 0; i < title::kItemCount; ++i) {
        const size_t layer = size_t(std::find(titleLayers.begin(), titleLayers.end(), title::kItemLayers[i].label) -
                                    titleLayers.begin());
        const f32 x = scene_data::kTitleItemLeft + (i == title::kBattle ? title::kSelectedOffset : 0.0f);
        const f32 y = scene_data::kTitleItemTop + scene_data::kTitleItemStep * f32(i);
        const auto [filled, letters] = FillAndLetters(title, x, y, scene_data::kTitleItemWidth,
                                                      scene_data::kTitleItemHeight, scene_data::CellColour(layer));
        EXPECT_GT(filled, 1000u) << title::kItemLayers[i].label << "; see " << Out("MenuTitle.png");
        EXPECT_GT(letters, 20u) << title::kItemLayers[i].label << "; see " << Out("MenuTitle.png");
    }

    // Battle decided: the character select.
    const u8 decide = u8(app_->GetSaveConfig()->GetKeyConfigSection()->keyboard[menu::kDecide - 8]);
    input_.SetKey(decide, true);
    Frame(17);
    input_.SetKey(decide, false);
    for (u32 i = 0; i < 120 && Scene() != "CCharaSelect"; ++i) Frame(17);
    ASSERT_EQ(Scene(), "CCharaSelect");
    // Each card a character, type, team and colour of its own.
    auto* chara = dynamic_cast<CCharaSelect*>(app_->GetScene());
    ASSERT_NE(chara, nullptr);
    for (u32 i = 0; i < 4; ++i) {
        CSelectCard* card = chara->GetCard(i);
        ASSERT_NE(card, nullptr);
        card->SetCharacter(3 * i + 1, true);
        card->SetType(i % 2);
        card->SetTeam(3 - i);
        card->SetColour((i + 1) % 4);
    }
    const std::vector<u32> select = Shot("MenuCharaSelect.png");
    // Each card's value in each row, beside the row's title: the cell of
    // the value its record holds, words and all.
    const std::vector<std::string>& selectLayers = data.layouts.at(chara_select::kLayout);
    for (u32 i = 0; i < 4; ++i) {
        const CSelectCard& card = *chara->GetCard(i);
        const u32 character = card.Word(select_card::kCharacter);
        ASSERT_LT(character, select_card::kCharacters);
        const std::string kinds[6] = {"1P", "2P", "3P", "4P", "cpu", "-"};
        const std::pair<u32, std::string> values[] = {
            {select_card::kRowPlayer, "Chara/Player/" + kinds[std::min(card.Word(select_card::kKind), 5u)]},
            {select_card::kRowTeam, std::string("Chara/Team/") + char('a' + card.Word(select_card::kTeam))},
            {select_card::kRowName, std::string("Chara/Name/name_") + console_names::kAbbreviation[character]},
            {select_card::kRowColour, std::string("Chara/Color/color_") + char('a' + card.Word(select_card::kColour))},
            {select_card::kRowType, std::string("Chara/Type/W") + console_names::kImageName[character] +
                                        (card.Word(select_card::kType) ? "B" : "A")},
        };
        for (const auto& [row, layer] : values) {
            const size_t cell = size_t(std::find(selectLayers.begin(), selectLayers.end(), layer) - selectLayers.begin());
            ASSERT_LT(cell, selectLayers.size()) << layer;
            const auto [filled, letters] = FillAndLetters(select, select_card::kColumn * f32(i) + 96.0f,
                                                          200.0f + 36.0f * f32(row), 120.0f, 32.0f,
                                                          scene_data::CellColour(cell));
            EXPECT_GT(filled, 1000u) << "card " << i << " " << layer << "; see " << Out("MenuCharaSelect.png");
            EXPECT_GT(letters, 20u) << "card " << i << " " << layer << "; see " << Out("MenuCharaSelect.png");
        }
    }
    // Dark letter texels with a light cell's fill a few texels to either side.
    const auto lightTexels = [](const std::vector<u32>& frame) {
        const auto light = [&](u32 x, u32 y) {
            const u32 c = frame[y * kWidth + x];
            return (c >> 16 & 0xFF) >= 0xB0 && (c >> 8 & 0xFF) >= 0xB0 && (c & 0xFF) >= 0xB0;
        };
        u32 letters = 0;
        for (u32 y = 0; y < kHeight; ++y) {
            for (u32 x = 6; x + 6 < kWidth; ++x) {
                if ((frame[y * kWidth + x] & 0xC0C0C0u) != 0) continue;
                bool left = false, right = false;
                for (u32 d = 1; d <= 6; ++d) left = left || light(x - d, y), right = right || light(x + d, y);
                letters += left && right;
            }
        }
        return letters;
    };
    EXPECT_GT(lightTexels(select), 500u) << "see " << Out("MenuCharaSelect.png");

    // The option select on two fighters.
    MenuSetupArgs args;
    args.setup = new CBattleSetup(app_->GetSaveConfig());
    args.setup->entries[1].kind = CBattleEntry::kKindComputer;
    args.setup->entries[1].character = 1;
    args.setup->entries[1].team = 1;
    for (u32 i = 2; i < CBattleSetup::kEntryCount; ++i) args.setup->entries[i].kind = CBattleEntry::kKindNone;
    app_->ChangeScene(new COptionSelect, reinterpret_cast<intptr_t>(&args));
    ASSERT_EQ(Scene(), "COptionSelect");
    const std::vector<u32> options = Shot("MenuOptionSelect.png");
    EXPECT_GT(lightTexels(options), 500u) << "see " << Out("MenuOptionSelect.png");
}

// The story's select on its third character: the portrait and the name
// plate say the character's name, the middle of the five cards too, and
// its neighbours theirs, each in its cell's fill with dark letters.
TEST_F(MenuFrames, TheStorySelectShowsTheCharactersNames)
{
    namespace single = single_select;
    MenuSetupArgs args;
    args.curtain = 0.0f;
    args.alpha = 1.0f;
    args.setup = new CBattleSetup(app_->GetSaveConfig());
    args.setup->entries[0].character = 2;
    args.setup->storyMode = 1;
    app_->ChangeScene(new CSingleCharaSelect, reinterpret_cast<intptr_t>(&args));
    ASSERT_EQ(Scene(), "CSingleCharaSelect");
    const std::vector<u32> frame = Shot("MenuStorySelect.png");
    const std::vector<std::string> layers = single::LayerNames();
    const auto fillOf = [&](const std::string& layer) {
        return scene_data::CellColour(size_t(std::find(layers.begin(), layers.end(), layer) - layers.begin()));
    };
    const struct {
        std::string layer;   // whose cell is drawn
        f32 x, y, w, h;      // where
    } cases[] = {
        {single::PortraitLayerName(2), 40, 120, 440, 110},
        {single::PlateLayerName(2), 520, 120, 400, 56},
        {single::CardLayerName(2), 432, 628, 160, 40},   // the middle slot
        {single::CardLayerName(1), 252, 628, 160, 40},
        {single::CardLayerName(3), 612, 628, 160, 40},
        {single::CardLayerName(0), 72, 628, 160, 40},
        {single::ColourBoxLayerName(2, 0), 520, 200, 240, 48},
    };
    for (const auto& c : cases) {
        // The carousel's side cards are drawn half as bright.
        const bool side = c.y == 628 && c.x != 432;
        const u32 fill = fillOf(c.layer);
        const auto [exact, letters] = FillAndLetters(frame, c.x, c.y, c.w, c.h, fill);
        u32 filled = exact;
        if (side) {
            // Half the fill, give or take rounding.
            filled = 0;
            for (u32 y = u32(c.y) + 2; y + 2 < u32(c.y + c.h); ++y)
                for (u32 x = u32(c.x) + 2; x + 2 < u32(c.x + c.w); ++x) {
                    bool near = true;
                    for (u32 shift : {0u, 8u, 16u}) {
                        const i32 got = i32(frame[y * kWidth + x] >> shift & 0xFF), want = i32(fill >> shift & 0xFF) / 2;
                        near = near && std::abs(got - want) <= 2;
                    }
                    filled += near;
                }
        }
        EXPECT_GT(filled, 1000u) << c.layer << "; see " << Out("MenuStorySelect.png");
        EXPECT_GT(letters, 20u) << c.layer << "; see " << Out("MenuStorySelect.png");
    }
}

// The options screen and the record's totals page: written to look at,
// each showing letters (dark texels between light ones).
TEST_F(MenuFrames, TheOptionsAndTheRecordShowLetters)
{
    const auto letters = [](const std::vector<u32>& frame) {
        u32 n = 0;
        for (u32 y = 1; y + 1 < kHeight; ++y)
            for (u32 x = 1; x + 1 < kWidth; ++x) {
                const auto light = [&](u32 xx) { return (frame[y * kWidth + xx] & 0xC0C0C0u) == 0xC0C0C0u || (frame[y * kWidth + xx] & 0x808080u) == 0x808080u; };
                n += (frame[y * kWidth + x] & 0xC0C0C0u) == 0 && light(x - 1) != light(x + 1);
            }
        return n;
    };
    MenuArgs args;
    args.curtain = 0.0f;
    app_->ChangeScene(new CGameOption, reinterpret_cast<intptr_t>(&args));
    ASSERT_EQ(Scene(), "CGameOption");
    EXPECT_GT(letters(Shot("MenuOptions.png")), 500u) << "see " << Out("MenuOptions.png");
    app_->ChangeScene(new CRecordScene, reinterpret_cast<intptr_t>(&args));
    ASSERT_EQ(Scene(), "CRecordScene");
    EXPECT_GT(letters(Shot("MenuRecord.png")), 200u) << "see " << Out("MenuRecord.png");
}

// The record's totals page and a character's page, read by tesseract:
// every word of their labels is read; and on each label's line, at each
// place the scene draws a number, the number's white letters stand, with
// none in the gap below the line. A missing tesseract fails the test.
TEST_F(MenuFrames, TheRecordNamesEachNumberOnItsLine)
{
    CSaveRecord* saved = app_->GetSaveRecord();
    ASSERT_NE(saved, nullptr);
    ASSERT_EQ(saved->SetDefaults(), 1);
    saved->SetFlagByte(42);
    const u32 won[4] = {4, 1440, 0, 0}, lost[4] = {0, 1, 0, 0};
    for (const bool network : {false, true}) {
        ASSERT_EQ(saved->AddBattle(0, network, 1, won), 1);
        ASSERT_EQ(saved->AddBattle(0, network, 2, lost), 1);
    }

    const std::vector<scene_data::LayerSheet> sheets = scene_data::RecordSheets();
    ASSERT_EQ(sheets.size(), 2u);
    const auto check = [&](const std::string& png, const std::vector<u32>& frame, const scene_data::LayerSheet& sheet,
                           u32 page) {
        int status = 0;
        const std::string read = text_recogniser::Recognise(Out(png), &status, true);
        ASSERT_NE(status, 127) << "tesseract is not installed (scripts/install-deps.sh installs it)";
        ASSERT_EQ(status, 0) << read;
        const std::set<std::string> words = text_recogniser::Words(read);
        for (const scene_data::SheetText& label : sheet.texts)
            for (const std::string& word : text_recogniser::Words(label.text))
                EXPECT_EQ(words.count(word), 1u) << word << " not read; tesseract read:\n" << read << "see " << Out(png);
        // The font's fill: white, the scene's colour.
        const auto white = [&](f32 left, f32 right, f32 top, f32 bottom) {
            u32 n = 0;
            for (u32 y = u32(std::max(0.0f, top)); y < u32(std::min(f32(kHeight), bottom)); ++y)
                for (u32 x = u32(std::max(0.0f, left)); x < u32(std::min(f32(kWidth), right)); ++x)
                    n += (frame[y * kWidth + x] & 0xF0F0F0u) == 0xF0F0F0u;
            return n;
        };
        const CSaveRecord none;
        u32 lines = 0;
        for (const scene_data::SheetText& label : sheet.texts) {
            if (label.align != scene_data::Align::kLeft) continue;
            for (const record::PageText& number : record::PageTexts(none, page, 0)) {
                if (number.y != label.y || number.text == ":") continue;
                ++lines;
                const f32 left = number.flags == 18 ? number.x - 20 : number.flags == 20 ? number.x - 40 : number.x;
                EXPECT_GT(white(left, left + 40, label.y, label.y + 26), 8u)
                    << label.text << ": no number at " << number.x << "; see " << Out(png);
                EXPECT_EQ(white(left, left + 40, label.y + 28, label.y + 44), 0u)
                    << label.text << ": something below " << number.x << "; see " << Out(png);
            }
        }
        EXPECT_GE(lines, page == 0 ? 14u : 6u);
    };

    MenuArgs args;
    args.curtain = 0.0f;
    app_->ChangeScene(new CRecordScene, reinterpret_cast<intptr_t>(&args));
    ASSERT_EQ(Scene(), "CRecordScene");
    check("MenuRecordTotals.png", Shot("MenuRecordTotals.png"), sheets[0], 0);

    // Forward: the first character's page.
    const u8 decide = u8(app_->GetSaveConfig()->GetKeyConfigSection()->keyboard[menu::kDecide - 8]);
    input_.SetKey(decide, true);
    Frame(17);
    input_.SetKey(decide, false);
    auto* scene = dynamic_cast<CRecordScene*>(app_->GetScene());
    ASSERT_NE(scene, nullptr);
    ASSERT_EQ(scene->GetPage(), 1u);
    check("MenuRecordCharacter.png", Shot("MenuRecordCharacter.png"), sheets[1], 1);
}

using text_recogniser::Box;

std::string ReadBoxes(const std::vector<u32>& frame, const std::vector<std::vector<Box>>& rows, const std::string& path,
                      int* status, const std::string& options = "")
{
    return text_recogniser::ReadBoxes(frame, kWidth, rows, path, status, options);
}

// The replay list with stored replays on both of the first pages, read by
// tesseract: the numbers on the rows' lines read 01..10 and, after a page
// turn, 11..20; the page buttons read Previous and Next. Nothing else shows
// in those cells (a screen naming the same texture must not put its words
// there).
TEST_F(MenuFrames, TheReplayListNumbersItsRowsAndNamesItsButtons)
{
    const std::string folder = GetUserDataDirectory(kSaveFolderName);
    ASSERT_FALSE(folder.empty());
    for (const auto& [slot, character] : {std::pair<u32, const char*>{1, "Talve"}, {3, "Derona"}, {14, "Kerlia"}})
        ASSERT_TRUE(replay_test::WriteHeaderFile(folder, slot, replay_test::Header("Stage07", character)));

    // Inside the frames of the two digits' slots and of the buttons.
    const u32 line = u32(replay_list::RowTexts(ReplayHeader{}, 0.0f, 0.0f).at(0).y);
    std::vector<std::vector<Box>> numbers;
    for (u32 row = 0; row < replay_list::kRows; ++row) {
        const u32 y = line - 2 + row * u32(replay_list::kRowHeight);
        numbers.push_back({{74, y, 20, 28}, {98, y, 20, 28}});
    }
    const std::vector<std::vector<Box>> buttons = {{{68, 660, 152, 32}}, {{804, 660, 152, 32}}};
    const auto check = [&](const std::string& png, u32 page) {
        const std::vector<u32> frame = Shot(png);
        int status = 0;
        const std::string read =
            ReadBoxes(frame, numbers, Out("Numbers" + png), &status, "-c tessedit_char_whitelist=0123456789");
        ASSERT_NE(status, 127) << "tesseract is not installed (scripts/install-deps.sh installs it)";
        ASSERT_EQ(status, 0) << read;
        std::string expected;
        for (u32 n = page * replay_list::kRows + 1; n <= (page + 1) * replay_list::kRows; ++n)
            expected += (n < 10 ? "0" : "") + std::to_string(n) + "\n";
        EXPECT_EQ(read, expected) << "see " << Out("Numbers" + png) << " and " << Out(png);
        EXPECT_EQ(ReadBoxes(frame, buttons, Out("Buttons" + png), &status), "Previous\nNext\n")
            << "see " << Out("Buttons" + png) << " and " << Out(png);
    };

    CReplaySceneArgs args{nullptr, nullptr, 0.0f, 1.0f, 2, 0};
    app_->ChangeScene(new CReplayScene, reinterpret_cast<intptr_t>(&args));
    ASSERT_EQ(Scene(), "CReplayScene");
    check("MenuReplayList.png", 0);

    // A page on: the turn takes 91 updates.
    const u8 right = u8(app_->GetSaveConfig()->GetKeyConfigSection()->keyboard[menu::kRight - 8]);
    input_.SetKey(right, true);
    Frame(17);
    input_.SetKey(right, false);
    auto* scene = dynamic_cast<CReplayScene*>(app_->GetScene());
    ASSERT_NE(scene, nullptr);
    ASSERT_EQ(scene->GetTargetPage(), 1u);
    for (u32 i = 0; i < 100; ++i) Frame(17);
    ASSERT_EQ(scene->GetPage(), 1u);
    check("MenuReplayListPage2.png", 1);
}

// The option select read by tesseract, row by row: each shown row's label
// and, beside it, the value the scene holds; the cursor's arrows stand on
// either side of its row's value and on no other row.
TEST_F(MenuFrames, TheOptionSelectShowsEachRowsValueBesideIt)
{
    namespace os = option_select;
    MenuSetupArgs args;
    args.curtain = 0.0f;
    args.setup = new CBattleSetup(app_->GetSaveConfig());
    app_->ChangeScene(new COptionSelect, reinterpret_cast<intptr_t>(&args));
    ASSERT_EQ(Scene(), "COptionSelect");
    auto* scene = dynamic_cast<COptionSelect*>(app_->GetScene());
    ASSERT_NE(scene, nullptr);
    // Values apart from the defaults, each row's its own.
    scene->SetStage(3, true);
    scene->SetRule(1);
    scene->SetPoint(2);
    scene->SetTime(6);
    scene->SetCpu(2);
    scene->SetFriend(1);
    scene->SetAnBgm(0);
    scene->SetCursorRow(os::kTime);
    const std::pair<i32, std::string> rows[] = {
        {os::kStage, os::kStageLayers[3]}, {os::kBgm, ""}, {os::kRule, os::kRuleLayers[1]},
        {os::kPoint, os::kPointLayers[2]}, {os::kTime, os::kTimeLayers[6]}, {os::kCpu, os::kCpuLayers[2]},
        {os::kFriend, os::kFriendLayers[1]}, {os::kAnBgm, os::kAnBgmLayers[0]}, {os::kInit, ""},
    };
    std::vector<std::vector<Box>> boxes;
    std::string expected;
    const auto spaceless = [](std::string text) {
        text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
        return text;
    };
    for (const auto& [row, value] : rows) {
        const u32 y = u32(scene_data::kOptionRowTop + scene_data::kOptionRowStep * f32(row));
        // Inside the cells' frames, which the recogniser would read as letters.
        boxes.push_back({{u32(scene_data::kOptionRowLeft) + 3, y + 3, u32(scene_data::kOptionLabelWidth) - 6, 26}});
        if (!value.empty())
            boxes.back().push_back({u32(scene_data::kOptionValueLeft) + 3, y + 3, u32(scene_data::kOptionValueWidth) - 6, 26});
        expected += spaceless(scene_data::CellText(os::kRowNames[row]) + (value.empty() ? "" : scene_data::CellText(value))) + "\n";
    }
    const std::vector<u32> frame = Shot("MenuOptionSelectRows.png");
    int status = 0;
    const std::string read = ReadBoxes(frame, boxes, Out("RowsMenuOptionSelectRows.png"), &status);
    ASSERT_NE(status, 127) << "tesseract is not installed (scripts/install-deps.sh installs it)";
    ASSERT_EQ(status, 0) << read;
    EXPECT_EQ(read, expected) << "see " << Out("RowsMenuOptionSelectRows.png") << " and " << Out("MenuOptionSelectRows.png");

    // The lit arrows' yellow just outside each row's value.
    const auto bright = [&](u32 left, u32 top) {
        u32 n = 0;
        for (u32 y = top; y < top + 32; ++y)
            for (u32 x = left; x < left + 24; ++x) n += (frame[y * kWidth + x] & 0xFFFFFFu) == 0xFFD020u;
        return n;
    };
    for (const auto& [row, value] : rows) {
        const u32 y = u32(scene_data::kOptionRowTop + scene_data::kOptionRowStep * f32(row));
        const u32 left = bright(u32(scene_data::kOptionValueLeft) - 24, y);
        const u32 right = bright(u32(scene_data::kOptionValueLeft + scene_data::kOptionValueWidth), y);
        if (row == os::kTime) {
            EXPECT_GT(left, 3u) << "no left arrow; see " << Out("MenuOptionSelectRows.png");
            EXPECT_GT(right, 3u) << "no right arrow; see " << Out("MenuOptionSelectRows.png");
        } else {
            EXPECT_EQ(left + right, 0u) << "row " << row << "; see " << Out("MenuOptionSelectRows.png");
        }
    }
}

// The options screen read by tesseract, item by item: each item's label
// and, beside it, the mark of the value the scene holds; each volume's bar
// filled as far as its value; the cursor's arrows on either side of its
// item and on no other.
TEST_F(MenuFrames, TheOptionsPairEachItemWithItsValue)
{
    namespace opt = option;
    MenuArgs args;
    args.curtain = 0.0f;
    app_->ChangeScene(new CGameOption, reinterpret_cast<intptr_t>(&args));
    ASSERT_EQ(Scene(), "CGameOption");
    auto* scene = dynamic_cast<CGameOption*>(app_->GetScene());
    ASSERT_NE(scene, nullptr);
    // Values apart from the defaults where the marks allow.
    scene->SetPadVibration(0);
    scene->SetScreenShake(1);
    scene->SetCameraSide(1);
    scene->SetVoicePlay(0);
    scene->SetRadarType(0);
    scene->SetGuardCorrection(0);
    scene->SetStoryDifficulty(2);
    scene->SetBgmVolume(0);
    scene->SetSeVolume(-1500);
    scene->SetVoiceVolume(-3000);
    scene->ShowItem(opt::kStory);
    const std::pair<i32, u32> marked[] = {{opt::kPad, 0}, {opt::kScreen, 1}, {opt::kCamera, 1}, {opt::kVoice, 0},
                                          {opt::kMap, 0}, {opt::kGuard, 0}, {opt::kStory, 2}};
    const char* const* marks[opt::kItemCount] = {opt::kPadMarks, opt::kScreenMarks, opt::kCameraMarks,
                                                 opt::kVoiceMarks, nullptr, nullptr, nullptr, opt::kMapMarks,
                                                 opt::kGuardMarks, opt::kStoryMarks, nullptr};
    const auto rowTop = [](i32 item) { return u32(scene_data::kGameOptionTop + scene_data::kGameOptionStep * f32(item)); };
    const auto spaceless = [](std::string text) {
        text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
        return text;
    };
    std::vector<std::vector<Box>> boxes;
    std::string expected;
    for (i32 item = 0; item < opt::kItemCount; ++item) {
        const u32 y = rowTop(item);
        boxes.push_back({{u32(scene_data::kGameOptionLeft) + 3, y + 3, u32(scene_data::kGameOptionLabelWidth) - 6, 26}});
        std::string line = scene_data::CellText(opt::kItemNames[item]);
        for (const auto& [row, value] : marked) {
            if (row != item) continue;
            boxes.back().push_back({u32(scene_data::GameOptionMarkLeft(value)) + 3, y + 3,
                                    u32(scene_data::kGameOptionMarkWidth) - 6, 26});
            line += scene_data::CellText(marks[item][value]);
        }
        expected += spaceless(line) + "\n";
    }
    const std::vector<u32> frame = Shot("MenuOptionsItems.png");
    int status = 0;
    const std::string read = ReadBoxes(frame, boxes, Out("ItemsMenuOptionsItems.png"), &status);
    ASSERT_NE(status, 127) << "tesseract is not installed (scripts/install-deps.sh installs it)";
    ASSERT_EQ(status, 0) << read;
    EXPECT_EQ(read, expected) << "see " << Out("ItemsMenuOptionsItems.png") << " and " << Out("MenuOptionsItems.png");

    // The bars' lit fill along their middle row: full, half, none.
    const f32 filled[3] = {1.0f, 0.5f, 0.0f};
    for (u32 bar = 0; bar < 3; ++bar) {
        const u32 y = rowTop(opt::kBgmVolume + i32(bar)) + 16;
        u32 lit = 0;
        for (u32 x = u32(scene_data::kGameOptionBarLeft); x < u32(scene_data::kGameOptionBarLeft + scene_data::kGameOptionBarWidth); ++x)
            lit += (frame[y * kWidth + x] & 0xFFFFFFu) == 0xFF9A10u;
        EXPECT_NEAR(f32(lit), filled[bar] * scene_data::kGameOptionBarWidth, 12.0f)
            << "bar " << bar << "; see " << Out("MenuOptionsItems.png");
    }

    // The lit arrows' yellow just outside the label and the last mark.
    const auto arrows = [&](i32 item) {
        u32 n = 0;
        for (u32 y = rowTop(item); y < rowTop(item) + 32; ++y)
            for (u32 x = 0; x < kWidth; ++x) n += (frame[y * kWidth + x] & 0xFFFFFFu) == 0xFFD020u;
        return n;
    };
    for (i32 item = 0; item < opt::kItemCount; ++item) {
        if (item == opt::kStory) {
            EXPECT_GT(arrows(item), 6u) << "no cursor; see " << Out("MenuOptionsItems.png");
        } else {
            EXPECT_EQ(arrows(item), 0u) << "item " << item << "; see " << Out("MenuOptionsItems.png");
        }
    }
}

// The cells' dark letters of a frame alone (dark texels with a light fill a
// few texels to either side, or above and below), black on white, written
// as name and read by tesseract as a sparse screen. A screen that dims its
// cells gives the darkest fill (dim) that still counts as one.
std::string CellLetters(const std::vector<u32>& frame, const std::string& name, int* status, bool dim = false)
{
    const std::string path = std::string(ORV_TEST_BUILD_DIR) + "/" + name;
    std::vector<u32> letters(frame.size(), 0xFFFFFFFFu);
    const auto light = [&](u32 x, u32 y) {
        const u32 c = frame[y * kWidth + x];
        if (dim) return (c >> 16 & 0xFF) >= 0x40 && (c >> 8 & 0xFF) >= 0x40 && (c & 0xFF) >= 0x40;
        return (c >> 16 & 0xFF) >= 0xB0 && (c >> 8 & 0xFF) >= 0x80 && (c & 0xFF) >= 0x10;
    };
    const u32 ink = dim ? 0x28 : 0x70;
    for (u32 y = 12; y + 12 < kHeight; ++y)
        for (u32 x = 12; x + 12 < kWidth; ++x) {
            const u32 c = frame[y * kWidth + x];
            if ((c >> 16 & 0xFF) >= ink || (c >> 8 & 0xFF) >= ink || (c & 0xFF) >= ink) continue;
            bool left = false, right = false, up = false, down = false;
            for (u32 d = 1; d <= 12; ++d) {
                left = left || light(x - d, y), right = right || light(x + d, y);
                up = up || light(x, y - d), down = down || light(x, y + d);
            }
            if ((left && right) || (up && down)) letters[y * kWidth + x] = 0xFF000000u;
        }
    const std::string png = gl_test::Png(letters, kWidth, kHeight);
    if (!host::kernel::WriteFileAtomic(path, png.data(), png.size())) {
        *status = -1;
        return "cannot write " + path;
    }
    return text_recogniser::Recognise(path, status, true);
}

// The adventure map on its first node, read by tesseract: the open node
// shows its stage's picture, each node not yet open says so, and the
// player's own icon (the cursor) names the character beside the node.
TEST_F(MenuFrames, TheAdventureMapNamesItsNodesAndTheCursor)
{
    CAdventureSceneArgs args;
    args.curtain = 0.0f;
    args.setup = new CBattleSetup(app_->GetSaveConfig());
    args.setup->adventureMode = 1;
    args.setup->entries[0].character = 2;
    args.column = 0;
    args.halfRow = 1;
    app_->ChangeScene(new CAdventureScene, reinterpret_cast<intptr_t>(&args));
    ASSERT_EQ(Scene(), "CAdventureScene");
    const std::vector<u32> frame = Shot("MenuAdventure.png");
    int status = 0;
    const std::string read = CellLetters(frame, "LettersMenuAdventure.png", &status);
    ASSERT_NE(status, 127) << "tesseract is not installed (scripts/install-deps.sh installs it)";
    const std::set<std::string> words = text_recogniser::Words(read);
    // The player's icon and the first node's opponent (node 1: Derona).
    for (const char* word : {console_names::kImageName[2], console_names::kImageName[1], "Stage", "Not", "open"})
        EXPECT_EQ(words.count(word), 1u) << word << " not read; tesseract read:\n" << read << "see " << Out("MenuAdventure.png");
    // No layer's own name, no node not open as a stage of its own.
    for (const char* word : {"ico", "cha", "m"}) EXPECT_EQ(words.count(word), 0u) << word << " read in:\n" << read;
    EXPECT_EQ(read.find("18"), std::string::npos) << read;
}

// The story's preview of its first battle, read by tesseract: its
// opponent's title, its music and stage in words.
TEST_F(MenuFrames, TheStoryPreviewNamesTheBattle)
{
    MenuSetupArgs args;
    args.curtain = 0.0f;
    args.alpha = 1.0f;
    args.setup = new CBattleSetup(app_->GetSaveConfig());
    args.setup->entries[0].character = 0;
    for (u32 i = 0; i < 2; ++i) ASSERT_EQ(CStoryScene::AdvanceStory(args.setup), 1) << i;
    app_->ChangeScene(new CStoryScene, reinterpret_cast<intptr_t>(&args));
    ASSERT_EQ(Scene(), "CStoryScene");
    auto* story = dynamic_cast<CStoryScene*>(app_->GetScene());
    ASSERT_NE(story, nullptr);
    ASSERT_EQ(story->GetScreen(), CStoryScene::kPreview);
    // The preview shows whole once its battle has loaded (a loader thread,
    // real time).
    host::kernel::Event never(true, false);
    for (u32 i = 0; i < 1000 && story->GetLoadState() < loading::kLoaded; ++i) {
        never.Wait(10);
        Frame(17);
    }
    ASSERT_GE(story->GetLoadState(), u32(loading::kLoaded));
    const std::vector<u32> frame = Shot("MenuStoryPreview.png");
    int status = 0;
    const std::string read = CellLetters(frame, "LettersMenuStoryPreview.png", &status, true);
    ASSERT_NE(status, 127) << "tesseract is not installed (scripts/install-deps.sh installs it)";
    const std::set<std::string> words = text_recogniser::Words(read);
    for (const char* word : {"VS", "Derona", "Music", "Stage"})
        EXPECT_EQ(words.count(word), 1u) << word << " not read; tesseract read:\n" << read << "see " << Out("MenuStoryPreview.png");
    for (const char* word : {"bat", "tit", "bgm", "st", "dero"}) EXPECT_EQ(words.count(word), 0u) << word << " read in:\n" << read;
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
