// Replay files through CReplay::Open and playback. A file that opens must
// play to its end within its bounds, and recording again what was played
// must give the same file after its header, or one that plays as long.
#include "engine/platform/FrameTime.h"
#include "fuzz/FuzzSupport.h"
#include "game/battle/scene/ReplaySetup.h"
#include "game/data/TensionFile.h"
#include "game/data/tests/ReplayTestSupport.h"

#include <cstring>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Pacing sleeps on this clock, never for real.
    static host::kernel::FakeClock clock;
    host::kernel::SetClock(&clock);
    static const std::string folder = fuzz::Folder("replay");
    const std::string path = folder + "input.rep";
    fuzz::WriteFile(path, data, size);

    // The set-up through the battle's own reader, which Open asks first.
    CBattleSetup battle;
    CReplaySetupRecord record(battle);
    CReplay player;
    if (!player.Open(path.c_str(), record)) {
        FUZZ_CHECK(player.GetError() != ReplayError::kNone && player.GetFrameCount() == 0);
        return 0;
    }
    const ReplayHeader& header = player.GetHeader();
    FUZZ_CHECK(std::memchr(header.stageName, 0, 32) && std::memchr(header.characterName, 0, 32));

    // The set-up as bytes (what the recorder stores back); the battle's
    // reader takes what Open let through.
    replay_test::FakeSetup setup;
    FUZZ_CHECK(player.ReadRecord(setup) == 1);
    FUZZ_CHECK(player.ReadRecord(record) == 1);

    // A fighter without a tension file has a null track.
    std::vector<std::unique_ptr<CTensionFile>> tracks;
    for (std::unique_ptr<CTensionFile> t; player.ReadTensionTrack(&t);) {
        const i32 level = t ? t->GetLevelAt(t->GetLoopStart() + 1.0f) : 0;
        FUZZ_CHECK(level >= 0 && level <= 3);
        tracks.push_back(std::move(t));
    }
    FUZZ_CHECK(tracks.size() == player.GetFighterCount());

    // Humans first, the computers after: playback follows only the count.
    std::vector<replay_test::FakeFighter> fighters;
    for (u32 i = 0; i < player.GetFighterCount(); ++i) fighters.emplace_back(i >= player.GetHumanCount());
    std::vector<IReplayFighter*> list;
    for (auto& f : fighters) list.push_back(&f);

    CReplay recorder;
    FUZZ_CHECK(recorder.Begin() == 1);
    recorder.WriteHeader(header.stageName, header.characterName, header.playType);
    recorder.WriteRecord(setup);
    for (const auto& t : tracks) recorder.WriteTrack(t.get());

    for (u32 frame = 0; frame < player.GetFrameCount(); ++frame) {
        replay_test::FakeTarget target;
        FUZZ_CHECK(player.ReadStateList(target) == 1);
        FUZZ_CHECK(player.PlayFrame(list) == 1);
        std::vector<ReplayMessage> messages;
        for (const auto& [id, bytes] : target.messages) {
            FUZZ_CHECK(bytes.size() <= kReplayMaxMessageBytes);
            messages.push_back({id, u32(bytes.size()), bytes.data()});
        }
        FUZZ_CHECK(recorder.WriteStateList(messages) == 1);
        for (auto& f : fighters) {
            if (!f.computer) f.input = f.applied.back();
            f.musicTime = f.tension.back();
        }
        FUZZ_CHECK(recorder.RecordFrame(list, GetFrameTimeMs()) == 1);
    }
    FUZZ_CHECK(player.PlayFrame(list) == 0);

    const std::string again = folder + "again.rep";
    FUZZ_CHECK(recorder.Finish(again) == 1);
    // The recorder has no leading text; all after the header is the same, up
    // to a last frame cut short, which is not played.
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string written = fuzz::ReadFile(again);
    const size_t headerEnd = 4 + (player.GetName() ? player.GetNameLength() : 0) + kReplayHeaderBytes;
    FUZZ_CHECK(written.size() >= 4 + kReplayHeaderBytes);
    const size_t kept = written.size() - (4 + kReplayHeaderBytes);
    FUZZ_CHECK(headerEnd + kept <= input.size());
    if (written.compare(4 + kReplayHeaderBytes, std::string::npos, input, headerEnd, kept) != 0) {
        // A frame longer than the battle records plays shortened and a side
        // message longer than its record is not handed on: the file written
        // back is what was played, and it plays as many frames again.
        CBattleSetup battleAgain;
        CReplaySetupRecord recordAgain(battleAgain);
        CReplay back;
        FUZZ_CHECK(back.Open(again.c_str(), recordAgain) == 1);
        FUZZ_CHECK(back.GetFrameCount() == player.GetFrameCount());
    }
    host::kernel::SetClock(nullptr);
    return 0;
}
