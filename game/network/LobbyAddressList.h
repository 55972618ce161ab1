// The address list: the 24 recent host addresses in two columns of twelve,
// one picked with decide. A sub-screen of the connect option screen.
#pragma once

#include "engine/core/Types.h"
#include "game/network/LobbyClient.h"

namespace lobby_screen {

inline constexpr const char* kAddressListLayout = "Scene\\Network07.sce";
// The group holding the digit images "n0".."n9" in the layouts that show
// digits; the digit slots, of the same names, stand at the top level.
inline constexpr const char* kDigitGroup = "num";
inline constexpr u32 kRecentCount = 24;
inline constexpr u32 kListRows = 12;

// The digit image an address character shows: its digit. NUL shows 0, and
// so does anything else (a hand-edited configuration): there is no image
// for it.
u32 DigitGlyph(char c);

// Cursor moves of the list: up and down wrap inside a column, left and
// right switch columns.
u32 ListUp(u32 cursor);
u32 ListDown(u32 cursor);
u32 ListLeft(u32 cursor);
u32 ListRight(u32 cursor);

}  // namespace lobby_screen
