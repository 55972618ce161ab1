// Effects on real OpenGL: the carried Default.shd (rigid and skinned
// meshes, fog) and GaussFilter.shd land on the pixels their parameters say.
#include "GlTestSupport.h"

#include <cmath>
#include <cstring>
#include <thread>

namespace host::render::testing {
namespace ORV_TEST_FILE_ID {

namespace {

// Positions in target pixels (x right, y down) to clip space, depth 0.5.
Matrix PixelMatrix(float width, float height) {
    Matrix m{};
    m.m[0][0] = 2.0f / width;
    m.m[1][1] = -2.0f / height;
    m.m[3][0] = -1.0f;
    m.m[3][1] = 1.0f;
    m.m[3][2] = 0.5f;
    m.m[3][3] = 1.0f;
    return m;
}

Matrix Translation(float x, float y) {
    Matrix m = IdentityMatrix();
    m.m[3][0] = x;
    m.m[3][1] = y;
    return m;
}

struct RigidVertex {
    float x, y, z;
    float nx, ny, nz;
};

struct SkinnedVertex {
    float x, y, z;
    float weights[4];
    uint8_t bones[4];
    float nx, ny, nz;
};
static_assert(sizeof(SkinnedVertex) == 44);

class GlEffect : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_EQ(device->BeginScene(), Result::Ok);
        ASSERT_EQ(device->Clear(kClearTarget | kClearZBuffer, kBlack, 1.0f, 0), Result::Ok);
    }

    Ref<Effect> Load(const char* name) {
        const std::string_view text = BuiltinEffect(name);
        Ref<Effect> e;
        std::string errors;
        EXPECT_EQ(CreateEffectFromMemory(device.Get(), text.data(), text.size(), 0, e.Put(), &errors), Result::Ok)
            << errors;
        return e;
    }

    EffectHandle Param(Effect* e, const char* name) {
        EffectHandle h = e->GetParameterByName(kNoHandle, name);
        EXPECT_NE(h, kNoHandle) << name;
        return h;
    }

    void Vector(Effect* e, const char* name, Vector4 v) { ASSERT_EQ(e->SetVector(Param(e, name), v), Result::Ok); }

    Ref<VertexDeclaration> Declare(std::initializer_list<VertexElement> elements) {
        Ref<VertexDeclaration> d;
        EXPECT_EQ(device->CreateVertexDeclaration(elements.begin(), uint32_t(elements.size()), d.Put()), Result::Ok);
        return d;
    }

    // Emissive red, no diffuse light: every drawn pixel is exactly red.
    void SolidRed(Effect* e) {
        Vector(e, "g_MaterialEmissive", {1, 0, 0, 1});
        Vector(e, "g_MaterialDiffuse", {0, 0, 0, 1});
    }

    // Runs one pass of the current technique around draw.
    template <class F>
    void Pass(Effect* e, uint32_t pass, F draw) {
        uint32_t passes = 0;
        ASSERT_EQ(e->Begin(&passes, 0), Result::Ok);
        ASSERT_LT(pass, passes);
        ASSERT_EQ(e->BeginPass(pass), Result::Ok);
        draw();
        ASSERT_EQ(e->EndPass(), Result::Ok);
        ASSERT_EQ(e->End(), Result::Ok);
    }

    // A technique of Default.shd for rigid meshes, placed in target pixels,
    // with the rigid vertex declaration set.
    void UseRigid(Effect* e, const char* technique) {
        ASSERT_EQ(e->SetTechnique(e->GetTechniqueByName(technique)), Result::Ok);
        ASSERT_EQ(e->SetMatrix(Param(e, "g_WorldViewProjectionMatrix"), PixelMatrix(kWidth, kHeight)), Result::Ok);
        rigid = Declare({{0, kDeclFloat3, kUsagePosition, 0}, {12, kDeclFloat3, kUsageNormal, 0}});
        ASSERT_EQ(device->SetVertexDeclaration(rigid.Get()), Result::Ok);
    }

    void RigidQuad(float x0, float y0, float x1, float y1) {
        const RigidVertex v[4] = {{x0, y0, 0, 0, 0, -1}, {x1, y0, 0, 0, 0, -1}, {x1, y1, 0, 0, 0, -1},
                                  {x0, y1, 0, 0, 0, -1}};
        ASSERT_EQ(device->DrawPrimitiveUP(kPrimitiveTriangleFan, 2, v, sizeof(RigidVertex)), Result::Ok);
    }

    uint32_t At(int32_t x, int32_t y) { return Pixel(backBuffer.Get(), x, y); }

    struct Expected {
        int32_t x, y;
        uint32_t colour;
    };
    void ExpectPixels(std::initializer_list<Expected> pixels) {
        for (const Expected& p : pixels) EXPECT_EQ(Hex{At(p.x, p.y)}.v, p.colour) << "at " << p.x << ", " << p.y;
    }

    Ref<VertexDeclaration> rigid;
};

TEST_F(GlEffect, DefaultDrawsARigidQuadWhereItsMatrixPutsIt) {
    Ref<Effect> e = Load("Default.shd");
    ASSERT_TRUE(e);
    UseRigid(e.Get(), "NonTextureVersion_20");
    SolidRed(e.Get());
    Pass(e.Get(), 0, [&] { RigidQuad(8, 16, 40, 24); });
    ASSERT_EQ(device->EndScene(), Result::Ok);
    ExpectPixels({{8, 16, kRed}, {39, 23, kRed}, {7, 16, kBlack}, {40, 23, kBlack}, {8, 15, kBlack}, {8, 24, kBlack}});
}

// The mesh path: vertices and indices from buffers, the stream at an
// offset, the indices from a base vertex.
TEST_F(GlEffect, DefaultDrawsAnIndexedMeshFromBuffers) {
    Ref<Effect> e = Load("Default.shd");
    ASSERT_TRUE(e);
    UseRigid(e.Get(), "NonTextureVersion_20");
    SolidRed(e.Get());
    Ref<VertexBuffer> vb;
    ASSERT_EQ(device->CreateVertexBuffer(9 * sizeof(RigidVertex), 0, 0, kPoolManaged, vb.Put()), Result::Ok);
    void* data = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &data, 0), Result::Ok);
    auto* v = static_cast<RigidVertex*>(data);
    v[0] = {999, 999, 0, 0, 0, -1};   // skipped by the stream offset
    for (int q = 0; q < 2; ++q) {
        const float x = q ? 64.0f : 8.0f;
        v[1 + q * 4 + 0] = {x, 8, 0, 0, 0, -1};
        v[1 + q * 4 + 1] = {x + 16, 8, 0, 0, 0, -1};
        v[1 + q * 4 + 2] = {x + 16, 24, 0, 0, 0, -1};
        v[1 + q * 4 + 3] = {x, 24, 0, 0, 0, -1};
    }
    ASSERT_EQ(vb->Unlock(), Result::Ok);
    Ref<IndexBuffer> ib;
    ASSERT_EQ(device->CreateIndexBuffer(12, 0, kFormatIndex16, kPoolManaged, ib.Put()), Result::Ok);
    ASSERT_EQ(ib->Lock(0, 0, &data, 0), Result::Ok);
    const uint16_t indices[6] = {0, 1, 2, 0, 2, 3};
    std::memcpy(data, indices, sizeof indices);
    ASSERT_EQ(ib->Unlock(), Result::Ok);
    ASSERT_EQ(device->SetStreamSource(0, vb.Get(), sizeof(RigidVertex), sizeof(RigidVertex)), Result::Ok);
    ASSERT_EQ(device->SetIndices(ib.Get()), Result::Ok);
    Pass(e.Get(), 0, [&] {
        ASSERT_EQ(device->DrawIndexedPrimitive(kPrimitiveTriangleList, 4, 0, 4, 0, 2), Result::Ok);
    });
    ASSERT_EQ(device->EndScene(), Result::Ok);
    ExpectPixels({{70, 16, kRed}, {12, 16, kBlack}});
}

// The palette holds world matrices; a vertex is the weighted sum of its
// position under each of its bones.
TEST_F(GlEffect, DefaultSkinsAQuadOverTwoBones) {
    Ref<Effect> e = Load("Default.shd");
    ASSERT_TRUE(e);
    ASSERT_EQ(e->SetTechnique(e->GetTechniqueByName("SkinningNonTextureVersion_20")), Result::Ok);
    SolidRed(e.Get());
    ASSERT_EQ(e->SetMatrix(Param(e.Get(), "g_ViewProj"), PixelMatrix(kWidth, kHeight)), Result::Ok);
    const Matrix bones[3] = {Translation(16, 0), Translation(0, 32), Translation(100, 100)};
    ASSERT_EQ(e->SetMatrixArray(Param(e.Get(), "g_WorldMatrixArray"), bones, 3), Result::Ok);
    ASSERT_EQ(e->SetInt(Param(e.Get(), "g_CurBones"), 2), Result::Ok);
    Ref<VertexDeclaration> decl = Declare({{0, kDeclFloat3, kUsagePosition, 0},
                                           {12, kDeclFloat4, kUsageBlendWeight, 0},
                                           {28, kDeclColor, kUsageBlendIndices, 0},
                                           {32, kDeclFloat3, kUsageNormal, 0}});
    ASSERT_EQ(device->SetVertexDeclaration(decl.Get()), Result::Ok);
    auto quad = [&](float x0, float y0, float x1, float y1, float w0, float w1) {
        const SkinnedVertex v[4] = {{x0, y0, 0, {w0, w1, 0, 0}, {0, 1, 2, 2}, 0, 0, -1},
                                    {x1, y0, 0, {w0, w1, 0, 0}, {0, 1, 2, 2}, 0, 0, -1},
                                    {x1, y1, 0, {w0, w1, 0, 0}, {0, 1, 2, 2}, 0, 0, -1},
                                    {x0, y1, 0, {w0, w1, 0, 0}, {0, 1, 2, 2}, 0, 0, -1}};
        ASSERT_EQ(device->DrawPrimitiveUP(kPrimitiveTriangleFan, 2, v, sizeof(SkinnedVertex)), Result::Ok);
    };
    Pass(e.Get(), 0, [&] {
        quad(0, 0, 16, 16, 0.5f, 0.5f);   // half of each bone: moved by (8, 16)
        quad(60, 0, 76, 16, 1.0f, 0.0f);  // bone 0 alone: moved by (16, 0)
    });
    ASSERT_EQ(device->EndScene(), Result::Ok);
    ExpectPixels({{8, 16, kRed}, {23, 31, kRed}, {7, 16, kBlack}, {24, 31, kBlack}, {8, 15, kBlack}});
    ExpectPixels({{76, 0, kRed}, {91, 15, kRed}, {75, 8, kBlack}, {92, 8, kBlack}});
}

// The effect computes the fog factor; the device mixes in its fog colour.
TEST_F(GlEffect, DefaultFogMovesAPixelToTheFogColour) {
    Ref<Effect> e = Load("Default.shd");
    ASSERT_TRUE(e);
    UseRigid(e.Get(), "NonTextureVersion_20");
    SolidRed(e.Get());
    ASSERT_EQ(device->SetRenderState(kRsFogColor, kGreen), Result::Ok);
    // Clip w is 1: fog ending at 0.5 covers it all, ending at 2 half of it.
    ASSERT_EQ(e->SetFloat(Param(e.Get(), "g_FogStart"), 0.0f), Result::Ok);
    ASSERT_EQ(e->SetFloat(Param(e.Get(), "g_FogEnd"), 0.5f), Result::Ok);
    Pass(e.Get(), 0, [&] { RigidQuad(0, 0, 16, 16); });   // fog off: red
    ASSERT_EQ(device->SetRenderState(kRsFogEnable, 1), Result::Ok);
    Pass(e.Get(), 0, [&] { RigidQuad(16, 0, 32, 16); });
    ASSERT_EQ(e->SetFloat(Param(e.Get(), "g_FogEnd"), 2.0f), Result::Ok);
    Pass(e.Get(), 0, [&] { RigidQuad(32, 0, 48, 16); });
    ASSERT_EQ(device->EndScene(), Result::Ok);
    ExpectPixels({{8, 8, kRed}, {24, 8, kGreen}});
    EXPECT_TRUE(Near(At(40, 8), 0xFF808000)) << Hex{At(40, 8)};
}

TEST_F(GlEffect, DefaultSamplesItsTextureAndAnUnboundTextureAsWhite) {
    Ref<Effect> e = Load("Default.shd");
    ASSERT_TRUE(e);
    UseRigid(e.Get(), "Version_20");
    Vector(e.Get(), "g_MaterialEmissive", {1, 1, 1, 1});
    Vector(e.Get(), "g_MaterialDiffuse", {0, 0, 0, 1});
    Pass(e.Get(), 0, [&] { RigidQuad(0, 0, 16, 16); });
    Ref<Texture> blue = MakeTexture(1, 1, [](uint32_t, uint32_t) { return kBlue; });
    ASSERT_EQ(e->SetTexture(Param(e.Get(), "g_Texture"), blue.Get()), Result::Ok);
    Pass(e.Get(), 0, [&] { RigidQuad(16, 0, 32, 16); });
    ASSERT_EQ(device->EndScene(), Result::Ok);
    ExpectPixels({{8, 8, 0xFFFFFFFF}, {24, 8, kBlue}});
}

// Sixteen taps, eight on each side: a lone dot spreads into the weights.
TEST_F(GlEffect, GaussFilterSpreadsADotByItsWeights) {
    constexpr uint32_t w = 32, h = 16;
    Ref<Texture> source = MakeTexture(w, h, [](uint32_t x, uint32_t y) { return x == 16 && y == 8 ? 0xFFFFFFFF : 0; });
    Ref<Texture> target = MakeTarget(w, h);
    Ref<Surface> surface = Level0(target.Get());
    Ref<Effect> e = Load("GaussFilter.shd");
    ASSERT_TRUE(e);
    float weights[8], sum = 0;
    for (int i = 0; i < 8; ++i) sum += 2 * (weights[i] = std::exp(-float((i + 1) * (i + 1)) / 18.0f));
    for (float& weight : weights) weight /= sum;
    Vector4 offsetX[8], offsetY[8];
    for (int i = 0; i < 8; ++i) {
        offsetX[i] = {float(i + 1) / w, 0, 0, 0};
        offsetY[i] = {0, float(i + 1) / h, 0, 0};
    }
    ASSERT_EQ(e->SetFloatArray(Param(e.Get(), "Weight"), weights, 8), Result::Ok);
    ASSERT_EQ(e->SetVectorArray(Param(e.Get(), "OffsetX"), offsetX, 8), Result::Ok);
    ASSERT_EQ(e->SetVectorArray(Param(e.Get(), "OffsetY"), offsetY, 8), Result::Ok);
    ASSERT_EQ(e->SetTexture(Param(e.Get(), "g_Texture"), source.Get()), Result::Ok);
    ASSERT_EQ(device->SetRenderTarget(0, surface.Get()), Result::Ok);
    ASSERT_EQ(device->SetFVF(0x104), Result::Ok);
    struct Vertex {
        float x, y, z, rhw, u, v;
    };
    const Vertex quad[4] = {{0, 0, 0, 1, 0, 0}, {w, 0, 0, 1, 1, 0}, {w, h, 0, 1, 1, 1}, {0, h, 0, 1, 0, 1}};
    for (uint32_t pass : {0u, 1u}) {
        ASSERT_EQ(device->Clear(kClearTarget, 0, 1.0f, 0), Result::Ok);
        Pass(e.Get(), pass, [&] {
            ASSERT_EQ(device->DrawPrimitiveUP(kPrimitiveTriangleFan, 2, quad, sizeof(Vertex)), Result::Ok);
        });
        const std::vector<uint32_t> pixels = Pixels(surface.Get());
        auto at = [&](int x, int y) { return pixels[size_t(y) * w + size_t(x)]; };
        for (int k = 1; k <= 7; ++k) {
            const int expected = int(std::lround(weights[k - 1] * 255.0f));
            const int ahead = pass == 0 ? Channel(at(16 + k, 8), 0) : Channel(at(16, 8 + k), 0);
            const int behind = pass == 0 ? Channel(at(16 - k, 8), 0) : Channel(at(16, 8 - k), 0);
            EXPECT_NEAR(ahead, expected, 1) << "pass " << pass << " tap " << k;
            EXPECT_NEAR(behind, expected, 1) << "pass " << pass << " tap " << k;
        }
        EXPECT_EQ(Channel(at(16, 8), 0), 0) << "no centre tap";
        EXPECT_EQ(Channel(pass == 0 ? at(16, 7) : at(15, 8), 0), 0) << "nothing across the pass";
    }
    ASSERT_EQ(device->EndScene(), Result::Ok);
}

TEST_F(GlEffect, AnEffectMadeOnALoaderThreadBuildsAtItsFirstBegin) {
    Ref<Effect> e;
    std::thread([&] {
        const std::string_view text = BuiltinEffect("Default.shd");
        ASSERT_EQ(CreateEffectFromMemory(device.Get(), text.data(), text.size(), 0, e.Put(), nullptr), Result::Ok);
    }).join();
    ASSERT_TRUE(e);
    UseRigid(e.Get(), "NonTextureVersion_20");
    SolidRed(e.Get());
    Pass(e.Get(), 0, [&] { RigidQuad(0, 0, 16, 16); });
    ASSERT_EQ(device->EndScene(), Result::Ok);
    EXPECT_EQ(Hex{At(8, 8)}.v, kRed);
}

TEST_F(GlEffect, GlslThatDoesNotCompileFailsTheEffect) {
    const char text[] = "shd 1\n"
                        "technique T\n"
                        "  pass p vertex=vs fragment=fs\n"
                        "glsl vertex vs\n"
                        "void vs() { gl_Position = in_Position * undeclared; }\n"
                        "glsl fragment fs\n"
                        "void fs() { host_Color = vec4(1.0); }\n";
    Ref<Effect> e;
    std::string errors;
    EXPECT_EQ(CreateEffectFromMemory(device.Get(), text, sizeof text - 1, 0, e.Put(), &errors), Result::InvalidCall);
    EXPECT_FALSE(e);
    EXPECT_FALSE(errors.empty());
    ASSERT_EQ(device->EndScene(), Result::Ok);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace host::render::testing
