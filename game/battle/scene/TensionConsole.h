// CTensionConsole: every fighter's tension script as a strip 510 pixels
// wide, the whole music from left to right, each stretch in the colour of
// its level, with a cursor at the looped music time. The own fighter's
// strip has elements of its own; the others share a second set, one row of
// 16 pixels each further down.
#pragma once

#include "game/battle/scene/ConsoleBase.h"

class CTensionConsole : public CConsoleBase {
    ORV_VALUE_CLASS(CTensionConsole)

public:
    static constexpr f32 kStripWidth = 510.0f;
    static constexpr f32 kRowHeight = 16.0f;

    CTensionConsole() = default;
    explicit CTensionConsole(CScene* owner) : CConsoleBase(owner) {}
    CTensionConsole(const CTensionConsole&) = default;
    ~CTensionConsole() override { CTensionConsole::Release(); }

    u32 Load(const HudFighter* own, const HudFighterList* fighters, const CSceneResource* layout);
    i32 Update(u32) override { return 1; }
    i32 Draw(u32 argument) override;
    i32 Release() override { return 1; }

    // The level a fixed tension setting shows (1 low .. 4 and 5 climax);
    // -1 for none or a setting past the table.
    static i32 FixedLevel(u32 setting);

private:
    struct Elements {
        CSceneObject* frames[5] = {};   // by fighter index 0..3, then the computer's
        CSceneObject* cursor = nullptr;
        CSceneObject* heads[4] = {};    // own strip only
        CSceneObject* bodies[4] = {};   // the whole stretch on the others' strips
    };
    void DrawStrip(const HudFighter& fighter, u32 index, const Elements& e, f32 y) const;

    const HudFighter* m_own = nullptr;
    const HudFighterList* m_fighters = nullptr;
    CSceneObject* m_group = nullptr;
    Elements m_ownElements;
    Elements m_otherElements;
};
