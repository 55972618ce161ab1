// One battle frame: fade or countdown, local input to the lockstep, pause,
// inputs and tension by mode, object updates, the two interaction sweeps,
// effects, listener, radio chat, consoles, replay record, end test.
#include "game/battle/scene/BattleScene.h"

#include "engine/core/Matrix.h"
#include "engine/graphics/Camera.h"
#include "engine/platform/FrameTime.h"
#include "engine/platform/Input.h"
#include "engine/platform/Listener.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/scene/EffectController.h"
#include "engine/scene/ResourceController.h"
#include "game/battle/character/Character.h"
#include "game/battle/object/Bullet.h"
#include "game/battle/object/CameraController.h"
#include "game/battle/object/Stage.h"
#include "game/battle/scene/BattleConsole.h"
#include "game/data/Replay.h"
#include "game/data/SaveConfig.h"

#include <cstring>

namespace {

// -- The pass walks. --

// Each element of a list.
template <class T, class Call>
void EachOf(const CResourceList& list, Call call)
{
    for (u32 i = 0; i < list.GetCount(); ++i) call(static_cast<T*>(static_cast<CValueBase*>(list.GetAt(i))));
}

// List against list: every stage object a against every character b.
template <class Call>
void StagesAgainstCharacters(const CResourceList& stages, const CResourceList& characters, Call call)
{
    EachOf<CStage>(stages, [&](CStage* s) { EachOf<CCharacter>(characters, [&](CCharacter* c) { call(s, c); }); });
}

// Each unordered pair of characters once, the first in list order.
template <class Call>
void CharacterPairs(const CResourceList& characters, Call call)
{
    const u32 n = characters.GetCount();
    for (u32 i = 0; i < n; ++i)
        for (u32 j = i + 1; j < n; ++j)
            call(static_cast<CCharacter*>(static_cast<CValueBase*>(characters.GetAt(i))),
                static_cast<CCharacter*>(static_cast<CValueBase*>(characters.GetAt(j))));
}

// The bullet chain against a list: each bullet that the list's group may
// hit, against every element. Bullets only end by flags here.
template <class T, class Call>
void BulletsAgainst(CBulletList& bullets, const CResourceList& list, i32 group, Call call)
{
    if (!list.GetCount()) return;
    for (CBullet* b = bullets.First(); b; b = b->GetNext()) {
        if (!b->IsHittableBy(group)) continue;
        EachOf<T>(list, [&](T* e) { call(e, b); });
    }
}

// Each bullet, taking the next first: the bullet may delete itself.
template <class Call>
void EachBullet(CBulletList& bullets, Call call)
{
    for (CBullet* b = bullets.First(); b;) {
        CBullet* next = b->GetNext();
        call(b);
        b = next;
    }
}

}  // namespace

i32 CBattleScene::Update(u32)
{
    // A battle never steps more than a replay may hold: after a stall (a
    // machine suspended mid-battle) it goes on from where it was, and its
    // recording keeps the time the frame ran with, so it is saved and
    // plays back as it was fought.
    if (GetFrameTimeMs() > kReplayMaxFrameMs) SetFrameTime(kReplayMaxFrameMs);
    // 1. The end fade runs alone. A client follows the host's end.
    TakePeerEnd();
    if (m_endRequested) return RunEndFade();
    ++m_frameCount;
    // 2-3.
    RunStartCountdown();
    SendLocalInput();
    // 4. Nothing of the battle moves while every menu is open.
    if (!RunPause()) {
        // 5.
        if (const std::optional<i32> stopped = ReadInputs()) return *stopped;
        // 6-8.
        UpdateObjects();
        RunFirstSweep();
        RunSecondSweep();
        // 9-14.
        if (CEffectController* effects = m_app ? m_app->GetEffectController() : nullptr) effects->UpdateAll(0);
        PlaceListener();
        SendRadioChat();
        UpdateConsoles();
        if (AllMenusOpen() && !m_battleOver && !m_networkMode) PauseSounds();
        RecordFrame();
    }
    // 15.
    RunEndTest();
    return 1;
}

i32 CBattleScene::RunEndFade()
{
    m_timer += GetFrameTime();
    EachOf<CBattleConsole>(m_consoles, [](CBattleConsole* c) { c->UpdateLayersOnly(0); });
    if (m_timer >= kStartTime) return OnBattleEnd();
    return 1;
}

void CBattleScene::RunStartCountdown()
{
    if (m_timer <= 0.0f) return;
    m_timer -= GetFrameTime();
    if (m_timer > 0.0f) return;
    if (m_music) m_music->PlayWithVolume(MusicVolume(), 1, 0.0f, 1);
    if (AllMenusOpen() && !m_networkMode) PauseSounds();
}

bool CBattleScene::RunPause()
{
    if (!AllMenusOpen() || m_networkMode) return false;
    EachOf<CBattleConsole>(m_consoles, [](CBattleConsole* c) { c->UpdateMenuOnly(0); });
    if (!AllMenusOpen() && !m_battleOver) ResumeSounds();
    return true;
}

std::optional<i32> CBattleScene::ReadInputs()
{
    if (m_replayMode) {
        ReadReplayInputs();
        return std::nullopt;
    }
    if (m_networkMode) return ReadNetworkInputs();
    ReadLocalInputs();
    return std::nullopt;
}

void CBattleScene::ReadReplayInputs()
{
    if (!m_replay) return;
    // Past its last frame a replay leaves the fighters on their last inputs
    // until the end is requested.
    m_replay->ReadStateList(m_sideTarget);
    m_replay->PlayFrame(m_replayList);
}

std::optional<i32> CBattleScene::ReadNetworkInputs()
{
    // A frame without the host's record stops here: nothing moves and
    // nothing is recorded that the host did not run. With the end requested
    // the fade starts at the next update; else the battle is left.
    if (!WaitNetInputs()) {
        TakePeerEnd();
        if (m_endRequested) return 1;
        return m_network ? m_network->DropBattle() : 0;
    }
    // The lockstep hands a copy: nothing below holds the scene's lock.
    static thread_local LockstepFrame frame;
    if (!m_lockstep->TakeFrame(&frame)) return 1;
    const FrameRecord& record = frame.record;
    SetFrameTime(record.frameMs);
    for (u32 i = 0; i < m_characters.GetCount(); ++i) {
        CCharacter* c = GetCharacter(i);
        if (!c->IsComputerPlayer()) c->ApplyInputPacket(&record.inputs[GetEntryOf(i) % kLockstepEntries]);
    }
    // The host's music time, not the local music position.
    for (u32 i = 0; i < m_characters.GetCount(); ++i) GetCharacter(i)->UpdateTension(record.musicTime);
    if (m_replay && !m_replayMode) {
        // Side messages go with the last frame of their tick, once.
        std::vector<ReplayMessage> list;
        for (u32 k = 0; k < frame.messageCount; ++k)
            list.push_back({frame.messages[k].id, frame.messages[k].length, frame.messages[k].data});
        m_replay->WriteStateList(list);
    }
    for (u32 k = 0; k < frame.messageCount; ++k)
        OnSideMessage(frame.messages[k].id, frame.messages[k].data, frame.messages[k].length);
    return std::nullopt;
}

void CBattleScene::ReadLocalInputs()
{
    const f32 musicTime = GetMusicTime();
    for (u32 i = 0; i < m_characters.GetCount(); ++i) GetCharacter(i)->UpdateTension(musicTime);
    if (m_replay && !m_replayMode) m_replay->WriteStateList({});
}

void CBattleScene::UpdateObjects()
{
    EachOf<CStage>(m_stageObjects, [](CStage* s) { s->Update(0); });
    EachOf<CCharacter>(m_characters, [](CCharacter* c) { c->Update(0); });
    EachBullet(m_bullets, [](CBullet* b) { b->Update(0); });
}

void CBattleScene::RunFirstSweep()
{
    StagesAgainstCharacters(m_stageObjects, m_characters, [](CStage* s, CCharacter* c) { s->CollideSegment(c); });
    BulletsAgainst<CStage>(m_bullets, m_stageObjects, kGroupStage, [](CStage* s, CBullet* b) { s->CollideSegment(b); });
    CharacterPairs(m_characters, [](CCharacter* a, CCharacter* b) { a->CollideCharacter(b, 0); });
    RunBulletPairTests(m_bullets);
    BulletsAgainst<CCharacter>(m_bullets, m_characters, kGroupFighter,
        [](CCharacter* c, CBullet* b) { c->HitTestBullet(b, 0); });
    StagesAgainstCharacters(m_stageObjects, m_characters, [](CStage* s, CCharacter* c) { s->CollideSegment(c); });
    EachOf<CCharacter>(m_characters, [](CCharacter* c) { c->PostUpdate(0); });
    EachBullet(m_bullets, [](CBullet* b) { b->MoveStep(); });
}

void CBattleScene::RunSecondSweep()
{
    StagesAgainstCharacters(m_stageObjects, m_characters, [](CStage* s, CCharacter* c) { s->CollideSphere(c); });
    BulletsAgainst<CStage>(m_bullets, m_stageObjects, kGroupStage, [](CStage* s, CBullet* b) { s->CollideSphere(b); });
    CharacterPairs(m_characters, [](CCharacter* a, CCharacter* b) { a->CollideCharacter2(b, 0); });
    RunBulletPairHits(m_bullets);
    BulletsAgainst<CCharacter>(m_bullets, m_characters, kGroupFighter,
        [](CCharacter* c, CBullet* b) { c->HitBullet(b, 0); });
    for (u32 twice = 0; twice < 2; ++twice)
        StagesAgainstCharacters(m_stageObjects, m_characters, [](CStage* s, CCharacter* c) { s->CollideSphere(c); });
    StagesAgainstCharacters(m_stageObjects, m_characters, [](CStage* s, CCharacter* c) { s->IsOutsideStageBox(c); });
    EachOf<CCharacter>(m_characters, [](CCharacter* c) { c->LateUpdate(0); });
    EachBullet(m_bullets, [](CBullet* b) { b->FrameStep(); });
}

void CBattleScene::PlaceListener()
{
    CCharacter* local = GetLocalCharacter();
    if (!local || !m_listener) return;
    // The camera of the character the local player looks through.
    const u32 viewed = local->GetStatus()->followed;
    CCharacter* view = viewed < m_characters.GetCount() ? GetCharacter(viewed) : local;
    const ICameraController* camera = view->GetCameraController();
    if (!camera) return;
    CVector3 eye, angles, front, top;
    camera->GetView(&eye, &angles);
    camera->GetForward(&front);
    CMatrix rotation;
    rotation.RotationEuler(&angles);
    CVector3(0.0f, 1.0f, 0.0f).TransformNormalInto(rotation, &top);
    // Sounds are heard at the fighter's end of the camera, the eye anchor,
    // not at the eye that trails it; up is the camera's own.
    if (const auto* chaser = dynamic_cast<const CCameraController*>(camera)) {
        eye = chaser->GetState().eyeAnchor;
        if (const CCamera* lens = chaser->GetCamera()) top = lens->GetUp();
    }
    m_listener->SetPosition(&eye);
    m_listener->SetOrientation(&front, &top);
    m_listener->Update();
}

void CBattleScene::SendRadioChat()
{
    if (!m_networkMode || FindLocalCharacter() < 0) return;
    m_radioCooldown -= GetFrameTime();
    if (m_radioCooldown > 0.0f) return;
    CInput* input = m_app ? m_app->GetInput() : nullptr;
    CSaveConfig* config = m_app ? m_app->GetSaveConfig() : nullptr;
    if (!input || !config) return;
    for (u32 code = 32; code < 32 + kRadioChatCount; ++code) {
        if (!input->IsTriggered(0, code)) continue;
        const ConfigRadioChatEntry& line = config->GetRadioChatSection()->entries[code - 32];
        char text[kRadioChatTextBytes + 1] = {};
        std::memcpy(text, line.message, kRadioChatTextBytes);
        m_radioCooldown = kRadioChatCooldown;
        if (m_lockstep) m_lockstep->QueueSideMessage(MakeRadioChat(text, m_localEntry, line.destination ? 1 : 0));
        return;
    }
}

void CBattleScene::UpdateConsoles()
{
    EachOf<CBattleConsole>(m_consoles, [](CBattleConsole* c) { c->Update(0); });
}

void CBattleScene::RecordFrame()
{
    if (m_replay && !m_replayMode) m_replay->RecordFrame(m_replayList, GetFrameTimeMs());
}

void CBattleScene::RunEndTest()
{
    if (m_battleOver || !IsBattleOver()) return;
    EndBattle();
}

f32 CBattleScene::GetMusicTime() const { return m_music ? m_music->GetVoiceParam(0) : 0.0f; }

bool CBattleScene::AllMenusOpen() const
{
    if (!m_consoles.GetCount()) return false;
    for (u32 i = 0; i < m_consoles.GetCount(); ++i)
        if (!GetConsole(i)->IsMenuOpen()) return false;
    return true;
}

i32 CBattleScene::FindLocalCharacter() const
{
    for (u32 i = 0; i < m_characters.GetCount(); ++i)
        if (GetEntryOf(i) == m_localEntry) return i32(i);
    return -1;
}

CCharacter* CBattleScene::GetLocalCharacter() const
{
    const i32 local = FindLocalCharacter();
    return GetCharacter(local >= 0 ? u32(local) : 0);
}

void CBattleScene::PauseSounds()
{
    CResourceController* resources = m_app ? m_app->GetResourceController() : nullptr;
    if (CResourceList* sounds = resources ? resources->GetSoundList() : nullptr)
        EachOf<CSoundBuffer>(*sounds, [](CSoundBuffer* s) { s->PauseAll(); });
    if (m_music) m_music->PauseAll();
}

void CBattleScene::ResumeSounds()
{
    CResourceController* resources = m_app ? m_app->GetResourceController() : nullptr;
    if (CResourceList* sounds = resources ? resources->GetSoundList() : nullptr)
        EachOf<CSoundBuffer>(*sounds, [](CSoundBuffer* s) { s->ResumeAll(); });
    if (m_music) m_music->ResumeAll();
}

void CBattleScene::StopSounds()
{
    CResourceController* resources = m_app ? m_app->GetResourceController() : nullptr;
    if (CResourceList* sounds = resources ? resources->GetSoundList() : nullptr)
        EachOf<CSoundBuffer>(*sounds, [](CSoundBuffer* s) { s->StopAll(1); });
    if (m_music) m_music->StopAll(1);
}
