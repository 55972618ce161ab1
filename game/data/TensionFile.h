// CTensionFile: the tension script of a piece of battle music. A script is a
// short text of entries "KEY:value;" that marks, in seconds of the music,
// where the tension level changes (0 low, 1 normal, 2 high, 3 climax) and
// where the climax finale lies:
//
//   名前:Stage theme;
//   コメント:Two calm verses,
//   then the chorus;
//   HI:48.5;
//   LOW:80;
//   CLIMAX:150;   FINALE:160;
//
// Keys are matched after trimming and folding a-z to upper case; each kind
// has five accepted spellings. "//" and "/* */" comments are skipped between
// entries. Parsing builds the "Tension" key track against the music's length
// and validates it: the music must be longer than 60 and shorter than 480
// seconds, the name 1..40 bytes, the comment at most 4 lines of 40 bytes
// (160 in all), and each level within its share of the music and count of
// entries. Every problem is appended to a report text, one line each, in the
// words the configuration tool shows the user.
//
// The game loads the scripts of its built-in music from the BGM archive and
// those of the user's BGM rows from their files; the configuration tool runs
// the same load to check a pair of files.
#pragma once

#include "engine/core/KeyFrameList.h"
#include "engine/core/List.h"
#include "engine/core/String.h"
#include "engine/core/Types.h"
#include "engine/core/ValueBase.h"

#include <string>

class CSoundBuffer;
class CqelPackFile;

inline constexpr i32 kTensionLow = 0;
inline constexpr i32 kTensionNormal = 1;
inline constexpr i32 kTensionHigh = 2;
inline constexpr i32 kTensionClimax = 3;
inline constexpr u32 kTensionLevelCount = 4;

using CTensionTrack = CKeyFrameList<i32>;

class CTensionFile : public CValueBase {
    ORV_VALUE_CLASS(CTensionFile)

public:
    // Limits of a valid script.
    static constexpr u32 kMinMusicSeconds = 60;    // the music must be longer
    static constexpr u32 kMaxMusicSeconds = 480;   // and shorter
    static constexpr u32 kMaxNameBytes = 40;
    static constexpr u32 kMaxCommentBytes = 160;
    static constexpr u32 kMaxCommentLines = 4;
    static constexpr u32 kMaxCommentLineBytes = 40;

    CTensionFile() = default;
    // Copies the sound reference, texts and times; the track is copied too.
    CTensionFile(const CTensionFile& other);
    CTensionFile& operator=(const CTensionFile& other);
    ~CTensionFile() override;

    // Reads the script at path (text mode) and parses it against the sound's
    // length. 1 when it was read, parsed and valid; else 0 with the reasons
    // appended to report (which may be null).
    virtual i32 LoadFromFile(const CSoundBuffer* sound, const char* path, CString* report);
    // The configuration tool's check: the same as LoadFromFile.
    i32 LoadFromText(const CSoundBuffer* sound, const char* path, CString* report)
    {
        return LoadFromFile(sound, path, report);
    }
    // The same from an archive entry.
    virtual i32 LoadFromPack(const CSoundBuffer* sound, const char* entry, const CqelPackFile* pack, CString* report);
    // Tries each archive of the list (CqelPackFile pointers) that holds the
    // entry, in order; 1 at the first good load.
    virtual i32 LoadFromPackList(const CSoundBuffer* sound, const char* entry, const CList<void*>* packs,
        CString* report);

    // Parses a terminated script against the sound's length (0 without a
    // sound). 1 when the script is valid.
    virtual i32 Parse(const CSoundBuffer* sound, const char* text, char separator, char terminator, CString* report);
    // The same against a music length in seconds.
    i32 ParseForLength(f32 musicLength, const char* text, char separator, char terminator, CString* report);

    // The checks of a parsed script against a music length; 1 when all pass.
    virtual i32 Validate(f32 musicLength, CString* report);
    virtual i32 CheckName(CString* report);
    virtual i32 CheckComment(CString* report);
    virtual i32 CheckTrack(f32 musicLength, CString* report);

    // Which kind a trimmed, upper-cased key names.
    static bool IsNameKey(const char* key);
    static bool IsCommentKey(const char* key);
    static bool IsFinaleKey(const char* key);
    // The level a level key names, or -1.
    static i32 GetLevelKey(const char* key);

    // The level at music time t (looped past the track's end); 1 without a
    // track.
    virtual i32 GetLevelAt(f32 t) const;
    // t up to the last key's time; past it, loop start + the remainder of
    // (t - end) by (end - loop start).
    f32 GetLoopedTime(f32 t) const;
    // Whether t lies in [mark, mark + window] at climax level.
    bool IsClimaxFinaleAt(f32 t) const;

    // Deletes the track.
    virtual void ReleaseTrack();

    const CSoundBuffer* GetSound() const { return m_sound; }
    // The sound reference; the game clears it (SetId (0)) once loading is
    // done, since the music it was measured against is deleted then.
    void SetId(const CSoundBuffer* sound) { m_sound = sound; }
    const CString& GetName() const { return m_name; }
    // Replays restore the name they stored.
    void SetName(const char* name) { m_name = CString(name); }
    const CString& GetComment() const { return m_comment; }
    f32 GetLoopStart() const { return m_loopStart; }
    void SetLoopStart(f32 seconds) { m_loopStart = seconds; }
    f32 GetFinaleMark() const { return m_finaleMark; }
    void SetFinaleTime(f32 seconds) { m_finaleMark = seconds; }
    f32 GetFinaleLength() const { return m_finaleWindow; }
    void SetFinaleLength(f32 seconds) { m_finaleWindow = seconds; }
    const CTensionTrack* GetTrack() const { return m_track; }
    // Takes ownership of track and deletes the old one.
    void SetTrack(CTensionTrack* track);

private:
    // Reads the value after a separator: bytes up to the terminator (double-
    // byte characters whole), trimmed. False when the text ends first; at
    // is then at the end, else just past the terminator.
    static bool ReadValue(const char* text, size_t& at, char terminator, std::string& value);
    static f32 ReadTime(const char* text, size_t& at, char terminator);
    // Handles one entry whose key ended at the separator at text[at]; at
    // moves to where the next key starts.
    void ReadEntry(const std::string& key, const char* text, size_t& at, char terminator, f32 musicLength,
        u32& finaleCount, CString* report);

    const CSoundBuffer* m_sound = nullptr;
    CString m_name;
    CString m_comment;
    f32 m_loopStart = 0.0f;
    f32 m_finaleMark = 0.0f;
    f32 m_finaleWindow = 0.0f;
    CTensionTrack* m_track = nullptr;
};
