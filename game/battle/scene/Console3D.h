// CConsole3D: the part of a fighter's HUD that lives in the 3D picture
// (markers and balloons over the other fighters). It sits in the render
// list so it is drawn in the list's order with the 3D objects, and hands
// the drawing to its battle console.
#pragma once

#include "engine/core/ObjectBase.h"

class CStageSetting;

// The battle console's 3D pass, as the 3D console calls it.
class Console3DSource {
public:
    virtual ~Console3DSource() = default;
    virtual i32 Draw3D(u32 argument) = 0;
};

class CConsole3D : public CObjectBase {
    ORV_VALUE_CLASS(CConsole3D)

public:
    CConsole3D() = default;
    explicit CConsole3D(Console3DSource* console) : m_console(console) {}
    CConsole3D(const CConsole3D&) = default;
    ~CConsole3D() override { CConsole3D::Release(); }

    i32 Release() override { return CObjectBase::Release(); }
    // argument: the stage's settings (const CStageSetting*). Depth-sorted,
    // at the stage enclosure's centre with its radius minus 1, so it sorts
    // right after the enclosure. 0 without settings.
    i32 Initialize(intptr_t argument) override;
    i32 Update(u32) override { return 1; }
    // The console's 3D pass with blend mode 1 and depth writes on; depth
    // writes are off again afterwards. 0 without a console.
    i32 Draw(u32 argument) override;

    // The radius for a stage box: the enclosure's (the box's half-diagonal)
    // minus 1.
    static f32 RadiusFor(const CStageSetting& stage);
    Console3DSource* GetConsole() const { return m_console; }

private:
    Console3DSource* m_console = nullptr;
};
