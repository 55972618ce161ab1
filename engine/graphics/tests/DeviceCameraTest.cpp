// Cameras with a device: sizes taken from the window and the back buffer,
// Apply, and the device's current camera.
#include "engine/graphics/Camera.h"

#include "engine/core/tests/MathExpect.h"
#include "engine/graphics/tests/DeviceTestSupport.h"

#include <cstring>
#include <utility>

namespace device_test {
namespace ORV_TEST_FILE_ID {

namespace {

using DeviceCamera = DeviceTest;

CMatrix FromRender(const render::Matrix& m)
{
    CMatrix out;
    std::memcpy(out.m, m.m, sizeof out.m);
    return out;
}

TEST_F(DeviceCamera, SizesComeFromTheWindowAndTheBackBuffer)
{
    CreateDevice();
    CCamera camera;
    camera.SetPerspective(60, -1, 1, 100);
    EXPECT_EQ(camera.GetProjectionParams()->aspect, 1.3333334f);

    // A zero size is the rest of the back buffer, as the device takes it.
    camera.SetViewport(5, 6, 0, 0);
    const CameraProjection* p = camera.GetProjectionParams();
    EXPECT_EQ(std::make_pair(p->viewportWidth, p->viewportHeight), std::make_pair(1019u, 762u));
    EXPECT_EQ(camera.Apply(), 1);
    camera.SetViewport(1024, 0, 0, 0);
    EXPECT_EQ(camera.Apply(), 0);
    camera.SetViewport(0, 0, 300, 0);

    // Without a device a 0 keeps what was there.
    device_.Release();
    camera.SetViewport(1, 2, 0, 10);
    EXPECT_EQ(std::make_pair(p->viewportWidth, p->viewportHeight), std::make_pair(300u, 10u));
}

TEST_F(DeviceCamera, ApplySetsViewportAndTransformsAndBecomesCurrent)
{
    CreateDevice();
    CCamera camera;
    const CVector3 eye(0, 0, -10), target(0, 0, 0), up(0, 1, 0);
    camera.SetLookAt(&eye, &target, &up);
    camera.SetPerspective(60, -1, 1, 100);
    camera.SetViewport(0, 0, 0, 0);
    ASSERT_EQ(camera.Apply(), 1);

    EXPECT_EQ(FromRender(Fake().Transform(render::kTransformView)), *camera.GetViewMatrix());
    EXPECT_EQ(FromRender(Fake().Transform(render::kTransformProjection)), camera.GetProjectionParams()->projection);
    EXPECT_EQ(device_.GetCurrentCamera(), &camera);

    // The centre of the screen is the target.
    f32 x = 0, y = 0;
    camera.WorldToScreen(&target, &x, &y, nullptr);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(512.0f, 384.0f));
}

TEST_F(DeviceCamera, ARefusedViewportLeavesTheTransformsAlone)
{
    CreateDevice();
    CCamera camera;
    camera.SetViewport(800, 0, 400, 100);   // past the right edge
    EXPECT_EQ(camera.Apply(), 0);
    EXPECT_EQ(device_.GetCurrentCamera(), nullptr);
}

TEST_F(DeviceCamera, TheViewportOriginFollowsTheCurrentCamera)
{
    CreateDevice();
    ASSERT_EQ(device_.SetViewport(0, 0, 512, 0), 1);
    CCamera right;
    right.SetViewport(512, 0, 512, 768);
    ASSERT_EQ(right.Apply(), 1);
    EXPECT_EQ(device_.GetViewportOrigin().x, 512.0f);
    device_.SetCurrentCamera(nullptr);
    EXPECT_EQ(device_.GetViewportOrigin().x, 512.0f);   // the kept viewport is the camera's now
    ASSERT_EQ(device_.SetViewport(0, 0, 512, 0), 1);
    EXPECT_EQ(device_.GetViewportOrigin().x, 0.0f);
}

TEST_F(DeviceCamera, DestroyingTheCurrentCameraClearsIt)
{
    CreateDevice();
    CCamera* current = new CCamera();
    CCamera* other = new CCamera();
    current->SetViewport(0, 0, 0, 0);
    other->SetViewport(0, 0, 0, 0);
    ASSERT_EQ(other->Apply(), 1);
    ASSERT_EQ(current->Apply(), 1);
    delete other;
    EXPECT_EQ(device_.GetCurrentCamera(), current);
    delete current;
    EXPECT_EQ(device_.GetCurrentCamera(), nullptr);

    // A target switch then applies no camera.
    fake_->ClearLog();
    render::Ref<render::Texture> texture;
    ASSERT_EQ(device_.GetDevice()->CreateTexture(64, 64, 1, render::kUsageRenderTarget, 22, render::kPoolDefault,
                                                 texture.Put()),
              render::Result::Ok);
    render::Ref<render::Surface> target;
    ASSERT_EQ(texture->GetSurfaceLevel(0, target.Put()), render::Result::Ok);
    ASSERT_EQ(device_.SetColorTarget(target.Get()), 1);
    EXPECT_EQ(fake_->Count("SetTransform"), 0u);
    EXPECT_EQ(device_.RestoreColorTarget(), 1);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace device_test
