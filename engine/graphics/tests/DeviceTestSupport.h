// A graphics device on the fake window and the fake render backend, with a
// main window whose procedure records the device messages it receives.
#pragma once

#include "engine/graphics/GraphicDevice.h"
#include "engine/platform/System.h"
#include "host/kernel/Kernel.h"
#include "host/render/FakeRender.h"
#include "host/render/RenderBackend.h"
#include "host/window/FakeWindow.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace host::render {
inline void PrintTo(Result r, std::ostream* os) { *os << ResultName(r); }
}  // namespace host::render

namespace device_test {

namespace render = host::render;
namespace win = host::window;

// "SetRenderState state=27 value=1": the op and its numeric arguments.
inline std::string Describe(const render::Call& call)
{
    std::string out = call.op;
    for (const render::CallArg& arg : call.args) {
        out += ' ' + arg.name + '=';
        if (!arg.text.empty()) {
            out += arg.text;
        } else {
            char number[32];
            if (arg.number == std::floor(arg.number) && std::fabs(arg.number) < 1e15)
                std::snprintf(number, sizeof number, "%.0f", arg.number);
            else
                std::snprintf(number, sizeof number, "%g", arg.number);
            out += number;
        }
    }
    return out;
}

inline std::vector<std::string> Describe(const std::vector<render::Call>& calls)
{
    std::vector<std::string> out;
    for (const render::Call& call : calls) out.push_back(Describe(call));
    return out;
}

// What the main window received, and how long the call log was by then.
struct Received {
    u32 message;
    size_t callsBefore;
};

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fakeWindow_ = &win::InstallFakeWindow();
        fake_ = &render::InstallFakeRender();
        current_ = this;
        ASSERT_EQ(system_.Create(GetModuleInstance(), "Cendrava", -1, -1, 1024, 768, 0xCA0000, 105, &WindowProc,
                                 nullptr),
                  1);
    }

    void TearDown() override
    {
        device_.Release();
        current_ = nullptr;
        render::InstallBackend(nullptr);
    }

    // A created device with an empty log.
    void CreateDevice()
    {
        ASSERT_EQ(device_.Create(&system_), 1);
        fake_->ClearLog();
        received_.clear();
    }

    render::FakeDevice& Fake() const { return *fake_->LastDevice(); }

    std::vector<std::string> CallsSince(size_t mark) const { return Describe(fake_->CallsSince(mark)); }
    std::vector<std::string> Ops() const { return fake_->Ops(); }

    std::vector<u32> Messages() const
    {
        std::vector<u32> out;
        for (const Received& r : received_) out.push_back(r.message);
        return out;
    }

    static win::LResult WindowProc(win::Handle window, uint32_t message, win::WParam wParam, win::LParam lParam)
    {
        if (message == kMessageDeviceLost || message == kMessageDeviceReset) {
            if (current_) {
                current_->received_.push_back({message, current_->fake_->CallCount()});
                if (current_->onMessage_) current_->onMessage_(message);
            }
            return 0;
        }
        return win::DefWindowProc(window, message, wParam, lParam);
    }

    host::kernel::FakeClock clock_{1000};
    host::kernel::ScopedClock scoped_{clock_};
    win::FakeWindow* fakeWindow_ = nullptr;
    render::FakeRender* fake_ = nullptr;
    std::vector<Received> received_;
    // What the application does on the device messages.
    std::function<void(u32)> onMessage_;
    CSystem system_;
    CGraphicDevice device_;

    static inline DeviceTest* current_ = nullptr;
};

}  // namespace device_test
