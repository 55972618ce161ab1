#include "game/network/NetworkScene.h"
#include "engine/core/Endian.h"

#include "engine/graphics/GraphicDevice.h"
#include "engine/platform/FrameTime.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/platform/app/ImeInput.h"
#include "engine/graphics/Texture.h"
#include "engine/scene/ResourceController.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/battle/scene/PeerMessageSink.h"
#include "game/data/SaveConfig.h"
#include "game/data/SaveRecord.h"
#include "game/network/LobbyClient.h"
#include "game/network/LobbyPeerSide.h"
#include "game/network/LobbyScreenSet.h"
#include "game/network/NetClient.h"
#include "game/network/NetHost.h"
#include "game/network/PeerWire.h"
#include "game/scenes/CharaSelect.h"
#include "game/scenes/GameApp.h"
#include "game/scenes/MenuScene.h"
#include "game/scenes/TitleScene.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>

using namespace netscene;

namespace {

constexpr u32 kPlayState = 1008;
constexpr u32 kBattleResult = 1016;
constexpr u32 kRoomChat = 1021;
constexpr u32 kJoinReply = 1025;
constexpr u32 kMemberInfo = 1026;
constexpr u32 kMemberTable = 1027;
constexpr u32 kFirstChildType = 10001;
constexpr u32 kLastChildType = 10009;
constexpr i16 kPeerLeft = 10009;

// A text into a fixed field, terminated, the rest zero.
template <size_t N>
void CopyText(char (&out)[N], const char* text)
{
    std::memset(out, 0, N);
    if (text) std::memcpy(out, text, strnlen(text, N - 1));
}

// The scene lock's callers pass the scene as the context word.
i32 AcceptThunk(void* context, CNetClient* peer) { return static_cast<CNetworkScene*>(context)->OnPeerAccept(peer); }
i32 MessageThunk(void* context, CNetClient* sender, const u8* payload, i32 type, u32 length)
{
    return static_cast<CNetworkScene*>(context)->OnPeerMessage(sender, payload, type, length);
}
void DisconnectThunk(void* context, CNetClient* peer) { static_cast<CNetworkScene*>(context)->OnPeerDisconnect(peer); }

class SceneLockHold {
public:
    explicit SceneLockHold(INetworkSceneLock& lock) : m_lock(lock) { m_lock.Enter(); }
    ~SceneLockHold() { m_lock.Leave(); }
    SceneLockHold(const SceneLockHold&) = delete;
    SceneLockHold& operator=(const SceneLockHold&) = delete;

private:
    INetworkSceneLock& m_lock;
};

// An owned copy of a found or loaded resource list entry.
template <class T>
bool AddToList(CResourceList* list, std::unique_ptr<T>& made)
{
    void* element = static_cast<CValueBase*>(made.get());
    if (!list || !list->Add(&element)) return false;
    made.release();
    return true;
}

}  // namespace

namespace netscene {

bool IsHostOnlyType(i32 type)
{
    // The table's room-host types, and the select's and battle's words that
    // only the host's scenes send: a guest's could start or end the host's
    // select or battle, or rewrite its member table.
    switch (type) {
    case 10002:
    case 10004:
    case 10005: return true;
    default: break;
    }
    const peer::TypeRule* rule = peer::FindTypeRule(type);
    return rule && rule->sender == peer::Sender::kRoomHost;
}

ServerEndpoint ServerFromOverride(const char* text)
{
    if (!text || !*text) return {kDefaultServerHost, kServerPort};
    const std::string all = text;
    const size_t colon = all.rfind(':');
    if (colon != std::string::npos && colon > 0 && colon + 1 < all.size() && colon + 6 >= all.size() &&
        all.find_first_not_of("0123456789", colon + 1) == std::string::npos) {
        const u32 port = u32(std::stoul(all.substr(colon + 1)));
        if (port >= 1 && port <= 0xFFFF) return {all.substr(0, colon), u16(port)};
    }
    return {all, kServerPort};
}

NetworkSceneOptions GameOptions()
{
    NetworkSceneOptions options;
    const ServerEndpoint server = ServerFromOverride(std::getenv(kServerVariable));
    options.serverHost = server.host;
    options.serverPort = server.port;
    return options;
}

Viewport LobbyViewport(u32 width, u32 height)
{
    if (width == 0 || f32(height) / f32(width) > 0.75f) return {0, 0, width, height};
    const u32 inner = std::min(width, u32(f32(height) / 0.75f));
    return {(width - inner) / 2, 0, inner, height};
}

Verdict CheckPeerMessage(i32 type, u32 length, bool roomHost)
{
    const peer::TypeRule* rule = peer::FindTypeRule(type);
    if (!rule) return Verdict::kIgnore;
    if (length < rule->minLength || length > rule->maxLength) return Verdict::kClose;
    // At the room host every peer is a guest; at a guest the only peer is
    // the room host.
    if (roomHost && IsHostOnlyType(type)) return Verdict::kDrop;
    if (!roomHost && rule->sender == peer::Sender::kMember) return Verdict::kDrop;
    return Verdict::kTake;
}

}  // namespace netscene

// The scene's own lock when none is put in.
// It knows its holder: the battle loads on the loading screen's thread,
// which holds it not, and must not leave it there.
class CNetworkScene::OwnLock final : public INetworkSceneLock {
public:
    void Enter() override
    {
        m_section.Enter();
        if (m_depth++ == 0) m_owner = std::this_thread::get_id();
    }
    void Leave() override
    {
        if (--m_depth == 0) m_owner = std::thread::id();
        m_section.Leave();
    }
    bool HeldByMe() const override { return m_owner.load() == std::this_thread::get_id(); }

private:
    host::kernel::CriticalSection m_section;
    std::atomic<std::thread::id> m_owner{};
    u32 m_depth = 0;   // the holder's
};

CNetworkScene::CNetworkScene() : CNetworkScene(GameOptions()) {}

CNetworkScene::CNetworkScene(NetworkSceneOptions options) : m_options(std::move(options))
{
    m_ownLock = std::make_unique<OwnLock>();
    m_lock = m_options.lock ? m_options.lock : m_ownLock.get();
}

CNetworkScene::CNetworkScene(const CNetworkScene& other)
    : CSceneResource(other), m_childMode(other.m_childMode), m_endRequest(other.m_endRequest),
      m_background(other.m_background), m_music(other.m_music), m_options(other.m_options)
{
    m_ownLock = std::make_unique<OwnLock>();
    m_lock = m_options.lock ? m_options.lock : m_ownLock.get();
    std::copy(std::begin(other.m_sounds), std::end(other.m_sounds), m_sounds);
}

CNetworkScene::~CNetworkScene() { Release(); }

// ---------------------------------------------------------------- load

i32 CNetworkScene::Initialize(intptr_t argument)
{
    if (!LoadMedia(argument)) return 0;
    if (!CreateLobby()) return 0;
    HandOverSettings();
    if (CGameApp* app = GetGameApp()) app->SetImeInput(m_lobby->GetImeInput());
    return 1;
}

i32 CNetworkScene::LoadMedia(intptr_t argument)
{
    const auto* args = reinterpret_cast<const MenuArgs*>(argument);
    // What the block hands over is ours from here, whatever fails below.
    if (args && args->music) m_music = args->music;
    CGameApp* app = GetGameApp();
    CResourceController* resources = app ? app->GetResourceController() : nullptr;
    // Without the application's lists (a tool, a test of the peers) there
    // are no media to show.
    if (!resources) return 1;
    if (!(m_background = menu::FindTexture(kBackground))) {
        auto made = std::make_unique<CTexture>();
        if (!made->LoadFromFile(kBackgroundPath)) return menu::Missing(kBackgroundPath);
        m_background = made.get();
        if (!AddToList(resources->GetTextureList(), made)) return m_background = nullptr, menu::Missing(kBackgroundPath);
    }
    if (!m_music) {
        if (!(m_music = menu::FindSound(kMusic))) {
            auto made = std::make_unique<CSoundBuffer>();
            if (!made->Load(kMusic, 1, 2)) return menu::Missing(kMusic);
            m_music = made.get();
            if (!AddToList(resources->GetSoundList(), made)) return m_music = nullptr, menu::Missing(kMusic);
        }
        PlayBgm();
    }
    for (u32 i = 0; i < kSoundCount; ++i) {
        if ((m_sounds[i] = menu::FindSound(kSounds[i][0]))) continue;
        auto made = std::make_unique<CSoundBuffer>();
        if (!made->Load(kSounds[i][1], 1, 0)) return menu::Missing(kSounds[i][1]);
        m_sounds[i] = made.get();
        if (!AddToList(resources->GetSoundList(), made)) return m_sounds[i] = nullptr, menu::Missing(kSounds[i][1]);
    }
    return 1;
}

i32 CNetworkScene::CreateLobby()
{
    CGameApp* app = GetGameApp();
    CSaveConfig* config = app ? app->GetSaveConfig() : nullptr;
    u16 peerPort = 0;
    if (m_options.peerPort >= 0) peerPort = u16(m_options.peerPort);
    else if (config) peerPort = config->GetNetworkSettings()->port;
    m_lobby = std::make_unique<CLobbyClient>(m_options.net);
    // The configuration tool edits these for network play: without them
    // every direct peer would be admitted and no port ever mapped. The
    // screens take them when they load.
    if (config) {
        m_lobby->SetUPnP(config->GetNetworkSettings()->useUpnp != 0);
        std::vector<IpAddressEntry> allow, deny;
        for (u32 i = 0; i < config->GetAllowCount(); ++i) allow.push_back(*config->GetAllowIp(i32(i)));
        for (u32 i = 0; i < config->GetDenyCount(); ++i) deny.push_back(*config->GetDenyIp(i32(i)));
        m_lobby->SetAddressLists(std::move(allow), std::move(deny));
    }
    auto screens = m_options.screens ? m_options.screens(*m_lobby) : CreateLobbyScreens(*m_lobby);
    if (!m_lobby->Create("ORV", "ORV", m_background, menu::MenuFont(), m_options.serverHost.c_str(),
                         m_options.serverPort, peerPort, std::move(screens),
                         MakeLobbyPeerSide(m_options.net, m_options.discovery))) {
        m_lobby.reset();
        return menu::Missing("CLobbyClient");
    }
    m_lobby->CreateRoomRecords(u16(kRoomMemberLimit));
    m_lobby->SetAcceptCallback(&AcceptThunk, this);
    m_lobby->SetMessageCallback(&MessageThunk, this);
    m_lobby->SetDisconnectCallback(&DisconnectThunk, this);
    return 1;
}

void CNetworkScene::HandOverSettings()
{
    CGameApp* app = GetGameApp();
    CSaveConfig* config = app ? app->GetSaveConfig() : nullptr;
    if (config) {
        ConfigNetwork& net = *config->GetNetworkSettings();
        char id[CLobbyClient::kIdBytes] = {};
        std::memcpy(id, net.lobbyId, std::min(sizeof id, sizeof net.lobbyId) - 1);
        m_lobby->SetLobbyId(id);
        std::memcpy(id, net.connectId, std::min(sizeof id, sizeof net.connectId) - 1);
        m_lobby->SetAddressId(id);
        static_assert(sizeof net.connect == 24 * sizeof(IpAddressEntry));
        std::memcpy(m_lobby->GetAddressList(), net.connect, sizeof net.connect);
        m_lobby->SetSeVolume(config->GetSeVolume());
    }
    if (CSaveRecord* record = app ? app->GetSaveRecord() : nullptr) m_lobby->SetPlayRecord(record->GetFlagByte());
}

// ---------------------------------------------------------------- release

void CNetworkScene::WriteBackSettings()
{
    CGameApp* app = GetGameApp();
    if (CSaveConfig* config = app ? app->GetSaveConfig() : nullptr) {
        ConfigNetwork& net = *config->GetNetworkSettings();
        CopyText(net.lobbyId, m_lobby->GetLobbyId());
        CopyText(net.connectId, m_lobby->GetAddressId());
        std::memcpy(net.connect, m_lobby->GetAddressList(), sizeof net.connect);
    }
    if (CSaveRecord* record = app ? app->GetSaveRecord() : nullptr) record->SetFlagByte(u8(m_lobby->GetPlayRecord()));
}

i32 CNetworkScene::Release()
{
    if (CGameApp* app = GetGameApp(); app && m_lobby && app->GetImeInput() == m_lobby->GetImeInput())
        app->SetImeInput(nullptr);
    {
        SceneLockHold hold(*m_lock);
        delete std::exchange(m_child, nullptr);
        if (m_handOver) delete std::exchange(m_handOver->scene, nullptr);
        m_handOver.reset();
        m_childMode = 0;
    }
    StopMusic();
    if (m_lobby) {
        WriteBackSettings();
        // Threads stopped and callbacks uninstalled before the client goes:
        // nothing reaches this scene from the network after.
        m_lobby->Destroy();
        m_lobby.reset();
    }
    m_music = nullptr;
    m_background = nullptr;
    std::fill(std::begin(m_sounds), std::end(m_sounds), nullptr);
    return CSceneResource::Release();
}

void CNetworkScene::StopMusic()
{
    if (m_music) m_music->StopAll(1);
}

i32 CNetworkScene::PlayBgm()
{
    CGameApp* app = GetGameApp();
    CSaveConfig* config = app ? app->GetSaveConfig() : nullptr;
    if (config && config->GetNetworkSettings()->playBgm) menu::PlayMusic(m_music);
    return 1;
}

// ---------------------------------------------------------------- update

i32 CNetworkScene::Update(u32)
{
    if (!m_lobby) return 1;
    // Its removal pass joins receive threads, whose callbacks take the
    // scene lock: never under it.
    if (CNetHost* host = m_lobby->GetNetHost()) host->Update(GetFrameTimeMs());
    if (m_endRequest) return GoTitle();
    if (m_childMode == 0) {
        m_lobby->Update();
        if (m_lobby->GetPlayState() != 0) {
            if (CImeInput* ime = m_lobby->GetImeInput()) ime->Enable(0);
            return StartBattleSetup();
        }
        if (m_lobby->GetExitRequest()) return GoTitle();
        return 1;
    }
    // Held once: the battle's waits leave it once to let the receive
    // threads in.
    SceneLockHold hold(*m_lock);
    if (!m_child) return 1;
    if (m_lobby->GetPlayState() != 0) {
        m_inChild = true;
        m_child->Update(0);
        m_inChild = false;
        RunHandOver();
    } else {
        SetChildScene(nullptr, kHostedLobbyMode);
    }
    return 1;
}

void CNetworkScene::RunHandOver()
{
    if (!m_handOver) return;
    HandOver next = std::move(*m_handOver);
    m_handOver.reset();
    if (next.load) ChangeChildScene(next.scene, next.mode, std::move(next.block));
    else SetChildScene(next.scene, next.mode);
}

i32 CNetworkScene::GoTitle()
{
    CGameApp* app = GetGameApp();
    if (!app) return 1;
    TitleArgs args;
    args.curtain = 0.0f;
    args.alpha = 0.0f;
    args.item = kTitleNetworkItem;
    // This scene is gone when ChangeScene returns.
    return app->ChangeScene(new CTitleScene, reinterpret_cast<intptr_t>(&args));
}

i32 CNetworkScene::StartBattleSetup()
{
    const i32 own = m_lobby->GetOwnMemberIndex();
    const u32 count = std::min<u32>(m_lobby->GetMemberCount(), CBattleSetup::kEntryCount);
    const bool host = m_lobby->IsRoomHost() != 0;
    // An index that fits no entry would play a computer's place, or none.
    if (own < 0 || u32(own) >= count || (own == 0) != host) {
        std::fprintf(stderr, "network scene: member index %d of %u (%s) fits no entry\n", own, count,
                     host ? "host" : "guest");
        if (CNetHost* peers = m_lobby->GetNetHost()) peers->RequestCloseAll();
        BackToRoom();
        return 1;
    }
    CGameApp* app = GetGameApp();
    CSaveConfig* config = app ? app->GetSaveConfig() : nullptr;
    auto* setup = new CBattleSetup(config);
    setup->netHost = m_lobby->GetNetHost();
    setup->lobbyClient = m_lobby.get();
    setup->networkMode = 1;
    setup->localEntry = u32(own);
    if (config) setup->option.inputDelay = config->GetNetworkSettings()->keyResponse;
    for (u32 i = 0; i < CBattleSetup::kEntryCount; ++i) {
        CBattleEntry* entry = setup->GetEntry(i);
        std::memset(entry->name, 0, sizeof entry->name);
        if (i < count) {
            entry->kind = i;
            m_lobby->GetMemberName(i, entry->name, sizeof entry->name);
        } else {
            entry->kind = CBattleEntry::kKindComputer;
        }
    }
    StopMusic();
    MenuSetupArgs args;
    args.curtain = 0.0f;
    args.alpha = 0.0f;
    args.setup = setup;
    return ChangeChildScene(new CCharaSelect, kHostedSelectMode, args);
}

void CNetworkScene::BackToRoom()
{
    m_childMode = 0;
    m_lobby->SetPlayState(0);
    m_lobby->SetScreen(u32(LobbyLayer::kRoom));
    PlayBgm();
}

i32 CNetworkScene::SoundStep(u32 inactive, u32* lastInactive)
{
    if (m_child) return m_child->SoundStep(inactive, lastInactive);
    return CScene::SoundStep(inactive, lastInactive);
}

u32 CNetworkScene::OnMessage(u32, intptr_t) { return 1; }

// ---------------------------------------------------------------- draw

void CNetworkScene::SetViewport4x3()
{
    CGameApp* app = GetGameApp();
    CGraphicDevice* device = app ? app->GetDevice() : nullptr;
    if (!device) return;
    const i32 width = app->GetClientWidth(), height = app->GetClientHeight();
    if (width <= 0 || height <= 0) return;
    const Viewport v = LobbyViewport(u32(width), u32(height));
    device->SetViewport(v.x, v.y, v.width, v.height);
    device->SetState2D();
}

i32 CNetworkScene::Draw(u32)
{
    if (!m_lobby) return 1;
    if (m_childMode == 0) {
        SetViewport4x3();
        m_lobby->Draw();
        return 1;
    }
    SceneLockHold hold(*m_lock);
    if (m_child) m_child->Draw(0);
    return 1;
}

// ---------------------------------------------------------------- children

i32 CNetworkScene::SetChildScene(CScene* scene, u32 mode)
{
    SceneLockHold hold(*m_lock);
    if (m_inChild) {
        // The running child returns from its Update before it goes.
        Defer({scene, mode, false, {}});
        return 1;
    }
    // Out of the lobby: the battle's entries are the room's members now.
    if (m_childMode == kHostedLobbyMode && mode != kHostedLobbyMode) KeepEntryPeers();
    delete std::exchange(m_child, scene);
    m_childMode = mode;
    if (mode == kHostedLobbyMode) {
        // Nothing is hosted in the lobby.
        delete std::exchange(m_child, nullptr);
        if (m_lobby) m_lobby->SetPlayState(0);
        PlayBgm();
    }
    return 1;
}

i32 CNetworkScene::ChangeChildScene(CScene* scene, u32 mode, SceneBlock block)
{
    SceneLockHold hold(*m_lock);
    if (m_inChild) {
        Defer({scene, mode, true, std::move(block)});
        return 0;
    }
    SetChildScene(scene, mode);
    if (!scene || mode == kHostedLobbyMode) return 1;
    if (scene->Initialize(block.Get())) return 0;
    // Nothing half-built is hosted: back to the room.
    std::fprintf(stderr, "network scene: %s did not load\n", scene->GetClassName());
    if (m_child == scene) delete std::exchange(m_child, nullptr);
    if (m_lobby) BackToRoom();
    m_childMode = 0;
    return 1;
}

void CNetworkScene::Defer(HandOver next)
{
    // A second hand-over in one Update replaces the first, never loaded.
    if (m_handOver) delete m_handOver->scene;
    m_handOver = std::move(next);
}

i32 CNetworkScene::SetEndRequest(u32 value)
{
    m_endRequest = value;
    return 1;
}

// Called from the hosted battle under the scene lock: the client lock comes
// after it, in the usual order.
u32 CNetworkScene::GetLobbyScreen() { return m_lobby ? m_lobby->GetScreen() : 0; }

// ---------------------------------------------------------------- battle

void CNetworkScene::EnterLock() { m_lock->Enter(); }
void CNetworkScene::LeaveLock() { m_lock->Leave(); }
bool CNetworkScene::LockHeldByMe() { return m_lock->HeldByMe(); }

i32 CNetworkScene::Broadcast(u16 type, const void* data, u32 length)
{
    CNetHost* host = m_lobby ? m_lobby->GetNetHost() : nullptr;
    return host ? host->Broadcast(i16(type), peer::kSubType, data, length, peer::kStreamChannel) : 0;
}

i32 CNetworkScene::DropBattle()
{
    SetChildScene(nullptr, kHostedLobbyMode);
    // The battle's update returns this at once and goes no further.
    return 0;
}

i32 CNetworkScene::ReportBattleResult(u32 result) { return m_lobby ? m_lobby->ReportBattleResult(result) : 0; }

// ---------------------------------------------------------------- peers

i32 CNetworkScene::OnPeerAccept(CNetClient* peer)
{
    SceneLockHold hold(*m_lock);
    return m_lobby ? m_lobby->AcceptPeer(peer) : 0;
}

i32 CNetworkScene::OnPeerMessage(CNetClient* sender, const u8* payload, i32 type, u32 length)
{
    if (!payload && length) return 0;
    // An empty body is handed over as one, never as a null pointer.
    static const u8 kEmpty[1] = {};
    if (!payload) payload = kEmpty;
    SceneLockHold hold(*m_lock);
    if (!m_lobby) return 1;
    const char* name = sender ? sender->GetName() : "?";
    switch (CheckPeerMessage(type, length, m_lobby->IsRoomHost() != 0)) {
    case Verdict::kIgnore: return 1;
    case Verdict::kClose:
        ++m_dropped;
        std::fprintf(stderr, "network scene: peer %s sent type %d of %u bytes: closed\n", name, type, length);
        return 0;
    case Verdict::kDrop:
        ++m_dropped;
        std::fprintf(stderr, "network scene: peer %s may not send type %d: dropped\n", name, type);
        return 1;
    case Verdict::kTake: break;
    }
    switch (u32(type)) {
    case kRoomChat: m_lobby->OnRoomChat(sender, payload, length); return 1;
    case kPlayState: m_lobby->SetPlayStateRaw(GetLe32(payload)); return 1;
    case kBattleResult: m_lobby->OnMemberResult(sender, payload, length); return 1;
    case kJoinReply: m_lobby->OnJoinReply(sender, payload, length); return 1;
    case kMemberInfo: m_lobby->OnMemberInfo(sender, payload, length); return 1;
    case kMemberTable: m_lobby->OnMemberTable(sender, payload, length); return 1;
    default: break;
    }
    if (u32(type) < kFirstChildType || u32(type) > kLastChildType) return 1;
    // Only with their length: a variable body is read against what came.
    auto* sink = dynamic_cast<IPeerMessageSink*>(m_child);
    if (!sink) {
        ++m_dropped;
        return 1;
    }
    const u32 answer = sink->OnPeerMessage(u32(type), payload, length);
    const bool taken = answer != 0 && answer != IPeerMessageSink::kPeerMessageNotMine;
    if (m_options.onDelivered) m_options.onDelivered(type, taken);
    if (taken) return 1;
    if (answer == IPeerMessageSink::kPeerMessageNotMine) {
        // Well formed but for another scene (a select's card reaching a
        // battle still ending): the sender goes on.
        ++m_dropped;
        return 1;
    }
    // Refused by the scene it reached (malformed, out of range): it changed
    // nothing there, and its sender goes as if it had left.
    ++m_dropped;
    std::fprintf(stderr, "network scene: %s refused type %d from %s: closed\n", m_child->GetClassName(), type, name);
    return 0;
}

void CNetworkScene::KeepEntryPeers()
{
    std::memset(m_entryPeers, 0, sizeof m_entryPeers);
    if (!m_lobby) return;
    const RoomMemberTable table = m_lobby->GetMemberTableCopy();
    const u32 count = std::min<u32>(u32(std::max<i32>(table.count, 0)), CBattleSetup::kEntryCount);
    for (u32 i = 0; i < count; ++i)
        std::memcpy(m_entryPeers[i], table.members[i].peerId, sizeof m_entryPeers[i] - 1);
}

i32 CNetworkScene::TakeLeaverEntry(const CNetClient& peer)
{
    const char* id = peer.GetPeerId();
    if (!m_lobby->IsRoomHost()) {
        if (!m_entryPeers[0][0]) return -1;
        m_entryPeers[0][0] = 0;
        return 0;
    }
    for (u32 e = 0; id && id[0] && e < CBattleSetup::kEntryCount; ++e) {
        if (std::strncmp(m_entryPeers[e], id, sizeof m_entryPeers[e]) != 0) continue;
        m_entryPeers[e][0] = 0;
        return i32(e);
    }
    return -1;
}

void CNetworkScene::OnPeerDisconnect(CNetClient* peer)
{
    SceneLockHold hold(*m_lock);
    if (!m_lobby || !peer) return;
    const i32 index = m_child ? TakeLeaverEntry(*peer) : -1;
    m_lobby->OnPeerLeft(peer);
    if (index < 0 || !m_child) return;
    u8 body[4];
    PutLe32(body, u32(index));
    if (auto* sink = dynamic_cast<IPeerMessageSink*>(m_child)) sink->OnPeerMessage(u32(kPeerLeft), body, 4);
    // The host lock may be held by a close-all waiting for this thread:
    // the next Update sends it, after the lost peer is taken out.
    if (m_lobby->IsRoomHost())
        if (CNetHost* host = m_lobby->GetNetHost()) host->QueueRelay(kPeerLeft, body, 4);
}
