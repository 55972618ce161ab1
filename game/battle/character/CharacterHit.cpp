// Hits, the hit reaction, the limit and roll rules, the wall bounce, defeat
// and revival, and the guard action.
#include "game/battle/character/CharacterAction.h"
#include "game/battle/character/CharacterSlots.h"

#include "engine/core/FloatMath.h"
#include "engine/core/Random.h"
#include "engine/platform/FrameTime.h"
#include "engine/scene/EffectContainer.h"
#include "game/battle/object/Bullet.h"
#include "host/kernel/Kernel.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace {

using namespace character_actions;
using character_slots::kGuardWeapons;
using character_slots::kResetKeepLoopsButFlight;

// Messages of the hit code that the object messages do not name yet.
inline constexpr u32 kSlotRoll = 4, kSlotSpin = 5, kSlotGuard = 10, kSlotBind = 11;
inline constexpr u32 kWAttackVoiceTimer = 3, kMemberAttackVoiceTimer = 5, kDamageVoiceTimer = 6;

u32 M(const char* key) { return FindMotionKey(key); }

f32 WrapAngle(f32 a)
{
    a = FmodF(a, 360.0f);
    return a < 0 ? a + 360.0f : a;
}

// A zero vector stays zero instead of turning into NaN.
CVector3 Normalised(const CVector3& v)
{
    const f32 n = v.Length();
    return n > 0 ? v * (1.0f / n) : CVector3();
}

void Push(i32 (&list)[5], i32 value)
{
    for (u32 i = 4; i > 0; --i) list[i] = list[i - 1];
    list[0] = value;
}

}  // namespace

f32 CCharacterAction::GetDamageFactor(u32 attackKind) const
{
    if (attackKind >= 10 || !m_parameter) return 1.0f;
    const CharacterStatus& s = m_status;
    f32 k = GetSkillDamageFactor(GetSkillPlaces(), s.lockedByCount >= 2 ? s.lockedByCount : 0);
    const CSpellCardValues& exception = m_parameter->GetSpellCard(4).GetValues();
    if (IsBerserk()) k *= exception.berserkDamageRevise;
    if (IsArmored()) k *= exception.armorDamageRevise;
    if (s.tension < kTensionLevelCount) k *= m_parameter->values.bonuses[s.tension].damageRevise;
    return k * GetDamageScale();
}

i32 CCharacterAction::TakeHit(CObjectDivision* attacker, u32 kind, intptr_t record)
{
    if (kind != kGuardCrashHitKind || !record) return 0;
    const GuardCrashHit& crash = *reinterpret_cast<const GuardCrashHit*>(record);
    return TakeHit(Hit{f32(crash.damage), crash.power, crash.limit, 0, 0, crash.direction, u32(crash.damageType),
                       kind, 1, 0, dynamic_cast<CCharacterBase*>(attacker)});
}

i32 CCharacterAction::TakeHit(const Hit& hit)
{
    CharacterStatus& s = m_status;
    if (hit.damage == 0 && hit.damageType == 0) return 1;
    CCharacterBase* attacker = hit.attacker;
    if (s.action == kActionShootOut && (!attacker || attacker->GetId() != s.lockedTargetId)) return 0;
    const SkillPlaces skills = GetSkillPlaces();
    f32 d = GetDamageFactor(hit.attackKind) * hit.damage;
    f32 p = GetSkillPowerFactor(skills, s.lockedByCount) * hit.power;
    f32 l = GetSkillLimitFactor(skills) * hit.limit;
    const f32 g = (attacker ? attacker->GetSparkFactor() : 1.0f) * hit.gauge;
    const f32 c = GetSparkFactor() * hit.causeGauge;
    u32 type = hit.damageType;
    if ((IsArmored() || p == 0) && !IsFrozen()) p = 0, l = 0, type = 0;
    // Double attack: a second teammate joins while the window is open.
    const CObjectRegistry* registry = GetObjectRegistry();
    auto* previous = registry && s.lastAttackerId ? dynamic_cast<CCharacterBase*>(registry->Find(s.lastAttackerId)) : nullptr;
    if (previous && attacker && previous != attacker && s.moveHit.doubleAttackWindow > 0 &&
        previous->GetTeam() == attacker->GetTeam()) {
        for (CCharacterBase* a : {previous, attacker}) {
            a->GetStatus()->moveHit.doubleAttackFlag = 1;
            a->GetStatus()->moveHit.doubleAttackTimer = 0;
            ++a->GetStatus()->moveHit.doubleAttacks;
        }
        ++s.moveHit.doubleAttacksReceived;
        if (attacker->GetParameter()) d = CeilF(d * attacker->GetParameter()->values.general.wAttackRevice);
        f32& voice = s.timers.voiceCooldowns[kWAttackVoiceTimer];
        if (voice <= 0) {
            previous->PlaySound(FindVoiceKey("VOICEWATTACK"));
            voice = m_parameter ? m_parameter->values.general.wAttackVoiceTime : 0.0f;
        }
    }
    if (attacker && attacker->GetTeam() == s.team && s.moveHit.friendlyFire == 1) d *= 0.5f;
    // Damage and life come from data and peers: a NaN or a huge value
    // converts the same everywhere, and life stops at the i32 ends.
    const i32 whole = SaturateToI32(d);
    s.hp = i32(std::clamp<i64>(i64(s.hp) - whole, INT32_MIN, INT32_MAX));
    // A negative damage heals, but no further than the full HP (as message 7).
    if (whole < 0 && m_parameter) s.hp = std::min(s.hp, std::max(m_parameter->values.general.hp, s.hp + whole));
    s.exactHp = f32(s.hp);
    s.moveHit.damageTaken = SaturateToI32(f32(s.moveHit.damageTaken) + d);
    Push(s.moveHit.lastTaken, whole);
    if (attacker) {
        CharacterMoveHitState& a = attacker->GetStatus()->moveHit;
        a.damageDealt = SaturateToI32(f32(a.damageDealt) + d);
        Push(a.lastDealt, whole);
        // Attack kinds 10 and 11: the climax card's hits.
        if (hit.attackKind == 10 || hit.attackKind == 11) ++a.climaxHits;
    }
    if (p > 0) s.knockPower = p;
    s.limitGauge += l;
    AddSparkGauge(c);
    if (attacker) attacker->AddSparkGauge(g);
    if (!hit.keepAction) SetAttachedObject(kSlotBind, nullptr);
    if (s.hp < 1 && !IsDefeated()) {
        if (hit.canKill && !s.moveHit.noDefeat) return Defeat(hit.sourceDirection, type, hit.attackKind, attacker);
        s.hp = 1;
        s.exactHp = 1;
    }
    Damage(hit.sourceDirection, type, hit.keepAction, attacker);
    return 1;
}

u32 CCharacterAction::Damage(const CVector3& source, u32 type, u32 keepAction, CCharacterBase* attacker)
{
    CharacterStatus& s = m_status;
    if (!m_parameter) return 0;
    const LimitRecord& limit = m_parameter->values.limit;
    if (type == 0 && !(s.action == kActionFrozen && s.freezeKind == 0 && s.limitGauge > limit.maxLimit)) return 0;
    if (type >= kDamageTypeCount) return 0;
    const f32 sourceYaw = WrapAngle(Atan2F(source.x, source.z) * kRadToDeg + 180.0f);
    const f32 a = AbsF(sourceYaw - m_rotation.y);
    const bool front = a >= 120.0f && a <= 240.0f;
    if (s.action != kActionHitReaction && s.timers.limitTimer <= 0) s.moveHit.rollCount = 0;
    if (type == 5 || type == 6) {
        ++s.moveHit.rollCount;
        if (!(type != s.damageType && s.moveHit.rollCount < u32(limit.rollDamageCount)) && s.limitGauge < limit.maxLimit)
            s.limitGauge = limit.maxLimit;
    }
    u32 motion = s.damageMotion;
    i32 voice = -1;
    const bool overLimit = !keepAction && s.limitGauge >= limit.maxLimit &&
                           (type != 1 || (attacker && attacker->IsLastComboHit()));
    if (overLimit) {
        motion = M("DAMAGESPIN");
        s.knockPower = limit.limitDownPow;
        s.timers.hitReaction = 0;
        type = 7;
        ++s.moveHit.spins;
        if (attacker) ++attacker->GetStatus()->moveHit.spinsCaused;
    } else if (type == 1) {
        const char* const starts[] = {"DAMAGESMALLBACKSTART", "DAMAGESMALLBACKSTART", "DAMAGESMALLLEFTSTART",
                                      "DAMAGESMALLRIGHTSTART", "DAMAGESMALLUPSTART", "DAMAGESMALLDOWNSTART"};
        // Redrawn until it differs: the candidates are distinct motion ids,
        // so at most two of the six draws can match and the loop ends.
        do {
            const u32 r = RandomInt(6);
            motion = r < 2 && front ? M("DAMAGESMALLFRONTSTART") : M(starts[r]);
        } while (motion == s.damageMotion);
        const u32 r = host::kernel::TimeGetTime() % 6;   // the voice only, never state
        if (r < 5) voice = i32(FindVoiceKey("VOICEDAMAGESMALL01") + r);
    } else if (type >= 2 && type != 7) {
        // Type 7, and a kept type 0 (a hit on an ice-frozen fighter over
        // the limit that leaves its action alone), keep the motion they
        // have and are silent: the table has no row for them.
        struct Row {
            const char *front, *back;
            u32 loop;
            const char* voice;
        };
        static const Row rows[] = {
            {"DAMAGEMEDIUMFRONTSTART", "DAMAGEMEDIUMBACKSTART", 0, "VOICEDAMAGEMEDIUM"},
            {"DAMAGELARGEFRONTA", "DAMAGELARGEBACKA", 0, "VOICEDAMAGELARGE"},
            {"DAMAGELARGEFRONTB", "DAMAGELARGEBACKB", 0, "VOICEDAMAGELARGE"},
            {"DAMAGEROLLSMALLFRONT", "DAMAGEROLLSMALLBACK", 1, "VOICEDAMAGEROLL"},
            {"DAMAGEROLLLARGEFRONT", "DAMAGEROLLLARGEBACK", 1, "VOICEDAMAGEROLL"},
            {"", "", 0, ""},
            {"DAMAGEBLOWOFFFRONT", "DAMAGEBLOWOFFBACK", 0, "VOICEDAMAGEROLL"},
            {"DAMAGEFALLOFFFRONT", "DAMAGEFALLOFFBACK", 1, "VOICEDAMAGEROLL"},
            {"DAMAGEDOWNBACKSTART", "DAMAGEDOWNFRONTSTART", 0, "VOICEDAMAGELARGE"},
        };
        static_assert(std::size(rows) == kDamageTypeCount - 2);
        const Row& row = rows[type - 2];
        // A down from the front falls on its back: its row lists that first.
        motion = M(front ? row.front : row.back);
        voice = i32(FindVoiceKey(row.voice));
        CharacterMoveHitState* dealt = attacker ? &attacker->GetStatus()->moveHit : nullptr;
        if (type == 5 || type == 6) {
            ++s.moveHit.rolls;
            if (dealt) ++dealt->rollsCaused;
        }
        if (type == 10) {
            ++s.moveHit.downs;
            if (dealt) ++dealt->downsCaused;
        }
    }
    const bool loops = overLimit || type == 5 || type == 6 || type == 9;
    s.damageMotion = motion;
    ChangeMotion(motion, loops ? 1 : 0);
    if (!keepAction) {
        f32& damageVoice = s.timers.voiceCooldowns[kDamageVoiceTimer];
        if (damageVoice <= 0) {
            f32& member = s.timers.voiceCooldowns[kMemberAttackVoiceTimer];
            if (attacker && attacker != this && attacker->GetTeam() == s.team && member <= 0) {
                PlaySound(FindVoiceKey("VOICEMEMBERATTACK"));
                member = m_parameter->values.general.memberAttackVoiceTime;
            } else if (voice >= 0) {
                PlaySound(u32(voice));
            }
            damageVoice = m_parameter->values.general.damageVoiceTime;
        }
    }
    s.hitDirection = Normalised(source);
    s.lastAttackerId = attacker ? attacker->GetId() : 0;
    s.damageType = type;
    s.timers.actionClocks[kDamageClock] = 0;
    if (!keepAction) {
        SetAction(kActionHitReaction);
        ResetStates(kResetKeepLoopsButFlight);
    }
    if (type == 5 || type == 6) {
        if (attacker && attacker->CanDoubleAttack() && attacker->GetParameter())
            s.moveHit.doubleAttackWindow = attacker->GetParameter()->values.general.recvWAttackTime;
        StartEffect(kSlotRoll, FindEffectKey("EFCDAMAGEROLL"));
    } else if (type == 7) {
        StartEffect(kSlotSpin, FindEffectKey("EFCDAMAGESPINE"));
    }
    if (type >= 2) {
        const u32 slot = s.participantSlot;
        SendObjectMessage(kMsgSmallShake, CObjectRegistry::kBroadcastId, kGroupStage, reinterpret_cast<intptr_t>(&slot));
        SetVibration(m_parameter->values.body.smallPadVibrationPow);
    }
    return 1;
}

u32 CCharacterAction::HitReactionStep(u32)
{
    CharacterStatus& s = m_status;
    if (!m_parameter || s.damageType >= kDamageTypeCount) return 1;
    if (s.timers.hitStopTime > 0) return 0;
    const DamageReaction& r = m_parameter->values.damages[s.damageType];
    const f32 dt = GetFrameTime();
    auto isMotion = [&](std::initializer_list<const char*> keys) {
        for (const char* k : keys)
            if (s.damageMotion == M(k)) return true;
        return false;
    };
    const auto starts = {"DAMAGEDOWNBACKSTART", "DAMAGEDOWNFRONTSTART", "DAMAGEBLOWOFFFRONT", "DAMAGEBLOWOFFBACK"};
    if (s.knockPower > 0) {
        s.acceleration += s.hitDirection * (r.velocity * s.knockPower * dt);
        s.acceleration.y -= r.fallVelocity * dt;
        s.knockPower -= r.powAttenuation * dt;
        if (s.damageType == character_slots::kDamageSpin) {
            // Wanted as well, or the turn step pulls the spin back each frame.
            const CVector3 n = Normalised(s.acceleration);
            if (n.x != 0 || n.z != 0) FaceYaw(WrapAngle(Atan2F(n.x, n.z) * kRadToDeg + 180.0f), true);
            m_rotation.x = s.targetAngles.x = (n.y - 1.0f) * 90.0f;
        }
        if (s.knockPower <= 0) {
            u32 next = s.damageMotion + 1;
            if (s.damageMotion == M("DAMAGESPIN")) {
                next = M("DAMAGEDOWNBACKSTART");
                m_rotation.x = 0;
                s.targetAngles.x = 0;
            } else if (isMotion(starts)) {
                next = s.damageMotion + 2;
            }
            s.damageMotion = next;
            ChangeMotion(next, 0);
            EndAttachedObject(kSlotRoll);
            SetAttachedObject(kSlotSpin, nullptr);
            if (s.damageType >= 2) PlayEffectOnce(FindEffectKey("EFCRECOVER"));
            if (isMotion({"DAMAGEDOWNRECOVERBACK", "DAMAGEDOWNRECOVERFRONT", "DAMAGEFALLOFFRECOVERFRONT",
                          "DAMAGEFALLOFFRECOVERBACK"}))
                PlaySound(FindVoiceKey("VOICEDAMAGEDOWNRECOVER"));
            else if (s.damageType >= 3 && s.damageType <= 6)
                PlaySound(FindVoiceKey("VOICEDAMAGERECOVER"));
        } else if (isMotion(starts) && IsChangedAnimationEnded()) {
            s.damageMotion += 1;
            ChangeMotion(s.damageMotion, 1);
        }
        return 0;
    }
    // A damage motion the model lacks never plays, so it cannot be waited
    // for: the reaction would never end.
    const bool running = s.timers.hitReaction > 0 ? s.timers.actionClocks[kDamageClock] <= s.timers.hitReaction
                                                  : HasMotion(s.damageMotion) && !IsChangedAnimationEnded();
    if (running) return 0;
    if (s.damageType == character_slots::kDamageSpin && s.damageMotion == M("DAMAGEDOWNBACKSTART")) {
        s.damageMotion = M("DAMAGEDOWNRECOVERBACK");
        ChangeMotion(s.damageMotion, 0);
        PlayEffectOnce(FindEffectKey("EFCRECOVER"));
        return 0;
    }
    s.timers.justGuardWindow = r.justGuardInterval;
    ExtendInvincibility(r.invincibilityTime);
    s.damageType = 0;
    s.timers.limitTimer = m_parameter->values.limit.limitRecoverTime;
    s.timers.hitReaction = 0;
    return 1;
}

u32 CCharacterAction::BounceDown(const CVector3& n)
{
    CharacterStatus& s = m_status;
    const f32 k = 2.0f * s.hitDirection.Dot(n);
    if (k >= 0) return 1;
    s.hitDirection = Normalised(s.hitDirection - n * k);
    s.damageMotion = M(s.hitDirection.y > 0 ? "DAMAGEDOWNBACKSTART" : "DAMAGEDOWNFRONTSTART");
    s.action = kActionHitReaction;
    s.damageType = character_slots::kDamageDown;
    ++s.moveHit.downs;
    ChangeMotion(s.damageMotion, 0);
    ResetStates(kResetKeepLoopsButFlight);
    PlaySoundEffect(character_slots::kSeDown);
    return 1;
}

u32 CCharacterAction::Defeat(const CVector3& source, u32, u32 attackKind, CCharacterBase* attacker)
{
    CharacterStatus& s = m_status;
    s.damageType = character_slots::kDamageDown;
    const f32 b = AbsF(WrapAngle(Atan2F(source.x, source.z) * kRadToDeg) - m_rotation.y);
    s.damageMotion = M(b < 120.0f || b > 240.0f ? "DAMAGEDOWNFRONTSTART" : "DAMAGEDOWNBACKSTART");
    u32 order = 0;
    SendObjectMessage(kMsgRemainingTime, CObjectRegistry::kHandlerId, 0, reinterpret_cast<intptr_t>(&order));
    s.moveHit.defeatAnswer = order;
    ++s.moveHit.defeats;
    s.limitGauge = 0;
    s.timers.limitTimer = 0;
    ChangeMotion(s.damageMotion, 0);
    SetAction(kActionDefeated);
    if (attacker) {
        const CharacterStatus& as = *attacker->GetStatus();
        if (!(as.action == kActionSpellCard && as.spellSlot == 6)) attacker->PlaySound(FindVoiceKey("VOICEBEAT"));
        CharacterMoveHitState& a = attacker->GetStatus()->moveHit;
        ++a.kills;
        // Counters A..I by attack kind.
        static const i8 first[12] = {0, 1, 1, -1, -1, -1, 3, 3, 5, 6, 7, 7};
        static const i8 second[12] = {-1, -1, 2, -1, -1, -1, -1, 4, -1, -1, -1, 8};
        if (attackKind < 12) {
            if (first[attackKind] >= 0) ++a.killCounts[first[attackKind]];
            if (second[attackKind] >= 0) ++a.killCounts[second[attackKind]];
        }
        a.lastKillKind = attackKind;
        i32 team = attacker->GetTeam();
        SendObjectMessage(kMsgKill, CObjectRegistry::kBroadcastId, kGroupFighter, reinterpret_cast<intptr_t>(&team));
    }
    i32 team = s.team;
    SendObjectMessage(kMsgDefeated, CObjectRegistry::kBroadcastId, kGroupFighter, reinterpret_cast<intptr_t>(&team));
    s.hp = 0;
    s.exactHp = 0;
    s.damageType = 0;
    s.knockPower = 0;
    s.moveHit.rollCount = 0;
    PlaySoundEffect(character_slots::kSeBeat);
    ResetStates(kResetKeepLoopsButFlight);
    SendObjectMessage(kMsgShotObjectDeadEnd, CObjectRegistry::kBroadcastId, kGroupBullet, 0);
    if (s.revival) ++s.defeatCount;
    return 1;
}

void CCharacterAction::EnterOut(u32)
{
    ResetStates(kResetKeepLoopsButFlight);
    u32 answer = 0;
    SendObjectMessage(kMsgBattleOver, CObjectRegistry::kHandlerId, 0, reinterpret_cast<intptr_t>(&answer));
    if (answer) return;
    ChangeMotion(M("LOSE"), 0);
    SetAction(kActionDefeated);
    ClearMotionState();
}

u32 CCharacterAction::DefeatedStep(u32)
{
    CharacterStatus& s = m_status;
    if (IsChangedAnimationEnded()) {
        if (IsChangedAnimation(M("LOSE"))) {
            ChangeMotion(M("LOSELOOP"), 1);
        } else if (s.damageMotion == M("DAMAGEDOWNBACKSTART") || s.damageMotion == M("DAMAGEDOWNFRONTSTART")) {
            if (IsChangedAnimation(s.damageMotion)) ChangeMotion(s.damageMotion + 1, 1);
        }
    }
    if (s.revival != 1 || !m_parameter) return 0;
    i32 lives = s.team;
    if (!SendObjectMessage(kMsgTeamLives, CObjectRegistry::kHandlerId, 0, reinterpret_cast<intptr_t>(&lives)) ||
        lives < 1)
        return 0;
    // Down while the HP refills; up only once the refill has passed HP.
    if (RecoverHP(m_parameter->values.body.addHpSpeed)) return 0;
    // A down or recover motion the model lacks counts as played, so a
    // fighter whose model has neither still gets up.
    const u32 down = s.damageMotion + 1, recover = s.damageMotion + 2;
    bool revived = false;
    if (IsChangedAnimation(recover)) {
        revived = IsChangedAnimationEnded() != 0;
    } else if (IsChangedAnimation(down) || !HasMotion(down)) {
        ChangeMotion(recover, 0);
        PlaySound(FindVoiceKey("VOICEDAMAGEDOWNRECOVER"));
        revived = !HasMotion(recover);
    }
    if (!revived) return 0;
    const u32 type = s.damageType < kDamageTypeCount ? s.damageType : 0;
    ExtendInvincibility(m_parameter->values.damages[type].invincibilityTime);
    // Back with everything reloaded (FULLCHARGEFLG): the magazine, the close
    // attack, every card's stock and the tension cards' clocks, unless an empty-start skill forbids it and sends the fighter back
    // with an empty magazine.
    const u32 selected = s.selectedBarrage < kShotSlotCount ? s.selectedBarrage : 0;
    if (AnySkillHas(GetSkillPlaces(), kEmptyStartFlag)) {
        // Empty, and reloading from the start as a magazine just run out.
        s.ammunition = 0;
        s.timers.ammoReloadDuration = m_parameter->values.shots[selected].reload;
        s.timers.ammoReload = 0.0f;
    } else if (m_parameter->values.limit.fullChargeFlg) {
        s.ammunition = m_parameter->values.shots[selected].ammunition;
        s.timers.ammoReload = 0.0f;
        const u32 combo = s.comboIndex < kShortAttackCount ? s.comboIndex : 0;
        s.timers.shortAttackCooldown = m_parameter->values.shortAttacks[combo].reload;
        for (u32 i = 0; i < m_spellCards.size(); ++i)
            if (ISpellCardDriver* card = GetSpellCardDriver(i)) card->RefillCard(i >= 5);
    }
    return 1;
}

u32 CCharacterAction::StartGuard(f32 angle)
{
    CharacterStatus& s = m_status;
    if (!CanUse(0)) return 0;
    CVector3 eye, view;
    if (m_camera) m_camera->GetView(&eye, &view);
    // The wanted facing too: the turn step would take the guard back round.
    if (angle != -1.0f) FaceYaw(WrapAngle(view.y + angle), true);
    else if (KeepsRotationAsView()) FaceYaw(view.y, true);
    s.guardGauge = 0;
    s.timers.guardReload = 0;
    ShowWeaponsOfFlag(kGuardWeapons, 1);
    ChangeMotion(M("GUARD"), 1);
    SetAction(kActionGuard);
    ++s.moveHit.guards;
    const u32 effect = FindEffectKey("EFCGUARD");
    if (effect < kEffectCount && s.effects[effect] && m_parameter) {
        s.moveHit.guardCenter = m_parameter->values.guard.center;
        s.moveHit.guardCenter.TransformCoord(m_world);
        // One effect standing at the guard centre: it follows the centre the
        // guard step keeps on the fighter, and the fighter's facing.
        SetAttachedObject(kSlotGuard, s.effects[effect]->PlayFull(GetEffectManager(), &s.moveHit.guardCenter,
                                          &m_rotation, nullptr, GetColor(), 0.0f, 0, 1, nullptr, nullptr));
    }
    return 1;
}

u32 CCharacterAction::GuardStep(u32)
{
    CharacterStatus& s = m_status;
    if (!m_parameter) return 0;
    const u32 effect = FindEffectKey("EFCGUARD");
    if (effect < kEffectCount && s.effects[effect]) {
        s.moveHit.guardCenter = m_parameter->values.guard.center;
        s.moveHit.guardCenter.TransformCoord(m_world);
    }
    if (s.guardBreak || s.guardGauge >= m_parameter->values.guard.guardTime) {
        s.guardBreak = 1;
        SetAction(kActionNeutral);
        ShowWeaponsOfFlag(kGuardWeapons, 0);
        ResetStates(kResetKeepLoopsButFlight);
    }
    return 0;
}

u32 CCharacterAction::EscapeShootOut(u32 released)
{
    CharacterStatus& s = m_status;
    if (released) ++s.moveHit.escapePresses;
    auto* target = dynamic_cast<CCharacterAction*>(GetLockedTarget());
    if (!m_parameter || !target || i32(s.moveHit.escapePresses) < m_parameter->values.shootOut.count) return 0;
    CharacterStatus& t = *target->GetStatus();
    if (const CCharacterParameter* tp = target->GetParameter())
        t.timers.stun = tp->values.spark.records[t.sparkKind ? 1 : 0].reactionTime;
    ++s.moveHit.escapes;
    s.moveHit.escapePresses = 0;
    const ShootOutRecord& o = m_parameter->values.shootOut;
    const CVector3 toward = Normalised(*target->GetPosition() - m_position);
    target->TakeHit(Hit{f32(o.str), o.pow, o.limit, o.gauge, o.causeGauge, toward, u32(o.damageType), 3, 1, 0, this});
    // The escaped-from fighter sees who broke out.
    if (ICameraController* camera = target->GetCameraController()) {
        camera->LookAtObject(this);
        target->SwitchCamera(kCameraLock);
    }
    return 1;
}
