// What room information and room creation share: the level ranges a room
// admits, the join test, the room template and the two room requests the
// player sends the lobby server (1002 new room, 1004 settings of the own
// room), written field by field.
#pragma once

#include "engine/core/Types.h"
#include "game/network/LobbyWire.h"

#include <array>
#include <vector>

namespace lobby {

// Level ranges: 14 pictures; the index comes from the server (room byte 309)
// or from room creation. An index past the table admits nobody.
inline constexpr u32 kLevelRangeCount = 14;
inline constexpr u8 kOpenLevelRange = 13;   // anyone
inline constexpr u32 kLevelRangeAt = 309;   // in the room data
// The room's own fields in its data: the settings of 1002 from byte 20 on,
// the name inside the entry.
inline constexpr u32 kRoomNameAt = 4;
inline constexpr u32 kRoomCommentAt = 43;
extern const char* const kLevelRangePictures[kLevelRangeCount];

bool IsLevelInRange(u32 index, i32 listNumber);
// The room's index as the server sent it (any byte).
u8 LevelRangeOf(const LobbyRoomRecord& room);

// From current, the previous (step -1) or next (+1) index that admits
// listNumber, skipping 5 and 12 (their pictures repeat 0 and 4), wrapping
// between 0 and 13. current when no other admits it. At most one lap.
u8 StepLevelRange(u8 current, i32 step, i32 listNumber);

// The player may enter room: a room and user given, no battle running, a
// free place, the level range admits the user's list number, and the player
// not in the room screen (screen index 4).
bool CanJoinRoom(const LobbyRoomRecord* room, const LobbyUserRecord* user, u32 screenIndex);

// Room options: each value 1, 2 or 4 bytes, packed after its size byte.
inline constexpr u32 kOptionBytes = 128;
struct RoomOption {
    u8 size = 0;
    u32 value = 0;
};
struct RoomTemplate {
    u16 memberLimit = kMaxMembers;
    std::vector<RoomOption> options;
};
// The options as they go on the wire: false (out untouched) when a size is
// not 1, 2 or 4, or they do not fit the 128 bytes or a u8 count.
bool PackOptions(const RoomTemplate& room, u8* count, u8 (&out)[kOptionBytes]);

// The fields the player fills in. Texts are cut and terminated by the writer.
inline constexpr u32 kRoomNameField = 21;
inline constexpr u32 kRoomCommentField = 256;
inline constexpr u32 kRoomPasswordField = 9;
struct RoomSettings {
    char name[kRoomNameField] = {};
    char comment[kRoomCommentField] = {};
    char password[kRoomPasswordField] = {};
    u8 levelRange = kOpenLevelRange;
};

inline constexpr u32 kNewRoomBytes = 794;
inline constexpr u32 kRoomSettingsBytes = 402;
inline constexpr u32 kRoomNameLimit = 20;
inline constexpr u32 kRoomCommentLimit = 30;
inline constexpr u32 kRoomPasswordLimit = 8;

// ownEntry: the player's own 41-byte user entry (user data bytes 1..41).
// Empty when the options do not pack.
std::vector<u8> WriteNewRoom(const RoomSettings& settings, const RoomTemplate& room, const u8* ownEntry);
std::vector<u8> WriteRoomSettings(const RoomSettings& settings, const RoomTemplate& room);

}  // namespace lobby
