// The .x converter: a hand-written .x file through to the model reader, a
// golden file laid out by hand, key times and reduction as a table.
#include "engine/model/AnalysMesh.h"
#include "engine/model/AnimationController.h"
#include "engine/model/Mesh.h"
#include "engine/model/ModelObject.h"
#include "engine/model/XConvert.h"
#include "engine/model/tests/ModelBytes.h"
#include "engine/model/tests/XFileSamples.h"
#include "host/kernel/Kernel.h"
#include "host/kernel/tests/TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

using model_test::Bytes;
using xfile_test::Header;
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
    return animation ? static_cast<const CModelBoneAnimation*>(animation->Tracks.GetAt(0)) : nullptr;
}

void ExpectVector(const CVector3& v, f32 x, f32 y, f32 z, const char* what)
{
    for (auto [got, want] : {std::pair{v.x, x}, {v.y, y}, {v.z, z}}) EXPECT_FLOAT_EQ(got, want) << what;
}

void ExpectColour(const CVector4& c, f32 r, f32 g, f32 b, f32 a, const char* what)
{
    for (auto [got, want] : {std::pair{c.x, r}, {c.y, g}, {c.z, b}, {c.w, a}}) EXPECT_FLOAT_EQ(got, want) << what;
}

}  // namespace

// Names are indexed once: ten thousand frames, each skinned and animated,
// convert, load, copy and play without a scan per name (which took seconds
// under the sanitizers).
TEST_F(XConvertTest, TenThousandFramesConvertLoadCopyAndPlay)
{
    constexpr u32 kFrames = 10000;
    const char* identity = "1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;;";
    std::string skin, frames, animations;
    for (u32 i = 0; i < kFrames; ++i) {
        const std::string n = std::to_string(i);
        skin += "SkinWeights { \"B" + n + "\"; 1; 0; 0.5; " + identity + " }\n";
        frames += "Frame B" + n + " { FrameTransformMatrix { 1,0,0,0,0,1,0,0,0,0,1,0," + n + ",0,0,1;; } }\n";
        animations += "Animation { {B" + n + "} AnimationKey { 2; 2; 0;3;0,0,0;;, 10;3;1,0,0;;; } }\n";
    }
    const std::string x = Header() + "Frame Body {\nMesh Skin { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n" + skin +
                          "}\n" + frames + "}\nAnimationSet Walk {\n" + animations + "}\n";
    CMesh mesh;
    ASSERT_TRUE(Convert(x, mesh)) << converter.GetErrorText();
    const CMesh copy(mesh);
    EXPECT_EQ(copy.GetBone(1)->Children.GetCount(), kFrames);
    const auto& track = *static_cast<const CModelBoneAnimation*>(copy.GetAnimation(0)->Tracks.GetAt(kFrames - 1));
    EXPECT_EQ(track.Bone, copy.GetBone(kFrames + 1));
    CAnimationController* c = copy.CreateAnimationController();
    ASSERT_EQ(c->SetAnimationSimple(0, 0, 1, 0), 1);
    ASSERT_EQ(c->UpdateMatrices(nullptr), 1);
    EXPECT_EQ(c->GetFrameByName("B9999")->WorldMatrix.m[3][0], 0.0f);   // keyed to x = 0 at time 0
    c->Destroy();
}

TEST_F(XConvertTest, HandModel)
{
    CMesh mesh;
    ASSERT_TRUE(Convert(kHandModel, mesh)) << converter.GetErrorText();
    const CModelObject& hull = *mesh.GetModelObject(0);
    const CModelVertexList& v = *hull.GetVertexList();
    // Normals follow the normal faces: the quad's corners 0 and 3 take
    // normal 1; the pentagon, written later, gives 1 and 2 normal 0.
    const f32 normalZ[] = {1, -1, -1, 1, -1, -1, -1};
    for (u32 i = 0; i < 7; ++i) ExpectVector(v.GetData()[i].Normal, 0, 0, normalZ[i], "normal");
    // Five coordinates for seven vertices: the last two get (0, 0).
    EXPECT_FLOAT_EQ(v.GetData()[1].TexCoord0[1], 0.875f);
    EXPECT_FLOAT_EQ(v.GetData()[5].TexCoord0[0], 0.0f);
    // Colours by position (the second names vertex 6); the rest stay white.
    ExpectColour(v.GetData()[0].Color, 1, 0, 0, 1, "colour 0");
    ExpectColour(v.GetData()[1].Color, 0, 0, 1, 0.5f, "colour 1");
    ExpectColour(v.GetData()[6].Color, 1, 1, 1, 1, "vertex 6");

    const CModelIndexList& indices = *hull.GetIndexList();
    const std::vector<u32> expected = {1, 4, 5, 0, 1, 2, 0, 2, 3, 1, 4, 6, 1, 6, 5, 1, 5, 2};
    EXPECT_EQ(std::vector<u32>(indices.Indices.GetData(), indices.Indices.GetData() + indices.Indices.GetCount()),
        expected);
    EXPECT_EQ(indices.Ranges.GetData()[1].first, 3u);
    EXPECT_EQ(indices.Ranges.GetData()[1].second, 15u);

    const auto& shared = *static_cast<const CModelMaterial*>(hull.GetMaterialList()->GetAt(0));
    ExpectColour(shared.Diffuse, 0.5f, 0.25f, 1, 1, "diffuse");
    ExpectColour(shared.Specular, 0.1f, 0.2f, 0.3f, 1, "specular");
    ExpectColour(shared.Emissive, 0, 0, 0.5f, 1, "emissive");
    EXPECT_FLOAT_EQ(shared.Power, 12.0f);
    EXPECT_STREQ(shared.GetTexture(0)->GetName(), "tex\\\\skin.png");

    // The unnamed leaf frame makes no bone.
    ASSERT_EQ(mesh.GetBoneCount(), 3u);
    const CModelBone &body = *mesh.GetBone(1), &arm = *mesh.GetBone(2);
    EXPECT_FLOAT_EQ(body.FrameMatrix.m[3][1], -1.0f);
    EXPECT_EQ(arm.Parent, &body);
    EXPECT_FLOAT_EQ(arm.FrameMatrix.m[3][0], -2.0f);
    // The reader binds the weights into the vertices: vertex 5 moves with
    // the arm (bone 2) by half.
    const CModelVertex& moved = v.GetData()[5];
    EXPECT_EQ(moved.BoneIndex[0], 2u);
    EXPECT_FLOAT_EQ(moved.Weight[0], 0.5f);

    // 30 ticks a second: every time times 160.
    EXPECT_EQ(mesh.GetAnimation(0)->Tracks.GetCount(), 1u);   // the animation without a frame is left out
    const CModelBoneAnimation& track = *FirstTrack(mesh);
    EXPECT_EQ(track.Bone, &arm);
    EXPECT_FLOAT_EQ(track.Position->GetData()[1].time, 2400.0f);
    ExpectVector(track.Position->GetData()[1].value, 0, 1, 0, "position key 1");
    ASSERT_EQ(track.Rotation->GetCount(), 2u);
    EXPECT_FLOAT_EQ(track.Rotation->GetData()[0].value.w, 1.0f);   // the file gives w first
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
    const std::string text = Header() +
        "Frame { Frame Named { } Frame { } }\n"   // frames 0, 1, 2: 0 has a child, 2 is a bare leaf
        "Frame Lone { }\n"                        // frame 3: named, no weights
        "Mesh { 0;; 0;; } Mesh { 0;; 0;; }\n"
        "AnimationSet { } AnimationSet { }\n";
    CMesh mesh;
    ASSERT_TRUE(Convert(text, mesh)) << converter.GetErrorText();
    // The golden file shows the first of each; these count on.
    EXPECT_STREQ(mesh.GetModelObject(1)->GetName(), "Mesh_2");

    const std::vector<std::pair<const char*, const char*>> bones = {
        {"root", nullptr}, {"Bone_0", "root"}, {"Named", "Bone_0"}, {"Lone", "root"}};
    ASSERT_EQ(mesh.GetBoneCount(), bones.size());
    for (u32 i = 1; i < bones.size(); ++i) EXPECT_STREQ(mesh.GetBone(i)->ParentName, bones[i].second) << bones[i].first;
    for (u32 i = 1; i < bones.size(); ++i) EXPECT_STREQ(mesh.GetBone(i)->GetName(), bones[i].first);
    EXPECT_STREQ(mesh.GetAnimation(1)->GetName(), "Animation_1");
}

// Keys in the engine's 4800 ticks a second, and a key that repeats both
// neighbours dropped.
TEST_F(XConvertTest, KeyTimesAndReduction)
{
    struct Case {
        const char* name;
        const char* ticks;
        std::vector<std::pair<u32, f32>> keys;
        std::vector<f32> times;   // of the keys kept
        u32 length;
    };
    const char* own = "AnimTicksPerSecond { 4800; }\n";
    const std::vector<Case> cases = {
        {"the same within 0.00003", own, {{0, 0}, {10, 0.00002f}, {20, -0.00002f}, {30, 0.00001f}}, {0, 30}, 30},
        // The end of a hold stays, or the move would start at its beginning.
        {"hold, then move", own, {{0, 0}, {10, 0}, {20, 0}, {30, 1}}, {0, 20, 30}, 30},
        {"move, then hold", own, {{0, 0}, {10, 1}, {20, 1}, {30, 1}}, {0, 10, 30}, 30},
        {"one key", own, {{5, 3}}, {5}, 5},
        // Keys out of time order are written in file order; the length is
        // the last key's time.
        {"out of order", own, {{10, 0}, {5, 1}, {20, 2}, {15, 3}}, {10, 5, 20, 15}, 15},
        {"no keys", own, {}, {}, 0},
        {"no rate: 4800", "", {{0, 0}, {7, 1}, {33, 2}}, {0, 7, 33}, 33},
        {"9600", "AnimTicksPerSecond { 9600; }\n", {{0, 0}, {7, 1}, {33, 2}}, {0, 3.5f, 16.5f}, 17},
        {"160.0", "AnimTicksPerSecond { 160.0; }\n", {{0, 0}, {7, 1}, {33, 2}}, {0, 210, 990}, 990},
        // No rate of its own: the counts stay as they are.
        {"0", "AnimTicksPerSecond { 0; }\n", {{0, 0}, {7, 1}, {33, 2}}, {0, 7, 33}, 33},
        {"-1.#IND", "AnimTicksPerSecond { -1.#IND; }\n", {{0, 0}, {7, 1}, {33, 2}}, {0, 7, 33}, 33},
    };
    for (const Case& c : cases) {
        CMesh mesh;
        ASSERT_TRUE(Convert(PositionTrack(c.ticks, c.keys), mesh)) << c.name << ": " << converter.GetErrorText();
        const CModelBoneAnimation::VectorTrack* keys = FirstTrack(mesh)->Position;
        std::vector<f32> kept;
        for (u32 i = 0; keys && i < keys->GetCount(); ++i) kept.push_back(keys->GetData()[i].time);
        EXPECT_EQ(kept, c.times) << c.name;
        EXPECT_EQ(mesh.GetAnimation(0)->Length, c.length) << c.name;
    }
}

TEST_F(XConvertTest, AcceptsWhatOtherExportersWrite)
{
    // Fewer materials announced than given: every material is written, the
    // ranges follow the announced count.
    const std::string material = "Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; }\n";
    CMesh extra;
    ASSERT_TRUE(Convert(Header() + "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n"
                                   "MeshMaterialList { 1; 1; 0;; " + material + material + "} }", extra));
    EXPECT_EQ(extra.GetModelObject(0)->GetMaterialList()->GetCount(), 2u);
    EXPECT_EQ(extra.GetModelObject(0)->GetIndexList()->Ranges.GetCount(), 1u);

    // A Windows C library's text for values that are no number reads as the
    // digits before the point (-1.#IND: the tick table).
    CMesh special;
    ASSERT_TRUE(Convert(Header() + "Mesh { 3; -1.#INF00;1.#QNAN;2.#SNAN;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }",
        special)) << converter.GetErrorText();
    ExpectVector(special.GetModelObject(0)->GetVertexList()->GetData()[0].Position, -1, 1, 2, "special");
    // Other words after the point are still refused, with their line.
    CMesh refused;
    EXPECT_FALSE(Convert(Header() + "Mesh {\n3; 1.#NAN;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }", refused));
    EXPECT_STREQ(converter.GetErrorText(), "line 3: Mesh vertex: expected a number, found \"1.#NAN\"");

    // Two normals, three vertices, no normal faces: 0 and 1 in order, 2 its own direction.
    CMesh normals;
    ASSERT_TRUE(Convert(Header() + "Mesh { 3; 0;0;0;, 1;0;0;, 0;2;0;; 1; 3;0,1,2;;\n"
                                   "MeshNormals { 2; 0;0;1;, 0;1;0;; 0;; } }\n", normals)) << converter.GetErrorText();
    const CModelVertex* v = normals.GetModelObject(0)->GetVertexList()->GetData();
    for (u32 i = 0; i < 3; ++i) ExpectVector(v[i].Normal, 0, i > 0, i == 0, "normal");
}

// Normals follow the normal faces only when those name normals there are;
// a face one past the list (or of another size) leaves them by position.
TEST_F(XConvertTest, NormalFacesNamingNoNormalLeaveNormalsByPosition)
{
    const struct {
        const char* faces;
        f32 first[3];   // vertex 0's normal
        f32 last[3];    // vertex 2's
    } rows[] = {
        {"1; 3;2,1,0;;", {1, 0, 0}, {0, 0, 1}},   // the last normal, reversed: by the faces
        {"1; 3;2,1,3;;", {0, 0, 1}, {1, 0, 0}},   // one past the three normals
        {"1; 2;2,1;;", {0, 0, 1}, {1, 0, 0}},     // fewer indices than the face
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.faces);
        CMesh mesh;
        ASSERT_TRUE(Convert(Header() + "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n"
                                       "MeshNormals { 3; 0;0;1;, 0;1;0;, 1;0;0;; " + row.faces + " } }", mesh))
            << converter.GetErrorText();
        const CModelVertex* v = mesh.GetModelObject(0)->GetVertexList()->GetData();
        ExpectVector(v[0].Normal, row.first[0], row.first[1], row.first[2], "vertex 0");
        ExpectVector(v[1].Normal, 0, 1, 0, "vertex 1");
        ExpectVector(v[2].Normal, row.last[0], row.last[1], row.last[2], "vertex 2");
    }
}

// Colour i goes to vertex i whatever vertex it lists; colours past the
// vertices are not written anywhere (fewer colours: the hand model).
TEST_F(XConvertTest, VertexColoursGoByPositionNotByTheirListedIndex)
{
    const std::string text = Header() + "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n"
        "MeshVertexColors { 4; 9;1;0;0;1;;, 0;0;0;1;0.5;;, 2;0;1;0;1;;, 3;0;0;0;0;;; } }";
    CMesh mesh;
    ASSERT_TRUE(Convert(text, mesh)) << converter.GetErrorText();
    ASSERT_EQ(mesh.GetModelObject(0)->GetVertexList()->GetCount(), 3u);
    const CModelVertex* v = mesh.GetModelObject(0)->GetVertexList()->GetData();
    ExpectColour(v[0].Color, 1, 0, 0, 1, "listed for vertex 9");
    ExpectColour(v[1].Color, 0, 0, 1, 0.5f, "listed for vertex 0");
    ExpectColour(v[2].Color, 0, 1, 0, 1, "listed for vertex 2");
}

// SkinWeights in no mesh move nothing: the bone keeps the influences of the
// mesh's own weights, and the file converts. The offset is still the last
// one naming the bone. A weight for a vertex past the mesh is written and
// binds to no vertex.
TEST_F(XConvertTest, SkinWeightsOutsideAnyMeshGiveNoInfluences)
{
    const std::string text = Header() +
        "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n"
        "SkinWeights { \"Bone\"; 3; 1, 2, 3; 0.5, 0.25, 1.0; 1,0,0,0,0,1,0,0,0,0,1,0,1,0,0,1;; } }\n"
        "Frame Bone { SkinWeights { \"Bone\"; 1; 0; 1.0; 1,0,0,0,0,1,0,0,0,0,1,0,0,7,0,1;; } }\n"
        "SkinWeights { \"Bone\"; 1; 9; 1.0; 1,0,0,0,0,1,0,0,0,0,1,0,0,0,9,1;; }\n";
    CMesh mesh;
    ASSERT_TRUE(Convert(text, mesh)) << converter.GetErrorText();
    ASSERT_EQ(mesh.GetBoneCount(), 2u);
    const CModelBone& bone = *mesh.GetBone(1);
    ASSERT_EQ(bone.Influences.GetCount(), 3u);
    const CBoneInfluence* in = bone.Influences.GetData();
    EXPECT_EQ(in[0].vertexIndex, 1u);
    EXPECT_FLOAT_EQ(in[0].weight, 0.5f);
    EXPECT_EQ(in[1].vertexIndex, 2u);
    EXPECT_FLOAT_EQ(in[1].weight, 0.25f);
    EXPECT_EQ(in[2].vertexIndex, 3u);
    const CModelVertex* v = mesh.GetModelObject(0)->GetVertexList()->GetData();
    const u32 bound[] = {0, 1, 1};
    for (u32 i = 0; i < 3; ++i) EXPECT_EQ(v[i].InfluenceCount, bound[i]) << i;
    EXPECT_FLOAT_EQ(v[2].Weight[0], 0.25f);
    ExpectVector(CVector3(bone.FrameMatrix.m[3][0], bone.FrameMatrix.m[3][1], bone.FrameMatrix.m[3][2]), 0, 0, 9,
        "the last offset");
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
    ASSERT_EQ(track.Scaling->GetCount(), 2u);
    ExpectVector(track.Scaling->GetData()[0].value, 2, 2, 2, "scaling");
    ExpectVector(track.Position->GetData()[0].value, 1, 2, 3, "position");
    ExpectVector(track.Scaling->GetData()[1].value, -1, 1, 1, "mirrored scaling");
    // The rotation's matrix is the key's rows without their lengths.
    CMatrix turn;
    track.Rotation->GetData()[0].value.ToMatrix(&turn);
    const f32 rows[9] = {0, 1, 0, -1, 0, 0, 0, 0, 1};
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(turn.m[i / 3][i % 3], rows[i], 1e-6f) << i;
}

// Every TextureFilename of a material is one texture of it, in order, an
// empty name too.
TEST_F(XConvertTest, EachTextureFilenameIsATextureOfTheMaterial)
{
    const auto material = [](const std::string& textures) {
        return Header() + "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n"
                          "MeshMaterialList { 1; 1; 0;; Material M { 1;1;1;1;; 0; 0;0;0;; 0;0;0;;\n" +
               textures + "} } }\n";
    };
    const struct {
        const char* textures;
        std::vector<std::string> names;
    } rows[] = {
        {"", {}},
        {"TextureFilename { \"\"; }\n", {""}},
        {"TextureFilename { \"\"; }\nTextureFilename { \"b.png\"; }\n", {"", "b.png"}},
        {"TextureFilename { \"a.png\"; }\nTextureFilename { \"\"; }\n", {"a.png", ""}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.textures);
        CMesh mesh;
        ASSERT_TRUE(Convert(material(row.textures), mesh)) << converter.GetErrorText();
        const CModelMaterial* m =
            static_cast<const CModelMaterial*>(mesh.GetModelObject(0)->GetMaterialList()->GetAt(0));
        ASSERT_NE(m, nullptr);
        std::vector<std::string> names;
        for (u32 t = 0; t < m->GetTextureCount(); ++t) {
            const char* name = m->GetTexture(t) ? m->GetTexture(t)->GetName() : nullptr;
            names.push_back(name ? name : "");
        }
        EXPECT_EQ(names, row.names);
    }
}

TEST_F(XConvertTest, WritesTheFileWholeOrLeavesItAlone)
{
    host::kernel::testing::TempFolder folder;
    const std::string x = folder / "in.x", model = folder / "out.mdl";
    ASSERT_TRUE(host::kernel::WriteFileAtomic(x, kHandModel, sizeof kHandModel - 1));
    ASSERT_EQ(converter.Convert(x.c_str(), model.c_str()), 1) << converter.GetErrorText();
    std::string written, after;
    ASSERT_TRUE(host::kernel::ReadWholeFile(model, written));
    EXPECT_EQ(written.rfind("QEL MODEL", 0), 0u);

    // Refused: the reason, the old output kept (damaged files: the program's test).
    const std::string noMesh = Header() + "Frame A { }\n";
    ASSERT_TRUE(host::kernel::WriteFileAtomic(x, noMesh.data(), noMesh.size()));
    EXPECT_EQ(converter.Convert(x.c_str(), model.c_str()), 0);
    EXPECT_STREQ(converter.GetErrorText(), "the file holds no Mesh");
    ASSERT_TRUE(host::kernel::ReadWholeFile(model, after));
    EXPECT_EQ(after, written);
    EXPECT_EQ(converter.Convert(x.c_str(), (folder / "missing/out.mdl").c_str()), 0);
    EXPECT_EQ(converter.Convert((folder / "missing.x").c_str(), model.c_str()), 0);
    EXPECT_EQ(std::string(converter.GetErrorText()), "cannot read " + folder / "missing.x");
}

}  // namespace ORV_TEST_FILE_ID
