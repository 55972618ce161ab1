#include "game/scenes/GameApp.h"

#include "engine/core/ObjectRegistry.h"
#include "engine/core/Scene.h"
#include "engine/core/SoundPlayerBase.h"
#include "engine/graphics/Filter.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/model/RenderList.h"
#include "engine/platform/FrameTime.h"
#include "engine/platform/Input.h"
#include "engine/platform/Sound.h"
#include "engine/scene/EffectController.h"
#include "engine/scene/ResourceController.h"
#include "game/data/SaveConfig.h"
#include "game/data/SaveData.h"
#include "game/data/SaveRecord.h"
#include "game/scenes/BeginLoading.h"
#include "game/scenes/GameAppSeams.h"
#include "game/scenes/LoadingScene.h"
#include "game/scenes/LogoScene.h"
#include "game/scenes/TitleScene.h"
#include "host/kernel/Kernel.h"
#include "host/window/Window.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

CGameApp* g_gameApp = nullptr;

// The game's boxes carry no caption: the text says all.
void Box(const std::string& text) { host::kernel::MessageBox(text, "", host::kernel::kMbOk); }

}  // namespace

CGameApp* GetGameApp() { return g_gameApp; }

DisplaySize ChooseDisplaySize(i32 index, i32 desktopWidth, i32 desktopHeight)
{
    // A damaged configuration may hold any byte.
    for (i32 i = std::min(index, i32(std::size(kDisplaySizes)) - 1); i >= 0; --i) {
        const DisplaySize& size = kDisplaySizes[i];
        if (size.width <= desktopWidth && size.height <= desktopHeight) return size;
    }
    return kDisplaySizes[0];
}

u32 NextFrameTick(u32 now)
{
    const FrameTimer& timer = GetFrameTimer();
    const u64 since = u32(now - timer.startTime);
    const u64 tick = since * kApplicationFrameRate / 1000 + 1;
    // Rounded up: the tick's time lies in the tick, not just before it.
    return timer.startTime + u32((tick * 1000 + kApplicationFrameRate - 1) / kApplicationFrameRate);
}

CGameApp::CGameApp(DataFolders folders)
    : m_data(std::move(folders)), m_battleSeams(std::make_unique<BattleSeams>(*this)),
      m_lastTime(host::kernel::TimeGetTime())
{
}

// A start that failed writes nothing back: the saves stay as they were read.
CGameApp::~CGameApp()
{
    if (StartUpFailed())
        Release();
    else
        CGameApp::Exit();
}

// ------------------------------------------------------------ start-up

i32 CGameApp::LoadSaveConfig()
{
    auto config = std::make_unique<CSaveConfig>();
    if (!config->Load()) {
        Box("コンフィグファイルが読み込めません");
        return 0;
    }
    m_saveConfig = std::move(config);
    m_data.SetSaveConfig(m_saveConfig.get());
    return 1;
}

i32 CGameApp::LoadSaves()
{
    if (!LoadSaveConfig()) return 0;
    auto record = std::make_unique<CSaveRecord>();
    if (!record->Load()) {
        Box("レコードファイルが読み込めません");
        return 0;
    }
    m_saveRecord = std::move(record);
    auto data = std::make_unique<CSaveData>();
    if (!data->Load()) {
        Box("データファイルが読み込めません");
        return 0;
    }
    m_saveData = std::move(data);
    return 1;
}

i32 CGameApp::Init(InstanceHandle instance, host::window::WindowProc proc)
{
    if (!LoadSaves()) return 0;
    // Without its window or devices nothing later can run; the failing step
    // has said why.
    if (!CApplicationMain::Init(instance, proc)) return 0;
    const std::string resource = m_data.GetFolders().first + "/" + CGameData::kResourceFolder;
    // The window keeps a path buffer of its own; a longer path is made
    // current all the same.
    if (!GetSystem()->SetCurrentDirToModule(resource.c_str())) host::kernel::SetCurrentDirectory(resource);
    SetupDisplayMode();
    MapPads();
    GetSystem()->SetTitle(kWindowTitle);

    m_resources = std::make_unique<CResourceController>();
    m_renderList = std::make_unique<CRenderList>("描画リスト", kRenderListSize, GetDevice());
    m_effects = std::make_unique<CEffectController>();
    m_effects->Create(GetDevice(), kEffectNodes, kEffectParticles);
    // The menus' particles differ from one launch to the next; a battle
    // reseeds the generator from its own seed.
    m_effects->SeedRandom(GetStartTime());
    m_effects->SetSeVolume(m_saveConfig->GetSeVolume());
    m_effects->GetSoundSetting()->minDistance = 10.0f;
    m_menuLayout = 1;
    m_registry = std::make_unique<CObjectRegistry>(m_resources.get());
    SetObjectRegistry(m_registry.get());
    g_gameApp = this;
    m_lastTime = host::kernel::TimeGetTime();

    if (m_startScene) return InstallScene(m_startScene(), 0, false) == 0 ? 1 : 0;
    // Without its data the start-up screen cannot show; its box has named
    // what is missing and the program ends.
    LoadingArgs args{new CLogoScene, 0, 0};
    return InstallScene(new CBeginLoading, reinterpret_cast<intptr_t>(&args), false) == 0 ? 1 : 0;
}

void CGameApp::SetupDisplayMode()
{
    CGraphicDevice* device = GetDevice();
    const ConfigGraphics* graphics = m_saveConfig->GetGraphicsSettings();
    const host::render::DisplayMode& desktop = device->GetDisplayMode();
    const i32 index = i8(graphics->screenSize);
    const DisplaySize size = ChooseDisplaySize(index, i32(desktop.width), i32(desktop.height));
    device->ChangeDisplayMode(graphics->fullScreen ? 0 : 1, size.width, size.height);
}

void CGameApp::MapPads()
{
    CInput* input = GetInput();
    const ConfigKeyAssign* keys = m_saveConfig->GetKeyConfigSection();
    for (u32 p = 0; p < kPadPlayerCount; ++p) {
        InputState* state = input->GetInputState(p);
        if (!state) continue;
        const ConfigPadAssign& pad = keys->pads[p];
        std::copy(std::begin(keys->keyboard), std::end(keys->keyboard), state->keyAssignment);
        std::copy(std::begin(pad.button), std::end(pad.button), state->padAssignment);
        std::copy(std::begin(pad.button), std::end(pad.button), state->xinputPadAssignment);
        state->joystickSlot = pad.controller;
        state->vibrationEnabled = m_saveConfig->GetGameSettings()->padVibration ? 1 : 0;
        const host::input::DeviceInfo* info = input->GetJoystickInfo(pad.controller);
        state->xinputPad = info && std::strncmp(info->instanceName, host::input::kPadControllerName,
                                                sizeof(info->instanceName)) == 0
                               ? 1
                               : 0;
    }
}

// ------------------------------------------------------------ frames

i32 CGameApp::Update()
{
    // One step per tick of the frame timer: the loop never waits on its own.
    const u32 before = host::kernel::TimeGetTime();
    if (m_nextTick && i32(m_nextTick - before) > 0) host::kernel::Sleep(m_nextTick - before);
    const u32 now = host::kernel::TimeGetTime();
    const u32 elapsed = now - m_lastTime;
    m_lag += elapsed;
    m_lastTime = now;
    m_nextTick = NextFrameTick(now);
    SetFrameTime(elapsed);

    ShowMessages();
    CApplicationMain::Update();
    if (m_scene) {
        CSystem* window = GetSystem();
        const u32 inactive = window && host::window::GetForegroundWindow() != window->GetWindowHandle() ? 1 : 0;
        m_scene->SoundStep(inactive, &m_soundInactive);
        // The scene may hand over to another here; nothing of it is used after.
        if (m_scene) m_scene->Update(0);
    }
    return 1;
}

// ------------------------------------------------------------ scenes

void CGameApp::DeleteScene()
{
    CScene* old = std::exchange(m_scene, nullptr);
    delete old;
}

i32 CGameApp::ChangeScene(CScene* scene, intptr_t block) { return InstallScene(scene, block, true); }

i32 CGameApp::InstallScene(CScene* scene, intptr_t block, bool titleOnFailure)
{
    DeleteScene();
    m_scene = scene;
    if (!scene) return 1;
    TakeLoadError();   // what an earlier scene named is not this one's
    if (scene->Initialize(block)) {
        if (m_scene == scene) TraceScene();
        return 0;
    }

    // Nothing half-built stays current.
    const bool failedTitle = dynamic_cast<CTitleScene*>(scene) != nullptr;
    if (m_scene == scene) DeleteScene();
    const std::string what = TakeLoadError();
    Box(what.empty() ? std::string("シーンの読み込みに失敗しました") : what + "が読み込めません");
    if (!titleOnFailure) return 1;
    // A title is not followed by another, nor does the title's own failure
    // come back here; with no title the program ends and Exit writes the
    // saves; its status tells a script the data could not be read.
    if (failedTitle || InstallScene(new CTitleScene, 0, false) != 0) Quit(1);
    return 1;
}

i32 CGameApp::SetScene(CScene* scene)
{
    if (scene != m_scene) {
        DeleteScene();
        m_scene = scene;
        if (scene) TraceScene();
    }
    return 1;
}

void CGameApp::TraceScene() const
{
    if (m_sceneTrace.empty() || !m_scene) return;
    if (auto file = host::kernel::OpenFile(m_sceneTrace, "ab")) {
        const std::string line = std::string(m_scene->GetClassName()) + "\n";
        file->Write(line.data(), line.size());
        file->Close();
    }
}

void CGameApp::Quit(i32 status)
{
    // A failure is not undone by a later quit.
    if (m_exitStatus == 0) m_exitStatus = status;
    host::window::PostQuitMessage(m_exitStatus);
}

void CGameApp::SetLoadError(const std::string& what)
{
    std::lock_guard lock(m_messageLock);
    m_loadError = what;
}

std::string CGameApp::TakeLoadError()
{
    std::lock_guard lock(m_messageLock);
    return std::exchange(m_loadError, {});
}

void CGameApp::QueueMessage(const std::string& text)
{
    std::lock_guard lock(m_messageLock);
    m_messages.push_back(text);
}

void CGameApp::ShowMessages()
{
    std::vector<std::string> texts;
    {
        std::lock_guard lock(m_messageLock);
        texts.swap(m_messages);
    }
    for (const std::string& text : texts) Box(text);
}

i32 CGameApp::LoadResources()
{
    if (!m_resources) return 0;
    MakeFilters();
    const i32 loaded = m_data.LoadResources(*m_resources, [this](const std::string& text) { QueueMessage(text); });
    if (!loaded) return 0;
    return CreateDefaultFont();
}

IBattleApp* CGameApp::BattleApp() { return m_battleSeams.get(); }
IBattleFlow* CGameApp::Flow() { return m_battleSeams.get(); }

// ------------------------------------------------------------ exit

void CGameApp::ClearProcessPointers()
{
    // Whatever runs while the rest goes (a sound's or an object's
    // destructor) finds nothing rather than something half deleted.
    if (g_gameApp == this) g_gameApp = nullptr;
    if (m_registry && GetObjectRegistry() == m_registry.get()) SetObjectRegistry(nullptr);
    if (m_resources && GetSoundPlayerList() == m_resources->GetSoundList()) SetSoundPlayerList(nullptr);
    if (GetSound() && GetSoundDeviceGlobal() == GetSound()) SetSoundDeviceGlobal(nullptr);
}

void CGameApp::WriteSaves()
{
    std::string failed;
    auto note = [&failed](const char* name) { failed += failed.empty() ? name : std::string("\n") + name; };
    if (m_saveConfig && !m_saveConfig->Save()) note(CSaveConfig::kFileName);
    if (m_saveRecord && !m_saveRecord->Save()) note(CSaveRecord::kFileName);
    if (m_saveData && !m_saveData->Save()) note(CSaveData::kFileName);
    if (!failed.empty()) Box(failed + "\nを保存できませんでした");
}

i32 CGameApp::Exit()
{
    // The scene goes first, while everything it may touch on its way out is
    // still there (the options write their values back); its loaders are
    // joined with it.
    DeleteScene();
    WriteSaves();
    Release();
    return CApplicationMain::Exit();
}

void CGameApp::Release()
{
    DeleteScene();
    ClearProcessPointers();
    SetImeInput(nullptr);
    m_renderList.reset();
    m_effects.reset();
    m_resources.reset();
    m_registry.reset();
    m_hdrFilter.reset();
    m_screenFilter.reset();
    m_data.SetSaveConfig(nullptr);
    m_saveConfig.reset();
    m_saveRecord.reset();
    m_saveData.reset();
}
