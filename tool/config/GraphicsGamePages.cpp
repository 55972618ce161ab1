// The graphics page (1000) and the game page (2000): lists, boxes and the
// three volume sliders, each written to its field the moment it changes.
#include "tool/config/ConfigToolApp.h"

#include "tool/config/ConfigTemplates.h"

#include "host/dialog/Dialog.h"

#include <initializer_list>

namespace {

namespace dlg = host::dialog;
namespace win = host::window;
using namespace config_ids;

constexpr u32 kGraphics = 0, kGame = 1;

constexpr const char* kScreenSizeNames[kScreenSizeCount] = {"640×480", "800×600", "1024×768", "1280×960",
    "1600×1200", "720×480", "1024×600", "1280×720", "1920×1080", "1440×900", "1680×1050", "1920×1200"};
static_assert(std::size(kScreenSizes) == std::size(kScreenSizeNames));

// The volume sliders' range, in hundredths of a decibel; their left end
// means silent.
constexpr i32 kVolumeMin = -3000, kVolumeMax = 0, kSilent = -10000;

void FillList(win::Handle list, std::initializer_list<const char*> items, i32 selected)
{
    dlg::ClearItems(list);
    for (const char* item : items) dlg::AddItem(list, item);
    dlg::SelectItem(list, selected);
}

void FillScreenSizes(win::Handle list, i32 selected)
{
    dlg::ClearItems(list);
    for (const char* item : kScreenSizeNames) dlg::AddItem(list, item);
    dlg::SelectItem(list, selected);
}

u32 Ticked(win::Handle box) { return dlg::IsChecked(box) ? 1 : 0; }

}  // namespace

i32 CConfigToolApp::FillGraphicsPage()
{
    const ConfigGraphics& g = *m_config->GetGraphicsSettings();
    m_filling = true;
    // The game reads these two bytes as signed values.
    FillScreenSizes(Item(kGraphics, kScreenSize), i8(g.screenSize));
    FillList(Item(kGraphics, kHdr), {"なし", "LEVEL1", "LEVEL2", "LEVEL3", "LEVEL4"}, i8(g.hdrLevel));
    FillList(Item(kGraphics, kTraceQuality), {"なし", "低", "中", "高", "最高"}, i32(g.traceQuality));
    dlg::SetCheck(Item(kGraphics, kFullScreen), g.fullScreen != 0);
    dlg::SetCheck(Item(kGraphics, kMovie), g.movieDisplay != 0);
    m_filling = false;
    return 1;
}

i32 CConfigToolApp::FillGamePage()
{
    const ConfigGame& g = *m_config->GetGameSettings();
    m_filling = true;
    dlg::SetCheck(Item(kGame, kVoicePlay), g.voicePlay != 0);
    dlg::SetCheck(Item(kGame, kScreenshot), g.screenshot != 0);
    dlg::SetCheck(Item(kGame, kPadVibration), g.padVibration != 0);
    dlg::SetCheck(Item(kGame, kScreenShake), g.screenShake != 0);
    for (auto [id, volume] : {std::pair{kBgmVolume, g.bgmVolume}, {kSeVolume, g.seVolume}, {kVoiceVolume, g.voiceVolume}}) {
        const Handle bar = Item(kGame, id);
        dlg::SetTrackbarLineSize(bar, 10);
        dlg::SetTrackbarRange(bar, kVolumeMin, kVolumeMax);
        dlg::SetTrackbarPos(bar, volume);   // silent shows at the left end
    }
    FillList(Item(kGame, kRadarType), {"固定", "回転"}, g.radarType);
    FillList(Item(kGame, kDifficulty), {"Easy", "Normal", "Hard", "Expert"}, g.arcadeDifficulty);
    FillList(Item(kGame, kGuardCorrection), {"OFF", "ON"}, g.guardCorrection);
    FillList(Item(kGame, kCameraSide), {"左", "右"}, g.cameraSide);
    FillList(Item(kGame, kLockOnType), {"キャラ正面優先", "距離優先", "カメラ正面優先", "順送り"}, i32(g.lockOnType));
    FillScreenSizes(Item(kGame, kScreenshotSize), g.screenshotSize);
    m_filling = false;
    return 1;
}

CConfigToolApp::LResult CConfigToolApp::OnGraphicsPage(Handle, u32 message, WParam wParam, LParam lParam)
{
    if (message != win::kWmCommand) return 0;
    if (m_filling) return 1;
    ConfigGraphics& g = *m_config->GetGraphicsSettings();
    const auto control = reinterpret_cast<Handle>(lParam);
    const u32 code = win::HighWord(wParam);
    const i32 id = i32(win::LowWord(wParam));
    if (code == dlg::kBnClicked) {
        if (id == kFullScreen) g.fullScreen = Ticked(control);
        else if (id == kMovie) g.movieDisplay = Ticked(control);
    } else if (code == dlg::kCbnSelChange) {
        const i32 selection = dlg::GetSelection(control);
        if (selection < 0) return 1;
        // The screen size and the HDR level take the low byte of their word.
        if (id == kScreenSize) g.screenSize = u8(selection);
        else if (id == kHdr) g.hdrLevel = u8(selection);
        else if (id == kTraceQuality) g.traceQuality = u32(selection);
    }
    return 1;
}

CConfigToolApp::LResult CConfigToolApp::OnGamePage(Handle, u32 message, WParam wParam, LParam lParam)
{
    ConfigGame& g = *m_config->GetGameSettings();
    if (message == win::kWmHScroll) {
        if (m_filling) return 1;
        auto volume = [&](i32 id) {
            const i32 position = dlg::GetTrackbarPos(Item(kGame, id));
            return position < kVolumeMin + 1 ? kSilent : position;
        };
        g.bgmVolume = volume(kBgmVolume);
        g.seVolume = volume(kSeVolume);
        g.voiceVolume = volume(kVoiceVolume);
        return 1;
    }
    if (message != win::kWmCommand) return 0;
    if (m_filling) return 1;
    const auto control = reinterpret_cast<Handle>(lParam);
    const u32 code = win::HighWord(wParam);
    const i32 id = i32(win::LowWord(wParam));
    if (code == dlg::kBnClicked) {
        if (id == kVoicePlay) g.voicePlay = Ticked(control);
        else if (id == kScreenshot) g.screenshot = Ticked(control);
        else if (id == kPadVibration) g.padVibration = Ticked(control);
        else if (id == kScreenShake) g.screenShake = Ticked(control);
    } else if (code == dlg::kCbnSelChange) {
        const i32 selection = dlg::GetSelection(control);
        if (selection < 0) return 1;
        if (id == kRadarType) g.radarType = u8(selection);
        else if (id == kDifficulty) g.arcadeDifficulty = u8(selection);
        else if (id == kGuardCorrection) g.guardCorrection = u8(selection);
        else if (id == kCameraSide) g.cameraSide = u8(selection);
        else if (id == kLockOnType) g.lockOnType = u32(selection);
        else if (id == kScreenshotSize) g.screenshotSize = u8(selection);
    }
    return 1;
}
