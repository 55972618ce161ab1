// The lockstep's wire records. Every byte of them comes from another
// machine, so each has one checked reader that fills a struct before anything
// uses it, and a writer that lays it out field by field, little-endian.
//
//   FrameRecord (22 bytes)  f32 music time, four 4-byte InputPackets (entries
//                           0..3), u8 frame milliseconds (18..255), u8 count of
//                           the side messages that follow it in a bundle
//   side message            u32 id, u32 length n, n bytes
//   10004 / 10009           u32 end code / u32 entry index that left
//   10006                   u32 entry index that is ready (0 from the host: all)
//   10007                   i8 entry, InputPacket, u8 count k, k side messages
//   10008                   FrameRecord, then its byte-21 side messages
//
// The battle sends one kind of side message, the radio-chat line (id 3, 48
// bytes: 40 bytes of text ended inside them, u32 sender entry, u32 team-only
// flag 0/1). It is the only one a reader accepts: the scene's message
// operation also answers ids that carry pointers (id 0 takes a bullet), and a
// peer must never reach them. The buffers a tick's side messages travel in
// hold 1400 bytes; readers refuse counts and lengths that would not fit them.
#pragma once

#include "engine/core/Types.h"
#include "game/battle/character/InputPacket.h"

#include <cstddef>
#include <string>

// Peer message types of the battle.
inline constexpr u32 kMsgBattleEnd = 10004;
inline constexpr u32 kMsgNetReady = 10006;
inline constexpr u32 kMsgNetInput = 10007;
inline constexpr u32 kMsgFrameBundle = 10008;
inline constexpr u32 kMsgPeerLeft = 10009;

inline constexpr u32 kLockstepEntries = 4;
inline constexpr u32 kMinFrameMs = 18;
inline constexpr u32 kMaxFrameMs = 255;

inline constexpr size_t kFrameRecordBytes = 22;
inline constexpr size_t kInputHeaderBytes = 6;
inline constexpr size_t kSideMessageHeaderBytes = 8;
inline constexpr size_t kStateDataBytes = 256;
// The outgoing input buffer and the host's bundle buffer.
inline constexpr size_t kLockstepBufferBytes = 1400;

inline constexpr u32 kRadioChatId = 3;
inline constexpr u32 kRadioChatBytes = 48;
inline constexpr u32 kRadioChatTextBytes = 40;
inline constexpr size_t kRadioChatMessageBytes = kSideMessageHeaderBytes + kRadioChatBytes;
// Side messages one input or one bundle can carry: both buffers are full at
// 24 radio-chat lines.
inline constexpr u32 kMaxTickMessages = u32((kLockstepBufferBytes - kFrameRecordBytes) / kRadioChatMessageBytes);
static_assert(kMaxTickMessages == (kLockstepBufferBytes - kInputHeaderBytes) / kRadioChatMessageBytes);
static_assert(kMaxTickMessages <= 255, "the counts travel in a byte");

struct FrameRecord {
    f32 musicTime;                          // seconds
    InputPacket inputs[kLockstepEntries];   // one per entry
    u8 frameMs;
    u8 messageCount;
};
static_assert(sizeof(f32) + sizeof(InputPacket) * kLockstepEntries + 2 == kFrameRecordBytes);

// One queued side message.
struct StatePacket {
    u32 id;
    u32 length;
    u8 data[kStateDataBytes];
};
static_assert(sizeof(StatePacket) == 264);

// The body of a radio-chat side message.
struct RadioChatLine {
    char text[kRadioChatTextBytes];   // ends in a NUL inside it
    u32 sender;                       // entry index
    u32 teamOnly;                     // 1: only the sender's team sees it
};

// 10007: one machine's input for one tick and the side messages it sends.
struct NetInputMessage {
    u32 entry;
    InputPacket input;
    u32 messageCount;
    StatePacket messages[kMaxTickMessages];
};

// 10008: one tick for everybody.
struct FrameBundle {
    FrameRecord record;   // record.messageCount == number of messages
    StatePacket messages[kMaxTickMessages];
};

enum class LockstepRecordError {
    kNone,
    kTooShort,        // the bytes end inside the record
    kTrailing,        // bytes left over after the last field the counts name
    kEntry,           // an entry index outside 0..3
    kFrameMs,         // a frame time below 18 ms
    kMusicTime,       // not a finite number
    kMessageCount,    // more side messages than the buffers hold
    kMessageId,       // a side message the battle does not send
    kMessageLength,   // a length other than that id's
    kMessageText,     // radio-chat text not ended inside its 40 bytes
    kMessageSender,   // radio-chat sender outside 0..3
    kMessageFlag,     // radio-chat team-only flag other than 0 or 1
    kType,            // a peer message the lockstep does not take
    kRole,            // a message this machine never receives (wrong direction)
};

// A sentence for the refusal (English, for logs and tests).
const char* DescribeLockstepRecordError(LockstepRecordError error);

// -- Readers. Each reads size bytes at data; on success the destination
// takes the record, on refusal it is untouched. --

// One side message at data; *used takes its bytes (header and body).
LockstepRecordError ReadSideMessage(const u8* data, size_t size, StatePacket* out, size_t* used);
// A side message's body as a radio-chat line (the checks ReadSideMessage
// makes; for bodies that come another way, such as replays).
LockstepRecordError ReadRadioChat(u32 id, const u8* data, size_t size, RadioChatLine* out);
LockstepRecordError ReadFrameRecord(const u8* data, size_t size, FrameRecord* out);
// The whole message: the bytes must end with its last side message.
LockstepRecordError ReadNetInput(const u8* data, size_t size, NetInputMessage* out);
LockstepRecordError ReadFrameBundle(const u8* data, size_t size, FrameBundle* out);
// 10004 and 10009 bodies: exactly one u32.
LockstepRecordError ReadU32Body(const u8* data, size_t size, u32* out);
// 10006 and 10009 bodies: one u32 entry index, 0..3.
LockstepRecordError ReadEntryBody(const u8* data, size_t size, u32* out);

// -- Writers. --

void WriteFrameRecord(const FrameRecord& record, u8* out);   // 22 bytes
// Appends id, length and the packet's first length bytes (at most 256).
void AppendSideMessage(std::string& out, const StatePacket& message);
std::string WriteNetInput(u32 entry, const InputPacket& input, const StatePacket* messages, u32 count);
std::string WriteFrameBundle(const FrameRecord& record, const StatePacket* messages);
std::string WriteU32Body(u32 value);
// A radio-chat side message; the text is cut at a character boundary to
// fit with its NUL.
StatePacket MakeRadioChat(const char* text, u32 sender, u32 teamOnly);
