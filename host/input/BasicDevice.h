// The rules every backend's devices share: which calls are allowed in which
// order, acquisition and its loss, axis ranges. A backend supplies the
// hardware side through the hooks. Internal to the input service.
#pragma once

#include "host/input/Input.h"

#include <string_view>

namespace host::input {

struct AxisRange {
    int32_t min = 0, max = 65535;
};

class BasicDevice : public Device {
public:
    explicit BasicDevice(DataFormat kind) : kind_(kind) {}

    Result SetDataFormat(DataFormat format) final;
    Result SetCooperativeLevel(uint32_t flags) final;
    Result Acquire() final;
    Result Unacquire() final;
    Result Poll() final;
    Result GetState(KeyboardState& out) final;
    Result GetState(MouseState& out) final;
    Result GetState(JoystickState& out) final;
    Result EnumAxes(const std::function<bool(Axis)>& callback) final;
    Result SetAxisRange(Axis axis, int32_t min, int32_t max) final;
    Result GetInfo(DeviceInfo& out) final;

protected:
    // A scripted failure for this call, or Ok; asked before anything else.
    virtual Result Injected(Call) { return Result::Ok; }
    // Brings the hardware view up to date; Poll asks for it.
    virtual void Refresh() {}
    // False when the device has gone or its acquisition was taken away.
    virtual bool StillAcquired() { return true; }
    // Takes the device again (reopening a controller that came back); false
    // while it is unplugged.
    virtual bool Reacquire() { return true; }
    virtual uint32_t AxisMask() const { return 0; }
    virtual void Describe(DeviceInfo& out) = 0;
    virtual void Read(KeyboardState&) {}
    virtual void Read(MouseState&) {}
    virtual void Read(JoystickState&) {}
    virtual void OnRangeSet(Axis, const AxisRange&) {}

    const AxisRange& Range(Axis a) const { return ranges_[static_cast<int>(a)]; }
    DataFormat Kind() const { return kind_; }

private:
    Result Readable(Call call, DataFormat format);

    DataFormat kind_;
    bool formatSet_ = false;
    bool acquired_ = false;
    AxisRange ranges_[kAxisCount];
};

// Marks the reported keys (ReportKey) down in a keyboard read.
void MergeReportedKeys(KeyboardState& state);

// Copies a code page 932 name into a description field, cut short without
// splitting a double-byte character.
void CopyName(char (&field)[kNameSize], std::string_view name);

}  // namespace host::input
