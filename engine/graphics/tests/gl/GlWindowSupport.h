// The window a real-OpenGL test draws in: the real window service with the
// GL render backend, made on a fake clock so it does not spend two real
// seconds measuring the processor clock.
#pragma once

#include "engine/platform/System.h"
#include "host/kernel/Kernel.h"
#include "host/render/GlRender.h"
#include "host/window/Window.h"

namespace gl_test {

inline host::window::LResult Proc(host::window::Handle window, uint32_t message, host::window::WParam w,
    host::window::LParam l)
{
    return host::window::DefWindowProc(window, message, w, l);
}

// 1 when the window was made.
inline i32 CreateGlWindow(CSystem& system, const char* title, i32 width, i32 height)
{
    host::window::UseRealBackend();
    host::render::InstallGlRender();
    host::kernel::FakeClock clock{1000};
    host::kernel::ScopedClock scoped{clock};
    return system.Create(GetModuleInstance(), title, -1, -1, width, height, 0xCA0000, 105, &gl_test::Proc, nullptr);
}

}  // namespace gl_test
