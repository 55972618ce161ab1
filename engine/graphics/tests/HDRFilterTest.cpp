// The glow filter on the fake device: the blur's weights and offsets as the
// effect receives them, the rectangles, and the whole composition step by
// step: afterglow, blur passes, scene, glow and blur added.
#include "engine/graphics/tests/FilterTestSupport.h"

#include "engine/graphics/Shader.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

using filter_test::QuadVertex;
using filter_test::Rect;
namespace render = host::render;

using filter_test::kDepthFormat;
using filter_test::kTargetFormat;

class HdrFilters : public filter_test::FilterTest {
protected:
    void Make(CHDRFilter& filter, u32 size = 2048)
    {
        ASSERT_EQ(filter.Create(size, size, kTargetFormat, kDepthFormat), 1);
        NameTargets(filter);
        fake_->ClearLog();
    }

    render::FakeEffect& Effect(CHDRFilter& filter) const
    {
        return *render::FakeRender::AsFake(filter.GetShader()->GetEffect());
    }
};

void ExpectRect(const CRect4& r, f32 left, f32 top, f32 right, f32 bottom)
{
    EXPECT_EQ((std::vector<f32>{r.left, r.top, r.right, r.bottom}), (std::vector<f32>{left, top, right, bottom}));
}

TEST(GaussWeights, FollowTheCurveAndSumToOneOverBothSides)
{
    // The defaults' weights, to the six places they are quoted to.
    f32 w[8];
    GaussWeights(25.0f, w);
    const double quoted[8] = {0.156617, 0.133460, 0.096912, 0.059968, 0.031620, 0.014208, 0.005440, 0.001775};
    double sum = 0;
    for (int i = 0; i < 8; ++i) {
        EXPECT_NEAR(w[i], quoted[i], 1e-6) << i;
        sum += 2.0 * w[i];
    }
    EXPECT_NEAR(sum, 1.0, 1e-6);

    // No spread, or one too narrow for a float: all on the nearest pair
    // instead of a division by zero.
    for (f32 dispersion : {0.0f, 1e-6f, std::nanf("")}) {
        GaussWeights(dispersion, w);
        EXPECT_EQ((std::vector<f32>(w, w + 8)), (std::vector<f32>{0.5f, 0, 0, 0, 0, 0, 0, 0})) << dispersion;
    }
}

TEST_F(HdrFilters, TheBlurTakesItsOffsetsFromTheStepsAndTargetSizeAndItsWeightsFromTheDispersion)
{
    const struct {
        u32 width, height;
        bool set;   // else the defaults: steps of 2, dispersion 25
        u32 stepX, stepY;
        f32 dispersion;
        f32 right, bottom;   // of the work region
    } rows[] = {
        // 1024 x 768 back buffer: the work region is half the scene.
        {2048, 1024, false, 2, 2, 25.0f, 512, 384},
        // Small targets hold the work region inside them.
        {512, 256, true, 3, 1, 4.0f, 512, 256},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.width);
        CHDRFilter filter;
        ASSERT_EQ(filter.Create(row.width, row.height, kTargetFormat, kDepthFormat), 1);
        if (row.set) {
            filter.SetOffsetStep(row.stepX, row.stepY);
            filter.SetDispersion(row.dispersion);
            ASSERT_EQ(filter.SetupGauss(), 1);
        }
        // Offsets of a step, two steps, ..., eight steps along x and along y.
        std::vector<f32> x(32, 0.0f), y(32, 0.0f);
        for (int i = 0; i < 8; ++i) {
            x[i * 4] = f32(i + 1) / f32(row.width) * f32(row.stepX);
            y[i * 4 + 1] = f32(i + 1) / f32(row.height) * f32(row.stepY);
        }
        EXPECT_EQ(Effect(filter).Value("OffsetX"), x);
        EXPECT_EQ(Effect(filter).Value("OffsetY"), y);
        f32 weights[8];
        GaussWeights(row.dispersion, weights);
        EXPECT_EQ(Effect(filter).Value("Weight"), std::vector<f32>(weights, weights + 8));
        ExpectRect(filter.GetScreenRect2(), 0, 0, row.right, row.bottom);
    }
}

TEST_F(HdrFilters, CopiesTakeTheSettingsButNotTheRectangles)
{
    CHDRFilter filter;
    Make(filter, 64);
    filter.SetPassCount(5);
    filter.SetBlurColor(0x40FFFFFFu);
    CFilter* copy = filter.Clone();
    auto* hdr = dynamic_cast<CHDRFilter*>(copy);
    ASSERT_NE(hdr, nullptr);
    EXPECT_EQ(std::make_pair(hdr->GetPassCount(), hdr->GetBlurColor()), std::make_pair(5u, 0x40FFFFFFu));
    ExpectRect(hdr->GetScreenRect2(), 0, 0, 0, 0);
    delete copy;
}

TEST_F(HdrFilters, BeginClearsTheSceneAndGlowTargetsOnly)
{
    CHDRFilter filter;
    Make(filter, 64);
    ASSERT_EQ(filter.Begin(0), 1);
    EXPECT_EQ(Pixel(filter.GetTarget(1), 1, 1), 0x00000000u);
    EXPECT_EQ(Pixel(filter.GetTarget(3), 1, 1), 0xFF000000u);   // last frame's blur stays
    EXPECT_EQ(Fake().CurrentRenderTarget(), Fake().BackBuffer());
}

TEST_F(HdrFilters, ApplyRunsAfterglowBlurPassesAndComposition)
{
    CHDRFilter filter;
    Make(filter);
    filter.SetPassCount(2);   // HDR level 1
    ASSERT_EQ(filter.Apply(0), 1);
    const std::vector<std::string> want = {
        // Last frame's blur fed into the glow source, point-sampled, added.
        "target T1", "sampler 6=1", "sampler 5=1", "dest blend 2", "texture T3", "fvf 144", "draw",
        "sampler 6=2", "sampler 5=2",
        // Two blur iterations: down-sampled from T1 first, then from T3.
        "fvf 104", "dest blend 6", "texture none", "begin GaussFilter",
        "target T2", "clear 1 00000000", "g_Texture=T1", "pass 0", "draw",
        "target T3", "clear 1 00000000", "g_Texture=T2", "pass 1", "draw",
        "target T2", "clear 1 00000000", "g_Texture=T3", "pass 0", "draw",
        "target T3", "clear 1 00000000", "g_Texture=T2", "pass 1", "draw",
        "end", "target BB",
        // The scene, the glow source and the blur over the back buffer.
        "sampler 6=1", "sampler 5=1", "texture T0", "fvf 144", "draw",
        "dest blend 2", "texture T1", "draw",
        "sampler 6=2", "sampler 5=2", "texture T3", "draw"};
    EXPECT_EQ(Steps(), want);
    // No sampler is ever set to filter 0, which is no filter at all.
    EXPECT_EQ(fake_->Count(render::CallMatch("SetSamplerState").With("value", 0)), 0u);
    EXPECT_EQ(Fake().SamplerState(0, render::kSampMinFilter), render::kFilterLinear);
}

TEST_F(HdrFilters, ApplyDrawsItsQuadsOverTheRectangles)
{
    CHDRFilter filter;
    Make(filter);
    filter.SetPassCount(1);
    ASSERT_EQ(filter.Apply(0), 1);
    // Each draw's corners: x, y, u, v of the top-left, then of the bottom-right.
    const auto sprites = DrawnQuads<SpriteVertex>();
    const auto blur = DrawnQuads<QuadVertex>();
    const auto span = [](const auto& q) {
        return std::vector<f32>{q[0].x, q[0].y, q[0].u, q[0].v, q[2].x, q[2].y, q[2].u, q[2].v};
    };
    std::vector<std::vector<f32>> drawn;
    for (size_t i = 0; i < sprites.size(); ++i) drawn.push_back(i == 1 || i == 2 ? span(blur[i]) : span(sprites[i]));
    const std::vector<std::vector<f32>> want = {
        {0, 0, 0, 0, 1024, 768, 0.25f, 0.1875f},   // afterglow: T3's work region over the screen
        {0, 0, 0, 0, 512, 384, 0.5f, 0.375f},      // down-sampled: T1's scene region into the work region
        {0, 0, 0, 0, 512, 384, 0.25f, 0.1875f},    // the y pass: work region to work region
        {0, 0, 0, 0, 1024, 768, 0.5f, 0.375f},     // the scene,
        {0, 0, 0, 0, 1024, 768, 0.5f, 0.375f},     // the glow
        {0, 0, 0, 0, 1024, 768, 0.25f, 0.1875f},   // and the blur
    };
    EXPECT_EQ(drawn, want);
    std::vector<u32> colours;
    for (size_t i : {0, 3, 4, 5}) colours.push_back(sprites[i][0].colour);
    EXPECT_EQ(colours, (std::vector<u32>{0x30FFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0x80FFFFFFu}));
}

TEST_F(HdrFilters, WithoutAfterglowTheGlowSourceIsOnlyReadAndSplitScreenRectsAreUsed)
{
    CHDRFilter filter;
    Make(filter);
    filter.SetAfterglow(0);
    filter.SetPassCount(1);
    filter.SetGlowAlpha(0x40);
    // The left half of a split screen.
    const CRect4 cell = Rect(0, 0, 512, 768), quarter = Rect(0, 0, 256, 384), size = Rect(0, 0, 512, 768);
    filter.SetScreenRect1(&cell);
    filter.SetScreenRect2(&quarter);
    filter.SetScreenRect3(&size);
    ASSERT_EQ(filter.Apply(0), 1);
    const std::vector<std::string> steps = Steps();
    ASSERT_GE(steps.size(), 2u);
    EXPECT_EQ(steps[0], "fvf 104");
    EXPECT_EQ(std::count(steps.begin(), steps.end(), "target T1"), 0);
    const auto sprites = DrawnQuads<SpriteVertex>();
    const auto quads = DrawnQuads<QuadVertex>();
    ASSERT_EQ(quads.size(), 5u);
    EXPECT_EQ(quads[0][2].x, 256.0f);
    EXPECT_EQ(quads[0][2].u, 0.25f);    // 512 of 2048
    EXPECT_EQ(sprites[3][2].x, 512.0f);
    EXPECT_EQ(sprites[3][0].colour, 0x40FFFFFFu);
}

TEST_F(HdrFilters, ApplyFailsWithoutTargetsShaderOrACompositionDraw)
{
    CHDRFilter plain;
    ASSERT_EQ(plain.CFilter::Create(64, 64, kTargetFormat, kDepthFormat, 4), 1);
    EXPECT_EQ(plain.Apply(0), 0);   // no shader

    // One pass: the afterglow (1), the blur's two quads (2, 3), the scene
    // (4), the glow (5) and the blur added (6). A failed afterglow or blur
    // costs only the glow: the scene, glow and blur are still drawn, and a
    // failed afterglow is reported. A composition draw that fails ends it.
    const struct {
        const char* op;
        u32 nth;
        i32 result;
        size_t draws;
    } rows[] = {
        {"DrawPrimitiveUP", 1, 0, 6}, {"DrawPrimitiveUP", 2, 1, 6}, {"DrawPrimitiveUP", 3, 1, 6},
        {"Effect.Begin", 1, 1, 4},    {"DrawPrimitiveUP", 4, 0, 4}, {"DrawPrimitiveUP", 5, 0, 5},
        {"DrawPrimitiveUP", 6, 0, 6},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.op) + " " + std::to_string(row.nth));
        CHDRFilter filter;
        Make(filter, 64);
        filter.SetPassCount(1);
        fake_->FailCall(row.op, row.nth, render::Result::InvalidCall);
        EXPECT_EQ(filter.Apply(0), row.result);
        fake_->ClearFailures();
        EXPECT_EQ(fake_->Count(render::CallMatch("DrawPrimitiveUP")), row.draws);
        // The last draws made, over the back buffer: the scene, the glow and
        // the blur, up to the one that failed.
        const std::vector<std::string> steps = Steps();
        const auto target = std::find(steps.rbegin(), steps.rend(), "target BB");
        ASSERT_NE(target, steps.rend());
        const std::vector<std::string> after(target.base(), steps.end());
        std::vector<std::string> textures;
        for (const std::string& step : after)
            if (step.rfind("texture ", 0) == 0) textures.push_back(step);
        const std::vector<std::string> composed = {"texture T0", "texture T1", "texture T3"};
        const size_t reached = row.nth >= 4 && std::string(row.op) == "DrawPrimitiveUP" ? row.nth - 3 : 3;
        EXPECT_EQ(textures, std::vector<std::string>(composed.begin(), composed.begin() + reached));
        // Whatever failed, 2D drawing goes on where it was.
        EXPECT_EQ(Fake().CurrentRenderTarget(), Fake().BackBuffer());
        EXPECT_FALSE(render::FakeRender::AsFake(filter.GetShader()->GetEffect())->Begun());
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
