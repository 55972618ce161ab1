#include "engine/model/ModelBone.h"

#include "engine/core/Memory.h"

#include <cstring>
#include <vector>

char* ModelCopyText(const char* text)
{
    if (!text) return nullptr;
    const size_t length = std::strlen(text);
    if (length >= UINT32_MAX) return nullptr;
    char* copy = static_cast<char*>(AlignedAlloc(u32(length + 1), 16));
    if (copy) std::memcpy(copy, text, length);
    return copy;
}

void ModelFreeText(char*& text)
{
    AlignedFree(text);
    text = nullptr;
}

bool ModelSameText(const char* a, const char* b)
{
    if (!a || !b) return a == b;
    return std::strcmp(a, b) == 0;
}

// ------------------------------------------------------------ CModelBone

CModelBone::CModelBone(const CModelBone& other)
    : CResourceBase(other),
      ParentName(ModelCopyText(other.ParentName)),
      Parent(other.Parent),
      Children(other.Children),
      Position(other.Position),
      Transform(other.Transform),
      FrameMatrix(other.FrameMatrix),
      CombinedMatrix(other.CombinedMatrix),
      Influences(other.Influences),
      BoneSphere(other.BoneSphere),
      Index(other.Index)
{
    std::memcpy(LinkValues, other.LinkValues, sizeof LinkValues);
}

CModelBone::~CModelBone() { CModelBone::Release(); }

i32 CModelBone::Release()
{
    ModelFreeText(ParentName);
    Children.Resize(0);
    Influences.Resize(0);
    return CResourceBase::Release();
}

void CModelBone::SetParent(CModelBone* bone)
{
    Parent = bone;
    if (bone) SetParentName(bone->GetName());
}

void CModelBone::SetParentName(const char* name)
{
    char* copy = ModelCopyText(name);
    ModelFreeText(ParentName);
    ParentName = copy;
}

i32 CModelBone::AddChild(CModelBone* bone)
{
    void* slot = bone;
    return Children.Add(&slot);
}

// ------------------------------------------------------- CModelBoneIndex

CModelBoneIndex::CModelBoneIndex(const CResourceList* bones)
{
    for (u32 i = 0; bones && i < bones->GetCount(); ++i) Add(static_cast<const CModelBone*>(bones->GetAt(i)), i);
}

void CModelBoneIndex::Add(const CModelBone* bone, u32 index)
{
    if (bone && bone->GetName()) m_first.emplace(bone->GetName(), index);
}

i32 CModelBoneIndex::Find(const char* name) const
{
    if (!name) return -1;
    const auto found = m_first.find(name);
    return found == m_first.end() ? -1 : i32(found->second);
}

CModelBone* CModelBoneIndex::FindBone(const CResourceList* bones, const char* name) const
{
    const i32 at = Find(name);
    return at >= 0 && bones && u32(at) < bones->GetCount() ? static_cast<CModelBone*>(bones->GetAt(u32(at))) : nullptr;
}

i32 LinkBoneHierarchy(const CResourceList* bones)
{
    if (!bones) return 1;
    const CModelBoneIndex index(bones);
    // Each parent name's children, in list order.
    std::unordered_map<std::string, std::vector<void*>> childrenOf;
    for (u32 i = 0; i < bones->GetCount(); ++i) {
        auto* bone = static_cast<CModelBone*>(bones->GetAt(i));
        if (bone && bone->ParentName) childrenOf[bone->ParentName].push_back(bone);
    }
    i32 ok = 1;
    for (u32 i = 0; i < bones->GetCount(); ++i) {
        auto* bone = static_cast<CModelBone*>(bones->GetAt(i));
        if (!bone) continue;
        bone->Parent = index.FindBone(bones, bone->ParentName);
        bone->Children.Resize(0);
        const auto found = bone->GetName() ? childrenOf.find(bone->GetName()) : childrenOf.end();
        if (found == childrenOf.end()) continue;
        if (!bone->Children.SetArray(found->second.data(), u32(found->second.size()))) ok = 0;
    }
    return ok;
}

// ---------------------------------------------------- CModelBoneAnimation

namespace {

template <class Track>
Track* CopyTrack(const Track* track)
{
    return track ? static_cast<Track*>(track->Clone()) : nullptr;
}

}  // namespace

void* CModelBoneAnimation::operator new(size_t size) noexcept
{
    return size <= UINT32_MAX ? AlignedAlloc(u32(size), 16) : nullptr;
}

void CModelBoneAnimation::operator delete(void* block) noexcept { AlignedFree(block); }

CModelBoneAnimation::CModelBoneAnimation(const CModelBoneAnimation& other)
    : Bone(other.Bone),
      BoneName(ModelCopyText(other.BoneName)),
      Position(CopyTrack(other.Position)),
      Scaling(CopyTrack(other.Scaling)),
      Rotation(CopyTrack(other.Rotation))
{
}

CModelBoneAnimation::~CModelBoneAnimation() { CModelBoneAnimation::Clear(); }

i32 CModelBoneAnimation::Clear()
{
    ModelFreeText(BoneName);
    delete Position;
    delete Scaling;
    delete Rotation;
    Position = Scaling = nullptr;
    Rotation = nullptr;
    return 1;
}

CModelBoneAnimation* CModelBoneAnimation::CreatePooled(void* memory) const
{
    return memory ? new (memory) CModelBoneAnimation() : nullptr;
}

CModelBoneAnimation* CModelBoneAnimation::Create() const { return new CModelBoneAnimation(); }

CModelBoneAnimation* CModelBoneAnimation::ClonePooled(void* memory) const
{
    return memory ? new (memory) CModelBoneAnimation(*this) : nullptr;
}

CModelBoneAnimation* CModelBoneAnimation::Clone() const { return new CModelBoneAnimation(*this); }

CModelBoneAnimation::VectorTrack* CModelBoneAnimation::MakePosition()
{
    if (!Position) Position = new VectorTrack("Position");
    return Position;
}

CModelBoneAnimation::VectorTrack* CModelBoneAnimation::MakeScaling()
{
    if (!Scaling) Scaling = new VectorTrack("Scaling");
    return Scaling;
}

CModelBoneAnimation::RotationTrack* CModelBoneAnimation::MakeRotation()
{
    if (!Rotation) Rotation = new RotationTrack("Rotation");
    return Rotation;
}

// ------------------------------------------------------- CModelAnimation

i32 CModelAnimation::Release()
{
    Tracks.Release();
    return CResourceBase::Release();
}

i32 CModelAnimation::RebindBones(const CResourceList* bones) { return RebindBones(bones, CModelBoneIndex(bones)); }

i32 CModelAnimation::RebindBones(const CResourceList* bones, const CModelBoneIndex& index)
{
    for (u32 i = 0; i < Tracks.GetCount(); ++i) {
        auto* track = static_cast<CModelBoneAnimation*>(Tracks.GetAt(i));
        if (track) track->Bone = index.FindBone(bones, track->BoneName);
    }
    return 1;
}
