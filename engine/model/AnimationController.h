// CAnimationController: the animation state of one drawn instance of a
// mesh. Each bone has a frame record that plays the keys of one animation
// set at its own time and speed, blends from the pose it showed when a new
// set started, and yields the bone's world and skin matrices; the skin
// matrices form the palette that skinned drawing uses.
//
// Per frame: SetAnimation when the object's action changes, AdvanceTime
// with the elapsed seconds, UpdateMatrices with the object's world matrix,
// then CMesh::Draw with the controller. Key times are ticks, 4800 a second.
//
// Bones whose link type is not 0 do not follow keys: they swing behind
// their parent (gravity, a wind direction, the parent's own motion) and
// stay outside the collision spheres of the other bones.
//
// The controller points at the mesh's bone and animation lists: the mesh
// must outlive it. Main thread only.
#pragma once

#include "engine/core/List.h"
#include "engine/core/Matrix.h"
#include "engine/core/Quaternion.h"
#include "engine/core/ResourceList.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"
#include "engine/model/ModelBone.h"

#include <cstddef>
#include <type_traits>
#include <vector>

class CModelBone;
class CModelBoneAnimation;
class CShader;

// One bone's frame record. Index comes first and Bone, Parent, Children
// last; the rest is private to the controller and its users.
struct CAnimationFrame {
    u32 Index;
    CMatrix SkinMatrix;
    CMatrix PrevSkinMatrix;
    CMatrix WorldMatrix;
    CMatrix CombinedMatrix;
    CMatrix LocalMatrix;
    // Callers may set these to bend a bone: the first acts in the bone's
    // own bind orientation, the second turns the bone about its world
    // position in the model's orientation; the third is not used by the
    // update. A linked frame keeps its swing in the first.
    CMatrix Adjust[3];
    CVector3 Position, Scaling;
    CQuaternion Rotation;
    CVector3 PrevPosition, PrevScaling;
    CQuaternion PrevRotation;
    CVector3 FromPosition, FromScaling;
    CQuaternion FromRotation;
    CModelBoneAnimation* BoneAnimation;
    f32 BlendDuration, BlendStart, Time;
    f32 Speed;
    u32 TrackLoop;
    u8 Lock;
    // Swing state of a linked frame, in the bone's bind space.
    CVector3 SwingOffset, SwingVelocity;
    CModelBone* Bone;
    CAnimationFrame* Parent;
    CPointerList* Children;   // owned by the controller

    u32 GetChildCount() const { return Children ? Children->GetCount() : 0; }
    CAnimationFrame* GetChild(u32 i) const { return static_cast<CAnimationFrame*>(Children->GetAt(i)); }
    const CMatrix* GetCombinedMatrix() const;
};
static_assert(std::is_trivially_copyable_v<CAnimationFrame>);

class CAnimationController {
public:
    static constexpr f32 kTicksPerSecond = 4800.0f;
    // Matrices the default effect's palette holds ("g_WorldMatrixArray").
    static constexpr u32 kShaderPaletteSize = 75;
    // Device world matrices 0..255.
    static constexpr u32 kDevicePaletteSize = 256;

    // One frame per bone, linked as the bones are by name; the bind pose
    // is not computed yet (ResetModelPose). Either list may be null.
    CAnimationController(CResourceList* bones, CResourceList* animations);
    CAnimationController(const CAnimationController&) = delete;
    CAnimationController& operator=(const CAnimationController&) = delete;
    virtual ~CAnimationController();
    virtual const char* GetClassName() const { return "CAnimationController"; }

    static void* operator new(size_t size) noexcept;
    static void operator delete(void* block) noexcept;

    // Frees the frames and the palette and deletes the controller.
    void Destroy();

    // Starts set index on every frame it animates, at start seconds, with
    // the speed, blending from the current pose over blend seconds, looping
    // past the last key when loop is set. mode: 0 plays unless the frame is
    // locked, 1 the same and locks, 2 plays always and unlocks, 3 plays
    // always and locks. Without a blend the new pose shows at once. 0
    // without lists or for an index past the sets.
    i32 SetAnimation(u32 index, f32 start, f32 speed, f32 blend, u32 loop, u32 mode);
    i32 SetAnimationSimple(u32 index, f32 blend, u32 loop, u32 mode);
    // Plays every frame on by seconds (times speed) and computes its local
    // matrix: scaling, then rotation, then translation. A time that is not
    // a finite number plays nothing. 1.
    i32 AdvanceTime(f32 seconds);
    // Locks every frame for modes 1 and 3, unlocks for the others. 0
    // without lists.
    i32 SetLoopMode(u32 mode);
    // The latest key of the set in seconds; 0 without lists or past the
    // sets.
    f32 GetAnimationLength(u32 index) const;
    // World, skin and palette matrices of every frame under root (null:
    // the identity), parents before children. 0 without frames.
    i32 UpdateMatrices(const CMatrix* root);
    // The palette to the effect's "g_WorldMatrixArray" (by its handle), or
    // without an effect to device world matrices 0 and on. The effect keeps
    // as many as its array holds; a mesh longer than that draws without
    // the effect. Device matrices stop at 256. With an effect: 1 or 0;
    // without: the matrices set.
    i32 UploadMatrices(CShader* shader) const;
    // The first pose of set 0 (the bind pose without sets). Bones without
    // a frame matrix of their own get one from their posed world matrix,
    // and the palette is computed again with it. 0 without frames.
    i32 ResetModelPose();

    // The frame of the bone named name; null when no bone has it.
    CAnimationFrame* GetFrameByName(const char* name);
    CMatrix* GetMatrixPalette() { return m_palette; }
    const CMatrix* GetMatrixPalette() const { return m_palette; }
    CList<CAnimationFrame>* GetBoneList() { return &m_frames; }
    u32 GetFrameCount() const { return m_frames.GetCount(); }
    CAnimationFrame* GetFrame(u32 i) { return m_frames.GetAt(i); }
    const CMatrix& GetRootMatrix() const { return m_root; }

    f32 GetGravity() const { return m_gravity; }
    void SetGravity(f32 gravity) { m_gravity = gravity; }
    const CVector3& GetDirection() const { return m_direction; }
    void SetDirection(const CVector3& direction) { m_direction = direction; }

private:
    void Build();
    // Frames whose rotation waits for a slerp between two keys.
    struct PendingTurns {
        CAnimationFrame* frame[4];
        const CQuaternion* from[4];
        const CQuaternion* to[4];
        f32 weight[4];
        f32 blend[4];   // each frame's f
        u32 count = 0;
    };
    // Moves the frame's time on and samples its keys; a rotation between two
    // keys is left in pending for FinishTurns, which slerps four at a time.
    void AdvanceFrame(CAnimationFrame& frame, f32 ticks, PendingTurns& pending);
    void FinishTurns(PendingTurns& pending);
    // The rest of the frame's step once its keyed rotation (null: none this
    // step) is known: the blend from the set's start, the translation and
    // the local matrix.
    void FinishFrame(CAnimationFrame& frame, f32 f, const CQuaternion* keyed);
    // The update of top and of every frame below it, each by its kind: key
    // driven, or the swing of a linked chain. Below a plain top the linked
    // chains are left out.
    void UpdateTree(CAnimationFrame& top, const CMatrix* parentWorld);
    void UpdatePlain(CAnimationFrame& frame, const CMatrix* parentWorld);
    void UpdateLinked(CAnimationFrame& frame, const CMatrix* parentWorld);
    // The push on a linked frame's tip this update, in its bind space.
    CVector3 SwingVelocity(const CAnimationFrame& frame, const CMatrix& skin, f32 t, f32 weight) const;
    // Turns the swung direction to (bind space, from the joint) out of the
    // other bones' collision spheres; true when it had to.
    bool KeepOutOfSpheres(const CAnimationFrame& frame, const CMatrix& bind, f32 scale, CVector3& to) const;
    // world x (T^-1 Rr^-1 A2 Rr T), T the translation of world: the second
    // adjustment turns about the bone's own position.
    CMatrix TurnInPlace(const CMatrix& world, const CMatrix& adjust) const;
    void StoreSkin(CAnimationFrame& frame, const CMatrix& skin);

    CMatrix m_root;
    CMatrix m_rootRotation;
    CMatrix m_rootRotationInverse;
    CResourceList* m_bones = nullptr;
    CResourceList* m_animations = nullptr;
    CModelBoneIndex m_boneIndex;   // m_bones by name, as the frames were built
    CList<CAnimationFrame> m_frames;
    CPointerList m_linked;      // tops of the linked chains
    CPointerList m_colliders;   // frames with a collision radius
    std::vector<CAnimationFrame*> m_stack;   // scratch of the tree walks
    f32 m_ticksPerSecond = kTicksPerSecond;
    f32 m_gravity = -9.8f;
    CVector3 m_direction{0.0f, 0.0f, 1.0f};
    CMatrix* m_palette = nullptr;
    // Set once a first update has made every skin matrix.
    bool m_posed = false;
    // ResetModelPose runs: the swinging bones take their bind pose.
    bool m_resetting = false;
};

// The quaternion key blend of the animation tracks: spherical, the short
// way round.
u32 SlerpQuaternionKeys(const CQuaternion* a, const CQuaternion* b, f32 w, CQuaternion* out);
