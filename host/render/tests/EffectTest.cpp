// Effects on the fake device: handles, the setters' conversions and clamps,
// the Begin/pass/End rules, pass states, and the carried effects' values.
#include "host/render/tests/RenderTestSupport.h"

#include "host/kernel/Kernel.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace host::render::testing {
namespace ORV_TEST_FILE_ID {

namespace {

const char kEffect[] =
    "shd 1\n"
    "param float    f = 0.5\n"
    "param int      i = 4\n"
    "param float2   v2\n"
    "param float3   v3 = 7 8 9\n"
    "param float4   v4\n"
    "param float    fa[8]\n"
    "param float4   va[3]\n"
    "param float4x4 m\n"
    "param float3x4 palette[75]\n"
    "param texture  t\n"
    "sampler s t\n"
    "technique First\n"
    "  pass p0 vertex=vs fragment=fs\n"
    "technique Second\n"
    "  pass p0 vertex=vs fragment=fs state ZWRITEENABLE 0 state CULLMODE 1\n"
    "  pass p1 vertex=vs fragment=fs state ZWRITEENABLE 1\n"
    "glsl vertex vs\nvoid vs() {}\n"
    "glsl fragment fs\nvoid fs() {}\n";

class Effects : public FakeRenderTest {
protected:
    void SetUp() override {
        FakeRenderTest::SetUp();
        device = MakeDevice();
        std::string errors;
        ASSERT_EQ(CreateEffectFromMemory(device.Get(), kEffect, sizeof kEffect - 1, 0, effect.Put(), &errors),
                  Result::Ok)
            << errors;
        fx = FakeRender::AsFake(effect.Get());
        ASSERT_NE(fx, nullptr);
    }

    EffectHandle P(const char* name) {
        EffectHandle h = effect->GetParameterByName(kNoHandle, name);
        EXPECT_NE(h, kNoHandle) << name;
        return h;
    }

    static Matrix Numbered() {
        Matrix m;
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) m.m[r][c] = float(10 * r + c);
        return m;
    }

    Ref<Device> device;
    Ref<Effect> effect;
    FakeEffect* fx = nullptr;
};

TEST_F(Effects, HandlesNameParametersAndTechniquesOnly) {
    EXPECT_EQ(effect->GetParameterByName(kNoHandle, "missing"), kNoHandle);
    EXPECT_EQ(effect->GetParameterByName(kNoHandle, "s"), kNoHandle) << "samplers are not parameters";
    EXPECT_EQ(effect->GetParameterByName(kNoHandle, nullptr), kNoHandle);
    EXPECT_EQ(effect->GetParameterByName(P("va"), "x"), kNoHandle) << "no members";
    EXPECT_EQ(effect->GetTechniqueByName("Third"), kNoHandle);
    EXPECT_EQ(effect->GetTechniqueByName("f"), kNoHandle);
    const EffectHandle second = effect->GetTechniqueByName("Second");
    ASSERT_NE(second, kNoHandle);

    const struct {
        const char* what;
        std::function<Result()> call;
    } wrong[] = {
        {"null handle", [&] { return effect->SetFloat(kNoHandle, 1); }},
        {"technique as a parameter", [&] { return effect->SetFloat(second, 1); }},
        {"parameter as a technique", [&] { return effect->SetTechnique(P("f")); }},
        {"null technique", [&] { return effect->SetTechnique(kNoHandle); }},
        {"a handle past the parameters", [&] { return effect->SetFloat(P("t") + 1, 1); }},
        {"a handle past the techniques", [&] { return effect->SetTechnique(second + 1); }},
        {"a vector into a matrix", [&] { return effect->SetVector(P("m"), {1, 2, 3, 4}); }},
        {"a matrix into a vector", [&] { return effect->SetMatrix(P("v4"), IdentityMatrix()); }},
        {"a float into a texture", [&] { return effect->SetFloat(P("t"), 1); }},
        {"bytes into a texture", [&] { return effect->SetValue(P("t"), "abcd", 4); }},
        {"a texture into a float", [&] { return effect->SetTexture(P("f"), nullptr); }},
        {"no data", [&] { return effect->SetValue(P("f"), nullptr, 4); }},
        {"no floats", [&] { return effect->SetFloatArray(P("fa"), nullptr, 2); }},
    };
    for (const auto& w : wrong) EXPECT_EQ(w.call(), Result::InvalidCall) << w.what;
    EXPECT_EQ(fx->Value("f"), (std::vector<float>{0.5f})) << "nothing changed";
    EXPECT_EQ(effect->SetFloatArray(P("fa"), nullptr, 0), Result::Ok);
}

TEST_F(Effects, SettersConvertToTheParameterType) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        const char* what;
        std::function<Result()> set;
        const char* param;
        std::vector<float> value;
    } cases[] = {
        {"a float", [&] { return effect->SetFloat(P("f"), 2.25f); }, "f", {2.25f}},
        {"a float on an int truncates", [&] { return effect->SetFloat(P("i"), 3.9f); }, "i", {3}},
        {"towards zero", [&] { return effect->SetFloat(P("i"), -2.7f); }, "i", {-2}},
        {"NaN as 0", [&] { return effect->SetFloat(P("i"), nan); }, "i", {0}},
        {"an int on a float", [&] { return effect->SetInt(P("f"), -3); }, "f", {-3}},
        {"a float on a vector sets x", [&] { return effect->SetFloat(P("v3"), 1); }, "v3", {1, 8, 9}},
        {"a vector on a float2 takes x and y", [&] { return effect->SetVector(P("v2"), {1, 2, 3, 4}); }, "v2", {1, 2}},
        {"on a float3, x y z", [&] { return effect->SetVector(P("v3"), {4, 5, 6, 7}); }, "v3", {4, 5, 6}},
        {"on an int, x truncated", [&] { return effect->SetVector(P("i"), {9.9f, 1, 1, 1}); }, "i", {9}},
        {"on an array, element 0", [&] { return effect->SetVector(P("va"), {1, 2, 3, 4}); }, "va",
         {1, 2, 3, 4, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"float array, flat", [&] { const float a[3] = {1, 2, 3}; return effect->SetFloatArray(P("fa"), a, 3); }, "fa",
         {1, 2, 3, 0, 0, 0, 0, 0}},
        {"float array, clamped", [&] {
             float a[10];
             for (int k = 0; k < 10; ++k) a[k] = float(k + 1);
             return effect->SetFloatArray(P("fa"), a, 10); }, "fa", {1, 2, 3, 4, 5, 6, 7, 8}},
        {"vector array, clamped", [&] {
             const Vector4 v[4] = {{1, 1, 1, 1}, {2, 2, 2, 2}, {3, 3, 3, 3}, {4, 4, 4, 4}};
             return effect->SetVectorArray(P("va"), v, 4); }, "va", {1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3}},
        {"value bytes, clamped to the size", [&] {
             const float bytes[3] = {5, 6, 7};
             return effect->SetValue(P("v2"), bytes, sizeof bytes); }, "v2", {5, 6}},
        {"value bytes, fewer than the size", [&] {
             const float bytes[1] = {5};
             return effect->SetValue(P("v3"), bytes, 4); }, "v3", {5, 8, 9}},
        {"a matrix, row by row", [&] { return effect->SetMatrix(P("m"), Numbered()); }, "m",
         {0, 1, 2, 3, 10, 11, 12, 13, 20, 21, 22, 23, 30, 31, 32, 33}},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(effect->SetFloatArray(P(c.param), std::vector<float>(64, 0).data(), 64), Result::Ok);
        if (std::string(c.param) == "v3") {
            ASSERT_EQ(effect->SetVector(P("v3"), {7, 8, 9, 0}), Result::Ok);
        }
        EXPECT_EQ(c.set(), Result::Ok) << c.what;
        EXPECT_EQ(fx->Value(c.param), c.value) << c.what;
    }
    ASSERT_EQ(effect->SetFloat(P("i"), 1e20f), Result::Ok);
    EXPECT_EQ(fx->IntValue("i"), (std::vector<int32_t>{std::numeric_limits<int32_t>::max()}));
    ASSERT_EQ(effect->SetFloat(P("i"), -1e20f), Result::Ok);
    EXPECT_EQ(fx->IntValue("i"), (std::vector<int32_t>{std::numeric_limits<int32_t>::min()}));
    const int32_t raw = 77;
    ASSERT_EQ(effect->SetValue(P("i"), &raw, 4), Result::Ok);
    EXPECT_EQ(fx->IntValue("i"), (std::vector<int32_t>{77}));
}

TEST_F(Effects, APaletteTakesColumnsZeroToTwoAndClampsToItsSize) {
    std::vector<Matrix> bones(76);
    for (size_t b = 0; b < bones.size(); ++b) {
        bones[b] = Numbered();
        bones[b].m[3][0] = float(b);   // translation x names the bone
    }
    EXPECT_EQ(effect->SetMatrixArray(P("palette"), bones.data(), 76), Result::Ok) << "76 bones into 75 succeed";
    std::vector<float> v = fx->Value("palette");
    ASSERT_EQ(v.size(), 75u * 12u);
    // Column k of the engine matrix (rows 0-3) is mat3x4 column k.
    const std::vector<float> first(v.begin(), v.begin() + 12);
    EXPECT_EQ(first, (std::vector<float>{0, 10, 20, 0, 1, 11, 21, 31, 2, 12, 22, 32}));
    EXPECT_EQ(v[74 * 12 + 3], 74.0f);
    ASSERT_EQ(effect->SetMatrix(P("palette"), IdentityMatrix()), Result::Ok);
    v = fx->Value("palette");
    EXPECT_EQ(std::vector<float>(v.begin(), v.begin() + 12), (std::vector<float>{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0}));
    EXPECT_EQ(effect->SetMatrixArray(P("palette"), bones.data(), 0), Result::Ok);

    Call logged = fake->Find(CallMatch("Effect.SetMatrixArray").WithText("name", "palette"))[0];
    EXPECT_EQ(logged.U32("count"), 76u);
    EXPECT_EQ(logged.data.size(), 76u * 64u);
    EXPECT_EQ(logged.result, Result::Ok);
}

TEST_F(Effects, BeginPassEndFollowTheirOrder) {
    uint32_t passes = 99;
    EXPECT_EQ(effect->BeginPass(0), Result::InvalidCall) << "before Begin";
    EXPECT_EQ(effect->End(), Result::InvalidCall);
    ASSERT_EQ(effect->Begin(&passes, 0), Result::Ok);
    EXPECT_EQ(passes, 1u) << "the first technique until one is set";
    EXPECT_EQ(fx->CurrentTechniqueName(), "First");
    EXPECT_EQ(effect->Begin(nullptr, 0), Result::InvalidCall) << "nested";
    EXPECT_EQ(effect->SetTechnique(effect->GetTechniqueByName("Second")), Result::InvalidCall) << "while begun";
    EXPECT_EQ(effect->BeginPass(1), Result::InvalidCall) << "no such pass";
    EXPECT_EQ(effect->EndPass(), Result::InvalidCall) << "no pass begun";
    ASSERT_EQ(effect->BeginPass(0), Result::Ok);
    EXPECT_EQ(fx->ActivePass(), 0);
    EXPECT_EQ(effect->BeginPass(0), Result::InvalidCall) << "a pass inside a pass";
    EXPECT_EQ(effect->End(), Result::InvalidCall) << "inside a pass";
    ASSERT_EQ(effect->EndPass(), Result::Ok);
    ASSERT_EQ(effect->End(), Result::Ok);
    EXPECT_FALSE(fx->Begun());

    ASSERT_EQ(effect->SetTechnique(effect->GetTechniqueByName("Second")), Result::Ok);
    ASSERT_EQ(effect->Begin(nullptr, 0), Result::Ok) << "without a pass count";
    EXPECT_EQ(effect->GetCurrentTechnique(), effect->GetTechniqueByName("Second"));
    ASSERT_EQ(effect->End(), Result::Ok);
    EXPECT_TRUE(fake->HasSequence({CallMatch("Effect.Begin").WithText("technique", "First").With("passes", 1),
                                   CallMatch("Effect.BeginPass").With("pass", 0), CallMatch("Effect.EndPass"),
                                   CallMatch("Effect.End"),
                                   CallMatch("Effect.Begin").WithText("technique", "Second").With("passes", 2)}));
}

TEST_F(Effects, PassStatesArePutBackAtEnd) {
    FakeDevice& f = Fake(device.Get());
    ASSERT_EQ(device->SetRenderState(kRsCullMode, kCullCw), Result::Ok);
    ASSERT_EQ(effect->SetTechnique(effect->GetTechniqueByName("Second")), Result::Ok);
    ASSERT_EQ(effect->Begin(nullptr, 0), Result::Ok);
    ASSERT_EQ(effect->BeginPass(0), Result::Ok);
    EXPECT_EQ(f.RenderState(kRsZWriteEnable), 0u);
    EXPECT_EQ(f.RenderState(kRsCullMode), kCullNone);
    ASSERT_EQ(effect->EndPass(), Result::Ok);
    ASSERT_EQ(effect->BeginPass(1), Result::Ok);
    EXPECT_EQ(f.RenderState(kRsZWriteEnable), 1u);
    ASSERT_EQ(effect->EndPass(), Result::Ok);
    ASSERT_EQ(device->SetRenderState(kRsZWriteEnable, 0), Result::Ok);
    ASSERT_EQ(effect->End(), Result::Ok);
    EXPECT_EQ(f.RenderState(kRsZWriteEnable), 1u) << "as before Begin";
    EXPECT_EQ(f.RenderState(kRsCullMode), kCullCw);
}

TEST_F(Effects, ATextureParameterHoldsItsTexture) {
    FakeDevice& f = Fake(device.Get());
    Ref<Texture> texture = MakeTexture(device.Get(), 4, 4, 0, kPoolManaged);
    ASSERT_EQ(effect->SetTexture(P("t"), texture.Get()), Result::Ok);
    EXPECT_EQ(fx->TextureValue("t"), texture.Get());
    texture.Reset();
    EXPECT_EQ(f.LiveResources(kPoolManaged), 1u);
    ASSERT_EQ(effect->SetTexture(P("t"), nullptr), Result::Ok);
    EXPECT_EQ(f.LiveResources(kPoolManaged), 0u);
    texture = MakeTexture(device.Get(), 4, 4, 0, kPoolManaged);
    ASSERT_EQ(effect->SetTexture(P("t"), texture.Get()), Result::Ok);
    texture.Reset();
    effect.Reset();
    EXPECT_EQ(f.LiveResources(kPoolManaged), 0u) << "released with the effect";
}

TEST_F(Effects, CreationReportsWhatWentWrong) {
    Ref<Effect> e;
    std::string errors;
    const char bad[] = "shd 1\nparam float f = x\n";
    EXPECT_EQ(CreateEffectFromMemory(device.Get(), bad, sizeof bad - 1, 0, e.Put(), &errors), Result::InvalidCall);
    EXPECT_FALSE(e);
    EXPECT_EQ(errors, "line 2: \"x\" is not a number");
    EXPECT_EQ(CreateEffectFromMemory(nullptr, kEffect, sizeof kEffect - 1, 0, e.Put(), nullptr), Result::InvalidCall);
    EXPECT_EQ(CreateEffectFromMemory(device.Get(), kEffect, 0, 0, e.Put(), nullptr), Result::InvalidCall);
    fake->FailCall("CreateEffect", 1, Result::OutOfMemory);
    errors.clear();
    EXPECT_EQ(CreateEffectFromMemory(device.Get(), kEffect, sizeof kEffect - 1, 0, e.Put(), &errors),
              Result::OutOfMemory);
    EXPECT_EQ(errors, "OutOfMemory");

    const std::string path = ::testing::TempDir() + "render_effect.shd";
    ASSERT_TRUE(host::kernel::WriteFileAtomic(path, kEffect, sizeof kEffect - 1));
    EXPECT_EQ(CreateEffectFromFile(device.Get(), path, 0, e.Put(), &errors), Result::Ok);
    EXPECT_TRUE(e);
    EXPECT_EQ(CreateEffectFromFile(device.Get(), path + ".missing", 0, e.Put(), &errors), Result::NotAvailable);
    EXPECT_FALSE(e);
    EXPECT_NE(errors.find("cannot read"), std::string::npos);
}

TEST_F(Effects, TheDefaultEffectStartsWithItsLight) {
    std::string_view text = BuiltinEffect("Default.shd");
    Ref<Effect> e;
    std::string errors;
    ASSERT_EQ(CreateEffectFromMemory(device.Get(), text.data(), text.size(), 0, e.Put(), &errors), Result::Ok) << errors;
    FakeEffect* d = FakeRender::AsFake(e.Get());
    EXPECT_EQ(d->IntValue("g_CurBones"), (std::vector<int32_t>{4}));
    EXPECT_EQ(d->Value("g_LightDir"), (std::vector<float>{0, -0.894f, 0.447f}));
    EXPECT_EQ(d->Value("g_LightDiffuse"), (std::vector<float>{0.6f, 0.6f, 0.6f, 1}));
    EXPECT_EQ(d->Value("g_WorldAmbient"), (std::vector<float>{0.8f, 0.8f, 0.8f, 1}));
    EXPECT_EQ(d->Value("g_WorldViewProjectionMatrix"),
              (std::vector<float>{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}));
    EXPECT_EQ(d->Value("g_WorldMatrixArray").size(), 900u);
    EXPECT_EQ(d->CurrentTechniqueName(), "SkinningVersion_20");
    for (const char* t : {"SkinningVersion_20", "SkinningNonTextureVersion_20", "Version_20", "NonTextureVersion_20"}) {
        ASSERT_EQ(e->SetTechnique(e->GetTechniqueByName(t)), Result::Ok) << t;
        uint32_t passes = 0;
        ASSERT_EQ(e->Begin(&passes, 0), Result::Ok);
        EXPECT_EQ(passes, 1u);
        EXPECT_EQ(e->BeginPass(0), Result::Ok);
        EXPECT_EQ(e->EndPass(), Result::Ok);
        EXPECT_EQ(e->End(), Result::Ok);
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace host::render::testing
