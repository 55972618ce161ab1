// The sprites of a headless frame, each with its place and size on the
// window and, for a layout's texture of the data set, the layer whose cell
// it shows: what a player sees, read from the render log.
#pragma once

#include "engine/graphics/Texture.h"
#include "game/scenes/testdata/SceneData.h"
#include "game/scenes/tests/GameDriver.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace drawn_sprites {

struct Sprite {
    std::string layer;   // empty for another texture's (the texts)
    u64 texture = 0;
    f32 x = 0, y = 0, w = 0, h = 0;   // upper left corner and size
    f32 texelsW = 0, texelsH = 0;     // of texture's texels it shows
};

// Every sprite of the last frame, in drawing order; those drawn with
// texture are named by the layer of layers whose cell (or sheet, of
// sheets) they show.
inline std::vector<Sprite> Sprites(game_test::GameDriver& game, const std::vector<std::string>& layers,
                                   const CTexture* texture, const std::vector<scene_data::LayerSheet>& sheets = {})
{
    const u64 id = texture ? game.Render().IdOf(texture->GetTexture()) : 0;
    std::vector<Sprite> sprites;
    for (const host::render::Call& call : game.RenderLog()) {
        SpriteVertex v[4];
        if (call.op != "DrawPrimitiveUP" || call.data.size() != sizeof v) continue;
        std::memcpy(static_cast<void*>(v), call.data.data(), sizeof v);
        Sprite s;
        s.texture = u64(call.Number("texture"));
        const f32 u = (v[0].u + v[1].u + v[2].u + v[3].u) / 4, w = (v[0].v + v[1].v + v[2].v + v[3].v) / 4;
        if (texture && s.texture == id) {
            s.layer = scene_data::LayerAt(layers, u, w, sheets, texture->GetHeight());
            s.texelsW = (std::max({v[0].u, v[1].u, v[2].u, v[3].u}) - std::min({v[0].u, v[1].u, v[2].u, v[3].u})) *
                        f32(texture->GetWidth());
            s.texelsH = (std::max({v[0].v, v[1].v, v[2].v, v[3].v}) - std::min({v[0].v, v[1].v, v[2].v, v[3].v})) *
                        f32(texture->GetHeight());
        }
        s.x = std::min({v[0].x, v[1].x, v[2].x, v[3].x});
        s.y = std::min({v[0].y, v[1].y, v[2].y, v[3].y});
        s.w = std::max({v[0].x, v[1].x, v[2].x, v[3].x}) - s.x;
        s.h = std::max({v[0].y, v[1].y, v[2].y, v[3].y}) - s.y;
        sprites.push_back(s);
    }
    return sprites;
}

inline std::vector<Sprite> Named(const std::vector<Sprite>& sprites, const std::string& layer)
{
    std::vector<Sprite> out;
    for (const Sprite& s : sprites)
        if (s.layer == layer) out.push_back(s);
    return out;
}

// Whether one of sprites has its upper left corner at (x, y).
inline bool AnyAt(const std::vector<Sprite>& sprites, f32 x, f32 y, f32 near = 0.01f)
{
    return std::any_of(sprites.begin(), sprites.end(),
        [&](const Sprite& s) { return std::abs(s.x - x) < near && std::abs(s.y - y) < near; });
}

}  // namespace drawn_sprites
