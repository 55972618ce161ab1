// The .x converter: what a hand-written .x file becomes in the engine model
// file, read back with the model reader; a golden file laid out by hand;
// names, key reduction and tick scaling as tables; refused conversions that
// leave the output alone.
#include "engine/model/AnalysMesh.h"
#include "engine/model/AnimationController.h"
#include "engine/model/Mesh.h"
#include "engine/model/ModelBone.h"
#include "engine/model/ModelMaterial.h"
#include "engine/model/ModelObject.h"
#include "engine/model/XConvert.h"
#include "engine/model/tests/ModelBytes.h"
#include "engine/model/tests/XFileSamples.h"
#include "host/kernel/Kernel.h"
#include "host/kernel/tests/TempFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using model_test::Bytes;
using xfile_test::kHandModel;
using xfile_test::kTriangle;

namespace {

// Texture names from the tests never reach the file system.
CResourceBase* NamedTexture(const char* name, CqelPackFile*) { return new CResourceBase(name); }

class XConvertTest : public ::testing::Test {
protected:
    void SetUp() override { SetModelTextureFactory(&NamedTexture); }
    void TearDown() override { SetModelTextureFactory(nullptr); }

    // Converts text and reads the model file back; false when either fails.
    bool Convert(const std::string& text, CMesh& mesh, std::string* bytes = nullptr)
    {
        std::string out;
        if (!converter.ConvertMemory(text.data(), u32(text.size()), &out)) return false;
        if (bytes) *bytes = out;
        CAnalysMesh reader;
        return reader.LoadFromMemory(out.data(), u32(out.size())) && reader.ReadChunks(&mesh);
    }

    CqelXFileConverter converter;
};

std::string Header() { return "xof 0303txt 0032\n"; }

// A frame with one animation set of one track: keys of type 2.
std::string PositionTrack(const std::string& ticks, const std::vector<std::pair<u32, f32>>& keys)
{
    std::string text = Header() + ticks + "Frame Bone { }\nMesh { 0;; 0;; }\nAnimationSet { Animation { { Bone }\n"
                       "AnimationKey { 2; " + std::to_string(keys.size()) + ";\n";
    for (size_t i = 0; i < keys.size(); ++i) {
        char key[64];
        std::snprintf(key, sizeof key, "%u;3;%.9g,0,0;;%c\n", keys[i].first, double(keys[i].second),
            i + 1 < keys.size() ? ',' : ';');
        text += key;
    }
    return text + "} } }\n";
}

const CModelBoneAnimation* FirstTrack(const CMesh& mesh)
{
    const CModelAnimation* animation = mesh.GetAnimation(0);
    if (!animation || animation->Tracks.GetCount() == 0) return nullptr;
    return static_cast<const CModelBoneAnimation*>(animation->Tracks.GetAt(0));
}

void ExpectVector(const CVector3& v, f32 x, f32 y, f32 z, const char* what)
{
    EXPECT_FLOAT_EQ(v.x, x) << what;
    EXPECT_FLOAT_EQ(v.y, y) << what;
    EXPECT_FLOAT_EQ(v.z, z) << what;
}

void ExpectColour(const CVector4& c, f32 r, f32 g, f32 b, f32 a, const char* what)
{
    EXPECT_FLOAT_EQ(c.x, r) << what;
    EXPECT_FLOAT_EQ(c.y, g) << what;
    EXPECT_FLOAT_EQ(c.z, b) << what;
    EXPECT_FLOAT_EQ(c.w, a) << what;
}

}  // namespace

// Names are indexed once: ten thousand frames, each skinned and animated,
// convert, load, copy and play without a scan per name (which took seconds
// under the sanitizers).
TEST_F(XConvertTest, TenThousandFramesConvertLoadCopyAndPlay)
{
    constexpr u32 kFrames = 10000;
    const char* identity = "1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;;";
    std::string x = Header() + "Frame Body {\nMesh Skin { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n";
    for (u32 i = 0; i < kFrames; ++i) {
        x += "SkinWeights { \"B" + std::to_string(i) + "\"; 1; 0; 0.5; " + identity + " }\n";
    }
    x += "}\n";
    for (u32 i = 0; i < kFrames; ++i) {
        x += "Frame B" + std::to_string(i) + " { FrameTransformMatrix { 1,0,0,0,0,1,0,0,0,0,1,0," +
             std::to_string(i) + ",0,0,1;; } }\n";
    }
    x += "}\nAnimationSet Walk {\n";
    for (u32 i = 0; i < kFrames; ++i) {
        x += "Animation { {B" + std::to_string(i) + "} AnimationKey { 2; 2; 0;3;0,0,0;;, 10;3;1,0,0;;; } }\n";
    }
    x += "}\n";
    CMesh mesh;
    ASSERT_TRUE(Convert(x, mesh)) << converter.GetErrorText();
    ASSERT_EQ(mesh.GetBoneCount(), kFrames + 2);   // root, Body, B0 ...
    const CModelBone& last = *mesh.GetBone(kFrames + 1);
    EXPECT_EQ(last.Parent, mesh.GetBone(1));
    const CMesh copy(mesh);
    EXPECT_EQ(copy.GetBone(kFrames + 1)->Parent, copy.GetBone(1));
    EXPECT_EQ(copy.GetBone(1)->Children.GetCount(), kFrames);
    const auto& track = *static_cast<const CModelBoneAnimation*>(copy.GetAnimation(0)->Tracks.GetAt(kFrames - 1));
    EXPECT_EQ(track.Bone, copy.GetBone(kFrames + 1));
    CAnimationController* c = copy.CreateAnimationController();
    ASSERT_EQ(c->SetAnimationSimple(0, 0, 1, 0), 1);
    ASSERT_EQ(c->UpdateMatrices(nullptr), 1);
    EXPECT_EQ(c->GetFrameByName("B9999")->Parent, c->GetFrameByName("Body"));
    EXPECT_EQ(c->GetFrameByName("B9999")->WorldMatrix.m[3][0], 0.0f);   // keyed to x = 0 at time 0
    c->Destroy();
}

TEST_F(XConvertTest, HandModelVerticesIndicesAndMaterials)
{
    CMesh mesh;
    ASSERT_TRUE(Convert(kHandModel, mesh)) << converter.GetErrorText();
    const CModelObject& hull = *mesh.GetModelObject(0);
    EXPECT_STREQ(hull.GetName(), "Hull");

    const CModelVertexList& v = *hull.GetVertexList();
    ASSERT_EQ(v.GetCount(), 7u);
    EXPECT_EQ(v.FormatFlags & 0xF, 0xFu);   // position, normal, texture coordinates, colour
    ExpectVector(v.GetData()[6].Position, 3, 0.5f, 0, "position 6");
    // Normals follow the normal faces: the quad's corners 0 and 3 take
    // normal 1; the pentagon, written later, gives 1 and 2 normal 0.
    const f32 normalZ[] = {1, -1, -1, 1, -1, -1, -1};
    for (u32 i = 0; i < 7; ++i) ExpectVector(v.GetData()[i].Normal, 0, 0, normalZ[i], "normal");
    // Five coordinates for seven vertices: the last two get (0, 0).
    EXPECT_FLOAT_EQ(v.GetData()[1].TexCoord0[1], 0.875f);
    EXPECT_FLOAT_EQ(v.GetData()[5].TexCoord0[0], 0.0f);
    // Colours go to the vertices they name; the rest stay white.
    ExpectColour(v.GetData()[0].Color, 1, 0, 0, 1, "colour 0");
    ExpectColour(v.GetData()[6].Color, 0, 0, 1, 0.5f, "colour 6");
    ExpectColour(v.GetData()[1].Color, 1, 1, 1, 1, "colour 1");

    const CModelIndexList& indices = *hull.GetIndexList();
    const std::vector<u32> expected = {1, 4, 5, 0, 1, 2, 0, 2, 3, 1, 4, 6, 1, 6, 5, 1, 5, 2};
    EXPECT_EQ(std::vector<u32>(indices.Indices.GetData(), indices.Indices.GetData() + indices.Indices.GetCount()),
        expected);
    ASSERT_EQ(indices.Ranges.GetCount(), 2u);
    EXPECT_EQ(indices.Ranges.GetData()[1].first, 3u);
    EXPECT_EQ(indices.Ranges.GetData()[1].second, 15u);

    const CMaterialList& materials = *hull.GetMaterialList();
    ASSERT_EQ(materials.GetCount(), 2u);
    const auto& shared = *static_cast<const CModelMaterial*>(materials.GetAt(0));
    EXPECT_STREQ(shared.GetName(), "Shared");
    ExpectColour(shared.Diffuse, 0.5f, 0.25f, 1, 1, "diffuse");
    ExpectColour(shared.Ambient, 0.5f, 0.25f, 1, 1, "ambient");
    ExpectColour(shared.Specular, 0.1f, 0.2f, 0.3f, 1, "specular");
    ExpectColour(shared.Emissive, 0, 0, 0.5f, 1, "emissive");
    EXPECT_FLOAT_EQ(shared.Power, 12.0f);
    ASSERT_EQ(shared.GetTextureCount(), 1u);
    EXPECT_STREQ(shared.GetTexture(0)->GetName(), "tex\\\\skin.png");
    const auto& red = *static_cast<const CModelMaterial*>(materials.GetAt(1));
    EXPECT_STREQ(red.GetName(), "Red");
    EXPECT_EQ(red.GetTextureCount(), 0u);
}

TEST_F(XConvertTest, HandModelBonesAndAnimation)
{
    CMesh mesh;
    ASSERT_TRUE(Convert(kHandModel, mesh)) << converter.GetErrorText();
    // The unnamed leaf frame makes no bone.
    ASSERT_EQ(mesh.GetBoneCount(), 3u);
    const CModelBone& body = *mesh.GetBone(1);
    const CModelBone& arm = *mesh.GetBone(2);
    EXPECT_STREQ(body.ParentName, "root");
    EXPECT_FLOAT_EQ(body.FrameMatrix.m[3][1], -1.0f);
    ASSERT_EQ(body.Influences.GetCount(), 1u);
    EXPECT_STREQ(arm.GetName(), "Arm");
    EXPECT_EQ(arm.Parent, &body);
    EXPECT_FLOAT_EQ(arm.Transform.m[3][0], 2.0f);
    EXPECT_FLOAT_EQ(arm.FrameMatrix.m[3][0], -2.0f);
    ASSERT_EQ(arm.Influences.GetCount(), 2u);
    // The reader binds the weights into the vertices: vertex 5 moves with
    // the arm (bone 2) by half.
    const CModelVertex& moved = mesh.GetModelObject(0)->GetVertexList()->GetData()[5];
    ASSERT_EQ(moved.InfluenceCount, 1u);
    EXPECT_EQ(moved.BoneIndex[0], 2u);
    EXPECT_FLOAT_EQ(moved.Weight[0], 0.5f);

    // 30 ticks a second: every time times 160.
    const CModelAnimation& wave = *mesh.GetAnimation(0);
    EXPECT_EQ(wave.Length, 4800u);
    ASSERT_EQ(wave.Tracks.GetCount(), 1u);   // the animation without a frame is left out
    const CModelBoneAnimation& track = *FirstTrack(mesh);
    EXPECT_EQ(track.Bone, &arm);
    ASSERT_NE(track.Position, nullptr);
    ASSERT_EQ(track.Position->GetCount(), 3u);
    EXPECT_FLOAT_EQ(track.Position->GetData()[1].time, 2400.0f);
    ExpectVector(track.Position->GetData()[1].value, 0, 1, 0, "position key 1");
    ASSERT_NE(track.Rotation, nullptr);
    ASSERT_EQ(track.Rotation->GetCount(), 2u);
    const CQuaternion q0 = track.Rotation->GetData()[0].value;
    EXPECT_FLOAT_EQ(q0.w, 1.0f);   // the file gives w first
    EXPECT_FLOAT_EQ(q0.x, 0.0f);
}

TEST_F(XConvertTest, TriangleGoldenFile)
{
    CMesh mesh;
    std::string bytes;
    ASSERT_TRUE(Convert(kTriangle, mesh, &bytes)) << converter.GetErrorText();
    const std::string golden = Bytes()
        .Magic()
        .U32(0).U32(330)                        // model object chunk
        .Str("Mesh_1")                          // unnamed meshes count from 1
        .U32(1).U32(152)                        // vertex block: 8 + 3 x 48
        .U32(3).U32(0xF)                        // position, normal, texture coordinates 0, colour
        .F3(0, 0, 0).F3(0, 0, 0).F32(0).F32(0).F4(1, 1, 1, 1)   // no normals: the normalized position
        .F3(1, 0, 0).F3(1, 0, 0).F32(0).F32(0).F4(1, 1, 1, 1)
        .F3(0, 1, 0).F3(0, 1, 0).F32(0).F32(0).F4(1, 1, 1, 1)
        .End()
        .U32(2).U32(28)                         // index block: 8 + 4 x 3 + 8 x 1
        .U32(3).U32(0).U32(1).U32(2)
        .U32(1).U32(0).U32(3)                   // no material list: one range over everything
        .End()
        .U32(3).U32(107)                        // material list: 4 + the entry's 103
        .U32(1)
        .U32(4).U32(103)                        // the default material: 92 + "Material_1" + NUL
        .Str("Material_1")
        .F4(1, 1, 1, 1)                         // diffuse
        .F4(1, 1, 1, 1)                         // ambient
        .F4(0, 0, 0, 1)                         // specular
        .F4(0, 0, 0, 1)                         // emissive
        .U32(0).U32(0xFFFFFFFF).U32(0xFFFFFFFF) // blend mode, the two further values
        .F32(0)                                 // power
        .End()                                  // the entry
        .End()                                  // the list
        .End();                                 // the object
    EXPECT_EQ(bytes, golden);
}

TEST_F(XConvertTest, NamesOfUnnamedObjects)
{
    const std::string material = "Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; }";
    const std::string text = Header() +
        "Frame { Frame Named { } Frame { } }\n"   // frames 0, 1, 2: 0 has a child, 2 is a bare leaf
        "Frame Lone { }\n"                        // frame 3: named, no weights
        "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; MeshMaterialList { 2; 1; 1;; " + material + material + " } }\n"
        "Mesh { 0;; 0;; }\n"
        "AnimationSet { } AnimationSet { }\n";
    CMesh mesh;
    ASSERT_TRUE(Convert(text, mesh)) << converter.GetErrorText();
    ASSERT_EQ(mesh.GetModelObjectCount(), 2u);
    EXPECT_STREQ(mesh.GetModelObject(0)->GetName(), "Mesh_1");
    EXPECT_STREQ(mesh.GetModelObject(1)->GetName(), "Mesh_2");
    const CMaterialList& materials = *mesh.GetModelObject(0)->GetMaterialList();
    ASSERT_EQ(materials.GetCount(), 2u);
    EXPECT_STREQ(static_cast<const CModelMaterial*>(materials.GetAt(0))->GetName(), "Material_1");
    EXPECT_STREQ(static_cast<const CModelMaterial*>(materials.GetAt(1))->GetName(), "Material_2");

    const std::vector<std::pair<const char*, const char*>> bones = {
        {"root", nullptr}, {"Bone_0", "root"}, {"Named", "Bone_0"}, {"Lone", "root"}};
    ASSERT_EQ(mesh.GetBoneCount(), bones.size());
    for (u32 i = 1; i < bones.size(); ++i) {
        EXPECT_STREQ(mesh.GetBone(i)->GetName(), bones[i].first);
        EXPECT_STREQ(mesh.GetBone(i)->ParentName, bones[i].second);
    }
    ASSERT_EQ(mesh.GetAnimations()->GetCount(), 2u);
    EXPECT_STREQ(mesh.GetAnimation(0)->GetName(), "Animation_0");
    EXPECT_STREQ(mesh.GetAnimation(1)->GetName(), "Animation_1");
}

TEST_F(XConvertTest, KeyReductionTable)
{
    struct Case {
        const char* name;
        std::vector<std::pair<u32, f32>> keys;
        std::vector<f32> times;   // of the keys kept
    };
    const std::vector<Case> cases = {
        {"all the same: first and last", {{0, 1}, {10, 1}, {20, 1}, {30, 1}}, {0, 30}},
        {"the same within 0.00003", {{0, 0}, {10, 0.00002f}, {20, -0.00002f}, {30, 0.00001f}}, {0, 30}},
        // The end of a hold stays, or the move would start at the hold's
        // beginning.
        {"hold, then move", {{0, 0}, {10, 0}, {20, 0}, {30, 1}}, {0, 20, 30}},
        {"move, then hold", {{0, 0}, {10, 1}, {20, 1}, {30, 1}}, {0, 10, 30}},
        {"every key moves", {{0, 0}, {10, 1}, {20, 2}}, {0, 10, 20}},
        {"one key", {{5, 3}}, {5}},
        {"no keys", {}, {}},
    };
    for (const Case& c : cases) {
        CMesh mesh;
        ASSERT_TRUE(Convert(PositionTrack("AnimTicksPerSecond { 4800; }\n", c.keys), mesh))
            << c.name << ": " << converter.GetErrorText();
        const CModelBoneAnimation* track = FirstTrack(mesh);
        ASSERT_NE(track, nullptr) << c.name;
        if (c.times.empty()) {
            EXPECT_EQ(track->Position, nullptr) << c.name;
            continue;
        }
        ASSERT_NE(track->Position, nullptr) << c.name;
        std::vector<f32> kept;
        for (u32 i = 0; i < track->Position->GetCount(); ++i) kept.push_back(track->Position->GetData()[i].time);
        EXPECT_EQ(kept, c.times) << c.name;
    }
}

TEST_F(XConvertTest, KeyTimesInTheEnginesTicks)
{
    struct Case {
        const char* ticks;
        f64 scale;
    };
    // Without AnimTicksPerSecond a file runs at 4800 ticks a second.
    const std::vector<Case> cases = {{"", 1.0}, {"AnimTicksPerSecond { 30; }\n", 160.0},
        {"AnimTicksPerSecond { 9600; }\n", 0.5}, {"AnimTicksPerSecond { 160.0; }\n", 30.0},
        // No rate of its own: the counts stay as they are.
        {"AnimTicksPerSecond { 0; }\n", 1.0}, {"AnimTicksPerSecond { -1.#IND; }\n", 1.0}};
    for (const Case& c : cases) {
        const std::string text = PositionTrack(c.ticks, {{0, 0}, {7, 1}, {33, 2}});
        CqelXModel tree;
        ASSERT_EQ(converter.ParseMemory(&tree, text.data(), u32(text.size())), 1) << converter.GetErrorText();
        EXPECT_DOUBLE_EQ(CqelXFileConverter::GetTickScale(tree), c.scale) << c.ticks;
        CMesh mesh;
        ASSERT_EQ(converter.BuildMesh(tree, &mesh), 1);
        const CModelBoneAnimation& track = *FirstTrack(mesh);
        EXPECT_FLOAT_EQ(track.Position->GetData()[1].time, f32(7 * c.scale)) << c.ticks;
        EXPECT_EQ(mesh.GetAnimation(0)->Length, u32(std::lround(33 * c.scale))) << c.ticks;
    }
}

TEST_F(XConvertTest, AcceptsWhatOtherExportersWrite)
{
    // Keys out of time order are written in file order; the length is the
    // last key's time.
    CMesh unsorted;
    ASSERT_TRUE(Convert(PositionTrack("", {{10, 0}, {5, 1}, {20, 2}, {15, 3}}), unsorted)) << converter.GetErrorText();
    const CModelBoneAnimation::VectorTrack& keys = *FirstTrack(unsorted)->Position;
    ASSERT_EQ(keys.GetCount(), 4u);
    EXPECT_EQ(keys.GetData()[1].time, 5.0f);
    EXPECT_EQ(keys.GetData()[3].value.x, 3.0f);
    EXPECT_EQ(unsorted.GetAnimation(0)->Length, 15u);

    // Fewer materials announced than given: every material is written, the
    // ranges follow the announced count.
    const std::string material = "Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; }\n";
    CMesh extra;
    ASSERT_TRUE(Convert(Header() + "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n"
                                   "MeshMaterialList { 1; 1; 0;; " + material + material + "} }", extra))
        << converter.GetErrorText();
    EXPECT_EQ(extra.GetModelObject(0)->GetMaterialList()->GetCount(), 2u);
    EXPECT_EQ(extra.GetModelObject(0)->GetIndexList()->Ranges.GetCount(), 1u);

    // A Windows C library's text for values that are no number reads as the
    // digits before the point.
    CMesh special;
    ASSERT_TRUE(Convert(Header() + "Mesh { 3; 1.#IND;-1.#INF00;0;, 1;1.#QNAN;0;, 0;1;-0.#SNAN;; 1; 3;0,1,2;; }",
        special)) << converter.GetErrorText();
    const CModelVertex* v = special.GetModelObject(0)->GetVertexList()->GetData();
    ExpectVector(v[0].Position, 1, -1, 0, "1.#IND, -1.#INF00");
    ExpectVector(v[1].Position, 1, 1, 0, "1.#QNAN");
    ExpectVector(v[2].Position, 0, 1, 0, "-0.#SNAN");
    // Other words after the point are still refused, with their line.
    CMesh refused;
    EXPECT_FALSE(Convert(Header() + "Mesh {\n3; 1.#NAN;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }", refused));
    EXPECT_STREQ(converter.GetErrorText(), "line 3: Mesh vertex: expected a number, found \"1.#NAN\"");
}

TEST_F(XConvertTest, MatrixKeysBecomeScalingRotationAndPosition)
{
    // Scaling 2, a quarter turn about z, then the move (1, 2, 3); and a
    // key mirrored in x.
    const std::string text = Header() +
        "Frame Bone { }\nMesh { 0;; 0;; }\nAnimationSet { Animation { { Bone }\n"
        "AnimationKey { 4; 2;\n"
        "0;16;0,2,0,0, -2,0,0,0, 0,0,2,0, 1,2,3,1;;,\n"
        "10;16;-1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;;;\n"
        "} } }\n";
    CMesh mesh;
    ASSERT_TRUE(Convert(text, mesh)) << converter.GetErrorText();
    const CModelBoneAnimation& track = *FirstTrack(mesh);
    ASSERT_TRUE(track.Scaling && track.Rotation && track.Position);
    ASSERT_EQ(track.Scaling->GetCount(), 2u);
    ExpectVector(track.Scaling->GetData()[0].value, 2, 2, 2, "scaling");
    ExpectVector(track.Position->GetData()[0].value, 1, 2, 3, "position");
    ExpectVector(track.Scaling->GetData()[1].value, -1, 1, 1, "mirrored scaling");
    // The rotation's matrix is the key's rows without their lengths.
    CMatrix turn;
    track.Rotation->GetData()[0].value.ToMatrix(&turn);
    const f32 rows[3][3] = {{0, 1, 0}, {-1, 0, 0}, {0, 0, 1}};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(turn.m[r][c], rows[r][c], 1e-6f) << r << "," << c;
    }
}

TEST_F(XConvertTest, NormalsByPositionWhenTheNormalFacesDoNotMatch)
{
    // Two normals for three vertices and no face list to place them by:
    // vertices 0 and 1 take them in order, vertex 2 its own direction.
    const std::string text = Header() + "Mesh { 3; 0;0;0;, 1;0;0;, 0;2;0;; 1; 3;0,1,2;;\n"
                                        "MeshNormals { 2; 0;0;1;, 0;1;0;; 0;; } }\n";
    CMesh mesh;
    ASSERT_TRUE(Convert(text, mesh)) << converter.GetErrorText();
    const CModelVertex* v = mesh.GetModelObject(0)->GetVertexList()->GetData();
    ExpectVector(v[0].Normal, 0, 0, 1, "normal 0");
    ExpectVector(v[1].Normal, 0, 1, 0, "normal 1");
    ExpectVector(v[2].Normal, 0, 1, 0, "normal 2");
}

TEST_F(XConvertTest, EmptyTextureNamesMakeNoTexture)
{
    const std::string text = Header() + "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n"
        "MeshMaterialList { 1; 1; 0;; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;;\n"
        "TextureFilename { \"\"; } TextureFilename { \"a.png\"; } TextureFilename { \"b.png\"; } } } }\n";
    CMesh mesh;
    ASSERT_TRUE(Convert(text, mesh)) << converter.GetErrorText();
    const auto& material = *static_cast<const CModelMaterial*>(mesh.GetModelObject(0)->GetMaterialList()->GetAt(0));
    ASSERT_EQ(material.GetTextureCount(), 2u);
    EXPECT_STREQ(material.GetTexture(0)->GetName(), "a.png");
    EXPECT_STREQ(material.GetTexture(1)->GetName(), "b.png");
}

TEST_F(XConvertTest, WritesTheFileWholeOrLeavesItAlone)
{
    host::kernel::testing::TempFolder folder;
    const std::string x = folder / "in.x", model = folder / "out.mdl";
    ASSERT_TRUE(host::kernel::WriteFileAtomic(x, kHandModel, sizeof kHandModel - 1));
    ASSERT_EQ(converter.Convert(x.c_str(), model.c_str()), 1) << converter.GetErrorText();
    std::string written, expected;
    ASSERT_TRUE(host::kernel::ReadWholeFile(model, written));
    ASSERT_EQ(converter.ConvertMemory(kHandModel, sizeof kHandModel - 1, &expected), 1);
    EXPECT_EQ(written, expected);

    struct Case {
        const char* name;
        std::string text;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"no mesh", Header() + "Frame A { }\n", "the file holds no Mesh"},
        {"damaged", Header() + "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,5;; }", "face 0 uses vertex 5 of 3"},
        {"binary", "xof 0303bin 0032", "not a text .x file"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(host::kernel::WriteFileAtomic(x, c.text.data(), c.text.size()));
        EXPECT_EQ(converter.Convert(x.c_str(), model.c_str()), 0) << c.name;
        EXPECT_NE(std::string(converter.GetErrorText()).find(c.message), std::string::npos)
            << c.name << ": " << converter.GetErrorText();
        std::string after;
        ASSERT_TRUE(host::kernel::ReadWholeFile(model, after));
        EXPECT_EQ(after, written) << c.name;
    }
    EXPECT_EQ(converter.Convert(x.c_str(), (folder / "missing/out.mdl").c_str()), 0);
    EXPECT_EQ(converter.Convert((folder / "missing.x").c_str(), model.c_str()), 0);
    EXPECT_EQ(std::string(converter.GetErrorText()), "cannot read " + folder / "missing.x");
}
