// One frame of 2,000 textured 32x32 sprites, drawn the way the engine's
// sprite path draws them (a 0x144 triangle fan each through
// DrawPrimitiveUP, two textures and two blend modes taking turns), on the
// OpenGL backend and, as the yardstick, through SDL2's own 2D renderer with
// its OpenGL driver in a window of the same size. The argument is how many
// consecutive sprites share a texture and blend mode: 1 changes state every
// sprite, 50 leaves runs that can be batched.
//
// Each frame ends with a one-pixel readback, so the time includes the GPU's
// (llvmpipe's) work, then Present. Run headless with SDL_VIDEODRIVER=offscreen.
#include "host/render/Render.h"
#include "host/render/RenderBackend.h"
#include "host/window/Window.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using namespace host::render;

constexpr int kWidth = 800, kHeight = 600, kSprites = 2000, kSize = 32;

struct Vertex {
    float x, y, z, rhw;
    uint32_t color;
    float u, v;
};

// Sprite positions, the same in both renderers.
std::vector<std::array<int, 2>> Positions() {
    std::vector<std::array<int, 2>> out;
    uint32_t seed = 12345;
    for (int i = 0; i < kSprites; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const int x = int(seed >> 8) % (kWidth - kSize);
        seed = seed * 1664525u + 1013904223u;
        const int y = int(seed >> 8) % (kHeight - kSize);
        out.push_back({x, y});
    }
    return out;
}

// Texel (x, y) of texture t: a ring with soft alpha, as sprites have.
uint32_t Texel(int t, int x, int y) {
    const int dx = x - kSize / 2, dy = y - kSize / 2, d = dx * dx + dy * dy;
    const uint32_t alpha = d < 100 ? 0xFF : d < 200 ? 0x80 : 0x00;
    return alpha << 24 | (t ? 0x3080FFu : 0xFF8030u);
}

struct Ours {
    host::window::Handle window = nullptr;
    Ref<Api> api;
    Ref<Device> device;
    Ref<Surface> back;
    Ref<Texture> textures[2];
    std::vector<std::array<Vertex, 4>> quads;

    bool Start() {
        host::window::UseRealBackend();
        host::window::WindowDesc desc;
        desc.title = "ours";
        desc.width = kWidth;
        desc.height = kHeight;
        window = host::window::CreateWindow(desc);
        api = CreateApi();
        if (!window || !api) return false;
        PresentParams p;
        p.window = window;
        p.backBufferWidth = kWidth;
        p.backBufferHeight = kHeight;
        if (api->CreateDevice(0, kDeviceHal, window, kCreateHardwareVertexProcessing, p, device.Put()) != Result::Ok)
            return false;
        device->GetRenderTarget(0, back.Put());
        for (int t = 0; t < 2; ++t) {
            device->CreateTexture(kSize, kSize, 1, 0, kFormatA8R8G8B8, kPoolManaged, textures[t].Put());
            LockedRect r;
            textures[t]->LockRect(0, r, nullptr, 0);
            for (int y = 0; y < kSize; ++y)
                for (int x = 0; x < kSize; ++x) static_cast<uint32_t*>(r.bits)[y * r.pitch / 4 + x] = Texel(t, x, y);
            textures[t]->UnlockRect(0);
        }
        for (const auto& [x, y] : Positions()) {
            const float x0 = float(x), y0 = float(y), x1 = x0 + kSize, y1 = y0 + kSize;
            quads.push_back({Vertex{x0, y0, 0, 1, 0xFFFFFFFF, 0, 0}, Vertex{x1, y0, 0, 1, 0xFFFFFFFF, 1, 0},
                             Vertex{x1, y1, 0, 1, 0xFFFFFFFF, 1, 1}, Vertex{x0, y1, 0, 1, 0xFFFFFFFF, 0, 1}});
        }
        return true;
    }

    void Frame(int run) {
        device->BeginScene();
        device->Clear(kClearTarget, 0xFF000000, 1.0f, 0);   // SDL's renderer has no depth buffer
        device->SetFVF(0x144);
        device->SetRenderState(kRsZEnable, 0);
        device->SetRenderState(kRsAlphaBlendEnable, 1);
        device->SetTextureStageState(0, kTssAlphaOp, kTopModulate);
        for (int i = 0; i < kSprites; ++i) {
            const int turn = i / run;
            device->SetTexture(0, textures[turn % 2].Get());
            const bool add = (turn / 2) % 2;
            device->SetRenderState(kRsSrcBlend, kBlendSrcAlpha);
            device->SetRenderState(kRsDestBlend, add ? kBlendOne : kBlendInvSrcAlpha);
            device->DrawPrimitiveUP(kPrimitiveTriangleFan, 2, quads[size_t(i)].data(), sizeof(Vertex));
        }
        device->EndScene();
        uint32_t pixel = 0;
        const Rect one{0, 0, 1, 1};
        back->ReadPixels(&one, &pixel);
        benchmark::DoNotOptimize(pixel);
        device->Present();
    }

    void Stop() {
        for (auto& t : textures) t.Reset();
        back.Reset();
        device.Reset();
        api.Reset();
        if (window) host::window::DestroyWindow(window);
    }
};

struct Sdl {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* textures[2]{};
    std::vector<SDL_Rect> rects;

    bool Start() {
        SDL_SetHint(SDL_HINT_RENDER_DRIVER, "opengl");
        SDL_SetHint(SDL_HINT_RENDER_BATCHING, "1");
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
        window = SDL_CreateWindow("sdl", 0, 0, kWidth, kHeight, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (!window) return false;
        renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED);
        SDL_RendererInfo info;
        if (!renderer || SDL_GetRendererInfo(renderer, &info) != 0 || std::strcmp(info.name, "opengl") != 0)
            return false;
        for (int t = 0; t < 2; ++t) {
            textures[t] = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, kSize, kSize);
            if (!textures[t]) return false;
            std::vector<uint32_t> pixels(kSize * kSize);
            for (int y = 0; y < kSize; ++y)
                for (int x = 0; x < kSize; ++x) pixels[size_t(y * kSize + x)] = Texel(t, x, y);
            SDL_UpdateTexture(textures[t], nullptr, pixels.data(), kSize * 4);
            SDL_SetTextureScaleMode(textures[t], SDL_ScaleModeNearest);
        }
        for (const auto& [x, y] : Positions()) rects.push_back({x, y, kSize, kSize});
        return true;
    }

    void Frame(int run) {
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
        for (int i = 0; i < kSprites; ++i) {
            const int turn = i / run;
            SDL_Texture* t = textures[turn % 2];
            SDL_SetTextureBlendMode(t, (turn / 2) % 2 ? SDL_BLENDMODE_ADD : SDL_BLENDMODE_BLEND);
            SDL_RenderCopy(renderer, t, nullptr, &rects[size_t(i)]);
        }
        uint32_t pixel = 0;
        const SDL_Rect one{0, 0, 1, 1};
        SDL_RenderReadPixels(renderer, &one, SDL_PIXELFORMAT_ARGB8888, &pixel, 4);
        benchmark::DoNotOptimize(pixel);
        SDL_RenderPresent(renderer);
    }

    void Stop() {
        for (SDL_Texture* t : textures)
            if (t) SDL_DestroyTexture(t);
        if (renderer) SDL_DestroyRenderer(renderer);
        if (window) SDL_DestroyWindow(window);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
};

Ours* g_ours = nullptr;
Sdl* g_sdl = nullptr;

void BM_GlBackendSprites(benchmark::State& state) {
    if (!g_ours) {
        state.SkipWithError("no OpenGL device");
        return;
    }
    const int run = int(state.range(0));
    for (auto _ : state) g_ours->Frame(run);
    state.SetItemsProcessed(state.iterations() * kSprites);
}
BENCHMARK(BM_GlBackendSprites)->Arg(1)->Arg(50)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SdlRendererSprites(benchmark::State& state) {
    if (!g_sdl) {
        state.SkipWithError("no SDL_Renderer with the opengl driver");
        return;
    }
    const int run = int(state.range(0));
    for (auto _ : state) g_sdl->Frame(run);
    state.SetItemsProcessed(state.iterations() * kSprites);
}
BENCHMARK(BM_SdlRendererSprites)->Arg(1)->Arg(50)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("SDL_VIDEODRIVER")) setenv("SDL_VIDEODRIVER", "offscreen", 1);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    Ours ours;
    Sdl sdl;
    // A frame of each kind first: the drivers compile their shader variants.
    if (ours.Start()) {
        g_ours = &ours;
        ours.Frame(1), ours.Frame(50);
    }
    if (sdl.Start()) {
        g_sdl = &sdl;
        sdl.Frame(1), sdl.Frame(50);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_ours = nullptr;
    g_sdl = nullptr;
    sdl.Stop();
    ours.Stop();
    return 0;
}
