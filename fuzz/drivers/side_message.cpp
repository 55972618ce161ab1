// One side message as bundles and input messages carry it, and as replays
// hand it to the battle: only the radio-chat line, id 3 with its 48 bytes,
// is taken. A message read must write back to the bytes it used; a refused
// one must leave the destination as it was; the body of a taken one is a
// line with its text ended, a sender 0..3 and a team-only flag 0 or 1.
#include "fuzz/FuzzSupport.h"
#include "game/battle/scene/LockstepRecords.h"

#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    StatePacket message, before;
    std::memset(&message, 0x3C, sizeof message);
    std::memcpy(&before, &message, sizeof message);
    size_t used = 0;
    const LockstepRecordError error = ReadSideMessage(data, size, &message, &used);
    FUZZ_CHECK(DescribeLockstepRecordError(error) != nullptr);
    if (error != LockstepRecordError::kNone) {
        FUZZ_CHECK(std::memcmp(&message, &before, sizeof message) == 0 && used == 0);
    } else {
        FUZZ_CHECK(used <= size && message.id == kRadioChatId && message.length == kRadioChatBytes);
        std::string written;
        AppendSideMessage(written, message);
        FUZZ_CHECK(written == std::string(reinterpret_cast<const char*>(data), used));
    }

    // A body handed over another way (a replay's side message): the same
    // checks as ReadSideMessage makes, whatever the id and length.
    if (size >= 4) {
        RadioChatLine line, untouched;
        std::memset(&line, 0x3C, sizeof line);
        std::memcpy(&untouched, &line, sizeof line);
        const u32 id = data[0];
        const LockstepRecordError body = ReadRadioChat(id, data + 4, size - 4, &line);
        if (body == LockstepRecordError::kNone) {
            FUZZ_CHECK(id == kRadioChatId && size - 4 == kRadioChatBytes);
            FUZZ_CHECK(std::memchr(line.text, 0, sizeof line.text) && line.sender < kLockstepEntries && line.teamOnly <= 1);
        } else {
            FUZZ_CHECK(std::memcmp(&line, &untouched, sizeof line) == 0);
        }
    }
    return 0;
}
