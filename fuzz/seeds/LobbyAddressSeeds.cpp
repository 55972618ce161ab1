// Seeds of the address driver: the list as the connect option screen
// writes it (three digits an octet), empty, full with the address in the
// middle, and as a hand-edited file may leave it (letters, no terminators,
// octets over 255); addresses to join and digits to type after them.
#include "fuzz/seeds/Seeds.h"

#include <cstdio>

namespace seeds {

namespace {

Bytes Entry(u32 a, u32 b, u32 c, u32 d)
{
    char text[17];
    std::snprintf(text, sizeof text, "%03u%c%03u%c%03u%c%03u", a % 1000, 0, b % 1000, 0, c % 1000, 0, d % 1000);
    return Bytes(text, 15) + '\0';
}

Bytes List(const std::vector<Bytes>& entries)
{
    Bytes b;
    for (size_t i = 0; i < 24; ++i) b += i < entries.size() ? entries[i] : Bytes(16, '\0');
    return b;
}

Bytes Typing(const std::vector<std::pair<u8, u8>>& keys)
{
    Bytes b;
    for (auto [cursor, digit] : keys) b += {char(cursor), char(digit)};
    return b;
}

}  // namespace

void MakeLobbyAddressSeeds(const std::string& root)
{
    Sink sink(root, "lobby_address");
    const Bytes host = Entry(127, 0, 0, 2);
    sink.Add("empty-list", List({}) + host);
    std::vector<Bytes> full;
    for (u32 i = 0; i < 24; ++i) full.push_back(Entry(10, 0, 0, i));
    full[11] = host;
    sink.Add("full-list-address-inside", List(full) + host + Typing({{0, 2}, {1, 5}, {2, 6}, {11, 9}}));
    sink.Add("full-list-new-address", List(full) + Entry(192, 168, 0, 1));
    sink.Add("this-machine", List({host}) + Entry(0, 0, 0, 0) + Typing({{0, 1}, {2, 7}}));
    Bytes edited = List({Bytes("1x3\0" "4\0\0\0" "9999" "*\0\0\0", 16), Bytes(16, '\xFF')});
    sink.Add("hand-edited", edited + Bytes("2559" "999\0" "0\0\0\0" "1\0\0\0", 16) + Typing({{0, 1}, {3, 0}, {15, 3}}));
}

}  // namespace seeds
