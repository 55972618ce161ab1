// The input service: keyboard, mouse and game controllers read the way the
// engine expects (devices that are created, given a data format and a
// cooperative level, acquired, polled and read, and that lose acquisition),
// plus four pads with vibration. The real backend reads SDL2; tests install a
// FakeBackend and script every device and every failure.
//
// Keys are DirectInput key codes, pad buttons XInput bit values: saved key
// assignments hold those numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace host::input {

// ---------------------------------------------------------------- results

enum class Result : int32_t {
    Ok = 0,
    Failed,            // the backend could not do it
    InvalidArgument,   // a bad parameter, or a call out of order
    NotAcquired,       // acquire the device first
    InputLost,         // acquisition was lost (focus, unplugging); acquire again
    NotConnected,      // no such device, or it is unplugged
};

inline bool Succeeded(Result r) { return r == Result::Ok; }
const char* ResultName(Result r);

// ---------------------------------------------------------------- key codes

// DirectInput key codes (scan-code positions of the US layout; a Japanese
// keyboard's keys keep the code of the US key in the same place).
namespace key {
inline constexpr uint8_t
    Escape = 0x01, Digit1 = 0x02, Digit2 = 0x03, Digit3 = 0x04, Digit4 = 0x05,
    Digit5 = 0x06, Digit6 = 0x07, Digit7 = 0x08, Digit8 = 0x09, Digit9 = 0x0A,
    Digit0 = 0x0B, Minus = 0x0C, Equals = 0x0D, Backspace = 0x0E, Tab = 0x0F,
    Q = 0x10, W = 0x11, E = 0x12, R = 0x13, T = 0x14, Y = 0x15, U = 0x16,
    I = 0x17, O = 0x18, P = 0x19, LeftBracket = 0x1A, RightBracket = 0x1B,
    Return = 0x1C, LeftControl = 0x1D, A = 0x1E, S = 0x1F, D = 0x20, F = 0x21,
    G = 0x22, H = 0x23, J = 0x24, K = 0x25, L = 0x26, Semicolon = 0x27,
    Apostrophe = 0x28, Grave = 0x29 /* 半角/全角 */, LeftShift = 0x2A,
    Backslash = 0x2B, Z = 0x2C, X = 0x2D, C = 0x2E, V = 0x2F, B = 0x30,
    N = 0x31, M = 0x32, Comma = 0x33, Period = 0x34, Slash = 0x35,
    RightShift = 0x36, NumpadMultiply = 0x37, LeftAlt = 0x38, Space = 0x39,
    CapsLock = 0x3A, F1 = 0x3B, F2 = 0x3C, F3 = 0x3D, F4 = 0x3E, F5 = 0x3F,
    F6 = 0x40, F7 = 0x41, F8 = 0x42, F9 = 0x43, F10 = 0x44, NumLock = 0x45,
    ScrollLock = 0x46, Numpad7 = 0x47, Numpad8 = 0x48, Numpad9 = 0x49,
    NumpadMinus = 0x4A, Numpad4 = 0x4B, Numpad5 = 0x4C, Numpad6 = 0x4D,
    NumpadPlus = 0x4E, Numpad1 = 0x4F, Numpad2 = 0x50, Numpad3 = 0x51,
    Numpad0 = 0x52, NumpadPeriod = 0x53, Oem102 = 0x56, F11 = 0x57, F12 = 0x58,
    F13 = 0x64, F14 = 0x65, F15 = 0x66,
    Kana = 0x70 /* カタカナ/ひらがな */, AbntC1 = 0x73 /* ろ */,
    Convert = 0x79 /* 変換 */, NoConvert = 0x7B /* 無変換 */, Yen = 0x7D,
    NumpadEquals = 0x8D, PrevTrack = 0x90, Kanji = 0x94, NextTrack = 0x99,
    NumpadEnter = 0x9C, RightControl = 0x9D, Mute = 0xA0, Calculator = 0xA1,
    PlayPause = 0xA2, MediaStop = 0xA4, VolumeDown = 0xAE, VolumeUp = 0xB0,
    WebHome = 0xB2, NumpadComma = 0xB3, NumpadDivide = 0xB5,
    PrintScreen = 0xB7, RightAlt = 0xB8, Pause = 0xC5, Home = 0xC7, Up = 0xC8,
    PageUp = 0xC9, Left = 0xCB, Right = 0xCD, End = 0xCF, Down = 0xD0,
    PageDown = 0xD1, Insert = 0xD2, Delete = 0xD3, LeftWindows = 0xDB,
    RightWindows = 0xDC, Apps = 0xDD, Power = 0xDE, Sleep = 0xDF,
    WebSearch = 0xE5, WebFavorites = 0xE6, WebRefresh = 0xE7, WebStop = 0xE8,
    WebForward = 0xE9, WebBack = 0xEA, MyComputer = 0xEB, Mail = 0xEC,
    MediaSelect = 0xED;
}  // namespace key

// ---------------------------------------------------------------- device states

constexpr uint8_t kDown = 0x80;   // a key or button byte that is down

struct KeyboardState {
    uint8_t keys[256];   // by key code
};

// Movement since the last read; the wheel in kWheelNotch units per notch,
// positive away from the user.
struct MouseState {
    int32_t x, y, z;
    uint8_t buttons[8];   // left, right, middle, then the side buttons
};
static_assert(sizeof(MouseState) == 20);
constexpr int32_t kWheelNotch = 120;

enum class Axis : uint8_t { X, Y, Z, Rx, Ry, Rz, Slider0, Slider1 };
constexpr int kAxisCount = 8;
constexpr int kPovCount = 4;
constexpr int kJoystickButtons = 32;
constexpr uint32_t kPovCentred = 0xFFFFFFFFu;   // else hundredths of a degree clockwise from up

// Axes lie in the range set with SetAxisRange (0..65535 until then); an axis
// the device lacks reads 0, a missing POV centred, a missing button up.
struct JoystickState {
    int32_t x, y, z, rx, ry, rz;
    int32_t sliders[2];
    uint32_t povs[kPovCount];
    uint8_t buttons[kJoystickButtons];

    int32_t& At(Axis a) {
        switch (a) {
        case Axis::X: return x;
        case Axis::Y: return y;
        case Axis::Z: return z;
        case Axis::Rx: return rx;
        case Axis::Ry: return ry;
        case Axis::Rz: return rz;
        case Axis::Slider0: return sliders[0];
        default: return sliders[1];
        }
    }
};

struct Guid {
    uint8_t bytes[16];
    bool operator==(const Guid&) const = default;
};

constexpr size_t kNameSize = 260;

// A device description. Names are code page 932, zero-terminated.
struct DeviceInfo {
    Guid instance;   // this device; stays the same when it is plugged in again
    Guid product;    // its model
    char instanceName[kNameSize];
    char productName[kNameSize];
};

// Controllers that also serve as pads (see GetPadState) carry this instance
// name, as such controllers do on Windows; the game recognises them by it.
inline constexpr const char* kPadControllerName = "Controller (XBOX 360 For Windows)";

// ---------------------------------------------------------------- devices

enum class DataFormat : uint8_t { Keyboard, Mouse, Joystick };

// Cooperative level flags; one of each pair.
constexpr uint32_t kExclusive = 0x1, kNonExclusive = 0x2;
constexpr uint32_t kForeground = 0x4, kBackground = 0x8;

// One keyboard, mouse or controller. Set the data format that matches the
// device, acquire it, then Poll and GetState each frame. When acquisition is
// lost, the next Poll or GetState says InputLost, later ones NotAcquired,
// until Acquire succeeds again (an unplugged controller: once it is back).
class Device {
public:
    virtual ~Device() = default;
    virtual Result SetDataFormat(DataFormat format) = 0;
    virtual Result SetCooperativeLevel(uint32_t flags) = 0;
    virtual Result Acquire() = 0;
    virtual Result Unacquire() = 0;
    virtual Result Poll() = 0;
    // Each fills only the record of the device's data format.
    virtual Result GetState(KeyboardState& out) = 0;
    virtual Result GetState(MouseState& out) = 0;
    virtual Result GetState(JoystickState& out) = 0;
    // Calls back for each axis the device has, in Axis order, while the
    // callback returns true.
    virtual Result EnumAxes(const std::function<bool(Axis)>& callback) = 0;
    virtual Result SetAxisRange(Axis axis, int32_t min, int32_t max) = 0;
    virtual Result GetInfo(DeviceInfo& out) = 0;
};

// The root object through which devices are made. Devices may outlive it.
class Input {
public:
    virtual ~Input() = default;
    virtual Result CreateKeyboard(std::unique_ptr<Device>& out) = 0;
    virtual Result CreateMouse(std::unique_ptr<Device>& out) = 0;
    // Calls back for each attached controller, in order, while the callback
    // returns true. The callback may create devices.
    virtual Result EnumJoysticks(const std::function<bool(const DeviceInfo&)>& callback) = 0;
    virtual Result CreateJoystick(const Guid& instance, std::unique_ptr<Device>& out) = 0;
};

// ---------------------------------------------------------------- pads

constexpr uint32_t kPadCount = 4;

// XInput button bits.
namespace pad {
inline constexpr uint16_t
    DpadUp = 0x0001, DpadDown = 0x0002, DpadLeft = 0x0004, DpadRight = 0x0008,
    Start = 0x0010, Back = 0x0020, LeftThumb = 0x0040, RightThumb = 0x0080,
    LeftShoulder = 0x0100, RightShoulder = 0x0200,
    A = 0x1000, B = 0x2000, X = 0x4000, Y = 0x8000;
}  // namespace pad

// Thumbs -32768..32767, Y growing upward; triggers 0..255. The packet number
// changes whenever the state does.
struct PadState {
    uint32_t packet;
    uint16_t buttons;
    uint8_t leftTrigger, rightTrigger;
    int16_t thumbLX, thumbLY, thumbRX, thumbRY;
};
static_assert(sizeof(PadState) == 16);

// Motor speeds 0..65535: left the heavy (low-frequency) motor, right the
// light one. A setting holds until the next.
struct PadVibration {
    uint16_t left, right;
    bool operator==(const PadVibration&) const = default;
};

// ---------------------------------------------------------------- backends

class Backend {
public:
    virtual ~Backend() = default;
    virtual Result CreateInput(std::unique_ptr<Input>& out) = 0;
    // Pad users 0..3; others are InvalidArgument, an absent pad NotConnected.
    virtual Result GetPadState(uint32_t user, PadState& out) = 0;
    virtual Result SetPadVibration(uint32_t user, const PadVibration& vibration) = 0;
};

// The SDL2 backend, the default.
Backend& SdlBackend();
// Installs a backend (not owned); null restores the SDL one.
void SetBackend(Backend* backend);

Result CreateInput(std::unique_ptr<Input>& out);
Result GetPadState(uint32_t user, PadState& out);
Result SetPadVibration(uint32_t user, const PadVibration& vibration);

// ---------------------------------------------------------------- keys of other windows

// Keys pressed in windows whose events the backend does not see (the GTK
// dialogs of the configuration tool): the toolkit's side reports them here,
// and every keyboard device reads them as down along with its own keys. A
// key that goes down and up again between two reads is read down once, so
// no press is lost to a slow poll. Any thread.
void ReportKey(uint8_t code, bool down);
// Every reported key goes up (the window lost the keyboard focus).
void ReleaseReportedKeys();
// The key code of a Linux input key code (X11 and Wayland key codes less
// 8); 0 for keys that have none.
uint8_t KeyFromLinuxKeycode(uint32_t keycode);

// ---------------------------------------------------------------- fake backend

// The calls a FakeBackend can be told to fail.
enum class Call : uint8_t {
    CreateInput, CreateDevice, EnumJoysticks, SetDataFormat, SetCooperativeLevel,
    Acquire, Poll, GetState, EnumAxes, SetAxisRange, GetInfo,
    GetPadState, SetPadVibration,
    Count
};

struct FakeJoystickSpec {
    std::string name = "Fake Joystick";   // code page 932
    uint16_t vendor = 0x1234, product = 0x5678;
    uint32_t axes = 0xFF;   // bit n: Axis n present
    int povs = 1;
    int buttons = kJoystickButtons;
};

// Scripted devices: one keyboard, one mouse, the joysticks a test plugs in
// (any number, numbered 0.. in plug order) and four pads, none connected.
// Devices read whatever was scripted last; movement and wheel add up until
// a mouse read takes them.
class FakeBackend : public Backend {
public:
    // Device numbers for failures and lost acquisition; joysticks are 0...
    static constexpr int kKeyboard = -1;
    static constexpr int kMouse = -2;
    static constexpr int kAnyDevice = -3;

    struct VibrationCall {
        uint32_t user;
        PadVibration vibration;
    };

    FakeBackend();
    ~FakeBackend() override;
    FakeBackend(const FakeBackend&) = delete;
    FakeBackend& operator=(const FakeBackend&) = delete;

    Result CreateInput(std::unique_ptr<Input>& out) override;
    Result GetPadState(uint32_t user, PadState& out) override;
    Result SetPadVibration(uint32_t user, const PadVibration& vibration) override;

    // The next `times` calls (0: every call until cleared) of `call` on
    // `device` (a pad user for pad calls) return `result` and do nothing else.
    void Fail(Call call, int device = kAnyDevice, Result result = Result::Failed, uint32_t times = 0);
    void ClearFailures();
    // Calls made so far, failed ones included.
    uint32_t Calls(Call call) const;

    void SetKey(uint8_t code, bool down);
    void ReleaseKeys();
    void MoveMouse(int32_t dx, int32_t dy);
    void TurnWheel(int32_t notches);
    bool SetMouseButton(int button, bool down);

    // The number of the new joystick.
    int PlugJoystick(const FakeJoystickSpec& spec = {});
    bool Unplug(int joystick);
    bool Replug(int joystick);
    // Values as the device reports them (clamped to the range it was given).
    bool SetAxis(int joystick, Axis axis, int32_t value);
    bool SetPov(int joystick, int pov, uint32_t value);
    bool SetButton(int joystick, int button, bool down);
    // The range a device last gave the axis ({0, 65535} when none did).
    std::pair<int32_t, int32_t> AxisRangeOf(int joystick, Axis axis) const;

    // Every device of the keyboard, the mouse or a joystick loses acquisition.
    void LoseAcquisition(int device);

    bool ConnectPad(uint32_t user, bool connected = true);
    bool SetPad(uint32_t user, const PadState& state);   // the packet number is the fake's
    PadVibration Vibration(uint32_t user) const;         // {0, 0} after a disconnect
    const std::vector<VibrationCall>& VibrationLog() const;
    void ClearVibrationLog();

    struct State;   // shared with the fake's devices; FakeInput.cpp

private:
    std::shared_ptr<State> state_;
};

}  // namespace host::input
