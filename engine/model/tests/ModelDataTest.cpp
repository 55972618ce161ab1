// Vertex formats, index checks, bones, materials, the grid look-up and
// copies, without a device.
#include "engine/core/Endian.h"
#include "engine/model/tests/ArmModel.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <limits>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

using model_test::NewBone;

CModelBone* ChildAt(const CModelBone& bone, u32 i)
{
    return static_cast<CModelBone*>(static_cast<CValueBase*>(bone.Children.GetAt(i)));
}

}  // namespace

TEST(ModelVertexFormat, StrideAndOffsetsFollowTheDeclarationOrder)
{
    const struct {
        u32 flags;
        u32 stride;   // GetStride: the skin data left out
        ModelVertexLayout expected;
    } cases[] = {
        // The skin data sits between position and normal, outside GetStride.
        {0x1 | 0x2 | 0x4 | 0x10, 32, {0, 12, 28, 32, -1, -1, -1, {44, -1, -1, -1}, 52}},
        // Skin data without a normal: nothing after it at offset 32.
        {0x1 | 0x10 | 0x4, 20, {0, 12, 28, -1, -1, -1, -1, {32, -1, -1, -1}, 40}},
        {0x3FF, 84, {0, 12, 28, 32, 44, 56, 68, {72, 80, 88, 96}, 104}},
        {0x8 | 0x100, 12, {-1, -1, -1, -1, -1, -1, 0, {-1, -1, -1, 4}, 12}},
        // Bits the format does not know pack nothing.
        {0x400 | 0x80000000u, 0, {-1, -1, -1, -1, -1, -1, -1, {-1, -1, -1, -1}, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "flags 0x" << std::hex << c.flags);
        EXPECT_EQ(CModelVertexFormat::GetStride(c.flags), c.stride);
        const ModelVertexLayout l = CModelVertexFormat::GetLayout(c.flags);
        EXPECT_EQ(0, std::memcmp(&l, &c.expected, sizeof l));
    }
}

TEST(ModelVertexFormat, ColoursPackAsAlphaRedGreenBlueTruncated)
{
    const struct { CVector4 colour; u32 packed; } cases[] = {
        {{1.0f, 0.5f, 0.0f, 1.0f}, 0xFFFF7F00u},   // 0.5 x 255 = 127.5 truncates to 127
        {{0.999f, 0.002f, 0.5f, 0.25f}, 0x3FFE007Fu},
        // Past 1 wraps in the low 8 bits; below 0 truncates toward zero first.
        {{2.0f, -0.5f, -0.001f, 1.0f}, 0xFFFE8100u},
        // Not a number or past any integer packs as 0 rather than undefined.
        {{std::numeric_limits<f32>::quiet_NaN(), 1e30f, -1e30f, 1.0f}, 0xFF000000u},
    };
    for (const auto& c : cases) EXPECT_EQ(CModelVertexFormat::PackColor(c.colour), c.packed) << c.colour.x;
}

TEST(ModelVertexFormat, PackWritesEachElementAtItsOffset)
{
    CModelVertex v;
    v.Position.Set(1, 2, 3);
    v.Normal.Set(0, 1, 0);
    v.TexCoord0[0] = 0.25f;
    v.TexCoord0[1] = 0.75f;
    v.Color = CVector4(1.0f, 0.5f, 0.0f, 1.0f);
    for (u8 i = 0; i < 4; ++i) v.BoneIndex[i] = u8(i + 1);
    v.Weight[0] = 0.5f;
    v.Weight[1] = 0.25f;
    const ModelVertexLayout layout = CModelVertexFormat::GetLayout(0x1 | 0x2 | 0x4 | 0x8 | 0x10);
    ASSERT_EQ(layout.size, 56u);
    std::vector<u8> out(layout.size + 4, 0xAB);
    CModelVertexFormat::Pack(v, layout, out.data());
    auto f = [&out](u32 at) { return std::bit_cast<f32>(GetLe32(&out[at])); };
    EXPECT_EQ(f(8), 3.0f);
    EXPECT_EQ(f(16), 0.25f);
    EXPECT_EQ(GetLe32(&out[28]), 0x04030201u);
    EXPECT_EQ(f(36), 1.0f);
    EXPECT_EQ(GetLe32(&out[44]), 0xFFFF7F00u);
    EXPECT_EQ(f(52), 0.75f);
    // Nothing past the vertex's slot.
    EXPECT_EQ(GetLe32(&out[56]), 0xABABABABu);

    // Without weights the vertex goes whole on bone 0, the model's root.
    const CModelVertex still;
    CModelVertexFormat::Pack(still, layout, out.data());
    EXPECT_EQ(f(12), 1.0f);
    EXPECT_EQ(GetLe32(&out[28]), 0u);
}

TEST(ModelIndexList, IndicesAndRangesMustFitTheirLists)
{
    const struct { std::vector<u32> indices; std::vector<CPoint2> ranges; u32 vertices; bool valid; } cases[] = {
        {{0, 1, 3}, {{0, 3}}, 3, false},          // index at the vertex count
        {{0, 0, 0}, {}, 0, false},                // no vertices at all
        {{0, 1, 2}, {{0, 6}}, 3, false},          // range past the indices
        {{0, 1, 2}, {{3, 0}}, 3, true},           // an empty range at the end
        {{0, 1, 2}, {{0xFFFFFFFF, 2}}, 3, false}, // start + count wraps 32 bits
        {{70000, 1, 2}, {{0, 3}}, 70001, true},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        CModelIndexList list;
        list.Indices.SetArray(cases[i].indices.data(), u32(cases[i].indices.size()));
        list.Ranges.SetArray(cases[i].ranges.data(), u32(cases[i].ranges.size()));
        EXPECT_EQ(list.IsValid(cases[i].vertices), cases[i].valid) << "case " << i;
    }
}

TEST(ModelBone, LinkBoneHierarchyResolvesByExactName)
{
    CMesh mesh;
    CModelBone* root = NewBone(mesh, "root", nullptr);
    CModelBone* arm = NewBone(mesh, "Arm", "root");
    CModelBone* twin = NewBone(mesh, "Arm", "root");
    CModelBone* hand = NewBone(mesh, "Hand", "Arm");
    CModelBone* lost = NewBone(mesh, "Lost", "Nobody");
    CModelBone* other = NewBone(mesh, "Case", "arm");   // case differs
    EXPECT_EQ(LinkBoneHierarchy(mesh.GetBones()), 1);
    ASSERT_EQ(root->Children.GetCount(), 2u);
    EXPECT_EQ(ChildAt(*root, 1), twin);
    // The first bone of the name is the parent; both twins list the child.
    EXPECT_EQ(hand->Parent, arm);
    EXPECT_EQ(twin->Children.GetCount(), 1u);
    EXPECT_EQ(lost->Parent, nullptr);
    EXPECT_EQ(other->Parent, nullptr);
}

TEST(ModelMaterial, CopiesAndTextureSwaps)
{
    CModelMaterial material;
    EXPECT_EQ(material.RestoreTextures(), 0);
    CResourceBase skin("Skin.dds"), eyes("Eyes.dds");
    EXPECT_EQ(material.AddTexture(&skin) + material.AddTexture(&eyes), 2);
    EXPECT_EQ(material.AddTexture(nullptr), 0);
    EXPECT_NE(material.GetTexture(0), &skin);   // a copy of its own
    ASSERT_EQ(material.SavedTextures->GetCount(), 2u);
    // A swap: the replaced texture waits in the saved slot.
    CResourceBase glow("Glow.dds");
    void* original = material.Textures->GetAt(1);
    material.SavedTextures->GetData()[1] = original;
    material.Textures->GetData()[1] = static_cast<CValueBase*>(&glow);
    EXPECT_EQ(material.RestoreTextures(), 1);
    EXPECT_EQ(material.Textures->GetAt(1), original);
    EXPECT_EQ(material.SavedTextures->GetAt(1), nullptr);
    CModelMaterial copy(material);
    EXPECT_NE(copy.GetTexture(1), material.GetTexture(1));
    EXPECT_EQ(copy.SavedTextures->GetCount(), 2u);
}

TEST(ModelCollisionGrid, LookUpClampsToTheBorderCells)
{
    CModelCollisionGrid grid;
    grid.Center.Set(0, 0, 0);
    grid.HalfSize.Set(2, 1, 1);
    grid.CellsPerUnit.Set(1, 0.5f, 1);   // cells of 1 x 2 x 1
    grid.CountX = 4;
    grid.CountY = 1;
    grid.CountZ = 2;
    const struct { CVector3 p; u32 cell[3]; } cases[] = {
        {{1.999f, 0.9f, -0.1f}, 3, 0, 0},
        {{2.0f, 5, 1}, 3, 0, 1},          // the far faces stay in the last cell
        {{-100, -100, 100}, 0, 0, 1},
        {{std::numeric_limits<f32>::quiet_NaN(), 0, 0}, 0, 0, 1},
    };
    for (const auto& c : cases) {
        for (u32 axis = 0; axis < 3; ++axis) EXPECT_EQ(grid.CellCoordinate(c.p, axis), c.cell[axis]) << c.p.x;
    }
    grid.Cells = new CResourceList();
    auto* block = new CModelBlock();
    AppendElement(grid.Cells, block);
    EXPECT_EQ(grid.GetCell({-2, 0, -1}), block);
    EXPECT_EQ(grid.GetCell({2, 0, 1}), nullptr);   // past the list's count
}

TEST(ModelObject, CopyOwnsItsListsAndItsBlocksShareThem)
{
    CModelObject object;
    void* material = new CModelMaterial();
    object.GetMaterialList()->Add(&material);
    CModelCollisionGrid* grid = object.GetCollisionGrid();
    grid->CountX = grid->CountY = grid->CountZ = 1;
    grid->Cells = new CResourceList();
    auto* block = new CModelBlock(CBox({0, 0, 0}, {1, 1, 1}), object.GetVertexList(), object.GetIndexList(),
        object.GetMaterialList());
    AppendElement(grid->Cells, block);
    auto* low = new CLowModelObject();
    low->SetValue(0.5f);
    AppendElement(object.GetLowModels(), low);

    CModelObject copy(object);
    EXPECT_NE(copy.GetMaterialList()->GetAt(0), object.GetMaterialList()->GetAt(0));
    CModelBlock* copiedBlock = copy.GetCollisionGrid()->GetCellAt(0);
    ASSERT_NE(copiedBlock, nullptr);
    EXPECT_EQ(copiedBlock->GetVertexList(), copy.GetVertexList());
    EXPECT_EQ(copiedBlock->GetObjectIndexList(), copy.GetIndexList());
    EXPECT_EQ(copiedBlock->GetMaterialList(), copy.GetMaterialList());
    EXPECT_EQ(ListElement<CLowModelObject>(copy.GetLowModels(), 0)->GetValue(), 0.5f);
}

TEST(LowModelObject, CopiesOwnTheirListsAndShareTheExtraList)
{
    auto* low = new CLowModelObject();
    low->GetVertexList()->Resize(3);
    void* item = new CResourceBase("Item");
    low->GetExtraList()->Add(&item);
    auto* copy = new CLowModelObject(*low);
    EXPECT_EQ(copy->GetExtraList(), low->GetExtraList());
    copy->Release();
    EXPECT_EQ(low->GetVertexList()->GetCount(), 3u);
    delete low;
    // The list outlives the part it was made with.
    ASSERT_EQ(copy->GetExtraList()->GetCount(), 1u);
    EXPECT_STREQ(static_cast<CResourceBase*>(copy->GetExtraList()->GetAt(0))->GetName(), "Item");
    delete copy;
}

TEST(ModelObject, FindRangeGivesTheFirstRangeEndingPastTheIndex)
{
    CModelObject object;
    const CPoint2 ranges[3] = {{0, 6}, {6, 0}, {6, 3}};
    object.GetIndexList()->Ranges.SetArray(ranges, 3);
    EXPECT_EQ(object.FindRange(5), 0u);
    EXPECT_EQ(object.FindRange(6), 2u);   // the empty range ends at 6
    EXPECT_EQ(object.FindRange(9), 0u);   // past every range
}

TEST(Mesh, CopyRelinksBonesGroupsAndRebindsKeys)
{
    CMesh mesh;
    NewBone(mesh, "root", nullptr);
    NewBone(mesh, "Hip", "root");
    LinkBoneHierarchy(mesh.GetBones());
    auto* group = new CPointerList();
    void* hip = static_cast<CValueBase*>(mesh.GetBone(1));
    group->Add(&hip);
    AppendElement(mesh.GetBoneGroups(), group);
    CModelAnimation& animation = *model_test::AddAnimation(mesh, "A");
    for (const char* name : {"Hip", "Fin"}) {   // a key set of a bone the mesh lacks too
        model_test::AddKeys(animation, name)->MakePosition()->AddKey(4800.0f, CVector3(1, 2, 3), 0.5f);
    }
    animation.RebindBones(mesh.GetBones());

    CMesh copy(mesh);
    CModelBone* copiedHip = copy.GetBone(1);
    EXPECT_EQ(ChildAt(*copy.GetBone(0), 0), copiedHip);
    EXPECT_EQ(ListElement<CPointerList>(copy.GetBoneGroups(), 0)->GetAt(0), static_cast<CValueBase*>(copiedHip));
    const auto* copiedKeys = static_cast<CModelBoneAnimation*>(copy.GetAnimation(0)->Tracks.GetAt(0));
    EXPECT_EQ(copiedKeys->Bone, copiedHip);
    EXPECT_EQ(copiedKeys->Position->GetAt(0)->ease, 0.5f);
    EXPECT_EQ(static_cast<CModelBoneAnimation*>(copy.GetAnimation(0)->Tracks.GetAt(1))->Bone, nullptr);
}

TEST(Mesh, BoneSphereLeavesOutInfluencesThatNameNothing)
{
    CMesh mesh;
    CModelObject* object = model_test::NewObject("A", kVertexPosition, 3);
    object->GetVertexList()->GetAt(1)->Position.Set(4, 0, 0);
    object->GetVertexList()->GetAt(2)->Position.Set(100, 100, 100);
    AppendElement(mesh.GetModelObjects(), object);
    NewBone(mesh, "root", nullptr);
    CModelBone* bone = NewBone(mesh, "Arm", "root");
    // Past the vertices, past the objects, past both.
    const CBoneInfluence influences[] = {{0, 0, 1.0f}, {0, 1, 1.0f}, {0, 3, 1.0f}, {1, 0, 1.0f}, {0xFFFF, 0xFFFFFFFF, 1.0f}};
    bone->Influences.SetArray(influences, 5);
    EXPECT_EQ(mesh.ComputeBoneSphere(1), 1);
    EXPECT_EQ(bone->BoneSphere.centre.x, 2.0f);
    EXPECT_EQ(bone->BoneSphere.radius, 2.0f);
    EXPECT_EQ(mesh.ComputeBoneSphere(2), 0);
}

}  // namespace ORV_TEST_FILE_ID
