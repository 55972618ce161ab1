// The end of a battle: the end step of the frame and the scene's release.
// The end test and the results here are the simple rules the battle runs
// on until the full rules (lives, HP tie-break, adventure conditions, next
// scenes) take their place.
#include "game/battle/scene/BattleScene.h"

#include "engine/core/ObjectRegistry.h"
#include "engine/platform/Listener.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/scene/EffectController.h"
#include "game/battle/character/Character.h"
#include "game/battle/character/ReplayFighter.h"
#include "game/battle/scene/BattleConsole.h"
#include "game/battle/scene/BattleHudFighter.h"
#include "game/data/Replay.h"
#include "game/data/Skill.h"

namespace {

// Teams 0..3 with a fighter still up.
u32 StandingTeams(const CBattleScene& scene, bool standing[CBattleEntry::kTeamCount])
{
    u32 count = 0;
    for (u32 t = 0; t < CBattleEntry::kTeamCount; ++t) standing[t] = false;
    for (u32 i = 0; i < scene.GetCharacterCount(); ++i) {
        const CCharacter* c = scene.GetCharacter(i);
        const u32 team = u32(c->GetTeam());
        if (team < CBattleEntry::kTeamCount && c->GetStatus()->action != kActionDefeated && !standing[team]) {
            standing[team] = true;
            ++count;
        }
    }
    return count;
}

}  // namespace

bool CBattleScene::IsBattleOver() const
{
    bool standing[CBattleEntry::kTeamCount];
    if (StandingTeams(*this, standing) < 2) return true;
    const i32 local = FindLocalCharacter();
    const CBattleConsole* console = GetConsole(local >= 0 ? u32(local) : 0);
    return console && console->GetRemainingTime() <= 0.0f;
}

u32 CBattleScene::GetResult(u32 team) const
{
    bool standing[CBattleEntry::kTeamCount];
    if (StandingTeams(*this, standing) != 1) return kResultDraw;
    return team < CBattleEntry::kTeamCount && standing[team] ? kResultWin : kResultLoss;
}

void CBattleScene::EndBattle()
{
    for (u32 i = 0; i < GetCharacterCount(); ++i) GetCharacter(i)->OnBattleEnd();
    for (u32 i = 0; i < m_consoles.GetCount(); ++i) GetConsole(i)->ShowResult();
    m_battleOver = 1;
    m_bullets.DeleteAll();
    if (m_music) m_music->StopAll(1);
    const CCharacter* local = GetLocalCharacter();
    const u32 result = local ? GetResult(u32(local->GetTeam())) : kResultDraw;
    if (CSoundBuffer* jingle = result == kResultWin ? m_winJingle : m_loseJingle)
        jingle->PlayWithVolume(MusicVolume(), 1, 0.0f, 1);
    if (m_adventureMode) ApplyAdventureRewards(result);
    if (m_networkMode && FindLocalCharacter() >= 0 && m_network) m_network->ReportBattleResult(result - 1);
}

void CBattleScene::ApplyAdventureRewards(u32) {}

u32 CBattleScene::CheckAdventureCondition(const CCharacter*, u32, i32) const { return 1; }

i32 CBattleScene::OnBattleEnd() { return 1; }

void CBattleScene::UpdatePlayRecord() {}

i32 CBattleScene::Release()
{
    StopNetThread();
    if (m_app && m_setup) m_app->SetBattleFlag(1);
    if (m_app && !m_soundsStopped) StopSounds();
    if (CEffectController* effects = m_app ? m_app->GetEffectController() : nullptr) effects->DeleteAll();
    // Bullets first: they reach their shooters' barrages while they go.
    m_bullets.DeleteAll();
    m_consoles.Release();
    m_hudFighters.clear();
    m_replayFighters.clear();
    m_characters.Release();
    m_stageObjects.Release();
    RebuildViews();
    m_music.reset();
    m_winJingle = m_loseJingle = nullptr;
    m_skills.reset();
    m_listener.reset();
    m_replay.reset();
    m_frameQueue.clear();
    m_sideQueue.clear();
    m_consoleInput.reset();
    m_entryOf.clear();
    m_setup.reset();
    // A released battle no longer answers the objects: messages to id 0
    // would otherwise reach a dead scene.
    if (CObjectRegistry* registry = GetObjectRegistry(); registry && registry->GetHandler() == this)
        registry->SetHandler(nullptr);
    m_handlerInstalled = 0;
    return CScene::Release();
}
