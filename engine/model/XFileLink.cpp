// The linking pass of the .x reader: after the whole file is read, each node
// finds the nodes its record refers to, every index that is used is checked
// against what it indexes, and the meshes are cut into triangles.
#include "engine/model/XFileReader.h"

#include <algorithm>

namespace {

// A node's name for messages: "Mesh \"Body\"" or "Mesh".
std::string Describe(const CqelXNode& node)
{
    std::string s = XTemplateName(node.GetType());
    if (node.HasName()) s += " \"" + node.Name + "\"";
    return s;
}

}  // namespace

i32 CqelAnalysXFile::LinkNodes(CqelXModel* tree)
{
    if (!tree) return 0;
    for (u32 i = 0; i < tree->GetNodeCount(); ++i) {
        CqelXNode& node = *tree->GetNode(i);
        bool ok = true;
        switch (node.GetType()) {
        case kXMesh: ok = LinkMesh(node); break;
        case kXMeshMaterialList: ok = LinkMaterialList(node); break;
        case kXMaterial:
            node.As<XMaterial>()->Textures = CqelXModel::CollectChildren(kXTextureFilename, &node);
            break;
        case kXFrame: ok = LinkFrame(node); break;
        case kXAnimation: {
            XAnimation& animation = *node.As<XAnimation>();
            animation.Keys = CqelXModel::CollectChildren(kXAnimationKey, &node);
            animation.Frame = CqelXModel::FindChildOrReference(kXFrame, &node);
            break;
        }
        case kXAnimationSet: ok = LinkAnimationSet(*tree, node); break;
        case kXSkinWeights: ok = LinkSkinWeights(*tree, node); break;
        default: break;
        }
        if (!ok) return 0;
    }
    return 1;
}

bool CqelAnalysXFile::LinkMesh(CqelXNode& node)
{
    XMesh& mesh = *node.As<XMesh>();
    mesh.TextureCoords = CqelXModel::FindChildOrReference(kXMeshTextureCoords, &node);
    mesh.Normals = CqelXModel::FindChildOrReference(kXMeshNormals, &node);
    mesh.VertexColors = CqelXModel::FindChildOrReference(kXMeshVertexColors, &node);
    mesh.MaterialList = CqelXModel::FindChildOrReference(kXMeshMaterialList, &node);
    mesh.Frame = CqelXModel::FindAncestorOrReference(kXFrame, &node);
    mesh.SkinHeader = CqelXModel::FindChildOrReference(kXSkinMeshHeader, &node);
    // As many as there are, whatever the header's bone count says.
    mesh.SkinWeights = CqelXModel::CollectChildren(kXSkinWeights, &node);

    const u32 vertexCount = u32(mesh.Vertices.size());
    for (u32 f = 0; f < mesh.Faces.GetCount(); ++f) {
        for (u32 k = 0; k < mesh.Faces.GetSize(f); ++k) {
            const u32 index = mesh.Faces.GetFace(f)[k];
            if (index >= vertexCount) {
                return Fail(node.Line, "%s: face %u uses vertex %u of %u", Describe(node).c_str(), f, index,
                    vertexCount);
            }
        }
    }
    // The vertex indices listed with colours and the normal faces are not
    // used as indices (colours go by position; normals by the faces only
    // when all of theirs are in range): nothing to check.
    return TriangulateMesh(&node) != 0;
}

bool CqelAnalysXFile::LinkMaterialList(CqelXNode& node)
{
    XMeshMaterialList& list = *node.As<XMeshMaterialList>();
    list.Materials = CqelXModel::CollectChildren(kXMaterial, &node);
    // Materials past the announced count are kept (written, drawn by no
    // range); fewer would leave faces without one.
    if (list.Materials.size() < list.MaterialCount) {
        return Fail(node.Line, "MeshMaterialList: %u materials announced, %u given", list.MaterialCount,
            u32(list.Materials.size()));
    }
    return true;
}

bool CqelAnalysXFile::LinkFrame(CqelXNode& node)
{
    XFrame& frame = *node.As<XFrame>();
    frame.Transform = CqelXModel::FindChildOrReference(kXFrameTransformMatrix, &node);
    frame.ParentFrame = CqelXModel::FindAncestor(kXFrame, &node);
    if (frame.Transform) {
        frame.LocalMatrix = frame.Transform->As<XFrameTransformMatrix>()->Matrix;
    } else if (frame.ParentFrame) {
        frame.LocalMatrix = frame.ParentFrame->As<XFrame>()->LocalMatrix;
    }
    frame.Children = CqelXModel::CollectChildren(kXFrame, &node);
    return true;
}

bool CqelAnalysXFile::LinkAnimationSet(CqelXModel& tree, CqelXNode& node)
{
    XAnimationSet& set = *node.As<XAnimationSet>();
    set.Animations = CqelXModel::CollectChildren(kXAnimation, &node);
    set.MaxTime = 0;
    for (const CqelXNode* animation : set.Animations) {
        // The animation's own links come from its node: it may not have
        // been linked yet when the set references one defined later.
        for (const CqelXNode* keyNode : CqelXModel::CollectChildren(kXAnimationKey, animation)) {
            const XAnimationKey& key = *keyNode->As<XAnimationKey>();
            if (key.GetCount() > 0) set.MaxTime = std::max(set.MaxTime, key.Times.back());
        }
    }
    tree.SetAnimated(true);
    return true;
}

bool CqelAnalysXFile::LinkSkinWeights(const CqelXModel& tree, CqelXNode& node)
{
    XSkinWeights& weights = *node.As<XSkinWeights>();
    weights.Frame = tree.FindNode(kXFrame, weights.TransformNodeName.c_str());
    weights.Mesh = CqelXModel::FindAncestorOrReference(kXMesh, &node);
    // Weights of no mesh stay unlinked; the converter gives them no
    // influences. A vertex index past the mesh is written as it is: the model
    // reader binds an influence only to a vertex that is there.
    return true;
}

i32 CqelAnalysXFile::TriangulateMesh(CqelXNode* node)
{
    XMesh* mesh = node ? node->As<XMesh>() : nullptr;
    if (!mesh) return 0;
    const XFaceList& faces = mesh->Faces;
    const u32 faceCount = faces.GetCount();
    const CqelXNode* listNode = mesh->MaterialList;
    const XMeshMaterialList* list = listNode ? listNode->As<XMeshMaterialList>() : nullptr;

    // Faces that share a material are drawn as one range: the material of
    // each face, then the indices counted per material.
    u32 groups = 1;
    std::vector<u32> faceGroup(faceCount, 0);
    if (list) {
        // The materials must be there before anything is sized by their count.
        groups = list->MaterialCount;
        const u32 materials = CqelXModel::CountChildrenOfType(kXMaterial, listNode);
        if (materials < groups) {
            Fail(listNode->Line, "MeshMaterialList: %u materials announced, %u given", groups, materials);
            return 0;
        }
        // One entry stands for every face; entries past the faces are
        // never read, so what they hold does not matter.
        const u32 given = u32(list->FaceMaterials.size());
        if (given < faceCount && given != 1) {
            Fail(listNode->Line, "MeshMaterialList: %u face materials for the %u faces of %s", given, faceCount,
                Describe(*node).c_str());
            return 0;
        }
        for (u32 f = 0; f < faceCount; ++f) {
            faceGroup[f] = list->FaceMaterials[given == 1 ? 0 : f];
            if (faceGroup[f] >= groups) {
                Fail(listNode->Line, "MeshMaterialList: face %u uses material %u of %u", f, faceGroup[f], groups);
                return 0;
            }
        }
    }
    std::vector<u64> counts(groups, 0);
    for (u32 f = 0; f < faceCount; ++f) counts[faceGroup[f]] += 3 * u64(faces.GetSize(f) - 2);
    u64 total = 0;
    mesh->Ranges.assign(groups, {0, 0});
    for (u32 g = 0; g < groups; ++g) {
        mesh->Ranges[g] = {u32(total), u32(counts[g])};
        total += counts[g];
        if (total > UINT32_MAX) {
            Fail(node->Line, "%s: too many triangles", Describe(*node).c_str());
            return 0;
        }
    }
    mesh->TriangleIndices.assign(total, 0);
    std::vector<u32> next(groups);
    for (u32 g = 0; g < groups; ++g) next[g] = mesh->Ranges[g].first;
    for (u32 f = 0; f < faceCount; ++f) {
        const u32* face = faces.GetFace(f);
        u32* out = mesh->TriangleIndices.data() + next[faceGroup[f]];
        for (u32 k = 2; k < faces.GetSize(f); ++k) {
            *out++ = face[0];
            *out++ = face[k - 1];
            *out++ = face[k];
        }
        next[faceGroup[f]] += 3 * (faces.GetSize(f) - 2);
    }
    return 1;
}
