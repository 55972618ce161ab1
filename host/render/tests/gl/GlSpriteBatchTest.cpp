// Sprites that change texture, blend mode and filtering as they go, drawn
// over each other in every mix of primitive, keep today's pixels exactly:
// the whole back buffer is hashed.
#include "host/render/tests/gl/GlTestSupport.h"

#include <algorithm>

namespace host::render::testing {
namespace {

class GlSpriteBatch : public GlTest {};

TEST_F(GlSpriteBatch, MixedSpritesDrawTodaysPixels) {
    std::vector<Ref<Texture>> textures;
    for (uint32_t t = 0; t < 6; ++t) {
        const uint32_t size = t % 2 ? 8 : 4;
        textures.push_back(MakeTexture(size, size, [t, size](uint32_t x, uint32_t y) {
            const int dx = int(2 * x) - int(size), dy = int(2 * y) - int(size);
            const uint32_t alpha = uint32_t(std::min(255, 40 + 12 * (dx * dx + dy * dy)));
            return alpha << 24 | (0x2040F0u * (t + 1) & 0xFFFFFF) | (x * 29u + y * 7u) << 8;
        }));
    }
    ASSERT_EQ(device->BeginScene(), Result::Ok);
    ASSERT_EQ(device->Clear(kClearTarget, 0xFF102030, 1.0f, 0), Result::Ok);
    ASSERT_EQ(device->SetRenderState(kRsAlphaBlendEnable, 1), Result::Ok);
    ASSERT_EQ(device->SetTextureStageState(0, kTssAlphaOp, kTopModulate), Result::Ok);
    uint32_t seed = 99;
    auto next = [&seed](uint32_t range) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % range;
    };
    for (int i = 0; i < 300; ++i) {
        // Runs of one to three sprites a texture; every texture and none.
        if (next(3) == 0 || i == 0) {
            const uint32_t pick = next(7);
            ASSERT_EQ(device->SetTexture(0, pick < 6 ? textures[pick].Get() : nullptr), Result::Ok);
        }
        if (i % 2 == 0) {
            const bool add = (i / 2) % 3 == 1;
            SetBlend(kBlendSrcAlpha, add ? kBlendOne : kBlendInvSrcAlpha);
        }
        if (i % 50 == 25) {
            // A stretch where magnifying and minifying filter differently.
            ASSERT_EQ(device->SetSamplerState(0, kSampMagFilter, i % 100 == 25 ? kFilterLinear : kFilterPoint),
                      Result::Ok);
        }
        const float x = float(next(120)) - 4.0f, y = float(next(90)) - 4.0f;
        const float w = float(2 + next(20)), h = float(2 + next(20));
        const uint32_t color = 0xFF000000u | next(0x1000000) | (next(2) ? 0 : 0x80000000u);
        if (i % 7 == 3) {
            // The same quad as a list of two triangles.
            const ScreenVertex v[6] = {{x, y, 0, 1, color, 0, 0},         {x + w, y, 0, 1, color, 1, 0},
                                       {x + w, y + h, 0, 1, color, 1, 1}, {x, y, 0, 1, color, 0, 0},
                                       {x + w, y + h, 0, 1, color, 1, 1}, {x, y + h, 0, 1, color, 0, 1}};
            ASSERT_EQ(device->SetFVF(0x144), Result::Ok);
            ASSERT_EQ(device->DrawPrimitiveUP(kPrimitiveTriangleList, 2, v, sizeof(ScreenVertex)), Result::Ok);
        } else if (i % 11 == 5) {
            ASSERT_EQ(Fill(x, y, x + w, y + h, color), Result::Ok);
        } else {
            ASSERT_EQ(Sprite(x, y, x + w, y + h, color, 0.1f, 0.0f, 0.9f + float(next(3)), 1.0f), Result::Ok);
        }
    }
    ASSERT_EQ(device->EndScene(), Result::Ok);
    const std::vector<uint32_t> pixels = Pixels(backBuffer.Get());
    uint64_t hash = 1469598103934665603ull;
    size_t touched = 0;
    for (uint32_t p : pixels) {
        hash = (hash ^ p) * 1099511628211ull;
        touched += p != 0xFF102030u;
    }
    EXPECT_GT(touched, pixels.size() / 2);
    EXPECT_EQ(hash, 3491598659473287638ull);
}

}  // namespace
}  // namespace host::render::testing
