#include "game/battle/object/Stage.h"

#include "engine/core/FloatMath.h"
#include "engine/graphics/Camera.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/graphics/Shader.h"
#include "engine/graphics/Shapes2D.h"
#include "engine/model/Mesh.h"
#include "engine/model/MeshCollision.h"
#include "engine/platform/FrameTime.h"
#include "engine/scene/Effect.h"
#include "engine/scene/EffectContainer.h"
#include "game/battle/object/StageEnclosure.h"
#include "game/battle/object/StageSetting.h"

#include <bit>
#include <cstring>
#include <new>

namespace {

// Degrees to radians as the shake has always turned them.
constexpr f32 kShakeRadiansPerMs = 0.0174532924f;

// A name that names a file: not empty and not "Non Name".
const char* FileName(const CString& name)
{
    const char* text = name.GetText();
    return text && *text && std::strcmp(text, "Non Name") != 0 ? text : nullptr;
}

}  // namespace

CStage::CStage() { SetGroup(kGroupStage); }

CStage::CStage(CStageSetting* settings) : m_settings(settings) { SetGroup(kGroupStage); }

CStage::CStage(const CStage& other)
    : CObjectDivision(other),
      m_shakeClock(other.m_shakeClock),
      m_settings(other.m_settings ? new (std::nothrow) CStageSetting(*other.m_settings) : nullptr)
{
    // The base copied the main resource; like every other model and effect
    // it comes back with LoadResource.
    m_resource = nullptr;
    for (u32 i = 0; i < kSlotCount; ++i) {
        m_darkFlag[i] = other.m_darkFlag[i];
        m_darkness[i] = other.m_darkness[i];
        m_darkLimit[i] = other.m_darkLimit[i];
        m_shakeAmplitude[i] = other.m_shakeAmplitude[i];
        m_shakeTimer[i] = other.m_shakeTimer[i];
    }
    if (other.m_enclosure) {
        m_enclosure = new CStageEnclosure(*other.m_enclosure);
        // Never the source's: it may be released first.
        if (m_enclosure) m_enclosure->SetStage(this);
    }
}

CStage::~CStage() { CStage::Release(); }

i32 CStage::Release()
{
    delete m_settings;
    m_settings = nullptr;
    delete m_enclosure;
    m_enclosure = nullptr;
    return CObjectDivision::Release();
}

const StageParameters* CStage::Parameters() const { return m_settings ? m_settings->GetParameters() : nullptr; }

i32 CStage::LoadResource(CResourceController* controller)
{
    if (!m_settings || !controller) return 0;
    const CStageSetting& s = *m_settings;
    const auto model = [&](const CString& name, CMesh** out) {
        if (const char* path = FileName(name)) GetModel(controller, path, out);
    };
    const auto effect = [&](const CString& name, CEffectContainer** out) {
        if (const char* path = FileName(name)) GetEffectContainer(controller, path, out);
    };
    model(s.base, &m_baseModel);
    model(s.hit, &m_hitModel);
    model(s.enclosureXP, &m_wallModels[0]);
    model(s.enclosureXM, &m_wallModels[1]);
    model(s.enclosureZP, &m_wallModels[2]);
    model(s.enclosureZM, &m_wallModels[3]);
    CEffectContainer* ambient = nullptr;
    effect(s.effect, &ambient);
    if (ambient) m_resource = ambient;
    model(s.darkMesh, &m_darkModel);
    effect(s.cloudEffectName, &m_cloudEffect);
    effect(s.traceCloudEffectName, &m_traceCloudEffect);
    effect(s.highTensionFieldEffectName, &m_highTensionFieldEffect);
    effect(s.climaxFieldEffectName, &m_climaxFieldEffect);
    return 1;
}

i32 CStage::Initialize(intptr_t)
{
    CreateAnimationController();
    CreateAttachedEffect();
    delete m_enclosure;
    m_enclosure = new CStageEnclosure(this);
    if (m_enclosure) m_enclosure->Initialize(0);
    for (f32& limit : m_darkLimit) limit = 1.0f;
    return 1;
}

i32 CStage::Update(u32)
{
    AdvanceAnimation(1.0f);
    UpdateAttachedEffect();
    const f32 dt = GetFrameTime();
    m_shakeClock += GetFrameTimeMs();
    const StageParameters* p = Parameters();
    for (u32 i = 0; i < kSlotCount; ++i) {
        m_shakeTimer[i] += dt;
        if (p && m_shakeTimer[i] >= p->vibrateTime) {
            m_shakeAmplitude[i] -= p->vibrateDeceleration * dt;
            if (m_shakeAmplitude[i] < 0.0f) m_shakeAmplitude[i] = 0.0f;
        }
    }
    for (u32 i = 0; i < kSlotCount; ++i) {
        if (!m_darkFlag[i]) {
            m_darkness[i] = 0.0f;
            continue;
        }
        // Per frame, whatever the frame time.
        m_darkness[i] += kDarkStep;
        if (m_darkness[i] < 0.0f) m_darkness[i] = 0.0f;
        if (m_darkness[i] > m_darkLimit[i]) m_darkness[i] = m_darkLimit[i];
    }
    return 1;
}

void CStage::DrawFog() const
{
    const StageParameters* p = Parameters();
    CGraphicDevice* graphics = GetGraphicDevice();
    if (!p || !graphics) return;
    if (CShader* shader = GetDefaultShader()) {
        shader->SetFloatByIndex(kShaderFogStart, p->fogStart);
        shader->SetFloatByIndex(kShaderFogEnd, p->fogEnd);
    }
    if (host::render::Device* device = graphics->GetDevice()) {
        device->SetRenderState(host::render::kRsFogStart, std::bit_cast<u32>(p->fogStart));
        device->SetRenderState(host::render::kRsFogEnd, std::bit_cast<u32>(p->fogEnd));
        const u32 colour = 0xFF000000u | u32(p->fogColor[0]) << 16 | u32(p->fogColor[1]) << 8 | p->fogColor[2];
        device->SetRenderState(host::render::kRsFogColor, colour);
        device->SetRenderState(host::render::kRsFogVertexMode, host::render::kFogLinear);
    }
    graphics->SetFogEnable(1);
}

i32 CStage::Draw(u32) { return Draw(static_cast<CRenderList*>(nullptr)); }

i32 CStage::Draw(CRenderList* renderList)
{
    DrawFog();
    if (m_baseModel) m_baseModel->Draw(&m_world, &m_color, m_controller);
    i32 view = -1;
    SendObjectMessage(kMsgViewedSlot, CObjectRegistry::kHandlerId, 0, reinterpret_cast<intptr_t>(&view));
    const bool darkened = view >= 0 && u32(view) < kSlotCount && m_darkFlag[view];
    if (m_attachedEffect && !darkened) m_attachedEffect->Draw(renderList);
    return 1;
}

u32 CStage::SlotOf(CMessageObject* object)
{
    u32 slot = 0;
    if (object) object->SendObjectMessage(kMsgTargetSlot, object->GetId(), 0, reinterpret_cast<intptr_t>(&slot));
    return slot;
}

void CStage::StartShake(intptr_t slotPointer, f32 amplitude)
{
    if (!slotPointer) return;
    const u32 slot = *reinterpret_cast<const u32*>(slotPointer);
    if (slot >= kSlotCount) return;
    m_shakeAmplitude[slot] = amplitude;
    m_shakeTimer[slot] = 0.0f;
}

u32 CStage::OnMessage(u32 message, CMessageObject* sender, intptr_t parameter)
{
    const StageParameters* p = Parameters();
    const auto out = [parameter](auto value) {
        if (parameter) *reinterpret_cast<decltype(value)*>(parameter) = value;
        return 1u;
    };
    switch (message) {
    case kMsgStageMoveTest:
        return MoveTest(dynamic_cast<CObjectDivision*>(sender), reinterpret_cast<CVector3*>(parameter));
    case kMsgStageBoxTest: return IsOutsideStageBox(dynamic_cast<CObjectDivision*>(sender));
    case kMsgCloudEffect: return out(m_cloudEffect);
    case kMsgTraceCloudEffect: return out(m_traceCloudEffect);
    case kMsgHighTensionFieldEffect: return out(m_highTensionFieldEffect);
    case kMsgClimaxFieldEffect: return out(m_climaxFieldEffect);
    case kMsgCloudInterval: return p ? out(p->cloudInterval) : 1;
    case kMsgCloudPositionOffset: return p ? out(p->cloudPositionOffset) : 1;
    case kMsgTraceCloudPositionOffset: return p ? out(p->traceCloudPositionOffset) : 1;
    case kMsgSmallShake:
        if (p) StartShake(parameter, p->smallVibratePow);
        return 1;
    case kMsgLargeShake:
        if (p) StartShake(parameter, p->largeVibratePow);
        return 1;
    case kMsgStageDarkening:
        if (const u32 slot = SlotOf(sender); slot < kSlotCount) m_darkFlag[slot] = u32(parameter);
        return 1;
    case kMsgDarkLimit:
        if (const u32 slot = SlotOf(sender); slot < kSlotCount && parameter) {
            m_darkLimit[slot] = *reinterpret_cast<const f32*>(parameter);
        }
        return 1;
    default: return 1;
    }
}

u32 CStage::HitSegment(const CVector3& start, const CVector3& end, CMeshHitRecord* record) const
{
    *record = CMeshHitRecord();
    return IntersectSegmentMesh(&start, &end, m_hitModel, 0, &record->point, &record->normal, &record->triangle,
        &record->subset);
}

u32 CStage::MoveTest(CObjectDivision* mover, CVector3* displacement)
{
    if (!m_hitModel) return 1;
    if (!mover || !displacement) return 0;
    CVector3 start;
    mover->GetPosition(&start);
    CMeshHitRecord record;
    if (!HitSegment(start, start + *displacement, &record)) return 0;
    SendObjectMessage(kMsgStageMoveHit, mover->GetId(), 0, reinterpret_cast<intptr_t>(&record));
    *displacement = record.point - start;
    return 1;
}

u32 CStage::IsOutsideStageBox(CObjectDivision* object)
{
    const StageParameters* p = Parameters();
    if (!p || !object) return 0;
    const CVector3& at = *object->GetPosition();
    const f32 r = object->GetRadius();
    bool inside = true;
    for (int axis = 0; axis < 3; ++axis) {
        // Written so that a NaN anywhere counts as outside.
        if (!(p->box.min[axis] + r < at[axis] && at[axis] < p->box.max[axis] - r)) inside = false;
    }
    if (inside) return 0;
    SendObjectMessage(kMsgOutsideStageBox, object->GetId(), 0, reinterpret_cast<intptr_t>(p));
    return 1;
}

u32 CStage::CollideSegment(CObjectDivision* object)
{
    if (!m_hitModel) return 1;
    if (!object) return 0;
    CVector3 start, direction;
    object->GetPosition(&start);
    object->GetDirection(&direction);
    CMeshHitRecord record;
    if (!HitSegment(start, start + direction, &record)) return 0;
    SendObjectMessage(kMsgStageSegmentHit, object->GetId(), 0, reinterpret_cast<intptr_t>(&record));
    return 1;
}

u32 CStage::CollideSphere(CObjectDivision* object)
{
    if (!m_hitModel) return 1;
    if (!object) return 0;
    CVector3 centre;
    object->GetPosition(&centre);
    CMeshHitRecord record;
    if (!IntersectSphereMesh(&centre, object->GetRadius(), m_hitModel, 0, &record.point, &record.normal,
            &record.triangle, &record.subset)) {
        return 0;
    }
    SendObjectMessage(kMsgStageSphereHit, object->GetId(), 0, reinterpret_cast<intptr_t>(&record));
    return 1;
}

u32 CStage::ShakeViewCamera(CObjectDivision* viewer)
{
    const StageParameters* p = Parameters();
    if (!viewer || !p) return 1;
    CCamera* camera = nullptr;
    SendObjectMessage(kMsgViewCamera, viewer->GetId(), 0, reinterpret_cast<intptr_t>(&camera));
    if (!camera) return 1;
    const u32 slot = SlotOf(viewer);
    if (slot >= kSlotCount) return 1;
    const f32 amplitude = m_shakeAmplitude[slot];
    if (!(amplitude > 0.0f)) return 1;
    u32 enabled = 1;
    SendObjectMessage(kMsgScreenShakeOption, CObjectRegistry::kHandlerId, 0, reinterpret_cast<intptr_t>(&enabled));
    if (!enabled) return 1;

    // The phase runs on frame time, never the wall clock: replays and both
    // lockstep peers see the same shake.
    const u32 t = m_shakeClock;
    const f32 angle = f32(t) * kShakeRadiansPerMs * p->vibrateSpeed;
    // A VIBRATESPEED that is not a number would leave the view nowhere.
    if (!(angle - angle == 0.0f)) return 1;
    const f32 s = SinF(angle) * amplitude, c = CosF(angle) * amplitude;
    CVector3 offset;
    switch (t % 4) {
    case 0: offset.Set(s, s, 0.0f); break;
    case 1: offset.Set(c, c, 0.0f); break;
    case 2: offset.Set(s, 0.0f, 0.0f); break;
    default: offset.Set(0.0f, s, 0.0f); break;
    }
    const CVector3 eye = camera->GetEye();
    const CVector3 sight = camera->GetTarget() - eye;
    CVector3 forward;
    sight.GetNormalized(&forward);
    // Only the direction counts for the view; keeping the target about as
    // far as it was leaves the camera's distance for whoever reads it.
    const f32 distance = sight.Length();
    const CVector3 target = eye + (forward + offset * 0.1f) * (distance > 0.0f ? distance : 1.0f);
    const CVector3 up(0.0f, 1.0f, 0.0f);
    camera->SetLookAt(&eye, &target, &up);
    return 1;
}

u32 CStage::DrawDarkening(CObjectDivision* viewer)
{
    const u32 slot = SlotOf(viewer);
    if (!viewer || slot >= kSlotCount || !m_darkFlag[slot]) return 0;
    // A limit above 255 / 76 would wrap the byte and lighten the view.
    const f32 alpha = m_darkness[slot] * kDarkFillAlpha;
    const u32 byte = alpha >= 255.0f ? 255u : alpha > 0.0f ? u32(alpha) : 0u;
    if (CGraphicDevice* graphics = GetGraphicDevice()) {
        graphics->SetState2D();
        FillScreenRect(nullptr, byte << 24);
        graphics->SetState3D();
    }
    return 1;
}

u32 CStage::DrawDarkMesh(CObjectDivision* viewer)
{
    const u32 slot = SlotOf(viewer);
    if (!viewer || slot >= kSlotCount || !m_darkFlag[slot]) return 0;
    if (m_darkModel) {
        const CVector4 colour(1.0f, 1.0f, 1.0f, m_darkness[slot]);
        m_darkModel->DrawObjects(&m_world, &colour);
    }
    return 1;
}

u32 CStage::DrawEnclosure(const CObjectBase* viewer)
{
    if (!viewer) return 0;
    const StageParameters* p = Parameters();
    CGraphicDevice* graphics = GetGraphicDevice();
    if (graphics) {
        graphics->SetBlendMode(1);
        graphics->SetFogEnable(0);
        graphics->SetLighting(0);
    }
    if (p) {
        const CVector3& at = *viewer->GetPosition();
        const struct {
            f32 face, viewer;
        } walls[4] = {
            {p->box.max.x, at.x},
            {p->box.min.x, at.x},
            {p->box.max.z, at.z},
            {p->box.min.z, at.z},
        };
        for (u32 i = 0; i < 4; ++i) {
            if (!m_wallModels[i]) continue;
            const f32 d = AbsF(walls[i].face - walls[i].viewer) - p->minVisible;
            // Also skips a NaN distance or fading length.
            if (!(d < p->maxVisible)) continue;
            // d >= 0 here means maxVisible > d >= 0: no division by 0.
            const f32 factor = d < 0.0f ? 1.0f : 1.0f - d / p->maxVisible;
            CVector4 colour = m_color;
            colour.w *= factor;
            m_wallModels[i]->Draw(&m_world, &colour, m_controller);
        }
    }
    if (graphics) {
        graphics->SetFogEnable(1);
        graphics->SetLighting(1);
    }
    return 1;
}

CBox CStage::GetStageBox() const
{
    const StageParameters* p = Parameters();
    return p ? p->box : CBox();
}

CVector3 CStage::GetHalfExtent() const
{
    const CBox box = GetStageBox();
    CVector3 half;
    for (int axis = 0; axis < 3; ++axis) {
        const f32 h = (box.max[axis] - box.min[axis]) * 0.5f;
        half[axis] = h >= kMinHalfExtent ? h : kMinHalfExtent;
    }
    return half;
}

void CStage::HashState(CStateHash& hash) const
{
    CObjectDivision::HashState(hash);
    for (u32 i = 0; i < kSlotCount; ++i) {
        hash.U32(m_darkFlag[i]).F32(m_darkness[i]).F32(m_darkLimit[i]);
        hash.F32(m_shakeAmplitude[i]).F32(m_shakeTimer[i]);
    }
}
