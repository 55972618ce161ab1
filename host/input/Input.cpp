// The service's entry points: they go to the installed backend.
#include "host/input/Input.h"

#include <atomic>

namespace host::input {
namespace {

std::atomic<Backend*> g_backend{nullptr};

Backend& Current() {
    Backend* b = g_backend.load(std::memory_order_acquire);
    return b ? *b : SdlBackend();
}

}  // namespace

const char* ResultName(Result r) {
    switch (r) {
    case Result::Ok: return "Ok";
    case Result::Failed: return "Failed";
    case Result::InvalidArgument: return "InvalidArgument";
    case Result::NotAcquired: return "NotAcquired";
    case Result::InputLost: return "InputLost";
    case Result::NotConnected: return "NotConnected";
    }
    return "?";
}

void SetBackend(Backend* backend) { g_backend.store(backend, std::memory_order_release); }

Result CreateInput(std::unique_ptr<Input>& out) { return Current().CreateInput(out); }

Result GetPadState(uint32_t user, PadState& out) { return Current().GetPadState(user, out); }

Result SetPadVibration(uint32_t user, const PadVibration& vibration) {
    return Current().SetPadVibration(user, vibration);
}

}  // namespace host::input
