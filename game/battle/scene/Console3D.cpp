#include "game/battle/scene/Console3D.h"

#include "engine/core/FloatMath.h"
#include "engine/graphics/GraphicDevice.h"
#include "game/battle/object/StageSetting.h"

namespace {

f32 Larger(f32 a, f32 b)
{
    a = AbsF(a);
    b = AbsF(b);
    return a > b ? a : b;
}

}  // namespace

f32 CConsole3D::RadiusFor(const CStageSetting& stage)
{
    // The smaller corner per axis would give a sphere that misses most of a
    // box not centred on the origin, and minus 1 a negative radius for a
    // small one; the larger one holds every corner.
    const CBox& box = stage.GetParameters()->box;
    const CVector3 reach(Larger(box.min.x, box.max.x), Larger(box.min.y, box.max.y), Larger(box.min.z, box.max.z));
    return reach.Length();
}

i32 CConsole3D::Initialize(intptr_t argument)
{
    const auto* stage = reinterpret_cast<const CStageSetting*>(argument);
    if (!stage) return 0;
    SetDepthSorted(1);
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
