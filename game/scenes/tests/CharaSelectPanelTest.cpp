// The character select's skill panel as drawn: where its parts stand at
// several screen sizes, and how they follow the panel while it opens and
// closes.
#include "game/scenes/CharaSelect.h"

#include "engine/scene/SceneObject.h"
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

struct Sprite {
    std::string layer;   // empty for another texture's (the texts)
    u64 texture;
    f32 x, y, w, h;      // upper left corner and size
};

// Every sprite of the last frame, in drawing order.
std::vector<Sprite> Sprites(GameDriver& game)
{
    static const std::vector<std::string> layers = scene_data::CharaSelectLayers();
    const CTexture* texture = menu::FindTexture(scene_data::kCharaSelectTexture);
    const u64 id = texture ? game.Render().IdOf(texture->GetTexture()) : 0;
    std::vector<Sprite> sprites;
    for (const host::render::Call& call : game.RenderLog()) {
        SpriteVertex v[4];
        if (call.op != "DrawPrimitiveUP" || call.data.size() != sizeof v) continue;
        std::memcpy(static_cast<void*>(v), call.data.data(), sizeof v);
        Sprite s;
        s.texture = u64(call.Number("texture"));
        const f32 u = (v[0].u + v[1].u + v[2].u + v[3].u) / 4, w = (v[0].v + v[1].v + v[2].v + v[3].v) / 4;
        s.layer = s.texture == id ? scene_data::LayerAt(layers, u, w, {}, texture->GetHeight()) : std::string();
        s.x = std::min({v[0].x, v[1].x, v[2].x, v[3].x});
        s.y = std::min({v[0].y, v[1].y, v[2].y, v[3].y});
        s.w = std::max({v[0].x, v[1].x, v[2].x, v[3].x}) - s.x;
        s.h = std::max({v[0].y, v[1].y, v[2].y, v[3].y}) - s.y;
        sprites.push_back(s);
    }
    return sprites;
}

std::vector<Sprite> Named(const std::vector<Sprite>& sprites, const std::string& layer)
{
    std::vector<Sprite> out;
    for (const Sprite& s : sprites)
        if (s.layer == layer) out.push_back(s);
    return out;
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
        SCOPED_TRACE(testing::Message() << "screen " << kDisplaySizes[size].width << "x" << kDisplaySizes[size].height);
        GameDriver game(game_test::GameDataRoot(), ScreenOptions(size));
        CCharaSelect* scene = BeforeThePanel(game);
        ASSERT_NE(scene, nullptr) << game.Describe();
        Step(game, menu::kRight, 14);
        ASSERT_TRUE(scene->IsPanelOpen());
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
        // The slot buttons: none, none, and kind 2's orb 30 ("rei_syu0").
        const struct {
            const char* image;
            const char* button;
        } buttons[] = {{"rei_empk", "rei_n_geki"}, {"rei_emp2k", "rei_n_soku"}, {"rei_syu0", "rei_n_syu"}};
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
        EXPECT_EQ(orbs, 44u + 1u);   // the unlocked ones and kind 2's button

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
        SCOPED_TRACE(testing::Message() << "screen " << kDisplaySizes[size].width << "x" << kDisplaySizes[size].height);
        GameDriver game(game_test::GameDataRoot(), ScreenOptions(size));
        CCharaSelect* scene = BeforeThePanel(game);
        ASSERT_NE(scene, nullptr) << game.Describe();
        ExpectEveryPartZoomsWithThePanel(game, scene);
    }
}

// layer taken from its list into group's children.
void MoveInto(CSceneObject* layer, CSceneObject* group)
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
    AppendLayer(group->GetChildren(), layer);
    layer->SetOwnerList(group->GetChildren());
}

// A layout whose frame stands away from the layout's corner and holds the
// slot buttons (drawn with it): the frame zooms as every other part, and
// the buttons' images stay on the buttons as drawn.
TEST(CharaSelectPanelRun, FrameAwayFromTheCornerHoldingTheButtons)
{
    GameDriver game(game_test::GameDataRoot(), ScreenOptions(1));
    CCharaSelect* scene = BeforeThePanel(game);
    ASSERT_NE(scene, nullptr) << game.Describe();
    CSceneObject* frame = scene->FindLayer("Skill");
    ASSERT_NE(frame, nullptr);
    frame->SetBasePosition(100.0f, 50.0f);
    MoveInto(scene->FindLayer("rei_n_geki"), frame);
    MoveInto(scene->FindLayer("rei_n_syu"), frame);
    ExpectEveryPartZoomsWithThePanel(game, scene);

    game.Frames(12);
    for (const u32 frames : {4u, 12u}) {
        SCOPED_TRACE(frames);
        game.Press(menu::kRight);
        game.Frames(frames);
        const std::vector<Sprite> sprites = PanelSprites(game);
        for (const auto& [image, button] : {std::pair{"rei_empk", "rei_n_geki"}, std::pair{"rei_syu0", "rei_n_syu"}}) {
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
