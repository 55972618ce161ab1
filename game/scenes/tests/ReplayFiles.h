// Replay slot files for the list's tests and seeds, written byte for byte:
// the leading text, then the 76-byte header, then whatever body is asked.
#pragma once

#include "engine/core/Endian.h"
#include "game/data/Replay.h"
#include "host/kernel/Kernel.h"

#include <cstring>
#include <string>

namespace replay_test {

inline ReplayHeader Header(const char* stage, const char* character, u8 playType = 0, u16 year = 2026, u8 month = 1,
    u8 day = 2)
{
    ReplayHeader h{};
    h.version = kReplayVersion;
    std::strncpy(h.stageName, stage, sizeof h.stageName - 1);
    std::strncpy(h.characterName, character, sizeof h.characterName - 1);
    h.playType = playType;
    h.year = year;
    h.month = month;
    h.day = day;
    return h;
}

inline std::string HeaderBytes(const ReplayHeader& h)
{
    std::string out(kReplayHeaderBytes, '\0');
    PutLe32(&out[0], h.version);
    std::memcpy(&out[4], h.stageName, 32);
    std::memcpy(&out[36], h.characterName, 32);
    out[68] = char(h.playType);
    PutLe16(&out[70], h.year);
    out[72] = char(h.month);
    out[73] = char(h.day);
    return out;
}

// The whole file: leading text (with its NUL when not empty), header, body.
inline std::string FileBytes(const ReplayHeader& h, const std::string& leading = "", const std::string& body = "")
{
    std::string out;
    const u32 length = leading.empty() ? 0 : u32(leading.size() + 1);
    AppendLe32(out, length);
    if (length) out += leading + '\0';
    return out + HeaderBytes(h) + body;
}

inline bool WriteSlot(const std::string& folder, u32 slot, const std::string& bytes)
{
    return host::kernel::WriteFileAtomic(ReplaySlotPath(folder, slot), bytes.data(), bytes.size());
}

inline bool WriteHeaderFile(const std::string& folder, u32 slot, const ReplayHeader& h, const std::string& leading = "")
{
    return WriteSlot(folder, slot, FileBytes(h, leading));
}

// The file cut after its first bytes.
inline bool WriteCut(const std::string& folder, u32 slot, const ReplayHeader& h, size_t bytes)
{
    return WriteSlot(folder, slot, FileBytes(h).substr(0, bytes));
}

}  // namespace replay_test
