#include "game/battle/object/StageEnclosure.h"

#include "engine/core/ObjectRegistry.h"
#include "game/battle/object/Stage.h"

CStageEnclosure::CStageEnclosure(CStage* stage) { SetStage(stage); }

void CStageEnclosure::SetStage(CStage* stage)
{
    m_stage = stage;
    m_stageId = stage ? stage->GetId() : 0;
}

CStage* CStageEnclosure::GetStage() const
{
    if (!m_stage) return nullptr;
    const CObjectRegistry* registry = GetObjectRegistry();
    return registry && registry->Find(m_stageId) == m_stage ? m_stage : nullptr;
}

f32 CStageEnclosure::BoxRadius(const CBox& box)
{
    CVector3 half;
    for (int axis = 0; axis < 3; ++axis) {
        const f32 h = (box.max[axis] - box.min[axis]) * 0.5f;
        half[axis] = h > 0.0f ? h : 0.0f;
    }
    return half.Length();
}

CVector3 CStageEnclosure::BoxCentre(const CBox& box)
{
    CVector3 centre = (box.min + box.max) * 0.5f;
    for (int axis = 0; axis < 3; ++axis) {
        if (!(centre[axis] == centre[axis])) centre[axis] = 0.0f;
    }
    return centre;
}

i32 CStageEnclosure::Initialize(intptr_t)
{
    SetDepthSorted(1);
    const CStage* stage = GetStage();
    const CBox box = stage ? stage->GetStageBox() : CBox();
    // The walls lie on the box, wherever the box is: a sphere about the
    // origin would miss a box off the origin.
    const CVector3 centre = BoxCentre(box);
    SetPosition(&centre);
    SetBoundingRadius(BoxRadius(box));
    return 1;
}

i32 CStageEnclosure::Draw(u32 argument)
{
    CStage* stage = GetStage();
    if (!stage) return 0;
    const CObjectRegistry* registry = GetObjectRegistry();
    stage->DrawEnclosure(registry ? registry->Find(argument) : nullptr);
    return 1;
}
