// Textures from image files that ImageMagick made: stretched to powers of
// two in the managed pool, the file's own size kept, the colour key applied,
// and damaged files refused without a texture left behind.
#include "host/render/TextureLoad.h"

#include "host/image/Image.h"
#include "host/image/tests/ImageTestSupport.h"
#include "host/kernel/tests/TempFolder.h"
#include "host/render/tests/RenderTestSupport.h"

#include <string>
#include <vector>

namespace host::render::testing {
namespace ORV_TEST_FILE_ID {

namespace {

using host::kernel::testing::TempFolder;
using image_test::Bytes;

constexpr uint32_t kRed = 0xFFFF0000u, kBlue = 0xFF0000FFu;

// Left half red, right half blue, w x h.
std::vector<uint32_t> Halves(uint32_t w, uint32_t h)
{
    std::vector<uint32_t> out;
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) out.push_back(x < w / 2 ? kRed : kBlue);
    return out;
}

class TextureLoad : public FakeRenderTest {
protected:
    void SetUp() override
    {
        FakeRenderTest::SetUp();
        if (!image_test::HaveConvert()) GTEST_SKIP() << "ImageMagick's convert is missing (scripts/install-deps.sh)";
        device = MakeDevice();
    }

    Bytes Make(const std::vector<uint32_t>& pixels, uint32_t w, uint32_t h, const char* options, const char* name)
    {
        Bytes file = image_test::Convert(folder, pixels, w, h, options, name);
        EXPECT_FALSE(file.empty()) << name;
        return file;
    }

    static uint32_t Texel(Texture* texture, uint32_t x, uint32_t y)
    {
        Ref<Surface> level;
        EXPECT_EQ(texture->GetSurfaceLevel(0, level.Put()), Result::Ok);
        return FakeRender::ReadPixel(level.Get(), x, y);
    }

    TempFolder folder;
    Ref<Device> device;
};

TEST_F(TextureLoad, StretchesToPowersOfTwoAndKeepsTheFilesSize)
{
    const Bytes png = Make(Halves(300, 200), 300, 200, "", "halves.png");
    ImageInfo info;
    Ref<Texture> texture;
    ASSERT_EQ(LoadTextureFromMemory(device.Get(), png.data(), png.size(), 0, &info, texture.Put()), Result::Ok);

    EXPECT_EQ(info.width, 300u);
    EXPECT_EQ(info.height, 200u);
    EXPECT_EQ(info.format, kFormatA8R8G8B8);
    EXPECT_EQ(info.fileFormat, host::image::kFilePng);
    SurfaceDesc desc;
    ASSERT_EQ(texture->GetLevelDesc(0, desc), Result::Ok);
    EXPECT_EQ(desc.width, 512u);
    EXPECT_EQ(desc.height, 256u);
    EXPECT_EQ(desc.format, kFormatA8R8G8B8);
    EXPECT_EQ(desc.pool, kPoolManaged);
    EXPECT_EQ(desc.usage, 0u);
    EXPECT_EQ(texture->GetLevelCount(), 10u);   // 512 down to 1
    EXPECT_EQ(fake->Count(CallMatch("CreateTexture").With("width", 512).With("height", 256).With("levels", 0)
                              .With("format", kFormatA8R8G8B8).With("pool", kPoolManaged).With("usage", 0)),
              1u);
    // Flat regions away from the seam keep their colour through the stretch.
    EXPECT_EQ(Texel(texture.Get(), 10, 10), kRed);
    EXPECT_EQ(Texel(texture.Get(), 240, 250), kRed);
    EXPECT_EQ(Texel(texture.Get(), 270, 5), kBlue);
    EXPECT_EQ(Texel(texture.Get(), 511, 255), kBlue);
}

TEST_F(TextureLoad, EveryFormatComesInAtItsOwnSize)
{
    struct Case {
        const char* name;
        const char* options;
        uint32_t fileFormat;
    } const cases[] = {
        {"a.bmp", "-alpha off", host::image::kFileBmp},
        {"a.tga", "-orient TopLeft", host::image::kFileTga},
        {"a.jpg", "-quality 100", host::image::kFileJpg},
        {"a.dds", "-define dds:compression=none", host::image::kFileDds},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes file = Make(Halves(16, 8), 16, 8, c.options, c.name);
        ImageInfo info;
        Ref<Texture> texture;
        ASSERT_EQ(LoadTextureFromFile(device.Get(), folder / c.name, 0, &info, texture.Put()), Result::Ok);
        EXPECT_EQ(info.fileFormat, c.fileFormat);
        EXPECT_EQ(info.width, 16u);
        EXPECT_EQ(info.height, 8u);
        EXPECT_TRUE(image_test::Near(Texel(texture.Get(), 1, 1), kRed, 3));
        EXPECT_TRUE(image_test::Near(Texel(texture.Get(), 14, 6), kBlue, 3));
    }
}

// The device's largest texture bounds the size before the file is decoded:
// a side past it is shrunk to it, never rounded up past it; one at it stays.
TEST_F(TextureLoad, TheDevicesLargestTextureBoundsTheSize)
{
    const struct {
        uint32_t max, w, h, wantW, wantH;
    } cases[] = {
        {128, 300, 20, 128, 32}, {128, 128, 128, 128, 128}, {128, 129, 1, 128, 1}, {512, 1025, 1025, 512, 512},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + " on " + std::to_string(c.max));
        Caps caps;
        ASSERT_EQ(device->GetDeviceCaps(caps), Result::Ok);
        caps.maxTextureWidth = caps.maxTextureHeight = c.max;
        fake->SetCaps(caps);
        // 1-bit, left half black: a few hundred bytes however large.
        const std::string name = folder / "big.png";
        const std::string command = "convert -size " + std::to_string(c.w) + "x" + std::to_string(c.h) +
            " xc:white -fill black -draw 'rectangle 0,0 " + std::to_string(c.w / 2 - 1) + "," +
            std::to_string(c.h) + "' -type Bilevel " + name + " > /dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0);
        ImageInfo info;
        Ref<Texture> texture;
        ASSERT_EQ(LoadTextureFromFile(device.Get(), name, 0, &info, texture.Put()), Result::Ok);
        SurfaceDesc desc;
        texture->GetLevelDesc(0, desc);
        EXPECT_EQ(desc.width, c.wantW);
        EXPECT_EQ(desc.height, c.wantH);
        EXPECT_EQ(info.width, c.w);
        EXPECT_EQ(Texel(texture.Get(), 0, c.wantH - 1), 0xFF000000u);
        EXPECT_EQ(Texel(texture.Get(), c.wantW - 1, 0), 0xFFFFFFFFu);
        EXPECT_EQ(fake->Count("CreateTexture"), 1u);
        fake->ClearLog();
    }
}

TEST_F(TextureLoad, DamagedOrMissingFilesAreRefusedWithoutATexture)
{
    const Bytes png = Make(Halves(8, 8), 8, 8, "", "good.png");
    Bytes headerOnly(png.begin(), png.begin() + 40);
    Bytes garbage(200, 0x5A);
    // A BMP whose header claims 65536 x 65536 pixels in a 70-byte file.
    Bytes huge = image_test::Builder().Text("BM").U32(70).U32(0).U32(54).U32(40).U32(65536).U32(65536).U16(1)
                     .U16(24).U32(0).U32(0).Zeros(16 + 16).b;
    for (const Bytes* file : {&headerOnly, &garbage, &huge}) {
        std::string why;
        Texture* texture = reinterpret_cast<Texture*>(1);
        EXPECT_EQ(LoadTextureFromMemory(device.Get(), file->data(), file->size(), 0, nullptr, &texture, &why),
                  Result::InvalidCall);
        EXPECT_EQ(texture, nullptr);
        EXPECT_FALSE(why.empty());
    }
    Ref<Texture> texture;
    EXPECT_EQ(LoadTextureFromFile(device.Get(), folder / "missing.png", 0, nullptr, texture.Put()),
              Result::NotAvailable);
    EXPECT_EQ(LoadTextureFromMemory(device.Get(), png.data(), 0, 0, nullptr, texture.Put()), Result::InvalidCall);
    EXPECT_EQ(LoadTextureFromMemory(nullptr, png.data(), png.size(), 0, nullptr, texture.Put()), Result::InvalidCall);
    EXPECT_EQ(fake->Count("CreateTexture"), 0u);
    EXPECT_EQ(Fake(device.Get()).LiveResources(kPoolManaged), 0u);
}

TEST_F(TextureLoad, DeviceFailuresComeBackAndLeaveNothingAlive)
{
    const Bytes png = Make(Halves(8, 8), 8, 8, "", "good.png");
    const struct {
        const char* op;
        Result result;
    } failures[] = {{"CreateTexture", Result::OutOfMemory}, {"Texture.LockRect", Result::InvalidCall}};
    for (const auto& f : failures) {
        SCOPED_TRACE(f.op);
        fake->FailCall(f.op, 1, f.result);
        ImageInfo info;
        info.width = 77;
        Ref<Texture> texture;
        EXPECT_EQ(LoadTextureFromMemory(device.Get(), png.data(), png.size(), 0, &info, texture.Put()), f.result);
        EXPECT_FALSE(texture);
        EXPECT_EQ(info.width, 77u);   // untouched on failure
        EXPECT_EQ(Fake(device.Get()).LiveResources(kPoolManaged), 0u);
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace host::render::testing
