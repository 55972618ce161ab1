// CMapConsole: the radar of a battle console: a disc centred on the own
// fighter with every fighter as a marker in its team colour, turned to its
// heading, and the arena's outline; half the arena fills half the map. A
// stencil disc clips it. The radar keeps north up or turns with the
// camera, as the player chose.
#pragma once

#include "game/battle/scene/ConsoleBase.h"

class CMapConsole : public CConsoleBase {
    ORV_VALUE_CLASS(CMapConsole)

public:
    static constexpr u32 kTeamColours[4] = {0xFFFF0000u, 0xFF0000FFu, 0xFFFFFF00u, 0xFF00FF00u};
    static constexpr u32 kDefeatedColour = 0xFF808080u;
    // A fighter of no team.
    static constexpr u32 kNoTeamColour = 0xFFFFFFFFu;

    CMapConsole() = default;
    explicit CMapConsole(CScene* owner) : CConsoleBase(owner) {}
    CMapConsole(const CMapConsole&) = default;
    ~CMapConsole() override { CMapConsole::Release(); }

    // stages: the battle's stage objects (the CStage ones count). 1.
    u32 Load(const CResourceList* stages, const HudFighter* owner, const HudFighterList* characters,
        const CSceneResource* console);
    i32 Update(u32) override { return 1; }
    // The stencil states are as they were found afterwards.
    i32 Draw(u32 argument) override;
    i32 Release() override { return 1; }

    // The largest half extent in x and z over the stages; (0, 0) without one.
    void GetHalfExtents(f32* ex, f32* ez) const;

private:
    const CResourceList* m_stages = nullptr;
    const HudFighter* m_owner = nullptr;
    const HudFighterList* m_characters = nullptr;
    CSceneObject* m_map = nullptr;
    CSceneObject* m_area = nullptr;
    CSceneObject* m_marker = nullptr;
};
