// A glyph atlas on the fake render device, with the fake glyphs unless a
// test installs another glyph backend; and the sprites it drew, read back
// from the fake's call log.
//
// The fake glyphs of a 32-pixel font: ascent 24, widest character 32; a
// narrow character is a solid 14 x 30 box at origin (1, 23), a wide one
// 30 x 30, so in the atlas a narrow character is 15 texels of ink and
// advance plus 2 spare (17 x 34 in all), a wide one 33 x 34.
#pragma once

#include "engine/graphics/tests/DrawTestSupport.h"

#include "engine/graphics/FontTexture.h"
#include "engine/graphics/Shapes2D.h"
#include "host/kernel/Kernel.h"
#include "host/text/FakeText.h"

#include <string>
#include <vector>

namespace font_test {

namespace render = host::render;
namespace text = host::text;

constexpr char kFace[] = "ＭＳ　ゴシック";
constexpr u32 kWhite = 0xFFFFFFFFu;

// One glyph sprite as drawn: its top-left corner, size, UVs and colour.
struct Sprite {
    f32 x, y, z, w, h;
    f32 u0, v0, u1, v1;
    u32 colour;
};

// A sprite, or an untextured box (FillScreenRect, no UVs), in drawing order.
struct Drawn {
    bool box;
    Sprite s;
};

class FontTest : public draw_test::DrawTest {
protected:
    void SetUp() override
    {
        DrawTest::SetUp();
        glyphs_ = &text::InstallFakeGlyphs();
    }
    void TearDown() override
    {
        font_.Release();
        text::InstallGlyphBackend(nullptr);
        DrawTest::TearDown();
    }

    // A 256 x 256 atlas of the Gothic face at height 32, with an empty log.
    void MakeFont(u32 width = 256, u32 height = 256, i32 fontHeight = 32)
    {
        ASSERT_EQ(font_.Create(width, height, render::kFormatA8R8G8B8, kFace, fontHeight), 1);
        fake_->ClearLog();
    }

    u32 Texel(u32 x, u32 y) { return render::FakeRender::ReadPixel(font_.GetSurface(), x, y); }

    // The texels of a rectangle, row by row; those without alpha as 0,
    // whatever their colour.
    std::vector<u32> Texels(u32 left, u32 top, u32 right, u32 bottom)
    {
        std::vector<u32> out;
        for (u32 y = top; y < bottom; ++y)
            for (u32 x = left; x < right; ++x) {
                const u32 t = Texel(x, y);
                out.push_back(t >> 24 ? t : 0);
            }
        return out;
    }

    // Whether every texel with any alpha lies inside one of the rectangles
    // {left, top, right, bottom}; the first stray one in where.
    bool InkOnlyIn(const std::vector<render::Rect>& rects, std::string& where)
    {
        const u32 width = font_.GetWidth(), height = font_.GetHeight();
        for (u32 y = 0; y < height; ++y)
            for (u32 x = 0; x < width; ++x) {
                if ((Texel(x, y) >> 24) == 0) continue;
                bool inside = false;
                for (const render::Rect& r : rects)
                    inside = inside || (i32(x) >= r.left && i32(x) < r.right && i32(y) >= r.top && i32(y) < r.bottom);
                if (!inside) {
                    where = std::to_string(x) + "," + std::to_string(y);
                    return false;
                }
            }
        return true;
    }

    std::vector<Sprite> Sprites() const
    {
        std::vector<Sprite> out;
        for (const Drawn& d : Draws())
            if (!d.box) out.push_back(d.s);
        return out;
    }

    std::vector<Drawn> Draws() const
    {
        std::vector<Drawn> out;
        for (const render::Call& c : fake_->Find(render::CallMatch("DrawPrimitiveUP"))) {
            if (c.U32("fvf") == kFvfSprite) {
                std::vector<SpriteVertex> v(c.data.size() / sizeof(SpriteVertex));
                std::memcpy(static_cast<void*>(v.data()), c.data.data(), v.size() * sizeof(SpriteVertex));
                if (v.size() == 4)
                    out.push_back({false, {v[0].x, v[0].y, v[0].z, v[1].x - v[0].x, v[3].y - v[0].y, v[0].u, v[0].v,
                                           v[2].u, v[2].v, v[0].colour}});
            } else {
                std::vector<ColorVertex> v(c.data.size() / sizeof(ColorVertex));
                std::memcpy(static_cast<void*>(v.data()), c.data.data(), v.size() * sizeof(ColorVertex));
                if (v.size() == 4)
                    out.push_back({true, {v[0].x, v[0].y, v[0].z, v[1].x - v[0].x, v[3].y - v[0].y, 0, 0, 0, 0,
                                          v[0].colour}});
            }
        }
        return out;
    }

    text::FakeGlyphs* glyphs_ = nullptr;
    CFontTexture font_;
};

}  // namespace font_test
