// A menu scene run through the headless driver on the data set: start-up
// stands an idle scene up, the global load runs on the main thread, then
// the scene under test is changed to as the title would.
#pragma once

#include "engine/core/Scene.h"
#include "engine/graphics/Texture.h"
#include "engine/platform/SoundBuffer.h"
#include "game/data/SaveConfig.h"
#include "game/scenes/MenuScene.h"
#include "game/scenes/TitleScene.h"
#include "game/scenes/testdata/SceneData.h"
#include "game/scenes/tests/GameDriver.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace menu_run {

// Stands while the data loads.
class CIdleScene : public CScene {
    ORV_VALUE_CLASS(CIdleScene)

public:
    CIdleScene() = default;
    CIdleScene(const CIdleScene&) = default;
    i32 Initialize(intptr_t) override { return 1; }
    i32 Update(u32) override { return 1; }
    u32 OnMessage(u32, intptr_t) override { return 1; }
    i32 Draw(u32) override { return 1; }
};

// A configuration edited before start-up (written to the user folder).
inline std::function<void(const std::string&)> EditConfig(std::function<void(CSaveConfig&)> edit)
{
    return [edit](const std::string&) {
        CSaveConfig config;
        ASSERT_EQ(config.Load(), 1);
        edit(config);
        ASSERT_EQ(config.Save(), 1);
    };
}

inline game_test::DriverOptions Options(std::function<void(CSaveConfig&)> edit = {})
{
    game_test::DriverOptions options;
    options.startScene = [] { return new CIdleScene(); };
    if (edit) options.beforeInit = EditConfig(std::move(edit));
    return options;
}

// The driver with the data loaded and scene made current (block: its
// Load's argument); false with the boxes when something failed.
inline ::testing::AssertionResult Enter(game_test::GameDriver& game, CScene* scene, intptr_t block = 0)
{
    if (!game.Started()) return ::testing::AssertionFailure() << "no start" << game.Describe();
    if (!game.App().LoadResources()) return ::testing::AssertionFailure() << "no data" << game.Describe();
    const std::string name = scene->GetClassName();
    game.App().ChangeScene(scene, block);
    if (game.CurrentScene() != name) return ::testing::AssertionFailure() << "no " << name << game.Describe();
    return ::testing::AssertionSuccess();
}

// Frames until the black cover and the scene's fade-in are done (the
// menus fade by 2 a second, each half a second).
inline void FadeIn(game_test::GameDriver& game) { game.Frames(70); }

// The sound of that file name has a voice playing.
inline bool Playing(const char* name)
{
    const CSoundBuffer* sound = menu::FindSound(name);
    if (!sound) return false;
    for (u32 v = 0; v < sound->GetVoiceCount(); ++v)
        if (sound->IsPlaying(v)) return true;
    return false;
}

// The title is current with its cursor on item.
inline ::testing::AssertionResult BackOnTitleAt(game_test::GameDriver& game, u32 item)
{
    const auto* title = dynamic_cast<const CTitleScene*>(game.App().GetScene());
    if (!title) return ::testing::AssertionFailure() << "no title" << game.Describe();
    if (title->GetCurrentItem() != item) return ::testing::AssertionFailure() << "item " << title->GetCurrentItem();
    return ::testing::AssertionSuccess();
}

// The layers (of a layout of the data set, in its order) drawn with
// texture in the last frame, in drawing order: each sprite tells its layer
// by the cell its texture coordinates fall in.
inline std::vector<std::string> DrawnLayers(game_test::GameDriver& game, const std::vector<std::string>& layers,
    const CTexture* texture)
{
    std::vector<std::string> drawn;
    const u64 id = texture ? game.Render().IdOf(texture->GetTexture()) : 0;
    for (const host::render::Call& call : game.RenderLog()) {
        SpriteVertex v[4];
        if (call.op != "DrawPrimitiveUP" || call.data.size() != sizeof v || u64(call.Number("texture")) != id) continue;
        std::memcpy(static_cast<void*>(v), call.data.data(), sizeof v);
        const f32 u = (v[0].u + v[1].u + v[2].u + v[3].u) / 4, w = (v[0].v + v[1].v + v[2].v + v[3].v) / 4;
        drawn.push_back(scene_data::LayerAt(layers, u, w));
    }
    return drawn;
}

}  // namespace menu_run
