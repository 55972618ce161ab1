#include "game/scenes/SelectMessages.h"

#include "engine/core/Endian.h"
#include "game/data/TensionFile.h"
#include "host/kernel/Kernel.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace select_net {

namespace {

constexpr u32 kColours = 4;
constexpr u32 kComputerLevels = 5;
// Values of each option word, in the record's order (seed and key response
// apart): stage with random, drawn stage, music with random, drawn music,
// rule, points, time, computer level, friend, tension rule, own music.
constexpr u32 kOptionValues[11] = {20, 19, 52, 51, 2, 5, 7, 5, 3, 6, 2};

f32 ToF32(u32 bits) { return std::bit_cast<f32>(bits); }
u32 FromF32(f32 value) { return std::bit_cast<u32>(value); }

}  // namespace

i32 FixedBodySize(u32 type)
{
    switch (type) {
    case kMsgCard: return i32(kCardBytes);
    case kMsgOption: return i32(kOptionBytes);
    case kMsgProceed:
    case kMsgLeave:
    case 10006:   // battle ready
    case kMsgPeerLeft: return i32(kWordBytes);
    case kMsgPlayerData:
    case 10007:   // one tick's input
    case 10008: return -1;   // frame bundle
    default: return 0;
    }
}

const char* DescribeMessageError(MessageError error)
{
    switch (error) {
    case MessageError::kNone: return "no error";
    case MessageError::kLength: return "the body's length is wrong";
    case MessageError::kSlot: return "the card or entry is not 0..3";
    case MessageError::kSender: return "the sender's slot is not 0..3";
    case MessageError::kEntry: return "an entry word is out of range";
    case MessageError::kColour: return "the colour is not 0..3";
    case MessageError::kComputerLevel: return "the computer level is not 0..4";
    case MessageError::kCpuSkill: return "the computer's orb use is not 0 or 1";
    case MessageError::kReady: return "the ready flag is not 0 or 1";
    case MessageError::kOption: return "an option word is out of range";
    case MessageError::kName: return "the music's name is not 1..40 bytes ending in a zero";
    case MessageError::kLevel: return "a tension level is not 0..3";
    case MessageError::kTime: return "a time is not a finite number";
    }
    return "unknown error";
}

// -- 10001 --

std::array<u8, kCardBytes> WriteCardMessage(const CardMessage& message)
{
    std::array<u8, kCardBytes> out{};
    for (u32 i = 0; i < kCardWords; ++i) PutLe32(&out[i * 4], message.words[i]);
    PutLe32(&out[104], message.sender);
    PutLe32(&out[108], message.slot);
    PutLe32(&out[112], message.ready);
    return out;
}

MessageError ReadCardMessage(const u8* data, u32 length, CardMessage* out)
{
    if (!data || !out || length != kCardBytes) return MessageError::kLength;
    CardMessage m;
    for (u32 i = 0; i < kCardWords; ++i) m.words[i] = GetLe32(data + i * 4);
    m.sender = GetLe32(data + 104);
    m.slot = GetLe32(data + 108);
    m.ready = GetLe32(data + 112);
    if (m.slot >= CBattleSetup::kEntryCount) return MessageError::kSlot;
    if (m.sender >= CBattleSetup::kEntryCount) return MessageError::kSender;
    // Kind, characters, team, types, hand, music and name: the battle's own
    // reader of the entry record.
    CBattleEntry entry;
    if (ReadBattleEntry(data, kBattleEntryBytes, &entry) != BattleRecordError::kNone) return MessageError::kEntry;
    // A card names one of the music slots.
    if (entry.ownMusic >= CBattleOption::kRandomMusic) return MessageError::kEntry;
    if (entry.characterWords[0] >= kColours) return MessageError::kColour;
    if (entry.characterWords[1] >= kComputerLevels) return MessageError::kComputerLevel;
    if (entry.flag > 1) return MessageError::kCpuSkill;
    if (m.ready > 1) return MessageError::kReady;
    *out = m;
    return MessageError::kNone;
}

// -- 10002 --

std::array<u8, kOptionBytes> WriteOptionMessage(const CBattleOption& option, u32 sender)
{
    std::array<u8, kOptionBytes> out{};
    WriteBattleOption(option, out.data());
    PutLe32(&out[52], sender);
    return out;
}

MessageError ReadOptionMessage(const u8* data, u32 length, CBattleOption* out)
{
    if (!data || !out || length != kOptionBytes) return MessageError::kLength;
    CBattleOption option;
    if (ReadBattleOption(data, kBattleOptionBytes, &option) != BattleRecordError::kNone) return MessageError::kOption;
    const u32 words[11] = {option.stage, option.drawnStage, option.music, option.drawnMusic, option.livesRule,
        option.extraLives, option.timeSetting, option.computerLevel, option.sharedGroupBullets,
        option.characterSetting, option.ownTension};
    for (u32 i = 0; i < 11; ++i)
        if (words[i] >= kOptionValues[i]) return MessageError::kOption;
    // Only the key response byte is the host's: the padding is not.
    option.inputDelay &= 0xFF;
    *out = option;
    return MessageError::kNone;
}

// -- 10003 --

PlayerData MakePlayerData(u32 entry, const CTensionFile& tension)
{
    PlayerData data;
    data.entry = entry;
    const CString& name = tension.GetName();
    if (name.GetText()) {
        const std::string_view text(name.GetText(), name.GetLength());
        data.name.assign(text.substr(0, host::kernel::Cp932Fit(text, kMaxNameBytes)));
    }
    data.loopStart = tension.GetLoopStart();
    data.finaleMark = tension.GetFinaleMark();
    data.finaleLength = tension.GetFinaleLength();
    if (const CTensionTrack* track = tension.GetTrack()) {
        data.keys.reserve(track->GetCount());
        for (u32 i = 0; i < track->GetCount(); ++i) {
            const CTensionTrack::Key& key = track->GetData()[i];
            data.keys.push_back({key.time, key.ease, key.value});
        }
    }
    return data;
}

std::vector<u8> WritePlayerData(const PlayerData& data)
{
    const u32 n = u32(data.name.size());
    const size_t size = kPlayerDataFixedBytes + n + kTensionKeyBytes * data.keys.size();
    std::vector<u8> out(size, 0);
    u8* p = out.data();
    PutLe32(p, data.entry);
    PutLe32(p + 4, n);
    std::memcpy(p + 8, data.name.data(), n);
    p += 8 + n + 1;   // the name's zero is already there
    PutLe32(p, FromF32(data.loopStart));
    PutLe32(p + 4, FromF32(data.finaleMark));
    PutLe32(p + 8, FromF32(data.finaleLength));
    PutLe32(p + 12, u32(data.keys.size()));
    p += 16;
    for (const TensionKeyRecord& key : data.keys) {
        PutLe32(p, FromF32(key.time));
        PutLe32(p + 4, FromF32(key.ease));
        PutLe32(p + 8, u32(key.level));
        p += kTensionKeyBytes;
    }
    return out;
}

MessageError ReadPlayerData(const u8* data, u32 length, PlayerData* out)
{
    if (!data || !out || length < kPlayerDataFixedBytes) return MessageError::kLength;
    const u32 entry = GetLe32(data);
    const u32 n = GetLe32(data + 4);
    if (entry >= CBattleSetup::kEntryCount) return MessageError::kSlot;
    // n is checked before it moves any offset, so nothing below overflows.
    // An empty name is a music whose script names none: taken as any other.
    if (n > kMaxNameBytes) return MessageError::kName;
    if (length < kPlayerDataFixedBytes + n) return MessageError::kLength;
    const u8* name = data + 8;
    if (name[n] != 0 || std::memchr(name, 0, n)) return MessageError::kName;
    const u8* p = name + n + 1;
    const u32 k = GetLe32(p + 12);
    const u64 expected = u64(kPlayerDataFixedBytes) + n + u64(kTensionKeyBytes) * k;
    if (expected != length) return MessageError::kLength;

    PlayerData d;
    d.entry = entry;
    d.name.assign(reinterpret_cast<const char*>(name), n);
    d.loopStart = ToF32(GetLe32(p));
    d.finaleMark = ToF32(GetLe32(p + 4));
    d.finaleLength = ToF32(GetLe32(p + 8));
    if (!std::isfinite(d.loopStart) || !std::isfinite(d.finaleMark) || !std::isfinite(d.finaleLength))
        return MessageError::kTime;
    p += 16;
    d.keys.resize(k);
    for (TensionKeyRecord& key : d.keys) {
        key.time = ToF32(GetLe32(p));
        key.ease = ToF32(GetLe32(p + 4));
        key.level = i32(GetLe32(p + 8));
        if (!std::isfinite(key.time) || !std::isfinite(key.ease)) return MessageError::kTime;
        if (key.level < 0 || key.level >= i32(kTensionLevelCount)) return MessageError::kLevel;
        p += kTensionKeyBytes;
    }
    *out = std::move(d);
    return MessageError::kNone;
}

void ApplyPlayerData(const PlayerData& data, CTensionFile* to)
{
    if (!to) return;
    to->SetName(data.name.c_str());
    to->SetLoopStart(data.loopStart);
    to->SetFinaleTime(data.finaleMark);
    to->SetFinaleLength(data.finaleLength);
    auto* track = new CTensionTrack("Tension", kTensionNormal, 0);
    track->SetLoop(1);
    std::vector<CTensionTrack::Key> keys(data.keys.size());
    for (size_t i = 0; i < keys.size(); ++i) keys[i] = {data.keys[i].time, data.keys[i].ease, data.keys[i].level};
    if (!keys.empty()) track->SetArray(keys.data(), u32(keys.size()));
    to->SetTrack(track);
}

// -- 10004, 10005, 10009 --

std::array<u8, kWordBytes> WriteWord(u32 value)
{
    std::array<u8, kWordBytes> out{};
    PutLe32(out.data(), value);
    return out;
}

MessageError ReadWord(const u8* data, u32 length, u32* out)
{
    if (!data || !out || length != kWordBytes) return MessageError::kLength;
    *out = GetLe32(data);
    return MessageError::kNone;
}

MessageError ReadPeerLeft(const u8* data, u32 length, u32* entry)
{
    u32 value = 0;
    if (const MessageError error = ReadWord(data, length, &value); error != MessageError::kNone) return error;
    if (value >= CBattleSetup::kEntryCount) return MessageError::kSlot;
    *entry = value;
    return MessageError::kNone;
}

// -- The room chat line --

std::array<u8, kChatLineBytes> MakeChatLine(const char* userName, const char* text)
{
    std::array<u8, kChatLineBytes> line{};
    if (userName) {
        const std::string_view name(userName, strnlen(userName, kChatNameBytes));
        std::memcpy(line.data(), name.data(), host::kernel::Cp932Fit(name, kChatNameBytes - 1));
    }
    if (text) {
        const std::string_view body(text);
        std::memcpy(line.data() + kChatNameBytes, body.data(), host::kernel::Cp932Fit(body, kChatTextBytes - 1));
    }
    return line;
}

}  // namespace select_net
