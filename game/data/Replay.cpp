#include "game/data/Replay.h"

#include "engine/core/Endian.h"
#include "engine/platform/FrameTime.h"
#include "game/data/TensionFile.h"
#include "host/kernel/Kernel.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

constexpr u32 kKindComputer = 4;
constexpr u32 kKindNone = 5;
constexpr size_t kEntryBytes = 104;
constexpr size_t kOptionBytes = 52;
constexpr size_t kKeyBytes = 12;
// Frame times below this are never waited for.
constexpr u32 kMinPacedFrameMs = 20;

bool IsFinite(u32 bits) { return (bits & 0x7F800000u) != 0x7F800000u; }

f32 ToF32(u32 bits) { return std::bit_cast<f32>(bits); }

// A bounded little-endian reader over the file's bytes.
struct Cursor {
    const std::string& bytes;
    size_t at;

    size_t Left() const { return bytes.size() - at; }
    bool Has(u64 n) const { return n <= Left(); }
    const u8* Here() const { return reinterpret_cast<const u8*>(bytes.data()) + at; }
    bool U8(u32& v)
    {
        if (!Has(1)) return false;
        v = Here()[0];
        at += 1;
        return true;
    }
    bool U32(u32& v)
    {
        if (!Has(4)) return false;
        v = GetLe32(Here());
        at += 4;
        return true;
    }
    bool Skip(u64 n)
    {
        if (!Has(n)) return false;
        at += size_t(n);
        return true;
    }
};

void EncodeHeader(const ReplayHeader& h, u8* out)
{
    PutLe32(out, h.version);
    std::memcpy(out + 4, h.stageName, 32);
    std::memcpy(out + 36, h.characterName, 32);
    out[68] = h.playType;
    out[69] = h.reserved0;
    PutLe16(out + 70, h.year);
    out[72] = h.month;
    out[73] = h.day;
    std::memcpy(out + 74, h.reserved1, 2);
}

void DecodeHeader(const u8* in, ReplayHeader& h)
{
    h.version = GetLe32(in);
    std::memcpy(h.stageName, in + 4, 32);
    std::memcpy(h.characterName, in + 36, 32);
    h.playType = in[68];
    h.reserved0 = in[69];
    h.year = GetLe16(in + 70);
    h.month = in[72];
    h.day = in[73];
    std::memcpy(h.reserved1, in + 74, 2);
    // A damaged file may leave the names open.
    h.stageName[31] = '\0';
    h.characterName[31] = '\0';
}

void CopyHeaderName(char (&to)[32], const char* from)
{
    std::memset(to, 0, sizeof to);
    if (!from) return;
    const size_t n = host::kernel::Cp932Fit(from, sizeof to - 1);
    std::memcpy(to, from, n);
}

}  // namespace

const char* DescribeReplayError(ReplayError error)
{
    switch (error) {
    case ReplayError::kNone: return "no error";
    case ReplayError::kOpen: return "the file cannot be read";
    case ReplayError::kLeadingText: return "the leading text is damaged";
    case ReplayError::kHeader: return "the header is cut short";
    case ReplayError::kSetup: return "the battle set-up is damaged";
    case ReplayError::kEntryKind: return "a participant has an unknown kind";
    case ReplayError::kTrackName: return "a tension track's name is damaged";
    case ReplayError::kTrackTime: return "a tension track holds a time that is not a number";
    case ReplayError::kTrackKeys: return "a tension track's key count reaches past the end";
    case ReplayError::kTrackLevel: return "a tension track holds a level outside 0..3";
    case ReplayError::kFrame: return "a frame is cut short";
    case ReplayError::kMusicTime: return "a music time is not a number";
    case ReplayError::kSetupRefused: return "the battle refuses the set-up";
    }
    return "unknown error";
}

std::string ReplaySlotPath(const std::string& folder, u32 slot)
{
    char name[32];
    std::snprintf(name, sizeof name, "OrvReplay_%2.2u.rep", slot);
    return folder + name;
}

u32 ChooseReplaySlot(const std::string& folder, const ConfigReplay& section)
{
    u32 keys[kReplaySlotCount] = {};
    for (u32 s = 1; s <= kReplaySlotCount; ++s) {
        const std::string path = ReplaySlotPath(folder, s);
        if (!host::kernel::FileExists(path) && !host::kernel::DirectoryExists(path)) return s;
        ReplayHeader header{};
        if (CReplay::ReadHeaderOnly(path.c_str(), &header)) keys[s - 1] = ReplayDateKey(header);
    }
    u32 chosen = 0;
    for (u32 s = 1; s <= kReplaySlotCount; ++s) {
        if (section.locked[s - 1]) continue;
        if (!chosen || keys[s - 1] < keys[chosen - 1]) chosen = s;
    }
    return chosen;
}

// ---------------------------------------------------------------- object

CReplay::CReplay() = default;

CReplay::CReplay(const CReplay& other)
    : CResourceBase(other), m_bufferSize(other.m_bufferSize), m_header(other.m_header)
{
}

CReplay::~CReplay() { Release(); }

i32 CReplay::Release()
{
    CloseFile();
    if (!m_tempName.empty()) {
        host::kernel::DeleteFile(m_tempName);
        m_tempName.clear();
    }
    m_buffer.reset();
    m_buffered = 0;
    ClearPlayback();
    return CResourceBase::Release();
}

// ---------------------------------------------------------------- recording

i32 CReplay::Begin()
{
    if (m_file || !m_tempName.empty()) return 0;
    const std::string temp = host::kernel::MakeTempFileName();
    if (temp.empty()) return 0;
    m_file = host::kernel::OpenFile(temp, "wb");
    m_buffer.reset(new (std::nothrow) u8[m_bufferSize]);
    if (!m_file || !m_buffer) {
        m_file.reset();
        m_buffer.reset();
        host::kernel::DeleteFile(temp);
        return 0;
    }
    m_tempName = temp;
    m_buffered = 0;
    m_failed = false;

    u8 length[4];
    const u32 nameLength = GetName() ? GetNameLength() : 0;
    PutLe32(length, nameLength);
    if (m_file->Write(length, 4) != 4) m_failed = true;
    if (nameLength && m_file->Write(GetName(), nameLength) != nameLength) m_failed = true;
    return 1;
}

bool CReplay::FlushBuffer()
{
    if (!m_file) return false;
    if (m_buffered && m_file->Write(m_buffer.get(), m_buffered) != m_buffered) m_failed = true;
    m_buffered = 0;
    return !m_failed;
}

bool CReplay::CloseFile()
{
    if (!m_file) return true;
    if (m_buffer) FlushBuffer();
    if (!m_file->Close()) m_failed = true;
    m_file.reset();
    return !m_failed;
}

bool CReplay::Write(const void* data, size_t n)
{
    if (!m_file || !m_buffer || m_failed) return false;
    if (m_buffered + n > m_bufferSize && !FlushBuffer()) return false;
    if (n > m_bufferSize) {
        if (m_file->Write(data, n) != n) m_failed = true;
        return !m_failed;
    }
    std::memcpy(m_buffer.get() + m_buffered, data, n);
    m_buffered += u32(n);
    return true;
}

i32 CReplay::WriteHeader(const char* stageName, const char* characterName, u8 playType)
{
    CopyHeaderName(m_header.stageName, stageName);
    CopyHeaderName(m_header.characterName, characterName);
    m_header.playType = playType;
    const host::kernel::LocalTime now = host::kernel::GetLocalTime();
    m_header.year = now.year;
    m_header.month = u8(now.month);
    m_header.day = u8(now.day);
    m_header.version = kReplayVersion;
    u8 bytes[kReplayHeaderBytes];
    EncodeHeader(m_header, bytes);
    Write(bytes, sizeof bytes);
    return 1;
}

i32 CReplay::WriteRecord(const IReplaySetup& setup)
{
    const std::string record = setup.GetReplayRecord();
    Write(record.data(), record.size());
    return 1;
}

i32 CReplay::WriteTrack(const CTensionFile* tension)
{
    if (tension) return WriteTrack(*tension);
    std::string out;
    AppendLe32(out, 0);
    out += '\0';
    for (int f = 0; f < 3; ++f) AppendLe32(out, 0);
    AppendLe32(out, kReplayNoTensionKeys);
    Write(out.data(), out.size());
    return 1;
}

i32 CReplay::WriteTrack(const CTensionFile& tension)
{
    std::string out;
    const CString& name = tension.GetName();
    AppendLe32(out, name.GetLength());
    if (name.GetText()) out.append(name.GetText(), name.GetLength());
    out += '\0';
    AppendLe32(out, std::bit_cast<u32>(tension.GetLoopStart()));
    AppendLe32(out, std::bit_cast<u32>(tension.GetFinaleMark()));
    AppendLe32(out, std::bit_cast<u32>(tension.GetFinaleLength()));
    const CTensionTrack* track = tension.GetTrack();
    const u32 count = track ? track->GetCount() : 0;
    AppendLe32(out, count);
    for (u32 i = 0; i < count; ++i) {
        const CTensionTrack::Key& key = track->GetData()[i];
        AppendLe32(out, std::bit_cast<u32>(key.time));
        AppendLe32(out, std::bit_cast<u32>(key.ease));
        AppendLe32(out, u32(key.value));
    }
    Write(out.data(), out.size());
    return 1;
}

i32 CReplay::WriteStateList(std::span<const ReplayMessage> messages)
{
    bool fits = messages.size() <= 255;
    for (const ReplayMessage& m : messages)
        fits = fits && m.length <= kReplayMaxMessageBytes && (m.data || !m.length);
    if (!fits) {
        m_failed = true;
        return 0;
    }
    std::string out(1, char(messages.size()));
    for (const ReplayMessage& m : messages) {
        AppendLe32(out, m.id);
        AppendLe32(out, m.length);
        out.append(static_cast<const char*>(m.data), m.length);
    }
    Write(out.data(), out.size());
    return 1;
}

i32 CReplay::RecordFrame(std::span<IReplayFighter* const> fighters, u32 frameTimeMs)
{
    m_frameTime = frameTimeMs;
    std::string out;
    AppendLe32(out, frameTimeMs);
    AppendLe32(out, std::bit_cast<u32>(fighters.empty() ? 0.0f : fighters[0]->GetMusicTime()));
    for (IReplayFighter* fighter : fighters) {
        if (fighter->IsComputerControlled()) continue;
        u8 packet[kReplayInputBytes] = {};
        fighter->GetInputPacket(packet);
        out.append(reinterpret_cast<const char*>(packet), sizeof packet);
    }
    Write(out.data(), out.size());
    return 1;
}

i32 CReplay::SaveToSlot(const ConfigReplay& section)
{
    if (!section.saveReplays || m_tempName.empty() || m_failed) return 0;
    const std::string folder = GetUserDataDirectory(kSaveFolderName);
    if (folder.empty()) return 0;
    const u32 slot = ChooseReplaySlot(folder, section);
    if (!slot) return 0;
    return Finish(ReplaySlotPath(folder, slot));
}

i32 CReplay::Finish(const std::string& destination)
{
    if (m_tempName.empty()) return 1;
    if (!CloseFile()) return 0;
    // Read back and checked as a player would, so a slot never receives a
    // replay that cannot be played; then written beside the slot and renamed
    // over it.
    std::string bytes;
    if (!host::kernel::ReadWholeFile(m_tempName, bytes)) return 0;
    CReplay check;
    check.m_bytes = std::move(bytes);
    size_t at = 0;
    if (check.Parse(at, true) != ReplayError::kNone) {
        m_failed = true;
        return 0;
    }
    if (!host::kernel::WriteFileAtomic(destination, check.m_bytes.data(), check.m_bytes.size())) return 0;
    host::kernel::DeleteFile(m_tempName);
    m_tempName.clear();
    m_buffer.reset();
    return 1;
}

// ---------------------------------------------------------------- playback

void CReplay::ClearPlayback()
{
    m_bytes.clear();
    m_bytes.shrink_to_fit();
    m_setupAt = m_setupSize = 0;
    m_tracks.clear();
    m_frames.clear();
    m_fighters = m_humans = 0;
    m_nextTrack = m_nextFrame = 0;
    m_messagesHanded = false;
}

bool CReplay::Refuse(ReplayError error, size_t at)
{
    m_error = error;
    m_errorOffset = at;
    return false;
}

ReplayError CReplay::Parse(size_t& at, bool wholeFrames)
{
    Cursor c{m_bytes, 0};
    m_tracks.clear();
    m_frames.clear();

    u32 textLength = 0;
    if (!c.U32(textLength) || !c.Has(textLength)) return at = 0, ReplayError::kLeadingText;
    if (textLength && c.Here()[textLength - 1] != '\0') return at = 0, ReplayError::kLeadingText;
    c.Skip(textLength);

    at = c.at;
    if (!c.Skip(kReplayHeaderBytes)) return ReplayError::kHeader;

    at = c.at;
    m_setupAt = c.at;
    u32 count = 0, local = 0;
    if (!c.U32(count) || !c.U32(local)) return ReplayError::kSetup;
    if (count < 1 || count > kReplayMaxEntries || local >= count) return ReplayError::kSetup;
    if (!c.Has(count * kEntryBytes + kOptionBytes)) return ReplayError::kSetup;
    m_fighters = m_humans = 0;
    for (u32 i = 0; i < count; ++i) {
        const u32 kind = GetLe32(c.Here() + i * kEntryBytes);
        if (kind > kKindNone) return at = c.at + i * kEntryBytes, ReplayError::kEntryKind;
        m_fighters += kind <= kKindComputer;
        m_humans += kind < kKindComputer;
    }
    // Nobody to play.
    if (!m_fighters) return ReplayError::kSetup;
    c.Skip(count * kEntryBytes + kOptionBytes);
    m_setupSize = c.at - m_setupAt;

    for (u32 i = 0; i < m_fighters; ++i) {
        at = c.at;
        Track track{c.at, 0, 0};
        if (!c.U32(track.nameLength) || !c.Has(u64(track.nameLength) + 1)) return ReplayError::kTrackName;
        if (std::memchr(c.Here(), '\0', track.nameLength + size_t(1)) != c.Here() + track.nameLength)
            return ReplayError::kTrackName;
        c.Skip(track.nameLength + size_t(1));
        u32 anyTime = 0;
        for (int f = 0; f < 3; ++f) {
            u32 bits = 0;
            if (!c.U32(bits)) return ReplayError::kTrackTime;
            if (!IsFinite(bits)) return at = c.at - 4, ReplayError::kTrackTime;
            anyTime |= bits;
        }
        at = c.at;
        if (!c.U32(track.keyCount)) return ReplayError::kTrackKeys;
        // Only as the recorder writes it: nothing but the count.
        if (track.keyCount == kReplayNoTensionKeys && !track.nameLength && !anyTime) {
            m_tracks.push_back(track);
            continue;
        }
        if (!c.Has(u64(track.keyCount) * kKeyBytes)) return ReplayError::kTrackKeys;
        for (u32 k = 0; k < track.keyCount; ++k) {
            at = c.at;
            u32 time = 0, ease = 0, level = 0;
            c.U32(time), c.U32(ease), c.U32(level);
            if (!IsFinite(time) || !IsFinite(ease)) return ReplayError::kTrackTime;
            if (level > u32(kTensionClimax)) return ReplayError::kTrackLevel;
        }
        m_tracks.push_back(track);
    }

    // A frame that the end cuts short is a copy cut short: the whole frames
    // before it are kept.
    while (c.Left()) {
        at = c.at;
        Frame frame{c.at, 0, 0};
        c.U8(frame.messageCount);
        bool whole = true;
        for (u32 m = 0; m < frame.messageCount && whole; ++m) {
            at = c.at;
            u32 id = 0, length = 0;
            // A message longer than the battle's record is skipped when the
            // frame is played; the frame and the rest of the file stay.
            whole = c.U32(id) && c.U32(length) && c.Skip(length);
        }
        at = c.at;
        frame.bodyAt = c.at;
        u32 frameTime = 0, musicTime = 0;
        whole = whole && c.U32(frameTime) && c.U32(musicTime) && c.Skip(u64(m_humans) * kReplayInputBytes);
        if (!whole) {
            if (wholeFrames) return ReplayError::kFrame;
            break;
        }
        if (!IsFinite(musicTime)) return ReplayError::kMusicTime;
        m_frames.push_back(frame);
    }
    return ReplayError::kNone;
}

i32 CReplay::Open(const char* path, const IReplaySetup& setup)
{
    ClearPlayback();
    // Nothing of a replay opened before may pass for this one's.
    m_header = ReplayHeader{};
    ClearName();
    m_error = ReplayError::kNone;
    m_errorOffset = 0;
    std::unique_ptr<host::kernel::File> file = path ? host::kernel::OpenFile(path, "rb") : nullptr;
    const int64_t size = file ? file->Size() : -1;
    // Held at its own size, however long the battle it recorded.
    bool read = size >= 0;
    if (read) {
        try {
            m_bytes.resize(size_t(size));
        } catch (const std::bad_alloc&) {
            read = false;
        }
    }
    read = read && file->Read(m_bytes.data(), m_bytes.size()) == m_bytes.size() && file->AtEnd();
    if (!read) {
        ClearPlayback();
        return Refuse(ReplayError::kOpen, 0);
    }

    size_t at = 0;
    const ReplayError error = Parse(at, false);
    if (error != ReplayError::kNone) {
        ClearPlayback();
        return Refuse(error, at);
    }
    if (!setup.AcceptsReplayRecord(reinterpret_cast<const u8*>(m_bytes.data()) + m_setupAt, m_setupSize)) {
        const size_t setupAt = m_setupAt;
        ClearPlayback();
        return Refuse(ReplayError::kSetupRefused, setupAt);
    }
    const u32 textLength = GetLe32(m_bytes.data());
    if (textLength) {
        char* name = AllocName(textLength);
        if (!name) {
            ClearPlayback();
            return Refuse(ReplayError::kOpen, 0);
        }
        std::memcpy(name, m_bytes.data() + 4, textLength);
    } else {
        ClearName();
    }
    DecodeHeader(reinterpret_cast<const u8*>(m_bytes.data()) + 4 + textLength, m_header);
    // Playback paces from its first frame on.
    m_frameTime = 0;
    m_paceTime = 0;
    return 1;
}

i32 CReplay::ReadHeaderOnly(const char* path, ReplayHeader* header)
{
    if (!path || !header) return 0;
    std::unique_ptr<host::kernel::File> file = host::kernel::OpenFile(path, "rb");
    if (!file) return 0;
    u8 length[4];
    u8 bytes[kReplayHeaderBytes];
    if (file->Read(length, 4) != 4) return 0;
    if (!file->Seek(GetLe32(length), host::kernel::SeekOrigin::Current)) return 0;
    if (file->Read(bytes, sizeof bytes) != sizeof bytes) return 0;
    DecodeHeader(bytes, *header);
    return 1;
}

i32 CReplay::ReadRecord(IReplaySetup& setup)
{
    if (!m_setupSize) return 0;
    return setup.SetReplayRecord(reinterpret_cast<const u8*>(m_bytes.data()) + m_setupAt, m_setupSize) ? 1 : 0;
}

i32 CReplay::ReadTensionTrack(std::unique_ptr<CTensionFile>* out)
{
    if (!out || m_nextTrack >= m_tracks.size()) return 0;
    out->reset();
    const Track& track = m_tracks[m_nextTrack];
    if (track.keyCount == kReplayNoTensionKeys) {
        ++m_nextTrack;
        return 1;
    }
    const u8* p = reinterpret_cast<const u8*>(m_bytes.data()) + track.at + 4;
    std::unique_ptr<CTensionFile> tension(new CTensionFile);
    auto* list = new CTensionTrack("Tension", kTensionNormal, 0);
    if (!tension || !list) {
        delete list;
        return 0;
    }
    ++m_nextTrack;
    tension->SetName(reinterpret_cast<const char*>(p));
    p += track.nameLength + 1;
    tension->SetLoopStart(ToF32(GetLe32(p)));
    tension->SetFinaleTime(ToF32(GetLe32(p + 4)));
    tension->SetFinaleLength(ToF32(GetLe32(p + 8)));
    p += 16;   // the three times and the key count
    list->SetLoop(1);
    std::vector<CTensionTrack::Key> keys(track.keyCount);
    for (CTensionTrack::Key& key : keys) {
        key.time = ToF32(GetLe32(p));
        key.ease = ToF32(GetLe32(p + 4));
        key.value = i32(GetLe32(p + 8));
        p += kKeyBytes;
    }
    if (!keys.empty()) list->SetArray(keys.data(), u32(keys.size()));
    tension->SetTrack(list);
    *out = std::move(tension);
    return 1;
}

i32 CReplay::ReadStateList(IReplayMessageTarget& target)
{
    if (m_nextFrame >= m_frames.size() || m_messagesHanded) return 0;
    const Frame& frame = m_frames[m_nextFrame];
    const u8* p = reinterpret_cast<const u8*>(m_bytes.data()) + frame.messagesAt + 1;
    for (u32 m = 0; m < frame.messageCount; ++m) {
        const u32 id = GetLe32(p), length = GetLe32(p + 4);
        if (length <= kReplayMaxMessageBytes) target.OnMessage(id, p + 8, length);
        p += 8 + length;
    }
    m_messagesHanded = true;
    return 1;
}

i32 CReplay::PlayFrame(std::span<IReplayFighter* const> fighters)
{
    if (m_nextFrame >= m_frames.size() || !m_messagesHanded) return 0;
    u32 humans = 0;
    for (IReplayFighter* fighter : fighters) humans += !fighter->IsComputerControlled();
    if (humans != m_humans) return 0;

    const u32 elapsed = host::kernel::TimeGetTime() - m_paceTime;
    if (m_frameTime >= kMinPacedFrameMs && elapsed < m_frameTime) host::kernel::Sleep(m_frameTime - elapsed);
    m_paceTime = host::kernel::TimeGetTime();

    const u8* p = reinterpret_cast<const u8*>(m_bytes.data()) + m_frames[m_nextFrame].bodyAt;
    // Longer frames are played as long as the battle records at most.
    m_frameTime = std::min(GetLe32(p), kReplayMaxFrameMs);
    SetFrameTime(m_frameTime);
    const f32 musicTime = ToF32(GetLe32(p + 4));
    p += 8;
    for (IReplayFighter* fighter : fighters) {
        if (!fighter->IsComputerControlled()) {
            u8 packet[kReplayInputBytes];
            std::memcpy(packet, p, sizeof packet);
            fighter->ApplyInputPacket(packet);
            p += kReplayInputBytes;
        }
        fighter->UpdateTension(musicTime);
    }
    ++m_nextFrame;
    m_messagesHanded = false;
    return 1;
}
