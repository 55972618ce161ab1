// Untextured rectangles, discs and outlines as the device draws them.
#include "engine/graphics/tests/DrawTestSupport.h"

#include "engine/graphics/Shapes2D.h"
#include "engine/graphics/Texture.h"

#include <cmath>

namespace {

using draw_test::Drawn;
namespace render = host::render;

constexpr u32 kColour = 0x80102030u;

CRect4 Rect(f32 left, f32 top, f32 right, f32 bottom)
{
    CRect4 r;
    r.Set(left, right, top, bottom);
    return r;
}

using Points_t = std::vector<std::pair<f32, f32>>;

class Shapes : public draw_test::DrawTest {
protected:
    // The draw as a whole: untextured, FVF 0x44, stride 20, z 0, rhw 1, one
    // colour; its points as (x, y) pairs.
    Points_t Points(u32 type, u32 count) const
    {
        const Drawn<ColorVertex> d = Last<ColorVertex>();
        EXPECT_EQ(d.type, type);
        EXPECT_EQ(d.count, count);
        EXPECT_EQ(d.stride, 20u);
        EXPECT_EQ(d.fvf, 0x44u);
        EXPECT_EQ(d.texture, 0u);
        Points_t out;
        for (const ColorVertex& v : d.vertices) {
            EXPECT_EQ(v.z, 0.0f);
            EXPECT_EQ(v.rhw, 1.0f);
            EXPECT_EQ(v.colour, kColour);
            out.emplace_back(v.x, v.y);
        }
        return out;
    }
};

TEST_F(Shapes, RectanglesFillAsAFanOfTwoTriangles)
{
    // A textured sprite first, so unbinding its texture shows in the log.
    CTexture texture;
    ASSERT_EQ(texture.Create(4, 4, 0, render::kFormatA8R8G8B8, render::kPoolManaged), 1);
    texture.DrawSprite(0, 0, 0, nullptr, 1, 1, 0, 0, 0, 0, 17);
    const CRect4 r = Rect(10.5f, 20, 110, 70.25f);
    FillScreenRect(&r, kColour);
    EXPECT_EQ(Points(render::kPrimitiveTriangleFan, 2), (Points_t{{10.5f, 20}, {110, 20}, {110, 70.25f}, {10.5f, 70.25f}}));
    EXPECT_TRUE(fake_->HasSequence({render::CallMatch("SetTexture").With("texture", 0),
                                    render::CallMatch("SetFVF").With("fvf", 0x44),
                                    render::CallMatch("DrawPrimitiveUP").With("fvf", 0x44)}));

    // No rectangle: the client area, moved by the viewport origin.
    ASSERT_EQ(device_.SetViewport(100, 50, 320, 240), 1);
    FillScreenRect(nullptr, kColour);
    EXPECT_EQ(Points(render::kPrimitiveTriangleFan, 2), (Points_t{{100, 50}, {1124, 50}, {1124, 818}, {100, 818}}));
    FillScreenRect(&r, kColour);
    EXPECT_EQ(Points(render::kPrimitiveTriangleFan, 2),
              (Points_t{{110.5f, 70}, {210, 70}, {210, 120.25f}, {110.5f, 120.25f}}));
}

TEST_F(Shapes, DiscsAreFansOf24StepsClockwiseFromTheRight)
{
    ASSERT_EQ(device_.SetViewport(100, 50, 320, 240), 1);
    const f32 disc[3] = {200, 100, 40};
    FillScreenCircle(disc, kColour);
    const Points_t p = Points(render::kPrimitiveTriangleFan, 24);
    ASSERT_EQ(p.size(), 26u);
    EXPECT_EQ(p[0], (std::pair<f32, f32>{300, 150}));   // the centre, moved
    EXPECT_EQ(p[1], (std::pair<f32, f32>{340, 150}));   // angle 0: right of the centre
    // Every 15 degrees; a quarter turn on is straight below (y down).
    const struct {
        u32 vertex;
        f32 x, y;
    } rim[] = {{3, 300 + 40 * 0.8660254f, 150 + 20}, {7, 300, 190}, {13, 260, 150}, {19, 300, 110}, {25, 340, 150}};
    for (const auto& r : rim) {
        EXPECT_NEAR(p[r.vertex].first, r.x, 1e-4) << r.vertex;
        EXPECT_NEAR(p[r.vertex].second, r.y, 1e-4) << r.vertex;
    }
    for (u32 i = 1; i < 26; ++i) {
        const f32 dx = p[i].first - 300, dy = p[i].second - 150;
        EXPECT_NEAR(std::sqrt(dx * dx + dy * dy), 40.0f, 1e-4) << i;
    }

    // Radius 0: 24 triangles with nothing in them.
    const f32 dot[3] = {5, 6, 0};
    FillScreenCircle(dot, kColour);
    for (const auto& point : Points(render::kPrimitiveTriangleFan, 24)) EXPECT_EQ(point, (std::pair<f32, f32>{105, 56}));
}

TEST_F(Shapes, OutlinesAreClosedLineStrips)
{
    const CRect4 r = Rect(1, 2, 30, 40);
    DrawScreenRectOutline(&r, kColour);
    EXPECT_EQ(Points(render::kPrimitiveLineStrip, 4), (Points_t{{1, 2}, {30, 2}, {30, 40}, {1, 40}, {1, 2}}));
}

TEST_F(Shapes, NullShapesDrawNothing)
{
    FillScreenCircle(nullptr, kColour);
    DrawScreenRectOutline(nullptr, kColour);
    EXPECT_EQ(Draws(), 0u);
    EXPECT_EQ(fake_->CallCount(), 0u);
}

TEST_F(Shapes, NothingIsDrawnWithoutADevice)
{
    device_.EndScene();
    device_.Release();
    const CRect4 r = Rect(1, 2, 30, 40);
    const f32 disc[3] = {1, 2, 3};
    FillScreenRect(&r, kColour);
    FillScreenRect(nullptr, kColour);
    FillScreenCircle(disc, kColour);
    DrawScreenRectOutline(&r, kColour);
    EXPECT_EQ(Draws(), 0u);
}

}  // namespace
