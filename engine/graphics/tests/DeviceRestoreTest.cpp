// The lost-device protocol: sleeping while lost, the messages around the
// reset, retries, the default shader and the caches afterwards.
#include "engine/graphics/Shader.h"
#include "engine/graphics/tests/DeviceTestSupport.h"

#include <algorithm>

namespace device_test {
namespace ORV_TEST_FILE_ID {

namespace {

using DeviceRestore = DeviceTest;

// Index in the log of the first call of op at or after from; npos if none.
size_t IndexOf(const std::vector<render::Call>& calls, const std::string& op, size_t from = 0)
{
    for (size_t i = from; i < calls.size(); ++i)
        if (calls[i].op == op) return i;
    return std::string::npos;
}

TEST_F(DeviceRestore, LostTwiceThenResetOnTheThirdFrame)
{
    CreateDevice();
    fake_->SimulateLoss(2);
    const u32 start = host::kernel::TimeGetTime();

    // Two frames whose present finds the device lost: 500 ms asleep each,
    // no message, nothing released.
    for (int frame = 1; frame <= 2; ++frame) {
        ASSERT_EQ(device_.BeginScene(), 1);
        EXPECT_EQ(device_.EndScene(), 0);
        EXPECT_EQ(host::kernel::TimeGetTime() - start, 500u * frame);
        EXPECT_TRUE(received_.empty());
        EXPECT_NE(GetDefaultShader()->GetEffect(), nullptr);
    }

    // Then the device may be reset: the third frame brings it back.
    ASSERT_EQ(device_.BeginScene(), 1);
    EXPECT_EQ(device_.EndScene(), 1);
    EXPECT_EQ(host::kernel::TimeGetTime() - start, 1000u);
    EXPECT_EQ(Messages(), (std::vector<u32>{0x401, 0x402}));
}

TEST_F(DeviceRestore, MessagesBracketTheReset)
{
    CreateDevice();
    const uint64_t before = fake_->IdOf(GetDefaultShader()->GetEffect());
    // The application hears of the loss once the default shader gave up its effect.
    bool heldAtLoss = true;
    onMessage_ = [&](u32 message) { heldAtLoss &= message != kMessageDeviceLost || GetDefaultShader()->GetEffect(); };
    fake_->SimulateLoss(0);
    ASSERT_EQ(device_.Restore(), 1);

    const std::vector<render::Call> calls = fake_->Calls();
    ASSERT_EQ(Messages(), (std::vector<u32>{0x401, 0x402}));
    EXPECT_FALSE(heldAtLoss);
    const size_t lost = received_[0].callsBefore, reset = received_[1].callsBefore;
    // 0x401 once the device gave up its targets and bindings, before Reset;
    const size_t resetAt = IndexOf(calls, "Reset");
    ASSERT_NE(resetAt, std::string::npos);
    EXPECT_LE(lost, resetAt);
    EXPECT_EQ(IndexOf(calls, "SetTexture"), IndexOf(calls, "TestCooperativeLevel") + 1);
    // 0x402 once targets, default states and the default shader are back.
    const size_t targetAt = IndexOf(calls, "GetRenderTarget", resetAt);
    const size_t statesAt = IndexOf(calls, "SetTextureStageState", resetAt);
    const size_t effectAt = IndexOf(calls, "CreateEffect", resetAt);
    EXPECT_LT(targetAt, statesAt);
    EXPECT_LT(statesAt, effectAt);
    EXPECT_LT(effectAt, reset);
    for (size_t i = effectAt + 1; i < reset; ++i) EXPECT_EQ(calls[i].op.rfind("Effect.", 0), 0u) << calls[i].op;
    EXPECT_EQ(reset, calls.size());

    EXPECT_NE(fake_->IdOf(GetDefaultShader()->GetEffect()), before);
    EXPECT_NE(GetDefaultShader()->GetConstantHandle(kShaderWorldMatrixArray), 0u);
    EXPECT_EQ(device_.GetColorTarget(), Fake().BackBuffer());
}

TEST_F(DeviceRestore, AFailedResetIsRetriedAfterASecondAndOtherFailuresChangeNothing)
{
    CreateDevice();
    const struct {
        const char* op;
        u32 times;
        i32 result;
        u32 slept;
        std::vector<u32> messages;
    } rows[] = {
        {"TestCooperativeLevel", 1, 0, 0, {}},
        {"Reset", 1, 1, 1000, {0x401, 0x402}},
        {"Reset", 2, 0, 1000, {0x401}},   // no "reset" for a failed reset
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.times);
        received_.clear();
        if (row.slept) fake_->SimulateLoss(0);
        fake_->FailCall(row.op, 1, render::Result::InvalidCall, row.times);
        const u32 start = host::kernel::TimeGetTime();
        EXPECT_EQ(device_.Restore(), row.result);
        EXPECT_EQ(host::kernel::TimeGetTime() - start, row.slept);
        EXPECT_EQ(Messages(), row.messages);
    }
    // The next frame tries the whole protocol again.
    received_.clear();
    ASSERT_EQ(device_.BeginScene(), 1);
    EXPECT_EQ(device_.EndScene(), 1);
    EXPECT_EQ(Messages(), (std::vector<u32>{0x401, 0x402}));
    EXPECT_NE(GetDefaultShader()->GetEffect(), nullptr);
}

TEST_F(DeviceRestore, CachesAreReseededAfterTheReset)
{
    CreateDevice();
    device_.SetState2D();
    device_.SetColorWriteEnable(0);
    device_.SetBlendMode(4);
    fake_->SimulateLoss(0);
    ASSERT_EQ(device_.Restore(), 1);

    // The reset put z writes, lighting, culling and the colour mask back;
    // the caches must know, or the next 2D frame would skip them.
    fake_->ClearLog();
    device_.SetState2D();
    device_.SetColorWriteEnable(0);
    EXPECT_EQ(Fake().RenderState(render::kRsZWriteEnable), 0u);
    EXPECT_EQ(Fake().RenderState(render::kRsColorWriteEnable), 0u);
    EXPECT_EQ(device_.GetRenderStates()->blendMode, 1u);
    EXPECT_EQ(Fake().RenderState(render::kRsSrcBlend), render::kBlendSrcAlpha);
}

TEST_F(DeviceRestore, ResourcesTheApplicationDropsMayBeBoundAtTheLoss)
{
    CreateDevice();
    // A filter target and its texture in use when the device is lost.
    render::Ref<render::Texture> filter;
    ASSERT_EQ(device_.GetDevice()->CreateTexture(256, 256, 1, render::kUsageRenderTarget, device_.GetColorFormat(),
                                                 render::kPoolDefault, filter.Put()),
              render::Result::Ok);
    render::Ref<render::Surface> target;
    ASSERT_EQ(filter->GetSurfaceLevel(0, target.Put()), render::Result::Ok);
    render::Ref<render::Surface> depth;
    ASSERT_EQ(device_.GetDevice()->CreateDepthStencilSurface(256, 256, render::kFormatD24S8, 0, 0, false,
                                                             depth.Put()),
              render::Result::Ok);
    ASSERT_EQ(device_.SetColorTarget(target.Get()), 1);
    ASSERT_EQ(device_.SetDepthTarget(depth.Get()), 1);
    device_.SetTexture(filter.Get());
    onMessage_ = [&](u32 message) {
        if (message == kMessageDeviceLost) {
            target.Reset();
            depth.Reset();
            filter.Reset();
        }
    };
    fake_->SimulateLoss(0);
    EXPECT_EQ(device_.Restore(), 1);
    EXPECT_EQ(Fake().LiveResources(render::kPoolDefault), 0u);
    EXPECT_EQ(device_.GetDepthTarget(), Fake().AutoDepthSurface());
}

TEST_F(DeviceRestore, WithoutADefaultShaderNoEffectIsMade)
{
    render::Caps caps;
    caps.maxTextureWidth = caps.maxTextureHeight = 4096;
    caps.maxStreams = 1;
    fake_->SetCaps(caps);
    CreateDevice();
    ASSERT_EQ(GetDefaultShader(), nullptr);
    fake_->SimulateLoss(0);
    EXPECT_EQ(device_.Restore(), 1);
    EXPECT_EQ(fake_->Count("CreateEffect"), 0u);
    EXPECT_EQ(Messages(), (std::vector<u32>{0x401, 0x402}));
}

TEST_F(DeviceRestore, AFailedBeginSceneIsBegunOnceTheDeviceIsBack)
{
    CreateDevice();
    fake_->FailCall("BeginScene", 1, render::Result::DeviceLost);
    fake_->ScriptCooperativeLevel({render::Result::DeviceNotReset});
    EXPECT_EQ(device_.BeginScene(), 1);
    EXPECT_TRUE(Fake().InScene());
    EXPECT_EQ(device_.EndScene(), 1);
    // One reset, not a second one for an EndScene without a scene.
    EXPECT_EQ(Messages(), (std::vector<u32>{0x401, 0x402}));

    // Still lost: the frame is not begun and 0 says so.
    fake_->FailCall("BeginScene", 1, render::Result::DeviceLost);
    fake_->ScriptCooperativeLevel({render::Result::DeviceLost});
    EXPECT_EQ(device_.BeginScene(), 0);
    EXPECT_FALSE(Fake().InScene());
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace device_test
