// The creation steps of a fighter: resources from the battle's holder, the
// camera, weapons, barrages and spell cards, the skills, the bones.
#include "game/battle/character/CharacterBase.h"

#include "engine/model/AnimationController.h"
#include "engine/model/Mesh.h"
#include "game/battle/object/Weapon.h"
#include "game/battle/object/WeaponSetting.h"
#include "game/data/Skill.h"

#include <cstring>

namespace {

// The battle's resource holder (message 16); null when unanswered.
CResourceController* ResourceHolder(CMessageObject& self)
{
    CResourceController* holder = nullptr;
    self.SendObjectMessage(kMsgResourceController, CObjectRegistry::kHandlerId, 0, reinterpret_cast<intptr_t>(&holder));
    return holder;
}

}  // namespace

void CCharacterBase::TakeCreationValues(const CharacterCreateRecord* entry)
{
    if (!entry) return;
    CharacterStatus& s = m_status;
    m_position = entry->position;
    m_rotation = entry->rotation;
    std::memcpy(s.name, entry->name, kCharacterNameBytes);
    s.name[kCharacterNameBytes - 1] = '\0';
    s.team = entry->team;
    s.creationWord = entry->initialWords[1];
    // The view, the HUD and the listener start on the fighter itself.
    s.followed = s.savedFollowed = entry->participantSlot;
    s.timers.stun = entry->stunTime;
    s.hpFactor = entry->hpFactor;
    s.mpFactor = entry->mpFactor;
    s.reloadFactor = entry->reloadFactor;
    s.selectedBarrage = entry->barrageSlot < 2 ? entry->barrageSlot : 0;
    std::memcpy(s.skillNumbers, entry->skills, sizeof s.skillNumbers);
    s.fixedTension = entry->fixedTension;
    s.seVolume = entry->seVolume;
    s.voiceVolume = entry->voiceVolume;
    s.voiceEnabled = entry->voiceEnabled;
    s.participantSlot = entry->participantSlot;
    s.afterimageQuality = entry->afterimageQuality < 5 ? entry->afterimageQuality : 4;
    s.trailSamples = entry->trailSamples;
    s.lockOnType = entry->lockOnType;
    s.computerLevel = entry->computerLevel;
    s.cameraWord = entry->cameraWord;
    s.entryIndex = entry->entryIndex;
    s.characterId = entry->characterId;
    s.characterCount = entry->characterCount;
    s.training = entry->training;
    s.livesRule = entry->livesRule;
    s.revival = entry->revival;
    s.sharedGroupBullets = entry->sharedGroupBullets;
    s.screenshot = entry->screenshot;
    s.carriedWord = entry->carriedWord;
    s.radarType = entry->radarType;
    s.cameraSide = entry->cameraSide;
    s.guardCorrection = entry->guardCorrection;
}

i32 CCharacterBase::CreateSubObjects(CResourceController* holder)
{
    if (!m_parameter) return 0;
    for (u32 g = 0; g < kFaceGroupCount; ++g) {
        m_textures[g].clear();
        const CStringList& names = m_parameter->GetFaceGroup(g);
        for (u32 i = 0; i < names.GetCount(); ++i) {
            CTexture* texture = nullptr;
            if (GetTexture(holder, names.GetAt(i)->GetText(), &texture)) m_textures[g].push_back(texture);
        }
    }
    CMesh* model = nullptr;
    if (!GetModel(holder, m_parameter->resource.GetText(), &model)) return 0;
    SetResource(model);
    CharacterStatus& s = m_status;
    for (u32 i = 0; i < kVoiceCount; ++i) {
        s.voices[i] = nullptr;
        GetSound(holder, m_parameter->GetVoiceName(i).GetText(), 10, 66, &s.voices[i]);
    }
    for (u32 i = 0; i < kEffectCount; ++i) {
        s.effects[i] = nullptr;
        GetEffectContainer(holder, m_parameter->GetEffectName(i).GetText(), &s.effects[i]);
    }
    for (u32 i = 0; i < kSoundEffectCount; ++i) {
        s.soundEffects[i] = nullptr;
        GetSound(holder, m_parameter->GetSoundEffectName(i).GetText(), 10, 66, &s.soundEffects[i]);
    }
    const CResourceList* animations = model->GetAnimations();
    for (u32 i = 0; i < kMotionCount; ++i)
        s.motions[i] = animations ? animations->FindIndexByName(m_parameter->GetMotionName(i).GetText()) : -1;
    return 1;
}

i32 CCharacterBase::CreateCameraController()
{
    UnfollowCamera();
    m_camera.reset();
    if (!m_parameter) return 0;
    m_camera.reset(GetCharacterObjectFactory()->CreateCameraController(m_parameter->GetCamera()));
    if (!m_camera) return 0;
    m_camera->SetPoints(&m_position, &m_position);
    m_camera->SetAngles(m_rotation.y, m_rotation.x);
    m_camera->SetOwner(GetId(), GetId());
    m_camera->SetParticipantSlot(m_status.cameraWord);
    m_camera->SetSide(m_status.cameraSide);
    return 1;
}

i32 CCharacterBase::CreateWeapons(const CharacterCreateRecord* entry)
{
    m_weapons.Release();
    if (!m_parameter) return 0;
    CResourceController* holder = ResourceHolder(*this);
    for (u32 i = 0; i < m_parameter->weapons.GetCount(); ++i) {
        auto* weapon = new CWeapon(new CWeaponSetting(*m_parameter->weapons.GetAt(i)));
        if (!weapon->LoadResource(holder)) {
            delete weapon;
            return 0;
        }
        weapon->Initialize(reinterpret_cast<intptr_t>(entry));
        weapon->AttachToOwnerModel(this);
        void* slot = weapon;
        m_weapons.Add(&slot);
    }
    return 1;
}

namespace {

// Builds, loads and creates one battle object per slot into list.
template <class Make>
i32 CreateSlots(std::vector<std::unique_ptr<CObjectDivision>>& list, CResourceController* holder,
                const CharacterCreateRecord* entry, Make make)
{
    list.clear();
    for (u32 i = 0; i < kShotSlotCount; ++i) {
        std::unique_ptr<CObjectDivision> object(make(i));
        if (!object || !object->LoadResource(holder)) return 0;
        object->Initialize(reinterpret_cast<intptr_t>(entry));
        list.push_back(std::move(object));
    }
    return 1;
}

}  // namespace

i32 CCharacterBase::CreateBarrages(const CharacterCreateRecord* entry)
{
    ICharacterObjectFactory* factory = GetCharacterObjectFactory();
    if (!m_parameter) {
        m_barrages.clear();
        return 0;
    }
    return CreateSlots(m_barrages, ResourceHolder(*this), entry,
                       [&](u32 i) { return factory->CreateBarrage(m_parameter->GetBarrage(i)); });
}

i32 CCharacterBase::CreateSpellCards(const CharacterCreateRecord* entry)
{
    ICharacterObjectFactory* factory = GetCharacterObjectFactory();
    if (!m_parameter) {
        m_spellCards.clear();
        return 0;
    }
    const u32 word = entry ? entry->initialWords[0] : 0;
    return CreateSlots(m_spellCards, ResourceHolder(*this), entry,
                       [&](u32 i) { return factory->CreateSpellCard(m_parameter->GetSpellCard(i), word); });
}

namespace {

using M = SkillModifier;

// One skill onto the parameter copy; places are the skills present now,
// this one included.
void ApplySkill(const CSkill* skill, const SkillPlaces& places, CCharacterParameter& p)
{
    auto mod = [skill](M m) { return GetSkillModifier(skill, m); };
    CharacterGeneral& g = p.values.general;
    g.hp = SaturateToI32(f32(g.hp) * mod(M::kBaseHp));
    if (const i32 count = GetSkillBaseAttackCount(skill)) {
        g.normalAttackCount = count;
        if (g.hiTensionAttackCount < count) g.hiTensionAttackCount = count;
        if (g.climaxTensionAttackCount < count) g.climaxTensionAttackCount = count;
    }
    g.dashStartMp *= mod(M::kDashStartMp);
    g.dashKeepMp += mod(M::kDashKeepMp);
    g.dashStartMotionTime += mod(M::kDashStartMotionTime);
    g.slideMp += mod(M::kSlideMp);
    g.doubleSlideMp += mod(M::kDoubleSlideMp);
    g.tripleSlideMp += mod(M::kTripleSlideMp);
    g.mirageSlideMp += mod(M::kMirageSlideMp);
    g.mirageSlideAttackMp += mod(M::kMirageSlideAttackMp);
    g.mirageSlideTime *= mod(M::kMirageSlideRange);
    g.slideMp *= mod(M::kSlideMpRevise);
    g.doubleSlideMp *= mod(M::kDoubleSlideMpRevise);
    GuardRecord& guard = p.values.guard;
    guard.justGuardTime *= mod(M::kJustGuardTime);
    guard.guardTime *= mod(M::kGuardTime);
    guard.reload *= mod(M::kGuardReload);
    guard.angle += mod(M::kGuardAngle);
    p.values.body.addHpSpeed *= mod(M::kAddHpSpeed);
    g.wAttackRevice *= mod(M::kDoubleAttackDamage);
    g.recvWAttackTime *= mod(M::kDoubleAttackTime);
    const f32 invincibility = mod(M::kSlideInvincibilityTime);
    g.slideInvincibilityTime *= invincibility;
    g.doubleSlideInvincibilityTime *= invincibility;
    g.tripleSlideInvincibilityTime *= invincibility;
    ApplySkillShotAmmunition(skill, p);
    ApplySkillShotChargeTime(skill, p);
    ApplySkillShortAttackStr(skill, p);
    ApplySkillShortAttackReload(skill, p);
    ApplySkillSpellReload(skill, p);
    ApplySkillSpark(skill, p);
    // The product over the skills present so far: with several skills the
    // earlier ones' factors count again at each later one.
    p.GetSpellCard(5).GetValues().reload *= GetSkillHiTensionReload(places);
}

}  // namespace

i32 CCharacterBase::ApplySkills(const CharacterCreateRecord*)
{
    const CSkillList* list = nullptr;
    SendObjectMessage(kMsgSkillList, CObjectRegistry::kHandlerId, 0, reinterpret_cast<intptr_t>(&list));
    for (u32 s = 0; s < kSkillSlotCount; ++s) {
        delete m_skills[s];
        m_skills[s] = nullptr;
        const u32 n = m_status.skillNumbers[s];
        if (!n || !list || n > list->skills.GetCount() || !list->skills.GetAt(n - 1)) continue;
        m_skills[s] = new CSkill(new CSkillSetting(*list->skills.GetAt(n - 1)));
        if (m_parameter) ApplySkill(m_skills[s], GetSkillPlaces(), *m_parameter);
    }
    return 1;
}

i32 CCharacterBase::BindBones()
{
    m_hitSphereBones.clear();
    CAnimationController* controller = GetAnimationController();
    if (!GetMesh() || !m_parameter) return 0;
    auto frame = [controller](const CString& name) {
        return controller ? controller->GetFrameByName(name.GetText()) : nullptr;
    };
    const CharacterBody& body = m_parameter->values.body;
    for (u32 i = 0; i < body.hitSphere.GetCount(); ++i) m_hitSphereBones.push_back(frame(body.hitSphere.GetAt(i)->bone));
    m_status.neck.frame = frame(body.neckBone);
    m_status.body.frame = frame(body.bodyBone);
    m_status.arm.frame = frame(body.armBone);
    return 1;
}
