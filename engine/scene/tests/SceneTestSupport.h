// Scene tests: golden bytes laid out by hand field by field (never by the
// readers' own writers), and a device on the fake render backend whose
// sprite draws can be read back from its call log.
#pragma once

#include "engine/core/Types.h"
#include "engine/graphics/Texture.h"
#include "engine/graphics/tests/DrawTestSupport.h"
#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace scene_test {

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

inline CRect4 Rect(f32 left, f32 top, f32 right, f32 bottom)
{
    CRect4 r;
    r.Set(left, right, top, bottom);
    return r;
}

// Little-endian fields.
class Bytes {
public:
    Bytes& U8(u32 v) { return Little(v, 1); }
    Bytes& U32(u32 v) { return Little(v, 4); }
    Bytes& I32(i32 v) { return Little(u32(v), 4); }
    Bytes& F32(f32 v)
    {
        u32 w;
        std::memcpy(&w, &v, 4);
        return U32(w);
    }
    Bytes& Floats(std::initializer_list<f32> values)
    {
        for (f32 v : values) F32(v);
        return *this;
    }
    Bytes& V3(f32 x, f32 y, f32 z) { return Floats({x, y, z}); }
    Bytes& V4(f32 x, f32 y, f32 z, f32 w) { return Floats({x, y, z, w}); }
    // A key-frame block with no keys: name, 0 keys, interpolate, loop 0,
    // the default value's words.
    Bytes& EmptyTrack(const std::string& name, u32 interpolate, std::initializer_list<f32> defaults)
    {
        return Name(name).U32(0).U32(interpolate).U32(0).Floats(defaults);
    }
    Bytes& Zeros(size_t n) { return Raw(std::string(n, '\0')); }
    // NUL-padded to n bytes.
    Bytes& Text(const std::string& text, size_t n) { return Raw((text + std::string(n, '\0')).substr(0, n)); }
    // u32 size with the NUL, then the text and its NUL.
    Bytes& Name(const std::string& text) { return U32(u32(text.size() + 1)).Raw(text + '\0'); }
    Bytes& Raw(const std::string& bytes)
    {
        m_bytes += bytes;
        return *this;
    }
    operator std::string() const { return m_bytes; }
    const std::string& Str() const { return m_bytes; }

private:
    Bytes& Little(u32 v, int n)
    {
        for (int i = 0; i < n; ++i) m_bytes += char(v >> (8 * i));
        return *this;
    }
    std::string m_bytes;
};

// The settings block of a layer record: offset state, visible, group,
// orientation, pivot, reserved, anchor, evaluation mode, time.
struct Settings {
    f32 x = 0, y = 0, z = 0, scaleX = 1, scaleY = 1, rotation = 0;
    f32 r = 1, g = 1, b = 1, a = 1;
    f32 left = 0, top = 0, right = 0, bottom = 0;
    u32 visible = 1, group = 0;
    u8 orientation = 0, pivot = 0, reserved = 0, anchor = 0;
    u32 mode = 0;
    f32 time = 0;

    std::string Block() const
    {
        return Bytes().Floats({x, y, z, scaleX, scaleY, rotation, r, g, b, a, left, top, right, bottom})
            .U32(visible).U32(group).U8(orientation).U8(pivot).U8(reserved).U8(anchor).U32(mode).F32(time);
    }
};

// The five tracks of a layer with no keys and their new-layer defaults.
inline std::string EmptyTracks()
{
    return Bytes()
        .Name("Position").U32(0).U32(1).U32(0).Floats({0, 0, 0, 0, 0, 0})
        .Name("Rotation").U32(0).U32(1).U32(0).Floats({0, 0, 0})
        .Name("Scaling").U32(0).U32(0).U32(0).Floats({1, 1, 1})
        .Name("Color").U32(0).U32(0).U32(0).Floats({1, 1, 1, 1})
        .Name("Rect").U32(0).U32(0).U32(0).Floats({0, 0, 0, 0});
}

// A layer record: name, settings, texture name, tracks, children.
inline std::string LayerRecord(const std::string& name, const Settings& s, const std::string& texture,
                               const std::string& tracks, const std::vector<std::string>& children = {})
{
    Bytes b;
    b.Name(name).U32(76).Raw(s.Block());
    if (texture.empty()) b.U32(0);
    else b.U32(u32(texture.size())).Raw(texture + '\0');
    b.Raw(tracks).U32(u32(children.size()));
    for (const std::string& c : children) b.Raw(c);
    return b;
}

inline std::string SceneFile(const std::string& name, const std::vector<std::string>& layers)
{
    Bytes b;
    if (name.empty()) b.U32(0);
    else b.Name(name);
    b.U32(u32(layers.size()));
    for (const std::string& l : layers) b.Raw(l);
    return b;
}

// One sprite as the fake drew it: its four corners in fan order.
struct Quad {
    SpriteVertex v[4];
    u64 texture;
};

// A device in a frame and a 256 x 256 texture named "Menu.dds".
class SceneDraw : public draw_test::DrawTest {
protected:
    void SetUp() override
    {
        DrawTest::SetUp();
        ASSERT_EQ(texture_.Create(256, 256, 0, host::render::kFormatA8R8G8B8, host::render::kPoolManaged), 1);
        texture_.SetName("Data\\Menu.dds");
        fake_->ClearLog();
    }

    // Every sprite drawn since the log was cleared, in order.
    std::vector<Quad> Quads() const
    {
        std::vector<Quad> out;
        for (const host::render::Call& c : fake_->Find(host::render::CallMatch("DrawPrimitiveUP"))) {
            Quad q{};
            if (c.data.size() != sizeof q.v) continue;
            std::memcpy(static_cast<void*>(q.v), c.data.data(), sizeof q.v);
            q.texture = u64(c.Number("texture"));
            out.push_back(q);
        }
        return out;
    }

    CTexture texture_;
};

}  // namespace scene_test
