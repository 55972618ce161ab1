#include "engine/graphics/StencilMask.h"

#include "engine/graphics/GraphicDevice.h"

namespace render = host::render;

namespace {

constexpr u32 kStates[] = {render::kRsStencilEnable, render::kRsStencilFunc, render::kRsStencilRef,
    render::kRsStencilPass, render::kRsStencilZFail, render::kRsStencilMask};

}  // namespace

CStencilMaskScope::CStencilMaskScope(CGraphicDevice* graphics, const std::function<void()>& drawMask)
{
    render::Device* device = graphics ? graphics->GetDevice() : nullptr;
    if (!device) return;
    static_assert(sizeof kStates / sizeof kStates[0] == kStateCount);
    m_graphics = graphics;
    for (u32 i = 0; i < kStateCount; ++i) device->GetRenderState(kStates[i], m_saved[i]);
    m_savedColourWrite = graphics->GetRenderStates()->colorWriteEnable;
    device->SetRenderState(render::kRsStencilEnable, 1);
    device->SetRenderState(render::kRsStencilFunc, render::kCmpAlways);
    device->SetRenderState(render::kRsStencilRef, 1);
    device->SetRenderState(render::kRsStencilPass, render::kStencilOpReplace);
    device->SetRenderState(render::kRsStencilZFail, render::kStencilOpReplace);
    device->SetRenderState(render::kRsStencilMask, 0xFF);
    graphics->SetColorWriteEnable(0);
    drawMask();
    device->SetRenderState(render::kRsStencilFunc, render::kCmpEqual);
    device->SetRenderState(render::kRsStencilPass, render::kStencilOpKeep);
    device->SetRenderState(render::kRsStencilZFail, render::kStencilOpKeep);
    graphics->SetColorWriteEnable(0xF);
}

CStencilMaskScope::~CStencilMaskScope()
{
    render::Device* device = m_graphics ? m_graphics->GetDevice() : nullptr;
    if (!device) return;
    for (u32 i = 0; i < kStateCount; ++i) device->SetRenderState(kStates[i], m_saved[i]);
    m_graphics->SetColorWriteEnable(m_savedColourWrite);
}
