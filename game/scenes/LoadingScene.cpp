#include "game/scenes/LoadingScene.h"

#include "engine/core/Crc32.h"
#include "engine/core/FloatMath.h"
#include "engine/core/PackFile.h"
#include "engine/core/Random.h"
#include "engine/graphics/Texture.h"
#include "engine/platform/FrameTime.h"
#include "engine/scene/SceneObject.h"
#include "game/battle/scene/BattleFlow.h"
#include "game/battle/scene/BattleScene.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/scenes/GameApp.h"
#include "game/scenes/MenuScene.h"
#include "game/scenes/NetworkHost.h"

#include <utility>

namespace loading {

namespace {
// The application's words for a scene that did not load.
constexpr const char* kCannotRead = "が読み込めません";
constexpr const char* kLoadFailed = "シーンの読み込みに失敗しました";
}  // namespace

const char* const kBackgrounds[kBackgroundCount] = {"Bg_02.dds", "Bg_04.dds", "Bg_05.dds", "Bg_06.dds",
    "Bg_07.dds", "Bg_08.dds", "Bg_09.dds", "Bg_10.dds", "Bg_11.dds", "Bg_12.dds", "Bg_13.dds", "Bg_14.dds",
    "Bg_15.dds", "Bg_16.dds", "Bg_17.dds", "Bg_18.dds", "Bg_19.dds", "Bg_20.dds", "Bg_21.dds"};

bool Loader::Start(std::function<bool()> body)
{
    // Set before the thread exists: a poll between Start and the thread's
    // first step must not read "not started".
    SetState(kLoading);
    m_thread = host::kernel::StartThread([this, body = std::move(body)]() -> uint32_t {
        const bool loaded = body();
        SetState(loaded ? kLoaded : kFailed);
        return 0;
    });
    if (m_thread) return m_started = true;
    SetState(kFailed);
    return false;
}

u32 Loader::GetState() const
{
    host::kernel::Lock lock(m_lock);
    return m_state;
}

void Loader::SetState(u32 state)
{
    host::kernel::Lock lock(m_lock);
    m_state = state;
}

void Loader::Join()
{
    if (!m_thread) return;
    m_thread->Join();
    m_thread.reset();
}

void Dots::Step(f32 seconds)
{
    m_timer += seconds;
    if (m_timer < kStep) return;
    m_timer -= kStep;
    m_count = (m_count + 1) % 4;
}

void DrawLayer(CSceneObject* layer)
{
    if (layer) layer->Draw(nullptr);
}

void DrawDots(CSceneObject* const (&dots)[3], i32 count)
{
    for (i32 i = 0; i < count && i < 3; ++i) DrawLayer(dots[i]);
}

void QueueLoadFailure(CGameApp* app)
{
    if (!app) return;
    const std::string what = app->TakeLoadError();
    app->QueueMessage(what.empty() ? std::string(kLoadFailed) : what + kCannotRead);
}

std::unique_ptr<CTexture> LoadBackground(const char* const* names, u32 count, u32 start)
{
    CGameApp* app = GetGameApp();
    if (!app || !names || count == 0) return nullptr;
    const std::unique_ptr<CResourceList> packs = app->OpenPack(kLoadPack, Crc32String(kLoadPackName), kPackKeyFirst);
    auto texture = std::make_unique<CTexture>();
    for (u32 i = 0; i < count; ++i)
        if (app->LoadTextureFromPackList(names[(start + i) % count], packs.get(), texture.get())) return texture;
    return nullptr;
}

void DropUnusedParameter(CScene* next, intptr_t& parameter)
{
    if (next && parameter && dynamic_cast<CBattleScene*>(next))
        delete reinterpret_cast<CBattleSetup*>(parameter);
    parameter = 0;
}

}  // namespace loading

namespace {

constexpr const char* kLayout = "Scene\\Loading.sce";

}  // namespace

CLoadingScene::CLoadingScene() = default;

CLoadingScene::CLoadingScene(const CLoadingScene& other) : CSceneResource(other)
{
    // The layers' texture is the other screen's.
    SetTextureAll(nullptr);
    FindLayers();
}

CLoadingScene::~CLoadingScene() { CLoadingScene::Release(); }

i32 CLoadingScene::Release()
{
    m_loader.Join();
    if (!m_loader.Started()) loading::DropUnusedParameter(m_next, m_nextParameter);
    CScene* next = nullptr;
    {
        host::kernel::Lock lock(m_loader.GetLock());
        next = std::exchange(m_next, nullptr);
    }
    delete next;
    m_background.reset();
    m_layerBackground = m_layerRing = m_layerNow = nullptr;
    for (CSceneObject*& dot : m_layerDots) dot = nullptr;
    return CSceneResource::Release();
}

void CLoadingScene::TakeArgs(const LoadingArgs* args)
{
    m_titleItem = battle_flow::kTitleBattle;
    if (!args) return;
    m_next = args->next;
    m_nextParameter = args->parameter;
    m_network = args->network;
    if (args->titleItem != LoadingArgs::kTitleItemFromSetup) {
        m_titleItem = args->titleItem;
    } else if (dynamic_cast<CBattleScene*>(m_next)) {
        // Now: the battle's Load owns the set-up and may free it.
        m_titleItem = TitleItemFor(reinterpret_cast<const CBattleSetup*>(m_nextParameter));
    }
}

void CLoadingScene::FindLayers()
{
    m_layerBackground = FindLayer("lo1");
    m_layerRing = FindLayer("wa");
    m_layerNow = FindLayer("now");
    m_layerDots[0] = FindLayer("ten1");
    m_layerDots[1] = FindLayer("ten2");
    m_layerDots[2] = FindLayer("ten3");
}

i32 CLoadingScene::Initialize(intptr_t argument)
{
    // The next scene is ours from here on, whatever follows.
    TakeArgs(reinterpret_cast<const LoadingArgs*>(argument));
    if (!LoadFromFile(kLayout)) return menu::Missing(kLayout);
    const CGameApp* app = GetGameApp();
    const f32 scale = app ? app->GetLayoutScale() : 1.0f;
    SetScale(scale, scale);

    // Each background once, from a random one on: a missing archive must
    // not keep the screen drawing numbers for ever.
    m_background = loading::LoadBackground(loading::kBackgrounds, loading::kBackgroundCount,
        RandomInt(loading::kBackgroundCount));
    if (!m_background) return menu::Missing(loading::kLoadPack);
    SetTextureAll(m_background.get());
    FindLayers();
    m_spinner = 0.0f;
    m_dots = {};

    CScene* next = m_next;
    const intptr_t parameter = m_nextParameter;
    CGameApp* owner = GetGameApp();
    const bool started = m_loader.Start([owner, next, parameter]() {
        if (next && next->Initialize(parameter)) return true;
        loading::QueueLoadFailure(owner);
        return false;
    });
    // No thread: state 3 at once, reported as a failed load.
    if (!started) loading::QueueLoadFailure(owner);
    return CSceneResource::Initialize(argument);
}

i32 CLoadingScene::Update(u32 argument)
{
    const f32 seconds = GetFrameTime();
    if (m_layerRing) {
        m_spinner = FmodF(m_spinner + kSpinSpeed * seconds, 360.0f);
        m_layerRing->SetRotation(m_spinner);
    }
    m_dots.Step(seconds);
    switch (m_loader.GetState()) {
    case loading::kLoaded: {
        f32& alpha = GetSceneState().colour.w;
        alpha -= kFadeSpeed * seconds;
        if (alpha <= 0.0f) return HandOver();
        break;
    }
    case loading::kFailed:
        if (!m_reported) return ReportFailure();
        break;
    default: break;
    }
    return CSceneResource::Update(argument);
}

i32 CLoadingScene::HandOver()
{
    CScene* next = nullptr;
    {
        host::kernel::Lock lock(m_loader.GetLock());
        next = std::exchange(m_next, nullptr);
    }
    CGameApp* app = GetGameApp();
    if (!app) {
        delete next;
        return 0;
    }
    if (!m_network) return app->SetScene(next);
    if (INetworkSceneHost* host = GetNetworkSceneHost()) return host->SetChildScene(next, kHostedBattleMode);
    // A network child with no network scene above it: the scene cannot
    // run; back to the title instead of hanging here.
    delete next;
    m_reported = true;
    IBattleFlow* flow = app->Flow();
    battle_flow::TitleArgs args;
    args.item = m_titleItem;
    return flow ? flow->GoTitle(args) : 1;
}

i32 CLoadingScene::ReportFailure()
{
    m_reported = true;
    CGameApp* app = GetGameApp();
    if (!app) return 1;
    // The loader queued its reason: one box, before the scene changes.
    app->ShowMessages();
    IBattleFlow* flow = app->Flow();
    if (!flow) return 1;
    // As the network scene's child the whole of network play ends (to the
    // title, through the network scene's end request); the network scene
    // then deletes this screen with its other children.
    if (m_network) return flow->RequestNetworkEnd();
    battle_flow::TitleArgs args;
    args.item = m_titleItem;
    return flow->GoTitle(args);
}

u32 CLoadingScene::OnMessage(u32 message, intptr_t parameter)
{
    // Held while the scene is handed on or deleted; the loader never takes
    // this lock while it loads.
    host::kernel::Lock lock(m_loader.GetLock());
    if (!m_next || m_loader.GetState() == loading::kFailed) return 1;
    return m_next->OnMessage(message, parameter);
}

u32 CLoadingScene::OnPeerMessage(u32 type, const u8* data, u32 length)
{
    host::kernel::Lock lock(m_loader.GetLock());
    if (!m_next || m_loader.GetState() == loading::kFailed) return 1;
    if (auto* sink = dynamic_cast<IPeerMessageSink*>(m_next)) return sink->OnPeerMessage(type, data, length);
    return m_next->OnMessage(type, reinterpret_cast<intptr_t>(data));
}

i32 CLoadingScene::Draw(u32)
{
    menu::SetLayoutViewport();
    loading::DrawLayer(m_layerBackground);
    loading::DrawLayer(m_layerRing);
    loading::DrawLayer(m_layerNow);
    loading::DrawDots(m_layerDots, m_dots.Count());
    return 1;
}
