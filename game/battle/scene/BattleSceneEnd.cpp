// The end of a battle: the end test, the results, the end step of the frame,
// the way out to the next scene and the scene's release. The rules live in
// BattleResults and BattleFlow; the scene reads its fighters into them.
#include "game/battle/scene/BattleScene.h"

#include "engine/graphics/Filter.h"

#include "engine/core/ObjectRegistry.h"
#include "engine/platform/Listener.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/scene/EffectController.h"
#include "game/battle/character/Character.h"
#include "game/battle/character/ReplayFighter.h"
#include "game/battle/scene/BattleConsole.h"
#include "game/battle/scene/BattleFlow.h"
#include "game/battle/scene/BattleHudFighter.h"
#include "game/battle/scene/BattleStateConsole.h"
#include "game/data/Replay.h"
#include "game/data/SaveConfig.h"
#include "game/data/Skill.h"

namespace {

// The lobby report through the network scene's seam.
class LobbyReport final : public ILobbyResultReport {
public:
    explicit LobbyReport(IBattleNetwork* network) : m_network(network) {}
    i32 ReportBattleResult(u32 outcome) override { return m_network ? m_network->ReportBattleResult(outcome) : 0; }

private:
    IBattleNetwork* m_network;
};

}  // namespace

std::vector<BattleFighter> CBattleScene::ReadFighters() const
{
    std::vector<BattleFighter> fighters;
    fighters.reserve(m_characters.GetCount());
    for (u32 i = 0; i < m_characters.GetCount(); ++i)
        fighters.push_back(ReadBattleFighter(*GetCharacter(i), i < m_characterIds.size() ? m_characterIds[i] : 0,
            GetEntryOf(i)));
    return fighters;
}

i32 CBattleScene::GetTeamLives(u32 team) const
{
    return m_setup ? ::GetTeamLives(ReadFighters(), RulesOf(m_setup->option), team) : 0;
}

bool CBattleScene::IsBattleOver() const
{
    if (!m_setup) return false;
    const i32 local = FindLocalCharacter();
    const CBattleConsole* console = GetConsole(local >= 0 ? u32(local) : 0);
    const f32 remaining = console ? console->GetRemainingTime() : 1.0f;
    return ::IsBattleOver(ReadFighters(), RulesOf(m_setup->option), remaining);
}

u32 CBattleScene::GetResult(u32 team) const
{
    return m_setup ? ::GetResult(ReadFighters(), RulesOf(m_setup->option), team) : kResultDraw;
}

void CBattleScene::EndBattle()
{
    for (u32 i = 0; i < GetCharacterCount(); ++i) GetCharacter(i)->OnBattleEnd();
    for (u32 i = 0; i < m_consoles.GetCount(); ++i) GetConsole(i)->ShowResult();
    m_battleOver = 1;
    m_bullets.DeleteAll();
    if (m_music) m_music->StopAll(1);
    LobbyReport lobby(m_network);
    const CBattleConsole* first = GetConsole(0);
    BattleSettlement settlement;
    settlement.rules = RulesOf(m_setup->option);
    settlement.localEntry = m_localEntry;
    settlement.adventureMode = m_adventureMode;
    settlement.networkMode = m_networkMode;
    settlement.progress = m_setup->GetProgress();
    settlement.saveData = m_app ? m_app->GetSaveData() : nullptr;
    settlement.lobby = &lobby;
    settlement.remainingTime = first ? first->GetRemainingTime() : 0.0f;
    settlement.timeLimit = first ? first->GetTimeLimit() : 0.0f;
    const u32 result = SettleBattle(ReadFighters(), settlement);
    if (CSoundBuffer* jingle = result == kResultWin ? m_winJingle : m_loseJingle)
        jingle->PlayWithVolume(MusicVolume(), 1, 0.0f, 1);
}

void CBattleScene::ApplyAdventureRewards(u32 result)
{
    if (!m_setup) return;
    const std::vector<BattleFighter> fighters = ReadFighters();
    const CBattleConsole* first = GetConsole(0);
    const AdventureFacts facts{fighters, first ? first->GetRemainingTime() : 0.0f, first ? first->GetTimeLimit() : 0.0f};
    ::ApplyAdventureRewards(result, m_setup->GetProgress(), m_localEntry, facts,
        m_app ? m_app->GetSaveData() : nullptr);
}

u32 CBattleScene::CheckAdventureCondition(u32 character, u32 type, i32 parameter) const
{
    const std::vector<BattleFighter> fighters = ReadFighters();
    if (character >= fighters.size()) return 0;
    const CBattleConsole* first = GetConsole(0);
    const AdventureFacts facts{fighters, first ? first->GetRemainingTime() : 0.0f, first ? first->GetTimeLimit() : 0.0f};
    return ::CheckAdventureCondition(fighters[character], i32(type), parameter, facts) ? 1 : 0;
}

i32 CBattleScene::OnBattleEnd()
{
    IBattleFlow* flow = m_app ? m_app->GetFlow() : nullptr;
    if (!flow) return kStayInBattle;
    const i32 local = FindLocalCharacter();
    BattleExitFacts facts;
    facts.setup = &m_setup;
    facts.localEntry = m_localEntry;
    facts.localCharacterId = local >= 0 && u32(local) < m_characterIds.size() ? m_characterIds[u32(local)] : 0;
    if (const CCharacter* first = GetCharacter(0)) {
        for (u32 n = 0; n < 3; ++n) facts.firstCounters[n] = first->GetStatisticCounter(n);
        facts.firstCharacter = first;
    }
    if (const CBattleConsole* console = GetConsole(0)) {
        facts.firstRemaining = console->GetRemainingTime();
        facts.firstConsole = console;
    }
    facts.stopSounds = [this] {
        StopSounds();
        m_soundsStopped = 1;
    };
    if (m_lockstep) facts.nextReadyEntries = m_lockstep->TakeNextReady();
    return LeaveBattle(m_endCode, facts, *flow);
}

// The set-up may have gone with the way out already: the fighters tell.
void CBattleScene::UpdatePlayRecord()
{
    if (!m_app) return;
    const i32 local = FindLocalCharacter();
    const CBattleConsole* console = local >= 0 ? GetConsole(u32(local)) : nullptr;
    const u32 result = console && console->GetState() ? console->GetState()->GetResult() : 0;
    ::UpdatePlayRecord(m_app->GetSaveRecord(), ReadFighters(), m_localEntry, m_replayMode, m_networkMode, result);
}

i32 CBattleScene::Release()
{
    // The glow of the last battle frame must not show in the next scene.
    if (CFilter* hdr = m_app ? m_app->GetHdrFilter() : nullptr)
        for (u32 i = 0; i < 4; ++i) hdr->ClearTarget(i);
    StopNetThread();
    if (m_app && m_menuLayoutOff) m_app->SetBattleFlag(1);
    m_menuLayoutOff = 0;
    if (m_app && !m_soundsStopped) StopSounds();
    if (CEffectController* effects = m_app ? m_app->GetEffectController() : nullptr) effects->DeleteAll();
    // A recorded battle whose result the local player saw is kept.
    const i32 local = FindLocalCharacter();
    const CBattleConsole* console = GetConsole(local >= 0 ? u32(local) : 0);
    CSaveConfig* config = m_app ? m_app->GetSaveConfig() : nullptr;
    if (m_replay && !m_replayMode && config && console && console->GetState() && console->GetState()->IsResultShown())
        m_replay->SaveToSlot(*config->GetReplaySection());
    UpdatePlayRecord();
    // Bullets first: they reach their shooters' barrages while they go.
    m_bullets.DeleteAll();
    m_consoles.Release();
    m_hudFighters.clear();
    m_replayFighters.clear();
    m_characters.Release();
    m_stageObjects.Release();
    m_characterIds.clear();
    m_entryOf.clear();
    RebuildViews();
    m_music.reset();
    m_winJingle = m_loseJingle = nullptr;
    m_skills.reset();
    m_listener.reset();
    m_replay.reset();
    std::unique_ptr<CBattleLockstep> lockstep;
    {
        host::kernel::Lock lock(m_peerLock);
        lockstep = std::move(m_lockstep);
        m_early.clear();
        m_earlyBytes = 0;
        m_peerClosed = true;
    }
    lockstep.reset();
    m_consoleInput.reset();
    m_setup.reset();
    m_draw.Reset();
    // A released battle no longer answers the objects: messages to id 0
    // would otherwise reach a dead scene.
    if (CObjectRegistry* registry = GetObjectRegistry(); registry && registry->GetHandler() == this)
        registry->SetHandler(nullptr);
    m_handlerInstalled = 0;
    return CScene::Release();
}
