#include "engine/graphics/ImageReader.h"

#include "engine/core/Memory.h"
#include "host/kernel/Kernel.h"
#include "host/kernel/tests/TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

using host::kernel::testing::TempFolder;
using Bytes = std::vector<u8>;

namespace {

Bytes Taken(u8* block, u32 size)
{
    Bytes out(block, block + (block ? size : 0));
    AlignedFree(block);
    return out;
}

Bytes Bmp(const Bytes& pixels, u32 w, u32 h, u32 channels, u32 ppm = kDefaultPixelsPerMetre)
{
    u32 size = 0;
    u8* block = EncodeBMP(pixels.data(), w, h, channels, ppm, ppm, &size);
    return Taken(block, size);
}

Bytes Dds(const Bytes& pixels, u32 w, u32 h, u32 channels)
{
    u32 size = 0;
    u8* block = EncodeDDS(pixels.data(), w, h, channels, &size);
    return Taken(block, size);
}

}  // namespace

TEST(ImageWriters, BmpMatchesTheFormat)
{
    const Bytes golden = {
        'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,                // file header
        40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0,              // 2 x 2, 1 plane, 24 bits
        0, 0, 0, 0, 16, 0, 0, 0, 0x12, 0x0B, 0, 0, 0x12, 0x0B, 0, 0,   // BI_RGB, 16 bytes, 72 dpi
        0, 0, 0, 0, 0, 0, 0, 0,
        7, 8, 9, 10, 11, 12, 0, 0, 1, 2, 3, 4, 5, 6, 0, 0,             // bottom row first, padded
    };
    EXPECT_EQ(Bmp({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, 2, 2, 3, 2834), golden);

    // Grey is spread over blue, green and red; grey with alpha takes 32 bits.
    const Bytes grey = Bmp({5, 6}, 1, 2, 1);
    EXPECT_EQ(grey[28], 24);
    EXPECT_EQ(grey[38], 0xC4);  // 3780 per metre
    EXPECT_EQ(Bytes(grey.begin() + 54, grey.end()), (Bytes{6, 6, 6, 0, 5, 5, 5, 0}));
    const Bytes greyAlpha = Bmp({5, 9}, 1, 1, 2);
    EXPECT_EQ(greyAlpha[28], 32);
    EXPECT_EQ(Bytes(greyAlpha.begin() + 54, greyAlpha.end()), (Bytes{5, 5, 5, 9}));
    // Blue, green, red, alpha as they are: 32 bits, rows need no padding.
    const Bytes bgra = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const Bytes golden32 = {
        'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,
        40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 32, 0,
        0, 0, 0, 0, 16, 0, 0, 0, 0xC4, 0x0E, 0, 0, 0xC4, 0x0E, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,
        9, 10, 11, 12, 13, 14, 15, 16, 1, 2, 3, 4, 5, 6, 7, 8,
    };
    EXPECT_EQ(Bmp(bgra, 2, 2, 4), golden32);
    EXPECT_TRUE(Bmp({1, 2, 3, 4, 5}, 1, 1, 5).empty());
    EXPECT_TRUE(Bmp(golden, 0x40000000, 0x40000000, 4).empty());
}

TEST(ImageWriters, DdsMatchesTheFormat)
{
    Bytes golden = {'D', 'D', 'S', ' ', 124, 0, 0, 0, 0x07, 0x10, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 4, 0, 0, 0};
    golden.resize(4 + 72, 0);  // depth, mip levels, reserved
    const Bytes format = {
        32, 0, 0, 0, 0x41, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0, 0,  // RGB with alpha, 32 bits
        0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0, 0, 0, 0, 0xFF,
        0, 0x10, 0, 0,                                        // texture
    };
    golden.insert(golden.end(), format.begin(), format.end());
    golden.resize(128, 0);
    const Bytes rows = {1, 2, 3, 4, 5, 6, 7, 8};  // top row first
    golden.insert(golden.end(), rows.begin(), rows.end());
    EXPECT_EQ(Dds(rows, 1, 2, 4), golden);

    const Bytes rgb = Dds({1, 2, 3, 4, 5, 6}, 2, 1, 3);
    EXPECT_EQ(rgb[80] | rgb[88] << 8 | rgb[104] << 16, 0x40 | 24 << 8);  // no alpha pixels or mask
    EXPECT_EQ(Bytes(rgb.begin() + 128, rgb.end()), (Bytes{1, 2, 3, 4, 5, 6, 0, 0}));  // pitch 8

    // Grey is spread over blue, green and red; grey with alpha takes 32 bits.
    const Bytes grey = Dds({5, 6}, 1, 2, 1);
    EXPECT_EQ(grey[20], 4);  // pitch: 3 bytes padded to 4
    EXPECT_EQ(grey[80] | grey[88] << 8 | grey[104] << 16, 0x40 | 24 << 8);
    EXPECT_EQ(Bytes(grey.begin() + 128, grey.end()), (Bytes{5, 5, 5, 0, 6, 6, 6, 0}));  // top row first
    const Bytes greyAlpha = Dds({5, 9, 6, 10}, 2, 1, 2);
    EXPECT_EQ(greyAlpha[20], 8);
    EXPECT_EQ(greyAlpha[80] | greyAlpha[88] << 8 | greyAlpha[104] << 16, 0x41 | 32 << 8);
    EXPECT_EQ(Bytes(greyAlpha.begin() + 104, greyAlpha.begin() + 108), (Bytes{0, 0, 0, 0xFF}));  // alpha mask
    EXPECT_EQ(Bytes(greyAlpha.begin() + 128, greyAlpha.end()), (Bytes{5, 5, 5, 9, 6, 6, 6, 10}));
}

TEST(ImageReader, WritesFilesAndKeepsTheirBytes)
{
    TempFolder folder;
    const Bytes pixels = {1, 2, 3, 4};
    CImageReader reader;
    ASSERT_EQ(reader.WriteBMP((folder / "a").c_str(), pixels.data(), 1, 1, 4), 1);
    ASSERT_EQ(reader.WriteDDS((folder / "b.dds").c_str(), pixels.data(), 1, 1, 4), 1);
    EXPECT_EQ(reader.WriteDDS((folder / "d").c_str(), pixels.data(), 1, 1, 7), 0);
    // A folder where the file should go: the write fails and nothing is listed.
    ASSERT_TRUE(host::kernel::CreateDirectory(folder / "e.bmp"));
    EXPECT_EQ(reader.WriteBMP((folder / "e").c_str(), pixels.data(), 1, 1, 4), 0);
    ASSERT_EQ(reader.GetFileCount(), 2u);
    EXPECT_EQ(std::string(reader.GetFile(0)->GetName()), folder / "a.bmp");
    EXPECT_EQ(std::string(reader.GetFile(1)->GetName()), folder / "b.dds");
    std::string disk;
    ASSERT_TRUE(host::kernel::ReadWholeFile(folder / "b.dds", disk));
    EXPECT_EQ(Bytes(disk.begin(), disk.end()), Dds(pixels, 1, 1, 4));

    const CImageReader copy(reader);
    reader.Release();
    ASSERT_EQ(copy.GetFileCount(), 2u);
    const CImageFile* f = copy.GetFile(1);
    EXPECT_EQ(Bytes(f->GetBytes(), f->GetBytes() + f->GetByteCount()), Dds(pixels, 1, 1, 4));
}

}  // namespace ORV_TEST_FILE_ID
