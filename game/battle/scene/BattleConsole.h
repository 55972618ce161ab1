// CBattleConsole: the head-up display of one fighter, a 2D scene loaded
// from "Scene\Console.sce" whose layer tree six consoles share: the own
// gauges, one panel per fighter, the radar, the battle state, the tension
// strips and the menus; plus the 3D console through which the markers over
// the other fighters are drawn with the 3D picture. It runs the time limit
// and, once the result has shown, the end rules.
#pragma once

#include "engine/scene/SceneResource.h"
#include "game/battle/scene/ConsoleBase.h"
#include "game/battle/scene/Console3D.h"

#include <memory>
#include <vector>

class CBattleStateConsole;
class CEnemyConsole;
class CMapConsole;
class CMenuConsole;
class CPlayerConsole;
class CRenderList;
class CStateHash;
class CTensionConsole;
struct QuickMessageRecord;

// End codes the end rules send the battle scene.
enum BattleEndCode : u32 {
    kEndAdventureWon = 4,
    kEndSurvivalWon = 5,
    kEndSurvivalLost = 8,
    kEndStoryWon = 9,
};

class CBattleConsole : public CSceneResource, public Console3DSource {
    ORV_VALUE_CLASS(CBattleConsole)

public:
    static constexpr const char* kLayoutPath = "Scene\\Console.sce";
    static constexpr const char* kTextureName = "Console_01.dds";

    CBattleConsole();
    // A copy of the layout and the set-up, without child consoles (load it
    // again to use it).
    CBattleConsole(const CBattleConsole& other);
    ~CBattleConsole() override;

    i32 Release() override;
    // setup may be null (all words 0). 1; 0 when the layout or its texture
    // is missing.
    u32 Load(const ConsoleSetup* setup);
    // Where the battle-state and menu consoles read the player's keys: set
    // before Load, so the first tutorial tip already names them.
    void SetInput(const ConsoleInput* input);
    // The children, the end rules, then the layers; the layers' result.
    i32 Update(u32 argument) override;
    u32 OnMessage(u32, intptr_t) override { return 1; }
    // Own gauges, the other fighters' panels stacked upwards, radar,
    // tension, battle state and menus. 1.
    i32 Draw(u32 argument) override;
    // The 3D pass: every other fighter's tag and reticle, then the balloons.
    i32 Draw3D(u32 argument) override { return DrawWorldPass(argument); }
    i32 DrawWorldPass(u32 argument);

    // Seconds of the time setting; the no-limit value past the table.
    f32 GetTimeLimit() const;
    f32 GetRemainingTime() const;
    // 0 throughout a battle without limit.
    f32 GetElapsedTime() const;
    void SetDamagePanel(u32 value);
    void SetDamagePanelFrom(const u32* value) { SetDamagePanel(value ? *value : 0); }
    void ShowQuickMessage(const QuickMessageRecord& record);
    void ShowResult();
    i32 UpdateLayersOnly(u32 argument) { return CSceneResource::Update(argument); }
    i32 UpdateMenuOnly(u32 argument);
    u32 IsMenuOpen() const;
    // A word the battle marks its consoles with; nothing reads it.
    void SetUserWord(u32 word) { m_userWord = word; }
    u32 GetUserWord() const { return m_userWord; }
    // The 3D console into pass 0. 1.
    u32 AddToRenderList(CRenderList* list);
    // The menu mode for a set-up's mode words.
    static u32 MenuMode(const ConsoleSetup& setup);
    // End handled, then the battle state's simulation state.
    void HashState(CStateHash& hash) const;

    const ConsoleSetup& GetSetup() const { return m_setup; }
    CPlayerConsole* GetPlayer() const { return m_player; }
    CEnemyConsole* GetEnemy(u32 i) const;
    u32 GetEnemyCount() const { return u32(m_enemies.size()); }
    CMapConsole* GetMap() const { return m_map; }
    CBattleStateConsole* GetState() const { return m_state; }
    CTensionConsole* GetTension() const { return m_tension; }
    CMenuConsole* GetMenu() const { return m_menu; }
    CConsole3D* GetView() const { return m_view; }

private:
    void ReleaseChildren();
    const HudFighter* Fighter(u32 index) const;
    void RunEndRules();
    void SendEndCode(u32 code);

    ConsoleSetup m_setup;
    CTexture* m_texture = nullptr;
    u32 m_userWord = 0;
    CPlayerConsole* m_player = nullptr;
    std::vector<std::unique_ptr<CEnemyConsole>> m_enemies;
    CMapConsole* m_map = nullptr;
    CBattleStateConsole* m_state = nullptr;
    CTensionConsole* m_tension = nullptr;
    CMenuConsole* m_menu = nullptr;
    CConsole3D* m_view = nullptr;
    const ConsoleInput* m_input = nullptr;
};
