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

// A draw in order: a glyph sprite with the cached string it shows ('s'), an
// untextured filled box ('b', FillScreenRect) or an outline ('o'); boxes
// and outlines have no UVs.
struct Drawn {
    char kind;
    Sprite s;
    std::string glyph;
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
            if (d.kind == 's') out.push_back(d.s);
        return out;
    }

    // The glyphs drawn, in order.
    std::string Glyphs() const
    {
        std::string out;
        for (const Drawn& d : Draws()) out += d.glyph;
        return out;
    }

    std::vector<Drawn> Draws() const
    {
        std::vector<Drawn> out;
        for (const render::Call& c : fake_->Find(render::CallMatch("DrawPrimitiveUP"))) {
            const bool sprite = c.U32("fvf") == kFvfSprite;
            const size_t stride = sprite ? sizeof(SpriteVertex) : sizeof(ColorVertex);
            const size_t count = c.data.size() / stride;
            if (count < 4) continue;
            // Both layouts start with x, y, z, rhw, colour.
            const auto at = [&](size_t i) {
                ColorVertex v;
                std::memcpy(&v, c.data.data() + i * stride, sizeof v);
                return v;
            };
            Drawn d{sprite ? 's' : count == 5 ? 'o' : 'b', {}, {}};
            d.s = {at(0).x, at(0).y, at(0).z, at(1).x - at(0).x, at(2).y - at(0).y, 0, 0, 0, 0, at(0).colour};
            if (sprite) {
                SpriteVertex first, third;
                std::memcpy(&first, c.data.data(), sizeof first);
                std::memcpy(&third, c.data.data() + 2 * stride, sizeof third);
                d.s.u0 = first.u, d.s.v0 = first.v, d.s.u1 = third.u, d.s.v1 = third.v;
                d.glyph = GlyphAt(first.u, first.v);
            }
            out.push_back(d);
        }
        return out;
    }

    // The cached string whose atlas rectangle starts at these UVs.
    std::string GlyphAt(f32 u, f32 v) const
    {
        for (u32 i = 0; i < font_.GetCachedCount(); ++i) {
            const FontCacheEntry* e = font_.GetCachedEntry(i);
            if (u == f32(e->x) / f32(font_.GetWidth()) && v == f32(e->y) / f32(font_.GetHeight())) return e->text;
        }
        return "?";
    }

    text::FakeGlyphs* glyphs_ = nullptr;
    CFontTexture font_;
};

}  // namespace font_test
