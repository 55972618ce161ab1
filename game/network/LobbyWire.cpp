#include "game/network/LobbyWire.h"
#include "engine/core/Endian.h"

#include "host/kernel/Kernel.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace lobby {

namespace {

// Our server's table: an LCG's high bytes, fixed once, so both ends agree.
constexpr std::array<u8, 256> MakeTable()
{
    std::array<u8, 256> table{};
    u32 state = 0x4F52564Cu;
    for (u32 i = 0; i < 256; ++i) {
        state = state * 1103515245u + 12345u;
        table[i] = u8(state >> 23);
    }
    return table;
}
constexpr std::array<u8, 256> kTable = MakeTable();

}  // namespace

const u8 kScrambleTable[256] = {
#define ROW(i) \
    kTable[i], kTable[i + 1], kTable[i + 2], kTable[i + 3], kTable[i + 4], kTable[i + 5], kTable[i + 6], kTable[i + 7]
    ROW(0), ROW(8), ROW(16), ROW(24), ROW(32), ROW(40), ROW(48), ROW(56),
    ROW(64), ROW(72), ROW(80), ROW(88), ROW(96), ROW(104), ROW(112), ROW(120),
    ROW(128), ROW(136), ROW(144), ROW(152), ROW(160), ROW(168), ROW(176), ROW(184),
    ROW(192), ROW(200), ROW(208), ROW(216), ROW(224), ROW(232), ROW(240), ROW(248),
#undef ROW
};

void ScrambleLobby(u8* bytes, size_t count, u8 key)
{
    for (size_t i = 0; i < count; ++i) bytes[i] ^= u8(kScrambleTable[i & 0xFF] ^ key);
}

void WriteHeader(const LobbyMessageHeader& header, u8 out[kHeaderBytes])
{
    PutLe16(out, header.type);
    PutLe16(out + 2, header.status);
    PutLe32(out + 4, header.length);
}

LobbyMessageHeader ReadHeader(const u8 in[kHeaderBytes])
{
    return LobbyMessageHeader{GetLe16(in), GetLe16(in + 2), GetLe32(in + 4)};
}

std::vector<u8> WriteClientMessage(u16 type, const void* payload, u32 n, u8 payloadKey)
{
    std::vector<u8> out(size_t(n) + kHeaderBytes + 2);
    out[0] = kStartByte;
    WriteHeader({type, 0, n}, out.data() + 1);
    ScrambleLobby(out.data() + 1, kHeaderBytes, kHeaderKey);
    if (n) std::memcpy(out.data() + 1 + kHeaderBytes, payload, n);
    ScrambleLobby(out.data() + 1 + kHeaderBytes, n, payloadKey);
    out.back() = kEndByte;
    return out;
}

std::vector<u8> WriteServerMessage(u16 type, u16 status, const void* payload, u32 n, u8 payloadKey)
{
    std::vector<u8> out(size_t(n) + kHeaderBytes);
    WriteHeader({type, status, n}, out.data());
    ScrambleLobby(out.data(), kHeaderBytes, kHeaderKey);
    if (n) std::memcpy(out.data() + kHeaderBytes, payload, n);
    ScrambleLobby(out.data() + kHeaderBytes, n, payloadKey);
    return out;
}

FrameResult ReadClientFrame(const u8* bytes, size_t size, u8 payloadKey, ClientFrame* out)
{
    if (size < 1) return FrameResult::kMore;
    if (bytes[0] != kStartByte) return FrameResult::kBad;
    if (size < 1 + kHeaderBytes) return FrameResult::kMore;
    u8 header[kHeaderBytes];
    std::memcpy(header, bytes + 1, kHeaderBytes);
    ScrambleLobby(header, kHeaderBytes, kHeaderKey);
    const LobbyMessageHeader h = ReadHeader(header);
    if (h.length > kMaxPayload) return FrameResult::kBad;
    const size_t total = size_t(h.length) + kHeaderBytes + 2;
    if (size < total) return FrameResult::kMore;
    if (bytes[total - 1] != kEndByte) return FrameResult::kBad;
    out->type = h.type;
    out->payload.assign(bytes + 1 + kHeaderBytes, bytes + 1 + kHeaderBytes + h.length);
    ScrambleLobby(out->payload.data(), out->payload.size(), payloadKey);
    out->consumed = total;
    return FrameResult::kMessage;
}

const char* WireErrorText(WireError error)
{
    switch (error) {
    case WireError::kNone: return "none";
    case WireError::kShort: return "shorter than its fields";
    case WireError::kTooLong: return "length over 1 MiB";
    case WireError::kBadPicture: return "picture length outside the message";
    }
    return "?";
}

u32 RequiredBytes(u16 type, u16 status)
{
    if (status != kStatusSuccess) return 0;
    switch (type) {
    case kHandshake: return 2;
    case kRoomRemoved:
    case kUserRemoved: return 4;
    case kLineTestRequest: return 8;
    case kLobbyChat: return kChatLineBytes;
    case kLoginResult:
    case kUserDetail: return kUserDetailBytes;
    case kMemberBlock:
    case kMemberBlockKick: return kMemberBlockBytes;
    case kRoomDetail:
    case kRoomDetailPassword:
    case kRoomDetailAsked: return kRoomDataBytes;
    case kJoinAccepted: return kJoinBytes;
    default: return 0;
    }
}

void ConvertNameField(const u8* utf8, u32 fieldBytes, u8* out)
{
    const char* text = reinterpret_cast<const char*>(utf8);
    const size_t length = std::find(text, text + fieldBytes, '\0') - text;
    std::memset(out, 0, fieldBytes);
    // Plain ASCII reads the same in both: no conversion (most names).
    if (std::all_of(text, text + length, [](char c) { return u8(c) < 0x80; })) {
        std::memcpy(out, text, std::min<size_t>(length, fieldBytes - 1));
        return;
    }
    const std::string cp932 = host::kernel::Utf8ToCp932(std::string_view(text, length));
    std::memcpy(out, cp932.data(), host::kernel::Cp932Fit(cp932, fieldBytes - 1));
}

WireError ReadHandshake(const u8* payload, u32 n, Handshake* out)
{
    if (n < 2) return WireError::kShort;
    out->tilde = payload[0] == '~';
    out->payloadKey = payload[1];
    return WireError::kNone;
}

WireError ReadId(const u8* payload, u32 n, u32* out)
{
    if (n < 4) return WireError::kShort;
    *out = GetLe32(payload);
    return WireError::kNone;
}

WireError ReadLineTestRequest(const u8* payload, u32 n, LineTestRequest* out)
{
    if (n < 8) return WireError::kShort;
    out->address = GetLe32(payload);
    out->port = GetLe32(payload + 4);
    return WireError::kNone;
}

WireError ReadChatLine(const u8* payload, u32 n, char out[kChatLineBytes])
{
    if (n < kChatLineBytes) return WireError::kShort;
    std::memset(out, 0, kChatLineBytes);
    // Two fields, the speaker and the text: each terminated and cut inside
    // its own bytes (the speaker's terminator does not end the line).
    const auto field = [&](u32 at, u32 bytes) {
        const char* text = reinterpret_cast<const char*>(payload + at);
        const size_t length = std::find(text, text + bytes, '\0') - text;
        std::memcpy(out + at, text, host::kernel::Cp932Fit(std::string_view(text, length), bytes - 1));
    };
    field(0, kChatSpeakerBytes);
    field(kChatSpeakerBytes, kChatLineBytes - kChatSpeakerBytes);
    return WireError::kNone;
}

u32 LobbyUserRecord::Id() const { return GetLe32(data + kUserIdAt); }
u32 LobbyUserRecord::ListNumber() const { return GetLe32(data + kListNumberAt); }

void ReadUserEntries(const u8* payload, u32 n, std::vector<UserEntry>* out)
{
    const u32 count = n / kEntryBytes;
    out->resize(count);
    for (u32 i = 0; i < count; ++i) {
        const u8* entry = payload + size_t(i) * kEntryBytes;
        UserEntry& e = (*out)[i];
        e.id = GetLe32(entry);
        e.emptyName = entry[4] == 0;
        e.listNumber = GetLe32(entry + 29);
        std::memset(e.data, 0, sizeof e.data);
        std::memcpy(e.data + 1, entry, kEntryBytes);
        ConvertNameField(entry + 4, kNameBytes, e.data + kUserNameAt);
    }
}

WireError ReadUserDetail(const u8* payload, u32 n, bool withPicture, UserDetail* out)
{
    if (n < kUserDetailBytes) return WireError::kShort;
    u32 picture = 0;
    if (withPicture) {
        const i32 length = i32(GetLe32(payload + 314));
        if (length > 0 && u32(length) > n - kUserDetailBytes) return WireError::kBadPicture;
        picture = length > 0 ? u32(length) : 0;
    }
    out->id = GetLe32(payload);
    std::memset(out->data, 0, sizeof out->data);
    std::memcpy(out->data + 1, payload, kUserDetailBytes);
    ConvertNameField(payload + 4, kNameBytes, out->data + kUserNameAt);
    ConvertNameField(payload + 41, kProfileBytes, out->data + kProfileAt);
    out->picture = picture ? payload + kUserDetailBytes : nullptr;
    out->pictureBytes = picture;
    return WireError::kNone;
}

u32 LobbyRoomRecord::Id() const { return GetLe32(data); }
u32 LobbyRoomRecord::State() const { return GetLe32(data + kRoomStateAt); }
i16 LobbyRoomRecord::MemberCount() const { return i16(GetLe16(data + kMemberBlockAt)); }
u16 LobbyRoomRecord::MemberLimit() const { return GetLe16(data + kMemberLimitAt); }

bool LobbyRoomRecord::HasMember(u32 userId) const
{
    const i16 count = MemberCount();
    if (count <= 0) return false;
    if (GetLe32(data + kHostEntryAt) == userId) return true;
    const u32 members = std::min<u32>(u32(count) - 1, kRecordMembers);
    for (u32 i = 0; i < members; ++i)
        if (GetLe32(data + kMemberEntriesAt + i * kEntryBytes) == userId) return true;
    return false;
}

void ReadRoomEntries(const u8* payload, u32 n, std::vector<RoomEntry>* out)
{
    const u32 count = n / kEntryBytes;
    out->resize(count);
    for (u32 i = 0; i < count; ++i) {
        const u8* entry = payload + size_t(i) * kEntryBytes;
        RoomEntry& e = (*out)[i];
        e.id = GetLe32(entry);
        e.state = GetLe32(entry + kRoomStateAt);
        std::memcpy(e.bytes, entry, kEntryBytes);
    }
}

WireError ReadRoomDetail(const u8* payload, u32 n, bool join, RoomDetail* out)
{
    if (n < (join ? kJoinBytes : kRoomDataBytes)) return WireError::kShort;
    out->id = GetLe32(payload);
    std::memcpy(out->data, payload, kRoomDataBytes);
    out->joinAddress = join ? GetLe32(payload + kRoomDataBytes) : 0;
    out->joinPort = join ? GetLe32(payload + kRoomDataBytes + 4) : 0;
    return WireError::kNone;
}

WireError ReadMemberBlock(const u8* payload, u32 n, MemberBlock* out)
{
    if (n < kMemberBlockBytes) return WireError::kShort;
    std::memcpy(out->bytes, payload, kMemberBlockBytes);
    return WireError::kNone;
}

std::vector<u8> WriteLogin(const char* loginText, u32 loginWord, u16 peerPort, u32 localAddress)
{
    std::vector<u8> out(kLoginBytes, 0);
    const size_t length = loginText ? strnlen(loginText, 49) : 0;
    if (length) std::memcpy(out.data(), loginText, length);
    PutLe32(out.data() + 50, loginWord);
    PutLe16(out.data() + 54, peerPort);
    PutLe32(out.data() + 56, localAddress);   // first octet first
    return out;
}

}  // namespace lobby
