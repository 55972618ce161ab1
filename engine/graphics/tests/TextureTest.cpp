// Textures on the fake device: made empty, loaded from files ImageMagick
// made, from memory and from archives, shared by copies, written pixel by
// pixel (movie frames), cleared, filled and saved; damaged images refused.
#include "engine/graphics/tests/DeviceTestSupport.h"

#include "engine/core/PackFile.h"
#include "engine/graphics/Texture.h"
#include "host/image/tests/ImageTestSupport.h"
#include "host/kernel/tests/TempFolder.h"

#include <string>
#include <utility>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

namespace render = host::render;
using host::kernel::testing::TempFolder;
using render::CallMatch;
using render::FakeRender;

constexpr u32 kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u;

class Textures : public device_test::DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        CreateDevice();
    }

    // Left half red, right half opaque green, made by ImageMagick; empty
    // when convert is missing.
    std::string MakePng(const char* name, u32 w, u32 h)
    {
        std::vector<u32> pixels;
        for (u32 y = 0; y < h; ++y)
            for (u32 x = 0; x < w; ++x) pixels.push_back(x < w / 2 ? kRed : kGreen);
        return image_test::Convert(folder_, pixels, w, h, "", name).empty() ? std::string() : folder_ / name;
    }

    static u32 Texel(CTexture& texture, u32 x, u32 y) { return FakeRender::ReadPixel(texture.GetSurface(), x, y); }

    size_t Live(u32 pool) const { return Fake().LiveResources(pool); }

    TempFolder folder_;
};

TEST_F(Textures, CreateKeepsWhatItWasAskedForAndReplacesWhatItHeld)
{
    CTexture texture;
    ASSERT_EQ(texture.Create(64, 32, render::kUsageDynamic, render::kFormatA8R8G8B8, render::kPoolDefault), 1);
    EXPECT_EQ(fake_->Count(CallMatch("CreateTexture").With("width", 64).With("height", 32).With("levels", 1)), 1u);

    ASSERT_EQ(texture.Create(16, 16, 0, render::kFormatX8R8G8B8, render::kPoolManaged), 1);
    EXPECT_EQ(Live(render::kPoolDefault), 0u);
    EXPECT_EQ(Live(render::kPoolManaged), 1u);

    // A refused creation leaves the texture empty.
    EXPECT_EQ(texture.Create(16, 16, render::kUsageRenderTarget, render::kFormatA8R8G8B8, render::kPoolManaged), 0);
    EXPECT_EQ(texture.GetTexture(), nullptr);
    EXPECT_EQ(Live(render::kPoolManaged), 0u);

    // Nothing is made without a device.
    const std::string png = MakePng("a.png", 8, 8);
    device_.Release();
    EXPECT_EQ(texture.Create(16, 16, 0, render::kFormatA8R8G8B8, render::kPoolManaged), 0);
    EXPECT_EQ(texture.LoadFromFile(png.c_str()), 0);
}

TEST_F(Textures, ImagesFromFilesMemoryAndArchivesKeepTheirOwnSizeAndLoseTheirGreen)
{
    const std::string png = MakePng("halves.png", 300, 200);
    if (png.empty()) GTEST_SKIP() << "ImageMagick's convert is missing (scripts/install-deps.sh installs it)";
    std::string bytes;
    ASSERT_TRUE(host::kernel::ReadWholeFile(png, bytes));
    const std::string archive = folder_ / "Data.gpk";
    const char* paths[] = {png.c_str()};
    ASSERT_EQ(CqelPackFile::Write(paths, 1, archive.c_str()), 1u);
    CqelPackFile pack;
    ASSERT_EQ(pack.Open(archive.c_str()), 1u);

    CTexture file, memory, packed;
    ASSERT_EQ(file.LoadFromFile(png.c_str()), 1);
    ASSERT_EQ(memory.LoadFromMemory(bytes.data(), "menu.png", u32(bytes.size())), 1);
    ASSERT_EQ(packed.LoadFromPack(&pack, png.c_str()), 1);
    EXPECT_EQ(packed.GetName(), png);
    for (CTexture* texture : {&file, &memory, &packed}) {
        EXPECT_EQ(std::make_pair(texture->GetWidth(), texture->GetHeight()), std::make_pair(300u, 200u));
        EXPECT_EQ(Texel(*texture, 20, 20), kRed);
        EXPECT_EQ(Texel(*texture, 480, 200), 0x00000000u);
    }
    // UVs come from the file's size: the whole image is the whole texture.
    TexCoord a, b, c, d;
    const CRect4 half = [] { CRect4 r; r.Set(0, 150, 0, 100); return r; }();
    file.RectToUv(&half, &a, &b, &c, &d, 0);
    EXPECT_EQ(std::make_pair(d.u, d.v), std::make_pair(0.5f, 0.5f));
    EXPECT_EQ(memory.LoadFromMemory(bytes.data(), "menu.png", 0), 0);
    EXPECT_EQ(packed.LoadFromPack(&pack, "missing.png"), 0);

    // A damaged or missing image leaves the texture empty.
    const std::string cut = folder_ / "cut.png";
    ASSERT_TRUE(host::kernel::WriteFileAtomic(cut, bytes.data(), bytes.size() / 2));
    for (const std::string& bad : {cut, folder_ / "missing.png"}) {
        ASSERT_EQ(file.LoadFromFile(png.c_str()), 1);
        EXPECT_EQ(file.LoadFromFile(bad.c_str()), 0) << bad;
        EXPECT_EQ(file.GetTexture(), nullptr);
        EXPECT_EQ(Live(render::kPoolManaged), 2u);   // from memory and the archive
    }
}

// Side by side, each texture takes its own bytes and its own name; a
// damaged image and an entry without a texture load nothing.
TEST_F(Textures, LoadEachFromMemoryGivesEveryEntryItsOwnImageAndName)
{
    const struct {
        const char* name;
        u32 w, h;
    } images[] = {{"one.png", 16, 8}, {"two.png", 8, 4}, {"three.png", 4, 12}};
    std::vector<std::string> bytes;
    for (const auto& image : images) {
        const std::string png = MakePng(image.name, image.w, image.h);
        if (png.empty()) GTEST_SKIP() << "ImageMagick's convert is missing (scripts/install-deps.sh installs it)";
        ASSERT_TRUE(host::kernel::ReadWholeFile(png, bytes.emplace_back()));
    }
    const std::string cut = bytes[0].substr(0, bytes[0].size() / 2);
    CTexture textures[4];
    std::vector<CTexture::MemoryFile> files;
    for (u32 i = 0; i < 3; ++i) files.push_back({&textures[i], bytes[i].data(), images[i].name, u32(bytes[i].size()), -1});
    files.push_back({&textures[3], cut.data(), "cut.png", u32(cut.size()), -1});
    files.push_back({nullptr, bytes[0].data(), "none.png", u32(bytes[0].size()), -1});
    CTexture::LoadEachFromMemory(files.data(), u32(files.size()));
    for (u32 i = 0; i < 3; ++i) {
        EXPECT_EQ(files[i].loaded, 1) << images[i].name;
        EXPECT_STREQ(textures[i].GetName(), images[i].name);
        EXPECT_EQ(std::make_pair(textures[i].GetWidth(), textures[i].GetHeight()),
                  std::make_pair(images[i].w, images[i].h)) << images[i].name;
        EXPECT_EQ(Texel(textures[i], 0, 0), kRed) << images[i].name;
    }
    EXPECT_EQ(files[3].loaded, 0);
    EXPECT_EQ(textures[3].GetTexture(), nullptr);
    EXPECT_EQ(files[4].loaded, 0);
    EXPECT_EQ(Live(render::kPoolManaged), 3u);
}

// Grey and alpha masks in DDS files load as textures: grey spread over the
// colour, alpha kept; an alpha surface is black.
TEST_F(Textures, LuminanceAndAlphaDdsFilesLoad)
{
    // "DDS ", the 124-byte description of a 2 x 1 surface, its texels.
    auto dds = [](u32 flags, u32 bits, u32 grey, u32 alpha, std::vector<u8> texels) {
        image_test::Builder b;
        b.Text("DDS ").U32(124).U32(0x1007).U32(1).U32(2).U32(0).U32(0).U32(1).Zeros(44);
        b.U32(32).U32(flags).U32(0).U32(bits).U32(grey).U32(0).U32(0).U32(alpha);
        b.U32(0x1000).Zeros(16);
        b.Raw(texels);
        return std::string(b.b.begin(), b.b.end());
    };
    const struct {
        const char* name;
        std::string file;
        u32 left, right;
    } cases[] = {
        {"l8.dds", dds(0x20000, 8, 0xFF, 0, {0x40, 0xC0}), 0xFF404040u, 0xFFC0C0C0u},
        {"a8l8.dds", dds(0x20001, 16, 0xFF, 0xFF00, {0x40, 0x80, 0xC0, 0x10}), 0x80404040u, 0x10C0C0C0u},
        {"a4l4.dds", dds(0x20001, 8, 0x0F, 0xF0, {0x1F, 0xE2}), 0x11FFFFFFu, 0xEE222222u},
        {"a8.dds", dds(0x2, 8, 0, 0xFF, {0x40, 0xC0}), 0x40000000u, 0xC0000000u},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CTexture texture;
        ASSERT_EQ(texture.LoadFromMemory(c.file.data(), c.name, u32(c.file.size())), 1);
        EXPECT_EQ(std::make_pair(texture.GetWidth(), texture.GetHeight()), std::make_pair(2u, 1u));
        EXPECT_EQ(Texel(texture, 0, 0), c.left);
        EXPECT_EQ(Texel(texture, 1, 0), c.right);
    }
}

TEST_F(Textures, CopiesShareOneTextureAndLevel)
{
    CTexture original;
    ASSERT_EQ(original.Create(8, 8, 0, render::kFormatA8R8G8B8, render::kPoolManaged), 1);
    render::Surface* level = original.GetSurface();
    {
        CTexture copy(original);
        EXPECT_EQ(copy.GetSurface(), level);
        original.Release();
        EXPECT_EQ(Live(render::kPoolManaged), 1u);
        EXPECT_EQ(copy.FillColor(0xFF336699u), 1);
        EXPECT_EQ(Texel(copy, 7, 7), 0xFF336699u);
    }
    EXPECT_EQ(Live(render::kPoolManaged), 0u);
}

TEST_F(Textures, SetPixelsCopiesRowsIntoTheCornerItCoversAndClearZeroesEveryTexel)
{
    CTexture texture;
    ASSERT_EQ(texture.Create(4, 3, render::kUsageDynamic, render::kFormatA8R8G8B8, render::kPoolDefault), 1);
    constexpr u32 kOld = 0x11223344u;
    const struct {
        u32 width, rows, bytesPerPixel;
    } rows[] = {
        {2, 2, 3},   // opaque, narrower and shorter than the texture
        {2, 2, 4},   // alpha kept
        {4, 3, 4},   // exactly the texture
        {6, 10, 4},  // wider and taller: each row starts a whole source row after the last
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.width << "x" << row.rows << "x" << row.bytesPerPixel);
        // Every byte distinct: blue, green, red (, alpha) in memory.
        std::vector<u8> source(row.width * row.rows * row.bytesPerPixel);
        for (size_t i = 0; i < source.size(); ++i) source[i] = u8(i + 1);
        ASSERT_EQ(texture.FillColor(kOld), 1);
        ASSERT_EQ(texture.SetPixels(row.width, row.rows, source.data(), row.bytesPerPixel), 1);
        for (u32 y = 0; y < 3; ++y)
            for (u32 x = 0; x < 4; ++x) {
                u32 want = kOld;
                if (x < row.width && y < row.rows) {
                    const u8* s = &source[(y * row.width + x) * row.bytesPerPixel];
                    want = u32(row.bytesPerPixel == 4 ? s[3] : 0xFF) << 24 | u32(s[2]) << 16 | u32(s[1]) << 8 | s[0];
                }
                EXPECT_EQ(Texel(texture, x, y), want) << x << "," << y;
            }
    }
    const u8 rgb[6] = {};
    EXPECT_EQ(texture.SetPixels(2, 1, rgb, 2), 0);
    ASSERT_EQ(texture.Clear(), 1);
    for (u32 y = 0; y < 3; ++y)
        for (u32 x = 0; x < 4; ++x) EXPECT_EQ(Texel(texture, x, y), 0u) << x << "," << y;
    // Neither the discarding lock nor the plain one.
    fake_->FailCall("Texture.LockRect", 1, render::Result::InvalidCall, 2);
    EXPECT_EQ(texture.SetPixels(2, 1, rgb, 3), 0);
    fake_->FailCall("Texture.LockRect", 1, render::Result::InvalidCall, 2);
    EXPECT_EQ(texture.Clear(), 0);
}

TEST_F(Textures, SaveToFileTruncatesTheRectToWholeTexels)
{
    CTexture texture;
    ASSERT_EQ(texture.Create(8, 4, 0, render::kFormatA8R8G8B8, render::kPoolManaged), 1);
    ASSERT_EQ(texture.FillColor(0xFF102030u), 1);
    CRect4 rect;
    rect.Set(1.9f, 4.99f, 0.5f, 2.2f);   // {1, 0, 4, 2}: 3 x 2
    const std::string path = folder_ / "part.bmp";
    ASSERT_EQ(texture.SaveToFile(path.c_str(), render::kImageFileBmp, &rect), 1);
    std::string bytes;
    ASSERT_TRUE(host::kernel::ReadWholeFile(path, bytes));
    ASSERT_EQ(bytes.size(), 54u + 2 * 12);   // 9 bytes a row, padded to 12
    const auto* p = reinterpret_cast<const u8*>(bytes.data());
    // 3 x 2; blue, green, red.
    EXPECT_EQ((std::vector<u8>{p[18], p[22], p[54], p[55], p[56]}), (std::vector<u8>{3, 2, 0x30, 0x20, 0x10}));

    const std::string other = folder_ / "other.png";
    EXPECT_EQ(texture.SaveToFile(other.c_str(), 3, nullptr), 0);
    EXPECT_FALSE(host::kernel::FileExists(other));
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
