#include "game/network/LobbyConnectOption.h"

#include "engine/core/FloatMath.h"
#include "engine/platform/FrameTime.h"
#include "engine/platform/Input.h"
#include "engine/platform/app/ImeInput.h"
#include "engine/scene/SceneObject.h"
#include "game/network/LobbyMessage.h"
#include "game/network/LobbyRoom.h"
#include "game/network/NetHost.h"
#include "game/scenes/GameApp.h"
#include "game/scenes/MenuScene.h"
#include "host/kernel/Kernel.h"
#include "host/net/Net.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace lobby_screen {

u32 RowUp(u32 row, u32 mode)
{
    u32 up = row == 0 ? kRowCount - 1 : row - 1;
    if (mode == kModeHost && (up == kRowAddress || up == kRowList)) up = kRowMode;
    return up;
}

u32 RowDown(u32 row, u32 mode)
{
    u32 down = row + 1 >= kRowCount ? 0 : row + 1;
    if (mode == kModeHost && (down == kRowAddress || down == kRowList)) down = kRowName;
    return down;
}

bool TypeDigit(OctetTexts& octets, u32& cursor, u32 digit)
{
    if (cursor >= kAddressDigits || digit > 9) return false;
    char (&octet)[4] = octets[cursor / 3];
    char& place = octet[cursor % 3];
    const char old = place;
    place = char('0' + digit);
    // An empty place reads as 0, as the screen shows it.
    for (char& c : octet)
        if (&c != &octet[3] && c == 0) c = '0';
    octet[3] = 0;
    const bool written = OctetValue(octet) <= 255;
    if (!written) place = old;
    if (cursor < kAddressDigits - 1) ++cursor;
    return written;
}

u32 OctetValue(const char (&octet)[4])
{
    u32 value = 0;
    for (char c : octet) {
        if (c < '0' || c > '9') break;
        value = value * 10 + u32(c - '0');
    }
    return value;
}

std::string AddressText(const OctetTexts& octets)
{
    char text[48];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", OctetValue(octets[0]), OctetValue(octets[1]),
                  OctetValue(octets[2]), OctetValue(octets[3]));
    return text;
}

bool JoinAddress(const OctetTexts& octets, u32* address)
{
    u32 values[4];
    for (u32 i = 0; i < 4; ++i) {
        values[i] = OctetValue(octets[i]);
        if (values[i] > 255) return false;
    }
    if (values[0] == 0) return false;
    if (address) *address = host::net::MakeAddress(u8(values[0]), u8(values[1]), u8(values[2]), u8(values[3]));
    return true;
}

void PushRecent(IpAddressEntry* list, const OctetTexts& octets)
{
    if (!list) return;
    const std::string text = AddressText(octets);
    u32 found = kRecentCount - 1;   // absent: the oldest goes
    for (u32 i = 0; i < kRecentCount; ++i) {
        if (AddressText(list[i].octet) == text) {
            found = i;
            break;
        }
    }
    for (u32 i = found; i > 0; --i) list[i] = list[i - 1];
    IpAddressEntry& top = list[0];
    for (u32 i = 0; i < 4; ++i) std::snprintf(top.octet[i], sizeof top.octet[i], "%03u", OctetValue(octets[i]) % 1000);
}

void PutPlayerName(char (&out)[kUserNameBytes], const char* name)
{
    std::memset(out, 0, sizeof out);
    if (!name) return;
    const std::string_view text(name, strnlen(name, kUserNameBytes * 4));
    std::memcpy(out, name, host::kernel::Cp932Fit(text, kUserNameBytes - 1));
}

}  // namespace lobby_screen

// ---------------------------------------------------------------- the screen


using namespace lobby_scene;
using namespace lobby_screen;

namespace {

// Scan codes of the digits 0..9: the main keyboard's, the keypad's.
constexpr u32 kDigitKeys[10] = {0x0B, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A};
constexpr u32 kPadDigitKeys[10] = {0x52, 0x4F, 0x50, 0x51, 0x4B, 0x4C, 0x4D, 0x47, 0x48, 0x49};

bool KeyTriggered(u32 code)
{
    CGameApp* app = GetGameApp();
    CInput* input = app ? app->GetInput() : nullptr;
    return input && input->IsKeyTriggered(code);
}

constexpr u32 kJoinRefused = 10;
constexpr u32 kHostFailed = 9;

}  // namespace

CLobbyConnectOptionScene::CLobbyConnectOptionScene(const CLobbyConnectOptionScene& other)
    : CLobbySceneBase(other), m_row(other.m_row), m_mode(other.m_mode), m_cursor(other.m_cursor),
      m_blink(other.m_blink), m_listOpen(other.m_listOpen), m_hostWait(other.m_hostWait),
      m_list(other.m_list ? std::make_unique<CLobbyIpListScene>(*other.m_list) : nullptr)
{
    std::memcpy(m_address, other.m_address, sizeof m_address);
    FindLayers();
}

CLobbyConnectOptionScene::~CLobbyConnectOptionScene() { Release(); }

void CLobbyConnectOptionScene::FindLayers()
{
    m_background = FindLayer("bg02");
    m_base = FindLayer("Base");
    m_clientIp = FindLayer("ClientIP");
    m_mowa = FindLayer("mowa");
    m_kira = FindLayer("kira");
    const char* rows[kRowCount] = {"op_set02", "op_ip02", "op_list02", "op_pl02", "op_ok02"};
    for (u32 i = 0; i < kRowCount; ++i) m_rows[i] = FindLayer(rows[i]);
    m_hostLayer = FindLayer("op_set_01");
    m_joinLayer = FindLayer("op_set_02");
    FindDigitImages(*this, m_digits);
    for (u32 i = 0; i < kAddressDigits; ++i)
        m_slots[i] = FindOutsideDigits(*this, ("n" + std::to_string(i + 1)).c_str());
}

i32 CLobbyConnectOptionScene::Initialize(intptr_t)
{
    for (char (&octet)[4] : m_address) std::memcpy(octet, "000", 4);
    if (!LoadLayout(kConnectOptionLayout)) return 0;
    m_list = std::make_unique<CLobbyIpListScene>(Client(), Context());
    return m_list->Initialize(0);
}

i32 CLobbyConnectOptionScene::Release()
{
    m_list.reset();
    return CLobbySceneBase::Release();
}

bool CLobbyConnectOptionScene::UpdateList(u32 argument)
{
    if (!m_list->IsClosed()) {
        m_list->Update(argument);
        return true;
    }
    m_listOpen = 0;
    const IpAddressEntry* recent = Context() ? Context()->state.recentAddresses : nullptr;
    if (m_list->IsAccepted() && recent) {
        // Only digits come in: the configuration file may hold anything.
        const IpAddressEntry& chosen = recent[m_list->GetCursor() % kRecentCount];
        for (u32 i = 0; i < kAddressDigits; ++i)
            m_address[i / 3][i % 3] = char('0' + DigitGlyph(chosen.octet[i / 3][i % 3]));
        for (char (&octet)[4] : m_address) octet[3] = 0;
    }
    return false;
}

bool CLobbyConnectOptionScene::NameHasText() const
{
    const CImeInput* ime = Ime();
    return m_row == kRowName && ime && ime->IsEnabled() && ime->GetTotalLength() > 0;
}

void CLobbyConnectOptionScene::MoveRow(bool up)
{
    const u32 row = up ? RowUp(m_row, m_mode) : RowDown(m_row, m_mode);
    if (m_row == kRowName && row != kRowName) LeaveField();
    m_row = row;
    PlaySound(kSelectSound);
}

bool CLobbyConnectOptionScene::UpdateMenu()
{
    if (NameHasText()) return false;
    // Each key pressed this frame takes its step, in this order. On the
    // address row the keypad types digits: only the stick codes move there.
    const auto pressed = [this](u32 stick, bool (*either)()) {
        return m_row == kRowAddress ? menu::Triggered(stick) : either();
    };
    if (pressed(menu::kStickUp, menu::UpTriggered)) MoveRow(true);
    if (pressed(menu::kStickDown, menu::DownTriggered)) MoveRow(false);
    const bool left = pressed(menu::kStickLeft, menu::LeftTriggered);
    const bool right = pressed(menu::kStickRight, menu::RightTriggered);
    if (left || right) {
        if (m_row == kRowMode) m_mode = m_mode == kModeJoin ? kModeHost : kModeJoin;
        if (m_row == kRowAddress) m_cursor = left ? (m_cursor > 0 ? m_cursor - 1 : 0)
                                                  : std::min(m_cursor + 1, kAddressDigits - 1);
        PlaySound(kSelectSound);
    }
    if (menu::Triggered(menu::kDecide)) Decide();
    if (menu::Triggered(menu::kCancel)) {
        LeaveField();
        PlaySound(kCancelSound);
        if (!Client()) return true;
        if (Context() && Context()->startMode == 1) Client()->SetExitRequest(1);
        else Client()->SetScreen(u32(LobbyLayer::kEntrance));
        return true;
    }
    return false;
}

void CLobbyConnectOptionScene::Decide()
{
    if (m_row == kRowList) {
        m_list->Open();
        m_listOpen = 1;
        PlaySound(kDecideSound);
    } else if (m_row == kRowStart) {
        PlaySound(kDecideSound);
        LeaveField();
        if (m_mode == kModeJoin) Join();
        else Host();
    }
}

void CLobbyConnectOptionScene::PutOwnName()
{
    if (!Context() || !Context()->state.ownUser) return;
    char name[kUserNameBytes];
    PutPlayerName(name, Context()->playerName);
    std::memcpy(Context()->state.ownUser->data + lobby::kUserNameAt, name, sizeof name);
}

void CLobbyConnectOptionScene::Join()
{
    u32 address = 0;
    if (!Client() || !Context()) return;
    if (!JoinAddress(m_address, &address)) {
        if (Context()->message) Context()->message->Show(kJoinRefused, this);
        return;
    }
    PushRecent(Context()->state.recentAddresses, m_address);
    Client()->SetJoinTarget(address, Context()->state.gamePort);
    // A direct room: the host's join reply must say so too.
    if (Context()->room) Context()->room->SetLobbyMode(0);
    PutOwnName();
    Client()->StartJoin();
}

void CLobbyConnectOptionScene::Host()
{
    if (!Client()) return;
    PutOwnName();
    // The last room's listener may still be closing: its port and its
    // thread must be gone before a new one starts (and nothing is joined
    // here, under the client lock).
    CNetHost* host = Client()->GetNetHost();
    if (host && host->GetListenPort() != 0) {
        host->RequestCloseAll();
        m_hostWait = kHostWaitFrames;
        return;
    }
    m_hostWait = 0;
    if (!Client()->StartHostListener()) {
        ShowHostFailure(false);
        return;
    }
    Client()->SetScreen(u32(LobbyLayer::kRoom));
    if (CLobbyRoomScene* room = Context() ? Context()->room : nullptr) {
        room->SetLobbyMode(0);
        room->BecomeHost(Client()->GetUserName(), nullptr);
    }
}

void CLobbyConnectOptionScene::ShowHostFailure(bool stillClosing)
{
    if (!Context() || !Context()->message) return;
    Context()->message->Show(kHostFailed, this);
    // The notice names what failed, as the lobby's do.
    if (Client()) Context()->message->SetDetail(Client()->HostFailure(stillClosing));
}

void CLobbyConnectOptionScene::TypeDigits()
{
    if (m_row != kRowAddress) return;
    for (u32 d = 0; d < 10; ++d) {
        if (KeyTriggered(kDigitKeys[d]) || KeyTriggered(kPadDigitKeys[d])) TypeDigit(m_address, m_cursor, d);
    }
}

void CLobbyConnectOptionScene::UpdateName()
{
    if (m_row != kRowName || !Context()) return;
    CImeInput* ime = Ime();
    // The message window turns the entry off while it shows.
    if (ime && !ime->IsEnabled()) FocusField(1, f32(kNameFontSize), lobby_scene::kPlayerNameTyped);
    EditStored(Context()->playerName, sizeof Context()->playerName);
}

void CLobbyConnectOptionScene::UpdateDisplay()
{
    Tint(m_hostLayer, m_mode == kModeHost);
    Tint(m_joinLayer, m_mode == kModeJoin);
    Tint(m_clientIp, m_mode == kModeJoin);
    m_blink += GetFrameTime();
    const f32 wave = CosF(m_blink / kBlinkPeriod);
    const f32 pulse = std::clamp(wave < 0.0f ? -wave : wave, 0.0f, 1.0f);
    const u32 blink = (u32(pulse * 255.0f) << 24) | 0x00FFFFFFu;
    for (u32 i = 0; i < kAddressDigits; ++i) {
        char& c = m_address[i / 3][i % 3];
        if (c == 0) c = '0';
        if (!m_slots[i]) continue;
        const CRect4 rect = DigitRect(m_digits, DigitGlyph(c));
        m_slots[i]->MoveToRect(&rect);
        m_slots[i]->SetColorARGB(m_row == kRowAddress && i == m_cursor ? blink : kWhite);
    }
    if (m_rows[kRowList]) m_rows[kRowList]->SetColorARGB(m_row == kRowList ? blink : kWhite);
}

i32 CLobbyConnectOptionScene::Update(u32 argument)
{
    if (m_listOpen && m_list && UpdateList(argument)) return 1;
    if (m_hostWait > 0) {
        // A host start waits for the last listener, within its bound.
        CNetHost* host = Client() ? Client()->GetNetHost() : nullptr;
        if (!host || host->GetListenPort() == 0) Host();
        else if (--m_hostWait == 0) ShowHostFailure(true);
        return CSceneResource::Update(argument);
    }
    // The keypad's digits are direction codes too: the press that moved
    // onto the address row is not also a digit there.
    const u32 row = m_row;
    const bool left = UpdateMenu();
    if (m_row == row) TypeDigits();
    // A screen left by cancel leaves its entry off: what is typed next
    // belongs to the screen it went to.
    if (!left) UpdateName();
    UpdateDisplay();
    return CSceneResource::Update(argument);
}

i32 CLobbyConnectOptionScene::Draw(u32)
{
    if (m_listOpen && m_list) return m_list->Draw(0);
    DrawLayer(m_background);
    DrawLayer(m_base);
    DrawLayer(m_clientIp);
    for (CSceneObject* slot : m_slots) DrawLayer(slot);
    DrawKira(m_kira);
    DrawLayer(m_rows[m_row]);
    DrawLayer(m_hostLayer);
    DrawLayer(m_joinLayer);
    const f32 s = TextScale();
    if (!NameHasText() && Context()) DrawOutlined(kNameX, kNameY, kNameFontSize, Context()->playerName);
    if (m_row == kRowName)
        if (CImeInput* ime = Ime()) ime->Draw(kNameX * s, kNameY * s, kNameFontSize, s, TextColour());
    return 1;
}
