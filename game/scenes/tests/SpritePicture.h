// A headless frame's sprites of one texture put together as a picture of
// the window, so a text recogniser can read a screen drawn without a GPU:
// each sprite's rectangle filled with its nearest texels, times its vertex
// colour, blended by alpha over black. Sprites are taken as unturned
// rectangles (the lobby's and the menus' layers are).
#pragma once

#include "engine/graphics/Texture.h"
#include "game/scenes/testdata/SceneData.h"
#include "host/image/Image.h"
#include "host/render/FakeRender.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace sprite_picture {

// The data set's texture of that name as the game loads it (the key's
// green clear); empty when the set does not hold it.
inline host::image::Image DataSetTexture(const std::string& name)
{
    static const scene_data::CSceneDataSet set = scene_data::BuildSceneData();
    host::image::Image image;
    const auto layers = set.textureLayers.find(name);
    if (layers == set.textureLayers.end()) return image;
    const auto sheets = set.textureSheets.find(name);
    const auto words = set.textureWords.find(name);
    const std::string& bytes = scene_data::CellTextureBytes(
        layers->second, sheets != set.textureSheets.end() ? sheets->second : std::vector<scene_data::LayerSheet>{},
        words != set.textureWords.end() ? words->second : std::map<std::string, std::string>{});
    if (!host::image::Decode(bytes.data(), bytes.size(), 0xFF00FF00u, image)) image = {};
    return image;
}

inline std::vector<u32> Compose(const std::vector<host::render::Call>& log, u64 textureId,
                                const host::image::Image& texture, u32 width, u32 height)
{
    std::vector<u32> frame(size_t(width) * height, 0xFF000000u);
    if (texture.pixels.empty()) return frame;
    for (const host::render::Call& call : log) {
        SpriteVertex v[4];
        if (call.op != "DrawPrimitiveUP" || call.data.size() != sizeof v || u64(call.Number("texture")) != textureId)
            continue;
        std::memcpy(static_cast<void*>(v), call.data.data(), sizeof v);
        // The corners nearest the top left and the bottom right.
        const SpriteVertex* a = &v[0];
        const SpriteVertex* b = &v[0];
        for (const SpriteVertex& p : v) {
            if (p.x + p.y < a->x + a->y) a = &p;
            if (p.x + p.y > b->x + b->y) b = &p;
        }
        if (!(b->x > a->x && b->y > a->y)) continue;
        const u32 colour = v[0].colour;
        const f32 ca = f32(colour >> 24) / 255.0f, cr = f32(colour >> 16 & 0xFF) / 255.0f,
                  cg = f32(colour >> 8 & 0xFF) / 255.0f, cb = f32(colour & 0xFF) / 255.0f;
        const i32 x0 = std::max(0, i32(std::lround(a->x))), y0 = std::max(0, i32(std::lround(a->y)));
        const i32 x1 = std::min(i32(width), i32(std::lround(b->x))), y1 = std::min(i32(height), i32(std::lround(b->y)));
        for (i32 y = y0; y < y1; ++y) {
            const f32 t = (f32(y) + 0.5f - a->y) / (b->y - a->y);
            const f32 tv = a->v + t * (b->v - a->v);
            const u32 ty = std::min(texture.height - 1, u32(std::max(0.0f, tv * f32(texture.height))));
            for (i32 x = x0; x < x1; ++x) {
                const f32 s = (f32(x) + 0.5f - a->x) / (b->x - a->x);
                const f32 tu = a->u + s * (b->u - a->u);
                const u32 tx = std::min(texture.width - 1, u32(std::max(0.0f, tu * f32(texture.width))));
                const u32 texel = texture.pixels[size_t(ty) * texture.width + tx];
                const f32 alpha = f32(texel >> 24) / 255.0f * ca;
                u32& out = frame[size_t(y) * width + u32(x)];
                const auto mix = [&](u32 shift, f32 tint) {
                    const f32 src = f32(texel >> shift & 0xFF) * tint, dst = f32(out >> shift & 0xFF);
                    return u32(std::clamp(src * alpha + dst * (1.0f - alpha), 0.0f, 255.0f)) << shift;
                };
                out = 0xFF000000u | mix(16, cr) | mix(8, cg) | mix(0, cb);
            }
        }
    }
    return frame;
}

}  // namespace sprite_picture
