// .x files made by another program: assimp exports simple OBJ geometry (a
// cube of two materials with a texture, a quad beside a triangle with vertex
// colours) as .x text. Each is converted, loaded onto the fake render device
// and drawn, and checked against the OBJ it came from; the converter program
// is run the same way. (Fans and winding: the hand-written .x files.)
#include "engine/core/Vector3.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/model/AnalysMesh.h"
#include "engine/model/tests/ModelDeviceTest.h"
#include "engine/model/Mesh.h"
#include "engine/model/ModelObject.h"
#include "engine/model/XConvert.h"
#include "host/kernel/Kernel.h"
#include "host/kernel/tests/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <map>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace render = host::render;

namespace {

bool HaveAssimp() { return std::system("assimp version > /dev/null 2>&1") == 0; }

int RunCommand(const std::string& command)
{
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

using Point = std::array<f32, 3>;

// assimp turns the right-handed OBJ into a left-handed .x by negating z.
Point FromObj(f32 x, f32 y, f32 z) { return {x, y, -z}; }
Point Of(const CVector3& v) { return {v.x, v.y, v.z}; }

CVector3 Sub(const Point& a, const Point& b) { return CVector3(a[0] - b[0], a[1] - b[1], a[2] - b[2]); }
CVector3 Cross(const CVector3& a, const CVector3& b) { return a.Cross(b); }
f32 Dot(const CVector3& a, const CVector3& b) { return a.Dot(b); }

// The triangles of an object as corner positions.
std::vector<std::array<Point, 3>> Triangles(const CModelObject& object)
{
    const CModelIndexList& list = *object.GetIndexList();
    const CModelVertex* v = object.GetVertexList()->GetData();
    std::vector<std::array<Point, 3>> out;
    for (u32 i = 0; i + 2 < list.Indices.GetCount(); i += 3) {
        const u32* t = list.Indices.GetData() + i;
        out.push_back({Of(v[t[0]].Position), Of(v[t[1]].Position), Of(v[t[2]].Position)});
    }
    return out;
}

// How a polygon of the OBJ was cut: the triangles lying on it must cover
// its area exactly, use each side once and each fan diagonal twice.
void ExpectCut(const std::vector<std::array<Point, 3>>& triangles, const std::vector<Point>& polygon,
    f32 area, const char* what)
{
    const CVector3 normal = Cross(Sub(polygon[1], polygon[0]), Sub(polygon[2], polygon[0]));
    auto onPlane = [&](const Point& p) { return std::fabs(Dot(Sub(p, polygon[0]), normal)) < 1e-4f; };
    auto isCorner = [&](const Point& p) { return std::find(polygon.begin(), polygon.end(), p) != polygon.end(); };
    std::map<std::pair<Point, Point>, u32> edges;
    f32 total = 0;
    u32 count = 0;
    for (const auto& t : triangles) {
        if (!onPlane(t[0]) || !onPlane(t[1]) || !onPlane(t[2])) continue;
        if (!isCorner(t[0]) || !isCorner(t[1]) || !isCorner(t[2])) continue;
        ++count;
        total += Cross(Sub(t[1], t[0]), Sub(t[2], t[0])).Length() / 2;
        for (int k = 0; k < 3; ++k) {
            Point a = t[k], b = t[(k + 1) % 3];
            if (b < a) std::swap(a, b);
            ++edges[std::make_pair(a, b)];
        }
    }
    EXPECT_EQ(count, polygon.size() - 2) << what;
    EXPECT_NEAR(total, area, 1e-4f) << what;
    for (size_t k = 0; k < polygon.size(); ++k) {
        Point a = polygon[k], b = polygon[(k + 1) % polygon.size()];
        if (b < a) std::swap(a, b);
        EXPECT_EQ(edges[std::make_pair(a, b)], 1u) << what << ": side " << k;
    }
    EXPECT_EQ(edges.size(), 2 * polygon.size() - 3) << what;   // the sides and n - 3 diagonals
}

class XConvertToolFilesTest : public model_test::ModelDeviceTest {
protected:
    void SetUp() override
    {
        if (!HaveAssimp()) GTEST_SKIP() << "assimp is missing (scripts/install-deps.sh installs assimp-utils)";
        fake_->ClearLog();
    }

    // Writes the OBJ (and its MTL) and has assimp export it as .x text.
    std::string Export(const std::string& name, const std::string& obj, const std::string& mtl = "")
    {
        const std::string objPath = folder_ / (name + ".obj"), xPath = folder_ / (name + ".x");
        EXPECT_TRUE(host::kernel::WriteFileAtomic(objPath, obj.data(), obj.size()));
        if (!mtl.empty()) {
            EXPECT_TRUE(host::kernel::WriteFileAtomic(folder_ / (name + ".mtl"), mtl.data(), mtl.size()));
        }
        EXPECT_EQ(RunCommand("assimp export " + objPath + " " + xPath + " > /dev/null 2>&1"), 0) << name;
        return xPath;
    }

    // The model file as the game loads it: the reader, device buffers made.
    static bool Load(const std::string& modelPath, CMesh& mesh)
    {
        CAnalysMesh reader;
        CResourceList textures;
        return reader.LoadFromFile(modelPath.c_str()) &&
               reader.ReadModel(&mesh, modelPath.c_str(), &textures, nullptr, nullptr);
    }

    // Converts through the library and loads the result.
    bool ConvertAndLoad(const std::string& xPath, CMesh& mesh)
    {
        const std::string model = xPath + ".mdl";
        CqelXFileConverter converter;
        const bool ok = converter.Convert(xPath.c_str(), model.c_str()) && Load(model, mesh);
        EXPECT_STREQ(converter.GetErrorText(), "");
        return ok;
    }

    // Draws every object; the primitives drawn must be all the triangles.
    static void ExpectDrawn(const CMesh& mesh)
    {
        u32 triangles = 0, drawn = 0;
        const CMatrix world;
        for (u32 o = 0; o < mesh.GetModelObjectCount(); ++o) {
            CModelObject& object = *mesh.GetModelObject(o);
            EXPECT_NE(object.GetVertexBuffer(), nullptr);
            EXPECT_EQ(object.Draw(&world, nullptr, nullptr, 0, nullptr), 1);
            triangles += object.GetIndexList()->Indices.GetCount() / 3;
        }
        for (const render::Call& call : fake_->Find(render::CallMatch("DrawIndexedPrimitive"))) drawn += call.U32("count");
        EXPECT_EQ(drawn, triangles);
    }

    host::kernel::testing::TempFolder folder_;
};

// The cube of the OBJ: its corners, and its faces as corner numbers, two
// red and four blue, each with its own normal.
constexpr f32 kCorner[8][3] = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1}, {-1, -1, 1}, {1, -1, 1}, {1, 1, 1},
    {-1, 1, 1}};
constexpr int kFace[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {3, 7, 6, 2}, {0, 4, 7, 3}, {1, 2, 6, 5}};

std::string CubeObj()
{
    std::string obj = "mtllib cube.mtl\no Cube\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
                      "vn 0 0 -1\nvn 0 0 1\nvn 0 -1 0\nvn 0 1 0\nvn -1 0 0\nvn 1 0 0\n";
    for (const auto& c : kCorner) obj += "v " + std::to_string(c[0]) + " " + std::to_string(c[1]) + " " + std::to_string(c[2]) + "\n";
    for (int f = 0; f < 6; ++f) {
        obj += f == 0 ? "usemtl Red\nf" : f == 2 ? "usemtl Blue\nf" : "f";
        for (int k = 0; k < 4; ++k) obj += " " + std::to_string(kFace[f][k] + 1) + "/" + std::to_string(k + 1) + "/" + std::to_string(f + 1);
        obj += "\n";
    }
    return obj;
}

constexpr char kCubeMtl[] = R"(newmtl Red
Kd 1 0 0
map_Kd red.png
newmtl Blue
Kd 0 0 1
)";

}  // namespace

TEST_F(XConvertToolFilesTest, CubeOfTwoMaterials)
{
    CMesh mesh;
    ASSERT_TRUE(ConvertAndLoad(Export("cube", CubeObj(), kCubeMtl), mesh));
    // One object per material: two faces red, four blue, each face its
    // own four corners.
    ASSERT_EQ(mesh.GetModelObjectCount(), 2u);
    u32 textured = 0;
    std::vector<std::array<Point, 3>> triangles;
    for (u32 o = 0; o < 2; ++o) {
        const CModelObject& object = *mesh.GetModelObject(o);
        const u32 vertices = object.GetVertexCount();
        ASSERT_TRUE(vertices == 8 || vertices == 16) << vertices;
        const u32 faces = vertices / 4;
        ASSERT_EQ(object.GetIndexList()->Ranges.GetCount(), 1u);
        EXPECT_EQ(object.GetIndexList()->Ranges.GetData()[0].second, 6 * faces);
        const auto& material = *static_cast<const CModelMaterial*>(object.GetMaterialList()->GetAt(0));
        EXPECT_EQ(material.Diffuse.x, material.Ambient.x);   // both the .x face colour
        // Each material's TextureFilename, the blue one's empty as this
        // exporter writes it.
        ASSERT_EQ(material.GetTextureCount(), 1u);
        const char* texture = material.GetTexture(0)->GetName();
        EXPECT_EQ(std::string(texture ? texture : ""), faces == 2 ? "red.png" : "");
        textured += texture && *texture ? 1 : 0;
        // Each vertex is a corner of the cube with a normal across the face
        // it belongs to (this assimp writes them pointing in).
        for (u32 i = 0; i < vertices; ++i) {
            const CModelVertex& v = object.GetVertexList()->GetData()[i];
            for (f32 c : {v.Position.x, v.Position.y, v.Position.z}) EXPECT_EQ(std::fabs(c), 1.0f);
            EXPECT_NEAR(v.Normal.Length(), 1.0f, 1e-6f);
            EXPECT_NEAR(std::fabs(Dot(v.Position, v.Normal)), 1.0f, 1e-6f);
            for (f32 c : v.TexCoord0) EXPECT_TRUE(c == 0.0f || c == 1.0f);
        }
        for (const auto& t : Triangles(object)) triangles.push_back(t);
    }
    EXPECT_EQ(textured, 1u);
    // The six faces of the OBJ, each cut into two triangles along a diagonal.
    for (const auto& face : kFace) {
        std::vector<Point> polygon;
        for (int k : face) polygon.push_back(FromObj(kCorner[k][0], kCorner[k][1], kCorner[k][2]));
        ExpectCut(triangles, polygon, 4.0f, "cube face");
    }
    ExpectDrawn(mesh);
}

TEST_F(XConvertToolFilesTest, QuadAndTriangleWithVertexColours)
{
    const std::string obj = "v 0 0 0 1 0 0\nv 2 0 0 0 1 0\nv 2 1 0 0 0 1\nv 0 1 0 1 1 1\nv 1 2 0 0.5 0.5 0.5\n"
                            "f 1 2 3 4\nf 4 3 5\n";
    CMesh mesh;
    ASSERT_TRUE(ConvertAndLoad(Export("quad", obj), mesh));
    ASSERT_EQ(mesh.GetModelObjectCount(), 1u);
    const CModelObject& object = *mesh.GetModelObject(0);
    // No material list in the .x: one material over every triangle.
    EXPECT_EQ(object.GetIndexList()->Ranges.GetData()[0].second, 9u);

    // Each vertex carries the colour the OBJ gives its position.
    const std::map<Point, std::array<f32, 3>> colours = {{FromObj(0, 0, 0), {1, 0, 0}},
        {FromObj(2, 0, 0), {0, 1, 0}}, {FromObj(2, 1, 0), {0, 0, 1}}, {FromObj(0, 1, 0), {1, 1, 1}},
        {FromObj(1, 2, 0), {0.5f, 0.5f, 0.5f}}};
    ASSERT_GE(object.GetVertexCount(), 5u);
    for (u32 i = 0; i < object.GetVertexCount(); ++i) {
        const CModelVertex& v = object.GetVertexList()->GetData()[i];
        const auto found = colours.find(Of(v.Position));
        ASSERT_NE(found, colours.end()) << i;
        EXPECT_EQ((std::array<f32, 4>{v.Color.x, v.Color.y, v.Color.z, v.Color.w}),
            (std::array<f32, 4>{found->second[0], found->second[1], found->second[2], 1.0f})) << i;
    }
    const auto triangles = Triangles(object);
    ExpectCut(triangles, {FromObj(0, 0, 0), FromObj(2, 0, 0), FromObj(2, 1, 0), FromObj(0, 1, 0)}, 2.0f, "quad");
    ExpectCut(triangles, {FromObj(0, 1, 0), FromObj(2, 1, 0), FromObj(1, 2, 0)}, 1.0f, "triangle");
    ExpectDrawn(mesh);
}

TEST_F(XConvertToolFilesTest, ConverterProgram)
{
    const std::string program = ORV_XCONV_PROGRAM;
    const std::string x = Export("cube", CubeObj(), kCubeMtl), model = folder_ / "cube.mdl";
    EXPECT_EQ(RunCommand(program + " " + x + " " + model), 0);
    CMesh mesh;
    ASSERT_TRUE(Load(model, mesh));
    EXPECT_EQ(mesh.GetModelObjectCount(), 2u);
    ExpectDrawn(mesh);

    // A damaged file: the reason on stderr, the old output kept.
    std::string text;
    ASSERT_TRUE(host::kernel::ReadWholeFile(x, text));
    text.resize(text.size() / 2);
    const std::string damaged = folder_ / "damaged.x", errors = folder_ / "errors.txt";
    ASSERT_TRUE(host::kernel::WriteFileAtomic(damaged, text.data(), text.size()));
    std::string before, after, message;
    ASSERT_TRUE(host::kernel::ReadWholeFile(model, before));
    EXPECT_EQ(RunCommand(program + " " + damaged + " " + model + " 2> " + errors), 1);
    ASSERT_TRUE(host::kernel::ReadWholeFile(model, after));
    EXPECT_EQ(after, before);
    ASSERT_TRUE(host::kernel::ReadWholeFile(errors, message));
    EXPECT_EQ(message.rfind("orv-xconv: " + damaged + ": line ", 0), 0u) << message;

    EXPECT_EQ(RunCommand(program + " " + x + " 2> /dev/null"), 2);
}

}  // namespace ORV_TEST_FILE_ID
