// The OpenGL 3.3 backend. Until it is built the program has no real
// renderer: CreateApi answers null, as it does where no display exists.
#include "host/render/RenderBackend.h"

namespace host::render {

std::unique_ptr<Backend> CreateRealBackend() { return nullptr; }

}  // namespace host::render
