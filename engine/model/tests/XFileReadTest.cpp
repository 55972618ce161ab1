// The .x text reader: the node tree, and damaged files refused whole with
// the reason and line. (Every refusal leaves an empty tree: the fuzz driver.)
#include "engine/model/XFileReader.h"
#include "engine/model/tests/XFileSamples.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

using xfile_test::Header;
using xfile_test::kHandModel;
using xfile_test::kTriangle;

namespace {

struct Parsed {
    CqelAnalysXFile reader;
    CqelXModel tree;
    i32 ok = 0;
    explicit Parsed(const std::string& text) { ok = reader.ParseMemory(&tree, text.data(), u32(text.size())); }
    const CqelXNode* Named(u32 type, const char* name) const { return tree.FindNode(i32(type), name); }
};

}  // namespace

// What the nodes hold: the converter's tests. Here which nodes there are.
TEST(XFileRead, BuildsTheTreeOfEveryTemplate)
{
    Parsed p(kHandModel);
    ASSERT_EQ(p.ok, 1) << p.reader.GetErrorText();
    // Unknown objects and the template declaration leave no node.
    const std::vector<std::pair<u32, u32>> counts = {{kXMesh, 1}, {kXMeshNormals, 1}, {kXMeshTextureCoords, 1},
        {kXMeshVertexColors, 1}, {kXMeshMaterialList, 1}, {kXMaterial, 2}, {kXTextureFilename, 1}, {kXFrame, 3},
        {kXFrameTransformMatrix, 2}, {kXAnimTicksPerSecond, 1}, {kXAnimationSet, 1}, {kXAnimation, 2},
        {kXAnimationKey, 3}, {kXSkinMeshHeader, 1}, {kXSkinWeights, 2}, {kXRelation, 0}};
    u32 total = 0;
    for (auto [type, count] : counts) {
        EXPECT_EQ(p.tree.CountNodesOfType(type), count) << XTemplateName(type);
        total += count;
    }
    EXPECT_EQ(p.tree.GetNodeCount(), total);
    EXPECT_TRUE(p.tree.IsAnimated());
    // The unnamed leaf without a matrix of its own takes its parent's.
    const XFrame& arm = *p.Named(kXFrame, "Arm")->As<XFrame>();
    ASSERT_EQ(arm.Children.size(), 1u);
    EXPECT_EQ(arm.Children[0]->As<XFrame>()->Transform, nullptr);
    EXPECT_FLOAT_EQ(arm.Children[0]->As<XFrame>()->LocalMatrix.m[3][0], 2.0f);
}

// Fans and materials grouped into ranges: the converter's hand model. Here
// the edges: no faces, and one face material standing for every face.
TEST(XFileRead, TriangulationTable)
{
    // The face count, the faces and any MeshMaterialList.
    struct Case { const char* name; std::string faces; std::vector<u32> indices; std::vector<std::pair<u32, u32>> ranges; };
    const std::string material = "Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } ";
    const std::vector<Case> cases = {
        {"no faces", "0;;", {}, {{0, 0}}},
        {"one face material for all", "2; 3;0,1,2;, 3;2,3,0;; MeshMaterialList { 2; 1; 1;; " + material + material + "}",
            {0, 1, 2, 2, 3, 0}, {{0, 0}, {0, 6}}},
        {"face materials past the faces unread", "2; 3;0,1,2;, 3;2,3,0;; MeshMaterialList { 2; 4; 1,0,1,7;; " + material +
            material + "}", {2, 3, 0, 0, 1, 2}, {{0, 3}, {3, 3}}},
    };
    for (const Case& c : cases) {
        Parsed p(Header() + "Mesh M { 4; 0;0;0;, 1;0;0;, 1;1;0;, 0;1;0;; " + c.faces + " }");
        ASSERT_EQ(p.ok, 1) << c.name << ": " << p.reader.GetErrorText();
        const XMesh& mesh = *p.Named(kXMesh, "M")->As<XMesh>();
        EXPECT_EQ(mesh.TriangleIndices, c.indices) << c.name;
        EXPECT_EQ(mesh.Ranges, c.ranges) << c.name;
    }
}

// One row per check in the reader; a refused file leaves no node.
TEST(XFileRead, RefusesDamagedFilesWithTheReasonAndLine)
{
    const std::string h = Header();
    const std::string mesh = h + "Mesh M {\n3;\n0;0;0;, 1;0;0;, 0;1;0;;\n1;\n3;0,1,2;;\n";
    const std::string material = "Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; }\n";
    const std::string tex = h + "Material M { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; TextureFilename { ";
    const std::vector<std::pair<std::string, const char*>> cases = {
        {"xof 0303bin 0032 binary", "not a text .x file"},
        {"xof 0303txt", "not a DirectX .x file"},
        {"Mesh { 0;; 0;; }", "not a DirectX .x file"},
        {"", "no data"},
        {h + "Mesh M {\n3;\n0;0;0;, 1;0;0;, 0;1;0;;\n1;\n3;0,1,3;;\n}", "line 2: Mesh \"M\": face 0 uses vertex 3 of 3"},
        {h + "Mesh M {\n3;\n0;0;0;, 1;0;0;, 0;1;0;;\n1;\n2;0,1;;\n}", "line 6: Mesh face: face 0 has 2 indices"},
        {h + "Mesh M {\n4000000000;\n0;0;0;;\n}", "line 3: Mesh vertex count 4000000000 is more than the rest of the file holds"},
        {h + "Mesh M {\n99999999999;\n}", "Mesh vertex count: expected a whole number"},
        {h + "Mesh M {\n3;\n0;0;zero;, 1;0;0;, 0;1;0;;\n1;\n3;0,1,2;;\n}", "line 4: Mesh vertex: expected a number, found \"zero\""},
        {h + "Mesh M {\n3;\n0;0;1e99;, 1;0;0;, 0;1;0;;\n1;\n3;0,1,2;;\n}", "expected a number, found \"1e99\""},
        {mesh + "7;\n}", "line 7: unexpected data \"7\" in Mesh"},
        {mesh + "MeshMaterialList { 1; 1; 1;; " + material + "}\n}", "MeshMaterialList: face 0 uses material 1 of 1"},
        {h + "Mesh M { 3; 0;0;0;, 1;0;0;, 0;1;0;; 3; 3;0,1,2;, 3;2,1,0;, 3;0,2,1;;\nMeshMaterialList { 1; 2; 0,0;; " +
            material + "}\n}", "MeshMaterialList: 2 face materials for the 3 faces"},
        {mesh + "MeshMaterialList { 1; 1; 0;; { Nowhere } }\n}", "MeshMaterialList: 1 materials announced, 0 given"},
        {h + "AnimationKey { 0; 1; 0;3;1,0,0;;; }", "key 0 holds 3 values; key type 0 takes 4"},
        {h + "AnimationKey { 3; 1; 0;3;1,0,0;;; }", "AnimationKey type 3 is none of"},
        {tex + "\"a.png; } }", "TextureFilename: the string never closes"},
        {tex + "} }", "TextureFilename: expected a quoted string, found \"}\""},
        {h + "Frame A {\nFrame B {\n}\n", "the file ends inside the Frame begun on line 2"},
        {h + "Frame A { }\n}", "line 3: a \"}\" closes no object"},
        {h + "Frame A { }\nUnknown {\n{ }", "line 3: a block begun here never closes"},
        {h + "Frame A { }\nstray }", "\"stray\" is not followed by a block"},
        {h + "Frame A Frame", "Frame A: expected \"{\", found \"Frame\""},
        {h + "Frame A { { B ", "the reference to B never closes"},
        {h + "Frame B { }\n{ B }", "a reference to B stands outside any object"},
    };
    for (const auto& [text, message] : cases) {
        Parsed p(text);
        EXPECT_EQ(p.ok, 0) << message;
        EXPECT_EQ(p.tree.GetNodeCount(), 0u) << message;
        EXPECT_NE(std::string(p.reader.GetErrorText()).find(message), std::string::npos)
            << message << ": " << p.reader.GetErrorText();
    }
}

// Values the converter never uses as indices are read, not refused: normal
// faces naming no normal or of fewer than three indices, colours listed for
// a vertex past the mesh, weights in no mesh, a header value past 16 bits
// (kept in 16), and a number at top level, which skips the next object as
// any stray word does.
TEST(XFileRead, ValuesUsedAsNoIndexAreReadNotRefused)
{
    const std::string h = Header();
    const std::string mesh = h + "Mesh M {\n3;\n0;0;0;, 1;0;0;, 0;1;0;;\n1;\n3;0,1,2;;\n";
    const std::string identity = "1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;;";
    struct Case {
        const char* what;
        std::string text;
        std::function<void(const Parsed&)> check;
    };
    const auto header = [](const Parsed& p) { return *p.tree.CollectNodes(kXSkinMeshHeader)[0]->As<XSkinMeshHeader>(); };
    const std::vector<Case> cases = {
        {"normal face past the normals", mesh + "MeshNormals { 1; 0;0;1;; 1; 3;0,0,1;; }\n}",
            [](const Parsed& p) {
                const XMesh& m = *p.Named(kXMesh, "M")->As<XMesh>();
                ASSERT_NE(m.Normals, nullptr);
                EXPECT_EQ(m.Normals->As<XMeshNormals>()->FaceNormals.Indices, (std::vector<u32>{0, 0, 1}));
            }},
        {"normal faces of 0, 1 and 2 indices", mesh + "MeshNormals { 1; 0;0;1;; 5; 0;, 0;, 0;, 1;0;, 2;0,0;; }\n}",
            [](const Parsed& p) {
                const XFaceList& faces = p.Named(kXMesh, "M")->As<XMesh>()->Normals->As<XMeshNormals>()->FaceNormals;
                ASSERT_EQ(faces.GetCount(), 5u);
                EXPECT_EQ(faces.GetSize(2), 0u);
                EXPECT_EQ(faces.GetSize(4), 2u);
            }},
        {"colour for vertex 3 of 3", mesh + "MeshVertexColors { 1; 3;1;1;1;1;;; }\n}",
            [](const Parsed& p) {
                const XMesh& m = *p.Named(kXMesh, "M")->As<XMesh>();
                ASSERT_NE(m.VertexColors, nullptr);
                EXPECT_EQ(m.VertexColors->As<XMeshVertexColors>()->VertexIndices, std::vector<u32>{3});
            }},
        {"weights in no mesh", h + "Frame B { SkinWeights { \"B\"; 1; 7; 1.0; " + identity + " } }",
            [](const Parsed& p) {
                const XSkinWeights& w = *p.tree.CollectNodes(kXSkinWeights)[0]->As<XSkinWeights>();
                EXPECT_EQ(w.Mesh, nullptr);
                EXPECT_EQ(w.Frame, p.Named(kXFrame, "B"));
            }},
        {"header values past 16 bits", mesh + "XSkinMeshHeader { 65535; 65536; 70000; }\n}",
            [&header](const Parsed& p) {
                EXPECT_EQ(header(p).MaxSkinWeightsPerVertex, 65535u);
                EXPECT_EQ(header(p).MaxSkinWeightsPerFace, 0u);
                EXPECT_EQ(header(p).BoneCount, 70000u - 65536u);
            }},
        {"number at top level", h + "Frame A { }\n7;\nFrame Skipped { Frame Inner { } }\nFrame C { }\n",
            [](const Parsed& p) {
                EXPECT_EQ(p.tree.CountNodesOfType(kXFrame), 2u);
                EXPECT_EQ(p.Named(kXFrame, "Skipped"), nullptr);
                EXPECT_NE(p.Named(kXFrame, "C"), nullptr);
            }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Parsed p(c.text);
        EXPECT_EQ(p.ok, 1) << p.reader.GetErrorText();
        if (p.ok) c.check(p);
    }
}

// Counts past 255 once wrapped in 8 bits; a fifth reference once ended the
// file early. (Many children: the converter's ten thousand frames.) Numbers
// at their limits are read.
TEST(XFileRead, HoldsAnyNumberOfKeysAndReferencesAndNumbersAtTheirLimits)
{
    std::string text = Header() + "Frame F299 { }\nAnimationSet S { Animation { { F299 }\nAnimationKey { 2; 300;\n";
    for (u32 i = 0; i < 300; ++i) text += std::to_string(i) + ";3;0,0," + std::to_string(i) + ";;" + (i < 299 ? "," : ";");
    text += "\n}";
    for (u32 i = 0; i < 6; ++i) text += " { F299 }";
    text += " }\n}\nMesh Late { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\nXSkinMeshHeader { 65535; 0; 65535; } }\n"
            "AnimationSet { Animation { AnimationKey { 2; 1; 4294967295;3;0,0,3.4e38;;; } } }";
    Parsed p(text);
    ASSERT_EQ(p.ok, 1) << p.reader.GetErrorText();
    const CqelXNode* animation = p.tree.CollectNodes(kXAnimation)[0];
    EXPECT_EQ(animation->References.size(), 7u);
    EXPECT_EQ(animation->As<XAnimation>()->Frame, p.Named(kXFrame, "F299"));
    EXPECT_EQ(p.tree.CollectNodes(kXAnimationKey)[0]->As<XAnimationKey>()->GetCount(), 300u);
    EXPECT_EQ(p.tree.CollectNodes(kXSkinMeshHeader)[0]->As<XSkinMeshHeader>()->BoneCount, 65535u);
    const XAnimationKey& key = *p.tree.CollectNodes(kXAnimationKey)[1]->As<XAnimationKey>();
    EXPECT_EQ(key.Times[0], 4294967295u);
    EXPECT_EQ(key.GetValues(0)[2], 3.4e38f);
    EXPECT_EQ(p.tree.CollectNodes(kXAnimationSet)[1]->As<XAnimationSet>()->MaxTime, 4294967295u);
}

TEST(XFileRead, SeparatorsBracesAndNamesAsWritersVaryThem)
{
    // Braces against names and numbers, a class id in the object, a name whose
    // Shift-JIS trail byte is "}" (0x83 0x7D), no separator before a "}".
    const std::string name = "\x83\x7D\x83\x7B";
    const std::string text = Header() + "Frame " + name + "{<3D82AB46-62DA-11cf-AB39-0020AF71E433>}\n"
                             "Mesh{3;0;0;0;,1;0;0;,0;1;0;;1;3;0,1,2;;{" + name + "}}\n" + (kTriangle + 16);
    Parsed p(text);
    ASSERT_EQ(p.ok, 1) << p.reader.GetErrorText();
    const CqelXNode* frame = p.Named(kXFrame, name.c_str());
    const std::vector<const CqelXNode*> meshes = p.tree.CollectNodes(kXMesh);
    ASSERT_EQ(meshes.size(), 2u);
    EXPECT_FALSE(meshes[0]->HasName());
    EXPECT_EQ(meshes[0]->As<XMesh>()->Frame, frame);
    EXPECT_EQ(meshes[1]->As<XMesh>()->TriangleIndices.size(), 3u);
}

}  // namespace ORV_TEST_FILE_ID

namespace ORV_TEST_FILE_ID {

// Under 1 MiB of objects: the tree holds about the text's size, counting
// each node's record and what its lists hold. Objects of a few bytes each
// (once 50 MB of nodes for 1 MiB) are refused past their bound; a skeleton
// of frames with their matrices, as exporters write it, loads.
TEST(XFileRead, ManyObjectsHoldAboutTheTextsSize)
{
    const auto held = [](const CqelXModel& tree) {
        u64 bytes = 0;
        for (u32 i = 0; i < tree.GetNodeCount(); ++i) {
            const CqelXNode* n = tree.GetNode(i);
            bytes += sizeof(CqelXNode) + n->Name.capacity() +
                     (n->Children.capacity() + n->References.capacity() + n->Contents.capacity()) * sizeof(void*);
            if (const XFrame* f = n->As<XFrame>()) bytes += f->Children.capacity() * sizeof(void*);
        }
        return bytes;
    };
    std::string bone = "Frame Bone00000 {\nFrameTransformMatrix {\n";
    for (int i = 0; i < 16; ++i) bone += i % 5 ? "0.000000," : "1.000000,";
    bone.back() = ';', bone += ";\n}\n}\n";
    for (const std::string& object : {std::string("Frame{}"), std::string("Frame{Frame{}}"), std::string("Relation{}"), bone}) {
        SCOPED_TRACE(object);
        std::string text = Header();
        while (text.size() < (size_t(1) << 20) - 1024) text += object;
        Parsed p(text);
        EXPECT_EQ(p.ok, object == bone ? 1 : 0) << p.reader.GetErrorText();
        if (!p.ok) {
            EXPECT_NE(std::string(p.reader.GetErrorText()).find("more objects than"), std::string::npos);
        }
        EXPECT_LE(held(p.tree), 8 * text.size() + (u64(2) << 20)) << p.tree.GetNodeCount() << " nodes";
    }
    // The bound itself: as many 10-byte objects as it allows load, one more
    // is refused.
    const u64 h = Header().size(), cost = CqelAnalysXFile::kNodeCost, per = CqelAnalysXFile::kNodeBytesPerTextByte;
    const u64 most = (h * per + CqelAnalysXFile::kNodeBytesAlways) / (cost - 10 * per);
    for (const u64 n : {most, most + 1}) {
        std::string text = Header();
        for (u64 i = 0; i < n; ++i) text += "Relation{}";
        Parsed p(text);
        EXPECT_EQ(p.ok, n == most ? 1 : 0) << n << ": " << p.reader.GetErrorText();
        EXPECT_EQ(p.tree.GetNodeCount(), n == most ? u32(n) : 0u);
    }
}

}  // namespace ORV_TEST_FILE_ID
