// The numbers every backend shares: vertex sizes, primitive vertex counts
// and the default state table.
#include "host/render/Render.h"

#include <gtest/gtest.h>

namespace host::render {
namespace ORV_TEST_FILE_ID {

namespace {

TEST(RenderNumbers, FvfStrides) {
    struct Case {
        uint32_t fvf, stride;
    };
    const Case cases[] = {
        {0x44, 20}, {0x104, 24}, {0x142, 24}, {0x144, 28}, {0x2, 12}, {0x112, 32},
        {0x0, 0},              // no position
        {0x6, 0},              // both position kinds
        {0x14, 0},             // pretransformed with a normal
        {0x42 | 0x200, 0},     // TEX2 is not supported
        {0x1 | 0x40, 0},       // an unknown bit
    };
    for (const Case& c : cases) EXPECT_EQ(FvfStride(c.fvf), c.stride) << std::hex << c.fvf;
}

TEST(RenderNumbers, VerticesPerPrimitiveCount) {
    EXPECT_EQ(VertexCount(kPrimitiveTriangleFan, 2), 4u);
    EXPECT_EQ(VertexCount(kPrimitiveTriangleFan, 24), 26u);
    EXPECT_EQ(VertexCount(kPrimitiveLineStrip, 4), 5u);
    EXPECT_EQ(VertexCount(kPrimitiveTriangleList, 5), 15u);
    EXPECT_EQ(VertexCount(kPrimitiveTriangleList, 0), 0u);
    EXPECT_EQ(VertexCount(5, 2), 0u);
}

TEST(RenderNumbers, DefaultStatesAreTheDeviceStartingPoint) {
    struct Case {
        uint32_t state, value;
    };
    const Case cases[] = {
        {kRsZEnable, 1}, {kRsZWriteEnable, 1}, {kRsZFunc, kCmpLessEqual}, {kRsCullMode, kCullCcw},
        {kRsLighting, 1}, {kRsFogEnable, 0}, {kRsAmbient, 0}, {kRsAlphaBlendEnable, 0},
        {kRsSrcBlend, kBlendOne}, {kRsDestBlend, kBlendZero}, {kRsBlendOp, kBlendOpAdd},
        {kRsAlphaTestEnable, 0}, {kRsAlphaFunc, kCmpAlways}, {kRsAlphaRef, 0},
        {kRsStencilEnable, 0}, {kRsStencilFunc, kCmpAlways}, {kRsStencilRef, 0},
        {kRsStencilMask, 0xFFFFFFFF}, {kRsStencilWriteMask, 0xFFFFFFFF}, {kRsStencilFail, 1},
        {kRsStencilZFail, 1}, {kRsStencilPass, 1}, {kRsColorWriteEnable, 15}, {kRsFogColor, 0},
        {kRsFogStart, 0}, {kRsFogEnd, 0x3F800000}, {kRsFogVertexMode, 0}, {kRsColorVertex, 1},
    };
    for (const Case& c : cases) EXPECT_EQ(DefaultRenderState(c.state), c.value) << c.state;

    const DefaultStates& d = GetDefaultStates();
    ASSERT_EQ(d.stageStateCount, 48u);
    auto stage = [&](uint32_t s, uint32_t t) {
        for (size_t i = 0; i < d.stageStateCount; ++i)
            if (d.stageStates[i].stage == s && d.stageStates[i].state == t) return d.stageStates[i].value;
        return 0xDEADu;
    };
    EXPECT_EQ(stage(0, kTssColorOp), kTopModulate);
    EXPECT_EQ(stage(0, kTssColorArg1), kTaTexture);
    EXPECT_EQ(stage(0, kTssColorArg2), kTaCurrent);
    EXPECT_EQ(stage(0, kTssAlphaOp), kTopSelectArg1);
    EXPECT_EQ(stage(0, kTssAlphaArg1), kTaTexture);
    for (uint32_t s = 1; s < 8; ++s) {
        EXPECT_EQ(stage(s, kTssColorOp), kTopDisable);
        EXPECT_EQ(stage(s, kTssAlphaOp), kTopDisable);
    }
    ASSERT_EQ(d.samplerStateCount, 16u);
    for (size_t i = 0; i < d.samplerStateCount; ++i) EXPECT_EQ(d.samplerStates[i].value, kFilterPoint);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace host::render
