#include "engine/graphics/Camera.h"

#include "engine/core/FloatMath.h"
#include "engine/core/Memory.h"
#include "engine/core/Vector4.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/platform/System.h"

#include <cmath>
#include <new>

namespace {

// Rows 0-2 of the view hold the camera axes as columns; row 3 moves the eye
// to the origin.
CMatrix LookAt(const CVector3& eye, const CVector3& forward, const CVector3& up, CVector3* usedUp)
{
    CVector3 x = up.Cross(forward);
    CVector3 y = forward.Cross(x);
    x.Normalize();
    y.Normalize();
    if (usedUp) *usedUp = y;
    const CVector3& z = forward;
    return CMatrix(x.x, y.x, z.x, 0.0f,
                   x.y, y.y, z.y, 0.0f,
                   x.z, y.z, z.z, 0.0f,
                   -x.Dot(eye), -y.Dot(eye), -z.Dot(eye), 1.0f);
}

}  // namespace

CCamera::CCamera()
{
    projection_.fov = projection_.aspect = 0.0f;
    projection_.reserved[0] = projection_.reserved[1] = 0.0f;
    projection_.nearZ = projection_.farZ = 0.0f;
    for (auto& row : projection_.projection.m)
        for (f32& element : row) element = 0.0f;
    projection_.viewportX = projection_.viewportY = 0;
    projection_.viewportWidth = projection_.viewportHeight = 0;
}

CCamera::~CCamera()
{
    CGraphicDevice* device = GetGraphicDevice();
    if (device && device->GetCurrentCamera() == this) device->SetCurrentCamera(nullptr);
}

void* CCamera::operator new(size_t size) noexcept
{
    return size > 0xFFFFFFFFu ? nullptr : AlignedAlloc(u32(size), 16);
}

void CCamera::operator delete(void* block) noexcept { AlignedFree(block); }

CCamera* CCamera::CreatePooled(void* memory) const { return memory ? new (memory) CCamera() : nullptr; }
CCamera* CCamera::Create() const { return new CCamera(); }
CCamera* CCamera::ClonePooled(void* memory) const { return memory ? new (memory) CCamera(*this) : nullptr; }
CCamera* CCamera::Clone() const { return new CCamera(*this); }

void CCamera::SetLookAt(const CVector3* eye, const CVector3* target, const CVector3* up)
{
    if (!eye || !target || !up) return;
    eye_ = *eye;
    target_ = *target;
    up_ = *up;

    CVector3 f = eye_ - target_;
    distance_ = -f.Length();
    f.Normalize();
    const f32 yaw = Atan2F(f.x, f.z) * 180.0f / 3.1415927f + 180.0f;
    const f32 pitch = Atan2F(f.y, SqrtF(f.z * f.z + f.x * f.x)) * 180.0f / 3.1415927f;
    angles_.Set(pitch, yaw, 0.0f);

    const CVector3 up0 = up_;
    view_ = LookAt(eye_, -f, up0, &up_);
    CMatrix rotation = view_;
    rotation.m[3][0] = rotation.m[3][1] = rotation.m[3][2] = 0.0f;
    rotation.m[3][3] = 1.0f;
    orientation_ = rotation.GetInverse();
}

void MakeBillboardMatrix(CMatrix* out, const CVector3* eye, const CVector3* target, const CVector3* up)
{
    if (!out || !eye || !target || !up) return;
    CVector3 f = *eye - *target;
    f.Normalize();
    *out = LookAt(*eye, -f, *up, nullptr);
}

void CCamera::SetPerspective(f32 fov, f32 aspect, f32 nearZ, f32 farZ)
{
    projection_.fov = fov;
    CGraphicDevice* device = GetGraphicDevice();
    if (aspect < 0.0f && device && device->GetSystem()) {
        const CSystem* window = device->GetSystem();
        aspect = f32(window->GetWidth()) / f32(window->GetHeight());
    }
    projection_.aspect = aspect;
    projection_.nearZ = nearZ;
    projection_.farZ = farZ;

    const f32 half = fov * kDegToRad * 0.5f;
    const f32 tanHalf = TanF(half);
    CMatrix& p = projection_.projection;
    p.SetIdentity();
    p.m[0][0] = 1.0f / (tanHalf * aspect);
    p.m[1][1] = 1.0f / tanHalf;
    p.m[2][2] = farZ / (farZ - nearZ);
    p.m[2][3] = 1.0f;
    p.m[3][2] = farZ * nearZ / (nearZ - farZ);
    p.m[3][3] = 0.0f;
}

void CCamera::SetViewport(u32 x, u32 y, u32 width, u32 height)
{
    CGraphicDevice* device = GetGraphicDevice();
    projection_.viewportX = x;
    projection_.viewportY = y;
    // A zero size is the rest of the back buffer from the origin, as the
    // device takes it: the whole size from a non-zero origin would be refused.
    const auto rest = [](u32 size, u32 from) { return size > from ? size - from : 0; };
    if (width) projection_.viewportWidth = width;
    else if (device) projection_.viewportWidth = rest(device->GetBackBufferWidth(), x);
    if (height) projection_.viewportHeight = height;
    else if (device) projection_.viewportHeight = rest(device->GetBackBufferHeight(), y);
}

i32 CCamera::Apply()
{
    CGraphicDevice* device = GetGraphicDevice();
    if (!device) return 0;
    if (!device->SetViewport(projection_.viewportX, projection_.viewportY, projection_.viewportWidth,
                             projection_.viewportHeight))
        return 0;
    device->SetViewTransform(view_);
    device->SetProjectionTransform(projection_.projection);
    device->SetCurrentCamera(this);
    return 1;
}

void CCamera::WorldToScreen(const CVector3* point, f32* x, f32* y, f32* depth) const
{
    if (!point || !x || !y) return;
    CVector4 v(point->x, point->y, point->z, 1.0f);
    v.Transform(view_);
    v.Transform(projection_.projection);
    const f32 width = f32(projection_.viewportWidth), height = f32(projection_.viewportHeight);
    *x = f32(projection_.viewportX) + width * 0.5f * (v.x / v.w + 1.0f);
    *y = f32(projection_.viewportY) + height * 0.5f * (1.0f - v.y / v.w);
    if (depth) *depth = v.z / v.w;
}

void CCamera::ScreenToWorldDirection(f32 x, f32 y, CVector3* out) const
{
    if (!out) return;
    const CMatrix inverse = view_.GetInverse();
    // Pixels are taken relative to the viewport, so a split-screen half
    // picks through its own camera.
    const f32 px = x - f32(projection_.viewportX), py = y - f32(projection_.viewportY);
    const CMatrix& p = projection_.projection;
    const f32 nx = (2.0f * px / f32(projection_.viewportWidth) - 1.0f) / p.m[0][0];
    const f32 ny = -(2.0f * py / f32(projection_.viewportHeight) - 1.0f) / p.m[1][1];
    const CVector3 d(nx, ny, 1.0f);
    CVector3 world;
    d.TransformNormalInto(inverse, &world);
    world.GetNormalized(out);
}

void CCamera::GetViewProjection(CMatrix* out) const
{
    if (out) *out = view_ * projection_.projection;
}

CVector3* CCamera::GetViewDirection(CVector3* out) const
{
    if (out) *out = target_ - eye_;
    return out;
}
