// The lobby screens run as the network scene runs them: the headless game
// on the data set, a scene that updates and draws a lobby client each
// frame, the client made with the real screen set (no server, a recording
// peer side) and its text input wired to the window.
//
//   LobbySceneRun run;
//   ASSERT_TRUE(run.Start());
//   run.Set().Message().Show(21, &probe);
//   run.game.Frame();
//   EXPECT_EQ(run.DrawnLayers(), ...);
#pragma once

#include "engine/graphics/FontTexture.h"
#include "engine/graphics/Texture.h"
#include "engine/platform/app/ImeInput.h"
#include "game/network/LobbyClient.h"
#include "game/network/LobbyMessage.h"
#include "game/network/LobbyScreenSet.h"
#include "game/network/tests/LobbyDoubles.h"
#include "game/scenes/MenuScene.h"
#include "game/scenes/testdata/LobbyScreensData.h"
#include "game/scenes/testdata/SceneData.h"
#include "game/scenes/tests/GameDriver.h"
#include "game/scenes/tests/MenuRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace lobby_scene_test {

inline constexpr const char* kTexture = "Network_01.dds";
// The Enter key's scan code.
inline constexpr u8 kEnter = 28;

// Updates and draws the client it is given, as the network scene would.
class CLobbyHostScene : public CScene {
    ORV_VALUE_CLASS(CLobbyHostScene)

public:
    CLobbyHostScene() = default;
    CLobbyHostScene(const CLobbyHostScene&) = default;
    i32 Initialize(intptr_t) override { return 1; }
    i32 Update(u32) override
    {
        if (client) client->Update();
        if (onUpdate) onUpdate();
        return 1;
    }
    u32 OnMessage(u32, intptr_t) override { return 1; }
    i32 Draw(u32) override
    {
        menu::SetLayoutViewport();
        if (client) client->Draw();
        if (onDraw) onDraw();
        return 1;
    }
    CLobbyClient* client = nullptr;
    // After the client's, each frame.
    std::function<void()> onUpdate, onDraw;
};

// A screen that shows what the base gives and records its answers.
class CProbeScene : public CLobbySceneBase {
    ORV_VALUE_CLASS(CProbeScene)

public:
    CProbeScene() = default;
    CProbeScene(CLobbyClient* client, LobbySceneContext* context) : CLobbySceneBase(client, context) {}
    CProbeScene(const CProbeScene&) = default;
    i32 Initialize(intptr_t) override { return 1; }
    i32 Update(u32) override { return 1; }
    u32 OnMessage(u32 code, intptr_t value) override
    {
        answers.push_back({code, *reinterpret_cast<const u32*>(value)});
        return 1;
    }
    i32 Draw(u32) override { return 1; }

    using CLobbySceneBase::DrawKira;
    using CLobbySceneBase::DrawLayer;
    using CLobbySceneBase::DrawScrollBar;
    using CLobbySceneBase::EditStored;
    using CLobbySceneBase::FocusField;
    using CLobbySceneBase::LeaveField;
    using CLobbySceneBase::LoadLayout;
    using CLobbySceneBase::TakeEntered;

    struct Answer {
        u32 code, value;
        bool operator==(const Answer&) const = default;
    };
    std::vector<Answer> answers;
};

// A drawn sprite of the interface texture: its layer and tint.
// The screen set with the screens under the windows silenced on demand, so
// a window's test sees only the window's sprites and input.
class QuietScreenSet final : public CLobbyScreenSet {
public:
    QuietScreenSet(CLobbyClient& client, const bool& quiet) : CLobbyScreenSet(client), m_quiet(quiet) {}
    void Update(LobbyLayer layer) override
    {
        if (!Silenced(layer)) CLobbyScreenSet::Update(layer);
    }
    i32 Draw(LobbyLayer layer) override { return Silenced(layer) ? 1 : CLobbyScreenSet::Draw(layer); }

private:
    bool Silenced(LobbyLayer layer) const { return m_quiet && u32(layer) < kLobbyScreenCount; }
    const bool& m_quiet;
};

struct DrawnLayer {
    std::string name;
    u32 colour;
    bool operator==(const DrawnLayer&) const = default;
};
inline std::ostream& operator<<(std::ostream& out, const DrawnLayer& d)
{
    char colour[16];
    std::snprintf(colour, sizeof colour, "%08X", unsigned(d.colour));
    return out << d.name << "/" << colour;
}

// A glyph drawn with the font: its centre and colour.
struct Glyph {
    f32 x, y;
    u32 colour;
};

class LobbySceneRun {
public:
    LobbySceneRun() : game(game_test::GameDataRoot(), menu_run::Options()) {}
    ~LobbySceneRun()
    {
        if (host) {
            host->client = nullptr;
            host->onUpdate = host->onDraw = nullptr;
        }
        if (game.Started()) game.App().SetImeInput(nullptr);
        client.Destroy();
    }

    ::testing::AssertionResult Start()
    {
        host = new CLobbyHostScene();
        if (auto entered = menu_run::Enter(game, host); !entered) return entered;
        texture = menu::FindTexture(kTexture);
        if (!texture) return ::testing::AssertionFailure() << "no " << kTexture;
        auto screens = std::make_unique<QuietScreenSet>(client, quietScreens);
        set = screens.get();
        if (!client.Create("tag1", "tag2", texture, menu::MenuFont(), "127.0.0.1", 15500, 18000, std::move(screens),
                           std::make_unique<lobby_test::RecordingPeerSide>(peers)))
            return ::testing::AssertionFailure() << "no client" << game.Describe();
        game.App().SetImeInput(client.GetImeInput());
        host->client = &client;
        return ::testing::AssertionSuccess();
    }

    CLobbyScreenSet& Set() { return *set; }
    CLobbySceneMessage& Message() { return set->Message(); }
    LobbySceneContext& Context() { return set->Context(); }
    CImeInput& Ime() { return *client.GetImeInput(); }
    f32 Scale() { return Message().GetSceneState().scaleX; }

    // The layer names of layout paths ("Group/child": child), by default
    // the message layout's, in order.
    static std::vector<std::string> MessageLayers(std::vector<std::string> paths = {})
    {
        if (paths.empty()) {
            scene_data::CSceneDataSet data;
            scene_data::AddLobbyData(data);
            paths = data.layouts[CLobbySceneMessage::kLayout];
        }
        std::vector<std::string> names;
        for (const std::string& path : paths) names.push_back(path.substr(path.rfind('/') + 1));
        return names;
    }

    // The interface texture's sprites of the last frame, in drawing order,
    // each named by its cell in layers.
    std::vector<DrawnLayer> Drawn(const std::vector<std::string>& layers = MessageLayers())
    {
        std::vector<DrawnLayer> drawn;
        const u64 id = game.Render().IdOf(texture->GetTexture());
        for (const SpriteVertex* v : Sprites(id))
            drawn.push_back({scene_data::LayerAt(layers, (v[0].u + v[1].u + v[2].u + v[3].u) / 4,
                                                 (v[0].v + v[1].v + v[2].v + v[3].v) / 4,
                                                 scene_data::LobbyTextureSheets(), texture->GetHeight()),
                              v[0].colour});
        return drawn;
    }
    std::vector<std::string> DrawnNames(const std::vector<std::string>& layers = MessageLayers())
    {
        std::vector<std::string> names;
        for (const DrawnLayer& d : Drawn(layers)) names.push_back(d.name);
        return names;
    }
    u32 ColourOf(const std::string& layer)
    {
        for (const DrawnLayer& d : Drawn())
            if (d.name == layer) return d.colour;
        return 0;
    }

    // The top-left corner of each sprite of the interface texture, last frame.
    std::vector<std::pair<f32, f32>> Corners()
    {
        std::vector<std::pair<f32, f32>> corners;
        for (const SpriteVertex* v : Sprites(game.Render().IdOf(texture->GetTexture())))
            corners.push_back({std::min({v[0].x, v[1].x, v[2].x, v[3].x}), std::min({v[0].y, v[1].y, v[2].y, v[3].y})});
        return corners;
    }

    // The font's glyphs of the last frame.
    std::vector<Glyph> Glyphs()
    {
        std::vector<Glyph> glyphs;
        CFontTexture* font = menu::MenuFont();
        if (!font) return glyphs;
        for (const SpriteVertex* v : Sprites(game.Render().IdOf(font->GetTexture())))
            glyphs.push_back({(v[0].x + v[1].x + v[2].x + v[3].x) / 4, (v[0].y + v[1].y + v[2].y + v[3].y) / 4,
                              v[0].colour});
        return glyphs;
    }

    // Window messages waiting (the input method's), taken without a frame.
    void Pump()
    {
        host::window::Message message;
        while (host::window::PeekMessage(message)) {
            host::window::TranslateMessage(message);
            host::window::DispatchMessage(message);
        }
    }
    host::window::Handle Window() { return game.App().GetSystem()->GetWindowHandle(); }
    void Compose(const char* text)
    {
        game.Ime().Compose(Window(), text, 0);
        Pump();
    }
    void Commit(const char* text)
    {
        game.Ime().Commit(Window(), text);
        Pump();
    }
    // A key by scan code down for one frame.
    void PressKey(u8 scanCode)
    {
        game.Input().SetKey(scanCode, true);
        game.Frame();
        game.Input().SetKey(scanCode, false);
    }

    game_test::GameDriver game;
    lobby_test::RecordingPeerSide::Shared peers;
    CLobbyClient client;
    CLobbyScreenSet* set = nullptr;
    bool quietScreens = false;   // windows' tests: the screen under them silent
    CLobbyHostScene* host = nullptr;   // the app's
    CTexture* texture = nullptr;

private:
    std::vector<const SpriteVertex*> Sprites(u64 textureId)
    {
        std::vector<const SpriteVertex*> sprites;
        for (const host::render::Call& call : game.RenderLog()) {
            if (call.op != "DrawPrimitiveUP" || call.data.size() != 4 * sizeof(SpriteVertex) ||
                u64(call.Number("texture")) != textureId)
                continue;
            sprites.push_back(reinterpret_cast<const SpriteVertex*>(call.data.data()));
        }
        return sprites;
    }
};

}  // namespace lobby_scene_test
