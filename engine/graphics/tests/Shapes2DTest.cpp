// Untextured rectangles, discs and outlines as the device draws them.
#include "engine/graphics/tests/DrawTestSupport.h"

#include "engine/graphics/Shapes2D.h"
#include "engine/graphics/Texture.h"

#include <tuple>

namespace ORV_TEST_FILE_ID {

namespace {

using draw_test::Drawn;
namespace render = host::render;

constexpr u32 kShapeColour = 0x80102030u;

using draw_test::Rect;

using Points_t = std::vector<std::pair<f32, f32>>;

class Shapes : public draw_test::DrawTest {
protected:
    // The draw's points as (x, y) pairs; untextured, z 0, rhw 1, one colour.
    Points_t Points(u32 type, u32 count) const
    {
        const Drawn<ColorVertex> d = Last<ColorVertex>();
        EXPECT_EQ(std::make_tuple(d.type, d.count, d.texture), std::make_tuple(type, count, u64(0)));
        Points_t out;
        for (const ColorVertex& v : d.vertices) {
            EXPECT_EQ(std::make_tuple(v.z, v.rhw, v.colour), std::make_tuple(0.0f, 1.0f, kShapeColour));
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
    FillScreenRect(&r, kShapeColour);
    EXPECT_EQ(Points(render::kPrimitiveTriangleFan, 2), (Points_t{{10.5f, 20}, {110, 20}, {110, 70.25f}, {10.5f, 70.25f}}));

    // No rectangle: the client area, moved by the viewport origin.
    ASSERT_EQ(device_.SetViewport(100, 50, 320, 240), 1);
    FillScreenRect(&r, kShapeColour);
    EXPECT_EQ(Points(render::kPrimitiveTriangleFan, 2),
              (Points_t{{110.5f, 70}, {210, 70}, {210, 120.25f}, {110.5f, 120.25f}}));
}

TEST_F(Shapes, DiscsAreFansOf24StepsClockwiseFromTheRight)
{
    ASSERT_EQ(device_.SetViewport(100, 50, 320, 240), 1);
    const f32 disc[3] = {200, 100, 40};
    FillScreenCircle(disc, kShapeColour);
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
}

TEST_F(Shapes, OutlinesAreClosedLineStrips)
{
    const CRect4 r = Rect(1, 2, 30, 40);
    DrawScreenRectOutline(&r, kShapeColour);
    EXPECT_EQ(Points(render::kPrimitiveLineStrip, 4), (Points_t{{1, 2}, {30, 2}, {30, 40}, {1, 40}, {1, 2}}));
}

TEST_F(Shapes, NullShapesDrawNothing)
{
    FillScreenCircle(nullptr, kShapeColour);
    DrawScreenRectOutline(nullptr, kShapeColour);
    EXPECT_EQ(Draws(), 0u);
}

TEST_F(Shapes, NothingIsDrawnWithoutADevice)
{
    device_.EndScene();
    device_.Release();
    const CRect4 r = Rect(1, 2, 30, 40);
    const f32 disc[3] = {1, 2, 3};
    FillScreenRect(&r, kShapeColour);
    FillScreenCircle(disc, kShapeColour);
    DrawScreenRectOutline(&r, kShapeColour);
    EXPECT_EQ(Draws(), 0u);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
