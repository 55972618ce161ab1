// Cut files of every kind: refused, or read as they were before, never read
// past their end. (Scrambled bytes are the image fuzz driver's.)
#include "host/image/tests/ImageTestSupport.h"

namespace ORV_TEST_FILE_ID {

using namespace image_test;
using host::kernel::testing::TempFolder;

namespace {

struct Sample {
    std::string what;
    Bytes file;
};

// One file of each kind and variant: from ImageMagick when it is there, and
// always the writer's own BMP.
std::vector<Sample> Samples()
{
    std::vector<Sample> out;
    const std::vector<uint32_t> pixels = PatternPixels(6, 5);
    Bytes bmp;
    host::image::WriteBmp24(pixels.data(), 6, 5, 24, bmp);
    out.push_back({"written BMP", bmp});
    if (!HaveConvert()) return out;
    TempFolder folder;
    const char* kinds[][3] = {
        {"BMP", "", "a.bmp"},
        {"BI_RGB BMP", "-define bmp3:alpha=true", "BMP3:b.bmp"},
        {"palette BMP", "-type Palette -compress None", "BMP3:c.bmp"},
        {"PNG", "", "a.png"},
        {"interlaced PNG", "-interlace PNG", "b.png"},
        {"JPG", "", "a.jpg"},
        {"progressive JPG", "-interlace JPEG", "b.jpg"},
        {"TGA", "", "a.tga"},
        {"run-length TGA", "-compress RLE", "b.tga"},
        {"DDS", "-define dds:compression=none", "a.dds"},
        {"DXT1", "-define dds:compression=dxt1", "b.dds"},
        {"DXT5", "-define dds:compression=dxt5", "c.dds"},
    };
    for (const auto& k : kinds) {
        const std::string name = k[2];
        const size_t colon = name.find(':');
        const std::string coder = colon == std::string::npos ? "" : name.substr(0, colon + 1);
        out.push_back({k[0], Convert(folder, pixels, 6, 5, k[1], name.substr(coder.size()), coder)});
    }
    return out;
}

}  // namespace

TEST(HostileFiles, ACutFileIsRefusedOrReadUnchanged)
{
    for (const Sample& s : Samples()) {
        SCOPED_TRACE(s.what);
        ASSERT_FALSE(s.file.empty());
        const Image whole = Plain(s.file);
        ASSERT_FALSE(whole.pixels.empty());
        // Cut in the middle, the pixels are missing; cut later, only what
        // follows them (mipmaps, padding, trailers) may be gone.
        EXPECT_TRUE(Refused(Bytes(s.file.begin(), s.file.begin() + ptrdiff_t(s.file.size() / 2))));
        for (size_t n = 0; n < s.file.size(); ++n) {
            // A copy of its own, so reading past it shows in the sanitizer build.
            const Bytes cut(s.file.begin(), s.file.begin() + ptrdiff_t(n));
            std::string error;
            const Image image = Plain(cut, &error);
            if (!image.pixels.empty()) EXPECT_EQ(image.pixels, whole.pixels) << "cut at " << n;
            else EXPECT_FALSE(error.empty());
        }
    }
}

}  // namespace ORV_TEST_FILE_ID
