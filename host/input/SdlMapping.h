// What the SDL backend converts: scancodes to key codes, raw axes to ranges,
// hats to POV angles, controller values to pad values. Internal to the input
// service; free of SDL types so tests can check it without a device.
#pragma once

#include <cstdint>
#include <span>

namespace host::input::sdl {

struct ScancodeKey {
    int scancode;   // SDL_Scancode
    uint8_t key;    // key:: code
};

// Every SDL scancode that has a key code, each once.
std::span<const ScancodeKey> ScancodeKeys();
// 0 for scancodes without a key code, or out of range.
uint8_t KeyFromScancode(int scancode);

// A raw axis (-32768..32767) placed in min..max, ends to ends.
int32_t ScaleAxis(int32_t raw, int32_t min, int32_t max);
// SDL hat bits (1 up, 2 right, 4 down, 8 left) to hundredths of a degree.
uint32_t PovFromHat(uint8_t hat);
// A controller trigger (0..32767) to 0..255.
uint8_t TriggerFromAxis(int16_t value);
// A controller's Y axis grows downward, a pad thumb's upward.
int16_t UpwardThumb(int16_t value);

}  // namespace host::input::sdl
