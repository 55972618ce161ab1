// `CCamera`: a left-handed view, a perspective projection and a viewport,
// applied to the graphics device. The device remembers the camera that
// applied itself last and applies it again whenever the colour target
// changes, so a camera that dies must leave that seat (the destructor does).
//
// Besides drawing, a camera projects world points to screen pixels (markers,
// consoles) and turns a pixel back into a world direction (picking).
#pragma once

#include "engine/core/Matrix.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"

#include <cstddef>

// The projection block; its address is handed out whole.
struct CameraProjection {
    f32 fov;           // degrees
    f32 aspect;
    f32 reserved[2];
    f32 nearZ;
    f32 farZ;
    CMatrix projection;
    u32 viewportX, viewportY, viewportWidth, viewportHeight;   // pixels
};

class CCamera {
public:
    // Everything zero, view and orientation the identity, the projection
    // matrix all zeros until SetPerspective.
    CCamera();
    CCamera(const CCamera& other) = default;
    CCamera& operator=(const CCamera& other) = default;
    virtual ~CCamera();

    // Engine heap (aligned, zero-filled), like every engine object.
    static void* operator new(size_t size) noexcept;
    static void operator delete(void* block) noexcept;
    static void* operator new(size_t, void* memory) noexcept { return memory; }
    static void operator delete(void*, void*) noexcept {}

    virtual const char* GetClassName() const { return "CCamera"; }
    virtual u32 GetSize() const { return u32(sizeof(CCamera)); }
    virtual CCamera* CreatePooled(void* memory) const;
    virtual CCamera* Create() const;
    virtual CCamera* ClonePooled(void* memory) const;
    virtual CCamera* Clone() const;

    // Looks from eye at target. Up becomes the orthonormal up axis actually
    // used. Nothing when a pointer is null.
    void SetLookAt(const CVector3* eye, const CVector3* target, const CVector3* up);
    // A negative aspect takes the main window's client width / height when a
    // device exists; anything else (0 included) is stored as given.
    void SetPerspective(f32 fov, f32 aspect, f32 nearZ, f32 farZ);
    // A width or height of 0 takes the back buffer's; without a device such
    // a 0 keeps the old value.
    void SetViewport(u32 x, u32 y, u32 width, u32 height);
    // Viewport, view and projection onto the device, and this becomes its
    // current camera. 0 without a device or when the viewport is refused.
    i32 Apply();

    // Screen pixel (and depth 0..1 when asked) of a world point.
    void WorldToScreen(const CVector3* point, f32* x, f32* y, f32* depth) const;
    // Unit world direction of the ray through a pixel of the viewport.
    void ScreenToWorldDirection(f32 x, f32 y, CVector3* out) const;
    void GetViewProjection(CMatrix* out) const;
    // target - eye, not normalized; returns out.
    CVector3* GetViewDirection(CVector3* out) const;

    const CMatrix* GetViewMatrix() const { return &view_; }
    CameraProjection* GetProjectionParams() { return &projection_; }
    const CameraProjection* GetProjectionParams() const { return &projection_; }
    const CMatrix& GetOrientation() const { return orientation_; }
    const CVector3& GetEye() const { return eye_; }
    const CVector3& GetTarget() const { return target_; }
    const CVector3& GetUp() const { return up_; }
    f32 GetDistance() const { return distance_; }
    // (pitch, yaw, 0) in degrees of the eye seen from the target.
    const CVector3& GetAngles() const { return angles_; }

private:
    CVector3 eye_;
    CVector3 target_;
    CVector3 up_;
    f32 distance_ = 0.0f;   // minus the eye-target distance
    CVector3 angles_;
    CMatrix view_;
    CMatrix orientation_;   // the camera's axes in world space
    CameraProjection projection_;
};

// The left-handed look-at matrix of CCamera::SetLookAt, touching no camera
// (sprites turned to face the viewer). Nothing when a pointer is null.
void MakeBillboardMatrix(CMatrix* out, const CVector3* eye, const CVector3* target, const CVector3* up);
