#include "game/scenes/GameApp.h"

#include "game/data/SaveConfig.h"
#include "host/kernel/Kernel.h"

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
