// The .x text reader: the node tree of a hand-written file, its links and
// triangles, and damaged files refused whole with the reason and line.
#include "engine/model/XFileReader.h"
#include "engine/model/tests/XFileSamples.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

std::string Header() { return "xof 0303txt 0032\n"; }

}  // namespace

// What the nodes hold is checked through the converter (XConvertTest);
// here, which nodes there are and what only the tree shows.
TEST(XFileRead, BuildsTheTreeOfEveryTemplate)
{
    Parsed p(kHandModel);
    ASSERT_EQ(p.ok, 1) << p.reader.GetErrorText();
    EXPECT_STREQ(p.reader.GetErrorText(), "");
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

TEST(XFileRead, TriangulationTable)
{
    struct Case {
        const char* name;
        std::string faces;      // the Mesh's face count and faces
        std::string materials;  // a MeshMaterialList, or nothing
        std::vector<u32> indices;
        std::vector<std::pair<u32, u32>> ranges;
    };
    const std::string twoMaterials = "Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } ";
    const std::vector<Case> cases = {
        {"quad split on the 0-2 diagonal", "1; 4;0,1,2,3;;", "", {0, 1, 2, 0, 2, 3}, {{0, 6}}},
        {"hexagon fan", "1; 6;0,1,2,3,4,5;;", "", {0, 1, 2, 0, 2, 3, 0, 3, 4, 0, 4, 5}, {{0, 12}}},
        {"no faces", "0;;", "", {}, {{0, 0}}},
        {"one face material for all", "2; 3;0,1,2;, 3;2,3,0;;",
            "MeshMaterialList { 2; 1; 1;; " + twoMaterials + twoMaterials + "}", {0, 1, 2, 2, 3, 0}, {{0, 0}, {0, 6}}},
        {"interleaved materials grouped", "3; 3;0,1,2;, 3;1,2,3;, 3;2,3,4;;",
            "MeshMaterialList { 2; 3; 0,1,0;; " + twoMaterials + twoMaterials + "}",
            {0, 1, 2, 2, 3, 4, 1, 2, 3}, {{0, 6}, {6, 3}}},
    };
    for (const Case& c : cases) {
        const std::string text =
            Header() + "Mesh M { 6; 0;0;0;, 1;0;0;, 1;1;0;, 0;1;0;, 2;2;0;, 3;3;0;; " + c.faces + " " + c.materials + " }";
        Parsed p(text);
        ASSERT_EQ(p.ok, 1) << c.name << ": " << p.reader.GetErrorText();
        const XMesh& mesh = *p.Named(kXMesh, "M")->As<XMesh>();
        EXPECT_EQ(mesh.TriangleIndices, c.indices) << c.name;
        EXPECT_EQ(mesh.Ranges, c.ranges) << c.name;
    }
}

TEST(XFileRead, RefusesWhatIsNotATextXFile)
{
    const std::vector<std::pair<std::string, const char*>> cases = {
        {"xof 0303bin 0032 binary", "not a text .x file"},
        {"xof 0303txt", "not a DirectX .x file"},
        {"Mesh { 0;; 0;; }", "not a DirectX .x file"},
        {"", "no data"},
    };
    for (const auto& [text, message] : cases) {
        Parsed p(text);
        EXPECT_EQ(p.ok, 0) << text;
        EXPECT_NE(std::string(p.reader.GetErrorText()).find(message), std::string::npos)
            << text << ": " << p.reader.GetErrorText();
    }
}

TEST(XFileRead, RefusesDamagedFilesWithTheReasonAndLine)
{
    struct Case {
        const char* name;
        std::string body;
        const char* message;
    };
    const std::string mesh = "Mesh M {\n3;\n0;0;0;, 1;0;0;, 0;1;0;;\n1;\n3;0,1,2;;\n";
    const std::string material = "Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; }\n";
    const std::string identity = "1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;;";
    const std::vector<Case> cases = {
        {"face index past the vertices", "Mesh M {\n3;\n0;0;0;, 1;0;0;, 0;1;0;;\n1;\n3;0,1,3;;\n}",
            "line 2: Mesh \"M\": face 0 uses vertex 3 of 3"},
        {"face of two indices", "Mesh M {\n3;\n0;0;0;, 1;0;0;, 0;1;0;;\n1;\n2;0,1;;\n}",
            "line 6: Mesh face: face 0 has 2 indices"},
        {"vertex count below the vertices", "Mesh M {\n2;\n0;0;0;, 1;0;0;, 0;1;0;;\n1;\n3;0,1,2;;\n}",
            "line 4: unexpected data \"1\" in Mesh"},
        {"count past the end of the file", "Mesh M {\n4000000000;\n0;0;0;;\n}",
            "line 3: Mesh vertex count 4000000000 is more than the rest of the file holds"},
        {"count past 32 bits", "Mesh M {\n99999999999;\n}", "Mesh vertex count: expected a whole number"},
        {"text for a number", "Mesh M {\n3;\n0;0;zero;, 1;0;0;, 0;1;0;;\n1;\n3;0,1,2;;\n}",
            "line 4: Mesh vertex: expected a number, found \"zero\""},
        {"number out of float range", "Mesh M {\n3;\n0;0;1e99;, 1;0;0;, 0;1;0;;\n1;\n3;0,1,2;;\n}",
            "expected a number, found \"1e99\""},
        {"data left over", mesh + "7;\n}", "line 7: unexpected data \"7\" in Mesh"},
        {"material number past the list", mesh + "MeshMaterialList { 1; 1; 1;; " + material + "}\n}",
            "MeshMaterialList: face 0 uses material 1 of 1"},
        {"face material count", "Mesh M { 3; 0;0;0;, 1;0;0;, 0;1;0;; 2; 3;0,1,2;, 3;2,1,0;;\n"
                                "MeshMaterialList { 1; 3; 0,0,0;; " + material + "}\n}",
            "MeshMaterialList: 3 face materials for the 2 faces"},
        {"fewer materials than announced", mesh + "MeshMaterialList { 2; 1; 0;; " + material + "}\n}",
            "MeshMaterialList: 2 materials announced, 1 given"},
        {"material named by a reference to nothing", mesh + "MeshMaterialList { 1; 1; 0;; { Nowhere } }\n}",
            "MeshMaterialList: 1 materials announced, 0 given"},
        {"normal index past the normals", mesh + "MeshNormals { 1; 0;0;1;; 1; 3;0,0,1;; }\n}",
            "MeshNormals: a face uses normal 1 of 1"},
        {"colour for a vertex past the mesh", mesh + "MeshVertexColors { 1; 3;1;1;1;1;;; }\n}",
            "MeshVertexColors: colour for vertex 3 of 3"},
        {"skin weight for a vertex past the mesh", mesh + "SkinWeights { \"B\"; 1; 5; 1.0; " + identity + " }\n}",
            "SkinWeights for \"B\": vertex 5 of 3"},
        {"skin weights outside a mesh", "Frame B { SkinWeights { \"B\"; 0; " + identity + " } }",
            "SkinWeights for \"B\" belong to no Mesh"},
        {"skin header past 16 bits", mesh + "XSkinMeshHeader { 1; 1; 70000; }\n}", "XSkinMeshHeader: 70000 does not fit"},
        {"key of the wrong size", "AnimationKey { 0; 1; 0;3;1,0,0;;; }", "key 0 holds 3 values; key type 0 takes 4"},
        {"unknown key type", "AnimationKey { 3; 1; 0;3;1,0,0;;; }", "AnimationKey type 3 is none of"},
        {"unterminated string", "Material M { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; TextureFilename { \"a.png; } }",
            "TextureFilename: the string never closes"},
        {"string missing", "Material M { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; TextureFilename { } }",
            "TextureFilename: expected a quoted string, found \"}\""},
        {"object never closes", "Frame A {\nFrame B {\n}\n", "the file ends inside the Frame begun on line 2"},
        {"a brace too many", "Frame A { }\n}", "line 3: a \"}\" closes no object"},
        {"unknown block never closes", "Frame A { }\nUnknown {\n{ }", "line 3: a block begun here never closes"},
        {"word without a block", "Frame A { }\nstray }", "\"stray\" is not followed by a block"},
        {"object without a block", "Frame A Frame", "Frame A: expected \"{\", found \"Frame\""},
        {"reference that never closes", "Frame A { { B ", "the reference to B never closes"},
        {"reference outside any object", "Frame B { }\n{ B }", "a reference to B stands outside any object"},
    };
    for (const Case& c : cases) {
        Parsed p(Header() + c.body);
        EXPECT_EQ(p.ok, 0) << c.name;
        EXPECT_EQ(p.tree.GetNodeCount(), 0u) << c.name;
        EXPECT_NE(std::string(p.reader.GetErrorText()).find(c.message), std::string::npos)
            << c.name << ": " << p.reader.GetErrorText();
    }
}

TEST(XFileRead, NumbersAtTheirLimitsAreRead)
{
    Parsed p(Header() + "Mesh M { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\nXSkinMeshHeader { 65535; 0; 65535; } }\n"
                        "AnimationSet { Animation { AnimationKey { 2; 1; 4294967295;3;0,0,3.4e38;;; } } }");
    ASSERT_EQ(p.ok, 1) << p.reader.GetErrorText();
    EXPECT_EQ(p.tree.CollectNodes(kXSkinMeshHeader)[0]->As<XSkinMeshHeader>()->BoneCount, 65535u);
    const XAnimationKey& key = *p.tree.CollectNodes(kXAnimationKey)[0]->As<XAnimationKey>();
    EXPECT_EQ(key.Times[0], 4294967295u);
    EXPECT_EQ(key.GetValues(0)[2], 3.4e38f);
    EXPECT_EQ(p.tree.CollectNodes(kXAnimationSet)[0]->As<XAnimationSet>()->MaxTime, 4294967295u);
}

TEST(XFileRead, HoldsAnyNumberOfChildrenKeysAndReferences)
{
    // Counts past 255 once wrapped in 8 bits; a fifth reference once ended
    // the file early.
    std::string text = Header() + "Frame Root {\n";
    for (u32 i = 0; i < 300; ++i) text += "Frame F" + std::to_string(i) + " { }\n";
    text += "}\nAnimationSet S { Animation { { F299 }\nAnimationKey { 2; 300;\n";
    for (u32 i = 0; i < 300; ++i) text += std::to_string(i) + ";3;0,0," + std::to_string(i) + ";;" + (i < 299 ? "," : ";");
    text += "\n}";
    for (u32 i = 0; i < 6; ++i) text += " { F" + std::to_string(i) + " }";
    text += " }\n}\nMesh Late { 0;; 0;; }\n";
    Parsed p(text);
    ASSERT_EQ(p.ok, 1) << p.reader.GetErrorText();
    EXPECT_EQ(p.Named(kXFrame, "Root")->As<XFrame>()->Children.size(), 300u);
    const CqelXNode* animation = p.tree.CollectNodes(kXAnimation)[0];
    EXPECT_EQ(animation->References.size(), 7u);
    EXPECT_EQ(animation->As<XAnimation>()->Frame, p.Named(kXFrame, "F299"));
    EXPECT_EQ(p.tree.CollectNodes(kXAnimationKey)[0]->As<XAnimationKey>()->GetCount(), 300u);
    EXPECT_EQ(p.tree.CollectNodes(kXAnimationSet)[0]->As<XAnimationSet>()->MaxTime, 299u);
    EXPECT_NE(p.Named(kXMesh, "Late"), nullptr);
}

TEST(XFileRead, SeparatorsBracesAndNamesAsWritersVaryThem)
{
    // Braces against names and numbers, a class id in the object, a name
    // whose Shift-JIS trail byte is a "}" (0x83 0x7D), no separator before
    // a closing brace.
    const std::string name = "\x83\x7D\x83\x7B";
    const std::string text = Header() + "Frame " + name + "{<3D82AB46-62DA-11cf-AB39-0020AF71E433>}\n"
                             "Mesh{3;0;0;0;,1;0;0;,0;1;0;;1;3;0,1,2;;{" + name + "}}\n" + (kTriangle + 16);
    Parsed p(text);
    ASSERT_EQ(p.ok, 1) << p.reader.GetErrorText();
    const CqelXNode* frame = p.Named(kXFrame, name.c_str());
    ASSERT_NE(frame, nullptr);
    const std::vector<const CqelXNode*> meshes = p.tree.CollectNodes(kXMesh);
    ASSERT_EQ(meshes.size(), 2u);
    EXPECT_FALSE(meshes[0]->HasName());
    EXPECT_EQ(meshes[0]->As<XMesh>()->Frame, frame);
    EXPECT_EQ(meshes[1]->As<XMesh>()->TriangleIndices.size(), 3u);
}

TEST(XFileRead, EveryCutOfAFileIsReadOrRefusedWhole)
{
    const std::string full = kHandModel;
    for (size_t n = 0; n < full.size(); ++n) {
        Parsed p(full.substr(0, n));
        if (!p.ok) {
            EXPECT_EQ(p.tree.GetNodeCount(), 0u) << n;
            EXPECT_STRNE(p.reader.GetErrorText(), "") << n;
        }
    }
}
