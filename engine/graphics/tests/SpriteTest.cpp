// Sprites as the device draws them: corners, anchors, scaling about the
// centre, the six orientations' UVs, turned sprites, stretched rectangles and
// world quads, checked vertex by vertex in the fake's call log.
#include "engine/graphics/tests/DrawTestSupport.h"

#include "engine/core/Matrix.h"
#include "engine/graphics/Camera.h"
#include "engine/graphics/Texture.h"

#include <tuple>

namespace ORV_TEST_FILE_ID {

namespace {

using draw_test::Drawn;
namespace render = host::render;

using draw_test::Rect;

// On the 256 x 128 texture below: u 0.25 .. 0.5, v 0.125 .. 0.375, 64 x 32
// texels; no two of the four edges alike, so a swapped u or v shows.
const CRect4 kSource = Rect(64, 16, 128, 48);
constexpr f32 kL = 0.25f, kR = 0.5f, kT = 0.125f, kB = 0.375f;
constexpr u32 kSpriteColour = 0x80FF8040u;
constexpr f32 kOne = 1.0f;

struct Corner {
    f32 x, y, u, v;
};

class Sprites : public draw_test::DrawTest {
protected:
    void SetUp() override
    {
        DrawTest::SetUp();
        ASSERT_EQ(texture_.Create(256, 128, 0, render::kFormatA8R8G8B8, render::kPoolManaged), 1);
        fake_->ClearLog();
    }

    // The four vertices in fan order: top-left, top-right, bottom-right,
    // bottom-left, each with z, rhw 1 and the colour.
    void ExpectQuad(const Corner (&want)[4], f32 z, f32 tolerance = 0.0f) const
    {
        const Drawn<SpriteVertex> d = Last<SpriteVertex>();
        EXPECT_EQ(d.texture, IdOf(texture_.GetTexture()));
        ASSERT_EQ(d.vertices.size(), 4u);
        for (int i = 0; i < 4; ++i) {
            const SpriteVertex& v = d.vertices[i];
            EXPECT_NEAR(v.x, want[i].x, tolerance) << i;
            EXPECT_NEAR(v.y, want[i].y, tolerance) << i;
            EXPECT_EQ(std::tie(v.u, v.v, v.z, v.rhw, v.colour), std::tie(want[i].u, want[i].v, z, kOne, kSpriteColour)) << i;
        }
    }

    // An axis-aligned quad with orientation 0's UVs.
    static void Box(f32 x, f32 y, f32 w, f32 h, Corner (&out)[4])
    {
        out[0] = {x, y, kL, kT};
        out[1] = {x + w, y, kR, kT};
        out[2] = {x + w, y + h, kR, kB};
        out[3] = {x, y + h, kL, kB};
    }

    CTexture texture_;
};

TEST_F(Sprites, AnchorsScalesAndKeptCentresPlaceTheQuad)
{
    const CRect4 hundred = Rect(0, 0, 100, 10);
    constexpr f32 kZ = 0.25f;
    const struct Case {
        const char* what;
        f32 x;
        const CRect4* source;
        f32 scaleX, scaleY;
        u8 orientation;
        i32 keepX, keepY;
        u8 anchor;
        f32 left, top, w, h;
    } cases[] = {
        {"left top", 100, &kSource, 1, 1, 0, 0, 0, 17, 100, 50, 64, 32},
        {"centred on the point", 100, &kSource, 1, 1, 0, 0, 0, 2 | 32, 68, 34, 64, 32},
        {"right bottom", 100, &kSource, 1, 1, 0, 0, 0, 4 | 64, 36, 18, 64, 32},
        {"scaled about the unscaled centre", 100, &kSource, 2, 0.5f, 0, 1, 1, 17, 68, 58, 128, 16},
        {"right edge kept centre: 150 to 350", 300, &hundred, 2, 1, 0, 1, 0, 4 | 16, 150, 50, 200, 10},
        {"centre flags ignore kept centres", 100, &kSource, 2, 0.5f, 0, 1, 1, 2 | 32, 36, 42, 128, 16},
        {"whole image turned: sides swap", 100, nullptr, 1, 1, 4, 0, 0, 17, 100, 50, 128, 256},
        {"turned and scaled, centred", 100, &kSource, 2, 1, 5, 0, 0, 2 | 32, 84, -14, 32, 128},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(texture_.DrawSprite(c.x, 50, 0.25f, c.source, c.scaleX, c.scaleY, kSpriteColour, c.orientation, c.keepX,
                                      c.keepY, c.anchor),
                  1);
        const Drawn<SpriteVertex> d = Last<SpriteVertex>();
        ASSERT_EQ(d.vertices.size(), 4u);
        const f32 xs[4] = {c.left, c.left + c.w, c.left + c.w, c.left};
        const f32 ys[4] = {c.top, c.top, c.top + c.h, c.top + c.h};
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(std::tie(d.vertices[i].x, d.vertices[i].y, d.vertices[i].z), std::tie(xs[i], ys[i], kZ)) << i;
    }
}

TEST_F(Sprites, SixOrientationsMapTheSourceOntoTheCorners)
{
    // Fan order: top-left, top-right, bottom-right, bottom-left.
    const struct {
        u8 orientation;
        f32 uv[4][2];
    } cases[] = {
        {0, {{kL, kT}, {kR, kT}, {kR, kB}, {kL, kB}}},
        {1, {{kR, kT}, {kL, kT}, {kL, kB}, {kR, kB}}},   // mirrored left-right
        {2, {{kL, kB}, {kR, kB}, {kR, kT}, {kL, kT}}},   // mirrored top-bottom
        {3, {{kR, kB}, {kL, kB}, {kL, kT}, {kR, kT}}},   // 180 degrees
        {4, {{kL, kB}, {kL, kT}, {kR, kT}, {kR, kB}}},   // clockwise: the bottom-left comes to the top-left
        {5, {{kR, kT}, {kR, kB}, {kL, kB}, {kL, kT}}},   // counter-clockwise
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.orientation));
        texture_.DrawSprite(100, 50, 0, &kSource, 1, 1, kSpriteColour, c.orientation, 0, 0, 17);
        const bool turned = c.orientation >= 4;
        const f32 w = turned ? 32 : 64, h = turned ? 64 : 32;
        const Corner want[4] = {{100, 50, c.uv[0][0], c.uv[0][1]},
                                {100 + w, 50, c.uv[1][0], c.uv[1][1]},
                                {100 + w, 50 + h, c.uv[2][0], c.uv[2][1]},
                                {100, 50 + h, c.uv[3][0], c.uv[3][1]}};
        ExpectQuad(want, 0.0f);
    }
}

TEST_F(Sprites, TurnedSpritesPivotOnTheirAnchor)
{
    const struct Case {
        const char* what;
        f32 angle;
        u8 anchor;
        u8 orientation;
        Corner want[4];
    } cases[] = {
        {"no flags: left edge at x, turned about the centre", 0, 0, 0,
         {{100, 50, kL, kT}, {164, 50, kR, kT}, {164, 82, kR, kB}, {100, 82, kL, kB}}},
        {"centred", 0, 2 | 32, 0, {{68, 34, kL, kT}, {132, 34, kR, kT}, {132, 66, kR, kB}, {68, 66, kL, kB}}},
        {"90 degrees clockwise about the top-left", 90, 17, 0,
         {{100, 50, kL, kT}, {100, 114, kR, kT}, {68, 114, kR, kB}, {68, 50, kL, kB}}},
        {"90 degrees about the centre point", 90, 2 | 32, 0,
         {{116, 18, kL, kT}, {116, 82, kR, kT}, {84, 82, kR, kB}, {84, 18, kL, kB}}},
        {"180 degrees about the centre", 180, 0, 0,
         {{164, 82, kL, kT}, {100, 82, kR, kT}, {100, 50, kR, kB}, {164, 50, kL, kB}}},
        {"turned: sides swap", 0, 17, 4, {{100, 50, kL, kB}, {132, 50, kL, kT}, {132, 114, kR, kT}, {100, 114, kR, kB}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(texture_.DrawSpriteRotated(100, 50, 0.5f, &kSource, c.angle, 1, 1, kSpriteColour, c.orientation, c.anchor),
                  1);
        ExpectQuad(c.want, 0.5f, c.angle == 0 ? 0.0f : 1e-4f);
    }
}

TEST_F(Sprites, ScreenPositionsMoveWithTheViewportOrCameraOrigin)
{
    ASSERT_EQ(device_.SetViewport(100, 50, 320, 240), 1);
    Corner box[4];
    Box(110, 70, 64, 32, box);
    texture_.DrawSprite(10, 20, 0, &kSource, 1, 1, kSpriteColour, 0, 0, 0, 17);
    ExpectQuad(box, 0.0f);
    texture_.DrawSpriteRotated(10, 20, 0, &kSource, 0, 1, 1, kSpriteColour, 0, 17);
    ExpectQuad(box, 0.0f);
    texture_.DrawRect(nullptr, nullptr, kSpriteColour, 0);
    Drawn<SpriteVertex> d = Last<SpriteVertex>();
    // The client area, 1024 x 768, moved; a null source is the whole image.
    EXPECT_EQ(std::tie(d.vertices[0].x, d.vertices[0].y, d.vertices[2].x, d.vertices[2].y, d.vertices[2].u, d.vertices[2].v),
              std::make_tuple(100.0f, 50.0f, 1124.0f, 818.0f, 1.0f, 1.0f));

    // A camera that applied itself last gives its own viewport's origin.
    CCamera camera;
    camera.SetViewport(30, 40, 200, 100);
    ASSERT_EQ(camera.Apply(), 1);
    Box(30, 40, 64, 32, box);
    texture_.DrawSprite(0, 0, 0, &kSource, 1, 1, kSpriteColour, 0, 0, 0, 17);
    ExpectQuad(box, 0.0f);
}

TEST_F(Sprites, DrawRectStretchesTheSourceOntoTheDestination)
{
    const CRect4 dest = Rect(10, 20, 110, 70);
    texture_.DrawRect(&dest, &kSource, kSpriteColour, 3);
    const Corner turned[4] = {{10, 20, kR, kB}, {110, 20, kL, kB}, {110, 70, kL, kT}, {10, 70, kR, kT}};
    ExpectQuad(turned, 0.0f);
}

TEST_F(Sprites, WorldQuadsDrawUnlitWithoutFogAndPutTheStatesBack)
{
    device_.SetLighting(1);
    device_.SetFogEnable(1);
    fake_->ClearLog();
    CMatrix world;
    world.m[3][0] = 5;
    world.m[3][1] = 6;
    world.m[3][2] = 7;
    ASSERT_EQ(texture_.DrawQuad3D(&world, &kSource, kSpriteColour), 1);

    using render::CallMatch;
    EXPECT_TRUE(fake_->HasSequence({CallMatch("SetTransform").With("transform", 256),
                                    CallMatch("SetRenderState").With("state", render::kRsLighting).With("value", 0),
                                    CallMatch("SetRenderState").With("state", render::kRsFogEnable).With("value", 0),
                                    CallMatch("DrawPrimitiveUP").With("fvf", 0x142).With("stride", 24),
                                    CallMatch("SetRenderState").With("state", render::kRsLighting).With("value", 1),
                                    CallMatch("SetRenderState").With("state", render::kRsFogEnable).With("value", 1)}))
        << testing::PrintToString(Ops());
    const render::Call transform = fake_->Find(CallMatch("SetTransform")).back();
    EXPECT_EQ(std::make_tuple(transform.FloatAt(48), transform.FloatAt(52), transform.FloatAt(56)),
              std::make_tuple(5.0f, 6.0f, 7.0f));

    const Drawn<WorldQuadVertex> d = Last<WorldQuadVertex>();
    const f32 want[4][4] = {{-0.5f, 0.5f, kL, kT}, {0.5f, 0.5f, kR, kT}, {0.5f, -0.5f, kR, kB}, {-0.5f, -0.5f, kL, kB}};
    ASSERT_EQ(d.vertices.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        const WorldQuadVertex& v = d.vertices[i];
        EXPECT_EQ(std::make_tuple(v.x, v.y, v.z, v.u, v.v, v.colour),
                  std::make_tuple(want[i][0], want[i][1], 0.0f, want[i][2], want[i][3], kSpriteColour)) << i;
    }

    // States that were off stay off; a null world draws nothing.
    device_.SetLighting(0);
    device_.SetFogEnable(0);
    fake_->ClearLog();
    texture_.DrawQuad3D(&world, nullptr, kSpriteColour);
    EXPECT_EQ(fake_->Count("SetRenderState"), 0u);
    EXPECT_EQ(texture_.DrawQuad3D(nullptr, nullptr, kSpriteColour), 0);
    EXPECT_EQ(Draws(), 1u);
}

TEST_F(Sprites, AnEmptyTextureDrawsWithNoTextureBound)
{
    CTexture empty;
    texture_.DrawSprite(0, 0, 0, &kSource, 1, 1, kSpriteColour, 0, 0, 0, 17);
    ASSERT_EQ(empty.DrawSprite(0, 0, 0, &kSource, 1, 1, kSpriteColour, 0, 0, 0, 17), 1);
    EXPECT_EQ(Last<SpriteVertex>().texture, 0u);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
