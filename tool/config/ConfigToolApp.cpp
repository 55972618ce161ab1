// Start-up, page switching, message routing and the main dialog's commands.
#include "tool/config/ConfigToolApp.h"

#include "tool/config/ConfigTemplates.h"

#include "engine/platform/FrameTime.h"
#include "engine/platform/Input.h"
#include "engine/platform/Sound.h"
#include "engine/platform/System.h"
#include "host/dialog/Dialog.h"
#include "host/kernel/Kernel.h"

namespace {

namespace dlg = host::dialog;
namespace win = host::window;
using namespace config_ids;
using host::kernel::kIdYes;
using host::kernel::kMbIconQuestion;
using host::kernel::kMbOk;
using host::kernel::kMbYesNo;

constexpr const char* kPageTabs[CConfigToolApp::kPageCount] = {
    "グラフィック", "ゲーム", "ネットワーク", "リプレイ", "BGM", "キーコンフィグ", "ラジオチャット"};
constexpr i32 kPageTemplates[CConfigToolApp::kPageCount] = {
    kGraphicsPage, kGamePage, kNetworkPage, kReplayPage, kBgmPage, kKeyConfigPage, kRadioChatPage};
constexpr const char* kKeyPageTabs[CConfigToolApp::kKeyPageCount] = {"キーボード", "コントローラー"};
constexpr i32 kKeyPageTemplates[CConfigToolApp::kKeyPageCount] = {kKeyboardPage, kControllerPage};

// The idle step runs whenever no message waits; a short rest keeps the
// tool from spinning a processor while the capture still polls a hundred
// times a second or more.
constexpr u32 kIdleRestMs = 5;

void MovePage(win::Handle page, const win::Rect& area)
{
    win::MoveWindow(page, area.left, area.top, area.Width(), area.Height());
}

}  // namespace

CConfigToolApp::CConfigToolApp() = default;

CConfigToolApp::~CConfigToolApp() { Release(); }

i32 CConfigToolApp::Init(InstanceHandle instance, host::window::WindowProc windowProc)
{
    m_config = new CSaveConfig;
    if (!m_config || !m_config->Load()) {
        win::MessageBox(nullptr, "コンフィグファイルが読み込めません", "", kMbOk);
        return 0;
    }
    if (!RegisterConfigTemplates()) return 0;

    m_system = std::make_unique<CSystem>();
    if (!m_system->CreateDialogWindow(instance, kMainDialog, -1, -1, kMainIcon, windowProc, nullptr)) return 0;
    m_windowProc = windowProc;
    m_sound = std::make_unique<CSound>();
    if (!m_sound->Initialize(m_system.get())) return 0;
    m_input = std::make_unique<CInput>();
    if (!m_input->Initialize(m_system->GetWindowHandle())) return 0;
    // The controller page reads presses through slot 0's assignment; keys
    // there would reach its rows too, so slot 0 reads no keyboard.
    for (u32& key : PadSlot()->keyAssignment) key = 0;
    SetFrameRate(m_system.get(), 60);

    const Handle main = GetMainWindow();
    m_tab = dlg::GetDlgItem(main, kTab);
    for (u32 i = 0; i < kPageCount; ++i) dlg::InsertTab(m_tab, i32(i), kPageTabs[i]);
    const win::Rect area = dlg::GetTabDisplayRect(m_tab);
    for (u32 i = 0; i < kPageCount; ++i) {
        m_pages[i] = {u32(kPageTemplates[i]), dlg::CreateDialog(kPageTemplates[i], m_tab, windowProc, 0)};
        MovePage(m_pages[i].window, area);
    }
    ShowPage(0);

    const Handle keyConfig = m_pages[kKeyConfigPageIndex].window;
    m_keyTab = dlg::GetDlgItem(keyConfig, kKeyTab);
    for (u32 i = 0; i < kKeyPageCount; ++i) {
        m_keyPages[i] = {u32(kKeyPageTemplates[i]), dlg::CreateDialog(kKeyPageTemplates[i], keyConfig, windowProc, 0)};
        dlg::InsertTab(m_keyTab, i32(i), kKeyPageTabs[i]);
    }
    const win::Rect keyArea = win::MapRect(m_keyTab, keyConfig, dlg::GetTabDisplayRect(m_keyTab));
    for (const ConfigPageEntry& page : m_keyPages) MovePage(page.window, keyArea);
    ShowKeyConfigPage(0);

    FillGraphicsPage();
    FillGamePage();
    FillNetworkPage();
    FillKeyConfigPage();
    FillReplayPage();
    FillBgmPage();
    FillRadioChatPage();
    return 1;
}

i32 CConfigToolApp::Update()
{
    if (m_input) m_input->Update();
    if (m_shownPage && m_shownPage == m_pages[kKeyConfigPageIndex].window) {
        if (m_shownKeyPage == m_keyPages[0].window) CaptureKeyboardKey();
        else CapturePadButton();
    }
    return 1;
}

i32 CConfigToolApp::Draw()
{
    host::kernel::Sleep(kIdleRestMs);
    return 1;
}

i32 CConfigToolApp::Release()
{
    delete m_config;
    m_config = nullptr;
    for (u32 i = 0; i < kUserBgmCount; ++i) {
        for (BgmEditEntry* edit : {&m_bgmEdits[i], &m_tensionEdits[i]}) {
            if (edit->window) win::SetWindowProc(edit->window, edit->previousProc);
            *edit = {};
        }
    }
    // The base's Exit: the input manager, the sound device, then the window
    // (the dialogs go with it).
    m_input.reset();
    m_sound.reset();
    if (m_system && win::IsWindow(m_system->GetWindowHandle())) win::DestroyWindow(m_system->GetWindowHandle());
    m_system.reset();
    return CApplicationMain::Exit();
}

CConfigToolApp::Handle CConfigToolApp::GetMainWindow() const
{
    return m_system ? m_system->GetWindowHandle() : nullptr;
}

i32 CConfigToolApp::ShowPage(i32 index)
{
    for (u32 i = 0; i < kPageCount; ++i) {
        if (i32(i) == index) continue;
        win::ShowWindow(m_pages[i].window, win::kSwHide);
    }
    if (index >= 0 && index < i32(kPageCount)) {
        win::ShowWindow(m_pages[index].window, win::kSwShow);
        m_shownPage = m_pages[index].window;
    }
    return 1;
}

i32 CConfigToolApp::ShowKeyConfigPage(i32 index)
{
    for (u32 i = 0; i < kKeyPageCount; ++i) {
        if (i32(i) == index) continue;
        win::ShowWindow(m_keyPages[i].window, win::kSwHide);
    }
    if (index >= 0 && index < i32(kKeyPageCount)) {
        win::ShowWindow(m_keyPages[index].window, win::kSwShow);
        m_shownKeyPage = m_keyPages[index].window;
    }
    return 1;
}

CConfigToolApp::LResult CConfigToolApp::WindowProc(Handle window, u32 message, WParam wParam, LParam lParam)
{
    using Handler = LResult (CConfigToolApp::*)(Handle, u32, WParam, LParam);
    static constexpr Handler kPageHandlers[kPageCount] = {&CConfigToolApp::OnGraphicsPage,
        &CConfigToolApp::OnGamePage, &CConfigToolApp::OnNetworkPage, &CConfigToolApp::OnReplayPage,
        &CConfigToolApp::OnBgmPage, &CConfigToolApp::OnKeyConfigPage, &CConfigToolApp::OnRadioChatPage};
    static constexpr Handler kKeyPageHandlers[kKeyPageCount] = {&CConfigToolApp::OnKeyboardPage,
        &CConfigToolApp::OnControllerPage};
    if (!window) return 0;
    for (u32 i = 0; i < kPageCount; ++i)
        if (window == m_pages[i].window) return (this->*kPageHandlers[i])(window, message, wParam, lParam);
    for (u32 i = 0; i < kKeyPageCount; ++i)
        if (window == m_keyPages[i].window) return (this->*kKeyPageHandlers[i])(window, message, wParam, lParam);
    for (u32 i = 0; i < kUserBgmCount; ++i)
        if (window == m_bgmEdits[i].window || window == m_tensionEdits[i].window)
            return BgmEditProc(window, message, wParam, lParam);
    return OnMainDialog(window, message, wParam, lParam);
}

CConfigToolApp::LResult CConfigToolApp::OnMainDialog(Handle window, u32 message, WParam wParam, LParam lParam)
{
    switch (message) {
    case win::kWmNotify: {
        const auto* header = reinterpret_cast<const dlg::NotifyHeader*>(lParam);
        if (header && header->code == dlg::kTcnSelChange && header->from == m_tab)
            ShowPage(dlg::GetTabSelection(m_tab));
        return 1;
    }
    case win::kWmDestroy:
        win::PostQuitMessage(0);
        return 1;
    case win::kWmClose:
        AskToClose("コンフィグツールを閉じますか？");
        return 1;
    case win::kWmCommand:
        if (window != GetMainWindow()) return 1;
        if (win::LowWord(wParam) == u32(kSave)) {
            if (!m_config || !m_config->Save()) {
                win::MessageBox(GetMainWindow(), "保存に失敗しました", "エラー", kMbOk);
                return 0;
            }
            AskToClose("保存されました\nコンフィグツールを閉じますか？");
        } else if (win::LowWord(wParam) == u32(kQuit)) {
            AskToClose("保存されていないデータは失われます\nコンフィグツールを閉じますか？");
        }
        return 1;
    default:
        return 0;
    }
}

void CConfigToolApp::AskToClose(const char* question)
{
    const Handle main = GetMainWindow();
    if (win::MessageBox(main, question, "終了確認", kMbYesNo | kMbIconQuestion) == kIdYes) win::DestroyWindow(main);
}

// ---------------------------------------------------------------- helpers

CConfigToolApp::Handle CConfigToolApp::Item(u32 page, i32 id) const
{
    return page < kPageCount ? dlg::GetDlgItem(m_pages[page].window, id) : nullptr;
}

CConfigToolApp::Handle CConfigToolApp::KeyItem(u32 keyPage, i32 id) const
{
    return keyPage < kKeyPageCount ? dlg::GetDlgItem(m_keyPages[keyPage].window, id) : nullptr;
}

InputState* CConfigToolApp::PadSlot() const { return m_input ? m_input->GetInputState(0) : nullptr; }

void CConfigToolApp::Refuse(Handle owner, const char* text) const
{
    win::MessageBox(owner, text, "Error", kMbOk);
}

void CConfigToolApp::ShowText(Handle edit, const std::string& text)
{
    const bool filling = m_filling;
    m_filling = true;
    win::SetWindowText(edit, text);
    m_filling = filling;
}
