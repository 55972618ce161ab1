#include "game/network/LobbyRoomRequest.h"

#include "game/network/LobbySceneBase.h"

#include <cstring>

namespace lobby {

const char* const kLevelRangePictures[kLevelRangeCount] = {
    "0-19",   "20-39", "40-59", "60-79", "80-99", "0-19",  "40mima",
    "60mima", "80mima", "20ijo", "40ijo", "60ijo", "80-99", "museigen",
};

bool IsLevelInRange(u32 index, i32 v)
{
    switch (index) {
    case 0: return v >= 0 && v <= 19;
    case 1: return v >= 20 && v <= 39;
    case 2: return v >= 40 && v <= 59;
    case 3: return v >= 60 && v <= 79;
    case 4: return v >= 80 && v <= 99;
    case 5: return v <= 19;
    case 6: return v <= 39;
    case 7: return v <= 59;
    case 8: return v <= 79;
    case 9: return v >= 20;
    case 10: return v >= 40;
    case 11: return v >= 60;
    case 12: return v >= 80;
    case 13: return true;
    default: return false;
    }
}

u8 LevelRangeOf(const LobbyRoomRecord& room) { return room.data[kLevelRangeAt]; }

u8 StepLevelRange(u8 current, i32 step, i32 listNumber)
{
    i32 index = current < kLevelRangeCount ? current : kOpenLevelRange;
    const i32 delta = step < 0 ? -1 : 1;
    for (u32 i = 0; i < kLevelRangeCount; ++i) {
        index += delta;
        if (index < 0) index = kLevelRangeCount - 1;
        if (index >= i32(kLevelRangeCount)) index = 0;
        if (index == 5 || index == 12) continue;
        if (index == current) break;
        if (IsLevelInRange(u32(index), listNumber)) return u8(index);
    }
    return current;
}

bool CanJoinRoom(const LobbyRoomRecord* room, const LobbyUserRecord* user, u32 screenIndex)
{
    if (!room || !user) return false;
    if (room->State() != 0) return false;
    if (room->MemberCount() >= i16(room->MemberLimit())) return false;
    if (!IsLevelInRange(LevelRangeOf(*room), i32(user->ListNumber()))) return false;
    return screenIndex != 4;
}

bool PackOptions(const RoomTemplate& room, u8* count, u8 (&out)[kOptionBytes])
{
    if (room.options.size() > 255) return false;
    u8 packed[kOptionBytes] = {};
    u32 at = 0;
    for (const RoomOption& option : room.options) {
        if (option.size != 1 && option.size != 2 && option.size != 4) return false;
        if (at + 1 + option.size > kOptionBytes) return false;
        packed[at++] = option.size;
        for (u32 b = 0; b < option.size; ++b) packed[at++] = u8(option.value >> (8 * b));
    }
    std::memcpy(out, packed, kOptionBytes);
    *count = u8(room.options.size());
    return true;
}

namespace {

// Room requests share the tail from the member limit on; the new room
// puts its name in front. The name and password at most their input
// limits, the comment its field less the terminator, each cut at a
// character boundary, the rest of its field zero (the server reads them
// as terminated strings).
bool WriteCommon(const RoomSettings& settings, const RoomTemplate& room, u8* at)
{
    u8 count = 0;
    u8 options[kOptionBytes] = {};
    if (!PackOptions(room, &count, options)) return false;
    PutLe16(at, room.memberLimit);
    // The comment is typed in lines of kRoomCommentLimit: its field goes whole.
    lobby_scene::CopyField(reinterpret_cast<char*>(at + 2), kRoomCommentField, settings.comment);
    lobby_scene::CopyField(reinterpret_cast<char*>(at + 258), kRoomPasswordLimit + 1, settings.password);
    at[268] = settings.levelRange;   // 269..272 reserved, zero
    at[273] = count;
    std::memcpy(at + 274, options, kOptionBytes);
    return true;
}

}  // namespace

std::vector<u8> WriteNewRoom(const RoomSettings& settings, const RoomTemplate& room, const u8* ownEntry)
{
    std::vector<u8> out(kNewRoomBytes, 0);
    lobby_scene::CopyField(reinterpret_cast<char*>(out.data()), kRoomNameLimit + 1, settings.name);
    if (!WriteCommon(settings, room, out.data() + kRoomNameField)) return {};
    PutLe16(out.data() + 423, 1);
    std::memcpy(out.data() + 425, ownEntry, kEntryBytes);
    std::memcpy(out.data() + 466, ownEntry, kEntryBytes);
    return out;
}

std::vector<u8> WriteRoomSettings(const RoomSettings& settings, const RoomTemplate& room)
{
    std::vector<u8> out(kRoomSettingsBytes, 0);
    if (!WriteCommon(settings, room, out.data())) return {};
    return out;
}

}  // namespace lobby
