// Sprites that change texture, blend mode and filtering as they go, drawn
// over each other in every mix of primitive, keep today's pixels exactly:
// the whole back buffer is hashed.
#include "host/render/tests/gl/GlTestSupport.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace host::render::testing {
namespace ORV_TEST_FILE_ID {

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


// Counts the device's batched draws: the GL entry point is swapped for one
// that counts, for as long as this lives.
class DrawArraysCounter {
public:
    DrawArraysCounter() : real_(std::exchange(epoxy_glDrawArrays, &Count)) { real = real_, calls = 0; }
    ~DrawArraysCounter() { epoxy_glDrawArrays = real_; }
    static inline PFNGLDRAWARRAYSPROC real = nullptr;
    static inline uint32_t calls = 0;

private:
    static void EPOXY_CALLSPEC Count(GLenum mode, GLint first, GLsizei count) {
        ++calls;
        real(mode, first, count);
    }
    PFNGLDRAWARRAYSPROC real_;
};

// A texture change joins the batch only after a run of fewer than four
// draws, and a run of four in a batch of two textures ends it; a third
// texture always does. Each letter is a sprite with that texture.
TEST_F(GlSpriteBatch, TextureRunsSplitBatchesAtTheirLimit) {
    struct Case {
        const char* draws;
        uint32_t batches;
    };
    const Case cases[] = {
        {"AAAB", 1},  {"AAAAB", 2},  {"AAAAAAA", 1}, {"ABBBB", 1}, {"ABBBBB", 2},
        {"ABABABAB", 1}, {"ABC", 2},
    };
    const uint32_t colors[3] = {kRed, kGreen, kBlue};
    std::vector<Ref<Texture>> textures;
    for (uint32_t c : colors) textures.push_back(MakeTexture(1, 1, [c](uint32_t, uint32_t) { return c; }));
    ASSERT_EQ(device->BeginScene(), Result::Ok);
    // Once drawn before counting, so the entry point is resolved.
    ASSERT_EQ(device->SetTexture(0, textures[0].Get()), Result::Ok);
    ASSERT_EQ(Sprite(0, 0, 1, 1), Result::Ok);
    Pixel(backBuffer.Get(), 0, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.draws);
        ASSERT_EQ(device->Clear(kClearTarget, kBlack, 1.0f, 0), Result::Ok);
        Pixel(backBuffer.Get(), 0, 0);
        const std::string draws = c.draws;
        {
            DrawArraysCounter counter;
            for (size_t i = 0; i < draws.size(); ++i) {
                ASSERT_EQ(device->SetTexture(0, textures[size_t(draws[i] - 'A')].Get()), Result::Ok);
                ASSERT_EQ(Sprite(float(8 * i), 0, float(8 * i + 8), 8), Result::Ok);
            }
            Pixel(backBuffer.Get(), 0, 0);
            EXPECT_EQ(DrawArraysCounter::calls, c.batches);
        }
        for (size_t i = 0; i < draws.size(); ++i)
            EXPECT_EQ(Hex{Pixel(backBuffer.Get(), int32_t(8 * i + 4), 4)}.v, colors[draws[i] - 'A']) << i;
    }
    ASSERT_EQ(device->EndScene(), Result::Ok);
}

// The stream buffer takes a batch's vertices and its texture words together:
// a batch whose vertices fit in what is left (or in the whole buffer) but
// whose vertices and words do not goes to fresh storage, and draws.
TEST_F(GlSpriteBatch, ABatchWhoseWordsOverrunTheStreamStillDraws) {
    constexpr uint32_t kStream = 4u << 20;
    constexpr uint32_t kSpriteBytes = 6 * sizeof(ScreenVertex), kSpriteWords = 6;   // as a list
    Ref<Texture> red = MakeTexture(1, 1, [](uint32_t, uint32_t) { return kRed; });
    Ref<Texture> green = MakeTexture(1, 1, [](uint32_t, uint32_t) { return kGreen; });
    ASSERT_EQ(device->BeginScene(), Result::Ok);
    // Sprites of two textures in turn (one batch, a word each vertex), one a pixel.
    auto sprites = [&](uint32_t n) {
        ASSERT_EQ(device->Clear(kClearTarget, kBlack, 1.0f, 0), Result::Ok);
        for (uint32_t i = 0; i < n; ++i) {
            ASSERT_EQ(device->SetTexture(0, i % 2 ? green.Get() : red.Get()), Result::Ok);
            const float x = float(i % kWidth), y = float(i / kWidth % kHeight);
            ASSERT_EQ(Sprite(x, y, x + 1, y + 1), Result::Ok);
        }
        const std::vector<uint32_t> pixels = Pixels(backBuffer.Get());
        size_t wrong = 0, first = 0;
        for (size_t j = pixels.size(); j-- > 0;) {
            const uint32_t want = j >= n ? kBlack : j % 2 ? kGreen : kRed;
            if (pixels[j] != want) ++wrong, first = j;
        }
        EXPECT_EQ(wrong, 0u) << "first at " << first << ": " << Hex{pixels[first]};
    };
    // A batch without words leaves the next one where its vertices fit
    // before the end and its words do not.
    constexpr uint32_t kSprites = 2000;
    constexpr uint32_t kFillerTriangles = (kStream - kSprites * kSpriteBytes - kSprites * kSpriteWords / 2) / 60;
    static_assert((kFillerTriangles * 60 + 27) / 28 * 28 + kSprites * kSpriteBytes <= kStream);
    static_assert((kFillerTriangles * 60 + 27) / 28 * 28 + kSprites * (kSpriteBytes + kSpriteWords) > kStream);
    {
        const std::vector<ColorVertex> filler(size_t(kFillerTriangles) * 3, ColorVertex{0, 0, 0, 1, kBlue});
        ASSERT_EQ(device->SetFVF(0x44), Result::Ok);
        ASSERT_EQ(device->DrawPrimitiveUP(kPrimitiveTriangleList, kFillerTriangles, filler.data(), sizeof(ColorVertex)),
                  Result::Ok);
        SCOPED_TRACE("after a batch without words");
        sprites(kSprites);
    }
    // One batch whose vertices fit the whole buffer and whose words do not.
    constexpr uint32_t kMany = kStream / kSpriteBytes;
    static_assert(kMany * (kSpriteBytes + kSpriteWords) > kStream && kMany * kSpriteBytes <= kStream);
    {
        SCOPED_TRACE("larger than the buffer with its words");
        sprites(kMany);
    }
    ASSERT_EQ(device->EndScene(), Result::Ok);
}

// Texture, filter and destination factor changes join the batch where they
// can: the pixels must be those of the same draws sent one at a time (a
// one-pixel read between draws sends each alone). Each case draws 160
// overlapping sprites of random colour and alpha over a cleared target.
TEST_F(GlSpriteBatch, DrawsJoinedInOneBatchLandAsTheyWouldOneByOne) {
    constexpr uint32_t kInvSrcColor = 4, kDestAlpha = 7, kInvDestAlpha = 8;
    struct Case {
        const char* name;
        bool blend;
        uint32_t src, op;
        std::vector<uint32_t> dests;   // taken at random
        uint32_t textures;             // of three; the last pick is none
        bool filters;                  // the magnifying filter changes too
        uint32_t target;               // format of the target drawn into
    };
    const Case cases[] = {
        {"alpha and add", true, kBlendSrcAlpha, kBlendOpAdd, {kBlendInvSrcAlpha, kBlendOne}, 2, false,
         kFormatA8R8G8B8},
        {"every factor that travels", true, kBlendSrcAlpha, kBlendOpAdd,
         {kBlendOne, kBlendZero, kBlendInvSrcAlpha, kInvSrcColor}, 3, true, kFormatA8R8G8B8},
        {"source one, reverse subtract", true, kBlendOne, kBlendOpRevSubtract,
         {kBlendOne, kBlendInvSrcAlpha, kBlendZero}, 2, false, kFormatA8R8G8B8},
        {"factors that cannot travel between", true, kBlendSrcAlpha, kBlendOpAdd,
         {kBlendInvSrcAlpha, kBlendDestColor, kBlendOne, kBlendInvDestColor}, 2, false, kFormatA8R8G8B8},
        {"three textures and none, filters", true, kBlendSrcAlpha, kBlendOpAdd, {kBlendInvSrcAlpha}, 4, true,
         kFormatA8R8G8B8},
        {"no blending", false, kBlendSrcAlpha, kBlendOpAdd, {kBlendOne, kBlendZero, kBlendDestColor}, 2, true,
         kFormatA8R8G8B8},
        {"destination alpha on X8 is a constant", true, kBlendSrcAlpha, kBlendOpAdd,
         {kDestAlpha, kInvDestAlpha, kBlendInvSrcAlpha}, 2, false, kFormatX8R8G8B8},
    };
    std::vector<Ref<Texture>> textures;
    for (uint32_t t = 0; t < 3; ++t)
        textures.push_back(MakeTexture(8, 8, [t](uint32_t x, uint32_t y) {
            const uint32_t alpha = (x * 37 + y * 11 + t * 90) & 0xFF;
            const uint32_t rgb = (0x5A3C96u * (t + 1)) ^ (x * 31u << 16 | y * 29u << 8 | (x + y) * 13u);
            return alpha << 24 | (rgb & 0xFFFFFF);
        }));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Ref<Texture> target = MakeTarget(kWidth, kHeight, c.target);
        ASSERT_TRUE(target);
        Ref<Surface> surface = Level0(target.Get());
        auto draw = [&](bool oneByOne) {
            uint32_t seed = 7;
            auto next = [&seed](uint32_t range) {
                seed = seed * 1664525u + 1013904223u;
                return (seed >> 8) % range;
            };
            EXPECT_EQ(device->BeginScene(), Result::Ok);
            EXPECT_EQ(device->SetRenderTarget(0, surface.Get()), Result::Ok);
            EXPECT_EQ(device->Clear(kClearTarget, 0x80406080, 1.0f, 0), Result::Ok);
            EXPECT_EQ(device->SetRenderState(kRsAlphaBlendEnable, c.blend), Result::Ok);
            EXPECT_EQ(device->SetRenderState(kRsSrcBlend, c.src), Result::Ok);
            EXPECT_EQ(device->SetRenderState(kRsBlendOp, c.op), Result::Ok);
            EXPECT_EQ(device->SetTextureStageState(0, kTssAlphaOp, kTopModulate), Result::Ok);
            EXPECT_EQ(device->SetSamplerState(0, kSampMagFilter, kFilterPoint), Result::Ok);
            for (int i = 0; i < 160; ++i) {
                const uint32_t pick = next(c.textures);
                EXPECT_EQ(device->SetTexture(0, pick < 3 ? textures[pick].Get() : nullptr), Result::Ok);
                EXPECT_EQ(device->SetRenderState(kRsDestBlend, c.dests[next(uint32_t(c.dests.size()))]), Result::Ok);
                if (c.filters) {
                    const uint32_t filter = next(2) ? kFilterLinear : kFilterPoint;
                    EXPECT_EQ(device->SetSamplerState(0, kSampMagFilter, filter), Result::Ok);
                }
                const float x = float(next(40)), y = float(next(30)), w = float(6 + next(24)), h = float(6 + next(18));
                const uint32_t color = next(0x1000000) | next(256) << 24;
                if (i % 9 == 4)
                    EXPECT_EQ(Fill(x, y, x + w, y + h, color), Result::Ok);   // a layout of its own
                else
                    EXPECT_EQ(Sprite(x, y, x + w, y + h, color), Result::Ok);
                if (oneByOne) Pixel(surface.Get(), 0, 0);
            }
            EXPECT_EQ(device->SetRenderTarget(0, backBuffer.Get()), Result::Ok);
            EXPECT_EQ(device->EndScene(), Result::Ok);
            return Pixels(surface.Get());
        };
        const std::vector<uint32_t> alone = draw(true), joined = draw(false);
        ASSERT_EQ(joined.size(), alone.size());
        size_t differ = 0, first = 0;
        for (size_t i = joined.size(); i-- > 0;)
            if (joined[i] != alone[i]) ++differ, first = i;
        EXPECT_EQ(differ, 0u) << "first at (" << first % kWidth << ", " << first / kWidth << "): " << Hex{joined[first]}
                              << " joined, " << Hex{alone[first]} << " alone";
        std::vector<uint32_t> distinct = alone;
        std::sort(distinct.begin(), distinct.end());
        EXPECT_GT(std::unique(distinct.begin(), distinct.end()) - distinct.begin(), 50);
    }
}

// A texture whose last reference goes while its draw waits in the batch
// still draws: the batch holds it.
TEST_F(GlSpriteBatch, ATextureReleasedWhileItsDrawWaitsStillDraws) {
    Ref<Texture> red = MakeTexture(1, 1, [](uint32_t, uint32_t) { return kRed; });
    Ref<Texture> green = MakeTexture(1, 1, [](uint32_t, uint32_t) { return kGreen; });
    ASSERT_EQ(device->BeginScene(), Result::Ok);
    ASSERT_EQ(device->Clear(kClearTarget, kBlack, 1.0f, 0), Result::Ok);
    ASSERT_EQ(device->SetTexture(0, red.Get()), Result::Ok);
    ASSERT_EQ(Sprite(0, 0, 8, 8), Result::Ok);
    ASSERT_EQ(device->SetTexture(0, green.Get()), Result::Ok);
    red.Reset();
    ASSERT_EQ(Sprite(8, 0, 16, 8), Result::Ok);
    ASSERT_EQ(device->SetTexture(0, nullptr), Result::Ok);
    green.Reset();
    ASSERT_EQ(device->EndScene(), Result::Ok);
    EXPECT_EQ(Hex{Pixel(backBuffer.Get(), 4, 4)}.v, kRed);
    EXPECT_EQ(Hex{Pixel(backBuffer.Get(), 12, 4)}.v, kGreen);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace host::render::testing
