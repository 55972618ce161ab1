// CSaveConfig: the saved configuration GameConfig.dat, written
// by the configuration tool and read by the game; and GetUserDataDirectory,
// the per-user folder that every save file, replay and screenshot shares.
//
// The file, little-endian:
//
//   u32 version 0x13001000
//   u32 20,  ConfigGraphics        u32 40, ConfigGame
//   u32 472, ConfigNetwork         (its allow count A and deny count D)
//   A x IpAddressEntry (allow)     D x IpAddressEntry (deny)
//   u32 124, ConfigReplay          u32 5200, ConfigBgm
//   u32 496, ConfigKeyAssign       u32 492, ConfigRadioChat
//
// 6876 bytes with empty lists. Each section is stored behind its size, so a
// file written with a shorter section (an older version) loads with the
// defaults in the fields it lacks.
//
// Hardening against damaged or crafted files:
//  - A file that ends early (a section size, an allow or deny count or any
//    field reaching past its end) loads: what it holds is read over the
//    defaults and the rest keeps them (a section cut inside takes the bytes
//    that are there, a list the whole entries that are there). Load returns 1
//    and a copy of the file is kept as "GameConfig.dat.bad" before the next
//    save replaces it; when no copy can be made, Save is blocked instead. A
//    section stored larger than its record is read up to the record's size
//    and the rest passed over; a list never takes more than the file holds.
//  - A newer file is refused (0) and left where it is.
//  - A file that exists but cannot be read is refused (0) and left alone; it
//    is not replaced by the defaults.
//  - After a Load that refused a file (newer or unreadable), Save
//    writes nothing and returns 0 until a Load succeeds: saving the record
//    that failed to load would overwrite the user's (or a newer version's)
//    file, for instance from the game's exit after its start-up failed.
//  - Save returns 1 only when the whole file was written (through a
//    temporary file renamed over the old one); otherwise 0, old file kept.
//  - Save stores the real lengths of the allow and deny lists as their
//    counts, whatever the network section's count fields were set to.
#pragma once

#include "game/data/SaveFile.h"

#include "engine/core/Types.h"
#include "engine/core/ValueBase.h"

#include <cstddef>
#include <string>
#include <vector>

// ---------------------------------------------------------------- folder

// The folder name of the save files, replays and screenshots.
inline constexpr const char* kSaveFolderName = "ORV";
// The folder under the parent of the TEMP folder that holds it.
inline constexpr const char* kUserDataRootName = "Vantorel";

// Builds "<parent of TEMP>/Vantorel/<folderName>/" into buffer (zeroed over
// its full size first), creating both folders. 1, or 0 when an argument is
// missing, no TEMP folder is known, the result (with its NUL) does not fit
// bufferSize, or the folder cannot be created (then buffer holds nothing).
i32 GetUserDataDirectory(char* buffer, const char* folderName, u32 bufferSize);
// The same as a string; empty on failure.
std::string GetUserDataDirectory(const char* folderName);

// ---------------------------------------------------------------- records

inline constexpr u32 kScreenSizeCount = 12;
struct ScreenSize {
    u32 width, height;
};
// The screen-size table shared by the screen size and the screenshot size.
inline constexpr ScreenSize kScreenSizes[kScreenSizeCount] = {
    {640, 480},  {800, 600},   {1024, 768},  {1280, 960},  {1600, 1200}, {720, 480},
    {1024, 600}, {1280, 720},  {1920, 1080}, {1440, 900},  {1680, 1050}, {1920, 1200},
};

// An IPv4 address as the address dialog writes it: four 4-byte NUL-terminated
// texts, one per octet, each up to three digits or "*".
struct IpAddressEntry {
    char octet[4][4];
};
static_assert(sizeof(IpAddressEntry) == 16);

struct ConfigGraphics {
    u8 screenSize;        // index into kScreenSizes
    u8 reserved0[3];
    u32 fullScreen;
    u32 movieDisplay;
    u8 hdrLevel;          // 0 none, 1..4
    u8 reserved1[3];
    u32 traceQuality;     // 0 none .. 4 highest
};
static_assert(sizeof(ConfigGraphics) == 20);

struct ConfigGame {
    u32 screenShake;
    u32 padVibration;
    i32 bgmVolume;        // hundredths of a decibel, -3000..0
    i32 seVolume;
    i32 voiceVolume;
    u32 voicePlay;
    u32 lockOnType;       // 0 front, 1 distance, 2 camera front, 3 in turn
    u8 radarType;         // 0 fixed, 1 rotating
    u8 cameraSide;        // 0 left, 1 right
    u8 guardCorrection;
    u8 arcadeDifficulty;  // 0 Easy .. 3 Expert
    u32 screenshot;
    u8 screenshotSize;    // index into kScreenSizes
    u8 reserved[3];
};
static_assert(sizeof(ConfigGame) == 40);

inline constexpr u32 kConnectIpCount = 24;

struct ConfigNetwork {
    u16 port;             // TCP game port
    u8 reserved0[2];
    u32 useUpnp;
    u8 keyResponse;       // 0..4, the battle's input-delay setting
    char lobbyId[33];
    char connectId[33];   // the ID used when connecting by address
    IpAddressEntry connect[kConnectIpCount];
    u8 reserved1;
    u32 allowCount;       // mirrors the allow list; Save writes the real length
    u32 denyCount;        // mirrors the deny list
    u32 playBgm;
};
static_assert(sizeof(ConfigNetwork) == 472);
static_assert(offsetof(ConfigNetwork, connect) == 75 && offsetof(ConfigNetwork, allowCount) == 460);

inline constexpr u32 kReplaySlotCount = 30;

struct ConfigReplay {
    u32 saveReplays;
    u32 locked[kReplaySlotCount];   // slots 1..30; a locked slot is never overwritten
};
static_assert(sizeof(ConfigReplay) == 124);

inline constexpr u32 kUserBgmCount = 10;
inline constexpr u32 kBgmPathSize = 260;

struct ConfigBgmRow {
    char bgmPath[kBgmPathSize];
    char tensionPath[kBgmPathSize];
};
struct ConfigBgm {
    ConfigBgmRow rows[kUserBgmCount];
};
static_assert(sizeof(ConfigBgm) == 5200);

inline constexpr u32 kKeyActionCount = 24;
inline constexpr u32 kPadPlayerCount = 4;

struct ConfigPadAssign {
    u32 button[kKeyActionCount];
    u8 controller;        // index of the game controller the player uses
    u8 reserved[3];
};
struct ConfigKeyAssign {
    u32 keyboard[kKeyActionCount];   // DirectInput key codes
    ConfigPadAssign pads[kPadPlayerCount];
};
static_assert(sizeof(ConfigPadAssign) == 100 && sizeof(ConfigKeyAssign) == 496);

inline constexpr u32 kRadioChatCount = 12;

struct ConfigRadioChatEntry {
    u8 destination;       // 0 to everyone, 1 not to everyone
    char message[40];
};
struct ConfigRadioChat {
    ConfigRadioChatEntry entries[kRadioChatCount];   // F1..F12
};
static_assert(sizeof(ConfigRadioChatEntry) == 41 && sizeof(ConfigRadioChat) == 492);

// ---------------------------------------------------------------- store

class CSaveConfig : public CValueBase {
    ORV_VALUE_CLASS(CSaveConfig)
public:
    static constexpr u32 kVersion = 0x13001000;
    // Files of this version keep only graphics, game, BGM and key settings.
    static constexpr u32 kVersionFirst = 0x10001000;
    static constexpr const char* kFileName = "GameConfig.dat";

    // Every section zero, both lists empty; the defaults come with Load.
    CSaveConfig();
    CSaveConfig(const CSaveConfig& other) = default;   // the copy owns its own lists
    CSaveConfig& operator=(const CSaveConfig& other) = default;
    ~CSaveConfig() override = default;

    // Frees both address lists (counts 0). Returns 1.
    virtual i32 Release();

    // Reads GameConfig.dat (see the top of this file). A missing file gets
    // the defaults and is written: the result is then Save's. 1 on success.
    i32 Load();
    // Writes the whole file; 1 when it was written, else 0.
    i32 Save();

    i32 SetDefaultGraphics();
    i32 SetDefaultGame();
    // Also empties both address lists.
    i32 SetDefaultNetwork();
    i32 SetDefaultReplay();
    i32 SetDefaultBgm();
    // The keyboard, then the pads of players 0..3.
    i32 SetDefaultKeyAssign();
    i32 SetDefaultKeyboard();
    // Player p's buttons 0..23 in action order, controller p; 0 for p outside 0..3.
    i32 SetDefaultPad(i32 player);
    i32 SetDefaultRadioChat();

    // The sections, read and edited in place.
    ConfigGraphics* GetGraphicsSettings() { return &m_graphics; }
    ConfigGame* GetGameSettings() { return &m_game; }
    ConfigNetwork* GetNetworkSettings() { return &m_network; }
    ConfigReplay* GetReplaySection() { return &m_replay; }
    ConfigBgm* GetBgmSection() { return &m_bgm; }
    ConfigKeyAssign* GetKeyConfigSection() { return &m_keys; }
    ConfigRadioChat* GetRadioChatSection() { return &m_radioChat; }

    // The volumes in hundredths of a decibel; -3000 or below reads as -10000.
    i32 GetBgmVolume() const { return Audible(m_game.bgmVolume); }
    i32 GetSeVolume() const { return Audible(m_game.seVolume); }
    i32 GetVoiceVolume() const { return Audible(m_game.voiceVolume); }

    // Connect list: fills the first empty entry (1), or 0 when all 24 are used.
    i32 AddConnectIp(const IpAddressEntry& entry);
    // Moves entries i+1..23 down and clears entry 23; 0 for i outside 0..23.
    i32 RemoveConnectIp(i32 index);
    // True when all four octet texts read as the number 0.
    static bool IsEmptyIp(const IpAddressEntry& entry);

    // Allow and deny lists: append a copy (0 when memory runs out, list
    // unchanged); remove entry i keeping the order (0 for i outside the list).
    i32 AddAllowIp(const IpAddressEntry& entry);
    i32 AddDenyIp(const IpAddressEntry& entry);
    i32 RemoveAllowIp(i32 index);
    i32 RemoveDenyIp(i32 index);
    // Entry i, or null for i outside the list.
    IpAddressEntry* GetAllowIp(i32 index);
    IpAddressEntry* GetDenyIp(i32 index);
    u32 GetAllowCount() const { return u32(m_allow.size()); }
    u32 GetDenyCount() const { return u32(m_deny.size()); }

    // The file's bytes as Save would write them now (a tool compares them
    // with what it loaded to tell whether anything changed).
    std::string Bytes() const { return Serialize(); }

private:

    static i32 Audible(i32 volume) { return volume <= -3000 ? -10000 : volume; }
    void SetAllDefaults();
    save_file::Parsed Parse(const std::string& bytes);
    std::string Serialize() const;
    void SyncListCounts();

    ConfigGraphics m_graphics{};
    ConfigGame m_game{};
    ConfigNetwork m_network{};
    ConfigReplay m_replay{};
    ConfigBgm m_bgm{};
    ConfigKeyAssign m_keys{};
    ConfigRadioChat m_radioChat{};
    std::vector<IpAddressEntry> m_allow;
    std::vector<IpAddressEntry> m_deny;
    // Set when Load refuses a file, cleared by a successful Load; Save
    // refuses while it is set.
    bool m_loadFailed = false;
};
