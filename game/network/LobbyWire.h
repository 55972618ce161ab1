// The lobby server's wire: scrambling, message headers, the client's message
// writer, and one checked reader per server message the client acts on.
//
// Client to server: 0x02, the 8-byte header {u16 type, u16 0, u32 n}, n
// payload bytes, 0x03. Server to client: the 8-byte header {u16 type, u16
// status, u32 n} and n payload bytes. Headers are scrambled with the fixed
// header key, payloads with the current payload key (the initial one until
// the handshake hands out another); the start and end bytes go plain.
//
// Every reader checks the bytes present before it reads a field and fills a
// record the client can apply whole; a refused message changes nothing.
// Names and profiles come as UTF-8 and are kept in code page 932, each cut
// at a character boundary inside its field and terminated.
#pragma once

#include "engine/core/Endian.h"
#include "engine/core/Types.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace lobby {

// The protocol's constants, shared with the test server.
inline constexpr u8 kHeaderKey = 0x6B;
inline constexpr u8 kInitialPayloadKey = 0x3D;
extern const u8 kScrambleTable[256];

// byte[i] ^= table[i % 256] ^ key: its own inverse. The table index counts
// from the first byte given.
void ScrambleLobby(u8* bytes, size_t count, u8 key);

inline constexpr u8 kStartByte = 0x02;
inline constexpr u8 kEndByte = 0x03;
inline constexpr u32 kHeaderBytes = 8;
// The most the client holds of one message; the client reads past a longer
// one and drops it (a user detail keeps its fields, not its picture).
inline constexpr u32 kMaxPayload = 1u << 20;

inline constexpr u16 kStatusSuccess = 1;
inline constexpr u16 kStatusFailure = 2;

// Record sizes.
inline constexpr u32 kEntryBytes = 41;         // user and room entries
inline constexpr u32 kNameBytes = 25;          // entry byte 4
inline constexpr u32 kProfileBytes = 257;      // detail byte 41
inline constexpr u32 kUserDetailBytes = 318;   // the picture follows
inline constexpr u32 kUserDataBytes = 383;
inline constexpr u32 kRoomDataBytes = 814;
inline constexpr u32 kJoinBytes = 822;         // room detail, address, port
inline constexpr u32 kMemberBlockAt = 443;     // in the room data
inline constexpr u32 kMemberBlockBytes = 370;  // room data 443..812
inline constexpr u32 kChatLineBytes = 281;
inline constexpr u32 kChatSpeakerBytes = 25;    // the text follows
inline constexpr u32 kLoginBytes = 60;
inline constexpr u32 kMaxMembers = 8;          // host entry and seven members

// Room data offsets.
inline constexpr u32 kRoomStateAt = 25;
inline constexpr u32 kMemberLimitAt = 41;
inline constexpr u32 kHostEntryAt = 445;
inline constexpr u32 kMemberEntriesAt = 486;
// Member entries the room data holds after the host's: its count may name
// more, and a reader stops here.
inline constexpr u32 kRecordMembers = (kRoomDataBytes - kMemberEntriesAt) / kEntryBytes;

// User data offsets (the entry's bytes from 1, the detail's from 1).
inline constexpr u32 kUserIdAt = 1;
inline constexpr u32 kUserNameAt = 5;
inline constexpr u32 kListNumberAt = 30;
inline constexpr u32 kProfileAt = 42;
inline constexpr u32 kLoginAt = 319;      // 54 bytes of login block
inline constexpr u32 kPeerPortAt = 373;
inline constexpr u32 kLocalAddressAt = 375;

// Server message types the client acts on.
enum ServerType : u16 {
    kHandshake = 100,
    kLoginResult = 1001,
    kRoomsAdded = 1002,
    kRoomRemoved = 1003,
    kRoomDetail = 1004,
    kJoinAccepted = 1005,
    kRoomDetailPassword = 1006,
    kMemberBlock = 1007,
    kRoomsChanged = 1008,
    kRoomDetailAsked = 1009,
    kUsersAdded = 1010,
    kRoomsState = 1011,
    kUsersChanged = 1012,
    kUserRemoved = 1013,
    kMemberBlockKick = 1014,
    kUserDetail = 1015,
    kUsersResult = 1016,
    kLobbyChat = 1020,
    kLineTestRequest = 1023,
    kKeepAlive = 1024,
};

struct LobbyMessageHeader {
    u16 type = 0;
    u16 status = 0;   // the client sends 0
    u32 length = 0;
};

// Plain (not scrambled) header bytes.
void WriteHeader(const LobbyMessageHeader& header, u8 out[kHeaderBytes]);
LobbyMessageHeader ReadHeader(const u8 in[kHeaderBytes]);

// A whole client message, scrambled, ready for the socket (n + 10 bytes).
std::vector<u8> WriteClientMessage(u16 type, const void* payload, u32 n, u8 payloadKey);
// A whole server message, scrambled (n + 8 bytes): the test server's writer.
std::vector<u8> WriteServerMessage(u16 type, u16 status, const void* payload, u32 n, u8 payloadKey);

// The test server's reader of the client's stream: one message from the
// front of bytes. kMore: not all there yet; kBad: no start or end byte, or
// a length over kMaxPayload.
enum class FrameResult { kMessage, kMore, kBad };
struct ClientFrame {
    u16 type = 0;
    std::vector<u8> payload;   // unscrambled
    size_t consumed = 0;
};
FrameResult ReadClientFrame(const u8* bytes, size_t size, u8 payloadKey, ClientFrame* out);

// Why a server message was refused.
enum class WireError : u8 {
    kNone,
    kShort,         // fewer bytes than its fields need
    kTooLong,       // a length over kMaxPayload
    kBadPicture,    // the picture length runs past the message
};
const char* WireErrorText(WireError error);

// Bytes a server message of that type and status needs before any field is
// read (0 for types read by whole entries or not read at all).
u32 RequiredBytes(u16 type, u16 status);

// A UTF-8 text of at most fieldBytes (up to its first zero) as code page 932
// in a zero-filled field of fieldBytes, cut at a character boundary so the
// last byte stays zero.
void ConvertNameField(const u8* utf8, u32 fieldBytes, u8* out);

struct Handshake {
    bool tilde = false;   // payload byte 0 is '~'
    u8 payloadKey = 0;
};
WireError ReadHandshake(const u8* payload, u32 n, Handshake* out);

// 1003, 1013: the u32 id.
WireError ReadId(const u8* payload, u32 n, u32* out);

// 1023: where the line test goes.
struct LineTestRequest {
    u32 address = 0;   // network order
    u32 port = 0;
};
WireError ReadLineTestRequest(const u8* payload, u32 n, LineTestRequest* out);

// 1020: the speaker (25 bytes) and the text (256), each terminated and cut
// inside its field.
WireError ReadChatLine(const u8* payload, u32 n, char out[kChatLineBytes]);

// A user's picture: the image file's bytes and the texture made from them
// (LobbyUserPicture.h). Built whole, then never changed, so a copy of the
// record taken under the client's lock can draw it while the receive thread
// replaces it.
struct LobbyPicture;

// A user's 383 data bytes as the list keeps them. Bytes 1..41 come from an
// entry, 1..318 from a detail; name and profile converted in place.
struct LobbyUserRecord {
    u8 data[kUserDataBytes] = {};
    std::shared_ptr<const LobbyPicture> picture;

    // Replaces the picture with size bytes of an image file and a texture
    // named after the user (LobbyUserPicture.cpp). Null bytes, or more than
    // a detail carries: 0, nothing changes. Size 0: the picture goes, 0.
    // Otherwise the load's result; a picture not decoded (its header past
    // the loader's limits or unreadable) or not loaded keeps the bytes with
    // an empty texture.
    i32 SetPicture(const u8* bytes, u32 size);
    void ReleasePicture() { picture.reset(); }
    u32 PictureBytes() const;

    u32 Id() const;
    u32 ListNumber() const;
    const char* Name() const { return reinterpret_cast<const char*>(data + kUserNameAt); }
};

// 1010, 1012, 1016: n / 41 entries, each as user data bytes 0..41.
struct UserEntry {
    u32 id = 0;
    bool emptyName = false;   // skipped by the client
    u32 listNumber = 0;
    u8 data[1 + kEntryBytes] = {};   // user data bytes 0..41, name converted
};
void ReadUserEntries(const u8* payload, u32 n, std::vector<UserEntry>* out);

// 1001 (success) and 1015: the first 318 bytes as user data 1..318; for 1015
// the picture that follows (its i32 length at 314; zero or negative: none,
// and the user keeps the picture he had).
struct UserDetail {
    u32 id = 0;
    u8 data[1 + kUserDetailBytes] = {};   // user data bytes 0..318
    const u8* picture = nullptr;          // inside the payload
    u32 pictureBytes = 0;
};
WireError ReadUserDetail(const u8* payload, u32 n, bool withPicture, UserDetail* out);

// A room's 814 data bytes as the list keeps them.
struct LobbyRoomRecord {
    u8 data[kRoomDataBytes] = {};

    u32 Id() const;
    u32 State() const;
    i16 MemberCount() const;
    u16 MemberLimit() const;
    // The user is the host entry or one of the count's member entries (as
    // many of them as the record holds).
    bool HasMember(u32 userId) const;
};

// 1002, 1008, 1011: n / 41 room entries.
struct RoomEntry {
    u32 id = 0;
    u32 state = 0;
    u8 bytes[kEntryBytes] = {};
};
void ReadRoomEntries(const u8* payload, u32 n, std::vector<RoomEntry>* out);

// 1004, 1006, 1009 (814 bytes) and 1005 (822: then the host's address and
// port). The member count is kept as sent, whatever it says: its readers
// stop at the entries the record holds.
struct RoomDetail {
    u32 id = 0;
    u8 data[kRoomDataBytes] = {};
    u32 joinAddress = 0;
    u32 joinPort = 0;
};
WireError ReadRoomDetail(const u8* payload, u32 n, bool join, RoomDetail* out);

// 1007, 1014: room data bytes 443..812.
struct MemberBlock {
    u8 bytes[kMemberBlockBytes] = {};
};
WireError ReadMemberBlock(const u8* payload, u32 n, MemberBlock* out);

// The 60-byte login payload: the login block (text and its u32 at 50), the
// peer port and the local address.
std::vector<u8> WriteLogin(const char* loginText, u32 loginWord, u16 peerPort, u32 localAddress);


}  // namespace lobby
