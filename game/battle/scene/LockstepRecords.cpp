#include "game/battle/scene/LockstepRecords.h"

#include "engine/core/Endian.h"
#include "host/kernel/Kernel.h"

#include <bit>
#include <cstring>

namespace {

using E = LockstepRecordError;

bool IsFinite(u32 bits) { return (bits & 0x7F800000u) != 0x7F800000u; }

InputPacket GetPacket(const u8* p) { return InputPacket{{p[0], p[1]}, i8(p[2]), i8(p[3])}; }

void PutPacket(u8* p, const InputPacket& packet)
{
    p[0] = packet.buttons[0];
    p[1] = packet.buttons[1];
    p[2] = u8(packet.stickX);
    p[3] = u8(packet.stickY);
}

// count side messages at data, which must end exactly with the last one.
E ReadSideMessages(const u8* data, size_t size, u32 count, StatePacket* out)
{
    if (count > kMaxTickMessages) return E::kMessageCount;
    for (u32 i = 0; i < count; ++i) {
        size_t used = 0;
        if (const E error = ReadSideMessage(data, size, &out[i], &used); error != E::kNone) return error;
        data += used;
        size -= used;
    }
    return size ? E::kTrailing : E::kNone;
}

}  // namespace

const char* DescribeLockstepRecordError(LockstepRecordError error)
{
    switch (error) {
    case E::kNone: return "no error";
    case E::kTooShort: return "the record is cut short";
    case E::kTrailing: return "bytes follow the record's last side message";
    case E::kEntry: return "entry index outside 0..3";
    case E::kFrameMs: return "frame time below 18 ms";
    case E::kMusicTime: return "music time is not a finite number";
    case E::kMessageCount: return "more side messages than a tick's buffer holds";
    case E::kMessageId: return "a side message the battle does not send";
    case E::kMessageLength: return "side message length other than its id's";
    case E::kMessageText: return "radio-chat text not ended inside its 40 bytes";
    case E::kMessageSender: return "radio-chat sender outside 0..3";
    case E::kMessageFlag: return "radio-chat team-only flag other than 0 or 1";
    case E::kType: return "not a lockstep message";
    case E::kRole: return "a message this machine does not receive";
    }
    return "unknown error";
}

LockstepRecordError ReadRadioChat(u32 id, const u8* data, size_t size, RadioChatLine* out)
{
    if (id != kRadioChatId) return E::kMessageId;
    if (size != kRadioChatBytes || !data) return E::kMessageLength;
    if (!std::memchr(data, 0, kRadioChatTextBytes)) return E::kMessageText;
    const u32 sender = GetLe32(data + kRadioChatTextBytes);
    const u32 teamOnly = GetLe32(data + kRadioChatTextBytes + 4);
    if (sender >= kLockstepEntries) return E::kMessageSender;
    if (teamOnly > 1) return E::kMessageFlag;
    if (out) {
        std::memcpy(out->text, data, kRadioChatTextBytes);
        out->sender = sender;
        out->teamOnly = teamOnly;
    }
    return E::kNone;
}

LockstepRecordError ReadSideMessage(const u8* data, size_t size, StatePacket* out, size_t* used)
{
    if (!data || size < kSideMessageHeaderBytes) return E::kTooShort;
    const u32 id = GetLe32(data), length = GetLe32(data + 4);
    if (id != kRadioChatId) return E::kMessageId;
    if (length != kRadioChatBytes) return E::kMessageLength;
    if (size - kSideMessageHeaderBytes < length) return E::kTooShort;
    const u8* body = data + kSideMessageHeaderBytes;
    if (const E error = ReadRadioChat(id, body, length, nullptr); error != E::kNone) return error;
    if (out) {
        *out = StatePacket{id, length, {}};
        std::memcpy(out->data, body, length);
    }
    if (used) *used = kSideMessageHeaderBytes + length;
    return E::kNone;
}

LockstepRecordError ReadFrameRecord(const u8* data, size_t size, FrameRecord* out)
{
    if (!data || size < kFrameRecordBytes) return E::kTooShort;
    const u32 music = GetLe32(data);
    if (!IsFinite(music)) return E::kMusicTime;
    if (data[20] < kMinFrameMs) return E::kFrameMs;
    if (data[21] > kMaxTickMessages) return E::kMessageCount;
    FrameRecord r;
    r.musicTime = std::bit_cast<f32>(music);
    for (u32 i = 0; i < kLockstepEntries; ++i) r.inputs[i] = GetPacket(data + 4 + 4 * i);
    r.frameMs = data[20];
    r.messageCount = data[21];
    if (out) *out = r;
    return E::kNone;
}

LockstepRecordError ReadNetInput(const u8* data, size_t size, NetInputMessage* out)
{
    if (!data || size < kInputHeaderBytes) return E::kTooShort;
    const i8 entry = i8(data[0]);
    if (entry < 0 || u32(entry) >= kLockstepEntries) return E::kEntry;
    const u32 count = data[5];
    // Read into a scratch message: a refusal half-way must leave out as it was.
    static thread_local NetInputMessage scratch;
    if (const E error = ReadSideMessages(data + kInputHeaderBytes, size - kInputHeaderBytes, count, scratch.messages);
        error != E::kNone)
        return error;
    scratch.entry = u32(entry);
    scratch.input = GetPacket(data + 1);
    scratch.messageCount = count;
    if (out) {
        out->entry = scratch.entry;
        out->input = scratch.input;
        out->messageCount = count;
        std::memcpy(out->messages, scratch.messages, sizeof(StatePacket) * count);
    }
    return E::kNone;
}

LockstepRecordError ReadFrameBundle(const u8* data, size_t size, FrameBundle* out)
{
    FrameRecord record;
    if (const E error = ReadFrameRecord(data, size, &record); error != E::kNone) return error;
    static thread_local StatePacket scratch[kMaxTickMessages];
    if (const E error = ReadSideMessages(data + kFrameRecordBytes, size - kFrameRecordBytes, record.messageCount,
                                         scratch);
        error != E::kNone)
        return error;
    if (out) {
        out->record = record;
        std::memcpy(out->messages, scratch, sizeof(StatePacket) * record.messageCount);
    }
    return E::kNone;
}

LockstepRecordError ReadU32Body(const u8* data, size_t size, u32* out)
{
    if (!data || size < 4) return E::kTooShort;
    if (size > 4) return E::kTrailing;
    if (out) *out = GetLe32(data);
    return E::kNone;
}

LockstepRecordError ReadEntryBody(const u8* data, size_t size, u32* out)
{
    u32 entry = 0;
    if (const E error = ReadU32Body(data, size, &entry); error != E::kNone) return error;
    if (entry >= kLockstepEntries) return E::kEntry;
    if (out) *out = entry;
    return E::kNone;
}

void WriteFrameRecord(const FrameRecord& record, u8* out)
{
    PutLe32(out, std::bit_cast<u32>(record.musicTime));
    for (u32 i = 0; i < kLockstepEntries; ++i) PutPacket(out + 4 + 4 * i, record.inputs[i]);
    out[20] = record.frameMs;
    out[21] = record.messageCount;
}

void AppendSideMessage(std::string& out, const StatePacket& message)
{
    const u32 length = message.length < kStateDataBytes ? message.length : u32(kStateDataBytes);
    AppendLe32(out, message.id);
    AppendLe32(out, length);
    out.append(reinterpret_cast<const char*>(message.data), length);
}

std::string WriteNetInput(u32 entry, const InputPacket& input, const StatePacket* messages, u32 count)
{
    u8 header[kInputHeaderBytes];
    header[0] = u8(entry);
    PutPacket(header + 1, input);
    header[5] = u8(count);
    std::string out(reinterpret_cast<const char*>(header), sizeof header);
    for (u32 i = 0; i < count; ++i) AppendSideMessage(out, messages[i]);
    return out;
}

std::string WriteFrameBundle(const FrameRecord& record, const StatePacket* messages)
{
    u8 bytes[kFrameRecordBytes];
    WriteFrameRecord(record, bytes);
    std::string out(reinterpret_cast<const char*>(bytes), sizeof bytes);
    for (u32 i = 0; i < record.messageCount; ++i) AppendSideMessage(out, messages[i]);
    return out;
}

std::string WriteU32Body(u32 value)
{
    std::string out;
    AppendLe32(out, value);
    return out;
}

StatePacket MakeRadioChat(const char* text, u32 sender, u32 teamOnly)
{
    StatePacket m{kRadioChatId, kRadioChatBytes, {}};
    const std::string_view view(text ? text : "", text ? std::strlen(text) : 0);
    const size_t n = host::kernel::Cp932Fit(view, kRadioChatTextBytes - 1);
    std::memcpy(m.data, view.data(), n);
    PutLe32(m.data + kRadioChatTextBytes, sender);
    PutLe32(m.data + kRadioChatTextBytes + 4, teamOnly);
    return m;
}
