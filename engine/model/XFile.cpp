#include "engine/model/XFile.h"

#include <cstring>

namespace {

constexpr const char* kTemplateNames[kXTemplateCount] = {
    "Mesh", "MeshTextureCoords", "MeshNormals", "MeshVertexColors", "MeshMaterialList", "Material",
    "TextureFilename", "Frame", "FrameTransformMatrix", "AnimTicksPerSecond", "Animation", "AnimationSet",
    "AnimationKey", "XSkinMeshHeader", "SkinWeights", "Relation",
};

// An empty record of the alternative at index type.
template <size_t... I>
XData MakeRecord(u32 type, std::index_sequence<I...>)
{
    XData data;
    ((type == I ? (void)data.emplace<I>() : (void)0), ...);
    return data;
}

}  // namespace

const char* XTemplateName(u32 type) { return type < kXTemplateCount ? kTemplateNames[type] : nullptr; }

i32 FindXTemplate(const char* name)
{
    if (!name) return -1;
    for (u32 i = 0; i < kXTemplateCount; ++i) {
        if (std::strcmp(name, kTemplateNames[i]) == 0) return i32(i);
    }
    return -1;
}

u32 XKeyValueCount(u32 keyType)
{
    switch (keyType) {
    case kXKeyRotation: return 4;
    case kXKeyScaling:
    case kXKeyPosition: return 3;
    case kXKeyMatrix: return 16;
    default: return 0;
    }
}

CqelXNode* CqelXModel::AddNode(u32 type, const char* name, CqelXNode* parent)
{
    if (type >= kXTemplateCount) return nullptr;
    auto node = std::make_unique<CqelXNode>();
    node->Data = MakeRecord(type, std::make_index_sequence<kXTemplateCount>());
    if (name) node->Name = name;
    node->Parent = parent;
    if (parent) {
        parent->Children.push_back(node.get());
        parent->Contents.push_back(node.get());
    }
    if (node->HasName()) {
        m_firstNamed.emplace(node->Name, node.get());
        m_firstOfType.emplace(char(type) + node->Name, node.get());
    }
    m_nodes.push_back(std::move(node));
    return m_nodes.back().get();
}

void CqelXModel::Clear()
{
    m_nodes.clear();
    m_firstNamed.clear();
    m_firstOfType.clear();
    m_animated = false;
}

u32 CqelXModel::CountNodesOfType(u32 type) const
{
    u32 count = 0;
    for (const auto& node : m_nodes) count += node->GetType() == type ? 1 : 0;
    return count;
}

CqelXNode* CqelXModel::FindNode(i32 type, const char* name) const
{
    if (!name || !*name || type >= i32(kXTemplateCount)) return nullptr;
    const auto& index = type < 0 ? m_firstNamed : m_firstOfType;
    const auto found = index.find(type < 0 ? std::string(name) : char(type) + std::string(name));
    return found == index.end() ? nullptr : found->second;
}

std::vector<const CqelXNode*> CqelXModel::CollectNodes(u32 type) const
{
    std::vector<const CqelXNode*> out;
    for (const auto& node : m_nodes) {
        if (node->GetType() == type) out.push_back(node.get());
    }
    return out;
}

const CqelXNode* CqelXModel::FindChild(u32 type, const CqelXNode* node)
{
    if (!node) return nullptr;
    for (const CqelXNode* child : node->Children) {
        if (child->GetType() == type) return child;
    }
    return nullptr;
}

const CqelXNode* CqelXModel::FindReference(u32 type, const CqelXNode* node)
{
    if (!node) return nullptr;
    for (const CqelXNode* ref : node->References) {
        if (ref->GetType() == type) return ref;
    }
    return nullptr;
}

const CqelXNode* CqelXModel::FindAncestor(u32 type, const CqelXNode* node)
{
    for (const CqelXNode* up = node ? node->Parent : nullptr; up; up = up->Parent) {
        if (up->GetType() == type) return up;
    }
    return nullptr;
}

const CqelXNode* CqelXModel::FindChildOrReference(u32 type, const CqelXNode* node)
{
    const CqelXNode* found = FindChild(type, node);
    return found ? found : FindReference(type, node);
}

const CqelXNode* CqelXModel::FindAncestorOrReference(u32 type, const CqelXNode* node)
{
    const CqelXNode* found = FindAncestor(type, node);
    return found ? found : FindReference(type, node);
}

std::vector<const CqelXNode*> CqelXModel::CollectChildren(u32 type, const CqelXNode* node)
{
    std::vector<const CqelXNode*> out;
    if (!node) return out;
    for (const CqelXNode* member : node->Contents) {
        if (member->GetType() == type) out.push_back(member);
    }
    return out;
}

void CqelXModel::AddReference(CqelXNode* node, CqelXNode* target)
{
    if (!node || !target) return;
    node->References.push_back(target);
    node->Contents.push_back(target);
}

u32 CqelXModel::CountChildrenOfType(u32 type, const CqelXNode* node) { return u32(CollectChildren(type, node).size()); }
