// Places are in dialog units. The pages are laid out to fit the main tab's
// page area (about 275 x 220 units; the key sub pages about 263 x 195).
#include "tool/config/ConfigTemplates.h"

#include "host/dialog/Dialog.h"

#include <string>

namespace {

using namespace config_ids;
using host::dialog::ControlKind;
using host::dialog::ControlTemplate;
using host::dialog::DialogTemplate;
using K = ControlKind;
namespace flag = host::dialog;

constexpr i32 kNoId = -1;

DialogTemplate Page(i32 width, i32 height)
{
    DialogTemplate t;
    t.child = true;
    t.font = "MS UI Gothic";
    t.pointSize = 9;
    t.width = width;
    t.height = height;
    return t;
}

void Add(DialogTemplate& t, ControlKind kind, i32 id, std::string text, i32 x, i32 y, i32 w, i32 h, u32 flags = 0)
{
    t.controls.push_back(ControlTemplate{kind, id, std::move(text), {x, y, w, h}, flags});
}

// A label and a drop-down list on one line.
void LabelledList(DialogTemplate& t, const char* label, i32 id, i32 y, i32 listWidth = 90)
{
    Add(t, K::Static, kNoId, label, 10, y + 2, 72, 8);
    Add(t, K::ComboBox, id, "", 85, y, listWidth, 100);
}

DialogTemplate MainDialog()
{
    DialogTemplate t;
    t.caption = "Cendrava Config Tool";
    t.font = "MS Shell Dlg";
    t.pointSize = 8;
    // Wide enough for all seven tabs at once: a scrolling tab strip hides
    // the pages at its ends.
    t.width = 410;
    t.height = 274;
    Add(t, K::PushButton, kSave, "保存", 299, 253, 50, 14, flag::kDefaultButton);
    Add(t, K::PushButton, kQuit, "終了", 353, 253, 50, 14);
    Add(t, K::Tab, kTab, "", 7, 7, 396, 240);
    return t;
}

DialogTemplate GraphicsPage()
{
    DialogTemplate t = Page(195, 142);
    LabelledList(t, "スクリーンサイズ", kScreenSize, 10);
    LabelledList(t, "HDR", kHdr, 28);
    LabelledList(t, "軌跡品質", kTraceQuality, 46);
    Add(t, K::CheckBox, kFullScreen, "フルスクリーン", 10, 68, 100, 10);
    Add(t, K::CheckBox, kMovie, "ムービー表示", 10, 82, 100, 10);
    return t;
}

DialogTemplate GamePage()
{
    DialogTemplate t = Page(195, 222);
    Add(t, K::CheckBox, kVoicePlay, "ボイス再生", 10, 8, 80, 10);
    Add(t, K::CheckBox, kScreenshot, "撮影機能", 100, 8, 80, 10);
    Add(t, K::CheckBox, kPadVibration, "パッド振動", 10, 22, 80, 10);
    Add(t, K::CheckBox, kScreenShake, "画面振動", 100, 22, 80, 10);
    const std::pair<const char*, i32> volumes[] = {{"BGM音量", kBgmVolume}, {"SE音量", kSeVolume},
        {"ボイス音量", kVoiceVolume}};
    i32 y = 40;
    for (const auto& [label, id] : volumes) {
        Add(t, K::Static, kNoId, label, 10, y + 3, 50, 8);
        Add(t, K::Trackbar, id, "", 62, y, 125, 15);
        y += 18;
    }
    LabelledList(t, "レーダタイプ", kRadarType, 96);
    LabelledList(t, "アーケード難易度", kDifficulty, 114);
    LabelledList(t, "ガード方向補正", kGuardCorrection, 132);
    LabelledList(t, "カメラ位置", kCameraSide, 150);
    LabelledList(t, "ロックオンタイプ", kLockOnType, 168, 100);
    LabelledList(t, "撮影サイズ", kScreenshotSize, 186);
    return t;
}

// One address list with its heading and its add and remove buttons.
void AddressList(DialogTemplate& t, const char* label, i32 list, i32 add, i32 remove, i32 x)
{
    Add(t, K::Static, kNoId, label, x, 111, 80, 8);
    Add(t, K::ListBox, list, "", x, 121, 80, 71, flag::kNotify | flag::kVerticalScroll);
    Add(t, K::PushButton, add, "追加", x, 195, 38, 13);
    Add(t, K::PushButton, remove, "削除", x + 42, 195, 38, 13);
}

DialogTemplate NetworkPage()
{
    DialogTemplate t = Page(226, 239);
    Add(t, K::GroupBox, kNoId, "共通設定", 4, 5, 266, 44);
    Add(t, K::Static, kNoId, "キーレスポンス", 12, 20, 56, 8);
    Add(t, K::ComboBox, kKeyResponse, "", 70, 18, 36, 80);
    Add(t, K::Static, kNoId, "PORT", 116, 20, 22, 8);
    Add(t, K::Edit, kPort, "", 140, 18, 40, 12);
    Add(t, K::CheckBox, kPlayBgm, "BGMを再生する", 188, 19, 78, 10);
    Add(t, K::CheckBox, kUseUpnp, "UPnPを使用する", 12, 34, 100, 10);
    Add(t, K::GroupBox, kNoId, "ロビーサーバー設定", 4, 52, 266, 28);
    Add(t, K::Static, kNoId, "ID", 12, 66, 14, 8);
    Add(t, K::Edit, kLobbyId, "", 30, 64, 130, 12);
    Add(t, K::GroupBox, kNoId, "IP指定設定", 4, 83, 266, 131);
    Add(t, K::Static, kNoId, "ID", 12, 97, 14, 8);
    Add(t, K::Edit, kConnectId, "", 30, 95, 130, 12);
    AddressList(t, "接続", kConnectList, kConnectAdd, kConnectRemove, 12);
    AddressList(t, "許可", kAllowList, kAllowAdd, kAllowRemove, 99);
    AddressList(t, "拒否", kDenyList, kDenyAdd, kDenyRemove, 186);
    return t;
}

DialogTemplate AddressDialog()
{
    DialogTemplate t;
    t.caption = "IPアドレス入力";
    t.font = "MS Shell Dlg";
    t.pointSize = 8;
    t.width = 182;
    t.height = 49;
    Add(t, K::Static, kNoId, "IP", 7, 10, 12, 8);
    for (i32 i = 0; i < 4; ++i) {
        Add(t, K::Edit, kOctet1 + i, "", 22 + 38 * i, 8, 30, 12);
        if (i < 3) Add(t, K::Static, kNoId, ".", 54 + 38 * i, 10, 4, 8);
    }
    Add(t, K::PushButton, kSave, "OK", 70, 29, 50, 14, flag::kDefaultButton);
    Add(t, K::PushButton, kQuit, "キャンセル", 125, 29, 50, 14);
    return t;
}

DialogTemplate KeyConfigPage()
{
    DialogTemplate t = Page(237, 244);
    Add(t, K::Tab, kKeyTab, "", 4, 3, 266, 214);
    return t;
}

// The visible rows of a key sub page, in pairs from the top; a row alone
// pairs with -1.
struct RowPair {
    i32 left, right;
};

// Both key sub pages: a label and a read-only key edit per row, the hidden
// rows parked at the top-left corner.
DialogTemplate KeyRowsPage(i32 editBase, i32 labelBase, const RowPair* pairs, i32 pairCount, i32 firstY)
{
    DialogTemplate t = Page(227, 222);
    bool shown[24] = {};
    for (i32 p = 0; p < pairCount; ++p) {
        shown[pairs[p].left] = true;
        if (pairs[p].right >= 0) shown[pairs[p].right] = true;
    }
    const u32 editFlags = flag::kReadOnly | flag::kCentred | flag::kWantAllKeys;
    for (i32 row = 0; row < 24; ++row) {
        if (shown[row]) continue;
        Add(t, K::Static, labelBase + row, kKeyRowLabels[row], 0, 0, 1, 1, flag::kHidden | flag::kDisabled);
        Add(t, K::Edit, editBase + row, "", 0, 0, 1, 1, editFlags | flag::kHidden | flag::kDisabled);
    }
    for (i32 p = 0; p < pairCount; ++p) {
        const i32 y = firstY + 18 * p;
        const i32 rows[2] = {pairs[p].left, pairs[p].right};
        for (i32 column = 0; column < 2; ++column) {
            if (rows[column] < 0) continue;
            const i32 x = 8 + 126 * column;
            Add(t, K::Static, labelBase + rows[column], kKeyRowLabels[rows[column]], x, y + 2, 74, 8);
            Add(t, K::Edit, editBase + rows[column], "", x + 76, y, 48, 12, editFlags);
        }
    }
    return t;
}

DialogTemplate KeyboardPage()
{
    constexpr RowPair kRows[] = {{4, 5}, {6, 7}, {14, 15}, {16, 17}, {19, 21}, {18, 20}, {8, 23}, {22, -1}};
    DialogTemplate t = KeyRowsPage(kKeyEdit, kKeyLabel, kRows, 8, 8);
    Add(t, K::PushButton, kKeyDefault, "デフォルト設定に戻す", 150, 164, 105, 14);
    return t;
}

DialogTemplate ControllerPage()
{
    constexpr RowPair kRows[] = {{14, 15}, {16, 17}, {19, 21}, {18, 20}, {8, 23}, {22, -1}};
    DialogTemplate t = KeyRowsPage(kPadEdit, kPadLabel, kRows, 6, 26);
    Add(t, K::Static, kNoId, "プレイヤー番号", 8, 8, 74, 8);
    Add(t, K::ComboBox, kPlayer, "", 84, 6, 48, 80);
    Add(t, K::Static, kNoId, "使用パッド", 134, 118, 50, 8);
    Add(t, K::ComboBox, kPadDevice, "", 186, 116, 72, 80);
    Add(t, K::PushButton, kPadDefault, "デフォルト設定に戻す", 150, 164, 105, 14);
    return t;
}

DialogTemplate RadioChatPage()
{
    DialogTemplate t = Page(237, 242);
    Add(t, K::Static, kNoId, "メッセージ", 32, 6, 60, 8);
    Add(t, K::Static, kNoId, "送信先", 206, 6, 40, 8);
    for (i32 i = 0; i < 12; ++i) {
        const i32 y = 18 + 16 * i;
        Add(t, K::Static, kNoId, "F" + std::to_string(i + 1), 8, y + 2, 20, 8);
        Add(t, K::Edit, kChatMessage + 10 * i, "", 30, y, 170, 12);
        Add(t, K::CheckBox, kChatEveryone + 10 * i, "全体", 206, y + 1, 40, 10);
    }
    return t;
}

DialogTemplate ReplayPage()
{
    DialogTemplate t = Page(237, 244);
    Add(t, K::CheckBox, kSaveReplays, "リプレイを保存する", 8, 6, 120, 10);
    for (i32 slot = 1; slot <= 30; ++slot) {
        const i32 column = slot > 15 ? 1 : 0;
        const i32 x = 8 + 132 * column, y = 21 + 13 * ((slot - 1) % 15);
        Add(t, K::Static, kNoId, "リプレイ" + std::to_string(slot), x, y + 1, 52, 8);
        Add(t, K::CheckBox, kReplayLock + slot - 1, "ロック", x + 56, y, 50, 10);
    }
    return t;
}

DialogTemplate BgmPage()
{
    DialogTemplate t = Page(237, 244);
    Add(t, K::Static, kNoId, "BGM", 8, 6, 40, 8);
    Add(t, K::Static, kNoId, "テンション", 88, 6, 60, 8);
    for (i32 i = 0; i < 10; ++i) {
        const i32 y = 18 + 19 * i, id = kBgmPath + kBgmRowStep * i;
        Add(t, K::Edit, id, "", 8, y, 76, 12);
        Add(t, K::Edit, id + 1, "", 88, y, 76, 12);
        Add(t, K::PushButton, id + 2, "参照", 168, y, 36, 13);
        Add(t, K::PushButton, id + 3, "チェック", 208, y, 56, 13);
    }
    return t;
}

}  // namespace

const char* const kKeyRowLabels[24] = {
    "使用しない", "使用しない", "使用しない", "使用しない", "移動上", "移動下", "移動左", "移動右",
    "カメラ正面", "使用しない", "使用しない", "使用しない", "使用しない", "使用しない", "スライド/決定",
    "ガード/キャンセル", "射撃", "近接攻撃", "ロック変更", "上昇", "トリガー", "下降", "メニュー/スタート", "命令変更",
};

bool RegisterConfigTemplates()
{
    using host::dialog::RegisterTemplate;
    return RegisterTemplate(kMainDialog, MainDialog()) && RegisterTemplate(kGraphicsPage, GraphicsPage()) &&
        RegisterTemplate(kGamePage, GamePage()) && RegisterTemplate(kNetworkPage, NetworkPage()) &&
        RegisterTemplate(kKeyConfigPage, KeyConfigPage()) && RegisterTemplate(kKeyboardPage, KeyboardPage()) &&
        RegisterTemplate(kControllerPage, ControllerPage()) && RegisterTemplate(kRadioChatPage, RadioChatPage()) &&
        RegisterTemplate(kReplayPage, ReplayPage()) && RegisterTemplate(kBgmPage, BgmPage()) &&
        RegisterTemplate(kAddressDialog, AddressDialog());
}
