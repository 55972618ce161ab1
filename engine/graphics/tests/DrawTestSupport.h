// A created device inside a frame, and the vertices of its draws as the fake
// recorded them, for the sprite and 2D shape tests.
#pragma once

#include "engine/core/Geometry.h"
#include "engine/graphics/tests/DeviceTestSupport.h"

#include <cstring>
#include <vector>

namespace draw_test {

namespace render = host::render;

// A rectangle from its left, top, right and bottom edges.
inline CRect4 Rect(f32 left, f32 top, f32 right, f32 bottom)
{
    CRect4 r;
    r.Set(left, right, top, bottom);
    return r;
}

// One DrawPrimitiveUP as drawn.
template <class Vertex>
struct Drawn {
    u32 type = 0, count = 0, stride = 0, fvf = 0;
    u64 texture = 0;   // the fake's id of the bound texture, 0 for none
    std::vector<Vertex> vertices;
};

class DrawTest : public device_test::DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        CreateDevice();
        ASSERT_EQ(device_.BeginScene(), 1);
        fake_->ClearLog();
    }

    void TearDown() override
    {
        device_.EndScene();
        DeviceTest::TearDown();
    }

    size_t Draws() const { return fake_->Count("DrawPrimitiveUP"); }

    // The last draw; an empty record when nothing was drawn.
    template <class Vertex>
    Drawn<Vertex> Last() const
    {
        Drawn<Vertex> out;
        const std::vector<render::Call> calls = fake_->Find(render::CallMatch("DrawPrimitiveUP"));
        if (calls.empty()) return out;
        const render::Call& c = calls.back();
        out.type = c.U32("type");
        out.count = c.U32("count");
        out.stride = c.U32("stride");
        out.fvf = c.U32("fvf");
        out.texture = u64(c.Number("texture"));
        out.vertices.resize(c.data.size() / sizeof(Vertex));
        std::memcpy(static_cast<void*>(out.vertices.data()), c.data.data(), out.vertices.size() * sizeof(Vertex));
        return out;
    }

    u64 IdOf(const render::Object* object) const { return fake_->IdOf(object); }
};

}  // namespace draw_test
