// One frame of effects with both pools full: 2,048 live nodes and 4,096
// particles updated and drawn to the fake render backend, as the battle
// scene's frame runs them (the controller's UpdateAll and DrawAll). The
// fake device does not record the calls, as in a shown battle's frames
// (the game driver turns its log off there): the figure is the effects'
// work, not the recorder's.
#include "engine/core/Random.h"
#include "engine/graphics/Camera.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/graphics/Texture.h"
#include "engine/model/RenderList.h"
#include "engine/platform/FrameTime.h"
#include "engine/platform/System.h"
#include "engine/scene/Effect.h"
#include "engine/scene/EffectContainer.h"
#include "engine/scene/EffectController.h"
#include "engine/scene/EffectObject.h"
#include "host/kernel/Kernel.h"
#include "host/render/FakeRender.h"
#include "host/window/FakeWindow.h"

#include <benchmark/benchmark.h>

namespace {

constexpr u32 kNodes = 2048;
constexpr u32 kParticles = 4096;

host::window::LResult Proc(host::window::Handle window, uint32_t message, host::window::WParam w,
    host::window::LParam l)
{
    return host::window::DefWindowProc(window, message, w, l);
}

// A device on the fakes, a camera, and every instance playing.
struct Stage {
    explicit Stage(u32 sorted)
    {
        fake = &host::render::InstallFakeRender();
        system.Create(GetModuleInstance(), "bench", -1, -1, 1024, 768, 0xCA0000, 105, &Proc, nullptr);
        ok = device.Create(&system) == 1 &&
             texture.Create(64, 64, 0, host::render::kFormatA8R8G8B8, host::render::kPoolManaged) == 1 &&
             controller.Create(&device, kNodes, kParticles) == 1;
        const CVector3 eye(0, 5, -20), target(0, 0, 0), up(0, 1, 0);
        camera.SetLookAt(&eye, &target, &up);
        camera.SetPerspective(60.0f, 4.0f / 3.0f, 0.1f, 1000.0f);
        camera.SetViewport(0, 0, 0, 0);
        ok = ok && camera.Apply() == 1;

        // Each instance: one node turning and fading, emitting two sprite
        // particles that spread, spin and fall.
        auto* o = new CEffectObject();
        o->SetName("spark");
        o->SetResource("spark.png", &texture);
        o->GetRotationTrack().AddKey(0.0f, CVector3(0, 0, 0));
        o->GetRotationTrack().AddKey(10.0f, CVector3(0, 360, 0));
        o->GetColorTrack().AddKey(0.0f, CVector4(1, 1, 1, 1));
        o->GetColorTrack().AddKey(100.0f, CVector4(1, 1, 1, 0.5f));
        o->GetParticleTrack().AddKey(0.0f, 2u);
        o->GetNodeSettings().billboard = 1;
        o->GetNodeSettings().blendMode = 2;
        o->GetNodeSettings().sorted = sorted;
        o->GetNodeSettings().radiusFactor = 1.0f;
        EffectParticleSettings& s = o->GetParticleSettings();
        s.offset.Set(0.5f, 0.5f, 0.5f);
        s.offsetSpread.Set(0.2f, 0.2f, 0.2f);
        s.directionSpread.Set(0.5f, 0.5f, 0.5f);
        s.direction.Set(0, 1, 0);
        s.speed = 2.0f;
        s.spin.Set(0, 90, 45);
        s.acceleration = -1.0f;
        s.colorDecrease = CVector4(0, 0, 0, 0.001f);
        container.AddObject(o);
        controller.SeedRandom(1);
        for (u32 i = 0; i < kNodes; ++i) {
            const CVector3 at(f32(i % 64) - 32.0f, 0.0f, f32(i / 64));
            container.PlayAtPosition(&controller, &at, 1, nullptr);
        }
        SetFrameTime(16);
        controller.UpdateAll(0);
        ok = ok && controller.GetNodePool().GetLiveCount() == kNodes &&
             controller.GetParticlePool().GetLiveCount() == kParticles;
        fake->SetLogging(false);
    }

    ~Stage()
    {
        controller.Release();
        device.Release();
        host::render::InstallBackend(nullptr);
    }

    host::kernel::FakeClock clock{1000};
    host::kernel::ScopedClock scoped{clock};
    host::window::FakeWindow& fakeWindow = host::window::InstallFakeWindow();
    host::render::FakeRender* fake = nullptr;
    CSystem system;
    CGraphicDevice device;
    CTexture texture;
    CCamera camera;
    CEffectContainer container;
    CEffectController controller;
    bool ok = false;
};

void BM_EffectFrame(benchmark::State& state)
{
    Stage stage(0);
    if (!stage.ok) {
        state.SkipWithError("the pools could not be filled");
        return;
    }
    // One scene around every frame: its clear is the device's cost, not the
    // effects'.
    stage.device.BeginScene();
    for (auto _ : state) {
        stage.controller.UpdateAll(0);
        stage.controller.DrawAll(0, nullptr);
    }
    stage.device.EndScene();
    state.counters["nodes"] = f64(stage.controller.GetNodePool().GetLiveCount());
    state.counters["particles"] = f64(stage.controller.GetParticlePool().GetLiveCount());
}
BENCHMARK(BM_EffectFrame)->Unit(benchmark::kMillisecond);

// The update alone, for the share the drawing takes.
void BM_EffectUpdate(benchmark::State& state)
{
    Stage stage(0);
    if (!stage.ok) {
        state.SkipWithError("the pools could not be filled");
        return;
    }
    for (auto _ : state) stage.controller.UpdateAll(0);
}
BENCHMARK(BM_EffectUpdate)->Unit(benchmark::kMillisecond);

// The same with the particles sorted through a render list as large as the
// particle pool.
void BM_EffectFrameSorted(benchmark::State& state)
{
    Stage stage(1);
    if (!stage.ok) {
        state.SkipWithError("the pools could not be filled");
        return;
    }
    CRenderList list("描画リスト", kParticles, &stage.device);
    stage.device.BeginScene();
    for (auto _ : state) {
        stage.controller.UpdateAll(0);
        list.Clear();
        stage.controller.DrawAll(0, &list);
        list.Draw();
    }
    stage.device.EndScene();
    state.counters["sorted"] = f64(list.GetUsedCount());
}
BENCHMARK(BM_EffectFrameSorted)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
