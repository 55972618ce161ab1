// CObjectBase, the base of every placed object of a scene:
// position, rotation in degrees, scaling, colour, visibility, the data the
// render list orders and culls by, and the world matrix built
// from them. It is never created itself: its factories, Initialize, Update
// and Draw belong to the derived classes.
#pragma once

#include "engine/core/Geometry.h"
#include "engine/core/Matrix.h"
#include "engine/core/ResourceBase.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"
#include "engine/core/Vector4.h"

#include <cstdint>

class CObjectBase : public CResourceBase {
    ORV_ABSTRACT_CLASS(CObjectBase)

public:
    // Position and rotation zero, scaling and colour one, shown, identity
    // world matrix, everything else zero.
    CObjectBase() = default;
    explicit CObjectBase(const char* name) : CResourceBase(name) {}
    // Every field copied; the name as an independent copy.
    CObjectBase(const CObjectBase&) = default;
    CObjectBase& operator=(const CObjectBase&) = default;

    // Virtual operations appended after CResourceBase's, in their fixed order.
    virtual i32 Initialize(intptr_t argument) = 0;
    // Per-frame update; engine callers pass 0.
    virtual i32 Update(u32 argument) = 0;
    // world = Scale x RotationEuler(rotation) x Translation(position), with
    // row vectors; returns the world matrix. Derived classes call it in their
    // update after moving the object.
    virtual CMatrix* UpdateMatrix();
    // The argument is the draw argument the render list stored.
    virtual i32 Draw(u32 argument) = 0;

    CVector3* GetPosition() { return &m_position; }
    const CVector3* GetPosition() const { return &m_position; }
    // A null pointer is ignored.
    void SetPosition(const CVector3* position)
    {
        if (position) m_position = *position;
    }
    CVector3* GetRotation() { return &m_rotation; }
    const CVector3* GetRotation() const { return &m_rotation; }
    CVector3* GetScaling() { return &m_scaling; }
    const CVector3* GetScaling() const { return &m_scaling; }
    CVector4* GetColor() { return &m_color; }
    const CVector4* GetColor() const { return &m_color; }
    CMatrix* GetWorldMatrix() { return &m_world; }
    const CMatrix* GetWorldMatrix() const { return &m_world; }

    u32 IsVisible() const { return m_shown; }
    void SetVisible(u32 shown) { m_shown = shown; }
    i32 GetDrawPriority() const { return m_drawPriority; }
    void SetDrawPriority(i32 priority) { m_drawPriority = priority; }
    // The render list's filter target index: negative keeps the current
    // render target, 1 is the HDR filter's glow target.
    i32 GetUserWord() const { return m_userWord; }
    void SetUserWord(u32 word) { m_userWord = i32(word); }
    u32 IsDepthSorted() const { return m_depthSorted; }
    void SetDepthSorted(u32 sorted) { m_depthSorted = sorted; }
    u32 GetDrawArgument() const { return m_drawArgument; }
    void SetDrawArgument(u32 argument) { m_drawArgument = argument; }

    CBox* GetBoundingBox() { return &m_box; }
    const CBox* GetBoundingBox() const { return &m_box; }
    CVector3* GetBoundingCenter() { return &m_sphereCenter; }
    const CVector3* GetBoundingCenter() const { return &m_sphereCenter; }
    f32 GetBoundingRadius() const { return m_sphereRadius; }
    void SetBoundingRadius(f32 radius) { m_sphereRadius = radius; }

    // (0, 0, 1) turned by RotationEuler(rotation): direction only, no
    // translation. Returns out; a null out is returned untouched.
    CVector3* GetBackVector(CVector3* out) const;

protected:
    CVector3 m_position;                       // (0, 0, 0)
    CVector3 m_rotation;                       // Euler degrees, (0, 0, 0)
    CVector3 m_scaling{1.0f, 1.0f, 1.0f};
    CVector4 m_color{1.0f, 1.0f, 1.0f, 1.0f};  // RGBA 0..1
    u32 m_shown = 1;
    i32 m_drawPriority = 0;
    i32 m_userWord = 0;
    CMatrix m_world;                           // identity
    CBox m_box;                                // all zero
    CVector3 m_sphereCenter;
    f32 m_sphereRadius = 0.0f;
    u32 m_depthSorted = 0;
    u32 m_drawArgument = 0;
};
