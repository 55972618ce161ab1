// The recent address list and a typed address as the configuration file
// hands them over (a hand-edited file may hold anything): the input is 24
// entries of 16 bytes, an address of 16 bytes, then digits to type, one a
// byte (its value % 10, the cursor from the byte before). Every character
// shows a digit image; a join target lies inside the address space and
// outside 0.0.0.0/8 and reads back as its text; putting a join target in
// the list leaves it at the top once, the other entries in their order;
// typing keeps every octet at 255 or below.
#include "fuzz/FuzzSupport.h"
#include "game/network/LobbyConnectOption.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace lobby_screen;

void CheckGlyphs(const IpAddressEntry& entry)
{
    for (const auto& octet : entry.octet)
        for (char c : octet) FUZZ_CHECK(DigitGlyph(c) < 10);
}

void CheckPush(IpAddressEntry (&list)[kRecentCount], const OctetTexts& address)
{
    const std::string text = AddressText(address);
    std::vector<std::string> before;
    for (const IpAddressEntry& e : list) before.push_back(AddressText(e.octet));
    PushRecent(list, address);
    FUZZ_CHECK(AddressText(list[0].octet) == text);
    std::vector<std::string> rest;
    bool moved = false;
    for (const std::string& t : before) {
        if (!moved && t == text) moved = true;
        else rest.push_back(t);
    }
    for (u32 i = 1; i < kRecentCount; ++i) FUZZ_CHECK(AddressText(list[i].octet) == rest[i - 1]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::Input input(data, size);
    IpAddressEntry list[kRecentCount];
    for (IpAddressEntry& e : list)
        for (auto& octet : e.octet)
            for (char& c : octet) c = char(input.Byte());
    OctetTexts address;
    for (auto& octet : address)
        for (char& c : octet) c = char(input.Byte());
    for (const IpAddressEntry& e : list) CheckGlyphs(e);

    u32 target = 0;
    if (JoinAddress(address, &target)) {
        u32 parsed = 0;
        FUZZ_CHECK(host::net::ParseAddress(AddressText(address), parsed) && parsed == target);
        FUZZ_CHECK((target & 0xFF) != 0);
        CheckPush(list, address);
    }
    // Typed over an address the screen holds: digits only, as it keeps it.
    for (u32 i = 0; i < kAddressDigits; ++i) address[i / 3][i % 3] = char('0' + DigitGlyph(address[i / 3][i % 3]));
    for (auto& octet : address) octet[3] = 0;
    while (input.RestSize() >= 2) {
        u32 cursor = input.Byte() % 16;
        const u32 at = cursor;
        OctetTexts before;
        std::memcpy(before, address, sizeof before);
        const bool written = TypeDigit(address, cursor, input.Byte() % 10);
        FUZZ_CHECK(at >= kAddressDigits ? cursor == at && !written : cursor == std::min(at + 1, kAddressDigits - 1));
        // An octet passes 255 only as it came (from a hand-edited list).
        for (u32 i = 0; i < 4; ++i) {
            FUZZ_CHECK(address[i][3] == 0);
            FUZZ_CHECK(OctetValue(address[i]) <= 255 || std::memcmp(address[i], before[i], 4) == 0);
        }
    }
    return 0;
}
