// The tension level following the music through the tension file, the
// stage's effects that go with it, and the camera-front effect.
#include "game/battle/character/CharacterAction.h"

#include "engine/core/Matrix.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/scene/Effect.h"
#include "engine/scene/EffectContainer.h"
#include "game/data/TensionFile.h"

namespace {

inline constexpr u32 kHiTensionLoopSlot = 6, kClimaxLoopSlot = 7, kFinaleLoopSlot = 8;
inline constexpr u32 kHiTensionStageSlot = 14, kClimaxStageSlot = 15, kCameraFrontSlot = 18;

// The status timer that keeps the tension low while it runs: the
// restriction.
inline constexpr u32 kRestrictionTimer = 4;

}  // namespace

i32 CCharacterBase::UpdateTension(f32 musicTime)
{
    CharacterStatus& s = m_status;
    s.lastMusicTime = musicTime;
    if (!QueryCanChangeTension() || !m_tensionFile) return 1;
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
            ServiceEndAttached(kClimaxLoopSlot);
            ServicePlayEffect(FindEffectKey("EFCFINALESTART"));
            ServiceStartEffect(kFinaleLoopSlot, FindEffectKey("EFCFINALELOOP"));
        } else {
            ServiceEndAttached(kFinaleLoopSlot);
            ServiceStartEffect(kClimaxLoopSlot, FindEffectKey("EFCCLIMAXLOOP"));
        }
        s.finale = finale;
        return 1;
    }

    s.timers.overTensionEffect = 0.0f;
    s.finale = 0;
    for (u32 slot : {kHiTensionLoopSlot, kClimaxLoopSlot, kFinaleLoopSlot}) ServiceEndAttached(slot);
    if (level == kTensionLow) {
        ServicePlayEffect(FindEffectKey("EFCLOWTENSIONSTART"));
    } else if (level == kTensionHigh) {
        if (QueryCanSpeak()) ServicePlayVoice(FindVoiceKey("VOICEHITENSION"));
        ServicePlayEffect(FindEffectKey("EFCHITENSIONSTART"));
        ServiceStartEffect(kHiTensionLoopSlot, FindEffectKey("EFCHITENSIONLOOP"));
    } else if (level == kTensionClimax) {
        if (QueryCanSpeak()) ServicePlayVoice(FindVoiceKey("VOICECLIMAX"));
        ServicePlayEffect(FindEffectKey("EFCCLIMAXSTART"));
        ServiceStartEffect(kClimaxLoopSlot, FindEffectKey("EFCCLIMAXLOOP"));
    }
    s.tension = level;
    UpdateTensionStage();
    return 1;
}

i32 CCharacterBase::UpdateTensionStage()
{
    const struct {
        u32 level, message, slot;
    } stages[] = {{kTensionHigh, kMsgHighTensionFieldEffect, kHiTensionStageSlot},
                  {kTensionClimax, kMsgClimaxFieldEffect, kClimaxStageSlot}};
    for (const auto& stage : stages) {
        ServiceEndAttached(stage.slot);
        if (!QueryShowsTensionStage(stage.level)) continue;
        CEffectContainer* container = nullptr;
        SendObjectMessage(stage.message, CObjectRegistry::kBroadcastId, kGroupStage, reinterpret_cast<intptr_t>(&container));
        if (container) m_status.attached[stage.slot] = container->PlayInScene(GetEffectManager(), 1, nullptr);
    }
    return 1;
}

i32 CCharacterBase::StartCameraFrontEffect()
{
    CEffectContainer* container = nullptr;
    SendObjectMessage(kMsgTraceCloudEffect, CObjectRegistry::kBroadcastId, kGroupStage, reinterpret_cast<intptr_t>(&container));
    if (!container) return 0;
    ServiceEndAttached(kCameraFrontSlot);
    // The effect follows what it is given: the position the late update
    // moves and the view angles, which the camera looks along.
    m_status.attached[kCameraFrontSlot] = container->PlayAt(GetEffectManager(), &m_status.cameraFrontEffectPosition,
                                                            &m_status.viewAngles, nullptr, 0.0f, 1, 1, nullptr);
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
    effect->Update(argument);
    if (effect->IsFinished()) {
        effect->Release();
        effect = nullptr;
    }
    return 1;
}

// -- The queries and services the tension uses, by their rules. --

u32 CCharacterBase::QueryCanChangeTension() const
{
    const u32 a = m_status.action;
    if (a == kActionDefeated || a == kActionFrozen || a == kActionBound) return 0;
    return a == kActionSpellCard && (m_status.spellSlot == 5 || m_status.spellSlot == 6) ? 0 : 1;
}

u32 CCharacterBase::QueryCanSpeak() const
{
    const u32 a = m_status.action;
    if ((a >= kActionSpellCard && a <= kActionTripleSlideSpellCard) || a == kActionBound) return 0;
    return m_status.timers.longestVoice > 0.0f ? 0 : 1;
}

u32 CCharacterBase::QueryShowsTensionStage(u32 level) const
{
    const CharacterStatus& s = m_status;
    return s.action != kActionDefeated && s.action != kActionResult && s.queuedAction != kActionResult &&
                   s.tension == level
               ? 1
               : 0;
}

void CCharacterBase::ServicePlayEffect(u32 e)
{
    if (e >= kEffectCount || !m_status.effects[e]) return;
    m_status.effects[e]->PlayAt(GetEffectManager(), &m_status.center, &m_rotation, nullptr, 0.0f, 1, 0, nullptr);
}

void CCharacterBase::ServiceStartEffect(u32 a, u32 e)
{
    ServiceEndAttached(a);
    if (e >= kEffectCount || !m_status.effects[e]) return;
    m_status.attached[a] = m_status.effects[e]->PlayAttached(GetEffectManager(), &m_position, &m_rotation,
                                                             &m_scaling, 1, this, nullptr);
}

void CCharacterBase::ServiceEndAttached(u32 a)
{
    if (a >= kAttachedObjectCount || !m_status.attached[a]) return;
    m_status.attached[a]->Release();
    m_status.attached[a] = nullptr;
}

void CCharacterBase::ServicePlayVoice(u32 voice)
{
    if (voice >= kVoiceCount) return;
    m_status.lastVoice = voice;
    if (m_status.voiceEnabled && m_status.voices[voice]) m_status.voices[voice]->Play(0, 0.0f, 1);
}
