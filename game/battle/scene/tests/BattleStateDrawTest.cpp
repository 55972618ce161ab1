// The battle-state console's hand-placed parts on the fake backend: text
// that follows its panel at any HUD scale and in any view cell, senders
// found by their entry, the start call, balloons, the ticker and the
// announcer's voices.
#include "engine/graphics/Camera.h"
#include "engine/graphics/FontTexture.h"
#include "engine/platform/FrameTime.h"
#include "engine/platform/tests/SoundTestSupport.h"
#include "game/battle/scene/BattleStateConsole.h"
#include "game/battle/scene/EnemyConsole.h"
#include "game/battle/scene/tests/ConsoleTestSupport.h"
#include "game/data/TensionFile.h"
#include "host/text/FakeText.h"

#include <cstring>
#include <functional>
#include <utility>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

using namespace console_test;

class StateDrawTest : public ConsoleTest {
protected:
    void SetUp() override
    {
        ConsoleTest::SetUp();
        host::text::InstallFakeGlyphs();
        // The enemy console takes font 0 of the controller; the state
        // console the set-up's: the same one.
        font_ = new CFontTexture();
        ASSERT_EQ(font_->Create(256, 256, host::render::kFormatA8R8G8B8, "ＭＳ　ゴシック", 32), 1);
        void* slot = static_cast<CValueBase*>(font_);
        resources_.GetFontList()->Add(&slot);
        // From the origin along +z: a point straight ahead lands on the
        // layout's centre, (512, 384).
        const CVector3 eye(0, 0, 0), target(0, 0, 1), up(0, 1, 0);
        camera_.SetLookAt(&eye, &target, &up);
        camera_.SetPerspective(90.0f, 4.0f / 3.0f, 1.0f, 1000.0f);
        camera_.SetViewport(0, 0, 1024, 768);
        own_.camera = &camera_;
        own_.entry = 0;
        other_.team = 1;
        other_.entry = 2;   // entry 1 was empty
        other_.playerName = "Mio";
        other_.position = CVector3(0, 0, 20);
        setup_.characters = &list_;
        setup_.font = font_;
        setup_.timeLimit = 100.0f;
        SetFrameTime(0);
    }
    void TearDown() override
    {
        SetFrameTime(0);
        resources_.GetFontList()->Release();
        host::text::InstallGlyphBackend(nullptr);
        ConsoleTest::TearDown();
    }

    static QuickMessageRecord Line(const char* text, u32 sender, u32 teamOnly = 0)
    {
        QuickMessageRecord r{};
        std::memcpy(r.text, text, std::min(std::strlen(text), sizeof r.text));
        r.sender = sender;
        r.teamOnly = teamOnly;
        return r;
    }

    // Every quad draw does with the HUD at scale in the cell whose corner
    // is (x, 0).
    std::vector<scene_test::Quad> At(f32 scale, f32 x, const std::function<void()>& draw)
    {
        layout_.SetScale(scale, scale);
        layout_.GetSceneState().position = CVector3(x, 0, 0);
        Place();
        draw();
        return Quads();
    }

    size_t Glyphs(const std::vector<scene_test::Quad>& quads) const
    {
        const u64 id = IdOf(font_->GetTexture());
        return size_t(std::count_if(quads.begin(), quads.end(), [&](const scene_test::Quad& q) { return q.texture == id; }));
    }

    // The names of the sprites among quads, with their width.
    static std::vector<std::pair<std::string, f32>> Widths(const std::vector<Sprite>& sprites,
        const std::set<std::string>& names)
    {
        std::vector<std::pair<std::string, f32>> out;
        for (const Sprite& s : sprites) {
            if (names.count(s.name)) out.emplace_back(s.name, s.w);
        }
        return out;
    }

    CFontTexture* font_ = nullptr;   // owned by the controller
    CCamera camera_;
    FakeHudFighter own_, other_;
    HudFighterList list_{&own_, &other_};
    ConsoleSetup setup_;
    CBattleStateConsole state_{&scene_};
};

}  // namespace

TEST_F(StateDrawTest, TextFollowsItsPanelAtAnyScaleInAnyCell)
{
    // Each case draws its text and the sprites it sits on; at HUD scale 0.5
    // in the right-hand cell every quad must be the scale-1 quad halved and
    // moved by the cell's corner, glyphs included.
    CBattleStateConsole state(&scene_);
    CEnemyConsole enemy(&scene_);
    const struct {
        const char* what;
        std::function<void()> prepare, draw;
    } cases[] = {
        {"quick-message rows", [&] { state.AddQuickMessage(Line("hello", 2)); }, [&] { state.Draw(0); }},
        {"balloon", [&] { state.AddQuickMessage(Line("over here", 2)); }, [&] { state.DrawMarkers(0); }},
        {"damage panel",
            [&] {
                state.GetSetup().training = 1;
                state.GetSetup().damagePanel = 1;
            },
            [&] { state.Draw(0); }},
        {"ticker",
            [&] {
                state.GetSetup().tutorial = 1;
                SetFrameTime(2000);
                state.Update(0);
            },
            [&] { state.Draw(0); }},
        {"enemy name",
            [&] { ASSERT_EQ(enemy.Load(&other_, &own_, &list_, &layout_), 1u); },
            [&] {
                CLayerState panel;
                panel.position.y = -64.0f;
                enemy.DrawPanel(&panel);
            }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(state.Load(&setup_, &layout_), 1u);
        c.prepare();
        const std::vector<scene_test::Quad> whole = At(1.0f, 0.0f, c.draw);
        const std::vector<scene_test::Quad> half = At(0.5f, 512.0f, c.draw);
        EXPECT_GT(Glyphs(whole), 0u) << "no text drawn";
        ASSERT_EQ(half.size(), whole.size());
        for (size_t i = 0; i < whole.size(); ++i) {
            for (int k = 0; k < 4; ++k) {
                EXPECT_NEAR(half[i].v[k].x, 512.0f + 0.5f * whole[i].v[k].x, 0.01f) << "quad " << i;
                EXPECT_NEAR(half[i].v[k].y, 0.5f * whole[i].v[k].y, 0.01f) << "quad " << i;
            }
        }
        state.GetSetup() = setup_;
        SetFrameTime(0);
    }
}

// The music title, the damage-panel lines and the quick-message rows take
// the "BgmName" layer's own scale: at layer scale 0.5 each glyph is the
// scale-1 glyph halved, about the title's point and about the cell's corner
// for the placed lines.
TEST_F(StateDrawTest, TitleDamageLinesAndMessageRowsTakeTheBgmNameLayersScale)
{
    CTensionFile song;
    song.SetName("Song");
    CBattleStateConsole state(&scene_);
    const struct {
        const char* what;
        bool title;   // scaled about the layer's point, not the corner
        std::function<void()> prepare;
    } cases[] = {
        {"title", true, [&] { own_.tension = &song; }},
        {"damage panel", false,
            [&] {
                state.GetSetup().training = 1;
                state.GetSetup().damagePanel = 1;
            }},
        {"quick-message rows", false, [&] { state.AddQuickMessage(Line("hello", 2)); }},
    };
    CSceneObject* bgm = layout_.FindLayer("BgmName");
    ASSERT_NE(bgm, nullptr);
    const u64 font = IdOf(font_->GetTexture());
    auto glyphs = [&](f32 layerScale) {
        bgm->SetScale(layerScale, layerScale);
        Place();
        state.Draw(0);
        std::vector<scene_test::Quad> out;
        for (const scene_test::Quad& q : Quads())
            if (q.texture == font) out.push_back(q);
        return out;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        own_.tension = nullptr;
        ASSERT_EQ(state.Load(&setup_, &layout_), 1u);
        c.prepare();
        const std::vector<scene_test::Quad> whole = glyphs(1.0f);
        const CVector3 point = std::as_const(*bgm).GetScreenState().position;
        const std::vector<scene_test::Quad> half = glyphs(0.5f);
        ASSERT_GT(whole.size(), 0u) << "no text drawn";
        ASSERT_EQ(half.size(), whole.size());
        const f32 x0 = c.title ? point.x : 0.0f, y0 = c.title ? point.y : 0.0f;
        for (size_t i = 0; i < whole.size(); ++i) {
            for (int k = 0; k < 4; ++k) {
                EXPECT_NEAR(half[i].v[k].x, x0 + 0.5f * (whole[i].v[k].x - x0), 0.01f) << "quad " << i;
                EXPECT_NEAR(half[i].v[k].y, y0 + 0.5f * (whole[i].v[k].y - y0), 0.01f) << "quad " << i;
            }
        }
        state.GetSetup() = setup_;
    }
    own_.tension = nullptr;
    bgm->SetScale(1.0f, 1.0f);
}

TEST_F(StateDrawTest, MessagePanelStretchesToItsTextInLayoutPixels)
{
    ASSERT_EQ(state_.Load(&setup_, &layout_), 1u);
    state_.AddQuickMessage(Line("hello", 2));
    CRect4 text;
    ASSERT_EQ(font_->MeasureText(0, 0, 14, 1.0f, "hello", kTextTopLeft, &text), 1);
    const f32 width = text.right - text.left;
    for (const f32 scale : {1.0f, 0.5f}) {
        SCOPED_TRACE(scale);
        layout_.SetScale(scale, scale);
        Place();
        state_.Draw(0);
        std::map<std::string, Sprite> parts;
        for (const Sprite& s : Sprites()) parts[s.name] = s;
        ASSERT_EQ(parts.count("Rad212"), 1u);
        EXPECT_NEAR(parts["Rad212"].w, kCell * width / 288.0f * scale, 1e-3);
        EXPECT_NEAR(parts["Rad213"].x, (kElementX + 48.0f - (288.0f - width)) * scale, 1e-3);
    }
}

TEST_F(StateDrawTest, QuickMessageSendersAreFoundByTheirEntry)
{
    ASSERT_EQ(state_.Load(&setup_, &layout_), 1u);
    EXPECT_EQ(state_.AddQuickMessage(Line("nobody", 1)), 0u) << "entry 1 was empty";
    EXPECT_EQ(state_.AddQuickMessage(Line("secret", 2, 1)), 0u) << "team-only, other team";
    ASSERT_EQ(state_.AddQuickMessage(Line("hi", 2)), 1u);
    EXPECT_STREQ(state_.GetSlot(0).name, "Mio");
    EXPECT_EQ(state_.GetSlot(0).team, 1u);
    ASSERT_EQ(state_.AddQuickMessage(Line("mine", 0)), 1u);

    // One balloon: over the entry-2 fighter, none over the own fighter.
    state_.DrawMarkers(0);
    std::vector<Sprite> left;
    for (const Sprite& s : Sprites()) {
        if (s.name.rfind("Rad", 0) == 0 && s.name.back() == '1') left.push_back(s);
    }
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].name, "Rad211");
    EXPECT_NEAR(left[0].x, kElementX + 512.0f, 1e-3);
    EXPECT_NEAR(left[0].y, kElementY + 384.0f, 1e-3);
}

TEST_F(StateDrawTest, BalloonsShowOnScreenAndFadeWithDistance)
{
    const struct {
        CVector3 at;
        bool shown;
        u32 alpha;
    } cases[] = {
        {{0, 0, 5}, true, 255},
        {{0, 0, 20}, true, u32((1.0f - 10.0f / 225.0f) * 255.0f + 0.5f)},
        {{0, 0, 500}, true, 0},          // past 235 units: transparent
        {{0, 0, -20}, false, 0},         // behind the camera
        {{100, 0, 20}, false, 0},        // off the screen's side
        {{0, 0, 2000}, false, 0},        // past the far plane
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.at.z + c.at.x);
        other_.position = c.at;
        CBattleStateConsole state(&scene_);
        ASSERT_EQ(state.Load(&setup_, &layout_), 1u);
        state.AddQuickMessage(Line("x", 2));
        fake_->ClearLog();
        state.DrawMarkers(0);
        std::vector<Sprite> left;
        for (const Sprite& s : Sprites()) {
            if (s.name == "Rad211") left.push_back(s);
        }
        ASSERT_EQ(left.size(), c.shown ? 1u : 0u);
        if (c.shown) {
            EXPECT_NEAR(f32(left[0].colour >> 24), f32(c.alpha), 1.0f);
        }
    }
}

TEST_F(StateDrawTest, StartCallLettersAndGoAtTheirTimes)
{
    using Drawn = std::vector<std::pair<std::string, f32>>;
    const f32 k = f32(kCell);
    const struct {
        u32 ms;
        Drawn drawn;
    } cases[] = {
        {400, {}},
        {600, {{"FreW1", k}, {"FreW2", k}, {"Fr", k * (1.2f - 0.2f / 3.0f)}}},
        {1000, {{"FreW1", k}, {"FreW2", k}, {"Fr", k}, {"Fe", k * (1.2f - 0.4f / 3.0f)}}},
        {2350, {{"FreW1", k}, {"FreW2", k}, {"Fr", k}, {"Fe", k}, {"Fa", k}, {"Fd", k}, {"Fy", k},
                   {"Fgo", k * 1.075f}}},
        // s = 0.1: the first echo, then the flash and the letters growing.
        {2600, {{"Fgo", k * 1.2f}, {"FgoB", k * 2.0f}, {"Fgo", k * 1.5f}}},
        // s = 0.5: three echoes left, the flash is over.
        {3000, {{"Fgo", k * 2.9f}, {"Fgo", k * 2.6f}, {"Fgo", k * 2.3f}}},
        {3200, {}},
    };
    const std::set<std::string> names = {"FreW1", "FreW2", "Fr", "Fe", "Fa", "Fd", "Fy", "Fgo", "FgoB"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ms);
        CBattleStateConsole state(&scene_);
        ASSERT_EQ(state.Load(&setup_, &layout_), 1u);
        SetFrameTime(c.ms);
        state.Update(0);
        fake_->ClearLog();
        state.Draw(0);
        const Drawn drawn = Widths(Sprites(), names);
        ASSERT_EQ(drawn.size(), c.drawn.size());
        for (size_t i = 0; i < drawn.size(); ++i) {
            EXPECT_EQ(drawn[i].first, c.drawn[i].first) << i;
            EXPECT_NEAR(drawn[i].second, c.drawn[i].second, 1e-3) << i;
        }
    }
}

TEST_F(StateDrawTest, TickerScrollsAndMovesOnOnlyOnceTheTipHasLeft)
{
    setup_.tutorial = 1;
    ASSERT_EQ(state_.Load(&setup_, &layout_), 1u);
    const std::string first = state_.GetTipText();
    SetFrameTime(1000);
    state_.Update(0);
    EXPECT_FLOAT_EQ(state_.GetTickerX(), 924.0f);
    CRect4 r;
    ASSERT_EQ(font_->MeasureText(0, 0, 24, 1.0f, first.c_str(), kTextTopLeft, &r), 1);
    // The whole text leaves at 1024 + its width; until then the tip stays,
    // though ten seconds have long passed.
    const f32 leaves = (1024.0f + (r.right - r.left)) / 100.0f;
    ASSERT_GT(leaves, 11.0f);
    SetFrameTime(500);
    f32 t = 1.0f;
    while (state_.GetTickerX() < 1024.0f && t < 100.0f) {
        state_.Update(0);
        t += 0.5f;
        if (state_.GetTickerX() < 1024.0f) {
            EXPECT_EQ(state_.GetTipIndex(), 0u) << t;
        }
    }
    EXPECT_NEAR(t, leaves, 0.5f);
    EXPECT_EQ(state_.GetTipIndex(), 1u);
    EXPECT_NE(state_.GetTipText(), first);

    // Drawn only in a tutorial: the band, then the text over it.
    fake_->ClearLog();
    state_.Draw(0);
    const std::vector<scene_test::Quad> quads = Quads();
    EXPECT_GT(Glyphs(quads), 0u);
    setup_.tutorial = 0;
    CBattleStateConsole plain(&scene_);
    ASSERT_EQ(plain.Load(&setup_, &layout_), 1u);
    fake_->ClearLog();
    plain.Draw(0);
    EXPECT_EQ(Glyphs(Quads()), 0u);
    const std::vector<std::string> drawn = Names();
    EXPECT_EQ(std::count(drawn.begin(), drawn.end(), "obi"), 0);
}

TEST_F(StateDrawTest, FirstTipNamesTheInputSetLater)
{
    setup_.tutorial = 1;
    ASSERT_EQ(state_.Load(&setup_, &layout_), 1u);
    EXPECT_NE(state_.GetTipText().find("[][][][]"), std::string::npos) << "no input yet";
    FakeInput input;
    const u32 keys[4] = {0x11, 0x1F, 0x1E, 0x20};
    for (u32 i = 0; i < 4; ++i) input.pad.keyAssignment[12 - kInputCodeAssignable + i] = keys[i];
    state_.SetInput(&input);
    std::string want;
    for (u32 key : keys) want += "[" + std::string(GetKeyName(key)) + "]";
    EXPECT_NE(state_.GetTipText().find(want), std::string::npos) << state_.GetTipText();
}

namespace {

// A sound device on the null output and loaded voices in the resource
// controller, so a played voice shows as a playing one.
class StateVoiceTest : public StateDrawTest {
protected:
    void SetUp() override
    {
        StateDrawTest::SetUp();
        host::sound::SetNullOutput(&null_);
        ASSERT_EQ(sound_.Initialize(&system_), 1);
        wav_ = sound_test::MakeWav(std::vector<i16>(441, 1000), 1, sound_test::kRate);
        for (const char* name : {"Vo_ready_talve.ogg", "Vo_go_talve.ogg", "Vo_ready_pellu.ogg"}) {
            auto* voice = new CSoundBuffer();
            ASSERT_EQ(voice->LoadFromMemory(wav_.data(), "voice.wav", u32(wav_.size()), 2, sound_test::kStatic | sound_test::k3D), 1u);
            voice->SetName(name);
            void* slot = voice;
            resources_.GetSoundList()->Add(&slot);
            voices_.push_back(voice);
        }
        scene_.resources = &resources_;
        setup_.owner = &scene_;
        setup_.voicePlay = 1;
    }
    void TearDown() override
    {
        resources_.Release();
        host::sound::SetNullOutput(nullptr);
        StateDrawTest::TearDown();
    }

    bool Playing(size_t i) const { return voices_[i]->IsPlaying(0) != 0; }

    host::sound::NullOutput null_;
    CSound sound_;
    sound_test::Bytes wav_;
    std::vector<CSoundBuffer*> voices_;   // ready, go (announcer 0), ready (announcer 2)
};

}  // namespace

TEST_F(StateVoiceTest, ReadyAndGoSpeakAtTheirTimesInTheLocalHudOnly)
{
    const struct {
        u32 own, local, voicePlay;
        u32 ms;
        bool ready, go;
    } cases[] = {
        {0, 0, 1, 590, false, false},
        {0, 0, 1, 600, true, false},
        {0, 0, 1, 2290, true, false},
        {0, 0, 1, 2300, true, true},
        {1, 0, 1, 2300, false, false},   // another HUD of a split screen
        {0, 0, 0, 2300, false, false},   // voices off
        // List place 1 plays entry 2 (entry 1 was empty): the local entry
        // names the entry, not the place.
        {1, 2, 1, 2300, true, true},
        {1, 1, 1, 2300, false, false},
        {0, 1, 1, 2300, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ms);
        for (CSoundBuffer* v : voices_) v->StopAll(1);
        setup_.ownIndex = c.own;
        setup_.localEntry = c.local;
        setup_.voicePlay = c.voicePlay;
        CBattleStateConsole state(&scene_);
        ASSERT_EQ(state.Load(&setup_, &layout_), 1u);
        state.SetAnnouncer(0);
        // Two frames, so each voice is tested once on each side of its time.
        SetFrameTime(c.ms / 2);
        state.Update(0);
        SetFrameTime(c.ms - c.ms / 2);
        state.Update(0);
        EXPECT_EQ(Playing(0), c.ready);
        EXPECT_EQ(Playing(1), c.go);
        EXPECT_FALSE(Playing(2)) << "another announcer's";
    }
}

}  // namespace ORV_TEST_FILE_ID
