// Scripted devices for tests. Every device object shares the backend's
// state, so a script written after a device was created still reaches it,
// and devices may outlive the backend.
#include "host/input/BasicDevice.h"

#include <algorithm>
#include <cstring>

namespace host::input {

struct FakeBackend::State {
    struct Failure {
        Call call;
        int device;
        Result result;
        uint32_t left;   // 0: until cleared
    };
    struct Joystick {
        FakeJoystickSpec spec;
        Guid instance{}, product{};
        bool plugged = true;
        uint32_t epoch = 0;
        JoystickState values{};
        AxisRange ranges[kAxisCount];
    };
    struct Pad {
        bool connected = false;
        PadState state{};
        PadVibration vibration{};
    };

    std::vector<Failure> failures;
    uint32_t calls[static_cast<int>(Call::Count)] = {};
    KeyboardState keys{};
    MouseState mouse{};
    uint32_t keyboardEpoch = 0, mouseEpoch = 0;
    std::vector<Joystick> joysticks;
    Pad pads[kPadCount];
    std::vector<VibrationCall> log;

    Result Take(Call call, int device) {
        ++calls[static_cast<int>(call)];
        for (auto it = failures.begin(); it != failures.end(); ++it) {
            if (it->call != call || (it->device != kAnyDevice && it->device != device))
                continue;
            Result r = it->result;
            if (it->left > 0 && --it->left == 0)
                failures.erase(it);
            return r;
        }
        return Result::Ok;
    }

    Joystick* FindJoystick(int id) {
        return id >= 0 && static_cast<size_t>(id) < joysticks.size() ? &joysticks[id] : nullptr;
    }

    // The counter whose change takes acquisition away from a device.
    uint32_t* Epoch(int device) {
        if (device == kKeyboard)
            return &keyboardEpoch;
        if (device == kMouse)
            return &mouseEpoch;
        Joystick* j = FindJoystick(device);
        return j ? &j->epoch : nullptr;
    }
};

namespace {

using State = FakeBackend::State;

Guid MakeGuid(const char (&tag)[5], uint32_t a, uint32_t b) {
    Guid g{};
    std::memcpy(g.bytes, tag, 4);
    for (int i = 0; i < 4; ++i) {
        g.bytes[4 + i] = static_cast<uint8_t>(a >> (8 * i));
        g.bytes[8 + i] = static_cast<uint8_t>(b >> (8 * i));
    }
    return g;
}

void DescribeJoystick(const State::Joystick& j, DeviceInfo& out) {
    std::memset(&out, 0, sizeof out);
    out.instance = j.instance;
    out.product = j.product;
    CopyName(out.instanceName, j.spec.name);
    CopyName(out.productName, j.spec.name);
}

class FakeDevice final : public BasicDevice {
public:
    FakeDevice(DataFormat kind, int id, std::shared_ptr<State> state)
        : BasicDevice(kind), id_(id), state_(std::move(state)) {}

protected:
    Result Injected(Call call) override { return state_->Take(call, id_); }

    bool StillAcquired() override {
        State::Joystick* j = state_->FindJoystick(id_);
        if (j && !j->plugged)
            return false;
        return *state_->Epoch(id_) == epoch_;
    }

    bool Reacquire() override {
        State::Joystick* j = state_->FindJoystick(id_);
        if (j && !j->plugged)
            return false;
        epoch_ = *state_->Epoch(id_);
        return true;
    }

    uint32_t AxisMask() const override {
        const State::Joystick* j = state_->FindJoystick(id_);
        return j ? j->spec.axes & ((1u << kAxisCount) - 1) : 0;
    }

    void Describe(DeviceInfo& out) override {
        if (State::Joystick* j = state_->FindJoystick(id_)) {
            DescribeJoystick(*j, out);
            return;
        }
        const char* name = id_ == FakeBackend::kKeyboard ? "Keyboard" : "Mouse";
        out.instance = out.product = MakeGuid("SYS_", static_cast<uint32_t>(-id_), 0);
        CopyName(out.instanceName, name);
        CopyName(out.productName, name);
    }

    void Read(KeyboardState& out) override { out = state_->keys; }

    void Read(MouseState& out) override {
        out = state_->mouse;
        state_->mouse.x = state_->mouse.y = state_->mouse.z = 0;
    }

    void Read(JoystickState& out) override {
        State::Joystick& j = *state_->FindJoystick(id_);
        uint32_t mask = AxisMask();
        for (int i = 0; i < kAxisCount; ++i) {
            Axis a = static_cast<Axis>(i);
            if (mask & (1u << i))
                out.At(a) = std::clamp(j.values.At(a), Range(a).min, Range(a).max);
        }
        for (int i = 0; i < std::min(j.spec.povs, kPovCount); ++i)
            out.povs[i] = j.values.povs[i];
        for (int i = 0; i < std::min(j.spec.buttons, kJoystickButtons); ++i)
            out.buttons[i] = j.values.buttons[i];
    }

    void OnRangeSet(Axis axis, const AxisRange& range) override {
        if (State::Joystick* j = state_->FindJoystick(id_))
            j->ranges[static_cast<int>(axis)] = range;
    }

private:
    int id_;
    uint32_t epoch_ = 0;
    std::shared_ptr<State> state_;
};

class FakeInput final : public Input {
public:
    explicit FakeInput(std::shared_ptr<State> state) : state_(std::move(state)) {}

    Result CreateKeyboard(std::unique_ptr<Device>& out) override {
        return Create(DataFormat::Keyboard, FakeBackend::kKeyboard, out);
    }

    Result CreateMouse(std::unique_ptr<Device>& out) override {
        return Create(DataFormat::Mouse, FakeBackend::kMouse, out);
    }

    Result EnumJoysticks(const std::function<bool(const DeviceInfo&)>& callback) override {
        if (Result r = state_->Take(Call::EnumJoysticks, FakeBackend::kAnyDevice); r != Result::Ok)
            return r;
        if (!callback)
            return Result::InvalidArgument;
        // Taken first: the callback creates devices, and a test may plug more.
        std::vector<DeviceInfo> found;
        for (const State::Joystick& j : state_->joysticks) {
            if (j.plugged)
                DescribeJoystick(j, found.emplace_back());
        }
        for (const DeviceInfo& info : found) {
            if (!callback(info))
                break;
        }
        return Result::Ok;
    }

    Result CreateJoystick(const Guid& instance, std::unique_ptr<Device>& out) override {
        int id = FakeBackend::kAnyDevice;
        for (size_t i = 0; i < state_->joysticks.size(); ++i) {
            if (state_->joysticks[i].instance == instance && state_->joysticks[i].plugged)
                id = static_cast<int>(i);
        }
        if (Result r = state_->Take(Call::CreateDevice, id); r != Result::Ok)
            return r;
        if (id == FakeBackend::kAnyDevice)
            return Result::NotConnected;
        out = std::make_unique<FakeDevice>(DataFormat::Joystick, id, state_);
        return Result::Ok;
    }

private:
    Result Create(DataFormat kind, int id, std::unique_ptr<Device>& out) {
        if (Result r = state_->Take(Call::CreateDevice, id); r != Result::Ok)
            return r;
        out = std::make_unique<FakeDevice>(kind, id, state_);
        return Result::Ok;
    }

    std::shared_ptr<State> state_;
};

bool SamePadState(const PadState& a, const PadState& b) {
    return a.buttons == b.buttons && a.leftTrigger == b.leftTrigger && a.rightTrigger == b.rightTrigger &&
           a.thumbLX == b.thumbLX && a.thumbLY == b.thumbLY && a.thumbRX == b.thumbRX && a.thumbRY == b.thumbRY;
}

}  // namespace

FakeBackend::FakeBackend() : state_(std::make_shared<State>()) {}
FakeBackend::~FakeBackend() = default;

Result FakeBackend::CreateInput(std::unique_ptr<Input>& out) {
    if (Result r = state_->Take(Call::CreateInput, kAnyDevice); r != Result::Ok)
        return r;
    out = std::make_unique<FakeInput>(state_);
    return Result::Ok;
}

Result FakeBackend::GetPadState(uint32_t user, PadState& out) {
    if (Result r = state_->Take(Call::GetPadState, static_cast<int>(std::min(user, 0x7FFFu))); r != Result::Ok)
        return r;
    if (user >= kPadCount)
        return Result::InvalidArgument;
    if (!state_->pads[user].connected)
        return Result::NotConnected;
    out = state_->pads[user].state;
    return Result::Ok;
}

Result FakeBackend::SetPadVibration(uint32_t user, const PadVibration& vibration) {
    if (Result r = state_->Take(Call::SetPadVibration, static_cast<int>(std::min(user, 0x7FFFu))); r != Result::Ok)
        return r;
    if (user >= kPadCount)
        return Result::InvalidArgument;
    if (!state_->pads[user].connected)
        return Result::NotConnected;
    state_->pads[user].vibration = vibration;
    state_->log.push_back({user, vibration});
    return Result::Ok;
}

void FakeBackend::Fail(Call call, int device, Result result, uint32_t times) {
    state_->failures.push_back({call, device, result, times});
}

void FakeBackend::ClearFailures() { state_->failures.clear(); }

uint32_t FakeBackend::Calls(Call call) const {
    return call < Call::Count ? state_->calls[static_cast<int>(call)] : 0;
}

void FakeBackend::SetKey(uint8_t code, bool down) { state_->keys.keys[code] = down ? kDown : 0; }

void FakeBackend::ReleaseKeys() { state_->keys = {}; }

void FakeBackend::MoveMouse(int32_t dx, int32_t dy) {
    state_->mouse.x += dx;
    state_->mouse.y += dy;
}

void FakeBackend::TurnWheel(int32_t notches) { state_->mouse.z += notches * kWheelNotch; }

bool FakeBackend::SetMouseButton(int button, bool down) {
    if (button < 0 || button >= 8)
        return false;
    state_->mouse.buttons[button] = down ? kDown : 0;
    return true;
}

int FakeBackend::PlugJoystick(const FakeJoystickSpec& spec) {
    int id = static_cast<int>(state_->joysticks.size());
    State::Joystick& j = state_->joysticks.emplace_back();
    j.spec = spec;
    j.spec.povs = std::clamp(spec.povs, 0, kPovCount);
    j.spec.buttons = std::clamp(spec.buttons, 0, kJoystickButtons);
    j.instance = MakeGuid("FAKE", static_cast<uint32_t>(id), 0);
    j.product = MakeGuid("PROD", spec.vendor, spec.product);
    for (uint32_t& pov : j.values.povs)
        pov = kPovCentred;
    return id;
}

bool FakeBackend::Unplug(int joystick) {
    State::Joystick* j = state_->FindJoystick(joystick);
    if (!j)
        return false;
    j->plugged = false;
    return true;
}

bool FakeBackend::Replug(int joystick) {
    State::Joystick* j = state_->FindJoystick(joystick);
    if (!j)
        return false;
    j->plugged = true;
    return true;
}

bool FakeBackend::SetAxis(int joystick, Axis axis, int32_t value) {
    State::Joystick* j = state_->FindJoystick(joystick);
    if (!j || static_cast<unsigned>(axis) >= kAxisCount)
        return false;
    j->values.At(axis) = value;
    return true;
}

bool FakeBackend::SetPov(int joystick, int pov, uint32_t value) {
    State::Joystick* j = state_->FindJoystick(joystick);
    if (!j || pov < 0 || pov >= kPovCount)
        return false;
    j->values.povs[pov] = value;
    return true;
}

bool FakeBackend::SetButton(int joystick, int button, bool down) {
    State::Joystick* j = state_->FindJoystick(joystick);
    if (!j || button < 0 || button >= kJoystickButtons)
        return false;
    j->values.buttons[button] = down ? kDown : 0;
    return true;
}

std::pair<int32_t, int32_t> FakeBackend::AxisRangeOf(int joystick, Axis axis) const {
    State::Joystick* j = state_->FindJoystick(joystick);
    if (!j || static_cast<unsigned>(axis) >= kAxisCount)
        return {0, 0};
    const auto& r = j->ranges[static_cast<int>(axis)];
    return {r.min, r.max};
}

void FakeBackend::LoseAcquisition(int device) {
    if (uint32_t* epoch = state_->Epoch(device))
        ++*epoch;
}

bool FakeBackend::ConnectPad(uint32_t user, bool connected) {
    if (user >= kPadCount)
        return false;
    State::Pad& pad = state_->pads[user];
    if (pad.connected != connected) {
        pad.connected = connected;
        pad.vibration = {};
        uint32_t packet = pad.state.packet + 1;
        pad.state = {};
        pad.state.packet = packet;
    }
    return true;
}

bool FakeBackend::SetPad(uint32_t user, const PadState& state) {
    if (user >= kPadCount)
        return false;
    PadState& current = state_->pads[user].state;
    if (!SamePadState(current, state)) {
        uint32_t packet = current.packet + 1;
        current = state;
        current.packet = packet;
    }
    return true;
}

PadVibration FakeBackend::Vibration(uint32_t user) const {
    return user < kPadCount ? state_->pads[user].vibration : PadVibration{};
}

const std::vector<FakeBackend::VibrationCall>& FakeBackend::VibrationLog() const { return state_->log; }

void FakeBackend::ClearVibrationLog() { state_->log.clear(); }

}  // namespace host::input
