// Lock-on: the lock-change button (26) picks the next opponent by the
// configured rule when it is let go, and drops the lock when held long.
#include "game/battle/character/Character.h"
#include "game/battle/character/CharacterSlots.h"

#include "engine/core/FloatMath.h"
#include "game/battle/object/CameraParameter.h"

using namespace character_slots;

namespace {

inline constexpr u32 kLockButton = 26, kCameraFrontButton = 16;
enum LockOnType : u32 { kByFront, kByDistance, kByCamera, kInTurn };

// Degrees between a direction and the way from eye to point; 0 when the
// two meet.
f32 AngleTo(const CVector3& forward, const CVector3& eye, const CVector3& point)
{
    CVector3 way = point - eye;
    const f32 a = forward.Length(), b = way.Length();
    if (a <= 0.0f || b <= 0.0f) return 0.0f;
    const f32 c = forward.Dot(way) / (a * b);
    return AcosF(c > 1.0f ? 1.0f : c < -1.0f ? -1.0f : c) * kRadToDeg;
}

}  // namespace

CObjectDivision* CCharacter::ChooseTarget(const BattleCharacterList& list, CObjectDivision* current) const
{
    auto candidate = [&](CObjectDivision* o) {
        return o && o != this && o != current && o->GetShooterGroup() != m_status.team && o->IsTargetable();
    };
    if (m_status.lockOnType == kInTurn) {
        u32 start = 0;
        for (u32 i = 0; current && i < list.count; ++i) {
            if (list.characters[i] == current) start = i + 1;
        }
        for (u32 i = start; i < list.count; ++i) {
            if (candidate(list.characters[i])) return list.characters[i];
        }
        for (u32 i = 0; i < list.count; ++i) {
            if (candidate(list.characters[i])) return list.characters[i];
        }
        return nullptr;
    }

    CVector3 eye = m_position, forward;
    if (m_status.lockOnType == kByCamera && m_camera) {
        CVector3 angles;
        m_camera->GetView(&eye, &angles);
        m_camera->GetForward(&forward);
    } else {
        const f32 yaw = m_rotation.y * kDegToRad, pitch = m_rotation.x * kDegToRad;
        forward = CVector3(-SinF(yaw) * CosF(pitch), SinF(pitch), -CosF(yaw) * CosF(pitch));
    }
    CObjectDivision* best = nullptr;
    f32 bestKey = 0.0f;
    for (u32 i = 0; i < list.count; ++i) {
        CObjectDivision* o = list.characters[i];
        if (!candidate(o)) continue;
        const CVector3 at = *o->GetPosition();
        const f32 key = m_status.lockOnType == kByDistance ? (at - m_position).Length() : AngleTo(forward, eye, at);
        // Ties keep the earlier fighter in the list.
        if (!best || key < bestKey) best = o, bestKey = key;
    }
    return best;
}

void CCharacterAction::LockOnTo(CObjectDivision* target)
{
    m_status.lockedTargetId = target->GetId();
    // The locked fighter knows itself by the parameter and calls out.
    const CMessageObject* locked = target;
    SendObjectMessage(kMsgLockedOn, target->GetId(), -1, reinterpret_cast<intptr_t>(locked));
}

bool CCharacter::HoldsBound(const CObjectDivision* target) const
{
    const auto* victim = dynamic_cast<const CCharacterBase*>(target);
    return victim && victim->GetStatus()->action == kActionBound && victim->GetMeeting().boundBy == GetId();
}

bool CCharacter::MayLockOn() const
{
    return !IsDefeated() && m_status.action != kActionResult && m_status.queuedAction != kActionResult;
}

void CCharacter::FaceCameraFront()
{
    if (m_camera) m_camera->SetAngles(m_rotation.y, m_rotation.x);
}

void CCharacter::ReleaseLock()
{
    m_memory.lockRequest = 0;
    FaceCameraFront();
    m_status.lockedTargetId = 0;
    const f32 blend = m_parameter ? m_parameter->GetCamera().Get(kCameraNormal, kCameraChangeTime) : 0.0f;
    SetCameraMode(0, blend);
}

u32 CCharacter::UpdateLockOn(u32)
{
    CharacterStatus& s = m_status;
    if (!MayLockOn()) return 0;
    const BattleCharacterList* list = nullptr;
    if (!SendObjectMessage(kMsgCharacterList, CObjectRegistry::kHandlerId, -1, reinterpret_cast<intptr_t>(&list)) ||
        !list)
        return 0;

    CObjectDivision* current = GetLockedTarget();
    // A target id whose object has gone counts as lost; a card keeps the
    // fighter it has bound.
    const bool lost = s.lockedTargetId && (!current || (!current->IsTargetable() && !HoldsBound(current)));
    const bool released = m_input.released[kLockButton] != 0;
    if (!s.lockedTargetId && m_input.triggered[kLockButton]) {
        m_memory.lockRequest = 1;
    } else if (!(m_memory.lockRequest && released) && !(s.lockedTargetId && released) && !lost) {
        const f32 limit = m_parameter ? m_parameter->values.general.lockOffTime : 0.0f;
        if (m_input.held[kLockButton] && f32(m_input.holdTime[kLockButton]) * 0.001f >= limit) ReleaseLock();
    } else {
        m_memory.lockRequest = 0;
        CObjectDivision* next = ChooseTarget(*list, current);
        if (!next) {
            ReleaseLock();
        } else {
            LockOnTo(next);
            const CharacterGeneral* g = m_parameter ? &m_parameter->values.general : nullptr;
            bool shared = false;
            for (u32 i = 0; i < list->count; ++i) {
                const auto* mate = dynamic_cast<const CCharacterBase*>(list->characters[i]);
                if (mate && mate != this && mate->GetTeam() == s.team && mate->IsActive() &&
                    mate->GetStatus()->lockedTargetId == s.lockedTargetId)
                    shared = true;
            }
            f32* cooldowns = s.timers.voiceCooldowns;   // [0] LOCKONVOICETIME, [2] WLOCKONVOICETIME
            if (shared && cooldowns[2] <= 0.0f) {
                PlaySound(FindVoiceKey("VOICEWLOCKON"));
                cooldowns[2] = g ? g->wLockOnVoiceTime : 0.0f;
            } else if (cooldowns[0] <= 0.0f) {
                PlaySound(FindVoiceKey("VOICELOCKON"));
                cooldowns[0] = g ? g->lockOnVoiceTime : 0.0f;
            }
            SetCameraMode(1, m_parameter ? m_parameter->GetCamera().Get(kCameraLock, kCameraChangeTime) : 0.0f);
            PlaySoundEffect(kSeLockOn);
        }
    }
    if (m_input.holdTime[kCameraFrontButton] > 0 && !s.lockedTargetId) FaceCameraFront();
    return 1;
}
