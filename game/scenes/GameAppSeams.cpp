#include "game/scenes/GameAppSeams.h"

#include "game/battle/scene/BattleScene.h"
#include "game/data/SaveConfig.h"
#include "game/scenes/AdventureScene.h"
#include "game/scenes/CharaSelect.h"
#include "game/scenes/LoadingScene.h"
#include "game/scenes/NetworkHost.h"
#include "game/scenes/ReplayScene.h"
#include "game/scenes/StoryScene.h"
#include "game/scenes/SurvivalScene.h"
#include "game/scenes/TitleScene.h"

#include <array>
#include <cstdio>

namespace {

// The roster in character order.
constexpr const char* kRoster[18] = {"Talve", "Derona", "Pellu", "Miravo", "Quena", "Ezmel", "Tubeca", "Kerlia",
    "Ombrisa", "Grell", "Navoie", "Drusa", "Ovu", "Wenna", "Lossin", "Bialto", "Sirkel", "Vek"};
constexpr u32 kStageCount = 19;
// The title item of network play.
constexpr u32 kTitleNetwork = 3;

const std::array<std::string, 18>& CharacterFiles()
{
    static const std::array<std::string, 18> files = [] {
        std::array<std::string, 18> out;
        for (u32 i = 0; i < out.size(); ++i) out[i] = std::string("Setting/Chr_") + kRoster[i] + ".dat";
        return out;
    }();
    return files;
}

const std::array<std::string, kStageCount>& StageFiles()
{
    static const std::array<std::string, kStageCount> files = [] {
        std::array<std::string, kStageCount> out;
        for (u32 i = 0; i < out.size(); ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "Setting/Stage%02u.dat", i + 1);
            out[i] = name;
        }
        return out;
    }();
    return files;
}

}  // namespace

const char* CGameApp::BattleSeams::GetCharacterFile(u32 character)
{
    return character < CharacterFiles().size() ? CharacterFiles()[character].c_str() : nullptr;
}

const char* CGameApp::BattleSeams::GetStageFile(u32 stage)
{
    return stage < StageFiles().size() ? StageFiles()[stage].c_str() : nullptr;
}

std::string CGameApp::BattleSeams::GetUserDataFolder() { return GetUserDataDirectory(kSaveFolderName); }

i32 CGameApp::BattleSeams::Title(f32 curtain, f32 alpha, u32 item)
{
    TitleArgs args;
    args.curtain = curtain;
    args.alpha = alpha;
    args.item = item;
    return m_app.ChangeScene(new CTitleScene, reinterpret_cast<intptr_t>(&args));
}

i32 CGameApp::BattleSeams::GoTitle(const battle_flow::TitleArgs& args)
{
    return Title(args.curtain, args.alpha, args.item);
}

i32 CGameApp::BattleSeams::GoNextBattle(battle_flow::NextBattleArgs args)
{
    // The loading screen owns the battle, and the battle the set-up, from
    // here on.
    LoadingArgs loading{new CBattleScene(this), reinterpret_cast<intptr_t>(args.setup.release()), args.network};
    return m_app.ChangeScene(new CLoadingScene, reinterpret_cast<intptr_t>(&loading));
}

// The battle has stopped every sound of the list; the select starts its
// own music and crowd, and owns the set-up from its Load on.
i32 CGameApp::BattleSeams::GoCharaSelect(battle_flow::SelectArgs args)
{
    MenuSetupArgs select;
    select.curtain = args.curtain;
    select.alpha = args.alpha;
    select.setup = args.setup.release();
    return m_app.ChangeScene(new CCharaSelect, reinterpret_cast<intptr_t>(&select));
}

// The map at the node fought; its Load checks the cursor against the map.
i32 CGameApp::BattleSeams::GoAdventure(battle_flow::AdventureArgs args)
{
    CAdventureSceneArgs map;
    map.curtain = args.curtain;
    map.alpha = args.alpha;
    map.column = args.column;
    map.halfRow = args.halfRow;
    map.setup = args.setup.release();
    return m_app.ChangeScene(new CAdventureScene, reinterpret_cast<intptr_t>(&map));
}

// The result starts its own crowd and music.
i32 CGameApp::BattleSeams::GoSurvivalResult(const battle_flow::SurvivalResultArgs& args)
{
    SurvivalArgs result;
    result.curtain = args.curtain;
    result.alpha = args.alpha;
    result.character = args.characterId;
    result.wins = args.wins;
    result.timeScore = args.timeScore;
    result.lastCounter = args.lastDamageTaken;
    result.firstSum = args.killSum;
    result.secondSum = args.damageDealtSum;
    return m_app.ChangeScene(new CSurvivalScene, reinterpret_cast<intptr_t>(&result));
}

i32 CGameApp::BattleSeams::ChooseNextOpponents(CBattleSetup* setup, const CCharacterBase* firstCharacter,
                                               const CBattleConsole* firstConsole)
{
    return CSurvivalScene::ChooseNextOpponents(setup, firstCharacter, firstConsole);
}

// A won story battle: the set-up has moved on (AdvanceStory) unless the
// next chapter was refused, which the player is told before the title; the
// old chapter is never fought again.
i32 CGameApp::BattleSeams::GoStory(battle_flow::StoryArgs args)
{
    const auto* progress = args.setup ? dynamic_cast<const CStoryProgress*>(args.setup->GetProgress()) : nullptr;
    if (!progress || progress->fault != story::Fault::kNone) {
        m_app.QueueMessage(progress ? progress->FaultText() : story::DescribeFault(story::Fault::kNoSetup));
        m_app.ShowMessages();
        return Title(args.curtain, args.alpha, battle_flow::kTitleStory);
    }
    MenuSetupArgs block;
    block.curtain = args.curtain;
    block.alpha = args.alpha;
    block.setup = args.setup.release();
    return m_app.ChangeScene(new CStoryScene, reinterpret_cast<intptr_t>(&block));
}

i32 CGameApp::BattleSeams::AdvanceStory(CBattleSetup* setup) { return CStoryScene::AdvanceStory(setup); }

// The list on the slot just watched; it starts its own crowd and music (the
// battle has stopped every sound).
i32 CGameApp::BattleSeams::GoReplayList(const battle_flow::ReplayListArgs& args)
{
    CReplaySceneArgs list{nullptr, nullptr, args.curtain, args.alpha, i32(args.row), i32(args.page)};
    return m_app.ChangeScene(new CReplayScene, reinterpret_cast<intptr_t>(&list));
}

// In network play the battle is the network scene's child: the next scene
// becomes its child too. Without a network scene above the battle (it
// cannot go on) the title takes over.

i32 CGameApp::BattleSeams::GoNetworkCharaSelect(battle_flow::SelectArgs args)
{
    INetworkSceneHost* host = GetNetworkSceneHost();
    if (!host) return Title(args.curtain, args.alpha, kTitleNetwork);
    MenuSetupArgs select;
    select.curtain = args.curtain;
    select.alpha = args.alpha;
    select.setup = args.setup.release();
    return host->ChangeChildScene(new CCharaSelect, kHostedSelectMode, select);
}

i32 CGameApp::BattleSeams::GoNetworkNextBattle(battle_flow::NextBattleArgs args)
{
    INetworkSceneHost* host = GetNetworkSceneHost();
    if (!host) return Title(1.0f, 1.0f, kTitleNetwork);
    auto* battle = new CBattleScene(this, GetBattleNetwork());
    // Words of members that loaded it first, while the old battle faded.
    battle->KeepReadyWords(args.readyEntries);
    LoadingArgs loading{battle, reinterpret_cast<intptr_t>(args.setup.release()), 1};
    return host->ChangeChildScene(new CLoadingScene, kHostedBattleMode, loading);
}

i32 CGameApp::BattleSeams::LeaveNetworkBattle()
{
    INetworkSceneHost* host = GetNetworkSceneHost();
    return host ? host->SetChildScene(nullptr, kHostedLobbyMode) : Title(1.0f, 1.0f, kTitleNetwork);
}
u32 CGameApp::BattleSeams::GetLobbyState()
{
    INetworkSceneHost* host = GetNetworkSceneHost();
    return host ? host->GetLobbyScreen() : 0;
}

i32 CGameApp::BattleSeams::RequestNetworkEnd()
{
    INetworkSceneHost* host = GetNetworkSceneHost();
    return host ? host->SetEndRequest(1) : Title(1.0f, 1.0f, kTitleNetwork);
}
