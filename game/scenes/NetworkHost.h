// The network scene and the lobby client as the menus see them.
// game/network implements both; the program's entry registers the factory
// that makes the network scene (the menus never include the network's
// headers). The hosted scenes (selects, loading screen, battle) run as the
// network scene's child: it calls their Update, Draw and peer messages under
// its own lock, so a hosted scene takes no lock of its own for them.
#pragma once

#include "engine/core/Types.h"

#include <cstdint>
#include <memory>
#include <type_traits>

class CImeInput;
class CScene;
class IBattleNetwork;

// The hosted scenes' modes: 0 back to the network scene's own screen, 1
// character select, 2 option select, 3 loading screen or battle.
inline constexpr u32 kHostedLobbyMode = 0;
inline constexpr u32 kHostedSelectMode = 1;
inline constexpr u32 kHostedOptionMode = 2;
inline constexpr u32 kHostedBattleMode = 3;

// A Load's parameter block, copied: a hand-over asked for by the running
// child waits until that child's Update has returned, when the block it
// built on its stack is gone. Empty: the Load gets 0.
class SceneBlock {
public:
    SceneBlock() = default;
    template <class T>
        requires(std::is_class_v<T> && std::is_trivially_copyable_v<T>)
    SceneBlock(const T& block) : m_block(std::make_shared<T>(block))
    {
    }
    intptr_t Get() const { return reinterpret_cast<intptr_t>(m_block.get()); }

private:
    std::shared_ptr<void> m_block;
};

class INetworkSceneHost {
public:
    virtual ~INetworkSceneHost() = default;
    // Deletes the current child and makes scene (loaded already, or null
    // with mode 0 to go back to the network scene's own screen) the child.
    // The caller is the child being replaced: it returns at once, and the
    // hand-over happens once its Update has returned. 1.
    virtual i32 SetChildScene(CScene* scene, u32 mode) = 0;
    // Deletes the current child, makes scene the child and runs its Load
    // with block: 0, or 1 when that Load failed (as CGameApp::ChangeScene).
    // Asked by the running child, it all happens once that child's Update
    // has returned (the answer is then 0).
    virtual i32 ChangeChildScene(CScene* scene, u32 mode, SceneBlock block) = 0;
    // 1: network play ends at the network scene's next update (to the
    // title). A hosted scene cannot end it itself: the network scene's
    // update is running it. 1.
    virtual i32 SetEndRequest(u32 value) = 0;
    // The lobby client's screen index (4 in a room); 0 without a client.
    virtual u32 GetLobbyScreen() { return 0; }
};

// The lobby client's part the hosted selects use; called on the game thread
// under the network scene's lock.
class ILobbyRoom {
public:
    static constexpr u32 kUserNameBytes = 25;

    virtual ~ILobbyRoom() = default;
    // Members of the current room, this player included.
    virtual u32 GetMemberCount() = 0;
    // The chat line's text input.
    virtual CImeInput* GetImeInput() = 0;
    // This player's lobby name: kUserNameBytes bytes, not always ending in a
    // zero.
    virtual const char* GetUserName() = 0;
    // A room chat line (kChatLineBytes: the name, then the text) to the room.
    virtual i32 SendRoomChat(const u8* line, u32 length) = 0;
    // The room's chat log with its top left at (x, y) in layout units, at
    // the caller's layout scale.
    virtual void DrawRoomChat(f32 x, f32 y, f32 scale) = 0;
};

// Makes a new network scene (it also implements INetworkSceneHost); null
// when the program has none.
using NetworkSceneFactory = CScene* (*)();
void SetNetworkSceneFactory(NetworkSceneFactory factory);
NetworkSceneFactory GetNetworkSceneFactory();

// The network scene above the current scene's child: the application's
// current scene when it hosts children, else null.
INetworkSceneHost* GetNetworkSceneHost();
// The network scene as a network battle sees it (its lock, its peers): what
// a battle built in network play is made with. Null without one.
IBattleNetwork* GetBattleNetwork();
