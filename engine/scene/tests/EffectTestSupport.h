// Effect tests: effect files laid out byte by byte, definitions made in
// code, and a controller on a created fake device.
#pragma once

#include "engine/core/Random.h"
#include "engine/graphics/Camera.h"
#include "engine/graphics/Texture.h"
#include "engine/graphics/tests/DeviceTestSupport.h"
#include "engine/platform/FrameTime.h"
#include "engine/scene/Effect.h"
#include "engine/scene/EffectContainer.h"
#include "engine/scene/EffectController.h"
#include "engine/scene/EffectObject.h"
#include "engine/scene/Particle.h"
#include "engine/scene/tests/SceneTestSupport.h"
#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace effect_test {

using Bytes = scene_test::Bytes;

inline bool Same(const CVector3& a, const CVector3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

inline void ExpectNear(const CVector3& a, const CVector3& b, const char* what = "", f32 within = 1e-5f)
{
    EXPECT_NEAR(a.x, b.x, within) << what;
    EXPECT_NEAR(a.y, b.y, within) << what;
    EXPECT_NEAR(a.z, b.z, within) << what;
}

inline void ExpectNear(const CMatrix& a, const CMatrix& b, const char* what = "", f32 within = 1e-5f)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(a.m[r][c], b.m[r][c], within) << what << " " << r << "," << c;
}

using scene_test::ReadBytes;
using scene_test::WriteBytes;

// A fresh object named name (owned by the caller until added).
inline CEffectObject* NewObject(const char* name)
{
    auto* object = new CEffectObject();
    object->SetName(name);
    return object;
}

// Particle keys (time, count) on an object.
inline void ParticleKeys(CEffectObject* object, std::initializer_list<std::pair<f32, u32>> keys)
{
    for (const auto& [t, n] : keys) object->GetParticleTrack().AddKey(t, n);
}

// A controller on a created fake device, and a camera looking down +z.
class EffectFixture : public device_test::DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        CreateDevice();
        ASSERT_EQ(controller_.Create(&device_, nodes_, particles_), 1);
        controller_.SeedRandom(1234);
        SetFrameTime(10);
    }

    void TearDown() override
    {
        controller_.Release();
        SetFrameTime(0);
        DeviceTest::TearDown();
    }

    void LookFrom(const CVector3& eye, const CVector3& target)
    {
        const CVector3 up(0.0f, 1.0f, 0.0f);
        camera_.SetLookAt(&eye, &target, &up);
        camera_.SetPerspective(60.0f, 4.0f / 3.0f, 0.1f, 1000.0f);
        camera_.SetViewport(0, 0, 0, 0);
        ASSERT_EQ(camera_.Apply(), 1);
    }

    // frames updates of ms milliseconds each through the controller.
    void Frames(u32 frames, u32 ms = 10)
    {
        SetFrameTime(ms);
        for (u32 i = 0; i < frames; ++i) controller_.UpdateAll(0);
    }

    u32 LiveNodes() { return controller_.GetNodePool().GetLiveCount(); }
    u32 LiveParticles() { return controller_.GetParticlePool().GetLiveCount(); }

    static u32 CountParticles(const CEffect* node)
    {
        u32 n = 0;
        std::vector<const CParticle*> todo{node->GetFirstParticle()};
        while (!todo.empty()) {
            const CParticle* p = todo.back();
            todo.pop_back();
            for (; p; p = p->GetNext()) {
                ++n;
                todo.push_back(p->GetLinked());
            }
        }
        return n;
    }

    u32 nodes_ = 64;
    u32 particles_ = 128;
    CEffectController controller_;
    CCamera camera_;
};

// EffectFixture with a 32 x 32 sprite texture and a container to fill.
class SpriteEffectFixture : public EffectFixture {
protected:
    void SetUp() override
    {
        EffectFixture::SetUp();
        ASSERT_EQ(texture_.Create(32, 32, 0, host::render::kFormatA8R8G8B8, host::render::kPoolManaged), 1);
    }

    CEffect* Play() { return container_.PlayInScene(&controller_, 0, nullptr); }

    // Updates e by frames of ms.
    static void Run(CEffect* e, u32 frames, u32 ms = 10)
    {
        SetFrameTime(ms);
        for (u32 i = 0; i < frames; ++i) e->Update(0);
    }

    size_t SpritesDrawn(CEffect* e)
    {
        const size_t before = fake_->Count("DrawPrimitiveUP");
        e->Draw(nullptr);
        return fake_->Count("DrawPrimitiveUP") - before;
    }

    CTexture texture_;
    CEffectContainer container_;
};

}  // namespace effect_test
