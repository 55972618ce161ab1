// The connect option screen: host a room, or join one at an address typed
// digit by digit or picked from the recent list, under a player name.
#pragma once

#include "engine/core/Types.h"
#include "game/network/LobbyAddressList.h"
#include "game/network/LobbyClient.h"

#include <memory>
#include <string>

namespace lobby_screen {

inline constexpr const char* kConnectOptionLayout = "Scene\\Network02.sce";

// An address being typed: four octets of three digits, each terminated.
using OctetTexts = char[4][4];
// The user record's name: 24 bytes and its terminator.
inline constexpr u32 kUserNameBytes = 25;

// Rows of the screen.
enum ConnectRow : u32 { kRowMode, kRowAddress, kRowList, kRowName, kRowStart, kRowCount };
enum ConnectMode : u32 { kModeJoin, kModeHost };

// Up and down over the rows; in host mode the address rows are skipped.
u32 RowUp(u32 row, u32 mode);
u32 RowDown(u32 row, u32 mode);

// Writes digit at the cursor's place; an octet that would read above 255
// keeps its old digit. The cursor advances either way (stops at the last
// digit). True when the digit was written.
bool TypeDigit(OctetTexts& octets, u32& cursor, u32 digit);

// An octet text read as a decimal number: its leading digits inside the
// four bytes (a hand-edited file may leave no terminator).
u32 OctetValue(const char (&octet)[4]);
// "%d.%d.%d.%d" of the four octets.
std::string AddressText(const OctetTexts& octets);
// The join target (MakeAddress order). False for an octet above 255 and for
// 0.x.x.x: 0.0.0.0 reaches this very machine on some systems, the rest
// reach nothing.
bool JoinAddress(const OctetTexts& octets, u32* address);

// Puts the address at the top of the recent list (kRecentCount entries):
// moved up when its text is there already, else pushed in front and the
// oldest dropped.
void PushRecent(IpAddressEntry* list, const OctetTexts& octets);

// The player's name in a user record's name field: at most 24 bytes, never
// half a double-byte character, zero-filled.
void PutPlayerName(char (&out)[kUserNameBytes], const char* name);

}  // namespace lobby_screen

class CLobbyConnectOptionScene : public CLobbySceneBase {
    ORV_VALUE_CLASS(CLobbyConnectOptionScene)

public:
    static constexpr f32 kBlinkPeriod = 0.6f;
    static constexpr u32 kNameFontSize = 24;
    static constexpr f32 kNameX = 550.0f, kNameY = 418.0f;
    // Frames a host start waits for the last room's listener to close.
    static constexpr u32 kHostWaitFrames = 180;

    CLobbyConnectOptionScene() = default;
    CLobbyConnectOptionScene(CLobbyClient* client, LobbySceneContext* context) : CLobbySceneBase(client, context) {}
    // The layers and the list are the copy's own.
    CLobbyConnectOptionScene(const CLobbyConnectOptionScene& other);
    ~CLobbyConnectOptionScene() override;

    i32 Initialize(intptr_t argument) override;
    i32 Release() override;
    i32 Update(u32 argument) override;
    u32 OnMessage(u32, intptr_t) override { return 1; }
    i32 Draw(u32 argument) override;

    u32 GetRow() const { return m_row; }
    u32 GetMode() const { return m_mode; }
    u32 GetDigitCursor() const { return m_cursor; }
    const lobby_screen::OctetTexts& GetAddress() const { return m_address; }
    bool IsListOpen() const { return m_listOpen != 0; }
    CLobbyIpListScene* GetAddressList() const { return m_list.get(); }

protected:
    void FindLayers() override;

private:
    // The steps of Update.
    bool UpdateList(u32 argument);
    // True when cancel left the screen this frame.
    bool UpdateMenu();
    void MoveRow(bool up);
    void Decide();
    void Join();
    void Host();
    // The host-failed notice, naming the port (the last room's listener
    // still closing, or the port not to be had).
    void ShowHostFailure(bool stillClosing);
    void TypeDigits();
    void UpdateName();
    void UpdateDisplay();
    // The name as the own user record keeps it.
    void PutOwnName();
    bool NameHasText() const;

    u32 m_row = lobby_screen::kRowMode;
    u32 m_mode = lobby_screen::kModeJoin;
    u32 m_cursor = 0;
    lobby_screen::OctetTexts m_address = {};
    f32 m_blink = 0.0f;
    u32 m_listOpen = 0;
    // A host start waiting for the last room's listener to go: frames left.
    u32 m_hostWait = 0;
    CSceneObject* m_background = nullptr;
    CSceneObject* m_base = nullptr;
    CSceneObject* m_clientIp = nullptr;
    CSceneObject* m_mowa = nullptr;
    CSceneObject* m_kira = nullptr;
    CSceneObject* m_rows[lobby_screen::kRowCount] = {};
    CSceneObject* m_hostLayer = nullptr;   // "op_set_01"
    CSceneObject* m_joinLayer = nullptr;   // "op_set_02"
    CSceneObject* m_digits[10] = {};
    CSceneObject* m_slots[lobby_screen::kAddressDigits] = {};
    std::unique_ptr<CLobbyIpListScene> m_list;
};
