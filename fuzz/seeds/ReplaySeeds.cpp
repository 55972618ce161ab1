// Seeds of the replay files: battles recorded by the replay's own recorder.
#include "fuzz/FuzzSupport.h"
#include "fuzz/seeds/Seeds.h"
#include "game/battle/scene/ReplaySetup.h"
#include "game/data/TensionFile.h"
#include "game/data/tests/ReplayTestSupport.h"

#include <cstring>
#include <vector>

namespace seeds {
namespace {

// kinds: the entries' kinds; frames of side messages every third frame;
// the fighter numbered noScript has no tension file.
Bytes Recorded(const char* name, const std::vector<u32>& kinds, u32 frames, size_t noScript = ~size_t(0))
{
    CBattleSetup setup;
    setup.option.randomSeed = 4242;
    for (u32 i = 0; i < setup.count; ++i) setup.GetEntry(i)->kind = kinds[i];

    CReplay recorder;
    if (name) recorder.SetName(name);
    FUZZ_CHECK(recorder.Begin() == 1);
    recorder.WriteHeader("Stage01", "Chr_\x83\x5e\x83\x8b\x83\x94\x83\x46", kinds[1] < 4 ? 1 : 0);
    recorder.WriteRecord(CReplaySetupRecord(setup));

    std::vector<replay_test::FakeFighter> fighters;
    for (u32 kind : kinds)
        if (kind < CBattleEntry::kKindNone) fighters.emplace_back(kind == CBattleEntry::kKindComputer);
    std::vector<IReplayFighter*> list;
    for (size_t i = 0; i < fighters.size(); ++i) {
        CTensionFile tension;
        tension.SetName(i ? "Bgm_02.txt" : "");
        tension.SetLoopStart(20.0f);
        tension.SetFinaleTime(150.0f);
        tension.SetFinaleLength(2.5f);
        auto* track = new CTensionTrack("Tension", kTensionNormal, 0);
        track->AddKey(0.0f, kTensionNormal);
        track->AddKey(30.0f + f32(i), kTensionHigh, 0.5f);
        track->AddKey(150.0f, kTensionClimax);
        tension.SetTrack(track);
        recorder.WriteTrack(i == noScript ? nullptr : &tension);
        list.push_back(&fighters[i]);
    }

    const char text[] = "side message";
    for (u32 f = 0; f < frames; ++f) {
        const ReplayMessage messages[2] = {{30, sizeof text, text}, {31, 0, nullptr}};
        recorder.WriteStateList(f % 3 ? std::span<const ReplayMessage>() : std::span<const ReplayMessage>(messages));
        for (size_t i = 0; i < fighters.size(); ++i) fighters[i].input = {u8(f), u8(i), u8(f * 3), u8(100 - f)};
        fighters[0].musicTime = f32(f) * 0.016f;
        recorder.RecordFrame(list, 16 + f % 2);
    }
    const std::string path = fuzz::Folder("replay_seeds") + "seed.rep";
    FUZZ_CHECK(recorder.Finish(path) == 1);
    CBattleSetup probe;
    CReplay check;
    FUZZ_CHECK(check.Open(path.c_str(), CReplaySetupRecord(probe)) == 1 && check.GetFrameCount() == frames);
    return fuzz::ReadFile(path);
}

}  // namespace

void MakeReplaySeeds(const std::string& root)
{
    Sink sink(root, "replay");
    sink.Add("local", Recorded(nullptr, {0, 4, 4, 4}, 12));
    sink.Add("network", Recorded("net", {0, 1, 2, 3}, 8));
    sink.Add("left", Recorded(nullptr, {0, 5, 4, 1}, 5));
    sink.Add("no_script", Recorded(nullptr, {0, 4, 4, 4}, 4, 2));
    const Bytes whole = Recorded(nullptr, {0, 4, 4, 4}, 2);
    sink.Add("cut", whole.substr(0, whole.size() - 3));
}

}  // namespace seeds
