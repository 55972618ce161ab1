#include "game/data/TensionFile.h"

#include "engine/core/FloatMath.h"
#include "engine/core/Number.h"
#include "engine/core/PackFile.h"
#include "engine/core/StringUtil.h"
#include "engine/platform/SoundBuffer.h"
#include "host/kernel/Kernel.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <new>

namespace {

using host::kernel::IsDBCSLeadByte;

// The five spellings of each entry kind. The Japanese ones are written as
// the bytes of their code page 932 encoding, which the file holds: as plain
// literals they would follow the compiler's execution charset, and a build
// with another one would drop those keys (and the tension they set) silently.
const char* const kNameKeys[] = {
    // ファイル名, 名前
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x96\xBC",
    "\x96\xBC\x91\x4F",
    "NAME", "FILENAME", "FN",
};
const char* const kCommentKeys[] = {
    // ファイルコメント, コメント
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x83\x52\x83\x81\x83\x93\x83\x67",
    "\x83\x52\x83\x81\x83\x93\x83\x67",
    "COMMENT", "FILECOMMENT", "FC",
};
const char* const kFinaleKeys[] = {
    // クライマックスフィナーレ, フィナーレ
    "\x83\x4E\x83\x89\x83\x43\x83\x7D\x83\x62\x83\x4E\x83\x58\x83\x74\x83\x42\x83\x69\x81\x5B\x83\x8C",
    "\x83\x74\x83\x42\x83\x69\x81\x5B\x83\x8C",
    "FINALE", "CLIMAXFINALE", "CF",
};
const char* const kLevelKeys[kTensionLevelCount][5] = {
    {
        // ローテンション, ロー
        "\x83\x8D\x81\x5B\x83\x65\x83\x93\x83\x56\x83\x87\x83\x93",
        "\x83\x8D\x81\x5B",
        "LOW", "LOWTENSION", "LT",
    },
    {
        // ノーマルテンション, ノーマル
        "\x83\x6D\x81\x5B\x83\x7D\x83\x8B\x83\x65\x83\x93\x83\x56\x83\x87\x83\x93",
        "\x83\x6D\x81\x5B\x83\x7D\x83\x8B",
        "NORMAL", "NORMALTENSION", "NT",
    },
    {
        // ハイテンション, ハイ
        "\x83\x6E\x83\x43\x83\x65\x83\x93\x83\x56\x83\x87\x83\x93",
        "\x83\x6E\x83\x43",
        "HI", "HITENSION", "HT",
    },
    {
        // クライマックステンション, クライマックス
        "\x83\x4E\x83\x89\x83\x43\x83\x7D\x83\x62\x83\x4E\x83\x58\x83\x65\x83\x93\x83\x56\x83\x87\x83\x93",
        "\x83\x4E\x83\x89\x83\x43\x83\x7D\x83\x62\x83\x4E\x83\x58",
        "CLIMAX", "CLIMAXTENSION", "CT",
    },
};
const char* const kLevelNames[kTensionLevelCount] = {"LowTension", "NormalTension", "HiTension", "ClimaxTension"};

// Entries of each level a script may hold.
constexpr u32 kLevelCountLimits[kTensionLevelCount] = {4, 10, 4, 2};
// Keys closer than this to one another are refused (the track's own rule).
constexpr f32 kKeyNear = 0.006f;

template <size_t N>
bool IsOneOf(const char* key, const char* const (&forms)[N])
{
    for (const char* form : forms)
        if (std::strcmp(key, form) == 0) return true;
    return false;
}

bool IsTrimmed(char c) { return c == '\t' || c == '\n' || c == '\v' || c == '\r' || c == ' '; }

std::string Trim(const std::string& s)
{
    size_t begin = 0, end = s.size();
    while (begin < end && IsTrimmed(s[begin])) ++begin;
    while (end > begin && IsTrimmed(s[end - 1])) --end;
    return s.substr(begin, end - begin);
}

// Formatting that does not follow the process locale (GTK sets it).
std::string Fixed(f64 value)
{
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    return result.ec == std::errc() ? std::string(buffer, result.ptr) : std::string("nan");
}

std::string Int(i64 value) { return std::to_string(value); }

void Append(CString* report, const std::string& text)
{
    if (report) *report += text.c_str();
}

f32 LengthOf(const CSoundBuffer* sound) { return sound ? sound->GetLength() : 0.0f; }

}  // namespace

CTensionFile::CTensionFile(const CTensionFile& other)
    : CValueBase(other),
      m_sound(other.m_sound),
      m_name(other.m_name),
      m_comment(other.m_comment),
      m_loopStart(other.m_loopStart),
      m_finaleMark(other.m_finaleMark),
      m_finaleWindow(other.m_finaleWindow),
      m_track(other.m_track ? new CTensionTrack(*other.m_track) : nullptr)
{
}

CTensionFile& CTensionFile::operator=(const CTensionFile& other)
{
    if (this == &other) return *this;
    m_sound = other.m_sound;
    m_name = other.m_name;
    m_comment = other.m_comment;
    m_loopStart = other.m_loopStart;
    m_finaleMark = other.m_finaleMark;
    m_finaleWindow = other.m_finaleWindow;
    SetTrack(other.m_track ? new CTensionTrack(*other.m_track) : nullptr);
    return *this;
}

CTensionFile::~CTensionFile() { ReleaseTrack(); }

void CTensionFile::ReleaseTrack()
{
    delete m_track;
    m_track = nullptr;
}

void CTensionFile::SetTrack(CTensionTrack* track)
{
    if (track == m_track) return;
    ReleaseTrack();
    m_track = track;
}

// ---------------------------------------------------------------- loading

i32 CTensionFile::LoadFromFile(const CSoundBuffer* sound, const char* path, CString* report)
{
    // The file and the text are owned here, so every way out closes and
    // frees them.
    std::unique_ptr<host::kernel::File> file = path ? host::kernel::OpenFile(path, "rt") : nullptr;
    if (!file) {
        Append(report, "ファイルが開けません!!\n");
        return 0;
    }
    m_name = CString(path);
    m_sound = sound;

    std::string text;
    const int64_t size = file->Size();
    try {
        if (size < 0) throw std::bad_alloc();
        text.resize(size_t(size));
    } catch (const std::bad_alloc&) {
        Append(report, "File Buffer Allocator Error!!\n");
        return 0;
    }
    // Text mode drops the CR of each CR LF, so fewer bytes may arrive.
    text.resize(file->Read(text.data(), text.size()));

    if (!Parse(sound, text.c_str(), ':', ';', report)) {
        Append(report, "変換エラー!!\n");
        return 0;
    }
    return 1;
}

i32 CTensionFile::LoadFromPack(const CSoundBuffer* sound, const char* entry, const CqelPackFile* pack,
    CString* report)
{
    m_name = CString(entry);
    m_sound = sound;
    u32 size = 0;
    u8* body = pack && entry ? pack->ReadEntry(entry, &size) : nullptr;
    if (!body) {
        Append(report, "ファイルが開けません!!\n");
        return 0;
    }
    // The body carries no terminator of its own.
    std::string text(reinterpret_cast<const char*>(body), size);
    AlignedFree(body);
    if (!Parse(sound, text.c_str(), ':', ';', report)) {
        Append(report, "File Buffer Conversion Error!!\n");
        return 0;
    }
    return 1;
}

i32 CTensionFile::LoadFromPackList(const CSoundBuffer* sound, const char* entry, const CList<void*>* packs,
    CString* report)
{
    if (!packs || !entry) return 0;
    for (u32 i = 0; i < packs->GetCount(); ++i) {
        const auto* pack = static_cast<const CqelPackFile*>(packs->GetAt(i));
        if (!pack || !pack->FindEntry(entry)) continue;
        if (LoadFromPack(sound, entry, pack, report)) return 1;
    }
    return 0;
}

// ---------------------------------------------------------------- parsing

bool CTensionFile::IsNameKey(const char* key) { return key && IsOneOf(key, kNameKeys); }
bool CTensionFile::IsCommentKey(const char* key) { return key && IsOneOf(key, kCommentKeys); }
bool CTensionFile::IsFinaleKey(const char* key) { return key && IsOneOf(key, kFinaleKeys); }

i32 CTensionFile::GetLevelKey(const char* key)
{
    if (!key) return -1;
    for (u32 level = 0; level < kTensionLevelCount; ++level)
        if (IsOneOf(key, kLevelKeys[level])) return i32(level);
    return -1;
}

bool CTensionFile::ReadValue(const char* text, size_t& at, char terminator, std::string& value)
{
    value.clear();
    while (text[at] != '\0') {
        const char c = text[at];
        if (IsDBCSLeadByte(u8(c)) && text[at + 1] != '\0') {
            value.append(text + at, 2);
            at += 2;
            continue;
        }
        ++at;
        if (c == terminator) {
            value = Trim(value);
            return true;
        }
        value += c;
    }
    value.clear();
    return false;
}

f32 CTensionFile::ReadTime(const char* text, size_t& at, char terminator)
{
    std::string value;
    if (!ReadValue(text, at, terminator, value)) return -1.0f;
    return ParseFloat(value.c_str());
}

void CTensionFile::ReadEntry(const std::string& key, const char* text, size_t& at, char terminator,
    f32 musicLength, u32& finaleCount, CString* report)
{
    ++at;   // the separator
    // After these entries the byte past the terminator (the line break) is
    // passed over unseen.
    bool passOver = true;
    std::string value;
    if (IsNameKey(key.c_str())) {
        if (ReadValue(text, at, terminator, value)) m_name = CString(value.c_str());
    } else if (IsCommentKey(key.c_str())) {
        if (ReadValue(text, at, terminator, value)) m_comment = CString(value.c_str());
    } else if (IsFinaleKey(key.c_str())) {
        ++finaleCount;
        m_finaleMark = ReadTime(text, at, terminator);
    } else if (const i32 level = GetLevelKey(key.c_str()); level >= 0) {
        const f32 t = ReadTime(text, at, terminator);
        // A time that is not a number would sort nowhere in the track.
        if (!std::isfinite(t) || t <= 0.0f || t >= musicLength) {
            Append(report, "Time Data Outside Range!!\n");
        } else if (!m_track || !m_track->AddKey(t, level, 0.0f)) {
            Append(report, "Time Data KeyAdd Error!!\n");
        } else {
            passOver = false;
        }
    } else {
        while (text[at] != '\0' && text[at] != terminator) at += CharSize(text + at);
        if (text[at] == terminator) ++at;
        Append(report, "Time Data Not Tension!!\n");
        passOver = false;
    }
    if (passOver && text[at] != '\0') ++at;
}

i32 CTensionFile::Parse(const CSoundBuffer* sound, const char* text, char separator, char terminator,
    CString* report)
{
    return ParseForLength(LengthOf(sound), text, separator, terminator, report);
}

i32 CTensionFile::ParseForLength(f32 musicLength, const char* text, char separator, char terminator,
    CString* report)
{
    if (!text) return 0;
    auto* track = new CTensionTrack("Tension", kTensionNormal, 0);
    if (!track) return 0;
    track->SetLoop(1);
    track->AddKey(0.0f, kTensionNormal, 0.0f);
    track->AddKey(musicLength, kTensionNormal, 0.0f);
    SetTrack(track);
    m_finaleMark = 0.0f;
    m_finaleWindow = musicLength * 0.1f * 0.2f;
    u32 finaleCount = 0;
    // The line of the first finale whose time is no finite number: replays
    // and network play carry only finite times, so such a script is refused.
    size_t badFinaleLine = 0;

    std::string key;
    size_t at = 0;
    while (text[at] != '\0') {
        const char c = text[at];
        if (IsDBCSLeadByte(u8(c)) && text[at + 1] != '\0') {
            key.append(text + at, 2);
            at += 2;
        } else if (c == '/' && text[at + 1] == '/') {
            while (text[at] != '\0' && text[at] != '\n') ++at;
        } else if (c == '/' && text[at + 1] == '*') {
            const char* close = std::strstr(text + at + 2, "*/");
            if (!close) return 0;
            at = size_t(close - text) + 2;
        } else if (c == separator) {
            const size_t line = size_t(std::count(text, text + at, '\n')) + 1;
            const std::string trimmed = Trim(key);
            ReadEntry(trimmed, text, at, terminator, musicLength, finaleCount, report);
            if (!badFinaleLine && IsFinaleKey(trimmed.c_str()) && !std::isfinite(m_finaleMark)) badFinaleLine = line;
            key.clear();
        } else {
            key += (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
            ++at;
        }
    }

    if (Validate(musicLength, report) && finaleCount <= 1 && !badFinaleLine) return 1;
    if (finaleCount > 1)
        Append(report, "クライマックスフィナーレ エラー[クライマックスフィナーレが複数指定されています]\n");
    if (badFinaleLine)
        Append(report, "クライマックスフィナーレ エラー[" + Int(i64(badFinaleLine)) + " 行目の時間が数値になっていません]\n");
    Append(report, "Time Data IsCorrect Error!!\n");
    return 0;
}

// ---------------------------------------------------------------- validation

i32 CTensionFile::Validate(f32 musicLength, CString* report)
{
    if (!(musicLength > f32(kMinMusicSeconds))) {
        Append(report, "ファイル時間 エラー[" + Fixed(musicLength) + "秒のファイルです : " + Int(kMinMusicSeconds) +
            "秒以上の長さのファイルが必要です]\n");
        return 0;
    }
    if (!(musicLength < f32(kMaxMusicSeconds))) {
        Append(report, "ファイル時間 エラー[" + Fixed(musicLength) + "秒のファイルです : " + Int(kMaxMusicSeconds) +
            "秒以下の長さのファイルが必要です]\n");
        return 0;
    }
    const i32 name = CheckName(report);
    const i32 comment = CheckComment(report);
    const i32 track = CheckTrack(musicLength, report);
    return name && comment && track;
}

i32 CTensionFile::CheckName(CString* report)
{
    const u32 length = m_name.GetLength();
    if (length >= 1 && length <= kMaxNameBytes) return 1;
    Append(report, "ファイル名 エラー[ファイル名を 1 ～ " + Int(kMaxNameBytes) + " 文字以内にしてください]\n");
    return 0;
}

i32 CTensionFile::CheckComment(CString* report)
{
    const char* text = m_comment.GetText();
    if (m_comment.GetLength() > kMaxCommentBytes) {
        Append(report, "ファイルコメント エラー[文字数を " + Int(kMaxCommentBytes) + " 以内にしてください]\n");
        return 0;
    }
    u32 lineFeeds = 0, column = 0;
    for (const char* p = text; p && *p; ++p) {
        if (*p == '\n') {
            column = 0;
            if (++lineFeeds >= kMaxCommentLines) {
                Append(report, "ファイルコメント エラー[行数を " + Int(kMaxCommentLines) + " 以内にしてください]\n");
                return 0;
            }
        } else if (*p != '\r' && ++column > kMaxCommentLineBytes) {
            Append(report,
                "ファイルコメント エラー[1行の文字数を " + Int(kMaxCommentLineBytes) + " 以内にしてください]\n");
            return 0;
        }
    }
    return 1;
}

i32 CTensionFile::CheckTrack(f32 musicLength, CString* report)
{
    const i32 timeLimits[kTensionLevelCount] = {i32(musicLength), i32(musicLength), i32(musicLength * 0.2f),
        i32(musicLength * 0.1f)};
    f32 times[kTensionLevelCount] = {};
    u32 counts[kTensionLevelCount] = {};
    const u32 keys = m_track ? m_track->GetCount() : 0;
    for (u32 i = 0; i + 1 < keys; ++i) {
        const CKeyFrame<i32>* key = m_track->GetAt(i);
        const CKeyFrame<i32>* next = m_track->GetAt(i + 1);
        if (key->value < 0 || key->value >= i32(kTensionLevelCount)) continue;
        times[key->value] += next->time - key->time;
        ++counts[key->value];
    }

    bool ok = true;
    for (i32 level : {kTensionHigh, kTensionClimax}) {
        if (times[level] > f32(timeLimits[level])) {
            Append(report, std::string(kLevelNames[level]) + " 時間オーバー[現在 " + Fixed(times[level]) + " 秒です " +
                Int(timeLimits[level]) + " 秒以内にしてください]\n");
            ok = false;
        }
    }
    for (u32 level = 0; level < kTensionLevelCount; ++level) {
        if (counts[level] > kLevelCountLimits[level]) {
            Append(report, std::string(kLevelNames[level]) + " 回数オーバー[現在 " + Int(counts[level]) + " 回です " +
                Int(kLevelCountLimits[level]) + " 回以内にしてください]\n");
            ok = false;
        }
    }
    if (times[kTensionHigh] > times[kTensionLow]) {
        Append(report, std::string(kLevelNames[kTensionLow]) + " 時間不足[現在 " + Fixed(times[kTensionLow]) +
            " 秒です HiTension 時間の " + Fixed(times[kTensionHigh]) + " 秒以上必要です]\n");
        ok = false;
    }
    return ok ? 1 : 0;
}

// ---------------------------------------------------------------- playing

f32 CTensionFile::GetLoopedTime(f32 t) const
{
    const f32 end = m_track ? m_track->GetEndTime() : 0.0f;
    if (!(t > end)) return t;
    const f32 span = end - m_loopStart;
    // A loop of no length (or one starting past the end) cannot repeat.
    if (!(span > 0.0f)) return end;
    return m_loopStart + FmodF(t - end, span);
}

i32 CTensionFile::GetLevelAt(f32 t) const
{
    i32 level = kTensionNormal;
    if (!m_track || !m_track->GetValue(GetLoopedTime(t), &level, 2)) return kTensionNormal;
    return level;
}

bool CTensionFile::IsClimaxFinaleAt(f32 t) const
{
    const f32 looped = GetLoopedTime(t);
    return looped >= m_finaleMark && looped <= m_finaleMark + m_finaleWindow && GetLevelAt(t) == kTensionClimax;
}
