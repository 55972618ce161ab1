#include "game/battle/object/Weapon.h"

#include "engine/core/FloatMath.h"
#include "engine/core/StringUtil.h"
#include "engine/model/AnimationController.h"
#include "engine/model/Mesh.h"
#include "engine/scene/Effect.h"
#include "engine/scene/EffectContainer.h"
#include "game/battle/object/WeaponSetting.h"

#include <cstring>
#include <new>

namespace {

bool NamesModel(const char* name)
{
    for (const char* p = name; *p; ++p) {
        if (p[0] == '.' && (p[1] | 0x20) == 'm' && (p[2] | 0x20) == 'd' && (p[3] | 0x20) == 'l') return true;
        // Never look at a trail byte as if it were a dot.
        if (CharSize(p) == 2) ++p;
    }
    return false;
}

}  // namespace

CWeapon::CWeapon() { SetGroup(kGroupWeapon); }

CWeapon::CWeapon(CWeaponSetting* settings) : m_settings(settings) { SetGroup(kGroupWeapon); }

CWeapon::CWeapon(const CWeapon& other)
    : CObjectDivision(other),
      m_bone(other.m_bone),
      m_boneIndex(other.m_boneIndex),
      m_ownerController(other.m_ownerController),
      m_owner(other.m_owner),
      m_ownerId(other.m_ownerId),
      m_weaponShown(other.m_weaponShown),
      m_settings(other.m_settings ? new (std::nothrow) CWeaponSetting(*other.m_settings) : nullptr)
{
}

CWeapon::~CWeapon() { CWeapon::Release(); }

i32 CWeapon::Release()
{
    delete m_settings;
    m_settings = nullptr;
    return CObjectDivision::Release();
}

i32 CWeapon::LoadResource(CResourceController* controller)
{
    if (!m_settings) return 0;
    const char* name = m_settings->resource.GetText();
    if (name && std::strcmp(name, "Non Name") == 0) return 1;
    if (!name || !*name || !controller) return 0;
    if (NamesModel(name)) {
        CMesh* model = nullptr;
        if (!GetModel(controller, name, &model)) return 0;
        m_resource = model;
    } else {
        CEffectContainer* effect = nullptr;
        if (!GetEffectContainer(controller, name, &effect)) return 0;
        m_resource = effect;
    }
    return 1;
}

i32 CWeapon::Initialize(intptr_t)
{
    CreateAnimationController();
    CreateAttachedEffect();
    m_weaponShown = m_settings ? u32(m_settings->values.showFlag) & 1u : 0u;
    return 1;
}

i32 CWeapon::AttachToOwnerModel(CObjectDivision* owner)
{
    m_owner = owner;
    m_ownerId = owner ? owner->GetId() : 0;
    m_ownerController = nullptr;
    m_bone = nullptr;
    RefreshBone();
    return 1;
}

CObjectDivision* CWeapon::LiveOwner() const
{
    if (!m_owner) return nullptr;
    const CObjectRegistry* registry = GetObjectRegistry();
    return registry && registry->Find(m_ownerId) == m_owner ? m_owner : nullptr;
}

void CWeapon::RefreshBone()
{
    CObjectDivision* owner = LiveOwner();
    m_ownerController = owner ? owner->GetAnimationController() : nullptr;
    m_bone = m_ownerController && m_settings ? m_ownerController->GetFrameByName(m_settings->bone.GetText()) : nullptr;
    m_boneIndex = m_bone ? m_bone->Index : kNoBone;
}

void CWeapon::FollowBone()
{
    // Offset turn, then the offset move, both in the bone's space; the
    // weapon's own rotation and scaling play no part.
    CMatrix world;
    world.RotationEuler(&m_settings->values.offsetAngle);
    MatrixTranslate(&world, &m_settings->values.offsetPosition);
    // The bone as the owner's controller last posed it, turned back by its
    // bind orientation so the offset is read along the model's own axes.
    const CMatrix* bind = m_bone->GetCombinedMatrix();
    const CMatrix bone = bind ? *bind * m_bone->WorldMatrix : m_bone->WorldMatrix;
    m_world = world * bone;
    m_world.GetTranslation(&m_position);
}

i32 CWeapon::Update(u32)
{
    RefreshBone();
    if (m_bone) FollowBone();
    AdvanceAnimation(1.0f);
    UpdateAttachedEffect();
    return 1;
}

i32 CWeapon::Draw(u32) { return Draw(static_cast<CRenderList*>(nullptr)); }

i32 CWeapon::Draw(CRenderList* renderList)
{
    if (!m_resource || !m_weaponShown) return 0;
    if (m_attachedEffect) m_attachedEffect->Draw(renderList);
    if (m_controller) m_controller->UpdateMatrices(&m_world);
    if (m_resource->GetType() == kModelResource) static_cast<CMesh*>(m_resource)->Draw(&m_world, &m_color, m_controller);
    return 1;
}

u32 CWeapon::OnMessage(u32 message, CMessageObject*, intptr_t parameter)
{
    if (message == kMsgWeaponShown && parameter) m_weaponShown = *reinterpret_cast<const u32*>(parameter);
    return 1;
}

void CWeapon::GetMatrix(CMatrix* out) const
{
    *out = m_world;
    for (int r = 0; r < 3; ++r) {
        f32* row = out->m[r];
        const f32 length = SqrtF(row[0] * row[0] + row[1] * row[1] + row[2] * row[2]);
        if (length == 0.0f) continue;
        for (int c = 0; c < 3; ++c) row[c] /= length;
    }
}

void CWeapon::GetRotation(CVector3* out) const
{
    if (const CObjectDivision* owner = LiveOwner()) {
        owner->GetRotation(out);
        return;
    }
    *out = m_rotation;
}

void CWeapon::HashState(CStateHash& hash) const
{
    CObjectDivision::HashState(hash);
    hash.U32(m_weaponShown).U32(LiveOwner() ? m_ownerId : 0).U32(m_boneIndex);
}
