#include "game/battle/scene/Console3D.h"

#include "engine/graphics/GraphicDevice.h"
#include "game/battle/object/StageEnclosure.h"
#include "game/battle/object/StageSetting.h"

f32 CConsole3D::RadiusFor(const CStageSetting& stage)
{
    return CStageEnclosure::BoxRadius(stage.GetParameters()->box) - 1.0f;
}

i32 CConsole3D::Initialize(intptr_t argument)
{
    const auto* stage = reinterpret_cast<const CStageSetting*>(argument);
    if (!stage) return 0;
    SetDepthSorted(1);
    // On the enclosure's sphere, one unit smaller: the list draws far to
    // near by depth plus radius, so the markers come right after the walls
    // and the walls never hide behind their pixels.
    const CVector3 centre = CStageEnclosure::BoxCentre(stage->GetParameters()->box);
    SetPosition(&centre);
    SetBoundingRadius(RadiusFor(*stage));
    return 1;
}

i32 CConsole3D::Draw(u32 argument)
{
    if (!m_console) return 0;
    CGraphicDevice* device = GetGraphicDevice();
    if (device) {
        device->SetBlendMode(1);
        device->SetZWriteEnable(1);
    }
    m_console->Draw3D(argument);
    if (device) device->SetZWriteEnable(0);
    return 1;
}
