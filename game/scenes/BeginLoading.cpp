#include "game/scenes/BeginLoading.h"

#include "engine/core/FloatMath.h"
#include "engine/graphics/Texture.h"
#include "engine/platform/FrameTime.h"
#include "engine/platform/Input.h"
#include "engine/scene/SceneObject.h"
#include "game/scenes/GameApp.h"
#include "game/scenes/MenuScene.h"

#include <utility>

namespace {

constexpr const char* kLayout = "Scene\\BeginLoading.sce";

}  // namespace

CBeginLoading::CBeginLoading() = default;

CBeginLoading::CBeginLoading(const CBeginLoading& other) : CSceneResource(other)
{
    // The layers' texture is the other screen's.
    SetTextureAll(nullptr);
    FindLayers();
}

CBeginLoading::~CBeginLoading() { CBeginLoading::Release(); }

i32 CBeginLoading::Release()
{
    m_loader.Join();
    if (!m_loader.Started()) loading::DropUnusedParameter(m_next, m_nextParameter);
    delete m_next;
    m_next = nullptr;
    m_background.reset();
    m_layerBackground = m_layerPrompt = m_layerNow = nullptr;
    for (CSceneObject*& dot : m_layerDots) dot = nullptr;
    return CSceneResource::Release();
}

void CBeginLoading::FindLayers()
{
    m_layerBackground = FindLayer("lo2");
    m_layerPrompt = FindLayer("prean");
    m_layerNow = FindLayer("now");
    m_layerDots[0] = FindLayer("ten1");
    m_layerDots[1] = FindLayer("ten2");
    m_layerDots[2] = FindLayer("ten3");
}

i32 CBeginLoading::Initialize(intptr_t argument)
{
    // The next scene is ours from here on, whatever follows.
    if (const auto* args = reinterpret_cast<const LoadingArgs*>(argument)) {
        m_next = args->next;
        m_nextParameter = args->parameter;
    }
    m_loadFailed = true;
    if (!LoadFromFile(kLayout)) return menu::Missing(kLayout);
    const CGameApp* app = GetGameApp();
    const f32 scale = app ? app->GetLayoutScale() : 1.0f;
    SetScale(scale, scale);
    const char* const names[1] = {loading::kStartupBackground};
    m_background = loading::LoadBackground(names, 1, 0);
    if (!m_background) return menu::Missing(loading::kLoadPack);
    SetTextureAll(m_background.get());
    FindLayers();
    m_loadFailed = false;
    m_dots = {};
    m_blink = 0.0f;
    m_fadeOut = false;

    CScene* next = m_next;
    const intptr_t parameter = m_nextParameter;
    CGameApp* owner = GetGameApp();
    const bool started = m_loader.Start([owner, next, parameter]() {
        // The global load queues its own reason.
        if (!owner || !owner->LoadResources()) return false;
        if (next && next->Initialize(parameter)) return true;
        loading::QueueLoadFailure(owner);
        return false;
    });
    // No thread: state 3 at once, reported as a failed load.
    if (!started) loading::QueueLoadFailure(owner);
    return CSceneResource::Initialize(argument);
}

i32 CBeginLoading::Update(u32 argument)
{
    const f32 seconds = GetFrameTime();
    m_dots.Step(seconds);
    if (m_loadFailed && !m_reported) {
        // Made current without its data (start-up shows the reason and
        // drops such a screen itself): end as a failed load does.
        loading::QueueLoadFailure(GetGameApp());
        return ReportFailure();
    }
    const u32 state = m_loader.GetState();
    if (state == loading::kFailed && !m_reported) return ReportFailure();
    if (state == loading::kLoaded) {
        if (m_fadeOut) {
            f32& alpha = GetSceneState().colour.w;
            alpha -= kFadeSpeed * seconds;
            if (alpha <= 0.0f) {
                CScene* next = std::exchange(m_next, nullptr);
                CGameApp* app = GetGameApp();
                if (!app) {
                    delete next;
                    return 0;
                }
                return app->SetScene(next);
            }
        } else {
            CGameApp* app = GetGameApp();
            CInput* input = app ? app->GetInput() : nullptr;
            if (input && IsAnyButtonTriggered(input->GetInputState(0))) m_fadeOut = true;
            if (m_layerPrompt) {
                m_blink += seconds;
                m_layerPrompt->GetSettings().offset.colour.w = AbsF(CosF(m_blink));
            }
        }
    }
    return CSceneResource::Update(argument);
}

i32 CBeginLoading::ReportFailure()
{
    m_reported = true;
    if (CGameApp* app = GetGameApp()) {
        // The reason waits in the queue: one box, then the program ends.
        app->ShowMessages();
        app->Quit(1);
    }
    return 1;
}

i32 CBeginLoading::Draw(u32)
{
    menu::SetLayoutViewport();
    loading::DrawLayer(m_layerBackground);
    if (m_loader.GetState() == loading::kLoaded) {
        loading::DrawLayer(m_layerPrompt);
    } else {
        loading::DrawLayer(m_layerNow);
        loading::DrawDots(m_layerDots, m_dots.Count());
    }
    return 1;
}
