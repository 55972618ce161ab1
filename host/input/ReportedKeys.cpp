// Keys reported by windows the backends do not read, and the Linux key
// codes those windows report them by.
#include "host/input/BasicDevice.h"

#include <linux/input-event-codes.h>

#include <array>
#include <mutex>

namespace host::input {
namespace {

struct Reported {
    std::mutex mutex;
    std::array<bool, 256> down{};
    std::array<bool, 256> unread{};   // went down since the last read
};

Reported& R() {
    static Reported* reported = new Reported;
    return *reported;
}

// Linux key codes below 84 are the PC keyboard's scan codes, as key codes
// are; the rest by name.
struct LinuxKey {
    uint16_t code;
    uint8_t key;
};
constexpr LinuxKey kLinuxKeys[] = {
    {KEY_ZENKAKUHANKAKU, key::Kanji}, {KEY_102ND, key::Oem102}, {KEY_F11, key::F11}, {KEY_F12, key::F12},
    {KEY_RO, key::AbntC1}, {KEY_HENKAN, key::Convert}, {KEY_KATAKANAHIRAGANA, key::Kana},
    {KEY_MUHENKAN, key::NoConvert}, {KEY_KPJPCOMMA, key::NumpadComma}, {KEY_KPENTER, key::NumpadEnter},
    {KEY_RIGHTCTRL, key::RightControl}, {KEY_KPSLASH, key::NumpadDivide}, {KEY_SYSRQ, key::PrintScreen},
    {KEY_RIGHTALT, key::RightAlt}, {KEY_HOME, key::Home}, {KEY_UP, key::Up}, {KEY_PAGEUP, key::PageUp},
    {KEY_LEFT, key::Left}, {KEY_RIGHT, key::Right}, {KEY_END, key::End}, {KEY_DOWN, key::Down},
    {KEY_PAGEDOWN, key::PageDown}, {KEY_INSERT, key::Insert}, {KEY_DELETE, key::Delete}, {KEY_MUTE, key::Mute},
    {KEY_VOLUMEDOWN, key::VolumeDown}, {KEY_VOLUMEUP, key::VolumeUp}, {KEY_POWER, key::Power},
    {KEY_KPEQUAL, key::NumpadEquals}, {KEY_PAUSE, key::Pause}, {KEY_KPCOMMA, key::NumpadComma},
    {KEY_YEN, key::Yen}, {KEY_LEFTMETA, key::LeftWindows}, {KEY_RIGHTMETA, key::RightWindows},
    {KEY_COMPOSE, key::Apps}, {KEY_CALC, key::Calculator}, {KEY_SLEEP, key::Sleep}, {KEY_MAIL, key::Mail},
    {KEY_BOOKMARKS, key::WebFavorites}, {KEY_COMPUTER, key::MyComputer}, {KEY_BACK, key::WebBack},
    {KEY_FORWARD, key::WebForward}, {KEY_NEXTSONG, key::NextTrack}, {KEY_PLAYPAUSE, key::PlayPause},
    {KEY_PREVIOUSSONG, key::PrevTrack}, {KEY_STOPCD, key::MediaStop}, {KEY_HOMEPAGE, key::WebHome},
    {KEY_REFRESH, key::WebRefresh}, {KEY_F13, key::F13}, {KEY_F14, key::F14}, {KEY_F15, key::F15},
    {KEY_SEARCH, key::WebSearch}, {KEY_MEDIA, key::MediaSelect},
};

}  // namespace

void ReportKey(uint8_t code, bool down) {
    if (code == 0) return;
    Reported& r = R();
    std::lock_guard<std::mutex> lock(r.mutex);
    if (down && !r.down[code]) r.unread[code] = true;
    r.down[code] = down;
}

void ReleaseReportedKeys() {
    Reported& r = R();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.down.fill(false);
}

void MergeReportedKeys(KeyboardState& state) {
    Reported& r = R();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (size_t code = 0; code < r.down.size(); ++code) {
        if (r.down[code] || r.unread[code]) state.keys[code] = kDown;
        r.unread[code] = false;
    }
}

uint8_t KeyFromLinuxKeycode(uint32_t keycode) {
    if (keycode >= 1 && keycode <= KEY_KPDOT) return static_cast<uint8_t>(keycode);
    for (const LinuxKey& entry : kLinuxKeys)
        if (entry.code == keycode) return entry.key;
    return 0;
}

}  // namespace host::input
