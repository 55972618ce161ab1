// The room creation window: the player fills in a room (name, level range,
// password, comment) and sends it: mode 0 a new room (1002), which makes
// this machine its host when the server accepts (1004); mode 1 the changed
// settings of the own room (1004), the name fixed.
#pragma once

#include "game/network/LobbyRoomRequest.h"
#include "game/network/LobbySceneBase.h"

namespace lobby_screen {
inline constexpr const char* kRoomCreateLayout = "Scene\\Network09.sce";
}

class CLobbyRoomCreate final : public CLobbySceneBase {
    ORV_VALUE_CLASS(CLobbyRoomCreate)

public:
    enum Line : i32 { kName, kLevel, kNoSetting, kPassword, kComment, kConfirm, kLineCount };
    enum Mode : u32 { kNewRoom, kExistingRoom };
    static constexpr u16 kNewRoomMessage = 1002;
    static constexpr u16 kSettingsMessage = 1004;
    static constexpr u16 kGiveUpMessage = 1003;
    static constexpr u16 kRoomDetailMessage = 1009;
    // Message window codes.
    static constexpr u32 kWaitingCode = 2, kNoNameCode = 14, kFailedCode = 15, kNoCode = 28;
    static constexpr u32 kTextSize = 18;
    static constexpr f32 kCommentLineAdvance = 18.0f;
    static constexpr f32 kNameX = 502.0f, kNameY = 248.0f, kPasswordX = 502.0f, kPasswordY = 348.0f;
    static constexpr f32 kLevelX = 628.0f, kLevelY = 294.0f;
    static constexpr f32 kCommentX = 482.0f, kCommentY = 388.0f, kCommentWrap = 786.0f;

    CLobbyRoomCreate() = default;
    CLobbyRoomCreate(CLobbyClient* client, LobbySceneContext* context) : CLobbySceneBase(client, context) {}
    CLobbyRoomCreate(const CLobbyRoomCreate& other);

    i32 Initialize(intptr_t argument) override;
    i32 Update(u32 argument) override;
    // Events come with their length through RoomDetail.
    u32 OnMessage(u32, intptr_t) override { return 1; }
    i32 Draw(u32 argument) override;
    u32 IsAccepted() const override { return m_active; }

    void Open(u32 mode);
    bool IsOpen() const { return m_active != 0; }
    // A lobby event for the own room (1004, 1009; others ignored).
    void RoomDetail(u16 type, const u8* payload, u32 n);

    i32 GetCursor() const { return m_cursor; }
    u32 GetMode() const { return m_mode; }
    const lobby::RoomSettings& GetSettings() const { return m_settings; }
    lobby::RoomSettings& Settings() { return m_settings; }

protected:
    void FindLayers() override;

private:
    bool Typing(i32 line) const;
    void MoveCursor(bool up);
    void FocusLine();
    void StepLevel(i32 step);
    void Confirm();
    void TextFields();
    void HostAccepted();
    lobby::RoomTemplate Template() const;
    i32 OwnListNumber() const;
    void HideMessage();
    void ShowMessage(u32 code);
    void DrawField(f32 x, f32 y, i32 line, const char* stored);

    i32 m_cursor = kName;
    u32 m_mode = kNewRoom;
    u32 m_active = 0;
    lobby::RoomSettings m_settings;
    u32 m_reserved = 0;
    CSceneObject* m_base = nullptr;
    CSceneObject* m_arrows[2] = {};
    CSceneObject* m_buttons[2][2] = {};   // [mode][highlighted]
    CSceneObject* m_levels[lobby::kLevelRangeCount] = {};
};
