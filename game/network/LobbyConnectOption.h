// The connect option screen: host a room, or join one at an address typed
// digit by digit or picked from the recent list, under a player name.
#pragma once

#include "engine/core/Types.h"
#include "game/network/LobbyAddressList.h"
#include "game/network/LobbyClient.h"

#include <string>

namespace lobby_screen {

inline constexpr const char* kConnectOptionLayout = "Scene\\Network02.sce";

// An address being typed: four octets of three digits, each terminated.
using OctetTexts = char[4][4];
inline constexpr u32 kAddressDigits = 12;
// The user record's name: 24 bytes and its terminator.
inline constexpr u32 kPlayerNameBytes = 25;

// Rows of the screen.
enum ConnectRow : u32 { kRowMode, kRowAddress, kRowList, kRowName, kRowStart, kRowCount };
enum ConnectMode : u32 { kModeJoin, kModeHost };

// Up and down over the rows; in host mode the address rows are skipped.
u32 RowUp(u32 row, u32 mode);
u32 RowDown(u32 row, u32 mode);

// Writes digit at the cursor's place; an octet that would read above 255
// keeps its old digit. The cursor advances either way (stops at the last
// digit). True when the digit was written.
bool TypeDigit(OctetTexts& octets, u32& cursor, u32 digit);

// An octet text read as a decimal number: its leading digits inside the
// four bytes (a hand-edited file may leave no terminator).
u32 OctetValue(const char (&octet)[4]);
// "%d.%d.%d.%d" of the four octets.
std::string AddressText(const OctetTexts& octets);
// The join target (MakeAddress order). False for an octet above 255 and for
// 0.x.x.x: 0.0.0.0 reaches this very machine on some systems, the rest
// reach nothing.
bool JoinAddress(const OctetTexts& octets, u32* address);

// Puts the address at the top of the recent list: moved up when its text
// is there already, else pushed in front and the oldest dropped.
void PushRecent(IpAddressEntry (&list)[kRecentCount], const OctetTexts& octets);

// The player's name in a user record's name field: at most 24 bytes, never
// half a double-byte character, zero-filled.
void PutPlayerName(char (&out)[kPlayerNameBytes], const char* name);

}  // namespace lobby_screen
