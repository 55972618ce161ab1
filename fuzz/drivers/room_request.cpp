// A room as the server describes it and the room the player asks for: the
// input is the 814-byte room data, the own list number (u32), the three
// texts (21, 256 and 9 bytes, terminated or not), the level-range byte, and
// then options, two bytes of size and value each. The level range past 13
// admits nobody and stepping stays inside the table; the requests are
// their size or refused when the options do not fit, the name and password
// at most their input limits, the comment its field, each terminated.
#include "fuzz/FuzzSupport.h"
#include "game/network/LobbyRoomRequest.h"

#include <cstring>

namespace {

using namespace lobby;

void CheckText(const std::vector<u8>& bytes, u32 at, u32 limit)
{
    const u32 length = u32(strnlen(reinterpret_cast<const char*>(bytes.data() + at), limit + 1));
    FUZZ_CHECK(length <= limit);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::Input input(data, size);
    LobbyRoomRecord room;
    for (u8& b : room.data) b = input.Byte();
    LobbyUserRecord user;
    PutLe32(user.data + kListNumberAt, input.Word());
    RoomSettings settings;
    for (char& c : settings.name) c = char(input.Byte());
    for (char& c : settings.comment) c = char(input.Byte());
    for (char& c : settings.password) c = char(input.Byte());
    settings.levelRange = input.Byte();
    RoomTemplate options;
    options.memberLimit = room.MemberLimit();
    while (input.RestSize() >= 2) options.options.push_back({input.Byte(), input.Byte()});

    const i32 number = i32(user.ListNumber());
    const u8 range = LevelRangeOf(room);
    if (range >= kLevelRangeCount) FUZZ_CHECK(!CanJoinRoom(&room, &user, 0));
    for (i32 step : {-1, 1}) {
        const u8 next = StepLevelRange(range, step, number);
        FUZZ_CHECK(next == range || (next < kLevelRangeCount && IsLevelInRange(next, number)));
    }

    u8 count = 0;
    u8 packed[kOptionBytes] = {};
    const bool fits = PackOptions(options, &count, packed);
    const u8 entry[kEntryBytes] = {};
    const std::vector<u8> created = WriteNewRoom(settings, options, entry);
    const std::vector<u8> changed = WriteRoomSettings(settings, options);
    FUZZ_CHECK(created.size() == (fits ? kNewRoomBytes : 0));
    FUZZ_CHECK(changed.size() == (fits ? kRoomSettingsBytes : 0));
    if (!fits) return 0;
    CheckText(created, 0, kRoomNameLimit);
    CheckText(created, 23, kRoomCommentField - 1);
    CheckText(created, 279, kRoomPasswordLimit);
    CheckText(changed, 2, kRoomCommentField - 1);
    CheckText(changed, 258, kRoomPasswordLimit);
    FUZZ_CHECK(created[294] == count && changed[273] == count);
    FUZZ_CHECK(std::memcmp(created.data() + 21, changed.data(), kRoomSettingsBytes) == 0);
    return 0;
}
