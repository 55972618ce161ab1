// What tests tell the fake: scripted device loss, the cooperative-level
// script, injected failures; and what they read back: the call log.
#include "host/render/tests/RenderTestSupport.h"

#include "host/kernel/Kernel.h"

#include <cstring>
#include <thread>

namespace host::render::testing {
namespace ORV_TEST_FILE_ID {

namespace {

using DeviceLoss = FakeRenderTest;
using InjectedFailures = FakeRenderTest;
using CallLog = FakeRenderTest;

TEST_F(DeviceLoss, LostTwiceThenNotResetUntilAResetSucceeds) {
    Ref<Device> device = MakeDevice();
    fake->SimulateLoss(2);
    PresentParams p = Params(64, 32);
    EXPECT_EQ(device->Present(), Result::DeviceLost);
    EXPECT_EQ(device->TestCooperativeLevel(), Result::DeviceLost);
    EXPECT_EQ(device->Reset(p), Result::DeviceLost) << "too early";
    EXPECT_EQ(device->TestCooperativeLevel(), Result::DeviceLost);
    EXPECT_EQ(device->TestCooperativeLevel(), Result::DeviceNotReset);
    EXPECT_EQ(device->Present(), Result::DeviceLost);
    EXPECT_EQ(device->TestCooperativeLevel(), Result::DeviceNotReset);
    ASSERT_EQ(device->Reset(p), Result::Ok);
    EXPECT_EQ(device->TestCooperativeLevel(), Result::Ok);
    EXPECT_EQ(device->Present(), Result::Ok);
}

TEST_F(DeviceLoss, AFailedResetLeavesTheDeviceWaitingForAnother) {
    Ref<Device> device = MakeDevice();
    fake->SimulateLoss(0);
    fake->FailCall("Reset", 1, Result::DeviceLost);
    PresentParams p = Params(64, 32);
    EXPECT_EQ(device->TestCooperativeLevel(), Result::DeviceNotReset);
    EXPECT_EQ(device->Reset(p), Result::DeviceLost);
    EXPECT_EQ(device->TestCooperativeLevel(), Result::DeviceNotReset);
    EXPECT_EQ(device->Reset(p), Result::Ok);
    EXPECT_EQ(device->TestCooperativeLevel(), Result::Ok);
}

TEST_F(DeviceLoss, TheCooperativeLevelScriptAnswersFirst) {
    Ref<Device> device = MakeDevice();
    fake->ScriptCooperativeLevel({Result::DeviceLost, Result::DeviceLost, Result::DeviceNotReset, Result::Ok});
    std::vector<Result> answers;
    for (int i = 0; i < 5; ++i) answers.push_back(device->TestCooperativeLevel());
    EXPECT_EQ(answers, (std::vector<Result>{Result::DeviceLost, Result::DeviceLost, Result::DeviceNotReset, Result::Ok,
                                            Result::Ok}));
}

TEST_F(InjectedFailures, TheNthCallFailsForAsManyTimesAsAsked) {
    Ref<Device> device = MakeDevice();
    fake->FailCall("CreateTexture", 2, Result::OutOfMemory, 2);
    std::vector<Result> results;
    for (int i = 0; i < 4; ++i) {
        Ref<Texture> t;
        results.push_back(device->CreateTexture(4, 4, 1, 0, kFormatA8R8G8B8, kPoolManaged, t.Put()));
        EXPECT_EQ(bool(t), results.back() == Result::Ok);
    }
    EXPECT_EQ(results, (std::vector<Result>{Result::Ok, Result::OutOfMemory, Result::OutOfMemory, Result::Ok}));
    EXPECT_EQ(fake->Count(CallMatch("CreateTexture").Returning(Result::OutOfMemory)), 2u);
    EXPECT_EQ(Fake(device.Get()).LiveResources(kPoolManaged), 0u);
}

TEST_F(InjectedFailures, AnyFallibleCallCanFailBeforeItDoesAnything) {
    Ref<Device> device = MakeDevice();
    FakeDevice& f = Fake(device.Get());
    Ref<Texture> t = MakeTexture(device.Get(), 4, 4, 0, kPoolManaged);
    const struct {
        const char* op;
        std::function<Result()> call;
        std::function<bool()> untouched;
    } cases[] = {
        {"SetRenderState", [&] { return device->SetRenderState(kRsLighting, 0); },
         [&] { return f.RenderState(kRsLighting) == 1; }},
        {"SetTexture", [&] { return device->SetTexture(0, t.Get()); }, [&] { return f.BoundTexture(0) == nullptr; }},
        {"SetViewport", [&] { return device->SetViewport({1, 1, 2, 2, 0, 1}); },
         [&] { return f.CurrentViewport().x == 0; }},
        {"Present", [&] { return device->Present(); }, [] { return true; }},
        {"BeginScene", [&] { return device->BeginScene(); }, [&] { return !f.InScene(); }},
        {"Clear", [&] { return device->Clear(kClearTarget, 0xFFFFFFFF, 1, 0); },
         [&] { return FakeRender::ReadPixel(f.BackBuffer(), 0, 0) == 0xFF000000; }},
        {"Texture.Fill", [&] { return FillTexture(t.Get(), 0xFFFFFFFF); },
         [&] { return FakeRender::ReadPixel(Level0(t.Get()).Get(), 0, 0) == 0; }},
        {"Texture.LockRect", [&] { LockedRect lr; return t->LockRect(0, lr, nullptr, 0); },
         [&] { LockedRect lr; bool ok = t->LockRect(0, lr, nullptr, 0) == Result::Ok; t->UnlockRect(0); return ok; }},
        {"TestCooperativeLevel", [&] { return device->TestCooperativeLevel(); }, [] { return true; }},
    };
    for (const auto& c : cases) {
        fake->FailCall(c.op, 1, Result::DeviceLost);
        EXPECT_EQ(c.call(), Result::DeviceLost) << c.op;
        EXPECT_TRUE(c.untouched()) << c.op;
        EXPECT_EQ(c.call(), Result::Ok) << c.op << " once only";
    }
}

TEST_F(InjectedFailures, ApiCallsAndCreationFail) {
    fake->FailCall("CreateApi", 1, Result::NotAvailable);
    EXPECT_FALSE(CreateApi());
    EXPECT_TRUE(CreateApi());
    fake->FailCall("GetAdapterDisplayMode", 1, Result::InvalidCall);
    DisplayMode mode;
    EXPECT_EQ(api->GetAdapterDisplayMode(0, mode), Result::InvalidCall);
    fake->FailCall("CreateDevice", 1, Result::OutOfMemory);
    PresentParams p = Params(64, 32);
    Ref<Device> device;
    EXPECT_EQ(api->CreateDevice(0, kDeviceHal, window, 0x44, p, device.Put()), Result::OutOfMemory);
    EXPECT_FALSE(device);
    fake->FailCall("GetDeviceCaps", 3, Result::InvalidCall);
    fake->FailCall("SetFVF", 1, Result::InvalidCall);
    fake->ClearFailures();
    fake->FailCall("GetDeviceCaps", 3, Result::InvalidCall);
    device = MakeDevice();
    EXPECT_EQ(device->SetFVF(0x44), Result::Ok) << "cleared";
    Caps caps;
    std::vector<Result> results;
    for (int i = 0; i < 4; ++i) results.push_back(device->GetDeviceCaps(caps));
    EXPECT_EQ(results, (std::vector<Result>{Result::Ok, Result::Ok, Result::InvalidCall, Result::Ok}));
    EXPECT_EQ(caps.maxTextureWidth, 8192u);
    EXPECT_EQ(caps.vertexShaderVersion, 0xFFFE0300u);
}

// ---------------------------------------------------------------- log

TEST_F(CallLog, RecordsArgumentsObjectsResultsAndData) {
    Ref<Device> device = MakeDevice();
    const uint64_t id = fake->IdOf(device.Get());
    ASSERT_NE(id, 0u);
    EXPECT_EQ(id, Fake(device.Get()).Id());
    fake->ClearLog();
    ASSERT_EQ(device->BeginScene(), Result::Ok);
    ASSERT_EQ(device->SetFVF(0x44), Result::Ok);
    const struct {
        float x, y, z, rhw;
        uint32_t color;
    } vertices[3] = {{1, 2, 0, 1, 0xFF102030}, {3, 4, 0, 1, 0}, {5, 6, 0.5f, 1, 0}};
    ASSERT_EQ(device->DrawPrimitiveUP(kPrimitiveTriangleList, 1, vertices, 20), Result::Ok);
    EXPECT_EQ(device->SetRenderState(kRsCullMode, 9), Result::InvalidCall);

    std::vector<Call> calls = fake->Calls();
    ASSERT_EQ(fake->Ops(), (std::vector<std::string>{"BeginScene", "SetFVF", "DrawPrimitiveUP", "SetRenderState"}));
    const Call& draw = calls[2];
    EXPECT_EQ(draw.object, id);
    EXPECT_EQ(draw.thread, std::this_thread::get_id());
    EXPECT_EQ(draw.U32("type"), kPrimitiveTriangleList);
    EXPECT_EQ(draw.U32("stride"), 20u);
    EXPECT_EQ(draw.U32("fvf"), 0x44u);
    ASSERT_EQ(draw.data.size(), 60u);
    EXPECT_EQ(draw.FloatAt(20), 3.0f);
    EXPECT_EQ(draw.FloatAt(48), 0.5f);
    EXPECT_EQ(draw.U32At(16), 0xFF102030u);
    EXPECT_EQ(draw.U32At(60), 0u) << "past the data";
    EXPECT_EQ(calls[3].result, Result::InvalidCall);
    EXPECT_EQ(calls[3].U32("value"), 9u);

    EXPECT_TRUE(fake->HasSequence({CallMatch("BeginScene"), CallMatch("DrawPrimitiveUP").With("count", 1)}));
    EXPECT_FALSE(fake->HasSequence({CallMatch("DrawPrimitiveUP"), CallMatch("SetFVF")}));
    EXPECT_FALSE(fake->HasSequence({CallMatch("DrawPrimitiveUP").With("count", 2)}));
    EXPECT_EQ(fake->Count(CallMatch("SetRenderState").On(id)), 1u);
    EXPECT_EQ(fake->Count(CallMatch("SetRenderState").On(id + 1000)), 0u);
    const size_t mark = fake->CallCount();
    ASSERT_EQ(device->EndScene(), Result::Ok);
    ASSERT_EQ(fake->CallsSince(mark).size(), 1u);
    EXPECT_EQ(fake->CallsSince(mark)[0].op, "EndScene");
}

TEST_F(CallLog, CreationFromAnotherThreadIsRecordedAsSuch) {
    Ref<Device> device = MakeDevice();
    fake->ClearLog();
    std::thread::id loader;
    std::thread thread([&] {
        loader = std::this_thread::get_id();
        for (int i = 0; i < 50; ++i) {
            Ref<Texture> t;
            EXPECT_EQ(device->CreateTexture(8, 8, 1, 0, kFormatA8R8G8B8, kPoolManaged, t.Put()), Result::Ok);
        }
    });
    for (int i = 0; i < 50; ++i) {
        Ref<VertexBuffer> b;
        EXPECT_EQ(device->CreateVertexBuffer(64, 0, 0x44, kPoolManaged, b.Put()), Result::Ok);
    }
    thread.join();
    std::vector<Call> textures = fake->Find(CallMatch("CreateTexture"));
    ASSERT_EQ(textures.size(), 50u);
    for (const Call& c : textures) EXPECT_EQ(c.thread, loader);
    EXPECT_EQ(Fake(device.Get()).LiveResources(kPoolManaged), 0u);
}

TEST_F(CallLog, MatricesAndMaterialsAreKeptAndLogged) {
    Ref<Device> device = MakeDevice();
    FakeDevice& f = Fake(device.Get());
    Matrix m = IdentityMatrix();
    m.m[3][0] = 10, m.m[3][1] = 20, m.m[3][2] = 30;
    ASSERT_EQ(device->SetTransform(TransformWorld(1), m), Result::Ok);
    EXPECT_EQ(f.Transform(TransformWorld(1)).m[3][1], 20.0f);
    EXPECT_EQ(f.Transform(TransformWorld(2)).m[3][1], 0.0f);
    Matrix back;
    ASSERT_EQ(device->GetTransform(TransformWorld(1), back), Result::Ok);
    EXPECT_EQ(std::memcmp(&back, &m, sizeof m), 0);
    Call set = fake->Find(CallMatch("SetTransform").With("transform", TransformWorld(1)))[0];
    EXPECT_EQ(set.Floats()[12], 10.0f);

    Material material;
    material.diffuse = {1, 0.5f, 0.25f, 1};
    material.power = 8;
    ASSERT_EQ(device->SetMaterial(material), Result::Ok);
    EXPECT_EQ(f.CurrentMaterial().diffuse.g, 0.5f);
    EXPECT_EQ(f.CurrentMaterial().power, 8.0f);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace host::render::testing
