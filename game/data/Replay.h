// CReplay: records a battle as its set-up, the fighters' tension tracks and
// one record of inputs per frame, and plays it back. Replays live in the 30
// slots "%sOrvReplay_%2.2d.rep" of the per-user folder.
//
// The file, little-endian:
//
//   u32 L, L bytes       leading text with its NUL (the recorder's name); L = 0: none
//   ReplayHeader         76 bytes
//   set-up               u32 count N (1..4), u32 local entry (< N), N x 104-byte
//                        entries (u32 kind first: 0..3 human, 4 computer, 5 none),
//                        the 52-byte option block; at least one fighter
//   tension tracks       one per entry of kind 0..4, in entry order: u32 n, n bytes
//                        of name and a NUL, f32 loop start, f32 finale mark, f32
//                        finale window, u32 k, k x {f32 time, f32 ease, i32 level 0..3}
//   frames, to the end   u8 m, m x {u32 id, u32 length <= 256, bytes}, u32 frame
//                        time (ms), f32 music time, 4-byte input of each human
//                        fighter (kind 0..3) in entry order
//
// A replay comes from outside (a copied or damaged file): Open checks the
// whole structure before anything is played, and refuses a file with any
// count or length of its set-up or tracks reaching past its end, a side
// message longer than 256 bytes, a level outside 0..3, a time that is not a
// finite number, a frame time above 5 s, or a set-up the battle's own
// reader refuses. A refused file leaves the player empty, so a damaged
// replay is never half-played. A file that ends inside a frame (a copy cut
// short) plays the whole frames before it; the recorder, which never writes
// a part of a frame, still refuses to store such a file.
//
// Recording streams into a temporary file; the finished replay is put into
// its slot with host::kernel::WriteFileAtomic (written beside the slot and
// renamed over it), so the old slot's replay stays whole until the new one
// is, and a failed write anywhere (a full disk) stores nothing and reports 0.
#pragma once

#include "engine/core/ResourceBase.h"
#include "engine/core/Types.h"
#include "game/data/SaveConfig.h"

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <vector>

class CTensionFile;
namespace host::kernel { class File; }

struct ReplayHeader {
    u32 version;
    char stageName[32];       // NUL-terminated
    char characterName[32];   // the local player's, NUL-terminated
    u8 playType;              // 0 local battle, 1 network battle
    u8 reserved0;
    u16 year;                 // local date of the recording
    u8 month;
    u8 day;
    u8 reserved1[2];
};
static_assert(sizeof(ReplayHeader) == 76);

inline constexpr u32 kReplayVersion = 0x12001000;
inline constexpr u32 kReplayHeaderBytes = 76;
inline constexpr u32 kReplayInputBytes = 4;
inline constexpr u32 kReplayMaxEntries = 4;
// The battle scene's side-message record holds 256 data bytes: a longer
// message is not handed on.
inline constexpr u32 kReplayMaxMessageBytes = 256;
// The battle records no longer frame; a longer one plays this long.
inline constexpr u32 kReplayMaxFrameMs = 5000;
// The key count of the track of a fighter without a tension file, which
// keeps the level it starts with. No track holds that many keys (readers
// refuse a count the file cannot hold), so it never stands for a script.
inline constexpr u32 kReplayNoTensionKeys = 0xFFFFFFFFu;

// The battle set-up as the replay stores it: u32 count, u32 local entry, the
// entries, the option block.
class IReplaySetup {
public:
    virtual ~IReplaySetup() = default;
    virtual std::string GetReplayRecord() const = 0;
    // Whether SetReplayRecord would take the stored set-up; changes nothing.
    // The replay asks at Open, so a file the battle cannot start from never
    // opens.
    virtual bool AcceptsReplayRecord(const u8* data, size_t size) const = 0;
    // Takes a stored set-up over the entries and option; false refuses it
    // and changes nothing.
    virtual bool SetReplayRecord(const u8* data, size_t size) = 0;
};

// The scene's message operation that side messages are handed to.
class IReplayMessageTarget {
public:
    virtual ~IReplayMessageTarget() = default;
    virtual void OnMessage(u32 id, const u8* data, u32 length) = 0;
};

// One fighter of the battle's character list.
class IReplayFighter {
public:
    virtual ~IReplayFighter() = default;
    virtual bool IsComputerControlled() const = 0;
    virtual void GetInputPacket(u8 (&packet)[kReplayInputBytes]) const = 0;
    virtual void ApplyInputPacket(const u8 (&packet)[kReplayInputBytes]) = 0;
    virtual void UpdateTension(f32 musicTime) = 0;
    // The music time of the last UpdateTension.
    virtual f32 GetMusicTime() const = 0;
};

// A side message to record: id, length bytes at data.
struct ReplayMessage {
    u32 id;
    u32 length;
    const void* data;
};

enum class ReplayError {
    kNone,
    kOpen,           // missing, unreadable or larger than any replay
    kLeadingText,    // length past the end, or no NUL at its end
    kHeader,
    kSetup,          // cut short, count outside 1..4, local entry outside it, no fighter
    kEntryKind,      // a kind above 5
    kTrackName,      // length past the end, or not one NUL-terminated text
    kTrackTime,      // a time or ease that is not a finite number
    kTrackKeys,      // key count past the end
    kTrackLevel,     // a level outside 0..3
    kFrame,          // frame cut short (refused only when the recorder stores a file)
    kMusicTime,      // not a finite number
    kSetupRefused,   // sound in form, but the battle's set-up reader refuses it
};

const char* DescribeReplayError(ReplayError error);

// Orders replays by age: later dates give larger keys.
inline u32 ReplayDateKey(const ReplayHeader& h) { return u32(h.year) << 16 | u32(h.month) << 8 | h.day; }

// "<folder>OrvReplay_NN.rep".
std::string ReplaySlotPath(const std::string& folder, u32 slot);

// The slot 1..30 a new replay goes to: the first that has no file, else the
// oldest unlocked one (an existing file whose header cannot be read counts
// as oldest; equal dates take the lower slot); 0 when all are locked.
u32 ChooseReplaySlot(const std::string& folder, const ConfigReplay& section);

class CReplay : public CResourceBase {
    ORV_VALUE_CLASS(CReplay)

public:
    static constexpr u32 kBufferSize = 6000;

    CReplay();
    // Copies the header and the buffer size only: the copy owns no file,
    // temporary file or recording, so neither object closes or deletes them
    // twice.
    CReplay(const CReplay& other);
    CReplay& operator=(const CReplay&) = delete;
    ~CReplay() override;

    // -- Recording. Writes after a failure are ignored, and the recording
    // then is never stored. --

    // Creates the temporary file and writes the leading text. 0 when it
    // cannot be created.
    i32 Begin();
    // Names are cut to 31 bytes at a character boundary.
    i32 WriteHeader(const char* stageName, const char* characterName, u8 playType);
    i32 WriteRecord(const IReplaySetup& setup);
    i32 WriteTrack(const CTensionFile& tension);
    // Null: a fighter without a tension file (an empty name, zero times and
    // kReplayNoTensionKeys for the key count).
    i32 WriteTrack(const CTensionFile* tension);
    // At most 255 messages of at most 256 bytes; 0 for more (the recording
    // is then dropped: it could not be played back as it was).
    i32 WriteStateList(std::span<const ReplayMessage> messages);
    i32 RecordFrame(std::span<IReplayFighter* const> fighters, u32 frameTimeMs);
    // Stores the recording in the slot ChooseReplaySlot picks. 0 when saving
    // is off, nothing was recorded, a write failed, the per-user folder is
    // missing, every slot is locked or the slot cannot be written; the slot
    // then keeps what it held.
    i32 SaveToSlot(const ConfigReplay& section);
    // Puts the recording at destination; 1 with nothing recorded.
    i32 Finish(const std::string& destination);

    // -- Playback. --

    // Reads and checks the whole file, its set-up through setup's verdict:
    // 1, or 0 with GetError (the player then holds nothing, not even the
    // header and leading text of a replay opened before).
    i32 Open(const char* path, const IReplaySetup& setup);
    ReplayError GetError() const { return m_error; }
    // The byte offset of the record that was refused.
    size_t GetErrorOffset() const { return m_errorOffset; }
    // The header alone: 1, or 0 (header untouched) when the file cannot be
    // opened or ends inside its header.
    static i32 ReadHeaderOnly(const char* path, ReplayHeader* header);
    // 1 when the set-up took the record.
    i32 ReadRecord(IReplaySetup& setup);
    // The next fighter's tension track into out: 0 past the last, else 1,
    // with out null for a fighter that had no tension file.
    i32 ReadTensionTrack(std::unique_ptr<CTensionFile>* out);
    // Hands the next frame's side messages to target in file order; 0 past
    // the last frame or when they were handed already.
    i32 ReadStateList(IReplayMessageTarget& target);
    // Plays the frame whose side messages were handed: paces to the last
    // frame time, sets the engine's frame time, applies each human's input
    // and updates every fighter's tension. 0 (nothing done) past the last
    // frame, before ReadStateList or when the list's humans differ from the
    // recording's.
    i32 PlayFrame(std::span<IReplayFighter* const> fighters);

    const ReplayHeader& GetHeader() const { return m_header; }
    u32 GetFrameCount() const { return u32(m_frames.size()); }
    u32 GetFighterCount() const { return m_fighters; }
    u32 GetHumanCount() const { return m_humans; }
    // Deletes an unsaved temporary file. Returns 1.
    i32 Release() override;

private:
    struct Track {
        size_t at;
        u32 nameLength;
        u32 keyCount;
    };
    struct Frame {
        size_t messagesAt;
        size_t bodyAt;
        u32 messageCount;
    };

    bool Write(const void* data, size_t n);
    bool FlushBuffer();
    bool CloseFile();
    // wholeFrames: a frame cut short by the end is refused (kFrame) rather
    // than ending the frames.
    ReplayError Parse(size_t& at, bool wholeFrames);
    bool Refuse(ReplayError error, size_t at);
    void ClearPlayback();

    // Recording.
    std::unique_ptr<u8[]> m_buffer;
    u32 m_buffered = 0;
    u32 m_bufferSize = kBufferSize;
    std::unique_ptr<host::kernel::File> m_file;
    std::string m_tempName;
    bool m_failed = false;
    u32 m_frameTime = 0;
    u32 m_paceTime = 0;
    ReplayHeader m_header{};

    // Playback: the whole file and where its records lie.
    std::string m_bytes;
    size_t m_setupAt = 0;
    size_t m_setupSize = 0;
    std::vector<Track> m_tracks;
    std::vector<Frame> m_frames;
    u32 m_fighters = 0;
    u32 m_humans = 0;
    size_t m_nextTrack = 0;
    size_t m_nextFrame = 0;
    bool m_messagesHanded = false;
    ReplayError m_error = ReplayError::kNone;
    size_t m_errorOffset = 0;
};
