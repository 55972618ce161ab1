// A real SDL window (offscreen under CTest) and an OpenGL device on it, with
// helpers to draw sprites and read pixels back.
#pragma once

#include "host/render/GlRender.h"
#include "host/window/Window.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <vector>

namespace host::render {
inline void PrintTo(Result r, std::ostream* os) { *os << ResultName(r); }
}  // namespace host::render

namespace host::render::testing {

constexpr uint32_t kBlack = 0xFF000000, kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF;

// 0x42: position and diffuse, transformed by the device.
struct WorldVertex {
    float x, y, z;
    uint32_t color;
};
static_assert(sizeof(WorldVertex) == 16);

// 0x144: pretransformed, diffuse, one texture coordinate.
struct ScreenVertex {
    float x, y, z, rhw;
    uint32_t color;
    float u, v;
};
static_assert(sizeof(ScreenVertex) == 28);

// 0x44: pretransformed, diffuse.
struct ColorVertex {
    float x, y, z, rhw;
    uint32_t color;
};
static_assert(sizeof(ColorVertex) == 20);

inline int Channel(uint32_t argb, int shift) { return int((argb >> shift) & 0xFF); }

// Each channel within tolerance.
inline bool Near(uint32_t a, uint32_t b, int tolerance = 1) {
    for (int shift = 0; shift < 32; shift += 8)
        if (std::abs(Channel(a, shift) - Channel(b, shift)) > tolerance) return false;
    return true;
}

struct Hex {
    uint32_t v;
    friend std::ostream& operator<<(std::ostream& os, Hex h) {
        char text[16];
        std::snprintf(text, sizeof text, "0x%08X", h.v);
        return os << text;
    }
};

class GlTest : public ::testing::Test {
protected:
    static constexpr uint32_t kWidth = 128, kHeight = 96;

    void SetUp() override {
        host::window::UseRealBackend();
        gl = &InstallGlRender();
        host::window::WindowDesc desc;
        desc.title = "gl";
        desc.width = int32_t(kWidth);
        desc.height = int32_t(kHeight);
        window = host::window::CreateWindow(desc);
        ASSERT_NE(window, nullptr);
        api = CreateApi();
        ASSERT_TRUE(api) << "no OpenGL 3.3 core context";
        device = MakeDevice(kWidth, kHeight);
        ASSERT_TRUE(device);
        ASSERT_EQ(device->GetRenderTarget(0, backBuffer.Put()), Result::Ok);
    }

    void TearDown() override {
        backBuffer.Reset();
        device.Reset();
        api.Reset();
        if (window) host::window::DestroyWindow(window);
        InstallBackend(nullptr);
        host::window::UseRealBackend();
    }

    Ref<Device> MakeDevice(uint32_t w, uint32_t h) {
        PresentParams p;
        p.window = window;
        p.backBufferWidth = w;
        p.backBufferHeight = h;
        Ref<Device> d;
        EXPECT_EQ(api->CreateDevice(0, kDeviceHal, window, kCreateHardwareVertexProcessing, p, d.Put()), Result::Ok);
        return d;
    }

    // A managed texture whose texel (x, y) is texel(x, y) as ARGB.
    template <class F>
    Ref<Texture> MakeTexture(uint32_t w, uint32_t h, F texel, uint32_t format = kFormatA8R8G8B8) {
        Ref<Texture> t;
        EXPECT_EQ(device->CreateTexture(w, h, 1, 0, format, kPoolManaged, t.Put()), Result::Ok);
        if (!t) return t;
        LockedRect r;
        EXPECT_EQ(t->LockRect(0, r, nullptr, 0), Result::Ok);
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x) {
                const uint32_t c = texel(x, y);
                auto* p = static_cast<uint8_t*>(r.bits) + size_t(y) * size_t(r.pitch) + x * 4;
                const bool abgr = format == kFormatA8B8G8R8 || format == kFormatX8B8G8R8;
                p[0] = uint8_t(abgr ? c >> 16 : c), p[1] = uint8_t(c >> 8), p[2] = uint8_t(abgr ? c : c >> 16);
                p[3] = uint8_t(c >> 24);
            }
        EXPECT_EQ(t->UnlockRect(0), Result::Ok);
        return t;
    }

    Ref<Texture> MakeTarget(uint32_t w, uint32_t h, uint32_t format = kFormatA8R8G8B8) {
        Ref<Texture> t;
        EXPECT_EQ(device->CreateTexture(w, h, 1, kUsageRenderTarget, format, kPoolDefault, t.Put()), Result::Ok);
        return t;
    }

    // Two triangles of a quad from its four corners: 0 1 2, 0 2 3.
    Ref<IndexBuffer> QuadIndices() {
        Ref<IndexBuffer> ib;
        EXPECT_EQ(device->CreateIndexBuffer(6 * 2, 0, kFormatIndex16, kPoolManaged, ib.Put()), Result::Ok);
        void* data = nullptr;
        if (!ib || ib->Lock(0, 0, &data, 0) != Result::Ok) return {};
        const uint16_t indices[6] = {0, 1, 2, 0, 2, 3};
        std::memcpy(data, indices, sizeof indices);
        EXPECT_EQ(ib->Unlock(), Result::Ok);
        return ib;
    }

    static Ref<Surface> Level0(Texture* t) {
        Ref<Surface> s;
        EXPECT_EQ(t->GetSurfaceLevel(0, s.Put()), Result::Ok);
        return s;
    }

    // A textured quad from (x0, y0) to (x1, y1), the whole texture on it.
    Result Sprite(float x0, float y0, float x1, float y1, uint32_t color = 0xFFFFFFFF, float u0 = 0, float v0 = 0,
                  float u1 = 1, float v1 = 1) {
        const ScreenVertex v[4] = {{x0, y0, 0, 1, color, u0, v0}, {x1, y0, 0, 1, color, u1, v0},
                                   {x1, y1, 0, 1, color, u1, v1}, {x0, y1, 0, 1, color, u0, v1}};
        EXPECT_EQ(device->SetFVF(0x144), Result::Ok);
        return device->DrawPrimitiveUP(kPrimitiveTriangleFan, 2, v, sizeof(ScreenVertex));
    }

    // An untextured quad.
    Result Fill(float x0, float y0, float x1, float y1, uint32_t color) {
        const ColorVertex v[4] = {{x0, y0, 0, 1, color}, {x1, y0, 0, 1, color}, {x1, y1, 0, 1, color},
                                  {x0, y1, 0, 1, color}};
        EXPECT_EQ(device->SetFVF(0x44), Result::Ok);
        return device->DrawPrimitiveUP(kPrimitiveTriangleFan, 2, v, sizeof(ColorVertex));
    }

    static uint32_t Pixel(Surface* s, int32_t x, int32_t y) {
        uint32_t argb = 0;
        const Rect r{x, y, x + 1, y + 1};
        EXPECT_EQ(s->ReadPixels(&r, &argb), Result::Ok);
        return argb;
    }

    static std::vector<uint32_t> Pixels(Surface* s) {
        SurfaceDesc d;
        s->GetDesc(d);
        std::vector<uint32_t> out(size_t(d.width) * d.height);
        EXPECT_EQ(s->ReadPixels(nullptr, out.data()), Result::Ok);
        return out;
    }

    void SetBlend(uint32_t src, uint32_t dst) {
        ASSERT_EQ(device->SetRenderState(kRsAlphaBlendEnable, 1), Result::Ok);
        ASSERT_EQ(device->SetRenderState(kRsSrcBlend, src), Result::Ok);
        ASSERT_EQ(device->SetRenderState(kRsDestBlend, dst), Result::Ok);
    }

    GlRender* gl = nullptr;
    host::window::Handle window = nullptr;
    Ref<Api> api;
    Ref<Device> device;
    Ref<Surface> backBuffer;
};

}  // namespace host::render::testing
