// The login screen: a lobby ID and a password, then the login block goes
// to the lobby server (message 1001).
#pragma once

#include "engine/core/Types.h"
#include "game/network/LobbySceneBase.h"
#include "game/network/LobbyWire.h"

namespace lobby_screen {

inline constexpr const char* kLoginLayout = "Scene\\Network03.sce";

// The login block, 60 bytes, in the own user record at lobby::kLoginAt: the
// ID and password this screen edits in place, a word of ours (0, sent as it
// stands), the peer port and local address the client fills at connect.
inline constexpr u32 kLoginIdBytes = 33;         // 32 typed and a terminator
inline constexpr u32 kLoginPasswordBytes = 17;   // 16 typed and a terminator
inline constexpr u32 kLoginPasswordAt = 33;
inline constexpr u32 kLoginWordAt = 50;
inline constexpr u32 kLoginPortAt = 54;
inline constexpr u32 kLoginAddressAt = 56;
static_assert(kLoginAddressAt + 4 == lobby::kLoginBytes);
static_assert(lobby::kLoginAt + kLoginPortAt == lobby::kPeerPortAt);
static_assert(lobby::kLoginAt + kLoginAddressAt == lobby::kLocalAddressAt);

}  // namespace lobby_screen

class CLobbyLoginScene : public CLobbySceneBase {
    ORV_VALUE_CLASS(CLobbyLoginScene)

public:
    enum Row : u32 { kRowId = 0, kRowPassword = 1, kRowLogin = 2, kRowCount = 3 };
    static constexpr u32 kFontSize = 24;
    static constexpr u32 kIdTyped = lobby_screen::kLoginIdBytes - 1;
    static constexpr u32 kPasswordTyped = lobby_screen::kLoginPasswordBytes - 1;
    // Where the stored texts stand, and the entry on the focused row.
    static constexpr f32 kTextX = 482.0f, kEntryX = 470.0f;
    static constexpr f32 kIdY = 270.0f, kPasswordY = 370.0f;
    static constexpr u32 kLoginWaiting = 1;

    CLobbyLoginScene() = default;
    CLobbyLoginScene(CLobbyClient* client, LobbySceneContext* context) : CLobbySceneBase(client, context) {}
    // The layers are the copy's own: looked up again.
    CLobbyLoginScene(const CLobbyLoginScene& other);
    ~CLobbyLoginScene() override = default;

    i32 Initialize(intptr_t argument) override;
    i32 Update(u32 argument) override;
    u32 OnMessage(u32, intptr_t) override { return 1; }
    i32 Draw(u32 argument) override;

    u32 GetRow() const { return m_row; }
    // The login block's fields in the own user record (null without one).
    char* IdField() const;
    char* PasswordField() const;

protected:
    void FindLayers() override;

private:
    void UpdateMenu();
    // The entry on for the row's field, off on the button.
    void Focus();
    bool RowHasText() const;

    u32 m_row = kRowId;
    CSceneObject* m_background = nullptr;
    CSceneObject* m_base = nullptr;
    CSceneObject* m_mowa = nullptr;
    CSceneObject* m_kira = nullptr;
    CSceneObject* m_button = nullptr;   // "login2"
};
