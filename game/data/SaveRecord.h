// CSaveRecord: the play record GameRecord.dat: the total time
// played and, per character, counters of local and network battles.
//
// The file, little-endian (version 0x13001000, 1166 bytes):
//
//   u32 version   u32 play time (ms)   u8 flag byte   u8 record count (18)
//   u32 size S of the record block (1152)   18 x PlayRecordEntry
//
// Older files are migrated on load:
//   - below 0x11001000: S is the size of one record and 8 records are stored
//     (8 blocks of S bytes, end to end); the other records start at zero;
//   - 0x11001000 up to 0x13001000: two characters were stored under other
//     ids, so records 8 and 9 are also copied to records 12 and 13.
//
// Hardening against damaged or crafted files:
//  - The record block is read up to the 1152 bytes of the array and the rest
//    of a larger stored block passed over (S above 1152, or 8 S above 1152
//    for the early format, would overflow the array).
//  - A file that ends early loads: the fields it holds are read, the record
//    block takes the bytes that are there over zero records, and the rest
//    keeps the defaults. Load returns 1 and a copy of the file is kept as
//    "GameRecord.dat.bad" before the next save replaces it (when no copy can
//    be made, Save is blocked instead). A newer file is refused (0) and left
//    where it is; a file that exists but cannot be read is refused and left
//    alone.
//  - After a Load that refused a file, Save writes nothing and returns 0
//    until a Load succeeds, so the record that failed to load never replaces
//    the user's file.
//  - Save returns 1 only when the whole file was written (through a
//    temporary file renamed over the old one); otherwise 0, old file kept.
#pragma once

#include "game/data/SaveFile.h"

#include "engine/core/Types.h"
#include "engine/core/ValueBase.h"

#include <string>
#include <vector>

// The 16 counters of one character: words 0..7 local battles, 8..15 network
// battles, each half: battles, results 1, 2 and 3 (win, loss, draw), then
// the sums of the character's battle statistics s2, s3, s0 and s1.
struct PlayRecordEntry {
    u32 word[16];
};
static_assert(sizeof(PlayRecordEntry) == 64);

// Word indices inside one half; add kPlayRecordNetwork for the network half.
inline constexpr u32 kPlayRecordBattles = 0;
inline constexpr u32 kPlayRecordResult = 0;   // + result code 1..3
inline constexpr u32 kPlayRecordStatSums = 4;
inline constexpr u32 kPlayRecordNetwork = 8;

class CSaveRecord : public CValueBase {
    ORV_VALUE_CLASS(CSaveRecord)
public:
    static constexpr u32 kVersion = 0x13001000;
    // From this version on the record block is the whole array.
    static constexpr u32 kVersionWholeBlock = 0x11001000;
    static constexpr u32 kRecordCount = 18;
    static constexpr u32 kRecordBlockSize = kRecordCount * sizeof(PlayRecordEntry);   // 1152
    static constexpr u32 kEarlyRecordCount = 8;
    static constexpr const char* kFileName = "GameRecord.dat";

    // No records until SetDefaults or Load.
    CSaveRecord() = default;
    CSaveRecord(const CSaveRecord& other) = default;   // the copy owns its own records
    CSaveRecord& operator=(const CSaveRecord& other) = default;
    ~CSaveRecord() override = default;

    // Frees the record array (count 0). Returns 1.
    virtual i32 Release();

    // Reads GameRecord.dat (see the top of this file); the play time runs
    // from now. A missing file gets the defaults and is written: the result
    // is then Save's. 1 on success.
    i32 Load();
    // Banks the time since the last load or save into the play time, then
    // writes the whole file; 1 when it was written, else 0.
    i32 Save();
    // Start time now, play time 0, flag byte 0, 18 zero records. Returns 1.
    i32 SetDefaults();

    // The banked play time plus the time since the last load or save (ms).
    u32 GetPlayTime() const;
    u32 GetStoredPlayTime() const { return m_playTime; }
    // The byte the network scene hands to the lobby client and writes back.
    u8 GetFlagByte() const { return m_flagByte; }
    void SetFlagByte(u8 value) { m_flagByte = value; }

    u32 GetRecordCount() const { return u32(m_records.size()); }
    // The record of a character id, or null outside the records.
    PlayRecordEntry* GetRecord(u32 character);
    const PlayRecordEntry* GetRecord(u32 character) const;

    // Counts one battle of a character: battles + 1, the counter of the
    // result code (1, 2 or 3; other codes count nothing) + 1, and the sums of
    // the statistics s0..s3, in the network half when network is set. 0 when
    // the character has no record.
    i32 AddBattle(u32 character, bool network, u32 resultCode, const u32 (&stats)[4]);

private:

    save_file::Parsed Parse(const std::string& bytes);
    std::string Serialize() const;

    u32 m_startTime = 0;   // TimeGetTime when the current stretch of play began
    u32 m_playTime = 0;    // banked milliseconds
    u8 m_flagByte = 0;
    std::vector<PlayRecordEntry> m_records;
    // Set when Load refuses a file, cleared by a successful Load; Save
    // refuses while it is set.
    bool m_loadFailed = false;
};
