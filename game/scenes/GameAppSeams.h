// The battle's seams as the game application fills them: what the battle
// needs of the application (IBattleApp) and the scenes it leaves for
// (IBattleFlow). Private to the application's files.
#pragma once

#include "game/battle/scene/BattleApp.h"
#include "game/battle/scene/BattleFlow.h"
#include "game/scenes/GameApp.h"

#include <string>

class CGameApp::BattleSeams final : public IBattleApp, public IBattleFlow {
public:
    explicit BattleSeams(CGameApp& app) : m_app(app) {}

    // IBattleApp
    CSaveConfig* GetSaveConfig() override { return m_app.GetSaveConfig(); }
    CSaveData* GetSaveData() override { return m_app.GetSaveData(); }
    CSaveRecord* GetSaveRecord() override { return m_app.GetSaveRecord(); }
    IBattleFlow* GetFlow() override { return this; }
    CTensionFile* GetTensionFile(u32 slot) override { return m_app.GetTensionFile(slot); }
    CFilter* GetHdrFilter() override { return m_app.GetHdrFilter(); }
    CFilter* GetBasicFilter() override { return m_app.GetBasicFilter(); }
    void SetBattleFlag(u32 value) override { m_app.SetBattleFlag(value); }
    std::unique_ptr<CResourceList> OpenPack(const char* path, u32 identifier, u8 key) override
    {
        return m_app.OpenPack(path, identifier, key);
    }
    CSoundBuffer* LoadBgm(u32 slot, const CResourceList* packs) override { return m_app.LoadBgm(slot, packs); }
    // The game's frame step measures the time between steps as it comes; a
    // pause leaves nothing to take out.
    void AddPausedTime(u32) override {}
    CResourceController* GetResourceController() override { return m_app.GetResourceController(); }
    CEffectController* GetEffectController() override { return m_app.GetEffectController(); }
    CInput* GetInput() override { return m_app.GetInput(); }
    CSound* GetSoundDevice() override { return m_app.GetSound(); }
    CRenderList* GetRenderList() override { return m_app.GetRenderList(); }
    u32 GetScreenWidth() override { return u32(m_app.GetClientWidth()); }
    u32 GetScreenHeight() override { return u32(m_app.GetClientHeight()); }
    const char* GetCharacterFile(u32 character) override;
    const char* GetStageFile(u32 stage) override;
    std::string GetUserDataFolder() override;

    // IBattleFlow
    i32 GoTitle(const battle_flow::TitleArgs& args) override;
    i32 GoCharaSelect(battle_flow::SelectArgs args) override;
    i32 GoAdventure(battle_flow::AdventureArgs args) override;
    i32 GoNextBattle(battle_flow::NextBattleArgs args) override;
    i32 GoSurvivalResult(const battle_flow::SurvivalResultArgs& args) override;
    i32 GoStory(battle_flow::StoryArgs args) override;
    i32 GoReplayList(const battle_flow::ReplayListArgs& args) override;
    i32 GoNetworkCharaSelect(battle_flow::SelectArgs args) override;
    i32 GoNetworkNextBattle(battle_flow::NextBattleArgs args) override;
    i32 LeaveNetworkBattle() override;
    i32 RequestNetworkEnd() override;
    u32 GetLobbyState() override;
    i32 AdvanceStory(CBattleSetup* setup) override;
    i32 ChooseNextOpponents(CBattleSetup* setup, const CCharacterBase* firstCharacter,
                            const CBattleConsole* firstConsole) override;

private:
    // The title with its cursor on item, the battle's curtain and alpha.
    i32 Title(f32 curtain, f32 alpha, u32 item);

    CGameApp& m_app;
};
