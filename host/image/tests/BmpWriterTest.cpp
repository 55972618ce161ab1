// The 24-bit BMP writer that screenshots are saved with.
#include "host/image/tests/ImageTestSupport.h"

#include <cstring>

namespace ORV_TEST_FILE_ID {

using namespace image_test;

TEST(WriteBmp24, MatchesTheFormat)
{
    // 3 x 2 held with a pitch of 5 texels (20 bytes).
    const uint32_t pixels[] = {
        0x80112233, 0xFF445566, 0x00778899, 0xDEADBEEF, 0xDEADBEEF,
        0xFFAABBCC, 0xFFDDEEFF, 0xFF010203, 0xDEADBEEF, 0xDEADBEEF,
    };
    const Bytes golden = Builder()
        .Text("BM").U32(78).U32(0).U32(54)                            // file size, offset
        .U32(40).U32(3).U32(2).U16(1).U16(24).U32(0).U32(24)          // 3 x 2 bottom-up, BI_RGB, 24 bytes
        .U32(3780).U32(3780).U32(0).U32(0)                            // 96 dpi, no palette
        .Raw({0xCC, 0xBB, 0xAA, 0xFF, 0xEE, 0xDD, 0x03, 0x02, 0x01, 0, 0, 0})  // bottom row first, padded
        .Raw({0x33, 0x22, 0x11, 0x66, 0x55, 0x44, 0x99, 0x88, 0x77, 0, 0, 0})
        .b;
    Bytes out;
    ASSERT_TRUE(host::image::WriteBmp24(pixels, 3, 2, 20, out));
    EXPECT_EQ(out, golden);

    // Rows need not start on a 4-byte boundary.
    std::vector<uint8_t> odd(1 + 2 * 13);
    for (int y = 0; y < 2; ++y) std::memcpy(odd.data() + 1 + 13 * y, pixels + 5 * y, 12);
    Bytes shifted;
    ASSERT_TRUE(host::image::WriteBmp24(reinterpret_cast<const uint32_t*>(odd.data() + 1), 3, 2, 13, shifted));
    EXPECT_EQ(shifted, golden);

    // Read back, every texel opaque.
    const Image image = Plain(out);
    EXPECT_EQ(image.pixels, (std::vector<uint32_t>{0xFF112233, 0xFF445566, 0xFF778899, 0xFFAABBCC, 0xFFDDEEFF,
                                0xFF010203}));
}

TEST(WriteBmp24, RefusesWhatItCannotWrite)
{
    const uint32_t pixel = 0;
    Bytes out = {1};
    EXPECT_FALSE(host::image::WriteBmp24(&pixel, 0, 1, 4, out));
    EXPECT_FALSE(host::image::WriteBmp24(&pixel, 1, 0, 4, out));
    EXPECT_FALSE(host::image::WriteBmp24(&pixel, 2, 1, 7, out));  // pitch shorter than a row
    EXPECT_FALSE(host::image::WriteBmp24(nullptr, 1, 1, 4, out));
    EXPECT_FALSE(host::image::WriteBmp24(&pixel, 0x10000, 0x10000, 0x40000, out));  // past 4 GiB
    EXPECT_TRUE(out.empty());
}

TEST(WritePng, ReadsBackTexelForTexelWithAlpha)
{
    // 3 x 2 with a pitch of 4 texels; a texel of each alpha the loader keeps.
    const uint32_t pixels[] = {
        0x80112233, 0xFF445566, 0x00778899, 0xDEADBEEF,
        0xFFAABBCC, 0x01DDEEFF, 0xFF010203, 0xDEADBEEF,
    };
    Bytes out;
    ASSERT_TRUE(host::image::WritePng(pixels, 3, 2, 16, out));
    ASSERT_GT(out.size(), 8u);
    EXPECT_EQ(std::memcmp(out.data(), "\x89PNG", 4), 0);
    const Image image = Plain(out);
    EXPECT_EQ(image.pixels, (std::vector<uint32_t>{0x80112233, 0xFF445566, 0x00778899, 0xFFAABBCC, 0x01DDEEFF,
                                0xFF010203}));
    Bytes refused = {1};
    EXPECT_FALSE(host::image::WritePng(pixels, 3, 2, 8, refused));   // pitch shorter than a row
    EXPECT_TRUE(refused.empty());
    EXPECT_FALSE(host::image::WritePng(pixels, 0, 2, 16, refused));
}

}  // namespace ORV_TEST_FILE_ID
