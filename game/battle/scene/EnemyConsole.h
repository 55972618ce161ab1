// CEnemyConsole: one fighter as another fighter's HUD shows it: a status
// panel (a copy of the layout's "EState" group) that the battle console
// stacks with the others, and two markers over the fighter's place on
// screen: a name tag (a copy of "Target") and, while the viewer has it
// locked, the reticle.
#pragma once

#include "game/battle/scene/ConsoleBase.h"

class CLayerState;

class CEnemyConsole : public CConsoleBase {
    ORV_VALUE_CLASS(CEnemyConsole)

public:
    CEnemyConsole() = default;
    explicit CEnemyConsole(CScene* owner) : CConsoleBase(owner) {}
    CEnemyConsole(const CEnemyConsole&) = default;
    ~CEnemyConsole() override { CEnemyConsole::Release(); }

    // 0 when console has no "EState" or no "Target" to copy; the copies are
    // appended beside their originals and owned by that list.
    u32 Load(const HudFighter* character, const HudFighter* viewer, const HudFighterList* characters,
        CSceneResource* console);
    i32 Update(u32 argument) override;
    // The panel at its place.
    i32 Draw(u32) override { return DrawPanel(nullptr); }
    // The panel moved and tinted by state (null: at its place). 0 without a
    // fighter, a viewer or a panel.
    i32 DrawPanel(const CLayerState* state);
    // The screen markers; 0 when nothing was drawn.
    i32 DrawTag(u32 argument);
    i32 DrawReticle(u32 argument);
    i32 Release() override { return 1; }

    CSceneObject* GetPanel() const { return m_panel; }
    CSceneObject* GetTag() const { return m_tag; }

private:
    struct Projection {
        f32 x, y;       // layout pixels
        f32 distance;   // from the viewer's camera
    };
    // Where point lies in layout pixels of the viewer's view; false behind
    // the camera, beyond its far plane or without a camera.
    bool Project(const CVector3& point, Projection* out) const;
    // The fighter's name as text, or its element when the name is empty.
    void DrawName(CSceneObject* element, f32 x, f32 y, f32 scale, f32 alpha, f32 dim);

    const HudFighter* m_character = nullptr;
    const HudFighter* m_viewer = nullptr;
    const HudFighterList* m_characters = nullptr;
    CSceneObject* m_panel = nullptr;
    CSceneObject* m_guardFrame = nullptr;
    CSceneObject* m_hpBar = nullptr;
    CSceneObject* m_sparkFrame = nullptr;
    CSceneObject* m_sparkBar = nullptr;
    CSceneObject* m_name = nullptr;
    CSceneObject* m_tension = nullptr;
    CSceneObject* m_hiddenLabel = nullptr;
    CSceneObject* m_concealedLabel = nullptr;
    CSceneObject* m_teamColour = nullptr;
    CSceneObject* m_portrait = nullptr;
    CSceneObject* m_orbs[3] = {};
    CSceneObject* m_emptyOrbs[3] = {};
    CSceneObject* m_chance = nullptr;
    CSceneObject* m_pinch = nullptr;
    CSceneObject* m_aimedAt = nullptr;
    CSceneObject* m_reticle = nullptr;
    CSceneObject* m_sharedReticle = nullptr;
    CSceneObject* m_locked = nullptr;
    CSceneObject* m_tensionMarks[4] = {};
    CSceneObject* m_tag = nullptr;
    CSceneObject* m_tagHp = nullptr;
    CSceneObject* m_tagFrame = nullptr;
    CSceneObject* m_tagName = nullptr;
    CSceneObject* m_tagTeamColour = nullptr;
};
