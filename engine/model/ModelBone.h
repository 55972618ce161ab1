// The bone hierarchy and the animation sets of a mesh: CModelBone (one
// bone with its skin influences), CModelAnimation (an animation set) and
// CModelBoneAnimation (the position, scaling and rotation keys of one bone
// within a set).
#pragma once

#include "engine/core/KeyFrameList.h"
#include "engine/core/List.h"
#include "engine/core/Matrix.h"
#include "engine/core/Quaternion.h"
#include "engine/core/ResourceBase.h"
#include "engine/core/ResourceList.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"

#include <string>
#include <type_traits>
#include <unordered_map>

// Owned texts of the model classes: AlignedAlloc'd copies, null for null.
char* ModelCopyText(const char* text);
// Frees text and sets it null.
void ModelFreeText(char*& text);
// Both null, or both set and equal byte for byte.
bool ModelSameText(const char* a, const char* b);

struct CSphere {
    CVector3 centre;
    f32 radius = 0.0f;
};

// One vertex that a bone moves.
struct CBoneInfluence {
    u16 objectIndex;
    u32 vertexIndex;
    f32 weight;
};
static_assert(sizeof(CBoneInfluence) == 12 && std::is_trivially_copyable_v<CBoneInfluence>);

class CModelBone : public CResourceBase {
    ORV_VALUE_CLASS(CModelBone)

public:
    CModelBone() = default;
    // The parent pointer is shared (a mesh copy relinks it), Children a copy
    // of the source's list.
    CModelBone(const CModelBone& other);
    CModelBone& operator=(const CModelBone&) = delete;
    ~CModelBone() override;

    // Frees ParentName and empties Children and Influences, then the
    // resource release. 1.
    i32 Release() override;

    // Parent = bone; a non-null bone's name becomes ParentName.
    void SetParent(CModelBone* bone);
    // Replaces ParentName with a copy of name (null clears it).
    void SetParentName(const char* name);
    // 1, 0 when the list cannot grow.
    i32 AddChild(CModelBone* bone);

    void SetIndex(u32 index) { Index = index; }
    u32* GetLinks() { return LinkValues; }
    CList<CBoneInfluence>* GetInfluences() { return &Influences; }
    const CList<CBoneInfluence>* GetInfluences() const { return &Influences; }
    CMatrix* GetFrameMatrix() { return &FrameMatrix; }

    char* ParentName = nullptr;
    CModelBone* Parent = nullptr;
    CPointerList Children;
    CVector3 Position;
    CMatrix Transform;
    CMatrix FrameMatrix;
    CMatrix CombinedMatrix;
    CList<CBoneInfluence> Influences;
    // The link type, then two values the file stores as floats, kept as
    // their bits.
    u32 LinkValues[3] = {};
    CSphere BoneSphere;
    u32 Index = 0;
};

// The keys of one bone within an animation set. Not on the engine root:
// it has its own nine operations.
class CModelBoneAnimation {
public:
    using VectorTrack = CKeyFrameList<CVector3>;
    using RotationTrack = CKeyFrameList<CQuaternion>;

    CModelBoneAnimation() = default;
    // Bone shared; the name and the three tracks copied. A track that
    // cannot be copied is left out.
    CModelBoneAnimation(const CModelBoneAnimation& other);
    CModelBoneAnimation& operator=(const CModelBoneAnimation&) = delete;
    virtual ~CModelBoneAnimation();

    static void* operator new(size_t size) noexcept;
    static void operator delete(void* block) noexcept;
    static void* operator new(size_t, void* memory) noexcept { return memory; }
    static void operator delete(void*, void*) noexcept {}

    // Frees BoneName and deletes the tracks. 1.
    virtual i32 Clear();
    virtual const char* GetName() const { return BoneName; }
    virtual const char* GetClassName() const { return "CModelBoneAnimation"; }
    virtual u32 GetSize() const { return u32(sizeof(CModelBoneAnimation)); }
    virtual CModelBoneAnimation* CreatePooled(void* memory) const;
    virtual CModelBoneAnimation* Create() const;
    virtual CModelBoneAnimation* ClonePooled(void* memory) const;
    virtual CModelBoneAnimation* Clone() const;

    // The track of that kind, made empty on first use with its name
    // ("Position", "Scaling", "Rotation"); null when it cannot be made.
    VectorTrack* MakePosition();
    VectorTrack* MakeScaling();
    RotationTrack* MakeRotation();

    CModelBone* Bone = nullptr;
    char* BoneName = nullptr;
    VectorTrack* Position = nullptr;
    VectorTrack* Scaling = nullptr;
    RotationTrack* Rotation = nullptr;
};

using CBoneAnimationList = CResourceListOf<CModelBoneAnimation>;

// The bones of a list by name, indexed once: a model of thousands of bones
// would otherwise scan the list for every name it resolves. Finds what the
// list's FindIndexByName finds (the first bone of a name, byte for byte).
class CModelBoneIndex {
public:
    CModelBoneIndex() = default;
    explicit CModelBoneIndex(const CResourceList* bones);

    // Adds the bone at index under its name, unless a bone of that name is
    // in already.
    void Add(const CModelBone* bone, u32 index);
    // The index of the first bone named name; -1 when none or name is null.
    i32 Find(const char* name) const;
    // That bone in bones (the list indexed); null when none.
    CModelBone* FindBone(const CResourceList* bones, const char* name) const;

private:
    std::unordered_map<std::string, u32> m_first;
};

// Resolves every bone's Parent and Children by name within bones (a list
// of CModelBone): Parent = the first bone named its ParentName (null when
// none), Children = every bone whose ParentName is its name, in list order.
// 1, or 0 when a children list cannot grow.
i32 LinkBoneHierarchy(const CResourceList* bones);

class CModelAnimation : public CResourceBase {
    ORV_VALUE_CLASS(CModelAnimation)

public:
    CModelAnimation() = default;
    // The value copied, every key set cloned (their bones still the
    // source's until RebindBones).
    CModelAnimation(const CModelAnimation& other) = default;
    CModelAnimation& operator=(const CModelAnimation&) = delete;
    ~CModelAnimation() override = default;

    // Deletes the key sets, then the resource release. 1.
    i32 Release() override;

    // Each key set's Bone = the bone of its BoneName in bones (null when
    // none). 1.
    i32 RebindBones(const CResourceList* bones);
    // The same with bones already indexed.
    i32 RebindBones(const CResourceList* bones, const CModelBoneIndex& index);

    u32 GetLength() const { return Length; }
    void SetLength(u32 length) { Length = length; }
    CBoneAnimationList* GetTracks() { return &Tracks; }
    const CBoneAnimationList* GetTracks() const { return &Tracks; }

    // The time of the latest key in ticks, as the model file stores it.
    u32 Length = 0;
    CBoneAnimationList Tracks;
};
