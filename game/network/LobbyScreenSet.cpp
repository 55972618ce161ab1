#include "game/network/LobbyScreenSet.h"

#include "game/network/LobbyClient.h"
#include "game/network/LobbyConnectOption.h"
#include "game/network/LobbyEntrance.h"
#include "game/network/LobbyLogin.h"
#include "game/network/LobbyMain.h"

namespace {

// ---------------------------------------------------------------- the screens
// Each screen made for the client and the shared context. The entrance
// side's four screens (entrance, connect option with its address list,
// login) plug in here, each replacing its stand-in line.

std::unique_ptr<CLobbySceneBase> MakeEntrance(CLobbyClient& client, LobbySceneContext& context)
{
    return std::make_unique<CLobbyEntranceScene>(&client, &context);
}

std::unique_ptr<CLobbySceneBase> MakeConnectOptions(CLobbyClient& client, LobbySceneContext& context)
{
    return std::make_unique<CLobbyConnectOptionScene>(&client, &context);
}

std::unique_ptr<CLobbySceneBase> MakeLogin(CLobbyClient& client, LobbySceneContext& context)
{
    return std::make_unique<CLobbyLoginScene>(&client, &context);
}

}  // namespace

CLobbyScreenSet::CLobbyScreenSet(CLobbyClient& client)
{
    m_context.client = &client;
    m_screens[u32(LobbyLayer::kEntrance)] = MakeEntrance(client, m_context);
    m_screens[u32(LobbyLayer::kConnectOptions)] = MakeConnectOptions(client, m_context);
    m_screens[u32(LobbyLayer::kLogin)] = MakeLogin(client, m_context);
    auto lobby = std::make_unique<CLobbyMainScene>(&client, &m_context);
    auto room = std::make_unique<CLobbyRoomScene>(&client, &m_context, lobby.get());
    m_lobby = lobby.get();
    m_screens[u32(LobbyLayer::kLobby)] = std::move(lobby);
    m_room = room.get();
    m_screens[u32(LobbyLayer::kRoom)] = std::move(room);
    m_message = std::make_unique<CLobbySceneMessage>(&client, &m_context);
    m_userInformation = std::make_unique<CLobbyUserInformation>(&client, &m_context);
    m_roomInformation = std::make_unique<CLobbyRoomInformation>(&client, &m_context);
    m_roomCreate = std::make_unique<CLobbyRoomCreate>(&client, &m_context);
    m_context.message = m_message.get();
    m_context.userInformation = m_userInformation.get();
    m_context.roomInformation = m_roomInformation.get();
    m_context.roomCreate = m_roomCreate.get();
    m_context.room = m_room;
}

CLobbyScreenSet::~CLobbyScreenSet() = default;

i32 CLobbyScreenSet::Load(CLobbyClient& client)
{
    m_context.client = &client;
    m_context.state = client.ScreenState();
    // The direct room's admission lists, as the configuration holds them.
    m_context.allowList = client.GetAllowList();
    m_context.denyList = client.GetDenyList();
    i32 result = m_message->Initialize(0);
    for (auto& screen : m_screens) result &= screen->Initialize(0);
    result &= m_userInformation->Initialize(0);
    result &= m_roomInformation->Initialize(0);
    result &= m_roomCreate->Initialize(0);
    return result ? 1 : 0;
}

CLobbySceneBase* CLobbyScreenSet::Scene(LobbyLayer layer) const
{
    switch (layer) {
    case LobbyLayer::kEntrance:
    case LobbyLayer::kConnectOptions:
    case LobbyLayer::kLogin:
    case LobbyLayer::kLobby:
    case LobbyLayer::kRoom: return m_screens[u32(layer)].get();
    case LobbyLayer::kMessage: return m_message.get();
    case LobbyLayer::kUserInformation: return m_userInformation.get();
    case LobbyLayer::kRoomInformation: return m_roomInformation.get();
    case LobbyLayer::kRoomCreate: return m_roomCreate.get();
    }
    return nullptr;
}

void CLobbyScreenSet::ShowMessage(u32 code, u32 returnScreen)
{
    m_message->Show(code, Scene(LobbyLayer(returnScreen)));
}

void CLobbyScreenSet::ShowNotice(u32 code, u32 returnScreen, const std::string& detail)
{
    m_message->Show(code, Scene(LobbyLayer(returnScreen)));
    m_message->SetDetail(detail);
}

bool CLobbyScreenSet::MessagePending() { return m_message->IsShowing() && !m_message->IsAnswered(); }

u32 CLobbyScreenSet::PendingMessageCode() { return MessagePending() ? m_message->GetCode() : ~0u; }

void CLobbyScreenSet::LobbyChatLine(const char* line) { m_lobby->AddChatLine(line); }

void CLobbyScreenSet::OpenUserInformation(const lobby::LobbyUserRecord& user, bool kickAllowed)
{
    m_userInformation->OpenUser(user, kickAllowed);
}

void CLobbyScreenSet::OpenRoomInformation(const lobby::LobbyRoomRecord& room) { m_roomInformation->OpenRoom(room); }

void CLobbyScreenSet::RoomCreateMessage(u16 type, const u8* payload, u32 n)
{
    m_roomCreate->RoomDetail(type, payload, n);
}

bool CLobbyScreenSet::IsOpen(LobbyLayer window)
{
    switch (window) {
    case LobbyLayer::kMessage: return MessagePending();
    case LobbyLayer::kUserInformation: return m_userInformation->IsOpen();
    case LobbyLayer::kRoomInformation: return m_roomInformation->IsOpen();
    case LobbyLayer::kRoomCreate: return m_roomCreate->IsOpen();
    default: return false;
    }
}

void CLobbyScreenSet::Update(LobbyLayer layer)
{
    if (CLobbySceneBase* scene = Scene(layer)) scene->Update(0);
}

i32 CLobbyScreenSet::Draw(LobbyLayer layer)
{
    CLobbySceneBase* scene = Scene(layer);
    return scene ? scene->Draw(0) : 0;
}

std::unique_ptr<ILobbyScreens> CreateLobbyScreens(CLobbyClient& client)
{
    return std::make_unique<CLobbyScreenSet>(client);
}
