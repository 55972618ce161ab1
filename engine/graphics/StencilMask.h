// A stencil mask around 2D draws: what the mask callback draws goes into the
// stencil only (no colour), and the draws made while the scope lives show
// only where it lies. The scope saves the stencil states and the colour
// write mask it changes and puts them back when it ends. Without a device it
// does nothing (and draws no mask).
#pragma once

#include "engine/core/Types.h"

#include <functional>

class CGraphicDevice;

class CStencilMaskScope {
public:
    CStencilMaskScope(CGraphicDevice* graphics, const std::function<void()>& drawMask);
    ~CStencilMaskScope();
    CStencilMaskScope(const CStencilMaskScope&) = delete;
    CStencilMaskScope& operator=(const CStencilMaskScope&) = delete;

private:
    static constexpr u32 kStateCount = 6;
    CGraphicDevice* m_graphics = nullptr;
    u32 m_saved[kStateCount] = {};
    u32 m_savedColourWrite = 0xF;
};
