#include "game/network/LobbyConnectOption.h"

#include "host/kernel/Kernel.h"
#include "host/net/Net.h"

#include <cstdio>
#include <cstring>
#include <string_view>

namespace lobby_screen {

u32 RowUp(u32 row, u32 mode)
{
    u32 up = row == 0 ? kRowCount - 1 : row - 1;
    if (mode == kModeHost && (up == kRowAddress || up == kRowList)) up = kRowMode;
    return up;
}

u32 RowDown(u32 row, u32 mode)
{
    u32 down = row + 1 >= kRowCount ? 0 : row + 1;
    if (mode == kModeHost && (down == kRowAddress || down == kRowList)) down = kRowName;
    return down;
}

bool TypeDigit(OctetTexts& octets, u32& cursor, u32 digit)
{
    if (cursor >= kAddressDigits || digit > 9) return false;
    char (&octet)[4] = octets[cursor / 3];
    char& place = octet[cursor % 3];
    const char old = place;
    place = char('0' + digit);
    // An empty place reads as 0, as the screen shows it.
    for (char& c : octet)
        if (&c != &octet[3] && c == 0) c = '0';
    octet[3] = 0;
    const bool written = OctetValue(octet) <= 255;
    if (!written) place = old;
    if (cursor < kAddressDigits - 1) ++cursor;
    return written;
}

u32 OctetValue(const char (&octet)[4])
{
    u32 value = 0;
    for (char c : octet) {
        if (c < '0' || c > '9') break;
        value = value * 10 + u32(c - '0');
    }
    return value;
}

std::string AddressText(const OctetTexts& octets)
{
    char text[48];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", OctetValue(octets[0]), OctetValue(octets[1]),
                  OctetValue(octets[2]), OctetValue(octets[3]));
    return text;
}

bool JoinAddress(const OctetTexts& octets, u32* address)
{
    u32 values[4];
    for (u32 i = 0; i < 4; ++i) {
        values[i] = OctetValue(octets[i]);
        if (values[i] > 255) return false;
    }
    if (values[0] == 0) return false;
    if (address) *address = host::net::MakeAddress(u8(values[0]), u8(values[1]), u8(values[2]), u8(values[3]));
    return true;
}

void PushRecent(IpAddressEntry (&list)[kRecentCount], const OctetTexts& octets)
{
    const std::string text = AddressText(octets);
    u32 found = kRecentCount - 1;   // absent: the oldest goes
    for (u32 i = 0; i < kRecentCount; ++i) {
        if (AddressText(list[i].octets) == text) {
            found = i;
            break;
        }
    }
    for (u32 i = found; i > 0; --i) list[i] = list[i - 1];
    IpAddressEntry& top = list[0];
    for (u32 i = 0; i < 4; ++i) std::snprintf(top.octets[i], sizeof top.octets[i], "%03u", OctetValue(octets[i]) % 1000);
}

void PutPlayerName(char (&out)[kPlayerNameBytes], const char* name)
{
    std::memset(out, 0, sizeof out);
    if (!name) return;
    const std::string_view text(name, strnlen(name, kPlayerNameBytes * 4));
    std::memcpy(out, name, host::kernel::Cp932Fit(text, kPlayerNameBytes - 1));
}

}  // namespace lobby_screen
