// The peer messages of the hosted selects and the room chat line. Every body
// comes from another machine: each reader checks the length against the
// bytes present and every value that indexes a layer, an entry or a table,
// and fills its record only when all of it is sound.
//
//   10001 card         116  the card's 26 entry words, u32 sender's slot,
//                           u32 card slot, u32 ready flag
//   10002 option        56  the 52-byte battle option (byte 48 the host's
//                           key response), u32 sender's entry (0)
//   10003 player data  25 + n + 12k  u32 entry, u32 n, n bytes of name and a
//                           zero, f32 loop start, f32 finale mark, f32
//                           finale length, u32 k, k x {f32 time, f32 ease,
//                           i32 level 0..3}
//   10004 proceed, 10005 leave, 10009 a peer left: one u32 (the entry that
//                           left, for 10009)
#pragma once

#include "engine/core/Types.h"
#include "game/battle/scene/BattleSetup.h"

#include <array>
#include <string>
#include <vector>

class CTensionFile;

namespace select_net {

inline constexpr u32 kMsgCard = 10001;
inline constexpr u32 kMsgOption = 10002;
inline constexpr u32 kMsgPlayerData = 10003;
inline constexpr u32 kMsgProceed = 10004;
inline constexpr u32 kMsgLeave = 10005;
inline constexpr u32 kMsgPeerLeft = 10009;

inline constexpr u32 kCardBytes = 116;
inline constexpr u32 kCardWords = 26;
inline constexpr u32 kOptionBytes = 56;
inline constexpr u32 kWordBytes = 4;
// The largest body the peer protocol sends in one piece.
inline constexpr u32 kPeerBodyLimit = 1404;
inline constexpr u32 kPlayerDataFixedBytes = 25;
inline constexpr u32 kTensionKeyBytes = 12;
inline constexpr u32 kMaxNameBytes = 40;
inline constexpr u32 kChatNameBytes = 25;
inline constexpr u32 kChatTextBytes = 256;
inline constexpr u32 kChatLineBytes = kChatNameBytes + kChatTextBytes;
// The chat line's text input takes at most this many bytes.
inline constexpr u32 kChatInputBytes = 40;

// The body size of a peer message of fixed size; -1 for one of variable
// size (10003, 10007, 10008: its length must come with it), 0 for an id that
// is not a peer message.
i32 FixedBodySize(u32 type);

enum class MessageError {
    kNone,
    kLength,      // the length is not the body's
    kSlot,        // card slot or entry outside 0..3
    kSender,      // sender's slot outside 0..3
    kEntry,       // the entry words (kind, character, team, type, hand, music, name)
    kColour,
    kComputerLevel,
    kCpuSkill,
    kReady,
    kOption,      // a word of the option outside its row's values
    kName,        // player data: name of 1..40 bytes ending in its zero
    kLevel,       // a tension level outside 0..3
    kTime,        // a time or ease that is not a finite number
};
const char* DescribeMessageError(MessageError error);

// -- 10001 --

struct CardMessage {
    u32 words[kCardWords] = {};
    u32 sender = 0;
    u32 slot = 0;
    u32 ready = 0;
};
std::array<u8, kCardBytes> WriteCardMessage(const CardMessage& message);
// An orb past the receiver's skill list is taken: its card shows none.
MessageError ReadCardMessage(const u8* data, u32 length, CardMessage* out);

// -- 10002 --

std::array<u8, kOptionBytes> WriteOptionMessage(const CBattleOption& option, u32 sender);
// Every word within its row's values, the key response 0..4 (bytes 49..51
// ignored).
MessageError ReadOptionMessage(const u8* data, u32 length, CBattleOption* out);

// -- 10003 --

struct TensionKeyRecord {
    f32 time = 0.0f;
    f32 ease = 0.0f;
    i32 level = 0;
};
struct PlayerData {
    u32 entry = 0;
    std::string name;
    f32 loopStart = 0.0f;
    f32 finaleMark = 0.0f;
    f32 finaleLength = 0.0f;
    std::vector<TensionKeyRecord> keys;
};
// The tension file's name (cut to 40 bytes at a character boundary), times
// and "Tension" track.
PlayerData MakePlayerData(u32 entry, const CTensionFile& tension);
// Exactly 25 + n + 12k bytes.
std::vector<u8> WritePlayerData(const PlayerData& data);
MessageError ReadPlayerData(const u8* data, u32 length, PlayerData* out);
// The name, the three times and a new "Tension" track (looping) of the keys.
void ApplyPlayerData(const PlayerData& data, CTensionFile* to);

// -- 10004, 10005, 10009 --

std::array<u8, kWordBytes> WriteWord(u32 value);
MessageError ReadWord(const u8* data, u32 length, u32* out);
// 10009: the entry that left, below 4.
MessageError ReadPeerLeft(const u8* data, u32 length, u32* entry);

// -- The room chat line --

// The lobby name (25 bytes, not always ending in a zero) cut to 24 bytes
// and the text cut to 255, each at a character boundary, each with its zero.
std::array<u8, kChatLineBytes> MakeChatLine(const char* userName, const char* text);

}  // namespace select_net
