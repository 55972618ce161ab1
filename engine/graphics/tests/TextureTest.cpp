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
}

TEST_F(Textures, NothingIsMadeWithoutADevice)
{
    const std::string png = MakePng("a.png", 8, 8);
    device_.Release();
    CTexture texture;
    EXPECT_EQ(texture.Create(16, 16, 0, render::kFormatA8R8G8B8, render::kPoolManaged), 0);
    EXPECT_EQ(texture.LoadFromFile(png.c_str()), 0);
}

TEST_F(Textures, LoadedImagesKeepTheirOwnSizeAndLoseTheirGreen)
{
    const std::string png = MakePng("halves.png", 300, 200);
    if (png.empty()) GTEST_SKIP() << "ImageMagick's convert is missing (scripts/install-deps.sh installs it)";
    CTexture texture;
    ASSERT_EQ(texture.LoadFromFile(png.c_str()), 1);
    EXPECT_EQ(std::make_pair(texture.GetWidth(), texture.GetHeight()), std::make_pair(300u, 200u));
    EXPECT_EQ(Texel(texture, 20, 20), kRed);
    EXPECT_EQ(Texel(texture, 480, 200), 0x00000000u);

    // UVs come from the file's size: the whole image is the whole texture.
    TexCoord a, b, c, d;
    const CRect4 half = [] { CRect4 r; r.Set(0, 150, 0, 100); return r; }();
    texture.RectToUv(&half, &a, &b, &c, &d, 0);
    EXPECT_EQ(std::make_pair(d.u, d.v), std::make_pair(0.5f, 0.5f));

    std::string bytes;
    ASSERT_TRUE(host::kernel::ReadWholeFile(png, bytes));
    CTexture fromMemory;
    ASSERT_EQ(fromMemory.LoadFromMemory(bytes.data(), "menu.png", u32(bytes.size())), 1);
    EXPECT_EQ(Texel(fromMemory, 480, 200), 0x00000000u);
    EXPECT_EQ(fromMemory.LoadFromMemory(bytes.data(), "menu.png", 0), 0);
}

TEST_F(Textures, ArchiveEntriesLoadUnderTheirEntryName)
{
    const std::string png = MakePng("icon.png", 8, 8);
    if (png.empty()) GTEST_SKIP() << "ImageMagick's convert is missing (scripts/install-deps.sh installs it)";
    const std::string archive = folder_ / "Data.gpk";
    const char* paths[] = {png.c_str()};
    ASSERT_EQ(CqelPackFile::Write(paths, 1, archive.c_str()), 1u);
    CqelPackFile pack;
    ASSERT_EQ(pack.Open(archive.c_str()), 1u);

    CTexture texture;
    ASSERT_EQ(texture.LoadFromPack(&pack, png.c_str()), 1);
    EXPECT_EQ(texture.GetName(), png);
    EXPECT_EQ(Texel(texture, 0, 0), kRed);
    EXPECT_EQ(texture.LoadFromPack(&pack, "missing.png"), 0);
}

TEST_F(Textures, DamagedImagesLeaveTheTextureEmpty)
{
    const std::string png = MakePng("good.png", 8, 8);
    if (png.empty()) GTEST_SKIP() << "ImageMagick's convert is missing (scripts/install-deps.sh installs it)";
    std::string bytes;
    ASSERT_TRUE(host::kernel::ReadWholeFile(png, bytes));
    const std::string cut = folder_ / "cut.png";
    ASSERT_TRUE(host::kernel::WriteFileAtomic(cut, bytes.data(), bytes.size() / 2));

    CTexture texture;
    for (const std::string& bad : {cut, folder_ / "missing.png"}) {
        ASSERT_EQ(texture.LoadFromFile(png.c_str()), 1);
        EXPECT_EQ(texture.LoadFromFile(bad.c_str()), 0) << bad;
        EXPECT_EQ(texture.GetTexture(), nullptr);
        EXPECT_EQ(Live(render::kPoolManaged), 0u);
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

TEST_F(Textures, TheLevelCanBecomeTheTarget)
{
    CTexture target;
    ASSERT_EQ(target.Create(64, 64, render::kUsageRenderTarget, render::kFormatA8R8G8B8, render::kPoolDefault), 1);
    render::Surface* level = target.GetSurface();
    ASSERT_NE(level, nullptr);
    ASSERT_EQ(target.SetAsRenderTarget(), 1);
    EXPECT_EQ(Fake().CurrentRenderTarget(), level);
    ASSERT_EQ(device_.RestoreColorTarget(), 1);
    EXPECT_EQ(CTexture().SetAsRenderTarget(), 0);
}

TEST_F(Textures, SetPixelsCopiesPackedRowsIntoTheLeftColumns)
{
    CTexture texture;
    ASSERT_EQ(texture.Create(4, 3, render::kUsageDynamic, render::kFormatA8R8G8B8, render::kPoolDefault), 1);
    constexpr u32 kOld = 0x11223344u;
    // Two rows of two pixels, blue green red in memory.
    const u8 rgb[] = {1, 2, 3, 4, 5, 6, /**/ 7, 8, 9, 10, 11, 12};
    const u8 rgba[] = {1, 2, 3, 0x40, 4, 5, 6, 0x80, /**/ 7, 8, 9, 0xC0, 10, 11, 12, 0xF0};
    const struct Case {
        const char* what;
        const u8* pixels;
        u32 bytesPerPixel;
        u32 want[2][2];
    } cases[] = {
        {"3 bytes: opaque", rgb, 3, {{0xFF030201u, 0xFF060504u}, {0xFF090807u, 0xFF0C0B0Au}}},
        {"4 bytes: alpha kept", rgba, 4, {{0x40030201u, 0x80060504u}, {0xC0090807u, 0xF00C0B0Au}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(texture.FillColor(kOld), 1);
        fake_->ClearLog();
        ASSERT_EQ(texture.SetPixels(2, 2, c.pixels, c.bytesPerPixel), 1);
        for (u32 y = 0; y < 2; ++y)
            for (u32 x = 0; x < 2; ++x) EXPECT_EQ(Texel(texture, x, y), c.want[y][x]) << x << "," << y;
        EXPECT_EQ(Texel(texture, 2, 0), kOld);   // past the source width
        EXPECT_EQ(Texel(texture, 0, 2), kOld);   // past the rows given
    }
    EXPECT_EQ(texture.SetPixels(2, 2, rgb, 2), 0);
}

TEST_F(Textures, SetPixelsStaysInsideTheTextureAndTheSourceRows)
{
    CTexture texture;
    ASSERT_EQ(texture.Create(4, 3, 0, render::kFormatA8R8G8B8, render::kPoolManaged), 1);
    // Six pixels a row, ten rows: the texture takes four columns and three
    // rows, each row starting six source pixels after the last.
    std::vector<u8> frame;
    for (u32 y = 0; y < 10; ++y)
        for (u32 x = 0; x < 6; ++x) frame.insert(frame.end(), {u8(x), u8(y), 0x50, 0xFF});
    fake_->ClearLog();
    ASSERT_EQ(texture.SetPixels(6, 10, frame.data(), 4), 1);
    EXPECT_EQ(Texel(texture, 3, 0), 0xFF500003u);
    EXPECT_EQ(Texel(texture, 0, 1), 0xFF500100u);
    EXPECT_EQ(Texel(texture, 2, 2), 0xFF500202u);
    fake_->FailCall("Texture.LockRect", 1, render::Result::InvalidCall, 2);
    EXPECT_EQ(texture.SetPixels(6, 10, frame.data(), 4), 0);
    fake_->FailCall("Texture.LockRect", 1, render::Result::InvalidCall, 2);
    EXPECT_EQ(texture.Clear(), 0);
}

TEST_F(Textures, ClearAndFillColourEveryTexel)
{
    CTexture texture;
    ASSERT_EQ(texture.Create(4, 4, 0, render::kFormatA8R8G8B8, render::kPoolManaged), 1);
    ASSERT_EQ(texture.FillColor(0xFF336699u), 1);
    EXPECT_EQ(Texel(texture, 3, 3), 0xFF336699u);
    ASSERT_EQ(texture.Clear(), 1);
    EXPECT_EQ(Texel(texture, 3, 3), 0u);
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
