#include "engine/model/AnimationController.h"

#include "engine/core/Memory.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/graphics/Shader.h"
#include "engine/model/Mesh.h"
#include "engine/model/ModelBone.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace {

const CMatrix kIdentity;

bool IsIdentity(const CMatrix& m) { return m == kIdentity; }

u32 LinkType(const CModelBone* bone) { return bone ? bone->LinkValues[0] : 0; }

bool Finite(f32 v) { return std::isfinite(v); }

// Whether every frame above this one is plain, up to a root. A chain below
// a plain bone of another chain is walked with that chain, and a loop of
// parents reaches no root: neither may be walked on its own as well.
bool BelowPlainFramesOnly(const CAnimationFrame& frame, u32 count)
{
    u32 steps = 0;
    for (const CAnimationFrame* up = frame.Parent; up; up = up->Parent) {
        if (LinkType(up->Bone) != 0 || ++steps > count) return false;
    }
    return true;
}

// The bind values of a bone's Transform: its translation, axis lengths and
// rotation, so a blend that starts from a frame never animated starts from
// the pose it shows.
void TakeBindValues(CAnimationFrame& frame)
{
    const CMatrix& t = frame.LocalMatrix;
    frame.Position.Set(t.m[3][0], t.m[3][1], t.m[3][2]);
    frame.Scaling = t.ScalingPart();
    t.ToQuaternion(&frame.Rotation);
    frame.PrevPosition = frame.FromPosition = frame.Position;
    frame.PrevScaling = frame.FromScaling = frame.Scaling;
    frame.PrevRotation = frame.FromRotation = frame.Rotation;
}

// Four floats of a matrix row, multiplied and added lane by lane as
// CMatrix::Multiply does.
typedef f32 Lanes __attribute__((vector_size(16)));
typedef i32 LaneIndex __attribute__((vector_size(16)));

// The rows of CQuaternion::ToMatrix, the same products.
void TurnRows(const CQuaternion& q, Lanes rows[4])
{
    const f32 x = q.x, y = q.y, z = q.z, w = q.w;
    rows[0] = Lanes{1.0f - 2.0f * (y * y + z * z), 2.0f * (x * y - z * w), 2.0f * (x * z + y * w), 0.0f};
    rows[1] = Lanes{2.0f * (x * y + z * w), 1.0f - 2.0f * (x * x + z * z), 2.0f * (y * z - x * w), 0.0f};
    rows[2] = Lanes{2.0f * (x * z - y * w), 2.0f * (y * z + x * w), 1.0f - 2.0f * (x * x + y * y), 0.0f};
    rows[3] = Lanes{0.0f, 0.0f, 0.0f, 1.0f};
}

// The track's value at the frame's time, blended from `from` by f (1: the
// keys alone), into value; a time that is not a number keeps value. The
// tracks are shared by every instance of the mesh: the loop flag is set for
// this evaluation only.
void Sample(CKeyFrameList<CVector3>& track, const CAnimationFrame& frame, const CVector3& from, f32 f,
    CVector3& value)
{
    track.SetLoop(frame.TrackLoop);
    CVector3 keyed;
    // GetValue with the track's default blend, called straight.
    const u32 got = track.VisitKeys(frame.Time, 0, [&keyed](const CVector3* a, const CVector3* b, f32 w) {
        return CKeyFrameList<CVector3>::BlendVector3Keys(a, b, w, &keyed);
    });
    if (got) value = f < 1.0f ? from + (keyed - from) * f : keyed;
}

}  // namespace

u32 SlerpQuaternionKeys(const CQuaternion* a, const CQuaternion* b, f32 w, CQuaternion* out)
{
    if (!out || !a) return 0;
    if (!b || w == 0.0f) {
        *out = *a;
        return 1;
    }
    out->Slerp(a, b, w);
    return 1;
}

const CMatrix* CAnimationFrame::GetCombinedMatrix() const { return Bone ? &Bone->CombinedMatrix : nullptr; }

// ------------------------------------------------------------ life cycle

void* CAnimationController::operator new(size_t size) noexcept
{
    return size <= UINT32_MAX ? AlignedAlloc(u32(size), 16) : nullptr;
}

void CAnimationController::operator delete(void* block) noexcept { AlignedFree(block); }

CAnimationController::CAnimationController(CResourceList* bones, CResourceList* animations)
    : m_bones(bones), m_animations(animations)
{
    Build();
}

CAnimationController::~CAnimationController()
{
    for (u32 i = 0; i < m_frames.GetCount(); ++i) {
        delete m_frames.GetAt(i)->Children;
        m_frames.GetAt(i)->Children = nullptr;
    }
    m_frames.Release();
    m_linked.Release();
    m_colliders.Release();
    AlignedFree(m_palette);
    m_palette = nullptr;
}

void CAnimationController::Destroy() { delete this; }

void CAnimationController::Build()
{
    const u32 count = m_bones ? m_bones->GetCount() : 0;
    if (count == 0 || count > UINT32_MAX / sizeof(CMatrix)) return;
    m_palette = static_cast<CMatrix*>(AlignedAlloc(u32(count * sizeof(CMatrix)), 16));
    if (!m_palette || !m_frames.Resize(count)) {
        AlignedFree(m_palette);
        m_palette = nullptr;
        return;
    }
    m_stack.reserve(count);
    for (u32 i = 0; i < count; ++i) {
        CAnimationFrame& frame = *m_frames.GetAt(i);
        CModelBone* bone = ListElement<CModelBone>(m_bones, i);
        frame.Index = i;
        frame.Bone = bone;
        frame.SkinMatrix = frame.PrevSkinMatrix = frame.WorldMatrix = frame.CombinedMatrix = kIdentity;
        frame.LocalMatrix = bone ? bone->Transform : kIdentity;
        for (CMatrix& adjust : frame.Adjust) adjust = kIdentity;
        TakeBindValues(frame);
        frame.Speed = 1.0f;
        frame.Children = new CPointerList();
        m_palette[i] = kIdentity;
        void* slot = &frame;
        const f32 radius = bone ? std::bit_cast<f32>(bone->LinkValues[2]) : 0.0f;
        if (radius > 0.0f && Finite(radius)) m_colliders.Add(&slot);
    }
    m_boneIndex = CModelBoneIndex(m_bones);
    // Children gathered first: a list grown one at a time is copied whole
    // at every step.
    std::vector<std::vector<void*>> children(count);
    for (u32 i = 0; i < count; ++i) {
        CAnimationFrame& frame = *m_frames.GetAt(i);
        if (!frame.Bone || !frame.Bone->Parent) continue;
        const i32 parent = m_boneIndex.Find(frame.Bone->ParentName);
        // A bone named as its own parent stays a root.
        if (parent < 0 || u32(parent) >= count || u32(parent) == i) continue;
        frame.Parent = m_frames.GetAt(u32(parent));
        children[u32(parent)].push_back(&frame);
    }
    for (u32 i = 0; i < count; ++i) {
        CPointerList* list = m_frames.GetAt(i)->Children;
        if (list && !children[i].empty()) list->SetArray(children[i].data(), u32(children[i].size()));
    }
    // The tops of the linked chains: linked frames under plain ones or
    // under none.
    for (u32 i = 0; i < count; ++i) {
        CAnimationFrame& frame = *m_frames.GetAt(i);
        if (LinkType(frame.Bone) == 0 || !BelowPlainFramesOnly(frame, count)) continue;
        void* slot = &frame;
        m_linked.Add(&slot);
    }
}

// ------------------------------------------------------------ playing

i32 CAnimationController::SetAnimation(u32 index, f32 start, f32 speed, f32 blend, u32 loop, u32 mode)
{
    // A model without bones has nothing a set could move.
    if (!m_bones || m_frames.GetCount() == 0 || !m_animations || index >= m_animations->GetCount()) return 0;
    CModelAnimation* animation = ListElement<CModelAnimation>(m_animations, index);
    if (!animation) return 0;
    const f32 blendTicks = Finite(blend) ? blend * m_ticksPerSecond : 0.0f;
    const f32 startTicks = Finite(start) ? start * m_ticksPerSecond : 0.0f;
    const CBoneAnimationList& tracks = animation->Tracks;
    for (u32 k = 0; k < tracks.GetCount(); ++k) {
        auto* keys = static_cast<CModelBoneAnimation*>(tracks.GetAt(k));
        if (!keys) continue;
        const i32 at = m_boneIndex.Find(keys->BoneName);
        CAnimationFrame* frame = at >= 0 ? m_frames.GetAt(u32(at)) : nullptr;
        if (!frame) continue;
        if (frame->Lock && mode != 2 && mode != 3) continue;
        frame->BoneAnimation = keys;
        frame->BlendDuration = blendTicks;
        frame->BlendStart = frame->Time = startTicks;
        frame->Speed = Finite(speed) ? speed : 1.0f;
        frame->TrackLoop = loop;
        frame->Lock = (mode == 1 || mode == 3) ? 1 : 0;
        frame->FromPosition = frame->Position;
        frame->FromScaling = frame->Scaling;
        frame->FromRotation = frame->Rotation;
    }
    if (!(blendTicks > 0.0f)) AdvanceTime(0.0f);
    return 1;
}

i32 CAnimationController::SetAnimationSimple(u32 index, f32 blend, u32 loop, u32 mode)
{
    return SetAnimation(index, 0.0f, 1.0f, blend, loop, mode);
}

i32 CAnimationController::SetLoopMode(u32 mode)
{
    if (!m_bones || !m_animations) return 0;
    for (u32 i = 0; i < m_frames.GetCount(); ++i) m_frames.GetAt(i)->Lock = (mode == 1 || mode == 3) ? 1 : 0;
    return 1;
}

f32 CAnimationController::GetAnimationLength(u32 index) const
{
    if (!m_bones || !m_animations || index >= m_animations->GetCount()) return 0.0f;
    const CModelAnimation* animation = ListElement<CModelAnimation>(m_animations, index);
    if (!animation) return 0.0f;
    f32 last = 0.0f;
    auto take = [&last](f32 end) {
        if (end > last) last = end;
    };
    for (u32 k = 0; k < animation->Tracks.GetCount(); ++k) {
        const auto* keys = static_cast<const CModelBoneAnimation*>(animation->Tracks.GetAt(k));
        if (!keys) continue;
        if (keys->Scaling) take(keys->Scaling->GetEndTime());
        if (keys->Rotation) take(keys->Rotation->GetEndTime());
        if (keys->Position) take(keys->Position->GetEndTime());
    }
    return last / m_ticksPerSecond;
}

i32 CAnimationController::AdvanceTime(f32 seconds)
{
    const f32 ticks = Finite(seconds) ? seconds * m_ticksPerSecond : 0.0f;
    PendingTurns pending;
    for (u32 i = 0; i < m_frames.GetCount(); ++i) {
        AdvanceFrame(*m_frames.GetAt(i), ticks, pending);
        if (pending.count == 4) FinishTurns(pending);
    }
    FinishTurns(pending);
    return 1;
}

void CAnimationController::FinishTurns(PendingTurns& pending)
{
    if (pending.count == 0) return;
    CQuaternion keyed[4];
    CQuaternion* const out[4] = {&keyed[0], &keyed[1], &keyed[2], &keyed[3]};
    CQuaternion::SlerpFour(pending.from, pending.to, pending.weight, out, pending.count);
    for (u32 i = 0; i < pending.count; ++i) FinishFrame(*pending.frame[i], pending.blend[i], &keyed[i]);
    pending.count = 0;
}

void CAnimationController::AdvanceFrame(CAnimationFrame& frame, f32 ticks, PendingTurns& pending)
{
    frame.PrevPosition = frame.Position;
    frame.PrevScaling = frame.Scaling;
    frame.PrevRotation = frame.Rotation;
    // Linked frames swing; they never follow keys.
    if (LinkType(frame.Bone) != 0) return;
    CModelBoneAnimation* keys = frame.BoneAnimation;
    if (!keys) {
        frame.LocalMatrix = frame.Bone ? frame.Bone->Transform : kIdentity;
        return;
    }
    frame.Time += ticks * frame.Speed;
    f32 f = 0.0f;
    if (frame.BlendDuration > 0.0f) {
        f = (frame.Time - frame.BlendStart) / frame.BlendDuration;
        if (!(f < 1.0f)) frame.BlendDuration = 0.0f;
        if (!(f > 0.0f)) f = 0.0f;   // played backwards past the start
    }
    // f blends from the pose shown when the set started while blending.
    if (frame.BlendDuration <= 0.0f) f = 1.0f;
    if (keys->Scaling) {
        Sample(*keys->Scaling, frame, frame.FromScaling, f, frame.Scaling);
    } else {
        frame.Scaling.Set(1.0f, 1.0f, 1.0f);
    }
    if (!keys->Rotation) return FinishFrame(frame, f, nullptr);
    // The keys as SlerpQuaternionKeys takes them: one key's value at once, a
    // pair slerped with three other frames' pairs. The tracks are shared:
    // the loop flag is this frame's for this search only.
    keys->Rotation->SetLoop(frame.TrackLoop);
    const CQuaternion *from = nullptr, *to = nullptr;
    f32 weight = 0.0f;
    const u32 got =
        keys->Rotation->VisitKeys(frame.Time, 0, [&](const CQuaternion* a, const CQuaternion* b, f32 w) {
            from = a, to = b, weight = w;
            return 1u;
        });
    // A time that is not a number keeps the rotation.
    if (!got) return FinishFrame(frame, f, nullptr);
    if (!to || weight == 0.0f) return FinishFrame(frame, f, from);
    const u32 i = pending.count++;
    pending.frame[i] = &frame;
    pending.from[i] = from;
    pending.to[i] = to;
    pending.weight[i] = weight;
    pending.blend[i] = f;
}

void CAnimationController::FinishFrame(CAnimationFrame& frame, f32 f, const CQuaternion* keyed)
{
    CModelBoneAnimation* keys = frame.BoneAnimation;
    // The local matrix is built in registers, row by row, with the float
    // steps of identity x Scale x turn x Translation through the matrix
    // helpers (so the same bits), but no matrix made and read back between.
    Lanes r0 = {1.0f, 0.0f, 0.0f, 0.0f}, r1 = {0.0f, 1.0f, 0.0f, 0.0f}, r2 = {0.0f, 0.0f, 1.0f, 0.0f},
          r3 = {0.0f, 0.0f, 0.0f, 1.0f};
    if (keys->Scaling) {
        const Lanes scale = {frame.Scaling.x, frame.Scaling.y, frame.Scaling.z, 1.0f};
        r0 *= scale;
        r1 *= scale;
        r2 *= scale;
        r3 *= scale;
    }
    if (keys->Rotation) {
        if (keyed) {
            CQuaternion q = *keyed;
            if (f < 1.0f) q.Slerp(&frame.FromRotation, &q, f);
            frame.Rotation = q;
        }
        Lanes turn[4];
        TurnRows(frame.Rotation, turn);
        auto times = [&turn](Lanes row) {
            return row[0] * turn[0] + row[1] * turn[1] + row[2] * turn[2] + row[3] * turn[3];
        };
        r0 = times(r0);
        r1 = times(r1);
        r2 = times(r2);
        r3 = times(r3);
    } else {
        frame.Rotation = CQuaternion(0.0f, 0.0f, 0.0f, 1.0f);
    }
    if (keys->Position) {
        Sample(*keys->Position, frame, frame.FromPosition, f, frame.Position);
    } else if (frame.Bone) {
        frame.Bone->Transform.GetTranslation(&frame.Position);
    } else {
        frame.Position.SetZero();
    }
    // Each row plus its fourth element times the move, the fourth kept.
    const Lanes move = {frame.Position.x, frame.Position.y, frame.Position.z, 0.0f};
    auto moved = [&move](Lanes row) { return __builtin_shuffle(row + row[3] * move, row, LaneIndex{0, 1, 2, 7}); };
    const Lanes rows[4] = {moved(r0), moved(r1), moved(r2), moved(r3)};
    std::memcpy(frame.LocalMatrix.m, rows, sizeof rows);
}

// ------------------------------------------------------------ matrices

CMatrix CAnimationController::TurnInPlace(const CMatrix& world, const CMatrix& adjust) const
{
    const CMatrix t = world.GetTranslationMatrix();
    CMatrix back = t;
    back.m[3][0] = -t.m[3][0];
    back.m[3][1] = -t.m[3][1];
    back.m[3][2] = -t.m[3][2];
    return world * (back * m_rootRotationInverse * adjust * m_rootRotation * t);
}

void CAnimationController::StoreSkin(CAnimationFrame& frame, const CMatrix& skin)
{
    // A first update has no earlier pose: the previous one is this one, so
    // the swinging bones feel no jump from the identity.
    frame.PrevSkinMatrix = m_posed ? frame.SkinMatrix : skin;
    frame.SkinMatrix = skin;
    m_palette[frame.Index] = skin;
}

void CAnimationController::UpdatePlain(CAnimationFrame& frame, const CMatrix* parentWorld)
{
    const CMatrix combined = parentWorld ? frame.LocalMatrix * *parentWorld : frame.LocalMatrix;
    CMatrix world = combined;
    CModelBone* bone = frame.Bone;
    if (bone && !IsIdentity(frame.Adjust[0])) {
        const CMatrix& c = bone->CombinedMatrix;
        world = c.GetInverse() * frame.Adjust[0] * c * combined;
    }
    if (!IsIdentity(frame.Adjust[1])) world = TurnInPlace(world, frame.Adjust[1]);
    frame.CombinedMatrix = combined;
    frame.WorldMatrix = world;
    StoreSkin(frame, bone ? bone->FrameMatrix * world : world);
}

void CAnimationController::UpdateTree(CAnimationFrame& top, const CMatrix* parentWorld)
{
    const bool linkedTop = LinkType(top.Bone) != 0;
    linkedTop ? UpdateLinked(top, parentWorld) : UpdatePlain(top, parentWorld);
    m_stack.assign(1, &top);
    while (!m_stack.empty()) {
        CAnimationFrame* frame = m_stack.back();
        m_stack.pop_back();
        for (u32 c = 0; c < frame->GetChildCount(); ++c) {
            CAnimationFrame* child = frame->GetChild(c);
            if (LinkType(child->Bone) == 0) {
                UpdatePlain(*child, &frame->WorldMatrix);
            } else if (linkedTop) {
                UpdateLinked(*child, &frame->WorldMatrix);
            } else {
                continue;   // linked chains are updated after every plain frame
            }
            m_stack.push_back(child);
        }
    }
}

i32 CAnimationController::UpdateMatrices(const CMatrix* root)
{
    if (m_frames.GetCount() == 0 || !m_palette) return 0;
    m_root = root ? *root : kIdentity;
    m_root.GetRotationPart(&m_rootRotation);
    m_rootRotationInverse = m_rootRotation.GetInverse();
    // Frame 0 is the hierarchy's root; a bone whose parent names no bone is
    // a root of its own and is posed the same way.
    for (u32 i = 0; i < m_frames.GetCount(); ++i) {
        CAnimationFrame& frame = *m_frames.GetAt(i);
        if (!frame.Parent && LinkType(frame.Bone) == 0) UpdateTree(frame, root);
    }
    for (u32 i = 0; i < m_linked.GetCount(); ++i) {
        auto* top = static_cast<CAnimationFrame*>(m_linked.GetAt(i));
        UpdateTree(*top, top->Parent ? &top->Parent->WorldMatrix : root);
    }
    m_posed = true;
    return 1;
}

i32 CAnimationController::UploadMatrices(CShader* shader) const
{
    const u32 count = m_frames.GetCount();
    if (!m_palette || count == 0) return 0;
    if (shader) {
        return shader->SetMatrixArray(shader->GetConstantHandle(kShaderWorldMatrixArray), m_palette, count);
    }
    CGraphicDevice* graphics = GetGraphicDevice();
    host::render::Device* device = graphics ? graphics->GetDevice() : nullptr;
    if (!device) return 0;
    const u32 set = count < kDevicePaletteSize ? count : kDevicePaletteSize;
    for (u32 i = 0; i < set; ++i) {
        host::render::Matrix m;
        static_assert(sizeof m == sizeof(CMatrix));
        std::memcpy(&m, &m_palette[i], sizeof m);
        device->SetTransform(host::render::TransformWorld(i), m);
    }
    return i32(set);
}

i32 CAnimationController::ResetModelPose()
{
    if (m_frames.GetCount() == 0) return 0;
    m_resetting = true;
    SetAnimationSimple(0, 0.0f, 1, 0);
    AdvanceTime(0.0f);
    UpdateMatrices(nullptr);
    bool derived = false;
    for (u32 i = 0; i < m_frames.GetCount(); ++i) {
        CAnimationFrame& frame = *m_frames.GetAt(i);
        CModelBone* bone = frame.Bone;
        if (!bone || !IsIdentity(bone->FrameMatrix) || IsIdentity(bone->Transform)) continue;
        const CMatrix& w = frame.WorldMatrix;
        CMatrix scaling;
        const CVector3 lengths = w.ScalingPart();
        scaling.SetScaling(&lengths);
        bone->FrameMatrix = scaling * w.GetInverse();
        w.GetTranslation(&bone->Position);
        bone->FrameMatrix.GetRotationPart(&bone->CombinedMatrix);
        derived = true;
    }
    // The palette was made with the old frame matrices.
    if (derived) UpdateMatrices(nullptr);
    for (u32 i = 0; i < m_frames.GetCount(); ++i) {
        CAnimationFrame& frame = *m_frames.GetAt(i);
        frame.PrevSkinMatrix = frame.SkinMatrix;
    }
    m_resetting = false;
    return 1;
}

CAnimationFrame* CAnimationController::GetFrameByName(const char* name)
{
    if (!m_bones || !name) return nullptr;
    const i32 at = m_boneIndex.Find(name);
    return at >= 0 ? m_frames.GetAt(u32(at)) : nullptr;
}
