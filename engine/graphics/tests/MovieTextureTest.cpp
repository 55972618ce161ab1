// A movie's frames reach a texture the way the opening and ending scenes
// copy them: the frame's rows as they come, bottom row first, into the top
// rows of the texture, which is then drawn mirrored top to bottom.
#include "engine/graphics/tests/DeviceTestSupport.h"

#include "engine/graphics/Texture.h"
#include "engine/platform/Movie.h"
#include "host/movie/tests/MovieMedia.h"

namespace ORV_TEST_FILE_ID {

namespace {

namespace render = host::render;
using movie_test::Media;

class MovieTexture : public device_test::DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        CreateDevice();
    }
    static u32 Texel(CTexture& texture, u32 x, u32 y)
    {
        return render::FakeRender::ReadPixel(texture.GetSurface(), x, y);
    }
};

::testing::AssertionResult NearArgb(u32 got, u32 want, int tolerance)
{
    for (int shift = 0; shift < 32; shift += 8) {
        const int d = int((got >> shift) & 0xFF) - int((want >> shift) & 0xFF);
        if (d > tolerance || d < -tolerance)
            return ::testing::AssertionFailure() << std::hex << "got " << got << ", want " << want;
    }
    return ::testing::AssertionSuccess();
}

TEST_F(MovieTexture, FramesReachTheTextureBottomRowFirst)
{
    MOVIE_MEDIA_OR_SKIP();
    CMovie movie;
    ASSERT_EQ(movie.Open((Media::Get() / "counter.mpg").c_str()), 1);
    CTexture texture;
    ASSERT_EQ(texture.Create(128, 64, render::kUsageDynamic, render::kFormatA8R8G8B8, render::kPoolDefault), 1);
    ASSERT_EQ(texture.Clear(), 1);
    const u32 start = clock_.Milliseconds();
    ASSERT_EQ(movie.Play(), 1);
    const u32 h = movie_test::kHeight;
    for (u32 n : {0u, 12u, 24u}) {
        SCOPED_TRACE(::testing::Message() << "frame " << n);
        clock_.Set(start + n * movie_test::kFrameMs + 25);
        const u8* frame = movie.GetFrame();
        ASSERT_NE(frame, nullptr);
        ASSERT_EQ(texture.SetPixels(u32(movie.GetFrameWidth()), u32(movie.GetFrameHeight()), frame, 3), 1);
        const u32 red = (10 * n) << 16;
        // The picture's top left (green 200, blue 50) in the frame's last
        // rows, its bottom right (green 40, blue 220) in the first.
        EXPECT_TRUE(NearArgb(Texel(texture, 16, h - 1 - 12), 0xFF00C832u | red, 8));
        EXPECT_TRUE(NearArgb(Texel(texture, 48, h - 1 - 36), 0xFF0028DCu | red, 8));
        // Texels past the frame keep what they held.
        EXPECT_EQ(Texel(texture, 100, 10), 0u);
    }
    // Drawn mirrored top to bottom, the top of the picture comes out on top:
    // the drawn rectangle's top edge takes the frame's last row.
    CRect4 source;
    source.Set(0.0f, f32(movie.GetFrameWidth()), 0.0f, f32(movie.GetFrameHeight()));
    TexCoord topLeft, bottomLeft, topRight, bottomRight;
    texture.RectToUv(&source, &topLeft, &bottomLeft, &topRight, &bottomRight, 2);
    EXPECT_EQ(topLeft.v, f32(h) / 64.0f);
    EXPECT_EQ(bottomLeft.v, 0.0f);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
