// The tension level following the music through the tension file, the
// stage's effects that go with it, and the camera-front effect.
#include "game/battle/character/CharacterAction.h"

#include "engine/core/Matrix.h"
#include "engine/scene/Effect.h"
#include "engine/scene/EffectContainer.h"
#include "game/data/TensionFile.h"

namespace {

inline constexpr u32 kHiTensionLoopSlot = 6, kClimaxLoopSlot = 7, kFinaleLoopSlot = 8;
inline constexpr u32 kHiTensionStageSlot = 14, kClimaxStageSlot = 15, kCameraFrontSlot = 18;

}  // namespace

i32 CCharacterBase::UpdateTension(f32 musicTime)
{
    CharacterStatus& s = m_status;
    s.lastMusicTime = musicTime;
    if (!CanChangeTension() || !m_tensionFile) return 1;
    u32 level;
    if (s.timers.statusTimers[kRestrictionTimer] > 0.0f) level = kTensionLow;
    else if (s.fixedTension >= 1 && s.fixedTension <= 3) level = u32(s.fixedTension - 1);
    else if (s.fixedTension == 4 || s.fixedTension == 5) level = kTensionClimax;
    else {
        const i32 found = m_tensionFile->GetLevelAt(musicTime);
        level = found >= 0 && found < i32(kTensionLevelCount) ? u32(found) : u32(kTensionNormal);
    }

    if (level == s.tension) {
        if (level != kTensionClimax || s.fixedTension == 4) return 1;
        const u32 finale = s.fixedTension == 5 ? 1 : m_tensionFile->IsClimaxFinaleAt(musicTime) ? 1 : 0;
        if (finale == s.finale) return 1;
        if (finale) {
            EndAttachedObject(kClimaxLoopSlot);
            PlayEffectOnce(FindEffectKey("EFCFINALESTART"));
            StartEffect(kFinaleLoopSlot, FindEffectKey("EFCFINALELOOP"));
        } else {
            EndAttachedObject(kFinaleLoopSlot);
            StartEffect(kClimaxLoopSlot, FindEffectKey("EFCCLIMAXLOOP"));
        }
        s.finale = finale;
        return 1;
    }

    s.timers.overTensionEffect = 0.0f;
    s.finale = 0;
    for (u32 slot : {kHiTensionLoopSlot, kClimaxLoopSlot, kFinaleLoopSlot}) EndAttachedObject(slot);
    if (level == kTensionLow) {
        PlayEffectOnce(FindEffectKey("EFCLOWTENSIONSTART"));
    } else if (level == kTensionHigh) {
        if (CanSpeak()) PlaySound(FindVoiceKey("VOICEHITENSION"));
        PlayEffectOnce(FindEffectKey("EFCHITENSIONSTART"));
        StartEffect(kHiTensionLoopSlot, FindEffectKey("EFCHITENSIONLOOP"));
    } else if (level == kTensionClimax) {
        if (CanSpeak()) PlaySound(FindVoiceKey("VOICECLIMAX"));
        PlayEffectOnce(FindEffectKey("EFCCLIMAXSTART"));
        StartEffect(kClimaxLoopSlot, FindEffectKey("EFCCLIMAXLOOP"));
    }
    s.tension = level;
    UpdateTensionStage();
    return 1;
}

i32 CCharacterBase::UpdateTensionStage()
{
    const struct {
        u32 (CCharacterBase::*shows)() const;
        u32 message, slot;
    } stages[] = {{&CCharacterBase::ShowsHiTensionStage, kMsgHighTensionFieldEffect, kHiTensionStageSlot},
                  {&CCharacterBase::ShowsClimaxStage, kMsgClimaxFieldEffect, kClimaxStageSlot}};
    for (const auto& stage : stages) {
        SetAttachedObject(stage.slot, nullptr);
        if (!(this->*stage.shows)()) continue;
        CEffectContainer* container = nullptr;
        SendObjectMessage(stage.message, CObjectRegistry::kBroadcastId, kGroupStage, reinterpret_cast<intptr_t>(&container));
        // The slot owns it: never registered with the controller, which
        // would run, draw and release it for every fighter's view as well.
        if (container) SetAttachedObject(stage.slot, container->PlayInScene(GetEffectManager(), 0, nullptr));
    }
    return 1;
}

i32 CCharacterBase::StartCameraFrontEffect()
{
    CEffectContainer* container = nullptr;
    SendObjectMessage(kMsgTraceCloudEffect, CObjectRegistry::kBroadcastId, kGroupStage, reinterpret_cast<intptr_t>(&container));
    if (!container) return 0;
    // The effect follows what it is given: the position and the camera's
    // angles, which the late update refreshes. It takes the slot's place
    // at once, and only the slot runs, draws and releases it.
    SetAttachedObject(kCameraFrontSlot, container->PlayAt(GetEffectManager(), &m_status.cameraFrontEffectPosition,
                                                          &m_status.cameraFrontEffectAngles, nullptr, 0.0f, 0, 1,
                                                          nullptr));
    return 1;
}

i32 CCharacterBase::UpdateCameraFrontEffect(u32 argument)
{
    CEffect*& effect = m_status.attached[kCameraFrontSlot];
    if (!effect) return 0;
    CVector3 offset;
    SendObjectMessage(kMsgTraceCloudPositionOffset, CObjectRegistry::kBroadcastId, kGroupStage, reinterpret_cast<intptr_t>(&offset));
    CVector3 eye, angles;
    if (m_camera) m_camera->GetView(&eye, &angles);
    CMatrix turn;
    turn.RotationEuler(&angles);
    CVector3 turned;
    offset.TransformNormalInto(turn, &turned);
    m_status.cameraFrontEffectPosition = eye + turned;
    m_status.cameraFrontEffectAngles = angles;
    effect->Update(argument);
    if (effect->IsFinished()) {
        effect->Release();
        effect = nullptr;
    }
    return 1;
}
