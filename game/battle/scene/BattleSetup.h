// The battle set-up record: who fights (one CBattleEntry per fighter), with
// which options (CBattleOption), in which mode, and what a network battle or
// a story, adventure or survival run carries along. The selection scenes
// fill it, the battle scene owns it while the battle runs and hands it on.
//
// Replays and peers carry the entries and the option as byte-exact
// little-endian records (104 and 52 bytes), and the set-up as
//   u32 participant count, u32 local entry, count entries, the option.
// Those bytes come from outside: every value that indexes a table is
// checked when they are read, and a refused record changes nothing.
#pragma once

#include "engine/core/Types.h"

#include <cstddef>
#include <memory>
#include <string>

class ILobbyRoom;
class ILockstepTransport;
class CSaveConfig;
class CTensionFile;

// What a story, adventure or survival run keeps in the set-up; the set-up
// deletes it.
class CBattleProgress {
public:
    virtual ~CBattleProgress() = default;
};

// One fighter. The words marked "handed on" mean something to the
// character only; the record carries them.
struct CBattleEntry {
    // Kinds: 0..3 human player 1..4, 4 computer, 5 none (or a peer that left).
    static constexpr u32 kKindComputer = 4;
    static constexpr u32 kKindNone = 5;
    static constexpr u32 kRandomCharacter = 18;   // characters are 0..17
    static constexpr u32 kVariantCount = 2;       // the A and B shot choice
    static constexpr u32 kTeamCount = 4;
    static constexpr u32 kFactorLevels = 5;       // {3.0, 2.5, 2.0, 1.5, 1.0}
    static constexpr u32 kNameBytes = 32;

    // Player 1, random character, factor level 4, flag 1, the rest zero.
    CBattleEntry();

    u32 kind;
    u32 character;
    u32 drawnCharacter;        // used when character is 18
    u32 team;
    u32 variant;
    u32 drawnVariant;          // used when character is 18
    u32 factorLevel;
    u32 characterWords[2];     // handed on
    u32 ownMusic;              // music slot a computer fighter follows
    u32 orbs[3];               // the fighter's skill numbers: 1-based in the skill list, 0 none
    u32 flag;                  // handed on
    u32 lockOnType;
    u8 radarType;
    u8 cameraSide;
    u8 guardCorrection;
    u8 reservedByte;
    u32 reserved;              // the set-up's reserved word
    char name[kNameBytes];     // player name (network), NUL-terminated
    u32 spare;

    // The character and variant the battle builds: the drawn ones when the
    // character is random.
    u32 UsedCharacter() const { return character == kRandomCharacter ? drawnCharacter : character; }
    u32 UsedVariant() const { return character == kRandomCharacter ? drawnVariant : variant; }
};
static_assert(sizeof(CBattleEntry) == 104);

struct CBattleOption {
    static constexpr u32 kRandomStage = 19;   // stages are 0..18
    static constexpr u32 kRandomMusic = 51;   // music slots are 0..50
    static constexpr u32 kTimeSettings = 7;   // {100, 200, 300, 400, 500, 600, 1000} s
    static constexpr u32 kInputDelays = 5;    // {3, 4, 5, 6, 8} frames
    // The option screen's "Point" row runs 0..4; a record may carry more.
    static constexpr u32 kMaxExtraLives = 4;

    // The defaults; the random seed from the clock.
    CBattleOption();

    u32 stage;
    u32 drawnStage;
    u32 music;
    u32 drawnMusic;
    u32 livesRule;
    u32 extraLives;
    u32 timeSetting;
    u32 computerLevel;
    u32 sharedGroupBullets;
    u32 characterSetting;
    u32 ownTension;
    u32 randomSeed;
    u32 inputDelay;            // only its low byte counts

    // The stage and music the battle uses: the drawn ones for random.
    u32 UsedStage() const { return stage == kRandomStage ? drawnStage : stage; }
    u32 UsedMusic() const { return music == kRandomMusic ? drawnMusic : music; }
    u32 InputDelayFrames() const;
    u32 TimeLimitSeconds() const;
};
static_assert(sizeof(CBattleOption) == 52);

class CBattleSetup {
public:
    static constexpr u32 kEntryCount = 4;

    // Four entries (player 1, then three computers on teams 0..3), the
    // default option, four empty tension files, replays recorded. Lock-on,
    // radar, camera side and guard correction come from config's game
    // section (zero without one); reserved goes to word 28 and each entry.
    explicit CBattleSetup(CSaveConfig* config = nullptr, u32 reservedWord = 0);
    ~CBattleSetup();
    CBattleSetup(const CBattleSetup&) = delete;
    CBattleSetup& operator=(const CBattleSetup&) = delete;

    CBattleEntry* GetEntry(u32 i) { return i < count ? &entries[i] : nullptr; }
    const CBattleEntry* GetEntry(u32 i) const { return i < count ? &entries[i] : nullptr; }
    CTensionFile* GetTensionFile(u32 i);
    // Deletes the progress object held before.
    void SetProgress(CBattleProgress* progress);
    CBattleProgress* GetProgress() const { return progress.get(); }

    u32 count = kEntryCount;
    u32 localEntry = 0;
    std::unique_ptr<CBattleEntry[]> entries;
    CBattleOption option;
    // Network play: the peer host every peer message goes out through, and
    // the lobby client (room members, chat); neither owned.
    ILockstepTransport* netHost = nullptr;
    ILobbyRoom* lobbyClient = nullptr;
    std::unique_ptr<CTensionFile[]> tensionFiles;
    u32 recordReplay = 1;
    u32 replayMode = 0;
    u32 replayNumber = 0;
    u32 trainingMode = 0;
    u32 tutorialMode = 0;
    u32 survivalMode = 0;
    u32 networkMode = 0;
    u32 storyMode = 0;
    u32 adventureMode = 0;
    u32 reserved = 0;
    std::unique_ptr<CBattleProgress> progress;
};

// -- The carried records. --

enum class BattleRecordError {
    kNone,
    kTooShort,
    kCount,           // participant count other than 4
    kLocalEntry,
    kKind,
    kCharacter,
    kDrawnCharacter,
    kTeam,
    kVariant,
    kDrawnVariant,
    kFactorLevel,
    kName,            // no NUL within its 32 bytes
    kStage,
    kDrawnStage,
    kMusic,
    kDrawnMusic,
    kTimeSetting,
    kInputDelay,
};

// A sentence for the refusal (English, for logs and tests).
const char* DescribeBattleRecordError(BattleRecordError error);

inline constexpr size_t kBattleEntryBytes = 104;
inline constexpr size_t kBattleOptionBytes = 52;
// Count, local entry, four entries, the option.
inline constexpr size_t kBattleSetupBytes = 8 + CBattleSetup::kEntryCount * kBattleEntryBytes + kBattleOptionBytes;

void WriteBattleEntry(const CBattleEntry& entry, u8* out);
void WriteBattleOption(const CBattleOption& option, u8* out);
// The set-up's carried part: count, local entry, entries, option.
std::string WriteBattleSetup(const CBattleSetup& setup);
// The same naming another local entry.
std::string WriteBattleSetup(const CBattleSetup& setup, u32 localEntry);

// Each reads size bytes at data; on success the destination takes the
// record, on refusal it is untouched. ReadBattleSetup replaces the count,
// local entry, entries and option of setup and reports the bytes it used.
BattleRecordError ReadBattleEntry(const u8* data, size_t size, CBattleEntry* out);
BattleRecordError ReadBattleOption(const u8* data, size_t size, CBattleOption* out);
BattleRecordError ReadBattleSetup(const u8* data, size_t size, CBattleSetup* setup, size_t* used = nullptr);
