// Replay files: a golden file laid out by hand field by field, recording and
// playback against it, slot choice, damaged files and failed saves.
#include "game/data/Replay.h"

#include "engine/platform/FrameTime.h"
#include "game/data/TensionFile.h"
#include "game/data/tests/ReplayTestSupport.h"
#include "game/data/tests/SaveTestSupport.h"
#include "host/kernel/FakeFileWatch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace replay_file_test {

namespace ORV_TEST_FILE_ID {

using replay_test::FakeFighter;
using replay_test::FakeSetup;
using replay_test::FakeTarget;
using replay_test::Packet;
using save_test::Bytes;
using save_test::ListFolder;
using save_test::ReadBytes;
using save_test::UserFolder;
using save_test::WriteBytes;

namespace {

u32 Bits(f32 v) { return std::bit_cast<u32>(v); }

std::string Header(u32 year, u32 month, u32 day)
{
    return Bytes().U32(0x12001000).Text("Stage01", 32).Text("Chr_Talve", 32).U8(1).U8(0).U16(year).U8(month)
        .U8(day).Zeros(2);
}

// Entries of kinds 0 (human), 4 (computer), 1 (human), 5 (none): three
// fighters, two of them human.
std::string SetupRecord()
{
    Bytes b;
    b.U32(4).U32(2);
    const u32 kinds[4] = {0, 4, 1, 5};
    for (u32 i = 0; i < 4; ++i) b.U32(kinds[i]).Raw(std::string(100, char('a' + i)));
    return b.Raw(std::string(52, 'o'));
}

struct Key {
    f32 time, ease;
    i32 level;
};
struct TrackData {
    std::string name;
    f32 loopStart, finaleMark, finaleWindow;
    std::vector<Key> keys;
};
const TrackData kTracks[3] = {
    {"Bgm_01.txt", 12.5f, 150.0f, 3.0f, {{0.0f, 0.0f, 1}, {48.5f, 0.25f, 2}}},
    {"", 0.0f, 0.0f, 0.0f, {}},
    {"\x8b\xc8", 1.0f, 2.0f, 0.5f, {{10.0f, 1.0f, 3}}},
};

std::string TrackBytes(const TrackData& t)
{
    Bytes b;
    b.U32(u32(t.name.size())).Raw(t.name).U8(0).U32(Bits(t.loopStart)).U32(Bits(t.finaleMark))
        .U32(Bits(t.finaleWindow)).U32(u32(t.keys.size()));
    for (const Key& k : t.keys) b.U32(Bits(k.time)).U32(Bits(k.ease)).I32(k.level);
    return b;
}

struct Message {
    u32 id;
    std::string data;
};
struct FrameData {
    std::vector<Message> messages;
    u32 ms;
    f32 music;
    Packet first, second;   // the two human fighters' inputs
};
const FrameData kFrames[3] = {
    {{}, 16, 1.5f, {1, 0, 100, 156}, {0, 0x80, 0, 0}},
    {{{7, "abc"}, {48, ""}}, 17, 1.517f, {1, 0, 99, 156}, {0, 0, 0, 0}},
    {{}, 33, 1.55f, {0, 0, 0, 0}, {0xFF, 0xFF, 0x9C, 0x64}},
};

std::string FrameBytes(const FrameData& f)
{
    Bytes b;
    b.U8(u32(f.messages.size()));
    for (const Message& m : f.messages) b.U32(m.id).Sized(m.data);
    b.U32(f.ms).U32(Bits(f.music));
    for (u8 c : f.first) b.U8(c);
    for (u8 c : f.second) b.U8(c);
    return b;
}

// The recorder named "rec", on 2024-12-31.
std::string Golden()
{
    Bytes b;
    b.U32(4).Raw(std::string("rec", 4)).Raw(Header(2024, 12, 31)).Raw(SetupRecord());
    for (const TrackData& t : kTracks) b.Raw(TrackBytes(t));
    for (const FrameData& f : kFrames) b.Raw(FrameBytes(f));
    return b;
}

size_t FramesStart()
{
    size_t at = 8 + 76 + SetupRecord().size();
    for (const TrackData& t : kTracks) at += TrackBytes(t).size();
    return at;
}

std::unique_ptr<CTensionFile> Tension(const TrackData& t)
{
    auto file = std::make_unique<CTensionFile>();
    file->SetName(t.name.c_str());
    file->SetLoopStart(t.loopStart);
    file->SetFinaleTime(t.finaleMark);
    file->SetFinaleLength(t.finaleWindow);
    if (!t.keys.empty() || !t.name.empty()) {
        auto* track = new CTensionTrack("Tension", kTensionNormal, 0);
        for (const Key& k : t.keys) track->AddKey(k.time, k.level, k.ease);
        file->SetTrack(track);
    }
    return file;
}

class ReplayTest : public ::testing::Test {
public:
    ReplayTest()
    {
        clock.SetLocalTime({2024, 12, 2, 31, 23, 59, 0, 0});
        fighters[1].computer = true;
    }

    // Records the golden battle into recorder (Begin to the last frame).
    void Record(CReplay& recorder)
    {
        ASSERT_NO_FATAL_FAILURE(BeginGolden(recorder));
        for (const TrackData& t : kTracks) EXPECT_EQ(recorder.WriteTrack(*Tension(t)), 1);
        RecordGoldenFrames(recorder);
    }

    // The golden battle's start, up to its tracks.
    void BeginGolden(CReplay& recorder)
    {
        recorder.SetName("rec");
        ASSERT_EQ(recorder.Begin(), 1);
        EXPECT_EQ(recorder.WriteHeader("Stage01", "Chr_Talve", 1), 1);
        FakeSetup setup;
        setup.record = SetupRecord();
        EXPECT_EQ(recorder.WriteRecord(setup), 1);
    }

    // The golden battle's frames, after its tracks.
    void RecordGoldenFrames(CReplay& recorder)
    {
        for (const FrameData& f : kFrames) {
            std::vector<ReplayMessage> list;
            for (const Message& m : f.messages) list.push_back({m.id, u32(m.data.size()), m.data.data()});
            EXPECT_EQ(recorder.WriteStateList(list), 1);
            fighters[0].input = f.first;
            fighters[2].input = f.second;
            fighters[0].musicTime = f.music;
            EXPECT_EQ(recorder.RecordFrame(List(), f.ms), 1);
        }
    }

    std::vector<IReplayFighter*> List() { return {&fighters[0], &fighters[1], &fighters[2]}; }

    std::string SlotPath(u32 slot) const { return ReplaySlotPath(user.Saves(), slot); }
    void FillSlots(const std::function<std::string(u32)>& header)
    {
        for (u32 s = 1; s <= kReplaySlotCount; ++s)
            WriteBytes(SlotPath(s), Bytes().U32(0).Raw(header(s)).Raw(SetupRecord()));
    }

    UserFolder user;
    host::kernel::FakeClock clock{1000};
    host::kernel::ScopedClock scoped{clock};
    FakeFighter fighters[3];
    ConfigReplay section{1, {}};
};

TEST_F(ReplayTest, RecordingWritesTheGoldenFileIntoTheFirstSlot)
{
    CReplay recorder;
    Record(recorder);
    ASSERT_EQ(recorder.SaveToSlot(section), 1);
    EXPECT_EQ(ReadBytes(SlotPath(1)), Golden());
    EXPECT_EQ(ListFolder(user.Saves()).size(), 1u);
    // The temporary file is gone with the stored recording.
    EXPECT_TRUE(ListFolder(user.Root() + "Temp").empty());
}

TEST_F(ReplayTest, GoldenFilePlaysBackFrameByFrame)
{
    WriteBytes(SlotPath(3), Golden());
    CReplay player;
    ASSERT_EQ(player.Open(SlotPath(3).c_str(), FakeSetup()), 1) << DescribeReplayError(player.GetError());
    EXPECT_STREQ(player.GetName(), "rec");
    const ReplayHeader& h = player.GetHeader();
    EXPECT_STREQ(h.stageName, "Stage01");
    EXPECT_STREQ(h.characterName, "Chr_Talve");
    EXPECT_EQ(h.playType, 1);
    EXPECT_EQ(h.year, 2024);
    EXPECT_EQ(h.month, 12);
    EXPECT_EQ(h.day, 31);
    EXPECT_EQ(player.GetFighterCount(), 3u);
    EXPECT_EQ(player.GetHumanCount(), 2u);
    EXPECT_EQ(player.GetFrameCount(), 3u);

    FakeSetup setup;
    ASSERT_EQ(player.ReadRecord(setup), 1);
    EXPECT_EQ(setup.record, SetupRecord());

    for (const TrackData& t : kTracks) {
        std::unique_ptr<CTensionFile> tension;
        ASSERT_EQ(player.ReadTensionTrack(&tension), 1);
        ASSERT_TRUE(tension);
        EXPECT_EQ(std::string(tension->GetName().GetText() ? tension->GetName().GetText() : ""), t.name);
        EXPECT_EQ(tension->GetLoopStart(), t.loopStart);
        EXPECT_EQ(tension->GetFinaleMark(), t.finaleMark);
        EXPECT_EQ(tension->GetFinaleLength(), t.finaleWindow);
        const CTensionTrack* track = tension->GetTrack();
        ASSERT_TRUE(track && track->GetCount() == t.keys.size());
        EXPECT_STREQ(track->GetName(), "Tension");
        EXPECT_EQ(track->GetLoop(), 1u);
        for (size_t k = 0; k < t.keys.size(); ++k) {
            const CTensionTrack::Key& key = track->GetData()[k];
            EXPECT_TRUE(key.time == t.keys[k].time && key.ease == t.keys[k].ease && key.value == t.keys[k].level);
        }
    }
    std::unique_ptr<CTensionFile> past;
    EXPECT_EQ(player.ReadTensionTrack(&past), 0);

    const std::vector<IReplayFighter*> list = List();
    for (const FrameData& f : kFrames) {
        FakeTarget target;
        EXPECT_EQ(player.PlayFrame(list), 0);   // the side messages come first
        ASSERT_EQ(player.ReadStateList(target), 1);
        EXPECT_EQ(player.ReadStateList(target), 0);
        fighters[1].computer = false;   // a list unlike the recording's
        EXPECT_EQ(player.PlayFrame(list), 0);
        fighters[1].computer = true;
        ASSERT_EQ(target.messages.size(), f.messages.size());
        for (size_t m = 0; m < f.messages.size(); ++m) {
            EXPECT_EQ(target.messages[m].first, f.messages[m].id);
            EXPECT_EQ(target.messages[m].second, f.messages[m].data);
        }
        ASSERT_EQ(player.PlayFrame(list), 1);
        EXPECT_EQ(GetFrameTimeMs(), f.ms);
        EXPECT_EQ(fighters[0].applied.back(), f.first);
        EXPECT_EQ(fighters[2].applied.back(), f.second);
        for (const FakeFighter& fighter : fighters) EXPECT_EQ(fighter.tension.back(), f.music);
    }
    EXPECT_TRUE(fighters[1].applied.empty());
    FakeTarget target;
    EXPECT_EQ(player.ReadStateList(target), 0);
    EXPECT_EQ(player.PlayFrame(list), 0);
    SetFrameTime(0);
}

TEST_F(ReplayTest, LongRecordingIsFlushedInPiecesAndReadsBackUnchanged)
{
    host::kernel::FakeFileWatch watch;
    CReplay recorder;
    Record(recorder);
    const std::string message(256, 'm');
    const ReplayMessage list[] = {{1, 256, message.data()}, {2, 256, message.data()}};
    for (u32 i = 0; i < 40; ++i) {
        recorder.WriteStateList(list);
        fighters[0].input = {u8(i), 0, 0, 0};
        recorder.RecordFrame(List(), 16 + i % 3);
    }
    ASSERT_EQ(recorder.SaveToSlot(section), 1);
    size_t writes = 0;
    for (const auto& e : watch.Log()) {
        if (e.step != host::kernel::FileStep::Write) continue;
        EXPECT_LE(e.bytes, CReplay::kBufferSize);
        ++writes;
    }
    EXPECT_GT(writes, 4u);

    CReplay player;
    ASSERT_EQ(player.Open(SlotPath(1).c_str(), FakeSetup()), 1);
    ASSERT_EQ(player.GetFrameCount(), 43u);
    EXPECT_EQ(ReadBytes(SlotPath(1))->substr(0, Golden().size()), Golden());
    FakeTarget target;
    fighters[0].applied.clear();
    for (u32 i = 0; i < 43; ++i) {
        ASSERT_EQ(player.ReadStateList(target), 1);
        ASSERT_EQ(player.PlayFrame(List()), 1);
    }
    EXPECT_EQ(target.messages.size(), 2u + 80u);
    EXPECT_EQ(fighters[0].applied[42][0], 39);
    SetFrameTime(0);
}

TEST_F(ReplayTest, PlaybackPacesToTheLastFrameTime)
{
    struct Case {
        u32 lastMs, elapsed, sleep;
    };
    const Case cases[] = {{16, 0, 0}, {19, 0, 0}, {20, 5, 15}, {33, 10, 23}, {33, 33, 0}, {33, 50, 0}, {5000, 0, 5000}};
    for (const Case& c : cases) {
        FrameData first = kFrames[0], second = kFrames[2];
        first.ms = c.lastMs;
        Bytes file;
        file.U32(0).Raw(Header(2024, 1, 1)).Raw(SetupRecord());
        for (const TrackData& t : kTracks) file.Raw(TrackBytes(t));
        file.Raw(FrameBytes(first)).Raw(FrameBytes(second));
        WriteBytes(SlotPath(1), file);

        CReplay player;
        ASSERT_EQ(player.Open(SlotPath(1).c_str(), FakeSetup()), 1);
        FakeTarget target;
        player.ReadStateList(target);
        const u32 before = clock.Milliseconds();
        ASSERT_EQ(player.PlayFrame(List()), 1);
        EXPECT_EQ(clock.Milliseconds(), before) << "the first frame waits for nothing";
        clock.Advance(c.elapsed);
        const u32 start = clock.Milliseconds();
        player.ReadStateList(target);
        ASSERT_EQ(player.PlayFrame(List()), 1);
        EXPECT_EQ(clock.Milliseconds() - start, c.sleep) << c.lastMs << " ms, " << c.elapsed << " elapsed";
    }
    SetFrameTime(0);
}

TEST_F(ReplayTest, SlotChoice)
{
    auto dated = [](u32 year, u32 month, u32 day) { return Header(year, month, day); };
    struct Case {
        const char* name;
        std::function<void(ReplayTest&)> fill;
        std::vector<u32> locked;
        u32 expected;
    };
    const Case cases[] = {
        {"empty folder", [](ReplayTest&) {}, {}, 1},
        {"first gap even when slot 1 is older",
            [&](ReplayTest& t) {
                for (u32 s = 1; s <= 3; ++s)
                    WriteBytes(t.SlotPath(s), Bytes().U32(0).Raw(dated(2020 + s, 1, 1)));
                WriteBytes(t.SlotPath(5), Bytes().U32(0).Raw(dated(2030, 1, 1)));
            },
            {}, 4},
        {"oldest day shared: lower slot",
            [&](ReplayTest& t) {
                t.FillSlots([&](u32 s) { return s == 2 || s == 7 ? dated(2024, 3, 3) : dated(2024, 5, s); });
            },
            {}, 2},
        {"oldest locked: next oldest",
            [&](ReplayTest& t) {
                t.FillSlots([&](u32 s) { return dated(2024, 1 + s % 12, 1 + s); });
            },
            {12, 24}, 1},
        {"across a year's end",
            [&](ReplayTest& t) {
                t.FillSlots([&](u32 s) {
                    return s == 9 ? dated(2025, 1, 1) : s == 3 ? dated(2024, 12, 31) : dated(2025, 6, 1);
                });
            },
            {}, 3},
        {"unreadable header counts as oldest",
            [&](ReplayTest& t) {
                t.FillSlots([&](u32) { return dated(2024, 6, 6); });
                WriteBytes(t.SlotPath(12), Bytes().U32(1000).Zeros(10));
            },
            {}, 12},
        {"all locked",
            [&](ReplayTest& t) { t.FillSlots([&](u32 s) { return dated(2024, 1, s); }); },
            {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27,
                28, 29, 30},
            0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const std::string& name : ListFolder(user.Saves())) std::remove((user.Saves() + name).c_str());
        c.fill(*this);
        ConfigReplay lockedSection{1, {}};
        for (u32 s : c.locked) lockedSection.locked[s - 1] = 1;
        EXPECT_EQ(ChooseReplaySlot(user.Saves(), lockedSection), c.expected);

        std::map<u32, std::optional<std::string>> before;
        for (u32 s = 1; s <= kReplaySlotCount; ++s) before[s] = ReadBytes(SlotPath(s));
        CReplay recorder;
        Record(recorder);
        EXPECT_EQ(recorder.SaveToSlot(lockedSection), c.expected ? 1 : 0);
        for (u32 s = 1; s <= kReplaySlotCount; ++s)
            EXPECT_EQ(ReadBytes(SlotPath(s)), s == c.expected ? Golden() : before[s]) << "slot " << s;
    }
}

// A fighter without a tension file: its track is an empty name, zero times
// and the no-script key count, and it reads back as none.
TEST_F(ReplayTest, AFighterWithoutATensionFileIsRecordedAsNone)
{
    CReplay recorder;
    ASSERT_NO_FATAL_FAILURE(BeginGolden(recorder));
    EXPECT_EQ(recorder.WriteTrack(Tension(kTracks[0]).get()), 1);
    EXPECT_EQ(recorder.WriteTrack(nullptr), 1);
    EXPECT_EQ(recorder.WriteTrack(*Tension(kTracks[2])), 1);
    RecordGoldenFrames(recorder);
    ASSERT_EQ(recorder.SaveToSlot(section), 1);
    // The golden file, but for the second track's key count.
    std::string expected = Golden();
    const size_t count = 8 + 76 + SetupRecord().size() + TrackBytes(kTracks[0]).size() + 17;
    ASSERT_EQ(expected.substr(count, 4), std::string(4, '\0'));
    expected.replace(count, 4, std::string(4, '\xFF'));
    EXPECT_EQ(ReadBytes(SlotPath(1)), expected);

    CReplay player;
    ASSERT_EQ(player.Open(SlotPath(1).c_str(), FakeSetup()), 1) << DescribeReplayError(player.GetError());
    const char* names[3] = {"Bgm_01.txt", nullptr, "\x8b\xc8"};
    for (const char* name : names) {
        std::unique_ptr<CTensionFile> tension;
        ASSERT_EQ(player.ReadTensionTrack(&tension), 1);
        ASSERT_EQ(tension != nullptr, name != nullptr);
        if (name) {
            EXPECT_STREQ(tension->GetName().GetText(), name);
        }
    }
    std::unique_ptr<CTensionFile> past;
    EXPECT_EQ(player.ReadTensionTrack(&past), 0);
    // The frames read on after it.
    FakeTarget target;
    for (size_t f = 0; f < std::size(kFrames); ++f) {
        ASSERT_EQ(player.ReadStateList(target), 1) << f;
        ASSERT_EQ(player.PlayFrame(List()), 1) << f;
        EXPECT_EQ(fighters[2].applied.back(), kFrames[f].second) << f;
    }
}

// Each damage of the golden file, at the record it hits.
TEST_F(ReplayTest, DamagedFilesAreRefusedWhole)
{
    const std::string golden = Golden();
    const size_t setup = 8 + 76, tracks = setup + SetupRecord().size(), frames = FramesStart();
    const size_t secondTrack = tracks + TrackBytes(kTracks[0]).size();
    auto put32 = [](size_t at, u32 v) {
        return [at, v](std::string& b) {
            for (int i = 0; i < 4; ++i) b[at + i] = char(v >> (8 * i));
        };
    };
    struct Case {
        const char* name;
        std::function<void(std::string&)> damage;
        ReplayError error;
    };
    const Case cases[] = {
        {"leading text past the end", put32(0, 0xFFFFFFF0u), ReplayError::kLeadingText},
        {"leading text without NUL", [](std::string& b) { b[7] = 'x'; }, ReplayError::kLeadingText},
        {"no participants", put32(setup, 0), ReplayError::kSetup},
        {"five participants", put32(setup, 5), ReplayError::kSetup},
        {"local entry outside", put32(setup + 4, 4), ReplayError::kSetup},
        {"unknown kind", put32(setup + 8 + 104, 6), ReplayError::kEntryKind},
        {"nobody fights",
            [&](std::string& b) {
                for (size_t e = 0; e < 4; ++e) put32(setup + 8 + e * 104, 5)(b);
            },
            ReplayError::kSetup},
        {"track name past the end", put32(tracks, 0x7FFFFFFF), ReplayError::kTrackName},
        {"track name without NUL", [&](std::string& b) { b[tracks + 4 + 10] = 'x'; }, ReplayError::kTrackName},
        {"track name with a NUL inside", [&](std::string& b) { b[tracks + 4 + 3] = 0; }, ReplayError::kTrackName},
        {"loop start not a number", put32(tracks + 15, 0x7FC00000u), ReplayError::kTrackTime},
        {"key time infinite", put32(tracks + 31, 0x7F800000u), ReplayError::kTrackTime},
        {"key count past the end", put32(tracks + 27, 0x20000000u), ReplayError::kTrackKeys},
        // The count of a fighter without a script, only with nothing else.
        {"no-script count with a name", put32(tracks + 27, kReplayNoTensionKeys), ReplayError::kTrackKeys},
        {"no-script count with a time",
            [&](std::string& b) {
                put32(secondTrack + 5, Bits(0.5f))(b);
                put32(secondTrack + 17, kReplayNoTensionKeys)(b);
            },
            ReplayError::kTrackKeys},
        {"key count below the no-script count", put32(secondTrack + 17, kReplayNoTensionKeys - 1),
            ReplayError::kTrackKeys},
        {"level above climax", put32(tracks + 31 + 12 + 8, 4), ReplayError::kTrackLevel},
        {"level negative", put32(tracks + 31 + 8, 0xFFFFFFFFu), ReplayError::kTrackLevel},
        {"music time not a number", put32(frames + 5, 0xFF800000u), ReplayError::kMusicTime},
    };
    WriteBytes(SlotPath(2), golden);
    for (const Case& c : cases) {
        std::string bytes = golden;
        c.damage(bytes);
        WriteBytes(SlotPath(1), bytes);
        CReplay player;
        ASSERT_EQ(player.Open(SlotPath(2).c_str(), FakeSetup()), 1);
        EXPECT_EQ(player.Open(SlotPath(1).c_str(), FakeSetup()), 0) << c.name;
        EXPECT_EQ(player.GetError(), c.error) << c.name << ": " << DescribeReplayError(player.GetError());
        // The replay opened before leaves neither its header nor its text.
        const ReplayHeader& h = player.GetHeader();
        EXPECT_TRUE(h.version == 0 && h.stageName[0] == 0 && h.characterName[0] == 0 && h.year == 0) << c.name;
        EXPECT_EQ(player.GetName(), nullptr) << c.name;
        // Nothing of it can be played.
        FakeSetup setupOut;
        FakeTarget target;
        EXPECT_EQ(player.ReadRecord(setupOut), 0);
        std::unique_ptr<CTensionFile> tension;
        EXPECT_EQ(player.ReadTensionTrack(&tension), 0);
        EXPECT_EQ(player.ReadStateList(target), 0);
        EXPECT_EQ(player.PlayFrame(List()), 0);
        EXPECT_TRUE(fighters[0].applied.empty() && fighters[0].tension.empty());
    }
}

// A file sound in form whose set-up the battle refuses does not open, and
// nothing of it can be played.
TEST_F(ReplayTest, TheBattlesVerdictOnTheSetupIsTakenAtOpen)
{
    WriteBytes(SlotPath(1), Golden());
    FakeSetup battle;
    battle.refused = SetupRecord();
    CReplay player;
    EXPECT_EQ(player.Open(SlotPath(1).c_str(), battle), 0);
    EXPECT_EQ(player.GetError(), ReplayError::kSetupRefused);
    EXPECT_EQ(player.GetErrorOffset(), 8u + 76u);
    EXPECT_EQ(player.GetFrameCount(), 0u);
    EXPECT_EQ(player.GetName(), nullptr);
    EXPECT_EQ(player.GetHeader().year, 0);
    FakeTarget target;
    EXPECT_EQ(player.ReadRecord(battle), 0);
    EXPECT_EQ(player.ReadStateList(target), 0);
    EXPECT_EQ(player.PlayFrame(List()), 0);
    battle.refused = "other";
    EXPECT_EQ(player.Open(SlotPath(1).c_str(), battle), 1);
    EXPECT_STREQ(player.GetName(), "rec");
}

// Cut inside its set-up or tracks, a replay is refused; cut anywhere among
// its frames (a copy cut short), it holds and plays the whole frames before
// the cut, their side messages with them, and nothing after them.
TEST_F(ReplayTest, ACutAmongTheFramesKeepsTheWholeFramesBeforeIt)
{
    const std::string golden = Golden();
    std::vector<size_t> ends = {FramesStart()};
    for (const FrameData& f : kFrames) ends.push_back(ends.back() + FrameBytes(f).size());
    for (size_t cut = 0; cut < golden.size(); ++cut) {
        WriteBytes(SlotPath(1), golden.substr(0, cut));
        CReplay player;
        const bool opens = cut >= FramesStart();
        ASSERT_EQ(player.Open(SlotPath(1).c_str(), FakeSetup()), opens ? 1 : 0) << cut;
        if (!opens) continue;
        const u32 whole = u32(std::upper_bound(ends.begin(), ends.end(), cut) - ends.begin() - 1);
        ASSERT_EQ(player.GetFrameCount(), whole) << cut;
        FakeTarget target;
        for (u32 f = 0; f < whole; ++f) {
            ASSERT_EQ(player.ReadStateList(target), 1) << cut << ", frame " << f;
            ASSERT_EQ(player.PlayFrame(List()), 1) << cut << ", frame " << f;
            EXPECT_EQ(fighters[2].applied.back(), kFrames[f].second) << cut << ", frame " << f;
        }
        EXPECT_EQ(target.messages.size(), whole >= 2 ? 2u : 0u) << cut;
        EXPECT_EQ(player.ReadStateList(target), 0) << cut;
        EXPECT_EQ(player.PlayFrame(List()), 0) << cut;
    }
    // A side message whose length runs past the end looks like that cut.
    std::string longMessage = golden;
    longMessage[ends[1] + 5] = char(200);
    WriteBytes(SlotPath(1), longMessage);
    CReplay player;
    ASSERT_EQ(player.Open(SlotPath(1).c_str(), FakeSetup()), 1) << DescribeReplayError(player.GetError());
    EXPECT_EQ(player.GetFrameCount(), 1u);
    CReplay missing;
    EXPECT_EQ(missing.Open((user.Saves() + "none.rep").c_str(), FakeSetup()), 0);
    EXPECT_EQ(missing.GetError(), ReplayError::kOpen);
    ReplayHeader untouched{};
    untouched.year = 7;
    EXPECT_EQ(CReplay::ReadHeaderOnly((user.Saves() + "none.rep").c_str(), &untouched), 0);
    EXPECT_EQ(untouched.year, 7);
}

// The battle never records a frame past 5 s or a side message past 256
// bytes; one in a file costs that frame's time or that message, not the
// replay: the frame plays 5 s, the message is not handed on.
TEST_F(ReplayTest, ALongFrameOrSideMessageIsPlayedNotRefused)
{
    const std::string longData(kReplayMaxMessageBytes + 1, 'x'), fullData(kReplayMaxMessageBytes, 'y');
    const FrameData frames[3] = {
        {{{5, longData}, {6, "ok"}}, kReplayMaxFrameMs + 1, 1.0f, {1, 0, 0, 0}, {2, 0, 0, 0}},
        {{{7, fullData}}, kReplayMaxFrameMs, 2.0f, {3, 0, 0, 0}, {4, 0, 0, 0}},
        {{}, 0xFFFFFFFFu, 3.0f, {5, 0, 0, 0}, {6, 0, 0, 0}},
    };
    Bytes b;
    b.U32(4).Raw(std::string("rec", 4)).Raw(Header(2024, 12, 31)).Raw(SetupRecord());
    for (const TrackData& t : kTracks) b.Raw(TrackBytes(t));
    for (const FrameData& f : frames) b.Raw(FrameBytes(f));
    WriteBytes(SlotPath(1), b);
    CReplay player;
    ASSERT_EQ(player.Open(SlotPath(1).c_str(), FakeSetup()), 1) << DescribeReplayError(player.GetError());
    ASSERT_EQ(player.GetFrameCount(), 3u);
    const u32 playedMs[3] = {kReplayMaxFrameMs, kReplayMaxFrameMs, kReplayMaxFrameMs};
    for (u32 f = 0; f < 3; ++f) {
        FakeTarget target;
        ASSERT_EQ(player.ReadStateList(target), 1) << f;
        ASSERT_EQ(player.PlayFrame(List()), 1) << f;
        EXPECT_EQ(GetFrameTimeMs(), playedMs[f]) << f;
        EXPECT_EQ(fighters[0].applied.back(), frames[f].first) << f;
        EXPECT_EQ(fighters[2].applied.back(), frames[f].second) << f;
        std::vector<std::pair<u32, std::string>> handed;
        for (const Message& m : frames[f].messages)
            if (m.data.size() <= kReplayMaxMessageBytes) handed.emplace_back(m.id, m.data);
        EXPECT_EQ(target.messages, handed) << f;
    }
}

// A damaged replay of under 1 MiB holds what its frames take: the player
// keeps its bytes and one small record per whole frame, each of which stands
// on the 17 bytes a frame of two humans takes at least, however the frames
// claim messages past the end.
TEST_F(ReplayTest, ADamagedReplayHoldsNoMoreFramesThanItsBytes)
{
    Bytes b;
    b.U32(4).Raw(std::string("rec", 4)).Raw(Header(2024, 12, 31)).Raw(SetupRecord());
    for (const TrackData& t : kTracks) b.Raw(TrackBytes(t));
    const std::string head = b;
    const FrameData plain = {{}, 16, 1.0f, {1, 0, 0, 0}, {2, 0, 0, 0}};
    const std::string frame = FrameBytes(plain);
    ASSERT_EQ(frame.size(), 17u);
    const size_t frameCount = ((size_t(1) << 20) - head.size() - 64) / frame.size();
    std::string bytes = head;
    for (size_t i = 0; i < frameCount; ++i) bytes += frame;
    // The last frame claims 255 messages, the first of them 4 GB long.
    bytes += Bytes().U8(255).U32(9).U32(0xFFFFFFFFu).Raw("tail");
    ASSERT_LT(bytes.size(), size_t(1) << 20);
    WriteBytes(SlotPath(1), bytes);
    CReplay player;
    ASSERT_EQ(player.Open(SlotPath(1).c_str(), FakeSetup()), 1) << DescribeReplayError(player.GetError());
    EXPECT_EQ(player.GetFrameCount(), frameCount);
    EXPECT_LE(u64(player.GetFrameCount()) * frame.size(), bytes.size());
}

// A replay past 64 MiB (once refused as no replay) opens: its first frame
// carries a side message of 64 MiB, made as a hole in the file.
TEST_F(ReplayTest, AReplayPast64MiBOpens)
{
    Bytes b;
    b.U32(4).Raw(std::string("rec", 4)).Raw(Header(2024, 12, 31)).Raw(SetupRecord());
    for (const TrackData& t : kTracks) b.Raw(TrackBytes(t));
    const u32 length = 64u << 20;
    b.U8(1).U32(5).U32(length);
    const std::string head = b;
    const FrameData last = {{{6, "ok"}}, 20, 2.0f, {3, 0, 0, 0}, {4, 0, 0, 0}};
    const std::string tail = Bytes().U32(16).U32(Bits(1.0f)).U32(1).U32(2).Raw(FrameBytes(last));
    WriteBytes(SlotPath(1), head);
    std::filesystem::resize_file(SlotPath(1), head.size() + length);
    {
        std::ofstream out(SlotPath(1), std::ios::binary | std::ios::app);
        out.write(tail.data(), std::streamsize(tail.size()));
        ASSERT_TRUE(out.good());
    }
    ASSERT_GT(std::filesystem::file_size(SlotPath(1)), u64(64) << 20);
    CReplay player;
    ASSERT_EQ(player.Open(SlotPath(1).c_str(), FakeSetup()), 1) << DescribeReplayError(player.GetError());
    ASSERT_EQ(player.GetFrameCount(), 2u);
    const std::vector<std::pair<u32, std::string>> handed[2] = {{}, {{6, "ok"}}};
    const Packet first[2] = {{1, 0, 0, 0}, {3, 0, 0, 0}};
    for (u32 f = 0; f < 2; ++f) {
        FakeTarget target;
        ASSERT_EQ(player.ReadStateList(target), 1) << f;
        ASSERT_EQ(player.PlayFrame(List()), 1) << f;
        EXPECT_EQ(target.messages, handed[f]) << f;
        EXPECT_EQ(fighters[0].applied.back(), first[f]) << f;
    }
}

// A full disk or a failed step anywhere keeps the replaced slot whole.
TEST_F(ReplayTest, FailedSaveKeepsTheOldSlot)
{
    using host::kernel::FileStep;
    FillSlots([](u32 s) { return Header(2024, 1, s); });
    const std::string old = *ReadBytes(SlotPath(1));
    struct Case {
        const char* name;
        FileStep step;
        bool shortWrite;
    };
    const Case cases[] = {
        {"recording write fails", FileStep::Write, false},
        {"recording write cut short", FileStep::Write, true},
        {"temporary slot file not made", FileStep::CreateTemp, false},
        {"slot data write fails", FileStep::WriteTemp, false},
        {"sync fails", FileStep::SyncTemp, false},
        {"close fails", FileStep::CloseTemp, false},
        {"rename fails", FileStep::Rename, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CReplay recorder;
        {
            host::kernel::FakeFileWatch watch;
            if (c.shortWrite)
                watch.Limit(c.step, 3);
            else
                watch.Fail(c.step);
            Record(recorder);
            EXPECT_EQ(recorder.SaveToSlot(section), 0);
        }
        EXPECT_EQ(ReadBytes(SlotPath(1)), old);
        EXPECT_EQ(ListFolder(user.Saves()).size(), kReplaySlotCount);
        // A failed slot write keeps the recording for another try.
        if (c.step != FileStep::Write) {
            ASSERT_EQ(recorder.SaveToSlot(section), 1);
            EXPECT_EQ(ReadBytes(SlotPath(1)), Golden());
            WriteBytes(SlotPath(1), old);
        }
        recorder.Release();
        EXPECT_TRUE(ListFolder(user.Root() + "Temp").empty());
    }
}

// Saving off, or a recording that could not be played back as it was.
TEST_F(ReplayTest, NothingIsStored)
{
    struct Case {
        const char* name;
        std::function<void(CReplay&)> spoil;
    };
    const std::string big(257, 'x');
    const Case cases[] = {
        {"saving off", [&](CReplay&) { section.saveReplays = 0; }},
        {"side message too long",
            [&](CReplay& r) {
                const ReplayMessage m{1, 257, big.data()};
                EXPECT_EQ(r.WriteStateList({&m, 1}), 0);
            }},
        {"fewer human inputs than the set-up has",
            [&](CReplay& r) {
                r.WriteStateList({});
                fighters[2].computer = true;
                r.RecordFrame(List(), 16);
                fighters[2].computer = false;
            }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CReplay recorder;
        Record(recorder);
        c.spoil(recorder);
        EXPECT_EQ(recorder.SaveToSlot(section), 0);
        EXPECT_TRUE(ListFolder(user.Saves()).empty());
        section.saveReplays = 1;
        recorder.Release();
        EXPECT_TRUE(ListFolder(user.Root() + "Temp").empty());
    }
    CReplay idle;
    EXPECT_EQ(idle.SaveToSlot(section), 0);
}

TEST_F(ReplayTest, HeaderNamesAreCutAtACharacterBoundary)
{
    // 30 ASCII bytes and a two-byte character: the character does not fit.
    const std::string stage = std::string(30, 's') + "\x8b\xc8";
    CReplay recorder;
    ASSERT_EQ(recorder.Begin(), 1);
    recorder.WriteHeader(stage.c_str(), std::string(40, 'c').c_str(), 0);
    EXPECT_EQ(std::string(recorder.GetHeader().stageName), std::string(30, 's'));
    EXPECT_EQ(std::string(recorder.GetHeader().characterName), std::string(31, 'c'));
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID

}  // namespace replay_file_test
