// The fake's CPU pixels: clears inside the viewport, fills, StretchRect,
// render-target readback and 24-bit BMP saving against hand-written bytes.
#include "host/render/tests/RenderTestSupport.h"

#include "host/kernel/Kernel.h"

#include <cstring>
#include <string>

namespace host::render::testing {
namespace ORV_TEST_FILE_ID {

namespace {

using Pixels = FakeRenderTest;

// One letter per pixel, row by row; '.' is opaque black (never written).
std::string Picture(Surface* s, const std::map<uint32_t, char>& legend) {
    SurfaceDesc d;
    s->GetDesc(d);
    std::string out;
    for (uint32_t y = 0; y < d.height; ++y) {
        for (uint32_t x = 0; x < d.width; ++x) {
            uint32_t p = FakeRender::ReadPixel(s, x, y);
            auto it = legend.find(p);
            out += it != legend.end() ? it->second : '?';
        }
        out += '\n';
    }
    return out;
}

// Colours a render target region by region through viewport clears.
void Paint(Device* device, Surface* target, const Viewport& v, uint32_t argb) {
    ASSERT_EQ(device->SetRenderTarget(0, target), Result::Ok);
    ASSERT_EQ(device->SetViewport(v), Result::Ok);
    ASSERT_EQ(device->Clear(kClearTarget, argb, 1.0f, 0), Result::Ok);
}

TEST_F(Pixels, ClearCoversTheViewportOnlyWhateverTheWriteMasks) {
    Ref<Device> device = MakeDevice(8, 4);
    FakeDevice& f = Fake(device.Get());
    ASSERT_EQ(device->SetRenderState(kRsColorWriteEnable, 0), Result::Ok);
    ASSERT_EQ(device->SetRenderState(kRsZWriteEnable, 0), Result::Ok);
    ASSERT_EQ(device->Clear(kClearTarget | kClearZBuffer | kClearStencil, 0xFF0000FF, 1.0f, 0), Result::Ok);
    ASSERT_EQ(device->SetViewport({2, 1, 3, 2, 0, 1}), Result::Ok);
    ASSERT_EQ(device->Clear(kClearTarget | kClearZBuffer, 0x00FF0000, 0.25f, 9), Result::Ok);
    ASSERT_EQ(device->Clear(kClearStencil, 0, 0.75f, 0x1FF), Result::Ok);
    // The back buffer is X8R8G8B8: alpha reads as opaque.
    EXPECT_EQ(Picture(f.BackBuffer(), {{0xFF0000FF, 'b'}, {0xFFFF0000, 'r'}}),
              "bbbbbbbb\n"
              "bbrrrbbb\n"
              "bbrrrbbb\n"
              "bbbbbbbb\n");
    Surface* depth = f.AutoDepthSurface();
    EXPECT_EQ(FakeRender::ReadDepth(depth, 2, 1), 0.25f);
    EXPECT_EQ(FakeRender::ReadDepth(depth, 4, 2), 0.25f);
    EXPECT_EQ(FakeRender::ReadDepth(depth, 5, 2), 1.0f);
    EXPECT_EQ(FakeRender::ReadDepth(depth, 2, 0), 1.0f);
    EXPECT_EQ(FakeRender::ReadStencil(depth, 3, 2), 0xFF) << "stencil keeps its 8 bits";
    EXPECT_EQ(FakeRender::ReadStencil(depth, 1, 1), 0);
    EXPECT_EQ(device->Clear(0, 0, 1.0f, 0), Result::InvalidCall);
    EXPECT_EQ(device->Clear(8, 0, 1.0f, 0), Result::InvalidCall);
    EXPECT_EQ(device->Clear(kClearZBuffer, 0, 1.5f, 0), Result::InvalidCall);
}

TEST_F(Pixels, ADepthSurfaceSmallerThanTheViewportIsClearedWhereItReaches) {
    Ref<Device> device = MakeDevice(8, 4);
    Ref<Surface> small;
    ASSERT_EQ(device->CreateDepthStencilSurface(4, 2, kFormatD24S8, 0, 0, true, small.Put()), Result::Ok);
    ASSERT_EQ(device->SetDepthStencilSurface(small.Get()), Result::Ok);
    ASSERT_EQ(device->Clear(kClearZBuffer, 0, 0.5f, 0), Result::Ok);
    EXPECT_EQ(FakeRender::ReadDepth(small.Get(), 3, 1), 0.5f);
}

TEST_F(Pixels, FillWritesEveryLevelInTheFormatsByteOrder) {
    Ref<Device> device = MakeDevice();
    Ref<Texture> chain;
    ASSERT_EQ(device->CreateTexture(4, 4, 3, 0, kFormatA8B8G8R8, kPoolManaged, chain.Put()), Result::Ok);
    ASSERT_EQ(FillTexture(chain.Get(), 0x80112233), Result::Ok);
    for (uint32_t level = 0; level < 3; ++level) {
        LockedRect lr;
        ASSERT_EQ(chain->LockRect(level, lr, nullptr, kLockReadOnly), Result::Ok);
        const auto* bytes = static_cast<const uint8_t*>(lr.bits);
        EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 4), (std::vector<uint8_t>{0x11, 0x22, 0x33, 0x80})) << level;
        ASSERT_EQ(chain->UnlockRect(level), Result::Ok);
    }
    Ref<Texture> argb = MakeTexture(device.Get(), 2, 2, 0, kPoolSystemMem, kFormatA8R8G8B8);
    ASSERT_EQ(FillTexture(argb.Get(), 0x80112233), Result::Ok);
    LockedRect lr;
    ASSERT_EQ(argb->LockRect(0, lr, nullptr, 0), Result::Ok);
    const auto* bytes = static_cast<const uint8_t*>(lr.bits);
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 4), (std::vector<uint8_t>{0x33, 0x22, 0x11, 0x80}));
    EXPECT_EQ(FillTexture(argb.Get(), 0), Result::InvalidCall) << "while locked";
    ASSERT_EQ(argb->UnlockRect(0), Result::Ok);

    Ref<Texture> x8 = MakeTexture(device.Get(), 2, 2, 0, kPoolManaged, kFormatX8R8G8B8);
    ASSERT_EQ(FillTexture(x8.Get(), 0x00123456), Result::Ok);
    EXPECT_EQ(FakeRender::ReadPixel(Level0(x8.Get()).Get(), 1, 1), 0xFF123456u);

    // A render target is cleared on the GPU; a plain default-pool texture
    // cannot be filled at all.
    Ref<Texture> rt = MakeTexture(device.Get(), 2, 2, kUsageRenderTarget, kPoolDefault);
    EXPECT_EQ(FillTexture(rt.Get(), 0xFF000000), Result::Ok);
    EXPECT_EQ(FakeRender::ReadPixel(Level0(rt.Get()).Get(), 0, 1), 0xFF000000u);
    Ref<Texture> plain = MakeTexture(device.Get(), 2, 2, 0, kPoolDefault);
    EXPECT_EQ(FillTexture(plain.Get(), 0xFF000000), Result::InvalidCall);
    EXPECT_EQ(FillTexture(nullptr, 0), Result::InvalidCall);
}

TEST_F(Pixels, StretchRectCopiesWithPointSampling) {
    Ref<Device> device = MakeDevice();
    Ref<Texture> srcTex = MakeTexture(device.Get(), 4, 2, kUsageRenderTarget, kPoolDefault);
    Ref<Texture> dstTex = MakeTexture(device.Get(), 8, 4, kUsageRenderTarget, kPoolDefault);
    Ref<Surface> src = Level0(srcTex.Get()), dst = Level0(dstTex.Get());
    Paint(device.Get(), src.Get(), {0, 0, 2, 1, 0, 1}, 0xFF0000AA);
    Paint(device.Get(), src.Get(), {2, 0, 2, 1, 0, 1}, 0xFF0000BB);
    Paint(device.Get(), src.Get(), {0, 1, 4, 1, 0, 1}, 0xFF0000CC);
    Paint(device.Get(), src.Get(), {3, 1, 1, 1, 0, 1}, 0xFF0000DD);
    const std::map<uint32_t, char> legend{{0, '.'}, {0xFF0000AA, 'a'}, {0xFF0000BB, 'b'}, {0xFF0000CC, 'c'}, {0xFF0000DD, 'd'}};
    ASSERT_EQ(Picture(src.Get(), legend), "aabb\ncccd\n");

    ASSERT_EQ(device->StretchRect(src.Get(), nullptr, dst.Get(), nullptr, kFilterPoint), Result::Ok);
    EXPECT_EQ(Picture(dst.Get(), legend),
              "aaaabbbb\n"
              "aaaabbbb\n"
              "ccccccdd\n"
              "ccccccdd\n");
    ASSERT_EQ(FillTexture(dstTex.Get(), 0), Result::Ok);
    Rect from{1, 0, 4, 2}, to{4, 1, 7, 3};
    ASSERT_EQ(device->StretchRect(src.Get(), &from, dst.Get(), &to, kFilterNone), Result::Ok);
    EXPECT_EQ(Picture(dst.Get(), legend),
              "........\n"
              "....abb.\n"
              "....ccd.\n"
              "........\n");
    // Shrinking takes the texel under each destination centre: (1, 1), (3, 1).
    Rect half{0, 0, 2, 1};
    ASSERT_EQ(device->StretchRect(src.Get(), nullptr, dst.Get(), &half, kFilterPoint), Result::Ok);
    EXPECT_EQ(FakeRender::ReadPixel(dst.Get(), 0, 0), 0xFF0000CCu);
    EXPECT_EQ(FakeRender::ReadPixel(dst.Get(), 1, 0), 0xFF0000DDu);
}

// Unscaled copies between regions, from the X8R8G8B8 back buffer (its alpha
// reads opaque whatever was cleared into it) into both byte orders.
TEST_F(Pixels, UnscaledStretchRectCopiesRegionsExactly) {
    Ref<Device> device = MakeDevice(6, 3);
    Surface* back = Fake(device.Get()).BackBuffer();
    Paint(device.Get(), back, {0, 0, 6, 3, 0, 1}, 0x00000011);
    Paint(device.Get(), back, {2, 1, 2, 1, 0, 1}, 0x800000EE);
    for (const uint32_t format : {kFormatA8R8G8B8, kFormatA8B8G8R8}) {
        for (const uint32_t filter : {kFilterPoint, kFilterLinear}) {
            SCOPED_TRACE(::testing::Message() << "format " << format << " filter " << filter);
            Ref<Texture> tex = MakeTexture(device.Get(), 4, 2, kUsageRenderTarget, kPoolDefault, format);
            Ref<Surface> target = Level0(tex.Get());
            ASSERT_EQ(FillTexture(tex.Get(), 0x12345678), Result::Ok);
            Rect from{1, 1, 4, 2}, to{1, 0, 4, 1};
            ASSERT_EQ(device->StretchRect(back, &from, target.Get(), &to, filter), Result::Ok);
            EXPECT_EQ(Picture(target.Get(), {{0x12345678, '-'}, {0xFF000011, 'a'}, {0xFF0000EE, 'e'}}),
                      "-aee\n"
                      "----\n");
        }
    }
}

// A surface cleared whole is kept as one colour until a part of it is read
// or changed: every later step must see the same pixels as if each had been
// written.
TEST_F(Pixels, AWholeClearReadsAsWrittenThroughCopiesLocksAndPartClears) {
    Ref<Device> device = MakeDevice(6, 3);
    Surface* back = Fake(device.Get()).BackBuffer();
    Paint(device.Get(), back, {0, 0, 6, 3, 0, 1}, 0x00102030);   // alpha reads opaque
    for (const uint32_t filter : {kFilterPoint, kFilterLinear}) {
        SCOPED_TRACE(::testing::Message() << "filter " << filter);
        Ref<Texture> tex = MakeTexture(device.Get(), 4, 2, kUsageRenderTarget, kPoolDefault, kFormatA8B8G8R8);
        ASSERT_EQ(FillTexture(tex.Get(), 0x80AABBCC), Result::Ok);
        Rect to{1, 0, 4, 1};   // scaled: 6 x 3 into 3 x 1
        ASSERT_EQ(device->StretchRect(back, nullptr, Level0(tex.Get()).Get(), &to, filter), Result::Ok);
        EXPECT_EQ(Picture(Level0(tex.Get()).Get(), {{0x80AABBCC, '-'}, {0xFF102030, 'c'}}),
                  "-ccc\n"
                  "----\n");
    }
    // The whole clear, then a part: the rest keeps the first colour.
    Paint(device.Get(), back, {4, 2, 2, 1, 0, 1}, 0xFF0000EE);
    EXPECT_EQ(Picture(back, {{0xFF102030, 'c'}, {0xFF0000EE, 'e'}}),
              "cccccc\n"
              "cccccc\n"
              "ccccee\n");
    // A filled texture locks with its bytes in the format's order.
    Ref<Texture> dynamic = MakeTexture(device.Get(), 2, 2, kUsageDynamic, kPoolDefault, kFormatA8B8G8R8);
    ASSERT_EQ(FillTexture(dynamic.Get(), 0x80112233), Result::Ok);
    LockedRect lr;
    ASSERT_EQ(dynamic->LockRect(0, lr, nullptr, 0), Result::Ok);
    const char* row = static_cast<const char*>(lr.bits) + lr.pitch;
    EXPECT_EQ(std::string(row, 8), std::string("\x11\x22\x33\x80\x11\x22\x33\x80", 8));
    ASSERT_EQ(dynamic->UnlockRect(0), Result::Ok);
}

// The same part capture each frame writes nothing new, but a pixel written
// from another target (or a part clear) in between is written over again.
TEST_F(Pixels, ARepeatedPartCaptureRestoresWhatWasWrittenBetween) {
    Ref<Device> device = MakeDevice(3, 2);
    Surface* back = Fake(device.Get()).BackBuffer();
    Paint(device.Get(), back, {0, 0, 3, 2, 0, 1}, 0xFF102030);
    Ref<Texture> tex = MakeTexture(device.Get(), 4, 2, kUsageRenderTarget, kPoolDefault, kFormatA8B8G8R8);
    Ref<Surface> target = Level0(tex.Get());
    ASSERT_EQ(FillTexture(tex.Get(), 0xFF000000), Result::Ok);
    const std::map<uint32_t, char> legend{{0xFF000000, '.'}, {0xFF102030, 'c'}, {0xFF0000EE, 'e'}};
    const Rect to{0, 0, 3, 2};
    const auto capture = [&] { return device->StretchRect(back, nullptr, target.Get(), &to, kFilterPoint); };
    ASSERT_EQ(capture(), Result::Ok);
    ASSERT_EQ(capture(), Result::Ok);
    EXPECT_EQ(Picture(target.Get(), legend), "ccc.\nccc.\n");
    // Two colours from another target, row for row over the first two pixels.
    Ref<Texture> other = MakeTexture(device.Get(), 2, 1, kUsageRenderTarget, kPoolDefault, kFormatA8B8G8R8);
    Ref<Surface> two = Level0(other.Get());
    ASSERT_EQ(FillTexture(other.Get(), 0xFF000000), Result::Ok);
    Paint(device.Get(), two.Get(), {0, 0, 1, 1, 0, 1}, 0xFF0000EE);
    const Rect first{0, 0, 2, 1};
    ASSERT_EQ(device->StretchRect(two.Get(), nullptr, target.Get(), &first, kFilterPoint), Result::Ok);
    EXPECT_EQ(Picture(target.Get(), legend), "e.c.\nccc.\n");
    ASSERT_EQ(capture(), Result::Ok);
    EXPECT_EQ(Picture(target.Get(), legend), "ccc.\nccc.\n");
    Paint(device.Get(), target.Get(), {1, 1, 1, 1, 0, 1}, 0xFF0000EE);
    EXPECT_EQ(Picture(target.Get(), legend), "ccc.\ncec.\n");
    ASSERT_EQ(capture(), Result::Ok);
    EXPECT_EQ(Picture(target.Get(), legend), "ccc.\nccc.\n");
}

TEST_F(Pixels, StretchRectBlendsNeighboursWithLinearFiltering) {
    Ref<Device> device = MakeDevice();
    Ref<Texture> srcTex = MakeTexture(device.Get(), 2, 1, kUsageRenderTarget, kPoolDefault);
    Ref<Texture> dstTex = MakeTexture(device.Get(), 4, 1, kUsageRenderTarget, kPoolDefault);
    Ref<Surface> src = Level0(srcTex.Get()), dst = Level0(dstTex.Get());
    Paint(device.Get(), src.Get(), {0, 0, 1, 1, 0, 1}, 0xFF000000);
    Paint(device.Get(), src.Get(), {1, 0, 1, 1, 0, 1}, 0xFFC8C8C8);
    ASSERT_EQ(device->StretchRect(src.Get(), nullptr, dst.Get(), nullptr, kFilterLinear), Result::Ok);
    // Centres at 0.25, 0.75, 1.25, 1.75 source texels: weights 0, 1/4, 3/4, 1.
    EXPECT_EQ(FakeRender::ReadPixel(dst.Get(), 0, 0), 0xFF000000u);
    EXPECT_EQ(FakeRender::ReadPixel(dst.Get(), 1, 0), 0xFF323232u);
    EXPECT_EQ(FakeRender::ReadPixel(dst.Get(), 2, 0), 0xFF969696u);
    EXPECT_EQ(FakeRender::ReadPixel(dst.Get(), 3, 0), 0xFFC8C8C8u);
}

TEST_F(Pixels, StretchRectStaysBetweenDefaultPoolSurfacesIntoARenderTarget) {
    Ref<Device> device = MakeDevice(8, 8);
    Surface* back = Fake(device.Get()).BackBuffer();
    Ref<Texture> rt = MakeTexture(device.Get(), 4, 4, kUsageRenderTarget, kPoolDefault);
    Ref<Texture> dynamic = MakeTexture(device.Get(), 4, 4, kUsageDynamic, kPoolDefault);
    Ref<Texture> managed = MakeTexture(device.Get(), 4, 4, 0, kPoolManaged);
    Ref<Surface> target = Level0(rt.Get());
    Rect inside{4, 4, 8, 8}, outside{6, 6, 10, 10}, empty{1, 1, 1, 3};
    EXPECT_EQ(device->StretchRect(back, &inside, target.Get(), nullptr, kFilterPoint), Result::Ok);
    EXPECT_EQ(device->StretchRect(back, &outside, target.Get(), nullptr, kFilterPoint), Result::InvalidCall);
    EXPECT_EQ(device->StretchRect(back, &empty, target.Get(), nullptr, kFilterPoint), Result::InvalidCall);
    EXPECT_EQ(device->StretchRect(back, nullptr, target.Get(), &outside, kFilterPoint), Result::InvalidCall);
    EXPECT_EQ(device->StretchRect(target.Get(), nullptr, target.Get(), nullptr, kFilterPoint), Result::InvalidCall);
    EXPECT_EQ(device->StretchRect(back, nullptr, Level0(dynamic.Get()).Get(), nullptr, kFilterPoint), Result::InvalidCall);
    EXPECT_EQ(device->StretchRect(Level0(managed.Get()).Get(), nullptr, target.Get(), nullptr, kFilterPoint),
              Result::InvalidCall);
    EXPECT_EQ(device->StretchRect(back, nullptr, target.Get(), nullptr, 3), Result::InvalidCall);
    EXPECT_EQ(device->StretchRect(back, nullptr, Fake(device.Get()).AutoDepthSurface(), nullptr, kFilterPoint),
              Result::InvalidCall);
}

TEST_F(Pixels, RenderTargetDataNeedsASystemMemorySurfaceOfTheSameSizeAndFormat) {
    Ref<Device> device = MakeDevice(8, 4);
    Surface* back = Fake(device.Get()).BackBuffer();
    ASSERT_EQ(device->Clear(kClearTarget, 0xFF336699, 1.0f, 0), Result::Ok);
    ASSERT_EQ(device->SetViewport({7, 3, 1, 1, 0, 1}), Result::Ok);
    ASSERT_EQ(device->Clear(kClearTarget, 0x00ABCDEF, 1.0f, 0), Result::Ok);

    const struct {
        const char* what;
        uint32_t w, h, format, pool;
        Result result;
    } cases[] = {
        {"system memory, same size and format", 8, 4, kFormatX8R8G8B8, kPoolSystemMem, Result::Ok},
        {"another size", 8, 8, kFormatX8R8G8B8, kPoolSystemMem, Result::InvalidCall},
        {"another format", 8, 4, kFormatA8R8G8B8, kPoolSystemMem, Result::InvalidCall},
        {"managed", 8, 4, kFormatX8R8G8B8, kPoolManaged, Result::InvalidCall},
    };
    for (const auto& c : cases) {
        Ref<Texture> t = MakeTexture(device.Get(), c.w, c.h, 0, c.pool, c.format);
        Ref<Surface> s = Level0(t.Get());
        EXPECT_EQ(device->GetRenderTargetData(back, s.Get()), c.result) << c.what;
        if (c.result == Result::Ok) {
            EXPECT_EQ(FakeRender::ReadPixel(s.Get(), 0, 0), 0xFF336699u);
            EXPECT_EQ(FakeRender::ReadPixel(s.Get(), 7, 3), 0xFFABCDEFu);
        }
    }
    Ref<Texture> managed = MakeTexture(device.Get(), 8, 4, 0, kPoolManaged, kFormatX8R8G8B8);
    Ref<Texture> system = MakeTexture(device.Get(), 8, 4, 0, kPoolSystemMem, kFormatX8R8G8B8);
    EXPECT_EQ(device->GetRenderTargetData(Level0(managed.Get()).Get(), Level0(system.Get()).Get()), Result::InvalidCall)
        << "the source must be a render target";
}

// ---------------------------------------------------------------- BMP

class SavedBitmap : public FakeRenderTest {
protected:
    // A 3 x 2 system-memory surface written through a lock.
    Ref<Surface> Surface3x2(Device* device) {
        texture = MakeTexture(device, 3, 2, 0, kPoolSystemMem);
        LockedRect lr;
        EXPECT_EQ(texture->LockRect(0, lr, nullptr, 0), Result::Ok);
        const uint32_t rows[2][3] = {{0xFFFF0000, 0xFF00FF00, 0xFF0000FF}, {0xFF102030, 0x80405060, 0xFFFFFFFF}};
        for (int y = 0; y < 2; ++y) std::memcpy(static_cast<uint8_t*>(lr.bits) + y * lr.pitch, rows[y], 12);
        EXPECT_EQ(texture->UnlockRect(0), Result::Ok);
        return Level0(texture.Get());
    }

    std::string Path(const char* name) { return ::testing::TempDir() + name; }

    static std::string Header(uint32_t w, uint32_t h, uint32_t imageBytes) {
        auto u32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
        return std::string("BM") + u32(54 + imageBytes) + u32(0) + u32(54)   // file header
               + u32(40) + u32(w) + u32(h) + std::string("\x01\x00\x18\x00", 4)   // size, planes, 24 bits
               + u32(0) + u32(imageBytes) + u32(3780) + u32(3780)   // 96 dots per inch
               + u32(0) + u32(0);
    }

    Ref<Texture> texture;
};

TEST_F(SavedBitmap, IsTwentyFourBitsBottomUpWithRowsPaddedToFour) {
    Ref<Device> device = MakeDevice();
    Ref<Surface> s = Surface3x2(device.Get());
    std::string path = Path("render_whole.bmp");
    ASSERT_EQ(SaveSurfaceToFile(path, kImageFileBmp, s.Get(), nullptr), Result::Ok);
    std::string bytes;
    ASSERT_TRUE(host::kernel::ReadWholeFile(path, bytes));
    const std::string pixels =
        std::string("\x30\x20\x10" "\x60\x50\x40" "\xFF\xFF\xFF" "\x00\x00\x00", 12)    // bottom row first
        + std::string("\x00\x00\xFF" "\x00\xFF\x00" "\xFF\x00\x00" "\x00\x00\x00", 12);
    EXPECT_EQ(bytes, Header(3, 2, 24) + pixels);
    EXPECT_EQ(bytes.size(), 78u);
}

TEST_F(SavedBitmap, ARectSavesOnlyItsPixels) {
    Ref<Device> device = MakeDevice();
    Ref<Surface> s = Surface3x2(device.Get());
    std::string path = Path("render_part.bmp");
    Rect right{1, 0, 3, 2};
    ASSERT_EQ(SaveSurfaceToFile(path, kImageFileBmp, s.Get(), &right), Result::Ok);
    std::string bytes;
    ASSERT_TRUE(host::kernel::ReadWholeFile(path, bytes));
    const std::string pixels = std::string("\x60\x50\x40" "\xFF\xFF\xFF" "\x00\x00", 8)
                               + std::string("\x00\xFF\x00" "\xFF\x00\x00" "\x00\x00", 8);
    EXPECT_EQ(bytes, Header(2, 2, 16) + pixels);
}

TEST_F(SavedBitmap, RefusalsLeaveNoFile) {
    Ref<Device> device = MakeDevice();
    Ref<Surface> s = Surface3x2(device.Get());
    const std::string path = Path("render_refused.bmp");
    host::kernel::DeleteFile(path);
    Rect outside{0, 0, 4, 2}, empty{1, 1, 1, 2}, negative{-1, 0, 2, 2};
    EXPECT_EQ(SaveSurfaceToFile(path, kImageFileBmp, s.Get(), &outside), Result::InvalidCall);
    EXPECT_EQ(SaveSurfaceToFile(path, kImageFileBmp, s.Get(), &empty), Result::InvalidCall);
    EXPECT_EQ(SaveSurfaceToFile(path, kImageFileBmp, s.Get(), &negative), Result::InvalidCall);
    EXPECT_EQ(SaveSurfaceToFile(path, 1 /* jpg */, s.Get(), nullptr), Result::InvalidCall);
    EXPECT_EQ(SaveSurfaceToFile(path, kImageFileBmp, nullptr, nullptr), Result::InvalidCall);
    EXPECT_EQ(SaveSurfaceToFile(path, kImageFileBmp, Fake(device.Get()).AutoDepthSurface(), nullptr),
              Result::InvalidCall);
    fake->FailCall("Surface.ReadPixels", 1, Result::DeviceLost);
    EXPECT_EQ(SaveSurfaceToFile(path, kImageFileBmp, s.Get(), nullptr), Result::DeviceLost);
    EXPECT_FALSE(host::kernel::FileExists(path));
    EXPECT_EQ(SaveSurfaceToFile(Path("no/such/folder/x.bmp"), kImageFileBmp, s.Get(), nullptr), Result::NotAvailable);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace host::render::testing
