// The network page (3000) and the IP address dialog (114).
//
// The connect list box shows the connect entries that are not empty, in
// order; its line n is the n-th such entry, so a line and its entry never
// drift apart even when the file holds empty entries between used ones. An
// address that would count as empty (all of it 0 or "*") is refused, since
// the list would forget it.
#include "tool/config/ConfigToolApp.h"

#include "tool/config/ConfigTemplates.h"

#include "engine/core/Number.h"
#include "host/dialog/Dialog.h"
#include "host/kernel/Kernel.h"

#include <cstdio>
#include <cstring>
#include <tuple>

namespace {

namespace dlg = host::dialog;
namespace win = host::window;
using namespace config_ids;

constexpr u32 kNetwork = 2;
constexpr size_t kIdChars = 31;     // of the 33-byte ID fields
constexpr i32 kPortChars = 5;
constexpr u32 kPortMin = 1, kPortMax = 65535;

std::string OctetText(const char (&octet)[4]) { return std::string(octet, strnlen(octet, sizeof octet)); }

// "%d.%d.%d.%d" of the octets read as numbers ("*" reads as 0).
std::string AddressAsNumbers(const IpAddressEntry& e)
{
    std::string text;
    for (const auto& octet : e.octet) {
        if (!text.empty()) text += '.';
        text += std::to_string(ParseInt(OctetText(octet).c_str()));
    }
    return text;
}

// "%s.%s.%s.%s" of the texts as stored.
std::string AddressAsTexts(const IpAddressEntry& e)
{
    std::string text;
    for (const auto& octet : e.octet) {
        if (!text.empty()) text += '.';
        text += OctetText(octet);
    }
    return text;
}

bool AllDigits(const std::string& s)
{
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// The connect entry shown on a line; -1 for none.
i32 ConnectEntryOfLine(CSaveConfig& config, i32 line)
{
    if (line < 0) return -1;
    const ConfigNetwork& n = *config.GetNetworkSettings();
    for (u32 i = 0; i < kConnectIpCount; ++i) {
        if (CSaveConfig::IsEmptyIp(n.connect[i])) continue;
        if (line-- == 0) return i32(i);
    }
    return -1;
}

}  // namespace

i32 CConfigToolApp::FillNetworkPage()
{
    const ConfigNetwork& n = *m_config->GetNetworkSettings();
    m_filling = true;
    dlg::SetTextLimit(Item(kNetwork, kLobbyId), kIdChars);
    dlg::SetTextLimit(Item(kNetwork, kConnectId), kIdChars);
    dlg::SetTextLimit(Item(kNetwork, kPort), kPortChars);
    win::SetWindowText(Item(kNetwork, kLobbyId), std::string(n.lobbyId, strnlen(n.lobbyId, sizeof n.lobbyId)));
    win::SetWindowText(Item(kNetwork, kConnectId), std::string(n.connectId, strnlen(n.connectId, sizeof n.connectId)));
    win::SetWindowText(Item(kNetwork, kPort), std::to_string(n.port));
    dlg::SetCheck(Item(kNetwork, kUseUpnp), n.useUpnp != 0);
    dlg::SetCheck(Item(kNetwork, kPlayBgm), n.playBgm != 0);
    const Handle keyResponse = Item(kNetwork, kKeyResponse);
    dlg::ClearItems(keyResponse);
    for (const char* item : {"1", "2", "3", "4", "5"}) dlg::AddItem(keyResponse, item);
    dlg::SelectItem(keyResponse, n.keyResponse);
    FillConnectList();
    for (auto [id, count, get] : {std::tuple{kAllowList, m_config->GetAllowCount(), &CSaveConfig::GetAllowIp},
             std::tuple{kDenyList, m_config->GetDenyCount(), &CSaveConfig::GetDenyIp}}) {
        const Handle list = Item(kNetwork, id);
        dlg::ClearItems(list);
        for (u32 i = 0; i < count; ++i) dlg::AddItem(list, AddressAsTexts(*(m_config->*get)(i32(i))));
    }
    m_filling = false;
    return 1;
}

void CConfigToolApp::FillConnectList()
{
    const Handle list = Item(kNetwork, kConnectList);
    dlg::ClearItems(list);
    for (const IpAddressEntry& e : m_config->GetNetworkSettings()->connect)
        if (!CSaveConfig::IsEmptyIp(e)) dlg::AddItem(list, AddressAsNumbers(e));
}

CConfigToolApp::LResult CConfigToolApp::OnNetworkPage(Handle, u32 message, WParam wParam, LParam lParam)
{
    if (message != win::kWmCommand) return 0;
    if (m_filling) return 1;
    ConfigNetwork& n = *m_config->GetNetworkSettings();
    const auto control = reinterpret_cast<Handle>(lParam);
    const i32 id = i32(win::LowWord(wParam));
    switch (win::HighWord(wParam)) {
    case dlg::kBnClicked:
        if (id == kUseUpnp) n.useUpnp = dlg::IsChecked(control) ? 1 : 0;
        else if (id == kPlayBgm) n.playBgm = dlg::IsChecked(control) ? 1 : 0;
        else if (id == kConnectAdd || id == kAllowAdd || id == kDenyAdd) AddAddress(id);
        else if (id == kConnectRemove || id == kAllowRemove || id == kDenyRemove) RemoveAddress(id);
        break;
    case dlg::kCbnSelChange:
        if (id == kKeyResponse && dlg::GetSelection(control) >= 0) n.keyResponse = u8(dlg::GetSelection(control));
        break;
    case dlg::kEnUpdate:
        if (id == kLobbyId) TakeId(control, n.lobbyId);
        else if (id == kConnectId) TakeId(control, n.connectId);
        else if (id == kPort) TakePort(control);
        break;
    default:
        break;
    }
    return 1;
}

void CConfigToolApp::TakeId(Handle edit, char* field)
{
    const std::string text = win::GetWindowText(edit);
    if (text.size() > kIdChars) {
        Refuse(m_pages[kNetwork].window, "IDは半角31文字以内で入力してください。");
        ShowText(edit, std::string(field, strnlen(field, kIdChars + 2)));
        return;
    }
    std::memset(field, 0, kIdChars + 2);
    std::memcpy(field, text.data(), text.size());
}

void CConfigToolApp::TakePort(Handle edit)
{
    u16& port = m_config->GetNetworkSettings()->port;
    const std::string text = win::GetWindowText(edit);
    if (text.empty()) return;   // being typed; the stored port stays
    const u32 value = AllDigits(text) && text.size() <= size_t(kPortChars) ? u32(ParseInt(text.c_str())) : 0;
    if (value < kPortMin || value > kPortMax) {
        Refuse(m_pages[kNetwork].window, "PORTには1～65535までの数字を入力してください。");
        ShowText(edit, std::to_string(port));
        return;
    }
    port = u16(value);
}

void CConfigToolApp::AddAddress(i32 addButton)
{
    const Handle page = m_pages[kNetwork].window;
    if (dlg::DialogBox(kAddressDialog, GetMainWindow(), &CConfigToolApp::IpAddressDialogProc,
            reinterpret_cast<LParam>(this)) != 1)
        return;
    const IpAddressEntry& address = m_pendingAddress;
    if (addButton == kConnectAdd) {
        if (CSaveConfig::IsEmptyIp(address)) {
            Refuse(page, "0.0.0.0（すべて0または*）は接続IPアドレスに登録できません。");
        } else if (!m_config->AddConnectIp(address)) {
            Refuse(page, "接続IPアドレスの登録は２４件までです。");
        } else {
            FillConnectList();
        }
    } else if (addButton == kAllowAdd) {
        if (m_config->AddAllowIp(address)) dlg::AddItem(Item(kNetwork, kAllowList), AddressAsTexts(address));
        else Refuse(page, "許可IPアドレスの追加に失敗しました。");
    } else {
        if (m_config->AddDenyIp(address)) dlg::AddItem(Item(kNetwork, kDenyList), AddressAsTexts(address));
        else Refuse(page, "拒否IPアドレスの追加に失敗しました。");
    }
}

void CConfigToolApp::RemoveAddress(i32 removeButton)
{
    const i32 listId = removeButton == kConnectRemove ? kConnectList
        : removeButton == kAllowRemove                ? kAllowList
                                                      : kDenyList;
    const Handle list = Item(kNetwork, listId);
    const i32 line = dlg::GetSelection(list);
    bool removed = false;
    if (removeButton == kConnectRemove) {
        removed = m_config->RemoveConnectIp(ConnectEntryOfLine(*m_config, line)) != 0;
        if (removed) FillConnectList();
    } else {
        removed = (removeButton == kAllowRemove ? m_config->RemoveAllowIp(line) : m_config->RemoveDenyIp(line)) != 0;
        if (removed) dlg::DeleteItem(list, line);
    }
    if (!removed) Refuse(m_pages[kNetwork].window, "削除するIPアドレスをリストから選択してください。");
}

// ---------------------------------------------------------------- address dialog

i32 CConfigToolApp::ValidateIpAddress(Handle dialog)
{
    IpAddressEntry address{};
    for (i32 i = 0; i < 4; ++i) {
        const std::string text = win::GetWindowText(dlg::GetDlgItem(dialog, kOctet1 + i)).substr(0, 29);
        char* octet = address.octet[i];
        if (text == "*") {
            std::memcpy(octet, "*", 2);
            continue;
        }
        // Read as atoi reads it: letters with no digit before them are 0.
        const i32 value = text.empty() ? -1 : ParseInt(text.c_str());
        if (value < 0 || value > 255) {
            win::MessageBox(dialog, "IPアドレスには0～255までの数字を入力してください。", "Error", host::kernel::kMbOk);
            return 0;
        }
        std::snprintf(octet, sizeof address.octet[i], "%3.3d", int(value));
    }
    m_pendingAddress = address;
    return 1;
}

CConfigToolApp::LResult CConfigToolApp::IpAddressDialogProc(Handle dialog, u32 message, WParam wParam, LParam lParam)
{
    if (message == win::kWmInitDialog) {
        win::SetUserData(dialog, lParam);
        for (i32 i = 0; i < 4; ++i) {
            const Handle edit = dlg::GetDlgItem(dialog, kOctet1 + i);
            win::SetWindowText(edit, "");
            dlg::SetTextLimit(edit, 3);
        }
        return 1;
    }
    auto* app = reinterpret_cast<CConfigToolApp*>(win::GetUserData(dialog));
    if (!app) return 0;
    if (message == win::kWmClose) {
        dlg::EndDialog(dialog, 0);
        return 1;
    }
    if (message != win::kWmCommand || win::HighWord(wParam) != dlg::kBnClicked) return 0;
    if (win::LowWord(wParam) == u32(kSave)) {
        if (app->ValidateIpAddress(dialog)) dlg::EndDialog(dialog, 1);
        return 1;
    }
    if (win::LowWord(wParam) == u32(kQuit)) {
        dlg::EndDialog(dialog, 0);
        return 1;
    }
    return 0;
}
