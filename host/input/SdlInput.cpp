// The SDL2 backend.
//
// Keyboard and mouse read SDL's own state (SDL_GetKeyboardState,
// SDL_GetRelativeMouseState), which the window service's event pump keeps
// current; the wheel, of which SDL keeps no state, is counted by an event
// watch, so the window service forwards nothing to this service. Without an
// SDL window the keys and the mouse simply read idle.
//
// Controllers are read with their SDL events switched off: Poll, Acquire and
// the pad calls update them, so they work without any window (the
// configuration tool) and fill no event queue. Controllers SDL knows as game
// controllers are also the pads, and as joysticks they report the button and
// axis layout the game expects of a pad, so both ways of reading agree.
#include "host/input/BasicDevice.h"
#include "host/input/SdlMapping.h"
#include "host/kernel/Kernel.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

namespace host::input {

// ---------------------------------------------------------------- conversions

namespace sdl {

int32_t ScaleAxis(int32_t raw, int32_t min, int32_t max) {
    if (min >= max)
        return min;
    int64_t from = std::clamp<int64_t>(raw, -32768, 32767) + 32768;
    int64_t span = static_cast<int64_t>(max) - min;
    return static_cast<int32_t>(min + (from * span + 32767) / 65535);
}

uint32_t PovFromHat(uint8_t hat) {
    switch (hat & 0x0F) {
    case SDL_HAT_UP: return 0;
    case SDL_HAT_RIGHTUP: return 4500;
    case SDL_HAT_RIGHT: return 9000;
    case SDL_HAT_RIGHTDOWN: return 13500;
    case SDL_HAT_DOWN: return 18000;
    case SDL_HAT_LEFTDOWN: return 22500;
    case SDL_HAT_LEFT: return 27000;
    case SDL_HAT_LEFTUP: return 31500;
    default: return kPovCentred;   // centred, or opposite directions at once
    }
}

uint8_t TriggerFromAxis(int16_t value) {
    if (value <= 0)
        return 0;
    return static_cast<uint8_t>((value * 255 + 16383) / 32767);
}

int16_t UpwardThumb(int16_t value) {
    return value == -32768 ? int16_t{32767} : static_cast<int16_t>(-value);
}

}  // namespace sdl

namespace {

constexpr uint32_t kSubsystems = SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER;
// SDL's longest rumble; the engine renews its setting every frame.
constexpr uint32_t kRumbleMs = 0xFFFF;

bool SdlAlive() { return SDL_WasInit(SDL_INIT_JOYSTICK) != 0; }

std::string Cp932Name(const char* utf8) { return kernel::Utf8ToCp932(utf8 ? utf8 : ""); }

Guid ProductGuid(int index) {
    SDL_JoystickGUID sdlGuid = SDL_JoystickGetDeviceGUID(index);
    Guid g{};
    std::memcpy(g.bytes, sdlGuid.data, sizeof g.bytes);
    return g;
}

// SDL has no per-device id that survives unplugging, so a device is its
// product and its place among the attached devices of that product.
Guid InstanceGuid(int index) {
    Guid product = ProductGuid(index);
    uint8_t ordinal = 0;
    for (int i = 0; i < index; ++i) {
        if (ProductGuid(i) == product)
            ++ordinal;
    }
    Guid g = product;
    g.bytes[15] ^= static_cast<uint8_t>(ordinal + 1);
    return g;
}

void DescribeIndex(int index, DeviceInfo& out) {
    std::memset(&out, 0, sizeof out);
    out.instance = InstanceGuid(index);
    out.product = ProductGuid(index);
    std::string name = Cp932Name(SDL_JoystickNameForIndex(index));
    CopyName(out.instanceName, SDL_IsGameController(index) ? kPadControllerName : name);
    CopyName(out.productName, name);
}

// A game controller's buttons in the order the game reads a pad's buttons:
// face buttons, the two triggers (as buttons), shoulders, start, back, stick
// pushes, then the rest.
constexpr int kTriggerButton = -1;
constexpr int kPadButtonOrder[] = {
    SDL_CONTROLLER_BUTTON_A, SDL_CONTROLLER_BUTTON_B, SDL_CONTROLLER_BUTTON_X, SDL_CONTROLLER_BUTTON_Y,
    kTriggerButton, kTriggerButton,
    SDL_CONTROLLER_BUTTON_LEFTSHOULDER, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER,
    SDL_CONTROLLER_BUTTON_START, SDL_CONTROLLER_BUTTON_BACK,
    SDL_CONTROLLER_BUTTON_LEFTSTICK, SDL_CONTROLLER_BUTTON_RIGHTSTICK,
    SDL_CONTROLLER_BUTTON_GUIDE, SDL_CONTROLLER_BUTTON_MISC1,
    SDL_CONTROLLER_BUTTON_PADDLE1, SDL_CONTROLLER_BUTTON_PADDLE2,
    SDL_CONTROLLER_BUTTON_PADDLE3, SDL_CONTROLLER_BUTTON_PADDLE4,
    SDL_CONTROLLER_BUTTON_TOUCHPAD,
};

struct PadButton {
    SDL_GameControllerButton sdl;
    uint16_t bit;
};
constexpr PadButton kPadButtons[] = {
    {SDL_CONTROLLER_BUTTON_DPAD_UP, pad::DpadUp}, {SDL_CONTROLLER_BUTTON_DPAD_DOWN, pad::DpadDown},
    {SDL_CONTROLLER_BUTTON_DPAD_LEFT, pad::DpadLeft}, {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, pad::DpadRight},
    {SDL_CONTROLLER_BUTTON_START, pad::Start}, {SDL_CONTROLLER_BUTTON_BACK, pad::Back},
    {SDL_CONTROLLER_BUTTON_LEFTSTICK, pad::LeftThumb}, {SDL_CONTROLLER_BUTTON_RIGHTSTICK, pad::RightThumb},
    {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, pad::LeftShoulder},
    {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, pad::RightShoulder},
    {SDL_CONTROLLER_BUTTON_A, pad::A}, {SDL_CONTROLLER_BUTTON_B, pad::B},
    {SDL_CONTROLLER_BUTTON_X, pad::X}, {SDL_CONTROLLER_BUTTON_Y, pad::Y},
};

bool TriggerDown(SDL_GameController* gc, SDL_GameControllerAxis axis) {
    return sdl::TriggerFromAxis(SDL_GameControllerGetAxis(gc, axis)) >= 128;
}

// ---------------------------------------------------------------- session

int SDLCALL CountWheel(void* userdata, SDL_Event* event);

// SDL's joystick subsystem, held while any input object or device lives.
class Session {
public:
    static std::shared_ptr<Session> Start() {
        if (SDL_InitSubSystem(kSubsystems) != 0)
            return nullptr;
        return std::shared_ptr<Session>(new Session());
    }

    ~Session() {
        if (SdlAlive()) {
            for (PadSlot& slot : pads_)
                ClosePad(slot);
            SDL_JoystickEventState(joystickEvents_);
            SDL_GameControllerEventState(controllerEvents_);
        }
        SDL_DelEventWatch(CountWheel, this);
        SDL_QuitSubSystem(kSubsystems);
    }

    void AddWheel(float notches) { wheel_ += static_cast<int32_t>(std::lround(notches * kWheelNotch)); }
    int32_t TakeWheel() { return wheel_.exchange(0); }

    // Controllers opened as joystick devices, so that a device coming back
    // does not take one that another device holds.
    std::vector<SDL_JoystickID> claimed;

    Result ReadPad(uint32_t user, PadState& out) {
        SDL_GameControllerUpdate();
        AssignPads();
        PadSlot& slot = pads_[user];
        if (!slot.gc)
            return Result::NotConnected;
        PadState s{};
        for (const PadButton& b : kPadButtons) {
            if (SDL_GameControllerGetButton(slot.gc, b.sdl))
                s.buttons |= b.bit;
        }
        s.leftTrigger = sdl::TriggerFromAxis(SDL_GameControllerGetAxis(slot.gc, SDL_CONTROLLER_AXIS_TRIGGERLEFT));
        s.rightTrigger = sdl::TriggerFromAxis(SDL_GameControllerGetAxis(slot.gc, SDL_CONTROLLER_AXIS_TRIGGERRIGHT));
        s.thumbLX = SDL_GameControllerGetAxis(slot.gc, SDL_CONTROLLER_AXIS_LEFTX);
        s.thumbLY = sdl::UpwardThumb(SDL_GameControllerGetAxis(slot.gc, SDL_CONTROLLER_AXIS_LEFTY));
        s.thumbRX = SDL_GameControllerGetAxis(slot.gc, SDL_CONTROLLER_AXIS_RIGHTX);
        s.thumbRY = sdl::UpwardThumb(SDL_GameControllerGetAxis(slot.gc, SDL_CONTROLLER_AXIS_RIGHTY));
        s.packet = slot.state.packet;
        if (std::memcmp(&s, &slot.state, sizeof s) != 0)
            ++s.packet;
        slot.state = s;
        out = s;
        return Result::Ok;
    }

    Result Vibrate(uint32_t user, const PadVibration& v) {
        AssignPads();
        PadSlot& slot = pads_[user];
        if (!slot.gc)
            return Result::NotConnected;
        // A pad without motors still takes the setting, as on Windows.
        SDL_GameControllerRumble(slot.gc, v.left, v.right, kRumbleMs);
        return Result::Ok;
    }

private:
    struct PadSlot {
        SDL_GameController* gc = nullptr;
        SDL_JoystickID id = -1;
        PadState state{};
    };

    Session() {
        joystickEvents_ = SDL_JoystickEventState(SDL_QUERY);
        controllerEvents_ = SDL_GameControllerEventState(SDL_QUERY);
        SDL_JoystickEventState(SDL_IGNORE);
        SDL_GameControllerEventState(SDL_IGNORE);
        SDL_AddEventWatch(CountWheel, this);
    }

    void ClosePad(PadSlot& slot) {
        if (!slot.gc)
            return;
        SDL_GameControllerRumble(slot.gc, 0, 0, 0);
        SDL_GameControllerClose(slot.gc);
        slot.gc = nullptr;
        slot.id = -1;
    }

    // A pad keeps its user number while it stays plugged in; new ones take
    // the free numbers in device order.
    void AssignPads() {
        for (PadSlot& slot : pads_) {
            if (slot.gc && !SDL_GameControllerGetAttached(slot.gc))
                ClosePad(slot);
        }
        int count = SDL_NumJoysticks();
        for (int i = 0; i < count; ++i) {
            if (!SDL_IsGameController(i))
                continue;
            SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(i);
            auto same = [id](const PadSlot& s) { return s.gc && s.id == id; };
            if (std::any_of(std::begin(pads_), std::end(pads_), same))
                continue;
            auto free = std::find_if(std::begin(pads_), std::end(pads_), [](const PadSlot& s) { return !s.gc; });
            if (free == std::end(pads_))
                return;
            if ((free->gc = SDL_GameControllerOpen(i)) != nullptr)
                free->id = id;
        }
    }

    std::atomic<int32_t> wheel_{0};
    PadSlot pads_[kPadCount];
    int joystickEvents_ = SDL_ENABLE, controllerEvents_ = SDL_ENABLE;
};

int SDLCALL CountWheel(void* userdata, SDL_Event* event) {
    if (event->type == SDL_MOUSEWHEEL && event->wheel.which != SDL_TOUCH_MOUSEID) {
        float y = event->wheel.preciseY;
        if (event->wheel.direction == SDL_MOUSEWHEEL_FLIPPED)
            y = -y;
        static_cast<Session*>(userdata)->AddWheel(y);
    }
    return 1;
}

// ---------------------------------------------------------------- devices

class SdlKeyboard final : public BasicDevice {
public:
    explicit SdlKeyboard(std::shared_ptr<Session> session)
        : BasicDevice(DataFormat::Keyboard), session_(std::move(session)) {}

protected:
    void Describe(DeviceInfo& out) override {
        out.instance = out.product = Guid{{'K', 'E', 'Y', 'B'}};
        CopyName(out.instanceName, "Keyboard");
        CopyName(out.productName, "Keyboard");
    }

    void Read(KeyboardState& out) override {
        int count = 0;
        const Uint8* down = SDL_GetKeyboardState(&count);
        for (const sdl::ScancodeKey& entry : sdl::ScancodeKeys()) {
            if (entry.scancode < count && down[entry.scancode])
                out.keys[entry.key] = kDown;
        }
    }

private:
    std::shared_ptr<Session> session_;
};

class SdlMouse final : public BasicDevice {
public:
    explicit SdlMouse(std::shared_ptr<Session> session)
        : BasicDevice(DataFormat::Mouse), session_(std::move(session)) {}

protected:
    // Movement made before the device was acquired is not reported.
    bool Reacquire() override {
        SDL_GetRelativeMouseState(nullptr, nullptr);
        session_->TakeWheel();
        return true;
    }

    void Describe(DeviceInfo& out) override {
        out.instance = out.product = Guid{{'M', 'O', 'U', 'S'}};
        CopyName(out.instanceName, "Mouse");
        CopyName(out.productName, "Mouse");
    }

    void Read(MouseState& out) override {
        int x = 0, y = 0;
        Uint32 buttons = SDL_GetRelativeMouseState(&x, &y);
        out.x = x;
        out.y = y;
        out.z = session_->TakeWheel();
        // SDL counts left, middle, right, side, side; the game left, right, middle.
        static constexpr int kSdlButton[8] = {SDL_BUTTON_LEFT, SDL_BUTTON_RIGHT, SDL_BUTTON_MIDDLE,
                                              SDL_BUTTON_X1, SDL_BUTTON_X2, 6, 7, 8};
        for (int i = 0; i < 8; ++i)
            out.buttons[i] = (buttons & SDL_BUTTON(kSdlButton[i])) ? kDown : 0;
    }

private:
    std::shared_ptr<Session> session_;
};

class SdlJoystick final : public BasicDevice {
public:
    SdlJoystick(std::shared_ptr<Session> session, const Guid& instance)
        : BasicDevice(DataFormat::Joystick), session_(std::move(session)), instance_(instance) {}

    ~SdlJoystick() override { Close(); }

    bool Open(int index) {
        if (SDL_IsGameController(index)) {
            pad_ = SDL_GameControllerOpen(index);
            joystick_ = pad_ ? SDL_GameControllerGetJoystick(pad_) : nullptr;
        } else {
            joystick_ = SDL_JoystickOpen(index);
        }
        if (!joystick_) {
            Close();
            return false;
        }
        DescribeIndex(index, info_);
        id_ = SDL_JoystickInstanceID(joystick_);
        session_->claimed.push_back(id_);
        axisMask_ = 0;
        if (pad_) {
            const std::pair<Axis, SDL_GameControllerAxis> used[] = {
                {Axis::X, SDL_CONTROLLER_AXIS_LEFTX}, {Axis::Y, SDL_CONTROLLER_AXIS_LEFTY},
                {Axis::Z, SDL_CONTROLLER_AXIS_RIGHTX}, {Axis::Rz, SDL_CONTROLLER_AXIS_RIGHTY},
                {Axis::Slider0, SDL_CONTROLLER_AXIS_TRIGGERLEFT}, {Axis::Slider1, SDL_CONTROLLER_AXIS_TRIGGERRIGHT}};
            for (auto [axis, sdlAxis] : used) {
                if (SDL_GameControllerHasAxis(pad_, sdlAxis))
                    axisMask_ |= 1u << static_cast<int>(axis);
            }
        } else {
            int axes = std::min(SDL_JoystickNumAxes(joystick_), kAxisCount);
            axisMask_ = axes > 0 ? (1u << axes) - 1 : 0;
        }
        return true;
    }

protected:
    void Refresh() override { SDL_JoystickUpdate(); }
    bool StillAcquired() override { return joystick_ && SDL_JoystickGetAttached(joystick_); }

    // An unplugged controller is taken again once a device of its product is
    // back that no other device holds.
    bool Reacquire() override {
        SDL_JoystickUpdate();
        if (StillAcquired())
            return true;
        Close();
        int count = SDL_NumJoysticks();
        int pick = -1;
        for (int i = 0; i < count; ++i) {
            SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(i);
            if (std::find(session_->claimed.begin(), session_->claimed.end(), id) != session_->claimed.end())
                continue;
            if (InstanceGuid(i) == instance_) {
                pick = i;
                break;
            }
            if (pick < 0 && ProductGuid(i) == info_.product)
                pick = i;
        }
        return pick >= 0 && Open(pick);
    }

    uint32_t AxisMask() const override { return axisMask_; }

    void Describe(DeviceInfo& out) override {
        out = info_;
        out.instance = instance_;
    }

    void Read(JoystickState& out) override {
        if (pad_)
            ReadPadLayout(out);
        else
            ReadRaw(out);
    }

private:
    void ReadRaw(JoystickState& out) {
        for (int i = 0; i < kAxisCount; ++i) {
            if (axisMask_ & (1u << i)) {
                Axis a = static_cast<Axis>(i);
                out.At(a) = sdl::ScaleAxis(SDL_JoystickGetAxis(joystick_, i), Range(a).min, Range(a).max);
            }
        }
        int hats = std::min(SDL_JoystickNumHats(joystick_), kPovCount);
        for (int i = 0; i < hats; ++i)
            out.povs[i] = sdl::PovFromHat(SDL_JoystickGetHat(joystick_, i));
        int buttons = std::min(SDL_JoystickNumButtons(joystick_), kJoystickButtons);
        for (int i = 0; i < buttons; ++i)
            out.buttons[i] = SDL_JoystickGetButton(joystick_, i) ? kDown : 0;
    }

    void ReadPadLayout(JoystickState& out) {
        auto axis = [&](Axis a, SDL_GameControllerAxis sdlAxis, bool trigger) {
            if (!(axisMask_ & (1u << static_cast<int>(a))))
                return;
            int32_t raw = SDL_GameControllerGetAxis(pad_, sdlAxis);
            if (trigger)
                raw = raw * 2 - 32767;   // 0..32767 over the whole range
            out.At(a) = sdl::ScaleAxis(raw, Range(a).min, Range(a).max);
        };
        axis(Axis::X, SDL_CONTROLLER_AXIS_LEFTX, false);
        axis(Axis::Y, SDL_CONTROLLER_AXIS_LEFTY, false);
        axis(Axis::Z, SDL_CONTROLLER_AXIS_RIGHTX, false);
        axis(Axis::Rz, SDL_CONTROLLER_AXIS_RIGHTY, false);
        axis(Axis::Slider0, SDL_CONTROLLER_AXIS_TRIGGERLEFT, true);
        axis(Axis::Slider1, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, true);

        uint8_t hat = SDL_HAT_CENTERED;
        if (SDL_GameControllerGetButton(pad_, SDL_CONTROLLER_BUTTON_DPAD_UP)) hat |= SDL_HAT_UP;
        if (SDL_GameControllerGetButton(pad_, SDL_CONTROLLER_BUTTON_DPAD_RIGHT)) hat |= SDL_HAT_RIGHT;
        if (SDL_GameControllerGetButton(pad_, SDL_CONTROLLER_BUTTON_DPAD_DOWN)) hat |= SDL_HAT_DOWN;
        if (SDL_GameControllerGetButton(pad_, SDL_CONTROLLER_BUTTON_DPAD_LEFT)) hat |= SDL_HAT_LEFT;
        out.povs[0] = sdl::PovFromHat(hat);

        int n = 0;
        bool triggerSeen = false;
        for (int b : kPadButtonOrder) {
            bool down;
            if (b == kTriggerButton) {
                down = TriggerDown(pad_, triggerSeen ? SDL_CONTROLLER_AXIS_TRIGGERRIGHT : SDL_CONTROLLER_AXIS_TRIGGERLEFT);
                triggerSeen = true;
            } else {
                down = SDL_GameControllerGetButton(pad_, static_cast<SDL_GameControllerButton>(b));
            }
            out.buttons[n++] = down ? kDown : 0;
        }
    }

    void Close() {
        if (joystick_) {
            auto& claimed = session_->claimed;
            claimed.erase(std::remove(claimed.begin(), claimed.end(), id_), claimed.end());
        }
        // After SDL_Quit the handles are already gone.
        if (SdlAlive()) {
            if (pad_)
                SDL_GameControllerClose(pad_);
            else if (joystick_)
                SDL_JoystickClose(joystick_);
        }
        pad_ = nullptr;
        joystick_ = nullptr;
        id_ = -1;
    }

    std::shared_ptr<Session> session_;
    Guid instance_;
    DeviceInfo info_{};
    SDL_GameController* pad_ = nullptr;
    SDL_Joystick* joystick_ = nullptr;
    SDL_JoystickID id_ = -1;
    uint32_t axisMask_ = 0;
};

class SdlInput final : public Input {
public:
    explicit SdlInput(std::shared_ptr<Session> session) : session_(std::move(session)) {}

    Result CreateKeyboard(std::unique_ptr<Device>& out) override {
        out = std::make_unique<SdlKeyboard>(session_);
        return Result::Ok;
    }

    Result CreateMouse(std::unique_ptr<Device>& out) override {
        out = std::make_unique<SdlMouse>(session_);
        return Result::Ok;
    }

    Result EnumJoysticks(const std::function<bool(const DeviceInfo&)>& callback) override {
        if (!callback)
            return Result::InvalidArgument;
        SDL_JoystickUpdate();
        std::vector<DeviceInfo> found(std::max(SDL_NumJoysticks(), 0));
        for (size_t i = 0; i < found.size(); ++i)
            DescribeIndex(static_cast<int>(i), found[i]);
        for (const DeviceInfo& info : found) {
            if (!callback(info))
                break;
        }
        return Result::Ok;
    }

    Result CreateJoystick(const Guid& instance, std::unique_ptr<Device>& out) override {
        int count = SDL_NumJoysticks();
        for (int i = 0; i < count; ++i) {
            if (!(InstanceGuid(i) == instance))
                continue;
            auto device = std::make_unique<SdlJoystick>(session_, instance);
            if (!device->Open(i))
                return Result::Failed;
            out = std::move(device);
            return Result::Ok;
        }
        return Result::NotConnected;
    }

private:
    std::shared_ptr<Session> session_;
};

class SdlInputBackend final : public Backend {
public:
    Result CreateInput(std::unique_ptr<Input>& out) override {
        std::lock_guard<std::mutex> lock(mutex_);
        std::shared_ptr<Session> session = session_.lock();
        if (!session) {
            session = Session::Start();
            if (!session)
                return Result::Failed;
            session_ = session;
        }
        out = std::make_unique<SdlInput>(std::move(session));
        return Result::Ok;
    }

    // Pads are served while an input object or one of its devices lives.
    Result GetPadState(uint32_t user, PadState& out) override {
        if (user >= kPadCount)
            return Result::InvalidArgument;
        std::shared_ptr<Session> session = Lock();
        return session ? session->ReadPad(user, out) : Result::NotConnected;
    }

    Result SetPadVibration(uint32_t user, const PadVibration& vibration) override {
        if (user >= kPadCount)
            return Result::InvalidArgument;
        std::shared_ptr<Session> session = Lock();
        return session ? session->Vibrate(user, vibration) : Result::NotConnected;
    }

private:
    std::shared_ptr<Session> Lock() {
        std::lock_guard<std::mutex> lock(mutex_);
        return session_.lock();
    }

    std::mutex mutex_;
    std::weak_ptr<Session> session_;
};

}  // namespace

Backend& SdlBackend() {
    static SdlInputBackend backend;
    return backend;
}

}  // namespace host::input
