// The character select's skill panel as drawn: where its parts stand at
// several screen sizes, and how they follow the panel while it opens and
// closes.
#include "game/scenes/CharaSelect.h"

#include "engine/scene/SceneObject.h"
#include "game/data/SaveData.h"
#include "game/scenes/tests/DrawnSprites.h"
#include "game/scenes/tests/MenuRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

namespace chara_select_panel_test {

namespace ORV_TEST_FILE_ID {

using game_test::GameDriver;
using menu_run::Step;
using namespace select_card;

// 1024 x 768, 800 x 600 and 1280 x 720 (wider than the layout).
constexpr u32 kScreenSizes[] = {2, 1, 7};
constexpr f32 kNear = 0.01f;

using drawn_sprites::Named;
using drawn_sprites::Sprite;
using chara_select::KindSkills;

// Every sprite of the last frame, in drawing order.
std::vector<Sprite> Sprites(GameDriver& game)
{
    static const std::vector<std::string> layers = scene_data::CharaSelectLayers();
    return drawn_sprites::Sprites(game, layers, menu::FindTexture(scene_data::kCharaSelectTexture),
        scene_data::CharaSelectSheets());
}

// The panel's sprites: from its frame on.
std::vector<Sprite> PanelSprites(GameDriver& game)
{
    std::vector<Sprite> sprites = Sprites(game);
    const auto frame = std::find_if(sprites.begin(), sprites.end(), [](const Sprite& s) { return s.layer == "Skill"; });
    return std::vector<Sprite>(frame, sprites.end());
}

game_test::DriverOptions ScreenOptions(u32 size)
{
    return menu_run::SaveOptions([size](CSaveConfig& config) { config.GetGraphicsSettings()->screenSize = u8(size); });
}

// The first card edited on Talve, its cursor on "Custom": the next right opens the
// panel on the saved set (kind 0 none: its orb is locked; kind 1 none:
// past the list; kind 2 orb 30, its first).
CCharaSelect* BeforeThePanel(GameDriver& game)
{
    if (!menu_run::FromTitle(game, title::kBattle)) return nullptr;
    CCharaSelect* scene = menu_run::Select(game);
    Step(game, menu::kDecide);
    Step(game, menu::kDown);
    Step(game, menu::kDown);
    Step(game, menu::kRight);
    for (u32 i = 0; i < 3; ++i) Step(game, menu::kDown);
    return scene->GetRow() == kRowCustom && scene->GetCard(0)->Word(kCharacter) == 0 ? scene : nullptr;
}

// The panel opened from there (the first right).
CCharaSelect* OpenedPanel(GameDriver& game)
{
    CCharaSelect* scene = BeforeThePanel(game);
    if (!scene) return nullptr;
    Step(game, menu::kRight, 14);
    return scene->IsPanelOpen() ? scene : nullptr;
}

// The screen size's name, for the trace of a case.
std::string ScreenName(u32 size)
{
    return "screen " + std::to_string(kDisplaySizes[size].width) + "x" + std::to_string(kDisplaySizes[size].height);
}

const CSceneObject* Layer(CCharaSelect* scene, const char* name)
{
    return const_cast<const CCharaSelect*>(scene)->FindLayer(name);
}

// The layout on the screen: its origin (the viewport's margin, read from
// where the title is drawn against where it stands) and its scale.
struct Screen {
    f32 originX = 0.0f, originY = 0.0f, scale = 1.0f;
};
Screen ScreenOf(GameDriver& game, CCharaSelect* scene)
{
    Screen screen;
    const std::vector<Sprite> title = Named(Sprites(game), "Title");
    const CSceneObject* layer = Layer(scene, "Title");
    if (title.size() != 1 || !layer) {
        ADD_FAILURE() << "the title is not drawn once";
        return screen;
    }
    screen.originX = title[0].x - layer->GetScreenState().position.x;
    screen.originY = title[0].y - layer->GetScreenState().position.y;
    screen.scale = layer->GetFitState().scaleY;
    return screen;
}

void ExpectAt(const Sprite& s, f32 x, f32 y, const char* what)
{
    EXPECT_NEAR(s.x, x, kNear) << what;
    EXPECT_NEAR(s.y, y, kNear) << what;
}

// The cursor on none stands on the kind's empty mark, on an orb in the
// orb's column; each slot button shows its chosen orb or the empty image
// on the button; every row has sixteen places, the locked and those past
// the kind's last record showing the mystery orb.
TEST(CharaSelectPanelRun, PartsStandOnTheirPlacesAtEveryScreenSize)
{
    for (const u32 size : kScreenSizes) {
        SCOPED_TRACE(ScreenName(size));
        GameDriver game(game_test::GameDataRoot(), ScreenOptions(size));
        CCharaSelect* scene = OpenedPanel(game);
        ASSERT_NE(scene, nullptr) << game.Describe();
        ASSERT_EQ(scene->GetSkillIndex(0), scene->GetKindSkills(0)->Count());
        ASSERT_EQ(scene->GetSkillIndex(1), scene->GetKindSkills(1)->Count());
        ASSERT_EQ(scene->GetChosenSkill(2), 31u);
        const Screen screen = ScreenOf(game, scene);
        ASSERT_NEAR(screen.scale, f32(kDisplaySizes[size].height) / 768.0f, 1e-6f);
        const auto placed = [&](const char* name, f32 x = 0.0f, f32 y = 0.0f) {
            const CVector3& at = Layer(scene, name)->GetScreenState().position;
            return std::pair<f32, f32>(screen.originX + at.x + x * screen.scale, screen.originY + at.y + y * screen.scale);
        };

        std::vector<Sprite> sprites = Sprites(game);
        // The slot buttons: the card's orb 1 (locked here, chosen still:
        // "rei_geki1"), none, and kind 2's orb 30 ("rei_syu0").
        const struct {
            const char* image;
            const char* button;
        } buttons[] = {{"rei_geki1", "rei_n_geki"}, {"rei_emp2k", "rei_n_soku"}, {"rei_syu0", "rei_n_syu"}};
        for (const auto& b : buttons) {
            const auto [x, y] = placed(b.button);
            const std::vector<Sprite> drawn = Named(sprites, b.image);
            EXPECT_TRUE(std::any_of(drawn.begin(), drawn.end(), [&](const Sprite& s) {
                return std::abs(s.x - x) < kNear && std::abs(s.y - y) < kNear;
            })) << b.image << " on " << b.button;
        }
        // Sixteen places a row: orb 1 locked in column 1 of kind 0, and
        // column 15 after each kind's fifteen records.
        std::vector<std::pair<f32, f32>> mystery;
        for (const Sprite& s : Named(sprites, "rei_nazos")) mystery.emplace_back(s.x, s.y);
        std::vector<std::pair<f32, f32>> expected = {placed("rei_nazos", 340, 376), placed("rei_nazos", 900, 376),
            placed("rei_nazos", 900, 444), placed("rei_nazos", 900, 512)};
        std::sort(mystery.begin(), mystery.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(mystery.size(), expected.size());
        for (size_t i = 0; i < expected.size() && mystery.size() == expected.size(); ++i) {
            EXPECT_NEAR(mystery[i].first, expected[i].first, kNear) << i;
            EXPECT_NEAR(mystery[i].second, expected[i].second, kNear) << i;
        }
        u32 orbs = 0;
        for (u32 i = 0; i < kOrbCount; ++i) orbs += u32(Named(sprites, OrbElementName(i, false)).size());
        EXPECT_EQ(orbs, 44u + 2u);   // the unlocked ones and kinds 0's and 2's buttons

        // The cursor: on kind 0's and kind 1's empty marks, then on kind
        // 2's first orb.
        for (const char* mark : {"rei_emp", "rei_emp2"}) {
            const std::vector<Sprite> cursor = Named(sprites, "rei_car"), empty = Named(sprites, mark);
            ASSERT_EQ(cursor.size(), 1u) << mark;
            ASSERT_EQ(empty.size(), 1u) << mark;
            ExpectAt(cursor[0], empty[0].x, empty[0].y, mark);
            Step(game, menu::kDown);
            sprites = Sprites(game);
        }
        ASSERT_EQ(scene->GetSkillSlot(), 2u);
        const std::vector<Sprite> cursor = Named(sprites, "rei_car");
        ASSERT_EQ(cursor.size(), 1u);
        const auto [x, y] = placed("rei_car", 300, 512);
        ExpectAt(cursor[0], x, y, "on orb 30");
    }
}

// Talve's saved set holds orb 1 (locked on this side), a position past the
// list and orb 30. Opened on it, the panel keeps them chosen, its cursor
// on none where the orb is not offered; Ok (or start) leaves them on the
// card and in the save; a kind decided anew is the only one that changes.
TEST(CharaSelectPanelRun, OkKeepsTheCardsOrbsThisSideHasNotWon)
{
    const struct {
        const char* name;
        u32 key;            // Ok (decide on it) or start
        bool decideKind0;   // a choice on kind 0 first
        u32 orbs[3];        // on the card after the panel closed
    } cases[] = {
        {"ok", menu::kDecide, false, {2, 99, 31}},
        {"start", menu::kStart, false, {2, 99, 31}},
        {"kind 0 decided", menu::kDecide, true, {1, 99, 31}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GameDriver game(game_test::GameDataRoot(), ScreenOptions(2));
        CCharaSelect* scene = OpenedPanel(game);
        ASSERT_NE(scene, nullptr) << game.Describe();
        constexpr u32 kSaved[3] = {2, 99, 31};
        for (u32 k = 0; k < 3; ++k) EXPECT_EQ(scene->GetChosenSkill(k), kSaved[k]) << k;
        EXPECT_EQ(scene->GetSkillIndex(0), scene->GetKindSkills(0)->Count());
        EXPECT_EQ(scene->GetSkillIndex(1), scene->GetKindSkills(1)->Count());
        EXPECT_EQ(scene->GetSkillIndex(2), 0u);
        if (c.decideKind0) {
            Step(game, menu::kRight);    // none -> orb 0
            Step(game, menu::kDecide);
        }
        if (c.key == menu::kDecide)
            for (u32 i = 0; i < 3; ++i) Step(game, menu::kDown);
        ASSERT_EQ(scene->GetSkillSlot(), c.key == menu::kDecide ? chara_select::kSlotOk : 0u);
        Step(game, c.key, 14);
        ASSERT_FALSE(scene->IsPanelOpen());
        const CSelectCard* card = scene->GetCard(0);
        const GameDataItem* saved = game.App().GetSaveData()->GetSkillSet(0, 0, 0);
        ASSERT_NE(saved, nullptr);
        for (u32 k = 0; k < 3; ++k) {
            EXPECT_EQ(card->Word(kSkill0 + k), c.orbs[k]) << k;
            EXPECT_EQ(saved->value[k], c.orbs[k]) << k;
        }
    }
}

// The open panel's frame and its three slot buttons are drawn texel for
// texel (their words neither stretched nor squashed), and once Ok closed
// it the card's orbs each stand on its kind's empty mark at the mark's
// size (none for the position past the list).
TEST(CharaSelectPanelRun, FrameAndButtonsAreDrawnTexelForTexelAndTheCardsOrbsOnTheirMarks)
{
    for (const u32 size : {2u, 7u}) {
        SCOPED_TRACE(ScreenName(size));
        GameDriver game(game_test::GameDataRoot(), ScreenOptions(size));
        CCharaSelect* scene = OpenedPanel(game);
        ASSERT_NE(scene, nullptr) << game.Describe();
        const Screen screen = ScreenOf(game, scene);
        const std::vector<Sprite> sprites = PanelSprites(game);
        for (const char* layer : {"Skill", "Skill/rei_n_geki", "Skill/rei_n_soku", "Skill/rei_n_syu"}) {
            const std::vector<Sprite> drawn = Named(sprites, layer);
            ASSERT_EQ(drawn.size(), 1u) << layer;
            EXPECT_GT(drawn[0].texelsW, 100.0f) << layer;
            EXPECT_NEAR(drawn[0].w, drawn[0].texelsW * screen.scale, 0.5f) << layer;
            EXPECT_NEAR(drawn[0].h, drawn[0].texelsH * screen.scale, 0.5f) << layer;
        }
        for (u32 i = 0; i < 3; ++i) Step(game, menu::kDown);
        Step(game, menu::kDecide, 14);
        ASSERT_FALSE(scene->IsPanelOpen());
        const std::vector<Sprite> card = Sprites(game);
        const CSelectCard* first = scene->GetCard(0);
        // Orb 1 (position 2) on kind 0's mark, orb 30 (position 31) on kind 2's.
        for (const auto& [orb, mark] : {std::pair{"Chara/rei_geki1e", "rei_empe"}, std::pair{"Chara/rei_syu0e", "rei_emp3e"}}) {
            SCOPED_TRACE(orb);
            const CSceneObject* at = first->Element(mark);
            ASSERT_NE(at, nullptr);
            const std::vector<Sprite> drawn = Named(card, orb);
            ASSERT_EQ(drawn.size(), 1u);
            const CLayerState& place = at->GetScreenState();
            ExpectAt(drawn[0], screen.originX + place.position.x, screen.originY + place.position.y, orb);
            EXPECT_NEAR(drawn[0].w, 36.0f * screen.scale, 0.5f);
            EXPECT_NEAR(drawn[0].h, 32.0f * screen.scale, 0.5f);
        }
        u32 orbs = 0;
        for (const Sprite& s : card) orbs += s.layer.size() > 10 && s.layer.back() == 'e' && s.layer.rfind("Chara/rei_", 0) == 0 &&
                                             s.layer.rfind("Chara/rei_emp", 0) != 0;
        EXPECT_EQ(orbs, 2u);
    }
}

// Opens the panel from card 1's "Custom" row and closes it again: while
// it opens and while it closes, every part of it (the frame, the cursor,
// the orbs, the texts, the buttons' images, the empty marks) stands at its
// place when open times the panel scale moved by the panel offset, then
// the screen scale; its size times the panel scale.
void ExpectEveryPartZoomsWithThePanel(GameDriver& game, CCharaSelect* scene)
{
    const Screen screen = ScreenOf(game, scene);
    const CSceneObject* frame = Layer(scene, "Skill");
    ASSERT_NE(frame, nullptr);
    game.Press(menu::kRight);
    game.Frames(3);
    const LayerSettings opening = frame->GetSettings();
    const std::vector<Sprite> mid = PanelSprites(game);
    game.Frames(12);
    ASSERT_TRUE(scene->IsPanelOpen());
    const std::vector<Sprite> open = PanelSprites(game);
    game.Press(menu::kCancel);
    game.Frames(4);
    ASSERT_TRUE(scene->IsPanelOpen());
    const LayerSettings closing = frame->GetSettings();
    const std::vector<Sprite> shut = PanelSprites(game);

    // The frame, the cursor, the orbs, a text's glyphs, two buttons'
    // images and the empty marks.
    ASSERT_GT(open.size(), 1u + 1u + 48u + 1u + 3u + 3u);
    EXPECT_TRUE(std::any_of(open.begin(), open.end(), [](const Sprite& s) { return s.layer.empty(); }));
    for (const auto& [name, settings, drawn] :
        {std::tuple{"opening", opening, mid}, std::tuple{"closing", closing, shut}}) {
        SCOPED_TRACE(name);
        const f32 t = settings.offset.scaleX;
        ASSERT_GT(t, 0.05f);
        ASSERT_LT(t, 0.95f);
        EXPECT_NEAR(settings.offset.position.x, 200.0f * (1.0f - t), 1e-3f);
        EXPECT_NEAR(settings.offset.position.y, 530.0f * (1.0f - t), 1e-3f);
        ASSERT_EQ(drawn.size(), open.size());
        for (size_t i = 0; i < open.size(); ++i) {
            const Sprite& a = open[i];
            const Sprite& b = drawn[i];
            SCOPED_TRACE(testing::Message() << i << " " << (a.layer.empty() ? "text" : a.layer));
            ASSERT_EQ(b.texture, a.texture);
            ASSERT_EQ(b.layer, a.layer);
            const f32 x = ((a.x - screen.originX) / screen.scale * t + settings.offset.position.x) * screen.scale;
            const f32 y = ((a.y - screen.originY) / screen.scale * t + settings.offset.position.y) * screen.scale;
            EXPECT_NEAR(b.x, screen.originX + x, kNear);
            EXPECT_NEAR(b.y, screen.originY + y, kNear);
            EXPECT_NEAR(b.w, a.w * t, kNear);
            EXPECT_NEAR(b.h, a.h * t, kNear);
        }
    }
}

TEST(CharaSelectPanelRun, EveryPartZoomsWithThePanel)
{
    for (const u32 size : kScreenSizes) {
        SCOPED_TRACE(ScreenName(size));
        GameDriver game(game_test::GameDataRoot(), ScreenOptions(size));
        CCharaSelect* scene = BeforeThePanel(game);
        ASSERT_NE(scene, nullptr) << game.Describe();
        ExpectEveryPartZoomsWithThePanel(game, scene);
    }
}

// The open panel on the data's layout: every sprite of it (the frame, the
// 48 row places and the orb on kind 2's button among them) lies inside the
// layout's part of the window, and the cursor stands on the orb of the
// skill it selects, through a whole row and onto the empty choice's mark.
TEST(CharaSelectPanelRun, OpenPanelLiesOnTheScreenWithTheCursorOnItsOrb)
{
    for (const u32 size : kScreenSizes) {
        SCOPED_TRACE(ScreenName(size));
        GameDriver game(game_test::GameDataRoot(), ScreenOptions(size));
        CCharaSelect* scene = OpenedPanel(game);
        ASSERT_NE(scene, nullptr) << game.Describe();
        const Screen screen = ScreenOf(game, scene);
        const f32 right = screen.originX + 1024.0f * screen.scale, bottom = screen.originY + 768.0f * screen.scale;
        const std::vector<Sprite> panel = PanelSprites(game);
        u32 orbs = 0;
        for (const Sprite& s : panel) {
            SCOPED_TRACE(s.layer.empty() ? "text" : s.layer);
            EXPECT_GE(s.x, screen.originX - kNear);
            EXPECT_GE(s.y, screen.originY - kNear);
            EXPECT_LE(s.x + s.w, right + kNear);
            EXPECT_LE(s.y + s.h, bottom + kNear);
            orbs += s.layer == "rei_nazos" || s.layer.rfind("rei_geki", 0) == 0 || s.layer.rfind("rei_soku", 0) == 0 ||
                    s.layer.rfind("rei_syu", 0) == 0;
        }
        EXPECT_EQ(orbs, 48u + 2u);

        Step(game, menu::kDown);
        Step(game, menu::kDown);
        ASSERT_EQ(scene->GetSkillSlot(), 2u);
        const KindSkills& kind = *scene->GetKindSkills(2);
        for (u32 step = 0; step <= kind.Count(); ++step) {
            const u32 position = kind.PositionAt(scene->GetSkillIndex(2));
            SCOPED_TRACE(testing::Message() << "step " << step << ", skill " << position);
            const std::vector<Sprite> sprites = PanelSprites(game);
            const std::vector<Sprite> cursor = Named(sprites, "rei_car");
            ASSERT_EQ(cursor.size(), 1u);
            // The data's skill at position p shows orb p - 1; none, the mark.
            const std::string under = position ? OrbElementName(position - 1, false) : "rei_emp3";
            EXPECT_TRUE(drawn_sprites::AnyAt(Named(sprites, under), cursor[0].x, cursor[0].y)) << under;
            EXPECT_GE(cursor[0].w, Named(sprites, under).at(0).w);
            Step(game, menu::kRight);
        }
        EXPECT_EQ(scene->GetSkillIndex(2), 0u);   // round to the first
    }
}

// The sprites of the panel that stay where they are while it is open: the
// frame, the rows, the buttons and the empty choices' marks (the cursor,
// the texts and the chosen orbs' images aside).
std::vector<Sprite> StillParts(GameDriver& game)
{
    std::vector<Sprite> still;
    for (const Sprite& s : PanelSprites(game)) {
        const std::string& l = s.layer;
        if (l == "Skill" || l == "rei_nazos" || l.rfind("Skill/rei_", 0) == 0 ||
            (l.rfind("rei_emp", 0) == 0 && l.back() != 'k') || (l.rfind("rei_geki", 0) == 0 && l != "rei_geki1") ||
            l.rfind("rei_soku", 0) == 0 || (l.rfind("rei_syu", 0) == 0 && l != "rei_syu0"))
            still.push_back(s);
    }
    return still;
}

// Keys pressed in one frame on the open panel each take their step, in
// this order: a turn, a move to another slot, a choice there, Ok or start,
// cancel. The panel opens on Talve's saved set {2, 99, 31}, slot 0, its
// cursor on none.
TEST(CharaSelectPanelRun, KeysOfOneFrameEachTakeTheirStep)
{
    const struct {
        const char* what;
        std::vector<u32> together;
        u32 slot;
        u32 chosen[3];   // the panel's choice after the frame
        bool open;       // once a closing would have ended
        u32 card[3];     // the card's orbs then
    } cases[] = {
        {"right and decide choose the orb turned to", {menu::kRight, menu::kDecide}, 0, {1, 99, 31}, true,
         {2, 99, 31}},
        {"down and decide choose on the slot moved to", {menu::kStickDown, menu::kDecide}, 1, {2, 0, 31}, true,
         {2, 99, 31}},
        {"up and decide land on Ok and take it", {menu::kUp, menu::kDecide}, 3, {2, 99, 31}, false, {2, 99, 31}},
        {"right, decide and start keep the new choice", {menu::kStickRight, menu::kDecide, menu::kStart}, 0,
         {1, 99, 31}, false, {1, 99, 31}},
        {"right and start close at once", {menu::kRight, menu::kStart}, 0, {2, 99, 31}, false, {2, 99, 31}},
        {"decide and cancel drop the choice", {menu::kDecide, menu::kCancel}, 0, {0, 99, 31}, false, {2, 99, 31}},
        {"left and right turn left", {menu::kLeft, menu::kRight}, 0, {2, 99, 31}, true, {2, 99, 31}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        GameDriver game(game_test::GameDataRoot(), ScreenOptions(2));
        CCharaSelect* scene = OpenedPanel(game);
        ASSERT_NE(scene, nullptr) << game.Describe();
        const u32 noneIndex = scene->GetKindSkills(0)->Count();
        ASSERT_EQ(scene->GetSkillIndex(0), noneIndex);
        for (u32 code : c.together) game.Hold(code, true);
        game.Frame();
        for (u32 code : c.together) game.Hold(code, false);
        EXPECT_EQ(scene->GetSkillSlot(), c.slot);
        for (u32 k = 0; k < 3; ++k) EXPECT_EQ(scene->GetChosenSkill(k), c.chosen[k]) << k;
        // Right turns from none to the first orb, left to the last.
        const bool turned = std::find(c.together.begin(), c.together.end(), menu::kLeft) != c.together.end() ||
            std::find(c.together.begin(), c.together.end(), menu::kRight) != c.together.end() ||
            std::find(c.together.begin(), c.together.end(), menu::kStickRight) != c.together.end();
        const bool left = std::find(c.together.begin(), c.together.end(), menu::kLeft) != c.together.end();
        EXPECT_EQ(scene->GetSkillIndex(0), !turned ? noneIndex : left ? noneIndex - 1 : 0u);
        game.Frames(12);   // past a closing's 0.15 s
        EXPECT_EQ(scene->IsPanelOpen(), c.open);
        for (u32 k = 0; k < 3; ++k) EXPECT_EQ(scene->GetCard(0)->Word(kSkill0 + k), c.card[k]) << k;
    }
}

// The open panel holds still while the skill cursor slides and while a
// choice flashes: only opening and closing zoom it.
TEST(CharaSelectPanelRun, OpenPanelHoldsStillWhileTheCursorSlidesAndAChoiceFlashes)
{
    GameDriver game(game_test::GameDataRoot(), ScreenOptions(1));
    CCharaSelect* scene = OpenedPanel(game);
    ASSERT_NE(scene, nullptr) << game.Describe();
    const std::vector<Sprite> open = StillParts(game);
    // The frame, its four items, the rows (kind 2's first orb aside; kind
    // 0's chosen orb is locked, not in its row), the
    // empty choices' marks.
    ASSERT_EQ(open.size(), 1u + 4u + 47u + 3u);
    for (const u32 key : {menu::kRight, menu::kDecide}) {
        SCOPED_TRACE(key == menu::kRight ? "slide" : "flash");
        game.Press(key);
        for (u32 frame = 1; frame <= 8; ++frame) {
            SCOPED_TRACE(frame);
            game.Frame();
            const std::vector<Sprite> now = StillParts(game);
            ASSERT_EQ(now.size(), open.size());
            for (size_t i = 0; i < open.size(); ++i) {
                ASSERT_EQ(now[i].layer, open[i].layer) << i;
                EXPECT_NEAR(now[i].x, open[i].x, kNear) << open[i].layer;
                EXPECT_NEAR(now[i].y, open[i].y, kNear) << open[i].layer;
                EXPECT_NEAR(now[i].w, open[i].w, kNear) << open[i].layer;
                EXPECT_NEAR(now[i].h, open[i].h, kNear) << open[i].layer;
            }
        }
    }
    EXPECT_EQ(scene->GetChosenSkill(0), 1u);   // the flash was a choice
}

// layer taken from its list into list (a group's children, or the top).
void MoveInto(CSceneObject* layer, CResourceList* list)
{
    CResourceList* from = layer->GetOwnerList();
    for (u32 i = 0; from && i < from->GetCount(); ++i) {
        if (LayerAt(from, i) != layer) continue;
        const u32 owns = from->GetOwns();
        from->SetOwns(0);
        from->RemoveAt(i);
        from->SetOwns(owns);
        break;
    }
    AppendLayer(list, layer);
    layer->SetOwnerList(list);
}

// A layout scaled less down than across (its scales differ): the frame
// stands at its place, the chosen orbs' images and the empty image on
// their buttons, the cursor on the empty choice's mark and on its orb. The
// slot buttons in the frame, as the data has them, and on their own.
TEST(CharaSelectPanelRun, PartsStandOnTheirPlacesWhenTheScalesDiffer)
{
    for (const bool inFrame : {true, false}) {
        SCOPED_TRACE(inFrame ? "buttons in the frame" : "buttons on their own");
        GameDriver game(game_test::GameDataRoot(), ScreenOptions(2));
        CCharaSelect* scene = BeforeThePanel(game);
        ASSERT_NE(scene, nullptr) << game.Describe();
        if (!inFrame)
            for (const char* button : {"rei_n_geki", "rei_n_soku", "rei_n_syu"})
                MoveInto(scene->FindLayer(button), scene->GetLayers());
        scene->SetScale(1.0f, 0.75f);
        Step(game, menu::kRight, 14);
        ASSERT_TRUE(scene->IsPanelOpen());
        const Screen screen = ScreenOf(game, scene);
        std::vector<Sprite> sprites = PanelSprites(game);
        ASSERT_FALSE(sprites.empty());
        ASSERT_EQ(sprites[0].layer, "Skill");
        const auto on = [&](const char* over, const char* under) {
            const CVector3& at = Layer(scene, under)->GetScreenState().position;
            EXPECT_TRUE(drawn_sprites::AnyAt(Named(sprites, over), screen.originX + at.x, screen.originY + at.y))
                << over << " on " << under;
        };
        const CVector3& frame = Layer(scene, "Skill")->GetScreenState().position;
        ExpectAt(sprites[0], screen.originX + frame.x, screen.originY + frame.y, "the frame");
        on("rei_geki1", "rei_n_geki");
        on("rei_emp2k", "rei_n_soku");
        on("rei_syu0", "rei_n_syu");
        on("rei_car", "rei_emp");
        Step(game, menu::kDown);
        Step(game, menu::kDown);
        Step(game, menu::kRight);
        ASSERT_EQ(scene->GetSkillIndex(2), 1u);
        sprites = PanelSprites(game);
        const std::vector<Sprite> cursor = Named(sprites, "rei_car");
        ASSERT_EQ(cursor.size(), 1u);
        EXPECT_TRUE(drawn_sprites::AnyAt(Named(sprites, "rei_syu1"), cursor[0].x, cursor[0].y));
    }
}

// A frame moved away from where the layout puts it, holding the slot
// buttons (drawn with it, as the data's frame does): the frame zooms as
// every other part, and the buttons' images stay on the buttons as drawn.
TEST(CharaSelectPanelRun, FrameAwayFromTheCornerHoldingTheButtons)
{
    GameDriver game(game_test::GameDataRoot(), ScreenOptions(1));
    CCharaSelect* scene = BeforeThePanel(game);
    ASSERT_NE(scene, nullptr) << game.Describe();
    CSceneObject* frame = scene->FindLayer("Skill");
    ASSERT_NE(frame, nullptr);
    frame->SetBasePosition(100.0f, 50.0f);
    ExpectEveryPartZoomsWithThePanel(game, scene);

    game.Frames(12);
    for (const u32 frames : {4u, 12u}) {
        SCOPED_TRACE(frames);
        game.Press(menu::kRight);
        game.Frames(frames);
        const std::vector<Sprite> sprites = PanelSprites(game);
        for (const auto& [image, button] :
            {std::pair{"rei_geki1", "Skill/rei_n_geki"}, std::pair{"rei_syu0", "Skill/rei_n_syu"}}) {
            const std::vector<Sprite> under = Named(sprites, button), over = Named(sprites, image);
            ASSERT_EQ(under.size(), 1u) << button;
            EXPECT_TRUE(std::any_of(over.begin(), over.end(), [&](const Sprite& s) {
                return std::abs(s.x - under[0].x) < kNear && std::abs(s.y - under[0].y) < kNear;
            })) << image << " on " << button;
        }
        game.Frames(12 - frames);   // open: it takes input again
        game.Press(menu::kCancel);
        game.Frames(12);
        ASSERT_FALSE(scene->IsPanelOpen());
    }
}

}  // namespace ORV_TEST_FILE_ID

}  // namespace chara_select_panel_test
