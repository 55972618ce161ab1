#include "host/input/BasicDevice.h"

#include "host/kernel/Kernel.h"

#include <cstring>

namespace host::input {
namespace {

bool ValidCooperativeLevel(uint32_t flags) {
    const uint32_t known = kExclusive | kNonExclusive | kForeground | kBackground;
    if (flags & ~known)
        return false;
    bool oneAccess = ((flags & kExclusive) != 0) != ((flags & kNonExclusive) != 0);
    bool oneFocus = ((flags & kForeground) != 0) != ((flags & kBackground) != 0);
    return oneAccess && oneFocus;
}

bool ValidAxis(Axis a) { return static_cast<unsigned>(a) < kAxisCount; }

}  // namespace

Result BasicDevice::SetDataFormat(DataFormat format) {
    if (Result r = Injected(Call::SetDataFormat); r != Result::Ok)
        return r;
    if (acquired_ || format != kind_)
        return Result::InvalidArgument;
    formatSet_ = true;
    return Result::Ok;
}

Result BasicDevice::SetCooperativeLevel(uint32_t flags) {
    if (Result r = Injected(Call::SetCooperativeLevel); r != Result::Ok)
        return r;
    return ValidCooperativeLevel(flags) ? Result::Ok : Result::InvalidArgument;
}

Result BasicDevice::Acquire() {
    if (Result r = Injected(Call::Acquire); r != Result::Ok)
        return r;
    if (!formatSet_)
        return Result::InvalidArgument;
    if (acquired_ && StillAcquired())
        return Result::Ok;
    acquired_ = Reacquire();
    return acquired_ ? Result::Ok : Result::NotConnected;
}

Result BasicDevice::Unacquire() {
    acquired_ = false;
    return Result::Ok;
}

// Lost acquisition is reported once as InputLost; the device is then simply
// not acquired, as the engine's re-acquire logic expects.
Result BasicDevice::Readable(Call call, DataFormat format) {
    if (Result r = Injected(call); r != Result::Ok)
        return r;
    if (format != kind_)
        return Result::InvalidArgument;
    if (!acquired_)
        return Result::NotAcquired;
    if (call == Call::Poll)
        Refresh();
    if (!StillAcquired()) {
        acquired_ = false;
        return Result::InputLost;
    }
    return Result::Ok;
}

Result BasicDevice::Poll() { return Readable(Call::Poll, kind_); }

// On failure the caller's record is left as it was.
Result BasicDevice::GetState(KeyboardState& out) {
    Result r = Readable(Call::GetState, DataFormat::Keyboard);
    if (r == Result::Ok) {
        std::memset(&out, 0, sizeof out);
        Read(out);
        MergeReportedKeys(out);
    }
    return r;
}

Result BasicDevice::GetState(MouseState& out) {
    Result r = Readable(Call::GetState, DataFormat::Mouse);
    if (r == Result::Ok) {
        std::memset(&out, 0, sizeof out);
        Read(out);
    }
    return r;
}

Result BasicDevice::GetState(JoystickState& out) {
    Result r = Readable(Call::GetState, DataFormat::Joystick);
    if (r == Result::Ok) {
        std::memset(&out, 0, sizeof out);
        for (uint32_t& pov : out.povs)
            pov = kPovCentred;
        Read(out);
    }
    return r;
}

Result BasicDevice::EnumAxes(const std::function<bool(Axis)>& callback) {
    if (Result r = Injected(Call::EnumAxes); r != Result::Ok)
        return r;
    if (!callback)
        return Result::InvalidArgument;
    uint32_t mask = AxisMask();
    for (int i = 0; i < kAxisCount; ++i) {
        if ((mask & (1u << i)) && !callback(static_cast<Axis>(i)))
            break;
    }
    return Result::Ok;
}

Result BasicDevice::SetAxisRange(Axis axis, int32_t min, int32_t max) {
    if (Result r = Injected(Call::SetAxisRange); r != Result::Ok)
        return r;
    if (!ValidAxis(axis) || !(AxisMask() & (1u << static_cast<int>(axis))) || min >= max)
        return Result::InvalidArgument;
    AxisRange& range = ranges_[static_cast<int>(axis)];
    range = {min, max};
    OnRangeSet(axis, range);
    return Result::Ok;
}

Result BasicDevice::GetInfo(DeviceInfo& out) {
    if (Result r = Injected(Call::GetInfo); r != Result::Ok)
        return r;
    std::memset(&out, 0, sizeof out);
    Describe(out);
    return Result::Ok;
}

void CopyName(char (&field)[kNameSize], std::string_view name) {
    size_t n = kernel::Cp932Fit(name, kNameSize - 1);
    std::memcpy(field, name.data(), n);
    field[n] = '\0';
}

}  // namespace host::input
