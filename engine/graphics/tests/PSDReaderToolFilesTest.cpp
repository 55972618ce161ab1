// PSD files made by ImageMagick in the test, read back and compared with
// what was drawn: the layers as converted and the merged image as written.
#include "engine/core/Endian.h"
#include "engine/graphics/PSDReader.h"
#include "host/kernel/Kernel.h"
#include "host/kernel/tests/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

using host::kernel::testing::TempFolder;
using Bytes = std::vector<u8>;

namespace {

bool HaveConvert() { return std::system("command -v convert >/dev/null 2>&1") == 0; }

// Pixel bytes in the reader's order (blue, green, red, alpha; or grey,
// alpha) at document pixel (x, y).
using Painter = std::function<Bytes(u32 x, u32 y)>;

Painter Solid(const Bytes& pixel)
{
    return [pixel](u32, u32) { return pixel; };
}

struct ToolLayer {
    i32 top, left, bottom, right;
    Painter paint;
};

struct ToolFile {
    const char* name;
    std::string arguments;  // convert's, before the output file
    u32 width, height;
    Painter merged;
    std::vector<ToolLayer> layers;
};

// A 5 x 3 image of one colour with another at (1, 1).
Painter Dotted(const Bytes& background, const Bytes& dot)
{
    return [=](u32 x, u32 y) { return x == 1 && y == 1 ? dot : background; };
}

std::vector<ToolFile> ToolFiles()
{
    const std::string layers = "-size 3x2 xc:'rgb(200,100,50)' -repage +1+1 \\) "
                               "\\( -size 260x3 xc:'rgb(40,80,120)' -repage +4+0 \\) ";
    const Painter flat = Dotted({30, 20, 10}, {50, 100, 200});
    const Painter grey = Dotted({77}, {200});
    return {
        {"flat", "-size 5x3 xc:'rgb(10,20,30)' -fill 'rgb(200,100,50)' -draw 'point 1,1' -alpha off", 5, 3, flat,
            {{0, 0, 3, 5, flat}}},
        {"grey", "-size 5x3 xc:'gray(77)' -fill 'gray(200)' -draw 'point 1,1' -colorspace Gray -alpha off", 5, 3,
            grey, {{0, 0, 3, 5, grey}}},
        {"layers", "-size 270x4 xc:'rgb(1,2,3)' \\( " + layers + "-alpha off", 270, 4, Solid({3, 2, 1}),
            {{1, 1, 3, 4, Solid({50, 100, 200})}, {0, 4, 3, 264, Solid({120, 80, 40})}}},
        // Alpha makes the layer count negative and the merged image's fourth
        // channel its transparency.
        {"alpha", "-size 270x4 xc:'rgba(1,2,3,0.8)' \\( -size 3x2 xc:'rgba(200,100,50,0.5)' -repage +1+1 \\) "
                  "\\( -size 260x3 xc:'rgb(40,80,120)' -repage +4+0 \\) -compress RLE",
            270, 4, Solid({3, 2, 1, 204}), {{1, 1, 3, 4, Solid({50, 100, 200, 128})}, {0, 4, 3, 264, Solid({120, 80, 40})}}},
    };
}

// The pixel at (x, y) of a BMP, in the reader's order (grey spread over
// three bytes comes back as one).
Bytes BmpPixel(const u8* bmp, u32 x, u32 y, u32 channels)
{
    const u32 width = GetLe32(bmp + 18);
    const u32 height = GetLe32(bmp + 22);
    const u32 bytes = GetLe16(bmp + 28) / 8;
    const u32 stride = (width * bytes + 3) & ~3u;
    const u8* p = bmp + GetLe32(bmp + 10) + size_t(height - 1 - y) * stride + size_t(x) * bytes;
    return channels == 1 ? Bytes{p[0]} : Bytes(p, p + bytes);
}

}  // namespace

TEST(PSDReaderToolFiles, ReadsWhatImageMagickDrew)
{
    if (!HaveConvert()) GTEST_SKIP() << "ImageMagick's convert is missing";
    TempFolder folder;
    for (const ToolFile& f : ToolFiles()) {
        SCOPED_TRACE(f.name);
        const std::string path = folder / (std::string(f.name) + ".psd");
        const std::string command = "convert " + f.arguments + " -depth 8 '" + path + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;

        for (u32 layerSized : {1u, 0u}) {
            CPSDReader reader;
            reader.SetLayerSized(layerSized);
            reader.SetWriteBMP(layerSized);
            ASSERT_EQ(reader.Load(path.c_str()), 1);
            ASSERT_EQ(reader.GetLayerCount(), f.layers.size());
            for (u32 i = 0; i < f.layers.size(); ++i) {
                const ToolLayer& want = f.layers[i];
                const CPSDLayer* l = reader.GetLayer(i);
                EXPECT_EQ((std::vector<i32>{l->top, l->left, l->bottom, l->right}),
                          (std::vector<i32>{want.top, want.left, want.bottom, want.right}));
                const u32 channels = u32(want.paint(0, 0).size());
                ASSERT_EQ(l->channelCount, channels) << i;
                ASSERT_EQ(l->imageWidth, layerSized ? u32(want.right - want.left) : f.width);
                ASSERT_EQ(l->imageHeight, layerSized ? u32(want.bottom - want.top) : f.height);
                for (u32 y = 0; y < l->imageHeight; ++y) {
                    for (u32 x = 0; x < l->imageWidth; ++x) {
                        const u8* p = l->image + (size_t(y) * l->imageWidth + x) * channels;
                        const i64 docX = layerSized ? want.left + i64(x) : i64(x);
                        const i64 docY = layerSized ? want.top + i64(y) : i64(y);
                        const bool inside =
                            docX >= want.left && docX < want.right && docY >= want.top && docY < want.bottom;
                        ASSERT_EQ(Bytes(p, p + channels), inside ? want.paint(u32(docX), u32(docY)) : Bytes(channels, 0))
                            << i << " at " << x << "," << y;
                    }
                }
            }
            if (!layerSized) continue;

            // The merged image, written after the layers' files.
            ASSERT_EQ(reader.GetFileCount(), f.layers.size() + 1);
            const CImageFile* merged = reader.GetFile(u32(f.layers.size()));
            EXPECT_EQ(std::string(merged->GetName()), folder / (std::string(f.name) + ".bmp"));
            const u32 channels = u32(f.merged(0, 0).size());
            for (u32 y = 0; y < f.height; ++y)
                for (u32 x = 0; x < f.width; ++x)
                    ASSERT_EQ(BmpPixel(merged->GetBytes(), x, y, channels), f.merged(x, y)) << x << "," << y;
        }
    }
}

}  // namespace ORV_TEST_FILE_ID
