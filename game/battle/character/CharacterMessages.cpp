// The object messages a fighter answers: queries of bullets, weapons, spell
// cards and the stage, and what they do to it.
#include "game/battle/character/CharacterAction.h"

#include "engine/core/FloatMath.h"
#include "engine/platform/FrameTime.h"
#include "game/battle/object/Bullet.h"
#include "game/battle/object/MeshHitRecord.h"
#include "game/battle/object/StageSetting.h"
#include "engine/scene/EffectContainer.h"

namespace {

using namespace character_actions;
constexpr u32 kEffectRecover = 16;   // EFCRECOVER
constexpr u32 kTargetVoiceClock = 1; // TARGEVOICETTIME's cooldown

}  // namespace

u32 CCharacterAction::HandleCharacterMessage(u32 message, CMessageObject* sender, intptr_t parameter)
{
    CharacterStatus& s = m_status;
    const f32 radius = m_parameter ? m_parameter->values.body.radius : 0.0f;
    switch (message) {
    case kMsgKill:
    case kMsgDefeated: {
        const auto* other = dynamic_cast<const CCharacterBase*>(sender);
        if (!other || other == this || !parameter || *reinterpret_cast<const i32*>(parameter) != s.team) return 1;
        // Down, bound, or in the climax card once its bind has hit: no team voice.
        const bool quiet = In(s.action, {kActionDefeated, kActionBound}) || IsClimaxCardUnderWay();
        if (!quiet) PlaySound(message == kMsgKill ? 2 : 3);
        return 1;
    }
    case kMsgLockedOn:
        if (reinterpret_cast<CMessageObject*>(parameter) == this && s.timers.voiceCooldowns[kTargetVoiceClock] <= 0) {
            PlaySound(5);
            s.timers.voiceCooldowns[kTargetVoiceClock] = m_parameter ? m_parameter->values.general.targetVoiceTime : 0;
        }
        return 1;
    case 7: {
        if (!parameter) return 1;
        const i32 full = m_parameter ? m_parameter->values.general.hp : 0;
        // Widened: a huge amount must not wrap HP round.
        const i64 hp = i64(s.hp) + *reinterpret_cast<const i32*>(parameter);
        s.hp = i32(hp > full ? full : hp);
        s.exactHp = f32(s.hp);
        PlayEffectOnce(kEffectRecover);
        return 1;
    }
    case 8: return parameter ? RecoverHP(*reinterpret_cast<const f32*>(parameter)) : 1;
    case kMsgStageMoveHit:
        // Only a reach this fighter is asking about takes the answer.
        if (m_reachHit && parameter) {
            *m_reachHit = *reinterpret_cast<const CMeshHitRecord*>(parameter);
            m_reachMet = true;
        }
        return 1;
    case kMsgStageSegmentHit: {
        if (!parameter) return 1;
        CVector3 centre;
        GetCenter(&centre);
        const CVector3 to = reinterpret_cast<const CMeshHitRecord*>(parameter)->point - centre;
        const f32 length = to.Length();
        // A point at the centre gives no direction: stay.
        s.displacement = length > 0.0f ? to * ((length - radius) / length) : CVector3();
        return 1;
    }
    case kMsgStageSphereHit: {
        if (!parameter) return 1;
        const auto& hit = *reinterpret_cast<const CMeshHitRecord*>(parameter);
        CVector3 centre;
        GetCenter(&centre);
        const CVector3 moved = m_position + (hit.point + hit.normal * (radius + 0.001f)) - centre;
        SetPosition(&moved);
        if (BouncesOffWalls()) BounceDown(hit.normal);
        return 1;
    }
    case kMsgOutsideStageBox: {
        if (!parameter) return 1;
        const CBox& box = reinterpret_cast<const StageParameters*>(parameter)->box;
        CVector3 p = m_position, normal;
        if (p.x < box.min.x + radius) p.x = box.min.x + radius, normal = {1, 0, 0};
        else if (p.x > box.max.x - radius) p.x = box.max.x - radius, normal = {-1, 0, 0};
        if (p.y < box.min.y) p.y = box.min.y, normal = {0, -1, 0};
        else if (p.y > box.max.y - radius) p.y = box.max.y - radius, normal = {0, 1, 0};
        if (p.z < box.min.z + radius) p.z = box.min.z + radius;
        else if (p.z > box.max.z - radius) p.z = box.max.z - radius;
        SetPosition(&p);
        if (BouncesOffWalls()) BounceDown(normal);
        return 1;
    }
    case kMsgViewCamera:
        // Left as it is without a camera: the caller starts it at null.
        if (parameter && m_camera && m_camera->GetCamera())
            *reinterpret_cast<CCamera**>(parameter) = m_camera->GetCamera();
        return 1;
    case kMsgTargetSlot:
        if (parameter) *reinterpret_cast<u32*>(parameter) = s.participantSlot;
        return 1;
    case kMsgIsDefeated: return s.action == kActionDefeated ? 1 : 0;
    case 41: return IsGuardable();
    case kMsgPadVibration: {
        const u16 power = m_parameter ? (parameter == 1 ? m_parameter->values.body.largePadVibrationPow
                                                        : m_parameter->values.body.smallPadVibrationPow)
                                      : 0;
        SetVibration(power);
        return 1;
    }
    case kMsgShootRestrict:
        if (!parameter) return 0;
        m_meeting.shootRestrict = *reinterpret_cast<const i32*>(parameter);
        return u32(m_meeting.shootRestrict);
    default: return 1;
    }
}

u32 CCharacterAction::IsInScreenshotSpell() const
{
    if (!IsSpellAction(m_status.action) || !m_parameter || m_status.spellSlot >= kSpellSlotCount) return 0;
    return m_parameter->GetSpellCard(m_status.spellSlot).GetValues().screenShotFlg != 0 ? 1 : 0;
}


void CCharacterBase::HashMeeting(CStateHash& hash) const
{
    const MeetingState& m = m_meeting;
    hash.U32(m.friendlyFire).U32(m.dangerFlags).U32(m.autoSlide).F32(m.autoSlideAngle);
    hash.I32(m.shootRestrict).U32(m.guardedHits).U32(m.guardCounters).U32(m.blockedAttacks).U32(m.shotsGuarded);
    hash.U32(m.binds).U32(m.clashes).U32(m.shotHits).U32(m.boundBy);
}
