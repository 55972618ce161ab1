// Camera maths without a device; the device side is in DeviceCameraTest.
#include "engine/graphics/Camera.h"

#include "engine/core/tests/MathExpect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <utility>

namespace ORV_TEST_FILE_ID {

namespace {

const CVector3 kOrigin(0, 0, 0);
const CVector3 kUp(0, 1, 0);
constexpr f32 kHalfRoot2 = 0.70710678f;

CCamera LookingAt(const CVector3& eye, const CVector3& target = kOrigin, const CVector3& up = kUp)
{
    CCamera camera;
    camera.SetLookAt(&eye, &target, &up);
    return camera;
}

}  // namespace

TEST(Camera, LookAtBuildsViewAnglesAndOrthonormalUp)
{
    constexpr f32 h = kHalfRoot2;
    const struct {
        CVector3 eye;
        f32 distance;
        CVector3 angles, up;
        CMatrix view;
    } cases[] = {
        // atan2(+0, -1) is pi: the yaw comes out 360, not 0.
        {{0, 0, -10}, -10, {0, 360, 0}, {0, 1, 0}, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 10, 1}},
        // Camera right is world -x, forward world -z.
        {{0, 0, 10}, -10, {0, 180, 0}, {0, 1, 0}, {-1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, 0, 0, 0, 10, 1}},
        // The up given was world up; the one used leans back with the camera.
        {{0, 10, -10}, -14.142136f, {45, 360, 0}, {0, h, h}, {1, 0, 0, 0, 0, h, -h, 0, 0, h, h, 0, 0, 0, 14.142136f, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.eye.z);
        const CCamera camera = LookingAt(c.eye);
        EXPECT_NEAR(camera.GetDistance(), c.distance, 1e-5f);
        EXPECT_TRUE(Near(camera.GetAngles(), c.angles, 1e-5f));
        EXPECT_TRUE(Near(camera.GetUp(), c.up, 1e-6f));
        EXPECT_TRUE(Near(*camera.GetViewMatrix(), c.view, 1e-5f));
        // The orientation is the view's rotation inverted: its transpose.
        CMatrix turn = *camera.GetViewMatrix();
        turn.m[3][0] = turn.m[3][1] = turn.m[3][2] = 0;
        for (int r = 0; r < 3; ++r)
            for (int k = 0; k < 3; ++k) EXPECT_NEAR(camera.GetOrientation().m[r][k], turn.m[k][r], 1e-6f);
        CVector3 direction;
        camera.GetViewDirection(&direction);
        EXPECT_TRUE(Near(direction, CVector3(0, 0, 0) - c.eye, 0));
    }
}

TEST(Camera, PerspectiveMatrix)
{
    CCamera camera;
    camera.SetPerspective(90, 2, 1, 101);
    // tan 45 = 1: m00 = 1 / (1 x 2), m22 = 101 / 100, m32 = 101 / -100.
    EXPECT_TRUE(Near(camera.GetProjectionParams()->projection,
                     {0.5f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1.01f, 1, 0, 0, -1.01f, 0}, 1e-6f));
    // Without a device a negative aspect cannot be looked up and stays.
    camera.SetPerspective(60, -1, 1, 100);
    EXPECT_EQ(camera.GetProjectionParams()->aspect, -1.0f);
}

TEST(Camera, WorldToScreenAndBackThroughAnOffsetViewport)
{
    // 90 degrees, square: a point 5 right at depth 10 sits half way to the
    // right edge; y points down on screen.
    CCamera camera = LookingAt({0, 0, -10});
    camera.SetPerspective(90, 1, 1, 100);
    camera.SetViewport(100, 50, 800, 800);
    // Depth at z = 10: (10 x 100/99 - 100/99) / 10.
    const struct {
        CVector3 point;
        f32 x, y;
    } cases[] = {
        {{5, 0, 0}, 100 + 600, 50 + 400},
        {{-10, 5, 0}, 100 + 0, 50 + 200},
    };
    for (const auto& c : cases) {
        f32 x = 0, y = 0, depth = 0;
        camera.WorldToScreen(&c.point, &x, &y, &depth);
        EXPECT_NEAR(x, c.x, 1e-4f);
        EXPECT_NEAR(y, c.y, 1e-4f);
        EXPECT_NEAR(depth, 0.9090909f, 1e-6f);
        // The ray through that pixel points from the eye at the point.
        CVector3 direction;
        camera.ScreenToWorldDirection(x, y, &direction);
        CVector3 expected = c.point - camera.GetEye();
        expected.Normalize();
        EXPECT_TRUE(Near(direction, expected, 1e-5f));
    }
}

TEST(Camera, ScreenToWorldDirectionFollowsTheCameraTurn)
{
    CCamera camera = LookingAt({0, 0, 10});
    camera.SetPerspective(90, 1, 1, 100);
    camera.SetViewport(0, 0, 800, 800);
    CVector3 direction;
    camera.ScreenToWorldDirection(400, 400, &direction);
    EXPECT_TRUE(Near(direction, {0, 0, -1}, 1e-6f));
    // The right edge: 45 degrees to the camera's right, which is world -x.
    camera.ScreenToWorldDirection(800, 400, &direction);
    EXPECT_TRUE(Near(direction, {-kHalfRoot2, 0, -kHalfRoot2}, 1e-6f));
}

TEST(Camera, ViewProjectionAndBillboard)
{
    CCamera camera = LookingAt({3, 4, -5}, {1, 0, 2});
    camera.SetPerspective(45, 1.5f, 0.5f, 300);
    CMatrix vp;
    camera.GetViewProjection(&vp);
    EXPECT_EQ(vp, *camera.GetViewMatrix() * camera.GetProjectionParams()->projection);

    const CVector3 eye(3, 4, -5), target(1, 0, 2);
    CMatrix billboard;
    MakeBillboardMatrix(&billboard, &eye, &target, &kUp);
    EXPECT_EQ(billboard, *camera.GetViewMatrix());
    CMatrix untouched = vp;
    MakeBillboardMatrix(&untouched, &eye, nullptr, &kUp);
    EXPECT_EQ(untouched, vp);
}

TEST(Camera, CopiesAndFactoriesCarryEveryField)
{
    CCamera camera = LookingAt({0, 10, -10});
    camera.SetPerspective(60, 1.25f, 1, 100);
    camera.SetViewport(1, 2, 3, 4);
    CCamera* clone = camera.Clone();
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(std::memcmp(clone->GetProjectionParams(), camera.GetProjectionParams(), sizeof(CameraProjection)), 0);
    EXPECT_EQ(*clone->GetViewMatrix(), *camera.GetViewMatrix());
    EXPECT_EQ(clone->GetDistance(), camera.GetDistance());
    delete clone;
}

}  // namespace ORV_TEST_FILE_ID
