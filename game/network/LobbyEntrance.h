// The entrance: the first screen of network play, a direct connection or
// the lobby server. A start mode that already names the way skips it.
#pragma once

#include "engine/core/Types.h"
#include "game/network/LobbySceneBase.h"

namespace lobby_screen {

inline constexpr const char* kEntranceLayout = "Scene\\Network01.sce";

}  // namespace lobby_screen

class CLobbyEntranceScene : public CLobbySceneBase {
    ORV_VALUE_CLASS(CLobbyEntranceScene)

public:
    enum Item : u32 { kDirect = 0, kServer = 1 };
    static constexpr f32 kWipeTime = 0.25f;

    CLobbyEntranceScene() = default;
    CLobbyEntranceScene(CLobbyClient* client, LobbySceneContext* context) : CLobbySceneBase(client, context) {}
    // The layers are the copy's own: looked up again.
    CLobbyEntranceScene(const CLobbyEntranceScene& other);
    ~CLobbyEntranceScene() override = default;

    i32 Initialize(intptr_t argument) override;
    i32 Update(u32 argument) override;
    u32 OnMessage(u32, intptr_t) override { return 1; }
    i32 Draw(u32 argument) override;

    u32 GetCursor() const { return m_cursor; }
    f32 GetFade() const { return m_fade; }

protected:
    void FindLayers() override;

private:
    // Start mode 2's step; the menu's.
    void UpdateServerFirst();
    void UpdateMenu();
    void StartServer();
    void Wipe();

    f32 m_fade = 1.0f;
    u32 m_cursor = kDirect;
    f32 m_wipe = 0.0f;
    // Start mode 2: a connection was started from here. Back here means it
    // failed and the player saw why: then decide tries again, cancel leaves.
    bool m_tried = false;
    CSceneObject* m_background = nullptr;
    CSceneObject* m_base = nullptr;
    CSceneObject* m_mowa = nullptr;
    CSceneObject* m_items[2] = {};
    CSceneObject* m_highlights[2] = {};
    CSceneObject* m_lines[2] = {};
    // The wiped layers' whole width and height, taken at load.
    f32 m_sizes[2][2][2] = {};
};
