// CNetworkScene: the application's scene for the whole of network play. It
// owns the lobby client (its screens, the peer host behind it), shows the
// lobby while no battle is agreed, and hosts the selects, the loading screen
// and the battle as its child scene once one is.
//
// Threads: the game thread runs Load, Update, Draw, Release and the child's
// hand-overs; the peer host's threads run the three peer callbacks. The
// scene lock guards the child: its Update, Draw, deletion and every peer
// message handed to it. Lock order: the scene lock, then the lobby client's,
// then the peer host's. The peer host's Update (which joins receive threads,
// whose callbacks take the scene lock) runs outside the scene lock.
#pragma once

#include "engine/core/Types.h"
#include "engine/scene/SceneResource.h"
#include "game/battle/scene/BattleApp.h"
#include "game/battle/scene/BattleLockstep.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/network/NetHost.h"
#include "game/scenes/NetworkHost.h"
#include "host/kernel/Kernel.h"
#include "host/net/Net.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class CLobbyClient;
class CNetClient;
class CSoundBuffer;
class CTexture;
class ILobbyScreens;

namespace netscene {

// The lobby server the game reaches when nothing else is set.
inline constexpr const char* kDefaultServerHost = "lobby.orv-game.net";
inline constexpr u16 kServerPort = 15500;
// The environment variable that names another lobby server: "host" or
// "host:port" (a server run on the player's own machine, say 127.0.0.1).
inline constexpr const char* kServerVariable = "ORV_LOBBY_SERVER";
inline constexpr u32 kRoomMemberLimit = 4;

inline constexpr const char* kBackground = "Network_01.dds";
inline constexpr const char* kBackgroundPath = "Scene\\Network_01.dds";
inline constexpr const char* kMusic = "Bgm_chara.ogg";
inline constexpr u32 kSoundCount = 4;
// By name in the sound list, else loaded from the path.
inline constexpr const char* kSounds[kSoundCount][2] = {
    {"Se_gameopt_select.ogg", "SE\\Se_gameopt_select.ogg"},
    {"Se_gameopt_select_side.ogg", "SE\\Se_gameopt_select_side.ogg"},
    {"Se_gameopt_set.ogg", "SE\\Se_gameopt_set.ogg"},
    {"Se_cancel.ogg", "SE\\Se_cancel.ogg"},
};

// The title item the scene returns to.
inline constexpr u32 kTitleNetworkItem = 3;

// What a network scene is made with. The defaults are the game's; tests
// put in their own network, endpoints, screens and lock.
struct NetworkSceneOptions {
    host::net::Net* net = nullptr;   // null: the process's sockets
    std::string serverHost = kDefaultServerHost;
    u16 serverPort = kServerPort;
    // The peer port; negative: the configuration's.
    i32 peerPort = -1;
    host::net::Endpoint discovery{host::net::MakeAddress(239, 255, 255, 250), 1900};
    // Null: CreateLobbyScreens.
    std::function<std::unique_ptr<ILobbyScreens>(CLobbyClient&)> screens;
    // The scene lock (it outlives the scene); null: the scene's own.
    INetworkSceneLock* lock = nullptr;
    // Told of each peer message handed to the child (type, whether it was
    // taken), on the receive thread under the scene lock.
    std::function<void(i32 type, bool taken)> onDelivered;
};

// The lobby server an override names: "host:port" with a port 1..65535
// splits there; any other text is the host alone on kServerPort. Null or
// empty: the default server.
struct ServerEndpoint {
    std::string host;
    u16 port;
};
ServerEndpoint ServerFromOverride(const char* text);
// What the game's own network scene is made with: the process's sockets and
// the lobby server kServerVariable names, else the default one.
NetworkSceneOptions GameOptions();

// The lobby's picture is 4:3: on a wider window a centred area of the
// full height, else the whole back buffer.
struct Viewport {
    u32 x, y, width, height;
};
Viewport LobbyViewport(u32 width, u32 height);

// Whether a side of a room may hand over a peer message of that type and
// length: kTake goes to the message's handler; kDrop is dropped (a type
// only the room host sends, from a guest); kClose closes that connection
// (a size or bound the type table refuses).
enum class Verdict : u8 { kTake, kDrop, kClose, kIgnore };
Verdict CheckPeerMessage(i32 type, u32 length, bool roomHost);
// The types only the room host sends: at the host, a guest's are dropped.
bool IsHostOnlyType(i32 type);

}  // namespace netscene

class CNetworkScene : public CSceneResource, public INetworkSceneHost, public IBattleNetwork {
    ORV_VALUE_CLASS(CNetworkScene)

public:
    CNetworkScene();
    explicit CNetworkScene(netscene::NetworkSceneOptions options);
    // The mode, the end request, the music and the effects; a new reference
    // to the texture's name. Neither the lobby client nor the child.
    CNetworkScene(const CNetworkScene& other);
    CNetworkScene& operator=(const CNetworkScene&) = delete;
    ~CNetworkScene() override;

    i32 Release() override;
    // argument: a MenuArgs* whose music, when set, is playing already; or 0.
    i32 Initialize(intptr_t argument) override;
    i32 Update(u32 argument) override;
    i32 SoundStep(u32 inactive, u32* lastInactive) override;
    u32 OnMessage(u32 message, intptr_t parameter) override;
    i32 Draw(u32 argument) override;

    // INetworkSceneHost. Asked by the running child, the hand-over waits
    // until its Update has returned; then, in this order, the old child is
    // deleted, the new one stored, and its Load run (or, back in the room,
    // the room's music started). No thread of the new child starts before
    // the old one's release has ended.
    i32 SetChildScene(CScene* scene, u32 mode) override;
    i32 ChangeChildScene(CScene* scene, u32 mode, SceneBlock block) override;
    i32 SetEndRequest(u32 value) override;
    u32 GetLobbyScreen() override;

    // IBattleNetwork.
    void EnterLock() override;
    void LeaveLock() override;
    bool LockHeldByMe() override;
    i32 Broadcast(u16 type, const void* data, u32 length) override;
    i32 DropBattle() override;
    i32 ReportBattleResult(u32 result) override;

    // The scene lock (the battle's waits leave and retake it).
    INetworkSceneLock& GetSyncBlock() { return *m_lock; }
    // The network-screen music, when the configuration plays it. 1.
    i32 PlayBgm();

    // The peer callbacks (network threads).
    i32 OnPeerAccept(CNetClient* peer);
    i32 OnPeerMessage(CNetClient* sender, const u8* payload, i32 type, u32 length);
    void OnPeerDisconnect(CNetClient* peer);

    u32 GetChildMode() const { return m_childMode; }
    CScene* GetChild() const { return m_child; }
    u32 GetEndRequest() const { return m_endRequest; }
    CLobbyClient* GetLobbyClient() const { return m_lobby.get(); }
    CSoundBuffer* GetMusic() const { return m_music; }
    CTexture* GetBackground() const { return m_background; }
    // Messages dropped or refused, as a count (tests, logs).
    u32 GetDropped() const { return m_dropped.load(); }

private:
    class OwnLock;

    i32 LoadMedia(intptr_t argument);
    i32 CreateLobby();
    void HandOverSettings();
    void WriteBackSettings();
    i32 StartBattleSetup();
    // Back to the room's screen with play state 0 (nothing hosted).
    void BackToRoom();
    i32 GoTitle();
    // Each battle entry's member peer ID as the room holds them when the
    // battle is set up: the room moves later members up as members leave,
    // the entries stay. Under the scene lock.
    void KeepEntryPeers();
    // The entry a lost peer played (its mark cleared: one notice an entry);
    // -1 when none. A member's one connection is its host's: entry 0.
    i32 TakeLeaverEntry(const CNetClient& peer);
    // A hand-over asked for while the child's Update ran.
    struct HandOver {
        CScene* scene = nullptr;   // owned
        u32 mode = 0;
        bool load = false;   // ChangeChildScene: its Load with block
        SceneBlock block;
    };
    void Defer(HandOver next);
    // The one the child asked for, once it returned; under the scene lock.
    void RunHandOver();
    void StopMusic();
    void SetViewport4x3();

    u32 m_childMode = 0;
    std::unique_ptr<OwnLock> m_ownLock;
    INetworkSceneLock* m_lock = nullptr;
    u32 m_endRequest = 0;
    CTexture* m_background = nullptr;   // the texture list's
    std::unique_ptr<CLobbyClient> m_lobby;
    CScene* m_child = nullptr;          // owned; under the scene lock
    std::optional<HandOver> m_handOver;
    bool m_inChild = false;   // the child's Update is running
    CSoundBuffer* m_music = nullptr;    // the sound list's
    CSoundBuffer* m_sounds[netscene::kSoundCount] = {};
    netscene::NetworkSceneOptions m_options;
    std::atomic<u32> m_dropped{0};
    char m_entryPeers[CBattleSetup::kEntryCount][peer::kPeerIdBytes] = {};   // under the scene lock
};
