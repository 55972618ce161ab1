#include "game/network/LobbyAddressList.h"

namespace lobby_screen {

u32 DigitGlyph(char c) { return c >= '0' && c <= '9' ? u32(c - '0') : 0; }

u32 ListUp(u32 cursor)
{
    const i32 up = i32(cursor % kRecentCount) - 1;
    return u32(up < 0 || up % i32(kListRows) == i32(kListRows) - 1 ? up + i32(kListRows) : up);
}

u32 ListDown(u32 cursor)
{
    const u32 down = cursor % kRecentCount + 1;
    return down % kListRows == 0 ? down - kListRows : down;
}

u32 ListLeft(u32 cursor) { return (cursor % kRecentCount + kListRows) % kRecentCount; }

u32 ListRight(u32 cursor) { return (cursor % kRecentCount + kListRows) % kRecentCount; }

}  // namespace lobby_screen
