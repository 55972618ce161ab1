// CSaveData: the game data GameData.dat: what the player has
// unlocked and earned, and per character the spirit-orb sets last chosen.
//
// The file, little-endian (version 0x13002000, N records; 6881 bytes with 18):
//
//   u32 version   u8 N   u32 record size 96   N x GameDataEntry
//   5 x 256 u32 flag tables   u32 adventure word
//   5 x u32 CRC-32 of the tables (Crc32Buffer over each table's 1024 bytes)
//
// A file whose tables do not match their checksums, or that ends early (its
// missing checksums cannot match), or of an older version, loads as the
// defaults and Load succeeds; the adventure word keeps the value read, or
// its earlier value when the file ends before it.
//
// Hardening against damaged or crafted files:
//  - A stored record size above 96 is read up to 96 bytes per record and the
//    rest passed over; a size or count reaching past the end of the file ends
//    the read there, so nothing larger than 255 records is ever allocated.
//  - When the defaults replace a file that was read (checksum mismatch, a
//    file ending early, or an older version), a copy of that file is kept as
//    "GameData.dat.bad" or "GameData.dat.old" before the next save replaces
//    it; when no copy can be made, Save is blocked instead. The file itself
//    is left as it is.
//  - A newer file is refused (0) and left where it is; a file that exists but
//    cannot be read is refused and left alone.
//  - After a Load that refused a file, Save writes nothing and returns 0
//    until a Load succeeds.
//  - Save returns 1 only when the whole file was written (through a
//    temporary file renamed over the old one); otherwise 0, old file kept.
#pragma once

#include "game/data/SaveFile.h"

#include "engine/core/Types.h"
#include "engine/core/ValueBase.h"

#include <string>
#include <vector>

// Three 32-bit values stored for one (player j, colour k) of a character; the
// selection scenes keep the chosen spirit orbs there. All zero: none stored.
struct GameDataItem {
    u32 value[3];
};
static_assert(sizeof(GameDataItem) == 12);

inline constexpr u32 kGameDataPlayers = 4;
inline constexpr u32 kGameDataColours = 2;

// One character: item (j, k) at byte offset j x 24 + k x 12.
struct GameDataEntry {
    GameDataItem item[kGameDataPlayers][kGameDataColours];
};
static_assert(sizeof(GameDataEntry) == 96);

class CSaveData : public CValueBase {
    ORV_VALUE_CLASS(CSaveData)
public:
    static constexpr u32 kVersion = 0x13002000;
    static constexpr u32 kMinRecordCount = 18;
    static constexpr u32 kFlagCount = 256;
    static constexpr u32 kTableCount = 5;
    static constexpr u32 kTableBytes = kFlagCount * 4;
    static constexpr const char* kFileName = "GameData.dat";

    enum Table : u32 {
        kUnlock = 0,        // unlock flags (spirit orbs obtained)
        kUnlockShown = 1,   // unlock flags already shown to the player
        kReward = 2,        // adventure reward flags (node open)
        kRewardShown = 3,   // adventure reward flags already shown
        kClear = 4,         // adventure clear flags
    };

    // Everything zero, no records, until SetDefaults or Load.
    CSaveData() = default;
    CSaveData(const CSaveData& other) = default;   // the copy owns its own records
    CSaveData& operator=(const CSaveData& other) = default;
    ~CSaveData() override = default;

    // Frees the record array (count 0). Returns 1.
    virtual i32 Release();

    // Reads GameData.dat (see the top of this file). A missing file gets the
    // defaults and is written: the result is then Save's. 1 on success.
    i32 Load();
    // Writes the whole file; 1 when it was written, else 0.
    i32 Save();
    // 18 zero records; tables 0 and 1 hold the twelve first unlocks, table 2
    // entry 0 is set, tables 3 and 4 are clear; the adventure word stays.
    i32 SetDefaults();

    // Flags: indices 0..255; outside, getters give 0 and setters return 0
    // and change nothing.
    u32 GetFlag(u32 table, i32 index) const;
    i32 SetFlag(u32 table, i32 index, u32 value);

    u32 GetUnlockFlag(i32 index) const { return GetFlag(kUnlock, index); }
    i32 SetUnlockFlag(i32 index, u32 value) { return SetFlag(kUnlock, index, value); }
    u32 GetShownUnlockFlag(i32 index) const { return GetFlag(kUnlockShown, index); }
    // 1 when the unlock table differs from its shown copy.
    i32 HasUnshownUnlockFlags() const { return TablesDiffer(kUnlock, kUnlockShown); }
    // Copies the unlock table into its shown copy.
    void MarkUnlockFlagsShown() { CopyTable(kUnlock, kUnlockShown); }

    u32 GetAdventureRewardFlag(i32 index) const { return GetFlag(kReward, index); }
    i32 SetAdventureRewardFlag(i32 index, u32 value) { return SetFlag(kReward, index, value); }
    u32 GetShownAdventureRewardFlag(i32 index) const { return GetFlag(kRewardShown, index); }
    i32 HasUnshownAdventureRewardFlags() const { return TablesDiffer(kReward, kRewardShown); }
    void MarkAdventureRewardFlagsShown() { CopyTable(kReward, kRewardShown); }

    u32 GetAdventureClearFlag(i32 index) const { return GetFlag(kClear, index); }
    i32 SetAdventureClearFlag(i32 index, u32 value) { return SetFlag(kClear, index, value); }

    // The adventure word: 1 once the adventure scene has shown its completion.
    u32 GetAdventureWord() const { return m_adventureWord; }
    void SetAdventureWord(u32 value) { m_adventureWord = value; }
    i32 IsAdventureCompleteShown() const { return m_adventureWord != 0; }
    void SetAdventureCompleteShown() { m_adventureWord = 1; }

    u32 GetRecordCount() const { return u32(m_records.size()); }
    // Item (player, colour) of a character; null when an argument is out of
    // range (character below the record count, player 0..3, colour 0..1).
    const GameDataItem* GetSkillSet(i32 character, i32 player, i32 colour) const;
    // Stores the item; 0 when an argument is out of range.
    i32 SetSkillSet(i32 character, i32 player, i32 colour, const GameDataItem& item);

private:

    i32 TablesDiffer(u32 a, u32 b) const;
    void CopyTable(u32 from, u32 to);
    save_file::Parsed Parse(const std::string& bytes);
    std::string Serialize() const;

    std::vector<GameDataEntry> m_records;
    u32 m_tables[kTableCount][kFlagCount] = {};
    u32 m_adventureWord = 0;
    // Set when Load refuses a file, cleared by a successful Load; Save
    // refuses while it is set.
    bool m_loadFailed = false;
};
