// A fake window and a fake render device for the render service's tests.
#pragma once

#include "host/render/FakeRender.h"
#include "host/window/FakeWindow.h"

#include <gtest/gtest.h>

#include <ostream>

namespace host::render {
inline void PrintTo(Result r, std::ostream* os) { *os << ResultName(r); }
}  // namespace host::render

namespace host::render::testing {

class FakeRenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        host::window::InstallFakeWindow();
        fake = &InstallFakeRender();
        host::window::WindowDesc desc;
        desc.title = "render";
        desc.width = 640;
        desc.height = 480;
        window = host::window::CreateWindow(desc);
        ASSERT_NE(window, nullptr);
        api = CreateApi();
        ASSERT_TRUE(api);
    }

    void TearDown() override { InstallBackend(nullptr); }

    // A windowed device on the HAL with its back buffer w x h.
    Ref<Device> MakeDevice(uint32_t w = 64, uint32_t h = 32) {
        PresentParams p = Params(w, h);
        Ref<Device> device;
        EXPECT_EQ(api->CreateDevice(0, kDeviceHal, window, 0x44, p, device.Put()), Result::Ok);
        return device;
    }

    PresentParams Params(uint32_t w, uint32_t h) const {
        PresentParams p;
        p.window = window;
        p.backBufferWidth = w;
        p.backBufferHeight = h;
        return p;
    }

    FakeDevice& Fake(Device* device) { return *static_cast<FakeDevice*>(device); }

    Ref<Texture> MakeTexture(Device* device, uint32_t w, uint32_t h, uint32_t usage, uint32_t pool,
                             uint32_t format = kFormatA8R8G8B8) {
        Ref<Texture> t;
        EXPECT_EQ(device->CreateTexture(w, h, 1, usage, format, pool, t.Put()), Result::Ok);
        return t;
    }

    Ref<Surface> Level0(Texture* texture) {
        Ref<Surface> s;
        EXPECT_EQ(texture->GetSurfaceLevel(0, s.Put()), Result::Ok);
        return s;
    }

    FakeRender* fake = nullptr;
    host::window::Handle window = nullptr;
    Ref<Api> api;
};

}  // namespace host::render::testing
