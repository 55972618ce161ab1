#include "game/scenes/GameApp.h"

#include "engine/core/ObjectRegistry.h"
#include "engine/core/Scene.h"
#include "engine/graphics/Filter.h"
#include "engine/model/RenderList.h"
#include "engine/scene/EffectController.h"
#include "engine/scene/ResourceController.h"
#include "game/battle/scene/BattleApp.h"
#include "game/data/SaveConfig.h"
#include "game/data/SaveData.h"
#include "game/data/SaveRecord.h"
#include "host/kernel/Kernel.h"

#include <utility>

class CGameApp::BattleSeams {};

CGameApp::CGameApp(DataFolders folders) : m_data(std::move(folders)) {}

CGameApp::~CGameApp() = default;

i32 CGameApp::LoadSaveConfig()
{
    auto config = std::make_unique<CSaveConfig>();
    if (!config->Load()) {
        host::kernel::MessageBox("コンフィグファイルが読み込めません", "", 0);
        return 0;
    }
    m_saveConfig = std::move(config);
    m_data.SetSaveConfig(m_saveConfig.get());
    return 1;
}

namespace {
CGameApp* g_gameApp = nullptr;
}  // namespace

CGameApp* GetGameApp() { return g_gameApp; }

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
    for (const std::string& text : texts) host::kernel::MessageBox(text.c_str(), "", 0);
}

// Start-up, the frame step and Exit are the base's until the scenes land.
i32 CGameApp::Init(InstanceHandle instance, host::window::WindowProc proc)
{
    return CApplicationMain::Init(instance, proc);
}
i32 CGameApp::Update() { return CApplicationMain::Update(); }
i32 CGameApp::Draw() { return CApplicationMain::Draw(); }
i32 CGameApp::Exit() { return CApplicationMain::Exit(); }
i32 CGameApp::ReleaseDeviceResources() { return 1; }
i32 CGameApp::CreateFilters() { return 1; }
