// Vertex formats, index checks, bones, animations, materials, the grid
// look-up and mesh copies, without a device.
#include "engine/model/Mesh.h"
#include "engine/model/ModelBone.h"
#include "engine/model/ModelMaterial.h"
#include "engine/model/ModelObject.h"
#include "engine/model/ModelVertex.h"

#include "engine/core/Endian.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

struct LayoutCase {
    u32 flags;
    u32 stride;            // GetStride: the skin data left out
    ModelVertexLayout expected;
};

ModelVertexLayout Layout(i32 position, i32 weights, i32 indices, i32 normal, i32 tangent, i32 binormal, i32 color,
    std::initializer_list<i32> tex, u32 size)
{
    ModelVertexLayout l;
    l.position = position;
    l.blendWeights = weights;
    l.blendIndices = indices;
    l.normal = normal;
    l.tangent = tangent;
    l.binormal = binormal;
    l.color = color;
    u32 n = 0;
    for (i32 t : tex) l.texCoord[n++] = t;
    l.size = size;
    return l;
}

CModelBone* NewBone(const char* name, const char* parent)
{
    auto* bone = new CModelBone();
    bone->SetName(name);
    bone->SetParentName(parent);
    return bone;
}

CModelBone* BoneAt(const CResourceList& list, u32 i) { return ListElement<CModelBone>(&list, i); }

CModelBone* ChildAt(const CModelBone& bone, u32 i)
{
    return static_cast<CModelBone*>(static_cast<CValueBase*>(bone.Children.GetAt(i)));
}

}  // namespace

TEST(ModelVertexFormat, StrideAndOffsetsFollowTheDeclarationOrder)
{
    const LayoutCase cases[] = {
        {0, 0, Layout(-1, -1, -1, -1, -1, -1, -1, {-1, -1, -1, -1}, 0)},
        {0x1 | 0x2 | 0x4, 32, Layout(0, -1, -1, 12, -1, -1, -1, {24, -1, -1, -1}, 32)},
        // The skin data sits between position and normal, outside GetStride.
        {0x1 | 0x2 | 0x4 | 0x10, 32, Layout(0, 12, 28, 32, -1, -1, -1, {44, -1, -1, -1}, 52)},
        // Skin data without a normal: nothing after it at offset 32.
        {0x1 | 0x10 | 0x4, 20, Layout(0, 12, 28, -1, -1, -1, -1, {32, -1, -1, -1}, 40)},
        {0x3FF, 84, Layout(0, 12, 28, 32, 44, 56, 68, {72, 80, 88, 96}, 104)},
        {0x8 | 0x100, 12, Layout(-1, -1, -1, -1, -1, -1, 0, {-1, -1, -1, 4}, 12)},
        // Bits the format does not know pack nothing.
        {0x400 | 0x80000000u, 0, Layout(-1, -1, -1, -1, -1, -1, -1, {-1, -1, -1, -1}, 0)},
    };
    for (const LayoutCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "flags 0x" << std::hex << c.flags);
        EXPECT_EQ(CModelVertexFormat::GetStride(c.flags), c.stride);
        const ModelVertexLayout l = CModelVertexFormat::GetLayout(c.flags);
        EXPECT_EQ(l.position, c.expected.position);
        EXPECT_EQ(l.blendWeights, c.expected.blendWeights);
        EXPECT_EQ(l.blendIndices, c.expected.blendIndices);
        EXPECT_EQ(l.normal, c.expected.normal);
        EXPECT_EQ(l.tangent, c.expected.tangent);
        EXPECT_EQ(l.binormal, c.expected.binormal);
        EXPECT_EQ(l.color, c.expected.color);
        for (int n = 0; n < 4; ++n) EXPECT_EQ(l.texCoord[n], c.expected.texCoord[n]) << "set " << n;
        EXPECT_EQ(l.size, c.expected.size);
        if (!(c.flags & kVertexSkin)) {
            EXPECT_EQ(l.size, c.stride);
        }
    }
}

TEST(ModelVertexFormat, ColoursPackAsAlphaRedGreenBlueTruncated)
{
    struct Case {
        CVector4 colour;
        u32 packed;
    } cases[] = {
        {{1.0f, 0.5f, 0.0f, 1.0f}, 0xFFFF7F00u},   // 0.5 x 255 = 127.5 truncates to 127
        {{0.0f, 0.0f, 1.0f, 0.0f}, 0x000000FFu},
        {{0.999f, 0.002f, 0.5f, 0.25f}, 0x3FFE007Fu},
        // Past 1 wraps in the low 8 bits; below 0 truncates toward zero first.
        {{2.0f, -0.5f, -0.001f, 1.0f}, 0xFFFE8100u},
        // Not a number or past any integer packs as 0 rather than undefined.
        {{std::numeric_limits<f32>::quiet_NaN(), 1e30f, -1e30f, 1.0f}, 0xFF000000u},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CModelVertexFormat::PackColor(c.colour), c.packed)
            << c.colour.x << " " << c.colour.y << " " << c.colour.z << " " << c.colour.w;
    }
}

TEST(ModelVertexFormat, PackWritesEachElementAtItsOffset)
{
    CModelVertex v;
    v.Position.Set(1, 2, 3);
    v.Normal.Set(0, 1, 0);
    v.TexCoord0[0] = 0.25f;
    v.TexCoord0[1] = 0.75f;
    v.Color = CVector4(1.0f, 0.5f, 0.0f, 1.0f);
    v.BoneIndex[0] = 1;
    v.BoneIndex[1] = 2;
    v.BoneIndex[2] = 3;
    v.BoneIndex[3] = 4;
    v.Weight[0] = 0.5f;
    v.Weight[1] = 0.5f;
    const ModelVertexLayout layout = CModelVertexFormat::GetLayout(0x1 | 0x2 | 0x4 | 0x8 | 0x10);
    ASSERT_EQ(layout.size, 56u);
    std::vector<u8> out(layout.size + 4, 0xAB);
    CModelVertexFormat::Pack(v, layout, out.data());
    auto f = [&out](u32 at) {
        f32 value;
        const u32 bits = GetLe32(&out[at]);
        std::memcpy(&value, &bits, 4);
        return value;
    };
    EXPECT_EQ(f(0), 1.0f);
    EXPECT_EQ(f(8), 3.0f);
    EXPECT_EQ(f(12), 0.5f);
    EXPECT_EQ(f(16), 0.5f);
    EXPECT_EQ(f(20), 0.0f);
    EXPECT_EQ(GetLe32(&out[28]), 0x04030201u);
    EXPECT_EQ(f(36), 1.0f);
    EXPECT_EQ(GetLe32(&out[44]), 0xFFFF7F00u);
    EXPECT_EQ(f(48), 0.25f);
    EXPECT_EQ(f(52), 0.75f);
    // Nothing past the vertex's slot.
    EXPECT_EQ(GetLe32(&out[56]), 0xABABABABu);

    // Without weights the vertex goes whole on bone 0, the model's root.
    const CModelVertex still;
    CModelVertexFormat::Pack(still, layout, out.data());
    EXPECT_EQ(f(12), 1.0f);
    EXPECT_EQ(f(16), 0.0f);
    EXPECT_EQ(GetLe32(&out[28]), 0u);
}

TEST(ModelIndexList, IndicesAndRangesMustFitTheirLists)
{
    struct Case {
        std::vector<u32> indices;
        std::vector<CPoint2> ranges;
        u32 vertices;
        bool valid;
    } cases[] = {
        {{0, 1, 2}, {{0, 3}}, 3, true},
        {{0, 1, 3}, {{0, 3}}, 3, false},          // index at the vertex count
        {{}, {}, 0, true},
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

TEST(ModelVertexList, CopyToGoesThroughTheOtherListsOperations)
{
    CModelVertexList source;
    source.SetName("Body");
    ASSERT_EQ(source.Resize(2), 1);
    source.GetAt(1)->Position.Set(4, 5, 6);
    CList<CModelVertex> target;
    target.Resize(7);
    EXPECT_EQ(source.CopyTo(&target), 1);
    EXPECT_STREQ(target.GetName(), "Body");
    ASSERT_EQ(target.GetCount(), 2u);
    EXPECT_EQ(target.GetAt(1)->Position.y, 5.0f);
    EXPECT_EQ(source.CopyTo(nullptr), 0);
    // Copying an empty, unnamed list empties the target and drops its name.
    CModelVertexList empty;
    EXPECT_EQ(empty.CopyTo(&target), 1);
    EXPECT_EQ(target.GetCount(), 0u);
    EXPECT_EQ(target.GetName(), nullptr);
}

TEST(ModelBone, LinkBoneHierarchyResolvesByExactName)
{
    CResourceList bones;
    AppendElement(&bones, NewBone("root", nullptr));
    AppendElement(&bones, NewBone("Arm", "root"));
    AppendElement(&bones, NewBone("Arm", "root"));        // a twin name
    AppendElement(&bones, NewBone("Hand", "Arm"));
    AppendElement(&bones, NewBone("Lost", "Nobody"));
    AppendElement(&bones, NewBone("Case", "arm"));        // case differs
    EXPECT_EQ(LinkBoneHierarchy(&bones), 1);

    CModelBone* root = BoneAt(bones, 0);
    EXPECT_EQ(root->Parent, nullptr);
    ASSERT_EQ(root->Children.GetCount(), 2u);
    EXPECT_EQ(ChildAt(*root, 0), BoneAt(bones, 1));
    EXPECT_EQ(ChildAt(*root, 1), BoneAt(bones, 2));
    // The first bone of the name is the parent; both twins list the child.
    EXPECT_EQ(BoneAt(bones, 3)->Parent, BoneAt(bones, 1));
    EXPECT_EQ(BoneAt(bones, 1)->Children.GetCount(), 1u);
    EXPECT_EQ(BoneAt(bones, 2)->Children.GetCount(), 1u);
    EXPECT_EQ(BoneAt(bones, 4)->Parent, nullptr);
    EXPECT_EQ(BoneAt(bones, 5)->Parent, nullptr);
}

TEST(ModelBone, CopySharesParentAndCopiesTheRest)
{
    CModelBone parent;
    parent.SetName("Spine");
    CModelBone bone;
    bone.SetName("Neck");
    bone.SetParent(&parent);
    EXPECT_STREQ(bone.ParentName, "Spine");
    bone.Transform.m[3][1] = 2.0f;
    bone.LinkValues[0] = 1;
    bone.LinkValues[2] = 0x3F800000;
    const CBoneInfluence influence{3, 70000, 0.25f};
    bone.Influences.Add(&influence);
    bone.SetIndex(9);
    CModelBone copy(bone);
    EXPECT_STREQ(copy.GetName(), "Neck");
    EXPECT_STREQ(copy.ParentName, "Spine");
    EXPECT_NE(copy.ParentName, bone.ParentName);
    EXPECT_EQ(copy.Parent, &parent);
    EXPECT_EQ(copy.Transform, bone.Transform);
    EXPECT_EQ(copy.LinkValues[2], 0x3F800000u);
    ASSERT_EQ(copy.Influences.GetCount(), 1u);
    EXPECT_EQ(copy.Influences.GetAt(0)->vertexIndex, 70000u);
    EXPECT_EQ(copy.Index, 9u);
    // SetParent with null keeps the name it had.
    bone.SetParent(nullptr);
    EXPECT_EQ(bone.Parent, nullptr);
    EXPECT_STREQ(bone.ParentName, "Spine");
}

TEST(ModelAnimation, CopyClonesKeySetsAndRebindsByName)
{
    CResourceList bones;
    AppendElement(&bones, NewBone("root", nullptr));
    AppendElement(&bones, NewBone("Tail", "root"));
    CModelAnimation animation;
    animation.SetName("Animation_1");
    animation.Length = 4800;
    auto* keys = new CModelBoneAnimation();
    keys->BoneName = ModelCopyText("Tail");
    keys->Bone = BoneAt(bones, 1);
    keys->MakeRotation()->AddKey(0.0f, CQuaternion(0, 0, 0, 1));
    keys->MakePosition()->AddKey(4800.0f, CVector3(1, 2, 3), 0.5f);
    void* slot = keys;
    ASSERT_EQ(animation.Tracks.Add(&slot), 1);
    auto* dangling = new CModelBoneAnimation();
    dangling->BoneName = ModelCopyText("Fin");
    slot = dangling;
    animation.Tracks.Add(&slot);

    CModelAnimation copy(animation);
    EXPECT_EQ(copy.Length, 4800u);
    ASSERT_EQ(copy.Tracks.GetCount(), 2u);
    auto* copied = static_cast<CModelBoneAnimation*>(copy.Tracks.GetAt(0));
    EXPECT_NE(copied, keys);
    EXPECT_EQ(copied->Bone, keys->Bone);
    EXPECT_NE(copied->Position, keys->Position);
    ASSERT_NE(copied->Position, nullptr);
    EXPECT_EQ(copied->Position->GetAt(0)->ease, 0.5f);
    EXPECT_STREQ(copied->Position->GetName(), "Position");
    EXPECT_EQ(copied->Scaling, nullptr);

    CResourceList other;
    AppendElement(&other, NewBone("Tail", nullptr));
    EXPECT_EQ(copy.RebindBones(&other), 1);
    EXPECT_EQ(copied->Bone, BoneAt(other, 0));
    EXPECT_EQ(static_cast<CModelBoneAnimation*>(copy.Tracks.GetAt(1))->Bone, nullptr);
    EXPECT_STREQ(copied->GetName(), "Tail");
    EXPECT_STREQ(copied->GetClassName(), "CModelBoneAnimation");
}

TEST(ModelMaterial, DefaultsCopiesAndTextureSwaps)
{
    CModelMaterial material;
    EXPECT_EQ(material.Diffuse.x, 1.0f);
    EXPECT_EQ(material.Ambient.x, 0.5f);
    EXPECT_EQ(material.Ambient.w, 1.0f);
    EXPECT_EQ(material.Specular.w, 1.0f);
    EXPECT_EQ(material.BlendMode, 1u);
    EXPECT_EQ(material.RestoreTextures(), 0);

    CModelMaterial plain(material);
    EXPECT_EQ(plain.Textures, nullptr);
    EXPECT_EQ(plain.SavedTextures, nullptr);

    CResourceBase skin("Skin.dds");
    CResourceBase eyes("Eyes.dds");
    EXPECT_EQ(material.AddTexture(&skin), 1);
    EXPECT_EQ(material.AddTexture(&eyes), 1);
    EXPECT_EQ(material.AddTexture(nullptr), 0);
    ASSERT_EQ(material.GetTextureCount(), 2u);
    EXPECT_NE(material.GetTexture(0), &skin);
    EXPECT_STREQ(material.GetTexture(0)->GetName(), "Skin.dds");
    ASSERT_NE(material.SavedTextures, nullptr);
    EXPECT_EQ(material.SavedTextures->GetCount(), 2u);

    // A swap: the replaced texture waits in the saved slot.
    CResourceBase glow("Glow.dds");
    void* original = material.Textures->GetAt(1);
    material.SavedTextures->GetData()[1] = original;
    material.Textures->GetData()[1] = static_cast<CValueBase*>(&glow);
    EXPECT_EQ(material.RestoreTextures(), 1);
    EXPECT_EQ(material.Textures->GetAt(1), original);
    EXPECT_EQ(material.SavedTextures->GetAt(1), nullptr);
    // Nothing saved: nothing changes.
    EXPECT_EQ(material.RestoreTextures(), 1);
    EXPECT_EQ(material.Textures->GetAt(1), original);

    material.SetName("Coat");
    material.Values[1] = 7;
    CModelMaterial copy(material);
    EXPECT_STREQ(copy.GetName(), "Coat");
    EXPECT_EQ(copy.Values[1], 7u);
    EXPECT_EQ(copy.GetTextureCount(), 2u);
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
    struct Case {
        CVector3 p;
        u32 x, y, z;
    } cases[] = {
        {{-2, -1, -1}, 0, 0, 0},
        {{-0.5f, 0, 0.5f}, 1, 0, 1},
        {{1.999f, 0.9f, -0.1f}, 3, 0, 0},
        {{2.0f, 5, 1}, 3, 0, 1},          // the far faces stay in the last cell
        {{-100, -100, 100}, 0, 0, 1},
        {{std::numeric_limits<f32>::quiet_NaN(), 0, 0}, 0, 0, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(grid.CellCoordinate(c.p, 0), c.x) << c.p.x;
        EXPECT_EQ(grid.CellCoordinate(c.p, 1), c.y) << c.p.y;
        EXPECT_EQ(grid.CellCoordinate(c.p, 2), c.z) << c.p.z;
    }
    EXPECT_EQ(grid.CellIndex(3, 0, 1), 7u);
    EXPECT_EQ(grid.GetCell({0, 0, 0}), nullptr);   // no cell list
    grid.Cells = new CResourceList();
    auto* block = new CModelBlock();
    AppendElement(grid.Cells, block);
    EXPECT_EQ(grid.GetCell({-2, 0, -1}), block);
    EXPECT_EQ(grid.GetCell({2, 0, 1}), nullptr);   // past the list's count
    // A grid with no cells along an axis looks up cell 0 of it.
    grid.CountY = 0;
    EXPECT_EQ(grid.CellCoordinate({0, 3, 0}, 1), 0u);
}

TEST(ModelObject, CopyOwnsItsListsAndItsBlocksShareThem)
{
    CModelObject object;
    object.SetName("Hull");
    object.GetVertexList()->Resize(3);
    object.GetVertexList()->FormatFlags = 1;
    object.GetVertexList()->Stride = 12;
    const u32 tri[3] = {0, 1, 2};
    object.GetIndexList()->Indices.SetArray(tri, 3);
    void* material = new CModelMaterial();
    object.GetMaterialList()->Add(&material);
    CModelCollisionGrid* grid = object.GetCollisionGrid();
    grid->CountX = grid->CountY = grid->CountZ = 1;
    grid->Cells = new CResourceList();
    auto* block = new CModelBlock(CBox({0, 0, 0}, {1, 1, 1}), object.GetVertexList(), object.GetIndexList(),
        object.GetMaterialList());
    block->GetIndexList()->Indices.SetArray(tri, 3);
    AppendElement(grid->Cells, block);
    auto* low = new CLowModelObject();
    low->SetValue(0.5f);
    AppendElement(object.GetLowModels(), low);

    CModelObject copy(object);
    EXPECT_STREQ(copy.GetName(), "Hull");
    EXPECT_NE(copy.GetVertexList(), object.GetVertexList());
    EXPECT_EQ(copy.GetVertexList()->Stride, 12u);
    EXPECT_NE(copy.GetMaterialList()->GetAt(0), object.GetMaterialList()->GetAt(0));
    CModelBlock* copiedBlock = copy.GetCollisionGrid()->GetCellAt(0);
    ASSERT_NE(copiedBlock, nullptr);
    EXPECT_NE(copiedBlock, block);
    EXPECT_EQ(copiedBlock->GetVertexList(), copy.GetVertexList());
    EXPECT_EQ(copiedBlock->GetObjectIndexList(), copy.GetIndexList());
    EXPECT_EQ(copiedBlock->GetMaterialList(), copy.GetMaterialList());
    EXPECT_NE(copiedBlock->GetIndexList(), block->GetIndexList());
    EXPECT_EQ(copiedBlock->GetBox().max.y, 1.0f);
    auto* copiedLow = ListElement<CLowModelObject>(copy.GetLowModels(), 0);
    ASSERT_NE(copiedLow, nullptr);
    EXPECT_EQ(copiedLow->GetValue(), 0.5f);
    EXPECT_NE(copiedLow->GetVertexList(), low->GetVertexList());
    EXPECT_STREQ(copy.GetClassName(), "CModelObject");
    EXPECT_STREQ(copiedBlock->GetClassName(), "CModelBlock");
    EXPECT_STREQ(copiedLow->GetClassName(), "CLowModelObject");
}

TEST(LowModelObject, CopiesOwnTheirListsAndShareTheExtraList)
{
    auto* low = new CLowModelObject();
    low->GetVertexList()->Resize(3);
    ASSERT_NE(low->GetExtraList(), nullptr);
    void* item = new CResourceBase("Item");
    low->GetExtraList()->Add(&item);
    auto* copy = new CLowModelObject(*low);
    EXPECT_EQ(copy->GetExtraList(), low->GetExtraList());
    copy->Release();
    EXPECT_EQ(copy->GetVertexList(), nullptr);
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
    EXPECT_EQ(object.FindRange(0), 0u);
    EXPECT_EQ(object.FindRange(5), 0u);
    EXPECT_EQ(object.FindRange(6), 2u);   // the empty range ends at 6
    EXPECT_EQ(object.FindRange(8), 2u);
    EXPECT_EQ(object.FindRange(9), 0u);   // past every range
}

TEST(Mesh, CopyRelinksBonesGroupsAndAnimations)
{
    CMesh mesh;
    mesh.SetName("Fighter.mdl");
    AppendElement(mesh.GetBones(), NewBone("root", nullptr));
    AppendElement(mesh.GetBones(), NewBone("Hip", "root"));
    LinkBoneHierarchy(mesh.GetBones());
    auto* group = new CPointerList();
    group->SetName("Lower");
    void* hip = static_cast<CValueBase*>(mesh.GetBone(1));
    group->Add(&hip);
    AppendElement(mesh.GetBoneGroups(), group);
    auto* animation = new CModelAnimation();
    auto* keys = new CModelBoneAnimation();
    keys->BoneName = ModelCopyText("Hip");
    keys->Bone = mesh.GetBone(1);
    void* slot = keys;
    animation->Tracks.Add(&slot);
    AppendElement(mesh.GetAnimations(), animation);

    CMesh copy(mesh);
    EXPECT_STREQ(copy.GetName(), "Fighter.mdl");
    EXPECT_EQ(copy.GetType(), 2);
    ASSERT_EQ(copy.GetBoneCount(), 2u);
    CModelBone* copiedHip = copy.GetBone(1);
    EXPECT_NE(copiedHip, mesh.GetBone(1));
    EXPECT_EQ(copiedHip->Parent, copy.GetBone(0));
    EXPECT_EQ(ChildAt(*copy.GetBone(0), 0), copiedHip);
    auto* copiedGroup = ListElement<CPointerList>(copy.GetBoneGroups(), 0);
    EXPECT_STREQ(copiedGroup->GetName(), "Lower");
    EXPECT_EQ(copiedGroup->GetAt(0), static_cast<void*>(static_cast<CValueBase*>(copiedHip)));
    auto* copiedKeys = static_cast<CModelBoneAnimation*>(copy.GetAnimation(0)->Tracks.GetAt(0));
    EXPECT_EQ(copiedKeys->Bone, copiedHip);
}

TEST(Mesh, BoneSphereLeavesOutInfluencesThatNameNothing)
{
    CMesh mesh;
    auto* object = new CModelObject();
    object->GetVertexList()->Resize(3);
    object->GetVertexList()->GetAt(0)->Position.Set(0, 0, 0);
    object->GetVertexList()->GetAt(1)->Position.Set(4, 0, 0);
    object->GetVertexList()->GetAt(2)->Position.Set(100, 100, 100);
    AppendElement(mesh.GetModelObjects(), object);
    AppendElement(mesh.GetBones(), NewBone("root", nullptr));
    CModelBone* bone = NewBone("Arm", "root");
    AppendElement(mesh.GetBones(), bone);
    const CBoneInfluence influences[] = {
        {0, 0, 1.0f}, {0, 1, 1.0f},
        {0, 3, 1.0f},              // past the vertices
        {1, 0, 1.0f},              // past the objects
        {0xFFFF, 0xFFFFFFFF, 1.0f},
    };
    bone->Influences.SetArray(influences, 5);
    EXPECT_EQ(mesh.ComputeBoneSphere(1), 1);
    EXPECT_EQ(bone->BoneSphere.centre.x, 2.0f);
    EXPECT_EQ(bone->BoneSphere.centre.y, 0.0f);
    EXPECT_EQ(bone->BoneSphere.radius, 2.0f);

    // Nothing left: the bone's own position, radius 0.
    CModelBone* root = mesh.GetBone(0);
    root->Position.Set(1, 2, 3);
    const CBoneInfluence lost{5, 0, 1.0f};
    root->Influences.SetArray(&lost, 1);
    EXPECT_EQ(mesh.ComputeBoneSphere(0), 1);
    EXPECT_EQ(root->BoneSphere.centre.z, 3.0f);
    EXPECT_EQ(root->BoneSphere.radius, 0.0f);
    EXPECT_EQ(mesh.ComputeBoneSphere(2), 0);
}
