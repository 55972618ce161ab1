// A fake window and a fake render device made once per test suite, as the
// model tests share them: nothing a test draws outlives its suite.
#pragma once

#include "engine/graphics/GraphicDevice.h"
#include "engine/platform/System.h"
#include "host/kernel/Kernel.h"
#include "host/render/FakeRender.h"
#include "host/render/RenderBackend.h"
#include "host/window/FakeWindow.h"
#include "host/window/Window.h"

#include <gtest/gtest.h>

namespace model_test {

class ModelDeviceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        host::window::InstallFakeWindow();
        fake_ = &host::render::InstallFakeRender();
        system_ = new CSystem();
        device_ = new CGraphicDevice();
        // The window measures the processor clock over two seconds of this clock.
        host::kernel::FakeClock clock{1000};
        host::kernel::ScopedClock scoped{clock};
        ASSERT_EQ(system_->Create(GetModuleInstance(), "Model", -1, -1, 640, 480, 0xCA0000, 105, &Proc, nullptr), 1);
        ASSERT_EQ(device_->Create(system_), 1);
    }
    static void TearDownTestSuite()
    {
        device_->Release();
        delete device_;
        delete system_;
        device_ = nullptr;
        system_ = nullptr;
        host::render::InstallBackend(nullptr);
    }

    static inline host::render::FakeRender* fake_ = nullptr;
    static inline CSystem* system_ = nullptr;
    static inline CGraphicDevice* device_ = nullptr;

private:
    static host::window::LResult Proc(host::window::Handle window, uint32_t message, host::window::WParam w,
                                      host::window::LParam l)
    {
        return host::window::DefWindowProc(window, message, w, l);
    }
};

}  // namespace model_test
