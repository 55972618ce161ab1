// What a backend gives the render service: the Api for CreateApi. The
// service keeps one installed backend; the real one is made on first use.
#pragma once

#include "host/render/Render.h"

#include <memory>

namespace host::render {

class Backend {
public:
    virtual ~Backend() = default;
    // A new Api; null when the backend cannot start (no display).
    virtual Ref<Api> CreateApi() = 0;
};

// Replaces the backend; objects made through the old one stay valid. Null
// goes back to the real backend.
void InstallBackend(std::unique_ptr<Backend> backend);
// The OpenGL backend; null while the program carries none.
std::unique_ptr<Backend> CreateRealBackend();

}  // namespace host::render
