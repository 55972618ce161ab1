// Room requests against bytes laid out by hand, and the level ranges that
// decide who may enter a room.
#include "game/network/LobbyRoomRequest.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace ORV_TEST_FILE_ID {

using namespace lobby;

namespace {

void Put(std::vector<u8>& bytes, u32 at, const std::string& text)
{
    std::memcpy(bytes.data() + at, text.data(), text.size());
}

RoomSettings Settings(const char* name, const char* comment, const char* password, u8 range)
{
    RoomSettings s;
    std::snprintf(s.name, sizeof s.name, "%s", name);
    std::snprintf(s.comment, sizeof s.comment, "%s", comment);
    std::snprintf(s.password, sizeof s.password, "%s", password);
    s.levelRange = range;
    return s;
}

RoomTemplate ThreeOptions()
{
    RoomTemplate room;
    room.memberLimit = 0x0106;
    room.options = {{1, 0xAB}, {2, 0x1234}, {4, 0xA1B2C3D4}};
    return room;
}

TEST(LobbyRoomRequest, NewRoomGoldenBytes)
{
    u8 entry[kEntryBytes];
    for (u32 i = 0; i < kEntryBytes; ++i) entry[i] = u8(0x40 + i);
    const std::vector<u8> got = WriteNewRoom(Settings("Arena", "hi\nall", "pw", 9), ThreeOptions(), entry);

    std::vector<u8> want(794, 0);
    Put(want, 0, "Arena");
    want[21] = 0x06, want[22] = 0x01;
    Put(want, 23, "hi\nall");
    Put(want, 279, "pw");
    want[289] = 9;
    want[294] = 3;
    const u8 options[] = {1, 0xAB, 2, 0x34, 0x12, 4, 0xD4, 0xC3, 0xB2, 0xA1};
    std::memcpy(want.data() + 295, options, sizeof options);
    want[423] = 1;
    std::memcpy(want.data() + 425, entry, kEntryBytes);
    std::memcpy(want.data() + 466, entry, kEntryBytes);
    EXPECT_EQ(got, want);
}

TEST(LobbyRoomRequest, SettingsGoldenBytes)
{
    const std::vector<u8> got = WriteRoomSettings(Settings("ignored", "c", "12345678", 2), ThreeOptions());
    std::vector<u8> want(402, 0);
    want[0] = 0x06, want[1] = 0x01;
    Put(want, 2, "c");
    Put(want, 258, "12345678");
    want[268] = 2;
    want[273] = 3;
    const u8 options[] = {1, 0xAB, 2, 0x34, 0x12, 4, 0xD4, 0xC3, 0xB2, 0xA1};
    std::memcpy(want.data() + 274, options, sizeof options);
    EXPECT_EQ(got, want);
}

TEST(LobbyRoomRequest, TextsCutAtLimitOnCharacterBoundaryAndTerminated)
{
    // 19 ASCII then a two-byte character: the name keeps 19 bytes, not half
    // a character. Unterminated fields stop at their limit; the comment,
    // typed in lines of 30, goes whole: its field less the terminator.
    RoomSettings s;
    std::memset(s.name, 'n', sizeof s.name);
    std::memcpy(s.name, "nnnnnnnnnnnnnnnnnnn\x82\xa0", 21);
    std::memset(s.comment, 'c', sizeof s.comment);
    std::memset(s.password, 'p', sizeof s.password);
    const u8 entry[kEntryBytes] = {};
    const std::vector<u8> got = WriteNewRoom(s, RoomTemplate{}, entry);
    ASSERT_EQ(got.size(), kNewRoomBytes);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(got.data())), std::string(19, 'n'));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(got.data() + 23)), std::string(255, 'c'));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(got.data() + 279)), std::string(8, 'p'));
    for (u32 i = 279 + 8; i < 289; ++i) ASSERT_EQ(got[i], 0) << i;
    // Four lines of 30 with their line feeds, in both messages.
    const std::string lines = std::string(30, 'a') + "\n" + std::string(30, 'b') + "\n" + std::string(30, 'c') + "\nd";
    RoomSettings typed;
    std::memcpy(typed.comment, lines.data(), lines.size());
    const std::vector<u8> created = WriteNewRoom(typed, RoomTemplate{}, entry);
    const std::vector<u8> changed = WriteRoomSettings(typed, RoomTemplate{});
    ASSERT_EQ(changed.size(), kRoomSettingsBytes);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(created.data() + 23)), lines);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(changed.data() + 2)), lines);
}

TEST(LobbyRoomRequest, OptionsMustFitTheirBytes)
{
    struct Case {
        const char* what;
        std::vector<RoomOption> options;
        bool packs;
    };
    const Case cases[] = {
        {"none", {}, true},
        {"size 3", {{3, 1}}, false},
        {"size 0", {{0, 1}}, false},
        {"25 of 4 fill 125", std::vector<RoomOption>(25, {4, 7}), true},
        {"26 of 4 overrun", std::vector<RoomOption>(26, {4, 7}), false},
        {"64 of 1 fill 128", std::vector<RoomOption>(64, {1, 7}), true},
        {"65 of 1 overrun", std::vector<RoomOption>(65, {1, 7}), false},
        {"300 count", std::vector<RoomOption>(300, {1, 7}), false},
    };
    for (const Case& c : cases) {
        RoomTemplate room;
        room.options = c.options;
        const u8 entry[kEntryBytes] = {};
        EXPECT_EQ(!WriteNewRoom(RoomSettings{}, room, entry).empty(), c.packs) << c.what;
        EXPECT_EQ(!WriteRoomSettings(RoomSettings{}, room).empty(), c.packs) << c.what;
    }
}

TEST(LobbyRoomRequest, LevelRangeTable)
{
    struct Case {
        u32 index;
        i32 admitted[2];
        i32 refused[2];
    };
    const Case cases[] = {
        {0, {0, 19}, {-1, 20}},    {1, {20, 39}, {19, 40}},   {2, {40, 59}, {39, 60}},
        {3, {60, 79}, {59, 80}},   {4, {80, 99}, {79, 100}},  {5, {-5, 19}, {20, 99}},
        {6, {0, 39}, {40, 99}},    {7, {0, 59}, {60, 99}},    {8, {0, 79}, {80, 99}},
        {9, {20, 1000}, {0, 19}},  {10, {40, 99}, {0, 39}},   {11, {60, 99}, {0, 59}},
        {12, {80, 5000}, {0, 79}}, {13, {-9, 1 << 30}, {}},
    };
    for (const Case& c : cases) {
        for (i32 v : c.admitted) EXPECT_TRUE(IsLevelInRange(c.index, v)) << c.index << " " << v;
        if (c.index == 13) continue;
        for (i32 v : c.refused) EXPECT_FALSE(IsLevelInRange(c.index, v)) << c.index << " " << v;
    }
    // Past the table (the server's byte can be anything): nobody.
    for (u32 index : {14u, 200u, 255u}) EXPECT_FALSE(IsLevelInRange(index, 0)) << index;
}

TEST(LobbyRoomRequest, LevelRangeStepping)
{
    struct Case {
        u8 from;
        i32 step;
        i32 listNumber;
        u8 to;
    };
    const Case cases[] = {
        {13, 1, 0, 0},     // wraps to 0, which admits 0
        {0, -1, 0, 13},    // wraps back
        {4, 1, 5, 6},      // skips 5
        {6, -1, 5, 0},     // skips 5 going down
        {11, 1, 85, 13},   // skips 12
        {13, 1, 150, 9},   // 0..8 refuse 150
        {13, -1, 150, 11}, // 12 skipped
        {13, 1, 99999, 9},
        {13, 1, -1, 6},    // 0..4 refuse -1; 5 skipped
        {200, 1, 50, 2},   // a bad stored index starts from 13
    };
    for (const Case& c : cases)
        EXPECT_EQ(StepLevelRange(c.from, c.step, c.listNumber), c.to)
            << int(c.from) << " " << c.step << " " << c.listNumber;
}

TEST(LobbyRoomRequest, JoinTestInOrder)
{
    LobbyRoomRecord room;
    PutLe32(room.data, 7);
    PutLe16(room.data + kMemberLimitAt, 4);
    room.data[kLevelRangeAt] = 2;
    LobbyUserRecord user;
    PutLe32(user.data + kListNumberAt, 45);
    EXPECT_TRUE(CanJoinRoom(&room, &user, 3));
    EXPECT_FALSE(CanJoinRoom(&room, &user, 4)) << "in the room screen";
    EXPECT_FALSE(CanJoinRoom(nullptr, &user, 3));
    EXPECT_FALSE(CanJoinRoom(&room, nullptr, 3));

    LobbyRoomRecord running = room;
    PutLe32(running.data + kRoomStateAt, 1);
    EXPECT_FALSE(CanJoinRoom(&running, &user, 3));

    LobbyRoomRecord hostile = room;
    hostile.data[kLevelRangeAt] = 14;
    EXPECT_FALSE(CanJoinRoom(&hostile, &user, 3));

    LobbyUserRecord low;
    PutLe32(low.data + kListNumberAt, 10);
    EXPECT_FALSE(CanJoinRoom(&room, &low, 3));
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
