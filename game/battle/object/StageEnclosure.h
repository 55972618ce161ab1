// CStageEnclosure: the render-list entry that draws a stage's four walls
// for one view. The walls are invisible from afar and fade in as the viewer
// nears them; the stage owns the wall models and the settings, so Draw
// hands over to it. Not a battle object: no id, no messages.
#pragma once

#include "engine/core/Geometry.h"
#include "engine/core/ObjectBase.h"
#include "engine/core/Types.h"

class CStage;

class CStageEnclosure : public CObjectBase {
    ORV_VALUE_CLASS(CStageEnclosure)

public:
    CStageEnclosure() = default;
    explicit CStageEnclosure(CStage* stage);
    // Draws for the same stage.
    CStageEnclosure(const CStageEnclosure& other) = default;

    // Depth-sorted, placed at the centre of the stage box with the box's
    // half-diagonal as bounding radius, so the render list neither culls
    // walls in view nor sorts them from the wrong place. 1.
    i32 Initialize(intptr_t argument) override;
    i32 Update(u32) override { return 1; }
    // argument: the registry id of the fighter whose view is drawn. 0
    // without a live stage, else the stage's DrawEnclosure and 1.
    i32 Draw(u32 argument) override;

    // The stage while it is registered under the id it had when set.
    CStage* GetStage() const;
    void SetStage(CStage* stage);

    // Length of the box's half-extent: the radius of the sphere about the
    // box's centre that holds it. 0 for an empty or inverted box.
    static f32 BoxRadius(const CBox& box);
    // The box's centre; an axis that is no number gives 0.
    static CVector3 BoxCentre(const CBox& box);

private:
    CStage* m_stage = nullptr;
    u32 m_stageId = 0;
};
