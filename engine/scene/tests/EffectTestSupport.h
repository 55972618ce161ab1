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
#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace effect_test {

// Little-endian bytes, field by field.
class Bytes {
public:
    Bytes& U8(u32 v) { return Little(v, 1); }
    Bytes& U32(u32 v) { return Little(v, 4); }
    Bytes& I32(i32 v) { return Little(u32(v), 4); }
    Bytes& F32(f32 v)
    {
        u32 bits;
        std::memcpy(&bits, &v, 4);
        return U32(bits);
    }
    Bytes& V3(f32 x, f32 y, f32 z) { return F32(x).F32(y).F32(z); }
    Bytes& V4(f32 x, f32 y, f32 z, f32 w) { return F32(x).F32(y).F32(z).F32(w); }
    Bytes& Zeros(size_t n) { return Raw(std::string(n, '\0')); }
    Bytes& Raw(const std::string& bytes)
    {
        m_bytes += bytes;
        return *this;
    }
    // u32 length with the NUL, the text and its NUL.
    Bytes& Name(const std::string& text) { return U32(u32(text.size() + 1)).Raw(text).U8(0); }
    // A key-frame block with no keys: name, 0 keys, interpolate, loop, the
    // default value's words.
    Bytes& EmptyTrack(const std::string& name, u32 interpolate, std::initializer_list<f32> defaults)
    {
        Name(name).U32(0).U32(interpolate).U32(0);
        for (f32 v : defaults) F32(v);
        return *this;
    }

    const std::string& str() const { return m_bytes; }
    operator const std::string&() const { return m_bytes; }

private:
    Bytes& Little(u32 v, int n)
    {
        for (int i = 0; i < n; ++i) m_bytes += char(u8(v >> (8 * i)));
        return *this;
    }
    std::string m_bytes;
};

inline bool Same(const CVector3& a, const CVector3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

inline std::string ReadBytes(const std::string& path)
{
    std::string out;
    host::kernel::ReadWholeFile(path, out);
    return out;
}

inline bool WriteBytes(const std::string& path, const std::string& bytes)
{
    return host::kernel::WriteFileAtomic(path, bytes.data(), bytes.size());
}

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
        SeedRandom(1234);
        ASSERT_EQ(controller_.Create(&device_, nodes_, particles_), 1);
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
