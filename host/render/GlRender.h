// The OpenGL 3.3 core backend: SDL2 windows and contexts, GL through
// libepoxy. CreateRealBackend makes one; tests that need a lost device on
// real GL install one themselves.
//
//   auto& gl = host::render::InstallGlRender();
//   gl.SimulateLoss(2);   // DeviceLost twice, then DeviceNotReset until Reset
#pragma once

#include "host/render/RenderBackend.h"

#include <memory>

namespace host::render {

class GlRender : public Backend {
public:
    GlRender();
    ~GlRender() override;
    // Null when SDL video cannot start or no OpenGL 3.3 core context can be made.
    Ref<Api> CreateApi() override;
    // Every device of this backend is lost: TestCooperativeLevel answers
    // DeviceLost `lostAnswers` times (Present fails with it meanwhile), then
    // DeviceNotReset until a Reset. GL itself never loses a device.
    void SimulateLoss(uint32_t lostAnswers);

    struct State;   // shared with its devices
private:
    std::shared_ptr<State> state_;
};

// Installs a fresh OpenGL backend; the reference holds until the next install.
GlRender& InstallGlRender();

}  // namespace host::render
