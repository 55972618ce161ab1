// The battle without drawing: one frame of the four-computer battle (inputs,
// object updates, both interaction sweeps, effects, consoles, end test) as
// a share of the 16.7 ms a frame has at 60 per second, and a recorded
// 3-minute battle (10,800 frames) played back from its replay.
#include "engine/core/Crc32.h"
#include "engine/core/ObjectRegistry.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/platform/FrameTime.h"
#include "engine/platform/Sound.h"
#include "engine/platform/System.h"
#include "engine/scene/EffectController.h"
#include "engine/scene/ResourceController.h"
#include "game/battle/scene/BattleScene.h"
#include "game/battle/scene/tests/BattleSceneFakes.h"
#include "game/data/Replay.h"
#include "host/kernel/Kernel.h"
#include "host/kernel/tests/TempFolder.h"
#include "host/render/FakeRender.h"
#include "host/render/RenderBackend.h"
#include "host/sound/Sound.h"
#include "host/window/FakeWindow.h"
#include "host/window/Window.h"

#include <benchmark/benchmark.h>

#include <thread>   // the steady clock (not <chrono>: see cmake/Orv.cmake)
#include <memory>

namespace {

using namespace scene_test;

constexpr f64 kFrameBudgetMs = 1000.0 / 60.0;
constexpr u32 kReplayFrames = 10800;   // 3 minutes at 60 frames a second

host::window::LResult Proc(host::window::Handle window, uint32_t message, host::window::WParam w,
    host::window::LParam l)
{
    return host::window::DefWindowProc(window, message, w, l);
}

// The fake window and render device, the null sound output, the data set
// and the game's shared objects, made once.
class World {
public:
    World()
    {
        host::window::InstallFakeWindow();
        host::render::InstallFakeRender();
        {
            host::kernel::FakeClock clock{1000};
            host::kernel::ScopedClock scoped{clock};
            ok = system.Create(GetModuleInstance(), "Bench", -1, -1, 640, 480, 0xCA0000, 105, &Proc, nullptr) == 1 &&
                device.Create(&system) == 1;
        }
        host::sound::SetNullOutput(&null);
        ok = ok && sound.Initialize(&system) == 1 && battle_data::WriteBattleData(root / "data") &&
            host::kernel::SetCurrentDirectory(battle_data::ResourceFolder(root / "data"));
        for (const battle_data::Archive& a : battle_data::kArchives)
            ok = ok && resources.LoadScrambledPack(a.path, Crc32String(a.packName), a.key, 1) == 1;
        ok = ok && resources.Load(battle_data::kResourceList, 1) == 1 && effects.Create(&device, 1024, 1024) == 1;
        app.resources = &resources;
        app.effects = &effects;
        app.sound = &sound;
        app.userFolder = user.Path();
        SetObjectRegistry(&registry);
        SetFrameTime(kFrameMs);
    }

    host::kernel::testing::TempFolder root, user;
    CSystem system;
    CGraphicDevice device;
    host::sound::NullOutput null;
    CSound sound;
    CResourceController resources;
    CEffectController effects;
    CObjectRegistry registry;
    FakeBattleApp app;
    host::kernel::FakeClock clock{1000};
    host::kernel::ScopedClock scoped{clock};
    bool ok = false;
};

World& TheWorld()
{
    static World* world = new World();   // kept to the end: devices outlive the runs
    return *world;
}

using Clock = std::chrono::steady_clock;

f64 Seconds(Clock::time_point since) { return std::chrono::duration<f64>(Clock::now() - since).count(); }

// The frame's time in milliseconds and as a share of the 16.7 ms budget.
void FrameCounters(benchmark::State& state, f64 seconds, u64 frames)
{
    const f64 ms = frames ? seconds * 1000.0 / f64(frames) : 0.0;
    state.counters["frames"] = f64(frames);
    state.counters["ms_per_frame"] = ms;
    state.counters["share_of_frame"] = ms / kFrameBudgetMs;
}

// One whole battle per iteration, from the start countdown to the result.
void BM_ComputerBattleFrame(benchmark::State& state)
{
    World& w = TheWorld();
    if (!w.ok) return state.SkipWithError("the battle data did not load");
    u64 frames = 0;
    f64 seconds = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        auto scene = std::make_unique<CBattleScene>(&w.app);
        if (!scene->Load(CpuSetup())) return state.SkipWithError("the battle did not load");
        state.ResumeTiming();
        const Clock::time_point start = Clock::now();
        while (!scene->IsOver()) {
            scene->Update(0);
            ++frames;
        }
        seconds += Seconds(start);
        state.PauseTiming();
        scene.reset();
        state.ResumeTiming();
    }
    FrameCounters(state, seconds, frames);
}
BENCHMARK(BM_ComputerBattleFrame)->Unit(benchmark::kMillisecond)->Iterations(3);

// A 200-second battle recorded for its first 10,800 frames, once; its
// state after them, which each playback must reach again.
bool RecordThreeMinutes(World& w, u64* finalHash)
{
    static u64 hash = 0;
    static const bool recorded = [&w] {
        CBattleSetup* setup = CpuSetup(777);
        setup->option.timeSetting = 1;
        setup->recordReplay = 1;
        CBattleScene scene(&w.app);
        if (!scene.Load(setup) || !scene.GetReplay()) return false;
        for (u32 f = 0; f < kReplayFrames; ++f) scene.Update(0);
        hash = scene.HashState().Value();
        return scene.GetReplay()->Finish(ReplaySlotPath(w.user.Path(), 1)) == 1;
    }();
    *finalHash = hash;
    return recorded;
}

// Load and all 10,800 frames of the replay per iteration.
void BM_ReplayThreeMinutes(benchmark::State& state)
{
    World& w = TheWorld();
    u64 recordedHash = 0;
    if (!w.ok || !RecordThreeMinutes(w, &recordedHash)) return state.SkipWithError("the replay was not recorded");
    u64 frames = 0;
    f64 seconds = 0.0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        CBattleScene scene(&w.app);
        CBattleSetup* setup = CpuSetup();
        setup->replayMode = 1;
        setup->replayNumber = 1;
        if (!scene.Load(setup)) return state.SkipWithError("the replay did not load");
        for (u32 f = 0; f < kReplayFrames; ++f) scene.Update(0);
        frames += kReplayFrames;
        seconds += Seconds(start);
        // A playback that parts from its recording times another battle.
        if (scene.HashState().Value() != recordedHash) return state.SkipWithError("the playback left its recording");
    }
    FrameCounters(state, seconds, frames);
    state.counters["seconds_per_replay"] = seconds / f64(state.iterations());
}
BENCHMARK(BM_ReplayThreeMinutes)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
