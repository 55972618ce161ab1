#include "game/network/LobbyConnectOption.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace ORV_TEST_FILE_ID {

using namespace lobby_screen;

namespace {

void SetOctets(OctetTexts& octets, const char* a, const char* b, const char* c, const char* d)
{
    std::memset(octets, 0, sizeof(OctetTexts));
    const char* texts[4] = {a, b, c, d};
    for (u32 i = 0; i < 4; ++i) std::strncpy(octets[i], texts[i], 4);
}

IpAddressEntry Entry(const char* a, const char* b, const char* c, const char* d)
{
    IpAddressEntry entry;
    SetOctets(entry.octet, a, b, c, d);
    return entry;
}

}  // namespace

TEST(LobbyConnectOption, DigitsAboveAnOctetAreRefused)
{
    struct Case {
        const char* octet;
        u32 cursor, digit;
        const char* after;
        bool written;
        u32 cursorAfter;
    };
    const Case cases[] = {
        {"255", 0, 9, "255", false, 1},   // 955
        {"255", 0, 1, "155", true, 1},
        {"255", 2, 6, "255", false, 3},   // 256
        {"000", 1, 9, "090", true, 2},
        {"", 2, 7, "007", true, 3},       // an empty octet reads 000
        {"250", 11, 5, "255", true, 11},  // the last digit: the cursor stays
        {"250", 11, 6, "250", false, 11},
    };
    for (const Case& c : cases) {
        OctetTexts octets;
        SetOctets(octets, c.octet, c.octet, c.octet, c.octet);
        u32 cursor = c.cursor;
        EXPECT_EQ(TypeDigit(octets, cursor, c.digit), c.written) << c.octet << " " << c.cursor;
        EXPECT_STREQ(octets[c.cursor / 3], c.after) << c.octet << " " << c.cursor;
        EXPECT_EQ(cursor, c.cursorAfter);
    }
}

TEST(LobbyConnectOption, AddressesThatReachNoHostAreRefused)
{
    struct Case {
        IpAddressEntry entry;
        bool joins;
    };
    const Case cases[] = {
        {Entry("000", "000", "000", "000"), false},   // this machine on Linux
        {Entry("", "", "", ""), false},
        {Entry("000", "001", "002", "003"), false},
        {Entry("999", "000", "000", "001"), false},   // a hand-edited file
        {Entry("127", "000", "000", "001"), true},
        {Entry("010", "000", "000", "255"), true},
    };
    for (const Case& c : cases) EXPECT_EQ(JoinAddress(c.entry.octet, nullptr), c.joins) << AddressText(c.entry.octet);
}

TEST(LobbyConnectOption, RecentListMovesAnAddressUpWithoutDuplicate)
{
    IpAddressEntry list[kRecentCount] = {};
    for (u32 i = 0; i < kRecentCount; ++i) list[i] = Entry("010", "000", "000", std::to_string(100 + i).c_str());
    // Already there (written without leading zeros by hand): to the top.
    PushRecent(list, Entry("10", "0", "0", "105").octet);
    EXPECT_EQ(AddressText(list[0].octet), "10.0.0.105");
    EXPECT_STREQ(list[0].octet[0], "010");
    EXPECT_EQ(AddressText(list[1].octet), "10.0.0.100");
    EXPECT_EQ(AddressText(list[5].octet), "10.0.0.104");
    EXPECT_EQ(AddressText(list[6].octet), "10.0.0.106");
    EXPECT_EQ(AddressText(list[23].octet), "10.0.0.123");
    // New on a full list: the oldest goes.
    PushRecent(list, Entry("192", "168", "000", "001").octet);
    EXPECT_EQ(AddressText(list[0].octet), "192.168.0.1");
    EXPECT_EQ(AddressText(list[1].octet), "10.0.0.105");
    EXPECT_EQ(AddressText(list[23].octet), "10.0.0.122");
    u32 seen = 0;
    for (const IpAddressEntry& e : list) seen += AddressText(e.octet) == "10.0.0.105";
    EXPECT_EQ(seen, 1u);
}

TEST(LobbyConnectOption, HostModeSkipsTheAddressRows)
{
    struct Case {
        u32 row, mode, up, down;
    };
    const Case cases[] = {
        {kRowMode, kModeHost, kRowStart, kRowName}, {kRowName, kModeHost, kRowMode, kRowStart},
        {kRowStart, kModeHost, kRowName, kRowMode}, {kRowMode, kModeJoin, kRowStart, kRowAddress},
        {kRowName, kModeJoin, kRowList, kRowStart}, {kRowAddress, kModeJoin, kRowMode, kRowList},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RowUp(c.row, c.mode), c.up) << c.row << " mode " << c.mode;
        EXPECT_EQ(RowDown(c.row, c.mode), c.down) << c.row << " mode " << c.mode;
    }
}

TEST(LobbyConnectOption, PlayerNameNeverSplitsACharacter)
{
    struct Case {
        std::string name, kept;
    };
    const std::string wide = "\x93\xFA";   // one double-byte character
    const Case cases[] = {
        {std::string(23, 'a') + wide, std::string(23, 'a')},
        {std::string(22, 'a') + wide + "b", std::string(22, 'a') + wide},
        {std::string(30, 'a'), std::string(24, 'a')},
        {"Bob", "Bob"},
    };
    for (const Case& c : cases) {
        char out[kUserNameBytes];
        std::memset(out, 0x55, sizeof out);
        PutPlayerName(out, c.name.c_str());
        EXPECT_EQ(std::string(out), c.kept);
        EXPECT_EQ(out[24], 0);
    }
}

}  // namespace ORV_TEST_FILE_ID
