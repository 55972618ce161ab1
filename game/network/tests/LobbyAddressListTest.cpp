#include "game/network/LobbyAddressList.h"

#include <gtest/gtest.h>

namespace ORV_TEST_FILE_ID {

using namespace lobby_screen;

TEST(LobbyAddressList, CursorStaysInsideItsColumnAndSwitchesColumns)
{
    struct Case {
        u32 (*move)(u32);
        const char* name;
        u32 from, to;
    };
    const Case cases[] = {
        {ListDown, "down", 11, 0},  {ListDown, "down", 23, 12}, {ListDown, "down", 5, 6},
        {ListUp, "up", 12, 23},     {ListUp, "up", 0, 11},      {ListUp, "up", 13, 12},
        {ListLeft, "left", 3, 15},  {ListLeft, "left", 15, 3},  {ListRight, "right", 23, 11},
        {ListRight, "right", 0, 12},
    };
    for (const Case& c : cases) EXPECT_EQ(c.move(c.from), c.to) << c.name << " from " << c.from;
    // Every move keeps the cursor on the 24 entries, whatever it held.
    for (u32 from = 0; from < 40; ++from)
        for (auto move : {ListUp, ListDown, ListLeft, ListRight}) EXPECT_LT(move(from), kRecentCount) << from;
}

}  // namespace ORV_TEST_FILE_ID
