// CPlayerConsole: the own fighter's gauges in its HUD: HP with a trailing
// damage bar, MP icons, spark, tension with a burst at climax, skill orbs,
// name, the weapon panel (gauge, icon and counter per action kind), the
// target-selection mode, the partner-attack notice, danger arrows and the
// button-mashing prompt. The layout decides how each element looks; this
// decides what shows when, where and how strongly.
#pragma once

#include "game/battle/scene/ConsoleBase.h"

class CPlayerConsole : public CConsoleBase {
    ORV_VALUE_CLASS(CPlayerConsole)

public:
    static constexpr u32 kKinds = 9;

    CPlayerConsole() = default;
    explicit CPlayerConsole(CScene* owner) : CConsoleBase(owner) {}
    CPlayerConsole(const CPlayerConsole&) = default;
    ~CPlayerConsole() override { CPlayerConsole::Release(); }

    // Finds the elements in console's tree. 1.
    u32 Load(const HudFighter* character, const HudFighterList* characters, const CSceneResource* console);
    i32 Update(u32 argument) override;
    // 0 without a fighter or "CState".
    i32 Draw(u32 argument) override;
    i32 Release() override { return 1; }

    // x / maximum, 0 for a negative, undefined or infinite ratio.
    static f32 Ratio(f32 x, f32 maximum);

private:
    void DrawName();

    const HudFighter* m_character = nullptr;
    const HudFighterList* m_characters = nullptr;
    CSceneObject* m_state = nullptr;
    CSceneObject* m_base = nullptr;
    CSceneObject* m_hp = nullptr;
    CSceneObject* m_mp = nullptr;
    CSceneObject* m_spin = nullptr;
    CSceneObject* m_portraitName = nullptr;
    CSceneObject* m_teamColour = nullptr;
    CSceneObject* m_namePlate = nullptr;
    CSceneObject* m_orbs[3] = {};
    CSceneObject* m_emptyOrbs[3] = {};
    f32 m_tensionTime = 0.0f;
    u32 m_tensionLevel = 0;
    CSceneObject* m_tension = nullptr;
    CSceneObject* m_tensionLevels[4] = {};
    CSceneObject* m_weaponState = nullptr;
    CSceneObject* m_weaponName = nullptr;
    CSceneObject* m_weaponSet = nullptr;
    CSceneObject* m_labels[kKinds] = {};
    CSceneObject* m_icons[kKinds] = {};
    CSceneObject* m_bars[kKinds] = {};
    CSceneObject* m_counters[kKinds][5] = {};
    CSceneObject* m_digits[10] = {};
    CSceneObject* m_modeMarks[4] = {};
    CSceneObject* m_mark = nullptr;
    CSceneObject* m_partnerAttack = nullptr;
    CSceneObject* m_hpBars[2] = {};
    CSceneObject* m_arrows[4] = {};
    CSceneObject* m_signs[4] = {};
    CSceneObject* m_waves[4] = {};
    f32 m_dangerTimers[4] = {};
    CSceneObject* m_mash = nullptr;
    CSceneObject* m_mashOn = nullptr;
    CSceneObject* m_mashOff = nullptr;
    f32 m_mashTimer = 0.0f;
};
