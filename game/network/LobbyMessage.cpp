#include "game/network/LobbyMessage.h"
#include "engine/core/Endian.h"

#include "engine/platform/FrameTime.h"
#include "engine/platform/app/ImeInput.h"
#include "engine/scene/SceneObject.h"
#include "game/scenes/MenuScene.h"

#include <algorithm>
#include <cstring>

using namespace lobby_scene;

namespace {

// The layers of each event code: message, panel, the dots, the menu
// options, yes and no (null: none), and the kind.
struct EventLayers {
    const char* message;
    const char* panel;
    const char* dots[3];
    const char* options[3];
    const char* yes;
    const char* no;
    u32 kind;
};

using M = CLobbySceneMessage;
constexpr EventLayers kEvents[M::kCodeCount] = {
    {"Server", "Base1", {"ten4", "ten5", "ten6"}, {}, nullptr, nullptr, M::kWaiting},
    {"Login", "Base1", {"ten7", "ten8", "ten9"}, {}, nullptr, nullptr, M::kWaiting},
    {"RoomCreate", "Base1", {"ten10", "ten11", "ten12"}, {}, nullptr, nullptr, M::kWaiting},
    {"RoomInformation", "Base1", {"ten13", "ten14", "ten15"}, {}, nullptr, nullptr, M::kWaiting},
    {"RoomInformation", "Base1", {"ten13", "ten14", "ten15"}, {}, nullptr, nullptr, M::kWaiting},
    {"RoomPass", "Base1", {"ten", "ten2", "ten3"}, {}, nullptr, nullptr, M::kWaiting},
    {"RoomConnect", "Base1", {"ten16", "ten17", "ten18"}, {}, nullptr, nullptr, M::kWaiting},
    {"Mkaisen", "Base1", {}, {}, nullptr, nullptr, M::kWaiting},
    {"Aserv", "Base3", {}, {}, nullptr, nullptr, M::kNotice},
    {"Anet", "Base4", {}, {}, nullptr, nullptr, M::kNotice},
    {"RoomConnectError", "Base1", {}, {}, nullptr, nullptr, M::kNotice},
    {"Akaisen", "Base2", {}, {}, nullptr, nullptr, M::kNotice},
    {"Aver", "Base3", {}, {}, nullptr, nullptr, M::kNotice},
    {"Aninsyo", "Base3", {}, {}, nullptr, nullptr, M::kNotice},
    {"Mroommei", "Base1", {}, {}, nullptr, nullptr, M::kNotice},
    {"RoomInformationError", "Base1", {}, {}, nullptr, nullptr, M::kNotice},
    {"Aninzu", "Base1", {}, {}, nullptr, nullptr, M::kNotice},
    {"Apass", "Base1", {}, {}, nullptr, nullptr, M::kNotice},
    {nullptr, "Base4", {}, {}, nullptr, nullptr, M::kNotice},
    {"RoomPassword", "Base2", {}, {}, nullptr, nullptr, M::kPassword},
    {"UserKick", "Base2", {}, {}, "yes", "no", M::kYesNo},
    {"NetworkEnd", "Base2", {}, {}, "yes2", "no2", M::kYesNo},
    {"RoomQuit", "Base2", {}, {}, "yes3", "no3", M::kYesNo},
    {"RoomClose", "Base2", {}, {}, "yes5", "no5", M::kYesNo},
    {"BattleStart", "Base2", {}, {}, "yes4", "no4", M::kYesNo},
    {"SelectLobby", "Base3", {}, {"Pnewroom", "Pnetoff"}, nullptr, nullptr, M::kMenu},
    {"SelectRoom", "Base4", {}, {"Ptaisen", "Proomchange", "Proomoff"}, nullptr, nullptr, M::kMenu},
    {"SelectIpRoom", "Base3", {}, {"Piptaisen", "Proomipoff"}, nullptr, nullptr, M::kMenu},
};

constexpr u32 kOptionCount = 3;
constexpr u32 kPasswordFontSize = 18;
constexpr u32 kPasswordInputBytes = 8;
constexpr u32 kInfoFontSize = 18;

// The line information's labels (x 360) and star rows (from x 460).
constexpr f32 kLabelX = 360.0f, kStarX = 460.0f, kStarStep = 24.0f;
constexpr f32 kTitleY = 324.0f, kTcpY = 348.0f, kUdpY = 372.0f, kSentY = 396.0f, kReceivedY = 420.0f;
constexpr const char* kStar = "★";

}  // namespace

CLobbySceneMessage::CLobbySceneMessage(const CLobbySceneMessage& other)
    : CLobbySceneBase(other), m_code(other.m_code), m_returnScene(other.m_returnScene)
{
    for (u32 i = 0; i < kCodeCount; ++i) m_records[i] = other.m_records[i];
    FindLayers();
}

void CLobbySceneMessage::FindLayers()
{
    auto find = [this](const char* name) { return name ? FindLayer(name) : nullptr; };
    for (u32 code = 0; code < kCodeCount; ++code) {
        const EventLayers& e = kEvents[code];
        Record& r = m_records[code];
        r.kind = e.kind;
        r.layers[kMessageLayer] = find(e.message);
        r.layers[kPanel] = find(e.panel);
        for (u32 k = 0; k < 3; ++k) r.layers[kDot0 + k] = find(e.dots[k]);
        for (u32 k = 0; k < kOptionCount; ++k) r.layers[kOption0 + k] = find(e.options[k]);
        r.layers[kYes] = find(e.yes);
        r.layers[kNo] = find(e.no);
    }
}

i32 CLobbySceneMessage::Initialize(intptr_t) { return LoadLayout(kLayout); }

void CLobbySceneMessage::Show(u32 code, CLobbySceneBase* returnScene)
{
    m_code = std::min(code, kNone);
    m_returnScene = returnScene;
    m_detail.clear();
    if (m_code == kNone) return;
    Record& r = m_records[m_code];
    r.timer = 0.0f;
    r.value = 0;
    r.answered = 0;
}

void CLobbySceneMessage::SetDetail(const std::string& detail)
{
    m_detail = IsShowing() ? detail : std::string();
}

void CLobbySceneMessage::ShowWithValue(u32 code, u32 value, CLobbySceneBase* returnScene)
{
    Show(code, returnScene);
    if (IsShowing()) m_records[m_code].value = value;
}

i32 CLobbySceneMessage::Update(u32 argument)
{
    if (!IsShowing()) return 1;
    Record& record = m_records[m_code];
    if (record.kind != kPassword)
        if (CImeInput* ime = Ime(); ime && ime->IsEnabled()) LeaveField();
    switch (record.kind) {
    case kWaiting: UpdateWaiting(record); break;
    case kNotice: UpdateNotice(record); break;
    case kPassword: UpdatePassword(record); break;
    case kYesNo: UpdateYesNo(record); break;
    case kMenu: UpdateMenu(record); break;
    default: break;
    }
    return CSceneResource::Update(argument);
}

void CLobbySceneMessage::UpdateWaiting(Record& record)
{
    record.timer += GetFrameTime();
    const u32 lit = u32(record.timer / kDotStep) % 3;
    for (u32 k = 0; k < 3; ++k) Tint(record.layers[kDot0 + k], k == lit);
}

void CLobbySceneMessage::UpdateNotice(Record& record)
{
    record.timer += GetFrameTime();
    if (record.timer >= kNoticeDelay && menu::AnyTriggered()) Answer(record, false, kDecideSound);
}

void CLobbySceneMessage::UpdatePassword(Record& record)
{
    FocusField(1, f32(kPasswordFontSize), kPasswordInputBytes);
    char password[kRoomPasswordBytes] = {};
    if (!TakeEntered(password, sizeof password)) return;
    record.answered = 1;
    const auto bytes = PasswordPayload(record.value, password);
    LeaveField();
    // The waiting message first: a send that fails replaces it.
    Show(kPasswordSentCode, m_returnScene);
    if (CLobbyClient* client = Client()) client->SendRequest(kPasswordMessage, bytes.data(), u32(bytes.size()));
}

void CLobbySceneMessage::UpdateYesNo(Record& record)
{
    if (menu::LeftTriggered() || menu::RightTriggered()) {
        record.value = record.value ? 0 : 1;
        PlaySound(kSelectSound);
    }
    AnswerKeys(record);
    Tint(record.layers[kYes], record.value == 1);
    Tint(record.layers[kNo], record.value == 0);
}

u32 CLobbySceneMessage::NextOption(const Record& record, i32 step) const
{
    // At most one lap: a menu whose options are all missing keeps its place.
    u32 option = record.value % kOptionCount;
    for (u32 tries = 0; tries < kOptionCount; ++tries) {
        option = (option + kOptionCount + u32(step)) % kOptionCount;
        if (record.layers[kOption0 + option]) return option;
    }
    return record.value;
}

void CLobbySceneMessage::UpdateMenu(Record& record)
{
    // Up and down in one frame each move: the selection comes back.
    for (const i32 step : {menu::UpTriggered() ? -1 : 0, menu::DownTriggered() ? 1 : 0}) {
        if (step == 0) continue;
        const u32 next = NextOption(record, step);
        if (next != record.value) PlaySound(kSelectSound);
        record.value = next;
    }
    AnswerKeys(record);
    for (u32 k = 0; k < kOptionCount; ++k) Tint(record.layers[kOption0 + k], k == record.value);
}

void CLobbySceneMessage::AnswerKeys(Record& record)
{
    // Read before the call back: a decide may raise the next message. The
    // cancel in the same frame still takes its step and sound, on this
    // record, not on the one raised.
    const bool decide = menu::Triggered(menu::kDecide), cancel = menu::Triggered(menu::kCancel);
    if (decide) Answer(record, true, kDecideSound);
    if (cancel) Answer(record, false, kCancelSound);
}

void CLobbySceneMessage::Answer(Record& record, bool callBack, u32 sound)
{
    record.answered = 1;
    // The return scene may show the next message at once, which resets
    // records: it reads a copy of the answer.
    u32 answer = record.value;
    const u32 code = m_code;
    if (callBack && m_returnScene) m_returnScene->OnMessage(code, reinterpret_cast<intptr_t>(&answer));
    PlaySound(sound);
}

std::array<u8, 4 + kRoomPasswordBytes> CLobbySceneMessage::PasswordPayload(u32 room, const char* password)
{
    std::array<u8, 4 + kRoomPasswordBytes> bytes{};
    PutLe32(bytes.data(), room);
    CopyField(reinterpret_cast<char*>(bytes.data() + 4), kRoomPasswordBytes, password);
    return bytes;
}

u32 CLobbySceneMessage::TimeStars(u32 milliseconds)
{
    if (milliseconds == 0 || milliseconds >= 800) return 0;
    return std::min(kMaxStars, (800 - milliseconds) / 50);
}

u32 CLobbySceneMessage::CountStars(u32 count) { return std::min(kMaxStars, count / 10); }

i32 CLobbySceneMessage::Draw(u32)
{
    if (!IsShowing()) return 1;
    const Record& record = m_records[m_code];
    DrawLayer(record.layers[kPanel]);
    DrawLayer(record.layers[kMessageLayer]);
    if (record.kind == kPassword) {
        if (CImeInput* ime = Ime()) {
            const f32 s = TextScale();
            ime->DrawWithFont(Font(), 400.0f * s, 384.0f * s, kPasswordFontSize, s, TextColour());
        }
    }
    if (m_code == kLineInformationCode) DrawLineInformation();
    if (record.kind == kNotice) DrawDetail();
    return 1;
}

void CLobbySceneMessage::DrawDetail()
{
    size_t at = 0;
    for (u32 line = 0; line < kDetailLines && at < m_detail.size(); ++line) {
        const size_t end = std::min(m_detail.find('\n', at), m_detail.size());
        char text[kDetailBytes + 1] = {};
        CopyField(text, sizeof text, m_detail.substr(at, end - at).c_str());
        DrawOutlined(kDetailX, kDetailY + kDetailStep * f32(line), kDetailFontSize, text);
        at = end + 1;
    }
}

void CLobbySceneMessage::DrawStars(f32 y, u32 stars)
{
    for (u32 i = 0; i < stars; ++i) DrawOutlined(kStarX + kStarStep * f32(i), y, kInfoFontSize, kStar);
}

void CLobbySceneMessage::DrawLineInformation()
{
    DrawOutlined(kLabelX, kTitleY, kInfoFontSize, "回線情報");
    DrawOutlined(kLabelX, kTcpY, kInfoFontSize, "TCP回線");
    DrawOutlined(kLabelX, kUdpY, kInfoFontSize, "UDP回線");
    DrawOutlined(kLabelX, kSentY, kInfoFontSize, "UDP送信");
    DrawOutlined(kLabelX, kReceivedY, kInfoFontSize, "UDP受信");
    const LineTestResults results = Client() ? Client()->GetLineTestResults() : LineTestResults{};
    DrawStars(kTcpY, TimeStars(std::max(results.tcpSendMs, results.tcpReceiveMs)));
    DrawStars(kUdpY, TimeStars(results.udpMs));
    // The counts are the peer's reports: any u32 may come.
    DrawStars(kSentY, CountStars(results.datagramsCounted));
    DrawStars(kReceivedY, CountStars(results.datagramsReceived));
}
