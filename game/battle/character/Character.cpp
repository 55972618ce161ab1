#include "game/battle/character/Character.h"

#include "engine/core/FloatMath.h"
#include "engine/core/Matrix.h"
#include "engine/graphics/Camera.h"
#include "engine/platform/FrameTime.h"
#include "engine/scene/Effect.h"
#include "game/battle/object/Bullet.h"

#include <cstring>

namespace {

// A button never pressed has been free for long: it must not count as a
// direction let go a moment ago.
inline constexpr u32 kLongFreeMs = 1u << 30;

// v turned about the vertical axis by degrees (yaw 0 faces -Z).
CVector3 TurnYaw(const CVector3& v, f32 degrees)
{
    const f32 r = degrees * kDegToRad, c = CosF(r), s = SinF(r);
    return CVector3(v.x * c + v.z * s, v.y, -v.x * s + v.z * c);
}
f32 YawOf(const CVector3& d) { return Atan2F(d.x, d.z) * kRadToDeg + 180.0f; }

}  // namespace

i32 CCharacter::CarriedHp(i32 hp, f32 share)
{
    // Anything but a share in (0, 1) starts whole: a run never carries a
    // dead or over-full fighter in.
    if (!(share > 0.0f && share < 1.0f) || hp <= 0) return hp;
    const i32 carried = i32(f32(hp) * share);
    return carried < 1 ? 1 : carried;
}

CCharacter::CCharacter(CCharacterParameter* parameter, CTensionFile* tension) : CCharacterAction(parameter, tension)
{
    ClearInput();
}

// The base and the handler table; the copy starts with no buttons, no
// packet and no camera memory, as a new fighter does.
CCharacter::CCharacter(const CCharacter& other) : CCharacterAction(other)
{
    std::memcpy(m_inputHandlers, other.m_inputHandlers, sizeof m_inputHandlers);
    m_network = other.m_network, m_padInput = other.m_padInput;
    ClearInput();
}

void CCharacter::ClearInput()
{
    std::memset(&m_input, 0, sizeof m_input);
    for (u32 code = 0; code < kInputCodeCount; ++code) m_input.free[code] = 1, m_input.freeTime[code] = kLongFreeMs;
}

i32 CCharacter::Create(const CharacterCreateRecord* entry)
{
    TakeCreationValues(entry);
    if (entry) {
        m_network = entry->network;
        m_padInput = entry->padInput;
    }
    // Fixed order: later steps read what earlier ones built; a step that
    // fails leaves its part empty and the next runs all the same. The skills
    // adjust the parameter copy before the weapons, barrages and spell cards
    // copy their settings from it, so a card reloads at the skilled pace.
    CreateAnimationController();
    CreateCameraController();
    ApplySkills(entry);
    CreateWeapons(entry);
    CreateBarrages(entry);
    CreateSpellCards(entry);
    BindBones();
    StartCameraFrontEffect();
    CreateAfterimages();
    CreateTrails();
    InitInputTable();
    InitActionTable();
    if (m_parameter) {
        const CharacterValues& v = m_parameter->values;
        m_status.hp = v.general.hp;
        // A survival run's first fighter starts with the life it carried.
        if (entry) m_status.hp = CarriedHp(m_status.hp, entry->carriedLife);
        m_status.exactHp = m_status.shownHp = f32(m_status.hp);
        m_status.ammunition = v.shots[m_status.selectedBarrage].ammunition;
        m_status.timers.guardReload = v.guard.reload;   // the first guard is there at once
        m_status.sparkGauge = v.spark.defaultSparkGauge;
    }
    m_status.shownWeapon = -1;
    return 1;
}

i32 CCharacter::Update(u32 argument)
{
    m_packetApplied = m_packetPending;
    m_packetPending = false;
    const CharacterTimers& t = m_status.timers;
    const bool hitStop = t.hitStopDelay <= 0.0f && t.hitStopTime > 0.0f;
    AdvanceAnimation(hitStop ? 0.0f : GetMotionSpeedRate());
    UpdateMoveInput(argument);
    DispatchInput(argument);
    UpdateTeamOrder(argument);
    DispatchAction(argument);
    UpdateLockOn(argument);
    UpdateSpectate(argument);
    UpdateMovement(argument);
    TurnToView();
    AimBodyBone(argument);
    AimNeckBone(argument);
    AimArmBone(argument);
    UpdateTimers(argument);
    return 1;
}

u32 CCharacter::UpdateMoveInput(u32)
{
    if (!IsFree()) return 0;
    CharacterStatus& s = m_status;
    const f32 dt = GetFrameTime();
    const f32 accel = m_parameter ? m_parameter->values.general.moveAcceleration : 0.0f;
    u32 wanted = FindMotionKey("WAIT");
    if (Held(27)) s.acceleration.y += accel * dt, wanted = FindMotionKey("MOVEUP");
    else if (Held(29)) s.acceleration.y -= accel * dt, wanted = FindMotionKey("MOVEDOWN");
    if (AnyDirectionHeld()) {
        const f32 a = m_input.stick1Angle;
        wanted = FindMotionKey("MOVE");
        CVector3 eye, view, forward(0, 0, -1);
        if (m_camera) m_camera->GetView(&eye, &view), m_camera->GetForward(&forward);
        // Locked on, the stick turns the forward about the camera's own up,
        // which tilts with its pitch: sideways stays level with the view, and
        // the stick pushes to the same side of the screen as it does unlocked.
        CVector3 up(0, 1, 0);
        if (const CCamera* camera = m_camera ? m_camera->GetCamera() : nullptr)
            if (camera->GetUp().Length() > 0) up = camera->GetUp().Normalized();
        // The engine's RotationAxis turns the opposite way to TurnYaw: -a
        // about the up goes where +a about the vertical does.
        CMatrix aboutUp;
        aboutUp.RotationAxis(-a, &up);
        CVector3 locked;
        forward.TransformNormalInto(aboutUp, &locked);
        const CVector3 step = GetLockedTarget() ? locked * accel : TurnYaw(CVector3(0, 0, -accel), view.y + a);
        s.targetAngles.y = YawOf(step);
        s.acceleration += step * dt;
    }
    if (wanted != FindMotionKey("WAIT") && !s.moveEffect) {
        // Climbing and descending turn the burst along the velocity with
        // this frame's push in it, so a climb from rest bursts straight up.
        CVector3 turn = m_rotation;
        if (wanted == FindMotionKey("MOVEUP") || wanted == FindMotionKey("MOVEDOWN")) {
            const CVector3 v = s.velocity + s.acceleration;
            turn = CVector3(Atan2F(v.y, SqrtF(v.x * v.x + v.z * v.z)) * kRadToDeg, YawOf(v), 0.0f);
        }
        PlayEffectAt(FindEffectKey("EFCFLYSET"), m_position, turn);
        if (i32(s.tension) >= kTensionHigh)
            PlayEffectAt(FindEffectKey("EFCOVERTENSIONDIFFUSIONSTARTSMALL"), m_position, turn);
        StartEffect(0, FindEffectKey("EFCFLYLOOP"));
        s.moveEffect = 1;
    } else if (wanted != FindMotionKey("WAIT")) {
        // Moving on while the loop is ending: it comes back from its start,
        // without the end time its ending gave it (0, none, as it started).
        if (CEffect* loop = GetAttachedObject(0); loop && loop->GetEndFlag()) {
            loop->SetEndFlag(0);
            loop->SetTime(0.0f);
            loop->SetEndTime(0.0f);
        }
    }
    if (!IsChangedAnimation(wanted)) ChangeMotion(wanted, 1);
    return 1;
}

u32 CCharacter::UpdateTeamOrder(u32)
{
    if (!CanGiveOrders()) return 0;
    const BattleCharacterList* list = nullptr;
    if (!SendObjectMessage(kMsgCharacterList, CObjectRegistry::kHandlerId, -1, reinterpret_cast<intptr_t>(&list)) ||
        !list)
        return 0;
    if (!Triggered(31)) return 1;
    CharacterStatus& s = m_status;
    s.order = (s.order + 1) % 4;
    for (u32 i = 0; i < list->count; ++i) {
        auto* mate = dynamic_cast<CCharacterBase*>(list->characters[i]);
        if (mate && mate != this && mate->GetTeam() == s.team) mate->GetStatus()->order = s.order;
    }
    f32& cooldown = s.timers.voiceCooldowns[4];   // INDICATEVOICETIME
    if (cooldown <= 0.0f) {
        PlaySound(FindVoiceKey("VOICEINDICATE"));
        cooldown = m_parameter ? m_parameter->values.general.indicateVoiceTime : 0.0f;
    }
    return 1;
}

u32 CCharacter::UpdateSpectate(u32)
{
    if (!IsDefeated() && !IsOut()) return 0;
    const BattleCharacterList* list = nullptr;
    if (!SendObjectMessage(kMsgCharacterList, CObjectRegistry::kHandlerId, -1, reinterpret_cast<intptr_t>(&list)) ||
        !list || !list->count)
        return 0;
    if (Triggered(26)) m_status.followed = (m_status.followed + 1) % list->count;
    return 1;
}

u32 CCharacter::OnVibrationMessage(u32, u32 strength)
{
    const CharacterBody* body = m_parameter ? &m_parameter->values.body : nullptr;
    const u16 power = body ? (strength == 1 ? body->largePadVibrationPow : body->smallPadVibrationPow) : 0;
    SetVibration(power);
    return 1;
}

u32 CCharacter::OnMessage(u32 message, CMessageObject* sender, intptr_t parameter)
{
    if (message == kMsgPadVibration) return OnVibrationMessage(0, u32(parameter));
    return HandleCharacterMessage(message, sender, parameter);
}

void CCharacter::HashState(CStateHash& hash) const
{
    CCharacterBase::HashState(hash);
    const InputState& s = m_input;
    hash.F32(s.stick1Angle).F32(s.stick1Magnitude).F32(s.stick1X).F32(s.stick1Y);
    for (const u32* words : {s.previousRaw, s.raw, s.triggered, s.released, s.held, s.holdTime, s.free, s.freeTime})
        for (u32 code = 0; code < kInputCodeCount; ++code) hash.U32(words[code]);
    const InputMemory& m = m_memory;
    hash.U32(m.lockRequest).U32(m.ignoreDashRelease).U32(m.cameraMode).F32(m.cameraBlend);
}

u32 CCharacter::BuildInputPacket(InputPacket* packet, const InputState& state)
{
    if (!packet) return 0;
    std::memset(packet, 0, sizeof *packet);
    for (u32 i = 0; i < kInputPacketBitCount; ++i) {
        if (state.IsHeld(u32(kInputPacketCodes[i]))) packet->buttons[i / 8] |= u8(1u << (i % 8));
    }
    // The state keeps its sticks within [-1, 1]; one that does not must not
    // wrap the byte round.
    auto axis = [](f32 value) -> i8 {
        const double scaled = double(value) * 100.0;
        if (!(scaled == scaled)) return 0;
        if (scaled >= 100.0) return 100;
        if (scaled <= -100.0) return -100;
        return i8(scaled);
    };
    packet->stickX = axis(state.stick1X);
    packet->stickY = axis(state.stick1Y);
    return 1;
}

u32 CCharacter::ShiftInput()
{
    std::memcpy(m_input.previousRaw, m_input.raw, sizeof m_input.raw);
    std::memset(m_input.raw, 0, sizeof m_input.raw);
    return 1;
}

u32 CCharacter::ApplyInputPacket(const InputPacket* packet)
{
    if (!packet) return 0;
    ShiftInput();
    m_appliedPacket = *packet;
    m_packetPending = true;
    for (u32 i = 0; i < kInputPacketBitCount; ++i) m_input.raw[u32(kInputPacketCodes[i])] = packet->Bit(i);
    m_input.stick1X = f32(double(packet->stickX) * double(0.01f));
    m_input.stick1Y = f32(double(packet->stickY) * double(0.01f));
    return RefreshInput();
}

u32 CCharacter::RefreshInput()
{
    UpdateInputSticks(&m_input);
    UpdateInputButtons(&m_input);
    for (u32 code : {14u, 15u, 12u, 13u}) {
        if (m_input.held[code]) {
            m_status.moveAngle = m_input.stick1Angle;
            break;
        }
    }
    return 1;
}
