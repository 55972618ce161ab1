// The render-state and binding caches, blend modes and presets.
#include "engine/graphics/tests/DeviceTestSupport.h"

#include <utility>

namespace device_test {
namespace ORV_TEST_FILE_ID {

namespace {

using RenderStates = DeviceTest;

// Every cached state equals what the device really holds.
void ExpectCachesMatchTheDevice(const CGraphicDevice& device, const render::FakeDevice& fake)
{
    const RenderStateCache& c = *device.GetRenderStates();
    EXPECT_EQ(c.ambient, fake.RenderState(render::kRsAmbient));
    EXPECT_EQ(c.cullMode, fake.RenderState(render::kRsCullMode));
    EXPECT_EQ(c.lighting, fake.RenderState(render::kRsLighting));
    EXPECT_EQ(c.fogEnable, fake.RenderState(render::kRsFogEnable));
    EXPECT_EQ(c.zEnable, fake.RenderState(render::kRsZEnable));
    EXPECT_EQ(c.zWriteEnable, fake.RenderState(render::kRsZWriteEnable));
    EXPECT_EQ(c.zFunc, fake.RenderState(render::kRsZFunc));
    EXPECT_EQ(c.colorWriteEnable, fake.RenderState(render::kRsColorWriteEnable));
}

TEST_F(RenderStates, DefaultStates)
{
    ASSERT_EQ(device_.Create(&system_), 1);
    // Alpha blended, alpha tested above 5, texture times diffuse, blend mode 1.
    const std::pair<u32, u32> states[] = {{27, 1}, {15, 1}, {24, 5}, {25, 5}, {19, 5}, {20, 6}, {171, 1}};
    for (auto [state, value] : states) EXPECT_EQ(Fake().RenderState(state), value) << state;
    EXPECT_EQ(fake_->Count(render::CallMatch("SetTextureStageState").With("type", 1).With("value", 4)), 1u);
    ExpectCachesMatchTheDevice(device_, Fake());
    EXPECT_EQ(device_.GetRenderStates()->blendMode, 1u);
}

TEST_F(RenderStates, CachesStartFromTheDevicesDefaults)
{
    CreateDevice();
    // The first mask-off must reach the device, though the cache was never
    // written: it started from the default table's 15, not from 0.
    device_.SetColorWriteEnable(0);
    EXPECT_EQ(CallsSince(0), (std::vector<std::string>{"SetRenderState state=168 value=0"}));
    EXPECT_EQ(Fake().RenderState(render::kRsColorWriteEnable), 0u);

    // Values the device already holds cost nothing.
    fake_->ClearLog();
    device_.SetColorWriteEnable(0);
    device_.SetZWriteEnable(1);
    device_.SetZFunc(render::kCmpLessEqual);
    EXPECT_EQ(fake_->CallCount(), 0u);

    device_.SetColorWriteEnable(15);
    device_.SetZFunc(render::kCmpAlways);
    device_.SetFogEnable(1);
    device_.SetAmbient(0xFF202020u);
    ExpectCachesMatchTheDevice(device_, Fake());
}

TEST_F(RenderStates, BlendModesSetTheirThreeStates)
{
    CreateDevice();
    struct Case {
        u32 mode, source, dest, op;
    };
    const Case cases[] = {
        {0, 2, 1, 1},  {1, 5, 6, 1}, {2, 5, 2, 1}, {3, 5, 2, 3},
        {4, 2, 2, 1},  {5, 9, 2, 1}, {6, 10, 1, 1}, {7, 10, 2, 1},
    };
    for (const Case& c : cases) {
        device_.SetBlendMode(9);   // away from any mode
        fake_->ClearLog();
        device_.SetBlendMode(c.mode);
        EXPECT_EQ(CallsSince(0), (std::vector<std::string>{
                                     "SetRenderState state=19 value=" + std::to_string(c.source),
                                     "SetRenderState state=20 value=" + std::to_string(c.dest),
                                     "SetRenderState state=171 value=" + std::to_string(c.op),
                                 }))
            << c.mode;
    }
}

TEST_F(RenderStates, UnknownBlendModeIsKeptButSetsNothing)
{
    CreateDevice();
    device_.SetBlendMode(9);
    EXPECT_EQ(fake_->CallCount(), 0u);
    // Mode 1's states were still on the device, but the cache said 9.
    device_.SetBlendMode(1);
    EXPECT_EQ(fake_->Count("SetRenderState"), 3u);
}

TEST_F(RenderStates, PresetsFor2DAnd3D)
{
    CreateDevice();
    device_.SetState2D();
    EXPECT_EQ(CallsSince(0), (std::vector<std::string>{
                                 "SetRenderState state=139 value=4294967295",
                                 "SetRenderState state=7 value=0",
                                 "SetRenderState state=14 value=0",
                                 "SetRenderState state=137 value=0",
                                 "SetRenderState state=22 value=1",   // fog was off already
                             }));
    fake_->ClearLog();
    device_.SetState3D();
    EXPECT_EQ(CallsSince(0), (std::vector<std::string>{
                                 "SetRenderState state=7 value=1",
                                 "SetRenderState state=14 value=1",
                                 "SetRenderState state=137 value=1",
                                 "SetRenderState state=22 value=3",
                             }));
    ExpectCachesMatchTheDevice(device_, Fake());
}

TEST_F(RenderStates, BindingCaches)
{
    CreateDevice();
    render::Device* d = device_.GetDevice();
    render::Ref<render::VertexBuffer> buffer;
    ASSERT_EQ(d->CreateVertexBuffer(28 * 4, 0, 0x144, render::kPoolManaged, buffer.Put()), render::Result::Ok);
    render::Ref<render::IndexBuffer> indices;
    ASSERT_EQ(d->CreateIndexBuffer(12, 0, render::kFormatIndex16, render::kPoolManaged, indices.Put()),
              render::Result::Ok);
    const render::VertexElement elements[] = {{0, render::kDeclFloat3, render::kUsagePosition, 0}};
    render::Ref<render::VertexDeclaration> declaration;
    ASSERT_EQ(d->CreateVertexDeclaration(elements, 1, declaration.Put()), render::Result::Ok);
    fake_->ClearLog();

    // An FVF replaces the declaration; setting the declaration again goes
    // through.
    fake_->ClearLog();
    device_.SetFVF(0x144);
    device_.SetVertexDeclaration(declaration.Get());
    device_.SetVertexDeclaration(declaration.Get());
    device_.SetFVF(0x144);
    device_.SetFVF(0x144);
    EXPECT_EQ(Fake().BoundFvf(), 0x144u);
    EXPECT_EQ(Fake().BoundDeclaration(), nullptr);

    // A draw from memory unbinds stream 0 and the indices on the device;
    // the cache forgets them too.
    const float quad[4 * 7] = {};
    ASSERT_EQ(device_.BeginScene(), 1);
    fake_->ClearLog();
    device_.SetStreamSource(buffer.Get(), 28);
    device_.SetIndices(indices.Get());
    EXPECT_EQ(device_.DrawPrimitiveUP(render::kPrimitiveTriangleFan, 2, quad, 28), 1);
    device_.SetStreamSource(buffer.Get(), 28);
    device_.SetIndices(indices.Get());
    EXPECT_EQ(Fake().StreamSource().buffer, buffer.Get());
    EXPECT_EQ(Fake().BoundIndices(), indices.Get());
    EXPECT_EQ(device_.EndScene(), 1);

    // Outside a scene the device refuses the draw.
    EXPECT_EQ(device_.DrawPrimitiveUP(render::kPrimitiveTriangleFan, 2, quad, 28), 0);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace device_test
