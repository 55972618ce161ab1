// Effects on the fighter's bones, voices and sound effects at the fighter,
// the reset after an interruption, and the gauge services.
#include "game/battle/character/CharacterAction.h"
#include "game/battle/character/CharacterSlots.h"

#include "engine/model/AnimationController.h"
#include "engine/platform/FrameTime.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/scene/Effect.h"
#include "engine/scene/EffectContainer.h"
#include "game/battle/object/Weapon.h"
#include "game/battle/object/WeaponSetting.h"
#include "host/kernel/Kernel.h"

using namespace character_slots;

u32 CCharacterBase::StartEffect(u32 slot, u32 n)
{
    if (n >= kEffectCount || !m_status.effects[n] || !m_parameter) return 0;
    const CStringList& bones = m_parameter->values.body.effectBoneName;
    CAnimationController* controller = GetAnimationController();
    if (!bones.GetCount() || !controller) return 0;
    auto frame = [&](u32 i) { return controller->GetFrameByName(bones.GetAt(i)->GetText()); };
    CAnimationFrame* first = frame(0);
    if (!first) return 0;
    CEffectController* manager = GetEffectManager();
    const CEffectContainer* container = m_status.effects[n];
    // Owned by the slot, so never registered with the controller (which
    // would release it on its own).
    auto play = [&](CAnimationFrame* bone) {
        return container->PlayFull(manager, nullptr, nullptr, nullptr, GetColor(), 0.0f, 0, 0, bone, nullptr);
    };
    CEffect* head = play(first);
    if (!head) return 0;
    // Then one more on every bone, the first included, chained after the head.
    for (u32 i = 0; i < bones.GetCount(); ++i) {
        CAnimationFrame* bone = frame(i);
        if (!bone) continue;
        CEffect* instance = play(bone);
        if (!instance) continue;
        CEffect* last = head;
        while (last->GetNext()) last = last->GetNext();
        last->InsertNext(instance);
    }
    return SetAttachedObject(slot, head);
}

u32 CCharacterBase::SetAttachedObject(u32 slot, CEffect* object)
{
    if (slot >= kAttachedObjectCount) {
        if (object) object->Release();
        return 0;
    }
    CEffect*& held = m_status.attached[slot];
    if (held && held != object) held->Release();
    held = object;
    return 1;
}

u32 CCharacterBase::EndAttachedObject(u32 slot)
{
    CEffect* object = GetAttachedObject(slot);
    if (!object) return 0;
    object->Finish();
    return 1;
}

u32 CCharacterBase::AddTransientObject(CEffect* object)
{
    if (!object) return 0;
    for (CEffect*& held : m_status.transient) {
        if (!held) {
            held = object;
            return 1;
        }
    }
    object->Release();
    return 0;
}

namespace {

// Hundredths of a decibel as the sound buffer takes them.
i32 Volume(u32 word) { return i32(word); }

constexpr f32 kHeardEverywhere = 3000.0f;
constexpr f32 kDistanceFactor = 10.0f;

}  // namespace

const CVector3* CCharacterBase::GetSoundPoint() const
{
    const CVector3* point = m_camera ? m_camera->GetReferencePoint() : nullptr;
    return point ? point : &m_position;
}

void CCharacterBase::UnfollowCamera()
{
    const CVector3* point = m_camera ? m_camera->GetReferencePoint() : nullptr;
    if (!point) return;
    auto unfollow = [this, point](CSoundBuffer* sound) {
        for (u32 v = 0; sound && v < sound->GetVoiceCount(); ++v)
            if (sound->GetVoice(v) && sound->GetVoice(v)->follow == point) sound->SetVoiceFollow(v, &m_position);
    };
    for (CSoundBuffer* sound : m_status.voices) unfollow(sound);
    for (CSoundBuffer* sound : m_status.soundEffects) unfollow(sound);
}

u32 CCharacterBase::PlaySound(u32 n)
{
    CharacterStatus& s = m_status;
    if (n >= kVoiceCount || !s.voiceEnabled || !s.voices[n] || IsFrozen()) return 0;
    CSoundBuffer* sound = s.voices[n];
    const u32 voice = sound->Play(0, 0.0f, 1);
    if (voice == CSoundBuffer::kNoVoice) return 0;
    // The battle answers with the local entry: compared with our own entry.
    u32 mainSlot = s.entryIndex;
    SendObjectMessage(kMsgLocalEntry, CObjectRegistry::kHandlerId, 0, reinterpret_cast<intptr_t>(&mainSlot));
    // At the camera's reference point, following it.
    const CVector3* point = GetSoundPoint();
    sound->SetPosition3D(voice, point, kDistanceFactor, CSoundBuffer::kMode3DNormal);
    if ((n == kVoiceWin || n == kVoiceLose) && s.entryIndex != mainSlot) {
        // Another player's result voice stays out of earshot.
        const CVector3 far(1000, 1000, 1000);
        sound->SetVoicePosition(voice, &far);
    } else if (n == kVoiceStart) {
        sound->SetMinDistance(voice, kHeardEverywhere);
    } else {
        sound->SetVoiceFollow(voice, point);
    }
    sound->SetVolume(voice, Volume(s.voiceVolume));
    sound->UpdateVoiceAt(voice, 1);
    if (s.timers.longestVoice < sound->GetLength()) s.timers.longestVoice = sound->GetLength();
    s.lastVoice = n;
    s.voiceIndex = voice;
    // Wall clock: it only picks the face and later voices, never state.
    s.lastVoiceStamp = host::kernel::TimeGetTime();
    s.expressionClock = 0;
    const std::vector<u32>* faces = m_parameter ? &m_parameter->GetVoiceExpressions() : nullptr;
    s.expression = i32(faces && faces->size() > n ? (*faces)[n] : n);
    return 1;
}

u32 CCharacterBase::PlaySoundEffect(u32 n)
{
    if (n >= kSoundEffectCount || !m_status.soundEffects[n]) return 0;
    CSoundBuffer* sound = m_status.soundEffects[n];
    const u32 voice = sound->Play(0, 0.0f, 1);
    if (voice == CSoundBuffer::kNoVoice) return 0;
    const CVector3* point = GetSoundPoint();
    sound->SetPosition3D(voice, point, kDistanceFactor, CSoundBuffer::kMode3DNormal);
    if (n == kSeLockOn) sound->SetMinDistance(voice, kHeardEverywhere);
    sound->SetVolume(voice, Volume(m_status.seVolume));
    sound->SetVoiceFollow(voice, point);
    sound->UpdateVoiceAt(voice, 1);
    return 1;
}

u32 CCharacterBase::PlayHitSound(u32 weight, u32 cut)
{
    PlaySoundEffect((weight == 1 ? 0 : 1) + (cut == 1 ? 3 : 1));
    return 1;
}

u32 CCharacterBase::PlayEffectOnce(u32 n)
{
    if (n >= kEffectCount || !m_status.effects[n]) return 0;
    CVector3 center, rotation;
    GetCenter(&center);
    GetRotation(&rotation);
    // Registered: the controller releases it when it has run.
    return m_status.effects[n]->PlayAt(GetEffectManager(), &center, &rotation, nullptr, 0.0f, 1, 0, nullptr) ? 1 : 0;
}

u32 CCharacterBase::PlayEffectAt(u32 n, const CVector3& position, const CVector3& rotation)
{
    if (n >= kEffectCount || !m_status.effects[n]) return 0;
    return m_status.effects[n]->PlayAt(GetEffectManager(), &position, &rotation, nullptr, 0.0f, 1, 0, nullptr) ? 1 : 0;
}

u32 CCharacterBase::PlayEffectOnBone(u32 n, const char* bone, const CVector3& offset)
{
    if (n >= kEffectCount || !m_status.effects[n]) return 0;
    CAnimationController* controller = GetAnimationController();
    CAnimationFrame* frame = controller && bone ? controller->GetFrameByName(bone) : nullptr;
    if (!frame) return PlayEffectOnce(n);
    return m_status.effects[n]->PlayLinked(GetEffectManager(), &offset, nullptr, nullptr, 1, frame, nullptr) ? 1 : 0;
}

u32 CCharacterBase::PlayOnBones(const CEffectContainer& container)
{
    CAnimationController* controller = GetAnimationController();
    if (!m_parameter || !controller) return 0;
    const CStringList& bones = m_parameter->values.body.effectBoneName;
    u32 played = 0;
    for (u32 i = 0; i < bones.GetCount(); ++i) {
        CAnimationFrame* bone = controller->GetFrameByName(bones.GetAt(i)->GetText());
        if (bone && container.PlayLinked(GetEffectManager(), nullptr, nullptr, nullptr, 1, bone, nullptr)) ++played;
    }
    return played;
}

void CCharacterBase::ShowWeapon(i32 index, u32 shown, u32 withEffect)
{
    m_status.shownWeapon = shown ? index : -1;
    if (index < 0 || !HasWeapon(u32(index))) return;
    auto* weapon = static_cast<CWeapon*>(m_weapons.GetAt(u32(index)));
    if (!weapon) return;
    const bool was = weapon->HasReturned() != 0;
    weapon->OnMessage(kMsgWeaponShown, this, reinterpret_cast<intptr_t>(&shown));
    // The effect marks a change: a weapon already as asked (a thrown one
    // that is away, say) plays none.
    const CWeaponSetting* settings = weapon->GetSettings();
    if (!withEffect || !settings || !settings->values.changeEffectFlag || was == (shown != 0)) return;
    CVector3 rotation;
    weapon->GetRotation(&rotation);
    PlayEffectAt(kEffectWeaponChange, *weapon->GetPosition(), rotation);
}

namespace {

bool OfFlag(const CWeapon* weapon, u32 flag)
{
    const CWeaponSetting* settings = weapon ? weapon->GetSettings() : nullptr;
    return settings && (u32(settings->values.showFlag) & flag);
}

}  // namespace

void CCharacterBase::ShowWeaponsOfFlag(u32 flag, u32 shown)
{
    for (u32 i = 0; i < m_weapons.GetCount(); ++i) {
        auto* weapon = static_cast<CWeapon*>(m_weapons.GetAt(i));
        if (!OfFlag(weapon, flag)) continue;
        u32 value = shown ? 1 : 0;
        weapon->OnMessage(kMsgWeaponShown, this, reinterpret_cast<intptr_t>(&value));
    }
}

void CCharacterBase::ShowOnlyWeaponsOfFlag(u32 flag)
{
    for (u32 i = 0; i < m_weapons.GetCount(); ++i) {
        auto* weapon = static_cast<CWeapon*>(m_weapons.GetAt(i));
        u32 value = OfFlag(weapon, flag) ? 1 : 0;
        if (weapon) weapon->OnMessage(kMsgWeaponShown, this, reinterpret_cast<intptr_t>(&value));
    }
}

u32 CCharacterBase::ResetStates(u32 mask)
{
    CharacterStatus& s = m_status;
    for (u32 i = 0; i < kAttachedObjectCount; ++i) {
        if (!(mask >> i & 1u)) SetAttachedObject(i, nullptr);
    }
    for (u32 i = 0; i < m_spellCards.size(); ++i) {
        if (ISpellCardState* card = GetSpellCardState(i)) card->ClearAttachedObjects();
    }
    if (!(mask >> 26 & 1u))
        SendObjectMessage(kMsgStageDarkening, CObjectRegistry::kBroadcastId, kGroupStage, 0);
    if (mask != kResetKeepLoops) s.turnShoot = 0;
    // Every attack starts with a reset: the hits marked belong to the last.
    s.attackHitMask = 0;
    if (!(mask >> 27 & 1u)) {
        auto weapon = [this](u32 i) { return static_cast<CWeapon*>(m_weapons.GetAt(i)); };
        auto alwaysShown = [&](u32 i) {
            const CWeaponSetting* settings = weapon(i) ? weapon(i)->GetSettings() : nullptr;
            return settings && (settings->values.showFlag & 1);
        };
        auto show = [&](u32 i, u32 shown) {
            if (weapon(i)) weapon(i)->OnMessage(kMsgWeaponShown, this, reinterpret_cast<intptr_t>(&shown));
        };
        if (s.shownWeapon >= 0 && HasWeapon(u32(s.shownWeapon)) && !alwaysShown(u32(s.shownWeapon)))
            ShowWeapon(s.shownWeapon, 0, 1);
        for (u32 i = 0; i < m_weapons.GetCount(); ++i) {
            if (alwaysShown(i)) show(i, 1);
        }
    }
    if (!((mask >> 16 & 1u) && (mask >> 17 & 1u)) && IsFrozen()) {
        s.timers.freezeTime = 0;
        PlayEffectOnce(s.freezeKind == 0 ? kEffectIceFreezeEnd : kEffectTimeFreezeEnd);
    }
    SendObjectMessage(kMsgFighterReset, CObjectRegistry::kBroadcastId, kGroupBullet, 0);
    GetColor()->w = 1.0f;
    return 1;
}

u32 CCharacterBase::AddSparkGauge(f32 amount)
{
    m_status.sparkGauge += amount;
    if (m_parameter && m_parameter->values.spark.maxSparkGauge <= m_status.sparkGauge)
        m_status.sparkGauge = m_parameter->values.spark.maxSparkGauge;
    return 1;
}

u32 CCharacterBase::RecoverHP(f32 rate)
{
    CharacterStatus& s = m_status;
    s.exactHp += GetFrameTime() * rate;
    s.hp = SaturateToI32(s.exactHp);
    const i32 full = m_parameter ? m_parameter->values.general.hp : 0;
    if (s.exactHp > f32(full)) {
        s.hp = full;
        return 0;
    }
    return 1;
}

u32 CCharacterBase::GuardBreak(CCharacterBase* attacker)
{
    m_status.guardBreak = 1;
    m_status.guardGauge = m_parameter ? m_parameter->values.guard.guardTime : 0.0f;
    if (attacker && attacker->GetParameter()) {
        const GuardRecord& guard = attacker->GetParameter()->values.guard;
        GuardCrashHit hit{0, guard.crashDamagePow, guard.crashDamageLimit, CVector3(0, 0, -1), guard.crashDamageType};
        TakeHit(attacker, kGuardCrashHitKind, reinterpret_cast<intptr_t>(&hit));
    }
    PlayEffectOnce(kEffectGuardBreak);
    return 1;
}

u32 CCharacterBase::PayGuardMP(f32 amount, CCharacterBase* attacker)
{
    m_status.mp -= amount;
    if (m_status.mp <= 0) {
        m_status.mp = 0;
        GuardBreak(attacker);
    }
    return 1;
}

u32 CCharacterBase::AddGuardLoad(f32 amount, CCharacterBase* attacker)
{
    const f32 limit = m_parameter ? m_parameter->values.guard.guardTime : 0.0f;
    m_status.guardGauge += amount * limit;
    if (limit <= m_status.guardGauge) GuardBreak(attacker);
    return 1;
}

u32 CCharacterBase::GetHitSphere(u32 i, CVector4* out) const
{
    if (!m_parameter || !out || i >= m_parameter->values.body.hitSphere.GetCount()) return 0;
    const CHitSphereRecord& record = *m_parameter->values.body.hitSphere.GetAt(i);
    CVector3 center = record.position;
    const CAnimationFrame* bone = i < m_hitSphereBones.size() ? m_hitSphereBones[i] : nullptr;
    if (bone && GetAnimationController()) center.TransformCoord(bone->CombinedMatrix);
    else center.TransformCoord(m_world);
    *out = CVector4(center.x, center.y, center.z, record.radius);
    return 1;
}

u32 CCharacterBase::CanDoubleAttack() const
{
    if (m_status.timers.doubleAttackCooldown > 0 || !m_status.lockedTargetId) return 0;
    // The battle's character list (message 18), in its fixed order.
    const BattleCharacterList* list = nullptr;
    auto* self = const_cast<CCharacterBase*>(this);
    if (!self->SendObjectMessage(kMsgCharacterList, CObjectRegistry::kHandlerId, -1, reinterpret_cast<intptr_t>(&list)) ||
        !list)
        return 0;
    for (u32 i = 0; i < list->count; ++i) {
        const auto* other = dynamic_cast<const CCharacterBase*>(list->characters[i]);
        if (!other || other == this || other->GetTeam() != GetTeam()) continue;
        if (other->GetStatus()->lockedTargetId == m_status.lockedTargetId && other->IsTargetable()) return 1;
    }
    return 0;
}
