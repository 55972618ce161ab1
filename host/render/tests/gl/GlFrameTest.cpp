// One frame drawn through the device interface on real OpenGL and on the
// fake, each saved as BMP by the screenshot path (render target data into
// system memory, then SaveSurfaceToFile). The fake only logs draws, so its
// BMP holds the clears and the copy: the GL one must match it there, and
// match the pixels the test computes for every sprite, within one step per
// channel away from the sprites' edges.
#include "GlTestSupport.h"

#include "host/kernel/Kernel.h"
#include "host/render/FakeRender.h"

#include <string>

namespace host::render::testing {
namespace ORV_TEST_FILE_ID {

namespace {

uint32_t Checker(uint32_t x, uint32_t y) {
    return 0xFF000000u | (x * 32u) << 16 | (y * 32u) << 8 | ((x + y) % 2 ? 0xC0u : 0x40u);
}

struct SpriteSpec {
    int32_t x0, y0, x1, y1;   // target pixels
    bool checker;             // else the solid texture
    uint32_t color;           // diffuse, modulated
};

const SpriteSpec kSprites[] = {
    {8, 56, 24, 72, false, 0xFFFFFFFF},   // solid, white diffuse
    {40, 60, 48, 68, true, 0xFFFFFFFF},   // checker 1:1
    {56, 56, 72, 72, true, 0xFFFFFFFF},   // checker 2:1
    {96, 60, 112, 76, true, 0xFF808080},  // checker, half diffuse
};

constexpr uint32_t kSolid = 0xFFFFC020;

// What a sprite's pixel must be: the texel under it, times the diffuse.
uint32_t Expected(const SpriteSpec& s, int32_t x, int32_t y) {
    const uint32_t scale = uint32_t(s.x1 - s.x0) / 8;
    const uint32_t texel = s.checker ? Checker(uint32_t(x - s.x0) / scale, uint32_t(y - s.y0) / scale) : kSolid;
    uint32_t out = 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t a = (texel >> shift) & 0xFF, b = (s.color >> shift) & 0xFF;
        out |= ((a * b + 127) / 255) << shift;
    }
    return out;
}

Ref<Texture> Managed(Device* device, uint32_t size, bool checker) {
    Ref<Texture> t;
    EXPECT_EQ(device->CreateTexture(size, size, 1, 0, kFormatA8R8G8B8, kPoolManaged, t.Put()), Result::Ok);
    LockedRect r;
    EXPECT_EQ(t->LockRect(0, r, nullptr, 0), Result::Ok);
    for (uint32_t y = 0; y < size; ++y)
        for (uint32_t x = 0; x < size; ++x)
            static_cast<uint32_t*>(r.bits)[y * uint32_t(r.pitch) / 4 + x] = checker ? Checker(x, y) : kSolid;
    EXPECT_EQ(t->UnlockRect(0), Result::Ok);
    return t;
}

// The frame, the same calls on either backend; then the screenshot.
void DrawFrame(Device* device, uint32_t width, uint32_t height, const std::string& path) {
    Ref<Surface> back;
    ASSERT_EQ(device->GetRenderTarget(0, back.Put()), Result::Ok);
    ASSERT_EQ(device->BeginScene(), Result::Ok);
    ASSERT_EQ(device->Clear(kClearTarget | kClearZBuffer, kBlue, 1.0f, 0), Result::Ok);
    ASSERT_EQ(device->SetViewport({0, 0, width / 2, height / 2, 0.0f, 1.0f}), Result::Ok);
    ASSERT_EQ(device->Clear(kClearTarget, kRed, 1.0f, 0), Result::Ok);
    ASSERT_EQ(device->SetViewport({0, 0, width, height, 0.0f, 1.0f}), Result::Ok);
    Ref<Texture> glow;
    ASSERT_EQ(device->CreateTexture(16, 16, 1, kUsageRenderTarget, kFormatA8R8G8B8, kPoolDefault, glow.Put()),
              Result::Ok);
    ASSERT_EQ(FillTexture(glow.Get(), kGreen), Result::Ok);
    Ref<Surface> glowSurface;
    ASSERT_EQ(glow->GetSurfaceLevel(0, glowSurface.Put()), Result::Ok);
    const Rect to{80, 8, 112, 40};
    ASSERT_EQ(device->StretchRect(glowSurface.Get(), nullptr, back.Get(), &to, kFilterPoint), Result::Ok);

    Ref<Texture> solid = Managed(device, 8, false), checker = Managed(device, 8, true);
    ASSERT_EQ(device->SetFVF(0x144), Result::Ok);
    for (const SpriteSpec& s : kSprites) {
        ASSERT_EQ(device->SetTexture(0, s.checker ? checker.Get() : solid.Get()), Result::Ok);
        const float x0 = float(s.x0), y0 = float(s.y0), x1 = float(s.x1), y1 = float(s.y1);
        const ScreenVertex v[4] = {{x0, y0, 0, 1, s.color, 0, 0}, {x1, y0, 0, 1, s.color, 1, 0},
                                   {x1, y1, 0, 1, s.color, 1, 1}, {x0, y1, 0, 1, s.color, 0, 1}};
        ASSERT_EQ(device->DrawPrimitiveUP(kPrimitiveTriangleFan, 2, v, sizeof(ScreenVertex)), Result::Ok);
    }
    ASSERT_EQ(device->SetTexture(0, nullptr), Result::Ok);
    ASSERT_EQ(device->EndScene(), Result::Ok);

    SurfaceDesc desc;
    ASSERT_EQ(back->GetDesc(desc), Result::Ok);
    Ref<Texture> shot;
    ASSERT_EQ(device->CreateTexture(width, height, 1, 0, desc.format, kPoolSystemMem, shot.Put()), Result::Ok);
    Ref<Surface> shotSurface;
    ASSERT_EQ(shot->GetSurfaceLevel(0, shotSurface.Put()), Result::Ok);
    ASSERT_EQ(device->GetRenderTargetData(back.Get(), shotSurface.Get()), Result::Ok);
    ASSERT_EQ(SaveSurfaceToFile(path, kImageFileBmp, shotSurface.Get(), nullptr), Result::Ok);
    ASSERT_EQ(device->Present(), Result::Ok);
}

// A 24-bit bottom-up BMP as ARGB rows, top first.
std::vector<uint32_t> ReadBmp(const std::string& path, uint32_t width, uint32_t height) {
    std::string file;
    EXPECT_TRUE(host::kernel::ReadWholeFile(path, file)) << path;
    const uint32_t row = (width * 3 + 3) & ~3u;
    EXPECT_EQ(file.size(), 54 + size_t(row) * height);
    if (file.size() != 54 + size_t(row) * height || file.compare(0, 2, "BM") != 0) return {};
    auto u32 = [&](size_t at) {
        return uint32_t(uint8_t(file[at])) | uint32_t(uint8_t(file[at + 1])) << 8 |
               uint32_t(uint8_t(file[at + 2])) << 16 | uint32_t(uint8_t(file[at + 3])) << 24;
    };
    EXPECT_EQ(u32(18), width);
    EXPECT_EQ(u32(22), height);
    std::vector<uint32_t> out(size_t(width) * height);
    for (uint32_t y = 0; y < height; ++y) {
        const size_t at = 54 + size_t(height - 1 - y) * row;
        for (uint32_t x = 0; x < width; ++x) {
            const auto* p = reinterpret_cast<const uint8_t*>(file.data() + at + x * 3);
            out[size_t(y) * width + x] = 0xFF000000u | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
        }
    }
    return out;
}

TEST_F(GlTest, AFrameSavedAsBmpMatchesTheFakeAndTheExpectedSprites) {
    const std::string dir = ::testing::TempDir();
    const std::string glPath = dir + "gl_frame.bmp", fakePath = dir + "fake_frame.bmp";
    DrawFrame(device.Get(), kWidth, kHeight, glPath);
    ASSERT_FALSE(HasFatalFailure());

    FakeRender& fake = InstallFakeRender();
    Ref<Api> fakeApi = fake.CreateApi();
    PresentParams p;
    p.window = window;
    p.backBufferWidth = kWidth;
    p.backBufferHeight = kHeight;
    Ref<Device> fakeDevice;
    ASSERT_EQ(fakeApi->CreateDevice(0, kDeviceHal, window, kCreateHardwareVertexProcessing, p, fakeDevice.Put()),
              Result::Ok);
    DrawFrame(fakeDevice.Get(), kWidth, kHeight, fakePath);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(fake.Count("DrawPrimitiveUP"), std::size(kSprites));

    const std::vector<uint32_t> glPixels = ReadBmp(glPath, kWidth, kHeight);
    const std::vector<uint32_t> fakePixels = ReadBmp(fakePath, kWidth, kHeight);
    ASSERT_EQ(glPixels.size(), size_t(kWidth) * kHeight);
    ASSERT_EQ(fakePixels.size(), glPixels.size());
    int compared = 0, spritePixels = 0;
    for (int32_t y = 0; y < int32_t(kHeight); ++y)
        for (int32_t x = 0; x < int32_t(kWidth); ++x) {
            const uint32_t got = glPixels[size_t(y) * kWidth + size_t(x)];
            const SpriteSpec* on = nullptr;
            bool edge = false;
            for (const SpriteSpec& s : kSprites) {
                if (x >= s.x0 - 1 && x <= s.x1 && y >= s.y0 - 1 && y <= s.y1) edge = true;
                if (x > s.x0 && x < s.x1 - 1 && y > s.y0 && y < s.y1 - 1) on = &s;
            }
            if (on) {
                ++spritePixels;
                ASSERT_TRUE(Near(got, Expected(*on, x, y))) << x << "," << y << ": " << Hex{got} << " not "
                                                            << Hex{Expected(*on, x, y)};
            } else if (!edge) {
                ++compared;
                const uint32_t want = fakePixels[size_t(y) * kWidth + size_t(x)];
                ASSERT_TRUE(Near(got, want)) << x << "," << y << ": " << Hex{got} << " not " << Hex{want};
            }
        }
    EXPECT_GT(compared, 9000);
    EXPECT_GT(spritePixels, 400);
    host::kernel::DeleteFile(glPath);
    host::kernel::DeleteFile(fakePath);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace host::render::testing
